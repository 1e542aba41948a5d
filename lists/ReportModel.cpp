#include "lists/ReportModel.h"

#include "platform/FileAttributes.h"
#include "platform/FileName.h"
#include "text/FileHelpers.h"

#include <algorithm>

namespace {

constexpr int kMaxColumns = 5;

} // namespace

ReportModel::ReportModel(const QList<ListColumn>& columns, QObject* parent)
    : QAbstractTableModel(parent), m_columns(columns) {
    Q_ASSERT(!m_columns.isEmpty() && m_columns.size() <= kMaxColumns);
    m_arena = std::make_shared<PathArena>();
    intern(QString()); // id 0: the empty text that pads short rows
}

int ReportModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_visibleRows;
}

int ReportModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_columns.size());
}

QVariant ReportModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return text(index.row(), index.column());
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(m_columns[index.column()].alignment | Qt::AlignVCenter);
    case Qt::DecorationRole:
        return index.column() == 0 ? m_rowDecoration : QVariant();
    default:
        return {};
    }
}

QVariant ReportModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= m_columns.size())
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return m_columns[section].caption;
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(m_columns[section].alignment | Qt::AlignVCenter);
    case Qt::DecorationRole:
        return m_headerDecorations.value(section);
    default:
        return {};
    }
}

quint32 ReportModel::intern(const QString& text) {
    auto it = m_textIds.constFind(text);
    if (it != m_textIds.cend())
        return it.value();
    const auto id = quint32(m_texts.size());
    m_texts.append(text);
    m_textIds.insert(text, id);
    return id;
}

quint32 ReportModel::textId(const QString& text) {
    return intern(text);
}

PathArena::Ref ReportModel::storeCaption(const QString& caption) {
    const QByteArray bytes = platform::encodeFileName(caption);
    return m_arena->append(std::string_view(bytes.constData(), size_t(bytes.size())));
}

void ReportModel::pushRow(const ListRow& row, bool textRow) {
    // The flags are kept only once a row of texts came: value rows alone need none.
    if (textRow && m_textRows.size() < m_rows.size() + 1)
        m_textRows.resize(m_rows.size(), false);
    if (textRow || !m_textRows.empty())
        m_textRows.push_back(textRow);
    orderRows(heldRows()); // rows added after adopted ones come after them
    m_order.push_back(quint32(m_rows.size()));
    m_rows.push_back(row);
}

bool ReportModel::removeRows(int row, int count, const QModelIndex& parent) {
    if (parent.isValid() || row < 0 || count <= 0 || row + count > rowCount())
        return false;
    flushRows();
    settleSelection();
    changed();
    beginRemoveRows(QModelIndex(), row, row + count - 1);
    m_order.erase(m_order.begin() + row, m_order.begin() + row + count);
    m_visibleRows -= count;
    endRemoveRows();
    return true;
}

void ReportModel::addRow(const QString& caption, std::initializer_list<QString> subItems) {
    ListRow row;
    row.caption = storeCaption(caption);
    int c = 1;
    for (const QString& text : subItems) {
        if (c <= subColumns()) {
            setCellValue(row, m_columns[c], c, intern(text));
            ++c;
        }
    }
    pushRow(row, true);
}

void ReportModel::addRow(const QString& caption, const ListRow& values) {
    ListRow row = values;
    row.caption = storeCaption(caption);
    pushRow(row, false);
}

void ReportModel::adoptRows(ChunkedArray<ListRow>&& rows, const std::shared_ptr<PathArena>& arena) {
    Q_ASSERT(m_rows.empty());
    if (!m_rows.empty() || !arena)
        return;
    m_rows = std::move(rows);
    m_arena = arena;
    m_textRows.clear();
    m_order = {};
    m_order.reserve(m_rows.size()); // address space only: pages come as rows are shown
    m_unordered = m_rows.size();
    changed();
}

void ReportModel::orderRows(size_t count) {
    count = std::min(count, heldRows());
    while (m_order.size() < count) {
        m_order.push_back(quint32(m_rows.size() - m_unordered));
        --m_unordered;
    }
}

void ReportModel::flushRows() {
    showRows(int(heldRows()));
}

