#pragma once
// The thread of a TSerPort in event mode: takes the initial line states, then
// after every line event refreshes all four inputs and calls the handlers.

#include <atomic>
#include <memory>
#include <thread>

#include "SerialPlatform.h"
#include "ZULThread.h"

class TSerPort;

class TSerPortThread {
public:
    // Starts at once.
    TSerPortThread(TSerPort& port, std::shared_ptr<ISerialHandle> handle);
    ~TSerPortThread();
    TSerPortThread(const TSerPortThread&) = delete;
    TSerPortThread& operator=(const TSerPortThread&) = delete;

    // Asks the thread to end; the caller also changes the event mask.
    void Stop();
    void WaitFor();
    bool RunsInCurrentThread() const { return thread_.IsCurrentThread(); }

private:
    void Execute();

    TSerPort& port_;
    std::shared_ptr<ISerialHandle> handle_;
    ZULThread thread_;
};
