#include "app/try1.h"

#include "commands/Desktop.h"

#include "app/CollapseSplitter.h"
#include "app/DatePicker.h"
#include "app/LedLamp.h"
#include "export/ClipboardData.h"
#include "lists/ListFills.h"
#include "platform/DisplayName.h"
#include "platform/Registry.h"
#include "cli/CommandLine.h"
#include "text/FileHelpers.h"
#include "text/FileTypeName.h"
#include "walk/FolderWalker.h"
#include "shell/ContextMenu.h"
#include "skin/SkinEngine.h"
#include "views/SortListViews.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>
#include <tuple>

#include <QCloseEvent>

#include <algorithm>
#include <exception>
#include <memory>

namespace {

const QString fileSizeHint = QStringLiteral("File size in Kb - there is a small tolerance of 0.1Kb ");
const QString typeMaskHint = QStringLiteral("Separate types with semi-colon.  Wildcards * and ? are permitted");

QFont windowFont(int pixelSize) {
    QFont font;
    font.setFamilies({QStringLiteral("Tahoma"), QStringLiteral("DejaVu Sans")});
    font.setPixelSize(pixelSize);
    return font;
}

// A panel with the raised inner and lowered outer bevel and a 10-px border.
QFrame* makePanel(const QString& name, QWidget* parent) {
    auto* panel = new QFrame(parent);
    panel->setObjectName(name);
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    panel->setLineWidth(1);
    return panel;
}

// A borderless bar of the given height.
QFrame* makeBar(const QString& name, int height, QWidget* parent) {
    auto* bar = new QFrame(parent);
    bar->setObjectName(name);
    bar->setFixedHeight(height);
    return bar;
}

template <class W> W* named(W* widget, const QString& name) {
    widget->setObjectName(name);
    return widget;
}

// The design's width is the least a control takes: it grows to show its own text whole, at any
// font and scale. The height stays as designed where one is given.
void atLeast(QWidget* widget, int width, int height = -1) {
    widget->setMinimumWidth(width);
    if (height > 0)
        widget->setFixedHeight(height);
    widget->setSizePolicy(QSizePolicy::Fixed, widget->sizePolicy().verticalPolicy());
}

// The name and description a screen reader gives a control that has no caption of its own.
void describe(QWidget* widget, const QString& name, const QString& description = {}) {
    widget->setAccessibleName(name);
    widget->setAccessibleDescription(description.isEmpty() ? widget->statusTip() : description);
}

// A bar's row of controls: groups 24 px apart, the controls of a group 6 px apart.
QHBoxLayout* barOf(QFrame* bar, std::initializer_list<std::initializer_list<QWidget*>> groups) {
    auto* row = new QHBoxLayout(bar);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(6);
    bool first = true;
    for (const auto& group : groups) {
        if (!first)
            row->addSpacing(24);
        first = false;
        for (QWidget* control : group)
            row->addWidget(control);
    }
    return row;
}

QHBoxLayout* addStretch(QHBoxLayout* row) {
    row->addStretch(1);
    return row;
}

QLabel* makeLabel(const QString& name, const QString& text, QWidget* parent) {
    return named(new QLabel(text, parent), name);
}

QCheckBox* makeCheckBox(const QString& name, const QString& caption, bool checked, QWidget* parent) {
    auto* box = named(new QCheckBox(caption, parent), name);
    box->setChecked(checked);
    return box;
}

QComboBox* makeCombo(const QString& name, const QStringList& items, const QString& hint, QWidget* parent) {
    auto* combo = named(new QComboBox(parent), name);
    combo->setEditable(true);
    combo->addItems(items);
    combo->setCurrentIndex(0);
    combo->setStatusTip(hint);
    combo->setEnabled(false);
    return combo;
}

DatePicker* makeDatePicker(const QString& name, const QString& hint, QWidget* parent) {
    auto* picker = named(new DatePicker(parent), name);
    picker->setDateTime(QDateTime(QDate(2018, 3, 1), QTime(10, 36, 19)));
    picker->setStatusTip(hint);
    picker->setEnabled(false);
    return picker;
}

// The relation a combo box names: its items in their order, None when the typed text is no item.
template <class Relation> Relation relationOf(const QComboBox* combo) {
    const int index = combo->findText(combo->currentText(), Qt::MatchFixedString);
    return index < 0 ? Relation::None : Relation(index);
}

double dateTimeValue(const QDateTime& when) {
    const QDate d = when.date();
    const QTime t = when.time();
    return EncodeDateTime(d.year(), d.month(), d.day(), t.hour(), t.minute(), t.second(), t.msec());
}

} // namespace

