#include "FormFixture.h"

#include "text/DateText.h"
#include "text/FileHelpers.h"
#include "text/SortKeys.h"
#include "support/FileProbe.h"
#include "support/FileRights.h"

#include <QAbstractItemModelTester>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <functional>
#include <map>
#include <sys/stat.h>

#include "app/DatePicker.h"

namespace {

class FileList : public FormFixture {
protected:
    void go() { QTest::mouseClick(form->Button1, Qt::LeftButton); }

    // Found files relative to the searched root, in list order.
    QStringList listed() const {
        QStringList out;
        for (const QString& path : column(form->ListView2, 0))
            out.append(path.mid(root().size() + 1));
        return out;
    }

    void selectRow(TSortListView* list, int row,
                   QItemSelectionModel::SelectionFlags how = QItemSelectionModel::ClearAndSelect) {
        list->selectionModel()->select(list->model()->index(row, 0), how | QItemSelectionModel::Rows);
    }

    void summaryThenList(const QString& type) {
        go();
        const int row = int(column(form->ListView1, 0).indexOf(type));
        ASSERT_GE(row, 0) << type.toStdString();
        selectRow(form->ListView1, row);
        form->ListView1DblClick();
    }

    void makeTree() {
        file("a.txt", QByteArray(100, 'a'), 1577872800);  // 2020-01-01 10:00 UTC
        file("B.TXT", QByteArray(2000, 'b'), 1593597600); // 2020-07-01 10:00 UTC
        file("sub/c.doc", QByteArray(1024, 'c'), 1593597600);
        file("sub/README", "r", 1593597600);
        file("sub/deeper/d.txt", "d", 1609502400); // 2021-01-01 12:00 UTC
        file(".hidden.txt", "h");
    }
};

TEST_F(FileList, EveryConditionAloneListsExactlyItsFilesInTheLowerList) {
    makeTree();
    form->SingleFile->setChecked(true);
    form->FileType->setText(QStringLiteral("*.txt"));
    go();
    EXPECT_EQ(listed(),
              QStringList({QStringLiteral("a.txt"), QStringLiteral("B.TXT"), QStringLiteral("sub/deeper/d.txt")}));
    EXPECT_EQ(form->ListView1->rowCount(), 0);
    EXPECT_EQ(form->FileCount->text(), QStringLiteral("%1/3").arg(form->runState().EntryCount));
    EXPECT_EQ(form->Button1->text(), QStringLiteral("GO"));
    form->SingleFile->setChecked(false);

    form->InFile->setChecked(true);
    form->InText->setText(QStringLiteral("?.*"));
    go();
    EXPECT_EQ(listed(), QStringList({QStringLiteral("a.txt"), QStringLiteral("B.TXT"), QStringLiteral("sub/c.doc"),
                                     QStringLiteral("sub/deeper/d.txt")}));
    form->InFile->setChecked(false);

    form->FileModified->setChecked(true);
    form->FileModifiedCombo->setCurrentIndex(1); // Equal to
    form->ModDate->setDateTime(QDateTime(QDate(2020, 7, 1), QTime(23, 0)));
    go();
    EXPECT_EQ(listed(),
              QStringList({QStringLiteral("B.TXT"), QStringLiteral("sub/c.doc"), QStringLiteral("sub/README")}));
    form->FileModified->setChecked(false);

    form->FileSize->setChecked(true);
    form->FileSizeCombo->setCurrentIndex(0); // Greater
    form->FileSizeKb->setValue(1.0);
    go();
    EXPECT_EQ(listed(), QStringList({QStringLiteral("B.TXT")}));
    form->FileSize->setChecked(false);

    // Only "File attributes" ticked: with an exclusion box ticked no file passes; with both clear,
    // every file does, straight to the lower list.
    form->AttribsChk->setChecked(true);
    go();
    EXPECT_EQ(listed().size(), 0);
    form->HidBox->setChecked(false);
    form->sysbox->setChecked(false);
    go();
    EXPECT_EQ(listed().size(), 6);
    EXPECT_EQ(form->ListView1->rowCount(), 0);
}

TEST_F(FileList, CombinedConditionsMustAllHold) {
    makeTree();
    form->SingleFile->setChecked(true);
    form->FileType->setText(QStringLiteral("*.txt;*.doc"));
    form->FileModified->setChecked(true);
    form->FileModifiedCombo->setCurrentIndex(0); // After
    form->ModDate->setDateTime(QDateTime(QDate(2020, 3, 1), QTime(10, 36, 19)));
    form->HidBox->setChecked(false);
    go();
    EXPECT_EQ(listed(), QStringList({QStringLiteral(".hidden.txt"), QStringLiteral("B.TXT"),
                                     QStringLiteral("sub/c.doc"), QStringLiteral("sub/deeper/d.txt")}));
}

TEST_F(FileList, RowsShowPathDatesSizeAndAttributes) {
    file("ro.txt", QByteArray(1536, 'x'), 1577872800);
    ASSERT_EQ(::chmod(tree.abs("data/ro.txt").c_str(), 0444), 0);
    form->AttribsChk->setChecked(true);
    form->ReadChk->setChecked(true);
    go();
    ASSERT_EQ(form->ListView2->rowCount(), 1);
    // 2020-01-01 10:00 UTC is 11:00 in Berlin.
    const QString modified = DateTextFormat::system().format(EncodeDateTime(2020, 1, 1, 11, 0, 0, 0));
    EXPECT_EQ(rows(form->ListView2).first().section(QLatin1Char('|'), 2), modified + QStringLiteral("|1.5 KB|RA"));
    EXPECT_EQ(form->ListView2->cellText(0, 0), root() + QStringLiteral("/ro.txt"));
    EXPECT_TRUE(
        form->ListView2->cellText(0, 1).endsWith(QStringLiteral(":") + form->ListView2->cellText(0, 1).right(2)));
}

TEST_F(FileList, DoubleClickOnATypeListsExactlyItsFilesAndReloadListsThemAgain) {
    makeTree();
    summaryThenList(QStringLiteral(".txt"));
    EXPECT_EQ(form->CurrentType, QStringLiteral(".txt"));
    EXPECT_EQ(listed(),
              QStringList({QStringLiteral("a.txt"), QStringLiteral("B.TXT"), QStringLiteral("sub/deeper/d.txt")}));
    EXPECT_EQ(form->ListView1->rowCount(), 3); // the summary stays

    form->PopupMenu1Popup();
    EXPECT_EQ(form->Reload1->text(), QStringLiteral("Reload files of type (.txt)"));
    file("sub/new.TXT");
    form->Reload1Click();
    EXPECT_EQ(listed().size(), 4);

    // Files without extension form the empty type.
    const int emptyRow = int(column(form->ListView1, 0).indexOf(QString()));
    selectRow(form->ListView1, emptyRow);
    form->ListView1DblClick();
    EXPECT_EQ(listed(), QStringList({QStringLiteral("sub/README")}));
}

// Linux names may hold "*" and "?", and the locale may collate different spellings as one type:
// whatever a row counted is exactly what its double click lists.
TEST_F(FileList, ATypeListsExactlyTheFilesItsRowCounted) {
    for (const char* name :
         {"x.t*t", "y.tat", "a.txt", "b.t\xc2\xadxt", "c.\xef\xbd\x94\xef\xbd\x98\xef\xbd\x94", "d.TXT", "e.t?t", "f"})
        file(name, "1");
    go();
    const QStringList types = column(form->ListView1, 0);
    const QStringList counts = column(form->ListView1, 2);
    QStringList everyListed;
    for (int row = 0; row < types.size(); ++row) {
        selectRow(form->ListView1, row);
        form->ListView1DblClick();
        EXPECT_EQ(QString::number(form->ListView2->rowCount()), counts[row]) << qPrintable(types[row]);
        everyListed += listed();
    }
    everyListed.sort();
    EXPECT_EQ(everyListed.size(), 8) << qPrintable(everyListed.join(QLatin1Char(' ')));
    EXPECT_EQ(everyListed.removeDuplicates(), 0);

    summaryThenList(QStringLiteral(".t*t"));
    EXPECT_EQ(listed(), QStringList{QStringLiteral("x.t*t")});
    // A mask typed by the user stays a mask.
    form->SingleFile->setChecked(true);
    form->FileType->setText(QStringLiteral("*.t?t"));
    go();
    EXPECT_EQ(listed().size(), 5);
}

// A folder that can be listed but not searched names its files but tells nothing else of them.
TEST_F(FileList, FilesWhoseDetailsCannotBeReadShowNoMadeUpValues) {
    file("big.txt", QByteArray(2048, 'b'), 1577872800);
    file("locked/a.txt", "aaaa");
    file("locked/.b.txt", "bb");
    tree.setMode("data/locked", 0644);
    form->HidBox->setChecked(false);
    form->show();
    WithoutFileRights noRights;

    go();
    EXPECT_EQ(column(form->ListView1, 2), QStringList{QStringLiteral("3")}) << "each keeps its place in the count";
    EXPECT_EQ(column(form->ListView1, 3), QStringList{QStringLiteral("2 KB")}) << "and adds nothing to the size";
    EXPECT_EQ(form->UnreadLabel->statusTip(),
              QStringLiteral("The details of 2 files could not be read (first: %1/locked/.b.txt: Permission denied)")
                  .arg(root()));

    selectRow(form->ListView1, 0);
    form->ListView1DblClick();
    QHeaderView* head = form->ListView2->header();
    QTest::mouseClick(head->viewport(), Qt::LeftButton, {},
                      QPoint(head->sectionViewportPosition(3) + 10, head->height() / 2)); // Size, ascending
    EXPECT_TRUE(errors.isEmpty()) << qPrintable(errors.join(QLatin1Char('\n')));
    const QStringList shown = rows(form->ListView2);
    ASSERT_EQ(shown.size(), 3);
    QStringList unread{shown[0].section(QLatin1Char('|'), 1), shown[1].section(QLatin1Char('|'), 1)};
    unread.sort();
    EXPECT_EQ(unread, (QStringList{QStringLiteral("|||A"), QStringLiteral("|||HA")})) << "before what was read";
    EXPECT_TRUE(shown[2].endsWith(QStringLiteral("|2 KB|A")));

    // Exported, on the clipboard and in a file, their dates and size are empty fields.
    form->Selectall1->trigger();
    form->CopyfiledetailstoclipboardasCSV1->trigger();
    const QString csv = QGuiApplication::clipboard()->text();
    for (const char* row : {"/locked/a.txt,,,,A\r\n", "/locked/.b.txt,,,,HA\r\n"})
        EXPECT_TRUE(csv.contains(QString::fromUtf8(row))) << qPrintable(csv);
    const QString saved = tree.root() + QStringLiteral("/files.csv");
    fakeDesktop(*form).saveAnswer = saved;
    form->SavefiledetailsasCSV1->trigger();
    EXPECT_EQ(contentOf(saved), utf16le(csv));

    // They pass no condition on what could not be read.
    form->FileSize->setChecked(true);
    form->FileSizeCombo->setCurrentIndex(2); // Less
    form->FileSizeKb->setValue(100);
    go();
    EXPECT_EQ(listed(), QStringList{QStringLiteral("big.txt")});
    form->FileSize->setChecked(false);
    form->AttribsChk->setChecked(true);
    form->ArchiveChk->setChecked(true);
    go();
    EXPECT_EQ(listed(), QStringList{QStringLiteral("big.txt")});
}

// What a walk leaves out is said in the status bar's right end, never in a message box; the
// run's clean-up leaves it, the next GO clears it.
TEST_F(FileList, WhatTheWalkCouldNotReadIsReportedUntilTheNextGo) {
    file("open/a.txt");
    file("closed/b.txt");
    file("closed2/c.txt");
    tree.setMode("data/closed", 0);
    tree.setMode("data/closed2", 0);
    form->show();
    {
        WithoutFileRights noRights;
        go();
    }
    EXPECT_EQ(form->UnreadLabel->statusTip(),
              QStringLiteral("2 folders could not be read (first: %1/closed: Permission denied)").arg(root()));
    EXPECT_TRUE(form->HeaderControl1->currentMessage().isEmpty());
    EXPECT_EQ(column(form->ListView1, 2), QStringList{QStringLiteral("1")});

    go();
    EXPECT_TRUE(form->UnreadLabel->text().isEmpty()) << "nothing was left out this time";

    form->RootDir->setText(root() + QStringLiteral("/gone"));
    go();
    EXPECT_EQ(form->UnreadLabel->text(), QStringLiteral("Folder not found: %1/gone").arg(root()));
    EXPECT_TRUE(errors.isEmpty());
}

TEST_F(FileList, ReloadAfterASummaryDoesNothing) {
    makeTree();
    summaryThenList(QStringLiteral(".txt"));
    go(); // a new summary empties the current type
    form->PopupMenu1Popup();
    EXPECT_EQ(form->Reload1->text(), QStringLiteral("Reload files of type ()"));
    form->Reload1Click();
    EXPECT_EQ(form->ListView2->rowCount(), 0);

    // After a condition search, reload lists the type last listed from the summary.
    summaryThenList(QStringLiteral(".doc"));
    form->InFile->setChecked(true);
    form->InText->setText(QStringLiteral("*"));
    go();
    EXPECT_EQ(listed().size(), 5);
    form->Reload1Click();
    EXPECT_EQ(listed(), QStringList({QStringLiteral("sub/c.doc")}));
}

TEST_F(FileList, FiltersKeepTheRowsOfTheSelectedFoldersOrTypeIgnoringCase) {
    file("x/a.txt");
    file("x/b.TXT");
    file("x/c.doc");
    file("X/d.txt");
    file("x/sub/e.txt");
    file("y/f.Txt");
    file("y/noext");
    file("y/.profile");
    form->AttribsChk->setChecked(true);
    form->ArchiveChk->setChecked(true);
    form->HidBox->setChecked(false);
    go();
    ASSERT_EQ(form->ListView2->rowCount(), 8);

    selectRow(form->ListView2, int(listed().indexOf(QStringLiteral("x/a.txt"))));
    form->Filterfilesbytype1Click();
    // Names that differ only in case come upper case first: "X/" is walked before "x/".
    EXPECT_EQ(listed(), QStringList({QStringLiteral("X/d.txt"), QStringLiteral("x/a.txt"), QStringLiteral("x/b.TXT"),
                                     QStringLiteral("x/sub/e.txt"), QStringLiteral("y/f.Txt")}));
    EXPECT_EQ(form->FileCount->text(), QStringLiteral("5"));

    selectRow(form->ListView2, 1);
    form->FilterClick(); // "x/" and "X/" are one folder when case is ignored; x/sub/ is another
    EXPECT_EQ(listed(), QStringList({QStringLiteral("X/d.txt"), QStringLiteral("x/a.txt"), QStringLiteral("x/b.TXT")}));

    go();
    selectRow(form->ListView2, int(listed().indexOf(QStringLiteral("y/noext"))));
    form->Filterfilesbytype1Click();
    EXPECT_EQ(listed(), QStringList({QStringLiteral("y/noext")}));
}

TEST_F(FileList, RemoveAndSelectAllWorkOnTheRowsOnly) {
    for (int i = 0; i < 6; ++i)
        file("f" + std::to_string(i) + ".txt");
    form->AttribsChk->setChecked(true);
    form->ArchiveChk->setChecked(true);
    go();
    form->ListView2->clearSelection();
    form->Removeselectedfiles1Click(); // nothing selected: nothing happens
    EXPECT_EQ(form->ListView2->rowCount(), 6);
    selectRow(form->ListView2, 1);
    selectRow(form->ListView2, 4, QItemSelectionModel::Select);
    form->Removeselectedfiles1Click();
    EXPECT_EQ(listed(), QStringList({QStringLiteral("f0.txt"), QStringLiteral("f2.txt"), QStringLiteral("f3.txt"),
                                     QStringLiteral("f5.txt")}));
    EXPECT_EQ(form->FileCount->text(), QStringLiteral("4"));
    EXPECT_EQ(::access(tree.abs("data/f1.txt").c_str(), F_OK), 0);
    form->Selectall1Click();
    EXPECT_EQ(form->ListView2->selectedRows().size(), 4);
}

// A command given while a sort is still under way waits for it: the rows it names are those the
// sort put in order, each with its own path.
TEST_F(FileList, RemoveDuringABackgroundSortRemovesExactlyTheSelectedFiles) {
    for (int i = 0; i < 6; ++i)
        file("f" + std::to_string(i) + ".txt", QByteArray((6 - i) * 2048, 'x'));
    form->AttribsChk->setChecked(true);
    form->ArchiveChk->setChecked(true);
    go();
    TSortListView* list = form->ListView2;
    list->BackgroundSortFrom = 0;
    selectRow(list, int(listed().indexOf(QStringLiteral("f1.txt"))));
    selectRow(list, int(listed().indexOf(QStringLiteral("f4.txt"))), QItemSelectionModel::Select);
    QHeaderView* head = list->header();
    QTest::mouseClick(head->viewport(), Qt::LeftButton, {},
                      QPoint(head->sectionViewportPosition(3) + head->sectionSize(3) / 2, head->height() / 2));
    ASSERT_TRUE(list->sortPending());
    form->Removeselectedfiles1Click();
    EXPECT_FALSE(list->sortPending());
    EXPECT_EQ(listed(), QStringList({QStringLiteral("f5.txt"), QStringLiteral("f3.txt"), QStringLiteral("f2.txt"),
                                     QStringLiteral("f0.txt")}));
    for (int r = 0; r < list->rowCount(); ++r) {
        const int i = list->cellText(r, 0).right(5).left(1).toInt();
        EXPECT_EQ(list->cellText(r, 3), FormatSize((6 - i) * 2048)) << r;
    }
}

// A sort under way when a run replaces the rows or a filter keeps some of them is dropped or done
// again on what remains: each row keeps its own size.
TEST_F(FileList, ARunOrAFilterDuringABackgroundSortKeepsEachRowWhole) {
    std::map<QString, int> sizes;
    const auto add = [&](const std::string& name, int bytes) {
        file(name, QByteArray(bytes, 'x'));
        sizes[QString::fromStdString(name)] = bytes;
    };
    for (int i = 0; i < 6; ++i)
        add("f" + std::to_string(i) + (i % 2 ? ".txt" : ".dat"), (6 - i) * 2048);
    form->AttribsChk->setChecked(true);
    form->ArchiveChk->setChecked(true);
    TSortListView* list = form->ListView2;
    list->BackgroundSortFrom = 0;
    const auto sortBySize = [&] {
        QHeaderView* head = list->header();
        QTest::mouseClick(head->viewport(), Qt::LeftButton, {},
                          QPoint(head->sectionViewportPosition(3) + head->sectionSize(3) / 2, head->height() / 2));
    };
    const auto expectWholeRows = [&](qsizetype rows) {
        EXPECT_FALSE(list->sortPending());
        const QStringList names = listed();
        ASSERT_EQ(names.size(), rows);
        for (int r = 0; r < list->rowCount(); ++r)
            EXPECT_EQ(list->cellText(r, 3), FormatSize(sizes.at(names[r]))) << names[r].toStdString();
    };

    go();
    sortBySize();
    ASSERT_TRUE(list->sortPending());
    add("g.txt", 100);
    go();
    expectWholeRows(7);

    sortBySize();
    ASSERT_TRUE(list->sortPending());
    selectRow(list, int(listed().indexOf(QStringLiteral("f1.txt"))));
    form->Filterfilesbytype1->trigger();
    expectWholeRows(4);
    for (const QString& name : listed())
        EXPECT_TRUE(name.endsWith(QStringLiteral(".txt"))) << name.toStdString();
}

TEST_F(FileList, StopDuringTheWalkAddsNoRows) {
    for (int i = 0; i < 10; ++i)
        file("f" + std::to_string(i) + ".txt");
    form->AttribsChk->setChecked(true);
    form->ArchiveChk->setChecked(true);
    atPump(8, [&] { go(); });
    go();
    EXPECT_EQ(form->ListView2->rowCount(), 0);
    EXPECT_EQ(form->FileCount->text(), QStringLiteral("%1/0").arg(form->runState().EntryCount));
    EXPECT_EQ(form->Button1->text(), QStringLiteral("GO"));
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(FileList, StopDuringTheFillKeepsTheRowsAddedSoFar) {
    for (int i = 0; i < 10; ++i)
        file("f" + std::to_string(i) + ".txt");
    form->AttribsChk->setChecked(true);
    form->ArchiveChk->setChecked(true);
    QString statusDuringFill;
    // 12 pumps in the walk (. .. and ten files), then one before each row of the fill.
    atPump(12 + 4, [&] {
        statusDuringFill = form->HeaderControl1->currentMessage();
        QTest::keyClick(form->ListView2, Qt::Key_Escape);
    });
    go();
    EXPECT_EQ(statusDuringFill, QStringLiteral("Loading File list - please wait"));
    EXPECT_EQ(form->ListView2->rowCount(), 3);
    EXPECT_EQ(form->FileCount->text(), QStringLiteral("12/3"));
    EXPECT_TRUE(form->HeaderControl1->currentMessage().isEmpty());
    EXPECT_FALSE(form->runActive());
}

TEST_F(FileList, InputThatWouldDisturbARunIsIgnoredInsideIt) {
    makeTree();
    summaryThenList(QStringLiteral(".txt"));
    ASSERT_EQ(form->ListView2->rowCount(), 3);
    selectRow(form->ListView2, 0);
    atPump(2, [&] {
        selectRow(form->ListView1, 0);
        form->ListView1DblClick();
        form->Reload1Click();
        form->FilterClick();
        form->Removeselectedfiles1Click();
    });
    form->Reload1Click();
    EXPECT_EQ(listed().size(), 3);
    EXPECT_FALSE(form->runActive());
}

TEST_F(FileList, HiddenFilesAskBeforeOpening) {
    file(".secret.txt");
    file("plain.txt");
    form->HidBox->setChecked(false);
    form->AttribsChk->setChecked(true);
    form->ArchiveChk->setChecked(true);
    go();
    FakeDesktop& desktop = fakeDesktop(*form);
    const QStringList& asked = desktop.warnings;
    const QStringList& opened = desktop.opened;
    desktop.openAnswer = false;

    selectRow(form->ListView2, int(listed().indexOf(QStringLiteral(".secret.txt"))));
    form->ListView2DblClick();
    EXPECT_EQ(asked, QStringList({QStringLiteral("THIS IS A HIDDEN OR SYSTEM FILE.  Continue?")}));
    EXPECT_TRUE(opened.isEmpty());
    desktop.openAnswer = true;
    form->ListView2DblClick();
    EXPECT_EQ(opened, QStringList({root() + QStringLiteral("/.secret.txt")}));

    selectRow(form->ListView2, int(listed().indexOf(QStringLiteral("plain.txt"))));
    form->ListView2DblClick();
    EXPECT_EQ(asked.size(), 2);
    EXPECT_EQ(opened.size(), 2);
}

// Closing the question by its close box is no answer: only No keeps the file closed.
TEST_F(FileList, ClosingTheHiddenFileQuestionByItsCloseBoxOpensTheFile) {
    file(".secret.txt");
    form->HidBox->setChecked(false);
    form->SingleFile->setChecked(true);
    form->FileType->setText(QStringLiteral(".txt"));
    go();
    const QStringList& opened = fakeDesktop(*form).opened;
    form->show();
    const QRect rect = form->ListView2->visualRect(form->ListView2->model()->index(0, 0));
    const auto doubleClickAnswering = [&](std::function<void(QMessageBox*)> answer) {
        // Answers the question once it is open, from inside its own event loop.
        auto* poll = new QTimer(form.get());
        QObject::connect(poll, &QTimer::timeout, form.get(), [poll, answer] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                poll->stop();
                answer(box);
            }
        });
        poll->start(1);
        QTest::mouseClick(form->ListView2->viewport(), Qt::LeftButton, {}, rect.center());
        QTest::mouseDClick(form->ListView2->viewport(), Qt::LeftButton, {}, rect.center());
        EXPECT_FALSE(poll->isActive()) << "the question was asked";
    };
    doubleClickAnswering([](QMessageBox* box) { QTest::keyClick(box, Qt::Key_Escape); });
    EXPECT_TRUE(opened.isEmpty()) << "Escape answers No";
    QTest::qWait(QApplication::doubleClickInterval() + 50); // the next click starts a new double click
    doubleClickAnswering([](QMessageBox* box) { box->close(); });
    EXPECT_EQ(opened, QStringList{root() + QStringLiteral("/.secret.txt")});
}

