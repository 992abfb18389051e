// The capture settings record: defaults, deep copies and its settings-file section.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "ZFilter.h"
#include "ZLoggerSettings.h"
#include "ZULIniFile.h"

namespace {

constexpr const char* Section = "_logger_settings";

// Every field away from its default, so that a field that is not written, read or
// copied shows up as a difference.
ZLoggerSettings UnusualSettings() {
    ZLoggerSettings s;
    s.LogDir = "/var/tmp/frames \xC3\xA4/";  // UTF-8: other bytes are refused
    s.TriggerStart = {0x7E, AnyByte, -28, 100000};
    s.TriggerStop = {0x0D, 0x0A};
    s.CaptureMode = cmDynamicSize;
    s.AddTimeStamp = false;
    s.MaxBytesInLogLine = 17;
    s.MaxLinesInLogFile = 999;
    s.ShowHexOutput = false;
    s.ShowASCIIOutput = false;
    s.SeparateHexAndASCII = true;
    s.LogStartTrigger = false;
    s.LogStopTrigger = false;
    s.LogDataField = false;
    s.LogAmountOfTrashedBytes = false;
    s.MaxBytesWithinTriggers = 4096;
    s.BytesAfterTrigger = 12;
    s.StartAmountOfBytes = 1;
    s.AmountOfBytesWidth = 2;
    s.AmountOfBytesMSBFirst = false;
    s.DataTriggers.Add(TTriggerSequence{0x41, AnyByte});
    s.DataTriggers.Add(TTriggerSequence{-1});
    return s;
}

class ScopedEnvironment {
public:
    ScopedEnvironment(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old, hadOld_ = true;
        setenv(name, value, 1);
    }
    ~ScopedEnvironment() { hadOld_ ? setenv(name_, old_.c_str(), 1) : unsetenv(name_); }
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
    const char* name_;
    std::string old_;
    bool hadOld_ = false;
};

TEST(SettingsRecord, DefaultsOfEveryField) {
    ScopedEnvironment home("KESTRUN_HOME", "/srv/kestrun-home");
    ZLoggerSettings s = UnusualSettings();
    s.SetDefaults();
    EXPECT_EQ(s.LogDir, "/srv/kestrun-home/std_log_out/");
    EXPECT_TRUE(s.TriggerStart.empty());
    EXPECT_TRUE(s.TriggerStop.empty());
    EXPECT_EQ(s.CaptureMode, cmAllBytes);
    EXPECT_TRUE(s.AddTimeStamp);
    EXPECT_EQ(s.MaxBytesInLogLine, 32);
    EXPECT_EQ(s.MaxLinesInLogFile, 500);
    EXPECT_TRUE(s.ShowHexOutput);
    EXPECT_TRUE(s.ShowASCIIOutput);
    EXPECT_FALSE(s.SeparateHexAndASCII);
    EXPECT_TRUE(s.LogStartTrigger);
    EXPECT_TRUE(s.LogStopTrigger);
    EXPECT_TRUE(s.LogDataField);
    EXPECT_TRUE(s.LogAmountOfTrashedBytes);
    EXPECT_EQ(s.MaxBytesWithinTriggers, -1);
    EXPECT_EQ(s.BytesAfterTrigger, 0);
    EXPECT_EQ(s.StartAmountOfBytes, 0);
    EXPECT_EQ(s.AmountOfBytesWidth, 1);
    EXPECT_TRUE(s.AmountOfBytesMSBFirst);
    // The data trigger list is not a field SetDefaults touches.
    EXPECT_EQ(s.DataTriggers.GetCount(), 2);
    EXPECT_EQ(ZLoggerSettings().DataTriggers.GetCount(), 0);
}

TEST(SettingsRecord, AssignCopiesDeeplyAndSelfAssignmentChangesNothing) {
    const ZLoggerSettings original = UnusualSettings();
    ZLoggerSettings copy;
    copy.Assign(original);
    EXPECT_EQ(copy, original);
    copy.TriggerStart[0] = 1;
    EXPECT_EQ(original.TriggerStart[0], 0x7E);

    ZLoggerSettings self = UnusualSettings();
    self.Assign(self);
    EXPECT_EQ(self, original);
}

TEST(SettingsFile, TheSectionOfAKnownRecordLineByLine) {
    ZLoggerSettings s;
    s.LogDir = "/logs/";
    s.TriggerStart = {0x0A, AnyByte};
    s.TriggerStop = {-2};
    s.DataTriggers.Add(TTriggerSequence{0x0D, 0x0A});
    s.DataTriggers.Add(TTriggerSequence{AnyByte, -1});
    ZULIniFile ini;
    s.WriteToIni(ini);
    EXPECT_EQ(ini.ToText(),
              "[_logger_settings]\r\n"
              "LogDir=/logs/\r\n"
              "TriggerStartSize=2\r\n"
              "TriggerStart_0=10\r\n"
              "TriggerStart_1=256\r\n"
              "TriggerStopSize=1\r\n"
              "TriggerStop_0=-2\r\n"
              "CaptureMode=0\r\n"
              "AddTimeStamp=1\r\n"
              "MaxBytesInLogLine=32\r\n"
              "MaxLinesInLogFile=500\r\n"
              "ShowHexOutput=1\r\n"
              "ShowASCIIOutput=1\r\n"
              "SeparateHexAndASCII=0\r\n"
              "LogStartTrigger=1\r\n"
              "LogStopTrigger=1\r\n"
              "LogDataField=1\r\n"
              "LogAmountOfTrashedBytes=1\r\n"
              "MaxBytesWithinTriggers=-1\r\n"
              "BytesAfterTrigger=0\r\n"
              "StartAmountOfBytes=0\r\n"
              "AmountOfBytesWidth=1\r\n"
              "AmountOfBytesMSBFirst=1\r\n"
              "[_data_triggers]\r\n"
              "_trigger_0=0000000D0000000A\r\n"
              "_trigger_1=00000100FFFFFFFF\r\n");
}

TEST(SettingsFile, ElementKeysCountInDecimalWithoutLeadingZeros) {
    ZLoggerSettings s;
    s.TriggerStart = TTriggerSequence(11, 0x55);
    s.TriggerStart[10] = 0x66;
    ZULIniFile ini;
    s.WriteToIni(ini);
    EXPECT_EQ(ini.ReadString(Section, "TriggerStart_10", ""), "102");
    EXPECT_FALSE(ini.ValueExists(Section, "TriggerStart_010"));
    EXPECT_FALSE(ini.ValueExists(Section, "TriggerStart_11"));
}

TEST(SettingsFile, WritingReplacesTheWholeOldSection) {
    ZULIniFile ini;
    ini.WriteString(Section, "TriggerStart_5", "1");
    ini.WriteString(Section, "Stale", "x");
    ini.WriteString("_serial_capture", "_settings", "keep");
    ZLoggerSettings().WriteToIni(ini);
    EXPECT_FALSE(ini.ValueExists(Section, "TriggerStart_5"));
    EXPECT_FALSE(ini.ValueExists(Section, "Stale"));
    EXPECT_EQ(ini.ReadString("_serial_capture", "_settings", ""), "keep");
}

TEST(SettingsFile, ARoundTripThroughAFileGivesTheSameRecord) {
    char folderTemplate[] = "/tmp/kestrun_core_XXXXXX";
    ASSERT_NE(mkdtemp(folderTemplate), nullptr);
    const std::string file = std::string(folderTemplate) + "/round.scs";
    const ZLoggerSettings written = UnusualSettings();
    {
        ZULIniFile ini;
        written.WriteToIni(ini);
        ASSERT_TRUE(ini.UpdateFile(file));
    }
    ZLoggerSettings read;
    read.DataTriggers.Add(TTriggerSequence{1, 2, 3});
    read.DataTriggers.Add(TTriggerSequence{4});
    read.DataTriggers.Add(TTriggerSequence{5});
    read.ReadFromIni(ZULIniFile(file));
    std::filesystem::remove_all(folderTemplate);
    EXPECT_EQ(read, written);
}

TEST(SettingsFile, MissingKeysKeepTheFieldsButATriggerWithoutASizeIsEmpty) {
    ZULIniFile ini;
    ini.WriteString(Section, "CaptureMode", "3");
    ZLoggerSettings s = UnusualSettings();
    s.ReadFromIni(ini);
    ZLoggerSettings expected = UnusualSettings();
    expected.TriggerStart.clear();
    expected.TriggerStop.clear();
    expected.CaptureMode = cmBetweenTriggers;
    expected.DataTriggers.Clear();  // an absent section is an empty list
    EXPECT_EQ(s, expected);
}

struct TriggerReadCase {
    const char* name;
    const char* sizeText;
    std::vector<std::pair<std::string, std::string>> elementKeys;
    TTriggerSequence expected;
};

class TriggerReadTest : public ::testing::TestWithParam<TriggerReadCase> {};

TEST_P(TriggerReadTest, ReadsTheStartAndTheStopTriggerAlike) {
    for (const std::string prefix : {"TriggerStart", "TriggerStop"}) {
        ZULIniFile ini;
        ini.WriteString(Section, prefix + "Size", GetParam().sizeText);
        for (const auto& [index, value] : GetParam().elementKeys)
            ini.WriteString(Section, prefix + "_" + index, value);
        ZLoggerSettings s = UnusualSettings();
        s.ReadFromIni(ini);
        EXPECT_EQ(prefix == "TriggerStart" ? s.TriggerStart : s.TriggerStop, GetParam().expected) << prefix;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TriggerReadTest,
    ::testing::Values(
        TriggerReadCase{"MissingElementIsAnyByte", "2", {{"0", "10"}}, {10, AnyByte}},
        TriggerReadCase{"BadElementIsAnyByte", "2", {{"0", "x"}, {"1", "7"}}, {AnyByte, 7}},
        TriggerReadCase{"ElementsKeptUnchanged", "3", {{"0", "-5"}, {"1", "266"}, {"2", "0"}}, {-5, 266, 0}},
        TriggerReadCase{"NegativeSizeIsEmpty", "-3", {{"0", "10"}}, {}},
        TriggerReadCase{"ZeroSizeIsEmpty", "0", {{"0", "10"}}, {}},
        TriggerReadCase{"BadSizeIsEmpty", "two", {{"0", "10"}}, {}},
        TriggerReadCase{"ElementsBeyondTheSizeAreNotRead", "1", {{"0", "1"}, {"1", "2"}}, {1}}),
    [](const auto& caseInfo) { return std::string(caseInfo.param.name); });

TEST(SettingsFile, CaptureModeKeepsItsLowEightBits) {
    for (const auto& [text, mode] : {std::pair{"259", 3}, std::pair{"-1", 255}, std::pair{"2", 2}}) {
        ZULIniFile ini;
        ini.WriteString(Section, "CaptureMode", text);
        ZLoggerSettings s;
        s.ReadFromIni(ini);
        EXPECT_EQ(s.CaptureMode, mode) << text;
    }
}

// A size beyond the filter buffer reads as one element more than the buffer holds:
// such a trigger can never match, exactly like the longer one, and stays small.
TEST(SettingsFile, AHugeTriggerSizeReadsAsATriggerLongerThanTheFilterBuffer) {
    ZULIniFile ini;
    ini.WriteString(Section, "TriggerStartSize", "2000000000");
    ini.WriteString(Section, "TriggerStart_0", "65");
    ini.WriteString(Section, "TriggerStopSize", "16385");
    ini.WriteString(Section, "TriggerStop_16384", "66");
    ZLoggerSettings s;
    s.ReadFromIni(ini);
    ASSERT_EQ(s.TriggerStart.size(), static_cast<size_t>(ZFilter::FilterBufferSize) + 1);
    EXPECT_EQ(s.TriggerStart[0], 65);
    EXPECT_EQ(s.TriggerStart[1], AnyByte);
    EXPECT_EQ(s.TriggerStart.back(), AnyByte);
    ASSERT_EQ(s.TriggerStop.size(), 16385u);
    EXPECT_EQ(s.TriggerStop.back(), 66);
}

}  // namespace
