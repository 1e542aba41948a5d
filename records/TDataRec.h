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

    // The two halves of AddFile, for a walk that asks once per distinct extension: whether a file
    // of this extension counts into the type, and counting one file of this size.
    bool accepts(const QString& ext) const;
    void add(qint64 size) {
        ++Count;
        Size += size;
    }

    QString Ext;
    qint32 Count = 1;
    qint64 Size = 0;
};
