#pragma once

#include <QString>
#include <functional>

namespace platform {

// The user's answer when the target of a copy or move already exists. The "all" answers hold for
// the rest of the command; a single copy or move takes them as Replace and Skip.
enum class ConflictAnswer { Replace, Skip, Cancel, ReplaceAll, SkipAll };

enum class FileOpStatus {
    Done,      // the target holds the file (and, for a move, the source is gone)
    Skipped,   // the target existed and the user kept it; nothing changed
    Cancelled, // the user cancelled; nothing changed, and the caller should not go on
    Failed,    // nothing changed, except where message says the copy is complete
};

struct FileOpResult {
    FileOpStatus status = FileOpStatus::Done;
    QString message; // for Failed: what went wrong, with the system's error text
};

// What a copy or move asks of its caller.
struct FileOpHooks {
    // Asked when the target exists; without it the target is kept (Skipped).
    std::function<ConflictAnswer(const QString& source, const QString& target)> onConflict;
    // Told how many bytes of this file are copied; returning false cancels. Never called for a
    // rename within one file system, which takes no time.
    std::function<bool(qint64 done, qint64 total)> onProgress;
};

// Copies the file at source to the path target. The data goes to a new file in the target's folder
// that has no name yet (a hidden temporary name where the file system lacks unnamed files), by
// copy_file_range where the kernel allows it and holes kept as holes, is flushed to the disk, and
// only then gets the target's name, so a failed, cancelled, short or killed copy never touches an
// existing target nor leaves a part behind, and an existing target is replaced only after
// onConflict said Replace. Permission bits and the access and modification times go with the
// data; a symbolic link is copied as a link. Paths are used as their own bytes (encodeFileName), so
// "?", "*" and undecodable names are ordinary names. Folders and special files are refused. Many
// files are copied faster through one TransferBatch.
FileOpResult copyFile(const QString& source, const QString& target, const FileOpHooks& hooks = {});

// Moves the file at source to the path target: a rename within one file system; across file
// systems a copy as copyFile makes it, read back from the disk and compared with what was read,
// and only after that the removal of the source. Conflicts as copyFile.
FileOpResult moveFile(const QString& source, const QString& target, const FileOpHooks& hooks = {});

// The size of the file at path (not following a link), or 0 when it cannot be read.
qint64 fileSizeOf(const QByteArray& path);
qint64 fileSizeOf(const QString& path);

} // namespace platform
