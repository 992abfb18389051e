#pragma once
// What the plot window shows, without the window: one bounded store of points per
// field, fed batch by batch, and the span of time in view. Live, the span is the last
// Seconds up to the newest frame; paused, it stays where it was (or where zooming and
// panning put it) while points go on arriving, until BackToLive. Window thread only.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "ZPlotFeed.h"
#include "ZPlotSeries.h"

class ZPlotModel {
public:
    static constexpr int64_t MicrosPerSecond = 1'000'000;
    // The narrowest span zooming may reach.
    static constexpr int64_t MinSpanUs = 1'000;

    ZPlotModel(size_t pointsPerField, int32_t seconds);

    // Drops every point and keeps fieldCount empty series.
    void Reset(int fieldCount);
    int FieldCount() const { return static_cast<int>(series_.size()); }
    const ZPlotSeries& Series(int field) const { return series_[static_cast<size_t>(field)]; }
    // Points each field keeps; fewer drop their oldest at once.
    void SetPointsPerField(size_t points);
    // A batch of another number of fields than the model's resets it first.
    void Add(const sPlotBatch& batch);
    // The time of the newest frame added; 0 before any.
    int64_t NewestUs() const { return newestUs_; }

    void SetSeconds(int32_t seconds);
    int32_t Seconds() const { return seconds_; }
    bool Paused() const { return paused_; }
    // Freezes the span in view; the points keep arriving.
    void Pause();
    void BackToLive();
    // The span in view, from..to in microseconds.
    int64_t FromUs() const;
    int64_t ToUs() const;
    // Pause first, then: factor < 1 narrows the span (to at least MinSpanUs) around the
    // point at anchor (0 the left edge, 1 the right), factor > 1 widens it.
    void Zoom(double factor, double anchor);
    // Pause first, then move the span by fraction of its width (negative: back in time).
    void Pan(double fraction);
    // Pause first, then show from..to (a dragged box); ignored when it is narrower than MinSpanUs.
    void ShowSpan(int64_t fromUs, int64_t toUs);

private:
    size_t pointsPerField_;
    int32_t seconds_;
    std::vector<ZPlotSeries> series_;
    int64_t newestUs_ = 0;
    bool paused_ = false;
    int64_t pausedFromUs_ = 0;
    int64_t pausedToUs_ = 0;
};
