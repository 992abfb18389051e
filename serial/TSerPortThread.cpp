#include "TSerPortThread.h"

#include <chrono>

#include "SerialThreadPriority.h"
#include "TSerPort.h"

namespace {

// The order in which one wake-up's handlers run.
constexpr uint32_t LineEventOrder[] = {EV_CTS, EV_DSR, EV_RING, EV_RLSD};

// A wait that fails at once again and again must not spin a core.
constexpr std::chrono::milliseconds FailedWaitPause{10};

}  // namespace

TSerPortThread::TSerPortThread(TSerPort& port, std::shared_ptr<ISerialHandle> handle)
    : port_(port), handle_(std::move(handle)) {
    const TThreadPriority priority = port_.GetThreadPriority();
    thread_.Start([this, priority] {
        ApplyThreadPriority(priority);
        Execute();
    });
}

TSerPortThread::~TSerPortThread() {
    Stop();
    WaitFor();
}

void TSerPortThread::Stop() {
    thread_.Terminate();
}

void TSerPortThread::WaitFor() {
    thread_.WaitFor();
}

// The first pass only takes the initial line states: no handler fires for them.
void TSerPortThread::Execute() {
    uint32_t events = 0;
    bool firstPass = true;
    while (!thread_.Terminated()) {
        if (!firstPass && !handle_->WaitEvent(events)) {
            thread_.SleepFor(FailedWaitPause);
            continue;
        }
        firstPass = false;
        if (thread_.Terminated()) break;
        port_.RefreshInputs(*handle_);
        for (uint32_t event : LineEventOrder) {
            if ((events & event) == 0) continue;
            if (thread_.Terminated()) break;
            if (TSerPortNotify handler = port_.HandlerForEvent(event)) handler(port_);
        }
    }
}
