#include "app/try1.h"

#include "commands/Desktop.h"

#include "platform/FileAttributes.h"
#include "platform/PathAttributes.h"
#include "search/FileHelpers.h"
#include "search/TDataIndexList.h"

#include <QAction>
#include <QGuiApplication>
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
    const QString path = ListView2->cellText(selected.first(), 0);
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

void TForm1::keepRowsLike(QString (*key)(const QString& path)) {
    if (m_runActive)
        return;
    const QList<int> selected = ListView2->selectedRows();
    if (selected.isEmpty())
        return;
    const QString wanted = key(ListView2->cellText(selected.first(), 0));
    QList<int> gone;
    for (int r = 0; r < ListView2->rowCount(); ++r) {
        if (!SameTextLocale(key(ListView2->cellText(r, 0)), wanted))
            gone.append(r);
    }
    ListView2->removeRowsAt(gone);
    FileCount->setText(QString::number(ListView2->rowCount()));
}

void TForm1::FilterClick() {
    keepRowsLike(ExtractFilePath);
}

void TForm1::Filterfilesbytype1Click() {
    keepRowsLike(ExtractExt);
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
    return m_sortKeys.typeKey(*sender->reportModel(), colIndex, stored, key);
}

bool TForm1::ListView2CustomSort(TSortListView* sender, int colIndex, int stored, double& key) {
    return m_sortKeys.fileKey(*sender->reportModel(), colIndex, stored, key);
}
