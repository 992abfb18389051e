#pragma once
// Calls from worker threads into the window (main) thread.
//
// The support library has no GUI toolkit. A program provides a dispatcher that
// queues a task for its main thread (the window program with a queued Qt call,
// the command-line program and the tests with their own loop). ZULSyncCall adds
// the blocking on top, in one place: the worker waits until its task ran in the
// main thread, and an owner that is shutting down can cancel the wait so that
// joining the worker never hangs.

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

class IZULMainThreadDispatcher {
public:
    virtual ~IZULMainThreadDispatcher() = default;
    // Queues task to run later in the main thread. Must not run it inline and
    // must not block. A task may be dropped (never run) when the program ends.
    virtual void Post(std::function<void()> task) = 0;
};

// A dispatcher whose main thread is whoever calls ProcessPending: used by the
// command-line program's main loop and by tests.
class ZULQueuedDispatcher : public IZULMainThreadDispatcher {
public:
    void Post(std::function<void()> task) override;
    // Runs the tasks queued so far, in order; returns how many ran.
    int ProcessPending();
    // Like ProcessPending, but first waits up to timeoutMs for a task to arrive.
    int WaitAndProcess(int timeoutMs);

private:
    std::mutex lock_;  // guards tasks_
    std::condition_variable arrived_;
    std::deque<std::function<void()>> tasks_;
};

// The synchronised calls of one worker thread. Run and Cancel may race freely.
class ZULSyncCall {
public:
    ZULSyncCall() = default;
    ZULSyncCall(const ZULSyncCall&) = delete;
    ZULSyncCall& operator=(const ZULSyncCall&) = delete;

    // Runs fn in the main thread through dispatcher and waits until it has
    // returned. Returns false, without fn having run, when Cancel came first
    // (before or during the wait).
    bool Run(IZULMainThreadDispatcher& dispatcher, std::function<void()> fn);
    // Makes a waiting Run return at once and every later Run return false.
    // A call that is already running in the main thread is let finish.
    void Cancel();

private:
    struct Invocation;
    std::mutex lock_;  // guards cancelled_ and current_
    bool cancelled_ = false;
    std::shared_ptr<Invocation> current_;
};
