#include "support/ReportRows.h"
#include "views/SortListViews.h"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QCollator>
#include <QDrag>
#include <QHeaderView>
#include <QMimeData>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QStandardItemModel>
#include <QTest>
#include <QTreeView>
#include <gtest/gtest.h>

namespace {

TEST(SortListView, IsAReadOnlyReportListWithColumnSizes) {
    TSortListView view;
    view.setColumns(fileColumns());
    view.resize(800, 300);
    view.show();

    EXPECT_FALSE(view.verticalHeader()->isVisible()); // a list: no row header, no grid
    EXPECT_FALSE(view.showGrid());
    EXPECT_EQ(view.verticalHeader()->sectionResizeMode(0), QHeaderView::Fixed);
    EXPECT_FALSE(view.tabKeyNavigation());
    EXPECT_EQ(view.selectionBehavior(), QAbstractItemView::SelectRows);
    EXPECT_EQ(view.editTriggers(), QAbstractItemView::NoEditTriggers);
    EXPECT_FALSE(view.isSortingEnabled());
    EXPECT_EQ(view.model(), view.reportModel());
    EXPECT_EQ(view.reportModel()->columnCount(), 3);

    QHeaderView* header = view.header();
    EXPECT_EQ(header->sectionResizeMode(0), QHeaderView::Stretch);
    EXPECT_EQ(header->sectionSize(1), 80);
    EXPECT_EQ(header->sectionSize(2), 70);
    header->resizeSection(1, 20);
    EXPECT_EQ(header->sectionSize(1), 60); // its minimum
    header->resizeSection(2, 40);
    EXPECT_EQ(header->sectionSize(2), 40); // no minimum of its own
}

TEST(SortListView, SelectionStaysVisibleWithoutFocus) {
    TSortListView view;
    const QPalette pal = view.palette();
    EXPECT_EQ(pal.color(QPalette::Inactive, QPalette::Highlight), pal.color(QPalette::Active, QPalette::Highlight));
    EXPECT_EQ(pal.color(QPalette::Inactive, QPalette::HighlightedText),
              pal.color(QPalette::Active, QPalette::HighlightedText));
}

} // namespace

namespace {

TEST(SortListView, ScatteredRemovalsKeepTheOtherRowsAndTheirSelection) {
    TSortListView view;
    view.setColumns(fileColumns());
    QAbstractItemModelTester tester(view.model(), QAbstractItemModelTester::FailureReportingMode::Fatal);
    QList<QStringList> rows;
    for (int i = 0; i < 1000; ++i)
        rows.append({QStringLiteral("/f%1").arg(i), QStringLiteral("%1 KB").arg(i % 7), QStringLiteral("A")});
    view.reportModel()->appendRows(rows);
    // Every third row selected, every other row removed: far too many ranges for one signal each.
    for (int r = 0; r < 1000; r += 3)
        view.selectionModel()->select(view.model()->index(r, 0),
                                      QItemSelectionModel::Select | QItemSelectionModel::Rows);
    QList<int> gone;
    for (int r = 1; r < 1000; r += 2)
        gone.append(r);
    view.removeRowsAt(gone);
    ASSERT_EQ(view.rowCount(), 500);
    for (int r = 0; r < 500; ++r)
        ASSERT_EQ(view.cellText(r, 0), QStringLiteral("/f%1").arg(2 * r));
    // Rows 0, 6, 12, ... were selected and kept: they are now rows 0, 3, 6, ...
    QList<int> expected;
    for (int r = 0; r < 500; r += 3)
        expected.append(r);
    EXPECT_EQ(view.selectedRows(), expected);
    EXPECT_EQ(view.cellText(499, 1), QStringLiteral("%1 KB").arg(998 % 7));
}

} // namespace

