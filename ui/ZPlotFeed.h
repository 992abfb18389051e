#pragma once
// The plot window's door to the capture: a block observer that copies the time and
// the field values of each data block into a bounded queue and returns at once, so the
// data thread never waits for the window. The window thread takes what is queued in
// one batch per repaint. When the queue is full a block's values are dropped and
// counted, the capture and its logging go on untouched.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

#include "ZFrameExport.h"

// Values of the blocks taken from the queue: per block its time (microseconds since the
// Unix epoch) and FieldCount values (NaN where the block had none), block after block.
struct sPlotBatch {
    int FieldCount = 0;
    std::vector<int64_t> TimesUs;
    std::vector<double> Values;

    size_t Blocks() const { return TimesUs.size(); }
    double Value(size_t block, int field) const {
        return Values[block * static_cast<size_t>(FieldCount) + static_cast<size_t>(field)];
    }
    void Clear() {
        TimesUs.clear();
        Values.clear();
    }
};

class ZPlotFeed : public IZBlockObserver {
public:
    // Blocks the queue holds before it refuses: over a second at 20,000 frames a second,
    // so a window thread held up by a slow repaint loses nothing.
    static constexpr size_t DefaultQueuedBlocks = 32768;

    explicit ZPlotFeed(size_t queuedBlocks = DefaultQueuedBlocks) : maxQueued_(queuedBlocks) {}

    // Data thread: a data block with values is queued, any other block ignored. A block
    // with another number of fields than those queued (new settings) drops the queue.
    void OnBlock(const sBlock& block) override;
    // Window thread: everything queued goes into batch (its earlier contents cleared)
    // and the queue starts empty.
    void Take(sPlotBatch& batch);
    // Blocks refused by the full queue so far; any thread.
    uint64_t Dropped() const { return dropped_.load(std::memory_order_relaxed); }

private:
    const size_t maxQueued_;
    std::mutex lock_;  // guards queued_
    sPlotBatch queued_;
    std::atomic<uint64_t> dropped_{0};
};
