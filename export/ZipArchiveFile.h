#pragma once

#include "export/ZipWriter.h"

#include <QString>
#include <QStringList>

// A new ZIP archive on disk, written so that no half archive is ever seen and nothing existing is
// ever replaced: the archive goes into a file beside the target that has no name yet
// (platform::FileWriter::createNew), is synced to the disk and then gets the first free one of
// path, "name (2).zip", "name (3).zip", ...
class ZipArchiveFile {
public:
    // Packs files, in order, each as an entry named after the file without its folder, and returns
    // the path the archive was saved under. Throws std::runtime_error with a message naming the
    // file and the reason when a file cannot be packed or the archive cannot be written; then no
    // archive and no temporary file are left behind.
    static QString create(const QString& path, const QList<QByteArray>& files,
                          const ZipWriter::Progress& progress = {});
    static QString create(const QString& path, const QStringList& files, const ZipWriter::Progress& progress = {});
};
