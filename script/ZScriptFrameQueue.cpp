#include "ZScriptFrameQueue.h"

#include "ZBlock.h"
#include "ZULDateTime.h"

ZScriptFrameQueue::ZScriptFrameQueue(bool stopTriggerEndsFrame, bool waitWhenFull)
    : stopTriggerEndsFrame_(stopTriggerEndsFrame), waitWhenFull_(waitWhenFull) {}

void ZScriptFrameQueue::OnBlock(const sBlock& block) {
    if (idle_.load(std::memory_order_relaxed)) {
        for (Gathering& line : gathering_) line = Gathering();
        return;
    }
    // A send is no frame, and a frame being received goes on gathering around it.
    if (block.Kind != bkSent) Gather(gathering_[block.Line == 1 ? 1 : 0], block);
}

void ZScriptFrameQueue::Gather(Gathering& line, const sBlock& block) {
    const auto* bytes = reinterpret_cast<const char*>(block.Bytes);
    const size_t length = bytes == nullptr || block.Length < 0 ? 0 : static_cast<size_t>(block.Length);
    if (block.Kind != bkStartTrigger && block.Kind != bkData && block.Kind != bkStopTrigger) {
        // Trash, and the flush of a frame cut short: no frame for a script.
        line.Any = line.Data = false;
        return;
    }
    if (block.Kind == bkStartTrigger || !line.Any) {
        line.Frame = ZScriptFrame();
        line.Frame.TimeUs = ZULToUnixMicros(block.Time);
        line.Frame.Line = block.Line;
        line.Frame.LineName = block.LineName;
        line.Any = true;
        line.Data = false;
    }
    if (block.Kind == bkData) {
        line.Frame.DataOffset = line.Frame.Bytes.size();
        line.Frame.DataLength = length;
        if (block.Values != nullptr) line.Frame.Fields = *block.Values;
        line.Data = true;
    }
    line.Frame.Bytes.append(bytes, length);
    if (block.Verdict != fvNone) line.Frame.Verdict = block.Verdict;
    const bool ends = block.Kind == bkStopTrigger || (block.Kind == bkData && !stopTriggerEndsFrame_);
    if (ends) {
        // Between triggers a stop right after the start is a frame of empty data.
        if (line.Data || block.Kind == bkStopTrigger) Push(std::move(line.Frame));
        line.Any = line.Data = false;
    } else if (block.Kind == bkStartTrigger && !stopTriggerEndsFrame_ && block.Verdict != fvNone) {
        // A verdict on a start trigger without a stop trigger: its frame has no data.
        line.Any = false;
    }
}

void ZScriptFrameQueue::Push(ZScriptFrame&& frame) {
    std::unique_lock guard(lock_);
    if (waitWhenFull_)
        changed_.wait(guard, [this] { return stopped_ || frames_.size() < MaxFrames; });
    if (stopped_ || overrun_) return;
    if (frames_.size() >= MaxFrames) {
        overrun_ = true;
    } else {
        frames_.push_back(std::move(frame));
    }
    changed_.notify_all();
}

ZScriptFrameQueue::Take ZScriptFrameQueue::Pop(ZScriptFrame& frame, Clock::time_point deadline) {
    std::unique_lock guard(lock_);
    const auto ready = [this] { return stopped_ || overrun_ || closed_ || !frames_.empty(); };
    if (deadline == Clock::time_point::max()) {
        changed_.wait(guard, ready);
    } else if (!changed_.wait_until(guard, deadline, ready)) {
        return Take::Timeout;
    }
    if (stopped_) return Take::Stopped;
    if (overrun_) return Take::Overrun;
    if (frames_.empty()) return Take::Ended;
    frame = std::move(frames_.front());
    frames_.pop_front();
    // A replay waiting for room goes on.
    if (waitWhenFull_) changed_.notify_all();
    return Take::Frame;
}

bool ZScriptFrameQueue::WaitForStop(Clock::time_point deadline) {
    std::unique_lock guard(lock_);
    return changed_.wait_until(guard, deadline, [this] { return stopped_; });
}

void ZScriptFrameQueue::Discard() {
    std::lock_guard guard(lock_);
    frames_.clear();
    changed_.notify_all();
}

void ZScriptFrameQueue::Close() {
    std::lock_guard guard(lock_);
    closed_ = true;
    changed_.notify_all();
}

void ZScriptFrameQueue::Stop() {
    std::lock_guard guard(lock_);
    stopped_ = true;
    idle_ = true;
    frames_.clear();
    changed_.notify_all();
}

void ZScriptFrameQueue::Rearm() {
    std::lock_guard guard(lock_);
    stopped_ = closed_ = overrun_ = false;
    idle_ = false;
    frames_.clear();
}

bool ZScriptFrameQueue::IsStopped() const {
    std::lock_guard guard(lock_);
    return stopped_;
}
