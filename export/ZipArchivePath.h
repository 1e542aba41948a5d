#pragma once

#include <QString>

// The archive path for the first selected file: its extension replaced by ".zip". When the last
// "." comes after the last "/", the text before that dot followed by ".zip"; otherwise the whole
// path followed by ".zip" (so a dot in a folder name is no extension).
QString zipArchivePath(const QString& firstFile);

// path when nothing (not even a dangling link) is there; otherwise the first of "name (2).zip",
// "name (3).zip", ... beside it that is free, name being path without its ".zip".
QString freeArchivePath(const QString& path);
