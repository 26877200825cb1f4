#include "OSStatus.h"

namespace quorvel {

QString fourCCString(uint32_t code) {
    char c[4] = {char(code >> 24), char(code >> 16), char(code >> 8), char(code)};
    return QString::fromLatin1(c, 4);
}

} // namespace quorvel
