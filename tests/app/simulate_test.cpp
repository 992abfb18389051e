// kestrun-cli simulate: the demonstration device, alone and with a live capture.

#include <nlohmann/json.hpp>
#include <thread>

#include "CliTestSupport.h"
#include "ZCliPortLink.h"
#include "ZCliSimulateCommand.h"
#include "ZULDataDir.h"

namespace clitest {
namespace {

using Json = nlohmann::json;

std::string LinkTarget(const std::string& link) {
    std::error_code error;
    const auto target = std::filesystem::read_symlink(link, error);
    return error ? std::string() : target.string();
}

// Runs the simulator on its own thread until the test is done with it.
class BackgroundSimulator {
public:
    explicit BackgroundSimulator(std::vector<std::string> args)
        : thread_([this, args = std::move(args)] { result_ = RunCli(args, &stop_); }) {}
    ~BackgroundSimulator() { Stop(); }
    const CliResult& Stop() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
        return result_;
    }

private:
    std::atomic<bool> stop_{false};
    CliResult result_;
    std::thread thread_;
};

// The test environment points com99 at its own pseudo-terminal: a stale link
// from the simulator's point of view, which it must replace.
bool WaitForLinkToChange(const std::string& link, const std::string& from) {
    for (int i = 0; i < 200; ++i) {
        const std::string target = LinkTarget(link);
        if (!target.empty() && target != from) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

TEST(SimulateTest, CaptureOfTheSimulatedPortSeesItsFrames) {
    ScratchDir dir;
    const std::string link = TestHome() + "ports/com99";
    BackgroundSimulator simulator({"simulate", "--port", "99", "--rate", "20000", "--mode", "between"});
    ASSERT_TRUE(WaitForLinkToChange(link, TestPty().SlavePath()));

    const CliResult capture = RunCli({"capture", "--settings", ZULGetSamplesDir() + "demo_between.scs",
                                      "--port", "99", "--duration", "1", "--out", dir / "logs", "--json"});
    const CliResult& simulated = simulator.Stop();

    ASSERT_EQ(capture.Code, 0) << capture.Err;
    const Json report = Json::parse(capture.Out);
    // About 20000 bytes of 27-byte frames in a second; a loaded machine may give far
    // fewer, but every eighth frame is an alarm, so both triggers below need eight.
    const int starts = report["start_triggers"];
    EXPECT_GE(starts, 8);
    EXPECT_NEAR(report["data_packets"].get<int>(), starts, 1);
    EXPECT_NEAR(report["stop_triggers"].get<int>(), starts, 1);
    EXPECT_GT(report["data_trigger_counts"][0].get<int>(), 0);
    EXPECT_GT(report["data_trigger_counts"][1].get<int>(), 0);
    EXPECT_EQ(report["errors"], Json::array());
    EXPECT_FALSE(report["log_files"].empty());

    EXPECT_EQ(simulated.Code, 0) << simulated.Err;
    EXPECT_NE(simulated.Out.find("Simulating a serial device on COM99: /dev/pts/"), std::string::npos)
        << simulated.Out;
    // The window program finds the port only in the same application directory.
    EXPECT_NE(simulated.Out.find("\nApplication directory: " + TestHome() + "\n"), std::string::npos)
        << simulated.Out;
    EXPECT_NE(simulated.Out.find("Fitting settings: " + ZULGetSamplesDir() + "demo_between.scs\n"),
              std::string::npos)
        << simulated.Out;
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link))) << "link left behind";
}

TEST(SimulateTest, DurationEndsItAndTheLinkGoesAway) {
    const CliResult result = RunCli({"simulate", "--port", "96", "--duration", "0.3", "--mode", "fixed"});
    EXPECT_EQ(result.Code, 0) << result.Err;
    EXPECT_NE(result.Out.find("Fitting settings: " + ZULGetSamplesDir() + "demo_fixed.scs\n"),
              std::string::npos);
    EXPECT_NE(result.Out.find("Stopped after "), std::string::npos) << result.Out;
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(TestHome() + "ports/com96")));
}

TEST(SimulateTest, SomethingThatIsNotALinkIsLeftAlone) {
    const std::string path = TestHome() + "ports/com95";
    WriteFile(path, "keep me");
    const CliResult result = RunCli({"simulate", "--port", "95", "--duration", "0.1"});
    EXPECT_EQ(result.Code, 1);
    EXPECT_EQ(result.Err, "\"" + path + "\" exists and is not a link; it is left as it is.\n");
    std::ifstream file(path);
    std::string content;
    std::getline(file, content);
    EXPECT_EQ(content, "keep me");
    std::filesystem::remove(path);
}

TEST(SimulateTest, UnknownModeIsBadUsage) {
    EXPECT_EQ(RunCli({"simulate", "--mode", "circular"}).Code, 2);
    EXPECT_EQ(RunCli({"simulate", "--rate", "0"}).Code, 2);
}

TEST(PortLinkTest, ALinkPointedElsewhereMeanwhileIsNotRemoved) {
    std::string error;
    {
        ZCliPortLink link;
        ASSERT_TRUE(link.Create(94, "/dev/null", error)) << error;
        EXPECT_EQ(LinkTarget(link.Path()), "/dev/null");
        // Another simulator takes the port over.
        std::filesystem::remove(link.Path());
        std::filesystem::create_symlink("/dev/zero", link.Path());
    }
    EXPECT_EQ(LinkTarget(TestHome() + "ports/com94"), "/dev/zero");
    std::filesystem::remove(TestHome() + "ports/com94");
}

}  // namespace
}  // namespace clitest
