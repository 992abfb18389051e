#pragma once
// Decides which blocks reach the log files when frames with a wrong checksum are
// dropped from them (DropBadFrames): a start trigger waits until its frame's verdict
// is known and then goes with its frame or is dropped with it. Without dropping,
// every block passes at once, and a block whose frame was wrong carries the marker.
// The thread that hands out the filter's blocks only.

#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

#include "ZBlock.h"
#include "ZLoggerSettings.h"
#include "ZULDateTime.h"

class ZFrameLogGate {
public:
    // Receives the blocks that are written, in order; checksumWrong asks for the marker.
    using TLogBlock = std::function<void(const sBlock& block, bool checksumWrong)>;

    explicit ZFrameLogGate(TLogBlock log) : log_(std::move(log)) {}

    // Forgets a waiting start trigger and a frame being dropped (a capture start).
    void Reset();
    // One filter block with its verdict, read with the settings in use.
    void Pass(const ZLoggerSettings& settings, const sBlock& block);
    // Writes a start trigger still waiting (a capture stop: its frame never ended).
    void Finish();

private:
    void ReleaseWaiting();

    TLogBlock log_;
    bool waiting_ = false;  // a start trigger is held in waiting_, its bytes in waitingBytes_
    sBlock waitingBlock_;
    std::vector<uint8_t> waitingBytes_;
    bool droppingStop_ = false;  // the stop trigger of a dropped frame is still to come
};
