// The main window's "General" page, its status group and its life: first start,
// settings in and out, the checks before a start, the port fields, the file dialogs
// and closing.

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QAccessible>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSlider>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>
#include <chrono>
#include <numeric>
#include <thread>

#include "MainWindowTestSupport.h"
#include "TFormCOMSetup.h"
#include "TPortTable.h"
#include "VerInfo.h"
#include "ZComboBoxAccessible.h"
#include "ZFocusWhileShown.h"
#include "ZLogger.h"
#include "ZReportPage.h"
#include "ZULIniFile.h"

using namespace maintest;

namespace maintest {

ZPseudoTerminal& TestPty() {
    static ZPseudoTerminal pty;
    return pty;
}

namespace {

// The port table is scanned once per process: COM98 must be linked before that.
class MainWindowEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        char pattern[] = "/tmp/kestrun_ui_main_XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        home_ = std::string(pattern) + "/";
        setenv("KESTRUN_HOME", pattern, 1);
        ASSERT_TRUE(TestPty().Open());
        std::filesystem::create_directories(home_ + "ports");
        std::filesystem::create_symlink(TestPty().SlavePath(), home_ + "ports/com98");
        const ZLoggerSettings defaults;
        const ZLogger scan(defaults);  // the scan that sees the link
    }
    void TearDown() override {
        TestPty().Close();
        std::error_code ignored;
        std::filesystem::remove_all(home_, ignored);
    }

private:
    std::string home_;
};

const auto* const environment = ::testing::AddGlobalTestEnvironment(new MainWindowEnvironment);

}  // namespace
}  // namespace maintest

namespace {

std::string LastUsed(const std::string& home) {
    return home + "_last_used.scs";
}

int ReadSetting(const std::string& file, const char* key) {
    return ZULIniFile(file).ReadInteger(ZLoggerSettings::IniSection, key, -12345);
}

}  // namespace

TEST_F(MainWindowTest, FirstRunShowsTheDefaultsAndLeavesLastUsedAfterClosing) {
    ASSERT_FALSE(std::filesystem::exists(LastUsed(Home())));
    Window();
    EXPECT_TRUE(boxes_.empty());
    EXPECT_EQ(Window().windowTitle(), "Kestrun");
    EXPECT_EQ(Find<QSlider>("tb_MaxBytesInLogLine")->value(), 32);
    EXPECT_EQ(Find<QLabel>("lbl_MaxBytesInLogLine")->text(), "32");
    EXPECT_EQ(Find<QSlider>("tb_MaxLinesInLogFile")->value(), 500);
    EXPECT_EQ(Find<QLabel>("lbl_MaxLinesInLogFile")->text(), "500");
    auto* captureMode = Find<QGroupBox>("grp_CaptureMode");
    auto* firstMode = captureMode->findChild<QRadioButton*>("grp_CaptureMode_0");
    ASSERT_NE(firstMode, nullptr);
    EXPECT_TRUE(firstMode->isChecked());
    EXPECT_EQ(firstMode->text(), "Capture all bytes received");
    const QString outputDir = QString::fromStdString(Home() + "std_log_out/");
    EXPECT_EQ(Find<QLineEdit>("ed_OutputDir")->text(), outputDir);
    EXPECT_EQ(Find<QLineEdit>("ed_OutputDir")->toolTip(), outputDir);
    EXPECT_TRUE(std::filesystem::is_directory(Home() + "std_log_out"));
    EXPECT_TRUE(std::filesystem::is_directory(Home() + "settings"));
    EXPECT_EQ(Window().GetSettingsDir(), QString::fromStdString(Home() + "settings/"));
    EXPECT_EQ(Find<QComboBox>("cb_Baudrates")->currentText(), "9600 Baud");
    EXPECT_EQ(Find<QComboBox>("cb_Baudrates")->count(), 20);
    EXPECT_EQ(Find<QComboBox>("cb_Baudrates")->itemText(19), "921600 Baud");
    EXPECT_EQ(Find<QGroupBox>("grp_Stati")->title(), "Stati");
    for (const char* name :
         {"lbl_TotalBytes", "lbl_DataPackets", "lbl_BytesThrown", "lbl_StartTriggers", "lbl_StopTriggers"})
        EXPECT_EQ(Find<QLabel>(name)->text(), "0") << name;
    EXPECT_FALSE(Find<QPushButton>("btn_StopCapture")->isEnabled());
    EXPECT_FALSE(Find<QCheckBox>("chk_SeparateHexAndASCII")->isVisibleTo(&Window()));

    Window().close();
    EXPECT_EQ(Window().GetLogger(), nullptr);
    ASSERT_TRUE(std::filesystem::exists(LastUsed(Home())));
    EXPECT_EQ(ReadSetting(LastUsed(Home()), "MaxBytesInLogLine"), 32);
    EXPECT_TRUE(boxes_.empty());
}

