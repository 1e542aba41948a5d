#pragma once

#include <QString>
#include <QStringList>

// The "Run Trovex" command in the file managers' context menus, kept as a verb in the per-user key
// store (platform::Registry) and mirrored into the file managers' own entries (DesktopMenuEntries.h).

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
// the file managers' entries in line with what the store holds. Returns true when the folder verb
// key exists afterwards, that is registered, false when it does not.
//
// Writing: the folder verb key decides the state, so when it cannot be made nothing is written and
// std::runtime_error "Failed to set data for ''" is thrown (the value name is empty, since only
// default values are written). Any other key that cannot be created is skipped without a message.
// A value that cannot be written throws the same error; the keys written before it stay. When
// thrown, the file managers' entries are left as they are.
//
// Removing: every verb key is deleted; one that cannot be (no rights, a link inside it) stays and
// its path and reason go to report. The result then still tells whether the folder verb key is
// there, and the entries follow the keys that remain.
//
// The entries are offered on folders where the folder or drive verb key exists and on files where
// the file verb key does. When the store cannot be read, so that a key may be there unseen, they
// are left as they are and the reason goes to report; so does the reason when they could not all
// be written or removed. report (when given) receives these messages one per line, or is cleared.
bool ToggleContextMenu(bool withSkin, const QString& programPath, QString* report = nullptr);
