// The trigger editors and the error-history window, driven by object name on the
// offscreen platform.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <memory>
#include <vector>

#include "Tfrm_BufEditor.h"
#include "Tfrm_Debug.h"
#include "Tfrm_StringEditor.h"
#include "TriggerSequence.h"
#include "ZMessageBox.h"

namespace {

QTableWidget* GridOf(QWidget& dialog) {
    return dialog.findChild<QTableWidget*>("Grid");
}
QPushButton* Button(QWidget& dialog, const char* name) {
    return dialog.findChild<QPushButton*>(name);
}

// The cell editor that is open now; closed ones may linger hidden until deleted.
QLineEdit* OpenCellEditor(QTableWidget* grid) {
    for (QLineEdit* editor : grid->viewport()->findChildren<QLineEdit*>())
        if (editor->isVisible()) return editor;
    return nullptr;
}

// Boxes are recorded, not shown, while one lives: a refused cell must not block a test.
struct QuietBoxes {
    QuietBoxes() {
        ZMessageBox::SetRecorder([](ZMessageBox::Kind, const QString&) {});
    }
    ~QuietBoxes() { ZMessageBox::SetRecorder({}); }
};

TEST(BufEditor, ShowsIndexAndLowByteOfEachElement) {
    // Elements beyond a byte show their low byte, as the trigger labels do.
    const int32_t elements[] = {0x0A, AnyByte, 0x00, -28, 266, 300, 0xFF};
    const char* values[] = {"0A", "??", "00", "E4", "0A", "2C", "FF"};
    Tfrm_BufEditor editor(nullptr, "Start", 7, elements);
    editor.show();
    QTableWidget* grid = GridOf(editor);
    ASSERT_NE(grid, nullptr);
    EXPECT_EQ(editor.windowTitle(), "Start");
    ASSERT_EQ(grid->rowCount(), 7);
    ASSERT_EQ(grid->columnCount(), 2);
    for (int row = 0; row < 7; ++row) {
        EXPECT_EQ(grid->item(row, 0)->text(), QString("index [%1]").arg(row));
        EXPECT_EQ(grid->item(row, 1)->text(), values[row]) << "row " << row;
        EXPECT_FALSE(grid->item(row, 0)->flags() & Qt::ItemIsEditable);
        EXPECT_TRUE(grid->item(row, 1)->flags() & Qt::ItemIsEditable);
    }
    EXPECT_EQ(editor.Buffer(), std::vector<int32_t>(std::begin(elements), std::end(elements)));
    EXPECT_EQ(editor.GridGetEditMask(1, 0), "cc");
    grid->setCurrentCell(1, 0);  // the index column cannot be selected
    EXPECT_EQ(grid->currentColumn(), 1);
}

TEST(BufEditor, ACellConfirmedAsShownKeepsItsElement) {
    const QuietBoxes quiet;
    struct Case {
        int32_t element;
        const char* typed;  // nullptr: the cell editor is opened and closed unchanged
        const char* cell;
        int32_t result;
    };
    const Case cases[] = {
        {-28, nullptr, "E4", -28},         {266, nullptr, "0A", 266},   {300, nullptr, "2C", 300},
        {AnyByte, nullptr, "??", AnyByte}, {0x41, nullptr, "41", 0x41}, {266, "0A", "0A", 266},
        {266, "0B", "0B", 0x0B},           {-28, "e4", "e4", 0xE4},     {-28, "zz", "E4", -28},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.element << " " << (c.typed ? c.typed : "unchanged"));
        const int32_t elements[] = {c.element, -1};
        Tfrm_BufEditor editor(nullptr, "Start", 2, elements);
        editor.show();
        QTableWidget* grid = GridOf(editor);
        grid->setCurrentCell(0, 1);
        if (c.typed) {
            QTest::keyClick(grid, c.typed[0]);
            ASSERT_NE(OpenCellEditor(grid), nullptr);
            QTest::keyClicks(OpenCellEditor(grid), QString(c.typed).mid(1));
        } else {
            QTest::keyClick(grid, Qt::Key_F2);
            ASSERT_NE(OpenCellEditor(grid), nullptr);
        }
        QTest::keyClick(OpenCellEditor(grid), Qt::Key_Return);
        // The untouched row, shown but never confirmed, keeps its element too.
        Button(editor, "btn_OK")->click();
        EXPECT_EQ(grid->item(0, 1)->text(), c.cell);
        EXPECT_EQ(editor.Buffer(), (std::vector<int32_t>{c.result, -1}));
    }
}

