#include "TFormCOMSetup.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QShowEvent>
#include <bit>

#include "SerialTypes.h"
#include "TUpDown.h"

TFormCOMSetup* FormCOMSetup = nullptr;

namespace {

constexpr int MinSizeExponent = 4;   // 16 bytes
constexpr int MaxSizeExponent = 20;  // 1 MiB
constexpr int DefaultSizeExponent = 11;
constexpr int PortEntries = 4;
constexpr int DefaultRateIndex = br_009600;

template <typename T>
T* Place(T* widget, const char* name, int left, int top, int width, int height) {
    widget->setObjectName(name);
    widget->setGeometry(left, top, width, height);
    return widget;
}

QLabel* AddLabel(QWidget* parent, const char* name, const QString& caption, int left, int top,
                 QWidget* buddy) {
    auto* label = new QLabel(caption, parent);
    label->setObjectName(name);
    label->setBuddy(buddy);
    label->move(left, top);
    return label;
}

QComboBox* AddList(QWidget* parent, const char* name, int left, int top) {
    auto* list = Place(new QComboBox(parent), name, left, top, 65, 21);
    list->setEditable(false);
    return list;
}

void Refill(QComboBox* list, const QStringList& items, int selected) {
    list->clear();
    list->addItems(items);
    list->setCurrentIndex(selected);
}

// The parities' names as a settings text spells them, marked for the translation.
[[maybe_unused]] const char* const ParityCaptions[] = {
    QT_TRANSLATE_NOOP("ParityNames", "none"), QT_TRANSLATE_NOOP("ParityNames", "odd"),
    QT_TRANSLATE_NOOP("ParityNames", "even"), QT_TRANSLATE_NOOP("ParityNames", "mark"),
    QT_TRANSLATE_NOOP("ParityNames", "space")};

}  // namespace

QString ParityCaption(int parity) {
    return QCoreApplication::translate("ParityNames", ParityNames[parity]);
}

QFont DialogFont() {
    QFont font = QApplication::font();
    font.setPixelSize(11);
    // A narrower face where the system has one: the German captions were measured
    // for a narrow font, and "Schnittstelle" must end before its list starts.
    font.setStretch(QFont::SemiCondensed);
    return font;
}

TFormCOMSetup::TFormCOMSetup(const TPortTable& ports, QWidget* parent) : QDialog(parent), ports_(ports) {
    BuildControls();
    FormCreate();
}

TFormCOMSetup::~TFormCOMSetup() = default;

