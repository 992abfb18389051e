#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "ThreadTestHelpers.h"
#include "ZULMsgPump.h"

namespace {

using Item = std::unique_ptr<Tracked>;
using Pump = TZULMsgPump<Item>;
using IntPump = TZULMsgPump<int>;
using Clock = std::chrono::steady_clock;

constexpr bool Suspended = true;
constexpr bool Running = false;

// ---- Capacity: MaxCount refuses, Blocked holds until ResumeCount is reached ----

// Both callback threads: the pump thread and, synchronised, the main thread.
class PumpBlockingTest : public ::testing::TestWithParam<bool> {
protected:
    // A suspended pump whose callback records each value and then waits for the stepper.
    std::unique_ptr<Pump> MakePump(int maxCount, int resumeCount) {
        return std::make_unique<Pump>(
            Suspended, 1, GetParam(),
            [this](Item item) {
                recorder_.Add(item->value);
                stepper_.Enter();
            },
            GetParam(), maxCount, resumeCount, &mainThread_.Dispatcher());
    }
    // Posts the next value; an accepted item must have moved, a refused one must have stayed.
    bool PostNext(Pump& pump) {
        Item item = std::make_unique<Tracked>(next_, destroyed_);
        const bool accepted = pump.Post(item, 2);
        EXPECT_EQ(accepted, item == nullptr);
        next_ += accepted ? 1 : 0;
        return accepted;
    }

    std::atomic<int> destroyed_{0};
    int next_ = 0;
    Recorder recorder_;
    Stepper stepper_;
    MainThreadLoop mainThread_;
};

TEST_P(PumpBlockingTest, RefusesFromMaxCountUntilAHandOutLeavesResumeCount) {
    auto pump = MakePump(100, 80);
    OpenOnExit release{stepper_};
    for (int i = 0; i < 100; ++i) ASSERT_TRUE(PostNext(*pump));
    EXPECT_FALSE(PostNext(*pump)) << "the 101st post with 100 queued";
    EXPECT_EQ(destroyed_.load(), 1) << "only the refused item, released by its owner";

    pump->Resume();
    for (int handedOut = 1; handedOut <= 19; ++handedOut) {
        ASSERT_TRUE(stepper_.WaitEntered(handedOut));
        EXPECT_FALSE(PostNext(*pump)) << (100 - handedOut) << " queued: still blocked";
        stepper_.Allow(1);
    }
    ASSERT_TRUE(stepper_.WaitEntered(20));
    EXPECT_TRUE(PostNext(*pump)) << "80 queued: blocked is cleared";
    EXPECT_TRUE(PostNext(*pump)) << "and stays cleared below MaxCount";

    stepper_.OpenAll();
    ASSERT_TRUE(recorder_.WaitForCount(102));
    const auto values = recorder_.Values();
    for (int i = 0; i < 102; ++i) ASSERT_EQ(values[i], i);
}

TEST_P(PumpBlockingTest, ItemsCountAsQueuedUntilTheyAreHandedOut) {
    auto pump = MakePump(10, 5);
    OpenOnExit release{stepper_};
    for (int i = 0; i < 10; ++i) ASSERT_TRUE(PostNext(*pump));
    pump->Resume();
    ASSERT_TRUE(stepper_.WaitEntered(1));
    stepper_.Allow(1);
    ASSERT_TRUE(stepper_.WaitEntered(2));  // two handed out, 8 queued
    EXPECT_TRUE(PostNext(*pump));
    EXPECT_TRUE(PostNext(*pump));
    EXPECT_FALSE(PostNext(*pump)) << "room for exactly the two items handed out";
}

INSTANTIATE_TEST_SUITE_P(CallbackThread, PumpBlockingTest, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& param) {
                             return param.param ? "Synchronised" : "PumpThread";
                         });

// ---- Weighted items: capacity counted in units ----

// A run of consecutive numbers, weighing one unit per number.
struct NumberRun {
    int first = 0;
    size_t count = 0;
    size_t Weight() const { return count; }
    NumberRun TakeFirst(size_t units) {
        NumberRun head{first, units};
        first += static_cast<int>(units);
        count -= units;
        return head;
    }
};
using RunPump = TZULMsgPump<NumberRun>;

// The numbers handed out, in order.
class RunRecorder {
public:
    RunPump::Callback Callback() {
        return [this](NumberRun run) {
            for (size_t i = 0; i < run.count; ++i) numbers_.Add(run.first + static_cast<int>(i));
        };
    }
    Recorder numbers_;
};

