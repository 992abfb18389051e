// The log folder from a settings file: control characters are refused when the
// file is loaded, and the writer's search for a free file name always ends.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "TestFiles.h"
#include "ZLogFileManager.h"
#include "ZLoggerSettings.h"
#include "ZULErrorHistory.h"
#include "ZULIniFile.h"

namespace {

using namespace std::string_literals;

struct LogDirCase {
    const char* name;
    std::string logDir;
    std::string refusal;  // empty: accepted
};

class LogDirTest : public ::testing::TestWithParam<LogDirCase> {};

TEST_P(LogDirTest, ControlCharactersAreRefusedWhenLoading) {
    const LogDirCase& c = GetParam();
    ScratchDir dir;
    const std::string file = dir.File("logdir.scs");
    WriteBytes(file, "[_logger_settings]\r\nLogDir="s + c.logDir + "\r\nMaxLinesInLogFile=77\r\n");
    const ZULIniFile ini(file);
    std::string errorText;
    EXPECT_EQ(ZLoggerSettings::CheckIni(ini, errorText), c.refusal.empty());
    EXPECT_EQ(errorText,
              c.refusal.empty() ? "" : "The settings in file \"logdir.scs\" cannot be used: " + c.refusal);

    ZLoggerSettings settings;
    settings.LogDir = "/before/";
    settings.ReadFromIni(ini);
    // Whoever reads without checking still never takes such a folder.
    EXPECT_EQ(settings.LogDir, c.refusal.empty() ? c.logDir : "/before/");
    EXPECT_EQ(settings.MaxLinesInLogFile, 77);
}

const std::string ControlText = "The log directory contains the control character ";

INSTANTIATE_TEST_SUITE_P(
    Folders, LogDirTest,
    ::testing::Values(
        LogDirCase{"Plain", "/var/log/kestrun/", ""},
        LogDirCase{"BlanksAndUtf8", "/home/u/Mess daten \xC3\xA4/", ""},
        LogDirCase{"Nul", "/tmp/a\0b/"s, ControlText + "0x00, which a folder name cannot hold"},
        LogDirCase{"Escape", "/tmp/\x1b[31m/", ControlText + "0x1B, which a folder name cannot hold"},
        LogDirCase{"CarriageReturn", "/tmp/a\rb/", ControlText + "0x0D, which a folder name cannot hold"},
        LogDirCase{"Delete", "/tmp/\x7f/", ControlText + "0x7F, which a folder name cannot hold"}),
    [](const ::testing::TestParamInfo<LogDirCase>& param) { return std::string(param.param.name); });

// A folder name with a NUL cuts every file name built from it at the same place:
// an existing folder, so every name seems taken. The writer gives up on that file
// instead of searching for ever.
TEST(LogWriterNames, TheSearchForAFreeNameIsBounded) {
    ScratchDir dir;
    std::filesystem::create_directory(dir.File("cut"));
    ZLoggerSettings settings;
    settings.LogDir = dir.File("cut") + "\0/"s;
    TZULErrorHistory errors;
    ZLogFileManager writer(&settings, &errors);
    const uint8_t bytes[] = {1, 2, 3};
    writer.LogBlock(bytes, 3, 45000.5, 1);
    writer.Flush();
    EXPECT_TRUE(writer.TakeWrittenFiles().empty());
    EXPECT_EQ(writer.TakeFailedFileCount(), 1u);
    EXPECT_EQ(writer.TakeFailedFileCount(), 0u);
    ASSERT_EQ(errors.GetCount(), 1);
    EXPECT_EQ(errors.GetLatestError().Function, "WriteLogFile");
    std::string gaveUp = std::to_string(ZLogFileManager::MaxTakenNames);
    gaveUp.append(" names in a row were taken");
    EXPECT_NE(errors.GetLatestError().Error.find(gaveUp), std::string::npos) << errors.GetLatestError().Error;
    EXPECT_TRUE(std::filesystem::is_empty(dir.File("cut")));
}

}  // namespace
