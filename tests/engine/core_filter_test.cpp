// The frame filter, mode by mode: which blocks a stream gives and what stays buffered.

#include <gtest/gtest.h>

#include <vector>

#include "core_filter_support.h"

namespace {

using namespace filter_test;
using Blocks = std::vector<Block>;

ZLoggerSettings Mode(uint8_t mode, TTriggerSequence start = {}, TTriggerSequence stop = {}) {
    ZLoggerSettings s;
    s.CaptureMode = mode;
    s.TriggerStart = std::move(start);
    s.TriggerStop = std::move(stop);
    return s;
}

ZLoggerSettings Fixed(TTriggerSequence start, int32_t bytesAfter) {
    ZLoggerSettings s = Mode(cmFixedSize, std::move(start));
    s.BytesAfterTrigger = bytesAfter;
    return s;
}

ZLoggerSettings Dynamic(TTriggerSequence start, int32_t fieldStart, int32_t width, bool msbFirst = true) {
    ZLoggerSettings s = Mode(cmDynamicSize, std::move(start));
    s.StartAmountOfBytes = fieldStart;
    s.AmountOfBytesWidth = width;
    s.AmountOfBytesMSBFirst = msbFirst;
    return s;
}

Bytes Counting(size_t n, uint8_t first = 0) {
    Bytes bytes(n);
    for (size_t i = 0; i < n; ++i) bytes[i] = static_cast<uint8_t>(first + i);
    return bytes;
}

Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}

TEST(FilterAllBytes, EveryChunkIsOneDataBlock) {
    RecordingFilter f(Mode(cmAllBytes));
    EXPECT_EQ(f.Filter().GetState(), ZFilter::PassAll);
    EXPECT_TRUE(f.Feed(Counting(7)));
    EXPECT_TRUE(f.Feed(Counting(3, 50)));
    EXPECT_EQ(f.Take(), (Blocks{Data(Counting(7)), Data(Counting(3, 50))}));
    EXPECT_EQ(f.Filter().GetFill(), 0);
}

TEST(FilterAllBytes, AnEmptyChunkIsNoBlock) {
    RecordingFilter f(Mode(cmAllBytes));
    EXPECT_TRUE(f.Feed({}));
    EXPECT_TRUE(f.Take().empty());
}

TEST(FilterFixedSize, TriggerThenTheGivenNumberOfDataBytes) {
    RecordingFilter f(Fixed({0xAA, 0x55}, 3));
    EXPECT_TRUE(f.Feed({0x01, 0x02, 0xAA, 0x55, 0x10, 0x11, 0x12, 0xAA, 0x55, 0x20}));
    EXPECT_EQ(f.Take(), (Blocks{Trash({0x01, 0x02}), Start({0xAA, 0x55}), Data({0x10, 0x11, 0x12}),
                                Start({0xAA, 0x55})}));
    EXPECT_EQ(f.Filter().GetState(), ZFilter::CollectData);
    EXPECT_EQ(f.Filter().GetFill(), 1);
    f.Filter().Flush();
    EXPECT_EQ(f.Take(), (Blocks{Flushed({0x20})}));
    EXPECT_EQ(f.Filter().GetState(), ZFilter::CollectData);
}

TEST(FilterFixedSize, NoDataBytesGiveNoDataBlock) {
    RecordingFilter f(Fixed({0xAA}, 0));
    f.Feed({0xAA, 0xAA, 0x01, 0xAA});
    EXPECT_EQ(f.Take(), (Blocks{Start({0xAA}), Start({0xAA}), Trash({0x01}), Start({0xAA})}));
}

TEST(FilterFixedSize, DataArrivingInPiecesIsHandedOutWhenComplete) {
    RecordingFilter f(Fixed({0xAA, 0xBB}, 4));
    f.Feed({0xAA, 0xBB, 1});
    f.Feed({2, 3});
    EXPECT_EQ(f.Take(), (Blocks{Start({0xAA, 0xBB})}));
    f.Feed({4, 5});
    EXPECT_EQ(f.Take(), (Blocks{Data({1, 2, 3, 4})}));
    EXPECT_EQ(f.Filter().GetFill(), 1);
}

TEST(FilterSearchStart, ATriggerSplitOverTwoChunksIsFoundWithoutTrash) {
    RecordingFilter f(Fixed({0xAA, 0x55}, 1));
    f.Feed({0x01, 0xAA});
    EXPECT_EQ(f.Take(), (Blocks{Trash({0x01})}));
    EXPECT_EQ(f.Filter().GetFill(), 1);
    f.Feed({0x55, 0x09});
    EXPECT_EQ(f.Take(), (Blocks{Start({0xAA, 0x55}), Data({0x09})}));
}

