#pragma once
// A table view that draws its grid lines as one-pixel fills instead of strokes: the
// same pixels as QTableView's own lines, at a fraction of the cost, which matters
// for a grid repainted whole up to 20 times a second. Everything else is
// QTableView's. The view's pen style for the grid is kept as Qt::NoPen, so that
// QTableView's own lines draw nothing; only solid lines are drawn here, and a view
// with cell spans is not supported (its lines would cross the spanned cells).
//
// Window thread only.

#include <QTableView>

class ZGridView : public QTableView {
public:
    explicit ZGridView(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void PaintGridLines(const QRegion& region);
};
