#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <set>
#include <thread>
#include <vector>

#include "FakeSerialPlatform.h"
#include "SerialPortLocator.h"
#include "TCustomSerial.h"
#include "TPortTable.h"

namespace {

TPortProbe PortsPresent(std::set<int> ports, int* calls = nullptr) {
    return [ports, calls](int n) {
        if (calls != nullptr) ++*calls;
        return ports.count(n) != 0;
    };
}

TEST(PortScan, PacksTheExistingPortsInAscendingOrder) {
    const TPortScan scan = ScanPorts(99, PortsPresent({3, 7}));
    EXPECT_EQ(scan.LastCOM, 99);
    EXPECT_TRUE(scan.PortsExist);
    for (int i = 0; i < 99; ++i) {
        EXPECT_EQ(scan.PortNames[i], i == 0 ? 3 : i == 1 ? 7 : 0) << i;
        EXPECT_EQ(scan.AvailPorts[i], i == 2 || i == 6) << i;
    }
    EXPECT_FALSE(ScanPorts(4, PortsPresent({7})).PortsExist);
}

TEST(PortTable, ScansOnceWithTheFirstUsefulCount) {
    int calls = 0;
    TPortTable table(PortsPresent({2, 99}, &calls));
    EXPECT_EQ(table.LastCOM(), 0);
    EXPECT_FALSE(table.COMAvailable(2));
    table.Init(0);
    table.Init(-5);
    EXPECT_EQ(calls, 0);
    table.Init(150);
    EXPECT_EQ(table.LastCOM(), 99);
    table.Init(4);
    EXPECT_EQ(calls, 99);
    EXPECT_TRUE(table.COMAvailable(99));
    EXPECT_FALSE(table.COMAvailable(100));
}

TEST(PortTable, OnlyScannedPortsAreAvailable) {
    TPortTable table(PortsPresent({3, 7}));
    table.Init(5);
    EXPECT_TRUE(table.COMAvailable(3));
    EXPECT_FALSE(table.COMAvailable(7));
    EXPECT_FALSE(table.COMAvailable(0));
}

TEST(PortTable, Port2IndexGivesThePositionInThePackedList) {
    TPortTable table(PortsPresent({3, 7}));
    table.Init(99);
    const int cases[][2] = {{7, 1}, {3, 0}, {5, 0}, {0, 0}, {-1, 0}, {100, 0}};
    for (const auto& [port, index] : cases) EXPECT_EQ(table.Port2Index(port), index) << "port " << port;
}

// A device plugged in or removed after the first scan counts once the table is scanned again.
TEST(PortTable, ARescanFollowsDevicesThatCameOrWent) {
    const struct {
        const char* Name;
        int Scanned;  // the first scan's count; 0: none
        std::set<int> Before, After;
        bool Changed;
        std::vector<int32_t> Names;  // the packed list afterwards
    } rows[] = {
        {"plugged in", 99, {3}, {3, 33}, true, {3, 33}},
        {"removed", 99, {3, 33}, {3}, true, {3}},
        {"unchanged", 99, {3, 33}, {3, 33}, false, {3, 33}},
        {"the last one removed", 99, {33}, {}, true, {}},
        {"beyond the first scan", 4, {3}, {3, 33}, false, {3}},
        {"never scanned", 0, {3}, {3, 33}, false, {}},
    };
    for (const auto& row : rows) {
        std::set<int> present = row.Before;
        TPortTable table([&present](int n) { return present.count(n) != 0; });
        table.Init(row.Scanned);
        present = row.After;
        EXPECT_EQ(table.Rescan(), row.Changed) << row.Name;
        EXPECT_EQ(table.LastCOM(), row.Scanned) << row.Name;
        std::vector<int32_t> names;
        for (int i = 0; table.PortName(i) != 0; ++i) names.push_back(table.PortName(i));
        EXPECT_EQ(names, row.Names) << row.Name;
        EXPECT_EQ(table.PortsExist(), !row.Names.empty()) << row.Name;
        for (int n = 1; n <= 99; ++n)
            EXPECT_EQ(table.COMAvailable(n), std::count(row.Names.begin(), row.Names.end(), n) == 1)
                << row.Name << " COM" << n;
    }
}

// Readers on other threads (a capture's reconnect) may ask while the window rescans:
// under ThreadSanitizer an unguarded entry is reported.
TEST(PortTable, ARescanWhileAnotherThreadReads) {
    std::atomic<bool> second{false};
    TPortTable table([&second](int n) { return n == (second.load() ? 40 : 20); });
    table.Init(99);
    std::atomic<bool> done{false};
    std::atomic<int> seen{0};
    std::thread reader([&] {
        while (!done.load())
            seen += table.COMAvailable(20) + table.PortName(0) + table.Port2Index(40) + table.PortsExist();
    });
    for (int i = 0; i < 200; ++i) {
        second.store(i % 2 == 0);
        table.Rescan();
    }
    done.store(true);
    reader.join();
    EXPECT_EQ(table.PortName(0), 20);
    EXPECT_FALSE(table.COMAvailable(40));
}

class PortChoice : public ::testing::Test {
protected:
    FakeSerialPlatform platform_;
};

TEST_F(PortChoice, NewComponentTakesTheLowestOfTheFirstFourPorts) {
    TPortTable table(PortsPresent({3, 7}));
    table.Init(99);
    TCustomSerial serial(nullptr, platform_, table);
    EXPECT_EQ(serial.GetCOMPort(), 3);
    EXPECT_EQ(serial.PortList(), (std::vector<std::string>{"COM3", "COM7"}));

    TPortTable only7(PortsPresent({7}));
    only7.Init(99);
    EXPECT_EQ(TCustomSerial(nullptr, platform_, only7).GetCOMPort(), 0);

    TPortTable unscanned(PortsPresent({2, 7}));  // the component scans COM1 to COM4
    TCustomSerial scanning(nullptr, platform_, unscanned);
    EXPECT_EQ(unscanned.LastCOM(), 4);
    EXPECT_EQ(scanning.GetCOMPort(), 2);
    EXPECT_EQ(scanning.PortList(), std::vector<std::string>{"COM2"});
}

TEST_F(PortChoice, PortNumberAcceptsOnlyExistingPorts) {
    TPortTable table(PortsPresent({3, 7}));
    table.Init(99);
    TCustomSerial serial(nullptr, platform_, table);
    serial.PortByIndex(1);
    EXPECT_EQ(serial.GetCOMPort(), 7);
    serial.PortByIndex(2);
    serial.SetCOMPort(100);
    serial.SetCOMPort(-1);
    EXPECT_EQ(serial.GetCOMPort(), 7);
    serial.SetCOMPort(5);
    EXPECT_EQ(serial.GetCOMPort(), 0);
    serial.SetCOMPort(3);
    EXPECT_EQ(serial.GetCOMPort(), 3);
}

// A throw-away tree standing in for /dev, /sys/class/tty and the override folder.
class PortLocator : public ::testing::Test {
protected:
    void SetUp() override {
        root_ = std::filesystem::temp_directory_path() / ("kestrun-ports-" + std::to_string(getpid()));
        std::filesystem::remove_all(root_);
        for (const char* dir : {"dev", "sys", "ports"}) std::filesystem::create_directories(root_ / dir);
        roots_ = {(root_ / "ports").string() + "/", (root_ / "dev").string() + "/",
                  (root_ / "sys").string() + "/"};
    }
    void TearDown() override { std::filesystem::remove_all(root_); }