TEST(BufEditor, CommitRowReadsTheCellText) {
    struct Case {
        const char16_t* typed;
        const char16_t* cell;
        int32_t element;
    };
    const Case cases[] = {
        {u"7", u"7", 0x07},      {u"a", u"a", 0x0A},      {u"fF", u"fF", 0xFF},     {u" 7", u" 7", 0x07},
        {u"?x", u"??", AnyByte}, {u"x?", u"??", AnyByte}, {u"?", u"??", AnyByte},   {u"zz", u"55", 0x55},
        {u"", u"55", 0x55},      {u"  ", u"55", 0x55},    {u"-1", u"55", 0x55},     {u"+1", u"55", 0x55},
        {u"0x", u"55", 0x55},    {u"GG", u"55", 0x55},    {u"\u0667", u"55", 0x55}, {u"123", u"55", 0x55},
    };
    const int32_t initial[] = {0x55};
    std::vector<QString> boxes;
    ZMessageBox::SetRecorder([&boxes](ZMessageBox::Kind, const QString& text) { boxes.push_back(text); });
    for (const Case& c : cases) {
        const QString typed = QString::fromUtf16(c.typed);
        Tfrm_BufEditor editor(nullptr, "Data trigger:", 1, initial);
        GridOf(editor)->item(0, 1)->setText(typed);
        boxes.clear();
        editor.CommitRow(0);
        EXPECT_EQ(GridOf(editor)->item(0, 1)->text(), QString::fromUtf16(c.cell)) << typed.toStdString();
        EXPECT_EQ(editor.Buffer()[0], c.element) << typed.toStdString();
        // A refused cell says so; nothing else does.
        const bool refused = c.element == 0x55;
        EXPECT_EQ(boxes, refused
                             ? std::vector<QString>{QStringLiteral("\"%1\" is not a hexadecimal byte: type "
                                                                   "00 to FF, or ?? for any byte.")
                                                        .arg(typed.trimmed())}
                             : std::vector<QString>{})
            << typed.toStdString();
    }
    ZMessageBox::SetRecorder({});
}

TEST(BufEditor, TypedCellIsCommittedWhenTheUserLeavesIt) {
    const QuietBoxes quiet;
    enum class Leave { Down, Return, Tab, ClickOtherCell };
    struct Case {
        const char* typed;
        Leave leave;
        const char* cell;
        int32_t element;
    };
    const Case cases[] = {
        {"7", Leave::Down, "7", 0x07},
        {"?x", Leave::Return, "??", AnyByte},
        {"zz", Leave::Tab, "0A", 0x0A},
        {"a", Leave::ClickOtherCell, "a", 0x0A},
    };
    const int32_t initial[] = {0x0A, AnyByte, 0x00};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        Tfrm_BufEditor editor(nullptr, "Start", 3, initial);
        editor.show();
        QTableWidget* grid = GridOf(editor);
        grid->setCurrentCell(0, 1);
        QTest::keyClick(grid, c.typed[0]);
        QLineEdit* cellEditor = OpenCellEditor(grid);
        ASSERT_NE(cellEditor, nullptr);
        QTest::keyClicks(cellEditor, QString(c.typed).mid(1));
        switch (c.leave) {
            case Leave::Down:
                QTest::keyClick(cellEditor, Qt::Key_Down);
                break;
            case Leave::Return:
                QTest::keyClick(cellEditor, Qt::Key_Return);
                break;
            case Leave::Tab:
                QTest::keyClick(cellEditor, Qt::Key_Tab);
                break;
            case Leave::ClickOtherCell:
                QTest::mouseClick(grid->viewport(), Qt::LeftButton, {},
                                  grid->visualItemRect(grid->item(2, 1)).center());
                break;
        }
        EXPECT_EQ(grid->item(0, 1)->text(), c.cell);
        EXPECT_EQ(editor.Buffer(), (std::vector<int32_t>{c.element, AnyByte, 0x00}));
        // Enter only ends the cell edit; the dialog stays open.
        EXPECT_TRUE(editor.isVisible());
    }
}

