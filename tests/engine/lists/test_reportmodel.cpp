#include "lists/ListFills.h"
#include "lists/ReportModel.h"
#include "walk/PumpClock.h"
#include "records/TFileList.h"
#include "support/ReportRows.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <gtest/gtest.h>

namespace {

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
