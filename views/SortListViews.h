#pragma once

#include "lists/ReportModel.h"
#include "lists/RowSorter.h"

#include <QHeaderView>
#include <QPixmap>
#include <QTableView>
#include <functional>
#include <optional>

class QDrag;
class QMimeData;

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
// whole-row selection, the selection still shown when the list loses the focus. Owns its model,
// which also holds the selection (ReportModel::select): the view's selection model passes every
// change on to it, and the rows paint what it holds.
//
// A large list sorts in the background (RowSorter): the keys are taken on this thread in slices
// between pending events, a copy of them is ordered on another thread, and the order is applied to
// the rows at once, only if they have not changed since their keys were taken (otherwise the sort
// starts again on the rows as they are). Everything that reads the rows for a command waits for
// a pending sort first (selectedRows, removeRowsAt); cancelSort drops it.
//
// A table view underneath, with rows of one height and no row header: unlike a tree view it keeps
// nothing per row but the row header's small size entry and lays out only the rows in sight, so
// filling, sorting and removing a million rows costs the model's work and little more.
class TSortListView : public QTableView {
    Q_OBJECT

public:
    explicit TSortListView(QWidget* parent = nullptr);
    ~TSortListView() override;

    // Replaces the model with an empty one of these columns and sizes the header after them.
    void setColumns(const QList<ListColumn>& columns);
    ReportModel* reportModel() const { return m_model; }
    // The column header.
    QHeaderView* header() const { return horizontalHeader(); }
    // Widens column to show its caption and the texts of the rows in sight whole, never below its
    // designed width; a stretched column takes what the others leave.
    void fitColumnToTexts(int column);

    // The rows and their texts in the list's current order; what every list command works on.
    int rowCount() const;
    QString cellText(int row, int column) const;
    // The selected rows in list order, once a pending sort is applied.
    QList<int> selectedRows() const;
    // Removes the given rows (any order, duplicates allowed); the other rows keep their selection.
    // Rows are numbered as they stand once a pending sort is applied.
    void removeRowsAt(QList<int> rows);
    void selectAll() override;
    // Unselects every row.
    void clearSelection();

    // The row under the mouse, painted as hovered across all its cells; -1 for none.
    int hoverRow() const { return m_hoverRow; }

    // Whether a sort is under way, waiting for it, and dropping it.
    bool sortPending() const { return m_sorter->isPending(); }
    void finishSort();
    void cancelSort();
    // Lists with fewer rows than this sort at once, on this thread.
    int BackgroundSortFrom = 20000;

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
    // What a drag of the selected rows out of the list offers (owned by the drag from then on);
    // while unset, or when it gives nothing, no drag starts. A press on a selected row and a move
    // start the drag; a press on another row and a move select a range, as before. The drag offers
    // the copy action alone. Nothing is ever dropped onto a list.
    std::function<QMimeData*()> OnDragData;
    // Runs the drag with the actions it offers; by default QDrag::exec. Tests look at it instead.
    std::function<void(QDrag& drag, Qt::DropActions actions)> ExecDrag;

signals:
    // A sort's order was applied to the rows.
    void sorted();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void startDrag(Qt::DropActions supportedActions) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    void rowsInserted(const QModelIndex& parent, int first, int last) override;
    QModelIndex moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers) override;
    void setSelection(const QRect& rect, QItemSelectionModel::SelectionFlags command) override;
    QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex& index,
                                                         const QEvent* event = nullptr) const override;
    QModelIndexList selectedIndexes() const override;

private:
    void buildImages();
    void keepAutoColumnMinimum();
    void fitRowHeight();
    void keepMinimumWidth(int logicalIndex, int oldSize, int newSize);

    // The press the mouse buttons are down for: its row and modifiers, and where a drag of the
    // selection may start (while the press is on a selected row).
    QPersistentModelIndex m_pressedIndex;
    Qt::KeyboardModifiers m_pressedModifiers;
    std::optional<QPoint> m_dragFrom;
    bool m_dragged = false;

    ReportModel* m_model = nullptr;
    RowSorter* m_sorter = nullptr;
    bool m_fittingAutoColumn = false;
    int m_hoverRow = -1;
};
