#pragma once
// How port numbers become Linux devices:
//   COM1..COM32  = /dev/ttyS0..31
//   COM33..COM64 = /dev/ttyUSB0..31
//   COM65..COM96 = /dev/ttyACM0..31
//   COM97..COM99 = only by override
// An entry named "com<n>" in the override folder (<application directory>/ports)
// wins over the table: usually a link to a /dev/serial/by-id name, a ttyAMA,
// rfcomm or pseudo-terminal device. It may also name a network port
// (rfc2217://HOST:PORT, tcp://HOST:PORT): as a link whose target text is the
// address, or as a regular file of at most 512 bytes, owned by the user, that
// holds it; the port's device path is then the address.
// Presence is decided without opening anything: an override counts when its
// target exists, a ttyS when its UART type in sysfs is not 0 (no UART), a ttyUSB
// or ttyACM when its node exists.

#include <string>

struct TSerialPortRoots {
    std::string OverrideDir;                    // with a trailing '/'
    std::string DevDir = "/dev/";               // with a trailing '/'
    std::string SysTtyDir = "/sys/class/tty/";  // with a trailing '/'
};

class TSerialPortLocator {
public:
    explicit TSerialPortLocator(TSerialPortRoots roots) : roots_(std::move(roots)) {}

    // The roots of the running system; the override folder follows the application
    // directory as it is at the time of the call.
    static TSerialPortRoots SystemRoots();

    // The device path of port n; "" outside 1..99 or when n has no device.
    std::string DevicePath(int n) const;
    bool Present(int n) const;
    // The override entry for port n, whether or not it exists.
    std::string OverridePath(int n) const;
    // What the user knows port n by: its device below the device folder (an override
    // as the device its link leads to) and, for a USB adapter, the product and maker
    // its USB device reports in sysfs: "ttyUSB0 (FT232R USB UART, FTDI)". Never the
    // adapter's serial number. "" when n has no device. Reads sysfs; opens no device.
    std::string Description(int n) const;
    // The name that stays with port n's device wherever it is plugged in: the link in
    // the device folder's "serial/by-id/" that leads to it ("/dev/serial/by-id/usb-...",
    // the first in name order when several do); "" when there is none. Reads at most
    // MaxStableNames entries of that folder; opens no device.
    std::string StableName(int n) const;
    static constexpr int MaxStableNames = 256;

private:
    std::string TableDevice(int n) const;
    // The first line of a USB attribute of tty node, printable ASCII only; "" when none.
    std::string UsbAttribute(const std::string& node, const char* attribute) const;
    bool TableDevicePresent(int n) const;

    TSerialPortRoots roots_;
};
