// The logger without a device: settings files and their error texts, the error list,
// offline replays and a port that does not open.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <memory>
#include <numeric>
#include <string>
#include <vector>

#include "ZLogger.h"
#include "capture_test_support.h"

using namespace capture_test;

namespace {

class LoggerFilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        settings_.LogDir = dir_.Path() + "logs/";
        std::filesystem::create_directory(settings_.LogDir);
        settings_.MaxBytesInLogLine = 8;
    }

    ZLogger& MakeLogger() {
        logger_ = std::make_unique<ZLogger>(settings_);
        logger_->SetStatusReceiver(&status_);
        return *logger_;
    }

    void Replay(const Bytes& bytes) {
        logger_->BeginReplay();
        logger_->FeedReplay(bytes.data(), static_cast<int>(bytes.size()));
        logger_->EndReplay();
    }

    ZLoggerSettings LoggerSettings() const {
        ZLoggerSettings current;
        logger_->GetSettings(current);
        return current;
    }

    std::vector<std::string> AllLogLines() {
        std::vector<std::string> lines;
        for (const auto& file : logger_->GetLogFileManager().TakeWrittenFiles()) {
            const auto more = MaskTimes(ReadLogLines(file));
            lines.insert(lines.end(), more.begin(), more.end());
        }
        return lines;
    }

    ScratchDir dir_;
    ZLoggerSettings settings_;
    RecordingStatusReceiver status_;
    std::unique_ptr<ZLogger> logger_;
};

}  // namespace

TEST_F(LoggerFilesTest, SavingRefusesToOverwriteWhenNotAllowed) {
    MakeLogger();
    const std::string file = dir_.File("kept.scs");
    WriteBytes(file, "previous content");
    std::string error;
    EXPECT_FALSE(logger_->SaveSettings(file, false, error));
    EXPECT_EQ(error, "File already exists: \"" + file + "\"");
    EXPECT_EQ(ReadBytes(file), "previous content");
}

TEST_F(LoggerFilesTest, SavingReplacesTheWholeFileWithTheThreeSectionsInOrder) {
    settings_.DataTriggers.Add(std::vector<int32_t>{0x41, AnyByte});
    MakeLogger();
    const std::string file = dir_.File("replaced.scs");
    WriteBytes(file, "[stale]\r\nkey=1\r\n[_logger_settings]\r\nObsolete=5\r\n");
    std::string error = "untouched";
    ASSERT_TRUE(logger_->SaveSettings(file, true, error));
    EXPECT_EQ(error, "untouched");

    const std::string text = ReadBytes(file);
    EXPECT_EQ(text.find("stale"), std::string::npos);
    EXPECT_EQ(text.find("Obsolete"), std::string::npos);
    const size_t port = text.find("[_serial_capture]");
    const size_t logger = text.find("[_logger_settings]");
    const size_t triggers = text.find("[_data_triggers]");
    ASSERT_NE(port, std::string::npos);
    ASSERT_NE(logger, std::string::npos);
    ASSERT_NE(triggers, std::string::npos);
    EXPECT_LT(port, logger);
    EXPECT_LT(logger, triggers);
}

TEST_F(LoggerFilesTest, SavedSettingsLoadIntoAnotherLogger) {
    settings_.CaptureMode = cmDynamicSize;
    settings_.SetTriggerStart(std::vector<int32_t>{0x7E, AnyByte, AnyByte}.data(), 3);
    settings_.StartAmountOfBytes = 1;
    settings_.AmountOfBytesWidth = 2;
    settings_.MaxLinesInLogFile = 321;
    settings_.DataTriggers.Add(std::vector<int32_t>{1, 2, 3});
    MakeLogger();
    logger_->SetBaudrate(38400);
    const std::string file = dir_.File("round trip.scs");
    std::string error;
    ASSERT_TRUE(logger_->SaveSettings(file, false, error)) << error;
    const std::string savedPort = logger_->GetPort().ConfigToStr(logger_->GetPort().GetConfig());

    ZLogger other{ZLoggerSettings()};
    ASSERT_TRUE(other.LoadSettings(file, error)) << error;
    ZLoggerSettings loaded;
    other.GetSettings(loaded);
    EXPECT_EQ(loaded, settings_);
    EXPECT_EQ(other.GetPort().ConfigToStr(other.GetPort().GetConfig()), savedPort);
    EXPECT_EQ(other.GetBaudrate(), 38400);
}