TEST(FilterSearchStart, UnmatchedBytesAreTrashButForTheLastTriggerLengthLessOne) {
    RecordingFilter f(Fixed({0xAA, 0xBB, 0xCC}, 0));
    f.Feed(Counting(10));
    EXPECT_EQ(f.Take(), (Blocks{Trash(Counting(8))}));
    EXPECT_EQ(f.Filter().GetFill(), 2);
    f.Feed({0x01});
    EXPECT_EQ(f.Take(), (Blocks{Trash({8})}));
}

TEST(FilterSearchStart, TheBlocksOfOneStepShareOneTime) {
    RecordingFilter f(Fixed({0xAA}, 0));
    f.Feed({1, 2, 0xAA});
    ASSERT_EQ(f.Times().size(), 2u);
    EXPECT_EQ(f.Times()[0], f.Times()[1]);
    EXPECT_GT(f.Times()[0], 40000.0);
}

TEST(FilterSearchStart, NoStartTriggerMakesEveryByteTrash) {
    for (const uint8_t mode : {cmFixedSize, cmDynamicSize, cmBetweenTriggers}) {
        RecordingFilter f(Mode(mode, {}, {0x55}));
        f.Feed({1, 2, 3});
        f.Feed({4});
        EXPECT_EQ(f.Take(), (Blocks{Trash({1, 2, 3}), Trash({4})})) << int(mode);
        EXPECT_EQ(f.Filter().GetFill(), 0);
    }
}

TEST(FilterBetweenTriggers, StartDataStop) {
    RecordingFilter f(Mode(cmBetweenTriggers, {0xAA}, {0x55}));
    f.Feed({0xAA, 0x01, 0x02, 0x55});
    f.Feed({0xAA, 0x55});
    f.Feed({0xAA, 0x01, 0xAA, 0x02, 0x55});
    EXPECT_EQ(f.Take(), (Blocks{Start({0xAA}), Data({0x01, 0x02}), Stop({0x55}), Start({0xAA}), Stop({0x55}),
                                Start({0xAA}), Data({0x01, 0xAA, 0x02}), Stop({0x55})}));
    EXPECT_EQ(f.Filter().GetState(), ZFilter::SearchStart);
}

TEST(FilterBetweenTriggers, AStopTriggerWithAnyBytesFollowingABufferedPrefix) {
    // The candidate at the end of one chunk may only be decided by the next.
    RecordingFilter f(Mode(cmBetweenTriggers, {0xAA}, {0x01, AnyByte, 0x03}));
    f.Feed({0xAA, 0x01, 0x01, 0x01});
    f.Feed({0x03});
    EXPECT_EQ(f.Take(), (Blocks{Start({0xAA}), Data({0x01}), Stop({0x01, 0x01, 0x03})}));
}

TEST(FilterBetweenTriggers, WithoutAStopTriggerTheFrameOverflowsAndIsDropped) {
    RecordingFilter f(Mode(cmBetweenTriggers, {0xAA}, {0x55}));
    f.Feed({0xAA});
    EXPECT_EQ(f.Take(), (Blocks{Start({0xAA})}));
    const Bytes chunk(500, 0x11);
    int accepted = 0;
    while (f.Feed(chunk)) ++accepted;
    EXPECT_EQ(accepted, ZFilter::FilterBufferSize / 500);
    EXPECT_TRUE(f.Take().empty());
    EXPECT_EQ(f.Filter().GetFill(), 0);
    EXPECT_EQ(f.Filter().GetState(), ZFilter::SearchStart);
    f.Feed({0x11, 0xAA, 0x55});
    EXPECT_EQ(f.Take(), (Blocks{Trash({0x11}), Start({0xAA}), Stop({0x55})}));
}

TEST(FilterBetweenTriggers, AnEmptyStopTriggerIsNeverFound) {
    RecordingFilter f(Mode(cmBetweenTriggers, {0xAA}, {}));
    f.Feed({0xAA, 1, 2});
    EXPECT_EQ(f.Take(), (Blocks{Start({0xAA})}));
    EXPECT_EQ(f.Filter().GetFill(), 2);
}

TEST(FilterBuffer, ExactlyFullIsAcceptedOneMoreIsNot) {
    RecordingFilter f(Fixed({0xAA}, 20000));
    f.Feed({0xAA});
    f.Take();
    EXPECT_TRUE(f.Feed(Bytes(ZFilter::FilterBufferSize - 1, 0)));
    EXPECT_TRUE(f.Feed({0}));
    EXPECT_EQ(f.Filter().GetFill(), ZFilter::FilterBufferSize);
    EXPECT_FALSE(f.Feed({0}));
    EXPECT_EQ(f.Filter().GetFill(), 0);
    EXPECT_TRUE(f.Take().empty());
}

