#pragma once

#include <QString>

struct TSearchRecW;

// One found file for the file list: full path, the two file times unconverted, size, attributes.
class TFileRec {
public:
    TFileRec() = default;
    // The path is the folder joined with the entry's name by AddBackslash.
    TFileRec(const TSearchRecW& rec, const QString& folder);

    QString FileName;
    qint64 Created = 0;  // file time, UTC
    qint64 Modified = 0; // file time, UTC
    qint64 Size = 0;
    quint32 Attr = 0;
};