namespace {

// A sort in the background whose rows change before its order arrives: the order is not applied
// to the changed rows, and each row still pairs its caption with its own cells.
TEST(SortListView, ABackgroundSortNeverPairsACaptionWithAnotherRow) {
    TSortListView view;
    view.setColumns(fileColumns());
    view.BackgroundSortFrom = 0;
    QList<QStringList> rows;
    for (int i = 0; i < 3000; ++i)
        rows.append({QStringLiteral("/f%1").arg((i * 7919) % 3000), QStringLiteral("A"), QStringLiteral("A")});
    view.reportModel()->appendRows(rows);
    QSignalSpy sorted(&view, &TSortListView::sorted);
    view.headerClick(0);
    ASSERT_TRUE(view.sortPending());
    // Rows go while the sort is under way; then a command waits for it.
    view.reportModel()->removeRows(0, 1000);
    const auto before = view.selectedRows();
    EXPECT_FALSE(view.sortPending());
    EXPECT_TRUE(before.isEmpty());
    ASSERT_EQ(view.rowCount(), 2000);
    QStringList shown;
    for (int r = 0; r < view.rowCount(); ++r)
        shown.append(view.cellText(r, 0));
    QStringList expected;
    for (int i = 1000; i < 3000; ++i)
        expected.append(QStringLiteral("/f%1").arg((i * 7919) % 3000));
    std::sort(expected.begin(), expected.end(),
              [](const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) < 0; });
    EXPECT_EQ(shown, expected);
    EXPECT_EQ(sorted.count(), 1);
}

// A list long enough to be ranked in parts, already in another order and with rows removed, sorts
// by name as the locale's collation orders the names (Swedish: "ä" after "z"), equal names keeping
// the order they had, both ways.
TEST(SortListView, ALongListSortsByNameInTheLocalesOrderWhateverItsParts) {
    const QLocale before;
    QLocale::setDefault(QLocale(QLocale::Swedish, QLocale::Sweden));
    struct Restore {
        QLocale locale;
        ~Restore() { QLocale::setDefault(locale); }
    } restore{before};
    TSortListView view;
    view.setColumns(fileColumns());
    view.BackgroundSortFrom = 0;
    const QStringList words = {QStringLiteral("Äpple"), QStringLiteral("zebra"),  QStringLiteral("apple"),
                               QStringLiteral("Zebra"), QStringLiteral("éclair"), QStringLiteral("Eclair"),
                               QStringLiteral("ödla"),  QStringLiteral("b")};
    QList<QStringList> rows;
    for (int i = 0; i < 40000; ++i)
        rows.append({QStringLiteral("/d/%1%2").arg(words[(i * 7) % words.size()]).arg(i % 37),
                     QString::number((i * 7919) % 40000)});
    view.reportModel()->appendRows(rows);
    view.reportModel()->removeRows(0, 4000);
    view.headerClick(1);
    view.finishSort();
    const auto shown = [&] {
        QStringList out;
        for (int r = 0; r < view.rowCount(); ++r)
            out.append(view.cellText(r, 0));
        return out;
    };
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    for (const int direction : {1, -1}) {
        QStringList expected = shown();
        std::stable_sort(expected.begin(), expected.end(), [&](const QString& a, const QString& b) {
            return direction * collator.compare(a.toCaseFolded(), b.toCaseFolded()) < 0;
        });
        view.headerClick(0);
        ASSERT_TRUE(view.sortPending());
        view.finishSort();
        EXPECT_EQ(shown(), expected) << direction;
        if (direction == 1) {
            EXPECT_GT(shown().indexOf(QStringLiteral("/d/Äpple0")), shown().indexOf(QStringLiteral("/d/zebra0")));
        }
    }
}

} // namespace