TEST(BufEditor, OkCommitsAnOpenCellEditorAndCancelRejects) {
    const int32_t initial[] = {0x0A, AnyByte, 0x00};
    {
        Tfrm_BufEditor editor(nullptr, "Start", 3, initial);
        editor.show();
        QTableWidget* grid = GridOf(editor);
        grid->setCurrentCell(2, 1);
        QTest::keyClick(grid, '7');
        ASSERT_NE(OpenCellEditor(grid), nullptr);
        Button(editor, "btn_OK")->click();
        EXPECT_EQ(editor.result(), QDialog::Accepted);
        EXPECT_EQ(editor.Buffer(), (std::vector<int32_t>{0x0A, AnyByte, 0x07}));
    }
    Tfrm_BufEditor cancelled(nullptr, "Start", 3, initial);
    cancelled.show();
    Button(cancelled, "btn_Cancel")->click();
    EXPECT_EQ(cancelled.result(), QDialog::Rejected);
}

TEST(BufEditor, KeyboardAloneEditsAndAcceptsInTheModalLoop) {
    const int32_t initial[] = {0x0A, 0x0B};
    Tfrm_BufEditor editor(nullptr, "Stop", 2, initial);
    QTimer::singleShot(0, [&editor] {
        EXPECT_EQ(QApplication::activeModalWidget(), &editor);
        QTableWidget* grid = GridOf(editor);
        QTest::keyClick(grid, Qt::Key_Down);
        QTest::keyClick(grid, '5');
        if (QLineEdit* cellEditor = OpenCellEditor(grid)) QTest::keyClick(cellEditor, Qt::Key_Return);
        QTest::keyClick(grid, Qt::Key_Return);  // the default button
        if (editor.isVisible()) editor.reject();
    });
    EXPECT_EQ(editor.exec(), QDialog::Accepted);
    EXPECT_EQ(editor.Buffer(), (std::vector<int32_t>{0x0A, 0x05}));
}

TEST(BufEditor, HeightGrowsWithTheElementsUpTo600ThenTheGridScrolls) {
    struct Case {
        int count;
        int height;
        bool scrolls;
    };
    const Case cases[] = {
        {1, 139, false}, {3, 187, false}, {20, 595, false}, {21, 600, true}, {30, 600, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.count);
        const std::vector<int32_t> elements(static_cast<size_t>(c.count), 0x11);
        Tfrm_BufEditor editor(nullptr, "Data trigger:", c.count, elements.data());
        editor.show();
        QTableWidget* grid = GridOf(editor);
        EXPECT_EQ(editor.width(), grid->columnWidth(0) + 57);
        EXPECT_EQ(editor.height(), c.height);
        EXPECT_EQ(editor.minimumSize(), editor.maximumSize());
        EXPECT_EQ(grid->rowHeight(0), 24);
        // No index label is clipped (the item view keeps 3 pixels on either side).
        const QString lastIndex = grid->item(c.count - 1, 0)->text();
        EXPECT_LE(grid->fontMetrics().horizontalAdvance(lastIndex) + 6, grid->columnWidth(0));
        EXPECT_EQ(grid->verticalScrollBar()->maximum() > 0, c.scrolls);
        EXPECT_FALSE(grid->horizontalScrollBar()->isVisible());
        if (!c.scrolls) {
            EXPECT_EQ(grid->viewport()->width(), grid->columnWidth(0) + 57);
        }
        // The last row can be reached and edited.
        grid->setCurrentCell(c.count - 1, 1);
        const QRect last = grid->visualItemRect(grid->item(c.count - 1, 1));
        EXPECT_TRUE(grid->viewport()->rect().contains(last));
    }
}

