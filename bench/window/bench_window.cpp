// The window program under load: the main window and the capture window (shown,
// every kind switched on) capture a pseudo-terminal port fed with the
// demonstration device's frames at a paced rate. Per rate it reports the bytes
// missing from the log files (compared with an offline replay of the same bytes),
// the status messages and live entries the windows dropped, how long an event
// posted from another thread every 10 ms waited for the window thread (median and
// worst: what input meets), and the shares of a core taken by the window thread and
// by the whole program (without the bench's own threads that feed the port and post
// those events).
// First it measures the whole program's share of a core while it idles: with no
// capture, and capturing a port that sends nothing.
//
//   bench_window [--plot] [--seconds S] [RATE_KBPS ...]  (default: 4 s, 100 and 500 KB/s)
//   bench_window --fields16 [--plot] [--seconds S] [FRAMES_PER_SECOND ...]  (default: 20000)
//   bench_window --soak [--seconds S] [RATE_KBPS ...]
//
// With --plot the plot window is shown too, plotting the settings' two fields: run it
// with and without to see what the plot costs. It then also reports how far the drawn
// plot trailed the newest frame at worst (PlotLagProbe), how often its first strip was
// painted a second, and the values its feed dropped.
// With --no-capture-window the capture window stays hidden (it still takes the blocks);
// with --without-terminal the terminal window receives no bytes (LeaveOutTerminal).
// With --fields16 the port sends the frames of plot16.scs (16 values each, 34 bytes) at
// the given frames a second, captured with those settings. At 20,000 frames a second
// with --plot --without-terminal the program took 29 % of a core, the plot at most 168 ms
// behind, 28 to 30 paints a second (65 % and 128 ms before the plot kept its reduced
// columns); the figures and the runs beside them are in HACKING.md's plot section.
// With --soak it runs a long capture instead (see SoakAt): nothing of the stream is
// kept, so the resident memory it prints once a minute is the program's own.
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
#include "../SoakSupport.h"
#include "BenchWindowSupport.h"
#include "PlotBenchSupport.h"
#include "Tfrm_Log.h"
#include "Tfrm_Main.h"
#include "Tfrm_Plot.h"
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
    double MedianLatencyMs = 0;
    double WorstLatencyMs = 0;
    double WindowCpuShare = 0;
    double ProgramCpuShare = 0;
    double PlotLagWorstMs = 0;  // with --plot
    double PlotPaintsPerSecond = 0;
    uint64_t PlotDropped = 0;
};

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

// The process's share of a core while the event loop runs for the given time.
double IdleShare(double seconds) {
    const double before = CpuSeconds(RUSAGE_SELF);
    QElapsedTimer wall;
    wall.start();
    RunEventLoop(static_cast<int>(seconds * 1000));
    return (CpuSeconds(RUSAGE_SELF) - before) / (static_cast<double>(wall.nsecsElapsed()) / 1e9);
}

