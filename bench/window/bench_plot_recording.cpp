// A long timed recording opened in the window program with "Open recording...", then
// zoomed and panned over its whole length. The bench writes the recording with the
// engine's recorder (frames of plot16.scs: 16 values each, one packet per read of
// --packet-ms), loads plot16.scs with the given PlotPoints and the longest PlotSeconds,
// shows the main window, the capture window and the plot window, and opens the
// recording as the menu command does after its dialog. It reports how long the replay
// took and what the plot's feed dropped, the points each field kept, the resident
// memory before and after beside the bound PlotPoints sets (fields x points x bytes
// a point, and the feed's queue), and, for key presses that zoom and pan over the
// whole span (+, -, arrows, End), the time from the key to the last strip painted:
// wall and window-thread processor time, median and worst.
//
//   bench_plot_recording [--seconds S] [--points N] [--fps F] [--packet-ms M] [--without-terminal]
//
// Defaults: an hour, 1,000,000 points a field, and the frame rate that fills them
// exactly (N / S frames a second): at a higher rate the plot keeps the newest N points
// only, and the span it can show shrinks to N / F seconds. Runs on Qt's offscreen
// platform unless QT_QPA_PLATFORM says otherwise. Keep TMPDIR on tmpfs
// (TMPDIR=/dev/shm): the recording is written there.
// With --without-terminal, an hour of 1,000,000 frames replayed in 14 s with no value
// dropped (half of them before the feed waited for the window during a replay), a key's
// repaint took 29 to 31 ms of the window thread in the median on a loaded machine, and
// the million points a field took 261 MB; the figures are in HACKING.md's plot section.

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "../BenchLogDir.h"
#include "../SoakSupport.h"
#include "BenchWindowSupport.h"
#include "PlotBenchSupport.h"
#include "Tfrm_Log.h"
#include "Tfrm_Main.h"
#include "Tfrm_Plot.h"
#include "ZMessageBox.h"
#include "ZRawRecorder.h"
#include "ZViewSettings.h"

namespace {

struct Options {
    double Seconds = 3600;
    int Points = ZViewSettings::DefaultPlotPoints;
    double FramesPerSecond = 0;  // 0: Points / Seconds
    int PacketMs = 10;
    bool WithTerminal = true;
};

// 2026-01-01 00:00:00 UTC: where the recording's clock starts.
constexpr int64_t StartUs = 1'767'225'600'000'000;

// Writes the recording: per packet the frames due within its PacketMs, at its time.
// False after printing why.
bool WriteRecording(const std::string& path, const Options& options, uint64_t& frames) {
    ZRawRecorder recorder;
    std::string error;
    if (!recorder.CreateTimed(path, "COM99", "bench_plot_recording", error)) {
        std::fprintf(stderr, "bench_plot_recording: %s\n", error.c_str());
        return false;
    }
    const auto total = static_cast<uint64_t>(options.FramesPerSecond * options.Seconds);
    const int64_t packetUs = int64_t{options.PacketMs} * 1000;
    std::vector<uint8_t> packet;
    uint64_t n = 0;
    for (int64_t atUs = packetUs; n < total; atUs += packetUs) {
        packet.clear();
        while (n < total &&
               static_cast<double>(n) / options.FramesPerSecond * 1e6 < static_cast<double>(atUs))
            AppendPlotFrame(packet, n++, options.FramesPerSecond);
        if (!packet.empty()) recorder.Write(packet.data(), packet.size(), StartUs + atUs);
    }
    recorder.Close();
    frames = n;
    if (recorder.HasFailed()) {
        std::fprintf(stderr, "bench_plot_recording: the recording could not be written\n");
        return false;
    }
    return true;
}

// plot16.scs with the plot's view settings of the run, as a file of its own.
std::string WriteSettings(const std::string& folder, const Options& options) {
    std::ifstream in(KESTRUN_BENCH_WINDOW_DIR "/plot16.scs", std::ios::binary);
    const std::string path = folder + "plot16_recording.scs";
    std::ofstream out(path, std::ios::binary);
    out << in.rdbuf() << "\n[_view]\nPlotPoints=" << options.Points
        << "\nPlotSeconds=" << ZViewSettings::MaxPlotSeconds << "\n";
    return path;
}

// Counts the paint events of the widgets it watches.
class PaintCounter : public QObject {
public:
    void Watch(const QList<QWidget*>& widgets) {
        for (QWidget* widget : widgets) {
            widget->installEventFilter(this);
            paints_[widget] = 0;
        }
    }
    std::map<QObject*, uint64_t> Snapshot() const { return paints_; }
    // Whether every widget watched was painted since the snapshot.
    bool AllPaintedSince(const std::map<QObject*, uint64_t>& before) const {
        return std::all_of(paints_.begin(), paints_.end(),
                           [&](const auto& entry) { return entry.second > before.at(entry.first); });
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) ++paints_[watched];
        return false;
    }

private:
    std::map<QObject*, uint64_t> paints_;
};

