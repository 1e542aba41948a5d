#include "views/SortListViews.h"

#include "search/ScratchArray.h"

#include <QBitmap>
#include <QCollator>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QPainter>

#include <algorithm>
#include <bit>
#include <exception>
#include <memory>
#include <numeric>

static void initSortListViewResources() {
    Q_INIT_RESOURCE(sortlistviews);
}

namespace {

const QColor kMagenta(0xFF, 0x00, 0xFF);

// A W x H picture with the resource bitmap centred on magenta, magenta transparent.
QPixmap centredPicture(const QString& resource, int w, int h) {
    QImage picture(w, h, QImage::Format_RGB32);
    picture.fill(kMagenta);
    if (!resource.isEmpty()) {
        const QImage bitmap(resource);
        QPainter painter(&picture);
        painter.drawImage((w - bitmap.width()) / 2, (h - bitmap.height()) / 2, bitmap);
    }
    QPixmap pixmap = QPixmap::fromImage(picture);
    pixmap.setMask(pixmap.createMaskFromColor(kMagenta, Qt::MaskInColor));
    return pixmap;
}

struct SortEntry {
    quint64 key;
    quint32 row;
};

// A key's bits, ordered as the keys are: ascending keys give ascending bits, and descending keys
// the bits reversed, so one ascending stable sort serves both directions.
quint64 orderedBits(double key, bool ascending) {
    const quint64 bits = std::bit_cast<quint64>(key == 0.0 ? 0.0 : key); // -0 sorts as 0
    const quint64 ordered = (bits >> 63) ? ~bits : bits | (quint64(1) << 63);
    return ascending ? ordered : ~ordered;
}

// Least significant digit first, 11 bits at a time: stable, and linear in the entries. Digits
// that all entries share need no pass. The result is in entries.
void radixSort(ScratchArray<SortEntry>& entries) {
    constexpr int kBits = 11;
    constexpr size_t kBuckets = size_t(1) << kBits;
    const size_t n = entries.size();
    // One pass counts every digit of every key.
    std::vector<size_t> counts(kBuckets * 6, 0);
    for (size_t i = 0; i < n; ++i) {
        const quint64 key = entries[i].key;
        for (int d = 0; d < 6; ++d)
            ++counts[size_t(d) * kBuckets + ((key >> (d * kBits)) & (kBuckets - 1))];
    }
    ScratchArray<SortEntry> buffer(n);
    SortEntry* from = entries.data();
    SortEntry* to = buffer.data();
    for (int d = 0; d < 6; ++d) {
        size_t* count = counts.data() + size_t(d) * kBuckets;
        const int shift = d * kBits;
        if (count[(from[0].key >> shift) & (kBuckets - 1)] == n)
            continue;
        size_t at = 0;
        for (size_t b = 0; b < kBuckets; ++b) {
            const size_t here = count[b];
            count[b] = at;
            at += here;
        }
        for (size_t i = 0; i < n; ++i)
            to[count[(from[i].key >> shift) & (kBuckets - 1)]++] = from[i];
        std::swap(from, to);
    }
    if (from != entries.data())
        std::copy(from, from + n, entries.data());
}

// Removals with more separate ranges than this are done as one reset rather than signal by signal.
constexpr qsizetype kMaxRemovalRanges = 64;

} // namespace

TSortListView::TSortListView(QWidget* parent) : QTreeView(parent) {
    initSortListViewResources();
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSortingEnabled(false);
    setIconSize(QSize(16, 16));
    header()->setSectionsMovable(false);
    header()->setStretchLastSection(false);
    header()->setSectionsClickable(true);

    // Keep the selection visible while another control has the focus.
    QPalette pal = palette();
    for (const auto role : {QPalette::Highlight, QPalette::HighlightedText})
        pal.setBrush(QPalette::Inactive, role, pal.brush(QPalette::Active, role));
    setPalette(pal);

    connect(header(), &QHeaderView::sectionResized, this, &TSortListView::keepMinimumWidth);
    connect(header(), &QHeaderView::sectionClicked, this, [this](int section) {
        try {
            headerClick(section);
        } catch (const std::exception& e) {
            if (OnError)
                OnError(QString::fromUtf8(e.what()));
        }
    });
    setColumns({ListColumn{}});
}

