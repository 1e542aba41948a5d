#include "views/TypeChartView.h"

#include "text/FileHelpers.h"
#include "views/TypeChartColors.h"

#include <QFontMetrics>
#include <QFontMetricsF>
#include <QHash>
#include <QHelpEvent>
#include <QLocale>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QToolTip>
#include <algorithm>
#include <cmath>
#include <functional>
#include <numeric>

namespace {

constexpr int Margin = 8;  // around the bars
constexpr int Gap = 6;     // between a bar's label, bar and value text
constexpr int TilePad = 4; // between a tile's edge and its label

QString u(const char* text) {
    return QString::fromUtf8(text);
}

// A type text as drawn: control characters would break lines or vanish, so they show as U+FFFD.
QString typeLabel(const QString& type) {
    if (type.isEmpty())
        return u("(no extension)");
    QString label = type;
    for (QChar& c : label)
        if (c.category() == QChar::Other_Control)
            c = QChar::ReplacementCharacter;
    return label;
}

QString gatheredLabel(qsizetype types) {
    return types == 1 ? u("Other (1 type)") : u("Other (%1 types)").arg(types);
}

QString countText(qint64 count) {
    return count == 1 ? u("1 file") : u("%1 files").arg(count);
}

QString shareText(qint64 part, qint64 total) {
    const double percent = total > 0 ? 100.0 * double(part) / double(total) : 0.0;
    if (part > 0 && percent < 0.05)
        return u("< %1 %").arg(QLocale::system().toString(0.1, 'f', 1));
    return u("%1 %").arg(QLocale::system().toString(percent, 'f', 1));
}

QString valueText(const TypeTotal& type, qint64 total) {
    return FormatSize(type.size) + u(", ") + countText(type.count) + u(", ") + shareText(type.size, total);
}

// Hover text as rich text: the names escaped, white space kept, one line per entry.
QString hoverText(const QStringList& lines) {
    QStringList escaped;
    for (const QString& line : lines)
        escaped.append(line.toHtmlEscaped());
    escaped.first() = u("<b>") + escaped.first() + u("</b>");
    return u("<p style=\"white-space:pre\">") + escaped.join(u("<br>")) + u("</p>");
}

} // namespace

TypeChartView::TypeChartView(QWidget* parent) : QAbstractScrollArea(parent) {
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setFrameShape(QFrame::NoFrame);
    // The chart paints its whole viewport in the window's colours itself.
    viewport()->setBackgroundRole(QPalette::Window);
    viewport()->setAutoFillBackground(false);
    updateScrollRange();
}

void TypeChartView::setTypes(const QList<TypeTotal>& types) {
    m_types = types;
    m_labels.clear();
    m_labels.reserve(types.size());
    m_sizes.clear();
    m_sizes.reserve(types.size());
    m_totalSize = m_largestSize = 0;
    for (const TypeTotal& t : types) {
        m_labels.append(typeLabel(t.type));
        m_sizes.append(t.size);
        m_totalSize += std::max<qint64>(0, t.size);
        m_largestSize = std::max(m_largestSize, t.size);
    }
    m_barOrder.resize(types.size());
    std::iota(m_barOrder.begin(), m_barOrder.end(), 0);
    std::stable_sort(m_barOrder.begin(), m_barOrder.end(), [&](int a, int b) {
        return std::max<qint64>(0, types[a].size) > std::max<qint64>(0, types[b].size);
    });
    measureTexts();
    layoutTiles();
    verticalScrollBar()->setValue(0);
    updateScrollRange();
    viewport()->update();
}

void TypeChartView::setMode(Mode mode) {
    if (mode == m_mode)
        return;
    m_mode = mode;
    verticalScrollBar()->setValue(0);
    updateScrollRange();
    viewport()->update();
    emit modeChanged(mode);
}

QRect TypeChartView::barRowRect(int bar) const {
    return QRect(0, Margin + bar * rowHeight() - verticalScrollBar()->value(), viewport()->width(), rowHeight());
}

int TypeChartView::itemAt(const QPoint& viewportPos) const {
    if (m_types.isEmpty() || !viewport()->rect().contains(viewportPos))
        return Nothing;
    if (m_mode == Mode::Tiles) {
        const int tile = m_layout.tileAt(viewportPos);
        return tile >= 0 ? m_layout.shown[tile] : tile == -1 ? Gathered : Nothing;
    }
    const int y = viewportPos.y() - Margin + verticalScrollBar()->value();
    if (y < 0 || y / rowHeight() >= m_barOrder.size())
        return Nothing;
    return m_barOrder[y / rowHeight()];
}

QString TypeChartView::itemText(int item) const {
    if (item == Gathered) {
        qint64 count = 0;
        for (int i : m_layout.gathered)
            count += m_types[i].count;
        return hoverText({gatheredLabel(m_layout.gathered.size()), countText(count),
                          FormatSize(m_layout.gatheredSize) + u(", ") + shareText(m_layout.gatheredSize, m_totalSize),
                          u("Double click to see them as bars")});
    }
    Q_ASSERT(item >= 0 && item < m_types.size());
    const TypeTotal& t = m_types[item];
    QStringList lines{m_labels[item]};
    if (!t.description.isEmpty())
        lines.append(t.description);
    lines.append(countText(t.count));
    lines.append(FormatSize(t.size) + u(", ") + shareText(t.size, m_totalSize) + u(" of ") + FormatSize(m_totalSize));
    return hoverText(lines);
}

