#include "export/ZipArchiveFile.h"
#include "export/ZipArchivePath.h"
#include "export/ZipCodePage.h"
#include "export/ZipWriter.h"
#include "platform/FileName.h"
#include "support/FailingDevice.h"
#include "support/KillMidway.h"
#include "support/TempTree.h"
#include "support/Utf8.h"

#include <QBuffer>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

namespace {

quint16 get16(const QByteArray& b, qsizetype at) {
    return static_cast<quint16>(quint8(b[at]) | (quint8(b[at + 1]) << 8));
}
quint32 get32(const QByteArray& b, qsizetype at) {
    return get16(b, at) | (quint32(get16(b, at + 2)) << 16);
}

// One entry as the archive's two headers describe it.
struct ReadEntry {
    // central directory record
    quint16 madeBy = 0, neededCentral = 0, flagsCentral = 0, methodCentral = 0, timeCentral = 0, dateCentral = 0;
    quint32 crcCentral = 0, compressedCentral = 0, sizeCentral = 0, external = 0, offset = 0;
    quint16 internal = 0, disk = 0, commentLength = 0;
    QByteArray name, extraCentral;
    // local header
    quint32 localSignature = 0;
    quint16 needed = 0, flags = 0, method = 0, time = 0, date = 0;
    quint32 crc = 0, compressed = 0, size = 0;
    QByteArray localName, extra, data;
};

// A reader of our own: the end record, the central directory, each local header and its data.
struct ReadArchive {
    std::vector<ReadEntry> entries;
    quint16 countOnDisk = 0, count = 0;
    quint32 directorySize = 0, directoryOffset = 0;
    qsizetype directoryEnd = 0, endRecordAt = 0;
};

ReadArchive readArchive(const QByteArray& zip) {
    ReadArchive archive;
    archive.endRecordAt = zip.lastIndexOf(QByteArray("PK\x05\x06", 4));
    EXPECT_EQ(archive.endRecordAt, zip.size() - 22) << "the end record closes the file and has no comment";
    if (archive.endRecordAt < 0)
        return archive;
    const qsizetype e = archive.endRecordAt;
    EXPECT_EQ(get16(zip, e + 4), 0);
    EXPECT_EQ(get16(zip, e + 6), 0);
    archive.countOnDisk = get16(zip, e + 8);
    archive.count = get16(zip, e + 10);
    archive.directorySize = get32(zip, e + 12);
    archive.directoryOffset = get32(zip, e + 16);
    EXPECT_EQ(get16(zip, e + 20), 0);
    qsizetype at = archive.directoryOffset;
    for (int i = 0; i < archive.count; ++i) {
        ReadEntry r;
        EXPECT_EQ(get32(zip, at), 0x02014b50u);
        r.madeBy = get16(zip, at + 4);
        r.neededCentral = get16(zip, at + 6);
        r.flagsCentral = get16(zip, at + 8);
        r.methodCentral = get16(zip, at + 10);
        r.timeCentral = get16(zip, at + 12);
        r.dateCentral = get16(zip, at + 14);
        r.crcCentral = get32(zip, at + 16);
        r.compressedCentral = get32(zip, at + 20);
        r.sizeCentral = get32(zip, at + 24);
        const quint16 nameLength = get16(zip, at + 28);
        const quint16 extraLength = get16(zip, at + 30);
        r.commentLength = get16(zip, at + 32);
        r.disk = get16(zip, at + 34);
        r.internal = get16(zip, at + 36);
        r.external = get32(zip, at + 38);
        r.offset = get32(zip, at + 42);
        r.name = zip.mid(at + 46, nameLength);
        r.extraCentral = zip.mid(at + 46 + nameLength, extraLength);
        at += 46 + nameLength + extraLength + r.commentLength;

        const qsizetype l = r.offset;
        r.localSignature = get32(zip, l);
        r.needed = get16(zip, l + 4);
        r.flags = get16(zip, l + 6);
        r.method = get16(zip, l + 8);
        r.time = get16(zip, l + 10);
        r.date = get16(zip, l + 12);
        r.crc = get32(zip, l + 14);
        r.compressed = get32(zip, l + 18);
        r.size = get32(zip, l + 22);
        const quint16 localNameLength = get16(zip, l + 26);
        const quint16 localExtraLength = get16(zip, l + 28);
        r.localName = zip.mid(l + 30, localNameLength);
        r.extra = zip.mid(l + 30 + localNameLength, localExtraLength);
        r.data = zip.mid(l + 30 + localNameLength + localExtraLength, r.compressed);
        archive.entries.push_back(r);
    }
    archive.directoryEnd = at;
    return archive;
}

QByteArray inflateRaw(const QByteArray& data, qsizetype size) {
    QByteArray out(size, Qt::Uninitialized);
    z_stream z{};
    EXPECT_EQ(inflateInit2(&z, -MAX_WBITS), Z_OK);
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.constData()));
    z.avail_in = static_cast<uInt>(data.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    EXPECT_EQ(inflate(&z, Z_FINISH), Z_STREAM_END);
    EXPECT_EQ(z.avail_in, 0u) << "the data ends where the stream ends";
    inflateEnd(&z);
    return out;
}

