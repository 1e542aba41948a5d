#include "TestForms.h"
#include "app/try1.h"
#include "platform/FileDetails.h"
#include "platform/FileName.h"
#include "support/FileProbe.h"
#include "support/TempTree.h"
#include "support/WriteFault.h"
#include "support/gui/ListRows.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDrag>
#include <QFile>
#include <QItemSelectionModel>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <fcntl.h>
#include <ftw.h>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <map>
#include <memory>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using platform::ConflictAnswer;

class CommandsTest : public ::testing::Test {
protected:
    void SetUp() override { QGuiApplication::clipboard()->setText(QStringLiteral("untouched")); }
    void TearDown() override {
        form.reset();
        // QTemporaryDir cannot remove names that are not UTF-8.
        removeContents(tree.rootBytes());
    }

    static void fill(TSortListView* list, const QList<QStringList>& rows) { fillRows(list, rows); }
    static void select(TSortListView* list, const QList<int>& rows) { selectRows(list, rows); }
    std::unique_ptr<TForm1> makeForm() {
        tree.makeDir("program");
        return makeTestForm(tree.root() + QStringLiteral("/program"), &errors);
    }
    // A file-list row of the file at rel, made with the given bytes.
    QStringList fileRow(const std::string& rel, const QByteArray& bytes = "data") {
        tree.makeFile(rel, bytes);
        return fileListRow(path(rel));
    }
    QString path(const std::string& rel) const {
        return platform::decodeFileName(QByteArray::fromStdString(tree.abs(rel)));
    }
    QStringList listPaths() const { return firstColumn(form->ListView2); }
    QByteArray clipboardData(const QString& format) const {
        const QMimeData* data = QGuiApplication::clipboard()->mimeData();
        return data ? data->data(format) : QByteArray();
    }

    TempTree tree;
    ScopedEnv config{"XDG_CONFIG_HOME", QFile::encodeName(tree.root() + QStringLiteral("/config"))};
    ScopedEnv home{"HOME", QByteArray::fromStdString(tree.abs("home"))};
    ScopedEnv dataHome{"XDG_DATA_HOME", QByteArray::fromStdString(tree.abs("home/.local/share"))};
    QStringList errors;
    std::unique_ptr<TForm1> form = makeForm();
    FakeDesktop& ui = fakeDesktop(*form);
};

TEST_F(CommandsTest, WithNoRowSelectedTheFileCommandsDoNothing) {
    fill(form->ListView2, {fileRow("a.txt"), fileRow("b.txt")});
    ui.folderAnswer = path("dst");
    for (QAction* action : {form->Copyto1, form->Moveselectedfiles1, form->DeleteFiles2, form->Copyfilelist1,
                            form->Copyfiles1, form->CopyfiledetailstoclipboardasCSV1, form->SavefiledetailsasCSV1,
                            form->Copydetailstoclipboard1, form->SavedetailstofileasCSV1})
        action->trigger();
    EXPECT_EQ(ui.folderAsked, 0);
    EXPECT_TRUE(ui.messages.isEmpty());
    EXPECT_TRUE(ui.questions.isEmpty());
    EXPECT_TRUE(ui.saveOffered.isEmpty());
    EXPECT_TRUE(errors.isEmpty());
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("untouched"));
    EXPECT_EQ(form->ListView2->rowCount(), 2);
    EXPECT_TRUE(exists(tree.abs("a.txt")));
}

TEST_F(CommandsTest, SelectedPathsFollowTheListOrder) {
    fill(form->ListView2, {fileRow("c.txt"), fileRow("a.txt"), fileRow("b.txt")});
    select(form->ListView2, {2, 0});
    // The paths as the list holds their bytes.
    EXPECT_EQ(form->SelectedPaths(), (QList<QByteArray>{QByteArray::fromStdString(tree.abs("c.txt")),
                                                        QByteArray::fromStdString(tree.abs("b.txt"))}));
}

