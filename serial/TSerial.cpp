#include "TSerial.h"

#include <algorithm>
#include <cerrno>
#include <iterator>

#include "SerialConfigText.h"
#include "TSerThread.h"

namespace {

constexpr int32_t MinBufferSize = 16;

// A value outside the table (only a cast can make one) gives rate 0, which every
// platform refuses.
int32_t RateOf(TBaudrate rate) {
    return rate < std::size(Baudrates) ? Baudrates[rate] : 0;
}

}  // namespace

int32_t TSerial::GetRate() const {
    return customRate_ > 0 ? customRate_ : RateOf(baudrate_);
}

TSerial::TSerial(void* owner) : TSerial(owner, DefaultSerialPlatform(), TPortTable::Global()) {}

TSerial::TSerial(void* owner, ISerialPlatform& platform, TPortTable& ports)
    : TCustomSerial(owner, platform, ports), ntFamily_(platform.CompletesIo()) {
    threadPriority_ = tpNormal;
    BindInactiveSlots();
}

TSerial::~TSerial() {
    CloseIt();
    thread_.JoinRetired();
}

void TSerial::SetActive(bool b) {
    if (b && !active_)
        OpenIt();
    else if (!b && active_)
        CloseIt();
}

bool TSerial::ApplyLineSettings() {
    return active_ && HandleValid() && Handle().SetState(BuildDcb()) == 0;
}

bool TSerial::OpenComm() {
    return OpenIt();
}
void TSerial::CloseComm() {
    CloseIt();
}

bool TSerial::OpenIt() {
    if (active_) return false;
    thread_.JoinRetired();
    const uint32_t mask = EventMask();
    if (OpenHandle()) ConfigureOpenHandle(mask);
    // The component is complete before the thread starts: its first handler may
    // already read through the slots.
    active_ = HandleValid();
    BindSlots();
    if (active_ && mask != 0) thread_.Set(std::make_unique<TSerThread>(*this, SharedHandle()));
    return active_;
}

// Every step runs only while the previous ones left the handle open.
void TSerial::ConfigureOpenHandle(uint32_t mask) {
    if (!Handle().SetupBuffers(bufSizeRec_, bufSizeTrm_)) FailOpen(EIO);
    if (HandleValid()) {
        const int error = Handle().SetState(BuildDcb());
        if (error != 0) FailOpen(error);
    }
    if (HandleValid() && (recTimeOut_ > 0 || trmTimeOut_ > 0)) Handle().SetTimeouts(BuildTimeouts());
    if (HandleValid() && !Handle().SetMask(mask)) FailOpen(EIO);
}

void TSerial::CloseIt() {
    if (!active_) return;
    StopEventThread();
    CloseHandle();
    BindInactiveSlots();
    active_ = false;
}

void TSerial::StopEventThread() {
    if (!thread_) {
        Handle().SetMask(0);
        return;
    }
    thread_->Stop();
    Handle().SetMask(0);
    thread_.Release();
}

TSerialDcb TSerial::BuildDcb() const {
    TSerialDcb dcb;
    dcb.DCBlength = 28;
    dcb.BaudRate = GetRate();
    dcb.ByteSize = static_cast<uint8_t>(dataBits_ + 4);
    dcb.Parity = parityBit_;
    dcb.StopBits = stopBits_;
    dcb.Flags = DcbFlags();
    dcb.XonChar = xOnChar_;
    dcb.XoffChar = xOffChar_;
    dcb.XonLim = static_cast<uint16_t>(xOnLimit_);
    dcb.XoffLim = static_cast<uint16_t>(xOffLimit_);
    dcb.ErrorChar = errorChar_;
    dcb.EofChar = eofChar_;
    dcb.EvtChar = eventChar_;
    return dcb;
}

