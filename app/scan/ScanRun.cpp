#include "app/scan/ScanRun.h"

#include "app/scan/ConsoleHost.h"
#include "cli/CommandLine.h"
#include "cli/ScanArguments.h"
#include "duplicates/DuplicateFinder.h"
#include "export/DuplicateWriters.h"
#include "export/ListWriters.h"
#include "platform/FileName.h"
#include "platform/FileWriter.h"
#include "records/TDataIndexList.h"
#include "records/TypeTotal.h"
#include "text/FileHelpers.h"
#include "text/FileTypeName.h"
#include "walk/FolderWalker.h"

#include "text/MaskMatcher.h"

#include <QCoreApplication>
#include <QFile>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <numeric>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace {

enum ExitStatus { Found = 0, NoMatch = 1, BadUsage = 2, RootUnreadable = 3, OutputFailed = 4, Incomplete = 5 };

// Listing data a streamed list reads ahead at most: its memory stays flat, and more does not walk
// faster on a warm tree.
constexpr size_t kStreamedReadAhead = size_t(16) << 20;
constexpr std::chrono::milliseconds kStreamedPump(1);

void say(FILE* stream, const QString& text) {
    const QByteArray bytes = platform::encodeFileName(text);
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
}

void complain(const QString& text) {
    say(stderr, QStringLiteral("trovex-scan: ") + text + QLatin1Char('\n'));
}

std::vector<TypeTotal> sortedTypeTotals(const TDataList& types, const TDataIndexList& index, RowOrder order) {
    FileTypeNameCache names;
    std::vector<TypeTotal> rows = typeTotals(types, index, [&names](const QString& type) { return names.name(type); });
    // Equal keys keep the walk's order, so the output is the same from run to run.
    switch (order) {
    case RowOrder::Type:
        std::stable_sort(rows.begin(), rows.end(),
                         [](const TypeTotal& a, const TypeTotal& b) { return CompareTextLocale(a.type, b.type) < 0; });
        break;
    case RowOrder::Count:
        std::stable_sort(rows.begin(), rows.end(),
                         [](const TypeTotal& a, const TypeTotal& b) { return a.count > b.count; });
        break;
    case RowOrder::Size:
        std::stable_sort(rows.begin(), rows.end(),
                         [](const TypeTotal& a, const TypeTotal& b) { return a.size > b.size; });
        break;
    default:
        break;
    }
    return rows;
}

std::vector<qsizetype> fileOrder(const TFileList& files, RowOrder order) {
    std::vector<qsizetype> rows(size_t(files.size()));
    for (qsizetype i = 0; i < files.size(); ++i)
        rows[size_t(i)] = i;
    const auto by = [&](auto less) { std::stable_sort(rows.begin(), rows.end(), less); };
    const auto value = [&files](qsizetype i, int slot) { return files.entry(i).values[slot]; };
    switch (order) {
    case RowOrder::Path:
        by([&files](qsizetype a, qsizetype b) {
            return files.arena()->view(files.entry(a).caption) < files.arena()->view(files.entry(b).caption);
        });
        break;
    case RowOrder::Size:
        by([&](qsizetype a, qsizetype b) { return value(a, FileSlot::Size) > value(b, FileSlot::Size); });
        break;
    case RowOrder::Created:
        by([&](qsizetype a, qsizetype b) { return value(a, FileSlot::Created) > value(b, FileSlot::Created); });
        break;
    case RowOrder::Modified:
        by([&](qsizetype a, qsizetype b) { return value(a, FileSlot::Modified) > value(b, FileSlot::Modified); });
        break;
    default:
        break;
    }
    return rows;
}

// Where the output goes: standard output, or a file that takes the name only when everything was
// written and no interrupt came, so a failed or stopped run leaves nothing behind.
class Destination {
public:
    explicit Destination(const QString& path) : m_path(path) {}

    // False when it cannot be written; close(false, ...) then says why.
    bool open() {
        if (m_path.isEmpty())
            return m_stdout.open(STDOUT_FILENO, QIODevice::WriteOnly | QIODevice::Unbuffered,
                                 QFileDevice::DontCloseHandle);
        return m_file.create(m_path);
    }
    QIODevice& device() { return m_path.isEmpty() ? static_cast<QIODevice&>(m_stdout) : m_file; }

