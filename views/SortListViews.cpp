#include "views/SortListViews.h"

#include "search/ScratchArray.h"

#include "platform/FileAttributes.h"
#include "platform/FileName.h"
#include "platform/Processors.h"

#include <QBitmap>
#include <QCollator>
#include <QHeaderView>
#include <QHoverEvent>
#include <QItemSelectionModel>
#include <QPainter>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <bit>
#include <chrono>
#include <exception>
#include <memory>
#include <numeric>
#include <optional>
#include <thread>
#include <unordered_map>

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

// Texts ranked by one processor at least: fewer are ranked at once, as a thread would cost more
// than it saves.
constexpr size_t kTextsPerPart = 8192;

// How long a slice of taking sort keys holds the UI thread before pending events run.
constexpr auto kKeySlice = std::chrono::milliseconds(8);

// Passes every change of the selection to the model, which keeps it (ReportModel::select); Qt's
// own ranges stay empty, so neither a sort nor a removal has selected rows to carry along.
class ModelSelection final : public QItemSelectionModel {
public:
    explicit ModelSelection(ReportModel* model, QObject* parent) : QItemSelectionModel(model, parent), m_model(model) {}

    void select(const QItemSelection& selection, SelectionFlags command) override {
        std::vector<RowSpan> spans;
        spans.reserve(size_t(selection.size()));
        for (const QItemSelectionRange& range : selection) {
            if (range.isValid())
                spans.push_back({range.top(), range.bottom()});
        }
        m_model->select(spans, command);
    }
    using QItemSelectionModel::select;
    void clear() override {
        m_model->select({}, Clear);
        QItemSelectionModel::clear();
    }
    // Called when the model resets: the model decides what of its selection stays (a removal keeps
    // the selection of the rows left, a new fill has none).
    void reset() override {
        const QSignalBlocker blocker(this);
        QItemSelectionModel::clear();
    }

private:
    ReportModel* m_model;
};

// Paints a row as selected when the model holds it selected, and every cell of the row under the
// mouse as hovered (the table underneath hovers only the one cell).
class ModelSelectionDelegate final : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        if (static_cast<const ReportModel*>(index.model())->isSelected(index.row()))
            option->state |= QStyle::State_Selected;
        if (const auto* view = qobject_cast<const TSortListView*>(option->widget)) {
            if (view->hoverRow() == index.row())
                option->state |= QStyle::State_MouseOver;
            else
                option->state &= ~QStyle::State_MouseOver;
        }
    }
};

struct Cancelled {};

} // namespace

// One sort of the rows in sight: the keys taken on the UI thread, then ordered on a worker.
struct TSortListView::PendingSort {
    PendingSort(const ReportModel& model, int c, bool up, bool text)
        : generation(model.generation()), column(c), ascending(up), byText(text),
          order(model.order().begin(), model.order().end()), stored(model.storedCount()),
          keys(text ? 0 : size_t(stored)), groups(text && c != 0 ? size_t(stored) : 0),
          captions(text && c == 0 ? size_t(stored) : 0), arena(model.arena()) {}

    // Orders the rows by their keys into newOrder; on the worker, or here for a small list.
    void compute();
    // The rank of each text, equal texts equal, in the collation's case-blind order.
    std::vector<quint32> rankTexts(size_t count, const std::function<QString(size_t)>& textOf);
    void checkCancelled() const {
        if (cancelled.load(std::memory_order_relaxed))
            throw Cancelled{};
    }

    const quint64 generation;
    const int column;
    const bool ascending;
    const bool byText;
    const std::vector<quint32> order; // the stored row of each row in sight
    const int stored;
    int next = 0;                                // the next stored row whose key is to be taken
    ScratchArray<double> keys;                   // the owner's key of each stored row
    ScratchArray<quint32> groups;                // of a text column: the index of each stored row's text
    QStringList texts;                           // the distinct texts of the column
    std::unordered_map<qint64, quint32> groupOf; // by the cell as held
    qint64 emptyGroup = -1;                      // the group of cells whose values could not be read
    ScratchArray<std::string_view> captions;     // of the caption column, by stored row
    std::shared_ptr<const PathArena> arena;      // keeps the captions' bytes where they are

