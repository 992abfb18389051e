#pragma once
// Which ports exist: a table filled by one scan of ports 1 to n, scanned again only
// when asked (a device plugged in or removed since). The process-wide table behind
// InitSerial lives in the variables below; tests and tools can keep tables of their own.

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

constexpr int MaxCOMPort = 99;

// Process-wide port table; all zero until the first InitSerial. Read them only while
// no TPortTable::Rescan of the global table can run; the table's members read them safely.
extern bool AvailPorts[99];    // entry n-1: port n exists
extern int32_t PortNames[99];  // the numbers of the existing ports, ascending, then 0
extern bool PortsExist;        // at least one scanned port exists

// Scans ports 1 to n (n above 99 counts as 99) once per process; later calls, and
// calls with n of 0 or less, do nothing. Thread-safe.
void InitSerial(int n);
// The number of ports scanned; 0 before the scan.
int LastCOM();
// Port n was scanned and exists.
bool COMAvailable(int n);
// The position of port n in PortNames; 0 when n is not an existing scanned port.
int Port2Index(int n);

// The device that port n (1 to 99) opens on this system; "" when it has none.
std::string PortDevicePath(int n);
// Why port n of the process-wide table cannot be used, for the user; "" when it is
// present. Names the port and, when it has one, its device.
std::string PortRefusalText(int n);

// Tells whether port n exists, without opening it.
using TPortProbe = std::function<bool(int n)>;
// What the user knows port n by besides its number ("ttyUSB0 (FT232R USB UART, FTDI)");
// "" for nothing more.
using TPortNamer = std::function<std::string(int n)>;

// The result of one scan, free of any global state.
struct TPortScan {
    bool AvailPorts[99] = {};
    int32_t PortNames[99] = {};
    bool PortsExist = false;
    int LastCOM = 0;
};
// Scans ports 1 to n with probe; n is taken as given (1 to 99).
TPortScan ScanPorts(int n, const TPortProbe& probe);

class TPortTable {
public:
    // A table of its own, scanned with probe; namer (optional) adds to the port's number,
    // stableNamer (optional) gives the name that stays with the device (ListName).
    explicit TPortTable(TPortProbe probe, TPortNamer namer = {}, TPortNamer stableNamer = {});
    ~TPortTable();
    TPortTable(const TPortTable&) = delete;
    TPortTable& operator=(const TPortTable&) = delete;

    // The process-wide table (the variables above), scanned with the default platform.
    static TPortTable& Global();

    // InitSerial for this table.
    void Init(int n);
    // Scans the ports of the first scan again, so that devices plugged in or removed
    // since count; nothing before the first scan. Returns whether any port came or
    // went. Thread-safe: a reader sees the table before or after, never half of it.
    bool Rescan();
    int LastCOM() const;
    bool COMAvailable(int n) const;
    int Port2Index(int n) const;
    bool PortsExist() const;
    // Entry i of the packed port numbers (0 beyond the existing ports).
    int32_t PortName(int i) const;
    // Port n as a list shows it: "COM3 — ttyUSB0 (FT232R USB UART, FTDI)", or "COM3"
    // when the namer adds nothing (or there is none). The process-wide table names
    // ports by TSerialPortLocator::Description. UTF-8.
    std::string DisplayName(int n) const;
    // DisplayName and, where the device has one, the name that stays with it wherever
    // it is plugged in: "COM33 — ttyUSB0 (FT232R USB UART, FTDI) — /dev/serial/by-id/...".
    // The process-wide table names it by TSerialPortLocator::StableName.
    std::string ListName(int n) const;

private:
    struct Storage;
    TPortTable(TPortProbe probe, bool* avail, int32_t* names, bool* exist);
    // Takes a scan's result; the caller holds scanLock_.
    void Store(const TPortScan& scan);

    TPortProbe probe_;
    TPortNamer namer_;
    TPortNamer stableNamer_;
    std::unique_ptr<Storage> own_;
    bool* avail_;
    int32_t* names_;
    bool* exist_;
    // Guards lastCom_ and the entries behind avail_, names_ and exist_, which a scan sets.
    mutable std::mutex scanLock_;
    int lastCom_ = 0;
};
