#include "support/FileProbe.h"
#include "support/ScanProgram.h"
#include "support/SmallTmpfs.h"
#include "support/TempTree.h"
#include "support/Utf8.h"

#include <QDir>
#include <QRegularExpression>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace {

QStringList args(std::initializer_list<const char*> texts) {
    QStringList out;
    for (const char* t : texts)
        out << u(t);
    return out;
}

// The names a --null run wrote, each without the root and its "/".
QList<QByteArray> nullRows(const QByteArray& out, const QByteArray& root) {
    QList<QByteArray> rows = out.split('\0');
    EXPECT_TRUE(rows.isEmpty() || rows.last().isEmpty()) << "the last row is not ended by NUL";
    if (!rows.isEmpty())
        rows.removeLast();
    for (QByteArray& row : rows) {
        if (row.startsWith(root + '/'))
            row.remove(0, root.size() + 1);
    }
    return rows;
}

QList<QByteArray> bytes(std::initializer_list<const char*> texts) {
    QList<QByteArray> out;
    for (const char* t : texts)
        out << QByteArray(t);
    return out;
}

// A pseudo-terminal for the program's standard error, so it sees a person watching.
class Terminal {
public:
    Terminal() {
        m_master = ::posix_openpt(O_RDWR | O_NOCTTY);
        if (m_master >= 0 && ::grantpt(m_master) == 0 && ::unlockpt(m_master) == 0)
            m_slave = QString::fromLocal8Bit(::ptsname(m_master));
    }
    ~Terminal() {
        if (m_master >= 0)
            ::close(m_master);
    }
    bool isOpen() const { return !m_slave.isEmpty(); }
    const QString& slave() const { return m_slave; }
    // What the program wrote so far, waiting up to timeout for the text wanted to appear.
    QByteArray readUntil(const QByteArray& wanted, std::chrono::milliseconds timeout) {
        const auto end = std::chrono::steady_clock::now() + timeout;
        while (!m_seen.contains(wanted) && std::chrono::steady_clock::now() < end) {
            pollfd p{m_master, POLLIN, 0};
            if (::poll(&p, 1, 10) > 0 && (p.revents & POLLIN)) {
                char buffer[256];
                const ssize_t n = ::read(m_master, buffer, sizeof buffer);
                if (n > 0)
                    m_seen.append(buffer, n);
                else
                    break;
            }
        }
        return m_seen;
    }

private:
    int m_master = -1;
    QString m_slave;
    QByteArray m_seen;
};

class ScanProgramTest : public ::testing::Test {
protected:
    // A tree with every kind of file the conditions tell apart. Walk order: a.txt, B.TXT, big.log,
    // sub/c.doc, sub/deeper/d.txt, sub/README.
    void makeTree() {
        file("a.txt", QByteArray(1024, 'a'), 1593597600);    // 2020-07-01 12:00 in Berlin
        file("B.TXT", QByteArray(2000, 'b'), 1593597600);    // 1.95 KB
        file("big.log", QByteArray(2048, 'l'), 1609502400);  // 2021-01-01 13:00 in Berlin
        file("sub/c.doc", QByteArray(500, 'c'), 1656669600); // 2022-07-01
        file("sub/README", "r", 1656669600);
        file("sub/deeper/d.txt", "d", 1609502400);
        tree.setMode("data/sub/deeper/d.txt", 0444);
        file(".hidden.txt", "h");
        ASSERT_EQ(::mkfifo(tree.abs("data/pipe").c_str(), 0644), 0);
    }
    void file(const std::string& rel, const QByteArray& content = {}, qint64 mtime = -1) {
        tree.makeFile("data/" + rel, content, mtime);
    }
    QString root() const { return tree.root() + u("/data"); }
    QByteArray rootBytes() const { return QByteArray::fromStdString(tree.abs("data")); }
    QString path(const char* rel) const { return tree.root() + u("/") + u(rel); }

    ScanResult scan(QStringList arguments) {
        arguments << root();
        return runTrovexScan(arguments);
    }

    TempTree tree;
};

