// The capture window: which entries it takes, what a row shows, scrolling past 80
// rows, following the newest row, pausing, hiding columns, the overflow signal,
// its font, how its cells are painted, its place on the screen and what a screen
// reader reads.

#include <gtest/gtest.h>

#include <QAbstractItemModel>
#include <QAccessible>
#include <QComboBox>
#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProxyStyle>
#include <QRadioButton>
#include <QScreen>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStandardItemModel>
#include <QStyleFactory>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "Tfrm_Log.h"
#include "ZFieldDecoder.h"
#include "ZFilter.h"
#include "ZGridCellDelegate.h"
#include "ZGridView.h"

// Readable QStrings in failure messages.
static void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace {

using Bytes = std::vector<uint8_t>;

constexpr int WaitMs = 20000;  // generous: CI machines are loaded and sanitised

const TDateTime Stamp = ZULEncodeDateTime({2024, 5, 6, 14, 3, 27, 0});

// The view's viewport as painted by the given delegate.
QImage PaintedBy(QAbstractItemView& view, QAbstractItemDelegate* delegate) {
    view.setItemDelegate(delegate);
    return view.viewport()->grab().toImage();
}

// Where two pictures of the same view differ first: "" when they do not.
std::string FirstDifference(const QImage& expected, const QImage& actual, int rowHeight) {
    if (expected.size() != actual.size()) return "sizes differ";
    int differing = 0;
    std::string first;
    for (int y = 0; y < expected.height(); ++y)
        for (int x = 0; x < expected.width(); ++x)
            if (expected.pixel(x, y) != actual.pixel(x, y) && differing++ == 0)
                first = "row " + std::to_string(y / rowHeight) + " at x " + std::to_string(x);
    return differing == 0 ? "" : first + ", " + std::to_string(differing) + " pixels";
}

// The values of "temperature" (the byte at offset, x 0.5 + 7.5, in °C) and "count"
// (the last byte) in bytes.
ZFieldValues DecodedValues(const Bytes& bytes, int32_t offset) {
    ZFieldList list;
    list.Items.resize(2);
    for (ZFieldDefinition& field : list.Items) field.HasOffset = true;
    list.Items[0].Name = "temperature";
    list.Items[0].Offset = offset;
    list.Items[0].Scale = 0.5;
    list.Items[0].Add = 7.5;
    list.Items[0].Unit = "\u00B0C";
    list.Items[1].Name = "count";
    list.Items[1].Offset = offset == 0 ? -1 : offset;
    const ZFieldDecoder decoder(list);
    ZFieldValues values = decoder.MakeValues();
    decoder.Decode(bytes.data(), static_cast<int>(bytes.size()), values);
    return values;
}

class CaptureWindowTest : public ::testing::Test {
protected:
    QToolButton* Button(const char* name) { return window_.findChild<QToolButton*>(name); }
    QTableView* Grid() { return window_.findChild<QTableView*>("Grid"); }
    QLabel* Status() { return window_.findChild<QLabel*>("Status"); }
    QTimer* Timer(const char* name) { return window_.findChild<QTimer*>(name); }
    QHeaderView* Header() { return Grid()->horizontalHeader(); }

    // Rows 1 to 80 hold entries; row 0 is the header.
    QString Cell(int row, int column) { return Grid()->model()->index(row - 1, column).data().toString(); }
    QColor StatusColour() { return Status()->palette().color(Status()->backgroundRole()); }
    QColor FaceColour() { return window_.palette().color(QPalette::Button); }

    bool Add(uint8_t kind, const Bytes& bytes = {0x41}) {
        return window_.AddEntry(bytes.data(), static_cast<int>(bytes.size()), Stamp, kind);
    }
    // Adds one data entry whose ASCII text is "#<n>" and waits until the grid shows it.
    void AddNumbered(int n, int expectedRows) {
        std::string text = "#";
        text += std::to_string(n);
        ASSERT_TRUE(window_.AddEntry(reinterpret_cast<const uint8_t*>(text.data()),
                                     static_cast<int>(text.size()), Stamp, bkData));
        ASSERT_TRUE(QTest::qWaitFor(
            [&] {
                return window_.ShownRows() == expectedRows &&
                       Cell(expectedRows, 2) == QString::fromStdString(text);
            },
            WaitMs))
            << "entry " << n;
    }
    // Adds data entries "#first" to "#last", 40 at a time (never filling the pump), and
    // waits until the grid shows the last.
    void AddRun(int first, int last) {
        for (int n = first; n <= last; ++n) {
            if ((n - first) % 40 == 39 || n == last) {
                AddNumbered(n, std::min(n, window_.ViewSettings().HistoryEntries));
            } else {
                std::string text = "#";
                text += std::to_string(n);
                ASSERT_TRUE(window_.AddEntry(reinterpret_cast<const uint8_t*>(text.data()),
                                             static_cast<int>(text.size()), Stamp, bkData));
            }
        }
    }
    bool WaitRows(int rows) {
        return QTest::qWaitFor([&] { return window_.ShownRows() == rows; }, WaitMs);
    }
    // Shows the window wide enough for every column and the filler, and waits until
    // the filler reaches the grid's edge.
    void ShowSettled() {
        window_.resize(1400, window_.height());
        window_.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window_));
        ASSERT_TRUE(QTest::qWaitFor([&] { return SumOfWidths() == Grid()->viewport()->width(); }, WaitMs));
        QCoreApplication::processEvents();
    }
    void SetHistory(int entries) {
        ZViewSettings settings;
        settings.HistoryEntries = entries;
        window_.SetViewSettings(settings);
    }
    int SumOfWidths() {
        int sum = 0;
        for (int c = 0; c < Tfrm_Log::ColumnCount; ++c) sum += Header()->sectionSize(c);
        return sum;
    }

    Tfrm_Log window_;
};

// ---- the window as built ----

TEST_F(CaptureWindowTest, StartsHiddenWithCaptionGridAndStatus) {
    EXPECT_FALSE(window_.isVisible());
    EXPECT_EQ(window_.objectName(), "frm_Log");
    EXPECT_EQ(window_.windowTitle(), "Live data view (Kestrun)");
    EXPECT_GE(window_.width(), 800);
    EXPECT_EQ(window_.height(), 600);
    EXPECT_EQ(Status()->text(), "Live data view in progress...");
    EXPECT_EQ(StatusColour(), FaceColour());

    QAbstractItemModel* model = Grid()->model();
    ASSERT_EQ(model->rowCount(), 0) << "rows come with the entries";
    ASSERT_EQ(model->columnCount(), 5);
    // Each column at least its layout width and wide enough for 32 bytes and the
    // longest description, so that such a row shows without "...".
    const QFontMetrics metrics(Grid()->font());
    const Bytes row(32, 0x4D);
    const struct {
        const char* Header;
        int LayoutWidth;
        QString Widest;
    } columns[] = {
        {"Timestamp", 112, "14:03:27"},
        {"Hex-Format", 445, QString::fromStdString(BytesToHex(row.data(), 32))},
        {"ASCII-Format", 115, QString::fromStdString(BytesToAscii(row.data(), 32))},
        {"Informational", 110, "Data (99999 bytes, checksum wrong)"},
    };
    for (int c = 0; c < 4; ++c) {
        EXPECT_EQ(model->headerData(c, Qt::Horizontal).toString(), columns[c].Header) << c;
        EXPECT_GE(Header()->sectionSize(c), columns[c].LayoutWidth) << c;
        EXPECT_GT(Header()->sectionSize(c), metrics.horizontalAdvance(columns[c].Widest) + 4) << c;
    }
    EXPECT_EQ(model->headerData(4, Qt::Horizontal).toString(), "");
    EXPECT_EQ(window_.ShownRows(), 0);
    window_.AddEntry(row.data(), 1, Stamp, bkData);
    ASSERT_TRUE(WaitRows(1));
    EXPECT_EQ(Grid()->rowHeight(0), 15);
    EXPECT_FALSE(Timer("tmr_OverflowSignal")->isActive());
}

