// kestrun-cli extcap as Wireshark drives it: the questions it asks, and a capture into
// a FIFO that tshark then reads.

#include <fcntl.h>
#include <sys/stat.h>

#include <atomic>
#include <condition_variable>
#include <map>
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
    {"NoKestrunInterface", {"--extcap-interface", "eth0", "--extcap-dlts"}, 2, {}},
    // Interface names are written without leading zeros: another spelling is no interface.
    {"LeadingZeroIsNoInterface", {"--extcap-interface", "kestrun-com07", "--extcap-dlts"}, 2, {}},
    {"PortBeyond99IsNoInterface", {"--extcap-interface", "kestrun-com100", "--extcap-dlts"}, 2, {}},
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

// The text between "{" + key + "=" and the next "}" in line; "" when there is none.
std::string Field(const std::string& line, const std::string& key) {
    const size_t at = line.find("{" + key + "=");
    if (at == std::string::npos) return "";
    const size_t start = at + key.size() + 2;
    return line.substr(start, line.find('}', start) - start);
}

// Every option the interface offers Wireshark, with each value it offers, is one the
// program takes: Wireshark passes them back as they stand.
TEST(ExtcapConfigTest, EveryOptionOfferedIsTaken) {
    ScratchDir dir;
    WriteFile(dir / "s.scs", kDefaultPortSection);
    const CliResult config =
        RunCli({"extcap", "--extcap-interface", "kestrun-com98", "--extcap-config", "--extcap-version=4.0"});
    ASSERT_EQ(config.Code, 0) << config.Err;
    std::map<std::string, std::string> calls;  // arg number -> option
    std::vector<std::pair<std::string, std::string>> offered;
    std::istringstream lines(config.Out);
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("arg ", 0) == 0) {
            calls[Field(line, "number")] = Field(line, "call");
            const std::string type = Field(line, "type");
            const std::string value = type == "fileselect" ? dir / "s.scs"
                                      : type == "integer"  ? Field(line, "default")
                                      : type == "string"   ? "mbrtu"
                                                           : "";
            if (!value.empty()) offered.emplace_back(Field(line, "call"), value);
        } else if (line.rfind("value ", 0) == 0) {
            offered.emplace_back(calls[Field(line, "arg")], Field(line, "value"));
        }
    }
    ASSERT_EQ(calls.size(), 4u) << config.Out;
    for (const auto& [option, value] : offered) {
        SCOPED_TRACE(option + " " + value);
        const CliResult asked =
            RunCli({"extcap", "--extcap-interface", "kestrun-com98", "--extcap-dlts", option, value});
        EXPECT_EQ(asked.Code, 0) << asked.Err;
    }
}

// What arrives through the FIFO, read on a thread of its own as Wireshark reads it;
// with closeAfter, the reader closes the FIFO once that many bytes came.
class FifoReader {
public:
    explicit FifoReader(const std::string& path, size_t closeAfter = 0)
        : thread_([this, path, closeAfter] {
              const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
              char buffer[4096];
              for (ssize_t got; fd >= 0 && (got = ::read(fd, buffer, sizeof buffer)) != 0;) {
                  if (got < 0 && errno == EINTR) continue;
                  if (got < 0) break;
                  std::lock_guard guard(lock_);
                  bytes_.append(buffer, static_cast<size_t>(got));
                  changed_.notify_all();
                  if (closeAfter > 0 && bytes_.size() >= closeAfter) break;
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

// The frames reach the FIFO while the capture runs, and what the stop still hands out
// (a frame cut short) after it; the stream has the link type the interface offers.
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
    std::string stream;
    {
        FifoReader reader(dir / "fifo");
        std::thread capture([&] {
            result =
                RunCli({"extcap", "--capture", "--extcap-interface", "kestrun-com98", "--fifo", dir / "fifo",
                        "--settings", dir / "s.scs", "--protocol", "mbrtu", "--extcap-version=4.0"},
                       &stop, [&] {
                           const std::string twice = query + query + std::string("\x11\x03\x00", 3);
                           EXPECT_EQ(write(TestPty().Master(), twice.data(), twice.size()),
                                     static_cast<ssize_t>(twice.size()));
                       });
        });
        // The second query's packet, bytes and all, reaches the reader while the capture runs.
        EXPECT_TRUE(reader.WaitFor(query, 2)) << "the FIFO never got both frames";
        stop = true;
        capture.join();
        ASSERT_EQ(result.Code, 0) << result.Err;
        stream = reader.Bytes();
        WriteFile(dir / "got.pcapng", stream);
    }
    std::vector<TsharkPacket> packets = ReadPackets(dir / "got.pcapng");
    ASSERT_EQ(packets.size(), 3u);
    EXPECT_EQ(packets[2].Hex, "110300");
    EXPECT_EQ(packets[2].Comment, "flush");
    packets.pop_back();
    for (const TsharkPacket& packet : packets) {
        EXPECT_EQ(packet.Protocol, "mbrtu");
        EXPECT_EQ(packet.Hex, "1103006b00037687");
        EXPECT_EQ(packet.Unit, "17");
        EXPECT_EQ(packet.Function, "3");
    }
    // The interface block follows the section header (28 bytes); its link type is the
    // 16 bits after the block's type and length, in the writer's byte order.
    ASSERT_GE(stream.size(), 38u);
    const int linkType = static_cast<uint8_t>(stream[36]) | static_cast<uint8_t>(stream[37]) << 8;
    const CliResult dlts = RunCli({"extcap", "--extcap-interface", "kestrun-com98", "--extcap-dlts"});
    EXPECT_EQ(Field(dlts.Out, "number"), std::to_string(linkType)) << dlts.Out;
}

// Wireshark that closes its end of the FIFO ends the capture, also while the port
// brings nothing that a failed write would reveal.
TEST(ExtcapCaptureTest, AReaderThatClosesTheFifoEndsTheCaptureOfAnIdlePort) {
    ScratchDir dir;
    WriteFile(dir / "s.scs", kDefaultPortSection);
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    std::atomic<bool> stop{false};
    std::atomic<bool> ended{false};
    CliResult result;
    std::thread capture([&] {
        result = RunCli({"extcap", "--capture", "--extcap-interface", "kestrun-com98", "--fifo", dir / "fifo",
                         "--settings", dir / "s.scs"},
                        &stop);
        ended = true;
    });
    { FifoReader reader(dir / "fifo", 1); }
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!ended && std::chrono::steady_clock::now() < limit)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const bool endedByItself = ended;
    stop = true;
    capture.join();
    EXPECT_TRUE(endedByItself) << "the capture ran on after the reader had gone";
    EXPECT_EQ(result.Code, 0) << result.Err;
}

}  // namespace
}  // namespace clitest
