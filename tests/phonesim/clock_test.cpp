// The virtual clock's calendar.
#include <gtest/gtest.h>

#include "clock.h"

using namespace phonesim;

TEST(Clock, DateAndTimeRunWithTheTicks) {
  Clock c;
  ASSERT_TRUE(c.set(*parse_date_time("2024-02-28 23:59:30")));
  c.set_ticks(c.ticks() + 30 * Clock::kTicksPerSecond);
  EXPECT_EQ(format_date_time(c.now()), "2024-02-29 00:00:00") << "a leap day";
  c.set_ticks(c.ticks() + 24 * 3600 * Clock::kTicksPerSecond + Clock::kTicksPerSecond - 1);
  EXPECT_EQ(format_date_time(c.now()), "2024-03-01 00:00:00") << "whole seconds only";
  c.set_ticks(c.ticks() + 64800);
  EXPECT_EQ(format_date_time(c.now()), "2024-03-01 00:05:00") << "64800 ticks are five minutes";
}

TEST(Clock, ParsesOnlyRealDatesAndTimes) {
  EXPECT_TRUE(parse_date_time("2024-03-03 07:05"));
  EXPECT_TRUE(parse_date_time("1999-12-31 23:59:59"));
  for (const char* bad : {"2023-02-29 10:00", "2024-13-01 10:00", "2024-03-03 24:00", "2024-03-03 07:60",
                          "2024-03-03", "2024-03-03 07:05x", "yesterday"})
    EXPECT_FALSE(parse_date_time(bad)) << bad;
}
