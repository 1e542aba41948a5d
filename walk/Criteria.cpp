#include "walk/Criteria.h"

#include <cmath>

int CompareDateDays(double a, double b) {
    const double da = std::trunc(a);
    const double db = std::trunc(b);
    if (da == db)
        return 0;
    return a < b ? -1 : 1;
}

int CompareSizeKb(double a, double b) {
    const float fa = float(a);
    const float fb = float(b);
    // The difference of the two single values is taken exactly, as extended precision would.
    if (std::fabs(double(fa) - double(fb)) <= double(0.01f))
        return 0;
    return fa < fb ? -1 : 1;
}
