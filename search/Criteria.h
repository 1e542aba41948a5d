#pragma once

#include <QtGlobal>

// Date rule: 0 when the whole-day parts of a and b (truncated toward zero) are equal, otherwise
// -1 when a < b and +1 when a > b.
int CompareDateDays(double a, double b);

// Size rule: both values rounded to single precision, equal within the single-precision value
// nearest 0.01; otherwise -1 when a < b and +1 when a > b.
int CompareSizeKb(double a, double b);

// A combo's item index (-1 for typed text that is no item) turned into the rule result it needs.
inline int wantedResult(int itemIndex) {
    return itemIndex - 1;
}
