#pragma once
// The event thread of an open TSerial: waits for the events of the mask set at the
// open and calls the handlers in a fixed order, in this thread or, with
// SyncEventHandling, in the main thread while this one waits.

#include <atomic>
#include <cstdint>
#include <memory>
#include <thread>

#include "SerialPlatform.h"
#include "ZULMainThread.h"
#include "ZULThread.h"

class TSerial;

class TSerThread {
public:
    // Starts at once. handle stays alive as long as the thread needs it.
    TSerThread(TSerial& serial, std::shared_ptr<ISerialHandle> handle);
    // Stops and joins (not when called from the thread itself).
    ~TSerThread();
    TSerThread(const TSerThread&) = delete;
    TSerThread& operator=(const TSerThread&) = delete;

    // Asks the thread to end and releases a synchronised call it waits in. The
    // caller also changes the port's event mask, which ends a pending wait.
    void Stop();
    // Joins; does nothing from the thread itself.
    void WaitFor();
    // The calling thread is this thread, or is running this thread's handlers
    // through a synchronised call: joining now would never return.
    bool RunsInCurrentThread() const;
    // The events the last wait returned.
    uint32_t GetEventWord() const { return eventWord_; }
    // Calls the handlers for the event word, unless EnableEvents is off; stops
    // calling once the thread was asked to end.
    void EventHandling();

private:
    void Execute();

    TSerial& serial_;
    std::shared_ptr<ISerialHandle> handle_;
    std::atomic<uint32_t> eventWord_{0};
    std::atomic<std::thread::id> handlingThread_{};
    ZULSyncCall sync_;
    ZULThread thread_;
};
