#include "ZPlotSeries.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr double Gap = std::numeric_limits<double>::quiet_NaN();

// The points of one column's run between gaps, reduced to first, lowest, highest and
// last in the order they came.
class RunReducer {
public:
    explicit RunReducer(std::vector<sPlotPoint>& out) : out_(out) {}

    void Add(const sPlotPoint& point) {
        if (count_ == 0) {
            first_ = low_ = high_ = point;
        } else {
            if (point.Value < low_.Value) low_ = point;
            if (point.Value > high_.Value) high_ = point;
        }
        last_ = point;
        ++count_;
    }

    void Flush() {
        if (count_ == 0) return;
        const sPlotPoint& early = low_.TimeUs <= high_.TimeUs ? low_ : high_;
        const sPlotPoint& late = low_.TimeUs <= high_.TimeUs ? high_ : low_;
        Emit(first_);
        if (count_ > 1) {
            Emit(early);
            Emit(late);
            Emit(last_);
        }
        count_ = 0;
    }

private:
    void Emit(const sPlotPoint& point) {
        if (!out_.empty() && out_.back().TimeUs == point.TimeUs && out_.back().Value == point.Value) return;
        out_.push_back(point);
    }

    std::vector<sPlotPoint>& out_;
    sPlotPoint first_, low_, high_, last_;
    size_t count_ = 0;
};

// The column of widthUs microseconds, counted from the Unix epoch, that holds timeUs.
int64_t ColumnOf(int64_t timeUs, int64_t widthUs) {
    return timeUs >= 0 ? timeUs / widthUs : -((widthUs - 1 - timeUs) / widthUs);
}

// Appends reduced points to out as a line is drawn: a gap only after a value, and a
// point only when it is not the one just before.
void AppendDrawn(const std::vector<sPlotPoint>& reduced, std::vector<sPlotPoint>& out) {
    for (const sPlotPoint& point : reduced) {
        if (out.empty()) {
            if (!std::isnan(point.Value)) out.push_back(point);
            continue;
        }
        const sPlotPoint& last = out.back();
        if (std::isnan(point.Value) ? !std::isnan(last.Value)
                                    : last.TimeUs != point.TimeUs || last.Value != point.Value)
            out.push_back(point);
    }
}

}  // namespace

ZPlotSeries::ZPlotSeries(size_t capacity) : capacity_(std::max<size_t>(capacity, 1)) {}

void ZPlotSeries::SetCapacity(size_t capacity) {
    capacity_ = std::max<size_t>(capacity, 1);
    while (points_.size() > capacity_) DropPoint();
}

void ZPlotSeries::Clear() {
    points_.clear();
    dropped_ = false;
    cache_ = {};
}

void ZPlotSeries::DropPoint() {
    dropped_ = true;
    droppedThroughUs_ = points_.front().TimeUs;
    points_.pop_front();
}

void ZPlotSeries::Append(int64_t timeUs, double value) {
    if (std::isnan(value) && (points_.empty() || std::isnan(points_.back().Value))) return;
    // A clock stepped back must not unsort the times the searches rely on.
    if (!points_.empty()) timeUs = std::max(timeUs, points_.back().TimeUs);
    if (points_.size() == capacity_) DropPoint();
    points_.push_back({timeUs, value});
}

size_t ZPlotSeries::LowerBound(int64_t timeUs) const {
    const auto at = std::lower_bound(points_.begin(), points_.end(), timeUs,
                                     [](const sPlotPoint& point, int64_t time) { return point.TimeUs < time; });
    return static_cast<size_t>(at - points_.begin());
}

std::vector<sPlotPoint> ZPlotSeries::Decimate(int64_t fromUs, int64_t toUs, int columns) const {
    std::vector<sPlotPoint> out;
    Decimate(fromUs, toUs, columns, out);
    return out;
}

sPlotStamp ZPlotSeries::Stamp(int64_t toUs) const {
    if (points_.empty()) return {};
    return {std::min(LowerBound(toUs + 1) + 1, points_.size()), points_.front().TimeUs};
}

