#pragma once

#include <QAccessibleWidget>
#include <QHash>

class TSortListView;

// What a screen reader sees of a TSortListView: a table of its rows and columns whose selection is
// the model's (ReportModel::select), as the list paints it. Qt's own table interface asks the
// view's selection model, which the list keeps empty, and would report no row as selected.
//
// Cells are made when asked for and kept until the rows change; the header's sections are the
// first row of children, the cells follow row by row.
class ListAccessible : public QAccessibleWidget, public QAccessibleTableInterface {
public:
    explicit ListAccessible(TSortListView* view);
    ~ListAccessible() override;

    // Makes every TSortListView answer through this class; once per process.
    static void install();

    // QAccessibleInterface
    QAccessible::Role role() const override;
    int childCount() const override;
    QAccessibleInterface* child(int index) const override;
    int indexOfChild(const QAccessibleInterface* child) const override;
    QAccessibleInterface* childAt(int x, int y) const override;
    QAccessibleInterface* focusChild() const override;
    void* interface_cast(QAccessible::InterfaceType type) override;

    // QAccessibleTableInterface
    QAccessibleInterface* caption() const override { return nullptr; }
    QAccessibleInterface* summary() const override { return nullptr; }
    QAccessibleInterface* cellAt(int row, int column) const override;
    int selectedCellCount() const override;
    QList<QAccessibleInterface*> selectedCells() const override;
    QString columnDescription(int column) const override;
    QString rowDescription(int row) const override;
    int selectedColumnCount() const override { return 0; }
    int selectedRowCount() const override;
    int columnCount() const override;
    int rowCount() const override;
    QList<int> selectedColumns() const override { return {}; }
    QList<int> selectedRows() const override;
    bool isColumnSelected(int) const override { return false; }
    bool isRowSelected(int row) const override;
    bool selectRow(int row) override;
    bool selectColumn(int) override { return false; }
    bool unselectRow(int row) override;
    bool unselectColumn(int) override { return false; }
    void modelChange(QAccessibleTableModelChangeEvent* event) override;

    TSortListView* view() const;
    // The header's section of column, as a cell of its own.
    QAccessibleInterface* headerCell(int column) const { return cell(-1, column); }

private:
    // The cell at row (-1: the header) and column, made and registered on first use.
    QAccessibleInterface* cell(int row, int column) const;
    void forgetCells() const;

    mutable QHash<qint64, QAccessible::Id> m_cells;
};