namespace {

// A value control takes input only while its check box is ticked.
void enableWith(const QCheckBox* box, std::initializer_list<QWidget*> controls) {
    for (QWidget* control : controls)
        control->setEnabled(box->isChecked());
}

// The rows that start a run: the root, what to exclude, the sub-folders and GO.
void addRunRows(TForm1& f, QGridLayout* grid) {
    f.RootDir = named(new QLineEdit(f.Panel6), QStringLiteral("RootDir"));
    f.RootDir->setStatusTip(QStringLiteral("Click to select root folder"));
    auto* rootLabel = new QLabel(QStringLiteral("Root"), f.Panel6);
    rootLabel->setBuddy(f.RootDir); // a screen reader names the field by it
    grid->addWidget(rootLabel, 0, 0);
    grid->addWidget(f.RootDir, 0, 1, 1, 2);

    f.HidBox = makeCheckBox(QStringLiteral("HidBox"), QStringLiteral("Hidden"), true, f.Panel6);
    f.sysbox = makeCheckBox(QStringLiteral("sysbox"), QStringLiteral("System"), true, f.Panel6);
    grid->addWidget(new QLabel(QStringLiteral("Exclude files"), f.Panel6), 1, 0);
    grid->addWidget(f.HidBox, 1, 1);
    grid->addWidget(f.sysbox, 1, 2);

    f.incsubs = makeCheckBox(QStringLiteral("incsubs"), QStringLiteral("Include Sub folders"), true, f.Panel6);
    f.Button1 = named(new QPushButton(QStringLiteral("GO"), f.Panel6), QStringLiteral("Button1"));
    atLeast(f.Button1, 97, 33);
    grid->addWidget(f.incsubs, 2, 0, 1, 2);
    grid->addWidget(f.Button1, 2, 1, 1, 2, Qt::AlignRight);

    auto* heading = new QLabel(QStringLiteral("FILE SEARCH OPTIONS"), f.Panel6);
    QFont bold = heading->font();
    bold.setBold(true);
    heading->setFont(bold);
    grid->addWidget(heading, 3, 0, 1, 3);
}

// The rows of the conditions: each check box with its relation and value.
void addConditionRows(TForm1& f, QGridLayout* grid) {
    f.SingleFile = makeCheckBox(QStringLiteral("SingleFile"), QStringLiteral("File type mask"), false, f.Panel6);
    f.SingleFile->setStatusTip(typeMaskHint);
    f.FileType = named(new QLineEdit(f.Panel6), QStringLiteral("FileType"));
    f.FileType->setStatusTip(typeMaskHint);
    f.FileType->setEnabled(false);
    grid->addWidget(f.SingleFile, 4, 0);
    grid->addWidget(f.FileType, 4, 1, 1, 2);

    f.InFile = makeCheckBox(QStringLiteral("InFile"), QStringLiteral("File name mask"), false, f.Panel6);
    f.InFile->setStatusTip(QStringLiteral("Mask can contain wildcards * and ?"));
    f.InText = named(new QLineEdit(f.Panel6), QStringLiteral("InText"));
    f.InText->setStatusTip(QStringLiteral("Mask can contain wildcards * and ? -"));
    f.InText->setEnabled(false);
    grid->addWidget(f.InFile, 5, 0);
    grid->addWidget(f.InText, 5, 1, 1, 2);

    const QStringList dateItems{QStringLiteral("After"), QStringLiteral("Equal to"), QStringLiteral("Before")};
    const auto dateRow = [&](int row, const char* box, const char* caption, const char* combo, const char* picker,
                             const QString& hint) {
        const auto name = [](const char* text) { return QString::fromLatin1(text); };
        auto* check = makeCheckBox(name(box), name(caption), false, f.Panel6);
        check->setStatusTip(hint);
        auto* relation = makeCombo(name(combo), dateItems, hint, f.Panel6);
        auto* date = makeDatePicker(name(picker), hint, f.Panel6);
        grid->addWidget(check, row, 0);
        grid->addWidget(relation, row, 1);
        grid->addWidget(date, row, 2);
        return std::tuple{check, relation, date};
    };
    std::tie(f.FileCreated, f.FileCreatedCombo, f.CreateDate) =
        dateRow(6, "FileCreated", "Created", "FileCreatedCombo", "CreateDate", QStringLiteral("Date file created"));
    std::tie(f.FileModified, f.FileModifiedCombo, f.ModDate) = dateRow(
        7, "FileModified", "Modified", "FileModifiedCombo", "ModDate", QStringLiteral("Date file last modified"));

    f.FileSize = makeCheckBox(QStringLiteral("FileSize"), QStringLiteral("Size (Kb)"), false, f.Panel6);
    f.FileSize->setStatusTip(fileSizeHint);
    f.FileSizeCombo = makeCombo(QStringLiteral("FileSizeCombo"),
                                {QStringLiteral("Greater"), QStringLiteral("Equal to"), QStringLiteral("Less")},
                                fileSizeHint, f.Panel6);
    f.FileSizeKb = named(new QDoubleSpinBox(f.Panel6), QStringLiteral("FileSizeKb"));
    f.FileSizeKb->setDecimals(2);
    f.FileSizeKb->setRange(0, 1e12);
    f.FileSizeKb->setValue(0);
    f.FileSizeKb->setStatusTip(fileSizeHint);
    f.FileSizeKb->setEnabled(false);
    grid->addWidget(f.FileSize, 8, 0);
    grid->addWidget(f.FileSizeCombo, 8, 1);
    grid->addWidget(f.FileSizeKb, 8, 2);

    f.AttribsChk = makeCheckBox(QStringLiteral("AttribsChk"), QStringLiteral("File attributes"), false, f.Panel6);
    f.ReadChk = makeCheckBox(QStringLiteral("ReadChk"), QStringLiteral("Read only"), false, f.Panel6);
    f.ReadChk->setEnabled(false);
    f.ArchiveChk = makeCheckBox(QStringLiteral("ArchiveChk"), QStringLiteral("Archive"), false, f.Panel6);
    f.ArchiveChk->setEnabled(false);
    grid->addWidget(f.AttribsChk, 9, 0);
    auto* attributes = new QHBoxLayout;
    attributes->setSpacing(6);
    attributes->addWidget(f.ReadChk);
    attributes->addWidget(f.ArchiveChk);
    attributes->addStretch(1);
    grid->addLayout(attributes, 9, 1, 1, 2);
}

void fitOptionColumns(TForm1& f, QGridLayout* grid) {
    grid->setRowStretch(10, 1);
    // The check boxes keep their whole captions; the combo boxes take what the values leave.
    int checkWidth = 0;
    for (const QCheckBox* box : {f.SingleFile, f.InFile, f.FileCreated, f.FileModified, f.FileSize, f.AttribsChk})
        checkWidth = std::max(checkWidth, box->sizeHint().width());
    grid->setColumnMinimumWidth(0, checkWidth);
    for (QComboBox* combo : {f.FileCreatedCombo, f.FileModifiedCombo, f.FileSizeCombo})
        atLeast(combo, 70);
    for (QWidget* value : std::initializer_list<QWidget*>{f.CreateDate, f.ModDate, f.FileSizeKb}) {
        value->setMinimumWidth(80);
        value->setSizePolicy(QSizePolicy::Minimum, QSizePolicy::Fixed);
    }
}

void describeOptionFields(TForm1& f) {
    // The names a screen reader gives the fields, from the captions beside them; the hints describe them.
    describe(f.RootDir, QStringLiteral("Root"));
    describe(f.FileType, f.SingleFile->text());
    describe(f.InText, f.InFile->text());
    describe(f.CreateDate, f.FileCreated->text() + QStringLiteral(" date"));
    describe(f.ModDate, f.FileModified->text() + QStringLiteral(" date"));
    describe(f.FileSizeKb, f.FileSize->text());
    // On Linux a combo box's accessible name is its value; screen readers name it by the label it
    // is labelled by. The check box beside it is no label, so an unseen one carries the caption.
    const std::pair<QComboBox*, QCheckBox*> relations[] = {
        {f.FileCreatedCombo, f.FileCreated}, {f.FileModifiedCombo, f.FileModified}, {f.FileSizeCombo, f.FileSize}};
    for (const auto& [combo, box] : relations) {
        describe(combo, box->text() + QStringLiteral(" relation"));
        auto* label = new QLabel(combo->accessibleName(), f.Panel6);
        label->setBuddy(combo);
        label->hide();
    }
}

} // namespace

