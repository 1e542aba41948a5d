#include "platform/Registry.h"
#include "shell/ContextMenu.h"
#include "shell/DesktopMenuEntries.h"
#include "shell/ThunarActions.h"
#include "support/DefaultHandlers.h"
#include "support/EntryCommands.h"
#include "support/FileRights.h"
#include "support/TempTree.h"
#include "support/Utf8.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QXmlStreamReader>
#include <gtest/gtest.h>
#include <optional>
#include <stdexcept>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

using platform::Registry;

namespace {

const QStringList verbKeys{u("software\\classes\\directory\\shell\\KVT"), u("software\\classes\\Drive\\shell\\KVT"),
                           u("software\\classes\\*\\shell\\KVT")};

// An Exec value read back by the desktop-entry rules: string escapes, then arguments separated by
// blanks, double quotes with "\"", "`", "$" and "\\" escaped inside, no reserved character outside
// quotes, then the field codes (%f stands alone and becomes the clicked path, %% is "%").
// Nothing when the value breaks a rule.
std::optional<QStringList> parseExec(const QString& value, const QString& clicked) {
    const std::optional<QString> line = unescapeValue(value);
    if (!line)
        return std::nullopt;
    QStringList words;
    QList<bool> quotedWords;
    QString word;
    bool inWord = false, quoted = false, inQuotes = false;
    for (qsizetype i = 0; i < line->size(); ++i) {
        const QChar c = line->at(i);
        if (inQuotes) {
            if (c == QLatin1Char('"')) {
                inQuotes = false;
            } else if (c == QLatin1Char('\\')) {
                if (++i == line->size() || !QStringLiteral("\"`$\\").contains(line->at(i)))
                    return std::nullopt;
                word += line->at(i);
            } else {
                word += c;
            }
        } else if (c == QLatin1Char(' ')) {
            if (inWord) {
                words << word;
                quotedWords << quoted;
            }
            word.clear();
            inWord = quoted = false;
        } else if (c == QLatin1Char('"')) {
            inWord = quoted = inQuotes = true;
        } else if (QStringLiteral("\t\n\"'\\><~|&;$*?#()`").contains(c)) {
            return std::nullopt;
        } else {
            inWord = true;
            word += c;
        }
    }
    if (inQuotes)
        return std::nullopt;
    if (inWord) {
        words << word;
        quotedWords << quoted;
    }
    QStringList argv;
    for (qsizetype w = 0; w < words.size(); ++w) {
        if (words[w] == u("%f") && !quotedWords[w]) {
            argv << clicked;
            continue;
        }
        QString arg;
        for (qsizetype i = 0; i < words[w].size(); ++i) {
            if (words[w][i] != QLatin1Char('%')) {
                arg += words[w][i];
            } else if (i + 1 < words[w].size() && words[w][i + 1] == QLatin1Char('%')) {
                arg += QLatin1Char('%');
                ++i;
            } else {
                return std::nullopt; // a field code inside a word or a quoted one
            }
        }
        argv << arg;
    }
    return argv;
}

// The quoting of GLib's g_shell_quote, which Thunar and PCManFM put around the path for %f.
QString glibShellQuote(const QString& text) {
    QString out = u("'");
    for (const QChar c : text)
        out += c == QLatin1Char('\'') ? u("'\\''") : QString(c);
    return out + u("'");
}

// A command line as Thunar and PCManFM expand it: %f becomes the quoted path and %% a "%". Nothing
// for any other code, since each of theirs stands for something, or for a "%" at the end.
std::optional<QString> expandPercentCodes(const QString& line, const QString& clicked) {
    QString out;
    for (qsizetype i = 0; i < line.size(); ++i) {
        if (line[i] != QLatin1Char('%')) {
            out += line[i];
        } else if (line.mid(i, 2) == u("%f")) {
            out += glibShellQuote(clicked);
            ++i;
        } else if (line.mid(i, 2) == u("%%")) {
            out += QLatin1Char('%');
            ++i;
        } else {
            return std::nullopt;
        }
    }
    return out;
}

// A Thunar action as an XML reader gives its texts, with the names of its empty type elements.
struct ThunarAction {
    QString name;
    QString command;
    QStringList types;
};

// The action of a uca.xml with the given unique-id; nothing when there is none or the file is no
// list of actions. Like Thunar, it skips the XML declaration, which older releases wrote amiss.
std::optional<ThunarAction> thunarAction(const QString& path, const QString& id) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    QByteArray bytes = file.readAll();
    if (bytes.startsWith("<?xml "))
        bytes.remove(0, bytes.indexOf("?>") + 2);
    QXmlStreamReader reader(bytes);
    if (!reader.readNextStartElement() || reader.name() != u("actions"))
        return std::nullopt;
    while (reader.readNextStartElement()) {
        ThunarAction action;
        QString actionId;
        while (reader.readNextStartElement()) {
            const QString element = reader.name().toString();
            const QString text = reader.readElementText();
            if (element == u("name"))
                action.name = text;
            else if (element == u("unique-id"))
                actionId = text;
            else if (element == u("command"))
                action.command = text;
            else if (element == u("directories") || element.endsWith(u("-files")))
                action.types << element;
        }
        if (actionId == id)
            return action;
    }
    return std::nullopt;
}