    std::vector<quint32> newOrder; // the stored row of each row in sight, sorted
    std::vector<int> newRowOf;     // the new row of each row in sight
    std::exception_ptr error;
    std::atomic<bool> cancelled{false};
    std::thread worker;
};

TSortListView::TSortListView(QWidget* parent) : QTableView(parent) {
    initSortListViewResources();
    // A list, not a grid: no row header, no lines, one line of text per row, every row as high as
    // the first; Tab moves on to the next control.
    setShowGrid(false);
    setWordWrap(false);
    setTabKeyNavigation(false);
    setCornerButtonEnabled(false);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setMinimumSectionSize(1);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSortingEnabled(false);
    setIconSize(QSize(16, 16));
    setItemDelegate(new ModelSelectionDelegate(this));
    header()->setSectionsMovable(false);
    header()->setStretchLastSection(false);
    header()->setSectionsClickable(true);
    header()->setHighlightSections(false);
    header()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);

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
    cancelSort();
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
    cancelSort();
    auto* old = m_model;
    m_model = new ReportModel(columns, this);
    setModel(m_model);
    QItemSelectionModel* oldSelection = selectionModel();
    setSelectionModel(new ModelSelection(m_model, this));
    delete oldSelection;
    delete old;
    connect(m_model, &ReportModel::rowSelectionChanged, viewport(), [this] { viewport()->update(); });
    // A new set of rows: a sort of the old ones has nothing left to order.
    connect(m_model, &QAbstractItemModel::modelAboutToBeReset, this, &TSortListView::cancelSort);
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
    fitRowHeight();
}

void TSortListView::fitRowHeight() {
    // As high as the tallest cell of the first row, or of a row of plain text while there is none.
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    int height = 0;
    if (m_model->rowCount() > 0) {
        for (int c = 0; c < m_model->columnCount(); ++c)
            height = std::max(height, itemDelegate()->sizeHint(option, m_model->index(0, c)).height());
    } else {
        option.features |= QStyleOptionViewItem::HasDisplay | QStyleOptionViewItem::HasDecoration;
        option.text = QStringLiteral("Xy");
        option.decorationSize = iconSize();
        height = style()->sizeFromContents(QStyle::CT_ItemViewItem, &option, QSize(), this).height();
    }
    if (height > 0 && height != verticalHeader()->defaultSectionSize())
        verticalHeader()->setDefaultSectionSize(height);
}

void TSortListView::rowsInserted(const QModelIndex& parent, int first, int last) {
    QTableView::rowsInserted(parent, first, last);
    if (first == 0 && last + 1 == m_model->rowCount())
        fitRowHeight(); // the first rows: their cells decide the height
}

void TSortListView::changeEvent(QEvent* event) {
    QTableView::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange)
        fitRowHeight();
}

bool TSortListView::viewportEvent(QEvent* event) {
    const QEvent::Type type = event->type();
    if (type == QEvent::HoverEnter || type == QEvent::HoverMove || type == QEvent::HoverLeave) {
        const int row =
            type == QEvent::HoverLeave ? -1 : indexAt(static_cast<QHoverEvent*>(event)->position().toPoint()).row();
        if (row != m_hoverRow) {
            for (const int r : {m_hoverRow, row}) {
                if (r >= 0 && r < m_model->rowCount())
                    viewport()->update(0, rowViewportPosition(r), viewport()->width(), rowHeight(r));
            }
            m_hoverRow = row;
        }
    }
    return QTableView::viewportEvent(event);
}

QModelIndex TSortListView::moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers) {
    // As in any list: Home and End go to the first and the last row, Left and Right scroll sideways.
    const int rows = m_model->rowCount();
    const int column = std::max(currentIndex().column(), 0);
    switch (cursorAction) {
    case MoveHome:
        return rows > 0 ? m_model->index(0, column) : QModelIndex();
    case MoveEnd:
        return rows > 0 ? m_model->index(rows - 1, column) : QModelIndex();
    case MoveLeft:
    case MoveRight: {
        QScrollBar* bar = horizontalScrollBar();
        const bool back = (cursorAction == MoveLeft) != isRightToLeft();
        bar->setValue(bar->value() + (back ? -bar->singleStep() : bar->singleStep()));
        return currentIndex();
    }
    default:
        return QTableView::moveCursor(cursorAction, modifiers);
    }
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
    QTableView::resizeEvent(event);
    keepAutoColumnMinimum();
}

