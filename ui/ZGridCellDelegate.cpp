#include "ZGridCellDelegate.h"

#include <QApplication>
#include <QFontMetricsF>
#include <QPainter>
#include <QStyle>
#include <QTextLayout>
#include <algorithm>

namespace {

constexpr char16_t EllipsisMark = u'\x2026';
constexpr int EllipsisSlot = 256;  // after the Latin-1 characters in the font table

// Characters every font draws the same way in a line of its own: control
// characters, the no-break space (a space to line breaking) and the soft hyphen
// (shown only at a break) are left to the text layout.
bool PlainLatin1(int c) {
    return (c >= 0x20 && c < 0x7F) || (c > 0xA0 && c <= 0xFF && c != 0xAD);
}

qint64 Sixtyfourths(qreal pixels) {
    return qRound64(pixels * 64);
}

}  // namespace

void ZGridCellDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const {
    if (!PaintCheaply(painter, option, index)) QStyledItemDelegate::paint(painter, option, index);
}

void ZGridCellDelegate::initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const {
    QStyledItemDelegate::initStyleOption(option, index);
    // A data block of 16384 bytes has a HEX text of 49151 characters: laying all of it
    // out for every visible row stalled the window for a second at each repaint.
    // Fractional advances (whole-pixel ones can be wider than what is drawn) of the
    // narrowest characters, should the fixed-pitch font be missing.
    const QFontMetricsF metrics(option->font);
    qreal narrowest = metrics.horizontalAdvance(QLatin1Char('0'));
    for (const char c : {' ', '.', 'i', 'l', '|', '!', '\''})
        narrowest = std::min(narrowest, metrics.horizontalAdvance(QLatin1Char(c)));
    narrowest = std::max(narrowest, 1.0);
    const auto fits = static_cast<qsizetype>(option->rect.width() / narrowest) + 4;
    if (option->text.size() > fits) option->text.truncate(fits);
}

bool ZGridCellDelegate::StyleAllowsCheapPaint(const QStyleOptionViewItem& option) const {
    const QStyle* style = option.widget != nullptr ? option.widget->style() : QApplication::style();
    if (style != checkedStyle_.data()) {
        checkedStyle_ = style;
        // Other styles draw items their own way; a style sheet may restyle any of it.
        const QString name = style->name();
        styleAllows_ = (name.compare(QLatin1String("fusion"), Qt::CaseInsensitive) == 0 ||
                        name.compare(QLatin1String("windows"), Qt::CaseInsensitive) == 0) &&
                       !style->inherits("QStyleSheetStyle");
        textMargin_ = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, option.widget) + 1;
    }
    return styleAllows_;
}

const ZGridCellDelegate::FontTable& ZGridCellDelegate::TableFor(const QFont& font) const {
    if (table_.Made && table_.Font == font) return table_;
    table_ = FontTable{};
    table_.Made = true;
    table_.Font = font;
    FontTable& t = table_;
    // The font the text layout takes its glyphs from first; a character it lacks
    // would come from another font, so it is left to the layout.
    t.Raw = QRawFont::fromFont(font);
    if (!t.Raw.isValid()) return t;

    QString chars(257, QChar());
    for (int c = 0; c < 256; ++c) chars[c] = QChar(c);
    chars[EllipsisSlot] = QChar(EllipsisMark);
    const QList<quint32> glyphs = t.Raw.glyphIndexesForString(chars);
    if (glyphs.size() != chars.size()) return t;
    const QList<QPointF> advances = t.Raw.advancesForGlyphIndexes(glyphs);
    t.Advance = Sixtyfourths(advances['0'].x());
    t.Ellipsis = glyphs[EllipsisSlot];
    t.EllipsisAdvance = Sixtyfourths(advances[EllipsisSlot].x());
    // The elision counts on a mark narrower than two characters.
    if (t.Advance <= 0 || t.Ellipsis == 0 || t.EllipsisAdvance >= 2 * t.Advance) return t;

    const auto reach = [&t](int slot, quint32 glyph, qreal advance) {
        const QRectF ink = t.Raw.boundingRect(glyph);
        t.InkLeft = std::max(t.InkLeft, -ink.left());
        t.InkRight = std::max(t.InkRight, ink.right() - advance);
        t.Above[slot] = -ink.top();
        t.Below[slot] = ink.bottom();
    };
    for (int c = 0; c < 256; ++c) {
        if (!PlainLatin1(c) || glyphs[c] == 0 || Sixtyfourths(advances[c].x()) != t.Advance ||
            advances[c].y() != 0)
            continue;
        t.Glyph[c] = glyphs[c];
        reach(c, glyphs[c], advances[c].x());
    }
    reach(EllipsisSlot, t.Ellipsis, advances[EllipsisSlot].x());

    // Where the text layout puts a line of this font in its cell.
    QTextLayout layout(QStringLiteral("0"), font);
    QTextOption wrap;
    wrap.setWrapMode(QTextOption::ManualWrap);
    layout.setTextOption(wrap);
    layout.beginLayout();
    QTextLine line = layout.createLine();
    if (!line.isValid()) return t;
    line.setLineWidth(1000);
    line.setPosition(QPointF(0, 0));
    layout.endLayout();
    t.Ascent = line.ascent();
    t.LineHeight = layout.boundingRect().size().toSize().height();

    t.Usable = true;
    run_.setRawFont(t.Raw);
    runPositions_.clear();
    return t;
}

