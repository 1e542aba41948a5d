#include "TestForms.h"
#include "app/CollapseSplitter.h"
#include "app/DatePicker.h"
#include "app/LedLamp.h"
#include "app/try1.h"
#include "platform/FileName.h"
#include "platform/Registry.h"
#include "text/FileHelpers.h"
#include "skin/SkinEngine.h"
#include "support/FileProbe.h"
#include "support/TempTree.h"
#include "support/gui/ListRows.h"

#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>
#include <memory>
#include <typeinfo>

namespace {

const QString verbKey = QStringLiteral("software\\classes\\directory\\shell\\KVT");

// Counts the key presses the window previews.
class PreviewCountingForm : public TForm1 {
public:
    using TForm1::TForm1;
    void FormKeyDown(QKeyEvent* event) override { keys.append(event->key()); }
    QList<int> keys;
};

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override { tree.makeDir("program"); }

    template <class Form = TForm1> std::unique_ptr<Form> makeForm(const QStringList& arguments = {}) {
        return makeTestForm<Form>(programFolder(), &errors, arguments);
    }
    std::unique_ptr<TForm1> shownForm(const QStringList& arguments = {}) {
        auto form = makeForm(arguments);
        form->show();
        form->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(form.get()));
        return form;
    }
    QString programFolder() const { return tree.root() + QStringLiteral("/program"); }
    QString path(const char* rel) const { return tree.root() + QLatin1Char('/') + QString::fromUtf8(rel); }

    TempTree tree;
    ScopedEnv config{"XDG_CONFIG_HOME", QFile::encodeName(tree.root() + QStringLiteral("/config"))};
    QStringList errors;
};

QStringList names(std::initializer_list<const char*> texts) {
    QStringList result;
    for (const char* text : texts)
        result.append(QString::fromUtf8(text));
    return result;
}

// The control a focus widget belongs to: editable combo boxes and spin boxes focus their inner edit.
QString focusOwnerName() {
    QWidget* w = QApplication::focusWidget();
    if (!w)
        return QStringLiteral("<none>");
    if (w->objectName().isEmpty() && w->parentWidget())
        w = w->parentWidget();
    return w->objectName();
}

QStringList tabWalk(TForm1& form, int steps, Qt::Key key = Qt::Key_Tab) {
    form.RootDir->setFocus();
    QStringList visited{focusOwnerName()};
    for (int i = 0; i < steps; ++i) {
        QTest::keyClick(QApplication::focusWidget(), key, key == Qt::Key_Backtab ? Qt::ShiftModifier : Qt::NoModifier);
        visited.append(focusOwnerName());
    }
    return visited;
}

// With no desktop handed in the window asks the real one, type names from the MIME database
// included; a desktop handed in is the one it asks.
TEST_F(MainWindowTest, TheWindowAsksTheDesktopItIsGivenElseTheRealOne) {
    StartupEnvironment plain;
    plain.programFolder = tree.root();
    const TForm1 real(std::move(plain));
    EXPECT_EQ(typeid(real.desktop()), typeid(Desktop));
    EXPECT_FALSE(real.desktop().typeName(QStringLiteral(".txt")).isEmpty());

    const std::unique_ptr<TForm1> faked = makeTestForm(tree.root(), &errors);
    EXPECT_NE(dynamic_cast<FakeDesktop*>(&faked->desktop()), nullptr);
}

TEST_F(MainWindowTest, EveryControlIsAMemberUnderItsNameAndClass) {
    auto form = makeForm();
    const struct {
        QObject* member;
        const char* name;
        const char* className;
    } controls[] = {
        {form->Panel8, "Panel8", "QLabel"},
        {form->Image1, "Image1", "QLabel"},
        {form->Panel5, "Panel5", "QFrame"},
        {form->Panel6, "Panel6", "QFrame"},
        {form->Panel1, "Panel1", "QFrame"},
        {form->Panel4, "Panel4", "QFrame"},
        {form->Label1, "Label1", "QLabel"},
        {form->CountLabel, "CountLabel", "QLabel"},
        {form->Label5, "Label5", "QLabel"},
        {form->Label3, "Label3", "QLabel"},
        {form->RootDir, "RootDir", "QLineEdit"},
        {form->HidBox, "HidBox", "QCheckBox"},
        {form->sysbox, "sysbox", "QCheckBox"},
        {form->incsubs, "incsubs", "QCheckBox"},
        {form->Button1, "Button1", "QPushButton"},
        {form->SingleFile, "SingleFile", "QCheckBox"},
        {form->FileType, "FileType", "QLineEdit"},
        {form->InFile, "InFile", "QCheckBox"},
        {form->InText, "InText", "QLineEdit"},
        {form->FileCreated, "FileCreated", "QCheckBox"},
        {form->FileCreatedCombo, "FileCreatedCombo", "QComboBox"},
        {form->CreateDate, "CreateDate", "QDateTimeEdit"},
        {form->FileModified, "FileModified", "QCheckBox"},
        {form->FileModifiedCombo, "FileModifiedCombo", "QComboBox"},
        {form->ModDate, "ModDate", "QDateTimeEdit"},
        {form->FileSize, "FileSize", "QCheckBox"},
        {form->FileSizeCombo, "FileSizeCombo", "QComboBox"},
        {form->FileSizeKb, "FileSizeKb", "QDoubleSpinBox"},
        {form->AttribsChk, "AttribsChk", "QCheckBox"},
        {form->ReadChk, "ReadChk", "QCheckBox"},
        {form->ArchiveChk, "ArchiveChk", "QCheckBox"},
        {form->ListView1, "ListView1", "TSortListView"},
        {form->ListView2, "ListView2", "TSortListView"},
        {form->JvNetscapeSplitter2, "JvNetscapeSplitter2", "QSplitter"},
        {form->Panel3, "Panel3", "QFrame"},
        {form->Panel2, "Panel2", "QFrame"},
        {form->Label2, "Label2", "QLabel"},
        {form->FileCount, "FileCount", "QLabel"},
        {form->TimeLabel, "TimeLabel", "QLabel"},
        {form->TntLabel4, "TntLabel4", "QLabel"},
        {form->TntPanel1, "TntPanel1", "QFrame"},
        {form->TntButton1, "TntButton1", "QPushButton"},
        {form->JvLED1, "JvLED1", "LedLamp"},
        {form->skinbox, "skinbox", "QCheckBox"},
        {form->HeaderControl1, "HeaderControl1", "QStatusBar"},
        {form->PopupMenu1, "PopupMenu1", "QMenu"},
        {form->PopupMenu2, "PopupMenu2", "QMenu"},
        {form->Timer1, "Timer1", "QTimer"},
        {form->SkinData1, "SkinData1", "SkinEngine"},
    };
    for (const auto& c : controls) {
        ASSERT_NE(c.member, nullptr) << c.name;
        EXPECT_EQ(form->findChild<QObject*>(QString::fromLatin1(c.name)), c.member) << c.name;
        EXPECT_TRUE(c.member->inherits(c.className)) << c.name << " is " << c.member->metaObject()->className();
    }
    EXPECT_EQ(form->statusBar(), form->HeaderControl1);
    EXPECT_EQ(form->ElapsedSeconds, 0);
    EXPECT_TRUE(form->CurrentType.isEmpty());
    EXPECT_TRUE(form->DataList.empty());
    EXPECT_EQ(form->IndexList.Count(), 0);
    EXPECT_TRUE(form->FileList.empty());
}

