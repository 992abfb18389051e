// Network serial ports behind the platform interface.
//
// Received bytes go through the Telnet codec (raw TCP: unchanged) into a bounded
// stash that reads, the receive count and the event wait serve; while the stash is
// full nothing more is taken from the socket, so TCP holds the server back and no
// byte is dropped. Telnet answers the peer requires are sent as each received chunk
// is decoded, as far as the socket takes them; what waits is bounded, and while it
// is at its bound nothing more is taken from the socket either. One look at the
// socket takes at most PullLimit bytes, so a peer that sends only commands cannot
// hold a reader (and the port lock behind it) for longer than that.
//
// RFC 2217 settings are checked against the server's answers: an answer with
// another value refuses the settings; one that does not come within AnswerWait is
// taken as set, since servers leave some (DTR/RTS control on devices without those
// lines) unanswered. Modem-state and line-state notifications become the line
// events and the modem status.
//
// Writes send before they return, within the write time-outs (without them, and
// for writes that need not complete, within WriteLimit): the socket's own buffer
// is the background queue.

#include "SerialPlatformNet.h"

#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "SerialEventRules.h"
#include "SerialIoWait.h"
#include "SerialTypes.h"
#include "TTelnetCodec.h"

namespace {

using serial_io::Clock;
using serial_io::SliceMs;
using serial_io::SliceUntil;
using std::chrono::milliseconds;

constexpr std::string_view Rfc2217Prefix = "rfc2217://";
constexpr std::string_view TcpPrefix = "tcp://";
constexpr size_t StashCapacity = 64 * 1024;
constexpr size_t ReceiveChunk = 16 * 1024;
// The most one look at the socket takes, whether data or commands.
constexpr size_t PullLimit = 64 * 1024;
// Telnet answers waiting to be sent; at this many, no more is read until they go.
constexpr size_t ReplyLimit = 4 * 1024;
// How long the server may take to agree to COM-PORT-OPTION after the connect.
constexpr auto NegotiationLimit = milliseconds(3000);
constexpr auto AnswerWait = milliseconds(500);
constexpr auto WriteLimit = milliseconds(1000);
constexpr uint32_t ReceiveEvents = EV_RXCHAR | EV_RXFLAG;
constexpr uint32_t LineEvents = EV_CTS | EV_DSR | EV_RING | EV_RLSD | EV_ERR | EV_BREAK;
// RFC 2217 line-state bits.
constexpr uint8_t LineBreak = 0x10;
constexpr uint8_t LineErrors = 0x02 | 0x04 | 0x08;  // overrun, parity, framing
constexpr uint8_t ModemLines = 0xF0;                // the same bits as MS_*_ON
// SET-CONTROL values.
constexpr uint8_t FlowNone = 1, FlowXonXoff = 2, FlowHardware = 3;
constexpr uint8_t BreakOn = 5, BreakOff = 6, DtrOn = 8, DtrOff = 9, RtsOn = 11, RtsOff = 12;

std::optional<Clock::time_point> Deadline(uint32_t multiplier, uint32_t constant, uint32_t count) {
    return serial_io::Deadline(Clock::now(), multiplier, constant, count);
}

const char* ParityName(uint8_t value) {
    static constexpr const char* Names[] = {"none", "odd", "even", "mark", "space"};
    return value >= 1 && value <= 5 ? Names[value - 1] : "unknown";
}

const char* StopBitsName(uint8_t value) {
    static constexpr const char* Names[] = {"1", "2", "1.5"};
    return value >= 1 && value <= 3 ? Names[value - 1] : "unknown";
}

const char* FlowName(uint8_t value) {
    static constexpr const char* Names[] = {"none", "XOn/XOff", "RTS/CTS"};
    return value >= 1 && value <= 3 ? Names[value - 1] : "unknown";
}

// The outcome of a host name's resolution, shared with the thread that resolves it,
// so that a caller who stops waiting leaves it nothing to write into.
struct TResolution {
    std::mutex Lock;  // guards the fields below
    std::condition_variable Done;
    bool Finished = false;
    int Result = 0;
    addrinfo* List = nullptr;
    ~TResolution() {
        if (List) freeaddrinfo(List);
    }
};

int ErrorOfResolution(int result) {
    switch (result) {
        case EAI_NONAME:
        case EAI_NODATA:
        case EAI_ADDRFAMILY:
        case EAI_FAIL:
            return ENOENT;
        case EAI_AGAIN:
            return EAGAIN;
        case EAI_SYSTEM:
            return errno != 0 ? errno : EIO;
        default:
            return EIO;
    }
}

// Whether an open should give up now; sets error to ECANCELED then.
bool Abandoned(const TOpenAbandoned& abandoned, int& error) {
    if (!abandoned || !abandoned()) return false;
    error = ECANCELED;
    return true;
}

// The addresses of host; a name is resolved on a thread of its own, which the
// caller leaves behind at the deadline or when abandoned.
addrinfo* Resolve(const TNetPortAddress& address, Clock::time_point deadline, const TOpenAbandoned& abandoned,
                  int& error, std::shared_ptr<TResolution>& keep) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICHOST | AI_NUMERICSERV;
    const std::string port = std::to_string(address.Port);
    keep = std::make_shared<TResolution>();
    int result = getaddrinfo(address.Host.c_str(), port.c_str(), &hints, &keep->List);
    if (result == 0) return keep->List;
    if (result != EAI_NONAME) {
        error = ErrorOfResolution(result);
        return nullptr;
    }
    hints.ai_flags = AI_NUMERICSERV | AI_ADDRCONFIG;
    keep->List = nullptr;
    std::thread([shared = keep, host = address.Host, port, hints] {
        addrinfo* list = nullptr;
        const int outcome = getaddrinfo(host.c_str(), port.c_str(), &hints, &list);
        const int saved = errno;
        std::lock_guard guard(shared->Lock);
        shared->Finished = true;
        shared->Result = outcome == EAI_SYSTEM && saved == 0 ? EAI_FAIL : outcome;
        shared->List = list;
        shared->Done.notify_all();
    }).detach();
    std::unique_lock guard(keep->Lock);
    while (!keep->Finished) {
        if (Abandoned(abandoned, error)) return nullptr;
        if (Clock::now() >= deadline) {
            error = ETIMEDOUT;
            return nullptr;
        }
        keep->Done.wait_until(guard, std::min(deadline, Clock::now() + milliseconds(SliceMs)));
    }
    if (keep->Result != 0) {
        error = ErrorOfResolution(keep->Result);
        return nullptr;
    }
    return keep->List;
}

