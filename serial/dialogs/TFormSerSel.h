#pragma once
// The port chooser form ("Serielle Schnittstelle"): one list of all existing
// ports, OK and cancel. Shown by TSerSel; a form lives for one showing.

#include <QDialog>
#include <cstdint>

#include "TPortTable.h"

class QComboBox;
class QFrame;
class QLabel;
class QPushButton;

class TFormSerSel : public QDialog {
    Q_OBJECT
public:
    // Lists every existing port of ports; port is the one shown selected.
    TFormSerSel(int32_t port, const TPortTable& ports = TPortTable::Global(), QWidget* parent = nullptr);

    // The chosen port: the one handed in (1 for 0) until the user picks another;
    // 0 when there are no ports.
    int32_t Port() const { return port_; }
    bool HasPorts() const { return hasPorts_; }

    QFrame* Panel1;
    QLabel* Label1;
    QComboBox* ComboBox1;
    QPushButton* ButtonOk;
    QPushButton* ButtonAbort;

protected:
    void showEvent(QShowEvent* event) override;

private slots:
    void ComboBox1Change(int index);

private:
    void FormShow();

    const TPortTable& ports_;
    int32_t port_;
    bool hasPorts_ = false;
    bool takeChanges_ = false;
};

// The form while TSerSel shows it; null otherwise.
extern TFormSerSel* FormSerSel;
