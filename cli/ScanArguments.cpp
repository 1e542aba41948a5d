#include "cli/ScanArguments.h"

#include "platform/FileName.h"
#include "text/FileHelpers.h"

#include <QDate>
#include <QFile>
#include <cmath>
#include <limits>
#include <optional>

namespace {

QString u(const char* text) {
    return QString::fromLatin1(text);
}

struct Reader {
    const QStringList& args;
    qsizetype next = 0;
    QString error;

    // The value of the option at args[next - 1]: its "=" part, else the next argument.
    std::optional<QString> value(const QString& name, const std::optional<QString>& inline_) {
        if (inline_)
            return inline_;
        if (next >= args.size()) {
            error = QStringLiteral("option %1 needs a value").arg(name);
            return std::nullopt;
        }
        return args[next++];
    }
};

std::optional<double> dateValue(const QString& text) {
    const QDate date = QDate::fromString(text, Qt::ISODate);
    if (!date.isValid() || text.size() != 10)
        return std::nullopt;
    return EncodeDateTime(date.year(), date.month(), date.day(), 0, 0, 0, 0);
}

// The value a word names in a table of words and values; none for a word not in it.
template <class Value, size_t N>
std::optional<Value> named(const std::pair<const char*, Value> (&table)[N], const QString& word) {
    for (const auto& [name, value] : table) {
        if (word == QLatin1String(name))
            return value;
    }
    return std::nullopt;
}

const std::pair<const char*, DateRelation> dateRelations[] = {
    {"before", DateRelation::Before}, {"on", DateRelation::Equal}, {"after", DateRelation::After}};
const std::pair<const char*, SizeRelation> sizeRelations[] = {
    {"less", SizeRelation::Less}, {"equal", SizeRelation::Equal}, {"greater", SizeRelation::Greater}};
const std::pair<const char*, OutputFormat> outputFormats[] = {
    {"table", OutputFormat::Table}, {"csv", OutputFormat::Csv},   {"csv-utf16", OutputFormat::CsvUtf16},
    {"tsv", OutputFormat::Tsv},     {"json", OutputFormat::Json},
};
const std::pair<const char*, RowOrder> summaryOrders[] = {
    {"walk", RowOrder::Walk}, {"type", RowOrder::Type}, {"count", RowOrder::Count}, {"size", RowOrder::Size}};
const std::pair<const char*, RowOrder> listOrders[] = {{"walk", RowOrder::Walk},
                                                       {"path", RowOrder::Path},
                                                       {"size", RowOrder::Size},
                                                       {"created", RowOrder::Created},
                                                       {"modified", RowOrder::Modified}};

ParsedScanArguments failure(const QString& error) {
    ParsedScanArguments parsed;
    parsed.kind = ParsedScanArguments::Kind::Error;
    parsed.error = error;
    return parsed;
}

// The reading of the options: what is read so far, and where the arguments stand.
struct Parse {
    Reader in;
    ScanRequest& r;
    QStringList folders;
    QString sortText;
    QStringList conditions;
    QStringList duplicateOptions;
};

// An option: the names it goes by, and what it does with the parse, its name and its "=" value.
struct Option {
    const char* names[2];
    void (*read)(Parse& p, const QString& name, const std::optional<QString>& inlineValue);
};

// Options without a value; "--x=..." is refused.
bool noValue(Parse& p, const QString& name, const std::optional<QString>& inlineValue) {
    if (inlineValue)
        p.in.error = QStringLiteral("option %1 takes no value").arg(name);
    return !inlineValue;
}

void readAttribute(Parse& p, const QString& name, const std::optional<QString>& inlineValue) {
    if (!noValue(p, name, inlineValue))
        return;
    AttributeCondition& attributes = p.r.options.attributes;
    attributes.on = true;
    (name == u("--read-only") ? attributes.readOnly : attributes.archive) = true;
    p.conditions.append(name);
}

void readFormat(Parse& p, const QString& name, const std::optional<QString>& inlineValue) {
    if (const auto v = p.in.value(name, inlineValue)) {
        if (const auto format = named(outputFormats, *v))
            p.r.format = *format;
        else
            p.in.error = QStringLiteral("unknown format \"%1\" (table, csv, csv-utf16, tsv or json)").arg(*v);
    }
}

void readOutput(Parse& p, const QString& name, const std::optional<QString>& inlineValue) {
    if (const auto v = p.in.value(name, inlineValue)) {
        if (v->isEmpty())
            p.in.error = QStringLiteral("option %1 needs a file name").arg(name);
        p.r.outputPath = *v;
    }
}

void readMask(Parse& p, const QString& name, const std::optional<QString>& inlineValue) {
    if (const auto v = p.in.value(name, inlineValue)) {
        MaskCondition& mask = name == u("--type") ? p.r.options.typeMask : p.r.options.nameMask;
        mask.on = true;
        mask.mask = *v;
        p.conditions.append(name);
    }
}

void readDate(Parse& p, const QString& name, const std::optional<QString>& inlineValue) {
    const auto relation = p.in.value(name, inlineValue);
    const auto date = relation ? p.in.value(name, std::nullopt) : std::nullopt;
    if (!relation || !date)
        return;
    const auto rel = named(dateRelations, *relation);
    const auto value = dateValue(*date);
    if (!rel)
        p.in.error = QStringLiteral("%1 takes before, on or after, not \"%2\"").arg(name, *relation);
    else if (!value)
        p.in.error = QStringLiteral("%1: \"%2\" is no date of the form YYYY-MM-DD").arg(name, *date);
    else
        (name == u("--created") ? p.r.options.created : p.r.options.modified) = DateCondition{true, *rel, *value};
    p.conditions.append(name);
}

void readSize(Parse& p, const QString& name, const std::optional<QString>& inlineValue) {
    const auto relation = p.in.value(name, inlineValue);
    const auto amount = relation ? p.in.value(name, std::nullopt) : std::nullopt;
    if (!relation || !amount)
        return;
    bool ok = false;
    const double kilobytes = amount->toDouble(&ok);
    const auto rel = named(sizeRelations, *relation);
    if (!rel)
        p.in.error = QStringLiteral("--size takes less, equal or greater, not \"%1\"").arg(*relation);
    else if (!ok || !std::isfinite(kilobytes) || kilobytes < 0)
        p.in.error = QStringLiteral("--size: \"%1\" is no number of kilobytes").arg(*amount);
    else
        p.r.options.size = SizeCondition{true, *rel, kilobytes};
    p.conditions.append(name);
}

void readExclude(Parse& p, const QString& name, const std::optional<QString>& inlineValue) {
    if (const auto v = p.in.value(name, inlineValue)) {
        if (v->isEmpty())
            p.in.error = QStringLiteral("option %1 needs a pattern").arg(name);
        p.r.excludes.append(*v);
    }
}

// One pattern a line; blank lines add none, and a CR before the newline is no part of a pattern.
void readExcludeFrom(Parse& p, const QString& name, const std::optional<QString>& inlineValue) {
    const auto v = p.in.value(name, inlineValue);
    if (!v)
        return;
    QFile file(*v);
    if (!file.open(QIODevice::ReadOnly)) {
        p.in.error = QStringLiteral("%1: cannot read %2: %3").arg(name, *v, file.errorString());
        return;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        p.in.error = QStringLiteral("%1: cannot read %2: %3").arg(name, *v, file.errorString());
        return;
    }
    for (QByteArray line : bytes.split('\n')) {
        if (line.endsWith('\r'))
            line.chop(1);
        if (!line.trimmed().isEmpty())
            p.r.excludes.append(platform::decodeFileName(line.constData(), line.size()));
    }
}

// A number of bytes, or of KiB, MiB or GiB with the suffix K, M or G.
void readMinimumSize(Parse& p, const QString& name, const std::optional<QString>& inlineValue) {
    const auto v = p.in.value(name, inlineValue);
    if (!v)
        return;
    QString digits = *v;
    int shift = 0;
    if (!digits.isEmpty()) {
        const qsizetype unit = QStringLiteral("KMG").indexOf(digits.back().toUpper());
        if (unit >= 0) {
            shift = 10 * int(unit + 1);
            digits.chop(1);
        }
    }
    bool ok = false;
    const qint64 amount = digits.toLongLong(&ok);
    if (!ok || amount < 0 || amount > (std::numeric_limits<qint64>::max() >> shift))
        p.in.error = QStringLiteral("%1: \"%2\" is no size (bytes, or a number with K, M or G)").arg(name, *v);
    else
        p.r.minimumSize = amount << shift;
    p.duplicateOptions.append(name);
}

const Option options[] = {
    {{"--hidden"}, [](Parse& p, const QString& n, const auto& v) { p.r.options.excludeHidden &= !noValue(p, n, v); }},
    {{"--system"}, [](Parse& p, const QString& n, const auto& v) { p.r.options.excludeSystem &= !noValue(p, n, v); }},
    {{"--no-subfolders"}, [](Parse& p, const QString& n, const auto& v) { p.r.recurse &= !noValue(p, n, v); }},
    {{"--bytes"}, [](Parse& p, const QString& n, const auto& v) { p.r.exact |= noValue(p, n, v); }},
    {{"--null"}, [](Parse& p, const QString& n, const auto& v) { p.r.nullEnds |= noValue(p, n, v); }},
    {{"--quiet", "-q"}, [](Parse& p, const QString& n, const auto& v) { p.r.quiet |= noValue(p, n, v); }},
    {{"--read-only", "--archive"}, readAttribute},
    {{"--format"}, readFormat},
    {{"--sort"},
     [](Parse& p, const QString& n, const auto& v) {
         if (const auto text = p.in.value(n, v))
             p.sortText = *text;
     }},
    {{"-o", "--output"}, readOutput},
    {{"--type", "--name"}, readMask},
    {{"--created", "--modified"}, readDate},
    {{"--size"}, readSize},
    {{"-x", "--one-file-system"},
     [](Parse& p, const QString& n, const auto& v) { p.r.oneFileSystem |= noValue(p, n, v); }},
    {{"--exclude"}, readExclude},
    {{"--exclude-from"}, readExcludeFrom},
    {{"--min-size"}, readMinimumSize},
    {{"--empty"},
     [](Parse& p, const QString& n, const auto& v) {
         p.r.includeEmpty |= noValue(p, n, v);
         p.duplicateOptions.append(n);
     }},
    {{"--paranoid"},
     [](Parse& p, const QString& n, const auto& v) {
         p.r.paranoid |= noValue(p, n, v);
         p.duplicateOptions.append(n);
     }},
    {{"--disk-usage"}, [](Parse& p, const QString& n, const auto& v) { p.r.diskUsage |= noValue(p, n, v); }},
};

const Option* optionNamed(const QString& name) {
    for (const Option& option : options) {
        for (const char* known : option.names) {
            if (known && name == QLatin1String(known))
                return &option;
        }
    }
    return nullptr;
}

// The command word: help, the version, or the request to fill.
std::optional<ParsedScanArguments> readCommand(const QString& first, ScanRequest& r) {
    ParsedScanArguments parsed;
    if (first == u("--help") || first == u("-h")) {
        parsed.kind = ParsedScanArguments::Kind::Help;
        return parsed;
    }
    if (first == u("--version") || first == u("-V")) {
        parsed.kind = ParsedScanArguments::Kind::Version;
        return parsed;
    }
    if (first == u("summary")) {
        r.command = ScanCommand::Summary;
        r.order = RowOrder::Size;
    } else if (first == u("list")) {
        r.command = ScanCommand::List;
        r.order = RowOrder::Walk;
    } else if (first == u("duplicates")) {
        r.command = ScanCommand::Duplicates;
        r.order = RowOrder::Walk;
    } else {
        return failure(QStringLiteral("unknown command \"%1\" (summary, list or duplicates)").arg(first));
    }
    return std::nullopt;
}

// What the options leave to check once all are read; an error, or nothing.
QString finish(Parse& p) {
    ScanRequest& r = p.r;
    const bool duplicates = r.command == ScanCommand::Duplicates;
    if (p.folders.isEmpty())
        return QStringLiteral("a folder is needed");
    if (p.folders.size() != 1 && !duplicates)
        return QStringLiteral("one folder only, not %1").arg(p.folders.size());
    r.roots = p.folders;
    r.root = p.folders.first();
    if (r.roots.contains(QString()))
        return QStringLiteral("the folder name is empty");
    if (!duplicates && !p.duplicateOptions.isEmpty())
        return QStringLiteral("%1 belongs to duplicates").arg(p.duplicateOptions.first());
    if (duplicates && !p.sortText.isEmpty())
        return QStringLiteral("duplicates lists the groups by the space they waste; it takes no --sort");
    if (duplicates && r.format == OutputFormat::CsvUtf16)
        return QStringLiteral("duplicates takes no csv-utf16 format");
    if (duplicates && r.diskUsage)
        return QStringLiteral("duplicates takes no --disk-usage");
    if (r.command == ScanCommand::Summary && !p.conditions.isEmpty())
        return QStringLiteral("%1 is a condition of list; a summary counts every file").arg(p.conditions.first());
    if (!p.sortText.isEmpty()) {
        const bool summary = r.command == ScanCommand::Summary;
        const auto order = summary ? named(summaryOrders, p.sortText) : named(listOrders, p.sortText);
        if (!order)
            return summary ? QStringLiteral("summary sorts by walk, type, count or size, not \"%1\"").arg(p.sortText)
                           : QStringLiteral("list sorts by walk, path, size, created or modified, not \"%1\"")
                                 .arg(p.sortText);
        r.order = *order;
    }
    if (r.nullEnds && r.format != OutputFormat::Table && r.format != OutputFormat::Tsv)
        return QStringLiteral("--null writes names only and takes no csv, csv-utf16 or json format");
    if (r.exact && r.format == OutputFormat::CsvUtf16)
        return QStringLiteral("csv-utf16 is the window's file, with its texts; it takes no --bytes");
    return {};
}

} // namespace

