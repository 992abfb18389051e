#include "ZLineTiming.h"

#include <algorithm>

ZLineTiming ZLineTiming::Of(int32_t baudRate, int dataBits, int parityBits, double stopBits) {
    ZLineTiming line;
    line.BaudRate = baudRate;
    line.HalfBits = 2 * (1 + int64_t{dataBits} + parityBits) + static_cast<int64_t>(stopBits * 2 + 0.5);
    return line;
}

int64_t ZLineTiming::CharacterTenthsMicros(int64_t tenths) const {
    if (BaudRate <= 0) return 0;
    const int64_t denominator = int64_t{20} * BaudRate;
    return (tenths * HalfBits * 1'000'000 + denominator / 2) / denominator;
}

int64_t ZLineTiming::FrameGapMicros() const {
    const int64_t characters = CharacterTenthsMicros(35);
    return BaudRate > FixedGapAboveBaud ? std::max(characters, FixedGapMicros) : characters;
}