struct KeyTime {
    double WallMs = 0;
    double CpuMs = 0;
    bool Painted = false;
};

// Presses key in the plot window and runs the events until every strip has painted
// (at most 10 s).
KeyTime TimedKey(Tfrm_Plot& plot, PaintCounter& paints, int key) {
    const auto before = paints.Snapshot();
    QElapsedTimer wall;
    wall.start();
    const double cpuBefore = CpuSeconds(RUSAGE_THREAD);
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(&plot, &press);
    KeyTime time;
    while (!(time.Painted = paints.AllPaintedSince(before)) && wall.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    time.WallMs = static_cast<double>(wall.nsecsElapsed()) / 1e6;
    time.CpuMs = (CpuSeconds(RUSAGE_THREAD) - cpuBefore) * 1000;
    return time;
}

double Median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::nth_element(values.begin(), values.begin() + static_cast<long>(values.size() / 2), values.end());
    return values[values.size() / 2];
}

// The peak resident memory of the process so far (VmHWM), in MB.
double PeakResidentMB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0) return std::atof(line.c_str() + 6) / 1024;
    return 0;
}

// The key presses of a user looking through the whole span: zoom in step by step,
// pan back and forth, zoom out again past the whole span, back to live.
std::vector<std::pair<const char*, int>> Presses() {
    std::vector<std::pair<const char*, int>> presses;
    for (int i = 0; i < 8; ++i) presses.emplace_back("+", Qt::Key_Plus);
    for (int i = 0; i < 8; ++i) presses.emplace_back("left", Qt::Key_Left);
    for (int i = 0; i < 8; ++i) presses.emplace_back("right", Qt::Key_Right);
    for (int i = 0; i < 9; ++i) presses.emplace_back("-", Qt::Key_Minus);
    presses.emplace_back("end", Qt::Key_End);
    return presses;
}

