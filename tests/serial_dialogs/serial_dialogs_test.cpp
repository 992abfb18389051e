// The serial library's dialogs and port combo box, driven by their object names.
// Ports 1, 2, 5, 6 and 9 exist: the program's application directory (KESTRUN_HOME)
// holds an override for every port, present ones linking to /dev/null and absent
// ones dangling, and the process-wide table is scanned before any test runs.

#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QTranslator>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>

#include "ModalDriver.h"
#include "SerialPortLocator.h"
#include "TCOMComboBox.h"
#include "TFormCOMSetup.h"
#include "TFormSerSel.h"
#include "TSerExtDlg.h"
#include "TSerSel.h"
#include "TSerStdDlg.h"
#include "TSerial.h"
#include "TUpDown.h"
#include "TestFiles.h"

namespace {

const std::set<int> PresentPorts = {1, 2, 5, 6, 9};

class PortLinksEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        home_ = std::filesystem::temp_directory_path() / ("kestrun-dialogs-" + std::to_string(getpid()));
        std::filesystem::remove_all(home_);
        std::filesystem::create_directories(home_ / "ports");
        // Every port gets an override, so that the machine's own serial ports do
        // not show up: a dangling link is an absent port.
        for (int n = 1; n <= 99; ++n)
            std::filesystem::create_symlink(PresentPorts.count(n) ? "/dev/null" : (home_ / "absent").string(),
                                            home_ / "ports" / ("com" + std::to_string(n)));
        setenv("KESTRUN_HOME", home_.c_str(), 1);
        InitSerial(99);
    }
    void TearDown() override { std::filesystem::remove_all(home_); }

private:
    std::filesystem::path home_;
};

[[maybe_unused]] auto* const environment = ::testing::AddGlobalTestEnvironment(new PortLinksEnvironment);

QStringList Items(const QComboBox& list) {
    QStringList items;
    for (int i = 0; i < list.count(); ++i) items << list.itemText(i);
    return items;
}

std::string Settings(const TSerial& serial) {
    return serial.ConfigToStr(serial.GetConfig());
}

// Port n of the process-wide table as the lists show it: each present port is linked to
// /dev/null, which the lists name by its device.
QString Listed(int n) {
    return QStringLiteral("COM%1 \u2014 null").arg(n);
}

// A port table of its own, for the cases the process-wide table cannot show.
TPortProbe Only(std::set<int> ports) {
    return [ports](int n) { return ports.count(n) != 0; };
}

TEST(PortLists, SetupFormAndComboBoxOfferTheFirstFourPortsTheChooserAll) {
    ASSERT_EQ(LastCOM(), 99);
    const QStringList firstFour = {Listed(1), Listed(2), Listed(5), Listed(6)};
    TFormCOMSetup setup;
    EXPECT_EQ(Items(*Child<QComboBox>(setup, "ComboBoxPort")), firstFour);
    QWidget owner;
    TCOMComboBox combo(&owner);
    EXPECT_EQ(Items(combo), firstFour);
    EXPECT_EQ(combo.parentWidget(), &owner);
    TFormSerSel chooser(1);
    EXPECT_EQ(Items(*Child<QComboBox>(chooser, "ComboBox1")),
              (QStringList{Listed(1), Listed(2), Listed(5), Listed(6), Listed(9)}));
}

TEST(PortLists, WithoutPortsTheChooserAndTheComboBoxSayNone) {
    TPortTable noPorts(Only({}));
    TCOMComboBox combo(nullptr, noPorts);
    QSignalSpy changes(&combo, &TCOMComboBox::OnChange);
    for (int32_t port : {1, 5, 98}) combo.SetSelectedPort(port);
    EXPECT_EQ(Items(combo), QStringList{"none"});
    EXPECT_EQ(combo.SelectedPort(), 0);
    EXPECT_EQ(changes.count(), 0);

    TSerial serial(nullptr, DefaultSerialPlatform(), noPorts);
    TSerSel chooser(nullptr, noPorts);
    chooser.SetSerial(&serial);
    ModalDriver driver([](QDialog& form) {
        EXPECT_EQ(Items(*Child<QComboBox>(form, "ComboBox1")), QStringList{"none"});
        QTest::mouseClick(Child<QPushButton>(form, "ButtonOk"), Qt::LeftButton);
    });
    EXPECT_TRUE(chooser.Execute());
    EXPECT_TRUE(driver.Ran());
    EXPECT_EQ(serial.GetCOMPort(), 0);
}

