// Frame checksums: the algorithms' check values, where a checksum sits in a frame,
// the "_frames" settings section, which block of a frame carries its verdict, and
// what reaches the log files.

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "ZChecksum.h"
#include "ZFilter.h"
#include "ZFrameCheck.h"
#include "ZFrameLogGate.h"
#include "ZLoggerSettings.h"
#include "ZULIniFile.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes BytesOf(const std::string& text) {
    return Bytes(text.begin(), text.end());
}

template <typename Case>
std::string CaseName(const ::testing::TestParamInfo<Case>& param) {
    return param.param.name;
}

// Each algorithm over "123456789": its catalogue check value and the field bytes that
// hold it, in frame order with the most significant byte first.
struct CheckValueCase {
    int32_t algorithm;
    uint32_t value;
    Bytes field;
};

class CheckValueTest : public ::testing::TestWithParam<CheckValueCase> {};

TEST_P(CheckValueTest, CatalogueCheckValueOf123456789) {
    const CheckValueCase& c = GetParam();
    const Bytes text = BytesOf("123456789");
    ZChecksum whole(c.algorithm);
    whole.Update(text.data(), text.size());
    EXPECT_EQ(whole.Value(), c.value);
    ASSERT_EQ(static_cast<size_t>(ZChecksum::FieldWidth(c.algorithm)), c.field.size());
    EXPECT_TRUE(whole.Matches(c.field.data(), true));
    // Fed in two parts it gives the same: frames arrive in pieces.
    ZChecksum parts(c.algorithm);
    parts.Update(text.data(), 4);
    parts.Update(text.data() + 4, 5);
    EXPECT_EQ(parts.Value(), c.value);
    // One bit off in the field is wrong.
    Bytes damaged = c.field;
    damaged.back() ^= 0x01;
    EXPECT_FALSE(whole.Matches(damaged.data(), true));
}

INSTANTIATE_TEST_SUITE_P(Algorithms, CheckValueTest,
                         ::testing::Values(CheckValueCase{caXor8, 0x31, {0x31}},
                                           CheckValueCase{caSum8, 0xDD, {0xDD}},
                                           CheckValueCase{caSum8TwosComplement, 0x23, {0x23}},
                                           CheckValueCase{caCrc8, 0xF4, {0xF4}},
                                           CheckValueCase{caCrc16Modbus, 0x4B37, {0x4B, 0x37}},
                                           CheckValueCase{caCrc16CcittFalse, 0x29B1, {0x29, 0xB1}},
                                           CheckValueCase{caCrc16Xmodem, 0x31C3, {0x31, 0xC3}},
                                           CheckValueCase{caCrc32, 0xCBF43926, {0xCB, 0xF4, 0x39, 0x26}},
                                           CheckValueCase{caFletcher8, 0xDD15, {0xDD, 0x15}},
                                           CheckValueCase{caXor8Hex, 0x31, {'3', '1'}}));

// A frame in pieces (start trigger, data, stop trigger) against the layout
// [skip start][covered][gap][checksum][skip end].
struct LayoutCase {
    const char* name;
    int32_t algorithm;
    int32_t skipStart, gap, skipEnd;
    bool msbFirst;
    std::vector<Bytes> pieces;
    TFrameVerdict expected;
};

class FrameLayoutTest : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(FrameLayoutTest, VerdictOfTheFrame) {
    const LayoutCase& c = GetParam();
    ZFrameSettings settings;
    settings.ChecksumAlgorithm = c.algorithm;
    settings.ChecksumSkipStart = c.skipStart;
    settings.ChecksumGap = c.gap;
    settings.ChecksumSkipEnd = c.skipEnd;
    settings.ChecksumMSBFirst = c.msbFirst;
    std::vector<sFramePiece> pieces;
    for (const Bytes& piece : c.pieces) pieces.push_back({piece.data(), static_cast<int>(piece.size())});
    EXPECT_EQ(ZFrameCheck::Check(settings, pieces.data(), static_cast<int>(pieces.size())), c.expected);
}

