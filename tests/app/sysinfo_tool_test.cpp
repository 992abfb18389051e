// kestrun-sysinfo, run as the report runs it, against prepared system trees.
#include <gtest/gtest.h>
#include <pwd.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "TestFiles.h"
#include "ZULAppDir.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

const std::string AllCategories =
    "+SystemSummary+Resources+ResourcesConflicts+ResourcesDMA+ResourcesForcedHardware+ResourcesIO+"
    "ResourcesIRQS+ResourcesMemory";

// The tool of this build tree (tests/app/ -> app/), or $KESTRUN_SYSINFO_TOOL.
std::string ToolPath() {
    const char* chosen = std::getenv("KESTRUN_SYSINFO_TOOL");
    return chosen != nullptr ? chosen : ZULGetExeDir() + "../../app/kestrun-sysinfo";
}

// Runs the tool with the arguments; root, when given, stands for "/". Returns the exit status.
int RunTool(const Lines& arguments, const std::string& root = "") {
    std::vector<std::string> owned{ToolPath()};
    owned.insert(owned.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& argument : owned) argv.push_back(argument.data());
    argv.push_back(nullptr);
    std::vector<std::string> environment;
    for (char** entry = environ; *entry != nullptr; ++entry)
        if (std::string(*entry).rfind("KESTRUN_SYSINFO_ROOT=", 0) != 0) environment.emplace_back(*entry);
    if (!root.empty()) environment.push_back("KESTRUN_SYSINFO_ROOT=" + root);
    std::vector<char*> envp;
    for (std::string& entry : environment) envp.push_back(entry.data());
    envp.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), envp.data()) != 0) return -1;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    int status = 0;
    while (waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            return -2;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -3;
}

// Decodes the report file strictly: byte order mark, whole 16-bit units, paired surrogates,
// every line ended by CR LF. Any fault fails the calling test.
Lines DecodeReport(const std::string& bytes) {
    EXPECT_GE(bytes.size(), 2u);
    EXPECT_EQ(bytes.substr(0, 2), std::string("\xFF\xFE", 2));
    EXPECT_EQ(bytes.size() % 2, 0u);
    std::string text;
    for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
        char32_t c = static_cast<unsigned char>(bytes[i]) | (static_cast<unsigned char>(bytes[i + 1]) << 8);
        if (c >= 0xD800 && c <= 0xDBFF) {
            EXPECT_LT(i + 3, bytes.size());
            if (i + 3 >= bytes.size()) break;
            const char32_t low =
                static_cast<unsigned char>(bytes[i + 2]) | (static_cast<unsigned char>(bytes[i + 3]) << 8);
            EXPECT_TRUE(low >= 0xDC00 && low <= 0xDFFF);
            c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
            i += 2;
        } else {
            EXPECT_FALSE(c >= 0xDC00 && c <= 0xDFFF);
        }
        if (c < 0x80) {
            text += static_cast<char>(c);
        } else if (c < 0x800) {
            text += static_cast<char>(0xC0 | (c >> 6));
            text += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            text += static_cast<char>(0xE0 | (c >> 12));
            text += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            text += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            text += static_cast<char>(0xF0 | (c >> 18));
            text += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            text += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            text += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    Lines lines;
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = text.find("\r\n", start);
        EXPECT_NE(end, std::string::npos) << "last line without CR LF";
        if (end == std::string::npos) break;
        const std::string line = text.substr(start, end - start);
        EXPECT_EQ(line.find_first_of("\r\n"), std::string::npos) << "a line end other than CR LF";
        lines.push_back(line);
        start = end + 2;
    }
    return lines;
}

