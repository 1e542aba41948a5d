#include "app/try1.h"

#include "commands/Desktop.h"
#include "commands/FileCommands.h"
#include "commands/FileTransfer.h"
#include "export/ListWriters.h"
#include "lists/ModelRows.h"
#include "search/FileHelpers.h"
#include "shell/ContextMenu.h"
#include "skin/SkinEngine.h"

#include <QAction>
#include <QCoreApplication>
#include <QLabel>
#include <QLayout>
#include <QScopeGuard>
#include <numeric>

#include "app/LedLamp.h"

QStringList TForm1::SelectedPaths() const {
    QStringList paths;
    for (const int row : ListView2->selectedRows())
        paths.append(ListView2->cellText(row, 0));
    return paths;
}

void TForm1::Copyto1Click() {
    if (ListView2->selectedRows().isEmpty())
        return;
    const QStringList paths = SelectedPaths();
    const QString folder = ChooseFolder();
    if (!folder.isEmpty())
        transferFiles(this, *m_desktop, TransferMode::Copy, paths, folder);
}

void TForm1::Moveselectedfiles1Click() {
    if (ListView2->selectedRows().isEmpty())
        return;
    const QStringList paths = SelectedPaths();
    const QString folder = ChooseFolder();
    // The rows keep their old paths: the list shows what was found, not where it went.
    if (!folder.isEmpty())
        transferFiles(this, *m_desktop, TransferMode::Move, paths, folder);
}

void TForm1::DeleteFiles2Click() {
    const QList<int> rows = ListView2->selectedRows();
    if (rows.isEmpty())
        return;
    // Paths go from the last row up, so that removing a row leaves the rows still to visit in place.
    deleteToTrash(SelectedPaths(), *m_desktop, this,
                  [this, &rows](qsizetype i) { ListView2->removeRowsAt({rows[i]}); });
}

void TForm1::Copyfilelist1Click() {
    if (!ListView2->selectedRows().isEmpty())
        copyNamesToClipboard(SelectedPaths(), *m_desktop);
}

void TForm1::Copyfiles1Click() {
    if (ListView2->selectedRows().isEmpty())
        return;
    const QStringList paths = SelectedPaths();
    if (!paths.isEmpty())
        CopyFilesToClipboard(paths);
}

void TForm1::CopyFilesToClipboard(const QStringList& paths) {
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
        m_desktop->showInFileManager(this, ListView2->cellText(rows.first(), 0));
}

void TForm1::Properties1Click() {
    const QList<int> rows = ListView2->selectedRows();
    if (rows.size() != 1) {
        m_desktop->showMessage(this, QStringLiteral("Select one file only!"));
        return;
    }
    m_desktop->showFileProperties(this, ListView2->cellText(rows.first(), 0));
}

void TForm1::ZIPselectedfiles1Click() {
    if (ListView2->selectedRows().isEmpty())
        return;
    TntLabel4->show();
    const auto hideLabel = qScopeGuard([this] { TntLabel4->hide(); });
    zipFiles(SelectedPaths(), *m_desktop, this, [this](const QString& path) { ZipForge1FileProgress(path); });
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
