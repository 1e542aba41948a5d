#include "export/ListWriters.h"

#include "export/CsvText.h"
#include "export/CsvWriter.h"
#include "platform/FileAttributes.h"
#include "platform/FileName.h"
#include "platform/FileTime.h"
#include "platform/SpillFile.h"
#include "text/CellTexts.h"
#include "text/FileHelpers.h"

#include <QDateTime>
#include <QIODevice>
#include <algorithm>
#include <charconv>
#include <functional>
#include <memory>
#include <numeric>
#include <unordered_map>
#include <vector>

namespace {

// Rows are gathered into blocks this large before they go to the device.
constexpr size_t kBlock = 1 << 20;

void appendNumber(std::string& out, qint64 value) {
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    out.append(digits, size_t(end - digits));
}

std::string bytesOf(const QString& text) {
    return platform::encodeFileName(text).toStdString();
}

// Characters as a terminal shows them: bytes that do not continue a UTF-8 sequence.
qsizetype displayWidth(std::string_view bytes) {
    return std::count_if(bytes.begin(), bytes.end(), [](char c) { return (uchar(c) & 0xC0) != 0x80; });
}

void appendPadded(std::string& out, std::string_view text, qsizetype width, bool right) {
    const std::string pad(size_t(std::max<qsizetype>(0, width - displayWidth(text))), ' ');
    if (right)
        out += pad;
    out += text;
    if (!right)
        out += pad;
}

// The base64 of bytes, for names that JSON cannot hold as they are.
std::string base64(std::string_view bytes) {
    return QByteArray(bytes.data(), qsizetype(bytes.size())).toBase64().toStdString();
}

void appendJsonName(std::string& out, const char* key, std::string_view bytes) {
    out += '"';
    out += key;
    out += "\":";
    if (!appendJsonString(out, bytes)) {
        out += ",\"";
        out += key;
        out += "_base64\":\"";
        out += base64(bytes);
        out += '"';
    }
}

void appendJsonDate(std::string& out, CellTexts& texts, qint64 fileTime, bool known) {
    const std::string text = known ? texts.exact(CellKind::FileTime, fileTime, 0) : std::string();
    if (text.empty()) {
        out += "null";
        return;
    }
    out += '"';
    out += text;
    out += '"';
}

} // namespace

void appendEscaped(std::string& out, std::string_view bytes) {
    static constexpr char hex[] = "0123456789ABCDEF";
    const auto escapeByte = [&out](unsigned char b) {
        out += "\\x";
        out += hex[b >> 4];
        out += hex[b & 15];
    };
    for (size_t i = 0; i < bytes.size();) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        if (b < 0x80) {
            if (b == '\t')
                out += "\\t";
            else if (b == '\n')
                out += "\\n";
            else if (b == '\r')
                out += "\\r";
            else if (b == '\\')
                out += "\\\\";
            else if (b < 0x20 || b == 0x7F)
                escapeByte(b); // a terminal would act on it
            else
                out += char(b);
            ++i;
            continue;
        }
        char32_t cp = 0;
        const int n = platform::utf8SequenceLength(bytes.data() + i, qsizetype(bytes.size() - i), cp);
        if (n == 0) {
            escapeByte(b); // no UTF-8: each byte of it shows as itself
            ++i;
            continue;
        }
        // C1 controls (U+0080..U+009F, such as the one-character CSI) act on terminals too.
        if (cp <= 0x9F) {
            for (int k = 0; k < n; ++k)
                escapeByte(static_cast<unsigned char>(bytes[i + size_t(k)]));
        } else {
            out.append(bytes.substr(i, size_t(n)));
        }
        i += size_t(n);
    }
}

