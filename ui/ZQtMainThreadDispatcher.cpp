#include "ZQtMainThreadDispatcher.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>
#include <stdexcept>

namespace {
int CreateWakeFd() {
    const int fd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    // Without it no synchronised call could ever reach the windows: the program cannot run.
    if (fd < 0) throw std::runtime_error("eventfd failed");
    return fd;
}
}  // namespace

ZQtMainThreadDispatcher::ZQtMainThreadDispatcher()
    : wakeFd_(CreateWakeFd()), notifier_(wakeFd_, QSocketNotifier::Read) {
    QObject::connect(&notifier_, &QSocketNotifier::activated, [this] { RunPending(); });
}

ZQtMainThreadDispatcher::~ZQtMainThreadDispatcher() {
    notifier_.setEnabled(false);
    close(wakeFd_);
}

void ZQtMainThreadDispatcher::Post(std::function<void()> task) {
    {
        std::lock_guard guard(lock_);
        tasks_.push_back(std::move(task));
    }
    const uint64_t one = 1;
    // Fails only when the counter is at its maximum, i.e. a wake-up is pending anyway.
    [[maybe_unused]] const auto written = write(wakeFd_, &one, sizeof one);
}

void ZQtMainThreadDispatcher::RunPending() {
    uint64_t count = 0;
    [[maybe_unused]] const auto got = read(wakeFd_, &count, sizeof count);
    // One at a time: a task may run a modal loop that comes back in here, and the
    // tasks it then runs are the next ones in posting order.
    for (;;) {
        std::function<void()> task;
        {
            std::lock_guard guard(lock_);
            if (tasks_.empty()) return;
            task = std::move(tasks_.front());
            tasks_.pop_front();
        }
        task();
    }
}

ZQtMainThreadDispatcher& ZQtMainThreadDispatcher::ForProgram() {
    static auto* dispatcher = new ZQtMainThreadDispatcher;
    return *dispatcher;
}
