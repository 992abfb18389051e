// Throughput of the frame filter per capture mode, of the data trigger scan and of
// reading a settings section with an oversized trigger.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <vector>

#include "ZChecksum.h"
#include "ZDataTriggers.h"
#include "ZFilter.h"
#include "ZLoggerSettings.h"
#include "ZULIniFile.h"

namespace {

using Bytes = std::vector<uint8_t>;

constexpr size_t StreamSize = 16 * 1024 * 1024;
constexpr size_t ChunkSize = 500;

ZLoggerSettings SettingsFor(uint8_t mode) {
    ZLoggerSettings s;
    s.CaptureMode = mode;
    s.TriggerStart = {0x02, 0x7E, AnyByte};
    s.TriggerStop = {0x03, 0x0D};
    s.BytesAfterTrigger = 64;
    s.StartAmountOfBytes = 2;
    s.AmountOfBytesWidth = 1;
    return s;
}

// Frames with noise between them: start trigger (its third byte the data length),
// data, stop trigger.
Bytes GenerateStream(size_t minData, size_t maxData) {
    std::mt19937 random(12345);
    Bytes stream;
    stream.reserve(StreamSize + maxData + 64);
    while (stream.size() < StreamSize) {
        for (size_t n = random() % 24; n > 0; --n) stream.push_back(static_cast<uint8_t>(random()));
        const size_t length = minData + random() % (maxData - minData + 1);
        stream.push_back(0x02);
        stream.push_back(0x7E);
        stream.push_back(static_cast<uint8_t>(length));
        for (size_t n = 0; n < length; ++n) stream.push_back(static_cast<uint8_t>(random()));
        stream.push_back(0x03);
        stream.push_back(0x0D);
    }
    stream.resize(StreamSize);
    return stream;
}

void FeedStream(benchmark::State& state, uint8_t mode, int32_t checksum = caNone) {
    static const Bytes stream = GenerateStream(16, 250);
    ZLoggerSettings settings = SettingsFor(mode);
    settings.Frames.ChecksumAlgorithm = checksum;
    int64_t handedOut = 0;
    ZFilter filter(&settings,
                   [&](const TDateTime&, const uint8_t*, int length, uint8_t) { handedOut += length; });
    int64_t overflows = 0;
    for (auto _ : state) {
        filter.Reset();
        for (size_t at = 0; at < stream.size(); at += ChunkSize)
            overflows += filter.FeedData(stream.data() + at, static_cast<int>(ChunkSize)) ? 0 : 1;
        filter.Flush();
    }
    benchmark::DoNotOptimize(handedOut);
    state.counters["overflows"] = static_cast<double>(overflows);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(stream.size()));
}

void BM_FilterAllBytes(benchmark::State& state) {
    FeedStream(state, cmAllBytes);
}
void BM_FilterFixedSize(benchmark::State& state) {
    FeedStream(state, cmFixedSize);
}
void BM_FilterDynamicSize(benchmark::State& state) {
    FeedStream(state, cmDynamicSize);
}
void BM_FilterBetweenTriggers(benchmark::State& state) {
    FeedStream(state, cmBetweenTriggers);
}
// The same frames with a checksum checked in each (most of them wrong: the data is random).
void BM_FilterDynamicSizeCrc32(benchmark::State& state) {
    FeedStream(state, cmDynamicSize, caCrc32);
}
void BM_FilterBetweenTriggersCrc32(benchmark::State& state) {
    FeedStream(state, cmBetweenTriggers, caCrc32);
}

// Checksum throughput over 1 MiB, per algorithm.
void BM_Checksum(benchmark::State& state) {
    static const Bytes bytes = GenerateStream(16, 250);
    const auto algorithm = static_cast<int32_t>(state.range(0));
    const size_t size = 1 << 20;
    uint32_t value = 0;
    for (auto _ : state) {
        ZChecksum checksum(algorithm);
        checksum.Update(bytes.data(), size);
        value ^= checksum.Value();
    }
    benchmark::DoNotOptimize(value);
    state.SetLabel(ZChecksum::Name(algorithm));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(size));
}

// Frames of about 8 KiB between a start and a stop trigger: with a rescan from the
// front for every chunk, this would cost quadratic time per frame.
void BM_FilterBetweenTriggersLongFrames(benchmark::State& state) {
    static const Bytes stream = [] {
        std::mt19937 random(777);
        Bytes bytes;
        while (bytes.size() < StreamSize) {
            bytes.push_back(0x02);
            bytes.push_back(0x7E);
            bytes.push_back(0x00);
            for (int n = 0; n < 8000; ++n) bytes.push_back(static_cast<uint8_t>(0x20 + random() % 0x5F));
            bytes.push_back(0x03);
            bytes.push_back(0x0D);
        }
        bytes.resize(StreamSize);
        return bytes;
    }();
    const ZLoggerSettings settings = SettingsFor(cmBetweenTriggers);
    int64_t handedOut = 0;
    ZFilter filter(&settings,
                   [&](const TDateTime&, const uint8_t*, int length, uint8_t) { handedOut += length; });
    for (auto _ : state) {
        filter.Reset();
        for (size_t at = 0; at < stream.size(); at += ChunkSize)
            filter.FeedData(stream.data() + at, static_cast<int>(ChunkSize));
        filter.Flush();
    }
    benchmark::DoNotOptimize(handedOut);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(stream.size()));
}

void BM_DataTriggerScan(benchmark::State& state) {
    std::mt19937 random(99);
    std::vector<Bytes> blocks;
    int64_t total = 0;
    while (total < 4 * 1024 * 1024) {
        Bytes block(16 + random() % 240);
        for (auto& b : block) b = static_cast<uint8_t>(random());
        total += static_cast<int64_t>(block.size());
        blocks.push_back(std::move(block));
    }
    ZDataTriggers triggers;
    triggers.Add(TTriggerSequence{0x41, 0x42});
    triggers.Add(TTriggerSequence{0x0D, 0x0A});
    triggers.Add(TTriggerSequence{AnyByte, 0x7E, AnyByte});
    triggers.Add(TTriggerSequence{0x10, 0x20, 0x30, 0x40});
    int64_t matches = 0;
    ZDataTriggerParser parser(triggers, [&](const TDateTime&, int) { ++matches; });
    for (auto _ : state) {
        for (const Bytes& block : blocks) parser.Scan(block.data(), static_cast<int>(block.size()));
    }
    benchmark::DoNotOptimize(matches);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * total);
}

// A settings file may claim a trigger of two billion elements; reading it must stay cheap.
void BM_ReadHugeTriggerSize(benchmark::State& state) {
    ZULIniFile ini;
    ini.WriteString(ZLoggerSettings::IniSection, "TriggerStartSize", "2000000000");
    ZLoggerSettings settings;
    for (auto _ : state) {
        settings.ReadFromIni(ini);
        benchmark::DoNotOptimize(settings.TriggerStart.data());
    }
    state.counters["elements"] = static_cast<double>(settings.TriggerStart.size());
}

}  // namespace

BENCHMARK(BM_FilterAllBytes)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FilterFixedSize)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FilterDynamicSize)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FilterBetweenTriggers)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FilterDynamicSizeCrc32)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FilterBetweenTriggersCrc32)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Checksum)->DenseRange(1, 10)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FilterBetweenTriggersLongFrames)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DataTriggerScan)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadHugeTriggerSize)->Unit(benchmark::kMillisecond);
