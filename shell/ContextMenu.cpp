#include "shell/ContextMenu.h"

#include "platform/Registry.h"
#include "shell/DesktopMenuEntries.h"

#include <algorithm>
#include <stdexcept>

using platform::Registry;

namespace {

const QString commandKeyName = QStringLiteral("\\command");

// The folders, drives and all-files classes; drives are folders on Linux, so both classes offer
// the command on folders.
const QString driveVerbKey = QStringLiteral("software\\classes\\Drive\\shell\\KVT");
const QString fileVerbKey = QStringLiteral("software\\classes\\*\\shell\\KVT");

bool needsQuotes(const QString& path) {
    return std::any_of(path.begin(), path.end(), [](QChar c) { return c.unicode() <= 0x20 || c.unicode() == 0x7f; });
}

const char* const setDataFailure = "Failed to set data for ''";

// Opens the key, creating it and its parents, and sets its default value. A key that cannot be
// made is skipped; a value that cannot be written ends the whole operation.
void writeKey(const QString& keyPath, const QString& text) {
    if (!Registry::createKey(keyPath))
        return;
    if (!Registry::setValue(keyPath, QString(), text))
        throw std::runtime_error(setDataFailure);
}

// Whether the command is offered on a class served by either key: offered when one of them
// exists, not offered when both are missing, and otherwise not known.
Registry::KeyState eitherKey(Registry::KeyState a, Registry::KeyState b) {
    using State = Registry::KeyState;
    if (a == State::Exists || b == State::Exists)
        return State::Exists;
    return a == State::Unknown || b == State::Unknown ? State::Unknown : State::Missing;
}

// The file managers' entries follow the store as it is: offered where a verb key exists. A store
// that cannot be read leaves them as they are, since a key that cannot be seen may well be there.
bool syncDesktop(bool withSkin, const QString& programPath, QString* error) {
    using State = Registry::KeyState;
    QString reason;
    const State folderKey = Registry::keyState(contextMenuFolderKey, &reason);
    const State driveKey = Registry::keyState(driveVerbKey, reason.isEmpty() ? &reason : nullptr);
    const State fileKey = Registry::keyState(fileVerbKey, reason.isEmpty() ? &reason : nullptr);
    const State onFolders = eitherKey(folderKey, driveKey);
    if (onFolders == State::Unknown || fileKey == State::Unknown) {
        *error = reason;
        return false;
    }
    DesktopMenuCommand command;
    command.text = contextMenuText;
    command.programPath = programPath;
    command.arguments = contextMenuArguments(withSkin);
    command.onFolders = onFolders == State::Exists;
    command.onFiles = fileKey == State::Exists;
    return DesktopMenuEntries::write(command, error);
}

} // namespace

QStringList contextMenuVerbKeys() {
    return {contextMenuFolderKey, driveVerbKey, fileVerbKey};
}

QString contextMenuCommand(const QString& programPath, bool withSkin) {
    QString text = needsQuotes(programPath) ? QLatin1Char('"') + programPath + QLatin1Char('"') : programPath;
    text += QStringLiteral(" \"%1\"");
    if (withSkin)
        text += QStringLiteral(" \"/s\"");
    return text;
}

QStringList contextMenuArguments(bool withSkin) {
    QStringList arguments{QStringLiteral("%1")};
    if (withSkin)
        arguments << QStringLiteral("/s");
    return arguments;
}

bool ToggleContextMenu(bool withSkin, const QString& programPath, QString* report) {
    if (report)
        report->clear();
    QStringList problems;
    if (Registry::keyExists(contextMenuFolderKey)) {
        for (const QString& key : contextMenuVerbKeys()) {
            QString reason;
            if (!Registry::deleteKeyTree(key, &reason))
                problems << reason;
        }
    } else {
        // The folder verb key decides the state: when it cannot be made, nothing gets registered.
        if (!Registry::createKey(contextMenuFolderKey))
            throw std::runtime_error(setDataFailure);
        for (const QString& key : contextMenuVerbKeys()) {
            writeKey(key, contextMenuText);
            writeKey(key + commandKeyName, contextMenuCommand(programPath, withSkin));
        }
    }
    // What the store holds now, also where a deletion failed.
    const bool registered = Registry::keyExists(contextMenuFolderKey);
    QString reason;
    if (!syncDesktop(withSkin, programPath, &reason))
        problems << QStringLiteral("The file managers' menus could not be updated. %1").arg(reason);
    if (report)
        *report = problems.join(QLatin1Char('\n'));
    return registered;
}
