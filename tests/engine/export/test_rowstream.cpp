// A list written as it is found, a batch at a time, against the same rows written at once.

#include "export/ListWriters.h"
#include "platform/FileAttributes.h"
#include "records/TFileList.h"

#include <QBuffer>
#include <gtest/gtest.h>
#include <numeric>

namespace {

TFileList sampleFiles() {
    TFileList files;
    const qint64 day = 864000000000;
    files.append("/r", "plain.txt", 132000000000000000, 132000000000000000 + day, 1234, FileAttr::Archive);
    files.append("/r/sub", "comma, \"quoted\"", 133000000000000000, 133000000000000000, 0, FileAttr::ReadOnly);
    files.append("/r", std::string_view("bad\xff\x01name", 10), 131000000000000000, 131500000000000000, 5 << 20,
                 FileAttr::Archive);
    files.append("/r", "unread", 0, 0, 0, FileAttr::Unread);
    files.append("/r", "link", 132000000000000000, 132000000000000000, 0, FileAttr::Archive);
    files.noteHardLink(4, "/r/plain.txt");
    files.append("/r", "gro\xc3\x9f.bin", 134000000000000000, 134000000000000000, qint64(3) << 31, 0);
    return files;
}

QByteArray whole(const TFileList& files, const OutputStyle& style) {
    std::vector<qsizetype> order(size_t(files.size()));
    std::iota(order.begin(), order.end(), qsizetype(0));
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QString error;
    EXPECT_TRUE(writeRows(buffer, FoundFileRows(files, order), style, QStringLiteral("/r"), &error));
    return buffer.data();
}

QByteArray streamed(const TFileList& files, const OutputStyle& style, const std::vector<qsizetype>& cuts) {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    RowStream stream(buffer, style, QStringLiteral("/r"), ListKind::Files, fileListColumns());
    qsizetype from = 0;
    for (const qsizetype cut : cuts) {
        std::vector<qsizetype> order(size_t(cut - from));
        std::iota(order.begin(), order.end(), from);
        EXPECT_TRUE(stream.write(FoundFileRows(files, order)));
        from = cut;
    }
    EXPECT_TRUE(stream.finish());
    EXPECT_EQ(stream.rowsWritten(), from);
    return buffer.data();
}

TEST(RowStream, EveryFormatButTheTableIsByteForByteTheListWrittenAtOnce) {
    const TFileList files = sampleFiles();
    const TFileList none;
    const OutputStyle styles[] = {
        {OutputFormat::Tsv, false, false}, {OutputFormat::Tsv, true, false},       {OutputFormat::Csv, false, false},
        {OutputFormat::Csv, true, false},  {OutputFormat::CsvUtf16, false, false}, {OutputFormat::Json, true, false},
        {OutputFormat::Tsv, false, true},
    };
    for (const OutputStyle& style : styles) {
        SCOPED_TRACE(int(style.format) * 4 + style.exact * 2 + style.nullEnds);
        EXPECT_EQ(streamed(files, style, {1, 3, 6}), whole(files, style));
        EXPECT_EQ(streamed(files, style, {0, 6, 6}), whole(files, style)) << "empty batches change nothing";
        EXPECT_EQ(streamed(none, style, {}), whole(none, style));
    }
    // Rows that wait for json's totals go to /tmp when TMPDIR cannot take them.
    const QByteArray tmpdir = qgetenv("TMPDIR");
    qputenv("TMPDIR", "/nonexistent-trovex-folder");
    EXPECT_EQ(streamed(files, {OutputFormat::Json, true, false}, {2, 6}),
              whole(files, {OutputFormat::Json, true, false}));
    tmpdir.isNull() ? qunsetenv("TMPDIR") : qputenv("TMPDIR", tmpdir);
    // The later hard link is marked in json, after its own members.
    EXPECT_TRUE(whole(files, {OutputFormat::Json, true, false})
                    .contains(R"("size":0,"attributes":"A","hardlink_of":"/r/plain.txt"})"));
}

TEST(RowStream, ATableKeepsItsColumnsAlignedWithoutMeasuringTheRows) {
    const TFileList files = sampleFiles();
    for (const bool exact : {false, true}) {
        const QList<QByteArray> lines = streamed(files, {OutputFormat::Table, exact, false}, {2, 6}).split('\n');
        ASSERT_EQ(lines.size(), 1 + 6 + 2); // captions, rows, totals, and the end of the last line
        const qsizetype pathAt = lines[0].indexOf("Filename");
        for (qsizetype i = 1; i <= 6; ++i)
            EXPECT_TRUE(lines[i].mid(pathAt).startsWith("/r/")) << lines[i].toStdString();
        const QList<QByteArray> wholeLines = whole(files, {OutputFormat::Table, exact, false}).split('\n');
        EXPECT_EQ(lines[7], wholeLines[7]) << "the same totals";
    }
}

} // namespace
