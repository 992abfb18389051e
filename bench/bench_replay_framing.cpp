// Replay throughput of the frames that need no start trigger against capture mode 3,
// with the same frames: the demonstration device's reports (length byte and text) as
// mode 3 sends them (7E A5, report, 0D 0A, noise), as lines (report, 0D 0A), and as
// SLIP and COBS frames of the report. 32 MiB each, fed in reads of 500 bytes, every
// block logged into files or only counted; the stop steps are part of each run.

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

// The report of a mode 3 frame: what its data block holds.
std::vector<uint8_t> ReportOf(const std::vector<uint8_t>& frame) {
    const size_t length = 1 + frame[2];
    return {frame.begin() + 2, frame.begin() + 2 + static_cast<std::ptrdiff_t>(length)};
}

const std::vector<uint8_t>& Stream(uint8_t captureMode) {
    static std::vector<uint8_t> streams[cmLastKnown + 1];
    std::vector<uint8_t>& stream = streams[captureMode];
    if (!stream.empty()) return stream;
    ZDemoFrameSource source(ZDemoMode::Between);
    const IZFrameCodec* codec = ZFrameCodecOfMode(captureMode);
    std::vector<uint8_t> frame;
    stream.reserve(kStreamBytes + 64);
    while (stream.size() < kStreamBytes) {
        frame.clear();
        source.AppendFrame(frame);
        if (captureMode == cmBetweenTriggers) {
            stream.insert(stream.end(), frame.begin(), frame.end());
            continue;
        }
        const std::vector<uint8_t> report = ReportOf(frame);
        if (codec != nullptr) {
            codec->Encode(report.data(), report.size(), stream);
        } else {
            stream.insert(stream.end(), report.begin(), report.end());
            stream.insert(stream.end(), {0x0D, 0x0A});
        }
    }
    return stream;
}

ZLoggerSettings SettingsFor(uint8_t captureMode, bool logged, const std::string& logDir) {
    ZLoggerSettings settings;
    settings.LogDir = logDir;
    settings.LogStartTrigger = settings.LogStopTrigger = settings.LogDataField = logged;
    settings.CaptureMode = captureMode;
    settings.MaxBytesInLogLine = 24;
    if (captureMode == cmBetweenTriggers) settings.TriggerStart = {0x7E, 0xA5};
    if (ZStopTriggerEndsFrame(captureMode)) settings.TriggerStop = {0x0D, 0x0A};
    settings.DataTriggers.Add({0x4F, 0x4B});
    settings.DataTriggers.Add({0x41, 0x4C, 0x41, 0x52, 0x4D});
    settings.DataTriggers.Add({0x23, AnyByte, AnyByte, AnyByte, AnyByte, AnyByte, 0x30});
    return settings;
}

void BM_ReplayFraming(benchmark::State& state) {
    const auto captureMode = static_cast<uint8_t>(state.range(0));
    const std::vector<uint8_t>& stream = Stream(captureMode);
    BenchLogDir logDir;
    ZLogger logger(SettingsFor(captureMode, state.range(1) != 0, logDir.Path()));
    auto replay = [&] { BenchReplayStream(logger, stream, kChunk); };
    // One run untimed, as in the replay benchmark: first-touched memory costs the host too.
    replay();
    logger.GetLogFileManager().TakeWrittenFiles();
    logDir.Empty();
    for (auto _ : state) {
        replay();
        state.PauseTiming();
        if (logger.TotalBytes != stream.size()) state.SkipWithError("bytes were lost");
        logger.GetLogFileManager().TakeWrittenFiles();
        logDir.Empty();
        state.ResumeTiming();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * stream.size()));
    state.counters["frames"] = logger.DataPacketCount;
    state.counters["errors"] = logger.GetErrorHistory().GetCount();
}

}  // namespace

BENCHMARK(BM_ReplayFraming)
    ->ArgNames({"mode", "logged"})
    ->ArgsProduct({{cmBetweenTriggers, cmUntilStopTrigger, cmSlip, cmCobs}, {1, 0}})
    ->Iterations(2)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
