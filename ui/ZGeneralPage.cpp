#include "ZGeneralPage.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>
#include <iterator>
#include <memory>
#include <vector>

#include "SerialPlatformNet.h"
#include "SerialPortLocator.h"
#include "TPortTable.h"
#include "ZControls.h"
#include "ZEngineText.h"
#include "ZFileDialog.h"
#include "ZFramePcap.h"
#include "ZLogger.h"
#include "ZMessageBox.h"
#include "ZPcapDissectors.h"
#include "ZPortDialog.h"
#include "ZQtMainThreadDispatcher.h"
#include "ZULFuncDecThread.h"

namespace {

// udev makes a device's node first and its links after: one refill for the burst.
constexpr int PortListRefillDelayMs = 300;

// grp_CaptureMode item -> stored capture mode.
constexpr uint8_t ModeOfItem[8] = {cmAllBytes, cmBetweenTriggers,  cmFixedSize, cmDynamicSize,
                                   cmSilence,  cmUntilStopTrigger, cmSlip,      cmCobs};

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

// A track bar's value beside its caption, as wide as the largest value.
QLabel* TrackBarValue(const char* name, const QString& text, QWidget* parent) {
    QLabel* label = ZMakeBoldLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    label->setMinimumWidth(label->fontMetrics().horizontalAdvance(QStringLiteral("00000")));
    return label;
}

// A combo box that says when its list is about to open.
class ListField : public QComboBox {
public:
    using QComboBox::QComboBox;
    std::function<void()> BeforeOpening;

    void showPopup() override {
        if (BeforeOpening) BeforeOpening();
        QComboBox::showPopup();
    }
};

ListField* EditableList(const char* name, const QString& accessibleName, int contentsLength,
                        QWidget* parent) {
    auto* field = new ListField(parent);
    field->setObjectName(QString::fromLatin1(name));
    field->setEditable(true);
    field->setInsertPolicy(QComboBox::NoInsert);
    field->setAccessibleName(accessibleName);
    field->setMinimumContentsLength(contentsLength);
    // Completion would type for the user.
    field->setCompleter(nullptr);
    return field;
}

}  // namespace

int ZGeneralPage::ModeToItem(int mode) {
    for (int item = 0; item < static_cast<int>(std::size(ModeOfItem)); ++item)
        if (ModeOfItem[item] == mode) return item;
    return 0;
}

uint8_t ZGeneralPage::ItemToMode(int item) {
    return item >= 0 && item < static_cast<int>(std::size(ModeOfItem)) ? ModeOfItem[item]
                                                                       : static_cast<uint8_t>(cmAllBytes);
}

ZGeneralPage::ZGeneralPage(std::function<ZLogger*()> engine, QWidget* parent)
    : QWidget(parent), engine_(std::move(engine)) {
    setObjectName(QStringLiteral("tab_General"));
    auto* pageLayout = new QVBoxLayout(this);
    // Action, Settings, Port side by side.
    auto* topRow = new QHBoxLayout;
    topRow->addWidget(BuildActionGroup());
    topRow->addWidget(BuildSettingsGroup());
    topRow->addWidget(BuildPortGroup(), 1);
    pageLayout->addLayout(topRow);
    pageLayout->addWidget(BuildLogfileGroup());
    BuildCaptureMode(pageLayout);
    Connect();
}

QGroupBox* ZGeneralPage::BuildActionGroup() {
    auto* action = new QGroupBox(tr("Action"), this);
    action->setObjectName(QStringLiteral("grp_Action"));
    auto* actionLayout = new QVBoxLayout(action);
    btn_StartCapture = ZMakeButton("btn_StartCapture", tr("Start capture"), action);
    btn_StopCapture = ZMakeButton("btn_StopCapture", tr("Stop capture"), action);
    btn_StopCapture->setEnabled(false);
    btn_ShowCapture = ZMakeButton("btn_ShowCapture", tr("Show capture window"), action);
    actionLayout->addWidget(btn_StartCapture);
    actionLayout->addWidget(btn_StopCapture);
    actionLayout->addWidget(btn_ShowCapture);
    btn_ShowTerminal = ZMakeButton("btn_ShowTerminal", tr("Show terminal window"), action);
    actionLayout->addWidget(btn_ShowTerminal);
    btn_ShowPlot = ZMakeButton("btn_ShowPlot", tr("Show plot window"), action);
    actionLayout->addWidget(btn_ShowPlot);
    return action;
}