// The HEX and ASCII columns line up only if every character is as wide as any other,
// and a row shows every glyph only if the font's line fits above its grid line.
TEST_F(CaptureWindowTest, GridFontIsFixedPitchAndFitsTheRow) {
    const QFontMetricsF metrics(Grid()->font());
    EXPECT_EQ(metrics.horizontalAdvance(QLatin1Char('i')), metrics.horizontalAdvance(QLatin1Char('W')));
    EXPECT_EQ(metrics.horizontalAdvance(QLatin1Char('0')), metrics.horizontalAdvance(QLatin1Char('W')));
    EXPECT_LE(QFontMetrics(Grid()->font()).height(), Grid()->verticalHeader()->defaultSectionSize() - 1)
        << "descenders clipped";
}

TEST(CaptureWindowFont, TheLargestSizeWhoseLineFitsTheRow) {
    for (const int rowHeight : {Tfrm_Log::RowHeight, 10, 13, 30}) {
        SCOPED_TRACE(rowHeight);
        QFont font = Tfrm_Log::GridFont(rowHeight);
        EXPECT_LE(QFontMetrics(font).height(), rowHeight - 1);
        const int size = font.pixelSize();
        EXPECT_LE(size, 11);
        if (size < 11) {
            font.setPixelSize(size + 1);
            EXPECT_GT(QFontMetrics(font).height(), rowHeight - 1) << "one pixel more would still fit";
        }
        EXPECT_EQ(font.styleHint(), QFont::Monospace);
    }
}

// ---- how cells are painted ----

// The cheap cell paint must draw every pixel as the standard delegate does: texts
// cut with the mark at any width, a single character wider than its cell, a
// selected row, a disabled view, both of Qt's own styles; texts it cannot set
// itself (outside Latin-1, combining marks) go to the standard paint.
TEST(CaptureWindowCells, CheapPaintDrawsWhatTheStandardDelegateDraws) {
    struct Text {
        QString text;
        bool cheap;  // painted without a text layout at every width
    };
    const Text texts[] = {
        {"7E A5 14 23 30 30 30 30 34 32 20 54 3D 32 31 2E 35 20 4F 4B 20 20 20 0D 0A", true},
        {"#000042 T=21.5 OK   ..", true},
        {"Data (24 bytes, checksum wrong)", true},
        {"ABCDEFGH      ", true},  // trailing spaces count for the cut
        {"W", true},
        {"", true},
        {QString::fromUtf8(
             "\xC3\x84\xC3\x96\xC3\x9C \xC3\xA4\xC3\xB6\xC3\xBC \xC3\x9F \xC2\xA9\xC2\xB0\xC2\xB5"),
         true},
        {QString(3000, 'F'), true},
        {QString::fromUtf8("\xE4\xB8\x8B\xE5\x8D\x88 2:03:27"), false},  // a time of day in another locale
        {QString::fromUtf8("e\xCC\x81tat"), false},                      // e + combining acute
        {QString::fromUtf8("A\tB"), false},
    };
    const int widths[] = {1, 3, 6, 8, 9, 10, 11, 13, 14, 16, 20, 27, 33, 47, 60, 200};
    const int columns = static_cast<int>(std::size(widths));
    const int rows = static_cast<int>(std::size(texts));
    QStandardItemModel model(rows, columns);
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < columns; ++c) model.setItem(r, c, new QStandardItem(texts[r].text));
    QTableView view;
    view.setModel(&model);
    view.setFont(Tfrm_Log::GridFont(Tfrm_Log::RowHeight));
    view.setWordWrap(false);
    view.setFocusPolicy(Qt::NoFocus);  // the focused cell goes to the standard paint
    view.verticalHeader()->hide();
    view.verticalHeader()->setMinimumSectionSize(1);
    view.verticalHeader()->setDefaultSectionSize(Tfrm_Log::RowHeight);
    view.horizontalHeader()->setMinimumSectionSize(0);
    view.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    view.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    int width = 0;
    for (int c = 0; c < columns; ++c) {
        view.horizontalHeader()->resizeSection(c, widths[c]);
        width += widths[c];
    }
    view.resize(width + 10, rows * Tfrm_Log::RowHeight + 40);
    view.selectionModel()->select(model.index(2, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    int cheapCells = 0;
    for (const Text& t : texts) cheapCells += t.cheap ? columns : 0;

    const struct {
        const char* style;
        bool enabled;
    } cases[] = {{"Fusion", true}, {"Windows", true}, {"Fusion", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.style) + (c.enabled ? "" : ", disabled"));
        std::unique_ptr<QStyle> style(QStyleFactory::create(QString::fromLatin1(c.style)));
        ASSERT_NE(style, nullptr);
        view.setStyle(style.get());
        view.setEnabled(c.enabled);
        const QImage expected = PaintedBy(view, new QStyledItemDelegate(&view));
        auto* cheap = new ZGridCellDelegate(&view);
        const QImage actual = PaintedBy(view, cheap);
        EXPECT_EQ(FirstDifference(expected, actual, Tfrm_Log::RowHeight), "");
        EXPECT_EQ(cheap->CellsPaintedCheaply(), cheapCells) << "the cheap paint was used where it can be";
        view.setStyle(nullptr);
    }
}

// A style whose grid lines are half transparent and drawn along the top and left
// edges when a header is hidden: what the grid view must follow besides the usual.
class EdgeLineStyle : public QProxyStyle {
public:
    EdgeLineStyle() : QProxyStyle(QStyleFactory::create(QStringLiteral("Fusion"))) {}
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* data) const override {
        if (hint == SH_Table_AlwaysDrawLeftTopGridLines) return 1;
        if (hint == SH_Table_GridLineColor) return static_cast<int>(qRgba(200, 30, 30, 128));
        return QProxyStyle::styleHint(hint, option, widget, data);
    }
};