// Built afresh: nothing of an earlier flag word survives.
uint32_t TSerial::DcbFlags() const {
    const uint32_t dtrControl = handshakeDtrDsr_ ? TSerialDcb::CONTROL_HANDSHAKE
                                : dtrActive_     ? TSerialDcb::CONTROL_ENABLE
                                                 : TSerialDcb::CONTROL_DISABLE;
    const uint32_t rtsControl = handshakeRtsCts_ ? TSerialDcb::CONTROL_HANDSHAKE
                                : rtsActive_     ? TSerialDcb::CONTROL_ENABLE
                                                 : TSerialDcb::CONTROL_DISABLE;
    uint32_t flags = TSerialDcb::fBinary;
    if (parityCheck_) flags |= TSerialDcb::fParity;
    if (handshakeRtsCts_) flags |= TSerialDcb::fOutxCtsFlow;
    if (handshakeDtrDsr_) flags |= TSerialDcb::fOutxDsrFlow;
    flags |= dtrControl << TSerialDcb::DtrControlShift;
    if (continueOnXOff_) flags |= TSerialDcb::fTXContinueOnXoff;
    if (handshakeXOnXOff_) flags |= TSerialDcb::fOutX | TSerialDcb::fInX;
    if (useErrorChar_) flags |= TSerialDcb::fErrorChar;
    if (eliminateNullChar_) flags |= TSerialDcb::fNull;
    flags |= rtsControl << TSerialDcb::RtsControlShift;
    if (abortOnError_) flags |= TSerialDcb::fAbortOnError;
    return flags;
}

TSerialTimeouts TSerial::BuildTimeouts() const {
    // The time of one 10-bit character, rounded down but never 0.
    const auto multiplier = static_cast<uint32_t>(std::max(1, 10000 / std::max(1, GetRate())));
    TSerialTimeouts timeouts;
    if (recTimeOut_ > 0) {
        timeouts.ReadIntervalTimeout = static_cast<uint32_t>(recTimeOut_);
        timeouts.ReadTotalTimeoutMultiplier = multiplier;
        timeouts.ReadTotalTimeoutConstant = static_cast<uint32_t>(recTimeOut_);
    }
    if (trmTimeOut_ > 0) {
        timeouts.WriteTotalTimeoutMultiplier = multiplier;
        timeouts.WriteTotalTimeoutConstant = static_cast<uint32_t>(trmTimeOut_);
    }
    return timeouts;
}

uint32_t TSerial::EventMask() const {
    std::lock_guard guard(handlersLock_);
    uint32_t mask = 0;
    for (int i = 0; i < HandlerCount; ++i)
        if (handlers_[i]) mask |= SerialEventOrder[i];
    return mask;
}

TSerialNotify TSerial::GetHandler(THandlerIndex index) const {
    std::lock_guard guard(handlersLock_);
    return handlers_[index];
}

void TSerial::SetHandler(THandlerIndex index, TSerialNotify fn) {
    std::lock_guard guard(handlersLock_);
    handlers_[index] = std::move(fn);
}

TSerialNotify TSerial::HandlerForEvent(uint32_t eventBit) const {
    for (int i = 0; i < HandlerCount; ++i)
        if (SerialEventOrder[i] == eventBit) return GetHandler(static_cast<THandlerIndex>(i));
    return nullptr;
}

void TSerial::BindSlots() {
    if (!HandleValid()) {
        BindInactiveSlots();
    } else if (ntFamily_) {
        rText_ = &TSerial::RText_NT;
        tData_ = &TSerial::TData_NT;
        rData_ = &TSerial::RData_NT;
        tText_ = &TSerial::TText_NT;
    } else {
        rText_ = &TSerial::RText_95;
        tData_ = &TSerial::TData_95;
        rData_ = &TSerial::RData_95;
        tText_ = &TSerial::TText_95;
    }
}

void TSerial::BindInactiveSlots() {
    rText_ = &TSerial::RText_00;
    tData_ = &TSerial::TData_00;
    rData_ = &TSerial::RData_00;
    tText_ = &TSerial::TText_00;
}

void TSerial::SetParityBit(TParityBit value) {
    parityBit_ = value;
    parityCheck_ = value != none;
}

void TSerial::SetBufSizeTrm(int32_t value) {
    bufSizeTrm_ = std::max(value, MinBufferSize);
}

