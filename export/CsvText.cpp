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