bool Has(const Lines& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

bool Mentions(const Lines& lines, const std::string& text) {
    return std::any_of(lines.begin(), lines.end(),
                       [&text](const std::string& line) { return line.find(text) != std::string::npos; });
}

// A small system: two UARTs (one absent), a USB adapter, a shared interrupt line, a
// kernel command line with serial and private parameters.
class SysInfoTool : public ::testing::Test {
protected:
    SysInfoTool() {
        Write("proc/dma", " 4: cascade\n");
        Write("proc/ioports", "0000-0cf7 : PCI Bus 0000:00\n  03f8-03ff : serial\n");
        // As the superuser reads it: with the physical addresses.
        Write("proc/iomem",
              "00000000-00000fff : Reserved\n00001000-0009ffff : System RAM\n"
              "  3b000000-3bffffff : Kernel code\nfed00000-fed003ff : HPET 0\n");
        Write("proc/interrupts",
              "           CPU0       CPU1\n"
              "  4:        120          0   IO-APIC   4-edge      ttyS0\n"
              " 16:       3300         12   IO-APIC  16-fasteoi   ehci_hcd:usb1, i801_smbus\n"
              "NMI:          0          0   Non-maskable interrupts\n");
        Write("proc/cmdline",
              "BOOT_IMAGE=/vmlinuz root=/dev/mapper/vg-home ro console=ttyS0,115200n8 8250.nr_uarts=4 "
              "nfsroot=10.1.2.3:/export/private quiet -- console=secret\n");
        Write("proc/cpuinfo",
              "processor\t: 0\nmodel name\t: Test CPU 3000\nprocessor\t: 1\nmodel name\t: Test CPU 3000\n");
        Write("proc/meminfo", "MemTotal:        2097152 kB\nMemAvailable:    1048576 kB\n");
        Write("etc/os-release", "NAME=\"Testix\"\nPRETTY_NAME=\"Testix 1 (plain)\"\n");
        Write("sys/module/8250/parameters/nr_uarts", "4\n");

        Uart("ttyS0", "4", "0x3F8", "4");
        Uart("ttyS1", "0", "0x2F8", "3");
        // The USB adapter: interface under the device that carries the USB texts.
        const std::string usb = "sys/devices/pci0000:00/usb1/1-2";
        Write(usb + "/idVendor", "0403\n");
        Write(usb + "/idProduct", "6001\n");
        Write(usb + "/manufacturer", "FTDI\n");
        Write(usb + "/product", "FT232R USB UART \xC3\xA9\xE2\x84\xA2\n");  // é and ™, as UTF-8
        Write(usb + "/serial", "A50285BI\n");
        const std::string port = usb + "/1-2:1.0/ttyUSB0";
        fs::create_directories(root_.File(port));
        fs::create_directories(root_.File("sys/bus/usb-serial/drivers/ftdi_sio"));
        fs::create_directory_symlink(root_.File("sys/bus/usb-serial/drivers/ftdi_sio"),
                                     root_.File(port + "/driver"));
        Link("sys/class/tty/ttyUSB0/device", port);
        Write("dev/ttyUSB0", "");
        fs::create_directories(root_.File("dev/serial/by-id"));
        fs::create_symlink("../../ttyUSB0",
                           root_.File("dev/serial/by-id/usb-FTDI_FT232R_A50285BI-if00-port0"));
        fs::create_symlink("ttyUSB0", root_.File("dev/gps0"));
        fs::create_symlink("ttyUSB0", root_.File("dev/logger-A50285BI"));
        // Virtual consoles have no device and are no serial ports.
        fs::create_directories(root_.File("sys/class/tty/tty1"));
    }

    void Write(const std::string& path, const std::string& text) {
        fs::create_directories(fs::path(root_.File(path)).parent_path());
        WriteBytes(root_.File(path), text);
    }
    void Link(const std::string& link, const std::string& target) {
        fs::create_directories(fs::path(root_.File(link)).parent_path());
        fs::create_directory_symlink(root_.File(target), root_.File(link));
    }
    void Uart(const std::string& name, const std::string& type, const std::string& port,
              const std::string& irq) {
        const std::string device = "sys/devices/platform/serial8250/" + name;
        fs::create_directories(root_.File(device));
        fs::create_directories(root_.File("sys/bus/platform/drivers/serial8250"));
        fs::create_directory_symlink(root_.File("sys/bus/platform/drivers/serial8250"),
                                     root_.File(device + "/driver"));
        Link("sys/class/tty/" + name + "/device", device);
        Write("sys/class/tty/" + name + "/type", type + "\n");
        Write("sys/class/tty/" + name + "/port", port + "\n");
        Write("sys/class/tty/" + name + "/irq", irq + "\n");
        Write("dev/" + name, "");
    }
    Lines Report(const std::string& categories) {
        const std::string file = out_.File("report.tmp");
        EXPECT_EQ(RunTool({"/report", file, "/categories", categories}, root_.Path()), 0);
        return DecodeReport(ReadBytes(file));
    }

    ScratchDir root_;
    ScratchDir out_;
};

TEST_F(SysInfoTool, WritesSixteenBitTextWithByteOrderMarkAndKeepsEveryCharacter) {
    const Lines lines = Report(AllCategories);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0], "Kestrun system report");
    EXPECT_TRUE(Has(
        lines, "    USB:     0403:6001, FTDI, FT232R USB UART \xC3\xA9\xE2\x84\xA2, serial number present"));
    // Written under another name and renamed: nothing else is left beside the report.
    EXPECT_FALSE(fs::exists(out_.File("report.tmp.part")));
}