TEST(PumpWeights, AWeightedPostTakesUnitsUntilTheQueueIsFullAndTheRestStaysWithTheCaller) {
    RunRecorder recorder;
    RunPump pump(Suspended, 1, false, recorder.Callback(), false, 10, 5);
    NumberRun run{0, 4};
    EXPECT_EQ(pump.PostWeighted(run, 2), 4u);
    run = NumberRun{4, 8};
    EXPECT_EQ(pump.PostWeighted(run, 2), 6u) << "room for 6 of 8";
    EXPECT_EQ(run.first, 10);
    EXPECT_EQ(run.count, 2u) << "the rest stays";
    NumberRun one{100, 1};
    EXPECT_EQ(pump.PostWeighted(one, 2), 0u) << "full";
    EXPECT_FALSE(pump.Post(one, 2));

    pump.Resume();
    ASSERT_TRUE(recorder.numbers_.WaitForCount(10));
    // Empty again: blocked is cleared, and the rest fits.
    const auto deadline = Clock::now() + TestDeadline;
    size_t accepted = 0;
    while (accepted == 0 && Clock::now() < deadline) accepted = pump.PostWeighted(run, 2);
    EXPECT_EQ(accepted, 2u);
    ASSERT_TRUE(recorder.numbers_.WaitForCount(12));
    std::vector<int> expected(12);
    for (int i = 0; i < 12; ++i) expected[static_cast<size_t>(i)] = i;
    EXPECT_EQ(recorder.numbers_.Values(), expected);
}

TEST(PumpWeights, PostRefusesAWeightedItemThatDoesNotFitWholeAndBlocksUntilResume) {
    RunRecorder recorder;
    RunPump pump(Suspended, 1, false, recorder.Callback(), false, 10, 5);
    NumberRun big{0, 8};
    ASSERT_TRUE(pump.Post(big, 2));
    NumberRun three{8, 3};
    EXPECT_FALSE(pump.Post(three, 2)) << "3 units, room for 2";
    EXPECT_EQ(three.count, 3u) << "refused whole";
    NumberRun two{8, 2};
    EXPECT_FALSE(pump.Post(two, 2)) << "blocked since the refusal, 8 queued is above 5";
}

