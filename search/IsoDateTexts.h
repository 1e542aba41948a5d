#pragma once

#include <QtGlobal>
#include <limits>
#include <string_view>
#include <vector>

// ISO 8601 texts of file times for scripts, in local time with the offset in force at that time:
// "2024-05-01T12:00:00+02:00", seconds truncated. Made for a million rows: the calendar fields
// and the offset are worked out once per minute and kept in a small cache, since after 1972 every
// time zone is a whole number of minutes from UTC; earlier times are worked out one by one.
class IsoDateTexts {
public:
    // The text of a file time (100-ns units since 1601-01-01 UTC), valid until the next call; empty
    // for a time beyond the C library's calendar.
    std::string_view text(qint64 fileTime);

private:
    struct Slot {
        qint64 minute = std::numeric_limits<qint64>::min();
        char text[40] = {};
    };
    static constexpr size_t kSlots = 1024;
    // Writes the text of a time in seconds since 1970 into out; returns its length, 0 for none.
    static size_t format(qint64 seconds, char* out);

    std::vector<Slot> m_slots = std::vector<Slot>(kSlots);
    char m_text[48] = {};
};