bool appendJsonString(std::string& out, std::string_view bytes) {
    out += '"';
    const bool plain = std::all_of(bytes.begin(), bytes.end(),
                                   [](char c) { return uchar(c) >= 0x20 && uchar(c) < 0x80 && c != '"' && c != '\\'; });
    if (plain) {
        out += bytes;
        out += '"';
        return true;
    }
    // The lossless decoding says which bytes are no UTF-8: each became a lone surrogate.
    const QString text = platform::decodeFileName(bytes.data(), qsizetype(bytes.size()));
    QString escaped;
    bool valid = true;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        const char16_t u = c.unicode();
        if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            escaped += c;
            escaped += text[++i];
        } else if (u >= 0xDC80 && u <= 0xDCFF) {
            escaped += QStringLiteral("\\\\x") + QString::number(u - 0xDC00, 16).toUpper();
            valid = false;
        } else if (u == '"' || u == '\\') {
            escaped += QLatin1Char('\\');
            escaped += c;
        } else if (u < 0x20) {
            static const char* const named[] = {"\\b", "\\t", "\\n", nullptr, "\\f", "\\r"};
            if (u >= 8 && u <= 13 && named[u - 8])
                escaped += QLatin1String(named[u - 8]);
            else
                escaped += QStringLiteral("\\u%1").arg(uint(u), 4, 16, QLatin1Char('0'));
        } else {
            escaped += c;
        }
    }
    out += escaped.toUtf8().toStdString();
    out += '"';
    return valid;
}

namespace {

// The cells of rows as each format writes them.
class Cells {
public:
    Cells(const ListRows& rows, bool exact)
        : m_rows(rows), m_exact(exact), m_ownTexts(std::make_unique<CellTexts>()), m_texts(*m_ownTexts) {}
    // With texts that outlive the rows: a stream's batches share the date texts made so far.
    Cells(const ListRows& rows, bool exact, CellTexts& texts) : m_rows(rows), m_exact(exact), m_texts(texts) {}

    const ListColumn& column(int c) const { return m_rows.columns()[c]; }
    bool isCaption(int c) const { return slotOf(column(c), c) == ValueSlot::Caption; }
    bool holdsText(qsizetype i, int c) const { return m_rows.isTextRow(i) || column(c).kind == CellKind::Text; }
    qint64 value(qsizetype i, int c) const { return cellValue(m_rows.row(i), column(c), c); }

    // The cell as the list shows it, or exact.
    QString text(qsizetype i, int c) {
        if (isCaption(c)) {
            const std::string_view bytes = m_rows.caption(i);
            return platform::decodeFileName(bytes.data(), qsizetype(bytes.size()));
        }
        if (holdsText(i, c))
            return m_rows.text(quint32(value(i, c)));
        const CellKind kind = column(c).kind;
        if (m_exact)
            return QString::fromStdString(m_texts.exact(kind, value(i, c), m_rows.row(i).word));
        return m_texts.shown(kind, value(i, c), m_rows.row(i).word);
    }
    // The same as bytes; a caption as its own bytes.
    std::string bytes(qsizetype i, int c) {
        if (isCaption(c))
            return std::string(m_rows.caption(i));
        if (holdsText(i, c))
            return bytesOf(m_rows.text(quint32(value(i, c))));
        const CellKind kind = column(c).kind;
        if (kind == CellKind::Attributes) {
            // A list holds few distinct attribute words, so each one's letters are made once.
            const quint32 word = quint32(value(i, c));
            auto it = m_letters.find(word);
            if (it == m_letters.end())
                it = m_letters.emplace(word, m_texts.exact(kind, word, 0)).first;
            return it->second;
        }
        if (m_exact)
            return m_texts.exact(kind, value(i, c), m_rows.row(i).word);
        return m_texts.shown(kind, value(i, c), m_rows.row(i).word).toStdString();
    }
    CellTexts& texts() { return m_texts; }

private:
    const ListRows& m_rows;
    const bool m_exact;
    // Made only when none is given: its date texts take time to set up.
    std::unique_ptr<CellTexts> m_ownTexts;
    CellTexts& m_texts;
    std::unordered_map<quint32, std::string> m_letters;
};

// The totals a summary or a file list reports: files, their bytes (of what could be read), types.
struct Totals {
    qint64 files = 0;
    qint64 bytes = 0;
};

void addTotals(Totals& totals, const ListRows& rows) {
    for (qsizetype i = 0; i < rows.count(); ++i) {
        const ListRow& row = rows.row(i);
        switch (rows.kind()) {
        case ListKind::Types:
            totals.files += cellValue(row, TypeColumn::Count);
            totals.bytes += cellValue(row, TypeColumn::Size);
            break;
        case ListKind::Files:
            ++totals.files;
            if (!(row.word & FileAttr::Unread))
                totals.bytes += cellValue(row, FileColumn::Size);
            break;
        }
    }
}

Totals totalsOf(const ListRows& rows) {
    Totals totals;
    addTotals(totals, rows);
    return totals;
}

// Gathers output into blocks, so a million rows take a few writes; remembers the device's reason.
class Output {
public:
    explicit Output(QIODevice& device) : m_device(device) {}

