// Network ports against Debian's ser2net on 127.0.0.1, with a pseudo-terminal as
// the device behind it.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "LoopbackServer.h"
#include "PtyPair.h"
#include "Ser2NetServer.h"
#include "TSerial.h"
#include "Termios2Speed.h"

namespace {

using Clock = std::chrono::steady_clock;

// Every byte value, 255 (Telnet's IAC) and CR among them, many times over.
std::string Pattern(size_t size) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(i * 7 + i / 256);
    return bytes;
}

// Reads from the open component until count bytes came or nothing more comes.
std::string ReceiveAll(TSerial& serial, size_t count) {
    std::string got;
    Eventually([&] {
        char chunk[4096];
        const int waiting = serial.GetBufRec();
        if (waiting > 0) got.append(chunk, serial.RData(chunk, std::min<uint32_t>(sizeof(chunk), waiting)));
        return got.size() >= count;
    });
    return got;
}

struct ModeCase {
    const char* Name;
    bool Rfc2217;
    uint32_t RateOnTheLine;  // what the pseudo-terminal carries while connected
};

class SerialNetMode : public ::testing::TestWithParam<ModeCase> {};

// The bytes both ways, and the rate only RFC 2217 sends: raw TCP leaves the
// server's own 9600.
TEST_P(SerialNetMode, CarriesEveryByteAndTheRate) {
    if (!Ser2NetServer::Installed()) GTEST_SKIP() << "ser2net is not installed";
    const ModeCase& c = GetParam();
    PtyPair pty;
    ASSERT_TRUE(pty.Ok());
    Ser2NetServer server(pty.SlavePath(), c.Rfc2217);
    ASSERT_TRUE(server.Start());
    TSerial serial;
    serial.SetDevicePath(server.Address(c.Rfc2217 ? "rfc2217" : "tcp"));
    serial.SetSyncWait(false);
    serial.SetBaudrate(br_230400);
    ASSERT_TRUE(serial.OpenIt()) << serial.GetLastOpenErrorText();
    uint32_t rate = 0;
    ASSERT_TRUE(Eventually([&] { return Termios2GetSpeed(pty.Master(), rate) && rate == c.RateOnTheLine; }))
        << rate;

    const std::string sent = Pattern(300000);
    std::thread sender([&] { pty.Send(sent); });
    const std::string got = ReceiveAll(serial, sent.size());
    sender.join();
    EXPECT_TRUE(got == sent) << got.size() << " of " << sent.size();

    const std::string out = Pattern(1000);
    EXPECT_EQ(serial.TData(out.data(), static_cast<uint32_t>(out.size())), out.size());
    EXPECT_TRUE(pty.Receive(out.size(), std::chrono::seconds(10)) == out);
    serial.CloseIt();
}

INSTANTIATE_TEST_SUITE_P(Modes, SerialNetMode,
                         ::testing::Values(ModeCase{"rfc2217", true, 230400}, ModeCase{"raw", false, 9600}),
                         [](const auto& mode) { return std::string(mode.param.Name); });

// A server that goes away is a hang-up: reads give nothing, and once it is back a
// new open works again.
TEST(SerialNet, ServerStoppedIsAHangUpAndARestartServesAgain) {
    if (!Ser2NetServer::Installed()) GTEST_SKIP() << "ser2net is not installed";
    PtyPair pty;
    ASSERT_TRUE(pty.Ok());
    Ser2NetServer server(pty.SlavePath(), true);
    ASSERT_TRUE(server.Start());
    TSerial serial;
    serial.SetDevicePath(server.Address("rfc2217"));
    serial.SetSyncWait(false);
    ASSERT_TRUE(serial.OpenIt()) << serial.GetLastOpenErrorText();
    server.Stop();
    ASSERT_TRUE(Eventually([&] {
        serial.GetBufRec();
        return serial.IsHungUp();
    }));
    char byte = 0;
    EXPECT_EQ(serial.RData(&byte, 1), 0u);
    serial.CloseIt();

    ASSERT_TRUE(server.Start());
    ASSERT_TRUE(serial.OpenIt()) << serial.GetLastOpenErrorText();
    EXPECT_FALSE(serial.IsHungUp());
    ASSERT_TRUE(pty.Send("back"));
    EXPECT_EQ(ReceiveAll(serial, 4), "back");
}

// The server's answers decide: another value than asked refuses the open, naming it;
// an answer that never comes is taken as the value asked.
TEST(SerialNet, AnswersWithOtherValuesRefuseTheOpen) {
    const std::vector<uint8_t> agree = {255, 253, 44};
    const struct {
        const char* Name;
        std::vector<uint8_t> Greeting;
        std::vector<uint8_t> Answer;
        const char* Reason;  // after the address; null: opens
    } cases[] = {
        {"rate",
         agree,
         {255, 250, 44, 101, 0, 0, 37, 128, 255, 240},
         " does not accept these line settings: the server set baud rate 9600 instead of 115200."},
        {"data bits",
         agree,
         {255, 250, 44, 102, 7, 255, 240},
         " does not accept these line settings: the server set data bits 7 instead of 8."},
        {"parity",
         agree,
         {255, 250, 44, 103, 3, 255, 240},
         " does not accept these line settings: the server set parity even instead of none."},
        {"stop bits",
         agree,
         {255, 250, 44, 104, 2, 255, 240},
         " does not accept these line settings: the server set stop bits 2 instead of 1."},
        {"flow control",
         agree,
         {255, 250, 44, 105, 3, 255, 240},
         " does not accept these line settings: the server set flow control RTS/CTS instead of none."},
        {"same values",
         agree,
         {255, 250, 44, 101, 0, 1, 194, 0, 255, 240, 255, 250, 44, 105, 1, 255, 240},
         nullptr},
        {"no answers", agree, {}, nullptr},
        {"option refused",
         {255, 254, 44},
         {},
         ": the server does not speak RFC 2217 (no Telnet COM-PORT-OPTION)."},
    };
    for (const auto& c : cases) {
        // Greets, and once the client asks for a rate, answers.
        LoopbackServer server([&](LoopbackServer& s, int client, int) {
            if (s.SendAll(client, c.Greeting) && s.ReceiveUntil(client, {255, 250, 44, 1}))
                s.SendAll(client, c.Answer);
            s.Hold(client);
        });
        const std::string address = server.Address("rfc2217");
        TSerial serial;
        serial.SetDevicePath(address);
        serial.SetBaudrate(br_115200);
        EXPECT_EQ(serial.OpenIt(), c.Reason == nullptr) << c.Name;
        const std::string prefix = std::string(c.Name) == "option refused" ? "Cannot connect to " : "";
        EXPECT_EQ(serial.GetLastOpenErrorText(), c.Reason ? prefix + address + c.Reason : "")
            << c.Name;
        serial.CloseIt();
    }
}

