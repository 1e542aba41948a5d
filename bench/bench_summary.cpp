// A whole type-summary run in an offscreen main window, from GO to the filled list, against find
// on the same tree in the same run, with the window's waits during the runs: the gaps between two
// ticks of a 1-ms timer, seen from outside the walk. Then the STOP latency: from a click posted to
// the button while a run is under way to the caption reading "GO" with the walk returned.
//
// Usage: bench_summary ROOT [REPEATS=5] [STOPS=100] [cold]
// With "cold" the page cache is dropped before each find and each run (as root; the benchmark
// says so when it cannot), then the files the window itself has mapped are read back: the tree is
// cold, the running program is not.

#include "BenchTools.h"
#include "WindowControls.h"
#include "app/MainWindow.h"
#include "bench/DropCaches.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QTreeView>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

namespace {

using bench::Clock;
using bench::seconds;

double quantile(std::vector<double> v, double q) {
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, size_t(q * double(v.size())))];
}

double timeFind(const std::string& root) {
    const std::string cmd = "find '" + root + "' -type f -printf '%s %f\\n' > /dev/null";
    const auto t0 = Clock::now();
    if (std::system(cmd.c_str()) != 0)
        std::fprintf(stderr, "find reported an error\n");
    return seconds(Clock::now() - t0);
}

void postClick(QWidget* w) {
    bench::postClick(w, QPointF(w->width() / 2.0, w->height() / 2.0));
}

} // namespace

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s ROOT [REPEATS] [STOPS] [cold]\n", argv[0]);
        return 2;
    }
    const std::string root = argv[1];
    const int repeats = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    const int stops = argc > 3 ? std::max(1, std::atoi(argv[3])) : 100;
    const bool cold = argc > 4 && std::string(argv[4]) == "cold";
    if (cold && !canDropCaches())
        std::printf("cannot drop the page cache (needs root): the cold figures below are warm\n");
    const auto settle = [cold] {
        if (cold) {
            dropCaches();
            rewarmMappedFiles();
        }
    };

    const std::unique_ptr<QMainWindow> window = createMainWindow({});
    WindowControls form(*window);
    form.show();
    form.RootDir->setText(QString::fromLocal8Bit(root.c_str()));
    QCoreApplication::processEvents();

    timeFind(root); // warm the cache
    std::vector<double> findTimes, runTimes, ratios, gaps;
    int rows = 0;
    // Ticks only when the window processes events: a long gap is a wait the user sees.
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    Clock::time_point lastTick{};
    bool measuring = false;
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const auto now = Clock::now();
        if (measuring && lastTick != Clock::time_point{})
            gaps.push_back(seconds(now - lastTick) * 1000.0);
        lastTick = now;
    });
    ticker.start(1);
    for (int r = 0; r < repeats + 1; ++r) {
        settle();
        const double f = timeFind(root);
        settle();
        measuring = r > 0;
        lastTick = {};
        const auto t0 = Clock::now();
        form.Button1->click(); // returns when the run's clean-up is done
        const double t = seconds(Clock::now() - t0);
        if (measuring && lastTick != Clock::time_point{})
            gaps.push_back(seconds(Clock::now() - lastTick) * 1000.0);
        measuring = false;
        rows = form.ListView1->model()->rowCount();
        if (r == 0)
            continue; // the first run also loads the MIME database
        findTimes.push_back(f);
        runTimes.push_back(t);
        ratios.push_back(t / f);
    }
    ticker.stop();
    const double f = quantile(findTimes, 0.5), w = quantile(runTimes, 0.5);
    std::printf("%s summary run: %d types listed\n", cold ? "cold" : "warm", rows);
    std::printf("find -type f -printf '%%s %%f\\n': %.3f s (median of %d)\n", f, repeats);
    std::printf("GO to filled list:                %.3f s (median of %d)\n", w, repeats);
    // Each run against the find just before it: this machine's speed drifts between rounds.
    std::printf("ratio run/find: %.2f, median of the rounds' ratios (target <= 0.60)\n", quantile(ratios, 0.5));
    if (!gaps.empty())
        std::printf("window's waits during the runs (1-ms timer gaps, %zu): p99 %.1f ms, longest %.1f ms "
                    "(targets 20 ms, 50 ms)\n",
                    gaps.size(), quantile(gaps, 0.99), quantile(gaps, 1.0));

    std::mt19937 rng(7);
    std::uniform_int_distribution<int> delayMs(5, int(w * 900));
    std::vector<double> latencies;
    int missed = 0;
    for (int i = 0; i < stops; ++i) {
        Clock::time_point posted{};
        QTimer timer;
        timer.setSingleShot(true);
        QObject::connect(&timer, &QTimer::timeout, &form.window, [&] {
            posted = Clock::now();
            postClick(form.Button1);
        });
        timer.start(delayMs(rng));
        form.Button1->click();
        const auto returned = Clock::now();
        timer.stop();
        if (posted == Clock::time_point{} || form.ListView1->rowCount() > 0) {
            ++missed; // the run ended before the click came; drop a click still waiting
            QCoreApplication::removePostedEvents(form.Button1);
            continue;
        }
        if (form.Button1->text() != QLatin1String("GO")) {
            std::printf("STOP left the caption %s\n", qPrintable(form.Button1->text()));
            return 1;
        }
        latencies.push_back(seconds(returned - posted) * 1000.0);
    }
    if (latencies.empty()) {
        std::printf("STOP latency: no run was stopped\n");
        return 1;
    }
    std::printf("STOP latency over %zu stopped runs (%d ended first): median %.2f ms, p99 %.2f ms, max %.2f ms "
                "(target p99 <= 20 ms)\n",
                latencies.size(), missed, quantile(latencies, 0.5), quantile(latencies, 0.99),
                quantile(latencies, 1.0));
    return 0;
}
