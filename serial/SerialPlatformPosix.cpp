// The serial platform on Linux: termios for the line, the modem ioctls for the
// lines, and a poll loop that stands in for the event wait the components expect.
//
// Event emulation: the wait polls the device and a wake-up descriptor (signalled
// by every mask change) in slices of SliceMs.
// - EV_RXCHAR/EV_RXFLAG: while the mask asks for either, the wait moves arriving
//   bytes into a bounded stash and scans them for the event character; reads and
//   the receive count serve the stash first, so bytes keep their order. Each byte
//   is reported once. With a full stash, growth of the device's count is reported.
// - EV_CTS/DSR/RING/RLSD/ERR/BREAK: the line counters (TIOCGICOUNT) compared
//   between slices; the line states (TIOCMGET) where a device keeps no counters;
//   nothing where it has neither (pseudo-terminals).
// - EV_TXEMPTY: once after a write, when the background queue and the output
//   queue (TIOCOUTQ) are empty.
// - EV_ERR also once when a background write fails.
//
// Writes that need not complete go to the device as far as it takes them; a
// sender thread, started at the first such write, sends the rest in order.
//
// Received bytes with parity or framing errors are delivered as they came: INPCK
// would make Linux replace them by NUL, and IGNPAR (which a device may have kept
// from an earlier user) would drop them. The driver still counts the errors.
// ENOTTY or EINVAL from a modem or serial ioctl means the device lacks the
// capability, which is not an error: a pseudo-terminal refuses them all.

#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cmath>
#include <condition_variable>
#include <cstdlib>
#include <deque>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "SerialEventRules.h"
#include "SerialIoWait.h"
#include "SerialPlatform.h"
#include "SerialPlatformNet.h"
#include "SerialPortLocator.h"
#include "SerialTypes.h"
#include "Termios2Speed.h"

