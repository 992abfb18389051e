#include "Tfrm_Main.h"

#include <QAccessible>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressDialog>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>
#include <utility>
#include <vector>

#include "Funset_strings.h"
#include "Tfrm_Debug.h"
#include "Tfrm_Log.h"
#include "Tfrm_Plot.h"
#include "Tfrm_Term.h"
#include "VerInfo.h"
#include "ZControls.h"
#include "ZEngineText.h"
#include "ZFieldsPage.h"
#include "ZFileDialog.h"
#include "ZGeneralPage.h"
#include "ZLogger.h"
#include "ZMessageBox.h"
#include "ZProxyProgramSide.h"
#include "ZRecordingReplay.h"
#include "ZReportPage.h"
#include "ZSendPage.h"
#include "ZULAppDir.h"

namespace {

constexpr int StatusPumpIntervalMs = 1;
constexpr int StatusPumpMaxCount = 100;
constexpr int StatusPumpResumeCount = 80;
// How often a running capture looks for newly recorded errors: soon enough to seem at
// once, rarely enough to cost nothing.
constexpr int ErrorWatchIntervalMs = 250;
// Counters change at most four times a second: a screen reader announces each change,
// and a user cannot read them faster anyway.
constexpr int StatusShowIntervalMs = 250;
// A start that takes longer than this (a network port connecting) says what it waits for.
constexpr int OpeningNoticeAfterMs = 400;
const char* const LastUsedFile = "_last_used.scs";

QString Truncated(double value) {
    return QString::number(static_cast<long long>(value));
}

QString CountWithBytes(double count, double total) {
    return Tfrm_Main::tr("%1 (%2 bytes)").arg(Truncated(count), Truncated(total));
}

// The engine counts in 32 bits: ten digits, each as wide as the font's widest digit.
QString WidestCount(const QFontMetrics& metrics) {
    QChar widest = u'0';
    for (char16_t digit = u'1'; digit <= u'9'; ++digit)
        if (metrics.horizontalAdvance(QChar(digit)) > metrics.horizontalAdvance(widest))
            widest = QChar(digit);
    return QString(10, widest);
}

// Wide enough for the largest value it can show, so that the fixed-size window never
// has to grow while counting. A counter changes up to 20 times a second, so each
// change is kept cheap: of a fixed size, the label never sends the window's layout
// to work out every size hint again; painting its own background, it does not have
// the group box repainted behind it; not selectable, it lays out no text document.
QLabel* ValueLabel(const char* name, bool withBytes, QWidget* parent) {
    auto* label = new QLabel(QStringLiteral("0"), parent);
    label->setObjectName(QString::fromLatin1(name));
    const QString widest = WidestCount(label->fontMetrics());
    const QString largest = withBytes ? Tfrm_Main::tr("%1 (%2 bytes)").arg(widest, widest) : widest;
    label->setFixedSize(label->fontMetrics().horizontalAdvance(largest), label->sizeHint().height());
    label->setAutoFillBackground(true);
    return label;
}

QString ChecksumCountsText(const QString& good, const QString& bad) {
    return Tfrm_Main::tr("Checksums: %1 good, %2 bad").arg(good, bad);
}

QString ErrorHistoryCaption(int errors) {
    return errors > 0 ? Tfrm_Main::tr("Show error history (%1)").arg(errors)
                      : Tfrm_Main::tr("Show error history");
}

// The text after the last '.' of the name's last component.
bool HasSettingsExtension(const std::string& fileName) {
    const size_t slash = fileName.rfind('/');
    const size_t dot = fileName.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return false;
    const std::string suffix = fileName.substr(dot + 1);
    return QString::fromStdString(suffix).compare(QStringLiteral("scs"), Qt::CaseInsensitive) == 0;
}

}  // namespace