TEST_F(CommandsTest, CopyToFolderCopiesEachFileAndNamesTheFolder) {
    fill(form->ListView2, {fileRow("src/a?b.txt", "question"), fileRow("src/plain.txt", "plain"),
                           fileRow("src/bad\xff.txt", "invalid")});
    tree.makeFile("src/aXb.txt", "letter");
    tree.makeDir("dst");
    select(form->ListView2, {0, 2});

    ui.folderAnswer.clear();
    form->Copyto1->trigger();
    EXPECT_EQ(ui.folderAsked, 1);
    EXPECT_TRUE(ui.messages.isEmpty());

    ui.folderAnswer = path("dst");
    form->Copyto1->trigger();
    EXPECT_EQ(ui.messages, QStringList{QStringLiteral("Files copied to: ") + path("dst/")});
    EXPECT_EQ(contentOf(tree.abs("dst/a?b.txt")), QByteArray("question"));
    EXPECT_EQ(contentOf(tree.abs("dst/bad\xff.txt")), QByteArray("invalid"));
    EXPECT_FALSE(exists(tree.abs("dst/plain.txt")));
    EXPECT_FALSE(exists(tree.abs("dst/aXb.txt")));
    EXPECT_EQ(form->ListView2->rowCount(), 3);
    EXPECT_TRUE(errors.isEmpty());
}

TEST_F(CommandsTest, ConflictsAreAskedAndCancelEndsTheCommand) {
    fill(form->ListView2,
         {fileRow("a/same.txt", "from a"), fileRow("b/same.txt", "from b"), fileRow("c/other.txt", "from c")});
    tree.makeDir("dst");
    ui.folderAnswer = path("dst");
    select(form->ListView2, {0, 1, 2});

    ui.replaceAnswers = {ConflictAnswer::Cancel};
    form->Copyto1->trigger();
    EXPECT_EQ(ui.conflicts, QStringList{path("b/same.txt") + QStringLiteral(" -> ") + path("dst/same.txt")});
    EXPECT_EQ(contentOf(tree.abs("dst/same.txt")), QByteArray("from a"));
    EXPECT_FALSE(exists(tree.abs("dst/other.txt")));
    EXPECT_EQ(ui.messages, QStringList{QStringLiteral("Copy cancelled; 1 of 3 files copied to: ") + path("dst/")});

    ui.conflicts.clear();
    ui.replaceAnswers = {ConflictAnswer::Skip, ConflictAnswer::Replace};
    form->Copyto1->trigger();
    EXPECT_EQ(ui.conflicts.size(), 2);
    EXPECT_EQ(contentOf(tree.abs("dst/same.txt")), QByteArray("from b"));
    EXPECT_EQ(contentOf(tree.abs("dst/other.txt")), QByteArray("from c"));
}

TEST_F(CommandsTest, ReplaceAllAndSkipAllAnswerEveryLaterConflictOfTheCommand) {
    const struct {
        QAction* TForm1::*command;
        ConflictAnswer answer;
        const char* kept; // what the conflicting targets hold afterwards
        const char* summary;
    } cases[] = {
        {&TForm1::Copyto1, ConflictAnswer::ReplaceAll, "new", "Files copied to: "},
        {&TForm1::Copyto1, ConflictAnswer::SkipAll, "old", "Files copied to: "},
        {&TForm1::Moveselectedfiles1, ConflictAnswer::ReplaceAll, "new", "Files moved to: "},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const auto& c = cases[i];
        SCOPED_TRACE(c.summary);
        const std::string src = "src" + std::to_string(i) + "/";
        const std::string dst = "dst" + std::to_string(i) + "/";
        form->ListView2->reportModel()->clear();
        fill(form->ListView2, {fileRow(src + "one.txt", "new"), fileRow(src + "free.txt", "new"),
                               fileRow(src + "two.txt", "new"), fileRow(src + "three.txt", "new")});
        for (const char* name : {"one.txt", "two.txt", "three.txt"})
            tree.makeFile(dst + name, "old");
        select(form->ListView2, {0, 1, 2, 3});
        ui.folderAnswer = path(dst);
        ui.conflicts.clear();
        ui.messages.clear();
        // A second question would cancel the rest.
        ui.replaceAnswers = {c.answer, ConflictAnswer::Cancel};
        (form.get()->*c.command)->trigger();
        EXPECT_EQ(ui.conflicts, QStringList{path(src + "one.txt") + QStringLiteral(" -> ") + path(dst + "one.txt")});
        for (const char* name : {"one.txt", "two.txt", "three.txt"})
            EXPECT_EQ(contentOf(tree.abs(dst + name)), QByteArray(c.kept)) << name;
        EXPECT_EQ(contentOf(tree.abs(dst + "free.txt")), QByteArray("new"));
        EXPECT_EQ(ui.messages, QStringList{QString::fromUtf8(c.summary) + path(dst)});
    }
}