TEST_F(SysInfoTool, HoldsTheRequestedCategoriesOnlyAndAlwaysTheSerialPorts) {
    const std::string headings[] = {"[System Summary]",
                                    "[Resources]",
                                    "[Resources: Conflicts/Sharing]",
                                    "[Resources: DMA channels]",
                                    "[Resources: Forced Hardware]",
                                    "[Resources: I/O ports]",
                                    "[Resources: Interrupts]",
                                    "[Resources: Memory]",
                                    "[Serial Ports]"};
    struct Case {
        std::string categories;
        std::string expected;  // one letter per heading: x present, - absent
    };
    const Case cases[] = {
        {"",
         "-------"
         "-x"},
        {"+SystemSummary", "x-------x"},
        {AllCategories, "xxxxxxxxx"},
        {"+Resources+ResourcesConflicts+ResourcesDMA+ResourcesForcedHardware+ResourcesIO+ResourcesIRQS+"
         "ResourcesMemory",
         "-xxxxxxxx"},
        {"+Resources-ResourcesConflicts+ResourcesDMA-ResourcesForcedHardware-ResourcesIO-ResourcesIRQS+"
         "ResourcesMemory",
         "-x-x---xx"},
        {"+ResourcesIO", "-x---x--x"},
        {"+resourcesirqs+SYSTEMSUMMARY", "xx----x-x"},
    };
    for (const Case& c : cases) {
        const Lines lines = Report(c.categories);
        std::string present;
        for (const std::string& heading : headings) present += Has(lines, heading) ? 'x' : '-';
        EXPECT_EQ(present, c.expected) << "categories '" << c.categories << "'";
    }
}

TEST_F(SysInfoTool, ReportsWhatMattersForSerialPorts) {
    const Lines lines = Report(AllCategories);
    // The UART with its resources, the one without a UART only named.
    EXPECT_TRUE(Has(lines, "  ttyS0"));
    EXPECT_TRUE(Has(lines, "    Driver:  serial8250 (bus platform)"));
    EXPECT_TRUE(Has(lines, "    UART:    16550A, I/O port 0x3F8, IRQ 4"));
    EXPECT_FALSE(Has(lines, "  ttyS1"));
    EXPECT_TRUE(Has(lines, "  Device nodes without a UART: ttyS1"));
    EXPECT_TRUE(Has(lines, "    Driver:  ftdi_sio (bus usb-serial)"));
    EXPECT_FALSE(Has(lines, "  tty1"));
    EXPECT_TRUE(Mentions(lines, "    Device:  /dev/ttyUSB0, -rw-"));
    EXPECT_TRUE(Mentions(lines, "Runs as a member of group 'dialout' (which may open serial devices): "));
    // Links: the adapter's own and the one made by hand.
    EXPECT_TRUE(Has(lines, "    /dev/serial/by-id/usb-FTDI_FT232R_present-if00-port0 -> ttyUSB0"));
    EXPECT_TRUE(Has(lines, "    /dev/gps0 -> ttyUSB0"));
    EXPECT_TRUE(Has(lines, "    /dev/logger-present -> ttyUSB0"));
    EXPECT_TRUE(Has(lines, "  /dev/serial/by-path: not present"));
    // Sharing, kernel and driver parameters.
    EXPECT_TRUE(Has(lines, "    IRQ 16: ehci_hcd:usb1, i801_smbus"));
    EXPECT_FALSE(Mentions(lines, "IRQ 4:"));
    EXPECT_TRUE(Has(lines, "    console=ttyS0,115200n8"));
    EXPECT_TRUE(Has(lines, "    8250.nr_uarts=4"));
    EXPECT_TRUE(Has(lines, "    nr_uarts = 4"));
    // The memory map by the names of its ranges.
    const Lines memory{"[Resources: Memory]", "  (from /proc/iomem, without the physical addresses)",
                       "  Reserved",          "  System RAM",
                       "    Kernel code",     "  HPET 0"};
    const auto at = std::find(lines.begin(), lines.end(), memory[0]);
    ASSERT_NE(at, lines.end());
    EXPECT_EQ(Lines(at, std::min(at + static_cast<std::ptrdiff_t>(memory.size()), lines.end())), memory);
    // The summary.
    EXPECT_TRUE(Has(lines, "  Distribution:  Testix 1 (plain)"));
    EXPECT_TRUE(Has(lines, "  Processor:     Test CPU 3000, 2 logical processors"));
    EXPECT_TRUE(Has(lines, "  Memory:        2048 MiB in total, 1024 MiB available"));
}

