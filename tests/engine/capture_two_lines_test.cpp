// Two lines in one capture: each line framed on its own, blocks in the order they
// complete with their line, per-line counters, the outputs that name the line, the
// two-interface recording, and a live capture of two pseudo-terminals that loses one.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <memory>
#include <string>
#include <vector>

#include "SerialPlatform.h"
#include "ZFramePcap.h"
#include "ZLogger.h"
#include "ZPcapngReader.h"
#include "capture_test_support.h"

using namespace capture_test;

namespace {

struct SeenBlock {
    int Line;
    uint8_t Kind;
    std::string Text;
    std::string Name;
    bool operator==(const SeenBlock&) const = default;
};

std::ostream& operator<<(std::ostream& out, const SeenBlock& b) {
    return out << "{line " << b.Line << ", kind " << int(b.Kind) << ", \"" << b.Text << "\", " << b.Name
               << "}";
}

class BlockLog : public IZBlockObserver {
public:
    void OnBlock(const sBlock& block) override {
        std::lock_guard guard(lock_);
        std::string text = block.Length > 0 ? std::string(block.Bytes, block.Bytes + block.Length) : "";
        blocks_.push_back({block.Line, block.Kind, text, std::string(block.LineName)});
    }
    std::vector<SeenBlock> Blocks() const {
        std::lock_guard guard(lock_);
        return blocks_;
    }

private:
    mutable std::mutex lock_;  // guards blocks_
    std::vector<SeenBlock> blocks_;
};

// The bytes each line brought, as the engine handed them on.
class LineByteCount : public IZByteObserver {
public:
    void OnBytes(const uint8_t*, int, bool, int64_t) override {}
    void OnLineBytes(const uint8_t*, int count, bool, int64_t, int line) override {
        counts_[line == 1 ? 1 : 0] += static_cast<size_t>(count);
    }
    size_t Count(int line) const { return counts_[line].load(); }

private:
    std::atomic<size_t> counts_[2]{};  // the data thread adds, the test reads
};

// A quarter of a megabyte through the engine under a sanitizer on a loaded machine.
constexpr auto Generous = std::chrono::seconds(60);

bool WriteAll(int fd, const Bytes& bytes) {
    for (size_t done = 0; done < bytes.size();) {
        const ssize_t put = write(fd, bytes.data() + done, bytes.size() - done);
        if (put > 0) {
            done += static_cast<size_t>(put);
        } else if (put < 0 && errno != EAGAIN && errno != EINTR) {
            return false;
        } else {
            pollfd writable{fd, POLLOUT, 0};
            poll(&writable, 1, 100);
        }
    }
    return true;
}

// Reads until count bytes came (or the generous limit passed).
Bytes Receive(int fd, size_t count) {
    Bytes got;
    const auto limit = std::chrono::steady_clock::now() + Generous;
    while (got.size() < count && std::chrono::steady_clock::now() < limit) {
        pollfd readable{fd, POLLIN, 0};
        if (poll(&readable, 1, 100) <= 0 || (readable.revents & POLLIN) == 0) continue;
        uint8_t buffer[4096];
        const ssize_t n = read(fd, buffer, std::min(sizeof buffer, count - got.size()));
        if (n > 0) got.insert(got.end(), buffer, buffer + n);
    }
    return got;
}

ZLoggerSettings LineSettings(const ScratchDir& dir) {
    ZLoggerSettings settings;
    settings.LogDir = dir.Path();
    settings.CaptureMode = cmUntilStopTrigger;
    settings.SetTriggerStop(std::vector<int32_t>{'\n'}.data(), 1);
    return settings;
}

TEST(TwoLines, EachLineFramedOnItsOwn) {
    struct Feed {
        int Line;
        std::string Bytes;
    };
    const struct {
        const char* Name;
        std::vector<Feed> Feeds;
        std::vector<SeenBlock> Blocks;
        uint32_t Total[2];
    } rows[] = {
        {"interleaved reads",
         {{0, "Q1\n"}, {1, "A1\n"}, {0, "Q2\n"}},
         {{0, bkData, "Q1", "Master"},
          {0, bkStopTrigger, "\n", "Master"},
          {1, bkData, "A1", "Slave"},
          {1, bkStopTrigger, "\n", "Slave"},
          {0, bkData, "Q2", "Master"},
          {0, bkStopTrigger, "\n", "Master"}},
         {6, 3}},
        // The frame of line 0 comes in many reads while line 1 completes a frame: no mixing.
        {"a frame split across reads while the other line talks",
         {{0, "he"}, {1, "ok\n"}, {0, "l"}, {1, "go"}, {0, "lo\n"}},
         {{1, bkData, "ok", "Slave"},
          {1, bkStopTrigger, "\n", "Slave"},
          {0, bkData, "hello", "Master"},
          {0, bkStopTrigger, "\n", "Master"},
          {1, bkFlush, "go", "Slave"}},
         {6, 5}},
        // Every byte value passes on either line, the stop trigger only ends its own line's frame.
        {"bytes 0x00 and 0xFF on the second line",
         {{1, "\xFF"}, {0, "\n"}, {1, std::string("\x00\n", 2)}},
         {{0, bkStopTrigger, "\n", "Master"},
          {1, bkData, std::string("\xFF\x00", 2), "Slave"},
          {1, bkStopTrigger, "\n", "Slave"}},
         {1, 3}},
        {"one line silent",
         {{1, "x\n"}, {1, "y\n"}},
         {{1, bkData, "x", "Slave"},
          {1, bkStopTrigger, "\n", "Slave"},
          {1, bkData, "y", "Slave"},
          {1, bkStopTrigger, "\n", "Slave"}},
         {0, 4}},
    };
    for (const auto& row : rows) {
        ScratchDir dir;
        ZLogger logger(LineSettings(dir));
        logger.SetWriteLogFiles(false);
        logger.SetSecondLine(true);
        logger.SetLineName(0, "Master");
        logger.SetLineName(1, "Slave");
        BlockLog log;
        logger.AddBlockObserver(&log);
        logger.BeginReplay();
        for (const Feed& feed : row.Feeds)
            logger.FeedReplay(reinterpret_cast<const uint8_t*>(feed.Bytes.data()),
                              static_cast<int>(feed.Bytes.size()), 0, feed.Line);
        logger.EndReplay();
        EXPECT_EQ(log.Blocks(), row.Blocks) << row.Name;
        EXPECT_EQ(logger.LineCounters[0].TotalBytes, row.Total[0]) << row.Name;
        EXPECT_EQ(logger.LineCounters[1].TotalBytes, row.Total[1]) << row.Name;
        EXPECT_EQ(logger.TotalBytes, row.Total[0] + row.Total[1]) << row.Name;
    }
}

TEST(TwoLines, OutputsNameTheLineOnlyWithTwoLines) {
    const uint8_t bytes[] = {'h', 'i'};
    const struct {
        const char* Name;
        int8_t Line;
        const char* LineName;
        uint8_t Kind;
        const char* ExportStart;
        uint32_t Direction;
        const char* Comment;
    } rows[] = {
        {"one line", -1, "", bkData, "{\"time\": \"T\", \"kind\": \"data\"", ZPcapngWriter::FlagInbound, ""},
        {"line 0", 0, "device", bkData, "{\"time\": \"T\", \"line\": 0, \"kind\": \"data\"",
         ZPcapngWriter::FlagInbound, "device"},
        {"line 1", 1, "program", bkData, "{\"time\": \"T\", \"line\": 1, \"kind\": \"data\"",
         ZPcapngWriter::FlagOutbound, "program"},
        {"trash of line 1", 1, "program", bkTrash, "{\"time\": \"T\", \"line\": 1, \"kind\": \"trash\"",
         ZPcapngWriter::FlagOutbound, "program: trash"},
    };
    for (const auto& row : rows) {
        sBlock block(ZULFromUnixMicros(1'700'000'000'000'000), bytes, 2, row.Kind);
        block.Line = row.Line;
        block.LineName = row.LineName;
        std::string line = ZFrameExport::FormatLine(block, false);
        const size_t time = line.find("\"time\": \"") + 9;
        line.replace(time, line.find('"', time) - time, "T");
        EXPECT_EQ(line.substr(0, std::string(row.ExportStart).size()), row.ExportStart) << row.Name;

        ScratchDir dir;
        ZFramePcap pcap;
        std::string error;
        ASSERT_TRUE(pcap.Create(dir.File("f.pcapng"), "mbrtu", false, "if", "test", error)) << error;
        pcap.OnBlock(block);
        ASSERT_TRUE(pcap.Close(error)) << error;
        ZPcapngReader reader;
        ASSERT_TRUE(reader.Open(dir.File("f.pcapng"), ZPcapngReader::AnyLinkType, error)) << error;
        ZPcapngReader::Packet packet;
        ASSERT_TRUE(reader.Next(packet, error)) << row.Name;
        EXPECT_EQ(packet.flags & ZPcapngWriter::FlagDirection, row.Direction) << row.Name;
        const std::string file = ReadBytes(dir.File("f.pcapng"));
        const bool commented = *row.Comment == '\0' || file.find(row.Comment) != std::string::npos;
        EXPECT_TRUE(commented) << row.Name;
    }
}

TEST(TwoLines, RecordingKeepsEachLineOnItsInterface) {
    const struct {
        const char* Name;
        bool Timed;
        bool InterfaceAfterPacket;
        bool Added;
    } rows[] = {
        {"timed", true, false, true},
        // An interface block after a packet would renumber nothing but confuse readers.
        {"interface after a packet", true, true, false},
        {"a plain recording cannot keep two lines apart", false, false, false},
    };
    for (const auto& row : rows) {
        ScratchDir dir;
        const std::string path = dir.File(row.Timed ? "r.pcapng" : "r.bin");
        ZRawRecorder recorder;
        std::string error;
        ASSERT_TRUE(row.Timed ? recorder.CreateTimed(path, "Master", "COM1", error)
                              : recorder.Create(path, error));
        const uint8_t query[] = {0x01, 0xFF};
        const uint8_t answer[] = {0x00, 0x02, 0x03};
        if (row.InterfaceAfterPacket) recorder.Write(query, 2, 1'000'000'000'000'001, 0);
        EXPECT_EQ(recorder.AddTimedInterface("Slave", "COM2"), row.Added) << row.Name;
        if (!row.Added) continue;
        recorder.Write(query, 2, 1'000'000'000'000'001, 0);
        recorder.Write(answer, 3, 1'000'000'000'000'250, 1);
        recorder.Close();
        ZPcapngReader reader;
        ASSERT_TRUE(reader.Open(path, ZPcapngWriter::LinkTypeUser0, error)) << error;
        EXPECT_EQ(reader.InterfaceNames(), (std::vector<std::string>{"Master", "Slave"})) << row.Name;
        ZPcapngReader::Packet packet;
        ASSERT_TRUE(reader.Next(packet, error));
        EXPECT_EQ(packet.interfaceId, 0u);
        EXPECT_EQ(packet.bytes, Bytes(query, query + 2));
        EXPECT_EQ(packet.timeUs, 1'000'000'000'000'001);
        ASSERT_TRUE(reader.Next(packet, error));
        EXPECT_EQ(packet.interfaceId, 1u);
        EXPECT_EQ(packet.bytes, Bytes(answer, answer + 3));
        EXPECT_EQ(packet.timeUs, 1'000'000'000'000'250);
        EXPECT_FALSE(reader.Next(packet, error));
    }
}

TEST(TwoLines, StartRefusesAPlainRawRecording) {
    ScratchDir dir;
    ZLoggerSettings settings = LineSettings(dir);
    settings.RawRecording = true;
    settings.Frames.RawRecordingTimed = false;
    ZLogger logger(settings);
    logger.SetSecondLine(true);
    EXPECT_FALSE(logger.StartCapture());
    EXPECT_EQ(logger.GetStartErrorText(),
              "A raw recording of two lines must be timed (.pcapng): a .bin file cannot keep them apart.");
    EXPECT_FALSE(logger.IsCapturing());
}

// Live: both pseudo-terminals read by the one capture thread; losing the second line
// is recorded with its name and the first goes on.
TEST(TwoLines, LiveCaptureGoesOnWhenOneLineIsLost) {
    const struct {
        const char* Name;
        bool Precise;
    } rows[] = {{"polled", false}, {"precise time waits on both ports", true}};
    for (const auto& row : rows) {
        ScratchDir dir;
        PtyPair first;
        PtyPair second;
        ASSERT_TRUE(first.IsOpen() && second.IsOpen());
        ZLoggerSettings settings = LineSettings(dir);
        settings.Frames.PreciseTime = row.Precise;
        ZLogger logger(settings);
        logger.SetWriteLogFiles(false);
        logger.SetSecondLine(true);
        logger.GetPort(0).SetDevicePath(first.SlavePath());
        logger.GetPort(1).SetDevicePath(second.SlavePath());
        logger.SetLineName(1, "program");
        BlockLog log;
        logger.AddBlockObserver(&log);
        ASSERT_TRUE(logger.StartCapture()) << row.Name;
        ASSERT_TRUE(second.Write(BytesOf("B\n")));
        ASSERT_TRUE(WaitUntil([&] { return log.Blocks().size() >= 2; })) << row.Name;
        ASSERT_TRUE(first.Write(BytesOf("A\n")));
        ASSERT_TRUE(WaitUntil([&] { return log.Blocks().size() >= 4; })) << row.Name;
        second.CloseMaster();
        ASSERT_TRUE(WaitUntil([&] { return logger.GetErrorHistory().GetErrorCount() > 0; })) << row.Name;
        EXPECT_FALSE(logger.IsPortLost()) << row.Name;
        ASSERT_TRUE(first.Write(BytesOf("C\n")));
        ASSERT_TRUE(WaitUntil([&] { return log.Blocks().size() >= 6; })) << row.Name;
        EXPECT_TRUE(logger.StopCapture());
        const auto blocks = log.Blocks();
        EXPECT_EQ(blocks[0], (SeenBlock{1, bkData, "B", "program"})) << row.Name;
        EXPECT_EQ(blocks[2].Text, "A") << row.Name;
        EXPECT_EQ(blocks[2].Line, 0) << row.Name;
        EXPECT_EQ(blocks[4], (SeenBlock{0, bkData, "C", logger.GetLineName(0)})) << row.Name;
        EXPECT_NE(logger.GetErrorHistory().GetError(0).Error.find("The COM port of line program was lost"),
                  std::string::npos)
            << row.Name;
    }
}

// Forwarding between a device and a program's side (a pseudo-terminal master, as the
// proxy has it): a side that reads nothing for a while fills its pseudo-terminal, and
// what it cannot take waits and goes out in order; a side that is gone loses the bytes
// meant for it, counted and recorded, while the other line goes on.
TEST(TwoLines, ForwardingPassesEveryByteOrCountsItLost) {
    const struct {
        const char* Name;
        bool FromDevice;
        size_t Size;
        bool PeerGone;
        const char* Loss;  // "": none recorded
    } rows[] = {
        {"device to program, the program reading only once all was sent", true, 256 * 1024, false, ""},
        {"program to device, the device reading only once all was sent", false, 256 * 1024, false, ""},
        {"the program gone: lost, counted, and the device's line goes on", true, 1000, true,
         "1000 forwarded bytes lost (port gone or full)"},
    };
    for (const auto& row : rows) {
        ScratchDir dir;
        PtyPair device;
        ASSERT_TRUE(device.IsOpen());
        ZLogger logger(LineSettings(dir));
        logger.SetWriteLogFiles(false);
        logger.SetSecondLine(true);
        logger.SetForwarding(true);
        logger.GetPort(0).SetDevicePath(device.SlavePath());
        logger.GetPort(1).SetDevicePath(PtyMasterDevice);
        LineByteCount counted;
        logger.AddByteObserver(&counted);
        ASSERT_TRUE(logger.StartCapture()) << row.Name;
        int program =
            open(logger.GetPort(1).GetPeerDevice().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        ASSERT_GE(program, 0) << row.Name;
        termios raw{};
        ASSERT_EQ(tcgetattr(program, &raw), 0);
        cfmakeraw(&raw);
        ASSERT_EQ(tcsetattr(program, TCSANOW, &raw), 0);
        if (row.PeerGone) {
            close(program);
            program = -1;
            ASSERT_TRUE(WaitUntil([&] { return logger.IsLineLost(1); }, Generous)) << row.Name;
        }
        Bytes bytes(row.Size);
        for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i * 7 + i / 256);
        ASSERT_TRUE(row.FromDevice ? device.Write(bytes) : WriteAll(program, bytes)) << row.Name;
        const int from = row.FromDevice ? 0 : 1;
        ASSERT_TRUE(WaitUntil([&] { return counted.Count(from) == row.Size; }, Generous)) << row.Name;
        if (!row.PeerGone) {
            const Bytes got = Receive(row.FromDevice ? program : device.MasterFd(), row.Size);
            const auto differ = std::mismatch(got.begin(), got.end(), bytes.begin());
            EXPECT_TRUE(got == bytes) << row.Name << ": " << got.size() << " bytes came, the first wrong at "
                                      << (differ.first - got.begin());
        }
        EXPECT_TRUE(logger.StopCapture()) << row.Name;
        if (program >= 0) close(program);
        EXPECT_EQ(logger.LineCounters[from].TotalBytes, row.Size) << row.Name;
        std::string losses;
        for (int i = 0; i < logger.GetErrorHistory().GetCount(); ++i) {
            const std::string text = logger.GetErrorHistory().GetError(i).Error;
            if (text.find("forwarded bytes") != std::string::npos) losses += text;
        }
        EXPECT_EQ(losses, row.Loss) << row.Name;
    }
}

}  // namespace