TEST_F(CommandsTest, TheReplaceQuestionOffersEveryAnswerAndEscapeCancels) {
    const struct {
        const char* button; // clicked; Escape when null
        ConflictAnswer answer;
    } cases[] = {
        {"&Replace", ConflictAnswer::Replace}, {"Replace &all", ConflictAnswer::ReplaceAll},
        {"&Skip", ConflictAnswer::Skip},       {"S&kip all", ConflictAnswer::SkipAll},
        {nullptr, ConflictAnswer::Cancel},
    };
    Desktop desktop;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.button ? c.button : "Escape");
        // Answers the question once it is open, from inside its own event loop.
        QTimer poll;
        QStringList offered;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box)
                return;
            poll.stop();
            for (const QAbstractButton* button : box->buttons())
                offered.append(button->text());
            if (!c.button) {
                QTest::keyClick(box, Qt::Key_Escape);
                return;
            }
            for (QAbstractButton* button : box->buttons()) {
                if (button->text() == QLatin1String(c.button))
                    button->click();
            }
        });
        poll.start(1);
        EXPECT_EQ(desktop.askReplace(nullptr, QStringLiteral("/a/x.txt"), QStringLiteral("/b/x.txt")), c.answer);
        EXPECT_EQ(offered.size(), 5);
    }
}

TEST_F(CommandsTest, AFailedFileIsReportedAndTheOthersFollow) {
    fill(form->ListView2, {fileRow("src/one.txt"), fileRow("src/gone.txt"), fileRow("src/three.txt")});
    ::unlink(tree.abs("src/gone.txt").c_str());
    tree.makeDir("dst");
    ui.folderAnswer = path("dst");
    select(form->ListView2, {0, 1, 2});
    form->Copyto1->trigger();
    ASSERT_EQ(ui.messages.size(), 2);
    EXPECT_EQ(ui.messages[0], QStringLiteral("Cannot copy \"%1\" to \"%2\". No such file or directory.")
                                  .arg(path("src/gone.txt"), path("dst/gone.txt")));
    EXPECT_EQ(ui.messages[1], QStringLiteral("1 of 3 files could not be copied; 2 copied to: ") + path("dst/"));
    EXPECT_TRUE(exists(tree.abs("dst/one.txt")));
    EXPECT_TRUE(exists(tree.abs("dst/three.txt")));
}

