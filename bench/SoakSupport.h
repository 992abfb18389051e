#pragma once
// What the soak programs share: the process's resident memory, the feeder that
// writes the demonstration device's frames into the port, and what they read back
// from the log files a long capture writes (the bytes the files hold, counted from
// their block headers; the files are removed once counted so that a long run does
// not fill the folder).

#include <time.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "../app/cli/ZDemoFrameSource.h"
#include "../app/cli/ZPacedWriter.h"
#include "BenchClocks.h"
#include "ZLogFileManager.h"

inline double ResidentMB() {
    std::ifstream statm("/proc/self/statm");
    long size = 0, resident = 0;
    statm >> size >> resident;
    return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

// Writes frames of the "dynamic" sample into a port's master side at a steady rate,
// from a thread of its own, until Stop.
class SoakFeeder {
public:
    SoakFeeder(int master, double bytesPerSecond)
        : thread_([this, master, bytesPerSecond] { Feed(master, bytesPerSecond); }) {}
    ~SoakFeeder() { Stop(); }
    SoakFeeder(const SoakFeeder&) = delete;
    SoakFeeder& operator=(const SoakFeeder&) = delete;

    // Ends the writing and waits for the thread.
    void Stop() {
        writing_ = false;
        if (thread_.joinable()) thread_.join();
    }
    uint64_t Sent() const { return sent_.load(); }
    // The feeding thread's processor seconds; known after Stop.
    double CpuSeconds() const { return cpuSeconds_; }

private:
    void Feed(int master, double bytesPerSecond) {
        const double cpuStart = ThreadCpuSeconds();
        ZDemoFrameSource source(ZDemoMode::Dynamic);
        ZPacedWriter paced(master, bytesPerSecond, [&source](std::vector<uint8_t>& out) {
            source.AppendFrame(out);
            return true;
        });
        while (writing_ && paced.WriteDue()) {
            sent_ = paced.BytesWritten();
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        sent_ = paced.BytesWritten();
        cpuSeconds_ = ThreadCpuSeconds() - cpuStart;
    }

    std::atomic<bool> writing_{true};
    std::atomic<uint64_t> sent_{0};
    double cpuSeconds_ = 0;  // written by the thread before it ends, read after the join
    std::thread thread_;     // last member: starts once the others are set
};

// Prints one line of a soak's minute-by-minute record and returns the resident memory.
inline double ReportMinute(double minutes, uint64_t sent, uint64_t files) {
    const double resident = ResidentMB();
    std::printf("%5.1f min: sent %llu B, resident %.1f MB, files %llu\n", minutes,
                static_cast<unsigned long long>(sent), resident, static_cast<unsigned long long>(files));
    std::fflush(stdout);
    return resident;
}

// The bytes of the blocks a log file holds: the sum of "(<n> bytes)" of its header lines.
inline uint64_t LoggedBytesOf(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::string line;
    uint64_t bytes = 0;
    while (std::getline(file, line)) {
        const size_t open = line.rfind(" (");
        if (line.compare(0, 5, "HEX: ") == 0 || line.compare(0, 6, "ASCII:") == 0) continue;
        if (open == std::string::npos || line.find(" bytes)", open) == std::string::npos) continue;
        bytes += std::strtoull(line.c_str() + open + 2, nullptr, 10);
    }
    return bytes;
}

// Counts and removes the log files the writer has finished (it must keep their list).
class SoakLogChecker {
public:
    explicit SoakLogChecker(ZLogFileManager& writer) : writer_(writer) {}

    void CheckWritten() {
        for (const std::string& path : writer_.TakeWrittenFiles()) {
            bytes_ += LoggedBytesOf(path);
            ++files_;
            std::remove(path.c_str());
        }
    }
    uint64_t Bytes() const { return bytes_; }
    uint64_t Files() const { return files_; }

private:
    ZLogFileManager& writer_;
    uint64_t bytes_ = 0;
    uint64_t files_ = 0;
};
