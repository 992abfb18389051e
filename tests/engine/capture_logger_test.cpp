// The logger end to end: bytes written into a pseudo-terminal come out as log files,
// counters and status messages; stops, hang-ups and replays.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "ZLogger.h"
#include "capture_test_support.h"

using namespace capture_test;

namespace {

struct Counters {
    uint32_t Total, Trashed, StartCount, StartBytes, StopCount, StopBytes, DataCount, DataBytes;
    bool operator==(const Counters&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Counters& c) {
    return out << "{total " << c.Total << ", trash " << c.Trashed << ", start " << c.StartCount << "/"
               << c.StartBytes << ", stop " << c.StopCount << "/" << c.StopBytes << ", data " << c.DataCount
               << "/" << c.DataBytes << "}";
}

Counters CountersOf(const ZLogger& logger) {
    return {logger.TotalBytes,        logger.TrashedBytes,     logger.StartTriggerCount,
            logger.StartTriggerBytes, logger.StopTriggerCount, logger.StopTriggerBytes,
            logger.DataPacketCount,   logger.DataPacketBytes};
}

class LoggerCaptureTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(pty_.IsOpen());
        settings_.LogDir = logDir_.Path() + "";
        settings_.MaxBytesInLogLine = 8;
    }

    // Creates the logger on settings_, attached to the pseudo-terminal.
    ZLogger& MakeLogger() {
        logger_ = std::make_unique<ZLogger>(settings_);
        logger_->SetStatusReceiver(&status_);
        logger_->SetEntryReceiver(&entries_);
        logger_->GetPort().SetDevicePath(pty_.SlavePath());
        return *logger_;
    }

    // Writes bytes during a capture; stops once `handedOut` bytes have left the filter.
    void CaptureBytes(const Bytes& bytes, double handedOut) {
        ASSERT_TRUE(logger_->StartCapture());
        ASSERT_TRUE(pty_.Write(bytes));
        ASSERT_TRUE(status_.WaitForTotalBytes(handedOut));
        ASSERT_TRUE(logger_->StopCapture());
    }

    // The lines of the one log file the last capture wrote, times masked.
    std::vector<std::string> OnlyLogFile() {
        const auto files = logger_->GetLogFileManager().TakeWrittenFiles();
        EXPECT_EQ(files.size(), 1u);
        if (files.empty()) return {};
        EXPECT_EQ(files[0].rfind(settings_.LogDir, 0), 0u) << files[0];
        return MaskTimes(ReadLogLines(files[0]));
    }

    std::vector<uint8_t> StatusKinds() {
        std::vector<uint8_t> kinds;
        for (const auto& message : status_.Messages()) kinds.push_back(message.Kind);
        return kinds;
    }

    PtyPair pty_;
    ScratchDir logDir_;
    ZLoggerSettings settings_;
    RecordingStatusReceiver status_;
    RecordingEntryReceiver entries_;
    std::unique_ptr<ZLogger> logger_;  // last member: gone before the receivers
};

}  // namespace

TEST_F(LoggerCaptureTest, FixedSizeFramesAreLoggedAndCounted) {
    settings_.CaptureMode = cmFixedSize;
    settings_.SetTriggerStart(std::vector<int32_t>{0xAA, 0x55}.data(), 2);
    settings_.BytesAfterTrigger = 3;
    MakeLogger();
    // trash 01 02, start, data 10 11 12, start; 20 waits for its frame and is flushed at the stop
    CaptureBytes({0x01, 0x02, 0xAA, 0x55, 0x10, 0x11, 0x12, 0xAA, 0x55, 0x20}, 9);

    const std::vector<std::string> expected{
        StartSeparator, "Start trigger received at T (2 bytes)", "HEX:   AA 55",    "ASCII: .  U",
        DataSeparator,  "Data received at T (3 bytes)",          "HEX:   10 11 12", "ASCII: .  .  .",
        StartSeparator, "Start trigger received at T (2 bytes)", "HEX:   AA 55",    "ASCII: .  U",
        FlushSeparator, "Flushed data at T (1 bytes)",           "HEX:   20",       "ASCII:  "};
    EXPECT_EQ(OnlyLogFile(), expected);
    EXPECT_EQ(CountersOf(*logger_), (Counters{10, 2, 2, 4, 0, 0, 1, 3}));
    EXPECT_EQ(status_.LatestTotalBytes(), 10);
}

