#include "Tfrm_StringEditor.h"

#include <QFontMetrics>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

namespace {
// Like a masked field, typing replaces the character under the cursor: the field
// starts as long as it may get, so inserting would refuse every character.
class ZOverwriteLineEdit : public QLineEdit {
public:
    using QLineEdit::QLineEdit;

protected:
    void keyPressEvent(QKeyEvent* event) override {
        const QString typed = event->text();
        const bool printable = !typed.isEmpty() && typed.at(0).isPrint() &&
                               !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier));
        if (printable && !hasSelectedText() && cursorPosition() < text().size())
            setSelection(cursorPosition(),
                         static_cast<int>(std::min(typed.size(), text().size() - cursorPosition())));
        QLineEdit::keyPressEvent(event);
    }
};

int32_t ElementOf(QChar c) {
    const char16_t code = c.unicode() <= 0xFF ? c.unicode() : u'?';
    return static_cast<int8_t>(static_cast<uint8_t>(code));
}
}  // namespace

Tfrm_StringEditor::Tfrm_StringEditor(QWidget* owner, const QString& caption, const std::string& initialText)
    : QDialog(owner), buffer_(initialText.size(), 0) {
    setObjectName("frm_StringEditor");
    setWindowTitle(caption);
    const int n = static_cast<int>(initialText.size());

    Edit = new ZOverwriteLineEdit(this);
    Edit->setObjectName("Edit");
    Edit->setAccessibleName(caption);
    connect(Edit, &QLineEdit::textChanged, this, &Tfrm_StringEditor::EditChange);
    Edit->setText(QString::fromLatin1(initialText.data(), n));
    Edit->setMaxLength(n);
    Edit->setCursorPosition(0);
    const QFontMetrics metrics(Edit->font());
    Edit->setMinimumWidth(std::min(metrics.averageCharWidth() * std::max(n + 2, 24) + 12, 600));

    btn_OK = new QPushButton(QStringLiteral("OK"), this);
    btn_OK->setObjectName("btn_OK");
    btn_OK->setDefault(true);
    btn_Cancel = new QPushButton(QStringLiteral("Cancel"), this);
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

void Tfrm_StringEditor::EditChange() {
    const QString text = Edit->text();
    const size_t count = std::min(static_cast<size_t>(text.size()), buffer_.size());
    for (size_t i = 0; i < count; ++i) buffer_[i] = ElementOf(text.at(static_cast<qsizetype>(i)));
}
