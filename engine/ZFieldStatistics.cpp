#include "ZFieldStatistics.h"

#include <algorithm>
#include <cmath>

#include "ZFieldValues.h"

void ZFieldStatistics::Reset(const ZFieldList& fields) {
    std::lock_guard guard(lock_);
    names_.clear();
    units_.clear();
    for (const ZFieldDefinition& field : fields.Items) {
        names_.push_back(field.Name);
        units_.push_back(field.Unit);
    }
    running_.assign(names_.size(), Running());
}

void ZFieldStatistics::OnBlock(const sBlock& block) {
    const ZFieldValues* values = block.Values;
    if (values == nullptr || values->PresentCount() == 0) return;
    std::lock_guard guard(lock_);
    const size_t count = std::min(running_.size(), static_cast<size_t>(values->Count()));
    for (size_t i = 0; i < count; ++i) {
        if (!values->Has(static_cast<int>(i))) continue;
        const double value = values->Get(static_cast<int>(i));
        Running& field = running_[i];
        if (field.count == 0 || value < field.min) field.min = value;
        if (field.count == 0 || value > field.max) field.max = value;
        field.count += 1;
        field.sum += value;
        field.mean += (value - field.mean) / static_cast<double>(field.count);
        field.last = value;
    }
}

std::vector<ZFieldSummary> ZFieldStatistics::Snapshot() const {
    std::lock_guard guard(lock_);
    std::vector<ZFieldSummary> summaries;
    for (size_t i = 0; i < running_.size(); ++i) {
        const Running& field = running_[i];
        ZFieldSummary summary;
        summary.Name = names_[i];
        summary.Unit = units_[i];
        summary.Count = field.count;
        if (field.count > 0) {
            summary.Min = field.min;
            summary.Max = field.max;
            const double mean = field.sum / static_cast<double>(field.count);
            summary.Mean = std::isfinite(mean) ? mean : field.mean;
            summary.Last = field.last;
        }
        summaries.push_back(std::move(summary));
    }
    return summaries;
}
