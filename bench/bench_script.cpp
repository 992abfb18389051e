// Lua scripts on frames: an on_frame handler over a replay of lines (frames a second,
// against the same replay without a script), and the latency of expect on a
// pseudo-terminal: from the read that brought a frame to expect's return (median and
// 90th percentile in microseconds; one frame every 5 ms so each is waited for alone).

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "../app/cli/ZDemoFrameSource.h"
#include "../app/cli/ZPseudoTerminal.h"
#include "BenchReplay.h"
#include "ZLogger.h"
#include "ZScriptCaptureTarget.h"
#include "ZScriptFrameQueue.h"
#include "ZScriptHost.h"

namespace {

constexpr size_t kStreamBytes = 8u << 20;
constexpr int kChunk = 500;

// The demonstration device's reports as lines: report, 0D 0A.
const std::vector<uint8_t>& Lines(uint64_t& frames) {
    static std::vector<uint8_t> stream;
    static uint64_t count = 0;
    if (stream.empty()) {
        ZDemoFrameSource source(ZDemoMode::Between);
        std::vector<uint8_t> frame;
        while (stream.size() < kStreamBytes) {
            frame.clear();
            source.AppendFrame(frame);
            stream.insert(stream.end(), frame.begin() + 3, frame.begin() + 3 + frame[2]);
            stream.insert(stream.end(), {0x0D, 0x0A});
            ++count;
        }
    }
    frames = count;
    return stream;
}

ZLoggerSettings LineSettings() {
    ZLoggerSettings settings;
    settings.CaptureMode = cmUntilStopTrigger;
    settings.TriggerStop = {0x0D, 0x0A};
    return settings;
}

void BM_OnFrameReplay(benchmark::State& state) {
    const bool withScript = state.range(0) != 0;
    uint64_t frames = 0;
    const std::vector<uint8_t>& stream = Lines(frames);
    ZLogger logger(LineSettings());
    logger.SetWriteLogFiles(false);
    std::string printed;
    for (auto _ : state) {
        ZScriptFrameQueue queue(true, true);
        ZScriptCaptureTarget target(logger, true);
        ZScriptHost host(queue, target, ZScriptLimits(), [&](const std::string& line) { printed = line; });
        host.LoadSource("bench.lua", "n = 0 on_frame(function(f) n = n + #f.data if f.fields.x then n = 0 end end)");
        if (withScript) {
            logger.AddBlockObserver(&queue);
            host.Begin();
        }
        BenchReplayStream(logger, stream, kChunk);
        if (withScript) {
            queue.Close();
            host.WaitDone(std::chrono::minutes(10));
            logger.RemoveBlockObserver(&queue);
            if (host.Failed()) state.SkipWithError(host.ErrorText().c_str());
        }
    }
    state.counters["frames_per_s"] =
        benchmark::Counter(static_cast<double>(frames * state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_OnFrameReplay)->ArgName("script")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ExpectLatency(benchmark::State& state) {
    ZPseudoTerminal pty;
    if (!pty.Open()) {
        state.SkipWithError("openpty failed");
        return;
    }
    // Precise time: a frame's time is that of its read, not the data thread's coarse
    // clock, which lags by up to a timer tick and would hide the delivery.
    ZLoggerSettings settings = LineSettings();
    settings.Frames.PreciseTime = true;
    ZLogger logger(settings);
    logger.SetWriteLogFiles(false);
    logger.SpreadChunks(false);
    logger.GetPort().SetDevicePath(pty.SlavePath());
    ZScriptFrameQueue queue(true, false);
    logger.AddBlockObserver(&queue);
    if (!logger.StartCapture()) {
        state.SkipWithError("the capture did not start");
        return;
    }
    // 0: the chunks wait out the pump's interval after a pause, as before prompt delivery.
    logger.DeliverPromptly(state.range(0) != 0);
    std::mutex lock;  // guards latencies
    std::vector<double> latencies;    // read to expect's return, us
    std::vector<double> fromWrite;    // write into the terminal to expect's return, us
    std::vector<double> writeTimes;   // seconds since the epoch
    ZScriptCaptureTarget target(logger, false);
    ZScriptHost host(queue, target, ZScriptLimits(), [&](const std::string& line) {
        double time = 0, returned = 0;
        if (std::sscanf(line.c_str(), "%lf %lf", &time, &returned) != 2) return;
        std::lock_guard guard(lock);
        latencies.push_back((returned - time) * 1e6);
        if (fromWrite.size() < writeTimes.size()) fromWrite.push_back((returned - writeTimes[fromWrite.size()]) * 1e6);
    });
    host.LoadSource("bench.lua",
                    "while true do local f = expect('23 30', 60000) if not f then break end "
                    "print(string.format('%.6f %.6f', f.time, now())) end");
    host.Begin();
    const std::string frame = "#000042 T=21.5 OK\r\n";
    for (auto _ : state) {
        for (int i = 0; i < 200; ++i) {
            {
                std::lock_guard guard(lock);
                writeTimes.push_back(static_cast<double>(std::chrono::duration_cast<std::chrono::microseconds>(
                                                             std::chrono::system_clock::now().time_since_epoch())
                                                             .count()) /
                                     1e6);
            }
            if (write(pty.Master(), frame.data(), frame.size()) != static_cast<ssize_t>(frame.size())) {
                state.SkipWithError("write failed");
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    host.Stop();
    logger.StopCapture();
    logger.RemoveBlockObserver(&queue);
    std::lock_guard guard(lock);
    if (latencies.empty()) return;
    std::sort(latencies.begin(), latencies.end());
    state.counters["median_us"] = latencies[latencies.size() / 2];
    state.counters["p90_us"] = latencies[latencies.size() * 9 / 10];
    state.counters["frames"] = static_cast<double>(latencies.size());
    std::sort(fromWrite.begin(), fromWrite.end());
    if (!fromWrite.empty()) state.counters["write_median_us"] = fromWrite[fromWrite.size() / 2];
}
BENCHMARK(BM_ExpectLatency)
    ->ArgName("prompt")
    ->Arg(0)
    ->Arg(1)
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
