#pragma once
// Paces what the user sends, so that frames on the line stay apart: one frame at a
// time, each starting at least the gap after the end of the one before (its start
// plus the line time of its bytes); a sequence may wait for the answer to it (the
// next frame received, or its WaitAnswerMs) before anything else goes. Sequences go
// in the order queued; one with an interval then repeats on ticks counted from its
// first send: a tick that passes while the line is busy, an answer is awaited or the
// caller was late is skipped and counted, and the next send keeps to its own tick.
// The command line and the Send page both drive it.
//
// One thread drives it (Enqueue, SendDue, NextDue, ...); OnBlock, the engine's
// report of every block, may come from another (the chunk pump).

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "ZFrameExport.h"
#include "ZLineTiming.h"
#include "ZSendSequence.h"
#include "ZSerialCapture.h"

class ZSendPacer : public IZBlockObserver {
public:
    using Clock = std::chrono::steady_clock;
    // Hands the bytes to the line (ZSerialCapture::SendBytes); a repeat may be skipped
    // while earlier bytes still wait to go out.
    using Sender =
        std::function<ZSendResult(const std::vector<uint8_t>& bytes, bool repeat, std::string& errorText)>;
    // While an answer is awaited and none has come, NextDue looks again this often.
    static constexpr auto AnswerPoll = std::chrono::milliseconds(5);

    // clock tells when a received frame was seen (the steady clock; a test's own).
    explicit ZSendPacer(std::function<Clock::time_point()> clock = Clock::now);

    // The line the frames go on and the gap asked for in ms; a gap below the line's
    // least frame gap (0 included) is that. Takes effect with the next send.
    void SetLine(const ZLineTiming& line, int32_t gapMs);
    // Queues the sequence to go once after everything queued before it; with an Every
    // above 0 it then repeats every Every ms, its ticks counted from that first send.
    void Enqueue(const ZSendSequence& sequence);
    // Drops what is queued and ends every repeat and the wait for an answer; the
    // counts stay.
    void Stop();
    // Ends every repeat, queued ones included; what is queued still goes once.
    void EndRepeats();
    // Stop, and zeroes the counts: for a new capture, before its first send.
    void Clear();

    // Sends the frame due at now, if one is; at most one per call. False when the line
    // refused it (errorText says why); a sequence with an interval still repeats.
    bool SendDue(const Sender& send, Clock::time_point now, std::string& errorText);
    // When SendDue may send next, as seen at now; Clock::time_point::max() when
    // nothing is queued or repeating.
    Clock::time_point NextDue(Clock::time_point now) const;
    // Nothing is queued and nothing repeats.
    bool Idle() const { return queue_.empty() && repeats_.empty(); }
    uint64_t Sent() const { return sent_; }
    // Ticks of repeats that passed without a send.
    uint64_t Skipped() const { return skipped_; }

    // A received frame (a data block, a stop trigger or a flush) that the engine
    // reports after the record of the last send answers it. Any thread.
    void OnBlock(const sBlock& block) override;

private:
    struct Once {
        std::vector<uint8_t> Bytes;
        Clock::duration Every{};
        Clock::duration WaitAnswer{};
        Clock::time_point Queued{};
    };
    struct Repeat {
        std::vector<uint8_t> Bytes;
        Clock::duration Every{};
        Clock::duration WaitAnswer{};
        Clock::time_point Anchor{};  // its first send; tick k is at Anchor + k * Every
        int64_t NextTick = 1;
        Clock::time_point Tick() const { return Anchor + NextTick * Every; }
    };

    // Ends the wait for an answer once it came (the line is then free a gap after it)
    // or its time ran out; true when no answer is awaited any more.
    bool WaitOver(Clock::time_point now);
    // The earliest a frame may start once the awaited answer is in (lineFree_ and,
    // with an answer seen, the gap after it); false while one is still awaited.
    bool LineFreeAt(Clock::time_point now, Clock::time_point& at) const;
    bool Answered() const;
    void SkipMissedTicks(Clock::time_point now);
    // After a send of bytes at now that waits for its answer this long.
    void Occupy(Clock::time_point now, size_t bytes, Clock::duration waitAnswer);

    const std::function<Clock::time_point()> clock_;
    ZLineTiming line_;
    Clock::duration gap_{};
    std::deque<Once> queue_;
    std::vector<Repeat> repeats_;
    Clock::time_point lineFree_{};  // the end of the last frame sent plus the gap
    bool awaiting_ = false;
    Clock::time_point answerDeadline_{};
    uint64_t sent_ = 0;
    uint64_t skipped_ = 0;

    // Written by OnBlock only: the send records reported so far, the number of them
    // reported before the last received frame, and when that frame was seen (its
    // steady clock count, stored before answeredAfter_ so that a reader who sees the
    // count sees the time).
    std::atomic<uint64_t> recordsSeen_{0};
    std::atomic<uint64_t> answeredAfter_{0};
    std::atomic<Clock::rep> answerSeen_{0};
};