// Waits until fd can be written (the connect finished), the deadline or abandoned;
// poll's result: 1 ready, 0 not.
int WaitConnected(int fd, Clock::time_point deadline, const TOpenAbandoned& abandoned, int& error) {
    for (;;) {
        if (Abandoned(abandoned, error)) return 0;
        pollfd pending{fd, POLLOUT, 0};
        const int ready = poll(&pending, 1, SliceUntil(deadline));
        if (ready > 0 || (ready < 0 && errno != EINTR)) return ready;
        if (Clock::now() >= deadline) return 0;
    }
}

// Connects a non-blocking socket to the first address that takes it; -1 with
// error set when none did before the deadline, or when abandoned (ECANCELED).
int Connect(const TNetPortAddress& address, Clock::time_point deadline, const TOpenAbandoned& abandoned,
            int& error) {
    std::shared_ptr<TResolution> keep;
    // Once resolved, the resolving thread no longer touches the list.
    addrinfo* list = Resolve(address, deadline, abandoned, error, keep);
    if (!list) return -1;
    error = EHOSTUNREACH;
    for (addrinfo* entry = list; entry; entry = entry->ai_next) {
        const int fd =
            socket(entry->ai_family, entry->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, entry->ai_protocol);
        if (fd < 0) {
            error = errno;
            continue;
        }
        int result = connect(fd, entry->ai_addr, entry->ai_addrlen) == 0 ? 0 : errno;
        if (result == EINPROGRESS) {
            int waitError = 0;
            const int ready = WaitConnected(fd, deadline, abandoned, waitError);
            socklen_t size = sizeof(result);
            if (ready <= 0)
                result = waitError == ECANCELED ? ECANCELED : ETIMEDOUT;
            else if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &result, &size) != 0)
                result = errno;
        }
        if (result == 0) {
            const int on = 1;
            setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof(on));
            // A server that vanishes without a word is a hang-up within about half a minute.
            const int idle = 10, interval = 5, probes = 3;
            setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof(on));
            setsockopt(fd, IPPROTO_TCP, TCP_KEEPIDLE, &idle, sizeof(idle));
            setsockopt(fd, IPPROTO_TCP, TCP_KEEPINTVL, &interval, sizeof(interval));
            setsockopt(fd, IPPROTO_TCP, TCP_KEEPCNT, &probes, sizeof(probes));
            return fd;
        }
        close(fd);
        error = result;
        if (result == ETIMEDOUT || result == ECANCELED) break;
    }
    return -1;
}

