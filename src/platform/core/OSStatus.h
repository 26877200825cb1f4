#pragma once
// Status codes in the platform's style: 0 is success; otherwise a
// four-character code or a negative number.
#include <QString>
#include <cstdint>

namespace quorvel {

using OSStatus = int32_t;
constexpr OSStatus noErr = 0;

constexpr uint32_t fourCC(const char (&code)[5]) {
    return (uint32_t(uint8_t(code[0])) << 24) | (uint32_t(uint8_t(code[1])) << 16) |
           (uint32_t(uint8_t(code[2])) << 8) | uint32_t(uint8_t(code[3]));
}

// The code's four bytes, most significant first, as characters.
QString fourCCString(uint32_t code);
// A status as logs show it: the number, followed by its four characters in
// quotes when all four are printable ("2003334207 'wht?'"); a status such as
// -34 has no characters worth printing and is the number alone.
QString formatOSStatus(OSStatus status);

} // namespace quorvel
