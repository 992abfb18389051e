#pragma once
// The waits of the completing reads and writes, shared by the platform's device and
// network handles: both wait on a descriptor in short slices, so that a hang-up or a
// purge that aborts the transfer is noticed within one slice.

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <optional>

#include "SerialPlatform.h"

namespace serial_io {

using Clock = std::chrono::steady_clock;

// The longest a wait sleeps before it looks again at what could end it.
constexpr int SliceMs = 10;

// Total time-out of a completing transfer of count bytes; none when both are 0.
inline std::optional<Clock::time_point> Deadline(Clock::time_point start, uint32_t multiplier,
                                                 uint32_t constant, uint32_t count) {
    const uint64_t total = static_cast<uint64_t>(multiplier) * count + constant;
    if (total == 0) return std::nullopt;
    return start + std::chrono::milliseconds(total);
}

// How long one poll may wait: a slice, or what is left until the deadline.
inline int SliceUntil(std::optional<Clock::time_point> deadline) {
    if (!deadline) return SliceMs;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(*deadline - Clock::now()).count();
    return static_cast<int>(std::clamp<int64_t>(left, 0, SliceMs));
}

// The clock of a completing read and its wait on the descriptor: at most one slice,
// or what is left until the deadline.
struct TIoClock {
    Clock::time_point Now() const { return Clock::now(); }
    void WaitReadable(int fd, std::optional<Clock::time_point> deadline) const {
        pollfd descriptor{fd, POLLIN, 0};
        poll(&descriptor, 1, SliceUntil(deadline));
    }
};

// The rest of a completing read of count bytes, of which done are already in bytes:
// waits on fd for more and hands what arrives to take(into, wanted) (which returns how
// many it gave), until all are there, the read time-outs run out (the total from the
// start, the interval from the last byte that came), or ended() says a hang-up or an
// abort ended the transfer. Returns the bytes read in all. The clock is the running
// system's but in tests.
template <class Take, class Ended, class IoClock = TIoClock>
uint32_t CompleteRead(int fd, uint8_t* bytes, uint32_t done, uint32_t count, const TSerialTimeouts& timeouts,
                      Take take, Ended ended, const IoClock& clock = IoClock{}) {
    const auto start = clock.Now();
    const auto total =
        Deadline(start, timeouts.ReadTotalTimeoutMultiplier, timeouts.ReadTotalTimeoutConstant, count);
    const std::chrono::milliseconds interval(timeouts.ReadIntervalTimeout);
    auto lastByte = start;
    while (done < count && !ended()) {
        const auto now = clock.Now();
        if (total && now >= *total) break;
        if (interval.count() > 0 && done > 0 && now - lastByte > interval) break;
        clock.WaitReadable(fd, total);
        const uint32_t more = take(bytes + done, count - done);
        if (more > 0) lastByte = clock.Now();
        done += more;
    }
    return done;
}

// The wait of a handle's WaitEvent: collect(mask) gathers the events of the mask in
// force until it finds some. Meanwhile the wait sleeps on fd, when watchFd(mask) says
// it is worth waiting on, and on wakeFd, which a change of the mask signals; when
// sliced(mask, watched) says something no descriptor signals must be looked at, it
// wakes every slice as well. A change of the mask made before the wait began (the
// open's own, say) has already taken effect: its wake-up is consumed without ending
// the wait. False when the mask is cleared or changed, or the wait fails.
template <class Collect, class WatchFd, class Sliced>
bool WaitEvent(int fd, int wakeFd, const std::atomic<uint32_t>& mask,
               const std::atomic<uint32_t>& maskGeneration, uint32_t& events, Collect collect,
               WatchFd watchFd, Sliced sliced) {
    events = 0;
    const uint32_t generation = maskGeneration;
    for (;;) {
        const uint32_t current = mask;
        if (current == 0 || fd < 0) return false;
        events = collect(current);
        if (events != 0) return true;
        const bool watched = watchFd(current);
        pollfd fds[2] = {{watched ? fd : -1, POLLIN, 0}, {wakeFd, POLLIN, 0}};
        if (poll(fds, 2, sliced(current, watched) ? SliceMs : -1) < 0 && errno != EINTR) return false;
        if (fds[1].revents & POLLIN) {
            uint64_t count = 0;
            [[maybe_unused]] const auto ignored = read(wakeFd, &count, sizeof(count));
            if (maskGeneration != generation) return false;
        }
    }
}

}  // namespace serial_io
