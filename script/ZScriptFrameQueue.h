#pragma once
// The frames a script waits for. As a block observer it gathers the blocks of each
// frame (start trigger, data block, stop trigger) on the engine's pump thread, each
// line's apart (the blocks of two lines interleave), and queues the frame; trash and
// flush blocks, sends and frames without a data block never reach a script. The
// script's thread takes the frames in order.
//
// At most MaxFrames wait. A live capture is never held up: one frame more ends the
// script with an overrun error instead of losing a frame unseen. A replay, which has
// time, waits for room instead. Once stopped (the script ended) nothing is queued.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>

#include "ZFrameExport.h"
#include "ZScriptFrame.h"

class ZScriptFrameQueue : public IZBlockObserver {
public:
    static constexpr size_t MaxFrames = 100000;
    using Clock = std::chrono::steady_clock;

    // stopTriggerEndsFrame: the capture mode ends frames with a stop trigger (see
    // ZStopTriggerEndsFrame), else a data block ends its frame. waitWhenFull: a replay.
    ZScriptFrameQueue(bool stopTriggerEndsFrame, bool waitWhenFull);
    // The capture mode's framing, while no capture runs.
    void SetStopTriggerEndsFrame(bool ends) { stopTriggerEndsFrame_ = ends; }

    // Pump thread.
    void OnBlock(const sBlock& block) override;

    enum class Take { Frame, Timeout, Ended, Overrun, Stopped };
    // Takes the oldest frame, waiting until deadline for one. Ended: the recording is
    // over and every frame taken; Overrun: frames were refused (the script must end);
    // Stopped: Stop was called. Script thread.
    Take Pop(ZScriptFrame& frame, Clock::time_point deadline);
    // Waits until deadline or Stop; true when stopped. Script thread.
    bool WaitForStop(Clock::time_point deadline);
    // Forgets the frames waiting (a send starts a new question). Script thread.
    void Discard();
    // No frame will come any more: the recording is over. Any thread.
    void Close();
    // Wakes every wait, which returns Stopped from now on, and queues nothing more. Any thread.
    void Stop();
    // Empty and taking frames again for the next script, from the next frame that begins. Any thread.
    void Rearm();
    bool IsStopped() const;

private:
    // The frame being gathered on one line.
    struct Gathering {
        ZScriptFrame Frame;
        bool Any = false;
        bool Data = false;
    };

    void Push(ZScriptFrame&& frame);
    void Gather(Gathering& line, const sBlock& block);

    std::atomic<bool> stopTriggerEndsFrame_;  // set by the window thread, read by the pump thread
    const bool waitWhenFull_;
    // The frames being gathered, by line; pump thread only.
    Gathering gathering_[2];
    // stopped_ for the pump thread, which gathers nothing while it is set.
    std::atomic<bool> idle_{false};

    mutable std::mutex lock_;  // guards frames_, closed_, stopped_ and overrun_
    std::condition_variable changed_;
    std::deque<ZScriptFrame> frames_;
    bool closed_ = false;
    bool stopped_ = false;
    bool overrun_ = false;
};