TEST_F(LoggerCaptureTest, DynamicSizeFramesTakeTheirLengthFromTheTrigger) {
    settings_.CaptureMode = cmDynamicSize;
    settings_.SetTriggerStart(std::vector<int32_t>{0x7E, AnyByte}.data(), 2);
    settings_.StartAmountOfBytes = 1;
    settings_.AmountOfBytesWidth = 1;
    MakeLogger();
    CaptureBytes(
        {0x7E, 0x03, 'A', 'B', 'C', 0x7E, 0x00, 0x7E, 0x0A, '0', '1', '2', '3', '4', '5', '6', '7', '8', '9'},
        19);

    const std::vector<std::string> expected{StartSeparator,
                                            "Start trigger received at T (2 bytes)",
                                            "HEX:   7E 03",
                                            "ASCII: ~  .",
                                            DataSeparator,
                                            "Data received at T (3 bytes)",
                                            "HEX:   41 42 43",
                                            "ASCII: A  B  C",
                                            StartSeparator,
                                            "Start trigger received at T (2 bytes)",
                                            "HEX:   7E 00",
                                            "ASCII: ~  .",
                                            StartSeparator,
                                            "Start trigger received at T (2 bytes)",
                                            "HEX:   7E 0A",
                                            "ASCII: ~  .",
                                            DataSeparator,
                                            "Data received at T (10 bytes)",
                                            "HEX:   30 31 32 33 34 35 36 37",
                                            "HEX:   38 39",
                                            "ASCII: 0  1  2  3  4  5  6  7 ",
                                            "ASCII: 8  9"};
    EXPECT_EQ(OnlyLogFile(), expected);
    EXPECT_EQ(CountersOf(*logger_), (Counters{19, 0, 3, 6, 0, 0, 2, 13}));
}

TEST_F(LoggerCaptureTest, FramesBetweenTriggersGiveStartDataAndStopBlocks) {
    settings_.CaptureMode = cmBetweenTriggers;
    settings_.SetTriggerStart(std::vector<int32_t>{'<'}.data(), 1);
    settings_.SetTriggerStop(std::vector<int32_t>{'/', '>'}.data(), 2);
    MakeLogger();
    CaptureBytes(BytesOf("xy<Hi/><</>"), 11);

    const std::string stop = StopSeparator();
    const std::vector<std::string> expected{
        StartSeparator, "Start trigger received at T (1 bytes)", "HEX:   3C",    "ASCII: <",
        DataSeparator,  "Data received at T (2 bytes)",          "HEX:   48 69", "ASCII: H  i",
        stop,           "Stop trigger received at T (2 bytes)",  "HEX:   2F 3E", "ASCII: /  >",
        StartSeparator, "Start trigger received at T (1 bytes)", "HEX:   3C",    "ASCII: <",
        DataSeparator,  "Data received at T (1 bytes)",          "HEX:   3C",    "ASCII: <",
        stop,           "Stop trigger received at T (2 bytes)",  "HEX:   2F 3E", "ASCII: /  >"};
    EXPECT_EQ(OnlyLogFile(), expected);
    EXPECT_EQ(CountersOf(*logger_), (Counters{11, 2, 2, 2, 2, 4, 2, 3}));
}

TEST_F(LoggerCaptureTest, AChunkInAllBytesModeGivesTotalThenDataStatus) {
    settings_.CaptureMode = cmAllBytes;
    MakeLogger();
    CaptureBytes(BytesOf("Hello"), 5);

    const std::vector<StatusMessage> expected{{0, "", 0, 5, 2}, {4, "", 1, 5, 2}};
    EXPECT_EQ(status_.Messages(), expected);
    const auto entries = entries_.Entries();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].Data, BytesOf("Hello"));
    EXPECT_EQ(entries[0].Kind, bkData);
    EXPECT_EQ(CountersOf(*logger_), (Counters{5, 0, 0, 0, 0, 0, 1, 5}));
    const std::vector<std::string> lines{DataSeparator, "Data received at T (5 bytes)",
                                         "HEX:   48 65 6C 6C 6F", "ASCII: H  e  l  l  o"};
    EXPECT_EQ(OnlyLogFile(), lines);
}

