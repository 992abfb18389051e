#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "FakeSerialPlatform.h"
#include "TSerial.h"

namespace {

// Records which variant each slot call reached.
class SlotProbe : public TSerial {
public:
    using TSerial::TSerial;
    std::string last;

protected:
    std::string RText_00() override { return Note("RText_00", TSerial::RText_00()); }
    std::string RText_NT() override { return Note("RText_NT", TSerial::RText_NT()); }
    uint32_t TData_00(const void* d, uint32_t n) override {
        return Note("TData_00", TSerial::TData_00(d, n));
    }
    uint32_t RData_00(void* b, uint32_t n) override { return Note("RData_00", TSerial::RData_00(b, n)); }
    uint32_t RData_95(void* b, uint32_t n) override { return Note("RData_95", TSerial::RData_95(b, n)); }
    uint32_t TText_00(const std::string& s) override { return Note("TText_00", TSerial::TText_00(s)); }
    uint32_t TText_95(const std::string& s) override { return Note("TText_95", TSerial::TText_95(s)); }
    uint32_t TText_NT(const std::string& s) override { return Note("TText_NT", TSerial::TText_NT(s)); }

private:
    template <typename T>
    T Note(const char* variant, T result) {
        last = variant;
        return result;
    }
};

class SerialOpen : public ::testing::Test {
protected:
    SerialOpen() : table_([](int n) { return n == 1 || n == 12; }) { table_.Init(99); }

    FakeDevice& Port1() { return platform_.Port(1); }

