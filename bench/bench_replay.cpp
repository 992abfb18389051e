// Replay throughput per capture mode: a large stream of frames fed through the
// same path a received chunk takes, with every block logged into files (the stop
// steps, including the last file, are part of each run).
//
// Two kinds of stream: the demonstration device's short frames (about 25 bytes,
// so every input byte becomes about 13 bytes of log text, most of it separator
// and header lines), and frames of a few hundred bytes (about 7 bytes of log
// text per input byte).

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "../app/cli/ZDemoFrameSource.h"
#include "BenchLogDir.h"
#include "BenchReplay.h"
#include "ZLogger.h"

namespace {

constexpr size_t kStreamBytes = 32u << 20;
constexpr int kChunk = 500;

constexpr uint8_t kLargeFrameBytes = 240;  // fixed size of a large frame
constexpr uint8_t kLargeFrameMin = 200;    // sizes of a large frame with a length field

const std::vector<uint8_t>& DemoStream(ZDemoMode mode) {
    static std::vector<uint8_t> streams[3];
    std::vector<uint8_t>& stream = streams[static_cast<int>(mode)];
    if (stream.empty()) {
        ZDemoFrameSource source(mode);
        stream.reserve(kStreamBytes + 64);
        while (stream.size() < kStreamBytes) source.AppendFrame(stream);
    }
    return stream;
}

// Frames shaped like the demonstration device's (7E A5, length, text, CR LF, a few
// bytes of noise) with payloads of 200 to 255 bytes, or always 240 bytes when fixed.
const std::vector<uint8_t>& LargeFrameStream(bool fixedSize) {
    static std::vector<uint8_t> streams[2];
    std::vector<uint8_t>& stream = streams[fixedSize ? 1 : 0];
    if (stream.empty()) {
        uint32_t random = 12345;
        auto next = [&random] {
            random = random * 1664525u + 1013904223u;
            return random >> 8;
        };
        stream.reserve(kStreamBytes + 512);
        while (stream.size() < kStreamBytes) {
            const auto size = fixedSize
                                  ? kLargeFrameBytes
                                  : static_cast<uint8_t>(kLargeFrameMin + next() % (256 - kLargeFrameMin));
            stream.insert(stream.end(), {0x7E, 0xA5, size});
            // 0x20..0x7D: printable, and neither a sync byte nor CR or LF.
            for (int i = fixedSize ? 1 : 0; i < size; ++i)
                stream.push_back(static_cast<uint8_t>(0x20 + next() % 0x5E));
            stream.insert(stream.end(), {0x0D, 0x0A});
            for (uint32_t noise = next() % 4; noise > 0; --noise)
                stream.push_back(static_cast<uint8_t>(0x20 + next() % 0x5E));
        }
    }
    return stream;
}

// The settings of the bundled sample files (samples/demo_<mode>.scs), plus "all
// bytes"; without logging only the counters and the data triggers see the blocks.
ZLoggerSettings SettingsFor(uint8_t captureMode, bool logged, bool largeFrames, const std::string& logDir) {
    ZLoggerSettings settings;
    settings.LogDir = logDir;
    settings.LogStartTrigger = settings.LogStopTrigger = settings.LogDataField = logged;
    settings.CaptureMode = captureMode;
    settings.MaxBytesInLogLine = 24;
    const int32_t start[] = {0x7E, 0xA5, AnyByte};
    const int32_t stop[] = {0x0D, 0x0A};
    switch (captureMode) {
        case cmFixedSize:
            settings.SetTriggerStart(start, 2);
            settings.BytesAfterTrigger = largeFrames ? kLargeFrameBytes : 21;
            break;
        case cmDynamicSize:
            settings.SetTriggerStart(start, 3);
            settings.StartAmountOfBytes = 2;
            break;
        case cmBetweenTriggers:
            settings.SetTriggerStart(start, 2);
            settings.SetTriggerStop(stop, 2);
            break;
        default:
            break;
    }
    settings.DataTriggers.Add({0x4F, 0x4B});
    settings.DataTriggers.Add({0x41, 0x4C, 0x41, 0x52, 0x4D});
    settings.DataTriggers.Add({0x23, AnyByte, AnyByte, AnyByte, AnyByte, AnyByte, 0x30});
    return settings;
}

void BM_Replay(benchmark::State& state) {
    const auto captureMode = static_cast<uint8_t>(state.range(0));
    const bool largeFrames = state.range(1) != 0;
    const bool fixedSize = captureMode == cmFixedSize;
    const std::vector<uint8_t>& stream = largeFrames
                                             ? LargeFrameStream(fixedSize)
                                             : DemoStream(fixedSize ? ZDemoMode::Fixed : ZDemoMode::Dynamic);
    BenchLogDir logDir;
    ZLogger logger(SettingsFor(captureMode, state.range(2) != 0, largeFrames, logDir.Path()));
    auto replay = [&] { BenchReplayStream(logger, stream, kChunk); };
    // One run untimed: memory that a virtual machine touches for the first time costs
    // the host's work too, which would make whichever case runs first look slow.
    replay();
    logger.GetLogFileManager().TakeWrittenFiles();
    logDir.Empty();
    size_t files = 0;
    for (auto _ : state) {
        replay();
        state.PauseTiming();
        if (logger.TotalBytes != stream.size()) state.SkipWithError("bytes were lost");
        files = logger.GetLogFileManager().TakeWrittenFiles().size();
        logDir.Empty();
        state.ResumeTiming();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * stream.size()));
    state.counters["log_files"] = static_cast<double>(files);
    state.counters["errors"] = logger.GetErrorHistory().GetCount();
}

}  // namespace

BENCHMARK(BM_Replay)
    ->ArgNames({"mode", "large_frames", "logged"})
    ->ArgsProduct({{cmAllBytes, cmFixedSize, cmDynamicSize, cmBetweenTriggers}, {0, 1}, {1, 0}})
    ->Iterations(2)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
