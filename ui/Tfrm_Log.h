#pragma once
// The capture window: the frame filter's blocks of the running capture, live, one
// grid row per block, with a history of the newest entries (HistoryEntries of the
// view settings, 80 to 1,000,000) that the user can scroll back through and search.
//
// Blocks arrive from the capture engine's data thread through AddEntry, which
// filters them by the toolbar's switches, copies them and queues them on the
// window's own entry pump without ever waiting. Each wake-up of the pump hands
// everything queued to the window thread in one call (EntryArrived per entry);
// the grid takes the arrivals at most every RepaintIntervalMs, in one update. When
// the pump is full the entry is dropped and the status bar blinks an overflow
// signal.
//
// A full history lets its oldest rows go; the status bar then says how many rows it
// keeps and where that is set. While the user has not scrolled away from it, the
// grid keeps its newest row in view; scrolling up stops that (the status bar says so), End or scrolling back
// to the newest row follows it again. A row the user looks at stays in place while newer entries push the
// oldest out of a full history, until it is itself pushed out.
//
// Created hidden; closing it only hides it. It receives entries whether visible
// or not.

#include <QFont>
#include <QStringList>
#include <QWidget>
#include <atomic>
#include <deque>
#include <memory>
#include <vector>

#include "ZLoggerClients.h"
#include "ZQtMainThreadDispatcher.h"
#include "ZULMsgPump.h"
#include "ZViewHistory.h"
#include "ZViewSettings.h"
#include "sVisualLogData.h"

class QAction;
class QComboBox;
class QLabel;
class QLineEdit;
class QRadioButton;
class QTableView;
class QTimer;
class QToolBar;
class QToolButton;

class Tfrm_Log : public QWidget, public IZEntryReceiver {
    Q_OBJECT

public:
    static constexpr int MaxRows = 80;  // entries the entry pump holds before it refuses
    // Kinds a block can have (BlockKind and beyond): the size of the kinds' switches.
    static constexpr int KindSlots = 8;
    // The columns with one line; a capture of two lines adds LineColumn after them,
    // shown right after the time.
    static constexpr int ColumnCount = 5;
    static constexpr int LineColumn = ColumnCount;
    static constexpr int OverflowTicks = 10;
    static constexpr int RowHeight = 15;  // pixels, grid lines included
    // At most 20 grid updates a second: enough to follow a stream of rows, and
    // a whole repaint of the grid is the window thread's largest cost while capturing.
    static constexpr int RepaintIntervalMs = 50;

    // The grid's fixed-pitch font at the largest pixel size (11 at most) whose
    // line fits a row of rowHeight pixels under its grid line.
    static QFont GridFont(int rowHeight);

    // Window thread. The entry pump runs from here on.
    explicit Tfrm_Log(QWidget* parent = nullptr);
    // Window thread. Ends the entry pump first; entries still queued are dropped.
    ~Tfrm_Log() override;

    // Any thread (the capture engine's data thread). Returns true when the entry was
    // queued for the grid; false when the view is paused, the entry's kind is
    // switched off, the kind or length is invalid, or the pump is full (the
    // overflow signal then starts at the window thread's next pass of its event
    // loop). Copies the bytes before returning and never waits for the window.
    // A block whose frame has a wrong checksum says so in "Informational".
    bool AddBlock(const sBlock& block) override;
    // The same for a block without a verdict.
    bool AddEntry(const uint8_t* bytes, int length, TDateTime time, uint8_t kind) {
        return AddBlock(sBlock{time, bytes, length, kind});
    }

    // Window thread. How many grid rows hold an entry: the entries in the history.
    int ShownRows() const { return history_.Count(); }
    // Window thread. Whether entries are queued or being handed to the window
    // thread; waits 10 ms first (the pump's own check). Entries handed over reach
    // the grid at its next update, at most RepaintIntervalMs later.
    bool EntriesPending() { return !EntryPump.IsEmpty(); }
    // Window thread. Whether the grid keeps its newest row in view.
    bool FollowsNewestRow() const { return followNewest_; }
    // Any thread. How many entries the full pump refused so far.
    uint32_t DroppedEntries() const { return droppedEntries_.load(std::memory_order_relaxed); }
    // Window thread. Ticks of red blinking left in a running overflow signal.
    int OverflowCountdown() const { return overflowCountdown_; }

    // Window thread. The view settings the toolbar and the history follow; a smaller
    // history drops its oldest entries at once.
    void SetViewSettings(const ZViewSettings& settings);
    ZViewSettings ViewSettings() const;
    // Window thread. Digits of the second's fraction in the time column: 0, 3 or 6
    // (other values count as the nearest of these). The toolbar's millisecond toggle
    // sets 3 or 0.
    void SetTimeFractionDigits(int digits);
    // Window thread. Whether the capture stamps its reads to the microsecond: the
    // millisecond toggle then shows microseconds, since the stamps carry them.
    void SetPreciseTime(bool precise);
    int TimeFractionDigits() const { return fractionDigits_; }
    // The time of day of a time stamp in the system's long time format, with digits
    // (0, 3 or 6; others count as the nearest) of the second's fraction after the
    // seconds, cut, not rounded. A day count holds a time of this century to about
    // 0.6 microseconds, so the sixth digit can be one off what the clock read.
    static QString TimeText(TDateTime time, int digits);
    // Window thread. What the find bar does with its text: selects the nearest entry
    // older (or newer) than the selected one, or than the newest when none is, whose
    // bytes hold the HEX sequence ("??" for any byte), or whose bytes or any column's
    // text (whatever the case) hold the text; false, with the reason in the find bar,
    // when there is none or the text is no HEX sequence. A row whose frame has a wrong
    // checksum is shown in red.
    bool FindEntry(const QString& text, bool hex, bool towardsNewest);
    // Window thread. The bytes of the newest data block the view received whose checksum
    // is not wrong (its first ZViewHistory::MaxKeptBytes); false when there is none.
    bool LastDataBlock(std::vector<uint8_t>& bytes) const;
    // Window thread. The history row selected, or -1.
    int SelectedRow() const;

