#include "FuzzInput.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace quorvel::fuzz {

namespace {

// Every input is written to a file: in memory (/dev/shm) that is many times
// faster than a disk under load.
QString scratchParent() {
    const QString shm = QStringLiteral("/dev/shm");
    return QFileInfo(shm).isDir() && QFileInfo(shm).isWritable() ? shm : QDir::tempPath();
}

} // namespace

const QString& scratchDir() {
    // A static QTemporaryDir removes the folder when the process ends normally.
    static QTemporaryDir dir(scratchParent() + QStringLiteral("/quorvel-fuzz-XXXXXX"));
    static const QString path = dir.path();
    return path;
}

QString writeInput(const uint8_t* data, size_t size, const QString& extension) {
    const QString path = scratchDir() + QStringLiteral("/input.") + extension;
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> f(std::fopen(QFile::encodeName(path).constData(), "wb"),
                                                       &std::fclose);
    if (!f || (size > 0 && std::fwrite(data, 1, size, f.get()) != size)) fail("cannot write the input file");
    return path;
}

void fail(const char* what) {
    std::fprintf(stderr, "fuzz target invariant failed: %s\n", what);
    std::abort();
}

} // namespace quorvel::fuzz
