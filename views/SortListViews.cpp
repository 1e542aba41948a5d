#include "views/SortListViews.h"

#include "views/ListAccessible.h"

#include <QAccessible>
#include <QApplication>
#include <QBitmap>
#include <QDrag>
#include <QHeaderView>
#include <QHoverEvent>
#include <QItemSelectionModel>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyledItemDelegate>

#include <algorithm>
#include <exception>
#include <vector>

static void initSortListViewResources() {
    Q_INIT_RESOURCE(sortlistviews);
}

namespace {

const QColor kMagenta(0xFF, 0x00, 0xFF);

// A W x H picture with the resource bitmap centred on magenta, magenta transparent.
QPixmap centredPicture(const QString& resource, int w, int h) {
    QImage picture(w, h, QImage::Format_RGB32);
    picture.fill(kMagenta);
    if (!resource.isEmpty()) {
        const QImage bitmap(resource);
        QPainter painter(&picture);
        painter.drawImage((w - bitmap.width()) / 2, (h - bitmap.height()) / 2, bitmap);
    }
    QPixmap pixmap = QPixmap::fromImage(picture);
    pixmap.setMask(pixmap.createMaskFromColor(kMagenta, Qt::MaskInColor));
    return pixmap;
}

// Removals with more separate ranges than this are done as one reset rather than signal by signal.
constexpr qsizetype kMaxRemovalRanges = 64;

// Passes every change of the selection to the model, which keeps it (ReportModel::select); Qt's
// own ranges stay empty, so neither a sort nor a removal has selected rows to carry along.
class ModelSelection final : public QItemSelectionModel {
public:
    explicit ModelSelection(ReportModel* model, QObject* parent) : QItemSelectionModel(model, parent), m_model(model) {}

    void select(const QItemSelection& selection, SelectionFlags command) override {
        std::vector<RowSpan> spans;
        spans.reserve(size_t(selection.size()));
        for (const QItemSelectionRange& range : selection) {
            if (range.isValid())
                spans.push_back({range.top(), range.bottom()});
        }
        m_model->select(spans, command);
    }
    using QItemSelectionModel::select;
    void clear() override {
        m_model->select({}, Clear);
        QItemSelectionModel::clear();
    }
    // Called when the model resets: the model decides what of its selection stays (a removal keeps
    // the selection of the rows left, a new fill has none).
    void reset() override {
        const QSignalBlocker blocker(this);
        QItemSelectionModel::clear();
    }

private:
    ReportModel* m_model;
};

// Paints a row as selected when the model holds it selected, and every cell of the row under the
// mouse as hovered (the table underneath hovers only the one cell).
class ModelSelectionDelegate final : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        if (static_cast<const ReportModel*>(index.model())->isSelected(index.row()))
            option->state |= QStyle::State_Selected;
        if (const auto* view = qobject_cast<const TSortListView*>(option->widget)) {
            if (view->hoverRow() == index.row())
                option->state |= QStyle::State_MouseOver;
            else
                option->state &= ~QStyle::State_MouseOver;
        }
    }
};

} // namespace

