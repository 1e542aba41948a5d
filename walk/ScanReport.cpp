#include "walk/ScanReport.h"

#include <cstring>

namespace {

QString counted(qint64 n, const char* one, const char* many) {
    return QStringLiteral("%1 %2").arg(n).arg(QLatin1String(n == 1 ? one : many));
}

} // namespace

QString ScanReport::text(const QString& root) const {
    if (rootMissing)
        return QStringLiteral("Folder not found: ") + root;
    if (isEmpty())
        return {};
    QString what;
    if (unreadFolders > 0)
        what = counted(unreadFolders, "folder", "folders");
    if (unreadFiles > 0) {
        const QString files = QStringLiteral("the details of ") + counted(unreadFiles, "file", "files");
        what = what.isEmpty() ? files : what + QStringLiteral(" and ") + files;
    }
    const QString reason = QString::fromLocal8Bit(std::strerror(firstError));
    what[0] = what[0].toUpper();
    return QStringLiteral("%1 could not be read (first: %2: %3)").arg(what, firstPath, reason);
}
