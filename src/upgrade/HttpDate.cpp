#include "upgrade/HttpDate.h"

#include "foundation/Conversions.h"
#include "upgrade/UpgradeUtils.h"

#include <cmath>

namespace bw {

namespace {

constexpr double UnixEpoch = 25569.0; // 1970-01-01 as a TDateTime
constexpr double SecsPerDay = 86400.0;

// The zone's offset east of UTC, in seconds, at a UTC instant.
long LocalOffsetAt(time_t instant) {
  tm local{};
  if (!localtime_r(&instant, &local)) return 0;
  return local.tm_gmtoff;
}

time_t ToTimeT(TDateTime utc) {
  return static_cast<time_t>(std::floor((utc - UnixEpoch) * SecsPerDay + 0.5));
}

// The text before the first delimiter, taken off s with the delimiter (all of
// s when there is none).
std::string_view TakeToken(std::string_view& s, char delimiter) {
  size_t p = s.find(delimiter);
  std::string_view token = s.substr(0, p);
  s = p == std::string_view::npos ? std::string_view() : s.substr(p + 1);
  return token;
}

int ToIntOr(std::string_view text, int fallback) {
  int v;
  return TryStrToInt(text, v) ? v : fallback;
}

} // namespace

double GetTimeZoneBias() {
  return -static_cast<double>(LocalOffsetAt(time(nullptr)) / 60) / 1440.0;
}

TDateTime UTCToLocalTime(TDateTime utc) {
  return utc + static_cast<double>(LocalOffsetAt(ToTimeT(utc))) / SecsPerDay;
}

TDateTime LocalTimeToUTC(TDateTime local) {
  // The offset of the instant the local time names: first guess with the
  // offset at the local value read as UTC, then correct once, which settles
  // every date but the hour skipped or repeated at a change of offset.
  long guess = LocalOffsetAt(ToTimeT(local));
  long offset = LocalOffsetAt(ToTimeT(local - guess / SecsPerDay));
  return local - static_cast<double>(offset) / SecsPerDay;
}

TDateTime ParseTimeZoneOffset(std::string_view s) {
  s = TrimBlanks(s);
  if (s.empty() || (s[0] != '+' && s[0] != '-')) return 0;
  int hours, minutes;
  if (s.size() < 5 || !TryStrToInt(s.substr(1, 2), hours) || !TryStrToInt(s.substr(3, 2), minutes))
    return 0;
  double offset = (hours * 60.0 + minutes) / 1440.0;
  return s[0] == '-' ? -offset : offset;
}

TDateTime ParseHTTPDate(std::string_view text) {
  std::string_view s = TrimBlanks(text);
  if (s.empty()) return 0;
  TDateTime date = 0;
  bool ok = [&] {
    if (s.size() >= 3 && DayOfWeekFromName(std::string(s.substr(0, 3))) != 0) {
      TakeToken(s, ' ');
      s = TrimBlanks(s);
    }
    size_t dash = s.size() > 1 ? s.find('-', 1) : std::string_view::npos;
    char separator = dash != std::string_view::npos && dash < s.find(' ') ? '-' : ' ';
    int day, month;
    std::string_view first = s.substr(0, s.find(separator));
    if (MonthFromName(std::string(first)) != 0) {
      month = MonthFromName(std::string(TakeToken(s, separator)));
      s = TrimBlanks(s);
      day = ToIntOr(TakeToken(s, separator), 1);
    } else {
      day = ToIntOr(TakeToken(s, separator), 1);
      s = TrimBlanks(s);
      month = MonthFromName(std::string(TakeToken(s, separator)));
    }
    s = TrimBlanks(s);
    std::string_view yearText = TakeToken(s, ' ');
    int year;
    if (!TryStrToInt(yearText, year) || year == 1900) {
      // asctime: the year comes last, and what was taken is the time.
      std::string_view rest = TrimBlanks(s);
      s = yearText;
      if (!TryStrToInt(rest, year)) return false;
    }
    if (year >= 0 && year < 80)
      year += 2000;
    else if (year >= 0 && year < 100)
      year += 1900;
    if (!TryEncodeDate(year, month, day, date)) return false;
    s = TrimBlanks(s);
    if (s.find(':') != std::string_view::npos) {
      std::string_view time = TakeToken(s, ' ');
      int h = ToIntOr(TakeToken(time, ':'), 0);
      int m = ToIntOr(TakeToken(time, ':'), 0);
      int sec = ToIntOr(TakeToken(time, ':'), 0);
      TDateTime t;
      if (!TryEncodeTime(h, m, sec, 0, t)) return false;
      date += t;
    }
    return true;
  }();
  if (!ok) date = 0;
  s = TrimBlanks(s);
  if (s.size() >= 5) date -= ParseTimeZoneOffset(s);
  return UTCToLocalTime(date);
}

bool DateTimeToFileTime(TDateTime local, timespec& fileTime) {
  if (!std::isfinite(local)) return false;
  DecodedSerial d{};
  if (!TryDecodeSerial(local, d)) return false;
  double ms = std::floor((LocalTimeToUTC(local) - UnixEpoch) * SecsPerDay * 1000.0 + 0.5);
  double secs = std::floor(ms / 1000.0);
  fileTime.tv_sec = static_cast<time_t>(secs);
  fileTime.tv_nsec = static_cast<long>(ms - secs * 1000.0) * 1000000L;
  return true;
}

} // namespace bw
