#pragma once
// Where an open port keeps its event thread. A handler that runs in that thread may
// close its own port, and a thread cannot join itself: such a thread is kept as
// retired, ends after that handler, and is joined at the next open, close or
// destruction, from another thread.

#include <memory>
#include <utility>

template <class Thread>
class TEventThreadSlot {
public:
    void Set(std::unique_ptr<Thread> thread) { current_ = std::move(thread); }
    explicit operator bool() const { return current_ != nullptr; }
    Thread* operator->() const { return current_.get(); }

    // Lets go of the current thread, which the caller has asked to stop: joins it,
    // or retires it when called from within it.
    void Release() {
        if (current_ && current_->RunsInCurrentThread())
            retired_ = std::move(current_);
        else
            current_.reset();
    }

    // Joins a retired thread, unless this is that thread.
    void JoinRetired() {
        if (retired_ && !retired_->RunsInCurrentThread()) retired_.reset();
    }

private:
    std::unique_ptr<Thread> current_;
    std::unique_ptr<Thread> retired_;  // last: joined first on destruction
};
