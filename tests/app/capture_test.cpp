// kestrun-cli capture from pseudo-terminals: what is written into the master
// side comes out in the counters and the log files.

#include <algorithm>
#include <condition_variable>
#include <iterator>
#include <mutex>
#include <nlohmann/json.hpp>
#include <streambuf>
#include <thread>

#include "../serial/Ser2NetServer.h"
#include "CliTestSupport.h"
#include "Termios2Speed.h"
#include "ZDemoFrameSource.h"
#include "ZULDataDir.h"

namespace clitest {
namespace {

using Json = nlohmann::json;

constexpr int kFrames = 40;

std::vector<uint8_t> ReadAll(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

std::vector<uint8_t> DynamicFrames(int count) {
    ZDemoFrameSource source(ZDemoMode::Dynamic);
    std::vector<uint8_t> bytes;
    for (int i = 0; i < count; ++i) source.AppendFrame(bytes);
    return bytes;
}

void WriteAll(int fd, const std::vector<uint8_t>& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<size_t>(n);
        } else {
            ASSERT_EQ(errno, EAGAIN);
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }
}

// Writes the frames once the capture has its port open (bytes before that are
// purged at the open, as they should be).
class FrameFeeder {
public:
    explicit FrameFeeder(int masterFd) : fd_(masterFd) {}
    ~FrameFeeder() {
        if (thread_.joinable()) thread_.join();
    }
    std::function<void()> OnStarted(std::vector<uint8_t> bytes, std::function<void()> after = {}) {
        return [this, bytes = std::move(bytes), after = std::move(after)] {
            thread_ = std::thread([this, bytes, after] {
                WriteAll(fd_, bytes);
                if (after) after();
            });
        };
    }

private:
    int fd_;
    std::thread thread_;
};

// The stderr of a capture that takes it for a terminal: the command shows its counters
// there every quarter second, and another thread waits on them. The command writes
// through its own stream; only this buffer is shared, under its lock.
class CounterWatch : public std::streambuf {
public:
    // Waits until the counters shown contain text (counters only grow, so it stays);
    // false when they did not within the limit.
    bool WaitFor(const std::string& text) {
        std::unique_lock guard(lock_);
        return changed_.wait_for(guard, std::chrono::seconds(60),
                                 [&] { return text_.find(text) != std::string::npos; });
    }
    std::string Text() {
        std::lock_guard guard(lock_);
        return text_;
    }

protected:
    int_type overflow(int_type c) override {
        if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
        const char ch = traits_type::to_char_type(c);
        xsputn(&ch, 1);
        return c;
    }
    std::streamsize xsputn(const char* s, std::streamsize n) override {
        std::lock_guard guard(lock_);
        text_.append(s, static_cast<size_t>(n));
        changed_.notify_all();
        return n;
    }

private:
    std::mutex lock_;  // guards text_
    std::condition_variable changed_;
    std::string text_;
};

// RunCli with stderr going to watch as to a terminal.
CliResult RunWatchedCli(const std::vector<std::string>& args, CounterWatch& watch,
                        const std::atomic<bool>* stop, std::function<void()> onCaptureStarted) {
    std::vector<const char*> argv{"kestrun-cli"};
    for (const std::string& arg : args) argv.push_back(arg.c_str());
    std::ostringstream out;
    std::ostream err(&watch);
    ZCliContext context{out, err};
    context.StopRequested = stop;
    context.ErrIsTerminal = true;
    context.OnCaptureStarted = std::move(onCaptureStarted);
    CliResult result;
    result.Code = ZCliRun(static_cast<int>(argv.size()), argv.data(), context);
    result.Out = out.str();
    result.Err = watch.Text();
    return result;
}

// The counter line's part that shows the data packets of frames frames: each ends its
// frame, so by then every byte of them has been read.
std::string FramesCounted(int frames) {
    return "| data " + std::to_string(frames) + " (";
}

struct PortChoice {
    const char* Name;
    bool ByDevice;
    const char* Network;  // served by ser2net under this scheme; null: the local device
    bool PreciseTime;
};

void PrintTo(const PortChoice& choice, std::ostream* out) {
    *out << choice.Name;
}

class CaptureTest : public ::testing::TestWithParam<PortChoice> {
protected:
    ScratchDir dir_;
};

TEST_P(CaptureTest, FramesWrittenIntoTheMasterAreCounted) {
    const std::vector<uint8_t> bytes = DynamicFrames(kFrames);
    std::vector<std::string> args = {"capture", "--settings",  ZULGetSamplesDir() + "demo_dynamic.scs",
                                     "--out",   dir_ / "logs", "--json"};
    const PortChoice& choice = GetParam();
    // A network port is the same stream through a server: it must give the same files and counts.
    if (choice.Network && !Ser2NetServer::Installed()) GTEST_SKIP() << "ser2net is not installed";
    ZPseudoTerminal served;
    std::unique_ptr<Ser2NetServer> server;
    if (choice.Network) {
        ASSERT_TRUE(served.Open());
        served.CloseSlave();
        server = std::make_unique<Ser2NetServer>(served.SlavePath(), std::string(choice.Network) != "tcp");
        ASSERT_TRUE(server->Start());
        args.insert(args.end(), {"--device", server->Address(choice.Network)});
    } else if (choice.ByDevice) {
        args.insert(args.end(), {"--device", TestPty().SlavePath()});
    } else {
        args.insert(args.end(), {"--port", "98", "--baud", "921600"});
    }
    if (choice.PreciseTime) args.push_back("--precise-time");
    const std::string raw = dir_ / "raw.bin";
    args.insert(args.end(), {"--raw", raw});
    // Stopped once every frame has been counted, however long that takes.
    CounterWatch watch;
    std::atomic<bool> stop{false};
    CliResult result;
    {
        FrameFeeder feeder(choice.Network ? served.Master() : TestPty().Master());
        result = RunWatchedCli(args, watch, &stop, feeder.OnStarted(bytes, [&] {
            EXPECT_TRUE(watch.WaitFor(FramesCounted(kFrames))) << "the counters never showed every frame";
            stop = true;
        }));
    }
    ASSERT_EQ(result.Code, 0) << result.Err;
    const Json report = Json::parse(result.Out);
    EXPECT_EQ(report["total_bytes"], bytes.size());
    EXPECT_EQ(report["start_triggers"], kFrames);
    EXPECT_EQ(report["data_packets"], kFrames);
    EXPECT_EQ(report["data_packet_bytes"], 20 * kFrames + 60);  // texts of 20 + n % 4 characters
    EXPECT_EQ(report["data_trigger_counts"], Json({35, 5, 4}));
    EXPECT_EQ(report["errors"], Json::array());
    ASSERT_EQ(report["log_files"].size(), 1u);
    const auto lines = ReadLogLines(dir_ / "logs/" + report["log_files"][0].get<std::string>());
    ASSERT_GE(lines.size(), 8u);
    EXPECT_EQ(lines[1], "Start trigger received at <time> (3 bytes)");
    EXPECT_EQ(lines[2], "HEX:   7E A5 15");
    EXPECT_EQ(lines[5], "Data received at <time> (21 bytes)");
    EXPECT_EQ(result.Err.find("Capturing from "), 0u) << result.Err;
    EXPECT_EQ(ReadAll(raw), bytes);
}

INSTANTIATE_TEST_SUITE_P(Ports, CaptureTest,
                         ::testing::Values(PortChoice{"Device", true, nullptr, false},
                                           PortChoice{"ComNumber", false, nullptr, false},
                                           PortChoice{"DevicePreciseTime", true, nullptr, true},
                                           PortChoice{"Rfc2217", true, "rfc2217", false},
                                           PortChoice{"Rfc2217PreciseTime", true, "rfc2217", true},
                                           PortChoice{"RawTcp", true, "tcp", false}),
                         [](const ::testing::TestParamInfo<PortChoice>& choice) {
                             return std::string(choice.param.Name);
                         });

TEST(CaptureStopTest, StopRequestEndsACaptureWithoutDuration) {
    ScratchDir dir;
    std::atomic<bool> stop{false};
    const std::vector<uint8_t> bytes = DynamicFrames(10);
    CounterWatch watch;
    CliResult result;
    {
        FrameFeeder feeder(TestPty().Master());
        result = RunWatchedCli({"capture", "--settings", ZULGetSamplesDir() + "demo_dynamic.scs", "--device",
                                TestPty().SlavePath(), "--out", dir / "logs", "--json"},
                               watch, &stop, feeder.OnStarted(bytes, [&] {
                                   EXPECT_TRUE(watch.WaitFor(FramesCounted(10)))
                                       << "the counters never showed every frame";
                                   stop = true;
                               }));
    }
    ASSERT_EQ(result.Code, 0) << result.Err;
    EXPECT_EQ(Json::parse(result.Out)["start_triggers"], 10);
}

TEST(CaptureStopTest, DurationEndsACapture) {
    ScratchDir dir;
    const CliResult result =
        RunCli({"capture", "--settings", ZULGetSamplesDir() + "demo_dynamic.scs", "--device",
                TestPty().SlavePath(), "--duration", "0.2", "--out", dir / "logs", "--json"});
    ASSERT_EQ(result.Code, 0) << result.Err;
    EXPECT_EQ(Json::parse(result.Out)["errors"], Json::array());
}

TEST(CaptureHangUpTest, LostDeviceEndsTheCaptureAndKeepsWhatCameBefore) {
    ScratchDir dir;
    ZPseudoTerminal pty;
    ASSERT_TRUE(pty.Open());
    const std::string device = pty.SlavePath();
    // Nobody else may hold the slave, or closing the master would not hang it up.
    pty.CloseSlave();
    const std::vector<uint8_t> bytes = DynamicFrames(10);
    CounterWatch watch;
    CliResult result;
    {
        // Bytes still in the device when it goes away are lost: it goes once all are counted.
        FrameFeeder feeder(pty.Master());
        result = RunWatchedCli({"capture", "--settings", ZULGetSamplesDir() + "demo_dynamic.scs", "--device",
                                device, "--duration", "120", "--out", dir / "logs", "--json"},
                               watch, nullptr, feeder.OnStarted(bytes, [&] {
                                   EXPECT_TRUE(watch.WaitFor(FramesCounted(10)))
                                       << "the counters never showed every frame";
                                   pty.CloseMaster();
                               }));
    }
    EXPECT_EQ(result.Code, 1);
    EXPECT_NE(result.Err.find("The capture ended early: the COM port was lost.\n"), std::string::npos)
        << result.Err;
    const Json report = Json::parse(result.Out);
    EXPECT_EQ(report["start_triggers"], 10);
    EXPECT_EQ(report["total_bytes"], bytes.size());
    ASSERT_EQ(report["errors"].size(), 1u);
    EXPECT_EQ(report["errors"][0]["function"], "PollPort");
    EXPECT_EQ(report["log_files"].size(), 1u);
}

// ---------------------------------------------------------------------------------
// Raw recordings and reconnects

std::vector<uint8_t> FramesOf(ZDemoMode mode, int count) {
    ZDemoFrameSource source(mode);
    std::vector<uint8_t> bytes;
    for (int i = 0; i < count; ++i) source.AppendFrame(bytes);
    return bytes;
}

// Every log line of a report's files, in writing order.
std::vector<std::string> AllLogLines(const Json& report, const std::string& dir) {
    std::vector<std::string> lines;
    for (const auto& name : report["log_files"])
        for (std::string& line : ReadLogLines(dir + name.get<std::string>()))
            lines.push_back(std::move(line));
    return lines;
}

Json CountersOf(Json report) {
    report.erase("errors");
    report.erase("log_files");
    return report;
}

struct RawCase {
    const char* Name;
    const char* SettingsFile;  // in the samples folder; "" for every chunk as one block
    ZDemoMode Frames;
};

void PrintTo(const RawCase& c, std::ostream* out) {
    *out << c.Name;
}

class RawRecordingTest : public ::testing::TestWithParam<RawCase> {
protected:
    std::string Settings() {
        if (*GetParam().SettingsFile != '\0') return ZULGetSamplesDir() + GetParam().SettingsFile;
        WriteFile(dir_ / "all.scs", kDefaultPortSection + "[_logger_settings]\r\nCaptureMode=0\r\n");
        return dir_ / "all.scs";
    }
    ScratchDir dir_;
};

TEST_P(RawRecordingTest, AReplayOfTheRecordingGivesWhatTheCaptureGave) {
    constexpr int kCount = 30;
    const std::vector<uint8_t> bytes = FramesOf(GetParam().Frames, kCount);
    const bool everyChunk = *GetParam().SettingsFile == '\0';
    const std::string settings = Settings();
    const std::string raw = dir_ / "capture.bin";
    CounterWatch watch;
    std::atomic<bool> stop{false};
    CliResult captured;
    {
        FrameFeeder feeder(TestPty().Master());
        const std::string counted =
            everyChunk ? "Total " + std::to_string(bytes.size()) + " B" : FramesCounted(kCount);
        captured = RunWatchedCli({"capture", "--settings", settings, "--device", TestPty().SlavePath(),
                                  "--out", dir_ / "capture", "--raw", raw, "--json"},
                                 watch, &stop, feeder.OnStarted(bytes, [&] {
                                     EXPECT_TRUE(watch.WaitFor(counted))
                                         << "the counters never showed it all";
                                     stop = true;
                                 }));
    }
    ASSERT_EQ(captured.Code, 0) << captured.Err;
    EXPECT_EQ(ReadAll(raw), bytes);
    const CliResult replayed =
        RunCli({"replay", "--settings", settings, "--input", raw, "--out", dir_ / "replay", "--json"});
    ASSERT_EQ(replayed.Code, 0) << replayed.Err;
    const Json capture = Json::parse(captured.Out);
    const Json replay = Json::parse(replayed.Out);
    EXPECT_EQ(capture["errors"], Json::array());
    if (everyChunk) {
        // Each read is a block: the blocks follow the reads, the bytes do not.
        EXPECT_EQ(replay["total_bytes"], capture["total_bytes"]);
        EXPECT_EQ(replay["data_packet_bytes"], capture["data_packet_bytes"]);
        EXPECT_EQ(capture["total_bytes"], bytes.size());
    } else {
        EXPECT_EQ(CountersOf(replay), CountersOf(capture));
        EXPECT_EQ(AllLogLines(replay, dir_ / "replay/"), AllLogLines(capture, dir_ / "capture/"));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Modes, RawRecordingTest,
    ::testing::Values(RawCase{"AllBytes", "", ZDemoMode::Dynamic},
                      RawCase{"FixedSize", "demo_fixed.scs", ZDemoMode::Fixed},
                      RawCase{"DynamicSize", "demo_dynamic.scs", ZDemoMode::Dynamic},
                      RawCase{"BetweenTriggers", "demo_between.scs", ZDemoMode::Between}),
    [](const ::testing::TestParamInfo<RawCase>& mode) { return std::string(mode.param.Name); });

struct RawRefusal {
    const char* Name;
    const char* File;
    bool Exists;
    const char* Reason;
};

class RawRefusalTest : public ::testing::TestWithParam<RawRefusal> {};

TEST_P(RawRefusalTest, ARecordingThatCannotBeCreatedIsRefusedBeforeAnythingIsMade) {
    ScratchDir dir;
    const std::string raw = dir / GetParam().File;
    if (GetParam().Exists) WriteFile(raw, "earlier recording");
    const CliResult result = RunCli({"capture", "--settings", ZULGetSamplesDir() + "demo_dynamic.scs",
                                     "--device", TestPty().SlavePath(), "--out", dir / "logs", "--raw", raw});
    EXPECT_EQ(result.Code, 1);
    EXPECT_EQ(result.Err,
              "The raw recording file could not be created: \"" + raw + "\": " + GetParam().Reason + "\n");
    EXPECT_EQ(result.Out, "");
    EXPECT_FALSE(std::filesystem::exists(dir / "logs"));
    if (GetParam().Exists) {
        const std::vector<uint8_t> after = ReadAll(raw);
        EXPECT_EQ(std::string(after.begin(), after.end()), "earlier recording");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Refusals, RawRefusalTest,
    ::testing::Values(RawRefusal{"ExistingFile", "raw.bin", true, "a file of that name exists"},
                      RawRefusal{"MissingFolder", "no/raw.bin", false, "No such file or directory"}),
    [](const ::testing::TestParamInfo<RawRefusal>& refusal) { return std::string(refusal.param.Name); });

// Captures whose device goes away. The override link com98 is re-pointed for them
// and put back afterwards, for the tests that use the shared pseudo-terminal.
class ReconnectCaptureTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(first_.Open());
        // Nobody else may hold the slave, or closing the master would not hang it up.
        first_.CloseSlave();
    }
    void TearDown() override { PointCom98To(TestPty().SlavePath()); }

    static std::string Com98() { return TestHome() + "ports/com98"; }
    static void PointCom98To(const std::string& device) {
        const std::string spare = Com98() + ".new";
        std::error_code ignored;
        std::filesystem::remove(spare, ignored);
        std::filesystem::create_symlink(device, spare);
        std::filesystem::rename(spare, Com98());
    }

    ScratchDir dir_;
    ZPseudoTerminal first_;
};

TEST_F(ReconnectCaptureTest, TheCaptureGoesOnWhereTheOverrideLinkNowPoints) {
    PointCom98To(first_.SlavePath());
    const std::vector<uint8_t> bytes = DynamicFrames(10);
    ZPseudoTerminal second;
    CounterWatch watch;
    std::atomic<bool> stop{false};
    CliResult result;
    {
        FrameFeeder feeder(first_.Master());
        result = RunWatchedCli({"capture", "--settings", ZULGetSamplesDir() + "demo_dynamic.scs", "--port",
                                "98", "--reconnect", "--out", dir_ / "logs", "--json"},
                               watch, &stop, feeder.OnStarted(bytes, [&] {
                                   EXPECT_TRUE(watch.WaitFor(FramesCounted(10)));
                                   first_.CloseMaster();
                                   EXPECT_TRUE(watch.WaitFor("waiting for it to come back"));
                                   ASSERT_TRUE(second.Open());
                                   PointCom98To(second.SlavePath());
                                   EXPECT_TRUE(watch.WaitFor("The COM port is back.\n"));
                                   WriteAll(second.Master(), bytes);
                                   EXPECT_TRUE(watch.WaitFor(FramesCounted(20)));
                                   stop = true;
                               }));
    }
    ASSERT_EQ(result.Code, 0) << result.Err;
    const Json report = Json::parse(result.Out);
    EXPECT_EQ(report["total_bytes"], 2 * bytes.size());
    EXPECT_EQ(report["start_triggers"], 20);
    ASSERT_EQ(report["errors"].size(), 2u);
    EXPECT_EQ(report["errors"][0]["function"], "PollPort");
    EXPECT_EQ(report["errors"][1]["module"], "SerialCapture");
    EXPECT_EQ(report["errors"][1]["function"], "Reconnect");
    EXPECT_EQ(report["errors"][1]["error"],
              "The COM port is back: " + Com98() + " (" + second.SlavePath() + ")");
}

TEST_F(ReconnectCaptureTest, AStopWhileWaitingEndsTheCaptureWithZero) {
    CounterWatch watch;
    std::atomic<bool> stop{false};
    CliResult result;
    {
        FrameFeeder feeder(first_.Master());
        result = RunWatchedCli({"capture", "--settings", ZULGetSamplesDir() + "demo_dynamic.scs", "--device",
                                first_.SlavePath(), "--reconnect", "--out", dir_ / "logs", "--json"},
                               watch, &stop, feeder.OnStarted({}, [&] {
                                   first_.CloseMaster();
                                   EXPECT_TRUE(watch.WaitFor("waiting for it to come back"));
                                   stop = true;
                               }));
    }
    ASSERT_EQ(result.Code, 0) << result.Err;
    const Json report = Json::parse(result.Out);
    ASSERT_EQ(report["errors"].size(), 1u);
    EXPECT_EQ(report["errors"][0]["function"], "PollPort");
}

TEST(CaptureOpenTest, DeviceThatCannotBeOpenedExitsWithOneAndTheReason) {
    ScratchDir dir;
    const CliResult result = RunCli({"capture", "--settings", ZULGetSamplesDir() + "demo_dynamic.scs",
                                     "--device", dir / "no-such-tty", "--out", dir / "logs"});
    EXPECT_EQ(result.Code, 1);
    EXPECT_EQ(result.Err.rfind("The COM port could not be opened...\n", 0), 0u) << result.Err;
    EXPECT_NE(result.Err.find(dir / "no-such-tty is not present"), std::string::npos) << result.Err;
    EXPECT_EQ(result.Out, "");
}

TEST(CaptureOpenTest, ComPortThatIsNotPresentIsNamed) {
    ScratchDir dir;
    const CliResult result = RunCli({"capture", "--settings", ZULGetSamplesDir() + "demo_dynamic.scs",
                                     "--port", "97", "--out", dir / "logs"});
    EXPECT_EQ(result.Code, 1);
    EXPECT_EQ(result.Err,
              "The COM port could not be opened...\nCOM97 is not present (COM97 to COM99 need an override "
              "link). \"kestrun-cli ports\" lists the ports present.\n");
}

TEST(CaptureUsageTest, RateThatIsNoPositiveWholeNumberIsBadUsageListingTheUsualRates) {
    for (const char* rate : {"0", "-9600", "fast", "9600.5", "2147483648"}) {
        const CliResult result =
            RunCli({"capture", "--settings", ZULGetSamplesDir() + "demo_dynamic.scs", "--baud", rate});
        EXPECT_EQ(result.Code, 2) << rate;
        EXPECT_NE(
            result.Err.find("This is not a valid baudrate! A rate is a whole number of baud above 0; the "
                            "usual ones: 50 110 150 300 600 1200 2400 4800 9600 14400 19200 38400 56000 "
                            "57600 115200 128000 230400 256000 460800 921600"),
            std::string::npos)
            << rate << ": " << result.Err;
    }
}

TEST(CaptureUsageTest, OtherBadUsageExitsWithTwo) {
    const std::string settings = ZULGetSamplesDir() + "demo_dynamic.scs";
    EXPECT_EQ(RunCli({"capture", "--settings", settings, "--port", "98", "--device", "/dev/null"}).Code, 2);
    EXPECT_EQ(RunCli({"capture", "--settings", settings, "--port", "100"}).Code, 2);
    EXPECT_EQ(RunCli({"capture", "--settings", settings, "--duration", "-1"}).Code, 2);
    EXPECT_EQ(RunCli({"capture", "--settings", settings, "--baud", "9600x"}).Code, 2);
    EXPECT_EQ(RunCli({"capture"}).Code, 2);
}

// A port served by ser2net over RFC 2217, named in the settings file: the rate asked
// reaches the line, a killed server is a lost port, and with --reconnect the capture
// goes on once the server is back.
TEST(NetworkCaptureTest, AKilledServerIsALossAndARestartResumesTheCapture) {
    if (!Ser2NetServer::Installed()) GTEST_SKIP() << "ser2net is not installed";
    ZPseudoTerminal pty;
    ASSERT_TRUE(pty.Open());
    pty.CloseSlave();
    Ser2NetServer server(pty.SlavePath(), true);
    ASSERT_TRUE(server.Start());
    const std::string address = server.Address("rfc2217");
    ScratchDir dir;
    std::ifstream sample(ZULGetSamplesDir() + "demo_dynamic.scs", std::ios::binary);
    std::string settings((std::istreambuf_iterator<char>(sample)), std::istreambuf_iterator<char>());
    const size_t section = settings.find("[_serial_capture]");
    ASSERT_NE(section, std::string::npos);
    const size_t lineEnd = settings.find('\n', section);
    ASSERT_NE(lineEnd, std::string::npos);
    settings.insert(lineEnd + 1, "NetworkPort=" + address + (settings[lineEnd - 1] == '\r' ? "\r\n" : "\n"));
    WriteFile(dir / "net.scs", settings);

    const std::vector<uint8_t> bytes = DynamicFrames(10);
    CounterWatch watch;
    std::atomic<bool> stop{false};
    uint32_t rate = 0;
    CliResult result;
    {
        FrameFeeder feeder(pty.Master());
        result = RunWatchedCli({"capture", "--settings", dir / "net.scs", "--baud", "57600", "--reconnect",
                                "--out", dir / "logs", "--json"},
                               watch, &stop, feeder.OnStarted(bytes, [&] {
                                   EXPECT_TRUE(watch.WaitFor(FramesCounted(10)));
                                   Termios2GetSpeed(pty.Master(), rate);
                                   server.Stop();
                                   EXPECT_TRUE(watch.WaitFor("waiting for it to come back"));
                                   EXPECT_TRUE(server.Start());
                                   EXPECT_TRUE(watch.WaitFor("The COM port is back.\n"));
                                   WriteAll(pty.Master(), bytes);
                                   EXPECT_TRUE(watch.WaitFor(FramesCounted(20)));
                                   stop = true;
                               }));
    }
    ASSERT_EQ(result.Code, 0) << result.Err;
    EXPECT_EQ(rate, 57600u);
    const Json report = Json::parse(result.Out);
    EXPECT_EQ(report["total_bytes"], 2 * bytes.size());
    EXPECT_EQ(report["start_triggers"], 20);
    ASSERT_EQ(report["errors"].size(), 2u);
    EXPECT_EQ(report["errors"][0]["error"],
              "The COM port was lost (device " + address + " hung up or was removed)");
    EXPECT_EQ(report["errors"][1]["error"], "The COM port is back: " + address);
}

// Two lines at once, each from its own pseudo-terminal: the summary counts each line
// under its name, the log headers name it, and the timed recording replays both.
TEST(TwoLineCaptureTest, EachLineIsCountedNamedAndReplayed) {
    const struct {
        const char* Name;
        const char* Sections;  // beside the first port section
        const char* Names[2];  // "": the device's file name
    } rows[] = {
        {"names from the settings",
         "Name=Master\r\n[_serial_capture2]\r\nEnabled=1\r\nName=Slave\r\n",
         {"Master", "Slave"}},
        {"default names: the devices' file names", "", {"", ""}},
    };
    for (const auto& row : rows) {
        ScratchDir dir;
        ZPseudoTerminal first;
        ZPseudoTerminal second;
        ASSERT_TRUE(first.Open() && second.Open());
        std::string sections = kDefaultPortSection + row.Sections;
        const std::string portText = kDefaultPortSection.substr(kDefaultPortSection.find("_settings"));
        if (*row.Sections != '\0') sections += portText;
        WriteFile(dir / "two.scs", sections + "[_logger_settings]\r\nCaptureMode=0\r\n");
        const std::vector<uint8_t> query{'Q', 0x00, 0xFF, '\n'};
        const std::vector<uint8_t> answer{'A', 'N', 'S', 0xFF, 0x00, '\n'};
        CounterWatch watch;
        std::atomic<bool> stop{false};
        CliResult captured;
        std::thread writer;
        captured = RunWatchedCli(
            {"capture", "--settings", dir / "two.scs", "--device", first.SlavePath(), "--device2",
             second.SlavePath(), "--out", dir / "capture", "--raw", dir / "two.pcapng", "--json"},
            watch, &stop, [&] {
                writer = std::thread([&] {
                    WriteAll(first.Master(), query);
                    EXPECT_TRUE(watch.WaitFor("Total 4 B"));
                    WriteAll(second.Master(), answer);
                    EXPECT_TRUE(watch.WaitFor("Total 10 B"));
                    stop = true;
                });
            });
        writer.join();
        ASSERT_EQ(captured.Code, 0) << row.Name << captured.Err;
        std::string names[2];
        for (int line = 0; line < 2; ++line) {
            const std::string& path = line == 0 ? first.SlavePath() : second.SlavePath();
            names[line] = *row.Names[line] != '\0' ? row.Names[line] : path.substr(path.rfind('/') + 1);
        }
        const Json lines = Json::parse(captured.Out)["lines"];
        ASSERT_EQ(lines.size(), 2u) << row.Name << captured.Out;
        EXPECT_EQ(lines[0]["name"], names[0]) << row.Name;
        EXPECT_EQ(lines[0]["total_bytes"], query.size()) << row.Name;
        EXPECT_EQ(lines[1]["name"], names[1]) << row.Name;
        EXPECT_EQ(lines[1]["total_bytes"], answer.size()) << row.Name;
        const std::vector<std::string> log = AllLogLines(Json::parse(captured.Out), dir / "capture/");
        const auto named = [&](const std::string& name) {
            return std::any_of(log.begin(), log.end(), [&](const std::string& l) {
                return l.rfind("Data from " + name + " at ", 0) == 0;
            });
        };
        EXPECT_TRUE(named(names[0]) && named(names[1])) << row.Name;

        const CliResult replayed = RunCli({"replay", "--settings", dir / "two.scs", "--input",
                                           dir / "two.pcapng", "--out", dir / "replay", "--json"});
        ASSERT_EQ(replayed.Code, 0) << row.Name << replayed.Err;
        EXPECT_EQ(Json::parse(replayed.Out)["lines"], lines) << row.Name;
    }
}

}  // namespace
}  // namespace clitest
