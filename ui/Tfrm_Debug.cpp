#include "Tfrm_Debug.h"

#include <QPlainTextEdit>
#include <QStringList>
#include <QTextCursor>
#include <QTimer>
#include <QVBoxLayout>

#include "ZEngineText.h"
#include "ZULDateTime.h"
#include "ZULErrorHistory.h"

namespace {
// Often enough that a new entry seems to appear at once, rarely enough to cost nothing.
constexpr int FollowIntervalMs = 250;
}  // namespace

Tfrm_Debug::Tfrm_Debug(QWidget* owner) : QDialog(owner) {
    setObjectName("frm_Debug");
    setWindowTitle(tr("Error history"));
    setSizeGripEnabled(true);
    resize(600, 400);

    Log = new QPlainTextEdit(this);
    Log->setObjectName("Log");
    Log->setAccessibleName(tr("Log"));
    Log->setReadOnly(true);
    // An empty black field would look broken rather than say that all is well.
    Log->setPlaceholderText(tr("Nothing has been recorded."));
    // Error texts are lines of their own; wrapping would hide that and leave the
    // horizontal scroll bar without use.
    Log->setLineWrapMode(QPlainTextEdit::NoWrap);
    Log->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Log->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QPalette colours = Log->palette();
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        colours.setColor(group, QPalette::Base, Qt::black);
        colours.setColor(group, QPalette::Text, QColor(0x00, 0xFF, 0x00));
        // The default, a dimmed dark text, would not show on black.
        colours.setColor(group, QPalette::PlaceholderText, QColor(0x00, 0xB0, 0x00));
    }
    Log->setPalette(colours);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(Log);

    follow_ = new QTimer(this);
    follow_->setInterval(FollowIntervalMs);
    connect(follow_, &QTimer::timeout, this, [this] { ShowNewEntries(); });
}

Tfrm_Debug::~Tfrm_Debug() = default;

QString Tfrm_Debug::EntryLine(const TZULError& entry) {
    const ZULDateTimeParts t = ZULLocalParts(entry.TimeMs);
    const QString time = QString::asprintf("%04d-%02d-%02d %02d:%02d:%02d.%03d", t.Year, t.Month, t.Day,
                                           t.Hour, t.Minute, t.Second, t.Millisecond);
    const auto text = [](const std::string& s) {
        return QString::fromLocal8Bit(s.data(), static_cast<qsizetype>(s.size()));
    };
    return time + (entry.Informational ? tr("  Information  ") : tr("  Error        ")) + text(entry.Module) +
           u'/' + text(entry.Function) + QStringLiteral(": ") + ZEngineText(entry.Error);
}

void Tfrm_Debug::ShowHistory(const TZULErrorHistory* history) {
    history_ = history;
    entriesShown_ = 0;
    Log->clear();
    ShowNewEntries();
    Log->moveCursor(QTextCursor::Start);
    follow_->start();
}

void Tfrm_Debug::ForgetHistory() {
    follow_->stop();
    history_ = nullptr;
}

void Tfrm_Debug::ShowNewEntries() {
    if (!history_) return;
    const int count = history_->GetCount();
    if (count == entriesShown_) return;
    QStringList lines;
    for (; entriesShown_ < count; ++entriesShown_) lines.append(EntryLine(history_->GetError(entriesShown_)));
    // Appending keeps where the user has scrolled to.
    Log->appendPlainText(lines.join(u'\n'));
}

void Tfrm_Debug::AddLines(const std::vector<std::string>& lines) {
    // One append for all lines: a long history would otherwise lay out once per line.
    QStringList text;
    text.reserve(static_cast<qsizetype>(lines.size()));
    for (const std::string& line : lines)
        text.append(QString::fromLocal8Bit(line.data(), static_cast<qsizetype>(line.size())));
    if (!text.isEmpty()) Log->appendPlainText(text.join(u'\n'));
    Log->moveCursor(QTextCursor::Start);
    Log->ensureCursorVisible();
}
