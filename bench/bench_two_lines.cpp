// Two lines at once against one line at twice the rate: pseudo-terminals fed at a
// steady pace (1 MB/s each into two lines, 2 MB/s into one), captured in mode 0 with
// the default log layout. Counters: the bytes lost (written minus counted), the
// capture's share of a core (the process's processor time less the writers' own), and
// the MB/s counted. Target: 0 bytes lost, and two lines at most 1.5 times the share
// of the one line.

#include <benchmark/benchmark.h>
#include <poll.h>
#include <sys/resource.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "../app/cli/ZPseudoTerminal.h"
#include "BenchLogDir.h"
#include "ZLogger.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr auto Seconds = std::chrono::seconds(8);
constexpr auto Tick = std::chrono::milliseconds(1);
constexpr auto DrainLimit = std::chrono::seconds(30);

double ThreadCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

double ProcessCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// Writes rate bytes a second into the non-blocking master for Seconds, a slice each
// tick; returns the bytes written and adds the thread's processor time to cpu.
size_t WritePaced(int master, size_t rate, std::atomic<double>& cpu) {
    const size_t slice = rate / 1000;
    std::vector<uint8_t> bytes(slice);
    size_t written = 0;
    const auto start = Clock::now();
    for (auto next = start; next - start < Seconds; next += Tick) {
        for (size_t i = 0; i < slice; ++i) bytes[i] = static_cast<uint8_t>(written + i);
        size_t done = 0;
        while (done < slice) {
            const ssize_t put = write(master, bytes.data() + done, slice - done);
            if (put > 0) {
                done += static_cast<size_t>(put);
                continue;
            }
            pollfd writable{master, POLLOUT, 0};
            poll(&writable, 1, 10);
        }
        written += slice;
        std::this_thread::sleep_until(next + Tick);
    }
    cpu.fetch_add(ThreadCpuSeconds());
    return written;
}

void BM_TwoLines(benchmark::State& state) {
    const int lines = static_cast<int>(state.range(0));
    const auto rate = static_cast<size_t>(state.range(1));
    const BenchLogDir logDir;
    ZPseudoTerminal ptys[2];
    for (int i = 0; i < lines; ++i)
        if (!ptys[i].Open()) {
            state.SkipWithError("no pseudo-terminal");
            return;
        }
    ZLoggerSettings settings;
    settings.LogDir = logDir.Path();
    settings.CaptureMode = cmAllBytes;
    ZLogger logger(settings);
    logger.SetSecondLine(lines == 2);
    for (int i = 0; i < lines; ++i) logger.GetPort(i).SetDevicePath(ptys[i].SlavePath());
    size_t written = 0;
    double share = 0;
    double seconds = 0;
    for (auto _ : state) {
        logDir.Empty();
        if (!logger.StartCapture()) {
            state.SkipWithError("capture did not start");
            return;
        }
        std::atomic<double> writerCpu{0};
        std::atomic<size_t> total{0};
        const double cpuBefore = ProcessCpuSeconds();
        const auto start = Clock::now();
        std::vector<std::thread> writers;
        for (int i = 0; i < lines; ++i)
            writers.emplace_back([&, i] { total += WritePaced(ptys[i].Master(), rate, writerCpu); });
        for (auto& writer : writers) writer.join();
        written = total;
        // TotalBytes is the pump thread's; read once it reaches the count or stops moving.
        const auto drainStart = Clock::now();
        while (std::atomic_ref<uint32_t>(logger.TotalBytes).load() < written &&
               Clock::now() - drainStart < DrainLimit)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        seconds = std::chrono::duration<double>(Clock::now() - start).count();
        logger.StopCapture();
        share = (ProcessCpuSeconds() - cpuBefore - writerCpu.load()) / seconds;
    }
    state.counters["lost_bytes"] = static_cast<double>(written) - logger.TotalBytes;
    state.counters["core_share"] = share;
    state.counters["MB_per_s"] = static_cast<double>(logger.TotalBytes) / seconds / 1e6;
    state.counters["errors"] = logger.GetErrorHistory().GetErrorCount();
}

}  // namespace

BENCHMARK(BM_TwoLines)
    ->ArgNames({"lines", "rate"})
    ->Args({1, 2'000'000})
    ->Args({2, 1'000'000})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