void TFormCOMSetup::BuildControls() {
    setObjectName("FormCOMSetup");
    setWindowTitle(tr("Settings"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(256, 297);
    // The positions are given in pixels for a small dialog font; the desktop's
    // usual larger font would clip the German captions at these sizes.
    setFont(DialogFont());
    // The caption sits on the frame line, so that the controls placed 16 pixels
    // below the group's top clear the frame.
    setStyleSheet(
        QStringLiteral("QGroupBox { border: 1px solid palette(mid); margin-top: 6px; }"
                       "QGroupBox::title { subcontrol-origin: margin; left: 6px; }"));

    // Created in the order of the layout, which is also the tab order.
    ComboBoxPort = AddList(this, "ComboBoxPort", 72, 8);

    GroupBox1 = Place(new QGroupBox(tr(" Format "), this), "GroupBox1", 8, 40, 81, 209);
    ComboBoxBaudrate = AddList(GroupBox1, "ComboBoxBaudrate", 8, 32);
    // Any whole rate may be typed: the table holds only the usual ones.
    ComboBoxBaudrate->setEditable(true);
    ComboBoxBaudrate->setInsertPolicy(QComboBox::NoInsert);
    ComboBoxBaudrate->setCompleter(nullptr);
    ComboBoxDatabit = AddList(GroupBox1, "ComboBoxDatabit", 8, 80);
    ComboBoxParity = AddList(GroupBox1, "ComboBoxParity", 8, 128);
    ComboBoxStop = AddList(GroupBox1, "ComboBoxStop", 8, 176);

    GroupBox2 = Place(new QGroupBox(tr(" Handshake "), this), "GroupBox2", 96, 40, 153, 89);
    CheckBoxRTSCTS =
        Place(new QCheckBox(tr("RTS/CTS handshake"), GroupBox2), "CheckBoxRTSCTS", 8, 16, 129, 17);
    CheckBoxDTRDSR =
        Place(new QCheckBox(tr("D&TR/DSR handshake"), GroupBox2), "CheckBoxDTRDSR", 8, 40, 137, 17);
    CheckBoxSoft = Place(new QCheckBox(tr("&XOn/XOff protocol"), GroupBox2), "CheckBoxSoft", 8, 64, 137, 17);

    GroupBox3 = Place(new QGroupBox(tr(" Transfer buffers "), this), "GroupBox3", 96, 136, 153, 113);
    EditBufR = Place(new QLineEdit(GroupBox3), "EditBufR", 8, 32, 57, 21);
    UpDown1 = Place(new TUpDown(GroupBox3), "UpDown1", 64, 32, 20, 21);
    EditBufT = Place(new QLineEdit(GroupBox3), "EditBufT", 8, 80, 57, 21);
    UpDown2 = Place(new TUpDown(GroupBox3), "UpDown2", 64, 80, 20, 21);

    ButtonOk = Place(new QPushButton(tr("&OK"), this), "ButtonOk", 40, 264, 75, 25);
    ButtonAbort = Place(new QPushButton(tr("&Cancel"), this), "ButtonAbort", 144, 264, 75, 25);

    AddLabel(this, "Label1", tr("&Serial port"), 8, 12, ComboBoxPort);
    AddLabel(GroupBox1, "Label2", tr("&Baud rate"), 8, 16, ComboBoxBaudrate);
    AddLabel(GroupBox1, "Label3", tr("&Data bits"), 8, 64, ComboBoxDatabit);
    AddLabel(GroupBox1, "Label4", tr("&Parity"), 8, 112, ComboBoxParity);
    AddLabel(GroupBox1, "Label5", tr("St&op bits"), 8, 160, ComboBoxStop);
    AddLabel(GroupBox3, "Label6", tr("R&eceive buffer"), 8, 16, EditBufR);
    AddLabel(GroupBox3, "Label7", tr("Se&nd buffer"), 8, 64, EditBufT);

    for (QLineEdit* edit : {EditBufR, EditBufT}) {
        // The sizes change only through the up-downs; the arrow keys in the edit
        // step them too, so that the field the label leads to is usable by keyboard.
        edit->setReadOnly(true);
        edit->installEventFilter(this);
    }
    for (TUpDown* upDown : {UpDown1, UpDown2}) {
        upDown->SetRange(MinSizeExponent, MaxSizeExponent);
        upDown->SetPosition(DefaultSizeExponent);
    }
    UpDown1->setAccessibleName(tr("Receive buffer"));
    UpDown2->setAccessibleName(tr("Send buffer"));

    // A style sheet breaks the inheritance of the font into the groups: give every
    // control the dialog font itself.
    for (QWidget* child : findChildren<QWidget*>()) {
        child->setFont(font());
        if (auto* label = qobject_cast<QLabel*>(child)) label->adjustSize();
    }

    QWidget* order[] = {ComboBoxPort,   ComboBoxBaudrate, ComboBoxDatabit, ComboBoxParity, ComboBoxStop,
                        CheckBoxRTSCTS, CheckBoxDTRDSR,   CheckBoxSoft,    EditBufR,       UpDown1,
                        EditBufT,       UpDown2,          ButtonOk,        ButtonAbort};
    for (size_t i = 1; i < std::size(order); ++i) setTabOrder(order[i - 1], order[i]);

    connect(ButtonOk, &QPushButton::clicked, this, &TFormCOMSetup::ButtonOkClick);
    connect(ButtonAbort, &QPushButton::clicked, this, &TFormCOMSetup::reject);
    connect(UpDown1, &TUpDown::Click, this, &TFormCOMSetup::UpDown1Click);
    connect(UpDown2, &TUpDown::Click, this, &TFormCOMSetup::UpDown2Click);
}

void TFormCOMSetup::FormCreate() {
    if (ports_.PortsExist()) {
        for (int i = 0; i < MaxCOMPort && ComboBoxPort->count() < PortEntries; ++i) {
            const int32_t port = ports_.PortName(i);
            if (port != 0) ComboBoxPort->addItem(QString::fromStdString(ports_.DisplayName(port)));
        }
    }
    ComboBoxPort->setCurrentIndex(0);
    move(0, 0);
}

bool TFormCOMSetup::CommConfigDialogEx(TCOMExtParams& params) {
    // A port the list does not offer is shown, and confirmed, as port 1. Ports
    // the list does offer keep their number, also above 4: confirming the form
    // unchanged must not move the component to another port.
    if (!Offers(params.COMPort)) params.COMPort = 1;
    port_ = params.COMPort;
    dcb_ = params.dcb;
    bufSizeRec_ = params.BufSizeRec;
    bufSizeTrm_ = params.BufSizeTrm;
    if (params.ParentDlg != nullptr && params.ParentDlg != parentWidget())
        setParent(params.ParentDlg, windowFlags());
    PlaceForm(*this, params.PositionDlg, params.LeftDlg, params.TopDlg, params.ParentDlg);

    QPointer<TFormCOMSetup> self(this);
    const bool ok = exec() == QDialog::Accepted;
    if (self.isNull()) return false;  // destroyed with its parent while shown
    if (ok) {
        params.COMPort = port_;
        params.dcb = dcb_;
        params.BufSizeRec = bufSizeRec_;
        params.BufSizeTrm = bufSizeTrm_;
    }
    return ok;
}

bool TFormCOMSetup::Offers(int32_t port) const {
    return ports_.COMAvailable(port) && ports_.Port2Index(port) < ComboBoxPort->count();
}

void TFormCOMSetup::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // A window restored by the window system is not a new showing.
    if (!event->spontaneous()) FormShow();
}

void TFormCOMSetup::FormShow() {
    QComboBox* lists[] = {ComboBoxPort, ComboBoxBaudrate, ComboBoxDatabit, ComboBoxParity, ComboBoxStop};
    for (int i = 0; i < 5; ++i) saved_.Selections[i] = lists[i]->currentIndex();
    saved_.Checks[0] = CheckBoxRTSCTS->isChecked();
    saved_.Checks[1] = CheckBoxDTRDSR->isChecked();
    saved_.Checks[2] = CheckBoxSoft->isChecked();
    saved_.BufSizeRec = bufSizeRec_;
    saved_.BufSizeTrm = bufSizeTrm_;
    saved_.Positions[0] = UpDown1->Position();
    saved_.Positions[1] = UpDown2->Position();
    saved_.EditTexts[0] = EditBufR->text();
    saved_.EditTexts[1] = EditBufT->text();

    ComboBoxPort->setCurrentIndex(ports_.Port2Index(port_));

    QStringList rates;
    int rateIndex = DefaultRateIndex;
    for (int i = 0; i < 20; ++i) {
        rates << QString::number(Baudrates[i]);
        if (static_cast<uint32_t>(Baudrates[i]) == dcb_.BaudRate) rateIndex = i;
    }
    // A rate outside the table is shown as it is, not replaced by the default.
    if (rateIndex == DefaultRateIndex && dcb_.BaudRate > 0 &&
        dcb_.BaudRate != static_cast<uint32_t>(Baudrates[DefaultRateIndex])) {
        rates << QString::number(dcb_.BaudRate);
        rateIndex = 20;
    }
    Refill(ComboBoxBaudrate, rates, rateIndex);
    saved_.RateText = ComboBoxBaudrate->currentText();

    // Values no list holds show the component's defaults rather than nothing, so
    // that OK always writes a complete line format.
    Refill(ComboBoxDatabit, {"4", "5", "6", "7", "8"},
           dcb_.ByteSize >= 4 && dcb_.ByteSize <= 8 ? dcb_.ByteSize - 4 : int{db_8});
    QStringList parities;
    for (int parity = none; parity <= space; ++parity) parities << ParityCaption(parity);
    Refill(ComboBoxParity, parities, dcb_.Parity <= space ? int{dcb_.Parity} : int{none});
    QStringList stops;
    for (const char* name : StopbitsNames) stops << QString::fromUtf8(name);
    Refill(ComboBoxStop, stops, dcb_.StopBits <= sb_2 ? int{dcb_.StopBits} : int{sb_1});

    CheckBoxRTSCTS->setChecked(dcb_.Get(DCB::fRtsControl) != 0 || dcb_.Get(DCB::fOutxCtsFlow) != 0);
    CheckBoxDTRDSR->setChecked(dcb_.Get(DCB::fDtrControl) != 0 || dcb_.Get(DCB::fOutxDsrFlow) != 0);
    CheckBoxSoft->setChecked(dcb_.Get(DCB::fOutX) != 0 || dcb_.Get(DCB::fInX) != 0);

    ShowBufferSize(bufSizeRec_, EditBufR, UpDown1);
    ShowBufferSize(bufSizeTrm_, EditBufT, UpDown2);
}

void TFormCOMSetup::ShowBufferSize(int32_t size, QLineEdit* edit, TUpDown* upDown) {
    edit->setText(QString::number(size));
    upDown->SetPosition(std::countr_zero(static_cast<uint32_t>(size)));
}

void TFormCOMSetup::UpDown1Click() {
    bufSizeRec_ = int32_t{1} << UpDown1->Position();
    EditBufR->setText(QString::number(bufSizeRec_));
}

void TFormCOMSetup::UpDown2Click() {
    bufSizeTrm_ = int32_t{1} << UpDown2->Position();
    EditBufT->setText(QString::number(bufSizeTrm_));
}

void TFormCOMSetup::ButtonOkClick() {
    const int portIndex = ComboBoxPort->currentIndex();
    bool whole = false;
    const QString rateText = ComboBoxBaudrate->currentText().trimmed();
    const uint rate = rateText.toUInt(&whole);
    if (!whole || rate == 0 || rate > static_cast<uint>(INT32_MAX)) {
        QMessageBox::critical(this, windowTitle(), tr("This is not a valid baudrate!"));
        ComboBoxBaudrate->setFocus();
        return;
    }
    port_ = portIndex >= 0 ? ports_.PortName(portIndex) : 0;
    dcb_.BaudRate = rate;
    dcb_.ByteSize = static_cast<uint8_t>(std::max(ComboBoxDatabit->currentIndex(), 0) + 4);
    const int parity = std::max(ComboBoxParity->currentIndex(), 0);
    dcb_.Parity = static_cast<uint8_t>(parity);
    dcb_.StopBits = static_cast<uint8_t>(std::max(ComboBoxStop->currentIndex(), 0));

    const bool rtsCts = CheckBoxRTSCTS->isChecked();
    const bool dtrDsr = CheckBoxDTRDSR->isChecked();
    const bool soft = CheckBoxSoft->isChecked();
    dcb_.Flags = 0;
    dcb_.Set(DCB::fBinary, 1);
    dcb_.Set(DCB::fParity, parity > 0);
    dcb_.Set(DCB::fOutxCtsFlow, rtsCts);
    dcb_.Set(DCB::fOutxDsrFlow, dtrDsr);
    dcb_.Set(DCB::fDtrControl, dtrDsr ? DCB::DTR_CONTROL_HANDSHAKE : DCB::DTR_CONTROL_DISABLE);
    dcb_.Set(DCB::fOutX, soft);
    dcb_.Set(DCB::fInX, soft);
    dcb_.Set(DCB::fRtsControl, rtsCts ? DCB::RTS_CONTROL_HANDSHAKE : DCB::RTS_CONTROL_DISABLE);
    dcb_.XonChar = 17;
    dcb_.XoffChar = 19;

    bufSizeRec_ = EditBufR->text().toInt();
    bufSizeTrm_ = EditBufT->text().toInt();
    accept();
}

void TFormCOMSetup::ButtonAbortClick() {
    QComboBox* lists[] = {ComboBoxPort, ComboBoxBaudrate, ComboBoxDatabit, ComboBoxParity, ComboBoxStop};
    for (int i = 0; i < 5; ++i) lists[i]->setCurrentIndex(saved_.Selections[i]);
    ComboBoxBaudrate->setEditText(saved_.RateText);
    CheckBoxRTSCTS->setChecked(saved_.Checks[0]);
    CheckBoxDTRDSR->setChecked(saved_.Checks[1]);
    CheckBoxSoft->setChecked(saved_.Checks[2]);
    bufSizeRec_ = saved_.BufSizeRec;
    bufSizeTrm_ = saved_.BufSizeTrm;
    UpDown1->SetPosition(saved_.Positions[0]);
    UpDown2->SetPosition(saved_.Positions[1]);
    EditBufR->setText(saved_.EditTexts[0]);
    EditBufT->setText(saved_.EditTexts[1]);
}

void TFormCOMSetup::reject() {
    ButtonAbortClick();
    QDialog::reject();
}

bool TFormCOMSetup::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && (watched == EditBufR || watched == EditBufT)) {
        TUpDown* upDown = watched == EditBufR ? UpDown1 : UpDown2;
        switch (static_cast<QKeyEvent*>(event)->key()) {
            case Qt::Key_Up:
                upDown->stepBy(1);
                return true;
            case Qt::Key_Down:
                upDown->stepBy(-1);
                return true;
            default:
                break;
        }
    }
    return QDialog::eventFilter(watched, event);
}
