#include "search/FileHelpers.h"
#include "search/SortKeys.h"

#include <gtest/gtest.h>

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