// What zlib makes of the bytes at level 1 without a header: the entry's data must be exactly this.
QByteArray deflateLevel1(const QByteArray& data) {
    z_stream z{};
    EXPECT_EQ(deflateInit2(&z, 1, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY), Z_OK);
    QByteArray out(static_cast<qsizetype>(deflateBound(&z, static_cast<uLong>(data.size()))), Qt::Uninitialized);
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.constData()));
    z.avail_in = static_cast<uInt>(data.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    EXPECT_EQ(deflate(&z, Z_FINISH), Z_STREAM_END);
    out.resize(out.size() - static_cast<qsizetype>(z.avail_out));
    deflateEnd(&z);
    return out;
}

quint32 crcOf(const QByteArray& data) {
    return static_cast<quint32>(crc32(0, reinterpret_cast<const Bytef*>(data.constData()), uInt(data.size())));
}

QByteArray expectedExtra(const QString& name) {
    QByteArray e("\x4E\x55", 2);
    const auto units = static_cast<quint32>(name.size());
    e += char((2 * units + 8) & 0xFF);
    e += char((2 * units + 8) >> 8);
    e += "NUCX";
    for (int shift = 0; shift < 32; shift += 8)
        e += char((units >> shift) & 0xFF);
    for (const QChar c : name) {
        e += char(c.unicode() & 0xFF);
        e += char(c.unicode() >> 8);
    }
    return e;
}

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

