#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "TestFiles.h"
#include "TriggerSequence.h"
#include "ZFilter.h"
#include "ZLogFileManager.h"
#include "ZLoggerSettings.h"
#include "ZULDateTime.h"
#include "ZULErrorHistory.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;
using Lines = std::vector<std::string>;

// Header lines carry the locale's long time format; the C locale gives HH:MM:SS. The
// locale is taken from the environment at the first time format of the process.
class CTimeLocale : public ::testing::Environment {
public:
    void SetUp() override {
        setenv("LC_ALL", "C", 1);
        setenv("LC_TIME", "C", 1);
    }
};
const auto* const cTimeLocale = ::testing::AddGlobalTestEnvironment(new CTimeLocale);

const TDateTime At140509 = ZULEncodeDateTime({2005, 3, 7, 14, 5, 9, 0});

// Polls until done() holds; only a fault ever reaches the generous limit.
bool WaitUntilTrue(const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

Bytes BytesOf(const std::string& text) {
    return Bytes(text.begin(), text.end());
}

// The lines of a file in which every line must end with CR LF.
Lines LinesOf(const std::string& path) {
    const std::string bytes = ReadBytes(path);
    Lines lines;
    size_t begin = 0;
    for (size_t end; (end = bytes.find("\r\n", begin)) != std::string::npos; begin = end + 2) {
        lines.push_back(bytes.substr(begin, end - begin));
    }
    EXPECT_EQ(begin, bytes.size()) << path << " does not end with CR LF";
    return lines;
}

// The cutting rule taken literally: full lines take 3N-1 characters, then 3N are removed.
Lines CutByRule(std::string text, int length, int n, const std::string& prefix) {
    Lines lines;
    for (int rest = length; rest >= n; rest -= n) {
        lines.push_back(prefix + text.substr(0, 3 * n - 1));
        text.erase(0, std::min<size_t>(text.size(), 3 * n));
    }
    if (!text.empty()) lines.push_back(prefix + text);
    return lines;
}

// Two blanks after every character but the last.
std::string SpreadAscii(const Bytes& bytes) {
    std::string spread;
    for (const char c : BytesToAscii(bytes.data(), static_cast<int>(bytes.size()))) {
        if (!spread.empty()) spread += "  ";
        spread += c;
    }
    return spread;
}

class LogWriterTest : public ::testing::Test {
protected:
    void SetUp() override {
        static int counter = 0;
        dir_ = fs::temp_directory_path() /
               ("kestrun-logwriter-" + std::to_string(getpid()) + "-" + std::to_string(counter++));
        fs::create_directories(dir_);
        settings_.LogDir = dir_.string() + "/";
        writer_ = std::make_unique<ZLogFileManager>(&settings_, &errors_);
    }
    void TearDown() override {
        writer_.reset();
        fs::remove_all(dir_);
    }

    void Log(const Bytes& bytes, uint8_t kind = bkData) {
        writer_->LogBlock(bytes.data(), static_cast<int>(bytes.size()), At140509, kind);
    }
    // Flushes and returns the contents of every file written since the last call.
    std::vector<Lines> FlushAndReadFiles() {
        writer_->Flush();
        std::vector<Lines> files;
        for (const std::string& path : writer_->TakeWrittenFiles()) files.push_back(LinesOf(path));
        return files;
    }
    size_t EntriesInDir() const {
        return static_cast<size_t>(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()));
    }

    fs::path dir_;
    ZLoggerSettings settings_;
    TZULErrorHistory errors_;
    std::unique_ptr<ZLogFileManager> writer_;
};

TEST_F(LogWriterTest, WorkedExampleComesOutByteForByte) {
    settings_.MaxBytesInLogLine = 8;
    Log({0x48, 0x65, 0x6C, 0x6C, 0x6F, 0x0D, 0x0A, 0x41, 0x42, 0x43, 0x44});
    writer_->Flush();
    const auto files = writer_->TakeWrittenFiles();
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(fs::path(files[0]).parent_path(), dir_);
    EXPECT_EQ(ReadBytes(files[0]),
              "~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~\r\n"
              "Data received at 14:05:09 (11 bytes)\r\n"
              "HEX:   48 65 6C 6C 6F 0D 0A 41\r\n"
              "HEX:   42 43 44\r\n"
              "ASCII: H  e  l  l  o  .  .  A \r\n"
              "ASCII: B  C  D\r\n");
    EXPECT_TRUE(writer_->TakeWrittenFiles().empty());
}

