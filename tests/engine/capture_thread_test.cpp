// The capture thread on its own: reading a pseudo-terminal, the chunk pump holding
// the reading back, the driver's losses, opening and closing, rates and the port
// section of settings files.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "FakeSerialPlatform.h"
#include "LoopbackServer.h"
#include "ZSerialCapture.h"
#include "ZULIniFile.h"
#include "capture_test_support.h"

using namespace capture_test;
using Clock = std::chrono::steady_clock;

namespace {

struct Chunk {
    Bytes Data;
};

// Records every chunk; can hold the pump thread inside ProcessData to fill the pump.
class ChunkRecorder : public ZSerialCapture {
public:
    ChunkRecorder(int pollIntervalMs, int readSize) : ZSerialCapture(pollIntervalMs, readSize) {}
    ChunkRecorder(int pollIntervalMs, int readSize, ISerialPlatform& platform)
        : ZSerialCapture(pollIntervalMs, readSize, platform) {}
    using ZSerialCapture::HoldCycles;
    using ZSerialCapture::RunCycles;
    ~ChunkRecorder() override {
        Release();
        StopCaptureThread();
    }

    void ProcessData(const uint8_t* bytes, int count) override {
        std::unique_lock guard(lock_);
        if (holding_) {
            held_ = true;
            changed_.notify_all();
            changed_.wait(guard, [this] { return !holding_; });
        }
        chunks_.push_back({Bytes(bytes, bytes + count)});
    }

    void Hold() {
        std::lock_guard guard(lock_);
        holding_ = true;
        held_ = false;
    }
    bool WaitUntilHeld() {
        std::unique_lock guard(lock_);
        return changed_.wait_for(guard, std::chrono::seconds(3), [this] { return held_; });
    }
    void Release() {
        std::lock_guard guard(lock_);
        holding_ = false;
        changed_.notify_all();
    }