    // The exit status once the writer is done (written: whether it wrote everything, error: its
    // reason when not): Found, OutputFailed, or an interrupt's.
    int close(bool written, const QString& error) {
        if (!written)
            return fail(error);
        if (!m_path.isEmpty() && !m_file.finish())
            return fail(QString());
        // An interrupt keeps a new file from taking its name; what was written to a pipe or a
        // device in place is out already.
        if (ConsoleHost::stopSignal() != 0)
            return 128 + ConsoleHost::stopSignal();
        if (!m_path.isEmpty() && !m_file.commit())
            return fail(QString());
        return Found;
    }

private:
    int fail(const QString& error) {
        // An interrupt also breaks off a write to a pipe that is not being read.
        if (ConsoleHost::stopSignal() != 0)
            return 128 + ConsoleHost::stopSignal();
        const QString reason = !error.isEmpty() ? error : device().errorString();
        complain(m_path.isEmpty() ? QStringLiteral("cannot write the output: %1").arg(reason)
                                  : QStringLiteral("cannot write %1: %2").arg(m_path, reason));
        return OutputFailed;
    }

    const QString m_path;
    QFile m_stdout;
    platform::FileWriter m_file;
};

// Names left out by --exclude, by the masks' rules. Called on the read-ahead's threads too: the
// matchers are only read.
std::function<bool(std::string_view)> leftOutBy(const QStringList& masks) {
    if (masks.isEmpty())
        return {};
    auto matchers = std::make_shared<std::vector<MaskMatcher>>();
    for (const QString& mask : masks)
        matchers->emplace_back(mask);
    return [matchers](std::string_view name) {
        const QString text = platform::decodeFileName(name.data(), qsizetype(name.size()));
        return std::any_of(matchers->begin(), matchers->end(), [&](const MaskMatcher& m) { return m.matches(text); });
    };
}

// What the walk could not read, said once it ended; an exit status when the run ends there.
std::optional<int> rootStatus(const ScanRequest& r, const ScanReport& report) {
    if (ConsoleHost::stopSignal() != 0)
        return 128 + ConsoleHost::stopSignal();
    if (report.rootMissing) {
        complain(report.text(r.root));
        return RootUnreadable;
    }
    // The root is the first folder listed, so when it could not be read it is the first reported.
    if (report.unreadFolders > 0 && report.firstPath == r.root) {
        complain(
            QStringLiteral("cannot read %1: %2").arg(r.root, QString::fromLocal8Bit(std::strerror(report.firstError))));
        return RootUnreadable;
    }
    if (!report.isEmpty())
        complain(report.text(r.root));
    return std::nullopt;
}

// The status of a run whose output was written: what was found, unless something was not read.
int finalStatus(int written, qint64 rows, const ScanReport& report) {
    if (written != Found)
        return written;
    if (!report.isEmpty())
        return Incomplete;
    return rows == 0 ? NoMatch : Found;
}

// A list in walk order: each batch of rows the walk found is written at the next pump and let go,
// so memory stays flat however many files there are.
int streamList(const ScanRequest& r, ConsoleHost& host, RunState& run, FolderWalker& walker, TFileList& found) {
    Destination out(r.outputPath);
    if (!out.open())
        return out.close(false, QString());
    RowStream stream(out.device(), OutputStyle{r.format, r.exact, r.nullEnds}, r.root, ListKind::Files,
                     fileListColumns());
    std::vector<qsizetype> order;
    bool failed = false;
    const auto drain = [&] {
        if (found.empty() || failed)
            return;
        order.resize(size_t(found.size()));
        std::iota(order.begin(), order.end(), qsizetype(0));
        if (!stream.write(FoundFileRows(found, order))) {
            failed = true;
            run.StopSearch = true; // nobody reads on: the walk ends
        }
        host.rowsHandedOn(found.size());
        found.clear();
    };
    host.setOnPump(drain);
    walker.ScanFolder(r.root, r.recurse, WalkMode::Criteria);
    host.setOnPump({});
    drain();
    host.clearProgress();
    if (failed)
        return out.close(false, stream.error());
    if (const std::optional<int> status = rootStatus(r, walker.report()))
        return *status;
    const bool written = stream.finish();
    return finalStatus(out.close(written, stream.error()), stream.rowsWritten(), walker.report());
}

