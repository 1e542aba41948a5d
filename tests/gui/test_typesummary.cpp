#include "FormFixture.h"
#include "views/TreemapLayout.h"
#include "support/DeepTree.h"
#include "views/TypeChartView.h"
#include "views/TypeChartWindow.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QStatusBar>
#include <QTest>
#include <stdexcept>

namespace {

class TypeSummary : public FormFixture {
protected:
    void go() { QTest::mouseClick(form->Button1, Qt::LeftButton); }

    // What every way out of a run leaves behind.
    void expectIdle() {
        EXPECT_EQ(form->Button1->text(), QStringLiteral("GO"));
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
        EXPECT_TRUE(form->HeaderControl1->currentMessage().isEmpty());
        EXPECT_FALSE(form->runActive());
        EXPECT_TRUE(form->DataList.empty());
        EXPECT_EQ(form->IndexList.Count(), 0);
    }

    // A summary of the mixed tree, and its chart opened from the type list's menu.
    void summaryWithChart() {
        makeMixedTree();
        go();
        form->show();
        form->ShowChart1->trigger();
        ASSERT_NE(form->ChartWindow, nullptr);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form->ChartWindow));
    }

    void makeMixedTree() {
        file("a.txt", QByteArray(1024, 'a'));
        file("b/Report.TXT", QByteArray(2048, 'b'));
        file("b/photo.png", QByteArray(100, 'p'));
        file("c/README", "12345");
        file("c/notes.txt", QByteArray(1024, 'n'));
        file("c/.hidden.txt", "h");
        file("Makefile", "");
    }
};

TEST_F(TypeSummary, GoListsEveryTypeInWalkOrderWithCountsSizesAndTotals) {
    makeMixedTree();
    form->CurrentType = QStringLiteral(".old");
    go();
    EXPECT_EQ(rows(form->ListView1),
              QStringList({QStringLiteral(".txt|plain text document|3|4 KB"), QStringLiteral(".png|PNG image|1|0.1 KB"),
                           QStringLiteral("|File|2|0 KB")}));
    EXPECT_EQ(form->CountLabel->text(), QStringLiteral("6"));
    EXPECT_EQ(form->Label5->text(), QStringLiteral("Total size: 4.1 KB"));
    EXPECT_EQ(form->Label3->text(), QStringLiteral("Total types: 3"));
    // root: . .. a.txt b c Makefile; b: . .. photo.png Report.TXT; c: . .. .hidden.txt notes.txt README
    EXPECT_EQ(form->FileCount->text(), QStringLiteral("15/0"));
    EXPECT_TRUE(form->CurrentType.isEmpty());
    EXPECT_EQ(form->ListView2->rowCount(), 0);
    expectIdle();
}

TEST_F(TypeSummary, ATreeAHundredThousandFoldersDeepIsSummedAndItsTypeListed) {
    tree.makeDir("data");
    const DeepChain chain(tree.abs("data"), 100000);
    form->pumpInterval = std::chrono::milliseconds(5); // as the window pumps
    go();
    EXPECT_EQ(rows(form->ListView1), QStringList{QStringLiteral(".txt|plain text document|1|0 KB")});
    EXPECT_EQ(form->FileCount->text(), QStringLiteral("300003/0")); // ".", ".." and one more entry a level
    form->show();
    const QRect row = form->ListView1->visualRect(form->ListView1->model()->index(0, 0));
    QTest::mouseClick(form->ListView1->viewport(), Qt::LeftButton, {}, row.center());
    QTest::mouseDClick(form->ListView1->viewport(), Qt::LeftButton, {}, row.center());
    ASSERT_EQ(form->ListView2->rowCount(), 1);
    EXPECT_EQ(QFile::encodeName(form->ListView2->cellText(0, 0)).toStdString(), tree.abs("data/" + chain.file()));
    expectIdle();
}

TEST_F(TypeSummary, EscapeInTheChartWindowClosesItAndLeavesARunGoing) {
    ASSERT_NO_FATAL_FAILURE(summaryWithChart());
    bool pressed = false;
    atPump(3, [&] {
        QTest::keyClick(form->ChartWindow, Qt::Key_Escape);
        pressed = true;
    });
    go();
    EXPECT_TRUE(pressed);
    EXPECT_FALSE(form->ChartWindow->isVisible());
    EXPECT_EQ(form->ListView1->rowCount(), 3) << "the run was not stopped";
    EXPECT_EQ(form->CountLabel->text(), QStringLiteral("6"));
    expectIdle();
}

TEST_F(TypeSummary, AnEmptyRootOrAFolderWithoutFilesListsNothing) {
    tree.makeDir("data/empty");
    go();
    EXPECT_EQ(form->ListView1->rowCount(), 0);
    EXPECT_EQ(form->CountLabel->text(), QStringLiteral("0"));
    EXPECT_EQ(form->Label5->text(), QStringLiteral("Total size: 0"));
    EXPECT_EQ(form->Label3->text(), QStringLiteral("Total types: 0"));
    expectIdle();
}

