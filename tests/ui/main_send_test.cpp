// The page "Send": what the entry shows as it is typed, what the list keeps, and sends
// from the page reaching the device, one after another, while a capture runs.

#include <termios.h>
#include <unistd.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>

#include "MainWindowTestSupport.h"
#include "TriggerSequence.h"
#include "ZLogger.h"
#include "ZSendPage.h"

using namespace maintest;

namespace {

constexpr int WaitMs = 20000;

// One entry as typed with its controls set; the line beside it shows the bytes the
// engine builds from the same choices, or why the text cannot be read.
struct EntryCase {
    const char* name;
    int format;  // 0 HEX, 1 text with escapes
    const char* text;
    int checksum;
    int lineEnd;
    int skip;  // the skip box; -1: as the protocol says
};

class SendEntryTest : public MainWindowTest, public ::testing::WithParamInterface<EntryCase> {};

TEST_P(SendEntryTest, ShowsTheBytesOfItsChoicesOrWhyNot) {
    const EntryCase& c = GetParam();
    Find<QComboBox>("cb_SendFormat")->setCurrentIndex(c.format);
    Find<QComboBox>("cb_SendChecksum")->setCurrentIndex(c.checksum);
    Find<QComboBox>("cb_SendLineEnd")->setCurrentIndex(c.lineEnd);
    Find<QSpinBox>("ud_ChecksumSkip")->setValue(c.skip);
    QTest::keyClicks(Find<QLineEdit>("ed_SendData"), QString::fromLatin1(c.text));
    ZSendSequence sequence;
    std::string error;
    const bool read = c.format == 0 ? ParseSendHex(c.text, sequence.Data, error)
                                    : ParseSendText(c.text, sequence.Data, error);
    sequence.Checksum = c.checksum;
    sequence.ChecksumLSBFirst = ZSendSequence::DefaultLSBFirst(c.checksum);
    sequence.LineEnd = c.lineEnd;
    sequence.ChecksumSkip = c.skip;
    const std::vector<uint8_t> bytes = sequence.BuildBytes();
    const std::string shown = read ? std::to_string(bytes.size()) +
                                         " bytes: " + BytesToHex(bytes.data(), static_cast<int>(bytes.size()))
                                   : error;
    EXPECT_EQ(Find<QLabel>("lbl_SendBytes")->text().toStdString(), shown);
}

INSTANTIATE_TEST_SUITE_P(
    Entries, SendEntryTest,
    ::testing::Values(EntryCase{"HexWithAChecksumInItsOrder", 0, "11 03 00 6B 00 03", caCrc16Modbus, 0, -1},
                      EntryCase{"TextWithALineEnd", 1, "AT\\x21", 0, 3, -1},
                      EntryCase{"ASkipChosen", 0, "10 01 02", caXor8, 0, 1},
                      EntryCase{"NmeaAsItsProtocolSays", 1, "$GPGLL,4916.45,N,12311.12,W,225444,A*",
                                caXor8Hex, 3, -1},
                      EntryCase{"TextThatCannotBeRead", 1, "a\\q", 0, 0, -1},
                      EntryCase{"HexThatCannotBeRead", 0, "0 1 2", 0, 0, -1}),
    [](const ::testing::TestParamInfo<EntryCase>& param) { return std::string(param.param.name); });

// A sequence added to the list keeps its skip and its wait for an answer, the list its
// gap; choosing a sequence shows them again.
class SendListTest : public MainWindowTest {};

TEST_F(SendListTest, KeepsThePacingOfEachSequenceAndOfTheList) {
    auto* page = Find<ZSendPage>("SendPage");
    Find<QSpinBox>("ud_ChecksumSkip")->setValue(2);
    Find<QSpinBox>("ud_SendWaitAnswer")->setValue(300);
    Find<QSpinBox>("ud_SendGap")->setValue(7);
    QTest::keyClicks(Find<QLineEdit>("ed_SendData"), "01 02 03");
    Click("btn_AddSequence");
    Find<QSpinBox>("ud_ChecksumSkip")->setValue(-1);
    Find<QSpinBox>("ud_SendWaitAnswer")->setValue(0);
    Click("btn_AddSequence");
    ZSendList list = page->List();
    ASSERT_EQ(list.Items.size(), 2u);
    EXPECT_EQ(list.GapMs, 7);
    EXPECT_EQ(list.Items[0].ChecksumSkip, 2);
    EXPECT_EQ(list.Items[0].WaitAnswerMs, 300);
    EXPECT_EQ(list.Items[1].ChecksumSkip, ZSendSequence::ProtocolSkip);
    EXPECT_EQ(list.Items[1].WaitAnswerMs, 0);

    list.GapMs = 12;
    page->ShowList(list);
    EXPECT_EQ(Find<QSpinBox>("ud_SendGap")->value(), 12);
    Find<QListWidget>("lst_Sequences")->setCurrentRow(0);
    EXPECT_EQ(Find<QSpinBox>("ud_ChecksumSkip")->value(), 2);
    EXPECT_EQ(Find<QSpinBox>("ud_SendWaitAnswer")->value(), 300);
}

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
    // Two more at once: the second waits for the line, then goes too.
    Click("btn_Send");
    Click("btn_Send");
    received.clear();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            char buffer[64];
            const ssize_t got = read(TestPty().Master(), buffer, sizeof buffer);
            if (got > 0) received.append(buffer, static_cast<size_t>(got));
            return received.size() >= 2 * expected.size();
        },
        WaitMs));
    EXPECT_EQ(received, expected + expected);
    EXPECT_EQ(Find<QLabel>("lbl_SendCount")->text(), "Sends: 3, skipped: 0");
    // Only received bytes count as received.
    EXPECT_EQ(Find<QLabel>("lbl_TotalBytes")->text(), "0");

    Click("btn_StopCapture");
    EXPECT_FALSE(Find<QPushButton>("btn_Send")->isEnabled());
}

}  // namespace