class TNetSerialHandle final : public ISerialHandle {
public:
    TNetSerialHandle(int fd, int wakeFd, bool rfc2217) : fd_(fd), wakeFd_(wakeFd), rfc2217_(rfc2217) {}
    ~TNetSerialHandle() override { Close(); }

    // Sends the greeting and waits for the server to agree to COM-PORT-OPTION;
    // 0, or the errno the open fails with (ECANCELED when abandoned).
    int Negotiate(Clock::time_point deadline, const TOpenAbandoned& abandoned) {
        {
            std::lock_guard guard(rxLock_);
            Send(codec_.Greeting());
        }
        for (;;) {
            {
                std::lock_guard guard(rxLock_);
                Pull();
                if (codec_.ComPortAccepted()) return 0;
                if (codec_.ComPortRefused()) return EPROTO;
            }
            if (hungUp_) return ECONNRESET;
            if (int error = 0; Abandoned(abandoned, error)) return error;
            if (Clock::now() >= deadline) return EPROTO;
            pollfd socket{fd_, POLLIN, 0};
            poll(&socket, 1, SliceUntil(deadline));
        }
    }

    bool SetupBuffers(int32_t, int32_t) override { return fd_ >= 0; }

    int SetState(const TSerialDcb& dcb) override {
        if (dcb.BaudRate <= 0 || dcb.ByteSize < 5 || dcb.ByteSize > 8 || dcb.Parity > space ||
            dcb.StopBits > sb_2)
            return EINVAL;
        eventChar_ = dcb.EvtChar;
        if (!rfc2217_) return 0;
        const auto rate = static_cast<uint32_t>(dcb.BaudRate);
        const uint8_t stopSize = dcb.StopBits == sb_1 ? 1 : dcb.StopBits == sb_2 ? 2 : 3;
        const bool hardware =
            dcb.Has(TSerialDcb::fOutxCtsFlow) || dcb.RtsControl() == TSerialDcb::CONTROL_HANDSHAKE;
        const uint8_t flow = hardware                                                  ? FlowHardware
                             : dcb.Has(TSerialDcb::fOutX) || dcb.Has(TSerialDcb::fInX) ? FlowXonXoff
                                                                                       : FlowNone;
        const uint8_t dtr = dcb.DtrControl() == TSerialDcb::CONTROL_DISABLE ? DtrOff : DtrOn;
        const uint8_t rts = dcb.RtsControl() == TSerialDcb::CONTROL_DISABLE ? RtsOff : RtsOn;
        const uint8_t rateBytes[4] = {static_cast<uint8_t>(rate >> 24), static_cast<uint8_t>(rate >> 16),
                                      static_cast<uint8_t>(rate >> 8), static_cast<uint8_t>(rate)};
        const uint8_t parity = static_cast<uint8_t>(dcb.Parity + 1);
        std::vector<uint8_t> request;
        TTelnetCodec::ComPortCommand(TTelnetCodec::SetBaudRate, rateBytes, 4, request);
        TTelnetCodec::ComPortCommand(TTelnetCodec::SetDataSize, &dcb.ByteSize, 1, request);
        TTelnetCodec::ComPortCommand(TTelnetCodec::SetParity, &parity, 1, request);
        TTelnetCodec::ComPortCommand(TTelnetCodec::SetStopSize, &stopSize, 1, request);
        TTelnetCodec::ComPortCommand(TTelnetCodec::SetControl, &flow, 1, request);
        TTelnetCodec::ComPortCommand(TTelnetCodec::SetControl, &dtr, 1, request);
        // With RTS/CTS the server moves RTS itself.
        if (!hardware) TTelnetCodec::ComPortCommand(TTelnetCodec::SetControl, &rts, 1, request);
        {
            std::lock_guard guard(rxLock_);
            for (uint8_t command = TTelnetCodec::SetBaudRate; command <= TTelnetCodec::SetControl; ++command)
                codec_.ForgetAnswer(command);
            if (!Send(request)) return EIO;
        }
        const auto deadline = Clock::now() + AnswerWait;
        const size_t controls = hardware ? 2 : 3;
        for (;;) {
            {
                std::lock_guard guard(rxLock_);
                Pull();
                bool all = codec_.ControlAnswers().size() >= controls;
                for (uint8_t command = TTelnetCodec::SetBaudRate; command < TTelnetCodec::SetControl;
                     ++command)
                    all = all && codec_.Answer(command).Seen;
                if (all) break;
            }
            if (hungUp_) return EIO;
            if (Clock::now() >= deadline) break;
            pollfd socket{fd_, POLLIN, 0};
            poll(&socket, 1, SliceUntil(deadline));
        }
        std::lock_guard guard(rxLock_);
        std::string refused;
        const auto check = [&](uint8_t command, uint32_t asked, const std::string& name,
                               const std::string& answered, const std::string& wanted) {
            const TTelnetCodec::TAnswer& answer = codec_.Answer(command);
            if (refused.empty() && answer.Seen && answer.Value != asked)
                refused = name + " " + answered + " instead of " + wanted;
        };
        const TTelnetCodec::TAnswer& rateAnswer = codec_.Answer(TTelnetCodec::SetBaudRate);
        check(TTelnetCodec::SetBaudRate, rate, "baud rate", std::to_string(rateAnswer.Value),
              std::to_string(rate));
        check(TTelnetCodec::SetDataSize, dcb.ByteSize, "data bits",
              std::to_string(codec_.Answer(TTelnetCodec::SetDataSize).Value), std::to_string(dcb.ByteSize));
        check(TTelnetCodec::SetParity, parity, "parity",
              ParityName(static_cast<uint8_t>(codec_.Answer(TTelnetCodec::SetParity).Value)),
              ParityName(parity));
        check(TTelnetCodec::SetStopSize, stopSize, "stop bits",
              StopBitsName(static_cast<uint8_t>(codec_.Answer(TTelnetCodec::SetStopSize).Value)),
              StopBitsName(stopSize));
        for (const uint8_t answer : codec_.ControlAnswers()) {
            if (!refused.empty()) break;
            if (answer >= FlowNone && answer <= FlowHardware && answer != flow)
                refused = std::string("flow control ") + FlowName(answer) + " instead of " + FlowName(flow);
            else if ((answer == DtrOn || answer == DtrOff) && answer != dtr)
                refused = std::string("DTR ") + (answer == DtrOn ? "on" : "off") + " instead of " +
                          (dtr == DtrOn ? "on" : "off");
            else if (!hardware && (answer == RtsOn || answer == RtsOff) && answer != rts)
                refused = std::string("RTS ") + (answer == RtsOn ? "on" : "off") + " instead of " +
                          (rts == RtsOn ? "on" : "off");
        }
        if (refused.empty()) return 0;
        refusal_ = "the server set " + refused;
        return EINVAL;
    }

