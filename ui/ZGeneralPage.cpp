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

#include "SerialPortLocator.h"
#include "TPortTable.h"
#include "ZControls.h"
#include "ZEngineText.h"
#include "ZFileDialog.h"
#include "ZFramePcap.h"
#include "ZLinePortFields.h"
#include "ZListField.h"
#include "ZLogger.h"
#include "ZMessageBox.h"
#include "ZPcapDissectors.h"
#include "ZProxyProgramSide.h"
#include "ZQtMainThreadDispatcher.h"
#include "ZULFuncDecThread.h"

namespace {

// udev makes a device's node first and its links after: one refill for the burst.
constexpr int PortListRefillDelayMs = 300;

// grp_CaptureMode item -> stored capture mode.
constexpr uint8_t ModeOfItem[8] = {cmAllBytes, cmBetweenTriggers,  cmFixedSize, cmDynamicSize,
                                   cmSilence,  cmUntilStopTrigger, cmSlip,      cmCobs};

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
    // The lines beside them: the port above, the second line (or the program served) below.
    auto* lines = new QVBoxLayout;
    lines->addWidget(BuildPortGroup());
    lines->addWidget(BuildSecondLineGroup(), 1);
    topRow->addLayout(lines, 1);
    pageLayout->addLayout(topRow);
    pageLayout->addWidget(BuildLogfileGroup());
    BuildCaptureMode(pageLayout);
    Connect();
}

ZGeneralPage::~ZGeneralPage() = default;

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
    linePorts_[0] = std::make_unique<ZLinePortFields>(engine_, 0, port);
    auto* at = new QLabel(QStringLiteral("@"), port);
    at->setObjectName(QStringLiteral("lbl_At"));
    portLayout->addWidget(linePorts_[0]->Ports(), 0, 0);
    portLayout->addWidget(at, 0, 1);
    portLayout->addWidget(linePorts_[0]->Rates(), 0, 2);
    portLayout->addWidget(linePorts_[0]->SettingsButton(), 1, 0, 1, 3);
    portLayout->setRowStretch(2, 1);
    return port;
}

