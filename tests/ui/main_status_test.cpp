// The main window's counters under a stream of status messages: a batch from the
// status pump shows the newest count of each kind and every data trigger match, in
// one update; a burst of counter totals rides on the message already queued.

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

// The window thread runs no event while the test posts, so the status pump hands at
// most one batch to it, and the queue of 100 fills as it would under a burst.
constexpr int BurstPosts = 250;

struct CounterCase {
    uint8_t kind;
    const char* label;
    const char* newest;
};

class MainWindowStatusBurstTest : public MainWindowStatusTest,
                                  public ::testing::WithParamInterface<CounterCase> {};

TEST_P(MainWindowStatusBurstTest, CounterTotalsOfABurstRideOnTheQueuedMessage) {
    const CounterCase& c = GetParam();
    for (int i = 1; i <= BurstPosts; ++i)
        ASSERT_TRUE(Window().PostStatus(c.kind, "", i, 10.0 * i, 2)) << "post " << i;
    EXPECT_EQ(Window().DroppedStatusMessages(), 0U);
    ASSERT_TRUE(QTest::qWaitFor([&] { return Label(c.label) == c.newest; }, WaitMs)) << Label(c.label).toStdString();
}

INSTANTIATE_TEST_SUITE_P(Kinds, MainWindowStatusBurstTest,
                         ::testing::Values(CounterCase{0, "lbl_TotalBytes", "2500"},
                                           CounterCase{1, "lbl_BytesThrown", "2500"},
                                           CounterCase{2, "lbl_StartTriggers", "250 (2500 bytes)"},
                                           CounterCase{3, "lbl_StopTriggers", "250 (2500 bytes)"},
                                           CounterCase{4, "lbl_DataPackets", "250 (2500 bytes)"}),
                         [](const auto& kind) { return std::string(kind.param.label); });

TEST_F(MainWindowStatusTest, EveryAcceptedMatchOfABurstCountsOnceAndTheRestAreDropped) {
    ZLoggerSettings settings;
    settings.DataTriggers.Add(std::vector<int32_t>{'A'});
    settings.DataTriggers.Add(std::vector<int32_t>{'B'});
    Window().ShowSettings(settings);
    int accepted = 0;
    for (int i = 0; i < BurstPosts; ++i) accepted += Window().PostStatus(5, "", 1, 0, 2) ? 1 : 0;
    // A full queue refuses until it has drained: at most 100 queued and one batch in hand.
    EXPECT_LE(accepted, 200);
    EXPECT_EQ(Window().DroppedStatusMessages(), static_cast<uint32_t>(BurstPosts - accepted));
    const QString expected = QString::number(accepted);
    ASSERT_TRUE(QTest::qWaitFor([&] { return Matches(1) == expected; }, WaitMs)) << Matches(1).toStdString();
    EXPECT_EQ(Matches(0), "0");
}

}  // namespace