TSortListView::TSortListView(QWidget* parent) : QTableView(parent) {
    initSortListViewResources();
    // A screen reader asks the model for the selection, as the rows are painted from it.
    ListAccessible::install();
    // A list, not a grid: no row header, no lines, one line of text per row, every row as high as
    // the first; Tab moves on to the next control.
    setShowGrid(false);
    setWordWrap(false);
    setTabKeyNavigation(false);
    setCornerButtonEnabled(false);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setMinimumSectionSize(1);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSortingEnabled(false);
    setIconSize(QSize(16, 16));
    setItemDelegate(new ModelSelectionDelegate(this));
    // Rows leave by a drag of their own (OnDragData); nothing is ever dropped onto a list.
    setDragDropMode(QAbstractItemView::NoDragDrop);
    setAcceptDrops(false);
    viewport()->setAcceptDrops(false);
    header()->setSectionsMovable(false);
    header()->setStretchLastSection(false);
    header()->setSectionsClickable(true);
    header()->setHighlightSections(false);
    header()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    // Keep the selection visible while another control has the focus.
    QPalette pal = palette();
    for (const auto role : {QPalette::Highlight, QPalette::HighlightedText})
        pal.setBrush(QPalette::Inactive, role, pal.brush(QPalette::Active, role));
    setPalette(pal);

    m_sorter = new RowSorter(this);
    m_sorter->setKeyFunction([this](int column, int storedRow, double& key) {
        return OnCustomSort && OnCustomSort(this, column, storedRow, key);
    });
    m_sorter->setErrorHandler([this](const QString& message) {
        if (OnError)
            OnError(message);
    });
    connect(m_sorter, &RowSorter::sorted, this, &TSortListView::sorted);

    connect(header(), &QHeaderView::sectionResized, this, &TSortListView::keepMinimumWidth);
    connect(header(), &QHeaderView::sectionClicked, this, [this](int section) {
        try {
            headerClick(section);
        } catch (const std::exception& e) {
            if (OnError)
                OnError(QString::fromUtf8(e.what()));
        }
    });
    setColumns({ListColumn{}});
}

TSortListView::~TSortListView() {
    Building = true;
    cancelSort();
}

void TSortListView::buildImages() {
    if (Building)
        return;
    Building = true;
    OwnImages = {centredPicture(QString(), 16, 16), centredPicture(QStringLiteral(":/SORT_UP"), 16, 16),
                 centredPicture(QStringLiteral(":/SORT_DOWN"), 16, 16)};
    UpArrowIndex = 1;
    DownArrowIndex = 2;
    Building = false;
}

void TSortListView::setColumns(const QList<ListColumn>& columns) {
    cancelSort();
    auto* old = m_model;
    m_model = new ReportModel(columns, this);
    setModel(m_model);
    m_sorter->setModel(m_model);
    QItemSelectionModel* oldSelection = selectionModel();
    setSelectionModel(new ModelSelection(m_model, this));
    delete oldSelection;
    delete old;
    connect(m_model, &ReportModel::rowSelectionChanged, viewport(), [this] {
        viewport()->update();
        if (QAccessible::isActive()) {
            QAccessibleEvent changed(this, QAccessible::SelectionWithin);
            QAccessible::updateAccessibility(&changed);
        }
    });
    if (OwnImages.isEmpty())
        buildImages();
    m_model->setRowDecoration(OwnImages.value(0));

    QHeaderView* head = header();
    for (int i = 0; i < columns.size(); ++i) {
        if (columns[i].width < 0) {
            head->setSectionResizeMode(i, QHeaderView::Stretch);
        } else {
            head->setSectionResizeMode(i, QHeaderView::Interactive);
            head->resizeSection(i, std::max(columns[i].width, columns[i].minimumWidth));
        }
    }
    keepAutoColumnMinimum();
    fitRowHeight();
}

void TSortListView::fitColumnToTexts(int column) {
    const ListColumn& designed = m_model->columns().value(column);
    if (column < 0 || column >= m_model->columnCount() || designed.width < 0)
        return;
    const int wanted =
        std::max({designed.width, designed.minimumWidth, sizeHintForColumn(column), header()->sectionSizeHint(column)});
    header()->resizeSection(column, wanted);
}

void TSortListView::fitRowHeight() {
    // As high as the tallest cell of the first row, or of a row of plain text while there is none.
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    int height = 0;
    if (m_model->rowCount() > 0) {
        for (int c = 0; c < m_model->columnCount(); ++c)
            height = std::max(height, itemDelegate()->sizeHint(option, m_model->index(0, c)).height());
    } else {
        option.features |= QStyleOptionViewItem::HasDisplay | QStyleOptionViewItem::HasDecoration;
        option.text = QStringLiteral("Xy");
        option.decorationSize = iconSize();
        height = style()->sizeFromContents(QStyle::CT_ItemViewItem, &option, QSize(), this).height();
    }
    if (height > 0 && height != verticalHeader()->defaultSectionSize())
        verticalHeader()->setDefaultSectionSize(height);
}

