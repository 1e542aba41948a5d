#include "records/TDataIndexList.h"
#include "records/TDataRec.h"
#include "records/TFileRec.h"
#include "walk/TSearchRecW.h"

#include <gtest/gtest.h>

namespace {

TSearchRecW entry(const QString& name, qint64 size = 0) {
    TSearchRecW rec;
    rec.Name = name;
    rec.Size = size;
    rec.FindData.nFileSizeHigh = quint32(quint64(size) >> 32);
    rec.FindData.nFileSizeLow = quint32(quint64(size));
    rec.FindData.ftCreationTime = 111;
    rec.FindData.ftLastWriteTime = 222;
    rec.Attr = 0x21;
    return rec;
}

TEST(TDataRec, KeepsTheFirstSpellingAndCountsOnlyItsOwnExtension) {
    TDataRec rec(entry(QStringLiteral("Report.TXT"), 10));
    EXPECT_EQ(rec.Ext, QStringLiteral(".TXT"));
    EXPECT_EQ(rec.Count, 1);
    EXPECT_EQ(rec.Size, 10);

    EXPECT_TRUE(rec.AddFile(entry(QStringLiteral("notes.txt"), 5)));
    EXPECT_EQ(rec.Ext, QStringLiteral(".TXT"));
    EXPECT_EQ(rec.Count, 2);
    EXPECT_EQ(rec.Size, 15);

    EXPECT_FALSE(rec.AddFile(entry(QStringLiteral("image.png"), 100)));
    EXPECT_EQ(rec.Count, 2);
    EXPECT_EQ(rec.Size, 15);
}

TEST(TDataRec, SumsSizesBeyond32Bits) {
    TDataRec rec(entry(QStringLiteral("a.iso"), qint64(3) << 31));
    rec.AddFile(entry(QStringLiteral("b.iso"), qint64(3) << 31));
    EXPECT_EQ(rec.Size, qint64(3) << 32);
}

TEST(TDataIndexList, FindsKeysIgnoringCaseAndReturnsTheStoredIndex) {
    TDataIndexList list;
    EXPECT_EQ(list.FindExt(QStringLiteral(".txt")), -1);
    list.Add(QStringLiteral(".txt"), 7);
    list.Add(QString(), 3);
    list.Add(QString::fromUtf8(".ÉTÉ"), 4);
    EXPECT_EQ(list.FindExt(QStringLiteral(".TXT")), 7);
    EXPECT_EQ(list.FindExt(QStringLiteral(".Txt")), 7);
    EXPECT_EQ(list.FindExt(QString()), 3);
    EXPECT_EQ(list.FindExt(QString::fromUtf8(".été")), 4);
    EXPECT_EQ(list.FindExt(QStringLiteral(".tx")), -1);
    EXPECT_EQ(list.FindExt(QStringLiteral(".")), -1);
    list.Clear();
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.FindExt(QStringLiteral(".txt")), -1);
}

TEST(TFileRec, JoinsFolderAndNameAndKeepsTheRawTimes) {
    const TFileRec a(entry(QStringLiteral("a.txt"), 42), QStringLiteral("/data"));
    EXPECT_EQ(a.FileName, QStringLiteral("/data/a.txt"));
    const TFileRec b(entry(QStringLiteral("a.txt"), 42), QStringLiteral("/"));
    EXPECT_EQ(b.FileName, QStringLiteral("/a.txt"));
    EXPECT_EQ(a.Created, 111);
    EXPECT_EQ(a.Modified, 222);
    EXPECT_EQ(a.Size, 42);
    EXPECT_EQ(a.Attr, 0x21u);
}

} // namespace
