// What decoding fields costs a replay: ten seconds of a stream of 20,000 frames a
// second, each with 4 text values and 57 bytes of 16 binary values, replayed with
// every block logged, once without fields and once with the 20 fields (LogFields=0,
// so that the log is the same and only the decoding differs). The target: the
// replay with fields takes at most 10 % longer: the runs with fields print
// cpu_vs_none_pct and wall_vs_none_pct, the processor and wall time they took more
// than the mean of the runs without. BM_DecodeFrame is the decoding of one frame's 20
// fields alone.

#include <benchmark/benchmark.h>

#include <time.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "BenchLogDir.h"
#include "BenchReplay.h"
#include "ZFieldDecoder.h"
#include "ZLogger.h"

namespace {

constexpr int kFramesPerSecond = 20000;
constexpr int kSeconds = 10;
constexpr int kChunk = 500;
constexpr int kBinaryBytes = 57;

uint32_t NextRandom(uint32_t& state) {
    state = state * 1664525u + 1013904223u;
    return state >> 8;
}

// "12.5,33,-4.25,T=7.5," then the binary values; the text comes first, so that binary
// bytes never add tokens before the four that are read.
std::vector<uint8_t> FrameData(uint32_t& random) {
    char text[64];
    const int length = std::snprintf(text, sizeof text, "%u.%u,%u,-%u.25,T=%u.5,", NextRandom(random) % 100,
                                     NextRandom(random) % 10, NextRandom(random) % 1000,
                                     NextRandom(random) % 50, NextRandom(random) % 40);
    std::vector<uint8_t> data(text, text + length);
    for (int i = 0; i < kBinaryBytes; ++i) data.push_back(static_cast<uint8_t>(NextRandom(random)));
    // The floats hold numbers (random bits would now and then be NaN).
    const float single = static_cast<float>(NextRandom(random) % 10000) / 8;
    const double twice = static_cast<double>(NextRandom(random) % 10000) / 16;
    std::memcpy(data.data() + data.size() - kBinaryBytes + 34, &single, sizeof single);
    std::memcpy(data.data() + data.size() - kBinaryBytes + 38, &twice, sizeof twice);
    data[data.size() - 1] = 0x5A;  // the byte the matched field requires
    return data;
}

const std::vector<uint8_t>& Stream() {
    static std::vector<uint8_t> stream;
    if (stream.empty()) {
        uint32_t random = 7;
        for (int i = 0; i < kFramesPerSecond * kSeconds; ++i) {
            const std::vector<uint8_t> data = FrameData(random);
            stream.insert(stream.end(), {0x7E, 0xA5, static_cast<uint8_t>(data.size())});
            stream.insert(stream.end(), data.begin(), data.end());
        }
    }
    return stream;
}

ZFieldDefinition Number(const char* name, TFieldType type, int32_t offsetFromEnd, bool msbFirst = true) {
    ZFieldDefinition field;
    field.Name = name;
    field.Type = type;
    field.HasOffset = true;
    field.Offset = offsetFromEnd;
    field.MSBFirst = msbFirst;
    return field;
}

ZFieldDefinition Text(const char* name, int32_t index, const char* prefix = "") {
    ZFieldDefinition field;
    field.Name = name;
    field.Type = ftText;
    field.HasIndex = true;
    field.Index = index;
    field.Prefix = prefix;
    return field;
}

// 16 binary fields over the 57 bytes at the end of the data block, 4 text fields.
ZFieldList BenchFields() {
    ZFieldList list;
    list.LogFields = false;
    auto at = [](int offset) { return offset - kBinaryBytes; };
    list.Items = {Number("u8", ftU8, at(0)),
                  Number("i8", ftI8, at(1)),
                  Number("u16", ftU16, at(2)),
                  Number("i16", ftI16, at(4), false),
                  Number("u24", ftU24, at(6)),
                  Number("i24", ftI24, at(9), false),
                  Number("u32", ftU32, at(12)),
                  Number("i32", ftI32, at(16), false),
                  Number("u64", ftU64, at(20)),
                  Number("i64", ftI64, at(28), false),
                  Number("f32", ftF32, at(34), false),
                  Number("f64", ftF64, at(38), false),
                  Number("bits", ftU16, at(46)),
                  Number("signed bits", ftI16, at(48)),
                  Number("scaled", ftU32, at(50)),
                  Number("matched", ftU16, at(54)),
                  Text("t0", 0),
                  Text("t1", 1),
                  Text("t2", 2),
                  Text("t3", 3, "T=")};
    list.Items[12].HasBits = true;
    list.Items[12].BitStart = 4;
    list.Items[12].BitLength = 8;
    list.Items[13].HasBits = true;
    list.Items[13].BitStart = 3;
    list.Items[13].BitLength = 9;
    list.Items[14].Scale = 0.001;
    list.Items[14].Add = -5;
    list.Items[15].HasMatch = true;
    list.Items[15].MatchOffset = -1;
    list.Items[15].MatchPattern = {0x5A};
    return list;
}

ZLoggerSettings Settings(bool withFields, const std::string& logDir) {
    ZLoggerSettings settings;
    settings.LogDir = logDir;
    settings.CaptureMode = cmDynamicSize;
    const int32_t start[] = {0x7E, 0xA5, AnyByte};
    settings.SetTriggerStart(start, 3);
    settings.StartAmountOfBytes = 2;
    if (withFields) settings.Fields = BenchFields();
    return settings;
}

// The process's processor time and the wall time, in seconds.
struct Times {
    double cpu = 0;
    double wall = 0;
};

Times Now() {
    timespec cpu{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &cpu);
    const auto wall = std::chrono::steady_clock::now().time_since_epoch();
    return {static_cast<double>(cpu.tv_sec) + static_cast<double>(cpu.tv_nsec) * 1e-9,
            std::chrono::duration<double>(wall).count()};
}

// Every replay without fields timed so far in this run, for the ratio of those with.
Times withoutFieldsSum;
int withoutFieldsCount = 0;

void BM_ReplayFields(benchmark::State& state) {
    const bool withFields = state.range(0) != 0;
    const std::vector<uint8_t>& stream = Stream();
    BenchLogDir logDir;
    ZLogger logger(Settings(withFields, logDir.Path()));
    auto replay = [&] { BenchReplayStream(logger, stream, kChunk); };
    // One run untimed, so that neither case pays for memory touched the first time.
    replay();
    logger.GetLogFileManager().TakeWrittenFiles();
    logDir.Empty();
    Times spent;
    for (auto _ : state) {
        const Times start = Now();
        replay();
        const Times end = Now();
        spent.cpu += end.cpu - start.cpu;
        spent.wall += end.wall - start.wall;
        state.PauseTiming();
        if (logger.DataPacketCount != kFramesPerSecond * kSeconds) state.SkipWithError("frames were lost");
        logger.GetLogFileManager().TakeWrittenFiles();
        logDir.Empty();
        state.ResumeTiming();
    }
    const auto replays = static_cast<double>(state.iterations());
    state.counters["frames_per_s"] = benchmark::Counter(replays * kFramesPerSecond * kSeconds,
                                                        benchmark::Counter::kIsRate);
    state.counters["cpu_ms"] = 1e3 * spent.cpu / replays;
    state.counters["wall_ms"] = 1e3 * spent.wall / replays;
    if (!withFields) {
        withoutFieldsSum.cpu += spent.cpu / replays;
        withoutFieldsSum.wall += spent.wall / replays;
        withoutFieldsCount += 1;
    } else if (withoutFieldsCount > 0) {
        // The target: at most 10 % more than the same replay without fields.
        state.counters["cpu_vs_none_pct"] =
            100 * (spent.cpu / replays / (withoutFieldsSum.cpu / withoutFieldsCount) - 1);
        state.counters["wall_vs_none_pct"] =
            100 * (spent.wall / replays / (withoutFieldsSum.wall / withoutFieldsCount) - 1);
    }
}

void BM_DecodeFrame(benchmark::State& state) {
    const ZFieldDecoder decoder(BenchFields());
    uint32_t random = 11;
    const std::vector<uint8_t> data = FrameData(random);
    ZFieldValues values = decoder.MakeValues();
    for (auto _ : state) {
        decoder.Decode(data.data(), static_cast<int>(data.size()), values);
        benchmark::DoNotOptimize(values.PresentCount());
    }
    if (values.PresentCount() != decoder.Count()) state.SkipWithError("a field was absent");
}

}  // namespace

// The CPU column is the whole process's (the replay runs on the engine's threads), which
// a shared machine disturbs less than the wall time.
BENCHMARK(BM_ReplayFields)
    ->ArgName("fields")
    ->Arg(0)
    ->Arg(1)
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();
BENCHMARK(BM_DecodeFrame);
