// "Find duplicates among selected files": the window it opens, the copy kept, the move of the other
// copies to the trash and what is left when files changed after they were compared.

#include "TestForms.h"
#include "app/DuplicatesWindow.h"
#include "app/try1.h"
#include "platform/FileName.h"
#include "support/FileProbe.h"
#include "support/Gate.h"
#include "support/TempTree.h"
#include "support/gui/ListRows.h"
#include "text/FileHelpers.h"

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;

class DuplicatesWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        // a and b are copies, a the older; c and d are copies of other bytes, as old as each other;
        // e is a copy of a that is not selected.
        fillRows(form->ListView2,
                 {row("a", "first", 1000000000), row("b", "first", 1200000000), row("sub/c", "other", 1300000000),
                  row("d", "other", 1300000000), row("e", "first")});
        fillRows(form->ListView1,
                 {{QStringLiteral(".txt"), QStringLiteral("Text"), QStringLiteral("5"), QStringLiteral("0.01 KB")}});
        form->FileCount->setText(QStringLiteral("9/5"));
        form->CountLabel->setText(QStringLiteral("5"));
        form->CurrentType = QStringLiteral(".txt");
        selectRows(form->ListView2, {0, 1, 2, 3});
    }
    void TearDown() override { form.reset(); }

    QStringList row(const std::string& rel, const QByteArray& bytes, qint64 mtime = -1) {
        tree.makeFile(rel, bytes, mtime);
        return fileListRow(path(rel));
    }
    QString path(const std::string& rel) const {
        return platform::decodeFileName(QByteArray::fromStdString(tree.abs(rel)));
    }
    QStringList listPaths() const { return firstColumn(form->ListView2); }
    // Opens the window through the menu item and waits for its search to end.
    DuplicatesWindow* findDuplicates() {
        form->FindDuplicates1->trigger();
        DuplicatesWindow* window = form->DuplicateWindow;
        if (window)
            waitDone(window);
        return window;
    }
    static bool waitDone(DuplicatesWindow* window) {
        return QTest::qWaitFor([window] { return !window->isSearching(); }, 10000);
    }
    // The paths of each group's files as the window shows them, "*" before the kept one.
    static QList<QStringList> shown(const DuplicatesWindow* window) {
        QList<QStringList> groups;
        const QTreeWidget* view = window->groupsView();
        for (int g = 0; g < int(window->groups().size()); ++g) {
            QStringList files;
            const QTreeWidgetItem* header = view->topLevelItem(g);
            for (int f = 0; f < header->childCount(); ++f) {
                const QTreeWidgetItem* item = header->child(f);
                files.append((item->checkState(0) == Qt::Checked ? QStringLiteral("*") : QString()) + item->text(1));
            }
            groups.append(files);
        }
        return groups;
    }
    void rewrite(const std::string& rel) {
        const int fd = ::open(tree.abs(rel).c_str(), O_WRONLY);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::pwrite(fd, "X", 1, 0), 1);
        ::close(fd);
        const struct timespec times[2] = {{0, UTIME_OMIT}, {1100000000, 7}};
        ASSERT_EQ(::utimensat(AT_FDCWD, tree.abs(rel).c_str(), times, 0), 0);
    }

    TempTree tree;
    ScopedEnv config{"XDG_CONFIG_HOME", QFile::encodeName(tree.root() + QStringLiteral("/config"))};
    ScopedEnv home{"HOME", QByteArray::fromStdString(tree.abs("home"))};
    ScopedEnv dataHome{"XDG_DATA_HOME", QByteArray::fromStdString(tree.abs("home/.local/share"))};
    QStringList errors;
    std::unique_ptr<TForm1> form = [this] {
        tree.makeDir("program");
        return makeTestForm(tree.root() + QStringLiteral("/program"), &errors);
    }();
    FakeDesktop& ui = fakeDesktop(*form);
};

