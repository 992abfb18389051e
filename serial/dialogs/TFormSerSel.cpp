#include "TFormSerSel.h"

#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>

#include "TFormCOMSetup.h"

TFormSerSel* FormSerSel = nullptr;

TFormSerSel::TFormSerSel(int32_t port, const TPortTable& ports, QWidget* parent)
    : QDialog(parent), ports_(ports), port_(port) {
    setObjectName("FormSerSel");
    setWindowTitle(tr("Serial port"));
    // A fixed frame with a title but no title-bar buttons.
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                   Qt::WindowTitleHint);
    setFixedSize(185, 72);
    setFont(DialogFont());

    Panel1 = new QFrame(this);
    Panel1->setObjectName("Panel1");
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Panel1->setGeometry(4, 4, 177, 33);
    ComboBox1 = new QComboBox(Panel1);
    ComboBox1->setObjectName("ComboBox1");
    ComboBox1->setGeometry(96, 6, 73, 21);
    Label1 = new QLabel(tr("&Serial port"), Panel1);
    Label1->setObjectName("Label1");
    Label1->setBuddy(ComboBox1);
    Label1->move(8, 9);
    Label1->adjustSize();

    ButtonOk = new QPushButton(tr("&OK"), this);
    ButtonOk->setObjectName("ButtonOk");
    ButtonOk->setGeometry(12, 43, 75, 25);
    ButtonOk->setDefault(true);
    ButtonAbort = new QPushButton(tr("&Cancel"), this);
    ButtonAbort->setObjectName("ButtonAbort");
    ButtonAbort->setGeometry(98, 43, 75, 25);
    setTabOrder(ComboBox1, ButtonOk);
    setTabOrder(ButtonOk, ButtonAbort);

    for (int i = 0; i < MaxCOMPort; ++i) {
        const int32_t number = ports_.PortsExist() ? ports_.PortName(i) : 0;
        if (number != 0) ComboBox1->addItem(QString::fromStdString(ports_.DisplayName(number)));
    }
    hasPorts_ = ComboBox1->count() > 0;

    connect(ButtonOk, &QPushButton::clicked, this, &QDialog::accept);
    connect(ButtonAbort, &QPushButton::clicked, this, &QDialog::reject);
    // Only the user's choices count: the form keeps a port it received that the
    // list does not hold until the user picks one.
    connect(ComboBox1, &QComboBox::activated, this, &TFormSerSel::ComboBox1Change);
    ComboBox1->setFocus();
}

void TFormSerSel::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous()) FormShow();
}

void TFormSerSel::FormShow() {
    takeChanges_ = false;
    if (!hasPorts_) {
        if (ComboBox1->count() == 0) ComboBox1->addItem(tr("none"));
        ComboBox1->setCurrentIndex(0);
        port_ = 0;
        return;
    }
    if (port_ == 0) port_ = 1;
    ComboBox1->setCurrentIndex(ports_.Port2Index(port_));
    takeChanges_ = true;
}

void TFormSerSel::ComboBox1Change(int index) {
    if (takeChanges_ && index >= 0) port_ = ports_.PortName(index);
}