    std::string RefusalText() const override { return refusal_; }

    void SetTimeouts(const TSerialTimeouts& timeouts) override { timeouts_ = timeouts; }

    bool SetMask(uint32_t mask) override {
        if (fd_ < 0) return false;
        {
            std::lock_guard guard(rxLock_);
            lineEvents_ = 0;
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
            // The modem and line states arrive on the socket too.
            [this](uint32_t mask) {
                return (mask & (ReceiveEvents | LineEvents)) != 0 && !hungUp_ && !InputHeldBack();
            },
            [this](uint32_t mask, bool watched) {
                return (mask & EV_TXEMPTY) != 0 || (!watched && !hungUp_);
            });
    }

    uint32_t Read(void* buffer, uint32_t count, bool complete) override {
        auto* bytes = static_cast<uint8_t*>(buffer);
        uint32_t done = Take(bytes, count);
        if (!complete || done == count) return done;
        const uint32_t generation = abortGeneration_;
        return serial_io::CompleteRead(
            fd_, bytes, done, count, timeouts_,
            [this](uint8_t* into, uint32_t wanted) { return Take(into, wanted); },
            [this, generation] { return hungUp_ || abortGeneration_ != generation; });
    }

    uint32_t Write(const void* data, uint32_t count, bool complete) override {
        const auto* bytes = static_cast<const uint8_t*>(data);
        std::vector<uint8_t> encoded;
        std::vector<uint32_t> ends;  // encoded size after each data byte
        {
            std::lock_guard guard(rxLock_);
            ends.reserve(count);
            for (uint32_t i = 0; i < count; ++i) {
                if (rfc2217_)
                    codec_.Encode(bytes + i, 1, encoded);
                else
                    encoded.push_back(bytes[i]);
                ends.push_back(static_cast<uint32_t>(encoded.size()));
            }
        }
        auto deadline =
            Deadline(timeouts_.WriteTotalTimeoutMultiplier, timeouts_.WriteTotalTimeoutConstant, count);
        if (!complete || !deadline) deadline = Clock::now() + WriteLimit;
        const uint32_t generation = abortGeneration_;
        size_t sent = 0;
        {
            std::lock_guard guard(txLock_);
            while (sent < encoded.size() && !hungUp_ && abortGeneration_ == generation) {
                sent += SendSome(encoded.data() + sent, encoded.size() - sent);
                if (sent == encoded.size() || Clock::now() >= *deadline) break;
                pollfd socket{fd_, POLLOUT, 0};
                poll(&socket, 1, SliceUntil(deadline));
            }
        }
        if (sent > 0) txPending_ = true;
        if (sent < encoded.size()) {
            int none = 0;
            if (writeError_.compare_exchange_strong(none, hungUp_ ? EIO : ETIMEDOUT))
                writeErrorUnreported_ = true;
        }
        return static_cast<uint32_t>(std::upper_bound(ends.begin(), ends.end(), sent) - ends.begin());
    }

