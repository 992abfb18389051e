#pragma once
// Combo boxes as assistive technology sees them: named by their caption (the accessible
// name, or the label that is their buddy) with their current text as their value, and
// with their list of items as their first child (an editable one's text field the
// second), so that a screen reader can browse the items without opening the list.
// Qt's own interface on Linux gives the current text as the name too, so a screen
// reader would read "115200 Baud" where the user asked for "Baud rate".

#include <QAccessibleWidget>

class QComboBox;

class ZComboBoxAccessible : public QAccessibleWidget {
public:
    explicit ZComboBoxAccessible(QComboBox* comboBox);

    // Name: the caption; Value: the text shown.
    QString text(QAccessible::Text t) const override;
    // Child 0: the list of items; child 1 of an editable combo box: its text field.
    int childCount() const override;
    QAccessibleInterface* child(int index) const override;
    int indexOfChild(const QAccessibleInterface* child) const override;
    QAccessibleInterface* childAt(int x, int y) const override;
    // Opening the list is the combo box's action besides taking the focus.
    QStringList actionNames() const override;
    void doAction(const QString& actionName) override;

    // Makes every combo box of the program use this interface. Window thread, once
    // the application object exists; calling it again does nothing.
    static void Install();

private:
    QComboBox* ComboBox() const;
};
