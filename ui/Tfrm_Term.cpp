#include "Tfrm_Term.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSaveFile>
#include <QScrollBar>
#include <QShortcut>
#include <QTextBlock>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <deque>

#include "ZControls.h"
#include "ZEngineText.h"
#include "ZFileDialog.h"
#include "ZMessageBox.h"
#include "ZTermKeyMap.h"
#include "ZTermLiveText.h"
#include "ZULDateTime.h"
#include "ZViewSettings.h"

namespace {

// The 16 named colours of a terminal, then the 6x6x6 cube and the grey ramp.
QColor PaletteColour(uint32_t index) {
    static const QRgb named[16] = {0x000000, 0xcd0000, 0x00cd00, 0xcdcd00, 0x0000ee, 0xcd00cd, 0x00cdcd, 0xe5e5e5,
                                   0x7f7f7f, 0xff0000, 0x00ff00, 0xffff00, 0x5c5cff, 0xff00ff, 0x00ffff, 0xffffff};
    if (index < 16) return QColor(named[index]);
    if (index < 232) {
        const uint32_t cube = index - 16;
        const auto level = [](uint32_t step) { return step == 0 ? 0 : static_cast<int>(55 + step * 40); };
        return QColor(level(cube / 36), level((cube / 6) % 6), level(cube % 6));
    }
    const int grey = static_cast<int>(8 + (std::min<uint32_t>(index, 255) - 232) * 10);
    return QColor(grey, grey, grey);
}

QColor Colour(const ZTermColour& colour) {
    return colour.Type == ZTermColour::Rgb ? QColor(QRgb(colour.Value)) : PaletteColour(colour.Value);
}

const QColor SentColour(0x00, 0x5f, 0xaf);
const QColor SymbolColour(0x80, 0x80, 0x80);

std::u32string ToU32(const QString& text) {
    const QList<uint> codes = text.toUcs4();
    return std::u32string(codes.begin(), codes.end());
}

}  // namespace

Tfrm_Term::Tfrm_Term(QWidget* parent) : QWidget(parent, Qt::Window), screen_(ZViewSettings::DefaultTerminalLines) {
    setObjectName(QStringLiteral("frm_Term"));
    setWindowTitle(tr("Terminal"));
    BuildControls();
    Connect();
    ApplyOptions();
    SetMaxLines(ZViewSettings::DefaultTerminalLines);
    CaptureStateChanged(false);
    tmr_Repaint = new QTimer(this);
    tmr_Repaint->setInterval(RepaintIntervalMs);
    connect(tmr_Repaint, &QTimer::timeout, this, &Tfrm_Term::tmr_RepaintTimer);
    tmr_Repaint->start();
    resize(760, 480);
}

Tfrm_Term::~Tfrm_Term() = default;

