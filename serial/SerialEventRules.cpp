#include "SerialEventRules.h"

#include <algorithm>

#include "SerialTypes.h"

uint32_t EventsFromCounters(const TLineCounters& before, const TLineCounters& after, uint32_t mask) {
    uint32_t events = 0;
    if (after.Cts != before.Cts) events |= EV_CTS;
    if (after.Dsr != before.Dsr) events |= EV_DSR;
    if (after.Ring != before.Ring) events |= EV_RING;
    if (after.Dcd != before.Dcd) events |= EV_RLSD;
    if (after.Break != before.Break) events |= EV_BREAK;
    if (after.Frame != before.Frame || after.Overrun != before.Overrun || after.Parity != before.Parity ||
        after.BufferOverrun != before.BufferOverrun)
        events |= EV_ERR;
    return events & mask;
}

uint32_t EventsFromModemLines(uint32_t before, uint32_t after, uint32_t mask) {
    const uint32_t changed = before ^ after;
    uint32_t events = 0;
    if (changed & MS_CTS_ON) events |= EV_CTS;
    if (changed & MS_DSR_ON) events |= EV_DSR;
    if (changed & MS_RLSD_ON) events |= EV_RLSD;
    if (changed & after & MS_RING_ON) events |= EV_RING;
    return events & mask;
}

uint32_t EventsFromReceived(const uint8_t* bytes, size_t count, uint8_t eventChar, uint32_t mask) {
    if (count == 0) return 0;
    uint32_t events = EV_RXCHAR;
    if (std::find(bytes, bytes + count, eventChar) != bytes + count) events |= EV_RXFLAG;
    return events & mask;
}
