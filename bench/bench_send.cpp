// What sending costs while a capture runs: an 8-byte query repeated every 10 ms,
// paced as the command line and the Send page pace it, into a line that delivers
// 100 KB/s, against the same capture without sends. Reported
// as the whole process's share of one core (the feeding thread included, in both
// runs alike) and the received bytes the capture lost; the sends may add at most
// 1 % of a core and lose nothing.

#include <benchmark/benchmark.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "../app/cli/ZDemoFrameSource.h"
#include "../app/cli/ZPacedWriter.h"
#include "../app/cli/ZPseudoTerminal.h"
#include "BenchCapture.h"
#include "BenchLogDir.h"
#include "ZLogger.h"
#include "ZSendPacer.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr auto kMeasured = std::chrono::seconds(6);
constexpr double kRate = 100000;  // bytes per second into the capture

// state.range(0): ms between two sends; 0 sends nothing.
void BM_CaptureWhileSending(benchmark::State& state) {
    const BenchLogDir logDir;
    ZLoggerSettings settings;
    settings.LogDir = logDir.Path();
    ZLogger logger(settings);
    logger.SetBaudrate(921600);
    ZPseudoTerminal pty;
    if (!StartOnPty(state, pty, logger)) return;
    std::atomic<bool> stop{false};
    uint64_t fed = 0;
    uint64_t answeredBytes = 0;
    // The device's side: streams frames at kRate and reads (and drops) what is sent to it.
    std::thread device([&] {
        ZDemoFrameSource source(ZDemoMode::Dynamic);
        ZPacedWriter writer(pty.Master(), kRate, [&source](std::vector<uint8_t>& out) {
            source.AppendFrame(out);
            return true;
        });
        uint8_t sink[4096];
        while (!stop.load()) {
            writer.WriteDue();
            ssize_t got = 0;
            while ((got = read(pty.Master(), sink, sizeof sink)) > 0)
                answeredBytes += static_cast<uint64_t>(got);
            pollfd readable{pty.Master(), POLLIN, 0};
            poll(&readable, 1, 2);
        }
        fed = writer.BytesWritten();
    });
    ZSendSequence query;
    query.Data = {0x11, 0x03, 0x00, 0x00, 0x00, 0x04, 0x46, 0x99};
    query.Every = static_cast<int32_t>(state.range(0));
    ZSendPacer pacer;
    pacer.SetLine(logger.GetLineTiming(), 0);
    const auto send = [&logger](const std::vector<uint8_t>& bytes, bool repeat, std::string& error) {
        return logger.SendBytes(bytes, repeat, error);
    };
    double cpu = 0;
    double wall = 0;
    for (auto _ : state) {
        const double cpuBefore = ProcessCpuSeconds();
        const auto start = Clock::now();
        if (query.Every > 0) pacer.Enqueue(query);
        while (Clock::now() - start < kMeasured) {
            std::string error;
            pacer.SendDue(send, Clock::now(), error);
            const auto now = Clock::now();
            std::this_thread::sleep_until(std::min(now + std::chrono::milliseconds(50), pacer.NextDue(now)));
        }
        wall = std::chrono::duration<double>(Clock::now() - start).count();
        cpu = ProcessCpuSeconds() - cpuBefore;
    }
    stop = true;
    device.join();
    // What the device wrote is all read once the line has been quiet for a moment.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    logger.StopCapture();
    state.counters["cpu_percent_of_core"] = 100 * cpu / wall;
    state.counters["bytes_lost"] = static_cast<double>(fed) - static_cast<double>(logger.TotalBytes);
    state.counters["bytes_sent"] = logger.SentBytes;
    state.counters["sends_skipped"] = static_cast<double>(pacer.Skipped());
}

}  // namespace

BENCHMARK(BM_CaptureWhileSending)->Arg(0)->Arg(10)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();
