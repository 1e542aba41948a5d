#pragma once

#include <QString>
#include <QStringList>

// What the file managers are to offer: one menu command that starts a program on the clicked item.
struct DesktopMenuCommand {
    QString text;          // the menu text
    QString programPath;   // the program to start
    QStringList arguments; // its arguments; "%1" stands for the clicked item's path
    bool onFolders = false;
    bool onFiles = false;
};

// The icon and the tooltip every entry shows with the menu text.
inline const QString desktopMenuIcon = QStringLiteral("system-search");
inline const QString desktopMenuComment = QStringLiteral("Search and summarise this item with Trovex");

// The context-menu entries of the common Linux file managers, written under $XDG_DATA_HOME
// ($HOME/.local/share when the variable is unset, empty or not absolute):
//   applications/trovex-run.desktop          a hidden desktop entry without types, which can
//                                            therefore never become a default handler
//   kio/servicemenus/trovex-run.desktop      a Dolphin service menu (executable, as KIO requires)
//   nemo/actions/trovex-run.nemo_action      a Nemo action
//   nautilus/scripts/Run Trovex              a Nautilus script (executable)
//   file-manager/actions/trovex-run.desktop  a file-manager action, read by PCManFM and PCManFM-Qt
// and, in the user's own Thunar actions, one action of Trovex's (ThunarActions.h).
// Each starts the program with the clicked path in place of "%1", whatever characters the
// program path, the arguments or the clicked path hold, and no shell reads the clicked path as
// code. The folders are reached as usual; inside them nothing follows a link: a link where one of
// these files should be is refused and reported, and it and its target are left as they are.
class DesktopMenuEntries {
public:
    static QString dataHome();
    // The five files above, in that order.
    static QStringList paths();

    // The Exec value of a desktop entry that runs program with arguments, "%1" becoming the field
    // code %f: quoted and escaped by the desktop-entry rules, "%" doubled, then the string escapes.
    static QString execValue(const QString& program, const QStringList& arguments);

    // The command line for the file managers that put the shell-quoted path in place of %f, turn
    // "%%" into "%" and then hand the line to /bin/sh (Thunar) or split it as a shell would
    // (PCManFM): every word in single quotes with its "%" doubled, "%1" a bare %f.
    static QString shellCommandLine(const QString& program, const QStringList& arguments);

    static QString desktopEntryText(const DesktopMenuCommand& command);
    static QString serviceMenuText(const DesktopMenuCommand& command);
    // Empty when the program path or an argument other than "%1" holds a "%", which Nemo's
    // releases do not read alike; no Nemo action is offered then.
    static QString nemoActionText(const DesktopMenuCommand& command);
    static QString nautilusScriptText(const DesktopMenuCommand& command);
    static QString fileManagerActionText(const DesktopMenuCommand& command);

    // Writes the five files (creating their folders) and Trovex's Thunar action, or removes them
    // when the command is offered on neither folders nor files. Each file is replaced whole, never
    // left half written. A Nemo or Thunar action that cannot be offered is removed and reported.
    // Goes on after a failure and returns false with the first reason in error.
    static bool write(const DesktopMenuCommand& command, QString* error = nullptr);

    // Removes exactly the five files and Trovex's Thunar action; their folders and anything else
    // in them stay. A missing file is no failure. Returns false with the first reason in error
    // when something stays.
    static bool remove(QString* error = nullptr);
};