void ZPlotSeries::Decimate(int64_t fromUs, int64_t toUs, int columns, std::vector<sPlotPoint>& out) const {
    out.clear();
    if (points_.empty() || toUs <= fromUs || columns <= 0) return;
    const size_t begin = std::max<size_t>(LowerBound(fromUs), 1) - 1;
    const size_t end = std::min(LowerBound(toUs + 1) + 1, points_.size());
    if (begin >= end) return;
    if (end - begin <= static_cast<size_t>(columns) * 2) {
        for (size_t i = begin; i < end; ++i) {
            const sPlotPoint& point = points_[i];
            if (!std::isnan(point.Value))
                out.push_back(point);
            else if (!out.empty() && !std::isnan(out.back().Value))
                out.push_back(point);
        }
        return;
    }
    const int64_t span = toUs - fromUs + 1;
    const int64_t widthUs = std::max<int64_t>((span + columns - 1) / columns, 1);
    const int64_t firstColumn = ColumnOf(points_[begin].TimeUs, widthUs);
    const int64_t endColumn = ColumnOf(points_[end - 1].TimeUs, widthUs) + 1;
    // Columns from the newest point's on may still grow; a column that lost a point
    // to the capacity drew otherwise when it was reduced.
    const int64_t finalEnd = std::min(endColumn, ColumnOf(points_.back().TimeUs, widthUs));
    const int64_t intactFrom =
        std::max(firstColumn, dropped_ ? ColumnOf(droppedThroughUs_, widthUs) + 1 : firstColumn);
    if (intactFrom >= finalEnd) {
        reduced_.clear();
        ReduceColumns(widthUs, firstColumn, endColumn, reduced_);
        AppendDrawn(reduced_, out);
        return;
    }
    KeepColumns(widthUs, intactFrom, finalEnd);
    reduced_.clear();
    ReduceColumns(widthUs, firstColumn, intactFrom, reduced_);
    AppendDrawn(reduced_, out);
    AppendDrawn(cache_.Points, out);
    reduced_.clear();
    ReduceColumns(widthUs, finalEnd, endColumn, reduced_);
    AppendDrawn(reduced_, out);
}

void ZPlotSeries::ReduceColumns(int64_t widthUs, int64_t fromColumn, int64_t toColumn,
                                std::vector<sPlotPoint>& out) const {
    if (fromColumn >= toColumn) return;
    const int64_t endUs = toColumn * widthUs;
    RunReducer run(out);
    int64_t columnEndUs = std::numeric_limits<int64_t>::min();
    for (auto point = points_.begin() + static_cast<std::ptrdiff_t>(LowerBound(fromColumn * widthUs));
         point != points_.end() && point->TimeUs < endUs; ++point) {
        if (std::isnan(point->Value)) {
            run.Flush();
            out.push_back(*point);
            continue;
        }
        if (point->TimeUs >= columnEndUs) {
            run.Flush();
            columnEndUs = (ColumnOf(point->TimeUs, widthUs) + 1) * widthUs;
        }
        run.Add(*point);
    }
    run.Flush();
}

void ZPlotSeries::KeepColumns(int64_t widthUs, int64_t fromColumn, int64_t toColumn) const {
    std::vector<sPlotPoint>& kept = cache_.Points;
    if (cache_.WidthUs != widthUs || cache_.ToColumn <= fromColumn || cache_.FromColumn >= toColumn) {
        cache_ = {widthUs, fromColumn, toColumn, {}};
        ReduceColumns(widthUs, fromColumn, toColumn, cache_.Points);
        return;
    }
    const auto before = [](int64_t timeUs) {
        return [timeUs](const sPlotPoint& point) { return point.TimeUs < timeUs; };
    };
    if (cache_.FromColumn < fromColumn) {
        kept.erase(kept.begin(), std::find_if_not(kept.begin(), kept.end(), before(fromColumn * widthUs)));
        cache_.FromColumn = fromColumn;
    }
    if (cache_.ToColumn > toColumn) {
        kept.erase(std::find_if_not(kept.begin(), kept.end(), before(toColumn * widthUs)), kept.end());
        cache_.ToColumn = toColumn;
    }
    if (fromColumn < cache_.FromColumn) {
        reduced_.clear();
        ReduceColumns(widthUs, fromColumn, cache_.FromColumn, reduced_);
        kept.insert(kept.begin(), reduced_.begin(), reduced_.end());
        cache_.FromColumn = fromColumn;
    }
    if (cache_.ToColumn < toColumn) {
        ReduceColumns(widthUs, cache_.ToColumn, toColumn, kept);
        cache_.ToColumn = toColumn;
    }
}

sPlotSummary ZPlotSeries::Summarise(int64_t fromUs, int64_t toUs) const {
    sPlotSummary summary;
    for (size_t i = LowerBound(fromUs); i < points_.size() && points_[i].TimeUs <= toUs; ++i) {
        const double value = points_[i].Value;
        if (std::isnan(value)) continue;
        if (!summary.Any) {
            summary.Min = summary.Max = value;
            summary.Any = true;
        }
        summary.Min = std::min(summary.Min, value);
        summary.Max = std::max(summary.Max, value);
        summary.Last = value;
    }
    return summary;
}

double ZPlotSeries::ValueAt(int64_t timeUs) const {
    const size_t after = LowerBound(timeUs + 1);
    return after == 0 ? Gap : points_[after - 1].Value;
}