TEST(FilterBuffer, OverflowInAllBytesModeReturnsToPassAll) {
    RecordingFilter f(Mode(cmAllBytes));
    EXPECT_FALSE(f.Feed(Bytes(ZFilter::FilterBufferSize + 1, 0)));
    EXPECT_TRUE(f.Take().empty());
    EXPECT_EQ(f.Filter().GetState(), ZFilter::PassAll);
}

TEST(FilterLifecycle, FlushOfAnEmptyBufferHandsOutNothing) {
    RecordingFilter f(Fixed({0xAA}, 0));
    f.Filter().Flush();
    EXPECT_TRUE(f.Take().empty());
}

TEST(FilterLifecycle, ResetEmptiesTheBufferAndFollowsTheMode) {
    RecordingFilter f(Fixed({0xAA}, 5));
    f.Feed({0xAA, 1, 2});
    EXPECT_EQ(f.Filter().GetState(), ZFilter::CollectData);
    f.Settings().CaptureMode = cmAllBytes;
    f.Filter().Reset();
    EXPECT_EQ(f.Filter().GetState(), ZFilter::PassAll);
    EXPECT_EQ(f.Filter().GetFill(), 0);
    f.Settings().CaptureMode = cmBetweenTriggers;
    f.Filter().Reset();
    EXPECT_EQ(f.Filter().GetState(), ZFilter::SearchStart);
}

TEST(FilterLifecycle, SetSettingsTakesEffectWithoutAReset) {
    RecordingFilter f(Fixed({0xAA}, 0));
    ZLoggerSettings other = Fixed({0xBB}, 1);
    f.Filter().SetSettings(&other);
    f.Feed({0xAA, 0xBB, 0x01});
    EXPECT_EQ(f.Take(), (Blocks{Trash({0xAA}), Start({0xBB}), Data({0x01})}));
    f.Filter().SetSettings(&f.Settings());
}

struct LengthCase {
    const char* name;
    ZLoggerSettings settings;
    Bytes header;  // start trigger (and any field bytes after it)
    size_t triggerLength;
    size_t expected;
};

class FilterLengthFieldTest : public ::testing::TestWithParam<LengthCase> {};