TEST(BufEditor, IsTheDesignedWidthWhenTheIndexLabelsFitIn57Pixels) {
    const QFont systemFont = QApplication::font();
    QFont small = systemFont;
    small.setPixelSize(8);
    QApplication::setFont(small);
    const int32_t elements[] = {1, 2, 3};
    {
        Tfrm_BufEditor editor(nullptr, "Start", 3, elements);
        EXPECT_EQ(editor.width(), 114);
        EXPECT_EQ(GridOf(editor)->columnWidth(0), 57);
    }
    QApplication::setFont(systemFont);
}

// What the user does to the field: put the cursor at Start (selecting Length
// characters when Length > 0), then press the key or type the text.
enum class Act { Nothing, Delete, Backspace, Type };
struct StringCase {
    const char* Name;
    std::string Initial;
    TTriggerSequence Elements;  // given to the editor; empty: none
    Act Action;
    int Start;
    int Length;
    const char* Typed;
    const char* Shown;
    TTriggerSequence Result;
};

void Perform(QLineEdit* edit, const StringCase& c) {
    if (c.Length > 0)
        edit->setSelection(c.Start, c.Length);
    else
        edit->setCursorPosition(c.Start);
    switch (c.Action) {
        case Act::Nothing:
            break;
        case Act::Delete:
            QTest::keyClick(edit, Qt::Key_Delete);
            break;
        case Act::Backspace:
            QTest::keyClick(edit, Qt::Key_Backspace);
            break;
        case Act::Type:
            QTest::keyClicks(edit, QString::fromLatin1(c.Typed));
            break;
    }
}

TEST(StringEditor, IsAMaskOfNPositionsAndReturnsWhatItShows) {
    // A removed position becomes a blank (the space, element 20) and nothing moves;
    // typing over a selection blanks it and writes from its start. So an ASCII data
    // trigger of five dots typed over as a whole with "OK" is "OK" and three blanks,
    // and typed "OK" from the first position keeps the three dots it still shows.
    const StringCase cases[] = {
        {"delete", "ABCD", {}, Act::Delete, 1, 0, "", "A CD", {'A', ' ', 'C', 'D'}},
        {"delete at the end", "ABCD", {}, Act::Delete, 4, 0, "", "ABCD", {'A', 'B', 'C', 'D'}},
        {"backspace", "ABCD", {}, Act::Backspace, 3, 0, "", "AB D", {'A', 'B', ' ', 'D'}},
        {"delete a selection", "ABCD", {}, Act::Delete, 1, 2, "", "A  D", {'A', ' ', ' ', 'D'}},
        {"type over a selection", "ABCD", {}, Act::Type, 1, 2, "z", "Az D", {'A', 'z', ' ', 'D'}},
        {"type over all", ".....", {}, Act::Type, 0, 5, "OK", "OK   ", {0x4F, 0x4B, 0x20, 0x20, 0x20}},
        {"type from the start", ".....", {}, Act::Type, 0, 0, "OK", "OK...", {0x4F, 0x4B, 0x2E, 0x2E, 0x2E}},
        {"type past the end", "ABCD", {}, Act::Type, 3, 0, "xy", "ABCx", {'A', 'B', 'C', 'x'}},
        {"type more than fits", "ABC", {}, Act::Type, 0, 3, "wxyz", "wxy", {'w', 'x', 'y'}},
        {"type a blank", "ABC", {}, Act::Type, 1, 0, " ", "A C", {'A', ' ', 'C'}},
    };
    for (const StringCase& c : cases) {
        SCOPED_TRACE(c.Name);
        Tfrm_StringEditor editor(nullptr, "Data trigger:", c.Initial);
        editor.show();
        auto* edit = editor.findChild<QLineEdit*>("Edit");
        ASSERT_NE(edit, nullptr);
        Perform(edit, c);
        EXPECT_EQ(edit->displayText(), c.Shown);
        EXPECT_EQ(editor.Buffer(), c.Result);
        // The result is the field, character for character.
        TTriggerSequence shown;
        for (QChar ch : edit->displayText()) shown.push_back(ch.unicode());
        EXPECT_EQ(shown, c.Result);
        // A screen reader reads the positions, blanks included.
        QAccessibleInterface* field = QAccessible::queryAccessibleInterface(edit);
        ASSERT_NE(field, nullptr);
        EXPECT_EQ(field->text(QAccessible::Value).toStdString(), c.Shown);
        ASSERT_NE(field->textInterface(), nullptr);
        EXPECT_EQ(field->textInterface()->text(0, field->textInterface()->characterCount()).toStdString(),
                  c.Shown);
    }
}