class ZipTest : public ::testing::Test {
protected:
    QString path(const QString& rel) const { return tree.root() + QLatin1Char('/') + rel; }
    void make(const QString& rel, const QByteArray& bytes, qint64 mtime = 1700000000) {
        tree.makeFile(rel.toStdString(), bytes, mtime);
    }
    QStringList folderListing() const {
        return QDir(tree.root()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
    }

    TempTree tree;
};

TEST(ZipArchivePathTest, ExtensionIsReplacedOnlyInTheFileName) {
    EXPECT_EQ(zipArchivePath(u("/data/report.txt")), u("/data/report.zip"));
    EXPECT_EQ(zipArchivePath(u("/data/README")), u("/data/README.zip"));
    EXPECT_EQ(zipArchivePath(u("/old.files/README")), u("/old.files/README.zip"));
    EXPECT_EQ(zipArchivePath(u("/data/archive.tar.gz")), u("/data/archive.tar.zip"));
    EXPECT_EQ(zipArchivePath(u("/data/a.zip")), u("/data/a.zip"));
    EXPECT_EQ(zipArchivePath(u("/data/.profile")), u("/data/.zip"));   // the rule takes the leading dot too
    EXPECT_EQ(zipArchivePath(u("/data/x:y.txt")), u("/data/x:y.zip")); // ":" is a name character here
}

TEST_F(ZipTest, FreeArchivePathCountsUpPastTakenNames) {
    const QString target = path(u("report.zip"));
    EXPECT_EQ(freeArchivePath(target), target);
    make(u("report.zip"), "old");
    EXPECT_EQ(freeArchivePath(target), path(u("report (2).zip")));
    make(u("report (2).zip"), "old");
    tree.makeLink("nowhere", "report (3).zip"); // a dangling link is taken too
    EXPECT_EQ(freeArchivePath(target), path(u("report (4).zip")));

    make(u("100% sure %1.zip"), "x");
    EXPECT_EQ(freeArchivePath(path(u("100% sure %1.zip"))), path(u("100% sure %1 (2).zip")));
}

TEST(ZipCodePageTest, NamesThatRoundTripGetCp437BytesOthersNothing) {
    EXPECT_EQ(encodeCp437(u"report.txt"), QByteArray("report.txt"));
    EXPECT_EQ(encodeCp437(u"café.txt"), QByteArray("caf\x82.txt"));
    EXPECT_EQ(encodeCp437(u"Ñandú.txt"), QByteArray("\xA5"
                                                    "and\xA3.txt"));
    EXPECT_EQ(encodeCp437(u"ß½±°.txt"), QByteArray("\xE1\xAB\xF1\xF8.txt"));
    EXPECT_FALSE(encodeCp437(u"€.txt").has_value()); // not in CP437
    EXPECT_FALSE(encodeCp437(u"日本.txt").has_value());
    EXPECT_FALSE(encodeCp437(u"cafe\u0301.txt").has_value());      // decomposed accent
    EXPECT_FALSE(encodeCp437(QString(QChar(0xDC80))).has_value()); // a byte of a name that was no UTF-8

    // Every byte has its character, and each character leads back to its byte.
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all += char(b);
    const QString text = decodeCp437(all);
    ASSERT_EQ(text.size(), 256);
    EXPECT_EQ(text.left(128), QString::fromLatin1(all.left(128)));
    EXPECT_EQ(text.at(0x82), QChar(0x00E9));
    EXPECT_EQ(text.at(0x9E), QChar(0x20A7));
    EXPECT_EQ(text.at(0xFF), QChar(0x00A0));
    EXPECT_EQ(encodeCp437(text), all);
}

TEST_F(ZipTest, EveryHeaderFieldOfEveryEntry) {
    const QByteArray text = QByteArray("The quick brown fox jumps over the lazy dog. ").repeated(400);
    QByteArray binary(70000, Qt::Uninitialized);
    for (qsizetype i = 0; i < binary.size(); ++i)
        binary[i] = char((i * 7919 + (i >> 5)) & 0xFF);
    const qint64 mtime = QDateTime(QDate(2021, 6, 15), QTime(13, 45, 31)).toSecsSinceEpoch();
    const struct {
        QString name;
        QByteArray bytes;
        bool cp437;
        quint32 attributes;
    } files[] = {
        {u("report.txt"), text, true, 0x20},   {u("café.txt"), binary, true, 0x20},
        {u("Ñandú.txt"), "ñ", true, 0x20},     {u("日本.txt"), "nihon", false, 0x20},
        {u("€.txt"), "euro", false, 0x20},     {u(".hidden"), "hidden", true, 0x22},
        {u("readonly.txt"), "ro", true, 0x21}, {u("empty"), "", true, 0x20},
    };
    QStringList paths;
    for (const auto& f : files) {
        make(u("in/") + f.name, f.bytes, mtime);
        paths << path(u("in/") + f.name);
    }
    tree.setMode("in/readonly.txt", 0444);

    QBuffer buffer;
    buffer.open(QIODevice::ReadWrite);
    ZipWriter writer(&buffer);
    for (const QString& p : paths)
        ASSERT_TRUE(writer.addFile(p, p.mid(p.lastIndexOf(QLatin1Char('/')) + 1))) << qPrintable(writer.errorString());
    ASSERT_TRUE(writer.finish()) << qPrintable(writer.errorString());
    const QByteArray zip = buffer.data();

    const ReadArchive archive = readArchive(zip);
    ASSERT_EQ(archive.entries.size(), std::size(files));
    EXPECT_EQ(archive.count, std::size(files));
    EXPECT_EQ(archive.countOnDisk, std::size(files));
    EXPECT_EQ(archive.directoryEnd, archive.endRecordAt);
    EXPECT_EQ(qsizetype(archive.directoryOffset + archive.directorySize), archive.endRecordAt);

    const quint16 dosTime = (13 << 11) | (45 << 5) | (31 / 2);
    const quint16 dosDate = ((2021 - 1980) << 9) | (6 << 5) | 15;
    qsizetype expectedOffset = 0;
    for (std::size_t i = 0; i < std::size(files); ++i) {
        const auto& f = files[i];
        const ReadEntry& r = archive.entries[i];
        SCOPED_TRACE(qPrintable(f.name));
        const QByteArray name = f.cp437 ? *encodeCp437(f.name) : f.name.toUtf8();
        const quint16 flags = f.cp437 ? 0 : 0x0800;

        EXPECT_EQ(r.offset, expectedOffset) << "entries follow each other in order";
        EXPECT_EQ(r.localSignature, 0x04034b50u);
        EXPECT_EQ(r.needed, 20);
        EXPECT_EQ(r.flags, flags);
        EXPECT_EQ(r.method, 8);
        EXPECT_EQ(r.time, dosTime);
        EXPECT_EQ(r.date, dosDate);
        EXPECT_EQ(r.crc, crcOf(f.bytes));
        EXPECT_EQ(r.size, quint32(f.bytes.size()));
        EXPECT_EQ(r.compressed, quint32(r.data.size()));
        EXPECT_EQ(r.localName, name);
        EXPECT_EQ(r.extra, expectedExtra(f.name));
        EXPECT_EQ(r.data, deflateLevel1(f.bytes)) << "deflate at level 1";
        EXPECT_EQ(inflateRaw(r.data, f.bytes.size()), f.bytes);

        EXPECT_EQ(r.madeBy, 20) << "format 2.0 on MS-DOS";
        EXPECT_EQ(r.neededCentral, 20);
        EXPECT_EQ(r.flagsCentral, flags);
        EXPECT_EQ(r.methodCentral, 8);
        EXPECT_EQ(r.timeCentral, dosTime);
        EXPECT_EQ(r.dateCentral, dosDate);
        EXPECT_EQ(r.crcCentral, r.crc);
        EXPECT_EQ(r.compressedCentral, r.compressed);
        EXPECT_EQ(r.sizeCentral, r.size);
        EXPECT_EQ(r.name, name);
        EXPECT_EQ(r.extraCentral, expectedExtra(f.name));
        EXPECT_EQ(r.commentLength, 0);
        EXPECT_EQ(r.disk, 0);
        EXPECT_EQ(r.internal, 0);
        EXPECT_EQ(r.external, f.attributes);
        expectedOffset = r.offset + 30 + r.localName.size() + r.extra.size() + r.data.size();
    }
    EXPECT_EQ(expectedOffset, qsizetype(archive.directoryOffset));
    EXPECT_EQ(archive.entries[0].extra.left(8), QByteArray("\x4E\x55\x1C\x00NUCX", 8)); // 10 units: 28 bytes
}

TEST_F(ZipTest, StoredNamesHoldNoFolderSeparatorNorDriveAndStayApart) {
    const struct {
        std::string file;
        QByteArray stored;
        quint16 flags;
    } cases[] = {
        {"\\..\\..\\evil.txt", "_.._.._evil.txt", 0},
        {"C:drive.txt", "C_drive.txt", 0},
        {"\xe6\x97\xa5\\a:b.txt", "\xe6\x97\xa5_a_b.txt", 0x0800},
        {"bad\xff.txt", "bad%FF.txt", 0x0800},
        {"bad\xfe.txt", "bad%FE.txt", 0x0800},
    };
    QBuffer buffer;
    buffer.open(QIODevice::ReadWrite);
    ZipWriter writer(&buffer);
    for (const auto& c : cases) {
        tree.makeFile("in/" + c.file, "x");
        const QString file = platform::decodeFileName(QByteArray::fromStdString(tree.abs("in/" + c.file)));
        ASSERT_TRUE(writer.addFile(file, platform::decodeFileName(QByteArray::fromStdString(c.file))))
            << qPrintable(writer.errorString());
    }
    ASSERT_TRUE(writer.finish());
    const ReadArchive archive = readArchive(buffer.data());
    ASSERT_EQ(archive.entries.size(), std::size(cases));
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const auto& c = cases[i];
        const ReadEntry& r = archive.entries[i];
        SCOPED_TRACE(c.stored.constData());
        EXPECT_EQ(r.localName, c.stored);
        EXPECT_EQ(r.name, c.stored);
        EXPECT_EQ(r.flags, c.flags);
        EXPECT_EQ(r.flagsCentral, c.flags);
        EXPECT_EQ(r.madeBy, 20);
        // The exact name, backslash, colon and undecodable byte included.
        const QByteArray exact = expectedExtra(platform::decodeFileName(QByteArray::fromStdString(c.file)));
        EXPECT_EQ(r.extra, exact);
        EXPECT_EQ(r.extraCentral, exact);
    }
}