// A file given as the folder exists: "not found" would mislead.
bool isFolderOrMissing(const QString& root) {
    struct stat st;
    if (::stat(platform::encodeFileName(root).constData(), &st) == 0 && !S_ISDIR(st.st_mode)) {
        complain(QStringLiteral("Not a folder: %1").arg(root));
        return false;
    }
    return true;
}

// How a trovex-scan walk reads: ahead on workers, on the mounts and without the names asked.
ReadAheadSettings walkSettings(const ScanRequest& r, bool streamed) {
    ReadAheadSettings settings;
    settings.workers = ReadAheadSettings::defaultWorkers();
    settings.mounts = r.oneFileSystem ? ReadAheadSettings::Mounts::SameDevice : ReadAheadSettings::Mounts::NoKernel;
    settings.leftOut = leftOutBy(r.excludes);
    if (streamed)
        settings.budgetBytes = kStreamedReadAhead;
    return settings;
}

// A line on a terminal while the files are compared, at most ten times a second.
class CompareProgress {
public:
    explicit CompareProgress(bool shown) : m_shown(shown) {}
    ~CompareProgress() {
        if (m_drawn)
            say(stderr, QStringLiteral("\r\033[K"));
    }
    void show(const DuplicateProgress& p) {
        const auto now = std::chrono::steady_clock::now();
        if (!m_shown || now - m_last < std::chrono::milliseconds(100))
            return;
        m_last = now;
        m_drawn = true;
        say(stderr, QStringLiteral("\rcomparing: %1 of %2 files, %3 of %4\033[K")
                        .arg(p.files)
                        .arg(p.totalFiles)
                        .arg(FormatSize(p.bytes), FormatSize(p.totalBytes)));
        std::fflush(stderr);
    }

private:
    const bool m_shown;
    bool m_drawn = false;
    std::chrono::steady_clock::time_point m_last;
};

// The files of every root as list finds them, handed to the finder at each pump and let go.
// An exit status when a root cannot be walked; incomplete tells whether something below one
// could not be read.
std::optional<int> walkCandidates(const ScanRequest& r, ConsoleHost& host, RunState& run, DuplicateFinder& finder,
                                  bool& incomplete) {
    TDataList typesList;
    TDataIndexList index;
    TFileList found;
    FolderWalker walker(host, run, typesList, index, found);
    walker.setReadAhead(walkSettings(r, true));
    const auto drain = [&] {
        for (qsizetype i = 0; i < found.size(); ++i)
            finder.add(found.arena()->view(found.entry(i).caption));
        host.rowsHandedOn(found.size());
        found.clear();
    };
    host.setOnPump(drain);
    for (const QString& root : r.roots) {
        walker.ScanFolder(root, r.recurse, WalkMode::Criteria);
        drain();
        host.clearProgress();
        ScanRequest one = r;
        one.root = root;
        if (const std::optional<int> status = rootStatus(one, walker.report()))
            return status;
        incomplete |= !walker.report().isEmpty();
    }
    host.setOnPump({});
    return std::nullopt;
}

