#pragma once
// Helpers of the fuzz targets: the readers under test take files, so each
// input is written to a file in a private scratch folder first.
#include <QString>
#include <cstddef>
#include <cstdint>

namespace quorvel::fuzz {

// The scratch folder of this process (made on first use, removed at exit).
const QString& scratchDir();
// Writes `size` bytes to scratchDir()/input.<extension> and returns the path.
QString writeInput(const uint8_t* data, size_t size, const QString& extension);
// Ends the process with a message when an invariant of the reader fails;
// libFuzzer keeps the input that did it.
[[noreturn]] void fail(const char* what);
inline void check(bool ok, const char* what) {
    if (!ok) fail(what);
}

} // namespace quorvel::fuzz
