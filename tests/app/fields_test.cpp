// Fields through kestrun-cli: one replay's outputs (frame export, CSV file, log files,
// summary), the CSV file a capture writes beside its log files, and a CSV file that a
// run which never started leaves behind.

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <iterator>
#include <nlohmann/json.hpp>
#include <thread>

#include "CliTestSupport.h"
#include "TestFiles.h"
#include "ZULDataDir.h"

namespace clitest {
namespace {

using Json = nlohmann::json;
using Bytes = std::vector<uint8_t>;

std::string ReadText(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// Frames of 7E and five bytes: a message type, a 16-bit value, a status byte and the
// XOR of the frame before it. A field of each kind of message, one whose name needs
// quoting, and one that never matches.
const std::string kSettings =
    kDefaultPortSection +
    "[_logger_settings]\r\nTriggerStartSize=1\r\nTriggerStart_0=126\r\nTriggerStopSize=0\r\nCaptureMode=1\r\n"
    "BytesAfterTrigger=5\r\nMaxBytesInLogLine=16\r\n"
    "[_frames]\r\nChecksumAlgorithm=1\r\n"
    "[_fields]\r\nCount=4\r\n"
    "Name_0=temperature\r\nType_0=i16\r\nOffset_0=1\r\nScale_0=0.1\r\nUnit_0=\xC2\xB0"
    "C\r\nMatch_0=0:01\r\n"
    "Name_1=level\r\nType_1=u8\r\nOffset_1=3\r\nUnit_1=%\r\nMatch_1=0:02\r\n"
    "Name_2=state \"a\", b\r\nType_2=u8\r\nOffset_2=3\r\nBits_2=7,1\r\nMatch_2=0:01\r\n"
    "Name_3=never\r\nType_3=u8\r\nOffset_3=0\r\nMatch_3=0:FF\r\n";

Bytes Frame(Bytes data, bool checksumRight = true) {
    uint8_t sum = 0x7E;
    for (uint8_t byte : data) sum ^= byte;
    data.insert(data.begin(), 0x7E);
    data.push_back(checksumRight ? sum : static_cast<uint8_t>(sum ^ 1));
    return data;
}

Bytes Input() {
    Bytes input;
    for (const Bytes& frame : {Frame({0x01, 0x01, 0x3B, 0x80}), Frame({0x02, 0x00, 0x00, 0x2A}),
                               Frame({0x01, 0xFF, 0xFE, 0x00}, false), Frame({0x03, 0x00, 0x00, 0x00}),
                               Frame({0x01, 0xFF, 0xFE, 0x00})})
        input.insert(input.end(), frame.begin(), frame.end());
    return input;
}

// Lines without their line end (CR LF or LF), the time at the start of each replaced
// by "<time>" when it has the export's form.
std::vector<std::string> LinesWithoutTimes(const std::string& text, const std::string& timeStart) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.rfind(timeStart, 0) == 0) {
            const size_t start = timeStart.size();
            const size_t end = line.find_first_of("\",", start);
            const std::string time = line.substr(start, end - start);
            if (MatchesShape(time, "9999-99-99T99:99:99.999999Z") ||
                MatchesShape(time, "9999-99-99T99:99:99.999999+99:99") ||
                MatchesShape(time, "9999-99-99T99:99:99.999999-99:99"))
                line.replace(start, end - start, "<time>");
        }
        lines.push_back(line);
    }
    return lines;
}

