// Trigger helpers: matching a sequence against bytes and rendering bytes and sequences.

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "TriggerSequence.h"

namespace {

using Bytes = std::vector<uint8_t>;

int Find(const Bytes& bytes, const TTriggerSequence& trigger) {
    return FindTrigger(bytes.data(), static_cast<int>(bytes.size()), trigger.data(),
                       static_cast<int>(trigger.size()));
}

// The plain left-to-right scan, written independently of the code under test.
int ReferenceFind(const Bytes& bytes, const TTriggerSequence& trigger) {
    const size_t n = trigger.size();
    if (bytes.size() < n) return -1;
    for (size_t p = 0; p + n <= bytes.size(); ++p) {
        bool all = true;
        for (size_t k = 0; k < n && all; ++k) all = trigger[k] == 256 || bytes[p + k] == (trigger[k] & 0xFF);
        if (all) return static_cast<int>(p);
    }
    return -1;
}

struct FindCase {
    const char* name;
    Bytes bytes;
    TTriggerSequence trigger;
    int expected;
};

class FindTriggerTest : public ::testing::TestWithParam<FindCase> {};

TEST_P(FindTriggerTest, FindsTheEarliestMatch) {
    EXPECT_EQ(Find(GetParam().bytes, GetParam().trigger), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FindTriggerTest,
    ::testing::Values(FindCase{"AnyByteAfterFixed", {0x01, 0x0A, 0x0A, 0x05}, {10, AnyByte}, 1},
                      FindCase{"TooFewBytes", {0x0A}, {10, AnyByte}, -1},
                      FindCase{"EmptyTriggerAtZero", {0x01, 0x02}, {}, 0},
                      FindCase{"EmptyTriggerNoBytes", {}, {}, 0}, FindCase{"NoBytes", {}, {1}, -1},
                      FindCase{"LowEightBitsOfAWideElement", {0x00, 0x0A}, {266}, 1},
                      FindCase{"NegativeElementByItsLowByte", {0x10, 0xE4}, {-28}, 1},
                      FindCase{"ElementWithLowByteZeroIsNotAnyByte", {0x05, 0x00}, {512}, 1},
                      FindCase{"OnlyAnyBytesMatchAtZero", {9, 9, 9}, {AnyByte, AnyByte}, 0},
                      FindCase{"LeadingAnyByteShiftsTheAnchor", {0x41, 0x42, 0x43}, {AnyByte, 0x43}, 1},
                      FindCase{"LeadingAnyByteCannotStartBeforeZero", {0x43, 0x43}, {AnyByte, 0x43}, 0},
                      FindCase{"OverlappingCandidates", {0x41, 0x41, 0x41, 0x42}, {0x41, 0x41, 0x42}, 1},
                      FindCase{"MatchAtTheVeryEnd", {1, 2, 3, 4}, {3, 4}, 2},
                      FindCase{"AnchorByteBeyondTheLastStart", {1, 2, 3, 7}, {2, 7}, -1},
                      FindCase{"WholeBufferIsTheTrigger", {7, 8}, {7, 8}, 0}),
    [](const auto& caseInfo) { return std::string(caseInfo.param.name); });

TEST(FindTriggerRandom, AgreesWithAPlainScan) {
    for (unsigned seed = 1; seed <= 400; ++seed) {
        std::mt19937 random(seed);
        Bytes bytes(random() % 64);
        for (auto& b : bytes) b = static_cast<uint8_t>(random() % 3);
        TTriggerSequence trigger(1 + random() % 4);
        for (auto& e : trigger) e = random() % 4 == 0 ? AnyByte : static_cast<int32_t>(random() % 3);
        ASSERT_EQ(Find(bytes, trigger), ReferenceFind(bytes, trigger)) << "seed " << seed;
    }
}

TEST(MatchAt, ComparesEveryElementUnlessAnyByte) {
    const Bytes bytes = {0x0A, 0xFF, 0x30};
    const TTriggerSequence exact = {0x0A, 0xFF, 0x30};
    const TTriggerSequence wild = {AnyByte, 0xFF, AnyByte};
    const TTriggerSequence wrongLast = {0x0A, 0xFF, 0x31};
    EXPECT_TRUE(MatchAt(bytes.data(), exact.data(), 3));
    EXPECT_TRUE(MatchAt(bytes.data(), wild.data(), 3));
    EXPECT_FALSE(MatchAt(bytes.data(), wrongLast.data(), 3));
    EXPECT_TRUE(MatchAt(bytes.data(), wrongLast.data(), 2));
    EXPECT_TRUE(MatchAt(bytes.data(), nullptr, 0));
}

TEST(Rendering, BytesAsHexAndAscii) {
    const Bytes three = {0x0A, 0x1E, 0xFF};
    EXPECT_EQ(BytesToHex(three.data(), 3), "0A 1E FF");
    EXPECT_EQ(BytesToHex(three.data(), 0), "");
    const Bytes text = {0x41, 0x7F, 0xE4, 0x0D, 0x20, 0x7E, 0x1F};
    EXPECT_EQ(BytesToAscii(text.data(), 7), "A... ~.");
    EXPECT_EQ(BytesToAscii(text.data(), 0), "");
}

TEST(Rendering, TriggersRenderAnyByteAsZero) {
    EXPECT_EQ(TriggerToHex(TTriggerSequence{10, AnyByte, 30}), "0A ?? 1E");
    EXPECT_EQ(TriggerToAscii(TTriggerSequence{65, AnyByte}), "A.");
    EXPECT_EQ(TriggerToHex(TTriggerSequence{266, -28, 512}), "0A E4 00");
    EXPECT_EQ(TriggerToAscii(TTriggerSequence{-191}), "A");
    EXPECT_EQ(TriggerToHex(TTriggerSequence{}), "");
}

TEST(Rendering, LongTriggersAreRenderedInFull) {
    const TTriggerSequence trigger(20000, 0x41);
    EXPECT_EQ(TriggerToAscii(trigger), std::string(20000, 'A'));
    EXPECT_EQ(TriggerToHex(trigger).size(), 20000u * 3 - 1);
}

}  // namespace
