#include "views/ListAccessible.h"

#include "views/SortListViews.h"

#include <QHeaderView>
#include <QPointer>

namespace {

// One cell of the list, or one section of its header (row -1), by position: it reads the row that
// stands there when asked, as the list shows it.
class ListAccessibleCell final : public QAccessibleInterface, public QAccessibleTableCellInterface {
public:
    ListAccessibleCell(TSortListView* view, int row, int column) : m_view(view), m_row(row), m_column(column) {}

    bool isValid() const override {
        return m_view && m_column < m_view->model()->columnCount() && m_row < m_view->rowCount();
    }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return m_view ? m_view->window()->windowHandle() : nullptr; }
    QAccessibleInterface* parent() const override { return QAccessible::queryAccessibleInterface(m_view); }
    QAccessibleInterface* child(int) const override { return nullptr; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }

    QString text(QAccessible::Text type) const override {
        if (!isValid() || type != QAccessible::Name)
            return {};
        return m_row < 0 ? m_view->model()->headerData(m_column, Qt::Horizontal).toString()
                         : m_view->cellText(m_row, m_column);
    }
    void setText(QAccessible::Text, const QString&) override {}

    QRect rect() const override {
        if (!isValid())
            return {};
        if (m_row < 0) {
            const QHeaderView* header = m_view->horizontalHeader();
            const QRect section(header->sectionViewportPosition(m_column), 0, header->sectionSize(m_column),
                                header->height());
            return section.translated(header->viewport()->mapToGlobal(QPoint(0, 0)));
        }
        const QRect cell = m_view->visualRect(m_view->model()->index(m_row, m_column));
        return cell.translated(m_view->viewport()->mapToGlobal(QPoint(0, 0)));
    }

    QAccessible::Role role() const override { return m_row < 0 ? QAccessible::ColumnHeader : QAccessible::Cell; }

    QAccessible::State state() const override {
        QAccessible::State st;
        if (!isValid()) {
            st.invalid = true;
            return st;
        }
        const QRect visible = m_view->viewport()->rect().translated(m_view->viewport()->mapToGlobal(QPoint(0, 0)));
        st.invisible = !visible.intersects(rect()) && m_row >= 0;
        if (m_row < 0)
            return st;
        st.selectable = true;
        st.multiSelectable = m_view->selectionMode() == QAbstractItemView::ExtendedSelection;
        st.selected = isSelected();
        st.focusable = true;
        st.focused = m_view->hasFocus() && m_view->currentIndex().row() == m_row;
        return st;
    }

    void* interface_cast(QAccessible::InterfaceType type) override {
        return type == QAccessible::TableCellInterface ? static_cast<QAccessibleTableCellInterface*>(this) : nullptr;
    }

    // QAccessibleTableCellInterface
    bool isSelected() const override { return isValid() && m_row >= 0 && m_view->reportModel()->isSelected(m_row); }
    QList<QAccessibleInterface*> columnHeaderCells() const override {
        auto* list = static_cast<ListAccessible*>(parent());
        return list && m_row >= 0 ? QList<QAccessibleInterface*>{list->headerCell(m_column)}
                                  : QList<QAccessibleInterface*>{};
    }
    QList<QAccessibleInterface*> rowHeaderCells() const override { return {}; }
    int columnIndex() const override { return m_column; }
    int rowIndex() const override { return m_row; }
    int columnExtent() const override { return 1; }
    int rowExtent() const override { return 1; }
    QAccessibleInterface* table() const override { return parent(); }

private:
    QPointer<TSortListView> m_view;
    const int m_row;
    const int m_column;
};

QAccessibleInterface* listFactory(const QString& className, QObject* object) {
    if (className == QLatin1String("TSortListView") && object && object->isWidgetType())
        return new ListAccessible(static_cast<TSortListView*>(object));
    return nullptr;
}

qint64 cellKey(int row, int column) {
    return (qint64(row + 1) << 16) | column;
}

} // namespace

ListAccessible::ListAccessible(TSortListView* view) : QAccessibleWidget(view, QAccessible::Table) {}

ListAccessible::~ListAccessible() {
    forgetCells();
}

void ListAccessible::install() {
    static const bool installed = [] {
        QAccessible::installFactory(listFactory);
        return true;
    }();
    (void)installed;
}

TSortListView* ListAccessible::view() const {
    return static_cast<TSortListView*>(widget());
}

QAccessible::Role ListAccessible::role() const {
    return QAccessible::Table;
}

int ListAccessible::columnCount() const {
    return view()->model()->columnCount();
}