const QStringList allThunarTypes{u("directories"), u("audio-files"), u("image-files"),
                                 u("other-files"), u("text-files"),  u("video-files")};

// The value of key in the group of a desktop-entry file, as written.
QString groupValue(const QString& text, const QString& group, const QString& key) {
    QString current;
    for (const QString& line : text.split(QLatin1Char('\n'))) {
        if (line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']')))
            current = line.mid(1, line.size() - 2);
        else if (current == group && line.startsWith(key + QLatin1Char('=')))
            return line.mid(key.size() + 1);
    }
    return {};
}

QByteArray readBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<not read>");
}

QString readText(const QString& path) {
    return QString::fromUtf8(readBytes(path));
}

class ContextMenuTest : public ::testing::Test {
protected:
    void SetUp() override {
        // A program whose path holds every character that needs care; it records its arguments.
        const std::string rel = "my \"odd\" 'dir' $HOME %f %% \\x `y` ; #z & <a>/trovex";
        program = tree.root() + QLatin1Char('/') + QString::fromStdString(rel);
        tree.makeFile(rel, recorder);
        tree.setMode(rel, 0755);
        // The same without "%", which Nemo is never given; for the tests that need every entry.
        const std::string plainRel = "plain \"odd\" 'dir' $HOME \\x `y` ; #z & <a>/trovex";
        plainProgram = tree.root() + QLatin1Char('/') + QString::fromStdString(plainRel);
        tree.makeFile(plainRel, recorder);
        tree.setMode(plainRel, 0755);
    }
    static constexpr const char* recorder =
        "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\0' \"$a\"; done > \"$TROVEX_ARGS_OUT\"\n";

    // Paths in the key store, absolute or relative to the tree for making files there.
    QString store(const QString& rel) const { return tree.root() + QLatin1Char('/') + storeRel(rel); }
    static std::string storeBytes(const char* rel) {
        return QFile::encodeName(storeRel(QString::fromUtf8(rel))).toStdString();
    }
    static QString storeRel(const QString& rel) { return u("config/trovex/registry/HKEY_CURRENT_USER/") + rel; }
    QString data(const QString& rel) const { return tree.root() + u("/data/") + rel; }
    QString config(const QString& rel) const { return tree.root() + u("/config/") + rel; }

    // Runs argv (directly, as a launcher does) and returns the arguments the program received.
    QStringList run(const QStringList& argv, const QString& workingDirectory = {}) {
        const QString out = tree.root() + u("/args.out");
        QFile::remove(out);
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u("TROVEX_ARGS_OUT"), out);
        process.setProcessEnvironment(env);
        if (!workingDirectory.isEmpty())
            process.setWorkingDirectory(workingDirectory);
        process.start(argv.first(), argv.mid(1));
        EXPECT_TRUE(process.waitForFinished(10000));
        EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().constData();
        QFile f(out);
        if (!f.open(QIODevice::ReadOnly))
            return {u("<program not run>")};
        QStringList args;
        for (const QByteArray& a : f.readAll().split('\0'))
            args << QString::fromUtf8(a);
        args.removeLast(); // after the last terminator
        return args;
    }

    TempTree tree;
    ScopedEnv configHome{"XDG_CONFIG_HOME", QFile::encodeName(tree.root() + u("/config"))};
    ScopedEnv dataHome{"XDG_DATA_HOME", QFile::encodeName(tree.root() + u("/data"))};
    // Thunar's system-wide actions, none unless a test makes them.
    ScopedEnv configDirs{"XDG_CONFIG_DIRS", QFile::encodeName(tree.root() + u("/sysconfig"))};
    QString program;
    QString plainProgram;
};

TEST(ContextMenuCommandTest, ProgramPathThenQuotedPlaceholderThenSwitch) {
    EXPECT_EQ(contextMenuCommand(u("/usr/bin/trovex"), false), u("/usr/bin/trovex \"%1\""));
    EXPECT_EQ(contextMenuCommand(u("/usr/bin/trovex"), true), u("/usr/bin/trovex \"%1\" \"/s\""));
    // A blank would split the path, so it is quoted then.
    EXPECT_EQ(contextMenuCommand(u("/opt/My Apps/trovex"), false), u("\"/opt/My Apps/trovex\" \"%1\""));
    EXPECT_EQ(contextMenuCommand(u("/opt/tab\there/trovex"), true), u("\"/opt/tab\there/trovex\" \"%1\" \"/s\""));
    EXPECT_EQ(contextMenuArguments(false), QStringList{u("%1")});
    EXPECT_EQ(contextMenuArguments(true), (QStringList{u("%1"), u("/s")}));
    EXPECT_EQ(contextMenuVerbKeys(), verbKeys);
    EXPECT_EQ(contextMenuFolderKey, verbKeys.first());
}

