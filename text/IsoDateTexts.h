#pragma once

#include <QtGlobal>
#include <limits>
#include <string_view>
#include <vector>

// ISO 8601 texts of file times for scripts, in local time with the offset in force at that time:
// "2024-05-01T12:00:00+02:00", seconds truncated. Made for a million rows: the offset is asked of
// the C library once per UTC day and kept in a small cache, and the fields are worked out from
// it; on a day whose offset changes, each time is asked of the C library itself.
class IsoDateTexts {
public:
    // The text of a file time (100-ns units since 1601-01-01 UTC), valid until the next call; empty
    // for a time beyond the C library's calendar.
    std::string_view text(qint64 fileTime);

private:
    static constexpr int kMixed = std::numeric_limits<int>::min();
    // Seconds east of UTC in force for the whole UTC day, or kMixed.
    int dayOffset(qint64 unixDay);
    // Writes the text of a time in seconds since 1970 into out, asking the C library; returns its
    // length, 0 for none.
    static size_t format(qint64 seconds, char* out);

    struct DaySlot {
        qint64 day = std::numeric_limits<qint64>::min();
        int offset = 0;
    };
    static constexpr size_t kSlots = 4096;
    std::vector<DaySlot> m_days = std::vector<DaySlot>(kSlots);
    char m_text[48] = {};
};
