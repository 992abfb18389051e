#include "TSerPort.h"

#include "TSerPortThread.h"

namespace {
constexpr uint32_t LineEvents = EV_CTS | EV_DSR | EV_RLSD | EV_RING;
}  // namespace

TSerPort::TSerPort(void* owner) : TSerPort(owner, DefaultSerialPlatform(), TPortTable::Global()) {}

TSerPort::TSerPort(void* owner, ISerialPlatform& platform, TPortTable& ports)
    : TCustomSerial(owner, platform, ports) {}

TSerPort::~TSerPort() {
    CloseIt();
    thread_.JoinRetired();
}

void TSerPort::SetActive(bool b) {
    if (b && !active_)
        OpenIt();
    else if (!b && active_)
        CloseIt();
}

bool TSerPort::OpenComm() {
    return OpenIt();
}
void TSerPort::CloseComm() {
    CloseIt();
}

// A second open of an open component would leak its device: refused, as TSerial does.
bool TSerPort::OpenIt() {
    if (active_) return false;
    thread_.JoinRetired();
    std::lock_guard guard(deviceLock_);
    pollingInEffect_ = pollingMode_;
    if (OpenHandle() && !Handle().SetupBuffers(bufSizeRec_, bufSizeTrm_)) FailOpen(EIO);
    if (HandleValid()) {
        // 9600 baud, 8 data bits, no parity, one stop bit, no flow control, and the
        // configured outputs from the start: a default of both lines on first would
        // lengthen the pulse that resets many boards.
        TSerialDcb dcb;
        dcb.Flags = TSerialDcb::fBinary |
                    ((outDtr_ ? TSerialDcb::CONTROL_DISABLE : TSerialDcb::CONTROL_ENABLE)
                     << TSerialDcb::DtrControlShift) |
                    ((outRts_ ? TSerialDcb::CONTROL_DISABLE : TSerialDcb::CONTROL_ENABLE)
                     << TSerialDcb::RtsControlShift);
        const int error = Handle().SetState(dcb);
        if (error != 0) FailOpen(error);
    }
    active_ = HandleValid();
    if (!active_) return false;
    if (!pollingInEffect_) {
        Handle().SetMask(LineEvents);
        thread_.Set(std::make_unique<TSerPortThread>(*this, SharedHandle()));
    }
    SetOutDtr(outDtr_);
    SetOutRts(outRts_);
    return true;
}

void TSerPort::CloseIt() {
    if (!active_) return;
    if (thread_) {
        thread_->Stop();
        Handle().SetMask(0);
        thread_.Release();
    }
    std::lock_guard guard(deviceLock_);
    CloseHandle();
    active_ = false;
    pollingInEffect_ = false;
}

void TSerPort::SetOutDtr(bool b) {
    outDtr_ = b;
    if (active_) Handle().EscapeFunction(b ? CLRDTR : SETDTR);
}

void TSerPort::SetOutRts(bool b) {
    outRts_ = b;
    if (active_) Handle().EscapeFunction(b ? CLRRTS : SETRTS);
}

void TSerPort::RefreshInputs(ISerialHandle& handle) {
    uint32_t status = 0;
    if (!handle.ModemStatus(status)) return;
    inDcd_ = (status & MS_RLSD_ON) == 0;
    inDsr_ = (status & MS_DSR_ON) == 0;
    inCts_ = (status & MS_CTS_ON) == 0;
    inRi_ = (status & MS_RING_ON) == 0;
}

void TSerPort::RefreshIfPolling() {
    if (!pollingInEffect_) return;
    std::lock_guard guard(deviceLock_);
    if (active_ && pollingInEffect_ && HandleValid()) RefreshInputs(Handle());
}

bool TSerPort::GetInDCD() {
    RefreshIfPolling();
    return inDcd_;
}

bool TSerPort::GetInDSR() {
    RefreshIfPolling();
    return inDsr_;
}

bool TSerPort::GetInCTS() {
    RefreshIfPolling();
    return inCts_;
}

bool TSerPort::GetInRI() {
    RefreshIfPolling();
    return inRi_;
}

TSerPortNotify TSerPort::GetOnCts() const {
    std::lock_guard guard(handlersLock_);
    return onCts_;
}

void TSerPort::SetOnCts(TSerPortNotify fn) {
    std::lock_guard guard(handlersLock_);
    onCts_ = std::move(fn);
}

TSerPortNotify TSerPort::GetOnDsr() const {
    std::lock_guard guard(handlersLock_);
    return onDsr_;
}

void TSerPort::SetOnDsr(TSerPortNotify fn) {
    std::lock_guard guard(handlersLock_);
    onDsr_ = std::move(fn);
}

TSerPortNotify TSerPort::GetOnRing() const {
    std::lock_guard guard(handlersLock_);
    return onRing_;
}

void TSerPort::SetOnRing(TSerPortNotify fn) {
    std::lock_guard guard(handlersLock_);
    onRing_ = std::move(fn);
}

TSerPortNotify TSerPort::GetOnDcd() const {
    std::lock_guard guard(handlersLock_);
    return onDcd_;
}

void TSerPort::SetOnDcd(TSerPortNotify fn) {
    std::lock_guard guard(handlersLock_);
    onDcd_ = std::move(fn);
}

TSerPortNotify TSerPort::HandlerForEvent(uint32_t eventBit) const {
    switch (eventBit) {
        case EV_CTS:
            return GetOnCts();
        case EV_DSR:
            return GetOnDsr();
        case EV_RING:
            return GetOnRing();
        case EV_RLSD:
            return GetOnDcd();
        default:
            return nullptr;
    }
}