void TSortListView::rowsInserted(const QModelIndex& parent, int first, int last) {
    QTableView::rowsInserted(parent, first, last);
    if (first == 0 && last + 1 == m_model->rowCount())
        fitRowHeight(); // the first rows: their cells decide the height
}

void TSortListView::changeEvent(QEvent* event) {
    QTableView::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange)
        fitRowHeight();
}

bool TSortListView::viewportEvent(QEvent* event) {
    const QEvent::Type type = event->type();
    if (type == QEvent::HoverEnter || type == QEvent::HoverMove || type == QEvent::HoverLeave) {
        const int row =
            type == QEvent::HoverLeave ? -1 : indexAt(static_cast<QHoverEvent*>(event)->position().toPoint()).row();
        if (row != m_hoverRow) {
            for (const int r : {m_hoverRow, row}) {
                if (r >= 0 && r < m_model->rowCount())
                    viewport()->update(0, rowViewportPosition(r), viewport()->width(), rowHeight(r));
            }
            m_hoverRow = row;
        }
    }
    return QTableView::viewportEvent(event);
}

QModelIndex TSortListView::moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers) {
    // As in any list: Home and End go to the first and the last row, Left and Right scroll sideways.
    const int rows = m_model->rowCount();
    const int column = std::max(currentIndex().column(), 0);
    switch (cursorAction) {
    case MoveHome:
        return rows > 0 ? m_model->index(0, column) : QModelIndex();
    case MoveEnd:
        return rows > 0 ? m_model->index(rows - 1, column) : QModelIndex();
    case MoveLeft:
    case MoveRight: {
        QScrollBar* bar = horizontalScrollBar();
        const bool back = (cursorAction == MoveLeft) != isRightToLeft();
        bar->setValue(bar->value() + (back ? -bar->singleStep() : bar->singleStep()));
        return currentIndex();
    }
    default:
        return QTableView::moveCursor(cursorAction, modifiers);
    }
}

void TSortListView::keepMinimumWidth(int logicalIndex, int /*oldSize*/, int newSize) {
    if (!m_model || logicalIndex < 0 || logicalIndex >= m_model->columnCount())
        return;
    const QList<ListColumn>& columns = m_model->columns();
    const int minimum = columns[logicalIndex].minimumWidth;
    if (newSize < minimum && header()->sectionResizeMode(logicalIndex) == QHeaderView::Interactive)
        header()->resizeSection(logicalIndex, minimum);
    if (columns[logicalIndex].width >= 0)
        keepAutoColumnMinimum();
}

void TSortListView::keepAutoColumnMinimum() {
    // A stretched section shrinks to whatever the others leave, however small. Where that would be
    // less than its minimum it is held at the minimum and the list scrolls sideways instead, until
    // there is room for it to stretch again.
    // Before the list is shown its viewport has no width yet; the first resize decides.
    if (!m_model || m_fittingAutoColumn || !isVisible())
        return;
    m_fittingAutoColumn = true;
    QHeaderView* head = header();
    const QList<ListColumn>& columns = m_model->columns();
    for (int i = 0; i < columns.size(); ++i) {
        if (columns[i].width >= 0 || columns[i].minimumWidth <= 0)
            continue;
        int others = 0;
        for (int j = 0; j < columns.size(); ++j)
            others += j == i ? 0 : head->sectionSize(j);
        const bool roomy = viewport()->width() - others >= columns[i].minimumWidth;
        if (!roomy && head->sectionResizeMode(i) == QHeaderView::Stretch) {
            head->setSectionResizeMode(i, QHeaderView::Interactive);
            head->resizeSection(i, columns[i].minimumWidth);
        } else if (roomy && head->sectionResizeMode(i) == QHeaderView::Interactive) {
            head->setSectionResizeMode(i, QHeaderView::Stretch);
        }
    }
    m_fittingAutoColumn = false;
}

