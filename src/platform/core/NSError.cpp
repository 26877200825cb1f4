#include "platform/core/NSError.h"

#include <QStringList>

namespace quorvel {

QString NSError::description() const {
    return QStringLiteral("Error Domain=%1 Code=%2 \"%3\"").arg(domain).arg(code).arg(localizedDescription);
}

QString describe(const NSError& e) { return e.description(); }

QString describe(const QVariantMap& map) {
    QStringList parts;
    for (auto it = map.cbegin(); it != map.cend(); ++it)
        parts << QStringLiteral("%1 = %2").arg(it.key(), it.value().toString());
    return QStringLiteral("{") + parts.join(QStringLiteral("; ")) + QStringLiteral("}");
}

} // namespace quorvel
