#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "Eventually.h"
#include "FakeSerialPlatform.h"
#include "TSerial.h"
#include "ZULMainThread.h"

namespace {

constexpr uint32_t AllEvents = 0x1FF;

class SerialEvents : public ::testing::Test {
protected:
    SerialEvents() : table_([](int n) { return n == 1; }), serial_(nullptr, platform_, table_) {
        table_.Init(99);
        platform_.Port(1);
    }

    FakeDevice& Port1() { return platform_.Port(1); }

    TSerialNotify Logging(const std::string& name) {
        return [this, name](TSerial& sender) {
            std::lock_guard guard(logLock_);
            log_.push_back(&sender == &serial_ ? name : "wrong sender");
        };
    }
    void AssignAll() {
        serial_.SetOnBreak(Logging("Break"));
        serial_.SetOnCts(Logging("Cts"));
        serial_.SetOnDsr(Logging("Dsr"));
        serial_.SetOnError(Logging("Error"));
        serial_.SetOnRing(Logging("Ring"));
        serial_.SetOnDcd(Logging("Dcd"));
        serial_.SetOnRxChar(Logging("RxChar"));
        serial_.SetOnEventChar(Logging("EventChar"));
        serial_.SetOnTxEmpty(Logging("TxEmpty"));
    }
    std::vector<std::string> Logged() {
        std::lock_guard guard(logLock_);
        return log_;
    }
    // Sends an event word and waits until the thread has dealt with it.
    void Deliver(uint32_t word) {
        Port1().PushEvents(word);
        ASSERT_TRUE(Port1().WaitForIdleWaiter());
    }

    FakeSerialPlatform platform_;
    TPortTable table_;
    ZULQueuedDispatcher dispatcher_;
    std::mutex logLock_;  // guards log_
    std::vector<std::string> log_;
    TSerial serial_;  // last: its handlers use the members above
};

TEST_F(SerialEvents, MaskHoldsTheAssignedHandlersOnly) {
    ASSERT_TRUE(serial_.OpenIt());
    serial_.CloseIt();
    serial_.SetOnRxChar(Logging("RxChar"));
    ASSERT_TRUE(serial_.OpenIt());
    serial_.CloseIt();
    AssignAll();
    ASSERT_TRUE(serial_.OpenIt());
    EXPECT_EQ(Port1().masks, (std::vector<uint32_t>{0, 0, EV_RXCHAR, 0, AllEvents}));
}

TEST_F(SerialEvents, HandlersRunOncePerWakeUpInTheFixedOrder) {
    AssignAll();
    ASSERT_TRUE(serial_.OpenIt());
    Deliver(EV_RXCHAR | EV_CTS);
    Deliver(AllEvents);
    EXPECT_EQ(Logged(), (std::vector<std::string>{"Cts", "RxChar", "Break", "Cts", "Dsr", "Error", "Ring",
                                                  "Dcd", "RxChar", "EventChar", "TxEmpty"}));
}

TEST_F(SerialEvents, DisabledEventsAreDroppedButTheThreadKeepsWaiting) {
    AssignAll();
    serial_.SetEnableEvents(false);
    ASSERT_TRUE(serial_.OpenIt());
    Deliver(EV_RXCHAR);
    serial_.SetEnableEvents(true);
    serial_.SetOnCts(nullptr);  // unassigned while open: skipped
    Deliver(EV_CTS | EV_DSR);
    EXPECT_EQ(Logged(), std::vector<std::string>{"Dsr"});
}

TEST_F(SerialEvents, CloseEndsTheThreadWithoutAHandlerCall) {
    AssignAll();
    ASSERT_TRUE(serial_.OpenIt());
    ASSERT_TRUE(Port1().WaitForIdleWaiter());
    serial_.CloseIt();
    EXPECT_TRUE(Port1().WaitUntil([&] { return Port1().waiters == 0; }));
    Port1().PushEvents(AllEvents);
    EXPECT_TRUE(Logged().empty());
}

TEST_F(SerialEvents, CloseWaitsForARunningHandler) {
    std::atomic<bool> inHandler{false};
    std::atomic<bool> finished{false};
    serial_.SetOnRxChar([&](TSerial&) {
        inHandler = true;
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        finished = true;
    });
    ASSERT_TRUE(serial_.OpenIt());
    Port1().PushEvents(EV_RXCHAR);
    ASSERT_TRUE(Eventually([&] { return inHandler.load(); }));
    serial_.CloseIt();
    EXPECT_TRUE(finished);
}

TEST_F(SerialEvents, HandlerMayCloseItsOwnPort) {
    AssignAll();
    std::atomic<bool> closed{false};
    serial_.SetOnRxChar([&](TSerial& s) {
        s.CloseIt();
        closed = true;
    });
    ASSERT_TRUE(serial_.OpenIt());
    Port1().PushEvents(EV_RXCHAR | EV_TXEMPTY);
    ASSERT_TRUE(Eventually([&] { return closed.load(); }));
    EXPECT_FALSE(serial_.GetActive());
    EXPECT_TRUE(Logged().empty());  // the later handler of that wake-up is not called
    EXPECT_TRUE(serial_.OpenIt());  // and the closing thread is collected
    Deliver(EV_TXEMPTY);
    EXPECT_EQ(Logged(), std::vector<std::string>{"TxEmpty"});
}

TEST_F(SerialEvents, SynchronisedHandlersRunInTheMainThread) {
    std::thread::id handlerThread;
    serial_.SetOnRxChar([&](TSerial&) { handlerThread = std::this_thread::get_id(); });
    serial_.SetSyncEventHandling(true);
    serial_.SetDispatcher(&dispatcher_);
    ASSERT_TRUE(serial_.OpenIt());
    Port1().PushEvents(EV_RXCHAR);
    ASSERT_EQ(dispatcher_.WaitAndProcess(2000), 1);
    EXPECT_EQ(handlerThread, std::this_thread::get_id());
}

TEST_F(SerialEvents, CloseReleasesAThreadWaitingForTheMainThread) {
    serial_.SetOnRxChar(Logging("RxChar"));
    serial_.SetSyncEventHandling(true);
    serial_.SetDispatcher(&dispatcher_);
    ASSERT_TRUE(serial_.OpenIt());
    Port1().PushEvents(EV_RXCHAR);
    ASSERT_TRUE(Port1().WaitUntil([&] { return Port1().events.empty(); }));
    serial_.CloseIt();  // this thread never served the call
    dispatcher_.ProcessPending();
    EXPECT_TRUE(Logged().empty());
}

TEST_F(SerialEvents, SynchronisedHandlerMayCloseItsOwnPort) {
    serial_.SetOnRxChar([](TSerial& s) { s.CloseIt(); });
    serial_.SetSyncEventHandling(true);
    serial_.SetDispatcher(&dispatcher_);
    ASSERT_TRUE(serial_.OpenIt());
    Port1().PushEvents(EV_RXCHAR);
    ASSERT_EQ(dispatcher_.WaitAndProcess(2000), 1);
    EXPECT_FALSE(serial_.GetActive());
    EXPECT_FALSE(Port1().isOpen);
}

TEST_F(SerialEvents, WithoutADispatcherHandlersRunInTheEventThread) {
    std::atomic<bool> inOtherThread{false};
    const auto testThread = std::this_thread::get_id();
    serial_.SetOnRxChar([&](TSerial&) { inOtherThread = std::this_thread::get_id() != testThread; });
    serial_.SetSyncEventHandling(true);
    ASSERT_TRUE(serial_.OpenIt());
    Deliver(EV_RXCHAR);
    EXPECT_TRUE(inOtherThread);
}

}  // namespace