void TSortListView::PendingSort::compute() {
    try {
        const size_t n = order.size();
        ScratchArray<SortEntry> entries(n);
        if (!byText) {
            for (size_t r = 0; r < n; ++r)
                entries[r] = {orderedBits(keys[order[r]], ascending), quint32(r)};
        } else {
            // Ranks, equal for equal texts; descending reverses them, so equal texts keep their order.
            const auto key = [this](quint32 rank) { return ascending ? quint64(rank) : ~quint64(rank); };
            if (column == 0) {
                // The captions are read in storage order, which reads the arena in sequence; after a
                // sort the rows in sight would read it at random, a cache miss a row.
                std::vector<bool> inSight(size_t(stored), false);
                for (const quint32 s : order)
                    inSight[s] = true;
                std::vector<quint32> rows;
                rows.reserve(n);
                for (quint32 s = 0; s < quint32(stored); ++s) {
                    if (inSight[s])
                        rows.push_back(s);
                }
                const std::vector<quint32> rank = rankTexts(n, [this, &rows](size_t i) {
                    const std::string_view bytes = captions[rows[i]];
                    return platform::decodeFileName(bytes.data(), qsizetype(bytes.size()));
                });
                ScratchArray<quint32> rankOf{size_t(stored)};
                for (size_t i = 0; i < n; ++i)
                    rankOf[rows[i]] = rank[i];
                for (size_t r = 0; r < n; ++r)
                    entries[r] = {key(rankOf[order[r]]), quint32(r)};
            } else {
                const std::vector<quint32> rank =
                    rankTexts(size_t(texts.size()), [this](size_t i) { return texts[qsizetype(i)]; });
                for (size_t r = 0; r < n; ++r)
                    entries[r] = {key(rank[groups[order[r]]]), quint32(r)};
            }
        }
        checkCancelled();
        radixSort(entries);
        // The model's new order and the inverse its persistent rows need, made here so that the
        // UI thread only swaps them in.
        newOrder.resize(n);
        newRowOf.resize(n);
        for (size_t r = 0; r < n; ++r) {
            newOrder[r] = order[entries[r].row];
            newRowOf[entries[r].row] = int(r);
        }
    } catch (const Cancelled&) {
        newOrder.clear();
    } catch (...) {
        error = std::current_exception();
    }
}

std::vector<quint32> TSortListView::PendingSort::rankTexts(size_t count, const std::function<QString(size_t)>& textOf) {
    // A collation key takes microseconds a text: a long list makes and sorts its keys in parts, one
    // per processor, and merges the parts. Each part has its own collator.
    const size_t parts = std::clamp<size_t>(count / kTextsPerPart, 1, size_t(processorCount()));
    std::vector<std::optional<QCollatorSortKey>> keys(count);
    std::vector<quint32> byKey(count);
    std::iota(byKey.begin(), byKey.end(), 0u);
    const auto partBegin = [count, parts](size_t p) { return count * p / parts; };
    // Equal texts keep the order they were given in, so parts merge to the order of a single sort.
    const auto keyLess = [this, &keys](size_t& compared) {
        return [this, &keys, &compared](quint32 a, quint32 b) {
            if (++compared % 4096 == 0)
                checkCancelled();
            const int res = keys[a]->compare(*keys[b]);
            return res != 0 ? res < 0 : a < b;
        };
    };
    const auto makePart = [&](size_t p) {
        QCollator collator;
        collator.setCaseSensitivity(Qt::CaseInsensitive);
        const size_t begin = partBegin(p), end = partBegin(p + 1);
        // Folding first keeps the order case-blind also where the collation's keys are not (the C locale).
        for (size_t i = begin; i < end; ++i) {
            if ((i - begin) % 1024 == 0)
                checkCancelled();
            keys[i].emplace(collator.sortKey(textOf(i).toCaseFolded()));
        }
        size_t compared = 0;
        std::sort(byKey.begin() + qsizetype(begin), byKey.begin() + qsizetype(end), keyLess(compared));
    };
    runInParts(parts, [&](size_t p) {
        try {
            makePart(p);
        } catch (...) {
            cancelled.store(true, std::memory_order_relaxed); // the other parts end at their next check
            throw;
        }
    });
    size_t compared = 0;
    for (size_t width = 1; width < parts; width *= 2) {
        for (size_t p = 0; p + width < parts; p += 2 * width) {
            const auto at = [&](size_t q) { return byKey.begin() + qsizetype(partBegin(std::min(q, parts))); };
            std::inplace_merge(at(p), at(p + width), at(p + 2 * width), keyLess(compared));
        }
    }
    std::vector<quint32> rank(count);
    quint32 current = 0;
    for (size_t i = 0; i < count; ++i) {
        if (i > 0 && keys[byKey[i]]->compare(*keys[byKey[i - 1]]) != 0)
            ++current;
        rank[byKey[i]] = current;
    }
    return rank;
}

