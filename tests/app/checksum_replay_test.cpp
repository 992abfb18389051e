// kestrun-cli replay with frame checksums: one replay per algorithm family, the
// bundled checksum samples against their independent counts, the log file marker,
// dropping bad frames, and the frame export.

#include <sys/stat.h>

#include <iterator>
#include <map>
#include <nlohmann/json.hpp>

#include "CliTestSupport.h"
#include "ZULDataDir.h"

namespace clitest {
namespace {

using Json = nlohmann::json;
using Bytes = std::vector<uint8_t>;

std::string ReadText(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

Bytes Concat(std::initializer_list<std::string> parts) {
    Bytes bytes;
    for (const std::string& part : parts) bytes.insert(bytes.end(), part.begin(), part.end());
    return bytes;
}

std::string LoggerSection(const std::string& triggers, int mode, const std::string& extra = "") {
    return "[_logger_settings]\r\n" + triggers + "CaptureMode=" + std::to_string(mode) +
           "\r\nMaxBytesInLogLine=16\r\n" + extra;
}

std::string Frames(int algorithm, int skipStart, int gap, int skipEnd, int msbFirst, int lengthAdjust = 0,
                   int drop = 0) {
    return "[_frames]\r\nChecksumAlgorithm=" + std::to_string(algorithm) +
           "\r\nChecksumSkipStart=" + std::to_string(skipStart) + "\r\nChecksumGap=" + std::to_string(gap) +
           "\r\nChecksumSkipEnd=" + std::to_string(skipEnd) +
           "\r\nChecksumMSBFirst=" + std::to_string(msbFirst) + "\r\nDropBadFrames=" + std::to_string(drop) +
           "\r\nLengthAdjust=" + std::to_string(lengthAdjust) + "\r\n";
}

struct FamilyCase {
    const char* name;
    std::string settings;
    Bytes input;
    int good, bad;
};

std::vector<FamilyCase> FamilyCases() {
    const std::string oneByteStart = "TriggerStartSize=1\r\nTriggerStart_0=170\r\nTriggerStopSize=0\r\n";
    return {
        // AA + 3 data bytes; the last makes the sum of the frame zero.
        {"EightBitSum",
         kDefaultPortSection + LoggerSection(oneByteStart, 1, "BytesAfterTrigger=3\r\n") +
             Frames(3, 0, 0, 0, 1),
         {0xAA, 0x01, 0x02, 0x53, 0xAA, 0x01, 0x02, 0x54, 0x07, 0xAA, 0x10, 0x20, 0x26},
         2,
         1},
        // 01 <length 9> "123456789" <CRC-16/MODBUS, least significant byte first>; the
        // length leaves out the checksum.
        {"CrcLengthField",
         kDefaultPortSection +
             LoggerSection(
                 "TriggerStartSize=2\r\nTriggerStart_0=1\r\nTriggerStart_1=256\r\nTriggerStopSize=0\r\n", 2,
                 "StartAmountOfBytes=1\r\nAmountOfBytesWidth=1\r\n") +
             Frames(5, 2, 0, 0, 0, 2),
         Concat({"\x01\x09", "123456789", "\x37\x4B", "\x01\x09", "123456780", "\x37\x4B"}), 1, 1},
        // "<" "123456789" <CRC-32> ">", between triggers.
        {"CrcBetweenTriggers",
         kDefaultPortSection +
             LoggerSection(
                 "TriggerStartSize=1\r\nTriggerStart_0=60\r\nTriggerStopSize=1\r\nTriggerStop_0=62\r\n", 3) +
             Frames(8, 1, 0, 1, 1),
         Concat({"<123456789\xCB\xF4\x39\x26>", "<123456789\xCB\xF4\x39\x27>", "<\x01>"}), 1, 2},
    };
}

class ChecksumReplayTest : public ::testing::Test {
protected:
    std::string Write(const std::string& name, const std::string& text) {
        const std::string path = dir_ / name;
        WriteFile(path, text);
        return path;
    }
    std::string WriteInput(const Bytes& bytes) {
        const std::string path = dir_ / "input.bin";
        WriteBytes(path, bytes);
        return path;
    }
    CliResult Replay(const std::string& settings, const std::string& input,
                     std::vector<std::string> extra = {}) {
        std::vector<std::string> args{"replay", "--settings",  settings,  "--input", input,
                                      "--out",  dir_ / "logs", "--chunk", "7"};
        args.insert(args.end(), extra.begin(), extra.end());
        return RunCli(args);
    }
    // How often each of the texts starts a line in the replay's log files.
    std::map<std::string, int> CountLogLines(const Json& report, const std::vector<std::string>& prefixes) {
        std::map<std::string, int> counts;
        for (const auto& name : report["log_files"]) {
            for (const std::string& line : ReadLogLines(dir_ / "logs/" + name.get<std::string>())) {
                for (const std::string& prefix : prefixes)
                    counts[prefix] += line.rfind(prefix, 0) == 0 ? 1 : 0;
            }
        }
        return counts;
    }

    ScratchDir dir_;
};

TEST_F(ChecksumReplayTest, EachAlgorithmFamilyCountsAndMarksItsFrames) {
    for (const FamilyCase& c : FamilyCases()) {
        SCOPED_TRACE(c.name);
        const CliResult result = Replay(Write("family.scs", c.settings), WriteInput(c.input), {"--json"});
        ASSERT_EQ(result.Code, 0) << result.Err;
        const Json report = Json::parse(result.Out);
        EXPECT_EQ(report["checksum"], Json({{"good", c.good}, {"bad", c.bad}}));
        EXPECT_EQ(CountLogLines(report, {"*** checksum wrong ***"})["*** checksum wrong ***"], c.bad);
        std::filesystem::remove_all(dir_ / "logs");
    }
}

// The bundled recordings, damaged on purpose; samples/check_checksum_samples.py
// counts the same files without Kestrun: 173 good and 27 bad sentences, 127 good and
// 23 bad binary frames.
TEST_F(ChecksumReplayTest, SampleRecordingsGiveTheIndependentCounts) {
    const struct {
        const char* name;
        int good, bad;
    } samples[] = {{"nmea_checksum", 173, 27}, {"gnss_checksum", 127, 23}};
    for (const auto& sample : samples) {
        SCOPED_TRACE(sample.name);
        const std::string base = ZULGetSamplesDir() + sample.name;
        const CliResult result = Replay(base + ".scs", base + ".bin", {"--json"});
        ASSERT_EQ(result.Code, 0) << result.Err;
        const Json report = Json::parse(result.Out);
        EXPECT_EQ(report["checksum"], Json({{"good", sample.good}, {"bad", sample.bad}}));
        EXPECT_EQ(report["data_packets"], sample.good + sample.bad);
        std::filesystem::remove_all(dir_ / "logs");
    }
}

TEST_F(ChecksumReplayTest, DroppedFramesLeaveTheLogButStayCounted) {
    std::string settings = ReadText(ZULGetSamplesDir() + "nmea_checksum.scs");
    const size_t at = settings.find("DropBadFrames=0");
    ASSERT_NE(at, std::string::npos);
    settings.replace(at, 15, "DropBadFrames=1");
    const CliResult result =
        Replay(Write("drop.scs", settings), ZULGetSamplesDir() + "nmea_checksum.bin", {"--json"});
    ASSERT_EQ(result.Code, 0) << result.Err;
    const Json report = Json::parse(result.Out);
    EXPECT_EQ(report["checksum"], Json({{"good", 173}, {"bad", 27}}));
    auto lines = CountLogLines(
        report, {"*** checksum wrong ***", "Start trigger", "Data received", "Stop trigger", "Flushed data"});
    EXPECT_EQ(lines["*** checksum wrong ***"], 0);
    // The cut-off sentence at the end: its start trigger, then the flushed rest.
    EXPECT_EQ(lines["Start trigger"], 173 + 1);
    EXPECT_EQ(lines["Data received"], 173);
    EXPECT_EQ(lines["Stop trigger"], 173);
    EXPECT_EQ(lines["Flushed data"], 1);
}

TEST_F(ChecksumReplayTest, TheSummaryShowsTheCountsOnlyWithAChecksum) {
    const FamilyCase c = FamilyCases()[0];
    const std::string input = WriteInput(c.input);
    CliResult result = Replay(Write("sum.scs", c.settings), input);
    ASSERT_EQ(result.Code, 0) << result.Err;
    EXPECT_NE(result.Out.find("Checksums:       2 good, 1 bad\n"), std::string::npos) << result.Out;
    const std::string plain = c.settings.substr(0, c.settings.find("[_frames]"));
    result = Replay(Write("plain.scs", plain), input);
    ASSERT_EQ(result.Code, 0) << result.Err;
    EXPECT_EQ(result.Out.find("Checksums"), std::string::npos);
}

TEST_F(ChecksumReplayTest, AChecksumWithoutFramesIsRefusedAtStart) {
    const std::string settings =
        kDefaultPortSection + LoggerSection("TriggerStartSize=0\r\n", 0) + Frames(1, 0, 0, 0, 1);
    const CliResult result = Replay(Write("all.scs", settings), WriteInput({1, 2, 3}));
    EXPECT_EQ(result.Code, 1);
    EXPECT_NE(result.Err.find("A checksum is checked in frames only"), std::string::npos) << result.Err;
    EXPECT_FALSE(std::filesystem::exists(dir_ / "logs"));
}

TEST_F(ChecksumReplayTest, TheFrameExportHasOneLinePerBlock) {
    const std::string settings =
        kDefaultPortSection +
        LoggerSection("TriggerStartSize=1\r\nTriggerStart_0=126\r\nTriggerStopSize=0\r\n", 1,
                      "BytesAfterTrigger=2\r\n") +
        "[_data_triggers]\r\n_trigger_0=000000A5\r\n_trigger_1=00000016\r\n" + Frames(1, 0, 0, 0, 1);
    const std::string frames = dir_ / "frames.jsonl";
    const CliResult result =
        Replay(Write("export.scs", settings), WriteInput({0x09, 0x7E, 0xA5, 0xDB, 0x7E, 0xA5, 0x16, 0x7E}),
               {"--frames", frames});
    ASSERT_EQ(result.Code, 0) << result.Err;
    std::vector<std::string> lines;
    std::istringstream text(ReadText(frames));
    for (std::string line; std::getline(text, line);) {
        // The time is checked for its form (local time with its offset, "Z" for UTC), the
        // rest byte for byte.
        const size_t end = line.find("\", ");
        ASSERT_NE(end, std::string::npos) << line;
        const std::string head = line.substr(0, end + 3);
        EXPECT_TRUE(MatchesShape(head, "{\"time\": \"9999-99-99T99:99:99.999999Z\", ") ||
                    MatchesShape(head, "{\"time\": \"9999-99-99T99:99:99.999999+99:99\", ") ||
                    MatchesShape(head, "{\"time\": \"9999-99-99T99:99:99.999999-99:99\", "))
            << line;
        lines.push_back(line.substr(end + 3));
    }
    const std::vector<std::string> expected = {
        R"("kind": "trash", "length": 1, "hex": "09", "checksum": null, "data_triggers": [0, 0]})",
        R"("kind": "start", "length": 1, "hex": "7E", "checksum": null, "data_triggers": [0, 0]})",
        R"("kind": "data", "length": 2, "hex": "A5DB", "checksum": "good", "data_triggers": [1, 0]})",
        R"("kind": "start", "length": 1, "hex": "7E", "checksum": null, "data_triggers": [0, 0]})",
        R"("kind": "data", "length": 2, "hex": "A516", "checksum": "bad", "data_triggers": [1, 1]})",
        R"("kind": "start", "length": 1, "hex": "7E", "checksum": null, "data_triggers": [0, 0]})",
    };
    EXPECT_EQ(lines, expected);
}

TEST_F(ChecksumReplayTest, TheFrameExportAndTheCsvFileNeverReplaceAFileOrFollowALink) {
    struct Output {
        const char* option;
        const char* what;
    };
    const FamilyCase c = FamilyCases()[0];
    const std::string settings = Write("sum.scs", c.settings);
    const std::string input = WriteInput(c.input);
    for (const Output& output : {Output{"--frames", "frame file"}, Output{"--csv", "CSV file"}}) {
        SCOPED_TRACE(output.option);
        const std::string existing = Write("existing.out", "keep me\n");
        const std::string link = dir_ / "link.out";
        std::filesystem::remove(link);
        ASSERT_EQ(symlink((dir_ / "target.out").c_str(), link.c_str()), 0);
        for (const std::string& path : {existing, link}) {
            SCOPED_TRACE(path);
            const CliResult result = Replay(settings, input, {output.option, path});
            EXPECT_EQ(result.Code, 1);
            const std::string refusal = std::string("The ") + output.what + " could not be created: \"";
            EXPECT_NE(result.Err.find(refusal + path + "\""), std::string::npos) << result.Err;
            EXPECT_EQ(result.Out, "") << "the replay ran";
        }
        EXPECT_EQ(ReadText(existing), "keep me\n");
        EXPECT_FALSE(std::filesystem::exists(dir_ / "target.out"));
    }
}

}  // namespace
}  // namespace clitest
