#include "export/ZipArchivePath.h"

#include "platform/FileName.h"

#include <sys/stat.h>

namespace {

bool isTaken(const QString& path) {
    struct stat st;
    return ::lstat(platform::encodeFileName(path).constData(), &st) == 0;
}

} // namespace

QString zipArchivePath(const QString& firstFile) {
    const qsizetype dot = firstFile.lastIndexOf(QLatin1Char('.'));
    const qsizetype slash = firstFile.lastIndexOf(QLatin1Char('/'));
    const QString stem = dot > slash ? firstFile.left(dot) : firstFile;
    return stem + QStringLiteral(".zip");
}

QString freeArchivePath(const QString& path) {
    if (!isTaken(path))
        return path;
    const bool hasSuffix = path.endsWith(QStringLiteral(".zip"), Qt::CaseInsensitive);
    const QString stem = hasSuffix ? path.chopped(4) : path;
    const QString suffix = hasSuffix ? path.right(4) : QStringLiteral(".zip");
    // Concatenated rather than formatted, since the path may hold "%" signs.
    for (int n = 2;; ++n) {
        const QString candidate = stem + QStringLiteral(" (") + QString::number(n) + QLatin1Char(')') + suffix;
        if (!isTaken(candidate))
            return candidate;
    }
}
