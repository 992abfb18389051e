#include "ZCliStopSignal.h"

#include <signal.h>

#include <csignal>

namespace {

// Lock-free, so the handler may set it (checked below at compile time).
std::atomic<bool> stopRequested{false};
static_assert(std::atomic<bool>::is_always_lock_free);
std::atomic<void (*)()> lastAction{nullptr};
static_assert(std::atomic<void (*)()>::is_always_lock_free);

extern "C" void OnStopSignal(int signalNumber) {
    if (stopRequested.exchange(true)) {
        if (void (*action)() = lastAction.load()) action();
        // The user asks again: give up the orderly stop.
        std::signal(signalNumber, SIG_DFL);
        std::raise(signalNumber);
    }
}

}  // namespace

void ZCliStopSignal::AlsoStopOn(int signalNumber) {
    struct sigaction action = {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    sigaction(signalNumber, &action, nullptr);
}

void ZCliStopSignal::SetLastAction(void (*action)()) {
    lastAction.store(action);
}

const std::atomic<bool>& ZCliStopSignal::Install() {
    AlsoStopOn(SIGINT);
    AlsoStopOn(SIGTERM);
    // A file-size limit must fail the write that reaches it (EFBIG), so that the
    // report says what was written, rather than end the program without one.
    std::signal(SIGXFSZ, SIG_IGN);
    return stopRequested;
}