TEST(SetupDialog, PortBeyondTheFourthShowsCom1AndOkSetsIt) {
    TSerial serial;
    serial.SetCOMPort(9);
    ASSERT_EQ(serial.GetCOMPort(), 9);
    TSerExtDlg dialog;
    dialog.SetSerial(&serial);
    ModalDriver driver([](QDialog& form) {
        EXPECT_EQ(Child<QComboBox>(form, "ComboBoxPort")->currentText(), Listed(1));
        QTest::mouseClick(Child<QPushButton>(form, "ButtonOk"), Qt::LeftButton);
    });
    EXPECT_TRUE(dialog.Execute());
    EXPECT_EQ(serial.GetCOMPort(), 1);
}

// Port 5 is the third entry of the list: it is shown, and kept on OK.
TEST(SetupDialog, ShowsTheComponentsSettingsAndKeepsThemOnOk) {
    TSerial serial;
    serial.SetCOMPort(5);
    serial.SetBaudrate(br_057600);
    serial.SetDataBits(db_7);
    serial.SetParityBit(even);
    serial.SetStopBits(sb_2);
    serial.SetHandshakeRtsCts(true);
    serial.SetXOnChar('A');
    serial.SetRecTimeOut(250);
    TSerExtDlg dialog;
    dialog.SetSerial(&serial);
    ModalDriver driver([](QDialog& form) {
        EXPECT_EQ(Child<QWidget>(form, "ComboBoxPort")->property("currentText"), Listed(5));
        EXPECT_EQ(Child<QComboBox>(form, "ComboBoxBaudrate")->currentText(), "57600");
        EXPECT_EQ(Child<QComboBox>(form, "ComboBoxDatabit")->currentText(), "7");
        EXPECT_EQ(Child<QComboBox>(form, "ComboBoxParity")->currentText(), "even");
        EXPECT_EQ(Child<QComboBox>(form, "ComboBoxStop")->currentText(), "2");
        EXPECT_TRUE(Child<QCheckBox>(form, "CheckBoxRTSCTS")->isChecked());
        EXPECT_FALSE(Child<QCheckBox>(form, "CheckBoxDTRDSR")->isChecked());
        auto* soft = Child<QCheckBox>(form, "CheckBoxSoft");
        EXPECT_FALSE(soft->isChecked());
        QTest::mouseClick(soft, Qt::LeftButton);
        QTest::mouseClick(Child<QPushButton>(form, "ButtonOk"), Qt::LeftButton);
    });
    ASSERT_TRUE(dialog.Execute());
    EXPECT_EQ(serial.GetCOMPort(), 5);
    EXPECT_EQ(serial.GetBaudrate(), br_057600);
    EXPECT_EQ(serial.GetDataBits(), db_7);
    EXPECT_EQ(serial.GetParityBit(), even);
    EXPECT_TRUE(serial.GetParityCheck());
    EXPECT_EQ(serial.GetStopBits(), sb_2);
    EXPECT_TRUE(serial.GetHandshakeRtsCts());
    EXPECT_FALSE(serial.GetHandshakeDtrDsr());
    EXPECT_TRUE(serial.GetHandshakeXOnXOff());
    // The dialog does not edit these.
    EXPECT_EQ(serial.GetXOnChar(), 'A');
    EXPECT_EQ(serial.GetRecTimeOut(), 250);
    // The confirmed block is kept for the next showing, with the fixed XOn/XOff characters.
    EXPECT_EQ(dialog.Dcb().XonChar, 17);
    EXPECT_EQ(dialog.Dcb().Get(DCB::fBinary), 1u);
    EXPECT_EQ(dialog.Dcb().Get(DCB::fRtsControl), DCB::RTS_CONTROL_HANDSHAKE);
}

TEST(SetupDialog, EveryShowingStartsFromTheComponent) {
    TSerial serial;
    serial.SetHandshakeRtsCts(true);
    serial.SetHandshakeDtrDsr(true);
    TSerExtDlg dialog;
    dialog.SetSerial(&serial);
    for (const bool handshake : {true, false}) {
        SCOPED_TRACE(handshake);
        serial.SetHandshakeRtsCts(handshake);
        serial.SetHandshakeDtrDsr(handshake);
        ModalDriver driver([handshake](QDialog& form) {
            EXPECT_EQ(Child<QCheckBox>(form, "CheckBoxRTSCTS")->isChecked(), handshake);
            EXPECT_EQ(Child<QCheckBox>(form, "CheckBoxDTRDSR")->isChecked(), handshake);
            QTest::mouseClick(Child<QPushButton>(form, "ButtonOk"), Qt::LeftButton);
        });
        ASSERT_TRUE(dialog.Execute());
        EXPECT_EQ(serial.GetHandshakeRtsCts(), handshake);
    }
}