TEST_F(LogWriterTest, HandWrittenBlocksComeOutAsWritten) {
    struct Row {
        const char* what;
        int width;
        Bytes bytes;
        Lines body;  // the lines after separator and header
    };
    const std::vector<Row> rows = {
        {"exact multiple: full lines only, no blank at the end",
         4,
         BytesOf("ABCDEFGH"),
         {"HEX:   41 42 43 44", "HEX:   45 46 47 48", "ASCII: A  B  C  D ", "ASCII: E  F  G  H"}},
        {"control and high bytes",
         8,
         {0x00, 0x1F, 0x20, 0x7E, 0x7F, 0x80, 0xA0, 0xFF},
         {"HEX:   00 1F 20 7E 7F 80 A0 FF", "ASCII: .  .     ~  .  .  .  ."}},
        {"width 0 counts as 1",
         0,
         BytesOf("ABC"),
         {"HEX:   41", "HEX:   42", "HEX:   43", "ASCII: A ", "ASCII: B ", "ASCII: C"}},
        {"negative width counts as 1",
         -5,
         BytesOf("AB"),
         {"HEX:   41", "HEX:   42", "ASCII: A ", "ASCII: B"}},
        {"no bytes", 8, {}, {}},
    };
    for (const Row& row : rows) {
        settings_.MaxBytesInLogLine = row.width;
        Log(row.bytes);
        Lines expected{std::string(56, '~'),
                       "Data received at 14:05:09 (" + std::to_string(row.bytes.size()) + " bytes)"};
        expected.insert(expected.end(), row.body.begin(), row.body.end());
        EXPECT_EQ(FlushAndReadFiles(), std::vector<Lines>{expected}) << row.what;
    }
}

TEST_F(LogWriterTest, LengthWithoutBytesIsAnEmptyBlock) {
    writer_->LogBlock(nullptr, 5, At140509, bkData);
    EXPECT_EQ(FlushAndReadFiles(),
              (std::vector<Lines>{{std::string(56, '~'), "Data received at 14:05:09 (0 bytes)"}}));
}

// Every block whose end is marked closes a file at once (limit 1 line), so the
// files show both the lines and where each block's end mark sits.
TEST_F(LogWriterTest, LinesAndBlockEndsFollowTheCuttingRuleForAllLengthsAndWidths) {
    struct Outputs {
        bool hex, ascii;
    };
    settings_.MaxLinesInLogFile = 1;
    for (const Outputs outputs : {Outputs{true, true}, Outputs{true, false}, Outputs{false, true}}) {
        settings_.ShowHexOutput = outputs.hex;
        settings_.ShowASCIIOutput = outputs.ascii;
        for (const int n : {1, 2, 3, 7, 8}) {
            settings_.MaxBytesInLogLine = n;
            std::vector<Lines> expected;
            Lines open;
            for (int length = 0; length <= 17; ++length) {
                Bytes bytes(static_cast<size_t>(length));
                for (int i = 0; i < length; ++i) {
                    bytes[static_cast<size_t>(i)] = static_cast<uint8_t>(i * 37 + n * 11);
                }
                Log(bytes);
                open.push_back(std::string(56, '~'));
                open.push_back("Data received at 14:05:09 (" + std::to_string(length) + " bytes)");
                Lines body;
                if (outputs.hex) body = CutByRule(BytesToHex(bytes.data(), length), length, n, "HEX:   ");
                if (outputs.ascii) {
                    const Lines ascii = CutByRule(SpreadAscii(bytes), length, n, "ASCII: ");
                    body.insert(body.end(), ascii.begin(), ascii.end());
                }
                open.insert(open.end(), body.begin(), body.end());
                if (!body.empty()) expected.push_back(std::exchange(open, {}));
            }
            if (!open.empty()) expected.push_back(open);
            EXPECT_EQ(FlushAndReadFiles(), expected)
                << "hex " << outputs.hex << " ascii " << outputs.ascii << " n " << n;
        }
    }
}

TEST_F(LogWriterTest, WithoutHexAndAsciiNoBlockEndsSoOneFileAtFlush) {
    settings_.ShowHexOutput = false;
    settings_.ShowASCIIOutput = false;
    settings_.MaxLinesInLogFile = 1;
    for (int i = 0; i < 5; ++i) Log(BytesOf("0123456789"));
    const auto files = FlushAndReadFiles();
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0].size(), 10u);
    EXPECT_EQ(files[0][9], "Data received at 14:05:09 (10 bytes)");
}

