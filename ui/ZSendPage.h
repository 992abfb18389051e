#pragma once
// The "Send" page of the main window: an entry field for one sequence (HEX or text
// with escapes) with its bytes shown as they are typed, an optional checksum and
// line end (or an encoding as one SLIP or COBS frame), "Send" and a repeat with its
// interval, the list of named sequences kept in the settings file, and the port's
// modem lines. Sending goes through the
// engine's open port; while none is open the page says why nothing can be sent.
// Window thread only.

#include <QWidget>
#include <functional>
#include <vector>

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

class ZSendPage : public QWidget {
    Q_OBJECT

public:
    // engine gives the engine, or null once it has gone.
    explicit ZSendPage(std::function<ZLogger*()> engine, QWidget* parent = nullptr);

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
    void SendSequence(const ZSendSequence& sequence, bool repeat);
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
    ZSendSequence repeating_;
    uint64_t sends_ = 0;

    QComboBox* cb_SendFormat = nullptr;
    QLineEdit* ed_SendData = nullptr;
    QLabel* lbl_SendBytes = nullptr;
    QComboBox* cb_SendChecksum = nullptr;
    QCheckBox* chk_SendLSBFirst = nullptr;
    QComboBox* cb_SendLineEnd = nullptr;
    QComboBox* cb_SendEncode = nullptr;  // the item is the TFrameEncoding
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
    QTimer* tmr_Repeat = nullptr;
    QTimer* tmr_Lines = nullptr;
};
