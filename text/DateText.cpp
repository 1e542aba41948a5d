#include "text/DateText.h"

#include "platform/FileTime.h"
#include "text/FileHelpers.h"

#include <QDate>
#include <QLocale>
#include <QRegularExpression>
#include <cmath>
#include <ctime>

DateTimeFields DecodeDateTime(double value) {
    DateTimeFields f;
    // The day part truncates toward zero; before 1899-12-30 the time counts back from the day.
    const double dayPart = std::trunc(value);
    double fraction = std::fabs(value - dayPart);
    qint64 ms = qint64(std::llround(fraction * 86400000.0));
    qint64 days = qint64(dayPart);
    if (ms >= 86400000) {
        ms -= 86400000;
        days += value < 0 ? -1 : 1;
    }
    const QDate date = QDate(1899, 12, 30).addDays(days);
    f.year = date.year();
    f.month = date.month();
    f.day = date.day();
    f.hour = int(ms / 3600000);
    f.minute = int(ms / 60000 % 60);
    f.second = int(ms / 1000 % 60);
    f.msec = int(ms % 1000);
    return f;
}

namespace {

// A two-digit year would not read back; widen it to four digits.
QString widenYear(QString format) {
    if (!format.contains(QLatin1String("yyyy")))
        format.replace(QRegularExpression(QStringLiteral("y+")), QStringLiteral("yyyy"));
    return format;
}

QChar separatorOf(const QString& timeFormat) {
    const qsizetype h = timeFormat.indexOf(QRegularExpression(QStringLiteral("[Hh]")));
    if (h >= 0) {
        for (qsizetype i = h; i < timeFormat.size(); ++i) {
            const QChar c = timeFormat[i];
            if (c != u'H' && c != u'h')
                return c == u'm' ? QLatin1Char(':') : c;
        }
    }
    return QLatin1Char(':');
}

} // namespace

QString DateTextFormat::widenedShortDate(const QLocale& locale) {
    return widenYear(locale.dateFormat(QLocale::ShortFormat));
}

const DateTextFormat& DateTextFormat::system() {
    static const DateTextFormat format = [] {
        const QLocale locale = QLocale::system();
        return DateTextFormat(locale.dateFormat(QLocale::ShortFormat),
                              separatorOf(locale.timeFormat(QLocale::ShortFormat)), locale);
    }();
    return format;
}

DateTextFormat::DateTextFormat(const QString& shortDateFormat, QChar timeSeparator, const QLocale& locale)
    : m_dateFormat(widenYear(shortDateFormat)), m_timeSeparator(timeSeparator), m_locale(locale) {
    m_fieldsUsable = true;
    const QString& f = m_dateFormat;
    for (qsizetype i = 0; i < f.size();) {
        const QChar c = f[i];
        qsizetype n = 1;
        while (i + n < f.size() && f[i + n] == c)
            ++n;
        if (c == u'd') {
            m_fields.push_back({n <= 2 ? Field::Day : Field::DayName, {}});
        } else if (c == u'M') {
            m_fields.push_back({n <= 2 ? Field::Month : Field::MonthName, {}});
        } else if (c == u'y') {
            m_fields.push_back({Field::Year, {}});
        } else if (c == u'\'' || c.isLetter()) {
            m_fieldsUsable = false; // quoted text or a field we do not read: leave it to QLocale
            break;
        } else {
            m_fields.push_back({Field::Literal, f.mid(i, n)});
        }
        i += n;
    }
    for (int m = 1; m <= 12; ++m) {
        for (const auto form : {QLocale::LongFormat, QLocale::ShortFormat, QLocale::NarrowFormat}) {
            m_monthNames.append(m_locale.monthName(m, form));
            m_monthNumbers.append(m);
        }
    }
    for (int d = 1; d <= 7; ++d) {
        m_dayNames.append(m_locale.dayName(d, QLocale::LongFormat));
        m_dayNames.append(m_locale.dayName(d, QLocale::ShortFormat));
    }
}

bool DateTextFormat::parseFields(QStringView text, int& year, int& month, int& day) const {
    qsizetype at = 0;
    auto number = [&](int maxDigits, int& out) {
        int digits = 0;
        out = 0;
        while (at < text.size() && digits < maxDigits && text[at].isDigit()) {
            out = out * 10 + text[at].digitValue();
            ++at;
            ++digits;
        }
        return digits > 0;
    };
    // The longest name that starts here, ignoring case.
    auto name = [&](const QStringList& names, qsizetype& which) {
        qsizetype best = -1;
        if (at >= text.size())
            return false;
        const QChar first = text[at].toCaseFolded();
        for (qsizetype k = 0; k < names.size(); ++k) {
            const QString& n = names[k];
            if (!n.isEmpty() && n.front().toCaseFolded() == first && (best < 0 || n.size() > names[best].size()) &&
                text.mid(at).startsWith(n, Qt::CaseInsensitive))
                best = k;
        }
        if (best < 0)
            return false;
        at += names[best].size();
        which = best;
        return true;
    };
    for (const Field& field : m_fields) {
        qsizetype which = 0;
        switch (field.kind) {
        case Field::Day:
            if (!number(2, day))
                return false;
            break;
        case Field::Month:
            if (!number(2, month))
                return false;
            break;
        case Field::MonthName:
            if (!name(m_monthNames, which))
                return false;
            month = m_monthNumbers[which];
            break;
        case Field::DayName:
            if (!name(m_dayNames, which))
                return false;
            break;
        case Field::Year: {
            // Times at the ends of the file-time range have five-digit and negative years.
            const bool negative = at < text.size() && text[at] == u'-';
            at += negative ? 1 : 0;
            if (!number(6, year))
                return false;
            year = negative ? -year : year;
            break;
        }
        case Field::Literal:
            if (!text.mid(at).startsWith(field.literal))
                return false;
            at += field.literal.size();
            break;
        }
    }
    return at == text.size() && QDate::isValid(year, month, day);
}

