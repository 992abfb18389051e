#pragma once
// A table view that draws its grid lines as one-pixel fills instead of strokes: the
// same pixels as QTableView's own lines, at a fraction of the cost, which matters
// for a grid repainted whole up to 20 times a second. Everything else is
// QTableView's. The view's pen style for the grid is kept as Qt::NoPen, so that
// QTableView's own lines draw nothing; only solid lines are drawn here, and a view
// with cell spans is not supported (its lines would cross the spanned cells).
//
// To assistive technology the view is a table whose children are its named
// column headers and the cells of the rows in view, however many rows its model
// holds (Qt's own table interface makes a child of every cell of the model, and a
// screen reader's walk of a history of 100,000 rows then takes minutes). As a table
// (AT-SPI's Table) it answers over every row of the model: the row and column
// counts, the column headers, the cell at a row and column, the selected rows, each
// from the model at once.
//
// Window thread only.

#include <QColor>
#include <QTableView>

class ZGridView : public QTableView {
public:
    explicit ZGridView(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
    // QTableView's own tell assistive technology a cell by its place among all cells
    // of the model, which the view's interface does not number: the focus is told by
    // the cell's place among the rows in view instead, the selection not at all.
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    void selectionChanged(const QItemSelection& selected, const QItemSelection& deselected) override;

private:
    // What the style asks of the lines.
    struct Lines {
        QColor Colour;
        bool EdgesWhenHidden = false;  // a top or left edge line where a header is hidden
    };
    void PaintGridLines(const QRegion& region);
    // The lines within one rectangle of the repainted region, already cut to the sections.
    void PaintLinesIn(QPainter& painter, const QRect& dirty, const Lines& lines);
};
