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

// The first column of every row, top to bottom: the paths of the file list.
inline QStringList firstColumn(const TSortListView* list) {
    QStringList texts;
    for (int row = 0; row < list->rowCount(); ++row)
        texts.append(list->cellText(row, 0));
    return texts;
}

// A file-list row of the file at path, with the texts the tests' rows share.
inline QStringList fileListRow(const QString& path) {
    return {path, QStringLiteral("01.02.2020 10:11"), QStringLiteral("01.02.2020 10:12"), QStringLiteral("0.01 KB"),
            QStringLiteral("A")};
}

// Selects the given rows, adding to the selection there is.
inline void selectRows(TSortListView* list, const QList<int>& rows) {
    for (const int row : rows)
        list->selectionModel()->select(list->model()->index(row, 0),
                                       QItemSelectionModel::Select | QItemSelectionModel::Rows);
}