TEST_F(ZipTest, DatesOutsideTheMsDosRangeAreClamped) {
    make(u("old.txt"), "x", QDateTime(QDate(1970, 1, 2), QTime(0, 0)).toSecsSinceEpoch());
    QBuffer buffer;
    buffer.open(QIODevice::ReadWrite);
    ZipWriter writer(&buffer);
    ASSERT_TRUE(writer.addFile(path(u("old.txt")), u("old.txt")));
    ASSERT_TRUE(writer.finish());
    const ReadArchive archive = readArchive(buffer.data());
    ASSERT_EQ(archive.entries.size(), 1u);
    EXPECT_EQ(archive.entries[0].date, (1 << 5) | 1); // 1 January 1980
    EXPECT_EQ(archive.entries[0].time, 0);
}

TEST_F(ZipTest, ArchiveFileIsSavedBesideWithoutReplacingAnything) {
    make(u("a.zip"), "an archive that is packed");
    make(u("b.txt"), "bee");
    make(u("a (2).zip"), "unrelated");
    std::vector<std::pair<QString, ZipWriter::Phase>> progress;
    const QString saved = ZipArchiveFile::create(
        zipArchivePath(path(u("a.zip"))), {path(u("a.zip")), path(u("b.txt"))},
        [&](const QString& p, double, ZipWriter::Phase phase) { progress.emplace_back(p, phase); });

    EXPECT_EQ(saved, path(u("a (3).zip")));
    EXPECT_EQ(readAll(path(u("a.zip"))), QByteArray("an archive that is packed"));
    EXPECT_EQ(readAll(path(u("a (2).zip"))), QByteArray("unrelated"));
    const ReadArchive archive = readArchive(readAll(saved));
    ASSERT_EQ(archive.entries.size(), 2u);
    EXPECT_EQ(archive.entries[0].name, QByteArray("a.zip"));
    EXPECT_EQ(inflateRaw(archive.entries[0].data, archive.entries[0].size), QByteArray("an archive that is packed"));
    EXPECT_EQ(archive.entries[1].name, QByteArray("b.txt"));
    EXPECT_EQ(folderListing(), (QStringList{u("a (2).zip"), u("a (3).zip"), u("a.zip"), u("b.txt")}))
        << "no temporary file is left";

    // Each file is announced by its full path, first and last.
    ASSERT_GE(progress.size(), 4u);
    EXPECT_EQ(progress.front(), std::make_pair(path(u("a.zip")), ZipWriter::Phase::Start));
    EXPECT_EQ(progress.back(), std::make_pair(path(u("b.txt")), ZipWriter::Phase::End));

    // A new file's permissions follow the umask, not those of a private temporary file.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    EXPECT_EQ(QFileInfo(saved).permissions() & (QFile::ReadGroup | QFile::ReadOther),
              QFile::Permissions((mask & S_IRGRP ? 0 : QFile::ReadGroup) | (mask & S_IROTH ? 0 : QFile::ReadOther)));
}

