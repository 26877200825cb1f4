#pragma once
// SIGTERM and SIGINT (a logout, `kill`, systemd, Ctrl+C) end the program the
// way its own quit does, not in the middle of a write: the signal handler
// only writes to a pipe, and the main thread's event loop reads it and runs
// the program's handler there. Loops that run without an event loop ask
// isRequested(). A second signal ends the process at once, as usual.
//
//   TerminationSignals::install([] { QApplication::closeAllWindows(); });
//
// Install once, on the main thread, after the application object exists.
#include <QObject>
#include <functional>

class QSocketNotifier;

namespace quorvel {

class TerminationSignals : public QObject {
public:
    // Sets the handlers; `onSignal` runs on the main thread for the first signal.
    static void install(std::function<void()> onSignal);
    // A termination signal has arrived (safe from any thread).
    static bool isRequested();
    // Which one (SIGTERM, SIGINT), 0 before any.
    static int signalNumber();

private:
    explicit TerminationSignals(std::function<void()> onSignal);
    void readPipe();

    std::function<void()> onSignal_;
    QSocketNotifier* notifier_ = nullptr;
};

} // namespace quorvel
