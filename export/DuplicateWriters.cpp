#include "export/DuplicateWriters.h"

#include "duplicates/DuplicateResult.h"
#include "export/CsvText.h"
#include "platform/FileName.h"
#include "platform/FileTime.h"
#include "text/CellTexts.h"
#include "text/FileHelpers.h"

#include <QIODevice>
#include <algorithm>

namespace {

// Output gathered into blocks of this size before it goes to the device.
constexpr size_t kBlock = 1 << 20;

class Sink {
public:
    explicit Sink(QIODevice& device) : m_device(device) {}
    std::string line;
    bool put() { return line.size() < kBlock || flush(); }
    bool flush() {
        for (size_t done = 0; done < line.size();) {
            const qint64 n = m_device.write(line.data() + done, qint64(line.size() - done));
            if (n <= 0) {
                m_error = m_device.errorString();
                return false;
            }
            done += size_t(n);
        }
        line.clear();
        return true;
    }
    const QString& error() const { return m_error; }

private:
    QIODevice& m_device;
    QString m_error;
};

std::string bytesOf(const QString& text) {
    return platform::encodeFileName(text).toStdString();
}

std::string_view view(const QByteArray& bytes) {
    return {bytes.constData(), size_t(bytes.size())};
}

qint64 modifiedOf(const DuplicateFile& file) {
    return FileTime::fromUnix(file.facts.modifiedSeconds, file.facts.modifiedNanoseconds);
}

// The cells a file shows: its size and date, as the list shows them or exact.
struct FileTexts {
    CellTexts texts;
    bool exact;
    std::string size(qint64 bytes) {
        return exact ? texts.exact(CellKind::Size, bytes, 0) : texts.shown(CellKind::Size, bytes, 0).toStdString();
    }
    std::string date(qint64 fileTime) {
        return exact ? texts.exact(CellKind::FileTime, fileTime, 0)
                     : texts.shown(CellKind::FileTime, fileTime, 0).toStdString();
    }
};

void appendPadded(std::string& out, const std::string& text, size_t width, bool right) {
    const std::string pad(width > text.size() ? width - text.size() : 0, ' ');
    out += right ? pad + text : text + pad;
}

bool writeTable(Sink& out, const DuplicateResult& result, bool exact) {
    FileTexts cells{{}, exact};
    // Measured over every file first: the groups are few next to the files walked.
    size_t sizeWidth = 4;
    size_t dateWidth = 13;
    qint64 files = 0;
    for (const DuplicateGroup& group : result.groups) {
        sizeWidth = std::max(sizeWidth, cells.size(group.size).size());
        for (const DuplicateFile& file : group.files) {
            dateWidth = std::max(dateWidth, cells.date(modifiedOf(file)).size());
            ++files;
        }
    }
    out.line += "Size";
    out.line.insert(0, sizeWidth - 4, ' ');
    out.line += "  ";
    appendPadded(out.line, "Date modified", dateWidth, false);
    out.line += "  Filename\n";
    for (const DuplicateGroup& group : result.groups) {
        out.line += '\n';
        for (const DuplicateFile& file : group.files) {
            appendPadded(out.line, cells.size(group.size), sizeWidth, true);
            out.line += "  ";
            appendPadded(out.line, cells.date(modifiedOf(file)), dateWidth, false);
            out.line += "  ";
            appendEscaped(out.line, view(file.path));
            out.line += '\n';
        }
        if (!out.put())
            return false;
    }
    const qsizetype groups = qsizetype(result.groups.size());
    out.line += "\nTotal: " + std::to_string(groups) + (groups == 1 ? " group, " : " groups, ") +
                std::to_string(files) + (files == 1 ? " file, " : " files, ") + cells.size(result.wasted) + " wasted\n";
    return out.flush();
}

bool writeTsvOrCsv(Sink& out, const DuplicateResult& result, const OutputStyle& style) {
    FileTexts cells{{}, style.exact};
    const bool csv = style.format == OutputFormat::Csv;
    if (csv)
        out.line += "Group,Size,Date modified,Filename\r\n";
    for (size_t g = 0; g < result.groups.size(); ++g) {
        const DuplicateGroup& group = result.groups[g];
        for (const DuplicateFile& file : group.files) {
            const std::string number = std::to_string(g + 1);
            const std::string size = cells.size(group.size);
            const std::string date = cells.date(modifiedOf(file));
            if (csv) {
                const QString path = platform::decodeFileName(file.path.constData(), file.path.size());
                out.line += bytesOf(csvLine({QString::fromStdString(number), QString::fromStdString(size),
                                             QString::fromStdString(date), path}));
                out.line += "\r\n";
            } else {
                out.line += number + '\t' + size + '\t' + date + '\t';
                appendEscaped(out.line, view(file.path));
                out.line += '\n';
            }
        }
        if (!out.put())
            return false;
    }
    return out.flush();
}

void appendJsonKey(std::string& out, const char* key) {
    out += '"';
    out += key;
    out += "\":";
}

bool writeJson(Sink& out, const DuplicateResult& result, const QStringList& roots) {
    CellTexts texts;
    qint64 files = 0;
    for (const DuplicateGroup& group : result.groups)
        files += qint64(group.files.size());
    out.line += "{\"roots\":[";
    for (qsizetype i = 0; i < roots.size(); ++i) {
        if (i > 0)
            out.line += ',';
        appendJsonString(out.line, bytesOf(roots[i]));
    }
    out.line += "],\"total_groups\":" + std::to_string(result.groups.size()) +
                ",\"total_files\":" + std::to_string(files) + ",\"total_wasted\":" + std::to_string(result.wasted) +
                ",\"files\":[";
    bool first = true;
    for (size_t g = 0; g < result.groups.size(); ++g) {
        const DuplicateGroup& group = result.groups[g];
        for (const DuplicateFile& file : group.files) {
            out.line += first ? "\n{" : ",\n{";
            first = false;
            out.line += "\"group\":" + std::to_string(g + 1) + ",\"size\":" + std::to_string(group.size) +
                        ",\"modified\":\"" + texts.exact(CellKind::FileTime, modifiedOf(file), 0) + "\",";
            appendJsonKey(out.line, "path");
            if (!appendJsonString(out.line, view(file.path)))
                out.line += ",\"path_base64\":\"" + file.path.toBase64().toStdString() + '"';
            if (!file.otherNames.empty()) {
                out.line += ",\"other_names\":[";
                for (size_t n = 0; n < file.otherNames.size(); ++n) {
                    if (n > 0)
                        out.line += ',';
                    appendJsonString(out.line, view(file.otherNames[n]));
                }
                out.line += ']';
            }
            out.line += '}';
        }
        if (!out.put())
            return false;
    }
    out.line += "\n]}\n";
    return out.flush();
}

bool writeNullEnded(Sink& out, const DuplicateResult& result) {
    for (const DuplicateGroup& group : result.groups) {
        for (const DuplicateFile& file : group.files) {
            out.line += view(file.path);
            out.line += '\0';
        }
        out.line += '\0'; // an empty record ends the group
        if (!out.put())
            return false;
    }
    return out.flush();
}

} // namespace

bool writeDuplicates(QIODevice& device, const DuplicateResult& result, const OutputStyle& style,
                     const QStringList& roots, QString* error) {
    Sink out(device);
    bool ok = false;
    if (style.nullEnds) {
        ok = writeNullEnded(out, result);
    } else {
        switch (style.format) {
        case OutputFormat::Table:
            ok = writeTable(out, result, style.exact);
            break;
        case OutputFormat::Tsv:
        case OutputFormat::Csv:
        case OutputFormat::CsvUtf16: // refused by the arguments
            ok = writeTsvOrCsv(out, result, style);
            break;
        case OutputFormat::Json:
            ok = writeJson(out, result, roots);
            break;
        }
    }
    if (!ok && error)
        *error = out.error();
    return ok;
}
