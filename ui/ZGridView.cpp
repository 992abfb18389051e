#include "ZGridView.h"

#include <QHeaderView>
#include <QPaintEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <algorithm>

ZGridView::ZGridView(QWidget* parent) : QTableView(parent) {
    setGridStyle(Qt::NoPen);
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