bool ZoomAndPan(Tfrm_Plot& plot) {
    PaintCounter paints;
    paints.Watch(plot.findChildren<QWidget*>(QStringLiteral("plt_Strip")));
    std::vector<double> wall, cpu;
    bool allPainted = true;
    const auto presses = Presses();
    for (const auto& [name, key] : presses) {
        const KeyTime time = TimedKey(plot, paints, key);
        wall.push_back(time.WallMs);
        cpu.push_back(time.CpuMs);
        allPainted = allPainted && time.Painted;
        if (!time.Painted) std::printf("key %s: not every strip painted within 10 s\n", name);
    }
    const auto worst = [](const std::vector<double>& values) {
        return *std::max_element(values.begin(), values.end());
    };
    std::printf(
        "repaint after a key, %zu keys (+ - arrows End over the span): wall median %.1f ms, worst %.1f ms; "
        "window thread median %.1f ms, worst %.1f ms\n",
        presses.size(), Median(wall), worst(wall), Median(cpu), worst(cpu));
    return allPainted;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--without-terminal") {
            options.WithTerminal = false;
            continue;
        }
        if (i + 1 == argc) break;
        const double value = std::atof(argv[i + 1]);
        if (arg == "--seconds")
            options.Seconds = value;
        else if (arg == "--points")
            options.Points = static_cast<int>(value);
        else if (arg == "--fps")
            options.FramesPerSecond = value;
        else if (arg == "--packet-ms")
            options.PacketMs = std::max(1, static_cast<int>(value));
        ++i;
    }
    if (options.FramesPerSecond <= 0) options.FramesPerSecond = options.Points / options.Seconds;

    const BenchLogDir home;
    setenv("KESTRUN_HOME", home.Path().c_str(), 1);
    const std::string recording = home.Path() + "recording.pcapng";
    uint64_t frames = 0;
    const auto writeStart = std::chrono::steady_clock::now();
    if (!WriteRecording(recording, options, frames)) return 1;
    std::printf("recording: %.0f s at %.1f frames a second, %llu frames, %.1f MB, written in %.1f s\n",
                options.Seconds, options.FramesPerSecond, static_cast<unsigned long long>(frames),
                static_cast<double>(std::filesystem::file_size(recording)) / 1e6,
                std::chrono::duration<double>(std::chrono::steady_clock::now() - writeStart).count());
    const std::string settingsFile = WriteSettings(home.Path(), options);
    if (!options.WithTerminal) std::printf("the terminal window receives no bytes\n");

    QApplication app(argc, argv);
    ZMessageBox::SetRecorder([](ZMessageBox::Kind, const QString& text) {
        std::fprintf(stderr, "bench_plot_recording: box: %s\n", qPrintable(text));
    });
    Tfrm_Main main;
    Tfrm_Log log;
    main.SetCaptureWindow(&log, &log);
    main.LoadSettingsFile(QString::fromStdString(settingsFile));
    main.show();
    log.show();
    main.ShowPlotWindow();
    if (!options.WithTerminal) LeaveOutTerminal(main);
    Tfrm_Plot& plot = *main.GetPlotWindow();
    RunEventLoop(1000);
    const double base = ResidentMB();

    QElapsedTimer replay;
    replay.start();
    if (!main.OpenRecording(QString::fromStdString(recording))) return 1;
    RunEventLoop(24 * 3600 * 1000, [&] { return !main.IsReplaying(); });
    const double replaySeconds = static_cast<double>(replay.nsecsElapsed()) / 1e9;
    RunEventLoop(500);
    const double afterReplay = ResidentMB();

    const ZPlotModel& model = plot.Model();
    const size_t kept = model.FieldCount() > 0 ? model.Series(0).Count() : 0;
    const double shownSeconds = static_cast<double>(model.ToUs() - model.FromUs()) / 1e6;
    const double pointsMB =
        static_cast<double>(PlotBenchFields) * options.Points * sizeof(sPlotPoint) / (1024.0 * 1024.0);
    std::printf("replay: %.1f s (%.0f frames a second), plot feed dropped %llu frames' values\n",
                replaySeconds, static_cast<double>(frames) / replaySeconds,
                static_cast<unsigned long long>(plot.Feed().Dropped()));
    std::printf(
        "plot: %d fields, %zu points kept a field (PlotPoints %d), %.0f s in view, strips %d x %d px\n",
        model.FieldCount(), kept, options.Points, shownSeconds,
        plot.findChild<QWidget*>(QStringLiteral("plt_Strip"))->width(),
        plot.findChild<QWidget*>(QStringLiteral("plt_Strip"))->height());
    const bool zoomed = ZoomAndPan(plot);
    const double atEnd = ResidentMB();
    std::printf(
        "resident: base %.1f MB (windows shown, settings loaded), after the replay %.1f MB, after zoom "
        "and pan %.1f MB, peak %.1f MB\n",
        base, afterReplay, atEnd, PeakResidentMB());
    // The rest of the program (live view, counters, queues) fills too during a replay:
    // its share is what the same run leaves with --points 1000.
    const double feedMB = 2.0 * ZPlotFeed::DefaultQueuedBlocks *
                          (sizeof(int64_t) + PlotBenchFields * sizeof(double)) / (1024.0 * 1024.0);
    std::printf(
        "the plot's bound: %d fields x %d points x %zu bytes = %.1f MB, and its feed's two batches "
        "%.1f MB; resident growth over the base %.1f MB (run with --points 1000 for the rest of the "
        "program's part of it)\n",
        PlotBenchFields, options.Points, sizeof(sPlotPoint), pointsMB, feedMB, PeakResidentMB() - base);
    main.close();
    return zoomed ? 0 : 1;
}