QSize TypeChartView::pictureSize() const {
    const QSize shown = viewport()->size();
    if (m_mode == Mode::Tiles || m_types.isEmpty())
        return shown;
    return QSize(shown.width(), std::min(barsHeight(), MaxPictureHeight));
}

void TypeChartView::paintPicture(QPainter& painter, const QSize& size) const {
    painter.setFont(font());
    const QRect area(QPoint(0, 0), size);
    if (m_mode == Mode::Tiles && size != viewport()->size())
        paintChart(painter, area, 0, area, layoutTreemap(m_sizes, QRectF(area), MinTileSide), true);
    else
        paintChart(painter, area, 0, area, m_layout, true);
}

void TypeChartView::paintEvent(QPaintEvent* event) {
    QPainter painter(viewport());
    painter.setFont(font());
    paintChart(painter, viewport()->rect(), verticalScrollBar()->value(), event->rect(), m_layout, false);
}

void TypeChartView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    layoutTiles();
    updateScrollRange();
}

bool TypeChartView::viewportEvent(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        const auto* help = static_cast<QHelpEvent*>(event);
        const int item = itemAt(help->pos());
        if (item == Nothing) {
            QToolTip::hideText();
            event->ignore();
            return true;
        }
        QRect area;
        if (m_mode == Mode::Bars) {
            area = barRowRect((help->pos().y() - Margin + verticalScrollBar()->value()) / rowHeight());
        } else {
            const int tile = m_layout.tileAt(help->pos());
            area = tilePixels(tile >= 0 ? m_layout.tiles[tile] : m_layout.gatheredTile);
        }
        QToolTip::showText(help->globalPos(), itemText(item), viewport(), area);
        return true;
    }
    return QAbstractScrollArea::viewportEvent(event);
}

void TypeChartView::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return;
    const int item = itemAt(event->position().toPoint());
    if (item >= 0) {
        emit typeActivated(m_types[item].type);
    } else if (item == Gathered) {
        const int first = int(m_barOrder.indexOf(m_layout.gathered.first()));
        setMode(Mode::Bars);
        // Open the bars where the gathered types begin.
        verticalScrollBar()->setValue(first * rowHeight());
    }
}

void TypeChartView::changeEvent(QEvent* event) {
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        measureTexts();
        updateScrollRange();
    }
    if (event->type() == QEvent::FontChange || event->type() == QEvent::PaletteChange)
        viewport()->update();
}

void TypeChartView::layoutTiles() {
    m_layout = layoutTreemap(m_sizes, QRectF(viewport()->rect()), MinTileSide);
}

void TypeChartView::measureTexts() {
    // Shaping thousands of texts costs more than all else a new summary does here: rank the texts
    // by the sum of their characters' widths and measure only the widest few exactly. Rounded up,
    // since a width rounded down would elide the widest label itself.
    const QFontMetricsF fm(font());
    QHash<char16_t, qreal> advances;
    const auto estimate = [&](const QString& text) {
        qreal width = 0;
        for (const QChar c : text) {
            auto it = advances.constFind(c.unicode());
            if (it == advances.constEnd())
                it = advances.insert(c.unicode(), fm.horizontalAdvance(c));
            width += *it;
        }
        return width;
    };
    const auto widest = [&](const QList<QString>& texts) {
        constexpr size_t Candidates = 16;
        std::vector<std::pair<qreal, int>> ranked;
        ranked.reserve(size_t(texts.size()));
        for (int i = 0; i < texts.size(); ++i)
            ranked.emplace_back(estimate(texts[i]), i);
        const size_t n = std::min(Candidates, ranked.size());
        std::partial_sort(ranked.begin(), ranked.begin() + qsizetype(n), ranked.end(), std::greater<>());
        qreal width = 0;
        for (size_t k = 0; k < n; ++k)
            width = std::max(width, fm.horizontalAdvance(texts[ranked[k].second]));
        return int(std::ceil(width));
    };
    QList<QString> values;
    values.reserve(m_types.size());
    for (const TypeTotal& t : m_types)
        values.append(valueText(t, m_totalSize));
    m_labelWidth = widest(m_labels);
    m_valueWidth = widest(values);
}

void TypeChartView::updateScrollRange() {
    QScrollBar* bar = verticalScrollBar();
    const int height = viewport()->height();
    bar->setRange(0, m_mode == Mode::Bars ? std::max(0, barsHeight() - height) : 0);
    bar->setPageStep(std::max(1, height));
    bar->setSingleStep(rowHeight());
}

int TypeChartView::rowHeight() const {
    return fontMetrics().height() + 8;
}

int TypeChartView::barsHeight() const {
    return 2 * Margin + int(m_barOrder.size()) * rowHeight();
}

