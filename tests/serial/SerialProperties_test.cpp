#include <gtest/gtest.h>

#include <functional>

#include "ConfigFields.h"
#include "FakeSerialPlatform.h"
#include "TSerial.h"

namespace {

class SerialProperties : public ::testing::Test {
protected:
    SerialProperties() : table_([](int n) { return n == 1 || n == 12; }) { table_.Init(99); }

    FakeSerialPlatform platform_;
    TPortTable table_;
};

TEST_F(SerialProperties, DefaultsOnTheFirstPort) {
    TSerial serial(nullptr, platform_, table_);
    EXPECT_EQ(ConfigFields(serial.GetConfig()), ConfigFields(DefaultsOnPort1));
    EXPECT_TRUE(serial.GetConfig().Valid);
    EXPECT_FALSE(serial.GetActive());
    EXPECT_FALSE(serial.GetParityCheck());
    EXPECT_FALSE(serial.GetSyncEventHandling());
    EXPECT_TRUE(serial.GetEnableEvents());
    EXPECT_TRUE(serial.GetSyncWait());
    EXPECT_EQ(serial.GetThreadPriority(), tpNormal);
}

TEST_F(SerialProperties, ParityCheckFollowsParity) {
    TSerial serial(nullptr, platform_, table_);
    serial.SetParityBit(even);
    EXPECT_TRUE(serial.GetParityCheck());
    serial.SetParityBit(none);
    EXPECT_FALSE(serial.GetParityCheck());
}

// From the defaults: BufSizeRec 2048, XOffLimit 1600, XOnLimit 400.
struct LimitCase {
    const char* name;
    std::function<void(TSerial&)> change;
    int32_t bufSizeRec, xOffLimit, xOnLimit;
};

class SerialLimits : public SerialProperties, public ::testing::WithParamInterface<LimitCase> {};

TEST_P(SerialLimits, ClampAsTheSettersPromise) {
    TSerial serial(nullptr, platform_, table_);
    GetParam().change(serial);
    EXPECT_EQ(serial.GetBufSizeRec(), GetParam().bufSizeRec);
    EXPECT_EQ(serial.GetXOffLimit(), GetParam().xOffLimit);
    EXPECT_EQ(serial.GetXOnLimit(), GetParam().xOnLimit);
}

INSTANTIATE_TEST_SUITE_P(
    Setters, SerialLimits,
    ::testing::Values(
        LimitCase{"SmallerBufferLowersXOff", [](TSerial& s) { s.SetBufSizeRec(1000); }, 1000, 1000, 400},
        LimitCase{"TinyBufferLowersBoth", [](TSerial& s) { s.SetBufSizeRec(10); }, 16, 16, 15},
        LimitCase{"LargerBufferKeepsLimits", [](TSerial& s) { s.SetBufSizeRec(8000); }, 8000, 1600, 400},
        LimitCase{"XOffNotAboveXOn", [](TSerial& s) { s.SetXOffLimit(300); }, 2048, 401, 400},
        LimitCase{"XOffCappedAtBuffer", [](TSerial& s) { s.SetXOffLimit(5000); }, 2048, 2048, 400},
        LimitCase{"XOnNotBelowXOff", [](TSerial& s) { s.SetXOnLimit(2000); }, 2048, 1600, 1599},
        LimitCase{"XOnEqualToXOff", [](TSerial& s) { s.SetXOnLimit(1600); }, 2048, 1600, 1599},
        LimitCase{"XOnNegative", [](TSerial& s) { s.SetXOnLimit(-5); }, 2048, 1600, 0}),
    [](const ::testing::TestParamInfo<LimitCase>& p) { return p.param.name; });

TEST_F(SerialProperties, BufferSizesAndTimeOutsAreClamped) {
    TSerial serial(nullptr, platform_, table_);
    serial.SetBufSizeTrm(3);
    serial.SetRecTimeOut(-1);
    serial.SetTrmTimeOut(-100);
    EXPECT_EQ(serial.GetBufSizeTrm(), 16);
    EXPECT_EQ(serial.GetRecTimeOut(), 0);
    EXPECT_EQ(serial.GetTrmTimeOut(), 0);
}

TEST_F(SerialProperties, ConfigCarriesEverySetting) {
    TSerial serial(nullptr, platform_, table_);
    TSerialConfig config = Unusual;
    config.BufSizeRec = 8000;  // the limits of the record fit, so nothing is clamped
    serial.SetConfig(config);
    EXPECT_EQ(ConfigFields(serial.GetConfig()), ConfigFields(config));
    EXPECT_TRUE(serial.GetParityCheck());
}

TEST_F(SerialProperties, SetConfigClampsInOrder) {
    TSerial serial(nullptr, platform_, table_);
    TSerialConfig config = serial.GetConfig();
    config.BufSizeRec = 1000;
    config.XOffLimit = 1600;
    config.XOnLimit = 2000;
    config.RecTimeOut = -3;
    config.COMPort = 5;  // not there
    serial.SetConfig(config);
    EXPECT_EQ(serial.GetXOffLimit(), 1000);
    EXPECT_EQ(serial.GetXOnLimit(), 999);
    EXPECT_EQ(serial.GetRecTimeOut(), 0);
    EXPECT_EQ(serial.GetCOMPort(), 0);
}

TEST_F(SerialProperties, SetConfigIgnoresAnInvalidRecord) {
    TSerial serial(nullptr, platform_, table_);
    TSerialConfig config = Unusual;
    config.Valid = false;
    serial.SetConfig(config);
    EXPECT_EQ(ConfigFields(serial.GetConfig()), ConfigFields(DefaultsOnPort1));
}

TEST_F(SerialProperties, ConfigTextGoesThroughTheComponent) {
    TSerial serial(nullptr, platform_, table_);
    const std::string text = serial.ConfigToStr(serial.GetConfig());
    EXPECT_EQ(text,
              "RRS0001084000000204800002048000000170190000160000000400063026013000000000000000000000000096");
    serial.SetBaudrate(br_000050);
    EXPECT_EQ(serial.StrToConfig(text).Baudrate, br_009600);
    EXPECT_EQ(serial.GetBaudrate(), br_000050);  // StrToConfig changes nothing
    const TSerialConfig rejected = serial.StrToConfig("RRS0");
    EXPECT_FALSE(rejected.Valid);
    EXPECT_EQ(rejected.Baudrate, br_000050);  // the current settings
}

TEST(SerialTables, RatesAndNames) {
    const int32_t rates[] = {50,    110,   150,   300,   600,    1200,   2400,   4800,   9600,   14400,
                             19200, 38400, 56000, 57600, 115200, 128000, 230400, 256000, 460800, 921600};
    for (int i = 0; i < 20; ++i) EXPECT_EQ(Baudrates[i], rates[i]);
    EXPECT_STREQ(ParityNames[mark], "mark");
    EXPECT_STREQ(StopbitsNames[sb_15], "1,5");
}

}  // namespace
