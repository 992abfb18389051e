#include "Tfrm_Main.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

#include "Funset_strings.h"
#include "Tfrm_Debug.h"
#include "VerInfo.h"
#include "ZControls.h"
#include "ZFileDialog.h"
#include "ZLogger.h"
#include "ZMessageBox.h"
#include "ZPortDialog.h"
#include "ZReportPage.h"
#include "ZULAppDir.h"

namespace {

constexpr int StatusPumpIntervalMs = 1;
constexpr int StatusPumpMaxCount = 100;
constexpr int StatusPumpResumeCount = 80;
const char* const LastUsedFile = "_last_used.scs";

// grp_CaptureMode item -> stored capture mode.
constexpr uint8_t ModeOfItem[4] = {cmAllBytes, cmBetweenTriggers, cmFixedSize, cmDynamicSize};

QString Q(const std::string& text) {
    return QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size()));
}
std::string S(const QString& text) {
    return text.toLocal8Bit().toStdString();
}

// A decimal integer and nothing else (an optional minus sign, then digits).
bool ParseDecimal(const QString& text, int& value) {
    if (text.isEmpty()) return false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (!(c.isDigit() && c.unicode() < 128) && !(i == 0 && c == u'-' && text.size() > 1)) return false;
    }
    bool ok = false;
    value = text.toInt(&ok);
    return ok;
}

QString Truncated(double value) {
    return QString::number(static_cast<long long>(value));
}

QString CountWithBytes(double count, double total) {
    return Truncated(count) + QStringLiteral(" (") + Truncated(total) + QStringLiteral(" bytes)");
}

QLabel* ValueLabel(const char* name, QWidget* parent) {
    auto* label = new QLabel(QStringLiteral("0"), parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    label->setMinimumWidth(
        label->fontMetrics().horizontalAdvance(QStringLiteral("0000000000 (0000000000 bytes)")) / 2);
    return label;
}

QCheckBox* CheckBox(const char* name, const QString& caption, QWidget* parent) {
    auto* box = new QCheckBox(caption, parent);
    box->setObjectName(QString::fromLatin1(name));
    return box;
}

QSlider* TrackBar(const char* name, int minimum, int maximum, QWidget* parent) {
    auto* bar = new QSlider(Qt::Horizontal, parent);
    bar->setObjectName(QString::fromLatin1(name));
    bar->setRange(minimum, maximum);
    bar->setPageStep(5);
    bar->setTickPosition(QSlider::TicksBelow);
    bar->setTickInterval((maximum - minimum + 1) / 20);
    return bar;
}

}  // namespace

int Tfrm_Main::ModeToItem(int mode) {
    for (int item = 0; item < 4; ++item)
        if (ModeOfItem[item] == mode) return item;
    return 0;
}

uint8_t Tfrm_Main::ItemToMode(int item) {
    return item >= 0 && item < 4 ? ModeOfItem[item] : static_cast<uint8_t>(cmAllBytes);
}

Tfrm_Main::Tfrm_Main(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("frm_Main"));
    BuildWindow();

    StatusPump = std::make_unique<TStatusPump>(
        false, StatusPumpIntervalMs, true,
        [this](std::unique_ptr<sStatusMsg> message) { StatusArrived(std::move(message)); }, true,
        StatusPumpMaxCount, StatusPumpResumeCount, &dispatcher_);

    const ZLoggerSettings defaults;
    Logger = std::make_unique<ZLogger>(defaults);
    Logger->SetStatusReceiver(this);

    std::vector<std::string> list;
    {
        // Filling a list is no choice of the user's: the port keeps its settings.
        const QSignalBlocker portBlocker(cb_COMPorts);
        const QSignalBlocker rateBlocker(cb_Baudrates);
        Logger->GetPortList(list);
        for (const std::string& port : list) cb_COMPorts->addItem(Q(port));
        Logger->GetBaudrateList(list);
        for (const std::string& rate : list) cb_Baudrates->addItem(Q(rate));
    }

    const std::string appDir = ZULGetAppDir();
    const std::string settingsDir = appDir + "settings";
    const std::string outputDir = appDir + "std_log_out";
    SettingsDir = Q(settingsDir);
    if (!ZULForceDirectories(outputDir)) {
        ZMessageBox::Error(this, QStringLiteral("Error creating the standard output directory: \n\"") +
                                     Q(outputDir) + QStringLiteral("\"\n\n--->\n\n") + Q(GetLastErrorText()));
    }
    if (!ZULForceDirectories(settingsDir)) {
        ZMessageBox::Error(this, QStringLiteral("Error creating the settings directory: \n\"") +
                                     Q(settingsDir) + QStringLiteral("\"\n\n--->\n\n") +
                                     Q(GetLastErrorText()));
    }
    SettingsDir += u'/';

    const std::string lastUsed = appDir + LastUsedFile;
    if (QFileInfo::exists(Q(lastUsed))) {
        std::string errorText;
        if (!Logger->LoadSettings(lastUsed, errorText)) ZMessageBox::Error(this, Q(errorText));
    }
    ZLoggerSettings current;
    Logger->GetSettings(current);
    ShowSettings(current);

    reportPage_ = new ZReportPage(*Logger);
    AddPage(reportPage_, QStringLiteral("Bugreport"));
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

