#pragma once
// Paints the cells of a grid of one-line texts in a fixed-pitch font as the
// standard styled delegate paints them under Qt's own "fusion" and "windows"
// styles (selection, text left-aligned and vertically centred, elided at the right
// with "…"), but without laying the text out: the glyphs of the characters that fit
// are taken from a table made once per font and set at the font's fixed advance.
// Only the display, foreground and background roles are read. A cell is painted by the standard delegate when
// its text holds a character outside printable Latin-1 or one the font has no
// glyph of, when it has the keyboard focus, when the view wraps, elides otherwise
// or runs right to left, or under any other style; so nothing ever shows wrong.
//
// Window thread only; nothing is allocated per cell once the buffers have grown to
// the widest cell.

#include <QGlyphRun>
#include <QPointer>
#include <QRawFont>
#include <QStyledItemDelegate>
#include <vector>

class ZGridCellDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;

    // How many cells were painted without a text layout so far.
    qint64 CellsPaintedCheaply() const { return cheapCells_; }

protected:
    // The standard path lays out only as much of a long text as its cell can show.
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;

private:
    // What the cheap paint needs of one font; lengths in 64ths of a pixel, as the
    // text layout counts them, so that elision cuts at the same character.
    struct FontTable {
        bool Made = false;
        QFont Font;
        QRawFont Raw;
        bool Usable = false;
        quint32 Glyph[256] = {};  // 0: no usable glyph for this Latin-1 character
        qint64 Advance = 0;
        quint32 Ellipsis = 0;
        qint64 EllipsisAdvance = 0;
        qreal Ascent = 0;    // from the line's top to its baseline
        int LineHeight = 0;  // whole pixels, as the line is centred in its cell
        // How far the ink of the glyphs reaches, in pixels: left of and right of any
        // glyph's box, above and below the baseline by character (the mark last).
        qreal InkLeft = 0, InkRight = 0;
        qreal Above[257] = {}, Below[257] = {};
    };

    bool PaintCheaply(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const;
    bool StyleAllowsCheapPaint(const QStyleOptionViewItem& option) const;
    const FontTable& TableFor(const QFont& font) const;

    mutable FontTable table_;
    mutable QPointer<const QStyle> checkedStyle_;  // null again once that style is gone
    mutable bool styleAllows_ = false;
    mutable int textMargin_ = 0;
    mutable std::vector<quint32> runGlyphs_;
    mutable std::vector<QPointF> runPositions_;
    mutable QGlyphRun run_;
    mutable qint64 cheapCells_ = 0;
};
