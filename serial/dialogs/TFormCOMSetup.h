#pragma once
// The port setup form ("Einstellungen"): port, line format, handshake and driver
// buffer sizes of a serial component, edited in a device control block. Shown by
// TSerExtDlg; a form lives for one showing.

#include <QDialog>
#include <QFont>
#include <cstdint>

#include "DCB.h"
#include "TPortTable.h"
#include "TPosition.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class TUpDown;

// The font of the forms laid out in pixels (the application's font at 11 pixels,
// the size their geometry was designed for).
QFont DialogFont();
// A parity (none .. space) as the forms show it, in the user's language.
QString ParityCaption(int parity);

// What CommConfigDialogEx shows and, after OK, returns.
struct TCOMExtParams {
    int32_t COMPort = 1;
    DCB dcb;
    int32_t BufSizeRec = 2048;
    int32_t BufSizeTrm = 2048;
    TPosition PositionDlg = poDesigned;
    int LeftDlg = 0;
    int TopDlg = 0;
    // The window the form belongs to (it stays on top of it and centres on it for
    // poMainFormCenter); none for a free-standing form.
    QWidget* ParentDlg = nullptr;
};

class TFormCOMSetup : public QDialog {
    Q_OBJECT
public:
    // The port list shows the first four existing ports of ports.
    explicit TFormCOMSetup(const TPortTable& ports = TPortTable::Global(), QWidget* parent = nullptr);
    ~TFormCOMSetup() override;

    // Shows the form modally with the settings of params; on OK writes the edited
    // settings back into params and returns true. A port the list does not offer
    // (none, or beyond the fourth existing port) is taken as port 1, in params too.
    // Runs a modal loop: call from the window thread.
    bool CommConfigDialogEx(TCOMExtParams& params);

    QComboBox* ComboBoxPort;
    QGroupBox* GroupBox1;
    QComboBox* ComboBoxBaudrate;
    QComboBox* ComboBoxDatabit;
    QComboBox* ComboBoxParity;
    QComboBox* ComboBoxStop;
    QGroupBox* GroupBox2;
    QCheckBox* CheckBoxRTSCTS;
    QCheckBox* CheckBoxDTRDSR;
    QCheckBox* CheckBoxSoft;
    QGroupBox* GroupBox3;
    QLineEdit* EditBufR;
    TUpDown* UpDown1;
    QLineEdit* EditBufT;
    TUpDown* UpDown2;
    QPushButton* ButtonOk;
    QPushButton* ButtonAbort;

public slots:
    // Closing by Escape or by the window system goes the way of ButtonAbort.
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private slots:
    void ButtonOkClick();
    void ButtonAbortClick();
    void UpDown1Click();
    void UpDown2Click();

private:
    // What the cancel button brings back.
    struct TSavedState {
        int Selections[5] = {};
        bool Checks[3] = {};
        int32_t BufSizeRec = 0;
        int32_t BufSizeTrm = 0;
        int Positions[2] = {};
        QString EditTexts[2];
        QString RateText;  // a typed rate is no selection
    };

    // Whether the port list has an entry for port.
    bool Offers(int32_t port) const;
    void FormCreate();
    void FormShow();
    void BuildControls();
    void ShowBufferSize(int32_t size, QLineEdit* edit, TUpDown* upDown);

    const TPortTable& ports_;
    int32_t port_ = 1;
    DCB dcb_;
    int32_t bufSizeRec_ = 2048;
    int32_t bufSizeTrm_ = 2048;
    TSavedState saved_;
};

// The form while TSerExtDlg shows it; null otherwise.
extern TFormCOMSetup* FormCOMSetup;
