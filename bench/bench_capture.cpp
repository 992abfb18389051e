// How fast the capture path drains a device, and how fast a replay runs through the
// whole engine (chunk pump, filter, counters, log writer).

#include <benchmark/benchmark.h>
#include <pty.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <thread>
#include <vector>

#include "ZLogger.h"
#include "ZSerialCapture.h"

namespace {

class CountingCapture : public ZSerialCapture {
public:
    CountingCapture() : ZSerialCapture(20, 500) {}
    ~CountingCapture() override { StopCaptureThread(); }
    void ProcessData(const uint8_t* /*bytes*/, int count) override {
        received_ += static_cast<uint64_t>(count);
    }
    uint64_t Received() const { return received_; }

private:
    std::atomic<uint64_t> received_{0};
};

// inMemory: under /dev/shm where it exists, so that the engine is timed rather than the
// disk's file creation (which dominates on a busy ext4 volume).
std::filesystem::path MakeTempDir(bool inMemory) {
    const std::filesystem::path base = inMemory && std::filesystem::is_directory("/dev/shm")
                                           ? std::filesystem::path("/dev/shm")
                                           : std::filesystem::temp_directory_path();
    std::string pattern = (base / "kestrun-bench-XXXXXX").string();
    return mkdtemp(pattern.data()) ? pattern : std::string();
}

// A device that sends as fast as the pseudo-terminal takes it: the 20 ms poll must keep up.
void BM_CaptureDrainsPseudoTerminal(benchmark::State& state) {
    int master = -1, slave = -1;
    char name[256] = {};
    if (openpty(&master, &slave, name, nullptr, nullptr) != 0) {
        state.SkipWithError("openpty failed");
        return;
    }
    CountingCapture capture;
    capture.GetPort().SetDevicePath(name);
    if (!capture.OpenPort()) {
        state.SkipWithError("the pseudo-terminal did not open");
        return;
    }
    const std::vector<uint8_t> block(static_cast<size_t>(state.range(0)), 0x5A);
    uint64_t expected = 0;
    for (auto _ : state) {
        size_t done = 0;
        while (done < block.size()) {
            const ssize_t n = write(master, block.data() + done, block.size() - done);
            if (n <= 0) break;
            done += static_cast<size_t>(n);
        }
        expected += done;
        while (capture.Received() < expected) std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    capture.ClosePort();
    close(master);
    close(slave);
    state.SetBytesProcessed(static_cast<int64_t>(expected));
}
BENCHMARK(BM_CaptureDrainsPseudoTerminal)->Arg(1 << 20)->UseRealTime()->Unit(benchmark::kMillisecond);

// Frames between triggers replayed through the logger, log files written at the end.
void BM_ReplayThroughLogger(benchmark::State& state) {
    const auto dir = MakeTempDir(state.range(0) != 0);
    ZLoggerSettings settings;
    settings.LogDir = dir.string() + "/";
    settings.CaptureMode = cmBetweenTriggers;
    settings.SetTriggerStart(std::vector<int32_t>{0x02}.data(), 1);
    settings.SetTriggerStop(std::vector<int32_t>{0x03}.data(), 1);
    settings.DataTriggers.Add(std::vector<int32_t>{0x41, 0x42});
    ZLogger logger(settings);

    std::vector<uint8_t> stream;
    while (stream.size() < (1u << 20)) {
        stream.push_back(0x02);
        for (int i = 0; i < 300; ++i) stream.push_back(static_cast<uint8_t>(0x20 + i % 90));
        stream.push_back(0x03);
    }
    for (auto _ : state) {
        logger.BeginReplay();
        logger.FeedReplay(stream.data(), static_cast<int>(stream.size()));
        logger.EndReplay();
        logger.GetLogFileManager().TakeWrittenFiles();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * stream.size()));
    std::filesystem::remove_all(dir);
}
BENCHMARK(BM_ReplayThroughLogger)
    ->ArgName("in_memory")
    ->Arg(1)
    ->Arg(0)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace
