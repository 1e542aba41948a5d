#pragma once

#include "platform/FileOperations.h"

#include <QByteArray>
#include <QString>

class QMimeData;
class QUrl;
class QWidget;
struct FileDetails;

// What the window and the commands ask of the desktop: dialogs, messages and questions, opening
// files, the file manager, the clipboard and the names of file types. Every function is the real
// desktop's; tests derive from this class and answer in its place. The window owns one.
class Desktop {
public:
    virtual ~Desktop() = default;

    // The application's error report: error icon, OK, caption "Trovex", "." appended by its rule.
    virtual void showError(QWidget* parent, const QString& message);
    // A plain message box: caption "Trovex", no icon, an OK button.
    virtual void showMessage(QWidget* parent, const QString& text);
    // A Yes/No question with the question icon; true for Yes.
    virtual bool confirm(QWidget* parent, const QString& caption, const QString& question);
    // The warning before opening a hidden or system file: caption "Warning", Yes (the default) and
    // No (also Escape), centred on the screen. False only for No: closing it by its close box
    // is no answer and goes on.
    virtual bool confirmOpen(QWidget* parent, const QString& text);
    // The target of a copy or move exists: replace it, skip this file, do either for every conflict
    // still to come in the command (ReplaceAll, SkipAll), or cancel the files still to come
    // (Cancel, also Escape).
    virtual platform::ConflictAnswer askReplace(QWidget* parent, const QString& source, const QString& target);
    // The folder dialog, titled "Select source folder": the picked folder, empty when cancelled.
    // Toolkit dialogs read undecodable names lossily; the caller takes the folder back by its bytes.
    virtual QString chooseFolder(QWidget* parent);
    // SD1, the save dialog of CSV files: default suffix "csv", filter "CSV Files (*.csv)", opened on
    // name, no question before replacing a file. The chosen path, or empty when cancelled.
    virtual QString saveCsvFileName(QWidget* parent, const QString& name);
    // Our own properties dialog, for when no file manager shows one. Does not wait for it.
    virtual void showProperties(QWidget* parent, const FileDetails& details);

    // Opens a file with its default application, by handing its absolute file URI to openUrl; the
    // outcome is not reported.
    virtual void openFile(const QByteArray& path);
    // Opens a URL with the desktop's handler (a file, or a folder when no file manager answers).
    virtual void openUrl(const QUrl& url);
    // The file manager shows the file selected in its folder; where none answers, the folder opens
    // (openUrl). Does not wait.
    virtual void showInFileManager(QWidget* parent, const QByteArray& path);
    // The file manager's properties of the file; where none answers, our own (showProperties),
    // or nothing when the file cannot be read, as a file manager's own failure would show.
    virtual void showFileProperties(QWidget* parent, const QByteArray& path);

    // Puts data on the clipboard, which takes it over; throws "Cannot open clipboard" when there
    // is none.
    virtual void setClipboard(QMimeData* data);

    // The desktop's name for a file type (FileTypeName).
    virtual QString typeName(const QString& typeText);
};
