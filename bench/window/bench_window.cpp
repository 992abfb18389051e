// The window program under load: the main window and the capture window (shown,
// every kind switched on) capture a pseudo-terminal port fed with the
// demonstration device's frames at a paced rate. Per rate it reports the bytes
// missing from the log files (compared with an offline replay of the same bytes),
// the status messages and live entries the windows dropped, the longest stall of
// the window thread's event loop, how long an event posted from another thread
// every 10 ms waited for the window thread (median and worst: what input meets),
// and the shares of a core taken by the window thread and by the whole program.
// First it measures the whole program's share of a core while it idles: with no
// capture, and capturing a port that sends nothing.
//
//   bench_window [--seconds S] [RATE_KBPS ...]      (default: 4 s, 100 and 500 KB/s)
//
// Runs on Qt's offscreen platform unless QT_QPA_PLATFORM says otherwise (xcb under
// a virtual display, with QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 and an accessibility
// bus, measures what a screen-reader user's program spends). Keep TMPDIR on tmpfs
// (TMPDIR=/dev/shm) so that the engine is measured, not the disk.

#include <sys/resource.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QEventLoop>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "../../app/cli/ZDemoFrameSource.h"
#include "../../app/cli/ZPacedWriter.h"
#include "../../app/cli/ZPseudoTerminal.h"
#include "../../tests/common/LogFileOrder.h"
#include "../BenchLogDir.h"
#include "Tfrm_Log.h"
#include "Tfrm_Main.h"
#include "ZLogger.h"
#include "ZMessageBox.h"

namespace fs = std::filesystem;

