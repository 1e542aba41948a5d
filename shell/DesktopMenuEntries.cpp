#include "shell/DesktopMenuEntries.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>

namespace {

const QString itemPlaceholder = QStringLiteral("%1");
const QString iconName = QStringLiteral("system-search");
const QString comment = QStringLiteral("Search and summarise this item with Trovex");

enum class EntryFile { DesktopEntry, ServiceMenu, NemoAction, NautilusScript };

QString entryPath(EntryFile which) {
    const QString home = DesktopMenuEntries::dataHome();
    switch (which) {
    case EntryFile::DesktopEntry:
        return home + QStringLiteral("/applications/trovex-run.desktop");
    case EntryFile::ServiceMenu:
        return home + QStringLiteral("/kio/servicemenus/trovex-run.desktop");
    case EntryFile::NemoAction:
        return home + QStringLiteral("/nemo/actions/trovex-run.nemo_action");
    case EntryFile::NautilusScript:
        return home + QStringLiteral("/nautilus/scripts/Run Trovex");
    }
    Q_UNREACHABLE();
}

bool isReservedInExec(QChar c) {
    return c.unicode() < 0x20 || c.unicode() == 0x7f || QStringLiteral(" \"'\\><~|&;$*?#()`").contains(c);
}

// The escapes of a string value, which a reader undoes before it looks at the quoting.
QString escapeStringValue(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        switch (c.unicode()) {
        case '\\':
            out += QStringLiteral("\\\\");
            break;
        case '\n':
            out += QStringLiteral("\\n");
            break;
        case '\t':
            out += QStringLiteral("\\t");
            break;
        case '\r':
            out += QStringLiteral("\\r");
            break;
        default:
            out += c;
        }
    }
    return out;
}

// One argument by the quoting rule of Exec, before the string escapes.
QString quoteExecArgument(const QString& argument) {
    const bool quote = argument.isEmpty() || std::any_of(argument.begin(), argument.end(), isReservedInExec);
    QString out;
    if (quote)
        out += QLatin1Char('"');
    for (const QChar c : argument) {
        if (quote && QStringLiteral("\"`$\\").contains(c))
            out += QLatin1Char('\\');
        if (c == QLatin1Char('%'))
            out += QLatin1Char('%');
        out += c;
    }
    if (quote)
        out += QLatin1Char('"');
    return out;
}

// A word for a POSIX shell (and GLib's parser, which follows it): single quotes keep everything
// but the single quote itself, which is closed, escaped and reopened.
QString shellQuote(const QString& word) {
    QString inner = word;
    inner.replace(QLatin1Char('\''), QStringLiteral("'\\''"));
    return QLatin1Char('\'') + inner + QLatin1Char('\'');
}

QString mimeTypes(const DesktopMenuCommand& command, const QString& allFiles) {
    QString types;
    if (command.onFolders)
        types += QStringLiteral("inode/directory;");
    if (command.onFiles)
        types += allFiles + QLatin1Char(';');
    return types;
}

bool writeFile(const QString& path, const QString& text, bool executable, QString* error) {
    const QString folder = QFileInfo(path).path();
    if (!QDir().mkpath(folder)) {
        if (error)
            *error = QStringLiteral("Cannot create folder \"%1\"").arg(folder);
        return false;
    }
    QSaveFile file(path);
    const QByteArray bytes = text.toUtf8();
    bool ok = file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
    if (ok && executable)
        ok = file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner |
                                 QFileDevice::ReadGroup | QFileDevice::ExeGroup | QFileDevice::ReadOther |
                                 QFileDevice::ExeOther);
    if (ok)
        ok = file.commit();
    else
        file.cancelWriting();
    if (!ok && error)
        *error = QStringLiteral("Cannot write \"%1\": %2").arg(path, file.errorString());
    return ok;
}

} // namespace

QString DesktopMenuEntries::dataHome() {
    const QString data = qEnvironmentVariable("XDG_DATA_HOME");
    // The base directory rules ignore a relative path.
    if (!data.isEmpty() && QDir::isAbsolutePath(data))
        return data;
    return QDir::homePath() + QStringLiteral("/.local/share");
}

QStringList DesktopMenuEntries::paths() {
    return {entryPath(EntryFile::DesktopEntry), entryPath(EntryFile::ServiceMenu), entryPath(EntryFile::NemoAction),
            entryPath(EntryFile::NautilusScript)};
}

QString DesktopMenuEntries::execValue(const QString& program, const QStringList& arguments) {
    // Field codes may not stand inside a quoted argument, so the placeholder becomes a bare %f.
    QStringList words{quoteExecArgument(program)};
    for (const QString& argument : arguments)
        words << (argument == itemPlaceholder ? QStringLiteral("%f") : quoteExecArgument(argument));
    return escapeStringValue(words.join(QLatin1Char(' ')));
}

