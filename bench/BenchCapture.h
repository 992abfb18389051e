#pragma once
// What the live-capture benchmarks share: a capture started on a pseudo-terminal,
// the demonstration device's settings and stream, and writing a stream into a port
// at a paced rate.

#include <benchmark/benchmark.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "../app/cli/ZDemoFrameSource.h"
#include "../app/cli/ZPacedWriter.h"
#include "../app/cli/ZPseudoTerminal.h"
#include "BenchClocks.h"
#include "ZLogger.h"

// Opens pty and starts logger's capture on its slave; false, with the benchmark
// skipped, when either fails.
inline bool StartOnPty(benchmark::State& state, ZPseudoTerminal& pty, ZLogger& logger) {
    if (!pty.Open()) {
        state.SkipWithError("no pseudo-terminal");
        return false;
    }
    logger.GetPort().SetDevicePath(pty.SlavePath());
    if (!logger.StartCapture()) {
        state.SkipWithError("capture did not start");
        return false;
    }
    return true;
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
