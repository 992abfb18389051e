// The main window's "Fields" page: cells checked as they are committed, the rows'
// buttons, trying the fields, and the fields through a settings file.

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>

#include "MainWindowTestSupport.h"
#include "Tfrm_Log.h"
#include "ZFieldsPage.h"
#include "ZLogger.h"
#include "ZULIniFile.h"

using namespace maintest;

namespace {

ZFieldDefinition Field(const char* name, TFieldType type, int32_t offsetOrIndex) {
    ZFieldDefinition field;
    field.Name = name;
    field.Type = type;
    (type == ftText ? field.HasIndex : field.HasOffset) = true;
    (type == ftText ? field.Index : field.Offset) = offsetOrIndex;
    return field;
}

class FieldsPageTest : public MainWindowTest {
protected:
    QTableWidget* Grid() { return Find<QTableWidget>("grd_Fields"); }
    QString Cell(int row, int column) { return Grid()->item(row, column)->text(); }
    void Show(const ZFieldList& fields) {
        ZLoggerSettings settings;
        settings.Fields = fields;
        Window().ShowSettings(settings);
    }
    // Commits text into a cell as the editor does, then lets a refusal's box come.
    void Commit(int row, int column, const QString& text) {
        Grid()->item(row, column)->setText(text);
        QCoreApplication::sendPostedEvents();
    }
};

TEST_F(FieldsPageTest, ACellIsCheckedAsItIsCommittedAndARefusedOneKeepsItsValue) {
    ZFieldList fields;
    fields.Items = {Field("temperature", ftI16, 4), Field("altitude", ftText, 9)};
    const struct {
        int Row, Column;
        const char* Typed;
        const char* Shown;
        const char* Box;       // "": taken
        int OtherColumn = -1;  // a cell the change fills in or empties
        const char* Other = "";
    } table[] = {
        {0, 2, " -3 ", "-3", ""},
        {1, 0, "temperature", "altitude",
         "Name_1 \"temperature\" is the name of field 0 too: every field needs a name of its own"},
        {0, 4, "12,8", "", "Bits_0 \"12,8\" lies outside the 16 bits of type i16"},
        {0, 3, "LSB first", "LSB first", ""},
        {0, 1, "text", "text", "", 10, "0"},
        {1, 1, "f32", "f32", "", 2, "0"},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.Typed);
        Show(fields);
        boxes_.clear();
        Commit(row.Row, row.Column, QString::fromUtf8(row.Typed));
        EXPECT_EQ(Cell(row.Row, row.Column), QString::fromUtf8(row.Shown));
        if (row.OtherColumn >= 0) {
            EXPECT_EQ(Cell(row.Row, row.OtherColumn), row.Other);
        }
        EXPECT_EQ(boxes_.empty() ? QString() : boxes_[0].Text, row.Box);
        EXPECT_EQ(Window().CollectSettings().Fields == fields, *row.Box != '\0')
            << "a refusal changes nothing";
    }
    // A screen reader hears the column with the value, and why a cell is empty.
    EXPECT_EQ(Grid()->item(0, 2)->data(Qt::AccessibleTextRole).toString(), "Offset: 4");
    EXPECT_EQ(Grid()->item(0, 10)->data(Qt::AccessibleTextRole).toString(), "Index: not read by type i16");
    EXPECT_EQ(Grid()->item(0, 7)->data(Qt::AccessibleTextRole).toString(), "Unit: not set");
}

TEST_F(FieldsPageTest, FieldsAreAddedRemovedAndMovedAndLockedWhileCapturing) {
    const struct {
        const char* Button;
        const char* Names;
    } steps[] = {
        {"btn_RemoveField", ""},  // nothing to remove
        {"btn_AddField", "field1"},
        {"btn_AddField", "field1,field2"},
        {"btn_FieldDown", "field1,field2"},  // the last one stays last
        {"btn_FieldUp", "field2,field1"},
        {"btn_FieldUp", "field2,field1"},  // the first one stays first
        {"btn_RemoveField", "field1"},     // the selected one goes
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.Button);
        Click(step.Button);
        QStringList names;
        for (int row = 0; row < Grid()->rowCount(); ++row) names << Cell(row, 0);
        EXPECT_EQ(names.join(u','), step.Names);
    }
    ZFieldList full;
    for (size_t i = 0; i < ZFieldList::MaxFields; ++i)
        full.Items.push_back(Field(("f" + std::to_string(i)).c_str(), ftU8, 0));
    Show(full);
    Click("btn_AddField");
    EXPECT_EQ(boxes_,
              std::vector<Box>{ErrorBox("257 fields are more than the 256 a settings file may define")});
    EXPECT_EQ(Grid()->rowCount(), 256);
    for (const bool running : {true, false}) {
        Window().SetCaptureState(running);
        EXPECT_EQ(Grid()->editTriggers() == QAbstractItemView::NoEditTriggers, running);
        EXPECT_EQ(Find<QCheckBox>("chk_LogFields")->isEnabled(), !running);
    }
}

