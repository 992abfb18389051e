#include "ZGridView.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QHash>
#include <QHeaderView>
#include <QPaintEvent>
#include <QPainter>
#include <QPointer>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QTimer>
#include <algorithm>
#include <utility>

namespace {

class GridTable;

// One cell of the grid, or (row -1) a column's header, by its place in the model: it
// shows whatever entry is at that row of the history now.
class GridCell : public QAccessibleInterface, public QAccessibleTableCellInterface {
public:
    GridCell(ZGridView* view, int row, int column) : view_(view), row_(row), column_(column) {}

    bool isValid() const override;
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return view_ != nullptr ? view_->window()->windowHandle() : nullptr; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QAccessibleInterface* parent() const override { return QAccessible::queryAccessibleInterface(view_); }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    void setText(QAccessible::Text, const QString&) override {}
    QString text(QAccessible::Text t) const override;
    QRect rect() const override;
    QAccessible::Role role() const override {
        return row_ < 0 ? QAccessible::ColumnHeader : QAccessible::Cell;
    }
    QAccessible::State state() const override;
    void* interface_cast(QAccessible::InterfaceType t) override {
        if (t == QAccessible::TableCellInterface && row_ >= 0)
            return static_cast<QAccessibleTableCellInterface*>(this);
        return nullptr;
    }

    // The table cell's answers.
    bool isSelected() const override;
    QList<QAccessibleInterface*> columnHeaderCells() const override;
    QList<QAccessibleInterface*> rowHeaderCells() const override { return {}; }
    int columnIndex() const override { return column_; }
    int rowIndex() const override { return row_; }
    int columnExtent() const override { return 1; }
    int rowExtent() const override { return 1; }
    QAccessibleInterface* table() const override { return parent(); }

    int Row() const { return row_; }
    int Column() const { return column_; }
    const ZGridView* View() const { return view_; }

private:
    QModelIndex Index() const { return view_->model()->index(row_, column_); }

    QPointer<ZGridView> view_;
    int row_;  // -1: the column's header
    int column_;
};

// The grid as a table over every row of its model, answering each question from the
// model at once; its children are the column headers and the cells of the rows in
// view, counted row by row from the top row in view.
class GridTable : public QAccessibleWidget, public QAccessibleTableInterface {
public:
    explicit GridTable(ZGridView* view) : QAccessibleWidget(view, QAccessible::Table) {}
    ~GridTable() override { Forget(); }

    void* interface_cast(QAccessible::InterfaceType t) override {
        if (t == QAccessible::TableInterface) return static_cast<QAccessibleTableInterface*>(this);
        return QAccessibleWidget::interface_cast(t);
    }

    int childCount() const override { return Columns() * (1 + RowsInView()); }
    QAccessibleInterface* child(int index) const override {
        const int columns = Columns();
        if (index < 0 || index >= childCount() || columns == 0) return nullptr;
        const int slot = index / columns - 1;
        return Cell(slot < 0 ? -1 : View()->rowAt(0) + slot, index % columns);
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        const auto* cell = dynamic_cast<const GridCell*>(child);
        if (cell == nullptr || cell->View() != View() || cell->Column() >= Columns()) return -1;
        if (cell->Row() < 0) return cell->Column();
        const int slot = cell->Row() - View()->rowAt(0);
        if (View()->rowAt(0) < 0 || slot < 0 || slot >= RowsInView()) return -1;
        return Columns() * (1 + slot) + cell->Column();
    }

