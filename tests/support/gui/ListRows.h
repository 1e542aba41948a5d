#pragma once

#include "views/SortListViews.h"

#include <QItemSelectionModel>
#include <QList>
#include <QStringList>

// Rows put into a list and selected the way the window's own code would see them.

// Appends rows given as texts, in one insertion.
inline void fillRows(TSortListView* list, const QList<QStringList>& rows) {
    list->reportModel()->appendRows(rows);
}

// Selects the given rows, adding to the selection there is.
inline void selectRows(TSortListView* list, const QList<int>& rows) {
    for (const int row : rows)
        list->selectionModel()->select(list->model()->index(row, 0),
                                       QItemSelectionModel::Select | QItemSelectionModel::Rows);
}
