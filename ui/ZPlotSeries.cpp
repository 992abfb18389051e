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

}  // namespace

ZPlotSeries::ZPlotSeries(size_t capacity) : capacity_(std::max<size_t>(capacity, 1)) {}

void ZPlotSeries::SetCapacity(size_t capacity) {
    capacity_ = std::max<size_t>(capacity, 1);
    while (points_.size() > capacity_) points_.pop_front();
}

void ZPlotSeries::Append(int64_t timeUs, double value) {
    if (std::isnan(value) && (points_.empty() || std::isnan(points_.back().Value))) return;
    // A clock stepped back must not unsort the times the searches rely on.
    if (!points_.empty()) timeUs = std::max(timeUs, points_.back().TimeUs);
    if (points_.size() == capacity_) points_.pop_front();
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
    const bool thin = end - begin <= static_cast<size_t>(columns) * 2;
    // One past the end, so a point at toUs falls into the last column, not beyond it.
    const double span = static_cast<double>(toUs - fromUs + 1);
    RunReducer run(out);
    int64_t column = std::numeric_limits<int64_t>::min();
    for (size_t i = begin; i < end; ++i) {
        const sPlotPoint& point = points_[i];
        if (std::isnan(point.Value)) {
            run.Flush();
            if (!out.empty() && !std::isnan(out.back().Value)) out.push_back({point.TimeUs, Gap});
            continue;
        }
        if (thin) {
            out.push_back(point);
            continue;
        }
        const auto at = static_cast<int64_t>(
            std::floor(static_cast<double>(point.TimeUs - fromUs) / span * static_cast<double>(columns)));
        if (at != column) {
            run.Flush();
            column = at;
        }
        run.Add(point);
    }
    run.Flush();
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
