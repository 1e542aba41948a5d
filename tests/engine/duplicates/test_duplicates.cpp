// The duplicate search: which files are grouped, which are not, what is reported instead, and
// cancels and changes at chosen points, forced through the search's hook before each read.

#include "duplicates/DuplicateFinder.h"
#include "support/FileRights.h"
#include "support/Gate.h"
#include "support/TempTree.h"

#include <QByteArray>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <optional>
#include <random>
#include <set>
#include <stdexcept>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;

constexpr qint64 KiB = 1024;
constexpr qint64 MiB = 1024 * KiB;

// Bytes that differ from seed to seed (below 256) from the first byte on.
QByteArray content(qint64 size, unsigned seed) {
    QByteArray bytes(qsizetype(size), Qt::Uninitialized);
    std::mt19937 rng(seed);
    for (char& c : bytes)
        c = char(rng());
    if (size > 0)
        bytes[0] = char(seed);
    return bytes;
}

QByteArray path(const TempTree& tree, const std::string& rel) {
    return QByteArray::fromStdString(tree.abs(rel));
}

// The groups as sets of names relative to the root, each file as its first name; in result order.
std::vector<std::vector<std::string>> names(const TempTree& tree, const DuplicateResult& result) {
    std::vector<std::vector<std::string>> out;
    const size_t skip = tree.rootBytes().size() + 1;
    for (const DuplicateGroup& g : result.groups) {
        std::vector<std::string> files;
        for (const DuplicateFile& f : g.files)
            files.push_back(f.path.toStdString().substr(skip));
        out.push_back(files);
    }
    return out;
}

using Groups = std::vector<std::vector<std::string>>;

DuplicateResult search(const TempTree& tree, const std::vector<std::string>& rels, DuplicateOptions options = {}) {
    DuplicateFinder finder(options);
    for (const std::string& rel : rels)
        finder.add(path(tree, rel));
    return finder.run();
}

std::vector<std::string> unreadNames(const TempTree& tree, const DuplicateResult& result) {
    std::vector<std::string> out;
    for (const UnreadFile& u : result.unread)
        out.push_back(u.path.toStdString().substr(tree.rootBytes().size() + 1));
    return out;
}

// Counts worker threads that called the hook and have not ended yet, maybe after the test.
struct CountsExit {
    explicit CountsExit(std::atomic<int>* l) : left(l) { ++*left; }
    CountsExit(const CountsExit&) = delete;
    ~CountsExit() { --*left; }
    std::atomic<int>* left;
};

struct GroupCase {
    const char* name;
    qint64 size;
    std::vector<int> groupSizes;
};

class EqualFiles : public ::testing::TestWithParam<GroupCase> {};

TEST_P(EqualFiles, AreFoundInGroupsOfTwoToFive) {
    const GroupCase& c = GetParam();
    TempTree tree;
    std::vector<std::string> rels;
    Groups expected;
    unsigned seed = 1;
    for (const int count : c.groupSizes) {
        const QByteArray bytes = content(c.size, seed);
        std::vector<std::string> group;
        for (int k = 0; k < count; ++k) {
            const std::string rel = "g" + std::to_string(seed) + "/copy" + std::to_string(k);
            tree.makeFile(rel, bytes);
            rels.push_back(rel);
            group.push_back(rel);
        }
        expected.push_back(group);
        ++seed;
    }
    // A file of the same size with content of its own, and one of another size.
    tree.makeFile("single", content(c.size, 99));
    tree.makeFile("other", content(c.size + 1, 1));
    rels.push_back("single");
    rels.push_back("other");
    std::reverse(expected.begin(), expected.end()); // the largest waste first
    const DuplicateResult result = search(tree, rels);
    EXPECT_EQ(names(tree, result), expected);
    EXPECT_TRUE(result.unread.empty());
    EXPECT_FALSE(result.cancelled);
    qint64 wasted = 0;
    for (const DuplicateGroup& g : result.groups) {
        EXPECT_EQ(g.size, c.size);
        EXPECT_EQ(g.wasted(), c.size * qint64(g.files.size() - 1));
        wasted += g.wasted();
    }
    EXPECT_EQ(result.wasted, wasted);
}