struct PortOrderCase {
    const char* name;
    std::vector<std::string> absentUarts;  // added to the system's ttyS1
    std::string expected;
};

class SysInfoToolPortOrder : public SysInfoTool, public ::testing::WithParamInterface<PortOrderCase> {};

// Names are listed by their numbers, whatever order the folder gives them in.
TEST_P(SysInfoToolPortOrder, PortsAreListedInNaturalOrder) {
    for (const std::string& name : GetParam().absentUarts) Uart(name, "0", "0x0", "0");
    EXPECT_TRUE(Has(Report(AllCategories), "  Device nodes without a UART: " + GetParam().expected));
}

INSTANTIATE_TEST_SUITE_P(
    Names, SysInfoToolPortOrder,
    ::testing::Values(
        PortOrderCase{"OneDigitBeforeTwo", {"ttyS10", "ttyS2", "ttyS9"}, "ttyS1, ttyS2, ttyS9, ttyS10"},
        PortOrderCase{"TwoDigitsBeforeThree", {"ttyS100", "ttyS20"}, "ttyS1, ttyS20, ttyS100"}),
    [](const ::testing::TestParamInfo<PortOrderCase>& param) { return std::string(param.param.name); });

// Serial numbers tell whose adapter it is, and physical addresses help an attack on the
// kernel: neither leaves the machine, whatever spelling a link's name gives a number.
TEST_F(SysInfoTool, HoldsNoSerialNumberAndNoPhysicalAddress) {
    Write("sys/devices/pci0000:00/usb1/1-2/serial", "AB 12/x\n");
    fs::create_symlink("../../ttyUSB0", root_.File("dev/serial/by-id/usb-Maker_Cable_AB_12_x-if00-port0"));
    fs::create_symlink("ttyUSB0", root_.File("dev/cable-AB_12_x"));
    const Lines lines = Report(AllCategories);
    for (const char* hidden :
         {"AB 12", "AB_12", "12_x", "12/x", "00001000", "0009ffff", "3b000000", "fed003ff"})
        EXPECT_FALSE(Mentions(lines, hidden)) << hidden;
    EXPECT_TRUE(Has(lines, "    /dev/serial/by-id/usb-Maker_Cable_present-if00-port0 -> ttyUSB0"));
    EXPECT_TRUE(Has(lines, "    /dev/cable-present -> ttyUSB0"));
}

// Kernel parameters that are not about serial ports may name disks, servers or paths of the owner.
TEST_F(SysInfoTool, KeepsOtherKernelParametersOut) {
    const Lines lines = Report(AllCategories);
    for (const char* hidden : {"root=", "vg-home", "nfsroot", "10.1.2.3", "BOOT_IMAGE", "secret"})
        EXPECT_FALSE(Mentions(lines, hidden)) << hidden;
    EXPECT_TRUE(Has(lines, "    (5 other parameters are not shown.)"));
}

