#pragma once

#include <QString>

struct TSearchRecW;

// Folder joined with a following name: the folder unchanged when it ends in "/", else the folder
// and "/". Callers never pass an empty folder.
QString AddBackslash(const QString& folder);

// The 64-bit size of the find data, high half times 2^32 plus low half, both unsigned.
qint64 FindDataSize(const TSearchRecW& rec);

// Size text: "0.## KB", "0.## MB" above 2^20 bytes, "0.## GB" above 2^30 bytes, the quotient
// rounded exactly with halves going up, no grouping, trailing zeros dropped. The one-argument
// form uses the decimal point of the system locale.
QString FormatSize(qint64 bytes);
QString FormatSize(qint64 bytes, QChar decimalPoint);

// The value a size text shows, in kilobytes: the text's number (rounded as FormatSize rounds it)
// times its unit, the same value reading the text back gives; so sizes that show alike are equal.
double ShownSizeKb(qint64 bytes);

// "R", "H", "S", "A", "C" for bits 0x1, 0x2, 0x4, 0x20, 0x800, in that order; other bits add nothing.
QString AttribLetters(quint32 attr);

// Days since 1899-12-30 with the time of day as fraction, in local time at the offset in force on
// the file's own date. For days before 1899-12-30 the fraction is subtracted from the day number.
double FileTimeToDateTime(qint64 fileTime);

// The same date-time value for local calendar fields.
double EncodeDateTime(int year, int month, int day, int hour, int minute, int second, int msec);

// Extension rule: the text from the last "." of the name when no "/" follows it, dot included;
// otherwise empty. "a.tar.gz" gives ".gz", "README" "", ".profile" ".profile", "x." ".".
QString ExtractExt(const QString& name);

// The folder part of a path, up to and including its last "/" (empty when it has none), and the
// name after it.
QString ExtractFilePath(const QString& path);
QString ExtractFileName(const QString& path);

// The same rule on the raw bytes of a name; returns the offset of the extension or -1 for none.
qsizetype extensionOffset(const char* name, qsizetype len);