    int WriteError() const override { return writeError_; }

    bool QueueCounts(int& inQueue, int& outQueue) override {
        if (fd_ < 0) return false;
        {
            std::lock_guard guard(rxLock_);
            Pull();
            inQueue = static_cast<int>(stash_.size());
        }
        if (ioctl(fd_, TIOCOUTQ, &outQueue) != 0) outQueue = 0;
        return true;
    }

    bool Purge(uint32_t flags) override {
        if (fd_ < 0) return false;
        if (flags & (PURGE_TXABORT | PURGE_RXABORT)) ++abortGeneration_;
        std::lock_guard guard(rxLock_);
        uint8_t which = 0;
        if (flags & PURGE_RXCLEAR) {
            stash_.clear();
            held_ = reply_.size();
            which |= 1;
        }
        if (flags & (PURGE_TXCLEAR | PURGE_TXABORT)) which |= 2;
        if (!rfc2217_ || which == 0) return true;
        std::vector<uint8_t> request;
        TTelnetCodec::ComPortCommand(TTelnetCodec::PurgeData, &which, 1, request);
        codec_.ForgetAnswer(TTelnetCodec::PurgeData);
        if (!Send(request)) return false;
        // Bytes the device sent before the server purged are still on their way, and
        // bytes it sends after the purge must not be lost to it: the purge is done when
        // the server says so (or, from a server that does not, after AnswerWait), and
        // what came before its answer goes.
        const auto deadline = Clock::now() + AnswerWait;
        while (!codec_.Answer(TTelnetCodec::PurgeData).Seen && !hungUp_ && Clock::now() < deadline) {
            pollfd socket{fd_, POLLIN, 0};
            poll(&socket, 1, SliceUntil(deadline));
            Pull();
        }
        const TTelnetCodec::TAnswer& answer = codec_.Answer(TTelnetCodec::PurgeData);
        if (which & 1)
            stash_.erase(stash_.begin(), answer.Seen ? stash_.begin() + static_cast<std::ptrdiff_t>(std::min(
                                                                            answer.DataBefore, stash_.size()))
                                                     : stash_.end());
        held_ = stash_.size() + reply_.size();
        return true;
    }

