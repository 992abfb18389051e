// The main window's counters under a stream of status messages: a batch from the
// status pump shows the newest count of each kind and every data trigger match, in
// one update.

#include <QLabel>
#include <QTableWidget>
#include <QTest>
#include <memory>
#include <vector>

#include "MainWindowTestSupport.h"

using maintest::MainWindowTest;

namespace {

constexpr int WaitMs = 20000;

class MainWindowStatusTest : public MainWindowTest {
protected:
    struct Message {
        uint8_t Kind;
        double Count, Total;
    };
    void Arrive(std::initializer_list<Message> messages) {
        std::vector<std::unique_ptr<sStatusMsg>> batch;
        for (const Message& m : messages) {
            batch.push_back(std::make_unique<sStatusMsg>());
            *batch.back() = {m.Kind, "", m.Count, m.Total};
        }
        Window().StatusBatchArrived(batch);
    }
    QString Label(const char* name) { return Find<QLabel>(name)->text(); }
    QString Matches(int row) { return Find<QTableWidget>("DTrgList")->item(row, 1)->text(); }
};

TEST_F(MainWindowStatusTest, ABatchShowsTheNewestCountOfEachKindAndEveryMatchInOneUpdate) {
    ZLoggerSettings settings;
    settings.DataTriggers.Add(std::vector<int32_t>{'A'});
    settings.DataTriggers.Add(std::vector<int32_t>{'B'});
    Window().ShowSettings(settings);

    Arrive({{0, 0, 100},
            {2, 1, 3},
            {5, 1, 0},
            {0, 0, 250},
            {5, 1, 0},
            {4, 1, 5},
            {5, 0, 0},
            {2, 2, 6},
            {6, 1, 999},
            {5, 7, 0},
            {5, -1, 0},
            {1, 0, 9},
            {3, 1, 2},
            {0, 0, 260}});
    struct Shown {
        const char* label;
        const char* before;
        const char* after;
    };
    const Shown shown[] = {
        {"lbl_TotalBytes", "0", "260"},
        {"lbl_BytesThrown", "0", "9"},
        {"lbl_StartTriggers", "0", "2 (6 bytes)"},
        {"lbl_StopTriggers", "0", "1 (2 bytes)"},
        {"lbl_DataPackets", "0", "1 (5 bytes)"},
    };
    for (const Shown& s : shown) EXPECT_EQ(Label(s.label), s.before) << s.label << ": not before the update";
    EXPECT_EQ(Matches(1), "0");
    Window().ShowPendingStatus();
    for (const Shown& s : shown) EXPECT_EQ(Label(s.label), s.after) << s.label;
    EXPECT_EQ(Matches(0), "1");
    EXPECT_EQ(Matches(1), "2");

    // Shown once: a second update adds nothing, and the next batch comes by the timer.
    Window().ShowPendingStatus();
    EXPECT_EQ(Matches(1), "2");
    Arrive({{5, 1, 0}, {0, 0, 300}, {5, 1, 0}});
    ASSERT_TRUE(QTest::qWaitFor([&] { return Label("lbl_TotalBytes") == "300"; }, WaitMs));
    EXPECT_EQ(Matches(1), "4");
    EXPECT_EQ(Matches(0), "1");
}

}  // namespace
