#include "platform/FileName.h"
#include "platform/FileOperations.h"
#include "platform/TransferBatch.h"
#include "support/FileProbe.h"
#include "support/KillMidway.h"
#include "support/SmallTmpfs.h"
#include "support/TempTree.h"

#include <QFile>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <ftw.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using platform::ConflictAnswer;
using platform::FileOpHooks;
using platform::FileOpStatus;

// A folder on another file system than the temporary folder: a tmpfs of its own, where one can be
// mounted.
class OtherVolume {
public:
    OtherVolume() : m_volume(m_tree.rootBytes(), 64 << 10) {}
    bool isValid() const { return m_volume.isMounted(); }
    std::string path() const { return m_tree.rootBytes(); }

private:
    TempTree m_tree;
    SmallTmpfs m_volume;
};

class FileOpsTest : public ::testing::Test {
protected:
    void TearDown() override { removeContents(tree.rootBytes()); }
    QString path(const std::string& rel) const {
        return platform::decodeFileName(QByteArray::fromStdString(tree.abs(rel)));
    }

    TempTree tree;
};

TEST_F(FileOpsTest, CopyKeepsDataModeAndTimesAndLeavesTheSource) {
    QByteArray data;
    for (int i = 0; i < 3 * 1024 * 1024 + 17; ++i)
        data.append(char(i * 7));
    tree.makeFile("src/big.bin", data, 1500000000);
    tree.setMode("src/big.bin", 0640);
    tree.makeDir("dst");

    const auto result = platform::copyFile(path("src/big.bin"), path("dst/big.bin"));
    ASSERT_EQ(result.status, FileOpStatus::Done) << result.message.toStdString();
    EXPECT_EQ(contentOf(tree.abs("dst/big.bin")), data);
    EXPECT_EQ(contentOf(tree.abs("src/big.bin")), data);
    struct stat st {};
    ASSERT_EQ(::stat(tree.abs("dst/big.bin").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(st.st_mtime, 1500000000);
    EXPECT_EQ(namesIn(tree.abs("dst")), QStringList{QStringLiteral("big.bin")});
}

TEST_F(FileOpsTest, NamesAreTheirOwnBytesNeverPatterns) {
    // "?" and "*" are ordinary characters, and undecodable bytes reach the same file.
    tree.makeFile("src/a?b.txt", "question");
    tree.makeFile("src/a*b.txt", "star");
    tree.makeFile("src/aXb.txt", "letter");
    tree.makeFile("src/bad\xff\xfe.txt", "invalid utf-8");
    tree.makeFile("src/\xe6\x97\xa5\xe6\x9c\xac \xd0\xb4.txt", "non-latin");
    tree.makeDir("dst");
    for (const char* name : {"a?b.txt", "a*b.txt", "bad\xff\xfe.txt", "\xe6\x97\xa5\xe6\x9c\xac \xd0\xb4.txt"}) {
        const std::string rel = name;
        const auto result = platform::copyFile(path("src/" + rel), path("dst/" + rel));
        ASSERT_EQ(result.status, FileOpStatus::Done) << result.message.toStdString();
        EXPECT_EQ(contentOf(tree.abs("dst/" + rel)), contentOf(tree.abs("src/" + rel)));
    }
    EXPECT_EQ(namesIn(tree.abs("dst")).size(), 4);
    EXPECT_FALSE(exists(tree.abs("dst/aXb.txt")));

    const auto moved = platform::moveFile(path("src/bad\xff\xfe.txt"), path("moved\xff\xfe.txt"));
    ASSERT_EQ(moved.status, FileOpStatus::Done) << moved.message.toStdString();
    EXPECT_EQ(contentOf(tree.abs("moved\xff\xfe.txt")), QByteArray("invalid utf-8"));
    EXPECT_FALSE(exists(tree.abs("src/bad\xff\xfe.txt")));
}

TEST_F(FileOpsTest, AnExistingTargetIsReplacedOnlyOnReplace) {
    tree.makeFile("src/f.txt", "new");
    tree.makeFile("dst/f.txt", "old");
    QStringList asked;
    auto answering = [&asked](ConflictAnswer answer) {
        FileOpHooks hooks;
        hooks.onConflict = [&asked, answer](const QString& source, const QString& target) {
            asked.append(source + QStringLiteral(" -> ") + target);
            return answer;
        };
        return hooks;
    };

    EXPECT_EQ(platform::copyFile(path("src/f.txt"), path("dst/f.txt")).status, FileOpStatus::Skipped);
    EXPECT_EQ(platform::copyFile(path("src/f.txt"), path("dst/f.txt"), answering(ConflictAnswer::Skip)).status,
              FileOpStatus::Skipped);
    EXPECT_EQ(platform::moveFile(path("src/f.txt"), path("dst/f.txt"), answering(ConflictAnswer::Cancel)).status,
              FileOpStatus::Cancelled);
    EXPECT_EQ(contentOf(tree.abs("dst/f.txt")), QByteArray("old"));
    EXPECT_EQ(contentOf(tree.abs("src/f.txt")), QByteArray("new"));
    ASSERT_EQ(asked.size(), 2);
    EXPECT_EQ(asked[0], path("src/f.txt") + QStringLiteral(" -> ") + path("dst/f.txt"));

    EXPECT_EQ(platform::copyFile(path("src/f.txt"), path("dst/f.txt"), answering(ConflictAnswer::Replace)).status,
              FileOpStatus::Done);
    EXPECT_EQ(contentOf(tree.abs("dst/f.txt")), QByteArray("new"));
    tree.makeFile("src/f.txt", "newer");
    EXPECT_EQ(platform::moveFile(path("src/f.txt"), path("dst/f.txt"), answering(ConflictAnswer::Replace)).status,
              FileOpStatus::Done);
    EXPECT_EQ(contentOf(tree.abs("dst/f.txt")), QByteArray("newer"));
    EXPECT_FALSE(exists(tree.abs("src/f.txt")));
    EXPECT_EQ(namesIn(tree.abs("dst")), QStringList{QStringLiteral("f.txt")});
}

TEST_F(FileOpsTest, FailuresNameTheFileAndTheSystemErrorAndChangeNothing) {
    tree.makeFile("src/here.txt", "data");
    tree.makeFile("dst/not-a-folder", "file");
    tree.makeDir("dst/folder.txt");
    tree.makeFile("src/folder.txt", "data");

    const auto vanished = platform::copyFile(path("src/gone.txt"), path("dst/gone.txt"));
    EXPECT_EQ(vanished.status, FileOpStatus::Failed);
    EXPECT_EQ(vanished.message, QStringLiteral("Cannot copy \"%1\" to \"%2\". No such file or directory.")
                                    .arg(path("src/gone.txt"), path("dst/gone.txt")));

    const auto intoFile = platform::moveFile(path("src/here.txt"), path("dst/not-a-folder/here.txt"));
    EXPECT_EQ(intoFile.status, FileOpStatus::Failed);
    EXPECT_TRUE(intoFile.message.startsWith(QStringLiteral("Cannot move \""))) << intoFile.message.toStdString();
    EXPECT_TRUE(intoFile.message.endsWith(QStringLiteral("Not a directory."))) << intoFile.message.toStdString();
    EXPECT_EQ(contentOf(tree.abs("src/here.txt")), QByteArray("data"));

    const auto overFolder = platform::copyFile(path("src/folder.txt"), path("dst/folder.txt"));
    EXPECT_TRUE(overFolder.message.endsWith(QStringLiteral("Is a directory."))) << overFolder.message.toStdString();

    const auto folder = platform::copyFile(path("src"), path("dst/src"));
    EXPECT_EQ(folder.status, FileOpStatus::Failed);
    EXPECT_FALSE(exists(tree.abs("dst/src")));

    const auto itself = platform::copyFile(path("src/here.txt"), path("src/here.txt"));
    EXPECT_EQ(itself.status, FileOpStatus::Failed);
    EXPECT_TRUE(itself.message.contains(QStringLiteral("same file")));
    EXPECT_EQ(contentOf(tree.abs("src/here.txt")), QByteArray("data"));
    EXPECT_EQ(namesIn(tree.abs("dst")), (QStringList{QStringLiteral("folder.txt"), QStringLiteral("not-a-folder")}));
}

TEST_F(FileOpsTest, ANameOfTheFullLengthCopiesThroughAShortTemporaryName) {
    const std::string name = std::string(251, 'n') + ".txt";
    tree.makeFile("src/" + name, "long");
    tree.makeDir("dst");
    const auto result = platform::copyFile(path("src/" + name), path("dst/" + name));
    ASSERT_EQ(result.status, FileOpStatus::Done) << result.message.toStdString();
    EXPECT_EQ(contentOf(tree.abs("dst/" + name)), QByteArray("long"));

    const auto tooLong = platform::copyFile(path("src/" + name), path("dst/x" + name));
    EXPECT_TRUE(tooLong.message.endsWith(QStringLiteral("File name too long."))) << tooLong.message.toStdString();
}

TEST_F(FileOpsTest, ProgressCountsUpAndItsCancelLeavesNoTrace) {
    const QByteArray data(2 * 1024 * 1024 + 5, 'x');
    tree.makeFile("src/f.bin", data);
    tree.makeFile("dst/f.bin", "keep me");
    QList<qint64> seen;
    FileOpHooks hooks;
    hooks.onConflict = [](const QString&, const QString&) { return ConflictAnswer::Replace; };
    hooks.onProgress = [&seen](qint64 done, qint64 total) {
        EXPECT_EQ(total, 2 * 1024 * 1024 + 5);
        seen.append(done);
        return seen.size() < 2;
    };
    EXPECT_EQ(platform::copyFile(path("src/f.bin"), path("dst/f.bin"), hooks).status, FileOpStatus::Cancelled);
    EXPECT_EQ(seen, (QList<qint64>{1024 * 1024, 2 * 1024 * 1024}));
    EXPECT_EQ(contentOf(tree.abs("dst/f.bin")), QByteArray("keep me"));
    EXPECT_EQ(namesIn(tree.abs("dst")), QStringList{QStringLiteral("f.bin")});

    seen.clear();
    hooks.onProgress = [&seen](qint64 done, qint64) {
        seen.append(done);
        return true;
    };
    EXPECT_EQ(platform::copyFile(path("src/f.bin"), path("dst/f.bin"), hooks).status, FileOpStatus::Done);
    EXPECT_EQ(seen.last(), data.size());
    EXPECT_EQ(contentOf(tree.abs("dst/f.bin")), data);
}

TEST_F(FileOpsTest, ACopyKilledMidwayLeavesNothingBehind) {
    tree.makeSparse("src/big.bin", 64 * 1024 * 1024);
    const struct {
        const char* folder;
        bool targetExists;
    } cases[] = {{"new", false}, {"replace", true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.folder);
        const std::string folder = c.folder;
        tree.makeDir(folder);
        if (c.targetExists)
            tree.makeFile(folder + "/big.bin", "keep me");
        EXPECT_TRUE(killedMidway([&](const std::function<void()>& here) {
            FileOpHooks hooks;
            hooks.onConflict = [](const QString&, const QString&) { return ConflictAnswer::Replace; };
            hooks.onProgress = [&here](qint64 done, qint64) {
                if (done >= 4 * 1024 * 1024)
                    here();
                return true;
            };
            platform::copyFile(path("src/big.bin"), path(folder + "/big.bin"), hooks);
        }));
        EXPECT_EQ(namesIn(tree.abs(folder)), c.targetExists ? QStringList{QStringLiteral("big.bin")} : QStringList());
        EXPECT_EQ(contentOf(tree.abs(folder + "/big.bin")), QByteArray(c.targetExists ? "keep me" : "<missing>"));
    }
}

TEST_F(FileOpsTest, LinksAreCopiedAsLinks) {
    tree.makeFile("src/real.txt", "real");
    tree.makeLink("real.txt", "src/link.txt");
    tree.makeDir("dst");
    ASSERT_EQ(platform::copyFile(path("src/link.txt"), path("dst/link.txt")).status, FileOpStatus::Done);
    char target[64] = {};
    ASSERT_EQ(::readlink(tree.abs("dst/link.txt").c_str(), target, sizeof target - 1), 8);
    EXPECT_STREQ(target, "real.txt");
    EXPECT_EQ(namesIn(tree.abs("dst")), QStringList{QStringLiteral("link.txt")});
}

TEST_F(FileOpsTest, MoveWithinAVolumeRenames) {
    tree.makeFile("src/f.txt", "data");
    tree.makeDir("dst");
    struct stat before {
    }, after{};
    ASSERT_EQ(::stat(tree.abs("src/f.txt").c_str(), &before), 0);
    bool progressed = false;
    FileOpHooks hooks;
    hooks.onProgress = [&progressed](qint64, qint64) { return progressed = true; };
    ASSERT_EQ(platform::moveFile(path("src/f.txt"), path("dst/f.txt"), hooks).status, FileOpStatus::Done);
    ASSERT_EQ(::stat(tree.abs("dst/f.txt").c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_FALSE(exists(tree.abs("src/f.txt")));
    EXPECT_FALSE(progressed);
}

TEST_F(FileOpsTest, MoveAcrossVolumesRemovesTheSourceOnlyAfterACompleteCopy) {
    OtherVolume other;
    if (!other.isValid())
        GTEST_SKIP() << "no second file system can be mounted here";
    const QByteArray data(1536 * 1024, 'm');
    tree.makeFile("src/f.bin", data, 1400000000);
    const QString target = platform::decodeFileName(QByteArray::fromStdString(other.path() + "/f.bin"));

    FileOpHooks cancelling;
    cancelling.onProgress = [](qint64 done, qint64) { return done < 1024 * 1024; };
    EXPECT_EQ(platform::moveFile(path("src/f.bin"), target, cancelling).status, FileOpStatus::Cancelled);
    EXPECT_EQ(contentOf(tree.abs("src/f.bin")), data);
    EXPECT_TRUE(namesIn(other.path()).isEmpty());

    ASSERT_EQ(platform::moveFile(path("src/f.bin"), target).status, FileOpStatus::Done);
    EXPECT_EQ(contentOf(other.path() + "/f.bin"), data);
    EXPECT_FALSE(exists(tree.abs("src/f.bin")));
    struct stat st {};
    ASSERT_EQ(::stat((other.path() + "/f.bin").c_str(), &st), 0);
    EXPECT_EQ(st.st_mtime, 1400000000);
}

TEST_F(FileOpsTest, AMovedFileWrittenToDuringTheMoveIsKeptWithItsCopy) {
    OtherVolume other;
    if (!other.isValid())
        GTEST_SKIP() << "no second file system can be mounted here";
    const QByteArray data(1536 * 1024, 'm');
    tree.makeFile("src/log.txt", data);
    const QString target = platform::decodeFileName(QByteArray::fromStdString(other.path() + "/log.txt"));
    FileOpHooks appending;
    bool appended = false;
    appending.onProgress = [&](qint64, qint64) {
        // A program still writing its log while the file is moved away.
        if (!appended) {
            const int fd = ::open(tree.abs("src/log.txt").c_str(), O_WRONLY | O_APPEND);
            appended = fd >= 0 && ::write(fd, "one more line\n", 14) == 14;
            ::close(fd);
        }
        return true;
    };
    const platform::FileOpResult moved = platform::moveFile(path("src/log.txt"), target, appending);
    ASSERT_TRUE(appended);
    EXPECT_EQ(moved.status, FileOpStatus::Failed);
    EXPECT_EQ(moved.message,
              QStringLiteral("\"%1\" changed while it was moved; both copies kept.").arg(path("src/log.txt")));
    EXPECT_EQ(contentOf(tree.abs("src/log.txt")), data + "one more line\n");
    EXPECT_TRUE(contentOf(other.path() + "/log.txt").startsWith(data));
}

TEST_F(FileOpsTest, HolesStayHolesWhicheverWayTheDataGoes) {
    // 64 KiB of data at the start and at 8 MiB, holes to 32 MiB.
    const QByteArray a(64 * 1024, 'a');
    const QByteArray b(64 * 1024, 'b');
    QByteArray expected(32 * 1024 * 1024, '\0');
    expected.replace(0, a.size(), a);
    expected.replace(8 * 1024 * 1024, b.size(), b);
    OtherVolume other;
    const struct {
        const char* what;
        platform::TransferBatch::Kind kind;
        bool kernelCopy;
    } cases[] = {
        {"copy", platform::TransferBatch::Kind::Copy, true},
        {"copy by the read/write loop", platform::TransferBatch::Kind::Copy, false},
        {"move to another file system", platform::TransferBatch::Kind::Move, true},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const auto& c = cases[i];
        SCOPED_TRACE(c.what);
        const bool move = c.kind == platform::TransferBatch::Kind::Move;
        if (move && !other.isValid())
            continue;
        tree.makeSparse("src/holey.img", expected.size());
        const int fd = ::open(tree.abs("src/holey.img").c_str(), O_WRONLY);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::pwrite(fd, a.constData(), size_t(a.size()), 0), a.size());
        ASSERT_EQ(::pwrite(fd, b.constData(), size_t(b.size()), 8 * 1024 * 1024), b.size());
        ::close(fd);
        const std::string target = move ? other.path() + "/holey.img" : tree.abs("dst/holey" + std::to_string(i));
        tree.makeDir("dst");

        platform::FileOpResult result{FileOpStatus::Failed, QStringLiteral("not reported")};
        platform::TransferBatch batch(c.kind,
                                      [&result](const QString&, const platform::FileOpResult& r) { result = r; });
        batch.setKernelCopyAllowed(c.kernelCopy);
        batch.add(path("src/holey.img"), platform::decodeFileName(QByteArray::fromStdString(target)));
        batch.finish();
        ASSERT_EQ(result.status, FileOpStatus::Done) << result.message.toStdString();
        EXPECT_EQ(contentOf(target), expected);
        struct stat st {};
        ASSERT_EQ(::stat(target.c_str(), &st), 0);
        EXPECT_LE(qint64(st.st_blocks) * 512, 1024 * 1024) << "a full copy would take 32 MiB";
        EXPECT_EQ(exists(tree.abs("src/holey.img")), !move);
    }
}

TEST_F(FileOpsTest, AFullDiskIsReportedWithTheSystemsTextAndTheTargetKept) {
    tree.makeDir("small");
    SmallTmpfs small(tree.abs("small"), 256);
    if (!small.isMounted())
        GTEST_SKIP() << "cannot mount a tmpfs here";
    tree.makeFile("small/inside.bin", QByteArray(160 * 1024, 'i'));
    tree.makeFile("outside.bin", QByteArray(300 * 1024, 'o'));
    tree.makeFile("small/target.bin", "keep me");
    FileOpHooks hooks;
    hooks.onConflict = [](const QString&, const QString&) { return ConflictAnswer::Replace; };
    // Within the tmpfs the kernel copies; from the other file system the read/write loop does.
    for (const char* source : {"small/inside.bin", "outside.bin"}) {
        SCOPED_TRACE(source);
        const auto result = platform::copyFile(path(source), path("small/target.bin"), hooks);
        EXPECT_EQ(result.status, FileOpStatus::Failed);
        EXPECT_TRUE(result.message.endsWith(QStringLiteral("No space left on device.")))
            << result.message.toStdString();
        EXPECT_EQ(contentOf(tree.abs("small/target.bin")), QByteArray("keep me"));
        EXPECT_EQ(namesIn(tree.abs("small")),
                  (QStringList{QStringLiteral("inside.bin"), QStringLiteral("target.bin")}));
    }
}

TEST_F(FileOpsTest, FileSizeOfReadsTheEntryItself) {
    tree.makeFile("f.bin", QByteArray(1234, 'x'));
    tree.makeLink("f.bin", "link");
    EXPECT_EQ(platform::fileSizeOf(path("f.bin")), 1234);
    EXPECT_EQ(platform::fileSizeOf(path("link")), 5);
    EXPECT_EQ(platform::fileSizeOf(path("missing")), 0);
}

} // namespace
