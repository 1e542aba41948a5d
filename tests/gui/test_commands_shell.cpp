#include "TestForms.h"
#include "app/try1.h"
#include "commands/FileManagerClient.h"
#include "commands/PropertiesDialog.h"
#include "platform/FileName.h"
#include "platform/FileDetails.h"
#include "support/TempTree.h"
#include "support/gui/ListRows.h"

#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusContext>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMimeData>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <csignal>
#include <cstdlib>
#include <gtest/gtest.h>
#include <memory>

namespace {

const QString fileManagerService = QStringLiteral("org.freedesktop.FileManager1");

// A session bus of the test's own, started once per process before anything connects to the session
// bus, so no real file manager can answer. It has no service files, so nothing is started on demand.
class PrivateBus {
public:
    static const PrivateBus& instance() {
        static const PrivateBus bus;
        return bus;
    }
    bool isValid() const { return !address.isEmpty(); }

    QString address;

private:
    PrivateBus() {
        if (!m_dir.isValid())
            return;
        const QString config = m_dir.filePath(QStringLiteral("bus.conf"));
        QFile file(config);
        if (!file.open(QIODevice::WriteOnly))
            return;
        // The socket goes to /tmp, not this folder: the daemon removes it only as it ends, after the
        // folder has been removed at the test's exit.
        file.write("<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
                   " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                   "<busconfig><type>session</type><listen>unix:tmpdir=/tmp</listen><auth>EXTERNAL</auth>"
                   "<policy context=\"default\"><allow send_destination=\"*\" eavesdrop=\"true\"/>"
                   "<allow eavesdrop=\"true\"/><allow own=\"*\"/></policy></busconfig>\n");
        file.close();
        QProcess daemon;
        daemon.start(QStringLiteral("dbus-daemon"),
                     {QStringLiteral("--config-file=") + config, QStringLiteral("--fork"),
                      QStringLiteral("--print-address=1"), QStringLiteral("--print-pid=1")});
        if (!daemon.waitForFinished(10000) || daemon.exitCode() != 0)
            return;
        const QList<QByteArray> lines = daemon.readAllStandardOutput().trimmed().split('\n');
        if (lines.size() != 2)
            return;
        s_pid = lines[1].trimmed().toInt();
        std::atexit([] { ::kill(s_pid, SIGTERM); });
        address = QString::fromLatin1(lines[0].trimmed());
        qputenv("DBUS_SESSION_BUS_ADDRESS", address.toLatin1());
    }

    QTemporaryDir m_dir;
    static inline pid_t s_pid = 0;
};

// org.freedesktop.FileManager1 as a file manager offers it, recording each call.
class FakeFileManager : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")

public:
    QStringList calls;
    bool silent = false; // takes calls but never answers

public slots:
    void ShowFolders(const QStringList& uris, const QString& startupId) {
        record(QStringLiteral("ShowFolders"), uris, startupId);
    }
    void ShowItems(const QStringList& uris, const QString& startupId) {
        record(QStringLiteral("ShowItems"), uris, startupId);
    }
    void ShowItemProperties(const QStringList& uris, const QString& startupId) {
        record(QStringLiteral("ShowItemProperties"), uris, startupId);
    }

private:
    void record(const QString& method, const QStringList& uris, const QString& startupId) {
        calls.append(method + QLatin1Char(' ') + uris.join(QLatin1Char(',')) + QLatin1Char(' ') + startupId);
        if (silent)
            setDelayedReply(true);
    }
};

class ShellCommandsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(PrivateBus::instance().isValid());
        ASSERT_TRUE(QDBusConnection::sessionBus().isConnected());
        tree.makeDir("program");
        form = makeTestForm(tree.root() + QStringLiteral("/program"), &errors);
    }
    void TearDown() override {
        form.reset();
        if (registered) {
            QDBusConnection fake(fakeConnectionName);
            fake.unregisterService(fileManagerService);
            fake.unregisterObject(QStringLiteral("/org/freedesktop/FileManager1"));
            QDBusConnection::disconnectFromBus(fakeConnectionName);
        }
    }

    // Puts the fake file manager on the bus, on a connection of its own as a separate program would be.
    void registerFileManager() {
        QDBusConnection fake = QDBusConnection::connectToBus(PrivateBus::instance().address, fakeConnectionName);
        ASSERT_TRUE(fake.isConnected());
        ASSERT_TRUE(fake.registerObject(QStringLiteral("/org/freedesktop/FileManager1"), &fileManager,
                                        QDBusConnection::ExportAllSlots));
        ASSERT_TRUE(fake.registerService(fileManagerService));
        registered = true;
        // The window's connection must see the same bus.
        ASSERT_TRUE(QDBusConnection::sessionBus().interface()->isServiceRegistered(fileManagerService));
    }

    static void fill(TSortListView* list, const QList<QStringList>& rows) { fillRows(list, rows); }
    void select(const QList<int>& rows) { selectRows(form->ListView2, rows); }
    FakeDesktop& ui() const { return fakeDesktop(*form); }
    void fillFiles(const QStringList& rels) {
        QList<QStringList> rows;
        for (const QString& rel : rels) {
            tree.makeFile(rel.toStdString(), "1234");
            rows.append({path(rel), QString(), QString(), QStringLiteral("0 KB"), QStringLiteral("A")});
        }
        fill(form->ListView2, rows);
    }
    QString path(const QString& rel) const { return tree.root() + QLatin1Char('/') + rel; }
    QString uri(const QString& rel) const { return QString::fromLatin1(QUrl::fromLocalFile(path(rel)).toEncoded()); }

    const QString fakeConnectionName = QStringLiteral("fake-file-manager");
    TempTree tree;
    ScopedEnv config{"XDG_CONFIG_HOME", QFile::encodeName(tree.root() + QStringLiteral("/config"))};
    FakeFileManager fileManager;
    bool registered = false;
    std::unique_ptr<TForm1> form;
    QStringList errors;
};