TEST_F(ZipTest, FailuresLeaveNoArchiveBehind) {
    make(u("here.txt"), "here");
    make(u("big.bin"), "");
    tree.makeSparse("big.bin", 0xFFFFFFFFll);
    tree.makeDir("folder");
    ASSERT_EQ(::mkfifo(QFile::encodeName(path(u("fifo"))).constData(), 0644), 0);
    const QStringList before = folderListing();

    const struct {
        QString second;
        QString message;
    } cases[] = {
        {path(u("gone.txt")), u("Cannot open \"%1\": No such file or directory").arg(path(u("gone.txt")))},
        {path(u("big.bin")), u("Cannot add \"%1\": files of 4 GiB or more need Zip64, which this archive does not use")
                                 .arg(path(u("big.bin")))},
        {path(u("folder")), u("Cannot add \"%1\": it is not a regular file").arg(path(u("folder")))},
        {path(u("fifo")), u("Cannot add \"%1\": it is not a regular file").arg(path(u("fifo")))},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(qPrintable(c.second));
        try {
            ZipArchiveFile::create(path(u("here.zip")), {path(u("here.txt")), c.second});
            ADD_FAILURE() << "no error";
        } catch (const std::runtime_error& e) {
            EXPECT_EQ(QString::fromStdString(e.what()), c.message);
        }
        EXPECT_EQ(folderListing(), before);
    }

    // A folder that cannot take the archive.
    try {
        ZipArchiveFile::create(path(u("missing/x.zip")), {path(u("here.txt"))});
        ADD_FAILURE() << "no error";
    } catch (const std::runtime_error& e) {
        EXPECT_EQ(QString::fromStdString(e.what()),
                  u("Cannot create the archive in \"%1\": No such file or directory").arg(path(u("missing"))));
    }
}

