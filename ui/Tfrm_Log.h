#pragma once
// The capture window: the frame filter's blocks of the running capture, live, one
// grid row per block, the latest 80 kept.
//
// Blocks arrive from the capture engine's data thread through AddEntry, which
// filters them by the toolbar's switches, copies them and queues them on the
// window's own entry pump without ever waiting. Each wake-up of the pump hands
// everything queued to the window thread in one call (EntryArrived per entry);
// the grid takes the arrivals at most every RepaintIntervalMs, in one update. When
// the pump is full the entry is dropped and the status bar blinks an overflow
// signal.
//
// While the user has not scrolled away from it, the grid keeps its newest row in
// view; scrolling back to it follows it again.
//
// Created hidden; closing it only hides it. It receives entries whether visible
// or not.

#include <QFont>
#include <QWidget>
#include <atomic>
#include <deque>
#include <memory>

#include "ZLoggerClients.h"
#include "ZQtMainThreadDispatcher.h"
#include "ZULMsgPump.h"
#include "sVisualLogData.h"

class QLabel;
class QTableView;
class QTimer;
class QToolBar;
class QToolButton;

class Tfrm_Log : public QWidget, public IZEntryReceiver {
    Q_OBJECT

public:
    static constexpr int MaxRows = 80;  // data rows of the grid
    static constexpr int ColumnCount = 5;
    static constexpr int OverflowTicks = 10;
    static constexpr int RowHeight = 15;          // pixels, grid lines included
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
    bool AddEntry(const uint8_t* bytes, int length, TDateTime time, uint8_t kind) override;
    // The same; a block whose frame has a wrong checksum says so in "Informational".
    bool AddCheckedEntry(const uint8_t* bytes, int length, TDateTime time, uint8_t kind,
                         TFrameVerdict verdict) override;

    // Window thread. How many grid rows hold an entry: rises to 80 once per run.
    int ShownRows() const { return shownRows_; }
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

public slots:
    // Event handlers of the toolbar and the timers; public so that a test can tick
    // a timer without waiting for it.
    void tb_LiveViewClick();
    void tb_ShowTimeStampsClick();
    void tb_ShowHEXDataClick();
    void tb_ShowASCIIDataClick();
    void tb_InformationalClick();
    void tmr_OverflowSignalTimer();
    void tmr_ResizeTimer();
    void tmr_RepaintTimer();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    class GridModel;
    using EntryPtr = std::unique_ptr<sVisualLogData>;

    QToolButton* AddToolButton(const char* name, const QString& hint, bool down, int image);
    void BuildControls();
    void EntryArrived(EntryPtr entry);
    void ScrollEntries();
    void NextRow();
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
    QToolButton* tb_Sent = nullptr;
    QWidget* Panel = nullptr;
    QTableView* Grid = nullptr;
    GridModel* gridModel_ = nullptr;
    QLabel* Status = nullptr;
    QTimer* tmr_OverflowSignal = nullptr;
    QTimer* tmr_Resize = nullptr;
    QTimer* tmr_Repaint = nullptr;

    // Entries handed over but not yet in the grid: the newest MaxRows of them, and
    // how many older ones will only scroll the grid (they would leave it unseen).
    std::deque<EntryPtr> arrived_;
    int passedOver_ = 0;
    bool followNewest_ = true;
    bool autoScrolling_ = false;  // the grid is being scrolled to its newest row, not by the user

    int shownRows_ = 0;
    int rememberedWidths_[ColumnCount - 1] = {};
    int overflowCountdown_ = 0;
    bool blink_ = true;
    bool centred_ = false;

    // The switches AddEntry reads on the data thread, mirrored from the buttons by
    // the window thread.
    std::atomic<bool> liveViewRunning_{true};
    std::atomic<bool> kindShown_[6] = {true, true, false, false, true, true};  // by BlockKind 0..5
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
