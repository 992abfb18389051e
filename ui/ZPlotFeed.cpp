#include "ZPlotFeed.h"

#include <algorithm>
#include <utility>

#include "ZFieldValues.h"
#include "ZULDateTime.h"

void ZPlotFeed::OnBlock(const sBlock& block) {
    if (block.Kind != bkData || block.Values == nullptr) return;
    const ZFieldValues& values = *block.Values;
    const int64_t timeUs = ZULToUnixMicros(block.Time);
    std::unique_lock<std::mutex> hold(lock_);
    if (values.Count() != queued_.FieldCount) {
        queued_.Clear();
        queued_.FieldCount = values.Count();
    }
    if (queued_.Blocks() >= maxQueued_ && patient_ && patienceLeft_.count() > 0) {
        const auto start = std::chrono::steady_clock::now();
        taken_.wait_for(hold, patienceLeft_, [this] { return queued_.Blocks() < maxQueued_ || !patient_; });
        patienceLeft_ -= std::min(patienceLeft_, std::chrono::steady_clock::now() - start);
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
    {
        const std::lock_guard<std::mutex> hold(lock_);
        // The emptied batch's storage is reused for the next blocks: no allocation per repaint.
        std::swap(batch, queued_);
        queued_.FieldCount = batch.FieldCount;
        patienceLeft_ = patience_;
    }
    taken_.notify_all();
}

void ZPlotFeed::SetPatient(bool patient) {
    {
        const std::lock_guard<std::mutex> hold(lock_);
        patient_ = patient;
        patienceLeft_ = patience_;
    }
    taken_.notify_all();
}