// Posts an event to the window thread every 10 ms from a thread of its own and
// records how long each waited before the window thread took it.
class LatencyProbe : public QObject {
public:
    LatencyProbe() {
        poster_ = std::thread([this] {
            const double cpuStart = CpuSeconds(RUSAGE_THREAD);
            std::unique_lock guard(lock_);
            while (!stop_.wait_for(guard, std::chrono::milliseconds(10), [this] { return stopping_; }))
                QCoreApplication::postEvent(this, new Stamp);
            posterCpu_ = CpuSeconds(RUSAGE_THREAD) - cpuStart;
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
    // The processor time of the thread that plays the user, after Stop: not the program's.
    double PosterCpuSeconds() const { return posterCpu_; }

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
    double posterCpu_ = 0;  // written by the poster thread before it ends, read after the join
    std::thread poster_;
};

bool showPlot = false;       // --plot
bool sixteenFields = false;  // --fields16
bool showLog = true;         // false with --no-capture-window
bool withTerminal = true;    // false with --without-terminal

// The two windows as the program shows them, with the settings file loaded (and the
// plot window with --plot).
struct Windows {
    explicit Windows(const std::string& settingsFile) {
        main.SetCaptureWindow(&log, &log);
        main.LoadSettingsFile(QString::fromStdString(settingsFile));
        main.show();
        if (showLog) log.show();
        if (showPlot) main.ShowPlotWindow();
        if (!withTerminal) LeaveOutTerminal(main);
    }
    Tfrm_Main main;
    Tfrm_Log log;
};

void ShowEveryKind(Tfrm_Log& log) {
    for (const char* kind : {"tb_Trash", "tb_StartTrigger", "tb_Data", "tb_StopTrigger"}) {
        auto* button = Control<QToolButton>(log, kind);
        if (!button->isChecked()) button->click();
    }
}

void StartCapture(Tfrm_Main& main) {
    Control<QPushButton>(main, "btn_StartCapture")->click();
    if (!main.GetLogger()->IsCapturing()) {
        std::fprintf(stderr, "bench_window: the capture did not start\n");
        std::exit(1);
    }
}

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

// The demonstration device's frames for seconds at kbps.
std::vector<uint8_t> DemoStream(double kbps, double seconds) {
    ZDemoFrameSource source(ZDemoMode::Dynamic);
    std::vector<uint8_t> stream;
    while (static_cast<double>(stream.size()) < kbps * 1000 * seconds) source.AppendFrame(stream);
    return stream;
}

// The frames of plot16.scs for seconds at framesPerSecond.
std::vector<uint8_t> PlotStream(double framesPerSecond, double seconds) {
    std::vector<uint8_t> stream;
    const auto frames = static_cast<uint64_t>(framesPerSecond * seconds);
    stream.reserve(frames * PlotBenchFrameBytes);
    for (uint64_t n = 0; n < frames; ++n) AppendPlotFrame(stream, n, framesPerSecond);
    return stream;
}

// Captures stream sent at kbps with the windows shown.
RunResult RunAt(double kbps, const std::vector<uint8_t>& stream, ZPseudoTerminal& pty,
                const std::string& home, const std::string& settingsFile) {
    RunResult result;
    result.RateKBps = kbps;
    const std::string logDir = home + "std_log_out/";
    fs::remove_all(logDir);
    fs::create_directories(logDir);

    Windows windows(settingsFile);
    Tfrm_Main& main = windows.main;
    Tfrm_Log& log = windows.log;
    ShowEveryKind(log);

    result.BytesSent = stream.size();

    PlotLagProbe lag;
    Tfrm_Plot* plot = showPlot ? main.GetPlotWindow() : nullptr;
    if (plot != nullptr) main.GetLogger()->AddBlockObserver(&lag);
    StartCapture(main);
    if (plot != nullptr) lag.Watch(*plot);
    std::atomic<bool> written{false};
    double writeSeconds = 0;
    double writerCpu = 0;
    std::thread writer([&] {
        const double cpuStart = CpuSeconds(RUSAGE_THREAD);
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
        writerCpu = CpuSeconds(RUSAGE_THREAD) - cpuStart;
        written = true;
    });

    const double cpuBefore = CpuSeconds(RUSAGE_THREAD);
    const double programCpuBefore = CpuSeconds(RUSAGE_SELF);
    QElapsedTimer wall;
    wall.start();
    LatencyProbe probe;
    RunEventLoop(3600 * 1000, [&] { return written.load(); });
    // Two poll cycles and the pumps' turns for the last bytes.
    RunEventLoop(300);
    probe.Stop();
    const double cpu = CpuSeconds(RUSAGE_THREAD) - cpuBefore;
    writer.join();
    const double programCpu = CpuSeconds(RUSAGE_SELF) - programCpuBefore - writerCpu - probe.PosterCpuSeconds();
    const double wallSeconds = static_cast<double>(wall.nsecsElapsed()) / 1e9;
    result.WindowCpuShare = cpu / wallSeconds;
    result.ProgramCpuShare = programCpu / wallSeconds;
    result.MedianLatencyMs = probe.MedianMs();
    result.WorstLatencyMs = probe.WorstMs();
    result.AchievedKBps = static_cast<double>(stream.size()) / writeSeconds / 1000;
    if (plot != nullptr) {
        lag.Finish();
        result.PlotLagWorstMs = lag.WorstMs();
        result.PlotPaintsPerSecond = static_cast<double>(lag.Paints()) / wallSeconds;
    }

    Control<QPushButton>(main, "btn_StopCapture")->click();
    if (plot != nullptr) {
        result.PlotDropped = plot->Feed().Dropped();
        main.GetLogger()->RemoveBlockObserver(&lag);
    }
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

// A long capture at kbps with both windows shown and every kind switched on. The
// frames are made as they are sent and the log files are counted and removed as
// they come, so nothing grows in the bench itself. Prints the resident memory once
// a minute, then the bytes sent, counted and logged, what the windows dropped, the
// resident memory at the start, after the first minute and at the end, and the
// program's share of a core (without the thread that feeds the port). True when no
// byte was lost.
bool SoakAt(double kbps, double seconds, ZPseudoTerminal& pty, const std::string& home,
            const std::string& settingsFile) {
    fs::remove_all(home + "std_log_out/");
    fs::create_directories(home + "std_log_out/");
    Windows windows(settingsFile);
    Tfrm_Main& main = windows.main;
    ShowEveryKind(windows.log);
    ZLogger& logger = *main.GetLogger();
    logger.GetLogFileManager().SetKeepWrittenFiles(true);  // for the checker, which empties the list
    SoakLogChecker checker(logger.GetLogFileManager());

    const double residentAtStart = ResidentMB();
    StartCapture(main);
    SoakFeeder feeder(pty.Master(), kbps * 1000);

    const double cpuBefore = CpuSeconds(RUSAGE_SELF);
    QElapsedTimer wall;
    wall.start();
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, [&] { checker.CheckWritten(); });
    check.start(200);
    double residentAfterMinute = 0;
    QTimer minute;
    QObject::connect(&minute, &QTimer::timeout, [&] {
        const double resident =
            ReportMinute(static_cast<double>(wall.elapsed()) / 60000, feeder.Sent(), checker.Files());
        if (residentAfterMinute == 0) residentAfterMinute = resident;
    });
    minute.start(60000);
    RunEventLoop(static_cast<int>(seconds * 1000));
    feeder.Stop();
    const uint64_t sent = feeder.Sent();
    // Two poll cycles and the pumps' turns for the last bytes.
    RunEventLoop(500);
    const double wallSeconds = static_cast<double>(wall.nsecsElapsed()) / 1e9;
    Control<QPushButton>(main, "btn_StopCapture")->click();
    check.stop();
    minute.stop();
    checker.CheckWritten();
    const double residentAtEnd = ResidentMB();
    const double programCpu = CpuSeconds(RUSAGE_SELF) - cpuBefore - feeder.CpuSeconds();

    const uint64_t total = logger.TotalBytes;
    const bool lossless = sent == total && checker.Bytes() + logger.TrashedBytes == total;
    std::printf("seconds: %.1f\n", wallSeconds);
    std::printf("bytes sent: %llu, counted by the engine: %llu (lost %lld)\n",
                static_cast<unsigned long long>(sent), static_cast<unsigned long long>(total),
                static_cast<long long>(sent) - static_cast<long long>(total));
    std::printf("bytes in the log files: %llu (counted minus trash %u: %s), files %llu\n",
                static_cast<unsigned long long>(checker.Bytes()), logger.TrashedBytes,
                checker.Bytes() + logger.TrashedBytes == total ? "equal" : "DIFFERENT",
                static_cast<unsigned long long>(checker.Files()));
    std::printf("dropped: %u status messages, %u live entries\n", main.DroppedStatusMessages(),
                windows.log.DroppedEntries());
    std::printf("resident: start %.1f MB, after 1 min %.1f MB, end %.1f MB\n", residentAtStart,
                residentAfterMinute, residentAtEnd);
    std::printf("program CPU: %.1f %% of one core (the port's feeder left out)\n",
                100 * programCpu / wallSeconds);
    main.close();
    return lossless;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    double seconds = 4;
    bool soak = false;
    std::vector<double> rates;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--soak")
            soak = true;
        else if (arg == "--plot")
            showPlot = true;
        else if (arg == "--fields16")
            sixteenFields = true;
        else if (arg == "--no-capture-window")
            showLog = false;
        else if (arg == "--without-terminal")
            withTerminal = false;
        else if (arg == "--seconds" && i + 1 < argc)
            seconds = std::atof(argv[++i]);
        else
            rates.push_back(std::atof(arg.c_str()));
    }
    if (rates.empty()) rates = sixteenFields ? std::vector<double>{20000} : std::vector<double>{100, 500};

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
    const std::string settingsFile =
        sixteenFields ? KESTRUN_BENCH_WINDOW_DIR "/plot16.scs" : KESTRUN_SAMPLES_DIR "/demo_dynamic.scs";
    if (soak) {
        bool lossless = true;
        for (double rate : rates)
            lossless = SoakAt(rate, seconds, pty, home.Path(), settingsFile) && lossless;
        return lossless ? 0 : 1;
    }
    MeasureIdle(settingsFile);
    const char* plotHead[2] = {"", ""};
    if (showPlot) {
        plotHead[0] = "  plot lag  paints   plot";
        plotHead[1] = "  worst ms     a s  dropped";
    }
    std::printf("%6s %8s %9s %7s %6s %8s %8s %10s %9s %8s %8s%s\n", "KB/s", "achieved", "bytes", "missing",
                "logs=", "status", "entries", "input ms", "input ms", "window", "program", plotHead[0]);
    std::printf("%6s %8s %9s %7s %6s %8s %8s %10s %9s %8s %8s%s\n", "", "", "sent", "in logs", "replay",
                "dropped", "dropped", "median", "worst", "cpu", "cpu", plotHead[1]);
    for (double rate : rates) {
        const double kbps = sixteenFields ? rate * PlotBenchFrameBytes / 1000 : rate;
        if (sixteenFields) std::printf("%.0f frames a second of 16 fields:\n", rate);
        const RunResult r = RunAt(kbps, sixteenFields ? PlotStream(rate, seconds) : DemoStream(rate, seconds),
                                  pty, home.Path(), settingsFile);
        std::printf("%6.0f %8.1f %9llu %7lld %6s %8u %8u %10.2f %9.1f %7.1f%% %7.1f%%", r.RateKBps,
                    r.AchievedKBps, static_cast<unsigned long long>(r.BytesSent), r.BytesMissingInLogs,
                    r.LogsEqualReplay ? "yes" : "NO", r.StatusDropped, r.EntriesDropped, r.MedianLatencyMs,
                    r.WorstLatencyMs, r.WindowCpuShare * 100, r.ProgramCpuShare * 100);
        if (showPlot)
            std::printf(" %9.1f %7.1f %8llu", r.PlotLagWorstMs, r.PlotPaintsPerSecond,
                        static_cast<unsigned long long>(r.PlotDropped));
        std::printf("\n");
    }
    return 0;
}
