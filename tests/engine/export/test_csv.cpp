#include "export/CsvText.h"
#include "export/CsvWriter.h"
#include "support/FailingDevice.h"
#include "support/FileProbe.h"
#include "support/TempTree.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/resource.h>

namespace {

TEST(CsvText, FieldsAreQuotedForQuotesCommasAndCodesUpTo32Only) {
    EXPECT_EQ(csvField(QStringLiteral("/home/ann/a.txt")), QStringLiteral("/home/ann/a.txt"));
    EXPECT_EQ(csvField(QString()), QString());
    EXPECT_EQ(csvField(QStringLiteral("/home/ann/My Files/a.txt")), QStringLiteral("\"/home/ann/My Files/a.txt\""));
    EXPECT_EQ(csvField(QStringLiteral("a,b")), QStringLiteral("\"a,b\""));
    EXPECT_EQ(csvField(QStringLiteral("say \"hi\"")), QStringLiteral("\"say \"\"hi\"\"\""));
    EXPECT_EQ(csvField(QStringLiteral("\"")), QStringLiteral("\"\"\"\""));
    EXPECT_EQ(csvField(QStringLiteral("tab\there")), QStringLiteral("\"tab\there\""));
    EXPECT_EQ(csvField(QStringLiteral("line\nbreak")), QStringLiteral("\"line\nbreak\""));
    EXPECT_EQ(csvField(QString(QChar(1))), QStringLiteral("\"\x01\""));
    EXPECT_EQ(csvField(QStringLiteral(" ")), QStringLiteral("\" \""));
    // Above code 32 nothing quotes: "!" (33), DEL, a no-break space, letters of any script, ";".
    for (const QString& plain : {QStringLiteral("!"), QString(QChar(127)), QString(QChar(0xA0)),
                                 QString::fromUtf8("日本語"), QString::fromUtf8("Ωmega;x'y"), QString(QChar(0xDCFF))})
        EXPECT_EQ(csvField(plain), plain);
}

TEST(CsvText, LinesJoinFieldsAndEndEveryLineWithCrLf) {
    EXPECT_EQ(csvLine({QStringLiteral("Filename"), QStringLiteral("Date Created"), QStringLiteral("Date modified"),
                       QStringLiteral("Size"), QStringLiteral("Attribs")}),
              QStringLiteral("Filename,\"Date Created\",\"Date modified\",Size,Attribs"));
    EXPECT_EQ(csvLine({QStringLiteral("a"), QString(), QStringLiteral("b")}), QStringLiteral("a,,b"));
    EXPECT_EQ(csvLine({QString()}), QString());
    EXPECT_EQ(csvLine({QStringLiteral("/x/y z.txt"), QStringLiteral("01/02/2020 10:11"), QStringLiteral("1.5 KB"),
                       QStringLiteral("RA")}),
              QStringLiteral("\"/x/y z.txt\",\"01/02/2020 10:11\",\"1.5 KB\",RA"));
    EXPECT_EQ(linesText({QStringLiteral("one"), QStringLiteral("two")}), QStringLiteral("one\r\ntwo\r\n"));
    EXPECT_EQ(linesText({QString()}), QStringLiteral("\r\n"));
    EXPECT_EQ(linesText({}), QString());
}

TEST(CsvWriter, WritesUtf16LeAfterTheByteOrderMarkUnitForUnit) {
    // A character beyond the BMP is a surrogate pair; a lone surrogate from an undecodable name stays itself.
    const QString text =
        QString::fromUtf8("Type,Size\r\n.txt,\"1 KB\"\r\n\xf0\x9f\x98\x80") + QChar(0xDCFF) + QStringLiteral("\r\n");
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    CsvWriter writer;
    ASSERT_TRUE(writer.write(buffer, text));
    EXPECT_EQ(buffer.data(), utf16le(text));
    EXPECT_TRUE(buffer.data().endsWith(QByteArray("\x3D\xD8\x00\xDE\xFF\xDC\r\0\n\0", 10)));

    QBuffer empty;
    empty.open(QIODevice::WriteOnly);
    ASSERT_TRUE(writer.write(empty, QString()));
    EXPECT_EQ(empty.data(), QByteArray("\xFF\xFE"));

    // A long text goes out in slices, every unit of it.
    QString big;
    for (int i = 0; i < 50000; ++i)
        big += QStringLiteral("row %1\r\n").arg(i);
    QBuffer large;
    large.open(QIODevice::WriteOnly);
    ASSERT_TRUE(writer.write(large, big));
    EXPECT_EQ(large.data(), utf16le(big));
}

TEST(CsvWriter, ADeviceThatFailsIsReported) {
    FailingDevice device(100);
    CsvWriter writer;
    QString text;
    for (int i = 0; i < 100000; ++i)
        text += QStringLiteral("x");
    EXPECT_FALSE(writer.write(device, text));
    EXPECT_EQ(writer.errorString(), QStringLiteral("No space left on device"));
    EXPECT_EQ(device.written(), utf16le(text).left(100));
}

class CsvFileTest : public ::testing::Test {
protected:
    QString path(const QString& name) const { return tree.root() + QLatin1Char('/') + name; }
    QStringList names() const {
        return QDir(tree.root()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    }

    TempTree tree;
};

TEST_F(CsvFileTest, SaveReplacesAnExistingFileWithoutLeavingATemporaryOne) {
    const QString file = path(QStringLiteral("types.csv"));
    tree.makeFile("types.csv", QByteArray(5000, 'o'));
    CsvWriter writer;
    const QString text = QStringLiteral("Type,Description,Count,Size\r\n.txt,Text,2,\"1 KB\"\r\n");
    ASSERT_TRUE(writer.save(file, text)) << writer.errorString().toStdString();
    EXPECT_EQ(contentOf(file), utf16le(text));
    EXPECT_EQ(names(), QStringList{QStringLiteral("types.csv")});
}

TEST_F(CsvFileTest, AFailedSaveLeavesTheEarlierFileIntact) {
    const QString file = path(QStringLiteral("files.csv"));
    tree.makeFile("files.csv", "earlier");
    // Cap the size a file of this process may grow to, so the write fails part-way.
    struct rlimit old {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit capped = old;
    capped.rlim_cur = 1000;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &capped), 0);
    CsvWriter writer;
    const bool saved = writer.save(file, QString(100000, QLatin1Char('x')));
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(saved);
    EXPECT_EQ(writer.errorString().toStdString(),
              QStringLiteral("Cannot create file \"%1\". File too large").arg(file).toStdString());
    EXPECT_EQ(contentOf(file), QByteArray("earlier"));
    EXPECT_EQ(names(), QStringList{QStringLiteral("files.csv")});
}

TEST_F(CsvFileTest, AFileThatCannotBeCreatedNamesPathAndReason) {
    const QString file = path(QStringLiteral("missing/folder.csv"));
    CsvWriter writer;
    EXPECT_FALSE(writer.save(file, QStringLiteral("a\r\n")));
    EXPECT_EQ(writer.errorString(), QStringLiteral("Cannot create file \"%1\". No such file or directory").arg(file));
    EXPECT_TRUE(names().isEmpty());
}

} // namespace
