// Two lines at once against one line at twice the rate: pseudo-terminals fed at a
// steady pace (1 MB/s each into two lines, 2 MB/s into one, the same bytes in the
// same time), captured in mode 0 with the default log layout. Counters:
// - capture_cpu_ms: the processor time of the capture, from the start to the stop
//   after the last byte was processed: the process's own less the writers' and the
//   benchmark thread's (so every thread of the engine is in it, and nothing else);
// - lost_bytes: bytes written less bytes the engine counted on their line;
// - changed_bytes: bytes the engine handed on (byte observer, per line) that are not
//   the ones written at their place on their line (a swap of lines shows here);
// - MB_per_s: bytes counted per second of the run.
// Target: 0 lost and 0 changed, and two lines' capture_cpu_ms at most 1.5 times one
// line's. Compare medians of several runs (--benchmark_repetitions).

#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "../app/cli/ZPseudoTerminal.h"
#include "BenchCapture.h"
#include "BenchClocks.h"
#include "BenchLogDir.h"
#include "ZLogger.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr double Seconds = 8;
constexpr auto DrainLimit = std::chrono::seconds(30);

// The byte at position of line: every value on both lines, and the two lines apart.
uint8_t StreamByte(int line, size_t position) {
    return static_cast<uint8_t>(position + position / 256 + (line == 1 ? 0x80 : 0));
}

std::vector<uint8_t> LineStream(int line, size_t size) {
    std::vector<uint8_t> stream(size);
    for (size_t i = 0; i < size; ++i) stream[i] = StreamByte(line, i);
    return stream;
}

// Compares every byte the engine hands on with the one written at its place on its line.
class StreamCheck : public IZByteObserver {
public:
    void OnBytes(const uint8_t* bytes, int count, bool sent, int64_t timeUs) override {
        OnLineBytes(bytes, count, sent, timeUs, 0);
    }
    void OnLineBytes(const uint8_t* bytes, int count, bool /*sent*/, int64_t /*timeUs*/, int line) override {
        const int index = line == 1 ? 1 : 0;
        size_t at = seen_[index].load();
        uint64_t changed = 0;
        for (int i = 0; i < count; ++i) changed += bytes[i] != StreamByte(index, at++) ? 1 : 0;
        seen_[index].store(at);
        changed_ += changed;
    }
    void Reset() {
        seen_[0] = seen_[1] = 0;
        changed_ = 0;
    }
    uint64_t Seen(int line) const { return seen_[line].load(); }
    uint64_t Changed() const { return changed_.load(); }

private:
    // Written by the engine's data thread, read by the benchmark's.
    std::atomic<size_t> seen_[2]{};
    std::atomic<uint64_t> changed_{0};
};

uint32_t CountedOn(ZLogger& logger, int line, int lines) {
    if (lines == 1) return std::atomic_ref<uint32_t>(logger.TotalBytes).load();
    return std::atomic_ref<uint32_t>(logger.LineCounters[line].TotalBytes).load();
}

void BM_TwoLines(benchmark::State& state) {
    const int lines = static_cast<int>(state.range(0));
    const auto rate = static_cast<double>(state.range(1));
    const bool precise = state.range(2) != 0;
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
    settings.Frames.PreciseTime = precise;
    ZLogger logger(settings);
    logger.SetSecondLine(lines == 2);
    for (int i = 0; i < lines; ++i) logger.GetPort(i).SetDevicePath(ptys[i].SlavePath());
    StreamCheck check;
    logger.AddByteObserver(&check);
    const auto size = static_cast<size_t>(rate * Seconds);
    const std::vector<uint8_t> streams[2] = {LineStream(0, size), LineStream(1, lines == 2 ? size : 0)};
    double cpuMs = 0;
    double seconds = 0;
    std::atomic<double> writeSeconds{0};
    uint64_t lost = 0;
    for (auto _ : state) {
        logDir.Empty();
        check.Reset();
        if (!logger.StartCapture()) {
            state.SkipWithError("capture did not start");
            return;
        }
        std::atomic<double> writerCpu{0};
        writeSeconds = 0;
        const double processBefore = ProcessCpuSeconds();
        const double ownBefore = ThreadCpuSeconds();
        const auto start = Clock::now();
        std::vector<std::thread> writers;
        for (int i = 0; i < lines; ++i)
            writers.emplace_back([&, i] {
                const double took = WritePaced(ptys[i].Master(), rate, streams[i]);
                writerCpu.fetch_add(ThreadCpuSeconds());
                double longest = writeSeconds.load();
                while (took > longest && !writeSeconds.compare_exchange_weak(longest, took)) {
                }
            });
        for (auto& writer : writers) writer.join();
        const auto counted = [&] {
            uint64_t total = 0;
            for (int i = 0; i < lines; ++i) total += CountedOn(logger, i, lines);
            return total;
        };
        const auto drainStart = Clock::now();
        while (counted() < size * static_cast<size_t>(lines) && Clock::now() - drainStart < DrainLimit)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        // The stop's work on this thread is the capture's; the waiting before it is not.
        const double ownWaiting = ThreadCpuSeconds() - ownBefore;
        logger.StopCapture();
        seconds = std::chrono::duration<double>(Clock::now() - start).count();
        cpuMs = (ProcessCpuSeconds() - processBefore - ownWaiting - writerCpu.load()) * 1000;
        lost = 0;
        for (int i = 0; i < lines; ++i) lost += size - std::min<uint64_t>(size, CountedOn(logger, i, lines));
    }
    state.counters["capture_cpu_ms"] = cpuMs;
    state.counters["lost_bytes"] = static_cast<double>(lost);
    state.counters["changed_bytes"] = static_cast<double>(check.Changed());
    state.counters["unseen_bytes"] =
        static_cast<double>(size * static_cast<size_t>(lines) - check.Seen(0) - check.Seen(1));
    // Below the rate asked for, the capture held the writers back: a pseudo-terminal
    // loses nothing, a device would have.
    state.counters["line_MBps"] = rate * Seconds / writeSeconds.load() / 1e6;
    state.counters["MB_per_s"] = static_cast<double>(logger.TotalBytes) / seconds / 1e6;
    state.counters["errors"] = logger.GetErrorHistory().GetErrorCount();
    logger.RemoveByteObserver(&check);
}

}  // namespace

BENCHMARK(BM_TwoLines)
    ->ArgNames({"lines", "rate", "precise"})
    ->Args({1, 2'000'000, 0})
    ->Args({2, 1'000'000, 0})
    ->Args({1, 2'000'000, 1})
    ->Args({2, 1'000'000, 1})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
