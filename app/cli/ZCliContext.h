#pragma once
// What a command of kestrun-cli gets from its caller: where to write, when to stop,
// and whether stderr is a terminal. The program passes std::cout/std::cerr and the
// flag its signal handlers set; the tests pass string streams and their own flag.

#include <atomic>
#include <functional>
#include <ostream>

// Exit codes of every command.
constexpr int kCliExitOk = 0;
constexpr int kCliExitFailed = 1;  // the work failed (port not opened, trigger missing, ...)
constexpr int kCliExitUsage = 2;   // bad usage, or a settings file that cannot be loaded

struct ZCliContext {
    ZCliContext(std::ostream& out, std::ostream& err) : Out(out), Err(err) {}

    std::ostream& Out;
    std::ostream& Err;
    // Set (from a signal handler or another thread) to end a capture, a replay or a
    // simulation early; never reset by a command. May be null: nothing stops it then.
    const std::atomic<bool>* StopRequested = nullptr;
    // Live counters are shown on stderr only when it is a terminal.
    bool ErrIsTerminal = false;
    // Called once a live capture has opened its port (on the calling thread).
    std::function<void()> OnCaptureStarted;
    // Where `term` reads the keys (or piped bytes) for the device from, and where it
    // writes what the device sends: standard input and output.
    int InputFd = 0;
    int OutputFd = 1;

    bool IsStopRequested() const { return StopRequested != nullptr && StopRequested->load(); }
};