class Sorting : public FormFixture {
protected:
    void fill(TSortListView* list, const QList<QStringList>& rows) {
        list->reportModel()->clear();
        list->reportModel()->appendRows(rows);
    }
    void click(TSortListView* list, int col) {
        QHeaderView* head = list->header();
        QTest::mouseClick(head->viewport(), Qt::LeftButton, {},
                          QPoint(head->sectionViewportPosition(col) + head->sectionSize(col) / 2, head->height() / 2));
    }
    bool arrowAt(TSortListView* list, int col) const {
        return list->model()->headerData(col, Qt::Horizontal, Qt::DecorationRole).isValid();
    }
    void SetUp() override {
        FormFixture::SetUp();
        form->show();
    }
};

TEST_F(Sorting, TypeColumnsSortAsNumbersSizesAndCaseIgnoringText) {
    fill(form->ListView1,
         {{QStringLiteral(".b"), QStringLiteral("beta"), QStringLiteral("10"), QStringLiteral("2 GB")},
          {QStringLiteral(".A"), QStringLiteral("Alpha"), QStringLiteral("9"), QStringLiteral("900 KB")},
          {QStringLiteral(".c"), QStringLiteral("gamma"), QStringLiteral("100"), QStringLiteral("1.5 MB")}});
    click(form->ListView1, 2);
    EXPECT_EQ(column(form->ListView1, 2),
              QStringList({QStringLiteral("9"), QStringLiteral("10"), QStringLiteral("100")}));
    click(form->ListView1, 2);
    EXPECT_EQ(column(form->ListView1, 2),
              QStringList({QStringLiteral("100"), QStringLiteral("10"), QStringLiteral("9")}));
    click(form->ListView1, 3);
    EXPECT_EQ(column(form->ListView1, 3),
              QStringList({QStringLiteral("900 KB"), QStringLiteral("1.5 MB"), QStringLiteral("2 GB")}));
    click(form->ListView1, 0);
    EXPECT_EQ(column(form->ListView1, 0),
              QStringList({QStringLiteral(".A"), QStringLiteral(".b"), QStringLiteral(".c")}));
    click(form->ListView1, 1);
    click(form->ListView1, 1);
    EXPECT_EQ(column(form->ListView1, 1),
              QStringList({QStringLiteral("gamma"), QStringLiteral("beta"), QStringLiteral("Alpha")}));
}