// Blocks logged one by one, or gathered in a batch as the blocks of one chunk are:
// the files must be the same either way.
class LogWriterBatchTest : public LogWriterTest, public ::testing::WithParamInterface<bool> {
protected:
    void LogAll(const std::vector<Bytes>& blocks) {
        std::optional<ZLogFileManager::BlockBatch> batch;
        if (GetParam()) batch.emplace(*writer_);
        for (const Bytes& block : blocks) Log(block);
    }
};

TEST_P(LogWriterBatchTest, FileIsWrittenAtTheEndOfTheBlockThatCrossesTheLimit) {
    settings_.MaxBytesInLogLine = 4;
    settings_.MaxLinesInLogFile = 10;  // each block: separator, header, 3 HEX and 3 ASCII lines
    LogAll(std::vector<Bytes>(5, BytesOf("0123456789")));
    const auto files = FlushAndReadFiles();
    ASSERT_EQ(files.size(), 3u);
    EXPECT_EQ(files[0].size(), 16u);
    EXPECT_EQ(files[1].size(), 16u);
    EXPECT_EQ(files[2].size(), 8u);
    for (const Lines& file : files) {
        EXPECT_EQ(file.front(), std::string(56, '~'));
        EXPECT_EQ(file.back(), "ASCII: 8  9");
    }
}

// Ten blocks of 5000 bytes at one byte per line: 10002 lines each, 100020 in all,
// 20 more than the queue takes. A file is due after every third block.
TEST_P(LogWriterBatchTest, AFullQueueTakesLinesUpToItsLimitAndFilesStillEndAtBlockEnds) {
    settings_.MaxBytesInLogLine = 1;
    settings_.MaxLinesInLogFile = 25000;
    LogAll(std::vector<Bytes>(10, Bytes(5000, 0x42)));
    const auto files = FlushAndReadFiles();
    ASSERT_EQ(files.size(), 4u);
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(files[i].size(), 30006u) << "file " << i;
        EXPECT_EQ(files[i].back(), "ASCII: B") << "file " << i;
    }
    // Block by block the worker may take lines away in between, so only a batch,
    // queued at once, is sure to meet a full queue. Whatever was lost is counted.
    size_t lost = 0;
    if (errors_.GetCount() > 0) {
        ASSERT_EQ(errors_.GetCount(), 1);
        lost = std::stoul(errors_.GetLatestError().Error);
        EXPECT_EQ(errors_.GetLatestError().Error, std::to_string(lost) + " log lines lost (queue full)");
    }
    if (GetParam())
        EXPECT_EQ(lost, 20u);
    else
        EXPECT_LE(lost, 20u);
    EXPECT_EQ(files[3].size(), 10002u - lost);
}

TEST_P(LogWriterBatchTest, WaitingWhenFullCutsABatchAtLineBoundariesAndLosesNothing) {
    settings_.MaxBytesInLogLine = 1;
    settings_.MaxLinesInLogFile = 25000;
    writer_->SetWaitWhenFull(true);
    LogAll(std::vector<Bytes>(25, Bytes(5000, 0x43)));  // 250050 lines, two and a half queues
    const auto files = FlushAndReadFiles();
    ASSERT_EQ(files.size(), 9u);
    for (size_t i = 0; i < 8; ++i) {
        EXPECT_EQ(files[i].size(), 30006u) << "file " << i;
        EXPECT_EQ(files[i].front(), std::string(56, '~')) << "file " << i;
        EXPECT_EQ(files[i].back(), "ASCII: C") << "file " << i;
    }
    EXPECT_EQ(files[8].size(), 10002u);
    EXPECT_EQ(errors_.GetCount(), 0);
}

INSTANTIATE_TEST_SUITE_P(Queueing, LogWriterBatchTest, ::testing::Values(false, true),
                         [](const auto& test) { return test.param ? "InOneBatch" : "BlockByBlock"; });