TEST_F(SysInfoTool, NamesUnreadableSourcesAndGoesOn) {
    fs::remove(root_.File("proc/dma"));
    fs::create_directory(root_.File("proc/dma"));  // a source that opens but cannot be read
    fs::remove(root_.File("proc/ioports"));
    fs::remove(root_.File("proc/interrupts"));
    fs::remove_all(root_.File("sys/class/dmi"));
    const Lines lines = Report(AllCategories);
    EXPECT_TRUE(Has(lines, "  /proc/dma: cannot be read (Is a directory)"));
    EXPECT_TRUE(Has(lines, "  /proc/ioports: not present"));
    EXPECT_TRUE(Has(lines, "    /proc/interrupts: not present"));
    EXPECT_TRUE(Has(lines, "  /proc/interrupts: not present"));
    EXPECT_TRUE(Has(lines, "  Machine:       /sys/class/dmi/id: not present"));
    EXPECT_TRUE(Has(lines, "[Serial Ports]"));
}

TEST_F(SysInfoTool, SurvivesAnEmptySystem) {
    ScratchDir empty;
    const std::string file = out_.File("empty.tmp");
    ASSERT_EQ(RunTool({"/report", file, "/categories", AllCategories}, empty.Path()), 0);
    const Lines lines = DecodeReport(ReadBytes(file));
    EXPECT_TRUE(Has(lines, "  /sys/class/tty: not present"));
    EXPECT_TRUE(Has(lines, "  /proc/iomem: not present"));
}

// The report is mailed: the running system's report must not name the user or the host.
TEST(SysInfoToolPrivacy, ReportOfThisSystemNamesNeitherUserNorHost) {
    ScratchDir out;
    const std::string file = out.File("report.tmp");
    ASSERT_EQ(RunTool({"/report", file, "/categories", AllCategories}), 0);
    const Lines lines = DecodeReport(ReadBytes(file));
    ASSERT_GT(lines.size(), 10u);
    std::vector<std::string> privateTexts;
    char host[256] = "";
    if (gethostname(host, sizeof host) == 0 && std::string(host).size() >= 2) privateTexts.push_back(host);
    // The superuser's name is also the name of a system group that devices may carry.
    if (const passwd* user = getpwuid(getuid()); user != nullptr && getuid() != 0) {
        privateTexts.push_back(user->pw_name);
        privateTexts.push_back(user->pw_dir);
    }
    if (const char* home = std::getenv("HOME"); home != nullptr && std::string(home).size() > 1)
        privateTexts.push_back(home);
    for (const std::string& text : privateTexts)
        for (const std::string& line : lines)
            EXPECT_EQ(line.find(text), std::string::npos) << "'" << text << "' in: " << line;
}

// The part file is made afresh: a link planted at its name is not written through.
TEST(SysInfoToolCommandLine, LinkPlantedAtThePartFileIsNotWrittenThrough) {
    ScratchDir out;
    WriteBytes(out.File("victim"), "precious");
    fs::create_symlink(out.File("victim"), out.File("r.tmp.part"));
    EXPECT_EQ(RunTool({"/report", out.File("r.tmp"), "/categories", "+Resources"}), 1);
    EXPECT_EQ(ReadBytes(out.File("victim")), "precious");
    EXPECT_FALSE(fs::exists(out.File("r.tmp")));
    EXPECT_TRUE(fs::is_symlink(out.File("r.tmp.part")));
}

TEST(SysInfoToolCommandLine, WrongCommandLineOrUnwritableFileWritesNothing) {
    ScratchDir out;
    EXPECT_EQ(RunTool({"/categories", "+Resources"}), 2);
    EXPECT_EQ(RunTool({"/report"}), 2);
    EXPECT_EQ(RunTool({"/report", out.File("r.tmp"), "/unknown"}), 2);
    EXPECT_EQ(RunTool({"/report", out.File("missing/r.tmp"), "/categories", "+Resources"}), 1);
    EXPECT_TRUE(fs::is_empty(out.Path()));
}

}  // namespace
