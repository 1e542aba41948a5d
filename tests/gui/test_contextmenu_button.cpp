#include "TestForms.h"
#include "app/LedLamp.h"
#include "app/try1.h"
#include "platform/Registry.h"
#include "shell/ContextMenu.h"
#include "shell/DesktopMenuEntries.h"
#include "support/DefaultHandlers.h"
#include "support/EntryCommands.h"
#include "support/FileProbe.h"
#include "support/FileRights.h"
#include "support/TempTree.h"
#include "support/Utf8.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QPushButton>
#include <QScopeGuard>
#include <QTest>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

using platform::Registry;

namespace {

const QStringList verbKeys{u("software\\classes\\directory\\shell\\KVT"), u("software\\classes\\Drive\\shell\\KVT"),
                           u("software\\classes\\*\\shell\\KVT")};

class ContextMenuButtonTest : public ::testing::Test {
protected:
    std::unique_ptr<TForm1> makeForm(const QStringList& arguments = {}) {
        auto form = makeTestForm(tree.root(), &errors, arguments);
        form->Timer1->stop();
        form->show();
        return form;
    }
    QString programCommand(bool skin) const {
        return contextMenuCommand(QCoreApplication::applicationFilePath(), skin);
    }

    TempTree tree;
    ScopedEnv config{"XDG_CONFIG_HOME", QFile::encodeName(tree.root() + u("/config"))};
    ScopedEnv data{"XDG_DATA_HOME", QFile::encodeName(tree.root() + u("/data"))};
    QStringList errors;
};

TEST_F(ContextMenuButtonTest, EachPressTogglesTheKeysAndTheLampFollows) {
    auto form = makeForm({u("/s")});
    ASSERT_TRUE(form->skinbox->isChecked());
    EXPECT_FALSE(form->JvLED1->Status());

    QTest::mouseClick(form->TntButton1, Qt::LeftButton);
    EXPECT_TRUE(form->JvLED1->Status());
    for (const QString& key : verbKeys) {
        EXPECT_EQ(Registry::value(key, {}), u("Run Trovex"));
        EXPECT_EQ(Registry::value(key + u("\\command"), {}), programCommand(true)) << "registered with the skin on";
    }
    EXPECT_TRUE(programCommand(true).endsWith(u(" \"%1\" \"/s\"")));
    for (const QString& file : DesktopMenuEntries::paths())
        EXPECT_TRUE(QFileInfo::exists(file)) << qPrintable(file);

    // Switching the skin later leaves the stored command alone.
    form->skinbox->setChecked(false);
    EXPECT_EQ(Registry::value(verbKeys[0] + u("\\command"), {}), programCommand(true));

    QTest::mouseClick(form->TntButton1, Qt::LeftButton);
    EXPECT_FALSE(form->JvLED1->Status());
    for (const QString& key : verbKeys) {
        EXPECT_FALSE(Registry::keyExists(key));
        EXPECT_TRUE(Registry::keyExists(QString(key).remove(u("\\KVT"))));
    }
    for (const QString& file : DesktopMenuEntries::paths())
        EXPECT_FALSE(QFileInfo::exists(file)) << qPrintable(file);

    QTest::mouseClick(form->TntButton1, Qt::LeftButton);
    EXPECT_TRUE(form->JvLED1->Status());
    for (const QString& key : verbKeys)
        EXPECT_EQ(Registry::value(key + u("\\command"), {}), programCommand(false)) << "now with the skin off";
    EXPECT_TRUE(errors.isEmpty()) << qPrintable(errors.join(u("\n")));
}

TEST_F(ContextMenuButtonTest, LampAtStartShowsTheFolderVerbKeyWhateverTheOthers) {
    for (int state = 0; state < 8; ++state) {
        for (int k = 0; k < 3; ++k) {
            if (state & (1 << k))
                ASSERT_TRUE(Registry::createKey(verbKeys[k]));
            else
                ASSERT_TRUE(Registry::deleteKeyTree(verbKeys[k]));
        }
        EXPECT_EQ(makeForm()->JvLED1->Status(), bool(state & 1)) << "keys present: " << state;
    }
}

TEST_F(ContextMenuButtonTest, ValueThatCannotBeWrittenIsReportedAndTheLampStays) {
    auto form = makeForm();
    tree.makeDir("config/trovex/registry/HKEY_CURRENT_USER/software/classes/Drive/shell/KVT/command/@");
    QTest::mouseClick(form->TntButton1, Qt::LeftButton);
    EXPECT_EQ(errors, QStringList{u("Failed to set data for ''")});
    EXPECT_FALSE(form->JvLED1->Status()) << "the lamp keeps its state";
    EXPECT_TRUE(Registry::keyExists(verbKeys[0])) << "keys written before the failure stay";
}

TEST_F(ContextMenuButtonTest, FolderVerbKeyThatCannotBeMadeIsReportedAndNothingIsTouched) {
    // A folder of the user's, which a link in the store points at.
    tree.makeFile("mine/keep.txt", "precious");
    const struct {
        const char* what;
        std::function<void()> prepare;
    } cases[] = {
        {"the store's folder is a file", [&] { tree.makeFile("config/trovex", "not a folder"); }},
        {"the folder verb key is a link",
         [&] {
             tree.makeLink(tree.abs("mine"),
                           "config/trovex/registry/HKEY_CURRENT_USER/software/classes/directory/shell/KVT");
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        c.prepare();
        auto form = makeForm();
        errors.clear();
        QTest::mouseClick(form->TntButton1, Qt::LeftButton);
        EXPECT_EQ(errors, QStringList{u("Failed to set data for ''")});
        EXPECT_FALSE(form->JvLED1->Status()) << "the lamp keeps its state";
        for (const QString& file : DesktopMenuEntries::paths())
            EXPECT_FALSE(QFileInfo::exists(file)) << qPrintable(file);
        QFile::remove(tree.root() + u("/config/trovex"));
    }
    EXPECT_TRUE(
        QFileInfo(tree.root() + u("/config/trovex/registry/HKEY_CURRENT_USER/software/classes/directory/shell/KVT"))
            .isSymLink());
    EXPECT_EQ(QDir(tree.root() + u("/mine")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
              QStringList{u("keep.txt")});
}

// The file managers' entries follow the store, and a key that cannot be seen may well be there: a
// press that cannot read the file class's key leaves every entry as it was.
TEST_F(ContextMenuButtonTest, StoreThatCannotBeReadRemovesNothing) {
    auto form = makeForm();
    QTest::mouseClick(form->TntButton1, Qt::LeftButton);
    const auto entries = [] {
        QStringList texts;
        for (const QString& file : DesktopMenuEntries::paths())
            texts << QString::fromUtf8(contentOf(file));
        return texts;
    };
    const QStringList before = entries();
    tree.setMode("config/trovex/registry/HKEY_CURRENT_USER/software/classes/*", 0);
    WithoutFileRights noRights;

    QTest::mouseClick(form->TntButton1, Qt::LeftButton);
    const QString denied =
        u("Cannot open \"%1/config/trovex/registry/HKEY_CURRENT_USER/software/classes/*\": Permission denied")
            .arg(tree.root());
    EXPECT_EQ(errors, QStringList{denied + u("\nThe file managers' menus could not be updated. ") + denied});
    EXPECT_FALSE(form->JvLED1->Status()) << "the folder key went";
    EXPECT_EQ(entries(), before);
}

TEST_F(ContextMenuButtonTest, KeyThatCannotBeDeletedIsReportedAndTheLampShowsWhatStays) {
    // A link inside a verb key keeps it from being deleted, since nothing in the store is followed.
    tree.makeDir("mine");
    const struct {
        const char* classFolder;
        bool lamp;
        const char* nemoExtensions;
    } cases[] = {
        {"directory", true, "dir;"},
        {"Drive", false, "dir;"},
        {"*", false, "nodirs;"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.classFolder);
        for (const QString& key : verbKeys)
            ASSERT_TRUE(Registry::deleteKeyTree(key));
        auto form = makeForm();
        QTest::mouseClick(form->TntButton1, Qt::LeftButton);
        ASSERT_TRUE(form->JvLED1->Status());
        const std::string key =
            std::string("config/trovex/registry/HKEY_CURRENT_USER/software/classes/") + c.classFolder + "/shell/KVT";
        tree.makeLink(tree.abs("mine"), key + "/link");
        errors.clear();

        QTest::mouseClick(form->TntButton1, Qt::LeftButton);
        EXPECT_EQ(errors, QStringList{u("Cannot delete \"%1/link\": it is a symbolic link, which is left as it is")
                                          .arg(QString::fromStdString(tree.abs(key)))});
        EXPECT_EQ(form->JvLED1->Status(), c.lamp);
        EXPECT_EQ(Registry::keyExists(verbKeys[0]), c.lamp);
        for (const QString& file : DesktopMenuEntries::paths())
            EXPECT_TRUE(QFileInfo::exists(file)) << qPrintable(file);
        QFile nemo(DesktopMenuEntries::paths()[2]);
        ASSERT_TRUE(nemo.open(QIODevice::ReadOnly));
        EXPECT_TRUE(nemo.readAll().contains("\nExtensions=" + QByteArray(c.nemoExtensions) + "\n"));
        QFile::remove(QString::fromStdString(tree.abs(key + "/link")));
    }
}

// A press in a scratch home, read back by what reads its results: the base directory rules, Nemo
// and the desktop's choice of default applications.
TEST_F(ContextMenuButtonTest, APressWritesUnderTheRightHomeRunsNoShellAndTakesOverNoType) {
    ScopedEnv home{"HOME", QFile::encodeName(tree.root() + u("/home"))};
    ScopedEnv relative{"XDG_CONFIG_HOME", "relative/config"};
    const QString workingFolder = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(tree.root()));
    const auto restore = qScopeGuard([&workingFolder] { QDir::setCurrent(workingFolder); });
    const DefaultHandlers defaults(tree, tree.root() + u("/data/applications"));
    const QStringList types{u("inode/directory"), u("application/octet-stream")};
    QStringList before;
    for (const QString& type : types)
        before << defaults.of(type);

    auto form = makeForm();
    QTest::mouseClick(form->TntButton1, Qt::LeftButton);
    ASSERT_TRUE(form->JvLED1->Status());
    EXPECT_TRUE(errors.isEmpty()) << qPrintable(errors.join(u("\n")));

    // The base directory rules ignore a relative XDG_CONFIG_HOME as they do an unset one.
    EXPECT_TRUE(QFileInfo(tree.root() + u("/home/.config/trovex/registry/HKEY_CURRENT_USER/") +
                          QString(verbKeys[0]).replace(u("\\"), u("/")))
                    .isDir());
    EXPECT_FALSE(QFileInfo::exists(tree.root() + u("/relative")));

    // A folder whose name closes Nemo's quotes reaches the program whole, and releases that paste it
    // unescaped split it only into the program's arguments.
    QFile nemo(DesktopMenuEntries::paths()[2]);
    ASSERT_TRUE(nemo.open(QIODevice::ReadOnly));
    const QString exec = keyValue(QString::fromUtf8(nemo.readAll()), u("Exec"));
    const QString program = QCoreApplication::applicationFilePath();
    const QString trap = u("/srv/p.sh\" \"sh");
    EXPECT_EQ(nemoCommand(exec, trap), (QStringList{program, trap})) << qPrintable(exec);
    EXPECT_EQ(nemoCommand(exec, trap, false).value_or(QStringList()).value(0), program);

    // Indexed as desktops index them, the entries make Trovex the default of nothing.
    for (qsizetype i = 0; i < types.size(); ++i)
        EXPECT_EQ(defaults.of(types[i]), before[i]);
}

TEST_F(ContextMenuButtonTest, EntriesThatCannotBeWrittenAreReportedWithTheLampGreen) {
    tree.makeFile("data/applications", "a file where the folder would go");
    auto form = makeForm();
    QTest::mouseClick(form->TntButton1, Qt::LeftButton);
    EXPECT_TRUE(form->JvLED1->Status());
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors.first().startsWith(u("The file managers' menus could not be updated.")))
        << qPrintable(errors.first());
}

} // namespace
