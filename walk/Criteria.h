#pragma once

#include "walk/ScanOptions.h"

#include <QtGlobal>

// Date rule: 0 when the whole-day parts of a and b (truncated toward zero) are equal, otherwise
// -1 when a < b and +1 when a > b.
int CompareDateDays(double a, double b);

// Size rule: both values rounded to single precision, equal within the single-precision value
// nearest 0.01; otherwise -1 when a < b and +1 when a > b.
int CompareSizeKb(double a, double b);

// The rule result a relation needs: -1 for after (greater), 0 for equal, 1 for before (less);
// -2, which no comparison gives, for none.
inline int wantedResult(DateRelation relation) {
    return relation == DateRelation::None ? -2 : int(relation) - 1;
}
inline int wantedResult(SizeRelation relation) {
    return relation == SizeRelation::None ? -2 : int(relation) - 1;
}
