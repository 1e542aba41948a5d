#pragma once

#include <QByteArray>
#include <QString>

namespace platform {

// Where a file went when it was moved to the trash.
struct TrashResult {
    bool ok = false;
    QString error;       // the system's error text when !ok
    QString trashedPath; // the file's new path under the trash's files/ folder when ok
    QString infoPath;    // its .trashinfo file when ok
};

// Moves the file or folder at path (absolute) into the freedesktop trash of its own volume: the
// home trash ($XDG_DATA_HOME/Trash) when it lies on the same file system, otherwise the volume's
// $topdir/.Trash/$uid (an administrator's sticky .Trash) or $topdir/.Trash-$uid. The file is only
// renamed, never copied, so it either is in the trash with its .trashinfo or stays where it was.
// Works on the path's own bytes (encodeFileName), so undecodable names reach the same file.
TrashResult moveToTrash(const QByteArray& path);
TrashResult moveToTrash(const QString& path);

} // namespace platform