TEST_F(Sorting, FileColumnsSortByValueAndSameMinuteDatesAreEqual) {
    const DateTextFormat& fmt = DateTextFormat::system();
    const QString early = fmt.format(EncodeDateTime(2019, 12, 31, 23, 59, 0, 0));
    const QString late = fmt.format(EncodeDateTime(2020, 1, 1, 0, 1, 0, 0));
    const QString later = fmt.format(EncodeDateTime(2020, 2, 1, 0, 0, 0, 0));
    fill(form->ListView2, {{QStringLiteral("/b/one"), late, later, QStringLiteral("1.5 MB"), QStringLiteral("A")},
                           {QStringLiteral("/A/two"), early, late, QStringLiteral("900 KB"), QStringLiteral("RA")},
                           {QStringLiteral("/c/three"), later, late, QStringLiteral("2 GB"), QStringLiteral("a")},
                           {QStringLiteral("/a/four"), early, early, QStringLiteral("0.5 KB"), QStringLiteral("HA")}});
    click(form->ListView2, 3);
    EXPECT_EQ(column(form->ListView2, 0), QStringList({QStringLiteral("/a/four"), QStringLiteral("/A/two"),
                                                       QStringLiteral("/b/one"), QStringLiteral("/c/three")}));
    click(form->ListView2, 3);
    EXPECT_EQ(column(form->ListView2, 0), QStringList({QStringLiteral("/c/three"), QStringLiteral("/b/one"),
                                                       QStringLiteral("/A/two"), QStringLiteral("/a/four")}));
    // "/A/two" and "/c/three" have the same modified minute: equal, so they keep their order.
    click(form->ListView2, 2);
    EXPECT_EQ(column(form->ListView2, 0), QStringList({QStringLiteral("/a/four"), QStringLiteral("/c/three"),
                                                       QStringLiteral("/A/two"), QStringLiteral("/b/one")}));
    click(form->ListView2, 1);
    EXPECT_EQ(column(form->ListView2, 1), QStringList({early, early, late, later}));
    click(form->ListView2, 0);
    EXPECT_EQ(column(form->ListView2, 0), QStringList({QStringLiteral("/a/four"), QStringLiteral("/A/two"),
                                                       QStringLiteral("/b/one"), QStringLiteral("/c/three")}));
    click(form->ListView2, 4);
    EXPECT_EQ(column(form->ListView2, 4),
              QStringList({QStringLiteral("A"), QStringLiteral("a"), QStringLiteral("HA"), QStringLiteral("RA")}));
}