QGroupBox* ZGeneralPage::BuildSettingsGroup() {
    auto* settings = new QGroupBox(tr("Settings"), this);
    settings->setObjectName(QStringLiteral("grp_Settings"));
    auto* settingsLayout = new QVBoxLayout(settings);
    btn_LoadSettings = ZMakeButton("btn_LoadSettings", tr("Load from file"), settings);
    btn_SaveSettings = ZMakeButton("btn_SaveSettings", tr("Save to file"), settings);
    settingsLayout->addWidget(btn_LoadSettings);
    settingsLayout->addWidget(btn_SaveSettings);
    btn_OpenRecording = ZMakeButton("btn_OpenRecording", tr("Open recording..."), settings);
    btn_StopReplay = ZMakeButton("btn_StopReplay", tr("Stop replay"), settings);
    btn_StopReplay->setEnabled(false);
    chk_ReplayLogFiles = new QCheckBox(tr("Also write log files"), settings);
    chk_ReplayLogFiles->setObjectName(QStringLiteral("chk_ReplayLogFiles"));
    chk_RecordedSpeed = new QCheckBox(tr("At recorded speed"), settings);
    chk_RecordedSpeed->setObjectName(QStringLiteral("chk_RecordedSpeed"));
    for (QWidget* control : std::initializer_list<QWidget*>{btn_OpenRecording, btn_StopReplay, chk_ReplayLogFiles,
                                                            chk_RecordedSpeed})
        settingsLayout->addWidget(control);
    settingsLayout->addStretch();
    return settings;
}

QGroupBox* ZGeneralPage::BuildPortGroup() {
    auto* port = new QGroupBox(tr("Port"), this);
    port->setObjectName(QStringLiteral("grp_Port"));
    auto* portLayout = new QGridLayout(port);
    ListField* ports = EditableList("cb_COMPorts", tr("COM port"), 7, port);
    ports->BeforeOpening = [this] { FillPortList(true); };
    cb_COMPorts = ports;
    cb_COMPorts->setEditText(QStringLiteral("---"));
    auto* at = new QLabel(QStringLiteral("@"), port);
    at->setObjectName(QStringLiteral("lbl_At"));
    cb_Baudrates = EditableList("cb_Baudrates", tr("Baud rate"), 12, port);
    btn_PortSettings = ZMakeButton("btn_PortSettings", tr("Extended COM port settings"), port);
    portLayout->addWidget(cb_COMPorts, 0, 0);
    portLayout->addWidget(at, 0, 1);
    portLayout->addWidget(cb_Baudrates, 0, 2);
    portLayout->addWidget(btn_PortSettings, 1, 0, 1, 3);
    portLayout->setRowStretch(2, 1);
    return port;
}

