#include "app/try1.h"
#include "commands/CommandUi.h"
#include "commands/engine/ClipboardData.h"
#include "commands/engine/CsvText.h"
#include "commands/engine/CsvWriter.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <numeric>
#include <stdexcept>

namespace {

// The clipboard takes ownership of data.
void putOnClipboard(QMimeData* data) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (!clipboard) {
        delete data;
        throw std::runtime_error("Cannot open clipboard");
    }
    clipboard->setMimeData(data);
}

// The list's column captions, then the texts of the given rows, as CSV lines.
QString listCsv(const TSortListView* list, const QList<int>& rows) {
    const int columns = list->model()->columnCount();
    QStringList fields;
    for (int c = 0; c < columns; ++c)
        fields.append(list->model()->headerData(c, Qt::Horizontal).toString());
    QStringList lines{csvLine(fields)};
    for (const int row : rows) {
        fields.clear();
        for (int c = 0; c < columns; ++c)
            fields.append(list->cellText(row, c));
        lines.append(csvLine(fields));
    }
    return linesText(lines);
}

// Tag 99 saves through SD1, any other tag copies to the clipboard.
void exportCsv(TForm1& form, const QAction* sender, const QString& text) {
    if (!sender || sender->data().toInt() != 99) {
        putOnClipboard(textMimeData(text));
        return;
    }
    const QString name = commandUiOf(form).saveCsvFileName(&form, form.SD1LastName);
    if (name.isEmpty())
        return;
    form.SD1LastName = name;
    CsvWriter writer;
    if (!writer.save(name, text))
        throw std::runtime_error(writer.errorString().toStdString());
}

} // namespace

void TForm1::Copyfilelist1Click() {
    if (ListView2->selectedRows().isEmpty())
        return;
    putOnClipboard(textMimeData(linesText(SelectedPaths())));
}

void TForm1::Copyfiles1Click() {
    if (ListView2->selectedRows().isEmpty())
        return;
    const QStringList paths = SelectedPaths();
    if (!paths.isEmpty())
        CopyFilesToClipboard(paths);
}

void TForm1::CopyFilesToClipboard(const QStringList& paths) {
    putOnClipboard(fileListMimeData(paths));
}

void TForm1::CopyfiledetailstoclipboardasCSV1Click(QAction* sender) {
    const QList<int> rows = ListView2->selectedRows();
    if (!rows.isEmpty())
        exportCsv(*this, sender, listCsv(ListView2, rows));
}

void TForm1::Copydetailstoclipboard1Click(QAction* sender) {
    // Every type row, selected or not.
    QList<int> rows(ListView1->rowCount());
    std::iota(rows.begin(), rows.end(), 0);
    if (!rows.isEmpty())
        exportCsv(*this, sender, listCsv(ListView1, rows));
}