// NetworkPort is written only while a network port is chosen, so files without one
// stay as they were; a file without the key means the port number again.
TEST_F(LoggerFilesTest, TheNetworkPortIsSavedOnlyWhenChosen) {
    const std::pair<std::string, bool> cases[] = {
        {"", false}, {"rfc2217://lab-7:3001", true}, {"tcp://[::1]:4000", true}, {"/dev/ttyS0", false}};
    MakeLogger();
    ZLogger other{ZLoggerSettings()};
    int n = 0;
    for (const auto& [chosen, saved] : cases) {
        other.SetNetworkPort("tcp://stale:1");
        logger_->SetNetworkPort(chosen);
        const std::string file = dir_.File("network" + std::to_string(++n) + ".scs");
        std::string error;
        ASSERT_TRUE(logger_->SaveSettings(file, false, error)) << error;
        const std::string text = ReadBytes(file);
        const size_t key = text.find("NetworkPort");
        if (saved) {
            EXPECT_NE(key, std::string::npos) << chosen;
            EXPECT_EQ(key, text.find("NetworkPort=" + chosen + "\r\n")) << chosen;
        } else {
            EXPECT_EQ(key, std::string::npos) << chosen;
        }
        ASSERT_TRUE(other.LoadSettings(file, error)) << error;
        EXPECT_EQ(other.GetNetworkPort(), saved ? chosen : "") << chosen;
        if (saved) {
            EXPECT_EQ(other.GetPort().GetDevicePath(), chosen);
        } else {
            EXPECT_NE(other.GetPort().GetDevicePath(), "tcp://stale:1");
        }
    }
}

TEST_F(LoggerFilesTest, LoadingAMissingFileNamesItInQuotes) {
    MakeLogger();
    const std::string file = dir_.File("absent.scs");
    std::string error;
    EXPECT_FALSE(logger_->LoadSettings(file, error));
    EXPECT_EQ(error, "File not found: \"" + file + "\"");
    EXPECT_FALSE(logger_->LoadSettings(dir_.Path(), error)) << "a folder is no settings file";
    EXPECT_EQ(error,
              "File not found: \"" + dir_.Path() + "\": it is a folder, and a settings file must be a regular file");
}

TEST_F(LoggerFilesTest, AFileWithoutThePortSectionChangesNoSetting) {
    settings_.MaxLinesInLogFile = 123;
    MakeLogger();
    const std::string file = dir_.File("logger only.scs");
    WriteBytes(file, "[_logger_settings]\r\nCaptureMode=3\r\nMaxLinesInLogFile=50\r\n");
    std::string error;
    EXPECT_FALSE(logger_->LoadSettings(file, error));
    EXPECT_EQ(error, "The settings for the COM port could not be read from file \"logger only.scs\"");
    EXPECT_EQ(LoggerSettings(), settings_);
}