void TSerial::SetBufSizeRec(int32_t value) {
    bufSizeRec_ = std::max(value, MinBufferSize);
    if (xOffLimit_ > bufSizeRec_) xOffLimit_ = bufSizeRec_;
    if (xOnLimit_ >= xOffLimit_) xOnLimit_ = xOffLimit_ - 1;
}

void TSerial::SetXOffLimit(int32_t value) {
    if (value <= xOnLimit_) value = xOnLimit_ + 1;
    xOffLimit_ = std::min(value, bufSizeRec_);
}

void TSerial::SetXOnLimit(int32_t value) {
    if (value >= xOffLimit_) value = xOffLimit_ - 1;
    xOnLimit_ = std::max(value, 0);
}

void TSerial::SetRecTimeOut(int32_t value) {
    recTimeOut_ = std::max(value, 0);
}
void TSerial::SetTrmTimeOut(int32_t value) {
    trmTimeOut_ = std::max(value, 0);
}

void TSerial::DataInBuffer(int& inQueue, int& outQueue) {
    inQueue = 0;
    outQueue = 0;
    if (!active_) return;
    int in = 0;
    int out = 0;
    if (!Handle().QueueCounts(in, out)) return;
    inQueue = in;
    outQueue = out;
}

int TSerial::GetBufRec() {
    int inQueue = 0;
    int outQueue = 0;
    DataInBuffer(inQueue, outQueue);
    return inQueue;
}

int TSerial::GetBufTrm() {
    int inQueue = 0;
    int outQueue = 0;
    DataInBuffer(inQueue, outQueue);
    return outQueue;
}

int TSerial::GetWriteError() const {
    return active_ && HandleValid() ? Handle().WriteError() : 0;
}

bool TSerial::GetCanTransmitt() {
    if (!active_) return false;
    if (!handshakeRtsCts_ && !handshakeDtrDsr_) return true;
    uint32_t status = 0;
    // A device that cannot tell its lines counts as holding both off.
    if (!Handle().ModemStatus(status)) status = 0;
    const bool cts = (status & MS_CTS_ON) != 0;
    const bool dsr = (status & MS_DSR_ON) != 0;
    if (handshakeRtsCts_ && handshakeDtrDsr_) return cts || dsr;
    return handshakeRtsCts_ ? cts : dsr;
}

bool TSerial::EscapeFunction(uint32_t function) {
    return active_ && Handle().EscapeFunction(function);
}

bool TSerial::GetModemStatus(uint32_t& status) {
    return active_ && Handle().ModemStatus(status);
}

bool TSerial::Purge(bool txAbort, bool rxAbort, bool txClear, bool rxClear) {
    if (!active_) return false;
    uint32_t flags = 0;
    if (txAbort) flags |= PURGE_TXABORT;
    if (rxAbort) flags |= PURGE_RXABORT;
    if (txClear) flags |= PURGE_TXCLEAR;
    if (rxClear) flags |= PURGE_RXCLEAR;
    return Handle().Purge(flags);
}

std::string TSerial::RText_00() {
    return "";
}
uint32_t TSerial::TData_00(const void*, uint32_t) {
    return 0;
}
uint32_t TSerial::RData_00(void*, uint32_t) {
    return 0;
}
uint32_t TSerial::TText_00(const std::string&) {
    return 0;
}

uint32_t TSerial::TData_95(const void* data, uint32_t size) {
    return Handle().Write(data, size, false);
}
uint32_t TSerial::TData_NT(const void* data, uint32_t size) {
    return Handle().Write(data, size, syncWait_);
}

// Reads never block without SyncWait, so asking for the whole buffer cannot wait
// for bytes the driver does not hold yet; and the driver's count is only a hint
// (a pseudo-terminal caps it at 4095), so capping the read by it would leave bytes.
uint32_t TSerial::RData_95(void* buf, uint32_t bufSize) {
    if (bufSize == 0) return 0;
    return Handle().Read(buf, bufSize, false);
}

uint32_t TSerial::RData_NT(void* buf, uint32_t bufSize) {
    if (bufSize == 0) return 0;
    return Handle().Read(buf, bufSize, syncWait_);
}

