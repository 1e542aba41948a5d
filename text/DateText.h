#pragma once

#include <QHash>
#include <QLocale>
#include <QString>
#include <QStringList>
#include <limits>
#include <vector>

// Calendar fields of a date-time value (days since 1899-12-30, fraction = time of day).
struct DateTimeFields {
    int year = 1899, month = 12, day = 30;
    int hour = 0, minute = 0, second = 0, msec = 0;
};
DateTimeFields DecodeDateTime(double value);

// The formats the file list writes and reads its dates with: the locale's short date, widened to
// a four-digit year so the text reads back unambiguously, then " hh" + time separator + "nn".
class DateTextFormat {
public:
    // The system locale's formats.
    static const DateTextFormat& system();
    // A locale's short date format with a two-digit year widened to four digits, so its texts
    // read back unambiguously.
    static QString widenedShortDate(const QLocale& locale);
    DateTextFormat(const QString& shortDateFormat, QChar timeSeparator, const QLocale& locale = QLocale::system());

    // Date text of a date-time value.
    QString format(double value) const;
    // Date text of a file time: FileTimeToDateTime, then format.
    QString formatFileTime(qint64 fileTime) const;
    // The date-time value of a date text; false when the text does not read as one.
    bool parse(const QString& text, double& value) const;

    const QString& dateFormat() const { return m_dateFormat; }
    QChar timeSeparator() const { return m_timeSeparator; }

private:
    // The date format as fields and literals, read once, so a million texts parse quickly.
    struct Field {
        enum Kind { Day, Month, MonthName, DayName, Year, Literal } kind;
        QString literal;
    };
    bool parseFields(QStringView text, int& year, int& month, int& day) const;

    QString m_dateFormat;
    QChar m_timeSeparator;
    QLocale m_locale;
    std::vector<Field> m_fields;
    bool m_fieldsUsable = false;
    QStringList m_monthNames; // long and short names, longest first, with their month numbers
    QList<int> m_monthNumbers;
    QStringList m_dayNames;
};

// Date texts of file times for a whole list: a text is made once per minute and kept in a small
// cache, since neighbouring rows often share a minute. After 1972 every time zone is a whole
// number of minutes from UTC, so the UTC minute decides the local minute; earlier times are
// formatted one by one.
class FileDateTexts {
public:
    explicit FileDateTexts(const DateTextFormat& format = DateTextFormat::system()) : m_format(format) {}
    QString text(qint64 fileTime);

private:
    struct Slot {
        qint64 minute = std::numeric_limits<qint64>::min();
        QString text;
    };
    static constexpr size_t kSlots = 1024;
    const DateTextFormat& m_format;
    std::vector<Slot> m_slots = std::vector<Slot>(kSlots);
};

// Sort keys of file times: the date-time value of the minute that the file time's date text
// shows, which is the value reading that text back gives, so times that show alike are equal.
// Made for a million rows: the local offset is looked up once per day, not once per row.
class DateSortKeys {
public:
    double minuteValue(qint64 fileTime);

private:
    // Minutes east of UTC for the whole UTC day, or kMixed when the offset changes that day.
    static constexpr int kMixed = std::numeric_limits<int>::min();
    static constexpr int kUnknown = std::numeric_limits<int>::max();
    int dayOffset(qint64 unixDay);
    // Days from 1970 to 2100 in a flat table, the rare others in a hash.
    std::vector<int> m_nearOffsets = std::vector<int>(130 * 366, kUnknown);
    QHash<qint64, int> m_farOffsets;
};
