#pragma once
// The program's file dialogs: choosing a file to open or to save and choosing a
// directory. Every window asks through here, so that tests can preset the answers
// instead of blocking in a modal loop.

#include <QString>
#include <deque>

class QWidget;

class ZFileDialog {
public:
    enum class Kind { Open, Save, Directory };

    // What a window asked for, as the dialog would have shown it.
    struct Request {
        Kind DialogKind = Kind::Open;
        QString Title;
        QString Directory;
        QString Filter;         // e.g. "Serial Capture Settings (*.scs)"; empty: every file
        QString DefaultSuffix;  // appended to a typed name without one
    };

    // An existing file; "" when the user cancelled.
    static QString GetOpenFileName(QWidget* parent, const QString& title, const QString& directory,
                                   const QString& filter, const QString& defaultSuffix);
    // A file to write; the dialog has asked before an existing file is chosen. "" on cancel.
    static QString GetSaveFileName(QWidget* parent, const QString& title, const QString& directory,
                                   const QString& filter, const QString& defaultSuffix);
    // An existing directory, without a trailing delimiter; "" on cancel.
    static QString GetExistingDirectory(QWidget* parent, const QString& title, const QString& directory);

    // Tests: once an answer has been preset, no dialog is shown until Reset. Each request
    // takes the oldest preset answer; when none is left the request counts as cancelled.
    // "" stands for Cancel.
    static void SetNextAnswer(const QString& answer);
    static void Reset();
    // The latest request, answered or shown.
    static Request LastRequest();
    static int RequestCount();

private:
    static bool Answer(const Request& request, QString& answer);
};
