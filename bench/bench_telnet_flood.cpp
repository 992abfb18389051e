// A hostile RFC 2217 server on 127.0.0.1 that, once the capture is open, sends Telnet
// commands alone as fast as the capture takes them, never reading a byte: IAC NOP
// (range 0), or requests the client refuses (range 1: IAC WILL 1, IAC DO 1). The
// capture runs for a few seconds of flood, then stops while the flood goes on.
// Counters: MB the server sent, how much the process's resident memory grew (target:
// flat, whatever was sent) and how long the stop took (target: below 0.5 s).

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

#include "../tests/common/LoopbackServer.h"
#include "BenchLogDir.h"
#include "ZLogger.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr uint8_t IAC = 255, WILL = 251, DO = 253, SB = 250, SE = 240, NOP = 241, ComPort = 44;
constexpr auto FloodTime = std::chrono::seconds(3);
// A stop that takes longer is reported at this length: the server is ended then.
constexpr auto StopLimit = std::chrono::seconds(20);

double ResidentMB() {
    long pages = 0, resident = 0;
    if (std::FILE* statm = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2) resident = 0;
        std::fclose(statm);
    }
    return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / 1e6;
}

void BM_TelnetFlood(benchmark::State& state) {
    const LoopbackServer::Bytes unit = state.range(0) == 0 ? LoopbackServer::Bytes{IAC, NOP}
                                                            : LoopbackServer::Bytes{IAC, WILL, 1, IAC, DO, 1};
    std::atomic<bool> flooding{false};
    // Agrees to COM-PORT-OPTION, answers the purge that ends the open, then floods.
    LoopbackServer server([&](LoopbackServer& s, int client, int) {
        if (s.SendAll(client, {IAC, DO, ComPort}) && s.ReceiveUntil(client, {IAC, SB, ComPort, 12}) &&
            s.SendAll(client, {IAC, SB, ComPort, 112, 1, IAC, SE})) {
            flooding = true;
            s.Flood(client, unit, 0);
        }
        s.Hold(client);
    });
    const BenchLogDir logDir;
    ZLoggerSettings settings;
    settings.LogDir = logDir.Path();
    ZLogger logger(settings);
    logger.GetPort().SetDevicePath(server.Address("rfc2217"));

    double sentMB = 0, grownMB = 0, stopMs = 0;
    for (auto _ : state) {
        if (!logger.StartCapture()) {
            state.SkipWithError("capture did not start");
            return;
        }
        const double before = ResidentMB();
        const uint64_t sentBefore = server.Sent();
        for (const auto until = Clock::now() + FloodTime; Clock::now() < until;)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        sentMB = static_cast<double>(server.Sent() - sentBefore) / 1e6;
        grownMB = ResidentMB() - before;
        std::atomic<bool> stopped{false};
        const auto stopStart = Clock::now();
        std::thread stopper([&] {
            logger.StopCapture();
            stopped = true;
        });
        while (!stopped && Clock::now() - stopStart < StopLimit)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        stopMs = std::chrono::duration<double, std::milli>(Clock::now() - stopStart).count();
        server.Stop();
        stopper.join();
    }
    if (!flooding) state.SkipWithError("the flood never started");
    state.counters["flood_MB"] = sentMB;
    state.counters["rss_growth_MB"] = grownMB;
    state.counters["stop_ms"] = stopMs;
}

}  // namespace

BENCHMARK(BM_TelnetFlood)
    ->ArgName("refusals")
    ->Arg(0)
    ->Arg(1)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
