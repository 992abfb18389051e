#include "ZPlotModel.h"

#include <algorithm>
#include <cmath>

ZPlotModel::ZPlotModel(size_t pointsPerField, int32_t seconds)
    : pointsPerField_(pointsPerField), seconds_(seconds) {}

void ZPlotModel::Reset(int fieldCount) {
    series_.assign(static_cast<size_t>(std::max(fieldCount, 0)), ZPlotSeries(pointsPerField_));
    newestUs_ = 0;
}

void ZPlotModel::SetPointsPerField(size_t points) {
    pointsPerField_ = points;
    for (ZPlotSeries& series : series_) series.SetCapacity(points);
}

void ZPlotModel::Add(const sPlotBatch& batch) {
    if (batch.Blocks() == 0) return;
    if (batch.FieldCount != FieldCount()) Reset(batch.FieldCount);
    for (size_t block = 0; block < batch.Blocks(); ++block) {
        const int64_t timeUs = batch.TimesUs[block];
        for (int field = 0; field < batch.FieldCount; ++field)
            series_[static_cast<size_t>(field)].Append(timeUs, batch.Value(block, field));
        newestUs_ = std::max(newestUs_, timeUs);
    }
}

void ZPlotModel::SetSeconds(int32_t seconds) { seconds_ = seconds; }

void ZPlotModel::Pause() {
    if (paused_) return;
    pausedFromUs_ = FromUs();
    pausedToUs_ = ToUs();
    paused_ = true;
}

void ZPlotModel::BackToLive() { paused_ = false; }

int64_t ZPlotModel::FromUs() const {
    return paused_ ? pausedFromUs_ : newestUs_ - int64_t{seconds_} * MicrosPerSecond;
}

int64_t ZPlotModel::ToUs() const { return paused_ ? pausedToUs_ : newestUs_; }

void ZPlotModel::Zoom(double factor, double anchor) {
    Pause();
    const double width = static_cast<double>(pausedToUs_ - pausedFromUs_);
    const double at = static_cast<double>(pausedFromUs_) + width * std::clamp(anchor, 0.0, 1.0);
    const double newWidth = std::max(width * factor, static_cast<double>(MinSpanUs));
    const double left = at - (at - static_cast<double>(pausedFromUs_)) * newWidth / width;
    pausedFromUs_ = static_cast<int64_t>(std::llround(left));
    pausedToUs_ = pausedFromUs_ + static_cast<int64_t>(std::llround(newWidth));
}

void ZPlotModel::Pan(double fraction) {
    Pause();
    const auto shift = static_cast<int64_t>(std::llround(static_cast<double>(pausedToUs_ - pausedFromUs_) * fraction));
    pausedFromUs_ += shift;
    pausedToUs_ += shift;
}

void ZPlotModel::ShowSpan(int64_t fromUs, int64_t toUs) {
    if (toUs - fromUs < MinSpanUs) return;
    Pause();
    pausedFromUs_ = fromUs;
    pausedToUs_ = toUs;
}
