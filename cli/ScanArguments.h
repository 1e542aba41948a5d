#pragma once

#include "walk/ScanOptions.h"

#include <QString>
#include <QStringList>

// What trovex-scan is asked to do, read from its command line.
enum class ScanCommand { Summary, List, Duplicates };
enum class OutputFormat { Table, Csv, CsvUtf16, Tsv, Json };
// The order of the rows. Walk keeps the order in which the walk met them, as the window shows them.
enum class RowOrder { Walk, Type, Count, Size, Path, Created, Modified };

struct ScanRequest {
    ScanCommand command = ScanCommand::Summary;
    QString root;      // as given, decoded losslessly; the first of roots
    QStringList roots; // every folder given (duplicates takes several)
    bool recurse = true;
    ScanOptions options; // exclusions and, for a list, the conditions
    RowOrder order = RowOrder::Size;
    OutputFormat format = OutputFormat::Table;
    bool exact = false;    // --bytes: sizes in bytes, dates in ISO 8601
    bool nullEnds = false; // --null: only the names, raw, each ended by NUL
    bool quiet = false;
    QString outputPath;         // empty for standard output
    bool oneFileSystem = false; // -x: folders on another device than the root are not entered
    QStringList excludes;       // masks of names left out, from --exclude and --exclude-from
    bool diskUsage = false;     // sizes as allocated blocks, hard links once
    // duplicates: files smaller than this many bytes are left out; empty files only when asked;
    // the bytes of each group compared after the hashes.
    qint64 minimumSize = 0;
    bool includeEmpty = false;
    bool paranoid = false;
};

struct ParsedScanArguments {
    enum class Kind { Run, Help, Version, Error };
    Kind kind = Kind::Error;
    ScanRequest request;
    QString error; // one line, for Kind::Error
};

// Reads trovex-scan's arguments (without the program itself). Options may come before or after
// the folder, as "--opt VALUE" or "--opt=VALUE"; "--" ends the options. Dates are YYYY-MM-DD,
// sizes kilobytes with a "." as decimal point. Conditions belong to list only, and --null to the
// table and tsv formats; csv-utf16 is the window's file and takes no --bytes.
ParsedScanArguments parseScanArguments(const QStringList& arguments);

// The usage text, ending in a newline.
QString scanUsage();
