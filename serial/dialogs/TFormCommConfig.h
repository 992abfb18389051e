#pragma once
// The port configuration dialog of this platform, for TSerStdDlg: baud rate, data
// bits, parity, stop bits and flow control of one port, edited in the device
// control block of a COMMCONFIG record. Linux has no such dialog of its own.

#include <QDialog>
#include <QString>

#include "DCB.h"

class QComboBox;
class QPushButton;

class TFormCommConfig : public QDialog {
    Q_OBJECT
public:
    // Flow control choices, in the order of ComboBoxFlow.
    enum TFlow { FlowNone, FlowXOnXOff, FlowHardware };

    TFormCommConfig(const QString& deviceName, const DCB& dcb, QWidget* parent = nullptr);

    // Shows the dialog for the device modally; on OK writes the choice into
    // config's control block and returns true. Other members of the block stay,
    // DTR/DSR handshake included.
    static bool CommConfigDialog(const QString& deviceName, QWidget* parent, COMMCONFIG& config);

    // The block with the dialog's choice applied.
    DCB Result() const;

    QComboBox* ComboBoxBaudrate;
    QComboBox* ComboBoxDatabit;
    QComboBox* ComboBoxParity;
    QComboBox* ComboBoxStop;
    QComboBox* ComboBoxFlow;
    QPushButton* ButtonOk;
    QPushButton* ButtonAbort;

private:
    DCB dcb_;
};
