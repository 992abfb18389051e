#pragma once
// SIGINT and SIGTERM end a capture, a replay or a simulation in order (the stop
// steps still run) instead of killing the program. A second signal of the same
// kind ends the program at once, for a user who does not want to wait. A write
// beyond the file-size limit fails instead of ending the program (SIGXFSZ).

#include <atomic>

class ZCliStopSignal {
public:
    // Installs the handlers (once per process) and returns the flag they set.
    static const std::atomic<bool>& Install();
};