QString DateTextFormat::format(double value) const {
    const DateTimeFields f = DecodeDateTime(value);
    QString text = m_locale.toString(QDate(f.year, f.month, f.day), m_dateFormat);
    text += QLatin1Char(' ');
    text += QLatin1Char(char('0' + f.hour / 10));
    text += QLatin1Char(char('0' + f.hour % 10));
    text += m_timeSeparator;
    text += QLatin1Char(char('0' + f.minute / 10));
    text += QLatin1Char(char('0' + f.minute % 10));
    return text;
}

QString DateTextFormat::formatFileTime(qint64 fileTime) const {
    return format(FileTimeToDateTime(fileTime));
}

bool DateTextFormat::parse(const QString& text, double& value) const {
    const qsizetype blank = text.lastIndexOf(QLatin1Char(' '));
    if (blank < 0)
        return false;
    const QString timePart = text.mid(blank + 1);
    const qsizetype sep = timePart.indexOf(m_timeSeparator);
    if (sep <= 0)
        return false;
    bool okH = false, okM = false;
    const int hour = timePart.left(sep).toInt(&okH);
    const int minute = timePart.mid(sep + 1).toInt(&okM);
    if (!okH || !okM || hour < 0 || hour > 23 || minute < 0 || minute > 59)
        return false;
    int year = 0, month = 0, day = 0;
    if (!m_fieldsUsable || !parseFields(QStringView(text).left(blank), year, month, day)) {
        const QDate date = m_locale.toDate(text.left(blank), m_dateFormat);
        if (!date.isValid())
            return false;
        year = date.year();
        month = date.month();
        day = date.day();
    }
    value = EncodeDateTime(year, month, day, hour, minute, 0, 0);
    return true;
}

QString FileDateTexts::text(qint64 fileTime) {
    constexpr qint64 k1972 = FileTime::fromUnix(63072000LL); // 1972-01-01 UTC
    if (fileTime < k1972)
        return m_format.formatFileTime(fileTime);
    const qint64 minute = fileTime / FileTime::kTicksPerMinute;
    Slot& slot = m_slots[size_t(minute) % kSlots];
    if (slot.minute != minute) {
        slot.minute = minute;
        slot.text = m_format.formatFileTime(minute * FileTime::kTicksPerMinute);
    }
    return slot.text;
}

namespace {

int localOffsetMinutes(qint64 unixSeconds) {
    const time_t t = time_t(unixSeconds);
    struct tm local;
    return localtime_r(&t, &local) ? int(local.tm_gmtoff / 60) : 0;
}

// The value EncodeDateTime gives for a local minute counted from 1970-01-01 00:00, computed the
// same way so that equal minutes give bit-equal keys.
double localMinuteValue(qint64 localMinute) {
    const qint64 day = localMinute >= 0 ? localMinute / 1440 : -((-localMinute + 1439) / 1440);
    const qint64 ofDay = localMinute - day * 1440;
    const double fraction = (double(ofDay / 60) * 3600000.0 + double(ofDay % 60) * 60000.0) / 86400000.0;
    const qint64 days = day + 25569; // 1899-12-30 to 1970-01-01
    return days >= 0 ? double(days) + fraction : double(days) - fraction;
}

} // namespace

int DateSortKeys::dayOffset(qint64 unixDay) {
    const bool near = unixDay >= 0 && unixDay < qint64(m_nearOffsets.size());
    if (near && m_nearOffsets[size_t(unixDay)] != kUnknown)
        return m_nearOffsets[size_t(unixDay)];
    if (!near) {
        auto it = m_farOffsets.constFind(unixDay);
        if (it != m_farOffsets.cend())
            return it.value();
    }
    const int first = localOffsetMinutes(unixDay * 86400);
    const int last = localOffsetMinutes(unixDay * 86400 + 86399);
    const int offset = first == last ? first : kMixed;
    if (near)
        m_nearOffsets[size_t(unixDay)] = offset;
    else
        m_farOffsets.insert(unixDay, offset);
    return offset;
}

double DateSortKeys::minuteValue(qint64 fileTime) {
    constexpr qint64 k1972 = FileTime::fromUnix(63072000LL);
    if (fileTime < k1972) {
        // Offsets of seconds are possible this early: take the shown fields themselves.
        const DateTimeFields f = DecodeDateTime(FileTimeToDateTime(fileTime));
        return EncodeDateTime(f.year, f.month, f.day, f.hour, f.minute, 0, 0);
    }
    const qint64 utcMinute = fileTime / FileTime::kTicksPerMinute - FileTime::kUnixEpochSeconds / 60;
    const qint64 unixSeconds = utcMinute * 60;
    const qint64 unixDay = unixSeconds >= 0 ? unixSeconds / 86400 : -((-unixSeconds + 86399) / 86400);
    int offset = dayOffset(unixDay);
    if (offset == kMixed)
        offset = localOffsetMinutes(unixSeconds);
    return localMinuteValue(utcMinute + offset);
}
