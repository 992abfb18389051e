#pragma once
// The error-history window: a sizable window filled by a read-only text field
// (lime on black) that shows the text it is given, line by line.

#include <QDialog>
#include <string>
#include <vector>

class QPlainTextEdit;

class Tfrm_Debug : public QDialog {
    Q_OBJECT

public:
    explicit Tfrm_Debug(QWidget* owner);
    ~Tfrm_Debug() override;

    // Appends the lines (8-bit text in the system's encoding) and shows the first one.
    void AddLines(const std::vector<std::string>& lines);

private:
    QPlainTextEdit* Log = nullptr;
};
