// kestrun-cli settings: a settings file as a freshly constructed engine holds it.

#include <nlohmann/json.hpp>

#include "CliTestSupport.h"

namespace clitest {
namespace {

using Json = nlohmann::ordered_json;

// COM98 (present: the test environment's link) at 115200 baud, even parity, two
// stop bits, receive buffer 1000 with the XOff limit 1600 (which the port lowers to
// fit), RTS/CTS, RTS and DTR on, receive time-out 250 ms; a typed rate and a network
// port beside.
const std::string kKnownPortText =
    "RRS0098144220000204800001000100110170190000160000000400063026013000000000002500000000000100";

const std::string kKnownFile =
    "[_serial_capture]\r\n_settings=" + kKnownPortText +
    "\r\nCustomBaudrate=250000\r\nNetworkPort=rfc2217://bench7:3001\r\n"
    "[_logger_settings]\r\n"
    "LogDir=/data/logs/\r\n"
    "TriggerStartSize=3\r\nTriggerStart_0=126\r\nTriggerStart_1=256\r\nTriggerStart_2=-62\r\n"
    "TriggerStopSize=2\r\nTriggerStop_0=13\r\nTriggerStop_1=10\r\n"
    "CaptureMode=3\r\nAddTimeStamp=0\r\nMaxBytesInLogLine=16\r\nMaxLinesInLogFile=900\r\n"
    "ShowHexOutput=1\r\nShowASCIIOutput=0\r\nSeparateHexAndASCII=1\r\nLogStartTrigger=0\r\n"
    "LogStopTrigger=1\r\nLogDataField=1\r\nLogAmountOfTrashedBytes=0\r\nMaxBytesWithinTriggers=4000\r\n"
    "BytesAfterTrigger=12\r\nStartAmountOfBytes=1\r\nAmountOfBytesWidth=2\r\nAmountOfBytesMSBFirst=0\r\n"
    "Reconnect=1\r\nRawRecording=1\r\n"
    "[_data_triggers]\r\n_trigger_0=0000004100000042\r\n_trigger_1=000001000000000A\r\n"
    "[_frames]\r\nChecksumAlgorithm=6\r\nChecksumSkipStart=2\r\nChecksumGap=1\r\nChecksumSkipEnd=3\r\n"
    "ChecksumMSBFirst=0\r\nDropBadFrames=1\r\nLengthAdjust=-4\r\nSilenceGapMs=20\r\nPcapProtocol=mbrtu\r\n"
    "[_send]\r\nCount=1\r\nName_0=Query\r\nData_0=11 03 00 00 00 "
    "04\r\nChecksum_0=5\r\nChecksumLSBFirst_0=1\r\n"
    "LineEnd_0=2\r\nEvery_0=100\r\nEncode_0=2\r\n";

class SettingsCommandTest : public ::testing::Test {
protected:
    std::string Write(const std::string& text) {
        const std::string path = dir_ / "known.scs";
        WriteFile(path, text);
        return path;
    }
    ScratchDir dir_;
};

TEST_F(SettingsCommandTest, JsonHoldsEveryFieldInOrder) {
    const CliResult result = RunCli({"settings", Write(kKnownFile), "--json"});
    ASSERT_EQ(result.Code, 0) << result.Err;
    const Json decoded = Json::parse(result.Out);

    const Json port = {{"valid", true},
                       {"COMPort", 98},
                       {"NetworkPort", "rfc2217://bench7:3001"},
                       {"Baudrate", 14},
                       {"CustomBaudrate", 250000},
                       {"DataBits", 4},
                       {"ParityBit", 2},
                       {"StopBits", 2},
                       {"BufSizeTrm", 2048},
                       {"BufSizeRec", 1000},
                       {"HandshakeRtsCts", true},
                       {"HandshakeDtrDsr", false},
                       {"HandshakeXOnXOff", false},
                       {"RTSActive", true},
                       {"DTRActive", true},
                       {"XOnChar", 17},
                       {"XOffChar", 19},
                       {"XOffLimit", 1000},
                       {"XOnLimit", 400},
                       {"ErrorChar", 63},
                       {"EofChar", 26},
                       {"EventChar", 13},
                       {"ContinueOnXOff", false},
                       {"UseErrorChar", false},
                       {"EliminateNullChar", false},
                       {"AbortOnError", false},
                       {"RecTimeOut", 250},
                       {"TrmTimeOut", 0}};
    const Json logger = {{"LogDir", "/data/logs/"},
                         {"TriggerStart", {126, 256, -62}},
                         {"TriggerStop", {13, 10}},
                         {"CaptureMode", 3},
                         {"AddTimeStamp", false},
                         {"MaxBytesInLogLine", 16},
                         {"MaxLinesInLogFile", 900},
                         {"ShowHexOutput", true},
                         {"ShowASCIIOutput", false},
                         {"SeparateHexAndASCII", true},
                         {"LogStartTrigger", false},
                         {"LogStopTrigger", true},
                         {"LogDataField", true},
                         {"LogAmountOfTrashedBytes", false},
                         {"MaxBytesWithinTriggers", 4000},
                         {"BytesAfterTrigger", 12},
                         {"StartAmountOfBytes", 1},
                         {"AmountOfBytesWidth", 2},
                         {"AmountOfBytesMSBFirst", false},
                         {"Reconnect", true},
                         {"RawRecording", true}};
    const Json frames = {{"ChecksumAlgorithm", 6}, {"ChecksumSkipStart", 2},     {"ChecksumGap", 1},
                         {"ChecksumSkipEnd", 3},   {"ChecksumMSBFirst", false},  {"DropBadFrames", true},
                         {"LengthAdjust", -4},     {"PreciseTime", false},       {"SilenceGap", 35},
                         {"SilenceGapMs", 20},     {"RawRecordingTimed", false}, {"PcapRecording", false},
                         {"PcapProtocol", "mbrtu"}};
    const Json send = Json::array({Json{{"Name", "Query"},
                                        {"Data", "11 03 00 00 00 04"},
                                        {"Checksum", 5},
                                        {"ChecksumLSBFirst", true},
                                        {"LineEnd", 2},
                                        {"Every", 100},
                                        {"Encode", 2}}});
    const Json expected = {{"port", port},
                           {"logger", logger},
                           {"data_triggers", {{65, 66}, {256, 10}}},
                           {"frames", frames},
                           {"send", send}};
    // ordered_json compares objects in key order, so this checks the order too.
    EXPECT_EQ(decoded, expected) << decoded.dump(1);
}

TEST_F(SettingsCommandTest, RejectedPortTextKeepsThePortDefaults) {
    std::string text = kKnownFile;
    text.replace(text.find(kKnownPortText) + 88, 3, "101");  // wrong checksum
    const CliResult result = RunCli({"settings", Write(text), "--json"});
    ASSERT_EQ(result.Code, 0) << result.Err;
    const Json port = Json::parse(result.Out)["port"];
    EXPECT_EQ(port["valid"], false);
    EXPECT_EQ(port["Baudrate"], 8);
    EXPECT_EQ(port["ParityBit"], 0);
    EXPECT_EQ(port["BufSizeRec"], 2048);
    EXPECT_EQ(port["XOffLimit"], 1600);
}

TEST_F(SettingsCommandTest, MissingKeysKeepTheDefaults) {
    const CliResult result = RunCli(
        {"settings", Write(kDefaultPortSection + "[_logger_settings]\r\nCaptureMode=1\r\n"), "--json"});
    ASSERT_EQ(result.Code, 0) << result.Err;
    const Json decoded = Json::parse(result.Out);
    EXPECT_EQ(decoded["logger"]["LogDir"], TestHome() + "std_log_out/");
    EXPECT_EQ(decoded["logger"]["TriggerStart"], Json::array());
    EXPECT_EQ(decoded["logger"]["CaptureMode"], 1);
    EXPECT_EQ(decoded["logger"]["MaxBytesInLogLine"], 32);
    EXPECT_EQ(decoded["logger"]["MaxLinesInLogFile"], 500);
    EXPECT_EQ(decoded["logger"]["MaxBytesWithinTriggers"], -1);
    EXPECT_EQ(decoded["logger"]["AmountOfBytesWidth"], 1);
    EXPECT_EQ(decoded["data_triggers"], Json::array());
}

TEST_F(SettingsCommandTest, ListingShowsTheSameForPeople) {
    const CliResult result = RunCli({"settings", Write(kKnownFile)});
    ASSERT_EQ(result.Code, 0) << result.Err;
    for (const char* expected : {"  COM port:            98\n",
                                 "  Network port:        rfc2217://bench7:3001\n",
                                 "  Baud rate:           250000 (typed)\n",
                                 "  Parity:              even\n",
                                 "  Stop bits:           2\n",
                                 "  XOff / XOn limit:    1000 / 400\n",
                                 "  Capture mode:        3, Capture between start an stop triggers\n",
                                 "  Start trigger:       7E ?? C2  \"~..\"\n",
                                 "  Stop trigger:        0D 0A  \"..\"\n",
                                 "Data triggers: 2\n",
                                 "  0: 41 42  \"AB\"\n",
                                 "  1: ?? 0A  \"..\"\n",
                                 "  Reconnect:           yes\n",
                                 "  Raw recording:       yes\n",
                                 "Frames\n",
                                 "  Checksum:            6, CRC-16/CCITT-FALSE\n",
                                 "  Checksum skip start: 2\n",
                                 "  Checksum gap:        1\n",
                                 "  Checksum skip end:   3\n",
                                 "  Checksum MSB first:  no\n",
                                 "  Drop bad frames:     yes\n",
                                 "  Length adjust:       -4\n",
                                 "line end 2, encode cobs, every 100 ms\n"}) {
        EXPECT_NE(result.Out.find(expected), std::string::npos) << "missing: " << expected << result.Out;
    }
}

TEST_F(SettingsCommandTest, FilesThatCannotBeLoadedExitWithTwo) {
    const CliResult missing = RunCli({"settings", dir_ / "absent.scs"});
    EXPECT_EQ(missing.Code, 2);
    EXPECT_EQ(missing.Err, "File not found: \"" + dir_ / "absent.scs" + "\"\n");

    const CliResult noPort = RunCli({"settings", Write("[_logger_settings]\r\nCaptureMode=1\r\n")});
    EXPECT_EQ(noPort.Code, 2);
    EXPECT_EQ(noPort.Err, "The settings for the COM port could not be read from file \"known.scs\"\n");
    EXPECT_EQ(noPort.Out, "");
}

}  // namespace
}  // namespace clitest