TEST_F(LoggerFilesTest, AFailedSaveKeepsThePreviousFile) {
    MakeLogger();
    const std::string folder = dir_.File("read-only");
    ASSERT_TRUE(std::filesystem::create_directory(folder));
    const std::string file = folder + "/_last_used.scs";
    WriteBytes(file, "[_serial_capture]\r\n_settings=previous\r\n");
    ASSERT_EQ(chmod(folder.c_str(), 0555), 0);
    std::string error;
    {
        UnprivilegedFileAccess asOrdinaryUser;
        EXPECT_FALSE(logger_->SaveSettings(file, true, error));
    }
    chmod(folder.c_str(), 0755);
    EXPECT_EQ(error, "File could not be created: \"" + file + "\"");
    EXPECT_EQ(ReadBytes(file), "[_serial_capture]\r\n_settings=previous\r\n");
    EXPECT_EQ(
        std::distance(std::filesystem::directory_iterator(folder), std::filesystem::directory_iterator()), 1)
        << "no temporary file may be left behind";

    const std::string nowhere = dir_.File("no such folder/x.scs");
    EXPECT_FALSE(logger_->SaveSettings(nowhere, true, error));
    EXPECT_EQ(error, "File could not be created: \"" + nowhere + "\"");
}

TEST_F(LoggerFilesTest, LoadedDataTriggersCountOnlyAfterSetSettings) {
    settings_.DataTriggers.Add(std::vector<int32_t>{'A', 'B'});
    MakeLogger();
    const std::string file = dir_.File("triggers.scs");
    std::string error;
    ASSERT_TRUE(logger_->SaveSettings(file, false, error)) << error;

    settings_.DataTriggers.Clear();
    MakeLogger();
    ASSERT_TRUE(logger_->LoadSettings(file, error)) << error;
    Replay(BytesOf("xABx"));
    const std::vector<StatusMessage> beforeSet{{0, "", 0, 4, 2}, {4, "", 1, 4, 2}};
    EXPECT_EQ(status_.Messages(), beforeSet);

    ZLoggerSettings loaded;
    logger_->GetSettings(loaded);
    ASSERT_TRUE(logger_->SetSettings(loaded));
    status_.Clear();
    Replay(BytesOf("xABx"));
    const std::vector<StatusMessage> afterSet{{0, "", 0, 4, 2}, {5, "", 0, 0, 2}, {4, "", 1, 4, 2}};
    EXPECT_EQ(status_.Messages(), afterSet);
}

TEST_F(LoggerFilesTest, TheErrorListShowsEveryOverflowOfTheFilter) {
    settings_.CaptureMode = cmBetweenTriggers;
    settings_.SetTriggerStart(std::vector<int32_t>{0xAA}.data(), 1);
    settings_.SetTriggerStop(std::vector<int32_t>{0x55}.data(), 1);
    MakeLogger();
    // Two frames that never end: each outgrows the filter's 16384 bytes once.
    Bytes frames;
    for (int frame = 0; frame < 2; ++frame) {
        frames.push_back(0xAA);
        frames.insert(frames.end(), 17000, 0x01);
    }
    Replay(frames);

    std::vector<std::string> list{"left over"};
    EXPECT_EQ(logger_->GetErrorList(list), 2);
    const std::string rule(31, '~');
    const std::vector<std::string> expected{"### TOTAL ERRORS: 2 ###",
                                            rule,
                                            rule,
                                            "Module:\tFilter",
                                            "Function:\tFeedData",
                                            "Error:\tInput buffer overflow",
                                            rule,
                                            "Module:\tFilter",
                                            "Function:\tFeedData",
                                            "Error:\tInput buffer overflow"};
    EXPECT_EQ(list, expected);
    EXPECT_EQ(logger_->StartTriggerCount, 2u);
    EXPECT_EQ(logger_->DataPacketCount, 0u);
}

TEST_F(LoggerFilesTest, ALogFileThatCannotBeWrittenShowsInTheErrorList) {
    settings_.LogDir = dir_.Path() + "missing/";
    MakeLogger();
    Replay(BytesOf("lost log"));
    std::vector<std::string> list;
    EXPECT_EQ(logger_->GetErrorList(list), 1);
    ASSERT_EQ(list.size(), 6u);
    EXPECT_NE(list[3], "Module:\tFilter");
    EXPECT_NE(list[5].find("missing"), std::string::npos) << list[5];
}

