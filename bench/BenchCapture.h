#pragma once
// What the live-capture benchmarks share: processor clocks, the demonstration
// device's settings and stream, and writing a stream into a port at a paced rate.

#include <sys/resource.h>
#include <time.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "../app/cli/ZDemoFrameSource.h"
#include "../app/cli/ZPacedWriter.h"
#include "ZLoggerSettings.h"

// Processor seconds of the whole process, all its threads.
inline double ProcessCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// Processor seconds the calling thread has used.
inline double ThreadCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

// The settings of samples/demo_dynamic.scs: frames 7E A5 <length>, one data trigger "OK".
inline ZLoggerSettings DemoDynamicSettings(const std::string& logDir) {
    ZLoggerSettings settings;
    settings.LogDir = logDir;
    settings.CaptureMode = cmDynamicSize;
    settings.MaxBytesInLogLine = 24;
    const int32_t start[] = {0x7E, 0xA5, AnyByte};
    settings.SetTriggerStart(start, 3);
    settings.StartAmountOfBytes = 2;
    settings.DataTriggers.Add({0x4F, 0x4B});
    return settings;
}

// Whole frames of the demonstration device, at least seconds' worth at rate bytes/s.
inline std::vector<uint8_t> DemoStream(double rate, double seconds, uint64_t* frames = nullptr) {
    ZDemoFrameSource source(ZDemoMode::Dynamic);
    std::vector<uint8_t> stream;
    while (static_cast<double>(stream.size()) < rate * seconds) source.AppendFrame(stream);
    if (frames) *frames = source.FramesMade();
    return stream;
}

// Writes stream into fd at rate bytes/s; returns the seconds it took.
inline double WritePaced(int fd, double rate, const std::vector<uint8_t>& stream) {
    bool handedOut = false;
    ZPacedWriter writer(fd, rate, [&](std::vector<uint8_t>& out) {
        if (handedOut) return false;
        out = stream;
        handedOut = true;
        return true;
    });
    const auto start = std::chrono::steady_clock::now();
    while (!writer.Finished()) {
        if (!writer.WriteDue()) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}