TEST_F(MainWindowTest, TrackBarsClampWhatAFileHoldsAndSaveTheClampedValues) {
    Window().close();  // writes a complete "_last_used.scs"
    window_.reset();
    {
        ZULIniFile ini(LastUsed(Home()));
        ini.WriteInteger(ZLoggerSettings::IniSection, "MaxBytesInLogLine", 0);
        ini.WriteInteger(ZLoggerSettings::IniSection, "MaxLinesInLogFile", 2000);
        ini.WriteInteger(ZLoggerSettings::IniSection, "MaxBytesWithinTriggers", 77);
        ini.WriteBool(ZLoggerSettings::IniSection, "LogAmountOfTrashedBytes", false);
        ASSERT_TRUE(ini.UpdateFile());
    }
    EXPECT_EQ(Find<QSlider>("tb_MaxBytesInLogLine")->value(), 1);
    EXPECT_EQ(Find<QLabel>("lbl_MaxBytesInLogLine")->text(), "1");
    EXPECT_EQ(Find<QSlider>("tb_MaxLinesInLogFile")->value(), 1000);
    EXPECT_EQ(Find<QLabel>("lbl_MaxLinesInLogFile")->text(), "1000");

    Window().close();
    EXPECT_EQ(ReadSetting(LastUsed(Home()), "MaxBytesInLogLine"), 1);
    EXPECT_EQ(ReadSetting(LastUsed(Home()), "MaxLinesInLogFile"), 1000);
    // Settings without a control are saved with their defaults.
    EXPECT_EQ(ReadSetting(LastUsed(Home()), "MaxBytesWithinTriggers"), -1);
    EXPECT_TRUE(
        ZULIniFile(LastUsed(Home())).ReadBool(ZLoggerSettings::IniSection, "LogAmountOfTrashedBytes", false));
}

TEST_F(MainWindowTest, AnUnreadableLastUsedFileIsReportedAndTheDefaultsShown) {
    std::filesystem::create_directory(LastUsed(Home()));  // there, but no file
    Window();
    ASSERT_EQ(boxes_.size(), 1u);
    const std::string folder = "File not found: \"" + LastUsed(Home()) + "\": it is a folder";
    EXPECT_EQ(boxes_[0].Text.toStdString(), folder + ", and a settings file must be a regular file");
    EXPECT_EQ(Find<QSlider>("tb_MaxBytesInLogLine")->value(), 32);
}

TEST_F(MainWindowTest, AMissingDirectoryThatCannotBeMadeIsReportedAndStartUpGoesOn) {
    WriteBytes(Home() + "std_log_out", "a file in the way");
    Window();
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_TRUE(boxes_[0].Text.startsWith(QString::fromStdString(
        "Error creating the standard output directory: \n\"" + Home() + "std_log_out\"\n\n--->\n\n")))
        << boxes_[0];
    EXPECT_GT(boxes_[0].Text.size(),
              QString::fromStdString(Home()).size() + 60);  // the system's reason follows
    EXPECT_TRUE(std::filesystem::is_directory(Home() + "settings"));
}

TEST_F(MainWindowTest, CaptureModeItemsTranslateToStoredModesBothWays) {
    const struct {
        int Item;
        uint8_t Mode;
    } table[] = {{0, cmAllBytes}, {1, cmBetweenTriggers},  {2, cmFixedSize}, {3, cmDynamicSize},
                 {4, cmSilence},  {5, cmUntilStopTrigger}, {6, cmSlip},      {7, cmCobs}};
    for (const auto& row : table) {
        ZLoggerSettings settings;
        settings.CaptureMode = row.Mode;
        Window().ShowSettings(settings);
        auto* item =
            Find<QRadioButton>(QStringLiteral("grp_CaptureMode_%1").arg(row.Item).toLatin1().constData());
        EXPECT_TRUE(item->isChecked()) << "mode " << int(row.Mode);
        Find<QRadioButton>("grp_CaptureMode_0")->click();
        item->click();
        EXPECT_EQ(Window().CollectSettings().CaptureMode, row.Mode) << "item " << row.Item;
    }
    EXPECT_EQ(Find<QRadioButton>("grp_CaptureMode_5")->text(), "Frames ending with the stop trigger");
    ZLoggerSettings outside;
    outside.CaptureMode = cmLastKnown + 1;
    Window().ShowSettings(outside);
    EXPECT_TRUE(Find<QRadioButton>("grp_CaptureMode_0")->isChecked());
    EXPECT_EQ(Window().CollectSettings().CaptureMode, cmAllBytes);
}

TEST_F(MainWindowTest, ShownSettingsComeBackFromTheControls) {
    ZLoggerSettings settings;
    settings.LogDir = "/somewhere/else/";
    settings.SetTriggerStart(std::vector<int32_t>{0x7E, AnyByte, 3}.data(), 3);
    settings.SetTriggerStop(std::vector<int32_t>{0x0D}.data(), 1);
    settings.CaptureMode = cmDynamicSize;
    settings.AddTimeStamp = false;
    settings.MaxBytesInLogLine = 77;
    settings.MaxLinesInLogFile = 321;
    settings.ShowHexOutput = false;
    settings.LogStopTrigger = false;
    settings.SeparateHexAndASCII = true;
    settings.BytesAfterTrigger = 9;
    settings.StartAmountOfBytes = 1;
    settings.AmountOfBytesWidth = 2;
    settings.AmountOfBytesMSBFirst = false;
    settings.Reconnect = true;
    settings.RawRecording = true;
    settings.Frames.PcapRecording = true;
    settings.Frames.PcapProtocol = "mbrtu";  // shown by no control, and kept
    settings.Fields.Items.resize(1);          // likewise
    settings.Fields.Items[0].Name = "temperature";
    settings.Fields.CsvRecording = true;
    settings.DataTriggers.Add(std::vector<int32_t>{'A'});
    Window().ShowSettings(settings);
    EXPECT_EQ(Window().CollectSettings(), settings);
    EXPECT_EQ(Find<QCheckBox>("chk_Reconnect")->text(), "Reconnect when the port comes back");
    EXPECT_EQ(Find<QCheckBox>("chk_RawRecording")->text(), "Also record the raw bytes");
    EXPECT_EQ(Find<QCheckBox>("chk_PcapRecording")->text(), "Also write a Wireshark capture (.pcapng)");
    EXPECT_FALSE(Find<QPushButton>("btn_SetStartTriggerSize")->isEnabled());
    EXPECT_FALSE(Find<QPushButton>("btn_SetStopTriggerSize")->isEnabled());
}

