// One full repaint of the capture window's grid with all 80 rows filled, as the
// window thread does it at each grid update: the viewport painted at once,
// offscreen. The grid is sized to show 40 rows (600 pixels). Rows alternate a start
// trigger of 3 bytes and a data block of the demonstration device's size (24
// bytes), or, with the argument 1, data blocks of 16384 bytes (HEX texts of 49151
// characters, elided).
//
//   QT_QPA_PLATFORM=offscreen bench_grid_paint [--benchmark_repetitions=5 ...]
//
// BM_StatusUpdate: one update of the main window's counters, as the window thread
// does it at most about 30 times a second while capturing: a batch of status
// messages arrives, is shown, and the window repaints what changed.
//
// BM_HistoryAdd: one entry of the demonstration device's size into a full history of
// 100,000 entries; its counter says what the history holds on to per 100,000 entries.
//
// BM_AccessibleGrid: what a screen reader asks of the grid with a history of 100,000
// entries: /0 a walk of its children (their count, then each one's name), /1 the
// table's questions (row count, and the cell at a row and column, with its name)
// about rows spread over the whole history.
//
// To look at the grid instead: bench_grid_paint --look SECONDS [ENTRIES] shows the
// window so filled (80 entries unless told), for that long, and measures nothing:
// with 80 its fourth row selected, with more scrolled back to a tenth of the
// history and the row at the top of the view selected.

#include <benchmark/benchmark.h>

#include <QAccessible>
#include <QApplication>
#include <QScrollBar>
#include <QTableView>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "Tfrm_Log.h"
#include "Tfrm_Main.h"
#include "ZFilter.h"
#include "ZViewHistory.h"

namespace {

constexpr int ViewportHeight = 600;

void FillRows(Tfrm_Log& log, int dataSize, int entries = Tfrm_Log::MaxRows) {
    const TDateTime stamp = ZULEncodeDateTime({2026, 12, 9, 14, 3, 27, 125});
    const std::vector<uint8_t> trigger = {0x7E, 0xA5, 0x14};
    std::vector<uint8_t> data(static_cast<size_t>(dataSize));
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(0x20 + (i * 7) % 0x70);
    for (int row = 0; row < entries; ++row) {
        const bool isTrigger = row % 2 == 0;
        // Never more than the entry pump holds: drained every 40.
        if (row % 40 == 39) {
            while (log.EntriesPending()) QCoreApplication::processEvents();
            log.tmr_RepaintTimer();
        }
        const std::vector<uint8_t>& bytes = isTrigger ? trigger : data;
        if (!log.AddEntry(bytes.data(), static_cast<int>(bytes.size()), stamp,
                          isTrigger ? bkStartTrigger : bkData)) {
            std::fprintf(stderr, "bench_grid_paint: entry %d refused\n", row);
            std::exit(1);
        }
    }
    while (log.ShownRows() < entries || log.EntriesPending()) {
        QCoreApplication::processEvents();
        log.tmr_RepaintTimer();
    }
}

// Shows the window with its grid 600 pixels high and every row filled; the newest
// rows are in view, as while following a live capture.
QTableView* ShowFilled(Tfrm_Log& log, int dataSize, int entries = Tfrm_Log::MaxRows) {
    log.show();
    auto* grid = log.findChild<QTableView*>("Grid");
    if (grid == nullptr) {
        std::fprintf(stderr, "bench_grid_paint: no grid\n");
        std::exit(1);
    }
    log.resize(800, log.height() + ViewportHeight - grid->viewport()->height());
    QCoreApplication::processEvents();
    FillRows(log, dataSize, entries);
    QCoreApplication::processEvents();
    return grid;
}

void BM_GridRepaint(benchmark::State& state) {
    Tfrm_Log log;
    QTableView* grid = ShowFilled(log, state.range(0) == 0 ? 24 : 16384);
    for (auto _ : state) grid->viewport()->repaint();
    state.counters["viewport_px"] = grid->viewport()->height();
    state.counters["rows_shown"] = grid->rowAt(grid->viewport()->height() - 1) - grid->rowAt(0) + 1;
}
BENCHMARK(BM_GridRepaint)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

void BM_StatusUpdate(benchmark::State& state) {
    Tfrm_Main main;  // the demonstration settings: three data triggers in the grid
    main.LoadSettingsFile(QStringLiteral(KESTRUN_SAMPLES_DIR "/demo_dynamic.scs"));
    main.show();
    QCoreApplication::processEvents();
    double n = 1000;
    for (auto _ : state) {
        n += 27;
        std::vector<std::unique_ptr<sStatusMsg>> batch;
        for (uint8_t kind : {0, 1, 2, 4, 5}) {
            batch.push_back(std::make_unique<sStatusMsg>());
            *batch.back() = {kind, "", kind == 5 ? 0 : n / 27, n};
        }
        main.StatusBatchArrived(batch);
        main.ShowPendingStatus();
        QCoreApplication::processEvents();
    }
}
BENCHMARK(BM_StatusUpdate)->Unit(benchmark::kMicrosecond);

void BM_HistoryAdd(benchmark::State& state) {
    constexpr int Entries = 100000;
    ZViewHistory history(Entries);
    std::vector<uint8_t> data(24, 0x41);
    for (int i = 0; i < Entries; ++i) history.Add(data.data(), 24, i, bkData, 0);
    double t = 0;
    for (auto _ : state) benchmark::DoNotOptimize(history.Add(data.data(), 24, ++t, bkData, 0));
    state.counters["MB_per_100k"] = static_cast<double>(history.ReservedBytes()) / 1e6;
}
BENCHMARK(BM_HistoryAdd)->Unit(benchmark::kNanosecond);

void BM_AccessibleGrid(benchmark::State& state) {
    constexpr int Entries = 100000;
    Tfrm_Log log;
    QTableView* grid = ShowFilled(log, 24, Entries);
    QAccessibleInterface* table = QAccessible::queryAccessibleInterface(grid);
    QAccessibleTableInterface* rows = table->tableInterface();
    if (state.range(0) == 1 && rows == nullptr) {
        state.SkipWithError("the grid answers no table interface");
        return;
    }
    int row = 0;
    qsizetype characters = 0;
    int asked = 0;
    for (auto _ : state) {
        // A screen reader's questions arrive one by one, the event loop back between them.
        if (++asked % 1000 == 0) QCoreApplication::processEvents();
        if (state.range(0) == 0) {
            const int children = table->childCount();
            for (int i = 0; i < children; ++i) characters += table->child(i)->text(QAccessible::Name).size();
        } else {
            row = (row + 7919) % rows->rowCount();
            characters += rows->cellAt(row, row % rows->columnCount())->text(QAccessible::Name).size();
        }
    }
    benchmark::DoNotOptimize(characters);
    state.counters["rows"] = rows != nullptr ? rows->rowCount() : log.ShownRows();
}
BENCHMARK(BM_AccessibleGrid)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if ((argc == 3 || argc == 4) && std::strcmp(argv[1], "--look") == 0) {
        Tfrm_Log log;
        const int entries = argc == 4 ? std::max(std::atoi(argv[3]), 1) : Tfrm_Log::MaxRows;
        QTableView* grid = ShowFilled(log, 24, entries);
        if (entries == Tfrm_Log::MaxRows) {
            grid->selectRow(Tfrm_Log::MaxRows - 37);
        } else {
            grid->verticalScrollBar()->setValue(entries / 10);
            grid->selectRow(grid->rowAt(0));
        }
        QTimer::singleShot(std::atoi(argv[2]) * 1000, &app, &QCoreApplication::quit);
        return QApplication::exec();
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
