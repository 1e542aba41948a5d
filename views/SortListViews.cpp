#include "views/SortListViews.h"

#include <QHeaderView>
#include <QItemSelectionModel>

#include <algorithm>

TSortListView::TSortListView(QWidget* parent) : QTreeView(parent) {
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSortingEnabled(false);
    header()->setSectionsMovable(false);
    header()->setStretchLastSection(false);

    // Keep the selection visible while another control has the focus.
    QPalette pal = palette();
    for (const auto role : {QPalette::Highlight, QPalette::HighlightedText})
        pal.setBrush(QPalette::Inactive, role, pal.brush(QPalette::Active, role));
    setPalette(pal);

    connect(header(), &QHeaderView::sectionResized, this, &TSortListView::keepMinimumWidth);
    setColumns({ListColumn{}});
}

void TSortListView::setColumns(const QList<ListColumn>& columns) {
    auto* old = m_model;
    m_model = new ReportModel(columns, this);
    setModel(m_model);
    delete old;

    QHeaderView* head = header();
    for (int i = 0; i < columns.size(); ++i) {
        if (columns[i].width < 0) {
            head->setSectionResizeMode(i, QHeaderView::Stretch);
        } else {
            head->setSectionResizeMode(i, QHeaderView::Interactive);
            head->resizeSection(i, std::max(columns[i].width, columns[i].minimumWidth));
        }
    }
}

void TSortListView::keepMinimumWidth(int logicalIndex, int /*oldSize*/, int newSize) {
    if (!m_model || logicalIndex < 0 || logicalIndex >= m_model->columnCount())
        return;
    const int minimum = m_model->columns()[logicalIndex].minimumWidth;
    if (newSize < minimum && header()->sectionResizeMode(logicalIndex) == QHeaderView::Interactive)
        header()->resizeSection(logicalIndex, minimum);
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
    // From the last to the first, merging neighbours, so each removal leaves the others' rows valid.
    for (qsizetype i = rows.size() - 1; i >= 0;) {
        qsizetype first = i;
        while (first > 0 && rows[first - 1] == rows[first] - 1)
            --first;
        m_model->removeRows(rows[first], int(i - first + 1));
        i = first - 1;
    }
}