QGroupBox* ZGeneralPage::BuildSecondLineGroup() {
    grp_SecondLine = new QGroupBox(tr("Second line (the other direction)"), this);
    grp_SecondLine->setObjectName(QStringLiteral("grp_SecondLine"));
    auto* layout = new QGridLayout(grp_SecondLine);
    chk_SecondLine = CheckBox("chk_SecondLine", tr("Capture a second line:"), grp_SecondLine);
    linePorts_[1] = std::make_unique<ZLinePortFields>(engine_, 1, grp_SecondLine);
    auto* at = new QLabel(QStringLiteral("@"), grp_SecondLine);
    layout->addWidget(chk_SecondLine, 0, 0);
    layout->addWidget(linePorts_[1]->Ports(), 0, 1);
    layout->addWidget(at, 0, 2);
    layout->addWidget(linePorts_[1]->Rates(), 0, 3);
    layout->addWidget(linePorts_[1]->SettingsButton(), 0, 4);
    const QString nameCaptions[2] = {tr("Name of the first line:"), tr("Name of the second line:")};
    auto* names = new QHBoxLayout;
    for (int line = 0; line < 2; ++line) {
        auto* caption = new QLabel(nameCaptions[line], grp_SecondLine);
        ed_LineName[line] = new QLineEdit(grp_SecondLine);
        ed_LineName[line]->setObjectName(QStringLiteral("ed_LineName%1").arg(line));
        ed_LineName[line]->setAccessibleName(caption->text());
        ed_LineName[line]->setToolTip(tr("Empty: the line takes its port's name"));
        caption->setBuddy(ed_LineName[line]);
        names->addWidget(caption);
        names->addWidget(ed_LineName[line], 1);
    }
    layout->addLayout(names, 1, 0, 1, 5);
    auto* proxyCaption = new QLabel(tr("Serve this port to a program at:"), grp_SecondLine);
    ed_ProxyLink = new QLineEdit(grp_SecondLine);
    ed_ProxyLink->setObjectName(QStringLiteral("ed_ProxyLink"));
    ed_ProxyLink->setAccessibleName(proxyCaption->text());
    ed_ProxyLink->setPlaceholderText(tr("a path that does not exist yet, e.g. /tmp/ttyDEVICE"));
    proxyCaption->setBuddy(ed_ProxyLink);
    btn_ProxyLink = ZMakeButton("btn_ProxyLink", QStringLiteral("..."), grp_SecondLine);
    btn_ProxyLink->setAccessibleName(tr("Choose the path to serve the port at"));
    btn_ProxyLink->setToolTip(btn_ProxyLink->accessibleName());
    btn_ProxyLink->setMaximumWidth(btn_ProxyLink->fontMetrics().horizontalAdvance(QStringLiteral("....")) + 16);
    auto* served = new QHBoxLayout;
    served->addWidget(proxyCaption);
    served->addWidget(ed_ProxyLink, 1);
    served->addWidget(btn_ProxyLink);
    layout->addLayout(served, 2, 0, 1, 5);
    lbl_ProxyNote = new QLabel(
        tr("A program served is the second line: device to program is \"device\", program to device "
           "\"program\". Serving and a second line of its own exclude each other."),
        grp_SecondLine);
    lbl_ProxyNote->setObjectName(QStringLiteral("lbl_ProxyNote"));
    lbl_ProxyNote->setWordWrap(true);
    layout->addWidget(lbl_ProxyNote, 3, 0, 1, 5);
    layout->setColumnStretch(1, 1);
    layout->setColumnStretch(3, 1);
    layout->setRowStretch(4, 1);
    return grp_SecondLine;
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
    auto* protocols = new ZListField("cb_PcapProtocol", tr("Wireshark protocol"), 10, logfile);
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
    connect(cb_PcapProtocol, &QComboBox::currentIndexChanged, this, [this] { CommitProtocolText(); });
    connect(cb_PcapProtocol->lineEdit(), &QLineEdit::editingFinished, this, [this] { CommitProtocolText(); });
    connect(chk_SecondLine, &QCheckBox::toggled, this, [this](bool checked) {
        if (ZLogger* engine = engine_()) engine->SetSecondLine(checked);
        ShowExclusion();
    });
    for (int line = 0; line < 2; ++line) {
        connect(ed_LineName[line], &QLineEdit::editingFinished, this, [this, line] { TakeLineName(line); });
        linePorts_[line]->PortShown = [this] { ShowLineNames(); };
    }
    connect(ed_ProxyLink, &QLineEdit::textChanged, this, [this] { ShowExclusion(); });
    connect(btn_ProxyLink, &QPushButton::clicked, this, [this] { btn_ProxyLinkClick(); });
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
            linePorts_[0]->Ports(),
            linePorts_[0]->Rates(),
            linePorts_[0]->SettingsButton(),
            chk_SecondLine,
            linePorts_[1]->Ports(),
            linePorts_[1]->Rates(),
            linePorts_[1]->SettingsButton(),
            ed_LineName[0],
            ed_LineName[1],
            ed_ProxyLink,
            btn_ProxyLink,
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
    if (engine_() == nullptr) return;
    FillPortLists(false);
    WatchPortFolders();
    for (const auto& fields : linePorts_) fields->FillRates();
}

void ZGeneralPage::FillPortLists(bool rescan) {
    linePorts_[0]->FillPorts(rescan);
    // One scan serves both lists.
    linePorts_[1]->FillPorts(false);
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
            FillPortLists(true);
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
    ed_ProxyLink->setText(ZLocalText(settings.ProxyLink));
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
    settings.ProxyLink = ZLocalBytes(ed_ProxyLink->text());
}

