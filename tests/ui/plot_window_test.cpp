// "Open recording..." and the plot window on a replay: the values of a timed recording
// reach the plot at their recorded times and its strips' accessible descriptions;
// recordings that cannot be replayed are refused with a box that says why.

#include <gtest/gtest.h>

#include <QAccessible>
#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QListWidget>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "MainWindowTestSupport.h"
#include "Tfrm_Plot.h"
#include "ZPcapngWriter.h"
#include "ZULDateTime.h"
#include "qcustomplot.h"

namespace {

using maintest::Box;
using maintest::ErrorBox;

constexpr int64_t RecordedUs = 1'700'000'000'000'000;  // a time far from the test's own

class PlotWindowTest : public maintest::MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        ASSERT_TRUE(Window().LoadSettingsFile(QStringLiteral(KESTRUN_SAMPLES_DIR "/demo_dynamic.scs")));
    }

    // A timed recording of the demonstration device's reports, one every stepUs.
    std::string WriteTimedRecording(const std::vector<std::string>& reports, int64_t stepUs = 1'000'000) {
        const std::string path = Home() + "run.pcapng";
        ZPcapngWriter writer;
        std::string errorText;
        EXPECT_TRUE(writer.Create(path, ZPcapngWriter::LinkTypeUser0, "COM99", "test", errorText)) << errorText;
        int64_t timeUs = RecordedUs;
        for (const std::string& report : reports) {
            std::vector<uint8_t> bytes = {0x7E, 0xA5, static_cast<uint8_t>(report.size())};
            bytes.insert(bytes.end(), report.begin(), report.end());
            ZPcapngWriter::Packet packet{timeUs, bytes.data(), static_cast<uint32_t>(bytes.size()), ZPcapngWriter::FlagInbound, ""};
            EXPECT_TRUE(writer.Write(packet));
            timeUs += stepUs;
        }
        EXPECT_TRUE(writer.Close(errorText)) << errorText;
        return path;
    }

    bool ReplayAndWait(const std::string& path) {
        if (!Window().OpenRecording(QString::fromStdString(path))) return false;
        return QTest::qWaitFor([this] { return !Window().IsReplaying(); }, 60000);
    }
};

TEST_F(PlotWindowTest, ATimedRecordingFillsThePlotAtItsTimesAndItsDescriptionsWithoutLogFiles) {
    const std::string path =
        WriteTimedRecording({"#000001 T=29.8 OK", "#000002 T=33.1 OK", "#000003 T=31.5 ALARM", "#000004 OK"});
    Window().ShowPlotWindow();
    ASSERT_TRUE(ReplayAndWait(path));
    EXPECT_TRUE(boxes_.empty()) << boxes_.front();
    EXPECT_EQ(Find<QLabel>("lbl_DataPackets")->text().left(2), QStringLiteral("4 "));

    Tfrm_Plot& plot = *Window().GetPlotWindow();
    EXPECT_EQ(plot.Model().NewestUs(), RecordedUs + 3'000'000);
    ASSERT_EQ(plot.Model().FieldCount(), 2);
    EXPECT_EQ(plot.Model().Series(1).Count(), 4u) << "three values and the gap of the fourth report";
    QString descriptions;
    for (QCustomPlot* strip : plot.findChildren<QCustomPlot*>())
        descriptions += QAccessible::queryAccessibleInterface(strip)->text(QAccessible::Description) + u'|';
    EXPECT_TRUE(descriptions.contains(
        QStringLiteral("temperature: last 31.5 \u00B0C, minimum 29.8, maximum 33.1 over the last 10 s")))
        << descriptions.toStdString();
    EXPECT_TRUE(descriptions.contains(QStringLiteral("report: last 4, minimum 1, maximum 4 over the last 10 s")))
        << descriptions.toStdString();
    EXPECT_FALSE(std::filesystem::exists(Home() + "std_log_out") &&
                 !std::filesystem::is_empty(Home() + "std_log_out"))
        << "a replay writes no log files unless asked";
    EXPECT_TRUE(Find<QPushButton>("btn_StartCapture")->isEnabled());
}

