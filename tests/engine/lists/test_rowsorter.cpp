// The sort of the lists without a window: keys taken in slices, the order made on a worker and
// applied only to the rows it was made for.

#include "lists/ListFills.h"
#include "lists/ListSortKeys.h"
#include "lists/ReportModel.h"
#include "lists/RowSorter.h"
#include "support/EventPump.h"
#include "support/ReportRows.h"

#include <QCollator>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <stdexcept>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

// A list of the file list's columns long enough to sort in the background, and its sorter.
struct SortedList {
    explicit SortedList(int rows) {
        addFileRows(model, rows, 7);
        sorter.setModel(&model);
        sorter.setKeyFunction(
            [this](int column, int stored, double& key) { return keys.key(model, column, stored, key); });
        sorter.setErrorHandler([this](const QString& message) { errors.append(message); });
        QObject::connect(&sorter, &RowSorter::sorted, [this] { ++sorted; });
    }

    std::vector<quint32> order() const { return {model.order().begin(), model.order().end()}; }

    ReportModel model{fileListColumns()};
    ListSortKeys keys;
    RowSorter sorter;
    QStringList errors;
    int sorted = 0;
};

TEST(RowSorter, ALongListSortsInTheBackgroundByTheOwnersKeysKeepingTiesInOrder) {
    SortedList list(30000);
    ASSERT_GE(list.model.rowCount(), list.sorter.backgroundFrom());
    ListSortKeys keys;
    const auto keyOf = [&](quint32 stored) {
        double key = 0;
        keys.key(list.model, 3, int(stored), key);
        return key;
    };
    for (const bool ascending : {true, false}) {
        std::vector<quint32> expected = list.order();
        std::stable_sort(expected.begin(), expected.end(),
                         [&](quint32 a, quint32 b) { return ascending ? keyOf(a) < keyOf(b) : keyOf(a) > keyOf(b); });
        list.sorter.sort(3, ascending);
        ASSERT_TRUE(list.sorter.isPending());
        ASSERT_TRUE(pumpEventsUntil([&] { return !list.sorter.isPending(); }, 60s));
        EXPECT_EQ(list.order(), expected) << ascending;
    }
    EXPECT_EQ(list.sorted, 2);
    EXPECT_TRUE(list.errors.isEmpty());
}

TEST(RowSorter, RowsChangedBeforeTheOrderArrivesAreSortedAgainAndACancelledSortLeavesThem) {
    SortedList list(30000);
    list.sorter.sort(0, true);
    ASSERT_TRUE(list.sorter.isPending());
    list.model.removeRows(0, 1000);
    list.sorter.finish();
    EXPECT_FALSE(list.sorter.isPending());
    ASSERT_EQ(list.model.rowCount(), 29000);
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    for (int r = 1; r < list.model.rowCount(); ++r) {
        ASSERT_LE(collator.compare(list.model.text(r - 1, 0).toCaseFolded(), list.model.text(r, 0).toCaseFolded()), 0)
            << r;
    }
    EXPECT_EQ(list.sorted, 1);

    const std::vector<quint32> before = list.order();
    list.sorter.sort(1, false);
    ASSERT_TRUE(list.sorter.isPending());
    list.sorter.cancel();
    EXPECT_FALSE(list.sorter.isPending());
    pumpEventsUntil([] { return false; }, 100ms);
    EXPECT_EQ(list.order(), before);
    EXPECT_EQ(list.sorted, 1);
    EXPECT_TRUE(list.errors.isEmpty());
}

TEST(RowSorter, AKeyThatCannotBeMadeEndsTheSortAndIsReported) {
    SortedList list(30000);
    const std::vector<quint32> before = list.order();
    list.sorter.setKeyFunction([](int, int stored, double&) -> bool {
        if (stored == 0)
            throw std::runtime_error("'x' is not a valid integer value");
        return true;
    });
    EXPECT_THROW(list.sorter.sort(2, true), std::runtime_error);
    EXPECT_FALSE(list.sorter.isPending());

    // Taken in a later slice, from the event loop: reported, not thrown.
    list.sorter.setKeyFunction([](int, int stored, double& key) -> bool {
        if (stored == 1)
            std::this_thread::sleep_for(10ms); // past the first slice
        if (stored == 20000)
            throw std::runtime_error("'y' is not a valid date and time");
        key = stored;
        return true;
    });
    list.sorter.sort(2, true);
    ASSERT_TRUE(list.sorter.isPending());
    ASSERT_TRUE(pumpEventsUntil([&] { return !list.sorter.isPending(); }, 60s));
    EXPECT_EQ(list.errors, QStringList{QStringLiteral("'y' is not a valid date and time")});
    EXPECT_EQ(list.order(), before);
    EXPECT_EQ(list.sorted, 0);
}

} // namespace
