// The walk with folders read ahead on worker threads against the same walk read on its own thread
// (no workers): the same rows, counts, progress and report, also with options flipped mid-walk;
// plus what only the read-ahead has to get right: streaming a large folder, STOP not waiting for
// a worker blocked in the kernel, budgets, descriptors, and trees that change under the walk.

#include "platform/FileName.h"
#include "platform/FileOperations.h"
#include "support/DeepTree.h"
#include "support/FileProbe.h"
#include "support/FileRights.h"
#include "support/Gate.h"
#include "support/RandomTree.h"
#include "support/TempTree.h"
#include "walk/FolderWalker.h"

#include <atomic>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <functional>
#include <gtest/gtest.h>
#include <mutex>
#include <set>
#include <sys/stat.h>
#include <thread>
#include <tuple>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;

// Changes made from the pump when EntryCount has a given value: the walk pumps before every entry
// (pump interval zero), so the same change lands before the same entry in every walk.
struct Flip {
    qint64 atEntry;
    std::function<void(ScanOptions&, RunState&)> apply;
};

class ScriptedHost : public ScanHost {
public:
    explicit ScriptedHost(RunState& run) : m_run(run) {}
    void pump() override {
        ++pumps;
        for (size_t i = 0; i < flips.size(); ++i) {
            if (!m_done.count(i) && m_run.EntryCount == flips[i].atEntry) {
                m_done.insert(i);
                flips[i].apply(opts, m_run);
            }
        }
        if (onPump)
            onPump();
    }
    ScanOptions options() const override { return opts; }
    void showProgress(const WalkProgress& p) override {
        progress = p;
        progress.folder = {}; // valid during the call only
    }

    ScanOptions opts;
    std::vector<Flip> flips;
    std::function<void()> onPump;
    int pumps = 0;
    WalkProgress progress; // the last one handed over

private:
    RunState& m_run;
    std::set<size_t> m_done;
};

// Everything a walk leaves that anyone can see.
struct Outcome {
    QStringList rows; // path, attributes, times and size of each found file, in walk order
    QStringList paths;
    QStringList types;
    qint64 entries = 0;
    qint32 totalFiles = 0;
    // The counts the walk last showed its host.
    qint64 shownEntries = -1;
    qint64 shownRows = -1;
    qint32 shownTotal = -1;
    QString report;
    size_t peakBytes = 0;
};

ReadAheadSettings withWorkers(int workers) {
    ReadAheadSettings s;
    s.workers = workers;
    s.stopGrace = std::chrono::hours(1); // exact: never give up what the walk still needs
    return s;
}

struct Walk {
    explicit Walk(QString r, WalkMode m = WalkMode::CountTypes, bool rec = true, QString t = QString())
        : root(std::move(r)), mode(m), recurse(rec), type(std::move(t)) {}

    QString root;
    WalkMode mode;
    bool recurse;
    QString type; // of ListType
    ScanOptions opts;
    std::vector<Flip> flips;
    std::function<void()> onPump;
    std::chrono::nanoseconds pumpInterval{0};

    Outcome run(const ReadAheadSettings& settings, RunState* state = nullptr) const {
        RunState own;
        RunState& runState = state ? *state : own;
        ScriptedHost host(runState);
        host.opts = opts;
        host.flips = flips;
        host.onPump = onPump;
        TDataList dataList;
        TDataIndexList indexList;
        TFileList fileList;
        FolderWalker walker(host, runState, dataList, indexList, fileList);
        walker.setPumpInterval(pumpInterval);
        walker.setReadAhead(settings);
        walker.ScanFolder(root, recurse, mode, type);

        Outcome out;
        for (const TFileRec& f : fileList)
            out.paths << f.FileName;
        for (const TFileRec& f : fileList)
            out.rows << QStringLiteral("%1 %2 %3 %4 %5")
                            .arg(f.FileName)
                            .arg(f.Attr, 0, 16)
                            .arg(f.Created)
                            .arg(f.Modified)
                            .arg(f.Size);
        for (const tDataIndex& i : indexList) {
            const TDataRec& r = dataList[size_t(i.Index)];
            out.types << QStringLiteral("%1 %2 %3").arg(r.Ext).arg(r.Count).arg(r.Size);
        }
        out.entries = runState.EntryCount;
        out.totalFiles = runState.TotalFiles;
        out.shownEntries = host.progress.settledEntries;
        out.shownRows = host.progress.rows;
        out.shownTotal = host.progress.totalFiles;
        const ScanReport& r = walker.report();
        out.report = QStringLiteral("%1 %2 %3 %4 %5")
                         .arg(r.rootMissing)
                         .arg(r.unreadFolders)
                         .arg(r.unreadFiles)
                         .arg(r.firstPath)
                         .arg(r.firstError);
        out.peakBytes = walker.readAheadPeakBytes();
        return out;
    }
};

