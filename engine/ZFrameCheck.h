#pragma once
// Checks the checksum of one frame whose bytes lie in up to three pieces (start
// trigger, data, stop trigger), without joining them. The frame filter keeps the
// start trigger here until the rest of its frame has arrived. One thread at a time.

#include <cstdint>
#include <vector>

#include "ZChecksum.h"
#include "ZFrameSettings.h"

struct sFramePiece {
    const uint8_t* Bytes = nullptr;
    int Length = 0;
};

class ZFrameCheck {
public:
    // The verdict on the frame made of the pieces in order (empty pieces allowed):
    // fvNone without a checksum, fvBad when the frame is too short to hold the skipped
    // bytes, the gap and the checksum. Negative counts in the settings count as 0.
    static TFrameVerdict Check(const ZFrameSettings& settings, const sFramePiece* pieces, int count);

    // Keeps a copy of a start trigger; the capacity is kept, so frames of one capture
    // allocate nothing after the first.
    void KeepStart(const uint8_t* bytes, int length) { start_.assign(bytes, bytes + length); }
    sFramePiece Start() const { return {start_.data(), static_cast<int>(start_.size())}; }

private:
    std::vector<uint8_t> start_;
};