namespace {

using serial_io::Clock;
using serial_io::Deadline;
using serial_io::SliceMs;
using serial_io::SliceUntil;

constexpr size_t StashCapacity = 64 * 1024;
// Bytes that writes which need not complete may have waiting for the device.
constexpr size_t SendQueueCapacity = 16 * 1024 * 1024;
constexpr size_t SendChunk = 4096;
// Close waits this long plus twice the line time of what is still to be sent,
// but never longer than DrainLimitMax: a line held by flow control must not
// keep the close waiting for ever.
constexpr auto DrainAllowance = std::chrono::milliseconds(1000);
constexpr auto DrainLimitMax = std::chrono::milliseconds(10000);
constexpr uint32_t ReceiveEvents = EV_RXCHAR | EV_RXFLAG;
constexpr uint32_t LineEvents = EV_CTS | EV_DSR | EV_RING | EV_RLSD | EV_ERR | EV_BREAK;
// Rates read back from the device may differ by what a UART's divisor allows.
constexpr double RateTolerance = 0.03;

bool CapabilityAbsent(int error) {
    return error == ENOTTY || error == EINVAL;
}

std::optional<speed_t> SpeedConstant(int32_t rate) {
    static constexpr std::pair<int32_t, speed_t> Constants[] = {
        {50, B50},         {110, B110},       {150, B150},       {300, B300},
        {600, B600},       {1200, B1200},     {2400, B2400},     {4800, B4800},
        {9600, B9600},     {19200, B19200},   {38400, B38400},   {57600, B57600},
        {115200, B115200}, {230400, B230400}, {460800, B460800}, {921600, B921600}};
    for (const auto& [baud, constant] : Constants)
        if (baud == rate) return constant;
    return std::nullopt;
}

tcflag_t SizeFlag(uint8_t byteSize) {
    switch (byteSize) {
        case 5:
            return CS5;
        case 6:
            return CS6;
        case 7:
            return CS7;
        default:
            return CS8;
    }
}

tcflag_t ParityFlags(uint8_t parity) {
    switch (parity) {
        case odd:
            return PARENB | PARODD;
        case even:
            return PARENB;
        case mark:
            return PARENB | CMSPAR | PARODD;
        case space:
            return PARENB | CMSPAR;
        default:
            return 0;
    }
}

termios TermiosFor(const TSerialDcb& dcb, termios settings) {
    cfmakeraw(&settings);
    settings.c_cflag &= ~(CSIZE | CSTOPB | PARENB | PARODD | CMSPAR | CRTSCTS);
    settings.c_cflag |= CLOCAL | CREAD | SizeFlag(dcb.ByteSize) | ParityFlags(dcb.Parity);
    // 1.5 stop bits is what 16550-type hardware makes of CSTOPB with 5 data bits.
    if (dcb.StopBits != sb_1) settings.c_cflag |= CSTOPB;
    if (dcb.Has(TSerialDcb::fOutxCtsFlow) || dcb.RtsControl() == TSerialDcb::CONTROL_HANDSHAKE)
        settings.c_cflag |= CRTSCTS;
    settings.c_iflag &= ~(IXON | IXOFF | IXANY | INPCK | IGNPAR | PARMRK);
    if (dcb.Has(TSerialDcb::fOutX)) settings.c_iflag |= IXON;
    if (dcb.Has(TSerialDcb::fInX)) settings.c_iflag |= IXOFF;
    settings.c_cc[VSTART] = dcb.XonChar;
    settings.c_cc[VSTOP] = dcb.XoffChar;
    // VMIN 0 would make read() return 0 for "nothing there", which on a
    // non-blocking descriptor must stay EAGAIN: 0 is how a hang-up shows.
    settings.c_cc[VMIN] = 1;
    settings.c_cc[VTIME] = 0;
    return settings;
}

// What the device kept of the settings asked for. A pseudo-terminal forces 8 data
// bits without parity: that is accepted there, and nowhere else.
bool Kept(const termios& asked, const termios& kept, bool pseudoTerminal) {
    constexpr tcflag_t ControlChecked = CSTOPB | CRTSCTS;
    constexpr tcflag_t InputChecked = IXON | IXOFF | INPCK | IGNPAR | PARMRK;
    if ((asked.c_cflag & ControlChecked) != (kept.c_cflag & ControlChecked)) return false;
    if ((asked.c_iflag & InputChecked) != (kept.c_iflag & InputChecked)) return false;
    if (pseudoTerminal && (kept.c_cflag & (CSIZE | PARENB)) == CS8) return true;
    constexpr tcflag_t Frame = CSIZE | PARENB | PARODD | CMSPAR;
    return (asked.c_cflag & Frame) == (kept.c_cflag & Frame);
}

// Unix98 pseudo-terminal slaves have the majors 136 to 143.
bool IsPseudoTerminal(int fd) {
    struct stat info {};
    return fstat(fd, &info) == 0 && S_ISCHR(info.st_mode) && major(info.st_rdev) >= 136 &&
           major(info.st_rdev) <= 143;
}

bool RateKept(int fd, int32_t rate) {
    uint32_t actual = 0;
    if (!Termios2GetSpeed(fd, actual)) return false;
    return std::abs(static_cast<double>(actual) - rate) <= rate * RateTolerance;
}

uint32_t ModemBitsFrom(int lines) {
    uint32_t status = 0;
    if (lines & TIOCM_CTS) status |= MS_CTS_ON;
    if (lines & TIOCM_DSR) status |= MS_DSR_ON;
    if (lines & TIOCM_RI) status |= MS_RING_ON;
    if (lines & TIOCM_CD) status |= MS_RLSD_ON;
    return status;
}

// Asks the driver to hand received bytes on at once instead of batching them (USB
// adapters otherwise wait up to 16 ms). True when the flag changed; drivers without
// the request (a pseudo-terminal answers ENOTTY) and a flag already set give false.
bool SetLowLatency(int fd, bool on) {
    serial_struct info{};
    if (ioctl(fd, TIOCGSERIAL, &info) != 0) return false;
    const bool isOn = (info.flags & ASYNC_LOW_LATENCY) != 0;
    if (isOn == on) return false;
    info.flags = on ? info.flags | ASYNC_LOW_LATENCY : info.flags & ~ASYNC_LOW_LATENCY;
    return ioctl(fd, TIOCSSERIAL, &info) == 0;
}

class TPosixSerialHandle final : public ISerialHandle {
public:
    TPosixSerialHandle(int fd, int wakeFd, const TTermios2State& saved)
        : fd_(fd), wakeFd_(wakeFd), saved_(saved), lowLatencySet_(SetLowLatency(fd, true)) {}
    ~TPosixSerialHandle() override { Close(); }

