#pragma once
// SIGINT and SIGTERM end a capture, a replay or a simulation in order (the stop
// steps still run) instead of killing the program. A second signal of the same
// kind ends the program at once, for a user who does not want to wait, after the
// last action set (a terminal put back as it was). A write beyond the file-size
// limit fails instead of ending the program (SIGXFSZ).

#include <atomic>

class ZCliStopSignal {
public:
    // Installs the handlers (once per process) and returns the flag they set.
    static const std::atomic<bool>& Install();
    // Makes signalNumber (SIGHUP, say) stop the work as SIGINT and SIGTERM do.
    static void AlsoStopOn(int signalNumber);
    // What the handler does before a second signal ends the program; it must be
    // async-signal-safe. Null for nothing.
    static void SetLastAction(void (*action)());
};
