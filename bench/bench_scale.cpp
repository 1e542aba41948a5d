// One tree at size, measured through the window from outside, each figure beside its peer from
// the same run:
//
// - the type summary against find -printf '%s %f\n', and every file listed (type mask "*.*")
//   against find -printf '%p %s %T@ %C@ %m\n', medians of REPEATS warm runs; the peak memory per
//   listed row of the first list run;
// - the window's waits: the gaps between the ticks of a 1-ms timer while the summary runs, while
//   the list fills, while the full list is sorted by each column (with no row selected, then with
//   half of them), while "Remove selected files" takes half the rows (contiguous, scattered), and
//   while the full list is narrowed to one row's folder and to its type.
//
// Usage: bench_scale ROOT [REPEATS=5]
// Lines read "name value [unit]"; bench/scale.sh runs it per size and sets the sizes side by side.

#include "BenchTools.h"
#include "WindowControls.h"
#include "app/MainWindow.h"

#include <QAction>
#include <QApplication>
#include <QCollator>
#include <QEventLoop>
#include <QHeaderView>
#include <QItemSelection>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <malloc.h>
#include <string>
#include <vector>

namespace {

using namespace bench;

double timeCommand(const std::string& cmd) {
    const auto t0 = Clock::now();
    if (std::system((cmd + " > /dev/null").c_str()) != 0)
        std::fprintf(stderr, "find reported an error\n");
    return seconds(Clock::now() - t0);
}

// Lets the window handle its events for a while, as it does after a click: the list lays out and
// paints the rows it was given.
void settle() {
    QEventLoop loop;
    QTimer::singleShot(300, &loop, &QEventLoop::quit);
    loop.exec();
}

// The ticks of a 1-ms timer on the UI thread: a gap between two is a time the window did not
// answer.
class Waits {
public:
    Waits() {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(1);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { m_ticks.push_back(Clock::now()); });
    }
    void start() {
        m_ticks.clear();
        m_ticks.push_back(Clock::now());
        m_timer.start();
    }
    // Milliseconds: the 99th percentile and the longest gap.
    std::pair<double, double> stop() {
        m_ticks.push_back(Clock::now());
        m_timer.stop();
        std::vector<double> gaps;
        for (size_t i = 1; i < m_ticks.size(); ++i)
            gaps.push_back(std::chrono::duration<double, std::milli>(m_ticks[i] - m_ticks[i - 1]).count());
        std::sort(gaps.begin(), gaps.end());
        return {gaps[std::min(gaps.size() - 1, size_t(0.99 * double(gaps.size())))], gaps.back()};
    }

private:
    QTimer m_timer;
    std::vector<Clock::time_point> m_ticks;
};

class Bench {
public:
    Bench(const std::string& root, int repeats)
        : m_root(root), m_repeats(repeats), m_window(createMainWindow({})), m_form(*m_window) {
        m_window->resize(1200, 800);
        m_form.show();
        m_form.RootDir->setText(QString::fromLocal8Bit(root.c_str()));
        m_remove = m_window->findChild<QAction*>(QStringLiteral("Removeselectedfiles1"));
        QCoreApplication::processEvents();
    }

    void run() {
        const std::string listFind = "find '" + m_root + "' -type f -printf '%p %s %T@ %C@ %m\\n'";
        const std::string summaryFind = "find '" + m_root + "' -type f -printf '%s %f\\n'";
        timeCommand(listFind); // warm the cache
        // The locale whose collation sorts the names; the C locale compares their bytes.
        std::printf("collation %s\n", qPrintable(QCollator().locale().name()));

        // The list first: its first run sets the process's peak.
        listMode(true);
        const long baseline = currentKiB();
        std::vector<double> finds, runs;
        std::pair<double, double> fillWaits{};
        int rows = 0;
        for (int r = 0; r < m_repeats; ++r) {
            finds.push_back(timeCommand(listFind));
            m_waits.start();
            const auto t0 = Clock::now();
            m_form.Button1->click();
            runs.push_back(seconds(Clock::now() - t0));
            settle();
            const auto waits = m_waits.stop();
            fillWaits = {std::max(fillWaits.first, waits.first), std::max(fillWaits.second, waits.second)};
            rows = m_form.ListView2->rowCount();
            if (r == 0) {
                std::printf("list_peak_bytes_per_row %ld\n", (peakKiB() - baseline) * 1024 / std::max(rows, 1));
                std::printf("list_held_bytes_per_row %ld\n", (currentKiB() - baseline) * 1024 / std::max(rows, 1));
            }
        }
        std::printf("rows %d\n", rows);
        std::printf("find_list_s %.3f\n", median(finds));
        std::printf("list_s %.3f\n", median(runs));
        std::printf("list_ratio %.3f\n", median(runs) / median(finds));
        std::printf("list_wait_p99_ms %.1f\nlist_wait_max_ms %.1f\n", fillWaits.first, fillWaits.second);

        sorts(QStringLiteral("none"));
        selectHalf(false);
        sorts(QStringLiteral("half"));
        removal(false);
        m_form.Button1->click();
        removal(true);
        for (const char* action : {"Filter", "Filterfilesbytype1"}) {
            m_form.Button1->click();
            filter(action);
        }

        listMode(false);
        m_form.ListView2->reportModel()->clear();
        finds.clear();
        runs.clear();
        std::pair<double, double> summaryWaits{};
        m_form.Button1->click(); // the first run also loads the type names
        for (int r = 0; r < m_repeats; ++r) {
            finds.push_back(timeCommand(summaryFind));
            m_waits.start();
            const auto t0 = Clock::now();
            m_form.Button1->click();
            runs.push_back(seconds(Clock::now() - t0));
            settle();
            const auto waits = m_waits.stop();
            summaryWaits = {std::max(summaryWaits.first, waits.first), std::max(summaryWaits.second, waits.second)};
        }
        std::printf("find_summary_s %.3f\n", median(finds));
        std::printf("summary_s %.3f\n", median(runs));
        std::printf("summary_ratio %.3f\n", median(runs) / median(finds));
        std::printf("summary_wait_p99_ms %.1f\nsummary_wait_max_ms %.1f\n", summaryWaits.first, summaryWaits.second);
    }

private:
    void listMode(bool on) {
        m_form.SingleFile->setChecked(on);
        m_form.FileType->setText(on ? QStringLiteral("*.*") : QString());
        QCoreApplication::processEvents();
    }