Tfrm_Main::~Tfrm_Main() {
    // A window destroyed without being closed still ends the engine before the pump
    // and the controls that the pump's messages update.
    if (Logger) Logger->SetStatusReceiver(nullptr);
    if (reportPage_) reportPage_->ForgetLogger();
    Logger.reset();
    if (StatusPump) StatusPump->Terminate();
    StatusPump.reset();
}

void Tfrm_Main::SetCaptureWindow(QWidget* window, IZEntryReceiver* entries) {
    captureWindow_ = window;
    if (Logger) Logger->SetEntryReceiver(entries);
}

void Tfrm_Main::AddPage(QWidget* page, const QString& caption) {
    PageControl->addTab(page, caption);
    if (auto* version = page->findChild<QLabel*>(QStringLiteral("lbl_Version")))
        version->setText(QStringLiteral("v ") + Q(VerInfo().GetVersionString(2)));
    setFixedSize(QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX));
    setMinimumSize(0, 0);
    setFixedSize(sizeHint());
}

// ---------------------------------------------------------------------------------
// Layout

void Tfrm_Main::BuildWindow() {
    setWindowTitle(QStringLiteral("Kestrun"));
    setCursor(Qt::DragMoveCursor);

    PageControl = new QTabWidget(this);
    PageControl->setObjectName(QStringLiteral("PageControl"));
    PageControl->addTab(BuildGeneralPage(), QStringLiteral("General"));
    PageControl->addTab(BuildTriggerPage(), QStringLiteral("Frame trigger settings"));
    PageControl->addTab(BuildDataTriggerPage(), QStringLiteral("Data triggers"));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(PageControl);
    layout->addWidget(BuildStatusGroup());
    layout->setSizeConstraint(QLayout::SetFixedSize);

    // Covered by the status group in the layout as shipped, so never seen.
    grp_Debug = new QGroupBox(QStringLiteral("__DEBUG__"), this);
    grp_Debug->setObjectName(QStringLiteral("grp_Debug"));
    auto* debugLayout = new QHBoxLayout(grp_Debug);
    btn_ErrorHistory = ZMakeButton("btn_ErrorHistory", QStringLiteral("Show error history"), grp_Debug);
    debugLayout->addWidget(btn_ErrorHistory);
    grp_Debug->hide();
    connect(btn_ErrorHistory, &QPushButton::clicked, this, [this] { btn_ErrorHistoryClick(); });

    SetTabOrder();
}