QGroupBox* ZGeneralPage::BuildLogfileGroup() {
    auto* logfile = new QGroupBox(tr("Logfile options"), this);
    logfile->setObjectName(QStringLiteral("grp_LogfileOptions"));
    grp_LogfileOptions = logfile;
    auto* logLayout = new QGridLayout(logfile);
    btn_OutputDir = ZMakeButton("btn_OutputDir", tr("Set output directory"), logfile);
    ed_OutputDir = new QLineEdit(logfile);
    ed_OutputDir->setObjectName(QStringLiteral("ed_OutputDir"));
    ed_OutputDir->setReadOnly(true);
    ed_OutputDir->setAccessibleName(tr("Output directory"));
    ed_OutputDir->setMinimumWidth(360);
    QPalette facePalette = ed_OutputDir->palette();
    facePalette.setColor(QPalette::Base, facePalette.color(QPalette::Button));
    ed_OutputDir->setPalette(facePalette);
    logLayout->addWidget(btn_OutputDir, 0, 0);
    logLayout->addWidget(ed_OutputDir, 0, 1, 1, 3);

    chk_AddTimeStamp = CheckBox("chk_AddTimeStamp", tr("Add timestamp to each captured packet"), logfile);
    chk_LogStartTrigger = CheckBox("chk_LogStartTrigger", tr("Log the start trigger sequence"), logfile);
    chk_LogStopTrigger = CheckBox("chk_LogStopTrigger", tr("Log the stop trigger sequence"), logfile);
    chk_LogDataField = CheckBox("chk_LogDataField", tr("Log the data field between the triggers"), logfile);
    chk_ShowHexOutput = CheckBox("chk_ShowHexOutput", tr("Log captured bytes in HEX format"), logfile);
    chk_ShowASCIIOutput = CheckBox("chk_ShowASCIIOutput", tr("Log captured bytes in ASCII format"), logfile);
    chk_SeparateHexAndASCII =
        CheckBox("chk_SeparateHexAndASCII", tr("Separate files for ASCII and HEX output"), logfile);
    chk_SeparateHexAndASCII->hide();
    // Kept for its setting only: nobody can reach a control that is never shown.
    chk_SeparateHexAndASCII->setFocusPolicy(Qt::NoFocus);
    logLayout->addWidget(chk_AddTimeStamp, 1, 0, 1, 2);
    logLayout->addWidget(chk_LogStartTrigger, 2, 0, 1, 2);
    logLayout->addWidget(chk_LogStopTrigger, 3, 0, 1, 2);
    logLayout->addWidget(chk_LogDataField, 1, 2, 1, 2);
    logLayout->addWidget(chk_ShowHexOutput, 2, 2, 1, 2);
    logLayout->addWidget(chk_ShowASCIIOutput, 3, 2, 1, 2);

    auto* bytesCaption = new QLabel(tr("Max. amount of bytes in one log line:"), logfile);
    lbl_MaxBytesInLogLine = TrackBarValue("lbl_MaxBytesInLogLine", QStringLiteral("16"), logfile);
    tb_MaxBytesInLogLine = TrackBar("tb_MaxBytesInLogLine", 1, 300, logfile);
    tb_MaxBytesInLogLine->setAccessibleName(bytesCaption->text());
    tb_MaxBytesInLogLine->setValue(16);
    bytesCaption->setBuddy(tb_MaxBytesInLogLine);
    auto* linesCaption = new QLabel(tr("Max. amount of lines in one log file:"), logfile);
    lbl_MaxLinesInLogFile = TrackBarValue("lbl_MaxLinesInLogFile", QStringLiteral("100"), logfile);
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

    chk_Reconnect = CheckBox("chk_Reconnect", tr("Reconnect when the port comes back"), logfile);
    chk_RawRecording = CheckBox("chk_RawRecording", tr("Also record the raw bytes"), logfile);
    logLayout->addWidget(chk_Reconnect, 8, 0, 1, 2);
    logLayout->addWidget(chk_RawRecording, 8, 2, 1, 2);
    chk_PreciseTime = CheckBox("chk_PreciseTime", tr("Time stamps to the microsecond"), logfile);
    chk_RawRecordingTimed = CheckBox("chk_RawRecordingTimed", tr("with time stamps (.pcapng)"), logfile);
    logLayout->addWidget(chk_PreciseTime, 9, 0, 1, 2);
    logLayout->addWidget(chk_RawRecordingTimed, 9, 2, 1, 2);
    chk_PcapRecording =
        CheckBox("chk_PcapRecording", tr("Also write a Wireshark capture (.pcapng)"), logfile);
    auto* protocolCaption = new QLabel(tr("Protocol:"), logfile);
    ListField* protocols = EditableList("cb_PcapProtocol", tr("Wireshark protocol"), 10, logfile);
    protocols->BeforeOpening = [this] { AskDissectors(); };
    protocols->setToolTip(tr("The dissector Wireshark decodes each frame with"));
    cb_PcapProtocol = protocols;
    protocolCaption->setBuddy(cb_PcapProtocol);
    auto* pcapRow = new QHBoxLayout;
    pcapRow->addWidget(chk_PcapRecording);
    pcapRow->addWidget(protocolCaption);
    pcapRow->addWidget(cb_PcapProtocol);
    pcapRow->addStretch(1);
    logLayout->addLayout(pcapRow, 10, 2, 1, 2);
    chk_CsvRecording = CheckBox("chk_CsvRecording", tr("Also write the values as CSV"), logfile);
    chk_CsvRecording->setToolTip(
        tr("The values of the fields, beside the log files as "
           "\"<first log file's name>.csv\""));
    logLayout->addWidget(chk_CsvRecording, 10, 0, 1, 2);
    logLayout->setColumnStretch(3, 1);
    return logfile;
}

