// Everything that runs on threads at once, stopped and dropped at random points, for the sanitizer
// builds to watch: walks reading folders ahead on workers over a tree with unreadable folders (and
// from a missing root), STOP set from their pump; and, from the same pump, sorts of a list of
// 100,000 rows started, cancelled, waited for and overtaken by changed rows, and filters of the
// list while a sort is under way. Bounded: a few seconds, some more under ThreadSanitizer.

#include "lists/ListFills.h"
#include "lists/ListFilters.h"
#include "lists/ListSortKeys.h"
#include "lists/ReportModel.h"
#include "lists/RowSorter.h"
#include "walk/FolderWalker.h"
#include "support/EventPump.h"
#include "support/FileRights.h"
#include "support/RandomTree.h"
#include "support/ReportRows.h"
#include "support/TempTree.h"

#include <QCollator>
#include <QCoreApplication>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <optional>
#include <random>
#include <vector>

namespace {

using namespace std::chrono_literals;

constexpr unsigned kSeed = 20240611;
constexpr int kRows = 100000;
constexpr int kWalks = 16;

// A host whose pump runs the event loop, as the window's does, then what the test does there.
class PumpingHost : public ScanHost {
public:
    void pump() override {
        QCoreApplication::processEvents();
        if (onPump)
            onPump();
    }
    ScanOptions options() const override { return opts; }
    void showProgress(const WalkProgress&) override {}

    ScanOptions opts;
    std::function<void()> onPump;
};

struct WalkResult {
    qint64 entries = 0;
    qint32 totalFiles = 0;
    qsizetype listed = 0;
    ScanReport report;
    bool stopped = false;
};

struct WalkPlan {
    QString root;
    WalkMode mode = WalkMode::CountTypes;
    int workers = 0;
    std::chrono::nanoseconds pumpInterval{4ms};
    // Set from the first pump that sees this many entries walked; never when negative.
    qint64 stopAtEntry = -1;
    // Called from the pumps, with the entries walked so far.
    std::function<void(qint64 entries)> onPump;
};

WalkResult walk(const WalkPlan& plan) {
    RunState run;
    PumpingHost host;
    if (plan.mode == WalkMode::Criteria)
        host.opts.typeMask = {true, QStringLiteral("*.txt;*.jpg")};
    host.onPump = [&] {
        if (plan.stopAtEntry >= 0 && run.EntryCount >= plan.stopAtEntry)
            run.StopSearch = true;
        if (plan.onPump)
            plan.onPump(run.EntryCount);
    };
    TDataList dataList;
    TDataIndexList indexList;
    TFileList fileList;
    FolderWalker walker(host, run, dataList, indexList, fileList);
    walker.setPumpInterval(plan.pumpInterval);
    walker.setReadAheadWorkers(plan.workers);
    walker.ScanFolder(plan.root, true, plan.mode);
    return {run.EntryCount, run.TotalFiles, qsizetype(fileList.size()), walker.report(), run.StopSearch};
}

// A list of the file list's columns, sorted and filtered at random, that checks every order the
// sorter applies against the keys and texts of its rows.
class ListAtRandom {
public:
    explicit ListAtRandom(std::mt19937& random) : m_random(random) {
        addFileRows(m_model, kRows, unsigned(random()));
        m_sorter.setModel(&m_model);
        m_sorter.setKeyFunction(
            [this](int column, int stored, double& key) { return m_keys.key(m_model, column, stored, key); });
        m_sorter.setErrorHandler([](const QString& message) { ADD_FAILURE() << message.toStdString(); });
        QObject::connect(&m_sorter, &RowSorter::sorted, [this] { checkOrder(); });
        m_collator.setCaseSensitivity(Qt::CaseInsensitive);
    }

    // One step of what a user could do between two pumps.
    void act() {
        const int what = pick(20);
        if (what < 8) {
            m_column = pick(5);
            m_ascending = pick(2) == 0;
            m_sorter.sort(m_column, m_ascending);
            ++started;
        } else if (what < 11) {
            m_sorter.cancel();
        } else if (what < 13) {
            finish();
        } else if (what < 16) {
            // Rows go while a sort may be under way: its order is not theirs any more.
            const int rows = m_model.rowCount();
            if (rows > 100)
                m_model.removeRows(pick(rows - 50), 1 + pick(49));
        } else {
            filter();
        }
    }

    // Runs the event loop until the pending sort, if any, is applied by it.
    void waitForSort() {
        EXPECT_TRUE(pumpEventsUntil([this] { return !m_sorter.isPending(); }, 60s));
    }

    void finish() {
        m_finishing = true;
        m_sorter.finish();
        m_finishing = false;
        EXPECT_FALSE(m_sorter.isPending());
    }

    int started = 0;
    int applied = 0;
    int appliedByLoop = 0; // rather than while a command waited
    int filtered = 0;

private:
    int pick(int n) { return int(m_random() % unsigned(n)); }

    void filter() {
        const int rows = m_model.rowCount();
        const int like = pick(rows);
        const QList<int> unlike = rowsUnlike(m_model, like, pick(2) == 0 ? PathPart::Folder : PathPart::Extension);
        ++filtered;
        ASSERT_TRUE(std::is_sorted(unlike.begin(), unlike.end()));
        ASSERT_TRUE(std::adjacent_find(unlike.begin(), unlike.end()) == unlike.end());
        ASSERT_FALSE(std::binary_search(unlike.begin(), unlike.end(), like));
        ASSERT_TRUE(unlike.isEmpty() || (unlike.front() >= 0 && unlike.back() < rows));
        if (pick(3) != 0)
            return;
        // Applied as the window does, in one reset, which drops a pending sort.
        std::vector<bool> keep(size_t(rows), true);
        for (const int r : unlike)
            keep[size_t(r)] = false;
        m_model.keepRows(keep);
        EXPECT_FALSE(m_sorter.isPending());
        if (m_model.rowCount() < m_sorter.backgroundFrom()) {
            m_model.clear();
            addFileRows(m_model, kRows, unsigned(m_random()));
        }
    }

