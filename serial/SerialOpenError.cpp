#include "SerialOpenError.h"

#include <cerrno>

#include "Funset_strings.h"
#include "SerialPlatformNet.h"

namespace {

std::string NetworkOpenErrorText(int errorNumber, const std::string& address) {
    std::string text = "Cannot connect to " + address + ": ";
    switch (errorNumber) {
        case ECONNREFUSED:
            return text + "the connection was refused (no server listens there).";
        case EHOSTUNREACH:
        case ENETUNREACH:
        case EADDRNOTAVAIL:
            return text + "the host is unreachable.";
        case ETIMEDOUT:
            return text + "timed out after " + std::to_string(NetConnectLimitMs / 1000) + " s.";
        case ENOENT:
            return text + "no such host.";
        case EAGAIN:
            return text + "the host name could not be resolved now (no answer from the name server).";
        case EPROTO:
            return text + "the server does not speak RFC 2217 (no Telnet COM-PORT-OPTION).";
        case ECONNRESET:
            return text + "the server closed the connection.";
        case ECANCELED:
            return text + "stopped before the connection was made.";
        case EINVAL:
            return address + " is not a network port address (rfc2217://HOST:PORT or tcp://HOST:PORT).";
        default:
            text += GetErrorText(errorNumber);
            text += '.';
            return text;
    }
}

}  // namespace

std::string SerialOpenErrorText(int errorNumber, const std::string& device, const std::string& refusal) {
    if (errorNumber == 0) return "";
    if (device.empty()) return "No serial port is chosen.";
    if (errorNumber == EINVAL && !refusal.empty())
        return device + " does not accept these line settings: " + refusal + ".";
    TNetPortAddress address;
    if (IsNetworkPortAddress(device) && !(errorNumber == EINVAL && ParseNetworkPortAddress(device, address)))
        return NetworkOpenErrorText(errorNumber, device);
    switch (errorNumber) {
        case EACCES:
        case EPERM:
            return "Permission denied for " + device +
                   ": add the user to the \"dialout\" group (sudo usermod -aG dialout $USER) and log in "
                   "again.";
        case EBUSY:
            return device + " is in use by another program.";
        case ENOENT:
        case ENODEV:
        case ENXIO:
            return device + " is not present (unplugged?).";
        case ENOTTY:
            return device + " is not a serial port.";
        case EINVAL:
            return device + " does not accept these line settings (baud rate, data bits, parity, stop bits).";
        default:
            return device + " cannot be opened: " + GetErrorText(errorNumber) + ".";
    }
}
