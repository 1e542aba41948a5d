#pragma once

#include "commands/FileTransfer.h"
#include "lists/ListFilters.h"
#include "lists/ListSortKeys.h"
#include "text/FileTypeName.h"
#include "records/RecordLists.h"
#include "walk/RunState.h"
#include "walk/ScanHost.h"
#include "views/SortListViews.h"

#include <QMainWindow>
#include <QPointer>
#include <QStringList>
#include <chrono>
#include <functional>
#include <memory>

class CollapseSplitter;
class Desktop;
class DatePicker;
class DuplicatesWindow;
class LedLamp;
class QAction;
class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QFrame;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QStatusBar;
class QTimer;
class SkinEngine;
class TypeChartWindow;

// What start-up takes from outside the window. Tests replace the parts they need; the defaults are
// those of the running program.
struct StartupEnvironment {
    QStringList arguments; // the command-line arguments without the program itself
    QString programFolder; // where "myskin.skn" is looked for; empty for the program's own folder
    // The desktop: dialogs, messages, the file manager, the clipboard, type names. Empty for the
    // real one; tests hand in their own.
    std::unique_ptr<Desktop> desktop;
};

// The main window. Every control is a public member under its design name and carries that name as
// its objectName. The window is the walk's host: it pumps events and hands the walk its options.
// Its bodies: try1.cpp (controls, start-up, options), try1_runs.cpp (GO/STOP, clock, the runs),
// try1_lists.cpp (list commands, sorting), try1_commands.cpp (commands on the selected files).
class TForm1 : public QMainWindow, public ScanHost {
    Q_OBJECT

public:
    explicit TForm1(const QStringList& arguments, QWidget* parent = nullptr);
    explicit TForm1(StartupEnvironment environment, QWidget* parent = nullptr);
    ~TForm1() override;

    // Title panel
    QLabel* Panel8 = nullptr;
    QLabel* Image1 = nullptr;

    // Upper block: options panel and type panel
    QFrame* Panel5 = nullptr;
    QFrame* Panel6 = nullptr;
    QLineEdit* RootDir = nullptr;
    QCheckBox* HidBox = nullptr;
    QCheckBox* sysbox = nullptr;
    QCheckBox* incsubs = nullptr;
    QPushButton* Button1 = nullptr;
    QCheckBox* SingleFile = nullptr;
    QLineEdit* FileType = nullptr;
    QCheckBox* InFile = nullptr;
    QLineEdit* InText = nullptr;
    QCheckBox* FileCreated = nullptr;
    QComboBox* FileCreatedCombo = nullptr;
    DatePicker* CreateDate = nullptr;
    QCheckBox* FileModified = nullptr;
    QComboBox* FileModifiedCombo = nullptr;
    DatePicker* ModDate = nullptr;
    QCheckBox* FileSize = nullptr;
    QComboBox* FileSizeCombo = nullptr;
    QDoubleSpinBox* FileSizeKb = nullptr;
    QCheckBox* AttribsChk = nullptr;
    QCheckBox* ReadChk = nullptr;
    QCheckBox* ArchiveChk = nullptr;
    QFrame* Panel1 = nullptr;
    TSortListView* ListView1 = nullptr;
    QFrame* Panel4 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* CountLabel = nullptr;
    QLabel* Label5 = nullptr;
    QLabel* Label3 = nullptr;

    CollapseSplitter* JvNetscapeSplitter2 = nullptr;

    // Lower block: file list and its bar
    QFrame* Panel3 = nullptr;
    TSortListView* ListView2 = nullptr;
    QFrame* Panel2 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* FileCount = nullptr;
    QLabel* TimeLabel = nullptr;
    QLabel* TntLabel4 = nullptr;
    QFrame* TntPanel1 = nullptr;
    QPushButton* TntButton1 = nullptr;
    LedLamp* JvLED1 = nullptr;
    QCheckBox* skinbox = nullptr;

    QStatusBar* HeaderControl1 = nullptr;
    // At the right end of the status bar: what the last walk could not read. Hints and the runs'
    // status texts keep the rest of the bar and never touch it.
    QLabel* UnreadLabel = nullptr;

    // Pop-up menu of the file list
    QMenu* PopupMenu1 = nullptr;
    QAction* Copyfilelist1 = nullptr;
    QAction* Copyfiles1 = nullptr;
    QAction* CopyfiledetailstoclipboardasCSV1 = nullptr;
    QAction* SavefiledetailsasCSV1 = nullptr; // data() 99: save instead of copy
    QAction* N2 = nullptr;
    QAction* Copyto1 = nullptr;
    QAction* Moveselectedfiles1 = nullptr;
    QAction* DeleteFiles2 = nullptr;
    QAction* ZIPselectedfiles1 = nullptr;
    QAction* N1 = nullptr;
    QAction* OpenfolderinExplorer = nullptr;
    QAction* Filter = nullptr;
    QAction* Filterfilesbytype1 = nullptr;
    QAction* Removeselectedfiles1 = nullptr;
    QAction* Selectall1 = nullptr;
    QAction* Reload1 = nullptr;
    QAction* Properties1 = nullptr;
    // Beyond the design's items: the duplicates among the selected files, in a window of their own.
    QAction* N3 = nullptr;
    QAction* FindDuplicates1 = nullptr;

    // Pop-up menu of the type list
    QMenu* PopupMenu2 = nullptr;
    QAction* Copydetailstoclipboard1 = nullptr;
    QAction* SavedetailstofileasCSV1 = nullptr; // data() 99: save instead of copy
    QAction* ShowChart1 = nullptr;

    QTimer* Timer1 = nullptr;
    SkinEngine* SkinData1 = nullptr;

    qint32 ElapsedSeconds = 0;
    QString CurrentType;
    TDataList DataList;
    TDataIndexList IndexList;
    TFileList FileList;

