#include "SerialEventRules.h"

#include <gtest/gtest.h>

#include "SerialTypes.h"

namespace {

constexpr uint32_t AllEvents = 0x1FF;

TEST(SerialEventRules, GrowingCountersBecomeTheirEvents) {
    const struct {
        uint32_t TLineCounters::*counter;
        uint32_t event;
    } cases[] = {{&TLineCounters::Cts, EV_CTS},          {&TLineCounters::Dsr, EV_DSR},
                 {&TLineCounters::Ring, EV_RING},        {&TLineCounters::Dcd, EV_RLSD},
                 {&TLineCounters::Break, EV_BREAK},      {&TLineCounters::Frame, EV_ERR},
                 {&TLineCounters::Overrun, EV_ERR},      {&TLineCounters::Parity, EV_ERR},
                 {&TLineCounters::BufferOverrun, EV_ERR}};
    TLineCounters before;
    before.Cts = 5;
    EXPECT_EQ(EventsFromCounters(before, before, AllEvents), 0u);
    for (const auto& c : cases) {
        TLineCounters after = before;
        ++(after.*c.counter);
        EXPECT_EQ(EventsFromCounters(before, after, AllEvents), c.event) << c.event;
        EXPECT_EQ(EventsFromCounters(before, after, AllEvents & ~c.event), 0u) << c.event;
    }
    TLineCounters several = before;
    ++several.Dsr;
    ++several.Parity;
    EXPECT_EQ(EventsFromCounters(before, several, AllEvents), EV_DSR | EV_ERR);
}

TEST(SerialEventRules, ChangedModemLinesBecomeTheirEvents) {
    const uint32_t cases[][3] = {
        {0, 0, 0},
        {0, MS_CTS_ON, EV_CTS},
        {MS_CTS_ON, 0, EV_CTS},
        {MS_DSR_ON, MS_DSR_ON, 0},
        {0, MS_DSR_ON | MS_RLSD_ON, EV_DSR | EV_RLSD},
        {0, MS_RING_ON, EV_RING},
        {MS_RING_ON, 0, 0},  // a ring that ends is no new ring
    };
    for (const auto& [before, after, events] : cases)
        EXPECT_EQ(EventsFromModemLines(before, after, AllEvents), events) << before << "->" << after;
    EXPECT_EQ(EventsFromModemLines(0, MS_CTS_ON | MS_DSR_ON, EV_DSR), EV_DSR);
}

TEST(SerialEventRules, ReceivedBytesAndTheEventCharacter) {
    const uint8_t bytes[] = {'a', '\r', 'b'};
    EXPECT_EQ(EventsFromReceived(bytes, 0, '\r', AllEvents), 0u);
    EXPECT_EQ(EventsFromReceived(bytes, 1, '\r', AllEvents), EV_RXCHAR);
    EXPECT_EQ(EventsFromReceived(bytes, 3, '\r', AllEvents), EV_RXCHAR | EV_RXFLAG);
    EXPECT_EQ(EventsFromReceived(bytes, 3, '\r', EV_RXFLAG), EV_RXFLAG);
    EXPECT_EQ(EventsFromReceived(bytes, 3, 'b', EV_TXEMPTY), 0u);
}

}  // namespace