TEST_F(PlotWindowTest, TheYRangeOfTheSelectedFieldIsFixedFromTheWindowAndSavedWithTheView) {
    using Ranges = std::vector<ZViewSettings::sPlotRange>;
    const struct {
        const char* Name;
        Ranges Stored;
        int Row;
        bool Fixed;
        double Min, Max;
        Ranges Saved;
    } rows[] = {
        {"fixed from the window", {}, 1, true, 10, 40, {{1, 10, 40}}},
        {"automatic again", {{1, 10, 40}}, 1, false, 0, 0, {}},
        {"bounds out of order keep the stored range", {{1, 10, 40}}, 1, true, 50, 40, {{1, 10, 40}}},
        {"another field's range kept, in field order", {{1, 10, 40}}, 0, true, -1.5, 1, {{0, -1.5, 1}, {1, 10, 40}}},
    };
    Window().ShowPlotWindow();
    Tfrm_Plot& plot = *Window().GetPlotWindow();
    auto* fields = plot.findChild<QListWidget*>(QStringLiteral("lst_Fields"));
    auto* fixed = plot.findChild<QCheckBox*>(QStringLiteral("chk_FixedRange"));
    auto* min = plot.findChild<QDoubleSpinBox*>(QStringLiteral("ud_RangeMin"));
    auto* max = plot.findChild<QDoubleSpinBox*>(QStringLiteral("ud_RangeMax"));
    ASSERT_TRUE(fields && fixed && min && max);
    for (const auto& row : rows) {
        ZViewSettings view;
        view.PlotRanges = row.Stored;
        plot.SetViewSettings(view);
        fields->setCurrentRow(row.Row);
        EXPECT_EQ(fixed->isChecked(), row.Stored.size() == 1 && row.Stored[0].Field == row.Row) << row.Name;
        if (row.Fixed) {
            min->setValue(row.Min);
            max->setValue(row.Max);
        }
        fixed->setChecked(row.Fixed);
        ZViewSettings saved;
        plot.CollectViewSettings(saved);
        EXPECT_EQ(saved.PlotRanges, row.Saved) << row.Name;
    }
    int checked = 0;
    for (QCustomPlot* strip : plot.findChildren<QCustomPlot*>()) {
        if (strip->accessibleName() != QStringLiteral("temperature")) continue;
        ++checked;
        EXPECT_EQ(strip->yAxis->range().lower, 10) << "the strip draws the fixed range of its field";
        EXPECT_EQ(strip->yAxis->range().upper, 40);
    }
    EXPECT_EQ(checked, 1);
}

TEST_F(PlotWindowTest, ARecordingThatCannotBeReplayedIsRefusedWithTheReason) {
    const std::string folder = Home() + "folder.bin";
    std::filesystem::create_directory(folder);
    const std::string cut = Home() + "cut.pcapng";
    std::ofstream(cut) << "not a capture";
    const struct {
        const char* Name;
        std::string Path;
        std::string Box;
    } rows[] = {
        {"missing", Home() + "gone.bin", "File not found: \"" + Home() + "gone.bin\""},
        {"a folder", folder,
         "File could not be read: \"" + folder + "\": it is a folder, and a recording must be a regular file"},
        {"not pcapng", cut, ""},
    };
    for (const auto& row : rows) {
        boxes_.clear();
        EXPECT_FALSE(Window().OpenRecording(QString::fromStdString(row.Path))) << row.Name;
        ASSERT_EQ(boxes_.size(), 1u) << row.Name;
        EXPECT_EQ(boxes_[0].Kind, ZMessageBox::Kind::Error) << row.Name;
        if (!row.Box.empty()) {
            EXPECT_EQ(boxes_[0].Text.toStdString(), row.Box) << row.Name;
        }
        EXPECT_TRUE(boxes_[0].Text.contains(QString::fromStdString(row.Path))) << row.Name;
        EXPECT_FALSE(Window().IsReplaying()) << row.Name;
        EXPECT_TRUE(Find<QPushButton>("btn_StartCapture")->isEnabled()) << row.Name;
    }
}

TEST_F(PlotWindowTest, StopEndsAReplayAtRecordedSpeedAndNothingElseStartsMeanwhile) {
    constexpr int64_t Hour = 3600LL * 1'000'000;
    const std::string path = WriteTimedRecording({"#000001 T=20.0", "#000002 T=21.0"}, Hour);
    Find<QCheckBox>("chk_RecordedSpeed")->setChecked(true);
    ASSERT_TRUE(Window().OpenRecording(QString::fromStdString(path)));
    auto* start = Find<QPushButton>("btn_StartCapture");
    EXPECT_FALSE(start->isEnabled());
    EXPECT_EQ(start->toolTip(), QStringLiteral("A recording is being replayed: stop the replay first."));
    EXPECT_FALSE(Window().OpenRecording(QString::fromStdString(path))) << "a second replay at once";
    // The first report is plotted; the second is an hour away.
    const auto firstPlotted = [this] { return Window().GetPlotWindow()->Model().NewestUs() >= RecordedUs; };
    ASSERT_TRUE(QTest::qWaitFor(firstPlotted, 60000));
    Click("btn_StopReplay");
    ASSERT_TRUE(QTest::qWaitFor([this] { return !Window().IsReplaying(); }, 60000));
    EXPECT_TRUE(boxes_.empty()) << boxes_.front();
    EXPECT_TRUE(start->isEnabled());
    EXPECT_TRUE(start->toolTip().isEmpty());
    EXPECT_LT(Window().GetPlotWindow()->Model().NewestUs(), RecordedUs + Hour) << "the report an hour later";
}

}  // namespace