TEST_F(TypeSummary, GoWithAnEmptyRootChangesNothing) {
    makeMixedTree();
    go();
    ASSERT_EQ(form->ListView1->rowCount(), 3);
    form->RootDir->clear();
    go();
    EXPECT_EQ(form->ListView1->rowCount(), 3);
    EXPECT_EQ(form->Label3->text(), QStringLiteral("Total types: 3"));
    EXPECT_EQ(form->Button1->text(), QStringLiteral("GO"));
    QTest::keyClick(form->RootDir, Qt::Key_F5);
    EXPECT_EQ(form->ListView1->rowCount(), 3);
}

TEST_F(TypeSummary, WithoutSubFoldersOnlyTheRootIsSummarised) {
    makeMixedTree();
    form->incsubs->setChecked(false);
    go();
    EXPECT_EQ(rows(form->ListView1),
              QStringList({QStringLiteral(".txt|plain text document|1|1 KB"), QStringLiteral("|File|1|0 KB")}));
}

TEST_F(TypeSummary, StopDuringTheWalkShowsNoRows) {
    makeMixedTree();
    QString captionInside;
    atPump(5, [&] {
        go(); // STOP
        captionInside = form->Button1->text();
        EXPECT_TRUE(form->runActive());
    });
    go();
    EXPECT_EQ(captionInside, QStringLiteral("GO"));
    EXPECT_TRUE(form->runState().StopSearch);
    EXPECT_EQ(form->ListView1->rowCount(), 0);
    EXPECT_EQ(form->CountLabel->text(), QStringLiteral("0"));
    EXPECT_EQ(form->Label3->text(), QStringLiteral("Total types: 0"));
    expectIdle();
}

TEST_F(TypeSummary, EscapeStopsTheRunWhileTheCaptionStaysStop) {
    makeMixedTree();
    QString captionAfterEscape;
    atPump(3, [&] {
        QTest::keyClick(form->RootDir, Qt::Key_Escape);
        captionAfterEscape = form->Button1->text();
    });
    go();
    EXPECT_EQ(captionAfterEscape, QStringLiteral("STOP"));
    EXPECT_EQ(form->ListView1->rowCount(), 0);
    expectIdle();
}

TEST_F(TypeSummary, F5StartsARunAndASecondF5StopsIt) {
    makeMixedTree();
    bool stoppedInside = false;
    atPump(4, [&] {
        QTest::keyClick(form->ListView1, Qt::Key_F5);
        stoppedInside = form->runState().StopSearch;
    });
    QTest::keyClick(form->RootDir, Qt::Key_F5);
    EXPECT_TRUE(stoppedInside);
    EXPECT_EQ(form->ListView1->rowCount(), 0);
    expectIdle();

    QTest::keyClick(form->RootDir, Qt::Key_F5); // idle again: a whole run
    EXPECT_EQ(form->ListView1->rowCount(), 3);
}

TEST_F(TypeSummary, GoFromInsideAStoppedRunIsIgnoredUntilItsCleanUp) {
    makeMixedTree();
    qint64 entriesAfterSecondGo = -1;
    atPump(3, [&] {
        go(); // STOP: the caption reads "GO" again while the walk unwinds
        go(); // a GO now must not start a run inside this one
        entriesAfterSecondGo = form->runState().EntryCount;
        EXPECT_TRUE(form->runState().StopSearch);
    });
    go();
    // A nested run would have reset the count and walked the whole tree.
    EXPECT_EQ(entriesAfterSecondGo, 2);
    EXPECT_EQ(form->ListView1->rowCount(), 0);
    expectIdle();
    go(); // after the clean-up GO works again
    EXPECT_EQ(form->ListView1->rowCount(), 3);
}

TEST_F(TypeSummary, TheClockShowsTheTimeWhenIdleAndCountsTicksDuringARun) {
    makeMixedTree();
    form->Timer1Timer();
    EXPECT_TRUE(form->TimeLabel->text().startsWith(QStringLiteral("Current time: ")))
        << form->TimeLabel->text().toStdString();
    form->ElapsedSeconds = 7;
    QStringList during;
    atPump(2, [&] {
        form->Timer1Timer();
        during.append(form->TimeLabel->text());
        form->Timer1Timer();
        during.append(form->TimeLabel->text());
    });
    go();
    EXPECT_EQ(during,
              QStringList({QStringLiteral("Elapsed time: 1 seconds"), QStringLiteral("Elapsed time: 2 seconds")}));
    form->Timer1Timer();
    EXPECT_TRUE(form->TimeLabel->text().startsWith(QStringLiteral("Current time: ")));
    EXPECT_TRUE(form->Timer1->isActive());
    EXPECT_EQ(form->Timer1->interval(), 1000);
}

