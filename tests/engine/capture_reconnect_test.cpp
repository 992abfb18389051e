// Captures that outlive their device: a lost port waited for and reopened, and the
// raw recording of every byte read, across such a loss too.

#include <gtest/gtest.h>
#include <termios.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ZLogger.h"
#include "ZRawRecorder.h"
#include "ZULIniFile.h"
#include "capture_test_support.h"

using namespace capture_test;

namespace {

// The logger with its poll cycles and its wait between two reconnect tries under the test's control.
class SteppedLogger : public ZLogger {
public:
    using ZLogger::ZLogger;
    // The threads end before this class's part goes, which a virtual call on them would see.
    ~SteppedLogger() override { StopCaptureThread(); }
    using ZSerialCapture::HoldCycles;
    using ZSerialCapture::RunCycles;
    using ZSerialCapture::SetReconnectInterval;
};

std::vector<TZULError> Errors(ZSerialCapture& capture) {
    std::vector<TZULError> errors;
    auto& history = capture.GetErrorHistory();
    for (int i = 0; i < history.GetCount(); ++i) errors.push_back(history.GetError(i));
    return errors;
}

// The rate the capture set the device to, as its other end sees it.
speed_t DeviceSpeed(const PtyPair& pty) {
    termios state{};
    return tcgetattr(pty.MasterFd(), &state) == 0 ? cfgetispeed(&state) : B0;
}

// A link that stands for the device, as an override link stands for a port:
// re-pointing it is how a device comes back under another name.
class DeviceLink {
public:
    explicit DeviceLink(const ScratchDir& dir) : path_(dir.File("device")), spare_(dir.File("device.new")) {}
    bool PointTo(const std::string& target) {
        std::error_code error;
        std::filesystem::remove(spare_, error);
        std::filesystem::create_symlink(target, spare_, error);
        if (error) return false;
        // Replaced in one step, as a tool that re-points a link does.
        std::filesystem::rename(spare_, path_, error);
        return !error;
    }
    const std::string& Path() const { return path_; }

private:
    std::string path_;
    std::string spare_;
};

class ReconnectTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(first_.IsOpen());
        ASSERT_TRUE(link_.PointTo(first_.SlavePath()));
        // Fixed size: "S" and three data bytes. A filter that did not start afresh at
        // the loss would finish the broken frame with the first bytes after the return.
        settings_.LogDir = logDir_.Path();
        settings_.CaptureMode = cmFixedSize;
        settings_.SetTriggerStart(std::vector<int32_t>{'S'}.data(), 1);
        settings_.BytesAfterTrigger = 3;
        settings_.Reconnect = true;
    }

    std::unique_ptr<SteppedLogger> MakeLogger() {
        auto logger = std::make_unique<SteppedLogger>(settings_);
        logger->SetStatusReceiver(&status_);
        logger->GetPort().SetDevicePath(link_.Path());
        logger->SetBaudrate(115200);
        return logger;
    }

    // Every log line the capture wrote, over all its files, times masked.
    std::vector<std::string> LogLines(ZLogger& logger) {
        std::vector<std::string> lines;
        for (const auto& file : logger.GetLogFileManager().TakeWrittenFiles())
            for (auto& line : MaskTimes(ReadLogLines(file))) lines.push_back(line);
        return lines;
    }

    ScratchDir dir_;
    ScratchDir logDir_;
    DeviceLink link_{dir_};
    PtyPair first_;
    ZLoggerSettings settings_;
    RecordingStatusReceiver status_;
};

