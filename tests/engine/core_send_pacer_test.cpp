// The pacing of sends on a clock of the test's own: frames one at a time with the
// gap between them, repeats on their ticks, and the wait for an answer.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TriggerSequence.h"
#include "ZBlock.h"
#include "ZSendPacer.h"

namespace {

using Clock = ZSendPacer::Clock;

Clock::time_point At(int64_t us) {
    return Clock::time_point(std::chrono::seconds(1000) + std::chrono::microseconds(us));
}

int64_t Us(Clock::time_point t) {
    return std::chrono::duration_cast<std::chrono::microseconds>(t - At(0)).count();
}

ZSendSequence Sequence(std::vector<uint8_t> data, int32_t every = 0, int32_t waitAnswerMs = 0) {
    ZSendSequence sequence;
    sequence.Data = std::move(data);
    sequence.Every = every;
    sequence.WaitAnswerMs = waitAnswerMs;
    return sequence;
}

// What the engine reports while the driver runs: 'F' a received frame, 'S' the record
// of the next send (only in rows whose records come late; otherwise each comes at once).
struct Event {
    int64_t us;
    char kind;
};

struct Handed {
    int64_t us;
    std::string hex;
    bool operator==(const Handed&) const = default;
};

void PrintTo(const Handed& h, std::ostream* out) {
    *out << h.hex << " at " << h.us << " us";
}

struct PacerCase {
    const char* name;
    int32_t baud;  // 8N1
    int32_t gapMs;
    std::vector<ZSendSequence> sequences;  // queued at 0
    std::vector<Handed> handed;            // every frame handed to the line, with its time
    int64_t untilUs = 100000;
    std::vector<int64_t> wakes = {};  // when the driver looks; empty: whenever NextDue says
    uint64_t skipped = 0;
    std::vector<Event> events = {};
    bool lateRecords = false;
    std::vector<ZSendResult> results = {};  // the line's answers in order; Sent after them
    int refusals = 0;

