#include "commands/FileCommands.h"

#include "commands/Desktop.h"
#include "export/ClipboardData.h"
#include "export/CsvText.h"
#include "export/CsvWriter.h"
#include "export/ZipArchiveFile.h"
#include "export/ZipArchivePath.h"
#include "platform/FileName.h"
#include "platform/Trash.h"

#include <exception>
#include <stdexcept>

bool confirmDelete(Desktop& desktop, QWidget* parent) {
    return desktop.confirm(parent, QStringLiteral("Confirm"),
                           QStringLiteral("Are you sure you want to delete these files?"));
}

bool trashFile(const QByteArray& path, Desktop& desktop, QWidget* parent) {
    try {
        const platform::TrashResult result = platform::moveToTrash(path);
        if (result.ok)
            return true;
        desktop.showMessage(
            parent, QStringLiteral("Cannot delete \"%1\". %2.").arg(platform::decodeFileName(path), result.error));
    } catch (const std::exception& e) {
        desktop.showMessage(parent, QString::fromUtf8(e.what()));
    }
    return false;
}

void deleteToTrash(const QList<QByteArray>& paths, Desktop& desktop, QWidget* parent,
                   const std::function<void(qsizetype index)>& trashed) {
    if (paths.isEmpty() || !confirmDelete(desktop, parent))
        return;
    for (qsizetype i = paths.size() - 1; i >= 0; --i) {
        if (trashFile(paths[i], desktop, parent))
            trashed(i);
    }
}

void copyNamesToClipboard(const QList<QByteArray>& paths, Desktop& desktop) {
    desktop.setClipboard(namesMimeData(paths));
}

void copyFilesToClipboard(const QList<QByteArray>& paths, Desktop& desktop) {
    desktop.setClipboard(fileListMimeData(paths));
}

void exportCsv(const QString& text, bool save, Desktop& desktop, QWidget* parent, QString& lastName) {
    if (!save) {
        desktop.setClipboard(textMimeData(text));
        return;
    }
    const QString name = desktop.saveCsvFileName(parent, lastName);
    if (name.isEmpty())
        return;
    lastName = name;
    CsvWriter writer;
    if (!writer.save(name, text))
        throw std::runtime_error(writer.errorString().toStdString());
}

void zipFiles(const QList<QByteArray>& paths, Desktop& desktop, QWidget* parent,
              const std::function<void(const QString& path)>& progress) {
    if (paths.isEmpty())
        return;
    try {
        const QString archive =
            ZipArchiveFile::create(zipArchivePath(platform::decodeFileName(paths.first())), paths,
                                   [&progress](const QString& path, double, ZipWriter::Phase) { progress(path); });
        desktop.showMessage(parent, QStringLiteral("ZIP archive saved as ") + archive);
        desktop.showInFileManager(parent, platform::encodeFileName(archive));
    } catch (const std::exception& e) {
        desktop.showMessage(parent, QString::fromStdString(e.what()));
    }
}
