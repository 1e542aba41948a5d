#pragma once

#include <QByteArray>
#include <QtGlobal>

namespace platform {

// Writes all bytes, retrying short writes and interruptions; false with errno set on failure.
bool writeAll(int fd, const char* data, qsizetype size);
inline bool writeAll(int fd, const QByteArray& bytes) {
    return writeAll(fd, bytes.constData(), bytes.size());
}

// read() that retries interruptions; returns the count, 0 at the end, -1 with errno on failure.
qsizetype readSome(int fd, char* data, qsizetype size);

// Renames from to to unless to exists (errno EEXIST then). Uses RENAME_NOREPLACE, and where the
// file system lacks it, a check just before a plain rename. Returns 0 or -1 like rename().
int renameNoReplace(const char* from, const char* to);

// The folder part of a path: everything before the last "/", or "/" for a file in the root.
QByteArray parentPath(const QByteArray& path);
// folder + "/" + name, without doubling a trailing "/".
QByteArray joinPath(const QByteArray& folder, const QByteArray& name);

} // namespace platform
