#include "ZMessageBox.h"

#include <QCoreApplication>
#include <QMessageBox>

namespace {
ZMessageBox::Recorder& CurrentRecorder() {
    static ZMessageBox::Recorder recorder;  // window thread only
    return recorder;
}
}  // namespace

void ZMessageBox::Error(QWidget* parent, const QString& text) {
    Show(parent, Kind::Error, text);
}

void ZMessageBox::Information(QWidget* parent, const QString& text) {
    Show(parent, Kind::Information, text);
}

void ZMessageBox::SetRecorder(Recorder recorder) {
    CurrentRecorder() = std::move(recorder);
}

void ZMessageBox::Show(QWidget* parent, Kind kind, const QString& text) {
    if (CurrentRecorder()) {
        CurrentRecorder()(kind, text);
        return;
    }
    if (kind == Kind::Error)
        QMessageBox::critical(parent, QCoreApplication::translate("ZMessageBox", "Error"), text);
    else
        QMessageBox::information(parent, QCoreApplication::translate("ZMessageBox", "Information"), text);
}
