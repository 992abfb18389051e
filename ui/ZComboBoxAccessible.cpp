#include "ZComboBoxAccessible.h"

#include <QComboBox>
#include <QLineEdit>

namespace {

QAccessibleInterface* ComboBoxFactory(const QString& /*className*/, QObject* object) {
    // Asked for every class of an object's ancestry, most derived first: the first
    // question about any combo box, whatever its own class, is answered here.
    auto* comboBox = qobject_cast<QComboBox*>(object);
    return comboBox ? new ZComboBoxAccessible(comboBox) : nullptr;
}

}  // namespace

ZComboBoxAccessible::ZComboBoxAccessible(QComboBox* comboBox)
    : QAccessibleWidget(comboBox, QAccessible::ComboBox) {}

QComboBox* ZComboBoxAccessible::ComboBox() const {
    return static_cast<QComboBox*>(widget());
}

QString ZComboBoxAccessible::text(QAccessible::Text t) const {
    if (t == QAccessible::Value) return ComboBox()->currentText();
    return QAccessibleWidget::text(t);
}

QStringList ZComboBoxAccessible::actionNames() const {
    return QStringList{showMenuAction()} + QAccessibleWidget::actionNames();
}

void ZComboBoxAccessible::doAction(const QString& actionName) {
    if (actionName == showMenuAction() || actionName == pressAction()) {
        ComboBox()->showPopup();
        return;
    }
    QAccessibleWidget::doAction(actionName);
}

void ZComboBoxAccessible::Install() {
    static const bool installed = [] {
        QAccessible::installFactory(ComboBoxFactory);
        return true;
    }();
    (void)installed;
}