    bool put(std::string_view bytes) {
        m_buffer += bytes;
        return m_buffer.size() < kBlock || flush();
    }
    bool flush() {
        const char* data = m_buffer.data();
        qint64 left = qint64(m_buffer.size());
        while (left > 0) {
            const qint64 written = m_device.write(data, left);
            if (written <= 0) {
                m_error = m_device.errorString();
                return false;
            }
            data += written;
            left -= written;
        }
        m_buffer.clear();
        return true;
    }
    QIODevice& device() { return m_device; }
    QString& error() { return m_error; }

private:
    QIODevice& m_device;
    std::string m_buffer;
    QString m_error;
};

// Row i's members, between its braces.
void appendJsonRow(std::string& line, Cells& cells, const ListRows& rows, qsizetype i) {
    const QList<ListColumn>& columns = rows.columns();
    const bool unread = rows.row(i).word & FileAttr::Unread;
    for (int c = 0; c < columns.size(); ++c) {
        if (c > 0)
            line += ',';
        const ListColumn& column = columns[c];
        if (cells.isCaption(c) || cells.holdsText(i, c)) {
            appendJsonName(line, column.jsonKey, cells.bytes(i, c));
            continue;
        }
        line += '"';
        line += column.jsonKey;
        line += "\":";
        switch (column.kind) {
        case CellKind::Count:
            appendNumber(line, cells.value(i, c));
            break;
        case CellKind::Size:
            if (unread)
                line += "null";
            else
                appendNumber(line, cells.value(i, c));
            break;
        case CellKind::FileTime:
            appendJsonDate(line, cells.texts(), cells.value(i, c), !unread);
            break;
        case CellKind::Attributes:
        case CellKind::Text:
            line += '"';
            line += cells.bytes(i, c);
            line += '"';
            break;
        }
    }
    if (const std::string_view first = rows.hardLinkOf(i); !first.empty()) {
        line += ',';
        appendJsonName(line, "hardlink_of", first);
    }
    line += '}';
}

// json's opening up to its list's "[", with the totals of all rows.
void appendJsonHead(std::string& line, const QString& root, const Totals& totals, ListKind kind, qsizetype count) {
    line.assign(1, '{'); // not the literal, which trips a false -Wrestrict of GCC 12 at -O3
    appendJsonName(line, "root", bytesOf(root));
    line += ",\"total_files\":";
    appendNumber(line, totals.files);
    line += ",\"total_size\":";
    appendNumber(line, totals.bytes);
    switch (kind) {
    case ListKind::Types:
        line += ",\"total_types\":";
        appendNumber(line, count);
        line += ",\"types\":[";
        break;
    case ListKind::Files:
        line += ",\"files\":[";
        break;
    }
}

void appendTsvRow(std::string& line, Cells& cells, qsizetype i, int columns) {
    for (int c = 0; c < columns; ++c) {
        if (c > 0)
            line += '\t';
        appendEscaped(line, cells.bytes(i, c));
    }
    line += '\n';
}

QStringList csvFields(Cells& cells, qsizetype i, int columns) {
    QStringList fields;
    for (int c = 0; c < columns; ++c)
        fields.append(cells.text(i, c));
    return fields;
}

// The table's "Total: ..." line.
void appendTotalsLine(std::string& line, const Totals& totals, bool exact, ListKind kind, qsizetype types) {
    line = "Total: ";
    appendNumber(line, totals.files);
    line += totals.files == 1 ? " file, " : " files, ";
    line += exact ? std::to_string(totals.bytes) : FormatSize(totals.bytes).toStdString();
    switch (kind) {
    case ListKind::Types:
        line += ", ";
        appendNumber(line, types);
        line += types == 1 ? " type\n" : " types\n";
        break;
    case ListKind::Files:
        line += '\n';
        break;
    }
}

// The order a table writes the columns in: the file list puts the path last, where its length
// does not push the other columns apart.
std::vector<int> tableOrder(const QList<ListColumn>& columns, ListKind kind) {
    std::vector<int> order(size_t(columns.size()));
    std::iota(order.begin(), order.end(), 0);
    if (kind == ListKind::Files)
        std::rotate(order.begin(), order.begin() + 1, order.end());
    return order;
}

// One line of a table: the cells given by cell(k) in the order's columns, two blanks apart, all but
// a last path padded to their widths.
template <class Cell>
void appendTableLine(std::string& line, const std::vector<int>& order, const std::vector<qsizetype>& widths,
                     const QList<ListColumn>& columns, Cell&& cell) {
    line.clear();
    for (size_t k = 0; k < order.size(); ++k) {
        if (k > 0)
            line += "  ";
        if (k < widths.size())
            appendPadded(line, cell(k), widths[k], columns[order[k]].alignment & Qt::AlignRight);
        else
            line += cell(k); // the path: its length varies the most
    }
    line += '\n';
}

bool writeCsv(Output& out, const ListRows& rows, const OutputStyle& style) {
    const QString text = csvText(rows, style.exact);
    if (style.format == OutputFormat::Csv)
        return out.put(bytesOf(text)) && out.flush();
    if (!out.flush())
        return false;
    CsvWriter writer;
    if (!writer.write(out.device(), text)) {
        out.error() = writer.errorString();
        return false;
    }
    return true;
}

bool writeJson(Output& out, const ListRows& rows, const QString& root) {
    Cells cells(rows, true);
    std::string line;
    appendJsonHead(line, root, totalsOf(rows), rows.kind(), rows.count());
    for (qsizetype i = 0; i < rows.count(); ++i) {
        line += i == 0 ? "\n{" : ",\n{";
        appendJsonRow(line, cells, rows, i);
        if (line.size() >= kBlock) {
            if (!out.put(line))
                return false;
            line.clear();
        }
    }
    line += "\n]}\n";
    return out.put(line) && out.flush();
}

bool writeNullEnded(Output& out, const ListRows& rows) {
    for (qsizetype i = 0; i < rows.count(); ++i) {
        if (!out.put(rows.caption(i)) || !out.put(std::string_view("\0", 1)))
            return false;
    }
    return out.flush();
}

bool writeTsv(Output& out, const ListRows& rows, const OutputStyle& style) {
    Cells cells(rows, style.exact);
    const int columns = int(rows.columns().size());
    std::string line;
    for (qsizetype i = 0; i < rows.count(); ++i) {
        appendTsvRow(line, cells, i, columns);
        if (line.size() >= kBlock) {
            if (!out.put(line))
                return false;
            line.clear();
        }
    }
    return out.put(line) && out.flush();
}

// A table for people: the captions, then the rows in columns as wide as their widest cell, aligned
// as the list aligns them, two blanks apart; then the totals. The file list puts the path last,
// where its length does not push the other columns apart.
bool writeTable(Output& out, const ListRows& rows, const OutputStyle& style) {
    Cells cells(rows, style.exact);
    const QList<ListColumn>& columns = rows.columns();
    const std::vector<int> order = tableOrder(columns, rows.kind());
    const bool pathLast = rows.kind() == ListKind::Files;
    const qsizetype n = rows.count();
    // The cell of row i (-1: the captions) in output column k, escaped.
    std::string cell;
    const auto make = [&](qsizetype i, size_t k) -> const std::string& {
        cell.clear();
        if (i < 0)
            cell = bytesOf(columns[order[k]].caption);
        else
            appendEscaped(cell, cells.bytes(i, order[k]));
        return cell;
    };
    // Widths first, then the rows: two passes rather than every cell held at once.
    const size_t padded = pathLast ? order.size() - 1 : order.size();
    std::vector<qsizetype> widths(order.size(), 0);
    for (qsizetype i = -1; i < n; ++i) {
        for (size_t k = 0; k < padded; ++k)
            widths[k] = std::max(widths[k], displayWidth(make(i, k)));
    }
    // The dates share one width, so both columns line up whichever holds the longer texts.
    qsizetype dateWidth = 0;
    for (size_t k = 0; k < padded; ++k) {
        if (columns[order[k]].kind == CellKind::FileTime)
            dateWidth = std::max(dateWidth, widths[k]);
    }
    for (size_t k = 0; k < padded; ++k) {
        if (columns[order[k]].kind == CellKind::FileTime)
            widths[k] = dateWidth;
    }
    widths.resize(padded);
    std::string line;
    for (qsizetype i = -1; i < n; ++i) {
        appendTableLine(line, order, widths, columns, [&](size_t k) -> const std::string& { return make(i, k); });
        if (!out.put(line))
            return false;
    }
    appendTotalsLine(line, totalsOf(rows), style.exact, rows.kind(), n);
    return out.put(line) && out.flush();
}

} // namespace

