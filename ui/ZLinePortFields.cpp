#include "ZLinePortFields.h"

#include <QCoreApplication>
#include <QLineEdit>
#include <QObject>
#include <QPushButton>
#include <QSignalBlocker>
#include <string>

#include "SerialPlatformNet.h"
#include "SerialPortLocator.h"
#include "TPortTable.h"
#include "ZControls.h"
#include "ZEngineText.h"
#include "ZListField.h"
#include "ZLogger.h"
#include "ZMessageBox.h"
#include "ZPortDialog.h"

namespace {

// The page's texts: the controls are the General page's, and so is their translation.
QString Text(const char* source) {
    return QCoreApplication::translate("ZGeneralPage", source);
}

const char* const TextNetworkPortItem = QT_TRANSLATE_NOOP("ZGeneralPage", "Network port...");
const char* const TextTakeEffectLater =
    QT_TRANSLATE_NOOP("ZGeneralPage", "Changes will take effect after restarting the capture...");

// A decimal integer and nothing else (an optional minus sign, then digits).
bool ParseDecimal(const QString& text, int& value) {
    if (text.isEmpty()) return false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (!(c.isDigit() && c.unicode() < 128) && !(i == 0 && c == u'-' && text.size() > 1)) return false;
    }
    bool ok = false;
    value = text.toInt(&ok);
    return ok;
}

std::string NameOf(const char* name, int line) {
    return line == 1 ? std::string(name) + "2" : std::string(name);
}

}  // namespace

ZLinePortFields::ZLinePortFields(std::function<ZLogger*()> engine, int line, QWidget* parent)
    : engine_(std::move(engine)), line_(line == 1 ? 1 : 0) {
    const bool second = line_ == 1;
    ports_ = new ZListField(NameOf("cb_COMPorts", line_).c_str(),
                            second ? Text(QT_TRANSLATE_NOOP("ZGeneralPage", "COM port of the second line"))
                                   : Text(QT_TRANSLATE_NOOP("ZGeneralPage", "COM port")),
                            7, parent);
    ports_->BeforeOpening = [this] { FillPorts(true); };
    ports_->setEditText(QStringLiteral("---"));
    rates_ = new ZListField(NameOf("cb_Baudrates", line_).c_str(),
                            second ? Text(QT_TRANSLATE_NOOP("ZGeneralPage", "Baud rate of the second line"))
                                   : Text(QT_TRANSLATE_NOOP("ZGeneralPage", "Baud rate")),
                            12, parent);
    settings_ = ZMakeButton(NameOf("btn_PortSettings", line_).c_str(),
                            Text(QT_TRANSLATE_NOOP("ZGeneralPage", "Extended COM port settings")), parent);
    if (second)
        settings_->setAccessibleName(
            Text(QT_TRANSLATE_NOOP("ZGeneralPage", "Extended COM port settings of the second line")));
    // A half-typed text is no choice yet: the text is taken when chosen from the list,
    // on Enter, when the field loses the focus, and by "Start capture".
    QObject::connect(ports_, &QComboBox::currentIndexChanged, &context_, [this] { CommitPortText(); });
    QObject::connect(ports_->lineEdit(), &QLineEdit::editingFinished, &context_, [this] { CommitPortText(); });
    QObject::connect(rates_, &QComboBox::currentIndexChanged, &context_, [this] { CommitBaudText(); });
    QObject::connect(rates_->lineEdit(), &QLineEdit::editingFinished, &context_, [this] { CommitBaudText(); });
    QObject::connect(settings_, &QPushButton::clicked, &context_, [this] { OpenSettingsDialog(); });
}

QComboBox* ZLinePortFields::Ports() const {
    return ports_;
}

QComboBox* ZLinePortFields::Rates() const {
    return rates_;
}

QWidget* ZLinePortFields::Owner() const {
    return ports_->window();
}

void ZLinePortFields::FillRates() {
    ZLogger* engine = engine_();
    if (engine == nullptr) return;
    const QSignalBlocker rateBlocker(rates_);
    std::vector<std::string> list;
    engine->GetBaudrateList(list);
    for (const std::string& rate : list) rates_->addItem(ZLocalText(rate));
}

void ZLinePortFields::FillPorts(bool rescan) {
    TPortTable& ports = TPortTable::Global();
    if (rescan) ports.Rescan();
    // Filling a list is no choice of the user's: the port keeps its settings.
    const QSignalBlocker blocker(ports_);
    const QString shown = ports_->currentText();
    ports_->clear();
    for (int n = 1; n <= ports.LastCOM(); ++n)
        if (ports.COMAvailable(n)) ports_->addItem(QString::fromStdString(ports.ListName(n)));
    ports_->addItem(Text(TextNetworkPortItem));
    // No item is chosen: whichever the user picks is a change.
    ports_->setCurrentIndex(-1);
    ports_->setEditText(shown);
}

