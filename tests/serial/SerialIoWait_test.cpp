// The completing read's time-outs on a clock of the test's own: every wait moves the
// clock one step on and may bring bytes, so where a read ends is exact, whatever the
// machine's load.

#include "SerialIoWait.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

namespace {

using namespace std::chrono_literals;
using serial_io::Clock;

// Each wait takes Step and hands the read the next entry of Arrivals (then nothing).
struct SteppingClock {
    Clock::duration Step;
    mutable Clock::time_point now{};
    mutable size_t waits = 0;
    Clock::time_point Now() const { return now; }
    void WaitReadable(int /*fd*/, std::optional<Clock::time_point> /*deadline*/) const {
        now += Step;
        ++waits;
    }
};

struct ReadCase {
    const char* Name;
    TSerialTimeouts Timeouts;  // interval, total multiplier, total constant
    std::vector<uint32_t> Arrivals;
    uint32_t Count;
    uint32_t Read;  // bytes the read returns
    size_t Waits;   // waits it made
};

class CompleteReadTest : public ::testing::TestWithParam<ReadCase> {};

TEST_P(CompleteReadTest, EndsWhereTheTimeOutsSay) {
    const ReadCase& c = GetParam();
    const SteppingClock clock{30ms};
    std::vector<uint8_t> buffer(c.Count);
    size_t arrival = 0;
    const auto take = [&](uint8_t*, uint32_t wanted) {
        const uint32_t due = arrival < c.Arrivals.size() ? c.Arrivals[arrival] : 0;
        ++arrival;
        return std::min(due, wanted);
    };
    // A read that would go on for ever is ended here, and shows as too many waits.
    const auto ended = [&] { return clock.waits >= 1000; };
    const uint32_t read =
        serial_io::CompleteRead(-1, buffer.data(), 0, c.Count, c.Timeouts, take, ended, clock);
    EXPECT_EQ(read, c.Read);
    EXPECT_EQ(clock.waits, c.Waits);
}

INSTANTIATE_TEST_SUITE_P(
    Timeouts, CompleteReadTest,
    ::testing::Values(
        // Steps of 30 ms: at 0, 30, 60 and 90 ms the total of 100 ms is not yet over.
        ReadCase{"TotalEndsAReadThatGetsNothing", {0, 0, 100, 0, 0}, {}, 10, 0, 4},
        ReadCase{"TotalCountsEveryByteAsked", {0, 10, 0, 0, 0}, {}, 10, 0, 4},
        ReadCase{"TotalEndsAReadThatGetsTooLittle", {0, 0, 100, 0, 0}, {1, 1, 1, 1, 1, 1}, 10, 4, 4},
        // Bytes 30 ms apart, well within an interval of 50 ms, however long it all takes.
        ReadCase{"IntervalCountsFromTheLastByte", {50, 0, 0, 0, 0}, std::vector<uint32_t>(10, 1), 10, 10, 10},
        ReadCase{"IntervalEndsAReadOnceBytesStop", {50, 0, 0, 0, 0}, {3}, 10, 3, 3},
        ReadCase{"IntervalWaitsForTheFirstByte", {50, 0, 0, 0, 0}, {0, 0, 0, 2}, 2, 2, 4},
        ReadCase{"WithoutTimeOutsAllAreWaitedFor", {0, 0, 0, 0, 0}, {2, 0, 0, 0, 0, 3}, 5, 5, 6}),
    [](const auto& row) { return std::string(row.param.Name); });

}  // namespace