TEST_F(MainWindowTest, StartChecksTheTriggersTheModeNeedsInOrder) {
    const char* const noStart = "You have to define a start trigger first!";
    const char* const noStop = "You have to define a stop trigger first!";
    const char* const noPort = "The COM port could not be opened...";
    const struct {
        uint8_t Mode;
        int StartSize, StopSize;
        const char* Box;
    } table[] = {
        {cmAllBytes, 0, 0, noPort},
        {cmFixedSize, 0, 1, noStart},
        {cmFixedSize, 1, 0, noPort},
        {cmDynamicSize, 0, 1, noStart},
        {cmDynamicSize, 1, 0, noPort},
        {cmBetweenTriggers, 0, 0, noStart},
        {cmBetweenTriggers, 1, 0, noStop},
        {cmBetweenTriggers, 1, 1, noPort},
        {cmUntilStopTrigger, 0, 0, noStop},
        {cmUntilStopTrigger, 0, 1, noPort},
        {cmSlip, 0, 0, noPort},
        {cmCobs, 0, 0, noPort},
    };
    Window();
    // Port 0 has no device, so a start that passes the checks fails at the port.
    Window().GetLogger()->SetCOMPort(0);
    for (const auto& row : table) {
        ZLoggerSettings settings;
        settings.CaptureMode = row.Mode;
        settings.TriggerStart.assign(static_cast<size_t>(row.StartSize), 'S');
        settings.TriggerStop.assign(static_cast<size_t>(row.StopSize), 'E');
        Window().ShowSettings(settings);
        boxes_.clear();
        Click("btn_StartCapture");
        ASSERT_EQ(boxes_.size(), 1u) << "mode " << int(row.Mode);
        EXPECT_EQ(boxes_[0].Kind, ZMessageBox::Kind::Error);
        EXPECT_TRUE(boxes_[0].Text.startsWith(QString::fromLatin1(row.Box)))
            << "mode " << int(row.Mode) << " start " << row.StartSize << " stop " << row.StopSize << ": "
            << boxes_[0];
        EXPECT_TRUE(Find<QPushButton>("btn_StartCapture")->isEnabled());
        EXPECT_FALSE(Window().GetLogger()->IsCapturing());
    }
}

TEST_F(MainWindowTest, PortAndRateTextsAreCheckedWhenCommittedAndAlwaysShowTheValueInUse) {
    const char* const badPort = "This is not a valid COM port!";
    const char* const badRate = "This is not a valid baudrate!";
    const struct {
        const char* Field;
        const char* Typed;
        bool ByStart;       // committed by "Start capture", else by Enter
        const char* Error;  // null: taken
        const char* Shown;  // null: the value in use before
    } table[] = {
        {"cb_COMPorts", "COM98", false, nullptr, "COM98"},
        {"cb_COMPorts", "COM098", false, nullptr, "COM98"},
        {"cb_COMPorts", "12", false, badPort, nullptr},
        {"cb_COMPorts", "COMx", true, badPort, nullptr},
        {"cb_COMPorts", "COM97", false, "COM97 is not present (COM97 to COM99 need an override link).",
         nullptr},
        {"cb_COMPorts", "COM100", true, "COM100 is out of range: ports are COM1 to COM99.", nullptr},
        {"cb_COMPorts", "COM0", false, "COM0 is out of range: ports are COM1 to COM99.", nullptr},
        {"cb_Baudrates", "57600", false, nullptr, "57600 Baud"},
        {"cb_Baudrates", "19200 Baud", false, nullptr, "19200 Baud"},
        {"cb_Baudrates", "250000", false, nullptr, "250000 Baud"},  // not a rate of the table
        {"cb_Baudrates", "12345 Baud", false, nullptr, "12345 Baud"},
        {"cb_Baudrates", "99999999", false, nullptr, "99999999 Baud"},
        {"cb_Baudrates", "fast", true, badRate, nullptr},
        {"cb_Baudrates", "0", false, badRate, nullptr},
        {"cb_Baudrates", "-9600", false, badRate, nullptr},
    };
    ZLogger& logger = *Window().GetLogger();
    for (const auto& row : table) {
        auto* field = Find<QComboBox>(row.Field);
        const QString before = field->currentText();
        field->lineEdit()->selectAll();
        QTest::keyClicks(field->lineEdit(), row.Typed);
        EXPECT_TRUE(boxes_.empty()) << row.Typed << ": checked while typed";
        if (row.ByStart)
            Click("btn_StartCapture");
        else
            QTest::keyClick(field->lineEdit(), Qt::Key_Return);
        EXPECT_EQ(boxes_, row.Error ? std::vector<Box>{ErrorBox(row.Error)} : std::vector<Box>{})
            << row.Typed;
        EXPECT_EQ(field->currentText(), row.Shown ? QString::fromLatin1(row.Shown) : before) << row.Typed;
        EXPECT_EQ(Find<QComboBox>("cb_COMPorts")->currentText(),
                  "COM" + QString::number(logger.GetCOMPort()));
        EXPECT_EQ(Find<QComboBox>("cb_Baudrates")->currentText(),
                  QString::number(logger.GetBaudrate()) + " Baud");
        EXPECT_FALSE(logger.IsCapturing());
        boxes_.clear();
    }

    auto* rates = Find<QComboBox>("cb_Baudrates");
    rates->setCurrentIndex(rates->findText("57600 Baud"));
    EXPECT_TRUE(boxes_.empty());
    EXPECT_EQ(logger.GetBaudrate(), 57600);
}

