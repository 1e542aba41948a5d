#include "support/gui/FakeDesktop.h"

#include "platform/FileName.h"

void FakeDesktop::showError(QWidget*, const QString& message) {
    errors.append(message);
    if (errorSink)
        errorSink->append(message);
}

bool FakeDesktop::confirm(QWidget*, const QString& caption, const QString& question) {
    questions.append(caption + QLatin1Char('|') + question);
    return confirmAnswer;
}

bool FakeDesktop::confirmOpen(QWidget* parent, const QString& text) {
    if (!openAnswer)
        return Desktop::confirmOpen(parent, text);
    warnings.append(text);
    return *openAnswer;
}

platform::ConflictAnswer FakeDesktop::askReplace(QWidget*, const QString& source, const QString& target) {
    conflicts.append(source + QStringLiteral(" -> ") + target);
    return replaceAnswers.isEmpty() ? platform::ConflictAnswer::Skip : replaceAnswers.takeFirst();
}

void FakeDesktop::openFile(const QByteArray& path) {
    opened.append(platform::decodeFileName(path));
    Desktop::openFile(path);
}

QString FakeDesktop::chooseFolder(QWidget*) {
    ++folderAsked;
    return folderAnswer;
}

QString FakeDesktop::saveCsvFileName(QWidget*, const QString& name) {
    saveOffered.append(name);
    return saveAnswer;
}

void FakeDesktop::showInFileManager(QWidget* parent, const QByteArray& path) {
    if (recordFileManager)
        shownInFileManager.append(platform::decodeFileName(path));
    else
        Desktop::showInFileManager(parent, path);
}

QString FakeDesktop::typeName(const QString& typeText) {
    return typeNames ? typeNames(typeText) : Desktop::typeName(typeText);
}
