#pragma once

#include <QString>

struct TSearchRecW;

// One file type of the summary: the extension as its first file spells it, the count and the
// total size of the files counted into it.
class TDataRec {
public:
    explicit TDataRec(const TSearchRecW& rec);
    TDataRec(const QString& ext, qint64 size) : Ext(ext), Count(1), Size(size) {}

    // Counts the entry only when its extension equals Ext ignoring case (locale-aware);
    // returns whether it was counted.
    bool AddFile(const TSearchRecW& rec);

    QString Ext;
    qint32 Count = 1;
    qint64 Size = 0;
};
