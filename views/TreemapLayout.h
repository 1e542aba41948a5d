#pragma once

#include <QList>
#include <QPoint>
#include <QRect>
#include <QRectF>
#include <QtGlobal>

// Squarified treemap: one rectangle per size, in the order of sizes, tiling bounds without gaps or
// overlaps, each with the share size / total of the bounds' area. Larger sizes are placed first,
// from the top left; equal sizes keep their input order, so the same sizes always give the same
// picture. Rectangles are exact (not rounded to pixels): neighbours share their edge coordinates,
// so rounding each edge to a pixel keeps them gapless. A size of 0 or less gets an empty rectangle
// at the bounds' bottom right corner; so does every size when they add up to 0.
QList<QRectF> squarifiedTreemap(const QList<qint64>& sizes, const QRectF& bounds);

// A treemap in which no tile of its own is narrower or lower than minSide: the sizes whose tile
// would be are gathered into one tile, laid out after the others with the sum of their sizes.
struct TreemapLayout {
    QList<int> shown;        // indexes into sizes of the tiles of their own, largest first
    QList<QRectF> tiles;     // their rectangles, parallel to shown
    QList<int> gathered;     // indexes into sizes in the gathered tile, largest first
    QRectF gatheredTile;     // the gathered tile; empty when nothing of any size is gathered
    qint64 gatheredSize = 0; // the sum of the gathered sizes

    // The index into shown of the tile covering pixel (tilePixels), -1 for the gathered tile, -2 for none.
    int tileAt(const QPoint& pixel) const;
};

// Lays sizes out in bounds as a squarified treemap with the small tiles gathered. Sizes of 0 or
// less are always gathered; when all sizes are, or bounds cannot hold one tile, the gathered tile
// is the whole of bounds (with sizes that add up to 0 no share could be drawn).
TreemapLayout layoutTreemap(const QList<qint64>& sizes, const QRectF& bounds, qreal minSide);

// The pixels a tile covers: each edge rounded to the nearest pixel, so tiles that share an edge
// share the pixel line between them and none overlap.
QRect tilePixels(const QRectF& tile);
