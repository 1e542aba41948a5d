#include "support/ReportRows.h"

#include "platform/FileAttributes.h"
#include "platform/FileTime.h"

#include <random>

QList<ListColumn> fileColumns() {
    return {{QStringLiteral("Filename"), Qt::AlignLeft, -1, 300},
            {QStringLiteral("Size"), Qt::AlignRight, 80, 60},
            {QStringLiteral("Attribs"), Qt::AlignLeft, 70}};
}

void addFileRows(ReportModel& model, int count, unsigned seed) {
    static const QString kNames[] = {QStringLiteral("report"), QStringLiteral("Report"),  QStringLiteral("äpfel"),
                                     QStringLiteral("Zebra"),  QStringLiteral("notes 1"), QStringLiteral("データ")};
    static const QString kExtensions[] = {QStringLiteral(".txt"), QStringLiteral(".TXT"), QStringLiteral(".jpg"),
                                          QStringLiteral(".tar.gz"), QString()};
    std::mt19937 random(seed);
    const auto pick = [&random](int n) { return int(random() % unsigned(n)); };
    for (int i = 0; i < count; ++i) {
        ListRow row;
        const qint64 seconds = 1600000000 + pick(400) * 60 + pick(3) * 7; // ties within a minute
        row.values[FileSlot::Created] = FileTime::fromUnix(seconds - pick(5000));
        row.values[FileSlot::Modified] = FileTime::fromUnix(seconds);
        row.values[FileSlot::Size] = qint64(pick(6)) << pick(40);
        row.word = FileAttr::Archive | (pick(8) == 0 ? FileAttr::ReadOnly : 0) | (pick(50) == 0 ? FileAttr::Unread : 0);
        const QString path = QStringLiteral("/data/f%1/%2%3%4")
                                 .arg(pick(40))
                                 .arg(kNames[pick(int(std::size(kNames)))])
                                 .arg(pick(100))
                                 .arg(kExtensions[pick(int(std::size(kExtensions)))]);
        model.addRow(path, row);
    }
    model.flushRows();
}
