#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "TestFiles.h"
#include "ZULFileIO.h"
#include "ZULIniFile.h"

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

TEST_F(FileIOTest, AFailedWriteIsAFailureNotASuccess) {
    const Lines lines{std::string(4096, 'x')};
    const std::string name = dir_.File("limited.txt");
    {
        FileSizeLimit limit(100);
        EXPECT_FALSE(io_.WriteFile(name, &lines));
    }
    ExpectLatestError(io_, "WriteFile", "Could not write '" + name + "': File too large");
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

TEST_F(FileIOTest, AFailedWriteOfANewFileLeavesNoCutOffFile) {
    const std::string name = dir_.File("new.txt");
    bool nameTaken = true;
    {
        FileSizeLimit limit(100);
        EXPECT_FALSE(io_.WriteNewText(name, std::string(4096, 'x'), nameTaken));
    }
    EXPECT_FALSE(nameTaken);
    EXPECT_FALSE(std::filesystem::exists(name));
    ExpectLatestError(io_, "WriteFile", "Could not write '" + name + "': File too large");
}

TEST_F(FileIOTest, WriteNewTextIntoAMissingFolderIsAnOpenFailure) {
    const std::string name = dir_.File("no_such_folder/out.txt");
    bool nameTaken = true;
    EXPECT_FALSE(io_.WriteNewText(name, "x", nameTaken));
    EXPECT_FALSE(nameTaken);
    ExpectLatestError(io_, "WriteFile", "Could not open '" + name + "' for writing");
}

// ---- Only regular files: nothing blocks, nothing grows without bound ----

// Each case makes the name "entry" in a scratch folder stand for something that is
// not a regular file. Before any of this was checked, a pipe blocked the open for
// ever and a link to /dev/zero read until the memory ran out.
struct HostileEntry {
    const char* name;
    std::function<void(const std::string& path)> make;
};

void MakeFifo(const std::string& path) {
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
}

const HostileEntry HostileEntries[] = {
    {"Fifo", MakeFifo},
    {"Folder", [](const std::string& path) { ASSERT_TRUE(std::filesystem::create_directory(path)); }},
    {"LinkToDevZero", [](const std::string& path) { std::filesystem::create_symlink("/dev/zero", path); }},
    {"LinkToFifo",
     [](const std::string& path) {
         MakeFifo(path + ".fifo");
         std::filesystem::create_symlink(path + ".fifo", path);
     }},
};

class HostileEntryTest : public ::testing::TestWithParam<HostileEntry> {
protected:
    void SetUp() override { GetParam().make(entry_); }
    ScratchDir dir_;
    const std::string entry_ = dir_.File("entry");
};

TEST_P(HostileEntryTest, IsRefusedForReadingAtOnce) {
    Lines read{"left over"};
    TZULFileIO io;
    EXPECT_FALSE(io.ReadFile(entry_, &read));
    EXPECT_TRUE(read.empty());
    ExpectLatestError(io, "ReadFile", "Could not open '" + entry_ + "' for reading");
    std::string text = "left over";
    errno = 0;
    EXPECT_FALSE(ZULReadRegularFile(entry_, 1 << 20, text));
    EXPECT_TRUE(text.empty());
    EXPECT_NE(errno, 0);
}

TEST_P(HostileEntryTest, IsAnEmptyProfile) {
    const ZULIniFile ini(entry_);
    EXPECT_EQ(ini.ToText(), "");
}

TEST_P(HostileEntryTest, IsRefusedForWritingAtOnce) {
    const Lines lines{"a"};
    TZULFileIO io;
    EXPECT_FALSE(io.WriteFile(entry_, &lines));
    ExpectLatestError(io, "WriteFile", "Could not open '" + entry_ + "' for writing");
}

INSTANTIATE_TEST_SUITE_P(Entries, HostileEntryTest, ::testing::ValuesIn(HostileEntries),
                         [](const ::testing::TestParamInfo<HostileEntry>& param) {
                             return std::string(param.param.name);
                         });

TEST_F(FileIOTest, WritingThroughALinkNeverReachesItsTarget) {
    WriteBytes(dir_.File("victim.txt"), "private");
    std::filesystem::create_symlink(dir_.File("victim.txt"), dir_.File("planted.txt"));
    const Lines lines{"overwritten"};
    EXPECT_FALSE(io_.WriteFile(dir_.File("planted.txt"), &lines));
    EXPECT_EQ(ReadBytes(dir_.File("victim.txt")), "private");
}

TEST_F(FileIOTest, AProfileOfMoreThan16MegabytesIsAnEmptyProfile) {
    const std::string name = dir_.File("huge.scs");
    WriteBytes(name, "[_serial_capture]\r\n_settings=x\r\n");
    ASSERT_TRUE(ZULIniFile(name).ValueExists("_serial_capture", "_settings"));
    // Sparse: no disk space is used.
    ASSERT_EQ(::truncate(name.c_str(), 16 * 1024 * 1024 + 1), 0);
    EXPECT_FALSE(ZULIniFile(name).ValueExists("_serial_capture", "_settings"));
    ASSERT_EQ(::truncate(name.c_str(), 16 * 1024 * 1024), 0);
    EXPECT_TRUE(ZULIniFile(name).ValueExists("_serial_capture", "_settings"));
}

TEST_F(FileIOTest, AWholeFileIsReadUpToItsLimitAndRefusedBeyond) {
    const std::string name = dir_.File("sized.bin");
    WriteBytes(name, std::string(1000, 'a') + "\0z"s);
    std::string text;
    ASSERT_TRUE(ZULReadRegularFile(name, 1002, text));
    EXPECT_EQ(text, std::string(1000, 'a') + "\0z"s);
    errno = 0;
    EXPECT_FALSE(ZULReadRegularFile(name, 1001, text));
    EXPECT_EQ(errno, EFBIG);
    EXPECT_TRUE(text.empty());
}

}  // namespace