    std::vector<Chunk> Chunks() const {
        std::lock_guard guard(lock_);
        return chunks_;
    }
    Bytes AllBytes() const {
        Bytes all;
        for (const auto& chunk : Chunks()) all.insert(all.end(), chunk.Data.begin(), chunk.Data.end());
        return all;
    }
    size_t ByteCount() const { return AllBytes().size(); }

private:
    mutable std::mutex lock_;  // guards chunks_, holding_, held_
    std::condition_variable changed_;
    std::vector<Chunk> chunks_;
    bool holding_ = false;
    bool held_ = false;
};

Bytes Pattern(size_t size, int seed = 0) {
    Bytes bytes(size);
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>((i * 7 + seed) % 251);
    return bytes;
}

std::vector<TZULError> Errors(ZSerialCapture& capture) {
    std::vector<TZULError> errors;
    auto& history = capture.GetErrorHistory();
    for (int i = 0; i < history.GetCount(); ++i) errors.push_back(history.GetError(i));
    return errors;
}

std::string PortConfigText(ZSerialCapture& capture) {
    return capture.GetPort().ConfigToStr(capture.GetPort().GetConfig());
}

// The bytes the device holds for its reader, seen through a descriptor of our own.
int WaitingInDevice(const std::string& slavePath) {
    const int fd = open(slavePath.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    int waiting = -1;
    if (fd >= 0 && ioctl(fd, FIONREAD, &waiting) != 0) waiting = -1;
    if (fd >= 0) close(fd);
    return waiting;
}

class CaptureThreadTest : public ::testing::Test {
protected:
    void Attach(ChunkRecorder& capture) {
        ASSERT_TRUE(pty_.IsOpen());
        capture.GetPort().SetDevicePath(pty_.SlavePath());
    }

    // What one poll cycle makes of sent, written into the device while the port is open
    // and the capture thread is held before its next cycle; sent is cut to what the
    // device took at once (a writer that had to wait for the reader could not finish
    // before the cycle). The bytes a finished write put into a pseudo-terminal are all
    // there for the next read, though the driver shows only part of them at first.
    std::vector<Chunk> ChunksOfOneCycle(Bytes& sent) {
        ChunkRecorder capture(20, 500);
        Attach(capture);
        capture.HoldCycles();
        EXPECT_TRUE(capture.OpenPort());
        sent.resize(pty_.WriteSome(sent));
        EXPECT_TRUE(capture.RunCycles(1));
        capture.DrainChunks();
        return capture.Chunks();
    }

    PtyPair pty_;
};

}  // namespace

TEST_F(CaptureThreadTest, ReadsNothingWhileThePortIsClosed) {
    ChunkRecorder capture(5, 500);
    Attach(capture);
    ASSERT_TRUE(pty_.Write(BytesOf("waiting bytes")));
    ASSERT_TRUE(capture.RunCycles(3));
    capture.DrainChunks();
    EXPECT_FALSE(capture.IsCapturing());
    EXPECT_TRUE(capture.Chunks().empty());
}

TEST_F(CaptureThreadTest, OpenAndCloseAnswerAtOnceWhenThePortIsAlreadyInThatState) {
    // A call that waited for the state to change would wait out the 2 s limit; the bound
    // is that limit, which no scheduling delay of a call that returns at once comes near.
    constexpr auto TimeLimit = std::chrono::seconds(2);
    ChunkRecorder capture(20, 500);
    Attach(capture);
    auto started = Clock::now();
    EXPECT_TRUE(capture.ClosePort());
    EXPECT_LT(Clock::now() - started, TimeLimit);
    ASSERT_TRUE(capture.OpenPort());
    EXPECT_TRUE(capture.IsCapturing());
    started = Clock::now();
    EXPECT_FALSE(capture.OpenPort());
    EXPECT_LT(Clock::now() - started, TimeLimit);
    EXPECT_TRUE(capture.IsCapturing());
    EXPECT_TRUE(capture.ClosePort());
    EXPECT_FALSE(capture.IsCapturing());
    started = Clock::now();
    EXPECT_TRUE(capture.ClosePort());
    EXPECT_LT(Clock::now() - started, TimeLimit);
}

TEST_F(CaptureThreadTest, BytesWaitingAtOneWakeUpAreAllReadInThatCycleInReadSizeChunks) {
    ASSERT_TRUE(pty_.IsOpen());
    Bytes sent = Pattern(1200);
    const auto chunks = ChunksOfOneCycle(sent);
    ASSERT_EQ(sent.size(), 1200u);
    ASSERT_EQ(chunks.size(), 3u);
    EXPECT_EQ(chunks[0].Data.size(), 500u);
    EXPECT_EQ(chunks[1].Data.size(), 500u);
    EXPECT_EQ(chunks[2].Data.size(), 200u);
}

TEST_F(CaptureThreadTest, ReadsMoreThanTheDriverShowsAtOnceInOneCycle) {
    // A pseudo-terminal shows at most 4095 waiting bytes at a time and holds the rest
    // back; all of a larger burst must arrive, and within the cycle that found it.
    ASSERT_TRUE(pty_.IsOpen());
    Bytes sent = Pattern(12000, 3);
    const auto chunks = ChunksOfOneCycle(sent);
    ASSERT_GT(sent.size(), 4095u) << "the device held no more than it shows at once";
    Bytes got;
    for (const auto& chunk : chunks) {
        EXPECT_LE(chunk.Data.size(), 500u);
        got.insert(got.end(), chunk.Data.begin(), chunk.Data.end());
    }
    EXPECT_EQ(got, sent);
}

TEST_F(CaptureThreadTest, TheCaptureNeverWaitsInAReadForBytesTheCountPromised) {
    // A completing read without time-outs would hold the port lock until the promised
    // bytes came, and ClosePort would wait behind it.
    ChunkRecorder capture(20, 500);
    EXPECT_FALSE(capture.GetPort().GetSyncWait());
}

TEST_F(CaptureThreadTest, BytesThatArrivedBeforeTheOpenAreDiscarded) {
    ChunkRecorder capture(20, 500);
    Attach(capture);
    ASSERT_TRUE(capture.OpenPort());
    ASSERT_TRUE(capture.ClosePort());
    ASSERT_TRUE(pty_.Write(BytesOf("stale")));
    ASSERT_TRUE(WaitUntil([&] { return WaitingInDevice(pty_.SlavePath()) == 5; }));
    capture.HoldCycles();
    ASSERT_TRUE(capture.OpenPort());
    ASSERT_TRUE(pty_.Write(BytesOf("fresh")));
    ASSERT_TRUE(capture.RunCycles(2));
    capture.DrainChunks();
    EXPECT_EQ(capture.AllBytes(), BytesOf("fresh"));
}

TEST_F(CaptureThreadTest, NothingIsReadAfterClosePortWhileTheDeviceKeepsSending) {
    ChunkRecorder capture(1, 64);
    Attach(capture);
    std::atomic<bool> sending{true};
    std::thread sender([&] {
        const Bytes burst = Pattern(256);
        while (sending) {
            pty_.WriteSome(burst);
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    });
    for (int round = 0; round < 10; ++round) {
        const size_t beforeOpen = capture.Chunks().size();
        ASSERT_TRUE(capture.OpenPort());
        ASSERT_TRUE(WaitUntil([&] { return capture.Chunks().size() > beforeOpen; })) << "round " << round;
        ASSERT_TRUE(capture.ClosePort());
        capture.DrainChunks();
        const size_t afterClose = capture.Chunks().size();
        ASSERT_TRUE(capture.RunCycles(3));  // cycles that find the port closed
        capture.DrainChunks();
        EXPECT_EQ(capture.Chunks().size(), afterClose) << "round " << round;
    }
    sending = false;
    sender.join();
    for (const auto& chunk : capture.Chunks()) EXPECT_LE(chunk.Data.size(), 64u);
}

struct HoldBackCase {
    const char* Name;
    bool Network;         // a raw TCP server floods, else a pseudo-terminal's writer
    bool CloseWhileHeld;  // the capture stops while a chunk waits for room
};

class CaptureHoldBackTest : public CaptureThreadTest, public ::testing::WithParamInterface<HoldBackCase> {};

// The pump fills while its consumer is held: the reading waits, the device (or the
// server, through TCP) keeps the rest, and nothing read is ever dropped.
TEST_P(CaptureHoldBackTest, AFullPumpHoldsTheReadingBackAndNothingIsLost) {
    const HoldBackCase& c = GetParam();
    const Bytes sent = Pattern(c.Network ? 4 << 20 : 1 << 20, 5);
    ChunkRecorder capture(2, 500);
    ScratchDir dir;
    const ZRawRecorder& read = RecordRaw(capture, dir);
    // The server keeps the connection: its end would be a lost port.
    LoopbackServer server([&](LoopbackServer& s, int client, int) {
        if (s.SendAll(client, sent)) s.Hold(client);
    });
    if (c.Network)
        capture.GetPort().SetDevicePath(server.Address("tcp"));
    else
        Attach(capture);
    capture.HoldCycles();
    capture.Hold();
    ASSERT_TRUE(capture.OpenPort());
    // Written once the port is open: the open discards what came before.
    const std::jthread writer = c.Network ? std::jthread() : WriteInBackground(pty_, sent);
    ASSERT_TRUE(RunUntilHeldBack(capture, read));
    capture.Release();
    if (c.CloseWhileHeld) {
        EXPECT_TRUE(capture.ClosePort());  // no cycle reads any more: the stop hands on the chunk refused
    } else {
        EXPECT_TRUE(WaitUntil([&] { return capture.RunCycles(1) && capture.ByteCount() >= sent.size(); }));
    }
    capture.DrainChunks();
    const Bytes got = capture.AllBytes();
    EXPECT_EQ(got.size(), c.CloseWhileHeld ? read.BytesRecorded() : sent.size());
    EXPECT_TRUE(std::equal(got.begin(), got.end(), sent.begin())) << "bytes lost or out of order";
    EXPECT_EQ(capture.GetErrorHistory().GetCount(), 0) << capture.GetErrorHistory().GetLatestError().Error;
}

INSTANTIATE_TEST_SUITE_P(Sources, CaptureHoldBackTest,
                         ::testing::Values(HoldBackCase{"PseudoTerminal", false, false},
                                           HoldBackCase{"NetworkPort", true, false},
                                           HoldBackCase{"CloseWhileHeldBack", false, true}),
                         [](const auto& row) { return std::string(row.param.Name); });

struct DriverLossCase {
    const char* Name;
    std::vector<uint32_t> Counter;  // the driver's count at the open, then at each poll
    std::vector<int> Recorded;      // the losses recorded, in order
};

class CaptureDriverLossTest : public ::testing::TestWithParam<DriverLossCase> {};

// What the driver drops is read from its counter and recorded once per episode, the
// count at the open left out; an episode still open at the stop is recorded then.
TEST_P(CaptureDriverLossTest, LossesTheDriverCountsAreRecordedOncePerEpisode) {
    FakeSerialPlatform platform;
    FakeDevice& device = platform.Device("/fake/uart");
    device.Change([&] { device.countsLosses = true; });
    ChunkRecorder capture(2, 500, platform);
    capture.GetPort().SetDevicePath("/fake/uart");
    capture.HoldCycles();
    for (size_t i = 0; i < GetParam().Counter.size(); ++i) {
        device.Change([&] { device.lost = GetParam().Counter[i]; });
        ASSERT_TRUE(i == 0 ? capture.OpenPort() : capture.RunCycles(1));
    }
    ASSERT_TRUE(capture.ClosePort());
    std::vector<std::string> expected, recorded;
    for (const int lost : GetParam().Recorded)
        expected.push_back(std::to_string(lost) + " received bytes lost (driver overrun)");
    for (const TZULError& entry : Errors(capture)) recorded.push_back(entry.Function + ": " + entry.Error);
    for (std::string& text : expected) text = "DriverCounters: " + text;
    EXPECT_EQ(recorded, expected);
}

INSTANTIATE_TEST_SUITE_P(Counters, CaptureDriverLossTest,
                         ::testing::Values(DriverLossCase{"CountAtTheOpenIsNoLoss", {7, 7, 7}, {}},
                                           DriverLossCase{"OneEpisode", {0, 4, 4}, {4}},
                                           DriverLossCase{"AnEpisodeOverTwoPolls", {0, 3, 10, 10}, {10}},
                                           DriverLossCase{"TwoEpisodes", {0, 2, 2, 5, 5}, {2, 3}},
                                           DriverLossCase{"StillGrowingAtTheStop", {0, 0, 6}, {6}},
                                           DriverLossCase{"TheCounterWraps", {0xFFFFFFFE, 1, 1}, {3}}),
                         [](const auto& row) { return std::string(row.param.Name); });

TEST_F(CaptureThreadTest, PostingWithWaitWhenFullLosesNothing) {
    ChunkRecorder capture(20, 1);
    capture.Hold();
    const Bytes sent = Pattern(1500, 2);  // 1500 one-byte chunks: more than the pump holds
    std::atomic<bool> done{false};
    bool allAccepted = false;
    std::thread poster([&] {
        allAccepted = capture.PostReceivedChunk(sent.data(), static_cast<int>(sent.size()), true);
        done = true;
    });
    ASSERT_TRUE(capture.WaitUntilHeld());
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_FALSE(done) << "the poster must wait while the pump is full";
    capture.Release();
    poster.join();
    EXPECT_TRUE(allAccepted);
    capture.DrainChunks();
    EXPECT_EQ(capture.AllBytes(), sent);
    EXPECT_EQ(capture.GetErrorHistory().GetCount(), 0);
}

TEST_F(CaptureThreadTest, PostingWithoutWaitingCutsIntoReadSizeChunks) {
    ChunkRecorder capture(20, 4);
    const Bytes sent = BytesOf("0123456789");
    EXPECT_TRUE(capture.PostReceivedChunk(sent.data(), static_cast<int>(sent.size()), false));
    capture.DrainChunks();
    const auto chunks = capture.Chunks();
    ASSERT_EQ(chunks.size(), 3u);
    EXPECT_EQ(chunks[0].Data, BytesOf("0123"));
    EXPECT_EQ(chunks[1].Data, BytesOf("4567"));
    EXPECT_EQ(chunks[2].Data, BytesOf("89"));
}

class CaptureHangUpTest : public CaptureThreadTest, public ::testing::WithParamInterface<bool> {};

// The loss names the device that was open, a link with the device it led to, even
// when the link is gone by the time the loss is noticed.
TEST_P(CaptureHangUpTest, ADeviceThatHangsUpIsReportedOnceAndTheThreadLetsGoOfIt) {
    const bool throughLink = GetParam();
    ChunkRecorder capture(5, 500);
    Attach(capture);
    ScratchDir dir;
    std::string device = pty_.SlavePath();
    if (throughLink) {
        std::filesystem::create_symlink(pty_.SlavePath(), dir.File("com94"));
        capture.GetPort().SetDevicePath(dir.File("com94"));
        device = dir.File("com94") + " (" + pty_.SlavePath() + ")";
    }
    ASSERT_TRUE(capture.OpenPort());
    ASSERT_TRUE(pty_.Write(BytesOf("before")));
    ASSERT_TRUE(WaitUntil([&] { return capture.ByteCount() == 6; }));
    std::filesystem::remove(dir.File("com94"));
    pty_.CloseMaster();
    ASSERT_TRUE(WaitUntil([&] { return capture.GetErrorHistory().GetCount() > 0; }));
    ASSERT_TRUE(capture.RunCycles(5));  // cycles after the report

    const auto errors = Errors(capture);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].Module, "SerialCapture");
    EXPECT_EQ(errors[0].Function, "PollPort");
    EXPECT_EQ(errors[0].Error, "The COM port was lost (device " + device + " hung up or was removed)");
    EXPECT_TRUE(capture.IsCapturing()) << "the capture stays open until it is stopped";
    EXPECT_TRUE(capture.ClosePort());
    EXPECT_FALSE(capture.IsCapturing());
    EXPECT_EQ(capture.AllBytes(), BytesOf("before"));
}

