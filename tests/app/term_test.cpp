// kestrun-cli term as a user runs it: the program started with a pseudo-terminal as
// its terminal and another as the device. Keys go out, the device's text comes in,
// Ctrl+T commands work, and the terminal is put back as it was on every way out.
// Piped input is sent and listened after. The pieces (keys, output) in tables.

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "CliTestSupport.h"
#include "ZCliTermKeys.h"
#include "ZCliTermOutput.h"
#include "ZULAppDir.h"

extern char** environ;

namespace clitest {
namespace {

using Clock = std::chrono::steady_clock;
// Only ever reached by a fault: a loaded machine running a sanitizer build may be slow.
constexpr std::chrono::seconds Deadline{20};

// Whether ready() came true before the deadline, asked every few milliseconds.
template <class Ready>
bool WaitUntil(Ready ready) {
    const auto deadline = Clock::now() + Deadline;
    while (!ready()) {
        if (Clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

// Reads what a descriptor delivers until want is in it or the deadline passes.
class Reader {
public:
    explicit Reader(int fd) : fd_(fd) {}
    bool WaitFor(const std::string& want) {
        const auto deadline = Clock::now() + Deadline;
        while (text_.find(want, from_) == std::string::npos) {
            if (Clock::now() >= deadline) return false;
            pollfd ready{fd_, POLLIN, 0};
            if (poll(&ready, 1, 20) <= 0) continue;
            char buffer[4096];
            const ssize_t got = read(fd_, buffer, sizeof buffer);
            if (got > 0) text_.append(buffer, static_cast<size_t>(got));
        }
        from_ = text_.find(want, from_) + want.size();
        return true;
    }
    // Everything read so far, and all that arrives until the descriptor has been quiet.
    const std::string& Text() { return text_; }
    void Drain() {
        char buffer[4096];
        pollfd ready{fd_, POLLIN, 0};
        while (poll(&ready, 1, 50) > 0) {
            const ssize_t got = read(fd_, buffer, sizeof buffer);
            if (got <= 0) break;
            text_.append(buffer, static_cast<size_t>(got));
        }
    }

private:
    int fd_;
    std::string text_;
    size_t from_ = 0;
};

void Write(int fd, const std::string& bytes) {
    ASSERT_EQ(write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
}

bool SameTermios(const termios& a, const termios& b) {
    return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_cflag == b.c_cflag &&
           a.c_lflag == b.c_lflag && std::equal(std::begin(a.c_cc), std::end(a.c_cc), std::begin(b.c_cc));
}

// kestrun-cli term started in a session of its own, its standard input, output and
// error the given descriptors.
class TermProgram {
public:
    TermProgram(const std::vector<std::string>& arguments, int in, int out, int err) {
        std::vector<std::string> owned{ZULGetExeDir() + "../../app/kestrun-cli", "term"};
        owned.insert(owned.end(), arguments.begin(), arguments.end());
        std::vector<char*> argv;
        for (std::string& argument : owned) argv.push_back(argument.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, in, STDIN_FILENO);
        posix_spawn_file_actions_adddup2(&actions, out, STDOUT_FILENO);
        posix_spawn_file_actions_adddup2(&actions, err, STDERR_FILENO);
        posix_spawnattr_t attributes;
        posix_spawnattr_init(&attributes);
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
        if (posix_spawn(&pid_, argv[0], &actions, &attributes, argv.data(), environ) != 0) pid_ = -1;
        posix_spawnattr_destroy(&attributes);
        posix_spawn_file_actions_destroy(&actions);
    }
    ~TermProgram() {
        if (pid_ > 0 && !ended_) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }
    TermProgram(const TermProgram&) = delete;
    TermProgram& operator=(const TermProgram&) = delete;

    pid_t Pid() const { return pid_; }
    // The wait status once it has ended; false when it did not end in time.
    bool WaitForEnd(int& status) {
        ended_ = WaitUntil([&] { return waitpid(pid_, &status, WNOHANG) == pid_; });
        return ended_;
    }

private:
    pid_t pid_ = -1;
    bool ended_ = false;
};

// A pseudo-terminal pair as the program's terminal: the test types into the master
// and reads the screen from it.
class Terminal {
public:
    Terminal() {
        openpty(&master_, &slave_, nullptr, nullptr, nullptr);
        // Only the program's standard descriptors lead to it.
        fcntl(master_, F_SETFD, FD_CLOEXEC);
        fcntl(slave_, F_SETFD, FD_CLOEXEC);
        tcgetattr(slave_, &before_);
    }
    ~Terminal() {
        close(master_);
        close(slave_);
    }
    Terminal(const Terminal&) = delete;
    Terminal& operator=(const Terminal&) = delete;
    int Master() const { return master_; }
    int Slave() const { return slave_; }
    bool WaitUntilRaw() const {
        return WaitUntil([this] {
            termios now{};
            return tcgetattr(slave_, &now) == 0 && (now.c_lflag & (ICANON | ECHO | ISIG)) == 0;
        });
    }
    bool Restored() const {
        termios now{};
        return tcgetattr(slave_, &now) == 0 && SameTermios(now, before_);
    }

private:
    int master_ = -1;
    int slave_ = -1;
    termios before_{};
};

// How the session ends; PortLostThenQuit waits for Told before the user quits.
enum class Ending { Quit, SignalTerm, SecondSignal, PortLost, PortLostThenQuit };
// The exit code of a program killed by one of the two signals of SecondSignal.
constexpr int KilledBySignal = -1;

// A keystroke and what the device gets, then what the device says and what is shown.
struct Exchange {
    std::string Typed;
    std::string DeviceGets;
    std::string DeviceSays;
    std::string Shown;
};

struct TermCase {
    const char* Name;
    std::vector<std::string> Arguments;
    std::vector<Exchange> Exchanges;
    Ending End;
    int ExitCode;        // KilledBySignal, or the code it exits with
    std::string Told;    // what the end tells on the terminal
};

void PrintTo(const TermCase& row, std::ostream* out) {
    *out << row.Name;
}

class TermThroughPtyTest : public ::testing::TestWithParam<TermCase> {};

TEST_P(TermThroughPtyTest, KeysOutTextInTerminalRestored) {
    const TermCase& row = GetParam();
    ZPseudoTerminal device;
    ASSERT_TRUE(device.Open());
    Terminal terminal;
    std::vector<std::string> arguments{"--device", device.SlavePath()};
    arguments.insert(arguments.end(), row.Arguments.begin(), row.Arguments.end());
    TermProgram program(arguments, terminal.Slave(), terminal.Slave(), terminal.Slave());
    ASSERT_GT(program.Pid(), 0);
    Reader screen(terminal.Master());
    Reader line(device.Master());
    ASSERT_TRUE(screen.WaitFor("Ctrl+T q quits")) << screen.Text();
    ASSERT_TRUE(terminal.WaitUntilRaw());
    for (const Exchange& exchange : row.Exchanges) {
        Write(terminal.Master(), exchange.Typed);
        if (!exchange.DeviceGets.empty()) {
            ASSERT_TRUE(line.WaitFor(exchange.DeviceGets)) << line.Text();
        }
        Write(device.Master(), exchange.DeviceSays);
        if (!exchange.Shown.empty()) {
            ASSERT_TRUE(screen.WaitFor(exchange.Shown)) << screen.Text();
        }
    }
    switch (row.End) {
        case Ending::Quit:
            Write(terminal.Master(), "\x14q");
            break;
        case Ending::SignalTerm:
            ASSERT_EQ(kill(program.Pid(), SIGTERM), 0);
            break;
        case Ending::SecondSignal:
            // Both wait while it is stopped and arrive together: the second one kills it.
            ASSERT_EQ(kill(program.Pid(), SIGSTOP), 0);
            ASSERT_EQ(kill(program.Pid(), SIGINT), 0);
            ASSERT_EQ(kill(program.Pid(), SIGTERM), 0);
            ASSERT_EQ(kill(program.Pid(), SIGCONT), 0);
            break;
        case Ending::PortLost:
            device.Close();
            break;
        case Ending::PortLostThenQuit:
            device.Close();
            ASSERT_TRUE(screen.WaitFor(row.Told)) << screen.Text();
            Write(terminal.Master(), "\x14q");
            break;
    }
    int status = 0;
    ASSERT_TRUE(program.WaitForEnd(status));
    screen.Drain();
    if (row.ExitCode >= 0) {
        ASSERT_TRUE(WIFEXITED(status)) << status;
        EXPECT_EQ(WEXITSTATUS(status), row.ExitCode) << screen.Text();
    } else {
        // Which of the two signals is handled first is the kernel's choice.
        ASSERT_TRUE(WIFSIGNALED(status)) << status;
        EXPECT_TRUE(WTERMSIG(status) == SIGINT || WTERMSIG(status) == SIGTERM) << WTERMSIG(status);
    }
    EXPECT_TRUE(terminal.Restored());
    EXPECT_NE(screen.Text().find(row.Told), std::string::npos) << screen.Text();
}

const Exchange AskAndAnswer{"AT\r\x03", "AT\r\x03", "OK\r\n", "OK\r\n"};

INSTANTIATE_TEST_SUITE_P(
    Sessions, TermThroughPtyTest,
    ::testing::Values(
        TermCase{"QuitAfterAnswer", {}, {AskAndAnswer}, Ending::Quit, 0, "Bytes sent:      4 ("},
        TermCase{"EnterMapped", {"--map", "crlf"}, {{"AT\r", "AT\r\n", "", ""}}, Ending::Quit, 0, "Total bytes"},
        TermCase{"PrefixTwiceSendsIt", {}, {{"\x14\x14z", "\x14z", "", ""}}, Ending::Quit, 0, "Total bytes"},
        // As the port opens them: neither line is on.
        TermCase{"LinesToggled", {}, {{"\x14" "d", "", "", "DTR on."}, {"\x14" "d", "", "", "DTR off."},
                 {"\x14r", "", "", "RTS on."}}, Ending::Quit, 0, ""},
        TermCase{"HelpLine", {}, {{"\x14h", "", "", "[kestrun-cli] Ctrl+T then: q quit"}}, Ending::Quit, 0, ""},
        TermCase{"StampsCycled", {"--timestamps", "us"}, {{"\x14t", "", "", "Time stamps: off"},
                 {"\x14t", "", "", "Time stamps: HH:MM:SS\r\n"}, {"", "", "b\n", " b\n"}}, Ending::Quit, 0, ""},
        TermCase{"Latin1", {"--latin1"}, {{"\xc3\xa9\r", "\xe9\r", "\xfc\r\n", "\xc3\xbc\r\n"}}, Ending::Quit, 0, ""},
        TermCase{"LocalEcho", {"--local-echo", "--map", "lf"}, {{"hi\r", "hi\n", "", "hi\n"}}, Ending::Quit, 0, ""},
        TermCase{"SignalStops", {}, {AskAndAnswer}, Ending::SignalTerm, 0, "Total bytes:     4"},
        TermCase{"SecondSignalKills", {}, {AskAndAnswer}, Ending::SecondSignal, KilledBySignal, "OK"},
        TermCase{"PortLost", {}, {AskAndAnswer}, Ending::PortLost, 1, "the COM port was lost"},
        TermCase{"PortLostWithReconnect", {"--reconnect"}, {AskAndAnswer}, Ending::PortLostThenQuit, 0,
                 "waiting for it to come back"}),
    [](const ::testing::TestParamInfo<TermCase>& row) { return std::string(row.param.Name); });

// Piped input is sent as it comes, with the line ends of --map and in the character
// set chosen, and the answer that follows is listened for until the input has ended
// and lingered.
struct PipeCase {
    std::vector<std::string> Arguments;
    std::string DeviceGets;
    std::string Told;
};

TEST(TermPipeTest, SentAsItComesAndListenedAfter) {
    const std::vector<PipeCase> rows = {
        {{}, "AT\rATI\xc3\xa9\r", "Bytes sent:      9 ("},
        {{"--latin1"}, "AT\rATI\xe9\r", "Bytes sent:      8 ("},
    };
    for (const PipeCase& row : rows) {
        SCOPED_TRACE(row.Told);
        ZPseudoTerminal device;
        ASSERT_TRUE(device.Open());
        int input[2], output[2], errors[2];
        // Close-on-exec: the program must see the end of its input when the test closes it.
        ASSERT_EQ(pipe2(input, O_CLOEXEC), 0);
        ASSERT_EQ(pipe2(output, O_CLOEXEC), 0);
        ASSERT_EQ(pipe2(errors, O_CLOEXEC), 0);
        std::vector<std::string> arguments{"--device", device.SlavePath(), "--map", "cr", "--linger", "0.2"};
        arguments.insert(arguments.end(), row.Arguments.begin(), row.Arguments.end());
        TermProgram program(arguments, input[0], output[1], errors[1]);
        close(input[0]);
        close(output[1]);
        close(errors[1]);
        Reader err(errors[0]);
        Reader out(output[0]);
        Reader line(device.Master());
        ASSERT_TRUE(err.WaitFor("Capturing from")) << err.Text();
        Write(input[1], "AT\r\nATI\xc3\xa9\n");
        ASSERT_TRUE(line.WaitFor(row.DeviceGets)) << line.Text();
        Write(device.Master(), "OK\r\n");
        ASSERT_TRUE(out.WaitFor("OK\r\n")) << out.Text();
        close(input[1]);
        int status = 0;
        ASSERT_TRUE(program.WaitForEnd(status));
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 0) << err.Text();
        err.Drain();
        EXPECT_NE(err.Text().find(row.Told), std::string::npos) << err.Text();
        EXPECT_EQ(err.Text().find("Ctrl+T"), std::string::npos) << "no keys to explain to a pipe";
        close(output[0]);
        close(errors[0]);
    }
}

struct KeysCase {
    ZTermLineEnd Enter;
    ZTermCharset Charset;
    std::vector<std::string> Pieces;
    std::vector<ZCliTermStep> Steps;
};

ZCliTermStep Bytes(const std::string& bytes) {
    return {false, ZCliTermCommand::Help, bytes};
}
ZCliTermStep Command(ZCliTermCommand command) {
    return {true, command, ""};
}

TEST(TermKeysTest, KeysBecomeBytesAndCommands) {
    using C = ZCliTermCommand;
    const std::vector<KeysCase> rows = {
        {ZTermLineEnd::None, ZTermCharset::Utf8, {"ls\r\x03"}, {Bytes("ls\r\x03")}},
        {ZTermLineEnd::CrLf, ZTermCharset::Utf8, {"a\rb\n"}, {Bytes("a\r\nb\n")}},
        {ZTermLineEnd::Lf, ZTermCharset::Utf8, {"\r"}, {Bytes("\n")}},
        {ZTermLineEnd::None, ZTermCharset::Utf8, {"x\x14qy"}, {Bytes("x"), Command(C::Quit), Bytes("y")}},
        {ZTermLineEnd::None, ZTermCharset::Utf8, {"x\x14", "Q"}, {Bytes("x"), Command(C::Quit)}},
        {ZTermLineEnd::None,
         ZTermCharset::Utf8,
         {"\x14" "b\x14" "d\x14r\x14l\x14t"},
         {Command(C::Break), Command(C::ToggleDtr), Command(C::ToggleRts), Command(C::Clear), Command(C::CycleStamps)}},
        {ZTermLineEnd::None, ZTermCharset::Utf8, {"\x14\x14\x14"}, {Bytes("\x14")}},
        {ZTermLineEnd::None, ZTermCharset::Utf8, {"\x14h\x14z\x14\r"}, {Command(C::Help), Command(C::Help), Command(C::Help)}},
        {ZTermLineEnd::None, ZTermCharset::Utf8, {"\xc3\xa9\xff"}, {Bytes("\xc3\xa9\xff")}},
        {ZTermLineEnd::None, ZTermCharset::Latin1, {"\xc3\xa9\xe2\x82\xac\xff"}, {Bytes("\xe9?\xff")}},
        {ZTermLineEnd::None, ZTermCharset::Latin1, {"\xc3", "\xa9"}, {Bytes("\xe9")}},
        {ZTermLineEnd::CrLf, ZTermCharset::Latin1, {"\xc3\r"}, {Bytes("\xc3\r\n")}},
    };
    for (const KeysCase& row : rows) {
        ZCliTermKeys keys(row.Enter, row.Charset);
        std::vector<ZCliTermStep> steps;
        for (const std::string& piece : row.Pieces)
            keys.Feed(reinterpret_cast<const uint8_t*>(piece.data()), piece.size(), steps);
        EXPECT_EQ(steps, row.Steps) << row.Pieces[0];
    }
}

struct OutputChunk {
    std::string Bytes;
    bool Sent = false;
    int64_t TimeUs = 1;
};

struct OutputCase {
    ZTermStampFormat Stamps;
    bool Latin1;
    bool Echo;
    std::vector<OutputChunk> Chunks;
    std::string Shown;  // '9' stands for any digit
};

TEST(TermOutputTest, ReceivedBytesShownWithStampsAndEcho) {
    const std::vector<OutputCase> rows = {
        {ZTermStampFormat::Off, false, false, {{"a\r\nb"}, {"c", true}}, "a\r\nb"},
        {ZTermStampFormat::Off, false, true, {{"a\r\n"}, {"c\r", true}}, "a\r\nc\r"},
        {ZTermStampFormat::Seconds, false, false, {{"a\r\nb"}, {"c\nd"}}, "99:99:99 a\r\n99:99:99 bc\n99:99:99 d"},
        // A CR that no LF follows starts its line afresh; one split from its LF does not.
        {ZTermStampFormat::Milliseconds, false, false, {{"1%\r2%\r"}, {"\n"}}, "99:99:99.999 1%\r99:99:99.999 2%\r\n"},
        {ZTermStampFormat::Microseconds, false, true, {{"x", true}, {"y"}}, "x99:99:99.999999 y"},
        {ZTermStampFormat::Off, true, false, {{"\x80\xfc\x41\xe9"}}, "\xc2\x80\xc3\xbc" "A\xc3\xa9"},
        {ZTermStampFormat::Off, true, true, {{"\xb0", true}}, "\xc2\xb0"},
    };
    for (const OutputCase& row : rows) {
        ZCliTermOutput output;
        output.SetStamps(row.Stamps);
        output.SetLatin1(row.Latin1);
        output.SetLocalEcho(row.Echo);
        std::string shown;
        for (const OutputChunk& chunk : row.Chunks) {
            output.OnBytes(reinterpret_cast<const uint8_t*>(chunk.Bytes.data()), static_cast<int>(chunk.Bytes.size()),
                           chunk.Sent, chunk.TimeUs);
            EXPECT_EQ(output.Render(shown), 0u);
        }
        EXPECT_TRUE(MatchesShape(shown, row.Shown)) << shown << " against " << row.Shown;
    }
}

// What does not fit the queue is counted, never waited for, and the queue takes bytes
// again once the main thread has taken what waits.
TEST(TermOutputTest, FullQueueCountsWhatIsNotShown) {
    ZCliTermOutput output;
    ASSERT_GE(output.WakeFd(), 0);
    const std::vector<uint8_t> chunk(ZCliTermOutput::MaxQueuedBytes / 4, 'x');
    for (int i = 0; i < 5; ++i) output.OnBytes(chunk.data(), static_cast<int>(chunk.size()), false, 1);
    pollfd ready{output.WakeFd(), POLLIN, 0};
    EXPECT_EQ(poll(&ready, 1, 0), 1);
    std::string shown;
    EXPECT_EQ(output.Render(shown), chunk.size());
    EXPECT_EQ(shown.size(), ZCliTermOutput::MaxQueuedBytes);
    EXPECT_EQ(poll(&ready, 1, 0), 0);
    output.OnBytes(chunk.data(), 1, false, 1);
    shown.clear();
    EXPECT_EQ(output.Render(shown), 0u);
    EXPECT_EQ(shown, "x");
    EXPECT_EQ(output.BytesNotShown(), chunk.size());
}

}  // namespace
}  // namespace clitest