TEST_F(CommandsTest, TheSummaryNamesTheFolderAloneOnlyWhenEveryFileWasHandled) {
    // Four files, the third meeting a file of its name in the target; the second may be gone.
    const struct {
        QAction* TForm1::*command;
        ConflictAnswer answer;
        bool secondGone;
        const char* summary;
    } cases[] = {
        {&TForm1::Copyto1, ConflictAnswer::Skip, false, "Files copied to: "},
        {&TForm1::Copyto1, ConflictAnswer::Cancel, true,
         "Copy cancelled; 1 of 4 files could not be copied; 1 copied to: "},
        {&TForm1::Moveselectedfiles1, ConflictAnswer::Skip, false, "Files moved to: "},
        {&TForm1::Moveselectedfiles1, ConflictAnswer::Cancel, false, "Move cancelled; 2 of 4 files moved to: "},
        {&TForm1::Moveselectedfiles1, ConflictAnswer::Skip, true, "1 of 4 files could not be moved; 2 moved to: "},
        {&TForm1::Moveselectedfiles1, ConflictAnswer::Cancel, true,
         "Move cancelled; 1 of 4 files could not be moved; 1 moved to: "},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const auto& c = cases[i];
        SCOPED_TRACE(c.summary);
        const std::string src = "src" + std::to_string(i) + "/";
        const std::string dst = "dst" + std::to_string(i);
        form->ListView2->reportModel()->clear();
        fill(form->ListView2, {fileRow(src + "one.txt"), fileRow(src + "two.txt"), fileRow(src + "same.txt"),
                               fileRow(src + "four.txt")});
        if (c.secondGone)
            ::unlink(tree.abs(src + "two.txt").c_str());
        tree.makeFile(dst + "/same.txt", "kept");
        select(form->ListView2, {0, 1, 2, 3});
        ui.folderAnswer = path(dst);
        ui.messages.clear();
        ui.replaceAnswers = {c.answer};
        (form.get()->*c.command)->trigger();
        ASSERT_EQ(ui.messages.size(), c.secondGone ? 2 : 1);
        EXPECT_EQ(ui.messages.last(), QString::fromUtf8(c.summary) + path(dst + "/"));
        EXPECT_EQ(contentOf(tree.abs(dst + "/same.txt")), QByteArray("kept"));
    }
}

TEST_F(CommandsTest, MovedFilesKeepTheirRowsWithTheOldPaths) {
    fill(form->ListView2, {fileRow("src/one.txt", "1"), fileRow("src/two.txt", "2")});
    tree.makeDir("dst");
    ui.folderAnswer = path("dst");
    select(form->ListView2, {0, 1});
    form->Moveselectedfiles1->trigger();
    EXPECT_EQ(ui.messages, QStringList{QStringLiteral("Files moved to: ") + path("dst/")});
    EXPECT_EQ(contentOf(tree.abs("dst/one.txt")), QByteArray("1"));
    EXPECT_EQ(contentOf(tree.abs("dst/two.txt")), QByteArray("2"));
    EXPECT_FALSE(exists(tree.abs("src/one.txt")));
    EXPECT_EQ(listPaths(), (QStringList{path("src/one.txt"), path("src/two.txt")}));

    // A later command on such a row meets a path that no longer exists.
    ui.messages.clear();
    form->Copyto1->trigger();
    ASSERT_EQ(ui.messages.size(), 3);
    EXPECT_TRUE(ui.messages[0].endsWith(QStringLiteral("No such file or directory.")));
}

TEST_F(CommandsTest, DeleteAsksOnceAndTrashesExactlyTheSelectedFiles) {
    fill(form->ListView2, {fileRow("f/a?b.txt", "q"), fileRow("f/keep.txt"), fileRow("f/bad\xff.txt", "b")});
    tree.makeFile("f/aXb.txt", "letter");
    select(form->ListView2, {0, 2});

    ui.confirmAnswer = false;
    form->DeleteFiles2->trigger();
    EXPECT_EQ(ui.questions, QStringList{QStringLiteral("Confirm|Are you sure you want to delete these files?")});
    EXPECT_EQ(form->ListView2->rowCount(), 3);
    EXPECT_TRUE(exists(tree.abs("f/a?b.txt")));

    ui.confirmAnswer = true;
    form->DeleteFiles2->trigger();
    EXPECT_EQ(ui.questions.size(), 2);
    EXPECT_TRUE(ui.messages.isEmpty());
    EXPECT_EQ(listPaths(), QStringList{path("f/keep.txt")});
    EXPECT_FALSE(exists(tree.abs("f/a?b.txt")));
    EXPECT_FALSE(exists(tree.abs("f/bad\xff.txt")));
    EXPECT_TRUE(exists(tree.abs("f/aXb.txt")));
    const std::string trash = tree.abs("home/.local/share/Trash/");
    EXPECT_EQ(contentOf(trash + "files/a?b.txt"), QByteArray("q"));
    EXPECT_EQ(contentOf(trash + "files/bad\xff.txt"), QByteArray("b"));
    EXPECT_TRUE(exists(trash + "info/a?b.txt.trashinfo"));
    EXPECT_TRUE(exists(trash + "info/bad\xff.txt.trashinfo"));
}

