// The terminal window taking text at 1 MB/s: one tick of its repaint timer
// (Tfrm_Term::RepaintIntervalMs) with the bytes of 1 MB/s that arrived meanwhile,
// lines of 64 characters with a colour change every fourth line, into a shown window
// whose scrollback is full (TerminalLines, 100,000 lines) or, with the argument 0,
// empty. The share of a core the window thread spends at 1 MB/s is the time of one
// tick divided by the tick interval: the counter "core_share_at_1MBps" (printed as a
// time: the CPU time one second of the stream takes).
//
//   QT_QPA_PLATFORM=offscreen bench_term_window [--benchmark_repetitions=5 ...]
//
// The window paints into a QPlainTextEdit with a block limit; painting the view is in
// the time only as far as the text edit lays out the lines it takes.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <string>

#include "BenchQtMain.h"
#include "Tfrm_Term.h"
#include "ZViewSettings.h"

namespace {

constexpr int BytesPerSecond = 1 << 20;
constexpr int BytesPerTick = BytesPerSecond / (1000 / Tfrm_Term::RepaintIntervalMs);

std::string Text(int bytes) {
    std::string text;
    int line = 0;
    while (static_cast<int>(text.size()) < bytes) {
        if (line % 4 == 0) text += line % 8 == 0 ? "\x1b[32m" : "\x1b[0m";
        std::string body = "line " + std::to_string(line++) + ": ";
        body.resize(62, 'x');
        text += body + "\r\n";
    }
    text.resize(static_cast<size_t>(bytes));
    return text;
}

void Feed(Tfrm_Term& window, const std::string& text) {
    window.ByteObserver()->OnBytes(reinterpret_cast<const uint8_t*>(text.data()), static_cast<int>(text.size()),
                                   false, 1);
    window.tmr_RepaintTimer();
}

void BM_TermTick(benchmark::State& state) {
    Tfrm_Term window;
    window.resize(800, 600);
    window.show();
    QCoreApplication::processEvents();
    const std::string tick = Text(BytesPerTick);
    if (state.range(0) != 0) {
        const int fill = ZViewSettings::DefaultTerminalLines / (BytesPerTick / 64) + 1;
        for (int i = 0; i < fill; ++i) Feed(window, tick);
    }
    for (auto _ : state) {
        Feed(window, tick);
        QCoreApplication::processEvents();
    }
    state.SetBytesProcessed(state.iterations() * BytesPerTick);
    state.counters["core_share_at_1MBps"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * Tfrm_Term::RepaintIntervalMs / 1000.0,
        benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_TermTick)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

}  // namespace

int main(int argc, char** argv) { return RunWindowBenchmarks(argc, argv); }
