#include "SerialEventRules.h"

#include <gtest/gtest.h>

#include "SerialTypes.h"

namespace {

constexpr uint32_t AllEvents = 0x1FF;

struct CounterCase {
    const char* name;
    void (*change)(TLineCounters&);
    uint32_t events;
};

class CounterEvents : public ::testing::TestWithParam<CounterCase> {};

TEST_P(CounterEvents, GrowthBecomesTheEvent) {
    TLineCounters before;
    before.Cts = 5;
    before.Frame = 2;
    TLineCounters after = before;
    GetParam().change(after);
    EXPECT_EQ(EventsFromCounters(before, after, AllEvents), GetParam().events);
    EXPECT_EQ(EventsFromCounters(before, after, 0), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Counters, CounterEvents,
    ::testing::Values(CounterCase{"Nothing", [](TLineCounters&) {}, 0},
                      CounterCase{"Cts", [](TLineCounters& c) { ++c.Cts; }, EV_CTS},
                      CounterCase{"Dsr", [](TLineCounters& c) { ++c.Dsr; }, EV_DSR},
                      CounterCase{"Ring", [](TLineCounters& c) { ++c.Ring; }, EV_RING},
                      CounterCase{"Dcd", [](TLineCounters& c) { c.Dcd += 2; }, EV_RLSD},
                      CounterCase{"Break", [](TLineCounters& c) { ++c.Break; }, EV_BREAK},
                      CounterCase{"Frame", [](TLineCounters& c) { ++c.Frame; }, EV_ERR},
                      CounterCase{"Overrun", [](TLineCounters& c) { ++c.Overrun; }, EV_ERR},
                      CounterCase{"Parity", [](TLineCounters& c) { ++c.Parity; }, EV_ERR},
                      CounterCase{"BufferOverrun", [](TLineCounters& c) { ++c.BufferOverrun; }, EV_ERR},
                      CounterCase{"Several",
                                  [](TLineCounters& c) {
                                      ++c.Cts;
                                      ++c.Break;
                                      ++c.Parity;
                                  },
                                  EV_CTS | EV_BREAK | EV_ERR}),
    [](const ::testing::TestParamInfo<CounterCase>& p) { return p.param.name; });

TEST(CounterEventsMask, OnlyMaskedEventsAreReported) {
    TLineCounters before;
    TLineCounters after;
    after.Cts = 1;
    after.Dsr = 1;
    EXPECT_EQ(EventsFromCounters(before, after, EV_DSR | EV_RXCHAR), EV_DSR);
}

TEST(ModemLineEvents, ChangesOfTheLines) {
    const struct {
        uint32_t before, after, events;
    } cases[] = {
        {0, 0, 0},
        {0, MS_CTS_ON, EV_CTS},
        {MS_CTS_ON, 0, EV_CTS},
        {MS_DSR_ON, MS_DSR_ON, 0},
        {0, MS_DSR_ON | MS_RLSD_ON, EV_DSR | EV_RLSD},
        {0, MS_RING_ON, EV_RING},
        {MS_RING_ON, 0, 0},  // the ring ended: no new ring
    };
    for (const auto& c : cases)
        EXPECT_EQ(EventsFromModemLines(c.before, c.after, AllEvents), c.events)
            << c.before << "->" << c.after;
    EXPECT_EQ(EventsFromModemLines(0, MS_CTS_ON | MS_DSR_ON, EV_DSR), EV_DSR);
}

TEST(ReceivedEvents, CharactersAndTheEventCharacter) {
    const uint8_t plain[] = {'a', 'b'};
    const uint8_t withCr[] = {'a', '\r', 'b'};
    EXPECT_EQ(EventsFromReceived(plain, 0, '\r', AllEvents), 0u);
    EXPECT_EQ(EventsFromReceived(plain, 2, '\r', AllEvents), EV_RXCHAR);
    EXPECT_EQ(EventsFromReceived(withCr, 3, '\r', AllEvents), EV_RXCHAR | EV_RXFLAG);
    EXPECT_EQ(EventsFromReceived(withCr, 1, '\r', AllEvents), EV_RXCHAR);  // the CR is not among them
    EXPECT_EQ(EventsFromReceived(withCr, 3, '\r', EV_RXFLAG), EV_RXFLAG);
    EXPECT_EQ(EventsFromReceived(withCr, 3, 'b', EV_TXEMPTY), 0u);
}

}  // namespace