ParsedScanArguments parseScanArguments(const QStringList& arguments) {
    if (arguments.isEmpty())
        return failure(QStringLiteral("a command is needed: summary or list"));
    ParsedScanArguments parsed;
    if (std::optional<ParsedScanArguments> early = readCommand(arguments.first(), parsed.request))
        return *early;
    Parse p{Reader{arguments, 1, {}}, parsed.request, {}, {}, {}, {}};
    bool optionsEnded = false;
    while (p.in.next < arguments.size()) {
        const QString arg = arguments[p.in.next++];
        if (optionsEnded || !arg.startsWith(u'-') || arg == u("-")) {
            p.folders.append(arg);
            continue;
        }
        if (arg == u("--")) {
            optionsEnded = true;
            continue;
        }
        QString name = arg;
        std::optional<QString> inlineValue;
        if (const qsizetype eq = arg.indexOf(u'='); arg.startsWith(u("--")) && eq > 0) {
            name = arg.left(eq);
            inlineValue = arg.mid(eq + 1);
        }
        if (const Option* option = optionNamed(name))
            option->read(p, name, inlineValue);
        else
            p.in.error = QStringLiteral("unknown option %1").arg(name);
        if (!p.in.error.isEmpty())
            return failure(p.in.error);
    }
    if (const QString error = finish(p); !error.isEmpty())
        return failure(error);
    parsed.kind = ParsedScanArguments::Kind::Run;
    return parsed;
}

