// Network ports served by hostile or silent servers of the test's own: a flood of
// Telnet commands keeps memory flat and a stop quick, and an open that cannot
// succeed ends as soon as it is given up.

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <string>
#include <thread>

#include "LoopbackServer.h"
#include "ZSerialCapture.h"
#include "capture_test_support.h"

using namespace capture_test;

namespace {

constexpr uint8_t IAC = 255, WILL = 251, WONT = 252, DO = 253, SB = 250, SE = 240, NOP = 241, ComPort = 44;

// Agrees to COM-PORT-OPTION and answers the purge that ends the client's open: what
// is sent from then on is for the capture.
bool Greet(LoopbackServer& server, int client) {
    return server.SendAll(client, {IAC, DO, ComPort}) &&
           server.ReceiveUntil(client, {IAC, SB, ComPort, 12}) &&
           server.SendAll(client, {IAC, SB, ComPort, 112, 1, IAC, SE});
}

class ByteCounter : public ZSerialCapture {
public:
    ByteCounter() : ZSerialCapture(20, 500) {}
    ~ByteCounter() override { StopCaptureThread(); }
    void ProcessData(const uint8_t*, int count) override { received_ += static_cast<uint64_t>(count); }
    std::atomic<uint64_t> received_{0};
    using ZSerialCapture::SetReconnectInterval;
};

struct FloodCase {
    const char* Name;
    Bytes Unit;      // what the server sends over and over, never reading a byte
    uint64_t Times;  // 0: until the client leaves; else the data byte 'd' in Unit must all arrive
};

class TelnetFloodTest : public ::testing::TestWithParam<FloodCase> {};

TEST_P(TelnetFloodTest, MemoryStaysFlatAndAStopReturnsWhileTheServerFloods) {
    const FloodCase& c = GetParam();
    LoopbackServer server([&](LoopbackServer& s, int client, int) {
        if (Greet(s, client)) s.Flood(client, c.Unit, c.Times);
        s.Hold(client);
    });
    ByteCounter capture;
    capture.SetPreciseTime(true, 0);  // reads as soon as anything arrives
    capture.GetPort().SetDevicePath(server.Address("rfc2217"));
    ASSERT_TRUE(capture.OpenPort()) << capture.GetOpenFailureText();
    // The stash, the answers waiting and a chunk, with room to spare; the floods are far larger.
    constexpr size_t HeldLimit = 128 * 1024;
    size_t mostHeld = 0;
    const auto sampled = [&](bool done) {
        mostHeld = std::max(mostHeld, capture.GetPort().GetHeldBytes());
        return done || mostHeld > HeldLimit;
    };
    const uint64_t data = c.Times * static_cast<uint64_t>(std::count(c.Unit.begin(), c.Unit.end(), 'd'));
    EXPECT_TRUE(
        WaitUntil([&] { return sampled(c.Times > 0 ? capture.received_ == data : server.Sent() > 2 << 20); },
                  std::chrono::seconds(30)))
        << capture.received_ << " of " << data << " data bytes";
    // A while longer, for what only shows once the server's buffers are full.
    WaitUntil([&] { return sampled(server.Sent() > 32 << 20); }, std::chrono::seconds(3));
    std::atomic<bool> stopped{false};
    std::thread stopper([&] { stopped = capture.ClosePort(); });
    const bool stoppedDuringTheFlood = WaitUntil([&] { return stopped.load(); }, std::chrono::seconds(20));
    server.Stop();  // ends a flood that a faulty stop waits for
    stopper.join();
    EXPECT_TRUE(stoppedDuringTheFlood);
    EXPECT_LE(mostHeld, HeldLimit);
}

INSTANTIATE_TEST_SUITE_P(Floods, TelnetFloodTest,
                         ::testing::Values(FloodCase{"NopsForever", {IAC, NOP}, 0},
                                           FloodCase{"RefusedRequestsForever", {IAC, WILL, 1, IAC, DO, 1}, 0},
                                           FloodCase{
                                               "AnAcceptedOptionToggled", {IAC, WILL, 3, IAC, WONT, 3}, 0},
                                           FloodCase{"RefusedRequestsAroundData",
                                                     {IAC, WILL, 1, 'd', IAC, DO, 1, 'd', IAC, WILL, 1, 'd'},
                                                     1 << 20}),
                         [](const auto& row) { return std::string(row.param.Name); });

struct GiveUpCase {
    const char* Name;
    bool Malformed;  // an address that does not parse, else a server that never greets
    bool Reconnect;  // given up by the stop while the capture reopens its lost port, else at the start
};

class OpenGiveUpTest : public ::testing::TestWithParam<GiveUpCase> {};

// A malformed address is refused at once, naming no rate; the wait for a greeting
// ends when the stop comes, not at the greeting's time limit.
TEST_P(OpenGiveUpTest, AnOpenThatCannotSucceedEndsAtOnce) {
    const GiveUpCase& c = GetParam();
    // A reconnecting capture's first connection is greeted, then closes.
    LoopbackServer server([&](LoopbackServer& s, int client, int index) {
        if (index > 0 || !c.Reconnect || !Greet(s, client)) s.Hold(client);
    });
    const std::string address = c.Malformed ? "rfc2217://127.0.0.1" : server.Address("rfc2217");
    std::atomic<bool> stop{false};
    ByteCounter capture;
    capture.SetStopFlag(&stop);
    capture.SetReconnect(c.Reconnect);
    capture.SetReconnectInterval(std::chrono::milliseconds(0));
    capture.GetPort().SetDevicePath(address);
    const int connections = c.Reconnect ? 2 : 1;
    std::thread stopper([&] {
        if (c.Malformed || !WaitUntil([&] { return server.Accepted() >= connections; })) return;
        if (c.Reconnect) capture.ClosePort();
        stop = true;
    });
    EXPECT_EQ(capture.OpenPort(), c.Reconnect);
    stopper.join();
    if (c.Reconnect) {
        EXPECT_EQ(capture.GetPort().GetLastOpenError(), ECANCELED) << "the reopen ran to its time limit";
    } else {
        EXPECT_EQ(capture.GetOpenFailureText(),
                  c.Malformed
                      ? address + " is not a network port address (rfc2217://HOST:PORT or tcp://HOST:PORT)."
                      : "Cannot connect to " + address + ": stopped before the connection was made.");
    }
}

INSTANTIATE_TEST_SUITE_P(Opens, OpenGiveUpTest,
                         ::testing::Values(GiveUpCase{"MalformedAddress", true, false},
                                           GiveUpCase{"StopDuringTheGreeting", false, false},
                                           GiveUpCase{"CloseDuringTheReopensGreeting", false, true}),
                         [](const auto& row) { return std::string(row.param.Name); });

}  // namespace
