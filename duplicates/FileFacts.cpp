#include "duplicates/FileFacts.h"

#include <fcntl.h>
#include <sys/stat.h>

FileFacts FileFacts::of(const struct stat& st) {
    FileFacts f;
    f.device = quint64(st.st_dev);
    f.inode = quint64(st.st_ino);
    f.size = qint64(st.st_size);
    f.modifiedSeconds = qint64(st.st_mtim.tv_sec);
    f.modifiedNanoseconds = quint32(st.st_mtim.tv_nsec);
    f.changedSeconds = qint64(st.st_ctim.tv_sec);
    f.changedNanoseconds = quint32(st.st_ctim.tv_nsec);
    return f;
}

bool FileFacts::lstat(const char* path, FileFacts& facts, bool& regular) {
    return lstatAt(AT_FDCWD, path, facts, regular);
}

bool FileFacts::lstatAt(int folder, const char* name, FileFacts& facts, bool& regular) {
    struct stat st;
    if (::fstatat(folder, name, &st, AT_SYMLINK_NOFOLLOW) != 0)
        return false;
    facts = of(st);
    regular = S_ISREG(st.st_mode);
    return true;
}

bool FileFacts::fstat(int fd, FileFacts& facts) {
    struct stat st;
    if (::fstat(fd, &st) != 0)
        return false;
    facts = of(st);
    return true;
}