TEST(SetupDialog, BufferSizesStepAsPowersOfTwo) {
    struct Row {
        int32_t HandedIn;
        int Steps;  // key presses on the up-down: positive up, negative down
        const char* Shown;
        int Position;
    };
    const Row rows[] = {
        {2048, 0, "2048", 11},     {2048, 1, "4096", 12}, {2048, 9, "1048576", 20},
        {2048, 12, "1048576", 20}, {3000, 0, "3000", 3},  {3000, 1, "16", 4},
        {3000, -1, "3000", 3},     {16, -1, "16", 4},     {65536, -2, "16384", 14},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << row.HandedIn << " stepped " << row.Steps);
        TFormCOMSetup form;
        TCOMExtParams params;
        params.BufSizeRec = row.HandedIn;
        params.BufSizeTrm = 2048;
        ModalDriver driver([&row](QDialog& dialog) {
            // Up through the up-down itself, down through the arrow keys of the edit.
            auto* upDown = Child<TUpDown>(dialog, "UpDown1");
            QWidget* target =
                row.Steps > 0 ? static_cast<QWidget*>(upDown) : Child<QLineEdit>(dialog, "EditBufR");
            for (int i = 0; i < std::abs(row.Steps); ++i)
                QTest::keyClick(target, row.Steps > 0 ? Qt::Key_Up : Qt::Key_Down);
            EXPECT_EQ(Child<QLineEdit>(dialog, "EditBufR")->text(), row.Shown);
            EXPECT_EQ(upDown->Position(), row.Position);
            EXPECT_EQ(Child<QLineEdit>(dialog, "EditBufT")->text(), "2048");
            QTest::mouseClick(Child<QPushButton>(dialog, "ButtonOk"), Qt::LeftButton);
        });
        ASSERT_TRUE(form.CommConfigDialogEx(params));
        EXPECT_EQ(params.BufSizeRec, std::atoi(row.Shown));
        EXPECT_EQ(params.BufSizeTrm, 2048);
    }
}

TEST(SetupDialog, CancelChangesNothing) {
    // By the button and by Escape.
    for (const bool escape : {false, true}) {
        SCOPED_TRACE(escape ? "Escape" : "ButtonAbort");
        TSerial serial;
        serial.SetBaudrate(br_019200);
        serial.SetBufSizeRec(4096);
        const std::string before = Settings(serial);
        TSerExtDlg dialog;
        dialog.SetSerial(&serial);
        ModalDriver driver([escape](QDialog& form) {
            auto* rates = Child<QComboBox>(form, "ComboBoxBaudrate");
            rates->setCurrentIndex(rates->findText("115200"));
            QTest::mouseClick(Child<QCheckBox>(form, "CheckBoxSoft"), Qt::LeftButton);
            QTest::keyClick(Child<TUpDown>(form, "UpDown1"), Qt::Key_Up);
            if (escape)
                QTest::keyClick(&form, Qt::Key_Escape);
            else
                QTest::mouseClick(Child<QPushButton>(form, "ButtonAbort"), Qt::LeftButton);
            // The form is back at what it showed.
            EXPECT_EQ(rates->currentIndex(), -1);  // the list is filled at each showing
            EXPECT_FALSE(Child<QCheckBox>(form, "CheckBoxSoft")->isChecked());
            EXPECT_EQ(Child<QLineEdit>(form, "EditBufR")->text(), "");
            EXPECT_FALSE(form.isVisible());
        });
        EXPECT_FALSE(dialog.Execute());
        EXPECT_TRUE(driver.Ran());
        EXPECT_EQ(Settings(serial), before);
    }
}

// The German texts as the window program shows them when the user's language is German
// (LANGUAGE=de): the program's built-in translation, installed while one lives.
class GermanTexts {
public:
    GermanTexts() {
        EXPECT_TRUE(translator_.load(QStringLiteral(":/i18n/kestrun_de.qm")));
        QCoreApplication::installTranslator(&translator_);
    }
    ~GermanTexts() { QCoreApplication::removeTranslator(&translator_); }

private:
    QTranslator translator_;
};

