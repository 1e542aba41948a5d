#pragma once

#include <QString>
#include <QStringList>

// A CSV field: enclosed in double quotes, with every inner double quote doubled, when it contains a
// double quote, a comma or any character of code 32 or below; otherwise unchanged (empty included).
QString csvField(const QString& text);

// The fields quoted by csvField and joined by commas, without a comma after the last.
QString csvLine(const QStringList& fields);

// The text of a line list: every line followed by CR LF, the last one included.
QString linesText(const QStringList& lines);
