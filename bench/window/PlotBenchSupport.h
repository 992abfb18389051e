#pragma once
// What the plot window's benchmarks share: the frames of plot16.scs (16 signed 16-bit
// values after the start trigger 7E A5) and a probe of how far the drawn plot trails
// the newest frame.

#include <QEvent>
#include <QObject>
#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <map>
#include <numbers>
#include <vector>

#include "Tfrm_Main.h"
#include "Tfrm_Plot.h"
#include "Tfrm_Term.h"
#include "ZLogger.h"
#include "ZBlock.h"
#include "ZFrameExport.h"
#include "ZULDateTime.h"

constexpr int PlotBenchFields = 16;
constexpr size_t PlotBenchFrameBytes = 2 + 2 * PlotBenchFields;

// Appends frame number n of a device sending framesPerSecond frames: field k is a sine
// of its own period (k + 1 tenths of a second) and amplitude, with a spike every 5,000th
// frame, so the lines move on every strip and a decimation that loses peaks shows.
inline void AppendPlotFrame(std::vector<uint8_t>& out, uint64_t n, double framesPerSecond) {
    out.push_back(0x7E);
    out.push_back(0xA5);
    const double seconds = static_cast<double>(n) / framesPerSecond;
    for (int k = 0; k < PlotBenchFields; ++k) {
        const double period = 0.1 * (k + 1);
        double volts = (1.0 + 0.5 * k) * std::sin(2 * std::numbers::pi * seconds / period);
        if (n % 5000 == static_cast<uint64_t>(k)) volts += 20;
        const auto raw = static_cast<int16_t>(std::lround(std::clamp(volts, -32.0, 32.0) * 1000));
        out.push_back(static_cast<uint8_t>(static_cast<uint16_t>(raw) >> 8));
        out.push_back(static_cast<uint8_t>(static_cast<uint16_t>(raw) & 0xFF));
    }
}

// With --without-terminal the terminal window no longer receives the capture's bytes,
// so that what the plot costs and how it keeps up is seen apart from the terminal's
// text, which takes the window thread too. Call while no capture or replay runs.
inline void LeaveOutTerminal(Tfrm_Main& main) {
    main.GetLogger()->RemoveByteObserver(main.GetTerminalWindow()->ByteObserver());
}

// How far the plot window's picture trails the newest frame. As a block observer (the
// capture's data thread) it notes the time of the newest data block with values; on
// the window thread it watches the strips' paint events. A strip's paint replaces a
// picture drawn up to the model's newest frame at its previous paint: the newest
// frame's time at this paint minus that is how far the strip was behind just before
// it, the worst moment between two paints. A window thread that stalls shows so.
class PlotLagProbe : public QObject, public IZBlockObserver {
public:
    // Any thread that feeds blocks.
    void OnBlock(const sBlock& block) override {
        if (block.Kind == bkData && block.Values != nullptr)
            newestUs_.store(ZULToUnixMicros(block.Time), std::memory_order_relaxed);
    }
    // Window thread: watches the strips plot shows now.
    void Watch(Tfrm_Plot& plot) {
        plot_ = &plot;
        strips_ = plot.findChildren<QWidget*>(QStringLiteral("plt_Strip"));
        for (QWidget* strip : strips_) strip->installEventFilter(this);
    }
    // Window thread, once the frames have stopped: a strip whose picture never caught
    // up with the last frame counts as that far behind.
    void Finish() {
        const int64_t newest = newestUs_.load(std::memory_order_relaxed);
        for (const auto& [strip, drawnUs] : drawnUs_) worstUs_ = std::max(worstUs_, newest - drawnUs);
    }
    // Window thread: the worst lag seen, in milliseconds.
    double WorstMs() const { return static_cast<double>(worstUs_) / 1000; }
    // Paints of the first strip so far.
    uint64_t Paints() const { return paints_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::Paint || plot_ == nullptr) return false;
        const int64_t newest = newestUs_.load(std::memory_order_relaxed);
        int64_t& drawnUs = drawnUs_[watched];
        if (drawnUs > 0) worstUs_ = std::max(worstUs_, newest - drawnUs);
        drawnUs = plot_->Model().NewestUs();
        if (!strips_.empty() && watched == strips_.front()) ++paints_;
        return false;
    }

private:
    std::atomic<int64_t> newestUs_{0};
    Tfrm_Plot* plot_ = nullptr;  // window thread only, as are the members below
    QList<QWidget*> strips_;
    std::map<QObject*, int64_t> drawnUs_;  // per strip, the newest frame its picture holds
    int64_t worstUs_ = 0;
    uint64_t paints_ = 0;
};