bool ZLinePortFields::Commit() {
    return CommitPortText() && CommitBaudText();
}

void ZLinePortFields::SetEnabled(bool enabled) {
    for (QWidget* control : std::initializer_list<QWidget*>{ports_, rates_, settings_}) control->setEnabled(enabled);
}

bool ZLinePortFields::CommitPortText() {
    if (engine_() == nullptr) return false;
    if (ports_->currentText() == Text(TextNetworkPortItem)) {
        // The address is typed into the field itself, which now waits for it.
        const QSignalBlocker blocker(ports_);
        ports_->setEditText(QStringLiteral("rfc2217://"));
        ports_->lineEdit()->setFocus();
        return false;
    }
    const bool taken = TakePort(ports_->currentText());
    ShowPortNumber();
    return taken;
}

bool ZLinePortFields::CommitBaudText() {
    if (engine_() == nullptr) return false;
    const bool taken = TakeBaudrate(rates_->currentText());
    ShowBaudrate();
    return taken;
}

bool ZLinePortFields::TakePort(const QString& text) {
    ZLogger& engine = *engine_();
    const std::string typed = text.trimmed().toStdString();
    if (IsNetworkPortAddress(typed)) {
        TNetPortAddress address;
        // A bare scheme is an address not begun: the field shows the port in use again.
        if (typed == "rfc2217://" || typed == "tcp://") return false;
        if (!ParseNetworkPortAddress(typed, address)) {
            ZMessageBox::Error(Owner(), Text(QT_TRANSLATE_NOOP("ZGeneralPage",
                                                               "This is not a valid network port address!")));
            return false;
        }
        if (typed == engine.GetNetworkPort(line_)) return true;
        if (engine.IsCapturing()) ZMessageBox::Information(Owner(), Text(TextTakeEffectLater));
        engine.SetNetworkPort(typed, line_);
        return true;
    }
    int port = 0;
    // A list entry names the port first, then its device.
    const QString number = text.section(u' ', 0, 0);
    if (!number.startsWith(QStringLiteral("COM"), Qt::CaseInsensitive) || !ParseDecimal(number.mid(3), port)) {
        ZMessageBox::Error(Owner(), Text(QT_TRANSLATE_NOOP("ZGeneralPage", "This is not a valid COM port!")));
        return false;
    }
    if (port == engine.GetCOMPort(line_) && engine.GetNetworkPort(line_).empty()) return true;
    // A port that is not there would only become "no port" and fail at the start.
    if (const std::string refusal = PortRefusalText(port); !refusal.empty()) {
        ZMessageBox::Error(Owner(), ZEngineText(refusal));
        return false;
    }
    if (engine.IsCapturing()) ZMessageBox::Information(Owner(), Text(TextTakeEffectLater));
    engine.SetNetworkPort("", line_);
    engine.SetCOMPort(port, line_);
    return true;
}

bool ZLinePortFields::TakeBaudrate(const QString& text) {
    ZLogger& engine = *engine_();
    int rate = 0;
    // A bare number is a rate as well: typing the unit is no one's habit.
    const bool unit = text.endsWith(QStringLiteral(" Baud"));
    if (!ParseDecimal(unit ? text.left(text.size() - 5) : text, rate) || rate <= 0) {
        ZMessageBox::Error(Owner(), Text(QT_TRANSLATE_NOOP("ZGeneralPage", "This is not a valid baudrate!")));
        return false;
    }
    if (rate == engine.GetBaudrate(line_)) return true;
    if (engine.IsCapturing()) ZMessageBox::Information(Owner(), Text(TextTakeEffectLater));
    engine.SetBaudrate(rate, line_);
    return true;
}

void ZLinePortFields::ShowState() {
    ShowPortNumber();
    ShowBaudrate();
}

void ZLinePortFields::ShowPortNumber() {
    const ZLogger* engine = engine_();
    if (engine == nullptr) return;
    // Shown, not chosen: the change handlers would write the value straight back.
    const QSignalBlocker blocker(ports_);
    const std::string network = engine->GetNetworkPort(line_);
    ports_->setEditText(network.empty() ? QStringLiteral("COM") + QString::number(engine->GetCOMPort(line_))
                                        : ZLocalText(network));
    if (PortShown) PortShown();
}

void ZLinePortFields::ShowBaudrate() {
    const ZLogger* engine = engine_();
    if (engine == nullptr) return;
    const QSignalBlocker blocker(rates_);
    rates_->setEditText(QString::number(engine->GetBaudrate(line_)) + QStringLiteral(" Baud"));
}

void ZLinePortFields::OpenSettingsDialog() {
    ZLogger* engine = engine_();
    if (engine == nullptr) return;
    // The dialog lists the ports present now.
    TPortTable::Global().Rescan();
    ZPortDialog dialog(Owner());
    engine->ShowPortDialog(dialog, line_);
    // The dialog may have changed the rate as well as the port.
    ShowState();
}
