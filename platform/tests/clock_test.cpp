#include <gtest/gtest.h>

#include "zel/platform/clock.h"

namespace zel::platform {

TEST(Clock, FakeClockCarriesAcrossMonthYearAndLeapDay) {
  FakeClock c({2024, 2, 28, 23, 59, 59});
  EXPECT_EQ(c.Now().weekday, 3);  // Wednesday
  c.AdvanceSeconds(1);
  LocalTime t = c.Now();
  EXPECT_EQ(t.month, 2);
  EXPECT_EQ(t.day, 29);
  EXPECT_EQ(t.hour, 0);
  c.AdvanceSeconds(86400);
  EXPECT_EQ(c.Now().month, 3);
  EXPECT_EQ(c.Now().day, 1);
  c.Set({2099, 12, 31, 23, 0, 0});
  c.AdvanceSeconds(3600);
  EXPECT_EQ(c.Now().year, 2100);
  EXPECT_EQ(c.Now().month, 1);
  c.AdvanceSeconds(-1);
  EXPECT_EQ(c.Now().year, 2099);
  EXPECT_EQ(c.Now().second, 59);
}

TEST(Clock, WeekdayOfKnownDates) {
  EXPECT_EQ(WeekdayOf(2000, 1, 1), 6);   // Saturday
  EXPECT_EQ(WeekdayOf(2026, 12, 8), 2);  // Tuesday
  EXPECT_EQ(WeekdayOf(2024, 3, 3), 0);   // Sunday
}

}  // namespace zel::platform