// The grid view's lines are QTableView's, pixel for pixel, wherever they fall.
TEST(GridViewTest, DrawsTheLinesOfAStandardTableView) {
    QStandardItemModel model(12, 5);
    for (int r = 0; r < model.rowCount(); ++r)
        for (int c = 0; c < model.columnCount(); ++c)
            model.setItem(r, c, new QStandardItem(QString::number(r * 10 + c)));
    EdgeLineStyle edgeStyle;
    std::unique_ptr<QStyle> windows(QStyleFactory::create(QStringLiteral("Windows")));
    const struct {
        const char* name;
        QStyle* style;  // null: the application's
        bool rightToLeft, headersHidden, hideRowAndColumn;
        int scrolledPixels, width, height;
        std::vector<QRect> region;  // empty: the whole viewport
    } cases[] = {
        {"plain", nullptr, false, false, false, 0, 300, 160, {}},
        {"scrolled by part of a row", nullptr, false, false, false, 7, 300, 160, {}},
        {"rows end above the bottom, columns left of the edge",
         nullptr,
         false,
         false,
         false,
         0,
         500,
         300,
         {}},
        {"a hidden row, a hidden and a zero-width column", nullptr, false, false, true, 0, 300, 160, {}},
        {"right to left", nullptr, true, false, true, 7, 500, 300, {}},
        {"windows style", windows.get(), false, false, false, 0, 300, 160, {}},
        {"edges when headers are hidden, half transparent", &edgeStyle, false, true, false, 0, 500, 160, {}},
        {"the same, right to left", &edgeStyle, true, true, false, 7, 500, 300, {}},
        {"two parts repainted",
         nullptr,
         false,
         false,
         false,
         7,
         300,
         160,
         {QRect(10, 20, 90, 33), QRect(150, 70, 60, 80)}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QTableView standard;
        ZGridView drawn;
        QImage pictures[2];
        QTableView* views[] = {&standard, &drawn};
        for (int v = 0; v < 2; ++v) {
            QTableView& view = *views[v];
            view.setModel(&model);
            view.setFocusPolicy(Qt::NoFocus);  // whichever is shown first would show a focused cell
            if (c.style) view.setStyle(c.style);
            view.setLayoutDirection(c.rightToLeft ? Qt::RightToLeft : Qt::LeftToRight);
            view.setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
            view.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
            view.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
            view.verticalHeader()->setVisible(!c.headersHidden);
            view.horizontalHeader()->setVisible(!c.headersHidden);
            view.verticalHeader()->setDefaultSectionSize(Tfrm_Log::RowHeight);
            view.horizontalHeader()->setMinimumSectionSize(0);
            for (int column = 0; column < model.columnCount(); ++column)
                view.horizontalHeader()->resizeSection(column, 40 + 7 * column);
            if (c.hideRowAndColumn) {
                view.setRowHidden(3, true);
                view.setColumnHidden(1, true);
                view.horizontalHeader()->resizeSection(3, 0);
            }
            view.resize(c.width, c.height);
            view.show();
            ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
            view.verticalScrollBar()->setValue(view.verticalScrollBar()->maximum() - c.scrolledPixels);
            QCoreApplication::processEvents();
            QImage& picture = pictures[v];
            picture = QImage(view.viewport()->size(), QImage::Format_ARGB32_Premultiplied);
            picture.fill(Qt::white);
            QRegion region;
            for (const QRect& part : c.region) region += part;
            view.viewport()->render(&picture, QPoint(),
                                    c.region.empty() ? QRegion(view.viewport()->rect()) : region);
        }
        EXPECT_EQ(FirstDifference(pictures[0], pictures[1], Tfrm_Log::RowHeight), "");
    }
}

// The capture window's own grid (its font, colours, row height and texts, a long
// block among them) looks as it did with the standard delegate.
TEST_F(CaptureWindowTest, TheGridLooksAsWithTheStandardDelegate) {
    Button("tb_StopTrigger")->click();
    Button("tb_Trash")->click();
    const Bytes trigger = {0x7E, 0xA5, 0x14};
    Bytes block(16384);
    for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<uint8_t>(i * 37);
    const std::string text = "#000042 T=21.5 OK   \r\n";
    const Bytes frame(text.begin(), text.end());
    const struct {
        uint8_t kind;
        const Bytes* bytes;
    } entries[] = {{bkStartTrigger, &trigger}, {bkData, &frame},  {bkStopTrigger, &trigger},
                   {bkData, &block},           {bkTrash, &frame}, {bkFlush, &trigger}};
    for (const auto& e : entries) ASSERT_TRUE(Add(e.kind, *e.bytes));
    ShowSettled();
    ASSERT_TRUE(WaitRows(static_cast<int>(std::size(entries))));
    Grid()->selectRow(1);
    QCoreApplication::processEvents();

    auto* cheap = dynamic_cast<ZGridCellDelegate*>(Grid()->itemDelegate());
    ASSERT_NE(cheap, nullptr);
    const QImage actual = Grid()->viewport()->grab().toImage();
    EXPECT_GE(cheap->CellsPaintedCheaply(), static_cast<qint64>(std::size(entries)) * 4);
    const QImage expected = PaintedBy(*Grid(), new QStyledItemDelegate(Grid()));
    EXPECT_EQ(FirstDifference(expected, actual, Tfrm_Log::RowHeight), "");
}

TEST_F(CaptureWindowTest, ToolbarButtonsInOrderWithHintsImagesAndInitialStates) {
    struct Row {
        const char* name;
        const char* hint;
        bool down;
    };
    const Row rows[] = {
        {"tb_LiveView", "Start/Stop data live view", true},
        {"tb_ShowTimeStamps", "Show or hide timestamps", true},
        {"tb_ShowHEXData", "Show HEX data or not", true},
        {"tb_ShowASCIIData", "Show ASCII data or not", true},
        {"tb_Informational", "Show data information or not", true},
        {"tb_Milliseconds", "Show milliseconds in the timestamps or not", false},
        {"tb_Trash", "Show trash data or not \u2014 filters the live view", false},
        {"tb_StartTrigger", "Show start trigger data or not \u2014 filters the live view", true},
        {"tb_Data", "Show data bytes or not \u2014 filters the live view", true},
        {"tb_StopTrigger", "Show stop trigger data or not \u2014 filters the live view", false},
    };
    int lastX = -1;
    window_.show();
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        QToolButton* button = Button(row.name);
        ASSERT_NE(button, nullptr);
        EXPECT_TRUE(button->isCheckable());
        EXPECT_EQ(button->isChecked(), row.down);
        EXPECT_EQ(button->toolTip(), QString::fromUtf8(row.hint));
        EXPECT_FALSE(button->accessibleName().isEmpty());
        if (*row.hint != '\0') {
            EXPECT_EQ(button->accessibleName(), QString::fromUtf8(row.hint));
        }
        EXPECT_NE(button->focusPolicy() & Qt::TabFocus, 0);
        const QPixmap image = button->icon().pixmap(16, 16);
        EXPECT_EQ(image.size(), QSize(16, 16));
        EXPECT_FALSE(image.toImage().allGray()) << "an image with some colour";
        EXPECT_GT(button->x(), lastX) << "left to right";
        lastX = button->x();
    }
}

TEST_F(CaptureWindowTest, TabVisitsTheButtonsLeftToRightThenTheGridAndSpaceToggles) {
    window_.show();
    window_.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window_));
    Button("tb_LiveView")->setFocus();
    const char* order[] = {"tb_LiveView",      "tb_ShowTimeStamps", "tb_ShowHEXData", "tb_ShowASCIIData",
                           "tb_Informational", "tb_Milliseconds",   "tb_Trash",       "tb_StartTrigger",
                           "tb_Data",          "tb_StopTrigger",    "tb_Sent",        "Grid",
                           "tb_LiveView"};
    for (const char* name : order) {
        ASSERT_NE(QApplication::focusWidget(), nullptr);
        EXPECT_EQ(QApplication::focusWidget()->objectName(), name);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    Button("tb_ShowHEXData")->setFocus();
    QTest::keyClick(Button("tb_ShowHEXData"), Qt::Key_Space);
    EXPECT_FALSE(Button("tb_ShowHEXData")->isChecked());
    EXPECT_EQ(Header()->sectionSize(1), 0) << "the click handler ran";
}

// ---- which entries are taken ----

TEST_F(CaptureWindowTest, AddEntryFiltersByKindButtonsAndPause) {
    struct Case {
        const char* pressed;  // button clicked before the entries are offered, or null
        bool accepted[6];     // kinds 0..5: start trigger, data, stop trigger, trash, flush, sent
    };
    const Case cases[] = {
        {nullptr, {true, true, false, false, true, true}},  // the defaults
        {"tb_Trash", {true, true, false, true, true, true}},
        {"tb_StopTrigger", {true, true, true, true, true, true}},
        {"tb_StartTrigger", {false, true, true, true, true, true}},
        {"tb_Data", {false, false, true, true, true, true}},
        {"tb_Sent", {false, false, true, true, true, false}},
        {"tb_LiveView", {false, false, false, false, false, false}},  // paused drops flush blocks too
    };
    for (const Case& c : cases) {
        if (c.pressed != nullptr) Button(c.pressed)->click();
        for (uint8_t kind = 0; kind < 6; ++kind)
            EXPECT_EQ(Add(kind), c.accepted[kind])
                << (c.pressed ? c.pressed : "defaults") << " kind " << +kind;
    }
}

TEST_F(CaptureWindowTest, AddEntryRefusesWhatNoBlockCanBe) {
    const uint8_t byte = 0x41;
    EXPECT_FALSE(window_.AddEntry(&byte, 1, Stamp, 6));
    EXPECT_FALSE(window_.AddEntry(&byte, -1, Stamp, bkData));
    EXPECT_FALSE(window_.AddEntry(nullptr, 3, Stamp, bkData));
    EXPECT_TRUE(window_.AddEntry(nullptr, 0, Stamp, bkData));
    EXPECT_TRUE(WaitRows(1));
    EXPECT_EQ(Cell(1, 3), "Data (0 bytes)");
}

// ---- what a row shows ----

