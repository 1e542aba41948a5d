#include "search/ScanArguments.h"

#include "search/FileHelpers.h"

#include <QDate>
#include <cmath>
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

} // namespace

ParsedScanArguments parseScanArguments(const QStringList& arguments) {
    ParsedScanArguments parsed;
    if (arguments.isEmpty())
        return failure(QStringLiteral("a command is needed: summary or list"));
    const QString& first = arguments.first();
    if (first == u("--help") || first == u("-h")) {
        parsed.kind = ParsedScanArguments::Kind::Help;
        return parsed;
    }
    if (first == u("--version") || first == u("-V")) {
        parsed.kind = ParsedScanArguments::Kind::Version;
        return parsed;
    }
    ScanRequest& r = parsed.request;
    if (first == u("summary")) {
        r.command = ScanCommand::Summary;
        r.order = RowOrder::Size;
    } else if (first == u("list")) {
        r.command = ScanCommand::List;
        r.order = RowOrder::Walk;
    } else {
        return failure(QStringLiteral("unknown command \"%1\" (summary or list)").arg(first));
    }

    Reader in{arguments, 1, {}};
    QStringList folders;
    QString sortText;
    QStringList conditions;
    bool optionsEnded = false;
    while (in.next < arguments.size()) {
        const QString arg = arguments[in.next++];
        if (optionsEnded || !arg.startsWith(u'-') || arg == u("-")) {
            folders.append(arg);
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
        const auto takesNoValue = [&]() {
            if (inlineValue)
                in.error = QStringLiteral("option %1 takes no value").arg(name);
            return !inlineValue;
        };

        if (name == u("--hidden")) {
            if (takesNoValue())
                r.options.excludeHidden = false;
        } else if (name == u("--system")) {
            if (takesNoValue())
                r.options.excludeSystem = false;
        } else if (name == u("--no-subfolders")) {
            if (takesNoValue())
                r.recurse = false;
        } else if (name == u("--bytes")) {
            if (takesNoValue())
                r.exact = true;
        } else if (name == u("--null")) {
            if (takesNoValue())
                r.nullEnds = true;
        } else if (name == u("--quiet") || name == u("-q")) {
            if (takesNoValue())
                r.quiet = true;
        } else if (name == u("--read-only") || name == u("--archive")) {
            if (takesNoValue()) {
                r.options.attributes.on = true;
                (name == u("--read-only") ? r.options.attributes.readOnly : r.options.attributes.archive) = true;
                conditions.append(name);
            }
        } else if (name == u("--format")) {
            if (const auto v = in.value(name, inlineValue)) {
                if (const auto f = named(outputFormats, *v))
                    r.format = *f;
                else
                    in.error = QStringLiteral("unknown format \"%1\" (table, csv, csv-utf16, tsv or json)").arg(*v);
            }
        } else if (name == u("--sort")) {
            if (const auto v = in.value(name, inlineValue))
                sortText = *v;
        } else if (name == u("-o") || name == u("--output")) {
            if (const auto v = in.value(name, inlineValue)) {
                if (v->isEmpty())
                    in.error = QStringLiteral("option %1 needs a file name").arg(name);
                r.outputPath = *v;
            }
        } else if (name == u("--type") || name == u("--name")) {
            if (const auto v = in.value(name, inlineValue)) {
                MaskCondition& mask = name == u("--type") ? r.options.typeMask : r.options.nameMask;
                mask.on = true;
                mask.mask = *v;
                conditions.append(name);
            }
        } else if (name == u("--created") || name == u("--modified")) {
            const auto relation = in.value(name, inlineValue);
            const auto date = relation ? in.value(name, std::nullopt) : std::nullopt;
            if (relation && date) {
                DateCondition& c = name == u("--created") ? r.options.created : r.options.modified;
                const auto rel = named(dateRelations, *relation);
                const auto value = dateValue(*date);
                if (!rel)
                    in.error = QStringLiteral("%1 takes before, on or after, not \"%2\"").arg(name, *relation);
                else if (!value)
                    in.error = QStringLiteral("%1: \"%2\" is no date of the form YYYY-MM-DD").arg(name, *date);
                else
                    c = DateCondition{true, *rel, *value};
                conditions.append(name);
            }
        } else if (name == u("--size")) {
            const auto relation = in.value(name, inlineValue);
            const auto amount = relation ? in.value(name, std::nullopt) : std::nullopt;
            if (relation && amount) {
                bool ok = false;
                const double kilobytes = amount->toDouble(&ok);
                const auto rel = named(sizeRelations, *relation);
                if (!rel)
                    in.error = QStringLiteral("--size takes less, equal or greater, not \"%1\"").arg(*relation);
                else if (!ok || !std::isfinite(kilobytes) || kilobytes < 0)
                    in.error = QStringLiteral("--size: \"%1\" is no number of kilobytes").arg(*amount);
                else
                    r.options.size = SizeCondition{true, *rel, kilobytes};
                conditions.append(name);
            }
        } else {
            in.error = QStringLiteral("unknown option %1").arg(name);
        }
        if (!in.error.isEmpty())
            return failure(in.error);
    }

    if (folders.size() != 1)
        return failure(folders.isEmpty() ? QStringLiteral("a folder is needed")
                                         : QStringLiteral("one folder only, not %1").arg(folders.size()));
    r.root = folders.first();
    if (r.root.isEmpty())
        return failure(QStringLiteral("the folder name is empty"));
    if (r.command == ScanCommand::Summary && !conditions.isEmpty())
        return failure(
            QStringLiteral("%1 is a condition of list; a summary counts every file").arg(conditions.first()));
    if (!sortText.isEmpty()) {
        const auto order =
            r.command == ScanCommand::Summary ? named(summaryOrders, sortText) : named(listOrders, sortText);
        if (!order)
            return failure(
                r.command == ScanCommand::Summary
                    ? QStringLiteral("summary sorts by walk, type, count or size, not \"%1\"").arg(sortText)
                    : QStringLiteral("list sorts by walk, path, size, created or modified, not \"%1\"").arg(sortText));
        r.order = *order;
    }
    if (r.nullEnds && r.format != OutputFormat::Table && r.format != OutputFormat::Tsv)
        return failure(QStringLiteral("--null writes names only and takes no csv, csv-utf16 or json format"));
    if (r.exact && r.format == OutputFormat::CsvUtf16)
        return failure(QStringLiteral("csv-utf16 is the window's file, with its texts; it takes no --bytes"));
    parsed.kind = ParsedScanArguments::Kind::Run;
    return parsed;
}

QString scanUsage() {
    return QStringLiteral(
        "Usage: trovex-scan summary [OPTIONS] FOLDER\n"
        "       trovex-scan list [CONDITIONS] [OPTIONS] FOLDER\n"
        "       trovex-scan --help | --version\n"
        "\n"
        "summary  one row per file type: type, description, count, size; then the totals\n"
        "list     the files that meet every condition given (every file when none is)\n"
        "\n"
        "Conditions of list:\n"
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
        "  --sort KEY        summary: size (default), count, type or walk (the window's order);\n"
        "                    list: walk (default), path, size, created or modified\n"
        "  --format FORMAT   table (default), csv, tsv, json, or csv-utf16 (the window's CSV file)\n"
        "  --bytes           sizes in bytes and dates in ISO 8601 (json always has them)\n"
        "  --null            only the names, raw, each ended by NUL (for xargs -0)\n"
        "  -o, --output FILE write to FILE, which is replaced only when all is written\n"
        "  -q, --quiet       no progress line on a terminal\n"
        "\n"
        "Exit status: 0 found, 1 nothing matched, 2 bad usage, 3 the folder cannot be read,\n"
        "4 the output cannot be written, 130 interrupted.\n");
}
