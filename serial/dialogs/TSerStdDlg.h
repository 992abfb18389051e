#pragma once
// The platform's port configuration dialog for a serial component: baud rate,
// data bits, parity, stop bits and flow control of the component's port, shown
// for the device "COM" + port number. On Linux the dialog is TFormCommConfig.
// Window thread only.

#include <QObject>
#include <QString>
#include <cstdint>

#include "DCB.h"
#include "TPortTable.h"

class TSerial;

// The rates the port dialog offers and maps back to a TBaudrate.
extern const int32_t StdDlgBaudrates[18];

class TSerStdDlg : public QObject {
    Q_OBJECT
public:
    // Scans COM1 to COM4 if no scan ran yet.
    explicit TSerStdDlg(QObject* owner = nullptr, TPortTable& ports = TPortTable::Global());

    // The component edited; none by default. Not owned.
    TSerial* Serial() const { return serial_; }
    void SetSerial(TSerial* serial) { serial_ = serial; }
    // Tells the dialog that a component is going away: it forgets it when it is
    // its Serial. Whoever destroys a component the dialog may hold calls this.
    void Notification(const TSerial* removed);

    // The configuration kept between showings (a control block built from
    // "baud=9600 parity=N data=8 stop=1" at construction).
    const COMMCONFIG& CommConfig() const { return commConfig_; }
    // The device the next showing is for: "COM" + the component's port (COM1 without one).
    QString DeviceName() const;

    // Shows the port dialog modally; true when it was confirmed (the component,
    // when set, then carries the choice). A cancelled dialog changes nothing.
    bool Execute();

private:
    TSerial* serial_ = nullptr;
    COMMCONFIG commConfig_;
};