TEST_F(CaptureWindowTest, RowTextsByKindAndBytes) {
    struct Case {
        uint8_t kind;
        Bytes bytes;
        const char* hex;
        const char* ascii;
        const char* info;
    };
    const Case cases[] = {
        {bkStartTrigger, {0xAA, 0x55}, "AA 55", ".U", "Start trigger"},
        {bkData, {0x41}, "41", "A", "Data (1 bytes)"},
        {bkData, {0x0D, 0xE4, 0x7E, 0x20, 0x00}, "0D E4 7E 20 00", "..~ .", "Data (5 bytes)"},
        {bkStopTrigger, {0x0D, 0x0A}, "0D 0A", "..", "Stop trigger"},
        {bkTrash, {0x01, 0x02, 0x03}, "01 02 03", "...", "Trash (3 bytes)"},
        {bkFlush, {0x7F, 0x80}, "7F 80", "..", "Flushed (2 bytes)"},
        {bkData, {}, "", "", "Data (0 bytes)"},
        {bkTrash, {}, "", "", "Trash (0 bytes)"},
        {bkFlush, {}, "", "", "Flushed (0 bytes)"},
        {bkSent, {0x11, 0x03, 0x08}, "11 03 08", "...", "Sent: 3 bytes"},
    };
    Button("tb_Trash")->click();
    Button("tb_StopTrigger")->click();
    int row = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.info);
        ASSERT_TRUE(Add(c.kind, c.bytes));
        ASSERT_TRUE(WaitRows(++row));
        const QString time = Cell(row, 0);
        EXPECT_TRUE(time.contains("03") && time.contains("27")) << time.toStdString();
        EXPECT_FALSE(time.contains("2024")) << "time of day only";
        EXPECT_EQ(Cell(row, 1), c.hex);
        EXPECT_EQ(Cell(row, 2), c.ascii);
        EXPECT_EQ(Cell(row, 3), c.info);
        EXPECT_EQ(Cell(row, 4), "") << "the filler column stays empty";
    }
}

TEST_F(CaptureWindowTest, TheInformationalTextSaysWhenAFrameHasAWrongChecksumAndTheRowIsRed) {
    const Bytes bytes(21, 0x30);
    const ZFieldValues values = DecodedValues(bytes, 0);
    const ZFieldValues none = DecodedValues(bytes, 30);
    const struct {
        uint8_t kind;
        TFrameVerdict verdict;
        const char* info;
        bool red;
        const ZFieldValues* values = nullptr;
    } cases[] = {
        {bkData, fvBad, "Data (21 bytes, checksum wrong)", true},
        {bkData, fvGood, "Data (21 bytes)", false},
        {bkStartTrigger, fvBad, "Start trigger (checksum wrong)", true},
        {bkStartTrigger, fvNone, "Start trigger", false},
        {bkData, fvGood, "Data (21 bytes) \u00B7 temperature 31.5 \u00B0C, count 48", false, &values},
        {bkData, fvGood, "Data (21 bytes)", false, &none},  // no field present
    };
    int row = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.info);
        sBlock block{Stamp, bytes.data(), 21, c.kind, c.verdict};
        block.Values = c.values;
        ASSERT_TRUE(window_.AddBlock(block));
        ASSERT_TRUE(WaitRows(++row));
        EXPECT_EQ(Cell(row, 3), c.info);
        // Values that run past the column's edge are read whole in the tooltip.
        const bool withValues = c.values != nullptr && c.values->PresentCount() > 0;
        EXPECT_EQ(Grid()->model()->index(row - 1, 3).data(Qt::ToolTipRole).toString(),
                  withValues ? c.info : "");
        for (int column = 0; column < 4; ++column)
            EXPECT_EQ(Grid()->model()->index(row - 1, column).data(Qt::ForegroundRole),
                      c.red ? QVariant(QColor(200, 0, 0)) : QVariant())
                << column;
    }
}

TEST_F(CaptureWindowTest, HiddenColumnsStillGetTheirTexts) {
    Button("tb_ShowHEXData")->click();
    Button("tb_ShowTimeStamps")->click();
    ASSERT_TRUE(Add(bkData, {0x31, 0x32}));
    ASSERT_TRUE(WaitRows(1));
    EXPECT_EQ(Cell(1, 1), "31 32");
    EXPECT_FALSE(Cell(1, 0).isEmpty());
}

// ---- 80 rows, then scrolling ----

TEST_F(CaptureWindowTest, TheEightyFirstEntryScrollsEveryRowUpInAHistoryOfEighty) {
    SetHistory(80);
    // Batches of 40 never fill the pump, so nothing is dropped.
    for (int n = 1; n <= 80; ++n) {
        std::string text = "#";
        text += std::to_string(n);
        ASSERT_TRUE(window_.AddEntry(reinterpret_cast<const uint8_t*>(text.data()),
                                     static_cast<int>(text.size()), Stamp, bkData));
        if (n % 40 == 0) {
            ASSERT_TRUE(WaitRows(n));
        }
    }
    for (int row = 1; row <= 80; ++row) ASSERT_EQ(Cell(row, 2), QString("#%1").arg(row)) << "top down";

    AddNumbered(81, 80);
    EXPECT_EQ(window_.ShownRows(), 80);
    EXPECT_EQ(Cell(1, 2), "#2") << "row 1 holds the second entry";
    EXPECT_EQ(Cell(79, 2), "#80");
    EXPECT_EQ(Cell(80, 2), "#81");
    EXPECT_EQ(Cell(80, 3), "Data (3 bytes)");

    AddNumbered(82, 80);
    EXPECT_EQ(Cell(1, 2), "#3");
    EXPECT_EQ(Cell(80, 2), "#82");
}

// ---- one grid update per batch of arrivals ----

TEST_F(CaptureWindowTest, ArrivalsWaitForOneUpdateThatShowsTheNewestEighty) {
    SetHistory(80);
    QTimer* repaint = Timer("tmr_Repaint");
    repaint->setInterval(24 * 3600 * 1000);  // the test ticks it
    QSignalSpy updates(Grid()->model(), &QAbstractItemModel::dataChanged);
    int posted = 0;
    // Steps of 40 never fill the pump, so nothing is dropped.
    auto arrive = [&](int count) {
        for (int i = 0; i < count; ++i) {
            std::string text = "#";
            text += std::to_string(++posted);
            ASSERT_TRUE(window_.AddEntry(reinterpret_cast<const uint8_t*>(text.data()),
                                         static_cast<int>(text.size()), Stamp, bkData));
        }
        ASSERT_TRUE(QTest::qWaitFor([&] { return !window_.EntriesPending(); }, WaitMs));
    };
    struct Step {
        int arrivals;  // in steps of at most 40
        int shownRows;
        int firstRow;  // the number in row 1 after the update
    };
    const Step steps[] = {{30, 30, 1}, {120, 80, 71}, {70, 80, 141}, {1, 80, 142}};
    for (const Step& step : steps) {
        SCOPED_TRACE(step.arrivals);
        for (int left = step.arrivals; left > 0; left -= 40) arrive(std::min(left, 40));
        EXPECT_TRUE(repaint->isActive());
        EXPECT_EQ(updates.count(), 0) << "nothing repainted before the update";
        window_.tmr_RepaintTimer();
        EXPECT_EQ(updates.count(), 1) << "one update for all arrivals";
        updates.clear();
        ASSERT_EQ(window_.ShownRows(), step.shownRows);
        for (int row = 1; row <= step.shownRows; ++row)
            ASSERT_EQ(Cell(row, 2), QString("#%1").arg(step.firstRow + row - 1)) << row;
    }
}

// ---- following the newest row ----