TEST(SetupDialog, FormLayoutInEnglishAndInGerman) {
    for (const bool german : {false, true}) {
        SCOPED_TRACE(german ? "German" : "English");
        std::unique_ptr<GermanTexts> texts;
        if (german) texts = std::make_unique<GermanTexts>();
        TFormCOMSetup form;
        EXPECT_EQ(form.windowTitle(), german ? "Einstellungen" : "Settings");
        EXPECT_EQ(form.size(), QSize(256, 297));
        EXPECT_EQ(form.minimumSize(), form.maximumSize());
        struct Row {
            const char* Name;
            const char* English;
            const char* German;
            QRect Geometry;
        };
        const Row controls[] = {
            {"ComboBoxPort", nullptr, nullptr, {72, 8, 65, 21}},
            {"GroupBox1", " Format ", " Format ", {8, 40, 81, 209}},
            {"ComboBoxBaudrate", nullptr, nullptr, {8, 32, 65, 21}},
            {"ComboBoxStop", nullptr, nullptr, {8, 176, 65, 21}},
            {"GroupBox2", " Handshake ", " Handshake ", {96, 40, 153, 89}},
            {"CheckBoxRTSCTS", "RTS/CTS handshake", "RTS/CTS-Handshake", {8, 16, 129, 17}},
            {"CheckBoxDTRDSR", "D&TR/DSR handshake", "D&TR/DSR-Handshake", {8, 40, 137, 17}},
            {"CheckBoxSoft", "&XOn/XOff protocol", "&XOn/XOff-Protokoll", {8, 64, 137, 17}},
            {"GroupBox3", " Transfer buffers ", " Übertragungspuffer ", {96, 136, 153, 113}},
            {"EditBufR", nullptr, nullptr, {8, 32, 57, 21}},
            {"UpDown1", nullptr, nullptr, {64, 32, 20, 21}},
            {"UpDown2", nullptr, nullptr, {64, 80, 20, 21}},
            {"ButtonOk", "&OK", "&Ok", {40, 264, 75, 25}},
            {"ButtonAbort", "&Cancel", "&Abbrechen", {144, 264, 75, 25}},
        };
        for (const Row& row : controls) {
            SCOPED_TRACE(row.Name);
            QWidget* control = Child<QWidget>(form, row.Name);
            ASSERT_NE(control, nullptr);
            EXPECT_EQ(control->geometry(), row.Geometry);
            if (row.English != nullptr) {
                const QVariant caption =
                    control->property(qobject_cast<QGroupBox*>(control) ? "title" : "text");
                EXPECT_EQ(caption.toString(), QString::fromUtf8(german ? row.German : row.English));
            }
        }
        // Each label leads to its field by its accelerator (the same letter in both
        // languages) and names it for assistive technology.
        const char* const labels[][4] = {
            {"Label1", "&Serial port", "&Schnittstelle", "ComboBoxPort"},
            {"Label2", "&Baud rate", "&Baudrate", "ComboBoxBaudrate"},
            {"Label3", "&Data bits", "&Datenbits", "ComboBoxDatabit"},
            {"Label4", "&Parity", "&Paritätsbit", "ComboBoxParity"},
            {"Label5", "St&op bits", "St&oppbits", "ComboBoxStop"},
            {"Label6", "R&eceive buffer", "&Empfangspuffer", "EditBufR"},
            {"Label7", "Se&nd buffer", "Se&ndepuffer", "EditBufT"},
        };
        for (const auto& label : labels) {
            SCOPED_TRACE(label[0]);
            auto* control = Child<QLabel>(form, label[0]);
            ASSERT_NE(control, nullptr);
            EXPECT_EQ(control->text(), QString::fromUtf8(german ? label[2] : label[1]));
            EXPECT_EQ(control->buddy(), Child<QWidget>(form, label[3]));
            // A label wider than its room would run under the control beside it.
            EXPECT_LE(control->sizeHint().width(), control->width());
        }
        EXPECT_LE(Child<QLabel>(form, "Label1")->geometry().right(), 72);
        EXPECT_EQ(Child<QWidget>(form, "UpDown1")->accessibleName(),
                  german ? "Empfangspuffer" : "Receive buffer");
    }
}

TEST(SetupDialog, TabOrderFollowsTheLayout) {
    TFormCOMSetup form;
    const QStringList expected = {"ComboBoxPort", "ComboBoxBaudrate", "ComboBoxDatabit", "ComboBoxParity",
                                  "ComboBoxStop", "CheckBoxRTSCTS",   "CheckBoxDTRDSR",  "CheckBoxSoft",
                                  "EditBufR",     "UpDown1",          "EditBufT",        "UpDown2",
                                  "ButtonOk",     "ButtonAbort"};
    QStringList order;
    QWidget* widget = Child<QWidget>(form, "ComboBoxPort");
    do {
        if ((widget->focusPolicy() & Qt::TabFocus) && !widget->objectName().isEmpty() &&
            widget->focusProxy() == nullptr)
            order << widget->objectName();
        widget = widget->nextInFocusChain();
    } while (widget != Child<QWidget>(form, "ComboBoxPort") && order.size() < 40);
    EXPECT_EQ(order, expected);
}

