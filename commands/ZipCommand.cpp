#include "app/try1.h"
#include "commands/CommandUi.h"
#include "commands/FileManagerClient.h"
#include "commands/engine/ZipArchiveFile.h"
#include "commands/engine/ZipArchivePath.h"
#include "platform/FileUri.h"

#include <QLabel>
#include <QLayout>
#include <QScopeGuard>
#include <QUrl>

#include <exception>

void TForm1::ZIPselectedfiles1Click() {
    if (ListView2->selectedRows().isEmpty())
        return;
    TntLabel4->show();
    const auto hideLabel = qScopeGuard([this] { TntLabel4->hide(); });

    const QStringList paths = SelectedPaths();
    if (paths.isEmpty())
        return;
    try {
        const QString archive = ZipArchiveFile::create(
            zipArchivePath(paths.first()), paths,
            [this](const QString& path, double, ZipWriter::Phase) { ZipForge1FileProgress(path); });
        commandUiOf(*this).showMessage(this, QStringLiteral("ZIP archive saved as ") + archive);
        if (zipShowArchive) {
            zipShowArchive(archive);
        } else {
            // Where no file manager answers, the folder that holds the archive opens instead.
            const QString folder = archive.left(archive.lastIndexOf(QLatin1Char('/')) + 1);
            FileManagerClient().showItems({platform::fileUri(archive)}, this, [this, folder] {
                guarded([this, folder] { commandUiOf(*this).openUrl(QUrl::fromEncoded(platform::fileUri(folder))); });
            });
        }
    } catch (const std::exception& e) {
        commandUiOf(*this).showMessage(this, QString::fromStdString(e.what()));
    }
}

void TForm1::ZipForge1FileProgress(const QString& fileName) {
    TntLabel4->setText(QStringLiteral("Archiving ") + fileName.mid(fileName.lastIndexOf(QLatin1Char('/')) + 1));
    // No events are processed while the archive is written, so the bar is laid out and the label
    // painted here and now.
    if (QLayout* bar = TntLabel4->parentWidget()->layout())
        bar->activate();
    TntLabel4->repaint();
}
