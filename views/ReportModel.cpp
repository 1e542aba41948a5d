#include "views/ReportModel.h"

#include <algorithm>

ReportModel::ReportModel(const QList<ListColumn>& columns, QObject* parent)
    : QAbstractTableModel(parent), m_columns(columns) {
    Q_ASSERT(!m_columns.isEmpty());
}

int ReportModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid())
        return 0;
    return static_cast<int>(m_cells.size() / static_cast<size_t>(m_columns.size()));
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
    default:
        return {};
    }
}

bool ReportModel::removeRows(int row, int count, const QModelIndex& parent) {
    if (parent.isValid() || row < 0 || count <= 0 || row + count > rowCount())
        return false;
    const auto width = static_cast<std::ptrdiff_t>(m_columns.size());
    beginRemoveRows(QModelIndex(), row, row + count - 1);
    m_cells.erase(m_cells.begin() + row * width, m_cells.begin() + (row + count) * width);
    endRemoveRows();
    return true;
}

void ReportModel::appendRows(const QList<QStringList>& rows) {
    if (rows.isEmpty())
        return;
    const int first = rowCount();
    const qsizetype width = m_columns.size();
    beginInsertRows(QModelIndex(), first, first + static_cast<int>(rows.size()) - 1);
    // Grow geometrically: a fill that appends one row at a time must not reallocate every time.
    const size_t needed = m_cells.size() + static_cast<size_t>(rows.size() * width);
    if (needed > m_cells.capacity())
        m_cells.reserve(std::max(needed, 2 * m_cells.capacity()));
    for (const QStringList& row : rows) {
        for (qsizetype c = 0; c < width; ++c)
            m_cells.push_back(c < row.size() ? row[c] : QString());
    }
    endInsertRows();
}

void ReportModel::appendRow(const QStringList& row) {
    appendRows({row});
}

void ReportModel::clear() {
    if (m_cells.empty())
        return;
    beginResetModel();
    m_cells.clear();
    m_cells.shrink_to_fit();
    endResetModel();
}

QStringList ReportModel::rowTexts(int row) const {
    Q_ASSERT(row >= 0 && row < rowCount());
    const auto begin = m_cells.begin() + static_cast<std::ptrdiff_t>(row) * m_columns.size();
    return QStringList(begin, begin + m_columns.size());
}

const QString& ReportModel::text(int row, int column) const {
    Q_ASSERT(row >= 0 && row < rowCount() && column >= 0 && column < m_columns.size());
    return m_cells[static_cast<size_t>(row) * static_cast<size_t>(m_columns.size()) + static_cast<size_t>(column)];
}