uint32_t TSerial::TText_95(const std::string& s) {
    return TData_95(s.data(), static_cast<uint32_t>(s.size()));
}
uint32_t TSerial::TText_NT(const std::string& s) {
    return TData_NT(s.data(), static_cast<uint32_t>(s.size()));
}

// The text is cut to what was read: bytes that did not arrive are not made up.
std::string TSerial::RText_95() {
    const int waiting = GetBufRec();
    if (waiting <= 0) return "";
    std::string text(static_cast<size_t>(waiting), '\0');
    text.resize(Handle().Read(text.data(), static_cast<uint32_t>(waiting), false));
    return text;
}

std::string TSerial::RText_NT() {
    const int waiting = GetBufRec();
    if (waiting <= 0) return "";
    std::string text(static_cast<size_t>(waiting), '\0');
    text.resize(Handle().Read(text.data(), static_cast<uint32_t>(waiting), syncWait_));
    return text;
}

TSerialConfig TSerial::GetConfig() const {
    TSerialConfig config{};
    config.Valid = true;
    config.COMPort = GetCOMPort();
    config.Baudrate = baudrate_;
    config.CustomRate = customRate_;
    config.DataBits = dataBits_;
    config.ParityBit = parityBit_;
    config.StopBits = stopBits_;
    config.BufSizeTrm = bufSizeTrm_;
    config.BufSizeRec = bufSizeRec_;
    config.HandshakeRtsCts = handshakeRtsCts_;
    config.HandshakeDtrDsr = handshakeDtrDsr_;
    config.HandshakeXOnXOff = handshakeXOnXOff_;
    config.RTSActive = rtsActive_;
    config.DTRActive = dtrActive_;
    config.XOnChar = xOnChar_;
    config.XOffChar = xOffChar_;
    config.XOffLimit = xOffLimit_;
    config.XOnLimit = xOnLimit_;
    config.ErrorChar = errorChar_;
    config.EofChar = eofChar_;
    config.EventChar = eventChar_;
    config.ContinueOnXOff = continueOnXOff_;
    config.UseErrorChar = useErrorChar_;
    config.EliminateNullChar = eliminateNullChar_;
    config.AbortOnError = abortOnError_;
    config.RecTimeOut = recTimeOut_;
    config.TrmTimeOut = trmTimeOut_;
    return config;
}

// The order matters: the limits are clamped against the buffer size just set, and
// XOnLimit against the XOffLimit just set.
void TSerial::SetConfig(const TSerialConfig& config) {
    if (!config.Valid) return;
    SetCOMPort(config.COMPort);
    baudrate_ = config.Baudrate;
    SetCustomRate(config.CustomRate);
    dataBits_ = config.DataBits;
    SetParityBit(config.ParityBit);
    stopBits_ = config.StopBits;
    SetBufSizeTrm(config.BufSizeTrm);
    SetBufSizeRec(config.BufSizeRec);
    handshakeRtsCts_ = config.HandshakeRtsCts;
    handshakeDtrDsr_ = config.HandshakeDtrDsr;
    handshakeXOnXOff_ = config.HandshakeXOnXOff;
    rtsActive_ = config.RTSActive;
    dtrActive_ = config.DTRActive;
    xOnChar_ = config.XOnChar;
    xOffChar_ = config.XOffChar;
    SetXOffLimit(config.XOffLimit);
    SetXOnLimit(config.XOnLimit);
    errorChar_ = config.ErrorChar;
    eofChar_ = config.EofChar;
    eventChar_ = config.EventChar;
    continueOnXOff_ = config.ContinueOnXOff;
    useErrorChar_ = config.UseErrorChar;
    eliminateNullChar_ = config.EliminateNullChar;
    abortOnError_ = config.AbortOnError;
    SetRecTimeOut(config.RecTimeOut);
    SetTrmTimeOut(config.TrmTimeOut);
}

std::string TSerial::ConfigToStr(const TSerialConfig& config) const {
    return SerialConfigToText(config);
}

TSerialConfig TSerial::StrToConfig(const std::string& text) const {
    return SerialConfigFromText(text, GetConfig());
}