    // Linux sizes its buffers itself.
    bool SetupBuffers(int32_t, int32_t) override { return fd_ >= 0; }

    int SetState(const TSerialDcb& dcb) override {
        // Rate 0 would hang the line up; 4 data bits Linux cannot send.
        if (dcb.BaudRate <= 0 || dcb.ByteSize < 5 || dcb.ByteSize > 8 || dcb.Parity > space ||
            dcb.StopBits > sb_2)
            return EINVAL;
        int error = ApplyTermios(dcb);
        // DTR/DSR handshake has no Linux meaning: DTR simply stays on. With RTS/CTS
        // the driver moves RTS itself.
        if (error == 0) error = SetLine(TIOCM_DTR, dcb.DtrControl() != TSerialDcb::CONTROL_DISABLE);
        if (error == 0) error = SetLine(TIOCM_RTS, dcb.RtsControl() != TSerialDcb::CONTROL_DISABLE);
        if (error == 0) {
            eventChar_ = dcb.EvtChar;
            rate_ = dcb.BaudRate;
        }
        return error;
    }

    void SetTimeouts(const TSerialTimeouts& timeouts) override { timeouts_ = timeouts; }

    bool SetMask(uint32_t mask) override {
        if (fd_ < 0) return false;
        {
            std::lock_guard guard(baselineLock_);
            TakeBaseline();
        }
        mask_ = mask;
        ++maskGeneration_;
        const uint64_t one = 1;
        return write(wakeFd_, &one, sizeof(one)) == sizeof(one);
    }

    bool WaitEvent(uint32_t& events) override {
        return serial_io::WaitEvent(
            fd_, wakeFd_, mask_, maskGeneration_, events,
            [this](uint32_t mask) { return CollectEvents(mask); },
            [this](uint32_t mask) { return (mask & ReceiveEvents) != 0 && !hungUp_ && !StashFull(); },
            // Line and output events are looked for; a full stash waits for the reader.
            [this](uint32_t mask, bool watched) {
                return (mask & ~ReceiveEvents) != 0 || (!watched && !hungUp_);
            });
    }

    uint32_t Read(void* buffer, uint32_t count, bool complete) override {
        auto* bytes = static_cast<uint8_t*>(buffer);
        uint32_t done = ReadAvailable(bytes, count);
        if (!complete || done == count) return done;
        const uint32_t generation = abortGeneration_;
        return serial_io::CompleteRead(
            fd_, bytes, done, count, timeouts_,
            [this](uint8_t* into, uint32_t wanted) { return ReadAvailable(into, wanted); },
            [this, generation] { return hungUp_ || abortGeneration_ != generation; });
    }

    uint32_t Write(const void* data, uint32_t count, bool complete) override {
        const auto* bytes = static_cast<const uint8_t*>(data);
        if (!complete) return WriteInBackground(bytes, count);
        const auto total = Deadline(Clock::now(), timeouts_.WriteTotalTimeoutMultiplier,
                                    timeouts_.WriteTotalTimeoutConstant, count);
        const uint32_t generation = abortGeneration_;
        // Bytes queued earlier go first.
        if (!WaitUntilSent(total, generation)) return 0;
        uint32_t done = 0;
        {
            std::lock_guard guard(txLock_);
            done = WriteAvailable(bytes, count);
        }
        while (done < count && !hungUp_ && abortGeneration_ == generation) {
            if (total && Clock::now() >= *total) break;
            pollfd device{fd_, POLLOUT, 0};
            poll(&device, 1, SliceUntil(total));
            std::lock_guard guard(txLock_);
            done += WriteAvailable(bytes + done, count - done);
        }
        return done;
    }