TEST_F(CommandsTest, AFileThatCannotBeDeletedKeepsItsRow) {
    fill(form->ListView2,
         {fileRow("f/one.txt"), fileRow("f/vanished.txt"), fileRow("locked/three.txt"), fileRow("f/four.txt")});
    ::unlink(tree.abs("f/vanished.txt").c_str());
    ImmutableFolder locked(tree.abs("locked"));
    select(form->ListView2, {0, 1, 2, 3});
    form->DeleteFiles2->trigger();

    QStringList expectedRows{path("f/vanished.txt")};
    QStringList expectedMessages;
    if (locked.isSet()) {
        expectedRows.append(path("locked/three.txt"));
        expectedMessages.append(
            QStringLiteral("Cannot delete \"%1\". Operation not permitted.").arg(path("locked/three.txt")));
    }
    expectedMessages.append(
        QStringLiteral("Cannot delete \"%1\". No such file or directory.").arg(path("f/vanished.txt")));
    EXPECT_EQ(listPaths(), expectedRows);
    EXPECT_EQ(ui.messages, expectedMessages);
    EXPECT_FALSE(exists(tree.abs("f/one.txt")));
    EXPECT_FALSE(exists(tree.abs("f/four.txt")));
}

TEST_F(CommandsTest, FileNamesGoToTheClipboardAsTextWithCrLf) {
    fill(form->ListView2, {fileRow("x/a b.txt"), fileRow("x/skip.txt"), fileRow("x/\xe6\x97\xa5.txt")});
    select(form->ListView2, {0, 2});
    form->Copyfilelist1->trigger();
    const QByteArray expected =
        QFile::encodeName(path("x/a b.txt")) + "\r\n" + QFile::encodeName(path("x/日.txt")) + "\r\n";
    EXPECT_EQ(clipboardData(QStringLiteral("text/plain;charset=utf-8")), expected);
    EXPECT_EQ(clipboardData(QStringLiteral("text/plain")), expected);
}

TEST_F(CommandsTest, FilesGoToTheClipboardAsAFileListToPasteAsCopies) {
    fill(form->ListView2, {fileRow("x/a b.txt"), fileRow("x/bad\xff")});
    select(form->ListView2, {0, 1});
    form->Copyfiles1->trigger();
    const QByteArray root = QUrl::fromLocalFile(tree.root()).toEncoded();
    EXPECT_EQ(clipboardData(QStringLiteral("text/uri-list")), root + "/x/a%20b.txt\r\n" + root + "/x/bad%FF\r\n");
    EXPECT_EQ(clipboardData(QStringLiteral("x-special/gnome-copied-files")),
              "copy\n" + root + "/x/a%20b.txt\n" + root + "/x/bad%FF");
    EXPECT_EQ(clipboardData(QStringLiteral("application/x-kde-cutselection")), QByteArray("0"));
}

TEST_F(CommandsTest, FileDetailsAsCsvHoldTheHeaderAndTheSelectedRowsAsShown) {
    fill(form->ListView2,
         {{QStringLiteral("/d/plain.txt"), QStringLiteral("01.02.2020 10:11"), QStringLiteral("03.04.2021 12:13"),
           QStringLiteral("1.5 KB"), QStringLiteral("RA")},
          {QStringLiteral("/d/not selected.txt")},
          {QStringLiteral("/d/say \"hi\", ok.txt"), QString(), QString(), QStringLiteral("0 KB"), QString()}});
    select(form->ListView2, {0, 2});
    form->CopyfiledetailstoclipboardasCSV1->trigger();
    EXPECT_EQ(clipboardData(QStringLiteral("text/plain")),
              QByteArray("Filename,\"Date Created\",\"Date modified\",Size,Attribs\r\n"
                         "/d/plain.txt,\"01.02.2020 10:11\",\"03.04.2021 12:13\",\"1.5 KB\",RA\r\n"
                         "\"/d/say \"\"hi\"\", ok.txt\",,,\"0 KB\",\r\n"));
}

