// Sequences the user sends: how the entry texts read, what is appended to them, and
// the "_send" settings section.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../common/TestFiles.h"
#include "ZChecksum.h"
#include "ZFrameCheck.h"
#include "ZSendSequence.h"
#include "ZULIniFile.h"

namespace {

using Bytes = std::vector<uint8_t>;

template <typename Case>
std::string CaseName(const ::testing::TestParamInfo<Case>& param) {
    return param.param.name;
}

// One entry text, read as HEX or as text with escapes: the bytes, or the message.
struct ParseCase {
    const char* name;
    bool hex;
    std::string text;
    Bytes bytes;        // when error is empty
    std::string error;  // the message the user reads
};

class SendParseTest : public ::testing::TestWithParam<ParseCase> {};

TEST_P(SendParseTest, ReadsBytesOrSaysWhy) {
    const ParseCase& c = GetParam();
    Bytes bytes{0xEE};
    std::string error;
    const bool ok = c.hex ? ParseSendHex(c.text, bytes, error) : ParseSendText(c.text, bytes, error);
    EXPECT_EQ(ok, c.error.empty());
    EXPECT_EQ(error, c.error);
    if (!ok) return;
    EXPECT_EQ(bytes, c.bytes);
    // What the list shows as text reads back to the same bytes.
    if (!c.hex) {
        EXPECT_EQ(SendBytesToText(bytes), c.text);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Texts, SendParseTest,
    ::testing::Values(
        ParseCase{"HexQuery", true, "01 03 00 6B 00 03", {0x01, 0x03, 0x00, 0x6B, 0x00, 0x03}, ""},
        ParseCase{"HexBlanksAnywhere", true, " 0\t1 a  bC d ", {0x01, 0xAB, 0xCD}, ""},
        ParseCase{"HexEmpty", true, "  ", {}, ""},
        ParseCase{"HexThreeDigits", true, "0 1 2", {}, "Odd number of HEX digits (3): every byte takes two."},
        ParseCase{"HexBadDigit", true, "01 0G", {}, "\"G\" at position 5 is not a HEX digit (0-9, A-F)."},
        ParseCase{"HexControl", true, "01\n", {}, "\"0x0A\" at position 3 is not a HEX digit (0-9, A-F)."},
        ParseCase{
            "TextEscapes", false, "AT\\r\\n\\t\\\\\\x00\\xFF", {'A', 'T', 13, 10, 9, '\\', 0, 0xFF}, ""},
        ParseCase{"TextBadEscape",
                  false,
                  "ab\\q",
                  {},
                  "Unknown escape \"\\q\" at position 3: use \\r, \\n, \\t, \\\\ or \\xNN."},
        ParseCase{"TextShortHex",
                  false,
                  "\\x4",
                  {},
                  "The \"\\x\" at position 1 needs two HEX digits (\\x00 to \\xFF)."},
        ParseCase{"TextTrailingBackslash",
                  false,
                  "a\\",
                  {},
                  "The \"\\\" at position 2 ends the text: write \"\\\\\" for a backslash."}),
    CaseName<ParseCase>);

// The bytes that go out for a sequence: data, checksum in its order, line end. The
// expected checksums come from the Modbus and CRC catalogues and the NMEA and UBX
// examples, not from ZChecksum.
struct BuildCase {
    const char* name;
    Bytes data;
    int32_t checksum;
    int lsbFirst;  // -1: the algorithm's default order
    int32_t lineEnd;
    Bytes sent;
    int32_t skip = ZSendSequence::ProtocolSkip;
};

class SendBuildTest : public ::testing::TestWithParam<BuildCase> {};

TEST_P(SendBuildTest, AppendsChecksumThenLineEnd) {
    const BuildCase& c = GetParam();
    ZSendSequence sequence;
    sequence.Data = c.data;
    sequence.Checksum = c.checksum;
    sequence.ChecksumLSBFirst = c.lsbFirst < 0 ? ZSendSequence::DefaultLSBFirst(c.checksum) : c.lsbFirst != 0;
    sequence.LineEnd = c.lineEnd;
    sequence.ChecksumSkip = c.skip;
    EXPECT_EQ(sequence.BuildBytes(), c.sent);
}

const Bytes k123456789{'1', '2', '3', '4', '5', '6', '7', '8', '9'};

Bytes With(Bytes bytes, const Bytes& tail) {
    bytes.insert(bytes.end(), tail.begin(), tail.end());
    return bytes;
}

Bytes Text(const std::string& text) {
    return Bytes(text.begin(), text.end());
}

const Bytes kNmea = Text("$GPGLL,4916.45,N,12311.12,W,225444,A*");
const Bytes kUbx{0xB5, 0x62, 0x06, 0x00, 0x00, 0x00};

INSTANTIATE_TEST_SUITE_P(
    Sequences, SendBuildTest,
    ::testing::Values(
        BuildCase{"Plain", {0x41, 0x42}, caNone, -1, leNone, {0x41, 0x42}},
        BuildCase{"ModbusQueryLowByteFirst",
                  {0x11, 0x03, 0x00, 0x6B, 0x00, 0x03},
                  caCrc16Modbus,
                  -1,
                  leNone,
                  {0x11, 0x03, 0x00, 0x6B, 0x00, 0x03, 0x76, 0x87}},
        BuildCase{"ModbusReadTenRegisters",
                  {0x01, 0x03, 0x00, 0x00, 0x00, 0x0A},
                  caCrc16Modbus,
                  -1,
                  leNone,
                  {0x01, 0x03, 0x00, 0x00, 0x00, 0x0A, 0xC5, 0xCD}},
        BuildCase{"ModbusHighByteFirstWhenAsked",
                  {0x11, 0x03, 0x00, 0x6B, 0x00, 0x03},
                  caCrc16Modbus,
                  0,
                  leNone,
                  {0x11, 0x03, 0x00, 0x6B, 0x00, 0x03, 0x87, 0x76}},
        BuildCase{"CcittMostSignificantFirst", k123456789, caCrc16CcittFalse, -1, leNone,
                  With(k123456789, {0x29, 0xB1})},
        BuildCase{"CcittLowByteFirstWhenAsked", k123456789, caCrc16CcittFalse, 1, leNone,
                  With(k123456789, {0xB1, 0x29})},
        BuildCase{"Crc32", k123456789, caCrc32, -1, leNone, With(k123456789, {0xCB, 0xF4, 0x39, 0x26})},
        BuildCase{"Crc32LowFirst", k123456789, caCrc32, 1, leNone,
                  With(k123456789, {0x26, 0x39, 0xF4, 0xCB})},
        BuildCase{"Sum8", k123456789, caSum8, -1, leNone, With(k123456789, {0xDD})},
        BuildCase{"XorAsHexDigits", {'G', 'P'}, caXor8Hex, 1, leCRLF, {'G', 'P', '1', '7', 13, 10}},
        BuildCase{"LineEndNotCovered", {0x01}, caXor8, -1, leCR, {0x01, 0x01, 13}},
        BuildCase{"LineFeed", {'x'}, caNone, -1, leLF, {'x', 10}},
        BuildCase{"UnknownAlgorithmAppendsNothing", {0x01}, 42, -1, leNone, {0x01}},
        // NMEA's XOR leaves out the '$' and the '*'; UBX's sum the sync characters.
        BuildCase{"NmeaLeavesOutDollarAndStar", kNmea, caXor8Hex, -1, leCRLF, With(kNmea, Text("31\r\n"))},
        BuildCase{"NmeaWithoutDollar", Bytes(kNmea.begin() + 1, kNmea.end()), caXor8Hex, -1, leNone,
                  With(Bytes(kNmea.begin() + 1, kNmea.end()), Text("31"))},
        BuildCase{"UbxLeavesOutTheSync", kUbx, caFletcher8, -1, leNone, With(kUbx, {0x06, 0x18})},
        BuildCase{"SkipAsked", {0x10, 0x01, 0x02}, caXor8, -1, leNone, {0x10, 0x01, 0x02, 0x03}, 1},
        BuildCase{"SkipZeroCoversTheDollar", Text("$A*"), caXor8Hex, -1, leNone, Text("$A*65"), 0},
        BuildCase{"SkipPastTheEndCoversNothing", {0x01, 0x02}, caSum8, -1, leNone, {0x01, 0x02, 0x00}, 5}),
    CaseName<BuildCase>);

// What the send side appends, the frame check of a capture with the matching
// [_frames] settings counts good.
struct CheckedCase {
    const char* name;
    ZSendSequence sequence;
    ZFrameSettings frames;
};

class SendCheckedTest : public ::testing::TestWithParam<CheckedCase> {};

TEST_P(SendCheckedTest, TheFrameCheckCountsItGood) {
    const Bytes sent = GetParam().sequence.BuildBytes();
    const sFramePiece piece{sent.data(), static_cast<int>(sent.size())};
    EXPECT_EQ(ZFrameCheck::Check(GetParam().frames, &piece, 1), fvGood);
}

ZFrameSettings Frames(int32_t algorithm, int32_t skipStart, int32_t gap, int32_t skipEnd, bool msbFirst) {
    ZFrameSettings frames;
    frames.ChecksumAlgorithm = algorithm;
    frames.ChecksumSkipStart = skipStart;
    frames.ChecksumGap = gap;
    frames.ChecksumSkipEnd = skipEnd;
    frames.ChecksumMSBFirst = msbFirst;
    return frames;
}

INSTANTIATE_TEST_SUITE_P(
    Protocols, SendCheckedTest,
    ::testing::Values(
        CheckedCase{"Nmea", {"", kNmea, caXor8Hex, false, leCRLF}, Frames(caXor8Hex, 1, 1, 2, true)},
        CheckedCase{"Ubx", {"", kUbx, caFletcher8, false, leNone}, Frames(caFletcher8, 2, 0, 0, true)},
        CheckedCase{"ModbusRtu",
                    {"", {0x11, 0x03, 0x00, 0x6B, 0x00, 0x03}, caCrc16Modbus, true, leNone},
                    Frames(caCrc16Modbus, 0, 0, 0, false)}),
    CaseName<CheckedCase>);

// The "_send" section: what a file holds reads as the list, out-of-range values as
// their defaults; a list that is saved is written exactly as its row's text.
struct IniCase {
    const char* name;
    std::string text;
    ZSendList list;
    bool written;  // the list writes exactly this text
};

class SendIniTest : public ::testing::TestWithParam<IniCase> {};

TEST_P(SendIniTest, ReadsTheFileAndWritesItBack) {
    const IniCase& c = GetParam();
    ScratchDir dir;
    WriteBytes(dir.File("s.scs"), c.text);
    const ZULIniFile file(dir.File("s.scs"));
    ZSendList read;
    read.Items.resize(3);
    read.GapMs = 7;
    read.ReadFromIni(file);
    EXPECT_EQ(read, c.list);
    if (!c.written) return;
    ZULIniFile written;
    c.list.WriteToIni(written);
    EXPECT_EQ(written.ToText(), c.text);
}

ZSendList List(std::vector<ZSendSequence> items, int32_t gapMs = 0) {
    ZSendList list;
    list.Items = std::move(items);
    list.GapMs = gapMs;
    return list;
}

ZSendSequence Item(std::string name, Bytes data, int32_t checksum = caNone, int32_t every = 0,
                   int32_t skip = ZSendSequence::ProtocolSkip, int32_t waitMs = 0) {
    ZSendSequence item;
    item.Name = std::move(name);
    item.Data = std::move(data);
    item.Checksum = checksum;
    item.ChecksumLSBFirst = ZSendSequence::DefaultLSBFirst(checksum);
    item.Every = every;
    item.ChecksumSkip = skip;
    item.WaitAnswerMs = waitMs;
    return item;
}

std::string HexOf(size_t count) {
    std::string hex;
    for (size_t i = 0; i < count; ++i) hex += i == 0 ? "AB" : " AB";
    return hex;
}

INSTANTIATE_TEST_SUITE_P(
    Files, SendIniTest,
    ::testing::Values(
        IniCase{"EmptyWritesNothing", "", List({}), true},
        IniCase{"TwoSequences",
                "[_send]\r\nCount=2\r\nName_0=Read 3\r\nData_0=11 03 00 6B 00 03\r\nChecksum_0=5\r\n"
                "ChecksumLSBFirst_0=1\r\nLineEnd_0=0\r\nEvery_0=0\r\nName_1=Ping\r\nData_1=41 54\r\n"
                "Checksum_1=0\r\nChecksumLSBFirst_1=0\r\nLineEnd_1=3\r\nEvery_1=1000\r\n",
                List({{"Read 3", {0x11, 0x03, 0x00, 0x6B, 0x00, 0x03}, caCrc16Modbus, true, leNone, 0},
                      {"Ping", {'A', 'T'}, caNone, false, leCRLF, 1000}}),
                true},
        IniCase{
            "PacingKeys",
            "[_send]\r\nSendGapMs=20\r\nCount=1\r\nName_0=Q\r\nData_0=24\r\nChecksum_0=10\r\n"
            "ChecksumLSBFirst_0=0\r\nLineEnd_0=0\r\nEvery_0=0\r\nChecksumSkip_0=0\r\nWaitAnswerMs_0=500\r\n",
            List({Item("Q", {'$'}, caXor8Hex, 0, 0, 500)}, 20), true},
        IniCase{"AGapAloneIsKept", "[_send]\r\nSendGapMs=3\r\nCount=0\r\n", List({}, 3), true},
        IniCase{"ValuesOutOfRangeReadAsDefaults",
                "[_send]\r\nSendGapMs=60001\r\nCount=1\r\nData_0=01\r\nChecksum_0=11\r\nLineEnd_0=4\r\n"
                "Every_0=3600001\r\nChecksumSkip_0=-2\r\nWaitAnswerMs_0=60001\r\n",
                List({Item("", {0x01})}), false},
        IniCase{"HighestValuesStand",
                "[_send]\r\nSendGapMs=60000\r\nCount=1\r\nData_0=01\r\nEvery_0=3600000\r\n"
                "ChecksumSkip_0=65536\r\nWaitAnswerMs_0=60000\r\n",
                List({Item("", {0x01}, caNone, 3600000, 65536, 60000)}, 60000), false},
        IniCase{"ACountBeyondTheKeysGivesEmptySequences", "[_send]\r\nCount=2\r\nData_0=01\r\n",
                List({Item("", {0x01}), Item("", {})}), false},
        IniCase{"NoHexIsEmpty", "[_send]\r\nCount=1\r\nData_0=0x01\r\n", List({Item("", {})}), false},
        IniCase{"TheLongestDataStands", "[_send]\r\nCount=1\r\nData_0=" + HexOf(65536) + "\r\n",
                List({Item("", Bytes(65536, 0xAB))}), false},
        IniCase{"LongerDataIsEmpty", "[_send]\r\nCount=1\r\nData_0=" + HexOf(65537) + "\r\n",
                List({Item("", {})}), false}),
    CaseName<IniCase>);

}  // namespace