QWidget* Tfrm_Main::BuildGeneralPage() {
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("tab_General"));
    auto* pageLayout = new QVBoxLayout(page);

    // Action, Settings, Port side by side.
    auto* topRow = new QHBoxLayout;
    auto* action = new QGroupBox(QStringLiteral("Action"), page);
    action->setObjectName(QStringLiteral("grp_Action"));
    auto* actionLayout = new QVBoxLayout(action);
    btn_StartCapture = ZMakeButton("btn_StartCapture", QStringLiteral("Start capture"), action);
    btn_StopCapture = ZMakeButton("btn_StopCapture", QStringLiteral("Stop capture"), action);
    btn_StopCapture->setEnabled(false);
    btn_ShowCapture = ZMakeButton("btn_ShowCapture", QStringLiteral("Show capture window"), action);
    actionLayout->addWidget(btn_StartCapture);
    actionLayout->addWidget(btn_StopCapture);
    actionLayout->addWidget(btn_ShowCapture);
    topRow->addWidget(action);

    grp_Settings = new QGroupBox(QStringLiteral("Settings"), page);
    grp_Settings->setObjectName(QStringLiteral("grp_Settings"));
    auto* settingsLayout = new QVBoxLayout(grp_Settings);
    btn_LoadSettings = ZMakeButton("btn_LoadSettings", QStringLiteral("Load from file"), grp_Settings);
    btn_SaveSettings = ZMakeButton("btn_SaveSettings", QStringLiteral("Save to file"), grp_Settings);
    settingsLayout->addWidget(btn_LoadSettings);
    settingsLayout->addWidget(btn_SaveSettings);
    settingsLayout->addStretch();
    topRow->addWidget(grp_Settings);

    auto* port = new QGroupBox(QStringLiteral("Port"), page);
    port->setObjectName(QStringLiteral("grp_Port"));
    auto* portLayout = new QGridLayout(port);
    cb_COMPorts = new QComboBox(port);
    cb_COMPorts->setObjectName(QStringLiteral("cb_COMPorts"));
    cb_COMPorts->setEditable(true);
    cb_COMPorts->setInsertPolicy(QComboBox::NoInsert);
    cb_COMPorts->setEditText(QStringLiteral("---"));
    cb_COMPorts->setAccessibleName(QStringLiteral("COM port"));
    cb_COMPorts->setMinimumContentsLength(7);
    // Every keystroke is checked as typed; completion would type for the user.
    cb_COMPorts->setCompleter(nullptr);
    auto* at = new QLabel(QStringLiteral("@"), port);
    at->setObjectName(QStringLiteral("lbl_At"));
    cb_Baudrates = new QComboBox(port);
    cb_Baudrates->setObjectName(QStringLiteral("cb_Baudrates"));
    cb_Baudrates->setEditable(true);
    cb_Baudrates->setInsertPolicy(QComboBox::NoInsert);
    cb_Baudrates->setAccessibleName(QStringLiteral("Baud rate"));
    cb_Baudrates->setMinimumContentsLength(12);
    cb_Baudrates->setCompleter(nullptr);
    btn_PortSettings = ZMakeButton("btn_PortSettings", QStringLiteral("Extended COM port settings"), port);
    portLayout->addWidget(cb_COMPorts, 0, 0);
    portLayout->addWidget(at, 0, 1);
    portLayout->addWidget(cb_Baudrates, 0, 2);
    portLayout->addWidget(btn_PortSettings, 1, 0, 1, 3);
    portLayout->setRowStretch(2, 1);
    topRow->addWidget(port, 1);
    pageLayout->addLayout(topRow);

    auto* logfile = new QGroupBox(QStringLiteral("Logfile options"), page);
    logfile->setObjectName(QStringLiteral("grp_LogfileOptions"));
    auto* logLayout = new QGridLayout(logfile);
    btn_OutputDir = ZMakeButton("btn_OutputDir", QStringLiteral("Set output directory"), logfile);
    ed_OutputDir = new QLineEdit(logfile);
    ed_OutputDir->setObjectName(QStringLiteral("ed_OutputDir"));
    ed_OutputDir->setReadOnly(true);
    ed_OutputDir->setAccessibleName(QStringLiteral("Output directory"));
    ed_OutputDir->setMinimumWidth(360);
    QPalette facePalette = ed_OutputDir->palette();
    facePalette.setColor(QPalette::Base, facePalette.color(QPalette::Button));
    ed_OutputDir->setPalette(facePalette);
    logLayout->addWidget(btn_OutputDir, 0, 0);
    logLayout->addWidget(ed_OutputDir, 0, 1, 1, 3);

    chk_AddTimeStamp =
        CheckBox("chk_AddTimeStamp", QStringLiteral("Add timestamp to each captured packet"), logfile);
    chk_LogStartTrigger =
        CheckBox("chk_LogStartTrigger", QStringLiteral("Log the start trigger sequence"), logfile);
    chk_LogStopTrigger =
        CheckBox("chk_LogStopTrigger", QStringLiteral("Log the stop trigger sequence"), logfile);
    chk_LogDataField =
        CheckBox("chk_LogDataField", QStringLiteral("Log the data field between the triggers"), logfile);
    chk_ShowHexOutput =
        CheckBox("chk_ShowHexOutput", QStringLiteral("Log captured bytes in HEX format"), logfile);
    chk_ShowASCIIOutput =
        CheckBox("chk_ShowASCIIOutput", QStringLiteral("Log captured bytes in ASCII format"), logfile);
    chk_SeparateHexAndASCII = CheckBox("chk_SeparateHexAndASCII",
                                       QStringLiteral("Separate files for ASCII and HEX output"), logfile);
    chk_SeparateHexAndASCII->hide();
    logLayout->addWidget(chk_AddTimeStamp, 1, 0, 1, 2);
    logLayout->addWidget(chk_LogStartTrigger, 2, 0, 1, 2);
    logLayout->addWidget(chk_LogStopTrigger, 3, 0, 1, 2);
    logLayout->addWidget(chk_LogDataField, 1, 2, 1, 2);
    logLayout->addWidget(chk_ShowHexOutput, 2, 2, 1, 2);
    logLayout->addWidget(chk_ShowASCIIOutput, 3, 2, 1, 2);

    auto* bytesCaption = new QLabel(QStringLiteral("Max. amount of bytes in one log line:"), logfile);
    lbl_MaxBytesInLogLine = ZMakeBoldLabel(QStringLiteral("16"), logfile);
    lbl_MaxBytesInLogLine->setObjectName(QStringLiteral("lbl_MaxBytesInLogLine"));
    lbl_MaxBytesInLogLine->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    lbl_MaxBytesInLogLine->setMinimumWidth(
        lbl_MaxBytesInLogLine->fontMetrics().horizontalAdvance(QStringLiteral("00000")));
    tb_MaxBytesInLogLine = TrackBar("tb_MaxBytesInLogLine", 1, 300, logfile);
    tb_MaxBytesInLogLine->setAccessibleName(bytesCaption->text());
    tb_MaxBytesInLogLine->setValue(16);
    bytesCaption->setBuddy(tb_MaxBytesInLogLine);
    auto* linesCaption = new QLabel(QStringLiteral("Max. amount of lines in one log file:"), logfile);
    lbl_MaxLinesInLogFile = ZMakeBoldLabel(QStringLiteral("100"), logfile);
    lbl_MaxLinesInLogFile->setObjectName(QStringLiteral("lbl_MaxLinesInLogFile"));
    lbl_MaxLinesInLogFile->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    lbl_MaxLinesInLogFile->setMinimumWidth(lbl_MaxBytesInLogLine->minimumWidth());
    tb_MaxLinesInLogFile = TrackBar("tb_MaxLinesInLogFile", 50, 1000, logfile);
    tb_MaxLinesInLogFile->setAccessibleName(linesCaption->text());
    tb_MaxLinesInLogFile->setValue(100);
    linesCaption->setBuddy(tb_MaxLinesInLogFile);
    logLayout->addWidget(bytesCaption, 4, 0, 1, 2);
    logLayout->addWidget(lbl_MaxBytesInLogLine, 4, 2);
    logLayout->addWidget(tb_MaxBytesInLogLine, 5, 0, 1, 4);
    logLayout->addWidget(linesCaption, 6, 0, 1, 2);
    logLayout->addWidget(lbl_MaxLinesInLogFile, 6, 2);
    logLayout->addWidget(tb_MaxLinesInLogFile, 7, 0, 1, 4);
    chk_Reconnect = CheckBox("chk_Reconnect", QStringLiteral("Reconnect when the port comes back"), logfile);
    chk_RawRecording = CheckBox("chk_RawRecording", QStringLiteral("Also record the raw bytes"), logfile);
    logLayout->addWidget(chk_Reconnect, 8, 0, 1, 2);
    logLayout->addWidget(chk_RawRecording, 8, 2, 1, 2);
    logLayout->setColumnStretch(3, 1);
    pageLayout->addWidget(logfile);

    grp_CaptureMode = new QGroupBox(QStringLiteral("Capture mode"), page);
    grp_CaptureMode->setObjectName(QStringLiteral("grp_CaptureMode"));
    captureModeItems_ = ZMakeRadioItems(grp_CaptureMode,
                                        {QStringLiteral("Capture all bytes received"),
                                         QStringLiteral("Capture between start an stop triggers"),
                                         QStringLiteral("Use only start trigger (fixed size)"),
                                         QStringLiteral("Use only start trigger (dynamic size)")},
                                        QStringLiteral("grp_CaptureMode"));
    pageLayout->addWidget(grp_CaptureMode);

    connect(btn_StartCapture, &QPushButton::clicked, this, [this] { btn_StartCaptureClick(); });
    connect(btn_StopCapture, &QPushButton::clicked, this, [this] { btn_StopCaptureClick(); });
    connect(btn_ShowCapture, &QPushButton::clicked, this, [this] { btn_ShowCaptureClick(); });
    connect(btn_LoadSettings, &QPushButton::clicked, this, [this] { btn_LoadSettingsClick(); });
    connect(btn_SaveSettings, &QPushButton::clicked, this, [this] { btn_SaveSettingsClick(); });
    connect(cb_COMPorts, &QComboBox::editTextChanged, this,
            [this](const QString& text) { cb_COMPortsChange(text); });
    connect(cb_Baudrates, &QComboBox::editTextChanged, this,
            [this](const QString& text) { cb_BaudratesChange(text); });
    connect(btn_PortSettings, &QPushButton::clicked, this, [this] { btn_PortSettingsClick(); });
    connect(btn_OutputDir, &QPushButton::clicked, this, [this] { btn_OutputDirClick(); });
    connect(tb_MaxBytesInLogLine, &QSlider::valueChanged, this,
            [this](int p) { tb_MaxBytesInLogLineChange(p); });
    connect(tb_MaxLinesInLogFile, &QSlider::valueChanged, this,
            [this](int p) { tb_MaxLinesInLogFileChange(p); });
    return page;
}

