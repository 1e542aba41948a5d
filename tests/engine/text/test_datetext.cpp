#include "platform/FileTime.h"
#include "text/DateText.h"
#include "text/FileHelpers.h"
#include "text/IsoDateTexts.h"

#include <gtest/gtest.h>

namespace {

TEST(IsoDateTexts, LocalTimeWithTheOffsetInForceThen) {
    // In Europe/Berlin, as the tests run.
    const struct {
        qint64 unixSeconds;
        const char* text;
    } cases[] = {
        {1593597600, "2020-07-01T12:00:00+02:00"},
        {1577836800, "2020-01-01T01:00:00+01:00"},
        {1616893199, "2021-03-28T01:59:59+01:00"}, // the last second before summer time
        {1616893200, "2021-03-28T03:00:00+02:00"},
        {1635640200, "2021-10-31T02:30:00+02:00"}, // the hour that comes twice
        {1635643800, "2021-10-31T02:30:00+01:00"},
        {-1, "1970-01-01T00:59:59+01:00"},
        {-5364662400, "1800-01-01T00:53:28+00:53"}, // local mean time, shown to the minute
        {253402297199, "9999-12-31T23:59:59+01:00"},
        {253402300799, "10000-01-01T00:59:59+01:00"}, // five digits from the C library
    };
    IsoDateTexts texts;
    for (int round = 0; round < 2; ++round) { // the second round reads the cached offsets
        for (const auto& c : cases)
            EXPECT_EQ(texts.text(FileTime::fromUnix(c.unixSeconds, 999999999)), std::string_view(c.text))
                << c.unixSeconds;
    }
}

TEST(DecodeDateTime, InvertsEncodeDateTimeOnBothSidesOf1899) {
    const int cases[][7] = {{2021, 7, 15, 12, 34, 56, 789},
                            {1899, 12, 30, 0, 0, 0, 0},
                            {1899, 12, 29, 6, 0, 0, 0},
                            {1601, 1, 1, 23, 59, 59, 999},
                            {2400, 2, 29, 0, 0, 0, 1}};
    for (const auto& c : cases) {
        const DateTimeFields f = DecodeDateTime(EncodeDateTime(c[0], c[1], c[2], c[3], c[4], c[5], c[6]));
        EXPECT_EQ((std::vector<int>{f.year, f.month, f.day, f.hour, f.minute, f.second, f.msec}),
                  (std::vector<int>(c, c + 7)));
    }
}

TEST(DateTextFormat, WidensTwoDigitYearsAndUsesTheTimeSeparator) {
    const DateTextFormat german(QStringLiteral("dd.MM.yy"), QLatin1Char('.'), QLocale(QLocale::C));
    EXPECT_EQ(german.dateFormat(), QStringLiteral("dd.MM.yyyy"));
    EXPECT_EQ(german.format(EncodeDateTime(2024, 3, 9, 7, 5, 59, 999)), QStringLiteral("09.03.2024 07.05"));
    const DateTextFormat us(QStringLiteral("M/d/yyyy"), QLatin1Char(':'), QLocale(QLocale::C));
    EXPECT_EQ(us.format(EncodeDateTime(2024, 12, 31, 23, 59, 0, 0)), QStringLiteral("12/31/2024 23:59"));
}

TEST(DateTextFormat, TextsReadBackToTheirMinute) {
    const DateTextFormat fmt(QStringLiteral("dd/MM/yyyy"), QLatin1Char(':'), QLocale(QLocale::C));
    double value = 0;
    ASSERT_TRUE(fmt.parse(QStringLiteral("05/11/2023 18:07"), value));
    EXPECT_DOUBLE_EQ(value, EncodeDateTime(2023, 11, 5, 18, 7, 0, 0));
    EXPECT_FALSE(fmt.parse(QStringLiteral("not a date"), value));
    EXPECT_FALSE(fmt.parse(QStringLiteral("05/11/2023 25:07"), value));

    const double t = EncodeDateTime(2023, 11, 5, 18, 7, 42, 500);
    ASSERT_TRUE(fmt.parse(fmt.format(t), value));
    EXPECT_DOUBLE_EQ(value, EncodeDateTime(2023, 11, 5, 18, 7, 0, 0));
}

TEST(DateTextFormat, TheSystemFormatRoundTrips) {
    const DateTextFormat& fmt = DateTextFormat::system();
    EXPECT_TRUE(fmt.dateFormat().contains(QLatin1String("yyyy")));
    double value = 0;
    const QString text = fmt.format(EncodeDateTime(2019, 6, 30, 9, 41, 0, 0));
    ASSERT_TRUE(fmt.parse(text, value)) << text.toStdString();
    EXPECT_DOUBLE_EQ(value, EncodeDateTime(2019, 6, 30, 9, 41, 0, 0));
}

} // namespace

namespace {

TEST(DateTextFormat, ReadsNumericAndNamedMonthFormatsAlike) {
    const QLocale c(QLocale::C);
    const double when = EncodeDateTime(2024, 9, 3, 14, 5, 0, 0);
    for (const char* format : {"d MMM yyyy", "dd/MM/yyyy", "M/d/yy", "yyyy-MM-dd", "d. MMMM yyyy", "ddd d MMM yyyy"}) {
        const DateTextFormat fmt(QString::fromLatin1(format), QLatin1Char(':'), c);
        const QString text = fmt.format(when);
        double value = 0;
        ASSERT_TRUE(fmt.parse(text, value)) << format << ": " << text.toStdString();
        EXPECT_DOUBLE_EQ(value, when) << format;
    }
    const DateTextFormat named(QStringLiteral("d MMM yyyy"), QLatin1Char(':'), c);
    double value = 0;
    EXPECT_TRUE(named.parse(QStringLiteral("3 sep 2024 14:05"), value));
    EXPECT_FALSE(named.parse(QStringLiteral("31 Feb 2024 14:05"), value));
    EXPECT_FALSE(named.parse(QStringLiteral("3 Sep 2024x 14:05"), value));
}

} // namespace
