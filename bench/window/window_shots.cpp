// Pictures of the window program's windows as a user sees them: the main window with
// each of its pages in front, the error history (empty and with entries) and the
// capture window with rows of every kind, each saved as a PNG. For looking at the
// layout in other languages and text sizes:
//
//   QT_QPA_PLATFORM=offscreen window_shots DIR                       (as it is)
//   LANGUAGE=de QT_QPA_PLATFORM=offscreen window_shots DIR           (German)
//   QT_SCALE_FACTOR=2 QT_QPA_PLATFORM=offscreen window_shots DIR     (200 %)
//
// The main window counts as after a capture (large counters, a wrong checksum, an
// error in the status line); KESTRUN_HOME names the application folder it uses.

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTabWidget>
#include <QTimer>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "Tfrm_Debug.h"
#include "Tfrm_Log.h"
#include "Tfrm_Main.h"
#include "ZApplication.h"
#include "ZFilter.h"
#include "ZLogger.h"

namespace {

void Save(QWidget& window, const QString& folder, const QString& name) {
    QCoreApplication::processEvents();
    const QString path = folder + u'/' + name + QStringLiteral(".png");
    if (!window.grab().save(path)) std::fprintf(stderr, "window_shots: %s not written\n", qPrintable(path));
}

void ShowCounts(Tfrm_Main& main) {
    const struct {
        uint8_t Kind;
        double Count, Total;
    } counts[] = {{0, 0, 4294967295.0}, {1, 0, 123456}, {2, 1906, 5718}, {3, 1906, 3812},
                  {4, 1910, 49660},     {6, 1906, 4},   {8, 0, 8192}};
    for (const auto& count : counts) {
        auto message = std::make_unique<sStatusMsg>();
        *message = {count.Kind, "", count.Count, count.Total};
        main.StatusArrived(std::move(message));
    }
}

void FillLog(Tfrm_Log& log) {
    const TDateTime stamp = ZULEncodeDateTime({2026, 12, 9, 14, 3, 27, 125});
    const std::vector<uint8_t> trigger = {0x7E, 0xA5, 0x14};
    const std::vector<uint8_t> data = {'#', '0', '0', '0', '0', '4', '2', ' ', 'T', '=', '2', '1', '.', '5'};
    const std::vector<uint8_t> sent = {0x11, 0x03, 0x00, 0x00, 0x00, 0x04, 0x46, 0x99};
    for (int i = 0; i < 30; ++i) {
        log.AddBlock(sBlock{stamp, trigger.data(), 3, bkStartTrigger});
        log.AddBlock(
            sBlock{stamp, data.data(), static_cast<int>(data.size()), bkData, i % 7 == 3 ? fvBad : fvGood});
        if (i % 10 == 0) log.AddBlock(sBlock{stamp, sent.data(), static_cast<int>(sent.size()), bkSent});
        while (log.EntriesPending()) QCoreApplication::processEvents();
    }
    log.tmr_RepaintTimer();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: window_shots DIR\n");
        return 2;
    }
    ZApplication app(argc, argv);
    const QString folder = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(folder);
    Tfrm_Main main;
    Tfrm_Log log;
    main.SetCaptureWindow(&log, &log);
    main.show();
    main.SetCaptureState(true);
    ShowCounts(main);
    main.GetLogger()->GetErrorHistory().AddError(
        "SerialCapture", "PollPort", "The COM port was lost (device /dev/ttyUSB0 hung up or was removed)");
    // The status line looks for new errors four times a second.
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < 1000) QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    auto* pages = main.findChild<QTabWidget*>(QStringLiteral("PageControl"));
    for (int page = 0; page < pages->count(); ++page) {
        pages->setCurrentIndex(page);
        Save(main, folder, QStringLiteral("main_%1").arg(page));
    }
    main.SetCaptureState(false);

    Tfrm_Debug empty(&main);
    empty.show();
    Save(empty, folder, QStringLiteral("errors_empty"));
    Tfrm_Debug errors(&main);
    errors.ShowHistory(&main.GetLogger()->GetErrorHistory());
    errors.show();
    Save(errors, folder, QStringLiteral("errors"));

    log.show();
    FillLog(log);
    Save(log, folder, QStringLiteral("capture_window"));
    main.close();
    return 0;
}
