// The component on the real platform, over pseudo-terminal pairs.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <string>
#include <thread>

#include "PtyPair.h"
#include "SerialOpenError.h"
#include "TSerial.h"
#include "Termios2Speed.h"

namespace {

// Every byte value, with a newline every so often.
std::string Pattern(size_t size) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(i % 97 == 0 ? '\n' : i * 7 + i / 256);
    return bytes;
}

// Writes what the device takes without a reader and without blocking; returns the count.
size_t WriteWithoutWaiting(int fd, const std::string& bytes) {
    const int flags = fcntl(fd, F_GETFL);
    fcntl(fd, F_SETFL, flags | O_NONBLOCK);
    const ssize_t written = write(fd, bytes.data(), bytes.size());
    fcntl(fd, F_SETFL, flags);
    return written > 0 ? static_cast<size_t>(written) : 0;
}

class SerialPty : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(pty_.Ok());
        serial_.SetDevicePath(pty_.SlavePath());
    }

    // 12000 bytes (more than a pseudo-terminal reports waiting) sent from another
    // thread, since the pseudo-terminal may hold less than that.
    std::string Burst() {
        std::string burst(12000, '\0');
        for (size_t i = 0; i < burst.size(); ++i) burst[i] = static_cast<char>(i * 7 + i / 256);
        sender_ = std::thread([this, burst] { pty_.Send(burst); });
        return burst;
    }
    void TearDown() override {
        if (sender_.joinable()) sender_.join();
    }

    PtyPair pty_;
    TSerial serial_;
    std::thread sender_;
};

TEST_F(SerialPty, OpensRawWithTheRequestedFrameAndFlowControl) {
    serial_.SetBaudrate(br_115200);
    serial_.SetStopBits(sb_2);
    serial_.SetParityBit(mark);
    serial_.SetHandshakeRtsCts(true);
    serial_.SetHandshakeXOnXOff(true);
    serial_.SetXOnChar('A');
    serial_.SetXOffChar('B');
    serial_.SetDTRActive(true);  // the modem lines a pseudo-terminal lacks do not stop the open
    ASSERT_TRUE(serial_.OpenIt()) << serial_.GetLastOpenErrorText();
    const termios settings = pty_.MasterSettings();
    EXPECT_EQ(settings.c_lflag & (ICANON | ECHO | ISIG), 0u);
    EXPECT_EQ(settings.c_oflag & OPOST, 0u);
    const tcflag_t control = CLOCAL | CREAD | CSTOPB | PARODD | CMSPAR | CRTSCTS;
    EXPECT_EQ(settings.c_cflag & control, control);
    EXPECT_EQ(settings.c_iflag & (IXON | IXOFF), static_cast<tcflag_t>(IXON | IXOFF));
    EXPECT_EQ(settings.c_cc[VSTART], 'A');
    EXPECT_EQ(settings.c_cc[VSTOP], 'B');
    EXPECT_EQ(cfgetospeed(&settings), static_cast<speed_t>(B115200));
}

TEST_F(SerialPty, StopBitsReachTheTerminal) {
    // 1.5 stop bits exist only as CSTOPB, which 16550-type UARTs send as 1.5 with 5 data bits.
    for (const auto& [stopBits, twoStopBits] : {std::pair{sb_1, false}, {sb_15, true}, {sb_2, true}}) {
        serial_.SetStopBits(stopBits);
        ASSERT_TRUE(serial_.OpenIt()) << serial_.GetLastOpenErrorText();
        EXPECT_EQ((pty_.MasterSettings().c_cflag & CSTOPB) != 0, twoStopBits) << StopbitsNames[stopBits];
        serial_.CloseIt();
    }
}

// With INPCK and without PARMRK Linux would hand out a byte with a parity or framing
// error as NUL, and an IGNPAR left by an earlier user would drop it: either corrupts
// a capture. The byte comes as received, whatever the parity and the settings found.
TEST_F(SerialPty, BytesWithLineErrorsAreNeitherReplacedNorDropped) {
    termios found = pty_.MasterSettings();
    found.c_iflag |= IGNPAR | INPCK | PARMRK;
    ASSERT_EQ(tcsetattr(pty_.Master(), TCSANOW, &found), 0);
    for (TParityBit parity : {none, odd, even, mark, space}) {
        serial_.SetParityBit(parity);
        ASSERT_TRUE(serial_.OpenIt()) << serial_.GetLastOpenErrorText();
        EXPECT_EQ(pty_.MasterSettings().c_iflag & (IGNPAR | INPCK | PARMRK | ISTRIP), 0u)
            << ParityNames[parity];
        serial_.CloseIt();
    }
}

