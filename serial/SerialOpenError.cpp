#include "SerialOpenError.h"

#include <cerrno>

#include "Funset_strings.h"
#include "SerialPlatformNet.h"
#include "ZULText.h"

namespace {

std::string NetworkOpenErrorText(int errorNumber, const std::string& address) {
    const auto text = [&address](const ZULTextTemplate& reason) { return ZULFormat(reason, {address}); };
    switch (errorNumber) {
        case ECONNREFUSED:
            return text(ZUL_TEXT(
                "SerialPort", "Cannot connect to %1: the connection was refused (no server listens there)."));
        case EHOSTUNREACH:
        case ENETUNREACH:
        case EADDRNOTAVAIL:
            return text(ZUL_TEXT("SerialPort", "Cannot connect to %1: the host is unreachable."));
        case ETIMEDOUT:
            return ZULFormat(ZUL_TEXT("SerialPort", "Cannot connect to %1: timed out after %2 s."),
                             {address, std::to_string(NetConnectLimitMs / 1000)});
        case ENOENT:
            return text(ZUL_TEXT("SerialPort", "Cannot connect to %1: no such host."));
        case EAGAIN:
            return text(ZUL_TEXT("SerialPort",
                                 "Cannot connect to %1: the host name could not be resolved now (no "
                                 "answer from the name server)."));
        case EPROTO:
            return text(ZUL_TEXT(
                "SerialPort",
                "Cannot connect to %1: the server does not speak RFC 2217 (no Telnet COM-PORT-OPTION)."));
        case ECONNRESET:
            return text(ZUL_TEXT("SerialPort", "Cannot connect to %1: the server closed the connection."));
        case ECANCELED:
            return text(
                ZUL_TEXT("SerialPort", "Cannot connect to %1: stopped before the connection was made."));
        case EINVAL:
            return text(ZUL_TEXT(
                "SerialPort", "%1 is not a network port address (rfc2217://HOST:PORT or tcp://HOST:PORT)."));
        default:
            return ZULFormat(ZUL_TEXT("SerialPort", "Cannot connect to %1: %2."),
                             {address, GetErrorText(errorNumber)});
    }
}

}  // namespace

std::string SerialOpenErrorText(int errorNumber, const std::string& device, const std::string& refusal) {
    if (errorNumber == 0) return "";
    if (device.empty()) return ZULFormat(ZUL_TEXT("SerialPort", "No serial port is chosen."));
    if (errorNumber == EINVAL && !refusal.empty())
        return ZULFormat(ZUL_TEXT("SerialPort", "%1 does not accept these line settings: %2."),
                         {device, refusal});
    TNetPortAddress address;
    if (IsNetworkPortAddress(device) && !(errorNumber == EINVAL && ParseNetworkPortAddress(device, address)))
        return NetworkOpenErrorText(errorNumber, device);
    const auto text = [&device](const ZULTextTemplate& reason) { return ZULFormat(reason, {device}); };
    switch (errorNumber) {
        case EACCES:
        case EPERM:
            return text(ZUL_TEXT("SerialPort",
                                 "Permission denied for %1: add the user to the \"dialout\" group "
                                 "(sudo usermod -aG dialout $USER) and log in again."));
        case EBUSY:
            return text(ZUL_TEXT("SerialPort", "%1 is in use by another program."));
        case ENOENT:
        case ENODEV:
        case ENXIO:
            return text(ZUL_TEXT("SerialPort", "%1 is not present (unplugged?)."));
        case ENOTTY:
            return text(ZUL_TEXT("SerialPort", "%1 is not a serial port."));
        case EINVAL:
            return text(ZUL_TEXT(
                "SerialPort",
                "%1 does not accept these line settings (baud rate, data bits, parity, stop bits)."));
        default:
            return ZULFormat(ZUL_TEXT("SerialPort", "%1 cannot be opened: %2."),
                             {device, GetErrorText(errorNumber)});
    }
}
