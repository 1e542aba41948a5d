#include "text/FileHelpers.h"

#include "platform/FileAttributes.h"
#include "platform/FileTime.h"
#include "walk/TSearchRecW.h"

#include <QLocale>
#include <cmath>
#include <ctime>

QString AddBackslash(const QString& folder) {
    Q_ASSERT(!folder.isEmpty());
    if (folder.endsWith(QLatin1Char('/')))
        return folder;
    return folder + QLatin1Char('/');
}

qint64 FindDataSize(const TSearchRecW& rec) {
    return qint64((quint64(rec.FindData.nFileSizeHigh) << 32) | quint64(rec.FindData.nFileSizeLow));
}

namespace {

QChar systemDecimalPoint() {
    static const QChar point = [] {
        const QString p = QLocale::system().decimalPoint();
        return p.isEmpty() ? QLatin1Char('.') : p.front();
    }();
    return point;
}

} // namespace

QString FormatSize(qint64 bytes) {
    return FormatSize(bytes, systemDecimalPoint());
}

namespace {

struct ShownSize {
    qint64 hundredths; // of the unit, rounded with halves away from zero
    int unitShift;     // 10 for KB, 20 for MB, 30 for GB
    bool negative;
};

ShownSize shownSize(qint64 bytes) {
    const int shift = bytes > (qint64(1) << 30) ? 30 : bytes > (qint64(1) << 20) ? 20 : 10;
    const qint64 divisor = qint64(1) << shift;
    // Exact integer arithmetic, as the extended precision of the quotient demands; the divisor is
    // a power of two, so the division is a shift.
    const bool negative = bytes < 0;
    const unsigned __int128 magnitude = negative ? -__int128(bytes) : __int128(bytes);
    return {qint64((magnitude * 200 + quint64(divisor)) >> (shift + 1)), shift, negative};
}

} // namespace

double ShownSizeKb(qint64 bytes) {
    const ShownSize s = shownSize(bytes);
    // The same operations as reading the text back: the number, then times the unit.
    const double number = double(s.hundredths) / 100.0;
    const double value = s.unitShift == 10 ? number : number * double(qint64(1) << (s.unitShift - 10));
    return s.negative ? -value : value;
}

QString FormatSize(qint64 bytes, QChar decimalPoint) {
    const ShownSize s = shownSize(bytes);
    const char* unit = s.unitShift == 30 ? " GB" : s.unitShift == 20 ? " MB" : " KB";
    const bool negative = s.negative;
    const qint64 hundredths = s.hundredths;
    const qint64 whole = hundredths / 100;
    const int frac = int(hundredths % 100);

    QString text;
    if (negative && hundredths != 0)
        text += QLatin1Char('-');
    text += QString::number(whole);
    if (frac != 0) {
        text += decimalPoint;
        text += QLatin1Char(char('0' + frac / 10));
        if (frac % 10 != 0)
            text += QLatin1Char(char('0' + frac % 10));
    }
    text += QLatin1String(unit);
    return text;
}

QString AttribLetters(quint32 attr) {
    QString s;
    if (attr & FileAttr::ReadOnly)
        s += QLatin1Char('R');
    if (attr & FileAttr::Hidden)
        s += QLatin1Char('H');
    if (attr & FileAttr::System)
        s += QLatin1Char('S');
    if (attr & FileAttr::Archive)
        s += QLatin1Char('A');
    if (attr & FileAttr::Compressed)
        s += QLatin1Char('C');
    return s;
}

namespace {

// Days from 1970-01-01 to the given proleptic Gregorian date.
qint64 daysFromCivil(qint64 y, unsigned m, unsigned d) {
    y -= m <= 2;
    const qint64 era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = unsigned(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + qint64(doe) - 719468;
}

constexpr qint64 kDaysFrom1899To1970 = 25569;

} // namespace

double EncodeDateTime(int year, int month, int day, int hour, int minute, int second, int msec) {
    const qint64 days = daysFromCivil(year, unsigned(month), unsigned(day)) + kDaysFrom1899To1970;
    const double fraction = (double(hour) * 3600000.0 + minute * 60000.0 + second * 1000.0 + msec) / 86400000.0;
    // Before 1899-12-30 the day number is negative and the time is counted back from it.
    return days >= 0 ? double(days) + fraction : double(days) - fraction;
}

double FileTimeToDateTime(qint64 fileTime) {
    // 100-ns units since 1601 to seconds and milliseconds since 1970, flooring toward the past.
    constexpr qint64 kTicksPerSecond = FileTime::kTicksPerSecond;
    constexpr qint64 kEpochDelta = FileTime::kUnixEpochSeconds;
    qint64 seconds = fileTime / kTicksPerSecond;
    qint64 rest = fileTime % kTicksPerSecond;
    if (rest < 0) {
        rest += kTicksPerSecond;
        --seconds;
    }
    const time_t unixSeconds = time_t(seconds - kEpochDelta);
    struct tm local;
    if (!localtime_r(&unixSeconds, &local)) {
        // Beyond the C library's calendar: show the UTC fields rather than nothing.
        const qint64 days = (seconds - kEpochDelta) / 86400;
        return double(days + kDaysFrom1899To1970);
    }
    return EncodeDateTime(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min,
                          std::min(local.tm_sec, 59), int(rest / 10000));
}

QString ExtractExt(const QString& name) {
    for (qsizetype i = name.size() - 1; i >= 0; --i) {
        const QChar c = name[i];
        if (c == QLatin1Char('.'))
            return name.mid(i);
        if (c == QLatin1Char('/'))
            break;
    }
    return QString();
}

QString ExtractFilePath(const QString& path) {
    return path.left(path.lastIndexOf(QLatin1Char('/')) + 1);
}

QString ExtractFileName(const QString& path) {
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

qsizetype extensionOffset(const char* name, qsizetype len) {
    for (qsizetype i = len - 1; i >= 0; --i) {
        if (name[i] == '.')
            return i;
        if (name[i] == '/')
            break;
    }
    return -1;
}
