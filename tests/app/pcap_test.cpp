// Frames as Wireshark packets: replays and captures with --pcap (or PcapRecording), read
// back with tshark.

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <thread>

#include "CliTestSupport.h"
#include "TsharkSupport.h"

namespace clitest {
namespace {

constexpr const char* kInbound = "0x00000001";
constexpr const char* kInboundCrcError = "0x01000001";

struct ExpectedPacket {
    const char* Hex;
    const char* Flags;
    const char* Comment;
};

struct PcapCase {
    const char* Name;
    const char* Settings;  // the [_logger_settings] and [_frames] sections
    const char* InputHex;
    const char* Chunk;
    const char* Protocol;
    std::vector<ExpectedPacket> Packets;
    // The unit and function of the packets that are whole Modbus RTU queries.
    const char* ModbusUnit;
    const char* ModbusFunction;
    bool WarnsOfProtocol;
    // The packets' bytes joined, when they are not the input (decoded frames).
    const char* JoinedHex = nullptr;
};

void PrintTo(const PcapCase& c, std::ostream* out) {
    *out << c.Name;
}

std::string BytesOfHex(const std::string& hex) {
    std::string bytes;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    return bytes;
}

size_t CountOf(const std::string& text, const std::string& part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
    return count;
}

// Queries "read 3 holding registers from 0x006B" of unit 17: right (CRC 76 87) and with a
// broken CRC, behind two bytes of noise, and a query cut short at the end.
const PcapCase kCases[] = {
    {"ModbusQueriesWithCrc",
     "[_logger_settings]\nTriggerStartSize=2\nTriggerStart_0=17\nTriggerStart_1=3\nCaptureMode=1\n"
     "BytesAfterTrigger=6\nMaxBytesWithinTriggers=-1\n"
     "[_frames]\nChecksumAlgorithm=5\nChecksumMSBFirst=0\nPcapProtocol=mbrtu\n",
     "aabb1103006b000376871103006b000376781103006b00037687110300",
     "5",
     "mbrtu",
     {{"aabb", kInbound, "trash"},
      {"1103006b00037687", kInbound, ""},
      {"1103006b00037678", kInboundCrcError, "checksum wrong"},
      {"1103006b00037687", kInbound, ""},
      {"110300", kInbound, "flush"}},
     "17",
     "3",
     false},
    {"BetweenTriggersAcrossReads",
     "[_logger_settings]\nTriggerStartSize=1\nTriggerStart_0=60\nTriggerStopSize=1\nTriggerStop_0=62\n"
     "CaptureMode=3\nMaxBytesWithinTriggers=-1\n",
     "78783c61623e793c3e7a3c63",
     "3",
     "data",
     {{"7878", kInbound, "trash"},
      {"3c61623e", kInbound, ""},
      {"79", kInbound, "trash"},
      {"3c3e", kInbound, ""},
      {"7a", kInbound, "trash"},
      {"3c63", kInbound, "flush"}},
     "",
     "",
     false},
    // A line and its stop trigger are one packet; an empty line too.
    {"LinesEndedByTheStopTrigger",
     "[_logger_settings]\nTriggerStopSize=2\nTriggerStop_0=13\nTriggerStop_1=10\nCaptureMode=5\n",
     "61620d0a0d0a6364",
     "3",
     "data",
     {{"61620d0a", kInbound, ""}, {"0d0a", kInbound, ""}, {"6364", kInbound, "flush"}},
     "",
     "",
     false},
    // The same queries as COBS frames: the dissector sees them decoded. Then a frame that
    // cannot be decoded, and the start of one more.
    {"CobsFramesDecoded",
     "[_logger_settings]\nCaptureMode=7\n[_frames]\nChecksumAlgorithm=5\nChecksumMSBFirst=0\n"
     "PcapProtocol=mbrtu\n",
     "031103026b0403768700031103026b04037678000511000311",
     "4",
     "mbrtu",
     {{"1103006b00037687", kInbound, ""},
      {"1103006b00037678", kInboundCrcError, "checksum wrong"},
      {"051100", kInbound, "trash"},
      {"0311", kInbound, "flush"}},
     "17",
     "3",
     false,
     "1103006b000376871103006b000376780511000311"},
    {"AllBytesOnePacketPerRead",
     "[_logger_settings]\nCaptureMode=0\n",
     "0102030405060708090a",
     "4",
     "data",
     {{"01020304", kInbound, ""}, {"05060708", kInbound, ""}, {"090a", kInbound, ""}},
     "",
     "",
     false},
    {"ProtocolWiresharkDoesNotKnow",
     "[_logger_settings]\nCaptureMode=0\n[_frames]\nPcapProtocol=nmea0183\n",
     "244750",
     "500",
     "nmea0183",
     {{"244750", kInbound, ""}},
     "",
     "",
     true},
};

class PcapReplayTest : public ::testing::TestWithParam<PcapCase> {};

TEST_P(PcapReplayTest, TsharkReadsEveryFrameAsOnePacket) {
    const PcapCase& c = GetParam();
    ScratchDir dir;
    WriteFile(dir / "s.scs", kDefaultPortSection + c.Settings);
    WriteFile(dir / "in.bin", BytesOfHex(c.InputHex));
    const CliResult result = RunCli({"replay", "--settings", dir / "s.scs", "--input", dir / "in.bin",
                                     "--out", dir / "logs", "--chunk", c.Chunk, "--pcap", dir / "f.pcapng"});
    ASSERT_EQ(result.Code, 0) << result.Err;
    EXPECT_EQ(CountOf(result.Err, "Warning: Wireshark does not know the protocol"),
              c.WarnsOfProtocol ? 1u : 0u)
        << result.Err;

    const std::vector<TsharkPacket> packets = ReadPackets(dir / "f.pcapng");
    ASSERT_EQ(packets.size(), c.Packets.size());
    std::string joined;
    for (size_t i = 0; i < packets.size(); ++i) {
        SCOPED_TRACE("packet " + std::to_string(i + 1));
        EXPECT_EQ(packets[i].Hex, c.Packets[i].Hex);
        EXPECT_EQ(packets[i].Flags, c.Packets[i].Flags);
        EXPECT_EQ(packets[i].Comment, c.Packets[i].Comment);
        EXPECT_EQ(packets[i].Protocol, c.Protocol);
        // Wireshark decodes a query with a wrong CRC too; trash and a cut query stay undecoded.
        const std::string comment = c.Packets[i].Comment;
        const bool modbusQuery = *c.ModbusUnit != '\0' && comment != "trash" && comment != "flush";
        EXPECT_EQ(packets[i].Unit, modbusQuery ? c.ModbusUnit : "");
        EXPECT_EQ(packets[i].Function, modbusQuery ? c.ModbusFunction : "");
        joined += packets[i].Hex;
    }
    EXPECT_EQ(joined, c.JoinedHex != nullptr ? c.JoinedHex : c.InputHex) << "every byte once, in order";
}

INSTANTIATE_TEST_SUITE_P(Cases, PcapReplayTest, ::testing::ValuesIn(kCases),
                         [](const auto& param) { return std::string(param.param.Name); });

// The Wireshark captures in a folder that may not exist yet.
std::vector<std::filesystem::path> PcapFilesIn(const std::string& folder) {
    std::vector<std::filesystem::path> found;
    std::error_code error;
    for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end;
         it.increment(error)) {
        if (it->path().extension() == ".pcapng") found.push_back(it->path());
    }
    return found;
}

// The setting, as the window program uses it: the capture goes beside the log files,
// named after the first one, and tshark reads it while the capture still runs.
TEST(PcapRecordingTest, TheCaptureIsReadableWhileItRunsAndNamedAfterTheFirstLogFile) {
    ScratchDir dir;
    WriteFile(dir / "s.scs", kDefaultPortSection + kCases[0].Settings + "PcapRecording=1\n");
    // The queries without the noise in front, which two reads might cut in two.
    const std::string input = BytesOfHex(std::string(kCases[0].InputHex).substr(4));
    std::atomic<bool> stop{false};
    std::atomic<bool> started{false};
    CliResult result;
    std::thread capture([&] {
        result = RunCli({"capture", "--settings", dir / "s.scs", "--device", TestPty().SlavePath(), "--out",
                         dir / "logs"},
                        &stop, [&] {
                            EXPECT_EQ(write(TestPty().Master(), input.data(), input.size()),
                                      static_cast<ssize_t>(input.size()));
                            started = true;
                        });
    });
    // The three whole queries are packets before the capture ends; the cut one waits for it.
    size_t seen = 0;
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (seen < 3 && std::chrono::steady_clock::now() < limit) {
        // The file is renamed once the first log file is written: a read may miss it.
        for (const auto& path : PcapFilesIn(dir / "logs"))
            seen = std::max(seen, ReadPackets(path, false).size());
        if (seen < 3) std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    stop = true;
    capture.join();
    ASSERT_TRUE(started);
    ASSERT_EQ(result.Code, 0) << result.Err;
    EXPECT_EQ(seen, 3u) << "the running capture's file never showed its frames";

    std::vector<std::string> logs;
    for (const auto& entry : std::filesystem::directory_iterator(dir / "logs")) {
        if (entry.path().extension() == ".txt") logs.push_back(entry.path().filename());
    }
    const std::vector<std::filesystem::path> pcaps = PcapFilesIn(dir / "logs");
    ASSERT_EQ(logs.size(), 1u);
    ASSERT_EQ(pcaps.size(), 1u);
    EXPECT_EQ(pcaps[0].filename(), logs[0] + ".pcapng");
    EXPECT_EQ(ReadPackets(pcaps[0]).size(), 4u);
}

}  // namespace
}  // namespace clitest
