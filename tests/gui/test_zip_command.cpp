#include "TestForms.h"
#include "app/try1.h"
#include "platform/FileName.h"
#include "support/FileProbe.h"
#include "support/SmallTmpfs.h"
#include "support/TempTree.h"
#include "support/Utf8.h"
#include "support/gui/ListRows.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QItemSelectionModel>
#include <QLabel>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>
#include <memory>

namespace {

// Records what TntLabel4 shows each time it is painted.
class PaintWatcher : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            auto* label = static_cast<QLabel*>(watched);
            // Painted whole: laid out at least as wide as its text needs.
            painted.append(label->text() + (label->width() >= label->sizeHint().width() ? u("") : u(" (cut)")));
        }
        return false;
    }
    QStringList painted;
};

// Fills the file list with one row per path, in order. The one place that knows how rows are made.
void fillFileList(TForm1& form, const QStringList& paths) {
    QList<QStringList> rows;
    for (const QString& path : paths)
        rows.append({path, u("01.01.2024 10:00:00"), u("01.01.2024 10:00:00"), u("1 KB"), u("A")});
    fillRows(form.ListView2, rows);
}

void selectRows(TForm1& form, const QList<int>& rows) {
    form.ListView2->clearSelection();
    selectRows(form.ListView2, rows);
}

class ZipCommandTest : public ::testing::Test {
protected:
    void SetUp() override {
        form = makeTestForm(tree.root(), &errors);
        ui().recordFileManager = true;
        form->Timer1->stop();
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    }
    void TearDown() override { form.reset(); }

    QString path(const char* rel) const { return tree.root() + QLatin1Char('/') + u(rel); }
    // The path of a native name, which need not be UTF-8.
    QString nativePath(const std::string& rel) const {
        return platform::decodeFileName(QByteArray::fromStdString(tree.abs(rel)));
    }
    QStringList listing(const char* folder) const {
        return QDir(path(folder)).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    }

    TempTree tree;
    ScopedEnv config{"XDG_CONFIG_HOME", QFile::encodeName(tree.root() + u("/config"))};
    ScopedEnv data{"XDG_DATA_HOME", QFile::encodeName(tree.root() + u("/data"))};
    QStringList errors;
    std::unique_ptr<TForm1> form;
    FakeDesktop& ui() const { return fakeDesktop(*form); }
    const QStringList& shown() const { return ui().shownInFileManager; }
};

TEST_F(ZipCommandTest, MenuItemStaysHiddenAndWithoutSelectionNothingHappens) {
    EXPECT_FALSE(form->ZIPselectedfiles1->isVisible());
    form->PopupMenu1Popup();
    EXPECT_FALSE(form->ZIPselectedfiles1->isVisible());

    tree.makeFile("d/a.txt", "a");
    fillFileList(*form, {path("d/a.txt")});
    form->ZIPselectedfiles1->trigger();
    EXPECT_TRUE(ui().messages.isEmpty());
    EXPECT_TRUE(shown().isEmpty());
    EXPECT_EQ(listing("d"), QStringList{u("a.txt")});
    EXPECT_FALSE(form->TntLabel4->isVisible());
    EXPECT_EQ(form->TntLabel4->text(), u("Archiving: "));
}

TEST_F(ZipCommandTest, SelectedFilesInListOrderBesideTheFirstWithTheLabelPaintedAtOnce) {
    tree.makeFile("data/report.txt", QByteArray("report ").repeated(100000));
    tree.makeFile("other/café.doc", "notes");
    tree.makeFile("other/.hidden", "hidden");
    tree.makeFile("other/skipped.txt", "not selected");
    fillFileList(*form,
                 {path("data/report.txt"), path("other/skipped.txt"), path("other/.hidden"), path("other/café.doc")});
    selectRows(*form, {3, 0, 2});

    PaintWatcher watcher;
    form->TntLabel4->installEventFilter(&watcher);
    form->ZIPselectedfiles1->trigger();
    form->TntLabel4->removeEventFilter(&watcher);

    EXPECT_TRUE(errors.isEmpty()) << qPrintable(errors.join(u("\n")));
    const QString archive = path("data/report.zip");
    EXPECT_EQ(ui().messages, QStringList{u("ZIP archive saved as ") + archive});
    EXPECT_EQ(shown(), QStringList{archive});
    EXPECT_EQ(listing("data"), (QStringList{u("report.txt"), u("report.zip")}));

    // Each file was named in the label while it was packed, in row order, painted whole.
    watcher.painted.removeDuplicates();
    EXPECT_EQ(watcher.painted,
              (QStringList{u("Archiving report.txt"), u("Archiving .hidden"), u("Archiving café.doc")}));
    EXPECT_FALSE(form->TntLabel4->isVisible());
    EXPECT_EQ(form->TntLabel4->text(), u("Archiving café.doc")); // kept for the next run

    QFile zip(archive);
    ASSERT_TRUE(zip.open(QIODevice::ReadOnly));
    const QByteArray bytes = zip.readAll();
    const qsizetype first = bytes.indexOf("report.txt");
    const qsizetype second = bytes.indexOf(".hidden");
    const qsizetype third = bytes.indexOf("caf\x82.doc");
    EXPECT_TRUE(first >= 0 && first < second && second < third) << "entries in row order, without folders";
    EXPECT_EQ(bytes.indexOf("skipped"), -1);
}

