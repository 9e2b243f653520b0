// The serial date (TDateTime) of the settings and the workbooks: a double of
// days since 1899-12-30, the fraction being the time of day. Before that date
// the whole-day part is negative and the fraction is subtracted (-1.25 is
// 1899-12-29 06:00).
#pragma once

#include <cstdint>

namespace bw {

using TDateTime = double;

constexpr int64_t MSecsPerDay = 86400000;
// Days from 0001-01-01 to 1899-12-30.
constexpr int32_t SerialDateDelta = 693594 - 1;

bool IsValidDate(int year, int month, int day);
// Days since 0001-01-01 of a valid date.
int32_t DaysSinceEpoch(int year, int month, int day);
void DaysToDate(int32_t days, int& year, int& month, int& day);

// Raise nothing: false for an impossible date or time.
bool TryEncodeDate(int year, int month, int day, TDateTime& result);
bool TryEncodeTime(int hour, int minute, int second, int msec, TDateTime& result);

// A serial split into date and time of day, rounded to the millisecond first
// (so 45657.9999999999 is 2025-01-01 00:00:00.000). False when the serial is
// not finite or lies outside the years 1 to 9999.
struct DecodedSerial {
  int Year, Month, Day, Hour, Minute, Second, Millisecond;
};
bool TryDecodeSerial(TDateTime serial, DecodedSerial& result);

// Today's date (time 0) in local time.
TDateTime Today();

} // namespace bw