TEST_F(LogWriterTest, BlockKindsPickSeparatorAndHeaderAndObeyTheirSwitches) {
    struct Row {
        uint8_t kind;
        std::string separator;  // empty: never written
        std::string header;
        bool writtenWhenSwitchedOff;
    };
    std::string dashes;
    for (int i = 0; i < 28; ++i) dashes += " -";
    const std::vector<Row> rows = {
        {bkStartTrigger, std::string(56, '#'), "Start trigger received at 14:05:09 (2 bytes)", false},
        {bkData, std::string(56, '~'), "Data received at 14:05:09 (2 bytes)", false},
        {bkStopTrigger, dashes, "Stop trigger received at 14:05:09 (2 bytes)", false},
        {bkTrash, "", "", false},
        {bkFlush, std::string(56, '>'), "Flushed data at 14:05:09 (2 bytes)", true},
        {9, std::string(56, '>'), "Flushed data at 14:05:09 (2 bytes)", true},
        {bkSent, std::string(56, '~'), "Data sent at 14:05:09 (2 bytes)", true},
    };
    for (const bool switchesOn : {true, false}) {
        settings_.LogStartTrigger = settings_.LogDataField = settings_.LogStopTrigger = switchesOn;
        for (const Row& row : rows) {
            Log(BytesOf("AB"), row.kind);
            const auto files = FlushAndReadFiles();
            const bool written = !row.separator.empty() && (switchesOn || row.writtenWhenSwitchedOff);
            ASSERT_EQ(files.size(), written ? 1u : 0u)
                << "kind " << int(row.kind) << " switches " << switchesOn;
            if (written) {
                EXPECT_EQ(files[0], (Lines{row.separator, row.header, "HEX:   41 42", "ASCII: A  B"}));
            }
        }
    }
    EXPECT_EQ(EntriesInDir(), 9u);  // six kinds written with the switches on, three with them off
}

TEST(LogFileNameTest, NumbersHaveNoLeadingZeros) {
    struct Row {
        ZULDateTimeParts parts;
        const char* name;
    };
    const Row rows[] = {
        {{2005, 3, 7, 14, 5, 9, 312}, "2005_3_7___14_5_9_312_log.txt"},
        {{2000, 1, 1, 0, 0, 0, 0}, "2000_1_1___0_0_0_0_log.txt"},
        {{2024, 12, 31, 23, 59, 59, 7}, "2024_12_31___23_59_59_7_log.txt"},
    };
    for (const Row& row : rows) EXPECT_EQ(ZLogFileManager::LogFileName(row.parts), row.name);
}

TEST_F(LogWriterTest, NothingToWriteGivesNoFile) {
    writer_->Flush();
    Log(BytesOf("trash"), bkTrash);
    writer_->Flush();
    EXPECT_TRUE(writer_->TakeWrittenFiles().empty());
    EXPECT_EQ(EntriesInDir(), 0u);
    EXPECT_EQ(errors_.GetCount(), 0);
}

// The lines of the open file are in it before any Flush, as a reader of the file
// (tail -f) and a program killed before its stop need them; a file is listed once
// it is finished, and what was appended stays when the writer goes.
TEST_F(LogWriterTest, LinesReachTheOpenFileAsTheyComeAndStayThere) {
    settings_.MaxBytesInLogLine = 4;
    settings_.MaxLinesInLogFile = 10;  // each block: separator, header, 3 HEX and 3 ASCII lines
    const auto linesOnDisk = [&] {
        std::vector<size_t> counts;
        for (const auto& entry : fs::directory_iterator(dir_)) {
            const std::string text = ReadBytes(entry.path());
            counts.push_back(static_cast<size_t>(std::count(text.begin(), text.end(), '\n')));
        }
        std::sort(counts.begin(), counts.end());
        return counts;
    };
    std::vector<std::string> finished;
    Log(BytesOf("0123456789"));
    EXPECT_TRUE(WaitUntilTrue([&] { return linesOnDisk() == std::vector<size_t>{8}; }));
    Log(BytesOf("0123456789"));  // crosses the limit: the file is finished
    EXPECT_TRUE(WaitUntilTrue([&] {
        for (std::string& path : writer_->TakeWrittenFiles()) finished.push_back(std::move(path));
        return finished.size() == 1;
    }));
    Log(BytesOf("0123456789"));
    EXPECT_TRUE(WaitUntilTrue([&] { return linesOnDisk() == std::vector<size_t>{8, 16}; }));
    ASSERT_EQ(finished.size(), 1u);
    EXPECT_EQ(LinesOf(finished[0]).size(), 16u);
    writer_.reset();
    EXPECT_EQ(linesOnDisk(), (std::vector<size_t>{8, 16}));
}

