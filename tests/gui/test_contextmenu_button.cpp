#include "TestForms.h"
#include "app/LedLamp.h"
#include "app/try1.h"
#include "platform/Registry.h"
#include "shell/ContextMenu.h"
#include "shell/DesktopMenuEntries.h"
#include "support/TempTree.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

using platform::Registry;

namespace {

QString u(const char* utf8) {
    return QString::fromUtf8(utf8);
}

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
