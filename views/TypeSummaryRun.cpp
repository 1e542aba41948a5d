#include "app/try1.h"

#include "search/FileHelpers.h"
#include "search/RunState.h"
#include "views/RunScope.h"

#include <QCheckBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QStatusBar>

void TForm1::LoadTypeSummary() {
    const QString root = RootDir->text();
    if (root.isEmpty())
        return;
    DataList.clear();
    IndexList.Clear();
    m_typeNames.clear();
    CurrentType.clear();
    ResetDisplay();
    TotalFiles = 0;
    qint64 totalBytes = 0;

    RunScope run(*this);
    ElapsedSeconds = 0;
    ScanFolder(root, incsubs->isChecked(), QStringLiteral("+"));
    if (StopSearch) {
        CountLabel->setText(QStringLiteral("0"));
        return;
    }

    HeaderControl1->showMessage(QStringLiteral("Loading File list - please wait"));
    HeaderControl1->repaint();
    if (IndexList.Count() > 0) {
        QList<QStringList> rows;
        rows.reserve(IndexList.Count());
        for (const tDataIndex& entry : IndexList) {
            const TDataRec& rec = DataList[size_t(entry.Index)];
            // The narrow code page is UTF-8 with lossless names, so the type text is Ext itself.
            rows.append({rec.Ext, typeNameLookup(rec.Ext), QString::number(rec.Count), FormatSize(rec.Size)});
            totalBytes += rec.Size;
        }
        ListView1->reportModel()->appendRows(rows);
        Label5->setText(QStringLiteral("Total size: ") + FormatSize(totalBytes));
        Label3->setText(QStringLiteral("Total types: ") + QString::number(ListView1->rowCount()));
    }
}

void TForm1::ResetDisplay() {
    ListView1->reportModel()->clear();
    ListView2->reportModel()->clear();
    Label3->setText(QStringLiteral("Total types: 0"));
    FileCount->setText(QStringLiteral("0"));
    CountLabel->setText(QStringLiteral("0"));
    Label5->setText(QStringLiteral("Total size: 0"));
    EntryCount = 0;
}

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
