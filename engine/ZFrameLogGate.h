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

#include "ZChecksum.h"
#include "ZLoggerSettings.h"
#include "ZULDateTime.h"

class ZFrameLogGate {
public:
    // Receives the blocks that are written, in order; checksumWrong asks for the marker.
    using TLogBlock = std::function<void(const uint8_t* bytes, int length, TDateTime time, uint8_t kind,
                                         bool checksumWrong)>;

    explicit ZFrameLogGate(TLogBlock log) : log_(std::move(log)) {}

    // Forgets a waiting start trigger and a frame being dropped (a capture start).
    void Reset();
    // One filter block with its verdict, read with the settings in use.
    void Pass(const ZLoggerSettings& settings, TDateTime time, const uint8_t* bytes, int length, uint8_t kind,
              TFrameVerdict verdict);
    // Writes a start trigger still waiting (a capture stop: its frame never ended).
    void Finish();

private:
    void ReleaseWaiting();

    TLogBlock log_;
    bool waiting_ = false;  // a start trigger is held in waitingBytes_
    std::vector<uint8_t> waitingBytes_;
    TDateTime waitingTime_ = 0;
    bool droppingStop_ = false;  // the stop trigger of a dropped frame is still to come
};
