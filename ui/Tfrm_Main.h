#pragma once
// The main window: owns the program's one capture engine, composes its pages, moves
// settings between them and a settings record, starts and stops captures, loads and
// saves settings files and shows what the engine counts. Its pages: "General"
// (ZGeneralPage: port, log file options, capture mode), "Frame trigger settings"
// (start and stop trigger, length of the data field) and "Data triggers" (the
// patterns counted in data fields), with the counters beneath them; after the pages
// added later, "Fields" (ZFieldsPage: the values decoded from every data block).
//
// Window thread only, except PostStatus, which the engine calls on its data thread.

#include <QString>
#include <QWidget>
#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "TriggerSequence.h"
#include "ZDataTriggers.h"
#include "ZLoggerClients.h"
#include "ZLoggerSettings.h"
#include "ZPendingTotals.h"
#include "ZQtMainThreadDispatcher.h"
#include "ZULMsgPump.h"
#include "ZViewSettings.h"

class QButtonGroup;
class QCheckBox;
class QCloseEvent;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSlider;
class QSpinBox;
class QTabWidget;
class ZFieldsPage;
class ZGeneralPage;
class ZSendPage;
class QTableWidget;
class QTimer;
class Tfrm_Debug;
class Tfrm_Plot;
class Tfrm_Term;
class ZLogger;
class ZProxyProgramSide;
class ZReportPage;

// One status message on its way from the engine to the window.
struct sStatusMsg {
    uint8_t Kind = 0;
    std::string Text;  // carried along, never shown
    double Count = 0;  // a count of items, or (kind 5) a data trigger index
    double Total = 0;  // a byte total
};

class Tfrm_Main : public QWidget, public IZStatusReceiver {
    Q_OBJECT

public:
    // Creates the engine, the directories "settings" and "std_log_out" in the
    // application directory, and shows "_last_used.scs" when it is there (or the
    // defaults). Problems are shown in error boxes; the window is usable regardless.
    explicit Tfrm_Main(QWidget* parent = nullptr);
    ~Tfrm_Main() override;

    // The capture window: shown by "Show capture window" and fed by the engine with
    // every block. Call once, before any capture; both must outlive the engine, which
    // ends when this window closes.
    void SetCaptureWindow(QWidget* window, IZEntryReceiver* entries);
    // The terminal window ("Show terminal window"), which talks through the running
    // capture; it lives as long as this window. Shows and raises it.
    void ShowTerminalWindow();
    Tfrm_Term* GetTerminalWindow() { return terminalWindow_.get(); }
    // The plot window ("Show plot window"), fed with the values of every block; it lives
    // as long as this window. Shows and raises it.
    void ShowPlotWindow();
    Tfrm_Plot* GetPlotWindow() { return plotWindow_.get(); }
    // Replays the recording fileName (".bin" or timed ".pcapng") with the settings on
    // screen, as "Open recording..." does after its dialog: on a thread of its own while
    // the window goes on painting, the live view, the counters and the plot filling as
    // in a capture. False after an error box (the recording cannot be read, the
    // settings are refused, a capture runs).
    bool OpenRecording(const QString& fileName);
    // Whether a replay runs (until its end has been shown).
    bool IsReplaying() const { return replaying_; }
    // Appends a page after the three of this window. A label "lbl_Version" on it shows
    // the program's version.
    void AddPage(QWidget* page, const QString& caption);
    // Loads a settings file as "Load from file" does after its dialog (the extension
    // must be "scs"); false after an error box. The name as the system has it, bytes
    // that need not be UTF-8.
    bool LoadSettingsFile(const std::string& fileName);
    bool LoadSettingsFile(const QString& fileName);

    // The engine; null once the window has closed.
    ZLogger* GetLogger() { return Logger.get(); }
    const TTriggerSequence& GetStartTrigger() const { return StartTrigger; }
    const TTriggerSequence& GetStopTrigger() const { return StopTrigger; }
    const ZDataTriggers& GetDataTriggers() const { return DataTriggers; }
    // "settings" in the application directory, with a trailing delimiter.
    const QString& GetSettingsDir() const { return SettingsDir; }

    void ShowSettings(const ZLoggerSettings& settings);
    // A new record: the defaults, the window's triggers and the controls' values.
    ZLoggerSettings CollectSettings() const;
    void SetCaptureState(bool running);

    // Engine's data thread: queues the message for the window and returns at once;
    // false when the status pump is full (the message is dropped).
    bool PostStatus(uint8_t kind, const std::string& text, double count, double total,
                    signed char priority) override;
    // How many status messages the full pump refused so far; any thread.
    uint32_t DroppedStatusMessages() const { return droppedStatus_.load(std::memory_order_relaxed); }
    // Window thread: shows one message at once.
    void StatusArrived(std::unique_ptr<sStatusMsg> message);
    // Window thread: the status pump's callback. Keeps the newest count of each kind
    // and the data trigger matches, and shows them at most every 250 ms.
    void StatusBatchArrived(std::vector<std::unique_ptr<sStatusMsg>>& batch);
    // Window thread: shows at once what StatusBatchArrived has kept.
    void ShowPendingStatus();
    void AddDataTriggerMatches(long long row, long long matches);

