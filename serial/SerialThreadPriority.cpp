#include "SerialThreadPriority.h"

#include "ZULThread.h"

namespace {

// Nice steps below normal for the lower priorities.
int NiceIncrement(TThreadPriority priority) {
    switch (priority) {
        case tpIdle:
            return 19;
        case tpLowest:
            return 2;
        case tpLower:
            return 1;
        default:
            return 0;
    }
}

}  // namespace

void ApplyThreadPriority(TThreadPriority priority) {
    if (priority > tpNormal) {
        ZULThread::RaiseCurrentThreadPriority();
        return;
    }
    const int increment = NiceIncrement(priority);
    if (increment != 0) ZULThread::AdjustCurrentThreadNice(increment);
}
