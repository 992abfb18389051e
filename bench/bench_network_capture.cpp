// Live capture of a port served by ser2net on 127.0.0.1 (RFC 2217 and raw TCP),
// next to the same stream on a local pseudo-terminal: demonstration frames are
// written into the master at a paced rate while the engine captures. Counters:
// bytes lost (target 0 at 1 MB/s) and the capture's share of a core (every thread
// of this program but the writer's), to compare the network port with the local one.

#include <benchmark/benchmark.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "../app/cli/ZPseudoTerminal.h"
#include "../tests/serial/Ser2NetServer.h"
#include "BenchCapture.h"
#include "BenchLogDir.h"
#include "ZLogger.h"

namespace {

constexpr double kSecondsPerRun = 6;

// range(0): 0 local pseudo-terminal, 1 RFC 2217 through ser2net, 2 raw TCP through ser2net.
void BM_NetworkCapture(benchmark::State& state) {
    const double rate = static_cast<double>(state.range(1)) * 1000;
    const int via = static_cast<int>(state.range(0));
    const BenchLogDir logDir;
    ZPseudoTerminal pty;
    if (!pty.Open()) {
        state.SkipWithError("no pseudo-terminal");
        return;
    }
    std::unique_ptr<Ser2NetServer> server;
    if (via != 0) {
        server = std::make_unique<Ser2NetServer>(pty.SlavePath(), via == 1);
        if (!Ser2NetServer::Installed() || !server->Start()) {
            state.SkipWithError("ser2net did not start");
            return;
        }
    }
    ZLogger logger(DemoDynamicSettings(logDir.Path()));
    logger.GetPort().SetDevicePath(via == 0 ? pty.SlavePath()
                                            : server->Address(via == 1 ? "rfc2217" : "tcp"));
    logger.SetBaudrate(921600);

    const std::vector<uint8_t> stream = DemoStream(rate, kSecondsPerRun);

    double writeSeconds = 1, wallSeconds = 1, captureCpu = 0;
    for (auto _ : state) {
        if (!logger.StartCapture()) {
            state.SkipWithError(
                ("capture did not start: " + logger.GetPort().GetLastOpenErrorText()).c_str());
            break;
        }
        const double cpu0 = ProcessCpuSeconds(), own0 = ThreadCpuSeconds();
        const auto start = std::chrono::steady_clock::now();
        writeSeconds = WritePaced(pty.Master(), rate, stream);
        // The last bytes' way through ser2net, the poll cycles and the pumps.
        std::this_thread::sleep_for(std::chrono::milliseconds(1000));
        wallSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        captureCpu = (ProcessCpuSeconds() - cpu0) - (ThreadCpuSeconds() - own0);
        logger.StopCapture();
    }
    const double achieved = static_cast<double>(stream.size()) / writeSeconds;
    state.counters["target_KBps"] = rate / 1000;
    state.counters["achieved_KBps"] = achieved / 1000;
    state.counters["MB"] = static_cast<double>(stream.size()) / 1e6;
    state.counters["lost_bytes"] = static_cast<double>(stream.size()) - logger.TotalBytes;
    state.counters["capture_cpu_pct"] = 100 * captureCpu / wallSeconds;
    state.counters["errors"] = logger.GetErrorHistory().GetCount();
}

}  // namespace

BENCHMARK(BM_NetworkCapture)
    ->ArgNames({"via", "KBps"})
    ->Args({0, 1000})
    ->Args({1, 1000})
    ->Args({2, 1000})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