// "Network port..." makes the port field wait for an address; the address typed is
// the port in use until a COM port is typed again.
TEST_F(MainWindowTest, ANetworkPortIsTypedAfterChoosingItsItem) {
    auto* ports = Find<QComboBox>("cb_COMPorts");
    ZLogger& logger = *Window().GetLogger();
    ports->setCurrentIndex(ports->findText(QStringLiteral("Network port...")));
    EXPECT_EQ(ports->currentText(), QStringLiteral("rfc2217://"));
    const struct {
        const char* Typed;
        bool Replace;         // typed over the field, else after its text
        const char* Error;    // null: taken
        const char* Network;  // the network port in use afterwards
        const char* Shown;
    } table[] = {
        {"127.0.0.1:3001", false, nullptr, "rfc2217://127.0.0.1:3001", "rfc2217://127.0.0.1:3001"},
        {"tcp://[::1]", true, "This is not a valid network port address!", "rfc2217://127.0.0.1:3001",
         "rfc2217://127.0.0.1:3001"},
        {"tcp://[::1]:4000", true, nullptr, "tcp://[::1]:4000", "tcp://[::1]:4000"},
        {"COM98", true, nullptr, "", "COM98"},
    };
    for (const auto& row : table) {
        if (row.Replace)
            ports->lineEdit()->selectAll();
        else
            ports->lineEdit()->end(false);
        QTest::keyClicks(ports->lineEdit(), row.Typed);
        QTest::keyClick(ports->lineEdit(), Qt::Key_Return);
        EXPECT_EQ(boxes_, row.Error ? std::vector<Box>{ErrorBox(row.Error)} : std::vector<Box>{})
            << row.Typed;
        EXPECT_EQ(logger.GetNetworkPort(), row.Network) << row.Typed;
        EXPECT_EQ(ports->currentText(), QString::fromLatin1(row.Shown)) << row.Typed;
        boxes_.clear();
    }
}

TEST_F(MainWindowTest, SetCaptureStateSwitchesTheControlsOfItsTable) {
    // What the running capture does not take is not offered while it runs.
    const char* const runningOff[] = {"btn_StartCapture",     "btn_LoadSettings",   "btn_SaveSettings",
                                      "btn_RemoveSelDT",      "btn_RemoveAllDT",    "grp_DTShowAs",
                                      "cb_COMPorts",          "cb_Baudrates",       "btn_PortSettings",
                                      "btn_OutputDir",        "grp_LogfileOptions", "chk_AddTimeStamp",
                                      "tb_MaxBytesInLogLine", "grp_CaptureMode",    "ud_SilenceGap",
                                      "ud_SilenceGapMs",      "chk_CsvRecording",   "btn_AddField",
                                      "btn_RemoveField",      "btn_FieldUp",        "btn_FieldDown"};
    const char* const alwaysOn[] = {"btn_ShowCapture",  "btn_AddDTASCII",   "btn_ResetAllDT",
                                    "btn_ErrorHistory", "btn_TryLastFrame", "btn_TryBytes"};
    ZLoggerSettings settings;
    settings.DataTriggers.Add(std::vector<int32_t>{'A'});
    Window().ShowSettings(settings);
    for (const bool running : {true, false}) {
        Find<QLabel>("lbl_TotalBytes")->setText("12");
        Find<QTableWidget>("DTrgList")->item(0, 1)->setText("5");
        Window().SetCaptureState(running);
        for (const char* name : runningOff) EXPECT_EQ(Find<QWidget>(name)->isEnabled(), !running) << name;
        for (const char* name : alwaysOn) EXPECT_TRUE(Find<QWidget>(name)->isEnabled()) << name;
        EXPECT_EQ(Find<QPushButton>("btn_StopCapture")->isEnabled(), running);
        EXPECT_EQ(Find<QGroupBox>("grp_Stati")->title(),
                  running ? "Stati (capture in progress...)" : "Stati (capture stopped)");
        EXPECT_EQ(Find<QLabel>("lbl_TotalBytes")->text(), running ? "0" : "12");
        EXPECT_EQ(Find<QTableWidget>("DTrgList")->item(0, 1)->text(), running ? "0" : "5");
    }
}