TEST_F(DuplicatesWindowTest, ShowsTheGroupsOfTheSelectedFilesInAWindowOfItsOwnAndLeavesTheListsAlone) {
    const QStringList rowsBefore = listPaths();
    DuplicatesWindow* window = findDuplicates();
    ASSERT_NE(window, nullptr);
    ASSERT_FALSE(window->isSearching());
    EXPECT_TRUE(window->isWindow());
    EXPECT_TRUE(window->isVisible());
    // Equal wastes: the first paths decide the order. The oldest copy is kept, then the shorter path.
    EXPECT_EQ(shown(window), (QList<QStringList>{{QStringLiteral("*") + path("a"), path("b")},
                                                 {path("sub/c"), QStringLiteral("*") + path("d")}}));
    const QTreeWidgetItem* first = window->groupsView()->topLevelItem(0)->child(0);
    EXPECT_EQ(first->text(2), FormatSize(5));
    EXPECT_FALSE(first->text(3).isEmpty());
    EXPECT_EQ(window->progressLabel()->text(),
              QStringLiteral("2 groups of duplicates, %1 wasted.").arg(FormatSize(10)));
    EXPECT_FALSE(window->cancelButton()->isVisible());
    EXPECT_TRUE(window->trashButton()->isEnabled());
    EXPECT_EQ(window->trashNote()->text(), QStringLiteral("The trash frees no space until it is emptied."));

    // Outside GO/STOP: the lists, their counters and the current type stay as they were.
    EXPECT_EQ(listPaths(), rowsBefore);
    EXPECT_EQ(form->ListView2->selectedRows(), (QList<int>{0, 1, 2, 3}));
    EXPECT_EQ(form->ListView1->rowCount(), 1);
    EXPECT_EQ(form->FileCount->text(), QStringLiteral("9/5"));
    EXPECT_EQ(form->CountLabel->text(), QStringLiteral("5"));
    EXPECT_EQ(form->CurrentType, QStringLiteral(".txt"));
    EXPECT_EQ(form->Button1->text(), QStringLiteral("GO"));
    EXPECT_FALSE(form->runActive());
    EXPECT_TRUE(ui.questions.isEmpty());
    EXPECT_TRUE(errors.isEmpty());
}

TEST_F(DuplicatesWindowTest, AClickMarksTheCopyToKeep) {
    DuplicatesWindow* window = findDuplicates();
    ASSERT_NE(window, nullptr);
    QTreeWidget* view = window->groupsView();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    QTreeWidgetItem* b = view->topLevelItem(0)->child(1);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualItemRect(b).center());
    EXPECT_EQ(window->keptFile(0), 1u);
    EXPECT_EQ(shown(window)[0], (QStringList{path("a"), QStringLiteral("*") + path("b")}));
    EXPECT_EQ(window->keptFile(1), 1u); // the other group keeps its choice
}

TEST_F(DuplicatesWindowTest, TheOtherCopiesGoToTheTrashAfterTheDeleteQuestion) {
    DuplicatesWindow* window = findDuplicates();
    ASSERT_NE(window, nullptr);
    ui.confirmAnswer = false;
    QTest::mouseClick(window->trashButton(), Qt::LeftButton);
    EXPECT_EQ(ui.questions, QStringList{QStringLiteral("Confirm|Are you sure you want to delete these files?")});
    EXPECT_TRUE(exists(tree.abs("b")));
    EXPECT_EQ(form->ListView2->rowCount(), 5);

    ui.confirmAnswer = true;
    QTest::mouseClick(window->trashButton(), Qt::LeftButton);
    EXPECT_EQ(ui.questions.size(), 2);
    EXPECT_TRUE(ui.messages.isEmpty());
    for (const char* kept : {"a", "d", "e"})
        EXPECT_TRUE(exists(tree.abs(kept))) << kept;
    for (const char* gone : {"b", "sub/c"})
        EXPECT_FALSE(exists(tree.abs(gone))) << gone;
    const std::string trash = tree.abs("home/.local/share/Trash/");
    EXPECT_EQ(contentOf(trash + "files/b"), QByteArray("first"));
    EXPECT_EQ(contentOf(trash + "files/c"), QByteArray("other"));
    // Their rows go as a delete's rows go; the others and the counter stay.
    EXPECT_EQ(listPaths(), (QStringList{path("a"), path("d"), path("e")}));
    EXPECT_EQ(form->FileCount->text(), QStringLiteral("9/5"));
    EXPECT_TRUE(window->groups().empty());
    EXPECT_EQ(window->progressLabel()->text(), QStringLiteral("2 files moved to the trash."));
    EXPECT_FALSE(window->trashButton()->isEnabled());
}