    int WriteError() const override { return writeError_; }

    bool QueueCounts(int& inQueue, int& outQueue) override {
        if (fd_ < 0) return false;
        int waiting = 0;
        if (ioctl(fd_, FIONREAD, &waiting) != 0) {
            if (errno == EIO) hungUp_ = true;
            waiting = 0;
        }
        {
            std::lock_guard guard(rxLock_);
            if (waiting == 0 && stash_.empty()) waiting = BringHeldBackIntoView();
            inQueue = static_cast<int>(stash_.size()) + waiting;
        }
        if (ioctl(fd_, TIOCOUTQ, &outQueue) != 0) outQueue = 0;
        std::lock_guard guard(txLock_);
        outQueue += static_cast<int>(std::min<size_t>(sendQueue_.size(), INT32_MAX / 2));
        return true;
    }

    bool Purge(uint32_t flags) override {
        if (fd_ < 0) return false;
        if (flags & (PURGE_TXABORT | PURGE_RXABORT)) ++abortGeneration_;
        bool ok = true;
        if (flags & PURGE_RXCLEAR) {
            std::lock_guard guard(rxLock_);
            stash_.clear();
            ok = tcflush(fd_, TCIFLUSH) == 0;
        }
        if (flags & (PURGE_TXABORT | PURGE_TXCLEAR)) DiscardQueued();
        if (flags & PURGE_TXCLEAR) ok = tcflush(fd_, TCOFLUSH) == 0 && ok;
        return ok;
    }

    bool ModemStatus(uint32_t& status) override {
        int lines = 0;
        if (fd_ < 0 || ioctl(fd_, TIOCMGET, &lines) != 0) return false;
        status = ModemBitsFrom(lines);
        return true;
    }

    bool EscapeFunction(uint32_t function) override {
        if (fd_ < 0) return false;
        switch (function) {
            case SETRTS:
            case CLRRTS:
                return SetLine(TIOCM_RTS, function == SETRTS) == 0;
            case SETDTR:
            case CLRDTR:
                return SetLine(TIOCM_DTR, function == SETDTR) == 0;
            case SETBREAK:
                return ioctl(fd_, TIOCSBRK) == 0;
            case CLRBREAK:
                return ioctl(fd_, TIOCCBRK) == 0;
            default:
                return false;
        }
    }

    bool HungUp() const override { return hungUp_; }

    bool ReceiveLosses(uint32_t& lost) override {
        TLineCounters counters;
        if (fd_ < 0 || !ReadCounters(counters)) return false;
        lost = counters.Overrun + counters.BufferOverrun;
        return true;
    }

    int PollDescriptor() const override { return fd_; }

    std::string PeerDevice() const override {
        char name[PATH_MAX] = {};
        return fd_ >= 0 && ptsname_r(fd_, name, sizeof name) == 0 ? std::string(name) : std::string();
    }

    bool WaitReadable(int timeoutMs) override {
        if (fd_ < 0) return false;
        {
            std::lock_guard guard(rxLock_);
            if (!stash_.empty()) return true;
        }
        pollfd device{fd_, POLLIN, 0};
        if (poll(&device, 1, timeoutMs) > 0 && (device.revents & (POLLHUP | POLLERR)) != 0 &&
            (device.revents & POLLIN) == 0)
            hungUp_ = true;
        return true;
    }

