#include "platform/Registry.h"
#include "support/FileRights.h"
#include "support/TempTree.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using platform::Registry;

namespace {

const QString verbKey = QStringLiteral("software\\classes\\directory\\shell\\KVT");

class RegistryTest : public ::testing::Test {
protected:
    QString store() const { return tree.root() + QStringLiteral("/config/trovex/registry/HKEY_CURRENT_USER"); }
    QByteArray readFile(const QString& path) const {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
    }

    TempTree tree;
    ScopedEnv home{"HOME", QFile::encodeName(tree.root() + QStringLiteral("/home"))};
    ScopedEnv config{"XDG_CONFIG_HOME", QFile::encodeName(tree.root() + QStringLiteral("/config"))};
};

TEST_F(RegistryTest, RootFollowsXdgConfigHomeElseHomeConfig) {
    EXPECT_EQ(Registry::rootFolder(), store());
    // The base directory rules ignore a relative path as they do an unset one.
    for (const QByteArray& ignored : {QByteArray(), QByteArray("relative/config")}) {
        ScopedEnv unset("XDG_CONFIG_HOME", ignored);
        EXPECT_EQ(Registry::rootFolder(),
                  tree.root() + QStringLiteral("/home/.config/trovex/registry/HKEY_CURRENT_USER"))
            << ignored.constData();
    }
}

TEST_F(RegistryTest, MissingStoreHasNoKeys) {
    EXPECT_FALSE(Registry::keyExists(verbKey));
    EXPECT_FALSE(Registry::value(verbKey, QString()).has_value());
    EXPECT_TRUE(Registry::deleteKeyTree(verbKey)); // nothing to delete is no failure
}

TEST_F(RegistryTest, CreatedKeyIsAFolderPerLevelSpelledAsGiven) {
    QString error;
    ASSERT_TRUE(Registry::createKey(verbKey, &error)) << qPrintable(error);
    EXPECT_TRUE(QFileInfo(store() + QStringLiteral("/software/classes/directory/shell/KVT")).isDir());
    EXPECT_TRUE(Registry::keyExists(verbKey));
    EXPECT_TRUE(Registry::keyExists(QStringLiteral("software\\classes")));
    EXPECT_FALSE(Registry::keyExists(verbKey + QStringLiteral("\\command")));
}

TEST_F(RegistryTest, LevelsMatchWithoutRegardToCase) {
    ASSERT_TRUE(Registry::createKey(QStringLiteral("software\\classes\\Drive\\shell\\KVT")));
    EXPECT_TRUE(Registry::keyExists(QStringLiteral("SOFTWARE\\Classes\\drive\\Shell\\kvt")));

    // A second spelling reuses the folders that exist: no twin folders appear.
    ASSERT_TRUE(Registry::createKey(QStringLiteral("Software\\CLASSES\\DRIVE\\shell\\KVT\\command")));
    EXPECT_EQ(QDir(store()).entryList(QDir::Dirs | QDir::NoDotAndDotDot), QStringList{QStringLiteral("software")});
    EXPECT_EQ(QDir(store() + QStringLiteral("/software/classes")).entryList(QDir::Dirs | QDir::NoDotAndDotDot),
              QStringList{QStringLiteral("Drive")});
    EXPECT_TRUE(QFileInfo(store() + QStringLiteral("/software/classes/Drive/shell/KVT/command")).isDir());
}

TEST_F(RegistryTest, StarClassIsAnOrdinaryFolder) {
    const QString key = QStringLiteral("software\\classes\\*\\shell\\KVT");
    ASSERT_TRUE(Registry::createKey(key));
    EXPECT_TRUE(QFileInfo(store() + QStringLiteral("/software/classes/*/shell/KVT")).isDir());
    EXPECT_TRUE(Registry::keyExists(key));
    // "*" is a name here, not a pattern.
    ASSERT_TRUE(Registry::createKey(QStringLiteral("software\\classes\\directory")));
    EXPECT_FALSE(Registry::keyExists(QStringLiteral("software\\classes\\directory\\shell\\KVT")));
}

TEST_F(RegistryTest, ValuesAreUtf8FilesAndTheDefaultIsAt) {
    const QString key = verbKey + QStringLiteral("\\command");
    ASSERT_TRUE(Registry::createKey(key));
    const QString command = QStringLiteral("/opt/Trö vex/trovex \"%1\" \"/s\"");
    QString error;
    ASSERT_TRUE(Registry::setValue(key, QString(), command, &error)) << qPrintable(error);
    ASSERT_TRUE(Registry::setValue(key, QStringLiteral("Extra"), QStringLiteral("x"), &error)) << qPrintable(error);

    const QString folder = store() + QStringLiteral("/software/classes/directory/shell/KVT/command");
    EXPECT_EQ(readFile(folder + QStringLiteral("/@")), command.toUtf8());
    EXPECT_EQ(readFile(folder + QStringLiteral("/Extra")), QByteArray("x"));
    EXPECT_EQ(Registry::value(key.toUpper(), QString()), command);
    EXPECT_EQ(Registry::value(key, QStringLiteral("Extra")), QStringLiteral("x"));
    EXPECT_FALSE(Registry::value(key, QStringLiteral("Missing")).has_value());

    // Writing again replaces the text.
    ASSERT_TRUE(Registry::setValue(key, QString(), QStringLiteral("Run Trovex")));
    EXPECT_EQ(Registry::value(key, QString()), QStringLiteral("Run Trovex"));
}

TEST_F(RegistryTest, FailuresAreReportedWithThePath) {
    QString error;
    EXPECT_FALSE(Registry::setValue(verbKey, QString(), QStringLiteral("x"), &error));
    EXPECT_TRUE(error.contains(verbKey)) << qPrintable(error);

    // A file standing where a level should be is no key and blocks creating one.
    tree.makeFile("config/trovex/registry/HKEY_CURRENT_USER/software/classes/directory/shell", "not a key");
    EXPECT_FALSE(Registry::keyExists(QStringLiteral("software\\classes\\directory\\shell")));
    error.clear();
    EXPECT_FALSE(Registry::createKey(verbKey, &error));
    EXPECT_TRUE(error.contains(QStringLiteral("directory/shell"))) << qPrintable(error);
    EXPECT_FALSE(Registry::keyExists(verbKey));

    // A value that cannot be written: a folder occupies the value's file name.
    ASSERT_TRUE(Registry::createKey(QStringLiteral("software\\classes\\Drive\\shell\\KVT\\@")));
    error.clear();
    EXPECT_FALSE(Registry::setValue(QStringLiteral("software\\classes\\Drive\\shell\\KVT"), QString(),
                                    QStringLiteral("Run Trovex"), &error));
    EXPECT_FALSE(error.isEmpty());

    error.clear();
    EXPECT_FALSE(Registry::createKey(QStringLiteral("software\\..\\escape"), &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(QFileInfo::exists(store() + QStringLiteral("/escape")));
}

TEST_F(RegistryTest, DeleteKeyTreeRemovesSubKeysAndValuesButNotParents) {
    const QString command = verbKey + QStringLiteral("\\command");
    ASSERT_TRUE(Registry::createKey(command));
    ASSERT_TRUE(Registry::createKey(verbKey + QStringLiteral("\\other\\deeper")));
    ASSERT_TRUE(Registry::setValue(verbKey, QString(), QStringLiteral("Run Trovex")));
    ASSERT_TRUE(Registry::setValue(command, QString(), QStringLiteral("/usr/bin/trovex \"%1\"")));

    QString error;
    ASSERT_TRUE(Registry::deleteKeyTree(QStringLiteral("Software\\Classes\\Directory\\Shell\\kvt"), &error))
        << qPrintable(error);
    EXPECT_FALSE(Registry::keyExists(verbKey));
    EXPECT_FALSE(Registry::keyExists(command));
    EXPECT_TRUE(Registry::keyExists(QStringLiteral("software\\classes\\directory\\shell")));
    EXPECT_FALSE(QFileInfo::exists(store() + QStringLiteral("/software/classes/directory/shell/KVT")));
}

TEST_F(RegistryTest, NothingBelowTheStoreFollowsALink) {
    // A folder of the user's, which links in the store point at.
    tree.makeFile("mine/keep.txt", "precious");
    tree.makeFile("mine/sub/@", "value of mine");
    const std::string mine = tree.abs("mine");
    auto mineIsIntact = [&] {
        EXPECT_EQ(QDir(tree.root() + QStringLiteral("/mine")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                  (QStringList{QStringLiteral("keep.txt"), QStringLiteral("sub")}));
        EXPECT_EQ(readFile(tree.root() + QStringLiteral("/mine/keep.txt")), QByteArray("precious"));
        EXPECT_EQ(readFile(tree.root() + QStringLiteral("/mine/sub/@")), QByteArray("value of mine"));
        EXPECT_EQ(QDir(tree.root() + QStringLiteral("/mine/sub")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                  QStringList{QStringLiteral("@")});
    };
    const std::string keys = "config/trovex/registry/HKEY_CURRENT_USER/software/classes/";
    const QString link = QStringLiteral("it is a symbolic link, which is left as it is");

    // A link where a key stands: no key, refused by every function, the link and its target kept.
    tree.makeLink(mine, keys + "directory/shell/KVT");
    QString error;
    EXPECT_EQ(Registry::keyState(verbKey, &error), Registry::KeyState::Unknown);
    EXPECT_EQ(error, QStringLiteral("Cannot open \"%1/software/classes/directory/shell/KVT\": %2").arg(store(), link));
    EXPECT_FALSE(Registry::value(verbKey + QStringLiteral("\\sub"), QString()).has_value());
    EXPECT_FALSE(Registry::createKey(verbKey + QStringLiteral("\\command")));
    EXPECT_FALSE(Registry::setValue(verbKey, QString(), QStringLiteral("Run Trovex")));
    error.clear();
    EXPECT_FALSE(Registry::deleteKeyTree(QStringLiteral("Software\\Classes\\Directory\\Shell\\kvt"), &error));
    EXPECT_TRUE(error.contains(QStringLiteral("directory/shell/KVT\": ") + link)) << qPrintable(error);
    EXPECT_TRUE(QFileInfo(store() + QStringLiteral("/software/classes/directory/shell/KVT")).isSymLink());

    // A link at a parent level: nothing is made through it.
    tree.makeLink(mine, keys + "Drive");
    EXPECT_FALSE(Registry::createKey(QStringLiteral("software\\classes\\Drive\\shell\\KVT")));

    // A link where a value stands: not read, not written through, not replaced.
    const QString fileKey = QStringLiteral("software\\classes\\*\\shell\\KVT");
    ASSERT_TRUE(Registry::createKey(fileKey));
    tree.makeLink(mine + "/keep.txt", keys + "*/shell/KVT/@");
    EXPECT_FALSE(Registry::value(fileKey, QString()).has_value());
    error.clear();
    EXPECT_FALSE(Registry::setValue(fileKey, QString(), QStringLiteral("Run Trovex"), &error));
    EXPECT_EQ(error, QStringLiteral("Cannot write \"%1/software/classes/*/shell/KVT/@\": %2").arg(store(), link));
    EXPECT_TRUE(QFileInfo(store() + QStringLiteral("/software/classes/*/shell/KVT/@")).isSymLink());

    // A link inside a key that is deleted: the rest goes, the link and the keys holding it stay.
    ASSERT_TRUE(Registry::createKey(fileKey + QStringLiteral("\\command")));
    ASSERT_TRUE(Registry::setValue(fileKey + QStringLiteral("\\command"), QString(), QStringLiteral("x")));
    error.clear();
    EXPECT_FALSE(Registry::deleteKeyTree(fileKey, &error));
    EXPECT_EQ(error, QStringLiteral("Cannot delete \"%1/software/classes/*/shell/KVT/@\": %2").arg(store(), link));
    EXPECT_FALSE(Registry::keyExists(fileKey + QStringLiteral("\\command")));
    EXPECT_EQ(QDir(store() + QStringLiteral("/software/classes/*/shell/KVT"))
                  .entryList(QDir::System | QDir::AllEntries | QDir::NoDotAndDotDot),
              QStringList{QStringLiteral("@")});
    mineIsIntact();
}

TEST_F(RegistryTest, LinksAboveTheStoreAreFollowed) {
    tree.makeDir("elsewhere");
    tree.makeLink(tree.abs("elsewhere"), "config");
    ASSERT_TRUE(Registry::createKey(verbKey));
    ASSERT_TRUE(Registry::setValue(verbKey, QString(), QStringLiteral("Run Trovex")));
    EXPECT_EQ(
        readFile(tree.root() +
                 QStringLiteral("/elsewhere/trovex/registry/HKEY_CURRENT_USER/software/classes/directory/shell/KVT/@")),
        QByteArray("Run Trovex"));
    EXPECT_TRUE(Registry::deleteKeyTree(verbKey));
    EXPECT_FALSE(Registry::keyExists(verbKey));
}

TEST_F(RegistryTest, StoreThatCannotBeReadIsUnknownNotMissing) {
    ASSERT_TRUE(Registry::createKey(verbKey));
    const QByteArray classes = QFile::encodeName(store() + QStringLiteral("/software/classes"));
    ASSERT_EQ(::chmod(classes.constData(), 0), 0);
    {
        WithoutFileRights noRights;
        QString error;
        EXPECT_EQ(Registry::keyState(verbKey, &error), Registry::KeyState::Unknown);
        EXPECT_EQ(error, QStringLiteral("Cannot open \"%1/software/classes\": Permission denied").arg(store()));
        // A level spelled otherwise may hide there, so no key is made beside it.
        EXPECT_FALSE(Registry::keyExists(QStringLiteral("software\\classes\\other")));
        EXPECT_FALSE(Registry::createKey(QStringLiteral("software\\classes\\other")));
        EXPECT_FALSE(Registry::deleteKeyTree(verbKey));
    }
    ::chmod(classes.constData(), 0755);
}

TEST_F(RegistryTest, EmptyKeyPathIsNoKeyAndDeletesNothing) {
    ASSERT_TRUE(Registry::createKey(verbKey));
    EXPECT_FALSE(Registry::keyExists(QString()));
    EXPECT_FALSE(Registry::createKey(QStringLiteral("\\\\")));
    EXPECT_TRUE(Registry::deleteKeyTree(QString()));
    EXPECT_TRUE(Registry::keyExists(verbKey));
}

} // namespace
