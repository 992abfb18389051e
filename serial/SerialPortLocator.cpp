#include "SerialPortLocator.h"

#include <sys/stat.h>

#include <fstream>

#include "ZULAppDir.h"

namespace {

constexpr int PortsPerFamily = 32;

struct TDeviceFamily {
    const char* Prefix;
    int FirstPort;
};

constexpr TDeviceFamily Families[] = {{"ttyS", 1}, {"ttyUSB", 33}, {"ttyACM", 65}};

const TDeviceFamily* FamilyOf(int n) {
    for (const auto& family : Families)
        if (n >= family.FirstPort && n < family.FirstPort + PortsPerFamily) return &family;
    return nullptr;
}

std::string NodeName(int n) {
    const TDeviceFamily* family = FamilyOf(n);
    return family ? family->Prefix + std::to_string(n - family->FirstPort) : "";
}

bool EntryExists(const std::string& path) {
    struct stat info {};
    return lstat(path.c_str(), &info) == 0;
}

bool TargetExists(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0;
}

}  // namespace

TSerialPortRoots TSerialPortLocator::SystemRoots() {
    TSerialPortRoots roots;
    roots.OverrideDir = ZULGetAppDir() + "ports/";
    return roots;
}

std::string TSerialPortLocator::OverridePath(int n) const {
    return roots_.OverrideDir + "com" + std::to_string(n);
}

std::string TSerialPortLocator::DevicePath(int n) const {
    if (n < 1 || n > 99) return "";
    // A dangling override still wins: an unplugged by-id device must report "not
    // present" rather than open whatever the table would give.
    if (EntryExists(OverridePath(n))) return OverridePath(n);
    return TableDevice(n);
}

bool TSerialPortLocator::Present(int n) const {
    if (n < 1 || n > 99) return false;
    if (EntryExists(OverridePath(n))) return TargetExists(OverridePath(n));
    return TableDevicePresent(n);
}

std::string TSerialPortLocator::TableDevice(int n) const {
    const std::string node = NodeName(n);
    return node.empty() ? "" : roots_.DevDir + node;
}

bool TSerialPortLocator::TableDevicePresent(int n) const {
    const std::string node = NodeName(n);
    if (node.empty() || !TargetExists(roots_.DevDir + node)) return false;
    if (FamilyOf(n) != &Families[0]) return true;
    // Most ttyS nodes stand for UARTs that are not fitted; sysfs knows which are.
    std::ifstream typeFile(roots_.SysTtyDir + node + "/type");
    int type = 0;
    return static_cast<bool>(typeFile >> type) && type != 0;
}