void expectSame(const Outcome& expected, const Outcome& actual) {
    EXPECT_EQ(actual.entries, expected.entries);
    EXPECT_EQ(actual.totalFiles, expected.totalFiles);
    EXPECT_EQ(actual.shownEntries, expected.shownEntries);
    EXPECT_EQ(actual.shownRows, expected.shownRows);
    EXPECT_EQ(actual.shownTotal, expected.shownTotal);
    EXPECT_EQ(actual.report, expected.report);
    EXPECT_EQ(actual.types, expected.types);
    ASSERT_EQ(actual.rows.size(), expected.rows.size());
    for (qsizetype i = 0; i < actual.rows.size(); ++i)
        ASSERT_EQ(actual.rows[i], expected.rows[i]) << "row " << i;
}

void expectNoRowTwice(const Outcome& outcome) {
    std::set<QString> paths;
    for (const QString& path : outcome.paths)
        EXPECT_TRUE(paths.insert(path).second) << path.toStdString();
}

// The read-ahead variants every differential walk runs: few and many workers, pieces of a few
// entries (a large folder streams in many pieces), a descriptor budget so small that folders are
// reopened from their ancestors, and a memory budget so small that only what the walk waits for
// is read.
std::vector<std::pair<const char*, ReadAheadSettings>> readAheadVariants() {
    std::vector<std::pair<const char*, ReadAheadSettings>> v;
    ReadAheadSettings one = withWorkers(1);
    one.chunkEntries = 7;
    v.emplace_back("1 worker, pieces of 7", one);
    ReadAheadSettings tight = withWorkers(3);
    tight.chunkEntries = 5;
    tight.maxOpenFolders = 1;
    tight.budgetBytes = 1;
    v.emplace_back("3 workers, 1 descriptor, no memory", tight);
    v.emplace_back("8 workers", withWorkers(8));
    return v;
}

std::vector<std::pair<const char*, std::vector<Flip>>> flipSchedules() {
    std::vector<std::pair<const char*, std::vector<Flip>>> v;
    v.emplace_back("no flips", std::vector<Flip>{});
    v.emplace_back("options flipped",
                   std::vector<Flip>{
                       {5, [](ScanOptions& o, RunState&) { o.excludeHidden = false; }},
                       {60, [](ScanOptions& o, RunState&) { o.excludeSystem = false; }},
                       {300, [](ScanOptions& o, RunState&) { o.nameMask.mask = QStringLiteral("*a*"); }},
                       {700,
                        [](ScanOptions& o, RunState&) {
                            o.attributes.on = true;
                            o.attributes.readOnly = true;
                        }},
                       {1100, [](ScanOptions& o, RunState&) { o.size.kilobytes = 50; }},
                       {1500,
                        [](ScanOptions& o, RunState&) {
                            o.attributes.on = false;
                            o.excludeHidden = true;
                        }},
                   });
    v.emplace_back("stopped, cleared, stopped", std::vector<Flip>{
                                                    {400,
                                                     [](ScanOptions& o, RunState& r) {
                                                         r.StopSearch = true;
                                                         o.excludeHidden =
                                                             false; // the walk may go on through rejected files
                                                     }},
                                                    {401, [](ScanOptions&, RunState& r) { r.StopSearch = false; }},
                                                    {1300, [](ScanOptions&, RunState& r) { r.StopSearch = true; }},
                                                });
    v.emplace_back("stopped at once", std::vector<Flip>{{1, [](ScanOptions&, RunState& r) { r.StopSearch = true; }}});
    return v;
}

