#include "platform/FileTime.h"
#include "text/DateText.h"
#include "text/FileHelpers.h"
#include "text/SortKeys.h"

#include <gtest/gtest.h>
#include <limits>

namespace {

double kb(const QString& text, QChar point = u'.') {
    double v = -1;
    EXPECT_TRUE(SizeTextValue(text, v, point)) << text.toStdString();
    return v;
}

TEST(SizeTextValue, ReadsEveryTextFormatSizeWrites) {
    EXPECT_DOUBLE_EQ(kb(QStringLiteral("0 KB")), 0.0);
    EXPECT_DOUBLE_EQ(kb(QStringLiteral("0.13 KB")), 0.13);
    EXPECT_DOUBLE_EQ(kb(QStringLiteral("1.5 MB")), 1536.0);
    EXPECT_DOUBLE_EQ(kb(QStringLiteral("2 GB")), 2097152.0);
    EXPECT_DOUBLE_EQ(kb(QStringLiteral("0,5 KB"), u','), 0.5);
    EXPECT_DOUBLE_EQ(kb(QStringLiteral(" 3 KB")), 3.0);
    for (qint64 bytes : {qint64(0), qint64(6), qint64(1) << 20, (qint64(1) << 20) + 1, qint64(5) << 40})
        EXPECT_NEAR(kb(FormatSize(bytes, u'.')), double(bytes) / 1024.0, double(bytes) / 1024.0 * 0.01 + 0.01);
    double v;
    EXPECT_FALSE(SizeTextValue(QStringLiteral("12"), v, u'.'));
    EXPECT_FALSE(SizeTextValue(QStringLiteral("x KB"), v, u'.'));
}

TEST(SizeTextValue, OrdersKilobytesBelowMegabytesBelowGigabytes) {
    EXPECT_LT(kb(QStringLiteral("900 KB")), kb(QStringLiteral("1.5 MB")));
    EXPECT_LT(kb(QStringLiteral("1024 MB")), kb(QStringLiteral("1.01 GB")));
    EXPECT_EQ(CompareSizeValues(kb(QStringLiteral("1024 KB")), kb(QStringLiteral("1 MB"))), 0);
    EXPECT_EQ(CompareSizeValues(1.0, 1.0 + 1e-13), 0);
    EXPECT_EQ(CompareSizeValues(1.0, 1.001), -1);
    EXPECT_EQ(CompareSizeValues(0.0, 1e-13), 0);
}

TEST(CompareDateValues, EqualWithinAMillisecond) {
    const double a = EncodeDateTime(2020, 1, 1, 10, 0, 0, 0);
    EXPECT_EQ(CompareDateValues(a, a), 0);
    EXPECT_EQ(CompareDateValues(a, EncodeDateTime(2020, 1, 1, 10, 0, 0, 2)), -1);
    EXPECT_EQ(CompareDateValues(EncodeDateTime(2020, 1, 1, 10, 1, 0, 0), a), 1);
}

} // namespace

namespace {

// Keys made from values are the values of the texts shown for them, so rows sort as their texts
// read: sizes that show alike and times of one shown minute are equal.
TEST(ValueSortKeys, AreTheValuesOfTheShownTexts) {
    for (const qint64 bytes : {qint64(0), qint64(5), qint64(6), qint64(128), qint64(1034), qint64(1039),
                               qint64(1) << 20, (qint64(1) << 20) + 1, qint64(1100000), qint64(1) << 30,
                               (qint64(1) << 30) + 1, qint64(1610612736), qint64(1) << 40, qint64(5) << 50}) {
        double read = -1;
        ASSERT_TRUE(SizeTextValue(FormatSize(bytes), read));
        EXPECT_EQ(ShownSizeKb(bytes), read) << bytes;
    }
    EXPECT_EQ(ShownSizeKb(1034), ShownSizeKb(1039)) << "both show 1.01 KB";

    const DateTextFormat& format = DateTextFormat::system();
    DateSortKeys keys;
    const auto at = [](qint64 unixSeconds) { return FileTime::fromUnix(unixSeconds); };
    // Berlin: summer time ends 2020-10-25 03:00 CEST, so 02:30 shows twice, an hour apart.
    for (const qint64 fileTime :
         {at(0), at(63071999), at(63072000), at(1603585800), at(1603589400), at(1603589459), at(1585443600),
          at(-2000000000), at(1700000000) + 1234567, std::numeric_limits<qint64>::max()}) {
        double read = 0;
        ASSERT_TRUE(format.parse(format.formatFileTime(fileTime), read)) << fileTime;
        EXPECT_EQ(keys.minuteValue(fileTime), read) << format.formatFileTime(fileTime).toStdString();
    }
    EXPECT_EQ(keys.minuteValue(at(1603585800)), keys.minuteValue(at(1603589400))) << "02:30 before and after";
    EXPECT_EQ(keys.minuteValue(at(1700000000)), keys.minuteValue(at(1700000000 + 19))) << "one minute";
}

} // namespace
