#include "ZViewHistory.h"

#include <algorithm>
#include <cstring>

namespace {

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

ZViewHistory::ZViewHistory(int capacity) {
    SetCapacity(capacity);
}

int ZViewHistory::SetCapacity(int capacity) {
    capacity = std::max(capacity, 1);
    const size_t ringSize = static_cast<size_t>(capacity) * BytesPerEntry + MaxKeptBytes + MaxValuesBytes;
    if (capacity == capacity_ && ringSize == ringSize_) return 0;
    // The kept entries move into a ring of the new size, oldest first.
    std::deque<Record> old;
    old.swap(records_);
    std::unique_ptr<uint8_t[]> oldRing = std::move(ring_);
    const size_t oldSize = ringSize_;
    capacity_ = capacity;
    ringSize_ = ringSize;
    // Not value-initialised: pages of the ring stay untouched until entries fill them.
    ring_ = std::make_unique_for_overwrite<uint8_t[]>(ringSize_);
    ringBegin_ = ringEnd_ = 0;
    const size_t first = old.size() > static_cast<size_t>(capacity) ? old.size() - capacity : 0;
    int dropped = static_cast<int>(first);
    for (size_t i = first; i < old.size(); ++i) {
        const Record& r = old[i];
        const auto* bytes = oldRing.get() + r.Offset % oldSize;
        dropped += Add(bytes, r.Kept, r.Time, r.Kind, r.Verdict,
                       std::string_view(reinterpret_cast<const char*>(bytes) + r.Kept,
                                        static_cast<size_t>(r.ValuesLength)));
        records_.back().Size = r.Size;
    }
    return dropped;
}

void ZViewHistory::DropOldest() {
    records_.pop_front();
    ringBegin_ = records_.empty() ? ringEnd_ : records_.front().Offset;
}

int ZViewHistory::Add(const uint8_t* bytes, int size, TDateTime time, uint8_t kind, uint8_t verdict,
                      std::string_view values, int8_t line) {
    const int kept = std::clamp(size, 0, MaxKeptBytes);
    if (values.size() > static_cast<size_t>(MaxValuesBytes)) {
        // A cut inside a character would leave half of it: the cut moves back to its start.
        size_t cut = MaxValuesBytes;
        while (cut > 0 && (static_cast<uint8_t>(values[cut]) & 0xC0) == 0x80) --cut;
        values = values.substr(0, cut);
    }
    const int stored = kept + static_cast<int>(values.size());
    uint64_t start = ringEnd_;
    // An entry's bytes never wrap: what is left before the ring's end is skipped.
    if (start % ringSize_ + static_cast<uint64_t>(stored) > ringSize_) start += ringSize_ - start % ringSize_;
    int dropped = 0;
    while (!records_.empty() &&
           (records_.size() >= static_cast<size_t>(capacity_) || start + stored - ringBegin_ > ringSize_)) {
        DropOldest();
        ++dropped;
    }
    if (records_.empty()) {
        // Nothing left to keep: the ring starts over at its beginning.
        start = ringBegin_ = ringEnd_ = 0;
    }
    uint8_t* place = ring_.get() + start % ringSize_;
    if (kept > 0) std::memcpy(place, bytes, static_cast<size_t>(kept));
    if (!values.empty()) std::memcpy(place + kept, values.data(), values.size());
    records_.push_back(
        Record{time, start, std::max(size, 0), kept, static_cast<int32_t>(values.size()), kind, verdict, line});
    ringEnd_ = start + static_cast<uint64_t>(stored);
    return dropped;
}

ZViewHistory::Entry ZViewHistory::At(int index) const {
    const Record& r = records_[static_cast<size_t>(index)];
    const uint8_t* bytes = ring_.get() + r.Offset % ringSize_;
    return Entry{
        bytes,
        r.Kept,
        r.Size,
        r.Time,
        r.Kind,
        r.Verdict,
        std::string_view(reinterpret_cast<const char*>(bytes) + r.Kept, static_cast<size_t>(r.ValuesLength)),
        r.Line};
}

size_t ZViewHistory::ReservedBytes() const {
    return ringSize_ + records_.size() * sizeof(Record);
}

bool ZViewHistory::ParseHexPattern(const std::string& text, TTriggerSequence& pattern) {
    pattern.clear();
    size_t i = 0;
    while (i < text.size()) {
        if (text[i] == ' ') {
            ++i;
            continue;
        }
        if (i + 1 >= text.size()) return false;
        const char a = text[i], b = text[i + 1];
        if (a == '?' && b == '?') {
            pattern.push_back(AnyByte);
        } else {
            const int high = HexValue(a), low = HexValue(b);
            if (high < 0 || low < 0) return false;
            pattern.push_back(high * 16 + low);
        }
        i += 2;
    }
    return !pattern.empty();
}

int ZViewHistory::Find(const TTriggerSequence& pattern, int from, bool towardsNewest) const {
    if (pattern.empty()) return -1;
    return FindIf(from, towardsNewest, [&pattern](const Entry& entry) {
        return FindTrigger(entry.Bytes, entry.Kept, pattern.data(), static_cast<int>(pattern.size())) >= 0;
    });
}

int ZViewHistory::FindIf(int from, bool towardsNewest,
                         const std::function<bool(const Entry&)>& matches) const {
    const int count = Count();
    const int step = towardsNewest ? 1 : -1;
    for (int i = towardsNewest ? std::max(from, 0) : std::min(from, count - 1); i >= 0 && i < count;
         i += step)
        if (matches(At(i))) return i;
    return -1;
}
