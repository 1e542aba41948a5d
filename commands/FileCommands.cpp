#include "app/try1.h"
#include "commands/CommandUi.h"
#include "commands/FileTransfer.h"
#include "platform/Trash.h"

#include <exception>

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
        transferFiles(this, commandUiOf(*this), TransferMode::Copy, paths, folder);
}

void TForm1::Moveselectedfiles1Click() {
    if (ListView2->selectedRows().isEmpty())
        return;
    const QStringList paths = SelectedPaths();
    const QString folder = ChooseFolder();
    // The rows keep their old paths: the list shows what was found, not where it went.
    if (!folder.isEmpty())
        transferFiles(this, commandUiOf(*this), TransferMode::Move, paths, folder);
}

void TForm1::DeleteFiles2Click() {
    const QList<int> rows = ListView2->selectedRows();
    if (rows.isEmpty())
        return;
    CommandUi& ui = commandUiOf(*this);
    if (!ui.confirm(this, QStringLiteral("Confirm"), QStringLiteral("Are you sure you want to delete these files?")))
        return;
    // From the last row up, so that removing a row leaves the rows still to visit where they are.
    for (auto row = rows.crbegin(); row != rows.crend(); ++row) {
        try {
            const QString path = ListView2->cellText(*row, 0);
            const platform::TrashResult trashed = platform::moveToTrash(path);
            if (trashed.ok)
                ListView2->removeRowsAt({*row});
            else
                ui.showMessage(this, QStringLiteral("Cannot delete \"%1\". %2.").arg(path, trashed.error));
        } catch (const std::exception& e) {
            ui.showMessage(this, QString::fromUtf8(e.what()));
        }
    }
}
