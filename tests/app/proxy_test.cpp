// kestrun-cli proxy between a program and a device, both pseudo-terminals here: the
// bytes passed on both ways, the program's settings applied to the device, and the
// link's life.

#include <fcntl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <thread>

#include "CliTestSupport.h"
#include "LogFileOrder.h"
#include "Termios2Speed.h"

namespace clitest {
namespace {

using Json = nlohmann::json;

bool WaitFor(const std::function<bool()>& done) {
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!done()) {
        if (std::chrono::steady_clock::now() >= limit) return done();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

bool Exists(const std::string& path) {
    struct stat status {};
    return lstat(path.c_str(), &status) == 0;
}

std::string ReadText(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// The log files of folder, oldest first, as one text.
std::string LogText(const std::string& folder) {
    std::string text;
    for (const auto& file : LogFilesInWrittenOrder(folder)) text += ReadText(file);
    return text;
}

std::string EveryByte() {
    std::string bytes;
    for (int i = 0; i < 256; ++i) bytes += static_cast<char>(i);
    return bytes;
}

void WriteAllTo(int fd, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t put = write(fd, bytes.data() + done, bytes.size() - done);
        if (put > 0)
            done += static_cast<size_t>(put);
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

// A proxy run on its own thread, serving device to a program at link.
class ProxyRun {
public:
    ProxyRun(const ScratchDir& dir, const std::string& device, const std::string& link) : link_(link) {
        WriteFile(dir / "proxy.scs", kDefaultPortSection + "[_logger_settings]\r\nCaptureMode=0\r\n");
        thread_ = std::thread([this, &dir, device] {
            result_ = RunCli({"proxy", "--settings", dir / "proxy.scs", "--device", device, "--link", link_,
                              "--out", dir / "logs", "--json", "--raw", dir / "raw.pcapng"},
                             &stop_);
            done_ = true;
        });
    }
    ~ProxyRun() { Finish(); }
    // Opens the program's side once the link is there; -1 when it never came.
    int OpenProgram() {
        if (!WaitFor([&] { return Exists(link_) || done_; })) return -1;
        const int fd = open(link_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        termios raw{};
        if (fd >= 0 && tcgetattr(fd, &raw) == 0) {
            cfmakeraw(&raw);
            tcsetattr(fd, TCSANOW, &raw);
        }
        return fd;
    }
    // Waits for the proxy to end by itself; false when it did not.
    bool WaitForEnd() {
        return WaitFor([&] { return done_.load(); });
    }
    const CliResult& Finish() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
        return result_;
    }

private:
    std::string link_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> done_{false};
    CliResult result_;
    std::thread thread_;
};

TEST(ProxyTest, PassesEveryByteUnchangedBothWays) {
    const struct {
        const char* Name;
        bool FromDevice;
    } rows[] = {{"device to program is line 0", true}, {"program to device is line 1", false}};
    for (const auto& row : rows) {
        ScratchDir dir;
        ZPseudoTerminal device;
        ASSERT_TRUE(device.Open());
        ProxyRun proxy(dir, device.SlavePath(), dir / "link");
        const int program = proxy.OpenProgram();
        ASSERT_GE(program, 0) << row.Name << proxy.Finish().Err;
        const std::string bytes = EveryByte();
        WriteAllTo(row.FromDevice ? device.Master() : program, bytes);
        EXPECT_EQ(ReadFromPeer(row.FromDevice ? program : device.Master(), bytes.size()), bytes) << row.Name;
        close(program);
        const CliResult& result = proxy.Finish();
        ASSERT_EQ(result.Code, 0) << row.Name << result.Err;
        EXPECT_FALSE(Exists(dir / "link")) << row.Name;
        const Json lines = Json::parse(result.Out)["lines"];
        ASSERT_EQ(lines.size(), 2u) << row.Name;
        EXPECT_EQ(lines[0]["name"], "device");
        EXPECT_EQ(lines[1]["name"], "program");
        EXPECT_EQ(lines[row.FromDevice ? 0 : 1]["total_bytes"], bytes.size()) << row.Name;
        EXPECT_EQ(lines[row.FromDevice ? 1 : 0]["total_bytes"], 0) << row.Name;
        // The recording's two interfaces are named after the lines too.
        const std::string recording = ReadText(dir / "raw.pcapng");
        EXPECT_NE(recording.find("device"), std::string::npos) << row.Name;
        EXPECT_NE(recording.find("program"), std::string::npos) << row.Name;
    }
}

TEST(ProxyTest, TheDeviceFollowsTheProgramsRateAndStopBits) {
    const struct {
        const char* Name;
        speed_t Speed;
        uint32_t Rate;
        bool TwoStopBits;
        const char* Recorded;
    } rows[] = {
        {"57600 baud, 2 stop bits", B57600, 57600, true, "The program set 57600 baud, 2 stop bits"},
        {"1200 baud, 1 stop bit", B1200, 1200, false, "The program set 1200 baud, 1 stop bit"},
    };
    for (const auto& row : rows) {
        ScratchDir dir;
        ZPseudoTerminal device;
        ASSERT_TRUE(device.Open());
        ProxyRun proxy(dir, device.SlavePath(), dir / "link");
        const int program = proxy.OpenProgram();
        ASSERT_GE(program, 0) << row.Name << proxy.Finish().Err;
        termios settings{};
        ASSERT_EQ(tcgetattr(program, &settings), 0);
        cfsetspeed(&settings, row.Speed);
        if (row.TwoStopBits)
            settings.c_cflag |= CSTOPB;
        else
            settings.c_cflag &= ~static_cast<tcflag_t>(CSTOPB);
        ASSERT_EQ(tcsetattr(program, TCSANOW, &settings), 0);
        const auto deviceFollows = [&] {
            termios now{};
            uint32_t rate = 0;
            return tcgetattr(device.Slave(), &now) == 0 && Termios2GetSpeed(device.Slave(), rate) &&
                   rate == row.Rate && ((now.c_cflag & CSTOPB) != 0) == row.TwoStopBits;
        };
        EXPECT_TRUE(WaitFor(deviceFollows)) << row.Name;
        close(program);
        const CliResult& result = proxy.Finish();
        EXPECT_EQ(result.Code, 0) << row.Name << result.Err;
        EXPECT_NE(result.Out.find(row.Recorded), std::string::npos) << row.Name << result.Out;
        // Recorded as information in the log files as well, in order with the blocks.
        const std::string logged = LogText(dir / "logs");
        EXPECT_NE(logged.find(std::string(": ") + row.Recorded + "\r\n"), std::string::npos)
            << row.Name << logged;
    }
}

TEST(ProxyTest, TheLinkIsNeverTakenOverAndAlwaysRemoved) {
    const struct {
        const char* Name;
        bool LinkExists;
        bool LoseDevice;
        int Code;
    } rows[] = {
        {"an existing path is refused", true, false, 1},
        {"the device lost ends the proxy", false, true, 1},
        {"a stop ends it", false, false, 0},
    };
    for (const auto& row : rows) {
        ScratchDir dir;
        ZPseudoTerminal device;
        ASSERT_TRUE(device.Open());
        if (row.LinkExists) WriteFile(dir / "link", "mine");
        // Without a slave held here, closing the master hangs the device up.
        device.CloseSlave();
        ProxyRun proxy(dir, device.SlavePath(), dir / "link");
        if (!row.LinkExists) {
            ASSERT_TRUE(WaitFor([&] { return Exists(dir / "link"); })) << row.Name;
        }
        if (row.LoseDevice) {
            device.CloseMaster();
            EXPECT_TRUE(proxy.WaitForEnd()) << row.Name;
        }
        const CliResult& result = proxy.Finish();
        EXPECT_EQ(result.Code, row.Code) << row.Name << result.Err;
        const bool untouched = row.LinkExists ? ReadText(dir / "link") == "mine" : !Exists(dir / "link");
        EXPECT_TRUE(untouched) << row.Name;
    }
}

}  // namespace
}  // namespace clitest