int findDuplicates(const ScanRequest& r) {
    if (!std::all_of(r.roots.begin(), r.roots.end(), isFolderOrMissing))
        return RootUnreadable;
    DuplicateOptions options;
    options.includeEmpty = r.includeEmpty;
    options.minimumSize = r.minimumSize;
    options.paranoid = r.paranoid;
    DuplicateFinder finder(options);
    RunState run;
    const bool onTerminal = !r.quiet && ::isatty(STDERR_FILENO);
    ConsoleHost host(r.options, run, onTerminal);
    bool incomplete = false;
    if (const std::optional<int> status = walkCandidates(r, host, run, finder, incomplete))
        return *status;
    DuplicateResult result;
    {
        CompareProgress progress(onTerminal);
        result = finder.run([&](const DuplicateProgress& p) {
            if (ConsoleHost::stopSignal() != 0)
                finder.cancel();
            progress.show(p);
        });
    }
    if (ConsoleHost::stopSignal() != 0)
        return 128 + ConsoleHost::stopSignal();
    if (!result.unread.empty()) {
        const UnreadFile& first = result.unread.front();
        const qsizetype n = qsizetype(result.unread.size());
        complain(QStringLiteral("%1 could not be compared (first: %2: %3)")
                     .arg(n == 1 ? QStringLiteral("1 file") : QStringLiteral("%1 files").arg(n),
                          platform::decodeFileName(first.path.constData(), first.path.size()), first.reason()));
        incomplete = true;
    }
    Destination out(r.outputPath);
    QString error;
    const bool written = out.open() && writeDuplicates(out.device(), result, OutputStyle{r.format, r.exact, r.nullEnds},
                                                       r.roots, &error);
    const int status = out.close(written, error);
    if (status != Found)
        return status;
    if (incomplete)
        return Incomplete;
    return result.groups.empty() ? NoMatch : Found;
}

int execute(const ScanRequest& r) {
    if (r.command == ScanCommand::Duplicates)
        return findDuplicates(r);
    if (!isFolderOrMissing(r.root))
        return RootUnreadable;
    RunState run;
    TDataList typesList;
    TDataIndexList index;
    TFileList found;
    const bool summary = r.command == ScanCommand::Summary;
    const bool streamed = !summary && r.order == RowOrder::Walk;
    // Rows streamed to the terminal are progress enough; a line drawn between them would garble them.
    const bool rowsOnTerminal = streamed && r.outputPath.isEmpty() && ::isatty(STDOUT_FILENO);
    ConsoleHost host(r.options, run, !r.quiet && ::isatty(STDERR_FILENO) && !rowsOnTerminal);
    FolderWalker walker(host, run, typesList, index, found);
    walker.setReadAhead(walkSettings(r, streamed));
    // Rows go out at each pump; here a pump processes no events, so one every millisecond costs
    // little and brings the first row sooner.
    if (streamed)
        walker.setPumpInterval(kStreamedPump);
    walker.setDiskUsage(r.diskUsage);
    if (streamed)
        return streamList(r, host, run, walker, found);

    walker.ScanFolder(r.root, r.recurse, summary ? WalkMode::CountTypes : WalkMode::Criteria);
    host.clearProgress();
    if (const std::optional<int> status = rootStatus(r, walker.report()))
        return *status;

    const OutputStyle style{r.format, r.exact, r.nullEnds};
    const auto write = [&](const ListRows& rows) {
        Destination out(r.outputPath);
        QString error;
        const bool written = out.open() && writeRows(out.device(), rows, style, r.root, &error);
        return finalStatus(out.close(written, error), rows.count(), walker.report());
    };
    if (summary) {
        const std::vector<TypeTotal> types = sortedTypeTotals(typesList, index, r.order);
        return write(TypeTotalRows(types));
    }
    const std::vector<qsizetype> order = fileOrder(found, r.order);
    return write(FoundFileRows(found, order));
}

} // namespace

int runScan(int argc, char** argv) {
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << platform::decodeFileName(argv[i], qsizetype(std::strlen(argv[i])));
    const ParsedScanArguments parsed = parseScanArguments(arguments);
    switch (parsed.kind) {
    case ParsedScanArguments::Kind::Help:
        say(stdout, scanUsage());
        return Found;
    case ParsedScanArguments::Kind::Version:
        say(stdout, versionText(QStringLiteral("trovex-scan")));
        return Found;
    case ParsedScanArguments::Kind::Error:
        complain(parsed.error);
        say(stderr, scanUsage());
        return BadUsage;
    case ParsedScanArguments::Kind::Run:
        break;
    }
    // The MIME database and the locale's collation expect an application object.
    QCoreApplication app(argc, argv);
    return execute(parsed.request);
}
