#include "lists/ListFills.h"
#include "lists/ListFilters.h"
#include "lists/ReportModel.h"
#include "platform/FileName.h"
#include "search/FileHelpers.h"
#include "search/PumpClock.h"
#include "search/TDataIndexList.h"
#include "search/TFileList.h"
#include "views/SortListViews.h"

#include <QAbstractItemModelTester>
#include <QCollator>
#include <QHeaderView>
#include <QSignalSpy>
#include <QStandardItemModel>
#include <QTest>
#include <QTreeView>
#include <gtest/gtest.h>

namespace {

QList<ListColumn> fileColumns() {
    return {{QStringLiteral("Filename"), Qt::AlignLeft, -1, 300},
            {QStringLiteral("Size"), Qt::AlignRight, 80, 60},
            {QStringLiteral("Attribs"), Qt::AlignLeft, 70}};
}

class ReportModelTest : public ::testing::Test {
protected:
    ReportModel model{fileColumns()};
    QAbstractItemModelTester tester{&model, QAbstractItemModelTester::FailureReportingMode::Fatal};
};

TEST_F(ReportModelTest, HeaderShowsCaptionsAndCellsFollowTheColumnAlignment) {
    EXPECT_EQ(model.columnCount(), 3);
    EXPECT_EQ(model.rowCount(), 0);
    EXPECT_EQ(model.headerData(0, Qt::Horizontal).toString(), QStringLiteral("Filename"));
    EXPECT_EQ(model.headerData(1, Qt::Horizontal, Qt::TextAlignmentRole).value<Qt::Alignment>(),
              Qt::AlignRight | Qt::AlignVCenter);
    model.appendRow({QStringLiteral("/a/b.txt"), QStringLiteral("1 KB"), QStringLiteral("A")});
    EXPECT_EQ(model.data(model.index(0, 1), Qt::TextAlignmentRole).value<Qt::Alignment>(),
              Qt::AlignRight | Qt::AlignVCenter);
    EXPECT_EQ(model.data(model.index(0, 0), Qt::TextAlignmentRole).value<Qt::Alignment>(),
              Qt::AlignLeft | Qt::AlignVCenter);
    EXPECT_EQ(model.flags(model.index(0, 0)) & Qt::ItemIsEditable, Qt::NoItemFlags);
}

TEST_F(ReportModelTest, AppendRowsIsOneInsertionAndPadsShortRows) {
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    QList<QStringList> rows;
    for (int i = 0; i < 1000; ++i)
        rows.append({QStringLiteral("/f%1").arg(i), QString::number(i)});
    model.appendRows(rows);
    ASSERT_EQ(inserted.count(), 1);
    EXPECT_EQ(inserted.first().at(1).toInt(), 0);
    EXPECT_EQ(inserted.first().at(2).toInt(), 999);
    EXPECT_EQ(model.rowCount(), 1000);
    EXPECT_EQ(model.rowTexts(7), (QStringList{QStringLiteral("/f7"), QStringLiteral("7"), QString()}));

    model.appendRow({QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c"), QStringLiteral("dropped")});
    EXPECT_EQ(model.rowTexts(1000), (QStringList{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")}));
    EXPECT_EQ(model.data(model.index(1000, 2)).toString(), QStringLiteral("c"));

    model.appendRows({});
    EXPECT_EQ(inserted.count(), 2);
}

TEST_F(ReportModelTest, RemoveRowsAndClearKeepTheOtherRowsIntact) {
    for (int i = 0; i < 5; ++i)
        model.appendRow({QString::number(i), QStringLiteral("s%1").arg(i), QStringLiteral("A")});
    EXPECT_TRUE(model.removeRows(1, 2));
    ASSERT_EQ(model.rowCount(), 3);
    EXPECT_EQ(model.text(0, 0), QStringLiteral("0"));
    EXPECT_EQ(model.text(1, 0), QStringLiteral("3"));
    EXPECT_EQ(model.text(2, 1), QStringLiteral("s4"));
    EXPECT_FALSE(model.removeRows(2, 2));
    EXPECT_FALSE(model.removeRows(-1, 1));
    EXPECT_EQ(model.rowCount(), 3);

    model.clear();
    EXPECT_EQ(model.rowCount(), 0);
    model.appendRow({QStringLiteral("again")});
    EXPECT_EQ(model.rowTexts(0).first(), QStringLiteral("again"));
}

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

TEST(ReportModel, PendingRowsAppearAtOnceWhenFlushed) {
    ReportModel model(fileColumns());
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    for (int i = 0; i < 50; ++i)
        model.addRow(QStringLiteral("/p%1").arg(i), {QStringLiteral("1 KB"), QStringLiteral("A")});
    EXPECT_EQ(model.rowCount(), 0);
    model.flushRows();
    EXPECT_EQ(model.rowCount(), 50);
    EXPECT_EQ(inserted.count(), 1);
    // Repeated texts are kept once.
    EXPECT_EQ(model.cellTextId(0, 1), model.cellTextId(49, 1));
    EXPECT_EQ(model.text(49, 0), QStringLiteral("/p49"));
}

// However fast rows come, a pump inserts a bounded number of them: the view's bookkeeping of one
// insertion grows with its rows, and a million at once held the window for a twentieth of a second.
// A stop keeps the rows in sight, in the order found, and forgets the rest.
TEST(ReportModel, AFillShowsABoundedNumberOfRowsPerPumpInTheOrderFound) {
    constexpr int kRows = 300000;
    for (const bool stop : {false, true}) {
        TFileList found;
        for (int i = 0; i < kRows; ++i)
            found.append("/d", "f" + std::to_string(i), 1, 2, 3, 0);
        ReportModel model(fileListColumns());
        PumpClock never(std::chrono::hours(1));
        std::vector<int> seen;
        const int rows = fillFileList(
            model, found, never, [&] { seen.push_back(model.rowCount()); }, [&] { return stop && !seen.empty(); });
        ASSERT_FALSE(seen.empty());
        EXPECT_EQ(rows, stop ? seen.front() : kRows);
        EXPECT_EQ(model.rowCount(), rows);
        int before = 0;
        for (const int now : seen) {
            EXPECT_LE(now - before, 1 << 17);
            before = now;
        }
        for (const int r : {0, rows / 2, rows - 1})
            EXPECT_EQ(model.text(r, 0), QStringLiteral("/d/f%1").arg(r));
        model.appendRow({QStringLiteral("/e/added")});
        EXPECT_EQ(model.text(rows, 0), QStringLiteral("/e/added"));
    }
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

// A filter compares the parts of the paths' bytes; it removes exactly the rows that a comparison
// of the decoded texts' folders or extensions would, for every row it may be asked about.
TEST(ListFilters, RowsUnlikeAreThoseWhosePartDiffersAsText) {
    ReportModel model(fileColumns());
    const QList<QByteArray> paths = {"/x/a.txt",          "/X/b.TXT",
                                     "/x/sub/c.txt",      "/x/a.txt",
                                     "/a.b/noext",        "/x/\xff.TXT",
                                     "/d\xe9/e.\xc3\xa4", "/D\xe9/f.\xc3\x84",
                                     "/x/.profile",       "/y/g.",
                                     "noslash.txt",       "/x/h.txt.GZ",
                                     "/x/b.TXT",          "/"};
    // Enough rows to be read in ranges on more than one processor, which part the copies unevenly.
    for (int copy = 0; copy < 10001; ++copy) {
        for (const QByteArray& path : paths)
            model.addRow(platform::decodeFileName(path.constData(), path.size()), ListRow{});
    }
    model.flushRows();
    for (const auto& [part, key] :
         {std::pair{PathPart::Folder, &ExtractFilePath}, std::pair{PathPart::Extension, &ExtractExt}}) {
        for (int like = 0; like < paths.size(); ++like) {
            QHash<QString, bool> same;
            QList<int> expected;
            for (int r = 0; r < model.rowCount(); ++r) {
                const QString text = key(model.text(r, 0));
                if (!same.contains(text))
                    same.insert(text, SameTextLocale(text, key(model.text(like, 0))));
                if (!same.value(text))
                    expected.append(r);
            }
            EXPECT_EQ(rowsUnlike(model, like, part), expected) << model.text(like, 0).toStdString();
        }
    }
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
    };
    const Step steps[] = {
        {1, Qt::NoModifier, Qt::Key_unknown},      {3, Qt::ControlModifier, Qt::Key_unknown},
        {1, Qt::ControlModifier, Qt::Key_unknown}, {5, Qt::ShiftModifier, Qt::Key_unknown},
        {2, Qt::ShiftModifier, Qt::Key_unknown},   {-1, Qt::ShiftModifier, Qt::Key_Down},
        {-1, Qt::ShiftModifier, Qt::Key_Down},     {7, Qt::ControlModifier, Qt::Key_unknown},
        {-1, Qt::NoModifier, Qt::Key_Down},        {-1, Qt::ShiftModifier, Qt::Key_Up},
        {4, Qt::NoModifier, Qt::Key_unknown},      {-1, Qt::ShiftModifier, Qt::Key_End},
        {-1, Qt::NoModifier, Qt::Key_Right},       {-1, Qt::ShiftModifier, Qt::Key_Left},
        {-1, Qt::NoModifier, Qt::Key_Home},        {-1, Qt::ShiftModifier, Qt::Key_PageDown},
        {-1, Qt::ControlModifier, Qt::Key_End},
    };
    for (const Step& step : steps) {
        for (QAbstractItemView* v : {static_cast<QAbstractItemView*>(&view), static_cast<QAbstractItemView*>(&plain)}) {
            if (step.row >= 0)
                QTest::mouseClick(v->viewport(), Qt::LeftButton, step.modifiers,
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