TEST_F(ShellCommandsTest, PropertiesWantExactlyOneSelectedRow) {
    fillFiles({QStringLiteral("a.txt"), QStringLiteral("b.txt"), QStringLiteral("c.txt")});
    form->Properties1->trigger();
    select({0, 1, 2});
    form->Properties1->trigger();
    EXPECT_EQ(ui().messages,
              (QStringList{QStringLiteral("Select one file only!"), QStringLiteral("Select one file only!")}));
    QTest::qWait(50);
    EXPECT_TRUE(ui().properties.isEmpty());
}

TEST_F(ShellCommandsTest, TheFileManagerShowsTheProperties) {
    registerFileManager();
    fillFiles({QStringLiteral("a b.txt"), QStringLiteral("c.txt")});
    select({1});
    form->Properties1->trigger();
    ASSERT_TRUE(QTest::qWaitFor([this] { return !fileManager.calls.isEmpty(); }, 5000));
    EXPECT_EQ(fileManager.calls,
              QStringList{QStringLiteral("ShowItemProperties ") + uri(QStringLiteral("c.txt")) + QLatin1Char(' ')});
    QTest::qWait(50);
    EXPECT_TRUE(ui().properties.isEmpty());
    EXPECT_TRUE(ui().messages.isEmpty());
}

TEST_F(ShellCommandsTest, WithoutAFileManagerOurOwnPropertiesShow) {
    fillFiles({QStringLiteral("x/report 1.pdf")});
    select({0});
    form->Properties1->trigger();
    ASSERT_TRUE(QTest::qWaitFor([this] { return !ui().properties.isEmpty(); }, 5000));
    EXPECT_EQ(ui().properties[0].name, QStringLiteral("report 1.pdf"));
    EXPECT_EQ(ui().properties[0].folder, path(QStringLiteral("x/")));
    EXPECT_EQ(ui().properties[0].size, 4);

    // A file that is gone shows nothing, as the file manager's own failure would.
    ::unlink(QFile::encodeName(path(QStringLiteral("x/report 1.pdf"))).constData());
    form->Properties1->trigger();
    QTest::qWait(200);
    EXPECT_EQ(ui().properties.size(), 1);
    EXPECT_TRUE(errors.isEmpty());
}

TEST_F(ShellCommandsTest, TheFileManagerSelectsTheTopmostSelectedFile) {
    registerFileManager();
    fillFiles({QStringLiteral("one.txt"), QStringLiteral("sub dir/two.txt"), QStringLiteral("three.txt")});
    select({2, 1});
    form->ListView2->setCurrentIndex(form->ListView2->model()->index(2, 0));
    select({1});
    form->OpenfolderinExplorer->trigger();
    ASSERT_TRUE(QTest::qWaitFor([this] { return !fileManager.calls.isEmpty(); }, 5000));
    EXPECT_EQ(fileManager.calls,
              QStringList{QStringLiteral("ShowItems ") + uri(QStringLiteral("sub dir/two.txt")) + QLatin1Char(' ')});
    QTest::qWait(50);
    EXPECT_TRUE(ui().urls.isEmpty());
}

TEST_F(ShellCommandsTest, WithoutAFileManagerTheFolderOpens) {
    fillFiles({QStringLiteral("one.txt")});
    const QString odd = platform::decodeFileName(QFile::encodeName(path(QStringLiteral("bad"))) + "\xff/f.txt");
    fill(form->ListView2, {{odd}});
    form->OpenfolderinExplorer->trigger();
    select({0, 1});
    form->OpenfolderinExplorer->trigger();
    ASSERT_TRUE(QTest::qWaitFor([this] { return !ui().urls.isEmpty(); }, 5000));
    EXPECT_EQ(ui().urls, QList<QUrl>{QUrl::fromLocalFile(tree.root() + QLatin1Char('/'))});

    ui().urls.clear();
    form->ListView2->clearSelection();
    select({1});
    form->OpenfolderinExplorer->trigger();
    ASSERT_TRUE(QTest::qWaitFor([this] { return !ui().urls.isEmpty(); }, 5000));
    EXPECT_EQ(ui().urls[0].toEncoded(), QUrl::fromLocalFile(tree.root()).toEncoded() + "/bad%FF/");
}

