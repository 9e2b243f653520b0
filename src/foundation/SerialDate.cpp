#include "foundation/SerialDate.h"
#include "foundation/Rounding.h"

#include <cmath>
#include <ctime>

namespace bw {

namespace {
constexpr int DaysToMonth[2][13] = {{0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334, 365},
                                    {0, 31, 60, 91, 121, 152, 182, 213, 244, 274, 305, 335, 366}};

bool Leap(int y) {
  return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

constexpr int32_t MaxDays = 3652058; // 9999-12-31
} // namespace

bool IsValidDate(int year, int month, int day) {
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1) return false;
  const int* table = DaysToMonth[Leap(year)];
  return day <= table[month] - table[month - 1];
}

int32_t DaysSinceEpoch(int year, int month, int day) {
  int y = year - 1;
  return y * 365 + y / 4 - y / 100 + y / 400 + DaysToMonth[Leap(year)][month - 1] + day - 1;
}

void DaysToDate(int32_t n, int& year, int& month, int& day) {
  int y400 = n / 146097;
  n -= y400 * 146097;
  int y100 = n / 36524;
  if (y100 == 4) y100 = 3;
  n -= y100 * 36524;
  int y4 = n / 1461;
  n -= y4 * 1461;
  int y1 = n / 365;
  if (y1 == 4) y1 = 3;
  n -= y1 * 365;
  year = y400 * 400 + y100 * 100 + y4 * 4 + y1 + 1;
  const int* table = DaysToMonth[Leap(year)];
  int m = n / 64;
  while (n >= table[m])
    ++m;
  month = m;
  day = n - table[m - 1] + 1;
}

bool TryEncodeDate(int year, int month, int day, TDateTime& result) {
  if (!IsValidDate(year, month, day)) return false;
  result = static_cast<double>(DaysSinceEpoch(year, month, day) - SerialDateDelta);
  return true;
}

bool TryEncodeTime(int hour, int minute, int second, int msec, TDateTime& result) {
  if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59 || msec < 0 ||
      msec > 999)
    return false;
  int64_t ms = ((hour * 60LL + minute) * 60 + second) * 1000 + msec;
  result = static_cast<double>(ms) / static_cast<double>(MSecsPerDay);
  return true;
}

bool TryDecodeSerial(TDateTime serial, DecodedSerial& r) {
  // Beyond these bounds no date between the years 1 and 9999 can result, and
  // the scaled value could not be held in an integer.
  if (!std::isfinite(serial) || serial < -700000.0 || serial > 3000000.0) return false;
  auto ms = static_cast<int64_t>(RoundHalfEven(serial * static_cast<double>(MSecsPerDay)));
  // Whole days toward zero: the fraction is the time of day on either side
  // of day 0 (-1.25 is a day back at 06:00, not two days back at 18:00).
  int64_t days = ms / MSecsPerDay;
  int64_t time = (ms < 0 ? -ms : ms) % MSecsPerDay;
  int64_t epochDays = days + SerialDateDelta;
  if (epochDays < 0 || epochDays > MaxDays) return false;
  DaysToDate(static_cast<int32_t>(epochDays), r.Year, r.Month, r.Day);
  r.Millisecond = static_cast<int>(time % 1000);
  time /= 1000;
  r.Second = static_cast<int>(time % 60);
  time /= 60;
  r.Minute = static_cast<int>(time % 60);
  r.Hour = static_cast<int>(time / 60);
  return true;
}

TDateTime Today() {
  time_t now = time(nullptr);
  tm local{};
  localtime_r(&now, &local);
  TDateTime result = 0;
  TryEncodeDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, result);
  return result;
}

} // namespace bw
