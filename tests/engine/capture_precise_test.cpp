// The capture thread with precise time: every chunk carries the time of its read,
// and a silence after the last read is reported in order with the chunks, without
// a further read.

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <vector>

#include "ZSerialCapture.h"
#include "capture_test_support.h"

using namespace capture_test;

namespace {

// A chunk (bytes set) or a silence (bytes empty), with the times it came with.
struct Arrival {
    Bytes Data;
    int64_t Us = 0;
    TDateTime Time = 0;
    bool Timed = false;
    int64_t SeenUs = 0;  // when it reached the recorder
};

class ArrivalRecorder : public ZSerialCapture {
public:
    ArrivalRecorder() : ZSerialCapture(20, 500) {}
    ~ArrivalRecorder() override { StopCaptureThread(); }
    using ZSerialCapture::HoldCycles;
    using ZSerialCapture::RunCycles;
    using ZSerialCapture::TakeLongestWait;

    void ProcessData(const uint8_t* bytes, int count) override {
        Add({Bytes(bytes, bytes + count), 0, 0, false});
    }
    void ProcessTimedData(const uint8_t* bytes, int count, TDateTime time, int64_t timeUs) override {
        Add({Bytes(bytes, bytes + count), timeUs, time, true});
    }
    void SilenceSince(int64_t lastReadUs) override { Add({Bytes(), lastReadUs, 0, true}); }

    // Waits (10 s at most) until done says yes about the arrivals so far.
    template <typename Done>
    bool WaitFor(Done done) {
        std::unique_lock guard(lock_);
        return changed_.wait_for(guard, std::chrono::seconds(10), [&] { return done(arrivals_); });
    }
    std::vector<Arrival> Arrivals() {
        std::lock_guard guard(lock_);
        return arrivals_;
    }

private:
    void Add(Arrival arrival) {
        arrival.SeenUs = ZULNowMicros();
        std::lock_guard guard(lock_);
        arrivals_.push_back(std::move(arrival));
        changed_.notify_all();
    }
    std::mutex lock_;  // guards arrivals_
    std::condition_variable changed_;
    std::vector<Arrival> arrivals_;
};

size_t BytesIn(const std::vector<Arrival>& arrivals) {
    size_t count = 0;
    for (const Arrival& a : arrivals) count += a.Data.size();
    return count;
}

bool HasSilence(const std::vector<Arrival>& arrivals) {
    for (const Arrival& a : arrivals)
        if (a.Data.empty()) return true;
    return false;
}

TEST(CapturePreciseTest, ChunksCarryTheirReadTimeAndASilenceNeedsNoFurtherRead) {
    PtyPair pty;
    ASSERT_TRUE(pty.IsOpen());
    ArrivalRecorder capture;
    constexpr int64_t gapUs = 2000;
    capture.SetPreciseTime(true, gapUs);
    capture.GetPort().SetDevicePath(pty.SlavePath());
    ASSERT_TRUE(capture.OpenPort());
    ASSERT_TRUE(pty.Write({'a', 'b'}));
    ASSERT_TRUE(capture.WaitFor([](const auto& a) { return BytesIn(a) == 2 && HasSilence(a); }));
    ASSERT_TRUE(pty.Write({'c', 'd'}));
    ASSERT_TRUE(capture.WaitFor([](const auto& a) { return BytesIn(a) == 4; }));
    EXPECT_TRUE(capture.ClosePort());

    const std::vector<Arrival> arrivals = capture.Arrivals();
    int64_t last = 0;
    int64_t lastRead = 0;
    bool silenced = false;
    for (const Arrival& a : arrivals) {
        ASSERT_TRUE(a.Timed) << "an untimed chunk";
        EXPECT_GE(a.Us, last) << "times go backwards";
        if (a.Data.empty()) {
            // A silence names the last read before it; one comes between "ab" and "cd".
            EXPECT_EQ(a.Us, lastRead);
            if (BytesIn(std::vector<Arrival>(arrivals.data(), &a)) == 2) silenced = true;
        } else {
            EXPECT_EQ(a.Time, ZULFromUnixMicros(a.Us));
            // The read after the silence came a gap or more after the one before it.
            if (silenced && a.Data[0] == 'c') {
                EXPECT_GE(a.Us - lastRead, gapUs);
            }
            lastRead = a.Us;
        }
        last = a.Us;
    }
    EXPECT_TRUE(silenced);
}

// The bytes of the last read still took their time on the line (30 characters at 300
// baud, 1 s): the silence counts from their end, never from the read.
TEST(CapturePreciseTest, ASilenceCountsFromTheEndOfTheLastReadsBytes) {
    PtyPair pty;
    ASSERT_TRUE(pty.IsOpen());
    ArrivalRecorder capture;
    capture.SetBaudrate(300);
    constexpr int64_t gapUs = 2000;
    capture.SetPreciseTime(true, gapUs);
    capture.GetPort().SetDevicePath(pty.SlavePath());
    ASSERT_TRUE(capture.OpenPort());
    ASSERT_TRUE(pty.Write(Bytes(30, 'x')));
    ASSERT_TRUE(capture.WaitFor([](const auto& a) { return BytesIn(a) == 30 && HasSilence(a); }));
    EXPECT_TRUE(capture.ClosePort());
    int64_t lastRead = 0;
    int64_t lastReadBytes = 0;
    for (const Arrival& a : capture.Arrivals()) {
        if (a.Data.empty()) {
            EXPECT_GE(a.SeenUs - lastRead, lastReadBytes * 10 * 1'000'000 / 300 + gapUs);
            break;
        }
        lastRead = a.Us;
        lastReadBytes = static_cast<int64_t>(a.Data.size());
    }
}

}  // namespace

namespace {

class CaptureScheduleTest : public ::testing::TestWithParam<bool> {};

// Every byte of a busy line wakes the thread before its poll is due. The schedule
// must not run ahead of the clock for that: a later wait (the port lost, or closed
// between two captures) would sleep the lead out, reading and noticing nothing.
TEST_P(CaptureScheduleTest, AfterABusyLineNoWaitOutlastsAPollInterval) {
    const bool secondCapture = GetParam();  // else the port is lost
    PtyPair pty;
    ArrivalRecorder capture;
    capture.SetPreciseTime(true, 0);
    capture.GetPort().SetDevicePath(pty.SlavePath());
    capture.HoldCycles();
    ASSERT_TRUE(capture.OpenPort());
    for (uint8_t i = 0; i < 200; ++i) ASSERT_TRUE(pty.Write({i}) && capture.RunCycles(1));
    if (secondCapture) {
        ASSERT_TRUE(capture.ClosePort() && capture.RunCycles(1) && capture.OpenPort() && pty.Write({'z'}));
        EXPECT_TRUE(WaitUntil([&] { return capture.RunCycles(1) && BytesIn(capture.Arrivals()) == 201; }));
    } else {
        pty.CloseMaster();
        EXPECT_TRUE(WaitUntil([&] { return capture.RunCycles(1) && capture.IsPortLost(); }));
        ASSERT_TRUE(capture.RunCycles(2));  // cycles after the loss
    }
    EXPECT_LE(capture.TakeLongestWait(), std::chrono::milliseconds(20));
}

INSTANTIATE_TEST_SUITE_P(Endings, CaptureScheduleTest, ::testing::Values(false, true),
                         [](const auto& row) { return row.param ? "SecondCapture" : "PortLost"; });

}  // namespace