INSTANTIATE_TEST_SUITE_P(Sizes, EqualFiles,
                         ::testing::Values(GroupCase{"OneByte", 1, {2, 3, 4, 5}},
                                           GroupCase{"Small", 5000, {2, 3, 4, 5}},
                                           GroupCase{"QuickHashWhole", 128 * KiB, {2, 3, 4, 5}},
                                           GroupCase{"ReadWhole", 128 * KiB + 1, {2, 3, 4, 5}},
                                           GroupCase{"Large", 700 * KiB, {2, 5}}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Duplicates, EqualSizeAndEqualEndsButADifferentMiddleAreNoDuplicates) {
    TempTree tree;
    QByteArray a = content(300 * KiB, 7);
    QByteArray b = a;
    b[150 * KiB] = char(b[150 * KiB] ^ 1);
    tree.makeFile("a", a);
    tree.makeFile("b", b);
    const DuplicateResult result = search(tree, {"a", "b"});
    EXPECT_TRUE(result.groups.empty());
    EXPECT_EQ(result.quickFiles, 2);
    EXPECT_EQ(result.fullFiles, 2); // the ends agreed, so both were read whole
}

class LastByte : public ::testing::TestWithParam<qint64> {};

TEST_P(LastByte, FilesDifferingOnlyInTheirLastByteAreNoDuplicates) {
    const qint64 size = GetParam();
    TempTree tree;
    QByteArray a = content(size, 3);
    QByteArray b = a;
    b[b.size() - 1] = char(b[b.size() - 1] ^ 0x80);
    tree.makeFile("a", a);
    tree.makeFile("b", b);
    tree.makeFile("c", a);
    const DuplicateResult result = search(tree, {"a", "b", "c"});
    EXPECT_EQ(names(tree, result), Groups({{"a", "c"}}));
}

INSTANTIATE_TEST_SUITE_P(Sizes, LastByte, ::testing::Values(1, 4 * KiB, 128 * KiB, 128 * KiB + 1, 3 * MiB + 5));

TEST(Duplicates, HardLinksAreOneFileWithFurtherNames) {
    TempTree tree;
    const QByteArray bytes = content(10 * KiB, 5);
    tree.makeFile("a", bytes);
    ASSERT_EQ(::link(tree.abs("a").c_str(), tree.abs("a-link").c_str()), 0);
    // Only the names of one file: no group.
    EXPECT_TRUE(search(tree, {"a", "a-link"}).groups.empty());

    tree.makeFile("copy", bytes);
    const DuplicateResult result = search(tree, {"a-link", "copy", "a"});
    ASSERT_EQ(names(tree, result), Groups({{"a-link", "copy"}}));
    const DuplicateGroup& g = result.groups.front();
    EXPECT_EQ(g.wasted(), 10 * KiB);
    ASSERT_EQ(g.files[0].otherNames.size(), 1u);
    EXPECT_EQ(g.files[0].otherNames[0], path(tree, "a"));
    EXPECT_TRUE(g.files[1].otherNames.empty());
    EXPECT_EQ(result.files, 2);
}

TEST(Duplicates, AFileReachedTwiceCountsOnce) {
    TempTree tree;
    const QByteArray bytes = content(2000, 9);
    tree.makeFile("dir/x", bytes);
    tree.makeFile("y", bytes);
    // The same path twice, and the same file through another path, as overlapping roots give.
    const DuplicateResult result = search(tree, {"dir/x", "y", "dir/x", "dir/../dir/x", "y"});
    ASSERT_EQ(names(tree, result), Groups({{"dir/x", "y"}}));
    const DuplicateGroup& g = result.groups.front();
    EXPECT_EQ(g.files[0].otherNames, std::vector<QByteArray>{path(tree, "dir/../dir/x")});
    EXPECT_TRUE(g.files[1].otherNames.empty());
    EXPECT_EQ(g.wasted(), 2000);
    EXPECT_EQ(result.candidates, 5);
    EXPECT_EQ(result.files, 2);
}

TEST(Duplicates, ReportsWhatEachFileWasWhenItWasHashed) {
    TempTree tree;
    tree.makeFile("a", "same", 1000000000);
    tree.makeFile("b", "same");
    const DuplicateResult result = search(tree, {"a", "b"});
    ASSERT_EQ(result.groups.size(), 1u);
    for (const DuplicateFile& f : result.groups.front().files) {
        FileFacts now;
        bool regular = false;
        ASSERT_TRUE(FileFacts::lstat(f.path.constData(), now, regular));
        EXPECT_TRUE(regular);
        EXPECT_EQ(f.facts, now);
        EXPECT_EQ(f.facts.size, 4);
    }
    EXPECT_EQ(result.groups.front().files[0].facts.modifiedSeconds, 1000000000);
}

TEST(Duplicates, EmptyFilesAreLeftOutUnlessAskedAndAMinimumSizeHolds) {
    TempTree tree;
    tree.makeFile("e1");
    tree.makeFile("e2");
    tree.makeFile("s1", "abc");
    tree.makeFile("s2", "abc");
    const std::vector<std::string> all = {"e1", "e2", "s1", "s2"};
    EXPECT_EQ(names(tree, search(tree, all)), Groups({{"s1", "s2"}}));

    DuplicateOptions withEmpty;
    withEmpty.includeEmpty = true;
    const DuplicateResult result = search(tree, all, withEmpty);
    EXPECT_EQ(names(tree, result), Groups({{"s1", "s2"}, {"e1", "e2"}}));
    EXPECT_EQ(result.wasted, 3);

    DuplicateOptions atLeastFour;
    atLeastFour.minimumSize = 4;
    atLeastFour.includeEmpty = true;
    EXPECT_TRUE(search(tree, all, atLeastFour).groups.empty());
}

TEST(Duplicates, LinksAndFoldersAreNeverCandidates) {
    TempTree tree;
    tree.makeFile("a", "payload");
    tree.makeLink("a", "link-to-a");
    tree.makeLink(tree.abs("a"), "absolute-link");
    tree.makeDir("folder");
    ASSERT_EQ(::mkfifo(tree.abs("fifo").c_str(), 0644), 0);
    const DuplicateResult result = search(tree, {"a", "link-to-a", "absolute-link", "folder", "fifo"});
    EXPECT_TRUE(result.groups.empty());
    EXPECT_TRUE(result.unread.empty());
    EXPECT_EQ(result.files, 1);
}

TEST(Duplicates, UnreadableAndVanishedFilesAreReportedWithTheSystemsReason) {
    TempTree tree;
    const QByteArray bytes = content(4000, 11);
    tree.makeFile("a", bytes);
    tree.makeFile("b", bytes);
    tree.makeFile("locked", bytes);
    tree.setMode("locked", 0);
    const WithoutFileRights asUser; // the workers start on this thread and take its rights
    const DuplicateResult result = search(tree, {"a", "locked", "gone", "b"});
    EXPECT_EQ(names(tree, result), Groups({{"a", "b"}}));
    ASSERT_EQ(unreadNames(tree, result), std::vector<std::string>({"locked", "gone"}));
    EXPECT_EQ(result.unread[0].error, EACCES);
    EXPECT_EQ(result.unread[1].error, ENOENT);
    EXPECT_FALSE(result.unread[0].changed());
    EXPECT_EQ(result.unread[0].reason(), QString::fromLocal8Bit(std::strerror(EACCES)));
}

TEST(Duplicates, AnUnreadableFileIsNotGuessedIntoAGroup) {
    TempTree tree;
    const QByteArray bytes = content(4000, 12);
    tree.makeFile("a", bytes);
    tree.makeFile("locked", bytes);
    tree.setMode("locked", 0);
    const WithoutFileRights asUser;
    const DuplicateResult result = search(tree, {"a", "locked"});
    EXPECT_TRUE(result.groups.empty());
    EXPECT_EQ(unreadNames(tree, result), std::vector<std::string>{"locked"});
}

// Changes made through the hook just before a step opens one file: the step sees the change, which
// makes the file differ from the facts the search found it with.
struct ChangeCase {
    const char* name;
    DuplicateStage stage;
    qint64 size;
    bool remove; // else rewritten in its middle with a new modification time
    bool paranoid;
};

class ChangedFile : public ::testing::TestWithParam<ChangeCase> {};

TEST_P(ChangedFile, IsReportedAndLeftOutOfItsGroup) {
    const ChangeCase& c = GetParam();
    TempTree tree;
    const QByteArray bytes = content(c.size, 21);
    for (const char* name : {"a", "b", "c"})
        tree.makeFile(name, bytes);
    const std::string victim = tree.abs("b");
    DuplicateOptions options;
    options.paranoid = c.paranoid;
    std::atomic<int> changes{0};
    options.beforeRead = [&](DuplicateStage stage, std::string_view p) {
        if (stage != c.stage || p != victim || changes.exchange(1) != 0)
            return;
        if (c.remove) {
            ASSERT_EQ(::unlink(victim.c_str()), 0);
            return;
        }
        const int fd = ::open(victim.c_str(), O_WRONLY);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::pwrite(fd, "X", 1, off_t(c.size / 2)), 1);
        ::close(fd);
        // The clock that stamps files may not have moved since the file was made.
        const struct timespec times[2] = {{0, UTIME_OMIT}, {1000000000, 5}};
        ASSERT_EQ(::utimensat(AT_FDCWD, victim.c_str(), times, 0), 0);
    };
    const DuplicateResult result = search(tree, {"a", "b", "c"}, options);
    EXPECT_EQ(changes.load(), 1);
    EXPECT_EQ(names(tree, result), Groups({{"a", "c"}}));
    ASSERT_EQ(unreadNames(tree, result), std::vector<std::string>{"b"});
    EXPECT_EQ(result.unread[0].error, c.remove ? ENOENT : 0);
    EXPECT_EQ(result.unread[0].changed(), !c.remove);
}

