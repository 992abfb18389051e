#include "ZComboBoxAccessible.h"

#include <QAbstractItemView>
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

int ZComboBoxAccessible::childCount() const {
    return ComboBox()->isEditable() && ComboBox()->lineEdit() != nullptr ? 2 : 1;
}

QAccessibleInterface* ZComboBoxAccessible::child(int index) const {
    if (index == 0) return QAccessible::queryAccessibleInterface(ComboBox()->view());
    if (index == 1 && childCount() == 2) return QAccessible::queryAccessibleInterface(ComboBox()->lineEdit());
    return nullptr;
}

int ZComboBoxAccessible::indexOfChild(const QAccessibleInterface* child) const {
    if (child == nullptr) return -1;
    if (child->object() == ComboBox()->view()) return 0;
    if (childCount() == 2 && child->object() == ComboBox()->lineEdit()) return 1;
    return -1;
}

QAccessibleInterface* ZComboBoxAccessible::childAt(int x, int y) const {
    // Only the text field lies within the box; the list, closed, is nowhere on screen.
    if (childCount() == 2 && child(1)->rect().contains(x, y)) return child(1);
    return nullptr;
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