TEST_F(ContextMenuTest, PressesAlternateBetweenSixKeysAndNone) {
    const QString blanks = u("/opt/My Apps/trovex");
    const QString command = u("\"/opt/My Apps/trovex\" \"%1\" \"/s\"");

    EXPECT_TRUE(ToggleContextMenu(true, blanks));
    for (const QString& key : verbKeys) {
        EXPECT_EQ(Registry::value(key, {}), contextMenuText) << qPrintable(key);
        EXPECT_EQ(Registry::value(key + u("\\command"), {}), command) << qPrintable(key);
    }
    EXPECT_EQ(QDir(store(u("software/classes"))).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name),
              (QStringList{u("*"), u("Drive"), u("directory")}));
    EXPECT_EQ(readText(store(u("software/classes/directory/shell/KVT/command/@"))), command);

    EXPECT_FALSE(ToggleContextMenu(true, blanks));
    for (const QString& key : verbKeys) {
        EXPECT_FALSE(Registry::keyExists(key)) << qPrintable(key);
        // The parents stay, although the first press made them.
        EXPECT_TRUE(Registry::keyExists(QString(key).remove(u("\\KVT")))) << qPrintable(key);
    }

    EXPECT_TRUE(ToggleContextMenu(false, u("/usr/bin/trovex")));
    for (const QString& key : verbKeys) {
        EXPECT_EQ(Registry::value(key, {}), contextMenuText);
        EXPECT_EQ(Registry::value(key + u("\\command"), {}), u("/usr/bin/trovex \"%1\""));
    }
}

TEST_F(ContextMenuTest, TheFolderKeyAloneDecides) {
    // Only the folder verb: it goes, the missing ones are skipped.
    ASSERT_TRUE(Registry::createKey(verbKeys[0] + u("\\command")));
    EXPECT_FALSE(ToggleContextMenu(false, program));
    for (const QString& key : verbKeys)
        EXPECT_FALSE(Registry::keyExists(key));

    // Drive and file verbs without the folder verb count as not registered: all six are written.
    ASSERT_TRUE(Registry::createKey(verbKeys[1]));
    ASSERT_TRUE(Registry::createKey(verbKeys[2]));
    EXPECT_TRUE(ToggleContextMenu(false, program));
    for (const QString& key : verbKeys)
        EXPECT_TRUE(Registry::value(key + u("\\command"), {}).has_value());
}

TEST_F(ContextMenuTest, KeyThatCannotBeMadeIsSkippedValueThatCannotBeWrittenStops) {
    // A file where the drive class's folder would go: its two keys cannot be made.
    tree.makeFile(storeBytes("software/classes/Drive"), "in the way");
    EXPECT_TRUE(ToggleContextMenu(false, program));
    EXPECT_TRUE(Registry::keyExists(verbKeys[0]));
    EXPECT_FALSE(Registry::keyExists(verbKeys[1]));
    EXPECT_TRUE(Registry::value(verbKeys[2] + u("\\command"), {}).has_value());
    EXPECT_FALSE(ToggleContextMenu(false, program));
    QFile::remove(store(u("software/classes/Drive")));

    // A folder where the drive command's value file would go: that value cannot be written.
    tree.makeDir(storeBytes("software/classes/Drive/shell/KVT/command/@"));
    try {
        ToggleContextMenu(false, program);
        ADD_FAILURE() << "no error";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "Failed to set data for ''");
    }
    // What was written before stays; nothing after it was written, nor were the file managers told.
    EXPECT_EQ(Registry::value(verbKeys[0], {}), contextMenuText);
    EXPECT_TRUE(Registry::value(verbKeys[0] + u("\\command"), {}).has_value());
    EXPECT_EQ(Registry::value(verbKeys[1], {}), contextMenuText);
    EXPECT_FALSE(Registry::keyExists(verbKeys[2]));
    for (const QString& file : DesktopMenuEntries::paths() + QStringList{ThunarActions::path()})
        EXPECT_FALSE(QFileInfo::exists(file)) << qPrintable(file);
}

