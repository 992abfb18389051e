// The pages "Frame trigger settings" and "Data triggers": trigger sizes, the limits
// of the length field, the editors, and the grid of data triggers with its counts.

#include <QAccessible>
#include <QButtonGroup>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTest>

#include "MainWindowTestSupport.h"
#include "ZGeneralPage.h"

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
    EXPECT_EQ(Find<QLabel>("lbl_StartTriggerHex")->text(), "0A 1E ?? ??");
    EXPECT_EQ(Find<QLabel>("lbl_StartTriggerHex")->toolTip(), "0A 1E ?? ??");
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
    EXPECT_EQ(Find<QLabel>("lbl_StopTriggerHex")->text(), "?? ?? ??");
    EXPECT_EQ(Find<QLabel>("lbl_StopTriggerString")->text(), "...");
    EXPECT_TRUE(Window().GetStartTrigger().empty());
}

// The trigger editors a capture mode does without are not offered; another mode, chosen
// on the General page or shown from settings, offers them again.
TEST_F(TriggerPagesTest, TheTriggerEditorsFollowTheCaptureMode) {
    const struct {
        uint8_t Mode;
        bool FromSettings;  // else clicked on the General page
        bool Start, Stop;   // offered
    } steps[] = {{cmUntilStopTrigger, false, false, true}, {cmSlip, false, false, false},
                 {cmBetweenTriggers, false, true, true},   {cmCobs, true, false, false},
                 {cmAllBytes, true, true, true},           {cmUntilStopTrigger, true, false, true}};
    for (const auto& step : steps) {
        if (step.FromSettings) {
            ZLoggerSettings settings;
            settings.CaptureMode = step.Mode;
            Window().ShowSettings(settings);
        } else {
            Click(("grp_CaptureMode_" + std::to_string(ZGeneralPage::ModeToItem(step.Mode))).c_str());
        }
        ASSERT_EQ(Window().CollectSettings().CaptureMode, step.Mode);
        EXPECT_EQ(Find<QWidget>("btn_StartEditHEX")->isEnabled(), step.Start) << "mode " << int(step.Mode);
        EXPECT_EQ(Find<QWidget>("btn_StopEditHEX")->isEnabled(), step.Stop) << "mode " << int(step.Mode);
    }
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

TEST_F(TriggerPagesTest, OkWithoutAChangeGivesBackTheSameTrigger) {
    // The hex editor's cells are each opened and confirmed as shown.
    const struct {
        const char* Button;
        bool Start;
        TTriggerSequence Trigger;
        const char* Opened;
    } cases[] = {
        {"btn_StartEditString", true, {0x7E, 0xA5, AnyByte}, "Start trigger:|~.."},
        {"btn_StartEditString", true, {'A', AnyByte, 0x0D, -28}, "Start trigger:|A..."},
        {"btn_StopEditString", false, {0x0D, 0x0A, 266}, "Stop trigger:|..."},
        {"btn_StartEditHEX",
         true,
         {0x7E, 0xA5, AnyByte, -28, 266},
         "Start trigger \u2014 HEX editor|7E A5 ?? E4 0A"},
        {"btn_StopEditHEX", false, {-1, 0x100 + 0x41}, "Stop trigger \u2014 HEX editor|FF 41"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Button);
        ZLoggerSettings settings;
        (c.Start ? settings.TriggerStart : settings.TriggerStop) = c.Trigger;
        Window().ShowSettings(settings);
        const QString hexLabel = Find<QLabel>(c.Start ? "lbl_StartTriggerHex" : "lbl_StopTriggerHex")->text();
        std::string opened;
        size_t confirmed = 0;
        ModalDriver driver([&](QDialog& dialog) {
            opened = dialog.windowTitle().toStdString() + "|";
            if (auto* edit = dialog.findChild<QLineEdit*>("Edit"))
                opened += edit->displayText().toStdString();
            if (auto* grid = dialog.findChild<QTableWidget*>("Grid")) {
                for (int row = 0; row < grid->rowCount(); ++row) {
                    grid->setCurrentCell(row, 1);
                    if (row) opened += ' ';
                    opened += grid->item(row, 1)->text().toStdString();
                    QTest::keyClick(grid, Qt::Key_F2);
                    for (QLineEdit* cellEditor : grid->viewport()->findChildren<QLineEdit*>())
                        if (cellEditor->isVisible()) {
                            QTest::keyClick(cellEditor, Qt::Key_Return);
                            ++confirmed;
                        }
                }
            }
            QTest::mouseClick(dialog.findChild<QPushButton*>("btn_OK"), Qt::LeftButton);
        });
        Click(c.Button);
        EXPECT_TRUE(driver.Ran());
        EXPECT_EQ(opened, c.Opened);
        EXPECT_EQ(confirmed, std::string(c.Button).ends_with("HEX") ? c.Trigger.size() : 0);
        EXPECT_EQ(c.Start ? Window().GetStartTrigger() : Window().GetStopTrigger(), c.Trigger);
        EXPECT_EQ(Find<QLabel>(c.Start ? "lbl_StartTriggerHex" : "lbl_StopTriggerHex")->text(), hexLabel);
    }
}

TEST_F(TriggerPagesTest, CancelledEditorsChangeNothing) {
    ShowStartTrigger({0x10, 0x20});
    ModalDriver hex([](QDialog& dialog) {
        EXPECT_EQ(dialog.windowTitle(), "Start trigger \u2014 HEX editor");
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
        opened = dialog.windowTitle().toStdString() + "|" + edit->displayText().toStdString();
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
    ShowDataTriggers({{0x41, 0x42}, {0x0D, AnyByte}});
    const struct {
        int Item;
        const char* Row0;
        const char* Row1;
    } table[] = {{1, "AB (41 42)", ".. (0D ?\?)"}, {2, "41 42", "0D ??"}, {0, "AB", ".."}};
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

TEST_F(TriggerPagesTest, EveryNumberFieldTakesTypedDigits) {
    // A number beyond the range is refused at the digit that would leave it.
    ShowStartTrigger(TTriggerSequence(10, 0x41));
    const struct {
        const char* Spin;
        const char* Field;
        const char* Typed;
        int Value;
    } cases[] = {
        {"ud_DTSize", "ed_DTSize", "64", 64},
        {"ud_DTSize", "ed_DTSize", "300", 300},
        {"ud_DTSize", "ed_DTSize", "301", 30},
        {"ud_DTSize", "ed_DTSize", "x7", 7},
        {"ud_StartTriggerSize", "ed_StartTriggerSize", "12", 12},
        {"ud_StopTriggerSize", "ed_StopTriggerSize", "7", 7},
        {"ud_FixedDataSize", "ed_FixedDataSize", "250", 250},
        {"ud_DataSizeStart", "ed_DataSizeStart", "4", 4},
        {"ud_DataSizeWidth", "ed_DataSizeWidth", "3", 3},
        {"ud_LengthAdjust", "ed_LengthAdjust", "-5", -5},
        {"ud_ChecksumSkipStart", "ed_ChecksumSkipStart", "17", 17},
        {"ud_ChecksumGap", "ed_ChecksumGap", "2", 2},
        {"ud_ChecksumSkipEnd", "ed_ChecksumSkipEnd", "9", 9},
    };
    for (const auto& c : cases) {
        auto* spin = Find<QSpinBox>(c.Spin);
        auto* field = Find<QLineEdit>(c.Field);
        spin->setValue(1);
        field->selectAll();
        QTest::keyClicks(field, c.Typed);
        QTest::keyClick(field, Qt::Key_Return);
        EXPECT_EQ(spin->value(), c.Value) << c.Spin << " " << c.Typed;
        EXPECT_FALSE(field->isReadOnly()) << c.Field;
    }
    auto* size = Find<QSpinBox>("ud_DTSize");
    size->setValue(7);
    QTest::keyClick(size, Qt::Key_Up);
    EXPECT_EQ(size->value(), 8);
}

TEST_F(TriggerPagesTest, AScreenReaderReadsTheTriggersAndTheCounts) {
    ShowStartTrigger({0x41, AnyByte, 0x0D});
    ZLoggerSettings settings = Window().CollectSettings();
    settings.TriggerStop = {0x7E};
    settings.DataTriggers.Add({'a'});
    settings.DataTriggers.Add({'b'});
    Window().ShowSettings(settings);
    Count(1, 7);
    const struct {
        const char* Label;
        const char* Value;
        const char* Caption;
    } labels[] = {
        {"lbl_StartTriggerHex", "41 ?? 0D", "HEX:"},
        {"lbl_StartTriggerString", "A..", "String:"},
        {"lbl_StopTriggerHex", "7E", "HEX:"},
        {"lbl_StopTriggerString", "~", "String:"},
    };
    for (const auto& l : labels) {
        SCOPED_TRACE(l.Label);
        QAccessibleInterface* label = QAccessible::queryAccessibleInterface(Find<QLabel>(l.Label));
        ASSERT_NE(label, nullptr);
        EXPECT_EQ(label->text(QAccessible::Name).toStdString(), l.Value);
        // Labelled by its caption (and by its group's title, as Qt adds).
        QStringList captions;
        for (const auto& [other, relation] : label->relations(QAccessible::Label))
            captions << other->text(QAccessible::Name);
        EXPECT_TRUE(captions.contains(l.Caption)) << captions.join(u'|').toStdString();
    }
    QAccessibleInterface* grid = QAccessible::queryAccessibleInterface(Find<QTableWidget>("DTrgList"));
    ASSERT_NE(grid, nullptr);
    ASSERT_NE(grid->tableInterface(), nullptr);
    const char* cells[2][2] = {{"a", "0"}, {"b", "7"}};
    for (int row = 0; row < 2; ++row)
        for (int column = 0; column < 2; ++column) {
            QAccessibleInterface* cell = grid->tableInterface()->cellAt(row, column);
            ASSERT_NE(cell, nullptr);
            EXPECT_EQ(cell->text(QAccessible::Name).toStdString(), cells[row][column])
                << row << "," << column;
        }
}