    // Trigger pages.
    void ShowStartTrigger();
    void ShowStopTrigger();
    void FillDataTriggerGrid();
    void DeleteGridRow(int row);

signals:
    // The close sequence has run: the engine is gone and "_last_used.scs" written.
    void FormClosed();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    using TStatusPump = TZULMsgPump<std::unique_ptr<sStatusMsg>>;

    void BuildWindow();
    QWidget* BuildTriggerPage();
    QWidget* BuildDataTriggerPage();
    QGroupBox* BuildStatusGroup();
    QGroupBox* BuildTriggerGroup(const QString& caption, bool start);
    QGroupBox* BuildChecksumGroup();
    void ShowFrameSettings(const ZFrameSettings& frames);
    void CollectFrameSettings(ZFrameSettings& frames) const;
    void ShowChecksumCounts(double good, double bad);
    void SetTabOrder();

    // The capture and the settings files, as the General page asks for them.
    void btn_StartCaptureClick();
    // Window thread: Logger->StartCapture() on a thread of its own, the window painting meanwhile.
    bool StartCaptureAside();
    // A capture that serves the port to a program (settings.ProxyLink set): false after
    // an error box when it cannot (a second line as well, or the path exists); else the
    // engine's second line is the program's side and settings stamp to the microsecond.
    bool PrepareProgramSide(ZLoggerSettings& settings);
    // Once the capture runs: makes the link and follows the program's settings; false
    // after an error box (the capture is stopped again).
    bool ServeProgram(const std::string& link);
    // Removes the link and gives the lines back as they were; nothing when no program is served.
    void EndProgramSide();
    void btn_StopCaptureClick();
    void btn_ShowCaptureClick();
    void btn_OpenRecordingClick();
    // Asks the running replay to stop; its end is shown when it has.
    void StopReplay();
    // Window thread, once the replay thread is done: the counts, the state, and why it failed.
    void ReplayFinished();
    void btn_LoadSettingsClick();
    void btn_SaveSettingsClick();
    void btn_ErrorHistoryClick();
    void FormClose();
    // After a stop: what the engine counted, which the dropped status messages may have left short.
    void ShowFinalCounts();
    // The counts of these data trigger rows (all for a negative row) start again from
    // what the engine has counted so far: the final counts of the capture count from here.
    void DataTriggerCountsReset(int row);
    // The error history's size in the button's caption; while capturing, the newest
    // error in the status group.
    void ShowErrorState();
    // The status group's title: stopped, running, waiting for the port, or running while
    // no log file can be written (and why).
    void ShowCaptureTitle(bool running);
    void ClearLastError();

    // Trigger pages.
    void ud_StartTriggerSizeChanging();
    void ud_StopTriggerSizeChanging();
    void btn_SetStartTriggerSizeClick();
    void btn_SetStopTriggerSizeClick();
    void btn_StartEditHEXClick();
    void btn_StartEditStringClick();
    void btn_StopEditHEXClick();
    void btn_StopEditStringClick();
    void ud_DataSizeStartChangingEx(int value);
    void btn_AddDataTriggerClick(bool ascii);
    void btn_RemoveSelDTClick();
    void btn_RemoveAllDTClick();
    void btn_ResetSelDTClick();
    void btn_ResetAllDTClick();
    void grp_DTShowAsClick();
    void SetTriggerSize(TTriggerSequence& trigger, int size);
    void EditTriggerHex(TTriggerSequence& trigger, const QString& caption);
    void EditTriggerString(TTriggerSequence& trigger, const QString& caption, const QString& shownText);
    // Keeps the start index within the start trigger and the width within what follows it.
    void RecheckDynamicLimits();
    // Offers the trigger editors the capture mode uses: no start trigger in modes 5 to 7,
    // no stop trigger in 6 and 7 (their frames end at the encoding's delimiter).
    void ShowTriggersOfMode(uint8_t mode);
    int SelectedGridRow() const;
    QString DataTriggerText(const TTriggerSequence& trigger) const;

