// A fast local line: 16 MiB written into a pseudo-terminal as fast as it takes them,
// captured in mode 0 (every chunk read is a data block) with the default log layout,
// with precise time (argument 1) and without (0). A pseudo-terminal holds a writer
// back while its reader lags, so nothing need be lost: every byte written must be
// counted and logged. Counters: MB_per_s from the first write to the last byte
// counted (target: 12 with precise time, 2 without), the same up to the end of the
// stop (the log files written out), the bytes lost (written minus counted), the
// bytes the log files hold, and the entries of the error history (losses are
// recorded there, and printed).

#include <benchmark/benchmark.h>
#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <thread>
#include <vector>

#include "../app/cli/ZPseudoTerminal.h"
#include "BenchLogDir.h"
#include "SoakSupport.h"
#include "ZLogger.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr size_t StreamBytes = 16 * 1024 * 1024;
constexpr size_t WriteSize = 64 * 1024;
// Time enough for any build to drain what it read; a lossy one stops short of the count.
constexpr auto DrainLimit = std::chrono::seconds(60);

// Writes all of stream into the non-blocking master, waiting only while it is full.
void WriteAll(int master, const std::vector<uint8_t>& stream) {
    size_t done = 0;
    while (done < stream.size()) {
        const ssize_t put = write(master, stream.data() + done, std::min(WriteSize, stream.size() - done));
        if (put > 0) {
            done += static_cast<size_t>(put);
            continue;
        }
        if (put < 0 && errno != EAGAIN && errno != EINTR) return;
        pollfd writable{master, POLLOUT, 0};
        poll(&writable, 1, 100);
    }
}

// The bytes of the blocks the log files in dir hold.
uint64_t LoggedBytesIn(const std::string& dir) {
    uint64_t bytes = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) bytes += LoggedBytesOf(entry.path());
    return bytes;
}

void BM_FastCapture(benchmark::State& state) {
    const BenchLogDir logDir;
    ZPseudoTerminal pty;
    if (!pty.Open()) {
        state.SkipWithError("no pseudo-terminal");
        return;
    }
    ZLoggerSettings settings;
    settings.LogDir = logDir.Path();
    settings.CaptureMode = cmAllBytes;
    settings.Frames.PreciseTime = state.range(0) != 0;
    ZLogger logger(settings);
    logger.GetPort().SetDevicePath(pty.SlavePath());
    std::vector<uint8_t> stream(StreamBytes);
    for (size_t i = 0; i < stream.size(); ++i) stream[i] = static_cast<uint8_t>(i * 7 + i / 251);

    double seconds = 0, stopSeconds = 0;
    uint64_t logged = 0;
    for (auto _ : state) {
        logDir.Empty();
        if (!logger.StartCapture()) {
            state.SkipWithError("capture did not start");
            return;
        }
        const auto start = Clock::now();
        std::thread writer([&] { WriteAll(pty.Master(), stream); });
        // TotalBytes is the pump thread's; read once it stops moving or reaches the count.
        auto end = start;
        uint32_t seen = 0;
        for (auto lastMove = Clock::now(); Clock::now() - lastMove < std::chrono::seconds(2);) {
            const uint32_t now = std::atomic_ref<uint32_t>(logger.TotalBytes).load();
            if (now != seen) {
                seen = now;
                end = Clock::now();
                lastMove = end;
            }
            if (now >= StreamBytes || Clock::now() - start > DrainLimit) break;
            std::this_thread::sleep_for(std::chrono::microseconds(500));
        }
        writer.join();
        seconds = std::chrono::duration<double>(end - start).count();
        const auto stopStart = Clock::now();
        logger.StopCapture();
        stopSeconds = std::chrono::duration<double>(Clock::now() - stopStart).count();
        logged = LoggedBytesIn(logDir.Path());
    }
    state.counters["MB_per_s"] = static_cast<double>(logger.TotalBytes) / seconds / 1e6;
    state.counters["MB_per_s_to_stop"] = static_cast<double>(logger.TotalBytes) / (seconds + stopSeconds) / 1e6;
    state.counters["lost_bytes"] = static_cast<double>(StreamBytes) - logger.TotalBytes;
    state.counters["logged_bytes"] = static_cast<double>(logged);
    state.counters["errors"] = logger.GetErrorHistory().GetCount();
    std::vector<std::string> errors;
    logger.GetErrorList(errors);
    for (size_t i = 2; i < errors.size(); ++i)
        if (errors[i].rfind("Error:", 0) == 0 || errors[i].rfind("Information:", 0) == 0)
            std::fprintf(stderr, "%s\n", errors[i].c_str());
}

}  // namespace

BENCHMARK(BM_FastCapture)
    ->ArgName("precise")
    ->Arg(1)
    ->Arg(0)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
