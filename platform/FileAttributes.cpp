#include "platform/FileAttributes.h"

#include <sys/stat.h>

namespace platform {

quint32 attributesOf(unsigned mode, std::string_view name) {
    quint32 attr = !name.empty() && name.front() == '.' ? FileAttr::Hidden : 0;
    if (S_ISDIR(mode))
        return attr | FileAttr::Directory;
    if (S_ISREG(mode))
        attr |= FileAttr::Archive;
    else if (S_ISLNK(mode))
        attr |= FileAttr::ReparsePoint;
    else
        attr |= FileAttr::System; // device, FIFO or socket
    if (!(mode & S_IWUSR) && !S_ISLNK(mode))
        attr |= FileAttr::ReadOnly;
    return attr;
}

} // namespace platform
