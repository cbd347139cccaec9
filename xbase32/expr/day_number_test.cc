#include "expr/day_number.h"

#include <gtest/gtest.h>

#include <string>

namespace xbase32 {
namespace {

std::string Date(int32_t day) {
  std::string s(8, '?');
  DayToDate(day, s.data());
  return s;
}

TEST(DayNumberTest, KnownDays) {
  EXPECT_EQ(DateToDay("00010101"), 1721426);
  EXPECT_EQ(DateToDay("20000101"), 2451545);
  EXPECT_EQ(DateToDay("19700101"), 2440588);
  EXPECT_EQ(DateToDay("99991231"), kLastDayNumber);
  EXPECT_EQ(DayFromYmd(1, 1, 1), kFirstDayNumber);
  EXPECT_EQ(Date(2451545), "20000101");
  EXPECT_EQ(Date(kFirstDayNumber), "00010101");
  EXPECT_EQ(Date(kLastDayNumber), "99991231");
}

TEST(DayNumberTest, BlankAndInvalid) {
  EXPECT_EQ(DateToDay("        "), 0);
  EXPECT_EQ(DateToDay(std::string(8, '\0').data()), 0);
  EXPECT_EQ(DateToDay("2009    "), -1);
  EXPECT_EQ(DateToDay("20090230"), -1);
  EXPECT_EQ(DateToDay("20091301"), -1);
  EXPECT_EQ(DateToDay("20090100"), -1);
  EXPECT_EQ(DateToDay("00000101"), -1);
  EXPECT_EQ(DateToDay("2009-1-1"), -1);
  EXPECT_EQ(DayFromYmd(10000, 1, 1), -1);
  EXPECT_EQ(Date(0), "        ");
  EXPECT_EQ(Date(-1), "        ");
  EXPECT_EQ(Date(kLastDayNumber + 1), "        ");
  EXPECT_FALSE(DayToDate(kFirstDayNumber - 1, std::string(8, ' ').data()));
}

TEST(DayNumberTest, LeapYears) {
  EXPECT_NE(DateToDay("20000229"), -1);  // divisible by 400
  EXPECT_EQ(DateToDay("19000229"), -1);  // century
  EXPECT_NE(DateToDay("20080229"), -1);
  EXPECT_EQ(DateToDay("20090229"), -1);
  EXPECT_EQ(DateToDay("20000301") - DateToDay("20000228"), 2);
  EXPECT_EQ(DateToDay("19000301") - DateToDay("19000228"), 1);
}

TEST(DayNumberTest, RoundTripEveryDay) {
  int y0 = 0, m0 = 0, d0 = 0;
  for (int32_t day = kFirstDayNumber; day <= kLastDayNumber; day++) {
    int y, m, d;
    ASSERT_TRUE(YmdFromDay(day, &y, &m, &d));
    ASSERT_EQ(DayFromYmd(y, m, d), day);
    // Consecutive day numbers are consecutive calendar days.
    if (day > kFirstDayNumber) {
      const bool next_day = y == y0 && m == m0 && d == d0 + 1;
      const bool next_month = y == y0 && m == m0 + 1 && d == 1;
      const bool next_year = y == y0 + 1 && m == 1 && d == 1 && m0 == 12;
      ASSERT_TRUE(next_day || next_month || next_year) << day;
    }
    y0 = y;
    m0 = m;
    d0 = d;
  }
}

}  // namespace
}  // namespace xbase32