void TSortListView::resizeEvent(QResizeEvent* event) {
    QTableView::resizeEvent(event);
    keepAutoColumnMinimum();
}

int TSortListView::rowCount() const {
    return m_model->rowCount();
}

QString TSortListView::cellText(int row, int column) const {
    return m_model->text(row, column);
}

QList<int> TSortListView::selectedRows() const {
    // A command reads the selection first: the rows it names are those the pending sort puts in order.
    const_cast<TSortListView*>(this)->finishSort();
    return m_model->selectedRows();
}

void TSortListView::selectAll() {
    if (selectionMode() == NoSelection || selectionMode() == SingleSelection || m_model->rowCount() == 0)
        return;
    const RowSpan all{0, m_model->rowCount() - 1};
    m_model->select({&all, 1}, QItemSelectionModel::ClearAndSelect);
}

void TSortListView::clearSelection() {
    m_model->select({}, QItemSelectionModel::Clear);
}

QModelIndexList TSortListView::selectedIndexes() const {
    QModelIndexList indexes;
    for (const int row : m_model->selectedRows()) {
        for (int c = 0; c < m_model->columnCount(); ++c)
            indexes.append(m_model->index(row, c));
    }
    return indexes;
}

void TSortListView::setSelection(const QRect& rect, QItemSelectionModel::SelectionFlags command) {
    // The rows from the rect's top to its bottom, found by their position, as one span.
    const int rows = m_model->rowCount();
    const int x = header()->sectionViewportPosition(0) + header()->sectionSize(0) / 2;
    const QRect area = rect.normalized();
    const QModelIndex top = indexAt(QPoint(x, area.top()));
    const QModelIndex bottom = indexAt(QPoint(x, area.bottom()));
    if (!top.isValid() && !bottom.isValid()) {
        if (command & QItemSelectionModel::Clear)
            selectionModel()->clear();
        return;
    }
    const RowSpan span{top.isValid() ? top.row() : 0, bottom.isValid() ? bottom.row() : rows - 1};
    m_model->select({&span, 1}, command);
}

QItemSelectionModel::SelectionFlags TSortListView::selectionCommand(const QModelIndex& index,
                                                                    const QEvent* event) const {
    // Qt decides a press and a release by its own selection model, which is empty here (the
    // selection is the model's): the model answers instead, as a list control keeps a selection.
    using Flags = QItemSelectionModel::SelectionFlags;
    const Flags rows = QItemSelectionModel::Rows;
    const bool selected = index.isValid() && m_model->isSelected(index.row());
    if (event && selectionMode() != NoSelection && index.isValid() &&
        (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonRelease)) {
        const auto* mouse = static_cast<const QMouseEvent*>(event);
        const bool right = mouse->button() == Qt::RightButton;
        const bool plain = !(mouse->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier));
        if (event->type() == QEvent::MouseButtonPress) {
            // A right click keeps a selection it lands in, so the menu works on all of it; on any
            // other row it selects that row alone.
            if (right)
                return plain && !selected ? Flags(QItemSelectionModel::ClearAndSelect | rows)
                                          : Flags(QItemSelectionModel::NoUpdate);
            // A press on a selected row waits for the release: a click, or the start of a drag.
            if (selectionMode() == ExtendedSelection && plain && selected)
                return QItemSelectionModel::NoUpdate;
        } else {
            const bool pressedPlain = !(m_pressedModifiers & (Qt::ShiftModifier | Qt::ControlModifier));
            if (selectionMode() == ExtendedSelection && !right && !m_dragged && pressedPlain && selected &&
                index == m_pressedIndex)
                return QItemSelectionModel::ClearAndSelect | rows;
            return QItemSelectionModel::NoUpdate;
        }
    }
    // Qt turns a Ctrl click's toggle into select or deselect by its own selection: the model's here.
    Flags command = QTableView::selectionCommand(index, event);
    if ((command & QItemSelectionModel::Toggle) && index.isValid()) {
        command &= ~QItemSelectionModel::Toggle;
        command |= selected ? QItemSelectionModel::Deselect : QItemSelectionModel::Select;
    }
    return command;
}

