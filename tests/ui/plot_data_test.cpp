// The plot window's data path without a window: points into a bounded store per
// field, decimation to min/max per pixel column, gaps for absent values, the queue
// from the data thread, and pause, zoom, pan and back to live.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <limits>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "ZFieldValues.h"
#include "ZPlotFeed.h"
#include "ZPlotModel.h"
#include "ZPlotSeries.h"
#include "ZULIniFile.h"
#include "ZViewSettings.h"

namespace {

constexpr double G = std::numeric_limits<double>::quiet_NaN();  // a gap

std::string Text(const std::vector<sPlotPoint>& points) {
    std::string text;
    for (const sPlotPoint& point : points) {
        text += std::to_string(point.TimeUs) + ':';
        text += std::isnan(point.Value) ? std::string("-") : std::to_string(static_cast<int>(point.Value));
        text += ' ';
    }
    return text;
}

struct SeriesRow {
    const char* Name;
    size_t Capacity;
    std::vector<sPlotPoint> In;
    int64_t From, To;
    int Columns;
    const char* Drawn;  // what Decimate gives, as Text
};

TEST(PlotSeries, DrawsAtMostFourPointsPerColumnAndRunWithGapsKept) {
    const SeriesRow rows[] = {
        {"few points pass as they are", 10, {{0, 1}, {10, 2}, {20, 3}}, 0, 20, 10, "0:1 10:2 20:3 "},
        {"an absent value breaks the line", 10, {{0, 1}, {10, G}, {20, 3}}, 0, 20, 10, "0:1 10:- 20:3 "},
        {"gaps in a row are one gap", 10, {{0, 1}, {5, G}, {10, G}, {20, 3}}, 0, 20, 10, "0:1 5:- 20:3 "},
        {"a gap first draws nothing", 10, {{0, G}, {10, 2}}, 0, 10, 10, "10:2 "},
        {"the oldest go past the capacity", 2, {{0, 1}, {10, 2}, {20, 3}}, 0, 20, 10, "10:2 20:3 "},
        {"a point each side of the span reaches the edges", 10, {{0, 1}, {10, 2}, {20, 3}, {30, 4}}, 11, 19, 10,
         "10:2 20:3 "},
        {"an empty span draws nothing", 10, {{0, 1}}, 5, 5, 10, ""},
        {"a clock stepped back keeps the order", 10, {{10, 1}, {5, 2}}, 0, 20, 10, "10:1 10:2 "},
        {"one column keeps first, low, high, last",
         10,
         {{0, 5}, {1, 9}, {2, 7}, {3, 1}, {4, 6}, {5, 4}},
         0, 5, 1, "0:5 1:9 3:1 5:4 "},
        {"a gap inside a column splits its run",
         20,
         {{0, 5}, {1, 9}, {2, 7}, {3, G}, {4, 2}, {5, 8}, {6, 3}},
         0, 6, 1, "0:5 1:9 2:7 3:- 4:2 5:8 6:3 "},
        {"a gap just before the span draws nothing",
         20,
         {{0, 1}, {1, 2}, {2, 3}, {3, 4}, {4, G}, {5, 5}, {6, 6}, {7, 7}, {8, 8}, {9, 9}},
         5, 8, 1, "5:5 7:7 8:8 9:9 "},
        {"columns are reduced one by one",
         20,
         {{0, 1}, {1, 3}, {2, 2}, {3, 0}, {10, 4}, {11, 6}, {12, 5}, {13, 9}},
         0, 19, 2, "0:1 1:3 3:0 10:4 13:9 "},
    };
    for (const SeriesRow& row : rows) {
        ZPlotSeries series(row.Capacity);
        for (const sPlotPoint& point : row.In) series.Append(point.TimeUs, point.Value);
        EXPECT_EQ(Text(series.Decimate(row.From, row.To, row.Columns)), row.Drawn) << row.Name;
        std::vector<sPlotPoint> reused = {{99, 99}};  // a buffer from an earlier repaint
        series.Decimate(row.From, row.To, row.Columns, reused);
        EXPECT_EQ(Text(reused), row.Drawn) << row.Name;
        EXPECT_LE(series.Count(), row.Capacity) << row.Name;
    }
}

TEST(PlotSeries, DecimatesAMillionPointsToFewPerColumnWithThePeaks) {
    ZPlotSeries series(1'000'000);
    for (int64_t i = 0; i < 1'000'000; ++i) series.Append(i, i == 654'321 ? 1e6 : static_cast<double>(i % 100));
    const std::vector<sPlotPoint> drawn = series.Decimate(0, 999'999, 500);
    EXPECT_LE(drawn.size(), 4u * 500u);
    double highest = 0;
    for (const sPlotPoint& point : drawn) highest = std::max(highest, point.Value);
    EXPECT_EQ(highest, 1e6);
    series.SetCapacity(1000);
    EXPECT_EQ(series.Count(), 1000u);
    EXPECT_EQ(series.At(0).TimeUs, 999'000);
}

// One step of a decimation test: points appended (after clearing everything, with
// Clear), then a span decimated.
struct DecimateStep {
    int Append;
    int64_t From, To;
    int Columns;
    bool Clear = false;
};

struct KeptDecimationRow {
    const char* Name;
    size_t Capacity;
    int GapEvery;     // point i is a gap when i % GapEvery is GapEvery - 1; 0: none
    int64_t LaterUs;  // points after the first come this much later
    std::vector<DecimateStep> Steps;
};

// Point i of a row: 10 us apart, values that jump about.
sPlotPoint NthPoint(const KeptDecimationRow& row, int i) {
    const bool gap = row.GapEvery > 0 && i % row.GapEvery == row.GapEvery - 1;
    return {int64_t{10} * i + (i > 0 ? row.LaterUs : 0), gap ? G : static_cast<double>((i * 37) % 101)};
}

TEST(PlotSeries, DrawsFromWhatItKeptWhatAFreshDecimationDraws) {
    constexpr int64_t Hour = 3'600'000'000;
    const KeptDecimationRow rows[] = {
        {"live: the span moves on by whole and part columns", 100000, 0, 0,
         {{3000, 20000, 29999, 50}, {7, 20070, 30069, 50}, {200, 22070, 32069, 50}, {13, 22200, 32199, 50}}},
        {"the newest column grows after it was drawn", 100000, 0, 0,
         {{1003, 0, 10025, 20}, {0, 0, 10025, 20}, {40, 0, 10025, 20}, {1, 0, 10430, 20}}},
        {"paused: panned back, forth and past the kept columns", 100000, 0, 0,
         {{5000, 20000, 29999, 40}, {0, 17000, 26999, 40}, {0, 23500, 33499, 40}, {0, 1000, 10999, 40},
          {0, 20000, 29999, 40}}},
        {"zoomed: other widths", 100000, 0, 0,
         {{5000, 0, 49999, 40}, {0, 10000, 29999, 40}, {0, 0, 49999, 40}}},
        {"the capacity drops points of kept columns", 2000, 0, 0,
         {{2000, 0, 19999, 40}, {5, 50, 20049, 40}, {300, 3050, 23049, 40}, {1, 3060, 23059, 40}}},
        {"gaps at and across column edges", 100000, 7, 0,
         {{3000, 0, 29999, 50}, {50, 500, 30499, 50}, {0, 200, 30199, 50}, {3, 230, 30229, 60}}},
        {"cleared and filled again", 100000, 0, 0, {{3000, 0, 29999, 50}, {3000, 30000, 59999, 50, true}}},
        {"a point long before the span", 100000, 0, Hour,
         {{3000, Hour - 5000, Hour + 15000, 40}, {0, Hour - 5000, Hour + 15000, 40},
          {0, Hour, Hour + 20000, 40}}},
    };
    for (const KeptDecimationRow& row : rows) {
        ZPlotSeries kept(row.Capacity);
        std::vector<sPlotPoint> appended;
        int next = 0;
        for (const DecimateStep& step : row.Steps) {
            if (step.Clear) {
                kept.Clear();
                appended.clear();
            }
            for (int i = 0; i < step.Append; ++i) {
                const sPlotPoint point = NthPoint(row, next++);
                kept.Append(point.TimeUs, point.Value);
                appended.push_back(point);
            }
            ZPlotSeries fresh(row.Capacity);
            for (const sPlotPoint& point : appended) fresh.Append(point.TimeUs, point.Value);
            EXPECT_EQ(Text(kept.Decimate(step.From, step.To, step.Columns)),
                      Text(fresh.Decimate(step.From, step.To, step.Columns)))
                << row.Name << ", span " << step.From << ".." << step.To;
        }
    }
}

// What Decimate draws, reduced point by point as a model of it: the points from the one
// before the span to the one after it, whole columns of (to - from + 1) / columns us
// counted from the epoch, per column and run between gaps the first, the earliest lowest
// and highest in time order and the last; a gap only after a value, no point twice.
std::vector<sPlotPoint> ReducedOneByOne(const ZPlotSeries& series, int64_t from, int64_t to, int columns) {
    const size_t count = series.Count();
    size_t begin = 0, end = 0;
    while (begin < count && series.At(begin).TimeUs < from) ++begin;
    while (end < count && series.At(end).TimeUs <= to) ++end;
    begin = begin > 0 ? begin - 1 : 0;
    end = std::min(end + 1, count);
    const int64_t width = (to - from + columns) / columns;
    const int64_t first = series.At(begin).TimeUs / width;
    const int64_t last = series.At(end - 1).TimeUs / width;
    std::vector<sPlotPoint> out, run;
    const auto keep = [&](const sPlotPoint& point) {
        if (out.empty() || out.back().TimeUs != point.TimeUs || out.back().Value != point.Value)
            out.push_back(point);
    };
    const auto flush = [&] {
        if (run.empty()) return;
        size_t low = 0, high = 0;
        for (size_t i = 1; i < run.size(); ++i) {
            if (run[i].Value < run[low].Value) low = i;
            if (run[i].Value > run[high].Value) high = i;
        }
        keep(run.front());
        if (run.size() > 1) {
            keep(run[std::min(low, high)]);
            keep(run[std::max(low, high)]);
            keep(run.back());
        }
        run.clear();
    };
    int64_t column = first;
    for (size_t i = 0; i < count; ++i) {
        const sPlotPoint& point = series.At(i);
        if (point.TimeUs / width < first || point.TimeUs / width > last) continue;
        if (point.TimeUs / width != column) flush();
        column = point.TimeUs / width;
        if (!std::isnan(point.Value)) {
            run.push_back(point);
            continue;
        }
        flush();
        if (!out.empty() && !std::isnan(out.back().Value)) out.push_back(point);
    }
    flush();
    return out;
}

TEST(PlotSeries, DrawsThickColumnsAsTheirPointsOneByOneWould) {
    const struct {
        const char* Name;
        size_t Capacity;
        int Points;
        int GapEvery;  // 0: none
        int Plateau;   // values repeat in runs of this many (ties)
        bool ClearFirst;
        int64_t From, To;
        int Columns;
    } rows[] = {
        {"columns of 2,000 points", 200000, 100000, 0, 1, false, 0, 999999, 50},
        {"columns that do not divide the span", 200000, 100000, 0, 1, false, 3, 999990, 37},
        {"a gap inside a column", 200000, 100000, 1000, 1, false, 0, 999999, 50},
        {"ties: the earliest lowest and highest", 200000, 100000, 0, 300, false, 0, 999999, 50},
        {"points dropped for the capacity", 50000, 100123, 0, 1, false, 0, 1001229, 41},
        {"cleared and filled again", 200000, 100000, 0, 1, true, 0, 999999, 50},
        {"a span within the points", 200000, 100000, 777, 7, false, 200005, 700004, 29},
    };
    for (const auto& row : rows) {
        ZPlotSeries series(row.Capacity);
        if (row.ClearFirst) {
            for (int i = 0; i < 1000; ++i) series.Append(i, 1);
            series.Clear();
        }
        for (int i = 0; i < row.Points; ++i) {
            const bool gap = row.GapEvery > 0 && i % row.GapEvery == row.GapEvery - 1;
            series.Append(int64_t{10} * i, gap ? G : static_cast<double>((i / row.Plateau * 37) % 101));
        }
        EXPECT_EQ(Text(series.Decimate(row.From, row.To, row.Columns)),
                  Text(ReducedOneByOne(series, row.From, row.To, row.Columns)))
            << row.Name;
    }
}

TEST(PlotSeries, ItsStampChangesExactlyWhenThePointsDrawnUpToATimeMayHave) {
    const struct {
        const char* Name;
        size_t Capacity;
        std::vector<sPlotPoint> In;
        int64_t To;
        sPlotPoint Added;
        bool Changed;
    } rows[] = {
        {"a point within the span", 10, {{0, 1}, {10, 2}}, 25, {20, 3}, true},
        {"the first point after the span", 10, {{0, 1}, {10, 2}, {20, 3}}, 25, {30, 4}, true},
        {"a later point after the span", 10, {{0, 1}, {10, 2}, {20, 3}, {30, 4}}, 25, {40, 5}, false},
        {"the oldest dropped for a later point", 4, {{0, 1}, {10, 2}, {20, 3}, {30, 4}}, 25, {40, 5}, true},
        {"a gap after a gap, not stored", 10, {{0, 1}, {10, G}}, 25, {20, G}, false},
        {"the first point of all", 10, {}, 25, {40, 5}, true},
    };
    for (const auto& row : rows) {
        ZPlotSeries series(row.Capacity);
        for (const sPlotPoint& point : row.In) series.Append(point.TimeUs, point.Value);
        const sPlotStamp before = series.Stamp(row.To);
        series.Append(row.Added.TimeUs, row.Added.Value);
        EXPECT_EQ(!(series.Stamp(row.To) == before), row.Changed) << row.Name;
    }
}

struct SummaryRow {
    const char* Name;
    std::vector<sPlotPoint> In;
    int64_t From, To;
    sPlotSummary Expected;
    double ValueAt20;
};

TEST(PlotSeries, SummarisesTheSpanAndReadsTheValueUnderTheCursor) {
    const SummaryRow rows[] = {
        {"values in and out of the span", {{0, 99}, {10, 3}, {20, 1}, {30, 2}, {40, -5}}, 10, 30, {true, 2, 1, 3}, 1},
        {"the highest comes last", {{0, 1}, {10, 2}}, 0, 10, {true, 2, 1, 2}, 2},
        {"gaps are no values", {{10, 3}, {20, G}, {30, G}}, 0, 30, {true, 3, 3, 3}, G},
        {"nothing in the span", {{0, 1}, {50, 2}}, 10, 40, {false, 0, 0, 0}, 1},
        {"before the first point", {{30, 1}}, 0, 40, {true, 1, 1, 1}, G},
    };
    for (const SummaryRow& row : rows) {
        ZPlotSeries series(100);
        for (const sPlotPoint& point : row.In) series.Append(point.TimeUs, point.Value);
        const sPlotSummary got = series.Summarise(row.From, row.To);
        EXPECT_EQ(got.Any, row.Expected.Any) << row.Name;
        if (got.Any) {
            EXPECT_EQ(got.Last, row.Expected.Last) << row.Name;
            EXPECT_EQ(got.Min, row.Expected.Min) << row.Name;
            EXPECT_EQ(got.Max, row.Expected.Max) << row.Name;
        }
        const double at = series.ValueAt(20);
        EXPECT_TRUE(std::isnan(row.ValueAt20) ? std::isnan(at) : at == row.ValueAt20) << row.Name;
    }
}

// A data block whose values are those given (NaN: absent).
struct BlockValues {
    explicit BlockValues(const std::vector<double>& numbers) {
        std::vector<std::string> names, units;
        for (size_t i = 0; i < numbers.size(); ++i) {
            names.push_back("f" + std::to_string(i));
            units.emplace_back();
        }
        values = ZFieldValues(std::make_shared<const ZFieldLayout>(names, units));
        for (size_t i = 0; i < numbers.size(); ++i)
            if (!std::isnan(numbers[i])) values.Set(static_cast<int>(i), numbers[i]);
    }
    ZFieldValues values;
};

struct FeedRow {
    const char* Name;
    size_t Bound;
    std::vector<std::vector<double>> Blocks;  // one block each, its values
    uint8_t Kind;
    bool WithValues;
    size_t Taken;
    uint64_t Dropped;
    int FieldCount;
};

TEST(PlotFeed, QueuesDataBlocksWithValuesUpToItsBound) {
    const FeedRow rows[] = {
        {"data blocks are queued", 8, {{1, 2}, {3, G}}, bkData, true, 2, 0, 2},
        {"a full queue drops and counts", 2, {{1}, {2}, {3}, {4}}, bkData, true, 2, 2, 1},
        {"other kinds are ignored", 8, {{1}, {2}}, bkStartTrigger, true, 0, 0, 0},
        {"blocks without values are ignored", 8, {{1}, {2}}, bkData, false, 0, 0, 0},
        {"new fields drop what was queued", 8, {{1}, {2, 3}}, bkData, true, 1, 0, 2},
    };
    for (const FeedRow& row : rows) {
        ZPlotFeed feed(row.Bound);
        for (size_t i = 0; i < row.Blocks.size(); ++i) {
            BlockValues values(row.Blocks[i]);
            sBlock block(ZULFromUnixMicros(1'700'000'000'000'000 + static_cast<int64_t>(i) * 1000), nullptr, 0,
                         row.Kind);
            if (row.WithValues) block.Values = &values.values;
            feed.OnBlock(block);
        }
        sPlotBatch batch;
        feed.Take(batch);
        ASSERT_EQ(batch.Blocks(), row.Taken) << row.Name;
        EXPECT_EQ(feed.Dropped(), row.Dropped) << row.Name;
        if (row.Taken == 0) continue;
        EXPECT_EQ(batch.FieldCount, row.FieldCount) << row.Name;
        const std::vector<double>& first = row.Blocks[row.Blocks.size() - row.Taken - row.Dropped];
        for (int field = 0; field < batch.FieldCount; ++field) {
            const double want = first[static_cast<size_t>(field)];
            const double got = batch.Value(0, field);
            EXPECT_TRUE(std::isnan(want) ? std::isnan(got) : got == want) << row.Name << " field " << field;
        }
        EXPECT_NEAR(static_cast<double>(batch.TimesUs[0] - 1'700'000'000'000'000),
                    static_cast<double>((row.Blocks.size() - row.Taken - row.Dropped) * 1000), 2.0)
            << row.Name;
        feed.Take(batch);
        EXPECT_EQ(batch.Blocks(), 0u) << row.Name << ": taken twice";
    }
}

TEST(PlotFeed, AReplayWaitsForTheWindowToTakeWithinItsPatience) {
    const struct {
        const char* Name;
        bool Patient;
        int PatienceMs;
        bool WindowTakes;  // a window thread takes while the blocks come
        size_t Taken;
        uint64_t Dropped;
    } rows[] = {
        {"a replay waits for every take", true, 600000, true, 50, 0},
        {"a window that takes nothing is waited for once", true, 20, false, 2, 48},
        {"a capture never waits", false, 600000, false, 2, 48},
    };
    for (const auto& row : rows) {
        ZPlotFeed feed(2, std::chrono::milliseconds(row.PatienceMs));
        feed.SetPatient(row.Patient);
        std::atomic<bool> fed{false};
        std::thread data([&] {
            BlockValues values({1.5});
            for (int i = 0; i < 50; ++i) {
                sBlock block(ZULFromUnixMicros(1'700'000'000'000'000 + i), nullptr, 0, bkData);
                block.Values = &values.values;
                feed.OnBlock(block);
            }
            fed = true;
        });
        sPlotBatch batch;
        size_t taken = 0;
        while (row.WindowTakes && !fed) {
            feed.Take(batch);
            taken += batch.Blocks();
            std::this_thread::yield();
        }
        data.join();
        feed.Take(batch);
        taken += batch.Blocks();
        EXPECT_EQ(taken, row.Taken) << row.Name;
        EXPECT_EQ(feed.Dropped(), row.Dropped) << row.Name;
    }
}

enum class Act { Add, Pause, Live, Zoom, Pan, Box };

struct ViewStep {
    Act What;
    double A = 0, B = 0;  // Add: time in s; Zoom: factor, anchor; Pan: fraction; Box: from, to in s
};

struct ViewRow {
    const char* Name;
    std::vector<ViewStep> Steps;
    bool Paused;
    double From, To;  // seconds
};

TEST(PlotModel, FollowsTheNewestFrameUntilPausedAndZoomsAndPansWhilePaused) {
    const ViewRow rows[] = {
        {"live follows the newest frame", {{Act::Add, 5}, {Act::Add, 30}}, false, 20, 30},
        {"pause freezes while frames arrive", {{Act::Add, 30}, {Act::Pause}, {Act::Add, 50}}, true, 20, 30},
        {"back to live jumps to the newest",
         {{Act::Add, 30}, {Act::Pause}, {Act::Add, 50}, {Act::Live}}, false, 40, 50},
        {"zoom in around the middle", {{Act::Add, 30}, {Act::Zoom, 0.5, 0.5}}, true, 22.5, 27.5},
        {"zoom out at the right edge", {{Act::Add, 30}, {Act::Zoom, 2, 1}}, true, 10, 30},
        {"zoom stops at a millisecond", {{Act::Add, 30}, {Act::Zoom, 1e-9, 0}}, true, 20, 20.001},
        {"pan back by half", {{Act::Add, 30}, {Act::Pan, -0.5}}, true, 15, 25},
        {"a dragged box", {{Act::Add, 30}, {Act::Box, 21, 22}}, true, 21, 22},
        {"a box too narrow is ignored", {{Act::Add, 30}, {Act::Box, 21, 21.0000001}}, false, 20, 30},
    };
    for (const ViewRow& row : rows) {
        ZPlotModel model(1000, 10);
        for (const ViewStep& step : row.Steps) {
            switch (step.What) {
            case Act::Add: {
                sPlotBatch batch;
                batch.FieldCount = 1;
                batch.TimesUs.push_back(static_cast<int64_t>(step.A * 1e6));
                batch.Values.push_back(1);
                model.Add(batch);
                break;
            }
            case Act::Pause: model.Pause(); break;
            case Act::Live: model.BackToLive(); break;
            case Act::Zoom: model.Zoom(step.A, step.B); break;
            case Act::Pan: model.Pan(step.A); break;
            case Act::Box:
                model.ShowSpan(static_cast<int64_t>(step.A * 1e6), static_cast<int64_t>(step.B * 1e6));
                break;
            }
        }
        EXPECT_EQ(model.Paused(), row.Paused) << row.Name;
        EXPECT_NEAR(static_cast<double>(model.FromUs()) / 1e6, row.From, 1e-6) << row.Name;
        EXPECT_NEAR(static_cast<double>(model.ToUs()) / 1e6, row.To, 1e-6) << row.Name;
    }
}

struct PlotKeysRow {
    const char* Name;
    std::vector<std::pair<const char*, const char*>> Keys;  // the section as read
    int32_t Seconds;
    bool Shared;
    int32_t Points;
    std::vector<ZViewSettings::sPlotRange> Ranges;
    const char* Written;  // the section written back
};

TEST(PlotViewSettings, ReadIntoRangeAndWrittenOnlyWhenNotDefault) {
    const PlotKeysRow rows[] = {
        {"defaults write nothing", {}, 10, false, 1000000, {}, ""},
        {"a span, one axis and fewer points",
         {{"PlotSeconds", "60"}, {"PlotShared", "1"}, {"PlotPoints", "5000"}},
         60, true, 5000, {},
         "[_view]\r\nPlotSeconds=60\r\nPlotShared=1\r\nPlotPoints=5000\r\n"},
        {"below the limits", {{"PlotSeconds", "0"}, {"PlotPoints", "10"}}, 1, false, 1000, {},
         "[_view]\r\nPlotSeconds=1\r\nPlotPoints=1000\r\n"},
        {"above the limits", {{"PlotSeconds", "99999"}, {"PlotPoints", "20000000"}}, 3600, false, 10000000, {},
         "[_view]\r\nPlotSeconds=3600\r\nPlotPoints=10000000\r\n"},
        {"a fixed range", {{"PlotMin_2", "-1.5"}, {"PlotMax_2", "40"}}, 10, false, 1000000, {{2, -1.5, 40}},
         "[_view]\r\nPlotMin_2=-1.5\r\nPlotMax_2=40\r\n"},
        {"ranges that cannot be drawn autoscale",
         {{"PlotMin_0", "5"}, {"PlotMax_0", "5"}, {"PlotMin_1", "x"}, {"PlotMax_1", "3"}, {"PlotMax_3", "9"},
          {"PlotMin_4", "1e999"}, {"PlotMax_4", "2"}, {"PlotMin_5", "1,5"}, {"PlotMax_5", "2"}},
         10, false, 1000000, {}, ""},
    };
    for (const PlotKeysRow& row : rows) {
        ZULIniFile ini;
        for (const auto& [key, value] : row.Keys) ini.WriteString("_view", key, value);
        ZViewSettings read;
        read.ReadFromIni(ini);
        EXPECT_EQ(read.PlotSeconds, row.Seconds) << row.Name;
        EXPECT_EQ(read.PlotShared, row.Shared) << row.Name;
        EXPECT_EQ(read.PlotPoints, row.Points) << row.Name;
        EXPECT_EQ(read.PlotRanges, row.Ranges) << row.Name;
        ZULIniFile written;
        read.WriteToIni(written);
        EXPECT_EQ(written.ToText(), row.Written) << row.Name;
    }
}

}  // namespace
