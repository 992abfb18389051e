// Live capture through a pseudo-terminal: demonstration frames written into the
// master at a paced rate while the engine captures the slave. A rate is kept up
// with when the writer reaches it (the pseudo-terminal holds back a writer whose
// reader lags, so nothing is lost there; a real UART would drop the excess) and
// the counters show every byte and frame written. One run per rate, several
// megabytes each (four seconds of writing).

#include <benchmark/benchmark.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "../app/cli/ZPseudoTerminal.h"
#include "BenchCapture.h"
#include "BenchLogDir.h"
#include "ZLogger.h"

namespace {

constexpr double kSecondsPerRun = 4;

void BM_LiveCapture(benchmark::State& state) {
    const double rate = static_cast<double>(state.range(0)) * 1000;
    const BenchLogDir logDir;
    ZPseudoTerminal pty;
    if (!pty.Open()) {
        state.SkipWithError("no pseudo-terminal");
        return;
    }
    ZLogger logger(DemoDynamicSettings(logDir.Path()));
    logger.GetPort().SetDevicePath(pty.SlavePath());

    uint64_t frames = 0;
    const std::vector<uint8_t> stream = DemoStream(rate, kSecondsPerRun, &frames);

    double writeSeconds = 0;
    for (auto _ : state) {
        if (!logger.StartCapture()) {
            state.SkipWithError("capture did not start");
            break;
        }
        writeSeconds = WritePaced(pty.Master(), rate, stream);
        // Two poll cycles and the pumps' turns for the last bytes.
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        logger.StopCapture();
    }
    const double achieved = static_cast<double>(stream.size()) / writeSeconds;
    state.counters["target_KBps"] = rate / 1000;
    state.counters["achieved_KBps"] = achieved / 1000;
    state.counters["MB"] = static_cast<double>(stream.size()) / 1e6;
    state.counters["lost_bytes"] = static_cast<double>(stream.size()) - logger.TotalBytes;
    state.counters["lost_frames"] = static_cast<double>(frames) - logger.StartTriggerCount;
    state.counters["kept_up"] = achieved >= 0.97 * rate && logger.TotalBytes == stream.size();
    state.counters["errors"] = logger.GetErrorHistory().GetCount();
}

}  // namespace

BENCHMARK(BM_LiveCapture)
    ->ArgName("KBps")
    ->Arg(100)
    ->Arg(250)
    ->Arg(500)
    ->Arg(750)
    ->Arg(1000)
    ->Arg(2000)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
