#pragma once
// The report of kestrun-sysinfo: what matters when a serial capture misbehaves,
// category by category, as lines of UTF-8 text. Every source is read under a root
// folder ("" for the running system; tests point it at a prepared tree). A source
// that cannot be read is named as such in the report. The report is mailed: it
// names neither the user nor the host, holds no serial number of a device (not even
// inside a link's name) and no physical memory address.

#include <string>
#include <vector>

// The categories of a "/categories" text such as "+Resources+ResourcesConflicts-ResourcesDMA".
// "+Resources" asks for every sub-category; later items add or take away single ones.
struct sSysInfoCategories {
    bool SystemSummary = false;
    bool Resources = false;  // the Resources heading, asked for by itself or through a sub-category
    bool Conflicts = false;
    bool DMA = false;
    bool ForcedHardware = false;
    bool IO = false;
    bool IRQS = false;
    bool Memory = false;
    std::vector<std::string> Unknown;  // names that are no category, in the order given
};
// Names compare without regard to case; an item without a sign counts as "+".
sSysInfoCategories ParseSysInfoCategories(const std::string& text);

class ZSysInfoReport {
public:
    explicit ZSysInfoReport(std::string root) : root_(std::move(root)) {}
    // The report's lines (without line ends): a heading, the categories asked for,
    // and always the serial ports.
    std::vector<std::string> Build(const sSysInfoCategories& categories, const std::string& asked);

private:
    // The contents of a system file, or why it cannot be read.
    struct Source {
        bool Read = false;
        std::string Text;
        std::string Problem;  // "not present" or "cannot be read (<reason>)"
    };
    Source ReadSource(const std::string& path) const;
    std::string Under(const std::string& path) const { return root_ + path; }
    // A sysfs attribute as one clean line; empty when it is missing.
    std::string Attribute(const std::string& path) const;

    void AddSystemSummary();
    void AddConflicts();
    void AddVerbatim(const std::string& heading, const std::string& path, const std::string& zeroPattern);
    // /proc/iomem with the names of the ranges only.
    void AddMemory();
    void AddForcedHardware();
    void AddSerialPorts();
    void AddSerialDevice(const std::string& name);
    std::string DriverOf(const std::string& name) const;
    std::string UsbDescription(const std::string& name) const;
    std::string AccessOf(const std::string& name) const;
    std::vector<std::string> SerialTtyNames() const;
    // The sysfs folder of the USB device behind a tty; empty when there is none.
    std::string UsbDeviceOf(const std::string& name) const;
    // The serial numbers of the serial devices' USB devices, as given and as link names spell them.
    std::vector<std::string> UsbSerialNumbers() const;
    // The links in a /dev folder that point at one of the serial devices, as "link -> device".
    std::vector<std::string> LinksToSerialDevices(const std::string& folder) const;

    void Heading(const std::string& text);
    void Line(const std::string& text, int indent = 2);
    void Unreadable(const std::string& path, const Source& source, int indent = 2);

    std::string root_;
    std::vector<std::string> lines_;
};

// UTF-8 text as 16-bit little-endian text after a byte order mark; bytes that are no
// UTF-8 become the replacement character.
std::string Utf8ToUtf16LeWithBom(const std::string& text);