void ZGeneralPage::BuildCaptureMode(QVBoxLayout* pageLayout) {
    grp_CaptureMode = new QGroupBox(tr("Capture mode"), this);
    grp_CaptureMode->setObjectName(QStringLiteral("grp_CaptureMode"));
    captureModeItems_ = ZMakeRadioItems(
        grp_CaptureMode,
        {tr("Capture all bytes received"), tr("Capture between start an stop triggers"),
         tr("Use only start trigger (fixed size)"), tr("Use only start trigger (dynamic size)"),
         tr("Frames separated by silence"), tr("Frames ending with the stop trigger"),
         tr("SLIP frames (C0 ends a frame)"), tr("COBS frames (00 ends a frame)")},
        QStringLiteral("grp_CaptureMode"));
    pageLayout->addWidget(grp_CaptureMode);

    // The gap of the fifth mode: character times, or milliseconds when not 0.
    auto* gapRow = new QHBoxLayout();
    auto* gapCaption = new QLabel(tr("Silence gap (tenths of a character):"), this);
    ud_SilenceGap = new QSpinBox(this);
    ud_SilenceGap->setObjectName(QStringLiteral("ud_SilenceGap"));
    ud_SilenceGap->setRange(15, 1000);
    ud_SilenceGap->setValue(35);
    gapCaption->setBuddy(ud_SilenceGap);
    auto* gapMsCaption = new QLabel(tr("or ms:"), this);
    ud_SilenceGapMs = new QSpinBox(this);
    ud_SilenceGapMs->setObjectName(QStringLiteral("ud_SilenceGapMs"));
    ud_SilenceGapMs->setRange(0, 60000);
    gapMsCaption->setBuddy(ud_SilenceGapMs);
    gapRow->addWidget(gapCaption);
    gapRow->addWidget(ud_SilenceGap);
    gapRow->addWidget(gapMsCaption);
    gapRow->addWidget(ud_SilenceGapMs);
    gapRow->addStretch(1);
    pageLayout->addLayout(gapRow);
}