TEST(StringEditor, PositionsTheUserLeavesKeepTheirElements) {
    const TTriggerSequence demo = {0x7E, 0xA5, AnyByte};
    const StringCase cases[] = {
        {"unchanged", "", demo, Act::Nothing, 0, 0, "", "~..", demo},
        {"one typed", "", demo, Act::Type, 1, 0, "x", "~x.", {0x7E, 'x', AnyByte}},
        {"a dot typed over a dot", "", demo, Act::Type, 2, 0, ".", "~..", {0x7E, 0xA5, 0x2E}},
        {"one deleted", "", demo, Act::Delete, 1, 0, "", "~ .", {0x7E, 0x20, AnyByte}},
        {"backspace", "", demo, Act::Backspace, 3, 0, "", "~. ", {0x7E, 0xA5, 0x20}},
        {"control and wide elements",
         "",
         {0x0D, -28, 266, 0x7F},
         Act::Nothing,
         0,
         0,
         "",
         "....",
         {0x0D, -28, 266, 0x7F}},
        {"no elements given: the codes of the text",
         "A.B",
         {},
         Act::Nothing,
         0,
         0,
         "",
         "A.B",
         {0x41, 0x2E, 0x42}},
        {"a control character in the text",
         std::string("A\x7F") + "B",
         {},
         Act::Nothing,
         0,
         0,
         "",
         "A.B",
         {0x41, 0x7F, 0x42}},
    };
    for (const StringCase& c : cases) {
        SCOPED_TRACE(c.Name);
        const std::string initial = c.Elements.empty() ? c.Initial : TriggerToAscii(c.Elements);
        Tfrm_StringEditor editor(nullptr, "Start trigger:", initial, c.Elements);
        editor.show();
        auto* edit = editor.findChild<QLineEdit*>("Edit");
        ASSERT_NE(edit, nullptr);
        Perform(edit, c);
        EXPECT_EQ(edit->displayText(), c.Shown);
        Button(editor, "btn_OK")->click();
        EXPECT_EQ(editor.result(), QDialog::Accepted);
        EXPECT_EQ(editor.Buffer(), c.Result);
    }
}

