#pragma once
// Synchronisation aids for tests of threaded support code. Every wait has a
// deadline, so a fault shows as a failed check instead of a hung test.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "ZULMainThread.h"

constexpr std::chrono::seconds TestDeadline{10};

// A callback body that blocks: each Enter is counted, then waits for a permit.
class Stepper {
public:
    void Enter() {
        std::unique_lock guard(lock_);
        ++entered_;
        changed_.notify_all();
        changed_.wait(guard, [this] { return open_ || permits_ > 0; });
        if (!open_) --permits_;
    }
    void Allow(int permits) {
        Update([&] { permits_ += permits; });
    }
    void OpenAll() {
        Update([&] { open_ = true; });
    }
    bool WaitEntered(int count) {
        std::unique_lock guard(lock_);
        return changed_.wait_for(guard, TestDeadline, [&] { return entered_ >= count; });
    }

private:
    void Update(const std::function<void()>& change) {
        std::lock_guard guard(lock_);
        change();
        changed_.notify_all();
    }
    std::mutex lock_;  // guards entered_, permits_, open_
    std::condition_variable changed_;
    int entered_ = 0, permits_ = 0;
    bool open_ = false;
};

// Opens a Stepper when leaving scope; declared after the pump that calls into the
// Stepper, so that an early test exit cannot destroy that pump while it is blocked.
struct OpenOnExit {
    Stepper& stepper;
    ~OpenOnExit() { stepper.OpenAll(); }
};

// Values handed to a callback, in arrival order.
class Recorder {
public:
    void Add(int value) {
        std::lock_guard guard(lock_);
        values_.push_back(value);
        arrived_.notify_all();
    }
    bool WaitForCount(size_t count, std::chrono::milliseconds timeout = TestDeadline) {
        std::unique_lock guard(lock_);
        return arrived_.wait_for(guard, timeout, [&] { return values_.size() >= count; });
    }
    std::vector<int> Values() {
        std::lock_guard guard(lock_);
        return values_;
    }

private:
    std::mutex lock_;  // guards values_
    std::condition_variable arrived_;
    std::vector<int> values_;
};

// A main-thread dispatcher that holds its tasks until the test runs them.
class HoldingDispatcher : public IZULMainThreadDispatcher {
public:
    void Post(std::function<void()> task) override {
        std::lock_guard guard(lock_);
        tasks_.push_back(std::move(task));
        arrived_.notify_all();
    }
    bool WaitForTasks(size_t count) {
        std::unique_lock guard(lock_);
        return arrived_.wait_for(guard, TestDeadline, [&] { return tasks_.size() >= count; });
    }
    int RunAll() {
        std::deque<std::function<void()>> tasks;
        {
            std::lock_guard guard(lock_);
            tasks.swap(tasks_);
        }
        for (auto& task : tasks) task();
        return static_cast<int>(tasks.size());
    }

private:
    std::mutex lock_;  // guards tasks_
    std::condition_variable arrived_;
    std::deque<std::function<void()>> tasks_;
};

// A thread that plays the main thread: it processes a queued dispatcher until destroyed.
class MainThreadLoop {
public:
    MainThreadLoop()
        : thread_([this] {
              while (!stop_) dispatcher_.WaitAndProcess(5);
          }) {}
    ~MainThreadLoop() {
        stop_ = true;
        thread_.join();
    }
    ZULQueuedDispatcher& Dispatcher() { return dispatcher_; }

private:
    ZULQueuedDispatcher dispatcher_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// An item whose destruction is counted, to see that nothing is leaked or freed twice.
struct Tracked {
    Tracked(int v, std::atomic<int>& counter) : value(v), destroyed(counter) {}
    ~Tracked() { ++destroyed; }
    int value;
    std::atomic<int>& destroyed;
};