TEST_F(MainWindowTest, WindowStartsAtItsDesignSizeFontAndFocus) {
    auto form = shownForm();
    EXPECT_EQ(form->size(), QSize(920, 746));
    EXPECT_EQ(form->minimumSize(), QSize(920, 600));
    EXPECT_TRUE(form->windowTitle().isEmpty());
    EXPECT_EQ(form->font().families(), (QStringList{QStringLiteral("Tahoma"), QStringLiteral("DejaVu Sans")}));
    EXPECT_EQ(form->font().pixelSize(), 13);
    EXPECT_EQ(QApplication::focusWidget(), form->RootDir);
    EXPECT_TRUE(form->Timer1->isActive());
    EXPECT_EQ(form->Timer1->interval(), 1000);
    EXPECT_FALSE(form->windowIcon().isNull());
}

TEST_F(MainWindowTest, LayoutRunsTopToBottomWithTheDesignSizes) {
    auto form = shownForm();
    // Title panel
    EXPECT_EQ(form->Panel8->text(), QStringLiteral("         Trovex "));
    EXPECT_EQ(form->Panel8->height(), 41);
    EXPECT_EQ(form->Panel8->width(), form->width());
    EXPECT_EQ(form->Panel8->font().pixelSize(), 21);
    EXPECT_EQ(form->Panel8->palette().color(QPalette::WindowText), QColor(0, 128, 128));
    EXPECT_EQ(form->Image1->geometry(), QRect(0, 2, 48, 37));
    EXPECT_FALSE(form->Image1->pixmap().isNull());

    // Upper block, splitter, lower block, status bar, stacked without gaps
    const auto top = [&](QWidget* w) { return w->mapTo(form.get(), QPoint(0, 0)).y(); };
    EXPECT_EQ(top(form->Panel8), 0);
    EXPECT_EQ(top(form->Panel5), 41);
    EXPECT_EQ(form->Panel5->height(), 335);
    EXPECT_EQ(form->Panel5->minimumHeight(), 335);
    EXPECT_EQ(form->JvNetscapeSplitter2->handleWidth(), 12);
    EXPECT_EQ(top(form->Panel3), 41 + 335 + 12);
    EXPECT_EQ(form->Panel3->height(), 746 - 41 - 335 - 12 - 27);
    EXPECT_EQ(form->Panel3->minimumHeight(), 100);
    EXPECT_EQ(form->Panel3->minimumWidth(), 500);
    EXPECT_EQ(form->HeaderControl1->height(), 27);
    EXPECT_EQ(top(form->HeaderControl1), 746 - 27);
    EXPECT_FALSE(form->JvNetscapeSplitter2->isCollapsed());

    // Options panel left at 323 px or what its controls' texts need, the type panel takes the rest.
    EXPECT_GE(form->Panel6->width(), 323);
    EXPECT_EQ(form->Panel6->x(), 0);
    EXPECT_EQ(form->Panel1->x(), form->Panel6->width());
    EXPECT_EQ(form->Panel1->width(), 920 - form->Panel6->width());
    EXPECT_EQ(form->Panel1->minimumWidth(), 75);
    EXPECT_EQ(form->Panel4->height(), 30);
    EXPECT_GT(form->Panel4->y(), form->ListView1->y());

    // Bars and their controls
    EXPECT_EQ(form->Panel2->height(), 30);
    EXPECT_GT(form->Panel2->y(), form->ListView2->y());
    EXPECT_GE(form->TntPanel1->width(), 238);
    EXPECT_EQ(form->TntPanel1->geometry().right(), form->Panel2->width() - 1); // at the right end
    EXPECT_EQ(form->Button1->size(), QSize(97, 33));
    EXPECT_GE(form->TntButton1->width(), 99); // wider where its caption needs it
    EXPECT_EQ(form->TntButton1->height(), 21);
    EXPECT_EQ(form->JvLED1->size(), QSize(17, 17));
    EXPECT_LT(form->TntButton1->x(), form->JvLED1->x());
    EXPECT_LT(form->JvLED1->x(), form->skinbox->x());
    EXPECT_LT(form->Label2->x(), form->FileCount->x());
    EXPECT_LT(form->FileCount->x(), form->TimeLabel->x());

    // Every option control shows its whole caption.
    for (QCheckBox* box : form->Panel6->findChildren<QCheckBox*>())
        EXPECT_GE(box->width(), box->sizeHint().width()) << qPrintable(box->objectName());
}

