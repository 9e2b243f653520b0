#include "foundation/CultureData.h"

#include "foundation/Exceptions.h"

#include <algorithm>
#include <utility>

namespace bw {

namespace {

constexpr std::array<std::string_view, 7> EnglishAbbreviatedDayNames = {"Sun", "Mon", "Tue", "Wed",
                                                                        "Thu", "Fri", "Sat"};
constexpr std::array<std::string_view, 13> EnglishAbbreviatedMonthNames = {
    "Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec", ""};
constexpr std::array<std::string_view, 7> EnglishDayNames = {
    "Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};
constexpr std::array<std::string_view, 13> EnglishMonthNames = {
    "January", "February",  "March",   "April",    "May",      "June", "July",
    "August",  "September", "October", "November", "December", ""};

// Typed by hand rather than generated: these values are fixed to the
// character. The invariant culture exists in no locale database, and en-US
// keeps older patterns ("MMMM dd", "dddd, MMMM dd, yyyy") than today's data.
// clang-format off
constexpr TCultureData InvariantRow = {
    InvariantLCID, InvariantLCID, "IVL", "IVL", "iv", "",
    "Invariant Language (Invariant Country)", "Invariant Language (Invariant Country)", false,
    EnglishAbbreviatedDayNames, EnglishAbbreviatedMonthNames, EnglishDayNames, EnglishMonthNames,
    "AM", "PM", 0, "/", ":", 0,
    "dddd, dd MMMM yyyy", "HH:mm:ss", "MM/dd/yyyy", "HH:mm", "MMMM dd", "yyyy MMMM"};

constexpr TCultureData EnglishRow = {
    9, InvariantLCID, "eng", "ENU", "en", "en",
    "English", "English", true,
    {}, {}, {}, {},
    "", "", 0, "", "", 0,
    "", "", "", "", "", ""};

constexpr TCultureData EnglishUnitedStatesRow = {
    1033, 9, "eng", "ENU", "en", "en-US",
    "English (United States)", "English (United States)", false,
    EnglishAbbreviatedDayNames, EnglishAbbreviatedMonthNames, EnglishDayNames, EnglishMonthNames,
    "AM", "PM", 0, "/", ":", 0,
    "dddd, MMMM dd, yyyy", "h:mm:ss tt", "M/d/yyyy", "h:mm tt", "MMMM dd", "MMMM, yyyy"};
// clang-format on

template <std::size_t N>
constexpr bool AllSet(const std::array<std::string_view, N>& texts, std::size_t count) {
  for (std::size_t i = 0; i < N; ++i)
    if (texts[i].empty() != (i >= count)) return false;
  return true;
}

template <std::size_t N>
constexpr bool AllEmpty(const std::array<std::string_view, N>& texts) {
  return AllSet(texts, 0);
}

// A neutral culture has no date data at all; a specific one has all of it.
constexpr bool DateDataConsistent(const TCultureData& c) {
  if (c.IsNeutralCulture)
    return AllEmpty(c.AbbreviatedDayNames) && AllEmpty(c.AbbreviatedMonthNames) &&
           AllEmpty(c.DayNames) && AllEmpty(c.MonthNames) && c.AMDesignator.empty() &&
           c.PMDesignator.empty() && c.DateSeparator.empty() && c.TimeSeparator.empty() &&
           c.LongDatePattern.empty() && c.LongTimePattern.empty() && c.ShortDatePattern.empty() &&
           c.ShortTimePattern.empty() && c.MonthDayPattern.empty() && c.YearMonthPattern.empty() &&
           c.CalendarWeekRule == 0 && c.FirstDayOfWeek == 0;
  return AllSet(c.AbbreviatedDayNames, 7) && AllSet(c.AbbreviatedMonthNames, 12) &&
         AllSet(c.DayNames, 7) && AllSet(c.MonthNames, 12) && !c.DateSeparator.empty() &&
         !c.TimeSeparator.empty() && !c.LongDatePattern.empty() && !c.LongTimePattern.empty() &&
         !c.ShortDatePattern.empty() && !c.ShortTimePattern.empty() && !c.MonthDayPattern.empty() &&
         !c.YearMonthPattern.empty() && c.CalendarWeekRule >= 0 && c.CalendarWeekRule <= 2 &&
         c.FirstDayOfWeek >= 0 && c.FirstDayOfWeek <= 6;
}

} // namespace

// Constant data, laid out by the compiler: nothing runs at start-up.
constexpr std::array<TCultureData, CultureDataCount> CultureDataArray = {{
#include "CultureDataTable.inc"
}};

namespace {

// The generated rows are checked when the library is built, so a bad
// regeneration fails the build instead of a lookup.
constexpr bool TableConsistent() {
  for (std::size_t i = 0; i < CultureDataArray.size(); ++i) {
    const TCultureData& c = CultureDataArray[i];
    if (!DateDataConsistent(c)) return false;
    bool parentFound = false;
    for (std::size_t j = 0; j < CultureDataArray.size(); ++j) {
      if (j != i && CultureDataArray[j].LCID == c.LCID) return false;
      if (CultureDataArray[j].LCID == c.ParentLCID) parentFound = true;
    }
    if (!parentFound) return false;
  }
  return true;
}
static_assert(TableConsistent());

} // namespace

DateTimeFormatInfo DateTimeFormatInfo::Create(int32_t lcid, bool readOnly) {
  DateTimeFormatInfo info;
  info.LoadProperties(lcid);
  info.FReadOnly = readOnly;
  return info;
}

void DateTimeFormatInfo::LoadProperties(int32_t lcid) {
  const auto found = std::find_if(CultureDataArray.begin(), CultureDataArray.end(),
                                  [lcid](const TCultureData& c) { return c.LCID == lcid; });
  if (found == CultureDataArray.end())
    throw InvalidOperationException("Could not find LCID " + std::to_string(lcid));
  const TCultureData& data = *found;
  if (data.IsNeutralCulture)
    throw InvalidOperationException("Cannot Load Properties from Neutral Culture");

  // Through the setters, so that a read-only record stays untouched.
  SetAMDesignator(std::string(data.AMDesignator));
  SetPMDesignator(std::string(data.PMDesignator));
  SetDateSeparator(std::string(data.DateSeparator));
  SetTimeSeparator(std::string(data.TimeSeparator));
  SetLongDatePattern(std::string(data.LongDatePattern));
  SetLongTimePattern(std::string(data.LongTimePattern));
  SetShortDatePattern(std::string(data.ShortDatePattern));
  SetShortTimePattern(std::string(data.ShortTimePattern));
  SetMonthDayPattern(std::string(data.MonthDayPattern));
  SetYearMonthPattern(std::string(data.YearMonthPattern));

  std::copy(data.AbbreviatedDayNames.begin(), data.AbbreviatedDayNames.end(),
            FAbbreviatedDayNames.begin());
  std::copy(data.AbbreviatedMonthNames.begin(), data.AbbreviatedMonthNames.end(),
            FAbbreviatedMonthNames.begin());
  std::copy(data.DayNames.begin(), data.DayNames.end(), FDayNames.begin());
  std::copy(data.MonthNames.begin(), data.MonthNames.end(), FMonthNames.begin());
}

void DateTimeFormatInfo::CheckWritable(std::string_view property) const {
  if (FReadOnly)
    throw InvalidOperationException("Cannot set " + std::string(property) + " in ReadOnly mode");
}

void DateTimeFormatInfo::SetAMDesignator(std::string value) {
  CheckWritable("AMDesignator");
  FAMDesignator = std::move(value);
}

void DateTimeFormatInfo::SetPMDesignator(std::string value) {
  CheckWritable("PMDesignator");
  FPMDesignator = std::move(value);
}

void DateTimeFormatInfo::SetDateSeparator(std::string value) {
  CheckWritable("DateSeparator");
  FDateSeparator = std::move(value);
}

void DateTimeFormatInfo::SetTimeSeparator(std::string value) {
  CheckWritable("TimeSeparator");
  FTimeSeparator = std::move(value);
}

void DateTimeFormatInfo::SetLongDatePattern(std::string value) {
  CheckWritable("LongDatePattern");
  FLongDatePattern = std::move(value);
}

void DateTimeFormatInfo::SetLongTimePattern(std::string value) {
  CheckWritable("LongTimePattern");
  FLongTimePattern = std::move(value);
}

void DateTimeFormatInfo::SetShortDatePattern(std::string value) {
  CheckWritable("ShortDatePattern");
  FShortDatePattern = std::move(value);
}

void DateTimeFormatInfo::SetShortTimePattern(std::string value) {
  CheckWritable("ShortTimePattern");
  FShortTimePattern = std::move(value);
}

void DateTimeFormatInfo::SetMonthDayPattern(std::string value) {
  CheckWritable("MonthDayPattern");
  FMonthDayPattern = std::move(value);
}

void DateTimeFormatInfo::SetYearMonthPattern(std::string value) {
  CheckWritable("YearMonthPattern");
  FYearMonthPattern = std::move(value);
}

// Made on first use rather than at start-up: no other file's static
// initialisers can see them half-built.
const CultureInfo& InvariantCulture() {
  static const CultureInfo culture = [] {
    CultureInfo c = CultureInfo::Create(InvariantLCID);
    c.ReadOnly = true;
    return c;
  }();
  return culture;
}

const DateTimeFormatInfo& InvariantDateTimeFormat() {
  static const DateTimeFormatInfo format = DateTimeFormatInfo::Create(InvariantLCID, true);
  return format;
}

} // namespace bw