TEST_F(CaptureWindowTest, TheGridFollowsTheNewestRowUntilTheUserScrollsAway) {
    SetHistory(100);
    ShowSettled();
    QScrollBar* bar = Grid()->verticalScrollBar();
    const auto newestInView = [&] {
        const QRect row = Grid()->visualRect(Grid()->model()->index(window_.ShownRows() - 1, 0));
        return Grid()->viewport()->rect().contains(row);
    };
    // Once the history of 100 has let rows go, the status line says how many it keeps.
    const auto following = [](int added) {
        return added <= 100 ? QString("Live data view in progress...")
                            : QString(
                                  "Live data view in progress... (the view keeps the last 100 rows: "
                                  "HistoryEntries in [_view] of the settings file sets how many)");
    };
    const QString stopped = QString::fromUtf8("Following stopped \u2014 End to follow");
    enum Scroll { None, Middle, Up, Bottom, End };
    struct Step {
        Scroll scroll;  // what the user does before the entries arrive
        int entries;
        bool following;
        bool newestInView;
        int topEntry;  // the number of the entry in the top row, 0: not checked
    };
    const Step steps[] = {
        {None, 90, true, true, 0},      // rows beyond the first screenful come into view
        {Middle, 5, false, false, 41},  // scrolled up: the view stays where the user put it
        {None, 30, false, false, 41},   // full: the rows under the user stay in place
        {Bottom, 1, true, true, 0},     // back at the bottom: following again
        {Up, 3, false, false, 0},       // one row up is enough
        {End, 3, true, true, 0},        // End in the grid follows again
    };
    int n = 0;
    for (const Step& step : steps) {
        SCOPED_TRACE(n);
        if (step.scroll == Middle) bar->setValue(40);
        if (step.scroll == Up) bar->setValue(bar->value() - 1);
        if (step.scroll == Bottom) bar->setValue(bar->maximum());
        if (step.scroll == End) QTest::keyClick(Grid(), Qt::Key_End);
        EXPECT_EQ(Status()->text(), step.following ? following(n) : stopped);
        AddRun(n + 1, n + step.entries);
        n += step.entries;
        EXPECT_EQ(window_.FollowsNewestRow(), step.following);
        EXPECT_EQ(Status()->text(), step.following ? following(n) : stopped);
        EXPECT_EQ(newestInView(), step.newestInView);
        if (step.topEntry != 0) {
            EXPECT_EQ(Grid()->model()->index(Grid()->rowAt(0), 2).data().toString(),
                      QString("#%1").arg(step.topEntry));
        }
    }
}

TEST_F(CaptureWindowTest, AThousandEntriesScrollBackToTheFirst) {
    ShowSettled();
    AddRun(1, 1000);
    EXPECT_EQ(window_.ShownRows(), 1000);
    Grid()->verticalScrollBar()->setValue(0);
    EXPECT_EQ(Grid()->model()->index(Grid()->rowAt(0), 2).data().toString(), "#1");
    EXPECT_FALSE(window_.FollowsNewestRow());
}

// ---- find ----

TEST_F(CaptureWindowTest, CtrlFFindsHexWithWildcardsOrTextAndSelectsTheEntry) {
    ShowSettled();
    window_.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window_));
    AddRun(1, 300);  // "#1" .. "#300": 23 31 .. 23 33 30 30
    QTest::keyClick(&window_, Qt::Key_F, Qt::ControlModifier);
    auto* find = window_.findChild<QLineEdit*>("ed_Find");
    ASSERT_NE(find, nullptr);
    ASSERT_TRUE(find->isVisible());
    ASSERT_TRUE(find->hasFocus());
    auto* result = window_.findChild<QLabel*>("lbl_FindResult");
    const struct {
        const char* Radio;
        const char* Text;
        Qt::KeyboardModifiers Keys;  // Shift: towards the newer entries
        const char* Selected;        // the selected entry's ASCII text, "" none
        const char* Result;
    } steps[] = {
        {"rb_FindHex", "23 31 ?? 37", {}, "#197", "Found entry 197 of 300"},  // newest first
        {"rb_FindHex", "23 31 ?? 37", {}, "#187", "Found entry 187 of 300"},  // then older
        {"rb_FindHex", "23 31 ?? 37", Qt::ShiftModifier, "#197", "Found entry 197 of 300"},
        {"rb_FindText", "#12", {}, "#129", "Found entry 129 of 300"},
        {"rb_FindText", "#30", {}, "#30", "Found entry 30 of 300"},
        {"rb_FindText", "#30", {}, "#30", "Not found"},  // selection kept
        {"rb_FindHex", "23 3G", {}, "#30", "Not a HEX sequence: pairs of hex digits or ??"},
        {"rb_FindHex", "", {}, "#30", "Not a HEX sequence: pairs of hex digits or ??"},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.Text);
        window_.findChild<QRadioButton*>(step.Radio)->setChecked(true);
        find->setText(QString::fromLatin1(step.Text));
        QTest::keyClick(find, Qt::Key_Return, step.Keys);
        EXPECT_EQ(result->text(), step.Result);
        const int row = window_.SelectedRow();
        ASSERT_GE(row, 0);
        const QString selected = Grid()->model()->index(row, 2).data().toString();
        EXPECT_EQ(selected, step.Selected);
        EXPECT_TRUE(Grid()->viewport()->rect().intersects(Grid()->visualRect(Grid()->model()->index(row, 0))))
            << "scrolled into view";
    }
    EXPECT_FALSE(window_.FollowsNewestRow());
    QTest::keyClick(find, Qt::Key_Escape);
    EXPECT_FALSE(find->isVisible());
}

// A text is found in whichever column shows it, whatever the case; bytes the ASCII
// column shows as dots are found as well.
TEST_F(CaptureWindowTest, TheFindBarLooksForATextInEveryColumn) {
    const Bytes good = {'A', 'B'}, bad = {0x01, 0x7F}, trigger = {0x7E, 0xA5};
    ASSERT_TRUE(window_.AddBlock(sBlock{Stamp, trigger.data(), 2, bkStartTrigger}));
    ASSERT_TRUE(window_.AddBlock(sBlock{Stamp, bad.data(), 2, bkData, fvBad}));
    const ZFieldValues values = DecodedValues(good, 0);
    sBlock withValues{Stamp, good.data(), 2, bkData, fvGood};
    withValues.Values = &values;
    ASSERT_TRUE(window_.AddBlock(withValues));
    ASSERT_TRUE(WaitRows(3));
    const struct {
        const char* Text;
        int Found;  // the row, counted from 1; 0: none
    } steps[] = {
        {"checksum", 2},        // the informational text
        {"CHECKSUM WRONG", 2},  // whatever the case
        {"7E A5", 1},           // the HEX column as it reads
        {"ab", 3},              // the ASCII column
        {"14:03:27", 3},        // the time: the newest first
        {"start TRIGGER", 1},
        {"TEMPERATURE 40", 3},  // a field's value
        {"sent", 0},
        {"checksum right", 0},
    };
    auto* radio = window_.findChild<QRadioButton*>("rb_FindText");
    radio->setChecked(true);
    for (const auto& step : steps) {
        SCOPED_TRACE(step.Text);
        Grid()->selectionModel()->clear();
        EXPECT_EQ(window_.FindEntry(QString::fromLatin1(step.Text), false, false), step.Found != 0);
        EXPECT_EQ(window_.SelectedRow(), step.Found - 1);
    }
    // The bytes themselves, those shown as dots included.
    Grid()->selectionModel()->clear();
    EXPECT_TRUE(window_.FindEntry(QString(QChar(0x7F)), false, false));
    EXPECT_EQ(window_.SelectedRow(), 1);
}

// ---- the time column, the view settings, the capture's end ----

TEST_F(CaptureWindowTest, TheTimeColumnShowsTheChosenFractionAndTheSettingsFollow) {
    const TDateTime stamp = Stamp + 0.123456 / 86400.0;
    const uint8_t byte = 0x41;
    ASSERT_TRUE(window_.AddEntry(&byte, 1, stamp, bkData));
    ASSERT_TRUE(WaitRows(1));
    QToolButton* ms = Button("tb_Milliseconds");
    const struct {
        const char* Action;  // "click" the toolbar button, or set the digits
        int Digits;
        QString Time;
        bool ShowMilliseconds;  // what the settings then hold
    } steps[] = {
        {"", 0, "14:03:27", false},          {"click", 3, "14:03:27.123", true},
        {"click", 0, "14:03:27", false},     {"digits", 6, "14:03:27.123456", true},
        {"digits", 3, "14:03:27.123", true}, {"digits", 0, "14:03:27", false},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.Action);
        if (std::string(step.Action) == "click") ms->click();
        if (std::string(step.Action) == "digits") window_.SetTimeFractionDigits(step.Digits);
        EXPECT_EQ(window_.TimeFractionDigits(), step.Digits);
        EXPECT_EQ(Cell(1, 0), step.Time);
        EXPECT_EQ(ms->isChecked(), step.Digits != 0);
        EXPECT_EQ(window_.ViewSettings().ShowMilliseconds, step.ShowMilliseconds);
        EXPECT_GT(Header()->sectionSize(0), QFontMetrics(Grid()->font()).horizontalAdvance(step.Time));
    }
    ZViewSettings settings;
    settings.ShowMilliseconds = true;
    settings.HistoryEntries = 5;
    window_.SetViewSettings(settings);
    EXPECT_TRUE(ms->isChecked());
    EXPECT_EQ(Cell(1, 0), "14:03:27.123");
    EXPECT_EQ(window_.ViewSettings().HistoryEntries, 80) << "at least 80";
}