TEST(ReadAhead, GivesTheRowsCountsLabelsAndReportOfTheWalkWithoutWorkers) {
    TempTree tree;
    makeRandomTree(tree.rootBytes(), 11);
    std::vector<std::tuple<WalkMode, QString, ScanOptions>> modes;
    modes.emplace_back(WalkMode::CountTypes, QString(), ScanOptions());
    ScanOptions criteria;
    criteria.nameMask = {true, QStringLiteral("*")};
    criteria.typeMask = {true, QStringLiteral("*.txt;*.c;*.;*.jpg")};
    criteria.size = {true, SizeRelation::Greater, 1.0};
    criteria.modified = {true, DateRelation::After, 20000.0}; // after 1954
    modes.emplace_back(WalkMode::Criteria, QString(), criteria);
    modes.emplace_back(WalkMode::ListType, QStringLiteral(".txt"), ScanOptions());
    modes.emplace_back(WalkMode::ListType, QString(), ScanOptions());

    for (const bool withoutRights : {false, true}) {
        // Workers are started by the walk's thread and take its rights.
        std::optional<WithoutFileRights> noRights;
        if (withoutRights)
            noRights.emplace();
        for (const auto& [mode, type, opts] : modes) {
            for (const auto& [schedule, flips] : flipSchedules()) {
                Walk walk(tree.root(), mode, true, type);
                walk.opts = opts;
                walk.flips = flips;
                const Outcome expected = walk.run(withWorkers(0));
                expectNoRowTwice(expected);
                for (const auto& [variant, settings] : readAheadVariants()) {
                    SCOPED_TRACE(testing::Message()
                                 << "mode " << int(mode) << " \"" << type.toStdString() << "\", " << schedule << ", "
                                 << variant << (withoutRights ? ", without file rights" : ""));
                    expectSame(expected, walk.run(settings));
                }
            }
        }
    }
}

TEST(ReadAhead, TheSameWithoutRecursionAndForAMissingRoot) {
    TempTree tree;
    makeRandomTree(tree.rootBytes(), 5, {10, 60, 300, false});
    for (const QString& root : {tree.root(), tree.root() + QStringLiteral("/missing")}) {
        Walk walk(root, WalkMode::CountTypes, false);
        const Outcome expected = walk.run(withWorkers(0));
        expectSame(expected, walk.run(withWorkers(4)));
    }
}

TEST(ReadAhead, ARunThatDoesNotRecurseReadsNoSubFolder) {
    TempTree tree;
    makeRandomTree(tree.rootBytes(), 3, {20, 100, 10, false});
    std::mutex mutex;
    std::set<std::string> opened;
    ReadAheadSettings settings = withWorkers(4);
    settings.beforeRead = [&](std::string_view folder, qsizetype piece) {
        std::lock_guard lock(mutex);
        if (piece < 0)
            opened.insert(std::string(folder));
    };
    Walk walk(tree.root(), WalkMode::CountTypes, false);
    walk.run(settings);
    EXPECT_EQ(opened, std::set<std::string>({tree.rootBytes()}));
}

TEST(ReadAhead, ALargeFolderIsWalkedWhileItsLaterPiecesAreStillRead) {
    TempTree tree;
    for (int i = 0; i < 2000; ++i)
        tree.makeFile("big/f" + std::to_string(10000 + i));
    Gate gate;
    std::atomic<bool> laterPieceRead{false};
    ReadAheadSettings settings = withWorkers(2);
    settings.chunkEntries = 100;
    settings.beforeRead = [&](std::string_view folder, qsizetype piece) {
        if (folder == "big" && piece == 15) {
            EXPECT_TRUE(gate.waitOpen());
            laterPieceRead = true;
        }
    };
    bool walkedAhead = false;
    Walk walk(tree.root(), WalkMode::CountTypes);
    RunState state;
    walk.onPump = [&] {
        // The root's ".", ".." and "big", then 200 entries of big: the walk is on its third piece
        // while the sixteenth has not been read.
        if (state.EntryCount == 3 + 200) {
            walkedAhead = !laterPieceRead;
            gate.open();
        }
    };
    const Outcome outcome = walk.run(settings, &state);
    EXPECT_TRUE(walkedAhead);
    EXPECT_EQ(outcome.totalFiles, 2000);
}