int TSortListView::rowCount() const {
    return m_model->rowCount();
}

QString TSortListView::cellText(int row, int column) const {
    return m_model->text(row, column);
}

QList<int> TSortListView::selectedRows() const {
    // A command reads the selection first: the rows it names are those the pending sort puts in order.
    const_cast<TSortListView*>(this)->finishSort();
    return m_model->selectedRows();
}

void TSortListView::selectAll() {
    if (selectionMode() == NoSelection || selectionMode() == SingleSelection || m_model->rowCount() == 0)
        return;
    const RowSpan all{0, m_model->rowCount() - 1};
    m_model->select({&all, 1}, QItemSelectionModel::ClearAndSelect);
}

void TSortListView::clearSelection() {
    m_model->select({}, QItemSelectionModel::Clear);
}

QModelIndexList TSortListView::selectedIndexes() const {
    QModelIndexList indexes;
    for (const int row : m_model->selectedRows()) {
        for (int c = 0; c < m_model->columnCount(); ++c)
            indexes.append(m_model->index(row, c));
    }
    return indexes;
}

void TSortListView::setSelection(const QRect& rect, QItemSelectionModel::SelectionFlags command) {
    // The rows from the rect's top to its bottom, found by their position, as one span.
    const int rows = m_model->rowCount();
    const int x = header()->sectionViewportPosition(0) + header()->sectionSize(0) / 2;
    const QRect area = rect.normalized();
    const QModelIndex top = indexAt(QPoint(x, area.top()));
    const QModelIndex bottom = indexAt(QPoint(x, area.bottom()));
    if (!top.isValid() && !bottom.isValid()) {
        if (command & QItemSelectionModel::Clear)
            selectionModel()->clear();
        return;
    }
    const RowSpan span{top.isValid() ? top.row() : 0, bottom.isValid() ? bottom.row() : rows - 1};
    m_model->select({&span, 1}, command);
}

QItemSelectionModel::SelectionFlags TSortListView::selectionCommand(const QModelIndex& index,
                                                                    const QEvent* event) const {
    // Qt turns a Ctrl click's toggle into select or deselect by its own selection, which is empty
    // here: the model answers instead.
    QItemSelectionModel::SelectionFlags command = QTableView::selectionCommand(index, event);
    if ((command & QItemSelectionModel::Toggle) && index.isValid()) {
        command &= ~QItemSelectionModel::Toggle;
        command |= m_model->isSelected(index.row()) ? QItemSelectionModel::Deselect : QItemSelectionModel::Select;
    }
    return command;
}

void TSortListView::removeRowsAt(QList<int> rows) {
    finishSort();
    if (!std::is_sorted(rows.begin(), rows.end())) // the selection comes sorted
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
    // Too scattered for one signal per range: one reset. The selection is the model's, by row, so
    // the rows left keep theirs.
    std::vector<bool> keep(size_t(m_model->rowCount()), true);
    for (int r : rows)
        keep[size_t(r)] = false;
    m_model->keepRows(keep);
}

void TSortListView::headerClick(int c) {
    // The arrows are told to the header alone; the model's signal would lay out every row again.
    if (SortColumn != -1 && SortColumn != c) {
        m_model->setHeaderDecoration(SortColumn, QVariant(), false);
        header()->headerDataChanged(Qt::Horizontal, SortColumn, SortColumn);
    }
    SortAscending = c == SortColumn ? !SortAscending : true;
    SortColumn = c;
    if (UseArrows) {
        m_model->setHeaderDecoration(c, OwnImages.value(SortAscending ? UpArrowIndex : DownArrowIndex), false);
        header()->headerDataChanged(Qt::Horizontal, c, c);
    }
    sortRows();
}

