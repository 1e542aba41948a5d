#pragma once

#include "cli/ScanArguments.h"
#include "export/ListRows.h"

#include <QString>
#include <memory>
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

// Writes rows as they come, a batch at a time, holding none of them: the bytes writeRows gives for
// all the rows at once, but for a table, which cannot measure its columns before its rows are
// known: it pads them to fixed widths, those of the size and date patterns, the path last. A json
// list's rows wait in an unnamed temporary file until the totals that head them are known.
class RowStream {
public:
    RowStream(QIODevice& device, const OutputStyle& style, const QString& root, ListKind kind,
              const QList<ListColumn>& columns);
    ~RowStream();
    RowStream(const RowStream&) = delete;
    RowStream& operator=(const RowStream&) = delete;

    // Writes a batch of rows on to the device (flushed); false when it refused some of it.
    bool write(const ListRows& rows);
    // Writes what follows the rows (the totals); once, after the last batch.
    bool finish();
    qint64 rowsWritten() const;
    // Why a write failed.
    const QString& error() const;

private:
    struct Private;
    std::unique_ptr<Private> d;
};

// Appends bytes for a terminal: tab, newline, carriage return and backslash as \t, \n, \r, \\;
// each byte of another control character (C0, DEL, the two bytes of a C1 character) and of an
// invalid UTF-8 sequence as \xHH; valid UTF-8 as it is. Names read back without ambiguity, and
// none can move the cursor or change the terminal.
void appendEscaped(std::string& out, std::string_view bytes);
// Appends bytes as a JSON string, quotes included: UTF-8 as it is, each undecodable byte as the
// text \xHH. Returns false when there was such a byte.
bool appendJsonString(std::string& out, std::string_view bytes);