TEST_F(LoggerFilesTest, AnEmptyErrorListHasTheHeaderOnly) {
    MakeLogger();
    std::vector<std::string> list{"left over"};
    EXPECT_EQ(logger_->GetErrorList(list), 0);
    EXPECT_EQ(list, (std::vector<std::string>{"### TOTAL ERRORS: 0 ###", std::string(31, '~')}));
}

TEST_F(LoggerFilesTest, AReplayLogsLikeACaptureAndRefusesSettingsMeanwhile) {
    settings_.CaptureMode = cmFixedSize;
    settings_.SetTriggerStart(std::vector<int32_t>{0xAA, 0x55}.data(), 2);
    settings_.BytesAfterTrigger = 3;
    MakeLogger();
    const Bytes bytes{0x01, 0x02, 0xAA, 0x55, 0x10, 0x11, 0x12, 0xAA, 0x55, 0x20};

    logger_->BeginReplay();
    logger_->FeedReplay(bytes.data(), 4);
    logger_->FeedReplay(bytes.data() + 4, 6);
    std::string error;
    EXPECT_FALSE(logger_->SetSettings(ZLoggerSettings()));
    EXPECT_FALSE(logger_->LoadSettings(dir_.File("any.scs"), error));
    EXPECT_EQ(error, "Cannot change settings while capture is running!");
    logger_->EndReplay();

    const std::vector<std::string> expected{
        StartSeparator, "Start trigger received at T (2 bytes)", "HEX:   AA 55",    "ASCII: .  U",
        DataSeparator,  "Data received at T (3 bytes)",          "HEX:   10 11 12", "ASCII: .  .  .",
        StartSeparator, "Start trigger received at T (2 bytes)", "HEX:   AA 55",    "ASCII: .  U",
        FlushSeparator, "Flushed data at T (1 bytes)",           "HEX:   20",       "ASCII:  "};
    EXPECT_EQ(AllLogLines(), expected);
    EXPECT_EQ(logger_->TotalBytes, 10u);
    EXPECT_EQ(logger_->TrashedBytes, 2u);
    EXPECT_TRUE(logger_->SetSettings(settings_));
}

TEST_F(LoggerFilesTest, AReplayLargerThanTheChunkPumpLosesNothing) {
    settings_.CaptureMode = cmAllBytes;
    settings_.MaxBytesInLogLine = 300;
    MakeLogger();
    Bytes bytes(600000);
    std::iota(bytes.begin(), bytes.end(), uint8_t{0});
    Replay(bytes);

    EXPECT_EQ(logger_->TotalBytes, 600000u);
    EXPECT_EQ(logger_->DataPacketCount, 1200u);  // chunks of 500 bytes, each one data block
    EXPECT_EQ(logger_->GetErrorHistory().GetCount(), 0);
    // Each 500-byte block: separator, header, two HEX and two ASCII lines.
    EXPECT_EQ(AllLogLines().size(), 1200u * 6);
}

TEST_F(LoggerFilesTest, APortThatDoesNotOpenCostsTheTimeLimitAndLeavesTheCountersAtZero) {
    MakeLogger();
    Replay(BytesOf("some bytes"));
    ASSERT_EQ(logger_->TotalBytes, 10u);
    logger_->GetPort().SetDevicePath(dir_.File("no-such-tty"));

    const auto started = std::chrono::steady_clock::now();
    EXPECT_FALSE(logger_->StartCapture());
    const auto elapsed = std::chrono::steady_clock::now() - started;
    EXPECT_GE(elapsed, std::chrono::milliseconds(1900));
    // Only a gross overrun counts: a loaded machine may add seconds to the limit.
    EXPECT_LT(elapsed, std::chrono::milliseconds(15000));
    EXPECT_FALSE(logger_->IsCapturing());
    EXPECT_EQ(logger_->TotalBytes, 0u);
    EXPECT_EQ(logger_->DataPacketCount, 0u);
    EXPECT_EQ(logger_->DataPacketBytes, 0u);
}
