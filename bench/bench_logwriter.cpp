// Input bytes per second that the log file writer formats and writes into files:
// blocks of 300 bytes, HEX and ASCII on, 32 bytes per line, 500 lines per file.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <vector>

#include "BenchLogDir.h"
#include "ZFilter.h"
#include "ZLogFileManager.h"
#include "ZLoggerSettings.h"
#include "ZULDateTime.h"
#include "ZULErrorHistory.h"

namespace {

constexpr int BlockSize = 300;
constexpr int BlocksPerIteration = 50000;
constexpr double DayFractionPerMs = 1.0 / 86'400'000.0;

void BM_LogBlockFormatAndWrite(benchmark::State& state) {
    BenchLogDir dir;
    ZLoggerSettings settings;
    settings.LogDir = dir.Path();
    settings.MaxBytesInLogLine = 32;
    settings.MaxLinesInLogFile = 500;
    TZULErrorHistory errors;
    ZLogFileManager writer(&settings, &errors);
    // Every byte counted must really reach a file, so the queue makes the producer wait.
    writer.SetWaitWhenFull(true);

    std::vector<uint8_t> block(BlockSize);
    for (int i = 0; i < BlockSize; ++i) block[static_cast<size_t>(i)] = static_cast<uint8_t>(i * 151 + 7);
    const TDateTime start = ZULEncodeDateTime({2024, 5, 17, 9, 30, 0, 0});

    auto logAll = [&] {
        for (int i = 0; i < BlocksPerIteration; ++i) {
            writer.LogBlock(block.data(), BlockSize, start + i * DayFractionPerMs, bkData);
        }
        writer.Flush();
    };
    // One round untimed: memory that a virtual machine touches for the first time costs
    // the host's work too.
    logAll();
    writer.TakeWrittenFiles();
    for (auto _ : state) logAll();
    if (errors.GetCount() != 0) state.SkipWithError(errors.GetLatestError().Error.c_str());
    state.SetBytesProcessed(state.iterations() * BlocksPerIteration * BlockSize);
    state.counters["files"] = benchmark::Counter(static_cast<double>(writer.TakeWrittenFiles().size()),
                                                 benchmark::Counter::kIsRate);
}
// The files stay until the end: on ext4, creating files right after deleting thousands
// makes the inode allocator skip the recently freed ones, which would be measured too.
// A fixed count of iterations bounds the disk space (about 100 MB of files each).
BENCHMARK(BM_LogBlockFormatAndWrite)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace
