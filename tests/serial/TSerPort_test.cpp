#include "TSerPort.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "Eventually.h"
#include "FakeSerialPlatform.h"

namespace {

class SerPort : public ::testing::Test {
protected:
    SerPort() : table_([](int n) { return n == 1; }), port_(nullptr, platform_, table_) { platform_.Port(1); }

    FakeDevice& Port1() { return platform_.Port(1); }

    std::vector<uint32_t> Escapes() {
        std::lock_guard guard(Port1().lock);
        return Port1().escapes;
    }
    void AssignAll() {
        for (auto [setter, name] :
             {std::pair{&TSerPort::SetOnCts, "Cts"}, std::pair{&TSerPort::SetOnDsr, "Dsr"},
              std::pair{&TSerPort::SetOnRing, "Ring"}, std::pair{&TSerPort::SetOnDcd, "Dcd"}})
            (port_.*setter)([this, name = std::string(name)](TSerPort&) {
                std::lock_guard guard(logLock_);
                log_.push_back(name);
            });
    }
    std::vector<std::string> Logged() {
        std::lock_guard guard(logLock_);
        return log_;
    }
    // Changes the modem lines, reports events, and waits until the thread saw them.
    void LinesChange(uint32_t status, uint32_t events) {
        Port1().SetModemStatus(status);
        Port1().PushEvents(events);
        ASSERT_TRUE(Port1().WaitForIdleWaiter());
    }

