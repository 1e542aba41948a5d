#include "app/scan/ScanRun.h"

#include "app/scan/ConsoleHost.h"
#include "export/ListWriters.h"
#include "platform/FileName.h"
#include "platform/FileWriter.h"
#include "cli/CommandLine.h"
#include "text/FileHelpers.h"
#include "text/FileTypeName.h"
#include "walk/FolderWalker.h"
#include "cli/ScanArguments.h"
#include "records/TDataIndexList.h"
#include "records/TypeTotal.h"

#include <QCoreApplication>
#include <QFile>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace {

enum ExitStatus { Found = 0, NoMatch = 1, BadUsage = 2, RootUnreadable = 3, OutputFailed = 4 };

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

// Writes through write(device) to standard output, or to a file that takes the name only when
// everything was written and no interrupt came, so a failed or stopped run leaves nothing behind.
int writeOutput(const QString& path, const std::function<bool(QIODevice&, QString& error)>& write) {
    QString error;
    QFile device;
    if (path.isEmpty()) {
        if (!device.open(STDOUT_FILENO, QIODevice::WriteOnly, QFileDevice::DontCloseHandle) || !write(device, error) ||
            !device.flush()) {
            // An interrupt also breaks off a write to a pipe that is not being read.
            if (ConsoleHost::stopSignal() != 0)
                return 128 + ConsoleHost::stopSignal();
            complain(QStringLiteral("cannot write the output: %1").arg(error.isEmpty() ? device.errorString() : error));
            return OutputFailed;
        }
        return Found;
    }
    platform::FileWriter file;
    if (!file.create(path) || !write(file, error) || !file.finish()) {
        if (ConsoleHost::stopSignal() != 0)
            return 128 + ConsoleHost::stopSignal();
        complain(QStringLiteral("cannot write %1: %2").arg(path, error.isEmpty() ? file.errorString() : error));
        return OutputFailed;
    }
    // An interrupt keeps a new file from taking its name; what was written to a pipe or a device
    // in place is out already.
    if (ConsoleHost::stopSignal() != 0)
        return 128 + ConsoleHost::stopSignal();
    if (!file.commit()) {
        complain(QStringLiteral("cannot write %1: %2").arg(path, file.errorString()));
        return OutputFailed;
    }
    return Found;
}

int execute(const ScanRequest& r) {
    RunState run;
    TDataList typesList;
    TDataIndexList index;
    TFileList found;
    const bool summary = r.command == ScanCommand::Summary;
    ConsoleHost host(r.options, run, !r.quiet && ::isatty(STDERR_FILENO));
    FolderWalker walker(host, run, typesList, index, found);
    walker.setReadAheadWorkers(ReadAheadSettings::defaultWorkers());
    walker.ScanFolder(r.root, r.recurse, summary ? WalkMode::CountTypes : WalkMode::Criteria);
    host.clearProgress();
    if (ConsoleHost::stopSignal() != 0)
        return 128 + ConsoleHost::stopSignal();

    const ScanReport& report = walker.report();
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

    const OutputStyle style{r.format, r.exact, r.nullEnds};
    const auto write = [&](const ListRows& rows) {
        const int status = writeOutput(r.outputPath, [&](QIODevice& device, QString& error) {
            return writeRows(device, rows, style, r.root, &error);
        });
        return status == Found && rows.count() == 0 ? NoMatch : status;
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
