#include "commands/FileTransfer.h"

#include "commands/Desktop.h"
#include "commands/TransferProgress.h"
#include "platform/FileName.h"
#include "platform/FileOperations.h"
#include "platform/TransferBatch.h"
#include "text/FileHelpers.h"

#include <exception>
#include <optional>

namespace {

struct Tally {
    int arrived = 0; // copied or moved
    int failed = 0;
    bool cancelled = false;
};

// Runs the loop and counts what happened; nothing when an exception ended it, after showing its message.
std::optional<Tally> transferEach(QWidget* parent, Desktop& ui, TransferMode mode, const QList<QByteArray>& paths,
                                  const QString& folder) {
    Tally tally;
    try {
        qint64 totalBytes = 0;
        for (const QByteArray& path : paths)
            totalBytes += platform::fileSizeOf(path);
        TransferProgress progress(
            parent, mode == TransferMode::Copy ? QStringLiteral("Copying") : QStringLiteral("Moving"), totalBytes);
        // Copied files are reported once the batch has flushed them, so the counts come from here.
        platform::TransferBatch batch(mode == TransferMode::Copy ? platform::TransferBatch::Kind::Copy
                                                                 : platform::TransferBatch::Kind::Move,
                                      [&](const QString&, const platform::FileOpResult& result) {
                                          if (result.status == platform::FileOpStatus::Cancelled)
                                              tally.cancelled = true;
                                          if (result.status == platform::FileOpStatus::Done)
                                              ++tally.arrived;
                                          if (result.status == platform::FileOpStatus::Failed) {
                                              ++tally.failed;
                                              ui.showMessage(parent, result.message);
                                          }
                                      });
        // Set by "Replace all" or "Skip all", which answer every later conflict of this command.
        std::optional<platform::ConflictAnswer> forAll;
        qint64 doneBefore = 0;
        const QByteArray into = platform::encodeFileName(folder);
        for (const QByteArray& source : paths) {
            const QByteArray nameBytes = source.mid(source.lastIndexOf('/') + 1);
            const QString name = platform::decodeFileName(nameBytes); // shown in the progress dialog
            if (!progress.update(name, doneBefore)) {
                tally.cancelled = true;
                break;
            }
            platform::FileOpHooks hooks;
            hooks.onConflict = [parent, &ui, &forAll](const QString& from, const QString& to) {
                if (forAll)
                    return *forAll;
                const platform::ConflictAnswer answer = ui.askReplace(parent, from, to);
                if (answer == platform::ConflictAnswer::ReplaceAll)
                    forAll = platform::ConflictAnswer::Replace;
                if (answer == platform::ConflictAnswer::SkipAll)
                    forAll = platform::ConflictAnswer::Skip;
                return answer;
            };
            hooks.onProgress = [&](qint64 done, qint64) { return progress.update(name, doneBefore + done); };
            const qint64 size = platform::fileSizeOf(source);
            if (!batch.add(source, into + nameBytes, hooks))
                break;
            doneBefore += size;
        }
        // The files before a cancelled one are complete, and arrive.
        batch.finish();
    } catch (const std::exception& e) {
        ui.showMessage(parent, QString::fromUtf8(e.what()));
        return std::nullopt;
    }
    return tally;
}

// "Files copied to: " only when every file was handled (a skipped one counts); otherwise what the
// user needs to know: that the rest was cancelled, how many files failed, how many arrived.
QString summary(TransferMode mode, const Tally& tally, int total, const QString& folder) {
    const bool copy = mode == TransferMode::Copy;
    const QString done = copy ? QStringLiteral("copied") : QStringLiteral("moved");
    if (!tally.cancelled && tally.failed == 0)
        return (copy ? QStringLiteral("Files copied to: ") : QStringLiteral("Files moved to: ")) + folder;
    QString text =
        tally.cancelled ? (copy ? QStringLiteral("Copy cancelled; ") : QStringLiteral("Move cancelled; ")) : QString();
    // Concatenated rather than formatted, since the folder may hold "%" signs.
    if (tally.failed > 0)
        text += QString::number(tally.failed) + QStringLiteral(" of ") + QString::number(total) +
                QStringLiteral(" files could not be ") + done + QStringLiteral("; ") + QString::number(tally.arrived) +
                QLatin1Char(' ') + done;
    else
        text += QString::number(tally.arrived) + QStringLiteral(" of ") + QString::number(total) +
                QStringLiteral(" files ") + done;
    return text + QStringLiteral(" to: ") + folder;
}

} // namespace

void transferFiles(QWidget* parent, Desktop& ui, TransferMode mode, const QList<QByteArray>& paths,
                   const QString& folder) {
    // The progress dialog is gone before the summary appears.
    if (const std::optional<Tally> tally = transferEach(parent, ui, mode, paths, folder))
        ui.showMessage(parent, summary(mode, *tally, int(paths.size()), folder));
}
