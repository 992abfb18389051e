#include "ZScriptPane.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "ZControls.h"
#include "ZFileDialog.h"
#include "ZLogger.h"

namespace {

constexpr int DoneIntervalMs = 100;
// Lines the pane keeps; a chatty script never fills the memory.
constexpr int MaxOutputLines = 10000;

QString Q(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

ZScriptPane::ZScriptPane(std::function<ZLogger*()> engine, QWidget* parent)
    : QGroupBox(tr("Script"), parent), engine_(std::move(engine)), queue_(false, false) {
    setObjectName(QStringLiteral("ScriptPane"));
    // It takes frames only while a script runs.
    queue_.Stop();

    btn_RunScript = ZMakeButton("btn_RunScript", tr("Run script..."), this);
    btn_RunScript->setToolTip(tr("Runs a Lua script against the running capture"));
    btn_StopScript = ZMakeButton("btn_StopScript", tr("Stop"), this);
    btn_StopScript->setAccessibleName(tr("Stop the script"));
    txt_ScriptOutput = new QPlainTextEdit(this);
    txt_ScriptOutput->setObjectName(QStringLiteral("txt_ScriptOutput"));
    txt_ScriptOutput->setAccessibleName(tr("Output of the script"));
    txt_ScriptOutput->setReadOnly(true);
    txt_ScriptOutput->setMaximumBlockCount(MaxOutputLines);
    txt_ScriptOutput->setTabChangesFocus(true);

    auto* layout = new QVBoxLayout(this);
    auto* buttons = new QHBoxLayout();
    buttons->addWidget(btn_RunScript);
    buttons->addWidget(btn_StopScript);
    buttons->addStretch();
    layout->addLayout(buttons);
    layout->addWidget(txt_ScriptOutput);

    tmr_Script = new QTimer(this);
    tmr_Script->setObjectName(QStringLiteral("tmr_Script"));
    tmr_Script->setInterval(DoneIntervalMs);
    connect(tmr_Script, &QTimer::timeout, this, [this] { CheckDone(); });
    connect(btn_RunScript, &QPushButton::clicked, this, [this] { ChooseAndRun(); });
    connect(btn_StopScript, &QPushButton::clicked, this, [this] { StopScript(); });
    ShowButtons();
}

ZScriptPane::~ZScriptPane() {
    if (host_) host_->Stop();
}

void ZScriptPane::AttachEngine() {
    // Among the observers for good: they may change only while no capture runs.
    if (ZLogger* current = engine_()) current->AddBlockObserver(&queue_);
}

void ZScriptPane::SetPortOpen(bool open) {
    portOpen_ = open;
    if (!open && host_) StopScript();
    ShowButtons();
}

void ZScriptPane::ShowButtons() {
    btn_RunScript->setEnabled(portOpen_ && !host_);
    btn_StopScript->setEnabled(host_ != nullptr);
}

void ZScriptPane::ChooseAndRun() {
    const QString file = ZFileDialog::GetOpenFileName(this, tr("Run script"), Q(scriptFile_),
                                                      tr("Lua scripts (*.lua)"), QStringLiteral("lua"));
    if (!file.isEmpty()) Run(file);
}

void ZScriptPane::Run(const QString& file) {
    ZLogger* engine = engine_();
    if (host_ || engine == nullptr || !portOpen_) return;
    scriptFile_ = file.toStdString();
    ZLoggerSettings settings;
    engine->GetSettings(settings);
    queue_.SetStopTriggerEndsFrame(ZStopTriggerEndsFrame(settings.CaptureMode));
    target_ = std::make_unique<ZScriptCaptureTarget>(*engine, false);
    // print() comes on the script's thread; the pane shows it on the window thread.
    host_ = std::make_unique<ZScriptHost>(queue_, *target_, ZScriptLimits(), [this](const std::string& line) {
        QString text = Q(line);
        if (text.endsWith(QLatin1Char('\n'))) text.chop(1);
        QMetaObject::invokeMethod(this, [this, text] { Append(text); }, Qt::QueuedConnection);
    });
    std::string error;
    if (!host_->Load(scriptFile_, error)) {
        Append(Q(error));
        host_.reset();
        target_.reset();
        return;
    }
    Append(tr("Running %1").arg(QFileInfo(file).fileName()));
    queue_.Rearm();
    host_->Begin();
    tmr_Script->start();
    ShowButtons();
}

void ZScriptPane::StopScript() {
    if (!host_) return;
    host_->Stop();
    Finish();
}

void ZScriptPane::CheckDone() {
    if (host_ && host_->IsDone()) Finish();
}

void ZScriptPane::Finish() {
    tmr_Script->stop();
    // What the script printed last comes before how it ended.
    QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
    if (host_->Failed()) Append(Q(host_->ErrorText()));
    Append(tr("The script ended with exit code %1.").arg(host_->ExitCode()));
    host_.reset();
    target_.reset();
    ShowButtons();
}

void ZScriptPane::Append(const QString& text) {
    txt_ScriptOutput->appendPlainText(text);
}
