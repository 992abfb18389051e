// The pages "Frame trigger settings" and "Data triggers": trigger sizes, the limits
// of the length field, the editors, and the grid of data triggers with its counts.

#include <QButtonGroup>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTest>

#include "MainWindowTestSupport.h"

using namespace maintest;

namespace {

class TriggerPagesTest : public MainWindowTest {
protected:
    void ShowStartTrigger(const TTriggerSequence& trigger) {
        ZLoggerSettings settings;
        settings.TriggerStart = trigger;
        Window().ShowSettings(settings);
    }

    void SetStartSize(int size) {
        Find<QSpinBox>("ud_StartTriggerSize")->setValue(size);
        EXPECT_TRUE(Find<QPushButton>("btn_SetStartTriggerSize")->isEnabled());
        Click("btn_SetStartTriggerSize");
        EXPECT_FALSE(Find<QPushButton>("btn_SetStartTriggerSize")->isEnabled());
    }

    void ShowDataTriggers(const std::vector<TTriggerSequence>& triggers) {
        ZLoggerSettings settings;
        for (const TTriggerSequence& trigger : triggers) settings.DataTriggers.Add(trigger);
        Window().ShowSettings(settings);
    }

    void Count(int index, int times) {
        for (int i = 0; i < times; ++i) {
            auto message = std::make_unique<sStatusMsg>();
            message->Kind = 5;
            message->Count = index;
            Window().StatusArrived(std::move(message));
        }
    }

    QString Cell(int row, int column) {
        QTableWidgetItem* item = Find<QTableWidget>("DTrgList")->item(row, column);
        return item ? item->text() : QString();
    }

    void SelectRow(int row) { Find<QTableWidget>("DTrgList")->setCurrentCell(row, 0); }
};

}  // namespace

TEST_F(TriggerPagesTest, GrowingPadsWithAnyByteShrinkingKeepsTheBeginningZeroRemoves) {
    ShowStartTrigger({0x0A, 0x1E});
    EXPECT_EQ(Find<QLabel>("lbl_StartTriggerHex")->text(), "0A 1E");
    EXPECT_FALSE(Find<QPushButton>("btn_SetStartTriggerSize")->isEnabled());

    SetStartSize(4);
    EXPECT_EQ(Window().GetStartTrigger(), (TTriggerSequence{0x0A, 0x1E, AnyByte, AnyByte}));
    EXPECT_EQ(Find<QLabel>("lbl_StartTriggerHex")->text(), "0A 1E 00 00");
    EXPECT_EQ(Find<QLabel>("lbl_StartTriggerHex")->toolTip(), "0A 1E 00 00");
    EXPECT_EQ(Find<QLabel>("lbl_StartTriggerString")->text(), "....");

    SetStartSize(1);
    EXPECT_EQ(Window().GetStartTrigger(), (TTriggerSequence{0x0A}));
    EXPECT_EQ(Find<QLabel>("lbl_StartTriggerHex")->text(), "0A");

    SetStartSize(0);
    EXPECT_TRUE(Window().GetStartTrigger().empty());
    EXPECT_EQ(Find<QLabel>("lbl_StartTriggerHex")->text(), "");
    EXPECT_EQ(Find<QLabel>("lbl_StartTriggerString")->text(), "");
    ModalDriver unexpected([](QDialog& dialog) { dialog.reject(); });
    Click("btn_StartEditHEX");
    Click("btn_StartEditString");
    QApplication::processEvents();
    EXPECT_FALSE(unexpected.Ran());
}

TEST_F(TriggerPagesTest, TheStopTriggerSizesTheSameWayWithItsOwnControls) {
    Find<QSpinBox>("ud_StopTriggerSize")->setValue(3);
    EXPECT_TRUE(Find<QPushButton>("btn_SetStopTriggerSize")->isEnabled());
    Click("btn_SetStopTriggerSize");
    EXPECT_EQ(Window().GetStopTrigger(), (TTriggerSequence{AnyByte, AnyByte, AnyByte}));
    EXPECT_EQ(Find<QLabel>("lbl_StopTriggerHex")->text(), "00 00 00");
    EXPECT_EQ(Find<QLabel>("lbl_StopTriggerString")->text(), "...");
    EXPECT_TRUE(Window().GetStartTrigger().empty());
}

