#include "platform/core/DocumentsLock.h"

#include "platform/core/Paths.h"

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <thread>
#include <unistd.h>

namespace quorvel {

const QString DocumentsLock::kStartUpLockName = QStringLiteral(".Quorvel.lock");
const QString DocumentsLock::kExportLockName = QStringLiteral(".Export.lock");

DocumentsLock::DocumentsLock(const QString& fileName) : path_(Paths::documentPath(fileName)) {}

DocumentsLock::~DocumentsLock() { unlock(); }

DocumentsLock::Result DocumentsLock::tryLock() {
    if (locked_) return Result::Locked;
    if (fd_ < 0) {
        fd_ = ::open(QFile::encodeName(path_).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        if (fd_ < 0) {
            error_ = QStringLiteral("%1: %2").arg(path_, QString::fromLocal8Bit(std::strerror(errno)));
            return Result::Failed;
        }
    }
    int rc;
    do {
        rc = ::flock(fd_, LOCK_EX | LOCK_NB);
    } while (rc != 0 && errno == EINTR);
    if (rc == 0) {
        locked_ = true;
        error_.clear();
        return Result::Locked;
    }
    if (errno == EWOULDBLOCK) {
        error_ = QStringLiteral("%1 is held by another process").arg(path_);
        return Result::Busy;
    }
    error_ = QStringLiteral("%1: %2").arg(path_, QString::fromLocal8Bit(std::strerror(errno)));
    return Result::Failed;
}

DocumentsLock::Result DocumentsLock::lock(std::chrono::milliseconds timeout, const std::function<void()>& waiting) {
    using Clock = std::chrono::steady_clock;
    Result result = tryLock();
    if (result != Result::Busy) return result;
    if (waiting) waiting();
    const Clock::time_point deadline = Clock::now() + timeout;
    auto pause = std::chrono::milliseconds(10);
    while (Clock::now() < deadline) {
        std::this_thread::sleep_for(std::min<Clock::duration>(pause, deadline - Clock::now()));
        result = tryLock();
        if (result != Result::Busy) return result;
        pause = std::min(pause * 2, std::chrono::milliseconds(200));
    }
    return Result::Busy;
}

void DocumentsLock::unlock() {
    if (fd_ < 0) return;
    // Closing the descriptor drops the lock; the file stays for the next holder
    // (removing it would let two holders lock two different files).
    ::close(fd_);
    fd_ = -1;
    locked_ = false;
}

} // namespace quorvel