TEST(ReadAhead, StopDoesNotWaitForAWorkerBlockedInTheKernel) {
    TempTree tree;
    tree.makeFile("a/one.txt");
    tree.makeFile("hung/two.txt");
    tree.makeFile("z/three.txt");
    Gate gate;
    std::atomic<bool> blocked{false};
    static std::atomic<int> workersLeft{0}; // counted down as worker threads end, maybe after the test
    struct CountsExit {
        explicit CountsExit(std::atomic<int>* l) : left(l) {}
        CountsExit(const CountsExit&) = delete;
        ~CountsExit() { --*left; }
        std::atomic<int>* left;
    };
    ReadAheadSettings settings = withWorkers(2);
    settings.stopGrace = 10ms;
    settings.onWorkerStart = [&] {
        ++workersLeft;
        thread_local std::optional<CountsExit> counts;
        counts.emplace(&workersLeft);
    };
    settings.beforeRead = [&](std::string_view folder, qsizetype piece) {
        if (folder == "hung" && piece < 0) {
            blocked = true; // stands in for a folder on a mount that no longer answers
            EXPECT_TRUE(gate.waitOpen(30s));
        }
    };
    RunState state;
    std::chrono::steady_clock::time_point stopped;
    Walk walk(tree.root(), WalkMode::CountTypes);
    walk.pumpInterval = 1ms;
    walk.onPump = [&] {
        // ".", "..", "a" and its three entries, then "hung": the walk waits for its listing.
        if (blocked && state.EntryCount == 7 && !state.StopSearch) {
            state.StopSearch = true;
            stopped = std::chrono::steady_clock::now();
        }
    };
    const Outcome outcome = walk.run(settings, &state);
    const auto returned = std::chrono::steady_clock::now();
    ASSERT_TRUE(state.StopSearch);
    EXPECT_LT(returned - stopped, 2s); // the grace is 10 ms; a loaded machine may take longer
    EXPECT_TRUE(outcome.rows.isEmpty());
    EXPECT_EQ(outcome.totalFiles, 1); // a/one.txt; the walk ended waiting for "hung"
    gate.open();
    // The abandoned worker drops its result when it returns, and every worker ends.
    for (int i = 0; i < 1000 && workersLeft > 0; ++i)
        std::this_thread::sleep_for(10ms);
    EXPECT_EQ(workersLeft, 0);
}

TEST(ReadAhead, StopEndsOutstandingReads) {
    TempTree tree;
    makeRandomTree(tree.rootBytes(), 9, {200, 600, 10, false});
    std::atomic<int> reads{0};
    ReadAheadSettings settings = withWorkers(4);
    settings.beforeRead = [&](std::string_view, qsizetype) { ++reads; };
    Walk walk(tree.root(), WalkMode::CountTypes);
    walk.flips = {{3, [](ScanOptions&, RunState& r) { r.StopSearch = true; }}};
    walk.run(settings);
    const int atReturn = reads;
    std::this_thread::sleep_for(100ms);
    // At most the reads already under way when the walk returned.
    EXPECT_LE(reads - atReturn, settings.workers);
}

TEST(ReadAhead, WalksPathsLongerThanTheSystemAccepts) {
    TempTree tree;
    const std::string rel = makeDeepChain(tree.rootBytes(), 24, 200);
    ASSERT_GT(tree.abs(rel).size(), size_t(PATH_MAX));
    for (int workers : {0, 3}) {
        Walk walk(tree.root(), WalkMode::ListType, true, QStringLiteral(".txt"));
        const Outcome outcome = walk.run(withWorkers(workers));
        ASSERT_EQ(outcome.rows.size(), 1) << workers;
        EXPECT_EQ(platform::encodeFileName(outcome.paths[0]).toStdString(), tree.abs(rel));
        EXPECT_TRUE(outcome.rows[0].endsWith(QStringLiteral(" 5")));
        EXPECT_EQ(outcome.report, QStringLiteral("0 0 0  0"));
    }
    // A command given such a row says why it cannot reach it, and writes nothing.
    const platform::FileOpResult copy =
        platform::copyFile(platform::decodeFileName(tree.abs(rel).c_str(), qsizetype(tree.abs(rel).size())),
                           tree.root() + QStringLiteral("/copy.txt"));
    EXPECT_EQ(copy.status, platform::FileOpStatus::Failed);
    EXPECT_TRUE(copy.message.contains(QString::fromLocal8Bit(std::strerror(ENAMETOOLONG))))
        << copy.message.toStdString();
    EXPECT_NE(::access(tree.abs("copy.txt").c_str(), F_OK), 0);
}