// The resources live in a static library, whose initialiser the linker would otherwise drop.
static void initResources() {
    Q_INIT_RESOURCE(trovex);
}

TForm1::TForm1(const QStringList& arguments, QWidget* parent) : TForm1(StartupEnvironment{arguments, {}, {}}, parent) {}

TForm1::TForm1(StartupEnvironment environment, QWidget* parent)
    : QMainWindow(parent),
      m_desktop(environment.desktop ? std::move(environment.desktop) : std::make_unique<Desktop>()) {
    initResources();
    setFont(windowFont(13));
    setWindowTitle(QString());
    setWindowIcon(QIcon(QStringLiteral(":/trovex.png")));

    auto* central = new QWidget(this);
    auto* column = new QVBoxLayout(central);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    createTitlePanel();
    column->addWidget(Panel8);

    Panel5 = named(new QFrame(central), QStringLiteral("Panel5"));
    Panel5->setMinimumHeight(335);
    auto* upper = new QHBoxLayout(Panel5);
    upper->setContentsMargins(0, 0, 0, 0);
    upper->setSpacing(0);
    upper->addWidget(createOptionsPanel());
    upper->addWidget(createTypePanel(), 1);

    JvNetscapeSplitter2 = named(new CollapseSplitter(central), QStringLiteral("JvNetscapeSplitter2"));
    JvNetscapeSplitter2->addWidget(Panel5);
    JvNetscapeSplitter2->addWidget(createFilePanel());
    JvNetscapeSplitter2->setStretchFactor(0, 0);
    JvNetscapeSplitter2->setStretchFactor(1, 1);
    column->addWidget(JvNetscapeSplitter2, 1);
    setCentralWidget(central);

    HeaderControl1 = named(new QStatusBar(this), QStringLiteral("HeaderControl1"));
    HeaderControl1->setFixedHeight(27);
    setStatusBar(HeaderControl1);
    UnreadLabel = makeLabel(QStringLiteral("UnreadLabel"), QString(), HeaderControl1);
    UnreadLabel->setTextFormat(Qt::PlainText);
    HeaderControl1->addPermanentWidget(UnreadLabel);

    createMenus();

    Timer1 = named(new QTimer(this), QStringLiteral("Timer1"));
    Timer1->setInterval(1000);

    SkinData1 = named(new SkinEngine(this, this), QStringLiteral("SkinData1"));

    setTabOrders();
    connectHandlers();
    // A screen reader describes each control by the hint the status bar shows for it.
    for (QWidget* control : findChildren<QWidget*>()) {
        if (!control->statusTip().isEmpty() && control->accessibleDescription().isEmpty())
            control->setAccessibleDescription(control->statusTip());
    }

    setMinimumSize(920, 600);
    resize(920, 746);
    if (const QScreen* scr = screen())
        move(scr->availableGeometry().center() - rect().center());

    // Key preview: the window sees every key press for its controls before they do.
    // The same filter sees the clicks into RootDir.
    qApp->installEventFilter(this);
    RootDir->setFocus();

    FormCreate(environment);
    Timer1->start();
}