// Both directions: a line that receives at another rate than it sends garbles every byte.
TEST_F(SerialPty, EveryRateOpensExactly) {
    for (int i = 0; i < 20; ++i) {
        serial_.SetBaudrate(static_cast<TBaudrate>(i));
        ASSERT_TRUE(serial_.OpenIt()) << Baudrates[i] << ": " << serial_.GetLastOpenErrorText();
        uint32_t output = 0, input = 0;
        ASSERT_TRUE(Termios2GetSpeed(pty_.Master(), output));
        ASSERT_TRUE(Termios2GetInputSpeed(pty_.Master(), input));
        EXPECT_EQ(output, static_cast<uint32_t>(Baudrates[i]));
        EXPECT_EQ(input, static_cast<uint32_t>(Baudrates[i]));
        serial_.CloseIt();
    }
}

TEST_F(SerialPty, FrameTheDeviceForcesIsAcceptedAndFourDataBitsAreNot) {
    serial_.SetDataBits(db_5);  // a pseudo-terminal turns this into 8 bits without parity
    serial_.SetParityBit(even);
    serial_.SetStopBits(sb_15);
    EXPECT_TRUE(serial_.OpenIt()) << serial_.GetLastOpenErrorText();
    serial_.CloseIt();
    serial_.SetDataBits(db_4);
    EXPECT_FALSE(serial_.OpenIt());
    EXPECT_EQ(serial_.GetLastOpenError(), EINVAL);
    serial_.SetDataBits(db_8);                        // the refused open released the device
    serial_.SetBaudrate(static_cast<TBaudrate>(20));  // beyond the table: refused, not read out of bounds
    serial_.SetRecTimeOut(10);
    EXPECT_FALSE(serial_.OpenIt());
    serial_.SetBaudrate(br_000050);
    EXPECT_TRUE(serial_.OpenIt());
}

TEST_F(SerialPty, BytesGoBothWays) {
    ASSERT_TRUE(serial_.OpenIt());
    EXPECT_EQ(serial_.TText("hello "), 6u);
    EXPECT_EQ(serial_.TData("\x00\xff\n", 3), 3u);
    EXPECT_EQ(pty_.Receive(9), std::string("hello \x00\xff\n", 9));
    ASSERT_TRUE(pty_.Send(std::string("a\0\r", 3)));
    ASSERT_TRUE(Eventually([&] { return serial_.GetBufRec() == 3; }));
    EXPECT_EQ(serial_.RText(), std::string("a\0\r", 3));
    EXPECT_EQ(serial_.RText(), "");
}

// More than the device takes at once: what does not fit is sent in the background,
// in order, and a completing write waits for it before its own bytes.
TEST_F(SerialPty, WritesThatDoNotWaitStillSendEveryByte) {
    serial_.SetSyncWait(false);
    ASSERT_TRUE(serial_.OpenIt());
    const std::string sent = Pattern(200000);
    std::string got;
    EXPECT_EQ(serial_.TText(sent), sent.size());
    EXPECT_EQ(serial_.TData("+", 1), 1u);
    std::thread reader([&] { got = pty_.Receive(sent.size() + 5, std::chrono::seconds(30)); });
    serial_.SetSyncWait(true);
    EXPECT_EQ(serial_.TText("tail"), 4u);
    reader.join();
    EXPECT_EQ(got.size(), sent.size() + 5);
    EXPECT_TRUE(got == sent + "+tail") << "bytes lost or out of order";
    EXPECT_EQ(serial_.GetWriteError(), 0);
    EXPECT_EQ(serial_.GetBufTrm(), 0);
}

// A slow reader: room appears a little at a time while the sender still holds bytes,
// and a write that does not wait follows each time at once. It must queue behind them.
TEST_F(SerialPty, AWriteThatDoesNotWaitNeverOvertakesQueuedBytes) {
    serial_.SetSyncWait(false);
    ASSERT_TRUE(serial_.OpenIt());
    std::string expected = Pattern(200000);
    ASSERT_EQ(serial_.TText(expected), expected.size());
    std::string got;
    // Stops well before the end of the queued bytes, so each read finds bytes at once.
    for (int i = 0; got.size() < expected.size() / 2; ++i) {
        got += pty_.Receive(700, std::chrono::seconds(30));
        const char marker = static_cast<char>(0x80 | (i & 0x3F));
        ASSERT_EQ(serial_.TData(&marker, 1), 1u);
        expected += marker;
    }
    got += pty_.Receive(expected.size() - got.size(), std::chrono::seconds(30));
    ASSERT_EQ(got.size(), expected.size());
    EXPECT_TRUE(got == expected) << "a write overtook queued bytes";
}