Tfrm_Main::Tfrm_Main(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("frm_Main"));
    BuildWindow();

    tmr_ShowStatus = new QTimer(this);
    tmr_ShowStatus->setSingleShot(true);
    tmr_ShowStatus->setInterval(StatusShowIntervalMs);
    connect(tmr_ShowStatus, &QTimer::timeout, this, &Tfrm_Main::ShowPendingStatus);
    StatusPump = std::make_unique<TStatusPump>(
        false, StatusPumpIntervalMs, true,
        [this](std::vector<std::unique_ptr<sStatusMsg>>& batch) { StatusBatchArrived(batch); }, true,
        StatusPumpMaxCount, StatusPumpResumeCount, &dispatcher_);

    const ZLoggerSettings defaults;
    Logger = std::make_unique<ZLogger>(defaults);
    Logger->SetStatusReceiver(this);
    // The pages were built before the engine: the Send page observes its blocks from now on.
    sendPage_->AttachEngine();
    // The window never asks which files were written: a long capture would only pile up their names.
    Logger->GetLogFileManager().SetKeepWrittenFiles(false);

    generalPage_->FillLists();
    terminalWindow_ = std::make_unique<Tfrm_Term>();
    terminalWindow_->SetSendFunction([this](const std::vector<uint8_t>& bytes, std::string& errorText) {
        return Logger ? Logger->SendBytes(bytes, false, errorText) : ZSendResult::Refused;
    });
    Logger->AddByteObserver(terminalWindow_->ByteObserver());
    plotWindow_ = std::make_unique<Tfrm_Plot>();
    Logger->AddBlockObserver(&plotWindow_->Feed());

    const std::string appDir = ZULGetAppDir();
    const std::string settingsDir = appDir + "settings";
    const std::string outputDir = appDir + "std_log_out";
    SettingsDir = ZLocalText(settingsDir);
    if (!ZULForceDirectories(outputDir)) {
        ZMessageBox::Error(this, tr("Error creating the standard output directory: \n\"%1\"\n\n--->\n\n%2")
                                     .arg(ZLocalText(outputDir), ZEngineText(GetLastErrorText())));
    }
    if (!ZULForceDirectories(settingsDir)) {
        ZMessageBox::Error(this, tr("Error creating the settings directory: \n\"%1\"\n\n--->\n\n%2")
                                     .arg(ZLocalText(settingsDir), ZEngineText(GetLastErrorText())));
    }
    SettingsDir += u'/';

    const std::string lastUsed = appDir + LastUsedFile;
    if (QFileInfo::exists(ZLocalText(lastUsed))) {
        std::string errorText;
        if (!Logger->LoadSettings(lastUsed, errorText)) ZMessageBox::Error(this, ZEngineText(errorText));
    }
    ZLoggerSettings current;
    Logger->GetSettings(current);
    ShowSettings(current);

    reportPage_ = new ZReportPage(*Logger);
    AddPage(reportPage_, tr("Bugreport"));
    AddPage(sendPage_, tr("Send"));
    AddPage(fieldsPage_, tr("Fields"));
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

Tfrm_Main::~Tfrm_Main() {
    // A window destroyed without being closed still ends the engine before the pump
    // and the controls that the pump's messages update.
    if (replayThread_.joinable()) {
        stopReplay_ = true;
        replayThread_.join();
    }
    if (Logger) Logger->SetStatusReceiver(nullptr);
    if (reportPage_) reportPage_->ForgetLogger();
    programSide_.reset();
    Logger.reset();
    if (StatusPump) StatusPump->Terminate();
    StatusPump.reset();
}

void Tfrm_Main::SetCaptureWindow(QWidget* window, IZEntryReceiver* entries) {
    captureWindow_ = window;
    if (auto* log = qobject_cast<Tfrm_Log*>(window)) log->SetViewSettings(viewSettings_);
    if (Logger) Logger->SetEntryReceiver(entries);
}

void Tfrm_Main::AddPage(QWidget* page, const QString& caption) {
    PageControl->addTab(page, caption);
    if (auto* version = page->findChild<QLabel*>(QStringLiteral("lbl_Version")))
        version->setText(QStringLiteral("v ") + ZLocalText(VerInfo().GetVersionString(2)));
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
    generalPage_ = new ZGeneralPage([this] { return Logger.get(); });
    PageControl->addTab(generalPage_, tr("General"));
    PageControl->addTab(BuildTriggerPage(), tr("Frame trigger settings"));
    PageControl->addTab(BuildDataTriggerPage(), tr("Data triggers"));
    // Added as the fifth page once the Bugreport page is in place (see the constructor).
    sendPage_ = new ZSendPage([this] { return Logger.get(); }, this);
    fieldsPage_ = new ZFieldsPage(
        [this](std::vector<uint8_t>& bytes) {
            const auto* log = qobject_cast<const Tfrm_Log*>(captureWindow_);
            return log != nullptr && log->LastDataBlock(bytes);
        },
        this);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(PageControl);
    layout->addWidget(BuildStatusGroup());
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(generalPage_, &ZGeneralPage::StartCaptureClicked, this, [this] { btn_StartCaptureClick(); });
    connect(generalPage_, &ZGeneralPage::StopCaptureClicked, this, [this] { btn_StopCaptureClick(); });
    connect(generalPage_, &ZGeneralPage::ShowCaptureClicked, this, [this] { btn_ShowCaptureClick(); });
    connect(generalPage_, &ZGeneralPage::ShowTerminalClicked, this, [this] { ShowTerminalWindow(); });
    connect(generalPage_, &ZGeneralPage::ShowPlotClicked, this, [this] { ShowPlotWindow(); });
    connect(generalPage_, &ZGeneralPage::OpenRecordingClicked, this, [this] { btn_OpenRecordingClick(); });
    connect(generalPage_, &ZGeneralPage::StopReplayClicked, this, [this] { StopReplay(); });
    connect(generalPage_, &ZGeneralPage::LoadSettingsClicked, this, [this] { btn_LoadSettingsClick(); });
    connect(generalPage_, &ZGeneralPage::SaveSettingsClicked, this, [this] { btn_SaveSettingsClick(); });
    connect(generalPage_, &ZGeneralPage::CaptureModeChanged, this,
            [this](uint8_t mode) { ShowTriggersOfMode(mode); });
    connect(btn_ErrorHistory, &QPushButton::clicked, this, [this] { btn_ErrorHistoryClick(); });
    auto* historyKey = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_E), this);
    connect(historyKey, &QShortcut::activated, btn_ErrorHistory, &QPushButton::click);
    errorWatch_ = new QTimer(this);
    errorWatch_->setInterval(ErrorWatchIntervalMs);
    connect(errorWatch_, &QTimer::timeout, this, [this] { ShowErrorState(); });
    followProgram_ = new QTimer(this);
    followProgram_->setInterval(static_cast<int>(ZProxyProgramSide::FollowInterval.count()));
    connect(followProgram_, &QTimer::timeout, this, [this] {
        // Recorded in the error history by the engine; the button's caption and the
        // status line follow it.
        if (std::string recorded; programSide_ && programSide_->FollowProgram(recorded)) ShowErrorState();
    });

    // Connected after the data trigger page's own handlers, so these run once the grid
    // shows the reset (or, after an added trigger, the rebuilt) counts.
    connect(btn_ResetSelDT, &QPushButton::clicked, this,
            [this] { DataTriggerCountsReset(SelectedGridRow()); });
    connect(btn_ResetAllDT, &QPushButton::clicked, this, [this] { DataTriggerCountsReset(-1); });
    for (QPushButton* add : {btn_AddDTASCII, btn_AddDTHEX}) {
        connect(add, &QPushButton::clicked, this, [this] {
            if (DataTriggers.GetCount() == dataTriggerRowsBased_) return;  // the editor was cancelled
            dataTriggerRowsBased_ = DataTriggers.GetCount();
            DataTriggerCountsReset(-1);
        });
    }

    SetTabOrder();
}

