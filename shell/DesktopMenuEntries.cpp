#include "shell/DesktopMenuEntries.h"

#include "platform/SafeFolder.h"
#include "shell/ThunarActions.h"

#include <QDir>

#include <algorithm>
#include <cerrno>

namespace {

const QString itemPlaceholder = QStringLiteral("%1");

enum class EntryFile { DesktopEntry, ServiceMenu, NemoAction, NautilusScript, FileManagerAction };
constexpr EntryFile entryFiles[] = {EntryFile::DesktopEntry, EntryFile::ServiceMenu, EntryFile::NemoAction,
                                    EntryFile::NautilusScript, EntryFile::FileManagerAction};

// Each file manager's own folder under the data home, and the file Trovex keeps there. The folder
// is reached as usual; inside it nothing follows a link.
struct EntryPlace {
    QString folder;
    QString name;
};

EntryPlace entryPlace(EntryFile which) {
    switch (which) {
    case EntryFile::DesktopEntry:
        return {QStringLiteral("applications"), QStringLiteral("trovex-run.desktop")};
    case EntryFile::ServiceMenu:
        return {QStringLiteral("kio/servicemenus"), QStringLiteral("trovex-run.desktop")};
    case EntryFile::NemoAction:
        return {QStringLiteral("nemo/actions"), QStringLiteral("trovex-run.nemo_action")};
    case EntryFile::NautilusScript:
        return {QStringLiteral("nautilus/scripts"), QStringLiteral("Run Trovex")};
    case EntryFile::FileManagerAction:
        return {QStringLiteral("file-manager/actions"), QStringLiteral("trovex-run.desktop")};
    }
    Q_UNREACHABLE();
}

QString entryFolder(EntryFile which) {
    return DesktopMenuEntries::dataHome() + QLatin1Char('/') + entryPlace(which).folder;
}

QString entryPath(EntryFile which) {
    return entryFolder(which) + QLatin1Char('/') + entryPlace(which).name;
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

bool writeEntry(EntryFile which, const QString& text, bool executable, QString* error) {
    const platform::SafeFolder folder = platform::SafeFolder::openBase(entryFolder(which), true, error);
    // KIO loads only executable service menus; the umask still decides who else may run them.
    return folder.isOpen() && folder.writeFile(entryPlace(which).name, text.toUtf8(), executable ? 0777 : 0666, error);
}

bool removeEntry(EntryFile which, QString* error) {
    int code = 0;
    const platform::SafeFolder folder = platform::SafeFolder::openBase(entryFolder(which), false, error, &code);
    if (!folder.isOpen())
        return code == ENOENT || code == ENOTDIR; // no folder, so no entry in it
    return folder.removeFile(entryPlace(which).name, error);
}

// Whether Nemo can be given the command. Nemo scans the raw Exec text for its field codes, and
// releases differ in what they make of a "%" that is not one, so a "%" anywhere but in the
// placeholder could hide the path or name another program; such a command gets no Nemo action.
bool nemoCanRun(const DesktopMenuCommand& command) {
    const auto hasPercent = [](const QString& word) {
        return word != itemPlaceholder && word.contains(QLatin1Char('%'));
    };
    return !hasPercent(command.programPath) &&
           std::none_of(command.arguments.begin(), command.arguments.end(), hasPercent);
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
    QStringList list;
    for (const EntryFile file : entryFiles)
        list << entryPath(file);
    return list;
}

QString DesktopMenuEntries::execValue(const QString& program, const QStringList& arguments) {
    // Field codes may not stand inside a quoted argument, so the placeholder becomes a bare %f.
    QStringList words{quoteExecArgument(program)};
    for (const QString& argument : arguments)
        words << (argument == itemPlaceholder ? QStringLiteral("%f") : quoteExecArgument(argument));
    return escapeStringValue(words.join(QLatin1Char(' ')));
}

QString DesktopMenuEntries::shellCommandLine(const QString& program, const QStringList& arguments) {
    // The file manager's own pass turns "%%" back into "%" before any shell sees the line.
    const auto word = [](const QString& text) { return shellQuote(text).replace(u'%', QStringLiteral("%%")); };
    QStringList words{word(program)};
    for (const QString& argument : arguments)
        words << (argument == itemPlaceholder ? QStringLiteral("%f") : word(argument));
    return words.join(QLatin1Char(' '));
}

QString DesktopMenuEntries::desktopEntryText(const DesktopMenuCommand& command) {
    // No MimeType and hidden: an entry that names types becomes a candidate default handler of
    // them (of folders, and of every file of unknown type) once the desktop indexes the user's
    // entries. The context menus come from the file managers' own files below. Version 1.4, since
    // the entry uses no key of a later one and older validators reject a version they do not know.
    return QStringLiteral("[Desktop Entry]\n"
                          "Type=Application\n"
                          "Version=1.4\n"
                          "Name=%1\n"
                          "Comment=%2\n"
                          "Icon=%3\n"
                          "Exec=%4\n"
                          "Terminal=false\n"
                          "NoDisplay=true\n")
        .arg(command.text, desktopMenuComment, desktopMenuIcon, execValue(command.programPath, command.arguments));
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
        .arg(mimeTypes(command, QStringLiteral("all/allfiles")), command.text, desktopMenuIcon,
             execValue(command.programPath, command.arguments));
}

QString DesktopMenuEntries::nemoActionText(const DesktopMenuCommand& command) {
    if (!nemoCanRun(command))
        return {};
    // The program first and the path as a word of its own: Nemo splits the line into arguments
    // and starts the program directly, so no shell ever reads the clicked path. Releases that
    // paste the path into its quotes without escaping can then only garble Trovex's arguments.
    QStringList words{quoteExecArgument(command.programPath)};
    for (const QString& argument : command.arguments)
        words << (argument == itemPlaceholder ? QStringLiteral("%F") : quoteExecArgument(argument));
    const QString exec = words.join(QLatin1Char(' '));
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
        .arg(command.text, desktopMenuComment, desktopMenuIcon, escapeStringValue(exec), extensions);
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

QString DesktopMenuEntries::fileManagerActionText(const DesktopMenuCommand& command) {
    // PCManFM and PCManFM-Qt put the shell-quoted path in place of %f and split the line as a
    // shell would, without one, so the path stays one word whatever it holds. The action is in
    // no application folder, so nothing indexes it as a handler of its types. With %f they would
    // start the program once for each selected item, so it is offered for one item at a time.
    return QStringLiteral("[Desktop Entry]\n"
                          "Type=Action\n"
                          "Name=%1\n"
                          "Tooltip=%2\n"
                          "Icon=%3\n"
                          "Profiles=run;\n"
                          "\n"
                          "[X-Action-Profile run]\n"
                          "Name=%1\n"
                          "MimeTypes=%4\n"
                          "SelectionCount==1\n"
                          "Exec=%5\n")
        .arg(command.text, desktopMenuComment, desktopMenuIcon, mimeTypes(command, QStringLiteral("all/allfiles")),
             escapeStringValue(shellCommandLine(command.programPath, command.arguments)));
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
        {EntryFile::FileManagerAction, fileManagerActionText(command), false},
    };
    bool ok = true;
    for (const auto& entry : entries) {
        QString reason;
        bool written = false;
        if (!entry.text.isEmpty()) {
            written = writeEntry(entry.file, entry.text, entry.executable, &reason);
        } else if (removeEntry(entry.file, &reason)) {
            // An action left from an earlier path would start the program that is no longer there.
            reason = QStringLiteral("Cannot write \"%1\": Nemo cannot be given a program path that holds \"%\"")
                         .arg(entryPath(entry.file));
        }
        if (!written) {
            if (ok && error)
                *error = reason;
            ok = false;
        }
    }
    QString reason;
    if (!ThunarActions::write(command, &reason)) {
        if (ok && error)
            *error = reason;
        ok = false;
    }
    return ok;
}

bool DesktopMenuEntries::remove(QString* error) {
    bool ok = true;
    const auto note = [&](bool done, const QString& reason) {
        if (!done && ok && error)
            *error = reason;
        ok = ok && done;
    };
    for (const EntryFile file : entryFiles) {
        QString reason;
        note(removeEntry(file, &reason), reason);
    }
    QString reason;
    note(ThunarActions::remove(&reason), reason);
    return ok;
}