    void Close() override {
        if (fd_ < 0) return;
        mask_ = 0;
        // The saved settings may have another rate or frame: bytes still going out
        // when they return would be sent garbled.
        DrainOutput();
        StopSender();
        ioctl(fd_, TIOCNXCL);
        if (lowLatencySet_) SetLowLatency(fd_, false);
        Termios2Restore(fd_, saved_);
        close(fd_);  // also drops the flock
        close(wakeFd_);
        fd_ = -1;
        wakeFd_ = -1;
    }

private:
    // tcsetattr reports success when any part applied, so the result is read back.
    int ApplyTermios(const TSerialDcb& dcb) {
        termios current{};
        if (tcgetattr(fd_, &current) != 0) return errno;
        const std::optional<speed_t> constant = SpeedConstant(dcb.BaudRate);
        termios asked = TermiosFor(dcb, current);
        cfsetspeed(&asked, constant.value_or(B9600));
        if (tcsetattr(fd_, TCSANOW, &asked) != 0) return errno;
        if (!constant && !Termios2SetSpeed(fd_, static_cast<uint32_t>(dcb.BaudRate))) return errno;
        termios kept{};
        if (tcgetattr(fd_, &kept) != 0) return errno;
        return Kept(asked, kept, IsPseudoTerminal(fd_)) && RateKept(fd_, dcb.BaudRate) ? 0 : EINVAL;
    }

    // 0, or the error of a device that has modem lines but failed to set one.
    int SetLine(int line, bool on) {
        if (ioctl(fd_, on ? TIOCMBIS : TIOCMBIC, &line) == 0) return 0;
        return CapabilityAbsent(errno) ? 0 : errno;
    }

    uint32_t ReadAvailable(uint8_t* bytes, uint32_t count) {
        std::lock_guard guard(rxLock_);
        const auto fromStash = static_cast<uint32_t>(std::min<size_t>(count, stash_.size()));
        std::copy_n(stash_.begin(), fromStash, bytes);
        stash_.erase(stash_.begin(), stash_.begin() + fromStash);
        return fromStash + ReadDevice(bytes + fromStash, count - fromStash);
    }

    // A terminal shows at most 4095 waiting bytes and moves what it holds back into
    // view asynchronously, some time after a read made room; a reader that asks
    // for the count right after emptying the view would see 0 with bytes still
    // there. A read that finds the view empty makes the driver move them at once:
    // this does one, into the stash. Not while receive events are watched: the
    // event thread reads arriving bytes itself, to see what they are. Returns the
    // device's count after it; caller holds rxLock_.
    int BringHeldBackIntoView() {
        if ((mask_ & ReceiveEvents) != 0 || hungUp_) return 0;
        uint8_t chunk[4096];
        const uint32_t got = ReadDevice(chunk, sizeof(chunk));
        stash_.insert(stash_.end(), chunk, chunk + got);
        int waiting = 0;
        if (got == 0 || ioctl(fd_, FIONREAD, &waiting) != 0) waiting = 0;
        return waiting;
    }

    // Reads until count or until the device has nothing more; caller holds rxLock_.
    // A non-blocking tty reports "nothing" as EAGAIN; 0 means it hung up.
    uint32_t ReadDevice(uint8_t* bytes, uint32_t count) {
        uint32_t done = 0;
        while (done < count && !hungUp_) {
            const ssize_t got = read(fd_, bytes + done, count - done);
            if (got > 0) {
                done += static_cast<uint32_t>(got);
            } else if (got == 0 || errno == EIO || errno == ENXIO) {
                hungUp_ = true;
            } else if (errno != EINTR) {
                break;
            }
        }
        return done;
    }

    // Caller holds txLock_, so that its bytes and the sender's keep their order.
    uint32_t WriteAvailable(const uint8_t* bytes, uint32_t count) {
        uint32_t done = 0;
        while (done < count && !hungUp_) {
            const ssize_t put = write(fd_, bytes + done, count - done);
            if (put > 0) {
                done += static_cast<uint32_t>(put);
            } else if (put < 0 && (errno == EIO || errno == ENXIO)) {
                hungUp_ = true;
            } else if (put == 0 || errno != EINTR) {
                break;
            }
        }
        if (done > 0) txPending_ = true;
        return done;
    }