namespace {

struct RunResult {
    double RateKBps = 0;
    double AchievedKBps = 0;
    uint64_t BytesSent = 0;
    long long BytesMissingInLogs = 0;
    bool LogsEqualReplay = false;
    uint32_t StatusDropped = 0;
    uint32_t EntriesDropped = 0;
    double LongestStallMs = 0;
    double MedianLatencyMs = 0;
    double WorstLatencyMs = 0;
    double WindowCpuShare = 0;
    double ProgramCpuShare = 0;
};

// Processor seconds used so far by who (RUSAGE_THREAD or RUSAGE_SELF).
double CpuSeconds(int who) {
    rusage usage{};
    getrusage(who, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// The log files of a folder in the order written, as one text with the times of
// day blanked out (a live capture and a replay differ only there).
std::string LogText(const std::string& folder, long long& dataBytes) {
    std::string all;
    for (const auto& file : LogFilesInWrittenOrder(folder)) {
        std::ifstream in(file, std::ios::binary);
        all += std::string(std::istreambuf_iterator<char>(in), {});
    }
    static const std::regex time(R"(\d\d:\d\d:\d\d \()");
    static const std::regex count(R"(\((\d+) bytes\))");
    dataBytes = 0;
    for (std::sregex_iterator it(all.begin(), all.end(), count), end; it != end; ++it)
        dataBytes += std::stoll((*it)[1]);
    return std::regex_replace(all, time, "T (");
}

long long ReplayLogs(const std::string& settingsFile, const std::vector<uint8_t>& stream,
                     const std::string& folder, std::string& text) {
    ZLogger logger{ZLoggerSettings{}};
    std::string error;
    logger.LoadSettings(settingsFile, error);
    ZLoggerSettings settings;
    logger.GetSettings(settings);
    settings.LogDir = folder;
    logger.SetSettings(settings);
    logger.BeginReplay();
    for (size_t at = 0; at < stream.size(); at += 500)
        logger.FeedReplay(stream.data() + at, static_cast<int>(std::min<size_t>(500, stream.size() - at)));
    logger.EndReplay();
    long long bytes = 0;
    text = LogText(folder, bytes);
    return bytes;
}

// Runs the event loop as the program's own loop does (sleeping while nothing
// happens) until done() answers true, looking every 20 ms, or for at most ms.
void RunEventLoop(const std::function<bool()>& done, int ms) {
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, [&] {
        if (done()) loop.quit();
    });
    check.start(20);
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// The process's share of a core while the event loop runs for the given time.
double IdleShare(double seconds) {
    const double before = CpuSeconds(RUSAGE_SELF);
    QElapsedTimer wall;
    wall.start();
    RunEventLoop([] { return false; }, static_cast<int>(seconds * 1000));
    return (CpuSeconds(RUSAGE_SELF) - before) / (static_cast<double>(wall.nsecsElapsed()) / 1e9);
}

// Posts an event to the window thread every 10 ms from a thread of its own and
// records how long each waited before the window thread took it.
class LatencyProbe : public QObject {
public:
    LatencyProbe() {
        poster_ = std::thread([this] {
            std::unique_lock guard(lock_);
            while (!stop_.wait_for(guard, std::chrono::milliseconds(10), [this] { return stopping_; }))
                QCoreApplication::postEvent(this, new Stamp);
        });
    }
    ~LatencyProbe() override { Stop(); }

    void Stop() {
        {
            std::lock_guard guard(lock_);
            stopping_ = true;
        }
        stop_.notify_all();
        if (poster_.joinable()) poster_.join();
        QCoreApplication::removePostedEvents(this);
    }
    // Window thread, after Stop.
    double MedianMs() {
        if (waits_.empty()) return 0;
        std::nth_element(waits_.begin(), waits_.begin() + static_cast<long>(waits_.size() / 2), waits_.end());
        return waits_[waits_.size() / 2];
    }
    double WorstMs() const { return waits_.empty() ? 0 : *std::max_element(waits_.begin(), waits_.end()); }

protected:
    bool event(QEvent* e) override {
        if (e->type() != Stamp::Kind) return QObject::event(e);
        const auto posted = static_cast<Stamp*>(e)->Posted;
        waits_.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - posted).count());
        return true;
    }

private:
    struct Stamp : QEvent {
        static constexpr QEvent::Type Kind = static_cast<QEvent::Type>(QEvent::User + 15);
        Stamp() : QEvent(Kind) {}
        std::chrono::steady_clock::time_point Posted = std::chrono::steady_clock::now();
    };
    std::mutex lock_;  // guards stopping_
    std::condition_variable stop_;
    bool stopping_ = false;
    std::vector<double> waits_;  // window thread only
    std::thread poster_;
};

template <class T>
T* Control(QWidget& window, const char* name) {
    T* control = window.findChild<T*>(name);
    if (control == nullptr) {
        std::fprintf(stderr, "bench_window: no control %s\n", name);
        std::exit(1);
    }
    return control;
}

// The two windows as the program shows them, with the settings file loaded.
struct Windows {
    explicit Windows(const std::string& settingsFile) {
        main.SetCaptureWindow(&log, &log);
        main.LoadSettingsFile(QString::fromStdString(settingsFile));
        main.show();
        log.show();
    }
    Tfrm_Main main;
    Tfrm_Log log;
};

void MeasureIdle(const std::string& settingsFile) {
    Windows windowsShown(settingsFile);
    Tfrm_Main& main = windowsShown.main;
    IdleShare(1);  // settle after showing the windows
    const double windows = IdleShare(5);
    Control<QPushButton>(main, "btn_StartCapture")->click();
    const double capturing = IdleShare(5);
    Control<QPushButton>(main, "btn_StopCapture")->click();
    main.close();
    std::printf("idle, share of a core (5 s each): windows shown %.2f %%, capturing a silent port %.2f %%\n",
                windows * 100, capturing * 100);
}

RunResult RunAt(double kbps, double seconds, ZPseudoTerminal& pty, const std::string& home,
                const std::string& settingsFile) {
    RunResult result;
    result.RateKBps = kbps;
    const std::string logDir = home + "std_log_out/";
    fs::remove_all(logDir);
    fs::create_directories(logDir);

    Windows windows(settingsFile);
    Tfrm_Main& main = windows.main;
    Tfrm_Log& log = windows.log;
    for (const char* kind : {"tb_Trash", "tb_StartTrigger", "tb_Data", "tb_StopTrigger"}) {
        auto* button = Control<QToolButton>(log, kind);
        if (!button->isChecked()) button->click();
    }

    ZDemoFrameSource source(ZDemoMode::Dynamic);
    std::vector<uint8_t> stream;
    while (static_cast<double>(stream.size()) < kbps * 1000 * seconds) source.AppendFrame(stream);
    result.BytesSent = stream.size();

    // The window thread's pulse: the longest gap between two 2 ms ticks.
    QElapsedTimer pulse;
    double longestGap = 0;
    QTimer ticker;
    ticker.setInterval(2);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        longestGap = std::max(longestGap, static_cast<double>(pulse.nsecsElapsed()) / 1e6);
        pulse.restart();
    });

    Control<QPushButton>(main, "btn_StartCapture")->click();
    if (!main.GetLogger()->IsCapturing()) {
        std::fprintf(stderr, "bench_window: the capture did not start\n");
        std::exit(1);
    }
    std::atomic<bool> written{false};
    double writeSeconds = 0;
    std::thread writer([&] {
        bool handedOut = false;
        ZPacedWriter paced(pty.Master(), kbps * 1000, [&](std::vector<uint8_t>& out) {
            if (handedOut) return false;
            out = stream;
            handedOut = true;
            return true;
        });
        const auto start = std::chrono::steady_clock::now();
        while (!paced.Finished() && paced.WriteDue())
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        writeSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        written = true;
    });

    const double cpuBefore = CpuSeconds(RUSAGE_THREAD);
    const double programCpuBefore = CpuSeconds(RUSAGE_SELF);
    QElapsedTimer wall;
    wall.start();
    pulse.start();
    ticker.start();
    LatencyProbe probe;
    RunEventLoop([&] { return written.load(); }, 3600 * 1000);
    // Two poll cycles and the pumps' turns for the last bytes.
    RunEventLoop([] { return false; }, 300);
    ticker.stop();
    probe.Stop();
    const double cpu = CpuSeconds(RUSAGE_THREAD) - cpuBefore;
    const double programCpu = CpuSeconds(RUSAGE_SELF) - programCpuBefore;
    const double wallSeconds = static_cast<double>(wall.nsecsElapsed()) / 1e9;
    result.WindowCpuShare = cpu / wallSeconds;
    result.ProgramCpuShare = programCpu / wallSeconds;
    result.LongestStallMs = longestGap;
    result.MedianLatencyMs = probe.MedianMs();
    result.WorstLatencyMs = probe.WorstMs();
    writer.join();
    result.AchievedKBps = static_cast<double>(stream.size()) / writeSeconds / 1000;

    Control<QPushButton>(main, "btn_StopCapture")->click();
    result.StatusDropped = main.DroppedStatusMessages();
    result.EntriesDropped = log.DroppedEntries();
    main.close();

    long long liveBytes = 0;
    const std::string liveText = LogText(logDir, liveBytes);
    const std::string replayDir = home + "replay_out/";
    fs::remove_all(replayDir);
    fs::create_directories(replayDir);
    std::string replayText;
    const long long replayBytes = ReplayLogs(settingsFile, stream, replayDir, replayText);
    result.BytesMissingInLogs = replayBytes - liveBytes;
    result.LogsEqualReplay = liveText == replayText;
    if (!result.LogsEqualReplay && std::getenv("BENCH_WINDOW_KEEP")) {
        std::ofstream(std::string(std::getenv("BENCH_WINDOW_KEEP")) + "/live.txt") << liveText;
        std::ofstream(std::string(std::getenv("BENCH_WINDOW_KEEP")) + "/replay.txt") << replayText;
    }
    return result;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    double seconds = 4;
    std::vector<double> rates;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--seconds" && i + 1 < argc)
            seconds = std::atof(argv[++i]);
        else
            rates.push_back(std::atof(arg.c_str()));
    }
    if (rates.empty()) rates = {100, 500};

    // The port table is scanned once, at the first port: the link must be there before.
    const BenchLogDir home;
    ZPseudoTerminal pty;
    if (!pty.Open()) {
        std::perror("bench_window: no pseudo-terminal");
        return 1;
    }
    fs::create_directories(home.Path() + "ports");
    fs::create_symlink(pty.SlavePath(), home.Path() + "ports/com99");
    setenv("KESTRUN_HOME", home.Path().c_str(), 1);

    QApplication app(argc, argv);
    // A box would wait for a click that never comes: print it instead.
    ZMessageBox::SetRecorder([](ZMessageBox::Kind, const QString& text) {
        std::fprintf(stderr, "bench_window: box: %s\n", qPrintable(text));
    });
    const std::string settingsFile = KESTRUN_SAMPLES_DIR "/demo_dynamic.scs";
    MeasureIdle(settingsFile);
    std::printf("%6s %8s %9s %7s %6s %8s %8s %7s %10s %9s %8s %8s\n", "KB/s", "achieved", "bytes", "missing",
                "logs=", "status", "entries", "stall", "input ms", "input ms", "window", "program");
    std::printf("%6s %8s %9s %7s %6s %8s %8s %7s %10s %9s %8s %8s\n", "", "", "sent", "in logs", "replay",
                "dropped", "dropped", "ms", "median", "worst", "cpu", "cpu");
    for (double rate : rates) {
        const RunResult r = RunAt(rate, seconds, pty, home.Path(), settingsFile);
        std::printf("%6.0f %8.1f %9llu %7lld %6s %8u %8u %7.1f %10.2f %9.1f %7.1f%% %7.1f%%\n", r.RateKBps,
                    r.AchievedKBps, static_cast<unsigned long long>(r.BytesSent), r.BytesMissingInLogs,
                    r.LogsEqualReplay ? "yes" : "NO", r.StatusDropped, r.EntriesDropped, r.LongestStallMs,
                    r.MedianLatencyMs, r.WorstLatencyMs, r.WindowCpuShare * 100, r.ProgramCpuShare * 100);
    }
    return 0;
}
