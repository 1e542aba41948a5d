#include "platform/Registry.h"

#include "platform/SafeFolder.h"

#include <QDir>
#include <QStringList>

#include <cerrno>

namespace platform {

namespace {

using KeyState = Registry::KeyState;

const QString rootName = QStringLiteral("HKEY_CURRENT_USER");

void setError(QString* error, const QString& message) {
    if (error)
        *error = message;
}

// The base directory rules ignore a relative XDG_CONFIG_HOME.
QString configHome() {
    const QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (!config.isEmpty() && QDir::isAbsolutePath(config))
        return config;
    return QDir::homePath() + QStringLiteral("/.config");
}

// The folder above the store's root; from here on down nothing follows a link.
QString storeBase() {
    return configHome() + QStringLiteral("/trovex/registry");
}

QStringList keyLevels(const QString& keyPath) {
    return keyPath.split(QLatin1Char('\\'), Qt::SkipEmptyParts);
}

// A level becomes one folder name, so it can hold no "/" and cannot be "." or "..".
bool isValidLevel(const QString& level) {
    return !level.contains(QLatin1Char('/')) && !level.contains(QChar()) && level != QLatin1String(".") &&
           level != QLatin1String("..");
}

QString valueFileName(const QString& valueName) {
    return valueName.isEmpty() ? QStringLiteral("@") : valueName;
}

// A level looked up: its folder when it exists, otherwise whether it is missing or cannot be told.
struct Lookup {
    KeyState state = KeyState::Missing;
    SafeFolder folder;
    QString error;
    QString name; // the level as it is spelled on disk
};

Lookup found(SafeFolder folder, const QString& name) {
    return {KeyState::Exists, std::move(folder), {}, name};
}

Lookup unknown(const QString& error) {
    return {KeyState::Unknown, {}, error, {}};
}

// The store's root folder. Nothing at the base, or a file on the way to it, means an empty store.
Lookup openRoot(bool create) {
    QString error;
    int code = 0;
    const SafeFolder base = SafeFolder::openBase(storeBase(), create, &error, &code);
    if (!base.isOpen())
        return {create || (code != ENOENT && code != ENOTDIR) ? KeyState::Unknown : KeyState::Missing, {}, error, {}};
    SafeFolder root = create ? base.makeFolder(rootName, &error) : base.openFolder(rootName, &error, &code);
    if (root.isOpen())
        return found(std::move(root), rootName);
    if (!create && (code == ENOENT || code == ENOTDIR))
        return {};
    return unknown(error);
}

// The sub-folder of parent whose name equals level ignoring case. The exact spelling is tried
// first since it is the usual case and needs no listing. A file of that name is no key; a link or
// a folder that cannot be opened or listed leaves the answer open.
Lookup findLevel(const SafeFolder& parent, const QString& level) {
    QString error;
    int code = 0;
    SafeFolder folder = parent.openFolder(level, &error, &code);
    if (folder.isOpen())
        return found(std::move(folder), level);
    if (code != ENOENT && code != ENOTDIR)
        return unknown(error);
    const std::optional<QStringList> names = parent.names(&error);
    if (!names)
        return unknown(error);
    for (const QString& name : *names) {
        if (name == level || name.compare(level, Qt::CaseInsensitive) != 0)
            continue;
        folder = parent.openFolder(name, &error, &code);
        if (folder.isOpen())
            return found(std::move(folder), name);
        if (code != ENOTDIR)
            return unknown(error);
    }
    return {};
}

// The folder of a key given by its levels, or why there is none.
Lookup resolveLevels(const QStringList& levels) {
    Lookup current = openRoot(false);
    for (const QString& level : levels) {
        if (current.state != KeyState::Exists)
            break;
        if (!isValidLevel(level))
            return {};
        current = findLevel(current.folder, level);
    }
    return current;
}

Lookup resolveKey(const QString& keyPath) {
    const QStringList levels = keyLevels(keyPath);
    if (levels.isEmpty())
        return {};
    return resolveLevels(levels);
}

} // namespace

QString Registry::rootFolder() {
    return storeBase() + QLatin1Char('/') + rootName;
}

Registry::KeyState Registry::keyState(const QString& keyPath, QString* error) {
    Lookup key = resolveKey(keyPath);
    if (key.state == KeyState::Unknown)
        setError(error, key.error);
    return key.state;
}

bool Registry::keyExists(const QString& keyPath) {
    return keyState(keyPath) == KeyState::Exists;
}

bool Registry::createKey(const QString& keyPath, QString* error) {
    const QStringList levels = keyLevels(keyPath);
    if (levels.isEmpty()) {
        setError(error, QStringLiteral("Empty key path"));
        return false;
    }
    for (const QString& level : levels) {
        if (!isValidLevel(level)) {
            setError(error, QStringLiteral("Invalid key name \"%1\" in \"%2\"").arg(level, keyPath));
            return false;
        }
    }
    Lookup current = openRoot(true);
    for (const QString& level : levels) {
        if (current.state != KeyState::Exists)
            break;
        Lookup next = findLevel(current.folder, level);
        if (next.state == KeyState::Missing) {
            next.folder = current.folder.makeFolder(level, &next.error);
            next.state = next.folder.isOpen() ? KeyState::Exists : KeyState::Unknown;
        }
        current = std::move(next);
    }
    if (current.state == KeyState::Exists)
        return true;
    setError(error, current.error);
    return false;
}

bool Registry::setValue(const QString& keyPath, const QString& valueName, const QString& text, QString* error) {
    const Lookup key = resolveKey(keyPath);
    if (key.state != KeyState::Exists) {
        setError(error,
                 key.state == KeyState::Missing ? QStringLiteral("Key \"%1\" does not exist").arg(keyPath) : key.error);
        return false;
    }
    if (!isValidLevel(valueName)) {
        setError(error, QStringLiteral("Invalid value name \"%1\"").arg(valueName));
        return false;
    }
    return key.folder.writeFile(valueFileName(valueName), text.toUtf8(), 0666, error);
}

std::optional<QString> Registry::value(const QString& keyPath, const QString& valueName) {
    const Lookup key = resolveKey(keyPath);
    if (key.state != KeyState::Exists || !isValidLevel(valueName))
        return std::nullopt;
    const std::optional<QByteArray> bytes = key.folder.readFile(valueFileName(valueName));
    if (!bytes)
        return std::nullopt;
    return QString::fromUtf8(*bytes);
}

bool Registry::deleteKeyTree(const QString& keyPath, QString* error) {
    QStringList levels = keyLevels(keyPath);
    if (levels.isEmpty())
        return true;
    const QString last = levels.takeLast();
    if (!isValidLevel(last))
        return true;
    const Lookup parent = resolveLevels(levels);
    if (parent.state == KeyState::Missing)
        return true;
    if (parent.state == KeyState::Unknown) {
        setError(error, parent.error);
        return false;
    }
    Lookup key = findLevel(parent.folder, last);
    if (key.state == KeyState::Missing)
        return true;
    if (key.state == KeyState::Unknown) {
        setError(error, key.error);
        return false;
    }
    // By the spelling on disk, which the case-insensitive match may have found.
    key.folder = {};
    return parent.folder.removeTree(key.name, error);
}

} // namespace platform