// XOR of "GPX" is 0x4F.
INSTANTIATE_TEST_SUITE_P(
    Layouts, FrameLayoutTest,
    ::testing::Values(
        LayoutCase{"LineFrameInThreePieces",
                   caXor8Hex,
                   1,
                   1,
                   2,
                   true,
                   {BytesOf("$"), BytesOf("GPX*4F"), BytesOf("\r\n")},
                   fvGood},
        LayoutCase{"LowerCaseDigits", caXor8Hex, 1, 1, 2, true, {BytesOf("$GPX*4f\r\n")}, fvGood},
        LayoutCase{"NoHexDigits", caXor8Hex, 1, 1, 2, true, {BytesOf("$GPX*4G\r\n")}, fvBad},
        LayoutCase{"GapBytesAreNotCovered", caXor8, 0, 2, 0, true, {{0x12, 0x34, 0xFF, 0xEE, 0x26}}, fvGood},
        LayoutCase{"SkippedEndIsNotCovered", caSum8, 0, 0, 1, true, {{0x01, 0x02, 0x03, 0x7F}}, fvGood},
        LayoutCase{"EmptyCoveredPart", caXor8, 1, 0, 0, true, {{0xAA, 0x00}}, fvGood},
        LayoutCase{"TooShortForTheChecksum", caXor8Hex, 1, 1, 2, true, {BytesOf("$*4\r\n")}, fvBad},
        LayoutCase{"TooShortForTheSkippedBytes", caXor8, 3, 0, 0, true, {{0x00, 0x00}}, fvBad},
        LayoutCase{
            "FieldAcrossTwoPieces", caCrc16Xmodem, 0, 0, 0, true, {BytesOf("123456789\x31"), {0xC3}}, fvGood},
        LayoutCase{"LeastSignificantByteFirst",
                   caCrc16Modbus,
                   0,
                   0,
                   0,
                   false,
                   {BytesOf("123456789\x37\x4B")},
                   fvGood},
        LayoutCase{"ByteOrderMatters", caCrc16Modbus, 0, 0, 0, true, {BytesOf("123456789\x37\x4B")}, fvBad},
        LayoutCase{"FletcherAfterTwoSyncBytes",
                   caFletcher8,
                   2,
                   0,
                   0,
                   true,
                   {{0xB5, 0x62}, BytesOf("123456789"), {0xDD, 0x15}},
                   fvGood},
        LayoutCase{"NegativeCountsAsZero", caXor8, -4, -1, -2, true, {{0x05, 0x06, 0x03}}, fvGood},
        LayoutCase{"NoAlgorithm", caNone, 0, 0, 0, true, {{0x01}}, fvNone},
        LayoutCase{"UnknownAlgorithm", 11, 0, 0, 0, true, {{0x01}}, fvNone}),
    CaseName<LayoutCase>);

// ---------------------------------------------------------------------------------
// The "_frames" section

ZFrameSettings Changed(int field) {
    ZFrameSettings s;
    switch (field) {
        case 0:
            s.ChecksumAlgorithm = caCrc32;
            break;
        case 1:
            s.ChecksumSkipStart = 3;
            break;
        case 2:
            s.ChecksumGap = 1;
            break;
        case 3:
            s.ChecksumSkipEnd = 2;
            break;
        case 4:
            s.ChecksumMSBFirst = false;
            break;
        case 5:
            s.DropBadFrames = true;
            break;
        default:
            s.LengthAdjust = -7;
            break;
    }
    return s;
}

TEST(FrameSettingsTest, EachChangedKeyWritesTheWholeSectionAndReadsBack) {
    for (int field = 0; field < 7; ++field) {
        SCOPED_TRACE(field);
        ZLoggerSettings settings;
        settings.Frames = Changed(field);
        ZULIniFile ini;
        settings.WriteToIni(ini);
        const std::string text = ini.ToText();
        const size_t at = text.find("[_frames]\r\n");
        ASSERT_NE(at, std::string::npos);
        EXPECT_NE(text.find("[_logger_settings]"), std::string::npos);
        EXPECT_LT(text.find("[_logger_settings]"), at);
        for (const char* key : {"ChecksumAlgorithm=", "ChecksumSkipStart=", "ChecksumGap=",
                                "ChecksumSkipEnd=", "ChecksumMSBFirst=", "DropBadFrames=", "LengthAdjust="})
            EXPECT_NE(text.find(key, at), std::string::npos) << key;
        ZLoggerSettings read;
        read.ReadFromIni(ini);
        EXPECT_EQ(read.Frames, settings.Frames);
    }
}