    // What the device does not take now is queued for the sender; the result counts
    // both. Only a hang-up or a full queue leaves bytes out.
    uint32_t WriteInBackground(const uint8_t* bytes, uint32_t count) {
        std::lock_guard guard(txLock_);
        uint32_t done = sendQueue_.empty() ? WriteAvailable(bytes, count) : 0;
        if (done == count || hungUp_) return done;
        const auto queued = static_cast<uint32_t>(std::min<size_t>(
            count - done, SendQueueCapacity - std::min(SendQueueCapacity, sendQueue_.size())));
        sendQueue_.insert(sendQueue_.end(), bytes + done, bytes + done + queued);
        const auto deadline =
            Deadline(Clock::now(), timeouts_.WriteTotalTimeoutMultiplier, timeouts_.WriteTotalTimeoutConstant,
                     static_cast<uint32_t>(std::min<size_t>(sendQueue_.size(), UINT32_MAX)));
        if (deadline) sendDeadline_ = deadline;
        txPending_ = true;
        if (!sender_.joinable()) sender_ = std::thread([this] { SendQueued(); });
        sendChanged_.notify_all();
        return done + queued;
    }

    // The sender thread: writes the queue in order as the device takes it.
    void SendQueued() {
        std::unique_lock guard(txLock_);
        for (;;) {
            sendChanged_.wait(guard, [this] { return stopSender_ || !sendQueue_.empty(); });
            if (stopSender_) return;
            uint8_t chunk[SendChunk];
            const auto size = static_cast<uint32_t>(std::min(sendQueue_.size(), sizeof(chunk)));
            std::copy_n(sendQueue_.begin(), size, chunk);
            const uint32_t put = WriteAvailable(chunk, size);
            sendQueue_.erase(sendQueue_.begin(), sendQueue_.begin() + put);
            if (hungUp_) {
                FailQueued(EIO);
            } else if (sendDeadline_ && Clock::now() >= *sendDeadline_ && !sendQueue_.empty()) {
                FailQueued(ETIMEDOUT);
            }
            sendChanged_.notify_all();
            if (put == size || sendQueue_.empty()) continue;
            guard.unlock();
            pollfd device{fd_, POLLOUT, 0};
            poll(&device, 1, SliceMs);
            guard.lock();
        }
    }

    // Caller holds txLock_.
    void FailQueued(int error) {
        sendQueue_.clear();
        sendQueue_.shrink_to_fit();
        sendDeadline_.reset();
        int none = 0;
        if (writeError_.compare_exchange_strong(none, error)) writeErrorUnreported_ = true;
    }

    void DiscardQueued() {
        std::lock_guard guard(txLock_);
        sendQueue_.clear();
        sendQueue_.shrink_to_fit();
        sendDeadline_.reset();
        sendChanged_.notify_all();
    }

    // Waits until the background queue is empty; false when the time-out, a purge or
    // a hang-up came first.
    bool WaitUntilSent(std::optional<Clock::time_point> deadline, uint32_t generation) {
        std::unique_lock guard(txLock_);
        const auto done = [&] { return sendQueue_.empty() || hungUp_ || abortGeneration_ != generation; };
        if (deadline)
            sendChanged_.wait_until(guard, *deadline, done);
        else
            sendChanged_.wait(guard, done);
        return sendQueue_.empty();
    }

    // Waits until the queue and the driver have sent everything, at most DrainLimit;
    // then discards what is left.
    void DrainOutput() {
        size_t pending = 0;
        {
            std::lock_guard guard(txLock_);
            pending = sendQueue_.size();
        }
        int driverQueued = 0;
        if (ioctl(fd_, TIOCOUTQ, &driverQueued) != 0) driverQueued = 0;
        pending += static_cast<size_t>(std::max(driverQueued, 0));
        if (pending == 0 && !UartBusy()) return;
        const auto deadline = Clock::now() + DrainLimit(pending);
        std::unique_lock guard(txLock_);
        while (!hungUp_) {
            int queued = 0;
            if (ioctl(fd_, TIOCOUTQ, &queued) != 0) queued = 0;
            if (sendQueue_.empty() && queued <= 0 && !UartBusy()) return;
            if (Clock::now() >= deadline) break;
            sendChanged_.wait_for(guard, std::chrono::milliseconds(SliceMs));
        }
        sendQueue_.clear();
        tcflush(fd_, TCOFLUSH);
    }