TEST_F(MainWindowTest, OptionControlsStartWithTheirCaptionsHintsAndValues) {
    auto form = makeForm();
    const QString sizeHint = QStringLiteral("File size in Kb - there is a small tolerance of 0.1Kb ");
    const QString typeHint = QStringLiteral("Separate types with semi-colon.  Wildcards * and ? are permitted");
    const struct {
        QCheckBox* box;
        const char* caption;
        QString hint;
        bool checked;
        bool enabled;
    } boxes[] = {
        {form->HidBox, "Hidden", {}, true, true},
        {form->sysbox, "System", {}, true, true},
        {form->incsubs, "Include Sub folders", {}, true, true},
        {form->SingleFile, "File type mask", typeHint, false, true},
        {form->InFile, "File name mask", QStringLiteral("Mask can contain wildcards * and ?"), false, true},
        {form->FileCreated, "Created", QStringLiteral("Date file created"), false, true},
        {form->FileModified, "Modified", QStringLiteral("Date file last modified"), false, true},
        {form->FileSize, "Size (Kb)", sizeHint, false, true},
        {form->AttribsChk, "File attributes", {}, false, true},
        {form->ReadChk, "Read only", {}, false, false},
        {form->ArchiveChk, "Archive", {}, false, false},
        {form->skinbox, "Use skin", {}, false, true},
    };
    for (const auto& b : boxes) {
        EXPECT_EQ(b.box->text(), QString::fromUtf8(b.caption));
        EXPECT_EQ(b.box->statusTip(), b.hint) << b.caption;
        EXPECT_EQ(b.box->isChecked(), b.checked) << b.caption;
        EXPECT_EQ(b.box->isEnabled(), b.enabled) << b.caption;
    }

    EXPECT_TRUE(form->RootDir->text().isEmpty());
    EXPECT_EQ(form->RootDir->statusTip(), QStringLiteral("Click to select root folder"));
    EXPECT_EQ(form->Button1->text(), QStringLiteral("GO"));
    EXPECT_TRUE(form->Button1->isEnabled());
    EXPECT_EQ(form->FileType->statusTip(), typeHint);
    EXPECT_EQ(form->InText->statusTip(), QStringLiteral("Mask can contain wildcards * and ? -"));
    for (QLineEdit* edit : {form->FileType, form->InText}) {
        EXPECT_TRUE(edit->text().isEmpty());
        EXPECT_FALSE(edit->isEnabled());
    }

    const QStringList dateItems{QStringLiteral("After"), QStringLiteral("Equal to"), QStringLiteral("Before")};
    const QStringList sizeItems{QStringLiteral("Greater"), QStringLiteral("Equal to"), QStringLiteral("Less")};
    const struct {
        QComboBox* combo;
        QStringList items;
        QString hint;
    } combos[] = {{form->FileCreatedCombo, dateItems, QStringLiteral("Date file created")},
                  {form->FileModifiedCombo, dateItems, QStringLiteral("Date file last modified")},
                  {form->FileSizeCombo, sizeItems, sizeHint}};
    for (const auto& c : combos) {
        QStringList items;
        for (int i = 0; i < c.combo->count(); ++i)
            items.append(c.combo->itemText(i));
        EXPECT_EQ(items, c.items);
        EXPECT_EQ(c.combo->currentIndex(), 0);
        EXPECT_EQ(c.combo->currentText(), c.items.first());
        EXPECT_TRUE(c.combo->isEditable());
        EXPECT_EQ(c.combo->statusTip(), c.hint);
        EXPECT_FALSE(c.combo->isEnabled());
    }

    for (DatePicker* picker : {form->CreateDate, form->ModDate}) {
        EXPECT_EQ(picker->dateTime(), QDateTime(QDate(2018, 3, 1), QTime(10, 36, 19)));
        EXPECT_FALSE(picker->isEnabled());
    }
    EXPECT_EQ(form->CreateDate->statusTip(), QStringLiteral("Date file created"));
    EXPECT_EQ(form->ModDate->statusTip(), QStringLiteral("Date file last modified"));

    EXPECT_EQ(form->FileSizeKb->text(), QStringLiteral("0.00"));
    EXPECT_EQ(form->FileSizeKb->decimals(), 2);
    EXPECT_EQ(form->FileSizeKb->maximum(), 1e12);
    EXPECT_EQ(form->FileSizeKb->statusTip(), sizeHint);
    EXPECT_FALSE(form->FileSizeKb->isEnabled());

    EXPECT_EQ(form->Label1->text(), QStringLiteral("Total files:"));
    EXPECT_EQ(form->CountLabel->text(), QStringLiteral("0"));
    EXPECT_EQ(form->Label5->text(), QStringLiteral("Total size: 0"));
    EXPECT_EQ(form->Label3->text(), QStringLiteral("Total types: 0"));
    EXPECT_EQ(form->Label2->text(), QStringLiteral("Selected files:"));
    EXPECT_EQ(form->FileCount->text(), QStringLiteral("0"));
    EXPECT_EQ(form->TimeLabel->text(), QStringLiteral("."));
    EXPECT_EQ(form->TntLabel4->text(), QStringLiteral("Archiving: "));
    EXPECT_TRUE(form->TntLabel4->isHidden());
    EXPECT_EQ(form->TntButton1->text(), QStringLiteral("Context menu"));
    EXPECT_EQ(form->TntButton1->statusTip(), QStringLiteral("Click to register/unregister with context menu"));

    // Hints go to the status bar; no control carries a pop-up tip.
    for (QWidget* w : form->findChildren<QWidget*>())
        EXPECT_TRUE(w->toolTip().isEmpty()) << qPrintable(w->objectName());
}

TEST_F(MainWindowTest, ListsHaveTheirColumnsAndSelectionModes) {
    auto form = makeForm();
    const auto captions = [](TSortListView* list) {
        QStringList result;
        for (const ListColumn& c : list->reportModel()->columns())
            result.append(c.caption);
        return result;
    };
    EXPECT_EQ(captions(form->ListView1), (QStringList{QStringLiteral("Type"), QStringLiteral("Description"),
                                                      QStringLiteral("Count"), QStringLiteral("Size")}));
    EXPECT_EQ(captions(form->ListView2),
              (QStringList{QStringLiteral("Filename"), QStringLiteral("Date Created"), QStringLiteral("Date modified"),
                           QStringLiteral("Size"), QStringLiteral("Attribs")}));

    QHeaderView* types = form->ListView1->header();
    EXPECT_EQ(types->sectionSize(0), 100);
    EXPECT_EQ(types->sectionResizeMode(1), QHeaderView::Stretch);
    EXPECT_EQ(types->sectionSize(2), 60);
    EXPECT_EQ(types->sectionSize(3), 80);
    const auto align = [](TSortListView* list, int column) {
        return list->model()->headerData(column, Qt::Horizontal, Qt::TextAlignmentRole).value<Qt::Alignment>() &
               Qt::AlignHorizontal_Mask;
    };
    EXPECT_EQ(align(form->ListView1, 0), Qt::AlignLeft);
    EXPECT_EQ(align(form->ListView1, 2), Qt::AlignRight);
    EXPECT_EQ(align(form->ListView1, 3), Qt::AlignRight);

    QHeaderView* files = form->ListView2->header();
    EXPECT_EQ(files->sectionResizeMode(0), QHeaderView::Stretch);
    EXPECT_EQ(files->sectionSize(1), 140);
    EXPECT_EQ(files->sectionSize(2), 140);
    EXPECT_EQ(files->sectionSize(3), 80);
    EXPECT_EQ(files->sectionSize(4), 70);
    EXPECT_EQ(align(form->ListView2, 3), Qt::AlignRight);
    EXPECT_EQ(align(form->ListView2, 4), Qt::AlignLeft);

    EXPECT_EQ(form->ListView1->selectionMode(), QAbstractItemView::SingleSelection);
    EXPECT_EQ(form->ListView2->selectionMode(), QAbstractItemView::ExtendedSelection);
    EXPECT_EQ(form->ListView1->statusTip(),
              QStringLiteral("Double click a file type to list all files of that type.  SHIFT + click a file type to "
                             "add the File Type Mask (must be enabled)"));
    EXPECT_EQ(form->ListView1->contextMenuPolicy(), Qt::CustomContextMenu);
    EXPECT_EQ(form->ListView2->contextMenuPolicy(), Qt::CustomContextMenu);
}