QGroupBox* Tfrm_Main::BuildStatusGroup() {
    grp_Stati = new QGroupBox(QStringLiteral("Stati"), this);
    grp_Stati->setObjectName(QStringLiteral("grp_Stati"));
    auto* layout = new QGridLayout(grp_Stati);
    lbl_TotalBytes = ValueLabel("lbl_TotalBytes", grp_Stati);
    lbl_DataPackets = ValueLabel("lbl_DataPackets", grp_Stati);
    lbl_BytesThrown = ValueLabel("lbl_BytesThrown", grp_Stati);
    lbl_StartTriggers = ValueLabel("lbl_StartTriggers", grp_Stati);
    lbl_StopTriggers = ValueLabel("lbl_StopTriggers", grp_Stati);
    const struct {
        const char* caption;
        QLabel* value;
        int row, column;
    } cells[] = {{"Total bytes:", lbl_TotalBytes, 0, 0},
                 {"Data packets:", lbl_DataPackets, 0, 2},
                 {"Bytes thrown:", lbl_BytesThrown, 0, 4},
                 {"Start triggers:", lbl_StartTriggers, 1, 0},
                 {"Stop triggers:", lbl_StopTriggers, 1, 2}};
    for (const auto& cell : cells) {
        auto* caption = new QLabel(QString::fromLatin1(cell.caption), grp_Stati);
        cell.value->setAccessibleName(caption->text());
        layout->addWidget(caption, cell.row, cell.column);
        layout->addWidget(cell.value, cell.row, cell.column + 1);
    }
    layout->setColumnStretch(5, 1);
    return grp_Stati;
}

