#include "ZFrameLogGate.h"


void ZFrameLogGate::Reset() {
    waiting_ = false;
    droppingStop_ = false;
}

void ZFrameLogGate::Finish() {
    ReleaseWaiting();
    droppingStop_ = false;
}

void ZFrameLogGate::ReleaseWaiting() {
    if (!waiting_) return;
    waiting_ = false;
    waitingBlock_.Bytes = waitingBytes_.data();
    log_(waitingBlock_, false);
}

void ZFrameLogGate::Pass(const ZLoggerSettings& settings, const sBlock& block) {
    const uint8_t kind = block.Kind;
    const TFrameVerdict verdict = block.Verdict;
    const bool dropping = settings.Frames.DropBadFrames && settings.Frames.ChecksumActive() &&
                          settings.CaptureMode != cmAllBytes;
    if (!dropping) {
        log_(block, verdict == fvBad);
        return;
    }
    if (kind == bkStartTrigger && verdict == fvNone) {
        // A frame lost to a buffer overflow never got its verdict: its trigger is written.
        ReleaseWaiting();
        waiting_ = true;
        waitingBytes_.assign(block.Bytes, block.Bytes + block.Length);
        waitingBlock_ = block;
        waitingBlock_.Bytes = nullptr;
        return;
    }
    if (verdict == fvBad) {
        // A start trigger that ends its own (bad) frame starts a new frame: one still
        // waiting belongs to an earlier frame, lost to an overflow, and is written.
        if (kind == bkStartTrigger) ReleaseWaiting();
        waiting_ = false;
        // Where a stop trigger ends the frame, the verdict comes with the data, and the
        // stop trigger follows.
        droppingStop_ = kind == bkData && ZStopTriggerEndsFrame(settings.CaptureMode);
        return;
    }
    if (kind == bkStopTrigger && droppingStop_) {
        droppingStop_ = false;
        return;
    }
    ReleaseWaiting();
    log_(block, false);
}
