#pragma once
// A whole stream fed through a logger's replay path in chunks of chunk bytes, as a
// recording is replayed: BeginReplay, the chunks, EndReplay.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "ZLogger.h"

inline void BenchReplayStream(ZLogger& logger, const std::vector<uint8_t>& stream, size_t chunk) {
    logger.BeginReplay();
    for (size_t offset = 0; offset < stream.size(); offset += chunk) {
        logger.FeedReplay(stream.data() + offset, static_cast<int>(std::min(chunk, stream.size() - offset)));
    }
    logger.EndReplay();
}