namespace {

// Clicks with and without Ctrl and Shift, and Shift with the arrow keys, select in the list as in
// a plain tree view with Qt's own selection.
TEST(SortListView, ClicksAndKeysSelectAsQtsOwnSelectionDoes) {
    TSortListView view;
    view.setColumns(fileColumns());
    view.setSelectionMode(QAbstractItemView::ExtendedSelection);
    QList<QStringList> rows;
    QStandardItemModel plainModel(0, 3);
    for (int i = 0; i < 10; ++i) {
        rows.append({QStringLiteral("/f%1").arg(i), QStringLiteral("1 KB"), QStringLiteral("A")});
        plainModel.appendRow(
            {new QStandardItem(rows.last()[0]), new QStandardItem(rows.last()[1]), new QStandardItem(rows.last()[2])});
    }
    view.reportModel()->appendRows(rows);
    QTreeView plain;
    plain.setModel(&plainModel);
    plain.setRootIsDecorated(false);
    for (QAbstractItemView* v : {static_cast<QAbstractItemView*>(&view), static_cast<QAbstractItemView*>(&plain)}) {
        v->setSelectionMode(QAbstractItemView::ExtendedSelection);
        v->setSelectionBehavior(QAbstractItemView::SelectRows);
        v->resize(400, 400);
        v->show();
    }
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    const auto plainSelected = [&] {
        QList<int> out;
        for (const QModelIndex& index : plain.selectionModel()->selectedRows())
            out.append(index.row());
        std::sort(out.begin(), out.end());
        return out;
    };
    struct Step {
        int row; // -1: a key press instead
        Qt::KeyboardModifiers modifiers;
        Qt::Key key;
        Qt::MouseButton button = Qt::LeftButton;
    };
    const Qt::Key click = Qt::Key_unknown;
    const Step steps[] = {
        {1, Qt::NoModifier, click},
        {3, Qt::ControlModifier, click},
        {1, Qt::ControlModifier, click},
        {5, Qt::ShiftModifier, click},
        {2, Qt::ShiftModifier, click},
        {-1, Qt::ShiftModifier, Qt::Key_Down},
        // A right click in the selection keeps it, one elsewhere selects its row alone; a plain
        // click on a selected row selects that row alone.
        {3, Qt::NoModifier, click, Qt::RightButton},
        {5, Qt::NoModifier, click, Qt::RightButton},
        {1, Qt::NoModifier, click},
        {4, Qt::ShiftModifier, click},
        {2, Qt::NoModifier, click},
        {-1, Qt::ShiftModifier, Qt::Key_Down},
        {7, Qt::ControlModifier, click},
        {-1, Qt::NoModifier, Qt::Key_Down},
        {-1, Qt::ShiftModifier, Qt::Key_Up},
        {4, Qt::NoModifier, click},
        {-1, Qt::ShiftModifier, Qt::Key_End},
        {-1, Qt::NoModifier, Qt::Key_Right},
        {-1, Qt::ShiftModifier, Qt::Key_Left},
        {-1, Qt::NoModifier, Qt::Key_Home},
        {-1, Qt::ShiftModifier, Qt::Key_PageDown},
        {-1, Qt::ControlModifier, Qt::Key_End},
    };
    for (const Step& step : steps) {
        for (QAbstractItemView* v : {static_cast<QAbstractItemView*>(&view), static_cast<QAbstractItemView*>(&plain)}) {
            if (step.row >= 0)
                QTest::mouseClick(v->viewport(), step.button, step.modifiers,
                                  v->visualRect(v->model()->index(step.row, 0)).center());
            else
                QTest::keyClick(v, step.key, step.modifiers);
        }
        EXPECT_EQ(view.selectedRows(), plainSelected()) << "after row " << step.row << " key " << step.key;
        EXPECT_EQ(view.currentIndex().row(), plain.currentIndex().row()) << "after key " << step.key;
    }
}

} // namespace