TEST_F(ScanProgramTest, EveryConditionAndOptionListsTheFilesTheWindowWould) {
    makeTree();
    const QList<QByteArray> all = bytes({"B.TXT", "a.txt", "big.log", "sub/README", "sub/c.doc", "sub/deeper/d.txt"});
    tree.makeFile("excludes", "deeper\r\n\r\n*.LOG\n");
    const struct {
        QStringList arguments;
        QList<QByteArray> expected;
    } cases[] = {
        {{}, all},
        {args({"--archive"}), all},
        {args({"--hidden"}),
         bytes({".hidden.txt", "B.TXT", "a.txt", "big.log", "sub/README", "sub/c.doc", "sub/deeper/d.txt"})},
        {args({"--system"}),
         bytes({"B.TXT", "a.txt", "big.log", "pipe", "sub/README", "sub/c.doc", "sub/deeper/d.txt"})},
        {args({"--no-subfolders"}), bytes({"B.TXT", "a.txt", "big.log"})},
        {args({"--type", "*.txt"}), bytes({"B.TXT", "a.txt", "sub/deeper/d.txt"})},
        {args({"--type", "*.log;*.doc"}), bytes({"big.log", "sub/c.doc"})},
        {args({"--name", "?.*"}), bytes({"B.TXT", "a.txt", "sub/c.doc", "sub/deeper/d.txt"})},
        {args({"--modified", "before", "2021-01-01"}), bytes({"B.TXT", "a.txt"})},
        {args({"--modified", "on", "2021-01-01"}), bytes({"big.log", "sub/deeper/d.txt"})},
        {args({"--modified", "after", "2021-01-01"}), bytes({"sub/README", "sub/c.doc"})},
        {args({"--created", "after", "2000-01-01"}), all},
        {args({"--created", "before", "2000-01-01"}), {}},
        {args({"--size", "greater", "1.5"}), bytes({"B.TXT", "big.log"})},
        {args({"--size", "equal", "2"}), bytes({"big.log"})},
        {args({"--size", "less", "0.5"}), bytes({"sub/README", "sub/c.doc", "sub/deeper/d.txt"})},
        {args({"--read-only"}), bytes({"sub/deeper/d.txt"})},
        {args({"--type", "*.txt", "--modified", "on", "2021-01-01"}), bytes({"sub/deeper/d.txt"})},
        {args({"--exclude", "sub"}), bytes({"B.TXT", "a.txt", "big.log"})},
        {args({"--exclude", "*.TXT", "--exclude=*.doc"}), bytes({"big.log", "sub/README"})},
        {args({"--exclude-from"}) << path("excludes"), bytes({"B.TXT", "a.txt", "sub/README", "sub/c.doc"})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments.join(u' ').toStdString());
        const ScanResult r = scan(args({"list", "--null", "--sort", "path"}) + c.arguments);
        EXPECT_EQ(r.status, c.expected.isEmpty() ? 1 : 0) << r.err.toStdString();
        EXPECT_EQ(nullRows(r.out, rootBytes()), c.expected);
    }
}

TEST_F(ScanProgramTest, RowsComeInTheOrderAsked) {
    makeTree();
    const struct {
        QStringList arguments;
        QList<QByteArray> expected;
    } cases[] = {
        {args({"list"}), bytes({"a.txt", "B.TXT", "big.log", "sub/c.doc", "sub/deeper/d.txt", "sub/README"})},
        {args({"list", "--sort", "walk"}),
         bytes({"a.txt", "B.TXT", "big.log", "sub/c.doc", "sub/deeper/d.txt", "sub/README"})},
        // Largest or newest first; equal keys keep the walk's order.
        {args({"list", "--sort", "size"}),
         bytes({"big.log", "B.TXT", "a.txt", "sub/c.doc", "sub/deeper/d.txt", "sub/README"})},
        {args({"list", "--sort", "modified"}),
         bytes({"sub/c.doc", "sub/README", "big.log", "sub/deeper/d.txt", "a.txt", "B.TXT"})},
        // A type is spelled as its first file spells it; files without extension are the empty type.
        {args({"summary"}), bytes({".txt", ".log", ".doc", ""})},
        {args({"summary", "--sort", "walk"}), bytes({".txt", ".log", ".doc", ""})},
        {args({"summary", "--sort", "count"}), bytes({".txt", ".log", ".doc", ""})},
        {args({"summary", "--sort", "type"}), bytes({"", ".doc", ".log", ".txt"})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments.join(u' ').toStdString());
        const ScanResult r = scan(c.arguments + args({"--null"}));
        EXPECT_EQ(r.status, 0) << r.err.toStdString();
        EXPECT_EQ(nullRows(r.out, rootBytes()), c.expected);
    }
}