    std::chrono::milliseconds DrainLimit(size_t bytes) const {
        const int32_t rate = std::max<int32_t>(rate_, 1);
        // Ten bits per character, twice over.
        const auto lineTime = std::chrono::milliseconds(static_cast<int64_t>(bytes) * 20 * 1000 / rate);
        return std::min<std::chrono::milliseconds>(DrainAllowance + lineTime, DrainLimitMax);
    }

    // The UART still shifts out its last bytes; false where the driver cannot tell.
    bool UartBusy() const {
        unsigned int status = 0;
        return ioctl(fd_, TIOCSERGETLSR, &status) == 0 && (status & TIOCSER_TEMT) == 0;
    }

    void StopSender() {
        {
            std::lock_guard guard(txLock_);
            stopSender_ = true;
        }
        sendChanged_.notify_all();
        if (sender_.joinable()) sender_.join();
    }

    bool StashFull() {
        std::lock_guard guard(rxLock_);
        return stash_.size() >= StashCapacity;
    }

    uint32_t CollectEvents(uint32_t mask) {
        uint32_t events = 0;
        if (mask & ReceiveEvents) events |= ReceivedEvents(mask);
        if (mask & LineEvents) events |= LineChangeEvents(mask);
        if ((mask & EV_TXEMPTY) && TransmitterEmptied()) events |= EV_TXEMPTY;
        if ((mask & EV_ERR) && writeErrorUnreported_.exchange(false)) events |= EV_ERR;
        return events;
    }

    uint32_t ReceivedEvents(uint32_t mask) {
        std::lock_guard guard(rxLock_);
        uint32_t events = 0;
        uint8_t chunk[4096];
        while (stash_.size() < StashCapacity) {
            const auto room = static_cast<uint32_t>(std::min(sizeof(chunk), StashCapacity - stash_.size()));
            const uint32_t got = ReadDevice(chunk, room);
            if (got == 0) break;
            events |= EventsFromReceived(chunk, got, eventChar_, mask);
            stash_.insert(stash_.end(), chunk, chunk + got);
        }
        if (stash_.size() >= StashCapacity) {
            int waiting = 0;
            if (ioctl(fd_, FIONREAD, &waiting) != 0) waiting = 0;
            if (waiting > lastDeviceCount_) events |= EV_RXCHAR & mask;
            lastDeviceCount_ = waiting;
        } else {
            lastDeviceCount_ = 0;
        }
        return events;
    }

    uint32_t LineChangeEvents(uint32_t mask) {
        std::lock_guard guard(baselineLock_);
        if (countersKnown_) {
            TLineCounters now;
            if (!ReadCounters(now)) return 0;
            const uint32_t events = EventsFromCounters(counters_, now, mask);
            counters_ = now;
            return events;
        }
        if (linesKnown_) {
            uint32_t now = 0;
            if (!ModemStatus(now)) return 0;
            const uint32_t events = EventsFromModemLines(lines_, now, mask);
            lines_ = now;
            return events;
        }
        return 0;
    }

    // Caller holds baselineLock_.
    void TakeBaseline() {
        countersKnown_ = ReadCounters(counters_);
        linesKnown_ = !countersKnown_ && ModemStatus(lines_);
    }

    bool ReadCounters(TLineCounters& counters) {
        serial_icounter_struct icount{};
        if (ioctl(fd_, TIOCGICOUNT, &icount) != 0) return false;
        counters.Cts = static_cast<uint32_t>(icount.cts);
        counters.Dsr = static_cast<uint32_t>(icount.dsr);
        counters.Ring = static_cast<uint32_t>(icount.rng);
        counters.Dcd = static_cast<uint32_t>(icount.dcd);
        counters.Frame = static_cast<uint32_t>(icount.frame);
        counters.Overrun = static_cast<uint32_t>(icount.overrun);
        counters.Parity = static_cast<uint32_t>(icount.parity);
        counters.Break = static_cast<uint32_t>(icount.brk);
        counters.BufferOverrun = static_cast<uint32_t>(icount.buf_overrun);
        return true;
    }

