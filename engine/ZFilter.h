#pragma once
// Cuts the received byte stream into blocks by the capture mode of the settings:
// start trigger, data, stop trigger, trash, and the flush block at a stop.
// Each recognised block goes at once to one callback, with the time it was
// recognised; the bytes point into the filter's buffer and are valid only during
// the call. The filter has no lock: FeedData, Reset and Flush must never overlap.

#include <cstdint>
#include <functional>

#include "ZLoggerSettings.h"
#include "ZULDateTime.h"

enum BlockKind : uint8_t {
    bkStartTrigger = 0,
    bkData = 1,
    bkStopTrigger = 2,
    bkTrash = 3,
    bkFlush = 4,
};

using FilterEvent = std::function<void(const TDateTime& time, const uint8_t* bytes, int length, uint8_t kind)>;

class ZFilter {
public:
    static constexpr int FilterBufferSize = 16384;

    enum State : uint8_t { SearchStart = 0, CollectData = 1, SearchStop = 2, PassAll = 3 };

    // settings is not owned and must outlive the filter (or be replaced by SetSettings).
    ZFilter(const ZLoggerSettings* settings, FilterEvent callback);

    void SetSettings(const ZLoggerSettings* settings) { settings_ = settings; }
    // Empties the buffer; PassAll in cmAllBytes, SearchStart otherwise.
    void Reset();
    // Appends the chunk and hands out every block it completes. A chunk that would
    // overfill the buffer resets the filter, is dropped, and gives false.
    bool FeedData(const uint8_t* bytes, int count);
    // Hands out the buffered bytes, if any, as one bkFlush block; the state stays.
    void Flush();

    State GetState() const { return state_; }
    int GetFill() const { return fill_; }

private:
    // (private members: to be completed with the implementation)
    const ZLoggerSettings* settings_;
    FilterEvent callback_;
    State state_ = SearchStart;
    int fill_ = 0;
    uint32_t ExpectedLength = 0;
    uint8_t buffer_[FilterBufferSize];
};
