#include "ZFrameLogGate.h"

#include "ZFilter.h"

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
    log_(waitingBytes_.data(), static_cast<int>(waitingBytes_.size()), waitingTime_, bkStartTrigger, false);
}

void ZFrameLogGate::Pass(const ZLoggerSettings& settings, TDateTime time, const uint8_t* bytes, int length,
                         uint8_t kind, TFrameVerdict verdict) {
    const bool dropping = settings.Frames.DropBadFrames && settings.Frames.ChecksumActive() &&
                          settings.CaptureMode != cmAllBytes;
    if (!dropping) {
        log_(bytes, length, time, kind, verdict == fvBad);
        return;
    }
    if (kind == bkStartTrigger && verdict == fvNone) {
        // A frame lost to a buffer overflow never got its verdict: its trigger is written.
        ReleaseWaiting();
        waiting_ = true;
        waitingBytes_.assign(bytes, bytes + length);
        waitingTime_ = time;
        return;
    }
    if (verdict == fvBad) {
        // A start trigger that ends its own (bad) frame starts a new frame: one still
        // waiting belongs to an earlier frame, lost to an overflow, and is written.
        if (kind == bkStartTrigger) ReleaseWaiting();
        waiting_ = false;
        // In cmBetweenTriggers the verdict comes with the data; the stop trigger follows.
        droppingStop_ = kind == bkData && settings.CaptureMode == cmBetweenTriggers;
        return;
    }
    if (kind == bkStopTrigger && droppingStop_) {
        droppingStop_ = false;
        return;
    }
    ReleaseWaiting();
    log_(bytes, length, time, kind, false);
}
