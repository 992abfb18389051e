#include "ZTermByteQueue.h"

#include <iterator>

#include "ZULDateTime.h"

bool ZTermByteQueue::Push(const uint8_t* bytes, int count, bool sent, int64_t timeUs) {
    if (count <= 0) return true;
    // Made outside the lock: the showing thread never waits for a copy.
    Chunk chunk{std::vector<uint8_t>(bytes, bytes + count), sent, timeUs != 0 ? timeUs : ZULNowMicros()};
    std::lock_guard guard(lock_);
    if (queuedBytes_ + static_cast<size_t>(count) > maxBytes_) {
        lost_ += static_cast<uint64_t>(count);
        return false;
    }
    queue_.push_back(std::move(chunk));
    queuedBytes_ += static_cast<size_t>(count);
    return true;
}

uint64_t ZTermByteQueue::Take(std::deque<Chunk>& chunks) {
    std::deque<Chunk> taken;
    uint64_t lost = 0;
    {
        std::lock_guard guard(lock_);
        taken.swap(queue_);
        queuedBytes_ = 0;
        lost = lost_;
        lost_ = 0;
    }
    chunks.insert(chunks.end(), std::make_move_iterator(taken.begin()), std::make_move_iterator(taken.end()));
    return lost;
}