namespace {

// What the list's own rules add: a press below the rows clears the selection whatever the button;
// a press on the selection and a move drag the selection out, offering what OnDragData gives and
// the copy action alone; a press elsewhere and a move still select a range; nothing drops in.
TEST(SortListView, APressBelowTheRowsClearsAndAPressOnTheSelectionDragsItOut) {
    TSortListView view;
    view.setColumns(fileColumns());
    view.setSelectionMode(QAbstractItemView::ExtendedSelection);
    QList<QStringList> rows;
    for (int i = 0; i < 6; ++i)
        rows.append({QStringLiteral("/f%1").arg(i), QStringLiteral("1 KB"), QStringLiteral("A")});
    view.reportModel()->appendRows(rows);
    view.resize(400, 400);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    QWidget* viewport = view.viewport();
    const auto centre = [&view](int row) { return view.visualRect(view.model()->index(row, 0)).center(); };
    const QPoint below(centre(0).x(), view.visualRect(view.model()->index(5, 0)).bottom() + 40);
    const auto move = [viewport](const QPoint& to) {
        QMouseEvent event(QEvent::MouseMove, to, viewport->mapToGlobal(to), Qt::NoButton, Qt::LeftButton,
                          Qt::NoModifier);
        QApplication::sendEvent(viewport, &event);
    };

    for (const Qt::MouseButton button : {Qt::LeftButton, Qt::RightButton}) {
        view.clearSelection();
        QTest::mouseClick(viewport, Qt::LeftButton, {}, centre(1));
        QTest::mouseClick(viewport, Qt::LeftButton, Qt::ShiftModifier, centre(3));
        ASSERT_EQ(view.selectedRows(), QList<int>({1, 2, 3}));
        QTest::mouseClick(viewport, button, {}, below);
        EXPECT_TRUE(view.selectedRows().isEmpty()) << int(button);
    }

    QList<QByteArray> offered;
    Qt::DropActions actions;
    int drags = 0;
    view.OnDragData = [&view] {
        auto* data = new QMimeData;
        data->setData(QStringLiteral("text/plain"), QByteArray::number(view.selectedRows().size()));
        return data;
    };
    view.ExecDrag = [&](QDrag& drag, Qt::DropActions offeredActions) {
        ++drags;
        offered << drag.mimeData()->data(QStringLiteral("text/plain"));
        actions = offeredActions;
    };
    QTest::mouseClick(viewport, Qt::LeftButton, {}, centre(1));
    QTest::mouseClick(viewport, Qt::LeftButton, Qt::ShiftModifier, centre(3));
    QTest::mousePress(viewport, Qt::LeftButton, {}, centre(2));
    move(centre(2) + QPoint(0, QApplication::startDragDistance() + 2));
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, centre(2) + QPoint(0, QApplication::startDragDistance() + 2));
    EXPECT_EQ(drags, 1);
    EXPECT_EQ(offered, QList<QByteArray>{"3"});
    EXPECT_EQ(actions, Qt::CopyAction);
    EXPECT_EQ(view.selectedRows(), QList<int>({1, 2, 3})) << "a drag leaves the selection as it was";

    QTest::mousePress(viewport, Qt::LeftButton, {}, centre(4));
    move(centre(5));
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, centre(5));
    EXPECT_EQ(drags, 1);
    EXPECT_EQ(view.selectedRows(), QList<int>({4, 5}));

    EXPECT_FALSE(viewport->acceptDrops());
    QMimeData files;
    files.setData(QStringLiteral("text/uri-list"), "file:///tmp/x\r\n");
    QDragEnterEvent enter(centre(0), Qt::CopyAction, &files, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &enter);
    EXPECT_FALSE(enter.isAccepted());
}

TEST(SortListView, SelectedRowsPaintInTheHighlightColour) {
    TSortListView view;
    view.setColumns(fileColumns());
    view.reportModel()->appendRows({{QStringLiteral("/a"), QStringLiteral("1 KB"), QStringLiteral("A")},
                                    {QStringLiteral("/b"), QStringLiteral("1 KB"), QStringLiteral("A")}});
    view.resize(500, 200);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    view.selectionModel()->select(view.model()->index(1, 0),
                                  QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    const QImage picture = view.viewport()->grab().toImage();
    const auto emptyPartOf = [&](int row) {
        const QRect cell = view.visualRect(view.model()->index(row, 2));
        return picture.pixelColor(cell.right() - 3, cell.center().y());
    };
    const QColor highlight = view.palette().color(QPalette::Active, QPalette::Highlight);
    EXPECT_EQ(emptyPartOf(1), highlight);
    EXPECT_NE(emptyPartOf(0), highlight);
}

} // namespace
