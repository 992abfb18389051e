#pragma once
// How a port's observations become events, free of any device so that every rule
// can be checked: line counters (or, where a device has none, line states) compared
// between two looks, and received bytes scanned for the event character.

#include <cstddef>
#include <cstdint>

// Transition and error counters of a serial line, as the kernel keeps them.
struct TLineCounters {
    uint32_t Cts = 0, Dsr = 0, Ring = 0, Dcd = 0;
    uint32_t Frame = 0, Overrun = 0, Parity = 0, Break = 0, BufferOverrun = 0;
};

// EV_CTS, EV_DSR, EV_RING, EV_RLSD, EV_ERR, EV_BREAK of mask from counters that grew.
uint32_t EventsFromCounters(const TLineCounters& before, const TLineCounters& after, uint32_t mask);
// EV_CTS, EV_DSR, EV_RLSD of mask for lines (MS_*_ON bits) that changed; EV_RING
// when the ring indicator came on.
uint32_t EventsFromModemLines(uint32_t before, uint32_t after, uint32_t mask);
// EV_RXCHAR of mask when bytes arrived, EV_RXFLAG when the event character is among them.
uint32_t EventsFromReceived(const uint8_t* bytes, size_t count, uint8_t eventChar, uint32_t mask);