// The Wireshark capture's keys come and go on their own: a file that sets only them
// holds no checksum keys, and one that sets a checksum only holds none of them.
TEST(FrameSettingsTest, PcapKeysAreWrittenOnlyWhenTheyDifferFromTheirDefaults) {
    struct Row {
        bool Recording;
        const char* Protocol;
        int32_t Algorithm;
        const char* Section;
    };
    const Row rows[] = {
        {true, "data", caNone, "[_frames]\r\nPcapRecording=1\r\n"},
        {false, "mbrtu", caNone, "[_frames]\r\nPcapProtocol=mbrtu\r\n"},
        {false, "data", caXor8, "[_frames]\r\nChecksumAlgorithm=1\r\n"},
        {true, "mbrtu", caCrc16Modbus,
         "[_frames]\r\nPcapRecording=1\r\nPcapProtocol=mbrtu\r\nChecksumAlgorithm=5\r\n"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.Section);
        ZLoggerSettings settings;
        settings.Frames.PcapRecording = row.Recording;
        settings.Frames.PcapProtocol = row.Protocol;
        settings.Frames.ChecksumAlgorithm = row.Algorithm;
        ZULIniFile ini;
        settings.WriteToIni(ini);
        const std::string text = ini.ToText();
        const size_t at = text.find("[_frames]\r\n");
        ASSERT_NE(at, std::string::npos);
        EXPECT_EQ(text.substr(at, std::strlen(row.Section)), row.Section);
        EXPECT_EQ(text.find("Pcap", at + std::strlen(row.Section)), std::string::npos);
        ZLoggerSettings read;
        read.ReadFromIni(ini);
        EXPECT_EQ(read.Frames, settings.Frames);
    }
}

TEST(FrameSettingsTest, DefaultsWriteNoSectionAndItsAbsenceMeansDefaults) {
    ZLoggerSettings defaults;
    ZULIniFile ini;
    defaults.WriteToIni(ini);
    EXPECT_EQ(ini.ToText().find("_frames"), std::string::npos);
    // A record that held other values takes the defaults from such a file.
    ZLoggerSettings held;
    held.Frames = Changed(0);
    held.Frames.LengthAdjust = 2;
    held.ReadFromIni(ini);
    EXPECT_EQ(held.Frames, ZFrameSettings());
    // Writing the defaults over a file that had the section removes it.
    ZULIniFile withSection;
    held.Frames = Changed(5);
    held.WriteToIni(withSection);
    ASSERT_NE(withSection.ToText().find("[_frames]"), std::string::npos);
    defaults.WriteToIni(withSection);
    EXPECT_EQ(withSection.ToText().find("_frames"), std::string::npos);
}

TEST(FrameSettingsTest, AMissingOrBadKeyKeepsTheValueHeldBefore) {
    ZULIniFile ini;
    ini.WriteInteger("_frames", "ChecksumAlgorithm", 9);
    ini.WriteString("_frames", "LengthAdjust", "two");
    ZFrameSettings settings;
    settings.ChecksumGap = 4;
    settings.LengthAdjust = 3;
    settings.ReadFromIni(ini);
    EXPECT_EQ(settings.ChecksumAlgorithm, 9);
    EXPECT_EQ(settings.ChecksumGap, 4);
    EXPECT_EQ(settings.LengthAdjust, 3);
}

TEST(FrameSettingsTest, ACaptureOfAllBytesRefusesAChecksum) {
    ZFrameSettings settings;
    std::string error;
    EXPECT_TRUE(settings.CheckCaptureMode(cmAllBytes, error));
    settings.ChecksumAlgorithm = caXor8;
    EXPECT_TRUE(settings.CheckCaptureMode(cmFixedSize, error));
    EXPECT_TRUE(error.empty());
    EXPECT_FALSE(settings.CheckCaptureMode(cmAllBytes, error));
    EXPECT_NE(error.find("checksum"), std::string::npos);
}

// ---------------------------------------------------------------------------------
// Verdicts as the filter hands them out