    // The table's answers, over every row of the model.
    QAccessibleInterface* caption() const override { return nullptr; }
    QAccessibleInterface* summary() const override { return nullptr; }
    QAccessibleInterface* cellAt(int row, int column) const override {
        if (row < 0 || row >= rowCount() || column < 0 || column >= Columns()) return nullptr;
        return Cell(row, column);
    }
    QString columnDescription(int column) const override {
        return Model() != nullptr ? Model()->headerData(column, Qt::Horizontal).toString() : QString();
    }
    QString rowDescription(int) const override { return {}; }
    int columnCount() const override { return Columns(); }
    int rowCount() const override { return Model() != nullptr ? Model()->rowCount() : 0; }
    int selectedCellCount() const override { return selectedRowCount() * Columns(); }
    QList<QAccessibleInterface*> selectedCells() const override {
        QList<QAccessibleInterface*> cells;
        for (const int row : selectedRows())
            for (int column = 0; column < Columns(); ++column) cells << Cell(row, column);
        return cells;
    }
    int selectedColumnCount() const override { return 0; }
    int selectedRowCount() const override { return static_cast<int>(selectedRows().size()); }
    QList<int> selectedColumns() const override { return {}; }
    QList<int> selectedRows() const override {
        QList<int> rows;
        if (const QItemSelectionModel* selection = View()->selectionModel())
            for (const QModelIndex& index : selection->selectedRows()) rows << index.row();
        return rows;
    }
    bool isColumnSelected(int) const override { return false; }
    bool isRowSelected(int row) const override {
        const QItemSelectionModel* selection = View()->selectionModel();
        return selection != nullptr && selection->isRowSelected(row, {});
    }
    bool selectRow(int row) override {
        QItemSelectionModel* selection = View()->selectionModel();
        if (selection == nullptr || row < 0 || row >= rowCount()) return false;
        selection->setCurrentIndex(Model()->index(row, 0),
                                   QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        return true;
    }
    bool selectColumn(int) override { return false; }
    bool unselectRow(int row) override {
        QItemSelectionModel* selection = View()->selectionModel();
        if (selection == nullptr || !isRowSelected(row)) return false;
        selection->select(Model()->index(row, 0), QItemSelectionModel::Deselect | QItemSelectionModel::Rows);
        return true;
    }
    bool unselectColumn(int) override { return false; }
    void modelChange(QAccessibleTableModelChangeEvent* event) override {
        // Rows added at the end leave every cell where it was; anything else may not.
        if (event->modelChangeType() != QAccessibleTableModelChangeEvent::RowsInserted) Forget();
    }

    // The interface of a cell (row -1: the column's header), made when first asked for.
    QAccessibleInterface* Cell(int row, int column) const {
        const qint64 key = (static_cast<qint64>(row) << 32) | static_cast<quint32>(column);
        if (const auto found = cells_.constFind(key); found != cells_.constEnd())
            return QAccessible::accessibleInterface(*found);
        // A client may ask for any of a million cells: once many are kept, they all go, but
        // only when the event loop is back, since the caller may still hold some of them.
        if (cells_.size() >= MaxCells && !forgetting_) {
            forgetting_ = true;
            QTimer::singleShot(0, widget(), [this] {
                forgetting_ = false;
                Forget();
            });
        }
        auto* cell = new GridCell(static_cast<ZGridView*>(widget()), row, column);
        cells_.insert(key, QAccessible::registerAccessibleInterface(cell));
        return cell;
    }

private:
    static constexpr qsizetype MaxCells = 4096;

    const QTableView* View() const { return static_cast<const QTableView*>(widget()); }
    const QAbstractItemModel* Model() const { return View()->model(); }
    int Columns() const { return Model() != nullptr ? Model()->columnCount() : 0; }
    int RowsInView() const {
        const QTableView* view = View();
        if (view->model() == nullptr) return 0;
        const int rows = view->model()->rowCount();
        const int top = view->rowAt(0);
        if (top < 0) return 0;
        int bottom = view->rowAt(view->viewport()->height() - 1);
        if (bottom < 0) bottom = rows - 1;
        return bottom - top + 1;
    }
    void Forget() const {
        for (const QAccessible::Id id : std::as_const(cells_)) QAccessible::deleteAccessibleInterface(id);
        cells_.clear();
    }

    // The cells' interfaces by row and column.
    mutable QHash<qint64, QAccessible::Id> cells_;
    mutable bool forgetting_ = false;  // the cells go at the event loop's next pass
};

bool GridCell::isValid() const {
    if (view_ == nullptr || view_->model() == nullptr) return false;
    return column_ < view_->model()->columnCount() && row_ < view_->model()->rowCount();
}

QString GridCell::text(QAccessible::Text t) const {
    if (t != QAccessible::Name || !isValid()) return {};
    if (row_ < 0) return view_->model()->headerData(column_, Qt::Horizontal).toString();
    return Index().data().toString();
}

QRect GridCell::rect() const {
    if (!isValid()) return {};
    if (row_ < 0) {
        const QHeaderView* header = view_->horizontalHeader();
        const QRect local(header->sectionViewportPosition(column_), 0, header->sectionSize(column_),
                          header->height());
        return QRect(header->viewport()->mapToGlobal(local.topLeft()), local.size());
    }
    const QRect local = view_->visualRect(Index());
    return QRect(view_->viewport()->mapToGlobal(local.topLeft()), local.size());
}

QAccessible::State GridCell::state() const {
    QAccessible::State state;
    if (!isValid() || row_ < 0) return state;
    state.selectable = true;
    state.selected = isSelected();
    return state;
}

bool GridCell::isSelected() const {
    return isValid() && row_ >= 0 && view_->selectionModel() != nullptr &&
           view_->selectionModel()->isSelected(Index());
}

QList<QAccessibleInterface*> GridCell::columnHeaderCells() const {
    if (view_ == nullptr) return {};
    auto* table = dynamic_cast<GridTable*>(QAccessible::queryAccessibleInterface(view_));
    if (table == nullptr) return {};
    return {table->Cell(-1, column_)};
}

QAccessibleInterface* GridInterface(const QString&, QObject* object) {
    if (auto* view = dynamic_cast<ZGridView*>(object)) return new GridTable(view);
    return nullptr;
}

}  // namespace

ZGridView::ZGridView(QWidget* parent) : QTableView(parent) {
    setGridStyle(Qt::NoPen);
    static const bool installed = [] {
        QAccessible::installFactory(GridInterface);
        return true;
    }();
    (void)installed;
}

void ZGridView::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    QAbstractItemView::currentChanged(current, previous);
    if (!QAccessible::isActive() || !current.isValid() || !hasFocus() || model() == nullptr) return;
    const int top = rowAt(0);
    const int bottom = rowAt(viewport()->height() - 1);
    if (top < 0 || current.row() < top || (bottom >= 0 && current.row() > bottom)) return;
    QAccessibleEvent event(this, QAccessible::Focus);
    event.setChild(model()->columnCount() * (1 + current.row() - top) + current.column());
    QAccessible::updateAccessibility(&event);
}

