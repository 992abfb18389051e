// Sequences the user sends: how the entry texts read, what is appended to them, and
// the "_send" settings section.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ZChecksum.h"
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
// expected checksums come from the Modbus and CRC catalogues, not from ZChecksum.
struct BuildCase {
    const char* name;
    Bytes data;
    int32_t checksum;
    int lsbFirst;  // -1: the algorithm's default order
    int32_t lineEnd;
    Bytes sent;
};

class SendBuildTest : public ::testing::TestWithParam<BuildCase> {};

TEST_P(SendBuildTest, AppendsChecksumThenLineEnd) {
    const BuildCase& c = GetParam();
    ZSendSequence sequence;
    sequence.Data = c.data;
    sequence.Checksum = c.checksum;
    sequence.ChecksumLSBFirst = c.lsbFirst < 0 ? ZSendSequence::DefaultLSBFirst(c.checksum) : c.lsbFirst != 0;
    sequence.LineEnd = c.lineEnd;
    EXPECT_EQ(sequence.BuildBytes(), c.sent);
}

const Bytes k123456789{'1', '2', '3', '4', '5', '6', '7', '8', '9'};

Bytes With(Bytes bytes, const Bytes& tail) {
    bytes.insert(bytes.end(), tail.begin(), tail.end());
    return bytes;
}

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
        BuildCase{"UnknownAlgorithmAppendsNothing", {0x01}, 42, -1, leNone, {0x01}}),
    CaseName<BuildCase>);

// The "_send" section: the exact text written, and what reads back.
struct IniCase {
    const char* name;
    std::vector<ZSendSequence> items;
    std::string text;
};

class SendIniTest : public ::testing::TestWithParam<IniCase> {};

TEST_P(SendIniTest, WritesExactlyAndReadsBack) {
    const IniCase& c = GetParam();
    ZSendList list;
    list.Items = c.items;
    ZULIniFile ini;
    list.WriteToIni(ini);
    EXPECT_EQ(ini.ToText(), c.text);
    ZSendList back;
    back.Items.resize(3);
    back.ReadFromIni(ini);
    EXPECT_EQ(back, list);
}

INSTANTIATE_TEST_SUITE_P(
    Lists, SendIniTest,
    ::testing::Values(
        IniCase{"EmptyWritesNothing", {}, ""},
        IniCase{"TwoSequences",
                {{"Read 3", {0x11, 0x03, 0x00, 0x6B, 0x00, 0x03}, caCrc16Modbus, true, leNone, 0},
                 {"Ping", {'A', 'T'}, caNone, false, leCRLF, 1000}},
                "[_send]\r\nCount=2\r\nName_0=Read 3\r\nData_0=11 03 00 6B 00 03\r\nChecksum_0=5\r\n"
                "ChecksumLSBFirst_0=1\r\nLineEnd_0=0\r\nEvery_0=0\r\nName_1=Ping\r\nData_1=41 54\r\n"
                "Checksum_1=0\r\nChecksumLSBFirst_1=0\r\nLineEnd_1=3\r\nEvery_1=1000\r\n"}),
    CaseName<IniCase>);

}  // namespace
