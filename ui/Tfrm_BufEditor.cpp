#include "Tfrm_BufEditor.h"

#include <QFontMetrics>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "TriggerSequence.h"
#include "ZMessageBox.h"

namespace {
constexpr int ColumnWidth = 57;
constexpr int RowHeight = 24;
constexpr int HeightBesideRows = 115;
constexpr int MaxHeight = 600;

// Digits of one byte, ASCII only: QChar's notion of a digit takes in other scripts.
int HexDigitValue(QChar c) {
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9') return u - u'0';
    if (u >= u'a' && u <= u'f') return u - u'a' + 10;
    if (u >= u'A' && u <= u'F') return u - u'A' + 10;
    return -1;
}
}  // namespace

// Edits the value cells and draws the grid's horizontal lines. It knows which cell
// editor is open, so that the dialog can close and commit it before the cell
// changes or the dialog is accepted.
class ZHexCellDelegate : public QStyledItemDelegate {
public:
    ZHexCellDelegate(Tfrm_BufEditor* editor, QObject* parent) : QStyledItemDelegate(parent), form_(editor) {}

    bool HasOpenEditor() const { return !openEditor_.isNull(); }
    int OpenEditorRow() const { return openEditor_ ? openRow_ : -1; }

    void CommitAndCloseOpenEditor() {
        QWidget* editor = openEditor_;
        if (!editor) return;
        emit commitData(editor);
        emit closeEditor(editor, QAbstractItemDelegate::NoHint);
    }

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override {
        auto* line = new QLineEdit(parent);
        line->setFrame(false);
        line->setAlignment(option.displayAlignment);
        // Every mask character is one optional character of any kind.
        line->setMaxLength(static_cast<int>(form_->GridGetEditMask(index.column(), index.row()).size()));
        openEditor_ = line;
        openRow_ = index.row();
        return line;
    }

    void destroyEditor(QWidget* editor, const QModelIndex& index) const override {
        if (editor == openEditor_) openEditor_.clear();
        QStyledItemDelegate::destroyEditor(editor, index);
    }

    void setModelData(QWidget* editor, QAbstractItemModel*, const QModelIndex& index) const override {
        if (auto* line = qobject_cast<QLineEdit*>(editor))
            form_->GridSetEditText(index.column(), index.row(), line->text());
    }

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyledItemDelegate::paint(painter, option, index);
        painter->save();
        painter->setPen(option.palette.color(QPalette::Mid));
        painter->drawLine(option.rect.bottomLeft(), option.rect.bottomRight());
        painter->restore();
    }

protected:
    bool eventFilter(QObject* object, QEvent* event) override {
        // Qt commits on Enter only through a queued call, which would come after a
        // dialog closed by the same key; commit at once and keep Enter in the grid.
        if (event->type() == QEvent::KeyPress && object == openEditor_) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter) {
                CommitAndCloseOpenEditor();
                return true;
            }
        }
        return QStyledItemDelegate::eventFilter(object, event);
    }

private:
    Tfrm_BufEditor* form_;
    mutable QPointer<QWidget> openEditor_;
    mutable int openRow_ = -1;
};

Tfrm_BufEditor::Tfrm_BufEditor(QWidget* owner, const QString& caption, int count, const int32_t* elements)
    : QDialog(owner) {
    setObjectName("frm_BufEditor");
    setWindowTitle(caption);
    if (count >= 1 && elements)
        buffer_.assign(elements, elements + count);
    else
        buffer_.assign(1, 0);
    const int rows = static_cast<int>(buffer_.size());

    Grid = new QTableWidget(rows, 2, this);
    Grid->setObjectName("Grid");
    Grid->setAccessibleName(caption);
    Grid->setFrameShape(QFrame::NoFrame);
    Grid->horizontalHeader()->hide();
    Grid->verticalHeader()->hide();
    Grid->verticalHeader()->setMinimumSectionSize(1);
    Grid->verticalHeader()->setDefaultSectionSize(RowHeight);
    Grid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    Grid->horizontalHeader()->setMinimumSectionSize(1);
    Grid->horizontalHeader()->setSectionResizeMode(IndexColumn, QHeaderView::Fixed);
    // 57 pixels suit a small system font; a larger one would clip "index [n]", so
    // the index column (and the window with it) grows as far as the labels need.
    const int indexWidth = std::max(ColumnWidth, IndexLabelWidth(rows));
    Grid->setColumnWidth(IndexColumn, indexWidth);
    Grid->setColumnWidth(ValueColumn, ColumnWidth);
    // The value column is 57 pixels while all rows fit and gives way to the
    // vertical scroll bar when they do not, so no horizontal scrolling is needed.
    Grid->horizontalHeader()->setStretchLastSection(true);
    Grid->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Grid->setShowGrid(false);
    Grid->setWordWrap(false);
    Grid->setSelectionMode(QAbstractItemView::SingleSelection);
    Grid->setSelectionBehavior(QAbstractItemView::SelectItems);
    Grid->setEditTriggers(QAbstractItemView::AnyKeyPressed | QAbstractItemView::DoubleClicked |
                          QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked);
    // Tab leaves the grid for the buttons; the arrows move between the rows.
    Grid->setTabKeyNavigation(false);
    delegate_ = new ZHexCellDelegate(this, Grid);
    Grid->setItemDelegate(delegate_);

    for (int row = 0; row < rows; ++row) {
        auto* index = new QTableWidgetItem(tr("index [%1]").arg(row));
        index->setFlags(Qt::ItemIsEnabled);
        index->setBackground(palette().window());
        index->setForeground(palette().windowText());
        Grid->setItem(row, IndexColumn, index);
        auto* value = new QTableWidgetItem;
        value->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable);
        Grid->setItem(row, ValueColumn, value);
        ShowRow(row);
    }

    btn_OK = new QPushButton(tr("OK"), this);
    btn_OK->setObjectName("btn_OK");
    btn_OK->setDefault(true);
    btn_Cancel = new QPushButton(tr("Cancel"), this);
    btn_Cancel->setObjectName("btn_Cancel");
    connect(btn_OK, &QPushButton::clicked, this, &Tfrm_BufEditor::accept);
    connect(btn_Cancel, &QPushButton::clicked, this, &Tfrm_BufEditor::reject);

    // The buttons take what the rows leave of the fixed height, so that up to 20
    // rows show without scrolling.
    auto* buttons = new QWidget(this);
    buttons->setFixedHeight(HeightBesideRows);
    auto* buttonLayout = new QVBoxLayout(buttons);
    buttonLayout->setContentsMargins(8, 8, 8, 8);
    buttonLayout->addStretch();
    buttonLayout->addWidget(btn_OK);
    buttonLayout->addWidget(btn_Cancel);
    buttonLayout->addStretch();

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(Grid, 1);
    layout->addWidget(buttons);

    setFixedSize(indexWidth + ColumnWidth, std::min(RowHeight * rows + HeightBesideRows, MaxHeight));
    setTabOrder(Grid, btn_OK);
    setTabOrder(btn_OK, btn_Cancel);

    connect(Grid, &QTableWidget::currentCellChanged, this, [this](int row, int col, int, int) {
        if (row >= 0 && !GridSelectCell(col, row)) Grid->setCurrentCell(row, ValueColumn);
    });
    Grid->setCurrentCell(0, ValueColumn);
    Grid->setFocus();
}

