// The trigger editors and the error-history window, driven by object name on the
// offscreen platform.
#include <gtest/gtest.h>

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

TEST(BufEditor, ShowsIndexAndValueOfEachElement) {
    const int32_t elements[] = {0x0A, AnyByte, 0x00, -23, 300, 0xFF};
    Tfrm_BufEditor editor(nullptr, "Start", 6, elements);
    editor.show();
    QTableWidget* grid = GridOf(editor);
    ASSERT_NE(grid, nullptr);
    EXPECT_EQ(editor.windowTitle(), "Start");
    ASSERT_EQ(grid->rowCount(), 6);
    ASSERT_EQ(grid->columnCount(), 2);
    const char* values[] = {"0A", "??", "00", "FF", "12", "FF"};
    for (int row = 0; row < 6; ++row) {
        EXPECT_EQ(grid->item(row, 0)->text(), QString("index [%1]").arg(row));
        EXPECT_EQ(grid->item(row, 1)->text(), values[row]) << "row " << row;
        EXPECT_FALSE(grid->item(row, 0)->flags() & Qt::ItemIsEditable);
        EXPECT_TRUE(grid->item(row, 1)->flags() & Qt::ItemIsEditable);
    }
    // Shown without a commit, elements that no byte stands for are kept as they are.
    EXPECT_EQ(editor.Buffer(), std::vector<int32_t>(std::begin(elements), std::end(elements)));
    EXPECT_EQ(editor.GridGetEditMask(1, 0), "cc");
    grid->setCurrentCell(1, 0);  // the index column cannot be selected
    EXPECT_EQ(grid->currentColumn(), 1);
}

TEST(BufEditor, CommitRowReadsTheCellText) {
    struct Case {
        const char16_t* typed;
        const char16_t* cell;
        int32_t element;
    };
    const Case cases[] = {
        {u"7", u"7", 0x07},      {u"a", u"a", 0x0A},      {u"fF", u"fF", 0xFF},   {u" 7", u" 7", 0x07},
        {u"?x", u"??", AnyByte}, {u"x?", u"??", AnyByte}, {u"?", u"??", AnyByte}, {u"zz", u"00", 0},
        {u"", u"00", 0},         {u"  ", u"00", 0},       {u"-1", u"00", 0},      {u"+1", u"00", 0},
        {u"0x", u"00", 0},       {u"1g", u"00", 0},       {u"\u0667", u"00", 0},  {u"123", u"00", 0},
    };
    const int32_t initial[] = {0x55};
    for (const Case& c : cases) {
        const QString typed = QString::fromUtf16(c.typed);
        Tfrm_BufEditor editor(nullptr, "Data trigger:", 1, initial);
        GridOf(editor)->item(0, 1)->setText(typed);
        editor.CommitRow(0);
        EXPECT_EQ(GridOf(editor)->item(0, 1)->text(), QString::fromUtf16(c.cell)) << typed.toStdString();
        EXPECT_EQ(editor.Buffer()[0], c.element) << typed.toStdString();
    }
}

TEST(BufEditor, TypedCellIsCommittedWhenTheUserLeavesIt) {
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
        {"zz", Leave::Tab, "00", 0},
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

TEST(StringEditor, AnyByteComesBackAsTheDotOfTheCallersText) {
    const TTriggerSequence trigger = {0x41, AnyByte, 0x42};
    Tfrm_StringEditor editor(nullptr, "Start trigger:", TriggerToAscii(trigger));
    editor.show();
    auto* edit = editor.findChild<QLineEdit*>("Edit");
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(editor.windowTitle(), "Start trigger:");
    EXPECT_EQ(edit->text(), "A.B");
    EXPECT_EQ(edit->maxLength(), 3);
    Button(editor, "btn_OK")->click();
    EXPECT_EQ(editor.result(), QDialog::Accepted);
    EXPECT_EQ(editor.Buffer(), (std::vector<int32_t>{0x41, 0x2E, 0x42}));
}

TEST(StringEditor, ElementsAreSignedEightBitCharacters) {
    Tfrm_StringEditor editor(nullptr, "Data trigger:", std::string("A\xE4\x7F") + "C");
    editor.show();
    auto* edit = editor.findChild<QLineEdit*>("Edit");
    EXPECT_EQ(editor.Buffer(), (std::vector<int32_t>{0x41, -28, 0x7F, 0x43}));
    // Typing replaces the character under the cursor.
    edit->setCursorPosition(2);
    QKeyEvent e(QEvent::KeyPress, Qt::Key_Eacute, Qt::NoModifier, QString(QChar(0xE9)));
    QApplication::sendEvent(edit, &e);
    EXPECT_EQ(edit->text(), QString::fromLatin1("A\xE4\xE9"
                                                "C"));
    EXPECT_EQ(editor.Buffer(), (std::vector<int32_t>{0x41, -28, -23, 0x43}));
    // A character that no byte stands for becomes "?".
    edit->setText(QString(QChar(0x20AC)));
    EXPECT_EQ(editor.Buffer(), (std::vector<int32_t>{0x3F, -28, -23, 0x43}));
}

TEST(StringEditor, FieldHoldsAtMostNCharactersAndShorterTextKeepsTheRest) {
    Tfrm_StringEditor editor(nullptr, "Stop trigger:", "ABC");
    editor.show();
    auto* edit = editor.findChild<QLineEdit*>("Edit");
    edit->selectAll();
    QTest::keyClicks(edit, "wxyz");
    EXPECT_EQ(edit->text(), "wxy");
    EXPECT_EQ(editor.Buffer(), (std::vector<int32_t>{'w', 'x', 'y'}));
    edit->selectAll();
    QTest::keyClicks(edit, "q");
    EXPECT_EQ(edit->text(), "q");
    EXPECT_EQ(editor.Buffer(), (std::vector<int32_t>{'q', 'x', 'y'}));
    Button(editor, "btn_Cancel")->click();
    EXPECT_EQ(editor.result(), QDialog::Rejected);
}

TEST(Debug, ShowsTheLinesLimeOnBlackWithBothScrollBars) {
    Tfrm_Debug debug(nullptr);
    auto* log = debug.findChild<QPlainTextEdit*>("Log");
    ASSERT_NE(log, nullptr);
    EXPECT_EQ(debug.windowTitle(), "frm_Debug");
    EXPECT_NE(debug.minimumSize(), debug.maximumSize());
    EXPECT_TRUE(log->isReadOnly());
    EXPECT_EQ(log->lineWrapMode(), QPlainTextEdit::NoWrap);
    EXPECT_EQ(log->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    EXPECT_EQ(log->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    EXPECT_EQ(log->palette().color(QPalette::Base), QColor(Qt::black));
    EXPECT_EQ(log->palette().color(QPalette::Text), QColor(0, 255, 0));
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