// Each option box enables its value controls while ticked, whether the program or the user ticks it,
// and the values survive being disabled.
TEST_F(MainWindowTest, OptionBoxesEnableTheirValueControls) {
    auto form = shownForm();
    const struct {
        QCheckBox* box;
        QList<QWidget*> controls;
    } groups[] = {
        {form->SingleFile, {form->FileType}},
        {form->InFile, {form->InText}},
        {form->FileCreated, {form->FileCreatedCombo, form->CreateDate}},
        {form->FileModified, {form->FileModifiedCombo, form->ModDate}},
        {form->FileSize, {form->FileSizeCombo, form->FileSizeKb}},
        {form->AttribsChk, {form->ReadChk, form->ArchiveChk}},
    };
    const auto enabled = [](const QList<QWidget*>& controls, bool expected) {
        for (QWidget* w : controls)
            if (w->isEnabled() != expected)
                return false;
        return true;
    };
    for (const auto& g : groups) {
        const char* name = qPrintable(g.box->objectName());
        g.box->setChecked(true);
        EXPECT_TRUE(enabled(g.controls, true)) << name << " by program";
        g.box->setChecked(false);
        EXPECT_TRUE(enabled(g.controls, false)) << name << " by program";

        QTest::mouseClick(g.box, Qt::LeftButton);
        EXPECT_TRUE(g.box->isChecked()) << name;
        EXPECT_TRUE(enabled(g.controls, true)) << name << " by click";
        QTest::keyClick(g.box, Qt::Key_Space);
        EXPECT_FALSE(g.box->isChecked()) << name;
        EXPECT_TRUE(enabled(g.controls, false)) << name << " by key";
    }

    // Values stay while disabled and are in force again when enabled.
    form->FileCreated->setChecked(true);
    form->FileCreatedCombo->setCurrentIndex(2);
    form->CreateDate->setDateTime(QDateTime(QDate(2020, 7, 9), QTime(8, 0, 0)));
    form->FileType->setText(QStringLiteral(".pdf;.doc"));
    form->FileCreated->setChecked(false);
    EXPECT_EQ(form->FileCreatedCombo->currentText(), QStringLiteral("Before"));
    EXPECT_EQ(form->CreateDate->dateTime(), QDateTime(QDate(2020, 7, 9), QTime(8, 0, 0)));
    EXPECT_EQ(form->FileType->text(), QStringLiteral(".pdf;.doc"));
    form->FileCreated->setChecked(true);
    EXPECT_EQ(form->options().created.relation, DateRelation::Before);
    EXPECT_EQ(form->options().created.date, EncodeDateTime(2020, 7, 9, 8, 0, 0, 0));
}

TEST_F(MainWindowTest, TabVisitsTheEnabledControlsInDesignOrder) {
    auto form = shownForm();
    EXPECT_EQ(tabWalk(*form, 15), names({"RootDir", "HidBox", "sysbox", "incsubs", "SingleFile", "Button1", "InFile",
                                         "FileCreated", "FileModified", "FileSize", "AttribsChk", "ListView1",
                                         "TntButton1", "skinbox", "ListView2", "RootDir"}));

    for (QCheckBox* box :
         {form->SingleFile, form->InFile, form->FileCreated, form->FileModified, form->FileSize, form->AttribsChk})
        box->setChecked(true);
    const QStringList all = names({"RootDir",       "HidBox",
                                   "sysbox",        "incsubs",
                                   "FileType",      "SingleFile",
                                   "Button1",       "InFile",
                                   "InText",        "FileCreatedCombo",
                                   "FileCreated",   "CreateDate",
                                   "FileModified",  "FileModifiedCombo",
                                   "ModDate",       "FileSize",
                                   "FileSizeCombo", "FileSizeKb",
                                   "ReadChk",       "ArchiveChk",
                                   "AttribsChk",    "ListView1",
                                   "TntButton1",    "skinbox",
                                   "ListView2",     "RootDir"});
    EXPECT_EQ(tabWalk(*form, 25), all);

    QStringList backwards = all;
    std::reverse(backwards.begin(), backwards.end());
    EXPECT_EQ(tabWalk(*form, 25, Qt::Key_Backtab), backwards);
}