TEST(SetupDialog, AcceleratorsLeadToTheirFields) {
    TFormCOMSetup form;
    TCOMExtParams params;
    ModalDriver driver([](QDialog& dialog) {
        dialog.activateWindow();
        ASSERT_TRUE(QTest::qWaitFor([&dialog] { return QApplication::activeWindow() == &dialog; }, 10000));
        const std::pair<Qt::Key, const char*> rows[] = {
            {Qt::Key_B, "ComboBoxBaudrate"}, {Qt::Key_D, "ComboBoxDatabit"}, {Qt::Key_P, "ComboBoxParity"},
            {Qt::Key_E, "EditBufR"},         {Qt::Key_N, "EditBufT"},        {Qt::Key_S, "ComboBoxPort"},
        };
        for (const auto& [key, name] : rows) {
            QTest::keyClick(&dialog, key, Qt::AltModifier);
            EXPECT_EQ(QApplication::focusWidget(), Child<QWidget>(dialog, name)) << name;
        }
    });
    EXPECT_FALSE(form.CommConfigDialogEx(params));
    EXPECT_TRUE(driver.Ran());
}

TEST(SetupDialog, PlacedAsThePositionSays) {
    QWidget mainWindow;
    mainWindow.setGeometry(300, 200, 640, 400);
    mainWindow.show();
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    struct Row {
        TPosition Position;
        QPoint Centre;  // expected centre; for poDesigned the top-left
    };
    const Row rows[] = {
        {poDesigned, {17, 23}},
        {poMainFormCenter, mainWindow.frameGeometry().center()},
        {poOwnerFormCenter, mainWindow.frameGeometry().center()},
        {poScreenCenter, screen.center()},
        {poDesktopCenter, screen.center()},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(int{row.Position});
        TSerExtDlg dialog(&mainWindow);
        dialog.SetPositionDlg(row.Position);
        dialog.SetLeftDlg(17);
        dialog.SetTopDlg(23);
        ModalDriver driver([&row, &mainWindow](QDialog& form) {
            EXPECT_EQ(form.parentWidget(), &mainWindow);
            const QRect frame = form.frameGeometry();
            if (row.Position == poDesigned)
                EXPECT_EQ(frame.topLeft(), row.Centre);
            else
                EXPECT_LE((frame.center() - row.Centre).manhattanLength(), 2)
                    << frame.center().x() << "," << frame.center().y() << " " << frame.width() << "x"
                    << frame.height() << " vs " << row.Centre.x() << "," << row.Centre.y();
            EXPECT_EQ(FormCOMSetup, &form);
            QTest::mouseClick(Child<QPushButton>(form, "ButtonAbort"), Qt::LeftButton);
        });
        EXPECT_FALSE(dialog.Execute());
        EXPECT_TRUE(driver.Ran());
        EXPECT_EQ(FormCOMSetup, nullptr);
    }
}

TEST(Chooser, StartsAtTheComponentsPortAndSetsTheChosenOne) {
    TSerial serial;
    serial.SetCOMPort(9);
    TSerSel chooser;
    chooser.SetSerial(&serial);
    ModalDriver driver([](QDialog& form) {
        EXPECT_EQ(form.windowTitle(), "Serial port");
        EXPECT_EQ(form.size(), QSize(185, 72));
        auto* list = Child<QComboBox>(form, "ComboBox1");
        EXPECT_EQ(list->currentText(), Listed(9));
        EXPECT_EQ(Child<QLabel>(form, "Label1")->buddy(), list);
        EXPECT_EQ(Child<QPushButton>(form, "ButtonAbort")->text(), "&Cancel");
        QTest::keyClick(list, Qt::Key_Up);
        EXPECT_EQ(list->currentText(), Listed(6));
        QTest::keyClick(Child<QPushButton>(form, "ButtonOk"), Qt::Key_Space);
    });
    EXPECT_TRUE(chooser.Execute());
    EXPECT_EQ(serial.GetCOMPort(), 6);

    ModalDriver cancel([](QDialog& form) {
        QTest::keyClick(Child<QComboBox>(form, "ComboBox1"), Qt::Key_Home);
        QTest::mouseClick(Child<QPushButton>(form, "ButtonAbort"), Qt::LeftButton);
    });
    EXPECT_FALSE(chooser.Execute());
    EXPECT_EQ(serial.GetCOMPort(), 6);
}

TEST(Chooser, KeepsAPortTheListDoesNotHoldUntilTheUserPicksOne) {
    TPortTable ports(Only({2, 3}));
    ports.Init(99);
    TFormSerSel form(7, ports);
    ModalDriver driver([](QDialog& dialog) {
        EXPECT_EQ(Child<QComboBox>(dialog, "ComboBox1")->currentText(), "COM2");
        dialog.accept();
    });
    form.exec();
    EXPECT_EQ(form.Port(), 7);

    TFormSerSel none(0, ports);
    ModalDriver pick([](QDialog& dialog) {
        QTest::keyClick(Child<QComboBox>(dialog, "ComboBox1"), Qt::Key_Down);
        dialog.accept();
    });
    none.exec();
    EXPECT_EQ(none.Port(), 3);
}

