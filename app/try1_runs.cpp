#include "app/try1.h"

#include "commands/Desktop.h"

#include "lists/ListFills.h"
#include "text/FileHelpers.h"
#include "walk/FolderWalker.h"

#include <QApplication>
#include <QCheckBox>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QStatusBar>
#include <QTime>

namespace {

const QString kGo = QStringLiteral("GO");
const QString kStop = QStringLiteral("STOP");

// The widest the report of unread folders gets before it is shortened in the middle.
constexpr int kUnreadLabelWidth = 520;

// The locale's long time format, hours, minutes and seconds in its own style, without the time
// zone that Qt's long format adds: a clock on the desk shows no zone name.
QString clockFormat(const QLocale& locale) {
    const QString format = locale.timeFormat(QLocale::LongFormat);
    QString out;
    bool quoted = false;
    for (qsizetype i = 0; i < format.size(); ++i) {
        const QChar c = format[i];
        if (c == u'\'')
            quoted = !quoted;
        if (!quoted && c == u't')
            continue;
        out += c;
    }
    return out.simplified();
}

QString countText(qint64 entries, qint64 rows) {
    return QStringLiteral("%1/%2").arg(entries).arg(rows);
}

} // namespace

// One run of the walk (type summary or file list). Marks the window busy and shows the hourglass;
// on every way out, also when the run fails, it restores the cursor, puts "GO" back on the button,
// empties the record lists and clears the status text, and only then lets new runs start.
class TForm1::RunScope {
public:
    explicit RunScope(TForm1& form) : m_form(form) {
        Q_ASSERT(!form.m_runActive);
        form.m_runActive = true;
        // A run replaces the rows: a sort still under way has nothing left to order.
        form.ListView1->cancelSort();
        form.ListView2->cancelSort();
        QApplication::setOverrideCursor(Qt::WaitCursor);
    }
    ~RunScope() {
        QApplication::restoreOverrideCursor();
        m_form.Button1->setText(kGo);
        m_form.DataList.clear();
        m_form.IndexList.Clear();
        m_form.FileList.clear();
        m_form.HeaderControl1->clearMessage();
        m_form.HeaderControl1->repaint();
        m_form.m_runActive = false;
    }
    RunScope(const RunScope&) = delete;
    RunScope& operator=(const RunScope&) = delete;

private:
    TForm1& m_form;
};

void TForm1::Button1Click() {
    // The empty-root test comes first: with no root even STOP does nothing (Escape still works).
    if (RootDir->text().isEmpty())
        return;
    if (Button1->text() != kGo) {
        m_run.StopSearch = true;
        Button1->setText(kGo);
        return;
    }
    // After STOP the caption reads "GO" while the run is still unwinding; a new run now would
    // work on the lists that run is using.
    if (m_runActive)
        return;
    m_run.StopSearch = false;
    Button1->setText(kStop);
    ResetDisplay();
    const bool anyCondition = InFile->isChecked() || SingleFile->isChecked() || FileCreated->isChecked() ||
                              FileModified->isChecked() || AttribsChk->isChecked() || FileSize->isChecked();
    if (anyCondition)
        LoadFileList(QStringLiteral("x"));
    else
        LoadTypeSummary();
}

void TForm1::FormKeyDown(QKeyEvent* event) {
    // Neither key is consumed: the focused control receives it as well.
    if (event->key() == Qt::Key_Escape)
        m_run.StopSearch = true;
    if (event->key() == Qt::Key_F5)
        Button1Click();
}

void TForm1::Timer1Timer() {
    if (Button1->text() == kGo) {
        const QLocale locale = QLocale::system();
        TimeLabel->setText(
            QStringLiteral("Current time: %1").arg(locale.toString(QTime::currentTime(), clockFormat(locale))));
    } else {
        ++ElapsedSeconds;
        TimeLabel->setText(QStringLiteral("Elapsed time: %1 seconds").arg(ElapsedSeconds));
    }
}

