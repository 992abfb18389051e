#include "SerialOpenError.h"

#include <cerrno>

#include "Funset_strings.h"

std::string SerialOpenErrorText(int errorNumber, const std::string& device) {
    if (errorNumber == 0) return "";
    if (device.empty()) return "No serial port is chosen.";
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