void Tfrm_Term::BuildControls() {
    const auto named = [](QWidget* widget, const char* name, const QString& accessible) {
        widget->setObjectName(QLatin1String(name));
        widget->setAccessibleName(accessible);
    };
    auto* layout = new QVBoxLayout(this);

    auto* options = new QHBoxLayout;
    cb_NewLine = new QComboBox(this);
    cb_NewLine->addItems({tr("New line on LF"), tr("New line on CR"), tr("New line on CR LF")});
    named(cb_NewLine, "cb_NewLine", tr("New line on"));
    cb_Charset = new QComboBox(this);
    cb_Charset->addItems({QStringLiteral("UTF-8"), QStringLiteral("Latin-1")});
    named(cb_Charset, "cb_Charset", tr("Character set"));
    cb_TimeStamps = new QComboBox(this);
    cb_TimeStamps->addItems({tr("No time stamps"), QStringLiteral("HH:MM:SS"), QStringLiteral("HH:MM:SS.mmm"),
                             QStringLiteral("HH:MM:SS.uuuuuu")});
    named(cb_TimeStamps, "cb_TimeStamps", tr("Time stamps"));
    chk_ShowSent = new QCheckBox(tr("Show what is sent"), this);
    named(chk_ShowSent, "chk_ShowSent", chk_ShowSent->text());
    chk_ShowControls = new QCheckBox(tr("Show control characters"), this);
    named(chk_ShowControls, "chk_ShowControls", chk_ShowControls->text());
    for (QWidget* widget : std::initializer_list<QWidget*>{cb_NewLine, cb_Charset, cb_TimeStamps, chk_ShowSent,
                                                           chk_ShowControls})
        options->addWidget(widget);
    options->addStretch();
    layout->addLayout(options);

    txt_Terminal = new QPlainTextEdit(this);
    named(txt_Terminal, "txt_Terminal", tr("Terminal text"));
    txt_Terminal->setReadOnly(true);
    // The caret stays visible and movable, so that a screen reader can read the text.
    txt_Terminal->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    txt_Terminal->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    txt_Terminal->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    txt_Terminal->setUndoRedoEnabled(false);
    txt_Terminal->installEventFilter(this);
    layout->addWidget(txt_Terminal, 1);
    lbl_NewLines = new ZTermLiveText(this);
    named(lbl_NewLines, "lbl_NewLines", tr("New lines"));
    layout->addWidget(lbl_NewLines);

    FindBar = new QWidget(this);
    FindBar->setObjectName(QStringLiteral("FindBar"));
    auto* findLayout = new QHBoxLayout(FindBar);
    findLayout->setContentsMargins(0, 0, 0, 0);
    ed_Find = new QLineEdit(FindBar);
    named(ed_Find, "ed_Find", tr("Find"));
    ed_Find->installEventFilter(this);
    lbl_FindResult = new QLabel(FindBar);
    named(lbl_FindResult, "lbl_FindResult", tr("Find result"));
    findLayout->addWidget(new QLabel(tr("Find:"), FindBar));
    findLayout->addWidget(ed_Find, 1);
    findLayout->addWidget(lbl_FindResult);
    FindBar->hide();
    layout->addWidget(FindBar);

    auto* input = new QHBoxLayout;
    ed_Input = new QLineEdit(this);
    named(ed_Input, "ed_Input", tr("Line to send"));
    ed_Input->installEventFilter(this);
    cb_LineEnd = new QComboBox(this);
    cb_LineEnd->addItems({tr("No line end"), QStringLiteral("CR"), QStringLiteral("LF"), QStringLiteral("CR LF")});
    cb_LineEnd->setCurrentIndex(1);
    named(cb_LineEnd, "cb_LineEnd", tr("Line end sent"));
    chk_LocalEcho = new QCheckBox(tr("Local echo"), this);
    named(chk_LocalEcho, "chk_LocalEcho", chk_LocalEcho->text());
    chk_TypeStraight = new QCheckBox(tr("Type straight to the device"), this);
    named(chk_TypeStraight, "chk_TypeStraight", chk_TypeStraight->text());
    input->addWidget(ed_Input, 1);
    input->addWidget(cb_LineEnd);
    input->addWidget(chk_LocalEcho);
    input->addWidget(chk_TypeStraight);
    layout->addLayout(input);

    auto* actions = new QHBoxLayout;
    btn_Paste = ZMakeButton("btn_Paste", tr("Paste to the device"), this);
    btn_Clear = ZMakeButton("btn_Clear", tr("Clear"), this);
    btn_SaveText = ZMakeButton("btn_SaveText", tr("Save as text..."), this);
    lbl_Status = new QLabel(this);
    named(lbl_Status, "lbl_Status", tr("Status"));
    actions->addWidget(btn_Paste);
    actions->addWidget(btn_Clear);
    actions->addWidget(btn_SaveText);
    actions->addWidget(lbl_Status, 1);
    layout->addLayout(actions);
}

void Tfrm_Term::Connect() {
    for (QComboBox* box : {cb_NewLine, cb_Charset, cb_TimeStamps})
        connect(box, &QComboBox::currentIndexChanged, this, [this] { ApplyOptions(); });
    for (QCheckBox* box : {chk_ShowSent, chk_ShowControls, chk_LocalEcho})
        connect(box, &QCheckBox::toggled, this, [this] { ApplyOptions(); });
    connect(chk_TypeStraight, &QCheckBox::toggled, this, [this](bool on) { SetTypeStraight(on); });
    connect(ed_Input, &QLineEdit::returnPressed, this, [this] { SendInputLine(); });
    connect(btn_Paste, &QPushButton::clicked, this, [this] { PasteToDevice(); });
    connect(btn_Clear, &QPushButton::clicked, this, [this] { ClearText(); });
    connect(btn_SaveText, &QPushButton::clicked, this, [this] { SaveAsText(); });
    connect(ed_Find, &QLineEdit::returnPressed, this, [this] { FindNext(true); });
    auto* findKey = new QShortcut(QKeySequence::Find, this);
    connect(findKey, &QShortcut::activated, this, [this] { ShowFindBar(); });
    connect(txt_Terminal->verticalScrollBar(), &QScrollBar::valueChanged, this, [this](int value) {
        if (!autoScrolling_) followEnd_ = value == txt_Terminal->verticalScrollBar()->maximum();
    });
}

