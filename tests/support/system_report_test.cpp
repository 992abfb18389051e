#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "ChildProcessHelpers.h"
#include "TZULSystemReport.h"
#include "ZULFuncDecThread.h"

namespace {

using Lines = std::vector<std::string>;
using namespace std::string_literals;

const std::string AllResources =
    "+Resources+ResourcesConflicts+ResourcesDMA+ResourcesForcedHardware+ResourcesIO+ResourcesIRQS+"
    "ResourcesMemory";

// What a report delivered, and where.
struct Delivery {
    bool Arrived = false;
    Lines ResultLines;
    bool Error = false;
    std::thread::id Thread;
};

// The window thread's dispatcher lives as long as the program: a decoupling thread may
// still be returning from its Post when the report has already been delivered.
ZULQueuedDispatcher& WindowDispatcher() {
    static auto* dispatcher = new ZULQueuedDispatcher;
    return *dispatcher;
}

// Runs reports with the test thread as the window thread.
class SystemReportTest : public ::testing::Test {
protected:
    sReportSettings Settings(const std::string& tool) {
        sReportSettings settings;
        settings.SetResources(true, true, true, true, true, true);
        settings.FileName = dir_.File("__sys_rep.tmp");
        settings.ToolPath = tool;
        settings.Dispatcher = &WindowDispatcher();
        settings.ProcessEvents = [this] { ++processed_; };
        settings.OnReportDone = [this](const Lines& lines, bool error) {
            delivery_ = {true, lines, error, std::this_thread::get_id()};
        };
        return settings;
    }
    // Starts the report and plays the window thread until it has delivered.
    bool Run(sReportSettings& settings) {
        new TZULSystemReport(settings);
        const auto deadline = std::chrono::steady_clock::now() + TestDeadline;
        while (!delivery_.Arrived && std::chrono::steady_clock::now() < deadline)
            WindowDispatcher().WaitAndProcess(20);
        return delivery_.Arrived;
    }
    // A stand-in tool that writes the given bytes as its report and records its arguments.
    std::string ToolWriting(const std::string& octalBytes) {
        const std::string tool = dir_.File("tool.sh");
        WriteScript(tool, "printf '%s\\0' \"$@\" > '" + dir_.File("args") + "'\nprintf '" + octalBytes +
                              "' > \"$2\"\n");
        return tool;
    }