TEST_F(CommandsTest, TypeDetailsExportEveryRowWhateverIsSelected) {
    fill(
        form->ListView1,
        {{QStringLiteral(".txt"), QStringLiteral("Plain text document"), QStringLiteral("2"), QStringLiteral("1.5 KB")},
         {QStringLiteral(".pdf"), QStringLiteral("PDF document"), QStringLiteral("1"), QStringLiteral("20 MB")}});
    select(form->ListView1, {1});
    form->Copydetailstoclipboard1->trigger();
    EXPECT_EQ(clipboardData(QStringLiteral("text/plain;charset=utf-8")),
              QByteArray("Type,Description,Count,Size\r\n"
                         ".txt,\"Plain text document\",2,\"1.5 KB\"\r\n"
                         ".pdf,\"PDF document\",1,\"20 MB\"\r\n"));
}

TEST_F(CommandsTest, SavingCsvUsesSd1AndRemembersItsName) {
    fill(form->ListView1,
         {{QStringLiteral(".txt"), QStringLiteral("Text"), QStringLiteral("2"), QStringLiteral("1 KB")}});
    const QString file = path("types.csv");
    tree.makeFile("types.csv", "an older, longer file that gets replaced");

    ui.saveAnswer.clear();
    form->SavedetailstofileasCSV1->trigger();
    EXPECT_EQ(ui.saveOffered, QStringList{QString()});
    EXPECT_EQ(contentOf(tree.abs("types.csv")), QByteArray("an older, longer file that gets replaced"));

    ui.saveAnswer = file;
    form->SavedetailstofileasCSV1->trigger();
    EXPECT_EQ(contentOf(tree.abs("types.csv")),
              utf16le(QStringLiteral("Type,Description,Count,Size\r\n.txt,Text,2,\"1 KB\"\r\n")));
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("untouched"));

    // The file list's save shares the dialog and opens on the name chosen last.
    fill(form->ListView2, {fileRow("a.txt")});
    select(form->ListView2, {0});
    ui.saveAnswer = path("missing/files.csv");
    form->SavefiledetailsasCSV1->trigger();
    EXPECT_EQ(ui.saveOffered, (QStringList{QString(), QString(), file}));
    EXPECT_EQ(
        errors,
        QStringList{
            QStringLiteral("Cannot create file \"%1\". No such file or directory").arg(path("missing/files.csv"))});
    ui.saveAnswer.clear();
    form->SavedetailstofileasCSV1->trigger();
    EXPECT_EQ(ui.saveOffered.last(), path("missing/files.csv"));
}

TEST_F(CommandsTest, ASavedCsvThatCannotBeFlushedOrSyncedIsReportedAndTheOlderFileStays) {
    fill(form->ListView1,
         {{QStringLiteral(".txt"), QStringLiteral("Text"), QStringLiteral("2"), QStringLiteral("1 KB")}});
    tree.makeFile("types.csv", "older");
    ui.saveAnswer = path("types.csv");
    for (const platform::WriteStep step : {platform::WriteStep::Flush, platform::WriteStep::Sync}) {
        const WriteFault fault(step, 1, ENOSPC);
        form->SavedetailstofileasCSV1->trigger();
    }
    EXPECT_EQ(
        errors,
        QStringList(2, QStringLiteral("Cannot create file \"%1\". No space left on device").arg(path("types.csv"))));
    EXPECT_EQ(contentOf(tree.abs("types.csv")), QByteArray("older"));
    EXPECT_EQ(namesIn(tree.rootBytes()), QStringList({QStringLiteral("program"), QStringLiteral("types.csv")}));
}