class StdDialog : public ::testing::Test {
protected:
    StdDialog()
        : ports_(Only({1, 12})),
          scanned_((ports_.Init(99), true)),
          serial_(nullptr, DefaultSerialPlatform(), ports_) {
        serial_.SetCOMPort(12);
        dialog_.SetSerial(&serial_);
    }

    TPortTable ports_;
    bool scanned_;  // before the component, which would scan only COM1 to COM4
    TSerial serial_;
    TSerStdDlg dialog_;
};

TEST_F(StdDialog, NamesTheDeviceAndMapsTheChoiceBack) {
    ASSERT_EQ(serial_.GetCOMPort(), 12);
    serial_.SetHandshakeDtrDsr(true);
    EXPECT_EQ(dialog_.DeviceName(), "COM12");
    ModalDriver driver([](QDialog& form) {
        EXPECT_TRUE(form.windowTitle().contains("COM12"));
        EXPECT_EQ(Child<QComboBox>(form, "ComboBoxBaudrate")->currentText(), "9600");
        EXPECT_EQ(Child<QComboBox>(form, "ComboBoxFlow")->currentIndex(), 0);
        Child<QComboBox>(form, "ComboBoxBaudrate")->setCurrentText("57600");
        Child<QComboBox>(form, "ComboBoxDatabit")->setCurrentText("7");
        Child<QComboBox>(form, "ComboBoxParity")->setCurrentText("odd");
        Child<QComboBox>(form, "ComboBoxStop")->setCurrentText("2");
        Child<QComboBox>(form, "ComboBoxFlow")->setCurrentIndex(2);
        QTest::mouseClick(Child<QPushButton>(form, "ButtonOk"), Qt::LeftButton);
    });
    ASSERT_TRUE(dialog_.Execute());
    EXPECT_EQ(serial_.GetBaudrate(), br_057600);
    EXPECT_EQ(serial_.GetDataBits(), db_7);
    EXPECT_EQ(serial_.GetParityBit(), odd);
    EXPECT_EQ(serial_.GetStopBits(), sb_2);
    EXPECT_TRUE(serial_.GetHandshakeRtsCts());
    EXPECT_FALSE(serial_.GetHandshakeXOnXOff());
    EXPECT_TRUE(serial_.GetHandshakeDtrDsr());  // not the dialog's business
    EXPECT_EQ(dialog_.CommConfig().dwSize, 52u);
    EXPECT_EQ(dialog_.CommConfig().dcb.DCBlength, 28u);
}

TEST_F(StdDialog, ConfirmingUnchangedKeepsTheComponentsSettings) {
    // Each row is one showing, in this order: the record is kept between showings.
    struct Row {
        TBaudrate Rate;
        bool RtsCts;
        bool XOnXOff;
        bool RtsCtsAfter;
        bool XOnXOffAfter;
    };
    const Row rows[] = {
        {br_115200, true, false, true, false},
        {br_000050, false, true, false, true},  // 50 baud is not in the dialog's list, and stays
        {br_009600, false, false, false, false},
        {br_921600, true, true, true, false},  // one flow control at a time: the handshake wins
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(int{row.Rate});
        serial_.SetBaudrate(row.Rate);
        serial_.SetHandshakeRtsCts(row.RtsCts);
        serial_.SetHandshakeXOnXOff(row.XOnXOff);
        ModalDriver driver([](QDialog& form) { QTest::keyClick(&form, Qt::Key_Return); });
        ASSERT_TRUE(dialog_.Execute());
        EXPECT_EQ(serial_.GetBaudrate(), row.Rate);
        EXPECT_EQ(serial_.GetHandshakeRtsCts(), row.RtsCtsAfter);
        EXPECT_EQ(serial_.GetHandshakeXOnXOff(), row.XOnXOffAfter);
    }
}

TEST_F(StdDialog, CancelChangesNothing) {
    const std::string before = Settings(serial_);
    ModalDriver driver([](QDialog& form) {
        Child<QComboBox>(form, "ComboBoxParity")->setCurrentText("even");
        QTest::mouseClick(Child<QPushButton>(form, "ButtonAbort"), Qt::LeftButton);
    });
    EXPECT_FALSE(dialog_.Execute());
    EXPECT_TRUE(driver.Ran());
    EXPECT_EQ(Settings(serial_), before);
    dialog_.Notification(&serial_);
    EXPECT_EQ(dialog_.Serial(), nullptr);
    EXPECT_EQ(dialog_.DeviceName(), "COM1");
}

