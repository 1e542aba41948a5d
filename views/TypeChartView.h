#pragma once

#include "views/TreemapLayout.h"
#include "records/TypeTotal.h"

#include <QAbstractScrollArea>
#include <QList>
#include <QSize>
#include <QString>

class QPainter;

// The file types of a summary as a picture: a squarified treemap of their total sizes, in which
// types too small for a tile of MinTileSide pixels share one gathered tile, or horizontal bars,
// largest first, with count and share. Colours are fixed per type (TypeChartColors); text and
// background follow the widget's palette. Hovering shows a type's details; a double click on a
// type emits typeActivated, on the gathered tile it switches to the bars at the gathered types.
class TypeChartView : public QAbstractScrollArea {
    Q_OBJECT

public:
    enum class Mode { Tiles, Bars };
    static constexpr int MinTileSide = 24;
    // What itemAt finds besides a type.
    static constexpr int Gathered = -1;
    static constexpr int Nothing = -2;

    explicit TypeChartView(QWidget* parent = nullptr);

    // Shows the types, given in the summary's order; an empty list shows "No files".
    void setTypes(const QList<TypeTotal>& types);
    const QList<TypeTotal>& types() const { return m_types; }

    Mode mode() const { return m_mode; }
    // Emits modeChanged when the mode changes.
    void setMode(Mode mode);

    // The treemap as laid out for the viewport; its indexes are into types().
    const TreemapLayout& tileLayout() const { return m_layout; }
    // Indexes into types() in the order of the bars: largest first, equal sizes in summary order.
    const QList<int>& barOrder() const { return m_barOrder; }
    // The viewport rectangle of a bar's row (index into barOrder), scrolled as shown.
    QRect barRowRect(int bar) const;

    // What the viewport point shows in the current mode: an index into types(), Gathered or Nothing.
    int itemAt(const QPoint& viewportPos) const;
    // The hover text of an index into types() or Gathered, as rich text that shows the names as
    // they are, whatever characters they hold.
    QString itemText(int item) const;

    // The size of a picture of the chart: the viewport's for the tiles; for the bars the full
    // height of all bars, at most MaxPictureHeight.
    static constexpr int MaxPictureHeight = 16384;
    QSize pictureSize() const;
    // Paints the chart as a picture of the given size: the tiles laid out for that size, or the
    // bars from the first, where a last line counts the types that did not fit.
    void paintPicture(QPainter& painter, const QSize& size) const;

signals:
    // A double click on a type's tile or bar; type is its type text.
    void typeActivated(const QString& type);
    void modeChanged(TypeChartView::Mode mode);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    struct BarGeometry {
        int labelLeft, labelWidth, barLeft, barMaxWidth;
    };

    void layoutTiles();
    void measureTexts();
    void updateScrollRange();
    int rowHeight() const;
    int barsHeight() const;
    BarGeometry barGeometry(int width) const;
    // Paints area (the viewport, scrolled by scroll, or a picture) where exposed needs it.
    void paintChart(QPainter& painter, const QRect& area, int scroll, const QRect& exposed, const TreemapLayout& layout,
                    bool picture) const;
    void paintTiles(QPainter& painter, const TreemapLayout& layout, const QRect& exposed) const;
    void paintBars(QPainter& painter, const QRect& area, int scroll, const QRect& exposed, bool picture) const;

    QList<TypeTotal> m_types;
    QList<QString> m_labels; // the type texts as drawn
    QList<qint64> m_sizes;
    QList<int> m_barOrder;
    qint64 m_totalSize = 0;
    qint64 m_largestSize = 0;
    int m_labelWidth = 0; // widest label, in pixels of the widget's font
    int m_valueWidth = 0; // widest value text of a bar
    Mode m_mode = Mode::Tiles;
    TreemapLayout m_layout;
};