QString DesktopMenuEntries::desktopEntryText(const DesktopMenuCommand& command) {
    return QStringLiteral("[Desktop Entry]\n"
                          "Type=Application\n"
                          "Version=1.5\n"
                          "Name=%1\n"
                          "Comment=%2\n"
                          "Icon=%3\n"
                          "Exec=%4\n"
                          "Terminal=false\n"
                          "MimeType=%5\n")
        .arg(command.text, comment, iconName, execValue(command.programPath, command.arguments),
             mimeTypes(command, QStringLiteral("application/octet-stream")));
}

QString DesktopMenuEntries::serviceMenuText(const DesktopMenuCommand& command) {
    // Both service type keys: the first for older KIO, the second for the releases that replaced it.
    return QStringLiteral("[Desktop Entry]\n"
                          "Type=Service\n"
                          "ServiceTypes=KonqPopupMenu/Plugin\n"
                          "X-KDE-ServiceTypes=KonqPopupMenu/Plugin\n"
                          "MimeType=%1\n"
                          "Actions=RunTrovex;\n"
                          "X-KDE-Priority=TopLevel\n"
                          "\n"
                          "[Desktop Action RunTrovex]\n"
                          "Name=%2\n"
                          "Icon=%3\n"
                          "Exec=%4\n")
        .arg(mimeTypes(command, QStringLiteral("all/allfiles")), command.text, iconName,
             execValue(command.programPath, command.arguments));
}

QString DesktopMenuEntries::nemoActionText(const DesktopMenuCommand& command) {
    // Nemo pastes the double-quoted path over %F in the raw text and only looks for field codes
    // from the first "%" on, so a "%" in the program path would hide %F. The token therefore comes
    // first, as the $0 of a small shell command, and the program and its arguments follow it.
    QStringList script{QStringLiteral("exec")};
    QStringList values;
    for (const QString& word : QStringList{command.programPath} + command.arguments) {
        if (word == itemPlaceholder) {
            script << QStringLiteral("\"$0\"");
        } else {
            values << shellQuote(word);
            script << QStringLiteral("\"$%1\"").arg(values.size());
        }
    }
    const QString exec = QStringLiteral("/bin/sh -c ") + shellQuote(script.join(QLatin1Char(' '))) +
                         QStringLiteral(" %F ") + values.join(QLatin1Char(' '));
    QString extensions = QStringLiteral("any;");
    if (!command.onFiles)
        extensions = QStringLiteral("dir;");
    else if (!command.onFolders)
        extensions = QStringLiteral("nodirs;");
    return QStringLiteral("[Nemo Action]\n"
                          "Active=true\n"
                          "Name=%1\n"
                          "Comment=%2\n"
                          "Icon-Name=%3\n"
                          "Exec=%4\n"
                          "Selection=s\n"
                          "Extensions=%5\n"
                          "Quote=double\n")
        .arg(command.text, comment, iconName, escapeStringValue(exec), extensions);
}

QString DesktopMenuEntries::nautilusScriptText(const DesktopMenuCommand& command) {
    QStringList words{shellQuote(command.programPath)};
    for (const QString& argument : command.arguments)
        words << (argument == itemPlaceholder ? QStringLiteral("\"$item\"") : shellQuote(argument));
    return QStringLiteral("#!/bin/sh\n"
                          "# %1 on the clicked item. Trovex wrote this script when it registered its\n"
                          "# context-menu command and removes it with the registration.\n"
                          "# Nautilus passes local items relative to the folder it shows, its working directory.\n"
                          "item=$1\n"
                          "case $item in\n"
                          "/* | '') ;;\n"
                          "*) item=$PWD/$item ;;\n"
                          "esac\n"
                          "exec %2\n")
        .arg(command.text, words.join(QLatin1Char(' ')));
}

bool DesktopMenuEntries::write(const DesktopMenuCommand& command, QString* error) {
    if (!command.onFolders && !command.onFiles)
        return remove(error);
    const struct {
        EntryFile file;
        QString text;
        bool executable;
    } entries[] = {
        {EntryFile::DesktopEntry, desktopEntryText(command), false},
        {EntryFile::ServiceMenu, serviceMenuText(command), true},
        {EntryFile::NemoAction, nemoActionText(command), false},
        {EntryFile::NautilusScript, nautilusScriptText(command), true},
    };
    bool ok = true;
    for (const auto& entry : entries) {
        QString reason;
        if (!writeFile(entryPath(entry.file), entry.text, entry.executable, &reason)) {
            if (ok && error)
                *error = reason;
            ok = false;
        }
    }
    return ok;
}

bool DesktopMenuEntries::remove(QString* error) {
    bool ok = true;
    for (const QString& path : paths()) {
        QFile file(path);
        // A dangling link counts as an entry too, so ask the link itself rather than its target.
        if (!QFileInfo(path).exists() && !QFileInfo(path).isSymLink())
            continue;
        if (!file.remove()) {
            if (ok && error)
                *error = QStringLiteral("Cannot remove \"%1\": %2").arg(path, file.errorString());
            ok = false;
        }
    }
    return ok;
}
