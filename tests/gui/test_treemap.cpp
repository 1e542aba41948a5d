#include "views/TreemapLayout.h"

#include <QRandomGenerator>
#include <cmath>
#include <gtest/gtest.h>
#include <vector>

namespace {

// Sizes spread like a summary's: a few big types, a long tail of small ones.
QList<qint64> skewedSizes(int n, quint32 seed) {
    QRandomGenerator random(seed);
    QList<qint64> sizes;
    for (int i = 0; i < n; ++i)
        sizes.append(qint64(std::pow(10.0, 1.0 + random.bounded(9.0))));
    return sizes;
}

// How many of the rectangles cover each pixel of bounds, as drawn (tilePixels).
std::vector<int> coverage(const QList<QRectF>& rects, const QRect& bounds) {
    std::vector<int> grid(size_t(bounds.width() * bounds.height()), 0);
    for (const QRectF& r : rects) {
        const QRect px = tilePixels(r);
        EXPECT_TRUE(px.isEmpty() || bounds.contains(px))
            << px.x() << "," << px.y() << " " << px.width() << "x" << px.height();
        const QRect in = px.intersected(bounds);
        for (int y = in.top(); y <= in.bottom(); ++y)
            for (int x = in.left(); x <= in.right(); ++x)
                ++grid[size_t((y - bounds.top()) * bounds.width() + (x - bounds.left()))];
    }
    return grid;
}

void expectEachPixelOnce(const QList<QRectF>& rects, const QRect& bounds) {
    const std::vector<int> grid = coverage(rects, bounds);
    int gaps = 0, overlaps = 0;
    for (int c : grid) {
        gaps += c == 0;
        overlaps += c > 1;
    }
    EXPECT_EQ(gaps, 0);
    EXPECT_EQ(overlaps, 0);
}

TEST(Treemap, EachAreaIsItsShareOfTheBoundsWithinOnePixel) {
    const QList<qint64> sizes = skewedSizes(300, 1);
    const QRectF bounds(10, 20, 801, 577);
    const QList<QRectF> rects = squarifiedTreemap(sizes, bounds);
    ASSERT_EQ(rects.size(), sizes.size());
    double total = 0;
    for (qint64 s : sizes)
        total += double(s);
    for (int i = 0; i < sizes.size(); ++i) {
        const double expected = double(sizes[i]) / total * bounds.width() * bounds.height();
        EXPECT_NEAR(rects[i].width() * rects[i].height(), expected, 1.0) << i;
        // Drawn, each edge moves by at most half a pixel.
        const QRect px = tilePixels(rects[i]);
        EXPECT_LE(std::abs(px.width() - rects[i].width()), 1.0) << i;
        EXPECT_LE(std::abs(px.height() - rects[i].height()), 1.0) << i;
    }
}

TEST(Treemap, TilesNeitherOverlapNorLeaveGapsAsDrawn) {
    const QRect bounds(3, 5, 640, 400);
    expectEachPixelOnce(squarifiedTreemap(skewedSizes(2000, 2), QRectF(bounds)), bounds);
    expectEachPixelOnce(squarifiedTreemap({1, 1, 1, 1, 1, 1, 1}, QRectF(bounds)), bounds);
    expectEachPixelOnce(squarifiedTreemap({1'000'000'000'000, 1}, QRectF(bounds)), QRect(bounds));
}

TEST(Treemap, EqualSizesKeepTheirInputOrder) {
    const QList<QRectF> square = squarifiedTreemap({10, 10, 10, 10}, QRectF(0, 0, 100, 100));
    EXPECT_EQ(square, (QList<QRectF>{QRectF(0, 0, 50, 50), QRectF(0, 50, 50, 50), QRectF(50, 0, 50, 50),
                                     QRectF(50, 50, 50, 50)}));

    const QRectF bounds(0, 0, 300, 200);
    const QList<QRectF> sorted = squarifiedTreemap({7, 7, 3, 3, 3}, bounds);
    const QList<QRectF> mixed = squarifiedTreemap({3, 7, 3, 7, 3}, bounds);
    EXPECT_EQ(mixed, (QList<QRectF>{sorted[2], sorted[0], sorted[3], sorted[1], sorted[4]}));
    EXPECT_EQ(squarifiedTreemap({3, 7, 3, 7, 3}, bounds), mixed);
}

TEST(Treemap, SizesOfNothingGetAnEmptyRectangleAtTheCorner) {
    const QRectF bounds(0, 0, 120, 80);
    const QList<QRectF> rects = squarifiedTreemap({0, 5, -3, 5}, bounds);
    EXPECT_EQ(rects[0], QRectF(120, 80, 0, 0));
    EXPECT_EQ(rects[2], QRectF(120, 80, 0, 0));
    EXPECT_DOUBLE_EQ(rects[1].width() * rects[1].height(), 4800);
    EXPECT_DOUBLE_EQ(rects[3].width() * rects[3].height(), 4800);
    for (const QRectF& r : squarifiedTreemap({0, 0}, bounds))
        EXPECT_TRUE(r.isEmpty());
    EXPECT_TRUE(squarifiedTreemap({}, bounds).isEmpty());
    EXPECT_TRUE(squarifiedTreemap({4}, QRectF(0, 0, 0, 50))[0].isEmpty());
}

TEST(Treemap, SmallTilesAreGatheredAfterTheOthers) {
    QList<qint64> sizes{100'000};
    for (int i = 0; i < 40; ++i)
        sizes.append(i % 2 ? 5 : 7);
    sizes.append(50'000);
    const TreemapLayout layout = layoutTreemap(sizes, QRectF(0, 0, 400, 300), 24);
    EXPECT_EQ(layout.shown, (QList<int>{0, 41}));
    ASSERT_EQ(layout.gathered.size(), 40);
    // Largest first, equal sizes in input order.
    EXPECT_EQ(layout.gathered.mid(0, 3), (QList<int>{1, 3, 5}));
    EXPECT_EQ(layout.gathered.mid(20, 3), (QList<int>{2, 4, 6}));
    EXPECT_EQ(layout.gatheredSize, 20 * 5 + 20 * 7);
    const double total = 150'000 + 240;
    EXPECT_NEAR(layout.gatheredTile.width() * layout.gatheredTile.height(), 240 / total * 120'000, 1.0);
    EXPECT_NEAR(layout.tiles[0].width() * layout.tiles[0].height(), 100'000 / total * 120'000, 1.0);
}

TEST(Treemap, ManyTypesGatheredLeaveNoOwnTileBelowTheLeastSideAndCoverTheBounds) {
    const QList<qint64> sizes = skewedSizes(5000, 3);
    const QRect bounds(0, 0, 1000, 700);
    const TreemapLayout layout = layoutTreemap(sizes, QRectF(bounds), 24);
    ASSERT_EQ(layout.shown.size(), layout.tiles.size());
    EXPECT_GT(layout.shown.size(), 10);
    EXPECT_GT(layout.gathered.size(), 10);

    std::vector<int> placed(size_t(sizes.size()), 0);
    for (int i : layout.shown)
        ++placed[size_t(i)];
    qint64 gatheredSize = 0;
    for (int i : layout.gathered) {
        ++placed[size_t(i)];
        gatheredSize += sizes[i];
    }
    for (size_t i = 0; i < placed.size(); ++i)
        EXPECT_EQ(placed[i], 1) << i;
    EXPECT_EQ(layout.gatheredSize, gatheredSize);

    for (const QRectF& tile : layout.tiles) {
        EXPECT_GE(tile.width(), 24 - 1e-6);
        EXPECT_GE(tile.height(), 24 - 1e-6);
    }
    for (int k = 1; k < layout.shown.size(); ++k)
        EXPECT_GE(sizes[layout.shown[k - 1]], sizes[layout.shown[k]]);
    QList<QRectF> all = layout.tiles;
    all.append(layout.gatheredTile);
    expectEachPixelOnce(all, bounds);
}

TEST(Treemap, NothingIsGatheredWhenEveryTileFits) {
    const TreemapLayout layout = layoutTreemap({3, 1, 2}, QRectF(0, 0, 300, 200), 24);
    EXPECT_EQ(layout.shown, (QList<int>{0, 2, 1}));
    EXPECT_TRUE(layout.gathered.isEmpty());
    EXPECT_TRUE(layout.gatheredTile.isEmpty());
    EXPECT_EQ(layout.gatheredSize, 0);
}

TEST(Treemap, TypesOfNoSizeAreGatheredWithoutArea) {
    const TreemapLayout some = layoutTreemap({0, 10, 0}, QRectF(0, 0, 100, 100), 24);
    EXPECT_EQ(some.shown, QList<int>{1});
    EXPECT_EQ(some.tiles, QList<QRectF>{QRectF(0, 0, 100, 100)});
    EXPECT_EQ(some.gathered, (QList<int>{0, 2}));
    EXPECT_TRUE(some.gatheredTile.isEmpty());

    // With no size at all, or no room for one tile, the gathered tile takes the whole picture.
    const TreemapLayout none = layoutTreemap({0, 0}, QRectF(0, 0, 100, 100), 24);
    EXPECT_TRUE(none.shown.isEmpty());
    EXPECT_EQ(none.gathered, (QList<int>{0, 1}));
    EXPECT_EQ(none.gatheredTile, QRectF(0, 0, 100, 100));
    const TreemapLayout cramped = layoutTreemap({5, 6}, QRectF(0, 0, 100, 20), 24);
    EXPECT_EQ(cramped.gathered, (QList<int>{1, 0}));
    EXPECT_EQ(cramped.gatheredTile, QRectF(0, 0, 100, 20));
    EXPECT_EQ(cramped.gatheredSize, 11);

    const TreemapLayout empty = layoutTreemap({}, QRectF(0, 0, 100, 100), 24);
    EXPECT_TRUE(empty.shown.isEmpty() && empty.gathered.isEmpty() && empty.gatheredTile.isEmpty());
}

TEST(Treemap, TileAtFindsTheTileUnderAPixel) {
    QList<qint64> sizes{600, 300};
    for (int i = 0; i < 30; ++i)
        sizes.append(1);
    const TreemapLayout layout = layoutTreemap(sizes, QRectF(0, 0, 200, 100), 24);
    ASSERT_EQ(layout.shown, (QList<int>{0, 1}));
    for (int k = 0; k < layout.tiles.size(); ++k)
        EXPECT_EQ(layout.tileAt(layout.tiles[k].center().toPoint()), k);
    EXPECT_EQ(layout.tileAt(layout.gatheredTile.center().toPoint()), -1);
    EXPECT_EQ(layout.tileAt(QPoint(200, 50)), -2);
    EXPECT_EQ(layout.tileAt(QPoint(-1, 0)), -2);
}

} // namespace
