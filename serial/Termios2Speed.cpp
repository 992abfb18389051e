#include "Termios2Speed.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

#include <cstring>

static_assert(sizeof(termios2) <= sizeof(TTermios2State::Bytes), "termios2 does not fit its opaque copy");

bool Termios2SetSpeed(int fd, uint32_t rate) {
    termios2 settings{};
    if (ioctl(fd, TCGETS2, &settings) != 0) return false;
    settings.c_cflag &= ~(CBAUD | (CBAUD << IBSHIFT));
    settings.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
    settings.c_ospeed = rate;
    settings.c_ispeed = rate;
    return ioctl(fd, TCSETS2, &settings) == 0;
}

bool Termios2GetSpeed(int fd, uint32_t& rate) {
    termios2 settings{};
    if (ioctl(fd, TCGETS2, &settings) != 0) return false;
    rate = settings.c_ospeed;
    return true;
}

bool Termios2GetInputSpeed(int fd, uint32_t& rate) {
    termios2 settings{};
    if (ioctl(fd, TCGETS2, &settings) != 0) return false;
    rate = settings.c_ispeed;
    return true;
}

bool Termios2Save(int fd, TTermios2State& state) {
    termios2 settings{};
    if (ioctl(fd, TCGETS2, &settings) != 0) return false;
    std::memcpy(state.Bytes, &settings, sizeof(settings));
    return true;
}

bool Termios2Restore(int fd, const TTermios2State& state) {
    termios2 settings{};
    std::memcpy(&settings, state.Bytes, sizeof(settings));
    return ioctl(fd, TCSETS2, &settings) == 0;
}