TSortListView::~TSortListView() {
    Building = true;
}

void TSortListView::buildImages() {
    if (Building)
        return;
    Building = true;
    OwnImages = {centredPicture(QString(), 16, 16), centredPicture(QStringLiteral(":/SORT_UP"), 16, 16),
                 centredPicture(QStringLiteral(":/SORT_DOWN"), 16, 16)};
    UpArrowIndex = 1;
    DownArrowIndex = 2;
    Building = false;
}

void TSortListView::setColumns(const QList<ListColumn>& columns) {
    auto* old = m_model;
    m_model = new ReportModel(columns, this);
    setModel(m_model);
    delete old;
    if (OwnImages.isEmpty())
        buildImages();
    m_model->setRowDecoration(OwnImages.value(0));

    QHeaderView* head = header();
    for (int i = 0; i < columns.size(); ++i) {
        if (columns[i].width < 0) {
            head->setSectionResizeMode(i, QHeaderView::Stretch);
        } else {
            head->setSectionResizeMode(i, QHeaderView::Interactive);
            head->resizeSection(i, std::max(columns[i].width, columns[i].minimumWidth));
        }
    }
    keepAutoColumnMinimum();
}

void TSortListView::keepMinimumWidth(int logicalIndex, int /*oldSize*/, int newSize) {
    if (!m_model || logicalIndex < 0 || logicalIndex >= m_model->columnCount())
        return;
    const QList<ListColumn>& columns = m_model->columns();
    const int minimum = columns[logicalIndex].minimumWidth;
    if (newSize < minimum && header()->sectionResizeMode(logicalIndex) == QHeaderView::Interactive)
        header()->resizeSection(logicalIndex, minimum);
    if (columns[logicalIndex].width >= 0)
        keepAutoColumnMinimum();
}

void TSortListView::keepAutoColumnMinimum() {
    // A stretched section shrinks to whatever the others leave, however small. Where that would be
    // less than its minimum it is held at the minimum and the list scrolls sideways instead, until
    // there is room for it to stretch again.
    // Before the list is shown its viewport has no width yet; the first resize decides.
    if (!m_model || m_fittingAutoColumn || !isVisible())
        return;
    m_fittingAutoColumn = true;
    QHeaderView* head = header();
    const QList<ListColumn>& columns = m_model->columns();
    for (int i = 0; i < columns.size(); ++i) {
        if (columns[i].width >= 0 || columns[i].minimumWidth <= 0)
            continue;
        int others = 0;
        for (int j = 0; j < columns.size(); ++j)
            others += j == i ? 0 : head->sectionSize(j);
        const bool roomy = viewport()->width() - others >= columns[i].minimumWidth;
        if (!roomy && head->sectionResizeMode(i) == QHeaderView::Stretch) {
            head->setSectionResizeMode(i, QHeaderView::Interactive);
            head->resizeSection(i, columns[i].minimumWidth);
        } else if (roomy && head->sectionResizeMode(i) == QHeaderView::Interactive) {
            head->setSectionResizeMode(i, QHeaderView::Stretch);
        }
    }
    m_fittingAutoColumn = false;
}

void TSortListView::resizeEvent(QResizeEvent* event) {
    QTreeView::resizeEvent(event);
    keepAutoColumnMinimum();
}

int TSortListView::rowCount() const {
    return m_model->rowCount();
}

QString TSortListView::cellText(int row, int column) const {
    return m_model->text(row, column);
}

