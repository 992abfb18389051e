// The plot libraries side by side, as the plot window would use them: one repaint of
// STRIPS strips (each its own Y axis) over a field of 1,000,000 points (an hour of
// frames thinned to what one field keeps by default), the span in view decimated to
// min/max per pixel column first, handed over, and painted offscreen into a pixmap of
// 1200 x 800. Arg 0: the span is the last 10 s at 20,000 frames a second (live);
// arg 1: the whole hour (zoomed out on a recording).
//
//   QT_QPA_PLATFORM=offscreen bench_plot_library [--benchmark_repetitions=5 ...]
//
// BM_QCustomPlot and BM_QtCharts; BM_DecimateOnly is the data path alone. The field
// has 278 frames a second: BM_LiveDecimate16 is the data path of a live plot of 16
// fields at 20,000 frames a second, where the last 10 s hold 200,000 points a field.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QPixmap>
#include <QVBoxLayout>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QtCharts/QLineSeries>
#include <QtCharts/QValueAxis>
#include <cmath>
#include <cstring>
#include <memory>
#include <qcustomplot.h>
#include <vector>

#include "BenchQtMain.h"
#include "ZPlotSeries.h"

namespace {

constexpr int Width = 1200;
constexpr int Height = 800;
constexpr int64_t Points = 1'000'000;
constexpr int64_t StepUs = 3600LL * 1'000'000 / Points;

const ZPlotSeries& Field() {
    static const ZPlotSeries series = [] {
        ZPlotSeries made(Points);
        for (int64_t i = 0; i < Points; ++i)
            made.Append(i * StepUs, 30 + 3 * std::sin(static_cast<double>(i) / 5000.0) + (i % 7) * 0.1);
        return made;
    }();
    return series;
}

void Span(int whole, int64_t& from, int64_t& to) {
    to = (Points - 1) * StepUs;
    from = whole != 0 ? 0 : to - 10'000'000;
}

void BM_DecimateOnly(benchmark::State& state) {
    int64_t from = 0, to = 0;
    Span(static_cast<int>(state.range(0)), from, to);
    for (auto _ : state) benchmark::DoNotOptimize(Field().Decimate(from, to, Width));
}
BENCHMARK(BM_DecimateOnly)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// One repaint of a live plot of 16 fields at 20,000 frames a second and 30 repaints a
// second: the frames of a thirtieth of a second appended to every field, then the last
// 10 s of each decimated for a strip Width pixels wide.
void BM_LiveDecimate16(benchmark::State& state) {
    constexpr int Fields = 16;
    constexpr int64_t FrameUs = 50;
    constexpr int FramesPerRepaint = 20000 / 30;
    std::vector<ZPlotSeries> fields(Fields, ZPlotSeries(Points));
    int64_t frame = 0;
    const auto add = [&](int frames) {
        for (int i = 0; i < frames; ++i, ++frame)
            for (int f = 0; f < Fields; ++f)
                fields[static_cast<size_t>(f)].Append(frame * FrameUs,
                                                      std::sin(static_cast<double>(frame * (f + 1)) / 2000.0));
    };
    add(20000 * 10);
    std::vector<sPlotPoint> drawn;
    for (auto _ : state) {
        add(FramesPerRepaint);
        const int64_t to = (frame - 1) * FrameUs;
        for (const ZPlotSeries& field : fields) {
            field.Decimate(to - 10'000'000, to, Width, drawn);
            benchmark::DoNotOptimize(drawn.data());
        }
    }
}
BENCHMARK(BM_LiveDecimate16)->Unit(benchmark::kMillisecond);

// A zoom over the whole hour of 16 fields: each repaint another width, so nothing kept
// from the last one serves (the field's points decimated 16 times).
void BM_ZoomDecimate16(benchmark::State& state) {
    int64_t from = 0, to = 0;
    Span(1, from, to);
    std::vector<sPlotPoint> drawn;
    int call = 0;
    for (auto _ : state) {
        for (int field = 0; field < 16; ++field, ++call) {
            Field().Decimate(from, to, Width - call % 32, drawn);
            benchmark::DoNotOptimize(drawn.data());
        }
    }
}
BENCHMARK(BM_ZoomDecimate16)->Unit(benchmark::kMillisecond);

void BM_QCustomPlot(benchmark::State& state) {
    const int strips = static_cast<int>(state.range(1));
    int64_t from = 0, to = 0;
    Span(static_cast<int>(state.range(0)), from, to);
    QCustomPlot plot;
    plot.resize(Width, Height);
    plot.plotLayout()->clear();
    std::vector<QCPGraph*> graphs;
    for (int strip = 0; strip < strips; ++strip) {
        auto* rect = new QCPAxisRect(&plot);
        plot.plotLayout()->addElement(strip, 0, rect);
        graphs.push_back(plot.addGraph(rect->axis(QCPAxis::atBottom), rect->axis(QCPAxis::atLeft)));
    }
    QPixmap target(Width, Height);
    for (auto _ : state) {
        const std::vector<sPlotPoint> points = Field().Decimate(from, to, Width);
        QVector<double> keys, values;
        keys.reserve(static_cast<qsizetype>(points.size()));
        values.reserve(static_cast<qsizetype>(points.size()));
        for (const sPlotPoint& point : points) {
            keys.push_back(static_cast<double>(point.TimeUs) / 1e6);
            values.push_back(point.Value);
        }
        for (QCPGraph* graph : graphs) {
            graph->setData(keys, values, true);
            graph->rescaleAxes();
        }
        plot.replot(QCustomPlot::rpImmediateRefresh);
        plot.render(&target);
    }
    state.counters["points"] = static_cast<double>(Field().Decimate(from, to, Width).size());
}
BENCHMARK(BM_QCustomPlot)->Args({0, 2})->Args({0, 16})->Args({1, 2})->Args({1, 16})->Unit(benchmark::kMillisecond);

void BM_QtCharts(benchmark::State& state) {
    const int strips = static_cast<int>(state.range(1));
    int64_t from = 0, to = 0;
    Span(static_cast<int>(state.range(0)), from, to);
    QWidget host;
    host.resize(Width, Height);
    auto* layout = new QVBoxLayout(&host);
    std::vector<QLineSeries*> lines;
    std::vector<QChart*> charts;
    for (int strip = 0; strip < strips; ++strip) {
        auto* chart = new QChart;
        auto* line = new QLineSeries;
        chart->addSeries(line);
        chart->createDefaultAxes();
        chart->legend()->hide();
        layout->addWidget(new QChartView(chart));
        lines.push_back(line);
        charts.push_back(chart);
    }
    host.show();
    QPixmap target(Width, Height);
    for (auto _ : state) {
        const std::vector<sPlotPoint> points = Field().Decimate(from, to, Width);
        QList<QPointF> list;
        list.reserve(static_cast<qsizetype>(points.size()));
        double low = points.front().Value, high = low;
        for (const sPlotPoint& point : points) {
            list.push_back(QPointF(static_cast<double>(point.TimeUs) / 1e6, point.Value));
            low = std::min(low, point.Value);
            high = std::max(high, point.Value);
        }
        for (size_t strip = 0; strip < lines.size(); ++strip) {
            lines[strip]->replace(list);
            charts[strip]->axes(Qt::Horizontal).first()->setRange(list.front().x(), list.back().x());
            charts[strip]->axes(Qt::Vertical).first()->setRange(low, high);
        }
        host.render(&target);
    }
}
BENCHMARK(BM_QtCharts)->Args({0, 2})->Args({0, 16})->Args({1, 2})->Args({1, 16})->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) { return RunWindowBenchmarks(argc, argv); }