TEST_F(ReconnectTest, ALostPortIsReopenedWhereTheLinkNowPointsAndNothingAfterIsLost) {
    auto logger = MakeLogger();
    auto raw = std::make_unique<ZRawRecorder>(&logger->GetErrorHistory());
    std::string error;
    ASSERT_TRUE(raw->Create(dir_.File("raw.bin"), error)) << error;
    logger->SetRawRecorder(std::move(raw));
    logger->HoldCycles();
    logger->SetReconnectInterval(std::chrono::milliseconds(0));
    ASSERT_TRUE(logger->StartCapture());

    ASSERT_TRUE(first_.Write(BytesOf("S123S4")));
    ASSERT_TRUE(logger->RunCycles(1));
    first_.CloseMaster();
    ASSERT_TRUE(logger->RunCycles(1));
    ASSERT_TRUE(logger->IsWaitingForPort());
    // The old device is gone and the link still names it: the tries go on.
    ASSERT_TRUE(logger->RunCycles(2));
    EXPECT_TRUE(logger->IsWaitingForPort());
    EXPECT_TRUE(logger->IsCapturing());
    // A rate chosen while waiting is for the next start, not for the reopen.
    logger->SetBaudrate(300);

    PtyPair second;
    ASSERT_TRUE(second.IsOpen());
    ASSERT_TRUE(link_.PointTo(second.SlavePath()));
    ASSERT_TRUE(logger->RunCycles(1));
    ASSERT_FALSE(logger->IsWaitingForPort());
    EXPECT_EQ(DeviceSpeed(second), B115200);
    ASSERT_TRUE(second.Write(BytesOf("56S789")));
    ASSERT_TRUE(logger->RunCycles(2));
    ASSERT_TRUE(logger->StopCapture());
    EXPECT_EQ(logger->GetBaudrate(), 300);

    const auto errors = Errors(*logger);
    ASSERT_EQ(errors.size(), 2u);
    EXPECT_EQ(errors[0].Function, "PollPort");
    EXPECT_EQ(errors[1].Module, "SerialCapture");
    EXPECT_EQ(errors[1].Function, "Reconnect");
    EXPECT_EQ(errors[1].Error, "The COM port is back: " + link_.Path() + " (" + second.SlavePath() + ")");

    const std::vector<std::string> expected = {
        StartSeparator, "Start trigger received at T (1 bytes)", "HEX:   53",       "ASCII: S",
        DataSeparator,  "Data received at T (3 bytes)",          "HEX:   31 32 33", "ASCII: 1  2  3",
        StartSeparator, "Start trigger received at T (1 bytes)", "HEX:   53",       "ASCII: S",
        FlushSeparator, "Flushed data at T (1 bytes)",           "HEX:   34",       "ASCII: 4",
        StartSeparator, "Start trigger received at T (1 bytes)", "HEX:   53",       "ASCII: S",
        DataSeparator,  "Data received at T (3 bytes)",          "HEX:   37 38 39", "ASCII: 7  8  9",
    };
    EXPECT_EQ(LogLines(*logger), expected);
    EXPECT_EQ(logger->TotalBytes, 12u);
    EXPECT_EQ(logger->TrashedBytes, 2u);
    EXPECT_EQ(ReadBytes(dir_.File("raw.bin")), "S123S456S789");

    std::vector<std::string> portStates;
    for (const auto& message : status_.Messages())
        if (message.Kind == 7) portStates.push_back(message.Text);
    EXPECT_EQ(portStates, (std::vector<std::string>{WaitingForPortText, ""}));
}

enum class Ending { StopCapture, Destruction };

class ReconnectEndTest : public ReconnectTest, public ::testing::WithParamInterface<Ending> {};

TEST_P(ReconnectEndTest, AWaitForThePortEndsAtOnceAndNeverReopensIt) {
    auto logger = MakeLogger();
    // A wait that only its interval ended would outlast every limit below.
    logger->SetReconnectInterval(std::chrono::hours(1));
    ASSERT_TRUE(logger->StartCapture());
    first_.CloseMaster();
    ASSERT_TRUE(WaitUntil([&] { return logger->IsWaitingForPort(); }));
    PtyPair second;
    ASSERT_TRUE(link_.PointTo(second.SlavePath()));
    if (GetParam() == Ending::Destruction) {
        logger.reset();  // returns only once the capture thread has ended
        return;
    }
    EXPECT_TRUE(logger->StopCapture());
    EXPECT_FALSE(logger->IsCapturing());
    EXPECT_FALSE(logger->IsWaitingForPort());
    ASSERT_TRUE(logger->RunCycles(3)) << "the capture thread is still in its wait";
    EXPECT_FALSE(logger->IsCapturing()) << "the port was reopened after the stop";
    EXPECT_EQ(Errors(*logger).size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Endings, ReconnectEndTest,
                         ::testing::Values(Ending::StopCapture, Ending::Destruction),
                         [](const ::testing::TestParamInfo<Ending>& ending) {
                             return ending.param == Ending::StopCapture ? "StopCapture" : "Destruction";
                         });

TEST_F(ReconnectTest, WithoutReconnectALostPortIsNotWaitedFor) {
    settings_.Reconnect = false;
    auto logger = MakeLogger();
    logger->HoldCycles();
    ASSERT_TRUE(logger->StartCapture());
    first_.CloseMaster();
    ASSERT_TRUE(logger->RunCycles(1));
    PtyPair second;
    ASSERT_TRUE(link_.PointTo(second.SlavePath()));
    ASSERT_TRUE(logger->RunCycles(2));
    EXPECT_FALSE(logger->IsWaitingForPort());
    ASSERT_EQ(Errors(*logger).size(), 1u);
    EXPECT_EQ(Errors(*logger)[0].Function, "PollPort");
    EXPECT_TRUE(logger->StopCapture());
}

class RecordingFromSettingsTest : public ReconnectTest, public ::testing::WithParamInterface<bool> {};

TEST_P(RecordingFromSettingsTest, IsNamedAfterTheFirstLogFileAndCountsEveryByte) {
    const bool timed = GetParam();
    settings_.Reconnect = false;
    settings_.RawRecording = true;
    settings_.Frames.RawRecordingTimed = timed;
    settings_.MaxLinesInLogFile = 4;  // a file at every block end
    auto logger = MakeLogger();
    logger->HoldCycles();
    ASSERT_TRUE(logger->StartCapture());
    ASSERT_TRUE(first_.Write(BytesOf("xS123S456")));
    ASSERT_TRUE(logger->RunCycles(1));
    ASSERT_TRUE(logger->StopCapture());
    const auto files = logger->GetLogFileManager().TakeWrittenFiles();
    ASSERT_EQ(files.size(), 4u);
    ASSERT_NE(logger->GetRawRecorder(), nullptr);
    EXPECT_EQ(logger->GetRawRecorder()->Path(), files[0] + (timed ? ".raw.pcapng" : ".bin"));
    EXPECT_EQ(logger->GetRawRecorder()->BytesRecorded(), 9u);
    if (!timed) {
        EXPECT_EQ(ReadBytes(files[0] + ".bin"), "xS123S456");
    }
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(logDir_.Path()))
        names.push_back(entry.path().filename().string());
    EXPECT_EQ(names.size(), 5u) << "a recording left under another name";
}

