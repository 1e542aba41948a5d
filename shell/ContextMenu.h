#pragma once

#include <QString>
#include <QStringList>

// The "Run Trovex" command in the file managers' context menus, kept as a verb in the per-user key
// store (platform::Registry) and mirrored into the file managers' own entries (DesktopEntries.h).

// The folder class's verb key. Whether the command counts as registered is judged by this key alone.
inline const QString contextMenuFolderKey = QStringLiteral("software\\classes\\directory\\shell\\KVT");

// The verb keys of the three classes in the order they are written: folders, drives, all files.
QStringList contextMenuVerbKeys();

// The menu text, stored as each verb key's default value.
inline const QString contextMenuText = QStringLiteral("Run Trovex");

// The command text stored as each command key's default value: the program path, then ` "%1"`,
// then ` "/s"` when withSkin. The path is enclosed in double quotes when it holds a blank or a
// control character, since unquoted those would split it and could start a different program.
QString contextMenuCommand(const QString& programPath, bool withSkin);

// The arguments the command runs the program with, in order; "%1" stands for the clicked item.
QStringList contextMenuArguments(bool withSkin);

// Removes the registration when the folder verb key exists, writes it otherwise, and then brings
// the file managers' entries in line with the store. Returns true when the verb is registered
// afterwards, false when it was removed.
//
// A key that cannot be created is skipped without a message and the result is still true; a
// deletion that fails is ignored and the result is still false. A value that cannot be written
// throws std::runtime_error "Failed to set data for ''" (the value name is empty, since only
// default values are written); the keys written before it stay. When the store changed but the
// file managers' entries could not all be written or removed, syncError (when given) receives the
// reason; otherwise it is cleared.
bool ToggleContextMenu(bool withSkin, const QString& programPath, QString* syncError = nullptr);
