#include "TCOMComboBox.h"

#include <algorithm>

#include "TCustomSerial.h"

namespace {
constexpr int PortEntries = 4;
constexpr int32_t HighestSelectablePort = 98;
}  // namespace

TCOMComboBox::TCOMComboBox(QWidget* owner, TPortTable& ports) : QComboBox(owner), ports_(ports) {
    ports_.Init(PortEntries);
    setEditable(false);
    setEnabled(true);
    setMaxVisibleItems(PortEntries);
    if (ports_.PortsExist()) {
        for (int i = 0; i < MaxCOMPort && count() < PortEntries; ++i) {
            const int32_t port = ports_.PortName(i);
            if (port != 0) addItem(QString::fromStdString(ports_.DisplayName(port)));
        }
    } else {
        addItem(tr("none"));
    }
    setCurrentIndex(0);
    // 57 pixels wide, unless the font in use needs more to show "COM99".
    resize(std::max(57, sizeHint().width()), height());
    connect(this, &QComboBox::activated, this, [this] { Change(); });
}

int32_t TCOMComboBox::SelectedPort() const {
    if (!ports_.PortsExist() || currentIndex() < 0) return 0;
    return ports_.PortName(currentIndex());
}

void TCOMComboBox::SetSelectedPort(int32_t n) {
    if (n < 1 || n > HighestSelectablePort || !ports_.COMAvailable(n)) return;
    const int index = ports_.Port2Index(n);
    setCurrentIndex(index < count() ? index : -1);
    if (serial_ != nullptr) serial_->SetCOMPort(n);
    Change();
}

void TCOMComboBox::showPopup() {
    emit OnDropDown();
    QComboBox::showPopup();
}

void TCOMComboBox::Change() {
    if (serial_ != nullptr) serial_->SetCOMPort(SelectedPort());
    emit OnChange();
}