void ZGeneralPage::Connect() {
    connect(btn_StartCapture, &QPushButton::clicked, this, &ZGeneralPage::StartCaptureClicked);
    connect(btn_StopCapture, &QPushButton::clicked, this, &ZGeneralPage::StopCaptureClicked);
    connect(btn_ShowCapture, &QPushButton::clicked, this, &ZGeneralPage::ShowCaptureClicked);
    connect(btn_ShowTerminal, &QPushButton::clicked, this, &ZGeneralPage::ShowTerminalClicked);
    connect(btn_ShowPlot, &QPushButton::clicked, this, &ZGeneralPage::ShowPlotClicked);
    connect(btn_OpenRecording, &QPushButton::clicked, this, &ZGeneralPage::OpenRecordingClicked);
    connect(btn_StopReplay, &QPushButton::clicked, this, &ZGeneralPage::StopReplayClicked);
    connect(btn_LoadSettings, &QPushButton::clicked, this, &ZGeneralPage::LoadSettingsClicked);
    connect(btn_SaveSettings, &QPushButton::clicked, this, &ZGeneralPage::SaveSettingsClicked);
    // A half-typed text is no choice yet: the text is taken when chosen from the list,
    // on Enter, when the field loses the focus, and by "Start capture".
    connect(cb_COMPorts, &QComboBox::currentIndexChanged, this, [this] { CommitPortText(); });
    connect(cb_COMPorts->lineEdit(), &QLineEdit::editingFinished, this, [this] { CommitPortText(); });
    connect(cb_Baudrates, &QComboBox::currentIndexChanged, this, [this] { CommitBaudText(); });
    connect(cb_Baudrates->lineEdit(), &QLineEdit::editingFinished, this, [this] { CommitBaudText(); });
    connect(cb_PcapProtocol, &QComboBox::currentIndexChanged, this, [this] { CommitProtocolText(); });
    connect(cb_PcapProtocol->lineEdit(), &QLineEdit::editingFinished, this, [this] { CommitProtocolText(); });
    connect(btn_PortSettings, &QPushButton::clicked, this, [this] { btn_PortSettingsClick(); });
    connect(btn_OutputDir, &QPushButton::clicked, this, [this] { btn_OutputDirClick(); });
    connect(captureModeItems_, &QButtonGroup::idToggled, this, [this](int item, bool checked) {
        if (checked) emit CaptureModeChanged(ItemToMode(item));
    });
    connect(tb_MaxBytesInLogLine, &QSlider::valueChanged, this,
            [this](int position) { lbl_MaxBytesInLogLine->setText(QString::number(position)); });
    connect(tb_MaxLinesInLogFile, &QSlider::valueChanged, this,
            [this](int position) { lbl_MaxLinesInLogFile->setText(QString::number(position)); });
}

QList<QWidget*> ZGeneralPage::TabOrder() const {
    return {btn_StartCapture,
            btn_StopCapture,
            btn_ShowCapture,
            btn_ShowTerminal,
            btn_ShowPlot,
            btn_LoadSettings,
            btn_SaveSettings,
            btn_OpenRecording,
            btn_StopReplay,
            chk_ReplayLogFiles,
            chk_RecordedSpeed,
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
            chk_PreciseTime,
            chk_RawRecordingTimed,
            chk_PcapRecording,
            cb_PcapProtocol,
            chk_CsvRecording,
            captureModeItems_->button(0),
            captureModeItems_->button(1),
            captureModeItems_->button(2),
            captureModeItems_->button(3),
            captureModeItems_->button(4),
            captureModeItems_->button(5),
            captureModeItems_->button(6),
            captureModeItems_->button(7),
            ud_SilenceGap,
            ud_SilenceGapMs};
}

void ZGeneralPage::FillLists() {
    ZLogger* engine = engine_();
    if (engine == nullptr) return;
    FillPortList(false);
    WatchPortFolders();
    const QSignalBlocker rateBlocker(cb_Baudrates);
    std::vector<std::string> list;
    engine->GetBaudrateList(list);
    for (const std::string& rate : list) cb_Baudrates->addItem(ZLocalText(rate));
}

void ZGeneralPage::FillPortList(bool rescan) {
    TPortTable& ports = TPortTable::Global();
    if (rescan) ports.Rescan();
    // Filling a list is no choice of the user's: the port keeps its settings.
    const QSignalBlocker blocker(cb_COMPorts);
    const QString shown = cb_COMPorts->currentText();
    cb_COMPorts->clear();
    for (int n = 1; n <= ports.LastCOM(); ++n)
        if (ports.COMAvailable(n)) cb_COMPorts->addItem(QString::fromStdString(ports.ListName(n)));
    cb_COMPorts->addItem(NetworkPortItem());
    // No item is chosen: whichever the user picks is a change.
    cb_COMPorts->setCurrentIndex(-1);
    cb_COMPorts->setEditText(shown);
}

