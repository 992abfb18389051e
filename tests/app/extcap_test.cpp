// kestrun-cli extcap as Wireshark drives it: the questions it asks, and a capture into
// a FIFO that tshark then reads.

#include <fcntl.h>
#include <sys/stat.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "CliTestSupport.h"
#include "TsharkSupport.h"

namespace clitest {
namespace {

struct ExtcapQuery {
    const char* Name;
    std::vector<std::string> Args;
    int Code;
    std::vector<std::string> Lines;  // lines of the answer, each from its start
};

void PrintTo(const ExtcapQuery& q, std::ostream* out) {
    *out << q.Name;
}

const ExtcapQuery kQueries[] = {
    {"Interfaces",
     {"--extcap-interfaces", "--extcap-version=4.0"},
     0,
     {"extcap {version=", "interface {value=kestrun-com98}{display=Kestrun COM98 ("}},
    {"Dlts",
     {"--extcap-interface", "kestrun-com98", "--extcap-dlts"},
     0,
     {"dlt {number=252}{name=WIRESHARK_UPPER_PDU}{display=Kestrun frames (exported PDU)}\n"}},
    {"Config",
     {"--extcap-interface", "kestrun-com98", "--extcap-config", "--extcap-version=4.0"},
     0,
     {"arg {number=0}{call=--settings}{display=Settings file}{type=fileselect}",
      "arg {number=1}{call=--port}{display=COM port}{type=integer}{range=1,99}{default=98}",
      "arg {number=2}{call=--baud}{display=Baud rate}{type=selector}", "value {arg=2}{value=115200}",
      "arg {number=3}{call=--protocol}{display=Protocol}{type=string}"}},
    {"NoKestrunInterface", {"--extcap-interface", "eth0", "--extcap-dlts"}, 2, {}},
};

class ExtcapQueryTest : public ::testing::TestWithParam<ExtcapQuery> {};

TEST_P(ExtcapQueryTest, AnswersAsWiresharkExpects) {
    const ExtcapQuery& q = GetParam();
    std::vector<std::string> args{"extcap"};
    args.insert(args.end(), q.Args.begin(), q.Args.end());
    const CliResult result = RunCli(args);
    ASSERT_EQ(result.Code, q.Code) << result.Err;
    for (const std::string& line : q.Lines) {
        const size_t at = result.Out.find(line);
        EXPECT_TRUE(at != std::string::npos && (at == 0 || result.Out[at - 1] == '\n'))
            << "no line starting " << line << " in\n"
            << result.Out;
    }
}

INSTANTIATE_TEST_SUITE_P(Queries, ExtcapQueryTest, ::testing::ValuesIn(kQueries),
                         [](const auto& param) { return std::string(param.param.Name); });

// What arrives through the FIFO, read on a thread of its own as Wireshark reads it.
class FifoReader {
public:
    explicit FifoReader(const std::string& path)
        : thread_([this, path] {
              const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
              char buffer[4096];
              for (ssize_t got; fd >= 0 && (got = ::read(fd, buffer, sizeof buffer)) != 0;) {
                  if (got < 0 && errno == EINTR) continue;
                  if (got < 0) break;
                  std::lock_guard guard(lock_);
                  bytes_.append(buffer, static_cast<size_t>(got));
                  changed_.notify_all();
              }
              if (fd >= 0) ::close(fd);
          }) {}
    ~FifoReader() { thread_.join(); }
    // Waits until what came holds part count times; false when it did not within the limit.
    bool WaitFor(const std::string& part, int count) {
        std::unique_lock guard(lock_);
        return changed_.wait_for(guard, std::chrono::seconds(60), [&] {
            int found = 0;
            for (size_t at = bytes_.find(part); at != std::string::npos; at = bytes_.find(part, at + 1))
                ++found;
            return found >= count;
        });
    }
    std::string Bytes() {
        std::lock_guard guard(lock_);
        return bytes_;
    }

private:
    std::mutex lock_;  // guards bytes_
    std::condition_variable changed_;
    std::string bytes_;
    std::thread thread_;
};

TEST(ExtcapCaptureTest, TheFramesReachTheFifoAsAPcapngStreamTsharkDecodes) {
    ScratchDir dir;
    // Modbus RTU queries of unit 17 in frames of fixed size; the protocol comes from the
    // extcap option, not the settings.
    WriteFile(dir / "s.scs",
              kDefaultPortSection +
                  "[_logger_settings]\nTriggerStartSize=2\nTriggerStart_0=17\nTriggerStart_1=3\n"
                  "CaptureMode=1\nBytesAfterTrigger=6\nMaxBytesWithinTriggers=-1\n"
                  "[_frames]\nChecksumAlgorithm=5\nChecksumMSBFirst=0\n");
    const std::string query("\x11\x03\x00\x6b\x00\x03\x76\x87", 8);
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    std::atomic<bool> stop{false};
    CliResult result;
    {
        FifoReader reader(dir / "fifo");
        std::thread capture([&] {
            result =
                RunCli({"extcap", "--capture", "--extcap-interface", "kestrun-com98", "--fifo", dir / "fifo",
                        "--settings", dir / "s.scs", "--protocol", "mbrtu", "--extcap-version=4.0"},
                       &stop, [&] {
                           const std::string twice = query + query;
                           EXPECT_EQ(write(TestPty().Master(), twice.data(), twice.size()),
                                     static_cast<ssize_t>(twice.size()));
                       });
        });
        // The second query's packet, bytes and all, reaches the reader while the capture runs.
        EXPECT_TRUE(reader.WaitFor(query, 2)) << "the FIFO never got both frames";
        stop = true;
        capture.join();
        ASSERT_EQ(result.Code, 0) << result.Err;
        WriteFile(dir / "got.pcapng", reader.Bytes());
    }
    const std::vector<TsharkPacket> packets = ReadPackets(dir / "got.pcapng");
    ASSERT_EQ(packets.size(), 2u);
    for (const TsharkPacket& packet : packets) {
        EXPECT_EQ(packet.Protocol, "mbrtu");
        EXPECT_EQ(packet.Hex, "1103006b00037687");
        EXPECT_EQ(packet.Unit, "17");
        EXPECT_EQ(packet.Function, "3");
    }
}

}  // namespace
}  // namespace clitest