TForm1::~TForm1() {
    qApp->removeEventFilter(this);
    FormDestroy();
}

void TForm1::createTitlePanel() {
    Panel8 = makeLabel(QStringLiteral("Panel8"), QStringLiteral("         Trovex "), this);
    Panel8->setFixedHeight(41);
    Panel8->setFont(windowFont(21));
    Panel8->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    QPalette teal = Panel8->palette();
    teal.setColor(QPalette::WindowText, QColor(0, 128, 128));
    Panel8->setPalette(teal);

    // The caption's leading blanks keep the text clear of the image.
    Image1 = makeLabel(QStringLiteral("Image1"), QString(), Panel8);
    Image1->setGeometry(0, 2, 48, 37);
    Image1->setAlignment(Qt::AlignCenter);
    Image1->setPixmap(QIcon(QStringLiteral(":/trovex.png")).pixmap(32, 32));
}

QFrame* TForm1::createOptionsPanel() {
    Panel6 = makePanel(QStringLiteral("Panel6"), Panel5);
    atLeast(Panel6, 323);
    auto* grid = new QGridLayout(Panel6);
    grid->setContentsMargins(10, 10, 10, 10);
    grid->setHorizontalSpacing(3);
    grid->setVerticalSpacing(4);
    grid->setColumnStretch(2, 1);
    addRunRows(*this, grid);
    addConditionRows(*this, grid);
    fitOptionColumns(*this, grid);
    describeOptionFields(*this);
    return Panel6;
}

QFrame* TForm1::createTypePanel() {
    Panel1 = makePanel(QStringLiteral("Panel1"), Panel5);
    Panel1->setMinimumWidth(75);
    auto* box = new QVBoxLayout(Panel1);
    box->setContentsMargins(10, 10, 10, 0);
    box->setSpacing(0);

    ListView1 = named(new TSortListView(Panel1), QStringLiteral("ListView1"));
    ListView1->setColumns(typeListColumns());
    ListView1->setSelectionMode(QAbstractItemView::SingleSelection);
    ListView1->setStatusTip(QStringLiteral("Double click a file type to list all files of that type.  SHIFT + click a "
                                           "file type to add the File Type Mask (must be enabled)"));
    describe(ListView1, QStringLiteral("File types"));
    box->addWidget(ListView1, 1);

    Panel4 = makeBar(QStringLiteral("Panel4"), 30, Panel1);
    Label1 = makeLabel(QStringLiteral("Label1"), QStringLiteral("Total files:"), Panel4);
    CountLabel = makeLabel(QStringLiteral("CountLabel"), QStringLiteral("0"), Panel4);
    Label5 = makeLabel(QStringLiteral("Label5"), QStringLiteral("Total size: 0"), Panel4);
    Label3 = makeLabel(QStringLiteral("Label3"), QStringLiteral("Total types: 0"), Panel4);
    addStretch(barOf(Panel4, {{Label1, CountLabel}, {Label5}, {Label3}}));
    box->addWidget(Panel4);
    // A counter alone says "0": the caption beside it says what of.
    CountLabel->setAccessibleDescription(QStringLiteral("Total files"));
    return Panel1;
}

