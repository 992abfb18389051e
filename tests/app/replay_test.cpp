// kestrun-cli replay against results worked out by hand from the rules of the
// capture modes and the log file layout.

#include <nlohmann/json.hpp>
#include <set>

#include "CliTestSupport.h"
#include "ZDemoFrameSource.h"
#include "ZULDataDir.h"

namespace clitest {
namespace {

using Json = nlohmann::json;

// Dynamic size: start trigger 7E ??, the ?? is the length of the data; 8 bytes per
// log line; data triggers 41 41 and 42.
std::string DynamicSettings(int maxLinesInLogFile = 500) {
    return kDefaultPortSection +
           "[_logger_settings]\r\n"
           "TriggerStartSize=2\r\nTriggerStart_0=126\r\nTriggerStart_1=256\r\nTriggerStopSize=0\r\n"
           "CaptureMode=2\r\nMaxBytesInLogLine=8\r\nMaxLinesInLogFile=" +
           std::to_string(maxLinesInLogFile) +
           "\r\nStartAmountOfBytes=1\r\nAmountOfBytesWidth=1\r\n"
           "[_data_triggers]\r\n_trigger_0=0000004100000041\r\n_trigger_1=00000042\r\n";
}

// Trash 01 02, frame 7E 03 + 41 41 41, frame 7E 00 (no data), trash 09,
// frame 7E 02 + 42 0D, and a lone 7E that only the flush at the end hands out.
const std::vector<uint8_t> kDynamicInput = {0x01, 0x02, 0x7E, 0x03, 0x41, 0x41, 0x41, 0x7E,
                                            0x00, 0x09, 0x7E, 0x02, 0x42, 0x0D, 0x7E};

const std::string kHashes(56, '#');
const std::string kTildes(56, '~');
const std::string kArrows(56, '>');

const std::vector<std::string> kDynamicLogLines = {
    kHashes, "Start trigger received at <time> (2 bytes)", "HEX:   7E 03",    "ASCII: ~  .",
    kTildes, "Data received at <time> (3 bytes)",          "HEX:   41 41 41", "ASCII: A  A  A",
    kHashes, "Start trigger received at <time> (2 bytes)", "HEX:   7E 00",    "ASCII: ~  .",
    kHashes, "Start trigger received at <time> (2 bytes)", "HEX:   7E 02",    "ASCII: ~  .",
    kTildes, "Data received at <time> (2 bytes)",          "HEX:   42 0D",    "ASCII: B  .",
    kArrows, "Flushed data at <time> (1 bytes)",           "HEX:   7E",       "ASCII: ~",
};

class ReplayTest : public ::testing::Test {
protected:
    std::string WriteSettings(const std::string& text) {
        const std::string path = dir_ / "settings.scs";
        WriteFile(path, text);
        return path;
    }
    std::string WriteInput(const std::vector<uint8_t>& bytes) {
        const std::string path = dir_ / "input.bin";
        WriteBytes(path, bytes);
        return path;
    }
    CliResult Replay(const std::string& settings, const std::string& input, int chunk = 500) {
        return RunCli({"replay", "--settings", settings, "--input", input, "--out", dir_ / "logs", "--chunk",
                       std::to_string(chunk), "--json"});
    }
    // Every log line of the replay, over all its files in writing order.
    std::vector<std::string> AllLogLines(const Json& report) {
        std::vector<std::string> lines;
        for (const auto& name : report["log_files"]) {
            for (std::string& line : ReadLogLines(dir_ / "logs/" + name.get<std::string>())) {
                lines.push_back(std::move(line));
            }
        }
        return lines;
    }

