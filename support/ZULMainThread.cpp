#include "ZULMainThread.h"

#include <chrono>

void ZULQueuedDispatcher::Post(std::function<void()> task) {
    // Notified under the lock: once a waiter has seen the task, the dispatcher may be
    // destroyed, and the condition variable with it.
    std::lock_guard guard(lock_);
    tasks_.push_back(std::move(task));
    arrived_.notify_all();
}

int ZULQueuedDispatcher::ProcessPending() {
    std::deque<std::function<void()>> batch;
    {
        std::lock_guard guard(lock_);
        batch.swap(tasks_);
    }
    for (auto& task : batch) task();
    return static_cast<int>(batch.size());
}

int ZULQueuedDispatcher::WaitAndProcess(int timeoutMs) {
    {
        std::unique_lock guard(lock_);
        arrived_.wait_for(guard, std::chrono::milliseconds(timeoutMs), [this] { return !tasks_.empty(); });
    }
    return ProcessPending();
}

struct ZULSyncCall::Invocation {
    enum class State { Pending, Running, Done, Cancelled };
    std::mutex lock;  // guards state
    std::condition_variable changed;
    State state = State::Pending;
    std::function<void()> fn;

    // In the main thread. fn refers to the waiting worker's stack, so it may only
    // run while the worker still waits, that is while the state is Pending.
    void Execute() {
        {
            std::lock_guard guard(lock);
            if (state != State::Pending) return;
            state = State::Running;
        }
        fn();
        {
            std::lock_guard guard(lock);
            state = State::Done;
        }
        changed.notify_all();
    }

    void Cancel() {
        {
            std::lock_guard guard(lock);
            if (state == State::Pending) state = State::Cancelled;
        }
        changed.notify_all();
    }
};

bool ZULSyncCall::Run(IZULMainThreadDispatcher& dispatcher, std::function<void()> fn) {
    auto call = std::make_shared<Invocation>();
    call->fn = std::move(fn);
    {
        std::lock_guard guard(lock_);
        if (cancelled_) return false;
        current_ = call;
    }
    dispatcher.Post([call] { call->Execute(); });
    bool ran = false;
    {
        std::unique_lock guard(call->lock);
        call->changed.wait(guard, [&] {
            return call->state == Invocation::State::Done || call->state == Invocation::State::Cancelled;
        });
        ran = call->state == Invocation::State::Done;
    }
    std::lock_guard guard(lock_);
    current_.reset();
    return ran;
}

void ZULSyncCall::Cancel() {
    std::shared_ptr<Invocation> call;
    {
        std::lock_guard guard(lock_);
        cancelled_ = true;
        call = current_;
    }
    if (call) call->Cancel();
}
