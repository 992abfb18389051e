// The proxy's forwarding, pseudo-terminal to pseudo-terminal: a device (the slave of
// one pair) and the program's side (the proxy's own pseudo-terminal master, its slave
// opened here as the program opens it). BM_ProxyLatency times single bytes from the
// device's master to the program's side: the median and 99th percentile added
// (targets 1 ms and 5 ms). BM_ProxyFaithful streams 1 MB/s each way for a few seconds
// and counts the bytes lost and the bytes changed (target 0 each).

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <thread>
#include <vector>

#include "../app/cli/ZPseudoTerminal.h"
#include "BenchLogDir.h"
#include "SerialPlatform.h"
#include "ZLogger.h"

namespace {

using Clock = std::chrono::steady_clock;

// A running proxy between device and a program side opened here.
class Proxy {
public:
    explicit Proxy(const std::string& device) {
        settings_.LogDir = logDir_.Path();
        settings_.CaptureMode = cmAllBytes;
        settings_.Frames.PreciseTime = true;
        logger_ = std::make_unique<ZLogger>(settings_);
        logger_->SetSecondLine(true);
        logger_->SetForwarding(true);
        logger_->GetPort(0).SetDevicePath(device);
        logger_->GetPort(1).SetDevicePath(PtyMasterDevice);
        if (!logger_->StartCapture()) return;
        program_ =
            open(logger_->GetPort(1).GetPeerDevice().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        termios raw{};
        if (program_ >= 0 && tcgetattr(program_, &raw) == 0) {
            cfmakeraw(&raw);
            tcsetattr(program_, TCSANOW, &raw);
        }
    }
    ~Proxy() {
        if (logger_) logger_->StopCapture();
        if (program_ >= 0) close(program_);
    }
    int Program() const { return program_; }
    ZLogger& Logger() { return *logger_; }

private:
    BenchLogDir logDir_;
    ZLoggerSettings settings_;
    std::unique_ptr<ZLogger> logger_;
    int program_ = -1;
};

// Reads until count bytes came into into (or 10 s passed); returns the count read.
size_t ReadCount(int fd, std::vector<uint8_t>& into, size_t count) {
    const auto limit = Clock::now() + std::chrono::seconds(10);
    while (into.size() < count && Clock::now() < limit) {
        pollfd readable{fd, POLLIN, 0};
        poll(&readable, 1, 10);
        uint8_t buffer[4096];
        const ssize_t got = read(fd, buffer, std::min(sizeof buffer, count - into.size()));
        if (got > 0) into.insert(into.end(), buffer, buffer + got);
    }
    return into.size();
}

void BM_ProxyLatency(benchmark::State& state) {
    ZPseudoTerminal device;
    if (!device.Open()) {
        state.SkipWithError("no pseudo-terminal");
        return;
    }
    Proxy proxy(device.SlavePath());
    if (proxy.Program() < 0) {
        state.SkipWithError("the proxy did not start");
        return;
    }
    std::vector<double> micros;
    for (auto _ : state) {
        const uint8_t byte = static_cast<uint8_t>(micros.size());
        const auto start = Clock::now();
        if (write(device.Master(), &byte, 1) != 1) break;
        std::vector<uint8_t> got;
        if (ReadCount(proxy.Program(), got, 1) != 1 || got[0] != byte) {
            state.SkipWithError("a byte was lost or changed");
            return;
        }
        micros.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
    }
    std::sort(micros.begin(), micros.end());
    state.counters["median_us"] = micros[micros.size() / 2];
    state.counters["p99_us"] = micros[micros.size() * 99 / 100];
}

void BM_ProxyFaithful(benchmark::State& state) {
    constexpr size_t Rate = 1'000'000;
    constexpr int Seconds = 4;
    ZPseudoTerminal device;
    if (!device.Open()) {
        state.SkipWithError("no pseudo-terminal");
        return;
    }
    Proxy proxy(device.SlavePath());
    if (proxy.Program() < 0) {
        state.SkipWithError("the proxy did not start");
        return;
    }
    std::vector<uint8_t> stream(Rate * Seconds);
    for (size_t i = 0; i < stream.size(); ++i) stream[i] = static_cast<uint8_t>(i * 7 + i / 253);
    size_t lost = 0;
    size_t changed = 0;
    for (auto _ : state) {
        std::vector<uint8_t> atProgram, atDevice;
        const auto paced = [&](int fd) {
            const size_t slice = Rate / 1000;
            auto next = Clock::now();
            for (size_t done = 0; done < stream.size(); next += std::chrono::milliseconds(1)) {
                const ssize_t put = write(fd, stream.data() + done, std::min(slice, stream.size() - done));
                if (put > 0) done += static_cast<size_t>(put);
                std::this_thread::sleep_until(next);
            }
        };
        std::thread toProgram([&] { paced(device.Master()); });
        std::thread toDevice([&] { paced(proxy.Program()); });
        std::thread readDevice([&] { ReadCount(device.Master(), atDevice, stream.size()); });
        ReadCount(proxy.Program(), atProgram, stream.size());
        toProgram.join();
        toDevice.join();
        readDevice.join();
        for (const auto* got : {&atProgram, &atDevice}) {
            lost += stream.size() - got->size();
            for (size_t i = 0; i < got->size(); ++i) changed += (*got)[i] != stream[i] ? 1 : 0;
        }
    }
    state.counters["bytes_lost"] = static_cast<double>(lost);
    state.counters["bytes_changed"] = static_cast<double>(changed);
    state.counters["errors"] = proxy.Logger().GetErrorHistory().GetErrorCount();
}

}  // namespace

BENCHMARK(BM_ProxyLatency)->Iterations(2000)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_ProxyFaithful)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
