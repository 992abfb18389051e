#include "TPortTable.h"

#include <algorithm>
#include <iterator>

#include "SerialPlatform.h"
#include "SerialPortLocator.h"

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

TPortTable::TPortTable(TPortProbe probe, TPortNamer namer)
    : probe_(std::move(probe)), namer_(std::move(namer)), own_(std::make_unique<Storage>()) {
    avail_ = own_->Avail;
    names_ = own_->Names;
    exist_ = &own_->Exist;
}

TPortTable::TPortTable(TPortProbe probe, bool* avail, int32_t* names, bool* exist)
    : probe_(std::move(probe)),
      namer_([](int n) { return TSerialPortLocator(TSerialPortLocator::SystemRoots()).Description(n); }),
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
    const TPortScan scan = ScanPorts(std::min(n, MaxCOMPort), probe_);
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
    return n >= 1 && n <= LastCOM() && avail_[n - 1];
}

int TPortTable::Port2Index(int n) const {
    if (!COMAvailable(n)) return 0;
    for (int i = 0; i < MaxCOMPort; ++i)
        if (names_[i] == n) return i;
    return 0;
}

bool TPortTable::PortsExist() const {
    return LastCOM() != 0 && *exist_;
}

std::string TPortTable::DisplayName(int n) const {
    std::string name = "COM" + std::to_string(n);
    const std::string more = namer_ ? namer_(n) : "";
    return more.empty() ? name : name + " \u2014 " + more;
}

int32_t TPortTable::PortName(int i) const {
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
        return name + " is out of range: ports are COM1 to COM" + std::to_string(MaxCOMPort) + ".";
    if (COMAvailable(n)) return "";
    const std::string device = PortDevicePath(n);
    return name + " is not present" +
           (device.empty() ? std::string(" (COM97 to COM99 need an override link)") : " (" + device + ")") +
           ".";
}
