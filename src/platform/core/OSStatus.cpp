#include "platform/core/OSStatus.h"

namespace quorvel {

QString fourCCString(uint32_t code) {
    char c[4] = {char(code >> 24), char(code >> 16), char(code >> 8), char(code)};
    return QString::fromLatin1(c, 4);
}

QString formatOSStatus(OSStatus status) {
    const auto code = uint32_t(status);
    for (int shift = 24; shift >= 0; shift -= 8) {
        const unsigned char c = (code >> shift) & 0xFF;
        if (c < 0x20 || c > 0x7E) return QString::number(status);
    }
    return QStringLiteral("%1 '%2'").arg(status).arg(fourCCString(code));
}

} // namespace quorvel