// The capture's state, the pause and a full history that lets its oldest rows go.
TEST_F(CaptureWindowTest, TheStatusBarSaysWhenTheCaptureStoppedAndWhatTheHistoryKeeps) {
    const char* const full =
        "Live data view in progress... (the view keeps the last 80 rows: HistoryEntries in [_view] of the "
        "settings file sets how many)";
    SetHistory(100);
    const struct {
        bool Running;
        bool Paused;
        int Added;     // entries added first, one more than the history holds: it lets one go
        int Capacity;  // the history's size first; 0: unchanged
        const char* Text;
    } steps[] = {
        {true, false, 0, 0, "Live data view in progress..."},
        {false, false, 0, 0, "Capture stopped"},
        {false, true, 0, 0, "Live data view paused!"},
        {false, false, 0, 0, "Capture stopped"},
        {true, false, 90, 0, "Live data view in progress..."},
        {true, false, 0, 80, full},  // a smaller history lets the oldest go at once
        {true, true, 0, 0, "Live data view paused!"},
        {true, false, 0, 0, full},
        {false, false, 0, 0, "Capture stopped"},
        {true, false, 0, 0, "Live data view in progress..."},  // a new capture
        {true, false, 1, 0, full},
    };
    int added = 0;
    for (const auto& step : steps) {
        SCOPED_TRACE(step.Text);
        window_.CaptureStateChanged(step.Running);
        if (Button("tb_LiveView")->isChecked() == step.Paused) Button("tb_LiveView")->click();
        if (step.Capacity != 0) SetHistory(step.Capacity);
        if (step.Added > 0) AddRun(added + 1, added + step.Added);
        added += step.Added;
        EXPECT_EQ(Status()->text(), step.Text) << step.Running << step.Paused;
    }
}

// ---- pause ----

TEST_F(CaptureWindowTest, PauseDropsQueuedEntriesAndKeepsShownOnes) {
    ASSERT_TRUE(Add(bkData, {0x31}));
    ASSERT_TRUE(WaitRows(1));

    // The window thread handles no events here, so these stay queued (or wait for it).
    for (int i = 0; i < 10; ++i) ASSERT_TRUE(Add(bkData, {0x32}));
    Button("tb_LiveView")->click();
    EXPECT_EQ(Status()->text(), "Live data view paused!");
    EXPECT_FALSE(Add(bkFlush, {0x33}));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window_.EntriesPending(); }, WaitMs));
    EXPECT_EQ(window_.ShownRows(), 1);
    EXPECT_EQ(Cell(1, 2), "1") << "entries already shown stay";

    Button("tb_LiveView")->click();
    EXPECT_EQ(Status()->text(), "Live data view in progress...");
    ASSERT_TRUE(Add(bkData, {0x34}));
    ASSERT_TRUE(WaitRows(2));
    EXPECT_EQ(Cell(2, 2), "4");
}

// ---- columns ----

TEST_F(CaptureWindowTest, HidingAndShowingColumnsRestoresWidthsAndTheFillerReachesTheEdge) {
    ShowSettled();
    const int gridWidth = Grid()->viewport()->width();
    ASSERT_GT(gridWidth, 0);
    EXPECT_EQ(SumOfWidths(), gridWidth) << "fitted when shown";

    struct Case {
        const char* button;
        int column;
    };
    const Case cases[] = {
        {"tb_ShowTimeStamps", 0}, {"tb_ShowHEXData", 1}, {"tb_ShowASCIIData", 2}, {"tb_Informational", 3}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.button);
        Header()->resizeSection(c.column, 90 + c.column);  // as if dragged
        Button(c.button)->click();
        EXPECT_FALSE(Button(c.button)->isChecked());
        EXPECT_EQ(Header()->sectionSize(c.column), 0);
        EXPECT_EQ(SumOfWidths(), gridWidth);
        Button(c.button)->click();
        EXPECT_EQ(Header()->sectionSize(c.column), 90 + c.column);
        EXPECT_EQ(SumOfWidths(), gridWidth);
    }

    // Two columns hidden at once come back with their own widths.
    Button("tb_ShowHEXData")->click();
    Button("tb_ShowASCIIData")->click();
    Button("tb_ShowHEXData")->click();
    Button("tb_ShowASCIIData")->click();
    EXPECT_EQ(Header()->sectionSize(1), 91);
    EXPECT_EQ(Header()->sectionSize(2), 92);
}

TEST_F(CaptureWindowTest, FillerFollowsResizeAndMouseRelease) {
    ShowSettled();
    window_.resize(1600, 500);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return Grid()->viewport()->width() > 1500 && SumOfWidths() == Grid()->viewport()->width(); },
        WaitMs));

    Header()->resizeSection(1, 200);  // a drag narrows a column ...
    EXPECT_NE(SumOfWidths(), Grid()->viewport()->width());
    QTest::mouseRelease(Header()->viewport(), Qt::LeftButton, {}, QPoint(200, 5));  // ... and is let go
    EXPECT_TRUE(Timer("tmr_Resize")->isActive());
    window_.tmr_ResizeTimer();
    EXPECT_FALSE(Timer("tmr_Resize")->isActive()) << "one tick only";
    EXPECT_EQ(SumOfWidths(), Grid()->viewport()->width());

    QTest::mouseRelease(Grid()->viewport(), Qt::LeftButton, {}, QPoint(20, 20));
    EXPECT_TRUE(Timer("tmr_Resize")->isActive());

    Header()->resizeSection(1, 9000);  // wider than the grid: no room left for the filler
    window_.tmr_ResizeTimer();
    EXPECT_EQ(Header()->sectionSize(4), 0);
}

// ---- the overflow signal ----

class CaptureWindowOverflowTest : public CaptureWindowTest {
protected:
    // Offers entries from another thread, as the capture engine does, until one is
    // refused. The window thread handles no events meanwhile, so the pump can take
    // out at most one batch of 80, which then waits for the window thread, and the
    // 161st post at the latest is refused.
    void Overflow() {
        int refused = 0;
        std::thread producer([&] {
            const uint8_t byte = 0x41;
            for (int i = 0; i < 200; ++i)
                if (!window_.AddEntry(&byte, 1, Stamp, bkData)) ++refused;
        });
        producer.join();
        ASSERT_GT(refused, 0);
    }
};

TEST_F(CaptureWindowOverflowTest, BlinksRedTenTicksThenLatchesYellow) {
    QTimer* timer = Timer("tmr_OverflowSignal");
    Overflow();
    EXPECT_FALSE(timer->isActive()) << "starts at the window thread's next pass of its event loop";
    EXPECT_EQ(Status()->text(), "Live data view in progress...");
    QCoreApplication::processEvents();
    ASSERT_TRUE(timer->isActive());
    EXPECT_EQ(window_.OverflowCountdown(), 10);

    for (int tick = 1; tick <= 10; ++tick) {
        SCOPED_TRACE(tick);
        window_.tmr_OverflowSignalTimer();
        EXPECT_EQ(StatusColour(), tick % 2 == 1 ? QColor(Qt::red) : FaceColour())
            << "the first tick shows red";
        EXPECT_EQ(Status()->text(), "Live view buffer overflow!");
        EXPECT_EQ(window_.OverflowCountdown(), 10 - tick);
        EXPECT_TRUE(timer->isActive());
    }
    window_.tmr_OverflowSignalTimer();
    EXPECT_EQ(StatusColour(), QColor(Qt::yellow));
    EXPECT_EQ(Status()->text(), "Live data view in progress... (buffer overflow occured)");
    EXPECT_FALSE(timer->isActive());

    // Entries go on while latched; pausing returns the signal to rest.
    Button("tb_LiveView")->click();
    EXPECT_EQ(StatusColour(), FaceColour());
    EXPECT_EQ(Status()->text(), "Live data view paused!");
}