TEST_F(SerialPty, ABackgroundWriteThatCannotCompleteIsReported) {
    std::atomic<int> errors{0};
    serial_.SetOnError([&](TSerial&) { ++errors; });
    serial_.SetSyncWait(false);
    ASSERT_TRUE(serial_.OpenIt());
    EXPECT_EQ(serial_.TText(Pattern(100000)), 100000u);  // nobody reads the far end yet
    EXPECT_GT(serial_.GetBufTrm(), 0);
    pty_.CloseMaster();
    EXPECT_TRUE(Eventually([&] { return serial_.GetWriteError() == EIO && errors == 1; }));
}

// Closing lets the output drain before the saved settings return: sent under those
// (here with newline translation) the rest would arrive garbled.
TEST_F(SerialPty, CloseSendsWhatIsQueuedBeforeRestoringTheSettings) {
    termios found = pty_.MasterSettings();
    found.c_oflag |= OPOST | ONLCR;
    ASSERT_EQ(tcsetattr(pty_.Master(), TCSANOW, &found), 0);
    serial_.SetSyncWait(false);
    // A pseudo-terminal sends at no rate; the rate only sets the drain's time limit (the
    // line time and a second), which at this rate leaves a slow reader thread 9 s.
    serial_.SetBaudrate(br_115200);
    ASSERT_TRUE(serial_.OpenIt());
    const std::string sent = Pattern(100000);
    ASSERT_EQ(serial_.TText(sent), sent.size());
    std::string got;
    std::thread reader([&] { got = pty_.Receive(sent.size() + 1, std::chrono::seconds(30)); });
    serial_.CloseIt();
    reader.join();
    EXPECT_EQ(got.size(), sent.size());
    EXPECT_TRUE(got == sent) << "bytes lost or translated";
}

TEST_F(SerialPty, CloseGivesUpOnOutputThatNobodyTakes) {
    serial_.SetSyncWait(false);
    serial_.SetBaudrate(br_921600);
    ASSERT_TRUE(serial_.OpenIt());
    ASSERT_EQ(serial_.TText(Pattern(40000)), 40000u);
    serial_.CloseIt();  // returns after its time limit, the rest discarded
    EXPECT_FALSE(serial_.GetActive());
    EXPECT_TRUE(serial_.OpenIt()) << "the device was not released";
}

TEST_F(SerialPty, CompletingReadEndsWithTheTimeOutsImmediateReadDoesNotWait) {
    serial_.SetRecTimeOut(20);
    ASSERT_TRUE(serial_.OpenIt());
    ASSERT_TRUE(pty_.Send("abc"));
    char buffer[10];
    EXPECT_EQ(serial_.RData(buffer, 10), 3u);
    EXPECT_EQ(std::string(buffer, 3), "abc");
    serial_.SetSyncWait(false);
    serial_.SetRecTimeOut(0);
    EXPECT_EQ(serial_.RData(buffer, 10), 0u);
}

TEST_F(SerialPty, CompletingReadTakesMoreThanTheReportedCount) {
    serial_.SetRecTimeOut(10000);  // a limit only a fault reaches; the read ends with the last byte
    ASSERT_TRUE(serial_.OpenIt());
    const std::string sent = Burst();
    std::string got(sent.size(), '\0');
    EXPECT_EQ(serial_.RData(got.data(), static_cast<uint32_t>(got.size())), sent.size());
    EXPECT_EQ(got, sent);
}

TEST_F(SerialPty, ImmediateReadsLoseNothingOfABurst) {
    serial_.SetSyncWait(false);
    ASSERT_TRUE(serial_.OpenIt());
    const std::string sent = Burst();
    std::string got;
    char buffer[16384];
    EXPECT_TRUE(Eventually([&] {
        got.append(buffer, serial_.RData(buffer, sizeof(buffer)));
        return got.size() >= sent.size();
    }));
    EXPECT_EQ(got, sent);
}

