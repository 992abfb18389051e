#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>

#include "ThreadTestHelpers.h"
#include "ZULMainThread.h"
#include "ZULThread.h"

namespace {

using Clock = std::chrono::steady_clock;

// ---- ZULSyncCall ----

TEST(SyncCall, RunExecutesInTheDispatcherThreadAndReportsIt) {
    ZULQueuedDispatcher dispatcher;
    ZULSyncCall call;
    std::thread::id ranIn;
    auto worker = std::async(std::launch::async, [&] {
        return call.Run(dispatcher, [&] { ranIn = std::this_thread::get_id(); });
    });
    const auto deadline = Clock::now() + TestDeadline;
    while (worker.wait_for(std::chrono::milliseconds(0)) != std::future_status::ready &&
           Clock::now() < deadline)
        dispatcher.WaitAndProcess(10);
    ASSERT_EQ(worker.wait_for(std::chrono::milliseconds(0)), std::future_status::ready);
    EXPECT_TRUE(worker.get());
    EXPECT_EQ(ranIn, std::this_thread::get_id());
}

TEST(SyncCall, CancelBeforeRunMakesEveryRunFail) {
    HoldingDispatcher dispatcher;
    ZULSyncCall call;
    std::atomic<int> ran{0};
    call.Cancel();
    EXPECT_FALSE(call.Run(dispatcher, [&] { ++ran; }));
    EXPECT_FALSE(call.Run(dispatcher, [&] { ++ran; }));
    dispatcher.RunAll();
    EXPECT_EQ(ran.load(), 0);
}

TEST(SyncCall, CancelDuringTheWaitReturnsFalseAndTheLateTaskDoesNothing) {
    HoldingDispatcher dispatcher;
    ZULSyncCall call;
    std::atomic<int> ran{0};
    auto worker = std::async(std::launch::async, [&] { return call.Run(dispatcher, [&] { ++ran; }); });
    ASSERT_TRUE(dispatcher.WaitForTasks(1));
    call.Cancel();
    ASSERT_EQ(worker.wait_for(TestDeadline), std::future_status::ready);
    EXPECT_FALSE(worker.get());
    EXPECT_EQ(dispatcher.RunAll(), 1);
    EXPECT_EQ(ran.load(), 0);
}

TEST(SyncCall, CancelWhileTheCallRunsLetsItFinish) {
    MainThreadLoop mainThread;
    ZULSyncCall call;
    Stepper stepper;
    OpenOnExit release{stepper};
    std::atomic<bool> finished{false};
    auto worker = std::async(std::launch::async, [&] {
        return call.Run(mainThread.Dispatcher(), [&] {
            stepper.Enter();
            finished = true;
        });
    });
    ASSERT_TRUE(stepper.WaitEntered(1));
    call.Cancel();
    stepper.OpenAll();
    ASSERT_EQ(worker.wait_for(TestDeadline), std::future_status::ready);
    EXPECT_TRUE(worker.get());
    EXPECT_TRUE(finished.load());
}

// ---- ZULThread ----

TEST(Thread, TerminateCutsASleepShort) {
    ZULThread thread;
    std::promise<bool> sleptFully;
    auto result = sleptFully.get_future();
    thread.Start([&] { sleptFully.set_value(thread.SleepFor(std::chrono::minutes(10))); });
    thread.Terminate();
    ASSERT_EQ(result.wait_for(TestDeadline), std::future_status::ready);
    EXPECT_FALSE(result.get());
    EXPECT_TRUE(thread.Terminated());
    thread.WaitFor();
}

TEST(Thread, WaitForFromTheThreadItselfReturns) {
    ZULThread thread;
    std::promise<bool> returned;
    auto result = returned.get_future();
    thread.Start([&] {
        thread.WaitFor();
        returned.set_value(thread.IsCurrentThread());
    });
    ASSERT_EQ(result.wait_for(TestDeadline), std::future_status::ready);
    EXPECT_TRUE(result.get());
    thread.WaitFor();
}

}  // namespace
