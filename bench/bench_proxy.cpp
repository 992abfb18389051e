// The proxy's forwarding, pseudo-terminal to pseudo-terminal: a device (the slave of
// one pair, its master played here) and the program's side (the proxy's own
// pseudo-terminal master, its slave opened here as the program opens it), with the
// settings the proxy command uses (mode 0, precise time).
// BM_ProxyLatency times messages from the write on one side to the read of their last
// byte on the other, in turns with the same message over the direct path (one
// pseudo-terminal pair, master to slave or back), so both see the same load. Counters:
// the medians and 99th percentiles of both, and what forwarding adds to each (targets:
// 1 ms median, 5 ms 99th percentile). The messages run through all 256 byte values.
// BM_ProxyFaithful streams 1 MB/s each way at once and compares what arrives with what
// was written, byte by byte (lost and changed: target 0 each), and the bytes the
// engine counted on each line with the bytes written (engine_lost: target 0).

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

#include "../app/cli/ZPseudoTerminal.h"
#include "BenchCapture.h"
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
    Proxy(const Proxy&) = delete;
    Proxy& operator=(const Proxy&) = delete;
    int Program() const { return program_; }
    ZLogger& Logger() { return *logger_; }

private:
    BenchLogDir logDir_;
    ZLoggerSettings settings_;
    std::unique_ptr<ZLogger> logger_;
    int program_ = -1;
};

// Reads from fd into `into` until it holds count bytes or the limit passed; returns its size.
size_t ReadCount(int fd, std::vector<uint8_t>& into, size_t count, Clock::time_point limit) {
    while (into.size() < count && Clock::now() < limit) {
        pollfd readable{fd, POLLIN, 0};
        if (poll(&readable, 1, 10) <= 0 || (readable.revents & POLLIN) == 0) continue;
        uint8_t buffer[4096];
        const ssize_t got = read(fd, buffer, std::min(sizeof buffer, count - into.size()));
        if (got > 0) into.insert(into.end(), buffer, buffer + got);
    }
    return into.size();
}

bool WriteAll(int fd, const std::vector<uint8_t>& bytes) {
    for (size_t done = 0; done < bytes.size();) {
        const ssize_t put = write(fd, bytes.data() + done, bytes.size() - done);
        if (put > 0) {
            done += static_cast<size_t>(put);
            continue;
        }
        if (put < 0 && errno != EAGAIN && errno != EINTR) return false;
        pollfd writable{fd, POLLOUT, 0};
        poll(&writable, 1, 10);
    }
    return true;
}

// Microseconds from the write of message into from to the read of its last byte from
// to; negative when it did not arrive whole and unchanged within 10 s.
double TimeMessage(int from, int to, const std::vector<uint8_t>& message) {
    std::vector<uint8_t> got;
    const auto start = Clock::now();
    if (!WriteAll(from, message)) return -1;
    ReadCount(to, got, message.size(), start + std::chrono::seconds(10));
    const auto end = Clock::now();
    if (got != message) return -1;
    return std::chrono::duration<double, std::micro>(end - start).count();
}

double Percentile(std::vector<double> values, int percent) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, values.size() * static_cast<size_t>(percent) / 100)];
}

void BM_ProxyLatency(benchmark::State& state) {
    const bool toProgram = state.range(0) == 0;
    const auto size = static_cast<size_t>(state.range(1));
    ZPseudoTerminal device;
    ZPseudoTerminal direct;
    if (!device.Open() || !direct.Open()) {
        state.SkipWithError("no pseudo-terminal");
        return;
    }
    Proxy proxy(device.SlavePath());
    if (proxy.Program() < 0) {
        state.SkipWithError("the proxy did not start");
        return;
    }
    const int proxyFrom = toProgram ? device.Master() : proxy.Program();
    const int proxyTo = toProgram ? proxy.Program() : device.Master();
    const int directFrom = toProgram ? direct.Master() : direct.Slave();
    const int directTo = toProgram ? direct.Slave() : direct.Master();
    std::vector<double> viaProxy;
    std::vector<double> viaDirect;
    std::vector<uint8_t> message(size);
    size_t next = 0;
    for (auto _ : state) {
        for (uint8_t& byte : message) byte = static_cast<uint8_t>(next++);
        const double proxied = TimeMessage(proxyFrom, proxyTo, message);
        const double plain = TimeMessage(directFrom, directTo, message);
        if (proxied < 0 || plain < 0) {
            state.SkipWithError(proxied < 0 ? "a message through the proxy was lost or changed"
                                            : "a message on the direct path was lost or changed");
            return;
        }
        viaProxy.push_back(proxied);
        viaDirect.push_back(plain);
    }
    state.counters["proxy_median_us"] = Percentile(viaProxy, 50);
    state.counters["proxy_p99_us"] = Percentile(viaProxy, 99);
    state.counters["direct_median_us"] = Percentile(viaDirect, 50);
    state.counters["direct_p99_us"] = Percentile(viaDirect, 99);
    state.counters["added_median_us"] = Percentile(viaProxy, 50) - Percentile(viaDirect, 50);
    state.counters["added_p99_us"] = Percentile(viaProxy, 99) - Percentile(viaDirect, 99);
    state.counters["errors"] = proxy.Logger().GetErrorHistory().GetErrorCount();
}