TEST_F(DuplicatesWindowTest, CopiesThatChangedAfterTheyWereComparedAreLeftAndReported) {
    DuplicatesWindow* window = findDuplicates();
    ASSERT_NE(window, nullptr);
    rewrite("a");     // the kept copy of the first group: the whole group stays
    rewrite("sub/c"); // the other copy of the second group
    window->moveOtherCopiesToTrash();
    for (const char* stays : {"a", "b", "sub/c", "d"})
        EXPECT_TRUE(exists(tree.abs(stays))) << stays;
    ASSERT_EQ(ui.messages.size(), 1);
    EXPECT_EQ(
        ui.messages[0],
        QStringLiteral("Left in place:\n%1: the copy to keep changed since it was compared, so its group was left\n"
                       "%2: changed since it was compared")
            .arg(path("a"), path("sub/c")));
    EXPECT_EQ(listPaths().size(), 5);
    EXPECT_EQ(window->groups().size(), 2u);
}

TEST_F(DuplicatesWindowTest, AProgressLineAndCancelShowWhileItWorks) {
    DuplicatesWindow* window = findDuplicates();
    ASSERT_NE(window, nullptr);
    const auto gate = std::make_shared<Gate>();
    DuplicateOptions options;
    options.stopGrace = 60s; // the gate opens right after the cancel
    options.beforeRead = [gate](DuplicateStage stage, std::string_view) {
        if (stage == DuplicateStage::Quick)
            gate->waitOpen();
    };
    window->start({QFile::encodeName(path("a")), QFile::encodeName(path("b"))}, options);
    ASSERT_TRUE(window->isSearching());
    EXPECT_TRUE(window->groupsView()->topLevelItemCount() == 0);
    EXPECT_TRUE(window->cancelButton()->isVisible());
    EXPECT_FALSE(window->trashButton()->isEnabled());
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return window->progressLabel()->text().startsWith(QStringLiteral("Reading the beginnings and ends")); },
        10000))
        << window->progressLabel()->text().toStdString();
    QTest::mouseClick(window->cancelButton(), Qt::LeftButton);
    gate->open();
    ASSERT_TRUE(waitDone(window));
    EXPECT_EQ(window->progressLabel()->text(), QStringLiteral("Cancelled."));
    EXPECT_TRUE(window->groups().empty());
    EXPECT_FALSE(window->trashButton()->isEnabled());
    EXPECT_EQ(listPaths().size(), 5);
}

TEST_F(DuplicatesWindowTest, FilesThatCouldNotBeComparedAreListedWithTheReason) {
    fillRows(form->ListView2, {{path("gone"), QString(), QString(), QString(), QString()}});
    form->ListView2->clearSelection();
    selectRows(form->ListView2, {0, 1, 5});
    DuplicatesWindow* window = findDuplicates();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(shown(window), (QList<QStringList>{{QStringLiteral("*") + path("a"), path("b")}}));
    const QTreeWidget* view = window->groupsView();
    ASSERT_EQ(view->topLevelItemCount(), 2);
    const QTreeWidgetItem* unread = view->topLevelItem(1);
    EXPECT_EQ(unread->text(0), QStringLiteral("Could not be compared"));
    ASSERT_EQ(unread->childCount(), 1);
    EXPECT_EQ(unread->child(0)->text(1), path("gone") + QStringLiteral(": No such file or directory"));
    EXPECT_EQ(window->progressLabel()->text(),
              QStringLiteral("1 group of duplicates, %1 wasted. 1 file could not be compared.").arg(FormatSize(5)));
}

TEST_F(DuplicatesWindowTest, WithNoRowSelectedNothingOpens) {
    form->ListView2->clearSelection();
    form->FindDuplicates1->trigger();
    EXPECT_EQ(form->DuplicateWindow, nullptr);
}

} // namespace