void ZGeneralPage::SetCaptureState(bool running) {
    btn_StartCapture->setEnabled(!running);
    btn_StopCapture->setEnabled(running);
    btn_LoadSettings->setEnabled(!running);
    btn_SaveSettings->setEnabled(!running);
    // What the running capture took at its start: changes would be shown but not used.
    for (QWidget* control :
         std::initializer_list<QWidget*>{grp_LogfileOptions, grp_CaptureMode, ud_SilenceGap, ud_SilenceGapMs})
        control->setEnabled(!running);
    capturing_ = running;
    linePorts_[0]->SetEnabled(!running);
    ShowExclusion();
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
    if (!linePorts_[0]->Commit()) return false;
    // The second line's fields are not in use while it is off.
    if (chk_SecondLine->isChecked() && !linePorts_[1]->Commit()) return false;
    for (int line = 0; line < 2; ++line) TakeLineName(line);
    return CommitProtocolText();
}

void ZGeneralPage::ShowPortState() {
    for (const auto& fields : linePorts_) fields->ShowState();
    ShowSecondLine();
}

// ---------------------------------------------------------------------------------
// Second line and the program served

void ZGeneralPage::ShowSecondLine() {
    const ZLogger* engine = engine_();
    if (engine == nullptr) return;
    {
        const QSignalBlocker blocker(chk_SecondLine);
        chk_SecondLine->setChecked(engine->HasSecondLine());
    }
    for (int line = 0; line < 2; ++line) ed_LineName[line]->setText(ZLocalText(engine->GetSetLineName(line)));
    ShowLineNames();
    ShowExclusion();
}

void ZGeneralPage::ShowLineNames() {
    const ZLogger* engine = engine_();
    if (engine == nullptr || ed_LineName[1] == nullptr) return;
    const bool serving = !ed_ProxyLink->text().isEmpty() && !chk_SecondLine->isChecked();
    const char* const servedNames[2] = {ZProxyProgramSide::DeviceLineName, ZProxyProgramSide::ProgramLineName};
    // An empty name is the port's own: the field shows it faintly.
    for (int line = 0; line < 2; ++line) {
        ed_LineName[line]->setPlaceholderText(serving ? QString::fromLatin1(servedNames[line])
                                                      : ZLocalText(engine->GetLineName(line)));
        const QString shown = ed_LineName[line]->text().isEmpty() ? ed_LineName[line]->placeholderText()
                                                                  : ed_LineName[line]->text();
        ed_LineName[line]->setAccessibleDescription(shown);
    }
}

void ZGeneralPage::TakeLineName(int line) {
    ZLogger* engine = engine_();
    if (engine == nullptr || capturing_) return;
    const std::string name = ZLocalBytes(ed_LineName[line]->text().trimmed());
    if (name != engine->GetSetLineName(line)) engine->SetLineName(line, name);
    ShowLineNames();
}

void ZGeneralPage::ShowExclusion() {
    if (ed_ProxyLink == nullptr) return;
    const bool second = chk_SecondLine->isChecked();
    const bool serving = !ed_ProxyLink->text().isEmpty();
    // Each leaves the other open only while it is off; settings that hold both show both
    // open, so that the user can take one back (a start is refused until then).
    chk_SecondLine->setEnabled(!capturing_ && (second || !serving));
    linePorts_[1]->SetEnabled(!capturing_ && second);
    ed_ProxyLink->setEnabled(!capturing_ && (serving || !second));
    btn_ProxyLink->setEnabled(ed_ProxyLink->isEnabled());
    for (QLineEdit* name : ed_LineName) name->setEnabled(!capturing_ && !(serving && !second));
    const QString why = serving && !second ? tr("A program is served: its side is the second line.")
                        : second && !serving
                            ? tr("A second line is captured: a program cannot be served as well.")
                            : QString();
    for (QWidget* control : std::initializer_list<QWidget*>{chk_SecondLine, ed_ProxyLink}) {
        control->setToolTip(control->isEnabled() ? QString() : why);
        control->setAccessibleDescription(control->isEnabled() ? QString() : why);
    }
    ShowLineNames();
}

void ZGeneralPage::btn_ProxyLinkClick() {
    const QString path = ZFileDialog::GetSaveFileName(this, tr("Serve this port to a program at:"),
                                                      ed_ProxyLink->text(), QString(), QString());
    if (!path.isEmpty()) ed_ProxyLink->setText(path);
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
