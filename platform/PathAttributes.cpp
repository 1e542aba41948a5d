#include "platform/PathAttributes.h"

#include "platform/FileAttributes.h"
#include "platform/FileName.h"

#include <sys/stat.h>

namespace platform {

bool pathAttributes(const QString& path, quint32& attr) {
    return pathAttributes(encodeFileName(path), attr);
}

bool pathAttributes(const QByteArray& bytes, quint32& attr) {
    struct stat st;
    if (bytes.isEmpty() || ::lstat(bytes.constData(), &st) != 0)
        return false;
    const qsizetype slash = bytes.lastIndexOf('/');
    attr = attributesOf(st.st_mode, std::string_view(bytes.constData() + slash + 1, size_t(bytes.size() - slash - 1)));
    return true;
}

} // namespace platform