    bool ModemStatus(uint32_t& status) override {
        if (fd_ < 0 || !rfc2217_) return false;
        std::lock_guard guard(rxLock_);
        Pull();
        uint8_t state = 0;
        if (!codec_.ModemState(state)) return false;
        status = state & ModemLines;
        return true;
    }

    bool EscapeFunction(uint32_t function) override {
        if (fd_ < 0 || !rfc2217_) return false;
        uint8_t value = 0;
        switch (function) {
            case SETRTS:
                value = RtsOn;
                break;
            case CLRRTS:
                value = RtsOff;
                break;
            case SETDTR:
                value = DtrOn;
                break;
            case CLRDTR:
                value = DtrOff;
                break;
            case SETBREAK:
                value = BreakOn;
                break;
            case CLRBREAK:
                value = BreakOff;
                break;
            default:
                return false;
        }
        std::vector<uint8_t> request;
        TTelnetCodec::ComPortCommand(TTelnetCodec::SetControl, &value, 1, request);
        std::lock_guard guard(rxLock_);
        return Send(request);
    }

    bool HungUp() const override { return hungUp_; }

    size_t HeldBytes() const override { return held_; }

    // Telnet commands alone also wake the caller, whose read then takes nothing: the
    // next wait is a full one again. While answers wait at their bound, input is not
    // taken, so the wait is for the peer to take them.
    int PollDescriptor() const override { return fd_; }

    bool WaitReadable(int timeoutMs) override {
        if (fd_ < 0) return false;
        short wanted = POLLIN;
        {
            std::lock_guard guard(rxLock_);
            if (!stash_.empty() || hungUp_) return true;
            if (reply_.size() >= ReplyLimit) wanted = POLLOUT;
        }
        pollfd socket{fd_, wanted, 0};
        poll(&socket, 1, timeoutMs);
        return true;
    }

    void Close() override {
        if (fd_ < 0) return;
        mask_ = 0;
        close(fd_);
        close(wakeFd_);
        fd_ = -1;
        wakeFd_ = -1;
    }

private:
    // Moves what the socket holds through the codec into the stash, as far as the
    // stash and the answers waiting to be sent have room and at most PullLimit bytes,
    // and sends the answers Telnet requires as each chunk is decoded. A purge that
    // aborts ends it between chunks. Caller holds rxLock_. Returns how many bytes the
    // stash gained.
    size_t Pull() {
        const size_t before = stash_.size();
        const uint32_t generation = abortGeneration_;
        uint8_t chunk[ReceiveChunk];
        size_t taken = 0;
        SendAnswers();
        // A Telnet byte never decodes into more than one data byte, so room for the
        // raw bytes is room for what they become.
        while (!hungUp_ && fd_ >= 0 && stash_.size() < StashCapacity && taken < PullLimit &&
               reply_.size() < ReplyLimit && abortGeneration_ == generation) {
            const size_t room = std::min({sizeof(chunk), StashCapacity - stash_.size(), PullLimit - taken});
            const ssize_t got = recv(fd_, chunk, room, MSG_DONTWAIT);
            if (got > 0) {
                taken += static_cast<size_t>(got);
                if (!rfc2217_) {
                    stash_.insert(stash_.end(), chunk, chunk + got);
                } else {
                    codec_.Decode(chunk, static_cast<size_t>(got), stash_, reply_);
                    NoteLineChanges();
                    SendAnswers();
                }
                held_ = stash_.size() + reply_.size();
            } else if (got == 0 || (errno != EAGAIN && errno != EINTR)) {
                hungUp_ = true;
            } else if (errno == EAGAIN) {
                break;
            }
        }
        if (mask_ & ReceiveEvents)
            receivedEvents_ |=
                EventsFromReceived(stash_.data() + before, stash_.size() - before, eventChar_, mask_);
        return stash_.size() - before;
    }

