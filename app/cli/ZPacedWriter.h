#pragma once
// Writes a byte stream into a non-blocking descriptor at a steady rate. The stream
// comes from a refill function in pieces (frames, say). A descriptor that is full
// (EAGAIN) is simply tried again at the next call; after such a stall the writer
// does not make up more than a quarter second of lost time in one burst.
// Header-only: the benchmarks use it as well.

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <functional>
#include <vector>

class ZPacedWriter {
public:
    // Appends the next piece of the stream; false when the stream has ended.
    using Refill = std::function<bool(std::vector<uint8_t>&)>;

    ZPacedWriter(int fd, double bytesPerSecond, Refill refill)
        : fd_(fd), rate_(bytesPerSecond), refill_(std::move(refill)), start_(Clock::now()) {}

    // Writes what is due by now. False on a write error other than EAGAIN (errno
    // tells which); true otherwise, also when the descriptor is full for now.
    bool WriteDue() {
        blocked_ = false;
        const double maxBacklog = std::max(64.0, rate_ / 4);
        double due = rate_ * std::chrono::duration<double>(Clock::now() - start_).count();
        if (due - static_cast<double>(written_) > maxBacklog) {
            start_ += std::chrono::duration_cast<Clock::duration>(
                std::chrono::duration<double>((due - static_cast<double>(written_) - maxBacklog) / rate_));
            due = static_cast<double>(written_) + maxBacklog;
        }
        while (static_cast<double>(written_) < due) {
            if (offset_ == pending_.size() && !RefillPending()) return true;
            const size_t wanted = std::min({pending_.size() - offset_, size_t{4096},
                                            static_cast<size_t>(due - static_cast<double>(written_)) + 1});
            const ssize_t done = write(fd_, pending_.data() + offset_, wanted);
            blocked_ = done < 0 && errno == EAGAIN;
            if (done < 0) {
                if (errno == EINTR) continue;
                return blocked_;
            }
            offset_ += static_cast<size_t>(done);
            written_ += static_cast<uint64_t>(done);
        }
        return true;
    }

    uint64_t BytesWritten() const { return written_; }
    // True when the last write found the descriptor full.
    bool IsBlocked() const { return blocked_; }
    // True once the refill function has ended the stream and all of it is written.
    bool Finished() const { return ended_ && offset_ == pending_.size(); }

private:
    using Clock = std::chrono::steady_clock;

    bool RefillPending() {
        pending_.clear();
        offset_ = 0;
        if (ended_ || !refill_(pending_)) ended_ = true;
        return offset_ < pending_.size();
    }

    int fd_;
    double rate_;
    Refill refill_;
    Clock::time_point start_;
    std::vector<uint8_t> pending_;
    size_t offset_ = 0;
    uint64_t written_ = 0;
    bool ended_ = false;
    bool blocked_ = false;
};
