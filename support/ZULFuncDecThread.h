#pragma once
// Moves one piece of work out of the current call: a thread that runs one
// operation once, either in itself or, synchronised, in the main (window)
// thread while it waits, and then ends and releases itself.

#include <functional>

#include "ZULMainThread.h"

class TZULFuncDecThread {
public:
    // Create with new and keep no pointer beyond Resume: the object deletes itself
    // when its thread ends. Unless createSuspended, the thread starts at once.
    // synchronised with a dispatcher: the operation runs in the dispatcher's main
    // thread; the dispatcher need only outlive the start of the thread. Without a
    // dispatcher the operation runs in the new thread. An operation that the
    // dispatcher drops (program ending) never runs, and the thread still ends.
    TZULFuncDecThread(bool createSuspended, std::function<void()> operation, bool synchronised,
                      IZULMainThreadDispatcher* dispatcher = nullptr);
    TZULFuncDecThread(const TZULFuncDecThread&) = delete;
    TZULFuncDecThread& operator=(const TZULFuncDecThread&) = delete;

    // Starts a suspended thread; call it once, and not for a thread created running.
    void Resume();

private:
    ~TZULFuncDecThread() = default;
    void Execute();

    std::function<void()> operation_;
    bool synchronised_;
    IZULMainThreadDispatcher* dispatcher_;
};