// The header, then exactly the announced data bytes: a filter that expects more
// hands out no data block, one that expects fewer a shorter one.
TEST_P(FilterLengthFieldTest, CutsTheDataTheFieldAnnounces) {
    const LengthCase& c = GetParam();
    RecordingFilter f(c.settings);
    const size_t dataAfterHeader = c.expected - (c.header.size() - c.triggerLength);
    const Bytes payload = Counting(dataAfterHeader, 0x30);
    EXPECT_TRUE(f.Feed(Concat({c.header, payload})));
    const Bytes trigger(c.header.begin(), c.header.begin() + static_cast<long>(c.triggerLength));
    const Bytes data =
        Concat({Bytes(c.header.begin() + static_cast<long>(c.triggerLength), c.header.end()), payload});
    Blocks expected{Start(trigger)};
    if (!data.empty()) expected.push_back(Data(data));
    EXPECT_EQ(f.Take(), expected);
    EXPECT_EQ(f.Filter().GetFill(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FilterLengthFieldTest,
    ::testing::Values(
        LengthCase{"OneByte", Dynamic({0x7E, AnyByte}, 1, 1), {0x7E, 0x03}, 2, 3},
        LengthCase{"HighByteIsUnsigned", Dynamic({0x7E, AnyByte}, 1, 1), {0x7E, 0x90}, 2, 144},
        LengthCase{"Zero", Dynamic({0x7E, AnyByte}, 1, 1), {0x7E, 0x00}, 2, 0},
        LengthCase{"TwoBytesMsbFirst", Dynamic({0x7E, AnyByte, AnyByte}, 1, 2), {0x7E, 0x01, 0x02}, 3, 258},
        LengthCase{
            "TwoBytesLsbFirst", Dynamic({0x7E, AnyByte, AnyByte}, 1, 2, false), {0x7E, 0x01, 0x02}, 3, 513},
        LengthCase{"FieldAtTheTriggersFirstByte", Dynamic({0x05, 0x7E}, 0, 1), {0x05, 0x7E}, 2, 5},
        LengthCase{"FourBytesLsbFirst",
                   Dynamic({AnyByte, AnyByte, AnyByte, AnyByte, 0x7E}, 0, 4, false),
                   {0x10, 0x01, 0x00, 0x00, 0x7E},
                   5,
                   0x110},
        LengthCase{"WidthZeroIsZero", Dynamic({0x7E, AnyByte}, 1, 0), {0x7E, 0x05}, 2, 0},
        LengthCase{"NegativeFieldStartCountsAsZero", Dynamic({0x02, 0x7E}, -4, 1), {0x02, 0x7E}, 2, 2},
        LengthCase{"WideFieldWithLeadingZerosMsbFirst",
                   Dynamic({0x7E, AnyByte, AnyByte, AnyByte, AnyByte, AnyByte, AnyByte}, 1, 6),
                   {0x7E, 0, 0, 0, 0, 0x01, 0x02},
                   7,
                   258},
        LengthCase{"WideFieldWithTrailingZerosLsbFirst",
                   Dynamic({0x7E, AnyByte, AnyByte, AnyByte, AnyByte, AnyByte, AnyByte}, 1, 6, false),
                   {0x7E, 0x02, 0x01, 0, 0, 0, 0},
                   7,
                   258},
        LengthCase{"FieldPastTheTriggerCountsAsData", Dynamic({0x7E}, 1, 2), {0x7E, 0x00, 0x04}, 1, 4},
        LengthCase{"FieldStartingBeyondTheTrigger", Dynamic({0x7E}, 3, 1), {0x7E, 0x61, 0x62, 0x05}, 1, 5}),
    [](const auto& caseInfo) { return std::string(caseInfo.param.name); });

TEST(FilterLengthField, AFieldNotYetReceivedWaitsAfterTheTrashIsHandedOut) {
    RecordingFilter f(Dynamic({0x7E}, 1, 2));
    f.Feed({0x01, 0x02, 0x7E, 0x00});
    EXPECT_EQ(f.Take(), (Blocks{Trash({0x01, 0x02})}));
    EXPECT_EQ(f.Filter().GetFill(), 2);
    EXPECT_EQ(f.Filter().GetState(), ZFilter::SearchStart);
    f.Feed({0x03});
    EXPECT_EQ(f.Take(), (Blocks{Start({0x7E})}));
    f.Feed({0x41, 0x7E});
    EXPECT_EQ(f.Take(), (Blocks{Data({0x00, 0x03, 0x41})}));
    EXPECT_EQ(f.Filter().GetFill(), 1);
}

TEST(FilterLengthField, ALengthOfZeroGivesNoDataBlock) {
    RecordingFilter f(Dynamic({0x7E, AnyByte}, 1, 1));
    f.Feed({0x7E, 0x00, 0x7E, 0x00, 0x7E, 0x01, 0x09});
    EXPECT_EQ(f.Take(),
              (Blocks{Start({0x7E, 0x00}), Start({0x7E, 0x00}), Start({0x7E, 0x01}), Data({0x09})}));
}

TEST(FilterLengthField, AWidthBeyondFourBytesSaturatesAndEndsInTheOverflow) {
    RecordingFilter f(Dynamic({0x7E}, 1, 9));
    f.Feed({0x7E, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF});
    EXPECT_EQ(f.Take(), (Blocks{Start({0x7E})}));
    EXPECT_EQ(f.Filter().GetState(), ZFilter::CollectData);
    const Bytes chunk(500, 0);
    while (f.Feed(chunk)) {
    }
    EXPECT_TRUE(f.Take().empty());
    EXPECT_EQ(f.Filter().GetState(), ZFilter::SearchStart);
}

TEST(FilterLengthField, AFieldOfFiveBytesWithAOneInTheTopByteIsTooLongToFit) {
    // 01 00 00 00 00 is 2^32: far more than 32 bits, so it must not wrap to 0.
    RecordingFilter f(Dynamic({0x7E, AnyByte, AnyByte, AnyByte, AnyByte, AnyByte}, 1, 5));
    f.Feed({0x7E, 0x01, 0x00, 0x00, 0x00, 0x00, 0x41});
    EXPECT_EQ(f.Take(), (Blocks{Start({0x7E, 0x01, 0x00, 0x00, 0x00, 0x00})}));
    EXPECT_EQ(f.Filter().GetState(), ZFilter::CollectData);
    EXPECT_EQ(f.Filter().GetFill(), 1);
}

TEST(FilterUnknownMode, ActsAsStartTriggersOnlyWithoutAStaleDataCount) {
    RecordingFilter f(Fixed({0xAA}, 2));
    f.Feed({0xAA, 1, 2});
    f.Take();
    f.Settings().CaptureMode = cmLastKnown + 1;
    f.Filter().Reset();
    f.Feed({0xAA, 1, 0xAA});
    EXPECT_EQ(f.Take(), (Blocks{Start({0xAA}), Trash({1}), Start({0xAA})}));
}

}  // namespace
