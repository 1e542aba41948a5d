#pragma once

#include "platform/FileOperations.h"

#include <QString>

class QUrl;
class QWidget;
class TForm1;
struct FileDetails;

// What the commands on the selected files show the user or hand to the desktop. Every function
// defaults to the real dialog or call; tests derive from this and answer in its place.
class CommandUi {
public:
    virtual ~CommandUi() = default;

    // A plain message box: caption "Trovex", no icon, an OK button.
    virtual void showMessage(QWidget* parent, const QString& text);
    // A Yes/No question with the question icon; true for Yes.
    virtual bool confirm(QWidget* parent, const QString& caption, const QString& question);
    // The target of a copy or move exists: replace it, skip this file, or cancel the files still to come.
    virtual platform::ConflictAnswer askReplace(QWidget* parent, const QString& source, const QString& target);
    // SD1, the save dialog of CSV files: default suffix "csv", filter "CSV Files (*.csv)", opened on
    // name, no question before replacing a file. The chosen path, or empty when cancelled.
    virtual QString saveCsvFileName(QWidget* parent, const QString& name);
    // Our own properties dialog, for when no file manager shows one. Does not wait for it.
    virtual void showProperties(QWidget* parent, const FileDetails& details);
    // Opens a URL with the desktop's handler (a folder, when no file manager answers).
    virtual void openUrl(const QUrl& url);
};

// The form's installed CommandUi, or the real one.
CommandUi& commandUiOf(const TForm1& form);