void Tfrm_Main::SetTabOrder() {
    // The page control is left out: it hands its focus to its tab bar, and naming
    // both would tie them into a loop of their own.
    const QList<QWidget*> order{btn_StartCapture,
                                btn_StopCapture,
                                btn_ShowCapture,
                                btn_LoadSettings,
                                btn_SaveSettings,
                                cb_COMPorts,
                                cb_Baudrates,
                                btn_PortSettings,
                                btn_OutputDir,
                                ed_OutputDir,
                                chk_AddTimeStamp,
                                chk_LogStartTrigger,
                                chk_LogStopTrigger,
                                chk_LogDataField,
                                chk_ShowHexOutput,
                                chk_ShowASCIIOutput,
                                tb_MaxBytesInLogLine,
                                tb_MaxLinesInLogFile,
                                chk_Reconnect,
                                chk_RawRecording,
                                captureModeItems_->button(0),
                                captureModeItems_->button(1),
                                captureModeItems_->button(2),
                                captureModeItems_->button(3),
                                btn_SetStartTriggerSize,
                                ud_StartTriggerSize,
                                btn_StartEditHEX,
                                btn_StartEditString,
                                ud_FixedDataSize,
                                ud_DataSizeStart,
                                ud_DataSizeWidth,
                                chk_DataMSBFirst,
                                btn_SetStopTriggerSize,
                                ud_StopTriggerSize,
                                btn_StopEditHEX,
                                btn_StopEditString,
                                showAsItems_->button(0),
                                showAsItems_->button(1),
                                showAsItems_->button(2),
                                ud_DTSize,
                                btn_AddDTASCII,
                                btn_AddDTHEX,
                                btn_RemoveSelDT,
                                btn_RemoveAllDT,
                                btn_ResetSelDT,
                                btn_ResetAllDT,
                                DTrgList};
    for (qsizetype i = 1; i < order.size(); ++i) setTabOrder(order[i - 1], order[i]);
}

// ---------------------------------------------------------------------------------
// Settings

