#include "platform/PendingFile.h"
#include "platform/PosixFile.h"
#include "support/FileProbe.h"
#include "support/TempTree.h"

#include <cerrno>
#include <cstring>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using platform::PendingFile;

// Both forms of the file: unnamed where the file system has them, and the named one kept for
// file systems without.
class PendingFileTest : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override {
        PendingFile probe;
        if (unnamed() && !(probe.create(folder(), 0666) && probe.isUnnamed()))
            GTEST_SKIP() << "the file system has no unnamed files";
    }
    bool unnamed() const { return GetParam(); }
    QByteArray folder() const { return QByteArray::fromStdString(tree.rootBytes()); }
    // A pending file in the tree's root holding bytes.
    void make(PendingFile& file, const QByteArray& bytes) {
        ASSERT_TRUE(file.create(folder(), 0666, unnamed())) << std::strerror(errno);
        EXPECT_EQ(file.isUnnamed(), unnamed());
        ASSERT_TRUE(platform::writeAll(file.fd(), bytes));
    }
    QByteArray at(const std::string& rel) const { return QByteArray::fromStdString(tree.abs(rel)); }
    // What stands in the folder besides the files the test made itself.
    QStringList leftovers() const {
        QStringList names = namesIn(tree.rootBytes());
        names.removeAll(QStringLiteral("old.txt"));
        return names;
    }

    TempTree tree;
};

TEST_P(PendingFileTest, ItGetsItsNameOnlyWhenPublishedAndNeverReplacesUnasked) {
    tree.makeFile("old.txt", "old");
    {
        PendingFile dropped;
        ASSERT_NO_FATAL_FAILURE(make(dropped, "dropped"));
        // While pending, the unnamed form is nowhere in the folder; the named one is one hidden name.
        const QStringList pending = leftovers();
        if (unnamed())
            EXPECT_TRUE(pending.isEmpty()) << qPrintable(pending.join(QLatin1Char(' ')));
        else
            EXPECT_TRUE(pending.size() == 1 && pending[0].startsWith(QStringLiteral(".trovex-")) &&
                        pending[0].size() == 14)
                << qPrintable(pending.join(QLatin1Char(' ')));
    }
    EXPECT_TRUE(leftovers().isEmpty()) << "an unpublished file leaves nothing";

    PendingFile file;
    ASSERT_NO_FATAL_FAILURE(make(file, "new"));
    EXPECT_FALSE(file.publish(at("old.txt"), false));
    EXPECT_EQ(errno, EEXIST);
    EXPECT_EQ(contentOf(tree.abs("old.txt")), QByteArray("old"));
    ASSERT_TRUE(file.close());
    ASSERT_TRUE(file.publish(at("new.txt"), false)) << std::strerror(errno);
    EXPECT_EQ(contentOf(tree.abs("new.txt")), QByteArray("new"));

    PendingFile replacing;
    ASSERT_NO_FATAL_FAILURE(make(replacing, "replaced"));
    ASSERT_TRUE(replacing.publish(at("old.txt"), true)) << std::strerror(errno);
    EXPECT_EQ(contentOf(tree.abs("old.txt")), QByteArray("replaced"));
    EXPECT_EQ(leftovers(), QStringList{QStringLiteral("new.txt")});

    // A new file's permission bits, the umask applied.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    struct stat st {};
    ASSERT_EQ(::stat(tree.abs("new.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0666u & ~mask);
}

INSTANTIATE_TEST_SUITE_P(Forms, PendingFileTest, ::testing::Values(true, false),
                         [](const ::testing::TestParamInfo<bool>& info) { return info.param ? "Unnamed" : "Named"; });

} // namespace