TEST_F(MainWindowTest, StatusMessagesUpdateTheControlOfTheirKind) {
    ZLoggerSettings settings;
    settings.DataTriggers.Add(std::vector<int32_t>{'A'});
    settings.DataTriggers.Add(std::vector<int32_t>{'B'});
    Window().ShowSettings(settings);
    const struct {
        uint8_t Kind;
        double Count, Total;
        const char* Label;
        const char* Text;
    } table[] = {
        {0, 0, 1234.9, "lbl_TotalBytes", "1234"},        {1, 0, 17, "lbl_BytesThrown", "17"},
        {2, 3, 12, "lbl_StartTriggers", "3 (12 bytes)"}, {3, 4, 8, "lbl_StopTriggers", "4 (8 bytes)"},
        {4, 2, 300, "lbl_DataPackets", "2 (300 bytes)"},
    };
    for (const auto& row : table) {
        auto message = std::make_unique<sStatusMsg>();
        *message = {row.Kind, "ignored", row.Count, row.Total};
        Window().StatusArrived(std::move(message));
        EXPECT_EQ(Find<QLabel>(row.Label)->text(), row.Text) << int(row.Kind);
    }
    for (const double index : {1.0, 1.0, 0.0, 5.0, -1.0}) {
        auto message = std::make_unique<sStatusMsg>();
        *message = {5, "", index, 0};
        Window().StatusArrived(std::move(message));
    }
    auto ignored = std::make_unique<sStatusMsg>();
    *ignored = {6, "", 1, 999};
    Window().StatusArrived(std::move(ignored));
    auto* grid = Find<QTableWidget>("DTrgList");
    EXPECT_EQ(grid->item(0, 1)->text(), "1");
    EXPECT_EQ(grid->item(1, 1)->text(), "2");
    EXPECT_EQ(Find<QLabel>("lbl_TotalBytes")->text(), "1234");
}

TEST_F(MainWindowTest, SettingsFilesAreLoadedAndSavedThroughTheirDialogs) {
    Window();
    Find<QSlider>("tb_MaxBytesInLogLine")->setValue(45);
    const std::string saved = Home() + "settings/mine.scs";
    ZFileDialog::SetNextAnswer(QString::fromStdString(saved));
    Click("btn_SaveSettings");
    ZFileDialog::Request request = ZFileDialog::LastRequest();
    EXPECT_EQ(request.DialogKind, ZFileDialog::Kind::Save);
    EXPECT_EQ(request.Directory, Window().GetSettingsDir());
    EXPECT_EQ(request.Filter, "Serial Capture Settings (*.scs)");
    EXPECT_EQ(request.DefaultSuffix, "scs");
    EXPECT_EQ(ReadSetting(saved, "MaxBytesInLogLine"), 45);

    Find<QSlider>("tb_MaxBytesInLogLine")->setValue(3);
    ZFileDialog::SetNextAnswer(QString());  // Cancel
    Click("btn_LoadSettings");
    EXPECT_EQ(Find<QSlider>("tb_MaxBytesInLogLine")->value(), 3);
    ZFileDialog::SetNextAnswer(QString::fromStdString(saved));
    Click("btn_LoadSettings");
    request = ZFileDialog::LastRequest();
    EXPECT_EQ(request.DialogKind, ZFileDialog::Kind::Open);
    EXPECT_EQ(request.Directory, Window().GetSettingsDir());
    EXPECT_EQ(request.DefaultSuffix, "scs");
    EXPECT_EQ(Find<QSlider>("tb_MaxBytesInLogLine")->value(), 45);
    EXPECT_TRUE(boxes_.empty());

    ZFileDialog::SetNextAnswer(QString::fromStdString(Home() + "settings/mine.txt"));
    Click("btn_LoadSettings");
    ZFileDialog::SetNextAnswer(QString::fromStdString(Home() + "settings/gone.scs"));
    Click("btn_LoadSettings");
    ZFileDialog::SetNextAnswer(QString::fromStdString(Home() + "no/such/folder/x.scs"));
    Click("btn_SaveSettings");
    ASSERT_EQ(boxes_.size(), 3u);
    EXPECT_EQ(boxes_[0], ErrorBox("Not a valid settings file..."));
    EXPECT_EQ(boxes_[1].Text.toStdString(), "File not found: \"" + Home() + "settings/gone.scs\"");
    EXPECT_EQ(boxes_[2].Text.toStdString(),
              "File could not be created: \"" + Home() + "no/such/folder/x.scs\"");
}

TEST_F(MainWindowTest, TheOutputDirectoryChooserAddsTheDelimiterAndCancelKeepsTheOldOne) {
    auto* field = Find<QLineEdit>("ed_OutputDir");
    const QString before = field->text();
    ZFileDialog::SetNextAnswer(QString());
    Click("btn_OutputDir");
    EXPECT_EQ(field->text(), before);
    EXPECT_EQ(ZFileDialog::LastRequest().Title, "Select directory to output log data:");
    EXPECT_EQ(ZFileDialog::LastRequest().Directory, before);
    ZFileDialog::SetNextAnswer("/var/tmp/logs");
    Click("btn_OutputDir");
    EXPECT_EQ(field->text(), "/var/tmp/logs/");
    EXPECT_EQ(field->toolTip(), "/var/tmp/logs/");
    EXPECT_EQ(Window().CollectSettings().LogDir, "/var/tmp/logs/");
}

TEST_F(MainWindowTest, ASettingsFileNamedAtStartIsLoadedAfterLastUsed) {
    Window().close();
    window_.reset();
    const std::string named = Home() + "named.scs";
    std::filesystem::copy_file(LastUsed(Home()), named);
    {
        ZULIniFile ini(named);
        ini.WriteInteger(ZLoggerSettings::IniSection, "MaxLinesInLogFile", 250);
        ASSERT_TRUE(ini.UpdateFile());
    }
    EXPECT_TRUE(Window().LoadSettingsFile(QString::fromStdString(named)));
    EXPECT_EQ(Find<QSlider>("tb_MaxLinesInLogFile")->value(), 250);
    EXPECT_FALSE(Window().LoadSettingsFile(QString::fromStdString(Home() + "named.ini")));
    EXPECT_EQ(boxes_, std::vector<Box>{ErrorBox("Not a valid settings file...")});
}