void Tfrm_Term::ApplyOptions() {
    ZTermScreenOptions options;
    options.Charset = Charset();
    options.NewLine = static_cast<ZTermNewLine>(cb_NewLine->currentIndex());
    options.ShowControls = chk_ShowControls->isChecked();
    options.ShowSent = chk_ShowSent->isChecked() || chk_LocalEcho->isChecked();
    options.Stamps = static_cast<ZTermStampFormat>(cb_TimeStamps->currentIndex());
    screen_.SetOptions(options);
}

ZTermLineEnd Tfrm_Term::LineEnd() const {
    return static_cast<ZTermLineEnd>(cb_LineEnd->currentIndex());
}

ZTermCharset Tfrm_Term::Charset() const {
    return cb_Charset->currentIndex() == 1 ? ZTermCharset::Latin1 : ZTermCharset::Utf8;
}

void Tfrm_Term::SetMaxLines(int lines) {
    screen_.SetMaxLines(lines);
    maxLines_ = std::max(lines, 0);
    TrimScrollback();
}

void Tfrm_Term::CaptureStateChanged(bool running) {
    capturing_ = running;
    ShowStatus(running ? QString() : tr("Start capture to talk to the device"));
}

void Tfrm_Term::ShowStatus(const QString& text) {
    lbl_Status->setText(text);
    lbl_Status->setAccessibleDescription(text);
}

// ---------------------------------------------------------------------------------
// The text

void Tfrm_Term::tmr_RepaintTimer() {
    std::deque<ZTermByteQueue::Chunk> chunks;
    const uint64_t lost = queue_.Take(chunks);
    for (const ZTermByteQueue::Chunk& chunk : chunks)
        screen_.Feed(chunk.Bytes.data(), chunk.Bytes.size(), chunk.Sent, chunk.TimeUs);
    if (lost > 0)
        screen_.PutNotice(ToU32(tr("%1 bytes were not shown: the window did not keep up (they are in the capture).")
                                    .arg(lost)),
                          ZULNowMicros());
    if (screen_.Changed()) {
        const ZTermScreen::Update update = screen_.TakeUpdate();
        ShowUpdate(update);
        // Only the newest lines can be said: the announcer keeps MaxChars characters.
        size_t first = update.Finished.size();
        for (size_t chars = 0; first > 0 && chars <= ZTermAnnouncer::MaxChars;)
            chars += update.Finished[--first].Text.size() + 1;
        for (size_t line = first; line < update.Finished.size(); ++line)
            announcer_.AddLine(update.Finished[line].Text);
        if (update.Bells > 0) Flash();
    }
    // Lines that came since the last announcement wait for the next tick that may say them.
    const std::u32string news = announcer_.Take(ZULNowMicros() / 1000);
    if (!news.empty()) lbl_NewLines->Say(QString::fromUcs4(news.data(), static_cast<qsizetype>(news.size())));
}

void Tfrm_Term::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    shownBytes_.SetShown(true);
}

void Tfrm_Term::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    // A minimised window hides spontaneously and goes on taking the bytes, as a terminal
    // does; only closing it stops them.
    if (!event->spontaneous()) shownBytes_.SetShown(false);
}

void Tfrm_Term::ShowUpdate(const ZTermScreen::Update& update) {
    QScrollBar* bar = txt_Terminal->verticalScrollBar();
    QTextCursor cursor(txt_Terminal->document());
    cursor.beginEditBlock();
    cursor.movePosition(QTextCursor::End);
    if (openLineBlock_ >= 0) {
        // The open line is shown again as it is now, after the lines it became.
        cursor.movePosition(QTextCursor::StartOfBlock, QTextCursor::KeepAnchor);
        cursor.removeSelectedText();
    }
    TextRuns runs(cursor);
    for (const ZTermLine& line : update.Finished) {
        WriteLine(runs, line);
        runs.Add(QStringLiteral("\n"), runs.Format());
    }
    WriteLine(runs, screen_.OpenLine());
    runs.Flush();
    cursor.endEditBlock();
    TrimScrollback();
    openLineBlock_ = txt_Terminal->document()->blockCount() - 1;
    if (followEnd_) {
        autoScrolling_ = true;
        bar->setValue(bar->maximum());
        autoScrolling_ = false;
    }
}

