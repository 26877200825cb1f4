#include "ringtones/Ringtone.h"

namespace quorvel {

void Ringtone::registerClass() {
    NSManagedObject::registerClass(QStringLiteral("Ringtone"), [] { return std::make_shared<Ringtone>(); });
}

} // namespace quorvel