TEST_F(ScanProgramTest, SummaryFormatsHoldTheTypesAndTotals) {
    makeTree();
    const struct {
        QStringList arguments;
        QByteArray expected;
    } cases[] = {
        {args({}), "Type  Description          Count     Size\n"
                   ".txt  plain text document      3  2.95 KB\n"
                   ".log  application log          1     2 KB\n"
                   ".doc  Word document            1  0.49 KB\n"
                   "      File                     1     0 KB\n"
                   "Total: 6 files, 5.44 KB, 4 types\n"},
        {args({"--bytes"}), "Type  Description          Count  Size\n"
                            ".txt  plain text document      3  3025\n"
                            ".log  application log          1  2048\n"
                            ".doc  Word document            1   500\n"
                            "      File                     1     1\n"
                            "Total: 6 files, 5574, 4 types\n"},
        {args({"--format", "tsv"}), ".txt\tplain text document\t3\t2.95 KB\n"
                                    ".log\tapplication log\t1\t2 KB\n"
                                    ".doc\tWord document\t1\t0.49 KB\n"
                                    "\tFile\t1\t0 KB\n"},
        {args({"--format", "tsv", "--bytes", "--sort", "type"}), "\tFile\t1\t1\n"
                                                                 ".doc\tWord document\t1\t500\n"
                                                                 ".log\tapplication log\t1\t2048\n"
                                                                 ".txt\tplain text document\t3\t3025\n"},
        {args({"--format", "csv"}), "Type,Description,Count,Size\r\n"
                                    ".txt,\"plain text document\",3,\"2.95 KB\"\r\n"
                                    ".log,\"application log\",1,\"2 KB\"\r\n"
                                    ".doc,\"Word document\",1,\"0.49 KB\"\r\n"
                                    ",File,1,\"0 KB\"\r\n"},
        {args({"--format", "csv", "--bytes"}), "Type,Description,Count,Size\r\n"
                                               ".txt,\"plain text document\",3,3025\r\n"
                                               ".log,\"application log\",1,2048\r\n"
                                               ".doc,\"Word document\",1,500\r\n"
                                               ",File,1,1\r\n"},
        {args({"--format", "json"}),
         "{\"root\":\"ROOT\",\"total_files\":6,\"total_size\":5574,\"total_types\":4,\"types\":[\n"
         "{\"type\":\".txt\",\"description\":\"plain text document\",\"count\":3,\"size\":3025},\n"
         "{\"type\":\".log\",\"description\":\"application log\",\"count\":1,\"size\":2048},\n"
         "{\"type\":\".doc\",\"description\":\"Word document\",\"count\":1,\"size\":500},\n"
         "{\"type\":\"\",\"description\":\"File\",\"count\":1,\"size\":1}\n"
         "]}\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments.join(u' ').toStdString());
        const ScanResult r = scan(args({"summary"}) + c.arguments);
        EXPECT_EQ(r.status, 0) << r.err.toStdString();
        EXPECT_EQ(r.out, QByteArray(c.expected).replace("ROOT", rootBytes())) << r.out.toStdString();
        EXPECT_TRUE(r.err.isEmpty()) << r.err.toStdString();
    }
    // The window's own file: UTF-16 with its byte-order mark.
    const ScanResult r = scan(args({"summary", "--format", "csv-utf16", "--sort", "type"}));
    EXPECT_EQ(r.out,
              utf16le(u("Type,Description,Count,Size\r\n,File,1,\"0 KB\"\r\n.doc,\"Word document\",1,\"0.49 KB\"\r\n"
                        ".log,\"application log\",1,\"2 KB\"\r\n.txt,\"plain text document\",3,\"2.95 KB\"\r\n")));
}

TEST_F(ScanProgramTest, NamesAreWrittenAsTheirOwnBytes) {
    for (const char* name : {"tab\tname.log", "new\nline.log", "back\\slash.txt", "comma, \"quote\".csv", "bad\xff.log",
                             "\xe6\x97\xa5\xe6\x9c\xac.txt", "esc\x1b[2J.log",
                             "csi\xc2\x9b"
                             "2J.log",
                             "del\x7f.log", "cut\xe2\x82.log"})
        file(name, "12", 1593597600);
    const QByteArray rootText = rootBytes();

    const ScanResult nul = scan(args({"list", "--null", "--sort", "path"}));
    EXPECT_EQ(nullRows(nul.out, rootText), bytes({"back\\slash.txt", "bad\xff.log", "comma, \"quote\".csv",
                                                  "csi\xc2\x9b"
                                                  "2J.log",
                                                  "cut\xe2\x82.log", "del\x7f.log", "esc\x1b[2J.log", "new\nline.log",
                                                  "tab\tname.log", "\xe6\x97\xa5\xe6\x9c\xac.txt"}));

    // tsv: path, created, modified, size, attributes; names escaped so that none acts on a terminal:
    // four bytes by name, each byte of control characters and of what is no UTF-8 as \xHH.
    const ScanResult tsv = scan(args({"list", "--format", "tsv", "--bytes", "--sort", "path"}));
    EXPECT_EQ(tsv.status, 0);
    QList<QByteArray> lines = tsv.out.split('\n');
    ASSERT_EQ(lines.size(), 11);
    EXPECT_TRUE(lines.last().isEmpty());
    const QList<QByteArray> paths =
        bytes({"back\\\\slash.txt", "bad\\xFF.log", "comma, \"quote\".csv", "csi\\xC2\\x9B2J.log", "cut\\xE2\\x82.log",
               "del\\x7F.log", "esc\\x1B[2J.log", "new\\nline.log", "tab\\tname.log", "\xe6\x97\xa5\xe6\x9c\xac.txt"});
    const QRegularExpression iso(u("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d[+-]\\d\\d:\\d\\d$"));
    for (int i = 0; i < 10; ++i) {
        const QList<QByteArray> fields = lines[i].split('\t');
        ASSERT_EQ(fields.size(), 5) << lines[i].toStdString();
        EXPECT_EQ(fields[0], rootText + '/' + paths[i]);
        EXPECT_TRUE(iso.match(QString::fromLatin1(fields[1])).hasMatch()) << fields[1].toStdString();
        EXPECT_EQ(fields[2], QByteArray("2020-07-01T12:00:00+02:00"));
        EXPECT_EQ(fields[3], QByteArray("2"));
        EXPECT_EQ(fields[4], QByteArray("A"));
    }

    // csv: the name's own bytes, quoted by the CSV rules.
    const ScanResult csv = scan(args({"list", "--format", "csv", "--sort", "path"}));
    lines = csv.out.split('\n');
    ASSERT_GE(lines.size(), 4);
    EXPECT_EQ(lines[0], QByteArray("Filename,\"Date Created\",\"Date modified\",Size,Attribs\r"));
    EXPECT_TRUE(lines[2].startsWith(rootText + "/bad\xff.log,")) << lines[2].toStdString();
    EXPECT_TRUE(lines[3].startsWith("\"" + rootText + "/comma, \"\"quote\"\".csv\",")) << lines[3].toStdString();
    EXPECT_TRUE(lines[3].endsWith(",\"1 Jul 2020 12:00\",\"0 KB\",A\r")) << lines[3].toStdString();

    // json: valid UTF-8 as it is, any other name with \xHH and its bytes in base64.
    const ScanResult json = scan(args({"list", "--format", "json", "--sort", "path"}));
    EXPECT_EQ(json.status, 0);
    const QByteArray tail = ",\"modified\":\"2020-07-01T12:00:00+02:00\",\"size\":2,\"attributes\":\"A\"}";
    const QByteArray base64 = (rootText + "/bad\xff.log").toBase64();
    for (const QByteArray& entry :
         {"{\"path\":\"" + rootText + "/back\\\\slash.txt\",\"created\":",
          "{\"path\":\"" + rootText + "/bad\\\\xFF.log\",\"path_base64\":\"" + base64 + "\",\"created\":",
          "{\"path\":\"" + rootText + "/comma, \\\"quote\\\".csv\",\"created\":",
          "{\"path\":\"" + rootText + "/new\\nline.log\",\"created\":",
          "{\"path\":\"" + rootText + "/tab\\tname.log\",\"created\":",
          "{\"path\":\"" + rootText + "/\xe6\x97\xa5\xe6\x9c\xac.txt\",\"created\":", tail})
        EXPECT_TRUE(json.out.contains(entry)) << entry.toStdString() << "\n" << json.out.toStdString();
    EXPECT_TRUE(
        json.out.startsWith("{\"root\":\"" + rootText + "\",\"total_files\":10,\"total_size\":20,\"files\":[\n"));
    EXPECT_FALSE(json.out.contains('?'));
}

TEST_F(ScanProgramTest, ExitStatusSaysWhatHappened) {
    makeTree();
    tree.makeDir("empty");
    tree.makeFile("plain.txt", "x");
    const struct {
        QStringList arguments;
        int status;
        const char* says; // in standard error
    } cases[] = {
        {args({"summary", "ROOT"}), 0, ""},
        {args({"list", "ROOT"}), 0, ""},
        {args({"list", "--type", "*.zzz", "ROOT"}), 1, ""},
        {args({"summary", "EMPTY"}), 1, ""},
        {args({"list", "EMPTY"}), 1, ""},
        {args({"summary"}), 2, "trovex-scan: a folder is needed\nUsage: trovex-scan summary"},
        {args({"list", "--size", "huge", "1", "ROOT"}), 2, "trovex-scan: --size takes less, equal or greater"},
        {args({"summary", "MISSING"}), 3, "trovex-scan: Folder not found: "},
        {args({"summary", "FILE"}), 3, "trovex-scan: Not a folder: "},
        {args({"list", "--exclude-from", "MISSING", "ROOT"}), 2, "trovex-scan: --exclude-from: cannot read "},
        {args({"list", "--empty", "ROOT"}), 2, "trovex-scan: --empty belongs to duplicates"},
        {args({"duplicates", "--format", "csv-utf16", "ROOT"}), 2, "trovex-scan: duplicates takes no csv-utf16"},
        {args({"duplicates", "--sort", "size", "ROOT"}), 2, "trovex-scan: duplicates lists the groups by"},
        {args({"duplicates", "--min-size", "1X", "ROOT"}), 2, "trovex-scan: --min-size: \"1X\" is no size"},
        {args({"duplicates", "ROOT", "FILE"}), 3, "trovex-scan: Not a folder: "},
    };
    for (const auto& c : cases) {
        QStringList arguments = c.arguments;
        arguments.replaceInStrings(u("ROOT"), root());
        arguments.replaceInStrings(u("EMPTY"), path("empty"));
        arguments.replaceInStrings(u("MISSING"), path("missing"));
        arguments.replaceInStrings(u("FILE"), path("plain.txt"));
        SCOPED_TRACE(arguments.join(u' ').toStdString());
        const ScanResult r = runTrovexScan(arguments);
        EXPECT_EQ(r.status, c.status) << r.err.toStdString();
        EXPECT_TRUE(r.err.startsWith(c.says)) << r.err.toStdString();
        if (c.status == 2) {
            EXPECT_EQ(r.err.split('\n').first().count("trovex-scan:"), 1);
        }
    }
}

TEST_F(ScanProgramTest, UnreadableFoldersAreReportedAndAnUnreadableRootIsStatusThree) {
    makeTree();
    tree.makeDir("locked");
    tree.setMode("data/sub", 0);
    tree.setMode("locked", 0);
    // Root reads every folder; run the program as nobody, through a tree nobody may enter.
    ASSERT_EQ(::chmod(tree.rootBytes().c_str(), 0755), 0);
    const auto asNobody = [](QProcess& p) {
        p.setChildProcessModifier([] {
            if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
                ::_exit(99);
        });
    };
    const ScanResult sub = runTrovexScan(args({"summary", "--bytes", "--format", "tsv"}) << root(), asNobody);
    EXPECT_EQ(sub.status, 5) << "results may be incomplete: " << sub.err.toStdString();
    EXPECT_EQ(sub.err, "trovex-scan: 1 folder could not be read (first: " + rootBytes() + "/sub: Permission denied)\n");
    EXPECT_EQ(sub.out, QByteArray(".txt\tplain text document\t2\t3024\n.log\tapplication log\t1\t2048\n"));

    // A folder left out by request is never opened: no reason for 5.
    const ScanResult excluded = runTrovexScan(args({"list", "--exclude", "sub", "-q"}) << root(), asNobody);
    EXPECT_EQ(excluded.status, 0) << excluded.err.toStdString();
    EXPECT_TRUE(excluded.err.isEmpty());

    const ScanResult locked = runTrovexScan(args({"summary"}) << path("locked"), asNobody);
    EXPECT_EQ(locked.status, 3);
    EXPECT_EQ(locked.err, "trovex-scan: cannot read " + QFile::encodeName(path("locked")) + ": Permission denied\n");
    EXPECT_TRUE(locked.out.isEmpty());
}

TEST_F(ScanProgramTest, OutputFileAppearsWholeOrNotAtAll) {
    makeTree();
    tree.makeDir("out");
    tree.makeFile("out/list.tsv", "an older file");
    const QString target = path("out/list.tsv");

    const ScanResult written = scan(args({"list", "--format", "tsv", "-o"}) << target);
    EXPECT_EQ(written.status, 0);
    EXPECT_TRUE(written.out.isEmpty());
    EXPECT_EQ(contentOf(tree.abs("out/list.tsv")).count('\n'), 6);
    EXPECT_EQ(namesIn(tree.abs("out")), QStringList{u("list.tsv")});

    const ScanResult missingFolder = scan(args({"list", "-o"}) << path("nowhere/list.txt"));
    EXPECT_EQ(missingFolder.status, 4);
    EXPECT_TRUE(
        missingFolder.err.startsWith("trovex-scan: cannot write " + QFile::encodeName(path("nowhere/list.txt"))))
        << missingFolder.err.toStdString();
    EXPECT_FALSE(exists(tree.abs("nowhere")));

    // A full disk, for the file and for standard output.
    tree.makeDir("disk");
    const SmallTmpfs disk(tree.abs("disk"), 64);
    if (!disk.isMounted())
        GTEST_SKIP() << "no tmpfs can be mounted here";
    tree.makeFile("disk/list.tsv", "an older file");
    tree.makeFile("disk/filler", QByteArray(60 << 10, 'f'));
    const ScanResult onFullDisk = scan(args({"list", "--format", "tsv", "-o"}) << path("disk/list.tsv"));
    EXPECT_EQ(onFullDisk.status, 4);
    EXPECT_TRUE(onFullDisk.err.endsWith(": No space left on device\n")) << onFullDisk.err.toStdString();
    EXPECT_EQ(contentOf(tree.abs("disk/list.tsv")), QByteArray("an older file"));
    EXPECT_EQ(namesIn(tree.abs("disk")), QStringList({u("filler"), u("list.tsv")}));
    const QString full = path("disk/stdout.txt");
    const ScanResult stdoutFull =
        runTrovexScan(args({"list"}) << root(), [full](QProcess& p) { p.setStandardOutputFile(full); });
    EXPECT_EQ(stdoutFull.status, 4);
    EXPECT_TRUE(stdoutFull.err.startsWith("trovex-scan: cannot write the output: ")) << stdoutFull.err.toStdString();
}

TEST_F(ScanProgramTest, WhatStandsAtTheOutputNameDecidesHowItIsWritten) {
    makeTree();
    tree.makeFile("out/kept.tsv", "mode kept");
    tree.setMode("out/kept.tsv", 0640);
    tree.makeFile("out/target.tsv", "through a link");
    tree.makeLink("target.tsv", "out/link.tsv");
    tree.makeFile("out/read-only.tsv", "read-only");
    tree.setMode("out/read-only.tsv", 0444);
    tree.makeLink("nowhere.tsv", "out/dangling.tsv");
    ASSERT_EQ(::mkfifo(tree.abs("out/fifo").c_str(), 0644), 0);
    const QByteArray expected = scan(args({"list", "--format", "tsv"})).out;
    ASSERT_EQ(expected.count('\n'), 6);
    const auto written = [this](const char* name) {
        return scan(args({"list", "--format", "tsv", "-o"}) << path(name));
    };

    EXPECT_EQ(written("out/kept.tsv").status, 0);
    EXPECT_EQ(contentOf(tree.abs("out/kept.tsv")), expected);
    struct stat st {};
    ASSERT_EQ(::stat(tree.abs("out/kept.tsv").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(written("out/link.tsv").status, 0);
    EXPECT_EQ(contentOf(tree.abs("out/target.tsv")), expected);
    ASSERT_EQ(::lstat(tree.abs("out/link.tsv").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));

    // Refused at once with the reason, and left as they are.
    const struct {
        const char* name;
        const char* says;
    } refused[] = {{"out/read-only.tsv", "The file is read-only"},
                   {"out/dangling.tsv", "It is a symbolic link to nothing"},
                   {"out/fifo", "No program reads from the FIFO"},
                   {"out", "Is a directory"}};
    for (const auto& r : refused) {
        const ScanResult result = written(r.name);
        EXPECT_EQ(result.status, 4) << r.name;
        EXPECT_EQ(result.err, "trovex-scan: cannot write " + QFile::encodeName(path(r.name)) + ": " + r.says + "\n");
    }
    EXPECT_EQ(contentOf(tree.abs("out/read-only.tsv")), QByteArray("read-only"));
    ASSERT_EQ(::lstat(tree.abs("out/fifo").c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));

    // A FIFO with a reader, and the program's own standard output (what /dev/stdout names), piped
    // or redirected to a file, are written where they stand.
    const int reader = ::open(tree.abs("out/fifo").c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    EXPECT_EQ(written("out/fifo").status, 0);
    QByteArray got(1 << 16, '\0');
    got.truncate(std::max<ssize_t>(0, ::read(reader, got.data(), size_t(got.size()))));
    ::close(reader);
    EXPECT_EQ(got, expected);
    const ScanResult piped = scan(args({"list", "--format", "tsv", "-o", "/proc/self/fd/1"}));
    EXPECT_EQ(piped.status, 0) << piped.err.toStdString();
    EXPECT_EQ(piped.out, expected);
    const QString redirected = path("out/redirected.tsv");
    const ScanResult toFile = runTrovexScan(args({"list", "--format", "tsv", "-o", "/proc/self/fd/1"}) << root(),
                                            [redirected](QProcess& p) { p.setStandardOutputFile(redirected); });
    EXPECT_EQ(toFile.status, 0) << toFile.err.toStdString();
    EXPECT_EQ(contentOf(redirected), expected);
    EXPECT_EQ(namesIn(tree.abs("out")), QStringList({u("dangling.tsv"), u("fifo"), u("kept.tsv"), u("link.tsv"),
                                                     u("read-only.tsv"), u("redirected.tsv"), u("target.tsv")}));

    // A device node of the test's own, with the numbers of the null device.
    if (::mknod(tree.abs("out/null").c_str(), S_IFCHR | 0666, makedev(1, 3)) != 0)
        GTEST_SKIP() << "no device node can be made here";
    EXPECT_EQ(written("out/null").status, 0);
    ASSERT_EQ(::lstat(tree.abs("out/null").c_str(), &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode));
    EXPECT_EQ(st.st_rdev, makedev(1, 3));
}

TEST_F(ScanProgramTest, NoProgressLineWhenQuietOrNotOnATerminal) {
    makeTree();
    Terminal terminal;
    if (!terminal.isOpen())
        GTEST_SKIP() << "no pseudo-terminal";
    const ScanResult piped = scan(args({"summary"}));
    EXPECT_EQ(piped.status, 0);
    EXPECT_TRUE(piped.err.isEmpty());

    const auto onTerminal = [&terminal](QProcess& p) { p.setStandardErrorFile(terminal.slave()); };
    EXPECT_EQ(runTrovexScan(args({"summary", "--quiet"}) << root(), onTerminal).status, 0);
    EXPECT_TRUE(terminal.readUntil("\r", std::chrono::milliseconds(200)).isEmpty());
}

TEST_F(ScanProgramTest, OnATerminalProgressIsShownAndCtrlCStopsWithStatus130AndNoFile) {
    // Enough files that the walk is still going when the first progress line has been read.
    for (int d = 0; d < 100; ++d) {
        for (int f = 0; f < 200; ++f)
            file("d" + std::to_string(d) + "/f" + std::to_string(f) + ".txt");
    }
    tree.makeDir("out");
    Terminal terminal;
    if (!terminal.isOpen())
        GTEST_SKIP() << "no pseudo-terminal";

    QProcess process;
    process.setStandardErrorFile(terminal.slave());
    process.start(trovexScanPath(), args({"list", "-o"}) << path("out/list.txt") << root());
    ASSERT_TRUE(process.waitForStarted());
    const QByteArray shown = terminal.readUntil(" files", std::chrono::seconds(30));
    // The counts, the bytes so far and the folder being read.
    const QRegularExpression line(u("^\\r\\d+ entries, \\d+ files, [\\d.]+ [KMG]B  (\\S*/data|\\x{2026})"));
    const QByteArray more = terminal.readUntil("data", std::chrono::seconds(30));
    ASSERT_TRUE(line.match(QString::fromUtf8(more)).hasMatch()) << more.toStdString();
    ::kill(pid_t(process.processId()), SIGINT);
    ASSERT_TRUE(process.waitForFinished(30000));
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 130);
    EXPECT_TRUE(namesIn(tree.abs("out")).isEmpty()) << namesIn(tree.abs("out")).join(u' ').toStdString();
    // The line is erased before the program ends, so the shell's prompt starts clean.
    EXPECT_TRUE(terminal.readUntil("\r\033[K", std::chrono::seconds(5)).endsWith("\r\033[K"));
}

TEST_F(ScanProgramTest, DiskUsageCountsAllocatedBlocksWithHardLinksOnceAsDuDoes) {
    file("a/big.bin", QByteArray(100000, 'b'));
    file("a/small.txt", "s");
    file("b/empty");
    ASSERT_EQ(::link(tree.abs("data/a/big.bin").c_str(), tree.abs("data/b/twin.bin").c_str()), 0);
    ASSERT_EQ(::truncate(tree.abs("data/a/small.txt").c_str(), 10 << 20), 0); // sparse: 10 MiB, few blocks
    QProcess du;
    du.start(u("sh"), {u("-c"), u("find \"$0\" -type f -print0 | du -cB1 --files0-from=- | tail -n 1"), root()});
    ASSERT_TRUE(du.waitForFinished(30000));
    const QByteArray duTotal = du.readAllStandardOutput().split('\t').first();

    const ScanResult summary = scan(args({"summary", "--disk-usage", "--format", "json"}));
    EXPECT_EQ(summary.status, 0) << summary.err.toStdString();
    EXPECT_TRUE(summary.out.contains("\"total_files\":4,\"total_size\":" + duTotal + ",")) << summary.out.toStdString();

    const ScanResult list = scan(args({"list", "--disk-usage", "--format", "json", "--sort", "walk"}));
    EXPECT_TRUE(list.out.contains("\"total_size\":" + duTotal + ","));
    EXPECT_TRUE(list.out.contains("\"size\":0,\"attributes\":\"A\",\"hardlink_of\":\"" + rootBytes() + "/a/big.bin\"}"))
        << list.out.toStdString();
    // Without it, sizes are the files' own, each link counted.
    const ScanResult apparent = scan(args({"summary", "--bytes", "--format", "json"}));
    EXPECT_TRUE(apparent.out.contains("\"total_size\":" + QByteArray::number(2 * 100000 + (10 << 20)) + ","));
}

TEST_F(ScanProgramTest, OneFileSystemLeavesFoldersMountedBelowTheRoot) {
    file("here.txt", "h");
    tree.makeDir("data/mnt");
    const SmallTmpfs mounted(tree.abs("data/mnt"), 64);
    if (!mounted.isMounted())
        GTEST_SKIP() << "cannot mount a tmpfs here";
    tree.makeFile("data/mnt/there.txt", "t");
    EXPECT_EQ(nullRows(scan(args({"list", "--null", "--sort", "path"})).out, rootBytes()),
              bytes({"here.txt", "mnt/there.txt"}));
    const ScanResult oneDevice = scan(args({"list", "--null", "-x"}));
    EXPECT_EQ(oneDevice.status, 0) << oneDevice.err.toStdString();
    EXPECT_EQ(nullRows(oneDevice.out, rootBytes()), bytes({"here.txt"}));
}

// A reader that stops reading ends a streamed list at once: by SIGPIPE as other tools, or, where
// SIGPIPE is ignored, with the write's error and status 4.
TEST_F(ScanProgramTest, AListWhoseReaderGoesAwayEnds) {
    // More output than a pipe holds, so some write comes after the reader has gone.
    for (int i = 0; i < 2000; ++i)
        file("f" + std::to_string(i) + std::string(200, 'n'));
    const struct {
        const char* shell;
        QByteArray status;
        const char* says;
    } cases[] = {
        {"\"$0\" list \"$1\" | head -c 10 > \"$2\"; echo ${PIPESTATUS[0]}", "141", ""},
        {"trap '' PIPE; \"$0\" list \"$1\" | head -c 10 > \"$2\"; echo ${PIPESTATUS[0]}", "4",
         "trovex-scan: cannot write the output: "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.shell);
        QProcess bash;
        bash.start(u("bash"), {u("-c"), u(c.shell), trovexScanPath(), root(), path("head.out")});
        ASSERT_TRUE(bash.waitForFinished(60000));
        EXPECT_EQ(bash.readAllStandardOutput().trimmed(), c.status);
        EXPECT_TRUE(bash.readAllStandardError().startsWith(c.says));
    }
}

TEST_F(ScanProgramTest, DuplicatesAreGroupsOfCopiesAcrossRootsNeverHardLinksOfOneFile) {
    const QByteArray content(3000, 'c');
    file("a/x.bin", content);
    file("b/x2.bin", content);
    file("a/unique.bin", QByteArray(3000, 'u'));
    file("a/e1");
    file("b/e2");
    ASSERT_EQ(::link(tree.abs("data/a/x.bin").c_str(), tree.abs("data/b/hard.bin").c_str()), 0);
    const QString b = root() + u("/b");
    const auto records = [this](const QByteArray& out) { return nullRows(out, rootBytes()); };
    const struct {
        QStringList arguments;
        int status;
        QList<QByteArray> records; // each group's paths, then an empty record
    } cases[] = {
        {args({"--null"}), 0, bytes({"a/x.bin", "b/x2.bin", ""})},
        {args({"--null", "--empty"}), 0, bytes({"a/x.bin", "b/x2.bin", "", "a/e1", "b/e2", ""})},
        {args({"--null", "--paranoid"}) << b, 0, bytes({"a/x.bin", "b/x2.bin", ""})}, // b again: once
        {args({"--null", "--min-size", "3K"}), 1, {}},
        {args({"--null", "--exclude", "b"}), 1, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments.join(u' ').toStdString());
        const ScanResult r = runTrovexScan(args({"duplicates"}) << root() << c.arguments);
        EXPECT_EQ(r.status, c.status) << r.err.toStdString();
        EXPECT_EQ(records(r.out), c.records);
    }
    const ScanResult json = scan(args({"duplicates", "--format", "json"}));
    EXPECT_TRUE(json.out.contains("\"total_groups\":1,\"total_files\":2,\"total_wasted\":3000,")) << json.out.data();
    EXPECT_TRUE(json.out.contains("\"path\":\"" + rootBytes() + "/a/x.bin\",\"other_names\":[\"" + rootBytes() +
                                  "/b/hard.bin\"]}"));
    const ScanResult tsv = scan(args({"duplicates", "--format", "tsv", "--bytes"}));
    EXPECT_TRUE(tsv.out.startsWith("1\t3000\t")) << tsv.out.data();
    EXPECT_EQ(tsv.out.count('\n'), 2);
}

} // namespace
