// kestrun-cli settings: a settings file as a freshly constructed engine holds it, in
// JSON and as a listing for people.

#include <nlohmann/json.hpp>

#include "CliTestSupport.h"

namespace clitest {
namespace {

using Json = nlohmann::ordered_json;

// COM98 (present: the test environment's link) at 115200 baud, even parity, two
// stop bits, receive buffer 1000 with the XOff limit 1600 (which the port lowers to
// fit), RTS/CTS, RTS and DTR on, receive time-out 250 ms.
const std::string kKnownPortText =
    "RRS0098144220000204800001000100110170190000160000000400063026013000000000002500000000000100";
const std::string kKnownPort = "[_serial_capture]\r\n_settings=" + kKnownPortText + "\r\n";

class SettingsCommandTest : public ::testing::Test {
protected:
    std::string Write(const std::string& text) {
        const std::string path = dir_ / "known.scs";
        WriteFile(path, text);
        return path;
    }
    ScratchDir dir_;
};

// What a file sets, `settings --json` shows where the pointer says, and the listing in
// the lines given; text from the file never reaches the terminal as control characters.
struct ShownCase {
    const char* name;
    std::string file;
    std::vector<std::pair<std::string, Json>> json;  // JSON pointer and value
    std::vector<std::string> listing;                // lines the listing holds; <home>: the test home
};

class SettingsShownTest : public SettingsCommandTest, public ::testing::WithParamInterface<ShownCase> {};

TEST_P(SettingsShownTest, JsonAndListingShowWhatTheFileSets) {
    const ShownCase& c = GetParam();
    const std::string path = Write(c.file);
    const CliResult json = RunCli({"settings", path, "--json"});
    ASSERT_EQ(json.Code, 0) << json.Err;
    const Json decoded = Json::parse(json.Out);
    for (const auto& [pointer, value] : c.json) {
        EXPECT_EQ(decoded.at(Json::json_pointer(pointer)), value) << pointer;
    }
    const CliResult listed = RunCli({"settings", path});
    ASSERT_EQ(listed.Code, 0) << listed.Err;
    for (std::string line : c.listing) {
        if (const size_t home = line.find("<home>"); home != std::string::npos) line.replace(home, 6, TestHome());
        EXPECT_NE(listed.Out.find(line), std::string::npos) << "missing: " << line << listed.Out;
    }
    for (const char control : {'\x07', '\x1B', '\x9B'}) {
        EXPECT_EQ(listed.Out.find(control), std::string::npos) << "a control character reached the terminal";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Files, SettingsShownTest,
    ::testing::Values(
        // A port text whose checksum is wrong leaves the port at its defaults.
        ShownCase{"RejectedPortTextKeepsThePortDefaults",
                  "[_serial_capture]\r\n_settings=" + kKnownPortText.substr(0, 88) + "101" +
                      kKnownPortText.substr(91) + "\r\n",
                  {{"/port/valid", false},
                   {"/port/Baudrate", 8},
                   {"/port/ParityBit", 0},
                   {"/port/BufSizeRec", 2048},
                   {"/port/XOffLimit", 1600}},
                  {}},
        ShownCase{"MissingKeysKeepTheDefaults",
                  kDefaultPortSection + "[_logger_settings]\r\nCaptureMode=1\r\n",
                  {{"/logger/TriggerStart", Json::array()},
                   {"/logger/CaptureMode", 1},
                   {"/logger/MaxBytesInLogLine", 32},
                   {"/logger/MaxLinesInLogFile", 500},
                   {"/logger/MaxBytesWithinTriggers", -1},
                   {"/logger/AmountOfBytesWidth", 1},
                   {"/data_triggers", Json::array()}},
                  {"  Log directory:       <home>std_log_out/\n"}},
        ShownCase{"PortLineAndHandshake",
                  kKnownPort + "CustomBaudrate=250000\r\nNetworkPort=rfc2217://bench7:3001\r\n",
                  {{"/port/valid", true},
                   {"/port/COMPort", 98},
                   {"/port/NetworkPort", "rfc2217://bench7:3001"},
                   {"/port/CustomBaudrate", 250000},
                   {"/port/DataBits", 4},
                   {"/port/ParityBit", 2},
                   {"/port/StopBits", 2},
                   {"/port/BufSizeRec", 1000},
                   {"/port/XOffLimit", 1000},
                   {"/port/HandshakeRtsCts", true},
                   {"/port/RecTimeOut", 250}},
                  {"  COM port:            98\n", "  Network port:        rfc2217://bench7:3001\n",
                   "  Baud rate:           250000 (typed)\n", "  Parity:              even\n",
                   "  Stop bits:           2\n", "  XOff / XOn limit:    1000 / 400\n"}},
        ShownCase{
            "TriggersAndMode",
            kKnownPort +
                "[_logger_settings]\r\nLogDir=/data/logs/\r\nTriggerStartSize=3\r\nTriggerStart_0=126\r\n"
                "TriggerStart_1=256\r\nTriggerStart_2=-62\r\nTriggerStopSize=2\r\nTriggerStop_0=13\r\n"
                "TriggerStop_1=10\r\nCaptureMode=3\r\nMaxBytesWithinTriggers=4000\r\nStartAmountOfBytes=1\r\n"
                "AmountOfBytesWidth=2\r\nAmountOfBytesMSBFirst=0\r\nReconnect=1\r\nRawRecording=1\r\n",
            {{"/logger/LogDir", "/data/logs/"},
             {"/logger/TriggerStart", {126, 256, -62}},
             {"/logger/TriggerStop", {13, 10}},
             {"/logger/CaptureMode", 3},
             {"/logger/MaxBytesWithinTriggers", 4000},
             {"/logger/AmountOfBytesMSBFirst", false},
             {"/logger/Reconnect", true}},
            {"  Capture mode:        3, Capture between start an stop triggers\n",
             "  Start trigger:       7E ?? C2  \"~..\"\n", "  Stop trigger:        0D 0A  \"..\"\n",
             "  Length field:        byte 1, 2 wide, LSB first\n", "  Reconnect:           yes\n",
             "  Raw recording:       yes\n"}},
        ShownCase{
            "DataTriggers",
            kKnownPort + "[_data_triggers]\r\n_trigger_0=0000004100000042\r\n_trigger_1=000001000000000A\r\n",
            {{"/data_triggers", {{65, 66}, {256, 10}}}},
            {"Data triggers: 2\n", "  0: 41 42  \"AB\"\n", "  1: ?? 0A  \"..\"\n"}},
        ShownCase{"FrameChecks",
                  kKnownPort +
                      "[_frames]\r\nChecksumAlgorithm=6\r\nChecksumSkipStart=2\r\nChecksumGap=1\r\n"
                      "ChecksumSkipEnd=3\r\nChecksumMSBFirst=0\r\nDropBadFrames=1\r\nLengthAdjust=-4\r\n"
                      "SilenceGapMs=20\r\nPcapProtocol=mbrtu\r\n",
                  {{"/frames/ChecksumAlgorithm", 6},
                   {"/frames/ChecksumSkipStart", 2},
                   {"/frames/ChecksumMSBFirst", false},
                   {"/frames/LengthAdjust", -4},
                   {"/frames/SilenceGap", 35},
                   {"/frames/SilenceGapMs", 20},
                   {"/frames/PcapProtocol", "mbrtu"}},
                  {"  Checksum:            6, CRC-16/CCITT-FALSE\n", "  Checksum skip start: 2\n",
                   "  Checksum gap:        1\n", "  Checksum skip end:   3\n", "  Checksum MSB first:  no\n",
                   "  Drop bad frames:     yes\n", "  Length adjust:       -4\n"}},
        ShownCase{
            "SendList",
            kKnownPort +
                "[_send]\r\nSendGapMs=20\r\nCount=2\r\nName_0=Query\r\nData_0=11 03 00 00 00 04\r\n"
                "Checksum_0=5\r\nChecksumLSBFirst_0=1\r\nLineEnd_0=2\r\nEvery_0=100\r\nEncode_0=2\r\n"
                "ChecksumSkip_0=1\r\n"
                "WaitAnswerMs_0=250\r\nName_1=Ping\r\nData_1=41\r\n",
            {{"/send/0/Name", "Query"},
             {"/send/0/Data", "11 03 00 00 00 04"},
             {"/send/0/ChecksumLSBFirst", true},
             {"/send/0/Every", 100},
             {"/send/0/Encode", 2},
             {"/send/0/ChecksumSkip", 1},
             {"/send/0/WaitAnswerMs", 250},
             {"/send/1/ChecksumSkip", -1},
             {"/send_gap_ms", 20}},
            {"Send sequences: 2, gap between frames 20 ms\n",
             "  0: Query: 11 03 00 00 00 04, checksum 5, line end 2, encode cobs, every 100 ms, checksum skips 1, "
              "waits "
             "250 ms for an answer\n",
             "  1: Ping: 41, checksum 0, line end 0, encode none, every 0 ms\n"}},
        // A text field has no offset: the one in the file is not read.
        ShownCase{"Fields",
                  kKnownPort +
                      "[_fields]\r\nCount=2\r\nLogFields=0\r\nCsvRecording=1\r\n"
                      "Name_0=temperature\r\nType_0=i16\r\nOffset_0=-4\r\nMSBFirst_0=0\r\nBits_0=3,9\r\n"
                      "Scale_0=.1\r\nAdd_0=-273.15\r\nUnit_0=K\r\nMatch_0=0:24??47\r\n"
                      "Name_1=altitude\r\nType_1=text\r\nSeparator_1=space\r\nIndex_1=9\r\nPrefix_1=A=\r\n"
                      "Offset_1=7\r\n",
                  {{"/fields",
                    {{"LogFields", false},
                     {"CsvRecording", true},
                     {"Fields", Json::array({Json{{"Name", "temperature"},
                                                 {"Type", "i16"},
                                                 {"Offset", -4},
                                                 {"MSBFirst", false},
                                                 {"Bits", {3, 9}},
                                                 {"Scale", 0.1},
                                                 {"Add", -273.15},
                                                 {"Unit", "K"},
                                                 {"Match", "0:24 ?? 47"}},
                                            Json{{"Name", "altitude"},
                                                 {"Type", "text"},
                                                 {"Separator", " "},
                                                 {"Index", 9},
                                                 {"Prefix", "A="},
                                                 {"Scale", 1},
                                                 {"Add", 0},
                                                 {"Unit", ""},
                                                 {"Match", nullptr}}})}}}},
                  {"Fields: 2 (values in the log files: no, CSV file beside them: yes)\n",
                   "  0: temperature: i16 at offset -4, LSB first, bits 3,9, scale 0.1, add -273.15, unit K, "
                   "only where 0:24 ?? 47 matches\n",
                   "  1: altitude: text token 9 split at space after the prefix \"A=\", scale 1, add 0\n"}},
        // A name could retitle the terminal (ESC ] 0 ; ... BEL) or move its cursor (C1 CSI).
        ShownCase{"ControlCharactersAsTheirBytes",
                  kKnownPort + "[_frames]\r\nPcapProtocol=mb\x1b[2Jrtu\r\n"
                               "[_send]\r\nCount=2\r\nName_0=\x1b]0;pwned\x07 Gr\xC3\xBC\xC3\x9F"
                               "e\r\nData_0=01\r\nName_1=a\xC2\x9B"
                               "b\xFF\r\nData_1=02\r\n",
                  {{"/send/0/Name",
                    "\x1b]0;pwned\x07 Gr\xC3\xBC\xC3\x9F"
                    "e"},
                   {"/frames/PcapProtocol", "mb\x1b[2Jrtu"}},
                  {"  0: \\x1B]0;pwned\\x07 Gr\xC3\xBC\xC3\x9F"
                   "e: 01, ",
                   "  1: a\\xC2\\x9Bb\\xFF: 02, ", ", protocol mb\\x1B[2Jrtu\n"}}),
    [](const ::testing::TestParamInfo<ShownCase>& param) { return std::string(param.param.name); });

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
