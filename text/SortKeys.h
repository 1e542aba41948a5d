#pragma once

#include <QString>

// Reading list texts back for sorting.

// The size in kilobytes of a size text such as "1.5 MB": the first of "GB", "MB", "KB" found
// decides the unit, the text before it is the number (blanks allowed) with the given decimal
// point. False when the text has no unit or no number.
bool SizeTextValue(const QString& text, double& kilobytes, QChar decimalPoint);
bool SizeTextValue(const QString& text, double& kilobytes);

// -1, 0 or 1; equal when the values differ by no more than 1e-12 of the smaller magnitude.
int CompareSizeValues(double a, double b);

// -1, 0 or 1; date-time values less than a millisecond apart are equal.
int CompareDateValues(double a, double b);
