#pragma once
// The "General" page of the main window: the capture's buttons, loading and saving
// settings, the port and its rate, the second line (the other direction of the
// conversation) or the program the port is served to, the log file options with the
// Wireshark capture's protocol, the capture mode and the silence gap. A second line
// and a program served exclude each other: the program's side is the second line.
// The page keeps what its controls
// show (the log folder as the bytes a settings file holds, the protocol) and takes a
// typed port or rate into the engine when the user is done typing. The protocol list
// holds the dissectors tshark names, asked for on a thread of its own when the list
// is first opened; any name can be typed. Starting, stopping and showing a capture
// and loading and saving whole settings are the main window's: the page only says
// that their buttons were pressed. The port list is made again whenever it is
// opened and whenever the device folder (or the port links' folder) changes, so that
// a device plugged in later is offered.
//
// Window thread only.

#include <QList>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ZLoggerSettings.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QFileSystemWatcher;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSlider;
class QSpinBox;
class QTimer;
class QVBoxLayout;
class ZLinePortFields;
class ZLogger;

class ZGeneralPage : public QWidget {
    Q_OBJECT

public:
    // engine gives the engine, or null once it has gone.
    explicit ZGeneralPage(std::function<ZLogger*()> engine, QWidget* parent = nullptr);
    ~ZGeneralPage() override;

    // Fills the port and rate lists; the port keeps its settings.
    void FillLists();
    // Shows the page's part of settings, and the engine's lines: ports, rates, the
    // second line and the names.
    void ShowSettings(const ZLoggerSettings& settings);
    // Writes the page's part of a settings record; the rest stays as it was.
    void CollectSettings(ZLoggerSettings& settings) const;
    // While a capture runs, what it took at its start is not offered for change.
    void SetCaptureState(bool running);
    // While a recording is replayed, neither a capture nor another replay can start.
    void SetReplayState(bool replaying);
    // The switches "Open recording..." reads: log files written, recorded speed kept.
    bool ReplayWritesLogFiles() const;
    bool ReplayAtRecordedSpeed() const;
    // A stop was asked for and done: nothing more to stop, before the state follows.
    void CaptureStopped();
    // Takes a typed port, rate, line name and protocol that were never confirmed: false
    // after an error box, the fields then showing the values in use again.
    bool CommitTypedFields();
    // The engine's lines (ports, rates, second line, names), as a dialog or a proxy's end may have changed them.
    void ShowPortState();
    // The page's controls in the order the Tab key visits them.
    QList<QWidget*> TabOrder() const;

    // Capture mode item of grp_CaptureMode <-> stored mode; a mode outside the list shows as item 0.
    static int ModeToItem(int mode);
    static uint8_t ItemToMode(int item);

signals:
    void StartCaptureClicked();
    void StopCaptureClicked();
    void ShowCaptureClicked();
    void ShowTerminalClicked();
    void ShowPlotClicked();
    void OpenRecordingClicked();
    void StopReplayClicked();
    void LoadSettingsClicked();
    void SaveSettingsClicked();
    // Another capture mode was chosen, by the user or by settings shown.
    void CaptureModeChanged(uint8_t mode);

private:
    QGroupBox* BuildActionGroup();
    QGroupBox* BuildSettingsGroup();
    QGroupBox* BuildPortGroup();
    QGroupBox* BuildSecondLineGroup();
    QGroupBox* BuildLogfileGroup();
    void BuildCaptureMode(QVBoxLayout* pageLayout);
    void Connect();

    void btn_OutputDirClick();
    // The typed protocol: false after an error box; the field shows the one in use again.
    bool CommitProtocolText();
    void ShowProtocol();
    // Asks tshark for its dissectors once, on a thread of its own; the list follows.
    void AskDissectors();
    void DissectorsArrived(const std::vector<std::string>& names, bool listed);
    void ShowLogDir();
    // Both lines' port lists, made again; rescan first looks for devices that came or went.
    void FillPortLists(bool rescan);
    // Watches the folders where ports come and go; a change refills the list shortly after.
    void WatchPortFolders();
    // The second line and the program served: the engine's second line and names, and
    // which controls the two leave open (each excludes the other).
    void ShowSecondLine();
    void ShowLineNames();
    void TakeLineName(int line);
    void ShowExclusion();
    void btn_ProxyLinkClick();

    std::function<ZLogger*()> engine_;
    // LogDir as loaded or chosen: the bytes a settings file holds, which ed_OutputDir
    // may only be able to show with replacement characters.
    std::string logDir_;
    std::string pcapProtocol_ = "data";  // no control shows it: kept from the settings shown

    QPushButton* btn_StartCapture = nullptr;
    QPushButton* btn_StopCapture = nullptr;
    QPushButton* btn_ShowCapture = nullptr;
    QPushButton* btn_ShowTerminal = nullptr;
    QPushButton* btn_ShowPlot = nullptr;
    QPushButton* btn_OpenRecording = nullptr;
    QPushButton* btn_StopReplay = nullptr;
    QCheckBox* chk_ReplayLogFiles = nullptr;
    QCheckBox* chk_RecordedSpeed = nullptr;
    QPushButton* btn_LoadSettings = nullptr;
    QPushButton* btn_SaveSettings = nullptr;
    // The port and rate of each line; [1] is the second line's.
    std::unique_ptr<ZLinePortFields> linePorts_[2];
    QGroupBox* grp_SecondLine = nullptr;
    QCheckBox* chk_SecondLine = nullptr;
    QLineEdit* ed_LineName[2] = {};
    QLineEdit* ed_ProxyLink = nullptr;
    QPushButton* btn_ProxyLink = nullptr;
    QLabel* lbl_ProxyNote = nullptr;
    bool capturing_ = false;
    QFileSystemWatcher* portFolders_ = nullptr;
    QTimer* portListRefill_ = nullptr;  // a burst of device changes refills the list once
    QGroupBox* grp_LogfileOptions = nullptr;
    QPushButton* btn_OutputDir = nullptr;
    QLineEdit* ed_OutputDir = nullptr;
    QCheckBox* chk_AddTimeStamp = nullptr;
    QCheckBox* chk_LogStartTrigger = nullptr;
    QCheckBox* chk_LogStopTrigger = nullptr;
    QCheckBox* chk_LogDataField = nullptr;
    QCheckBox* chk_ShowHexOutput = nullptr;
    QCheckBox* chk_ShowASCIIOutput = nullptr;
    QCheckBox* chk_SeparateHexAndASCII = nullptr;
    QCheckBox* chk_Reconnect = nullptr;
    QCheckBox* chk_RawRecording = nullptr;
    QCheckBox* chk_PcapRecording = nullptr;
    QCheckBox* chk_CsvRecording = nullptr;
    QComboBox* cb_PcapProtocol = nullptr;
    bool dissectorsAsked_ = false;
    QCheckBox* chk_RawRecordingTimed = nullptr;
    QCheckBox* chk_PreciseTime = nullptr;
    QSlider* tb_MaxBytesInLogLine = nullptr;
    QLabel* lbl_MaxBytesInLogLine = nullptr;
    QSlider* tb_MaxLinesInLogFile = nullptr;
    QLabel* lbl_MaxLinesInLogFile = nullptr;
    QGroupBox* grp_CaptureMode = nullptr;
    QButtonGroup* captureModeItems_ = nullptr;
    QSpinBox* ud_SilenceGap = nullptr;    // tenths of a character time
    QSpinBox* ud_SilenceGapMs = nullptr;  // 0: the character times count
};
