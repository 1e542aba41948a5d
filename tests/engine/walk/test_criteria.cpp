#include "walk/Criteria.h"
#include "text/FileHelpers.h"

#include <gtest/gtest.h>

namespace {

TEST(CompareDateDays, ComparesWholeDaysOnly) {
    const double day = EncodeDateTime(2020, 5, 4, 0, 0, 0, 0);
    const double picker = EncodeDateTime(2020, 5, 4, 10, 36, 19, 0);
    EXPECT_EQ(CompareDateDays(picker, day), 0);
    EXPECT_EQ(CompareDateDays(picker, EncodeDateTime(2020, 5, 4, 23, 59, 59, 999)), 0);
    EXPECT_EQ(CompareDateDays(picker, EncodeDateTime(2020, 5, 5, 0, 0, 0, 0)), -1); // file after
    EXPECT_EQ(CompareDateDays(picker, EncodeDateTime(2020, 5, 3, 23, 0, 0, 0)), 1); // file before
}

TEST(CompareDateDays, TruncatesTowardZeroBefore1899) {
    // -0.5 and 0.25 both have the whole-day part 0.
    EXPECT_EQ(CompareDateDays(-0.5, 0.25), 0);
    EXPECT_EQ(CompareDateDays(-1.5, 0.25), -1);
}

TEST(CompareSizeKb, EqualWithinOneHundredthOfAKilobyte) {
    auto kb = [](qint64 bytes) { return double(bytes) / 1024.0; };
    EXPECT_EQ(CompareSizeKb(1.0, kb(1014)), 0);
    EXPECT_EQ(CompareSizeKb(1.0, kb(1034)), 0);
    EXPECT_EQ(CompareSizeKb(1.0, kb(1013)), 1);
    EXPECT_EQ(CompareSizeKb(1.0, kb(1035)), -1);
    EXPECT_EQ(CompareSizeKb(0.0, kb(0)), 0);
    EXPECT_EQ(CompareSizeKb(0.0, kb(10)), 0);
    EXPECT_EQ(CompareSizeKb(0.0, kb(11)), -1);
}

TEST(CompareSizeKb, ItemIndexesMapToResults) {
    // "Greater", "Equal to", "Less", and typed text that is no item.
    EXPECT_EQ(wantedResult(SizeRelation::Greater), -1);
    EXPECT_EQ(wantedResult(SizeRelation::Equal), 0);
    EXPECT_EQ(wantedResult(SizeRelation::Less), 1);
    EXPECT_EQ(wantedResult(SizeRelation::None), -2);
    // "After", "Equal to", "Before" likewise.
    EXPECT_EQ(wantedResult(DateRelation::After), -1);
    EXPECT_EQ(wantedResult(DateRelation::Before), 1);
    EXPECT_EQ(wantedResult(DateRelation::None), -2);
}

} // namespace
