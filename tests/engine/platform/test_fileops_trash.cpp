#include "platform/FileName.h"
#include "platform/Trash.h"
#include "support/FileProbe.h"
#include "support/SmallTmpfs.h"
#include "support/TempTree.h"

#include <QFile>
#include <QRegularExpression>
#include <fcntl.h>
#include <ftw.h>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The info file's text with its deletion date checked and replaced by "<date>".
QByteArray infoWithoutDate(const QString& infoPath) {
    QString text = QString::fromLatin1(contentOf(infoPath));
    static const QRegularExpression date(QStringLiteral("DeletionDate=\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\n"));
    EXPECT_TRUE(text.contains(date)) << text.toStdString();
    text.replace(date, QStringLiteral("DeletionDate=<date>\n"));
    return text.toLatin1();
}

class TrashTest : public ::testing::Test {
protected:
    void TearDown() override { removeContents(tree.rootBytes()); }

    QString path(const std::string& rel) const {
        return platform::decodeFileName(QByteArray::fromStdString(tree.abs(rel)));
    }
    QString trash(const std::string& rel) const { return path("data/Trash/" + rel); }

    TempTree tree;
    ScopedEnv home{"HOME", QByteArray::fromStdString(tree.abs("home"))};
    ScopedEnv dataHome{"XDG_DATA_HOME", QByteArray::fromStdString(tree.abs("data"))};
};

TEST_F(TrashTest, AFileGoesToTheHomeTrashWithItsInfo) {
    tree.makeFile("files/My Report, final.txt", "report");
    const auto result = platform::moveToTrash(path("files/My Report, final.txt"));
    ASSERT_TRUE(result.ok) << result.error.toStdString();
    EXPECT_FALSE(exists(tree.abs("files/My Report, final.txt")));
    EXPECT_EQ(result.trashedPath, trash("files/My Report, final.txt"));
    EXPECT_EQ(result.infoPath, trash("info/My Report, final.txt.trashinfo"));
    EXPECT_EQ(contentOf(result.trashedPath), QByteArray("report"));
    const QByteArray expectedPath = QFile::encodeName(tree.root()) + "/files/My%20Report%2C%20final.txt";
    EXPECT_EQ(infoWithoutDate(result.infoPath), "[Trash Info]\nPath=" + expectedPath + "\nDeletionDate=<date>\n");
}

TEST_F(TrashTest, EqualNamesGetNumberedAndOddNamesKeepTheirBytes) {
    tree.makeFile("a/same.txt", "first");
    tree.makeFile("b/same.txt", "second");
    tree.makeFile("c/x?y", "question");
    tree.makeFile("c/xzy", "letter");
    tree.makeFile("c/bad\xff.txt", "invalid");
    ASSERT_TRUE(platform::moveToTrash(path("a/same.txt")).ok);
    const auto second = platform::moveToTrash(path("b/same.txt"));
    ASSERT_TRUE(second.ok);
    EXPECT_EQ(second.trashedPath, trash("files/same.txt.2"));
    EXPECT_EQ(contentOf(trash("files/same.txt")), QByteArray("first"));
    EXPECT_EQ(contentOf(second.trashedPath), QByteArray("second"));
    EXPECT_TRUE(infoWithoutDate(second.infoPath).contains("/b/same.txt\n"));

    ASSERT_TRUE(platform::moveToTrash(path("c/x?y")).ok);
    EXPECT_TRUE(exists(tree.abs("c/xzy")));
    EXPECT_EQ(contentOf(trash("files/x?y")), QByteArray("question"));
    EXPECT_TRUE(infoWithoutDate(trash("info/x?y.trashinfo")).contains("/c/x%3Fy\n"));

    const auto invalid = platform::moveToTrash(path("c/bad\xff.txt"));
    ASSERT_TRUE(invalid.ok) << invalid.error.toStdString();
    EXPECT_FALSE(exists(tree.abs("c/bad\xff.txt")));
    EXPECT_TRUE(exists(tree.abs("data/Trash/files/bad\xff.txt")));
    EXPECT_TRUE(infoWithoutDate(invalid.infoPath).contains("/c/bad%FF.txt\n"));
}