TEST(FieldsReplayTest, EveryOutputShowsTheValuesOfTheFramesThatHaveThem) {
    ScratchDir dir;
    WriteFile(dir / "s.scs", kSettings);
    WriteBytes(dir / "in.bin", Input());
    const CliResult result =
        RunCli({"replay", "--settings", dir / "s.scs", "--input", dir / "in.bin", "--out", dir / "logs",
                "--frames", dir / "f.jsonl", "--csv", dir / "v.csv", "--json"});
    ASSERT_EQ(result.Code, 0) << result.Err;

    std::vector<std::string> exported;
    for (const std::string& line : LinesWithoutTimes(ReadText(dir / "f.jsonl"), "{\"time\": \"")) {
        if (line.find("\"kind\": \"data\"") != std::string::npos)
            exported.push_back(line.substr(line.find("\"fields\"")));
    }
    EXPECT_EQ(exported, (std::vector<std::string>{
                            R"("fields": {"temperature": 31.5, "state \"a\", b": 1}})",
                            R"("fields": {"level": 42}})", R"("fields": null})", R"("fields": {}})",
                            R"("fields": {"temperature": -0.2, "state \"a\", b": 0}})"}));

    const std::string csv = ReadText(dir / "v.csv");
    EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), std::count(csv.begin(), csv.end(), '\r'))
        << "CR LF ends";
    EXPECT_EQ(LinesWithoutTimes(csv, ""),
              (std::vector<std::string>{"time,temperature [\xC2\xB0"
                                        "C],level [%],\"state \"\"a\"\", b\",never",
                                        "<time>,31.5,,1,", "<time>,,42,,", "<time>,-0.2,,0,"}));

    const Json report = Json::parse(result.Out);
    std::vector<std::string> values;
    for (const auto& name : report["log_files"]) {
        std::string before;
        for (const std::string& line : ReadLogLines(dir / "logs/" + name.get<std::string>())) {
            if (line.rfind("Values: ", 0) == 0) {
                values.push_back(line);
                EXPECT_EQ(before.rfind("ASCII: ", 0), 0u) << "not after its data block: " << line;
            }
            before = line;
        }
    }
    EXPECT_EQ(values, (std::vector<std::string>{"Values: temperature=31.5 \xC2\xB0"
                                                "C, state \"a\", b=1",
                                                "Values: level=42 %",
                                                "Values: temperature=-0.2 \xC2\xB0"
                                                "C, state \"a\", b=0"}));

    const Json absent = {
        {"count", 0}, {"min", nullptr}, {"max", nullptr}, {"mean", nullptr}, {"last", nullptr}};
    EXPECT_EQ(
        report["fields"],
        Json({{"temperature", {{"count", 2}, {"min", -0.2}, {"max", 31.5}, {"mean", 15.65}, {"last", -0.2}}},
              {"level", {{"count", 1}, {"min", 42}, {"max", 42}, {"mean", 42}, {"last", 42}}},
              {"state \"a\", b", {{"count", 2}, {"min", 0}, {"max", 1}, {"mean", 0.5}, {"last", 0}}},
              {"never", absent}}));
    // Numbers in their shortest form, as the CSV file writes them.
    EXPECT_NE(result.Out.find("\"max\": 42,"), std::string::npos) << result.Out;
    EXPECT_NE(result.Out.find("\"mean\": 15.65,"), std::string::npos) << result.Out;

    const CliResult summary =
        RunCli({"replay", "--settings", dir / "s.scs", "--input", dir / "in.bin", "--out", dir / "logs"});
    ASSERT_EQ(summary.Code, 0) << summary.Err;
    for (const char* line :
         {"\nField temperature [\xC2\xB0"
          "C]: 2 values, min -0.2, max 31.5, mean 15.65, last -0.2\n",
          "\nField level [%]: 1 value, min 42, max 42, mean 42, last 42\n", "\nField never: no values\n"})
        EXPECT_NE(summary.Out.find(line), std::string::npos) << "missing: " << line << summary.Out;
}

TEST(FieldsReplayTest, SettingsWithoutFieldsKeepTheirOutputs) {
    ScratchDir dir;
    std::string settings = kSettings;
    settings.erase(settings.find("[_fields]"));
    WriteFile(dir / "s.scs", settings);
    WriteBytes(dir / "in.bin", Input());
    const CliResult result =
        RunCli({"replay", "--settings", dir / "s.scs", "--input", dir / "in.bin", "--out", dir / "logs",
                "--frames", dir / "f.jsonl", "--csv", dir / "v.csv", "--json"});
    ASSERT_EQ(result.Code, 0) << result.Err;
    EXPECT_FALSE(Json::parse(result.Out).contains("fields"));
    EXPECT_EQ(ReadText(dir / "f.jsonl").find("\"fields\""), std::string::npos);
    EXPECT_EQ(ReadText(dir / "v.csv"), "time\r\n");
    EXPECT_NE(result.Err.find("The settings define no fields"), std::string::npos) << result.Err;
}

// A CSV file that cannot take every row (here: the file size limit of the process)
// makes the run a failure that names the file.
TEST(FieldsReplayTest, ACsvFileThatCannotBeWrittenInFullFailsTheRun) {
    ScratchDir dir;
    std::string settings = kSettings;
    // No log lines: the log files stay within the limit.
    settings.insert(settings.find("[_frames]"), "LogStartTrigger=0\r\nLogDataField=0\r\n");
    WriteFile(dir / "s.scs", settings);
    Bytes input;
    for (int i = 0; i < 50; ++i) {
        const Bytes frames = Input();
        input.insert(input.end(), frames.begin(), frames.end());
    }
    WriteBytes(dir / "in.bin", input);
    CliResult result;
    {
        FileSizeLimit limit(200);
        result = RunCli({"replay", "--settings", dir / "s.scs", "--input", dir / "in.bin", "--out",
                         dir / "logs", "--csv", dir / "v.csv"});
    }
    EXPECT_EQ(result.Code, 1);
    EXPECT_NE(
        result.Err.find("The CSV file could not be written: \"" + dir / "v.csv" + "\": File too large\n"),
        std::string::npos)
        << result.Err;
}

