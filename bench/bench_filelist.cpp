// The file list at size.
//
//   bench_filelist list ROOT [REPEATS=3]  every file of the tree listed with the type mask "*.*" in an
//                                         offscreen window, GO to filled list, against
//                                         find ROOT -type f -printf '%p %s %T@ %C@ %m\n'; and the peak
//                                         memory per listed row (run it in a fresh process)
//   bench_filelist sort [ROWS=1000000]    a list of ROWS rows sorted by Size and by Date modified,
//                                         beside a plain std::sort of the same 64-bit values
//   bench_filelist selection [ROWS=1000000]  with half the rows selected (contiguous, every other
//                                         row): a reordering of every row and a removal of the
//                                         selected half, with Qt's own selection model and with
//                                         the list's, which keeps the selection in its model

#include "BenchTools.h"
#include "WindowControls.h"
#include "app/MainWindow.h"
#include "lists/ListFills.h"
#include "lists/ListSortKeys.h"
#include "platform/FileAttributes.h"
#include "platform/FileTime.h"
#include "text/DateText.h"
#include "text/FileHelpers.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeView>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <numeric>
#include <random>
#include <string>
#include <vector>

namespace {

using bench::Clock;
using bench::currentKiB;
using bench::median;
using bench::peakKiB;
using bench::seconds;

double timeFind(const std::string& root) {
    const std::string cmd = "find '" + root + "' -type f -printf '%p %s %T@ %C@ %m\\n' > /dev/null";
    const auto t0 = Clock::now();
    if (std::system(cmd.c_str()) != 0)
        std::fprintf(stderr, "find reported an error\n");
    return seconds(Clock::now() - t0);
}

int listBench(const std::string& root, int repeats) {
    const std::unique_ptr<QMainWindow> window = createMainWindow({});
    WindowControls form(*window);
    form.show();
    form.RootDir->setText(QString::fromLocal8Bit(root.c_str()));
    form.SingleFile->setChecked(true);
    form.FileType->setText(QStringLiteral("*.*"));
    QCoreApplication::processEvents();

    timeFind(root); // warm the cache
    const long baseline = currentKiB();
    std::vector<double> findTimes, runTimes;
    long peakPerRow = 0;
    int rows = 0;
    for (int r = 0; r < repeats; ++r) {
        findTimes.push_back(timeFind(root));
        const auto t0 = Clock::now();
        form.Button1->click();
        runTimes.push_back(seconds(Clock::now() - t0));
        rows = form.ListView2->rowCount();
        if (r == 0) // the first run sets the process's peak
            peakPerRow = (peakKiB() - baseline) * 1024 / std::max(rows, 1);
    }
    const double f = median(findTimes), w = median(runTimes);
    std::printf("file list: %d rows\n", rows);
    std::printf("find -printf '%%p %%s %%T@ %%C@ %%m\\n': %.3f s (median of %d)\n", f, repeats);
    std::printf("GO to filled list:                   %.3f s (median of %d)\n", w, repeats);
    std::printf("ratio list/find: %.2f (target <= 1.0)\n", w / f);
    std::printf("peak memory per listed row: %ld bytes (target <= 200)\n", peakPerRow);
    return 0;
}

int sortBench(int rows) {
    const std::unique_ptr<QMainWindow> window = createMainWindow({});
    WindowControls form(*window);
    std::mt19937_64 rng(42);
    // Sizes spread over every unit; modification times over twenty years to the second, so nearly
    // every row shows a date of its own.
    std::uniform_real_distribution<double> logSize(0, 36);
    std::uniform_int_distribution<qint64> pickSecond(0, 20LL * 365 * 24 * 3600);
    const qint64 start = FileTime::fromUnix(1136073600LL); // 2006-01-01
    ReportModel* model = form.ListView2->reportModel();
    for (int i = 0; i < rows; ++i) {
        ListRow row;
        row.word = FileAttr::Archive;
        row.values[FileSlot::Created] = start + pickSecond(rng) * FileTime::kTicksPerSecond;
        row.values[FileSlot::Modified] = start + pickSecond(rng) * FileTime::kTicksPerSecond;
        row.values[FileSlot::Size] = qint64(std::exp2(logSize(rng)));
        model->addRow(QStringLiteral("/bench/folder%1/file%2.dat").arg(i % 1000).arg(i), row);
    }
    model->flushRows();
    std::printf("sorted list: %d rows of values\n", rows);

    ListSortKeys keys;
    for (const int column : {2, 3}) {
        const auto t0 = Clock::now();
        form.ListView2->headerClick(column);
        form.ListView2->finishSort();
        const double sorted = seconds(Clock::now() - t0);
        // The rows' own 64-bit values, shuffled, sorted by a plain std::sort.
        std::vector<qint64> plainKeys(static_cast<size_t>(rows));
        for (int i = 0; i < rows; ++i)
            plainKeys[size_t(i)] = model->row(i).values[column - 1];
        std::shuffle(plainKeys.begin(), plainKeys.end(), rng);
        const auto t1 = Clock::now();
        std::sort(plainKeys.begin(), plainKeys.end());
        const double plain = seconds(Clock::now() - t1);
        bool ordered = true;
        double previous = 0;
        for (int i = 0; i < rows && ordered; ++i) {
            double key = 0;
            keys.key(*model, column, model->storedIndex(i), key);
            ordered = i == 0 || previous <= key;
            previous = key;
        }
        std::printf("sort by %s: %.3f s; plain std::sort of the same 64-bit keys: %.3f s; ratio %.2f (target <= 2)%s\n",
                    column == 3 ? "Size" : "Date modified", sorted, plain, sorted / plain,
                    ordered ? "" : "  ** NOT ORDERED **");
    }
    return 0;
}

// Rows of paths only, put in a model for the selection benchmark.
void fillPlainRows(ReportModel& model, int rows) {
    for (int i = 0; i < rows; ++i)
        model.addRow(QStringLiteral("/bench/folder%1/file%2.dat").arg(i % 1000).arg(i), ListRow{});
    model.flushRows();
}

int selectionBench(int rows) {
    std::mt19937 rng(3);
    std::vector<int> shuffled(static_cast<size_t>(rows));
    std::iota(shuffled.begin(), shuffled.end(), 0);
    std::shuffle(shuffled.begin(), shuffled.end(), rng);
    std::printf("selection of half of %d rows; milliseconds\n", rows);
    for (const bool scattered : {false, true}) {
        for (const bool qtOwn : {true, false}) {
            // Qt's own: a plain tree view over the same model; the list's: TSortListView.
            TSortListView list;
            QTreeView plain;
            QAbstractItemView& view = qtOwn ? static_cast<QAbstractItemView&>(plain) : list;
            ReportModel* model = list.reportModel();
            if (qtOwn) {
                model = new ReportModel(fileListColumns(), &plain);
                plain.setUniformRowHeights(true);
                plain.setModel(model);
            }
            fillPlainRows(*model, rows);
            view.setSelectionMode(QAbstractItemView::ExtendedSelection);
            view.setSelectionBehavior(QAbstractItemView::SelectRows);
            QItemSelection half;
            const int last = model->columnCount() - 1;
            if (scattered) {
                for (int r = 0; r < rows; r += 2)
                    half.append(QItemSelectionRange(model->index(r, 0), model->index(r, last)));
            } else {
                half.select(model->index(0, 0), model->index(rows / 2 - 1, last));
            }
            view.selectionModel()->select(half, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
            auto t0 = Clock::now();
            model->permute(shuffled);
            const double permuted = seconds(Clock::now() - t0) * 1000;
            // What a paint asks: is each visible row selected (40 rows, 5 cells each).
            t0 = Clock::now();
            int shown = 0;
            for (int r = 0; r < 40; ++r) {
                for (int c = 0; c <= last; ++c)
                    shown += qtOwn ? view.selectionModel()->isSelected(model->index(r, c)) : model->isSelected(r);
            }
            const double painted = seconds(Clock::now() - t0) * 1000;
            // The selected half removed as "Remove selected files" removes it.
            t0 = Clock::now();
            if (qtOwn) {
                const QModelIndexList selected = view.selectionModel()->selectedRows();
                std::vector<bool> keep(size_t(model->rowCount()), true);
                for (const QModelIndex& index : selected)
                    keep[size_t(index.row())] = false;
                model->keepRows(keep);
            } else {
                list.removeRowsAt(list.selectedRows());
            }
            const double removed = seconds(Clock::now() - t0) * 1000;
            std::printf(
                "%-10s %-14s reorder %8.1f  one paint's lookups %8.1f  remove selected %8.1f  (%d rows left, %d "
                "cells)\n",
                scattered ? "scattered" : "contiguous", qtOwn ? "Qt's own" : "in the model", permuted, painted, removed,
                model->rowCount(), shown);
        }
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "list" && argc > 2)
        return listBench(argv[2], argc > 3 ? std::max(1, std::atoi(argv[3])) : 3);
    if (mode == "selection")
        return selectionBench(argc > 2 ? std::max(2, std::atoi(argv[2])) : 1000000);
    if (mode == "sort")
        return sortBench(argc > 2 ? std::max(2, std::atoi(argv[2])) : 1000000);
    std::fprintf(stderr, "usage: %s list ROOT [REPEATS] | sort [ROWS] | selection [ROWS]\n", argv[0]);
    return 2;
}