TEST_F(FieldsPageTest, TryingShowsEachValueOrWhyItIsAbsent) {
    ZFieldList fields;
    fields.Items = {Field("temperature", ftU8, 0), Field("count", ftU16, -2), Field("altitude", ftText, 1)};
    fields.Items[0].Scale = 0.5;
    fields.Items[0].Add = 7.5;
    fields.Items[0].Unit = "\u00B0C";
    fields.Items[2].Prefix = "A=";
    Show(fields);
    Tfrm_Log log;
    Window().SetCaptureWindow(&log, &log);
    const struct {
        const char* Button;
        const char* Typed;
        const char* Label;
        const char* Values;     // name=shown, ...
        bool Received = false;  // the capture window has received blocks before
    } table[] = {
        {"btn_TryLastFrame", "", "The capture window has received no data block yet.", ""},
        {"btn_TryBytes", " ", "Type the bytes of a data block in HEX first.", ""},
        {"btn_TryBytes", "4G", "\"G\" at position 2 is not a HEX digit (0-9, A-F).", ""},
        {"btn_TryBytes", "30 00 05", "Tried on a data block of 3 bytes:",
         "temperature=31.5 \u00B0C,count=5,altitude=the data block of 3 bytes has 1 token, none with index "
         "1"},
        // The newest data block whose checksum is right ("A,A=12.5"); a wrong one is never decoded.
        {"btn_TryLastFrame", "",
         "Tried on a data block of 8 bytes:", "temperature=40 \u00B0C,count=11829,altitude=12.5", true},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.Typed);
        if (row.Received) {
            const uint8_t good[] = {0x41, 0x2C, 0x41, 0x3D, 0x31, 0x32, 0x2E, 0x35}, bad[] = {0x10};
            log.AddBlock(sBlock{0, good, 8, bkData, fvGood});
            log.AddBlock(sBlock{0, bad, 1, bkData, fvBad});
            std::vector<uint8_t> last;
            ASSERT_TRUE(QTest::qWaitFor([&] { return log.LastDataBlock(last); }, 10000));
        }
        Find<QLineEdit>("ed_TryBytes")->setText(row.Typed);
        Click(row.Button);
        EXPECT_EQ(Find<QLabel>("lbl_TryResult")->text(), row.Label);
        auto* result = Find<QTableWidget>("grd_TryResult");
        QStringList values;
        for (int r = 0; r < result->rowCount(); ++r)
            values << result->item(r, 0)->text() + u'=' + result->item(r, 1)->text();
        EXPECT_EQ(values.join(u','), QString::fromUtf8(row.Values));
    }
    window_.reset();  // the engine goes before the capture window it feeds
}

TEST_F(FieldsPageTest, TheFieldsGoThroughASettingsFileAndARefusedFileChangesNothing) {
    Click("btn_AddField");
    const struct {
        int Column;
        const char* Typed;
    } cells[] = {{0, "temperature"}, {1, "i16"}, {2, "4"}, {5, "0.1"}, {7, "\u00B0C"}};
    for (const auto& cell : cells) Grid()->item(0, cell.Column)->setText(QString::fromUtf8(cell.Typed));
    Find<QCheckBox>("chk_CsvRecording")->setChecked(true);
    ASSERT_TRUE(Find<QCheckBox>("chk_LogFields")->isChecked());
    Find<QCheckBox>("chk_LogFields")->setChecked(false);
    ZLogger& engine = *Window().GetLogger();
    engine.SetBaudrate(4800);
    const std::string good = Home() + "good.scs", bad = Home() + "bad.scs";
    ZFileDialog::SetNextAnswer(QString::fromStdString(good));
    Click("btn_SaveSettings");
    const ZFieldList saved = Window().CollectSettings().Fields;
    EXPECT_FALSE(saved.LogFields);
    ZULIniFile file(good);
    EXPECT_EQ(file.ReadString("_fields", "LogFields", ""), "0");
    file.WriteString("_fields", "Type_0", "u9");
    ASSERT_TRUE(file.UpdateFile(bad));
    Click("btn_RemoveField");
    Find<QCheckBox>("chk_CsvRecording")->setChecked(false);
    Find<QCheckBox>("chk_LogFields")->setChecked(true);
    engine.SetBaudrate(9600);

    EXPECT_FALSE(Window().LoadSettingsFile(bad));
    EXPECT_EQ(boxes_,
              std::vector<Box>{ErrorBox(
                  "The settings in file \"bad.scs\" cannot be used: Type_0 \"u9\" is no field type: the "
                  "types are u8, i8, u16, i16, u24, i24, u32, i32, u64, i64, f32, f64 or text")});
    EXPECT_EQ(Grid()->rowCount(), 0);
    EXPECT_FALSE(Find<QCheckBox>("chk_CsvRecording")->isChecked());
    EXPECT_EQ(engine.GetBaudrate(), 9600);

    EXPECT_TRUE(Window().LoadSettingsFile(good));
    EXPECT_EQ(Window().CollectSettings().Fields, saved);
    EXPECT_TRUE(Find<QCheckBox>("chk_CsvRecording")->isChecked());
    EXPECT_FALSE(Find<QCheckBox>("chk_LogFields")->isChecked());
    EXPECT_EQ(engine.GetBaudrate(), 4800);
}

}  // namespace
