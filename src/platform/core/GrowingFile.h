#pragma once
// Files that one thread is still writing while another reads them: the writer
// marks the file growing, tells of each step, and says at the end whether the
// file is whole. A reader that follows the file waits at the end of what is
// written instead of taking it for the file's end.
//
// Files are known by their path as given (the writer and the readers use the
// same path). Thread safety: every function may be called from any thread.
#include <QString>
#include <chrono>
#include <utility>

namespace quorvel {

class GrowingFile {
public:
    enum class State {
        NotGrowing, // nobody marks it, or its writer closed it whole: it is what is on the disk
        Growing,    // more is coming
        Failed,     // the writer stopped short: what is there must not be used
    };

    // The writer: before the first byte, after each step, and at the end
    // (once the file is closed).
    static void begin(const QString& path);
    static void grew(const QString& path);
    // `reason` (a sentence for the user) says why a file that is not complete stopped.
    static void end(const QString& path, bool complete, const QString& reason = {});

    // The writer's side as an object: begins at once, and ends as failed
    // when it goes without end() (an exception, an early return), so that no
    // reader waits for ever.
    class Writing {
    public:
        explicit Writing(QString path) : path_(std::move(path)) { begin(path_); }
        ~Writing() {
            if (!ended_) GrowingFile::end(path_, false, QStringLiteral("The file was not finished."));
        }
        Writing(const Writing&) = delete;
        Writing& operator=(const Writing&) = delete;
        void grew() { GrowingFile::grew(path_); }
        void end(bool complete, const QString& reason = {}) {
            ended_ = true;
            GrowingFile::end(path_, complete, reason);
        }

    private:
        QString path_;
        bool ended_ = false;
    };

    static State state(const QString& path);
    // Why a Failed file stopped; empty for the others.
    static QString failureReason(const QString& path);
    // Waits until the writer tells of a step or its end, or `timeout` passes;
    // returns the state then.
    static State waitForMore(const QString& path, std::chrono::milliseconds timeout);
};

} // namespace quorvel