TEST_F(MainWindowTest, TheErrorHistoryWindowShowsEachEntryWithItsTimeAndFollowsTheHistory) {
    TZULErrorHistory& history = Window().GetLogger()->GetErrorHistory();
    history.AddError("Filter", "FeedData", "Input buffer overflow");
    history.AddInformation("SerialCapture", "Reconnect", "The COM port is back: /dev/pts/7");
    // "2026-12-09 14:05:09.312  Error        Module/Function: text"
    const QRegularExpression line(
        "^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{3}  (Error      |Information)  (.*)$");
    QString title;
    QStringList kinds;
    QStringList texts;
    ModalDriver driver([&](QDialog& dialog) {
        title = dialog.windowTitle();
        auto* log = dialog.findChild<QPlainTextEdit*>("Log");
        ASSERT_NE(log, nullptr);
        // Recorded while the window is open: it shows up without reopening.
        history.AddError("SerialCapture", "PollPort", "The COM port was lost");
        ASSERT_TRUE(QTest::qWaitFor([&] { return log->blockCount() == 3; }, 20000));
        for (const QString& shown : log->toPlainText().split(u'\n')) {
            const QRegularExpressionMatch match = line.match(shown);
            EXPECT_TRUE(match.hasMatch()) << shown.toStdString();
            kinds << match.captured(1).trimmed();
            texts << match.captured(2);
        }
        dialog.accept();
    });
    Click("btn_ErrorHistory");
    EXPECT_TRUE(driver.Ran());
    EXPECT_EQ(title, "Error history");
    EXPECT_EQ(kinds, QStringList({"Error", "Information", "Error"}));
    EXPECT_EQ(texts, QStringList({"Filter/FeedData: Input buffer overflow",
                                  "SerialCapture/Reconnect: The COM port is back: /dev/pts/7",
                                  "SerialCapture/PollPort: The COM port was lost"}));
    // Information is no error.
    EXPECT_EQ(Find<QPushButton>("btn_ErrorHistory")->text(), "Show error history (2)");
}

TEST_F(MainWindowTest, BugreportIsTheFourthPageAndPagesAddedLaterShowTheVersion) {
    auto* pages = Find<QTabWidget>("PageControl");
    ASSERT_EQ(pages->count(), 6);
    EXPECT_EQ(pages->tabText(0), "General");
    EXPECT_EQ(pages->tabText(1), "Frame trigger settings");
    EXPECT_EQ(pages->tabText(2), "Data triggers");
    EXPECT_EQ(pages->tabText(3), "Bugreport");
    EXPECT_EQ(pages->tabText(4), "Send");
    EXPECT_EQ(pages->tabText(5), "Fields");
    const QString version = QStringLiteral("v ") + QString::fromStdString(VerInfo().GetVersionString(2));
    EXPECT_EQ(pages->widget(3)->findChild<QLabel*>("lbl_Version")->text(), version);
    auto* page = new QWidget;
    auto* label = new QLabel(page);
    label->setObjectName("lbl_Version");
    Window().AddPage(page, "More");
    ASSERT_EQ(pages->count(), 7);
    EXPECT_EQ(pages->tabText(6), "More");
    EXPECT_EQ(label->text(), version);
}

// The report's completion waits for the tool while the window keeps working, so the
// user may close the window, which ends the engine, before the report arrives.
TEST_F(MainWindowTest, AReportThatFinishesAfterTheWindowClosedArrivesSafely) {
    auto* page = Window().findChild<ZReportPage*>();
    ASSERT_NE(page, nullptr);
    const std::string marker = Home() + "closed";
    const std::string tool = Home() + "tool.sh";
    WriteBytes(tool, "#!/bin/sh\nwhile [ ! -e '" + marker +
                         "' ]; do sleep 0.02; done\n"
                         "printf '\\377\\376p\\000o\\000r\\000t\\000\\015\\000\\012\\000' > \"$2\"\n");
    std::filesystem::permissions(tool, std::filesystem::perms::owner_all);
    page->SetReportTool(tool);
    auto* report = Find<QPushButton>("btn_SystemReport");
    QTimer::singleShot(100, &Window(), [&] {
        Window().close();
        WriteBytes(marker, "");
    });
    report->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return report->isEnabled(); }, 30000));
    EXPECT_EQ(Window().GetLogger(), nullptr);
    EXPECT_EQ(Find<QPlainTextEdit>("mem_SysRep")->toPlainText(), "port");
}

TEST_F(MainWindowTest, AScreenReaderReadsEveryValueAndTheCaptionThatLabelsIt) {
    const struct {
        uint8_t Kind;
        double Count, Total;
        const char* Label;
        const char* Caption;
        const char* Text;
    } table[] = {
        {0, 0, 4711, "lbl_TotalBytes", "Total bytes:", "4711"},
        {1, 0, 17, "lbl_BytesThrown", "Bytes thrown:", "17"},
        {2, 3, 12, "lbl_StartTriggers", "Start triggers:", "3 (12 bytes)"},
        {3, 4, 8, "lbl_StopTriggers", "Stop triggers:", "4 (8 bytes)"},
        {4, 2, 300, "lbl_DataPackets", "Data packets:", "2 (300 bytes)"},
    };
    for (const auto& row : table) {
        auto message = std::make_unique<sStatusMsg>();
        *message = {row.Kind, "", row.Count, row.Total};
        Window().StatusArrived(std::move(message));
        QAccessibleInterface* value = QAccessible::queryAccessibleInterface(Find<QLabel>(row.Label));
        ASSERT_NE(value, nullptr) << row.Label;
        EXPECT_EQ(value->text(QAccessible::Name), row.Text) << row.Label;
        QStringList labelledBy;
        for (const auto& relation : value->relations(QAccessible::Label))
            labelledBy << relation.first->text(QAccessible::Name);
        EXPECT_TRUE(labelledBy.contains(row.Caption)) << row.Label;
    }
}