TEST_F(Sorting, TheArrowMovesBetweenHeadersAndFollowsTheDirection) {
    TSortListView* list = form->ListView1;
    fill(list, {{QStringLiteral(".x"), QString(), QStringLiteral("1"), QStringLiteral("1 KB")}});
    EXPECT_EQ(list->SortColumn, -1);
    click(list, 0);
    EXPECT_TRUE(arrowAt(list, 0));
    const QPixmap up = list->model()->headerData(0, Qt::Horizontal, Qt::DecorationRole).value<QPixmap>();
    click(list, 2);
    EXPECT_FALSE(arrowAt(list, 0));
    EXPECT_TRUE(arrowAt(list, 2));
    EXPECT_TRUE(list->SortAscending);
    EXPECT_EQ(list->model()->headerData(2, Qt::Horizontal, Qt::DecorationRole).value<QPixmap>().toImage(),
              up.toImage());
    click(list, 2);
    EXPECT_FALSE(list->SortAscending);
    EXPECT_NE(list->model()->headerData(2, Qt::Horizontal, Qt::DecorationRole).value<QPixmap>().toImage(),
              up.toImage());
    click(list, 2);
    EXPECT_TRUE(list->SortAscending);

    // A refill keeps the sort state and the arrow; the new rows stand in walk order.
    fill(list, {{QStringLiteral(".y"), QString(), QStringLiteral("5"), QStringLiteral("1 KB")},
                {QStringLiteral(".z"), QString(), QStringLiteral("2"), QStringLiteral("1 KB")}});
    EXPECT_TRUE(arrowAt(list, 2));
    EXPECT_EQ(column(list, 2), QStringList({QStringLiteral("5"), QStringLiteral("2")}));
    click(list, 2);
    EXPECT_FALSE(list->SortAscending);
}