void ReportModel::showRows(int count) {
    count = std::min(count, int(heldRows()));
    if (count <= m_visibleRows)
        return;
    orderRows(size_t(count));
    changed();
    beginInsertRows(QModelIndex(), m_visibleRows, count - 1);
    m_visibleRows = count;
    endInsertRows();
}

void ReportModel::dropHiddenRows() {
    // Rows not yet shown are the last ones stored, in the order they were added.
    const size_t hidden = heldRows() - size_t(m_visibleRows);
    if (hidden == 0)
        return;
    changed();
    m_order.resize(size_t(m_visibleRows));
    m_unordered = 0;
    m_rows.truncate(m_rows.size() - hidden);
    if (!m_textRows.empty())
        m_textRows.resize(m_rows.size());
    if (m_selected.size() > m_rows.size())
        m_selected.resize(m_rows.size());
}

void ReportModel::appendRows(const QList<QStringList>& rows) {
    if (rows.isEmpty())
        return;
    flushRows();
    for (const QStringList& texts : rows) {
        ListRow row;
        row.caption = storeCaption(texts.isEmpty() ? QString() : texts.first());
        for (int c = 1; c <= subColumns(); ++c)
            setCellValue(row, m_columns[c], c, c < texts.size() ? intern(texts[c]) : 0);
        pushRow(row, true);
    }
    flushRows();
}

void ReportModel::appendRow(const QStringList& row) {
    appendRows({row});
}

void ReportModel::clear() {
    changed();
    beginResetModel();
    m_rows.clear();
    m_order = {};
    m_unordered = 0;
    m_textRows = {};
    m_selected = {};
    m_pending.clear();
    m_arena = std::make_shared<PathArena>();
    m_visibleRows = 0;
    m_texts.clear();
    m_textIds.clear();
    intern(QString());
    endResetModel();
}

void ReportModel::keepRows(const std::vector<bool>& keep) {
    flushRows();
    Q_ASSERT(keep.size() == m_order.size());
    settleSelection();
    changed();
    beginResetModel();
    size_t out = 0;
    for (size_t r = 0; r < m_order.size(); ++r) {
        if (keep[r])
            m_order[out++] = m_order[r];
    }
    m_order.resize(out);
    m_visibleRows = int(out);
    endResetModel();
}

void ReportModel::permute(std::span<const int> order) {
    Q_ASSERT(order.size() == size_t(m_visibleRows));
    std::vector<quint32> newOrder(order.size());
    std::vector<int> newRowOf(order.size());
    for (size_t i = 0; i < order.size(); ++i) {
        newOrder[i] = m_order[size_t(order[i])];
        newRowOf[size_t(order[i])] = int(i);
    }
    reorder(std::move(newOrder), newRowOf);
}

