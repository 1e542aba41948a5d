#pragma once

#include "commands/Desktop.h"
#include "platform/FileDetails.h"

#include <QList>
#include <QStringList>
#include <QUrl>
#include <functional>
#include <optional>

// The desktop for tests: answers the dialogs and questions in place of the user and records what
// the window showed and handed over. What a test does not set up is answered as a user who
// cancels would answer; the file manager, the clipboard, the type names and the hidden-file
// question stay the real ones unless a test asks otherwise.
class FakeDesktop : public Desktop {
public:
    void showError(QWidget*, const QString& message) override;
    void showMessage(QWidget*, const QString& text) override { messages.append(text); }
    bool confirm(QWidget*, const QString& caption, const QString& question) override;
    bool confirmOpen(QWidget* parent, const QString& text) override;
    platform::ConflictAnswer askReplace(QWidget*, const QString& source, const QString& target) override;
    QString chooseFolder(QWidget*) override;
    QString saveCsvFileName(QWidget*, const QString& name) override;
    void showProperties(QWidget*, const FileDetails& details) override { properties.append(details); }
    // Records the path (decoded), then hands its URI to openUrl as the real desktop does.
    void openFile(const QByteArray& path) override;
    void openUrl(const QUrl& url) override { urls.append(url); }
    void showInFileManager(QWidget* parent, const QByteArray& path) override;
    QString typeName(const QString& typeText) override;

    // Where error reports go besides errors (a test's own list), when set.
    QStringList* errorSink = nullptr;
    QStringList errors;
    QStringList messages;
    QStringList questions; // "caption|question"
    bool confirmAnswer = true;
    std::optional<bool> openAnswer; // the hidden-file question: the real one while unset
    QStringList warnings;
    QList<platform::ConflictAnswer> replaceAnswers; // then Skip
    QStringList conflicts;                          // "source -> target"
    QString folderAnswer;                           // empty: cancelled
    int folderAsked = 0;
    QString saveAnswer; // empty: cancelled
    QStringList saveOffered;
    QList<FileDetails> properties;
    QStringList opened;
    QList<QUrl> urls;               // every URL the desktop was handed, those of opened files included
    bool recordFileManager = false; // the real file manager call while false
    QStringList shownInFileManager;
    std::function<QString(const QString& typeText)> typeNames; // the real names while empty
};