    ScratchDir dir_;
    Delivery delivery_;
    int processed_ = 0;
};

const char* const ABLine = "\\377\\376A\\000B\\000\\015\\000\\012\\000";

TEST_F(SystemReportTest, DeliversTheConvertedLinesInTheWindowThreadAndDeletesTheFile) {
    sReportSettings settings = Settings(ToolWriting(ABLine));
    ASSERT_TRUE(Run(settings));
    EXPECT_FALSE(delivery_.Error);
    EXPECT_EQ(delivery_.ResultLines, Lines{"AB"});
    EXPECT_EQ(delivery_.Thread, std::this_thread::get_id());
    EXPECT_FALSE(std::filesystem::exists(settings.FileName));
    EXPECT_TRUE(NoChildLeft());
}

// The file the tool was given: the report's file name, "." and six random characters.
bool IsRandomNameBeside(const std::string& given, const std::string& base) {
    return given.size() == base.size() + 7 && given.rfind(base + ".", 0) == 0;
}

// The names in a folder that start with the report's name: none may be left behind.
Lines ReportFilesIn(const std::string& folder) {
    Lines names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind("__sys_rep.tmp", 0) == 0) names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

TEST_F(SystemReportTest, EmptyFileNameMeansTheDefaultFileInTheApplicationFolderAndIsWrittenBack) {
    ScopedEnvironment home("KESTRUN_HOME", dir_.Path());
    sReportSettings settings = Settings(ToolWriting(ABLine));
    settings.FileName.clear();
    ASSERT_TRUE(Run(settings));
    EXPECT_EQ(settings.FileName, dir_.File("__sys_rep.tmp"));
    EXPECT_TRUE(
        IsRandomNameBeside(ReadRecordedArguments(dir_.File("args")).at(1), dir_.File("__sys_rep.tmp")));
    EXPECT_EQ(delivery_.ResultLines, Lines{"AB"});
    EXPECT_EQ(ReportFilesIn(dir_.Path()), Lines{});
}

// Each part is one argument: blanks, quotes and $ in the file name reach the tool unchanged.
TEST_F(SystemReportTest, StartsTheToolWithExactlyTheReportCommandLine) {
    const std::string folder = dir_.File("my 'odd' $folder");
    std::filesystem::create_directory(folder);
    sReportSettings settings = Settings(ToolWriting(ABLine));
    settings.FileName = folder + "/__sys_rep.tmp";
    ASSERT_TRUE(Run(settings));
    Lines arguments = ReadRecordedArguments(dir_.File("args"));
    ASSERT_EQ(arguments.size(), 4u);
    EXPECT_TRUE(IsRandomNameBeside(arguments[1], folder + "/__sys_rep.tmp")) << arguments[1];
    arguments[1] = "<file>";
    EXPECT_EQ(arguments, (Lines{"/report", "<file>", "/categories", AllResources}));
    EXPECT_FALSE(delivery_.Error);
}

// Links planted at the fixed names in a folder others may write lead nowhere: the report
// goes into a file of its own, and the files the links point at stay as they were.
TEST_F(SystemReportTest, LinksPlantedAtTheFixedNamesAreNotWrittenThrough) {
    const std::string victim = dir_.File("victim");
    WriteBytes(victim, "precious");
    std::filesystem::create_symlink(victim, dir_.File("__sys_rep.tmp"));
    std::filesystem::create_symlink(victim, dir_.File("__sys_rep.tmp.part"));
    sReportSettings settings = Settings(ToolWriting(ABLine));
    ASSERT_TRUE(Run(settings));
    EXPECT_FALSE(delivery_.Error);
    EXPECT_EQ(delivery_.ResultLines, Lines{"AB"});
    EXPECT_EQ(ReadBytes(victim), "precious");
    EXPECT_EQ(ReportFilesIn(dir_.Path()), (Lines{"__sys_rep.tmp", "__sys_rep.tmp.part"}));
}

// A tool that has ended without a good report fails the report at once (the time-out of
// 60 s is far beyond the test's deadline), says how it ended, and leaves no file behind.
TEST_F(SystemReportTest, ToolThatEndsWithoutAGoodReportFailsAtOnceWithItsStatus) {
    struct Case {
        const char* name;
        std::string script;
        std::string line;
    };
    const Case cases[] = {
        {"exit status", "exit 1\n", "'kestrun-sysinfo' failed with exit status 1"},
        {"killed while writing the part file", "printf '\\377\\376A\\000' > \"$2.part\"\nkill -KILL $$\n",
         "'kestrun-sysinfo' was ended by signal 9 (Killed)"},
        {"killed after writing into the file",
         std::string("printf '") + ABLine + "' > \"$2\"\nkill -KILL $$\n",
         "'kestrun-sysinfo' was ended by signal 9 (Killed)"},
        {"no file", "exit 0\n", "'kestrun-sysinfo' ended without writing the report"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        delivery_ = {};
        const std::string tool = dir_.File("tool.sh");
        WriteScript(tool, c.script);
        sReportSettings settings = Settings(tool);
        ASSERT_EQ(settings.Timeout, 60000);
        ASSERT_TRUE(Run(settings));
        EXPECT_TRUE(delivery_.Error);
        EXPECT_EQ(delivery_.ResultLines, Lines{c.line});
        EXPECT_EQ(ReportFilesIn(dir_.Path()), Lines{});
        EXPECT_TRUE(NoChildLeft());
    }
}

// The tool beside the program runs only when nobody but the user (or root) could
// have put it there; otherwise the installed one, else none.
struct ToolCase {
    const char* name;
    mode_t folderMode;   // the folder beside the program
    mode_t toolMode;     // the tool there
    bool linkFromOpen;   // the tool there is a link to one in a folder for everyone
    bool installedGood;  // the installed folder holds a sound tool
    const char* chosen;  // "beside", "installed" or ""
};

class ToolChoiceTest : public ::testing::TestWithParam<ToolCase> {};

TEST_P(ToolChoiceTest, OnlyAToolNobodyElseCouldPlantIsRun) {
    const ToolCase& c = GetParam();
    ScratchDir scratch;
    const std::string beside = scratch.File("bin/");
    const std::string installed = scratch.File("installed/");
    std::filesystem::create_directory(beside);
    std::filesystem::create_directory(installed);
    if (c.linkFromOpen) {
        std::filesystem::create_directory(scratch.File("open"));
        WriteScript(scratch.File("open/kestrun-sysinfo"), "exit 0\n");
        ASSERT_EQ(::chmod(scratch.File("open").c_str(), 01777), 0);
        std::filesystem::create_symlink(scratch.File("open/kestrun-sysinfo"), beside + "kestrun-sysinfo");
    } else {
        WriteScript(beside + "kestrun-sysinfo", "exit 0\n");
        ASSERT_EQ(::chmod((beside + "kestrun-sysinfo").c_str(), c.toolMode), 0);
    }
    ASSERT_EQ(::chmod(beside.c_str(), c.folderMode), 0);
    if (c.installedGood) WriteScript(installed + "kestrun-sysinfo", "exit 0\n");
    const std::string expected = std::string(c.chosen) == "beside"      ? beside + "kestrun-sysinfo"
                                 : std::string(c.chosen) == "installed" ? installed + "kestrun-sysinfo"
                                                                        : "";
    EXPECT_EQ(TZULSystemReport::ChooseTool(beside, installed), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Tools, ToolChoiceTest,
    ::testing::Values(ToolCase{"OwnClosedFolder", 0755, 0755, false, true, "beside"},
                      ToolCase{"FolderForEveryone", 01777, 0755, false, true, "installed"},
                      ToolCase{"GroupWritableFolder", 0775, 0755, false, false, ""},
                      ToolCase{"ToolOthersMayWrite", 0755, 0757, false, true, "installed"},
                      ToolCase{"ToolTheGroupMayWrite", 0755, 0775, false, false, ""},
                      ToolCase{"LinkToAToolInAFolderForEveryone", 0755, 0755, true, true, "installed"}),
    [](const ::testing::TestParamInfo<ToolCase>& param) { return std::string(param.param.name); });

TEST(SystemReportCategories, CategoryTextFollowsTheFlags) {
    struct Case {
        bool summary, resources;
        bool parts[6];
        std::string text;
    };
    const Case cases[] = {
        {false, false, {}, ""},
        {true, false, {}, "+SystemSummary"},
        {false, true, {true, true, true, true, true, true}, AllResources},
        {true,
         true,
         {false, true, false, true, false, true},
         "+SystemSummary+Resources-ResourcesConflicts+ResourcesDMA-ResourcesForcedHardware+ResourcesIO-"
         "ResourcesIRQS+ResourcesMemory"},
    };
    for (const Case& c : cases) {
        sReportSettings settings;
        settings.SystemSummary = c.summary;
        if (c.resources)
            settings.SetResources(c.parts[0], c.parts[1], c.parts[2], c.parts[3], c.parts[4], c.parts[5]);
        EXPECT_EQ(TZULSystemReport::CategoryText(settings), c.text);
    }
}

TEST_F(SystemReportTest, ReadOnlyFolderGivesTheWritingErrorAndStartsNoTool) {
    const std::string folder = dir_.File("readonly");
    std::filesystem::create_directory(folder);
    std::filesystem::permissions(folder,
                                 std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    sReportSettings settings = Settings(ToolWriting(ABLine));
    settings.FileName = folder + "/__sys_rep.tmp";
    {
        UnprivilegedFileAccess asNobody;
        new TZULSystemReport(settings);
    }
    // A started tool would be this process's child until someone reaps it.
    EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
    const auto deadline = std::chrono::steady_clock::now() + TestDeadline;
    while (!delivery_.Arrived && std::chrono::steady_clock::now() < deadline)
        WindowDispatcher().WaitAndProcess(20);
    ASSERT_TRUE(delivery_.Arrived);
    EXPECT_TRUE(delivery_.Error);
    EXPECT_EQ(delivery_.ResultLines, Lines{"Could not open '" + folder + "/__sys_rep.tmp' for writing"});
    EXPECT_FALSE(std::filesystem::exists(dir_.File("args")));
}

TEST_F(SystemReportTest, MissingToolGivesTheMissingLine) {
    sReportSettings settings = Settings(dir_.File("no-such-tool"));
    ASSERT_TRUE(Run(settings));
    EXPECT_TRUE(delivery_.Error);
    EXPECT_EQ(delivery_.ResultLines, Lines{"Missing 'kestrun-sysinfo'"});
    EXPECT_FALSE(std::filesystem::exists(settings.FileName));  // the probe file is gone
}

// The wait keeps the window working, ends at the time-out with its text, and
// the tool that never wrote is ended and leaves no zombie.
TEST_F(SystemReportTest, ToolThatNeverWritesTimesOut) {
    const std::string tool = dir_.File("silent.sh");
    WriteScript(tool, "exec sleep 60\n");
    sReportSettings settings = Settings(tool);
    settings.Timeout = 200;
    ASSERT_TRUE(Run(settings));
    EXPECT_TRUE(delivery_.Error);
    EXPECT_EQ(delivery_.ResultLines, Lines{"Timout exceeded"});
    EXPECT_GE(processed_, 1);
    EXPECT_TRUE(NoChildLeft());
}

// A file that is there at the time-out is taken, even if the tool is still running.
TEST_F(SystemReportTest, FileWrittenByAToolThatDoesNotEndIsReadAtTheTimeOut) {
    const std::string tool = dir_.File("lingering.sh");
    WriteScript(tool, std::string("printf '") + ABLine + "' > \"$2\"\nexec sleep 60\n");
    sReportSettings settings = Settings(tool);
    settings.Timeout = 300;
    // The window's events stand still until the file is there, so it is there at the time-out.
    settings.ProcessEvents = [&settings] { WaitForFile(settings.FileName); };
    ASSERT_TRUE(Run(settings));
    EXPECT_FALSE(delivery_.Error);
    EXPECT_EQ(delivery_.ResultLines, Lines{"AB"});
    EXPECT_TRUE(NoChildLeft());
}

TEST(SystemReportConversion, BigEndianTextAfterItsMarkAndNulsAreKept) {
    struct Case {
        std::string bytes, text;
    };
    const Case cases[] = {
        {"\xFE\xFF\0A\0B\0\r\0\n"s, "AB\r\n"},
        {"\xFE\xFF\x21\x22"s, "\xE2\x84\xA2"},              // ™
        {"\xFE\xFF\xD8\x3D\xDE\x00"s, "\xF0\x9F\x98\x80"},  // a pair of surrogates
        {"\xFE\xFF\0A\xD8\x3D"s, "A\xEF\xBF\xBD"},          // a lone surrogate at the end
        {"\xFF\xFE"
         "A\0\0\0B\0"s,
         "A\0B"s},  // a NUL stays a character
        {"\xFE\xFF"s, ""},
    };
    for (const Case& c : cases) EXPECT_EQ(ZULUtf16ToUtf8(c.bytes), c.text);
}

TEST(SystemReportConversion, SixteenBitTextBecomesUtf8) {
    struct Case {
        std::string bytes, text;
    };
    const Case cases[] = {
        {"\xFF\xFE"
         "A\0B\0\r\0\n\0"s,
         "AB\r\n"},
        {"A\0B\0"s, "AB"},  // no byte order mark: nothing dropped
        {"\xFF\xFE"
         "\xE9\0"s,
         "\xC3\xA9"},  // é
        {"\xFF\xFE"
         "\x22\x21"s,
         "\xE2\x84\xA2"},  // ™ keeps its upper byte
        {"\xFF\xFE"
         "\x3D\xD8\x00\xDE"s,
         "\xF0\x9F\x98\x80"},  // a pair of surrogates is one character
        {"\xFF\xFE"
         "\x3D\xD8"
         "A\0"s,
         "\xEF\xBF\xBD"
         "A"},  // a lone surrogate is replaced
        {"\xFF\xFE"
         "A\0B"s,
         "A"},  // half a character at the end is dropped
        {"\xFF\xFE"s, ""},
    };
    for (const Case& c : cases) EXPECT_EQ(ZULUtf16ToUtf8(c.bytes), c.text);
}

// ---- TZULFuncDecThread ----

// The operation's captured token expires when the thread object has released itself.
bool Expires(const std::weak_ptr<int>& token) {
    const auto deadline = std::chrono::steady_clock::now() + TestDeadline;
    while (!token.expired() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    return token.expired();
}

TEST(FuncDecThread, UnsynchronisedRunsOnceInItsOwnThreadAndReleasesItself) {
    auto token = std::make_shared<int>(0);
    const std::weak_ptr<int> watch = token;
    Recorder ranIn;
    std::atomic<bool> otherThread{false};
    const auto self = std::this_thread::get_id();
    new TZULFuncDecThread(
        false,
        [token = std::move(token), &ranIn, &otherThread, self] {
            otherThread = std::this_thread::get_id() != self;
            ranIn.Add(1);
        },
        false);
    ASSERT_TRUE(ranIn.WaitForCount(1));
    EXPECT_TRUE(otherThread);
    EXPECT_TRUE(Expires(watch));
    EXPECT_EQ(ranIn.Values().size(), 1u);
}

TEST(FuncDecThread, SuspendedThreadWaitsForResume) {
    Recorder ran;
    auto* thread = new TZULFuncDecThread(
        true, [&ran] { ran.Add(1); }, false);
    EXPECT_FALSE(ran.WaitForCount(1, std::chrono::milliseconds(50)));
    thread->Resume();
    EXPECT_TRUE(ran.WaitForCount(1));
}

TEST(FuncDecThread, SynchronisedRunsInTheDispatcherThread) {
    ZULQueuedDispatcher dispatcher;
    auto token = std::make_shared<int>(0);
    const std::weak_ptr<int> watch = token;
    std::thread::id ranIn;
    new TZULFuncDecThread(
        false, [token = std::move(token), &ranIn] { ranIn = std::this_thread::get_id(); }, true, &dispatcher);
    const auto deadline = std::chrono::steady_clock::now() + TestDeadline;
    while (dispatcher.WaitAndProcess(20) == 0 && std::chrono::steady_clock::now() < deadline) {
    }
    EXPECT_EQ(ranIn, std::this_thread::get_id());
    EXPECT_TRUE(Expires(watch));
}

// A dispatcher that drops the task (the program ending) must not leave the thread waiting.
TEST(FuncDecThread, DroppedSynchronisedCallEndsTheThreadWithoutRunning) {
    auto dispatcher = std::make_unique<HoldingDispatcher>();
    auto token = std::make_shared<int>(0);
    const std::weak_ptr<int> watch = token;
    std::atomic<bool> ran{false};
    new TZULFuncDecThread(
        false, [token = std::move(token), &ran] { ran = true; }, true, dispatcher.get());
    ASSERT_TRUE(dispatcher->WaitForTasks(1));
    dispatcher.reset();
    EXPECT_TRUE(Expires(watch));
    EXPECT_FALSE(ran);
}

}  // namespace