void ReportModel::reorder(std::vector<quint32> newOrder, std::span<const int> newRowOf) {
    // Only the rows in sight move; rows a fill has added but not shown yet keep their place after them.
    Q_ASSERT(newOrder.size() == size_t(m_visibleRows) && newRowOf.size() == newOrder.size());
    settleSelection();
    changed();
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    newOrder.insert(newOrder.end(), m_order.begin() + std::ptrdiff_t(m_visibleRows), m_order.end());
    m_order.swap(newOrder);
    // Only the few rows with persistent indexes (the current row, the view's anchors) are looked up.
    const QModelIndexList persistent = persistentIndexList();
    QModelIndexList moved;
    moved.reserve(persistent.size());
    for (const QModelIndex& index : persistent)
        moved.append(index.isValid() ? this->index(newRowOf[size_t(index.row())], index.column()) : index);
    changePersistentIndexList(persistent, moved);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void ReportModel::select(std::span<const RowSpan> spans, QItemSelectionModel::SelectionFlags command) {
    // As QItemSelectionModel::select does with its ranges and its current selection.
    if (command & QItemSelectionModel::Clear) {
        m_selected = {};
        m_pending.clear();
    }
    if (!(command & QItemSelectionModel::Current))
        settleSelection();
    const auto how =
        command & (QItemSelectionModel::Select | QItemSelectionModel::Deselect | QItemSelectionModel::Toggle);
    if (how) {
        m_pending.clear();
        for (RowSpan span : spans) {
            span.first = std::max(span.first, 0);
            span.last = std::min(span.last, m_visibleRows - 1);
            if (span.first <= span.last)
                m_pending.push_back(span);
        }
        std::sort(m_pending.begin(), m_pending.end(), [](RowSpan a, RowSpan b) { return a.first < b.first; });
        // Overlapping spans become one, so a row is found in at most one.
        size_t out = 0;
        for (size_t i = 0; i < m_pending.size(); ++i) {
            if (out > 0 && m_pending[i].first <= m_pending[out - 1].last + 1)
                m_pending[out - 1].last = std::max(m_pending[out - 1].last, m_pending[i].last);
            else
                m_pending[out++] = m_pending[i];
        }
        m_pending.resize(out);
        m_pendingCommand = how;
    }
    emit rowSelectionChanged();
}

void ReportModel::settleSelection() {
    if (m_pending.empty())
        return;
    if (m_selected.size() < m_rows.size())
        m_selected.resize(m_rows.size(), false);
    for (const RowSpan& span : m_pending) {
        for (int r = span.first; r <= span.last; ++r) {
            const size_t s = m_order[size_t(r)];
            m_selected[s] = pendingFlag(m_selected[s]);
        }
    }
    m_pending.clear();
}

bool ReportModel::isSelected(int row) const {
    if (row < 0 || row >= m_visibleRows)
        return false;
    const bool flag = settledFlag(row);
    if (m_pending.empty())
        return flag;
    const auto after =
        std::upper_bound(m_pending.begin(), m_pending.end(), row, [](int r, RowSpan span) { return r < span.first; });
    if (after == m_pending.begin() || std::prev(after)->last < row)
        return flag;
    return pendingFlag(flag);
}

QList<int> ReportModel::selectedRows() const {
    QList<int> rows;
    if (m_selected.empty() && m_pending.empty())
        return rows;
    // One pass beside the pending spans, which are sorted and apart: a search per row would cost a
    // million binary searches for a scattered half.
    auto span = m_pending.begin();
    for (int r = 0; r < m_visibleRows; ++r) {
        bool flag = settledFlag(r);
        while (span != m_pending.end() && span->last < r)
            ++span;
        if (span != m_pending.end() && span->first <= r)
            flag = pendingFlag(flag);
        if (flag)
            rows.append(r);
    }
    return rows;
}

QStringList ReportModel::rowTexts(int row) const {
    QStringList texts;
    texts.reserve(m_columns.size());
    for (int c = 0; c < m_columns.size(); ++c)
        texts.append(text(row, c));
    return texts;
}

QString ReportModel::text(int row, int column) const {
    Q_ASSERT(row >= 0 && size_t(row) < m_order.size());
    return storedText(storedIndex(row), column);
}

QString ReportModel::storedText(int s, int column) const {
    Q_ASSERT(s >= 0 && size_t(s) < m_rows.size() && column >= 0 && column < m_columns.size());
    const ListRow& r = m_rows[size_t(s)];
    if (slotOf(m_columns[column], column) == ValueSlot::Caption) {
        const std::string_view bytes = m_arena->view(r.caption);
        return platform::decodeFileName(bytes.data(), qsizetype(bytes.size()));
    }
    if (isStoredTextRow(s) || m_columns[column].kind == CellKind::Text)
        return m_texts[qsizetype(cellValue(r, column))];
    return valueText(r, column);
}

QString ReportModel::valueText(const ListRow& row, int column) const {
    const CellKind kind = m_columns[column].kind;
    const qint64 value = cellValue(row, column);
    return kind == CellKind::Text ? m_texts[qsizetype(value)] : m_cellTexts.shown(kind, value, row.word);
}

quint32 ReportModel::cellTextId(int row, int column) const {
    Q_ASSERT(column > 0 && (isTextRow(row) || m_columns[column].kind == CellKind::Text));
    return quint32(cellValue(this->row(row), column));
}

void ReportModel::setRowDecoration(const QVariant& picture) {
    m_rowDecoration = picture;
    if (m_visibleRows > 0)
        emit dataChanged(index(0, 0), index(m_visibleRows - 1, 0), {Qt::DecorationRole});
}

void ReportModel::setHeaderDecoration(int section, const QVariant& picture, bool announce) {
    if (picture.isValid())
        m_headerDecorations.insert(section, picture);
    else
        m_headerDecorations.remove(section);
    if (announce)
        emit headerDataChanged(Qt::Horizontal, section, section);
}
