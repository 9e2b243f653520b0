#include "foundation/DateTime.h"

#include "foundation/Exceptions.h"

#include <clocale>
#include <ctime>
#include <locale.h>

namespace bw {

namespace {
const char* const InvalidDateMessage = "Invalid values specified for Year, Month or Day";
}

bool DateTime::IsLeapYear(int year) {
  return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int64_t DateTime::DateToTicks(int year, int month, int day) {
  if (year < 1 || year > 9999 || month < 1 || month > 12)
    throw ArgumentOutOfRangeException(InvalidDateMessage);
  const int* table = IsLeapYear(year) ? DaysToMonth366 : DaysToMonth365;
  if (day < 1 || day > table[month] - table[month - 1])
    throw ArgumentOutOfRangeException(InvalidDateMessage);
  int64_t y = year - 1;
  int64_t days = y * 365 + y / 4 - y / 100 + y / 400 + table[month - 1] + day - 1;
  return days * TicksPerDay;
}

int64_t TTimeSpan::TimeToTicks(int hour, int minute, int second) {
  int64_t total = static_cast<int64_t>(hour) * 3600 + static_cast<int64_t>(minute) * 60 + second;
  if (total < -MaxSeconds || total > MaxSeconds)
    throw ArgumentOutOfRangeException("TTimeSpan.TimeToTicks Error");
  return total * DateTime::TicksPerSecond;
}

DateTime DateTime::Create(int year, int month, int day, int hour, int minute, int second,
                          int millisecond) {
  int64_t date = DateToTicks(year, month, day);
  int64_t time = TTimeSpan::TimeToTicks(hour, minute, second);
  if (millisecond < 0 || millisecond >= MillisPerSecond)
    throw ArgumentOutOfRangeException("Milliseconds must be between 0 and " +
                                      std::to_string(MillisPerSecond));
  int64_t ticks;
  if (__builtin_add_overflow(date, time, &ticks) ||
      __builtin_add_overflow(ticks, millisecond * TicksPerMillisecond, &ticks) || ticks < 0 ||
      ticks > MaxTicks)
    throw ArgumentException("DateTime.Create max Ticks exceeded");
  return DateTime{ticks};
}

DateTime DateTime::Now() {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  tm local{};
  localtime_r(&now.tv_sec, &local);
  return Create(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min,
                local.tm_sec, static_cast<int>(now.tv_nsec / 1000000));
}

int DateTime::GetDatePart(DatePart part) const {
  int64_t n = Ticks / TicksPerDay;
  int64_t y400 = n / DaysPer400Years;
  n -= y400 * DaysPer400Years;
  int64_t y100 = n / DaysPer100Years;
  if (y100 == 4) y100 = 3;
  n -= y100 * DaysPer100Years;
  int64_t y4 = n / DaysPer4Years;
  n -= y4 * DaysPer4Years;
  int64_t y1 = n / DaysPerYear;
  if (y1 == 4) y1 = 3;
  if (part == dpYear) return static_cast<int>(y400 * 400 + y100 * 100 + y4 * 4 + y1 + 1);
  n -= y1 * DaysPerYear;
  if (part == dpDayOfYear) return static_cast<int>(n + 1);
  bool leap = y1 == 3 && (y4 != 24 || y100 == 3);
  const int* table = leap ? DaysToMonth366 : DaysToMonth365;
  int64_t m = n / 64;
  while (n >= table[m])
    ++m;
  if (part == dpMonth) return static_cast<int>(m);
  return static_cast<int>(n - table[m - 1] + 1);
}

TDateTime DateTime::ToTDateTime(DateTime value) {
  TDateTime serial = 0, time = 0;
  TryEncodeDate(value.Year(), value.Month(), value.Day(), serial);
  TryEncodeTime(value.Hour(), value.Minute(), value.Second(), value.Millisecond(), time);
  return serial > 0 ? serial + time : serial - time;
}

DateTime DateTime::FromTDateTime(TDateTime value) {
  DecodedSerial d{};
  // A serial outside the years 1 to 9999 (or not a number at all) is an
  // impossible date, never a cast of an out-of-range double.
  if (!TryDecodeSerial(value, d)) throw ArgumentOutOfRangeException(InvalidDateMessage);
  return Create(d.Year, d.Month, d.Day, d.Hour, d.Minute, d.Second, d.Millisecond);
}

std::string DateTime::ToShortDateString() const {
  tm date{};
  date.tm_year = Year() - 1900;
  date.tm_mon = Month() - 1;
  date.tm_mday = Day();
  char buffer[128];
  size_t n = 0;
  if (locale_t user = newlocale(LC_TIME_MASK, "", static_cast<locale_t>(nullptr))) {
    n = strftime_l(buffer, sizeof buffer, "%x", &date, user);
    freelocale(user);
  } else {
    n = strftime(buffer, sizeof buffer, "%x", &date);
  }
  return std::string(buffer, n);
}

} // namespace bw