    // Declared before the pump: the pump's synchronised calls go through it, so the
    // pump must end first.
    ZQtMainThreadDispatcher dispatcher_;
    std::unique_ptr<TStatusPump> StatusPump;
    // Before the engine: the engine hands it bytes until the engine is gone.
    std::unique_ptr<Tfrm_Term> terminalWindow_;
    std::unique_ptr<Tfrm_Plot> plotWindow_;  // likewise, values
    std::unique_ptr<ZLogger> Logger;  // after the pump: gone before it
    // The program the running capture serves the port to (null: none); it holds the
    // engine and goes before it.
    std::unique_ptr<ZProxyProgramSide> programSide_;
    QTimer* followProgram_ = nullptr;  // runs while a program is served
    QString SettingsDir;
    // Per data trigger row: the engine's count at the row's last reset in this capture.
    std::vector<uint32_t> dataTriggerBase_;
    int dataTriggerRowsBased_ = 0;  // rows of DataTriggers when the bases were last taken
    QTimer* errorWatch_ = nullptr;  // runs while capturing
    int errorsShown_ = 0;           // history size when the capture started or last checked
    bool waitingForPort_ = false;   // the running capture has lost its port
    bool portLost_ = false;         // ... and does not wait for it: it reads nothing more
    // The replay of "Open recording...": its thread, the stop it watches, and what it ended with.
    std::thread replayThread_;
    std::atomic<bool> stopReplay_{false};
    bool replaying_ = false;
    std::string replayFailure_;  // written by the replay thread, read after it is joined
    bool replayTimed_ = false;
    bool starting_ = false;         // StartCaptureAside runs: the engine must stay
    bool closeAfterStart_ = false;  // a close came while starting_
    QString writeProblem_;          // why log files of the running capture are not written
    TTriggerSequence StartTrigger;
    TTriggerSequence StopTrigger;
    ZDataTriggers DataTriggers;
    QWidget* captureWindow_ = nullptr;
    Tfrm_Debug* errorWindow_ = nullptr;  // the error history while it is shown
    ZViewSettings viewSettings_;         // kept for the capture window, loaded and saved with the settings
    ZReportPage* reportPage_ = nullptr;  // owned by PageControl
    std::atomic<uint32_t> droppedStatus_{0};  // refused by StatusPump; written on the data thread
    ZPendingTotals pendingTotals_;            // counter totals riding on queued status messages
    // Status kept for the next ShowPendingStatus: the newest message of each kind but 5,
    // and the matches per data trigger row.
    std::unique_ptr<sStatusMsg> newestStatus_[9];
    std::map<long long, long long> pendingMatches_;
    QTimer* tmr_ShowStatus = nullptr;

    QTabWidget* PageControl = nullptr;

    ZGeneralPage* generalPage_ = nullptr;  // owned by PageControl
    ZFieldsPage* fieldsPage_ = nullptr;    // owned by PageControl

    // Status and debug groups.
    QGroupBox* grp_Stati = nullptr;
    QLabel* lbl_TotalBytes = nullptr;
    QLabel* lbl_DataPackets = nullptr;
    QLabel* lbl_BytesThrown = nullptr;
    QLabel* lbl_StartTriggers = nullptr;
    QLabel* lbl_StopTriggers = nullptr;
    QLabel* lbl_Checksums = nullptr;
    QLabel* lbl_BytesSent = nullptr;
    ZSendPage* sendPage_ = nullptr;  // owned by PageControl
    QPushButton* btn_ErrorHistory = nullptr;
    QLabel* lbl_LastError = nullptr;

    // Frame trigger settings.
    QGroupBox* grp_StartTrigger = nullptr;
    QGroupBox* grp_StopTrigger = nullptr;
    QPushButton* btn_SetStartTriggerSize = nullptr;
    QSpinBox* ud_StartTriggerSize = nullptr;
    QPushButton* btn_StartEditHEX = nullptr;
    QLabel* lbl_StartTriggerHex = nullptr;
    QPushButton* btn_StartEditString = nullptr;
    QLabel* lbl_StartTriggerString = nullptr;
    QGroupBox* grp_FixedFrameSize = nullptr;
    QSpinBox* ud_FixedDataSize = nullptr;
    QSpinBox* ud_DataSizeStart = nullptr;
    QSpinBox* ud_DataSizeWidth = nullptr;
    QCheckBox* chk_DataMSBFirst = nullptr;
    QPushButton* btn_SetStopTriggerSize = nullptr;
    QSpinBox* ud_StopTriggerSize = nullptr;
    QPushButton* btn_StopEditHEX = nullptr;
    QLabel* lbl_StopTriggerHex = nullptr;
    QPushButton* btn_StopEditString = nullptr;
    QLabel* lbl_StopTriggerString = nullptr;
    QSpinBox* ud_LengthAdjust = nullptr;
    QGroupBox* grp_Checksum = nullptr;
    QComboBox* cb_ChecksumAlgorithm = nullptr;
    QSpinBox* ud_ChecksumSkipStart = nullptr;
    QSpinBox* ud_ChecksumGap = nullptr;
    QSpinBox* ud_ChecksumSkipEnd = nullptr;
    QCheckBox* chk_ChecksumMSBFirst = nullptr;
    QCheckBox* chk_DropBadFrames = nullptr;

    // Data triggers.
    QGroupBox* grp_DTShowAs = nullptr;
    QButtonGroup* showAsItems_ = nullptr;
    QSpinBox* ud_DTSize = nullptr;
    QPushButton* btn_AddDTASCII = nullptr;
    QPushButton* btn_AddDTHEX = nullptr;
    QPushButton* btn_RemoveSelDT = nullptr;
    QPushButton* btn_RemoveAllDT = nullptr;
    QPushButton* btn_ResetSelDT = nullptr;
    QPushButton* btn_ResetAllDT = nullptr;
    QTableWidget* DTrgList = nullptr;
};

// The program's main window while the program runs; null before and after.
extern Tfrm_Main* frm_Main;
