#pragma once
// Exact line speeds through the kernel's termios2 interface: rates without a
// B-constant (14400, 56000, 128000, 256000 baud) are only reachable this way.
// Its header <asm/termbits.h> redefines struct termios and the flags of
// <termios.h>, so the code lives in a source file that includes nothing else.

#include <cstdint>

// The kernel's complete terminal settings of a device, kept opaque here.
struct TTermios2State {
    alignas(8) unsigned char Bytes[64];
};

// Sets input and output speed to rate baud (BOTHER); false with errno set on failure.
bool Termios2SetSpeed(int fd, uint32_t rate);
// The output speed in baud, exact also for BOTHER rates.
bool Termios2GetSpeed(int fd, uint32_t& rate);
// The input speed in baud, likewise.
bool Termios2GetInputSpeed(int fd, uint32_t& rate);
bool Termios2Save(int fd, TTermios2State& state);
bool Termios2Restore(int fd, const TTermios2State& state);
