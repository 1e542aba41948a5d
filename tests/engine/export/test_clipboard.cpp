#include "export/ClipboardData.h"
#include "platform/FileName.h"
#include "platform/FileUri.h"

#include <QMimeData>
#include <QUrl>
#include <gtest/gtest.h>
#include <memory>

namespace {

TEST(FileUri, KeepsUnreservedBytesAndPercentEncodesTheRest) {
    EXPECT_EQ(platform::fileUri(u"/home/ann/a-b_c.~d.txt"), QByteArray("file:///home/ann/a-b_c.~d.txt"));
    EXPECT_EQ(platform::fileUri(u"/My Files/50% off, #1?*.txt"),
              QByteArray("file:///My%20Files/50%25%20off%2C%20%231%3F%2A.txt"));
    EXPECT_EQ(platform::fileUri(QString::fromUtf8("/日/é")), QByteArray("file:///%E6%97%A5/%C3%A9"));
    // Undecodable bytes come back as themselves, not as a replacement character.
    EXPECT_EQ(platform::fileUri(platform::decodeFileName(QByteArray("/bad\xff\xfe"))), QByteArray("file:///bad%FF%FE"));
    EXPECT_EQ(platform::percentEncodePath(QByteArray("a\nb\"c")), QByteArray("a%0Ab%22c"));
}

TEST(ClipboardData, TextHasBothTextFormatsWithTheSameBytes) {
    const QString text = QString::fromUtf8("/home/ann/ä b.txt\r\n") + platform::decodeFileName(QByteArray("/x\xff")) +
                         QStringLiteral("\r\n");
    std::unique_ptr<QMimeData> data(textMimeData(text));
    EXPECT_EQ(data->formats(), (QStringList{QStringLiteral("text/plain;charset=utf-8"), QStringLiteral("text/plain")}));
    const QByteArray bytes("/home/ann/\xc3\xa4 b.txt\r\n/x\xff\r\n");
    EXPECT_EQ(data->data(QStringLiteral("text/plain;charset=utf-8")), bytes);
    EXPECT_EQ(data->data(QStringLiteral("text/plain")), bytes);
}

TEST(ClipboardData, FilesAreOfferedAsCopiesToEveryFileManager) {
    const QStringList paths{QStringLiteral("/home/ann/a b.txt"), QString::fromUtf8("/data/日本.pdf"),
                            platform::decodeFileName(QByteArray("/odd/\xff?.bin"))};
    std::unique_ptr<QMimeData> data(fileListMimeData(paths));
    EXPECT_EQ(data->formats(),
              (QStringList{QStringLiteral("text/uri-list"), QStringLiteral("x-special/gnome-copied-files"),
                           QStringLiteral("application/x-kde-cutselection")}));
    EXPECT_EQ(
        data->data(QStringLiteral("text/uri-list")),
        QByteArray("file:///home/ann/a%20b.txt\r\nfile:///data/%E6%97%A5%E6%9C%AC.pdf\r\nfile:///odd/%FF%3F.bin\r\n"));
    EXPECT_EQ(
        data->data(QStringLiteral("x-special/gnome-copied-files")),
        QByteArray("copy\nfile:///home/ann/a%20b.txt\nfile:///data/%E6%97%A5%E6%9C%AC.pdf\nfile:///odd/%FF%3F.bin"));
    EXPECT_EQ(data->data(QStringLiteral("application/x-kde-cutselection")), QByteArray("0"));
    // What a Qt-based file manager reads back.
    const QList<QUrl> urls = data->urls();
    ASSERT_EQ(urls.size(), 3);
    EXPECT_EQ(urls[0].toLocalFile(), paths[0]);
    EXPECT_EQ(urls[1].toLocalFile(), paths[1]);
}

} // namespace