void Tfrm_Term::TrimScrollback() {
    // Old lines go a chunk at a time: a removal costs the text about as much whatever it
    // removes, and one per tick (the text edit's own block limit) doubled the cost of a
    // tick with a full scrollback.
    QTextDocument* document = txt_Terminal->document();
    const int finished = document->blockCount() - 1;  // the last block is the open line
    if (finished <= maxLines_) return;
    const int keep = maxLines_ - maxLines_ / TrimChunkDivisor;
    QTextCursor cursor(document);
    cursor.setPosition(document->findBlockByNumber(finished - keep).position(), QTextCursor::KeepAnchor);
    cursor.removeSelectedText();
}

void Tfrm_Term::WriteLine(TextRuns& runs, const ZTermLine& line) {
    const std::u32string prefix = screen_.Prefix(line);
    if (!prefix.empty()) {
        QTextCharFormat stamp;
        stamp.setForeground(SymbolColour);
        runs.Add(QString::fromUcs4(prefix.data(), static_cast<qsizetype>(prefix.size())), stamp);
    }
    size_t start = 0;
    while (start < line.Text.size()) {
        size_t end = start + 1;
        while (end < line.Text.size() && line.Styles[end] == line.Styles[start]) ++end;
        runs.Add(QString::fromUcs4(line.Text.data() + start, static_cast<qsizetype>(end - start)),
                 Format(line.Styles[start]));
        start = end;
    }
}

void Tfrm_Term::TextRuns::Add(const QString& text, const QTextCharFormat& format) {
    // Text of one format goes in at once, line ends and all: each insert costs a layout step.
    if (!text_.isEmpty() && format != format_) Flush();
    format_ = format;
    text_ += text;
}

void Tfrm_Term::TextRuns::Flush() {
    if (!text_.isEmpty()) cursor_.insertText(text_, format_);
    text_.clear();
}

QTextCharFormat Tfrm_Term::Format(const ZTermStyle& style) const {
    QTextCharFormat format;
    QColor foreground = style.Foreground.Type == ZTermColour::Default ? palette().color(QPalette::Text)
                                                                     : Colour(style.Foreground);
    QColor background = style.Background.Type == ZTermColour::Default ? QColor() : Colour(style.Background);
    if (style.Flags & ZTermStyle::Sent && chk_ShowSent->isChecked()) foreground = SentColour;
    if (style.Flags & ZTermStyle::Symbolic) foreground = SymbolColour;
    if (style.Flags & ZTermStyle::Inverse) {
        if (!background.isValid()) background = palette().color(QPalette::Base);
        std::swap(foreground, background);
    }
    if (style.Flags & ZTermStyle::Faint) foreground.setAlpha(160);
    format.setForeground(foreground);
    if (background.isValid()) format.setBackground(background);
    if (style.Flags & ZTermStyle::Bold) format.setFontWeight(QFont::Bold);
    format.setFontItalic((style.Flags & ZTermStyle::Italic) != 0);
    format.setFontUnderline((style.Flags & ZTermStyle::Underline) != 0);
    format.setFontStrikeOut((style.Flags & ZTermStyle::CrossedOut) != 0);
    return format;
}

void Tfrm_Term::Flash() {
    txt_Terminal->setStyleSheet(QStringLiteral("QPlainTextEdit { border: 2px solid #cd0000; }"));
    QTimer::singleShot(FlashMs, this, [this] { txt_Terminal->setStyleSheet(QString()); });
}

QString Tfrm_Term::ShownText() const {
    return txt_Terminal->toPlainText();
}

void Tfrm_Term::ClearText() {
    screen_.Clear();
    announcer_.Clear();
    txt_Terminal->clear();
    openLineBlock_ = -1;
    followEnd_ = true;
}

void Tfrm_Term::SaveAsText() {
    const QString fileName = ZFileDialog::GetSaveFileName(this, tr("Save as text"), QString(),
                                                          tr("Text files (*.txt)"), QStringLiteral("txt"));
    if (fileName.isEmpty()) return;
    // Written beside and renamed over: a link in its place is replaced, never followed.
    QSaveFile file(fileName);
    const QByteArray text = ShownText().toUtf8() + '\n';
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.commit())
        ZMessageBox::Error(this, tr("The text could not be saved in %1: %2").arg(fileName, file.errorString()));
}

void Tfrm_Term::ShowFindBar() {
    FindBar->show();
    ed_Find->setFocus();
    ed_Find->selectAll();
}

