// Hostile files, folders and devices handed to kestrun-cli and to the loader the
// window program uses at start-up: each gets a clear message and exit code 1 or 2,
// never a crash, a hang or a half-written file.

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "CliTestSupport.h"
#include "TestFiles.h"
#include "ZLogger.h"
#include "ZULAppDir.h"

extern char** environ;

namespace {

using clitest::kDefaultPortSection;
using clitest::ScratchDir;
using clitest::TestHome;
using clitest::WriteFile;
using namespace std::string_literals;

// Not a measure of speed: only a run that never ends is caught, generously.
constexpr auto HangLimit = std::chrono::seconds(20);

std::string CliPath() {
    return ZULGetExeDir() + "../../app/kestrun-cli";
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

struct ChildResult {
    bool Ended = false;
    bool Signalled = false;
    int Code = -1;
    std::string Err;
};

// Runs kestrun-cli as a child of its own session; killed (and reported as not
// ended) when it outlives the hang limit.
ChildResult RunChild(const std::vector<std::string>& args, const ScratchDir& scratch) {
    std::vector<std::string> owned{CliPath()};
    owned.insert(owned.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& arg : owned) argv.push_back(arg.data());
    argv.push_back(nullptr);
    const std::string errFile = scratch / "stderr.txt";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, argv[0], &actions, &attributes, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    ChildResult result;
    if (spawned != 0) return result;
    const auto deadline = std::chrono::steady_clock::now() + HangLimit;
    int status = 0;
    for (;;) {
        const pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid) break;
        if (std::chrono::steady_clock::now() > deadline) {
            kill(-pid, SIGKILL);
            waitpid(pid, &status, 0);
            result.Err = ReadAll(errFile);
            return result;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    result.Ended = true;
    result.Signalled = WIFSIGNALED(status);
    result.Code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.Err = ReadAll(errFile);
    return result;
}

const std::string PortSection = kDefaultPortSection;
const std::string UsableSettings = PortSection + "[_logger_settings]\r\nCaptureMode=0\r\n";

void MakeFifo(const std::string& path) {
    ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
}

// ---- Settings files that are no settings files ----

struct SettingsCase {
    const char* name;
    std::function<void(const std::string& path)> make;  // makes "settings.scs"
    std::string message;  // what the message says; "<name>" stands for the file name
    bool needsUnprivileged = false;
};

const std::string NotRead = "The settings for the COM port could not be read from file \"settings.scs\"";

const SettingsCase SettingsCases[] = {
    {"Folder", [](const std::string& p) { std::filesystem::create_directory(p); },
     "File not found: \"<name>\": it is a folder, and a settings file must be a regular file"},
    {"Empty", [](const std::string& p) { WriteFile(p, ""); }, NotRead},
    {"Binary",
     [](const std::string& p) {
         WriteFile(p,
                   "\x7f"
                   "ELF\0\x01\xff\xfe[\0=\r\r\x80"s);
     },
     NotRead},
    {"SparseHundredMegabytes",
     [](const std::string& p) {
         WriteFile(p, UsableSettings);
         ASSERT_EQ(truncate(p.c_str(), 100 << 20), 0);
     },
     NotRead + ": the file is larger than 16 MB"},
    {"Fifo", MakeFifo,
     NotRead + ": the file is a FIFO (named pipe), and a settings file must be a regular file"},
    {"LinkToDevZero", [](const std::string& p) { std::filesystem::create_symlink("/dev/zero", p); },
     NotRead + ": the file is a symbolic link, and a settings file must be a regular file"},
    {"Unreadable",
     [](const std::string& p) {
         WriteFile(p, UsableSettings);
         ASSERT_EQ(chmod(p.c_str(), 0), 0);
     },
     NotRead + ": the file cannot be read (Permission denied)", true},
    {"LogDirWithNul", [](const std::string& p) { WriteFile(p, UsableSettings + "LogDir=/tmp/a\0b/\r\n"s); },
     "The settings in file \"settings.scs\" cannot be used: The log directory contains the control "
     "character 0x00, which a folder name cannot hold"},
    {"LogDirWithC1Control",
     [](const std::string& p) {
         WriteFile(p, UsableSettings +
                          "LogDir=/tmp/a\xC2\x85"
                          "b/\r\n");
     },
     "The settings in file \"settings.scs\" cannot be used: The log directory contains the control "
     "character U+0085, which a folder name cannot hold"},
    {"LogDirWithBidiOverride",
     [](const std::string& p) { WriteFile(p, UsableSettings + "LogDir=/tmp/\xE2\x80\xAEtxt.exe/\r\n"); },
     "The settings in file \"settings.scs\" cannot be used: The log directory contains the control "
     "character U+202E, which a folder name cannot hold"},
    {"LogDirWithBidiIsolate",
     [](const std::string& p) { WriteFile(p, UsableSettings + "LogDir=/tmp/\xE2\x81\xA6x/\r\n"); },
     "The settings in file \"settings.scs\" cannot be used: The log directory contains the control "
     "character U+2066, which a folder name cannot hold"},
    {"LogDirNotUtf8", [](const std::string& p) { WriteFile(p, UsableSettings + "LogDir=/tmp/\xFF/\r\n"); },
     "The settings in file \"settings.scs\" cannot be used: The log directory contains the byte 0xFF, "
     "which is no UTF-8 text"},
};

std::string Expected(const SettingsCase& c, const std::string& path) {
    std::string message = c.message;
    const size_t at = message.find("<name>");
    if (at != std::string::npos) message.replace(at, 6, path);
    return message;
}

class BadSettingsTest : public ::testing::TestWithParam<SettingsCase> {};

TEST_P(BadSettingsTest, TheCommandLineSaysWhyAndExitsWithTwo) {
    const SettingsCase& c = GetParam();
    // chmod 000 does not stop root; the loader's row below covers it for root.
    if (c.needsUnprivileged && geteuid() == 0) GTEST_SKIP() << "root reads any file; see the loader's row";
    ScratchDir scratch;
    const std::string settings = scratch / "settings.scs";
    c.make(settings);
    for (const char* command : {"settings", "replay"}) {
        std::vector<std::string> args{command};
        if (command == "settings"s) {
            args.push_back(settings);
        } else {
            WriteFile(scratch / "in.bin", "abc");
            args.insert(args.end(),
                        {"--settings", settings, "--input", scratch / "in.bin", "--out", scratch / "out"});
        }
        const ChildResult result = RunChild(args, scratch);
        ASSERT_TRUE(result.Ended) << command << ": still running after the hang limit";
        EXPECT_FALSE(result.Signalled) << command;
        EXPECT_EQ(result.Code, 2) << command << ": " << result.Err;
        EXPECT_EQ(result.Err, Expected(c, settings) + "\n") << command;
        EXPECT_FALSE(std::filesystem::exists(scratch / "out")) << command << ": nothing is written";
    }
}

// The window program loads "_last_used.scs" at start-up through the engine's loader.
TEST_P(BadSettingsTest, TheStartUpLoaderRefusesWithTheSameText) {
    const SettingsCase& c = GetParam();
    ScratchDir scratch;
    const std::string settings = scratch / "settings.scs";
    c.make(settings);
    ZLogger logger{ZLoggerSettings()};
    std::string errorText;
    bool loaded = true;
    if (c.needsUnprivileged) {
        // As another user for this thread's file access, so that root is refused as
        // well; the folders on the way may be searched, only the file is closed.
        ASSERT_EQ(chmod(TestHome().c_str(), 0711), 0);
        ASSERT_EQ(chmod(scratch.Path().c_str(), 0711), 0);
        {
            UnprivilegedFileAccess asNobody;
            loaded = logger.LoadSettings(settings, errorText);
        }
        ASSERT_EQ(chmod(TestHome().c_str(), 0700), 0);
    } else {
        loaded = logger.LoadSettings(settings, errorText);
    }
    EXPECT_FALSE(loaded);
    EXPECT_EQ(errorText, Expected(c, settings));
}

INSTANTIATE_TEST_SUITE_P(Files, BadSettingsTest, ::testing::ValuesIn(SettingsCases),
                         [](const ::testing::TestParamInfo<SettingsCase>& param) {
                             return std::string(param.param.name);
                         });

// ---- Inputs, output folders and devices ----

struct RunCase {
    const char* name;
    // Makes what the run needs in the scratch folder and returns the arguments.
    std::function<std::vector<std::string>(const ScratchDir& scratch)> prepare;
    int code;
    std::string messageStart;            // the first line of the message begins so
    std::vector<std::string> gone = {};  // in the scratch folder: must not be there afterwards
    std::string messageEnd = "";         // and the message ends so
};

std::vector<std::string> Replay(const ScratchDir& s, const std::string& input, const std::string& out) {
    WriteFile(s / "settings.scs", UsableSettings);
    return {"replay", "--settings", s / "settings.scs", "--input", input, "--out", out};
}

std::vector<std::string> Capture(const ScratchDir& s, const std::string& device) {
    WriteFile(s / "settings.scs", UsableSettings);
    return {"capture", "--settings", s / "settings.scs", "--device", device, "--duration",
            "1",       "--out",      s / "out"};
}

std::vector<std::string> With(std::vector<std::string> args, std::initializer_list<std::string> more) {
    args.insert(args.end(), more);
    return args;
}

const RunCase RunCases[] = {
    {"InputIsAFifo",
     [](const ScratchDir& s) {
         MakeFifo(s / "in.fifo");
         return Replay(s, s / "in.fifo", s / "out");
     },
     2,
     "File could not be read: \"",
     {},
     "\": it is a FIFO (named pipe), and a recording must be a regular file\n"},
    {"InputIsDevZero", [](const ScratchDir& s) { return Replay(s, "/dev/zero", s / "out"); }, 2,
     "File could not be read: \"/dev/zero\": it is a device, and a recording must be a regular file\n"},
    // A timed recording is read only from a regular file of that name, never through a link.
    {"TimedInputIsALink",
     [](const ScratchDir& s) {
         WriteFile(s / "real.pcapng", "");
         std::filesystem::create_symlink(s / "real.pcapng", s / "in.pcapng");
         return Replay(s, s / "in.pcapng", s / "out");
     },
     1,
     "The recording \"",
     {},
     "in.pcapng\" is a symbolic link, and a recording must be a regular file.\n"},
    {"TimedInputIsAFifo",
     [](const ScratchDir& s) {
         MakeFifo(s / "in.pcapng");
         return Replay(s, s / "in.pcapng", s / "out");
     },
     1,
     "The recording \"",
     {},
     "in.pcapng\" is a FIFO (named pipe), and a recording must be a regular file.\n"},
    {"TimedInputIsAFolder",
     [](const ScratchDir& s) {
         std::filesystem::create_directory(s / "in.pcapng");
         return Replay(s, s / "in.pcapng", s / "out");
     },
     1,
     "The recording \"",
     {},
     "in.pcapng\" is a folder, and a recording must be a regular file.\n"},
    {"SendFileIsAFifo",
     [](const ScratchDir& s) {
         MakeFifo(s / "list.scs");
         return With(Capture(s, "/dev/zero"), {"--send-file", s / "list.scs"});
     },
     2,
     "The settings file \"",
     {},
     "list.scs\" cannot be read: the file is a FIFO (named pipe), and a settings file must be a regular "
     "file.\n"},
    {"OutIsAFile",
     [](const ScratchDir& s) {
         WriteFile(s / "in.bin", "abc");
         WriteFile(s / "out", "a file");
         return Replay(s, s / "in.bin", s / "out");
     },
     1, "Error creating the log directory: \""},
    // chmod does not bind root, but procfs refuses new files even to root.
    {"OutIsReadOnly",
     [](const ScratchDir& s) {
         WriteFile(s / "in.bin", "abc");
         std::filesystem::create_directory(s / "out");
         chmod((s / "out").c_str(), 0555);
         return Replay(s, s / "in.bin", geteuid() == 0 ? "/proc/self/" : s / "out");
     },
     1, "The log directory is not writable: \""},
    {"DeviceIsAFifo",
     [](const ScratchDir& s) {
         MakeFifo(s / "dev.fifo");
         return Capture(s, s / "dev.fifo");
     },
     1, "The COM port could not be opened..."},
    {"DeviceIsDevZero", [](const ScratchDir& s) { return Capture(s, "/dev/zero"); }, 1,
     "The COM port could not be opened..."},
    {"DeviceIsAPlainFile",
     [](const ScratchDir& s) {
         WriteFile(s / "dev.txt", "not a terminal");
         return Capture(s, s / "dev.txt");
     },
     1, "The COM port could not be opened..."},
    // Whatever a failed run made is gone, so the same command can run again.
    {"FramesOfAPortThatCannotBeOpened",
     [](const ScratchDir& s) {
         WriteFile(s / "dev.txt", "not a terminal");
         return With(Capture(s, s / "dev.txt"), {"--frames", s / "frames.jsonl", "--raw", s / "raw.bin"});
     },
     1,
     "The COM port could not be opened...",
     {"frames.jsonl", "raw.bin", "out"}},
    {"RawWithFramesInAMissingFolder",
     [](const ScratchDir& s) {
         WriteFile(s / "dev.txt", "not a terminal");
         return With(Capture(s, s / "dev.txt"), {"--raw", s / "raw.bin", "--frames", s / "missing/x.jsonl"});
     },
     1,
     "The frame file could not be created: \"",
     {"raw.bin", "out"}},
    {"ReplayWithFramesInAMissingFolder",
     [](const ScratchDir& s) {
         WriteFile(s / "in.bin", "abc");
         return With(Replay(s, s / "in.bin", s / "out/deeper"), {"--frames", s / "missing/x.jsonl"});
     },
     1,
     "The frame file could not be created: \"",
     {"out"}},
    {"ReplayOfAMissingInput",
     [](const ScratchDir& s) { return Replay(s, s / "missing.bin", s / "out"); },
     2,
     "File not found: \"",
     {"out"}},
    // Command lines: the word or the number that was not understood is named.
    {"UnknownCommand", [](const ScratchDir&) { return std::vector<std::string>{"bogus"}; }, 2,
     "Unknown command \"bogus\". The commands are replay, capture, script, proxy, send, term, ports, settings, "
     "simulate and extcap; run \"kestrun-cli --help\" for more.\n"},
    {"DurationNotANumber",
     [](const ScratchDir&) {
         return std::vector<std::string>{"capture", "--settings", "s.scs", "--duration", "nan"};
     },
     2, "--duration: This is not a valid duration! Give a number above 0.\n"},
    {"DurationBeyondADouble",
     [](const ScratchDir&) {
         return std::vector<std::string>{"capture", "--settings", "s.scs", "--duration", "1e400"};
     },
     2, "--duration: This is not a valid duration! Give a number above 0.\n"},
    {"RateNotANumber",
     [](const ScratchDir&) {
         return std::vector<std::string>{"simulate", "--rate", "nan"};
     },
     2, "--rate: This is not a valid rate! Give a number above 0.\n"},
};

class BadRunTest : public ::testing::TestWithParam<RunCase> {};

TEST_P(BadRunTest, SaysWhyAndEndsWithoutWritingHalfAFile) {
    const RunCase& c = GetParam();
    ScratchDir scratch;
    const std::vector<std::string> args = c.prepare(scratch);
    const ChildResult result = RunChild(args, scratch);
    ASSERT_TRUE(result.Ended) << "still running after the hang limit";
    EXPECT_FALSE(result.Signalled);
    EXPECT_EQ(result.Code, c.code) << result.Err;
    EXPECT_EQ(result.Err.rfind(c.messageStart, 0), 0u) << result.Err;
    EXPECT_TRUE(result.Err.ends_with(c.messageEnd)) << result.Err;
    for (const std::string& name : c.gone) EXPECT_FALSE(std::filesystem::exists(scratch / name)) << name;
    std::error_code ignored;
    if (std::filesystem::is_directory(scratch / "out", ignored)) {
        EXPECT_TRUE(std::filesystem::is_empty(scratch / "out")) << "a log file was written";
    }
}

INSTANTIATE_TEST_SUITE_P(Runs, BadRunTest, ::testing::ValuesIn(RunCases),
                         [](const ::testing::TestParamInfo<RunCase>& param) {
                             return std::string(param.param.name);
                         });

// Log files that cannot be written (here: the file size limit of the process) make
// the run a failure, and no cut-off log file stays behind.
TEST(BadOutput, AReplayWhoseLogFilesCannotBeWrittenExitsWithOne) {
    ScratchDir scratch;
    WriteFile(scratch / "settings.scs", UsableSettings);
    WriteFile(scratch / "in.bin", std::string(5000, 'x'));
    clitest::CliResult result;
    {
        FileSizeLimit limit(100);
        result = clitest::RunCli({"replay", "--settings", scratch / "settings.scs", "--input",
                                  scratch / "in.bin", "--out", scratch / "out"});
    }
    EXPECT_EQ(result.Code, 1);
    const std::string failed =
        "1 log file could not be written into \"" + scratch / "out/" + "\"; their lines are lost.\n";
    EXPECT_TRUE(result.Err.ends_with(failed)) << result.Err;
    EXPECT_TRUE(std::filesystem::is_empty(scratch / "out"));
}

}  // namespace
