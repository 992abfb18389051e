// kestrun-cli send and the Modbus demonstration device: the bytes a peer receives
// for each way of writing a sequence, and the answers the device gives, checked
// against a model written from the Modbus serial line rules.

#include <nlohmann/json.hpp>

#include "CliTestSupport.h"
#include "ZModbusDemoServer.h"
#include "ZULDataDir.h"

namespace clitest {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Text(const std::string& text) {
    return Bytes(text.begin(), text.end());
}

void DiscardPending(int fd) {
    uint8_t buffer[256];
    while (read(fd, buffer, sizeof buffer) > 0) {
    }
}

// One command line: what the peer receives, or the exit code and message.
struct SendCase {
    const char* name;
    std::vector<std::string> args;  // after "send --device <pty>" (or the command's)
    Bytes received;
    int code;
    std::string err;                              // a line stderr holds; empty: not checked
    std::vector<std::string> command = {"send"};  // the command and the options before the device
    std::string out = "";                         // a line stdout holds; empty: not checked
};

class SendCommandTest : public ::testing::TestWithParam<SendCase> {};

TEST_P(SendCommandTest, PeerReceivesWhatWasAsked) {
    const SendCase& c = GetParam();
    DiscardPending(TestPty().Master());
    std::vector<std::string> args = c.command;
    args.insert(args.end(), {"--device", TestPty().SlavePath()});
    args.insert(args.end(), c.args.begin(), c.args.end());
    const CliResult result = RunCli(args);
    EXPECT_EQ(result.Code, c.code) << result.Err;
    if (!c.err.empty()) {
        EXPECT_NE(result.Err.find(c.err), std::string::npos) << result.Err;
    }
    if (!c.out.empty()) {
        EXPECT_NE(result.Out.find(c.out), std::string::npos) << result.Out;
    }
    if (c.code == kCliExitOk) {
        EXPECT_EQ(ReadFromPeer(TestPty().Master(), c.received.size()),
                  std::string(c.received.begin(), c.received.end()));
    }
}

INSTANTIATE_TEST_SUITE_P(
    CommandLines, SendCommandTest,
    ::testing::Values(
        SendCase{
            "HexArgumentsJoined", {"01", "03 00", "6b0003"}, {0x01, 0x03, 0x00, 0x6B, 0x00, 0x03}, 0, ""},
        SendCase{"ModbusCrcByName",
                 {"--checksum", "crc-16/modbus", "11 03 00 6B 00 03"},
                 {0x11, 0x03, 0x00, 0x6B, 0x00, 0x03, 0x76, 0x87},
                 0,
                 "Sent 8 bytes to " + std::string("/dev/pts/")},
        SendCase{"ModbusCrcByNumberMsbFirst",
                 {"--checksum", "5", "--checksum-order", "msb", "11 03 00 6B 00 03"},
                 {0x11, 0x03, 0x00, 0x6B, 0x00, 0x03, 0x87, 0x76},
                 0,
                 ""},
        SendCase{"TextWithEscapesAndLineEnd",
                 {"--text", "--line-end", "crlf", "AT\\x21\\t"},
                 {'A', 'T', '!', 9, 13, 10},
                 0,
                 ""},
        SendCase{"TextArgumentsJoinedByBlank",
                 {"--text", "--checksum", "XOR-8", "--line-end", "lf", "a", "b"},
                 {'a', ' ', 'b', 'a' ^ ' ' ^ 'b', 10},
                 0,
                 ""},
        SendCase{"CobsFrameAfterItsCrc",
                 {"--checksum", "crc-16/modbus", "--encode", "cobs", "11 03 00 6B 00 03"},
                 {0x03, 0x11, 0x03, 0x02, 0x6B, 0x04, 0x03, 0x76, 0x87, 0x00},
                 0,
                 "Sent 10 bytes to "},
        SendCase{"SlipFrameOfText",
                 {"--text", "--encode", "slip", "a\\xC0"},
                 {0xC0, 'a', 0xDB, 0xDC, 0xC0},
                 0,
                 ""},
        SendCase{"EncodedFrameTakesNoLineEnd", {"--encode", "slip", "--line-end", "cr", "01"}, {}, 2, ""},
        SendCase{"OddHex", {"0 1 2"}, {}, 2, "Odd number of HEX digits (3): every byte takes two."},
        SendCase{"BadEscape",
                 {"--text", "\\e"},
                 {},
                 2,
                 "Unknown escape \"\\e\" at position 1: use \\r, \\n, \\t, \\\\ or \\xNN."},
        SendCase{"UnknownChecksum", {"--checksum", "CRC-99", "01"}, {}, 2, ""},
        // NMEA's checksum leaves out the '$' and the '*'; a skip asked for covers more or less.
        SendCase{
            "NmeaChecksum",
            {"--text", "--checksum", "10", "--line-end", "crlf", "$GPGLL,4916.45,N,12311.12,W,225444,A*"},
            Text("$GPGLL,4916.45,N,12311.12,W,225444,A*31\r\n"),
            0,
            ""},
        SendCase{"ChecksumSkipAsked",
                 {"--checksum", "XOR-8", "--checksum-skip", "1", "10 01 02"},
                 {0x10, 1, 2, 3},
                 0,
                 ""},
        SendCase{"ListeningHearsNothing", {"--listen", "0.3", "01 02"}, {}, 1, "No answer within 0.3 s"},
        // A capture takes the bytes to send as several arguments, as send does.
        SendCase{"CaptureSendsSeveralArguments",
                 {"--duration", "0.5", "--send", "11", "03", "00", "00", "00", "04"},
                 {0x11, 0x03, 0x00, 0x00, 0x00, 0x04},
                 0,
                 "",
                 {"capture", "--settings", ZULGetSamplesDir() + "demo_dynamic.scs"},
                 "Bytes sent:      6 (1 sends, skipped: 0)\n"}),
    [](const ::testing::TestParamInfo<SendCase>& param) { return std::string(param.param.name); });

// An independent CRC-16/MODBUS: bit by bit, as the serial line rules describe it.
uint16_t ModelCrc(const Bytes& bytes) {
    uint16_t crc = 0xFFFF;
    for (uint8_t byte : bytes) {
        crc ^= byte;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? static_cast<uint16_t>((crc >> 1) ^ 0xA001) : crc >> 1;
    }
    return crc;
}

Bytes Framed(Bytes bytes) {
    const uint16_t crc = ModelCrc(bytes);
    bytes.push_back(static_cast<uint8_t>(crc));
    bytes.push_back(static_cast<uint8_t>(crc >> 8));
    return bytes;
}

// Requests in order, each with the answer the model expects (empty: silence).
struct ModbusCase {
    const char* name;
    std::vector<std::pair<Bytes, Bytes>> exchanges;
};

class ModbusServerTest : public ::testing::TestWithParam<ModbusCase> {};

TEST_P(ModbusServerTest, AnswersAsTheModel) {
    ZModbusDemoServer server;
    for (const auto& [request, answer] : GetParam().exchanges) {
        // The request arrives in pieces and is taken whole, before or at the silence.
        Bytes received(request.begin(), request.begin() + 1);
        Bytes frame;
        EXPECT_FALSE(ZModbusDemoServer::TakeFrame(received, false, frame));
        received.assign(request.begin(), request.end());
        ASSERT_TRUE(ZModbusDemoServer::TakeFrame(received, true, frame));
        EXPECT_TRUE(received.empty());
        EXPECT_EQ(server.Answer(frame), answer);
    }
}

Bytes Read(int address, int quantity) {
    return Framed({17, 3, static_cast<uint8_t>(address >> 8), static_cast<uint8_t>(address),
                   static_cast<uint8_t>(quantity >> 8), static_cast<uint8_t>(quantity)});
}

Bytes Exception(uint8_t function, uint8_t code) {
    return Framed({17, static_cast<uint8_t>(function | 0x80), code});
}

Bytes WrongCrc(Bytes bytes) {
    bytes.back() ^= 0x01;
    return bytes;
}

INSTANTIATE_TEST_SUITE_P(
    Requests, ModbusServerTest,
    ::testing::Values(ModbusCase{"ReadFirstFour", {{Read(0, 4), Framed({17, 3, 8, 0, 0, 1, 1, 2, 2, 3, 3})}}},
                      ModbusCase{"ReadLastTwo", {{Read(98, 2), Framed({17, 3, 4, 0x62, 0x62, 0x63, 0x63})}}},
                      ModbusCase{"ReadPastTheEnd", {{Read(99, 2), Exception(3, 2)}}},
                      ModbusCase{"ReadNothing", {{Read(0, 0), Exception(3, 3)}}},
                      ModbusCase{"ReadTooMany", {{Read(0, 126), Exception(3, 3)}}},
                      // 125 registers is a quantity the rules allow; these are past the end.
                      ModbusCase{"ReadTheMostPastTheEnd", {{Read(0, 125), Exception(3, 2)}}},
                      ModbusCase{"WriteThenRead",
                                 {{Framed({17, 6, 0, 5, 0x12, 0x34}), Framed({17, 6, 0, 5, 0x12, 0x34})},
                                  {Read(4, 2), Framed({17, 3, 4, 4, 4, 0x12, 0x34})}}},
                      ModbusCase{"WriteOutside", {{Framed({17, 6, 0, 100, 0, 1}), Exception(6, 2)}}},
                      ModbusCase{"OtherFunction",
                                 {{Framed({17, 4, 0, 0, 0, 1}), Exception(4, 1)},
                                  {Framed({17, 7}), Exception(7, 1)}}},
                      ModbusCase{"OtherUnitIsSilence", {{Framed({1, 3, 0, 0, 0, 1}), {}}}},
                      ModbusCase{"WrongCrcIsSilence",
                                 {{WrongCrc(Read(0, 1)), {}}, {WrongCrc(Framed({17, 4, 0, 0, 0, 1})), {}}}}),
    [](const ::testing::TestParamInfo<ModbusCase>& param) { return std::string(param.param.name); });

// The demonstration end to end: the simulator answers a query that send appends the
// CRC to, and the sample settings frame every answer (a read, a write's echo, an
// exception) by the silence after it and find its CRC good.
TEST(ModbusDemoTest, SampleFramesEveryAnswer) {
    const struct {
        const char* Query;
        int AnswerBytes;
    } rows[] = {{"11 03 00 00 00 04", 13}, {"11 06 00 05 12 34", 8}, {"11 04 00 00 00 01", 5}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.Query);
        ScratchDir dir;
        const std::string link = TestHome() + "ports/com99";
        std::error_code error;
        const auto before = std::filesystem::read_symlink(link, error);
        std::atomic<bool> stop{false};
        CliResult simulated;
        std::thread simulator([&] {
            simulated = RunCli({"simulate", "--port", "99", "--mode", "modbus"}, &stop);
        });
        // A link of an earlier run may still be there: the simulator's own is awaited.
        for (int i = 0; i < 2000; ++i) {
            const auto now = std::filesystem::read_symlink(link, error);
            if (!error && now != before) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        const CliResult sent = RunCli({"send", "--settings", ZULGetSamplesDir() + "demo_modbus.scs", "--port",
                                       "99", "--checksum", "CRC-16/MODBUS", "--listen", "2", "--out",
                                       dir / "logs", "--json", row.Query});
        stop = true;
        simulator.join();
        ASSERT_EQ(sent.Code, kCliExitOk) << sent.Err << simulated.Err;
        const nlohmann::json json = nlohmann::json::parse(sent.Out);
        EXPECT_EQ(json["bytes_sent"], 8);
        EXPECT_EQ(json["start_triggers"], 0);
        EXPECT_EQ(json["data_packets"], 1);
        EXPECT_EQ(json["data_packet_bytes"], row.AnswerBytes);
        EXPECT_EQ(json["trashed_bytes"], 0);
        EXPECT_EQ(json["checksum"]["good"], 1);
        EXPECT_EQ(json["checksum"]["bad"], 0);
    }
}

}  // namespace
}  // namespace clitest
