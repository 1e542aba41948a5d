#include "platform/FileDetails.h"
#include "platform/FileName.h"
#include "text/DateText.h"
#include "text/FileHelpers.h"
#include "support/TempTree.h"

#include <gtest/gtest.h>

namespace {

TEST(FileDetails, MatchTheTextsOfTheFileList) {
    TempTree tree;
    tree.makeFile("docs/report 1.pdf", QByteArray(1536, 'p'), 1600000000);
    tree.setMode("docs/report 1.pdf", 0444);
    const QString path = tree.root() + QStringLiteral("/docs/report 1.pdf");
    const std::optional<FileDetails> details = readFileDetails(path);
    ASSERT_TRUE(details.has_value());
    EXPECT_EQ(details->name, QStringLiteral("report 1.pdf"));
    EXPECT_EQ(details->folder, tree.root() + QStringLiteral("/docs/"));
    EXPECT_EQ(details->size, 1536);
    EXPECT_EQ(details->sizeText, FormatSize(1536));
    EXPECT_EQ(details->attributes, QStringLiteral("RA"));
    EXPECT_EQ(details->typeName, QStringLiteral("PDF document"));
    // 1600000000 is 2020-09-13 14:26:40 in Berlin (summer time).
    EXPECT_EQ(details->modified, DateTextFormat::system().formatFileTime((1600000000LL + 11644473600LL) * 10000000LL));
    EXPECT_FALSE(details->created.isEmpty());
}

TEST(FileDetails, AnOddNameIsFoundAndAMissingFileGivesNothing) {
    TempTree tree;
    tree.makeFile("bad\xff.x", "12345");
    const std::optional<FileDetails> odd =
        readFileDetails(platform::decodeFileName(QByteArray::fromStdString(tree.abs("bad\xff.x"))));
    ASSERT_TRUE(odd.has_value());
    EXPECT_EQ(odd->size, 5);
    EXPECT_EQ(odd->typeName, QStringLiteral("X File"));
    EXPECT_FALSE(readFileDetails(tree.root() + QStringLiteral("/nothing.txt")).has_value());
    EXPECT_FALSE(readFileDetails(tree.root() + QStringLiteral("/missing/x.txt")).has_value());
    EXPECT_FALSE(readFileDetails(QStringLiteral("relative.txt")).has_value());
    ::unlink(tree.abs("bad\xff.x").c_str());
}

} // namespace