void ZGeneralPage::WatchPortFolders() {
    if (portFolders_ == nullptr) {
        portFolders_ = new QFileSystemWatcher(this);
        portListRefill_ = new QTimer(this);
        portListRefill_->setSingleShot(true);
        portListRefill_->setInterval(PortListRefillDelayMs);
        connect(portFolders_, &QFileSystemWatcher::directoryChanged, portListRefill_,
                qOverload<>(&QTimer::start));
        connect(portListRefill_, &QTimer::timeout, this, [this] {
            FillPortList(true);
            WatchPortFolders();  // a folder made meanwhile ("serial/by-id" for the first adapter)
        });
    }
    const TSerialPortRoots roots = TSerialPortLocator::SystemRoots();
    QStringList folders;
    for (const std::string& folder : {roots.DevDir, roots.DevDir + "serial/by-id", roots.OverrideDir}) {
        const QString path = QDir::cleanPath(QFile::decodeName(folder.c_str()));
        if (QFileInfo(path).isDir() && !portFolders_->directories().contains(path)) folders << path;
    }
    if (!folders.isEmpty()) portFolders_->addPaths(folders);
}

// ---------------------------------------------------------------------------------
// Settings

void ZGeneralPage::ShowSettings(const ZLoggerSettings& settings) {
    ShowPortState();
    logDir_ = settings.LogDir;
    ed_OutputDir->setText(ZLocalText(logDir_));
    ShowLogDir();
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
    chk_PcapRecording->setChecked(settings.Frames.PcapRecording);
    pcapProtocol_ = settings.Frames.PcapProtocol;
    ShowProtocol();
    chk_CsvRecording->setChecked(settings.Fields.CsvRecording);
    captureModeItems_->button(ModeToItem(settings.CaptureMode))->setChecked(true);
    chk_PreciseTime->setChecked(settings.Frames.PreciseTime);
    chk_RawRecordingTimed->setChecked(settings.Frames.RawRecordingTimed);
    ud_SilenceGap->setValue(settings.Frames.SilenceGap);
    ud_SilenceGapMs->setValue(settings.Frames.SilenceGapMs);
}

void ZGeneralPage::CollectSettings(ZLoggerSettings& settings) const {
    settings.LogDir = logDir_;
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
    settings.Frames.PcapRecording = chk_PcapRecording->isChecked();
    settings.Frames.PcapProtocol = pcapProtocol_;
    settings.Fields.CsvRecording = chk_CsvRecording->isChecked();
    settings.CaptureMode = ItemToMode(captureModeItems_->checkedId());
    settings.Frames.PreciseTime = chk_PreciseTime->isChecked();
    settings.Frames.RawRecordingTimed = chk_RawRecordingTimed->isChecked();
    settings.Frames.SilenceGap = ud_SilenceGap->value();
    settings.Frames.SilenceGapMs = ud_SilenceGapMs->value();
}

void ZGeneralPage::SetCaptureState(bool running) {
    btn_StartCapture->setEnabled(!running);
    btn_StopCapture->setEnabled(running);
    btn_LoadSettings->setEnabled(!running);
    btn_SaveSettings->setEnabled(!running);
    // What the running capture took at its start: changes would be shown but not used.
    for (QWidget* control :
         std::initializer_list<QWidget*>{cb_COMPorts, cb_Baudrates, btn_PortSettings, grp_LogfileOptions,
                                         grp_CaptureMode, ud_SilenceGap, ud_SilenceGapMs})
        control->setEnabled(!running);
    btn_OpenRecording->setEnabled(!running);
    const QString why = running ? tr("A capture is running: stop it to open a recording.") : QString();
    btn_OpenRecording->setToolTip(why);
    btn_OpenRecording->setAccessibleDescription(why);
}

void ZGeneralPage::SetReplayState(bool replaying) {
    SetCaptureState(replaying);
    // A replay has no port to stop, and Stop replay ends it.
    btn_StopCapture->setEnabled(false);
    btn_StopReplay->setEnabled(replaying);
    const QString why = replaying ? tr("A recording is being replayed: stop the replay first.") : QString();
    for (QPushButton* button : {btn_StartCapture, btn_OpenRecording}) {
        button->setToolTip(why);
        button->setAccessibleDescription(why);
    }
}

