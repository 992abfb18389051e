#include "ZSendPacer.h"

#include <algorithm>

#include "ZBlock.h"

namespace {

using Clock = ZSendPacer::Clock;

Clock::duration Micros(int64_t us) {
    return std::chrono::duration_cast<Clock::duration>(std::chrono::microseconds(us));
}

Clock::duration Millis(int32_t ms) {
    return std::chrono::duration_cast<Clock::duration>(std::chrono::milliseconds(std::max(ms, 0)));
}

}  // namespace

ZSendPacer::ZSendPacer(std::function<Clock::time_point()> clock) : clock_(std::move(clock)) {
    SetLine({}, 0);
}

void ZSendPacer::SetLine(const ZLineTiming& line, int32_t gapMs) {
    line_ = line;
    gap_ = std::max(Millis(gapMs), Micros(line.FrameGapMicros()));
}

void ZSendPacer::Enqueue(const ZSendSequence& sequence) {
    Once once;
    once.Bytes = sequence.BuildBytes();
    once.Every = Millis(sequence.Every);
    once.WaitAnswer = Millis(sequence.WaitAnswerMs);
    once.Queued = clock_();
    queue_.push_back(std::move(once));
}

void ZSendPacer::Stop() {
    queue_.clear();
    repeats_.clear();
    awaiting_ = false;
}

void ZSendPacer::EndRepeats() {
    repeats_.clear();
    for (Once& once : queue_) once.Every = {};
}

void ZSendPacer::Clear() {
    Stop();
    lineFree_ = {};
    sent_ = 0;
    skipped_ = 0;
    recordsSeen_.store(0);
    answeredAfter_.store(0);
}

void ZSendPacer::OnBlock(const sBlock& block) {
    if (block.Kind == bkSent) {
        recordsSeen_.fetch_add(1);
        return;
    }
    if (block.Kind != bkData && block.Kind != bkStopTrigger && block.Kind != bkFlush) return;
    answerSeen_.store(clock_().time_since_epoch().count());
    answeredAfter_.store(recordsSeen_.load());
}

bool ZSendPacer::Answered() const {
    return answeredAfter_.load() >= sent_;
}

bool ZSendPacer::LineFreeAt(Clock::time_point now, Clock::time_point& at) const {
    at = lineFree_;
    if (!awaiting_) return true;
    if (Answered()) {
        at = std::max(at, Clock::time_point(Clock::duration(answerSeen_.load())) + gap_);
        return true;
    }
    at = std::max(at, answerDeadline_);
    return now >= answerDeadline_;
}

bool ZSendPacer::WaitOver(Clock::time_point now) {
    Clock::time_point at;
    if (!LineFreeAt(now, at)) return false;
    lineFree_ = at;
    awaiting_ = false;
    return true;
}

void ZSendPacer::SkipMissedTicks(Clock::time_point now) {
    for (Repeat& repeat : repeats_) {
        if (now < repeat.Tick()) continue;
        // Only the latest tick that has come may still go; those before it are gone.
        const int64_t current = (now - repeat.Anchor) / repeat.Every;
        skipped_ += static_cast<uint64_t>(current - repeat.NextTick);
        repeat.NextTick = current;
    }
}

void ZSendPacer::Occupy(Clock::time_point now, size_t bytes, Clock::duration waitAnswer) {
    sent_ += 1;
    lineFree_ = now + Micros(line_.BytesMicros(static_cast<int64_t>(bytes))) + gap_;
    awaiting_ = waitAnswer.count() > 0;
    answerDeadline_ = now + waitAnswer;
}

bool ZSendPacer::SendDue(const Sender& send, Clock::time_point now, std::string& errorText) {
    const bool waitOver = WaitOver(now);
    SkipMissedTicks(now);
    if (!waitOver || now < lineFree_) return true;
    // The frame that fell due first goes; a queued one before a repeat of the same time.
    Repeat* repeat = nullptr;
    for (Repeat& candidate : repeats_) {
        if (candidate.Tick() <= now && (repeat == nullptr || candidate.Tick() < repeat->Tick()))
            repeat = &candidate;
    }
    const bool queuedFirst =
        !queue_.empty() && (repeat == nullptr || queue_.front().Queued <= repeat->Tick());
    if (!queuedFirst && repeat == nullptr) return true;
    const std::vector<uint8_t>& bytes = queuedFirst ? queue_.front().Bytes : repeat->Bytes;
    const ZSendResult result = send(bytes, !queuedFirst, errorText);
    if (result == ZSendResult::Sent)
        Occupy(now, bytes.size(), queuedFirst ? queue_.front().WaitAnswer : repeat->WaitAnswer);
    if (result == ZSendResult::Skipped) skipped_ += 1;
    if (queuedFirst) {
        Once once = std::move(queue_.front());
        queue_.pop_front();
        if (once.Every.count() > 0)
            repeats_.push_back({std::move(once.Bytes), once.Every, once.WaitAnswer, now, 1});
    } else {
        repeat->NextTick += 1;
    }
    return result != ZSendResult::Refused;
}

Clock::time_point ZSendPacer::NextDue(Clock::time_point now) const {
    if (Idle()) return Clock::time_point::max();
    Clock::time_point free;
    if (!LineFreeAt(now, free)) return std::min(answerDeadline_, now + AnswerPoll);
    Clock::time_point due = queue_.empty() ? Clock::time_point::max() : queue_.front().Queued;
    for (const Repeat& repeat : repeats_) due = std::min(due, repeat.Tick());
    return std::max(due, free);
}