TEST_F(MainWindowTest, PopupMenusHoldTheirItemsInOrder) {
    auto form = makeForm();
    const auto layout = [](QMenu* menu) {
        QStringList result;
        for (QAction* a : menu->actions())
            result.append(a->objectName() + QLatin1Char('|') + (a->isSeparator() ? QStringLiteral("-") : a->text()) +
                          QLatin1Char('|') + a->shortcut().toString(QKeySequence::PortableText));
        return result;
    };
    EXPECT_EQ(
        layout(form->PopupMenu1),
        names({"Copyfilelist1|Copy selected file names|Ctrl+F", "Copyfiles1|Copy selected files to clipboard|Ctrl+C",
               "CopyfiledetailstoclipboardasCSV1|Copy selected file details to clipboard as CSV|",
               "SavefiledetailsasCSV1|Save selected file details as CSV|Ctrl+S", "N2|-|",
               "Copyto1|Copy selected files to folder|", "Moveselectedfiles1|Move selected files to folder|",
               "DeleteFiles2|Delete selected files|", "ZIPselectedfiles1|Create ZIP archive with selected files|",
               "N1|-|", "OpenfolderinExplorer|Open Explorer for selected file|",
               "Filter|Filter files by selected file folder|", "Filterfilesbytype1|Filter files by selected file type|",
               "Removeselectedfiles1|Remove selected files |", "Selectall1|Select all|Ctrl+A",
               "Reload1|Reload files of type|", "Properties1|File properties|", "N3|-|",
               "FindDuplicates1|Find duplicates among selected files|"}));
    EXPECT_EQ(layout(form->PopupMenu2),
              names({"Copydetailstoclipboard1|Copy details to clipboard|Ctrl+D",
                     "SavedetailstofileasCSV1|Save details as CSV|", "ShowChart1|Show chart|"}));

    EXPECT_EQ(form->Copyfilelist1->statusTip(), QStringLiteral("Copy all file names to clipboard"));
    EXPECT_EQ(form->Copyfiles1->statusTip(), QStringLiteral("Copy selected files to clipboard  for pasting elsewhere"));
    EXPECT_FALSE(form->ZIPselectedfiles1->isVisible());
    EXPECT_EQ(form->SavefiledetailsasCSV1->data().toInt(), 99);
    EXPECT_EQ(form->SavedetailstofileasCSV1->data().toInt(), 99);
    EXPECT_FALSE(form->CopyfiledetailstoclipboardasCSV1->data().isValid());
    EXPECT_FALSE(form->Copydetailstoclipboard1->data().isValid());
    for (QMenu* menu : {form->PopupMenu1, form->PopupMenu2}) {
        for (QAction* a : menu->actions()) {
            EXPECT_TRUE(a->isEnabled() || !a->isVisible()) << qPrintable(a->objectName());
            EXPECT_FALSE(a->text().contains(QLatin1Char('&'))) << qPrintable(a->objectName());
            if (!a->isSeparator()) {
                EXPECT_EQ(form->findChild<QAction*>(a->objectName()), a);
            }
        }
    }
}

