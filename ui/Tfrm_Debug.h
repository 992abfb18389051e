#pragma once
// The error-history window ("Error history"): a sizable window filled by a read-only
// text field (lime on black). It shows lines it is given, or the entries of an error
// history, each with its date and time and whether it is an error or information,
// and follows the history while it is shown. Window thread only.

#include <QDialog>
#include <string>
#include <vector>

class QPlainTextEdit;
class QTimer;
class TZULErrorHistory;
struct TZULError;

class Tfrm_Debug : public QDialog {
    Q_OBJECT

public:
    explicit Tfrm_Debug(QWidget* owner);
    ~Tfrm_Debug() override;

    // Appends the lines (8-bit text in the system's encoding) and shows the first one.
    void AddLines(const std::vector<std::string>& lines);
    // Shows the entries of history and, while the window is shown, those added later.
    // history must outlive the window or be let go by ForgetHistory.
    void ShowHistory(const TZULErrorHistory* history);
    void ForgetHistory();
    // One entry as the window shows it: "2026-12-09 14:05:09.312  Error        Module/Function: text".
    static QString EntryLine(const TZULError& entry);

private:
    void ShowNewEntries();

    QPlainTextEdit* Log = nullptr;
    QTimer* follow_ = nullptr;
    const TZULErrorHistory* history_ = nullptr;
    int entriesShown_ = 0;
};
