#include "TSerThread.h"

#include <chrono>

#include "SerialThreadPriority.h"
#include "TSerial.h"

namespace {

// A wait that fails at once again and again must not spin a core.
constexpr std::chrono::milliseconds FailedWaitPause{10};

}  // namespace

TSerThread::TSerThread(TSerial& serial, std::shared_ptr<ISerialHandle> handle)
    : serial_(serial), handle_(std::move(handle)) {
    const TThreadPriority priority = serial_.GetThreadPriority();
    thread_.Start([this, priority] {
        ApplyThreadPriority(priority);
        Execute();
    });
}

TSerThread::~TSerThread() {
    Stop();
    WaitFor();
}

void TSerThread::Stop() {
    thread_.Terminate();
    sync_.Cancel();
}

void TSerThread::WaitFor() {
    thread_.WaitFor();
}

bool TSerThread::RunsInCurrentThread() const {
    return thread_.IsCurrentThread() || handlingThread_.load() == std::this_thread::get_id();
}

void TSerThread::Execute() {
    while (!thread_.Terminated()) {
        uint32_t events = 0;
        if (!handle_->WaitEvent(events)) {
            thread_.SleepFor(FailedWaitPause);
            continue;
        }
        eventWord_ = events;
        if (thread_.Terminated()) break;
        IZULMainThreadDispatcher* dispatcher = serial_.GetDispatcher();
        if (serial_.GetSyncEventHandling() && dispatcher != nullptr)
            sync_.Run(*dispatcher, [this] { EventHandling(); });
        else
            EventHandling();
    }
}

void TSerThread::EventHandling() {
    if (!serial_.GetEnableEvents()) return;
    handlingThread_ = std::this_thread::get_id();
    const uint32_t events = eventWord_;
    for (uint32_t event : SerialEventOrder) {
        if ((events & event) == 0) continue;
        // A handler may have closed the port; nothing more is delivered then.
        if (thread_.Terminated()) break;
        if (TSerialNotify handler = serial_.HandlerForEvent(event)) handler(serial_);
    }
    handlingThread_ = std::thread::id();
}