TEST_F(MainWindowTest, MenuShortcutsWorkWhileTheirListHasTheFocus) {
    auto form = shownForm();
    QSignalSpy selectAll(form->Selectall1, &QAction::triggered);
    QSignalSpy copyDetails(form->Copydetailstoclipboard1, &QAction::triggered);

    form->ListView2->setFocus();
    QTest::keyClick(form->ListView2, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(selectAll.count(), 1);
    QTest::keyClick(form->ListView2, Qt::Key_D, Qt::ControlModifier);
    EXPECT_EQ(copyDetails.count(), 0); // the other list's menu

    form->RootDir->setFocus();
    QTest::keyClick(form->RootDir, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(selectAll.count(), 1);

    form->ListView1->setFocus();
    QTest::keyClick(form->ListView1, Qt::Key_D, Qt::ControlModifier);
    EXPECT_EQ(copyDetails.count(), 1);
    QTest::keyClick(form->ListView1, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(selectAll.count(), 1);
}

TEST_F(MainWindowTest, HintsOfControlsAndMenuItemsShowInTheStatusBar) {
    auto form = shownForm();
    form->PopupMenu1->popup(form->ListView2->mapToGlobal(QPoint(20, 20)));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form->PopupMenu1));
    form->PopupMenu1->setActiveAction(form->Copyfiles1);
    EXPECT_EQ(form->HeaderControl1->currentMessage(), form->Copyfiles1->statusTip());
    form->PopupMenu1->close();

    QStatusTipEvent tip(form->RootDir->statusTip());
    QApplication::sendEvent(form->RootDir, &tip);
    EXPECT_EQ(form->HeaderControl1->currentMessage(), QStringLiteral("Click to select root folder"));
}

TEST_F(MainWindowTest, CommandLineSetsRootAndSkin) {
    tree.makeDir("Data");
    tree.makeFile("Data/report.txt", "x");
    {
        auto form = makeForm();
        EXPECT_TRUE(form->RootDir->text().isEmpty());
        EXPECT_FALSE(form->skinbox->isChecked());
        EXPECT_FALSE(form->SkinData1->isActive());
        EXPECT_TRUE(form->styleSheet().isEmpty());
    }
    {
        auto form = makeForm({path("Data"), QStringLiteral("/s")});
        EXPECT_EQ(form->RootDir->text(), path("Data"));
        EXPECT_TRUE(form->skinbox->isChecked());
        EXPECT_TRUE(form->SkinData1->isActive());
        EXPECT_EQ(form->styleSheet(), SkinEngine::builtInSheet());
    }
    {
        auto form = makeForm({QStringLiteral("/s"), path("Data")});
        EXPECT_TRUE(form->RootDir->text().isEmpty());
        EXPECT_FALSE(form->skinbox->isChecked());
    }
    {
        auto form = makeForm({QStringLiteral("/s")});
        EXPECT_TRUE(form->RootDir->text().isEmpty());
        EXPECT_TRUE(form->skinbox->isChecked());
    }
    {
        auto form = makeForm({path("Data/report.txt"), QStringLiteral("/S")});
        EXPECT_EQ(form->RootDir->text(), path("Data/"));
        EXPECT_FALSE(form->skinbox->isChecked());
    }
    {
        auto form = makeForm({QStringLiteral("abc")});
        EXPECT_TRUE(form->RootDir->text().isEmpty());
    }
    EXPECT_TRUE(errors.isEmpty());
}

// A name that is not UTF-8 is a root by its own bytes, from the command line and from the chooser,
// which hands such names back read lossily.
TEST_F(MainWindowTest, AFolderWithUndecodableBytesBecomesTheRootAsGiven) {
    const std::string bytes = "bad\xff"
                              "dir";
    tree.makeFile(bytes + "/a.txt", "x");
    const QString folder = platform::decodeFileName(QByteArray::fromStdString(tree.abs(bytes)));
    auto form = shownForm({folder});
    EXPECT_EQ(form->RootDir->text(), folder);

    form->RootDir->clear();
    fakeDesktop(*form).folderAnswer = QString::fromUtf8(tree.abs(bytes));
    QTest::mouseClick(form->RootDir, Qt::LeftButton);
    EXPECT_EQ(form->RootDir->text(), folder + QLatin1Char('/'));
    QTest::mouseClick(form->Button1, Qt::LeftButton);
    EXPECT_EQ(form->ListView1->rowCount(), 1) << "the folder itself was walked, not its parent";
    EXPECT_EQ(form->CountLabel->text(), QStringLiteral("1"));
    form.reset();
    removeContents(tree.rootBytes());
}

// The designed minimum widths hold whichever column the user drags.
TEST_F(MainWindowTest, FileListColumnsKeepTheirMinimumWidths) {
    auto form = shownForm();
    QHeaderView* head = form->ListView2->header();
    const auto drag = [&](int section, int width) {
        const int edge = head->sectionViewportPosition(section) + head->sectionSize(section) - 1;
        const int y = head->height() / 2;
        QTest::mousePress(head->viewport(), Qt::LeftButton, {}, QPoint(edge, y));
        QTest::mouseMove(head->viewport(), QPoint(edge + width - head->sectionSize(section), y));
        QTest::mouseRelease(head->viewport(), Qt::LeftButton, {}, QPoint(edge + width - head->sectionSize(section), y));
    };
    const int minimum[] = {300, 140, 140, 80, 70};
    for (int section = 1; section < 5; ++section) {
        drag(section, 28);
        EXPECT_EQ(head->sectionSize(section), minimum[section]) << section;
    }
    drag(1, 700);
    EXPECT_EQ(head->sectionSize(1), 700);
    EXPECT_GE(head->sectionSize(0), minimum[0]) << "Filename keeps its minimum; the list scrolls sideways";
    drag(1, 140);
    EXPECT_EQ(head->sectionResizeMode(0), QHeaderView::Stretch) << "and fills the width again when there is room";
}

TEST_F(MainWindowTest, StartingRunsNoSearch) {
    tree.makeFile("Data/a.txt", "x");
    auto form = makeForm({path("Data")});
    QApplication::processEvents();
    EXPECT_EQ(form->Button1->text(), QStringLiteral("GO"));
    EXPECT_EQ(form->ListView1->reportModel()->rowCount(), 0);
    EXPECT_EQ(form->ListView2->reportModel()->rowCount(), 0);
    EXPECT_EQ(form->CountLabel->text(), QStringLiteral("0"));
    EXPECT_TRUE(form->HeaderControl1->currentMessage().isEmpty());
}

TEST_F(MainWindowTest, SkinBoxSwitchesTheSkinAtOnce) {
    auto form = makeForm();
    form->skinbox->setChecked(true);
    EXPECT_TRUE(form->SkinData1->isActive());
    EXPECT_EQ(form->styleSheet(), form->SkinData1->styleSheet());
    form->skinbox->setChecked(false);
    EXPECT_FALSE(form->SkinData1->isActive());
    EXPECT_TRUE(form->styleSheet().isEmpty());
}

TEST_F(MainWindowTest, LampShowsWhetherTheFolderVerbKeyExists) {
    EXPECT_FALSE(makeForm()->JvLED1->Status());

    // The drive and file keys play no part.
    ASSERT_TRUE(platform::Registry::createKey(QStringLiteral("software\\classes\\Drive\\shell\\KVT")));
    ASSERT_TRUE(platform::Registry::createKey(QStringLiteral("software\\classes\\*\\shell\\KVT")));
    EXPECT_FALSE(makeForm()->JvLED1->Status());
    EXPECT_FALSE(TForm1::ContextMenuRegistered());

    ASSERT_TRUE(platform::Registry::createKey(QStringLiteral("Software\\Classes\\Directory\\Shell\\kvt")));
    EXPECT_TRUE(TForm1::ContextMenuRegistered());
    auto form = makeForm();
    EXPECT_TRUE(form->JvLED1->Status());

    // Set at start only: a later change from outside does not move the lamp.
    ASSERT_TRUE(platform::Registry::deleteKeyTree(verbKey));
    QApplication::processEvents();
    EXPECT_TRUE(form->JvLED1->Status());
}

// What a screen reader is told: each field by the caption beside it (its own name, or for a combo
// box, whose name on Linux is its value, the label it is labelled by) and its hint, the lists with
// the rows the model holds selected, the lamp in words, the counters with what they count.
TEST_F(MainWindowTest, ScreenReadersHearANameForEveryControlAndTheListsSelection) {
    auto form = makeForm();
    const auto heard = [](QObject* control) {
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(control);
        const auto labels = accessible->relations(QAccessible::Label);
        return labels.isEmpty() ? accessible->text(QAccessible::Name) : labels.first().first->text(QAccessible::Name);
    };
    const auto described = [](QObject* control) {
        return QAccessible::queryAccessibleInterface(control)->text(QAccessible::Description);
    };
    const struct {
        QWidget* control;
        const char* name;
        QString description;
    } fields[] = {
        {form->RootDir, "Root", QStringLiteral("Click to select root folder")},
        {form->FileType, "File type mask", form->FileType->statusTip()},
        {form->InText, "File name mask", form->InText->statusTip()},
        {form->FileCreatedCombo, "Created relation", QStringLiteral("Date file created")},
        {form->CreateDate, "Created date", QStringLiteral("Date file created")},
        {form->FileModifiedCombo, "Modified relation", QStringLiteral("Date file last modified")},
        {form->ModDate, "Modified date", QStringLiteral("Date file last modified")},
        {form->FileSizeCombo, "Size (Kb) relation", form->FileSize->statusTip()},
        {form->FileSizeKb, "Size (Kb)", form->FileSize->statusTip()},
        {form->ListView1, "File types", form->ListView1->statusTip()},
        {form->ListView2, "Files", QString()},
        {form->HidBox, "Hidden", QString()},
        {form->SingleFile, "File type mask", form->SingleFile->statusTip()},
        {form->Button1, "GO", QString()},
        {form->TntButton1, "Context menu", form->TntButton1->statusTip()},
        {form->CountLabel, "0", QStringLiteral("Total files")},
        {form->FileCount, "0", QStringLiteral("Selected files")},
    };
    for (const auto& field : fields) {
        SCOPED_TRACE(qPrintable(field.control->objectName()));
        EXPECT_EQ(heard(field.control), QString::fromUtf8(field.name));
        EXPECT_EQ(described(field.control), field.description);
    }

    QAccessibleInterface* lamp = QAccessible::queryAccessibleInterface(form->JvLED1);
    EXPECT_EQ(lamp->role(), QAccessible::Indicator);
    EXPECT_EQ(lamp->text(QAccessible::Name), QStringLiteral("Context menu entries"));
    for (const bool on : {true, false}) {
        form->JvLED1->setStatus(on);
        EXPECT_EQ(lamp->text(QAccessible::Value), on ? QStringLiteral("registered") : QStringLiteral("not registered"));
        EXPECT_EQ(bool(lamp->state().checked), on);
    }

    fillRows(form->ListView2, {{QStringLiteral("/a"), {}, {}, {}, {}},
                               {QStringLiteral("/b"), {}, {}, {}, {}},
                               {QStringLiteral("/c"), {}, {}, {}, {}}});
    selectRows(form->ListView2, {0, 2});
    QAccessibleInterface* files = QAccessible::queryAccessibleInterface(form->ListView2);
    ASSERT_NE(files->tableInterface(), nullptr);
    EXPECT_EQ(files->role(), QAccessible::Table);
    EXPECT_EQ(files->tableInterface()->rowCount(), 3);
    EXPECT_EQ(files->tableInterface()->selectedRows(), QList<int>({0, 2}));
    EXPECT_TRUE(files->tableInterface()->isRowSelected(2));
    QAccessibleInterface* cell = files->tableInterface()->cellAt(2, 0);
    ASSERT_NE(cell, nullptr);
    EXPECT_EQ(cell->text(QAccessible::Name), QStringLiteral("/c"));
    EXPECT_TRUE(cell->state().selected);
    EXPECT_FALSE(files->tableInterface()->cellAt(1, 0)->state().selected);
    EXPECT_EQ(files->child(0)->text(QAccessible::Name), QStringLiteral("Filename")); // the header comes first
    EXPECT_EQ(files->indexOfChild(cell), 3 * 5);
    // A screen reader's "unselect row" works on the model, as the list paints it.
    files->tableInterface()->unselectRow(0);
    EXPECT_EQ(form->ListView2->selectedRows(), QList<int>{2});
}

TEST_F(MainWindowTest, EveryControlShowsItsWholeText) {
    auto form = shownForm();
    int checked = 0;
    for (QWidget* control : form->findChildren<QWidget*>()) {
        const bool shows = qobject_cast<QLabel*>(control) || qobject_cast<QAbstractButton*>(control) ||
                           qobject_cast<QComboBox*>(control) || qobject_cast<QAbstractSpinBox*>(control);
        if (!shows || !control->isVisible() || control->objectName() == QStringLiteral("Panel8"))
            continue;
        ++checked;
        EXPECT_LE(control->sizeHint().width(), control->width())
            << qPrintable(control->objectName()) << " of " << control->metaObject()->className();
    }
    EXPECT_GT(checked, 20);

    // The type column shows its types whole, and Description takes what is left.
    tree.makeFile("data/a.a-rather-long-extension-of-its-own", "x");
    tree.makeFile("data/b.txt", "x");
    form->RootDir->setText(path("data"));
    QTest::mouseClick(form->Button1, Qt::LeftButton);
    ASSERT_EQ(form->ListView1->rowCount(), 2);
    const QFontMetrics metrics(form->ListView1->font());
    EXPECT_GE(form->ListView1->header()->sectionSize(0),
              metrics.horizontalAdvance(QStringLiteral(".a-rather-long-extension-of-its-own")));
    EXPECT_GE(form->ListView1->header()->sectionSize(0), 100);
}

TEST_F(MainWindowTest, SkinFileBesideTheProgramReplacesTheBuiltInSkin) {
    const QByteArray sheet = "QLabel#Panel8 { color: #804000; }\n";
    tree.makeFile("program/myskin.skn", sheet);
    auto form = makeForm({QStringLiteral("/s")});
    EXPECT_TRUE(errors.isEmpty()) << qPrintable(errors.join(QLatin1Char('\n')));
    EXPECT_EQ(form->SkinData1->skinFile(), programFolder() + QStringLiteral("/myskin.skn"));
    EXPECT_EQ(form->styleSheet(), QString::fromUtf8(sheet));
}

TEST_F(MainWindowTest, FolderNamedLikeTheSkinFileIsNoSkin) {
    tree.makeDir("program/myskin.skn");
    auto form = makeForm({QStringLiteral("/s")});
    EXPECT_TRUE(errors.isEmpty());
    EXPECT_TRUE(form->SkinData1->skinFile().isEmpty());
    EXPECT_EQ(form->styleSheet(), SkinEngine::builtInSheet());
    EXPECT_TRUE(form->skinbox->isChecked());
}

TEST_F(MainWindowTest, FailingStartStepIsReportedAndTheWindowOpensPlain) {
    tree.makeDir("Data");
    tree.makeLink("/proc/self/mem", "program/myskin.skn"); // a regular file whose read fails
    ASSERT_TRUE(platform::Registry::createKey(verbKey));

    auto form = makeForm({path("Data"), QStringLiteral("/s")});
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors.first().contains(programFolder() + QStringLiteral("/myskin.skn"))) << qPrintable(errors.first());
    EXPECT_EQ(form->RootDir->text(), path("Data")); // the step before the failure took effect
    EXPECT_FALSE(form->SkinData1->isActive());
    EXPECT_FALSE(form->skinbox->isChecked());
    EXPECT_TRUE(form->styleSheet().isEmpty());
    EXPECT_FALSE(form->JvLED1->Status()); // skipped, so red although the key exists
    EXPECT_TRUE(form->HidBox->isChecked());
}