Tfrm_BufEditor::~Tfrm_BufEditor() = default;

QString Tfrm_BufEditor::ElementText(int32_t element) {
    if (element == AnyByte) return QStringLiteral("??");
    return QString::fromStdString(TriggerToHex(&element, 1));
}

int Tfrm_BufEditor::IndexLabelWidth(int rows) const {
    const QFontMetrics metrics(Grid->font());
    const int digits = static_cast<int>(QString::number(std::max(rows - 1, 0)).size());
    const int text = std::max(metrics.horizontalAdvance(tr("index [%1]").arg(rows - 1)),
                              metrics.horizontalAdvance(tr("index [%1]").arg(QString(digits, u'8'))));
    // The item view's text margin on either side, and one pixel for the grid line.
    return text + 2 * (Grid->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, Grid) + 1) + 1;
}

void Tfrm_BufEditor::ShowRow(int row) {
    Grid->item(row, ValueColumn)->setText(ElementText(buffer_[static_cast<size_t>(row)]));
}

void Tfrm_BufEditor::CommitRow(int row) {
    if (row < 0 || row >= static_cast<int>(buffer_.size())) return;
    QTableWidgetItem* cell = Grid->item(row, ValueColumn);
    int32_t& element = buffer_[static_cast<size_t>(row)];
    const QString text = cell->text().trimmed();
    if (text == ElementText(element)) return;
    if (text.contains(u'?')) {
        cell->setText(QStringLiteral("??"));
        element = AnyByte;
        return;
    }
    // A hexadecimal number of one or two digits, nothing else: no sign, no prefix.
    bool isNumber = !text.isEmpty() && text.size() <= 2;
    int value = 0;
    for (QChar c : text) {
        const int digit = HexDigitValue(c);
        if (digit < 0) {
            isNumber = false;
            break;
        }
        value = value * 16 + digit;
    }
    if (!isNumber) {
        // Storing anything else would change the trigger without the user knowing.
        cell->setText(ElementText(element));
        commitRefused_ = true;
        ZMessageBox::Error(
            this, tr("\"%1\" is not a hexadecimal byte: type 00 to FF, or ?? for any byte.").arg(text));
        return;
    }
    element = value;
}

QString Tfrm_BufEditor::GridGetEditMask(int col, int) const {
    return col == ValueColumn ? QStringLiteral("cc") : QString();
}

bool Tfrm_BufEditor::GridSelectCell(int col, int row) {
    const int editorRow = delegate_->OpenEditorRow();
    if (editorRow >= 0 && (editorRow != row || col != ValueColumn)) delegate_->CommitAndCloseOpenEditor();
    return col != IndexColumn;
}

void Tfrm_BufEditor::GridSetEditText(int col, int row, const QString& value) {
    if (col != ValueColumn || row < 0 || row >= Grid->rowCount()) return;
    Grid->item(row, col)->setText(value);
    CommitRow(row);
}

void Tfrm_BufEditor::accept() {
    commitRefused_ = false;
    delegate_->CommitAndCloseOpenEditor();
    // The user sees the refused cell back at its old value before deciding again.
    if (commitRefused_) return;
    QDialog::accept();
}