TEST_F(CaptureWindowOverflowTest, ANewOverflowSetsTheCountdownBack) {
    Overflow();
    QCoreApplication::processEvents();
    for (int tick = 0; tick < 4; ++tick) window_.tmr_OverflowSignalTimer();
    EXPECT_EQ(window_.OverflowCountdown(), 6);

    // Let the pump drain to its resume mark, then overflow it again.
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window_.EntriesPending(); }, WaitMs));
    Overflow();
    QCoreApplication::processEvents();
    EXPECT_EQ(window_.OverflowCountdown(), 10);
    EXPECT_TRUE(Timer("tmr_OverflowSignal")->isActive());
}

// A steady overflow refuses entries faster than the timer ticks: a refusal that put
// the next tick off again would keep the signal from ever blinking. The interval is
// an hour, so the remaining time shows a restart without depending on the machine's pace.
TEST_F(CaptureWindowOverflowTest, ARefusalWhileTheSignalRunsDoesNotPutItsTickOff) {
    constexpr int HourMs = 3600 * 1000;
    QTimer* timer = Timer("tmr_OverflowSignal");
    timer->setInterval(HourMs);
    Overflow();
    QCoreApplication::processEvents();
    ASSERT_TRUE(timer->isActive());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window_.EntriesPending(); }, WaitMs));
    ASSERT_TRUE(QTest::qWaitFor([&] { return timer->remainingTime() < HourMs - 1000; }, WaitMs));
    Overflow();
    QCoreApplication::processEvents();
    EXPECT_EQ(window_.OverflowCountdown(), 10);
    EXPECT_LT(timer->remainingTime(), HourMs - 1000) << "the refusal restarted the timer";
}

TEST_F(CaptureWindowOverflowTest, PausingStopsTheSignalAndALateRequestDoesNotRestartIt) {
    Overflow();
    QCoreApplication::processEvents();
    window_.tmr_OverflowSignalTimer();
    EXPECT_EQ(StatusColour(), QColor(Qt::red));
    Button("tb_LiveView")->click();
    EXPECT_FALSE(Timer("tmr_OverflowSignal")->isActive());
    EXPECT_EQ(StatusColour(), FaceColour());

    // A refusal whose request is still queued when the view is paused.
    Button("tb_LiveView")->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window_.EntriesPending(); }, WaitMs));
    Overflow();
    Button("tb_LiveView")->click();
    QCoreApplication::processEvents();
    EXPECT_FALSE(Timer("tmr_OverflowSignal")->isActive());
    EXPECT_EQ(Status()->text(), "Live data view paused!");
}

// ---- place on the screen ----

TEST(CaptureWindowPlace, CentredOnTheMainWindowButInsideTheWorkArea) {
    const QRect work = QGuiApplication::primaryScreen()->availableGeometry();
    enum Place { Centred, AtStart, AtEnd };  // on the main window's centre, or against an edge
    struct Case {
        const char* name;
        QPoint anchorCentre;
        Place x, y;
    };
    const QPoint middle = work.center();
    const Case cases[] = {
        {"in the middle", middle, Centred, Centred},
        {"near the left edge", QPoint(work.left() + 20, middle.y()), AtStart, Centred},
        {"off the right edge", QPoint(work.right() + 100, middle.y()), AtEnd, Centred},
        {"over the top left corner", work.topLeft() - QPoint(50, 50), AtStart, AtStart},
        {"near the bottom", QPoint(middle.x(), work.bottom() - 10), Centred, AtEnd},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QWidget mainWindow;
        QRect anchor(QPoint(), QSize(300, 200));
        anchor.moveCenter(c.anchorCentre);
        mainWindow.setGeometry(anchor);
        Tfrm_Log log(&mainWindow);
        log.resize(work.width() / 2, work.height() / 2);
        log.show();
        const QRect frame = log.frameGeometry();
        EXPECT_TRUE(work.contains(frame))
            << frame.x() << "," << frame.y() << " " << frame.width() << "x" << frame.height();
        const auto check = [](Place place, int start, int end, int centre, int workStart, int workEnd) {
            switch (place) {
                case Centred:
                    EXPECT_LE(std::abs((start + end) / 2 - centre), 1);
                    break;
                case AtStart:
                    EXPECT_EQ(start, workStart);
                    break;
                case AtEnd:
                    EXPECT_EQ(end, workEnd);
                    break;
            }
        };
        check(c.x, frame.left(), frame.right(), anchor.center().x(), work.left(), work.right());
        check(c.y, frame.top(), frame.bottom(), anchor.center().y(), work.top(), work.bottom());
    }
}

// ---- what a screen reader reads ----

TEST_F(CaptureWindowOverflowTest, EveryLabelReadsAsTheValueItShows) {
    ShowSettled();
    const auto check = [&](const char* state) {
        SCOPED_TRACE(state);
        const auto labels = window_.findChildren<QLabel*>();
        ASSERT_FALSE(labels.isEmpty());
        for (QLabel* label : labels) {
            QAccessibleInterface* readable = QAccessible::queryAccessibleInterface(label);
            ASSERT_NE(readable, nullptr);
            EXPECT_EQ(readable->text(QAccessible::Name), label->text()) << label->objectName().toStdString();
        }
    };
    check("running");
    Overflow();
    QCoreApplication::processEvents();
    window_.tmr_OverflowSignalTimer();
    ASSERT_EQ(Status()->text(), "Live view buffer overflow!");
    check("overflow");
    for (int tick = 0; tick < Tfrm_Log::OverflowTicks; ++tick) window_.tmr_OverflowSignalTimer();
    ASSERT_EQ(Status()->text(), "Live data view in progress... (buffer overflow occured)");
    check("latched");
    Button("tb_LiveView")->click();
    check("paused");
}

