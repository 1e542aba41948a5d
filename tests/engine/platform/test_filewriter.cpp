// The one checked file writer: what it does with each kind of thing that stands at a name, and
// that every writer built on it reports a failed write, flush, sync or close with the system's
// reason and leaves the earlier file as it was, through the seam and on a real full disk.

#include "export/CsvWriter.h"
#include "export/ZipArchiveFile.h"
#include "platform/FileWriter.h"
#include "platform/Registry.h"
#include "shell/DesktopMenuEntries.h"
#include "shell/ThunarActions.h"
#include "support/FileProbe.h"
#include "support/SmallTmpfs.h"
#include "support/TempTree.h"
#include "support/WriteFault.h"

#include <QFile>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <gtest/gtest.h>
#include <optional>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

using platform::FileWriter;
using platform::WriteStep;

QString reason(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

// Writes bytes to path through the writer in slices of 64 KiB, as the writers of rows do; the
// error text, or empty on success.
QString writeTo(const QString& path, const QByteArray& bytes) {
    FileWriter file;
    bool ok = file.create(path);
    for (qsizetype at = 0; ok && at < bytes.size(); at += 64 << 10)
        ok = file.write(bytes.mid(at, 64 << 10)) >= 0;
    if (ok && file.commit())
        return {};
    return file.errorString();
}

struct stat statOf(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(::lstat(path.c_str(), &st), 0) << path;
    return st;
}

class FileWriterTest : public ::testing::Test {
protected:
    QString path(const char* rel) const { return tree.root() + QLatin1Char('/') + QString::fromUtf8(rel); }
    std::string abs(const std::string& rel) const { return tree.abs(rel); }

    TempTree tree;
};

TEST_F(FileWriterTest, ARegularFileIsReplacedWholeKeepingItsModeAndALinkStaysALink) {
    tree.makeFile("old.txt", "old");
    tree.setMode("old.txt", 0640);
    const ino_t before = statOf(abs("old.txt")).st_ino;
    EXPECT_EQ(writeTo(path("old.txt"), "new"), QString());
    EXPECT_EQ(contentOf(abs("old.txt")), QByteArray("new"));
    EXPECT_EQ(statOf(abs("old.txt")).st_mode & 07777, 0640u);
    EXPECT_NE(statOf(abs("old.txt")).st_ino, before) << "replaced whole, not rewritten in place";

    tree.makeFile("elsewhere/target.txt", "target");
    tree.makeLink("../elsewhere/target.txt", "links/link.txt");
    EXPECT_EQ(writeTo(path("links/link.txt"), "through the link"), QString());
    EXPECT_TRUE(S_ISLNK(statOf(abs("links/link.txt")).st_mode));
    EXPECT_EQ(contentOf(abs("elsewhere/target.txt")), QByteArray("through the link"));

    EXPECT_EQ(writeTo(path("fresh.txt"), "fresh"), QString());
    const mode_t mask = ::umask(0);
    ::umask(mask);
    EXPECT_EQ(statOf(abs("fresh.txt")).st_mode & 07777, 0666u & ~mask);
    EXPECT_EQ(namesIn(tree.rootBytes()), QStringList({QStringLiteral("elsewhere"), QStringLiteral("fresh.txt"),
                                                      QStringLiteral("links"), QStringLiteral("old.txt")}));
}

TEST_F(FileWriterTest, WhatCannotBeReplacedIsRefusedWithItsReasonAndLeftAsItIs) {
    tree.makeFile("read-only.txt", "kept");
    tree.setMode("read-only.txt", 0444);
    tree.makeLink("nowhere.txt", "dangling.txt");
    tree.makeLink("loop-b", "loop-a");
    tree.makeLink("loop-a", "loop-b");
    tree.makeDir("folder");
    const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string socketPath = abs("socket");
    ASSERT_LT(socketPath.size(), sizeof address.sun_path);
    std::strcpy(address.sun_path, socketPath.c_str());
    ASSERT_EQ(::bind(sock, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::mkfifo(abs("fifo").c_str(), 0644), 0);

    const struct {
        const char* name;
        QString says;
    } cases[] = {
        {"read-only.txt", QStringLiteral("The file is read-only")},
        {"dangling.txt", QStringLiteral("It is a symbolic link to nothing")},
        {"loop-a", reason(ELOOP)},
        {"folder", reason(EISDIR)},
        {"socket", QStringLiteral("It is a socket, which cannot be written as a file")},
        {"fifo", QStringLiteral("No program reads from the FIFO")}, // at once, never waiting for one
        {"missing/file.txt", reason(ENOENT)},
    };
    const QStringList before = namesIn(tree.rootBytes());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(writeTo(path(c.name), "new"), c.says);
    }
    ::close(sock);
    EXPECT_EQ(namesIn(tree.rootBytes()), before);
    EXPECT_EQ(contentOf(abs("read-only.txt")), QByteArray("kept"));
    EXPECT_TRUE(S_ISLNK(statOf(abs("dangling.txt")).st_mode));
    EXPECT_FALSE(exists(abs("nowhere.txt")));
    EXPECT_TRUE(S_ISFIFO(statOf(abs("fifo")).st_mode));
}

TEST_F(FileWriterTest, FifosDevicesAndOpenDescriptorsAreWrittenWhereTheyStand) {
    ASSERT_EQ(::mkfifo(abs("fifo").c_str(), 0644), 0);
    const int reader = ::open(abs("fifo").c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    EXPECT_EQ(writeTo(path("fifo"), "through the pipe"), QString());
    char got[64] = {};
    EXPECT_EQ(::read(reader, got, sizeof got), 16);
    EXPECT_STREQ(got, "through the pipe");
    ::close(reader);
    EXPECT_TRUE(S_ISFIFO(statOf(abs("fifo")).st_mode));

    // This process's own descriptor, as /dev/stdout names it: written at its own offset.
    tree.makeFile("redirected.txt");
    const int out = ::open(abs("redirected.txt").c_str(), O_WRONLY | O_CLOEXEC);
    ASSERT_EQ(::write(out, "before ", 7), 7);
    EXPECT_EQ(writeTo(QStringLiteral("/proc/self/fd/%1").arg(out), "and after"), QString());
    EXPECT_EQ(::write(out, "!", 1), 1);
    ::close(out);
    EXPECT_EQ(contentOf(abs("redirected.txt")), QByteArray("before and after!"));
    EXPECT_EQ(namesIn(tree.rootBytes()), QStringList({QStringLiteral("fifo"), QStringLiteral("redirected.txt")}));

    // A device node of its own, with the numbers of the null device.
    if (::mknod(abs("null").c_str(), S_IFCHR | 0666, makedev(1, 3)) != 0)
        GTEST_SKIP() << "no device node can be made here: " << std::strerror(errno);
    EXPECT_EQ(writeTo(path("null"), QByteArray(1 << 20, 'x')), QString());
    const struct stat device = statOf(abs("null"));
    EXPECT_TRUE(S_ISCHR(device.st_mode));
    EXPECT_EQ(device.st_rdev, makedev(1, 3));
}

TEST_F(FileWriterTest, EveryFailedStepIsReportedAndTheOldFileStays) {
    // Small outputs fail only when the buffer goes out at the end; large ones at a later write.
    const struct {
        WriteStep step;
        int nth;
        qsizetype size;
    } cases[] = {
        {WriteStep::Flush, 1, 10},      {WriteStep::Write, 1, 10}, {WriteStep::Sync, 1, 10},
        {WriteStep::Sync, 2, 10},       {WriteStep::Close, 1, 10}, {WriteStep::Write, 3, 3 << 20},
        {WriteStep::Flush, 2, 3 << 20},
    };
    for (const auto& c : cases) {
        for (const int error : {ENOSPC, EIO}) {
            SCOPED_TRACE(testing::Message() << int(c.step) << " #" << c.nth << " " << c.size << " " << error);
            tree.makeFile("kept.txt", "earlier");
            const WriteFault fault(c.step, c.nth, error);
            const QString said = writeTo(path("kept.txt"), QByteArray(c.size, 'n'));
            EXPECT_EQ(said, reason(error));
            // The second sync is the folder's, after the name was given: the new file is there.
            if (!(c.step == WriteStep::Sync && c.nth == 2)) {
                EXPECT_EQ(contentOf(abs("kept.txt")), QByteArray("earlier"));
            }
            EXPECT_EQ(namesIn(tree.rootBytes()), QStringList{QStringLiteral("kept.txt")});
        }
    }
}

TEST_F(FileWriterTest, AFileForAFolderTakesOnlyAFreeName) {
    tree.makeFile("taken.zip", "taken");
    FileWriter file;
    ASSERT_TRUE(file.createNew(tree.root()));
    ASSERT_EQ(file.write("archive"), 7);
    ASSERT_TRUE(file.finish());
    EXPECT_FALSE(file.publish(path("taken.zip")));
    EXPECT_EQ(file.error(), EEXIST);
    EXPECT_TRUE(file.publish(path("free.zip"))) << file.errorString().toStdString();
    EXPECT_EQ(contentOf(abs("taken.zip")), QByteArray("taken"));
    EXPECT_EQ(contentOf(abs("free.zip")), QByteArray("archive"));
}

// Every writer of the engine, each writing a small output over an earlier file, under a base
// folder where XDG_CONFIG_HOME and XDG_DATA_HOME point to its "config" and "data".
struct EngineWriter {
    const char* name;
    std::function<QString(const QString& base)> run; // the error it reported, empty on success
    const char* target;                              // relative to the base
    QByteArray earlier;                              // what stands there before, and that it rewrites
};

std::vector<EngineWriter> engineWriters() {
    const auto command = [] {
        DesktopMenuCommand c;
        c.text = QStringLiteral("Run Trovex");
        c.programPath = QStringLiteral("/usr/bin/trovex");
        c.arguments = {QStringLiteral("%1")};
        c.onFolders = c.onFiles = true;
        return c;
    };
    const QString key = QStringLiteral("software\\classes\\directory\\shell\\KVT");
    return {
        {"CSV",
         [](const QString& base) {
             CsvWriter csv;
             return csv.save(base + QStringLiteral("/out.csv"), QStringLiteral("a,b\r\n")) ? QString()
                                                                                           : csv.errorString();
         },
         "out.csv", "earlier"},
        {"key store value",
         [key](const QString&) {
             QString error;
             platform::Registry::createKey(key);
             return platform::Registry::setValue(key, {}, QStringLiteral("Run Trovex"), &error) ? QString() : error;
         },
         "config/trovex/registry/HKEY_CURRENT_USER/software/classes/directory/shell/KVT/@", "earlier"},
        {"desktop entries",
         [command](const QString&) {
             QString error;
             return DesktopMenuEntries::write(command(), &error) ? QString() : error;
         },
         "data/applications/trovex-run.desktop", "earlier"},
        {"Thunar's actions",
         [command](const QString&) {
             QString error;
             return ThunarActions::write(command(), &error) ? QString() : error;
         },
         "config/Thunar/uca.xml", "<actions>\n</actions>\n"},
    };
}

class EngineWritersTest : public FileWriterTest {
protected:
    // Points the base folders of the desktop at base.
    void useBase(const QString& base) {
        config.emplace("XDG_CONFIG_HOME", QFile::encodeName(base + QStringLiteral("/config")));
        data.emplace("XDG_DATA_HOME", QFile::encodeName(base + QStringLiteral("/data")));
    }

    ScopedEnv home{"HOME", QFile::encodeName(tree.root() + QStringLiteral("/home"))};
    ScopedEnv configDirs{"XDG_CONFIG_DIRS", QFile::encodeName(tree.root() + QStringLiteral("/etc"))};
    std::optional<ScopedEnv> config;
    std::optional<ScopedEnv> data;
};

TEST_F(EngineWritersTest, EachReportsAFailedStepWithItsReasonAndKeepsTheEarlierFile) {
    useBase(tree.root());
    for (const EngineWriter& writer : engineWriters()) {
        ASSERT_EQ(writer.run(tree.root()), QString()) << writer.name; // makes the folders and keys
        const std::string target = abs(writer.target);
        const std::string folder = target.substr(0, target.rfind('/'));
        for (const auto step : {WriteStep::Flush, WriteStep::Sync, WriteStep::Close}) {
            SCOPED_TRACE(testing::Message() << writer.name << ", step " << int(step));
            tree.makeFile(writer.target, writer.earlier);
            const QStringList names = namesIn(folder);
            const WriteFault fault(step, 1, ENOSPC);
            const QString said = writer.run(tree.root());
            EXPECT_TRUE(said.contains(reason(ENOSPC))) << said.toStdString();
            EXPECT_EQ(contentOf(target), writer.earlier);
            EXPECT_EQ(namesIn(folder), names);
        }
    }
}

TEST_F(EngineWritersTest, OnARealFullDiskEachReportsAndKeepsTheEarlierFile) {
    tree.makeDir("disk");
    const SmallTmpfs disk(abs("disk"), 256);
    if (!disk.isMounted())
        GTEST_SKIP() << "no tmpfs can be mounted here";
    const QString base = path("disk");
    useBase(base);
    std::vector<EngineWriter> writers = engineWriters();
    for (const EngineWriter& writer : writers) {
        ASSERT_EQ(writer.run(base), QString()) << writer.name;
        tree.makeFile("disk/" + std::string(writer.target), writer.earlier);
    }
    tree.makeFile("big.bin", QByteArray(8 << 10, 'z'));
    // Filled to the last page, so even the few bytes of each output find no room.
    const int filler = ::open(abs("disk/filler").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    const QByteArray page(4096, 'f');
    while (::write(filler, page.constData(), size_t(page.size())) > 0) {
    }
    ::close(filler);

    for (const EngineWriter& writer : writers) {
        SCOPED_TRACE(writer.name);
        const std::string target = abs("disk/" + std::string(writer.target));
        const std::string folder = target.substr(0, target.rfind('/'));
        const QStringList names = namesIn(folder);
        const QString said = writer.run(base);
        EXPECT_TRUE(said.contains(reason(ENOSPC))) << said.toStdString();
        EXPECT_EQ(contentOf(target), writer.earlier);
        EXPECT_EQ(namesIn(folder), names);
    }
    const QStringList names = namesIn(abs("disk"));
    try {
        ZipArchiveFile::create(path("disk/archive.zip"), {path("big.bin")});
        ADD_FAILURE() << "an archive was saved on a full disk";
    } catch (const std::exception& e) {
        EXPECT_TRUE(QString::fromUtf8(e.what()).contains(reason(ENOSPC))) << e.what();
    }
    EXPECT_EQ(namesIn(abs("disk")), names);
}

} // namespace
