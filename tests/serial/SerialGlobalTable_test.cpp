// The process-wide port table and the port-number mapping, end to end: the test
// program's application directory (KESTRUN_HOME) holds an override that makes
// COM99 a pseudo-terminal, and the table is scanned once before any test runs, as
// the capture engine does at start.

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "PtyPair.h"
#include "TPortTable.h"
#include "TSerial.h"

namespace {

class OverrideEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        home_ = std::filesystem::temp_directory_path() / ("kestrun-home-" + std::to_string(getpid()));
        std::filesystem::remove_all(home_);
        std::filesystem::create_directories(home_ / "ports");
        pty_ = std::make_unique<PtyPair>();
        std::filesystem::create_symlink(pty_->SlavePath(), home_ / "ports" / "com99");
        setenv("KESTRUN_HOME", home_.c_str(), 1);
        InitSerial(99);
    }
    void TearDown() override {
        pty_.reset();
        std::filesystem::remove_all(home_);
    }

    static PtyPair& Pty() { return *pty_; }
    static const std::filesystem::path& Home() { return home_; }

private:
    static inline std::filesystem::path home_;
    static inline std::unique_ptr<PtyPair> pty_;
};

[[maybe_unused]] auto* const environment = ::testing::AddGlobalTestEnvironment(new OverrideEnvironment);

TEST(GlobalPortTable, ScannedOnceForAllPorts) {
    EXPECT_EQ(LastCOM(), 99);
    EXPECT_TRUE(PortsExist);
    EXPECT_TRUE(COMAvailable(99));
    EXPECT_TRUE(AvailPorts[98]);
    EXPECT_FALSE(COMAvailable(100));
    InitSerial(4);
    EXPECT_EQ(LastCOM(), 99);
}

TEST(GlobalPortTable, OverriddenPortIsListed) {
    const int index = Port2Index(99);
    EXPECT_EQ(PortNames[index], 99);
    TSerial serial;
    const auto& list = serial.PortList();
    ASSERT_FALSE(list.empty());
    EXPECT_EQ(list.back(), "COM99");
    EXPECT_NE(std::find(list.begin(), list.end(), "COM99"), list.end());
}

TEST(GlobalPortTable, PortNumberOpensTheOverriddenDevice) {
    ASSERT_TRUE(OverrideEnvironment::Pty().Ok());
    TSerial serial;
    serial.SetCOMPort(99);
    ASSERT_EQ(serial.GetCOMPort(), 99);
    EXPECT_EQ(serial.GetDevicePath(), (OverrideEnvironment::Home() / "ports" / "com99").string());
    EXPECT_EQ(PortDevicePath(99), serial.GetDevicePath());
    ASSERT_TRUE(serial.OpenIt()) << serial.GetLastOpenErrorText();
    EXPECT_EQ(serial.TText("via COM99"), 9u);
    EXPECT_EQ(OverrideEnvironment::Pty().Receive(9), "via COM99");
}

TEST(GlobalPortTable, PortWithoutADeviceIsNotPresent) {
    EXPECT_EQ(PortDevicePath(97), "");
    EXPECT_EQ(PortDevicePath(0), "");
    EXPECT_FALSE(COMAvailable(97));
}

}  // namespace