// The device shows at most 4095 waiting bytes; the count must not read 0 while it
// holds more back, or a reader that goes by the count stops early.
TEST_F(SerialPty, TheWaitingCountIncludesWhatTheDeviceHoldsBack) {
    serial_.SetSyncWait(false);
    ASSERT_TRUE(serial_.OpenIt());
    // Written before the first read, cut to what the device takes without a reader: once
    // the write has returned, every byte of it is there for the reads.
    std::string sent = Pattern(12000);
    sent.resize(WriteWithoutWaiting(pty_.Master(), sent));
    ASSERT_GT(sent.size(), 4095u) << "the device held no more than it shows at once";
    std::string got;
    char buffer[500];
    auto readByCount = [&] {
        for (int waiting; (waiting = serial_.GetBufRec()) > 0;) {
            const auto wanted = static_cast<uint32_t>(std::min<int>(waiting, sizeof(buffer)));
            got.append(buffer, serial_.RData(buffer, wanted));
        }
    };
    readByCount();
    EXPECT_EQ(got.size(), sent.size()) << "stopped before the end of what the device held";
    EXPECT_EQ(got, sent);
}

TEST_F(SerialPty, PurgeEmptiesTheReceiveSide) {
    ASSERT_TRUE(serial_.OpenIt());
    ASSERT_TRUE(pty_.Send("stale bytes"));
    ASSERT_TRUE(Eventually([&] { return serial_.GetBufRec() == 11; }));
    EXPECT_TRUE(serial_.Purge(false, true, false, true));
    EXPECT_EQ(serial_.GetBufRec(), 0);
    EXPECT_EQ(serial_.RText(), "");
}

TEST_F(SerialPty, HangUpIsReportedAndEndsReadsAndWrites) {
    ASSERT_TRUE(serial_.OpenIt());
    ASSERT_TRUE(pty_.Send("ab"));
    std::thread closer([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        pty_.CloseMaster();
    });
    char buffer[16];
    serial_.RData(buffer, sizeof(buffer));  // SyncWait without time-outs: waits until the hang-up
    closer.join();
    EXPECT_TRUE(serial_.IsHungUp());
    EXPECT_EQ(serial_.GetBufRec(), 0);
    EXPECT_EQ(serial_.TText("lost"), 0u);
    serial_.CloseIt();
    EXPECT_FALSE(serial_.IsHungUp());
}

TEST_F(SerialPty, SecondOpenerIsTurnedAway) {
    TSerial second;
    second.SetDevicePath(pty_.SlavePath());
    ASSERT_TRUE(serial_.OpenIt());
    EXPECT_FALSE(second.OpenIt());
    EXPECT_EQ(second.GetLastOpenError(), EBUSY);
    EXPECT_EQ(second.GetLastOpenErrorText(), pty_.SlavePath() + " is in use by another program.");
    serial_.CloseIt();
    EXPECT_TRUE(second.OpenIt());
}

TEST_F(SerialPty, CloseRestoresThePreviousSettings) {
    termios before = pty_.MasterSettings();
    before.c_lflag |= ICANON | ECHO;
    cfsetspeed(&before, B4800);
    ASSERT_EQ(tcsetattr(pty_.Master(), TCSANOW, &before), 0);
    serial_.SetBaudrate(br_256000);
    ASSERT_TRUE(serial_.OpenIt());
    EXPECT_EQ(pty_.MasterSettings().c_lflag & ECHO, 0u);
    serial_.CloseIt();
    EXPECT_EQ(pty_.MasterSettings().c_lflag & (ICANON | ECHO), static_cast<tcflag_t>(ICANON | ECHO));
    uint32_t rate = 0;
    ASSERT_TRUE(Termios2GetSpeed(pty_.Master(), rate));
    EXPECT_EQ(rate, 4800u);
}

TEST(SerialDevices, ReasonsForFailedOpens) {
    TSerial serial;
    serial.SetDevicePath("/dev/null");
    EXPECT_FALSE(serial.OpenIt());
    EXPECT_EQ(serial.GetLastOpenErrorText(), "/dev/null is not a serial port.");
    serial.SetDevicePath("/dev/kestrun-no-such-port");
    EXPECT_FALSE(serial.OpenIt());
    EXPECT_EQ(serial.GetLastOpenErrorText(), "/dev/kestrun-no-such-port is not present (unplugged?).");
    EXPECT_EQ(SerialOpenErrorText(EACCES, "/dev/ttyUSB0"),
              "Permission denied for /dev/ttyUSB0: add the user to the \"dialout\" group (sudo usermod -aG "
              "dialout $USER) and log in again.");
    EXPECT_EQ(SerialOpenErrorText(EINVAL, "/dev/ttyS0"),
              "/dev/ttyS0 does not accept these line settings (baud rate, data bits, parity, stop bits).");
    EXPECT_EQ(SerialOpenErrorText(EIO, "/dev/ttyS0").rfind("/dev/ttyS0 cannot be opened: ", 0), 0u);
}

}  // namespace
