// The type chart with a summary of many types: setting the types (texts measured, the treemap laid
// out with the small types gathered), painting the tiles, painting the bars, and making a PNG
// picture of the tiles. Prints the median and the worst of the repeats.
//
// Usage: bench_chart [TYPES=5000] [REPEATS=20]

#include "views/TypeChartView.h"

#include <QApplication>
#include <QBuffer>
#include <QImage>
#include <QPainter>
#include <QRandomGenerator>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double millis(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

void report(const char* what, std::vector<double> times) {
    std::sort(times.begin(), times.end());
    std::printf("%-38s median %7.2f ms   worst %7.2f ms\n", what, times[times.size() / 2], times.back());
}

// Sizes spread over nine orders of magnitude, as a home folder's types are.
QList<TypeTotal> makeTypes(int n) {
    QRandomGenerator random(42);
    QList<TypeTotal> types;
    for (int i = 0; i < n; ++i) {
        const qint64 size = qint64(std::pow(10.0, 1.0 + random.bounded(9.0)));
        types.append({QStringLiteral(".ext%1").arg(i), QStringLiteral("EXT%1 File").arg(i),
                      qint64(1 + random.bounded(1000)), size});
    }
    return types;
}

} // namespace

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int n = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5000;
    const int repeats = argc > 2 ? std::max(1, std::atoi(argv[2])) : 20;
    const QList<TypeTotal> types = makeTypes(n);

    TypeChartView chart;
    chart.resize(1200, 800);
    chart.show();
    QCoreApplication::processEvents();

    std::vector<double> set, tiles, bars, total, picture;
    for (int r = 0; r < repeats; ++r) {
        chart.setMode(TypeChartView::Mode::Tiles);
        chart.setTypes({});
        chart.viewport()->repaint();
        const auto t0 = Clock::now();
        chart.setTypes(types);
        const auto t1 = Clock::now();
        chart.viewport()->repaint();
        const auto t2 = Clock::now();
        set.push_back(millis(t1 - t0));
        tiles.push_back(millis(t2 - t1));
        total.push_back(millis(t2 - t0));

        chart.setMode(TypeChartView::Mode::Bars);
        auto t3 = Clock::now();
        chart.viewport()->repaint();
        bars.push_back(millis(Clock::now() - t3));

        chart.setMode(TypeChartView::Mode::Tiles);
        t3 = Clock::now();
        QImage image(chart.pictureSize(), QImage::Format_ARGB32_Premultiplied);
        {
            QPainter painter(&image);
            chart.paintPicture(painter, image.size());
        }
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "PNG");
        picture.push_back(millis(Clock::now() - t3));
    }
    std::printf("%d types, chart %dx%d, %d tiles of their own + %lld gathered, %d repeats\n", n,
                chart.viewport()->width(), chart.viewport()->height(), int(chart.tileLayout().shown.size()),
                static_cast<long long>(chart.tileLayout().gathered.size()), repeats);
    report("set types (texts measured, laid out)", set);
    report("paint the tiles", tiles);
    report("set types, lay out, paint the tiles", total);
    report("paint the bars", bars);
    report("the tiles as a PNG picture", picture);
    std::printf("target: laying out and painting under 50 ms\n");
    return 0;
}