TEST(PumpWeights, ABurstCountsUnitsAndHandsOutAnItemThatStartsInsideItWhole) {
    std::mutex lock;                   // guards wakeUpOf
    std::map<int, uint64_t> wakeUpOf;  // first number of a run -> the wake-up that handed it out
    std::unique_ptr<RunPump> pump;
    pump = std::make_unique<RunPump>(
        Suspended, 100, false,
        [&](NumberRun run) {
            std::lock_guard guard(lock);
            wakeUpOf[run.first] = pump->WakeUps();
        },
        false, 1000, 500);
    pump->SetBurstSize(5);
    for (const NumberRun& posted : {NumberRun{0, 3}, NumberRun{3, 3}, NumberRun{6, 1}}) {
        NumberRun run = posted;
        ASSERT_EQ(pump->PostWeighted(run, 2), posted.count);
    }
    pump->Resume();
    const auto deadline = Clock::now() + TestDeadline;
    for (;;) {
        {
            std::lock_guard guard(lock);
            if (wakeUpOf.size() == 3) break;
        }
        ASSERT_LT(Clock::now(), deadline);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    std::lock_guard guard(lock);
    // 3 units leave 2 of the allowance: the second run starts inside it and goes whole;
    // the allowance is then used up, so the third waits for the next wake-up.
    EXPECT_EQ(wakeUpOf[0], 1u);
    EXPECT_EQ(wakeUpOf[3], 1u);
    EXPECT_EQ(wakeUpOf[6], 2u);
}

// ---- Order of hand-out ----

struct OrderCase {
    const char* name;
    bool prioritised;
    std::vector<int> priorities;  // of posts 0, 1, 2, ...
    std::vector<int> expected;    // post numbers in hand-out order
};

class PumpOrderTest : public ::testing::TestWithParam<OrderCase> {};

TEST_P(PumpOrderTest, HandsOutInPlacementOrder) {
    const OrderCase& c = GetParam();
    Recorder recorder;
    IntPump pump(
        Suspended, 1, c.prioritised, [&](int value) { recorder.Add(value); }, false, 100, 80);
    for (int i = 0; i < static_cast<int>(c.priorities.size()); ++i) {
        int item = i;
        ASSERT_TRUE(pump.Post(item, static_cast<signed char>(c.priorities[i])));
    }
    pump.Resume();
    ASSERT_TRUE(recorder.WaitForCount(c.expected.size()));
    EXPECT_EQ(recorder.Values(), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Placement, PumpOrderTest,
    ::testing::Values(OrderCase{"HeadKeepsItsPlace", true, {2, 2, 5}, {0, 2, 1}},
                      OrderCase{"SixJumpsAheadOfTheHead", true, {2, 3, 6}, {2, 0, 1}},
                      OrderCase{"AboveSixCountsAsSix", true, {2, 6, 7}, {2, 1, 0}},
                      OrderCase{"HighestSignedCharCountsAsSix", true, {2, 3, 127}, {2, 0, 1}},
                      OrderCase{"LowerHeadIsNotOvertaken", true, {1, 5}, {0, 1}},
                      OrderCase{"EqualPrioritiesKeepPostingOrder", true, {1, 5, 3, 5, 4}, {0, 1, 3, 4, 2}},
                      OrderCase{"NegativePriorities", true, {2, -1, 0, -1}, {0, 2, 1, 3}},
                      OrderCase{"UnprioritisedIgnoresPriorities", false, {2, 6, 5, 1, 6}, {0, 1, 2, 3, 4}}),
    [](const ::testing::TestParamInfo<OrderCase>& param) { return std::string(param.param.name); });

TEST(PumpDelivery, ManyItemsFromSeveralProducersArriveInEachProducersOrder) {
    constexpr int producers = 3;
    constexpr int perProducer = 4000;
    Recorder recorder;
    IntPump pump(
        Running, 1, false, [&](int value) { recorder.Add(value); }, false, 500, 250);
    pump.SetBurstSize(50);
    std::vector<std::thread> threads;
    for (int p = 0; p < producers; ++p) {
        threads.emplace_back([&pump, p] {
            for (int i = 0; i < perProducer; ++i) {
                int item = p * perProducer + i;
                while (!pump.Post(item, 2)) std::this_thread::yield();  // full: try again
            }
        });
    }
    for (auto& thread : threads) thread.join();
    ASSERT_TRUE(recorder.WaitForCount(producers * perProducer));
    std::vector<int> nextOf(producers, 0);
    for (int value : recorder.Values()) ASSERT_EQ(value % perProducer, nextOf[value / perProducer]++);
}

TEST(PumpDelivery, CallbackMayPostToItsOwnPump) {
    Recorder recorder;
    std::unique_ptr<IntPump> pump;
    auto callback = [&](int value) {
        recorder.Add(value);
        if (value < 99) pump->Post(++value, 2);
    };
    pump = std::make_unique<IntPump>(Suspended, 1, false, callback, false, 10, 5);
    int first = 0;
    ASSERT_TRUE(pump->Post(first, 2));
    pump->Resume();
    ASSERT_TRUE(recorder.WaitForCount(100));
    EXPECT_EQ(recorder.Values().back(), 99);
}

// ---- Emptiness and bursts ----

TEST(PumpState, IsEmptyIsFalseWhileTheLastItemIsInTheCallback) {
    Stepper stepper;
    IntPump pump(
        Running, 1, false, [&](int) { stepper.Enter(); }, false, 10, 5);
    OpenOnExit release{stepper};
    int item = 1;
    ASSERT_TRUE(pump.Post(item, 2));
    ASSERT_TRUE(stepper.WaitEntered(1));
    EXPECT_FALSE(pump.IsEmpty());
    stepper.OpenAll();
    const auto deadline = Clock::now() + TestDeadline;
    bool empty = false;
    while (!empty && Clock::now() < deadline) empty = pump.IsEmpty();
    EXPECT_TRUE(empty);
}

// Records, for every item a pump hands out, the number of the wake-up that did it.
// The pump is declared last, so it ends before what its callback touches.
class WakeUpLog {
    std::mutex lock_;                // guards wakeUps_
    std::vector<uint64_t> wakeUps_;  // per item, in hand-out order

public:
    Recorder recorder;
    std::unique_ptr<IntPump> pump;

    IntPump::Callback Callback() {
        return [this](int value) {
            {
                std::lock_guard guard(lock_);
                wakeUps_.push_back(pump->WakeUps());
            }
            recorder.Add(value);
        };
    }
    std::vector<uint64_t> WakeUps() {
        std::lock_guard guard(lock_);
        return wakeUps_;
    }
};

TEST(PumpState, AfterAnIdlePeriodAWakeUpHandsOutAtMostBurstSize) {
    // The interval is never waited out: every wake-up here comes from a post that fills
    // the queue to half its capacity (12 of 24), so each round is wholly queued before
    // the wake-up that meets it, however slowly the test posts.
    constexpr int burst = 5;
    constexpr int half = 12;
    WakeUpLog log;
    Recorder& recorder = log.recorder;
    std::unique_ptr<IntPump>& pump = log.pump;
    pump = std::make_unique<IntPump>(Suspended, 600000, false, log.Callback(), false, 2 * half, half);
    pump->SetBurstSize(burst);
    int next = 0;
    auto post = [&](int count) {
        for (int i = 0; i < count; ++i) {
            int item = next++;
            ASSERT_TRUE(pump->Post(item, 2));
        }
    };
    post(half);
    pump->Resume();
    ASSERT_TRUE(recorder.WaitForCount(burst));
    // The burst is used up: the next wake-up hands out everything queued.
    post(burst);
    ASSERT_TRUE(recorder.WaitForCount(half + burst));
    const auto deadline = Clock::now() + TestDeadline;
    while (!pump->IsIdle()) ASSERT_LT(Clock::now(), deadline);
    // Idle again: the next wake-up hands out a new burst.
    post(half);
    ASSERT_TRUE(recorder.WaitForCount(half + burst + burst));

    std::vector<uint64_t> expected;
    expected.insert(expected.end(), burst, 1);
    expected.insert(expected.end(), half, 2);
    expected.insert(expected.end(), burst, 3);
    EXPECT_EQ(log.WakeUps(), expected);
    const auto values = recorder.Values();
    for (int i = 0; i < half + 2 * burst; ++i) ASSERT_EQ(values[i], i);
}

TEST(PumpState, APromptPumpHandsOutThePostThatWakesItFromIdleWithoutWaitingAnInterval) {
    // An interval of ten minutes: only a prompt hand-out reaches the callback in time.
    WakeUpLog log;
    log.pump = std::make_unique<IntPump>(Suspended, 600000, false, log.Callback(), false, 24, 12);
    log.pump->SetPrompt(true);
    log.pump->Resume();
    const auto deadline = Clock::now() + TestDeadline;
    while (!log.pump->IsIdle()) ASSERT_LT(Clock::now(), deadline);
    int item = 7;
    ASSERT_TRUE(log.pump->Post(item, 2));
    ASSERT_TRUE(log.recorder.WaitForCount(1));
    EXPECT_EQ(log.recorder.Values(), std::vector<int>{7});
}

struct SpreadCase {
    int spread;
    int burst;
    std::vector<uint64_t> wakeUpPerItem;  // of 8 items queued before the pump starts
};

class PumpSpreadTest : public ::testing::TestWithParam<SpreadCase> {};

TEST_P(PumpSpreadTest, EachWakeUpHandsOutItsShareOfWhatIsQueued) {
    // Nothing is posted while the pump runs, so the shares do not depend on when it wakes.
    const SpreadCase& c = GetParam();
    WakeUpLog log;
    Recorder& recorder = log.recorder;
    std::unique_ptr<IntPump>& pump = log.pump;
    pump = std::make_unique<IntPump>(Suspended, 1, false, log.Callback(), false, 100, 50);
    pump->SetSpread(c.spread);
    pump->SetBurstSize(c.burst);
    for (int i = 0; i < 8; ++i) ASSERT_TRUE(pump->Post(i, 2));
    pump->Resume();
    ASSERT_TRUE(recorder.WaitForCount(8));
    EXPECT_EQ(log.WakeUps(), c.wakeUpPerItem);
    EXPECT_EQ(recorder.Values(), (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7}));
}

INSTANTIATE_TEST_SUITE_P(Shares, PumpSpreadTest,
                         ::testing::Values(
                             // No spread: the burst, then everything at the next wake-up.
                             SpreadCase{0, 1, {1, 2, 2, 2, 2, 2, 2, 2}},
                             // A quarter of what is queued (rounded up) per wake-up, after the
                             // burst; under four queued, one per 4 / queued wake-ups.
                             SpreadCase{4, 1, {1, 2, 2, 3, 3, 4, 6, 10}},
                             // The spread also divides a burst that would take everything.
                             SpreadCase{4, 8, {1, 1, 2, 2, 3, 4, 6, 10}}));

// ---- Callback in the main thread ----

TEST(PumpSynchronised, CallbackRunsInTheThreadThatProcessesTheDispatcher) {
    ZULQueuedDispatcher dispatcher;
    Recorder recorder;
    std::thread::id callbackThread;
    auto callback = [&](int value) {
        callbackThread = std::this_thread::get_id();
        recorder.Add(value);
    };
    IntPump pump(Running, 1, true, callback, true, 10, 5, &dispatcher);
    for (int item : {0, 1, 2}) ASSERT_TRUE(pump.Post(item, 2));
    const auto deadline = Clock::now() + TestDeadline;
    while (!recorder.WaitForCount(3, std::chrono::milliseconds(0)) && Clock::now() < deadline)
        dispatcher.WaitAndProcess(10);
    EXPECT_EQ(recorder.Values(), (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(callbackThread, std::this_thread::get_id());
}

TEST(PumpSynchronised, DestructionDuringAWaitForTheMainThreadReturnsAndReleasesTheItem) {
    std::atomic<int> destroyed{0};
    std::atomic<int> called{0};
    HoldingDispatcher dispatcher;
    auto pump = std::make_unique<Pump>(
        Running, 1, false, [&](Item) { ++called; }, true, 10, 5, &dispatcher);
    Item item = std::make_unique<Tracked>(7, destroyed);
    ASSERT_TRUE(pump->Post(item, 2));
    ASSERT_TRUE(dispatcher.WaitForTasks(1));  // the pump thread now waits for the main thread
    EXPECT_EQ(destroyed.load(), 0);

    auto destruction = std::async(std::launch::async, [&] { pump.reset(); });
    ASSERT_EQ(destruction.wait_for(TestDeadline), std::future_status::ready) << "destructor hangs";
    EXPECT_EQ(destroyed.load(), 1);
    dispatcher.RunAll();  // the main thread comes round late: nothing may run now
    EXPECT_EQ(called.load(), 0);
}

// ---- Batches: everything queued in one call ----

using BatchPump = TZULMsgPump<Item>;

// Both callback threads: the pump thread and, synchronised, the main thread.
class PumpBatchTest : public ::testing::TestWithParam<bool> {
protected:
    // Batch sizes and values as handed to the callback.
    BatchPump::BatchCallback Record() {
        return [this](std::vector<Item>& batch) {
            {
                std::lock_guard guard(lock_);
                sizes_.push_back(batch.size());
            }
            for (Item& item : batch) values_.Add(item->value);
        };
    }
    std::vector<size_t> Sizes() {
        std::lock_guard guard(lock_);
        return sizes_;
    }
    Item Make(int value) { return std::make_unique<Tracked>(value, destroyed_); }

    std::atomic<int> destroyed_{0};
    std::mutex lock_;  // guards sizes_
    std::vector<size_t> sizes_;
    Recorder values_;
    MainThreadLoop mainThread_;
};

TEST_P(PumpBatchTest, AWakeUpHandsOutEverythingQueuedInPlacementOrderInOneCall) {
    BatchPump pump(Suspended, 1, true, Record(), GetParam(), 100, 80, &mainThread_.Dispatcher());
    pump.SetBurstSize(1);  // does not apply to batches
    const int priorities[] = {2, 2, 5, 6, 1, 5};
    for (int i = 0; i < 6; ++i) {
        Item item = Make(i);
        ASSERT_TRUE(pump.Post(item, static_cast<signed char>(priorities[i])));
    }
    pump.Resume();
    ASSERT_TRUE(values_.WaitForCount(6));
    EXPECT_EQ(values_.Values(), (std::vector<int>{3, 5, 0, 2, 1, 4}));
    EXPECT_EQ(Sizes(), std::vector<size_t>{6});
    const auto deadline = Clock::now() + TestDeadline;
    while (!pump.IsEmpty()) ASSERT_LT(Clock::now(), deadline);
    EXPECT_EQ(destroyed_.load(), 6) << "each item released once, after the call";
}

TEST_P(PumpBatchTest, EveryPostIsEitherDeliveredInOrderOrRefusedAndCounted) {
    constexpr int posts = 20000;
    BatchPump pump(Running, 1, false, Record(), GetParam(), 80, 40, &mainThread_.Dispatcher());
    int refused = 0;
    for (int i = 0; i < posts; ++i) {
        Item item = Make(i);
        if (!pump.Post(item, 2)) {
            ++refused;
            EXPECT_NE(item, nullptr) << "a refused item stays with the caller";
        }
    }
    const size_t delivered = static_cast<size_t>(posts - refused);
    ASSERT_TRUE(values_.WaitForCount(delivered));
    const auto deadline = Clock::now() + TestDeadline;
    while (!pump.IsEmpty()) ASSERT_LT(Clock::now(), deadline);
    const auto values = values_.Values();
    ASSERT_EQ(values.size(), delivered) << "nothing delivered beyond what was accepted";
    for (size_t i = 1; i < values.size(); ++i) ASSERT_LT(values[i - 1], values[i]);
    for (size_t size : Sizes()) EXPECT_LE(size, 80u) << "never more than the capacity at once";
    EXPECT_EQ(destroyed_.load(), posts);
}

INSTANTIATE_TEST_SUITE_P(CallbackThread, PumpBatchTest, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& param) {
                             return param.param ? "Synchronised" : "PumpThread";
                         });

TEST(PumpBatch, TakingABatchOutEmptiesTheQueueWhileTheBatchWaitsForTheMainThread) {
    HoldingDispatcher dispatcher;
    Stepper stepper;
    std::atomic<int> destroyed{0};
    BatchPump pump(
        Suspended, 1, false, [&](std::vector<Item>&) { stepper.Enter(); }, true, 10, 5, &dispatcher);
    OpenOnExit release{stepper};
    auto post = [&](int value) {
        Item item = std::make_unique<Tracked>(value, destroyed);
        return pump.Post(item, 2);
    };
    for (int i = 0; i < 10; ++i) ASSERT_TRUE(post(i));
    EXPECT_FALSE(post(10)) << "full: Blocked";
    pump.Resume();
    ASSERT_TRUE(dispatcher.WaitForTasks(1));  // the batch is out of the queue, on its way
    for (int i = 11; i < 21; ++i) EXPECT_TRUE(post(i)) << "room for a whole capacity again: " << i;
    EXPECT_FALSE(post(21)) << "full again while the main thread has not taken the batch";
    std::thread mainThread([&] { dispatcher.RunAll(); });
    ASSERT_TRUE(stepper.WaitEntered(1));
    stepper.OpenAll();
    mainThread.join();
}

TEST(PumpBatch, DestructionDuringAWaitForTheMainThreadReleasesTheWholeBatch) {
    std::atomic<int> destroyed{0};
    std::atomic<int> called{0};
    HoldingDispatcher dispatcher;
    auto pump = std::make_unique<BatchPump>(
        Suspended, 1, false, [&](std::vector<Item>&) { ++called; }, true, 10, 5, &dispatcher);
    for (int i = 0; i < 3; ++i) {
        Item item = std::make_unique<Tracked>(i, destroyed);
        ASSERT_TRUE(pump->Post(item, 2));
    }
    pump->Resume();
    ASSERT_TRUE(dispatcher.WaitForTasks(1));
    auto destruction = std::async(std::launch::async, [&] { pump.reset(); });
    ASSERT_EQ(destruction.wait_for(TestDeadline), std::future_status::ready) << "destructor hangs";
    EXPECT_EQ(destroyed.load(), 3);
    dispatcher.RunAll();
    EXPECT_EQ(called.load(), 0);
}

// ---- Ownership at the end ----

TEST(PumpOwnership, ItemsStillQueuedAreDestroyedNotHandedOut) {
    std::atomic<int> destroyed{0};
    Stepper stepper;
    Recorder recorder;
    auto pump = std::make_unique<Pump>(
        Running, 1, false,
        [&](Item item) {
            recorder.Add(item->value);
            stepper.Enter();
        },
        false, 100, 80);
    OpenOnExit release{stepper};
    for (int i = 0; i < 6; ++i) {
        Item item = std::make_unique<Tracked>(i, destroyed);
        ASSERT_TRUE(pump->Post(item, 2));
    }
    ASSERT_TRUE(stepper.WaitEntered(1));
    pump->Terminate();  // before the callback returns: the thread ends after this hand-out
    stepper.OpenAll();
    pump.reset();
    EXPECT_EQ(recorder.Values(), std::vector<int>{0});
    EXPECT_EQ(destroyed.load(), 6);
}

}  // namespace
