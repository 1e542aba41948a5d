#pragma once

#include "export/ListRows.h"
#include "cli/ScanArguments.h"

#include <QString>
#include <string>
#include <string_view>

class QIODevice;

// How rows are written: the format, whether sizes and dates are exact (bytes, ISO 8601) rather than
// the window's texts, and whether only the captions are written, each ended by NUL.
struct OutputStyle {
    OutputFormat format = OutputFormat::Table;
    bool exact = false;
    bool nullEnds = false;
};

// The one writer of each format, for the window and trovex-scan alike. Names are bytes and reach
// the output as their own bytes: table and tsv escape them for a terminal (appendEscaped); csv quotes
// by the CSV rules; json writes a name that is not UTF-8 with each undecodable byte as the text \xHH
// and adds its bytes in base64. No byte of a name is ever replaced.

// Rows as CSV text: the columns' captions, then each row's cells as the list shows them (exact:
// sizes in bytes, dates in ISO 8601), fields quoted by csvField, every line ended by CR LF. The
// window's clipboard and CSV file hold it; trovex-scan's csv is its UTF-8, csv-utf16 the window's
// file.
QString csvText(const ListRows& rows, bool exact = false);

// Writes rows to device in the style's format: json headed by root and the totals, a table with a
// totals line, tsv, csv or csv-utf16 as csvText gives it, or with nullEnds the captions alone. False
// when the device refused some of it, with its reason in error.
bool writeRows(QIODevice& device, const ListRows& rows, const OutputStyle& style, const QString& root, QString* error);

// Appends bytes for a terminal: tab, newline, carriage return and backslash as \t, \n, \r, \\;
// each byte of another control character (C0, DEL, the two bytes of a C1 character) and of an
// invalid UTF-8 sequence as \xHH; valid UTF-8 as it is. Names read back without ambiguity, and
// none can move the cursor or change the terminal.
void appendEscaped(std::string& out, std::string_view bytes);
// Appends bytes as a JSON string, quotes included: UTF-8 as it is, each undecodable byte as the
// text \xHH. Returns false when there was such a byte.
bool appendJsonString(std::string& out, std::string_view bytes);
