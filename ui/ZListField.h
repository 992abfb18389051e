#pragma once
// An editable list field as the main window's pages make them: named, with an
// accessible name, no completion typing for the user, and a hook that runs just
// before its list opens (to fill it with what is there now).
//
// Window thread only.

#include <QComboBox>
#include <QString>
#include <functional>

class ZListField : public QComboBox {
public:
    ZListField(const char* name, const QString& accessibleName, int contentsLength, QWidget* parent)
        : QComboBox(parent) {
        setObjectName(QString::fromLatin1(name));
        setEditable(true);
        setInsertPolicy(QComboBox::NoInsert);
        setAccessibleName(accessibleName);
        setMinimumContentsLength(contentsLength);
        // Completion would type for the user.
        setCompleter(nullptr);
    }

    std::function<void()> BeforeOpening;

    void showPopup() override {
        if (BeforeOpening) BeforeOpening();
        QComboBox::showPopup();
    }
};