bool ZGeneralPage::ReplayWritesLogFiles() const { return chk_ReplayLogFiles->isChecked(); }

bool ZGeneralPage::ReplayAtRecordedSpeed() const { return chk_RecordedSpeed->isChecked(); }

void ZGeneralPage::CaptureStopped() {
    btn_StopCapture->setEnabled(false);
}

// ---------------------------------------------------------------------------------
// Port and rate

bool ZGeneralPage::CommitTypedFields() {
    return CommitPortText() && CommitBaudText() && CommitProtocolText();
}

bool ZGeneralPage::CommitPortText() {
    if (engine_() == nullptr) return false;
    if (cb_COMPorts->currentText() == NetworkPortItem()) {
        // The address is typed into the field itself, which now waits for it.
        const QSignalBlocker blocker(cb_COMPorts);
        cb_COMPorts->setEditText(QStringLiteral("rfc2217://"));
        cb_COMPorts->lineEdit()->setFocus();
        return false;
    }
    const bool taken = cb_COMPortsChange(cb_COMPorts->currentText());
    ShowPortNumber();
    return taken;
}

bool ZGeneralPage::CommitBaudText() {
    if (engine_() == nullptr) return false;
    const bool taken = cb_BaudratesChange(cb_Baudrates->currentText());
    ShowBaudrate();
    return taken;
}

bool ZGeneralPage::cb_COMPortsChange(const QString& text) {
    ZLogger& engine = *engine_();
    const std::string typed = text.trimmed().toStdString();
    if (IsNetworkPortAddress(typed)) {
        TNetPortAddress address;
        // A bare scheme is an address not begun: the field shows the port in use again.
        if (typed == "rfc2217://" || typed == "tcp://") return false;
        if (!ParseNetworkPortAddress(typed, address)) {
            ZMessageBox::Error(this, tr("This is not a valid network port address!"));
            return false;
        }
        if (typed == engine.GetNetworkPort()) return true;
        if (engine.IsCapturing())
            ZMessageBox::Information(this, tr("Changes will take effect after restarting the capture..."));
        engine.SetNetworkPort(typed);
        return true;
    }
    int port = 0;
    // A list entry names the port first, then its device.
    const QString number = text.section(u' ', 0, 0);
    if (!number.startsWith(QStringLiteral("COM"), Qt::CaseInsensitive) ||
        !ParseDecimal(number.mid(3), port)) {
        ZMessageBox::Error(this, tr("This is not a valid COM port!"));
        return false;
    }
    if (port == engine.GetCOMPort() && engine.GetNetworkPort().empty()) return true;
    // A port that is not there would only become "no port" and fail at the start.
    if (const std::string refusal = PortRefusalText(port); !refusal.empty()) {
        ZMessageBox::Error(this, ZEngineText(refusal));
        return false;
    }
    if (engine.IsCapturing())
        ZMessageBox::Information(this, tr("Changes will take effect after restarting the capture..."));
    engine.SetNetworkPort("");
    engine.SetCOMPort(port);
    return true;
}

bool ZGeneralPage::cb_BaudratesChange(const QString& text) {
    ZLogger& engine = *engine_();
    int rate = 0;
    // A bare number is a rate as well: typing the unit is no one's habit.
    const bool unit = text.endsWith(QStringLiteral(" Baud"));
    if (!ParseDecimal(unit ? text.left(text.size() - 5) : text, rate) || rate <= 0) {
        ZMessageBox::Error(this, tr("This is not a valid baudrate!"));
        return false;
    }
    if (rate == engine.GetBaudrate()) return true;
    if (engine.IsCapturing())
        ZMessageBox::Information(this, tr("Changes will take effect after restarting the capture..."));
    engine.SetBaudrate(rate);
    return true;
}

void ZGeneralPage::ShowPortState() {
    ShowPortNumber();
    ShowBaudrate();
}