    void Node(const std::string& name) { std::ofstream(root_ / "dev" / name).put('x'); }
    void UartType(const std::string& name, const std::string& type) {
        std::filesystem::create_directories(root_ / "sys" / name);
        std::ofstream(root_ / "sys" / name / "type") << type << "\n";
    }
    void Override(int n, const std::string& target) {
        std::filesystem::create_symlink(root_ / "dev" / target,
                                        root_ / "ports" / ("com" + std::to_string(n)));
    }

    std::filesystem::path root_;
    TSerialPortRoots roots_;
};

TEST_F(PortLocator, TableMapsEveryRange) {
    const TSerialPortLocator locator(roots_);
    const std::pair<int, const char*> cases[] = {
        {1, "ttyS0"},     {32, "ttyS31"}, {33, "ttyUSB0"}, {64, "ttyUSB31"}, {65, "ttyACM0"},
        {96, "ttyACM31"}, {97, nullptr},  {99, nullptr},   {0, nullptr},     {100, nullptr}};
    for (const auto& [port, node] : cases)
        EXPECT_EQ(locator.DevicePath(port), node ? roots_.DevDir + node : "") << "COM" << port;
}

TEST_F(PortLocator, PresenceNeedsAUartForTtySAndANodeOtherwise) {
    Node("ttyS0");
    UartType("ttyS0", "4");
    Node("ttyS1");
    UartType("ttyS1", "0");
    Node("ttyS2");           // no sysfs entry
    UartType("ttyS3", "4");  // no node
    Node("ttyUSB0");
    Node("ttyACM2");
    const TSerialPortLocator locator(roots_);
    const std::pair<int, bool> cases[] = {{1, true},   {2, false}, {3, false},  {4, false},  {33, true},
                                          {34, false}, {67, true}, {65, false}, {97, false}, {0, false}};
    for (const auto& [port, present] : cases) EXPECT_EQ(locator.Present(port), present) << "COM" << port;
}

TEST_F(PortLocator, OverrideWinsOverTheTableEvenWhenDangling) {
    Node("ttyUSB1");
    Node("ttyS4");
    UartType("ttyS4", "4");
    Node("rfcomm0");
    Override(34, "rfcomm0");
    Override(98, "rfcomm0");
    Override(5, "unplugged");
    const TSerialPortLocator locator(roots_);
    for (int port : {34, 98, 5})
        EXPECT_EQ(locator.DevicePath(port), roots_.OverrideDir + "com" + std::to_string(port));
    EXPECT_TRUE(locator.Present(34));
    EXPECT_TRUE(locator.Present(98));
    EXPECT_FALSE(locator.Present(5));
    const TPortScan scan = ScanPorts(99, [&](int n) { return locator.Present(n); });
    EXPECT_EQ(std::vector<int32_t>(scan.PortNames, scan.PortNames + 3), (std::vector<int32_t>{34, 98, 0}));
}

// An override naming a network port, by link text or small file of the user's,
// makes the port that address; anything else stays the override entry itself.
TEST_F(PortLocator, OverrideMayNameANetworkPort) {
    struct Case {
        int Port;
        const char* Form;     // "link", "file" or "big file"
        std::string Content;  // the link's target or the file's text
        std::string Device;   // "" for the override entry itself
        bool Present;
    };
    const Case cases[] = {
        {10, "link", "rfc2217://lab-7:3001", "rfc2217://lab-7:3001", true},
        {11, "file", "tcp://[::1]:4000\n", "tcp://[::1]:4000", true},
        {12, "file", "rfc2217://10.0.0.2:2217", "rfc2217://10.0.0.2:2217", true},
        {13, "big file", "tcp://10.0.0.2:2217" + std::string(600, ' '), "", true},
        {14, "file", "/dev/ttyS0", "", true},
        {15, "link", "telnet://host:1", "", false},
    };
    for (const Case& c : cases) {
        const auto entry = root_ / "ports" / ("com" + std::to_string(c.Port));
        if (std::string(c.Form) == "link")
            std::filesystem::create_symlink(c.Content, entry);
        else
            std::ofstream(entry) << c.Content;
    }
    const TSerialPortLocator locator(roots_);
    for (const Case& c : cases) {
        EXPECT_EQ(locator.DevicePath(c.Port), c.Device.empty() ? locator.OverridePath(c.Port) : c.Device)
            << "COM" << c.Port;
        EXPECT_EQ(locator.Present(c.Port), c.Present) << "COM" << c.Port;
    }
}

}  // namespace