TEST_F(LoggerCaptureTest, DataTriggerMatchesAreReportedBeforeTheDataStatus) {
    settings_.CaptureMode = cmAllBytes;
    settings_.DataTriggers.Add(std::vector<int32_t>{'Z'});
    settings_.DataTriggers.Add(std::vector<int32_t>{'A', 'A'});
    settings_.DataTriggers.Add(std::vector<int32_t>{'A', AnyByte, 'C'});
    MakeLogger();
    CaptureBytes(BytesOf("ABCxAxC"), 7);

    const std::vector<StatusMessage> expected{
        {0, "", 0, 7, 2}, {5, "", 2, 0, 2}, {5, "", 2, 0, 2}, {4, "", 1, 7, 2}};
    EXPECT_EQ(status_.Messages(), expected);
}

TEST_F(LoggerCaptureTest, BytesLeftInTheFilterAreFlushedAsOneBlockAtTheStop) {
    settings_.CaptureMode = cmBetweenTriggers;
    settings_.SetTriggerStart(std::vector<int32_t>{0xAA}.data(), 1);
    settings_.SetTriggerStop(std::vector<int32_t>{0x55}.data(), 1);
    MakeLogger();
    CaptureBytes({0xAA, 0x01, 0x02, 0x03}, 1);

    EXPECT_EQ(CountersOf(*logger_), (Counters{4, 0, 1, 1, 0, 0, 0, 0}));
    const std::vector<StatusMessage> expected{{0, "", 0, 1, 2}, {2, "", 1, 1, 2}, {0, "", 0, 4, 2}};
    EXPECT_EQ(status_.Messages(), expected);
    const auto entries = entries_.Entries();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[1].Kind, bkFlush);
    EXPECT_EQ(entries[1].Data, (Bytes{0x01, 0x02, 0x03}));
    const std::vector<std::string> lines{
        StartSeparator, "Start trigger received at T (1 bytes)", "HEX:   AA",       "ASCII: .",
        FlushSeparator, "Flushed data at T (3 bytes)",           "HEX:   01 02 03", "ASCII: .  .  ."};
    EXPECT_EQ(OnlyLogFile(), lines);
}

TEST_F(LoggerCaptureTest, ANewCaptureStartsFromZeroWithAnEmptyFilter) {
    settings_.CaptureMode = cmBetweenTriggers;
    settings_.SetTriggerStart(std::vector<int32_t>{'<'}.data(), 1);
    settings_.SetTriggerStop(std::vector<int32_t>{'>'}.data(), 1);
    MakeLogger();
    CaptureBytes(BytesOf("<ab"), 1);
    logger_->GetLogFileManager().TakeWrittenFiles();
    status_.Clear();
    // A stop found right away must not close a frame of the previous capture.
    CaptureBytes(BytesOf("c><d>"), 5);
    EXPECT_EQ(CountersOf(*logger_), (Counters{5, 2, 1, 1, 1, 1, 1, 1}));
}

