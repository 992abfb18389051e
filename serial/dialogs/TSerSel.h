#pragma once
// The port chooser of a serial component: shows the list of all existing ports
// ("Serielle Schnittstelle") and sets the component's port on OK. Window thread only.

#include <QObject>

#include "TPortTable.h"

class TCustomSerial;

class TSerSel : public QObject {
    Q_OBJECT
public:
    // Scans COM1 to COM4 if no scan ran yet.
    explicit TSerSel(QObject* owner = nullptr, TPortTable& ports = TPortTable::Global());

    // The component whose port is chosen; none by default. Not owned.
    TCustomSerial* Serial() const { return serial_; }
    void SetSerial(TCustomSerial* serial) { serial_ = serial; }

    // Shows the chooser modally, starting from the component's port (1 without a
    // component); true on OK, when the component, if set, takes the chosen port.
    bool Execute();

private:
    TPortTable& ports_;
    TCustomSerial* serial_ = nullptr;
};
