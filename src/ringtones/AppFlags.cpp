#include "ringtones/AppFlags.h"

namespace quorvel {

void AppFlags::registerClass() {
    NSManagedObject::registerClass(QStringLiteral("AppFlags"), [] { return std::make_shared<AppFlags>(); });
}

} // namespace quorvel