TEST_F(ContextMenuTest, FileManagerEntriesStartTheProgramOnTheClickedPath) {
    const QString clicked = u("/srv/a \"b\" 'c' $d %e %% \\f `g` ; h/Ünï €");
    QString report;
    ASSERT_TRUE(ToggleContextMenu(true, program, &report));

    const QStringList files = DesktopMenuEntries::paths();
    EXPECT_EQ(files,
              (QStringList{data(u("applications/trovex-run.desktop")), data(u("kio/servicemenus/trovex-run.desktop")),
                           data(u("nemo/actions/trovex-run.nemo_action")), data(u("nautilus/scripts/Run Trovex")),
                           data(u("file-manager/actions/trovex-run.desktop"))}));
    const QStringList expected{clicked, u("/s")};

    // The desktop entry and the service menu: the exact Exec line, and what it runs.
    const QString exec =
        u("Exec=\"") + tree.root() +
        u("/my \\\\\"odd\\\\\" 'dir' \\\\$HOME %%f %%%% \\\\\\\\x \\\\`y\\\\` ; #z & <a>/trovex\" %f /s");
    for (const QString& file : files.mid(0, 2)) {
        SCOPED_TRACE(qPrintable(file));
        const QString text = readText(file);
        EXPECT_TRUE(text.contains(u("\n") + exec + u("\n"))) << qPrintable(text);
        EXPECT_EQ(keyValue(text, u("Name")), u("Run Trovex"));
        const std::optional<QStringList> argv = parseExec(keyValue(text, u("Exec")), clicked);
        ASSERT_TRUE(argv.has_value());
        EXPECT_EQ(*argv, (QStringList{program} + expected));
        EXPECT_EQ(run(*argv), expected);
    }
    EXPECT_FALSE(readText(files[0]).contains(u("MimeType"))) << "a desktop entry with types may become their default";
    EXPECT_EQ(keyValue(readText(files[0]), u("NoDisplay")), u("true"));
    EXPECT_EQ(keyValue(readText(files[1]), u("MimeType")), u("inode/directory;all/allfiles;"));
    EXPECT_TRUE(QFileInfo(files[1]).isExecutable()) << "KIO loads only executable service menus";

    // Nemo is not given a program path with "%" (NemoActionStartsTheProgramWithoutAShell has one).
    EXPECT_FALSE(QFileInfo::exists(files[2]));
    EXPECT_EQ(report, u("The file managers' menus could not be updated. Cannot write \"%1\": Nemo cannot be given a "
                        "program path that holds \"%\"")
                          .arg(files[2]));

    // The Nautilus script, given a name relative to the folder shown or a whole path.
    EXPECT_TRUE(QFileInfo(files[3]).isExecutable());
    tree.makeDir("shown/sub dir");
    EXPECT_EQ(run({files[3], u("sub dir")}, tree.root() + u("/shown")),
              (QStringList{tree.root() + u("/shown/sub dir"), u("/s")}));
    EXPECT_EQ(run({files[3], clicked}), expected);

    // Registered without the skin, no "/s".
    ASSERT_FALSE(ToggleContextMenu(false, program));
    ASSERT_TRUE(ToggleContextMenu(false, program));
    EXPECT_EQ(parseExec(keyValue(readText(files[0]), u("Exec")), clicked), (QStringList{program, clicked}));
    EXPECT_EQ(run({files[3], clicked}), QStringList{clicked});
}

TEST_F(ContextMenuTest, NemoActionStartsTheProgramWithoutAShell) {
    const QString clicked = u("/srv/a \"b\" 'c' $d %e %% \\f `g` ; h/Ünï €");
    // A folder whose name closes Nemo's quotes, beside a script named like its first part.
    const QString trap = tree.root() + u("/in/p.sh\" \"sh");
    tree.makeDir("in/p.sh\" \"sh");
    tree.makeFile("in/p.sh", "#!/bin/sh\n: > \"$TROVEX_ARGS_OUT.script\"\n");
    ASSERT_TRUE(ToggleContextMenu(true, plainProgram));

    const QString nemo = readText(data(u("nemo/actions/trovex-run.nemo_action")));
    EXPECT_EQ(keyValue(nemo, u("Extensions")), u("any;"));
    EXPECT_EQ(keyValue(nemo, u("Quote")), u("double"));
    const QString exec = keyValue(nemo, u("Exec"));
    for (const QString& item : {clicked, trap}) {
        const std::optional<QStringList> argv = nemoCommand(exec, item);
        ASSERT_TRUE(argv.has_value()) << qPrintable(nemo);
        EXPECT_EQ(argv->first(), plainProgram);
        EXPECT_EQ(run(*argv), (QStringList{item, u("/s")}));
    }

    // Releases that paste the path unescaped split it, but only into the program's arguments.
    const std::optional<QStringList> argv = nemoCommand(exec, trap, false);
    ASSERT_TRUE(argv.has_value());
    EXPECT_EQ(argv->first(), plainProgram);
    run(*argv);
    EXPECT_FALSE(QFileInfo::exists(tree.root() + u("/args.out.script"))) << "the script next to the folder ran";
}

TEST_F(ContextMenuTest, ThunarAndPcmanfmActionsStartTheProgramOnTheClickedFolder) {
    tree.makeDir("dir with spaces 'sq' \"dq\" $x `y` %z");
    const QString clicked = tree.root() + u("/dir with spaces 'sq' \"dq\" $x `y` %z");
    // Thunar puts the quoted path in place of %f and has /bin/sh run the line.
    const auto thunar = [&]() -> QStringList {
        const std::optional<ThunarAction> action = thunarAction(ThunarActions::path(), u("trovex-run"));
        if (!action)
            return {u("<no action>")};
        EXPECT_EQ(action->name, u("Run Trovex"));
        EXPECT_EQ(action->types, allThunarTypes);
        const std::optional<QString> line = expandPercentCodes(action->command, clicked);
        return line ? run({u("/bin/sh"), u("-c"), *line}) : QStringList{u("<not expanded>")};
    };
    // PCManFM and PCManFM-Qt do the same, then split the line as a shell would and start its first word.
    const auto pcmanfm = [&]() -> QStringList {
        const QString text = readText(data(u("file-manager/actions/trovex-run.desktop")));
        EXPECT_EQ(groupValue(text, u("Desktop Entry"), u("Type")), u("Action"));
        EXPECT_EQ(groupValue(text, u("Desktop Entry"), u("Profiles")), u("run;"));
        const QString profile = u("X-Action-Profile run");
        EXPECT_EQ(groupValue(text, profile, u("MimeTypes")), u("inode/directory;all/allfiles;"));
        const std::optional<QString> exec = unescapeValue(groupValue(text, profile, u("Exec")));
        const std::optional<QString> line = exec ? expandPercentCodes(*exec, clicked) : std::nullopt;
        const std::optional<QStringList> argv = line ? parseShellWords(*line) : std::nullopt;
        if (!argv)
            return {u("<not parsed>")};
        EXPECT_EQ(argv->first(), program);
        return run(*argv);
    };

    ASSERT_TRUE(ToggleContextMenu(true, program));
    EXPECT_EQ(thunar(), (QStringList{clicked, u("/s")}));
    EXPECT_EQ(pcmanfm(), (QStringList{clicked, u("/s")}));

    // Registered without the skin, no "/s".
    ASSERT_FALSE(ToggleContextMenu(false, program));
    ASSERT_TRUE(ToggleContextMenu(false, program));
    EXPECT_EQ(thunar(), QStringList{clicked});
    EXPECT_EQ(pcmanfm(), QStringList{clicked});
}

