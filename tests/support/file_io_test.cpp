#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TestFiles.h"
#include "ZULFileIO.h"

namespace {

using Lines = std::vector<std::string>;
using namespace std::string_literals;

void ExpectLatestError(const TZULFileIO& io, const std::string& function, const std::string& text) {
    const TZULError error = io.GetLatestError();
    EXPECT_EQ(error.Module, "ZULFileIO");
    EXPECT_EQ(error.Function, function);
    EXPECT_EQ(error.Error, text);
}

class FileIOTest : public ::testing::Test {
protected:
    ScratchDir dir_;
    TZULFileIO io_;
};

TEST_F(FileIOTest, WritesEveryLineWithCrLfAndNothingElse) {
    const Lines lines{"first", "", "x\ty z", ""};
    ASSERT_TRUE(io_.WriteFile(dir_.File("out.txt"), &lines));
    EXPECT_EQ(ReadBytes(dir_.File("out.txt")), "first\r\n\r\nx\ty z\r\n\r\n");
    EXPECT_TRUE(io_.GetLatestError().IsEmpty());
}

TEST_F(FileIOTest, EmptyListGivesEmptyFileAndTruncatesOldContent) {
    WriteBytes(dir_.File("old.txt"), "old content that must go\r\n");
    const Lines none;
    ASSERT_TRUE(io_.WriteFile(dir_.File("old.txt"), &none));
    EXPECT_TRUE(std::filesystem::exists(dir_.File("old.txt")));
    EXPECT_EQ(std::filesystem::file_size(dir_.File("old.txt")), 0u);
}

// A line may hold any byte but LF. (A line that ends in an odd number of CRs is the one
// exception: written with CR LF, its last CR pairs with the CR of the line end and reads back
// as part of the line, see CrBeforeCrStaysWithIt below.)
TEST_F(FileIOTest, RoundTripKeepsEveryByteExceptLineFeed) {
    std::string allBytes;
    for (int b = 0; b < 256; ++b)
        if (b != '\n') allBytes += static_cast<char>(b);
    const Lines lines{allBytes, "", "\0"s, "\0\0mid\0"s, "two crs\r\r", "\r\r", "\r\rx", "", "a\rb"};
    ASSERT_TRUE(io_.WriteFile(dir_.File("rt.txt"), &lines));
    Lines read{"stale"};
    ASSERT_TRUE(io_.ReadFile(dir_.File("rt.txt"), &read));
    EXPECT_EQ(read, lines);
}

TEST_F(FileIOTest, RoundTripOfLargeFileAcrossBufferBoundaries) {
    Lines lines;
    for (int i = 0; i < 20000; ++i) lines.push_back(std::string(static_cast<size_t>(i % 97), 'a' + i % 26));
    lines.push_back(std::string(600 * 1024, 'L'));  // longer than any internal buffer
    lines.push_back("after the long line");
    std::string expected;
    for (const auto& line : lines) expected += line + "\r\n";

    ASSERT_TRUE(io_.WriteFile(dir_.File("big.txt"), &lines));
    ASSERT_EQ(ReadBytes(dir_.File("big.txt")), expected);
    Lines read;
    ASSERT_TRUE(io_.ReadFile(dir_.File("big.txt"), &read));
    EXPECT_EQ(read, lines);
}

struct ReadCase {
    const char* name;
    std::string bytes;
    Lines expected;
};

class FileIOReadTest : public FileIOTest, public ::testing::WithParamInterface<ReadCase> {};

TEST_P(FileIOReadTest, SplitsBytesIntoLines) {
    WriteBytes(dir_.File("in.txt"), GetParam().bytes);
    Lines read{"stale"};
    ASSERT_TRUE(io_.ReadFile(dir_.File("in.txt"), &read));
    EXPECT_EQ(read, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Lines, FileIOReadTest,
                         ::testing::Values(ReadCase{"Empty", "", {}},
                                           ReadCase{"LfOnly", "a\nb\n\nc\n", {"a", "b", "", "c"}},
                                           ReadCase{"CrLf", "a\r\nb\r\n\r\nc\r\n", {"a", "b", "", "c"}},
                                           ReadCase{"Mixed", "a\r\nb\n\r\n\n", {"a", "b", "", ""}},
                                           ReadCase{"CrInsideLine", "a\rb\r\n", {"a\rb"}},
                                           ReadCase{"CrBeforeCrStaysWithIt", "a\r\r\n", {"a\r\r"}},
                                           ReadCase{"OddCrRunEndsLine", "a\r\r\r\n", {"a\r\r"}},
                                           ReadCase{"CrPairsThenCrLf", "\r\rx\r\n", {"\r\rx"}},
                                           ReadCase{"NulBytes", "\0a\0\n\0\n"s, {"\0a\0"s, "\0"s}},
                                           ReadCase{"LastLineWithoutLfDropped", "a\nbc", {"a"}},
                                           ReadCase{"OnlyUnterminatedText", "abc", {}},
                                           ReadCase{"TrailingCrDropped", "a\r\n\r", {"a"}},
                                           ReadCase{"CrLfSplitAcrossReadBlocks",
                                                    std::string(256 * 1024 - 1, 'x') + "\r\ny\n",
                                                    {std::string(256 * 1024 - 1, 'x'), "y"}},
                                           ReadCase{"CrPairSplitAcrossReadBlocks",
                                                    std::string(256 * 1024 - 1, 'x') + "\r\r\r\n",
                                                    {std::string(256 * 1024 - 1, 'x') + "\r\r"}}),
                         [](const ::testing::TestParamInfo<ReadCase>& param) {
                             return std::string(param.param.name);
                         });

TEST_F(FileIOTest, MissingListIsRefusedByBothOperations) {
    EXPECT_FALSE(io_.WriteFile(dir_.File("w.txt"), nullptr));
    ExpectLatestError(io_, "WriteFile", "Invalid TStringList pointer given!");
    EXPECT_FALSE(std::filesystem::exists(dir_.File("w.txt")));
    EXPECT_FALSE(io_.ReadFile(dir_.File("w.txt"), nullptr));
    ExpectLatestError(io_, "ReadFile", "Invalid TStringList pointer given!");
}

TEST_F(FileIOTest, MissingFileEmptiesListAndRecordsOpenFailure) {
    const std::string name = dir_.File("does_not_exist.txt");
    Lines read{"left over"};
    EXPECT_FALSE(io_.ReadFile(name, &read));
    EXPECT_TRUE(read.empty());
    ExpectLatestError(io_, "ReadFile", "Could not open '" + name + "' for reading");
}

TEST_F(FileIOTest, DirectoryCannotBeOpenedForReading) {
    Lines read{"left over"};
    EXPECT_FALSE(io_.ReadFile(dir_.Path(), &read));
    EXPECT_TRUE(read.empty());
    ExpectLatestError(io_, "ReadFile", "Could not open '" + dir_.Path() + "' for reading");
}

TEST_F(FileIOTest, UnwritablePathRecordsOpenFailure) {
    const std::string name = dir_.File("no_such_folder/out.txt");
    const Lines lines{"a"};
    EXPECT_FALSE(io_.WriteFile(name, &lines));
    ExpectLatestError(io_, "WriteFile", "Could not open '" + name + "' for writing");
}

TEST_F(FileIOTest, SuccessAfterFailureAddsNoEntry) {
    const Lines lines{"a"};
    EXPECT_FALSE(io_.WriteFile(dir_.File("none/x.txt"), &lines));
    ASSERT_TRUE(io_.WriteFile(dir_.File("ok.txt"), &lines));
    Lines read;
    ASSERT_TRUE(io_.ReadFile(dir_.File("ok.txt"), &read));
    ExpectLatestError(io_, "WriteFile", "Could not open '" + dir_.File("none/x.txt") + "' for writing");
}

TEST_F(FileIOTest, FullDiskIsAFailureNotASuccess) {
    if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full on this system";
    const Lines lines{"some text that cannot be stored"};
    EXPECT_FALSE(io_.WriteFile("/dev/full", &lines));
    ExpectLatestError(io_, "WriteFile", "Could not write '/dev/full': No space left on device");
}

TEST_F(FileIOTest, ReadErrorIsAFailureNotTheEndOfTheFile) {
    // Reading a process's memory from address 0 opens fine and then fails with EIO.
    Lines read;
    EXPECT_FALSE(io_.ReadFile("/proc/self/mem", &read));
    ExpectLatestError(io_, "ReadFile", "Could not read '/proc/self/mem': Input/output error");
}

// ---- Text written as it stands, optionally only into a new file ----

TEST_F(FileIOTest, WriteTextWritesTheBytesAsTheyStand) {
    WriteBytes(dir_.File("t.txt"), "older and longer content");
    ASSERT_TRUE(io_.WriteText(dir_.File("t.txt"), "a\r\nb\n\0c"s));
    EXPECT_EQ(ReadBytes(dir_.File("t.txt")), "a\r\nb\n\0c"s);
}

TEST_F(FileIOTest, WriteNewTextNeverTouchesAnExistingEntry) {
    WriteBytes(dir_.File("kept.txt"), "kept");
    std::filesystem::create_symlink(dir_.File("nowhere"), dir_.File("dangling.txt"));
    for (const char* name : {"kept.txt", "dangling.txt"}) {
        bool nameTaken = false;
        EXPECT_FALSE(io_.WriteNewText(dir_.File(name), "new", nameTaken)) << name;
        EXPECT_TRUE(nameTaken) << name;
    }
    EXPECT_EQ(ReadBytes(dir_.File("kept.txt")), "kept");
    EXPECT_FALSE(std::filesystem::exists(dir_.File("nowhere"))) << "nothing created through the link";
    EXPECT_TRUE(io_.GetLatestError().IsEmpty()) << "a taken name is no error";

    bool nameTaken = true;
    ASSERT_TRUE(io_.WriteNewText(dir_.File("fresh.txt"), "new", nameTaken));
    EXPECT_FALSE(nameTaken);
    EXPECT_EQ(ReadBytes(dir_.File("fresh.txt")), "new");
}

TEST_F(FileIOTest, WriteNewTextIntoAMissingFolderIsAnOpenFailure) {
    const std::string name = dir_.File("no_such_folder/out.txt");
    bool nameTaken = true;
    EXPECT_FALSE(io_.WriteNewText(name, "x", nameTaken));
    EXPECT_FALSE(nameTaken);
    ExpectLatestError(io_, "WriteFile", "Could not open '" + name + "' for writing");
}

}  // namespace
