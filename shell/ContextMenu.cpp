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

// Opens the key, creating it and its parents, and sets its default value. A key that cannot be
// made is skipped; a value that cannot be written ends the whole operation.
void writeKey(const QString& keyPath, const QString& text) {
    if (!Registry::createKey(keyPath))
        return;
    if (!Registry::setValue(keyPath, QString(), text))
        throw std::runtime_error("Failed to set data for ''");
}

// The file managers' entries follow the store: offered where a verb key exists after registering.
bool syncDesktop(bool withSkin, const QString& programPath, QString* error) {
    DesktopMenuCommand command;
    command.text = contextMenuText;
    command.programPath = programPath;
    command.arguments = contextMenuArguments(withSkin);
    command.onFolders = Registry::keyExists(contextMenuFolderKey) || Registry::keyExists(driveVerbKey);
    command.onFiles = Registry::keyExists(fileVerbKey);
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

bool ToggleContextMenu(bool withSkin, const QString& programPath, QString* syncError) {
    if (syncError)
        syncError->clear();
    bool registered = false;
    if (Registry::keyExists(contextMenuFolderKey)) {
        // Failed deletions are ignored: the state is judged by the folder key alone.
        for (const QString& key : contextMenuVerbKeys()) {
            if (Registry::keyExists(key))
                Registry::deleteKeyTree(key);
        }
    } else {
        for (const QString& key : contextMenuVerbKeys()) {
            writeKey(key, contextMenuText);
            writeKey(key + commandKeyName, contextMenuCommand(programPath, withSkin));
        }
        registered = true;
    }
    // Removing the command removes the entries even where a verb key could not be deleted.
    QString reason;
    const bool synced = registered ? syncDesktop(withSkin, programPath, &reason) : DesktopMenuEntries::remove(&reason);
    if (!synced && syncError)
        *syncError = QStringLiteral("The file managers' menus could not be updated. %1").arg(reason);
    return registered;
}