QList<int> TSortListView::selectedRows() const {
    QList<int> rows;
    if (!selectionModel())
        return rows;
    for (const QModelIndex& index : selectionModel()->selectedRows())
        rows.append(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

void TSortListView::removeRowsAt(QList<int> rows) {
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    if (rows.isEmpty())
        return;
    qsizetype ranges = 1;
    for (qsizetype i = 1; i < rows.size(); ++i)
        ranges += rows[i] != rows[i - 1] + 1;
    if (ranges <= kMaxRemovalRanges) {
        // From the last to the first, merging neighbours, so each removal leaves the others' rows valid.
        for (qsizetype i = rows.size() - 1; i >= 0;) {
            qsizetype first = i;
            while (first > 0 && rows[first - 1] == rows[first] - 1)
                --first;
            m_model->removeRows(rows[first], int(i - first + 1));
            i = first - 1;
        }
        return;
    }
    // Too scattered for one signal per range: one reset, then the surviving selection again.
    std::vector<bool> keep(size_t(m_model->rowCount()), true);
    for (int r : rows)
        keep[size_t(r)] = false;
    std::vector<bool> selected(keep.size(), false);
    for (int r : selectedRows())
        selected[size_t(r)] = true;
    m_model->keepRows(keep);
    QItemSelection selection;
    int out = 0;
    for (size_t r = 0; r < keep.size(); ++r) {
        if (!keep[r])
            continue;
        if (selected[r])
            selection.select(m_model->index(out, 0), m_model->index(out, m_model->columnCount() - 1));
        ++out;
    }
    selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
}

void TSortListView::headerClick(int c) {
    if (SortColumn != -1 && SortColumn != c)
        m_model->setHeaderDecoration(SortColumn, QVariant());
    SortAscending = c == SortColumn ? !SortAscending : true;
    SortColumn = c;
    if (UseArrows)
        m_model->setHeaderDecoration(c, OwnImages.value(SortAscending ? UpArrowIndex : DownArrowIndex));
    sortRows();
}

void TSortListView::sortRows() {
    const int rows = m_model->rowCount();
    if (rows < 2)
        return;
    const int c = SortColumn;
    const bool ascending = SortAscending;

    const int stored = m_model->storedCount();
    double first = 0;
    if (OnCustomSort && OnCustomSort(this, c, 0, first)) {
        // Each stored row's key once, in storage order; then a radix sort of the list's rows by
        // key: stable, and linear in the rows, which a comparison sort of a million rows is not.
        ScratchArray<SortEntry> entries(static_cast<size_t>(rows));
        {
            ScratchArray<double> keyOf{size_t(stored)};
            keyOf[0] = first;
            for (int s = 1; s < stored; ++s)
                OnCustomSort(this, c, s, keyOf[size_t(s)]);
            for (int r = 0; r < rows; ++r)
                entries[size_t(r)] = {orderedBits(keyOf[size_t(m_model->storedIndex(r))], ascending), quint32(r)};
        }
        radixSort(entries);
        ScratchArray<int> sorted(static_cast<size_t>(rows));
        for (int r = 0; r < rows; ++r)
            sorted[size_t(r)] = int(entries[size_t(r)].row);
        m_model->permute(std::span<const int>(sorted.data(), sorted.size()));
        return;
    }

    // The text comparison: collation keys once per distinct text. Captions differ row by row;
    // other cells repeat (texts kept once, attribute letters), so they are grouped first.
    std::vector<qsizetype> keyOf(static_cast<size_t>(rows));
    QStringList texts;
    if (c == 0) {
        texts.reserve(rows);
        for (int r = 0; r < rows; ++r) {
            texts.append(m_model->text(r, 0));
            keyOf[size_t(r)] = r;
        }
    } else {
        QHash<QString, qsizetype> seen;
        for (int r = 0; r < rows; ++r) {
            const QString text = m_model->text(r, c);
            auto it = seen.constFind(text);
            if (it == seen.cend()) {
                it = seen.insert(text, texts.size());
                texts.append(text);
            }
            keyOf[size_t(r)] = it.value();
        }
    }
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::vector<QCollatorSortKey> keys;
    keys.reserve(size_t(texts.size()));
    // Folding first keeps the order case-blind also where the collation's keys are not (the C locale).
    for (const QString& text : std::as_const(texts))
        keys.push_back(collator.sortKey(text.toCaseFolded()));
    std::vector<int> order(static_cast<size_t>(rows));
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        const int res = keys[size_t(keyOf[size_t(a)])].compare(keys[size_t(keyOf[size_t(b)])]);
        return ascending ? res < 0 : res > 0;
    });
    m_model->permute(order);
}