    // Sends what the socket takes now of the answers waiting, without waiting for it:
    // a peer that does not read must not hold the reader. Caller holds rxLock_.
    void SendAnswers() {
        if (reply_.empty()) return;
        size_t sent = 0;
        {
            std::lock_guard guard(txLock_);
            while (sent < reply_.size() && !hungUp_) {
                const size_t put = SendSome(reply_.data() + sent, reply_.size() - sent);
                if (put == 0) break;
                sent += put;
            }
        }
        reply_.erase(reply_.begin(), reply_.begin() + static_cast<std::ptrdiff_t>(sent));
        held_ = stash_.size() + reply_.size();
    }

    // Caller holds rxLock_.
    void NoteLineChanges() {
        uint8_t modem = 0;
        if (codec_.ModemState(modem)) {
            lineEvents_ |= EventsFromModemLines(modemLines_, modem & ModemLines, LineEvents);
            modemLines_ = modem & ModemLines;
        }
        const uint8_t line = codec_.TakeLineState();
        if (line & LineBreak) lineEvents_ |= EV_BREAK;
        if (line & LineErrors) lineEvents_ |= EV_ERR;
    }

    uint32_t Take(uint8_t* bytes, uint32_t count) {
        std::lock_guard guard(rxLock_);
        if (stash_.size() < count) Pull();
        const auto taken = static_cast<uint32_t>(std::min<size_t>(count, stash_.size()));
        std::copy_n(stash_.begin(), taken, bytes);
        stash_.erase(stash_.begin(), stash_.begin() + taken);
        held_ = stash_.size() + reply_.size();
        return taken;
    }

    // Sends all of bytes, waiting for the socket at most WriteLimit. Caller holds
    // rxLock_ when bytes are Telnet commands, so that they keep their order.
    bool Send(const std::vector<uint8_t>& bytes) {
        const auto deadline = Clock::now() + WriteLimit;
        std::lock_guard guard(txLock_);
        size_t sent = 0;
        while (sent < bytes.size() && !hungUp_) {
            sent += SendSome(bytes.data() + sent, bytes.size() - sent);
            if (sent == bytes.size() || Clock::now() >= deadline) break;
            pollfd socket{fd_, POLLOUT, 0};
            poll(&socket, 1, SliceUntil(deadline));
        }
        return sent == bytes.size();
    }

    // Caller holds txLock_.
    size_t SendSome(const uint8_t* bytes, size_t count) {
        const ssize_t put = send(fd_, bytes, count, MSG_DONTWAIT | MSG_NOSIGNAL);
        if (put > 0) return static_cast<size_t>(put);
        if (put < 0 && errno != EAGAIN && errno != EINTR) hungUp_ = true;
        return 0;
    }

    // Pull takes nothing now: the stash is full, or the answers waiting are at their bound.
    bool InputHeldBack() {
        std::lock_guard guard(rxLock_);
        return stash_.size() >= StashCapacity || reply_.size() >= ReplyLimit;
    }

    uint32_t CollectEvents(uint32_t mask) {
        uint32_t events = 0;
        {
            std::lock_guard guard(rxLock_);
            Pull();
            events |= receivedEvents_ & mask;
            receivedEvents_ = 0;
            events |= lineEvents_ & mask;
            lineEvents_ = 0;
        }
        if ((mask & EV_TXEMPTY) && txPending_) {
            int queued = 0;
            if (ioctl(fd_, TIOCOUTQ, &queued) != 0 || queued == 0) {
                txPending_ = false;
                events |= EV_TXEMPTY;
            }
        }
        if ((mask & EV_ERR) && writeErrorUnreported_.exchange(false)) events |= EV_ERR;
        return events;
    }

