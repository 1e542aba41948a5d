#include "text/IsoDateTexts.h"

#include "platform/FileTime.h"

#include <QDate>
#include <cstdio>
#include <ctime>

namespace {

constexpr qint64 kSecondsPerDay = 86400;
// The Julian day of 1970-01-01.
constexpr qint64 kUnixEpochJulianDay = 2440588;

qint64 floorDiv(qint64 a, qint64 b) {
    const qint64 q = a / b;
    return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

char* digits(char* out, int value, int width) {
    for (int i = width - 1; i >= 0; --i) {
        out[i] = char('0' + value % 10);
        value /= 10;
    }
    return out + width;
}

// "+HH:MM" of an offset in seconds; offsets of seconds, which only old local mean times have,
// are shown to the minute.
char* offsetText(char* out, long offset) {
    *out++ = offset < 0 ? '-' : '+';
    const long minutes = (offset < 0 ? -offset : offset) / 60;
    out = digits(out, int(minutes / 60), 2);
    *out++ = ':';
    return digits(out, int(minutes % 60), 2);
}

} // namespace

size_t IsoDateTexts::format(qint64 seconds, char* out) {
    const time_t t = time_t(seconds);
    struct tm local;
    if (!localtime_r(&t, &local))
        return 0; // beyond the C library's calendar
    const int n = std::snprintf(out, 40, "%04d-%02d-%02dT%02d:%02d:%02d", local.tm_year + 1900, local.tm_mon + 1,
                                local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
    return size_t(offsetText(out + n, local.tm_gmtoff) - out);
}

int IsoDateTexts::dayOffset(qint64 unixDay) {
    DaySlot& slot = m_days[size_t(unixDay) % kSlots];
    if (slot.day == unixDay)
        return slot.offset;
    // The offsets at the first and the last second of the day: equal when it does not change
    // that day, since no zone changes twice within a day.
    const time_t first = time_t(unixDay * kSecondsPerDay);
    const time_t last = first + time_t(kSecondsPerDay - 1);
    struct tm a, b;
    slot.day = unixDay;
    slot.offset =
        localtime_r(&first, &a) && localtime_r(&last, &b) && a.tm_gmtoff == b.tm_gmtoff ? int(a.tm_gmtoff) : kMixed;
    return slot.offset;
}

std::string_view IsoDateTexts::text(qint64 fileTime) {
    const qint64 seconds = floorDiv(fileTime, FileTime::kTicksPerSecond) - FileTime::kUnixEpochSeconds;
    const int offset = dayOffset(floorDiv(seconds, kSecondsPerDay));
    if (offset == kMixed)
        return {m_text, format(seconds, m_text)};
    const qint64 local = seconds + offset;
    const qint64 day = floorDiv(local, kSecondsPerDay);
    int year = 0, month = 0, dayOfMonth = 0;
    QDate::fromJulianDay(day + kUnixEpochJulianDay).getDate(&year, &month, &dayOfMonth);
    if (year < 0 || year > 9999)
        return {m_text, format(seconds, m_text)}; // beyond four digits: the C library's own text
    const int secondOfDay = int(local - day * kSecondsPerDay);
    char* p = digits(m_text, year, 4);
    *p++ = '-';
    p = digits(p, month, 2);
    *p++ = '-';
    p = digits(p, dayOfMonth, 2);
    *p++ = 'T';
    p = digits(p, secondOfDay / 3600, 2);
    *p++ = ':';
    p = digits(p, secondOfDay / 60 % 60, 2);
    *p++ = ':';
    p = digits(p, secondOfDay % 60, 2);
    p = offsetText(p, offset);
    return {m_text, size_t(p - m_text)};
}