    FakeSerialPlatform platform_;
    TPortTable table_;
};

TEST_F(SerialOpen, OpensTheDeviceOfItsPortNumber) {
    platform_.Port(12);
    TSerial serial(nullptr, platform_, table_);
    serial.SetCOMPort(12);
    EXPECT_TRUE(serial.OpenIt());
    EXPECT_TRUE(serial.GetActive());
    EXPECT_EQ(platform_.Port(12).opens, 1);
    EXPECT_EQ(serial.GetLastOpenErrorText(), "");
}

TEST_F(SerialOpen, ExplicitDeviceStandsInForThePortNumber) {
    platform_.Device("/fake/by-id/adapter");
    TSerial serial(nullptr, platform_, table_);
    serial.SetCOMPort(0);
    EXPECT_FALSE(serial.OpenIt());
    EXPECT_EQ(serial.GetLastOpenErrorText(), "No serial port is chosen.");
    serial.SetDevicePath("/fake/by-id/adapter");
    EXPECT_TRUE(serial.OpenIt());
    EXPECT_EQ(serial.GetLastOpenError(), 0);
}

TEST_F(SerialOpen, ActiveOpensOnceAndCloses) {
    Port1();
    TSerial serial(nullptr, platform_, table_);
    serial.SetActive(true);
    EXPECT_FALSE(serial.OpenIt());  // already open: refused, stays open
    serial.SetActive(true);
    EXPECT_TRUE(serial.GetActive());
    EXPECT_EQ(Port1().opens, 1);
    serial.SetActive(false);
    EXPECT_FALSE(serial.GetActive());
    EXPECT_FALSE(Port1().isOpen);
    EXPECT_TRUE(serial.OpenComm());
    serial.CloseComm();
    EXPECT_FALSE(Port1().isOpen);
}

TEST_F(SerialOpen, DestructionClosesThePort) {
    Port1();
    auto serial = std::make_unique<TSerial>(nullptr, platform_, table_);
    ASSERT_TRUE(serial->OpenIt());
    serial.reset();
    EXPECT_FALSE(Port1().isOpen);
}

struct FailingStep {
    const char* name;
    std::function<void(FakeDevice&)> arrange;
    int error;
};

class SerialOpenFailure : public SerialOpen, public ::testing::WithParamInterface<FailingStep> {};

TEST_P(SerialOpenFailure, LeavesNothingOpen) {
    GetParam().arrange(Port1());
    SlotProbe serial(nullptr, platform_, table_);
    serial.SetOnRxChar([](TSerial&) {});
    EXPECT_FALSE(serial.OpenIt());
    EXPECT_FALSE(serial.GetActive());
    EXPECT_FALSE(Port1().isOpen);
    EXPECT_EQ(serial.GetLastOpenError(), GetParam().error);
    EXPECT_EQ(serial.RData(nullptr, 10), 0u);
    EXPECT_EQ(serial.last, "RData_00");
    EXPECT_EQ(Port1().waiters, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Steps, SerialOpenFailure,
    ::testing::Values(FailingStep{"Busy", [](FakeDevice& d) { d.openError = EBUSY; }, EBUSY},
                      FailingStep{"BufferSetup", [](FakeDevice& d) { d.failSetup = true; }, EIO},
                      FailingStep{"LineSettings", [](FakeDevice& d) { d.stateError = EINVAL; }, EINVAL},
                      FailingStep{"EventMask", [](FakeDevice& d) { d.failMask = true; }, EIO}),
    [](const ::testing::TestParamInfo<FailingStep>& p) { return p.param.name; });

TEST_F(SerialOpen, FailureReasonLastsUntilTheNextSuccess) {
    Port1().openError = EBUSY;
    TSerial serial(nullptr, platform_, table_);
    EXPECT_FALSE(serial.OpenIt());
    EXPECT_EQ(serial.GetLastOpenErrorText(), "/fake/com1 is in use by another program.");
    Port1().openError = 0;
    EXPECT_TRUE(serial.OpenIt());
    EXPECT_EQ(serial.GetLastOpenError(), 0);
}

TEST_F(SerialOpen, SettingsComeFromTheProperties) {
    Port1();
    TSerial serial(nullptr, platform_, table_);
    serial.SetBaudrate(br_128000);
    serial.SetDataBits(db_7);
    serial.SetParityBit(odd);
    serial.SetStopBits(sb_2);
    serial.SetBufSizeRec(4000);
    serial.SetBufSizeTrm(100);
    serial.SetXOffChar(0x14);
    serial.SetXOnLimit(100);
    serial.SetXOffLimit(70000);  // capped at the buffer size
    serial.SetEventChar('\n');
    ASSERT_TRUE(serial.OpenIt());
    EXPECT_EQ(Port1().setupReceive, 4000);
    EXPECT_EQ(Port1().setupTransmit, 100);
    ASSERT_EQ(Port1().states.size(), 1u);
    const TSerialDcb& dcb = Port1().states[0];
    EXPECT_EQ(dcb.DCBlength, 28u);
    EXPECT_EQ(dcb.BaudRate, 128000);
    EXPECT_EQ(dcb.ByteSize, 7);
    EXPECT_EQ(dcb.Parity, odd);
    EXPECT_EQ(dcb.StopBits, sb_2);
    EXPECT_EQ(dcb.XonChar, 17);
    EXPECT_EQ(dcb.XoffChar, 0x14);
    EXPECT_EQ(dcb.XonLim, 100);
    EXPECT_EQ(dcb.XoffLim, 4000);
    EXPECT_EQ(dcb.ErrorChar, '?');
    EXPECT_EQ(dcb.EofChar, 26);
    EXPECT_EQ(dcb.EvtChar, '\n');
}

struct FlagCase {
    const char* name;
    std::function<void(TSerial&)> arrange;
    uint32_t flags;
};

class SerialDcbFlags : public SerialOpen, public ::testing::WithParamInterface<FlagCase> {};

TEST_P(SerialDcbFlags, FlagWordIsBuiltAfresh) {
    Port1();
    TSerial serial(nullptr, platform_, table_);
    GetParam().arrange(serial);
    ASSERT_TRUE(serial.OpenIt());
    EXPECT_EQ(Port1().states.at(0).Flags, GetParam().flags);
}

INSTANTIATE_TEST_SUITE_P(
    Properties, SerialDcbFlags,
    ::testing::Values(FlagCase{"Defaults", [](TSerial&) {}, 0x0001},
                      FlagCase{"DtrOn", [](TSerial& s) { s.SetDTRActive(true); }, 0x0011},
                      FlagCase{"RtsOn", [](TSerial& s) { s.SetRTSActive(true); }, 0x1001},
                      FlagCase{"Parity", [](TSerial& s) { s.SetParityBit(even); }, 0x0003},
                      FlagCase{"RtsCtsBeatsRtsOn",
                               [](TSerial& s) {
                                   s.SetRTSActive(true);
                                   s.SetHandshakeRtsCts(true);
                               },
                               0x2005},
                      FlagCase{"DtrDsrBeatsDtrOn",
                               [](TSerial& s) {
                                   s.SetDTRActive(true);
                                   s.SetHandshakeDtrDsr(true);
                               },
                               0x0029},
                      FlagCase{"Everything",
                               [](TSerial& s) {
                                   s.SetParityBit(mark);
                                   s.SetHandshakeRtsCts(true);
                                   s.SetHandshakeDtrDsr(true);
                                   s.SetHandshakeXOnXOff(true);
                                   s.SetContinueOnXOff(true);
                                   s.SetUseErrorChar(true);
                                   s.SetEliminateNullChar(true);
                                   s.SetAbortOnError(true);
                               },
                               0x6FAF}),
    [](const ::testing::TestParamInfo<FlagCase>& p) { return p.param.name; });

struct TimeoutCase {
    TBaudrate rate;
    int32_t recTimeOut, trmTimeOut;
    TSerialTimeouts expected;
};

class SerialTimeouts : public SerialOpen, public ::testing::WithParamInterface<TimeoutCase> {};

TEST_P(SerialTimeouts, MultiplierIsOneCharacterTime) {
    Port1();
    TSerial serial(nullptr, platform_, table_);
    serial.SetBaudrate(GetParam().rate);
    serial.SetRecTimeOut(GetParam().recTimeOut);
    serial.SetTrmTimeOut(GetParam().trmTimeOut);
    ASSERT_TRUE(serial.OpenIt());
    ASSERT_EQ(Port1().timeouts.size(), 1u);
    const TSerialTimeouts& got = Port1().timeouts[0];
    const TSerialTimeouts& want = GetParam().expected;
    EXPECT_EQ(
        std::tie(got.ReadIntervalTimeout, got.ReadTotalTimeoutMultiplier, got.ReadTotalTimeoutConstant,
                 got.WriteTotalTimeoutMultiplier, got.WriteTotalTimeoutConstant),
        std::tie(want.ReadIntervalTimeout, want.ReadTotalTimeoutMultiplier, want.ReadTotalTimeoutConstant,
                 want.WriteTotalTimeoutMultiplier, want.WriteTotalTimeoutConstant));
}

INSTANTIATE_TEST_SUITE_P(Rates, SerialTimeouts,
                         ::testing::Values(TimeoutCase{br_000050, 100, 0, {100, 200, 100, 0, 0}},
                                           TimeoutCase{br_001200, 5, 5, {5, 8, 5, 8, 5}},
                                           TimeoutCase{br_009600, 100, 30, {100, 1, 100, 1, 30}},
                                           TimeoutCase{br_115200, 0, 30, {0, 0, 0, 1, 30}}));

TEST_F(SerialOpen, WithoutTimeOutsTheDriverKeepsItsOwn) {
    Port1();
    TSerial serial(nullptr, platform_, table_);
    ASSERT_TRUE(serial.OpenIt());
    EXPECT_TRUE(Port1().timeouts.empty());
}

TEST_F(SerialOpen, SlotsFollowStateAndPlatform) {
    Port1();
    SlotProbe serial(nullptr, platform_, table_);
    EXPECT_EQ(serial.TText("x"), 0u);
    EXPECT_EQ(serial.last, "TText_00");
    ASSERT_TRUE(serial.OpenIt());
    serial.TText("x");
    EXPECT_EQ(serial.last, "TText_NT");
    serial.RText();
    EXPECT_EQ(serial.last, "RText_NT");
    serial.CloseIt();
    serial.TData("x", 1);
    EXPECT_EQ(serial.last, "TData_00");

    FakeSerialPlatform immediate(false);
    immediate.Port(1);
    SlotProbe other(nullptr, immediate, table_);
    ASSERT_TRUE(other.OpenIt());
    other.TText("x");
    EXPECT_EQ(other.last, "TText_95");
}

TEST_F(SerialOpen, CompletingVariantsWaitOnlyWithSyncWait) {
    Port1().incoming = "abc";
    TSerial serial(nullptr, platform_, table_);
    ASSERT_TRUE(serial.OpenIt());
    char buffer[8];
    EXPECT_EQ(serial.RData(buffer, 0), 0u);  // reads nothing at all
    EXPECT_EQ(serial.RData(buffer, 2), 2u);
    serial.SetSyncWait(false);
    EXPECT_EQ(serial.RData(buffer, 8), 1u);
    EXPECT_EQ(serial.RText(), "");  // nothing waits: nothing read
    EXPECT_EQ(serial.TText("hello"), 5u);
    EXPECT_EQ(Port1().completeFlags, (std::vector<bool>{true, false, false}));
    EXPECT_EQ(Port1().written, "hello");
}

TEST_F(SerialOpen, ImmediateVariantsNeverWait) {
    FakeSerialPlatform immediate(false);
    immediate.Port(1).incoming = std::string("a\0b", 3);
    TSerial serial(nullptr, immediate, table_);
    ASSERT_TRUE(serial.OpenIt());
    EXPECT_EQ(serial.GetBufRec(), 3);
    EXPECT_EQ(serial.RText(), std::string("a\0b", 3));
    EXPECT_EQ(serial.TData("xy", 2), 2u);
    EXPECT_EQ(immediate.Port(1).completeFlags, (std::vector<bool>{false, false}));
}

TEST_F(SerialOpen, RTextHoldsOnlyTheBytesThatCame) {
    Port1().incoming = "ab";
    Port1().overstated = 3;
    TSerial serial(nullptr, platform_, table_);
    ASSERT_TRUE(serial.OpenIt());
    EXPECT_EQ(serial.RText(), "ab");
}

TEST_F(SerialOpen, ClosedComponentIsHarmless) {
    TSerial serial(nullptr, platform_, table_);
    int in = -1;
    int out = -1;
    serial.DataInBuffer(in, out);
    EXPECT_EQ(in + out, 0);
    EXPECT_EQ(serial.GetBufRec() + serial.GetBufTrm(), 0);
    EXPECT_FALSE(serial.Purge(true, true, true, true));
    EXPECT_FALSE(serial.GetCanTransmitt());
    EXPECT_FALSE(serial.IsHungUp());
    EXPECT_EQ(serial.RText(), "");
}

TEST_F(SerialOpen, PurgePassesItsFlags) {
    Port1();
    TSerial serial(nullptr, platform_, table_);
    ASSERT_TRUE(serial.OpenIt());
    EXPECT_TRUE(serial.Purge(false, true, false, true));
    EXPECT_TRUE(serial.Purge(true, false, true, false));
    EXPECT_EQ(Port1().purges, (std::vector<uint32_t>{0x0A, 0x05}));
}

struct TransmitCase {
    bool rtsCts, dtrDsr, modemLines;
    uint32_t status;
    bool canTransmit;
};

class SerialCanTransmit : public SerialOpen, public ::testing::WithParamInterface<TransmitCase> {};

TEST_P(SerialCanTransmit, FollowsTheHandshakeLines) {
    Port1().modemStatus = GetParam().status;
    Port1().hasModemLines = GetParam().modemLines;
    TSerial serial(nullptr, platform_, table_);
    serial.SetHandshakeRtsCts(GetParam().rtsCts);
    serial.SetHandshakeDtrDsr(GetParam().dtrDsr);
    ASSERT_TRUE(serial.OpenIt());
    EXPECT_EQ(serial.GetCanTransmitt(), GetParam().canTransmit);
}

INSTANTIATE_TEST_SUITE_P(Lines, SerialCanTransmit,
                         ::testing::Values(TransmitCase{false, false, true, 0, true},
                                           TransmitCase{true, false, true, MS_CTS_ON, true},
                                           TransmitCase{true, false, true, MS_DSR_ON, false},
                                           TransmitCase{false, true, true, MS_DSR_ON, true},
                                           TransmitCase{false, true, true, MS_CTS_ON, false},
                                           TransmitCase{true, true, true, MS_CTS_ON, true},
                                           TransmitCase{true, true, true, MS_DSR_ON, true},
                                           TransmitCase{true, true, true, MS_RING_ON | MS_RLSD_ON, false},
                                           // a device that cannot tell its lines holds a handshake back
                                           TransmitCase{true, false, false, MS_CTS_ON, false}));

}  // namespace
