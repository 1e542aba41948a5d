#include "app/try1.h"

#include "lists/ListFills.h"

#include "commands/Desktop.h"

#include "platform/FileAttributes.h"
#include "platform/PathAttributes.h"
#include "text/SortKeys.h"
#include "views/TypeChartWindow.h"

#include <QAction>
#include <QGuiApplication>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>

void TForm1::ListView1Click() {
    if (ListView1->rowCount() == 0 || !FileType->isEnabled())
        return;
    if (!(QGuiApplication::keyboardModifiers() & Qt::ShiftModifier))
        return;
    const QList<int> selected = ListView1->selectedRows();
    if (selected.isEmpty())
        return;
    FileType->setText(FileType->text() + ListView1->cellText(selected.first(), 0) + QLatin1Char(';'));
}

void TForm1::ListView2DblClick() {
    const QList<int> selected = ListView2->selectedRows();
    if (selected.isEmpty())
        return;
    const std::string_view bytes = ListView2->reportModel()->captionBytes(selected.first());
    const QByteArray path(bytes.data(), qsizetype(bytes.size()));
    quint32 attr = 0;
    if (platform::pathAttributes(path, attr) && (attr & (FileAttr::Hidden | FileAttr::System)) &&
        !m_desktop->confirmOpen(this, QStringLiteral("THIS IS A HIDDEN OR SYSTEM FILE.  Continue?")))
        return;
    m_desktop->openFile(path);
}

void TForm1::PopupMenu1Popup() {
    Reload1->setText(QStringLiteral("Reload files of type (") + CurrentType + u')');
}

void TForm1::Selectall1Click() {
    ListView2->selectAll();
}

void TForm1::keepRowsLike(PathPart part) {
    if (m_runActive)
        return;
    const QList<int> selected = ListView2->selectedRows();
    if (selected.isEmpty())
        return;
    ListView2->removeRowsAt(rowsUnlike(*ListView2->reportModel(), selected.first(), part));
    FileCount->setText(QString::number(ListView2->rowCount()));
}

void TForm1::FilterClick() {
    keepRowsLike(PathPart::Folder);
}

void TForm1::Filterfilesbytype1Click() {
    keepRowsLike(PathPart::Extension);
}

void TForm1::Removeselectedfiles1Click() {
    if (m_runActive)
        return;
    const QList<int> selected = ListView2->selectedRows();
    if (selected.isEmpty())
        return;
    ListView2->removeRowsAt(selected);
    FileCount->setText(QString::number(ListView2->rowCount()));
}

bool TForm1::ListView1CustomSort(TSortListView* sender, int colIndex, int stored, double& key) {
    return m_sortKeys.key(*sender->reportModel(), colIndex, stored, key);
}

bool TForm1::ListView2CustomSort(TSortListView* sender, int colIndex, int stored, double& key) {
    return m_sortKeys.key(*sender->reportModel(), colIndex, stored, key);
}

void TForm1::ShowChart1Click() {
    if (!ChartWindow) {
        ChartWindow = new TypeChartWindow(this);
        ChartWindow->setObjectName(QStringLiteral("ChartWindow"));
        connect(ChartWindow, &TypeChartWindow::typeActivated, this,
                [this](const QString& type) { guarded([this, type] { listTypeFromChart(type); }); });
    }
    updateChart();
    ChartWindow->show();
    ChartWindow->raise();
    ChartWindow->activateWindow();
}

void TForm1::updateChart() {
    if (!ChartWindow)
        return;
    const std::vector<TypeTotal> types = typeTotalsOf(*ListView1->reportModel());
    ChartWindow->setTypes(QList<TypeTotal>(types.begin(), types.end()));
}

void TForm1::listTypeFromChart(const QString& type) {
    // As a double click on the type's row: the row selected, then its files listed.
    for (int r = 0; r < ListView1->rowCount(); ++r) {
        if (ListView1->cellText(r, columnIndex(TypeColumn::Type)) == type) {
            ListView1->setCurrentIndex(ListView1->model()->index(r, 0));
            ListView1->selectionModel()->select(ListView1->model()->index(r, 0),
                                                QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
            ListView1DblClick();
            return;
        }
    }
}