// Qt's own table interface makes a child of every cell of the model: with a full
// history a screen reader's walk of the window would never end.
TEST_F(CaptureWindowTest, AScreenReaderSeesTheNamedHeadersAndOnlyTheRowsInView) {
    ShowSettled();
    QAccessibleInterface* table = QAccessible::queryAccessibleInterface(Grid());
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table->role(), QAccessible::Table);
    EXPECT_EQ(table->text(QAccessible::Name), "Live data view");
    const struct {
        int Entries;  // added before looking
        bool Top;     // scrolled to the top
    } steps[] = {{0, false}, {1000, false}, {0, true}};
    int added = 0;
    for (const auto& step : steps) {
        SCOPED_TRACE(added + step.Entries);
        if (step.Entries > 0) AddRun(added + 1, added + step.Entries);
        added += step.Entries;
        if (step.Top) Grid()->verticalScrollBar()->setValue(0);
        const int top = Grid()->rowAt(0);
        const int inView = top < 0 ? 0 : Grid()->rowAt(Grid()->viewport()->height() - 1) - top + 1;
        ASSERT_LE(inView, 45);
        ASSERT_EQ(table->childCount(), 5 * (1 + inView));
        const char* headers[] = {"Timestamp", "Hex-Format", "ASCII-Format", "Informational", ""};
        for (int c = 0; c < 5; ++c) {
            QAccessibleInterface* header = table->child(c);
            ASSERT_NE(header, nullptr);
            EXPECT_EQ(header->role(), QAccessible::ColumnHeader);
            EXPECT_EQ(header->text(QAccessible::Name), headers[c]);
            EXPECT_EQ(table->indexOfChild(header), c);
            EXPECT_EQ(header->parent(), table);
        }
        for (int slot = 0; slot < inView; ++slot) {
            QAccessibleInterface* cell = table->child(5 * (1 + slot) + 2);
            ASSERT_NE(cell, nullptr);
            EXPECT_EQ(cell->role(), QAccessible::Cell);
            EXPECT_EQ(cell->text(QAccessible::Name), QString("#%1").arg(top + slot + 1)) << slot;
            EXPECT_TRUE(Grid()->viewport()->rect().intersects(
                QRect(Grid()->viewport()->mapFromGlobal(cell->rect().topLeft()), cell->rect().size())));
        }
        EXPECT_EQ(table->child(table->childCount()), nullptr);

        // As a table it answers over the whole history, in view or not.
        QAccessibleTableInterface* rows = table->tableInterface();
        ASSERT_NE(rows, nullptr);
        EXPECT_EQ(rows->rowCount(), added);
        EXPECT_EQ(rows->columnCount(), 5);
        for (int c = 0; c < 5; ++c) EXPECT_EQ(rows->columnDescription(c), headers[c]);
        for (const int row : {0, added / 2, added - 1}) {
            if (row < 0 || row >= added) continue;
            SCOPED_TRACE(row);
            QAccessibleInterface* cell = rows->cellAt(row, 2);
            ASSERT_NE(cell, nullptr);
            EXPECT_EQ(cell->text(QAccessible::Name), QString("#%1").arg(row + 1));
            QAccessibleTableCellInterface* place = cell->tableCellInterface();
            ASSERT_NE(place, nullptr);
            EXPECT_EQ(place->rowIndex(), row);
            EXPECT_EQ(place->columnIndex(), 2);
            ASSERT_EQ(place->columnHeaderCells().size(), 1);
            EXPECT_EQ(place->columnHeaderCells()[0], table->child(2));
            // Its place among the children where it is in view, none where not.
            const bool shown = top >= 0 && row >= top && row < top + inView;
            EXPECT_EQ(table->indexOfChild(cell), shown ? 5 * (1 + row - top) + 2 : -1);
        }
        EXPECT_EQ(rows->cellAt(added, 0), nullptr);
        EXPECT_EQ(rows->cellAt(0, 5), nullptr);
        EXPECT_EQ(rows->cellAt(-1, 0), nullptr);
    }
    // A row chosen by the screen reader is the row selected, and the other way round.
    QAccessibleTableInterface* rows = table->tableInterface();
    ASSERT_TRUE(rows->selectRow(17));
    EXPECT_EQ(rows->selectedRows(), QList<int>{17});
    EXPECT_TRUE(rows->cellAt(17, 0)->tableCellInterface()->isSelected());
    EXPECT_EQ(window_.SelectedRow(), 17);
    EXPECT_FALSE(rows->selectRow(added));
    // A client that walks every cell: the cells asked for stay usable until the event
    // loop is back, then the kept ones go and new ones answer.
    QAccessibleInterface* first = rows->cellAt(0, 2);
    const QAccessible::Id firstId = QAccessible::uniqueId(first);
    for (int row = 0; row < added; ++row)
        for (int c = 0; c < 5; ++c) ASSERT_NE(rows->cellAt(row, c), nullptr);
    ASSERT_EQ(QAccessible::accessibleInterface(firstId), first);
    EXPECT_EQ(first->text(QAccessible::Name), "#1");
    QCoreApplication::processEvents();
    EXPECT_EQ(QAccessible::accessibleInterface(firstId), nullptr);
    EXPECT_EQ(rows->cellAt(0, 2)->text(QAccessible::Name), "#1");
    EXPECT_EQ(rows->cellAt(added - 1, 2)->text(QAccessible::Name), QString("#%1").arg(added));
}

TEST(CaptureWindowLifetime, ClosingWithEntriesQueuedEndsThePump) {
    auto window = std::make_unique<Tfrm_Log>();
    const uint8_t byte = 0x41;
    for (int i = 0; i < 60; ++i) ASSERT_TRUE(window->AddEntry(&byte, 1, Stamp, bkData));
    window.reset();  // must not wait for the window thread, which is right here
    EXPECT_EQ(window, nullptr);
}

}  // namespace

// ---- two lines ----

TEST_F(CaptureWindowTest, TwoLinesShowTheirNameAndTintAndCanBeFilteredAndFound) {
    const Bytes bytes = {0x41};
    const struct {
        const char* Name;
        QStringList Names;
        int Columns;
    } rows[] = {
        {"one line: nothing changes", {}, Tfrm_Log::ColumnCount},
        {"two lines", {"Master", "Slave"}, Tfrm_Log::ColumnCount + 1},
        {"back to one line", {}, Tfrm_Log::ColumnCount},
    };
    window_.show();
    for (const auto& row : rows) {
        SCOPED_TRACE(row.Name);
        const bool two = !row.Names.isEmpty();
        window_.SetLineNames(row.Names);
        const int before = window_.ShownRows();
        for (const int8_t line : {0, 1}) {
            sBlock block{Stamp, bytes.data(), 1, bkData};
            block.Line = two ? line : -1;
            ASSERT_TRUE(window_.AddBlock(block));
        }
        ASSERT_TRUE(WaitRows(before + 2));
        QAbstractItemModel* model = Grid()->model();
        ASSERT_EQ(model->columnCount(), row.Columns);
        auto* filter = window_.findChild<QComboBox*>("cb_LineFilter");
        ASSERT_NE(filter, nullptr);
        EXPECT_EQ(filter->isVisible(), two);
        const QModelIndex first = model->index(before, 0);
        const QModelIndex second = model->index(before + 1, 0);
        if (!two) {
            EXPECT_FALSE(first.data(Qt::BackgroundRole).isValid());
            continue;
        }
        EXPECT_EQ(model->headerData(Tfrm_Log::LineColumn, Qt::Horizontal).toString(), "Line");
        EXPECT_EQ(Header()->visualIndex(Tfrm_Log::LineColumn), 1) << "right after the time";
        EXPECT_GT(Header()->sectionSize(Tfrm_Log::LineColumn), 0);
        EXPECT_EQ(model->index(before, Tfrm_Log::LineColumn).data().toString(), "Master");
        EXPECT_EQ(model->index(before + 1, Tfrm_Log::LineColumn).data().toString(), "Slave");
        EXPECT_NE(first.data(Qt::BackgroundRole).value<QColor>(), second.data(Qt::BackgroundRole).value<QColor>());
        // The search finds a line's name, whatever the case: the newest row is passed over.
        Grid()->selectionModel()->clear();
        EXPECT_TRUE(window_.FindEntry("master", false, false));
        EXPECT_EQ(window_.SelectedRow(), before);
        // The filter offers both lines by name; one chosen, the other's blocks are not taken.
        EXPECT_FALSE(filter->accessibleName().isEmpty());
        ASSERT_EQ(filter->count(), 3);
        EXPECT_EQ(filter->itemText(1), "Master");
        EXPECT_EQ(filter->itemText(2), "Slave");
        filter->setCurrentIndex(2);
        sBlock block{Stamp, bytes.data(), 1, bkData};
        block.Line = 0;
        EXPECT_FALSE(window_.AddBlock(block));
        block.Line = 1;
        EXPECT_TRUE(window_.AddBlock(block));
        ASSERT_TRUE(WaitRows(before + 3));
        filter->setCurrentIndex(0);
        // The tints are told apart from each other and keep the text readable, light or dark.
        for (const QColor& base : {QColor(255, 255, 225), QColor(32, 32, 36)}) {
            QPalette palette = Grid()->palette();
            palette.setColor(QPalette::Base, base);
            palette.setColor(QPalette::Text, base.lightness() < 128 ? Qt::white : Qt::black);
            Grid()->setPalette(palette);
            const QColor tints[2] = {window_.LineTint(0), window_.LineTint(1)};
            for (const QColor& tint : tints)
                EXPECT_GE(std::abs(tint.lightness() - palette.color(QPalette::Text).lightness()), 110)
                    << base.name().toStdString() << " " << tint.name().toStdString();
            const int hues = std::abs(tints[0].hslHue() - tints[1].hslHue());
            EXPECT_GE(std::min(hues, 360 - hues), 90) << base.name().toStdString();
        }
    }
}
