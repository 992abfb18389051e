// Frames separated by silence: the gap of a line, how reads with their times are cut
// into frames, the time a block carries, and the "_frames" keys of precise time.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../common/TestFiles.h"
#include "ZChecksum.h"
#include "ZFilter.h"
#include "ZLoggerSettings.h"
#include "ZULIniFile.h"

namespace {

template <typename Case>
std::string CaseName(const ::testing::TestParamInfo<Case>& param) {
    return param.param.name;
}

// The gap in microseconds: tenths of a character of 1 start bit, the data bits, the
// parity bit and the stop bits, worked out by hand.
struct GapCase {
    const char* name;
    int32_t baud;
    int dataBits;
    int parityBits;
    double stopBits;
    int32_t tenths;
    int32_t ms;
    int64_t expectedUs;
};

class SilenceGapTest : public ::testing::TestWithParam<GapCase> {};

TEST_P(SilenceGapTest, FollowsTheLineOrTheMilliseconds) {
    const GapCase& c = GetParam();
    ZFrameSettings frames;
    frames.SilenceGap = c.tenths;
    frames.SilenceGapMs = c.ms;
    EXPECT_EQ(frames.SilenceGapMicros(c.baud, c.dataBits, c.parityBits, c.stopBits), c.expectedUs);
}

// Above 19200 baud the default gap is 1.75 ms however short 3.5 characters are; a
// count of characters the user chose stands as chosen.
INSTANTIATE_TEST_SUITE_P(
    Lines, SilenceGapTest,
    ::testing::Values(GapCase{"Modbus9600_8N1", 9600, 8, 0, 1, 35, 0, 3646},    // 35 bits: 3645.83 us
                      GapCase{"Modbus9600_8E1", 9600, 8, 1, 1, 35, 0, 4010},    // 38.5 bits: 4010.42 us
                      GapCase{"Modbus19200_8N2", 19200, 8, 0, 2, 35, 0, 2005},  // 38.5 bits: 2005.21 us
                      GapCase{"Fast7E1_5", 115200, 7, 1, 1.5, 35, 0, 1750},     // 36.75 bits would be 319 us
                      GapCase{"Modbus38400_8E1", 38400, 8, 1, 1, 35, 0, 1750},  // 38.5 bits would be 1003 us
                      GapCase{"ChosenCountAt115200", 115200, 8, 0, 1, 40, 0, 347},  // 40 bits: 347.22 us
                      GapCase{"HundredCharacters", 300, 8, 0, 1, 1000, 0, 3333333},
                      GapCase{"MillisecondsWin", 9600, 8, 1, 1, 35, 5, 5000}),
    CaseName<GapCase>);

// Reads fed to a filter in capture mode 4 with a gap of 1000 us; a read of no bytes
// stands for a silence event after the read at its time. With a rate, a read's bytes
// end on the line their line time after it.
struct Read {
    int64_t us;
    std::string bytes;
};
struct Frame {
    int64_t us;  // of the read that brought the first byte
    std::string bytes;
    TFrameVerdict verdict;
};
struct CutCase {
    const char* name;
    std::vector<Read> reads;
    std::vector<Frame> frames;  // the last ones handed out by the flush at the end
    int32_t maxBytes = -1;
    int32_t checksum = 0;
    int32_t baud = 0;  // 8N1 characters; 0: no line time
};

constexpr int64_t Base = 1'796'828'427'000'000;

class SilenceCutTest : public ::testing::TestWithParam<CutCase> {};

TEST_P(SilenceCutTest, FramesEndAtAGapOfTheReadTimes) {
    const CutCase& c = GetParam();
    ZLoggerSettings settings;
    settings.CaptureMode = cmSilence;
    settings.MaxBytesWithinTriggers = c.maxBytes;
    settings.Frames.ChecksumAlgorithm = c.checksum;
    std::vector<Frame> got;
    std::vector<TDateTime> times;
    ZFilter* self = nullptr;
    ZFilter filter(&settings, [&](const TDateTime& time, const uint8_t* bytes, int length, uint8_t kind) {
        EXPECT_EQ(kind, bkData);
        got.push_back({0, std::string(bytes, bytes + length), self->GetBlockVerdict()});
        times.push_back(time);
    });
    self = &filter;
    filter.SetSilenceGap(1000, ZLineTiming::Of(c.baud, 8, 0, 1));
    for (const Read& read : c.reads) {
        if (read.bytes.empty()) {
            filter.Silence(Base + read.us);
            continue;
        }
        const auto* bytes = reinterpret_cast<const uint8_t*>(read.bytes.data());
        ASSERT_TRUE(filter.FeedData(bytes, static_cast<int>(read.bytes.size()),
                                    ZULFromUnixMicros(Base + read.us), Base + read.us));
    }
    filter.Flush();
    ASSERT_EQ(got.size(), c.frames.size());
    for (size_t i = 0; i < got.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(got[i].bytes, c.frames[i].bytes);
        EXPECT_EQ(got[i].verdict, c.frames[i].verdict);
        EXPECT_EQ(ZULToUnixMicros(times[i]), Base + c.frames[i].us);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Reads, SilenceCutTest,
    ::testing::Values(
        CutCase{"AGapEndsAFrame",
                {{0, "ab"}, {500, "c"}, {1600, "de"}},
                {{0, "abc", fvNone}, {1600, "de", fvNone}}},
        CutCase{"TheWholeGapIsEnough", {{0, "a"}, {1000, "b"}}, {{0, "a", fvNone}, {1000, "b", fvNone}}},
        CutCase{"LessThanTheGapJoins", {{0, "a"}, {999, "b"}, {1998, "c"}}, {{0, "abc", fvNone}}},
        CutCase{"ASilenceEventEndsAFrame",
                {{0, "a"}, {0, ""}, {300, "b"}},
                {{0, "a", fvNone}, {300, "b", fvNone}}},
        CutCase{"ASilenceBeforeTheLastReadIsStale", {{0, "a"}, {500, "b"}, {0, ""}}, {{0, "ab", fvNone}}},
        CutCase{"MaxBytesCutsALongFrame",
                {{0, "abcd"}, {10, "efg"}},
                {{0, "abc", fvNone}, {0, "def", fvNone}, {10, "g", fvNone}},
                3},
        CutCase{"ChecksumsOverEachFrame",
                {{0, "\x12\x34"}, {100, "\x26"}, {5000, "\x12\x34\x01"}},
                {{0, "\x12\x34\x26", fvGood}, {5000, "\x12\x34\x01", fvBad}},
                -1,
                caXor8},
        // Nothing is left to end when the limit or a silence event has emptied the buffer.
        CutCase{"AGapAfterTheLimitMakesNoEmptyFrame",
                {{0, "abc"}, {5000, "d"}},
                {{0, "abc", fvNone}, {5000, "d", fvNone}},
                3},
        CutCase{"AGapAfterASilenceMakesNoEmptyFrame",
                {{0, "a"}, {0, ""}, {5000, "b"}},
                {{0, "a", fvNone}, {5000, "b", fvNone}}},
        // 10 bytes take 868 us at 115200 baud: a read 1800 us after them follows 932 us of
        // silence; one 1900 us after, 1032 us.
        CutCase{"TheLastReadsLineTimeIsNoSilence",
                {{0, "0123456789"}, {1800, "a"}, {2800, "b"}},
                {{0, "0123456789ab", fvNone}},
                -1,
                0,
                115200},
        CutCase{"SilenceCountsFromTheEndOfTheBytes",
                {{0, "0123456789"}, {1900, "a"}},
                {{0, "0123456789", fvNone}, {1900, "a", fvNone}},
                -1,
                0,
                115200}),
    CaseName<CutCase>);

// In the trigger modes a block carries the time of the read that brought its first byte.
TEST(SilenceCutTest, TriggerModeBlocksCarryTheTimeOfTheirFirstRead) {
    ZLoggerSettings settings;
    settings.CaptureMode = cmBetweenTriggers;
    settings.TriggerStart = {'S'};
    settings.TriggerStop = {'E'};
    std::vector<std::pair<uint8_t, int64_t>> got;
    ZFilter filter(&settings, [&](const TDateTime& time, const uint8_t*, int, uint8_t kind) {
        got.emplace_back(kind, ZULToUnixMicros(time) - Base);
    });
    for (const Read& read : std::vector<Read>{{0, "xxS"}, {100, "ab"}, {200, "cE"}}) {
        const auto* bytes = reinterpret_cast<const uint8_t*>(read.bytes.data());
        filter.FeedData(bytes, static_cast<int>(read.bytes.size()), ZULFromUnixMicros(Base + read.us),
                        Base + read.us);
    }
    const std::vector<std::pair<uint8_t, int64_t>> expected = {
        {bkTrash, 0}, {bkStartTrigger, 0}, {bkData, 100}, {bkStopTrigger, 200}};
    EXPECT_EQ(got, expected);
}

// The keys of precise time in a file as users write it read as the settings; a file
// that never used them stays as it was, and a saved one holds only those that differ.
struct KeyCase {
    const char* name;
    const char* text;  // the section
    void (*change)(ZFrameSettings&);
    bool written;  // the changed settings are saved as exactly this text
};

class PreciseTimeKeyTest : public ::testing::TestWithParam<KeyCase> {};

TEST_P(PreciseTimeKeyTest, ReadAsWrittenAndWrittenOnlyWhenDifferent) {
    const KeyCase& c = GetParam();
    ZFrameSettings expected;
    c.change(expected);
    ScratchDir dir;
    WriteBytes(dir.File("s.scs"), c.text);
    ZFrameSettings read;
    read.ReadFromIni(ZULIniFile(dir.File("s.scs")));
    EXPECT_EQ(read, expected);
    if (!c.written) return;
    ZULIniFile ini;
    expected.WriteToIni(ini);
    EXPECT_EQ(ini.ToText(), c.text);
}

INSTANTIATE_TEST_SUITE_P(
    Keys, PreciseTimeKeyTest,
    ::testing::Values(
        KeyCase{"AFileWithoutThemStaysAsItWas", "", [](ZFrameSettings&) {}, true},
        KeyCase{"EveryKey",
                "[_frames]\r\nPreciseTime=1\r\nSilenceGap=40\r\nSilenceGapMs=5\r\nRawRecordingTimed=1\r\n",
                [](ZFrameSettings& f) {
                    f.PreciseTime = true;
                    f.SilenceGap = 40;
                    f.SilenceGapMs = 5;
                    f.RawRecordingTimed = true;
                },
                true},
        KeyCase{"OnlyTheOneThatDiffers", "[_frames]\r\nSilenceGapMs=5\r\n",
                [](ZFrameSettings& f) { f.SilenceGapMs = 5; }, true},
        KeyCase{"InAnyOrderAmongOthers",
                "[_frames]\r\nRawRecordingTimed=1\r\nChecksumGap=0\r\nPreciseTime=1\r\n",
                [](ZFrameSettings& f) {
                    f.RawRecordingTimed = true;
                    f.PreciseTime = true;
                },
                false}),
    CaseName<KeyCase>);

struct RangeCase {
    const char* name;
    const char* key;
    int32_t value;
    const char* refusal;  // "" when accepted
};

class PreciseTimeRangeTest : public ::testing::TestWithParam<RangeCase> {};

TEST_P(PreciseTimeRangeTest, RefusedOnLoadOutsideItsRange) {
    const RangeCase& c = GetParam();
    ZULIniFile ini;
    ini.WriteInteger("_frames", c.key, c.value);
    std::string errorText;
    EXPECT_EQ(ZFrameSettings::CheckIni(ini, errorText), *c.refusal == '\0');
    EXPECT_EQ(errorText, c.refusal);
}

INSTANTIATE_TEST_SUITE_P(
    Values, PreciseTimeRangeTest,
    ::testing::Values(
        RangeCase{"GapLowest", "SilenceGap", 15, ""}, RangeCase{"GapHighest", "SilenceGap", 1000, ""},
        RangeCase{"GapTooShort", "SilenceGap", 14,
                  "The settings in file \"\" cannot be used: SilenceGap 14 is outside 15..1000 (tenths of a "
                  "character time)"},
        RangeCase{
            "GapTooLong", "SilenceGap", 1001,
            "The settings in file \"\" cannot be used: SilenceGap 1001 is outside 15..1000 (tenths of a "
            "character time)"},
        RangeCase{"MsHighest", "SilenceGapMs", 60000, ""},
        RangeCase{
            "MsNegative", "SilenceGapMs", -1,
            "The settings in file \"\" cannot be used: SilenceGapMs -1 is outside 0..60000 (milliseconds)"},
        RangeCase{"MsTooLong", "SilenceGapMs", 60001,
                  "The settings in file \"\" cannot be used: SilenceGapMs 60001 is outside 0..60000 "
                  "(milliseconds)"}),
    CaseName<RangeCase>);

}  // namespace