QString scanUsage() {
    return QStringLiteral(
        "Usage: trovex-scan summary [OPTIONS] FOLDER\n"
        "       trovex-scan list [CONDITIONS] [OPTIONS] FOLDER\n"
        "       trovex-scan duplicates [CONDITIONS] [OPTIONS] FOLDER...\n"
        "       trovex-scan --help | --version\n"
        "\n"
        "summary  one row per file type: type, description, count, size; then the totals\n"
        "list     the files that meet every condition given (every file when none is)\n"
        "duplicates  groups of files with the same content among those list would give, the\n"
        "         groups wasting most space first; hard links of one file are no copies\n"
        "\n"
        "Conditions of list and duplicates:\n"
        "  --type MASK                        extension mask, e.g. '*.jpg;*.png'\n"
        "  --name MASK                        name mask, e.g. 'report*'\n"
        "  --created before|on|after DATE     DATE as YYYY-MM-DD, in local time\n"
        "  --modified before|on|after DATE\n"
        "  --size less|equal|greater KB       size in kilobytes\n"
        "  --read-only, --archive             files with either attribute given (archive: regular files)\n"
        "\n"
        "Options:\n"
        "  --hidden          include hidden files (names beginning with \".\")\n"
        "  --system          include system files (devices, FIFOs, sockets)\n"
        "  --no-subfolders   the folder itself only\n"
        "  --exclude PATTERN leave out files and folders whose name matches PATTERN, a mask as\n"
        "                    --name takes it; a folder left out is not entered (repeatable)\n"
        "  --exclude-from FILE  the same for each line of FILE\n"
        "  -x, --one-file-system  do not enter folders on another file system than FOLDER\n"
        "                    (without it, the kernel's own file systems such as /proc, /sys and\n"
        "                    automount points are not entered unless FOLDER is on one)\n"
        "  --disk-usage      sizes as the disk space files take (allocated blocks), a file of\n"
        "                    several hard links counted once, at its first path\n"
        "  --min-size SIZE   duplicates: leave out files below SIZE bytes (or with K, M, G)\n"
        "  --empty           duplicates: compare empty files too (left out by default)\n"
        "  --paranoid        duplicates: compare the bytes of each group after the hashes\n"
        "  --sort KEY        summary: size (default), count, type or walk (the window's order);\n"
        "                    list: walk (default), path, size, created or modified\n"
        "  --format FORMAT   table (default), csv, tsv, json, or csv-utf16 (the window's CSV file)\n"
        "  --bytes           sizes in bytes and dates in ISO 8601 (json always has them)\n"
        "  --null            only the names, raw, each ended by NUL (for xargs -0)\n"
        "  -o, --output FILE write to FILE, which is replaced only when all is written\n"
        "  -q, --quiet       no progress line on a terminal\n"
        "\n"
        "Exit status: 0 found (duplicates: groups found), 1 nothing matched, 2 bad usage, 3 the folder cannot be "
        "read,\n"
        "4 the output cannot be written, 5 a folder or file below it could not be read (the\n"
        "results may be incomplete; it takes precedence over 0 and 1), 130 interrupted.\n");
}
