// Loading a settings file of the largest size the programs accept (16 MB), in the
// shapes that ask the most of the profile reader: a great many sections before
// the real ones, and a great many data triggers. Each run reads the file from
// disk, parses it and takes every setting from it, as loading a file in the
// programs does. The argument is the file size; the smaller sizes show how the
// time grows with it. peak_RSS_MB is the process's peak so far: run one shape and
// size alone (--benchmark_filter) to read the memory that load needs.

#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "BenchLogDir.h"
#include "ZLoggerSettings.h"
#include "ZULIniFile.h"

namespace {

// The files stay within the size the programs read (16 MB counts as read).
constexpr size_t kLongestLine = 32;

// The real sections, with start and stop triggers of the largest size read but
// without their elements: every element is looked up and found missing.
std::string RealSections() {
    return "[_logger_settings]\r\nCaptureMode=1\r\nTriggerStartSize=16384\r\nTriggerStopSize=16384\r\n"
           "[_frames]\r\nChecksumAlgorithm=1\r\n";
}

// Short empty sections of distinct names in front of the real ones.
std::string ManySections(size_t size) {
    std::string text;
    text.reserve(size + 64);
    const std::string real = RealSections();
    for (size_t i = 0; text.size() + real.size() + kLongestLine < size; ++i) {
        // Appended piece by piece: GCC 12 at -O3 takes "literal" + temporary for an overlapping copy.
        text += '[';
        text += std::to_string(i);
        text += "]\r\n";
    }
    return text + real;
}

// One data trigger per line.
std::string ManyDataTriggers(size_t size) {
    std::string text = "[_data_triggers]\r\n";
    text.reserve(size + 64);
    for (int i = 0; text.size() + kLongestLine < size; ++i) {
        text += "_trigger_";
        text += std::to_string(i);
        text += "=7E\r\n";
    }
    return text;
}

void Load(benchmark::State& state, std::string (*shape)(size_t)) {
    const BenchLogDir dir;
    const std::string file = dir.Path() + "settings.scs";
    const std::string text = shape(static_cast<size_t>(state.range(0)));
    std::FILE* out = std::fopen(file.c_str(), "wb");
    if (out == nullptr || std::fwrite(text.data(), 1, text.size(), out) != text.size() ||
        std::fclose(out) != 0) {
        state.SkipWithError("cannot write the settings file");
        return;
    }
    size_t triggers = 0;
    for (auto _ : state) {
        const ZULIniFile ini(file);
        ZLoggerSettings settings;
        settings.ReadFromIni(ini);
        triggers = static_cast<size_t>(settings.DataTriggers.GetCount()) + settings.TriggerStart.size();
        benchmark::DoNotOptimize(triggers);
    }
    struct rusage usage {};
    ::getrusage(RUSAGE_SELF, &usage);
    state.counters["file_MB"] = static_cast<double>(text.size()) / (1 << 20);
    state.counters["peak_RSS_MB"] = static_cast<double>(usage.ru_maxrss) / 1024;
    state.counters["triggers"] = static_cast<double>(triggers);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

void BM_ManySections(benchmark::State& state) {
    Load(state, ManySections);
}
void BM_ManyDataTriggers(benchmark::State& state) {
    Load(state, ManyDataTriggers);
}

BENCHMARK(BM_ManySections)->Arg(256 << 10)->Arg(1 << 20)->Arg(16 << 20)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ManyDataTriggers)->Arg(256 << 10)->Arg(1 << 20)->Arg(16 << 20)->Unit(benchmark::kMillisecond);

}  // namespace
