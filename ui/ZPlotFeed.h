#pragma once
// The plot window's door to the capture: a block observer that copies the time and
// the field values of each data block into a bounded queue and returns at once, so the
// data thread never waits for the window. The window thread takes what is queued in
// one batch per repaint. When the queue is full a block's values are dropped and
// counted, the capture and its logging go on untouched. A replay is patient: no device
// loses bytes while its data thread waits, so a full queue makes it wait for the window
// thread's next take, within a patience, rather than leave holes in the plot.

#include <atomic>
#include <chrono>
#include <condition_variable>
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

    // How long a patient feed waits for the window thread, in all, until its next take:
    // a window thread that no longer takes (one that waits for the replay to end) holds
    // the replay up no longer than this.
    static constexpr std::chrono::milliseconds DefaultPatience{1000};

    explicit ZPlotFeed(size_t queuedBlocks = DefaultQueuedBlocks,
                       std::chrono::milliseconds patience = DefaultPatience)
        : maxQueued_(queuedBlocks), patience_(patience) {}

    // Data thread: a data block with values is queued, any other block ignored. A block
    // with another number of fields than those queued (new settings) drops the queue.
    // A full queue drops the block, or, while patient, first waits for a take as long as
    // the patience left allows.
    void OnBlock(const sBlock& block) override;
    // Window thread: everything queued goes into batch (its earlier contents cleared)
    // and the queue starts empty; a patient feed has its whole patience again.
    void Take(sPlotBatch& batch);
    // Any thread: whether a full queue waits (a replay runs) or drops (a capture runs,
    // or nothing). Leaving patience wakes a waiting data thread.
    void SetPatient(bool patient);
    // Blocks refused by the full queue so far; any thread.
    uint64_t Dropped() const { return dropped_.load(std::memory_order_relaxed); }

private:
    const size_t maxQueued_;
    const std::chrono::milliseconds patience_;
    std::mutex lock_;  // guards queued_, patient_ and patienceLeft_
    std::condition_variable taken_;
    sPlotBatch queued_;
    bool patient_ = false;
    std::chrono::steady_clock::duration patienceLeft_{0};
    std::atomic<uint64_t> dropped_{0};
};
