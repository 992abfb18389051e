#include "ZPlotFeed.h"

#include <utility>

#include "ZFieldValues.h"
#include "ZULDateTime.h"

void ZPlotFeed::OnBlock(const sBlock& block) {
    if (block.Kind != bkData || block.Values == nullptr) return;
    const ZFieldValues& values = *block.Values;
    const int64_t timeUs = ZULToUnixMicros(block.Time);
    const std::lock_guard<std::mutex> hold(lock_);
    if (values.Count() != queued_.FieldCount) {
        queued_.Clear();
        queued_.FieldCount = values.Count();
    }
    if (queued_.Blocks() >= maxQueued_) {
        dropped_.fetch_add(1, std::memory_order_relaxed);
        return;
    }
    queued_.TimesUs.push_back(timeUs);
    for (int field = 0; field < values.Count(); ++field) queued_.Values.push_back(values.Get(field));
}

void ZPlotFeed::Take(sPlotBatch& batch) {
    batch.Clear();
    const std::lock_guard<std::mutex> hold(lock_);
    // The emptied batch's storage is reused for the next blocks: no allocation per repaint.
    std::swap(batch, queued_);
    queued_.FieldCount = batch.FieldCount;
}