QFrame* TForm1::createFilePanel() {
    Panel3 = makePanel(QStringLiteral("Panel3"), this);
    Panel3->setMinimumSize(500, 100);
    auto* box = new QVBoxLayout(Panel3);
    box->setContentsMargins(10, 10, 10, 0);
    box->setSpacing(0);

    ListView2 = named(new TSortListView(Panel3), QStringLiteral("ListView2"));
    ListView2->setColumns(fileListColumns());
    ListView2->setSelectionMode(QAbstractItemView::ExtendedSelection);
    describe(ListView2, QStringLiteral("Files"));
    box->addWidget(ListView2, 1);

    Panel2 = makeBar(QStringLiteral("Panel2"), 30, Panel3);
    Label2 = makeLabel(QStringLiteral("Label2"), QStringLiteral("Selected files:"), Panel2);
    FileCount = makeLabel(QStringLiteral("FileCount"), QStringLiteral("0"), Panel2);
    TimeLabel = makeLabel(QStringLiteral("TimeLabel"), QStringLiteral("."), Panel2);
    TntLabel4 = makeLabel(QStringLiteral("TntLabel4"), QStringLiteral("Archiving: "), Panel2);
    TntLabel4->setVisible(false);
    QHBoxLayout* bar = addStretch(barOf(Panel2, {{Label2, FileCount}, {TimeLabel}, {TntLabel4}}));
    FileCount->setAccessibleDescription(QStringLiteral("Selected files"));
    TimeLabel->setAccessibleDescription(QStringLiteral("Clock"));

    TntPanel1 = makeBar(QStringLiteral("TntPanel1"), 30, Panel2);
    atLeast(TntPanel1, 238);
    auto* tools = new QHBoxLayout(TntPanel1);
    tools->setContentsMargins(0, 0, 0, 0);
    tools->setSpacing(6);
    TntButton1 = named(new QPushButton(QStringLiteral("Context menu"), TntPanel1), QStringLiteral("TntButton1"));
    atLeast(TntButton1, 99, 21);
    TntButton1->setStatusTip(QStringLiteral("Click to register/unregister with context menu"));
    JvLED1 = named(new LedLamp(TntPanel1), QStringLiteral("JvLED1"));
    describe(JvLED1, QStringLiteral("Context menu entries"),
             QStringLiteral("Whether the file managers' menus offer \"Run Trovex\""));
    skinbox = makeCheckBox(QStringLiteral("skinbox"), QStringLiteral("Use skin"), false, TntPanel1);
    tools->addWidget(TntButton1);
    tools->addWidget(JvLED1);
    tools->addSpacing(6);
    tools->addWidget(skinbox);
    tools->addStretch(1);
    bar->addWidget(TntPanel1);
    box->addWidget(Panel2);
    return Panel3;
}

