#pragma once
// Controls that cannot be seen are kept out of the focus chain. Qt's accessibility
// layer reports a control on a page that is not in front, or in a hidden part of a
// window, as focusable, so a screen reader would offer what nobody can see or reach
// with Tab. A control gives up its focus policy when it is hidden and takes it back
// when it is shown again.

#include <QObject>

class QWidget;

class ZFocusWhileShown : public QObject {
public:
    // Watches every widget of the program from now on. Window thread, once the
    // application object exists and before the windows are made; calling it again
    // does nothing.
    static void Install();

    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit ZFocusWhileShown(QObject* parent) : QObject(parent) {}
    static void Withdraw(QWidget* widget);
    static void Restore(QWidget* widget);
};