struct Verdicted {
    uint8_t kind;
    int length;
    TFrameVerdict verdict;
    bool operator==(const Verdicted&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Verdicted& v) {
    return out << "{kind " << int(v.kind) << ", " << v.length << " bytes, verdict " << int(v.verdict) << '}';
}

struct FilterCase {
    const char* name;
    ZLoggerSettings settings;
    Bytes input;
    std::vector<Verdicted> expected;  // the flush at the end included
};

ZLoggerSettings Framed(uint8_t mode, TTriggerSequence start, TTriggerSequence stop, int32_t algorithm) {
    ZLoggerSettings s;
    s.CaptureMode = mode;
    s.TriggerStart = std::move(start);
    s.TriggerStop = std::move(stop);
    s.Frames.ChecksumAlgorithm = algorithm;
    return s;
}

std::vector<FilterCase> FilterCases() {
    std::vector<FilterCase> cases;
    // Fixed size: AA + 2 data bytes, XOR-8 over all but the last byte.
    ZLoggerSettings fixed = Framed(cmFixedSize, {0xAA}, {}, caXor8);
    fixed.BytesAfterTrigger = 2;
    cases.push_back({"FixedSizeVerdictOnTheData",
                     fixed,
                     {0xAA, 0x01, 0xAB, 0xAA, 0x01, 0x00, 0xAA},
                     {{bkStartTrigger, 1, fvNone},
                      {bkData, 2, fvGood},
                      {bkStartTrigger, 1, fvNone},
                      {bkData, 2, fvBad},
                      {bkStartTrigger, 1, fvNone}}});
    // A frame of the start trigger alone carries its verdict there.
    ZLoggerSettings alone = Framed(cmFixedSize, {0x11, AnyByte}, {}, caXor8);
    cases.push_back({"TriggerAloneIsTheFrame",
                     alone,
                     {0x11, 0x11, 0x11, 0x12},
                     {{bkStartTrigger, 2, fvGood}, {bkStartTrigger, 2, fvBad}}});
    // Dynamic size: 7E <length> where the length leaves out the checksum byte (+1).
    ZLoggerSettings dynamic = Framed(cmDynamicSize, {0x7E, AnyByte}, {}, caSum8);
    dynamic.StartAmountOfBytes = 1;
    dynamic.Frames.LengthAdjust = 1;
    dynamic.Frames.ChecksumSkipStart = 2;
    cases.push_back({"LengthAdjustTakesInTheChecksum",
                     dynamic,
                     {0x7E, 0x02, 0x10, 0x20, 0x30, 0x7E, 0x00, 0x00, 0x7E, 0x01, 0x05},
                     {{bkStartTrigger, 2, fvNone},
                      {bkData, 3, fvGood},
                      {bkStartTrigger, 2, fvNone},
                      {bkData, 1, fvGood},
                      {bkStartTrigger, 2, fvNone},
                      {bkFlush, 1, fvNone}}});
    ZLoggerSettings shrink = dynamic;
    shrink.Frames.LengthAdjust = -5;
    shrink.Frames.ChecksumAlgorithm = caNone;
    cases.push_back({"NegativeLengthCountsAsZero",
                     shrink,
                     {0x7E, 0x02, 0x7E, 0x03},
                     {{bkStartTrigger, 2, fvNone}, {bkStartTrigger, 2, fvNone}}});
    // Between triggers: the stop trigger belongs to the frame, so it can be skipped.
    ZLoggerSettings between = Framed(cmBetweenTriggers, {'$'}, {'\r', '\n'}, caXor8Hex);
    between.Frames.ChecksumSkipStart = 1;
    between.Frames.ChecksumGap = 1;
    between.Frames.ChecksumSkipEnd = 2;
    cases.push_back({"BetweenTriggersVerdictOnTheData",
                     between,
                     BytesOf("$AB*03\r\n$AB*04\r\n$\r\n$AB*0"),
                     {{bkStartTrigger, 1, fvNone},
                      {bkData, 5, fvGood},
                      {bkStopTrigger, 2, fvNone},
                      {bkStartTrigger, 1, fvNone},
                      {bkData, 5, fvBad},
                      {bkStopTrigger, 2, fvNone},
                      {bkStartTrigger, 1, fvNone},
                      {bkStopTrigger, 2, fvBad},
                      {bkStartTrigger, 1, fvNone},
                      {bkFlush, 4, fvNone}}});
    ZLoggerSettings off = between;
    off.Frames.ChecksumAlgorithm = caNone;
    cases.push_back({"NoChecksumNoVerdicts",
                     off,
                     BytesOf("$AB*04\r\n"),
                     {{bkStartTrigger, 1, fvNone}, {bkData, 5, fvNone}, {bkStopTrigger, 2, fvNone}}});
    return cases;
}

class FilterVerdictTest : public ::testing::TestWithParam<FilterCase> {};

TEST_P(FilterVerdictTest, OneVerdictPerCompleteFrame) {
    const FilterCase& c = GetParam();
    std::vector<Verdicted> blocks;
    ZFilter* self = nullptr;
    ZFilter filter(&c.settings, [&](const TDateTime&, const uint8_t*, int length, uint8_t kind) {
        blocks.push_back({kind, length, self->GetBlockVerdict()});
    });
    self = &filter;
    // One byte per chunk: verdicts must not depend on how the frame arrived.
    for (uint8_t byte : c.input) ASSERT_TRUE(filter.FeedData(&byte, 1));
    filter.Flush();
    EXPECT_EQ(blocks, c.expected);
}

INSTANTIATE_TEST_SUITE_P(Modes, FilterVerdictTest, ::testing::ValuesIn(FilterCases()), CaseName<FilterCase>);

// ---------------------------------------------------------------------------------
// What reaches the log files

struct GateCase {
    const char* name;
    uint8_t mode;
    bool drop;
    std::vector<Verdicted> blocks;
    std::string expected;  // per logged block: kind digit, '!' when it gets the marker
};

class FrameLogGateTest : public ::testing::TestWithParam<GateCase> {};

TEST_P(FrameLogGateTest, LoggedBlocks) {
    const GateCase& c = GetParam();
    ZLoggerSettings settings = Framed(c.mode, {0x01}, {0x02}, caXor8);
    settings.Frames.DropBadFrames = c.drop;
    std::string logged;
    ZFrameLogGate gate([&](const sBlock& block, bool wrong) {
        logged += static_cast<char>('0' + block.Kind);
        logged += std::to_string(block.Length);
        if (wrong) logged += '!';
        logged += ' ';
    });
    const Bytes bytes(16, 0);
    for (const Verdicted& b : c.blocks) gate.Pass(settings, sBlock{0, bytes.data(), b.length, b.kind, b.verdict});
    gate.Finish();
    EXPECT_EQ(logged, c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Gate, FrameLogGateTest,
    ::testing::Values(GateCase{"KeptFramesGetTheMarker",
                               cmFixedSize,
                               false,
                               {{bkStartTrigger, 1, fvNone},
                                {bkData, 3, fvBad},
                                {bkStartTrigger, 1, fvNone},
                                {bkData, 3, fvGood}},
                               "01 13! 01 13 "},
                      GateCase{"DroppedFrameTakesItsStartTrigger",
                               cmFixedSize,
                               true,
                               {{bkTrash, 2, fvNone},
                                {bkStartTrigger, 1, fvNone},
                                {bkData, 3, fvBad},
                                {bkStartTrigger, 1, fvNone},
                                {bkData, 4, fvGood}},
                               "32 01 14 "},
                      GateCase{"DroppedFrameTakesItsStopTrigger",
                               cmBetweenTriggers,
                               true,
                               {{bkStartTrigger, 1, fvNone},
                                {bkData, 3, fvBad},
                                {bkStopTrigger, 1, fvNone},
                                {bkStartTrigger, 1, fvNone},
                                {bkStopTrigger, 1, fvGood}},
                               "01 21 "},
                      // An empty line is no frame: it is written.
                      GateCase{"DroppedLineTakesItsStopTrigger",
                               cmUntilStopTrigger,
                               true,
                               {{bkData, 3, fvBad},
                                {bkStopTrigger, 2, fvNone},
                                {bkStopTrigger, 2, fvNone},
                                {bkData, 1, fvGood},
                                {bkStopTrigger, 2, fvNone}},
                               "22 11 22 "},
                      GateCase{
                          "AnUnfinishedFrameIsWrittenAtTheEnd",
                          cmDynamicSize,
                          true,
                          {{bkStartTrigger, 1, fvNone}, {bkFlush, 2, fvNone}, {bkStartTrigger, 1, fvNone}},
                          "01 42 01 "},
                      GateCase{"AllBytesNeverDrops", cmAllBytes, true, {{bkData, 5, fvNone}}, "15 "},
                      // The first frame was lost to an overflow; the second has no data and is bad.
                      GateCase{"ATriggerLeftWaitingIsWrittenWhenABadTriggerOnlyFrameFollows",
                               cmFixedSize,
                               true,
                               {{bkStartTrigger, 1, fvNone}, {bkStartTrigger, 2, fvBad}},
                               "01 "}),
    CaseName<GateCase>);

}  // namespace
