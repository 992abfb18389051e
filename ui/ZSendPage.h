#pragma once
// The "Send" page of the main window: an entry field for one sequence (HEX or text
// with escapes) with its bytes shown as they are typed, an optional checksum (and
// the leading bytes it leaves out) and line end (or an encoding as one SLIP or COBS
// frame), "Send" and a repeat with its interval, the wait for an answer, the list of
// named sequences kept in the settings file with the gap between frames, and the
// port's modem lines. Sending goes through the engine's open port, paced by the
// engine's ZSendPacer; while no port is open the page says why nothing can be sent.
// Below, a Lua script can be run against the running capture (ZScriptPane).
// Window thread only; the engine must be gone before the page is.

#include <QWidget>
#include <functional>
#include <vector>

#include "ZSendPacer.h"
#include "ZSendSequence.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QSpinBox;
class QTimer;
class ZLogger;
class ZScriptPane;

class ZSendPage : public QWidget {
    Q_OBJECT

public:
    // engine gives the engine, or null once it has gone.
    explicit ZSendPage(std::function<ZLogger*()> engine, QWidget* parent = nullptr);

    // Puts the page among the engine's block observers, once the engine exists and
    // before its first capture (the constructor does when it exists already).
    void AttachEngine();
    // Whether a capture has the port open: sending and the lines are enabled only then.
    void SetPortOpen(bool open);
    void ShowList(const ZSendList& list);
    ZSendList List() const;

private:
    void BuildPage();
    // The entry's sequence; false with the reason shown when its text cannot be read.
    bool EntrySequence(ZSendSequence& sequence);
    void ShowEntryBytes();
    void ShowSequenceInEntry(int row);
    // Queues the sequence (a repeat when its Every is set) and sends what is due.
    void SendSequence(const ZSendSequence& sequence);
    // Sends what the pacer has due and sets the timer for the next.
    void PumpSends();
    void ToggleRepeat();
    void StopRepeat();
    void AddSequence();
    void UpdateSequence();
    void RemoveSequence();
    void MoveSequence(int step);
    void FillList();
    void ShowLines();
    void ShowSendCount();
    void SetOutputLine(bool on, uint32_t set, uint32_t clear);
    void Break();

    std::function<ZLogger*()> engine_;
    bool portOpen_ = false;
    std::vector<ZSendSequence> items_;
    bool repeating_ = false;
    ZSendPacer pacer_;

    QComboBox* cb_SendFormat = nullptr;
    QLineEdit* ed_SendData = nullptr;
    QLabel* lbl_SendBytes = nullptr;
    QComboBox* cb_SendChecksum = nullptr;
    QCheckBox* chk_SendLSBFirst = nullptr;
    QSpinBox* ud_ChecksumSkip = nullptr;  // -1: what the algorithm's protocol implies
    QComboBox* cb_SendLineEnd = nullptr;
    QComboBox* cb_SendEncode = nullptr;     // the item is the TFrameEncoding
    QSpinBox* ud_SendWaitAnswer = nullptr;  // ms; 0: no wait
    QSpinBox* ud_SendGap = nullptr;         // ms; 0: the line's least frame gap
    QPushButton* btn_Send = nullptr;
    QSpinBox* ud_SendEvery = nullptr;
    QPushButton* btn_SendRepeat = nullptr;
    QLabel* lbl_SendCount = nullptr;
    QLabel* lbl_SendState = nullptr;
    QLineEdit* ed_SequenceName = nullptr;
    QListWidget* lst_Sequences = nullptr;
    QPushButton* btn_AddSequence = nullptr;
    QPushButton* btn_UpdateSequence = nullptr;
    QPushButton* btn_RemoveSequence = nullptr;
    QPushButton* btn_SequenceUp = nullptr;
    QPushButton* btn_SequenceDown = nullptr;
    QPushButton* btn_SendSequence = nullptr;
    QCheckBox* chk_DTR = nullptr;
    QCheckBox* chk_RTS = nullptr;
    QPushButton* btn_Break = nullptr;
    QLabel* lbl_CTS = nullptr;
    QLabel* lbl_DSR = nullptr;
    QLabel* lbl_RI = nullptr;
    QLabel* lbl_DCD = nullptr;
    ZScriptPane* pane_Script = nullptr;  // "Run script...", its output and Stop
    QTimer* tmr_Pace = nullptr;  // fires when the pacer has the next send due
    QTimer* tmr_Lines = nullptr;
};
