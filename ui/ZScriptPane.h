#pragma once
// The script part of the Send page: "Run script..." chooses a Lua script and runs it
// against the running capture (disabled without one), a pane shows its print and its
// errors, Stop ends it. The script runs on a thread of its own; its frames come from a
// queue that stays among the engine's block observers and takes frames only while a
// script runs. Window thread only; the engine must be gone before the pane is.

#include <QGroupBox>
#include <functional>
#include <memory>
#include <string>

#include "ZScriptCaptureTarget.h"
#include "ZScriptFrameQueue.h"
#include "ZScriptHost.h"

class QPlainTextEdit;
class QPushButton;
class QTimer;
class ZLogger;

class ZScriptPane : public QGroupBox {
    Q_OBJECT

public:
    // engine gives the engine, or null once it has gone.
    explicit ZScriptPane(std::function<ZLogger*()> engine, QWidget* parent = nullptr);
    // Stops a running script.
    ~ZScriptPane() override;

    // Puts the pane's frame queue among the engine's block observers; once the engine
    // exists, before its first capture.
    void AttachEngine();
    // Whether a capture has the port open: a script runs only then, and one running
    // is stopped when the port closes.
    void SetPortOpen(bool open);
    // The script offered first by "Run script..." (the one run last).
    void SetScriptFile(const std::string& file) { scriptFile_ = file; }
    const std::string& ScriptFile() const { return scriptFile_; }
    bool IsRunning() const { return host_ != nullptr; }
    // Runs the script file against the running capture; the pane tells why it cannot.
    void Run(const QString& file);

private:
    void ChooseAndRun();
    void StopScript();
    // Shows how a script that ended on its own ended, and frees it.
    void CheckDone();
    void Finish();
    void Append(const QString& text);
    void ShowButtons();

    std::function<ZLogger*()> engine_;
    ZScriptFrameQueue queue_;
    std::unique_ptr<ZScriptCaptureTarget> target_;
    std::unique_ptr<ZScriptHost> host_;
    std::string scriptFile_;
    bool portOpen_ = false;

    QPushButton* btn_RunScript = nullptr;
    QPushButton* btn_StopScript = nullptr;
    QPlainTextEdit* txt_ScriptOutput = nullptr;
    QTimer* tmr_Script = nullptr;  // looks whether the script ended, while one runs
};