TEST_F(MainWindowTest, CountersAtTheirLargestDoNotWidenTheWindow) {
    Window().show();
    QApplication::processEvents();
    const int width = Window().width();
    for (const uint8_t kind : {0, 1, 2, 3, 4, 6, 8}) {
        auto message = std::make_unique<sStatusMsg>();
        *message = {kind, "", 4294967295.0, 4294967295.0};
        Window().StatusArrived(std::move(message));
    }
    EXPECT_EQ(Find<QLabel>("lbl_DataPackets")->text(), "4294967295 (4294967295 bytes)");
    EXPECT_EQ(Find<QLabel>("lbl_Checksums")->text(), "Checksums: 4294967295 good, 4294967295 bad");
    // Each layout hands the new size up to the next one's request.
    for (int level = 0; level < 4; ++level) QApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    EXPECT_EQ(Window().width(), width);
    // And every count is shown whole.
    for (const char* name : {"lbl_TotalBytes", "lbl_DataPackets", "lbl_BytesThrown", "lbl_StartTriggers",
                             "lbl_StopTriggers", "lbl_BytesSent", "lbl_Checksums"}) {
        auto* label = Find<QLabel>(name);
        EXPECT_LE(label->fontMetrics().horizontalAdvance(label->text()), label->contentsRect().width())
            << name;
        EXPECT_TRUE(label->isVisibleTo(&Window())) << name;
    }
}

TEST_F(MainWindowTest, AnErrorRecordedWhileCapturingShowsAtOnceAndCountsOnTheHistoryButton) {
    auto* button = Find<QPushButton>("btn_ErrorHistory");
    EXPECT_TRUE(button->isVisibleTo(&Window()));
    EXPECT_EQ(button->text(), "Show error history");
    EXPECT_TRUE(button->toolTip().contains("Ctrl+E")) << button->toolTip().toStdString();
    ZLogger& logger = *Window().GetLogger();
    logger.GetErrorHistory().AddError("Filter", "FeedData", "Input buffer overflow");
    Window().SetCaptureState(true);
    EXPECT_EQ(button->text(), "Show error history (1)");
    auto* newest = Find<QLabel>("lbl_LastError");
    EXPECT_TRUE(newest->text().isEmpty());  // recorded before this capture

    const std::string lost = "The COM port was lost (device /dev/ttyUSB0 hung up or was removed)";
    logger.GetErrorHistory().AddError("SerialCapture", "PollPort", lost);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !newest->text().isEmpty(); }, 20000));
    EXPECT_EQ(newest->toolTip().toStdString(), lost);
    EXPECT_EQ(button->text(), "Show error history (2)");
    EXPECT_TRUE(newest->isVisibleTo(&Window()));
}

// The program itself, under the error box that a folder in the way brings at start-up.
// It starts with the signal blocked and pending, so that the signal arrives at the
// moment the program takes it, which is before the box: no timing is involved.
class StartUpSignalTest : public MainWindowTest, public ::testing::WithParamInterface<int> {};

TEST_P(StartUpSignalTest, ASignalDuringAStartUpErrorBoxClosesTheProgramAndSaves) {
    WriteBytes(Home() + "std_log_out", "a file in the way");
    std::string program = KESTRUN_GUI_PROGRAM;
    char* argv[] = {program.data(), nullptr};
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t blocked;
    sigemptyset(&blocked);
    sigaddset(&blocked, GetParam());
    posix_spawnattr_setsigmask(&attributes, &blocked);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK);
    pid_t child = -1;
    // The test's own KESTRUN_HOME and offscreen platform.
    const int spawned = posix_spawn(&child, program.c_str(), nullptr, &attributes, argv, environ);
    posix_spawnattr_destroy(&attributes);
    ASSERT_EQ(spawned, 0) << strerror(spawned);
    ASSERT_EQ(kill(child, GetParam()), 0);

    int status = 0;
    pid_t ended = 0;
    for (int tries = 0; tries < 6000 && ended == 0; ++tries) {
        ended = waitpid(child, &status, WNOHANG);
        if (ended == 0) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (ended == 0) {
        kill(child, SIGKILL);
        waitpid(child, &status, 0);
        FAIL() << "still running a minute after the signal";
    }
    ASSERT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_TRUE(std::filesystem::exists(LastUsed(Home())));
}

INSTANTIATE_TEST_SUITE_P(MainWindowSignals, StartUpSignalTest, ::testing::Values(SIGTERM, SIGINT));

