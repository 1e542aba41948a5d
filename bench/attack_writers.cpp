// The in-process half of bench/attack.sh: the cases that need Trovex's own writers, its file moves
// or its window rather than trovex-scan. Each command prints what it saw, one line per check,
// beginning "ok " or "FAIL ", and exits 1 when any check failed.
//
// Usage:
//   attack_writers deep-make ROOT LEVELS        a chain of LEVELS one-letter folders, deep.txt at the bottom
//   attack_writers deep-remove ROOT LEVELS      removes that chain again, from the bottom
//   attack_writers window-summary ROOT          the window's GO on ROOT: its type rows and entry count
//   attack_writers full-disk BASE SOURCE        every writer over an earlier file on the (empty, small)
//                                               file system at BASE, which it fills to the last page
//   attack_writers move-while-written SRC DST ROUNDS   moves across file systems while the source grows
//   attack_writers uca-dtd BASE                 Thunar's actions declaring a document type stay as they are

#include "WindowControls.h"
#include "app/MainWindow.h"
#include "export/CsvWriter.h"
#include "export/ZipArchiveFile.h"
#include "platform/FileName.h"
#include "platform/FileOperations.h"
#include "platform/Registry.h"
#include "shell/ContextMenu.h"
#include "shell/DesktopMenuEntries.h"
#include "shell/ThunarActions.h"
#include "views/TypeChartPicture.h"
#include "views/TypeChartView.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <stdexcept>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

int failures = 0;

void check(bool ok, const std::string& what) {
    std::printf("%s %s\n", ok ? "ok  " : "FAIL", what.c_str());
    std::fflush(stdout);
    if (!ok)
        ++failures;
}

std::string text(const QString& s) {
    return s.toStdString();
}

QString path(const std::string& bytes) {
    return platform::decodeFileName(QByteArray::fromStdString(bytes));
}

// The whole content of a file, or nothing with ok false.
QByteArray contentOf(const std::string& file, bool* ok = nullptr) {
    QFile f(path(file));
    const bool opened = f.open(QIODevice::ReadOnly);
    if (ok)
        *ok = opened;
    return opened ? f.readAll() : QByteArray();
}

// Writes bytes over what stands at file, in place, as a plain program does.
bool putFile(const std::string& file, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path(file)).absolutePath());
    QFile f(path(file));
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size() && f.flush();
}