TypeChartView::BarGeometry TypeChartView::barGeometry(int width) const {
    BarGeometry g;
    g.labelLeft = Margin;
    g.labelWidth = std::min(m_labelWidth, std::max(40, width * 35 / 100));
    g.barLeft = g.labelLeft + g.labelWidth + Gap;
    g.barMaxWidth = std::max(8, width - g.barLeft - Gap - m_valueWidth - Margin);
    return g;
}

void TypeChartView::paintChart(QPainter& painter, const QRect& area, int scroll, const QRect& exposed,
                               const TreemapLayout& layout, bool picture) const {
    painter.fillRect(exposed, palette().color(QPalette::Window));
    if (m_types.isEmpty()) {
        painter.setPen(palette().color(QPalette::WindowText));
        painter.drawText(area, Qt::AlignCenter, u("No files"));
        return;
    }
    if (m_mode == Mode::Tiles)
        paintTiles(painter, layout, exposed);
    else
        paintBars(painter, area, scroll, exposed, picture);
}

void TypeChartView::paintTiles(QPainter& painter, const TreemapLayout& layout, const QRect& exposed) const {
    const QFontMetrics fm(font());
    // name is drawn when it fits, else shortName when given.
    const auto paintTile = [&](const QRectF& tile, const QColor& fill, const QString& name, qint64 size,
                               const QString& shortName = QString()) {
        // One pixel line of background to the right and below keeps neighbours apart.
        const QRect pixels = tilePixels(tile).adjusted(0, 0, -1, -1);
        if (pixels.isEmpty() || !pixels.intersects(exposed))
            return;
        painter.fillRect(pixels, fill);
        const QRect inner = pixels.adjusted(TilePad, TilePad, -TilePad, -TilePad);
        if (inner.height() < fm.height())
            return;
        QString label = name;
        if (fm.horizontalAdvance(label) > inner.width())
            label = shortName;
        if (label.isEmpty() || fm.horizontalAdvance(label) > inner.width())
            return;
        painter.setPen(typeChartLabelColor(fill));
        painter.drawText(inner.left(), inner.top() + fm.ascent(), label);
        const QString sizeText = FormatSize(size);
        if (inner.height() >= 2 * fm.height() && fm.horizontalAdvance(sizeText) <= inner.width())
            painter.drawText(inner.left(), inner.top() + fm.height() + fm.ascent(), sizeText);
    };
    for (int i = 0; i < layout.tiles.size(); ++i) {
        const int type = layout.shown[i];
        paintTile(layout.tiles[i], typeChartColor(m_types[type].type), m_labels[type], m_types[type].size);
    }
    if (!layout.gatheredTile.isEmpty())
        paintTile(layout.gatheredTile, typeChartGatheredColor(), gatheredLabel(layout.gathered.size()),
                  layout.gatheredSize, u("Other"));
}

void TypeChartView::paintBars(QPainter& painter, const QRect& area, int scroll, const QRect& exposed,
                              bool picture) const {
    const QFontMetrics fm(font());
    const int rowH = rowHeight();
    const BarGeometry g = barGeometry(area.width());
    const QColor text = palette().color(QPalette::WindowText);
    int rows = int(m_barOrder.size());
    int hidden = 0;
    if (picture && barsHeight() > area.height()) {
        // A picture too low for every bar: the last row that fits counts the rest.
        const int fitting = std::max(1, (area.height() - 2 * Margin) / rowH);
        hidden = rows - (fitting - 1);
        rows = fitting - 1;
    }
    const int top = area.top() + Margin - scroll;
    const int first = std::max(0, (exposed.top() - top) / rowH);
    const int last = std::min(rows - 1, (exposed.bottom() - top) / rowH);
    painter.setPen(text);
    for (int r = first; r <= last; ++r) {
        const int type = m_barOrder[r];
        const TypeTotal& t = m_types[type];
        const int y = top + r * rowH;
        painter.setPen(text);
        painter.drawText(QRect(g.labelLeft, y, g.labelWidth, rowH), Qt::AlignRight | Qt::AlignVCenter,
                         fm.elidedText(m_labels[type], Qt::ElideRight, g.labelWidth));
        int length = 0;
        if (t.size > 0 && m_largestSize > 0)
            length = std::max(1, int(std::lround(double(t.size) / double(m_largestSize) * g.barMaxWidth)));
        painter.fillRect(QRect(g.barLeft, y + 3, length, rowH - 6), typeChartColor(t.type));
        painter.drawText(QRect(g.barLeft + length + Gap, y, area.width(), rowH), Qt::AlignLeft | Qt::AlignVCenter,
                         valueText(t, m_totalSize));
    }
    if (hidden > 0) {
        painter.setPen(text);
        painter.drawText(QRect(g.labelLeft, top + rows * rowH, area.width() - 2 * Margin, rowH),
                         Qt::AlignLeft | Qt::AlignVCenter,
                         hidden == 1 ? u("and 1 more type") : u("and %1 more types").arg(hidden));
    }
}
