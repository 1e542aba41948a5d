#include "export/CsvText.h"

#include <algorithm>

QString csvField(const QString& text) {
    const bool quoted = std::any_of(text.cbegin(), text.cend(), [](QChar c) {
        return c.unicode() <= 32 || c == QLatin1Char('"') || c == QLatin1Char(',');
    });
    if (!quoted)
        return text;
    QString out = text;
    out.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + out + QLatin1Char('"');
}

QString csvLine(const QStringList& fields) {
    QStringList quoted;
    quoted.reserve(fields.size());
    for (const QString& field : fields)
        quoted.append(csvField(field));
    return quoted.join(QLatin1Char(','));
}

QString linesText(const QStringList& lines) {
    QString text;
    for (const QString& line : lines)
        text += line + QStringLiteral("\r\n");
    return text;
}

QString listCsv(const QStringList& captions, const QList<int>& rows,
                const std::function<QString(int row, int column)>& cell) {
    QStringList lines{csvLine(captions)};
    QStringList fields;
    for (const int row : rows) {
        fields.clear();
        for (int c = 0; c < captions.size(); ++c)
            fields.append(cell(row, c));
        lines.append(csvLine(fields));
    }
    return linesText(lines);
}
