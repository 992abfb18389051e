#pragma once
// The window program's main-thread dispatcher: a posted task runs in the window
// thread's event loop, in the order posted.
//
// Tasks travel through a queue of our own under a std::mutex; only a wake-up
// crosses into Qt, as a readable event descriptor. So everything a task carries
// is handed over by a lock the thread checkers see (Qt's own locks are invisible
// to them in the distribution's build).

#include <QSocketNotifier>
#include <deque>
#include <functional>
#include <mutex>

#include "ZULMainThread.h"

class ZQtMainThreadDispatcher : public IZULMainThreadDispatcher {
public:
    // Create and destroy in the window thread. Tasks still queued at destruction
    // are dropped without running; whoever waits on one through ZULSyncCall is
    // released by its owner's cancellation, never by this class. Destroy the
    // posting threads (pumps) first.
    ZQtMainThreadDispatcher();
    ~ZQtMainThreadDispatcher() override;
    ZQtMainThreadDispatcher(const ZQtMainThreadDispatcher&) = delete;
    ZQtMainThreadDispatcher& operator=(const ZQtMainThreadDispatcher&) = delete;

    // Any thread; never blocks on the window thread.
    void Post(std::function<void()> task) override;

    // Runs the tasks queued so far; window thread. The event loop calls it on a wake-up.
    void RunPending();

    // One that lives as long as the program, for work that may finish after the window
    // that started it has gone (its task then checks that the window is still there).
    // Window thread, the first call once the application object exists.
    static ZQtMainThreadDispatcher& ForProgram();

private:
    const int wakeFd_;  // an eventfd: readable while tasks wait
    QSocketNotifier notifier_;
    std::mutex lock_;  // guards tasks_
    std::deque<std::function<void()>> tasks_;
};
