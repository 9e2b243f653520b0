#include "ZoneGuard.h"

#include "upgrade/HttpDate.h"

#include <gtest/gtest.h>

namespace bw::test {
namespace {

TDateTime At(int y, int mo, int d, int h, int mi, int s) {
  TDateTime date = 0, time = 0;
  TryEncodeDate(y, mo, d, date);
  TryEncodeTime(h, mi, s, 0, time);
  return date + time;
}

TEST(HttpDateTest, TheThreeFormsOfOneInstantGiveTheSameLocalTime) {
  ZoneGuard zone(CentralEurope);
  TDateTime expected = At(1994, 11, 6, 9, 49, 37); // 08:49:37 UTC in winter
  EXPECT_NEAR(ParseHTTPDate("Sun, 06 Nov 1994 08:49:37 GMT"), expected, 1e-9);
  EXPECT_NEAR(ParseHTTPDate("Sunday, 06-Nov-94 08:49:37 GMT"), expected, 1e-9);
  EXPECT_NEAR(ParseHTTPDate("Sun Nov  6 08:49:37 1994"), expected, 1e-9);
  // A summer date gets the summer offset.
  EXPECT_NEAR(ParseHTTPDate("Mon, 01 Jul 2024 10:00:00 GMT"), At(2024, 7, 1, 12, 0, 0), 1e-9);
}

TEST(HttpDateTest, TwoDigitYearsAndZoneOffsets) {
  ZoneGuard zone("UTC0");
  EXPECT_NEAR(ParseHTTPDate("Sunday, 06-Nov-94 08:49:37 GMT"), At(1994, 11, 6, 8, 49, 37), 1e-9);
  EXPECT_NEAR(ParseHTTPDate("Sat, 05-Nov-05 08:49:37 GMT"), At(2005, 11, 5, 8, 49, 37), 1e-9);
  EXPECT_NEAR(ParseHTTPDate("Sun, 06 Nov 1994 07:19:37 -0130"), At(1994, 11, 6, 8, 49, 37), 1e-9);
}

TEST(HttpDateTest, AnUnreadableDateIsZeroButKeepsTheOffset) {
  ZoneGuard zone("UTC0");
  EXPECT_EQ(ParseHTTPDate(""), 0);
  EXPECT_EQ(ParseHTTPDate("   "), 0);
  EXPECT_EQ(ParseHTTPDate("no date at all"), 0);
  EXPECT_EQ(ParseHTTPDate("Sun, 32 Nov 1994 08:49:37 GMT"), 0);
  // The time is read before it proves wrong; the offset behind it counts.
  EXPECT_NEAR(ParseHTTPDate("Sun, 06 Nov 1994 25:00:00 +0600"), -0.25, 1e-9);
}

TEST(HttpDateTest, TimeZoneOffsets) {
  EXPECT_NEAR(ParseTimeZoneOffset(" +0130 "), 90.0 / 1440, 1e-12);
  EXPECT_NEAR(ParseTimeZoneOffset("-0200"), -120.0 / 1440, 1e-12);
  EXPECT_EQ(ParseTimeZoneOffset("GMT"), 0);
  EXPECT_EQ(ParseTimeZoneOffset("+01"), 0);
  EXPECT_EQ(ParseTimeZoneOffset("+ab00"), 0);
}

TEST(HttpDateTest, LocalAndUtcConvertBothWays) {
  ZoneGuard zone(CentralEurope);
  TDateTime winter = At(2024, 1, 15, 12, 0, 0), summer = At(2024, 7, 15, 12, 0, 0);
  EXPECT_NEAR(UTCToLocalTime(winter) - winter, 1.0 / 24, 1e-9);
  EXPECT_NEAR(UTCToLocalTime(summer) - summer, 2.0 / 24, 1e-9);
  EXPECT_NEAR(LocalTimeToUTC(UTCToLocalTime(summer)), summer, 1e-9);
}

} // namespace
} // namespace bw::test
