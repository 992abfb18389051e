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
#include "ZULIniFile.h"

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
    const char* shown;
    int encode = feNone;
};

class SendEntryTest : public MainWindowTest, public ::testing::WithParamInterface<EntryCase> {};

TEST_P(SendEntryTest, ShowsTheBytesOfItsChoicesOrWhyNot) {
    const EntryCase& c = GetParam();
    Find<QComboBox>("cb_SendFormat")->setCurrentIndex(c.format);
    Find<QComboBox>("cb_SendChecksum")->setCurrentIndex(c.checksum);
    Find<QComboBox>("cb_SendLineEnd")->setCurrentIndex(c.lineEnd);
    // -1: the skip box is left as the page starts.
    if (c.skip != ZSendSequence::ProtocolSkip) Find<QSpinBox>("ud_ChecksumSkip")->setValue(c.skip);
    Find<QComboBox>("cb_SendEncode")->setCurrentIndex(c.encode);
    QTest::keyClicks(Find<QLineEdit>("ed_SendData"), QString::fromLatin1(c.text));
    EXPECT_EQ(Find<QLabel>("lbl_SendBytes")->text(), QString::fromLatin1(c.shown));
    EXPECT_EQ(Find<QComboBox>("cb_SendLineEnd")->isEnabled(), c.encode == feNone);
}

