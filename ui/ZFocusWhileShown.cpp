#include "ZFocusWhileShown.h"

#include <QApplication>
#include <QEvent>
#include <QWidget>

namespace {

// The focus policy a hidden control had, kept on the control itself.
const char* const PolicyWhileShown = "kestrunPolicyWhileShown";

}  // namespace

void ZFocusWhileShown::Install() {
    static bool installed = false;
    if (installed || qApp == nullptr) return;
    installed = true;
    qApp->installEventFilter(new ZFocusWhileShown(qApp));
}

bool ZFocusWhileShown::eventFilter(QObject* watched, QEvent* event) {
    if (!watched->isWidgetType()) return false;
    auto* widget = static_cast<QWidget*>(watched);
    switch (event->type()) {
        case QEvent::Hide:
            // A window or part that was shown: each control in it gets this event itself.
            Withdraw(widget);
            break;
        case QEvent::HideToParent:
            // Hidden while its window is not shown yet (a page behind another): its
            // controls get no event of their own.
            Withdraw(widget);
            for (QWidget* child : widget->findChildren<QWidget*>())
                if (!child->isWindow()) Withdraw(child);
            break;
        case QEvent::Show:
            Restore(widget);
            break;
        default:
            break;
    }
    return false;
}

void ZFocusWhileShown::Withdraw(QWidget* widget) {
    if (widget->focusPolicy() == Qt::NoFocus || widget->property(PolicyWhileShown).isValid()) return;
    widget->setProperty(PolicyWhileShown, static_cast<int>(widget->focusPolicy()));
    widget->setFocusPolicy(Qt::NoFocus);
}

void ZFocusWhileShown::Restore(QWidget* widget) {
    const QVariant policy = widget->property(PolicyWhileShown);
    if (!policy.isValid()) return;
    widget->setProperty(PolicyWhileShown, QVariant());
    widget->setFocusPolicy(static_cast<Qt::FocusPolicy>(policy.toInt()));
}
