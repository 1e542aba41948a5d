#include "platform/Registry.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

void setError(QString* error, const QString& message) {
    if (error)
        *error = message;
}

QString systemReason(int err) {
    return QString::fromLocal8Bit(std::strerror(err));
}

QStringList keyLevels(const QString& keyPath) {
    return keyPath.split(QLatin1Char('\\'), Qt::SkipEmptyParts);
}

// A level becomes one folder name, so it can hold no "/" and cannot be "." or "..".
bool isValidLevel(const QString& level) {
    return !level.contains(QLatin1Char('/')) && level != QLatin1String(".") && level != QLatin1String("..");
}

// The existing sub-folder of parent whose name equals level ignoring case; empty when there is none.
// The exact spelling is tried first since it is the usual case and needs no listing.
QString findLevel(const QString& parent, const QString& level) {
    const QString exact = parent + QLatin1Char('/') + level;
    if (QFileInfo(exact).isDir())
        return exact;
    const QStringList names =
        QDir(parent).entryList(QDir::Dirs | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString& name : names) {
        if (name.compare(level, Qt::CaseInsensitive) == 0)
            return parent + QLatin1Char('/') + name;
    }
    return {};
}

// The folder of an existing key, or empty when a level is missing or the path is no key.
QString resolveKey(const QString& keyPath) {
    const QStringList levels = keyLevels(keyPath);
    if (levels.isEmpty())
        return {};
    QString folder = Registry::rootFolder();
    for (const QString& level : levels) {
        if (!isValidLevel(level))
            return {};
        folder = findLevel(folder, level);
        if (folder.isEmpty())
            return {};
    }
    return folder;
}

QString valueFileName(const QString& valueName) {
    return valueName.isEmpty() ? QStringLiteral("@") : valueName;
}

bool makeFolder(const QString& path, QString* error) {
    if (::mkdir(QFile::encodeName(path).constData(), 0777) == 0)
        return true;
    const int err = errno;
    // Another process may have made the same folder meanwhile; a file of that name is no key.
    if (err == EEXIST && QFileInfo(path).isDir())
        return true;
    setError(error, QStringLiteral("Cannot create key folder \"%1\": %2").arg(path, systemReason(err)));
    return false;
}

// Deletes sub-keys from the last to the first, then the values, then the folder itself; goes on
// after a failure so that as much as possible is gone, and reports the first failure.
bool removeTree(const QString& path, QString* error) {
    bool ok = true;
    auto fail = [&](const QString& what, int err) {
        if (ok)
            setError(error, QStringLiteral("Cannot delete \"%1\": %2").arg(what, systemReason(err)));
        ok = false;
    };
    const QStringList names =
        QDir(path).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                             QDir::Name | QDir::Reversed | QDir::DirsFirst);
    for (const QString& name : names) {
        const QString child = path + QLatin1Char('/') + name;
        const QFileInfo info(child);
        if (info.isDir() && !info.isSymLink()) {
            QString childError;
            if (!removeTree(child, &childError)) {
                if (ok)
                    setError(error, childError);
                ok = false;
            }
        } else if (::unlink(QFile::encodeName(child).constData()) != 0) {
            fail(child, errno);
        }
    }
    if (::rmdir(QFile::encodeName(path).constData()) != 0)
        fail(path, errno);
    return ok;
}

} // namespace

QString Registry::rootFolder() {
    QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (config.isEmpty())
        config = QDir::homePath() + QStringLiteral("/.config");
    return config + QStringLiteral("/trovex/registry/HKEY_CURRENT_USER");
}

bool Registry::keyExists(const QString& keyPath) {
    const QString folder = resolveKey(keyPath);
    if (folder.isEmpty())
        return false;
    DIR* dir = ::opendir(QFile::encodeName(folder).constData());
    if (!dir)
        return false;
    ::closedir(dir);
    return true;
}

bool Registry::createKey(const QString& keyPath, QString* error) {
    const QStringList levels = keyLevels(keyPath);
    if (levels.isEmpty()) {
        setError(error, QStringLiteral("Empty key path"));
        return false;
    }
    const QString root = rootFolder();
    if (!QDir().mkpath(root)) {
        setError(error, QStringLiteral("Cannot create folder \"%1\"").arg(root));
        return false;
    }
    QString folder = root;
    for (const QString& level : levels) {
        if (!isValidLevel(level)) {
            setError(error, QStringLiteral("Invalid key name \"%1\" in \"%2\"").arg(level, keyPath));
            return false;
        }
        QString existing = findLevel(folder, level);
        if (existing.isEmpty()) {
            existing = folder + QLatin1Char('/') + level;
            if (!makeFolder(existing, error))
                return false;
        }
        folder = existing;
    }
    return true;
}

bool Registry::setValue(const QString& keyPath, const QString& valueName, const QString& text, QString* error) {
    const QString folder = resolveKey(keyPath);
    if (folder.isEmpty()) {
        setError(error, QStringLiteral("Key \"%1\" does not exist").arg(keyPath));
        return false;
    }
    if (!isValidLevel(valueName)) {
        setError(error, QStringLiteral("Invalid value name \"%1\"").arg(valueName));
        return false;
    }
    QSaveFile file(folder + QLatin1Char('/') + valueFileName(valueName));
    const QByteArray bytes = text.toUtf8();
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        setError(error, QStringLiteral("Cannot write \"%1\": %2").arg(file.fileName(), file.errorString()));
        return false;
    }
    return true;
}

std::optional<QString> Registry::value(const QString& keyPath, const QString& valueName) {
    const QString folder = resolveKey(keyPath);
    if (folder.isEmpty() || !isValidLevel(valueName))
        return std::nullopt;
    QFile file(folder + QLatin1Char('/') + valueFileName(valueName));
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return std::nullopt;
    return QString::fromUtf8(bytes);
}

bool Registry::deleteKeyTree(const QString& keyPath, QString* error) {
    const QString folder = resolveKey(keyPath);
    if (folder.isEmpty())
        return true;
    return removeTree(folder, error);
}

} // namespace platform
