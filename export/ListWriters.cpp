#include "export/ListWriters.h"

#include "export/CsvText.h"
#include "export/CsvWriter.h"
#include "platform/FileAttributes.h"
#include "platform/FileName.h"
#include "text/CellTexts.h"
#include "text/FileHelpers.h"

#include <QIODevice>
#include <algorithm>
#include <charconv>
#include <functional>
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
    Cells(const ListRows& rows, bool exact) : m_rows(rows), m_exact(exact) {}

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
    // A size in the style's form, as the totals line shows it.
    std::string size(qint64 bytes) { return m_exact ? std::to_string(bytes) : FormatSize(bytes).toStdString(); }
    CellTexts& texts() { return m_texts; }

private:
    const ListRows& m_rows;
    const bool m_exact;
    CellTexts m_texts;
    std::unordered_map<quint32, std::string> m_letters;
};

// The totals a summary or a file list reports: files, their bytes (of what could be read), types.
struct Totals {
    qint64 files = 0;
    qint64 bytes = 0;
};

Totals totalsOf(const ListRows& rows) {
    Totals totals;
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
    const Totals totals = totalsOf(rows);
    Cells cells(rows, true);
    std::string line;
    line.assign(1, '{'); // not the literal, which trips a false -Wrestrict of GCC 12 at -O3
    appendJsonName(line, "root", bytesOf(root));
    line += ",\"total_files\":";
    appendNumber(line, totals.files);
    line += ",\"total_size\":";
    appendNumber(line, totals.bytes);
    switch (rows.kind()) {
    case ListKind::Types:
        line += ",\"total_types\":";
        appendNumber(line, rows.count());
        line += ",\"types\":[";
        break;
    case ListKind::Files:
        line += ",\"files\":[";
        break;
    }
    const QList<ListColumn>& columns = rows.columns();
    for (qsizetype i = 0; i < rows.count(); ++i) {
        line += i == 0 ? "\n{" : ",\n{";
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
        line += '}';
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
        for (int c = 0; c < columns; ++c) {
            if (c > 0)
                line += '\t';
            appendEscaped(line, cells.bytes(i, c));
        }
        line += '\n';
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
    std::vector<int> order(size_t(columns.size()));
    std::iota(order.begin(), order.end(), 0);
    const bool pathLast = rows.kind() == ListKind::Files;
    if (pathLast)
        std::rotate(order.begin(), order.begin() + 1, order.end());
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
    std::string line;
    for (qsizetype i = -1; i < n; ++i) {
        line.clear();
        for (size_t k = 0; k < order.size(); ++k) {
            if (k > 0)
                line += "  ";
            if (k < padded)
                appendPadded(line, make(i, k), widths[k], columns[order[k]].alignment & Qt::AlignRight);
            else
                line += make(i, k); // the path: its length varies the most
        }
        line += '\n';
        if (!out.put(line))
            return false;
    }
    const Totals totals = totalsOf(rows);
    line = "Total: ";
    appendNumber(line, totals.files);
    line += totals.files == 1 ? " file, " : " files, ";
    line += cells.size(totals.bytes);
    switch (rows.kind()) {
    case ListKind::Types:
        line += ", ";
        appendNumber(line, n);
        line += n == 1 ? " type\n" : " types\n";
        break;
    case ListKind::Files:
        line += '\n';
        break;
    }
    return out.put(line) && out.flush();
}

} // namespace

QString csvText(const ListRows& rows, bool exact) {
    Cells cells(rows, exact);
    const int columns = int(rows.columns().size());
    QStringList lines{csvLine(columnCaptions(rows.columns()))};
    QStringList fields;
    for (qsizetype i = 0; i < rows.count(); ++i) {
        fields.clear();
        for (int c = 0; c < columns; ++c)
            fields.append(cells.text(i, c));
        lines.append(csvLine(fields));
    }
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
