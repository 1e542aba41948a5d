#pragma once

#include <QString>

// The platform's find data for one directory entry. Times are file times: 100-ns units since
// 1601-01-01 UTC.
struct TWin32FindDataW {
    quint32 dwFileAttributes = 0;
    qint64 ftCreationTime = 0;
    qint64 ftLastAccessTime = 0;
    qint64 ftLastWriteTime = 0;
    quint32 nFileSizeHigh = 0;
    quint32 nFileSizeLow = 0;
};

// One directory entry as the enumeration delivers it: name, attribute bits, size and find data.
struct TSearchRecW {
    QString Name;
    quint32 Attr = 0;
    qint64 Size = 0;
    TWin32FindDataW FindData;
};