INSTANTIATE_TEST_SUITE_P(
    Steps, ChangedFile,
    ::testing::Values(ChangeCase{"BetweenTheQuickAndTheFullHash", DuplicateStage::Full, 300 * KiB, false, false},
                      ChangeCase{"RemovedBeforeTheFullHash", DuplicateStage::Full, 300 * KiB, true, false},
                      ChangeCase{"BeforeTheQuickHash", DuplicateStage::Quick, 50 * KiB, false, false},
                      ChangeCase{"RemovedBeforeTheQuickHash", DuplicateStage::Quick, 50 * KiB, true, false},
                      ChangeCase{"BeforeTheComparison", DuplicateStage::Compare, 200 * KiB, false, true},
                      ChangeCase{"RemovedBeforeTheComparison", DuplicateStage::Compare, 200 * KiB, true, true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Duplicates, AFileSwappedForALinkIsReportedAsChanged) {
    TempTree tree;
    const QByteArray bytes = content(1000, 23);
    tree.makeFile("a", bytes);
    tree.makeFile("b", bytes);
    const std::string victim = tree.abs("b");
    const std::string target = tree.abs("a");
    DuplicateOptions options;
    options.beforeRead = [&](DuplicateStage stage, std::string_view p) {
        if (stage == DuplicateStage::Quick && p == victim) {
            ASSERT_EQ(::unlink(victim.c_str()), 0);
            ASSERT_EQ(::symlink(target.c_str(), victim.c_str()), 0);
        }
    };
    const DuplicateResult result = search(tree, {"a", "b"}, options);
    EXPECT_TRUE(result.groups.empty());
    ASSERT_EQ(unreadNames(tree, result), std::vector<std::string>{"b"});
    EXPECT_TRUE(result.unread[0].changed());
}

TEST(Duplicates, ParanoidComparisonKeepsTheGroupsTheHashesFound) {
    TempTree tree;
    std::vector<std::string> rels;
    for (int g = 0; g < 4; ++g) {
        const QByteArray bytes = content(g == 0 ? 0 : 90 * KiB * g, unsigned(g));
        for (int k = 0; k <= g + 1; ++k) {
            rels.push_back("g" + std::to_string(g) + "-" + std::to_string(k));
            tree.makeFile(rels.back(), bytes);
        }
    }
    DuplicateOptions plain;
    plain.includeEmpty = true;
    DuplicateOptions paranoid = plain;
    paranoid.paranoid = true;
    paranoid.readSize = 64 * KiB; // several reads per file
    const DuplicateResult a = search(tree, rels, plain);
    const DuplicateResult b = search(tree, rels, paranoid);
    EXPECT_EQ(names(tree, a), names(tree, b));
    EXPECT_EQ(a.groups.size(), 4u);
    EXPECT_GT(b.bytesRead, a.bytesRead);
}

TEST(Duplicates, NamesThatAreNotUtf8ComeBackAsTheirBytes) {
    TempTree tree;
    const std::string bad1 = "caf\xe9.txt"; // Latin-1, not UTF-8
    const std::string bad2 = "\xff\xfe dir/\x80\x81";
    tree.makeFile(bad1, "the same bytes");
    tree.makeFile(bad2, "the same bytes");
    const DuplicateResult result = search(tree, {bad1, bad2});
    ASSERT_EQ(result.groups.size(), 1u);
    const std::set<QByteArray> paths = {result.groups[0].files[0].path, result.groups[0].files[1].path};
    EXPECT_EQ(paths, (std::set<QByteArray>{path(tree, bad1), path(tree, bad2)}));
}

TEST(Duplicates, APathWithANulByteIsNoFileAndIsReported) {
    TempTree tree;
    tree.makeFile("d/x", "same");
    tree.makeFile("x", "same");
    tree.makeFile("y", "same");
    DuplicateFinder finder;
    // Read only up to its NUL, each path would name another file that is there.
    finder.add(path(tree, "d") + QByteArray("\0/other/x", 9));
    finder.add(path(tree, "x") + QByteArray("\0", 1));
    finder.add(path(tree, "y"));
    const DuplicateResult result = finder.run();
    EXPECT_TRUE(result.groups.empty());
    ASSERT_EQ(result.unread.size(), 2u);
    EXPECT_EQ(result.unread[0].error, EINVAL);
    EXPECT_EQ(result.unread[1].error, EINVAL);
}

TEST(Duplicates, LargeFilesAreReadInManyPieces) {
    TempTree tree;
    const qint64 size = 4 * MiB + 12345;
    const QByteArray bytes = content(size, 31);
    QByteArray late = bytes;
    late[qsizetype(3 * MiB + 7)] = char(late[qsizetype(3 * MiB + 7)] ^ 1); // past the first reads
    tree.makeFile("a", bytes);
    tree.makeFile("b", bytes);
    tree.makeFile("late", late);
    std::vector<DuplicateProgress> reports;
    DuplicateOptions options;
    options.progressInterval = 1ms;
    DuplicateFinder finder(options);
    for (const char* name : {"a", "late", "b"})
        finder.add(path(tree, name));
    const std::thread::id caller = std::this_thread::get_id();
    const DuplicateResult result = finder.run([&](const DuplicateProgress& p) {
        EXPECT_EQ(std::this_thread::get_id(), caller);
        reports.push_back(p);
    });
    EXPECT_EQ(names(tree, result), Groups({{"a", "b"}}));
    EXPECT_EQ(result.fullFiles, 3);
    EXPECT_EQ(result.bytesRead, 3 * 128 * KiB + 3 * size);
    // Each step reports from zero to its totals.
    const auto last = std::find_if(reports.rbegin(), reports.rend(),
                                   [](const DuplicateProgress& p) { return p.stage == DuplicateStage::Full; });
    ASSERT_NE(last, reports.rend());
    EXPECT_EQ(last->files, 3);
    EXPECT_EQ(last->totalFiles, 3);
    EXPECT_EQ(last->bytes, 3 * size);
    EXPECT_EQ(last->totalBytes, 3 * size);
}

TEST(Duplicates, GroupsAreSortedByWasteThenSizeThenFirstPath) {
    TempTree tree;
    // Waste: b3 = 2 x 300, a1 = c1 = 600 (sizes 600 and 600, paths decide), d2 = 1 x 500.
    const std::vector<std::pair<std::string, std::pair<qint64, int>>> files = {
        {"d2", {500, 2}}, {"c1", {600, 2}}, {"b3", {300, 3}}, {"a1", {600, 2}}};
    std::vector<std::string> rels;
    unsigned seed = 40;
    for (const auto& [name, shape] : files) {
        const QByteArray bytes = content(shape.first, seed++);
        for (int k = 0; k < shape.second; ++k) {
            rels.push_back(name + "-" + std::to_string(k));
            tree.makeFile(rels.back(), bytes);
        }
    }
    const DuplicateResult result = search(tree, rels);
    EXPECT_EQ(names(tree, result),
              Groups({{"a1-0", "a1-1"}, {"c1-0", "c1-1"}, {"b3-0", "b3-1", "b3-2"}, {"d2-0", "d2-1"}}));
    EXPECT_EQ(result.wasted, 600 + 600 + 600 + 500);
}

// Cancels from a worker thread, through the hook, in each step.
class CancelIn : public ::testing::TestWithParam<DuplicateStage> {};

TEST_P(CancelIn, ReturnsCancelledWithNothingElse) {
    TempTree tree;
    std::vector<std::string> rels;
    for (int i = 0; i < 40; ++i) {
        rels.push_back("f" + std::to_string(i));
        tree.makeFile(rels.back(), content(200 * KiB, unsigned(i % 2)));
    }
    DuplicateOptions options;
    options.paranoid = true;
    options.workers = 3;
    // Nothing blocks here, so the search waits for every worker before the hook's captures go.
    options.stopGrace = 60s;
    DuplicateFinder* self = nullptr;
    std::atomic<int> readsAfter{0};
    std::atomic<bool> cancelled{false};
    options.beforeRead = [&](DuplicateStage stage, std::string_view) {
        if (cancelled)
            ++readsAfter;
        if (stage == GetParam() && !cancelled.exchange(true))
            self->cancel();
    };
    DuplicateFinder finder(options);
    self = &finder;
    for (const std::string& rel : rels)
        finder.add(path(tree, rel));
    const DuplicateResult result = finder.run();
    EXPECT_TRUE(cancelled);
    EXPECT_TRUE(result.cancelled);
    EXPECT_TRUE(result.groups.empty());
    EXPECT_TRUE(result.unread.empty());
    EXPECT_LE(readsAfter.load(), 3); // at most the workers' jobs under way
}

INSTANTIATE_TEST_SUITE_P(Steps, CancelIn,
                         ::testing::Values(DuplicateStage::Stat, DuplicateStage::Quick, DuplicateStage::Full,
                                           DuplicateStage::Compare));

TEST(Duplicates, CancelBeforeRunAndFromTheProgressReport) {
    TempTree tree;
    tree.makeFile("a", "x");
    tree.makeFile("b", "x");
    {
        DuplicateFinder finder;
        finder.add(path(tree, "a"));
        finder.add(path(tree, "b"));
        finder.cancel();
        EXPECT_TRUE(finder.run().cancelled);
    }
    DuplicateFinder finder;
    finder.add(path(tree, "a"));
    finder.add(path(tree, "b"));
    const DuplicateResult result = finder.run([&](const DuplicateProgress& p) {
        if (p.stage == DuplicateStage::Quick)
            finder.cancel();
    });
    EXPECT_TRUE(result.cancelled);
    EXPECT_TRUE(result.groups.empty());
}

TEST(Duplicates, AnExceptionOnAWorkerEndsTheSearchAndReachesTheCaller) {
    TempTree tree;
    for (const char* name : {"a", "b", "c"})
        tree.makeFile(name, "same");
    const std::string b = tree.abs("b");
    DuplicateOptions options;
    options.workers = 2;
    options.beforeRead = [&](DuplicateStage stage, std::string_view p) {
        if (stage == DuplicateStage::Quick && p == b)
            throw std::runtime_error("thrown on a worker");
    };
    EXPECT_THROW(search(tree, {"a", "b", "c"}, options), std::runtime_error);
}

TEST(Duplicates, CancelDoesNotWaitForAWorkerBlockedInTheKernel) {
    TempTree tree;
    for (const char* name : {"a", "b", "hung", "c"})
        tree.makeFile(name, "same");
    static std::atomic<int> workersLeft{0}; // counted down as worker threads end, maybe after the test
    const auto gate = std::make_shared<Gate>();
    const auto blocked = std::make_shared<std::atomic<bool>>(false);
    const std::string hung = tree.abs("hung");
    DuplicateOptions options;
    options.workers = 2;
    options.stopGrace = 10ms;
    options.beforeRead = [gate, blocked, hung](DuplicateStage stage, std::string_view p) {
        thread_local std::optional<CountsExit> counts;
        if (!counts)
            counts.emplace(&workersLeft);
        if (stage == DuplicateStage::Quick && p == hung) {
            *blocked = true; // stands in for a file on a mount that no longer answers
            EXPECT_TRUE(gate->waitOpen(30s));
        }
    };
    DuplicateFinder finder(options);
    for (const char* name : {"a", "b", "hung", "c"})
        finder.add(path(tree, name));
    std::chrono::steady_clock::time_point cancelledAt;
    std::thread canceller([&] {
        for (int i = 0; i < 3000 && !*blocked; ++i)
            std::this_thread::sleep_for(1ms);
        cancelledAt = std::chrono::steady_clock::now();
        finder.cancel();
    });
    const DuplicateResult result = finder.run();
    const auto returned = std::chrono::steady_clock::now();
    canceller.join();
    ASSERT_TRUE(*blocked);
    EXPECT_TRUE(result.cancelled);
    EXPECT_LT(returned - cancelledAt, 2s); // the grace is 10 ms; a loaded machine may take longer
    gate->open();
    // The abandoned worker drops its result when it returns, and every worker ends.
    for (int i = 0; i < 1000 && workersLeft > 0; ++i)
        std::this_thread::sleep_for(10ms);
    EXPECT_EQ(workersLeft, 0);
}

TEST(Duplicates, ManyFilesOnManyWorkersGiveTheSameGroupsAsOne) {
    TempTree tree;
    std::vector<std::string> rels;
    std::mt19937 rng(77);
    for (int i = 0; i < 300; ++i) {
        // Few contents and sizes, so groups, equal sizes of different content, and large files all occur.
        const unsigned seed = rng() % 60;
        const qint64 size = seed % 5 == 0 ? 130 * KiB + seed % 3 : 100 + seed % 7;
        rels.push_back("d" + std::to_string(i % 7) + "/f" + std::to_string(i));
        tree.makeFile(rels.back(), content(size, seed));
        if (i % 50 == 0) {
            rels.push_back(rels.back()); // the same path again
            const std::string link = "d0/link" + std::to_string(i);
            ASSERT_EQ(::link(tree.abs(rels.back()).c_str(), tree.abs(link).c_str()), 0);
            rels.push_back(link);
        }
    }
    DuplicateOptions one;
    one.workers = 1;
    DuplicateOptions many;
    many.workers = 8;
    many.readSize = 64 * KiB;
    many.paranoid = true;
    const DuplicateResult a = search(tree, rels, one);
    const DuplicateResult b = search(tree, rels, many);
    EXPECT_FALSE(a.groups.empty());
    EXPECT_EQ(names(tree, a), names(tree, b));
    EXPECT_EQ(a.wasted, b.wasted);
    EXPECT_TRUE(b.unread.empty());
}

} // namespace
