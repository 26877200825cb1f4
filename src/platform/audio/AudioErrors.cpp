#include "platform/audio/AudioErrors.h"

namespace quorvel {

const QString NSOSStatusErrorDomain = QStringLiteral("NSOSStatusErrorDomain");

NSError osStatusError(OSStatus code, const QString& description) {
    return NSError{NSOSStatusErrorDomain, code, description, {{NSLocalizedDescriptionKey, description}}};
}

} // namespace quorvel
