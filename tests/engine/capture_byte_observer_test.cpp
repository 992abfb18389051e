// The byte observers of the logger: every byte received and sent, in the order of the
// line, with the time of its read, whether log files are written or not.

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <tuple>
#include <vector>

#include "ZLogger.h"
#include "ZULDateTime.h"
#include "capture_test_support.h"

using namespace capture_test;

namespace {

struct Seen {
    std::string Bytes;
    bool Sent;
    int64_t TimeUs;
};

class RecordingByteObserver : public IZByteObserver {
public:
    void OnBytes(const uint8_t* bytes, int count, bool sent, int64_t timeUs) override {
        std::lock_guard guard(lock_);
        seen_.push_back({std::string(reinterpret_cast<const char*>(bytes), static_cast<size_t>(count)), sent,
                         timeUs});
    }
    // Chunks of one direction that follow each other as one run, with the first one's
    // time: how the pump cut them is not the observer's business.
    std::vector<Seen> Runs() const {
        std::lock_guard guard(lock_);
        std::vector<Seen> runs;
        for (const Seen& chunk : seen_) {
            if (!runs.empty() && runs.back().Sent == chunk.Sent)
                runs.back().Bytes += chunk.Bytes;
            else
                runs.push_back(chunk);
        }
        return runs;
    }
    std::vector<Seen> Chunks() const {
        std::lock_guard guard(lock_);
        return seen_;
    }
    size_t ByteCount() const {
        std::lock_guard guard(lock_);
        size_t count = 0;
        for (const Seen& run : seen_) count += run.Bytes.size();
        return count;
    }

private:
    mutable std::mutex lock_;  // guards seen_
    std::vector<Seen> seen_;
};

// One step of a capture: bytes the device sends (received) or the program sends.
struct Step {
    bool Send;
    std::string Bytes;
};

struct ObserverCase {
    const char* Name;
    std::vector<Step> Steps;
    bool LogFiles;
    bool PreciseTime;
};

class ByteObserverTest : public ::testing::TestWithParam<ObserverCase> {};

TEST_P(ByteObserverTest, SeesEveryByteInLineOrderWithItsTime) {
    const ObserverCase& row = GetParam();
    PtyPair pty;
    ASSERT_TRUE(pty.IsOpen());
    ScratchDir dir;
    ZLoggerSettings settings;
    // Without log files the folder is never needed: one that cannot be made must not matter.
    settings.LogDir = row.LogFiles ? dir.Path() : dir.Path() + "file/below/";
    if (!row.LogFiles) WriteBytes(dir.Path() + "file", "in the way");
    settings.Frames.PreciseTime = row.PreciseTime;
    ZLogger logger(settings);
    logger.GetPort().SetDevicePath(pty.SlavePath());
    logger.SetWriteLogFiles(row.LogFiles);
    RecordingByteObserver observer;
    // An observer added twice is told once.
    logger.AddByteObserver(&observer);
    logger.AddByteObserver(&observer);
    ASSERT_TRUE(logger.StartCapture()) << logger.GetStartErrorText();

    std::vector<std::pair<int64_t, int64_t>> windows;  // per step: no earlier, no later than
    size_t expected = 0;
    for (const Step& step : row.Steps) {
        const int64_t before = ZULNowMicros();
        if (step.Send) {
            std::string error;
            ASSERT_EQ(logger.SendBytes(BytesOf(step.Bytes), false, error), ZSendResult::Sent) << error;
        } else {
            ASSERT_TRUE(pty.Write(BytesOf(step.Bytes)));
        }
        expected += step.Bytes.size();
        ASSERT_TRUE(WaitUntil([&] { return observer.ByteCount() >= expected; }));
        windows.emplace_back(before, ZULNowMicros());
    }
    ASSERT_TRUE(logger.StopCapture());

    const std::vector<Seen> runs = observer.Runs();
    ASSERT_EQ(runs.size(), row.Steps.size());
    for (size_t i = 0; i < runs.size(); ++i) {
        EXPECT_EQ(runs[i].Bytes, row.Steps[i].Bytes) << i;
        EXPECT_EQ(runs[i].Sent, row.Steps[i].Send) << i;
        EXPECT_GE(runs[i].TimeUs, windows[i].first) << i;
        EXPECT_LE(runs[i].TimeUs, windows[i].second) << i;
    }
    EXPECT_EQ(logger.GetLogFileManager().TakeWrittenFiles().empty(), !row.LogFiles);
    EXPECT_EQ(logger.SentBytes + logger.TotalBytes, expected);
}

INSTANTIATE_TEST_SUITE_P(
    Captures, ByteObserverTest,
    ::testing::Values(
        ObserverCase{"AnswerAfterQuestion", {{true, "AT\r"}, {false, "OK\r\n"}, {true, "ATI\r"}}, true, false},
        ObserverCase{"PreciseTime", {{false, "boot>"}, {true, "help\r"}, {false, "no help\r\n"}}, true, true},
        ObserverCase{"NoLogFilesNoFolder", {{false, "\x1b[31mred"}, {true, "\x03"}}, false, false}),
    [](const ::testing::TestParamInfo<ObserverCase>& row) { return std::string(row.param.Name); });

// A replay tells the observer the bytes fed and the times recorded, 0 where the time is
// not known; an observer removed is told nothing more.
TEST(ByteObserverReplayTest, SeesTheBytesFedWithTheirRecordedTimes) {
    ScratchDir dir;
    ZLoggerSettings settings;
    settings.LogDir = dir.Path();
    ZLogger logger(settings);
    RecordingByteObserver observer;
    logger.AddByteObserver(&observer);
    const Bytes bytes = BytesOf("recorded");
    for (const bool observed : {true, false}) {
        logger.BeginReplay();
        logger.FeedReplay(bytes.data(), static_cast<int>(bytes.size()));
        logger.FeedReplay(bytes.data(), 3, 1234567);
        logger.FeedReplaySent(bytes.data(), 2, 7);
        logger.EndReplay();
        logger.RemoveByteObserver(&observer);
        const std::vector<Seen> chunks = observer.Chunks();
        ASSERT_EQ(chunks.size(), 3u) << observed;
        const std::vector<std::tuple<std::string, bool, int64_t>> expected = {
            {"recorded", false, 0}, {"rec", false, 1234567}, {"re", true, 7}};
        for (size_t i = 0; i < chunks.size(); ++i)
            EXPECT_EQ(std::tie(chunks[i].Bytes, chunks[i].Sent, chunks[i].TimeUs), expected[i]) << i;
    }
}

}  // namespace