TEST_F(ZipCommandTest, ExistingArchiveAndPackedZipAreNeverReplaced) {
    tree.makeFile("d/pack.zip", "an archive to be packed");
    tree.makeFile("d/pack (2).zip", "someone else's");
    tree.makeFile("d/b.txt", "b");
    fillFileList(*form, {path("d/pack.zip"), path("d/b.txt")});
    selectRows(*form, {0, 1});
    form->ZIPselectedfiles1->trigger();

    EXPECT_EQ(ui().messages, QStringList{u("ZIP archive saved as ") + path("d/pack (3).zip")});
    EXPECT_EQ(shown(), QStringList{path("d/pack (3).zip")});
    QFile packed(path("d/pack.zip"));
    ASSERT_TRUE(packed.open(QIODevice::ReadOnly));
    EXPECT_EQ(packed.readAll(), QByteArray("an archive to be packed"));
}

TEST_F(ZipCommandTest, VanishedFileIsReportedAndLeavesNoArchive) {
    tree.makeFile("d/here.txt", "here");
    fillFileList(*form, {path("d/here.txt"), path("d/gone.txt")});
    selectRows(*form, {0, 1});
    form->ZIPselectedfiles1->trigger();

    EXPECT_EQ(ui().messages, QStringList{u("Cannot open \"%1\": No such file or directory").arg(path("d/gone.txt"))});
    EXPECT_TRUE(shown().isEmpty());
    EXPECT_TRUE(errors.isEmpty());
    EXPECT_EQ(listing("d"), QStringList{u("here.txt")});
    EXPECT_FALSE(form->TntLabel4->isVisible());
}

TEST_F(ZipCommandTest, EntriesExtractInsideTheFolderAndNamesThatDifferStayApart) {
    const QString unzip = QStandardPaths::findExecutable(u("unzip"));
    if (unzip.isEmpty())
        GTEST_SKIP() << "unzip is not installed";
    const std::string names[] = {"\\..\\..\\evil.txt", "C:drive.txt", "bad\xff.txt", "bad\xfe.txt"};
    QStringList paths;
    for (const std::string& name : names) {
        tree.makeFile("deep/in/" + name, QByteArray::fromStdString(name));
        paths.append(nativePath("deep/in/" + name));
    }
    fillFileList(*form, paths);
    selectRows(*form, {0, 1, 2, 3});
    form->ZIPselectedfiles1->trigger();
    ASSERT_EQ(shown().size(), 1) << qPrintable(ui().messages.join(u("\n")));

    QProcess test;
    test.start(unzip, {u("-t"), shown()[0]});
    ASSERT_TRUE(test.waitForFinished(30000));
    EXPECT_EQ(test.exitCode(), 0) << test.readAllStandardOutput().constData();
    QProcess extract;
    extract.start(unzip, {u("-q"), u("-n"), shown()[0], u("-d"), nativePath("deep/in/out")});
    ASSERT_TRUE(extract.waitForFinished(30000));
    EXPECT_EQ(extract.exitCode(), 0) << extract.readAllStandardError().constData();
    EXPECT_EQ(namesIn(tree.abs("deep/in/out")),
              (QStringList{u("C_drive.txt"), u("_.._.._evil.txt"), u("bad%FE.txt"), u("bad%FF.txt")}));
    EXPECT_EQ(contentOf(tree.abs("deep/in/out/bad%FE.txt")), QByteArray("bad\xfe.txt"));
    EXPECT_EQ(namesIn(tree.abs("deep")), QStringList{u("in")}) << "nothing lands above the target folder";
}

TEST_F(ZipCommandTest, AFirstFileWithANameOfTheFullLengthIsPacked) {
    const std::string stem(251, 'n');
    tree.makeFile("d/" + stem + ".txt", "long");
    fillFileList(*form, {nativePath("d/" + stem + ".txt")});
    selectRows(*form, {0});
    form->ZIPselectedfiles1->trigger();
    EXPECT_EQ(ui().messages, QStringList{u("ZIP archive saved as ") + nativePath("d/" + stem + ".zip")});
    EXPECT_EQ(namesIn(tree.abs("d")).size(), 2);
}

TEST_F(ZipCommandTest, AFullDiskIsReportedWithTheSystemsReasonAndLeavesNothing) {
    tree.makeDir("small");
    SmallTmpfs small(tree.abs("small"), 64);
    if (!small.isMounted())
        GTEST_SKIP() << "cannot mount a tmpfs here";
    tree.makeFile("small/first.txt", "first");
    // Random bytes do not compress, so the archive outgrows the 64 KiB.
    QByteArray noise(256 * 1024, Qt::Uninitialized);
    QRandomGenerator(7).fillRange(reinterpret_cast<quint32*>(noise.data()), noise.size() / 4);
    tree.makeFile("big.bin", noise);
    fillFileList(*form, {path("small/first.txt"), path("big.bin")});
    selectRows(*form, {0, 1});
    form->ZIPselectedfiles1->trigger();

    EXPECT_EQ(ui().messages, QStringList{u("Cannot write the archive: No space left on device")});
    EXPECT_TRUE(shown().isEmpty());
    EXPECT_TRUE(errors.isEmpty());
    EXPECT_EQ(namesIn(tree.abs("small")), QStringList{u("first.txt")});
}

} // namespace