TEST_F(LogWriterTest, UnwritableFileIsRecordedAndLoggingGoesOn) {
    ZLoggerSettings missing;
    missing.Assign(settings_);
    missing.LogDir = (dir_ / "missing").string() + "/";
    writer_->SetSettings(&missing);
    Log(BytesOf("lost"));
    writer_->Flush();
    EXPECT_TRUE(writer_->TakeWrittenFiles().empty());
    ASSERT_EQ(errors_.GetCount(), 1);
    const TZULError error = errors_.GetLatestError();
    EXPECT_EQ(error.Module, "ZULFileIO");
    EXPECT_EQ(error.Function, "WriteFile");
    EXPECT_EQ(error.Error.rfind("Could not open '" + missing.LogDir, 0), 0u) << error.Error;
    EXPECT_TRUE(error.Error.ends_with("_log.txt' for writing")) << error.Error;

    settings_.LogDir = dir_.string();  // no trailing delimiter: one is put in
    writer_->SetSettings(&settings_);
    Log(BytesOf("kept"));
    const auto files = FlushAndReadFiles();
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0].size(), 4u);
    EXPECT_EQ(files[0][2], "HEX:   6B 65 70 74");
    EXPECT_EQ(EntriesInDir(), 1u);
}

TEST_F(LogWriterTest, EmptyDirectoryMeansTheWorkingDirectory) {
    const fs::path previous = fs::current_path();
    fs::current_path(dir_);
    settings_.LogDir = "";
    Log(BytesOf("here"));
    writer_->Flush();
    fs::current_path(previous);
    const auto files = writer_->TakeWrittenFiles();
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(fs::path(files[0]).parent_path(), fs::path());
    EXPECT_TRUE(fs::exists(dir_ / files[0]));
}

std::array<int, 7> NameNumbers(const std::string& path) {
    std::array<int, 7> numbers{};
    std::istringstream in(fs::path(path).filename().string());
    char underscore;
    in >> numbers[0] >> underscore >> numbers[1] >> underscore >> numbers[2] >> underscore >> underscore >>
        underscore >> numbers[3];
    for (size_t i = 4; i < numbers.size(); ++i) in >> underscore >> numbers[i];
    EXPECT_TRUE(in) << path;
    return numbers;
}

TEST_F(LogWriterTest, FilesOfTheSameMillisecondGetDistinctIncreasingNamesAndOverwriteNothing) {
    // The names of the coming two seconds are taken already. They are hard links to one
    // file: quick to make, and writing through any of them would change that file.
    const std::string keep = (dir_ / "keep").string();
    std::ofstream(keep) << "keep";
    std::vector<std::string> taken;
    const int64_t now = ZULNowEpochMs();
    for (int64_t ms = now; ms < now + 2000; ++ms) {
        taken.push_back(settings_.LogDir + ZLogFileManager::LogFileName(ZULLocalParts(ms)));
        fs::create_hard_link(keep, taken.back());
    }
    settings_.MaxLinesInLogFile = 1;
    constexpr size_t Blocks = 300;
    for (size_t i = 0; i < Blocks; ++i) Log(BytesOf("x"));
    writer_->Flush();
    const auto written = writer_->TakeWrittenFiles();
    ASSERT_EQ(written.size(), Blocks);
    EXPECT_EQ(EntriesInDir(), 1 + taken.size() + Blocks);
    EXPECT_EQ(ReadBytes(keep), "keep");
    EXPECT_LT(NameNumbers(taken.back()), NameNumbers(written.front()));
    for (size_t i = 0; i < written.size(); ++i) {
        EXPECT_EQ(LinesOf(written[i]).size(), 4u);
        if (i > 0) {
            EXPECT_LT(NameNumbers(written[i - 1]), NameNumbers(written[i]));
        }
    }
}

// One block of 50001 bytes at one byte per line gives 100004 lines, queued under one
// lock into a queue that takes 100000.
TEST_F(LogWriterTest, LinesRefusedByAFullQueueAreCountedOnce) {
    settings_.MaxBytesInLogLine = 1;
    Log(Bytes(50001, 0x41));
    const auto files = FlushAndReadFiles();
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0].size(), 100000u);
    ASSERT_EQ(errors_.GetCount(), 1);
    const TZULError error = errors_.GetLatestError();
    EXPECT_EQ(error.Module, "ZLogFileManager");
    EXPECT_EQ(error.Function, "LogBlock");
    EXPECT_EQ(error.Error, "4 log lines lost (queue full)");
}

TEST_F(LogWriterTest, WaitingWhenFullLosesNothing) {
    settings_.MaxBytesInLogLine = 1;
    writer_->SetWaitWhenFull(true);
    Log(Bytes(50001, 0x41));
    const auto files = FlushAndReadFiles();
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0].size(), 100004u);
    EXPECT_EQ(files[0].back(), "ASCII: A");
    EXPECT_EQ(errors_.GetCount(), 0);
}

}  // namespace