INSTANTIATE_TEST_SUITE_P(Devices, CaptureHangUpTest, ::testing::Values(false, true),
                         [](const auto& row) { return row.param ? "VanishedLink" : "DevicePath"; });

struct RateCase {
    int32_t Requested;
    int32_t Expected;
    TBaudrate Value;
};

void PrintTo(const RateCase& c, std::ostream* out) {
    *out << c.Requested << " baud";
}

class CaptureRateTest : public ::testing::TestWithParam<RateCase> {};

TEST_P(CaptureRateTest, SetBaudrateSelectsTheTableEntryOrKeepsTheTypedRate) {
    ChunkRecorder capture(20, 500);
    capture.SetBaudrate(GetParam().Requested);
    EXPECT_EQ(capture.GetBaudrate(), GetParam().Expected);
    EXPECT_EQ(capture.GetPort().GetBaudrate(), GetParam().Value);
}

INSTANTIATE_TEST_SUITE_P(Rates, CaptureRateTest,
                         ::testing::Values(RateCase{115200, 115200, br_115200},
                                           RateCase{12345, 12345, br_009600}, RateCase{50, 50, br_000050},
                                           RateCase{110, 110, br_000110}, RateCase{14400, 14400, br_014400},
                                           RateCase{256000, 256000, br_256000},
                                           RateCase{921600, 921600, br_921600}, RateCase{0, 9600, br_009600},
                                           RateCase{-9600, 9600, br_009600}, RateCase{9601, 9601, br_009600}));