void Tfrm_Main::ShowSettings(const ZLoggerSettings& settings) {
    StartTrigger = settings.TriggerStart;
    ShowStartTrigger();
    StopTrigger = settings.TriggerStop;
    ShowStopTrigger();
    DataTriggers.Assign(settings.DataTriggers);
    FillDataTriggerGrid();

    ShowPortState();

    ed_OutputDir->setText(Q(settings.LogDir));
    ed_OutputDir->setToolTip(ed_OutputDir->text());
    ed_OutputDir->setCursorPosition(0);
    tb_MaxBytesInLogLine->setValue(settings.MaxBytesInLogLine);
    tb_MaxLinesInLogFile->setValue(settings.MaxLinesInLogFile);
    chk_AddTimeStamp->setChecked(settings.AddTimeStamp);
    chk_LogStartTrigger->setChecked(settings.LogStartTrigger);
    chk_LogStopTrigger->setChecked(settings.LogStopTrigger);
    chk_LogDataField->setChecked(settings.LogDataField);
    chk_ShowHexOutput->setChecked(settings.ShowHexOutput);
    chk_ShowASCIIOutput->setChecked(settings.ShowASCIIOutput);
    chk_SeparateHexAndASCII->setChecked(settings.SeparateHexAndASCII);
    chk_Reconnect->setChecked(settings.Reconnect);
    chk_RawRecording->setChecked(settings.RawRecording);
    captureModeItems_->button(ModeToItem(settings.CaptureMode))->setChecked(true);

    ud_StartTriggerSize->setValue(static_cast<int>(settings.TriggerStart.size()));
    ud_FixedDataSize->setValue(settings.BytesAfterTrigger);
    ud_DataSizeWidth->setMaximum(std::max(settings.AmountOfBytesWidth, 1));
    ud_DataSizeStart->setMaximum(std::max(settings.StartAmountOfBytes, 0));
    ud_DataSizeStart->setValue(settings.StartAmountOfBytes);
    ud_DataSizeWidth->setValue(settings.AmountOfBytesWidth);
    RecheckDynamicLimits();
    chk_DataMSBFirst->setChecked(settings.AmountOfBytesMSBFirst);
    ud_StopTriggerSize->setValue(static_cast<int>(settings.TriggerStop.size()));
    btn_SetStartTriggerSize->setEnabled(false);
    btn_SetStopTriggerSize->setEnabled(false);
}

ZLoggerSettings Tfrm_Main::CollectSettings() const {
    ZLoggerSettings settings;
    settings.TriggerStart = StartTrigger;
    settings.TriggerStop = StopTrigger;
    settings.DataTriggers.Assign(DataTriggers);
    settings.LogDir = S(ed_OutputDir->text());
    settings.MaxBytesInLogLine = tb_MaxBytesInLogLine->value();
    settings.MaxLinesInLogFile = tb_MaxLinesInLogFile->value();
    settings.AddTimeStamp = chk_AddTimeStamp->isChecked();
    settings.LogStartTrigger = chk_LogStartTrigger->isChecked();
    settings.LogStopTrigger = chk_LogStopTrigger->isChecked();
    settings.LogDataField = chk_LogDataField->isChecked();
    settings.ShowHexOutput = chk_ShowHexOutput->isChecked();
    settings.ShowASCIIOutput = chk_ShowASCIIOutput->isChecked();
    settings.SeparateHexAndASCII = chk_SeparateHexAndASCII->isChecked();
    settings.Reconnect = chk_Reconnect->isChecked();
    settings.RawRecording = chk_RawRecording->isChecked();
    settings.CaptureMode = ItemToMode(captureModeItems_->checkedId());
    settings.BytesAfterTrigger = ud_FixedDataSize->value();
    settings.StartAmountOfBytes = ud_DataSizeStart->value();
    settings.AmountOfBytesWidth = ud_DataSizeWidth->value();
    settings.AmountOfBytesMSBFirst = chk_DataMSBFirst->isChecked();
    return settings;
}

void Tfrm_Main::ShowPortState() {
    if (!Logger) return;
    // Shown, not chosen: the change handlers would write the values straight back.
    const QSignalBlocker portBlocker(cb_COMPorts);
    const QSignalBlocker rateBlocker(cb_Baudrates);
    cb_COMPorts->setEditText(QStringLiteral("COM") + QString::number(Logger->GetCOMPort()));
    cb_Baudrates->setEditText(QString::number(Logger->GetBaudrate()) + QStringLiteral(" Baud"));
}

bool Tfrm_Main::LoadSettingsFile(const QString& fileName) {
    if (!Logger) return false;
    if (QFileInfo(fileName).suffix().compare(QStringLiteral("scs"), Qt::CaseInsensitive) != 0) {
        ZMessageBox::Error(this, QStringLiteral("Not a valid settings file..."));
        return false;
    }
    std::string errorText;
    if (!Logger->LoadSettings(S(fileName), errorText)) {
        ZMessageBox::Error(this, Q(errorText));
        return false;
    }
    ZLoggerSettings loaded;
    Logger->GetSettings(loaded);
    ShowSettings(loaded);
    return true;
}

// ---------------------------------------------------------------------------------
// Capture

void Tfrm_Main::SetCaptureState(bool running) {
    btn_StartCapture->setEnabled(!running);
    btn_StopCapture->setEnabled(running);
    btn_LoadSettings->setEnabled(!running);
    btn_SaveSettings->setEnabled(!running);
    btn_RemoveSelDT->setEnabled(!running);
    btn_RemoveAllDT->setEnabled(!running);
    grp_DTShowAs->setEnabled(!running);
    grp_Stati->setTitle(running ? QStringLiteral("Stati (capture in progress...)")
                                : QStringLiteral("Stati (capture stopped)"));
    if (running) {
        for (QLabel* label :
             {lbl_TotalBytes, lbl_DataPackets, lbl_BytesThrown, lbl_StartTriggers, lbl_StopTriggers})
            label->setText(QStringLiteral("0"));
        FillDataTriggerGrid();
    }
}

