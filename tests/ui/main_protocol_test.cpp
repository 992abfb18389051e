// The Wireshark capture's protocol on the page "General": a name typed and checked,
// or chosen from the dissectors the installed tshark lists.

#include <stdlib.h>

#include <QComboBox>
#include <QLineEdit>
#include <QTest>

#include "MainWindowTestSupport.h"
#include "ZLogger.h"

using namespace maintest;

namespace {

class ProtocolFieldTest : public MainWindowTest {};

TEST_F(ProtocolFieldTest, ATypedNameIsCheckedWhenCommittedAndTheFieldShowsTheNameInUse) {
    const char* const refused =
        "This is not a protocol name Wireshark can decode by: \"%1\" (1 to 64 letters, digits, '.', '_' or "
        "'-', e.g. \"mbrtu\")";
    const std::string tooLong(65, 'x');
    const struct {
        std::string Typed;
        bool ByStart;       // committed by "Start capture", else by Enter
        bool Refused;       // an error box naming the text
        const char* InUse;  // afterwards
    } rows[] = {
        {"mbrtu", false, false, "mbrtu"},    {"bad name!", false, true, "mbrtu"},
        {"", false, false, "mbrtu"},         {"  udp.port-1  ", false, false, "udp.port-1"},
        {tooLong, true, true, "udp.port-1"},
    };
    auto* field = Find<QComboBox>("cb_PcapProtocol");
    EXPECT_EQ(field->currentText(), "data");
    for (const auto& row : rows) {
        SCOPED_TRACE(row.Typed);
        field->lineEdit()->selectAll();
        QTest::keyClicks(field->lineEdit(), QString::fromStdString(row.Typed));
        if (row.ByStart)
            Click("btn_StartCapture");
        else
            QTest::keyClick(field->lineEdit(), Qt::Key_Return);
        const QString text = QString::fromLatin1(refused).arg(QString::fromStdString(row.Typed));
        std::vector<Box> expected;
        if (row.Refused) expected.push_back({ZMessageBox::Kind::Error, text});
        EXPECT_EQ(boxes_, expected);
        EXPECT_EQ(field->currentText(), row.InUse);
        EXPECT_EQ(Window().CollectSettings().Frames.PcapProtocol, row.InUse);
        EXPECT_FALSE(Window().GetLogger()->IsCapturing());
        boxes_.clear();
    }
}

// The list is asked of tshark when first opened; without tshark the field says so and
// takes typed names alone.
TEST_F(ProtocolFieldTest, TheListHoldsWhatTsharkNamesAndTheFieldStillTakesAnyName) {
    const std::string path = getenv("PATH") != nullptr ? getenv("PATH") : "";
    const struct {
        const char* Name;
        const char* Path;  // null: as it is
        bool Listed;
    } rows[] = {{"tshark installed", nullptr, true}, {"no tshark on the PATH", "/nonexistent", false}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.Name);
        window_.reset();
        auto* field = Find<QComboBox>("cb_PcapProtocol");
        const QString hint = field->toolTip();
        if (row.Path != nullptr) setenv("PATH", row.Path, 1);
        field->showPopup();
        // The answer comes back to the window thread, which handles the PATH alone again.
        const bool answered =
            QTest::qWaitFor([&] { return field->count() > 1 || field->toolTip() != hint; }, 60000);
        setenv("PATH", path.c_str(), 1);
        field->hidePopup();
        ASSERT_TRUE(answered);
        EXPECT_EQ(field->findText("mbrtu") >= 0, row.Listed);
        EXPECT_EQ(field->toolTip() == hint, row.Listed) << field->toolTip().toStdString();
        EXPECT_EQ(field->currentText(), "data");
        if (row.Listed) {
            field->setCurrentIndex(field->findText("mbrtu"));
            EXPECT_EQ(Window().CollectSettings().Frames.PcapProtocol, "mbrtu");
        }
    }
}

}  // namespace
