#include "Tfrm_StringEditor.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <QValidator>
#include <algorithm>
#include <functional>
#include <utility>

namespace {
// The field's mask keeps every position in place; this reports which positions a
// key or an input method wrote to, which a comparison of texts cannot see when the
// character written is the one that was there.
class ZMaskLineEdit : public QLineEdit {
public:
    ZMaskLineEdit(QWidget* parent, std::function<void(int, int)> written)
        : QLineEdit(parent), written_(std::move(written)) {}

protected:
    void keyPressEvent(QKeyEvent* event) override {
        const int from = StartOfWrite();
        QLineEdit::keyPressEvent(event);
        const QString typed = event->text();
        const bool typing = !typed.isEmpty() && typed.at(0).isPrint() &&
                            !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier));
        if (typing || event->matches(QKeySequence::Paste)) Report(from);
    }

    void inputMethodEvent(QInputMethodEvent* event) override {
        const int from = StartOfWrite();
        QLineEdit::inputMethodEvent(event);
        if (!event->commitString().isEmpty()) Report(from);
    }

private:
    int StartOfWrite() const { return hasSelectedText() ? selectionStart() : cursorPosition(); }
    void Report(int from) {
        if (cursorPosition() > from) written_(from, cursorPosition());
    }

    std::function<void(int, int)> written_;
};

// Qt reads a masked field without its blanks ("A CD" as "ACD"); a screen reader
// must read the positions the field shows, blanks included.
class ZMaskFieldAccessible : public QAccessibleWidget,
                             public QAccessibleTextInterface,
                             public QAccessibleEditableTextInterface {
public:
    explicit ZMaskFieldAccessible(QLineEdit* field) : QAccessibleWidget(field, QAccessible::EditableText) {}

    static QAccessibleInterface* Factory(const QString&, QObject* object) {
        auto* field = dynamic_cast<ZMaskLineEdit*>(object);
        return field ? new ZMaskFieldAccessible(field) : nullptr;
    }

    QString text(QAccessible::Text t) const override {
        return t == QAccessible::Value ? Shown() : QAccessibleWidget::text(t);
    }
    QAccessible::State state() const override {
        QAccessible::State st = QAccessibleWidget::state();
        st.editable = !Field()->isReadOnly();
        st.readOnly = Field()->isReadOnly();
        st.selectableText = true;
        return st;
    }
    void* interface_cast(QAccessible::InterfaceType t) override {
        if (t == QAccessible::TextInterface) return static_cast<QAccessibleTextInterface*>(this);
        if (t == QAccessible::EditableTextInterface)
            return static_cast<QAccessibleEditableTextInterface*>(this);
        return QAccessibleWidget::interface_cast(t);
    }

    void selection(int index, int* start, int* end) const override {
        *start = *end = 0;
        if (index != 0 || !Field()->hasSelectedText()) return;
        *start = Field()->selectionStart();
        *end = Field()->selectionEnd();
    }
    int selectionCount() const override { return Field()->hasSelectedText() ? 1 : 0; }
    void addSelection(int start, int end) override { setSelection(0, start, end); }
    void removeSelection(int) override { Field()->deselect(); }
    void setSelection(int, int start, int end) override { Field()->setSelection(start, end - start); }
    int cursorPosition() const override { return Field()->cursorPosition(); }
    void setCursorPosition(int position) override { Field()->setCursorPosition(position); }
    QString text(int start, int end) const override { return Shown().mid(start, end - start); }
    int characterCount() const override { return static_cast<int>(Shown().size()); }
    QRect characterRect(int offset) const override {
        const QFontMetrics metrics(Field()->font());
        const QString shown = Shown();
        const QRect contents = Field()->contentsRect();
        const int x = contents.left() + metrics.horizontalAdvance(shown.left(offset));
        const QRect local(x, contents.top(), metrics.horizontalAdvance(shown.mid(offset, 1)),
                          contents.height());
        return QRect(Field()->mapToGlobal(local.topLeft()), local.size());
    }
    int offsetAtPoint(const QPoint& point) const override {
        return Field()->cursorPositionAt(Field()->mapFromGlobal(point));
    }
    void scrollToSubstring(int, int end) override { Field()->setCursorPosition(end); }
    QString attributes(int, int* start, int* end) const override {
        *start = 0;
        *end = characterCount();
        return {};
    }

    // Edits go through the field's mask, so they blank and overwrite as typing does.
    void deleteText(int start, int end) override { replaceText(start, end, {}); }
    void insertText(int offset, const QString& text) override { replaceText(offset, offset, text); }
    void replaceText(int start, int end, const QString& text) override {
        Field()->setSelection(start, end - start);
        if (text.isEmpty())
            Field()->del();
        else
            Field()->insert(text);
    }

private:
    QLineEdit* Field() const { return static_cast<QLineEdit*>(widget()); }
    QString Shown() const { return Field()->displayText(); }
};