INSTANTIATE_TEST_SUITE_P(
    Entries, SendEntryTest,
    ::testing::Values(EntryCase{"ModbusCrcLowByteFirst", 0, "11 03 00 6B 00 03", caCrc16Modbus, 0, -1,
                                "8 bytes: 11 03 00 6B 00 03 76 87"},
                      EntryCase{"OddHex", 0, "0 1 2", 0, 0, -1,
                                "Odd number of HEX digits (3): every byte takes two."},
                      EntryCase{"TextCrLf", 1, "AT\\x21", 0, 3, -1, "5 bytes: 41 54 21 0D 0A"},
                      EntryCase{"BadEscape", 1, "a\\q", 0, 0, -1,
                                "Unknown escape \"\\q\" at position 2: use \\r, \\n, \\t, \\\\ or \\xNN."},
                      EntryCase{"ASkipChosen", 0, "10 01 02", caXor8, 0, 1, "4 bytes: 10 01 02 03"},
                      EntryCase{"NmeaAsItsProtocolSays", 1, "$GPGLL,4916.45,N,12311.12,W,225444,A*", caXor8Hex, 3,
                                -1,
                                "41 bytes: 24 47 50 47 4C 4C 2C 34 39 31 36 2E 34 35 2C 4E 2C 31 32 33 31 31 2E 31 "
                                "32 2C 57 2C 32 32 35 34 34 34 2C 41 2A 33 31 0D 0A"},
                      EntryCase{"SlipEscapesBothSpecialBytesAndAddsNoLineEnd", 0, "C0 DB 01", 0, 3, -1,
                                "7 bytes: C0 DB DC DB DD 01 C0", feSlip},
                      EntryCase{"CobsEncodesTheChecksumWithTheData", 0, "11 00", caXor8, 0, -1,
                                "5 bytes: 02 11 02 11 00", feCobs}),
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

// A saved sequence comes back into the entry as it would have been typed, with its own interval.
TEST_F(SendFromPageTest, AChosenSequenceShowsAsTextWhenItIsTextAndWithItsOwnInterval) {
    using Bytes = std::vector<uint8_t>;
    const struct {
        const char* Name;
        Bytes Data;
        int32_t Every;
        int Format;  // 0 HEX, 1 text with escapes
        const char* Entry;
        const char* Interval;
    } rows[] = {
        {"text", {'A', 'T', '\r', '\n'}, 500, 1, "AT\\r\\n", "500 ms"},
        {"binary, no repeat", {0x11, 0x03, 0x00}, 0, 0, "11 03 00", "none"},
        {"tab and backslash", {'a', '\t', 'b', '\\'}, 0, 1, "a\\tb\\\\", "none"},
        {"a control byte", {'A', 0x01}, 20, 0, "41 01", "20 ms"},
        {"DEL", {'A', 0x7F}, 0, 0, "41 7F", "none"},
        {"a byte above ASCII", {0xE4}, 0, 0, "E4", "none"},
        {"nothing", {}, 0, 0, "", "none"},
    };
    ZLoggerSettings settings;
    for (const auto& row : rows) {
        ZSendSequence item;
        item.Name = row.Name;
        item.Data = row.Data;
        item.Every = row.Every;
        settings.Send.Items.push_back(item);
    }
    Window().ShowSettings(settings);
    auto* list = Find<QListWidget>("lst_Sequences");
    for (int i = 0; i < static_cast<int>(std::size(rows)); ++i) {
        const auto& row = rows[i];
        list->setCurrentRow(i);
        EXPECT_EQ(Find<QComboBox>("cb_SendFormat")->currentIndex(), row.Format) << row.Name;
        EXPECT_EQ(Find<QLineEdit>("ed_SendData")->text(), QString::fromLatin1(row.Entry)) << row.Name;
        EXPECT_EQ(Find<QSpinBox>("ud_SendEvery")->text(), QString::fromLatin1(row.Interval)) << row.Name;
        // What the entry would send is what was saved.
        if (!row.Data.empty()) {
            EXPECT_EQ(Find<QLabel>("lbl_SendBytes")->text().toStdString(),
                      std::to_string(row.Data.size()) + " bytes: " +
                          BytesToHex(row.Data.data(), static_cast<int>(row.Data.size())))
                << row.Name;
        }
    }
}

// An interval of none repeats nothing: the repeat says why instead of sending without a pause.
TEST_F(SendFromPageTest, ARepeatWithoutAnIntervalIsRefused) {
    LinkPtyPort();
    ZLoggerSettings settings;
    settings.LogDir = Home();
    ZSendSequence once;
    once.Name = "once";
    once.Data = {0x01};
    settings.Send.Items.push_back(once);
    Window().ShowSettings(settings);
    Window().GetLogger()->SetCOMPort(PtyPort);
    Click("btn_StartCapture");
    ASSERT_TRUE(boxes_.empty()) << boxes_[0];
    Find<QListWidget>("lst_Sequences")->setCurrentRow(0);
    ASSERT_EQ(Find<QSpinBox>("ud_SendEvery")->value(), 0);
    Click("btn_SendRepeat");
    EXPECT_EQ(Find<QLabel>("lbl_SendState")->text(),
              "Choose how often to repeat first: the interval says none.");
    EXPECT_EQ(Find<QPushButton>("btn_SendRepeat")->text(), "Start repeat");
    EXPECT_EQ(Find<QLabel>("lbl_SendCount")->text(), "Sends: 0, skipped: 0");
    Click("btn_StopCapture");
}

// "Encode as" is saved as Encode_i (only for an encoded sequence) and shown again when
// its sequence is chosen.
TEST_F(SendFromPageTest, TheEncodingIsSavedAsEncodeIAndShownAgain) {
    const int stored[] = {-1, feSlip, feCobs};  // Encode_i of none, SLIP and COBS; -1: no key
    QTest::keyClicks(Find<QLineEdit>("ed_SendData"), "01 02");
    for (const int encoding : {feNone, feSlip, feCobs}) {
        Find<QComboBox>("cb_SendEncode")->setCurrentIndex(encoding);
        Click("btn_AddSequence");
    }
    Window().close();
    window_.reset();
    const ZULIniFile saved(Home() + "_last_used.scs");
    for (int i = 2; i >= 0; --i) {  // from the last: every choice changes the entry
        Find<QListWidget>("lst_Sequences")->setCurrentRow(i);
        EXPECT_EQ(saved.ReadInteger(ZSendList::IniSection, "Encode_" + std::to_string(i), -1), stored[i]);
        EXPECT_EQ(Find<QComboBox>("cb_SendEncode")->currentIndex(), i);
    }
}