TEST_F(LoggerCaptureTest, ADeviceThatHangsUpLeavesOneErrorAndEverythingReadIsLogged) {
    settings_.CaptureMode = cmBetweenTriggers;
    settings_.SetTriggerStart(std::vector<int32_t>{'<'}.data(), 1);
    settings_.SetTriggerStop(std::vector<int32_t>{'>'}.data(), 1);
    MakeLogger();
    ASSERT_TRUE(logger_->StartCapture());
    ASSERT_TRUE(pty_.Write(BytesOf("<ok><cut")));
    ASSERT_TRUE(status_.WaitForTotalBytes(5));
    pty_.CloseMaster();
    ASSERT_TRUE(WaitUntil([&] { return logger_->GetErrorHistory().GetCount() > 0; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_TRUE(logger_->IsCapturing());
    EXPECT_TRUE(logger_->StopCapture());
    EXPECT_FALSE(logger_->IsCapturing());

    std::vector<std::string> errors;
    EXPECT_EQ(logger_->GetErrorList(errors), 1);
    const std::vector<std::string> expected{
        "### TOTAL ERRORS: 1 ###",
        std::string(31, '~'),
        std::string(31, '~'),
        "Module:\tSerialCapture",
        "Function:\tPollPort",
        "Error:\tThe COM port was lost (device " + pty_.SlavePath() + " hung up or was removed)"};
    EXPECT_EQ(errors, expected);
    const auto lines = OnlyLogFile();
    ASSERT_EQ(lines.size(), 20u);  // start, data, stop, start, flush: four lines each
    EXPECT_EQ(lines[5], "Data received at T (2 bytes)");
    EXPECT_EQ(lines[16], FlushSeparator);
    EXPECT_EQ(lines[17], "Flushed data at T (3 bytes)");
    EXPECT_EQ(lines[18], "HEX:   63 75 74");
    EXPECT_EQ(CountersOf(*logger_), (Counters{8, 0, 2, 2, 1, 1, 1, 2}));
}

// A logger whose chunks wait in their queue until Release, with its cycles under the test's control.
class HeldLogger : public ZLogger {
public:
    using ZLogger::ZLogger;
    ~HeldLogger() override {
        Release();
        StopCaptureThread();
    }
    using ZSerialCapture::HoldCycles;
    using ZSerialCapture::RunCycles;
    void Release() {
        released_ = true;
        released_.notify_all();
    }

protected:
    void ProcessData(const uint8_t* bytes, int count) override {
        released_.wait(false);
        ZLogger::ProcessData(bytes, count);
    }

private:
    std::atomic<bool> released_{false};
};

// A byte a line makes every chunk hundreds of lines: a full queue of chunks let go
// at once gives the log writer more than its queue takes between two of its turns.
// Its full queue must hold the capture back, not drop lines.
TEST_F(LoggerCaptureTest, AFullLogQueueHoldsTheCaptureBackAndLosesNoLine) {
    settings_.MaxBytesInLogLine = 1;
    settings_.ShowASCIIOutput = false;
    settings_.MaxLinesInLogFile = 1 << 30;
    auto held = std::make_unique<HeldLogger>(settings_);
    held->SetStatusReceiver(&status_);
    held->GetPort().SetDevicePath(pty_.SlavePath());
    const ZRawRecorder& read = RecordRaw(*held, logDir_);
    held->HoldCycles();
    ASSERT_TRUE(held->StartCapture());
    const Bytes sent(600 * 1024, 0x5A);
    const std::jthread writer = WriteInBackground(pty_, sent);
    ASSERT_TRUE(RunUntilHeldBack(*held, read));
    held->Release();
    ASSERT_TRUE(WaitUntil([&] { return held->RunCycles(1) && status_.LatestTotalBytes() >= sent.size(); },
                          std::chrono::seconds(60)));
    ASSERT_TRUE(held->StopCapture());
    logger_ = std::move(held);
    const auto lines = OnlyLogFile();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "HEX:   5A"), static_cast<ptrdiff_t>(sent.size()));
    EXPECT_EQ(logger_->GetErrorHistory().GetCount(), 0) << logger_->GetErrorHistory().GetLatestError().Error;
}

TEST_F(LoggerCaptureTest, SettingsCannotChangeWhileCapturing) {
    settings_.CaptureMode = cmAllBytes;
    settings_.MaxLinesInLogFile = 77;
    MakeLogger();
    std::string error;
    const std::string file = logDir_.File("saved.scs");
    ASSERT_TRUE(logger_->SaveSettings(file, true, error)) << error;

    ASSERT_TRUE(logger_->StartCapture());
    ZLoggerSettings other;
    other.MaxLinesInLogFile = 999;
    EXPECT_FALSE(logger_->SetSettings(other));
    EXPECT_FALSE(logger_->LoadSettings(file, error));
    EXPECT_EQ(error, "Cannot change settings while capture is running!");
    ZLoggerSettings current;
    logger_->GetSettings(current);
    EXPECT_EQ(current, settings_);
    // Saving stays possible and writes the settings of the running capture.
    EXPECT_TRUE(logger_->SaveSettings(logDir_.File("during.scs"), false, error));
    ASSERT_TRUE(logger_->StopCapture());

    EXPECT_TRUE(logger_->SetSettings(other));
    logger_->GetSettings(current);
    EXPECT_EQ(current.MaxLinesInLogFile, 999);
}

TEST_F(LoggerCaptureTest, DestroyingTheLoggerDuringACaptureStopsEverythingFirst) {
    settings_.CaptureMode = cmAllBytes;
    MakeLogger();
    ASSERT_TRUE(logger_->StartCapture());
    std::atomic<bool> sending{true};
    std::thread sender([&] {
        const Bytes burst(300, 0x41);
        while (sending) {
            pty_.WriteSome(burst);
            std::this_thread::sleep_for(std::chrono::microseconds(300));
        }
    });
    ASSERT_TRUE(status_.WaitForTotalBytes(1));
    logger_.reset();
    const size_t afterDestruction = status_.Messages().size();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    sending = false;
    sender.join();
    EXPECT_EQ(status_.Messages().size(), afterDestruction);
    EXPECT_GT(afterDestruction, 0u);
}