// The Modbus demonstration's answer to "Read registers 0 to 3", as capture mode 4 hands
// it on: the whole frame is the data block.
TEST(FieldsReplayTest, TheModbusDemonstrationReadsItsFourRegisters) {
    ScratchDir dir;
    const std::string sample = ReadText(ZULGetSamplesDir() + "demo_modbus.scs");
    ASSERT_NE(sample.find("[_fields]"), std::string::npos);
    // Every chunk a data block, so that this answer reaches the fields whole.
    const std::string settings = kDefaultPortSection + "[_logger_settings]\r\nCaptureMode=0\r\n" +
                                 sample.substr(sample.find("[_fields]"));
    WriteFile(dir / "m.scs", settings);
    WriteBytes(dir / "in.bin",
               {0x11, 0x03, 0x08, 0x00, 0x00, 0x01, 0x01, 0x02, 0x02, 0x03, 0x03, 0x1D, 0x8F});
    const CliResult result = RunCli({"replay", "--settings", dir / "m.scs", "--input", dir / "in.bin",
                                     "--out", dir / "logs", "--csv", dir / "v.csv"});
    ASSERT_EQ(result.Code, 0) << result.Err;
    EXPECT_EQ(
        LinesWithoutTimes(ReadText(dir / "v.csv"), ""),
        (std::vector<std::string>{"time,register0,register1,register2,register3", "<time>,0,257,514,771"}));
}

TEST(FieldsCaptureTest, ACaptureThatNeverStartsLeavesNoCsvFile) {
    ScratchDir dir;
    WriteFile(dir / "s.scs", kSettings);
    const CliResult result = RunCli({"capture", "--settings", dir / "s.scs", "--device",
                                     dir / "no-such-device", "--out", dir / "logs", "--csv", dir / "v.csv"});
    EXPECT_EQ(result.Code, 1) << result.Err;
    EXPECT_FALSE(std::filesystem::exists(dir / "v.csv"));
}

// The setting, as the window program uses it: the file goes beside the log files,
// named after the first one, and its rows reach it while the capture runs.
TEST(FieldsCaptureTest, CsvRecordingWritesBesideTheLogFilesWhileTheCaptureRuns) {
    ScratchDir dir;
    std::string settings = kSettings;
    settings.insert(settings.find("Name_0="), "CsvRecording=1\r\n");
    WriteFile(dir / "s.scs", settings);
    const Bytes input = Input();
    std::atomic<bool> stop{false};
    CliResult result;
    std::thread capture([&] {
        result = RunCli({"capture", "--settings", dir / "s.scs", "--device", TestPty().SlavePath(), "--out",
                         dir / "logs"},
                        &stop, [&] {
                            EXPECT_EQ(write(TestPty().Master(), input.data(), input.size()),
                                      static_cast<ssize_t>(input.size()));
                        });
    });
    auto csvFiles = [&] {
        std::vector<std::filesystem::path> found;
        std::error_code error;
        for (std::filesystem::directory_iterator it(dir / "logs", error), end; !error && it != end;
             it.increment(error))
            if (it->path().extension() == ".csv") found.push_back(it->path());
        return found;
    };
    // Three rows, then the capture is stopped; the file is renamed once the first log
    // file is written, so a look may miss it.
    bool seen = false;
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!seen && std::chrono::steady_clock::now() < limit) {
        for (const auto& path : csvFiles()) seen = seen || LinesWithoutTimes(ReadText(path), "").size() == 4;
        if (!seen) std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    stop = true;
    capture.join();
    ASSERT_EQ(result.Code, 0) << result.Err;
    EXPECT_TRUE(seen) << "the running capture's CSV file never showed its rows";
    std::vector<std::string> logs;
    for (const auto& entry : std::filesystem::directory_iterator(dir / "logs"))
        if (entry.path().extension() == ".txt") logs.push_back(entry.path().filename());
    const std::vector<std::filesystem::path> csvs = csvFiles();
    ASSERT_EQ(logs.size(), 1u);
    ASSERT_EQ(csvs.size(), 1u);
    EXPECT_EQ(csvs[0].filename(), logs[0] + ".csv");
    EXPECT_EQ(LinesWithoutTimes(ReadText(csvs[0]), "").back(), "<time>,-0.2,,0,");
}

}  // namespace
}  // namespace clitest
