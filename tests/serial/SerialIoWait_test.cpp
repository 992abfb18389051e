// The completing read's time-outs on a clock of the test's own: every wait moves the
// clock 30 ms on and may bring bytes, so where a read ends is exact, whatever the load.

#include "SerialIoWait.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

struct SteppingClock {
    mutable serial_io::Clock::time_point now{};
    mutable size_t waits = 0;
    serial_io::Clock::time_point Now() const { return now; }
    void WaitReadable(int, std::optional<serial_io::Clock::time_point>) const {
        now += std::chrono::milliseconds(30);
        ++waits;
    }
};

struct ReadCase {
    const char* Name;
    TSerialTimeouts Timeouts;        // interval, total multiplier, total constant
    std::vector<uint32_t> Arrivals;  // bytes that come with each wait, then none
    uint32_t Count, Read;
    size_t Waits;
};

class CompleteReadTest : public ::testing::TestWithParam<ReadCase> {};

TEST_P(CompleteReadTest, EndsWhereTheTimeOutsSay) {
    const ReadCase& c = GetParam();
    const SteppingClock clock;
    std::vector<uint8_t> buffer(c.Count);
    const auto take = [&](uint8_t*, uint32_t wanted) {
        return std::min(clock.waits <= c.Arrivals.size() ? c.Arrivals[clock.waits - 1] : 0, wanted);
    };
    // A read that would go on for ever ends here, and shows as too many waits.
    const auto ended = [&] { return clock.waits >= 1000; };
    EXPECT_EQ(serial_io::CompleteRead(-1, buffer.data(), 0, c.Count, c.Timeouts, take, ended, clock), c.Read);
    EXPECT_EQ(clock.waits, c.Waits);
}

INSTANTIATE_TEST_SUITE_P(
    Timeouts, CompleteReadTest,
    ::testing::Values(
        // At 0, 30, 60 and 90 ms a total of 100 ms is not yet over.
        ReadCase{"TotalEndsAReadThatGetsNothing", {0, 0, 100, 0, 0}, {}, 10, 0, 4},
        ReadCase{"TotalCountsEveryByteAsked", {0, 10, 0, 0, 0}, {}, 10, 0, 4},
        ReadCase{"TotalEndsAReadThatGetsTooLittle", {0, 0, 100, 0, 0}, {1, 1, 1, 1, 1, 1}, 10, 4, 4},
        // Bytes 30 ms apart stay within an interval of 50 ms, however long it all takes.
        ReadCase{"IntervalCountsFromTheLastByte", {50, 0, 0, 0, 0}, std::vector<uint32_t>(10, 1), 10, 10, 10},
        ReadCase{"IntervalEndsAReadOnceBytesStop", {50, 0, 0, 0, 0}, {3}, 10, 3, 3},
        ReadCase{"IntervalWaitsForTheFirstByte", {50, 0, 0, 0, 0}, {0, 0, 0, 2}, 2, 2, 4},
        ReadCase{"WithoutTimeOutsAllAreWaitedFor", {0, 0, 0, 0, 0}, {2, 0, 0, 0, 0, 3}, 5, 5, 6}),
    [](const auto& row) { return std::string(row.param.Name); });

}  // namespace