    // Window thread. The main window tells when a capture starts and stops.
    Q_INVOKABLE void CaptureStateChanged(bool running);
    // Window thread. The names of the two lines of the capture that starts, or none with
    // one line: with two, rows show their line's name in a column of its own and a tint
    // of its own, and the toolbar's line filter offers both lines.
    void SetLineNames(const QStringList& names);
    // Window thread. The tint of a line's rows in the grid's palette (light or dark).
    QColor LineTint(int line) const;

public slots:
    // Event handlers of the toolbar and the timers; public so that a test can tick
    // a timer without waiting for it.
    void tb_LiveViewClick();
    void tb_ShowTimeStampsClick();
    void tb_ShowHEXDataClick();
    void tb_ShowASCIIDataClick();
    void tb_InformationalClick();
    void tb_MillisecondsClick();
    int ShownFractionDigits() const;  // what the millisecond toggle shows when down
    void tmr_OverflowSignalTimer();
    void tmr_ResizeTimer();
    void tmr_RepaintTimer();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    // The line filter's choice, for the data thread's AddBlock.
    void TakeLineFilter();
    class GridModel;
    using EntryPtr = std::unique_ptr<sVisualLogData>;

    QToolButton* AddToolButton(const char* name, const QString& hint, bool down, int image);
    void BuildControls();
    void EntryArrived(EntryPtr entry);
    void StoreArrivals();
    void KeepPlace(int shift);
    // The history let its oldest rows go: the status line says how many it keeps.
    void HistoryDropped();
    void SetFollowing(bool follow);
    void ShowStatusText();
    void FitColumnsToContents();
    void ShowFindBar();
    void FollowNewestRow();
    bool NewestRowInView() const;
    void StartOverflowSignal();
    void StopOverflowSignal();
    void FitLastColumn();
    void ToggleColumn(int column, bool shown);
    void PanelResize();
    void GridMouseUp();
    void RequestOverflowSignal();
    void SetStatusColour(const QColor& colour);

    QToolBar* toolBar_ = nullptr;
    QToolButton* tb_LiveView = nullptr;
    QToolButton* tb_ShowTimeStamps = nullptr;
    QToolButton* tb_ShowHEXData = nullptr;
    QToolButton* tb_ShowASCIIData = nullptr;
    QToolButton* tb_Informational = nullptr;
    QToolButton* tb_Trash = nullptr;
    QToolButton* tb_StartTrigger = nullptr;
    QToolButton* tb_Data = nullptr;
    QToolButton* tb_StopTrigger = nullptr;
    QToolButton* tb_Milliseconds = nullptr;
    QToolButton* kindButtons_[KindSlots] = {};
    QComboBox* cb_LineFilter = nullptr;
    QAction* lineFilterAction_ = nullptr;  // the filter's place in the toolbar, shown with two lines
    QWidget* FindBar = nullptr;
    QLineEdit* ed_Find = nullptr;
    QRadioButton* rb_FindHex = nullptr;
    QLabel* lbl_FindResult = nullptr;
    QToolButton* tb_Sent = nullptr;
    QWidget* Panel = nullptr;
    QTableView* Grid = nullptr;
    GridModel* gridModel_ = nullptr;
    QLabel* Status = nullptr;
    QTimer* tmr_OverflowSignal = nullptr;
    QTimer* tmr_Resize = nullptr;
    QTimer* tmr_Repaint = nullptr;

    // Entries handed over but not yet in the history: the newest that the history
    // can keep, and how many older ones went without being stored.
    std::deque<EntryPtr> arrived_;
    int passedOver_ = 0;
    ZViewHistory history_{ZViewSettings::DefaultHistoryEntries};
    bool followNewest_ = true;
    bool autoScrolling_ = false;  // the grid is being scrolled by the window, not by the user
    int fractionDigits_ = 0;
    bool preciseTime_ = false;  // the toggle shows 6 digits instead of 3
    bool capturing_ = false;
    bool captureStopped_ = false;  // a capture ran and was stopped
    bool historyDropped_ = false;  // the history let rows go since the capture started

    int rememberedWidths_[ColumnCount - 1] = {};
    int overflowCountdown_ = 0;
    bool blink_ = true;
    bool centred_ = false;

    // The switches AddEntry reads on the data thread, mirrored from the buttons by
    // the window thread.
    std::atomic<bool> liveViewRunning_{true};
    std::atomic<bool> kindShown_[KindSlots] = {};  // by kind; set from the kinds' buttons
    std::atomic<int> lineShown_{-1};               // the line filter's line; -1: all
    // Set while a request to start the overflow signal waits in the event queue, so
    // that a burst of refusals queues one request.
    std::atomic<bool> overflowRequested_{false};
    std::atomic<uint32_t> droppedEntries_{0};

    // Declared before the pump: the pump ends (and cancels its waiting call) before
    // the dispatcher goes.
    ZQtMainThreadDispatcher dispatcher_;
    TZULMsgPump<EntryPtr> EntryPump;
};

extern Tfrm_Log* frm_Log;