TEST(ReadAhead, AFolderSwappedForALinkIsNotEntered) {
    TempTree tree;
    TempTree outside;
    outside.makeFile("secret.txt");
    tree.makeFile("a/mine.txt");
    tree.makeFile("z/last.txt");
    for (int workers : {0, 3}) {
        tree.makeFile("a/mine.txt");
        ReadAheadSettings settings = withWorkers(workers);
        settings.beforeRead = [&](std::string_view folder, qsizetype piece) {
            if (folder == "a" && piece < 0) {
                // Between the root's listing and the opening of "a", "a" becomes a link out.
                ASSERT_EQ(::rename(tree.abs("a").c_str(), tree.abs("a-moved").c_str()), 0);
                ASSERT_EQ(::symlink(outside.rootBytes().c_str(), tree.abs("a").c_str()), 0);
            }
        };
        Walk walk(tree.root(), WalkMode::ListType, true, QStringLiteral(".txt"));
        const Outcome outcome = walk.run(settings);
        ASSERT_EQ(outcome.rows.size(), 1) << workers;
        EXPECT_EQ(outcome.paths[0], tree.root() + QStringLiteral("/z/last.txt")) << workers;
        // Opened without following the link: "not a folder" (or "too many links" on some systems).
        const QString prefix = QStringLiteral("0 1 0 %1/a ").arg(tree.root());
        EXPECT_TRUE(outcome.report == prefix + QString::number(ENOTDIR) ||
                    outcome.report == prefix + QString::number(ELOOP))
            << outcome.report.toStdString();
        ::unlink(tree.abs("a").c_str());
        ::rename(tree.abs("a-moved").c_str(), tree.abs("a").c_str());
    }
}

TEST(ReadAhead, TreesChangedDuringTheWalkNeitherCrashItNorListAnEntryTwice) {
    std::vector<std::pair<const char*, ReadAheadSettings>> variants = readAheadVariants();
    variants.emplace_back("no workers", withWorkers(0));
    for (const auto& [variant, settings] : variants) {
        SCOPED_TRACE(variant);
        TempTree tree;
        const std::vector<std::string> folders = makeRandomTree(tree.rootBytes(), 21, {60, 500, 400, false});
        Walk walk(tree.root(), WalkMode::Criteria);
        walk.opts.nameMask = {true, QStringLiteral("*")};
        walk.opts.excludeHidden = false;
        walk.opts.excludeSystem = false;
        // Removes, renames and swaps for links folders at fixed points, most of them read ahead.
        const auto change = [&, folders](size_t which, int how) {
            const std::string path = tree.abs(folders[which % folders.size()]);
            if (how == 0) {
                const std::string cmd = "rm -rf '" + path + "'";
                EXPECT_EQ(std::system(cmd.c_str()), 0);
            } else if (how == 1) {
                ::rename(path.c_str(), (path + "-renamed").c_str());
            } else if (::rename(path.c_str(), (path + "-old").c_str()) == 0) {
                ::symlink(tree.rootBytes().c_str(), path.c_str());
            }
        };
        for (int i = 0; i < 12; ++i)
            walk.flips.push_back(
                {qint64(20 + 90 * i), [change, i](ScanOptions&, RunState&) { change(size_t(7 * i + 3), i % 3); }});
        const Outcome outcome = walk.run(settings);
        expectNoRowTwice(outcome);
        for (const QString& path : outcome.paths)
            EXPECT_TRUE(path.startsWith(tree.root() + QLatin1Char('/'))) << path.toStdString();
    }
}