void TForm1::createMenus() {
    // Items are added to their list as well, so that their shortcuts work while that list has the focus.
    // A pop-up menu sends its hints to the item's parent, so the list as parent leads them on to the status bar.
    auto item = [](QMenu* menu, QWidget* list, const QString& name, const QString& caption,
                   const QKeySequence& shortcut = {}, const QString& hint = {}) {
        auto* action = new QAction(caption, list);
        action->setObjectName(name);
        action->setStatusTip(hint);
        action->setShortcut(shortcut);
        action->setShortcutContext(Qt::WidgetShortcut);
        menu->addAction(action);
        list->addAction(action);
        return action;
    };
    auto separator = [](QMenu* menu, const QString& name) {
        QAction* action = menu->addSeparator();
        action->setObjectName(name);
        return action;
    };

    PopupMenu1 = named(new QMenu(ListView2), QStringLiteral("PopupMenu1"));
    Copyfilelist1 =
        item(PopupMenu1, ListView2, QStringLiteral("Copyfilelist1"), QStringLiteral("Copy selected file names"),
             QKeySequence(Qt::CTRL | Qt::Key_F), QStringLiteral("Copy all file names to clipboard"));
    Copyfiles1 = item(PopupMenu1, ListView2, QStringLiteral("Copyfiles1"),
                      QStringLiteral("Copy selected files to clipboard"), QKeySequence(Qt::CTRL | Qt::Key_C),
                      QStringLiteral("Copy selected files to clipboard  for pasting elsewhere"));
    CopyfiledetailstoclipboardasCSV1 = item(PopupMenu1, ListView2, QStringLiteral("CopyfiledetailstoclipboardasCSV1"),
                                            QStringLiteral("Copy selected file details to clipboard as CSV"));
    SavefiledetailsasCSV1 =
        item(PopupMenu1, ListView2, QStringLiteral("SavefiledetailsasCSV1"),
             QStringLiteral("Save selected file details as CSV"), QKeySequence(Qt::CTRL | Qt::Key_S));
    SavefiledetailsasCSV1->setData(99);
    N2 = separator(PopupMenu1, QStringLiteral("N2"));
    Copyto1 = item(PopupMenu1, ListView2, QStringLiteral("Copyto1"), QStringLiteral("Copy selected files to folder"));
    Moveselectedfiles1 = item(PopupMenu1, ListView2, QStringLiteral("Moveselectedfiles1"),
                              QStringLiteral("Move selected files to folder"));
    DeleteFiles2 = item(PopupMenu1, ListView2, QStringLiteral("DeleteFiles2"), QStringLiteral("Delete selected files"));
    ZIPselectedfiles1 = item(PopupMenu1, ListView2, QStringLiteral("ZIPselectedfiles1"),
                             QStringLiteral("Create ZIP archive with selected files"));
    ZIPselectedfiles1->setVisible(false);
    N1 = separator(PopupMenu1, QStringLiteral("N1"));
    OpenfolderinExplorer = item(PopupMenu1, ListView2, QStringLiteral("OpenfolderinExplorer"),
                                QStringLiteral("Open Explorer for selected file"));
    Filter =
        item(PopupMenu1, ListView2, QStringLiteral("Filter"), QStringLiteral("Filter files by selected file folder"));
    Filterfilesbytype1 = item(PopupMenu1, ListView2, QStringLiteral("Filterfilesbytype1"),
                              QStringLiteral("Filter files by selected file type"));
    Removeselectedfiles1 =
        item(PopupMenu1, ListView2, QStringLiteral("Removeselectedfiles1"), QStringLiteral("Remove selected files "));
    Selectall1 = item(PopupMenu1, ListView2, QStringLiteral("Selectall1"), QStringLiteral("Select all"),
                      QKeySequence(Qt::CTRL | Qt::Key_A));
    Reload1 = item(PopupMenu1, ListView2, QStringLiteral("Reload1"), QStringLiteral("Reload files of type"));
    Properties1 = item(PopupMenu1, ListView2, QStringLiteral("Properties1"), QStringLiteral("File properties"));
    N3 = separator(PopupMenu1, QStringLiteral("N3"));
    FindDuplicates1 = item(PopupMenu1, ListView2, QStringLiteral("FindDuplicates1"),
                           QStringLiteral("Find duplicates among selected files"));

    PopupMenu2 = named(new QMenu(ListView1), QStringLiteral("PopupMenu2"));
    Copydetailstoclipboard1 = item(PopupMenu2, ListView1, QStringLiteral("Copydetailstoclipboard1"),
                                   QStringLiteral("Copy details to clipboard"), QKeySequence(Qt::CTRL | Qt::Key_D));
    SavedetailstofileasCSV1 =
        item(PopupMenu2, ListView1, QStringLiteral("SavedetailstofileasCSV1"), QStringLiteral("Save details as CSV"));
    SavedetailstofileasCSV1->setData(99);
    ShowChart1 = item(PopupMenu2, ListView1, QStringLiteral("ShowChart1"), QStringLiteral("Show chart"));

    // Found files drag out of the file list as "Copy selected files to clipboard" offers them.
    ListView2->OnDragData = [this]() -> QMimeData* {
        const QList<QByteArray> paths = SelectedPaths();
        return paths.isEmpty() ? nullptr : fileListMimeData(paths);
    };
    ListView2->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(ListView2, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { PopupMenu1->popup(ListView2->viewport()->mapToGlobal(pos)); });
    ListView1->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(ListView1, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { PopupMenu2->popup(ListView1->viewport()->mapToGlobal(pos)); });
}

void TForm1::setTabOrders() {
    const QList<QWidget*> order{
        RootDir,   HidBox,     sysbox,           incsubs,     FileType,   SingleFile,   Button1,
        InFile,    InText,     FileCreatedCombo, FileCreated, CreateDate, FileModified, FileModifiedCombo,
        ModDate,   FileSize,   FileSizeCombo,    FileSizeKb,  ReadChk,    ArchiveChk,   AttribsChk,
        ListView1, TntButton1, skinbox,          ListView2};
    for (qsizetype i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);
}

