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

// A block the engine reports while the driver runs (the record of a send, bkSent, only
// in rows whose records come late; otherwise each comes at once).
struct Event {
    int64_t us;
    uint8_t kind;
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
    int32_t gapMs = 0;
    std::vector<ZSendSequence> sequences;  // queued at 0
    std::vector<Handed> handed;            // every frame handed to the line, with its time
    int64_t untilUs = 100000;
    std::vector<int64_t> wakes = {};  // when the driver looks; empty: whenever NextDue says
    uint64_t skipped = 0;
    std::vector<Event> events = {};
    bool lateRecords = false;
    std::vector<ZSendResult> results = {};  // the line's answers in order; Sent after them
    int refusals = 0;
};

void PrintTo(const PacerCase& c, std::ostream* out) {
    *out << c.name;
}

class SendPacerTest : public ::testing::TestWithParam<PacerCase> {};

TEST_P(SendPacerTest, HandsFramesToTheLineAtTheirTimes) {
    const PacerCase& c = GetParam();
    int64_t now = 0;
    ZSendPacer pacer([&] { return At(now); });
    pacer.SetLine(ZLineTiming::Of(c.baud, 8, 0, 1), c.gapMs);
    for (const ZSendSequence& sequence : c.sequences) pacer.Enqueue(sequence);
    const sBlock record(0, nullptr, 0, bkSent);
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
            pacer.OnBlock(sBlock(0, nullptr, 0, c.events[event].kind));
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
        PacerCase{.name = "AListGoesOneFrameAtATime", .baud = 9600,
                  .sequences = {Sequence({1, 2}), Sequence({3, 4}), Sequence({5, 6})},
                  .handed = {{0, "01 02"}, {5729, "03 04"}, {11458, "05 06"}}},
        PacerCase{.name = "AGapAskedForStands", .baud = 9600, .gapMs = 10,
                  .sequences = {Sequence({1, 2}), Sequence({3, 4})}, .handed = {{0, "01 02"}, {12083, "03 04"}}},
        PacerCase{.name = "NoLessThanTheLeastGapAbove19200", .baud = 115200, .gapMs = 1,
                  .sequences = {Sequence({1, 2}), Sequence({3, 4})}, .handed = {{0, "01 02"}, {1924, "03 04"}}},
        PacerCase{.name = "ALateSendKeepsTheNextTick", .baud = 115200, .sequences = {Sequence({0xAA}, 100)},
                  .handed = {{0, "AA"}, {130000, "AA"}, {200000, "AA"}}, .untilUs = 250000,
                  .wakes = {0, 130000, 200000}},
        PacerCase{.name = "MissedTicksAreSkippedAndCounted", .baud = 115200, .sequences = {Sequence({0xAA}, 100)},
                  .handed = {{0, "AA"}, {350000, "AA"}, {400000, "AA"}}, .untilUs = 450000,
                  .wakes = {0, 350000, 400000}, .skipped = 2},
        // Ticks every 4 ms, a frame and its gap 5729 us: a tick waits for the line while
        // it is the latest one, and one that the next overtook is skipped.
        PacerCase{.name = "ATickWaitsForTheLine", .baud = 9600, .sequences = {Sequence({1, 2}, 4)},
                  .handed = {{0, "01 02"}, {5729, "01 02"}, {11458, "01 02"}, {17187, "01 02"}},
                  .untilUs = 20000, .skipped = 1},
        PacerCase{.name = "ARepeatTheLineSkipsIsCounted", .baud = 115200, .sequences = {Sequence({0xAA}, 10)},
                  .handed = {{0, "AA"}, {10000, "AA"}, {20000, "AA"}}, .untilUs = 25000, .skipped = 1,
                  .results = {ZSendResult::Sent, ZSendResult::Skipped}},
        PacerCase{.name = "AnAnswerEndsTheWait", .baud = 9600, .sequences = {Sequence({1}, 0, 50), Sequence({2})},
                  .handed = {{0, "01"}, {23646, "02"}}, .events = {{20000, bkData}}},
        PacerCase{.name = "AStopTriggerEndsTheWait", .baud = 9600, .sequences = {Sequence({1}, 0, 50), Sequence({2})},
                  .handed = {{0, "01"}, {23646, "02"}}, .events = {{20000, bkStopTrigger}}},
        PacerCase{.name = "AFlushEndsTheWait", .baud = 9600, .sequences = {Sequence({1}, 0, 50), Sequence({2})},
                  .handed = {{0, "01"}, {23646, "02"}}, .events = {{20000, bkFlush}}},
        PacerCase{.name = "TrashIsNoAnswer", .baud = 9600, .sequences = {Sequence({1}, 0, 50), Sequence({2})},
                  .handed = {{0, "01"}, {50000, "02"}}, .events = {{20000, bkTrash}}},
        PacerCase{.name = "WithoutAWaitAFrameHoldsNothing", .baud = 9600, .sequences = {Sequence({1}), Sequence({2})},
                  .handed = {{0, "01"}, {4688, "02"}}, .events = {{3000, bkData}}},
        PacerCase{.name = "WithoutAnAnswerTheWaitRunsOut", .baud = 9600,
                  .sequences = {Sequence({1}, 0, 50), Sequence({2})}, .handed = {{0, "01"}, {50000, "02"}}},
        // A frame the engine reports before the record of the send came before it.
        PacerCase{.name = "AFrameBeforeTheSendIsNoAnswer", .baud = 9600,
                  .sequences = {Sequence({1}, 0, 50), Sequence({2})}, .handed = {{0, "01"}, {33646, "02"}},
                  .events = {{1000, bkData}, {2000, bkSent}, {30000, bkData}}, .lateRecords = true},
        PacerCase{.name = "ARefusedSequenceIsDropped", .baud = 9600, .sequences = {Sequence({1}), Sequence({2})},
                  .handed = {{0, "01"}, {0, "02"}}, .results = {ZSendResult::Refused}, .refusals = 1}),
    [](const ::testing::TestParamInfo<PacerCase>& param) { return std::string(param.param.name); });

}  // namespace
