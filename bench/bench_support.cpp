// Throughput of the support services on the log path: writing and reading log
// files, and the message pump that carries log lines to the writer.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "ZULFileIO.h"
#include "ZULMsgPump.h"

namespace {

// A log line as the writer produces it: a HEX line of 16 bytes.
std::vector<std::string> MakeLogLines(size_t count) {
    std::vector<std::string> lines;
    lines.reserve(count);
    for (size_t i = 0; i < count; ++i)
        lines.push_back("0x" + std::to_string(i) + "  4B 45 53 54 52 55 4E 20 30 31 32 33 34 35 36 37");
    return lines;
}

std::string TempFileName() {
    const char* dir = std::getenv("TMPDIR");
    return std::string(dir != nullptr ? dir : "/tmp") + "/kestrun_bench_" + std::to_string(getpid()) + ".txt";
}

size_t TotalBytes(const std::vector<std::string>& lines) {
    size_t bytes = 0;
    for (const auto& line : lines) bytes += line.size() + 2;
    return bytes;
}

void BM_FileIOWrite(benchmark::State& state) {
    const auto lines = MakeLogLines(static_cast<size_t>(state.range(0)));
    const std::string name = TempFileName();
    TZULFileIO io;
    for (auto _ : state) {
        if (!io.WriteFile(name, &lines)) state.SkipWithError("WriteFile failed");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * TotalBytes(lines)));
    std::remove(name.c_str());
}
BENCHMARK(BM_FileIOWrite)->Arg(100'000)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_FileIORead(benchmark::State& state) {
    const auto lines = MakeLogLines(static_cast<size_t>(state.range(0)));
    const std::string name = TempFileName();
    TZULFileIO io;
    io.WriteFile(name, &lines);
    std::vector<std::string> read;
    for (auto _ : state) {
        if (!io.ReadFile(name, &read)) state.SkipWithError("ReadFile failed");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * TotalBytes(lines)));
    std::remove(name.c_str());
}
BENCHMARK(BM_FileIORead)->Arg(100'000)->Unit(benchmark::kMillisecond)->UseRealTime();

// One producer posts lines into a pump shaped like the log writer's (20 ms, burst 50,
// 100000/90000) until all have been handed to the callback.
void BM_MsgPumpLogLines(benchmark::State& state) {
    const auto count = static_cast<size_t>(state.range(0));
    const auto lines = MakeLogLines(count);
    for (auto _ : state) {
        std::atomic<size_t> delivered{0};
        TZULMsgPump<std::string> pump(
            false, 20, false, [&](std::string line) { delivered.fetch_add(line.empty() ? 0 : 1); }, false,
            100'000, 90'000);
        pump.SetBurstSize(50);
        for (const auto& line : lines) {
            std::string item = line;
            while (!pump.Post(item, 2)) std::this_thread::yield();
        }
        while (delivered.load() < count) std::this_thread::yield();
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * count));
}
BENCHMARK(BM_MsgPumpLogLines)->Arg(200'000)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
