#include "platform/FileAttributes.h"
#include "text/FileHelpers.h"
#include "walk/TSearchRecW.h"

#include <gtest/gtest.h>

namespace {

constexpr qint64 kGiB = qint64(1) << 30;
constexpr qint64 kMiB = qint64(1) << 20;

// File time of a UTC instant given in seconds since 1970.
qint64 fileTimeOf(qint64 unixSeconds, qint64 extraTicks = 0) {
    return (unixSeconds + 11644473600LL) * 10000000LL + extraTicks;
}

TEST(AddBackslash, AppendsTheSeparatorOnlyWhenMissing) {
    EXPECT_EQ(AddBackslash(QStringLiteral("/")), QStringLiteral("/"));
    EXPECT_EQ(AddBackslash(QStringLiteral("/data")), QStringLiteral("/data/"));
    EXPECT_EQ(AddBackslash(QStringLiteral("/data/")), QStringLiteral("/data/"));
    // ":" is an ordinary name character on Linux.
    EXPECT_EQ(AddBackslash(QStringLiteral("c:")), QStringLiteral("c:/"));
}

TEST(FormatSize, UnitsSwitchStrictlyAboveThePowersOf1024) {
    EXPECT_EQ(FormatSize(kMiB, u'.'), QStringLiteral("1024 KB"));
    EXPECT_EQ(FormatSize(kMiB + 1, u'.'), QStringLiteral("1 MB"));
    EXPECT_EQ(FormatSize(kGiB, u'.'), QStringLiteral("1024 MB"));
    EXPECT_EQ(FormatSize(kGiB + 1, u'.'), QStringLiteral("1 GB"));
    EXPECT_EQ(FormatSize(kGiB * 1024, u'.'), QStringLiteral("1024 GB"));
}

TEST(FormatSize, RoundsExactlyWithHalvesUpAndDropsTrailingZeros) {
    EXPECT_EQ(FormatSize(0, u'.'), QStringLiteral("0 KB"));
    EXPECT_EQ(FormatSize(5, u'.'), QStringLiteral("0 KB"));
    EXPECT_EQ(FormatSize(6, u'.'), QStringLiteral("0.01 KB"));
    EXPECT_EQ(FormatSize(128, u'.'), QStringLiteral("0.13 KB")); // 0.125 exactly
    EXPECT_EQ(FormatSize(512, u'.'), QStringLiteral("0.5 KB"));
    EXPECT_EQ(FormatSize(1023, u'.'), QStringLiteral("1 KB"));
    EXPECT_EQ(FormatSize(1100000, u'.'), QStringLiteral("1.05 MB"));
    EXPECT_EQ(FormatSize(1610612736, u'.'), QStringLiteral("1.5 GB"));
    // Above the range of a double's exact integers the rounding stays exact.
    EXPECT_EQ(FormatSize(std::numeric_limits<qint64>::max(), u'.'), QStringLiteral("8589934592 GB"));
}

TEST(FormatSize, UsesTheGivenDecimalSeparator) {
    EXPECT_EQ(FormatSize(128, u','), QStringLiteral("0,13 KB"));
    // The test environment runs in the C locale, whose separator is the point.
    EXPECT_EQ(FormatSize(128), QStringLiteral("0.13 KB"));
}

TEST(AttribLetters, FollowsTheFixedOrderAndIgnoresOtherBits) {
    EXPECT_EQ(AttribLetters(0x827), QStringLiteral("RHSAC"));
    EXPECT_EQ(AttribLetters(FileAttr::Directory), QString());
    EXPECT_EQ(AttribLetters(FileAttr::ReadOnly | FileAttr::Archive), QStringLiteral("RA"));
    EXPECT_EQ(AttribLetters(FileAttr::ReparsePoint), QString());
}

TEST(ExtractExt, TakesTheTextFromTheLastDot) {
    EXPECT_EQ(ExtractExt(QStringLiteral("a.tar.gz")), QStringLiteral(".gz"));
    EXPECT_EQ(ExtractExt(QStringLiteral("README")), QString());
    EXPECT_EQ(ExtractExt(QStringLiteral(".profile")), QStringLiteral(".profile"));
    EXPECT_EQ(ExtractExt(QStringLiteral("x.")), QStringLiteral("."));
    EXPECT_EQ(ExtractExt(QStringLiteral("/a.b/c")), QString());
    EXPECT_EQ(ExtractExt(QStringLiteral("a:b.c")), QStringLiteral(".c"));
    const char name[] = "dir.x/file.TXT";
    EXPECT_EQ(extensionOffset(name, 14), 10);
    EXPECT_EQ(extensionOffset("a.b/c", 5), -1);
}

TEST(FindDataSize, JoinsBothHalvesAsUnsigned) {
    TSearchRecW rec;
    rec.FindData.nFileSizeHigh = 1;
    rec.FindData.nFileSizeLow = 0x80000000u;
    EXPECT_EQ(FindDataSize(rec), qint64(0x180000000LL));
}

TEST(EncodeDateTime, CountsDaysFrom1899AndSubtractsTheTimeBeforeIt) {
    EXPECT_DOUBLE_EQ(EncodeDateTime(1899, 12, 30, 0, 0, 0, 0), 0.0);
    EXPECT_DOUBLE_EQ(EncodeDateTime(1900, 1, 1, 12, 0, 0, 0), 2.5);
    EXPECT_DOUBLE_EQ(EncodeDateTime(2018, 3, 1, 0, 0, 0, 0), 43160.0);
    EXPECT_DOUBLE_EQ(EncodeDateTime(1899, 12, 29, 6, 0, 0, 0), -1.25);
}

// The tests run with TZ=Europe/Berlin: UTC+1 in winter, UTC+2 in summer.
TEST(FileTimeToDateTime, UsesTheOffsetInForceOnTheFilesOwnDate) {
    // 2021-01-15 11:00:00 UTC is 12:00 in Berlin.
    EXPECT_DOUBLE_EQ(FileTimeToDateTime(fileTimeOf(1610708400)), EncodeDateTime(2021, 1, 15, 12, 0, 0, 0));
    // 2021-07-15 10:00:00 UTC is 12:00 in Berlin, whatever the offset is today.
    EXPECT_DOUBLE_EQ(FileTimeToDateTime(fileTimeOf(1626343200)), EncodeDateTime(2021, 7, 15, 12, 0, 0, 0));
}

TEST(FileTimeToDateTime, KeepsMillisecondsAndHandlesTheEarliestTimes) {
    EXPECT_DOUBLE_EQ(FileTimeToDateTime(fileTimeOf(1610708400, 1234567)), EncodeDateTime(2021, 1, 15, 12, 0, 0, 123));
    const double origin = FileTimeToDateTime(0); // 1601-01-01 00:00 UTC
    EXPECT_LT(origin, -109000.0);
    EXPECT_GT(origin, -109300.0);
}

} // namespace