QString csvText(const ListRows& rows, bool exact) {
    Cells cells(rows, exact);
    const int columns = int(rows.columns().size());
    QStringList lines{csvLine(columnCaptions(rows.columns()))};
    for (qsizetype i = 0; i < rows.count(); ++i)
        lines.append(csvLine(csvFields(cells, i, columns)));
    return linesText(lines);
}

bool writeRows(QIODevice& device, const ListRows& rows, const OutputStyle& style, const QString& root, QString* error) {
    Output out(device);
    bool ok = false;
    if (style.nullEnds) {
        ok = writeNullEnded(out, rows);
    } else {
        switch (style.format) {
        case OutputFormat::Csv:
        case OutputFormat::CsvUtf16:
            ok = writeCsv(out, rows, style);
            break;
        case OutputFormat::Json:
            ok = writeJson(out, rows, root);
            break;
        case OutputFormat::Tsv:
            ok = writeTsv(out, rows, style);
            break;
        case OutputFormat::Table:
            ok = writeTable(out, rows, style);
            break;
        }
    }
    if (!ok && error)
        *error = out.error();
    return ok;
}

namespace {

// Code units of text as UTF-16 little-endian bytes, lone surrogates included.
void appendUtf16Le(std::string& out, const QString& text) {
    for (const QChar c : text) {
        out += char(c.unicode() & 0xFF);
        out += char(c.unicode() >> 8);
    }
}

// A streamed table's width for a column: its caption's, or the widest its cells take in
// practice: dates of every month, sizes below a terabyte, every attribute letter.
qsizetype fixedWidth(const ListColumn& column, CellTexts& texts, bool exact) {
    std::vector<std::string> samples{bytesOf(column.caption)};
    const auto sample = [&](qint64 value) {
        samples.push_back(exact ? texts.exact(column.kind, value, 0)
                                : texts.shown(column.kind, value, 0).toStdString());
    };
    switch (column.kind) {
    case CellKind::FileTime:
        for (int month = 1; month <= 12; ++month)
            sample(FileTime::fromUnix(QDateTime(QDate(2000, month, 28), QTime(23, 59, 59)).toSecsSinceEpoch()));
        break;
    case CellKind::Size:
        sample(exact ? qint64(999'999'999'999) : (qint64(1) << 40) - 1);
        break;
    case CellKind::Attributes:
        sample(qint64(FileAttr::ReadOnly | FileAttr::Hidden | FileAttr::System | FileAttr::Archive |
                      FileAttr::Compressed));
        break;
    case CellKind::Count:
        sample(qint64(999'999'999));
        break;
    case CellKind::Text:
        break;
    }
    qsizetype width = 0;
    for (const std::string& text : samples)
        width = std::max(width, displayWidth(text));
    return width;
}

} // namespace

struct RowStream::Private {
    Private(QIODevice& device, const OutputStyle& s, const QString& r, ListKind k, const QList<ListColumn>& c)
        : out(device), style(s), root(r), kind(k), columns(c) {}

    bool begin();
    void appendRow(std::string& line, Cells& cells, const ListRows& rows, qsizetype i);

    Output out;
    const OutputStyle style;
    const QString root;
    const ListKind kind;
    const QList<ListColumn> columns;
    CellTexts texts;
    Totals totals;
    qint64 rows = 0;
    bool begun = false;
    std::vector<int> order;        // table
    std::vector<qsizetype> widths; // table
    platform::SpillFile spill;     // json rows
};

bool RowStream::Private::begin() {
    begun = true;
    std::string line;
    if (style.nullEnds)
        return true;
    switch (style.format) {
    case OutputFormat::Csv:
        line = bytesOf(csvLine(columnCaptions(columns)) + QStringLiteral("\r\n"));
        break;
    case OutputFormat::CsvUtf16:
        line = "\xFF\xFE";
        appendUtf16Le(line, csvLine(columnCaptions(columns)) + QStringLiteral("\r\n"));
        break;
    case OutputFormat::Table: {
        order = tableOrder(columns, kind);
        const size_t padded = kind == ListKind::Files ? order.size() - 1 : order.size();
        for (size_t k = 0; k < padded; ++k)
            widths.push_back(fixedWidth(columns[order[k]], texts, style.exact));
        appendTableLine(line, order, widths, columns, [&](size_t k) { return bytesOf(columns[order[k]].caption); });
        break;
    }
    case OutputFormat::Tsv:
    case OutputFormat::Json:
        break;
    }
    return out.put(line);
}

void RowStream::Private::appendRow(std::string& line, Cells& cells, const ListRows& batch, qsizetype i) {
    if (style.nullEnds) {
        line += batch.caption(i);
        line += '\0';
        return;
    }
    const int count = int(columns.size());
    switch (style.format) {
    case OutputFormat::Csv:
        line += bytesOf(csvLine(csvFields(cells, i, count)) + QStringLiteral("\r\n"));
        break;
    case OutputFormat::CsvUtf16:
        appendUtf16Le(line, csvLine(csvFields(cells, i, count)) + QStringLiteral("\r\n"));
        break;
    case OutputFormat::Tsv:
        appendTsvRow(line, cells, i, count);
        break;
    case OutputFormat::Json:
        line += rows + i == 0 ? "\n{" : ",\n{";
        appendJsonRow(line, cells, batch, i);
        break;
    case OutputFormat::Table: {
        std::string row;
        std::string cell;
        appendTableLine(row, order, widths, columns, [&](size_t k) -> const std::string& {
            cell.clear();
            appendEscaped(cell, cells.bytes(i, order[k]));
            return cell;
        });
        line += row;
        break;
    }
    }
}

RowStream::RowStream(QIODevice& device, const OutputStyle& style, const QString& root, ListKind kind,
                     const QList<ListColumn>& columns)
    : d(std::make_unique<Private>(device, style, root, kind, columns)) {}

RowStream::~RowStream() = default;

bool RowStream::write(const ListRows& batch) {
    if (!d->begun && !d->begin())
        return false;
    Cells cells(batch, d->style.exact || d->style.format == OutputFormat::Json, d->texts);
    std::string line;
    const bool spilled = !d->style.nullEnds && d->style.format == OutputFormat::Json;
    for (qsizetype i = 0; i < batch.count(); ++i) {
        d->appendRow(line, cells, batch, i);
        if (line.size() >= kBlock || i + 1 == batch.count()) {
            if (spilled ? !d->spill.append(line) : !d->out.put(line)) {
                if (spilled)
                    d->out.error() = d->spill.errorString();
                return false;
            }
            line.clear();
        }
    }
    addTotals(d->totals, batch);
    d->rows += batch.count();
    // Rows reach a pipe as they are found, not when a block is full.
    return spilled || d->out.flush();
}

bool RowStream::finish() {
    if (!d->begun && !d->begin())
        return false;
    std::string line;
    if (d->style.nullEnds || d->style.format == OutputFormat::Csv || d->style.format == OutputFormat::CsvUtf16 ||
        d->style.format == OutputFormat::Tsv)
        return d->out.flush();
    if (d->style.format == OutputFormat::Table) {
        appendTotalsLine(line, d->totals, d->style.exact, d->kind, d->rows);
        return d->out.put(line) && d->out.flush();
    }
    appendJsonHead(line, d->root, d->totals, d->kind, d->rows);
    if (!d->out.put(line) || !d->spill.readBack([this](std::string_view piece) { return d->out.put(piece); })) {
        if (d->out.error().isEmpty())
            d->out.error() = d->spill.errorString();
        return false;
    }
    return d->out.put("\n]}\n") && d->out.flush();
}

qint64 RowStream::rowsWritten() const {
    return d->rows;
}

const QString& RowStream::error() const {
    return d->out.error();
}
