// Which copy stays by default, and moving the others away only when each is still what was hashed:
// one fault per case, made before the move or from inside it.

#include "duplicates/DuplicateFinder.h"
#include "duplicates/OtherCopies.h"
#include "support/TempTree.h"

#include <QByteArray>
#include <fcntl.h>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

using Why = LeftCopy::Why;

DuplicateFile fileAt(const char* path, qint64 mtime, quint32 nanoseconds = 0) {
    DuplicateFile f;
    f.path = path;
    f.facts.modifiedSeconds = mtime;
    f.facts.modifiedNanoseconds = nanoseconds;
    return f;
}

struct KeepCase {
    const char* name;
    std::vector<DuplicateFile> files;
    size_t expected;
};

class DefaultKeep : public ::testing::TestWithParam<KeepCase> {};

TEST_P(DefaultKeep, IsTheOldestThenTheShortestPathThenTheFirst) {
    DuplicateGroup group;
    group.files = GetParam().files;
    EXPECT_EQ(defaultKeep(group), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Groups, DefaultKeep,
    ::testing::Values(KeepCase{"Oldest", {fileAt("/a", 300), fileAt("/b", 100), fileAt("/c", 200)}, 1},
                      KeepCase{"OldestByNanoseconds", {fileAt("/a", 100, 2), fileAt("/b", 100, 1)}, 1},
                      KeepCase{"ShortestPathAmongTheOldest",
                               {fileAt("/long/path", 100), fileAt("/x/y", 100), fileAt("/newer", 200)},
                               1},
                      KeepCase{"FirstOfEqualPathLengths", {fileAt("/b", 100), fileAt("/a", 100)}, 0}),
    [](const auto& info) { return std::string(info.param.name); });

// Three equal files a, b and c found by a search, a kept; then a fault, and the others moved into
// the tree's "moved" folder.
class MoveFixture : public ::testing::Test {
public:
    void SetUp() override {
        tree.makeDir("moved");
        for (const char* n : {"a", "b", "c"})
            tree.makeFile(n, "the same bytes");
    }
    std::vector<DuplicateGroup> search(const std::vector<std::string>& rels) {
        DuplicateFinder finder;
        for (const std::string& rel : rels)
            finder.add(QByteArray::fromStdString(tree.abs(rel)));
        return finder.run().groups;
    }
    // Moves the name into "moved" unless refuse says no; runs during(path) first.
    bool move(const QByteArray& path) {
        if (during)
            during(path);
        if (refuse && refuse(path))
            return false;
        const std::string name = path.toStdString().substr(tree.rootBytes().size() + 1);
        return ::rename(path.constData(), tree.abs("moved/" + name).c_str()) == 0;
    }
    OtherCopiesOutcome moveAllBut(const std::vector<DuplicateGroup>& groups, size_t keep) {
        return moveOtherCopies(groups, std::vector<size_t>(groups.size(), keep),
                               [this](const QByteArray& p) { return move(p); });
    }
    QByteArray p(const std::string& rel) const { return QByteArray::fromStdString(tree.abs(rel)); }
    void rewrite(const std::string& rel) {
        const int fd = ::open(tree.abs(rel).c_str(), O_WRONLY);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::pwrite(fd, "T", 1, 0), 1);
        ::close(fd);
        // The clock that stamps files may not have moved since the file was made.
        const struct timespec times[2] = {{0, UTIME_OMIT}, {1000000000, 5}};
        ASSERT_EQ(::utimensat(AT_FDCWD, tree.abs(rel).c_str(), times, 0), 0);
    }

    TempTree tree;
    std::function<void(const QByteArray&)> during;
    std::function<bool(const QByteArray&)> refuse;
};

struct FaultCase {
    const char* name;
    std::function<void(MoveFixture&)> fault;
    std::vector<std::string> moved;
    std::vector<std::pair<std::string, Why>> left;
};

