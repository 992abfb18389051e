#include "TCustomSerial.h"

#include <cerrno>

#include "SerialOpenError.h"

namespace {
// Every component scans at least these, so that it can choose a default port.
constexpr int DefaultScanCount = 4;
}  // namespace

TCustomSerial::TCustomSerial(void* owner)
    : TCustomSerial(owner, DefaultSerialPlatform(), TPortTable::Global()) {}

TCustomSerial::TCustomSerial(void* owner, ISerialPlatform& platform, TPortTable& ports)
    : owner_(owner), platform_(platform), ports_(ports) {
    ports_.Init(DefaultScanCount);
    for (int n = 1; n <= MaxCOMPort; ++n)
        if (ports_.COMAvailable(n)) portList_.push_back("COM" + std::to_string(n));
    if (!ports_.PortsExist()) return;
    for (int n = 1; n <= DefaultScanCount; ++n) {
        if (ports_.COMAvailable(n)) {
            comPort_ = n;
            return;
        }
    }
}

TCustomSerial::~TCustomSerial() {
    CloseHandle();
}

void TCustomSerial::SetCOMPort(int32_t n) {
    if (n < 0 || n > MaxCOMPort) return;
    comPort_ = 0;
    if (ports_.PortsExist() && n > 0 && ports_.COMAvailable(n)) comPort_ = n;
}

void TCustomSerial::PortByIndex(int i) {
    if (portList_.empty() || i < 0 || i >= static_cast<int>(portList_.size())) return;
    comPort_ = ports_.PortName(i);
}

std::string TCustomSerial::GetDevicePath() const {
    if (!devicePath_.empty()) return devicePath_;
    return comPort_ > 0 ? platform_.PortDevicePath(comPort_) : "";
}

bool TCustomSerial::WaitReadable(int timeoutMs) {
    return handle_ != nullptr && handle_->WaitReadable(timeoutMs);
}

int TCustomSerial::GetPollDescriptor() const {
    return handle_ != nullptr ? handle_->PollDescriptor() : -1;
}

std::string TCustomSerial::GetPeerDevice() const {
    return handle_ != nullptr ? handle_->PeerDevice() : std::string();
}

bool TCustomSerial::GetReceiveLosses(uint32_t& lost) {
    return handle_ != nullptr && handle_->ReceiveLosses(lost);
}

size_t TCustomSerial::GetHeldBytes() const {
    return handle_ != nullptr ? handle_->HeldBytes() : 0;
}

bool TCustomSerial::IsHungUp() const {
    return handle_ != nullptr && handle_->HungUp();
}

std::string TCustomSerial::GetLastOpenErrorText() const {
    return SerialOpenErrorText(lastOpenError_, lastOpenDevice_, lastRefusal_);
}

bool TCustomSerial::OpenHandle() {
    lastOpenDevice_ = GetDevicePath();
    if (lastOpenDevice_.empty()) {
        // A port number without a device (COM97 to COM99 need an override) is simply
        // not there; no number at all is a missing choice.
        if (comPort_ > 0) lastOpenDevice_ = "COM" + std::to_string(comPort_);
        FailOpen(comPort_ > 0 ? ENOENT : ENODEV);
        return false;
    }
    int error = 0;
    handle_ = platform_.Open(lastOpenDevice_, error, openAbandoned_);
    if (!handle_) {
        FailOpen(error != 0 ? error : EIO);
        return false;
    }
    lastOpenError_ = 0;
    lastRefusal_.clear();
    return true;
}

void TCustomSerial::FailOpen(int errorNumber) {
    lastOpenError_ = errorNumber;
    lastRefusal_ = handle_ && errorNumber == EINVAL ? handle_->RefusalText() : "";
    CloseHandle();
}

void TCustomSerial::CloseHandle() {
    if (!handle_) return;
    handle_->Close();
    handle_.reset();
}
