#include "views/ReportModel.h"

#include "platform/FileName.h"

#include <algorithm>

ReportModel::ReportModel(const QList<ListColumn>& columns, QObject* parent)
    : QAbstractTableModel(parent), m_columns(columns) {
    Q_ASSERT(!m_columns.isEmpty());
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

bool ReportModel::removeRows(int row, int count, const QModelIndex& parent) {
    if (parent.isValid() || row < 0 || count <= 0 || row + count > rowCount())
        return false;
    flushRows();
    const auto width = std::ptrdiff_t(subColumns());
    beginRemoveRows(QModelIndex(), row, row + count - 1);
    m_captions.erase(m_captions.begin() + row, m_captions.begin() + row + count);
    m_subIds.erase(m_subIds.begin() + row * width, m_subIds.begin() + (row + count) * width);
    m_visibleRows -= count;
    endRemoveRows();
    return true;
}

PathArena::Ref ReportModel::storeCaption(const QString& caption) {
    const QByteArray bytes = platform::encodeFileName(caption);
    return m_arena->append(std::string_view(bytes.constData(), size_t(bytes.size())));
}

void ReportModel::addSubItems(std::initializer_list<QString> subItems) {
    int c = 0;
    for (const QString& text : subItems) {
        if (c++ < subColumns())
            m_subIds.push_back(intern(text));
    }
    for (; c < subColumns(); ++c)
        m_subIds.push_back(0);
}

void ReportModel::addRow(const QString& caption, std::initializer_list<QString> subItems) {
    m_captions.push_back(storeCaption(caption));
    addSubItems(subItems);
}

void ReportModel::addRow(PathArena::Ref caption, std::initializer_list<QString> subItems) {
    m_captions.push_back(caption);
    addSubItems(subItems);
}

void ReportModel::adoptArena(const std::shared_ptr<PathArena>& arena) {
    Q_ASSERT(m_captions.empty());
    if (arena && m_captions.empty())
        m_arena = arena;
}

void ReportModel::reserveRows(qsizetype rows) {
    m_captions.reserve(size_t(rows));
    m_subIds.reserve(size_t(rows) * size_t(subColumns()));
}

void ReportModel::flushRows() {
    const int total = int(m_captions.size());
    if (total == m_visibleRows)
        return;
    beginInsertRows(QModelIndex(), m_visibleRows, total - 1);
    m_visibleRows = total;
    endInsertRows();
}

void ReportModel::appendRows(const QList<QStringList>& rows) {
    if (rows.isEmpty())
        return;
    flushRows();
    // Grow geometrically: a fill that appends one row at a time must not reallocate every time.
    const size_t needed = m_captions.size() + size_t(rows.size());
    if (needed > m_captions.capacity()) {
        m_captions.reserve(std::max(needed, 2 * m_captions.capacity()));
        m_subIds.reserve(m_captions.capacity() * size_t(subColumns()));
    }
    for (const QStringList& row : rows) {
        m_captions.push_back(storeCaption(row.isEmpty() ? QString() : row.first()));
        for (int c = 1; c <= subColumns(); ++c)
            m_subIds.push_back(c < row.size() ? intern(row[c]) : 0);
    }
    flushRows();
}

void ReportModel::appendRow(const QStringList& row) {
    appendRows({row});
}

void ReportModel::clear() {
    beginResetModel();
    m_captions = {};
    m_subIds = {};
    m_arena = std::make_shared<PathArena>();
    m_visibleRows = 0;
    m_texts.clear();
    m_textIds.clear();
    intern(QString());
    endResetModel();
}

void ReportModel::keepRows(const std::vector<bool>& keep) {
    flushRows();
    Q_ASSERT(keep.size() == m_captions.size());
    beginResetModel();
    const size_t width = size_t(subColumns());
    size_t out = 0;
    for (size_t r = 0; r < m_captions.size(); ++r) {
        if (!keep[r])
            continue;
        if (out != r) {
            m_captions[out] = m_captions[r];
            std::copy_n(m_subIds.begin() + std::ptrdiff_t(r * width), width,
                        m_subIds.begin() + std::ptrdiff_t(out * width));
        }
        ++out;
    }
    m_captions.resize(out);
    m_subIds.resize(out * width);
    m_visibleRows = int(out);
    endResetModel();
}

void ReportModel::permute(const std::vector<int>& order) {
    flushRows();
    Q_ASSERT(order.size() == m_captions.size());
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const size_t width = size_t(subColumns());
    std::vector<PathArena::Ref> captions(m_captions.size());
    std::vector<quint32> ids(m_subIds.size());
    std::vector<int> newRowOf(order.size());
    for (size_t i = 0; i < order.size(); ++i) {
        const size_t from = size_t(order[i]);
        captions[i] = m_captions[from];
        std::copy_n(m_subIds.begin() + std::ptrdiff_t(from * width), width, ids.begin() + std::ptrdiff_t(i * width));
        newRowOf[from] = int(i);
    }
    m_captions = std::move(captions);
    m_subIds = std::move(ids);
    const QModelIndexList persistent = persistentIndexList();
    QModelIndexList moved;
    moved.reserve(persistent.size());
    for (const QModelIndex& index : persistent)
        moved.append(index.isValid() ? this->index(newRowOf[size_t(index.row())], index.column()) : index);
    changePersistentIndexList(persistent, moved);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

QStringList ReportModel::rowTexts(int row) const {
    QStringList texts;
    texts.reserve(m_columns.size());
    for (int c = 0; c < m_columns.size(); ++c)
        texts.append(text(row, c));
    return texts;
}

QString ReportModel::text(int row, int column) const {
    Q_ASSERT(row >= 0 && row < int(m_captions.size()) && column >= 0 && column < m_columns.size());
    if (column == 0) {
        const std::string_view bytes = m_arena->view(m_captions[size_t(row)]);
        return platform::decodeFileName(bytes.data(), qsizetype(bytes.size()));
    }
    return m_texts[qsizetype(textId(row, column))];
}

quint32 ReportModel::textId(int row, int column) const {
    Q_ASSERT(column > 0);
    return m_subIds[size_t(row) * size_t(subColumns()) + size_t(column - 1)];
}

void ReportModel::setRowDecoration(const QVariant& picture) {
    m_rowDecoration = picture;
    if (m_visibleRows > 0)
        emit dataChanged(index(0, 0), index(m_visibleRows - 1, 0), {Qt::DecorationRole});
}

void ReportModel::setHeaderDecoration(int section, const QVariant& picture) {
    if (picture.isValid())
        m_headerDecorations.insert(section, picture);
    else
        m_headerDecorations.remove(section);
    emit headerDataChanged(Qt::Horizontal, section, section);
}
