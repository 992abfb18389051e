#include "ZULFuncDecThread.h"

#include <future>
#include <memory>
#include <thread>

TZULFuncDecThread::TZULFuncDecThread(bool createSuspended, std::function<void()> operation, bool synchronised,
                                     IZULMainThreadDispatcher* dispatcher)
    : operation_(std::move(operation)), synchronised_(synchronised), dispatcher_(dispatcher) {
    // Last statement: once the thread runs, it may release this object at any moment.
    if (!createSuspended) Resume();
}

void TZULFuncDecThread::Resume() {
    std::thread([this] {
        Execute();
        delete this;
    }).detach();
}

void TZULFuncDecThread::Execute() {
    if (!operation_) return;
    if (!synchronised_ || dispatcher_ == nullptr) {
        operation_();
        return;
    }
    // The task owns the only promise: it is fulfilled when the operation has run, and broken
    // when the dispatcher destroys the task unrun. Either way the wait below ends, so a
    // dispatcher that goes away never leaves this thread waiting for good.
    auto done = std::make_shared<std::promise<void>>();
    std::future<void> finished = done->get_future();
    // The task may refer to this object: it runs, if at all, while this thread still waits.
    dispatcher_->Post([this, done = std::move(done)] {
        operation_();
        done->set_value();
    });
    finished.wait();
}