// The rows of a root typed relative to the working folder stay as typed; everything handed to the
// desktop names the file absolutely, or "docs" would read as a host and a restore find nothing.
TEST_F(ShellCommandsTest, RowsOfARelativeRootReachTheDesktopAsAbsolutePaths) {
    ScopedEnv home{"HOME", QFile::encodeName(path(QStringLiteral("home")))};
    ScopedEnv data{"XDG_DATA_HOME", QFile::encodeName(path(QStringLiteral("home/.local/share")))};
    registerFileManager();
    tree.makeFile("docs/a b.txt", "1234");
    const QString before = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(tree.root()));
    form->RootDir->setText(QStringLiteral("docs"));
    form->SingleFile->setChecked(true);
    form->FileType->setText(QStringLiteral(".txt"));
    QTest::mouseClick(form->Button1, Qt::LeftButton);
    ASSERT_EQ(form->ListView2->rowCount(), 1);
    EXPECT_EQ(form->ListView2->cellText(0, 0), QStringLiteral("docs/a b.txt"));

    const QString absolute = uri(QStringLiteral("docs/a b.txt"));
    form->show();
    const QPoint row = form->ListView2->visualRect(form->ListView2->model()->index(0, 0)).center();
    QTest::mouseClick(form->ListView2->viewport(), Qt::LeftButton, {}, row);
    QTest::mouseDClick(form->ListView2->viewport(), Qt::LeftButton, {}, row);
    ASSERT_EQ(ui().urls.size(), 1) << "the double click opened the file";
    EXPECT_EQ(QString::fromLatin1(ui().urls.first().toEncoded()), absolute);
    form->OpenfolderinExplorer->trigger();
    form->Properties1->trigger();
    ASSERT_TRUE(QTest::qWaitFor([this] { return fileManager.calls.size() == 2; }, 5000));
    EXPECT_EQ(fileManager.calls, (QStringList{QStringLiteral("ShowItems %1 ").arg(absolute),
                                              QStringLiteral("ShowItemProperties %1 ").arg(absolute)}));
    form->Copyfiles1->trigger();
    EXPECT_EQ(QGuiApplication::clipboard()->mimeData()->data(QStringLiteral("text/uri-list")),
              absolute.toLatin1() + "\r\n");
    form->DeleteFiles2->trigger();
    QFile info(path(QStringLiteral("home/.local/share/Trash/info/a b.txt.trashinfo")));
    ASSERT_TRUE(info.open(QIODevice::ReadOnly));
    EXPECT_TRUE(info.readAll().contains("\nPath=" + QFile::encodeName(path(QStringLiteral("docs/a%20b.txt")))));
    QDir::setCurrent(before);
    EXPECT_EQ(form->ListView2->rowCount(), 0);
    EXPECT_TRUE(errors.isEmpty()) << qPrintable(errors.join(QLatin1Char('\n')));
}

TEST_F(ShellCommandsTest, AFileManagerThatNeverAnswersCountsAsNone) {
    registerFileManager();
    fileManager.silent = true;
    bool failed = false;
    QObject context;
    FileManagerClient(QDBusConnection::sessionBus(), 300)
        .showItems({QByteArrayLiteral("file:///x")}, &context, [&failed] { failed = true; });
    EXPECT_TRUE(QTest::qWaitFor([&failed] { return failed; }, 5000));
    EXPECT_EQ(fileManager.calls.size(), 1);

    // No bus at all: the failure comes from the event loop too.
    failed = false;
    FileManagerClient(QDBusConnection(QStringLiteral("not connected")))
        .showItemProperties({QByteArrayLiteral("file:///x")}, &context, [&failed] { failed = true; });
    EXPECT_FALSE(failed);
    EXPECT_TRUE(QTest::qWaitFor([&failed] { return failed; }, 1000));
}

TEST(PropertiesDialog, ShowsEveryDetail) {
    FileDetails details;
    details.name = QStringLiteral("report.pdf");
    details.folder = QStringLiteral("/home/ann/");
    details.size = 1536;
    details.sizeText = QStringLiteral("1.5 KB");
    details.created = QStringLiteral("01.02.2020 10:11");
    details.modified = QStringLiteral("03.04.2021 12:13");
    details.attributes = QStringLiteral("RA");
    details.typeName = QStringLiteral("PDF document");
    PropertiesDialog dialog(details);
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("report.pdf Properties"));
    auto text = [&dialog](const char* name) { return dialog.findChild<QLabel*>(QLatin1String(name))->text(); };
    EXPECT_EQ(text("name"), QStringLiteral("report.pdf"));
    EXPECT_EQ(text("folder"), QStringLiteral("/home/ann/"));
    EXPECT_EQ(text("type"), QStringLiteral("PDF document"));
    EXPECT_EQ(text("size"), QStringLiteral("1.5 KB (%1 bytes)").arg(QLocale::system().toString(1536)));
    EXPECT_EQ(text("created"), QStringLiteral("01.02.2020 10:11"));
    EXPECT_EQ(text("modified"), QStringLiteral("03.04.2021 12:13"));
    EXPECT_EQ(text("attributes"), QStringLiteral("RA"));
}

} // namespace

#include "test_commands_shell.moc"
