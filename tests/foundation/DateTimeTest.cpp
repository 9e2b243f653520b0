#include "foundation/DateTime.h"
#include "foundation/Exceptions.h"
#include "foundation/SerialDate.h"

#include "MessageOf.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace bw;
using bw::test::MessageOf;

namespace {
const std::string BadDate = "Invalid values specified for Year, Month or Day";
const std::string MaxTicks = "DateTime.Create max Ticks exceeded";
} // namespace

TEST(DateTime, CreateKnownTicks) {
  EXPECT_EQ(DateTime::Create(1, 1, 1, 0, 0, 0, 0).Ticks, 0);
  EXPECT_EQ(DateTime::Create(2024, 1, 1, 0, 0, 0, 0).Ticks, 638396640000000000);
  EXPECT_EQ(DateTime::Create(9999, 12, 31, 23, 59, 59, 999).Ticks, 3155378975999990000);
  DateTime overflowHour = DateTime::Create(2024, 1, 1, 25, 0, 0, 0);
  EXPECT_EQ(overflowHour.Day(), 2);
  EXPECT_EQ(overflowHour.Hour(), 1);
  EXPECT_EQ(DateTime::Create(2024, 1, 1, 0, -1, 0, 0).Ticks,
            638396640000000000 - DateTime::TicksPerMinute);
}

TEST(DateTime, CreateFailuresInTheirOrder) {
  EXPECT_EQ(MessageOf<ArgumentException>([] { DateTime::Create(9999, 12, 31, 24, 0, 0, 0); }),
            MaxTicks);
  EXPECT_EQ(MessageOf<ArgumentException>([] { DateTime::Create(1, 1, 1, -1, 0, 0, 0); }), MaxTicks);
  for (auto [y, m, d] : {std::tuple{1900, 2, 29},
                         {2023, 2, 29},
                         {2024, 0, 1},
                         {2024, 13, 1},
                         {2024, 1, 0},
                         {0, 1, 1},
                         {10000, 1, 1},
                         {2024, 4, 31}})
    EXPECT_EQ(MessageOf<ArgumentOutOfRangeException>(
                  [y = y, m = m, d = d] { DateTime::Create(y, m, d); }),
              BadDate);
  EXPECT_NO_THROW(DateTime::Create(2000, 2, 29));
  EXPECT_NO_THROW(DateTime::Create(2024, 2, 29));
  // The date is judged before the milliseconds, the time total before both.
  EXPECT_EQ(
      MessageOf<ArgumentOutOfRangeException>([] { DateTime::Create(0, 1, 1, 0, 0, 0, 5000); }),
      BadDate);
  EXPECT_EQ(
      MessageOf<ArgumentOutOfRangeException>([] { TTimeSpan::TimeToTicks(256204778, 48, 6); }),
      "TTimeSpan.TimeToTicks Error");
  EXPECT_EQ(TTimeSpan::TimeToTicks(256204778, 48, 5), 922337203685 * DateTime::TicksPerSecond);
  EXPECT_EQ(
      MessageOf<ArgumentOutOfRangeException>([] { DateTime::Create(2024, 1, 1, 0, 0, 0, 1000); }),
      "Milliseconds must be between 0 and 1000");
  EXPECT_EQ(
      MessageOf<ArgumentOutOfRangeException>([] { DateTime::Create(2024, 1, 1, 0, 0, 0, -1); }),
      "Milliseconds must be between 0 and 1000");
  EXPECT_NO_THROW(DateTime::Create(2024, 1, 1, 0, 0, 0, 999));
  // A sum that would overflow 64 bits is the range error, not undefined behaviour.
  EXPECT_EQ(MessageOf<ArgumentException>([] { DateTime::Create(9999, 1, 1, 256204778, 48, 5); }),
            MaxTicks);
}

TEST(DateTime, PartsRoundTripOverTheCalendar) {
  // Every day of a few 400-year-cycle edges, including day 366 of leap years.
  for (int year : {1, 4, 100, 400, 1600, 1899, 1900, 2000, 2023, 2024, 2100, 9999})
    for (int month = 1; month <= 12; ++month)
      for (int day = 1; day <= 31; ++day) {
        DateTime d;
        try {
          d = DateTime::Create(year, month, day, 13, 14, 15, 16);
        } catch (const ArgumentOutOfRangeException&) {
          continue;
        }
        ASSERT_EQ(d.Year(), year);
        ASSERT_EQ(d.Month(), month);
        ASSERT_EQ(d.Day(), day);
        ASSERT_EQ(d.Hour(), 13);
        ASSERT_EQ(d.Minute(), 14);
        ASSERT_EQ(d.Second(), 15);
        ASSERT_EQ(d.Millisecond(), 16);
      }
  EXPECT_EQ(DateTime::Create(2000, 12, 31).GetDatePart(DateTime::dpDayOfYear), 366);
  EXPECT_EQ(DateTime::Create(1900, 12, 31).GetDatePart(DateTime::dpDayOfYear), 365);
}

TEST(DateTime, PlatformDateConversions) {
  struct Case {
    DateTime When;
    double Serial;
  } cases[] = {{DateTime::Create(1899, 12, 30, 12), -0.5},
               {DateTime::Create(1899, 12, 31, 12), 1.5},
               {DateTime::Create(1899, 12, 29, 6), -1.25},
               {DateTime::Create(1, 1, 1), -693593.0},
               {DateTime::Create(2024, 7, 4, 18, 30, 15, 250), 45477.77100983796}};
  for (const Case& c : cases) {
    EXPECT_DOUBLE_EQ(DateTime::ToTDateTime(c.When), c.Serial);
    EXPECT_EQ(DateTime::FromTDateTime(c.Serial).Ticks, c.When.Ticks) << c.Serial;
  }
  // Rounding to the millisecond comes first.
  DateTime almost = DateTime::FromTDateTime(45657.9999999999);
  EXPECT_EQ(almost.Ticks, DateTime::Create(2025, 1, 1).Ticks);
  for (double bad :
       {std::nan(""), std::numeric_limits<double>::infinity(), 1e300, -693594.0, 2958466.0})
    EXPECT_EQ(MessageOf<ArgumentOutOfRangeException>([&] { DateTime::FromTDateTime(bad); }),
              BadDate)
        << bad;
}

TEST(DateTime, NowIsTodayAndShortDateIsNotEmpty) {
  // Read between two readings of today, so that a new year at that moment
  // cannot make the test fail.
  DecodedSerial before{}, after{};
  ASSERT_TRUE(TryDecodeSerial(Today(), before));
  DateTime now = DateTime::Now();
  ASSERT_TRUE(TryDecodeSerial(Today(), after));
  EXPECT_GE(now.Year(), before.Year);
  EXPECT_LE(now.Year(), after.Year);
  EXPECT_FALSE(DateTime::Create(2024, 3, 5).ToShortDateString().empty());
}
