#include "ZReportPage.h"

#include <fcntl.h>
#include <pwd.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "TZULSystemReport.h"
#include "VerInfo.h"
#include "ZEngineText.h"
#include "ZLogger.h"
#include "ZMessageBox.h"
#include "ZQtMainThreadDispatcher.h"
#include "ZULAppDir.h"
#include "ZULMail.h"

#ifndef KESTRUN_SUPPORT_ADDRESS
#error "KESTRUN_SUPPORT_ADDRESS (the bug report recipient) comes from the build"
#endif

namespace {

constexpr int BannerWidth = 281;
constexpr int BannerHeight = 48;

void ProcessWindowEvents() {
    QCoreApplication::processEvents();
}

QPixmap BannerPicture() {
    QPixmap picture(BannerWidth, BannerHeight);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient background(0, 0, BannerWidth, 0);
    background.setColorAt(0, QColor(0x1f, 0x3a, 0x4d));
    background.setColorAt(1, QColor(0x3f, 0x7c, 0x8c));
    painter.fillRect(picture.rect(), background);
    // A serial frame on the line: idle high, start bit, data bits, stop bit.
    QPainterPath signal;
    const int levels[] = {1, 1, 0, 1, 0, 0, 1, 1, 0, 1, 0, 1, 1, 1};
    const double step = 11.0;
    double x = 124;
    signal.moveTo(x, levels[0] != 0 ? 14 : 34);
    for (int level : levels) {
        const double y = level != 0 ? 14 : 34;
        signal.lineTo(signal.currentPosition().x(), y);
        x += step;
        signal.lineTo(x, y);
    }
    painter.setPen(QPen(QColor(0xf2, 0xb1, 0x34), 2));
    painter.drawPath(signal);
    QFont title = painter.font();
    title.setPixelSize(20);
    title.setBold(true);
    painter.setFont(title);
    painter.setPen(Qt::white);
    painter.drawText(QRect(10, 2, 140, 26), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Kestrun"));
    QFont subtitle = painter.font();
    subtitle.setPixelSize(12);
    subtitle.setBold(false);
    painter.setFont(subtitle);
    painter.drawText(QRect(10, 27, 140, 18), Qt::AlignLeft | Qt::AlignVCenter, ZReportPage::tr("Bugreport"));
    return picture;
}

// The lines of a memo as its user sees them: an empty memo has none, and a final line
// end does not start another line.
QStringList MemoLines(const QPlainTextEdit* memo) {
    const QString text = memo->toPlainText();
    if (text.isEmpty()) return {};
    QStringList lines = text.split(QLatin1Char('\n'));
    if (text.endsWith(QLatin1Char('\n'))) lines.removeLast();
    return lines;
}

// The user's home folder as "~", where it stands as a whole folder name ("/home/ann/x",
// not "/home/anna").
QString HideHome(QString text) {
    QStringList homes;
    if (const char* home = std::getenv("HOME"); home != nullptr) homes << QString::fromLocal8Bit(home);
    if (const passwd* user = getpwuid(getuid()); user != nullptr && user->pw_dir != nullptr)
        homes << QString::fromLocal8Bit(user->pw_dir);
    for (QString home : homes) {
        while (home.size() > 1 && home.endsWith(QLatin1Char('/'))) home.chop(1);
        if (home.size() < 2) continue;
        for (qsizetype at = text.indexOf(home); at >= 0; at = text.indexOf(home, at + 1)) {
            const qsizetype after = at + home.size();
            if (after < text.size() && (text[after].isLetterOrNumber() || text[after] == QLatin1Char('_') ||
                                        text[after] == QLatin1Char('-') || text[after] == QLatin1Char('.')))
                continue;
            text.replace(at, home.size(), QStringLiteral("~"));
        }
    }
    return text;
}

// Writes the report into a new file of its own in the application directory.
bool WriteAttachment(const std::string& text, std::string& path, std::string& error) {
    const std::string folder = ZULGetAppDir();
    if (!ZULForceDirectories(folder)) {
        error = "the folder '" + folder + "' cannot be made: " + std::strerror(errno);
        return false;
    }
    std::string name = folder + "kestrun-system-report-XXXXXX.txt";
    const int fd = ::mkostemps(name.data(), 4, O_CLOEXEC);
    if (fd < 0) {
        error = "no file for the system report can be made in '" + folder + "': " + std::strerror(errno);
        return false;
    }
    size_t written = 0;
    while (written < text.size()) {
        const ssize_t count = ::write(fd, text.data() + written, text.size() - written);
        if (count < 0 && errno == EINTR) continue;
        if (count <= 0) break;
        written += static_cast<size_t>(count);
    }
    const int writeError = written == text.size() ? 0 : errno != 0 ? errno : EIO;
    if (::close(fd) != 0 || writeError != 0) {
        error = "the system report cannot be written to '" + name +
                "': " + std::strerror(writeError != 0 ? writeError : errno);
        ::unlink(name.c_str());
        return false;
    }
    path = name;
    return true;
}

QString InitialReportText() {
    const QString indent(16, QLatin1Char(' '));
    return QStringList{
        QString(),
        QString(),
        QString(),
        indent + ZReportPage::tr("In order to send a bugreport to %1, ").arg(ZReportPage::SupportAddress()),
        indent + ZReportPage::tr("you have to create a system report first."),
        indent +
            ZReportPage::tr("To do this, simply click on the button below. This will take some seconds... "),
        indent + ZReportPage::tr("please be patient. Only needed information is collected from your system.")}
        .join(QLatin1Char('\n'));
}

}  // namespace

ZReportPage::ZReportPage(ZLogger& logger, QWidget* parent) : QWidget(parent), logger_(&logger) {
    banner_ = new QLabel(this);
    banner_->setObjectName(QStringLiteral("img_Banner"));
    banner_->setPixmap(BannerPicture());
    banner_->setFixedSize(BannerWidth, BannerHeight);
    banner_->setAccessibleName(tr("Kestrun Bugreport"));

    mem_SysRep = new QPlainTextEdit(this);
    mem_SysRep->setObjectName(QStringLiteral("mem_SysRep"));
    mem_SysRep->setAccessibleName(tr("System report"));
    mem_SysRep->setTabChangesFocus(true);
    mem_SysRep->setLineWrapMode(QPlainTextEdit::NoWrap);
    // The report holds tables copied from the system; they line up only in a fixed font.
    mem_SysRep->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    QPalette pagePalette = mem_SysRep->palette();
    pagePalette.setColor(QPalette::Base, pagePalette.color(QPalette::Window));
    mem_SysRep->setPalette(pagePalette);
    mem_SysRep->setPlainText(InitialReportText());

    mem_Additional = new QPlainTextEdit(this);
    mem_Additional->setObjectName(QStringLiteral("mem_Additional"));
    mem_Additional->setAccessibleName(tr("Error description"));
    mem_Additional->setTabChangesFocus(true);
    mem_Additional->setPlainText(tr("Type in your error description here..."));
    const int twoLines = 2 * mem_Additional->fontMetrics().lineSpacing() + 2 * mem_Additional->frameWidth() +
                         2 * static_cast<int>(mem_Additional->document()->documentMargin()) + 2;
    mem_Additional->setFixedHeight(twoLines);

    btn_SystemReport = new QPushButton(tr("Create system report"), this);
    btn_SystemReport->setObjectName(QStringLiteral("btn_SystemReport"));
    btn_SendMail = new QPushButton(tr("Send to %1").arg(SupportAddress()), this);
    btn_SendMail->setObjectName(QStringLiteral("btn_SendMail"));
    btn_SendMail->setEnabled(false);
    lbl_Version = new QLabel(QString::fromStdString("v " + VerInfo().GetVersionString(2)), this);
    lbl_Version->setObjectName(QStringLiteral("lbl_Version"));

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(btn_SystemReport);
    bottom->addWidget(btn_SendMail);
    bottom->addStretch(1);
    bottom->addWidget(lbl_Version);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(banner_, 0, Qt::AlignHCenter);
    layout->addWidget(mem_SysRep, 1);
    layout->addWidget(mem_Additional);
    layout->addLayout(bottom);

    setTabOrder(mem_SysRep, mem_Additional);
    setTabOrder(mem_Additional, btn_SystemReport);
    setTabOrder(btn_SystemReport, btn_SendMail);

    connect(btn_SystemReport, &QPushButton::clicked, this, [this] { btn_SystemReportClick(); });
    connect(btn_SendMail, &QPushButton::clicked, this, [this] { btn_SendMailClick(); });
}

ZReportPage::~ZReportPage() = default;

QString ZReportPage::SupportAddress() {
    return QStringLiteral(KESTRUN_SUPPORT_ADDRESS);
}

void ZReportPage::btn_SystemReportClick() {
    btn_SystemReport->setEnabled(false);
    sReportSettings settings;
    settings.Timeout = 60000;
    settings.SystemSummary = false;
    settings.SetResources(true, true, true, true, true, true);
    // A report outlives the click that started it: its completion may be posted while
    // windows come and go.
    settings.Dispatcher = &ZQtMainThreadDispatcher::ForProgram();
    settings.ProcessEvents = ProcessWindowEvents;
    settings.ToolPath = reportTool_;
    // The report may finish after this page has gone (the window closed while it waited).
    settings.OnReportDone = [page = QPointer<ZReportPage>(this)](const std::vector<std::string>& lines,
                                                                 bool failed) {
        if (page) page->ReportFinished(lines, failed);
    };
    new TZULSystemReport(settings);
}

void ZReportPage::ReportFinished(const std::vector<std::string>& lines, bool failed) {
    btn_SystemReport->setEnabled(true);
    reportSucceeded_ = !failed;
    UpdateSendButton();
    QStringList text;
    for (const std::string& line : lines) text << QString::fromStdString(line);
    if (!failed) {
        std::vector<std::string> errors;
        if (logger_) logger_->GetErrorList(errors);
        if (!errors.empty()) {
            text << QString() << QString() << QString();
            for (const std::string& line : errors) text << QString::fromStdString(line);
        }
        for (QString& line : text) line = HideHome(line);
    }
    mem_SysRep->setPlainText(text.join(QLatin1Char('\n')));
}

void ZReportPage::btn_SendMailClick() {
    if (sending_ || !reportSucceeded_) return;
    QString head;
    for (const QString& line : MemoLines(mem_Additional)) head += line + '\n';
    head += QStringLiteral("\n\n\n") + QString(55, QLatin1Char('#')) + '\n';
    head += lbl_Version->text() + QStringLiteral("\n\n");
    QString report;
    for (const QString& line : MemoLines(mem_SysRep)) report += line + '\n';
    std::string body = (head + report).toStdString();
    std::vector<std::string> attachments;
    if (body.size() > MaxMailBody) {
        // A description too long for the message text travels in the attachment as
        // well, or the mail could never be handed over.
        const bool withDescription = head.toStdString().size() > MaxMailBody / 2;
        std::string path;
        std::string error;
        if (!WriteAttachment((withDescription ? head + report : report).toStdString(), path, error)) {
            ZMessageBox::Error(this, tr("Error: %1").arg(ZEngineText(error)));
            return;
        }
        attachments.push_back(path);
        const QString attached = withDescription
                                     ? QStringLiteral("The error description and the system report are")
                                     : QStringLiteral("The system report is");
        body = ((withDescription ? lbl_Version->text() + QStringLiteral("\n\n") : head) + attached +
                " too long for the message text; " + (withDescription ? "they are" : "it is") +
                " attached as " + HideHome(QString::fromStdString(path)) +
                "\nIf your mail program did not attach it, please attach that file yourself.\n")
                   .toStdString();
    }

    const std::vector<std::string> to{SupportAddress().toStdString()};
    sMailWait wait;
    wait.TimeoutMs = mailTimeoutMs_;
    wait.ProcessEvents = ProcessWindowEvents;
    // The window keeps working while the composer starts; no second mail meanwhile.
    sending_ = true;
    UpdateSendButton();
    const QPointer<ZReportPage> page(this);
    sMailOutcome outcome;
    const bool sent = SendMail(&to, nullptr, "Kestrun Bugreport", body,
                               attachments.empty() ? nullptr : &attachments, wait, &outcome);
    // A composer that took the message or still has it open may read the file; one
    // that refused it never will, and another try makes a new file.
    if (!sent && !outcome.StillOpen) {
        for (const std::string& path : attachments) ::unlink(path.c_str());
    }
    if (!page) return;
    sending_ = false;
    UpdateSendButton();
    if (sent)
        ZMessageBox::Information(this, tr("Bugreport successfully sent to %1").arg(SupportAddress()));
    else if (outcome.StillOpen)
        ZMessageBox::Information(this, tr("the mail program is still open"));
    else
        ZMessageBox::Error(this, tr("Error: %1").arg(ZEngineText(outcome.Error)));
}

void ZReportPage::UpdateSendButton() {
    btn_SendMail->setEnabled(reportSucceeded_ && !sending_);
}