    // Rows 0 to half-1, or every other row.
    void selectHalf(bool scattered) {
        TSortListView* list = m_form.ListView2;
        const int rows = list->rowCount();
        const int last = list->model()->columnCount() - 1;
        QItemSelection selection;
        if (scattered) {
            for (int r = 0; r < rows; r += 2)
                selection.append(QItemSelectionRange(list->model()->index(r, 0), list->model()->index(r, last)));
        } else {
            selection.select(list->model()->index(0, 0), list->model()->index(rows / 2 - 1, last));
        }
        list->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        selection.clear();
        // Half a million ranges of persistent indexes, a person could never click, leave a million
        // small freed blocks that glibc would merge at the command's first large allocation: 0.1 s
        // of the bench's own making, merged here before the waits are timed.
        malloc_trim(0);
        QCoreApplication::processEvents();
    }

    // A click on each column's header, as a person clicks it, until the rows stand in order.
    void sorts(const QString& selected) {
        TSortListView* list = m_form.ListView2;
        QHeaderView* head = list->header();
        for (int c = 0; c < list->model()->columnCount(); ++c) {
            bool done = false;
            const auto connection = QObject::connect(list, &TSortListView::sorted, [&] { done = true; });
            m_waits.start();
            const auto t0 = Clock::now();
            bench::postClick(head->viewport(),
                             QPointF(head->sectionViewportPosition(c) + head->sectionSize(c) / 2, head->height() / 2));
            while (!done)
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
            const double took = seconds(Clock::now() - t0);
            settle();
            const auto [p99, longest] = m_waits.stop();
            QObject::disconnect(connection);
            std::printf("sort_%s_col%d_s %.3f\nsort_%s_col%d_wait_max_ms %.1f\n", qPrintable(selected), c, took,
                        qPrintable(selected), c, longest);
            (void)p99;
        }
        const QList<int> now = list->selectedRows();
        std::printf("sort_%s_selected_after %lld\n", qPrintable(selected), static_cast<long long>(now.size()));
    }

    void removal(bool scattered) {
        selectHalf(scattered);
        timeAction(m_remove, scattered ? "remove_scattered" : "remove_contiguous");
    }

    // The list narrowed to the folder or the type of a row in the middle, chosen from the menu.
    void filter(const char* name) {
        TSortListView* list = m_form.ListView2;
        list->selectionModel()->select(list->model()->index(list->rowCount() / 2, 0),
                                       QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        QCoreApplication::processEvents();
        timeAction(m_window->findChild<QAction*>(QString::fromLatin1(name)), ("filter_" + std::string(name)).c_str());
    }

    // A menu item chosen on the file list: how long it took, the longest wait, the rows it left.
    void timeAction(QAction* action, const char* name) {
        TSortListView* list = m_form.ListView2;
        const int before = list->rowCount();
        m_waits.start();
        const auto t0 = Clock::now();
        action->trigger();
        const double took = seconds(Clock::now() - t0);
        settle();
        const double longest = m_waits.stop().second;
        std::printf("%s_s %.3f\n%s_wait_max_ms %.1f\n%s_rows_left %d of %d\n", name, took, name, longest, name,
                    list->rowCount(), before);
    }

    std::string m_root;
    int m_repeats;
    std::unique_ptr<QMainWindow> m_window;
    WindowControls m_form;
    QAction* m_remove = nullptr;
    Waits m_waits;
};

} // namespace

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s ROOT [REPEATS]\n", argv[0]);
        return 2;
    }
    Bench(argv[1], argc > 2 ? std::max(1, std::atoi(argv[2])) : 5).run();
    return 0;
}
