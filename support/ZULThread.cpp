#include "ZULThread.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

ZULThread::~ZULThread() {
    Terminate();
    if (thread_.joinable()) {
        if (IsCurrentThread())
            thread_.detach();
        else
            thread_.join();
    }
}

void ZULThread::Start(std::function<void()> body) {
    // The new thread runs before thread_ is assigned; a body that asks IsCurrentThread or
    // WaitFor at once would read it half-written. It waits for the lock Start holds until then.
    std::lock_guard guard(lock_);
    thread_ = std::thread([this, body = std::move(body)] {
        { std::lock_guard assigned(lock_); }
        body();
    });
}

void ZULThread::Terminate() {
    {
        std::lock_guard guard(lock_);
        terminated_ = true;
    }
    wake_.notify_all();
}

bool ZULThread::Terminated() const {
    std::lock_guard guard(lock_);
    return terminated_;
}

bool ZULThread::SleepFor(std::chrono::milliseconds duration) {
    return SleepUntil(std::chrono::steady_clock::now() + duration);
}

bool ZULThread::SleepUntil(std::chrono::steady_clock::time_point deadline) {
    std::unique_lock guard(lock_);
    return !wake_.wait_until(guard, deadline, [this] { return terminated_; });
}

void ZULThread::WaitFor() {
    if (thread_.joinable() && !IsCurrentThread()) thread_.join();
}

bool ZULThread::IsCurrentThread() const {
    return thread_.get_id() == std::this_thread::get_id();
}

bool ZULThread::RaiseCurrentThreadPriority() {
    return AdjustCurrentThreadNice(-1);
}

bool ZULThread::AdjustCurrentThreadNice(int delta) {
    // On Linux the nice value is per thread; lowering it needs CAP_SYS_NICE or a
    // suitable RLIMIT_NICE, so an ordinary user simply keeps normal priority.
    const auto tid = static_cast<id_t>(syscall(SYS_gettid));
    errno = 0;
    const int current = getpriority(PRIO_PROCESS, tid);
    if (errno != 0) return false;
    return setpriority(PRIO_PROCESS, tid, current + delta) == 0;
}
