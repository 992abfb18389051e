#pragma once
// The bytes a terminal shows, on their way from the capture's data thread to the
// thread that shows them (the terminal window's, `kestrun-cli term`'s main thread).
// The data thread hands them over through Push (or OnBytes, as the logger's byte
// observer), which copies them and returns at once: what does not fit in maxBytes is
// counted as lost, never waited for. The showing thread takes everything queued
// with Take. Any thread; one lock, held only to move the queue.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <vector>

#include "ZLoggerClients.h"

class ZTermByteQueue : public IZByteObserver {
public:
    struct Chunk {
        std::vector<uint8_t> Bytes;
        bool Sent = false;
        int64_t TimeUs = 0;  // of the read; the time it was handed over when the read had none
    };

    explicit ZTermByteQueue(size_t maxBytes) : maxBytes_(maxBytes) {}

    // Whether the bytes were queued (false: lost, counted).
    bool Push(const uint8_t* bytes, int count, bool sent, int64_t timeUs);
    void OnBytes(const uint8_t* bytes, int count, bool sent, int64_t timeUs) override {
        Push(bytes, count, sent, timeUs);
    }
    // Moves what waits to the end of chunks; returns the bytes lost since the last take.
    uint64_t Take(std::deque<Chunk>& chunks);

private:
    const size_t maxBytes_;
    std::mutex lock_;  // guards queue_, queuedBytes_ and lost_
    std::deque<Chunk> queue_;
    size_t queuedBytes_ = 0;
    uint64_t lost_ = 0;
};
