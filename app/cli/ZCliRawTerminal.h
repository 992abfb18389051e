#pragma once
// The terminal `kestrun-cli term` runs in, put into raw mode for as long as the
// object lives: no echo, no line editing, no signals from keys (Ctrl+C is a byte for
// the device), output passed unchanged. Its settings as they were come back when the
// object ends, and, should the program be killed by a second SIGINT or SIGTERM,
// from the signal handler before it dies (see ZCliStopSignal::SetLastAction). One at
// a time per process; main thread.

#include <termios.h>

class ZCliRawTerminal {
public:
    // Raw mode on the terminal of fd, when fd is one; IsRaw says whether it took.
    explicit ZCliRawTerminal(int fd);
    ~ZCliRawTerminal() { Restore(); }
    ZCliRawTerminal(const ZCliRawTerminal&) = delete;
    ZCliRawTerminal& operator=(const ZCliRawTerminal&) = delete;

    bool IsRaw() const { return raw_; }
    // The settings as they were; later calls do nothing.
    void Restore();

private:
    // Async-signal-safe: tcsetattr from the copy made at the start.
    static void RestoreFromSignal();

    bool raw_ = false;
};
