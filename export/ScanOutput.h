#pragma once

#include "search/ScanArguments.h"
#include "search/TFileList.h"

#include <QString>
#include <string>
#include <string_view>
#include <vector>

class QIODevice;

// One row of a type summary, as the window's type list shows it.
struct TypeTotal {
    QString type;
    QString description;
    qint64 count = 0;
    qint64 size = 0;
};

// How trovex-scan writes its rows.
struct OutputStyle {
    OutputFormat format = OutputFormat::Table;
    bool exact = false;    // sizes in bytes, dates in ISO 8601
    bool nullEnds = false; // only the names, raw, each ended by NUL
};

// Writes a type summary or a file list to a device in one of trovex-scan's formats. Names are
// bytes and reach the output as their own bytes: table and tsv write tab, newline, carriage
// return and backslash as \t, \n, \r, \\, and every other byte of a control character and of
// a sequence that is no UTF-8 as \xHH (appendEscaped); csv quotes by the CSV rules; json writes a name that
// is not UTF-8 with each undecodable byte as the text \xHH and adds its bytes in base64. No byte
// of a name is ever replaced. Texts (sizes, dates, descriptions) are the window's unless the style
// asks for exact values; json always has exact values.
class ScanOutput {
public:
    ScanOutput(QIODevice& device, const OutputStyle& style);

    // The types in the order given; false when the device refused some of it (errorString()).
    bool writeSummary(const QString& root, const std::vector<TypeTotal>& types);
    // The files at the positions order gives, in that order.
    bool writeFiles(const QString& root, const TFileList& files, const std::vector<qsizetype>& order);

    const QString& errorString() const { return m_error; }

private:
    bool put(std::string_view bytes);
    bool flush();
    std::string sizeText(qint64 size, quint32 attr) const;
    bool writeCsv(const QStringList& captions, int rows, const std::function<QString(int row, int column)>& cell);

    QIODevice& m_device;
    OutputStyle m_style;
    std::string m_buffer;
    QString m_error;
};

// Appends bytes for a terminal: tab, newline, carriage return and backslash as \t, \n, \r, \\;
// each byte of another control character (C0, DEL, the two bytes of a C1 character) and of an
// invalid UTF-8 sequence as \xHH; valid UTF-8 as it is. Names read back without ambiguity, and
// none can move the cursor or change the terminal.
void appendEscaped(std::string& out, std::string_view bytes);
// Appends bytes as a JSON string, quotes included: UTF-8 as it is, each undecodable byte as the
// text \xHH. Returns false when there was such a byte.
bool appendJsonString(std::string& out, std::string_view bytes);