void TForm1::ScanFolder(const QString& folder, bool recurse, const QString& mode) {
    UnreadLabel->clear();
    UnreadLabel->setStatusTip(QString());
    if (folder.isEmpty())
        return; // the root was cleared after a summary; there is nothing to walk
    FolderWalker walker(*this, m_run, DataList, IndexList, FileList);
    walker.setPumpInterval(pumpInterval);
    walker.setReadAheadWorkers(ReadAheadSettings::defaultWorkers());
    m_labelCounts = {m_run.EntryCount, qint64(FileList.size()), m_run.TotalFiles};
    if (mode == QLatin1String("+"))
        walker.ScanFolder(folder, recurse, WalkMode::CountTypes);
    else if (mode == QLatin1String("x"))
        walker.ScanFolder(folder, recurse, WalkMode::Criteria);
    else
        walker.ScanFolder(folder, recurse, WalkMode::ListType, mode);
    // Totals are short by whatever could not be read; say so rather than let them look whole.
    const QString report = walker.report().text(folder);
    UnreadLabel->setText(UnreadLabel->fontMetrics().elidedText(report, Qt::ElideMiddle, kUnreadLabelWidth));
    UnreadLabel->setStatusTip(report); // the whole line, when the label had to shorten it
}

void TForm1::LoadTypeSummary() {
    const QString root = RootDir->text();
    if (root.isEmpty())
        return;
    DataList.clear();
    IndexList.Clear();
    m_typeNames.clear();
    CurrentType.clear();
    ResetDisplay();
    m_run.TotalFiles = 0;

    RunScope run(*this);
    ElapsedSeconds = 0;
    ScanFolder(root, incsubs->isChecked(), QStringLiteral("+"));
    if (m_run.StopSearch) {
        CountLabel->setText(QStringLiteral("0"));
        return;
    }

    HeaderControl1->showMessage(QStringLiteral("Loading File list - please wait"));
    HeaderControl1->repaint();
    if (IndexList.Count() > 0) {
        const qint64 totalBytes =
            fillTypeList(*ListView1->reportModel(), typeTotals(DataList, IndexList, [this](const QString& typeText) {
                return m_typeNames.name(typeText, [this](const QString& t) { return m_desktop->typeName(t); });
            }));
        ListView1->fitColumnToTexts(0);
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
    m_run.EntryCount = 0;
}

void TForm1::LoadFileList(const QString& mode) {
    RunScope run(*this);
    Button1->setText(kStop);
    ElapsedSeconds = 0;
    m_run.StopSearch = false;
    FileList.clear();
    ScanFolder(RootDir->text(), incsubs->isChecked(), mode);
    if (FileList.empty())
        return;

    FileCount->setText(QStringLiteral("0"));
    ReportModel* model = ListView2->reportModel();
    model->clear();
    HeaderControl1->showMessage(QStringLiteral("Loading File list - please wait"));
    HeaderControl1->repaint();
    // The fill handles pending events between rows so STOP works here too.
    PumpClock clock(pumpInterval);
    fillFileList(
        *model, FileList, clock, [] { QCoreApplication::processEvents(); }, [this] { return m_run.StopSearch; });
    FileCount->setText(countText(m_run.EntryCount, ListView2->rowCount()));
}

void TForm1::ListView1DblClick() {
    if (m_runActive || ListView1->rowCount() == 0)
        return;
    const QList<int> selected = ListView1->selectedRows();
    if (selected.isEmpty())
        return;
    m_run.TotalFiles = 0;
    m_run.EntryCount = 0;
    CurrentType = ListView1->cellText(selected.first(), 0);
    ListView2->reportModel()->clear();
    LoadFileList(CurrentType);
}

void TForm1::Reload1Click() {
    if (m_runActive || CurrentType.isEmpty())
        return;
    m_run.TotalFiles = 0;
    m_run.EntryCount = 0;
    ListView2->reportModel()->clear();
    LoadFileList(CurrentType);
}

void TForm1::pump() {
    QCoreApplication::processEvents();
}

void TForm1::showProgress(const WalkProgress& progress) {
    // FileCount follows the settled count: files a condition leaves out move only progress.entries.
    if (progress.settledEntries != m_labelCounts.entries || progress.rows != m_labelCounts.rows) {
        m_labelCounts.entries = progress.settledEntries;
        m_labelCounts.rows = progress.rows;
        FileCount->setText(countText(progress.settledEntries, progress.rows));
    }
    if (progress.totalFiles != m_labelCounts.totalFiles) {
        m_labelCounts.totalFiles = progress.totalFiles;
        CountLabel->setText(QString::number(progress.totalFiles));
    }
}
