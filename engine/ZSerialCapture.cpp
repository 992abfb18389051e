#include "ZSerialCapture.h"

#include <poll.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <thread>

#include "SerialPlatformNet.h"
#include "ZSendSequence.h"
#include "ZULText.h"

namespace {

constexpr auto PortTimeLimit = std::chrono::seconds(2);
constexpr auto PortWaitStep = std::chrono::milliseconds(100);
constexpr int ChunkPumpIntervalMs = 1;
constexpr int ChunkPumpCapacity = 1000;
constexpr int ChunkPumpResumeAt = 500;
constexpr int HighestPortScanned = 99;

std::string FileNameWithoutFolder(const std::string& path) {
    return std::filesystem::path(path).filename().string();
}

// A port the capture waits on, and whether its handle may hold bytes already read from
// the device (a poll would not show those).
struct sWaitedPort {
    TSerial* Port;
    bool MayHoldBytes;
};

// Waits up to timeoutMs until one of the ports has bytes to read or hangs up; false,
// without waiting, when one of them cannot be waited for so.
bool WaitReadableAny(const sWaitedPort* ports, int count, int timeoutMs) {
    if (count == 1) return ports[0].Port->WaitReadable(timeoutMs);
    pollfd slots[ZSerialCapture::MaxLines] = {};
    for (int i = 0; i < count; ++i) {
        const int fd = ports[i].Port->GetPollDescriptor();
        if (fd < 0) return false;
        if (ports[i].MayHoldBytes) return true;
        slots[i] = {fd, POLLIN, 0};
    }
    poll(slots, static_cast<nfds_t>(count), timeoutMs);
    // Each port notes its own hang-up; only one the poll saw go needs to look.
    for (int i = 0; i < count; ++i)
        if ((slots[i].revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) ports[i].Port->WaitReadable(0);
    return true;
}

}  // namespace

const ZRateTableEntry RateTable[20] = {
    {br_000050, 50},     {br_000110, 110},    {br_000150, 150},    {br_000300, 300},    {br_000600, 600},
    {br_001200, 1200},   {br_002400, 2400},   {br_004800, 4800},   {br_009600, 9600},   {br_014400, 14400},
    {br_019200, 19200},  {br_038400, 38400},  {br_056000, 56000},  {br_057600, 57600},  {br_115200, 115200},
    {br_128000, 128000}, {br_230400, 230400}, {br_256000, 256000}, {br_460800, 460800}, {br_921600, 921600},
};

ZSerialCapture::ZSerialCapture(int pollIntervalMs, int readSize)
    : ZSerialCapture(pollIntervalMs, readSize, DefaultSerialPlatform()) {}

ZSerialCapture::ZSerialCapture(int pollIntervalMs, int readSize, ISerialPlatform& platform)
    : pollInterval_(pollIntervalMs),
      readSize_(std::max(readSize, 1)),
      chunkLoss_("SerialCapture", "PostChunk", ZULFormat(ZUL_TEXT("LossCounter", "received bytes"))),
      sentLoss_("SerialCapture", "SendBytes", ZULFormat(ZUL_TEXT("LossCounter", "sent bytes"))),
      forwardLoss_("SerialCapture", "Forward", ZULFormat(ZUL_TEXT("LossCounter", "forwarded bytes")),
                   ZULFormat(ZUL_TEXT("LossCounter", "port gone or full"))),
      readBuffer_(static_cast<size_t>(readSize_)) {
    chunkLoss_.SetErrorHistory(&errors_);
    sentLoss_.SetErrorHistory(&errors_);
    forwardLoss_.SetErrorHistory(&errors_);
    // The port component and the dialogs rely on the port table, which is filled once per process.
    InitSerial(HighestPortScanned);
    pump_ = std::make_unique<TZULMsgPump<std::unique_ptr<sReceivedData>>>(
        false, ChunkPumpIntervalMs, false,
        [this](std::unique_ptr<sReceivedData> item) { ChunkArrived(std::move(item)); }, false,
        ChunkPumpCapacity, ChunkPumpResumeAt);
    // A cycle reads everything waiting at once; handed on back to back, one cycle's
    // chunks would reach the windows as a burst of blocks that their small queues
    // (100 status messages, 80 entries) cannot hold. Spread over the poll interval,
    // they arrive as an even stream.
    SpreadChunks(true);
    DeliverPromptly(true);
    for (sLine& line : lines_) {
        line.DriverLoss.SetErrorHistory(&errors_);
        // Scanned above, before the port picks its default from the table.
        line.Port = std::make_unique<TSerial>(nullptr, platform, TPortTable::Global());
        // The capture reads only what is there: a completing read without time-outs would
        // wait, holding the port lock, for bytes the waiting count merely promised.
        line.Port->SetSyncWait(false);
        line.Port->SetOpenAbandoned(
            [this] { return closing_ || (stopFlag_ != nullptr && stopFlag_->load()); });
    }
    thread_.Start([this] { Execute(); });
}

ZSerialCapture::~ZSerialCapture() {
    StopCaptureThread();
}

void ZSerialCapture::SpreadChunks(bool spread) {
    pump_->SetSpread(spread ? std::max(pollInterval_ / ChunkPumpIntervalMs, 1) : 0);
}

void ZSerialCapture::DeliverPromptly(bool prompt) {
    pump_->SetPrompt(prompt);
}

void ZSerialCapture::StopCaptureThread() {
    if (stopped_.exchange(true)) return;
    thread_.Terminate();
    {
        // Wakes a thread that waits for a granted cycle.
        std::lock_guard guard(cycleLock_);
        cycleChanged_.notify_all();
    }
    {
        // Wakes a thread that waits for a lost port.
        std::lock_guard guard(portLock_);
        portWake_.notify_all();
    }
    thread_.WaitFor();
    pump_->Terminate();
    pump_->WaitFor();
    chunkLoss_.Close();
    sentLoss_.Close();
}

void ZSerialCapture::Execute() {
    // A poll every interval, not an interval after each poll: the cycles of a busy
    // line take time of their own, which must not stretch the period (the driver
    // holds only so much between two polls). Ticks missed by a long cycle are not
    // made up for with a burst of polls, and a cycle that came early (woken by data
    // or by room in the pump) moves the schedule no further than one interval ahead
    // of the clock: a lead would be slept out later, by a capture that then reads
    // nothing and notices nothing.
    using Clock = std::chrono::steady_clock;
    const auto interval = std::chrono::milliseconds(pollInterval_);
    auto next = Clock::now() + interval;
    while (WaitForNextCycle(next) && EnterCycle()) {
        PollPort();
        LeaveCycle();
        const auto now = Clock::now();
        NoteLineLoad(now);
        // While every port is waited for, the tries set the pace.
        if (AllWaiting())
            next = now + std::chrono::milliseconds(reconnectIntervalMs_.load());
        else
            next = std::clamp(next + interval, now, now + interval);
    }
    std::lock_guard guard(portLock_);
    for (sLine& line : lines_) line.Port->SetActive(false);
    if (raw_) raw_->Close();
}

void ZSerialCapture::NoteLineLoad(std::chrono::steady_clock::time_point now) {
    const auto interval = std::chrono::milliseconds(pollInterval_);
    if (now - loadIntervalStart_ < interval) return;
    // A terminal driver holds only some kilobytes between two polls and holds the device
    // back (or drops) beyond: a line this busy is read as its bytes come.
    const auto busyBytes =
        static_cast<uint64_t>(BusyBytesPerSecond) * static_cast<uint64_t>(pollInterval_) / 1000;
    std::lock_guard guard(portLock_);
    busy_ = loadIntervalBytes_ >= std::max<uint64_t>(busyBytes, 1);
    loadIntervalBytes_ = 0;
    loadIntervalStart_ = now;
}

bool ZSerialCapture::AllWaiting() const {
    std::lock_guard guard(portLock_);
    return AllWaitingLocked();
}

bool ZSerialCapture::AllWaitingLocked() const {
    for (int i = 0; i < LineCount(); ++i)
        if (!lines_[i].WaitingForPort) return false;
    return true;
}

bool ZSerialCapture::AnyActiveLocked() const {
    for (int i = 0; i < LineCount(); ++i)
        if (lines_[i].Port->GetActive() || lines_[i].WaitingForPort) return true;
    return false;
}

bool ZSerialCapture::WaitForNextCycle(std::chrono::steady_clock::time_point next) {
    const auto now = std::chrono::steady_clock::now();
    bool heldBack = false;
    {
        std::unique_lock guard(portLock_);
        if (AllWaitingLocked()) {
            NoteWait(next - now);
            // A stop must not wait out the interval between two tries.
            portWake_.wait_until(guard, next, [this] { return thread_.Terminated() || !AllWaitingLocked(); });
            return !thread_.Terminated();
        }
        for (int i = 0; i < LineCount(); ++i)
            heldBack = heldBack || (lines_[i].HeldBack && lines_[i].Port->GetActive());
    }
    if (heldBack) {
        // The pump's room, not the port, decides when reading goes on.
        NoteWait(next - now);
        pump_->WaitForRoom(next - now);
        return !thread_.Terminated();
    }
    if (WaitForBytes()) return !thread_.Terminated();
    NoteWait(next - now);
    return thread_.SleepUntil(next);
}

void ZSerialCapture::NoteWait(std::chrono::steady_clock::duration length) {
    const int64_t us = std::chrono::duration_cast<std::chrono::microseconds>(length).count();
    int64_t longest = longestWaitUs_.load();
    while (us > longest && !longestWaitUs_.compare_exchange_weak(longest, us)) {
    }
}

bool ZSerialCapture::WaitForBytes() {
    std::lock_guard guard(portLock_);
    if (!precise_ && !busy_) return false;
    sWaitedPort ports[MaxLines] = {};
    int count = 0;
    for (int i = 0; i < LineCount(); ++i) {
        const sLine& line = lines_[i];
        if (!line.WaitingForPort && !line.LostReported && line.Port->GetActive())
            ports[count++] = {line.Port.get(), !line.Drained};
    }
    if (count == 0) return false;
    int timeoutMs = pollInterval_;
    if (const int64_t due = NextSilenceDueUs(); due > 0) {
        // Woken when the silence is due, so the frame it ends goes out without delay.
        const int64_t left = due - ZULNowMicros();
        timeoutMs = static_cast<int>(std::clamp<int64_t>((left + 999) / 1000, 0, pollInterval_));
    }
    NoteWait(std::chrono::milliseconds(timeoutMs));
    return WaitReadableAny(ports, count, timeoutMs);
}

int64_t ZSerialCapture::NextSilenceDueUs() const {
    if (silenceGapUs_ <= 0) return 0;
    int64_t due = 0;
    for (int i = 0; i < LineCount(); ++i)
        if (lines_[i].SilenceDue && (due == 0 || SilenceDueUs(lines_[i]) < due))
            due = SilenceDueUs(lines_[i]);
    return due;
}

void ZSerialCapture::PostSilenceIfDue(int index) {
    sLine& line = lines_[index];
    if (!line.SilenceDue || silenceGapUs_ <= 0 || ZULNowMicros() < SilenceDueUs(line)) return;
    auto item = std::make_unique<sReceivedData>();
    item->Event = ZPortEvent::Silence;
    item->TimeUs = line.LastReadUs;
    item->Line = static_cast<uint8_t>(index);
    // A refused event is not repeated: the next read, a gap or more later, ends the frame as well.
    pump_->Post(item, ChunkPriority);
    line.SilenceDue = false;
}

int64_t ZSerialCapture::SilenceDueUs(const sLine& line) const {
    return line.LastReadUs + line.LastReadLineUs + silenceGapUs_;
}

void ZSerialCapture::SetPreciseTime(bool precise, int64_t silenceGapUs) {
    std::lock_guard guard(portLock_);
    precise_ = precise;
    silenceGapUs_ = precise ? silenceGapUs : 0;
    for (int i = 0; i < MaxLines; ++i) {
        lines_[i].SilenceDue = false;
        lines_[i].Timing = LineTimingLocked(i);
    }
}

bool ZSerialCapture::EnterCycle() {
    std::unique_lock guard(cycleLock_);
    cycleChanged_.wait(guard, [this] { return thread_.Terminated() || !cyclesHeld_ || cyclesGranted_ > 0; });
    if (thread_.Terminated()) return false;
    if (cyclesHeld_) --cyclesGranted_;
    inCycle_ = true;
    return true;
}

void ZSerialCapture::LeaveCycle() {
    std::lock_guard guard(cycleLock_);
    inCycle_ = false;
    ++cyclesRun_;
    cycleChanged_.notify_all();
}

void ZSerialCapture::HoldCycles() {
    std::unique_lock guard(cycleLock_);
    cyclesHeld_ = true;
    cyclesGranted_ = 0;
    cycleChanged_.wait(guard, [this] { return !inCycle_; });
}

bool ZSerialCapture::RunCycles(int count, std::chrono::milliseconds limit) {
    std::unique_lock guard(cycleLock_);
    const uint64_t target = cyclesRun_ + static_cast<uint64_t>(std::max(count, 0));
    if (cyclesHeld_) {
        cyclesGranted_ += std::max(count, 0);
        cycleChanged_.notify_all();
    }
    return cycleChanged_.wait_for(guard, limit, [&] { return cyclesRun_ >= target || stopped_; }) &&
           cyclesRun_ >= target;
}

void ZSerialCapture::PollPort() {
    std::lock_guard guard(portLock_);
    for (int i = 0; i < LineCount(); ++i) PollLine(i);
    if (raw_) raw_->FlushIfDue(std::chrono::steady_clock::now());
    // Only while a capture runs: before the first start the derived object may still
    // be under construction, and the start's lock orders it before this call.
    if (AnyActiveLocked()) PollDone();
}

void ZSerialCapture::PollLine(int index) {
    sLine& line = lines_[index];
    if (line.WaitingForPort) {
        // The lost port's event goes before the try: a port that is back at once must
        // not let new chunks overtake it. The other line keeps the cycles going, so the
        // tries keep their own pace.
        const auto now = std::chrono::steady_clock::now();
        if (PostPendingEvents(index) && now >= line.NextTry) {
            line.NextTry = now + std::chrono::milliseconds(reconnectIntervalMs_.load());
            TryReconnect(index);
        }
    } else if (line.Port->GetActive() && !line.LostReported && PostPendingEvents(index)) {
        ReadWhatWaits(index);
        CheckDriverLosses(line);
        if (precise_) PostSilenceIfDue(index);
        if (line.Port->IsHungUp()) {
            ReportPortLost(index);
            if (reconnect_) BeginWaitingForPort(index);
        }
    }
}

void ZSerialCapture::ReadWhatWaits(int index) {
    // Each cycle reads until nothing is waiting any more, in chunks of at most ReadSize.
    // A full pump holds the reading back: the chunk it refused waits for room, and what
    // is not read stays with the driver. A read never waits (SyncWait is off), so no
    // count is asked first: it would cost two more calls per chunk and is only a hint.
    sLine& line = lines_[index];
    line.Drained = false;
    line.HeldBack = !PostHeldChunk(line, std::chrono::steady_clock::now());
    for (int chunks = 0; !line.HeldBack && chunks < MaxChunksPerCycle && !thread_.Terminated() && !closing_;
         ++chunks) {
        const auto got =
            static_cast<int>(line.Port->RData(readBuffer_.data(), static_cast<uint32_t>(readSize_)));
        if (got <= 0) {
            line.Drained = true;
            break;
        }
        const int64_t readUs = ZULNowMicros();
        // Recorded before anything further along can hold the bytes.
        if (raw_) raw_->Write(readBuffer_.data(), static_cast<size_t>(got), readUs, index);
        // Passed on before anything can hold the bytes back: the peer waits for them.
        if (forwarding_) Forward(index, readBuffer_.data(), got);
        line.HeldBack = !PostChunk(index, readBuffer_.data(), got, readUs);
        line.LastReadUs = readUs;
        line.LastReadLineUs = line.Timing.BytesMicros(got);
        line.SilenceDue = true;
        loadIntervalBytes_ += static_cast<uint64_t>(got);
    }
}

void ZSerialCapture::Forward(int from, const uint8_t* bytes, int count) {
    sLine& to = lines_[1 - from];
    const bool open = to.Port->GetActive() && !to.WaitingForPort && !to.LostReported;
    // The port keeps what the device cannot take at once and sends it in order; only what
    // it cannot even keep, or a port that is gone, loses bytes.
    const uint32_t taken = open ? to.Port->TData(bytes, static_cast<uint32_t>(count)) : 0;
    if (taken < static_cast<uint32_t>(count))
        forwardLoss_.Lost(static_cast<uint64_t>(count) - taken);
    else
        forwardLoss_.Accepted();
}

void ZSerialCapture::ForgetDrained(int index) {
    lines_[index].Drained = false;
}

void ZSerialCapture::SetForwarding(bool forward) {
    std::lock_guard guard(portLock_);
    if (!AnyActiveLocked()) forwarding_ = forward;
}

bool ZSerialCapture::ChangeLine(int line, int32_t rate, TStopBits stopBits) {
    std::lock_guard guard(portLock_);
    sLine& chosen = lines_[LineIndex(line)];
    SetRate(*chosen.Port, rate);
    chosen.Port->SetStopBits(stopBits);
    chosen.Timing = LineTimingLocked(LineIndex(line));
    return chosen.Port->ApplyLineSettings();
}

void ZSerialCapture::CheckDriverLosses(sLine& line) {
    uint32_t lost = 0;
    if (!line.DriverCounts || !line.Port->GetReceiveLosses(lost)) return;
    // Unsigned, so a counter that wrapped still gives what it grew by.
    const uint32_t grown = lost - line.DriverLost;
    line.DriverLost = lost;
    if (grown > 0)
        line.DriverLoss.Lost(grown);
    else
        line.DriverLoss.Accepted();
}

void ZSerialCapture::BeginWaitingForPort(int index) {
    sLine& line = lines_[index];
    if (raw_) raw_->Flush();
    // An adapter that is plugged in again while its old device is still held open
    // comes back under another name; the dead device goes at once.
    line.Port->SetActive(false);
    line.WaitingForPort = true;
    line.NextTry = std::chrono::steady_clock::now() + std::chrono::milliseconds(reconnectIntervalMs_.load());
    line.PendingEvents.push_back(ZPortEvent::Lost);
    PostPendingEvents(index);
}

void ZSerialCapture::TryReconnect(int index) {
    sLine& line = lines_[index];
    // The reopen uses the line settings of the start; settings changed since then
    // (the window program allows that while capturing) wait for the next start.
    const TSerialConfig pending = line.Port->GetConfig();
    line.Port->SetConfig(line.OpenConfig);
    line.Port->SetActive(true);
    line.Port->SetConfig(pending);
    if (!line.Port->GetActive()) return;
    line.WaitingForPort = false;
    line.LostReported = false;
    NoteOpened(index);
    errors_.AddInformation(
        "SerialCapture", "Reconnect",
        LineCount() == 1 ? ZULFormat(ZUL_TEXT("SerialCapture", "The COM port is back: %1"), {line.OpenDevice})
                         : ZULFormat(ZUL_TEXT("SerialCapture", "The COM port of line %1 is back: %2"),
                                     {NameOfLine(index), line.OpenDevice}));
    line.PendingEvents.push_back(ZPortEvent::Back);
    PostPendingEvents(index);
}

bool ZSerialCapture::PostPendingEvents(int index) {
    // Events are rare and the pump refuses them only while it is full; one that is
    // refused is offered again, ahead of any chunk, in the next cycle.
    std::vector<ZPortEvent>& pending = lines_[index].PendingEvents;
    while (!pending.empty()) {
        auto item = std::make_unique<sReceivedData>();
        item->Event = pending.front();
        item->Line = static_cast<uint8_t>(index);
        if (!pump_->Post(item, ChunkPriority)) return false;
        pending.erase(pending.begin());
    }
    return true;
}

void ZSerialCapture::ReportPortLost(int index) {
    sLine& line = lines_[index];
    // The port stays "open" for IsCapturing until StopCapture, so that the bytes read before
    // are flushed and logged the usual way; the thread just stops touching the dead device.
    line.LostReported = true;
    // What was lost last is what the driver dropped before the end.
    CheckDriverLosses(line);
    line.DriverLoss.Close();
    // The device that was open: a port's link may be gone by now, or point elsewhere.
    errors_.AddError(
        "SerialCapture", "PollPort",
        LineCount() == 1
            ? ZULFormat(ZUL_TEXT("SerialCapture", "The COM port was lost (device %1 hung up or was removed)"),
                        {line.OpenDevice})
            : ZULFormat(ZUL_TEXT("SerialCapture",
                                 "The COM port of line %1 was lost (device %2 hung up or was removed)"),
                        {NameOfLine(index), line.OpenDevice}));
}

std::string ZSerialCapture::NameOfLine(int index) const {
    return lines_[index].Name.empty() ? DefaultLineName(index) : lines_[index].Name;
}

void ZSerialCapture::NoteOpened(int index) {
    sLine& line = lines_[index];
    // A port link names the port; the user also wants to see which device it led to.
    line.OpenDevice = WithLinkTarget(line.Port->GetLastOpenDevice());
    line.Drained = false;
    line.DriverCounts = line.Port->GetReceiveLosses(line.DriverLost);
}

std::string ZSerialCapture::WithLinkTarget(const std::string& device) {
    // A port link names the port; the user also wants to see which device came back.
    struct stat link {};
    if (lstat(device.c_str(), &link) != 0 || !S_ISLNK(link.st_mode)) return device;
    std::error_code error;
    const std::filesystem::path target = std::filesystem::canonical(device, error);
    return error ? device : device + " (" + target.string() + ")";
}

std::string ZSerialCapture::DeviceName(int line) const {
    const TSerial& port = *lines_[line].Port;
    std::string device = port.GetDevicePath();
    return device.empty() ? "COM" + std::to_string(port.GetCOMPort()) : device;
}

std::string ZSerialCapture::DefaultLineName(int line) const {
    const TSerial& port = *lines_[line].Port;
    if (!lines_[line].NetworkPort.empty()) return lines_[line].NetworkPort;
    const std::string device = port.GetDevicePath();
    return device.empty() ? "COM" + std::to_string(port.GetCOMPort()) : FileNameWithoutFolder(device);
}

bool ZSerialCapture::PostChunk(int line, const uint8_t* bytes, int count, int64_t timeUs) {
    auto item = std::make_unique<sReceivedData>();
    item->Data.assign(bytes, bytes + count);
    item->Size = count;
    item->TimeUs = timeUs;
    item->Line = static_cast<uint8_t>(line);
    if (precise_) item->Time = ZULFromUnixMicros(timeUs);
    if (pump_->Post(item, ChunkPriority)) return true;
    lines_[line].HeldChunk = std::move(item);
    return false;
}

bool ZSerialCapture::PostHeldChunk(sLine& line, std::chrono::steady_clock::time_point until) {
    while (line.HeldChunk && !pump_->Post(line.HeldChunk, ChunkPriority)) {
        const auto now = std::chrono::steady_clock::now();
        if (now >= until || stopped_) return false;
        pump_->WaitForRoom(until - now);
    }
    return true;
}

bool ZSerialCapture::PostReceivedChunk(const uint8_t* bytes, int count, bool waitWhenFull, int64_t timeUs,
                                       int line) {
    if (stopped_) return false;
    bool allAccepted = true;
    for (int offset = 0; offset < count; offset += readSize_) {
        const int size = std::min(readSize_, count - offset);
        auto item = std::make_unique<sReceivedData>();
        item->Data.assign(bytes + offset, bytes + offset + size);
        item->Size = size;
        item->Line = static_cast<uint8_t>(LineIndex(line));
        if (timeUs != 0) {
            item->TimeUs = timeUs;
            item->Time = ZULFromUnixMicros(timeUs);
        }
        if (PostItem(item, waitWhenFull)) {
            chunkLoss_.Accepted();
        } else {
            chunkLoss_.Lost(static_cast<uint64_t>(size));
            allAccepted = false;
        }
    }
    return allAccepted;
}

void ZSerialCapture::ChunkArrived(std::unique_ptr<sReceivedData> item) {
    chunkTimeUs_ = item->TimeUs;
    chunkLine_ = item->Line;
    if (item->Sent) {
        ProcessSent(item->Data.data(), item->Size, item->Time);
        return;
    }
    if (item->Event == ZPortEvent::Silence) {
        SilenceSince(item->TimeUs);
        return;
    }
    if (item->Event != ZPortEvent::None) {
        PortStateChanged(item->Event == ZPortEvent::Lost);
        return;
    }
    if (item->Time != 0)
        ProcessTimedData(item->Data.data(), item->Size, item->Time, item->TimeUs);
    else
        ProcessData(item->Data.data(), item->Size);
}

void ZSerialCapture::DrainChunks() {
    // A pump that has ended delivers nothing more; its queue would never empty.
    while (!stopped_ && !pump_->IsEmpty()) {
    }
}

ZSendResult ZSerialCapture::SendBytes(const std::vector<uint8_t>& bytes, bool skipWhenBusy,
                                      std::string& errorText) {
    if (bytes.size() > MaxSendBytes) {
        errorText =
            ZULFormat(ZUL_TEXT("SerialCapture", "The sequence is too long to send: %1 bytes (at most %2)."),
                      {std::to_string(bytes.size()), std::to_string(MaxSendBytes)});
        return ZSendResult::Refused;
    }
    std::lock_guard guard(portLock_);
    const sLine& line = lines_[0];
    const std::unique_ptr<TSerial>& port_ = line.Port;
    if (!port_->GetActive() || line.WaitingForPort || line.LostReported) {
        errorText = line.WaitingForPort || line.LostReported
                        ? ZULFormat(ZUL_TEXT("SerialCapture", "Nothing was sent: the COM port was lost."))
                        : ZULFormat(ZUL_TEXT("SerialCapture", "Nothing was sent: no COM port is open."));
        return ZSendResult::Refused;
    }
    const int waiting = port_->GetBufTrm();
    ForgetDrained(0);
    if (skipWhenBusy && waiting > 0) {
        skippedSends_.fetch_add(1);
        return ZSendResult::Skipped;
    }
    if (static_cast<size_t>(waiting) + bytes.size() > 2 * MaxSendBytes) {
        errorText = ZULFormat(ZUL_TEXT("SerialCapture", "Nothing was sent: %1 bytes still wait to go out."),
                              {std::to_string(waiting)});
        return ZSendResult::Refused;
    }
    if (bytes.empty()) return ZSendResult::Sent;
    const auto count = static_cast<uint32_t>(bytes.size());
    const uint32_t taken = port_->TData(bytes.data(), count);
    if (taken != count || port_->GetWriteError() != 0) {
        errorText = ZULFormat(
            port_->IsHungUp()
                ? ZUL_TEXT("SerialCapture",
                           "The COM port did not take the bytes (%1 of %2 sent): %3 hung up or was removed.")
                : ZUL_TEXT("SerialCapture", "The COM port did not take the bytes (%1 of %2 sent): %3."),
            {std::to_string(taken), std::to_string(count), DeviceName(0)});
        if (taken == 0) return ZSendResult::Refused;
    }
    // Stamped as it was handed to the port, so that a precise capture keeps its place
    // in time; recorded and posted under the port lock, as the reads are, so the
    // recording and the record keep the order of the line. A pump that is full drops
    // the record, never the send.
    const int64_t timeUs = ZULNowMicros();
    if (raw_) raw_->WriteSent(bytes.data(), taken, timeUs);
    PostSent(bytes.data(), static_cast<int>(taken), timeUs, false);
    return taken == count ? ZSendResult::Sent : ZSendResult::Refused;
}

bool ZSerialCapture::PostItem(std::unique_ptr<sReceivedData>& item, bool waitWhenFull) {
    bool accepted = pump_->Post(item, ChunkPriority);
    while (!accepted && waitWhenFull && !stopped_) {
        pump_->WaitForRoom(std::chrono::milliseconds(pollInterval_));
        accepted = pump_->Post(item, ChunkPriority);
    }
    return accepted;
}

bool ZSerialCapture::PostSent(const uint8_t* bytes, int count, int64_t timeUs, bool waitWhenFull) {
    auto item = std::make_unique<sReceivedData>();
    item->Data.assign(bytes, bytes + count);
    item->Size = count;
    item->Sent = true;
    item->TimeUs = timeUs;
    item->Time = ZULFromUnixMicros(timeUs);
    const bool accepted = PostItem(item, waitWhenFull);
    if (accepted) {
        sentLoss_.Accepted();
    } else {
        sentLoss_.Lost(static_cast<uint64_t>(count));
    }
    return accepted;
}

bool ZSerialCapture::PostSentRecord(const uint8_t* bytes, int count, int64_t timeUs) {
    return !stopped_ && PostSent(bytes, count, timeUs, true);
}

bool ZSerialCapture::SendsDone() {
    std::lock_guard guard(portLock_);
    TSerial& port = *lines_[0].Port;
    const bool done = !port.GetActive() || port.GetBufTrm() <= 0;
    ForgetDrained(0);
    return done;
}

bool ZSerialCapture::SetOutputLine(uint32_t escapeFunction) {
    std::lock_guard guard(portLock_);
    if (!lines_[0].Port->GetActive() || lines_[0].WaitingForPort) return false;
    return lines_[0].Port->EscapeFunction(escapeFunction);
}

bool ZSerialCapture::GetInputLines(uint32_t& status) {
    std::lock_guard guard(portLock_);
    if (!lines_[0].Port->GetActive() || lines_[0].WaitingForPort) return false;
    return lines_[0].Port->GetModemStatus(status);
}

bool ZSerialCapture::OpenPort() {
    {
        std::lock_guard guard(portLock_);
        if (AnyActiveLocked()) return false;
        closing_ = false;
        skippedSends_.store(0);
        busy_ = false;
        loadIntervalBytes_ = 0;
    }
    for (int i = 0; i < MaxLines; ++i) {
        {
            std::lock_guard guard(portLock_);
            if (i >= LineCount()) break;
        }
        if (OpenLine(i)) continue;
        // Both lines or neither: a capture of one direction only would look complete.
        std::lock_guard guard(portLock_);
        for (int j = 0; j < i; ++j) lines_[j].Port->SetActive(false);
        return false;
    }
    return true;
}

bool ZSerialCapture::OpenLine(int index) {
    const auto deadline = std::chrono::steady_clock::now() + PortTimeLimit;
    sLine& line = lines_[index];
    {
        std::lock_guard guard(portLock_);
        line.LostReported = false;
        line.WaitingForPort = false;
        line.HeldBack = false;
        line.PendingEvents.clear();
        line.OpenConfig = line.Port->GetConfig();
        line.Port->SetActive(true);
        // Waiting would not make either come right.
        const int error = line.Port->GetLastOpenError();
        if (!line.Port->GetActive() &&
            (error == ECANCELED ||
             (error == EINVAL && IsMalformedNetworkPortAddress(line.Port->GetLastOpenDevice()))))
            return false;
    }
    for (;;) {
        {
            std::lock_guard guard(portLock_);
            if (line.Port->GetActive()) {
                // Purged under the same lock as the check, so the capture thread cannot read
                // bytes that arrived before the open.
                line.Port->Purge(false, true, false, true);
                NoteOpened(index);
                return true;
            }
        }
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(PortWaitStep);
    }
}

void ZSerialCapture::CloseLine(sLine& line) {
    if (line.WaitingForPort) {
        line.WaitingForPort = false;
        line.PendingEvents.clear();
        portWake_.notify_all();
        return;
    }
    if (!line.Port->GetActive()) return;
    if (!line.LostReported) CheckDriverLosses(line);
    line.DriverLoss.Close();
    line.Port->SetActive(false);
}

bool ZSerialCapture::ClosePort() {
    const auto deadline = std::chrono::steady_clock::now() + PortTimeLimit;
    closing_ = true;
    {
        std::lock_guard guard(portLock_);
        if (raw_) raw_->Close();
        for (sLine& line : lines_) {
            // Read before the stop, so it goes on, unless the pump takes nothing for too long.
            if (!PostHeldChunk(line, deadline)) {
                chunkLoss_.Lost(static_cast<uint64_t>(line.HeldChunk->Size));
                line.HeldChunk.reset();
            }
            CloseLine(line);
        }
    }
    bool closed = !IsCapturing();
    while (!closed && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(PortWaitStep);
        closed = !IsCapturing();
    }
    chunkLoss_.Close();
    sentLoss_.Close();
    forwardLoss_.Close();
    return closed;
}

bool ZSerialCapture::IsCapturing() const {
    std::lock_guard guard(portLock_);
    for (const sLine& line : lines_)
        if (line.Port->GetActive() || line.WaitingForPort) return true;
    return false;
}

bool ZSerialCapture::IsPortLost() const {
    std::lock_guard guard(portLock_);
    for (int i = 0; i < LineCount(); ++i)
        if (!lines_[i].LostReported || lines_[i].WaitingForPort) return false;
    return true;
}

bool ZSerialCapture::IsLineLost(int line) const {
    std::lock_guard guard(portLock_);
    const sLine& chosen = lines_[LineIndex(line)];
    return chosen.LostReported && !chosen.WaitingForPort;
}

bool ZSerialCapture::IsWaitingForPort() const {
    std::lock_guard guard(portLock_);
    for (int i = 0; i < LineCount(); ++i)
        if (lines_[i].WaitingForPort) return true;
    return false;
}

void ZSerialCapture::SetSecondLine(bool enabled) {
    std::lock_guard guard(portLock_);
    if (!AnyActiveLocked()) secondLine_ = enabled;
}

bool ZSerialCapture::HasSecondLine() const {
    std::lock_guard guard(portLock_);
    return secondLine_;
}

void ZSerialCapture::SetLineName(int line, const std::string& name) {
    std::lock_guard guard(portLock_);
    lines_[LineIndex(line)].Name = name;
}

std::string ZSerialCapture::GetLineName(int line) const {
    std::lock_guard guard(portLock_);
    return NameOfLine(LineIndex(line));
}

std::string ZSerialCapture::GetSetLineName(int line) const {
    std::lock_guard guard(portLock_);
    return lines_[LineIndex(line)].Name;
}

void ZSerialCapture::SetReconnect(bool reconnect) {
    std::lock_guard guard(portLock_);
    reconnect_ = reconnect;
}

void ZSerialCapture::SetRawRecorder(std::unique_ptr<ZRawRecorder> recorder) {
    std::lock_guard guard(portLock_);
    raw_ = std::move(recorder);
}

int32_t ZSerialCapture::GetCOMPort(int line) const {
    std::lock_guard guard(portLock_);
    return lines_[LineIndex(line)].Port->GetCOMPort();
}

void ZSerialCapture::SetCOMPort(int32_t port, int line) {
    std::lock_guard guard(portLock_);
    lines_[LineIndex(line)].Port->SetCOMPort(port);
}

int32_t ZSerialCapture::GetBaudrate(int line) const {
    std::lock_guard guard(portLock_);
    return LineTimingLocked(LineIndex(line)).BaudRate;
}

void ZSerialCapture::SetBaudrate(int32_t rate, int line) {
    if (rate <= 0) return;
    std::lock_guard guard(portLock_);
    SetRate(*lines_[LineIndex(line)].Port, rate);
}

void ZSerialCapture::SetRate(TSerial& port, int32_t rate) {
    if (rate <= 0) return;
    const auto* entry = std::find_if(std::begin(RateTable), std::end(RateTable),
                                     [rate](const ZRateTableEntry& e) { return e.Rate == rate; });
    if (entry != std::end(RateTable))
        port.SetBaudrate(entry->Value);
    else
        port.SetCustomRate(rate);
}

bool ZSerialCapture::ShowPortDialog(IZPortDialog& dialog, int line) {
    TSerial standIn;
    {
        std::lock_guard guard(portLock_);
        standIn.SetConfig(lines_[LineIndex(line)].Port->GetConfig());
    }
    if (!dialog.Execute(standIn)) return false;
    std::lock_guard guard(portLock_);
    lines_[LineIndex(line)].Port->SetConfig(standIn.GetConfig());
    return true;
}

std::string ZSerialCapture::GetOpenFailureText() const {
    std::lock_guard guard(portLock_);
    // The line that failed: the second opens only after the first.
    int index = 0;
    if (LineCount() == 2 && lines_[0].Port->GetLastOpenError() == 0) index = 1;
    const TSerial& port = *lines_[index].Port;
    std::string text = index == 1 ? ZULFormat(ZUL_TEXT("SerialCapture", "The COM port of line %1: %2"),
                                              {NameOfLine(1), port.GetLastOpenErrorText()})
                                  : port.GetLastOpenErrorText();
    // A malformed address never reached a device that could refuse a rate.
    if (port.GetLastOpenError() == EINVAL && !IsMalformedNetworkPortAddress(port.GetLastOpenDevice()))
        text += " The rate asked for is " + std::to_string(port.GetRate()) + " baud.";
    return text;
}

ZLineTiming ZSerialCapture::GetLineTiming(int line) const {
    std::lock_guard guard(portLock_);
    return LineTimingLocked(LineIndex(line));
}

ZLineTiming ZSerialCapture::LineTimingLocked(int line) const {
    const TSerial& port = *lines_[line].Port;
    const TSerialConfig config = port.GetConfig();
    const double stopBits = config.StopBits == sb_2 ? 2 : config.StopBits == sb_15 ? 1.5 : 1;
    int32_t rate = port.GetCustomRate();
    if (rate <= 0) {
        const auto value = static_cast<size_t>(port.GetBaudrate());
        rate = value < std::size(RateTable) ? RateTable[value].Rate : RateTable[0].Rate;
    }
    return ZLineTiming::Of(rate, 4 + static_cast<int>(config.DataBits), config.ParityBit == none ? 0 : 1,
                           stopBits);
}

void ZSerialCapture::GetPortList(std::vector<std::string>& list) const {
    std::lock_guard guard(portLock_);
    list = lines_[0].Port->PortList();
}

void ZSerialCapture::GetBaudrateList(std::vector<std::string>& list) const {
    list.clear();
    for (const auto& entry : RateTable) list.push_back(std::to_string(entry.Rate) + " Baud");
}

void ZSerialCapture::SetNetworkPort(const std::string& address, int line) {
    std::lock_guard guard(portLock_);
    sLine& chosen = lines_[LineIndex(line)];
    chosen.NetworkPort = IsNetworkPortAddress(address) ? address : "";
    chosen.Port->SetDevicePath(chosen.NetworkPort);
}

std::string ZSerialCapture::GetNetworkPort(int line) const {
    std::lock_guard guard(portLock_);
    return lines_[LineIndex(line)].NetworkPort;
}

void ZSerialCapture::SavePortSettings(ZULIniFile& ini) const {
    std::lock_guard guard(portLock_);
    SaveLineSettings(ini, 0, IniSection);
    if (!secondLine_) return;
    ini.WriteBool(IniSection2, IniEnabledKey, true);
    SaveLineSettings(ini, 1, IniSection2);
}

void ZSerialCapture::SaveLineSettings(ZULIniFile& ini, int index, const char* section) const {
    const sLine& line = lines_[index];
    const TSerial& port = *line.Port;
    ini.WriteString(section, IniKey, port.ConfigToStr(port.GetConfig()));
    // Written only when set, so a file with a table rate reads as it always did.
    if (port.GetCustomRate() > 0) ini.WriteInteger(section, CustomRateKey, port.GetCustomRate());
    if (!line.NetworkPort.empty()) ini.WriteString(section, IniNetworkPortKey, line.NetworkPort);
    if (!line.Name.empty()) ini.WriteString(section, IniNameKey, line.Name);
}

bool ZSerialCapture::LoadPortSettings(const ZULIniFile& ini, std::string& errorText) {
    std::lock_guard guard(portLock_);
    if (!ini.ValueExists(IniSection, IniKey)) {
        errorText = ZULFormat(
            ZUL_TEXT("SerialCapture", "The settings for the COM port could not be read from file \"%1\""),
            {FileNameWithoutFolder(ini.FileName())});
        return false;
    }
    const bool second = ini.ReadBool(IniSection2, IniEnabledKey, false);
    if (second && !ini.ValueExists(IniSection2, IniKey)) {
        errorText = ZULFormat(
            ZUL_TEXT("SerialCapture",
                     "The settings for the second line's COM port could not be read from file \"%1\""),
            {FileNameWithoutFolder(ini.FileName())});
        return false;
    }
    LoadLineSettings(ini, 0, IniSection);
    secondLine_ = second;
    if (second) LoadLineSettings(ini, 1, IniSection2);
    return true;
}

void ZSerialCapture::LoadLineSettings(const ZULIniFile& ini, int index, const char* section) {
    sLine& line = lines_[index];
    TSerial& port = *line.Port;
    const TSerialConfig current = port.GetConfig();
    // A rejected text gives an invalid record, which SetConfig ignores: the port keeps its settings.
    TSerialConfig loaded = port.StrToConfig(ini.ReadString(section, IniKey, port.ConfigToStr(current)));
    // A file without the key holds a table rate; a value that is no positive rate is not used.
    const int32_t custom = ini.ReadInteger(section, CustomRateKey, 0);
    loaded.CustomRate = custom > 0 ? custom : 0;
    port.SetConfig(loaded);
    // A file without the key (every older one) means the port number, as it always did.
    const std::string address = ini.ReadString(section, IniNetworkPortKey, "");
    line.NetworkPort = IsNetworkPortAddress(address) ? address : "";
    port.SetDevicePath(line.NetworkPort);
    line.Name = ini.ReadString(section, IniNameKey, "");
}