TEST(ReadAhead, HoldsNoMoreDescriptorsThanItsBudget) {
    TempTree tree;
    makeRandomTree(tree.rootBytes(), 17, {300, 600, 100, false});
    makeDeepChain(tree.rootBytes(), 300, 3);
    ReadAheadSettings settings = withWorkers(2);
    // Above the floor of two per worker and four more, below the 300 levels of the chain.
    settings.maxOpenFolders = 10;
    settings.chunkEntries = 16;
    const int before = openDescriptors();
    int most = 0;
    Walk walk(tree.root(), WalkMode::CountTypes);
    walk.onPump = [&] { most = std::max(most, openDescriptors()); };
    const Outcome outcome = walk.run(settings);
    // The budget, and what each worker has in flight while it reopens or opens one more.
    EXPECT_LE(most, before + settings.maxOpenFolders + 2 * settings.workers);
    EXPECT_EQ(openDescriptors(), before);
    walk.onPump = nullptr;
    expectSame(walk.run(withWorkers(0)), outcome);
}

TEST(ReadAhead, ListingsHeldStayWithinTheBudgetAndADeepWalkHoldsLittle) {
    TempTree tree;
    makeRandomTree(tree.rootBytes(), 23, {400, 3000, 10, false});
    ReadAheadSettings settings = withWorkers(4);
    settings.budgetBytes = 64 * 1024;
    Walk walk(tree.root(), WalkMode::CountTypes);
    const Outcome outcome = walk.run(settings);
    // Beyond the budget by at most what the workers were reading when it was reached.
    EXPECT_LE(outcome.peakBytes, settings.budgetBytes + size_t(settings.workers) * 16 * 1024);
    expectSame(walk.run(withWorkers(0)), outcome);

    TempTree deep;
    makeDeepChain(deep.rootBytes(), 2000, 1);
    for (int workers : {0, 4}) {
        const Outcome deepOutcome =
            Walk(deep.root(), WalkMode::ListType, true, QStringLiteral(".txt")).run(withWorkers(workers));
        EXPECT_EQ(deepOutcome.rows.size(), 1);
        EXPECT_LT(deepOutcome.peakBytes, size_t(2) << 20) << workers; // a few hundred bytes a level
    }
}

TEST(ReadAhead, WorkersReadWithTheRightsOfTheThreadThatStartsTheWalk) {
    TempTree tree;
    tree.makeFile("closed/inside.txt");
    tree.makeFile("open/a.txt");
    tree.setMode("closed", 0);
    Walk walk(tree.root(), WalkMode::ListType, true, QStringLiteral(".txt"));
    WithoutFileRights noRights;
    const Outcome withoutWorkers = walk.run(withWorkers(0));
    const Outcome withWorkers4 = walk.run(withWorkers(4));
    expectSame(withoutWorkers, withWorkers4);
    const int probe = ::open(tree.abs("closed").c_str(), O_RDONLY | O_DIRECTORY);
    if (probe >= 0) {
        ::close(probe);
        GTEST_SKIP() << "this thread can read a folder of mode 0";
    }
    {
        EXPECT_EQ(withWorkers4.rows.size(), 1);
        EXPECT_EQ(withWorkers4.report.toStdString(),
                  QStringLiteral("0 1 0 %1/closed %2").arg(tree.root()).arg(EACCES).toStdString());
    }
}

// A folder whose listing ends, without pieces, between the walk's test without the lock and the
// lock: the walk takes the listing it now has, never asks for a piece of a folder that has none.
TEST(ReadAhead, AListingThatEndsJustBeforeTheWalkLooksAgainIsTaken) {
    TempTree tree;
    tree.makeFile("closed/inside.txt");
    tree.setMode("closed", 0);
    WithoutFileRights noRights; // the workers take this thread's rights
    for (const std::string& root : {tree.abs("missing"), tree.abs("closed")}) {
        SCOPED_TRACE(root);
        Gate listing;
        ReadAhead* reader = nullptr;
        ReadAhead::Folder* folder = nullptr;
        bool raced = false;
        ReadAheadSettings settings = withWorkers(1);
        settings.beforeRead = [&](std::string_view, qsizetype piece) {
            if (piece < 0) {
                EXPECT_TRUE(listing.waitOpen());
            }
        };
        settings.afterReadyTest = [&] {
            listing.open(); // the worker lists the folder to its end now, between the two looks
            for (int i = 0; i < 10000 && !reader->isListed(folder); ++i)
                std::this_thread::sleep_for(1ms);
            raced = reader->isListed(folder);
        };
        ReadAhead ahead(settings);
        reader = &ahead;
        folder = ahead.start(root, true);
        EXPECT_TRUE(ahead.wait(folder, -1, ReadAhead::Clock::now() + 10s));
        EXPECT_TRUE(raced);
        EXPECT_NE(ahead.view(folder).error, 0);
        EXPECT_EQ(ahead.view(folder).count, 0);
    }
}