// A screen reader is offered only the controls in view: those of the pages behind the
// one in front are not focusable, and take the focus again when their page comes forward.
TEST_F(MainWindowTest, OnlyControlsInViewAreFocusable) {
    ZFocusWhileShown::Install();
    Window().show();
    auto* pages = Find<QTabWidget>("PageControl");
    // Every page in front once, and the first again: each is hidden and shown at least once.
    std::vector<int> order(static_cast<size_t>(pages->count()));
    std::iota(order.begin(), order.end(), 0);
    order.push_back(0);
    for (const int page : order) {
        pages->setCurrentIndex(page);
        SCOPED_TRACE(pages->tabText(page).toStdString());
        int inView = 0;
        for (QWidget* widget : pages->findChildren<QWidget*>()) {
            // A combo box's list is a window of its own, not part of the page.
            if (widget->window() != &Window()) continue;
            const bool focusable = QAccessible::queryAccessibleInterface(widget)->state().focusable;
            EXPECT_FALSE(focusable && !widget->isVisible()) << widget->objectName().toStdString();
            const bool control = qobject_cast<QAbstractButton*>(widget) || qobject_cast<QComboBox*>(widget);
            if (control && widget->isVisible() && widget->objectName() != "chk_SeparateHexAndASCII") {
                EXPECT_TRUE(focusable) << widget->objectName().toStdString();
                ++inView;
            }
        }
        EXPECT_GT(inView, 0);
    }
}

// A screen reader browses a combo box's items without opening its list: the list is
// its first child, an editable one's text field its second.
void ExpectItemsBrowsable(QComboBox& combo) {
    SCOPED_TRACE(combo.objectName().toStdString());
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(&combo);
    ASSERT_EQ(face->childCount(), combo.isEditable() ? 2 : 1);
    QAccessibleInterface* list = face->child(0);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->role(), QAccessible::List);
    EXPECT_EQ(face->indexOfChild(list), 0);
    ASSERT_GT(combo.count(), 0);
    ASSERT_EQ(list->childCount(), combo.count());
    for (int i = 0; i < combo.count(); ++i)
        EXPECT_EQ(list->child(i)->text(QAccessible::Name), combo.itemText(i));
    if (combo.isEditable()) {
        EXPECT_EQ(face->child(1)->role(), QAccessible::EditableText);
        EXPECT_EQ(face->indexOfChild(face->child(1)), 1);
    }
    EXPECT_EQ(face->child(face->childCount()), nullptr);
}

TEST_F(MainWindowTest, ComboBoxesAreNamedByTheirCaptionAndReadAsTheirText) {
    ZComboBoxAccessible::Install();
    const struct {
        const char* Name;
        const char* Caption;
    } table[] = {
        {"cb_COMPorts", "COM port"},
        {"cb_Baudrates", "Baud rate"},
        {"cb_ChecksumAlgorithm", "Checksum algorithm"},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.Name);
        auto* combo = Find<QComboBox>(row.Name);
        QAccessibleInterface* face = QAccessible::queryAccessibleInterface(combo);
        ASSERT_NE(face, nullptr);
        EXPECT_EQ(face->role(), QAccessible::ComboBox);
        EXPECT_EQ(face->text(QAccessible::Name), row.Caption);
        EXPECT_FALSE(combo->currentText().isEmpty());
        EXPECT_EQ(face->text(QAccessible::Value), combo->currentText());
        ExpectItemsBrowsable(*combo);
    }
    // The port setup dialog's list as well.
    TPortTable ports([](int n) { return n == 3 || n == 7; });
    ports.Init(99);
    TFormCOMSetup setup(ports);
    ExpectItemsBrowsable(*setup.findChild<QComboBox*>("ComboBoxPort"));
    // A control kept only for its setting is never offered to the keyboard.
    auto* hidden = Find<QCheckBox>("chk_SeparateHexAndASCII");
    EXPECT_FALSE(hidden->isVisibleTo(&Window()));
    EXPECT_EQ(hidden->focusPolicy(), Qt::NoFocus);
}

// A port that comes or goes after the start is offered, or no longer, as soon as the
// list opens or its folder changes; the field keeps the port in use meanwhile.
TEST_F(MainWindowTest, ThePortListFollowsPortsThatComeAndGo) {
    const struct {
        const char* Name;
        bool Add;
        bool ByOpening;  // else by the folder's change alone
    } rows[] = {
        {"plugged in, the list opens", true, true},
        {"removed, the folder changes", false, false},
        {"plugged in, the folder changes", true, false},
        {"removed, the list opens", false, true},
    };
    LinkPtyPort();  // the folder is there from the start, and COM98 stays present
    const std::string link = Home() + "ports/com97";
    // The port table is the process's: whatever happens, COM97 leaves it again.
    struct Restore {
        std::string Link;
        ~Restore() {
            std::filesystem::remove(Link);
            TPortTable::Global().Rescan();
        }
    } restore{link};
    auto* ports = Find<QComboBox>("cb_COMPorts");
    const QString inUse = ports->currentText();
    const auto offered = [ports] { return ports->findText("COM97", Qt::MatchStartsWith) >= 0; };
    ASSERT_FALSE(offered());
    for (const auto& row : rows) {
        SCOPED_TRACE(row.Name);
        if (row.Add)
            std::filesystem::create_symlink(TestPty().SlavePath(), link);
        else
            std::filesystem::remove(link);
        if (row.ByOpening) {
            ports->showPopup();
            EXPECT_EQ(offered(), row.Add);
            ports->hidePopup();
        } else {
            ASSERT_TRUE(QTest::qWaitFor([&] { return offered() == row.Add; }, 20000));
        }
        EXPECT_EQ(ports->currentText(), inUse);
        EXPECT_EQ(ports->itemText(ports->count() - 1), "Network port...");
    }
}
