#pragma once
// The counter kinds of status message (0 to 4 and 6) carry running totals, so only
// the newest of each is worth showing. While a message of such a kind is on its way
// through the status queue, newer totals of that kind ride on it instead of taking
// a place of their own: the queue then holds at most one message per counter, and
// its 100 places stay free for the data trigger matches, of which each one counts.
//
// PostStatus runs on the engine's data thread, the arrival on the window thread.

#include <array>
#include <cstdint>
#include <mutex>

class ZPendingTotals {
public:
    static bool IsCounterKind(uint8_t kind) { return kind <= 4 || kind == 6 || kind == 8; }

    // Data thread, for a counter kind. True: a message of this kind is on its way and
    // will show these totals, so nothing is to be posted. False: none is; the caller
    // posts one and tells Refused when the queue does not take it.
    bool Ride(uint8_t kind, double count, double total);
    // The message that Ride sent on its way was refused: none of its kind is on its way.
    void Refused(uint8_t kind);
    // Window thread, when a message of a counter kind arrives: replaces the totals it
    // carries by the newest that rode on it; afterwards none of its kind is on its way.
    void Arrived(uint8_t kind, double& count, double& total);

private:
    struct Slot {
        bool onItsWay = false;
        double count = 0;
        double total = 0;
    };
    std::mutex lock_;  // guards slots_
    std::array<Slot, 9> slots_;
};
