#pragma once
// Drives a modal dialog from inside its own event loop: a zero-interval timer
// waits for the dialog to become the active modal widget, then runs the action
// once. A dialog the action leaves open is rejected, so a failed check never
// leaves a test hanging in the modal loop.

#include <QApplication>
#include <QDialog>
#include <QTimer>
#include <functional>

class ModalDriver {
public:
    explicit ModalDriver(std::function<void(QDialog&)> action) : action_(std::move(action)) {
        timer_.setInterval(0);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (dialog == nullptr) return;
            timer_.stop();
            ran_ = true;
            action_(*dialog);
            if (dialog->isVisible()) dialog->reject();
        });
        timer_.start();
    }

    // The action ran (a dialog was shown).
    bool Ran() const { return ran_; }

private:
    std::function<void(QDialog&)> action_;
    QTimer timer_;
    bool ran_ = false;
};

template <typename T>
T* Child(QWidget& parent, const char* name) {
    return parent.findChild<T*>(QString::fromLatin1(name));
}