TEST_F(ZipTest, DeviceFailuresAreReportedWithTheirReason) {
    make(u("data.txt"), QByteArray("some text to pack ").repeated(50));
    QBuffer whole;
    whole.open(QIODevice::ReadWrite);
    ZipWriter good(&whole);
    ASSERT_TRUE(good.addFile(path(u("data.txt")), u("data.txt")) && good.finish());
    const qint64 size = whole.size();
    // In the local header, in the data, in the central directory and in the end record.
    for (const qint64 limit : {qint64(10), qint64(70), size - 40, size - 5}) {
        SCOPED_TRACE(limit);
        FailingDevice device(limit);
        ZipWriter writer(&device);
        const bool ok = writer.addFile(path(u("data.txt")), u("data.txt")) && writer.finish();
        EXPECT_FALSE(ok);
        EXPECT_EQ(writer.errorString(), u("Cannot write the archive: No space left on device"));
    }
}

TEST_F(ZipTest, AnArchiveKilledMidwayLeavesNothingBehind) {
    make(u("first.txt"), "first");
    tree.makeSparse("big.bin", 64 * 1024 * 1024);
    const QStringList before = folderListing();
    EXPECT_TRUE(killedMidway([&](const std::function<void()>& here) {
        ZipArchiveFile::create(path(u("first.zip")), {path(u("first.txt")), path(u("big.bin"))},
                               [&here](const QString&, double percent, ZipWriter::Phase phase) {
                                   if (phase == ZipWriter::Phase::Process && percent >= 10)
                                       here();
                               });
    }));
    EXPECT_EQ(folderListing(), before);
}

TEST_F(ZipTest, UnzipAcceptsTheArchiveAndRestoresTheNames) {
    const QString unzip = QStandardPaths::findExecutable(u("unzip"));
    if (unzip.isEmpty())
        GTEST_SKIP() << "unzip is not installed";
    const QStringList names{u("report.txt"), u("café.txt"), u("Ñandú.txt"),     u("日本.txt"),
                            u("€.txt"),      u(".hidden"),  u("with space.txt")};
    QStringList paths;
    for (const QString& name : names) {
        make(u("in/") + name, name.toUtf8().repeated(100));
        paths << path(u("in/") + name);
    }
    const QString saved = ZipArchiveFile::create(path(u("out.zip")), paths);

    QProcess test;
    test.start(unzip, {u("-t"), saved});
    ASSERT_TRUE(test.waitForFinished(30000));
    const QString output = QString::fromUtf8(test.readAllStandardOutput());
    EXPECT_EQ(test.exitCode(), 0) << qPrintable(output);
    EXPECT_TRUE(output.contains(u("No errors detected"))) << qPrintable(output);

    QProcess extract;
    extract.start(unzip, {u("-q"), saved, u("-d"), path(u("out"))});
    ASSERT_TRUE(extract.waitForFinished(30000));
    EXPECT_EQ(extract.exitCode(), 0) << extract.readAllStandardError().constData();
    // unzip turns the CP437 names of an MS-DOS archive into Latin-1 bytes and keeps UTF-8 names as
    // they are, so each file must be found under exactly those bytes.
    for (const QString& name : names) {
        const bool cp437 = encodeCp437(name).has_value();
        const QByteArray onDisk = QFile::encodeName(path(u("out/"))) + (cp437 ? name.toLatin1() : name.toUtf8());
        const int fd = ::open(onDisk.constData(), O_RDONLY);
        EXPECT_GE(fd, 0) << qPrintable(name);
        if (fd < 0)
            continue;
        QFile file;
        ASSERT_TRUE(file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle));
        EXPECT_EQ(file.readAll(), name.toUtf8().repeated(100)) << qPrintable(name);
        // The temporary folder cannot remove a name that is no UTF-8 by itself.
        ::unlink(onDisk.constData());
    }
}

} // namespace
