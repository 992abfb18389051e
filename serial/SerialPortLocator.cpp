#include "SerialPortLocator.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <vector>

#include "SerialPlatformNet.h"
#include "ZULAppDir.h"
#include "ZULFileIO.h"

namespace {

constexpr int PortsPerFamily = 32;
// A sysfs attribute reads as one page; a product name longer than this is cut.
constexpr size_t MaxAttributeSize = 4096;
constexpr size_t MaxAttributeText = 64;

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

// A text file naming a network port is a line or two, not more.
constexpr off_t AddressFileLimit = 512;

// The network port's address an override entry names: a link whose target text is
// one, or a small regular file of the user's own that holds one. "" otherwise.
std::string NetworkAddressOf(const std::string& path) {
    struct stat info {};
    if (lstat(path.c_str(), &info) != 0) return "";
    std::string text;
    if (S_ISLNK(info.st_mode)) {
        char target[AddressFileLimit];
        const ssize_t size = readlink(path.c_str(), target, sizeof(target));
        if (size <= 0 || size >= static_cast<ssize_t>(sizeof(target))) return "";
        text.assign(target, static_cast<size_t>(size));
    } else if (S_ISREG(info.st_mode) && info.st_size <= AddressFileLimit && info.st_uid == geteuid()) {
        // The entry may have been swapped since the look above: what is read must
        // still be that regular file of the user's.
        const int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) return "";
        struct stat opened {};
        char content[AddressFileLimit];
        ssize_t size = -1;
        if (fstat(fd, &opened) == 0 && S_ISREG(opened.st_mode) && opened.st_ino == info.st_ino &&
            opened.st_uid == geteuid())
            size = read(fd, content, sizeof(content));
        close(fd);
        if (size <= 0) return "";
        text.assign(content, static_cast<size_t>(size));
        while (!text.empty() &&
               (text.back() == '\n' || text.back() == '\r' || text.back() == ' ' || text.back() == '\t'))
            text.pop_back();
    }
    return IsNetworkPortAddress(text) ? text : "";
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
    if (EntryExists(OverridePath(n))) {
        std::string address = NetworkAddressOf(OverridePath(n));
        return address.empty() ? OverridePath(n) : address;
    }
    return TableDevice(n);
}

bool TSerialPortLocator::Present(int n) const {
    if (n < 1 || n > 99) return false;
    // A network port is there as far as can be told without connecting.
    if (EntryExists(OverridePath(n)))
        return TargetExists(OverridePath(n)) || !NetworkAddressOf(OverridePath(n)).empty();
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

std::string TSerialPortLocator::UsbAttribute(const std::string& node, const char* attribute) const {
    // A ttyACM's device is the USB interface, a ttyUSB's the port below it: the USB
    // device, which holds the attribute, is one or two levels up.
    for (const char* up : {"/device/../", "/device/../../"}) {
        std::string text;
        if (!ZULReadRegularFile(roots_.SysTtyDir + node + up + attribute, MaxAttributeSize, text)) continue;
        std::string shown;
        for (char c : text.substr(0, text.find('\n')))
            if (c >= 32 && c <= 126 && shown.size() < MaxAttributeText) shown += c;
        while (!shown.empty() && shown.back() == ' ') shown.pop_back();
        if (!shown.empty()) return shown;
    }
    return "";
}

std::string TSerialPortLocator::Description(int n) const {
    std::string device = DevicePath(n);
    if (device.empty()) return "";
    char resolved[PATH_MAX];
    if (realpath(device.c_str(), resolved) != nullptr) device = resolved;
    const std::string name =
        device.rfind(roots_.DevDir, 0) == 0 ? device.substr(roots_.DevDir.size()) : device;
    // Only the tty nodes of the table's families have USB attributes worth asking for.
    const std::string node = name.substr(name.rfind('/') + 1);
    if (node.rfind("ttyUSB", 0) != 0 && node.rfind("ttyACM", 0) != 0) return name;
    const std::string product = UsbAttribute(node, "product");
    const std::string maker = UsbAttribute(node, "manufacturer");
    if (product.empty() && maker.empty()) return name;
    return name + " (" + product + (!product.empty() && !maker.empty() ? ", " : "") + maker + ")";
}

std::string TSerialPortLocator::StableName(int n) const {
    const std::string device = DevicePath(n);
    char resolved[PATH_MAX];
    if (device.empty() || realpath(device.c_str(), resolved) == nullptr) return "";
    const std::string target = resolved;
    const std::string folder = roots_.DevDir + "serial/by-id/";
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr) return "";
    std::vector<std::string> names;
    while (const dirent* entry = readdir(dir)) {
        if (entry->d_name[0] == '.') continue;
        if (names.size() >= static_cast<size_t>(MaxStableNames)) break;
        names.emplace_back(entry->d_name);
    }
    closedir(dir);
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) {
        const std::string link = folder + name;
        if (realpath(link.c_str(), resolved) != nullptr && target == resolved) return link;
    }
    return "";
}
