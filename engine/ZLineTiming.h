#pragma once
// How long characters take on a serial line, and the silence that keeps two frames
// on it apart. A character is 1 start bit, the data bits, the parity bit and the
// stop bits at the line's rate. The least gap between frames is 3.5 characters, and
// at least 1.75 ms above 19200 baud, where the character times get too short for
// the adapters and UARTs in between to keep (the Modbus RTU serial line rule).
// Plain value; any thread.

#include <cstdint>

struct ZLineTiming {
    // Above this rate the least frame gap stops shrinking with the character time.
    static constexpr int32_t FixedGapAboveBaud = 19200;
    static constexpr int64_t FixedGapMicros = 1750;

    // A character of 1 start bit, dataBits, parityBits and stopBits (1.5 allowed).
    static ZLineTiming Of(int32_t baudRate, int dataBits, int parityBits, double stopBits);

    // tenths tenths of a character time, rounded to the nearest microsecond; 0 on a
    // line without a rate.
    int64_t CharacterTenthsMicros(int64_t tenths) const;
    // The time count bytes take on the line, rounded to the nearest microsecond.
    int64_t BytesMicros(int64_t count) const { return CharacterTenthsMicros(count * 10); }
    // 3.5 characters, and at least FixedGapMicros above FixedGapAboveBaud.
    int64_t FrameGapMicros() const;

    bool operator==(const ZLineTiming&) const = default;

    int32_t BaudRate = 0;   // 0 or less: no rate known, every time is 0
    int64_t HalfBits = 20;  // bits per character, in halves so that 1.5 stop bits stay whole
};
