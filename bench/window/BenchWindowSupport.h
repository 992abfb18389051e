#pragma once
// What the window benchmarks share: the processor time of a thread or the process, an
// event loop run as the program runs its own, and a control found by its name.

#include <sys/resource.h>

#include <QEventLoop>
#include <QObject>
#include <QTimer>
#include <QWidget>
#include <cstdio>
#include <cstdlib>
#include <functional>

// Processor seconds used so far by who (RUSAGE_THREAD or RUSAGE_SELF).
inline double CpuSeconds(int who) {
    rusage usage{};
    getrusage(who, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Runs the event loop as the program's own loop does (sleeping while nothing
// happens) for at most ms, and until done() answers true when one is given,
// looking every 100 ms (seldom enough not to weigh in what is measured).
inline void RunEventLoop(int ms, const std::function<bool()>& done = {}) {
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, [&] {
        if (done()) loop.quit();
    });
    if (done) check.start(100);
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// The control of window named name; a benchmark without it cannot go on.
template <class T>
T* Control(QWidget& window, const char* name) {
    T* control = window.findChild<T*>(name);
    if (control == nullptr) {
        std::fprintf(stderr, "bench: no control %s\n", name);
        std::exit(1);
    }
    return control;
}