TEST_F(ContextMenuTest, ThunarKeepsEveryOtherActionByteForByte) {
    // A stale action of Trovex's among the user's, another at the end, and one of the user's
    // merely named like it; under the XML declaration of older Thunar releases (encoding before
    // version), and under a byte order mark as some editors write it.
    const QByteArray heads[] = {"<?xml encoding=\"UTF-8\" version=\"1.0\"?>\n<!-- mine -->\n<actions>\n",
                                "\xef\xbb\xbf<?xml version=\"1.0\"?>\n<actions>\n"};
    const QByteArray terminal = "<action>\n\t<icon>utilities-terminal</icon>\n\t<name>Open Terminal Here</name>\n"
                                "\t<name xml:lang=\"de\">Terminal hier \xc3\xb6"
                                "ffnen</name>\n\t<unique-id>1447790475093480-14</unique-id>\n"
                                "\t<command>exo-open --working-directory %f --launch TerminalEmulator</command>\n"
                                "\t<description>Tom &amp; Jerry's &lt;terminal&gt; \xf0\x9f\x98\x80</description>\n"
                                "\t<patterns>*</patterns>\n\t<startup-notify/>\n\t<directories/>\n</action>\n";
    const QByteArray stale = "<action>\n\t<name>Run Trovex</name>\n\t<unique-id>trovex-run</unique-id>\n"
                             "\t<command>/old/trovex %f</command>\n\t<directories/>\n</action>\n";
    const QByteArray lookalike = "  <action><name>Run Trovex</name><unique-id>trovex-run-2</unique-id>"
                                 "<command>mine %f</command><directories/></action>\n";
    const QByteArray staleCopy = "\t<action><unique-id>trovex-run</unique-id></action>  \n";
    const QByteArray tail = "</actions>\n";
    const QString path = ThunarActions::path();
    for (const QByteArray& head : heads) {
        SCOPED_TRACE(head.constData());
        tree.makeFile("config/Thunar/uca.xml", head + terminal + stale + lookalike + staleCopy + tail);

        // The first of Trovex's actions is replaced where it stands, the other goes with its line.
        QString report;
        ASSERT_TRUE(ToggleContextMenu(false, plainProgram, &report));
        EXPECT_TRUE(report.isEmpty()) << qPrintable(report);
        const QByteArray registered = readBytes(path);
        EXPECT_TRUE(registered.startsWith(head + terminal + "<action>\n")) << registered.constData();
        EXPECT_TRUE(registered.endsWith("</action>\n" + lookalike + tail)) << registered.constData();
        EXPECT_EQ(registered.count("<unique-id>trovex-run</unique-id>"), 1);
        EXPECT_TRUE(thunarAction(path, u("trovex-run")).value().command.contains(u("#z & <a>/trovex")));
        EXPECT_EQ(thunarAction(path, u("trovex-run-2")).value().command, u("mine %f"));

        ASSERT_FALSE(ToggleContextMenu(false, plainProgram));
        EXPECT_EQ(readBytes(path), head + terminal + lookalike + tail);

        // Without an action of Trovex's in it, the file comes back byte for byte.
        ASSERT_TRUE(ToggleContextMenu(false, plainProgram));
        ASSERT_FALSE(ToggleContextMenu(false, plainProgram));
        EXPECT_EQ(readBytes(path), head + terminal + lookalike + tail);
    }
}

TEST_F(ContextMenuTest, ThunarFileMadeForTheActionGoesWithIt) {
    // Thunar shows the system's actions while the user has no file of their own, so a new file
    // starts from them; as older releases wrote them, on one line.
    const QByteArray system = "<?xml encoding=\"UTF-8\" version=\"1.0\"?>\n<actions><action><icon>utilities-terminal"
                              "</icon><name>Open Terminal Here</name><unique-id>1-1</unique-id><command>exo-open %f"
                              "</command><patterns>*</patterns><directories/></action></actions>\n";
    const struct {
        const char* name;
        QByteArray system;  // in the first folder of XDG_CONFIG_DIRS that has one
        QByteArray created; // how the new file begins
    } rows[] = {
        {"no system file", {}, "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<actions>\n<action>\n"},
        {"system file", system, system.left(system.indexOf("</actions>")) + "<action>\n"},
        {"system file that does not parse", "<actions>", "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<actions>\n"},
    };
    ScopedEnv dirs("XDG_CONFIG_DIRS", QFile::encodeName(tree.root() + u("/none:") + tree.root() + u("/sysconfig")));
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        QFile::remove(tree.root() + u("/sysconfig/Thunar/uca.xml"));
        if (!row.system.isEmpty())
            tree.makeFile("sysconfig/Thunar/uca.xml", row.system);
        ASSERT_TRUE(ToggleContextMenu(false, plainProgram));
        EXPECT_TRUE(readBytes(ThunarActions::path()).startsWith(row.created))
            << readBytes(ThunarActions::path()).data();
        EXPECT_EQ(thunarAction(ThunarActions::path(), u("trovex-run")).value().types, allThunarTypes);
        EXPECT_EQ(thunarAction(ThunarActions::path(), u("1-1")).has_value(), row.system == system);
        // Back to what Thunar shows without it, the file goes; the folder stays.
        ASSERT_FALSE(ToggleContextMenu(false, plainProgram));
        EXPECT_FALSE(QFileInfo::exists(ThunarActions::path()));
        EXPECT_TRUE(QFileInfo(config(u("Thunar"))).isDir());
    }
}

