#pragma once
// The "Bugreport" page of the main window: builds a system report, lets the user
// describe the problem and sends both, with the program's version and error
// history, as a bug report mail to the support address.

#include <QWidget>
#include <memory>
#include <string>
#include <vector>

class QLabel;
class QPlainTextEdit;
class QPushButton;
class ZLogger;

class ZReportPage : public QWidget {
    Q_OBJECT
public:
    // Window thread. The logger must outlive the page, or be forgotten first.
    explicit ZReportPage(ZLogger& logger, QWidget* parent = nullptr);
    ~ZReportPage() override;

    // The one recipient of every bug report, fixed when the program is built.
    static QString SupportAddress();
    // A longer body would not reach every mail program whole: the system report then goes
    // as a file attached (made in the application directory and named in the body).
    static constexpr size_t MaxMailBody = 32 * 1024;

    // The completion of a report, in the window thread: the report's lines, or its
    // error text with failed == true. The user's home folder is shown as "~" in what
    // may be sent.
    void ReportFinished(const std::vector<std::string>& lines, bool failed);

    // The system-information tool to run instead of kestrun-sysinfo beside the program
    // (tests, unusual installations); empty restores the default.
    void SetReportTool(const std::string& path) { reportTool_ = path; }
    // How long a send waits for the mail program before it is taken as still open (tests).
    void SetMailTimeout(int milliseconds) { mailTimeoutMs_ = milliseconds; }

    // The owner is about to end the logger. A report still being made (the user may
    // close the window while its completion waits) then arrives without the error list.
    void ForgetLogger() { logger_ = nullptr; }

private:
    void btn_SystemReportClick();
    void btn_SendMailClick();
    void UpdateSendButton();

    ZLogger* logger_;
    QLabel* banner_ = nullptr;
    QPlainTextEdit* mem_SysRep = nullptr;
    QPlainTextEdit* mem_Additional = nullptr;
    QPushButton* btn_SystemReport = nullptr;
    QPushButton* btn_SendMail = nullptr;
    QLabel* lbl_Version = nullptr;
    std::string reportTool_;
    int mailTimeoutMs_ = 60000;
    bool reportSucceeded_ = false;
    bool sending_ = false;
};
