#include "commands/FileTransfer.h"

#include "commands/CommandUi.h"
#include "commands/TransferProgress.h"
#include "platform/FileOperations.h"

#include <exception>

namespace {

QString fileNamePart(const QString& path) {
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

// Runs the loop; false when an exception ended it, after showing its message.
bool transferEach(QWidget* parent, CommandUi& ui, TransferMode mode, const QStringList& paths, const QString& folder) {
    try {
        qint64 totalBytes = 0;
        for (const QString& path : paths)
            totalBytes += platform::fileSizeOf(path);
        TransferProgress progress(
            parent, mode == TransferMode::Copy ? QStringLiteral("Copying") : QStringLiteral("Moving"), totalBytes);
        qint64 doneBefore = 0;
        for (const QString& source : paths) {
            const QString name = fileNamePart(source);
            if (!progress.update(name, doneBefore))
                break;
            platform::FileOpHooks hooks;
            hooks.onConflict = [parent, &ui](const QString& from, const QString& to) {
                return ui.askReplace(parent, from, to);
            };
            hooks.onProgress = [&](qint64 done, qint64) { return progress.update(name, doneBefore + done); };
            const qint64 size = platform::fileSizeOf(source);
            const QString target = folder + name;
            const platform::FileOpResult result = mode == TransferMode::Copy
                                                      ? platform::copyFile(source, target, hooks)
                                                      : platform::moveFile(source, target, hooks);
            if (result.status == platform::FileOpStatus::Cancelled)
                break;
            if (result.status == platform::FileOpStatus::Failed)
                ui.showMessage(parent, result.message);
            doneBefore += size;
        }
    } catch (const std::exception& e) {
        ui.showMessage(parent, QString::fromUtf8(e.what()));
        return false;
    }
    return true;
}

} // namespace

void transferFiles(QWidget* parent, CommandUi& ui, TransferMode mode, const QStringList& paths, const QString& folder) {
    // The progress dialog is gone before the summary appears.
    if (transferEach(parent, ui, mode, paths, folder))
        ui.showMessage(parent, (mode == TransferMode::Copy ? QStringLiteral("Files copied to: ")
                                                           : QStringLiteral("Files moved to: ")) +
                                   folder);
}
