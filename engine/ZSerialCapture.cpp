#include "ZSerialCapture.h"

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
      chunkLoss_("SerialCapture", "PostChunk", "received bytes"),
      sentLoss_("SerialCapture", "SendBytes", "sent bytes"),
      driverLoss_("SerialCapture", "DriverCounters", "received bytes", "driver overrun"),
      readBuffer_(static_cast<size_t>(readSize_)) {
    chunkLoss_.SetErrorHistory(&errors_);
    sentLoss_.SetErrorHistory(&errors_);
    driverLoss_.SetErrorHistory(&errors_);
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
    // Scanned above, before the port picks its default from the table.
    port_ = std::make_unique<TSerial>(nullptr, platform, TPortTable::Global());
    // The capture reads only what is there: a completing read without time-outs would
    // wait, holding the port lock, for bytes the waiting count merely promised.
    port_->SetSyncWait(false);
    port_->SetOpenAbandoned([this] { return closing_ || (stopFlag_ != nullptr && stopFlag_->load()); });
    thread_.Start([this] { Execute(); });
}

ZSerialCapture::~ZSerialCapture() {
    StopCaptureThread();
}

void ZSerialCapture::SpreadChunks(bool spread) {
    pump_->SetSpread(spread ? std::max(pollInterval_ / ChunkPumpIntervalMs, 1) : 0);
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
        // While the port is waited for, the tries set the pace.
        if (IsWaitingForPort())
            next = now + std::chrono::milliseconds(reconnectIntervalMs_.load());
        else
            next = std::clamp(next + interval, now, now + interval);
    }
    std::lock_guard guard(portLock_);
    port_->SetActive(false);
    if (raw_) raw_->Close();
}

