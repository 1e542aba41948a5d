#include "text/SortKeys.h"

#include <QLocale>
#include <algorithm>
#include <cmath>

bool SizeTextValue(const QString& text, double& kilobytes, QChar decimalPoint) {
    struct Unit {
        const char* name;
        double factor;
    };
    static constexpr Unit units[] = {{"GB", 1048576.0}, {"MB", 1024.0}, {"KB", 1.0}};
    for (const Unit& unit : units) {
        const qsizetype at = text.indexOf(QLatin1String(unit.name));
        if (at < 0)
            continue;
        QString number = text.left(at).trimmed();
        if (decimalPoint != u'.')
            number.replace(decimalPoint, QLatin1Char('.'));
        bool ok = false;
        const double value = number.toDouble(&ok);
        if (!ok)
            return false;
        kilobytes = value * unit.factor;
        return true;
    }
    return false;
}

bool SizeTextValue(const QString& text, double& kilobytes) {
    static const QChar point = [] {
        const QString p = QLocale::system().decimalPoint();
        return p.isEmpty() ? QLatin1Char('.') : p.front();
    }();
    return SizeTextValue(text, kilobytes, point);
}

int CompareSizeValues(double a, double b) {
    const double tolerance = std::max(1e-12, 1e-12 * std::min(std::fabs(a), std::fabs(b)));
    if (std::fabs(a - b) <= tolerance)
        return 0;
    return a < b ? -1 : 1;
}

int CompareDateValues(double a, double b) {
    constexpr double kMillisecond = 1.0 / 86400000.0;
    if (std::fabs(a - b) < kMillisecond)
        return 0;
    return a < b ? -1 : 1;
}
