#include "export/ScanOutput.h"

#include "export/CsvText.h"
#include "export/CsvWriter.h"
#include "export/ListCaptions.h"
#include "platform/FileAttributes.h"
#include "platform/FileName.h"
#include "search/DateText.h"
#include "search/FileHelpers.h"
#include "search/IsoDateTexts.h"

#include <QIODevice>
#include <algorithm>
#include <charconv>
#include <numeric>
#include <unordered_map>

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

void appendJsonDate(std::string& out, IsoDateTexts& dates, qint64 fileTime, bool known) {
    const std::string_view text = known ? dates.text(fileTime) : std::string_view();
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

ScanOutput::ScanOutput(QIODevice& device, const OutputStyle& style) : m_device(device), m_style(style) {}

bool ScanOutput::put(std::string_view bytes) {
    m_buffer += bytes;
    return m_buffer.size() < kBlock || flush();
}

bool ScanOutput::flush() {
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

std::string ScanOutput::sizeText(qint64 size, quint32 attr) const {
    if (attr & FileAttr::Unread)
        return {};
    if (!m_style.exact)
        return bytesOf(FormatSize(size));
    std::string text;
    appendNumber(text, size);
    return text;
}

bool ScanOutput::writeCsv(const QStringList& captions, int rows,
                          const std::function<QString(int row, int column)>& cell) {
    QList<int> all(rows);
    std::iota(all.begin(), all.end(), 0);
    const QString text = listCsv(captions, all, cell);
    if (m_style.format == OutputFormat::Csv)
        return put(bytesOf(text)) && flush();
    if (!flush())
        return false;
    CsvWriter writer;
    if (!writer.write(m_device, text)) {
        m_error = writer.errorString();
        return false;
    }
    return true;
}

bool ScanOutput::writeSummary(const QString& root, const std::vector<TypeTotal>& types) {
    qint64 files = 0;
    qint64 bytes = 0;
    for (const TypeTotal& t : types) {
        files += t.count;
        bytes += t.size;
    }
    std::string line;
    switch (m_style.format) {
    case OutputFormat::Csv:
    case OutputFormat::CsvUtf16:
        return writeCsv(typeListCaptions(), int(types.size()), [&](int row, int column) {
            const TypeTotal& t = types[size_t(row)];
            switch (column) {
            case 0:
                return t.type;
            case 1:
                return t.description;
            case 2:
                return QString::number(t.count);
            default:
                return m_style.exact ? QString::number(t.size) : FormatSize(t.size);
            }
        });
    case OutputFormat::Json: {
        line = "{";
        appendJsonName(line, "root", bytesOf(root));
        line += ",\"total_files\":";
        appendNumber(line, files);
        line += ",\"total_size\":";
        appendNumber(line, bytes);
        line += ",\"total_types\":";
        appendNumber(line, qint64(types.size()));
        line += ",\"types\":[";
        for (size_t i = 0; i < types.size(); ++i) {
            line += i == 0 ? "\n{" : ",\n{";
            appendJsonName(line, "type", bytesOf(types[i].type));
            line += ',';
            appendJsonName(line, "description", bytesOf(types[i].description));
            line += ",\"count\":";
            appendNumber(line, types[i].count);
            line += ",\"size\":";
            appendNumber(line, types[i].size);
            line += '}';
        }
        line += "\n]}\n";
        return put(line) && flush();
    }
    case OutputFormat::Table:
    case OutputFormat::Tsv:
        break;
    }

    if (m_style.nullEnds) {
        for (const TypeTotal& t : types) {
            line = bytesOf(t.type);
            line += '\0';
            if (!put(line))
                return false;
        }
        return flush();
    }
    struct Cells {
        std::string type, description, count, size;
    };
    std::vector<Cells> cells;
    cells.reserve(types.size());
    for (const TypeTotal& t : types) {
        Cells c;
        appendEscaped(c.type, bytesOf(t.type));
        appendEscaped(c.description, bytesOf(t.description));
        appendNumber(c.count, t.count);
        c.size = sizeText(t.size, 0);
        cells.push_back(std::move(c));
    }
    if (m_style.format == OutputFormat::Tsv) {
        for (const Cells& c : cells) {
            line = c.type + '\t' + c.description + '\t' + c.count + '\t' + c.size + '\n';
            if (!put(line))
                return false;
        }
        return flush();
    }

    const QStringList captions = typeListCaptions();
    Cells head{bytesOf(captions[0]), bytesOf(captions[1]), bytesOf(captions[2]), bytesOf(captions[3])};
    qsizetype widths[4] = {};
    cells.insert(cells.begin(), head);
    for (const Cells& c : cells) {
        widths[0] = std::max(widths[0], displayWidth(c.type));
        widths[1] = std::max(widths[1], displayWidth(c.description));
        widths[2] = std::max(widths[2], displayWidth(c.count));
        widths[3] = std::max(widths[3], displayWidth(c.size));
    }
    const auto row = [&](const Cells& c) {
        line.clear();
        appendPadded(line, c.type, widths[0], false);
        line += "  ";
        appendPadded(line, c.description, widths[1], false);
        line += "  ";
        appendPadded(line, c.count, widths[2], true);
        line += "  ";
        appendPadded(line, c.size, widths[3], true);
        line += '\n';
        return put(line);
    };
    for (const Cells& c : cells) {
        if (!row(c))
            return false;
    }
    line = "Total: ";
    appendNumber(line, files);
    line += files == 1 ? " file, " : " files, ";
    line += sizeText(bytes, 0);
    line += ", ";
    appendNumber(line, qint64(types.size()));
    line += types.size() == 1 ? " type\n" : " types\n";
    return put(line) && flush();
}

bool ScanOutput::writeFiles(const QString& root, const TFileList& files, const std::vector<qsizetype>& order) {
    const PathArena& arena = *files.arena();
    const auto path = [&](qsizetype i) { return arena.view(files.entry(i).caption); };
    qint64 bytes = 0;
    for (const qsizetype i : order) {
        if (!(files.entry(i).word & FileAttr::Unread))
            bytes += files.entry(i).values[FileSlot::Size];
    }

    std::string line;
    if (m_style.format == OutputFormat::Csv || m_style.format == OutputFormat::CsvUtf16) {
        FileDateTexts windowDates;
        IsoDateTexts isoDates;
        const auto dateText = [&](const ListRow& e, int slot) {
            if (e.word & FileAttr::Unread)
                return QString();
            if (!m_style.exact)
                return windowDates.text(e.values[slot]);
            const std::string_view iso = isoDates.text(e.values[slot]);
            return QString::fromLatin1(iso.data(), qsizetype(iso.size()));
        };
        return writeCsv(fileListCaptions(), int(order.size()), [&](int row, int column) {
            const qsizetype i = order[size_t(row)];
            const ListRow& e = files.entry(i);
            switch (column) {
            case 0: {
                const std::string_view p = path(i);
                return platform::decodeFileName(p.data(), qsizetype(p.size()));
            }
            case 1:
                return dateText(e, FileSlot::Created);
            case 2:
                return dateText(e, FileSlot::Modified);
            case 3:
                return QString::fromStdString(sizeText(e.values[FileSlot::Size], e.word));
            default:
                return AttribLetters(e.word);
            }
        });
    }

    if (m_style.format == OutputFormat::Json) {
        IsoDateTexts dates;
        line.assign(1, '{'); // not the literal, which trips a false -Wrestrict of GCC 12 at -O3
        appendJsonName(line, "root", bytesOf(root));
        line += ",\"total_files\":";
        appendNumber(line, qint64(order.size()));
        line += ",\"total_size\":";
        appendNumber(line, bytes);
        line += ",\"files\":[";
        bool first = true;
        for (const qsizetype i : order) {
            const ListRow& e = files.entry(i);
            const bool known = !(e.word & FileAttr::Unread);
            line += first ? "\n{" : ",\n{";
            first = false;
            appendJsonName(line, "path", path(i));
            line += ",\"created\":";
            appendJsonDate(line, dates, e.values[FileSlot::Created], known);
            line += ",\"modified\":";
            appendJsonDate(line, dates, e.values[FileSlot::Modified], known);
            line += ",\"size\":";
            if (known)
                appendNumber(line, e.values[FileSlot::Size]);
            else
                line += "null";
            line += ",\"attributes\":\"";
            line += AttribLetters(e.word).toStdString();
            line += "\"}";
            if (!put(line))
                return false;
            line.clear();
        }
        line += "\n]}\n";
        return put(line) && flush();
    }

    if (m_style.nullEnds) {
        for (const qsizetype i : order) {
            if (!put(path(i)) || !put(std::string_view("\0", 1)))
                return false;
        }
        return flush();
    }

    // Table and tsv: the dates as the window shows them, or ISO 8601.
    FileDateTexts windowDates;
    IsoDateTexts isoDates;
    const auto appendDate = [&](std::string& out, const ListRow& e, int slot) {
        if (e.word & FileAttr::Unread)
            return;
        if (m_style.exact)
            out += isoDates.text(e.values[slot]);
        else
            out += windowDates.text(e.values[slot]).toStdString();
    };
    // A list holds few distinct attribute words, so each one's letters are made once.
    std::unordered_map<quint32, std::string> letters;
    const auto appendAttributes = [&letters](std::string& out, quint32 attr) {
        auto it = letters.find(attr);
        if (it == letters.end())
            it = letters.emplace(attr, AttribLetters(attr).toStdString()).first;
        out += it->second;
    };

    if (m_style.format == OutputFormat::Tsv) {
        for (const qsizetype i : order) {
            const ListRow& e = files.entry(i);
            appendEscaped(line, path(i));
            line += '\t';
            appendDate(line, e, FileSlot::Created);
            line += '\t';
            appendDate(line, e, FileSlot::Modified);
            line += '\t';
            if (!(e.word & FileAttr::Unread)) {
                if (m_style.exact)
                    appendNumber(line, e.values[FileSlot::Size]);
                else
                    line += FormatSize(e.values[FileSlot::Size]).toStdString();
            }
            line += '\t';
            appendAttributes(line, e.word);
            line += '\n';
            if (line.size() >= kBlock) {
                if (!put(line))
                    return false;
                line.clear();
            }
        }
        return put(line) && flush();
    }

    // The table puts the path last, where its length does not push the other columns apart.
    const QStringList captions = fileListCaptions();
    std::vector<std::string> sizes;
    sizes.reserve(order.size());
    qsizetype sizeWidth = captions[3].size();
    qsizetype dateWidth = std::max(captions[1].size(), captions[2].size());
    std::string probe;
    for (const qsizetype i : order) {
        const ListRow& e = files.entry(i);
        sizes.push_back(sizeText(e.values[FileSlot::Size], e.word));
        sizeWidth = std::max(sizeWidth, qsizetype(sizes.back().size()));
        probe.clear();
        appendDate(probe, e, FileSlot::Modified);
        dateWidth = std::max(dateWidth, displayWidth(probe));
    }
    const qsizetype attrWidth = captions[4].size();
    line.clear();
    appendPadded(line, bytesOf(captions[1]), dateWidth, false);
    line += "  ";
    appendPadded(line, bytesOf(captions[2]), dateWidth, false);
    line += "  ";
    appendPadded(line, bytesOf(captions[3]), sizeWidth, true);
    line += "  ";
    appendPadded(line, bytesOf(captions[4]), attrWidth, false);
    line += "  ";
    line += bytesOf(captions[0]);
    line += '\n';
    if (!put(line))
        return false;
    std::string cell;
    for (size_t k = 0; k < order.size(); ++k) {
        const qsizetype i = order[k];
        const ListRow& e = files.entry(i);
        line.clear();
        cell.clear();
        appendDate(cell, e, FileSlot::Created);
        appendPadded(line, cell, dateWidth, false);
        line += "  ";
        cell.clear();
        appendDate(cell, e, FileSlot::Modified);
        appendPadded(line, cell, dateWidth, false);
        line += "  ";
        appendPadded(line, sizes[k], sizeWidth, true);
        line += "  ";
        cell.clear();
        appendAttributes(cell, e.word);
        appendPadded(line, cell, attrWidth, false);
        line += "  ";
        appendEscaped(line, path(i));
        line += '\n';
        if (!put(line))
            return false;
    }
    line = "Total: ";
    appendNumber(line, qint64(order.size()));
    line += order.size() == 1 ? " file, " : " files, ";
    line += sizeText(bytes, 0);
    line += '\n';
    return put(line) && flush();
}
