#pragma once

#include <QString>

// What a walk could not read: folders that could not be listed (denied, vanished, a path too long
// for the system) and entries whose metadata could not be read. Counting goes on without them, so
// the totals of such a walk are short by what is reported here.
struct ScanReport {
    bool rootMissing = false; // the root does not exist or is no folder; nothing else was read
    qint64 unreadFolders = 0;
    qint64 unreadFiles = 0; // listed, but without size or dates
    QString firstPath;      // the first folder (else the first file) that could not be read
    int firstError = 0;     // its errno

    bool isEmpty() const { return !rootMissing && unreadFolders == 0 && unreadFiles == 0; }
    // One line for the user, empty when nothing was left out: "Folder not found: <root>", or for
    // example "2 folders could not be read (first: /srv/x: Permission denied)".
    QString text(const QString& root) const;
};
