// The page "Send": what the entry shows as it is typed, and a send from the page
// reaching the device and the status group while a capture runs.

#include <termios.h>
#include <unistd.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include "MainWindowTestSupport.h"
#include "ZLogger.h"

using namespace maintest;

namespace {

constexpr int WaitMs = 20000;

// One entry as typed, and the line beside it.
struct EntryCase {
    const char* name;
    int format;  // 0 HEX, 1 text with escapes
    const char* text;
    int checksum;
    int lineEnd;
    const char* shown;
};

class SendEntryTest : public MainWindowTest, public ::testing::WithParamInterface<EntryCase> {};

TEST_P(SendEntryTest, ShowsTheBytesOrWhyNot) {
    const EntryCase& c = GetParam();
    Find<QComboBox>("cb_SendFormat")->setCurrentIndex(c.format);
    Find<QComboBox>("cb_SendChecksum")->setCurrentIndex(c.checksum);
    Find<QComboBox>("cb_SendLineEnd")->setCurrentIndex(c.lineEnd);
    QTest::keyClicks(Find<QLineEdit>("ed_SendData"), QString::fromLatin1(c.text));
    EXPECT_EQ(Find<QLabel>("lbl_SendBytes")->text(), QString::fromLatin1(c.shown));
}

INSTANTIATE_TEST_SUITE_P(
    Entries, SendEntryTest,
    ::testing::Values(EntryCase{"ModbusCrcLowByteFirst", 0, "11 03 00 6B 00 03", caCrc16Modbus, 0,
                                "8 bytes: 11 03 00 6B 00 03 76 87"},
                      EntryCase{"OddHex", 0, "0 1 2", 0, 0,
                                "Odd number of HEX digits (3): every byte takes two."},
                      EntryCase{"TextCrLf", 1, "AT\\x21", 0, 3, "5 bytes: 41 54 21 0D 0A"},
                      EntryCase{"BadEscape", 1, "a\\q", 0, 0,
                                "Unknown escape \"\\q\" at position 2: use \\r, \\n, \\t, \\\\ or \\xNN."}),
    [](const ::testing::TestParamInfo<EntryCase>& param) { return std::string(param.param.name); });

class SendFromPageTest : public MainWindowTest {};

TEST_F(SendFromPageTest, SendsOnlyWhileAPortIsOpenAndCountsTheBytes) {
    LinkPtyPort();
    char junk[4096];
    while (read(TestPty().Master(), junk, sizeof junk) > 0) {
    }
    // Without a port the reason is shown and nothing can be sent.
    EXPECT_FALSE(Find<QPushButton>("btn_Send")->isEnabled());
    EXPECT_EQ(Find<QLabel>("lbl_SendState")->text(),
              "Nothing can be sent: no COM port is open. Start a capture first.");

    ZLoggerSettings settings;
    settings.LogDir = Home();
    Window().ShowSettings(settings);
    ASSERT_TRUE(Window().GetLogger()->SetSettings(Window().CollectSettings()));
    auto* ports = Find<QComboBox>("cb_COMPorts");
    ports->lineEdit()->clear();
    QTest::keyClicks(ports->lineEdit(), "COM98");
    QTest::keyClick(ports->lineEdit(), Qt::Key_Return);
    boxes_.clear();
    ASSERT_EQ(Window().GetLogger()->GetCOMPort(), PtyPort);
    Click("btn_StartCapture");
    ASSERT_TRUE(boxes_.empty()) << boxes_[0];
    ASSERT_TRUE(Find<QPushButton>("btn_Send")->isEnabled());
    EXPECT_EQ(Find<QLabel>("lbl_SendState")->text(), "");

    Find<QComboBox>("cb_SendChecksum")->setCurrentIndex(caCrc16Modbus);
    QTest::keyClicks(Find<QLineEdit>("ed_SendData"), "11 03 00 6B 00 03");
    QTest::keyClick(Find<QLineEdit>("ed_SendData"), Qt::Key_Return);
    const std::string expected{'\x11', '\x03', '\x00', '\x6B', '\x00', '\x03', '\x76', '\x87'};
    std::string received;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            char buffer[64];
            const ssize_t got = read(TestPty().Master(), buffer, sizeof buffer);
            if (got > 0) received.append(buffer, static_cast<size_t>(got));
            return received.size() >= expected.size();
        },
        WaitMs))
        << Find<QLabel>("lbl_SendState")->text().toStdString();
    EXPECT_EQ(received, expected);
    ASSERT_TRUE(QTest::qWaitFor([&] { return Find<QLabel>("lbl_BytesSent")->text() == "8"; }, WaitMs));
    EXPECT_EQ(Find<QLabel>("lbl_SendCount")->text(), "Sends: 1, skipped: 0");
    // Only received bytes count as received.
    EXPECT_EQ(Find<QLabel>("lbl_TotalBytes")->text(), "0");

    Click("btn_StopCapture");
    EXPECT_FALSE(Find<QPushButton>("btn_Send")->isEnabled());
}

}  // namespace