TEST(CaptureRateList, HasTheTwentyRatesInTableOrder) {
    ChunkRecorder capture(20, 500);
    std::vector<std::string> list{"left over"};
    capture.GetBaudrateList(list);
    const std::vector<std::string> expected{
        "50 Baud",     "110 Baud",    "150 Baud",    "300 Baud",    "600 Baud",    "1200 Baud",  "2400 Baud",
        "4800 Baud",   "9600 Baud",   "14400 Baud",  "19200 Baud",  "38400 Baud",  "56000 Baud", "57600 Baud",
        "115200 Baud", "128000 Baud", "230400 Baud", "256000 Baud", "460800 Baud", "921600 Baud"};
    EXPECT_EQ(list, expected);
}

class CapturePortSettingsTest : public ::testing::Test {
protected:
    ScratchDir dir_;
    ChunkRecorder capture_{20, 500};
};

TEST_F(CapturePortSettingsTest, SavedSettingsComeBack) {
    capture_.SetBaudrate(57600);
    TSerialConfig changed = capture_.GetPort().GetConfig();
    changed.StopBits = sb_2;
    changed.ParityBit = even;
    capture_.GetPort().SetConfig(changed);
    const std::string saved = PortConfigText(capture_);

    ZULIniFile ini;
    capture_.SavePortSettings(ini);
    EXPECT_EQ(ini.ReadString("_serial_capture", "_settings", ""), saved);

    capture_.SetBaudrate(300);
    ASSERT_NE(PortConfigText(capture_), saved);
    std::string error = "untouched";
    EXPECT_TRUE(capture_.LoadPortSettings(ini, error));
    EXPECT_EQ(error, "untouched");
    EXPECT_EQ(PortConfigText(capture_), saved);
    EXPECT_EQ(capture_.GetBaudrate(), 57600);
}