void TForm1::connectHandlers() {
    connect(SingleFile, &QCheckBox::toggled, this, &TForm1::SingleFileClick);
    connect(InFile, &QCheckBox::toggled, this, &TForm1::InFileClick);
    connect(FileCreated, &QCheckBox::toggled, this, &TForm1::FileCreatedClick);
    connect(FileModified, &QCheckBox::toggled, this, &TForm1::FileModifiedClick);
    connect(FileSize, &QCheckBox::toggled, this, &TForm1::FileSizeClick);
    connect(AttribsChk, &QCheckBox::toggled, this, &TForm1::AttribsChkClick);
    connect(skinbox, &QCheckBox::toggled, this, &TForm1::skinboxClick);
    connect(Button1, &QPushButton::clicked, this, [this] { guarded([this] { Button1Click(); }); });
    connect(Timer1, &QTimer::timeout, this, [this] { guarded([this] { Timer1Timer(); }); });
    connect(TntButton1, &QPushButton::clicked, this, [this] { guarded([this] { TntButton1Click(); }); });

    const std::pair<QAction*, void (TForm1::*)()> items[] = {
        {Copyfilelist1, &TForm1::Copyfilelist1Click},
        {Copyfiles1, &TForm1::Copyfiles1Click},
        {Copyto1, &TForm1::Copyto1Click},
        {Moveselectedfiles1, &TForm1::Moveselectedfiles1Click},
        {DeleteFiles2, &TForm1::DeleteFiles2Click},
        {ZIPselectedfiles1, &TForm1::ZIPselectedfiles1Click},
        {OpenfolderinExplorer, &TForm1::OpenfolderinExplorerClick},
        {Filter, &TForm1::FilterClick},
        {Filterfilesbytype1, &TForm1::Filterfilesbytype1Click},
        {Removeselectedfiles1, &TForm1::Removeselectedfiles1Click},
        {Selectall1, &TForm1::Selectall1Click},
        {Reload1, &TForm1::Reload1Click},
        {Properties1, &TForm1::Properties1Click},
        {ShowChart1, &TForm1::ShowChart1Click},
        {FindDuplicates1, &TForm1::FindDuplicates1Click},
    };
    for (const auto& [action, handler] : items)
        connect(action, &QAction::triggered, this,
                [this, handler = handler] { guarded([this, handler] { (this->*handler)(); }); });
    // Each pair of CSV items shares one handler, which tells saving from copying by the item's tag.
    for (QAction* action : {CopyfiledetailstoclipboardasCSV1, SavefiledetailsasCSV1})
        connect(action, &QAction::triggered, this,
                [this, action] { guarded([this, action] { CopyfiledetailstoclipboardasCSV1Click(action); }); });
    for (QAction* action : {Copydetailstoclipboard1, SavedetailstofileasCSV1})
        connect(action, &QAction::triggered, this,
                [this, action] { guarded([this, action] { Copydetailstoclipboard1Click(action); }); });
    for (TSortListView* list : {ListView1, ListView2})
        list->OnError = [this](const QString& message) { showError(message); };
    ListView1->UseArrows = true;
    ListView2->UseArrows = true;
    ListView1->OnCustomSort = [this](TSortListView* sender, int col, int row, double& key) {
        return ListView1CustomSort(sender, col, row, key);
    };
    ListView2->OnCustomSort = [this](TSortListView* sender, int col, int row, double& key) {
        return ListView2CustomSort(sender, col, row, key);
    };
    connect(PopupMenu1, &QMenu::aboutToShow, this, [this] { guarded([this] { PopupMenu1Popup(); }); });
    // The chart follows the type list whenever its rows change.
    connect(ListView1->reportModel(), &QAbstractItemModel::modelReset, this, [this] { updateChart(); });
    connect(ListView1->reportModel(), &QAbstractItemModel::rowsInserted, this, [this] { updateChart(); });
    connect(ListView1->reportModel(), &QAbstractItemModel::rowsRemoved, this, [this] { updateChart(); });
    connect(ListView1, &QAbstractItemView::clicked, this, [this] { guarded([this] { ListView1Click(); }); });
    connect(ListView1, &QAbstractItemView::doubleClicked, this, [this] { guarded([this] { ListView1DblClick(); }); });
    connect(ListView2, &QAbstractItemView::doubleClicked, this, [this] { guarded([this] { ListView2DblClick(); }); });
}

void TForm1::FormCreate(const StartupEnvironment& environment) {
    // The record lists are members, created with the window.
    try {
        const CommandLine commandLine = parseCommandLine(environment.arguments);
        if (commandLine.hasRoot)
            RootDir->setText(commandLine.rootDir);

        const QString folder =
            environment.programFolder.isEmpty() ? QCoreApplication::applicationDirPath() : environment.programFolder;
        const QString skinFile = folder + QStringLiteral("/myskin.skn");
        if (QFileInfo(skinFile).isFile())
            SkinData1->loadFromFile(skinFile);

        SkinData1->setActive(commandLine.skin);
        skinbox->setChecked(SkinData1->isActive());
        JvLED1->setStatus(ContextMenuRegistered());
    } catch (const std::exception& e) {
        showError(QString::fromStdString(e.what()));
        SkinData1->setActive(false);
        skinbox->setChecked(false);
        JvLED1->setStatus(false);
    }
}

