// Packed dates and day numbers.
#include "zel/day_number.h"

#include <gtest/gtest.h>

namespace zel {
namespace {

TEST(DayNumber, LeapDayAndYearStarts) {
  EXPECT_EQ(DayNumber(0, 1, 1), 0);
  EXPECT_EQ(DayNumber(0, 2, 29), 59);
  EXPECT_EQ(DayNumber(0, 3, 1), 60);
  EXPECT_EQ(DayNumber(0, 12, 31), 365);
  EXPECT_EQ(DayNumber(1, 1, 1), 366);
  EXPECT_EQ(DayNumber(1, 3, 1), 366 + 59);  // no 29 February in 2001
  EXPECT_EQ(DayNumber(4, 1, 1), 1461);
  EXPECT_EQ(DayNumber(4, 2, 29), 1461 + 59);
  EXPECT_EQ(DayNumber(4, 3, 1), 1461 + 60);
  EXPECT_EQ(DayNumber(99, 12, 31), 36524);
}

TEST(DayNumber, PackedDates) {
  // Day in bits 0-4, month in 5-8, year in 9-15.
  EXPECT_EQ(PackDate(0, 2, 29), 29 | (2 << 5));
  EXPECT_EQ(PackDate(24, 12, 31), 31 | (12 << 5) | (24 << 9));
  EXPECT_EQ(UnpackDate(0xFFFF), (CivilDate{127, 15, 31}));
  EXPECT_EQ(DayNumberOfPacked(PackDate(1, 1, 1)), 366);
  EXPECT_EQ(DayNumberOfPacked(29 | (2 << 5)), 59);
  EXPECT_EQ(AbsoluteTicks(PackDate(0, 1, 2), 5, 100), 8640000 + 5);
}

TEST(DayNumber, DamagedMonthsStayInsideTheTable) {
  // Months 0 and 13-15 can stand in a packed date; they are held to January and December.
  EXPECT_EQ(DayNumber(3, 0, 1), DayNumber(3, 1, 1));
  EXPECT_EQ(DayNumber(3, 15, 1), DayNumber(3, 12, 1));
  EXPECT_EQ(DayNumberOfPacked(0), -1);  // day 0 of January 2000: the day before day 0
}

TEST(DayNumber, InverseRoundTripsEveryDay) {
  int previous = -1;
  for (int y = 0; y <= 99; ++y) {
    for (int m = 1; m <= 12; ++m) {
      static const int kLen[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
      const int len = (m == 2 && y % 4 == 0) ? 29 : kLen[m - 1];
      for (int d = 1; d <= len; ++d) {
        const int n = DayNumber(y, m, d);
        ASSERT_EQ(n, previous + 1) << y << "-" << m << "-" << d;
        previous = n;
        const auto back = DateOfDayNumber(n);
        ASSERT_TRUE(back.has_value());
        ASSERT_EQ(*back, (CivilDate{y, m, d}));
      }
    }
  }
  EXPECT_FALSE(DateOfDayNumber(-1).has_value());
  EXPECT_FALSE(DateOfDayNumber(36525).has_value());
}

TEST(DayNumber, TicksPerDay) {
  EXPECT_EQ(TicksPerDay(1000), 86400000);
  EXPECT_EQ(TicksPerDay(100), 8640000);
  EXPECT_EQ(TicksPerDay(10), 864000);
}

}  // namespace
}  // namespace zel
