// What idling costs: the processor time of the whole process (all its threads)
// while a capture runs on a line that sends nothing, and while three pumps of one
// millisecond wait with empty queues, as the window program's do between bytes.
// Reported as a share of one core over the measured seconds; the target is below
// 0.5 %.

#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>
#include <thread>
#include <vector>

#include "../app/cli/ZPseudoTerminal.h"
#include "BenchCapture.h"
#include "BenchLogDir.h"
#include "ZLogger.h"
#include "ZULMsgPump.h"

namespace {

constexpr auto kMeasured = std::chrono::seconds(5);

// Runs nothing itself: the threads under test work (or should not) while it waits.
void MeasureIdle(benchmark::State& state) {
    double cpu = 0;
    double wall = 0;
    for (auto _ : state) {
        const double cpuBefore = ProcessCpuSeconds();
        const auto start = std::chrono::steady_clock::now();
        std::this_thread::sleep_for(kMeasured);
        wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        cpu = ProcessCpuSeconds() - cpuBefore;
    }
    state.counters["cpu_percent_of_core"] = 100 * cpu / wall;
    state.counters["target_percent"] = 0.5;
}

void BM_IdleCapture(benchmark::State& state) {
    const BenchLogDir logDir;
    ZLoggerSettings settings;
    settings.LogDir = logDir.Path();
    ZLogger logger(settings);
    ZPseudoTerminal pty;
    if (!StartOnPty(state, pty, logger)) return;
    MeasureIdle(state);
    logger.StopCapture();
}

void BM_IdlePumps(benchmark::State& state) {
    std::vector<std::unique_ptr<TZULMsgPump<int>>> pumps;
    for (int i = 0; i < 3; ++i)
        pumps.push_back(std::make_unique<TZULMsgPump<int>>(
            false, 1, i == 0, [](int) {}, false, 100, 80));
    MeasureIdle(state);
}

}  // namespace

BENCHMARK(BM_IdleCapture)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();
BENCHMARK(BM_IdlePumps)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();