TEST_F(ContextMenuTest, ThunarFileThatDoesNotParseIsLeftAsItIs) {
    const struct {
        QByteArray bytes;
        const char* reason;
    } rows[] = {
        {"<actions>\n<action>\n", "line 3: Premature end of document."},
        {"<menu>\n</menu>\n", "its root element is <menu>, not <actions>"},
        {"<actions>\xff</actions>\n", "it is not UTF-8 text"},
        {"", "line 1: Premature end of document."},
    };
    const QString path = ThunarActions::path();
    const QString failure = u("The file managers' menus could not be updated. Cannot update \"%1\": it does not parse "
                              "as Thunar's actions (%2), so it is left as it is");
    for (const auto& row : rows) {
        SCOPED_TRACE(row.reason);
        tree.makeFile("config/Thunar/uca.xml", row.bytes);
        QString report;
        EXPECT_TRUE(ToggleContextMenu(false, plainProgram, &report));
        EXPECT_EQ(report, failure.arg(path, u(row.reason)));
        EXPECT_FALSE(ToggleContextMenu(false, plainProgram, &report));
        EXPECT_EQ(report, failure.arg(path, u(row.reason)));
        EXPECT_EQ(readBytes(path), row.bytes);
    }
}

TEST_F(ContextMenuTest, ThunarFileThatCouldNotBeRewrittenFaithfullyIsLeftAsItIs) {
    // A document type with an entity the user's own action uses; and an action of the user's whose
    // second unique-id is Trovex's, which a rewrite could not tell apart.
    const struct {
        QByteArray bytes;
        const char* reason;
    } rows[] = {
        {"<?xml version=\"1.0\"?>\n<!DOCTYPE actions [\n<!ENTITY term \"exo-open --launch TerminalEmulator\">\n]>\n"
         "<actions>\n<action><name>Terminal</name><unique-id>1-1</unique-id><command>&term;</command></action>\n"
         "</actions>\n",
         "it declares a document type (DTD), which Trovex cannot rewrite faithfully"},
        {"<actions>\n<action><name>Mine</name><unique-id>1-2</unique-id><unique-id>trovex-run</unique-id></action>\n"
         "</actions>\n",
         "rewritten, it would not read back as the same document"},
    };
    const QString path = ThunarActions::path();
    for (const auto& row : rows) {
        SCOPED_TRACE(row.reason);
        tree.makeFile("config/Thunar/uca.xml", row.bytes);
        QString report;
        EXPECT_TRUE(ToggleContextMenu(false, plainProgram, &report));
        EXPECT_EQ(report, u("The file managers' menus could not be updated. Cannot update \"%1\": %2, so it is left "
                            "as it is")
                              .arg(path, u(row.reason)));
        EXPECT_EQ(readBytes(path), row.bytes);
        // The other file managers' entries are written all the same.
        EXPECT_TRUE(QFileInfo::exists(DesktopMenuEntries::paths().first()));
        EXPECT_FALSE(ToggleContextMenu(false, plainProgram, &report));
        EXPECT_FALSE(QFileInfo::exists(DesktopMenuEntries::paths().first()));
        EXPECT_EQ(readBytes(path), row.bytes);
    }
}

TEST_F(ContextMenuTest, ThunarActionHoldsWhatXmlCanCarry) {
    const QString path = ThunarActions::path();
    const struct {
        QString program;
        bool offered;
    } rows[] = {
        {u("/opt/a & <b> ]]> \r\n\t/trovex"), true},
        {u("/opt/\xf0\x9f\x98\x80/trovex"), true},
        {u("/opt/bell\x07/trovex"), false},
        {u("/opt/") + QChar(0xdc80) + u("/trovex"), false}, // the byte 0x80 of a name that is not UTF-8
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(qPrintable(row.program));
        ASSERT_TRUE(ThunarActions::write({contextMenuText, plainProgram, {u("%1")}, true, true}));
        QString error;
        EXPECT_EQ(ThunarActions::write({contextMenuText, row.program, {u("%1")}, true, true}, &error), row.offered);
        const std::optional<ThunarAction> action = thunarAction(path, u("trovex-run"));
        if (row.offered) {
            ASSERT_TRUE(action.has_value());
            EXPECT_EQ(action->command, DesktopMenuEntries::shellCommandLine(row.program, {u("%1")}));
        } else {
            // The earlier action would start a program that is no longer there.
            EXPECT_FALSE(action.has_value());
            EXPECT_EQ(error, u("Cannot write \"%1\": Thunar cannot be given a program path that holds a control "
                               "character or bytes that are not UTF-8")
                                 .arg(path));
        }
    }
}