TEST_F(MainWindowTest, ChooseFolderAppendsOneSlashOrGivesNothing) {
    auto form = makeForm();
    QString& answer = fakeDesktop(*form).folderAnswer;
    const int& asked = fakeDesktop(*form).folderAsked;
    answer = QStringLiteral("/home/u/Photos");
    EXPECT_EQ(form->ChooseFolder(), QStringLiteral("/home/u/Photos/"));
    answer = QStringLiteral("/");
    EXPECT_EQ(form->ChooseFolder(), QStringLiteral("/"));
    answer = QStringLiteral("/srv/data/");
    EXPECT_EQ(form->ChooseFolder(), QStringLiteral("/srv/data/"));
    answer.clear();
    EXPECT_TRUE(form->ChooseFolder().isEmpty());
    EXPECT_EQ(asked, 4);
}

TEST_F(MainWindowTest, ClickIntoRootOpensTheChooserAndCancelKeepsTheText) {
    auto form = shownForm({path("given")});
    ASSERT_EQ(form->RootDir->text(), tree.root() + QLatin1Char('/'));
    QString& answer = fakeDesktop(*form).folderAnswer;
    const int& asked = fakeDesktop(*form).folderAsked;

    QTest::mouseClick(form->RootDir, Qt::LeftButton);
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(form->RootDir->text(), tree.root() + QLatin1Char('/')); // cancelled

    answer = path("Photos");
    QTest::mouseClick(form->RootDir, Qt::LeftButton);
    EXPECT_EQ(asked, 2);
    EXPECT_EQ(form->RootDir->text(), path("Photos/"));

    // Reaching the edit with Tab opens nothing, and typing still works.
    form->HidBox->setFocus();
    QTest::keyClick(form->HidBox, Qt::Key_Backtab, Qt::ShiftModifier);
    ASSERT_EQ(QApplication::focusWidget(), form->RootDir);
    form->RootDir->selectAll();
    QTest::keyClicks(form->RootDir, QStringLiteral("/typed"));
    EXPECT_EQ(form->RootDir->text(), QStringLiteral("/typed"));
    EXPECT_EQ(asked, 2);
}