    // Least time between two pumps of the walk and the list fill; tests set zero to pump at every step.
    std::chrono::nanoseconds pumpInterval = std::chrono::milliseconds(4);

    // StopSearch, EntryCount and TotalFiles, shared by the walk, the runs and GO/STOP.
    RunState& runState() { return m_run; }
    const RunState& runState() const { return m_run; }

    // True from the start of a run until its clean-up has finished. Input that would start another
    // run, or change the lists, is ignored meanwhile: it would work on the lists the run is using.
    bool runActive() const { return m_runActive; }

    // The chosen folder ending in "/", or an empty text when the user cancels.
    QString ChooseFolder();
    // True when the context-menu verb's folder key exists in the per-user key store.
    static bool ContextMenuRegistered();

    // The walk over this window's record lists, with this window as host. mode "+" counts types,
    // "x" applies the ticked criteria, any other text is the type whose files are listed.
    void ScanFolder(const QString& folder, bool recurse, const QString& mode);

    // ScanHost
    void pump() override;
    ScanOptions options() const override;
    // FileCount shows "entries/rows", CountLabel TotalFiles, each written when its counts move.
    void showProgress(const WalkProgress& progress) override;

    // Event handlers
    void FormCreate(const StartupEnvironment& environment);
    void FormDestroy();
    // Sees every key press for the window's controls before they do, once per press.
    virtual void FormKeyDown(QKeyEvent* event);
    void RootDirClick();
    void SingleFileClick();
    void InFileClick();
    void FileCreatedClick();
    void FileModifiedClick();
    void FileSizeClick();
    void AttribsChkClick();
    void skinboxClick();
    void Button1Click();
    void Timer1Timer();

    // Type summary and file list runs
    void LoadTypeSummary();
    void ResetDisplay();
    void LoadFileList(const QString& mode);
    void ListView1Click();
    void ListView1DblClick();
    void ListView2DblClick();
    void PopupMenu1Popup();
    void Selectall1Click();
    void FilterClick();
    void Filterfilesbytype1Click();
    void Removeselectedfiles1Click();
    void Reload1Click();
    bool ListView1CustomSort(TSortListView* sender, int colIndex, int stored, double& key);
    bool ListView2CustomSort(TSortListView* sender, int colIndex, int stored, double& key);

    // Commands on the selected files
    QList<QByteArray> SelectedPaths() const;
    void Copyto1Click();
    void Moveselectedfiles1Click();
    void DeleteFiles2Click();
    void Copyfilelist1Click();
    void Copyfiles1Click();
    void CopyfiledetailstoclipboardasCSV1Click(QAction* sender);
    void Copydetailstoclipboard1Click(QAction* sender);
    void OpenfolderinExplorerClick();
    void Properties1Click();
    void ZIPselectedfiles1Click();
    void ZipForge1FileProgress(const QString& fileName);

    // The chart of the type summary: a window of its own, made at the first "Show chart" and kept
    // in step with the type list from then on.
    void ShowChart1Click();
    TypeChartWindow* ChartWindow = nullptr;

    // "Find duplicates among selected files": the selected files searched in a window of its own,
    // made at the first use; it runs beside GO/STOP and leaves the lists as they are, but for the
    // rows of files it moves to the trash.
    void FindDuplicates1Click();
    DuplicatesWindow* DuplicateWindow = nullptr;

    // Context-menu registration
    void TntButton1Click();

    // Runs an event handler; a failure escaping it goes to the error report, since an exception
    // must never unwind through Qt.
    void guarded(const std::function<void()>& handler);

    // What the window asks of the desktop.
    Desktop& desktop() const { return *m_desktop; }
    // The application's error report.
    void showError(const QString& message);
    // The file name SD1, the CSV save dialog, chose last; it opens on that name again in this run.
    QString SD1LastName;
    // Puts the files on the clipboard as a file list that file managers paste as copies.
    void CopyFilesToClipboard(const QList<QByteArray>& paths);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void createTitlePanel();
    QFrame* createOptionsPanel();
    QFrame* createTypePanel();
    QFrame* createFilePanel();
    void createMenus();
    void setTabOrders();
    void connectHandlers();
    void previewKey(QObject* receiver, QKeyEvent* event);
    void updateChart();
    void listTypeFromChart(const QString& type);
    // Drops the file list's rows of the paths, as a delete drops the rows of the files it trashed.
    void removeRowsOf(const QList<QByteArray>& paths);
    void exportListCsv(const TSortListView* list, const QList<int>& rows, const QAction* sender);
    // Copies or moves the selected files to a folder the user chooses.
    void transferSelected(TransferMode mode);
    // Keeps the file rows whose folder or extension, ignoring case, equals that of the first selected row.
    void keepRowsLike(PathPart part);

    // Key presses handed to FormKeyDown with the widget each was first sent to. Qt sends an ignored
    // key press on to the parents, and the preview must see each press only once, also when F5
    // started a run and further keys were previewed inside it before the press travelled on.
    struct PreviewedKey {
        const QKeyEvent* event;
        QPointer<QWidget> target;
    };
    QList<PreviewedKey> m_previewedKeys;
    int m_previewDepth = 0;

    class RunScope;
    RunState m_run;
    // The counts FileCount and CountLabel were last written from, or those a walk started from: a
    // label keeps its text until the walk moves its counts.
    struct LabelCounts {
        qint64 entries = -1;
        qint64 rows = -1;
        qint32 totalFiles = -1;
    };
    LabelCounts m_labelCounts;
    bool m_runActive = false;
    ListSortKeys m_sortKeys;
    std::unique_ptr<Desktop> m_desktop;
    // The desktop's type names, looked up once per type and run.
    FileTypeNameCache m_typeNames;
};