void Tfrm_Term::FindNext(bool backwards) {
    const QString text = ed_Find->text();
    if (text.isEmpty()) return;
    const QTextDocument::FindFlags flags = backwards ? QTextDocument::FindBackward : QTextDocument::FindFlags();
    bool found = txt_Terminal->find(text, flags);
    if (!found) {
        // Once round: from the other end.
        const QTextCursor keep = txt_Terminal->textCursor();
        txt_Terminal->moveCursor(backwards ? QTextCursor::End : QTextCursor::Start);
        found = txt_Terminal->find(text, flags);
        if (!found) txt_Terminal->setTextCursor(keep);
    }
    if (found) followEnd_ = false;
    lbl_FindResult->setText(found ? QString() : tr("Not found"));
    lbl_FindResult->setAccessibleDescription(lbl_FindResult->text());
}

// ---------------------------------------------------------------------------------
// Sending

void Tfrm_Term::SendText(const std::string& bytes) {
    if (bytes.empty()) return;
    if (!capturing_ || !send_) {
        ShowStatus(tr("Start capture to talk to the device"));
        return;
    }
    std::string error;
    if (send_(std::vector<uint8_t>(bytes.begin(), bytes.end()), error) != ZSendResult::Sent)
        ShowStatus(tr("Not sent: %1").arg(ZEngineText(error)));
}

void Tfrm_Term::SendInputLine() {
    const QString text = ed_Input->text();
    SendText(ZTermEncodeLine(ToU32(text), LineEnd(), Charset()));
    if (!text.isEmpty() && (inputHistory_.isEmpty() || inputHistory_.last() != text)) {
        inputHistory_.append(text);
        if (inputHistory_.size() > MaxHistoryLines) inputHistory_.removeFirst();
    }
    historyIndex_ = static_cast<int>(inputHistory_.size());
    ed_Input->clear();
}

void Tfrm_Term::BrowseHistory(int step) {
    const int count = static_cast<int>(inputHistory_.size());
    historyIndex_ = std::clamp(historyIndex_ + step, 0, count);
    ed_Input->setText(historyIndex_ < count ? inputHistory_[historyIndex_] : QString());
}

void Tfrm_Term::PasteToDevice() {
    const std::string text = QApplication::clipboard()->text().toStdString();
    ZTermLineEndConverter converter(LineEnd() == ZTermLineEnd::None ? ZTermLineEnd::Cr : LineEnd());
    std::string converted;
    converter.Convert(text, converted);
    if (Charset() == ZTermCharset::Latin1)
        converted = ZTermEncodeText(ToU32(QString::fromStdString(converted)), ZTermCharset::Latin1);
    SendText(converted);
}

void Tfrm_Term::SetTypeStraight(bool on) {
    escapePressed_ = false;
    ed_Input->setEnabled(!on);
    if (on) {
        txt_Terminal->setFocus();
        ShowStatus(capturing_ ? tr("Keys go straight to the device; press Escape twice to stop")
                              : tr("Start capture to talk to the device"));
    } else {
        ed_Input->setFocus();
        CaptureStateChanged(capturing_);
    }
}

bool Tfrm_Term::TypeStraight(QKeyEvent* key) {
    if (key->matches(QKeySequence::Paste) || (key->key() == Qt::Key_Insert && key->modifiers() == Qt::ShiftModifier)) {
        PasteToDevice();
        return true;
    }
    if (key->key() == Qt::Key_Escape && key->modifiers() == Qt::NoModifier) {
        if (escapePressed_) {
            chk_TypeStraight->setChecked(false);
            return true;
        }
        escapePressed_ = true;
    } else {
        escapePressed_ = false;
    }
    const std::string bytes = ZTermKeyBytes(key->key(), key->modifiers(), key->text(), LineEnd(), Charset());
    if (bytes.empty()) return false;
    SendText(bytes);
    return true;
}

bool Tfrm_Term::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress) return QWidget::eventFilter(watched, event);
    auto* key = static_cast<QKeyEvent*>(event);
    if (watched == txt_Terminal && chk_TypeStraight->isChecked()) return TypeStraight(key);
    if (watched == txt_Terminal && key->key() == Qt::Key_End && key->modifiers() == Qt::ControlModifier)
        followEnd_ = true;
    if (watched == ed_Input && (key->key() == Qt::Key_Up || key->key() == Qt::Key_Down)) {
        BrowseHistory(key->key() == Qt::Key_Up ? -1 : 1);
        return true;
    }
    if (watched == ed_Find && key->key() == Qt::Key_Escape) {
        FindBar->hide();
        txt_Terminal->setFocus();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}