    // The rows are in the order of the last sort asked for, by key or by text, and each stored
    // row is there once.
    void checkOrder() {
        ++applied;
        appliedByLoop += !m_finishing;
        const int rows = m_model.rowCount();
        std::vector<bool> seen(size_t(m_model.storedCount()), false);
        for (int r = 0; r < rows; ++r) {
            const size_t s = size_t(m_model.storedIndex(r));
            ASSERT_FALSE(seen[s]) << r;
            seen[s] = true;
        }
        const auto inOrder = [this](int compared) { return m_ascending ? compared <= 0 : compared >= 0; };
        double previousKey = 0;
        QString previousText;
        for (int r = 0; r < rows; ++r) {
            double key = 0;
            if (m_checkKeys.key(m_model, m_column, m_model.storedIndex(r), key)) {
                ASSERT_TRUE(r == 0 || inOrder((previousKey > key) - (previousKey < key)))
                    << "column " << m_column << " row " << r;
                previousKey = key;
            } else {
                const QString text = m_model.text(r, m_column).toCaseFolded();
                ASSERT_TRUE(r == 0 || inOrder(m_collator.compare(previousText, text)))
                    << "column " << m_column << " row " << r;
                previousText = text;
            }
        }
    }

    std::mt19937& m_random;
    ReportModel m_model{fileListColumns()};
    ListSortKeys m_keys;
    ListSortKeys m_checkKeys;
    RowSorter m_sorter;
    QCollator m_collator;
    int m_column = 0;
    bool m_ascending = true;
    bool m_finishing = false;
};

TEST(Stress, WalksSortsAndFiltersStoppedAtRandomPointsStayWhole) {
    std::printf("[          ] seed %u\n", kSeed);
    SCOPED_TRACE(testing::Message() << "seed " << kSeed);
    std::mt19937 random(kSeed);
    const auto pick = [&random](int n) { return int(random() % unsigned(n)); };

    TempTree tree;
    makeRandomTree(tree.rootBytes(), kSeed, {30, 500, 1200, true});
    const QString missing = tree.root() + QStringLiteral("/missing");
    // Permission checks apply to the walks as root too; their workers take this thread's rights.
    WithoutFileRights noRights;

    const WalkMode modes[] = {WalkMode::CountTypes, WalkMode::Criteria};
    std::vector<WalkResult> whole; // of each mode, read on the walk's own thread, never stopped
    for (const WalkMode mode : modes) {
        WalkPlan plan;
        plan.root = tree.root();
        plan.mode = mode;
        whole.push_back(walk(plan));
    }
    ASSERT_GT(whole[0].report.unreadFolders, 0) << "the closed folders were read";

    ListAtRandom list(random);
    int stopped = 0;
    for (int w = 0; w < kWalks; ++w) {
        const int m = pick(2);
        WalkPlan plan;
        plan.root = pick(8) == 0 ? missing : tree.root();
        plan.mode = modes[m];
        plan.workers = pick(2) == 0 ? ReadAheadSettings::defaultWorkers() : 1;
        const std::chrono::nanoseconds intervals[] = {0ns, 200us, 4ms};
        plan.pumpInterval = intervals[pick(3)];
        // About half the walks are stopped, at any point; a few steps on the list during each.
        const qint64 entries = whole[size_t(m)].entries;
        plan.stopAtEntry = pick(int(std::max<qint64>(2 * entries, 1)));
        qint64 nextStep = pick(int(std::max<qint64>(entries / 4, 1)));
        plan.onPump = [&](qint64 walked) {
            if (walked < nextStep)
                return;
            list.act();
            nextStep = walked + pick(int(std::max<qint64>(entries / 4, 1)));
        };
        SCOPED_TRACE(testing::Message() << "walk " << w << (m == 0 ? " counting types" : " by criteria") << " from "
                                        << plan.root.toStdString() << " with " << plan.workers << " workers");

        const WalkResult result = walk(plan);
        stopped += result.stopped;
        if (plan.root == missing) {
            EXPECT_TRUE(result.report.rootMissing);
            EXPECT_EQ(result.totalFiles, 0);
        } else if (!result.stopped) {
            EXPECT_EQ(result.entries, whole[size_t(m)].entries);
            EXPECT_EQ(result.totalFiles, whole[size_t(m)].totalFiles);
            EXPECT_EQ(result.listed, whole[size_t(m)].listed);
            EXPECT_EQ(result.report.unreadFolders, whole[size_t(m)].report.unreadFolders);
        } else {
            EXPECT_LE(result.entries, whole[size_t(m)].entries);
        }
        if (pick(4) == 0)
            list.waitForSort();
    }
    list.finish();
    std::printf("[          ] %d walks, %d stopped; %d sorts started, %d applied (%d by the event loop); %d filters\n",
                kWalks, stopped, list.started, list.applied, list.appliedByLoop, list.filtered);
    EXPECT_GT(list.applied, 0);
}

} // namespace