TEST(ReadAhead, WalksATreeDeeperThanTheStackWouldHold) {
    TempTree tree;
    const DeepChain chain(tree.rootBytes(), 100000);
    const std::string& rel = chain.file();
    const Outcome summary = Walk(tree.root(), WalkMode::CountTypes).run(withWorkers(0));
    EXPECT_EQ(summary.entries, 3 + 3 * 100000); // ".", ".." and one more entry a level
    EXPECT_EQ(summary.totalFiles, 1);
    const Outcome listed = Walk(tree.root(), WalkMode::ListType, true, QStringLiteral(".txt")).run(withWorkers(4));
    ASSERT_EQ(listed.paths.size(), 1);
    EXPECT_EQ(platform::encodeFileName(listed.paths[0]).toStdString(), tree.abs(rel));
    // Stopped at the bottom, the walk leaves the whole chain to the reader, which frees it.
    Walk stopped(tree.root(), WalkMode::CountTypes);
    stopped.flips = {{3 * 100000, [](ScanOptions&, RunState& r) { r.StopSearch = true; }}};
    EXPECT_EQ(stopped.run(withWorkers(4)).totalFiles, 0);
}

// Folders left out by name or by the file system mounted on them are never opened, with workers
// or without: an excluded folder may be huge or hang, a kernel file system mislead the totals.
TEST(ReadAhead, FoldersLeftOutByNameOrMountAreNeverOpened) {
    TempTree tree;
    for (const char* rel : {"keep/a.txt", "skip_me/b.txt", "procfs/c.txt", "other dir/d.txt", "e.txt"})
        tree.makeFile(rel, "x");
    char* real = ::realpath(tree.rootBytes().c_str(), nullptr);
    const std::string root(real);
    std::free(real);
    // A made-up table: proc on one folder, another device's ext4 (its name escaped) on another.
    const std::string mounts = "20 1 0:999 / " + root + "/procfs rw - proc proc rw\n" + "21 1 259:77 / " + root +
                               "/other\\040dir rw shared:1 - ext4 /dev/sdz1 rw\n";
    using Mounts = ReadAheadSettings::Mounts;
    const struct {
        const char* name;
        Mounts mounts;
        bool excluding;
        std::set<std::string> notOpened;
    } cases[] = {
        {"all", Mounts::All, false, {}},
        {"excluded by name", Mounts::All, true, {"skip_me"}},
        {"no kernel file systems", Mounts::NoKernel, false, {"procfs"}},
        {"one device", Mounts::SameDevice, true, {"skip_me", "procfs", "other dir"}},
    };
    for (const auto& c : cases) {
        for (const int workers : {0, 4}) {
            SCOPED_TRACE(std::string(c.name) + ", workers " + std::to_string(workers));
            std::mutex mutex;
            std::set<std::string> opened;
            ReadAheadSettings settings = withWorkers(workers);
            settings.mounts = c.mounts;
            settings.mountInfo = mounts;
            if (c.excluding)
                settings.leftOut = [](std::string_view name) { return name == "skip_me"; };
            settings.beforeRead = [&](std::string_view folder, qsizetype piece) {
                std::lock_guard lock(mutex);
                if (piece < 0)
                    opened.insert(std::string(folder));
            };
            const Outcome out = Walk(tree.root(), WalkMode::Criteria).run(settings);
            std::set<std::string> expected{tree.rootBytes(), "keep", "skip_me", "procfs", "other dir"};
            for (const std::string& name : c.notOpened)
                expected.erase(name);
            EXPECT_EQ(opened, expected);
            EXPECT_EQ(out.paths.size(), qsizetype(expected.size())); // e.txt and one file per folder entered
            EXPECT_EQ(out.report, QStringLiteral("0 0 0  0")) << "a folder left out is no folder unread";
            // A folder left by name is no entry at all; one left by its mount is still an entry.
            EXPECT_EQ(out.entries, 7 - (c.excluding ? 1 : 0) + 3 * (qint64(expected.size()) - 1));
        }
    }
}

} // namespace