TEST(ComboBox, SelectedPortFollowsItsRules) {
    QWidget owner;
    TSerial serial;
    TCOMComboBox combo(&owner);
    combo.SetSerial(&serial);
    QSignalSpy changes(&combo, &TCOMComboBox::OnChange);
    EXPECT_EQ(combo.SelectedPort(), 1);
    EXPECT_EQ(combo.maxVisibleItems(), 4);
    EXPECT_GE(combo.width(), 57);

    struct Row {
        int32_t Assigned;
        int32_t Selected;  // SelectedPort afterwards
        int32_t Port;      // the component's port afterwards
        int Changes;       // change notifications it causes
    };
    const Row rows[] = {
        {5, 5, 5, 1},  {99, 5, 5, 0}, {3, 5, 5, 0}, {0, 5, 5, 0},
        {-1, 5, 5, 0}, {2, 2, 2, 1},  {9, 0, 0, 1},  // beyond the fourth port: no item, no port
        {6, 6, 6, 1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.Assigned);
        changes.clear();
        combo.SetSelectedPort(row.Assigned);
        EXPECT_EQ(combo.SelectedPort(), row.Selected);
        EXPECT_EQ(serial.GetCOMPort(), row.Port);
        EXPECT_EQ(changes.count(), row.Changes);
    }

    // The user's choice goes to the component.
    changes.clear();
    QTest::keyClick(&combo, Qt::Key_Home);
    EXPECT_EQ(combo.currentText(), Listed(1));
    EXPECT_EQ(serial.GetCOMPort(), 1);
    EXPECT_EQ(changes.count(), 1);
}

}  // namespace

namespace {

// A file system of its own for the port locator: devices, override links and the
// sysfs entries of two USB adapters (one reports a serial number, which is never shown).
class FakeSysfs {
public:
    FakeSysfs() {
        namespace fs = std::filesystem;
        root_ = fs::canonical(fs::path(dir_.Path()));
        fs::create_directories(root_ / "dev");
        fs::create_directories(root_ / "ports");
        for (const char* node : {"ttyS0", "ttyUSB0", "ttyACM0", "ttyUSB1"})
            Write("dev/" + std::string(node), "");
        // ttyUSB0: the port's device sits below the interface, two levels under the USB device.
        Device("ttyUSB0", "usb1/1-1/1-1:1.0/ttyUSB0");
        Write("sys/devices/usb1/1-1/product", "FT232R USB UART\n");
        Write("sys/devices/usb1/1-1/manufacturer", "FTDI\n");
        Write("sys/devices/usb1/1-1/serial", "A50285BI\n");
        // ttyACM0: the device is the interface itself; no maker, a product with a control character.
        Device("ttyACM0", "usb1/1-2/1-2:1.0");
        Write("sys/devices/usb1/1-2/product", "Demo\tBoard\n");
        // ttyUSB1: an adapter that reports nothing.
        Device("ttyUSB1", "usb1/1-3/1-3:1.0/ttyUSB1");
        Write("sys/class/tty/ttyS0/type", "4\n");
        fs::create_symlink(root_ / "dev/ttyUSB0", root_ / "ports/com5");
        // The names udev keeps for the first adapter (relative, as udev makes them);
        // one link leads nowhere.
        fs::create_directories(root_ / "dev/serial/by-id");
        fs::create_symlink("../../ttyUSB0",
                           root_ / "dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0");
        fs::create_symlink("../../ttyUSB9", root_ / "dev/serial/by-id/usb-Gone_Adapter-if00-port0");
    }

    std::string Dev() const { return (root_ / "dev").string() + "/"; }

    TSerialPortRoots Roots() const {
        TSerialPortRoots roots;
        roots.OverrideDir = (root_ / "ports").string() + "/";
        roots.DevDir = (root_ / "dev").string() + "/";
        roots.SysTtyDir = (root_ / "sys/class/tty").string() + "/";
        return roots;
    }

private:
    void Write(const std::string& path, const std::string& text) {
        std::filesystem::create_directories((root_ / path).parent_path());
        std::ofstream(root_ / path) << text;
    }
    void Device(const std::string& node, const std::string& below) {
        std::filesystem::create_directories(root_ / "sys/devices" / below);
        std::filesystem::create_directories(root_ / "sys/class/tty" / node);
        std::filesystem::create_directory_symlink(root_ / "sys/devices" / below,
                                                  root_ / "sys/class/tty" / node / "device");
    }