    PacerCase Wakes(std::vector<int64_t> at, int64_t until) const {
        PacerCase c = *this;
        c.wakes = std::move(at);
        c.untilUs = until;
        return c;
    }
    PacerCase Skips(uint64_t count) const {
        PacerCase c = *this;
        c.skipped = count;
        return c;
    }
    PacerCase Reported(std::vector<Event> what, bool late = false) const {
        PacerCase c = *this;
        c.events = std::move(what);
        c.lateRecords = late;
        return c;
    }
    PacerCase Answers(std::vector<ZSendResult> what, int refused = 0) const {
        PacerCase c = *this;
        c.results = std::move(what);
        c.refusals = refused;
        return c;
    }
};

PacerCase Row(const char* name, int32_t baud, int32_t gapMs, std::vector<ZSendSequence> sequences,
              std::vector<Handed> handed, int64_t untilUs = 100000) {
    return PacerCase{name, baud, gapMs, std::move(sequences), std::move(handed), untilUs};
}

class SendPacerTest : public ::testing::TestWithParam<PacerCase> {};

TEST_P(SendPacerTest, HandsFramesToTheLineAtTheirTimes) {
    const PacerCase& c = GetParam();
    int64_t now = 0;
    ZSendPacer pacer([&] { return At(now); });
    pacer.SetLine(ZLineTiming::Of(c.baud, 8, 0, 1), c.gapMs);
    for (const ZSendSequence& sequence : c.sequences) pacer.Enqueue(sequence);
    const sBlock record(0, nullptr, 0, bkSent);
    const sBlock frame(0, nullptr, 0, bkData);
    std::vector<Handed> handed;
    size_t answer = 0;
    auto send = [&](const std::vector<uint8_t>& bytes, bool, std::string& error) {
        handed.push_back({now, BytesToHex(bytes.data(), static_cast<int>(bytes.size()))});
        const ZSendResult result = answer < c.results.size() ? c.results[answer] : ZSendResult::Sent;
        ++answer;
        if (result == ZSendResult::Sent && !c.lateRecords) pacer.OnBlock(record);
        if (result == ZSendResult::Refused) error = "refused";
        return result;
    };
    size_t event = 0;
    size_t wake = 0;
    int refusals = 0;
    for (int step = 0; step < 10000; ++step) {
        const int64_t next = c.wakes.empty()         ? Us(std::min(pacer.NextDue(At(now)), At(c.untilUs + 1)))
                             : wake < c.wakes.size() ? c.wakes[wake++]
                                                     : c.untilUs + 1;
        for (; event < c.events.size() && c.events[event].us <= next; ++event) {
            now = c.events[event].us;
            pacer.OnBlock(c.events[event].kind == 'S' ? record : frame);
        }
        if (next > c.untilUs) break;
        now = next;
        std::string error;
        if (!pacer.SendDue(send, At(now), error)) {
            ++refusals;
            EXPECT_EQ(error, "refused");
        }
    }
    EXPECT_EQ(handed, c.handed);
    EXPECT_EQ(pacer.Skipped(), c.skipped);
    EXPECT_EQ(refusals, c.refusals);
}

// At 9600 baud two bytes take 2083 us and the least gap is 3646 us (3.5 characters);
// at 115200, 174 us and 1750 us.
INSTANTIATE_TEST_SUITE_P(
    Lines, SendPacerTest,
    ::testing::Values(
        Row("AListGoesOneFrameAtATime", 9600, 0, {Sequence({1, 2}), Sequence({3, 4}), Sequence({5, 6})},
            {{0, "01 02"}, {5729, "03 04"}, {11458, "05 06"}}),
        Row("AGapAskedForStands", 9600, 10, {Sequence({1, 2}), Sequence({3, 4})},
            {{0, "01 02"}, {12083, "03 04"}}),
        Row("NoLessThanTheLeastGapAbove19200", 115200, 1, {Sequence({1, 2}), Sequence({3, 4})},
            {{0, "01 02"}, {1924, "03 04"}}),
        Row("ALateSendKeepsTheNextTick", 115200, 0, {Sequence({0xAA}, 100)},
            {{0, "AA"}, {130000, "AA"}, {200000, "AA"}})
            .Wakes({0, 130000, 200000}, 250000),
        Row("MissedTicksAreSkippedAndCounted", 115200, 0, {Sequence({0xAA}, 100)},
            {{0, "AA"}, {350000, "AA"}, {400000, "AA"}})
            .Wakes({0, 350000, 400000}, 450000)
            .Skips(2),
        // Ticks every 4 ms, a frame and its gap 5729 us: a tick waits for the line while
        // it is the latest one, and one that the next overtook is skipped.
        Row("ATickWaitsForTheLine", 9600, 0, {Sequence({1, 2}, 4)},
            {{0, "01 02"}, {5729, "01 02"}, {11458, "01 02"}, {17187, "01 02"}}, 20000)
            .Skips(1),
        Row("ARepeatTheLineSkipsIsCounted", 115200, 0, {Sequence({0xAA}, 10)},
            {{0, "AA"}, {10000, "AA"}, {20000, "AA"}}, 25000)
            .Skips(1)
            .Answers({ZSendResult::Sent, ZSendResult::Skipped}),
        Row("AnAnswerEndsTheWait", 9600, 0, {Sequence({1}, 0, 50), Sequence({2})}, {{0, "01"}, {23646, "02"}})
            .Reported({{20000, 'F'}}),
        Row("WithoutAnAnswerTheWaitRunsOut", 9600, 0, {Sequence({1}, 0, 50), Sequence({2})},
            {{0, "01"}, {50000, "02"}}),
        // A frame the engine reports before the record of the send came before it.
        Row("AFrameBeforeTheSendIsNoAnswer", 9600, 0, {Sequence({1}, 0, 50), Sequence({2})},
            {{0, "01"}, {33646, "02"}})
            .Reported({{1000, 'F'}, {2000, 'S'}, {30000, 'F'}}, true),
        Row("ARefusedSequenceIsDropped", 9600, 0, {Sequence({1}), Sequence({2})}, {{0, "01"}, {0, "02"}})
            .Answers({ZSendResult::Refused}, 1)),
    [](const ::testing::TestParamInfo<PacerCase>& param) { return std::string(param.param.name); });

}  // namespace
