#pragma once
// A worker thread in the manner of the framework thread class: Start runs the
// body once, Terminate asks it to stop (and cuts short any SleepFor), WaitFor joins.
// The body polls Terminated(); destruction terminates and joins.

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

class ZULThread {
public:
    ZULThread() = default;
    ~ZULThread();
    ZULThread(const ZULThread&) = delete;
    ZULThread& operator=(const ZULThread&) = delete;

    void Start(std::function<void()> body);
    void Terminate();
    bool Terminated() const;
    // Sleeps up to the given time; returns false when Terminate cut the sleep short.
    bool SleepFor(std::chrono::milliseconds duration);
    // Sleeps until the deadline; returns false when Terminate cut the sleep short.
    bool SleepUntil(std::chrono::steady_clock::time_point deadline);
    // Joins the thread. Does nothing when it never started, was joined already,
    // or when called from the thread itself (which cannot wait for its own end).
    void WaitFor();
    bool IsCurrentThread() const;
    // Lowers the nice value by one (one step above normal) where the system allows it;
    // call from inside the thread. Returns whether it took effect.
    static bool RaiseCurrentThreadPriority();
    // Moves the calling thread's nice value by delta (positive = lower priority);
    // returns whether the system allowed it.
    static bool AdjustCurrentThreadNice(int delta);

private:
    mutable std::mutex lock_;  // guards terminated_, and thread_ while Start assigns it
    std::condition_variable wake_;
    bool terminated_ = false;
    std::thread thread_;
};