TEST_F(ContextMenuTest, RemovingTheRegistrationRemovesExactlyItsEntries) {
    tree.makeFile("data/applications/other.desktop", "[Desktop Entry]\n");
    tree.makeFile("data/nautilus/scripts/Other script", "#!/bin/sh\n");
    ASSERT_TRUE(ToggleContextMenu(false, plainProgram));
    for (const QString& file : DesktopMenuEntries::paths())
        EXPECT_TRUE(QFileInfo::exists(file)) << qPrintable(file);

    ASSERT_FALSE(ToggleContextMenu(false, plainProgram));
    for (const QString& file : DesktopMenuEntries::paths())
        EXPECT_FALSE(QFileInfo::exists(file)) << qPrintable(file);
    EXPECT_TRUE(QFileInfo::exists(data(u("applications/other.desktop"))));
    EXPECT_TRUE(QFileInfo::exists(data(u("nautilus/scripts/Other script"))));
    EXPECT_TRUE(QFileInfo(data(u("kio/servicemenus"))).isDir());
    EXPECT_TRUE(QFileInfo(data(u("nemo/actions"))).isDir());
    EXPECT_TRUE(QFileInfo(data(u("file-manager/actions"))).isDir());
}

TEST_F(ContextMenuTest, EntriesAreOfferedWhereVerbKeysExist) {
    // Without the file class's key, the entries are for folders only.
    tree.makeFile(storeBytes("software/classes/*"), "in the way");
    ASSERT_TRUE(ToggleContextMenu(false, plainProgram));
    EXPECT_EQ(keyValue(readText(data(u("kio/servicemenus/trovex-run.desktop"))), u("MimeType")), u("inode/directory;"));
    EXPECT_EQ(keyValue(readText(data(u("nemo/actions/trovex-run.nemo_action"))), u("Extensions")), u("dir;"));
    EXPECT_EQ(groupValue(readText(data(u("file-manager/actions/trovex-run.desktop"))), u("X-Action-Profile run"),
                         u("MimeTypes")),
              u("inode/directory;"));
    EXPECT_EQ(thunarAction(ThunarActions::path(), u("trovex-run")).value().types, QStringList{u("directories")});

    DesktopMenuCommand filesOnly{contextMenuText, plainProgram, {u("%1")}, false, true};
    EXPECT_TRUE(DesktopMenuEntries::nemoActionText(filesOnly).contains(u("\nExtensions=nodirs;\n")));
    EXPECT_TRUE(DesktopMenuEntries::serviceMenuText(filesOnly).contains(u("\nMimeType=all/allfiles;\n")));
    EXPECT_TRUE(DesktopMenuEntries::fileManagerActionText(filesOnly).contains(u("\nMimeTypes=all/allfiles;\n")));
    ASSERT_TRUE(ThunarActions::write(filesOnly));
    EXPECT_EQ(thunarAction(ThunarActions::path(), u("trovex-run")).value().types, allThunarTypes.mid(1));
}

TEST_F(ContextMenuTest, EntriesThatCannotBeWrittenAreReportedAfterTheStoreChanged) {
    tree.makeFile("data/nemo", "a file where the folder of actions would go");
    QString syncError;
    EXPECT_TRUE(ToggleContextMenu(false, plainProgram, &syncError));
    EXPECT_TRUE(Registry::keyExists(verbKeys[0]));
    EXPECT_EQ(
        syncError,
        u("The file managers' menus could not be updated. Cannot create folder \"%1\"").arg(data(u("nemo/actions"))));
    EXPECT_TRUE(QFileInfo::exists(data(u("applications/trovex-run.desktop"))));
    EXPECT_TRUE(QFileInfo::exists(data(u("nautilus/scripts/Run Trovex"))));

    EXPECT_FALSE(ToggleContextMenu(false, plainProgram, &syncError));
    EXPECT_TRUE(syncError.isEmpty()) << qPrintable(syncError);
}

TEST_F(ContextMenuTest, EntryFilesThatAreLinksAreLeftAsTheyAre) {
    const QString target = tree.root() + u("/outside/file");
    tree.makeFile("outside/file", "mine");
    const QString failure = u("The file managers' menus could not be updated. Cannot %1 \"%2\": it is a symbolic "
                              "link, which is left as it is");
    // One at a time, each reported by the step that meets it; Thunar's file is read before anything else.
    for (const QString& file : DesktopMenuEntries::paths() + QStringList{ThunarActions::path()}) {
        SCOPED_TRACE(qPrintable(file));
        const bool thunar = file == ThunarActions::path();
        tree.makeLink(tree.abs("outside/file"), QFile::encodeName(file.mid(tree.root().size() + 1)).toStdString());
        QString report;
        EXPECT_TRUE(ToggleContextMenu(false, plainProgram, &report));
        EXPECT_EQ(report, failure.arg(thunar ? u("read") : u("write"), file));
        EXPECT_FALSE(ToggleContextMenu(false, plainProgram, &report));
        EXPECT_EQ(report, failure.arg(thunar ? u("read") : u("delete"), file));
        EXPECT_EQ(QFileInfo(file).symLinkTarget(), target);
        EXPECT_EQ(readText(target), u("mine"));
        ASSERT_TRUE(QFile::remove(file));
    }
}