    ScratchDir dir_;
    std::filesystem::path root_;
};

TEST(PortNames, ComeFromTheDeviceAndTheUsbAdaptersProductAndMaker) {
    const FakeSysfs sysfs;
    const TSerialPortLocator locator(sysfs.Roots());
    const struct {
        int Port;
        const char* Described;
    } table[] = {
        {33, "ttyUSB0 (FT232R USB UART, FTDI)"},
        {65, "ttyACM0 (DemoBoard)"},
        {34, "ttyUSB1"},
        {1, "ttyS0"},
        {5, "ttyUSB0 (FT232R USB UART, FTDI)"},  // an override, named by the device it leads to
        {97, ""},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.Port);
        EXPECT_EQ(locator.Description(row.Port), row.Described);
        EXPECT_EQ(locator.Description(row.Port).find("A50285BI"), std::string::npos);
    }
    // The lists show them after the number.
    TPortTable ports(Only({5, 33, 65}), [&locator](int n) { return locator.Description(n); });
    ports.Init(99);
    TFormCOMSetup setup(ports);
    EXPECT_EQ(
        Items(*Child<QComboBox>(setup, "ComboBoxPort")),
        (QStringList{"COM5 \u2014 ttyUSB0 (FT232R USB UART, FTDI)",
                     "COM33 \u2014 ttyUSB0 (FT232R USB UART, FTDI)", "COM65 \u2014 ttyACM0 (DemoBoard)"}));
}

// The window's port list names each port also by the link that stays with its device.
TEST(PortNames, TheStableNameIsTheByIdLinkThatLeadsToTheDevice) {
    const FakeSysfs sysfs;
    const TSerialPortLocator locator(sysfs.Roots());
    const std::string byId = sysfs.Dev() + "serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0";
    const struct {
        int Port;
        std::string Stable;
    } table[] = {
        {33, byId}, {5, byId},  // an override leading to the same device
        {65, ""},               // a device without such a link
        {34, ""},   {97, ""},   // no device at all
    };
    for (const auto& row : table) EXPECT_EQ(locator.StableName(row.Port), row.Stable) << row.Port;
    TPortTable ports(
        Only({33, 65}), [&locator](int n) { return locator.Description(n); },
        [&locator](int n) { return locator.StableName(n); });
    ports.Init(99);
    EXPECT_EQ(ports.ListName(33), "COM33 \u2014 ttyUSB0 (FT232R USB UART, FTDI) \u2014 " + byId);
    EXPECT_EQ(ports.ListName(65), "COM65 \u2014 ttyACM0 (DemoBoard)");
}

}  // namespace

namespace {

TEST(SetupDialog, TakesAnyTypedRateAndRefusesWhatIsNoRate) {
    const struct {
        const char* Typed;
        bool Taken;
        int32_t Rate;    // what the next open asks for
        int32_t Custom;  // the component's rate outside the table
    } table[] = {
        {"250000", true, 250000, 250000}, {"12345", true, 12345, 12345},
        {"57600", true, 57600, 0},        {"0", false, 9600, 0},
        {"fast", false, 9600, 0},         {"-300", false, 9600, 0},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.Typed);
        TSerial serial;
        serial.SetBaudrate(br_009600);
        TSerExtDlg dialog;
        dialog.SetSerial(&serial);
        QString refusal;
        ModalDriver driver([&](QDialog& form) {
            auto* rate = Child<QComboBox>(form, "ComboBoxBaudrate");
            rate->lineEdit()->selectAll();
            QTest::keyClicks(rate->lineEdit(), row.Typed);
            // The refusal is a box of its own, answered from inside its loop.
            QTimer::singleShot(0, &form, [&refusal] {
                if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                    refusal = box->text();
                    box->accept();
                }
            });
            QTest::mouseClick(Child<QPushButton>(form, "ButtonOk"), Qt::LeftButton);
            if (form.isVisible()) form.reject();
        });
        EXPECT_EQ(dialog.Execute(), row.Taken);
        EXPECT_EQ(refusal, row.Taken ? QString() : QStringLiteral("This is not a valid baudrate!"));
        EXPECT_EQ(serial.GetRate(), row.Rate);
        EXPECT_EQ(serial.GetCustomRate(), row.Custom);
    }
    // A rate outside the table is shown as it is and kept by OK.
    TSerial serial;
    serial.SetCustomRate(31250);
    TSerExtDlg dialog;
    dialog.SetSerial(&serial);
    QString shown;
    ModalDriver driver([&shown](QDialog& form) {
        shown = Child<QComboBox>(form, "ComboBoxBaudrate")->currentText();
        QTest::mouseClick(Child<QPushButton>(form, "ButtonOk"), Qt::LeftButton);
    });
    EXPECT_TRUE(dialog.Execute());
    EXPECT_EQ(shown, "31250");
    EXPECT_EQ(serial.GetRate(), 31250);
}

}  // namespace
