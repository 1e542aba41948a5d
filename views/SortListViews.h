#pragma once

#include "views/ReportModel.h"

#include <QTreeView>

// A report list: rows of texts under a header, read-only, whole-row selection, the selection
// still shown when the list loses the focus. The view owns its ReportModel.
class TSortListView : public QTreeView {
    Q_OBJECT

public:
    explicit TSortListView(QWidget* parent = nullptr);

    // Replaces the model with an empty one of these columns and sizes the header after them.
    void setColumns(const QList<ListColumn>& columns);
    ReportModel* reportModel() const { return m_model; }

    // The rows and their texts in the list's current order; what every list command works on.
    int rowCount() const;
    QString cellText(int row, int column) const;
    // The selected rows in list order.
    QList<int> selectedRows() const;
    // Removes the given rows (any order, duplicates allowed).
    void removeRowsAt(QList<int> rows);

private:
    void keepMinimumWidth(int logicalIndex, int oldSize, int newSize);

    ReportModel* m_model = nullptr;
};
