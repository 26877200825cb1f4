#include "platform/core/NoReplaceRename.h"

#include <QFile>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace quorvel {

namespace {

NoReplaceRename::Result failed(QString* error, const QString& from, int code) {
    if (error) *error = QStringLiteral("%1: %2").arg(from, QString::fromLocal8Bit(std::strerror(code)));
    return NoReplaceRename::Result::Failed;
}

bool unsupported(int code) { return code == EINVAL || code == ENOSYS || code == ENOTSUP || code == EPERM; }

} // namespace

NoReplaceRename::Result NoReplaceRename::move(const QString& from, const QString& to, QString* error) {
    const QByteArray source = QFile::encodeName(from);
    const QByteArray target = QFile::encodeName(to);
    if (::renameat2(AT_FDCWD, source.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE) == 0)
        return Result::Moved;
    int code = errno;
    if (code == EEXIST) return Result::Exists;
    if (!unsupported(code)) return failed(error, from, code);

    // A second name for the same file is refused when the name is taken.
    if (::link(source.constData(), target.constData()) == 0) {
        ::unlink(source.constData());
        return Result::Moved;
    }
    code = errno;
    if (code == EEXIST) return Result::Exists;
    if (!unsupported(code)) return failed(error, from, code);

    // No hard links either (FAT, some network shares): reserve the name with
    // an empty file of our own, then let the rename replace only that.
    const int fd = ::open(target.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) return errno == EEXIST ? Result::Exists : failed(error, to, errno);
    ::close(fd);
    if (std::rename(source.constData(), target.constData()) == 0) return Result::Moved;
    code = errno;
    ::unlink(target.constData());
    return failed(error, from, code);
}

} // namespace quorvel
