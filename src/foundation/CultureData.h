// Culture data by locale identifier (LCID), and two small value types over
// it: a culture reference and one culture's date and time formats and names.
// Texts are UTF-8.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace bw {

inline constexpr int32_t InvariantLCID = 127;

// One culture. Neutral cultures (a language without a country) carry names
// only; their date and time fields are empty.
struct TCultureData {
  int32_t LCID;
  // A specific culture's neutral culture; InvariantLCID for neutral cultures
  // and for the invariant culture itself.
  int32_t ParentLCID;
  std::string_view ThreeLetterISOLanguageName;
  std::string_view ThreeLetterWindowsLanguageName;
  std::string_view TwoLetterISOLanguageName;
  std::string_view Name;
  std::string_view EnglishName;
  std::string_view NativeName;
  bool IsNeutralCulture;
  std::array<std::string_view, 7> AbbreviatedDayNames;    // Sunday first
  std::array<std::string_view, 13> AbbreviatedMonthNames; // January first, the 13th empty
  std::array<std::string_view, 7> DayNames;
  std::array<std::string_view, 13> MonthNames;
  std::string_view AMDesignator;
  std::string_view PMDesignator;
  // 0 the week of 1 January, 1 the first full week, 2 the first week with
  // at least four days of the new year.
  int32_t CalendarWeekRule;
  std::string_view DateSeparator;
  std::string_view TimeSeparator;
  int32_t FirstDayOfWeek; // 0 Sunday … 6 Saturday
  std::string_view LongDatePattern;
  std::string_view LongTimePattern;
  std::string_view ShortDatePattern;
  std::string_view ShortTimePattern;
  std::string_view MonthDayPattern;
  std::string_view YearMonthPattern;
};

inline constexpr std::size_t CultureDataCount = 203;

// Grouped by language, each group's neutral culture first.
extern const std::array<TCultureData, CultureDataCount> CultureDataArray;

inline constexpr std::string_view RFC1123Pattern = "ddd, dd MMM yyyy HH':'mm':'ss 'GMT'";
inline constexpr std::string_view SortableDateTimePattern = "yyyy'-'MM'-'dd'T'HH':'mm':'ss";
inline constexpr std::string_view UniversalSortableDateTimePattern =
    "yyyy'-'MM'-'dd HH':'mm':'ss'Z'";

struct CultureInfo {
  int32_t LCID = 0;
  bool ReadOnly = false;

  static CultureInfo Create(int32_t lcid) { return CultureInfo{lcid, false}; }
};

// One culture's date and time formats and names. A read-only record refuses
// every change, including a reload from the table.
class DateTimeFormatInfo {
public:
  DateTimeFormatInfo() = default;

  // Loads the culture's formats, then applies the read-only flag.
  static DateTimeFormatInfo Create(int32_t lcid, bool readOnly);

  // Raises InvalidOperationException for an LCID not in the table and for a
  // neutral culture; on a read-only record, at the first field it would set.
  void LoadProperties(int32_t lcid);

  bool ReadOnly() const noexcept { return FReadOnly; }
  void SetReadOnly(bool value) noexcept { FReadOnly = value; }

  const std::string& AMDesignator() const noexcept { return FAMDesignator; }
  const std::string& PMDesignator() const noexcept { return FPMDesignator; }
  const std::string& DateSeparator() const noexcept { return FDateSeparator; }
  const std::string& TimeSeparator() const noexcept { return FTimeSeparator; }
  const std::string& LongDatePattern() const noexcept { return FLongDatePattern; }
  const std::string& LongTimePattern() const noexcept { return FLongTimePattern; }
  const std::string& ShortDatePattern() const noexcept { return FShortDatePattern; }
  const std::string& ShortTimePattern() const noexcept { return FShortTimePattern; }
  const std::string& MonthDayPattern() const noexcept { return FMonthDayPattern; }
  const std::string& YearMonthPattern() const noexcept { return FYearMonthPattern; }
  const std::array<std::string, 7>& AbbreviatedDayNames() const noexcept {
    return FAbbreviatedDayNames;
  }
  const std::array<std::string, 13>& AbbreviatedMonthNames() const noexcept {
    return FAbbreviatedMonthNames;
  }
  const std::array<std::string, 7>& DayNames() const noexcept { return FDayNames; }
  const std::array<std::string, 13>& MonthNames() const noexcept { return FMonthNames; }

  // Each raises InvalidOperationException on a read-only record.
  void SetAMDesignator(std::string value);
  void SetPMDesignator(std::string value);
  void SetDateSeparator(std::string value);
  void SetTimeSeparator(std::string value);
  void SetLongDatePattern(std::string value);
  void SetLongTimePattern(std::string value);
  void SetShortDatePattern(std::string value);
  void SetShortTimePattern(std::string value);
  void SetMonthDayPattern(std::string value);
  void SetYearMonthPattern(std::string value);

private:
  void CheckWritable(std::string_view property) const;

  std::string FPMDesignator;
  bool FReadOnly = false;
  std::string FAMDesignator;
  std::string FYearMonthPattern;
  std::string FLongTimePattern;
  std::string FShortTimePattern;
  std::string FLongDatePattern;
  std::string FShortDatePattern;
  std::string FDateSeparator;
  std::string FTimeSeparator;
  std::string FMonthDayPattern;
  std::array<std::string, 7> FAbbreviatedDayNames;
  std::array<std::string, 13> FAbbreviatedMonthNames;
  std::array<std::string, 7> FDayNames;
  std::array<std::string, 13> FMonthNames;
};

// The invariant culture and its formats, both read-only; made on first use.
const CultureInfo& InvariantCulture();
const DateTimeFormatInfo& InvariantDateTimeFormat();

} // namespace bw