TEST_F(TriggerPagesTest, TheLengthFieldStaysInsideTheStartTrigger) {
    ShowStartTrigger({1, 2, 3, 4, 5});
    auto* start = Find<QSpinBox>("ud_DataSizeStart");
    auto* width = Find<QSpinBox>("ud_DataSizeWidth");
    EXPECT_EQ(start->minimum(), 0);
    EXPECT_EQ(start->maximum(), 4);
    EXPECT_EQ(width->maximum(), 5);
    width->setValue(3);
    start->setValue(3);
    EXPECT_EQ(width->maximum(), 2);
    EXPECT_EQ(width->value(), 2);
    EXPECT_EQ(width->minimum(), 1);
    start->setValue(9);  // refused beyond the trigger
    EXPECT_EQ(start->value(), 4);
    EXPECT_EQ(width->value(), 1);

    // Shrinking by more than one byte brings the index inside the new trigger.
    SetStartSize(2);
    EXPECT_EQ(start->maximum(), 1);
    EXPECT_EQ(start->value(), 1);
    EXPECT_EQ(width->maximum(), 1);
    EXPECT_EQ(Window().CollectSettings().StartAmountOfBytes, 1);

    // A file whose index lies beyond its trigger is shown inside it as well.
    ZLoggerSettings settings;
    settings.SetTriggerStart(std::vector<int32_t>{7, 7, 7}.data(), 3);
    settings.StartAmountOfBytes = 10;
    settings.AmountOfBytesWidth = 4;
    Window().ShowSettings(settings);
    EXPECT_EQ(start->value(), 2);
    EXPECT_EQ(width->value(), 1);
}

TEST_F(TriggerPagesTest, TheStringEditorTurnsEveryShownCharacterIntoItsCode) {
    ShowStartTrigger({'A', AnyByte, 0x0D});
    std::string opened;
    ModalDriver driver([&](QDialog& dialog) {
        opened = dialog.windowTitle().toStdString();
        auto* edit = dialog.findChild<QLineEdit*>("Edit");
        ASSERT_NE(edit, nullptr);
        opened += '|';
        opened += edit->text().toStdString();
        QTest::mouseClick(dialog.findChild<QPushButton*>("btn_OK"), Qt::LeftButton);
    });
    Click("btn_StartEditString");
    EXPECT_TRUE(driver.Ran());
    EXPECT_EQ(opened, "Start trigger:|A..");
    EXPECT_EQ(Window().GetStartTrigger(), (TTriggerSequence{'A', '.', '.'}));
    EXPECT_EQ(Find<QLabel>("lbl_StartTriggerHex")->text(), "41 2E 2E");
}

TEST_F(TriggerPagesTest, CancelledEditorsChangeNothing) {
    ShowStartTrigger({0x10, 0x20});
    ModalDriver hex([](QDialog& dialog) {
        EXPECT_EQ(dialog.windowTitle(), "Start");
        dialog.reject();
    });
    Click("btn_StartEditHEX");
    EXPECT_TRUE(hex.Ran());
    ModalDriver text([](QDialog& dialog) { dialog.reject(); });
    Click("btn_AddDTASCII");
    EXPECT_TRUE(text.Ran());
    EXPECT_EQ(Window().GetStartTrigger(), (TTriggerSequence{0x10, 0x20}));
    EXPECT_EQ(Window().GetDataTriggers().GetCount(), 0);
}

TEST_F(TriggerPagesTest, AnAddedStringTriggerIsAppendedAndResetsEveryCount) {
    ShowDataTriggers({{'x'}});
    Count(0, 4);
    Find<QSpinBox>("ud_DTSize")->setValue(2);
    std::string opened;
    ModalDriver driver([&](QDialog& dialog) {
        auto* edit = dialog.findChild<QLineEdit*>("Edit");
        ASSERT_NE(edit, nullptr);
        opened = dialog.windowTitle().toStdString() + "|" + edit->text().toStdString();
        edit->selectAll();
        QTest::keyClicks(edit, "OK");
        QTest::mouseClick(dialog.findChild<QPushButton*>("btn_OK"), Qt::LeftButton);
    });
    Click("btn_AddDTASCII");
    EXPECT_TRUE(driver.Ran());
    EXPECT_EQ(opened, "Data trigger:|..");
    TTriggerSequence added;
    ASSERT_TRUE(Window().GetDataTriggers().Get(1, added));
    EXPECT_EQ(added, (TTriggerSequence{'O', 'K'}));
    EXPECT_EQ(Cell(1, 0), "OK");
    EXPECT_EQ(Cell(0, 1), "0");
    EXPECT_EQ(Cell(1, 1), "0");
}