void ZGridView::selectionChanged(const QItemSelection& selected, const QItemSelection& deselected) {
    QAbstractItemView::selectionChanged(selected, deselected);
}

void ZGridView::paintEvent(QPaintEvent* event) {
    QTableView::paintEvent(event);
    if (showGrid()) PaintGridLines(event->region());
}

// Where QTableView puts its lines: below each row and at the end of each column
// (its start when right to left), across the part of the region the sections cover.
void ZGridView::PaintGridLines(const QRegion& region) {
    const QHeaderView* rows = verticalHeader();
    const QHeaderView* columns = horizontalHeader();
    if (rows->count() == 0 || columns->count() == 0 || model() == nullptr) return;
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    Lines lines;
    lines.Colour = QColor::fromRgba(
        static_cast<QRgb>(style()->styleHint(QStyle::SH_Table_GridLineColor, &option, this)));
    lines.EdgesWhenHidden = style()->styleHint(QStyle::SH_Table_AlwaysDrawLeftTopGridLines, &option, this);
    const bool rightToLeft = isRightToLeft();
    const int coveredRight = columns->length() - columns->offset() - (rightToLeft ? 0 : 1);
    const int coveredBottom = rows->length() - rows->offset() - 1;

    QPainter painter(viewport());
    for (QRect dirty : region) {
        dirty.setBottom(std::min(dirty.bottom(), coveredBottom));
        if (rightToLeft)
            dirty.setLeft(std::max(dirty.left(), viewport()->width() - coveredRight));
        else
            dirty.setRight(std::min(dirty.right(), coveredRight));
        if (dirty.isValid()) PaintLinesIn(painter, dirty, lines);
    }
}

void ZGridView::PaintLinesIn(QPainter& painter, const QRect& dirty, const Lines& lines) {
    const QHeaderView* rows = verticalHeader();
    const QHeaderView* columns = horizontalHeader();
    const bool rightToLeft = isRightToLeft();
    int left = columns->visualIndexAt(dirty.left());
    int right = columns->visualIndexAt(dirty.right());
    if (rightToLeft) std::swap(left, right);
    if (left == -1) left = 0;
    if (right == -1) right = columns->count() - 1;
    int bottom = rows->visualIndexAt(dirty.bottom());
    if (bottom == -1) bottom = rows->count() - 1;
    const int top = rows->visualIndexAt(dirty.top());
    if (top == -1 || top > bottom) return;

    const auto across = [&](int y) {
        painter.fillRect(QRect(dirty.left(), y, dirty.width(), 1), lines.Colour);
    };
    const auto down = [&](int x) {
        painter.fillRect(QRect(x, dirty.top(), 1, dirty.height()), lines.Colour);
    };
    for (int visual = top; visual <= bottom; ++visual) {
        const int row = rows->logicalIndex(visual);
        if (!rows->isSectionHidden(row)) across(rowViewportPosition(row) + rowHeight(row) - 1);
    }
    for (int visual = left; visual <= right; ++visual) {
        const int column = columns->logicalIndex(visual);
        if (columns->isSectionHidden(column)) continue;
        down(columnViewportPosition(column) + (rightToLeft ? 0 : columnWidth(column) - 1));
    }
    if (lines.EdgesWhenHidden && columns->isHidden()) {
        const int row = rows->logicalIndex(top);
        if (!rows->isSectionHidden(row) && rowViewportPosition(row) == dirty.top()) across(dirty.top());
    }
    if (lines.EdgesWhenHidden && rows->isHidden()) {
        const int column = columns->logicalIndex(left);
        if (columns->isSectionHidden(column)) return;
        const int x = columnViewportPosition(column) + (rightToLeft ? columnWidth(left) - 1 : 0);
        if (x == (rightToLeft ? dirty.right() : dirty.left())) down(x);
    }
}
