#include "duplicates/UnreadFile.h"

#include <cstring>

QString UnreadFile::reason() const {
    if (changed())
        return QStringLiteral("changed while it was compared");
    return QString::fromLocal8Bit(std::strerror(error));
}