TEST_F(Sorting, ArrowPicturesAreTheNineBySixTrianglesOnTransparentSixteenPixelSquares) {
    TSortListView* list = form->ListView2;
    ASSERT_EQ(list->OwnImages.size(), 3);
    const QImage blank = list->OwnImages[0].toImage().convertToFormat(QImage::Format_ARGB32);
    const QImage up = list->OwnImages[list->UpArrowIndex].toImage().convertToFormat(QImage::Format_ARGB32);
    const QImage down = list->OwnImages[list->DownArrowIndex].toImage().convertToFormat(QImage::Format_ARGB32);
    ASSERT_EQ(up.size(), QSize(16, 16));
    const char* upRows[] = {"....X....", "...XXX...", "..XXXXX..", ".XXXXXXX.", "XXXXXXXXX", "........."};
    const char* downRows[] = {".........", "XXXXXXXXX", ".XXXXXXX.", "..XXXXX..", "...XXX...", "....X...."};
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x) {
            EXPECT_EQ(qAlpha(blank.pixel(x, y)), 0);
            const bool inside = x >= 3 && x < 12 && y >= 5 && y < 11;
            const bool upGrey = inside && upRows[y - 5][x - 3] == 'X';
            const bool downGrey = inside && downRows[y - 5][x - 3] == 'X';
            EXPECT_EQ(up.pixel(x, y), upGrey ? 0xFFACA899u : 0u) << x << "," << y;
            EXPECT_EQ(down.pixel(x, y), downGrey ? 0xFFACA899u : 0u) << x << "," << y;
        }
    }
    // Every row shows the blank picture before its caption.
    fill(list, {{QStringLiteral("/x")}});
    EXPECT_TRUE(list->model()->data(list->model()->index(0, 0), Qt::DecorationRole).isValid());
}

