// Live capture of a port served by ser2net on 127.0.0.1 (RFC 2217 and raw TCP),
// next to the same stream on a local pseudo-terminal: demonstration frames are
// written into the master at a paced rate while the engine captures. Counters:
// bytes lost (target 0 at 1 MB/s) and the capture's share of a core (every thread
// of this program but the writer's), to compare the network port with the local one.

#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <time.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "../app/cli/ZDemoFrameSource.h"
#include "../app/cli/ZPacedWriter.h"
#include "../app/cli/ZPseudoTerminal.h"
#include "../tests/serial/Ser2NetServer.h"
#include "BenchLogDir.h"
#include "ZLogger.h"

namespace {

constexpr double kSecondsPerRun = 6;

double Seconds(const timespec& t) {
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

double ProcessCpu() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return Seconds(t);
}

double ThreadCpu() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return Seconds(t);
}

ZLoggerSettings DynamicSettings(const std::string& logDir) {
    ZLoggerSettings settings;
    settings.LogDir = logDir;
    settings.CaptureMode = cmDynamicSize;
    settings.MaxBytesInLogLine = 24;
    const int32_t start[] = {0x7E, 0xA5, AnyByte};
    settings.SetTriggerStart(start, 3);
    settings.StartAmountOfBytes = 2;
    settings.DataTriggers.Add({0x4F, 0x4B});
    return settings;
}

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
    ZLogger logger(DynamicSettings(logDir.Path()));
    logger.GetPort().SetDevicePath(via == 0 ? pty.SlavePath()
                                            : server->Address(via == 1 ? "rfc2217" : "tcp"));
    logger.SetBaudrate(921600);

    ZDemoFrameSource source(ZDemoMode::Dynamic);
    std::vector<uint8_t> stream;
    while (static_cast<double>(stream.size()) < rate * kSecondsPerRun) source.AppendFrame(stream);

    double writeSeconds = 1, wallSeconds = 1, captureCpu = 0;
    for (auto _ : state) {
        if (!logger.StartCapture()) {
            state.SkipWithError(
                ("capture did not start: " + logger.GetPort().GetLastOpenErrorText()).c_str());
            break;
        }
        bool handedOut = false;
        ZPacedWriter writer(pty.Master(), rate, [&](std::vector<uint8_t>& out) {
            if (handedOut) return false;
            out = stream;
            handedOut = true;
            return true;
        });
        const double cpu0 = ProcessCpu(), own0 = ThreadCpu();
        const auto start = std::chrono::steady_clock::now();
        while (!writer.Finished()) {
            if (!writer.WriteDue()) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        writeSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        // The last bytes' way through ser2net, the poll cycles and the pumps.
        std::this_thread::sleep_for(std::chrono::milliseconds(1000));
        wallSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        captureCpu = (ProcessCpu() - cpu0) - (ThreadCpu() - own0);
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
