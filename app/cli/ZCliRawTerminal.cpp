#include "ZCliRawTerminal.h"

#include <unistd.h>

#include "ZCliStopSignal.h"

namespace {

// Read by the signal handler: written before the handler can use them, cleared after.
int savedFd = -1;
termios saved{};

}  // namespace

ZCliRawTerminal::ZCliRawTerminal(int fd) {
    if (savedFd >= 0 || isatty(fd) != 1 || tcgetattr(fd, &saved) != 0) return;
    termios raw = saved;
    cfmakeraw(&raw);
    savedFd = fd;
    ZCliStopSignal::SetLastAction(&ZCliRawTerminal::RestoreFromSignal);
    // TCSAFLUSH: keys typed before the start are not taken for the device's.
    raw_ = tcsetattr(fd, TCSAFLUSH, &raw) == 0;
    if (!raw_) {
        ZCliStopSignal::SetLastAction(nullptr);
        savedFd = -1;
    }
}

void ZCliRawTerminal::Restore() {
    if (!raw_) return;
    raw_ = false;
    ZCliStopSignal::SetLastAction(nullptr);
    // TCSADRAIN: what was written still reaches the terminal in raw form.
    tcsetattr(savedFd, TCSADRAIN, &saved);
    savedFd = -1;
}

void ZCliRawTerminal::RestoreFromSignal() {
    if (savedFd >= 0) tcsetattr(savedFd, TCSANOW, &saved);
}