// The rows of a walk hold values; sizes that show alike and times of one minute are equal, so
// such rows keep their walk order in both directions.
TEST_F(Sorting, RowsOfAWalkSortByTheValuesTheirTextsShow) {
    file("a", QByteArray(1039, 'a'), 1700000005);
    file("b", QByteArray(2048, 'b'), 1600000000);
    file("c", QByteArray(1034, 'c'), 1700000035);
    form->AttribsChk->setChecked(true);
    form->ArchiveChk->setChecked(true);
    QTest::mouseClick(form->Button1, Qt::LeftButton);
    const auto names = [&] {
        QStringList out;
        for (const QString& path : column(form->ListView2, 0))
            out.append(path.section(QLatin1Char('/'), -1));
        return out;
    };
    ASSERT_EQ(names(), (QStringList{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")}));
    click(form->ListView2, 3);
    EXPECT_EQ(names(), (QStringList{QStringLiteral("a"), QStringLiteral("c"), QStringLiteral("b")}));
    click(form->ListView2, 3);
    EXPECT_EQ(names(), (QStringList{QStringLiteral("b"), QStringLiteral("a"), QStringLiteral("c")}));
    click(form->ListView2, 2);
    EXPECT_EQ(names(), (QStringList{QStringLiteral("b"), QStringLiteral("a"), QStringLiteral("c")}));
    click(form->ListView2, 2);
    EXPECT_EQ(names(), (QStringList{QStringLiteral("a"), QStringLiteral("c"), QStringLiteral("b")}));
    EXPECT_EQ(form->ListView2->cellText(0, 3), form->ListView2->cellText(1, 3));
    EXPECT_EQ(form->ListView2->cellText(0, 2), form->ListView2->cellText(1, 2));
}

TEST_F(Sorting, SelectionFollowsItsRowsAndAnUnreadableTextIsReported) {
    TSortListView* list = form->ListView1;
    QAbstractItemModelTester tester(list->model(), QAbstractItemModelTester::FailureReportingMode::Fatal);
    fill(list, {{QStringLiteral(".a"), QString(), QStringLiteral("3"), QStringLiteral("1 KB")},
                {QStringLiteral(".b"), QString(), QStringLiteral("1"), QStringLiteral("1 KB")},
                {QStringLiteral(".c"), QString(), QStringLiteral("2"), QStringLiteral("1 KB")}});
    list->selectionModel()->select(list->model()->index(0, 0),
                                   QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    click(list, 2);
    ASSERT_EQ(list->selectedRows(), QList<int>({2}));
    EXPECT_EQ(list->cellText(2, 0), QStringLiteral(".a"));

    fill(list, {{QStringLiteral(".a"), QString(), QStringLiteral("many"), QStringLiteral("1 KB")},
                {QStringLiteral(".b"), QString(), QStringLiteral("1"), QStringLiteral("1 KB")}});
    click(list, 2);
    EXPECT_EQ(errors, QStringList({QStringLiteral("'many' is not a valid integer value")}));
    EXPECT_EQ(column(list, 0), QStringList({QStringLiteral(".a"), QStringLiteral(".b")}));
}

} // namespace

namespace {

// Orders rows of a column by what the column holds: numbers, size values, dates, or text.
double columnValue(TSortListView* list, int col, const QString& text, bool& isText) {
    double key = 0;
    isText = false;
    const bool typeList = list->model()->columnCount() == 4;
    if (typeList && col == 2)
        return text.toInt();
    if (col == 3 && SizeTextValue(text, key))
        return key;
    if (!typeList && (col == 1 || col == 2) && DateTextFormat::system().parse(text, key))
        return key;
    isText = true;
    return 0;
}

TEST_F(Sorting, EveryColumnOfBothListsSortsBothWays) {
    const DateTextFormat& fmt = DateTextFormat::system();
    QList<QStringList> files, types;
    const char* names[] = {"/b/x", "/A/y", "/c/Z", "/a/w", "/B/v"};
    const char* sizes[] = {"2 GB", "10 KB", "9 KB", "1.5 MB", "0.5 KB"};
    const char* attribs[] = {"RA", "a", "HA", "A", ""};
    for (int i = 0; i < 5; ++i) {
        files.append({QString::fromUtf8(names[i]), fmt.format(EncodeDateTime(2020, 1 + i * 2 % 5, 3, i, 0, 0, 0)),
                      fmt.format(EncodeDateTime(2021 - i % 2, 5, 1 + i, 12, 30, 0, 0)), QString::fromUtf8(sizes[i]),
                      QString::fromUtf8(attribs[i])});
        types.append({QStringLiteral(".t%1").arg(4 - i), QStringLiteral("Desc %1").arg(i % 3),
                      QString::number((i * 7) % 11), QString::fromUtf8(sizes[(i + 2) % 5])});
    }
    for (TSortListView* list : {form->ListView1, form->ListView2}) {
        fill(list, list == form->ListView1 ? types : files);
        for (int col = 0; col < list->model()->columnCount(); ++col) {
            for (const bool ascending : {true, false}) {
                click(list, col);
                ASSERT_EQ(list->SortAscending, ascending);
                for (int r = 1; r < list->rowCount(); ++r) {
                    bool isText = false;
                    const QString a = list->cellText(r - 1, col), b = list->cellText(r, col);
                    const double va = columnValue(list, col, a, isText), vb = columnValue(list, col, b, isText);
                    const int order = isText ? a.compare(b, Qt::CaseInsensitive) : (va < vb ? -1 : va > vb ? 1 : 0);
                    EXPECT_TRUE(ascending ? order <= 0 : order >= 0)
                        << "column " << col << (ascending ? " up: " : " down: ") << a.toStdString() << " / "
                        << b.toStdString();
                }
            }
        }
    }
}

} // namespace