// The byte at position of a direction's stream: every value, and the two directions apart.
std::vector<uint8_t> DirectionStream(bool toProgram, size_t size) {
    std::vector<uint8_t> stream(size);
    for (size_t i = 0; i < size; ++i)
        stream[i] = static_cast<uint8_t>(i * 7 + i / 253 + (toProgram ? 0 : 0x55));
    return stream;
}

void BM_ProxyFaithful(benchmark::State& state) {
    constexpr double Rate = 1'000'000;
    constexpr double Seconds = 8;
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
    const auto size = static_cast<size_t>(Rate * Seconds);
    const std::vector<uint8_t> toProgram = DirectionStream(true, size);
    const std::vector<uint8_t> toDevice = DirectionStream(false, size);
    uint64_t lost = 0;
    uint64_t changed = 0;
    uint64_t engineLost = 0;
    double writeSeconds[2] = {0, 0};
    for (auto _ : state) {
        std::vector<uint8_t> atProgram;
        std::vector<uint8_t> atDevice;
        const auto limit = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                              std::chrono::duration<double>(Seconds + 20));
        std::thread deviceSpeaks([&] { writeSeconds[0] = WritePaced(device.Master(), Rate, toProgram); });
        std::thread programSpeaks([&] { writeSeconds[1] = WritePaced(proxy.Program(), Rate, toDevice); });
        std::thread deviceListens([&] { ReadCount(device.Master(), atDevice, size, limit); });
        ReadCount(proxy.Program(), atProgram, size, limit);
        deviceSpeaks.join();
        programSpeaks.join();
        deviceListens.join();
        const std::pair<const std::vector<uint8_t>*, const std::vector<uint8_t>*> directions[] = {
            {&toProgram, &atProgram}, {&toDevice, &atDevice}};
        for (const auto& [sent, got] : directions) {
            lost += sent->size() - got->size();
            for (size_t i = 0; i < got->size(); ++i) changed += (*got)[i] != (*sent)[i] ? 1 : 0;
        }
        // Every byte forwarded was read on its line first; its count follows on the data thread.
        for (int line = 0; line < 2; ++line) {
            const std::atomic_ref<uint32_t> counted(proxy.Logger().LineCounters[line].TotalBytes);
            while (counted.load() < size && Clock::now() < limit)
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            engineLost += size - std::min<uint64_t>(size, counted.load());
        }
    }
    state.counters["bytes_lost"] = static_cast<double>(lost);
    state.counters["bytes_changed"] = static_cast<double>(changed);
    state.counters["engine_lost"] = static_cast<double>(engineLost);
    state.counters["to_program_MBps"] = static_cast<double>(size) / writeSeconds[0] / 1e6;
    state.counters["to_device_MBps"] = static_cast<double>(size) / writeSeconds[1] / 1e6;
    state.counters["errors"] = proxy.Logger().GetErrorHistory().GetErrorCount();
}

}  // namespace

BENCHMARK(BM_ProxyLatency)
    ->ArgNames({"to_device", "bytes"})
    ->Args({0, 1})
    ->Args({0, 64})
    ->Args({1, 1})
    ->Args({1, 64})
    ->Iterations(2000)
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime();
BENCHMARK(BM_ProxyFaithful)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
