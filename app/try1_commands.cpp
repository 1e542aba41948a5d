#include "app/try1.h"

#include "commands/Desktop.h"
#include "commands/FileCommands.h"
#include "commands/FileTransfer.h"
#include "export/ListWriters.h"
#include "lists/ModelRows.h"
#include "text/FileHelpers.h"
#include "shell/ContextMenu.h"
#include "skin/SkinEngine.h"

#include <QAction>
#include <QCoreApplication>
#include <QLabel>
#include <QLayout>
#include <QScopeGuard>
#include <QSet>
#include <numeric>

#include "app/DuplicatesWindow.h"
#include "app/LedLamp.h"

namespace {

// The rows' paths as the list holds their bytes.
QList<QByteArray> pathsOf(const TSortListView* list, const QList<int>& rows) {
    QList<QByteArray> paths;
    paths.reserve(rows.size());
    for (const int row : rows) {
        const std::string_view bytes = list->reportModel()->captionBytes(row);
        paths.append(QByteArray(bytes.data(), qsizetype(bytes.size())));
    }
    return paths;
}

} // namespace

QList<QByteArray> TForm1::SelectedPaths() const {
    return pathsOf(ListView2, ListView2->selectedRows());
}

void TForm1::transferSelected(TransferMode mode) {
    const QList<QByteArray> paths = SelectedPaths();
    if (paths.isEmpty())
        return;
    const QString folder = ChooseFolder();
    // After a move the rows keep their old paths: the list shows what was found, not where it went.
    if (!folder.isEmpty())
        transferFiles(this, *m_desktop, mode, paths, folder);
}

void TForm1::Copyto1Click() {
    transferSelected(TransferMode::Copy);
}

void TForm1::Moveselectedfiles1Click() {
    transferSelected(TransferMode::Move);
}

void TForm1::DeleteFiles2Click() {
    const QList<int> rows = ListView2->selectedRows();
    if (rows.isEmpty())
        return;
    // Paths go from the last row up, so that removing a row leaves the rows still to visit in place.
    deleteToTrash(pathsOf(ListView2, rows), *m_desktop, this,
                  [this, &rows](qsizetype i) { ListView2->removeRowsAt({rows[i]}); });
}

void TForm1::FindDuplicates1Click() {
    const QList<QByteArray> paths = SelectedPaths();
    if (paths.isEmpty())
        return;
    if (!DuplicateWindow) {
        DuplicateWindow = new DuplicatesWindow(*m_desktop, this);
        connect(DuplicateWindow, &DuplicatesWindow::filesTrashed, this,
                [this](const QList<QByteArray>& trashed) { guarded([this, &trashed] { removeRowsOf(trashed); }); });
    }
    DuplicateWindow->start(paths);
    DuplicateWindow->show();
    DuplicateWindow->raise();
    DuplicateWindow->activateWindow();
}

void TForm1::removeRowsOf(const QList<QByteArray>& paths) {
    // A run empties the file list and fills it anew: the rows these paths had are gone already.
    if (m_runActive)
        return;
    const QSet<QByteArray> gone(paths.begin(), paths.end());
    ListView2->finishSort();
    const ReportModel* model = ListView2->reportModel();
    QList<int> rows;
    for (int row = 0; row < ListView2->rowCount(); ++row) {
        const std::string_view bytes = model->captionBytes(row);
        if (gone.contains(QByteArray(bytes.data(), qsizetype(bytes.size()))))
            rows.append(row);
    }
    if (!rows.isEmpty())
        ListView2->removeRowsAt(rows);
}

void TForm1::Copyfilelist1Click() {
    const QList<QByteArray> paths = SelectedPaths();
    if (!paths.isEmpty())
        copyNamesToClipboard(paths, *m_desktop);
}

void TForm1::Copyfiles1Click() {
    const QList<QByteArray> paths = SelectedPaths();
    if (!paths.isEmpty())
        CopyFilesToClipboard(paths);
}

void TForm1::CopyFilesToClipboard(const QList<QByteArray>& paths) {
    copyFilesToClipboard(paths, *m_desktop);
}

// The CSV of a list's rows; tag 99 saves through SD1, any other tag copies to the clipboard.
void TForm1::exportListCsv(const TSortListView* list, const QList<int>& rows, const QAction* sender) {
    const ListKind kind = list == ListView1 ? ListKind::Types : ListKind::Files;
    const QString text = csvText(ModelRows(*list->reportModel(), kind, rows));
    exportCsv(text, sender && sender->data().toInt() == 99, *m_desktop, this, SD1LastName);
}

void TForm1::CopyfiledetailstoclipboardasCSV1Click(QAction* sender) {
    const QList<int> rows = ListView2->selectedRows();
    if (!rows.isEmpty())
        exportListCsv(ListView2, rows, sender);
}

void TForm1::Copydetailstoclipboard1Click(QAction* sender) {
    // Every type row, selected or not.
    QList<int> rows(ListView1->rowCount());
    std::iota(rows.begin(), rows.end(), 0);
    if (!rows.isEmpty())
        exportListCsv(ListView1, rows, sender);
}

void TForm1::OpenfolderinExplorerClick() {
    const QList<int> rows = ListView2->selectedRows();
    // The topmost selected row in list order, whichever row has the focus.
    if (!rows.isEmpty())
        m_desktop->showInFileManager(this, pathsOf(ListView2, {rows.first()}).first());
}

void TForm1::Properties1Click() {
    const QList<int> rows = ListView2->selectedRows();
    if (rows.size() != 1) {
        m_desktop->showMessage(this, QStringLiteral("Select one file only!"));
        return;
    }
    m_desktop->showFileProperties(this, pathsOf(ListView2, rows).first());
}

void TForm1::ZIPselectedfiles1Click() {
    const QList<QByteArray> paths = SelectedPaths();
    if (paths.isEmpty())
        return;
    TntLabel4->show();
    const auto hideLabel = qScopeGuard([this] { TntLabel4->hide(); });
    zipFiles(paths, *m_desktop, this, [this](const QString& path) { ZipForge1FileProgress(path); });
}

void TForm1::ZipForge1FileProgress(const QString& fileName) {
    TntLabel4->setText(QStringLiteral("Archiving ") + ExtractFileName(fileName));
    // No events are processed while the archive is written, so the bar is laid out and the label
    // painted here and now.
    if (QLayout* bar = TntLabel4->parentWidget()->layout())
        bar->activate();
    TntLabel4->repaint();
}

void TForm1::TntButton1Click() {
    // The running program's own path, so that registering again after a move writes the new one.
    // Keys that could not be deleted and entries that could not be updated are reported after the
    // lamp shows what the store holds.
    QString report;
    const bool registered = ToggleContextMenu(SkinData1->isActive(), QCoreApplication::applicationFilePath(), &report);
    JvLED1->setStatus(registered);
    if (!report.isEmpty())
        showError(report);
}