TEST(StringEditor, ElementsAreSignedEightBitCharacters) {
    Tfrm_StringEditor editor(nullptr, "Data trigger:", "A\xE4..");
    editor.show();
    auto* edit = editor.findChild<QLineEdit*>("Edit");
    EXPECT_EQ(editor.windowTitle(), "Data trigger:");
    EXPECT_EQ(editor.Buffer(), (std::vector<int32_t>{0x41, -28, 0x2E, 0x2E}));
    edit->setCursorPosition(2);
    QKeyEvent e(QEvent::KeyPress, Qt::Key_Eacute, Qt::NoModifier, QString(QChar(0xE9)));
    QApplication::sendEvent(edit, &e);
    EXPECT_EQ(edit->displayText(), QString::fromLatin1("A\xE4\xE9."));
    EXPECT_EQ(editor.Buffer(), (std::vector<int32_t>{0x41, -28, -23, 0x2E}));
    // A character that no byte stands for becomes "?", in the field as in the result.
    QKeyEvent euro(QEvent::KeyPress, 0, Qt::NoModifier, QString(QChar(0x20AC)));
    QApplication::sendEvent(edit, &euro);
    EXPECT_EQ(edit->displayText(), QString::fromLatin1("A\xE4\xE9?"));
    EXPECT_EQ(editor.Buffer(), (std::vector<int32_t>{0x41, -28, -23, 0x3F}));
    Button(editor, "btn_Cancel")->click();
    EXPECT_EQ(editor.result(), QDialog::Rejected);
}

TEST(Debug, ShowsTheLinesLimeOnBlackWithBothScrollBars) {
    Tfrm_Debug debug(nullptr);
    auto* log = debug.findChild<QPlainTextEdit*>("Log");
    ASSERT_NE(log, nullptr);
    EXPECT_EQ(debug.windowTitle(), "Error history");
    EXPECT_NE(debug.minimumSize(), debug.maximumSize());
    EXPECT_TRUE(log->isReadOnly());
    EXPECT_EQ(log->lineWrapMode(), QPlainTextEdit::NoWrap);
    EXPECT_EQ(log->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    EXPECT_EQ(log->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    EXPECT_EQ(log->palette().color(QPalette::Base), QColor(Qt::black));
    EXPECT_EQ(log->palette().color(QPalette::Text), QColor(0, 255, 0));
    // Empty, it says so in a colour that shows on black: not a blank black box.
    debug.resize(400, 200);
    debug.show();
    const QImage empty = log->viewport()->grab().toImage();
    int lit = 0;
    for (int y = 0; y < empty.height(); ++y)
        for (int x = 0; x < empty.width(); ++x) lit += qGreen(empty.pixel(x, y)) > 96;
    EXPECT_GT(lit, 20) << log->placeholderText().toStdString();
    EXPECT_EQ(log->placeholderText(), "Nothing has been recorded.");
    debug.AddLines({"### TOTAL ERRORS: 2 ###", "Filter FeedData Input buffer overflow", ""});
    debug.AddLines({"last"});
    EXPECT_EQ(log->toPlainText(), "### TOTAL ERRORS: 2 ###\nFilter FeedData Input buffer overflow\n\nlast");
    debug.show();
    EXPECT_EQ(log->geometry(), debug.rect());
}

TEST(Windows, AreCentredOnTheirOwner) {
    QWidget owner;
    owner.setGeometry(100, 80, 420, 320);
    owner.show();
    const int32_t elements[] = {1, 2, 3};
    std::vector<std::unique_ptr<QDialog>> dialogs;
    dialogs.push_back(std::make_unique<Tfrm_BufEditor>(&owner, "Start", 3, elements));
    dialogs.push_back(std::make_unique<Tfrm_StringEditor>(&owner, "Start trigger:", "ABC"));
    auto debug = std::make_unique<Tfrm_Debug>(&owner);
    debug->resize(300, 200);
    dialogs.push_back(std::move(debug));
    for (auto& dialog : dialogs) {
        SCOPED_TRACE(dialog->objectName().toStdString());
        dialog->show();
        const QPoint offset = dialog->frameGeometry().center() - owner.frameGeometry().center();
        EXPECT_LE(offset.manhattanLength(), 4);
    }
}

}  // namespace