void TForm1::closeEvent(QCloseEvent* event) {
    // A run keeps the event loop busy; closing the window must end it rather than leave it walking.
    if (m_runActive)
        m_run.StopSearch = true;
    QMainWindow::closeEvent(event);
}

void TForm1::FormDestroy() {
    DataList.clear();
    IndexList.Clear();
    FileList.clear();
}

QString TForm1::ChooseFolder() {
    // The dialog reads names lossily; the folder is taken back by its own bytes.
    const QString folder = platform::recoverLossyPath(m_desktop->chooseFolder(this));
    return folder.isEmpty() ? QString() : AddBackslash(folder);
}

bool TForm1::ContextMenuRegistered() {
    return platform::Registry::keyExists(contextMenuFolderKey);
}

void TForm1::RootDirClick() {
    const QString folder = ChooseFolder();
    if (!folder.isEmpty())
        RootDir->setText(folder);
}

void TForm1::SingleFileClick() {
    enableWith(SingleFile, {FileType});
}

void TForm1::InFileClick() {
    enableWith(InFile, {InText});
}

void TForm1::FileCreatedClick() {
    enableWith(FileCreated, {FileCreatedCombo, CreateDate});
}

void TForm1::FileModifiedClick() {
    enableWith(FileModified, {FileModifiedCombo, ModDate});
}

void TForm1::FileSizeClick() {
    enableWith(FileSize, {FileSizeCombo, FileSizeKb});
}

void TForm1::AttribsChkClick() {
    enableWith(AttribsChk, {ReadChk, ArchiveChk});
}

void TForm1::skinboxClick() {
    SkinData1->setActive(skinbox->isChecked());
}

ScanOptions TForm1::options() const {
    ScanOptions o;
    o.excludeHidden = HidBox->isChecked();
    o.excludeSystem = sysbox->isChecked();
    o.attributes = {AttribsChk->isChecked(), ReadChk->isChecked(), ArchiveChk->isChecked()};
    o.typeMask = {SingleFile->isChecked(), FileType->text()};
    o.nameMask = {InFile->isChecked(), InText->text()};
    o.created = {FileCreated->isChecked(), relationOf<DateRelation>(FileCreatedCombo),
                 dateTimeValue(CreateDate->dateTime())};
    o.modified = {FileModified->isChecked(), relationOf<DateRelation>(FileModifiedCombo),
                  dateTimeValue(ModDate->dateTime())};
    o.size = {FileSize->isChecked(), relationOf<SizeRelation>(FileSizeCombo), FileSizeKb->value()};
    return o;
}

void TForm1::showError(const QString& message) {
    m_desktop->showError(this, message);
}

void TForm1::guarded(const std::function<void()>& handler) {
    try {
        handler();
    } catch (const std::exception& e) {
        showError(QString::fromUtf8(e.what()));
    } catch (...) {
        showError(QStringLiteral("Unknown error"));
    }
}

void TForm1::previewKey(QObject* receiver, QKeyEvent* event) {
    auto* target = qobject_cast<QWidget*>(receiver);
    if (!target || target->window() != this)
        return;
    // An ignored key press travels on to the parents as the same event; only its first receiver counts.
    for (const PreviewedKey& seen : std::as_const(m_previewedKeys)) {
        if (seen.event == event && seen.target && target != seen.target && target->isAncestorOf(seen.target))
            return;
    }
    if (m_previewedKeys.size() >= 16)
        m_previewedKeys.removeFirst();
    m_previewedKeys.append({event, target});
    ++m_previewDepth;
    guarded([this, event] { FormKeyDown(event); });
    --m_previewDepth;
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::KeyPress:
        previewKey(watched, static_cast<QKeyEvent*>(event));
        break;
    case QEvent::KeyRelease:
        // Inside a preview the outer press may still travel on to the parents; keep its entry.
        if (m_previewDepth == 0)
            m_previewedKeys.clear();
        break;
    case QEvent::ToolTip:
        // Hints go to the status bar only.
        if (auto* w = qobject_cast<QWidget*>(watched); w && w->window() == this)
            return true;
        break;
    case QEvent::MouseButtonRelease:
        if (watched == RootDir) {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            if (mouse->button() == Qt::LeftButton && RootDir->rect().contains(mouse->position().toPoint()))
                guarded([this] { RootDirClick(); });
        }
        break;
    default:
        break;
    }
    return QMainWindow::eventFilter(watched, event);
}
