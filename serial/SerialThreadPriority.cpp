#include "SerialThreadPriority.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>

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
    if (increment == 0) return;
    // On Linux the nice value belongs to the thread, so this leaves the process alone.
    const auto tid = static_cast<id_t>(syscall(SYS_gettid));
    errno = 0;
    const int current = getpriority(PRIO_PROCESS, tid);
    if (errno != 0) return;
    setpriority(PRIO_PROCESS, tid, current + increment);
}
