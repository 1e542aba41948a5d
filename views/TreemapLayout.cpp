#include "views/TreemapLayout.h"

#include <QRect>
#include <algorithm>
#include <cmath>
#include <numeric>
#include <vector>

namespace {

// The worst aspect ratio (long side over short side) of a row of tiles of the given total area,
// largest and smallest tile, laid along a side of the given length.
double worstRatio(double largest, double smallest, double rowArea, double side) {
    const double side2 = side * side;
    const double area2 = rowArea * rowArea;
    return std::max(side2 * largest / area2, area2 / (side2 * smallest));
}

// Lays out positive areas that add up to the area of rect, mostly largest first, into out (same
// order). Each row runs along the shorter side of what is left and takes tiles while that makes
// its worst tile squarer; the last row fills what is left exactly, so nothing drifts.
void squarify(const std::vector<double>& areas, const QRectF& rect, std::vector<QRectF>& out) {
    const size_t n = areas.size();
    out.assign(n, QRectF());
    double x = rect.x(), y = rect.y(), w = rect.width(), h = rect.height();
    size_t i = 0;
    while (i < n) {
        const bool wide = w >= h; // the row becomes a column at the left of a wide rectangle
        const double side = wide ? h : w;
        double rowArea = areas[i], largest = areas[i], smallest = areas[i];
        double worst = worstRatio(largest, smallest, rowArea, side);
        size_t j = i + 1;
        for (; j < n; ++j) {
            const double l = std::max(largest, areas[j]), s = std::min(smallest, areas[j]);
            const double ratio = worstRatio(l, s, rowArea + areas[j], side);
            if (ratio > worst)
                break;
            rowArea += areas[j];
            largest = l;
            smallest = s;
            worst = ratio;
        }
        const double thickness = j == n ? (wide ? w : h) : std::min(rowArea / side, wide ? w : h);
        double along = 0;
        double start = 0;
        for (size_t k = i; k < j; ++k) {
            along += areas[k];
            const double end = k + 1 == j ? side : along / rowArea * side;
            out[k] = wide ? QRectF(x, y + start, thickness, end - start) : QRectF(x + start, y, end - start, thickness);
            start = end;
        }
        if (wide) {
            x += thickness;
            w -= thickness;
        } else {
            y += thickness;
            h -= thickness;
        }
        i = j;
    }
}

// Indexes of the positive sizes, largest first, equal sizes in input order.
std::vector<int> positiveBySize(const QList<qint64>& sizes) {
    std::vector<int> order;
    order.reserve(size_t(sizes.size()));
    for (int i = 0; i < int(sizes.size()); ++i)
        if (sizes[i] > 0)
            order.push_back(i);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return sizes[a] > sizes[b]; });
    return order;
}

} // namespace

QList<QRectF> squarifiedTreemap(const QList<qint64>& sizes, const QRectF& bounds) {
    QList<QRectF> result(sizes.size(), QRectF(bounds.bottomRight(), QSizeF(0, 0)));
    if (bounds.width() <= 0 || bounds.height() <= 0)
        return result;
    const std::vector<int> order = positiveBySize(sizes);
    const double total =
        std::accumulate(order.begin(), order.end(), 0.0, [&](double sum, int i) { return sum + double(sizes[i]); });
    if (order.empty())
        return result;
    const double area = bounds.width() * bounds.height();
    std::vector<double> areas;
    areas.reserve(order.size());
    for (int i : order)
        areas.push_back(double(sizes[i]) / total * area);
    std::vector<QRectF> rects;
    squarify(areas, bounds, rects);
    for (size_t k = 0; k < order.size(); ++k)
        result[order[k]] = rects[k];
    return result;
}

TreemapLayout layoutTreemap(const QList<qint64>& sizes, const QRectF& bounds, qreal minSide) {
    TreemapLayout layout;
    const std::vector<int> order = positiveBySize(sizes);
    qint64 total = 0;
    for (int i : order)
        total += sizes[i];

    const auto gatherFrom = [&](size_t kept) {
        layout.gathered.clear();
        layout.gatheredSize = 0;
        for (size_t k = kept; k < order.size(); ++k) {
            layout.gathered.append(order[k]);
            layout.gatheredSize += sizes[order[k]];
        }
        for (int i = 0; i < int(sizes.size()); ++i)
            if (sizes[i] <= 0)
                layout.gathered.append(i);
    };

    const double area = bounds.width() * bounds.height();
    const double minArea = double(minSide) * double(minSide);
    if (total == 0 || bounds.width() < minSide || bounds.height() < minSide) {
        gatherFrom(0);
        if (!layout.gathered.isEmpty())
            layout.gatheredTile = bounds;
        return layout;
    }

    // A tile of less area than minSide squared is too small whatever its shape, so only the sizes
    // before the first such one can keep a tile; the loop then drops the ones squarifying squeezed.
    size_t kept = 0;
    while (kept < order.size() && double(sizes[order[kept]]) / double(total) * area >= minArea)
        ++kept;
    // Tolerance for tiles that come out a rounding error below minSide.
    const double slack = 1e-9 * std::max(1.0, double(minSide));
    std::vector<double> areas;
    std::vector<QRectF> rects;
    for (;;) {
        areas.clear();
        for (size_t k = 0; k < kept; ++k)
            areas.push_back(double(sizes[order[k]]) / double(total) * area);
        qint64 rest = 0;
        for (size_t k = kept; k < order.size(); ++k)
            rest += sizes[order[k]];
        if (rest > 0)
            areas.push_back(double(rest) / double(total) * area);
        squarify(areas, bounds, rects);
        size_t tooSmall = kept;
        for (size_t k = 0; k < kept; ++k) {
            if (rects[k].width() + slack < minSide || rects[k].height() + slack < minSide) {
                tooSmall = k;
                break;
            }
        }
        if (tooSmall == kept)
            break;
        kept = tooSmall;
    }

    for (size_t k = 0; k < kept; ++k) {
        layout.shown.append(order[k]);
        layout.tiles.append(rects[k]);
    }
    gatherFrom(kept);
    if (kept == 0)
        layout.gatheredTile = bounds;
    else if (kept < order.size())
        layout.gatheredTile = rects[kept];
    return layout;
}

int TreemapLayout::tileAt(const QPoint& pixel) const {
    for (int i = 0; i < int(tiles.size()); ++i)
        if (tilePixels(tiles[i]).contains(pixel))
            return i;
    if (!gatheredTile.isEmpty() && tilePixels(gatheredTile).contains(pixel))
        return -1;
    return -2;
}

QRect tilePixels(const QRectF& tile) {
    const auto edge = [](double v) { return int(std::floor(v + 0.5)); };
    const int left = edge(tile.left()), top = edge(tile.top());
    return QRect(left, top, edge(tile.right()) - left, edge(tile.bottom()) - top);
}