bool ZSerialCapture::WaitForNextCycle(std::chrono::steady_clock::time_point next) {
    const auto now = std::chrono::steady_clock::now();
    bool heldBack = false;
    {
        std::unique_lock guard(portLock_);
        if (waitingForPort_) {
            NoteWait(next - now);
            // A stop must not wait out the interval between two tries.
            portWake_.wait_until(guard, next, [this] { return thread_.Terminated() || !waitingForPort_; });
            return !thread_.Terminated();
        }
        heldBack = heldBack_ && port_->GetActive();
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
    if (!precise_ || waitingForPort_ || portLostReported_ || !port_->GetActive()) return false;
    int timeoutMs = pollInterval_;
    if (silenceDue_ && silenceGapUs_ > 0) {
        // Woken when the silence is due, so the frame it ends goes out without delay.
        const int64_t left = SilenceDueUs() - ZULNowMicros();
        timeoutMs = static_cast<int>(std::clamp<int64_t>((left + 999) / 1000, 0, pollInterval_));
    }
    NoteWait(std::chrono::milliseconds(timeoutMs));
    return port_->WaitReadable(timeoutMs);
}

void ZSerialCapture::PostSilenceIfDue() {
    if (!silenceDue_ || silenceGapUs_ <= 0 || ZULNowMicros() < SilenceDueUs()) return;
    auto item = std::make_unique<sReceivedData>();
    item->Event = ZPortEvent::Silence;
    item->TimeUs = lastReadUs_;
    // A refused event is not repeated: the next read, a gap or more later, ends the frame as well.
    pump_->Post(item, ChunkPriority);
    silenceDue_ = false;
}

int64_t ZSerialCapture::SilenceDueUs() const {
    return lastReadUs_ + lastReadLineUs_ + silenceGapUs_;
}

void ZSerialCapture::SetPreciseTime(bool precise, int64_t silenceGapUs) {
    std::lock_guard guard(portLock_);
    precise_ = precise;
    silenceGapUs_ = precise ? silenceGapUs : 0;
    silenceDue_ = false;
    line_ = LineTimingLocked();
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
    if (waitingForPort_) {
        // The lost port's event goes before the try: a port that is back at once must
        // not let new chunks overtake it.
        if (PostPendingEvents()) TryReconnect();
    } else if (port_->GetActive() && !portLostReported_ && PostPendingEvents()) {
        ReadWhatWaits();
        CheckDriverLosses();
        if (precise_) PostSilenceIfDue();
        if (port_->IsHungUp()) {
            ReportPortLost();
            if (reconnect_) BeginWaitingForPort();
        }
    }
    if (raw_) raw_->FlushIfDue(std::chrono::steady_clock::now());
    // Only while a capture runs: before the first start the derived object may still
    // be under construction, and the start's lock orders it before this call.
    if (waitingForPort_ || port_->GetActive()) PollDone();
}

void ZSerialCapture::ReadWhatWaits() {
    // Each cycle reads until nothing is waiting any more, in chunks of at most ReadSize.
    // A full pump holds the reading back: the chunk it refused waits for room, and what
    // is not read stays with the driver.
    heldBack_ = !PostHeldChunk(std::chrono::steady_clock::now());
    for (int chunks = 0; !heldBack_ && chunks < MaxChunksPerCycle && !thread_.Terminated() && !closing_;
         ++chunks) {
        const int waiting = port_->GetBufRec();
        if (waiting <= 0) break;
        const auto wanted = static_cast<uint32_t>(std::min(waiting, readSize_));
        const auto got = static_cast<int>(port_->RData(readBuffer_.data(), wanted));
        if (got <= 0) break;
        const int64_t readUs = ZULNowMicros();
        // Recorded before anything further along can hold the bytes.
        if (raw_) raw_->Write(readBuffer_.data(), static_cast<size_t>(got), readUs);
        heldBack_ = !PostChunk(readBuffer_.data(), got, readUs);
        lastReadUs_ = readUs;
        lastReadLineUs_ = line_.BytesMicros(got);
        silenceDue_ = true;
    }
}

void ZSerialCapture::CheckDriverLosses() {
    uint32_t lost = 0;
    if (!driverCounts_ || !port_->GetReceiveLosses(lost)) return;
    // Unsigned, so a counter that wrapped still gives what it grew by.
    const uint32_t grown = lost - driverLost_;
    driverLost_ = lost;
    if (grown > 0)
        driverLoss_.Lost(grown);
    else
        driverLoss_.Accepted();
}

void ZSerialCapture::BeginWaitingForPort() {
    if (raw_) raw_->Flush();
    // An adapter that is plugged in again while its old device is still held open
    // comes back under another name; the dead device goes at once.
    port_->SetActive(false);
    waitingForPort_ = true;
    pendingEvents_.push_back(ZPortEvent::Lost);
    PostPendingEvents();
}

void ZSerialCapture::TryReconnect() {
    // The reopen uses the line settings of the start; settings changed since then
    // (the window program allows that while capturing) wait for the next start.
    const TSerialConfig pending = port_->GetConfig();
    port_->SetConfig(openConfig_);
    port_->SetActive(true);
    port_->SetConfig(pending);
    if (!port_->GetActive()) return;
    waitingForPort_ = false;
    portLostReported_ = false;
    NoteOpened();
    errors_.AddInformation("SerialCapture", "Reconnect",
                           ZULFormat(ZUL_TEXT("SerialCapture", "The COM port is back: %1"), {openDevice_}));
    pendingEvents_.push_back(ZPortEvent::Back);
    PostPendingEvents();
}

bool ZSerialCapture::PostPendingEvents() {
    // Events are rare and the pump refuses them only while it is full; one that is
    // refused is offered again, ahead of any chunk, in the next cycle.
    while (!pendingEvents_.empty()) {
        auto item = std::make_unique<sReceivedData>();
        item->Event = pendingEvents_.front();
        if (!pump_->Post(item, ChunkPriority)) return false;
        pendingEvents_.erase(pendingEvents_.begin());
    }
    return true;
}

void ZSerialCapture::ReportPortLost() {
    // The port stays "open" for IsCapturing until StopCapture, so that the bytes read before
    // are flushed and logged the usual way; the thread just stops touching the dead device.
    portLostReported_ = true;
    // What was lost last is what the driver dropped before the end.
    CheckDriverLosses();
    driverLoss_.Close();
    // The device that was open: a port's link may be gone by now, or point elsewhere.
    errors_.AddError(
        "SerialCapture", "PollPort",
        ZULFormat(ZUL_TEXT("SerialCapture", "The COM port was lost (device %1 hung up or was removed)"),
                  {openDevice_}));
}

void ZSerialCapture::NoteOpened() {
    // A port link names the port; the user also wants to see which device it led to.
    openDevice_ = WithLinkTarget(port_->GetLastOpenDevice());
    driverCounts_ = port_->GetReceiveLosses(driverLost_);
}

std::string ZSerialCapture::WithLinkTarget(const std::string& device) {
    // A port link names the port; the user also wants to see which device came back.
    struct stat link {};
    if (lstat(device.c_str(), &link) != 0 || !S_ISLNK(link.st_mode)) return device;
    std::error_code error;
    const std::filesystem::path target = std::filesystem::canonical(device, error);
    return error ? device : device + " (" + target.string() + ")";
}

std::string ZSerialCapture::DeviceName() const {
    std::string device = port_->GetDevicePath();
    return device.empty() ? "COM" + std::to_string(port_->GetCOMPort()) : device;
}

bool ZSerialCapture::PostChunk(const uint8_t* bytes, int count, int64_t timeUs) {
    auto item = std::make_unique<sReceivedData>();
    item->Data.assign(bytes, bytes + count);
    item->Size = count;
    item->TimeUs = timeUs;
    if (precise_) item->Time = ZULFromUnixMicros(timeUs);
    if (pump_->Post(item, ChunkPriority)) return true;
    heldChunk_ = std::move(item);
    return false;
}

bool ZSerialCapture::PostHeldChunk(std::chrono::steady_clock::time_point until) {
    while (heldChunk_ && !pump_->Post(heldChunk_, ChunkPriority)) {
        const auto now = std::chrono::steady_clock::now();
        if (now >= until || stopped_) return false;
        pump_->WaitForRoom(until - now);
    }
    return true;
}

bool ZSerialCapture::PostReceivedChunk(const uint8_t* bytes, int count, bool waitWhenFull, int64_t timeUs) {
    if (stopped_) return false;
    bool allAccepted = true;
    for (int offset = 0; offset < count; offset += readSize_) {
        const int size = std::min(readSize_, count - offset);
        auto item = std::make_unique<sReceivedData>();
        item->Data.assign(bytes + offset, bytes + offset + size);
        item->Size = size;
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
    if (!port_->GetActive() || waitingForPort_ || portLostReported_) {
        errorText = waitingForPort_ || portLostReported_
                        ? ZULFormat(ZUL_TEXT("SerialCapture", "Nothing was sent: the COM port was lost."))
                        : ZULFormat(ZUL_TEXT("SerialCapture", "Nothing was sent: no COM port is open."));
        return ZSendResult::Refused;
    }
    const int waiting = port_->GetBufTrm();
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
            {std::to_string(taken), std::to_string(count), DeviceName()});
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
    return !port_->GetActive() || port_->GetBufTrm() <= 0;
}

bool ZSerialCapture::SetOutputLine(uint32_t escapeFunction) {
    std::lock_guard guard(portLock_);
    if (!port_->GetActive() || waitingForPort_) return false;
    return port_->EscapeFunction(escapeFunction);
}

bool ZSerialCapture::GetInputLines(uint32_t& status) {
    std::lock_guard guard(portLock_);
    if (!port_->GetActive() || waitingForPort_) return false;
    return port_->GetModemStatus(status);
}

bool ZSerialCapture::OpenPort() {
    const auto deadline = std::chrono::steady_clock::now() + PortTimeLimit;
    {
        std::lock_guard guard(portLock_);
        if (port_->GetActive() || waitingForPort_) return false;
        closing_ = false;
        portLostReported_ = false;
        heldBack_ = false;
        pendingEvents_.clear();
        skippedSends_.store(0);
        openConfig_ = port_->GetConfig();
        port_->SetActive(true);
        // Waiting would not make either come right.
        const int error = port_->GetLastOpenError();
        if (!port_->GetActive() &&
            (error == ECANCELED ||
             (error == EINVAL && IsMalformedNetworkPortAddress(port_->GetLastOpenDevice()))))
            return false;
    }
    for (;;) {
        {
            std::lock_guard guard(portLock_);
            if (port_->GetActive()) {
                // Purged under the same lock as the check, so the capture thread cannot read
                // bytes that arrived before the open.
                port_->Purge(false, true, false, true);
                NoteOpened();
                return true;
            }
        }
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(PortWaitStep);
    }
}

bool ZSerialCapture::ClosePort() {
    const auto deadline = std::chrono::steady_clock::now() + PortTimeLimit;
    closing_ = true;
    {
        std::lock_guard guard(portLock_);
        if (raw_) raw_->Close();
        // Read before the stop, so it goes on, unless the pump takes nothing for too long.
        if (!PostHeldChunk(deadline)) {
            chunkLoss_.Lost(static_cast<uint64_t>(heldChunk_->Size));
            heldChunk_.reset();
        }
        if (waitingForPort_) {
            waitingForPort_ = false;
            pendingEvents_.clear();
            portWake_.notify_all();
            chunkLoss_.Close();
            sentLoss_.Close();
            return true;
        }
        if (!port_->GetActive()) return true;
        if (!portLostReported_) CheckDriverLosses();
        driverLoss_.Close();
        port_->SetActive(false);
    }
    bool closed = !IsCapturing();
    while (!closed && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(PortWaitStep);
        closed = !IsCapturing();
    }
    chunkLoss_.Close();
    sentLoss_.Close();
    return closed;
}

bool ZSerialCapture::IsCapturing() const {
    std::lock_guard guard(portLock_);
    return port_->GetActive() || waitingForPort_;
}

bool ZSerialCapture::IsPortLost() const {
    std::lock_guard guard(portLock_);
    return portLostReported_ && !waitingForPort_;
}

bool ZSerialCapture::IsWaitingForPort() const {
    std::lock_guard guard(portLock_);
    return waitingForPort_;
}

void ZSerialCapture::SetReconnect(bool reconnect) {
    std::lock_guard guard(portLock_);
    reconnect_ = reconnect;
}

void ZSerialCapture::SetRawRecorder(std::unique_ptr<ZRawRecorder> recorder) {
    std::lock_guard guard(portLock_);
    raw_ = std::move(recorder);
}

int32_t ZSerialCapture::GetCOMPort() const {
    std::lock_guard guard(portLock_);
    return port_->GetCOMPort();
}

void ZSerialCapture::SetCOMPort(int32_t port) {
    std::lock_guard guard(portLock_);
    port_->SetCOMPort(port);
}

int32_t ZSerialCapture::GetBaudrate() const {
    std::lock_guard guard(portLock_);
    return LineTimingLocked().BaudRate;
}

void ZSerialCapture::SetBaudrate(int32_t rate) {
    if (rate <= 0) return;
    const auto* entry = std::find_if(std::begin(RateTable), std::end(RateTable),
                                     [rate](const ZRateTableEntry& e) { return e.Rate == rate; });
    std::lock_guard guard(portLock_);
    if (entry != std::end(RateTable))
        port_->SetBaudrate(entry->Value);
    else
        port_->SetCustomRate(rate);
}

bool ZSerialCapture::ShowPortDialog(IZPortDialog& dialog) {
    TSerial standIn;
    {
        std::lock_guard guard(portLock_);
        standIn.SetConfig(port_->GetConfig());
    }
    if (!dialog.Execute(standIn)) return false;
    std::lock_guard guard(portLock_);
    port_->SetConfig(standIn.GetConfig());
    return true;
}

std::string ZSerialCapture::GetOpenFailureText() const {
    std::lock_guard guard(portLock_);
    std::string text = port_->GetLastOpenErrorText();
    // A malformed address never reached a device that could refuse a rate.
    if (port_->GetLastOpenError() == EINVAL && !IsMalformedNetworkPortAddress(port_->GetLastOpenDevice()))
        text += " The rate asked for is " + std::to_string(port_->GetRate()) + " baud.";
    return text;
}

ZLineTiming ZSerialCapture::GetLineTiming() const {
    std::lock_guard guard(portLock_);
    return LineTimingLocked();
}

ZLineTiming ZSerialCapture::LineTimingLocked() const {
    const TSerialConfig config = port_->GetConfig();
    const double stopBits = config.StopBits == sb_2 ? 2 : config.StopBits == sb_15 ? 1.5 : 1;
    int32_t rate = port_->GetCustomRate();
    if (rate <= 0) {
        const auto value = static_cast<size_t>(port_->GetBaudrate());
        rate = value < std::size(RateTable) ? RateTable[value].Rate : RateTable[0].Rate;
    }
    return ZLineTiming::Of(rate, 4 + static_cast<int>(config.DataBits), config.ParityBit == none ? 0 : 1,
                           stopBits);
}

void ZSerialCapture::GetPortList(std::vector<std::string>& list) const {
    std::lock_guard guard(portLock_);
    list = port_->PortList();
}

void ZSerialCapture::GetBaudrateList(std::vector<std::string>& list) const {
    list.clear();
    for (const auto& entry : RateTable) list.push_back(std::to_string(entry.Rate) + " Baud");
}

void ZSerialCapture::SetNetworkPort(const std::string& address) {
    std::lock_guard guard(portLock_);
    networkPort_ = IsNetworkPortAddress(address) ? address : "";
    port_->SetDevicePath(networkPort_);
}

std::string ZSerialCapture::GetNetworkPort() const {
    std::lock_guard guard(portLock_);
    return networkPort_;
}

void ZSerialCapture::SavePortSettings(ZULIniFile& ini) const {
    std::lock_guard guard(portLock_);
    ini.WriteString(IniSection, IniKey, port_->ConfigToStr(port_->GetConfig()));
    // Written only when set, so a file with a table rate reads as it always did.
    if (port_->GetCustomRate() > 0) ini.WriteInteger(IniSection, CustomRateKey, port_->GetCustomRate());
    if (!networkPort_.empty()) ini.WriteString(IniSection, IniNetworkPortKey, networkPort_);
}

bool ZSerialCapture::LoadPortSettings(const ZULIniFile& ini, std::string& errorText) {
    std::lock_guard guard(portLock_);
    const TSerialConfig current = port_->GetConfig();
    if (!ini.ValueExists(IniSection, IniKey)) {
        errorText = ZULFormat(
            ZUL_TEXT("SerialCapture", "The settings for the COM port could not be read from file \"%1\""),
            {FileNameWithoutFolder(ini.FileName())});
        return false;
    }
    // A rejected text gives an invalid record, which SetConfig ignores: the port keeps its settings.
    TSerialConfig loaded =
        port_->StrToConfig(ini.ReadString(IniSection, IniKey, port_->ConfigToStr(current)));
    // A file without the key holds a table rate; a value that is no positive rate is not used.
    const int32_t custom = ini.ReadInteger(IniSection, CustomRateKey, 0);
    loaded.CustomRate = custom > 0 ? custom : 0;
    port_->SetConfig(loaded);
    // A file without the key (every older one) means the port number, as it always did.
    const std::string address = ini.ReadString(IniSection, IniNetworkPortKey, "");
    networkPort_ = IsNetworkPortAddress(address) ? address : "";
    port_->SetDevicePath(networkPort_);
    return true;
}