class MoveOtherCopies : public MoveFixture, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(MoveOtherCopies, MovesOnlyCopiesThatAreStillWhatWasHashed) {
    const std::vector<DuplicateGroup> groups = search({"a", "b", "c"});
    ASSERT_EQ(groups.size(), 1u);
    GetParam().fault(*this);
    const OtherCopiesOutcome out = moveAllBut(groups, 0);
    std::vector<QByteArray> moved;
    for (const std::string& rel : GetParam().moved)
        moved.push_back(p(rel));
    EXPECT_EQ(out.moved, moved);
    std::vector<std::pair<QByteArray, Why>> left, expectedLeft;
    for (const LeftCopy& l : out.left)
        left.emplace_back(l.path, l.why);
    for (const auto& [rel, why] : GetParam().left)
        expectedLeft.emplace_back(p(rel), why);
    EXPECT_EQ(left, expectedLeft);
    // The kept copy is never touched.
    EXPECT_EQ(::access(tree.abs("moved/a").c_str(), F_OK), -1);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, MoveOtherCopies,
    ::testing::Values(
        FaultCase{"None", [](MoveFixture&) {}, {"b", "c"}, {}},
        FaultCase{"KeptCopyRewritten", [](MoveFixture& f) { f.rewrite("a"); }, {}, {{"a", Why::KeptCopyChanged}}},
        FaultCase{"KeptCopyRemoved",
                  [](MoveFixture& f) { ASSERT_EQ(::unlink(f.tree.abs("a").c_str()), 0); },
                  {},
                  {{"a", Why::KeptCopyVanished}}},
        FaultCase{"KeptCopyReplacedByAnEqualFile",
                  [](MoveFixture& f) {
                      ASSERT_EQ(::unlink(f.tree.abs("a").c_str()), 0);
                      f.tree.makeFile("a", "the same bytes");
                  },
                  {},
                  {{"a", Why::KeptCopyChanged}}},
        FaultCase{"KeptCopyChangedWhileTheFirstCopyMoves",
                  [](MoveFixture& f) { f.during = [&f](const QByteArray&) { f.rewrite("a"); }; },
                  {"b"},
                  {{"a", Why::KeptCopyChanged}}},
        FaultCase{"OtherCopyRewritten", [](MoveFixture& f) { f.rewrite("b"); }, {"c"}, {{"b", Why::Changed}}},
        FaultCase{"OtherCopyRightsChanged", // only its change time moves
                  [](MoveFixture& f) { ASSERT_EQ(::chmod(f.tree.abs("b").c_str(), 0600), 0); },
                  {"c"},
                  {{"b", Why::Changed}}},
        FaultCase{"OtherCopyRemoved",
                  [](MoveFixture& f) { ASSERT_EQ(::unlink(f.tree.abs("c").c_str()), 0); },
                  {"b"},
                  {{"c", Why::Vanished}}},
        FaultCase{"OtherCopySwappedForALink",
                  [](MoveFixture& f) {
                      ASSERT_EQ(::unlink(f.tree.abs("b").c_str()), 0);
                      f.tree.makeLink(f.tree.abs("a"), "b");
                  },
                  {"c"},
                  {{"b", Why::Changed}}},
        FaultCase{"OtherCopyChangedWhileTheFirstMoves",
                  [](MoveFixture& f) {
                      f.during = [&f](const QByteArray& path) {
                          if (path == f.p("b"))
                              f.rewrite("c");
                      };
                  },
                  {"b"},
                  {{"c", Why::Changed}}},
        FaultCase{"MoveRefused",
                  [](MoveFixture& f) { f.refuse = [&f](const QByteArray& path) { return path == f.p("b"); }; },
                  {"c"},
                  {{"b", Why::NotMoved}}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(MoveFixture, EveryNameOfACopyGoesAndTheKeptCopyChosenStays) {
    ASSERT_EQ(::link(tree.abs("b").c_str(), tree.abs("b2").c_str()), 0);
    const std::vector<DuplicateGroup> groups = search({"a", "b", "c", "b2"});
    ASSERT_EQ(groups.size(), 1u);
    ASSERT_EQ(groups[0].files.size(), 3u);
    // Moving the first name changes the change time the second shows: both still go.
    const OtherCopiesOutcome out = moveAllBut(groups, 2); // c stays
    EXPECT_EQ(out.moved, (std::vector<QByteArray>{p("a"), p("b"), p("b2")}));
    EXPECT_TRUE(out.left.empty());
    EXPECT_EQ(::access(tree.abs("c").c_str(), F_OK), 0);
}

TEST_F(MoveFixture, ACopyWithOneChangedNameIsLeftWhole) {
    ASSERT_EQ(::link(tree.abs("b").c_str(), tree.abs("b2").c_str()), 0);
    const std::vector<DuplicateGroup> groups = search({"a", "b", "b2", "c"});
    ASSERT_EQ(::unlink(tree.abs("b2").c_str()), 0);
    tree.makeFile("b2", "the same bytes");
    const OtherCopiesOutcome out = moveAllBut(groups, 0);
    EXPECT_EQ(out.moved, std::vector<QByteArray>{p("c")});
    // Losing a name moved b's change time too: both names are reported.
    ASSERT_EQ(out.left.size(), 2u);
    EXPECT_EQ(out.left[0].path, p("b"));
    EXPECT_EQ(out.left[1].path, p("b2"));
    EXPECT_EQ(::access(tree.abs("b").c_str(), F_OK), 0);
}

} // namespace
