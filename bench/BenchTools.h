#pragma once

#include <QCoreApplication>
#include <QMouseEvent>
#include <QWidget>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <sys/resource.h>
#include <vector>

// What the benchmarks share: the clock, medians, the process's memory, and clicks posted to a
// widget as the windowing system posts them.
namespace bench {

using Clock = std::chrono::steady_clock;

inline double seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

inline double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// The peak resident memory so far, and the resident memory now.
inline long peakKiB() {
    struct rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

inline long currentKiB() {
    long pages = 0, resident = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(f);
    }
    return resident * 4;
}

// A left click at pos, posted: it takes effect when the window next handles its events.
inline void postClick(QWidget* w, QPointF pos) {
    const QPointF global = w->mapToGlobal(pos);
    QCoreApplication::postEvent(
        w, new QMouseEvent(QEvent::MouseButtonPress, pos, global, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier));
    QCoreApplication::postEvent(
        w, new QMouseEvent(QEvent::MouseButtonRelease, pos, global, Qt::LeftButton, Qt::NoButton, Qt::NoModifier));
}

} // namespace bench
