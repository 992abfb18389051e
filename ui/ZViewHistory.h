#pragma once
// The capture window's history: the newest entries of the live view, at most
// Capacity() of them, in memory bounded by the capacity. Each entry keeps its time,
// kind, checksum verdict and byte count, its first MaxKeptBytes bytes and the text
// of its field values (at most MaxValuesBytes of it); the bytes and texts of all
// entries share one ring of BytesPerEntry bytes per entry (plus room for one entry
// of both maxima), so a run of long blocks keeps fewer entries, not more memory. About 3.2 MB of records
// and 6.4 MB of bytes per 100,000 entries; the bytes are reserved at once but touched only as they fill.
//
// Plain C++ (no Qt), one thread: the capture window's.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "TriggerSequence.h"
#include "ZULDateTime.h"

class ZViewHistory {
public:
    static constexpr int BytesPerEntry = 64;
    static constexpr int MaxKeptBytes = 65536;
    static constexpr int MaxValuesBytes = 8192;

    struct Entry {
        const uint8_t* Bytes = nullptr;  // Kept bytes, valid until the next Add or SetCapacity
        int32_t Kept = 0;
        int32_t Size = 0;  // the block's byte count, Kept or more
        TDateTime Time = 0.0;
        uint8_t Kind = 0;
        uint8_t Verdict = 0;
        std::string_view Values;  // UTF-8, valid as Bytes; empty when the block had none
        int8_t Line = -1;         // the line of a capture of two lines (0 or 1); -1 with one
    };

    explicit ZViewHistory(int capacity);

    int Capacity() const { return capacity_; }
    // Keeps the newest entries that fit the new capacity; returns how many older ones went.
    int SetCapacity(int capacity);
    int Count() const { return static_cast<int>(records_.size()); }
    // Appends an entry (size bytes at bytes, and the text of its values, cut at a
    // character's start to MaxValuesBytes, and its line: -1 with one); returns how many
    // of the oldest entries it pushed out to stay within the capacity and the byte ring.
    int Add(const uint8_t* bytes, int size, TDateTime time, uint8_t kind, uint8_t verdict,
            std::string_view values = {}, int8_t line = -1);
    // index 0 is the oldest entry, Count() - 1 the newest.
    Entry At(int index) const;
    // Bytes the history holds on to: its records and its byte ring.
    size_t ReservedBytes() const;

    // "41 ?? 0d", "41??0D": pairs of hexadecimal digits or "??" (any byte), blanks
    // anywhere between pairs. False for an empty text, an odd digit or anything else.
    static bool ParseHexPattern(const std::string& text, TTriggerSequence& pattern);
    // The entry nearest to from in the given direction (from itself included) whose
    // kept bytes hold the pattern; -1 when none. from may be -1 or Count().
    int Find(const TTriggerSequence& pattern, int from, bool towardsNewest) const;
    // The same for the first entry that matches says yes to.
    int FindIf(int from, bool towardsNewest, const std::function<bool(const Entry&)>& matches) const;

private:
    struct Record {
        TDateTime Time;
        uint64_t Offset;  // where its bytes start, counted from the ring's first use
        int32_t Size;
        int32_t Kept;
        int32_t ValuesLength;  // the text follows the kept bytes in the ring
        uint8_t Kind;
        uint8_t Verdict;
        int8_t Line;
    };
    void DropOldest();

    int capacity_ = 0;
    size_t ringSize_ = 0;
    std::unique_ptr<uint8_t[]> ring_;
    uint64_t ringBegin_ = 0;  // the oldest record's bytes start here
    uint64_t ringEnd_ = 0;    // the next entry's bytes go here, or at the ring's next turn
    std::deque<Record> records_;
};
