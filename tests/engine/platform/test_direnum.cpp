#include "platform/DirEnum.h"
#include "platform/FileAttributes.h"
#include "text/DateText.h"
#include "support/SmallTmpfs.h"
#include "support/TempTree.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <limits>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

namespace {

std::vector<std::string> names(const platform::DirEnum& dir) {
    std::vector<std::string> out;
    for (qsizetype i = 0; i < dir.count(); ++i)
        out.emplace_back(dir.name(i));
    return out;
}

const platform::DirEntry* find(const platform::DirEnum& dir, const std::string& name) {
    for (qsizetype i = 0; i < dir.count(); ++i)
        if (dir.name(i) == name)
            return &dir.entry(i);
    return nullptr;
}

TEST(DirEnum, DeliversDotsFirstThenNamesInCaseInsensitiveOrder) {
    TempTree t;
    for (const char* n : {"b.txt", "A.txt", "a.txt", "_x", "C", "sub", "\xc3\xa9t\xc3\xa9"})
        t.makeFile(n);
    t.makeDir("Dir");
    platform::DirEnum dir;
    ASSERT_TRUE(dir.open(t.rootBytes().c_str()));
    // Letters compare as upper case, so "_" (0x5F) sorts after every letter; equal names by bytes.
    const std::vector<std::string> expected = {".", "..",  "A.txt", "a.txt", "b.txt",
                                               "C", "Dir", "sub",   "_x",    "\xc3\xa9t\xc3\xa9"};
    EXPECT_EQ(names(dir), expected);
}

TEST(DirEnum, MapsFileKindsAndPermissionsToAttributes) {
    TempTree t;
    t.makeFile("plain.txt", "12345");
    t.makeFile(".hidden");
    t.makeFile("ro.txt");
    t.setMode("ro.txt", 0444);
    t.makeDir("folder");
    t.makeDir(".hiddenfolder");
    ASSERT_EQ(::mkfifo(t.abs("pipe").c_str(), 0644), 0);
    t.makeLink("plain.txt", "link-to-file");
    t.makeLink("folder", "link-to-folder");
    t.makeLink("nowhere", "dangling");

    platform::DirEnum dir;
    ASSERT_TRUE(dir.open(t.rootBytes().c_str()));
    EXPECT_EQ(find(dir, ".")->attr, FileAttr::Directory);
    EXPECT_EQ(find(dir, "plain.txt")->attr, FileAttr::Archive);
    EXPECT_EQ(find(dir, "plain.txt")->size, 5);
    EXPECT_EQ(find(dir, ".hidden")->attr, FileAttr::Archive | FileAttr::Hidden);
    EXPECT_EQ(find(dir, "ro.txt")->attr, FileAttr::Archive | FileAttr::ReadOnly);
    EXPECT_EQ(find(dir, "folder")->attr, FileAttr::Directory);
    EXPECT_EQ(find(dir, ".hiddenfolder")->attr, FileAttr::Directory | FileAttr::Hidden);
    EXPECT_EQ(find(dir, "pipe")->attr, FileAttr::System);
    EXPECT_EQ(find(dir, "link-to-file")->attr, FileAttr::ReparsePoint);
    EXPECT_EQ(find(dir, "link-to-folder")->attr, FileAttr::ReparsePoint | FileAttr::Directory);
    EXPECT_EQ(find(dir, "dangling")->attr, FileAttr::ReparsePoint);
}

TEST(DirEnum, ReportsTimesAsFileTimesAndLargeSparseSizes) {
    TempTree t;
    t.makeFile("old.txt", "x", 1000000000); // 2001-09-09 01:46:40 UTC
    t.makeSparse("huge.bin", (qint64(5) << 30) + 7);
    platform::DirEnum dir;
    ASSERT_TRUE(dir.open(t.rootBytes().c_str()));
    const qint64 expected = (1000000000LL + 11644473600LL) * 10000000LL;
    EXPECT_EQ(find(dir, "old.txt")->modified, expected);
    // The birth time (now), or where the file system keeps none the earlier of ctime and mtime;
    // never the zero some file systems report for a missing birth time.
    EXPECT_GE(find(dir, "old.txt")->created, expected);
    EXPECT_EQ(find(dir, "huge.bin")->size, (qint64(5) << 30) + 7);
}

// Some file systems keep 64-bit seconds; times past the file-time range saturate at its ends, and
// their texts read back for sorting.
TEST(DirEnum, TimesBeyondTheFileTimeRangeSaturateAndTheirTextsReadBack) {
    // A tmpfs of the test's own, which keeps such times.
    TempTree tree;
    const SmallTmpfs volume(tree.rootBytes(), 64);
    if (!volume.isMounted())
        GTEST_SKIP() << "no tmpfs can be mounted here";
    const std::string folder = tree.abs("times");
    ASSERT_EQ(::mkdir(folder.c_str(), 0700), 0);
    const struct {
        const char* name;
        qint64 seconds;
        qint64 fileTime;
    } rows[] = {
        {"late", qint64(1) << 62, std::numeric_limits<qint64>::max()},
        {"early", -(qint64(1) << 62), -std::numeric_limits<qint64>::max()},
    };
    bool stored = true;
    for (const auto& row : rows) {
        const std::string p = folder + "/" + row.name;
        const int fd = ::open(p.c_str(), O_WRONLY | O_CREAT, 0644);
        ASSERT_GE(fd, 0);
        const timespec times[2] = {{time_t(row.seconds), 0}, {time_t(row.seconds), 0}};
        stored = stored && ::futimens(fd, times) == 0;
        struct stat st;
        stored = stored && ::fstat(fd, &st) == 0 && st.st_mtim.tv_sec == row.seconds;
        ::close(fd);
    }
    platform::DirEnum dir;
    const bool opened = stored && dir.open(folder.c_str());
    for (const auto& row : rows)
        ::unlink((folder + "/" + row.name).c_str());
    ::rmdir(folder.c_str());
    if (!stored)
        GTEST_SKIP() << "the tmpfs keeps no 64-bit times here";
    ASSERT_TRUE(opened);
    for (const auto& row : rows) {
        const platform::DirEntry* e = find(dir, row.name);
        ASSERT_NE(e, nullptr);
        EXPECT_EQ(e->modified, row.fileTime) << row.name;
        const QString text = DateTextFormat::system().formatFileTime(e->modified);
        double value = 0;
        EXPECT_TRUE(DateTextFormat::system().parse(text, value)) << text.toStdString();
    }
}

TEST(DirEnum, FailsOnMissingFilesAndOverLongPaths) {
    TempTree t;
    t.makeFile("file");
    platform::DirEnum dir;
    EXPECT_FALSE(dir.open(t.abs("missing").c_str()));
    EXPECT_FALSE(dir.open(t.abs("file").c_str()));
    const std::string tooLong = t.rootBytes() + "/" + std::string(5000, 'x');
    EXPECT_FALSE(dir.open(tooLong.c_str()));
    EXPECT_EQ(dir.count(), 0);
}

TEST(DirEnum, OnlyTheRootMayBeALink) {
    TempTree t;
    t.makeFile("real/a");
    t.makeLink("real", "alias");
    platform::DirEnum dir;
    EXPECT_FALSE(dir.open(t.abs("alias").c_str(), false));
    EXPECT_TRUE(dir.open(t.abs("alias").c_str(), true));
    EXPECT_EQ(dir.count(), 3);
}

TEST(DirEnum, ReadsAFolderOfAHundredThousandEntriesWithoutHoldingItOpen) {
    TempTree t;
    t.makeDir("big");
    for (int i = 0; i < 100000; ++i) {
        const std::string p = t.abs("big/f" + std::to_string(i));
        const int fd = ::open(p.c_str(), O_WRONLY | O_CREAT, 0644);
        ASSERT_GE(fd, 0);
        ::close(fd);
    }
    platform::DirEnum dir;
    ASSERT_TRUE(dir.open(t.abs("big").c_str()));
    EXPECT_EQ(dir.count(), 100002);
    for (qsizetype i = 3; i < dir.count(); ++i)
        ASSERT_TRUE(platform::nameLess(dir.name(i - 1), dir.name(i)));
}

} // namespace
