#include "text/FileTypeName.h"

#include <gtest/gtest.h>

namespace {

TEST(FileTypeName, NamesKnownTypesFromTheMimeDatabase) {
    EXPECT_EQ(FileTypeName(QStringLiteral(".txt")), QStringLiteral("plain text document"));
    EXPECT_EQ(FileTypeName(QStringLiteral(".PNG")), QStringLiteral("PNG image"));
    EXPECT_EQ(FileTypeName(QStringLiteral(".pdf")), QStringLiteral("PDF document"));
}

TEST(FileTypeName, NamesUnknownTypesAfterTheirExtension) {
    EXPECT_EQ(FileTypeName(QStringLiteral(".qqzx")), QStringLiteral("QQZX File"));
    EXPECT_EQ(FileTypeName(QString()), QStringLiteral("File"));
    EXPECT_EQ(FileTypeName(QStringLiteral(".")), QStringLiteral("File"));
    EXPECT_LE(FileTypeName(QStringLiteral(".") + QString(200, QLatin1Char('z'))).size(), 80);
}

TEST(FileTypeName, TheCacheAnswersLikeTheLookup) {
    FileTypeNameCache cache;
    const QString& first = cache.name(QStringLiteral(".txt"));
    EXPECT_EQ(first, FileTypeName(QStringLiteral(".txt")));
    EXPECT_EQ(&cache.name(QStringLiteral(".txt")), &first);
    EXPECT_EQ(cache.name(QString()), QStringLiteral("File"));
}

} // namespace