void Tfrm_Main::btn_StartCaptureClick() {
    if (!Logger) return;
    const ZLoggerSettings settings = CollectSettings();
    if (settings.TriggerStart.empty() && settings.CaptureMode != cmAllBytes) {
        ZMessageBox::Error(this, QStringLiteral("You have to define a start trigger first!"));
        return;
    }
    if (settings.TriggerStop.empty() && settings.CaptureMode == cmBetweenTriggers) {
        ZMessageBox::Error(this, QStringLiteral("You have to define a stop trigger first!"));
        return;
    }
    Logger->SetSettings(settings);
    if (Logger->StartCapture()) {
        SetCaptureState(true);
        return;
    }
    if (!Logger->GetStartErrorText().empty()) {
        ZMessageBox::Error(this, Q(Logger->GetStartErrorText()));
        return;
    }
    // On Linux the reason (no permission, in use, unplugged) is what the user can act on.
    QString text = QStringLiteral("The COM port could not be opened...");
    const std::string reason = Logger->GetPort().GetLastOpenErrorText();
    if (!reason.empty()) text += QStringLiteral("\n\n") + Q(reason);
    ZMessageBox::Error(this, text);
}

void Tfrm_Main::btn_StopCaptureClick() {
    if (!Logger) return;
    if (!Logger->StopCapture()) {
        ZMessageBox::Error(this, QStringLiteral("Capture could not be stopped!"));
        return;
    }
    btn_StopCapture->setEnabled(false);
    // The events processed here may close the window, which ends the engine and the pump.
    while (Logger && !StatusPump->IsEmpty()) QApplication::processEvents();
    ShowFinalCounts();
    for (int i = 0; i < 3; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        QApplication::processEvents();
        if (!Logger) return;
        SetCaptureState(false);
    }
}

void Tfrm_Main::ShowFinalCounts() {
    if (!Logger) return;
    const ZLogger& logger = *Logger;
    lbl_TotalBytes->setText(Truncated(logger.TotalBytes));
    lbl_BytesThrown->setText(Truncated(logger.TrashedBytes));
    // Kinds 2 to 4 are only ever reported with a count of at least one.
    if (logger.StartTriggerCount > 0)
        lbl_StartTriggers->setText(CountWithBytes(logger.StartTriggerCount, logger.StartTriggerBytes));
    if (logger.StopTriggerCount > 0)
        lbl_StopTriggers->setText(CountWithBytes(logger.StopTriggerCount, logger.StopTriggerBytes));
    if (logger.DataPacketCount > 0)
        lbl_DataPackets->setText(CountWithBytes(logger.DataPacketCount, logger.DataPacketBytes));
    // Rows are removed only while stopped and added at the end, so row i is still trigger i.
    const int rows = std::min(
        {DTrgList->rowCount(), DataTriggers.GetCount(), static_cast<int>(logger.DataTriggerCounts.size())});
    for (int row = 0; row < rows; ++row) {
        if (QTableWidgetItem* cell = DTrgList->item(row, 1))
            cell->setText(QString::number(logger.DataTriggerCounts[static_cast<size_t>(row)]));
    }
}

bool Tfrm_Main::PostStatus(uint8_t kind, const std::string& text, double count, double total,
                           signed char priority) {
    auto message = std::make_unique<sStatusMsg>();
    message->Kind = kind;
    message->Text = text;
    message->Count = count;
    message->Total = total;
    if (StatusPump->Post(message, priority)) return true;
    droppedStatus_.fetch_add(1, std::memory_order_relaxed);
    return false;
}

void Tfrm_Main::StatusArrived(std::unique_ptr<sStatusMsg> message) {
    switch (message->Kind) {
        case 0:
            lbl_TotalBytes->setText(Truncated(message->Total));
            break;
        case 1:
            lbl_BytesThrown->setText(Truncated(message->Total));
            break;
        case 2:
            lbl_StartTriggers->setText(CountWithBytes(message->Count, message->Total));
            break;
        case 3:
            lbl_StopTriggers->setText(CountWithBytes(message->Count, message->Total));
            break;
        case 4:
            lbl_DataPackets->setText(CountWithBytes(message->Count, message->Total));
            break;
        case 6:
            // A late message of a capture that has stopped must not say it runs.
            if (Logger && Logger->IsCapturing())
                grp_Stati->setTitle(message->Text.empty()
                                        ? QStringLiteral("Stati (capture in progress...)")
                                        : QStringLiteral("Stati (waiting for the COM port to come back...)"));
            break;
        case 5: {
            const auto row = static_cast<long long>(message->Count);
            if (row < 0 || row >= DTrgList->rowCount()) break;
            QTableWidgetItem* cell = DTrgList->item(static_cast<int>(row), 1);
            if (!cell || cell->text().isEmpty()) break;  // the blank row of an empty list
            cell->setText(QString::number(cell->text().toLongLong() + 1));
            break;
        }
        default:
            break;
    }
}

