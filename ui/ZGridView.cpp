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
#include <algorithm>
#include <utility>

namespace {

// The cells an interface is asked for are counted from the top row in view (slot 0),
// so a cell's interface lives as long as the grid's and shows whatever row is there.
class GridCell : public QAccessibleInterface {
public:
    GridCell(ZGridView* view, int slot, int column) : view_(view), slot_(slot), column_(column) {}

    bool isValid() const override { return view_ != nullptr; }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return view_ != nullptr ? view_->window()->windowHandle() : nullptr; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QAccessibleInterface* parent() const override { return QAccessible::queryAccessibleInterface(view_); }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    void setText(QAccessible::Text, const QString&) override {}

    QString text(QAccessible::Text t) const override {
        if (t != QAccessible::Name || view_ == nullptr || view_->model() == nullptr) return {};
        if (slot_ < 0) return view_->model()->headerData(column_, Qt::Horizontal).toString();
        return Index().data().toString();
    }
    QRect rect() const override {
        if (view_ == nullptr) return {};
        QRect local;
        if (slot_ < 0) {
            const QHeaderView* header = view_->horizontalHeader();
            local = QRect(header->sectionViewportPosition(column_), 0, header->sectionSize(column_),
                          header->height());
            return QRect(header->viewport()->mapToGlobal(local.topLeft()), local.size());
        }
        local = view_->visualRect(Index());
        return QRect(view_->viewport()->mapToGlobal(local.topLeft()), local.size());
    }
    QAccessible::Role role() const override {
        return slot_ < 0 ? QAccessible::ColumnHeader : QAccessible::Cell;
    }
    QAccessible::State state() const override {
        QAccessible::State state;
        if (view_ == nullptr) return state;
        if (slot_ >= 0) {
            state.selectable = true;
            const QModelIndex index = Index();
            if (index.isValid() && view_->selectionModel() != nullptr &&
                view_->selectionModel()->isSelected(index))
                state.selected = true;
        }
        return state;
    }

private:
    QModelIndex Index() const {
        const int top = std::max(view_->rowAt(0), 0);
        return view_->model()->index(top + slot_, column_);
    }

    QPointer<ZGridView> view_;
    int slot_;  // -1: the column's header
    int column_;
};

class GridTable : public QAccessibleWidget {
public:
    explicit GridTable(ZGridView* view) : QAccessibleWidget(view, QAccessible::Table) {}
    ~GridTable() override {
        for (const QAccessible::Id id : std::as_const(cells_)) QAccessible::deleteAccessibleInterface(id);
    }

    int childCount() const override { return Columns() * (1 + RowsInView()); }
    QAccessibleInterface* child(int index) const override {
        const int columns = Columns();
        if (index < 0 || index >= childCount() || columns == 0) return nullptr;
        const int slot = index / columns - 1;
        const int column = index % columns;
        const int key = index;
        if (const auto found = cells_.constFind(key); found != cells_.constEnd())
            return QAccessible::accessibleInterface(*found);
        auto* cell = new GridCell(static_cast<ZGridView*>(widget()), slot, column);
        const QAccessible::Id id = QAccessible::registerAccessibleInterface(cell);
        cells_.insert(key, id);
        return cell;
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        for (auto it = cells_.constBegin(); it != cells_.constEnd(); ++it)
            if (QAccessible::accessibleInterface(it.value()) == child)
                return it.key() < childCount() ? it.key() : -1;
        return -1;
    }

private:
    const QTableView* View() const { return static_cast<const QTableView*>(widget()); }
    int Columns() const { return View()->model() != nullptr ? View()->model()->columnCount() : 0; }
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

    // The children's interfaces by index, made when first asked for.
    mutable QHash<int, QAccessible::Id> cells_;
};

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