void TSortListView::mousePressEvent(QMouseEvent* event) {
    const QModelIndex index = indexAt(event->position().toPoint());
    m_pressedIndex = index;
    m_pressedModifiers = event->modifiers();
    m_dragged = false;
    const bool plain = !(event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier));
    m_dragFrom.reset();
    if (OnDragData && event->button() == Qt::LeftButton && plain && index.isValid() && m_model->isSelected(index.row()))
        m_dragFrom = event->position().toPoint();
    // A press below the rows clears the selection, whichever button, as a report list does.
    if (!index.isValid() && plain && selectionMode() != NoSelection)
        clearSelection();
    QTableView::mousePressEvent(event);
}

void TSortListView::mouseMoveEvent(QMouseEvent* event) {
    if (m_dragFrom && (event->buttons() & Qt::LeftButton)) {
        // Pressed on the selection: moving drags it out, and never selects a range.
        if ((event->position().toPoint() - *m_dragFrom).manhattanLength() >= QApplication::startDragDistance()) {
            m_dragFrom.reset();
            m_dragged = true;
            startDrag(Qt::CopyAction);
        }
        return;
    }
    QTableView::mouseMoveEvent(event);
}

void TSortListView::mouseReleaseEvent(QMouseEvent* event) {
    QTableView::mouseReleaseEvent(event);
    m_dragFrom.reset();
}

void TSortListView::startDrag(Qt::DropActions) {
    QMimeData* data = OnDragData ? OnDragData() : nullptr;
    if (!data)
        return;
    // Copy alone: a row must never be left naming a file that a move took away.
    auto* drag = new QDrag(this);
    drag->setMimeData(data);
    if (ExecDrag) {
        ExecDrag(*drag, Qt::CopyAction);
        drag->deleteLater();
    } else {
        drag->exec(Qt::CopyAction, Qt::CopyAction); // deletes the drag when it ends
    }
}

void TSortListView::removeRowsAt(QList<int> rows) {
    finishSort();
    if (!std::is_sorted(rows.begin(), rows.end())) // the selection comes sorted
        std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    if (rows.isEmpty())
        return;
    qsizetype ranges = 1;
    for (qsizetype i = 1; i < rows.size(); ++i)
        ranges += rows[i] != rows[i - 1] + 1;
    if (ranges <= kMaxRemovalRanges) {
        // From the last to the first, merging neighbours, so each removal leaves the others' rows valid.
        for (qsizetype i = rows.size() - 1; i >= 0;) {
            qsizetype first = i;
            while (first > 0 && rows[first - 1] == rows[first] - 1)
                --first;
            m_model->removeRows(rows[first], int(i - first + 1));
            i = first - 1;
        }
        return;
    }
    // Too scattered for one signal per range: one reset. The selection is the model's, by row, so
    // the rows left keep theirs.
    std::vector<bool> keep(size_t(m_model->rowCount()), true);
    for (int r : rows)
        keep[size_t(r)] = false;
    m_model->keepRows(keep);
}

void TSortListView::headerClick(int c) {
    // The arrows are told to the header alone; the model's signal would lay out every row again.
    if (SortColumn != -1 && SortColumn != c) {
        m_model->setHeaderDecoration(SortColumn, QVariant(), false);
        header()->headerDataChanged(Qt::Horizontal, SortColumn, SortColumn);
    }
    SortAscending = c == SortColumn ? !SortAscending : true;
    SortColumn = c;
    if (UseArrows) {
        m_model->setHeaderDecoration(c, OwnImages.value(SortAscending ? UpArrowIndex : DownArrowIndex), false);
        header()->headerDataChanged(Qt::Horizontal, c, c);
    }
    m_sorter->setBackgroundFrom(BackgroundSortFrom);
    m_sorter->sort(SortColumn, SortAscending);
}

void TSortListView::finishSort() {
    m_sorter->finish();
}

void TSortListView::cancelSort() {
    m_sorter->cancel();
}