TEST_F(TriggerPagesTest, ShowAsRendersEachRowAndResetsTheCounts) {
    ShowDataTriggers({{0x41, 0x42}, {0x0D, 0x0A}});
    const struct {
        int Item;
        const char* Row0;
        const char* Row1;
    } table[] = {{1, "AB (41 42)", ".. (0D 0A)"}, {2, "41 42", "0D 0A"}, {0, "AB", ".."}};
    for (const auto& row : table) {
        Count(0, 7);
        EXPECT_EQ(Cell(0, 1), "7");
        Find<QRadioButton>(QStringLiteral("grp_DTShowAs_%1").arg(row.Item).toLatin1().constData())->click();
        EXPECT_EQ(Cell(0, 0), row.Row0);
        EXPECT_EQ(Cell(1, 0), row.Row1);
        EXPECT_EQ(Cell(0, 1), "0");
        EXPECT_EQ(Cell(1, 1), "0");
    }
}

TEST_F(TriggerPagesTest, RemovingKeepsTheOtherCountsAndTheGridKeepsOneRow) {
    ShowDataTriggers({{'a'}, {'b'}, {'c'}});
    Count(0, 1);
    Count(1, 2);
    Count(2, 3);
    SelectRow(1);
    Click("btn_RemoveSelDT");
    EXPECT_EQ(Window().GetDataTriggers().GetCount(), 2);
    auto* grid = Find<QTableWidget>("DTrgList");
    ASSERT_EQ(grid->rowCount(), 2);
    EXPECT_EQ(Cell(0, 0), "a");
    EXPECT_EQ(Cell(0, 1), "1");
    EXPECT_EQ(Cell(1, 0), "c");
    EXPECT_EQ(Cell(1, 1), "3");

    SelectRow(1);
    Click("btn_ResetSelDT");
    EXPECT_EQ(Cell(1, 1), "0");
    EXPECT_EQ(Cell(0, 1), "1");
    Click("btn_ResetAllDT");
    EXPECT_EQ(Cell(0, 1), "0");

    Click("btn_RemoveAllDT");
    EXPECT_EQ(Window().GetDataTriggers().GetCount(), 0);
    EXPECT_EQ(grid->rowCount(), 1);
    EXPECT_EQ(Cell(0, 0), "");
    Click("btn_RemoveAllDT");  // on an empty list
    Click("btn_RemoveSelDT");
    EXPECT_EQ(grid->rowCount(), 1);
    EXPECT_EQ(Cell(0, 0), "");
    Count(0, 1);  // no trigger, no count
    EXPECT_EQ(Cell(0, 1), "");
}

TEST_F(TriggerPagesTest, DeleteGridRowIgnoresRowsThatDoNotExist) {
    ShowDataTriggers({{'a'}, {'b'}});
    Window().DeleteGridRow(5);
    Window().DeleteGridRow(-1);
    EXPECT_EQ(Find<QTableWidget>("DTrgList")->rowCount(), 2);
    Window().DeleteGridRow(0);
    EXPECT_EQ(Find<QTableWidget>("DTrgList")->rowCount(), 1);
    EXPECT_EQ(Cell(0, 0), "b");
    EXPECT_EQ(Window().GetDataTriggers().GetCount(), 2);  // the grid only
}

TEST_F(TriggerPagesTest, NumberFieldsStepByKeyboardAndRefuseTyping) {
    auto* size = Find<QSpinBox>("ud_DTSize");
    auto* field = Find<QLineEdit>("ed_DTSize");
    EXPECT_TRUE(field->isReadOnly());
    QTest::keyClick(size, Qt::Key_Up);
    QTest::keyClick(size, Qt::Key_Up);
    EXPECT_EQ(size->value(), 3);
    QTest::keyClicks(field, "9");
    EXPECT_EQ(size->value(), 3);
}
