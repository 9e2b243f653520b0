// A date and time as 100-nanosecond ticks since 0001-01-01 00:00, local time.
#pragma once

#include "foundation/SerialDate.h"

#include <cstdint>
#include <string>

namespace bw {

struct DateTime {
  int64_t Ticks = 0;

  static constexpr int64_t TicksPerMillisecond = 10000;
  static constexpr int64_t TicksPerSecond = 10000000;
  static constexpr int64_t TicksPerMinute = 600000000;
  static constexpr int64_t TicksPerHour = 36000000000;
  static constexpr int64_t TicksPerDay = 864000000000;
  static constexpr int64_t MaxTicks = 3155378975999999999;
  static constexpr int MillisPerSecond = 1000;
  static constexpr int DaysPerYear = 365;
  static constexpr int DaysPer4Years = 1461;
  static constexpr int DaysPer100Years = 36524;
  static constexpr int DaysPer400Years = 146097;
  static constexpr int DaysToMonth365[13] = {0,   31,  59,  90,  120, 151, 181,
                                             212, 243, 273, 304, 334, 365};
  static constexpr int DaysToMonth366[13] = {0,   31,  60,  91,  121, 152, 182,
                                             213, 244, 274, 305, 335, 366};

  static DateTime Create(int year, int month, int day, int hour = 0, int minute = 0, int second = 0,
                         int millisecond = 0);
  static DateTime Now();
  static DateTime FromTDateTime(TDateTime value);
  static TDateTime ToTDateTime(DateTime value);
  static bool IsLeapYear(int year);
  static int64_t DateToTicks(int year, int month, int day);

  enum DatePart { dpYear = 0, dpDayOfYear = 1, dpMonth = 2, dpDay = 3 };
  int GetDatePart(DatePart part) const;

  int Year() const { return GetDatePart(dpYear); }
  int Month() const { return GetDatePart(dpMonth); }
  int Day() const { return GetDatePart(dpDay); }
  int Hour() const { return static_cast<int>((Ticks / TicksPerHour) % 24); }
  int Minute() const { return static_cast<int>((Ticks / TicksPerMinute) % 60); }
  int Second() const { return static_cast<int>((Ticks / TicksPerSecond) % 60); }
  int Millisecond() const { return static_cast<int>((Ticks / TicksPerMillisecond) % 1000); }
  TDateTime ToTDateTime() const { return ToTDateTime(*this); }
  // The date part in the user's short date format.
  std::string ToShortDateString() const;
};

struct TTimeSpan {
  static constexpr int64_t MaxSeconds = 922337203685;
  static int64_t TimeToTicks(int hour, int minute, int second);
};

} // namespace bw
