// Synchronised pump callbacks through the Qt main-thread dispatcher: they run in the
// window thread, in order, and never on a window that has been destroyed.
#include <gtest/gtest.h>

#include <QApplication>
#include <QPointer>
#include <QTest>
#include <QThread>
#include <QWidget>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "ZQtMainThreadDispatcher.h"
#include "ZULMsgPump.h"

namespace {

// Runs the window thread's events until done() holds, for at most 30 s.
bool ProcessEventsUntil(const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        QTest::qWait(1);
    }
    return true;
}

// What happened, in the order it happened, from any thread.
class Journal {
public:
    void Add(std::string entry) {
        std::lock_guard guard(lock_);
        entries_.push_back(std::move(entry));
    }
    std::vector<std::string> Entries() {
        std::lock_guard guard(lock_);
        return entries_;
    }

private:
    std::mutex lock_;  // guards entries_
    std::vector<std::string> entries_;
};

// Passes tasks on to the window's dispatcher and lets the test wait until the pump
// thread has posted one: from then on that thread waits for the window thread.
class ProbeDispatcher : public IZULMainThreadDispatcher {
public:
    explicit ProbeDispatcher(IZULMainThreadDispatcher& inner) : inner_(inner) {}

    void Post(std::function<void()> task) override {
        inner_.Post(std::move(task));
        {
            std::lock_guard guard(lock_);
            ++posted_;
        }
        changed_.notify_all();
    }

    bool WaitForPosts(int count) {
        std::unique_lock guard(lock_);
        return changed_.wait_for(guard, std::chrono::seconds(30), [&] { return posted_ >= count; });
    }

private:
    IZULMainThreadDispatcher& inner_;
    std::mutex lock_;  // guards posted_
    std::condition_variable changed_;
    int posted_ = 0;
};

using Item = std::shared_ptr<int>;

// A window whose pump delivers into it. The pump is declared after the dispatcher,
// so it is stopped before the dispatcher goes.
class PumpWindow : public QWidget {
public:
    explicit PumpWindow(Journal& journal)
        : journal_(journal),
          probe_(dispatcher_),
          pump_(
              false, 1, false, [this](Item item) { Receive(std::move(item)); }, true, 100, 80, &probe_) {}
    ~PumpWindow() override { journal_.Add("destroyed"); }

    TZULMsgPump<Item>& Pump() { return pump_; }
    ProbeDispatcher& Probe() { return probe_; }

private:
    void Receive(Item item) {
        setWindowTitle(QString::number(*item));  // touches the window, as a real handler does
        journal_.Add("item " + std::to_string(*item));
    }

    Journal& journal_;
    ZQtMainThreadDispatcher dispatcher_;
    ProbeDispatcher probe_;
    TZULMsgPump<Item> pump_;
};

// Posts count items and keeps weak references to see them released.
std::vector<std::weak_ptr<int>> PostItems(TZULMsgPump<Item>& pump, int count) {
    std::vector<std::weak_ptr<int>> posted;
    for (int i = 0; i < count; ++i) {
        Item item = std::make_shared<int>(i);
        posted.push_back(item);
        EXPECT_TRUE(pump.Post(item, 2));
    }
    return posted;
}

bool AllReleased(const std::vector<std::weak_ptr<int>>& items) {
    for (const auto& item : items)
        if (!item.expired()) return false;
    return true;
}

TEST(QtMainThreadDispatcher, SynchronisedPumpDeliversInTheWindowThreadInPostingOrder) {
    ZQtMainThreadDispatcher dispatcher;
    std::mutex lock;  // guards delivered
    std::vector<std::pair<int, QThread*>> delivered;
    TZULMsgPump<int> pump(
        false, 1, false,
        [&](int item) {
            std::lock_guard guard(lock);
            delivered.emplace_back(item, QThread::currentThread());
        },
        true, 100, 80, &dispatcher);
    constexpr int Count = 50;
    std::thread producer([&pump] {
        for (int i = 0; i < Count; ++i) {
            int item = i;
            EXPECT_TRUE(pump.Post(item, 2));
        }
    });
    producer.join();
    ASSERT_TRUE(ProcessEventsUntil([&] {
        std::lock_guard guard(lock);
        return delivered.size() == Count;
    }));
    std::lock_guard guard(lock);
    for (int i = 0; i < Count; ++i) {
        EXPECT_EQ(delivered[static_cast<size_t>(i)].first, i);
        EXPECT_EQ(delivered[static_cast<size_t>(i)].second, qApp->thread()) << "item " << i;
    }
}

TEST(QtMainThreadDispatcher, RunsTasksFromAnotherThreadInPostingOrder) {
    ZQtMainThreadDispatcher dispatcher;
    constexpr int Count = 200;
    std::vector<int> ran;  // window thread only
    bool allInWindowThread = true;
    // All are queued before the window thread looks, so one wake-up finds many.
    std::thread poster([&] {
        for (int i = 0; i < Count; ++i)
            dispatcher.Post([&ran, &allInWindowThread, i] {
                allInWindowThread = allInWindowThread && QThread::currentThread() == qApp->thread();
                ran.push_back(i);
            });
    });
    poster.join();
    ASSERT_TRUE(ProcessEventsUntil([&] { return ran.size() == Count; }));
    for (int i = 0; i < Count; ++i) EXPECT_EQ(ran[static_cast<size_t>(i)], i);
    EXPECT_TRUE(allInWindowThread);
}

TEST(QtMainThreadDispatcher, TasksStillQueuedWhenItIsDestroyedNeverRun) {
    auto dispatcher = std::make_unique<ZQtMainThreadDispatcher>();
    bool ran = false;
    dispatcher->Post([&ran] { ran = true; });
    dispatcher.reset();
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
    EXPECT_FALSE(ran);
}

TEST(QtMainThreadDispatcher, WindowDestroyedWhileThePumpWaitsForItGetsNoCallback) {
    Journal journal;
    auto* window = new PumpWindow(journal);
    // The window thread processes no events, so the first hand-out blocks in the pump thread.
    const auto items = PostItems(window->Pump(), 3);
    ASSERT_TRUE(window->Probe().WaitForPosts(1));
    delete window;  // returns: the pump's wait is cancelled
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
    EXPECT_EQ(journal.Entries(), std::vector<std::string>{"destroyed"});
    EXPECT_TRUE(AllReleased(items));
}

TEST(QtMainThreadDispatcher, WindowClosedWhileItemsFlowGetsNoCallbackAfterItsEnd) {
    Journal journal;
    QPointer<PumpWindow> window = new PumpWindow(journal);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->show();
    const auto items = PostItems(window->Pump(), 40);
    ASSERT_TRUE(window->Probe().WaitForPosts(1));
    window->close();
    ASSERT_TRUE(ProcessEventsUntil([&] { return window.isNull(); }));
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();

    const std::vector<std::string> entries = journal.Entries();
    ASSERT_FALSE(entries.empty());
    EXPECT_EQ(entries.back(), "destroyed");
    // Whatever was delivered before the end came in posting order.
    for (size_t i = 0; i + 1 < entries.size(); ++i) EXPECT_EQ(entries[i], "item " + std::to_string(i));
    EXPECT_TRUE(AllReleased(items));
}

}  // namespace