TEST_F(MainWindowTest, KeyPreviewSeesEachPressOnceAndLeavesItToTheControl) {
    auto form = makeForm<PreviewCountingForm>();
    form->show();
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));

    // A frame ignores keys, so Qt hands the press on to every parent up to the window.
    QTest::keyClick(form->Panel6, Qt::Key_F5);
    EXPECT_EQ(form->keys, QList<int>{Qt::Key_F5});

    form->keys.clear();
    form->RootDir->setFocus();
    QTest::keyClick(form->RootDir, Qt::Key_X);
    QTest::keyClick(form->RootDir, Qt::Key_Escape);
    EXPECT_EQ(form->keys, (QList<int>{Qt::Key_X, Qt::Key_Escape}));
    EXPECT_EQ(form->RootDir->text(), QStringLiteral("x")); // not consumed

    form->keys.clear();
    QTest::keyClick(form->ListView2, Qt::Key_F5);
    QTest::keyClick(form.get(), Qt::Key_Escape);
    EXPECT_EQ(form->keys, (QList<int>{Qt::Key_F5, Qt::Key_Escape}));

    // Keys of other windows are not the window's.
    form->keys.clear();
    QLineEdit other;
    QTest::keyClick(&other, Qt::Key_F5);
    EXPECT_TRUE(form->keys.isEmpty());
}

TEST_F(MainWindowTest, OptionsSnapshotReadsTheControls) {
    auto form = makeForm();
    ScanOptions start = form->options();
    EXPECT_TRUE(start.excludeHidden);
    EXPECT_TRUE(start.excludeSystem);
    EXPECT_FALSE(start.typeMask.on || start.nameMask.on || start.created.on || start.modified.on || start.size.on ||
                 start.attributes.on);
    EXPECT_EQ(start.created.relation, DateRelation::After);
    EXPECT_EQ(start.created.date, EncodeDateTime(2018, 3, 1, 10, 36, 19, 0));
    EXPECT_EQ(start.modified.date, start.created.date);
    EXPECT_EQ(start.size.kilobytes, 0.0);

    form->HidBox->setChecked(false);
    form->AttribsChk->setChecked(true);
    form->ReadChk->setChecked(true);
    form->SingleFile->setChecked(true);
    form->FileType->setText(QStringLiteral(".pdf;.t?t"));
    form->InFile->setChecked(true);
    form->InText->setText(QStringLiteral("rep*"));
    form->FileModifiedCombo->setEditText(QStringLiteral("equal TO"));
    form->FileSizeCombo->setEditText(QStringLiteral("Bigger"));
    form->FileCreatedCombo->setCurrentIndex(2);
    form->FileSizeKb->setValue(12.5);
    form->ModDate->setDateTime(QDateTime(QDate(2021, 12, 24), QTime(18, 30, 5)));

    const ScanOptions o = form->options();
    EXPECT_FALSE(o.excludeHidden);
    EXPECT_TRUE(o.attributes.on && o.attributes.readOnly && !o.attributes.archive);
    EXPECT_TRUE(o.typeMask.on);
    EXPECT_EQ(o.typeMask.mask, QStringLiteral(".pdf;.t?t"));
    EXPECT_TRUE(o.nameMask.on);
    EXPECT_EQ(o.nameMask.mask, QStringLiteral("rep*"));
    EXPECT_EQ(o.modified.relation, DateRelation::Equal); // typed text matches an item ignoring case
    EXPECT_EQ(o.size.relation, SizeRelation::None);      // typed text that is no item
    EXPECT_EQ(o.created.relation, DateRelation::Before);
    EXPECT_EQ(o.size.kilobytes, 12.5);
    EXPECT_EQ(o.modified.date, EncodeDateTime(2021, 12, 24, 18, 30, 5, 0));
}

TEST_F(MainWindowTest, WalkProgressGoesToTheLabels) {
    auto form = makeForm();
    WalkProgress progress;
    progress.entries = 20; // files left out since entry 12 do not show
    progress.settledEntries = 12;
    progress.rows = 345;
    progress.totalFiles = 678;
    form->showProgress(progress);
    EXPECT_EQ(form->FileCount->text(), QStringLiteral("12/345"));
    EXPECT_EQ(form->CountLabel->text(), QStringLiteral("678"));
}

TEST_F(MainWindowTest, ScanFolderCountsTheTreeIntoTheWindowsLists) {
    tree.makeFile("root/a.txt", "aa");
    tree.makeFile("root/b.TXT", "b");
    tree.makeFile("root/sub/c.pdf", "ccc");
    auto form = makeForm();
    form->ScanFolder(path("root/"), true, QStringLiteral("+"));
    EXPECT_FALSE(form->DataList.empty());
    EXPECT_GE(form->IndexList.Count(), 2);
    form->FormDestroy();
    EXPECT_TRUE(form->DataList.empty());
    EXPECT_EQ(form->IndexList.Count(), 0);
}

} // namespace