INSTANTIATE_TEST_SUITE_P(Kinds, RecordingFromSettingsTest, ::testing::Values(false, true),
                         [](const auto& kind) { return kind.param ? "Timed" : "Bytes"; });

TEST_F(ReconnectTest, ARecordingThatCannotBeMadeRefusesTheStart) {
    settings_.RawRecording = true;
    // A missing folder is made at the start; one below a regular file cannot be.
    WriteBytes(dir_.File("file"), "x");
    settings_.LogDir = dir_.File("file/missing/");
    auto logger = MakeLogger();
    EXPECT_FALSE(logger->StartCapture());
    EXPECT_FALSE(logger->IsCapturing());
    EXPECT_EQ(logger->GetStartErrorText().rfind(
                  "Log files cannot be written into the folder \"" + dir_.File("file/missing/") + "\": ", 0),
              0u)
        << logger->GetStartErrorText();
}

// ---------------------------------------------------------------------------------

struct CreateCase {
    const char* Name;
    const char* File;
    std::function<void(const std::string& path, const std::string& other)> Prepare;
    const char* Reason;
};

class RawRecorderCreateTest : public ::testing::TestWithParam<CreateCase> {};

TEST_P(RawRecorderCreateTest, NeverReplacesAFileAndNamesTheOneItRefuses) {
    ScratchDir dir;
    const std::string path = dir.File(GetParam().File);
    const std::string other = dir.File("other");
    WriteBytes(other, "keep");
    GetParam().Prepare(path, other);
    const std::string before = ReadBytes(path);
    ZRawRecorder recorder;
    std::string error;
    EXPECT_FALSE(recorder.Create(path, error));
    EXPECT_FALSE(recorder.IsOpen());
    EXPECT_EQ(error, "The raw recording file could not be created: \"" + path + "\": " + GetParam().Reason);
    EXPECT_EQ(ReadBytes(path), before);
    EXPECT_EQ(ReadBytes(other), "keep");
}

INSTANTIATE_TEST_SUITE_P(
    Refusals, RawRecorderCreateTest,
    ::testing::Values(CreateCase{"ExistingFile", "raw.bin",
                                 [](const std::string& path, const std::string&) { WriteBytes(path, "old"); },
                                 "a file of that name exists"},
                      CreateCase{"LinkToAFile", "raw.bin",
                                 [](const std::string& path, const std::string& other) {
                                     std::filesystem::create_symlink(other, path);
                                 },
                                 "a file of that name exists"},
                      CreateCase{"DanglingLink", "raw.bin",
                                 [](const std::string& path, const std::string& other) {
                                     std::filesystem::create_symlink(other + ".missing", path);
                                 },
                                 "a file of that name exists"},
                      CreateCase{"MissingFolder", "missing/raw.bin",
                                 [](const std::string&, const std::string&) {}, "No such file or directory"}),
    [](const ::testing::TestParamInfo<CreateCase>& refusal) { return std::string(refusal.param.Name); });

