#include "app/try1.h"

#include "platform/FileAttributes.h"
#include "platform/PathAttributes.h"
#include "search/DateText.h"
#include "search/FileHelpers.h"
#include "search/RunState.h"
#include "search/SortKeys.h"
#include "search/TDataIndexList.h"
#include "views/RunScope.h"

#include <QAction>
#include <QCheckBox>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>
#include <chrono>
#include <limits>
#include <stdexcept>

namespace {

QString countText(qint64 entries, qint64 rows) {
    return QStringLiteral("%1/%2").arg(entries).arg(rows);
}

// The folder part of a path: up to and including its last "/".
QString folderPart(const QString& path) {
    return path.left(path.lastIndexOf(QLatin1Char('/')) + 1);
}

[[noreturn]] void notReadable(const QString& text, const char* what) {
    throw std::runtime_error(QStringLiteral("'%1' is not a valid %2").arg(text, QLatin1String(what)).toStdString());
}

// What could not be read shows as an empty text and sorts before every value that was read.
constexpr double kUnreadKey = -std::numeric_limits<double>::infinity();

// Both lists show sizes as size texts in their fourth column.
bool sizeKey(const QString& text, double& key) {
    if (text.isEmpty())
        key = kUnreadKey;
    else if (!SizeTextValue(text, key))
        notReadable(text, "floating point value");
    return true;
}

} // namespace

void TForm1::LoadFileList(const QString& mode) {
    RunScope run(*this);
    Button1->setText(QStringLiteral("STOP"));
    ElapsedSeconds = 0;
    StopSearch = false;
    FileList.clear();
    ScanFolder(RootDir->text(), incsubs->isChecked(), mode);
    if (FileList.empty())
        return;

    FileCount->setText(QStringLiteral("0"));
    ReportModel* model = ListView2->reportModel();
    model->clear();
    HeaderControl1->showMessage(QStringLiteral("Loading File list - please wait"));
    HeaderControl1->repaint();

    // The fill handles pending events between rows so STOP works here too; like the walk it does so
    // every few milliseconds, and shows the rows added so far to whatever runs inside the pump.
    FileDateTexts dates;
    model->adoptArena(FileList.arena());
    model->reserveRows(FileList.size());
    auto lastPump = std::chrono::steady_clock::now();
    for (qsizetype i = 0; i < FileList.size(); ++i) {
        const auto now = std::chrono::steady_clock::now();
        if (now - lastPump >= pumpInterval) {
            model->flushRows();
            QCoreApplication::processEvents();
            lastPump = std::chrono::steady_clock::now();
        }
        if (StopSearch)
            break;
        const TFileList::Entry& rec = FileList.entry(i);
        // A file whose metadata could not be read shows no made-up dates or size.
        if (rec.Attr & FileAttr::Unread)
            model->addRow(rec.path, {QString(), QString(), QString(), AttribLetters(rec.Attr)});
        else
            model->addRow(rec.path, {dates.text(rec.Created), dates.text(rec.Modified), FormatSize(rec.Size),
                                     AttribLetters(rec.Attr)});
    }
    model->flushRows();
    FileCount->setText(countText(EntryCount, ListView2->rowCount()));
}

void TForm1::ListView1DblClick() {
    if (m_runActive || ListView1->rowCount() == 0)
        return;
    const QList<int> selected = ListView1->selectedRows();
    if (selected.isEmpty())
        return;
    TotalFiles = 0;
    EntryCount = 0;
    CurrentType = ListView1->cellText(selected.first(), 0);
    ListView2->reportModel()->clear();
    LoadFileList(CurrentType);
}

void TForm1::ListView2DblClick() {
    const QList<int> selected = ListView2->selectedRows();
    if (selected.isEmpty())
        return;
    const QString path = ListView2->cellText(selected.first(), 0);
    quint32 attr = 0;
    if (platform::pathAttributes(path, attr) && (attr & (FileAttr::Hidden | FileAttr::System)) &&
        !confirmWarning(QStringLiteral("THIS IS A HIDDEN OR SYSTEM FILE.  Continue?")))
        return;
    openFile(path);
}

void TForm1::PopupMenu1Popup() {
    Reload1->setText(QStringLiteral("Reload files of type (") + CurrentType + u')');
}

void TForm1::Selectall1Click() {
    ListView2->selectAll();
}

// Keeps the rows whose key, ignoring case, equals that of the first selected row.
static void keepRowsLikeSelected(TForm1& form, QString (*key)(const QString& path)) {
    if (form.runActive())
        return;
    const QList<int> selected = form.ListView2->selectedRows();
    if (selected.isEmpty())
        return;
    const QString wanted = key(form.ListView2->cellText(selected.first(), 0));
    QList<int> gone;
    for (int r = 0; r < form.ListView2->rowCount(); ++r) {
        if (!SameTextLocale(key(form.ListView2->cellText(r, 0)), wanted))
            gone.append(r);
    }
    form.ListView2->removeRowsAt(gone);
    form.FileCount->setText(QString::number(form.ListView2->rowCount()));
}

void TForm1::FilterClick() {
    keepRowsLikeSelected(*this, folderPart);
}

void TForm1::Filterfilesbytype1Click() {
    keepRowsLikeSelected(*this, ExtractExt);
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

void TForm1::Reload1Click() {
    if (m_runActive || CurrentType.isEmpty())
        return;
    TotalFiles = 0;
    EntryCount = 0;
    ListView2->reportModel()->clear();
    LoadFileList(CurrentType);
}

bool TForm1::ListView1CustomSort(TSortListView*, int colIndex, const QString& text, double& key) {
    if (colIndex == 2) {
        bool ok = false;
        key = text.toInt(&ok);
        if (!ok)
            notReadable(text, "integer value");
        return true;
    }
    if (colIndex == 3)
        return sizeKey(text, key);
    return false;
}

bool TForm1::ListView2CustomSort(TSortListView*, int colIndex, const QString& text, double& key) {
    if (colIndex == 1 || colIndex == 2) {
        if (text.isEmpty())
            key = kUnreadKey;
        else if (!DateTextFormat::system().parse(text, key))
            notReadable(text, "date and time");
        return true;
    }
    if (colIndex == 3)
        return sizeKey(text, key);
    return false;
}