QGroupBox* Tfrm_Main::BuildStatusGroup() {
    grp_Stati = new QGroupBox(tr("Stati"), this);
    grp_Stati->setObjectName(QStringLiteral("grp_Stati"));
    auto* layout = new QVBoxLayout(grp_Stati);
    lbl_TotalBytes = ValueLabel("lbl_TotalBytes", false, grp_Stati);
    lbl_DataPackets = ValueLabel("lbl_DataPackets", true, grp_Stati);
    lbl_BytesThrown = ValueLabel("lbl_BytesThrown", false, grp_Stati);
    lbl_StartTriggers = ValueLabel("lbl_StartTriggers", true, grp_Stati);
    lbl_StopTriggers = ValueLabel("lbl_StopTriggers", true, grp_Stati);
    lbl_BytesSent = ValueLabel("lbl_BytesSent", false, grp_Stati);
    const struct {
        const char* caption;
        QLabel* value;
        int line;
    } cells[] = {{QT_TRANSLATE_NOOP("Tfrm_Main", "Total bytes:"), lbl_TotalBytes, 0},
                 {QT_TRANSLATE_NOOP("Tfrm_Main", "Data packets:"), lbl_DataPackets, 0},
                 {QT_TRANSLATE_NOOP("Tfrm_Main", "Bytes thrown:"), lbl_BytesThrown, 0},
                 {QT_TRANSLATE_NOOP("Tfrm_Main", "Start triggers:"), lbl_StartTriggers, 1},
                 {QT_TRANSLATE_NOOP("Tfrm_Main", "Stop triggers:"), lbl_StopTriggers, 1}};
    // Lines of their own rather than a grid: columns shared by short and long values
    // would make the group wider than the pages above it.
    QHBoxLayout* lines[] = {new QHBoxLayout, new QHBoxLayout, new QHBoxLayout};
    for (const auto& cell : cells) {
        auto* caption = new QLabel(tr(cell.caption), grp_Stati);
        // The value keeps its text as its accessible name; the caption is its label.
        caption->setBuddy(cell.value);
        lines[cell.line]->addWidget(caption);
        lines[cell.line]->addWidget(cell.value);
    }
    auto* sentCaption = new QLabel(tr("Bytes sent:"), grp_Stati);
    sentCaption->setBuddy(lbl_BytesSent);
    lines[1]->addWidget(sentCaption);
    lines[1]->addWidget(lbl_BytesSent);
    btn_ErrorHistory = ZMakeButton("btn_ErrorHistory", ErrorHistoryCaption(0), grp_Stati);
    btn_ErrorHistory->setToolTip(tr("The errors recorded since the program started (Ctrl+E)"));
    lines[2]->addWidget(btn_ErrorHistory);
    lbl_LastError = new QLabel(grp_Stati);
    lbl_LastError->setObjectName(QStringLiteral("lbl_LastError"));
    lbl_LastError->setTextInteractionFlags(Qt::TextSelectableByMouse);
    // An error text of any length must not widen the fixed-size window: it is elided.
    lbl_LastError->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    QPalette alarm = lbl_LastError->palette();
    alarm.setColor(QPalette::WindowText, Qt::darkRed);
    lbl_LastError->setPalette(alarm);
    lines[2]->addWidget(lbl_LastError, 1);
    // As wide as its largest text, like the counters: it is never cut, and counting
    // never widens the window. The first line has the room for it.
    lbl_Checksums = new QLabel(grp_Stati);
    lbl_Checksums->setObjectName(QStringLiteral("lbl_Checksums"));
    const QString widest = WidestCount(lbl_Checksums->fontMetrics());
    lbl_Checksums->setText(ChecksumCountsText(widest, widest));
    lbl_Checksums->setFixedSize(lbl_Checksums->sizeHint());
    lbl_Checksums->setAutoFillBackground(true);
    ShowChecksumCounts(0, 0);
    lines[0]->addWidget(lbl_Checksums);
    lines[0]->addStretch();
    lines[1]->addStretch();
    for (QHBoxLayout* line : lines) layout->addLayout(line);
    return grp_Stati;
}

