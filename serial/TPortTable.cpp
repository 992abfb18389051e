#include "TPortTable.h"

#include <algorithm>
#include <iterator>

#include "SerialPlatform.h"
#include "SerialPortLocator.h"
#include "ZULText.h"

bool AvailPorts[99];
int32_t PortNames[99];
bool PortsExist;

TPortScan ScanPorts(int n, const TPortProbe& probe) {
    TPortScan scan;
    n = std::clamp(n, 0, MaxCOMPort);
    int found = 0;
    for (int j = 0; j < n; ++j) {
        scan.AvailPorts[j] = probe(j + 1);
        if (scan.AvailPorts[j]) scan.PortNames[found++] = j + 1;
    }
    scan.PortsExist = found > 0;
    scan.LastCOM = n;
    return scan;
}

struct TPortTable::Storage {
    bool Avail[99] = {};
    int32_t Names[99] = {};
    bool Exist = false;
};

TPortTable::TPortTable(TPortProbe probe, TPortNamer namer, TPortNamer stableNamer)
    : probe_(std::move(probe)),
      namer_(std::move(namer)),
      stableNamer_(std::move(stableNamer)),
      own_(std::make_unique<Storage>()) {
    avail_ = own_->Avail;
    names_ = own_->Names;
    exist_ = &own_->Exist;
}

TPortTable::TPortTable(TPortProbe probe, bool* avail, int32_t* names, bool* exist)
    : probe_(std::move(probe)),
      namer_([](int n) { return TSerialPortLocator(TSerialPortLocator::SystemRoots()).Description(n); }),
      stableNamer_([](int n) { return TSerialPortLocator(TSerialPortLocator::SystemRoots()).StableName(n); }),
      avail_(avail),
      names_(names),
      exist_(exist) {}

TPortTable::~TPortTable() = default;

TPortTable& TPortTable::Global() {
    static TPortTable table([](int n) { return DefaultSerialPlatform().PortPresent(n); }, AvailPorts,
                            PortNames, &::PortsExist);
    return table;
}

void TPortTable::Init(int n) {
    if (n <= 0) return;
    std::lock_guard guard(scanLock_);
    if (lastCom_ != 0) return;
    Store(ScanPorts(std::min(n, MaxCOMPort), probe_));
}

bool TPortTable::Rescan() {
    int scanned = 0;
    {
        std::lock_guard guard(scanLock_);
        scanned = lastCom_;
    }
    if (scanned == 0) return false;
    // Probing looks at the file system: done unlocked, so that readers never wait for it.
    const TPortScan scan = ScanPorts(scanned, probe_);
    std::lock_guard guard(scanLock_);
    const bool changed = !std::equal(std::begin(scan.AvailPorts), std::end(scan.AvailPorts), avail_);
    Store(scan);
    return changed;
}

void TPortTable::Store(const TPortScan& scan) {
    std::copy(std::begin(scan.AvailPorts), std::end(scan.AvailPorts), avail_);
    std::copy(std::begin(scan.PortNames), std::end(scan.PortNames), names_);
    *exist_ = scan.PortsExist;
    lastCom_ = scan.LastCOM;
}

int TPortTable::LastCOM() const {
    std::lock_guard guard(scanLock_);
    return lastCom_;
}

bool TPortTable::COMAvailable(int n) const {
    std::lock_guard guard(scanLock_);
    return n >= 1 && n <= lastCom_ && avail_[n - 1];
}

int TPortTable::Port2Index(int n) const {
    std::lock_guard guard(scanLock_);
    if (n < 1 || n > lastCom_ || !avail_[n - 1]) return 0;
    for (int i = 0; i < MaxCOMPort; ++i)
        if (names_[i] == n) return i;
    return 0;
}

bool TPortTable::PortsExist() const {
    std::lock_guard guard(scanLock_);
    return lastCom_ != 0 && *exist_;
}

std::string TPortTable::DisplayName(int n) const {
    std::string name = "COM" + std::to_string(n);
    const std::string more = namer_ ? namer_(n) : "";
    return more.empty() ? name : name + " \u2014 " + more;
}

std::string TPortTable::ListName(int n) const {
    const std::string stable = stableNamer_ ? stableNamer_(n) : "";
    return stable.empty() ? DisplayName(n) : DisplayName(n) + " \u2014 " + stable;
}

int32_t TPortTable::PortName(int i) const {
    std::lock_guard guard(scanLock_);
    return i >= 0 && i < MaxCOMPort ? names_[i] : 0;
}

void InitSerial(int n) {
    TPortTable::Global().Init(n);
}
int LastCOM() {
    return TPortTable::Global().LastCOM();
}
bool COMAvailable(int n) {
    return TPortTable::Global().COMAvailable(n);
}
int Port2Index(int n) {
    return TPortTable::Global().Port2Index(n);
}
std::string PortDevicePath(int n) {
    return DefaultSerialPlatform().PortDevicePath(n);
}
std::string PortRefusalText(int n) {
    const std::string name = "COM" + std::to_string(n);
    if (n < 1 || n > MaxCOMPort)
        return ZULFormat(ZUL_TEXT("PortTable", "%1 is out of range: ports are COM1 to COM%2."),
                         {name, std::to_string(MaxCOMPort)});
    if (COMAvailable(n)) return "";
    const std::string device = PortDevicePath(n);
    if (device.empty())
        return ZULFormat(ZUL_TEXT("PortTable", "%1 is not present (COM97 to COM99 need an override link)."),
                         {name});
    return ZULFormat(ZUL_TEXT("PortTable", "%1 is not present (%2)."), {name, device});
}
