#pragma once

#include <QtGlobal>

struct stat;

// What a file was when it was read: which file it is (device and inode) and the facts that move when
// its content changes (size, modification and change times to the nanosecond). Whoever acts on a
// reported duplicate takes the facts again first (lstat) and compares, so a file changed since it
// was hashed is never taken for the copy it was.
struct FileFacts {
    quint64 device = 0;
    quint64 inode = 0;
    qint64 size = 0;
    qint64 modifiedSeconds = 0;
    qint64 changedSeconds = 0;
    quint32 modifiedNanoseconds = 0;
    quint32 changedNanoseconds = 0;

    bool operator==(const FileFacts&) const = default;
    bool isSameFile(const FileFacts& other) const { return device == other.device && inode == other.inode; }

    static FileFacts of(const struct stat& st);
    // The facts of what path (NUL-terminated native bytes) names, a link itself, never followed;
    // regular tells whether it is a regular file. False with errno set when it cannot be looked at.
    static bool lstat(const char* path, FileFacts& facts, bool& regular);
    // The same for name in the folder open at folder (AT_FDCWD: name is a path).
    static bool lstatAt(int folder, const char* name, FileFacts& facts, bool& regular);
    // The facts of the open file fd; false with errno set.
    static bool fstat(int fd, FileFacts& facts);
};
