// Captures of network ports served by hostile or silent servers of the test's own:
// a flood of Telnet commands keeps memory flat and a stop quick, and an open that
// cannot succeed ends as soon as it is given up.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "LoopbackServer.h"
#include "ZSerialCapture.h"
#include "capture_test_support.h"

using namespace capture_test;

namespace {

constexpr uint8_t IAC = 255, WILL = 251, WONT = 252, DO = 253, SB = 250, SE = 240, NOP = 241, ComPort = 44;
const Bytes AgreeToComPort = {IAC, DO, ComPort};
// The purge of the receive side that ends the client's open.
const Bytes PurgeAsked = {IAC, SB, ComPort, 12, 1};

// Agrees to COM-PORT-OPTION and answers the purge that ends the open: what is sent
// from then on is for the capture. False when the client went away.
bool Greet(LoopbackServer& server, int client) {
    const Bytes purged = {IAC, SB, ComPort, 112, 1, IAC, SE};
    return server.SendAll(client, AgreeToComPort.data(), AgreeToComPort.size()) &&
           server.ReceiveUntil(client, PurgeAsked) && server.SendAll(client, purged.data(), purged.size());
}

class ByteCounter : public ZSerialCapture {
public:
    ByteCounter() : ZSerialCapture(20, 500) {}
    ~ByteCounter() override { StopCaptureThread(); }
    void ProcessData(const uint8_t* /*bytes*/, int count) override {
        received_ += static_cast<uint64_t>(count);
    }
    uint64_t Received() const { return received_; }
    using ZSerialCapture::HoldCycles;
    using ZSerialCapture::RunCycles;
    using ZSerialCapture::SetReconnectInterval;

private:
    std::atomic<uint64_t> received_{0};
};

Bytes Repeat(const Bytes& unit, int times) {
    Bytes bytes;
    for (int i = 0; i < times; ++i) bytes.insert(bytes.end(), unit.begin(), unit.end());
    return bytes;
}

struct FloodCase {
    const char* Name;
    Bytes Unit;            // what the server sends over and over, never reading a byte
    uint64_t Times;        // 0: until the client leaves
    uint64_t DataPerUnit;  // data bytes in one unit
};

// What a capture may hold for such a server: a stash, the answers waiting and a
// received chunk, with room to spare. The floods are hundreds of times larger.
constexpr size_t HeldLimit = 128 * 1024;
constexpr uint64_t EndlessFloodSample = 32 << 20;

class TelnetFloodTest : public ::testing::TestWithParam<FloodCase> {};

TEST_P(TelnetFloodTest, MemoryStaysFlatAndAStopReturnsWhileTheServerFloods) {
    const FloodCase& c = GetParam();
    LoopbackServer server([&](LoopbackServer& s, int client, int) {
        if (!Greet(s, client)) return;
        s.Flood(client, c.Unit, c.Times);
        s.Hold(client);
    });
    ByteCounter capture;
    // Precise time reads as soon as anything arrives: the flood is taken as fast as it can be.
    capture.SetPreciseTime(true, 0);
    capture.GetPort().SetDevicePath(server.Address("rfc2217"));
    ASSERT_TRUE(capture.OpenPort()) << capture.GetOpenFailureText();
    size_t mostHeld = 0;
    const auto sample = [&] { mostHeld = std::max(mostHeld, capture.GetPort().GetHeldBytes()); };
    if (c.Times == 0) {
        // Until the flood is well under way, and a while longer.
        EXPECT_TRUE(WaitUntil([&] {
            sample();
            return server.Sent() >= std::min<uint64_t>(EndlessFloodSample, 2 << 20);
        }));
        WaitUntil(
            [&] {
                sample();
                return mostHeld > HeldLimit || server.Sent() >= EndlessFloodSample;
            },
            std::chrono::seconds(3));
    } else {
        EXPECT_TRUE(WaitUntil(
            [&] {
                sample();
                return capture.Received() == c.Times * c.DataPerUnit;
            },
            std::chrono::seconds(30)))
            << capture.Received() << " of " << c.Times * c.DataPerUnit << " data bytes";
    }
    std::atomic<bool> stopped{false};
    std::thread stopper([&] {
        capture.ClosePort();
        stopped = true;
    });
    const bool stoppedDuringTheFlood = WaitUntil([&] { return stopped.load(); }, std::chrono::seconds(20));
    // A client that would not leave is let go of now, so the test ends either way.
    server.Stop();
    stopper.join();
    EXPECT_TRUE(stoppedDuringTheFlood) << "the stop waited for the flood";
    EXPECT_LE(mostHeld, HeldLimit);
}

INSTANTIATE_TEST_SUITE_P(
    Floods, TelnetFloodTest,
    ::testing::Values(FloodCase{"NopsForever", {IAC, NOP}, 0, 0},
                      FloodCase{"RefusedRequestsForever", {IAC, WILL, 1, IAC, DO, 1}, 0, 0},
                      FloodCase{"AnAcceptedOptionToggledForever", {IAC, WILL, 3, IAC, WONT, 3}, 0, 0},
                      FloodCase{"RefusedRequestsAroundData", Repeat({IAC, WILL, 1, 'd', IAC, DO, 1}, 4),
                                1 << 20, 4}),
    [](const auto& row) { return std::string(row.param.Name); });

struct GiveUpCase {
    const char* Name;
    bool Malformed;  // an address that does not parse, else a server that never greets
    bool Reconnect;  // given up while the capture reopens its lost port, else at the start
};

class OpenGiveUpTest : public ::testing::TestWithParam<GiveUpCase> {};

// An open that cannot succeed ends at once: a malformed address is refused with no
// word of a rate, and the wait for a greeting ends when the stop comes, not at the
// greeting's time limit.
TEST_P(OpenGiveUpTest, AnOpenThatCannotSucceedEndsAtOnce) {
    const GiveUpCase& c = GetParam();
    // The first connection is greeted and then closes; every later one is never greeted.
    LoopbackServer server([&](LoopbackServer& s, int client, int index) {
        if (index == 0 && c.Reconnect) {
            Greet(s, client);
            return;
        }
        s.Hold(client);
    });
    const std::string address = c.Malformed ? "rfc2217://127.0.0.1" : server.Address("rfc2217");
    std::atomic<bool> stop{false};
    ByteCounter capture;
    capture.SetStopFlag(&stop);
    capture.GetPort().SetDevicePath(address);
    if (c.Reconnect) {
        capture.SetReconnect(true);
        capture.SetReconnectInterval(std::chrono::milliseconds(0));
        ASSERT_TRUE(capture.OpenPort()) << capture.GetOpenFailureText();
        // The server took the reopen's connection: the reopen waits for its greeting.
        ASSERT_TRUE(WaitUntil([&] { return server.Accepted() >= 2; }));
        EXPECT_TRUE(capture.ClosePort());
        EXPECT_EQ(capture.GetPort().GetLastOpenError(), ECANCELED) << "the reopen ran to its time limit";
    } else {
        std::thread stopper;
        if (!c.Malformed)
            stopper = std::thread([&] {
                WaitUntil([&] { return server.Accepted() > 0; });
                stop = true;
            });
        EXPECT_FALSE(capture.OpenPort());
        if (stopper.joinable()) stopper.join();
        const std::string reason =
            c.Malformed ? address + " is not a network port address (rfc2217://HOST:PORT or tcp://HOST:PORT)."
                        : "Cannot connect to " + address + ": stopped before the connection was made.";
        EXPECT_EQ(capture.GetOpenFailureText(), reason);
    }
    server.Stop();
}

INSTANTIATE_TEST_SUITE_P(Opens, OpenGiveUpTest,
                         ::testing::Values(GiveUpCase{"MalformedAddress", true, false},
                                           GiveUpCase{"StopDuringTheGreeting", false, false},
                                           GiveUpCase{"CloseDuringTheReopensGreeting", false, true}),
                         [](const auto& row) { return std::string(row.param.Name); });

}  // namespace