// A character no byte stands for would be returned as something other than what
// the field shows: it becomes "?" in the field itself.
class ZLatin1Validator : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int&) const override {
        for (QChar& c : input)
            if (c.unicode() > 0xFF) c = u'?';
        return Acceptable;
    }
};

int32_t ElementOf(QChar c) {
    const char16_t code = c.unicode() <= 0xFF ? c.unicode() : u'?';
    return static_cast<int8_t>(static_cast<uint8_t>(code));
}
}  // namespace

Tfrm_StringEditor::Tfrm_StringEditor(QWidget* owner, const QString& caption, const std::string& initialText,
                                     const std::vector<int32_t>& elements)
    : QDialog(owner) {
    setObjectName("frm_StringEditor");
    setWindowTitle(caption);
    const int n = static_cast<int>(initialText.size());
    for (const char byte : initialText) {
        const QChar c(static_cast<char16_t>(static_cast<uint8_t>(byte)));
        // The mask takes printable characters only and would drop any other,
        // moving the rest; the labels show such a byte as "." too.
        initialShown_ += c.isPrint() ? c : QChar(u'.');
        initial_.push_back(ElementOf(c));
    }
    if (elements.size() == initial_.size()) initial_ = elements;
    written_.assign(initial_.size(), false);
    buffer_ = initial_;

    static const bool accessible = [] {
        QAccessible::installFactory(&ZMaskFieldAccessible::Factory);
        return true;
    }();
    Q_UNUSED(accessible);
    Edit = new ZMaskLineEdit(this, [this](int from, int to) { MarkWritten(from, to); });
    Edit->setObjectName("Edit");
    Edit->setAccessibleName(caption);
    Edit->setValidator(new ZLatin1Validator(Edit));
    if (n > 0) Edit->setInputMask(QString(n, u'x') + QStringLiteral("; "));
    Edit->setText(initialShown_);
    connect(Edit, &QLineEdit::textChanged, this, &Tfrm_StringEditor::EditChange);
    Edit->setCursorPosition(0);
    const QFontMetrics metrics(Edit->font());
    Edit->setMinimumWidth(std::min(metrics.averageCharWidth() * std::max(n + 2, 24) + 12, 600));

    btn_OK = new QPushButton(tr("OK"), this);
    btn_OK->setObjectName("btn_OK");
    btn_OK->setDefault(true);
    btn_Cancel = new QPushButton(tr("Cancel"), this);
    btn_Cancel->setObjectName("btn_Cancel");
    connect(btn_OK, &QPushButton::clicked, this, &Tfrm_StringEditor::accept);
    connect(btn_Cancel, &QPushButton::clicked, this, &Tfrm_StringEditor::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btn_OK);
    buttons->addWidget(btn_Cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Edit);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    setTabOrder(Edit, btn_OK);
    setTabOrder(btn_OK, btn_Cancel);
    Edit->setFocus();
}

Tfrm_StringEditor::~Tfrm_StringEditor() = default;

void Tfrm_StringEditor::MarkWritten(int from, int to) {
    const int end = std::min(to, static_cast<int>(written_.size()));
    for (int i = std::max(from, 0); i < end; ++i) written_[static_cast<size_t>(i)] = true;
    EditChange();
}

void Tfrm_StringEditor::EditChange() {
    const QString shown = Edit->displayText();
    for (size_t i = 0; i < buffer_.size(); ++i) {
        const auto at = static_cast<qsizetype>(i);
        const QChar c = at < shown.size() ? shown.at(at) : QChar(u' ');
        buffer_[i] = written_[i] || c != initialShown_.at(at) ? ElementOf(c) : initial_[i];
    }
}