TEST_F(ContextMenuTest, StoreThatCannotBeReadRemovesNothing) {
    ASSERT_TRUE(ToggleContextMenu(false, plainProgram));
    const QByteArray classes = QFile::encodeName(store(u("software/classes")));
    const QByteArray driveShell = QFile::encodeName(store(u("software/classes/Drive/shell")));
    const QString driveKey = store(u("software/classes/Drive/shell/KVT"));
    const QString nemo = data(u("nemo/actions/trovex-run.nemo_action"));
    WithoutFileRights noRights;
    // Nothing can be told of the keys: the press registers nothing and leaves the entries.
    ASSERT_EQ(::chmod(classes.constData(), 0), 0);
    EXPECT_THROW(
        {
            try {
                ToggleContextMenu(false, plainProgram);
            } catch (const std::runtime_error& e) {
                EXPECT_STREQ(e.what(), "Failed to set data for ''");
                throw;
            }
        },
        std::runtime_error);
    for (const QString& file : DesktopMenuEntries::paths())
        EXPECT_TRUE(QFileInfo::exists(file)) << qPrintable(file);
    // A key that cannot be deleted is reported, and the entries follow the keys that stay.
    ::chmod(classes.constData(), 0755);
    ::chmod(driveShell.constData(), 0555);
    QString report;
    EXPECT_FALSE(ToggleContextMenu(false, plainProgram, &report));
    EXPECT_EQ(report, u("Cannot delete \"%1\": Permission denied").arg(driveKey));
    EXPECT_EQ(keyValue(readText(nemo), u("Extensions")), u("dir;"));
    ::chmod(driveShell.constData(), 0755);
}

TEST_F(ContextMenuTest, EntriesBecomeNoDefaultHandler) {
    ScopedEnv home("HOME", QFile::encodeName(tree.root() + u("/home")));
    const DefaultHandlers defaults(tree, data(u("applications")));
    const QStringList types{u("inode/directory"), u("application/octet-stream")};
    QStringList before;
    for (const QString& type : types)
        before << defaults.of(type);

    ASSERT_TRUE(ToggleContextMenu(false, plainProgram));
    for (qsizetype i = 0; i < types.size(); ++i)
        EXPECT_EQ(defaults.of(types[i]), before[i]);
}

TEST(DesktopMenuEntriesTest, ExecValueEscapesLayerByLayer) {
    EXPECT_EQ(DesktopMenuEntries::execValue(u("/usr/bin/trovex"), {u("%1")}), u("/usr/bin/trovex %f"));
    EXPECT_EQ(DesktopMenuEntries::execValue(u("/a b/t"), {u("%1"), u("/s")}), u("\"/a b/t\" %f /s"));
    EXPECT_EQ(DesktopMenuEntries::execValue(u("/100%/t"), {}), u("/100%%/t"));
    EXPECT_EQ(DesktopMenuEntries::execValue(u("/a\\b/t"), {}), u("\"/a\\\\\\\\b/t\""));
    EXPECT_EQ(DesktopMenuEntries::execValue(u("/a\nb/t"), {}), u("\"/a\\nb/t\""));
    EXPECT_EQ(DesktopMenuEntries::execValue(u("/t"), {QString()}), u("/t \"\""));
}

TEST(ThunarActionsTest, ActionGoesIntoAnEmptyRootElement) {
    const QString action = u("<action><unique-id>trovex-run</unique-id></action>");
    const std::optional<QByteArray> text = ThunarActions::spliced("<actions mine=\"1\"/>\n", action);
    ASSERT_TRUE(text.has_value());
    EXPECT_EQ(*text, "<actions mine=\"1\">\n" + action.toUtf8() + "\n</actions>\n");
    EXPECT_EQ(ThunarActions::spliced(*text, {}), QByteArray("<actions mine=\"1\">\n</actions>\n"));
}

TEST(DesktopMenuEntriesTest, BaseFoldersFallBackToHome) {
    ScopedEnv home("HOME", "/home/someone");
    const struct {
        const char* variable;
        QString (*path)();
        const char* fallback;
        const char* set;
    } rows[] = {
        {"XDG_DATA_HOME", &DesktopMenuEntries::dataHome, "/home/someone/.local/share", "/xdg"},
        {"XDG_CONFIG_HOME", &ThunarActions::path, "/home/someone/.config/Thunar/uca.xml", "/xdg/Thunar/uca.xml"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.variable);
        {
            ScopedEnv unset(row.variable, QByteArray());
            EXPECT_EQ(row.path(), u(row.fallback));
        }
        {
            ScopedEnv relative(row.variable, "relative/share");
            EXPECT_EQ(row.path(), u(row.fallback));
        }
        ScopedEnv set(row.variable, "/xdg");
        EXPECT_EQ(row.path(), u(row.set));
    }
}

} // namespace
