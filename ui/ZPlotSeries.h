#pragma once
// One field's points for the plot window: (time in microseconds since the Unix epoch,
// value) in arrival order, at most a capacity of them, the oldest dropped first, so
// memory stays bounded however long a run lasts. A NaN value is a gap: the frame had
// no value for the field, and the line breaks there instead of falling to zero.
// Plain values, no locking: one thread (the window thread) at a time, Decimate included
// (it keeps what it reduced for the next call).

#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

// A point handed to the painter; a NaN value breaks the line.
struct sPlotPoint {
    int64_t TimeUs = 0;
    double Value = 0;
};

// What the points drawn up to some time depend on; equal stamps draw the same.
struct sPlotStamp {
    size_t Through = 0;  // points at or before the time, and the first one after it
    int64_t OldestUs = 0;
    bool operator==(const sPlotStamp&) const = default;
};

// What a field did within a span of time: its newest value and the extremes of the
// values present. Any is false when the span holds no value.
struct sPlotSummary {
    bool Any = false;
    double Last = 0;
    double Min = 0;
    double Max = 0;
};

class ZPlotSeries {
public:
    explicit ZPlotSeries(size_t capacity);

    // A smaller capacity drops the oldest points at once; at least 1.
    void SetCapacity(size_t capacity);
    size_t Capacity() const { return capacity_; }
    // Appends a point; a gap after a gap is not stored again. Times are expected not
    // to go back (a point older than the newest is stored at the newest's time).
    void Append(int64_t timeUs, double value);
    void Clear();
    size_t Count() const { return points_.size(); }
    const sPlotPoint& At(size_t index) const { return points_[index]; }

    // The points to draw for the span from..to on a strip of columns pixel columns:
    // with at most two points a column they are the points themselves, else per
    // column and per run between gaps its first, lowest, highest and last point, in
    // time order, so no peak is lost and never more than four points a column are
    // drawn. The point just before and just after the span are included so the line
    // reaches the edges. Gaps stay gaps. Columns are (to - from + 1) / columns
    // microseconds wide, rounded up, and counted from the Unix epoch, so that a span
    // moved by whole columns (live, or panned) reduces only the columns it had not
    // reduced before: the others are kept from the last call until points are dropped
    // from them.
    std::vector<sPlotPoint> Decimate(int64_t fromUs, int64_t toUs, int columns) const;
    // The same into out, emptied first: its capacity is kept, so repaint after repaint
    // allocates nothing once it has grown.
    void Decimate(int64_t fromUs, int64_t toUs, int columns, std::vector<sPlotPoint>& out) const;
    // Changes whenever what Decimate draws up to toUs may have changed: a point arrived
    // at or before toUs (or as the first one after it), or the oldest one was dropped.
    // Points arriving later than that leave it as it was.
    sPlotStamp Stamp(int64_t toUs) const;
    // The newest value and the extremes within from..to.
    sPlotSummary Summarise(int64_t fromUs, int64_t toUs) const;
    // The value drawn at a time: the last point at or before it (NaN in a gap or
    // before the first point).
    double ValueAt(int64_t timeUs) const;

private:
    // The reduced points of the columns FromColumn..ToColumn (exclusive) of WidthUs
    // microseconds: columns that no point to come can change (earlier than the newest
    // point's column) and that lost no point to the capacity. Gaps are NaN points in
    // it wherever a gap point was; Decimate's rules for gaps apply when it is drawn.
    struct sColumnCache {
        int64_t WidthUs = 0;
        int64_t FromColumn = 0;
        int64_t ToColumn = 0;
        std::vector<sPlotPoint> Points;
    };

    // The index of the first point at or after timeUs.
    size_t LowerBound(int64_t timeUs) const;
    // Appends the reduced points of the columns from..to (exclusive) of widthUs to out.
    void ReduceColumns(int64_t widthUs, int64_t fromColumn, int64_t toColumn,
                       std::vector<sPlotPoint>& out) const;
    // Makes the cache hold exactly the columns from..to of widthUs, reducing only those
    // it did not hold.
    void KeepColumns(int64_t widthUs, int64_t fromColumn, int64_t toColumn) const;
    void DropPoint();

    size_t capacity_;
    std::deque<sPlotPoint> points_;
    bool dropped_ = false;          // whether any point was dropped for the capacity
    int64_t droppedThroughUs_ = 0;  // the time of the newest point dropped
    mutable sColumnCache cache_;
    mutable std::vector<sPlotPoint> reduced_;  // reused call after call
};
