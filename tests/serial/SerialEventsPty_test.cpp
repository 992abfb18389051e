// The event emulation of the real platform, over pseudo-terminal pairs.

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "PtyPair.h"
#include "TSerial.h"

namespace {

class SerialEventsPty : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(pty_.Ok());
        serial_.SetDevicePath(pty_.SlavePath());
        serial_.SetSyncWait(false);
    }
    // Lets some wait slices pass, to show that nothing more happens.
    static void Quiet() { std::this_thread::sleep_for(std::chrono::milliseconds(40)); }

    PtyPair pty_;
    std::atomic<int> rxChars_{0};
    std::atomic<int> eventChars_{0};
    std::atomic<int> txEmpty_{0};
    TSerial serial_;  // last: its handlers use the members above
};

TEST_F(SerialEventsPty, ArrivingBytesAreReportedOnceAndReadInOrder) {
    serial_.SetEventChar('\n');
    serial_.SetOnRxChar([this](TSerial&) { ++rxChars_; });
    serial_.SetOnEventChar([this](TSerial&) { ++eventChars_; });
    ASSERT_TRUE(serial_.OpenIt());
    ASSERT_TRUE(pty_.Send("123"));
    ASSERT_TRUE(Eventually([&] { return rxChars_ == 1; }));
    ASSERT_TRUE(pty_.Send("45\n"));
    ASSERT_TRUE(Eventually([&] { return rxChars_ == 2 && eventChars_ == 1; }));
    Quiet();
    EXPECT_EQ(rxChars_, 2);  // unread bytes are not reported again
    EXPECT_EQ(serial_.GetBufRec(), 6);
    char buffer[16];
    ASSERT_EQ(serial_.RData(buffer, sizeof(buffer)), 6u);
    EXPECT_EQ(std::string(buffer, 6), "12345\n");
    ASSERT_TRUE(pty_.Send("7"));
    ASSERT_TRUE(Eventually([&] { return rxChars_ == 3; }));
    EXPECT_EQ(eventChars_, 1);
    EXPECT_EQ(serial_.RText(), "7");
}

TEST_F(SerialEventsPty, HandlerReadsTheBytesItWasCalledFor) {
    std::string seen;
    std::atomic<bool> done{false};
    serial_.SetOnEventChar([&](TSerial& s) {
        seen += s.RText();
        done = true;
    });
    ASSERT_TRUE(serial_.OpenIt());
    ASSERT_TRUE(pty_.Send("reply\r"));
    ASSERT_TRUE(Eventually([&] { return done.load(); }));
    serial_.CloseIt();
    EXPECT_EQ(seen, "reply\r");
}

TEST_F(SerialEventsPty, TransmitterEmptyFollowsEachWriteOnce) {
    serial_.SetOnTxEmpty([this](TSerial&) { ++txEmpty_; });
    ASSERT_TRUE(serial_.OpenIt());
    Quiet();
    EXPECT_EQ(txEmpty_, 0);
    EXPECT_EQ(serial_.TText("ping"), 4u);
    ASSERT_TRUE(Eventually([&] { return txEmpty_ == 1; }));
    Quiet();
    EXPECT_EQ(txEmpty_, 1);
    EXPECT_EQ(pty_.Receive(4), "ping");
}

TEST_F(SerialEventsPty, HangUpIsSeenWithoutHandlerCalls) {
    serial_.SetOnRxChar([this](TSerial&) { ++rxChars_; });
    serial_.SetOnCts([this](TSerial&) { ++rxChars_; });
    ASSERT_TRUE(serial_.OpenIt());
    pty_.CloseMaster();
    ASSERT_TRUE(Eventually([&] { return serial_.IsHungUp(); }));
    Quiet();
    EXPECT_EQ(rxChars_, 0);
    serial_.CloseIt();
    EXPECT_FALSE(serial_.GetActive());
}

}  // namespace