TEST_F(CapturePortSettingsTest, ATextWithABadChecksumIsAcceptedButChangesNothing) {
    capture_.SetBaudrate(19200);
    ZULIniFile ini;
    capture_.SavePortSettings(ini);
    std::string text = ini.ReadString("_serial_capture", "_settings", "");
    ASSERT_FALSE(text.empty());
    text[text.size() / 2] = text[text.size() / 2] == '1' ? '2' : '1';
    ASSERT_FALSE(capture_.GetPort().StrToConfig(text).Valid) << "the damage must be one the text check sees";
    ini.WriteString("_serial_capture", "_settings", text);

    capture_.SetBaudrate(4800);
    const std::string before = PortConfigText(capture_);
    std::string error;
    EXPECT_TRUE(capture_.LoadPortSettings(ini, error));
    EXPECT_EQ(PortConfigText(capture_), before);
    EXPECT_EQ(capture_.GetBaudrate(), 4800);
}

TEST_F(CapturePortSettingsTest, AFileWithoutThePortSectionIsRefusedByItsNameWithoutFolder) {
    const std::string file = dir_.File("no port.scs");
    WriteBytes(file, "[_logger_settings]\r\nCaptureMode=1\r\n[_serial_capture]\r\nother=1\r\n");
    const ZULIniFile ini(file);
    capture_.SetBaudrate(2400);
    const std::string before = PortConfigText(capture_);
    std::string error;
    EXPECT_FALSE(capture_.LoadPortSettings(ini, error));
    EXPECT_EQ(error, "The settings for the COM port could not be read from file \"no port.scs\"");
    EXPECT_EQ(PortConfigText(capture_), before);
}
