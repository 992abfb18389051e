// The programs as a user starts them: --version and --help answer without a display.

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "CliTestSupport.h"
#include "ZULAppDir.h"

extern char** environ;

namespace clitest {
namespace {

struct ProgramRun {
    int Code = -1;
    std::string Out;
};

// Runs a program of this build (tests/app/ -> app/) with no display in its environment.
ProgramRun RunProgram(const std::string& name, const std::vector<std::string>& arguments) {
    ScratchDir dir;
    const std::string outFile = dir / "stdout";
    std::vector<std::string> owned{ZULGetExeDir() + "../../app/" + name};
    owned.insert(owned.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& argument : owned) argv.push_back(argument.data());
    argv.push_back(nullptr);
    std::vector<std::string> environment;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string text = *entry;
        const bool display = text.rfind("DISPLAY=", 0) == 0 || text.rfind("WAYLAND_DISPLAY=", 0) == 0 ||
                             text.rfind("QT_QPA_PLATFORM=", 0) == 0;
        if (!display) environment.push_back(text);
    }
    std::vector<char*> envp;
    for (std::string& entry : environment) envp.push_back(entry.data());
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outFile.c_str(), O_WRONLY | O_CREAT | O_EXCL,
                                     0600);
    ProgramRun run;
    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) return run;
    int status = 0;
    if (waitpid(pid, &status, 0) != pid) return run;
    run.Code = WIFEXITED(status) ? WEXITSTATUS(status) : -2;
    std::ifstream out(outFile, std::ios::binary);
    run.Out.assign(std::istreambuf_iterator<char>(out), std::istreambuf_iterator<char>());
    return run;
}

struct OptionCase {
    const char* name;
    const char* program;
    std::vector<std::string> arguments;
    int code;
    std::string outStart;  // what standard output begins with
    bool whole;            // and ends there
};

void PrintTo(const OptionCase& c, std::ostream* out) {
    *out << c.name;
}

class ProgramOptionsTest : public ::testing::TestWithParam<OptionCase> {};

TEST_P(ProgramOptionsTest, AnswersWithoutADisplay) {
    const OptionCase& c = GetParam();
    const ProgramRun run = RunProgram(c.program, c.arguments);
    EXPECT_EQ(run.Code, c.code) << run.Out;
    if (c.whole) {
        EXPECT_EQ(run.Out, c.outStart);
    } else {
        EXPECT_EQ(run.Out.substr(0, c.outStart.size()), c.outStart) << run.Out;
    }
}

const std::string kVersion = KESTRUN_VERSION;

std::vector<OptionCase> OptionCases() {
    std::vector<OptionCase> cases = {
        {"CliVersion", "kestrun-cli", {"--version"}, 0, "kestrun-cli " + kVersion + "\n", true},
        {"CliHelp", "kestrun-cli", {"--help"}, 0, "Usage: kestrun-cli COMMAND [OPTIONS]\n", false},
        {"CliCommandHelp",
         "kestrun-cli",
         {"replay", "--help"},
         0,
         "Usage: kestrun-cli replay --settings S.scs --input IN.bin",
         false},
        {"CliWithoutCommand", "kestrun-cli", {}, 2, "", true},
    };
#ifdef KESTRUN_HAVE_GUI
    const std::vector<OptionCase> window = {
        {"WindowVersion", "kestrun", {"--version"}, 0, "kestrun " + kVersion + "\n", true},
        {"WindowVersionAfterAFile", "kestrun", {"a.scs", "--version"}, 0, "kestrun " + kVersion + "\n", true},
        {"WindowHelp", "kestrun", {"--help"}, 0, "Usage: kestrun [--terminal] [--plot] [FILE.scs]\n", false},
        {"WindowShortHelp", "kestrun", {"-h"}, 0, "Usage: kestrun [--terminal] [--plot] [FILE.scs]\n", false},
        {"WindowWithoutDisplay", "kestrun", {}, 2, "", true},
    };
    cases.insert(cases.end(), window.begin(), window.end());
#endif
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Programs, ProgramOptionsTest, ::testing::ValuesIn(OptionCases()),
                         [](const ::testing::TestParamInfo<OptionCase>& param) {
                             return std::string(param.param.name);
                         });

}  // namespace
}  // namespace clitest