void TSortListView::sortRows(bool sliced) {
    cancelSort();
    if (m_model->rowCount() < 2)
        return;
    double first = 0;
    const bool byKey = OnCustomSort && OnCustomSort(this, SortColumn, 0, first);
    auto job = std::make_shared<PendingSort>(*m_model, SortColumn, SortAscending, !byKey);
    if (byKey) {
        job->keys[0] = first;
        job->next = 1;
    }
    m_sort = job;
    takeSortKeys(job, sliced);
}

void TSortListView::takeSortKeys(const std::shared_ptr<PendingSort>& job, bool sliced) {
    // Keys are taken in storage order, which reads memory in sequence, a slice at a time.
    const auto deadline = std::chrono::steady_clock::now() + kKeySlice;
    const bool atOnce = !sliced || job->order.size() < size_t(BackgroundSortFrom);
    const int c = job->column;
    try {
        for (int& s = job->next; s < job->stored; ++s) {
            if (!atOnce && s % 1024 == 0 && std::chrono::steady_clock::now() > deadline) {
                QTimer::singleShot(0, this, [this, job] {
                    if (job != m_sort)
                        return;
                    try {
                        if (job->generation != m_model->generation())
                            sortRows(); // the rows changed meanwhile: their keys are taken anew
                        else
                            takeSortKeys(job, true);
                    } catch (const std::exception& e) {
                        if (OnError)
                            OnError(QString::fromUtf8(e.what()));
                    }
                });
                return;
            }
            if (!job->byText) {
                OnCustomSort(this, c, s, job->keys[size_t(s)]);
            } else if (c == 0) {
                job->captions[size_t(s)] = m_model->storedCaptionBytes(s);
            } else {
                const ListRow& row = m_model->storedRow(s);
                const CellKind kind = m_model->columns()[c].kind;
                const bool held = m_model->isStoredTextRow(s) || kind == CellKind::Text;
                const bool unread =
                    !held && (row.word & FileAttr::Unread) && (kind == CellKind::Size || kind == CellKind::FileTime);
                if (unread) {
                    if (job->emptyGroup < 0) {
                        job->emptyGroup = job->texts.size();
                        job->texts.append(QString());
                    }
                    job->groups[size_t(s)] = quint32(job->emptyGroup);
                } else {
                    const auto [at, added] =
                        job->groupOf.try_emplace(ReportModel::cellValue(row, c), quint32(job->texts.size()));
                    if (added)
                        job->texts.append(m_model->storedText(s, c));
                    job->groups[size_t(s)] = at->second;
                }
            }
        }
    } catch (...) {
        m_sort.reset();
        throw;
    }
    if (atOnce) {
        job->compute();
        applySort(job);
        return;
    }
    job->worker = std::thread([this, job] {
        job->compute();
        QMetaObject::invokeMethod(
            this,
            [this, job] {
                if (job != m_sort)
                    return;
                try {
                    applySort(job);
                } catch (const std::exception& e) {
                    if (OnError)
                        OnError(QString::fromUtf8(e.what()));
                }
            },
            Qt::QueuedConnection);
    });
}

void TSortListView::applySort(const std::shared_ptr<PendingSort>& job) {
    if (job->worker.joinable())
        job->worker.join();
    m_sort.reset();
    if (job->error)
        std::rethrow_exception(job->error);
    if (job->generation != m_model->generation() || job->newOrder.size() != size_t(m_model->rowCount())) {
        sortRows(); // the rows changed since their keys were taken: this order is not theirs
        return;
    }
    m_model->reorder(std::move(job->newOrder), job->newRowOf);
    emit sorted();
}

void TSortListView::finishSort() {
    while (m_sort) {
        const std::shared_ptr<PendingSort> job = m_sort;
        if (job->worker.joinable())
            applySort(job); // waits for the worker; sorts again if the rows changed meanwhile
        else if (job->generation != m_model->generation())
            sortRows(false);
        else
            takeSortKeys(job, false);
    }
}

void TSortListView::cancelSort() {
    if (!m_sort)
        return;
    const std::shared_ptr<PendingSort> job = std::move(m_sort);
    job->cancelled = true;
    if (job->worker.joinable())
        job->worker.join();
}
