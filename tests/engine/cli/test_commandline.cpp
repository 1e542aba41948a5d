#include "cli/CommandLine.h"
#include "support/TempTree.h"

#include <QDir>
#include <gtest/gtest.h>

namespace {

class CommandLineTest : public ::testing::Test {
protected:
    void SetUp() override {
        tree.makeDir("Data");
        tree.makeFile("Data/report.txt", "x");
        tree.makeDir("with space/and:colon");
        tree.makeLink("Data", "link-to-data");
    }
    QString path(const char* rel) const { return tree.root() + QLatin1Char('/') + QString::fromUtf8(rel); }

    TempTree tree;
};

TEST_F(CommandLineTest, NoArgumentsLeaveRootEmptyAndSkinOff) {
    const CommandLine cl = parseCommandLine({});
    EXPECT_FALSE(cl.hasRoot);
    EXPECT_TRUE(cl.rootDir.isEmpty());
    EXPECT_FALSE(cl.skin);
}

TEST_F(CommandLineTest, ExistingFolderIsShownUnchanged) {
    EXPECT_EQ(parseCommandLine({path("Data")}).rootDir, path("Data"));
    EXPECT_EQ(parseCommandLine({path("Data/")}).rootDir, path("Data/"));
    EXPECT_EQ(parseCommandLine({path("with space/and:colon")}).rootDir, path("with space/and:colon"));
    EXPECT_EQ(parseCommandLine({QStringLiteral("/")}).rootDir, QStringLiteral("/"));
    // A link to a folder names a folder.
    EXPECT_EQ(parseCommandLine({path("link-to-data")}).rootDir, path("link-to-data"));
    EXPECT_TRUE(parseCommandLine({path("Data")}).hasRoot);
}

TEST_F(CommandLineTest, RelativeFolderIsShownUnchanged) {
    const QString old = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(tree.root()));
    const CommandLine cl = parseCommandLine({QStringLiteral("Data")});
    QDir::setCurrent(old);
    EXPECT_EQ(cl.rootDir, QStringLiteral("Data"));
}

TEST_F(CommandLineTest, FileOrMissingPathGivesItsFolderPart) {
    EXPECT_EQ(parseCommandLine({path("Data/report.txt")}).rootDir, path("Data/"));
    EXPECT_EQ(parseCommandLine({path("Data/missing.txt")}).rootDir, path("Data/"));
    // The folder part is taken without checking that it exists.
    EXPECT_EQ(parseCommandLine({path("nowhere/deeper/x.pdf")}).rootDir, path("nowhere/deeper/"));
}

TEST_F(CommandLineTest, NameWithoutSlashThatIsNoFolderGivesEmptyRoot) {
    for (const QString& arg : {QStringLiteral("abc"), QStringLiteral("C:report.txt"), QStringLiteral("C:")}) {
        const CommandLine cl = parseCommandLine({arg});
        EXPECT_TRUE(cl.hasRoot) << qPrintable(arg);
        EXPECT_TRUE(cl.rootDir.isEmpty()) << qPrintable(arg);
    }
}

TEST_F(CommandLineTest, SkinSwitchCountsOnlyAsExactLastArgument) {
    const CommandLine folderThenSwitch = parseCommandLine({path("Data"), QStringLiteral("/s")});
    EXPECT_EQ(folderThenSwitch.rootDir, path("Data"));
    EXPECT_TRUE(folderThenSwitch.skin);

    const CommandLine switchThenFolder = parseCommandLine({QStringLiteral("/s"), path("Data")});
    EXPECT_FALSE(switchThenFolder.skin);
    EXPECT_FALSE(switchThenFolder.hasRoot);
    EXPECT_TRUE(switchThenFolder.rootDir.isEmpty());

    for (const QString& notSwitch : {QStringLiteral("/S"), QStringLiteral("-s"), QStringLiteral("/s "),
                                     QStringLiteral("\"/s\""), QStringLiteral("//s")})
        EXPECT_FALSE(parseCommandLine({path("Data"), notSwitch}).skin) << qPrintable(notSwitch);
}

TEST_F(CommandLineTest, SwitchAloneTurnsSkinOnAndSetsNoRoot) {
    const CommandLine cl = parseCommandLine({QStringLiteral("/s")});
    EXPECT_TRUE(cl.skin);
    EXPECT_FALSE(cl.hasRoot);
    EXPECT_TRUE(cl.rootDir.isEmpty());

    const CommandLine twice = parseCommandLine({QStringLiteral("/s"), path("Data"), QStringLiteral("/s")});
    EXPECT_TRUE(twice.skin);
    EXPECT_FALSE(twice.hasRoot);
}

TEST_F(CommandLineTest, EmptyArgumentsYieldNothing) {
    EXPECT_FALSE(parseCommandLine({QString()}).hasRoot);

    const CommandLine leading = parseCommandLine({QString(), path("Data/report.txt")});
    EXPECT_EQ(leading.rootDir, path("Data/"));

    const CommandLine trailing = parseCommandLine({path("Data"), QStringLiteral("/s"), QString()});
    EXPECT_TRUE(trailing.skin);
    EXPECT_EQ(trailing.rootDir, path("Data"));
}

TEST_F(CommandLineTest, VersionAndHelpAreOptionsOnlyAloneAndWhenNoSuchPathExists) {
    const QString old = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(tree.root()));
    const struct {
        QStringList arguments;
        InfoRequest expected;
    } cases[] = {
        {{QStringLiteral("--version")}, InfoRequest::Version},
        {{QStringLiteral("--help")}, InfoRequest::Help},
        {{}, InfoRequest::None},
        {{QStringLiteral("--version"), QStringLiteral("/s")}, InfoRequest::None},
        {{QStringLiteral("/s"), QStringLiteral("--help")}, InfoRequest::None},
        {{QStringLiteral("-h")}, InfoRequest::None},
        {{QStringLiteral("--VERSION")}, InfoRequest::None},
    };
    for (const auto& c : cases)
        EXPECT_EQ(infoRequest(c.arguments), c.expected) << qPrintable(c.arguments.join(u' '));

    // A file or folder of that name is what the user clicked or typed.
    tree.makeFile("--help");
    tree.makeDir("--version");
    EXPECT_EQ(infoRequest({QStringLiteral("--help")}), InfoRequest::None);
    EXPECT_EQ(infoRequest({QStringLiteral("--version")}), InfoRequest::None);
    QDir::setCurrent(old);

    EXPECT_TRUE(versionText(QStringLiteral("trovex")).startsWith(QStringLiteral("trovex ")));
    EXPECT_TRUE(versionText(QStringLiteral("trovex")).endsWith(u'\n'));
    EXPECT_TRUE(helpText().startsWith(QStringLiteral("Usage: trovex ")));
}

} // namespace