bool ZGridCellDelegate::PaintCheaply(QPainter* painter, const QStyleOptionViewItem& option,
                                     const QModelIndex& index) const {
    constexpr Qt::Alignment leftCentred = Qt::AlignLeft | Qt::AlignVCenter;
    if ((option.state & QStyle::State_HasFocus) || (option.features & QStyleOptionViewItem::WrapText) ||
        option.direction != Qt::LeftToRight || option.textElideMode != Qt::ElideRight ||
        (option.displayAlignment & (Qt::AlignHorizontal_Mask | Qt::AlignVertical_Mask)) != leftCentred ||
        !StyleAllowsCheapPaint(option))
        return false;
    const QVariant value = index.data(Qt::DisplayRole);
    if (value.isValid() && value.typeId() != QMetaType::QString) return false;
    const QString text = value.toString();
    const FontTable& t = TableFor(option.font);
    if (!t.Usable) return false;

    const QRect& cell = option.rect;
    const QRect textRect = cell.adjusted(textMargin_, 0, -textMargin_, 0);
    const QChar* chars = text.constData();
    const qsizetype length = text.size();
    const qint64 room = qint64{textRect.width()} * 64;
    qsizetype shown = length;
    qsizetype checked = length;
    bool elided = false;
    // The layout keeps a single character however narrow the cell.
    if (length > 1 && qint64{length} * t.Advance > room) {
        const qint64 available = room - t.EllipsisAdvance;
        if (available < 0) {
            shown = 0;  // not even the mark fits
        } else {
            // The layout takes characters until one reaches the room left beside the
            // mark, and leaves that one out.
            shown = std::max<qint64>(1, (available + t.Advance - 1) / t.Advance) - 1;
            elided = true;
        }
        // Whether the line is too wide at all rests on the characters up to two past
        // the cut as well: together wider than the mark, they make it so.
        checked = std::min<qsizetype>(length, shown + 3);
    }
    for (qsizetype i = 0; i < checked; ++i) {
        const char16_t c = chars[i].unicode();
        if (c > 0xFF || t.Glyph[c] == 0) return false;
    }

    const bool viewEnabled =
        option.widget != nullptr ? option.widget->isEnabled() : (option.state & QStyle::State_Enabled) != 0;
    const auto group = [&option](bool enabled) {
        if (!enabled) return QPalette::Disabled;
        return (option.state & QStyle::State_Active) ? QPalette::Normal : QPalette::Inactive;
    };
    const bool selected = (option.state & QStyle::State_Selected) != 0;
    if (selected) {
        painter->fillRect(cell, option.palette.brush(group(viewEnabled), QPalette::Highlight));
    } else if (const QVariant tint = index.data(Qt::BackgroundRole); tint.canConvert<QBrush>()) {
        // A row of its own kind (a line of two) may bring its own background.
        painter->fillRect(cell, tint.value<QBrush>());
    }

    ++cheapCells_;
    const qsizetype count = shown + (elided ? 1 : 0);
    if (count == 0) return true;
    if (runPositions_.size() < static_cast<size_t>(count)) {
        const size_t from = runPositions_.size();
        runPositions_.resize(static_cast<size_t>(count));
        runGlyphs_.resize(static_cast<size_t>(count));
        for (size_t i = from; i < runPositions_.size(); ++i)
            runPositions_[i] = QPointF(static_cast<qreal>(qint64(i) * t.Advance) / 64, 0);
    }
    qreal above = elided ? t.Above[EllipsisSlot] : 0;
    qreal below = elided ? t.Below[EllipsisSlot] : 0;
    for (qsizetype i = 0; i < shown; ++i) {
        const char16_t c = chars[i].unicode();
        runGlyphs_[static_cast<size_t>(i)] = t.Glyph[c];
        above = std::max(above, t.Above[c]);
        below = std::max(below, t.Below[c]);
    }
    if (elided) runGlyphs_[static_cast<size_t>(shown)] = t.Ellipsis;
    run_.setRawData(runGlyphs_.data(), runPositions_.data(), static_cast<int>(count));

    // Centred as the style centres a line: each height halved on its own.
    const QPointF origin(textRect.x(), textRect.top() + textRect.height() / 2 - t.LineHeight / 2 + t.Ascent);
    // A row of its own kind (the bytes sent) may bring its own text colour.
    const QVariant own = selected ? QVariant() : index.data(Qt::ForegroundRole);
    painter->setPen(own.canConvert<QColor>()
                        ? own.value<QColor>()
                        : option.palette.color(group((option.state & QStyle::State_Enabled) != 0),
                                               selected ? QPalette::HighlightedText : QPalette::Text));
    // The standard paint clips every cell, at a cost near that of the glyphs; only
    // ink that would leave the cell needs it.
    const qreal right = origin.x() + static_cast<qreal>(count * t.Advance) / 64 + t.InkRight;
    const bool spills = origin.x() - t.InkLeft < cell.left() || right > cell.left() + cell.width() ||
                        origin.y() - above < cell.top() || origin.y() + below > cell.top() + cell.height();
    if (spills) {
        painter->save();
        painter->setClipRect(cell);
        painter->drawGlyphRun(origin, run_);
        painter->restore();
    } else {
        painter->drawGlyphRun(origin, run_);
    }
    return true;
}
