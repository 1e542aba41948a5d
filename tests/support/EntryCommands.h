#pragma once

#include <QString>
#include <QStringList>
#include <optional>

// The entries we write read back as file managers read them: their values, and the commands they
// make of them, so a test sees what would run.

// The value of the first line that sets key in a desktop-entry file, as written; empty when none does.
QString keyValue(const QString& text, const QString& key);

// The string escapes of a desktop-entry value undone; nothing when an escape is not one of them.
std::optional<QString> unescapeValue(const QString& value);

// The words of a command line as GLib's shell parser reads them (POSIX quoting, no expansion).
std::optional<QStringList> parseShellWords(const QString& line);

// What Nemo runs for a click: the first "%" must be %F, which it replaces by the double-quoted
// path (with "\\", "\"", "$" and "`" escaped, unless escapes is false as in releases before
// 5.4.2), then it splits the line like a shell and starts the first word.
std::optional<QStringList> nemoCommand(const QString& exec, const QString& clicked, bool escapes = true);
