#include "platform/PathAttributes.h"

#include "platform/FileAttributes.h"
#include "platform/FileName.h"

#include <sys/stat.h>

namespace platform {

bool pathAttributes(const QString& path, quint32& attr) {
    const QByteArray bytes = encodeFileName(path);
    struct stat st;
    if (bytes.isEmpty() || ::lstat(bytes.constData(), &st) != 0)
        return false;
    attr = 0;
    if (S_ISDIR(st.st_mode))
        attr |= FileAttr::Directory;
    else if (S_ISREG(st.st_mode))
        attr |= FileAttr::Archive;
    else if (S_ISLNK(st.st_mode))
        attr |= FileAttr::ReparsePoint;
    else
        attr |= FileAttr::System;
    if (!(st.st_mode & S_IWUSR) && !S_ISLNK(st.st_mode))
        attr |= FileAttr::ReadOnly;
    const qsizetype slash = bytes.lastIndexOf('/');
    if (slash + 1 < bytes.size() && bytes[slash + 1] == '.')
        attr |= FileAttr::Hidden;
    return true;
}

} // namespace platform
