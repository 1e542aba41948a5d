#include "search/IsoDateTexts.h"

#include "platform/FileTime.h"

#include <cstdio>
#include <cstring>
#include <ctime>

namespace {

// 1972-01-01, from when on every offset in the time zone database is whole minutes.
constexpr qint64 kWholeMinutesFrom = 63072000;
// The length of the text of a year of four digits.
constexpr size_t kLength = 25;

qint64 floorDiv(qint64 a, qint64 b) {
    const qint64 q = a / b;
    return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

} // namespace

size_t IsoDateTexts::format(qint64 seconds, char* out) {
    const time_t t = time_t(seconds);
    struct tm local;
    if (!localtime_r(&t, &local))
        return 0; // beyond the C library's calendar
    const long offset = local.tm_gmtoff;
    const long minutes = (offset < 0 ? -offset : offset) / 60;
    return size_t(std::snprintf(out, 40, "%04d-%02d-%02dT%02d:%02d:%02d%c%02ld:%02ld", local.tm_year + 1900,
                                local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec,
                                offset < 0 ? '-' : '+', minutes / 60, minutes % 60));
}

std::string_view IsoDateTexts::text(qint64 fileTime) {
    const qint64 seconds = floorDiv(fileTime, FileTime::kTicksPerSecond) - FileTime::kUnixEpochSeconds;
    if (seconds < kWholeMinutesFrom)
        return {m_text, format(seconds, m_text)};
    const qint64 minute = floorDiv(seconds, 60);
    Slot& slot = m_slots[size_t(minute) % kSlots];
    if (slot.minute != minute) {
        if (format(minute * 60, slot.text) != kLength)
            return {m_text, format(seconds, m_text)}; // a year of more than four digits
        slot.minute = minute;
    }
    std::memcpy(m_text, slot.text, kLength);
    const int second = int(seconds - minute * 60);
    m_text[17] = char('0' + second / 10);
    m_text[18] = char('0' + second % 10);
    return {m_text, kLength};
}
