#pragma once
// The extended port settings dialog of a serial component: shows the setup form
// ("Einstellungen") for the component's port, line format, handshake and buffer
// sizes and writes the confirmed choice back. Window thread only.
//
//   TSerExtDlg dlg(mainWindow);
//   dlg.SetSerial(&port);
//   dlg.SetPositionDlg(poMainFormCenter);
//   if (dlg.Execute()) ...

#include <QObject>

#include "DCB.h"
#include "TPortTable.h"
#include "TPosition.h"

class TSerial;

class TSerExtDlg : public QObject {
    Q_OBJECT
public:
    // owner (usually the main window) owns the dialog object; the form centres on
    // owner's window for poMainFormCenter. Scans COM1 to COM4 if no scan ran yet.
    explicit TSerExtDlg(QObject* owner = nullptr, TPortTable& ports = TPortTable::Global());

    // The component edited; none by default. The dialog does not own it and must
    // not outlive it while it is set.
    TSerial* Serial() const { return serial_; }
    void SetSerial(TSerial* serial) { serial_ = serial; }
    TPosition PositionDlg() const { return positionDlg_; }
    void SetPositionDlg(TPosition position) { positionDlg_ = position; }
    int LeftDlg() const { return leftDlg_; }
    void SetLeftDlg(int left) { leftDlg_ = left; }
    int TopDlg() const { return topDlg_; }
    void SetTopDlg(int top) { topDlg_ = top; }
    // The line settings kept between showings (built from
    // "baud=9600 parity=N data=8 stop=1" at construction).
    const DCB& Dcb() const { return dcb_; }

    // Shows the setup form modally; true when the user left it with OK (the
    // component, when set, then carries the choice). A cancelled form changes nothing.
    bool Execute();

private:
    TPortTable& ports_;
    TSerial* serial_ = nullptr;
    TPosition positionDlg_ = poDesigned;
    int leftDlg_ = 0;
    int topDlg_ = 0;
    DCB dcb_;
};