// The names in a folder, hidden ones included, sorted.
QStringList namesIn(const std::string& folder) {
    return QDir(path(folder))
        .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

std::string folderOf(const std::string& file) {
    return file.substr(0, file.rfind('/'));
}

std::string chainName(int level) {
    return std::string(1, char('a' + level % 26));
}

// Level by level relative to the parent's descriptor: no single path names the deepest folders.
int deepMake(const std::string& root, int levels) {
    int fd = ::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    for (int i = 0; i < levels && fd >= 0; ++i) {
        if (::mkdirat(fd, chainName(i).c_str(), 0755) != 0) {
            std::fprintf(stderr, "mkdir at level %d: %s\n", i, std::strerror(errno));
            return 1;
        }
        const int next = ::openat(fd, chainName(i).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        ::close(fd);
        fd = next;
    }
    if (fd < 0) {
        std::perror("open");
        return 1;
    }
    const int file = ::openat(fd, "deep.txt", O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    const bool written = file >= 0 && ::write(file, "12345", 5) == 5;
    if (file >= 0)
        ::close(file);
    ::close(fd);
    return written ? 0 : 1;
}

// From the bottom up: a general removal of a chain this deep takes far longer.
int deepRemove(const std::string& root, int levels) {
    int fd = ::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    int depth = 0;
    for (; depth < levels && fd >= 0; ++depth) {
        const int next = ::openat(fd, chainName(depth).c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (next < 0)
            break;
        ::close(fd);
        fd = next;
    }
    if (fd < 0)
        return 1;
    ::unlinkat(fd, "deep.txt", 0);
    for (int i = depth - 1; i >= 0 && fd >= 0; --i) {
        const int parent = ::openat(fd, "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        ::close(fd);
        fd = parent;
        if (fd >= 0 && ::unlinkat(fd, chainName(i).c_str(), AT_REMOVEDIR) != 0) {
            std::fprintf(stderr, "rmdir at level %d: %s\n", i, std::strerror(errno));
            ::close(fd);
            return 1;
        }
    }
    if (fd >= 0)
        ::close(fd);
    return 0;
}

// The window as the user has it: the root typed in, GO pressed; its rows and its entry count.
int windowSummary(const std::string& root) {
    const std::unique_ptr<QMainWindow> window = createMainWindow({});
    WindowControls form(*window);
    form.show();
    form.RootDir->setText(path(root));
    QCoreApplication::processEvents();
    form.Button1->click(); // returns when the run is over
    const QLabel* entries = window->findChild<QLabel*>(QStringLiteral("FileCount"));
    std::printf("entries %s\n", entries ? qPrintable(entries->text()) : "?");
    std::printf("rows %d\n", form.ListView1->rowCount());
    for (int r = 0; r < form.ListView1->rowCount(); ++r) {
        QStringList cells;
        for (int c = 0; c < form.ListView1->model()->columnCount(); ++c)
            cells << form.ListView1->cellText(r, c);
        std::printf("row %s\n", qPrintable(cells.join(QLatin1Char('\t'))));
    }
    std::printf("caption %s\n", qPrintable(form.Button1->text()));
    return 0;
}

DesktopMenuCommand runCommand() {
    DesktopMenuCommand c;
    c.text = QStringLiteral("Run Trovex");
    c.programPath = QStringLiteral("/usr/bin/trovex");
    c.arguments = {QStringLiteral("%1")};
    c.onFolders = c.onFiles = true;
    return c;
}

void useBase(const std::string& base) {
    ::setenv("XDG_CONFIG_HOME", (base + "/config").c_str(), 1);
    ::setenv("XDG_DATA_HOME", (base + "/data").c_str(), 1);
}

struct Writer {
    const char* name;
    std::function<QString()> run; // the reason it gave, empty when it wrote
    std::vector<std::string> targets;
    QByteArray earlier;
};

int fullDisk(const std::string& base, const std::string& source) {
    useBase(base);
    const QString noSpace = QString::fromLocal8Bit(std::strerror(ENOSPC));
    const QString key = contextMenuFolderKey;

    TypeChartView chart;
    chart.resize(480, 320);
    chart.setTypes({{QStringLiteral(".pdf"), QStringLiteral("PDF document"), 12, 4'000'000},
                    {QStringLiteral(".txt"), QStringLiteral("plain text document"), 300, 900'000},
                    {QStringLiteral(".png"), QStringLiteral("PNG image"), 40, 2'500'000},
                    {QString(), QStringLiteral("unknown"), 7, 1200}});
    chart.show();
    QCoreApplication::processEvents();

    std::vector<std::string> entryFiles;
    for (const QString& p : DesktopMenuEntries::paths())
        entryFiles.push_back(text(p));
    const std::vector<Writer> writers = {
        {"CsvWriter::save",
         [&] {
             CsvWriter csv;
             return csv.save(path(base + "/out.csv"), QStringLiteral("a,b\r\n1,2\r\n")) ? QString() : csv.errorString();
         },
         {base + "/out.csv"},
         "earlier"},
        {"saveChartPicture png",
         [&] {
             QString error;
             return saveChartPicture(chart, path(base + "/chart.png"), &error) ? QString() : error;
         },
         {base + "/chart.png"},
         "earlier"},
        {"saveChartPicture svg",
         [&] {
             QString error;
             return saveChartPicture(chart, path(base + "/chart.svg"), &error) ? QString() : error;
         },
         {base + "/chart.svg"},
         "earlier"},
        {"Registry::setValue",
         [&] {
             QString error;
             platform::Registry::createKey(key);
             return platform::Registry::setValue(key, {}, QStringLiteral("Run Trovex"), &error) ? QString() : error;
         },
         {text(platform::Registry::rootFolder()) + "/software/classes/directory/shell/KVT/@"},
         "earlier"},
        {"DesktopMenuEntries::write",
         [&] {
             QString error;
             return DesktopMenuEntries::write(runCommand(), &error) ? QString() : error;
         },
         entryFiles, "earlier"},
        {"ThunarActions::write",
         [&] {
             QString error;
             return ThunarActions::write(runCommand(), &error) ? QString() : error;
         },
         {text(ThunarActions::path())},
         "<actions>\n</actions>\n"},
    };

    // Each writes once on the empty disk, making its folders, and then finds an earlier file.
    for (const Writer& w : writers) {
        const QString said = w.run();
        if (!said.isEmpty()) {
            check(false, std::string(w.name) + " could not write on the empty disk: " + text(said));
            return 1;
        }
        for (const std::string& t : w.targets)
            putFile(t, w.earlier);
    }
    // Filled page by page until the system refuses one: even a few bytes then find no room.
    const int filler = ::open((base + "/filler").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    const std::string page(4096, 'f');
    qint64 filled = 0;
    ssize_t n = 0;
    while ((n = ::write(filler, page.data(), page.size())) > 0)
        filled += n;
    const int fillError = errno;
    ::close(filler);
    check(fillError == ENOSPC,
          "the disk filled with " + std::to_string(filled / 1024) + " KiB, then said " + std::strerror(fillError));

    for (const Writer& w : writers) {
        std::vector<QStringList> before;
        for (const std::string& t : w.targets)
            before.push_back(namesIn(folderOf(t)));
        const QString said = w.run();
        bool kept = true, noTemporary = true;
        for (size_t i = 0; i < w.targets.size(); ++i) {
            kept = kept && contentOf(w.targets[i]) == w.earlier;
            noTemporary = noTemporary && namesIn(folderOf(w.targets[i])) == before[i];
        }
        check(said.contains(noSpace) && kept && noTemporary,
              std::string(w.name) + ": said \"" + text(said) + "\"; earlier file" +
                  (w.targets.size() > 1 ? "s " : " ") + (kept ? "kept" : "CHANGED") + "; " +
                  (noTemporary ? "no other file" : "NAMES CHANGED"));
    }

    const QStringList before = namesIn(base);
    QString said;
    try {
        const QString saved = ZipArchiveFile::create(path(base + "/archive.zip"), {path(source)});
        said = QStringLiteral("saved as ") + saved;
    } catch (const std::exception& e) {
        said = QString::fromUtf8(e.what());
    }
    const bool noArchive = namesIn(base) == before;
    check(said.contains(noSpace) && noArchive, "ZipArchiveFile::create: said \"" + text(said) + "\"; " +
                                                   (noArchive ? "no archive, no other file" : "NAMES CHANGED"));
    return failures ? 1 : 0;
}

QByteArray originalLines(int count) {
    QByteArray bytes;
    bytes.reserve(count * 17);
    for (int i = 0; i < count; ++i)
        bytes += QByteArray("original ") + QByteArray::number(i).rightJustified(7, '0') + '\n';
    return bytes;
}

// Appends one line to the file as a program writing its log does: opened, written, closed.
bool appendLine(const std::string& file, const QByteArray& line) {
    const int fd = ::open(file.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    const bool ok = fd >= 0 && ::write(fd, line.constData(), size_t(line.size())) == line.size();
    if (fd >= 0)
        ::close(fd);
    return ok;
}

// One move across file systems while lines are appended to the source: by the progress callback
// (hook) at its first three calls, or by a thread of its own, which is stopped and joined at the third
// call, while the copy is still going.
void moveOnce(const std::string& srcDir, const std::string& dstDir, const std::string& name, bool byThread, int round,
              int& lostRounds, int& appendedLines) {
    const std::string src = srcDir + "/" + name, dst = dstDir + "/" + name;
    const QByteArray original = originalLines(4 * 65536); // 4.25 MiB: several progress calls
    putFile(src, original);
    QByteArray appended;
    std::atomic<int> state{0}; // 0 waiting, 1 appending, 2 told to stop
    std::atomic<int> threadLines{0};
    std::atomic<bool> threadEnded{false};
    QByteArray threadBytes;
    std::thread writer;
    if (byThread) {
        writer = std::thread([&] {
            while (state.load() == 0)
                std::this_thread::yield();
            const int fd = ::open(src.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
            for (int i = 0; fd >= 0 && state.load() == 1; ++i) {
                const QByteArray line = "thread line " + QByteArray::number(i) + '\n';
                if (::write(fd, line.constData(), size_t(line.size())) != line.size())
                    break;
                threadBytes += line;
                threadLines.store(i + 1);
            }
            if (fd >= 0)
                ::close(fd);
            threadEnded.store(true);
        });
    }
    int calls = 0;
    platform::FileOpHooks hooks;
    hooks.onProgress = [&](qint64, qint64) {
        ++calls;
        if (!byThread && calls <= 3) {
            // Not on every call: the copy follows the file to its end, so it would chase the lines.
            const QByteArray line = "hook line " + QByteArray::number(calls) + '\n';
            if (appendLine(src, line))
                appended += line;
        } else if (calls == 1) {
            state.store(1);
            while (threadLines.load() < 1 && !threadEnded.load())
                std::this_thread::yield();
        } else if (calls == 3 && writer.joinable()) {
            state.store(2);
            writer.join(); // every line is in the source before the copy ends
        }
        return true;
    };
    const platform::FileOpResult moved = platform::moveFile(path(src), path(dst), hooks);
    if (writer.joinable()) {
        state.store(2);
        writer.join();
    }
    if (byThread)
        appended = threadBytes;
    bool sourceThere = false;
    const QByteArray source = contentOf(src, &sourceThere);
    const QByteArray target = contentOf(dst);
    const bool everyLine = sourceThere && source == original + appended;
    const bool said = moved.status == platform::FileOpStatus::Failed &&
                      moved.message.contains(QStringLiteral("changed while it was moved; both copies kept"));
    const int lines = int(appended.count('\n'));
    appendedLines += lines;
    if (!everyLine)
        ++lostRounds;
    // Only the first round and any failing one are told in full.
    if (round == 0 || !everyLine || !said || !target.startsWith(original)) {
        check(everyLine && said && target.startsWith(original) && lines > 0,
              name + ": " + std::to_string(lines) + " lines appended during " + std::to_string(calls) +
                  " progress calls; source " +
                  (everyLine     ? "kept with every line"
                   : sourceThere ? "LACKS LINES"
                                 : "GONE") +
                  "; copy " + (target.startsWith(original) ? "holds the original" : "WRONG") + "; said \"" +
                  text(moved.message) + "\"");
    }
    QFile::remove(path(src));
    QFile::remove(path(dst));
}

int moveWhileWritten(const std::string& srcDir, const std::string& dstDir, int rounds) {
    struct stat a {
    }, b{};
    if (::stat(srcDir.c_str(), &a) != 0 || ::stat(dstDir.c_str(), &b) != 0 || a.st_dev == b.st_dev) {
        check(false, "the source and target folders must be on two file systems");
        return 1;
    }
    int lost = 0, lines = 0;
    for (const bool byThread : {false, true}) {
        for (int r = 0; r < rounds; ++r)
            moveOnce(srcDir, dstDir, byThread ? "thread-log.txt" : "hook-log.txt", byThread, r, lost, lines);
    }
    check(lost == 0, std::to_string(2 * rounds) + " moves, " + std::to_string(lines) + " lines appended, " +
                         std::to_string(lost) + " moves lost lines");

    // The same move untouched goes through: the check above is no blanket refusal.
    const QByteArray original = originalLines(4 * 65536);
    putFile(srcDir + "/quiet.txt", original);
    const platform::FileOpResult moved = platform::moveFile(path(srcDir + "/quiet.txt"), path(dstDir + "/quiet.txt"));
    bool sourceThere = true;
    contentOf(srcDir + "/quiet.txt", &sourceThere);
    check(moved.status == platform::FileOpStatus::Done && !sourceThere && contentOf(dstDir + "/quiet.txt") == original,
          std::string("an unchanged file moves: ") +
              (moved.status == platform::FileOpStatus::Done ? "done" : "NOT DONE") + " \"" + text(moved.message) +
              "\"");
    QFile::remove(path(dstDir + "/quiet.txt"));
    return failures ? 1 : 0;
}

int ucaDtd(const std::string& base) {
    useBase(base);
    const std::string uca = text(ThunarActions::path());
    const QByteArray action = "<action>\n"
                              "\t<icon>utilities-terminal</icon>\n"
                              "\t<name>Open a terminal here</name>\n"
                              "\t<unique-id>1700000000000000-1</unique-id>\n"
                              "\t<command>&cmd;</command>\n"
                              "\t<description>The user's own</description>\n"
                              "\t<patterns>*</patterns>\n"
                              "\t<directories/>\n"
                              "</action>\n";
    const struct {
        const char* name;
        QByteArray text;
    } files[] = {
        {"an entity", "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE actions [\n  <!ENTITY cmd "
                      "\"x-terminal-emulator\">\n]>\n"
                      "<actions>\n" +
                          action + "</actions>\n"},
        {"an entity that hides Trovex's own action",
         "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE actions [\n  <!ENTITY cmd \"x-terminal-emulator\">\n"
         "  <!ENTITY ours \"<action><name>Run Trovex</name><unique-id>trovex-run</unique-id>"
         "<command>false</command><patterns>*</patterns><directories/></action>\">\n]>\n"
         "<actions>\n" +
             action + "&ours;\n</actions>\n"},
        {"an external document type",
         "<?xml version=\"1.0\"?>\n<!DOCTYPE actions SYSTEM \"file:///etc/hostname\">\n<actions>\n" +
             QByteArray(action).replace("&cmd;", "x-terminal-emulator") + "</actions>\n"},
    };
    for (const auto& f : files) {
        putFile(uca, f.text);
        for (const QString& p : DesktopMenuEntries::paths())
            QFile::remove(p);
        QString thunarSaid, entriesSaid, report;
        const bool thunar = ThunarActions::write(runCommand(), &thunarSaid);
        const bool unchanged1 = contentOf(uca) == f.text;
        const bool entries = DesktopMenuEntries::write(runCommand(), &entriesSaid);
        const bool unchanged2 = contentOf(uca) == f.text;
        int written = 0;
        for (const QString& p : DesktopMenuEntries::paths())
            written += QFileInfo(p).isFile() && QFileInfo(p).size() > 0 ? 1 : 0;
        // The button's path: the key store, then the entries; pressed twice, on and off again.
        const bool on = ToggleContextMenu(false, QStringLiteral("/usr/bin/trovex"), &report);
        const bool unchanged3 = contentOf(uca) == f.text;
        QString offReport;
        const bool stillOn = ToggleContextMenu(false, QStringLiteral("/usr/bin/trovex"), &offReport);
        const bool unchanged4 = contentOf(uca) == f.text;
        int left = 0;
        for (const QString& p : DesktopMenuEntries::paths())
            left += QFileInfo(p).exists() ? 1 : 0;
        const bool unchanged = unchanged1 && unchanged2 && unchanged3 && unchanged4;
        const auto sameReason = [&](const QString& said) {
            return said.isEmpty() ? std::string("nothing") : said.contains(thunarSaid) ? "that" : text(said);
        };
        check(!thunar && !thunarSaid.isEmpty() && unchanged && written == 5 && on && report.contains(thunarSaid) &&
                  !stillOn && left == 0,
              std::string("uca.xml with ") + f.name + ": " + (unchanged ? "left byte for byte" : "CHANGED") +
                  "; ThunarActions::write " + (thunar ? "SUCCEEDED" : "refused") + ": \"" + text(thunarSaid) +
                  "\"; DesktopMenuEntries::write wrote " + std::to_string(written) + " of 5 entries, " +
                  (entries ? "true" : "false") + " saying " + sameReason(entriesSaid) + "; ToggleContextMenu " +
                  (on ? "on" : "OFF") + " saying " + sameReason(report) + ", then " + (stillOn ? "STILL ON" : "off") +
                  " leaving " + std::to_string(left) + " entries");
    }
    return failures ? 1 : 0;
}

int usage(const char* program) {
    std::fprintf(stderr,
                 "usage: %s deep-make ROOT LEVELS | deep-remove ROOT LEVELS | window-summary ROOT |\n"
                 "       full-disk BASE SOURCE | move-while-written SRC DST ROUNDS | uca-dtd BASE\n",
                 program);
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3)
        return usage(argv[0]);
    const std::string command = argv[1];
    const std::string first = argv[2];
    if (command == "deep-make" && argc == 4)
        return deepMake(first, std::atoi(argv[3]));
    if (command == "deep-remove" && argc == 4)
        return deepRemove(first, std::atoi(argv[3]));

    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (command == "window-summary" && argc == 3)
        return windowSummary(first);
    if (command == "full-disk" && argc == 4)
        return fullDisk(first, argv[3]);
    if (command == "move-while-written" && argc == 5)
        return moveWhileWritten(first, argv[3], std::max(1, std::atoi(argv[4])));
    if (command == "uca-dtd" && argc == 3)
        return ucaDtd(first);
    return usage(argv[0]);
}