TEST(RawRecorderTest, BytesReachTheFileOnceTheyHaveWaitedTheFlushDelayAndAllAtClose) {
    ScratchDir dir;
    const std::string path = dir.File("raw.bin");
    ZRawRecorder recorder;
    std::string error;
    ASSERT_TRUE(recorder.Create(path, error)) << error;
    const Bytes bytes = BytesOf("abc");
    recorder.Write(bytes.data(), bytes.size());
    recorder.FlushIfDue(std::chrono::steady_clock::time_point{});
    EXPECT_EQ(ReadBytes(path), "");
    recorder.FlushIfDue(std::chrono::steady_clock::now() + ZRawRecorder::FlushDelay);
    EXPECT_EQ(ReadBytes(path), "abc");
    recorder.Write(bytes.data(), 1);
    recorder.Close();
    EXPECT_EQ(ReadBytes(path), "abca");
    EXPECT_EQ(recorder.BytesRecorded(), 4u);
}

// Under a file-size limit the file holds less than was read: the count says what
// the file holds (a timed recording's headers included), what is missing, and the
// failure is known.
struct CutCase {
    const char* Name;
    bool Timed;
    size_t ReadSize;  // 300 reads of this many bytes
};

class RawRecorderCutTest : public ::testing::TestWithParam<CutCase> {};

TEST_P(RawRecorderCutTest, ARecordingCutShortCountsWhatTheFileAcceptedAndFails) {
    const bool timed = GetParam().Timed;
    ScratchDir dir;
    const std::string path = dir.File(timed ? "raw.pcapng" : "raw.bin");
    ZRawRecorder recorder;
    std::string error;
    ASSERT_TRUE(timed ? recorder.CreateTimed(path, "pts/3", "", error) : recorder.Create(path, error)) << error;
    const Bytes bytes(GetParam().ReadSize, 0x5A);
    {
        FileSizeLimit limit(102400);
        for (int i = 0; i < 300; ++i) recorder.Write(bytes.data(), bytes.size(), 1'796'828'427'000'000 + i);
        recorder.Close();
    }
    const uint64_t size = ReadBytes(path).size();
    EXPECT_LE(size, 102400u);
    EXPECT_EQ(recorder.BytesWritten(), size);
    EXPECT_EQ(recorder.BytesRecorded(), 300 * bytes.size());
    EXPECT_GE(recorder.BytesMissing(), 300 * bytes.size() - size);
    EXPECT_TRUE(recorder.HasFailed());
}

// Reads of 400 bytes fill the timed recording's buffer once: the last write, at the
// close, is the one the limit stops.
INSTANTIATE_TEST_SUITE_P(Kinds, RawRecorderCutTest,
                         ::testing::Values(CutCase{"Plain", false, 1000}, CutCase{"Timed", true, 1000},
                                           CutCase{"TimedCutAtTheClose", true, 400}),
                         [](const ::testing::TestParamInfo<CutCase>& c) { return std::string(c.param.Name); });

TEST(RawRecorderTest, DiscardRemovesOnlyAnEmptyRecording) {
    ScratchDir dir;
    std::string error;
    for (const bool written : {false, true}) {
        const std::string path = dir.File(written ? "written.bin" : "empty.bin");
        ZRawRecorder recorder;
        ASSERT_TRUE(recorder.Create(path, error)) << error;
        if (written) recorder.Write(BytesOf("x").data(), 1);
        recorder.Discard();
        EXPECT_EQ(std::filesystem::exists(path), written) << path;
    }
}

// ---------------------------------------------------------------------------------

struct SwitchCase {
    bool Reconnect;
    bool RawRecording;
    const char* Tail;  // the section's text after AmountOfBytesMSBFirst
};

class CaptureSwitchesTest : public ::testing::TestWithParam<SwitchCase> {};

TEST_P(CaptureSwitchesTest, AreWrittenOnlyWhenOnAndReadAsOffWhenMissing) {
    ZLoggerSettings s;
    s.Reconnect = GetParam().Reconnect;
    s.RawRecording = GetParam().RawRecording;
    ZULIniFile ini;
    s.WriteToIni(ini);
    const std::string text = ini.ToText();
    const std::string last = "AmountOfBytesMSBFirst=1\r\n";
    const size_t at = text.find(last);
    ASSERT_NE(at, std::string::npos);
    EXPECT_EQ(text.substr(at + last.size()), GetParam().Tail);

    ZLoggerSettings read;
    read.Reconnect = true;
    read.RawRecording = true;
    read.ReadFromIni(ini);
    EXPECT_EQ(read.Reconnect, GetParam().Reconnect);
    EXPECT_EQ(read.RawRecording, GetParam().RawRecording);
}

INSTANTIATE_TEST_SUITE_P(Switches, CaptureSwitchesTest,
                         ::testing::Values(SwitchCase{false, false, ""},
                                           SwitchCase{true, false, "Reconnect=1\r\n"},
                                           SwitchCase{false, true, "RawRecording=1\r\n"},
                                           SwitchCase{true, true, "Reconnect=1\r\nRawRecording=1\r\n"}));

}  // namespace
