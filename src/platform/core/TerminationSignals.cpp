#include "platform/core/TerminationSignals.h"

#include "platform/core/Log.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <atomic>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace quorvel {

namespace {

int pipeEnds[2] = {-1, -1};
std::atomic<int> received{0};

void handleSignal(int number) {
    int expected = 0;
    if (!received.compare_exchange_strong(expected, number)) {
        // Asked twice: the default way, now.
        std::signal(number, SIG_DFL);
        std::raise(number);
        return;
    }
    const char byte = char(number);
    const ssize_t written = ::write(pipeEnds[1], &byte, 1);
    (void)written;
}

} // namespace

TerminationSignals::TerminationSignals(std::function<void()> onSignal)
    : QObject(QCoreApplication::instance()), onSignal_(std::move(onSignal)) {
    notifier_ = new QSocketNotifier(pipeEnds[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &TerminationSignals::readPipe);
}

void TerminationSignals::install(std::function<void()> onSignal) {
    if (pipeEnds[0] >= 0 || !QCoreApplication::instance()) return;
    if (::pipe2(pipeEnds, O_CLOEXEC | O_NONBLOCK) != 0) {
        NSLog("The termination signals keep their default action: no pipe");
        return;
    }
    new TerminationSignals(std::move(onSignal));
    struct sigaction action = {};
    action.sa_handler = handleSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
}

bool TerminationSignals::isRequested() { return received.load() != 0; }

int TerminationSignals::signalNumber() { return received.load(); }

void TerminationSignals::readPipe() {
    char bytes[16];
    while (::read(pipeEnds[0], bytes, sizeof bytes) > 0) {
    }
    notifier_->setEnabled(false);
    NSLog("Ending on signal %d", signalNumber());
    if (onSignal_) onSignal_();
}

} // namespace quorvel