TEST_F(TypeSummary, TheIdleClockShowsHoursMinutesAndSecondsWithoutAZone) {
    form->TimeLabel->setText(QStringLiteral("."));
    ASSERT_TRUE(QTest::qWaitFor([&] { return form->TimeLabel->text() != QStringLiteral("."); }, 3000));
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^Current time: \\d\\d:\\d\\d:\\d\\d$"))
                    .match(form->TimeLabel->text())
                    .hasMatch())
        << qPrintable(form->TimeLabel->text());
}

// The chart opens from the type list's menu, follows each summary and leads back to the files.
TEST_F(TypeSummary, TheChartFollowsTheSummaryAndLeadsToATypesFiles) {
    ASSERT_NO_FATAL_FAILURE(summaryWithChart());
    TypeChartView* chart = form->ChartWindow->chart();
    const auto chartTypes = [&] {
        QStringList out;
        for (const TypeTotal& t : chart->types())
            out.append(QStringLiteral("%1 %2 %3").arg(t.type).arg(t.count).arg(t.size));
        return out;
    };
    // The hidden file is left out by default, as in the list.
    EXPECT_EQ(chartTypes(),
              (QStringList{QStringLiteral(".txt 3 4096"), QStringLiteral(".png 1 100"), QStringLiteral(" 2 5")}));

    // A double click on the largest tile lists that type's files.
    const TreemapLayout& tiles = chart->tileLayout();
    ASSERT_FALSE(tiles.shown.isEmpty());
    ASSERT_EQ(chart->types()[tiles.shown[0]].type, QStringLiteral(".txt"));
    const QPoint centre = tiles.tiles[0].center().toPoint();
    QTest::mouseClick(chart->viewport(), Qt::LeftButton, {}, centre);
    QTest::mouseDClick(chart->viewport(), Qt::LeftButton, {}, centre);
    EXPECT_EQ(form->CurrentType, QStringLiteral(".txt"));
    EXPECT_EQ(form->ListView2->rowCount(), 3);

    // A new summary redraws it; an empty one shows nothing but "No files".
    form->RootDir->setText(tree.root() + QStringLiteral("/program"));
    go();
    EXPECT_TRUE(chart->types().isEmpty());
    EXPECT_FALSE(form->ChartWindow->saveButton()->isEnabled());
    form->close();
    EXPECT_FALSE(form->ChartWindow->isVisible()) << "it closes with the main window";
}

TEST_F(TypeSummary, ShiftClickAppendsTheTypeOnlyWhileTheMaskIsEnabled) {
    makeMixedTree();
    go();
    ASSERT_EQ(form->ListView1->rowCount(), 3);
    form->show();
    auto clickRow = [&](int row, Qt::KeyboardModifiers mods) {
        const QRect rect = form->ListView1->visualRect(form->ListView1->model()->index(row, 0));
        QTest::mouseClick(form->ListView1->viewport(), Qt::LeftButton, mods, rect.center());
    };
    clickRow(0, Qt::ShiftModifier); // mask box clear: nothing
    EXPECT_EQ(form->FileType->text(), QString());

    form->SingleFile->setChecked(true);
    clickRow(0, Qt::ShiftModifier);
    clickRow(1, Qt::ShiftModifier);
    clickRow(2, Qt::ShiftModifier); // the empty type adds only ";"
    clickRow(1, Qt::NoModifier);    // a plain click only selects
    EXPECT_EQ(form->FileType->text(), QStringLiteral(".txt;.png;;"));

    form->FileType->setText(QStringLiteral("*.txt"));
    clickRow(1, Qt::ShiftModifier);
    EXPECT_EQ(form->FileType->text(), QStringLiteral("*.txt.png;"));

    // Below the rows nothing is selected: nothing happens.
    form->ListView1->clearSelection();
    QTest::mouseClick(form->ListView1->viewport(), Qt::LeftButton, Qt::ShiftModifier,
                      QPoint(5, form->ListView1->viewport()->height() - 3));
    EXPECT_EQ(form->FileType->text(), QStringLiteral("*.txt.png;"));
}

TEST_F(TypeSummary, AFailureInARunIsReportedAndTheWindowIsIdleAgain) {
    makeMixedTree();
    fakeDesktop(*form).typeNames = [](const QString&) -> QString { throw std::runtime_error("Out of type names"); };
    go();
    EXPECT_EQ(errors, QStringList({QStringLiteral("Out of type names")}));
    expectIdle();
    fakeDesktop(*form).typeNames = [](const QString& t) { return t; };
    go();
    EXPECT_EQ(form->ListView1->rowCount(), 3);
}

TEST_F(TypeSummary, ClosingTheWindowDuringARunStopsIt) {
    makeMixedTree();
    form->show();
    atPump(3, [&] { form->close(); });
    go();
    EXPECT_TRUE(form->runState().StopSearch);
    expectIdle();
}

} // namespace
