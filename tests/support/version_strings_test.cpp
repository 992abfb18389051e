#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <filesystem>
#include <string>

#include "Funset_strings.h"
#include "TestFiles.h"
#include "VerInfo.h"

namespace {

void ExpectProgramTexts(const VerInfo& info) {
    EXPECT_EQ(info.GetVersionString(0), "Kestrun");
    EXPECT_EQ(info.GetVersionString(1), "Kestrun serial capture and parsing tool");
    EXPECT_EQ(info.GetVersionString(3), "kestrun");
    EXPECT_EQ(info.GetVersionString(4), "");
    EXPECT_EQ(info.GetVersionString(5), "");
    EXPECT_EQ(info.GetVersionString(6), "kestrun");
    EXPECT_EQ(info.GetVersionString(7), "Kestrun");
    EXPECT_EQ(info.GetVersionString(9), "");
    // The file version is the product version with a fourth part.
    const std::string fileVersion = info.GetVersionString(2);
    const std::string productVersion = info.GetVersionString(8);
    EXPECT_EQ(std::count(productVersion.begin(), productVersion.end(), '.'), 2) << productVersion;
    EXPECT_EQ(productVersion.find_first_not_of("0123456789."), std::string::npos) << productVersion;
    EXPECT_EQ(fileVersion, productVersion + ".0");
}

TEST(VerInfo, RunningProgramHasItsCompiledInTexts) {
    ExpectProgramTexts(VerInfo());
    ExpectProgramTexts(VerInfo("/proc/self/exe"));
    ExpectProgramTexts(VerInfo(std::filesystem::read_symlink("/proc/self/exe").string()));
}

TEST(VerInfo, MissingFileFallsBackToTheRunningProgram) {
    ExpectProgramTexts(VerInfo("/no/such/file/kestrun.exe"));
}

TEST(VerInfo, LinkToTheProgramIsTheProgram) {
    ScratchDir scratch;
    std::filesystem::create_symlink(std::filesystem::read_symlink("/proc/self/exe"), scratch.File("link"));
    ExpectProgramTexts(VerInfo(scratch.File("link")));
}

TEST(VerInfo, OtherExistingFileHasNoTexts) {
    ScratchDir scratch;
    WriteBytes(scratch.File("other.bin"), "not a program");
    const VerInfo info(scratch.File("other.bin"));
    for (int i = -1; i <= 10; ++i) EXPECT_EQ(info.GetVersionString(i), "") << i;
}

TEST(VerInfo, IndexOutsideTheTableGivesTheFileVersion) {
    const VerInfo info;
    const std::string fileVersion = info.GetVersionString(2);
    ASSERT_FALSE(fileVersion.empty());
    for (int index : {-1, 10, 12, INT_MIN, INT_MAX})
        EXPECT_EQ(info.GetVersionString(index), fileVersion) << index;
}

TEST(StringHelpers, CopyToNewBufferCopiesEveryByteAndTerminates) {
    const std::string text("a\0b", 3);
    const auto copy = CopyToNewBuffer(text);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(std::memcmp(copy.get(), "a\0b\0", 4), 0);
    EXPECT_NE(static_cast<const void*>(copy.get()), static_cast<const void*>(text.data()));
    const auto empty = CopyToNewBuffer("");
    EXPECT_EQ(empty[0], '\0');
}

TEST(StringHelpers, ErrorTextsAreTheSystemMessages) {
    EXPECT_EQ(GetErrorText(ENOENT), "No such file or directory");
    EXPECT_EQ(GetErrorText(ENOSPC), "No space left on device");
    EXPECT_FALSE(GetErrorText(123456).empty());
    errno = EACCES;
    EXPECT_EQ(GetLastErrorText(), "Permission denied");
}

}  // namespace
