#include "cli/ScanArguments.h"
#include "support/TempTree.h"
#include "text/FileHelpers.h"

#include <functional>
#include <gtest/gtest.h>

namespace {

QStringList args(std::initializer_list<const char*> texts) {
    QStringList out;
    for (const char* t : texts)
        out << QString::fromUtf8(t);
    return out;
}

TEST(ScanArguments, EachOptionSetsItsPartOfTheRequest) {
    using Check = std::function<void(const ScanRequest&)>;
    const struct {
        QStringList arguments;
        Check check;
    } cases[] = {
        {args({"summary", "/data"}),
         [](const ScanRequest& r) {
             EXPECT_EQ(r.command, ScanCommand::Summary);
             EXPECT_EQ(r.root, QStringLiteral("/data"));
             EXPECT_EQ(r.order, RowOrder::Size);
             EXPECT_EQ(r.format, OutputFormat::Table);
             EXPECT_TRUE(r.recurse);
             EXPECT_EQ(r.options, ScanOptions());
             EXPECT_FALSE(r.exact || r.nullEnds || r.quiet);
             EXPECT_TRUE(r.outputPath.isEmpty());
         }},
        {args({"list", "/data"}),
         [](const ScanRequest& r) {
             EXPECT_EQ(r.command, ScanCommand::List);
             EXPECT_EQ(r.order, RowOrder::Walk);
         }},
        {args({"summary", "--hidden", "--system", "--no-subfolders", "/data"}),
         [](const ScanRequest& r) {
             EXPECT_FALSE(r.options.excludeHidden);
             EXPECT_FALSE(r.options.excludeSystem);
             EXPECT_FALSE(r.recurse);
         }},
        {args({"list", "--type", "*.jpg;*.png", "--name=rep*", "/data"}),
         [](const ScanRequest& r) {
             EXPECT_EQ(r.options.typeMask, (MaskCondition{true, QStringLiteral("*.jpg;*.png")}));
             EXPECT_EQ(r.options.nameMask, (MaskCondition{true, QStringLiteral("rep*")}));
         }},
        {args({"list", "--created", "before", "2024-05-01", "--modified=on", "2020-02-29", "/data"}),
         [](const ScanRequest& r) {
             EXPECT_EQ(r.options.created,
                       (DateCondition{true, DateRelation::Before, EncodeDateTime(2024, 5, 1, 0, 0, 0, 0)}));
             EXPECT_EQ(r.options.modified,
                       (DateCondition{true, DateRelation::Equal, EncodeDateTime(2020, 2, 29, 0, 0, 0, 0)}));
         }},
        {args({"list", "-x", "--exclude", ".git", "--exclude=*.o;build", "--disk-usage", "/data"}),
         [](const ScanRequest& r) {
             EXPECT_TRUE(r.oneFileSystem && r.diskUsage);
             EXPECT_EQ(r.excludes, QStringList({QStringLiteral(".git"), QStringLiteral("*.o;build")}));
         }},
        {args({"duplicates", "--min-size", "2K", "--empty", "--paranoid", "/a", "/b"}),
         [](const ScanRequest& r) {
             EXPECT_EQ(r.command, ScanCommand::Duplicates);
             EXPECT_EQ(r.roots, QStringList({QStringLiteral("/a"), QStringLiteral("/b")}));
             EXPECT_EQ(r.minimumSize, 2048);
             EXPECT_TRUE(r.includeEmpty && r.paranoid);
         }},
        {args({"list", "--modified", "after", "1999-12-31", "/data"}),
         [](const ScanRequest& r) { EXPECT_EQ(r.options.modified.relation, DateRelation::After); }},
        {args({"list", "--size", "greater", "1.5", "/data"}),
         [](const ScanRequest& r) {
             EXPECT_EQ(r.options.size, (SizeCondition{true, SizeRelation::Greater, 1.5}));
         }},
        {args({"list", "--size", "less", "0", "/data"}),
         [](const ScanRequest& r) {
             EXPECT_EQ(r.options.size, (SizeCondition{true, SizeRelation::Less, 0}));
         }},
        {args({"list", "--size", "equal", "2", "/data"}),
         [](const ScanRequest& r) { EXPECT_EQ(r.options.size.relation, SizeRelation::Equal); }},
        {args({"list", "--read-only", "/data"}),
         [](const ScanRequest& r) {
             EXPECT_EQ(r.options.attributes, (AttributeCondition{true, true, false}));
         }},
        {args({"list", "--archive", "--read-only", "/data"}),
         [](const ScanRequest& r) {
             EXPECT_EQ(r.options.attributes, (AttributeCondition{true, true, true}));
         }},
        {args({"list", "/data", "--format", "tsv", "--bytes", "--null", "-q", "-o", "out.tsv"}),
         [](const ScanRequest& r) {
             EXPECT_EQ(r.format, OutputFormat::Tsv);
             EXPECT_TRUE(r.exact && r.nullEnds && r.quiet);
             EXPECT_EQ(r.outputPath, QStringLiteral("out.tsv"));
         }},
        {args({"summary", "--format=json", "--output=x.json", "--quiet", "/data"}),
         [](const ScanRequest& r) {
             EXPECT_EQ(r.format, OutputFormat::Json);
             EXPECT_EQ(r.outputPath, QStringLiteral("x.json"));
             EXPECT_TRUE(r.quiet);
         }},
        {args({"summary", "--format", "csv", "/data"}),
         [](const ScanRequest& r) { EXPECT_EQ(r.format, OutputFormat::Csv); }},
        {args({"summary", "--format", "csv-utf16", "/data"}),
         [](const ScanRequest& r) { EXPECT_EQ(r.format, OutputFormat::CsvUtf16); }},
        {args({"summary", "--sort", "type", "/data"}),
         [](const ScanRequest& r) { EXPECT_EQ(r.order, RowOrder::Type); }},
        {args({"summary", "--sort", "count", "/data"}),
         [](const ScanRequest& r) { EXPECT_EQ(r.order, RowOrder::Count); }},
        {args({"summary", "--sort", "walk", "/data"}),
         [](const ScanRequest& r) { EXPECT_EQ(r.order, RowOrder::Walk); }},
        {args({"list", "--sort", "path", "/data"}), [](const ScanRequest& r) { EXPECT_EQ(r.order, RowOrder::Path); }},
        {args({"list", "--sort", "size", "/data"}), [](const ScanRequest& r) { EXPECT_EQ(r.order, RowOrder::Size); }},
        {args({"list", "--sort", "created", "/data"}),
         [](const ScanRequest& r) { EXPECT_EQ(r.order, RowOrder::Created); }},
        {args({"list", "--sort", "modified", "/data"}),
         [](const ScanRequest& r) { EXPECT_EQ(r.order, RowOrder::Modified); }},
        // After "--" a folder may begin with a dash.
        {args({"list", "--", "--hidden"}),
         [](const ScanRequest& r) {
             EXPECT_EQ(r.root, QStringLiteral("--hidden"));
             EXPECT_TRUE(r.options.excludeHidden);
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments.join(u' ').toStdString());
        const ParsedScanArguments parsed = parseScanArguments(c.arguments);
        ASSERT_EQ(parsed.kind, ParsedScanArguments::Kind::Run) << parsed.error.toStdString();
        c.check(parsed.request);
    }
}

TEST(ScanArguments, HelpAndVersionComeFirst) {
    for (const char* help : {"--help", "-h"})
        EXPECT_EQ(parseScanArguments({QString::fromUtf8(help)}).kind, ParsedScanArguments::Kind::Help);
    for (const char* version : {"--version", "-V"})
        EXPECT_EQ(parseScanArguments({QString::fromUtf8(version)}).kind, ParsedScanArguments::Kind::Version);
    EXPECT_TRUE(scanUsage().startsWith(QStringLiteral("Usage: trovex-scan summary")));
}

TEST(ScanArguments, BadUsageGivesOneLineThatNamesTheFault) {
    const struct {
        QStringList arguments;
        const char* says;
    } cases[] = {
        {{}, "a command is needed"},
        {args({"find", "/data"}), "unknown command \"find\""},
        {args({"summary"}), "a folder is needed"},
        {args({"summary", "/a", "/b"}), "one folder only"},
        {args({"summary", ""}), "the folder name is empty"},
        {args({"summary", "--type", "*.txt", "/data"}), "--type is a condition of list"},
        {args({"summary", "--read-only", "/data"}), "--read-only is a condition of list"},
        {args({"list", "--bogus", "/data"}), "unknown option --bogus"},
        {args({"list", "--hidden=yes", "/data"}), "option --hidden takes no value"},
        {args({"list", "/data", "--type"}), "option --type needs a value"},
        {args({"list", "--created", "soon", "2024-01-01", "/data"}), "--created takes before, on or after"},
        {args({"list", "--modified", "on", "2024-13-01", "/data"}), "is no date of the form YYYY-MM-DD"},
        {args({"list", "--modified", "on", "1.5.2024", "/data"}), "is no date of the form YYYY-MM-DD"},
        {args({"list", "--created", "before", "/data"}), "\"/data\" is no date"},
        {args({"list", "--size", "more", "1", "/data"}), "--size takes less, equal or greater"},
        {args({"list", "--size", "less", "1,5", "/data"}), "is no number of kilobytes"},
        {args({"list", "--size", "less", "-1", "/data"}), "is no number of kilobytes"},
        {args({"list", "--size", "less", "nan", "/data"}), "is no number of kilobytes"},
        {args({"list", "--size", "greater", "inf", "/data"}), "is no number of kilobytes"},
        {args({"list", "--size", "less", "1e400", "/data"}), "is no number of kilobytes"},
        {args({"list", "--format", "xml", "/data"}), "unknown format \"xml\""},
        {args({"list", "--sort", "count", "/data"}), "list sorts by walk, path, size"},
        {args({"summary", "--sort", "path", "/data"}), "summary sorts by walk, type, count or size"},
        {args({"list", "--null", "--format", "json", "/data"}), "--null writes names only"},
        {args({"list", "--null", "--format", "csv", "/data"}), "--null writes names only"},
        {args({"summary", "--bytes", "--format", "csv-utf16", "/data"}), "it takes no --bytes"},
        {args({"list", "-o", "", "/data"}), "needs a file name"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments.join(u' ').toStdString());
        const ParsedScanArguments parsed = parseScanArguments(c.arguments);
        EXPECT_EQ(parsed.kind, ParsedScanArguments::Kind::Error);
        EXPECT_TRUE(parsed.error.contains(QString::fromUtf8(c.says))) << parsed.error.toStdString();
        EXPECT_FALSE(parsed.error.contains(u'\n'));
    }
}

} // namespace