TEST_F(TrashTest, ALongNameIsShortenedInTheTrashOnly) {
    const std::string name = std::string(240, 'l') + "\xc3\xa9\xc3\xa9\xc3\xa9.txt"; // 253 bytes
    tree.makeFile("f/" + name, "long");
    const auto result = platform::moveToTrash(path("f/" + name));
    ASSERT_TRUE(result.ok) << result.error.toStdString();
    const QByteArray infoName = platform::encodeFileName(result.infoPath.mid(result.infoPath.lastIndexOf(u'/') + 1));
    EXPECT_LE(infoName.size(), 255);
    // Cut back at a character boundary: the kept part still decodes as UTF-8.
    EXPECT_EQ(QString::fromUtf8(infoName).toUtf8(), infoName);
    EXPECT_TRUE(infoWithoutDate(result.infoPath).contains("%C3%A9%C3%A9%C3%A9.txt\n"));
}

TEST_F(TrashTest, FailuresLeaveTheFileWhereItWas) {
    const auto vanished = platform::moveToTrash(path("nowhere.txt"));
    EXPECT_FALSE(vanished.ok);
    EXPECT_EQ(vanished.error, QStringLiteral("No such file or directory"));

    // A data folder that is a file leaves no trash to use.
    tree.makeFile("data", "not a folder");
    tree.makeFile("keep.txt", "kept");
    const auto noTrash = platform::moveToTrash(path("keep.txt"));
    EXPECT_FALSE(noTrash.ok);
    EXPECT_EQ(noTrash.error, QStringLiteral("Not a directory"));
    EXPECT_EQ(contentOf(path("keep.txt")), QByteArray("kept"));
}

TEST_F(TrashTest, AFileInAnImmutableFolderStaysAndLeavesNoInfo) {
    tree.makeFile("locked/f.txt", "locked");
    const int fd = ::open(tree.abs("locked").c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(fd, 0);
    int flags = 0;
    const bool immutable = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0 &&
                           (flags |= FS_IMMUTABLE_FL, ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0);
    if (!immutable) {
        ::close(fd);
        GTEST_SKIP() << "cannot make a folder immutable here";
    }
    const auto result = platform::moveToTrash(path("locked/f.txt"));
    flags &= ~FS_IMMUTABLE_FL;
    EXPECT_EQ(::ioctl(fd, FS_IOC_SETFLAGS, &flags), 0);
    ::close(fd);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.error, QStringLiteral("Operation not permitted"));
    EXPECT_EQ(contentOf(path("locked/f.txt")), QByteArray("locked"));
    EXPECT_FALSE(exists(tree.abs("data/Trash/info/f.txt.trashinfo")));
}

TEST_F(TrashTest, AFileOfAnotherVolumeGoesToThatVolumesTrash) {
    TempTree other;
    const SmallTmpfs volume(other.rootBytes(), 256);
    if (!volume.isMounted())
        GTEST_SKIP() << "no second file system can be mounted here";
    ASSERT_EQ(::chmod(other.rootBytes().c_str(), 01777), 0); // a volume's top folder, as users share it
    other.makeFile("folder/other volume.txt", "shm");

    const auto result = platform::moveToTrash(QFile::decodeName(other.abs("folder/other volume.txt").c_str()));
    ASSERT_TRUE(result.ok) << result.error.toStdString();
    const QString volumeTrash = other.root() + QStringLiteral("/.Trash-%1/").arg(::getuid());
    EXPECT_TRUE(result.trashedPath.startsWith(volumeTrash + QStringLiteral("files/")))
        << result.trashedPath.toStdString();
    EXPECT_EQ(contentOf(result.trashedPath), QByteArray("shm"));
    // Relative to the volume's top folder.
    EXPECT_EQ(infoWithoutDate(result.infoPath), "[Trash Info]\nPath=folder/other%20volume.txt\nDeletionDate=<date>\n");
    EXPECT_FALSE(exists(tree.abs("data/Trash/files")));
}

} // namespace