// The device's bytes that the server sent before it answered a purge go; those it
// sent after the answer (here in the same packet) stay.
TEST(SerialNet, APurgeDropsWhatCameBeforeTheServersAnswerOnly) {
    LoopbackServer server([](LoopbackServer& s, int client, int) {
        if (s.SendAll(client, {255, 253, 44}) && s.ReceiveUntil(client, {255, 250, 44, 12, 1}))
            s.SendAll(client, {'s', 't', 'a', 'l', 'e', 255, 250, 44, 112, 1, 255, 240, 'n', 'e', 'w'});
        s.Hold(client);
    });
    TSerial serial;
    serial.SetDevicePath(server.Address("rfc2217"));
    serial.SetSyncWait(false);
    ASSERT_TRUE(serial.OpenIt()) << serial.GetLastOpenErrorText();
    EXPECT_TRUE(serial.Purge(false, false, false, true));
    EXPECT_EQ(ReceiveAll(serial, 3), "new");
}

// One look at the socket (here: the receive count) takes at most about 64 KB, so a
// peer that sends commands alone cannot keep a reader, and the lock it holds, longer.
TEST(SerialNet, OneLookTakesABoundedPartOfACommandFlood) {
    constexpr uint64_t FloodBytes = 1 << 20;
    LoopbackServer server([&](LoopbackServer& s, int client, int) {
        if (s.SendAll(client, {255, 253, 44}) && s.ReceiveUntil(client, {'g', 'o'})) {
            s.Flood(client, {255, 241}, FloodBytes / 2);  // IAC NOP
            s.SendAll(client, {'M'});
        }
        s.Hold(client);
    });
    TSerial serial;
    serial.SetDevicePath(server.Address("rfc2217"));
    serial.SetSyncWait(false);
    ASSERT_TRUE(serial.OpenIt()) << serial.GetLastOpenErrorText();
    ASSERT_EQ(serial.TText("go"), 2u);
    ASSERT_TRUE(Eventually([&] { return server.Sent() == 3 + FloodBytes + 1; }));
    uint64_t looks = 1;
    while (serial.GetBufRec() == 0 && looks < 10000) ++looks;
    EXPECT_GE(looks, FloodBytes / (64 * 1024)) << "one look took more than its share";
    EXPECT_EQ(serial.RText(), "M");
}

struct FailureCase {
    const char* Name;
    std::string Address;  // "RAW" stands for a raw-TCP server's address, "FREE" for a port nobody serves
    std::string Reason;
};

// Each failure ends within the connect limit, naming the address and the reason.
TEST(SerialNet, FailedConnectionsSayWhy) {
    if (!Ser2NetServer::Installed()) GTEST_SKIP() << "ser2net is not installed";
    PtyPair pty;
    ASSERT_TRUE(pty.Ok());
    Ser2NetServer raw(pty.SlavePath(), false);
    ASSERT_TRUE(raw.Start());
    const std::string free = "rfc2217://127.0.0.1:" + std::to_string(Ser2NetServer::FreePort());
    const FailureCase cases[] = {
        {"refused", free, ": the connection was refused (no server listens there)."},
        {"no such host", "rfc2217://no-such-host.invalid:2217", ": no such host."},
        {"no Telnet", raw.Address("rfc2217"),
         ": the server does not speak RFC 2217 (no Telnet COM-PORT-OPTION)."},
        {"refused, IPv6", "tcp://[::1]:" + std::to_string(Ser2NetServer::FreePort()),
         ": the connection was refused (no server listens there)."},
    };
    for (const FailureCase& c : cases) {
        TSerial serial;
        serial.SetDevicePath(c.Address);
        const auto start = Clock::now();
        EXPECT_FALSE(serial.OpenIt()) << c.Name;
        // The bound the open promises, with room for a loaded machine's scheduling.
        EXPECT_LT(Clock::now() - start, std::chrono::seconds(7)) << c.Name;
        EXPECT_EQ(serial.GetLastOpenErrorText(), "Cannot connect to " + c.Address + c.Reason) << c.Name;
    }
    TSerial malformed;
    malformed.SetDevicePath("rfc2217://127.0.0.1");
    EXPECT_FALSE(malformed.OpenIt());
    EXPECT_EQ(malformed.GetLastOpenErrorText(),
              "rfc2217://127.0.0.1 is not a network port address (rfc2217://HOST:PORT or tcp://HOST:PORT).");
}

}  // namespace
