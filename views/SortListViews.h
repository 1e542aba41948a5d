#pragma once

#include "views/ReportModel.h"

#include <QPixmap>
#include <QTreeView>
#include <functional>

class TSortListView;

// The owner's sort key of one row's cell. Called with the list, the sorted column and a row as its
// model stores it (ReportModel::storedRow: rows are asked for in the order they are stored, which
// reads memory in sequence); returns true and sets key when it handles the column, false to leave
// the column to the list's own text comparison (it is asked for the first stored row only, then
// for every one). Rows are ordered by key, and rows of equal keys keep their order. The owner
// reads the row's values, or its texts where the row was given as texts; a text it cannot read
// throws, which ends the sort.
using TSLVOnCustomSort = std::function<bool(TSortListView* sender, int colIndex, int row, double& key)>;

// A report list that sorts its rows by a click on a column header: ascending first, descending on
// the next click of the same header, with an arrow in the sorted column's header. Read-only,
// whole-row selection, the selection still shown when the list loses the focus. Owns its model.
class TSortListView : public QTreeView {
    Q_OBJECT

public:
    explicit TSortListView(QWidget* parent = nullptr);
    ~TSortListView() override;

    // Replaces the model with an empty one of these columns and sizes the header after them.
    void setColumns(const QList<ListColumn>& columns);
    ReportModel* reportModel() const { return m_model; }

    // The rows and their texts in the list's current order; what every list command works on.
    int rowCount() const;
    QString cellText(int row, int column) const;
    // The selected rows in list order.
    QList<int> selectedRows() const;
    // Removes the given rows (any order, duplicates allowed); the other rows keep their selection.
    void removeRowsAt(QList<int> rows);

    // A click on the header of column c: the arrow moves to c, the direction flips when c was
    // already sorted, and the rows are sorted.
    void headerClick(int c);

    bool Building = false;
    int UpArrowIndex = -1;
    int DownArrowIndex = -1;
    int SortColumn = -1;
    bool SortAscending = true;
    // Picture 0 is wholly transparent (every row shows it), then the up and down arrows.
    QList<QPixmap> OwnImages;
    TSLVOnCustomSort OnCustomSort;
    bool UseArrows = false;
    // Where a failed sort is reported; a header click is an event entry point, so nothing may
    // escape it into Qt.
    std::function<void(const QString& message)> OnError;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void buildImages();
    void keepAutoColumnMinimum();
    void sortRows();
    void keepMinimumWidth(int logicalIndex, int oldSize, int newSize);

    ReportModel* m_model = nullptr;
    bool m_fittingAutoColumn = false;
};
