#include "Tfrm_Debug.h"

#include <QPlainTextEdit>
#include <QStringList>
#include <QTextCursor>
#include <QVBoxLayout>

Tfrm_Debug::Tfrm_Debug(QWidget* owner) : QDialog(owner) {
    setObjectName("frm_Debug");
    setWindowTitle(QStringLiteral("frm_Debug"));
    setSizeGripEnabled(true);
    resize(600, 400);

    Log = new QPlainTextEdit(this);
    Log->setObjectName("Log");
    Log->setAccessibleName(QStringLiteral("Log"));
    Log->setReadOnly(true);
    // Error texts are lines of their own; wrapping would hide that and leave the
    // horizontal scroll bar without use.
    Log->setLineWrapMode(QPlainTextEdit::NoWrap);
    Log->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Log->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QPalette colours = Log->palette();
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        colours.setColor(group, QPalette::Base, Qt::black);
        colours.setColor(group, QPalette::Text, QColor(0x00, 0xFF, 0x00));
    }
    Log->setPalette(colours);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(Log);
}

Tfrm_Debug::~Tfrm_Debug() = default;

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