int ListAccessible::rowCount() const {
    return view()->rowCount();
}

int ListAccessible::childCount() const {
    return (rowCount() + 1) * columnCount();
}

QAccessibleInterface* ListAccessible::cell(int row, int column) const {
    if (column < 0 || column >= columnCount() || row < -1 || row >= rowCount())
        return nullptr;
    const qint64 key = cellKey(row, column);
    if (const auto it = m_cells.constFind(key); it != m_cells.constEnd())
        return QAccessible::accessibleInterface(*it);
    auto* made = new ListAccessibleCell(view(), row, column);
    m_cells.insert(key, QAccessible::registerAccessibleInterface(made));
    return made;
}

void ListAccessible::forgetCells() const {
    for (const QAccessible::Id id : std::as_const(m_cells))
        QAccessible::deleteAccessibleInterface(id);
    m_cells.clear();
}

QAccessibleInterface* ListAccessible::child(int index) const {
    const int columns = columnCount();
    if (index < 0 || columns == 0 || index >= childCount())
        return nullptr;
    return cell(index / columns - 1, index % columns);
}

int ListAccessible::indexOfChild(const QAccessibleInterface* child) const {
    if (!child || child->parent() != this)
        return -1;
    auto* cellInterface = const_cast<QAccessibleInterface*>(child)->tableCellInterface();
    if (!cellInterface)
        return -1;
    return (cellInterface->rowIndex() + 1) * columnCount() + cellInterface->columnIndex();
}

QAccessibleInterface* ListAccessible::childAt(int x, int y) const {
    const QPoint inViewport = view()->viewport()->mapFromGlobal(QPoint(x, y));
    const QModelIndex index = view()->indexAt(inViewport);
    if (index.isValid())
        return cell(index.row(), index.column());
    const QHeaderView* header = view()->horizontalHeader();
    const QPoint inHeader = header->viewport()->mapFromGlobal(QPoint(x, y));
    if (header->isVisible() && header->viewport()->rect().contains(inHeader))
        return cell(-1, header->logicalIndexAt(inHeader));
    return nullptr;
}

QAccessibleInterface* ListAccessible::focusChild() const {
    const QModelIndex current = view()->currentIndex();
    return view()->hasFocus() && current.isValid() ? cell(current.row(), current.column()) : nullptr;
}

void* ListAccessible::interface_cast(QAccessible::InterfaceType type) {
    if (type == QAccessible::TableInterface)
        return static_cast<QAccessibleTableInterface*>(this);
    return QAccessibleWidget::interface_cast(type);
}

QAccessibleInterface* ListAccessible::cellAt(int row, int column) const {
    return row >= 0 ? cell(row, column) : nullptr;
}

QList<int> ListAccessible::selectedRows() const {
    return view()->reportModel()->selectedRows();
}

int ListAccessible::selectedRowCount() const {
    return int(selectedRows().size());
}

int ListAccessible::selectedCellCount() const {
    return selectedRowCount() * columnCount();
}

QList<QAccessibleInterface*> ListAccessible::selectedCells() const {
    QList<QAccessibleInterface*> cells;
    for (const int row : selectedRows()) {
        for (int c = 0; c < columnCount(); ++c)
            cells.append(cell(row, c));
    }
    return cells;
}

QString ListAccessible::columnDescription(int column) const {
    return view()->model()->headerData(column, Qt::Horizontal).toString();
}

QString ListAccessible::rowDescription(int) const {
    return {};
}

bool ListAccessible::isRowSelected(int row) const {
    return row >= 0 && row < rowCount() && view()->reportModel()->isSelected(row);
}

bool ListAccessible::selectRow(int row) {
    if (row < 0 || row >= rowCount() || view()->selectionMode() == QAbstractItemView::NoSelection)
        return false;
    const RowSpan span{row, row};
    const bool single = view()->selectionMode() == QAbstractItemView::SingleSelection;
    view()->reportModel()->select({&span, 1},
                                  single ? QItemSelectionModel::ClearAndSelect : QItemSelectionModel::Select);
    return true;
}

bool ListAccessible::unselectRow(int row) {
    if (row < 0 || row >= rowCount())
        return false;
    const RowSpan span{row, row};
    view()->reportModel()->select({&span, 1}, QItemSelectionModel::Deselect);
    return true;
}

void ListAccessible::modelChange(QAccessibleTableModelChangeEvent*) {
    // Rows came, went or moved: cells made for the old rows are dropped, new ones are made as asked.
    forgetCells();
}
