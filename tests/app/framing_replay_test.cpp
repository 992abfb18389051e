// Replays of lines, SLIP and COBS frames: the bundled samples, and the frame export of
// decoded frames.

#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <sstream>

#include "CliTestSupport.h"
#include "ZDemoRecordSource.h"
#include "ZULDataDir.h"

namespace clitest {
namespace {

using Json = nlohmann::json;

std::vector<uint8_t> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// What samples/README.md says a replay of demo_<mode>.bin gives.
struct SampleCase {
    ZDemoFraming framing;
    int frames;  // in the recording
    int dataPackets;
    int stopTriggers;
    int trashedBytes;
    Json triggerCounts;
    Json checksum;  // null: none is checked
};

void PrintTo(const SampleCase& c, std::ostream* out) {
    *out << kDemoFramings[static_cast<int>(c.framing)].Name;
}

class FramingSampleTest : public ::testing::TestWithParam<SampleCase> {};

TEST_P(FramingSampleTest, IsTheSimulatorsStreamAndGivesWhatTheReadmeSays) {
    const SampleCase& c = GetParam();
    const ZDemoFramingInfo& info = kDemoFramings[static_cast<int>(c.framing)];
    const std::string data = ZULGetSamplesDir() + "demo_" + info.Name + ".bin";
    ZDemoRecordSource source(c.framing);
    std::vector<uint8_t> stream;
    for (int i = 0; i < c.frames; ++i) source.AppendFrame(stream);
    EXPECT_EQ(ReadBytes(data), stream);

    ScratchDir dir;
    const CliResult result = RunCli({"replay", "--settings", ZULGetSamplesDir() + info.SettingsFile,
                                     "--input", data, "--out", dir / "logs", "--chunk", "7", "--json"});
    ASSERT_EQ(result.Code, 0) << result.Err;
    const Json report = Json::parse(result.Out);
    EXPECT_EQ(report["total_bytes"], stream.size()) << "the bytes on the line, not the payloads";
    EXPECT_EQ(report["start_triggers"], 0);
    EXPECT_EQ(report["data_packets"], c.dataPackets);
    EXPECT_EQ(report["stop_triggers"], c.stopTriggers);
    EXPECT_EQ(report["trashed_bytes"], c.trashedBytes);
    EXPECT_EQ(report["data_trigger_counts"], c.triggerCounts);
    EXPECT_EQ(report.contains("checksum") ? report["checksum"] : Json(), c.checksum);
    EXPECT_EQ(report["errors"], Json::array());
}

// 200 binary records: 25 alarms, 4 test patterns, 2 wrong CRCs, and record 77 (an OK
// record) corrupted into 12 (SLIP) or 11 (COBS) bytes of trash.
INSTANTIATE_TEST_SUITE_P(
    Samples, FramingSampleTest,
    ::testing::Values(
        SampleCase{ZDemoFraming::Lines, 100, 100, 100, 0, {88, 12, 10}, Json()},
        SampleCase{ZDemoFraming::Slip, 200, 199, 0, 12, {174, 25, 4}, {{"good", 197}, {"bad", 2}}},
        SampleCase{ZDemoFraming::Cobs, 200, 199, 0, 11, {174, 25, 4}, {{"good", 197}, {"bad", 2}}}),
    [](const auto& param) { return std::string(kDemoFramings[static_cast<int>(param.param.framing)].Name); });

TEST(FramingExportTest, DecodedFramesCarryTheirLengthOnTheLine) {
    ScratchDir dir;
    WriteFile(dir / "s.scs", kDefaultPortSection + "[_logger_settings]\r\nCaptureMode=7\r\n");
    // A frame, a corrupt one, and two that decode to nothing and give no block: their
    // bytes are on the line all the same.
    WriteBytes(dir / "in.bin", {0x03, 0x11, 0x22, 0x02, 0x33, 0x00, 0x05, 0x44, 0x00, 0x01, 0x00, 0x00});
    const CliResult result =
        RunCli({"replay", "--settings", dir / "s.scs", "--input", dir / "in.bin", "--out", dir / "logs",
                "--chunk", "4", "--json", "--frames", dir / "f.jsonl"});
    ASSERT_EQ(result.Code, 0) << result.Err;
    EXPECT_EQ(Json::parse(result.Out)["total_bytes"], 12);
    std::ifstream frames(dir / "f.jsonl");
    std::vector<std::string> lines;
    for (std::string line; std::getline(frames, line);) lines.push_back(line.substr(line.find("\"kind\"")));
    const std::vector<std::string> expected = {
        R"("kind": "data", "length": 4, "encoded_length": 6, "hex": "11220033", "checksum": null, "data_triggers": []})",
        R"("kind": "trash", "length": 3, "hex": "054400", "checksum": null, "data_triggers": []})",
    };
    EXPECT_EQ(lines, expected);
}

}  // namespace
}  // namespace clitest
