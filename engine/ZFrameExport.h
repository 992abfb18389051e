#pragma once
// The frame export: one JSON object per line for every block the frame filter hands
// out, in order, written as the blocks arrive:
// {"time": "2026-12-09T01:02:03.456789+01:00", "kind": "data", "length": 3, "hex": "7EA516",
//  "checksum": "good", "data_triggers": [0, 1]}
// "kind" is "start", "data", "stop", "trash" or "flush"; "checksum" is "good", "bad"
// or null; "data_triggers" holds the matches of each data trigger in this block. The
// data block of a decoded frame (SLIP, COBS) also has "encoded_length" after "length":
// the bytes the frame took on the line, delimiter included.

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>

#include "ZBlock.h"

// Receives every block (filter blocks and sends) after the logger has counted it.
// Called on the thread that hands out the filter's blocks; what the block points to
// is valid only during the call.
class IZBlockObserver {
public:
    virtual ~IZBlockObserver() = default;
    virtual void OnBlock(const sBlock& block) = 0;
};

class ZFrameExport : public IZBlockObserver {
public:
    ZFrameExport() = default;
    ~ZFrameExport() override;
    ZFrameExport(const ZFrameExport&) = delete;
    ZFrameExport& operator=(const ZFrameExport&) = delete;

    // Creates the file; an existing file or link of that name is never opened. False
    // with the text the user reads when it cannot be created.
    bool Create(const std::string& fileName, std::string& errorText);
    // Writes one line; the lines reach the file at least once a second while blocks
    // arrive, and at FlushIfDue and Close. A failed write is remembered for Close.
    void OnBlock(const sBlock& block) override;
    // Hands buffered lines to the file when the last flush is a second old; any thread.
    void FlushIfDue();
    // Flushes and closes; false with the text the user reads when a line was lost.
    bool Close(std::string& errorText);

    // The line of one block, without its line break.
    static std::string FormatLine(const sBlock& block);

private:
    using Clock = std::chrono::steady_clock;
    void FlushLocked(Clock::time_point now);

    std::mutex lock_;  // guards every field below
    std::FILE* file_ = nullptr;
    std::string fileName_;
    Clock::time_point lastFlush_{};
    int writeError_ = 0;
};
