// What precise time costs: a device sending 100 KB/s through a pseudo-terminal,
// captured with the poll (first argument 0) or with waits for the port and
// microsecond stamps (1). The second argument is the write interval in ms: 5 as the
// demo device (`kestrun-cli simulate`) writes, 1 for a harsher line. Reports the
// capture's share of one core (the writer thread left out), its wake-ups per
// second, and the median time from a byte's write to the read that returned it
// (precise time only).

#include <benchmark/benchmark.h>
#include <dirent.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "../app/cli/ZPseudoTerminal.h"
#include "ZSerialCapture.h"
#include "ZULDateTime.h"

namespace {

constexpr int BytesPerSecond = 100'000;
constexpr auto RunFor = std::chrono::seconds(10);

// When each write went out, by the offset of its first byte in the stream.
class WriteLog {
public:
    void Add(uint64_t offset, int64_t us) {
        std::lock_guard guard(lock_);
        writes_.emplace_back(offset, us);
    }
    int64_t TimeOf(uint64_t offset) {
        std::lock_guard guard(lock_);
        auto it = std::upper_bound(writes_.begin(), writes_.end(), std::make_pair(offset, INT64_MAX));
        return it == writes_.begin() ? 0 : std::prev(it)->second;
    }

private:
    std::mutex lock_;  // guards writes_
    std::vector<std::pair<uint64_t, int64_t>> writes_;
};

class LatencyCapture : public ZSerialCapture {
public:
    explicit LatencyCapture(WriteLog& log) : ZSerialCapture(20, 500), log_(log) {}
    ~LatencyCapture() override { StopCaptureThread(); }
    void ProcessData(const uint8_t* /*bytes*/, int count) override {
        received_ += static_cast<uint64_t>(count);
    }
    void ProcessTimedData(const uint8_t* /*bytes*/, int count, TDateTime /*time*/, int64_t timeUs) override {
        const int64_t written = log_.TimeOf(received_);
        if (written != 0) latencies_.push_back(timeUs - written);
        received_ += static_cast<uint64_t>(count);
    }
    uint64_t Received() const { return received_; }
    // Pump thread only, or after the capture ended.
    std::vector<int64_t>& Latencies() { return latencies_; }

private:
    WriteLog& log_;
    std::atomic<uint64_t> received_{0};
    std::vector<int64_t> latencies_;
};

// Context switches (voluntary and not) of every thread of the process but one.
long SwitchesWithout(pid_t left) {
    long total = 0;
    DIR* tasks = opendir("/proc/self/task");
    if (tasks == nullptr) return 0;
    while (const dirent* entry = readdir(tasks)) {
        if (entry->d_name[0] == '.' || std::atoi(entry->d_name) == left) continue;
        std::ifstream status(std::string("/proc/self/task/") + entry->d_name + "/status");
        for (std::string line; std::getline(status, line);)
            if (line.find("ctxt_switches:") != std::string::npos)
                total += std::atol(line.c_str() + line.find(':') + 1);
    }
    closedir(tasks);
    return total;
}

double CpuSeconds(int who) {
    rusage usage{};
    getrusage(who, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

void BM_Capture100KBps(benchmark::State& state) {
    ZPseudoTerminal pty;
    if (!pty.Open()) {
        state.SkipWithError("openpty failed");
        return;
    }
    WriteLog log;
    LatencyCapture capture(log);
    capture.SpreadChunks(false);
    capture.SetPreciseTime(state.range(0) != 0, 0);
    capture.GetPort().SetDevicePath(pty.SlavePath());
    if (!capture.OpenPort()) {
        state.SkipWithError("the pseudo-terminal did not open");
        return;
    }
    for (auto _ : state) {
        std::atomic<pid_t> writerId{0};
        std::atomic<double> writerCpu{0};
        std::atomic<bool> started{false};
        double processStart = 0;
        long switchesStart = 0;
        const auto begin = std::chrono::steady_clock::now();
        std::thread writer([&] {
            writerId = static_cast<pid_t>(syscall(SYS_gettid));
            while (!started) std::this_thread::yield();
            const auto writeEvery = std::chrono::milliseconds(state.range(1));
            const auto bytesPerWrite = static_cast<ssize_t>(BytesPerSecond * state.range(1) / 1000);
            const std::vector<uint8_t> block(static_cast<size_t>(bytesPerWrite), 0x5A);
            uint64_t offset = 0;
            auto next = std::chrono::steady_clock::now();
            while (std::chrono::steady_clock::now() - begin < RunFor) {
                log.Add(offset, ZULNowMicros());
                if (write(pty.Master(), block.data(), block.size()) == bytesPerWrite) offset += block.size();
                next += writeEvery;
                std::this_thread::sleep_until(next);
            }
            writerCpu = CpuSeconds(RUSAGE_THREAD);
        });
        while (writerId == 0) std::this_thread::yield();
        processStart = CpuSeconds(RUSAGE_SELF);
        switchesStart = SwitchesWithout(writerId);
        started = true;
        writer.join();
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
        state.counters["core_share_percent"] =
            (CpuSeconds(RUSAGE_SELF) - processStart - writerCpu) / seconds * 100;
        state.counters["wakeups_per_s"] =
            static_cast<double>(SwitchesWithout(writerId) - switchesStart) / seconds;
    }
    capture.ClosePort();
    std::vector<int64_t>& latencies = capture.Latencies();
    if (!latencies.empty()) {
        std::nth_element(latencies.begin(), latencies.begin() + latencies.size() / 2, latencies.end());
        state.counters["median_latency_us"] = static_cast<double>(latencies[latencies.size() / 2]);
    }
    state.counters["bytes"] = static_cast<double>(capture.Received());
}
BENCHMARK(BM_Capture100KBps)
    ->Args({0, 5})
    ->Args({1, 5})
    ->Args({0, 1})
    ->Args({1, 1})
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kSecond);

}  // namespace