void ZGeneralPage::ShowPortNumber() {
    const ZLogger* engine = engine_();
    if (engine == nullptr) return;
    // Shown, not chosen: the change handlers would write the value straight back.
    const QSignalBlocker blocker(cb_COMPorts);
    const std::string network = engine->GetNetworkPort();
    cb_COMPorts->setEditText(network.empty() ? QStringLiteral("COM") + QString::number(engine->GetCOMPort())
                                             : ZLocalText(network));
}

void ZGeneralPage::ShowBaudrate() {
    const ZLogger* engine = engine_();
    if (engine == nullptr) return;
    const QSignalBlocker blocker(cb_Baudrates);
    cb_Baudrates->setEditText(QString::number(engine->GetBaudrate()) + QStringLiteral(" Baud"));
}

void ZGeneralPage::btn_PortSettingsClick() {
    ZLogger* engine = engine_();
    if (engine == nullptr) return;
    // The dialog lists the ports present now.
    TPortTable::Global().Rescan();
    ZPortDialog dialog(window());
    engine->ShowPortDialog(dialog);
    // The dialog may have changed the rate as well as the port.
    ShowPortState();
}

// ---------------------------------------------------------------------------------
// Log folder

void ZGeneralPage::btn_OutputDirClick() {
    QString directory = ZFileDialog::GetExistingDirectory(this, tr("Select directory to output log data:"),
                                                          QFile::decodeName(logDir_.c_str()));
    if (directory.isEmpty()) return;
    if (!directory.endsWith(u'/')) directory += u'/';
    logDir_ = QFile::encodeName(directory).toStdString();
    ed_OutputDir->setText(directory);
    ShowLogDir();
}

void ZGeneralPage::ShowLogDir() {
    ed_OutputDir->setToolTip(ed_OutputDir->text());
    ed_OutputDir->setCursorPosition(0);
}

// ---------------------------------------------------------------------------------
// Wireshark protocol

bool ZGeneralPage::CommitProtocolText() {
    const std::string typed = cb_PcapProtocol->currentText().trimmed().toStdString();
    std::string error;
    // An emptied field is no name: it shows the one in use again.
    const bool taken = typed.empty() || typed == pcapProtocol_ || ZCheckPcapProtocol(typed, error);
    if (!taken)
        ZMessageBox::Error(this, ZEngineText(error));
    else if (!typed.empty())
        pcapProtocol_ = typed;
    ShowProtocol();
    return taken;
}

void ZGeneralPage::ShowProtocol() {
    const QSignalBlocker blocker(cb_PcapProtocol);
    cb_PcapProtocol->setEditText(QString::fromStdString(pcapProtocol_));
}

void ZGeneralPage::AskDissectors() {
    if (dissectorsAsked_) return;
    dissectorsAsked_ = true;
    // tshark takes a second or more to answer, the window goes on meanwhile; the answer
    // may come after the window has gone.
    ZQtMainThreadDispatcher& window = ZQtMainThreadDispatcher::ForProgram();
    new TZULFuncDecThread(
        false,
        [page = QPointer<ZGeneralPage>(this), &window] {
            auto names = std::make_shared<std::vector<std::string>>();
            const bool listed = ZListDissectors(*names);
            window.Post([page, names, listed] {
                if (page) page->DissectorsArrived(*names, listed);
            });
        },
        false);
}

void ZGeneralPage::DissectorsArrived(const std::vector<std::string>& names, bool listed) {
    const QSignalBlocker blocker(cb_PcapProtocol);
    cb_PcapProtocol->clear();
    std::string ignored;
    for (const std::string& name : names)
        if (ZCheckPcapProtocol(name, ignored)) cb_PcapProtocol->addItem(QString::fromStdString(name));
    cb_PcapProtocol->setCurrentIndex(-1);
    ShowProtocol();
    if (!listed)
        cb_PcapProtocol->setToolTip(
            tr("tshark gave no list of its dissectors (is it installed?): type the dissector's name"));
}