    bool TransmitterEmptied() {
        if (!txPending_) return false;
        {
            std::lock_guard guard(txLock_);
            if (!sendQueue_.empty()) return false;
        }
        int queued = 0;
        if (ioctl(fd_, TIOCOUTQ, &queued) == 0 && queued > 0) return false;
        txPending_ = false;
        return true;
    }

    int fd_;
    int wakeFd_;
    const TTermios2State saved_;
    const bool lowLatencySet_;  // the flag was off at the open and this handle set it
    TSerialTimeouts timeouts_;  // the owner's thread only
    std::atomic<uint32_t> mask_{0};
    std::atomic<bool> hungUp_{false};
    std::atomic<bool> txPending_{false};
    std::atomic<uint32_t> abortGeneration_{0};
    std::atomic<uint8_t> eventChar_{0};
    std::atomic<uint32_t> maskGeneration_{0};
    std::atomic<int32_t> rate_{9600};

    std::mutex txLock_;  // guards sendQueue_, sendDeadline_, stopSender_ and every write() to the device
    std::condition_variable sendChanged_;  // the queue or stopSender_ changed; waits on txLock_
    std::deque<uint8_t> sendQueue_;
    std::optional<Clock::time_point> sendDeadline_;
    bool stopSender_ = false;
    std::atomic<int> writeError_{0};
    std::atomic<bool> writeErrorUnreported_{false};
    std::thread sender_;  // started by the first write that leaves bytes queued

    std::mutex rxLock_;  // guards stash_, lastDeviceCount_ and every read() of the device
    std::vector<uint8_t> stash_;
    int lastDeviceCount_ = 0;

    std::mutex baselineLock_;  // guards the line baseline below
    bool countersKnown_ = false;
    TLineCounters counters_;
    bool linesKnown_ = false;
    uint32_t lines_ = 0;
};

class TPosixSerialPlatform final : public ISerialPlatform {
public:
    std::unique_ptr<ISerialHandle> Open(const std::string& device, int& errorNumber,
                                        const TOpenAbandoned& abandoned) override {
        errorNumber = 0;
        if (IsNetworkPortAddress(device)) return OpenNetworkPort(device, errorNumber, abandoned);
        const int fd = open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) {
            errorNumber = errno;
            return nullptr;
        }
        // Every open of the multiplexer is a new master of its own: no lock to take, and
        // its slave must be unlocked for the program that opens it.
        const bool ptyMaster = device == PtyMasterDevice;
        // TIOCEXCL keeps out other users' opens but not root's; the lock keeps out
        // every program that takes it, whoever runs it.
        termios probe{};
        TTermios2State saved{};
        int wakeFd = -1;
        if (ptyMaster ? (grantpt(fd) != 0 || unlockpt(fd) != 0) : flock(fd, LOCK_EX | LOCK_NB) != 0)
            errorNumber = errno == EWOULDBLOCK ? EBUSY : errno;
        else if (tcgetattr(fd, &probe) != 0 || !Termios2Save(fd, saved))
            errorNumber = errno;
        else if ((wakeFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) < 0)
            errorNumber = errno;
        if (errorNumber != 0) {
            close(fd);
            return nullptr;
        }
        if (!ptyMaster) ioctl(fd, TIOCEXCL);
        return std::make_unique<TPosixSerialHandle>(fd, wakeFd, saved);
    }

    bool CompletesIo() const override { return true; }

    std::string PortDevicePath(int n) const override {
        return TSerialPortLocator(TSerialPortLocator::SystemRoots()).DevicePath(n);
    }

    bool PortPresent(int n) const override {
        return TSerialPortLocator(TSerialPortLocator::SystemRoots()).Present(n);
    }
};

}  // namespace

ISerialPlatform& DefaultSerialPlatform() {
    static TPosixSerialPlatform platform;
    return platform;
}