    FakeSerialPlatform platform_;
    TPortTable table_;
    std::mutex logLock_;  // guards log_
    std::vector<std::string> log_;
    TSerPort port_;  // last: its handlers use the members above
};

TEST_F(SerPort, OutputsHaveInvertedSenseAndDtrComesFirst) {
    port_.SetOutDtr(true);
    EXPECT_TRUE(Escapes().empty());  // closed: only stored
    ASSERT_TRUE(port_.OpenIt());
    EXPECT_EQ(Escapes(), (std::vector<uint32_t>{CLRDTR, SETRTS}));
    port_.SetOutDtr(false);
    port_.SetOutRts(true);
    EXPECT_EQ(Escapes(), (std::vector<uint32_t>{CLRDTR, SETRTS, SETDTR, CLRRTS}));
    const TSerialDcb& dcb = Port1().states.at(0);
    EXPECT_EQ(std::tie(dcb.BaudRate, dcb.ByteSize, dcb.Parity, dcb.StopBits), std::make_tuple(9600, 8, 0, 0));
    EXPECT_EQ(port_.GetThreadPriority(), tpIdle);
}

// Opening must not switch both outputs on before the configured state: that
// lengthens the pulse that resets many boards.
TEST_F(SerPort, OpenAppliesTheConfiguredOutputsFromTheStart) {
    for (const auto& [outDtr, outRts] :
         {std::pair{true, true}, {true, false}, {false, true}, {false, false}}) {
        port_.SetOutDtr(outDtr);
        port_.SetOutRts(outRts);
        ASSERT_TRUE(port_.OpenIt());
        port_.CloseIt();
        std::lock_guard guard(Port1().lock);
        const TSerialDcb& dcb = Port1().states.back();
        EXPECT_EQ(dcb.DtrControl(), outDtr ? TSerialDcb::CONTROL_DISABLE : TSerialDcb::CONTROL_ENABLE);
        EXPECT_EQ(dcb.RtsControl(), outRts ? TSerialDcb::CONTROL_DISABLE : TSerialDcb::CONTROL_ENABLE);
    }
}

TEST_F(SerPort, LineGettersMayRaceOpenAndClose) {
    port_.SetPollingMode(true);
    Port1().SetModemStatus(MS_CTS_ON);
    std::atomic<bool> done{false};
    std::thread reader([&] {
        while (!done) {
            port_.GetInCTS();
            port_.GetInDSR();
            port_.GetInDCD();
            port_.GetInRI();
            port_.GetActive();
        }
    });
    for (int round = 0; round < 300; ++round) {
        EXPECT_TRUE(port_.OpenIt());
        EXPECT_FALSE(port_.GetInCTS());
        port_.CloseIt();
    }
    done = true;
    reader.join();
}

TEST_F(SerPort, PollingModeReadsFreshWithInvertedSense) {
    port_.SetPollingMode(true);
    ASSERT_TRUE(port_.OpenIt());
    EXPECT_TRUE(Port1().masks.empty());  // no thread, no events
    EXPECT_TRUE(port_.GetInCTS());
    Port1().SetModemStatus(MS_CTS_ON | MS_DSR_ON | MS_RING_ON);
    EXPECT_FALSE(port_.GetInCTS());
    EXPECT_FALSE(port_.GetInDSR());
    EXPECT_FALSE(port_.GetInRI());
    EXPECT_TRUE(port_.GetInDCD());
    Port1().Change([&] { Port1().hasModemLines = false; });
    Port1().SetModemStatus(0);
    EXPECT_FALSE(port_.GetInCTS());  // a failed read keeps the last values
}

TEST_F(SerPort, EventModeTakesInitialStatesWithoutAHandler) {
    Port1().modemStatus = MS_CTS_ON;
    AssignAll();
    ASSERT_TRUE(port_.OpenIt());
    EXPECT_EQ(Port1().masks.at(0), EV_CTS | EV_DSR | EV_RLSD | EV_RING);
    ASSERT_TRUE(Port1().WaitForIdleWaiter());
    EXPECT_FALSE(port_.GetInCTS());
    EXPECT_TRUE(port_.GetInDSR());
    EXPECT_TRUE(Logged().empty());
}

TEST_F(SerPort, LineEventRefreshesAllInputsAndCallsInOrder) {
    AssignAll();
    ASSERT_TRUE(port_.OpenIt());
    ASSERT_TRUE(Port1().WaitForIdleWaiter());
    Port1().SetModemStatus(MS_CTS_ON);
    EXPECT_TRUE(port_.GetInCTS());  // not read between events
    LinesChange(MS_CTS_ON | MS_DSR_ON | MS_RING_ON | MS_RLSD_ON, EV_RLSD | EV_RING | EV_DSR | EV_CTS);
    EXPECT_FALSE(port_.GetInCTS() || port_.GetInDSR() || port_.GetInRI() || port_.GetInDCD());
    EXPECT_EQ(Logged(), (std::vector<std::string>{"Cts", "Dsr", "Ring", "Dcd"}));
}

TEST_F(SerPort, CloseKeepsTheLastStatesAndStopsTheThread) {
    AssignAll();
    ASSERT_TRUE(port_.OpenIt());
    LinesChange(MS_CTS_ON, EV_CTS);
    port_.CloseIt();
    EXPECT_FALSE(Port1().isOpen);
    EXPECT_EQ(Port1().masks.back(), 0u);
    Port1().SetModemStatus(0);
    EXPECT_FALSE(port_.GetInCTS());
    EXPECT_EQ(Logged(), std::vector<std::string>{"Cts"});
}

TEST_F(SerPort, HandlerMayCloseItsOwnPort) {
    std::atomic<bool> closed{false};
    port_.SetOnRing([&](TSerPort& p) {
        p.CloseIt();
        closed = true;
    });
    ASSERT_TRUE(port_.OpenIt());
    ASSERT_TRUE(Port1().WaitForIdleWaiter());
    Port1().PushEvents(EV_RING);
    ASSERT_TRUE(Eventually([&] { return closed.load(); }));
    EXPECT_FALSE(port_.GetActive());
    EXPECT_TRUE(port_.OpenIt());
}

TEST_F(SerPort, SecondOpenIsRefusedAndNoPortDoesNotOpen) {
    ASSERT_TRUE(port_.OpenIt());
    EXPECT_FALSE(port_.OpenComm());
    EXPECT_EQ(Port1().opens, 1);
    port_.SetActive(false);
    port_.SetCOMPort(0);
    port_.SetActive(true);
    EXPECT_FALSE(port_.GetActive());
    EXPECT_NE(port_.GetLastOpenError(), 0);
}

TEST_F(SerPort, PollingModeChangeTakesEffectAtTheNextOpen) {
    ASSERT_TRUE(port_.OpenIt());
    port_.SetPollingMode(true);
    ASSERT_TRUE(Port1().WaitForIdleWaiter());
    Port1().SetModemStatus(MS_CTS_ON);
    EXPECT_TRUE(port_.GetInCTS());  // still event mode
    port_.CloseIt();
    ASSERT_TRUE(port_.OpenIt());
    EXPECT_FALSE(port_.GetInCTS());
}

}  // namespace
