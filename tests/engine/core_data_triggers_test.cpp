// The data trigger list, its settings-file section and the parser that reports matches.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "ZDataTriggers.h"
#include "ZULIniFile.h"

namespace {

constexpr const char* Section = "_data_triggers";
using Bytes = std::vector<uint8_t>;

std::vector<TTriggerSequence> AllOf(const ZDataTriggers& list) {
    std::vector<TTriggerSequence> all(static_cast<size_t>(list.GetCount()));
    for (int i = 0; i < list.GetCount(); ++i) EXPECT_TRUE(list.Get(i, all[static_cast<size_t>(i)]));
    return all;
}

// Runs one scan and returns the indexes reported, in order.
class ParserScan {
public:
    explicit ParserScan(const std::vector<TTriggerSequence>& triggers)
        : parser_(ZDataTriggers(), [this](const TDateTime& time, int index) {
              reports_.push_back(index);
              times_.push_back(time);
          }) {
        ZDataTriggers list;
        for (const auto& t : triggers) list.Add(t);
        parser_.SetTriggers(list);
    }

    std::vector<int> Scan(const Bytes& data) {
        reports_.clear();
        times_.clear();
        parser_.Scan(data.data(), static_cast<int>(data.size()));
        return reports_;
    }
    const std::vector<TDateTime>& Times() const { return times_; }

private:
    ZDataTriggerParser parser_;
    std::vector<int> reports_;
    std::vector<TDateTime> times_;
};

TEST(DataTriggerList, AddGetDeleteKeepOrderAndCopies) {
    ZDataTriggers list;
    EXPECT_EQ(list.GetCount(), 0);
    int32_t values[] = {1, 2, 3};
    list.Add(values, 3);
    list.Add(values, 1);
    values[0] = 9;
    list.Add(TTriggerSequence{7});
    EXPECT_EQ(AllOf(list), (std::vector<TTriggerSequence>{{1, 2, 3}, {1}, {7}}));
    TTriggerSequence out = {5};
    EXPECT_FALSE(list.Get(3, out));
    EXPECT_FALSE(list.Get(-1, out));
    EXPECT_EQ(out, TTriggerSequence{5});
    EXPECT_FALSE(list.Delete(3));
    EXPECT_FALSE(list.Delete(-1));
    EXPECT_TRUE(list.Delete(1));
    EXPECT_EQ(AllOf(list), (std::vector<TTriggerSequence>{{1, 2, 3}, {7}}));
}

TEST(DataTriggerList, AssignReplacesEverythingAndSelfAssignmentChangesNothing) {
    ZDataTriggers a;
    a.Add(TTriggerSequence{1});
    a.Add(TTriggerSequence{2, 3});
    ZDataTriggers b;
    b.Add(TTriggerSequence{9, 9, 9});
    b.Assign(a);
    EXPECT_EQ(AllOf(b), AllOf(a));
    a.Assign(a);
    EXPECT_EQ(AllOf(a), (std::vector<TTriggerSequence>{{1}, {2, 3}}));
}

TEST(DataTriggerFile, ValuesAreWrittenAsEightUpperCaseHexDigits) {
    ZDataTriggers list;
    list.Add(TTriggerSequence{0x0D, 0x0A});
    list.Add(TTriggerSequence{AnyByte, 0xAB, -1, -2147483647 - 1});
    list.Add(TTriggerSequence{});
    ZULIniFile ini;
    list.SaveToIni(ini);
    EXPECT_EQ(ini.ToText(),
              "[_data_triggers]\r\n"
              "_trigger_0=0000000D0000000A\r\n"
              "_trigger_1=00000100000000ABFFFFFFFF80000000\r\n"
              "_trigger_2=\r\n");
}

TEST(DataTriggerFile, SaveAndLoadGiveTheSameListIncludingEmptyAndLongTriggers) {
    ZDataTriggers list;
    list.Add(TTriggerSequence{0x41, AnyByte, -5, 70000});
    list.Add(TTriggerSequence{});
    TTriggerSequence longOne(3000);
    for (size_t i = 0; i < longOne.size(); ++i) longOne[i] = static_cast<int32_t>(i % 257);
    list.Add(longOne);
    ZULIniFile ini;
    list.SaveToIni(ini);
    ZDataTriggers back;
    back.Add(TTriggerSequence{1});
    back.LoadFromIni(ini);
    EXPECT_EQ(AllOf(back), AllOf(list));
}

TEST(DataTriggerFile, SavingAnEmptyListErasesTheSection) {
    ZULIniFile ini;
    ini.WriteString(Section, "_trigger_0", "00000001");
    ini.WriteString(Section, "other", "x");
    ZDataTriggers().SaveToIni(ini);
    EXPECT_FALSE(ini.SectionExists(Section));
    ZDataTriggers back;
    back.Add(TTriggerSequence{1});
    back.LoadFromIni(ini);
    EXPECT_EQ(back.GetCount(), 0);
}

TEST(DataTriggerFile, TheFirstMissingIndexEndsTheList) {
    ZULIniFile ini;
    ini.WriteString(Section, "_trigger_0", "00000001");
    ini.WriteString(Section, "_trigger_2", "00000002");
    ZDataTriggers list;
    list.LoadFromIni(ini);
    EXPECT_EQ(AllOf(list), (std::vector<TTriggerSequence>{{1}}));
}

struct ValueCase {
    const char* name;
    const char* text;
    TTriggerSequence expected;
};

class DataTriggerValueTest : public ::testing::TestWithParam<ValueCase> {};

TEST_P(DataTriggerValueTest, ReadsGroupsOfEightHexDigits) {
    ZULIniFile ini;
    ini.WriteString(Section, "_Trigger_0", GetParam().text);
    ZDataTriggers list;
    list.LoadFromIni(ini);
    ASSERT_EQ(list.GetCount(), 1);
    EXPECT_EQ(AllOf(list)[0], GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DataTriggerValueTest,
    ::testing::Values(ValueCase{"TwelveDigitsGiveOneValue", "0000004112AB", {0x41}},
                      ValueCase{"NotHexIsZero", "0000004G0000000A", {0, 0x0A}},
                      ValueCase{"LowerCaseHex", "000000ff000001aB", {0xFF, 0x1AB}},
                      ValueCase{"AllFsIsMinusOne", "FFFFFFFF", {-1}},
                      ValueCase{"HighBitIsNegative", "80000000", {-2147483647 - 1}},
                      ValueCase{"SignIsNotAHexDigit", "-0000001+0000001", {0, 0}},
                      ValueCase{"InnerBlankIsNotAHexDigit", "0000 0410000000A", {0, 0x0A}},
                      ValueCase{"PrefixIsNotAHexDigit", "0x0000410000000A", {0, 0x0A}},
                      ValueCase{"ShortIsEmpty", "0000041", {}}, ValueCase{"EmptyIsEmpty", "", {}}),
    [](const auto& caseInfo) { return std::string(caseInfo.param.name); });

TEST(DataTriggerParser, OverlappingOccurrencesAreAllReported) {
    ParserScan scan({{0x41, 0x41}});
    EXPECT_EQ(scan.Scan({0x41, 0x41, 0x41}), (std::vector<int>{0, 0}));
    EXPECT_EQ(scan.Scan({0x41, 0x41, 0x41, 0x41}), (std::vector<int>{0, 0, 0}));
    EXPECT_EQ(scan.Scan({0x41, 0x42, 0x41}), (std::vector<int>{}));
}

TEST(DataTriggerParser, ATriggerLongerThanTheFieldIsNeverReported) {
    ParserScan scan({{1, 2, 3}, {AnyByte, AnyByte, AnyByte}});
    EXPECT_TRUE(scan.Scan({1, 2}).empty());
    EXPECT_TRUE(scan.Scan({}).empty());
}

TEST(DataTriggerParser, AllAnyBytesAreReportedAtEveryOffset) {
    ParserScan scan({{AnyByte, AnyByte}});
    EXPECT_EQ(scan.Scan({5, 6, 7, 8, 9}).size(), 4u);
}

TEST(DataTriggerParser, LowerIndexesComeFirstAndShareTheScansTime) {
    ParserScan scan({{0x0A}, {0x0B}, {0x0C, AnyByte}});
    EXPECT_EQ(scan.Scan({0x0B, 0x0A, 0x0C, 0x0B, 0x0A, 0x0C}), (std::vector<int>{0, 0, 1, 1, 2}));
    for (const TDateTime time : scan.Times()) EXPECT_EQ(time, scan.Times().front());
    EXPECT_GT(scan.Times().front(), 40000.0);  // a day count of this century
}

TEST(DataTriggerParser, BytesAreComparedExactlyAndByTheLowEightBits) {
    ParserScan scan({{0x61}, {0x141}, {-191}});
    EXPECT_EQ(scan.Scan({0x41}), (std::vector<int>{1, 2}));
}

TEST(DataTriggerParser, AnEmptyTriggerIsNeverReportedAndKeepsItsPlace) {
    ParserScan scan({{}, {0x42}});
    EXPECT_EQ(scan.Scan({0x42, 0x42}), (std::vector<int>{1, 1}));
}

TEST(DataTriggerParser, TriggersLongerThanAnyWorkingBufferMatchExactly) {
    TTriggerSequence trigger(3000);
    Bytes field(4000);
    for (size_t i = 0; i < field.size(); ++i) field[i] = static_cast<uint8_t>((i * 7 + i / 251) & 0xFF);
    for (size_t i = 0; i < trigger.size(); ++i) trigger[i] = field[500 + i];
    trigger[100] = AnyByte;
    TTriggerSequence spoiled = trigger;
    spoiled[2999] ^= 1;  // differs from the field only in its last value
    ParserScan scan({trigger, spoiled});
    EXPECT_EQ(scan.Scan(field), (std::vector<int>{0}));
}

}  // namespace
