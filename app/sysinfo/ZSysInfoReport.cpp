#include "ZSysInfoReport.h"

#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <sstream>

#include "Funset_strings.h"

namespace fs = std::filesystem;

namespace {

// No source the tool reads is anywhere near this; a bound keeps a strange file harmless.
constexpr size_t MaxSourceSize = 4 * 1024 * 1024;

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::string Trim(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return "";
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

// One line of report text from a value the system gave: control characters would
// break the report's lines, bidirectional marks would make it read as other text,
// and bytes that are no UTF-8 would spoil the report's encoding.
std::string Clean(const std::string& text) {
    const std::string trimmed = Trim(text);
    std::string clean;
    clean.reserve(trimmed.size());
    for (size_t at = 0; at < trimmed.size();) {
        const size_t start = at;
        char32_t c = 0;
        if (!ZULNextCharacter(trimmed, at, c) || ZULIsControlCharacter(c)) {
            clean += '?';
        } else {
            clean.append(trimmed, start, at - start);
        }
    }
    return clean;
}

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

// ttyS2 before ttyS10.
bool NaturalLess(const std::string& a, const std::string& b) {
    const size_t da = a.find_first_of("0123456789");
    const size_t db = b.find_first_of("0123456789");
    const std::string pa = a.substr(0, da);
    const std::string pb = b.substr(0, db);
    if (pa != pb || da == std::string::npos || db == std::string::npos) return a < b;
    const std::string na = a.substr(da);
    const std::string nb = b.substr(db);
    if (na.size() != nb.size()) return na.size() < nb.size();
    return na < nb;
}

std::string ModeText(mode_t mode) {
    std::string text = S_ISCHR(mode) ? "c" : S_ISBLK(mode) ? "b" : S_ISDIR(mode) ? "d" : "-";
    const char* const letters = "rwxrwxrwx";
    for (int bit = 0; bit < 9; ++bit) text += (mode & (0400 >> bit)) ? letters[bit] : '-';
    return text;
}

// A group is named only when it is a system group; a user's own group may carry the user's name.
std::string GroupText(gid_t gid) {
    if (gid < 1000) {
        std::vector<char> buffer(16384);
        group entry{};
        group* found = nullptr;
        if (getgrgid_r(gid, &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr)
            return std::string("group ") + found->gr_name;
    }
    return "group id " + std::to_string(gid);
}

bool InGroup(const char* name) {
    std::vector<char> buffer(16384);
    group entry{};
    group* found = nullptr;
    if (getgrnam_r(name, &entry, buffer.data(), buffer.size(), &found) != 0 || found == nullptr) return false;
    if (getegid() == found->gr_gid) return true;
    const int count = getgroups(0, nullptr);
    if (count <= 0) return false;
    std::vector<gid_t> groups(static_cast<size_t>(count));
    const int got = getgroups(count, groups.data());
    return got > 0 && std::find(groups.begin(), groups.begin() + got, found->gr_gid) != groups.begin() + got;
}

const char* UartName(int type) {
    // The kernel's port types 0 to 15 (include/uapi/linux/serial_core.h).
    static const char* const names[] = {"none (no UART found)",
                                        "8250",
                                        "16450",
                                        "16550",
                                        "16550A",
                                        "Cirrus",
                                        "16650",
                                        "16650V2",
                                        "16750",
                                        "Startech",
                                        "16C950",
                                        "16654",
                                        "16850",
                                        "RSA",
                                        "NS16550A",
                                        "XScale"};
    return type >= 0 && type < 16 ? names[type] : nullptr;
}

// Kernel parameters that configure serial ports; the others may name disks, addresses or
// other things of the owner's and stay out of the report.
bool IsSerialParameter(const std::string& parameter) {
    const std::string name = Lower(parameter.substr(0, parameter.find('=')));
    static const char* const prefixes[] = {"console",     "earlycon",
                                           "earlyprintk", "8250",
                                           "serial",      "kgdboc",
                                           "usbserial",   "ftdi_sio",
                                           "cp210x",      "pl2303",
                                           "ch341",       "cdc_acm",
                                           "nr_uarts",    "plymouth.ignore-serial-consoles"};
    return std::any_of(std::begin(prefixes), std::end(prefixes),
                       [&name](const char* prefix) { return name.rfind(prefix, 0) == 0; });
}

void AppendUtf16(std::string& out, char32_t c) {
    auto unit = [&out](char32_t u) {
        out += static_cast<char>(u & 0xFF);
        out += static_cast<char>((u >> 8) & 0xFF);
    };
    if (c < 0x10000) {
        unit(c);
    } else {
        c -= 0x10000;
        unit(0xD800 + (c >> 10));
        unit(0xDC00 + (c & 0x3FF));
    }
}

}  // namespace

sSysInfoCategories ParseSysInfoCategories(const std::string& text) {
    sSysInfoCategories result;
    size_t at = 0;
    while (at < text.size()) {
        bool add = true;
        if (text[at] == '+' || text[at] == '-') add = text[at++] == '+';
        const size_t end = text.find_first_of("+-", at);
        const std::string name = text.substr(at, end == std::string::npos ? std::string::npos : end - at);
        at = end == std::string::npos ? text.size() : end;
        if (name.empty()) continue;
        const std::string key = Lower(name);
        if (key == "systemsummary") {
            result.SystemSummary = add;
        } else if (key == "resources") {
            result.Resources = add;
            result.Conflicts = result.DMA = result.ForcedHardware = add;
            result.IO = result.IRQS = result.Memory = add;
        } else {
            bool* const flags[] = {&result.Conflicts, &result.DMA,  &result.ForcedHardware,
                                   &result.IO,        &result.IRQS, &result.Memory};
            const char* const keys[] = {"resourcesconflicts", "resourcesdma",  "resourcesforcedhardware",
                                        "resourcesio",        "resourcesirqs", "resourcesmemory"};
            bool known = false;
            for (size_t i = 0; i < std::size(keys); ++i) {
                if (key != keys[i]) continue;
                *flags[i] = add;
                if (add) result.Resources = true;
                known = true;
            }
            if (!known) result.Unknown.push_back(name);
        }
    }
    return result;
}

std::vector<std::string> ZSysInfoReport::Build(const sSysInfoCategories& categories,
                                               const std::string& asked) {
    lines_.clear();
    char created[64] = "";
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    if (gmtime_r(&now, &utc) != nullptr) std::strftime(created, sizeof created, "%Y-%m-%d %H:%M UTC", &utc);
    lines_.push_back("Kestrun system report");
    lines_.push_back(std::string("Written by kestrun-sysinfo ") + KESTRUN_VERSION + " on " + created);
    lines_.push_back("Categories asked for: " + (asked.empty() ? std::string("none") : asked));
    for (const std::string& unknown : categories.Unknown)
        lines_.push_back("Unknown category '" + Clean(unknown) + "' ignored");

    if (categories.SystemSummary) AddSystemSummary();
    if (categories.Resources) {
        Heading("[Resources]");
        if (categories.Conflicts) AddConflicts();
        if (categories.DMA) AddVerbatim("[Resources: DMA channels]", "/proc/dma", "");
        if (categories.ForcedHardware) AddForcedHardware();
        if (categories.IO) AddVerbatim("[Resources: I/O ports]", "/proc/ioports", "0000-0000");
        if (categories.IRQS) AddVerbatim("[Resources: Interrupts]", "/proc/interrupts", "");
        if (categories.Memory) AddMemory();
    }
    AddSerialPorts();
    return lines_;
}

ZSysInfoReport::Source ZSysInfoReport::ReadSource(const std::string& path) const {
    Source source;
    const int fd = ::open(Under(path).c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    int error = fd < 0 ? errno : 0;
    if (fd >= 0) {
        char block[65536];
        for (;;) {
            const ssize_t count = ::read(fd, block, sizeof block);
            if (count < 0 && errno == EINTR) continue;
            if (count < 0) {
                error = errno;
                break;
            }
            if (count == 0 || source.Text.size() >= MaxSourceSize) break;
            source.Text.append(block, static_cast<size_t>(count));
        }
        ::close(fd);
    }
    if (error == 0) {
        source.Read = true;
    } else if (error == ENOENT || error == ENOTDIR) {
        source.Problem = "not present";
    } else if (error == EACCES || error == EPERM) {
        source.Problem = "cannot be read (no permission)";
    } else {
        source.Problem = std::string("cannot be read (") + std::strerror(error) + ")";
    }
    return source;
}

std::string ZSysInfoReport::Attribute(const std::string& path) const {
    const Source source = ReadSource(path);
    return source.Read ? Clean(source.Text) : "";
}

void ZSysInfoReport::Heading(const std::string& text) {
    lines_.push_back("");
    lines_.push_back(text);
}

void ZSysInfoReport::Line(const std::string& text, int indent) {
    lines_.push_back(std::string(static_cast<size_t>(indent), ' ') + text);
}

void ZSysInfoReport::Unreadable(const std::string& path, const Source& source, int indent) {
    Line(path + ": " + source.Problem, indent);
}

void ZSysInfoReport::AddSystemSummary() {
    Heading("[System Summary]");
    // Distribution: os-release's pretty name, quotes removed.
    Source release = ReadSource("/etc/os-release");
    if (!release.Read) release = ReadSource("/usr/lib/os-release");
    std::string distribution;
    for (const std::string& line : SplitLines(release.Text))
        if (line.rfind("PRETTY_NAME=", 0) == 0) distribution = line.substr(12);
    distribution.erase(std::remove(distribution.begin(), distribution.end(), '"'), distribution.end());
    Line("Distribution:  " + (release.Read ? Clean(distribution) : "/etc/os-release: " + release.Problem));

    // The node name is the host's name and stays out.
    utsname system{};
    if (uname(&system) == 0) {
        Line(std::string("Kernel:        ") + system.sysname + " " + system.release + " " + system.version);
        Line(std::string("Architecture:  ") + system.machine);
    }

    const std::string vendor = Attribute("/sys/class/dmi/id/sys_vendor");
    const std::string product = Attribute("/sys/class/dmi/id/product_name");
    Line("Machine:       " + (vendor.empty() && product.empty()
                                  ? std::string("/sys/class/dmi/id: not present")
                                  : Trim(vendor + " " + product)));

    const Source cpu = ReadSource("/proc/cpuinfo");
    if (cpu.Read) {
        std::string model;
        int count = 0;
        for (const std::string& line : SplitLines(cpu.Text)) {
            const std::string key = Lower(Trim(line.substr(0, line.find(':'))));
            const std::string value =
                line.find(':') == std::string::npos ? "" : Clean(line.substr(line.find(':') + 1));
            if (key == "processor") ++count;
            if (model.empty() && (key == "model name" || key == "cpu model" || key == "cpu")) model = value;
        }
        Line("Processor:     " + (model.empty() ? std::string("unknown model") : model) + ", " +
             std::to_string(count) + " logical processor" + (count == 1 ? "" : "s"));
    } else {
        Unreadable("Processor:     /proc/cpuinfo", cpu, 2);
    }

    const Source memory = ReadSource("/proc/meminfo");
    if (memory.Read) {
        std::string total;
        std::string available;
        for (const std::string& line : SplitLines(memory.Text)) {
            std::istringstream fields(line);
            std::string key;
            long long kib = 0;
            if (!(fields >> key >> kib)) continue;
            const std::string mib = std::to_string(kib / 1024) + " MiB";
            if (key == "MemTotal:") total = mib;
            if (key == "MemAvailable:") available = mib;
        }
        Line("Memory:        " + (total.empty() ? std::string("unknown") : total) + " in total" +
             (available.empty() ? "" : ", " + available + " available"));
    } else {
        Unreadable("Memory:        /proc/meminfo", memory, 2);
    }
}

void ZSysInfoReport::AddConflicts() {
    Heading("[Resources: Conflicts/Sharing]");
    Line("Interrupt lines shared by several devices (from /proc/interrupts):");
    const Source interrupts = ReadSource("/proc/interrupts");
    if (!interrupts.Read) {
        Unreadable("/proc/interrupts", interrupts, 4);
        return;
    }
    int shared = 0;
    for (const std::string& line : SplitLines(interrupts.Text)) {
        const size_t colon = line.find(':');
        if (colon == std::string::npos) continue;
        const std::string irq = Trim(line.substr(0, colon));
        if (irq.empty() || !std::all_of(irq.begin(), irq.end(), ::isdigit)) continue;
        // The kernel joins the devices on one line with ", ", after two blanks that end the
        // controller's columns.
        const size_t comma = line.find(", ", colon);
        if (comma == std::string::npos) continue;
        const size_t start = line.rfind("  ", comma);
        Line("IRQ " + irq + ": " + Clean(line.substr(start == std::string::npos ? colon + 1 : start)), 4);
        ++shared;
    }
    if (shared == 0) Line("None.", 4);
}

void ZSysInfoReport::AddVerbatim(const std::string& heading, const std::string& path,
                                 const std::string& zeroPattern) {
    Heading(heading);
    const Source source = ReadSource(path);
    if (!source.Read) {
        Unreadable(path, source);
        return;
    }
    Line("(from " + path + ")");
    const std::vector<std::string> lines = SplitLines(source.Text);
    if (lines.empty()) Line("None.");
    bool allZero = !zeroPattern.empty() && !lines.empty();
    for (const std::string& line : lines) {
        Line(line);
        if (Trim(line).rfind(zeroPattern, 0) != 0) allZero = false;
    }
    if (allZero) Line("(The addresses show as zeros: only the superuser may read them.)");
}

void ZSysInfoReport::AddMemory() {
    Heading("[Resources: Memory]");
    const Source source = ReadSource("/proc/iomem");
    if (!source.Read) {
        Unreadable("/proc/iomem", source);
        return;
    }
    Line("(from /proc/iomem, without the physical addresses)");
    const std::vector<std::string> lines = SplitLines(source.Text);
    if (lines.empty()) Line("None.");
    // "  00000000-0009ffff : System RAM": the indent shows what a range lies in.
    for (const std::string& line : lines) {
        const size_t separator = line.find(" : ");
        if (separator == std::string::npos) continue;
        const size_t indent = line.find_first_not_of(' ');
        Line(std::string(indent == std::string::npos ? 0 : indent, ' ') + Clean(line.substr(separator + 3)));
    }
}

void ZSysInfoReport::AddForcedHardware() {
    Heading("[Resources: Forced Hardware]");
    Line("Kernel parameters for serial ports (from /proc/cmdline):");
    const Source cmdline = ReadSource("/proc/cmdline");
    if (!cmdline.Read) {
        Unreadable("/proc/cmdline", cmdline, 4);
    } else {
        std::istringstream words(cmdline.Text);
        int shown = 0;
        int others = 0;
        for (std::string word; words >> word;) {
            if (word == "--") break;  // what follows belongs to the init program
            if (IsSerialParameter(word)) {
                Line(Clean(word), 4);
                ++shown;
            } else {
                ++others;
            }
        }
        if (shown == 0) Line("None.", 4);
        if (others > 0) Line("(" + std::to_string(others) + " other parameters are not shown.)", 4);
    }

    Line("Parameters of the serial port driver (from /sys/module/8250/parameters):");
    std::error_code error;
    std::vector<std::string> parameters;
    for (const auto& entry : fs::directory_iterator(Under("/sys/module/8250/parameters"), error))
        parameters.push_back(entry.path().filename().string());
    std::sort(parameters.begin(), parameters.end());
    if (parameters.empty()) Line("None (the driver is not loaded or has no parameters).", 4);
    for (const std::string& name : parameters) {
        const Source value = ReadSource("/sys/module/8250/parameters/" + name);
        Line(name + " = " + (value.Read ? Clean(value.Text) : value.Problem), 4);
    }

    Line("Links to serial devices made by hand (in /dev):");
    const std::vector<std::string> links = LinksToSerialDevices("/dev");
    if (links.empty()) Line("None.", 4);
    for (const std::string& link : links) Line(link, 4);

    const Source conf = ReadSource("/etc/serial.conf");
    if (!conf.Read) {
        Line("Serial port settings file /etc/serial.conf: " + conf.Problem);
    } else {
        Line("Serial port settings file (from /etc/serial.conf):");
        for (const std::string& line : SplitLines(conf.Text))
            if (!Trim(line).empty() && Trim(line)[0] != '#') Line(Clean(line), 4);
    }
}

std::vector<std::string> ZSysInfoReport::SerialTtyNames() const {
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(Under("/sys/class/tty"), error)) {
        // Virtual consoles and pseudo-terminals have no device behind them.
        std::error_code ignored;
        if (fs::exists(entry.path() / "device", ignored)) names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end(), NaturalLess);
    return names;
}

void ZSysInfoReport::AddSerialPorts() {
    Heading("[Serial Ports]");
    const bool superuser = geteuid() == 0;
    Line(std::string("Runs as a member of group 'dialout' (which may open serial devices): ") +
         (InGroup("dialout") ? "yes" : "no"));
    Line(std::string("Runs as the superuser: ") + (superuser ? "yes" : "no"));

    std::error_code error;
    if (!fs::is_directory(Under("/sys/class/tty"), error)) {
        Line("/sys/class/tty: not present");
        return;
    }
    std::vector<std::string> withoutUart;
    int listed = 0;
    for (const std::string& name : SerialTtyNames()) {
        // The driver makes a node for every UART it might have; "type" 0 means none is there.
        if (Attribute("/sys/class/tty/" + name + "/type") == "0") {
            withoutUart.push_back(name);
            continue;
        }
        AddSerialDevice(name);
        ++listed;
    }
    if (listed == 0) Line("No serial device found.");
    if (!withoutUart.empty()) {
        std::string names;
        for (const std::string& name : withoutUart) names += (names.empty() ? "" : ", ") + name;
        Line("Device nodes without a UART: " + names);
    }

    for (const char* folder : {"/dev/serial/by-id", "/dev/serial/by-path"}) {
        if (!fs::is_directory(Under(folder), error)) {
            Line(std::string(folder) + ": not present");
            continue;
        }
        Line(std::string("Links in ") + folder + ":");
        const std::vector<std::string> links = LinksToSerialDevices(folder);
        if (links.empty()) Line("None.", 4);
        for (const std::string& link : links) Line(link, 4);
    }
}

void ZSysInfoReport::AddSerialDevice(const std::string& name) {
    const std::string sysfs = "/sys/class/tty/" + name;
    Line(name);
    Line("Driver:  " + DriverOf(name), 4);
    const std::string type = Attribute(sysfs + "/type");
    if (!type.empty()) {
        const char* uart = UartName(std::atoi(type.c_str()));
        std::string text = uart != nullptr ? uart : "type " + type;
        const std::string port = Attribute(sysfs + "/port");
        const std::string irq = Attribute(sysfs + "/irq");
        if (!port.empty() && port != "0x0") text += ", I/O port " + port;
        if (!irq.empty()) text += ", IRQ " + irq;
        Line("UART:    " + text, 4);
    }
    const std::string usb = UsbDescription(name);
    if (!usb.empty()) Line("USB:     " + usb, 4);
    Line("Device:  " + AccessOf(name), 4);
}

std::string ZSysInfoReport::DriverOf(const std::string& name) const {
    // The serial core puts devices of its own (drivers "port" and "ctrl" on the bus
    // "serial-base") between the tty and the hardware's driver: the first driver above
    // them is the one that tells what the port is.
    std::error_code error;
    fs::path device = fs::canonical(Under("/sys/class/tty/" + name + "/device"), error);
    if (error) return "unknown";
    const fs::path top = fs::canonical(Under("/sys"), error);
    for (int level = 0; level < 8 && !error && device.string().rfind(top.string(), 0) == 0; ++level) {
        std::error_code linkError;
        const std::string link = fs::read_symlink(device / "driver", linkError).string();
        if (!linkError) {
            const size_t bus = link.find("/bus/");
            const bool serialCore =
                bus != std::string::npos && link.compare(bus + 5, 12, "serial-base/") == 0;
            if (!serialCore)
                return fs::path(link).filename().string() +
                       (bus == std::string::npos
                            ? ""
                            : " (bus " + fs::path(link.substr(bus + 5)).begin()->string() + ")");
        }
        device = device.parent_path();
    }
    return "unknown";
}

std::string ZSysInfoReport::UsbDeviceOf(const std::string& name) const {
    std::error_code error;
    fs::path device = fs::canonical(Under("/sys/class/tty/" + name + "/device"), error);
    if (error) return "";
    const fs::path top = fs::canonical(Under("/sys"), error);
    for (int level = 0; level < 8 && !error && device.string().rfind(top.string(), 0) == 0; ++level) {
        std::error_code ignored;
        if (fs::exists(device / "idVendor", ignored))
            return "/sys" + device.string().substr(top.string().size());
        device = device.parent_path();
    }
    return "";
}

std::string ZSysInfoReport::UsbDescription(const std::string& name) const {
    const std::string at = UsbDeviceOf(name);
    if (at.empty()) return "";
    std::string text = Attribute(at + "/idVendor") + ":" + Attribute(at + "/idProduct");
    for (const char* field : {"manufacturer", "product"}) {
        const std::string value = Attribute(at + "/" + field);
        if (!value.empty()) text += ", " + value;
    }
    // The number tells one adapter from another, and so who owns it: only whether it has one.
    if (!Attribute(at + "/serial").empty()) text += ", serial number present";
    return text;
}

std::vector<std::string> ZSysInfoReport::UsbSerialNumbers() const {
    std::vector<std::string> numbers;
    for (const std::string& name : SerialTtyNames()) {
        const std::string at = UsbDeviceOf(name);
        if (at.empty()) continue;
        const Source serial = ReadSource(at + "/serial");
        if (!serial.Read) continue;
        // udev spells a number in a link's name with blanks as "_" and other characters
        // it does not allow as "_" too.
        std::string spelled;
        bool blank = false;
        for (const char c : Trim(serial.Text)) {
            if (std::isspace(static_cast<unsigned char>(c))) {
                blank = true;
                continue;
            }
            if (blank) spelled += '_';
            blank = false;
            const bool allowed = std::isalnum(static_cast<unsigned char>(c)) ||
                                 std::strchr("#+-.:=@_", c) != nullptr ||
                                 static_cast<unsigned char>(c) >= 0x80;
            spelled += allowed ? c : '_';
        }
        // Shorter numbers are no one's mark, and would hide parts of unrelated names.
        for (const std::string& number : {Clean(serial.Text), spelled})
            if (number.size() >= 3 && std::find(numbers.begin(), numbers.end(), number) == numbers.end())
                numbers.push_back(number);
    }
    // The longest first, so that a number inside another does not leave part of that one.
    std::sort(numbers.begin(), numbers.end(),
              [](const std::string& a, const std::string& b) { return a.size() > b.size(); });
    return numbers;
}

std::string ZSysInfoReport::AccessOf(const std::string& name) const {
    const std::string node = "/dev/" + name;
    struct stat info {};
    if (::stat(Under(node).c_str(), &info) != 0) return node + ": not present";
    std::string text = node + ", " + ModeText(info.st_mode) + ", " + GroupText(info.st_gid);
    if (::access(Under(node).c_str(), R_OK | W_OK) == 0) return text + "; may be opened: yes";
    const int error = errno;
    return text + "; may be opened: no (" +
           (error == EACCES ? std::string("permission denied") : std::string(std::strerror(error))) + ")";
}

std::vector<std::string> ZSysInfoReport::LinksToSerialDevices(const std::string& folder) const {
    const std::vector<std::string> devices = SerialTtyNames();
    const std::vector<std::string> serialNumbers = UsbSerialNumbers();
    std::vector<std::string> links;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(Under(folder), error)) {
        std::error_code linkError;
        if (!entry.is_symlink(linkError)) continue;
        const fs::path target = fs::read_symlink(entry.path(), linkError);
        if (linkError) continue;
        const std::string device = target.filename().string();
        if (std::find(devices.begin(), devices.end(), device) == devices.end()) continue;
        std::string link = Clean(entry.path().filename().string());
        const std::string present = "present";
        for (const std::string& number : serialNumbers)
            for (size_t at = link.find(number); at != std::string::npos;
                 at = link.find(number, at + present.size()))
                link.replace(at, number.size(), present);
        links.push_back(folder + "/" + link + " -> " + device);
    }
    std::sort(links.begin(), links.end());
    return links;
}

std::string Utf8ToUtf16LeWithBom(const std::string& text) {
    std::string out("\xFF\xFE", 2);
    out.reserve(2 + text.size() * 2);
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    const size_t size = text.size();
    for (size_t i = 0; i < size;) {
        const unsigned char lead = bytes[i];
        int extra = lead < 0x80           ? 0
                    : (lead >> 5) == 0x6  ? 1
                    : (lead >> 4) == 0xE  ? 2
                    : (lead >> 3) == 0x1E ? 3
                                          : -1;
        char32_t c = extra == 0 ? lead : extra == 1 ? lead & 0x1F : extra == 2 ? lead & 0x0F : lead & 0x07;
        bool valid = extra >= 0 && i + static_cast<size_t>(extra) < size;
        for (int k = 1; valid && k <= extra; ++k) {
            if ((bytes[i + static_cast<size_t>(k)] & 0xC0) != 0x80) valid = false;
            c = (c << 6) | (bytes[i + static_cast<size_t>(k)] & 0x3F);
        }
        // Overlong forms, surrogates and values past the last character are no UTF-8.
        static constexpr char32_t smallest[] = {0, 0x80, 0x800, 0x10000};
        if (valid && (c < smallest[extra] || (c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF)) valid = false;
        if (!valid) {
            AppendUtf16(out, 0xFFFD);
            ++i;
            continue;
        }
        AppendUtf16(out, c);
        i += static_cast<size_t>(extra) + 1;
    }
    return out;
}
