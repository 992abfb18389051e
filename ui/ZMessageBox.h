#pragma once
// The program's message boxes: modal, one OK button. Every window shows its boxes
// through here, so that tests can record them instead of blocking in a modal loop.

#include <QString>
#include <functional>

class QWidget;

class ZMessageBox {
public:
    enum class Kind { Error, Information };

    static void Error(QWidget* parent, const QString& text);
    static void Information(QWidget* parent, const QString& text);

    // Tests: while a recorder is set, boxes are handed to it and not shown.
    using Recorder = std::function<void(Kind kind, const QString& text)>;
    static void SetRecorder(Recorder recorder);

private:
    static void Show(QWidget* parent, Kind kind, const QString& text);
};
