#pragma once
// An exclusive lock between processes (and between instances in one
// process) on a hidden file in the documents folder, such as
// ".Quorvel.lock" for the start-up work or ".Export.lock" for an export's
// work files.
//
// The lock is flock(2) on the open file: the kernel drops it when its holder
// ends in any way, so a crashed holder never leaves a lock that has to be
// guessed stale, and taking it writes nothing, so it still works on a full
// disk (where listing and deleting must go on). The file itself stays.
//
//   DocumentsLock lock(DocumentsLock::kStartUpLockName);
//   if (lock.lock(std::chrono::seconds(60)) != DocumentsLock::Result::Locked) fail(lock.errorString());
//
// Not thread-safe: one instance belongs to one thread. Descriptors are
// closed across exec, so a program started while the lock is held does not
// keep it.
#include <QString>
#include <chrono>
#include <functional>

namespace quorvel {

class DocumentsLock {
public:
    // Creating the store, checking it and the one-time migration and clean-up.
    static const QString kStartUpLockName;
    // An export's fixed-name work files, from the cut to the stored row.
    static const QString kExportLockName;

    enum class Result { Locked, Busy, Failed };

    // `fileName` is a file name inside the documents folder (made on first use).
    explicit DocumentsLock(const QString& fileName);
    ~DocumentsLock();
    DocumentsLock(const DocumentsLock&) = delete;
    DocumentsLock& operator=(const DocumentsLock&) = delete;

    // One try, without waiting. Busy: another holder has it. Failed: the lock
    // file cannot be opened (errorString() says why).
    Result tryLock();
    // Waits up to `timeout` for the lock. `waiting` is called once, when the
    // first try finds it held. Busy: still held when the time was up.
    Result lock(std::chrono::milliseconds timeout, const std::function<void()>& waiting = {});
    void unlock();
    bool isLocked() const { return locked_; }

    const QString& path() const { return path_; }
    // Why the last tryLock() or lock() did not take the lock.
    const QString& errorString() const { return error_; }

private:
    QString path_;
    QString error_;
    int fd_ = -1;
    bool locked_ = false;
};

} // namespace quorvel
