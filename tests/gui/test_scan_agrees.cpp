#include "FormFixture.h"
#include "app/DatePicker.h"
#include "support/FileProbe.h"
#include "support/ScanProgram.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QPushButton>
#include <QTest>
#include <functional>
#include <sys/stat.h>

namespace {

// trovex-scan and the window walk the same tree with the same engine: for each set of
// conditions the window's CSV file and trovex-scan's csv-utf16 output are the same bytes, so the
// types, counts, sizes and rows agree, texts and order included.
class ScanAgrees : public FormFixture {
protected:
    void TearDown() override { removeContents(tree.rootBytes()); }

    void makeTree() {
        file("a.txt", QByteArray(1024, 'a'), 1593597600);
        file("B.TXT", QByteArray(2000, 'b'), 1593597600);
        file("big.log", QByteArray(3 << 20, 'l'), 1609502400);
        file("sub/c.doc", QByteArray(500, 'c'), 1656669600);
        file("sub/README", "r", 1656669600);
        file("sub/deeper/d.txt", "d", 1609502400);
        tree.setMode("data/sub/deeper/d.txt", 0444);
        file("sub/comma, \"quote\".txt", "q", 1609502400);
        file("sub/bad\xff.log", "x", 1609502400);
        file("\xe6\x97\xa5\xe6\x9c\xac/\xe6\x96\x87.Log", "yy", 1656669600);
        file(".hidden.txt", "h", 1593597600);
        file("sub/.cache/e.txt", "e", 1593597600);
        ASSERT_EQ(::mkfifo(tree.abs("data/pipe").c_str(), 0644), 0);
    }

    // The window's CSV file of the list the run filled: the type list after a summary, else the
    // whole file list.
    QByteArray windowCsv(bool summary) {
        QTest::mouseClick(form->Button1, Qt::LeftButton);
        EXPECT_TRUE(errors.isEmpty()) << errors.join(u'\n').toStdString();
        const QString saved = tree.root() + QStringLiteral("/window.csv");
        QFile::remove(saved);
        fakeDesktop(*form).saveAnswer = saved;
        if (summary) {
            form->SavedetailstofileasCSV1->trigger();
        } else {
            form->ListView2->selectAll();
            form->SavefiledetailsasCSV1->trigger();
        }
        return contentOf(saved);
    }
};

TEST_F(ScanAgrees, TheWindowAndTrovexScanGiveTheSameTypesAndRows) {
    makeTree();
    using Setup = std::function<void(TForm1&)>;
    const struct {
        const char* what;
        Setup setup;
        QStringList arguments;
    } cases[] = {
        {"summary", [](TForm1&) {}, {QStringLiteral("summary")}},
        {"summary with hidden and system files",
         [](TForm1& f) {
             f.HidBox->setChecked(false);
             f.sysbox->setChecked(false);
         },
         {QStringLiteral("summary"), QStringLiteral("--hidden"), QStringLiteral("--system")}},
        {"summary of the folder alone",
         [](TForm1& f) { f.incsubs->setChecked(false); },
         {QStringLiteral("summary"), QStringLiteral("--no-subfolders")}},
        {"type mask",
         [](TForm1& f) {
             f.SingleFile->setChecked(true);
             f.FileType->setText(QStringLiteral("*.txt;*.log"));
         },
         {QStringLiteral("list"), QStringLiteral("--type"), QStringLiteral("*.txt;*.log")}},
        {"name mask",
         [](TForm1& f) {
             f.InFile->setChecked(true);
             f.InText->setText(QStringLiteral("?.*"));
         },
         {QStringLiteral("list"), QStringLiteral("--name"), QStringLiteral("?.*")}},
        {"modified on a day",
         [](TForm1& f) {
             f.FileModified->setChecked(true);
             f.FileModifiedCombo->setCurrentIndex(1);
             f.ModDate->setDateTime(QDateTime(QDate(2021, 1, 1), QTime(8, 0)));
         },
         {QStringLiteral("list"), QStringLiteral("--modified"), QStringLiteral("on"), QStringLiteral("2021-01-01")}},
        {"modified before a day",
         [](TForm1& f) {
             f.FileModified->setChecked(true);
             f.FileModifiedCombo->setCurrentIndex(2);
             f.ModDate->setDateTime(QDateTime(QDate(2022, 1, 1), QTime(8, 0)));
         },
         {QStringLiteral("list"), QStringLiteral("--modified"), QStringLiteral("before"),
          QStringLiteral("2022-01-01")}},
        {"created after a day",
         [](TForm1& f) {
             f.FileCreated->setChecked(true);
             f.FileCreatedCombo->setCurrentIndex(0);
             f.CreateDate->setDateTime(QDateTime(QDate(2000, 1, 1), QTime(8, 0)));
         },
         {QStringLiteral("list"), QStringLiteral("--created"), QStringLiteral("after"), QStringLiteral("2000-01-01")}},
        {"size greater",
         [](TForm1& f) {
             f.FileSize->setChecked(true);
             f.FileSizeCombo->setCurrentIndex(0);
             f.FileSizeKb->setValue(1.0);
         },
         {QStringLiteral("list"), QStringLiteral("--size"), QStringLiteral("greater"), QStringLiteral("1")}},
        {"size less, folder alone",
         [](TForm1& f) {
             f.FileSize->setChecked(true);
             f.FileSizeCombo->setCurrentIndex(2);
             f.FileSizeKb->setValue(2.0);
             f.incsubs->setChecked(false);
         },
         {QStringLiteral("list"), QStringLiteral("--size"), QStringLiteral("less"), QStringLiteral("2"),
          QStringLiteral("--no-subfolders")}},
        {"read-only, hidden and system files included",
         [](TForm1& f) {
             f.AttribsChk->setChecked(true);
             f.ReadChk->setChecked(true);
             f.HidBox->setChecked(false);
             f.sysbox->setChecked(false);
         },
         {QStringLiteral("list"), QStringLiteral("--read-only"), QStringLiteral("--hidden"),
          QStringLiteral("--system")}},
        {"archive",
         [](TForm1& f) {
             f.AttribsChk->setChecked(true);
             f.ArchiveChk->setChecked(true);
         },
         {QStringLiteral("list"), QStringLiteral("--archive")}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        form = makeTestForm(tree.root() + QStringLiteral("/program"), &errors);
        form->pumpInterval = std::chrono::nanoseconds(0);
        form->RootDir->setText(root());
        c.setup(*form);
        const bool summary = c.arguments.first() == QStringLiteral("summary");
        const QByteArray window = windowCsv(summary);
        // The heading and at least one row.
        ASSERT_GE(window.count(QByteArray("\r\0\n\0", 4)), 2) << "the window found nothing to compare";

        QStringList arguments = c.arguments;
        arguments << QStringLiteral("--format") << QStringLiteral("csv-utf16") << root();
        if (summary)
            arguments << QStringLiteral("--sort") << QStringLiteral("walk");
        const ScanResult scan = runTrovexScan(arguments);
        EXPECT_EQ(scan.status, 0) << scan.err.toStdString();
        EXPECT_EQ(scan.out, window) << QString::fromUtf16(reinterpret_cast<const char16_t*>(scan.out.constData()),
                                                          scan.out.size() / 2)
                                           .toStdString();
    }
}

} // namespace
