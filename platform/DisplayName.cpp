#include "platform/DisplayName.h"

#include "platform/FileName.h"

#include <QStringList>
#include <dirent.h>
#include <sys/stat.h>

namespace platform {

namespace {

bool exists(const QString& path) {
    struct stat st;
    return ::lstat(encodeFileName(path).constData(), &st) == 0;
}

// The one entry of folder whose lossy reading is name, in lossless form; empty when none or several.
QString uniqueEntry(const QString& folder, const QString& name) {
    DIR* dir = ::opendir(encodeFileName(folder.isEmpty() ? QStringLiteral(".") : folder).constData());
    if (!dir)
        return {};
    QString found;
    int matches = 0;
    while (const dirent* entry = ::readdir(dir)) {
        if (QString::fromUtf8(entry->d_name) == name) {
            found = decodeFileName(entry->d_name, qsizetype(qstrlen(entry->d_name)));
            ++matches;
        }
    }
    ::closedir(dir);
    return matches == 1 ? found : QString();
}

} // namespace

QString recoverLossyPath(const QString& path) {
    if (path.isEmpty() || !path.contains(QChar::ReplacementCharacter) || exists(path))
        return path;
    const bool absolute = path.startsWith(QLatin1Char('/'));
    QString done = absolute ? QStringLiteral("/") : QString();
    for (const QString& level : path.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        QString next = done + level;
        if (!exists(next)) {
            const QString real = uniqueEntry(done, level);
            if (real.isEmpty())
                return path;
            next = done + real;
        }
        done = next + QLatin1Char('/');
    }
    if (!path.endsWith(QLatin1Char('/')))
        done.chop(1);
    return done;
}

} // namespace platform