TEST_F(CommandsTest, ARightClickInTheSelectionKeepsItForTheMenuAndADragOffersWhatTheClipboardGets) {
    fill(form->ListView2, {fileRow("a.txt"), fileRow("b b.txt"), fileRow("c\xff.txt"), fileRow("d.txt")});
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    QWidget* viewport = form->ListView2->viewport();
    const auto centre = [this](int row) {
        return form->ListView2->visualRect(form->ListView2->model()->index(row, 0)).center();
    };
    QTest::mouseClick(viewport, Qt::LeftButton, {}, centre(0));
    QTest::mouseClick(viewport, Qt::LeftButton, Qt::ShiftModifier, centre(2));
    QTest::mousePress(viewport, Qt::RightButton, {}, centre(1));
    QTest::mouseRelease(viewport, Qt::RightButton, {}, centre(1));
    QContextMenuEvent menuAsked(QContextMenuEvent::Mouse, centre(1), viewport->mapToGlobal(centre(1)));
    QApplication::sendEvent(viewport, &menuAsked);
    ASSERT_TRUE(form->PopupMenu1->isVisible());
    form->Copyfilelist1->trigger();
    form->PopupMenu1->hide();
    EXPECT_EQ(clipboardData(QStringLiteral("text/plain;charset=utf-8")),
              QByteArray::fromStdString(tree.abs("a.txt") + "\r\n" + tree.abs("b b.txt") + "\r\n" +
                                        tree.abs("c\xff.txt") + "\r\n"));

    // The drag offers, format by format, what "Copy selected files to clipboard" puts there.
    std::map<QString, QByteArray> dragged;
    Qt::DropActions actions;
    form->ListView2->ExecDrag = [&](QDrag& drag, Qt::DropActions offered) {
        for (const QString& format : drag.mimeData()->formats())
            dragged[format] = drag.mimeData()->data(format);
        actions = offered;
    };
    QTest::mousePress(viewport, Qt::LeftButton, {}, centre(1));
    const QPoint away = centre(1) + QPoint(QApplication::startDragDistance() + 5, 0);
    QMouseEvent moved(QEvent::MouseMove, away, viewport->mapToGlobal(away), Qt::NoButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(viewport, &moved);
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, away);
    form->Copyfiles1->trigger();
    std::map<QString, QByteArray> copied;
    for (const QString& format : QGuiApplication::clipboard()->mimeData()->formats())
        copied[format] = clipboardData(format);
    EXPECT_EQ(dragged, copied);
    EXPECT_TRUE(dragged.count(QStringLiteral("text/uri-list")));
    EXPECT_EQ(actions, Qt::CopyAction);
}

TEST_F(CommandsTest, ShortcutsActWhileTheirListHasTheFocus) {
    fill(form->ListView2, {fileRow("k/a.txt")});
    fill(form->ListView1,
         {{QStringLiteral(".txt"), QStringLiteral("Text"), QStringLiteral("1"), QStringLiteral("1 KB")}});
    select(form->ListView2, {0});
    form->show();
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));

    form->ListView2->setFocus();
    QTest::keyClick(form->ListView2, Qt::Key_F, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), path("k/a.txt") + QStringLiteral("\r\n"));
    QTest::keyClick(form->ListView2, Qt::Key_C, Qt::ControlModifier);
    EXPECT_TRUE(QGuiApplication::clipboard()->mimeData()->hasFormat(QStringLiteral("x-special/gnome-copied-files")));
    QTest::keyClick(form->ListView2, Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(ui.saveOffered.size(), 1);
    // Ctrl+D belongs to the type list.
    QTest::keyClick(form->ListView2, Qt::Key_D, Qt::ControlModifier);
    EXPECT_TRUE(QGuiApplication::clipboard()->mimeData()->hasFormat(QStringLiteral("x-special/gnome-copied-files")));

    form->ListView1->setFocus();
    QTest::keyClick(form->ListView1, Qt::Key_D, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text(),
              QStringLiteral("Type,Description,Count,Size\r\n.txt,Text,1,\"1 KB\"\r\n"));
}

} // namespace
