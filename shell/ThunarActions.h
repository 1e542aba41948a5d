#pragma once

#include "shell/DesktopMenuEntries.h"

#include <QByteArray>
#include <QString>
#include <optional>

// "Run Trovex" among Thunar's custom actions, in $XDG_CONFIG_HOME/Thunar/uca.xml ($HOME/.config
// when the variable is unset, empty or not absolute). That file is the user's own: Trovex splices
// its one action, known by its unique-id, into the text or out of it and leaves every other byte
// as it is. The file is replaced through a temporary file beside it; Thunar's folder is reached as
// usual, but a uca.xml that is a link, that does not parse as Thunar's actions or that could not be
// rewritten faithfully, is left as it is and reported.
class ThunarActions {
public:
    // The unique-id of Trovex's action; no other action is ever replaced or removed.
    static inline const QString uniqueId = QStringLiteral("trovex-run");

    static QString path();

    // The <action> element, without a line break after it, that runs the command on the one
    // clicked item: a shell command line (DesktopMenuEntries::shellCommandLine), which is what
    // Thunar runs through /bin/sh. Empty when the menu text or the command holds a character that
    // XML cannot carry (a control character, or a lone surrogate from a name that is not UTF-8).
    static QString actionText(const DesktopMenuCommand& command);

    // original with Trovex's action set to action: the first of Trovex's actions replaced in place
    // and any further one removed, or, where there is none, action added as the last one. An empty
    // action removes them all. A removed action takes its line along when it stands alone on it.
    // Nothing when original is not UTF-8 text of an XML document whose root is <actions>, when it
    // declares a document type (its entities and declarations could not be kept faithfully), or
    // when the result would not read back as the same document but for Trovex's action; error
    // then says why, as a clause ("it does not parse as Thunar's actions (line 3: ...)"). The XML
    // declaration is not checked, as Thunar does not read it either.
    static std::optional<QByteArray> spliced(const QByteArray& original, const QString& action,
                                             QString* error = nullptr);

    // What Thunar shows while the user has no uca.xml of their own: the first Thunar/uca.xml of
    // $XDG_CONFIG_DIRS (/etc/xdg when unset) when it parses, otherwise an empty <actions> element.
    // A missing uca.xml starts from this text, and a uca.xml that comes back to it once Trovex's
    // action is gone is deleted, since Thunar shows the same without it.
    static QByteArray newFileText();

    // Puts Trovex's action into uca.xml, or removes it when the command is offered on neither
    // folders nor files. An action that cannot be offered (actionText() is empty) is removed and
    // reported. The file is not touched when it would not change. Returns false with the reason in
    // error when the action could not be put in place.
    static bool write(const DesktopMenuCommand& command, QString* error = nullptr);

    // Removes Trovex's action from uca.xml. A missing file is no failure. Returns false with the
    // reason in error when the file could not be read, parsed or written.
    static bool remove(QString* error = nullptr);
};