void Tfrm_Main::SetTabOrder() {
    // The page control is left out: it hands its focus to its tab bar, and naming
    // both would tie them into a loop of their own.
    QList<QWidget*> order = generalPage_->TabOrder();
    order << QList<QWidget*>{btn_SetStartTriggerSize,
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
    order << fieldsPage_->TabOrder() << btn_ErrorHistory;
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
    sendPage_->ShowList(settings.Send);
    generalPage_->ShowSettings(settings);
    fieldsPage_->ShowFields(settings.Fields);
    if (plotWindow_) plotWindow_->SetFields(fieldsPage_->Fields());

    ud_StartTriggerSize->setValue(static_cast<int>(settings.TriggerStart.size()));
    ud_FixedDataSize->setValue(settings.BytesAfterTrigger);
    ud_DataSizeWidth->setMaximum(std::max(settings.AmountOfBytesWidth, 1));
    ud_DataSizeStart->setMaximum(std::max(settings.StartAmountOfBytes, 0));
    ud_DataSizeStart->setValue(settings.StartAmountOfBytes);
    ud_DataSizeWidth->setValue(settings.AmountOfBytesWidth);
    RecheckDynamicLimits();
    chk_DataMSBFirst->setChecked(settings.AmountOfBytesMSBFirst);
    ud_StopTriggerSize->setValue(static_cast<int>(settings.TriggerStop.size()));
    ShowFrameSettings(settings.Frames);
    viewSettings_ = settings.View;
    if (auto* log = qobject_cast<Tfrm_Log*>(captureWindow_)) log->SetViewSettings(viewSettings_);
    if (terminalWindow_) terminalWindow_->SetMaxLines(viewSettings_.TerminalLines);
    if (plotWindow_) plotWindow_->SetViewSettings(viewSettings_);
    btn_SetStartTriggerSize->setEnabled(false);
    btn_SetStopTriggerSize->setEnabled(false);
}

ZLoggerSettings Tfrm_Main::CollectSettings() const {
    ZLoggerSettings settings;
    settings.TriggerStart = StartTrigger;
    settings.TriggerStop = StopTrigger;
    settings.DataTriggers.Assign(DataTriggers);
    settings.Send = sendPage_->List();
    settings.Fields = fieldsPage_->Fields();  // the General page adds its CSV switch
    settings.BytesAfterTrigger = ud_FixedDataSize->value();
    settings.StartAmountOfBytes = ud_DataSizeStart->value();
    settings.AmountOfBytesWidth = ud_DataSizeWidth->value();
    settings.AmountOfBytesMSBFirst = chk_DataMSBFirst->isChecked();
    CollectFrameSettings(settings.Frames);
    const auto* log = qobject_cast<const Tfrm_Log*>(captureWindow_);
    settings.View = log != nullptr ? log->ViewSettings() : viewSettings_;
    settings.View.TerminalLines = viewSettings_.TerminalLines;  // the capture window does not keep it
    settings.View.PlotPoints = viewSettings_.PlotPoints;        // nor the plot window this
    if (plotWindow_) plotWindow_->CollectViewSettings(settings.View);
    generalPage_->CollectSettings(settings);
    return settings;
}

bool Tfrm_Main::LoadSettingsFile(const QString& fileName) {
    return LoadSettingsFile(QFile::encodeName(fileName).toStdString());
}

bool Tfrm_Main::LoadSettingsFile(const std::string& fileName) {
    if (!Logger) return false;
    if (!HasSettingsExtension(fileName)) {
        ZMessageBox::Error(this, tr("Not a valid settings file..."));
        return false;
    }
    std::string errorText;
    if (!Logger->LoadSettings(fileName, errorText)) {
        ZMessageBox::Error(this, ZEngineText(errorText));
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
    if (auto* log = qobject_cast<Tfrm_Log*>(captureWindow_)) {
        log->CaptureStateChanged(running);
        if (running) {
            ZLoggerSettings capture;
            Logger->GetSettings(capture);
            log->SetPreciseTime(capture.Frames.PreciseTime || capture.CaptureMode == cmSilence);
            // A replay takes its lines when its thread begins: the engine's lines say now what it will take.
            QStringList names;
            if (Logger->HasSecondLine())
                for (int line = 0; line < 2; ++line) names << ZLocalText(Logger->GetLineName(line));
            log->SetLineNames(names);
        }
    }
    generalPage_->SetCaptureState(running);
    if (plotWindow_) {
        // the fields may have been edited on their page since the settings were shown
        if (running) plotWindow_->SetFields(fieldsPage_->Fields());
        plotWindow_->CaptureStateChanged(running, replaying_);
    }
    btn_RemoveSelDT->setEnabled(!running);
    btn_RemoveAllDT->setEnabled(!running);
    grp_DTShowAs->setEnabled(!running);
    waitingForPort_ = false;
    portLost_ = false;
    writeProblem_.clear();
    ShowCaptureTitle(running);
    sendPage_->SetPortOpen(running);
    fieldsPage_->SetCaptureState(running);
    if (terminalWindow_) terminalWindow_->CaptureStateChanged(running);
    if (running) {
        for (QLabel* label : {lbl_TotalBytes, lbl_DataPackets, lbl_BytesThrown, lbl_StartTriggers,
                              lbl_StopTriggers, lbl_BytesSent})
            label->setText(QStringLiteral("0"));
        ShowChecksumCounts(0, 0);
        FillDataTriggerGrid();
        dataTriggerBase_.assign(static_cast<size_t>(DataTriggers.GetCount()), 0);
        dataTriggerRowsBased_ = DataTriggers.GetCount();
        ClearLastError();
        errorsShown_ = Logger ? Logger->GetErrorHistory().GetErrorCount() : 0;
        errorWatch_->start();
        ShowErrorState();
    } else {
        ShowErrorState();  // an error of the last moments still shows
        errorWatch_->stop();
    }
}

void Tfrm_Main::ShowErrorState() {
    if (!Logger) return;
    const TZULErrorHistory& history = Logger->GetErrorHistory();
    const int errors = history.GetErrorCount();
    btn_ErrorHistory->setText(ErrorHistoryCaption(errors));
    if (errorWatch_->isActive()) {
        if (const bool lost = Logger->IsPortLost(); lost != portLost_) {
            // A capture without reconnect stays open on a dead port; it must not claim to run.
            portLost_ = lost;
            ShowCaptureTitle(true);
        }
        const QString problem = ZEngineText(Logger->GetLogFileManager().GetWriteProblem());
        if (problem != writeProblem_) {
            if (problem.isEmpty()) ClearLastError();  // files are written again
            writeProblem_ = problem;
            ShowCaptureTitle(true);
        }
    }
    if (errors <= errorsShown_ || !errorWatch_->isActive()) return;
    errorsShown_ = errors;
    const QString text = ZEngineText(history.GetLatestError().Error);
    lbl_LastError->setText(
        lbl_LastError->fontMetrics().elidedText(text, Qt::ElideRight, lbl_LastError->width()));
    lbl_LastError->setToolTip(text);
}

void Tfrm_Main::ClearLastError() {
    lbl_LastError->clear();
    lbl_LastError->setToolTip(QString());
}

void Tfrm_Main::ShowCaptureTitle(bool running) {
    QString title;
    if (!running)
        title = tr("Stati (capture stopped)");
    else if (waitingForPort_)
        title = tr("Stati (waiting for the COM port to come back...)");
    else if (portLost_)
        title = tr("Stati (the COM port was lost \u2014 nothing more is captured until Stop)");
    else if (!writeProblem_.isEmpty())
        // The window keeps its size: a long reason is cut here and read in full in the tooltip.
        title = tr("Stati (capture in progress \u2014 log files are NOT written: %1)")
                    .arg(grp_Stati->fontMetrics().elidedText(writeProblem_, Qt::ElideRight,
                                                             grp_Stati->width() / 2));
    else if (replaying_)
        title = replayTimed_ ? tr("Stati (replaying a recording at its recorded times...)")
                             : tr("Stati (replaying a recording at the time of the replay...)");
    else
        title = tr("Stati (capture in progress...)");
    grp_Stati->setTitle(title);
    grp_Stati->setToolTip(writeProblem_);
}

void Tfrm_Main::ShowChecksumCounts(double good, double bad) {
    lbl_Checksums->setText(ChecksumCountsText(Truncated(good), Truncated(bad)));
}

void Tfrm_Main::DataTriggerCountsReset(int row) {
    if (!Logger) return;
    const int rows = DataTriggers.GetCount();
    if (dataTriggerBase_.size() < static_cast<size_t>(rows))
        dataTriggerBase_.resize(static_cast<size_t>(rows), 0);
    for (int index = row < 0 ? 0 : row; index < (row < 0 ? rows : std::min(row + 1, rows)); ++index)
        dataTriggerBase_[static_cast<size_t>(index)] = Logger->DataTriggerMatchesSoFar(index);
}

void Tfrm_Main::btn_StartCaptureClick() {
    if (!Logger || replaying_) return;
    // A typed port, rate or protocol that was never confirmed is taken now, or the start is called off.
    if (!generalPage_->CommitTypedFields()) return;
    const ZLoggerSettings settings = CollectSettings();
    if (std::string error; !settings.CheckTriggers(error)) {
        ZMessageBox::Error(this, ZEngineText(error));
        return;
    }
    ZLoggerSettings started = settings;
    if (!settings.ProxyLink.empty() && !PrepareProgramSide(started)) return;
    Logger->SetSettings(started);
    if (StartCaptureAside()) {
        if (programSide_ && !ServeProgram(settings.ProxyLink)) return;
        SetCaptureState(true);
        return;
    }
    EndProgramSide();
    if (!Logger->GetStartErrorText().empty()) {
        ZMessageBox::Error(this, ZEngineText(Logger->GetStartErrorText()));
        return;
    }
    // On Linux the reason (no permission, in use, unplugged) is what the user can act on.
    QString text = tr("The COM port could not be opened...");
    const std::string reason = Logger->GetOpenFailureText();
    if (!reason.empty()) text += QStringLiteral("\n\n") + ZEngineText(reason);
    ZMessageBox::Error(this, text);
}

bool Tfrm_Main::StartCaptureAside() {
    // Opening a network port connects and negotiates, which may take seconds: it runs on a
    // thread of its own while the window goes on painting. What the user types or clicks
    // meanwhile waits until the start is decided, so nothing changes under it.
    const std::string network = Logger->GetNetworkPort();
    QProgressDialog progress(network.empty() ? tr("Opening COM%1...").arg(Logger->GetCOMPort())
                                             : tr("Connecting to %1...").arg(ZLocalText(network)),
                             QString(), 0, 0, this);
    progress.setObjectName(QStringLiteral("dlg_Opening"));
    progress.setAccessibleName(tr("Opening the COM port"));
    progress.setWindowTitle(tr("Start capture"));
    progress.setWindowModality(Qt::WindowModal);
    // A quick open shows nothing.
    QTimer::singleShot(OpeningNoticeAfterMs, &progress, [&progress] { progress.show(); });
    QEventLoop waiting;
    bool started = false;
    ZLogger* logger = Logger.get();
    starting_ = true;
    std::thread opener([&] {
        started = logger->StartCapture();
        QMetaObject::invokeMethod(&waiting, &QEventLoop::quit, Qt::QueuedConnection);
    });
    waiting.exec(QEventLoop::ExcludeUserInputEvents);
    opener.join();
    starting_ = false;
    // A close asked for meanwhile (a signal, the window manager) comes now.
    if (std::exchange(closeAfterStart_, false)) QTimer::singleShot(0, this, &QWidget::close);
    return started;
}

bool Tfrm_Main::PrepareProgramSide(ZLoggerSettings& settings) {
    if (Logger->HasSecondLine()) {
        ZMessageBox::Error(this, tr("A program can be served only without a second line of its own: the "
                                    "program's side is the second line. Take one of the two back."));
        return false;
    }
    if (std::string refusal; !ZProxyProgramSide::CheckLinkPath(settings.ProxyLink, refusal)) {
        ZMessageBox::Error(this, ZEngineText(refusal));
        return false;
    }
    // Forwarding waits on both ports: a byte goes on as soon as it is there.
    settings.Frames.PreciseTime = true;
    programSide_ = std::make_unique<ZProxyProgramSide>(*Logger);
    programSide_->ConfigureLines();
    return true;
}

bool Tfrm_Main::ServeProgram(const std::string& link) {
    std::string failure;
    if (programSide_->Serve(link, failure)) {
        followProgram_->start();
        return true;
    }
    Logger->StopCapture();
    EndProgramSide();
    ZMessageBox::Error(this, ZEngineText(failure));
    return false;
}

void Tfrm_Main::EndProgramSide() {
    if (!programSide_) return;
    followProgram_->stop();
    programSide_->End();
    programSide_->RestoreLines();
    programSide_.reset();
    generalPage_->ShowPortState();
}

void Tfrm_Main::btn_StopCaptureClick() {
    if (!Logger) return;
    if (!Logger->StopCapture()) {
        ZMessageBox::Error(this, tr("Capture could not be stopped!"));
        return;
    }
    EndProgramSide();
    generalPage_->CaptureStopped();
    // The events processed here may close the window, which ends the engine and the pump.
    while (Logger && !StatusPump->IsEmpty()) QApplication::processEvents();
    ShowPendingStatus();
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
    ShowChecksumCounts(logger.ChecksumGood, logger.ChecksumBad);
    // Rows are removed only while stopped and added at the end, so row i is still trigger i.
    const int rows = std::min(
        {DTrgList->rowCount(), DataTriggers.GetCount(), static_cast<int>(logger.DataTriggerCounts.size())});
    for (int row = 0; row < rows; ++row) {
        const auto index = static_cast<size_t>(row);
        const uint32_t counted = logger.DataTriggerCounts[index];
        const uint32_t base =
            index < dataTriggerBase_.size() ? std::min(dataTriggerBase_[index], counted) : 0;
        if (QTableWidgetItem* cell = DTrgList->item(row, 1)) cell->setText(QString::number(counted - base));
    }
}

bool Tfrm_Main::PostStatus(uint8_t kind, const std::string& text, double count, double total,
                           signed char priority) {
    const bool counter = ZPendingTotals::IsCounterKind(kind);
    if (counter && pendingTotals_.Ride(kind, count, total)) return true;
    auto message = std::make_unique<sStatusMsg>();
    message->Kind = kind;
    message->Text = text;
    message->Count = count;
    message->Total = total;
    if (StatusPump->Post(message, priority)) return true;
    if (counter) pendingTotals_.Refused(kind);
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
            ShowChecksumCounts(message->Count, message->Total);
            break;
        case 7:
            // A late message of a capture that has stopped must not say it runs.
            if (Logger && Logger->IsCapturing()) {
                waitingForPort_ = !message->Text.empty();
                ShowCaptureTitle(true);
                // Said at once, whatever has the focus: the capture's state changed by itself.
                QAccessibleEvent alert(grp_Stati, QAccessible::Alert);
                QAccessible::updateAccessibility(&alert);
                // The loss was the reason shown; with the port back it no longer holds.
                if (!waitingForPort_) ClearLastError();
            }
            break;
        case 5:
            AddDataTriggerMatches(static_cast<long long>(message->Count), 1);
            break;
        case 8:
            lbl_BytesSent->setText(Truncated(message->Total));
            break;
        default:
            break;
    }
}

void Tfrm_Main::StatusBatchArrived(std::vector<std::unique_ptr<sStatusMsg>>& batch) {
    // Every kind but the data trigger matches carries running totals: only the newest of
    // each is worth showing.
    for (std::unique_ptr<sStatusMsg>& message : batch) {
        if (message->Kind == 5) {
            pendingMatches_[static_cast<long long>(message->Count)] += 1;
            continue;
        }
        if (ZPendingTotals::IsCounterKind(message->Kind))
            pendingTotals_.Arrived(message->Kind, message->Count, message->Total);
        if (message->Kind < std::size(newestStatus_)) newestStatus_[message->Kind] = std::move(message);
    }
    if (!tmr_ShowStatus->isActive()) tmr_ShowStatus->start();
}

void Tfrm_Main::ShowPendingStatus() {
    tmr_ShowStatus->stop();
    for (std::unique_ptr<sStatusMsg>& message : newestStatus_)
        if (message) StatusArrived(std::move(message));
    for (const auto& [row, matches] : pendingMatches_) AddDataTriggerMatches(row, matches);
    pendingMatches_.clear();
}

void Tfrm_Main::AddDataTriggerMatches(long long row, long long matches) {
    if (row < 0 || row >= DTrgList->rowCount()) return;
    QTableWidgetItem* cell = DTrgList->item(static_cast<int>(row), 1);
    if (!cell || cell->text().isEmpty()) return;  // the blank row of an empty list
    cell->setText(QString::number(cell->text().toLongLong() + matches));
}

// ---------------------------------------------------------------------------------
// Files, windows

void Tfrm_Main::btn_LoadSettingsClick() {
    const QString fileName = ZFileDialog::GetOpenFileName(this, tr("Load settings"), SettingsDir, QString(),
                                                          QStringLiteral("scs"));
    if (fileName.isEmpty()) return;
    LoadSettingsFile(fileName);
}

void Tfrm_Main::btn_SaveSettingsClick() {
    if (!Logger) return;
    const QString fileName = ZFileDialog::GetSaveFileName(
        this, tr("Save settings"), SettingsDir, tr("Serial Capture Settings (*.scs)"), QStringLiteral("scs"));
    if (fileName.isEmpty()) return;
    Logger->SetSettings(CollectSettings());
    std::string errorText;
    if (!Logger->SaveSettings(ZLocalBytes(fileName), true, errorText))
        ZMessageBox::Error(this, ZEngineText(errorText));
}

void Tfrm_Main::btn_ShowCaptureClick() {
    if (!captureWindow_) return;
    captureWindow_->show();
    captureWindow_->raise();
    captureWindow_->activateWindow();
}

void Tfrm_Main::ShowPlotWindow() {
    if (!plotWindow_) return;
    plotWindow_->show();
    plotWindow_->raise();
    plotWindow_->activateWindow();
}

void Tfrm_Main::btn_OpenRecordingClick() {
    const QString fileName = ZFileDialog::GetOpenFileName(
        this, tr("Open recording"), QString(), tr("Recordings (*.bin *.pcapng);;All files (*)"), QString());
    if (!fileName.isEmpty()) OpenRecording(fileName);
}

bool Tfrm_Main::OpenRecording(const QString& fileName) {
    if (!Logger || replaying_ || starting_) return false;
    if (Logger->IsCapturing()) {
        ZMessageBox::Error(this, tr("A capture is running: stop it to open a recording."));
        return false;
    }
    if (!generalPage_->CommitTypedFields()) return false;
    const ZLoggerSettings settings = CollectSettings();
    if (std::string error; !settings.CheckTriggers(error)) {
        ZMessageBox::Error(this, ZEngineText(error));
        return false;
    }
    Logger->SetSettings(settings);
    auto recording = std::make_shared<ZRecordingReplay>();
    std::string errorText;
    ZRecordingReplay::Refusal why = ZRecordingReplay::Refusal::None;
    if (!recording->Open(ZLocalBytes(fileName), settings.CaptureMode, errorText, why)) {
        ZMessageBox::Error(this, ZEngineText(errorText));
        return false;
    }
    Logger->SetWriteLogFiles(generalPage_->ReplayWritesLogFiles());
    replaying_ = true;
    replayTimed_ = recording->Timed();
    stopReplay_ = false;
    replayFailure_.clear();
    SetCaptureState(true);
    generalPage_->SetReplayState(true);
    sendPage_->SetPortOpen(false);
    if (terminalWindow_) terminalWindow_->CaptureStateChanged(false);
    ZLogger* logger = Logger.get();
    const bool recordedSpeed = generalPage_->ReplayAtRecordedSpeed();
    replayThread_ = std::thread([this, logger, recording, recordedSpeed] {
        logger->BeginReplay();
        // The chunk of a read of the port at its usual size: frames cut as a capture cuts them.
        constexpr int ChunkSize = 4096;
        const ZRecordingReplay::Result result =
            recording->Feed(*logger, ChunkSize, [this] { return stopReplay_.load(); }, recordedSpeed);
        logger->EndReplay();
        if (result == ZRecordingReplay::Result::ReadFailed) replayFailure_ = recording->ReadFailure();
        QMetaObject::invokeMethod(this, [this] { ReplayFinished(); }, Qt::QueuedConnection);
    });
    return true;
}

void Tfrm_Main::StopReplay() { stopReplay_ = true; }

void Tfrm_Main::ReplayFinished() {
    if (!replayThread_.joinable()) return;
    replayThread_.join();
    if (!Logger) return;
    Logger->SetWriteLogFiles(true);
    while (!StatusPump->IsEmpty()) QApplication::processEvents();
    ShowPendingStatus();
    ShowFinalCounts();
    replaying_ = false;
    SetCaptureState(false);
    generalPage_->SetReplayState(false);
    if (!replayFailure_.empty()) ZMessageBox::Error(this, ZEngineText(replayFailure_));
}

void Tfrm_Main::ShowTerminalWindow() {
    if (!terminalWindow_) return;
    terminalWindow_->show();
    terminalWindow_->raise();
    terminalWindow_->activateWindow();
}

void Tfrm_Main::btn_ErrorHistoryClick() {
    if (!Logger) return;
    Tfrm_Debug window(this);
    errorWindow_ = &window;
    window.ShowHistory(&Logger->GetErrorHistory());
    window.exec();
    errorWindow_ = nullptr;
    ShowErrorState();
}

void Tfrm_Main::closeEvent(QCloseEvent* event) {
    // The engine is in use by the start until it is decided: at most the port's time limit.
    if (starting_) {
        closeAfterStart_ = true;
        event->ignore();
        return;
    }
    FormClose();
    event->accept();
}

void Tfrm_Main::FormClose() {
    if (!Logger) return;  // closed already
    if (replayThread_.joinable()) {
        stopReplay_ = true;
        replayThread_.join();
        replaying_ = false;
    }
    Logger->StopCapture();
    EndProgramSide();
    Logger->SetSettings(CollectSettings());
    std::string errorText;
    if (!Logger->SaveSettings(ZULGetAppDir() + LastUsedFile, true, errorText))
        ZMessageBox::Error(this, ZEngineText(errorText));
    reportPage_->ForgetLogger();
    // The error history goes with the engine; a window still showing it lets it go first.
    if (errorWindow_) errorWindow_->ForgetHistory();
    Logger.reset();
    StartTrigger.clear();
    StopTrigger.clear();
    StatusPump->Terminate();
    emit FormClosed();
}