    ScratchDir dir_;
};

TEST_F(ReplayTest, CountsAndLogsAsWorkedOutByHand) {
    const CliResult result = Replay(WriteSettings(DynamicSettings()), WriteInput(kDynamicInput));
    ASSERT_EQ(result.Code, 0) << result.Err;
    const Json report = Json::parse(result.Out);

    Json expected = {{"total_bytes", 15},
                     {"trashed_bytes", 3},
                     {"start_triggers", 3},
                     {"start_trigger_bytes", 6},
                     {"stop_triggers", 0},
                     {"stop_trigger_bytes", 0},
                     {"data_packets", 2},
                     {"data_packet_bytes", 5},
                     {"data_trigger_counts", {2, 1}},
                     {"errors", Json::array()},
                     {"log_files", report["log_files"]}};
    EXPECT_EQ(report, expected);
    ASSERT_EQ(report["log_files"].size(), 1u);
    const std::string name = report["log_files"][0];
    EXPECT_EQ(name.substr(name.size() - 8), "_log.txt");
    EXPECT_EQ(name.find_first_not_of("0123456789_"), name.size() - 7) << name;
    EXPECT_NE(name.find("___"), std::string::npos) << name;
    EXPECT_EQ(ReadLogLines(dir_ / "logs/" + name), kDynamicLogLines);
}

TEST_F(ReplayTest, JsonKeysComeInTheirDocumentedOrder) {
    const CliResult result = Replay(WriteSettings(DynamicSettings()), WriteInput(kDynamicInput));
    ASSERT_EQ(result.Code, 0) << result.Err;
    std::vector<std::string> keys;
    const nlohmann::ordered_json report = nlohmann::ordered_json::parse(result.Out);
    for (const auto& item : report.items()) keys.push_back(item.key());
    EXPECT_EQ(keys, (std::vector<std::string>{"total_bytes", "trashed_bytes", "start_triggers",
                                              "start_trigger_bytes", "stop_triggers", "stop_trigger_bytes",
                                              "data_packets", "data_packet_bytes", "data_trigger_counts",
                                              "errors", "log_files"}));
}

TEST_F(ReplayTest, NewFileAtTheFirstBlockEndPastTheLineLimit) {
    // Eight lines per file: every second block ends a file, so three files of eight lines.
    const CliResult result = Replay(WriteSettings(DynamicSettings(8)), WriteInput(kDynamicInput), 7);
    ASSERT_EQ(result.Code, 0) << result.Err;
    const Json report = Json::parse(result.Out);
    ASSERT_EQ(report["log_files"].size(), 3u);
    std::set<std::string> distinct;
    for (const auto& name : report["log_files"]) {
        EXPECT_EQ(ReadLogLines(dir_ / "logs/" + name.get<std::string>()).size(), 8u) << name;
        distinct.insert(name.get<std::string>());
    }
    EXPECT_EQ(distinct.size(), 3u) << "a file was written over";
    EXPECT_EQ(AllLogLines(report), kDynamicLogLines);
}

TEST_F(ReplayTest, ChunkSizeDoesNotChangeTheResult) {
    // Frames between 7E A5 and 0D 0A, noise in between; the stop and start
    // triggers straddle chunk ends at many places.
    ZDemoFrameSource source(ZDemoMode::Between);
    std::vector<uint8_t> input;
    for (int i = 0; i < 120; ++i) source.AppendFrame(input);
    const std::string settings = ZULGetSamplesDir() + "demo_between.scs";
    const std::string inputPath = WriteInput(input);

    Json reference;
    std::vector<std::string> referenceLines;
    for (int chunk : {500, 1, 7, 4096}) {
        SCOPED_TRACE("chunk " + std::to_string(chunk));
        std::filesystem::remove_all(dir_ / "logs");
        const CliResult result = Replay(settings, inputPath, chunk);
        ASSERT_EQ(result.Code, 0) << result.Err;
        Json report = Json::parse(result.Out);
        const std::vector<std::string> lines = AllLogLines(report);
        report.erase("log_files");
        if (chunk == 500) {
            EXPECT_EQ(report["start_triggers"], 120);
            EXPECT_EQ(report["stop_triggers"], 120);
            EXPECT_EQ(report["total_bytes"], input.size());
            reference = report;
            referenceLines = lines;
            continue;
        }
        EXPECT_EQ(report, reference);
        EXPECT_EQ(lines, referenceLines);
    }
}

TEST_F(ReplayTest, HumanSummaryNamesTheCountersAndFiles) {
    const std::string settings = WriteSettings(DynamicSettings());
    const CliResult result = RunCli(
        {"replay", "--settings", settings, "--input", WriteInput(kDynamicInput), "--out", dir_ / "logs"});
    ASSERT_EQ(result.Code, 0) << result.Err;
    EXPECT_NE(result.Out.find("Total bytes:     15\n"), std::string::npos) << result.Out;
    EXPECT_NE(result.Out.find("Start triggers:  3 (6 bytes)\n"), std::string::npos) << result.Out;
    EXPECT_NE(result.Out.find("Data packets:    2 (5 bytes)\n"), std::string::npos) << result.Out;
    EXPECT_NE(result.Out.find("Data trigger 1:  1 matches\n"), std::string::npos) << result.Out;
    EXPECT_NE(result.Out.find("Log files:       1 in " + dir_ / "logs/"), std::string::npos) << result.Out;
}

// A frame longer than the filter's buffer is lost by design; the summary says so.
TEST_F(ReplayTest, AFrameLongerThanTheBufferIsNamedInTheSummary) {
    const std::string settings =
        WriteSettings(kDefaultPortSection +
                      "[_logger_settings]\r\nCaptureMode=3\r\nTriggerStartSize=1\r\n"
                      "TriggerStart_0=126\r\nTriggerStopSize=1\r\nTriggerStop_0=13\r\n");
    std::vector<uint8_t> input(20002, 'x');
    input.front() = 0x7E;
    input.back() = 0x0D;
    const std::string path = WriteInput(input);
    const CliResult text = RunCli(
        {"replay", "--settings", settings, "--input", path, "--out", dir_ / "logs", "--chunk", "1000"});
    ASSERT_EQ(text.Code, 0) << text.Err;
    EXPECT_NE(
        text.Out.find("Buffer overflows: 1 (data lost: a frame longer than 16384 bytes cannot be parsed)\n"),
        std::string::npos)
        << text.Out;
    const CliResult json = Replay(settings, path, 1000);
    ASSERT_EQ(json.Code, 0) << json.Err;
    EXPECT_EQ(Json::parse(json.Out)["buffer_overflows"], 1);
}

TEST_F(ReplayTest, LogDirectoryOfTheSettingsIsCreatedWhenMissing) {
    const std::string logDir = dir_ / "from/settings/";
    std::string settings = DynamicSettings();
    settings.replace(settings.find("[_logger_settings]\r\n"), 20,
                     "[_logger_settings]\r\nLogDir=" + logDir + "\r\n");
    const CliResult result = RunCli(
        {"replay", "--settings", WriteSettings(settings), "--input", WriteInput(kDynamicInput), "--json"});
    ASSERT_EQ(result.Code, 0) << result.Err;
    const Json report = Json::parse(result.Out);
    ASSERT_EQ(report["log_files"].size(), 1u);
    EXPECT_EQ(ReadLogLines(logDir + report["log_files"][0].get<std::string>()), kDynamicLogLines);
}

TEST_F(ReplayTest, EmptyLogDirectoryMeansTheStandardOne) {
    // Taken literally, an empty folder would put the log files at the root.
    std::string settings = DynamicSettings();
    settings.replace(settings.find("[_logger_settings]\r\n"), 20, "[_logger_settings]\r\nLogDir=\r\n");
    const CliResult result = RunCli(
        {"replay", "--settings", WriteSettings(settings), "--input", WriteInput(kDynamicInput), "--json"});
    ASSERT_EQ(result.Code, 0) << result.Err;
    const std::string name = Json::parse(result.Out)["log_files"][0];
    EXPECT_EQ(ReadLogLines(TestHome() + "std_log_out/" + name), kDynamicLogLines);
    std::filesystem::remove(TestHome() + "std_log_out/" + name);
}

TEST_F(ReplayTest, StopRequestStillRunsTheStopSteps) {
    std::atomic<bool> stop{true};
    const CliResult result = RunCli({"replay", "--settings", WriteSettings(DynamicSettings()), "--input",
                                     WriteInput(kDynamicInput), "--out", dir_ / "logs", "--json"},
                                    &stop);
    EXPECT_EQ(result.Code, 1);
    EXPECT_EQ(result.Err, "Replay interrupted: the input was not fed completely.\n");
    EXPECT_EQ(Json::parse(result.Out)["total_bytes"], 0);
}

TEST_F(ReplayTest, UnknownCaptureModeRunsAsAllBytes) {
    // No trigger at all: only "all bytes" can run, one data block per chunk.
    const std::string settings = kDefaultPortSection + "[_logger_settings]\r\nCaptureMode=9\r\n";
    const CliResult result = Replay(WriteSettings(settings), WriteInput(kDynamicInput), 7);
    ASSERT_EQ(result.Code, 0) << result.Err;
    const Json report = Json::parse(result.Out);
    EXPECT_EQ(report["data_packets"], 3);
    EXPECT_EQ(report["data_packet_bytes"], 15);
    EXPECT_EQ(report["trashed_bytes"], 0);
}

// The bundled samples fit the simulator's frames: every frame is found, and the
// data triggers "OK", "ALARM" (every 8th report) and "#?????0" (every 10th) count
// what the frames say.
TEST_F(ReplayTest, SampleSettingsFitTheDemonstrationFrames) {
    constexpr int kFrames = 80;
    for (const ZDemoModeInfo& mode : kDemoModes) {
        SCOPED_TRACE(mode.Name);
        ZDemoFrameSource source(mode.Mode);
        std::vector<uint8_t> input;
        for (int i = 0; i < kFrames; ++i) source.AppendFrame(input);
        const CliResult result = Replay(ZULGetSamplesDir() + mode.SettingsFile, WriteInput(input), 61);
        ASSERT_EQ(result.Code, 0) << result.Err;
        const Json report = Json::parse(result.Out);
        EXPECT_EQ(report["total_bytes"], input.size());
        EXPECT_EQ(report["start_triggers"], kFrames);
        EXPECT_EQ(report["data_packets"], kFrames);
        EXPECT_EQ(report["data_trigger_counts"], Json({70, 10, 8}));
        EXPECT_EQ(report["errors"], Json::array());
        // Texts of 20 characters plus n % 4 stars (20 of each remainder among 80 frames),
        // and in the modes that keep it, the length byte.
        switch (mode.Mode) {
            case ZDemoMode::Dynamic:
                EXPECT_EQ(report["data_packet_bytes"], 20 * kFrames + 120);
                EXPECT_EQ(report["start_trigger_bytes"], 3 * kFrames);
                break;
            case ZDemoMode::Between:
                EXPECT_EQ(report["data_packet_bytes"], 21 * kFrames + 120);
                EXPECT_EQ(report["stop_triggers"], kFrames);
                break;
            case ZDemoMode::Fixed:
                EXPECT_EQ(report["data_packet_bytes"], 21 * kFrames);
                break;
        }
    }
}

TEST_F(ReplayTest, BundledSampleDataGivesWhatTheSamplesReadmeSays) {
    for (const ZDemoModeInfo& mode : kDemoModes) {
        SCOPED_TRACE(mode.Name);
        const std::string data = ZULGetSamplesDir() + "demo_" + mode.Name + ".bin";
        const CliResult result = Replay(ZULGetSamplesDir() + mode.SettingsFile, data);
        ASSERT_EQ(result.Code, 0) << result.Err;
        const Json report = Json::parse(result.Out);
        EXPECT_EQ(report["start_triggers"], 100);
        EXPECT_EQ(report["data_packets"], 100);
        EXPECT_EQ(report["data_trigger_counts"], Json({88, 12, 10}));
        EXPECT_EQ(report["total_bytes"], std::filesystem::file_size(data));
    }
}

struct RefusalCase {
    const char* Name;
    std::string Settings;  // "" for no file at all
    int Code;
    std::string Message;  // with "<file>" for the settings file's full name
};

void PrintTo(const RefusalCase& refusal, std::ostream* out) {
    *out << refusal.Name;
}

class ReplayRefusalTest : public ReplayTest, public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(ReplayRefusalTest, TellsWhyAndExitsWithItsCode) {
    const RefusalCase& c = GetParam();
    const std::string settings = dir_ / "case.scs";
    if (!c.Settings.empty()) WriteFile(settings, c.Settings);
    const CliResult result = Replay(settings, WriteInput(kDynamicInput));
    EXPECT_EQ(result.Code, c.Code);
    std::string message = c.Message;
    if (size_t at = message.find("<file>"); at != std::string::npos) message.replace(at, 6, settings);
    EXPECT_EQ(result.Err, message);
    EXPECT_EQ(result.Out, "");
    EXPECT_FALSE(std::filesystem::exists(dir_ / "logs")) << "nothing may be written after a refusal";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ReplayRefusalTest,
    ::testing::Values(
        RefusalCase{"MissingFile", "", 2, "File not found: \"<file>\"\n"},
        RefusalCase{"NoPortSection", "[_logger_settings]\r\nCaptureMode=0\r\n", 2,
                    "The settings for the COM port could not be read from file \"case.scs\"\n"},
        RefusalCase{"NoStartTrigger", kDefaultPortSection + "[_logger_settings]\r\nCaptureMode=1\r\n", 1,
                    "You have to define a start trigger first!\n"},
        RefusalCase{"NoStartTriggerDynamic", kDefaultPortSection + "[_logger_settings]\r\nCaptureMode=2\r\n",
                    1, "You have to define a start trigger first!\n"},
        RefusalCase{"NoStopTrigger",
                    kDefaultPortSection +
                        "[_logger_settings]\r\nCaptureMode=3\r\nTriggerStartSize=1\r\nTriggerStart_0=2\r\n",
                    1, "You have to define a stop trigger first!\n"},
        RefusalCase{"NoStopTriggerToEndLines",
                    kDefaultPortSection + "[_logger_settings]\r\nCaptureMode=5\r\n", 1,
                    "You have to define a stop trigger first!\n"},
        RefusalCase{"NoTriggersAtAll", kDefaultPortSection + "[_logger_settings]\r\nCaptureMode=3\r\n", 1,
                    "You have to define a start trigger first!\n"}),
    [](const ::testing::TestParamInfo<RefusalCase>& refusal) { return refusal.param.Name; });

TEST_F(ReplayTest, BadUsageExitsWithTwo) {
    const std::string settings = WriteSettings(DynamicSettings());
    const std::string input = WriteInput(kDynamicInput);
    EXPECT_EQ(RunCli({"replay", "--settings", settings}).Code, 2) << "no input";
    EXPECT_EQ(RunCli({"replay", "--settings", settings, "--input", input, "--chunk", "0"}).Code, 2);
    EXPECT_EQ(RunCli({"replay", "--settings", settings, "--input", input, "--bogus"}).Code, 2);
    EXPECT_EQ(RunCli({}).Code, 2) << "no command";
    const CliResult missingInput = RunCli({"replay", "--settings", settings, "--input", dir_ / "none.bin"});
    EXPECT_EQ(missingInput.Code, 2);
    EXPECT_EQ(missingInput.Err, "File not found: \"" + dir_ / "none.bin" + "\"\n");
}

TEST_F(ReplayTest, LogFolderThatCannotBeMadeFailsTheWork) {
    WriteFile(dir_ / "blocker", "a file where a folder should go");
    const CliResult result = RunCli({"replay", "--settings", WriteSettings(DynamicSettings()), "--input",
                                     WriteInput(kDynamicInput), "--out", dir_ / "blocker/logs"});
    EXPECT_EQ(result.Code, 1);
    EXPECT_EQ(result.Err.rfind("Error creating the log directory: \"" + dir_ / "blocker/logs/\": ", 0), 0u)
        << result.Err;
}

TEST(CliHelpTest, EveryCommandHasHelp) {
    for (const char* command : {"replay", "capture", "ports", "settings", "simulate"}) {
        SCOPED_TRACE(command);
        const CliResult result = RunCli({command, "--help"});
        EXPECT_EQ(result.Code, 0);
        EXPECT_NE(result.Out.find(command), std::string::npos) << result.Out;
    }
    const CliResult replay = RunCli({"replay", "--help"});
    EXPECT_NE(replay.Out.find("--chunk"), std::string::npos);
    EXPECT_EQ(RunCli({"--help"}).Code, 0);
}

// Timed recordings: pcapng built by hand, one packet per read with its time.
std::string Le32(uint32_t v) {
    return std::string{static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16),
                       static_cast<char>(v >> 24)};
}
std::string Pcapng(uint16_t linkType, const std::vector<std::pair<uint64_t, std::string>>& packets) {
    std::string file =
        Le32(0x0A0D0D0A) + Le32(28) + Le32(0x1A2B3C4D) + Le32(1) + std::string(8, '\xFF') + Le32(28);
    file += Le32(1) + Le32(20) + Le32(linkType) + Le32(0) + Le32(20);
    for (const auto& [us, bytes] : packets) {
        std::string data = bytes;
        data.resize((data.size() + 3) / 4 * 4, '\0');
        const auto length = static_cast<uint32_t>(32 + data.size());
        file += Le32(6) + Le32(length) + Le32(0) + Le32(static_cast<uint32_t>(us >> 32)) +
                Le32(static_cast<uint32_t>(us)) + Le32(static_cast<uint32_t>(bytes.size())) +
                Le32(static_cast<uint32_t>(bytes.size())) + data + Le32(length);
    }
    return file;
}

const std::string SilenceSettings =
    kDefaultPortSection + "[_logger_settings]\r\nCaptureMode=4\r\n[_frames]\r\nSilenceGapMs=5\r\n";
const std::vector<std::pair<uint64_t, std::string>> GappedReads = {{1'796'828'427'000'000, "\x01\x02"},
                                                                   {1'796'828'427'001'000, "\x03"},
                                                                   {1'796'828'427'006'000, "\x04\x05"},
                                                                   {1'796'828'427'010'999, "\x06"}};

TEST_F(ReplayTest, ATimedRecordingReplaysWithTheTimeOfEachRead) {
    const std::string input = dir_ / "r.pcapng";
    WriteFile(input, Pcapng(147, GappedReads));
    const CliResult result = Replay(WriteSettings(SilenceSettings), input);
    ASSERT_EQ(result.Code, 0) << result.Err;
    const Json report = Json::parse(result.Out);
    // 1 ms and 4.999 ms after a read join it; 5 ms end the frame.
    EXPECT_EQ(report["data_packets"], 2);
    EXPECT_EQ(report["data_packet_bytes"], 6);
}

struct TimedRefusalCase {
    std::string Name;
    std::string Settings;
    std::string InputName;
    std::string Input;
    int Code;
    std::string Message;  // after the input file's full name in quotes
};

class TimedReplayRefusalTest : public ReplayTest, public ::testing::WithParamInterface<TimedRefusalCase> {};

TEST_P(TimedReplayRefusalTest, SaysWhatIsWrong) {
    const TimedRefusalCase& c = GetParam();
    const std::string input = dir_ / c.InputName;
    WriteFile(input, c.Input);
    const CliResult result = Replay(WriteSettings(c.Settings), input);
    EXPECT_EQ(result.Code, c.Code);
    const std::string quoted = "\"" + input + "\"";
    EXPECT_EQ(result.Err,
              c.Message.substr(0, c.Message.find('|')) + quoted + c.Message.substr(c.Message.find('|') + 1));
    EXPECT_EQ(result.Out, "");
}

const std::string AllBytes = kDefaultPortSection + "[_logger_settings]\r\nCaptureMode=0\r\n";

INSTANTIATE_TEST_SUITE_P(
    Cases, TimedReplayRefusalTest,
    ::testing::Values(
        TimedRefusalCase{
            "SilenceFromAPlainDump", SilenceSettings, "r.bin", "\x01\x02", 2,
            "Capture mode 4 (frames separated by silence) needs a timed recording (.pcapng): | holds "
            "no time of its reads\n"},
        TimedRefusalCase{"CutInsideABlock", AllBytes, "r.pcapng", Pcapng(147, GappedReads).substr(0, 90), 1,
                         "The recording | ends inside a block at offset 90.\n"},
        TimedRefusalCase{"AnotherLinkType", AllBytes, "r.pcapng", Pcapng(252, GappedReads), 1,
                         "The recording | holds packets of link type 252, not of link type 147.\n"},
        TimedRefusalCase{"NotPcapng", AllBytes, "r.pcapng", "\x01\x02\x03", 1,
                         "The recording | is not a pcapng file.\n"}),
    [](const ::testing::TestParamInfo<TimedRefusalCase>& refusal) { return refusal.param.Name; });

}  // namespace
}  // namespace clitest