    int fd_;
    int wakeFd_;
    const bool rfc2217_;
    TSerialTimeouts timeouts_;  // the owner's thread only
    std::string refusal_;       // the owner's thread only
    std::atomic<uint32_t> mask_{0};
    std::atomic<uint32_t> maskGeneration_{0};
    std::atomic<bool> hungUp_{false};
    std::atomic<bool> txPending_{false};
    std::atomic<uint32_t> abortGeneration_{0};
    std::atomic<uint8_t> eventChar_{0};
    std::atomic<int> writeError_{0};
    std::atomic<bool> writeErrorUnreported_{false};

    std::atomic<size_t> held_{0};  // stash_ and reply_ together, for HeldBytes

    // Guards the codec, the stash, the answers, the events gathered from them and every recv().
    // Taken before txLock_.
    std::mutex rxLock_;
    TTelnetCodec codec_;
    std::vector<uint8_t> stash_;
    std::vector<uint8_t> reply_;  // Telnet answers not sent yet, at most about ReplyLimit
    uint32_t receivedEvents_ = 0;
    uint32_t lineEvents_ = 0;
    uint32_t modemLines_ = 0;

    std::mutex txLock_;  // guards every send(), so that commands and data never interleave
};

}  // namespace

bool IsNetworkPortAddress(std::string_view text) {
    return text.substr(0, Rfc2217Prefix.size()) == Rfc2217Prefix ||
           text.substr(0, TcpPrefix.size()) == TcpPrefix;
}

bool ParseNetworkPortAddress(std::string_view text, TNetPortAddress& address) {
    TNetPortAddress parsed;
    parsed.Rfc2217 = text.substr(0, Rfc2217Prefix.size()) == Rfc2217Prefix;
    if (parsed.Rfc2217)
        text.remove_prefix(Rfc2217Prefix.size());
    else if (text.substr(0, TcpPrefix.size()) == TcpPrefix)
        text.remove_prefix(TcpPrefix.size());
    else
        return false;
    size_t colon = 0;
    if (!text.empty() && text.front() == '[') {
        const size_t close = text.find(']');
        if (close == std::string_view::npos || close + 1 >= text.size() || text[close + 1] != ':')
            return false;
        parsed.Host = std::string(text.substr(1, close - 1));
        colon = close + 1;
    } else {
        colon = text.rfind(':');
        if (colon == std::string_view::npos) return false;
        parsed.Host = std::string(text.substr(0, colon));
        if (parsed.Host.find_first_of(":[]") != std::string::npos) return false;
    }
    const std::string_view port = text.substr(colon + 1);
    if (parsed.Host.empty() || port.empty() || port.size() > 5) return false;
    if (parsed.Host.find_first_of(" /\t") != std::string::npos) return false;
    uint32_t number = 0;
    for (const char c : port) {
        if (c < '0' || c > '9') return false;
        number = number * 10 + static_cast<uint32_t>(c - '0');
    }
    if (number == 0 || number > 65535) return false;
    parsed.Port = static_cast<uint16_t>(number);
    address = std::move(parsed);
    return true;
}

bool IsMalformedNetworkPortAddress(std::string_view text) {
    TNetPortAddress address;
    return IsNetworkPortAddress(text) && !ParseNetworkPortAddress(text, address);
}

std::unique_ptr<ISerialHandle> OpenNetworkPort(const std::string& text, int& errorNumber,
                                               const TOpenAbandoned& abandoned) {
    errorNumber = 0;
    TNetPortAddress address;
    if (!ParseNetworkPortAddress(text, address)) {
        errorNumber = EINVAL;
        return nullptr;
    }
    const auto deadline = Clock::now() + milliseconds(NetConnectLimitMs);
    const int fd = Connect(address, deadline, abandoned, errorNumber);
    if (fd < 0) return nullptr;
    const int wakeFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wakeFd < 0) {
        errorNumber = errno;
        close(fd);
        return nullptr;
    }
    auto handle = std::make_unique<TNetSerialHandle>(fd, wakeFd, address.Rfc2217);
    if (address.Rfc2217) {
        errorNumber = handle->Negotiate(std::min(deadline, Clock::now() + NegotiationLimit), abandoned);
        if (errorNumber != 0) return nullptr;
    }
    return handle;
}
