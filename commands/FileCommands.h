#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

class Desktop;
class QWidget;

// The commands on the selected files, as functions of their paths' bytes (as the file list holds
// them), the desktop and the window they belong to; a path is decoded only to be shown. Copying
// and moving to a folder are in FileTransfer.h.

// The delete question (caption "Confirm", Yes/No): true for Yes.
bool confirmDelete(Desktop& desktop, QWidget* parent);
// Moves one file to the trash: true when it went; otherwise shows why and returns false.
bool trashFile(const QByteArray& path, Desktop& desktop, QWidget* parent);

// Asks once whether to delete, then moves each file to the trash, from the last path to the
// first; trashed(i) follows each path i that went. A file that stays is reported at once with the
// system's reason, and the next one follows.
void deleteToTrash(const QList<QByteArray>& paths, Desktop& desktop, QWidget* parent,
                   const std::function<void(qsizetype index)>& trashed);

// The paths as text, one per line with CR LF, on the clipboard.
void copyNamesToClipboard(const QList<QByteArray>& paths, Desktop& desktop);
// The files on the clipboard as a file list that file managers paste as copies.
void copyFilesToClipboard(const QList<QByteArray>& paths, Desktop& desktop);

// CSV text to the clipboard, or with save through the save dialog SD1, which opens on lastName
// and remembers the name chosen. Throws the writer's message when the file cannot be written.
void exportCsv(const QString& text, bool save, Desktop& desktop, QWidget* parent, QString& lastName);

// Packs the files into a ZIP archive beside the first of them, says where it is and shows it in
// the file manager; progress(path) comes before each file is packed. A failure is shown instead.
void zipFiles(const QList<QByteArray>& paths, Desktop& desktop, QWidget* parent,
              const std::function<void(const QString& path)>& progress);
