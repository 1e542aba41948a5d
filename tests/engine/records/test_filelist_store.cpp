#include "platform/FileName.h"
#include "records/PathArena.h"
#include "records/TFileList.h"

#include <gtest/gtest.h>
#include <string>

namespace {

TEST(PathArena, JoinsLikeAddBackslashAndNeverSplitsAPath) {
    PathArena arena;
    EXPECT_EQ(arena.view(arena.appendJoined("/data", "a.txt")), "/data/a.txt");
    EXPECT_EQ(arena.view(arena.appendJoined("/", "a.txt")), "/a.txt");
    EXPECT_EQ(arena.view(arena.append("")), "");
    // Enough paths to fill several blocks; each must stay whole and unchanged.
    std::vector<PathArena::Ref> refs;
    const std::string folder = "/f/" + std::string(300, 'x');
    for (int i = 0; i < 10000; ++i)
        refs.push_back(arena.appendJoined(folder, std::to_string(i)));
    for (int i = 0; i < 10000; ++i)
        ASSERT_EQ(arena.view(refs[size_t(i)]), folder + "/" + std::to_string(i));
    EXPECT_GT(refs.back().block, 1u);
    const std::string huge(3 << 20, 'h');
    EXPECT_EQ(arena.view(arena.append(huge)).size(), huge.size());
}

TEST(TFileList, GivesBackEveryRecordAsItWasFound) {
    TFileList list;
    list.append("/d\xfe", "bad\xff.txt", 11, 22, qint64(5) << 32, 0x21);
    TFileRec rec;
    rec.FileName = QString::fromUtf8("/caf\xc3\xa9/x");
    rec.Created = 1;
    rec.Modified = 2;
    rec.Size = 3;
    rec.Attr = 4;
    list.push_back(rec);
    ASSERT_EQ(list.size(), 2);
    const TFileRec first = list[0];
    EXPECT_EQ(platform::encodeFileName(first.FileName), QByteArray("/d\xfe/bad\xff.txt"));
    EXPECT_EQ(first.Created, 11);
    EXPECT_EQ(first.Modified, 22);
    EXPECT_EQ(first.Size, qint64(5) << 32);
    EXPECT_EQ(first.Attr, 0x21u);
    EXPECT_EQ(list[1].FileName, rec.FileName);
    int seen = 0;
    for (const TFileRec& r : list)
        seen += r.FileName.isEmpty() ? 0 : 1;
    EXPECT_EQ(seen, 2);

    // A model that keeps the arena keeps the paths after the list is cleared.
    const std::shared_ptr<PathArena> kept = list.arena();
    const PathArena::Ref ref = list.entry(0).caption;
    list.clear();
    EXPECT_TRUE(list.empty());
    EXPECT_EQ(kept->view(ref), "/d\xfe/bad\xff.txt");
}

} // namespace