// ---------------------------------------------------------------------------------
// Port, files, windows

void Tfrm_Main::cb_COMPortsChange(const QString& text) {
    if (!Logger) return;
    int port = 0;
    if (!ParseDecimal(text.mid(3), port)) {
        ZMessageBox::Error(this, QStringLiteral("This is not a valid COM port!"));
        return;
    }
    if (Logger->IsCapturing())
        ZMessageBox::Information(this,
                                 QStringLiteral("Changes will take effect after restarting the capture..."));
    Logger->SetCOMPort(port);
}

void Tfrm_Main::cb_BaudratesChange(const QString& text) {
    if (!Logger) return;
    int rate = 0;
    if (!ParseDecimal(text.left(std::max<qsizetype>(text.size() - 5, 0)), rate)) {
        ZMessageBox::Error(this, QStringLiteral("This is not a valid baudrate!"));
        return;
    }
    if (Logger->IsCapturing())
        ZMessageBox::Information(this,
                                 QStringLiteral("Changes will take effect after restarting the capture..."));
    Logger->SetBaudrate(rate);
}

void Tfrm_Main::btn_PortSettingsClick() {
    if (!Logger) return;
    ZPortDialog dialog(this);
    Logger->ShowPortDialog(dialog);
    // The dialog may have changed the rate as well as the port.
    ShowPortState();
}

void Tfrm_Main::btn_OutputDirClick() {
    QString directory = ZFileDialog::GetExistingDirectory(
        this, QStringLiteral("Select directory to output log data:"), ed_OutputDir->text());
    if (directory.isEmpty()) return;
    if (!directory.endsWith(u'/')) directory += u'/';
    ed_OutputDir->setText(directory);
    ed_OutputDir->setToolTip(directory);
    ed_OutputDir->setCursorPosition(0);
}

void Tfrm_Main::btn_LoadSettingsClick() {
    const QString fileName = ZFileDialog::GetOpenFileName(this, QStringLiteral("Load settings"), SettingsDir,
                                                          QString(), QStringLiteral("scs"));
    if (fileName.isEmpty()) return;
    LoadSettingsFile(fileName);
}

void Tfrm_Main::btn_SaveSettingsClick() {
    if (!Logger) return;
    const QString fileName = ZFileDialog::GetSaveFileName(this, QStringLiteral("Save settings"), SettingsDir,
                                                          QStringLiteral("Serial Capture Settings (*.scs)"),
                                                          QStringLiteral("scs"));
    if (fileName.isEmpty()) return;
    Logger->SetSettings(CollectSettings());
    std::string errorText;
    if (!Logger->SaveSettings(S(fileName), true, errorText)) ZMessageBox::Error(this, Q(errorText));
}

void Tfrm_Main::tb_MaxBytesInLogLineChange(int position) {
    lbl_MaxBytesInLogLine->setText(QString::number(position));
}

void Tfrm_Main::tb_MaxLinesInLogFileChange(int position) {
    lbl_MaxLinesInLogFile->setText(QString::number(position));
}

void Tfrm_Main::btn_ShowCaptureClick() {
    if (!captureWindow_) return;
    captureWindow_->show();
    captureWindow_->raise();
    captureWindow_->activateWindow();
}

void Tfrm_Main::btn_ErrorHistoryClick() {
    if (!Logger) return;
    std::vector<std::string> lines;
    Logger->GetErrorList(lines);
    Tfrm_Debug window(this);
    window.AddLines(lines);
    window.exec();
}

void Tfrm_Main::closeEvent(QCloseEvent* event) {
    FormClose();
    event->accept();
}

void Tfrm_Main::FormClose() {
    if (!Logger) return;  // closed already
    Logger->StopCapture();
    Logger->SetSettings(CollectSettings());
    std::string errorText;
    if (!Logger->SaveSettings(ZULGetAppDir() + LastUsedFile, true, errorText))
        ZMessageBox::Error(this, Q(errorText));
    reportPage_->ForgetLogger();
    Logger.reset();
    StartTrigger.clear();
    StopTrigger.clear();
    StatusPump->Terminate();
    emit FormClosed();
}
