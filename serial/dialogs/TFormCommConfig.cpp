#include "TFormCommConfig.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include <iterator>

#include "SerialTypes.h"
#include "TFormCOMSetup.h"
#include "TSerStdDlg.h"

namespace {

QComboBox* AddRow(QFormLayout* form, QWidget* parent, const char* labelName, const QString& caption,
                  const char* name) {
    auto* list = new QComboBox(parent);
    list->setObjectName(name);
    auto* label = new QLabel(caption, parent);
    label->setObjectName(labelName);
    label->setBuddy(list);
    form->addRow(label, list);
    return list;
}

}  // namespace

TFormCommConfig::TFormCommConfig(const QString& deviceName, const DCB& dcb, QWidget* parent)
    : QDialog(parent), dcb_(dcb) {
    setObjectName("FormCommConfig");
    setWindowTitle(tr("Settings for %1").arg(deviceName));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);

    auto* rows = new QFormLayout;
    ComboBoxBaudrate = AddRow(rows, this, "Label1", tr("&Bits per second"), "ComboBoxBaudrate");
    ComboBoxDatabit = AddRow(rows, this, "Label2", tr("&Data bits"), "ComboBoxDatabit");
    ComboBoxParity = AddRow(rows, this, "Label3", tr("&Parity"), "ComboBoxParity");
    ComboBoxStop = AddRow(rows, this, "Label4", tr("&Stop bits"), "ComboBoxStop");
    ComboBoxFlow = AddRow(rows, this, "Label5", tr("&Flow control"), "ComboBoxFlow");

    // A rate outside the dialog's list stays selectable, so that confirming
    // without a change keeps it.
    if (std::find(std::begin(StdDlgBaudrates), std::end(StdDlgBaudrates),
                  static_cast<int32_t>(dcb.BaudRate)) == std::end(StdDlgBaudrates))
        ComboBoxBaudrate->addItem(QString::number(dcb.BaudRate), dcb.BaudRate);
    for (int32_t rate : StdDlgBaudrates) ComboBoxBaudrate->addItem(QString::number(rate), rate);
    ComboBoxBaudrate->setCurrentIndex(ComboBoxBaudrate->findData(dcb.BaudRate));

    for (int bits = 4; bits <= 8; ++bits) ComboBoxDatabit->addItem(QString::number(bits));
    ComboBoxDatabit->setCurrentIndex(dcb.ByteSize >= 4 && dcb.ByteSize <= 8 ? dcb.ByteSize - 4 : int{db_8});
    for (int parity = none; parity <= space; ++parity) ComboBoxParity->addItem(ParityCaption(parity));
    ComboBoxParity->setCurrentIndex(dcb.Parity <= space ? int{dcb.Parity} : int{none});
    for (const char* name : StopbitsNames) ComboBoxStop->addItem(QString::fromUtf8(name));
    ComboBoxStop->setCurrentIndex(dcb.StopBits <= sb_2 ? int{dcb.StopBits} : int{sb_1});

    ComboBoxFlow->addItems({tr("none"), tr("XOn/XOff"), tr("Hardware (RTS/CTS)")});
    const bool hardware =
        dcb.Get(DCB::fOutxCtsFlow) != 0 || dcb.Get(DCB::fRtsControl) == DCB::RTS_CONTROL_HANDSHAKE;
    const bool software = dcb.Get(DCB::fOutX) != 0 || dcb.Get(DCB::fInX) != 0;
    ComboBoxFlow->setCurrentIndex(hardware ? FlowHardware : software ? FlowXOnXOff : FlowNone);

    ButtonOk = new QPushButton(tr("&OK"), this);
    ButtonOk->setObjectName("ButtonOk");
    ButtonOk->setDefault(true);
    ButtonAbort = new QPushButton(tr("&Cancel"), this);
    ButtonAbort->setObjectName("ButtonAbort");
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(ButtonOk, QDialogButtonBox::AcceptRole);
    buttons->addButton(ButtonAbort, QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(rows);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

DCB TFormCommConfig::Result() const {
    DCB dcb = dcb_;
    dcb.BaudRate = ComboBoxBaudrate->currentData().toUInt();
    dcb.ByteSize = static_cast<uint8_t>(ComboBoxDatabit->currentIndex() + 4);
    dcb.Parity = static_cast<uint8_t>(ComboBoxParity->currentIndex());
    dcb.Set(DCB::fParity, dcb.Parity != DCB::NOPARITY);
    dcb.StopBits = static_cast<uint8_t>(ComboBoxStop->currentIndex());
    const int flow = ComboBoxFlow->currentIndex();
    dcb.Set(DCB::fOutxCtsFlow, flow == FlowHardware);
    dcb.Set(DCB::fRtsControl, flow == FlowHardware ? DCB::RTS_CONTROL_HANDSHAKE : DCB::RTS_CONTROL_DISABLE);
    dcb.Set(DCB::fOutX, flow == FlowXOnXOff);
    dcb.Set(DCB::fInX, flow == FlowXOnXOff);
    return dcb;
}

bool TFormCommConfig::CommConfigDialog(const QString& deviceName, QWidget* parent, COMMCONFIG& config) {
    TFormCommConfig form(deviceName, config.dcb, parent);
    if (form.exec() != QDialog::Accepted) return false;
    config.dcb = form.Result();
    return true;
}
