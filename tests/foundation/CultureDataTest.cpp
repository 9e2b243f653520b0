#include "foundation/CultureData.h"
#include "foundation/Exceptions.h"

#include "MessageOf.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <sstream>
#include <string>
#include <vector>

using namespace bw;
using bw::test::MessageOf;

namespace {

const TCultureData* Find(int32_t lcid) {
  for (const TCultureData& c : CultureDataArray)
    if (c.LCID == lcid) return &c;
  return nullptr;
}

// The keys and names of the whole table in its order; an asterisk marks a
// neutral culture.
const char* const KeysAndNames =
    "1 ar*, 1025 ar-SA, 2049 ar-IQ, 3073 ar-EG, 4097 ar-LY, 5121 ar-DZ, 6145 ar-MA, 7169 ar-TN, "
    "8193 ar-OM, 9217 ar-YE, 10241 ar-SY, 11265 ar-JO, 12289 ar-LB, 13313 ar-KW, 14337 ar-AE, "
    "15361 ar-BH, 16385 ar-QA, 2 bg*, 1026 bg-BG, 3 ca*, 1027 ca-ES, 4 zh-CHS*, 1028 zh-TW, "
    "2052 zh-CN, 3076 zh-HK, 4100 zh-SG, 5124 zh-MO, 31748 zh-CHT*, 5 cs*, 1029 cs-CZ, 6 da*, "
    "1030 da-DK, 7 de*, 1031 de-DE, 2055 de-CH, 3079 de-AT, 4103 de-LU, 5127 de-LI, 8 el*, "
    "1032 el-GR, 9 en*, 1033 en-US, 2057 en-GB, 3081 en-AU, 4105 en-CA, 5129 en-NZ, 6153 en-IE, "
    "7177 en-ZA, 8201 en-JM, 9225 en-CB, 10249 en-BZ, 11273 en-TT, 12297 en-ZW, 13321 en-PH, "
    "10 es*, 2058 es-MX, 3082 es-ES, 4106 es-GT, 5130 es-CR, 6154 es-PA, 7178 es-DO, "
    "8202 es-VE, 9226 es-CO, 10250 es-PE, 11274 es-AR, 12298 es-EC, 13322 es-CL, 14346 es-UY, "
    "15370 es-PY, 16394 es-BO, 17418 es-SV, 18442 es-HN, 19466 es-NI, 20490 es-PR, 11 fi*, "
    "1035 fi-FI, 12 fr*, 1036 fr-FR, 2060 fr-BE, 3084 fr-CA, 4108 fr-CH, 5132 fr-LU, 6156 fr-MC, "
    "13 he*, 1037 he-IL, 14 hu*, 1038 hu-HU, 15 is*, 1039 is-IS, 16 it*, 1040 it-IT, 2064 it-CH, "
    "17 ja*, 1041 ja-JP, 18 ko*, 1042 ko-KR, 19 nl*, 1043 nl-NL, 2067 nl-BE, 20 no*, 1044 nb-NO, "
    "2068 nn-NO, 21 pl*, 1045 pl-PL, 22 pt*, 1046 pt-BR, 2070 pt-PT, 24 ro*, 1048 ro-RO, 25 ru*, "
    "1049 ru-RU, 26 hr*, 1050 hr-HR, 2074 sr-SP-Latn, 3098 sr-SP-Cyrl, 27 sk*, 1051 sk-SK, "
    "28 sq*, 1052 sq-AL, 29 sv*, 1053 sv-SE, 2077 sv-FI, 30 th*, 1054 th-TH, 31 tr*, 1055 tr-TR, "
    "32 ur*, 1056 ur-PK, 33 id*, 1057 id-ID, 34 uk*, 1058 uk-UA, 35 be*, 1059 be-BY, 36 sl*, "
    "1060 sl-SI, 37 et*, 1061 et-EE, 38 lv*, 1062 lv-LV, 39 lt*, 1063 lt-LT, 41 fa*, 1065 fa-IR, "
    "42 vi*, 1066 vi-VN, 43 hy*, 1067 hy-AM, 44 az*, 1068 az-AZ-Latn, 2092 az-AZ-Cyrl, 45 eu*, "
    "1069 eu-ES, 47 mk*, 1071 mk-MK, 54 af*, 1078 af-ZA, 55 ka*, 1079 ka-GE, 56 fo*, 1080 fo-FO, "
    "57 hi*, 1081 hi-IN, 62 ms*, 1086 ms-MY, 2110 ms-BN, 63 kk*, 1087 kk-KZ, 64 ky*, 1088 ky-KZ, "
    "65 sw*, 1089 sw-KE, 67 uz*, 1091 uz-UZ-Latn, 2115 uz-UZ-Cyrl, 68 tt*, 1092 tt-RU, 70 pa*, "
    "1094 pa-IN, 71 gu*, 1095 gu-IN, 73 ta*, 1097 ta-IN, 74 te*, 1098 te-IN, 75 kn*, 1099 kn-IN, "
    "78 mr*, 1102 mr-IN, 79 sa*, 1103 sa-IN, 80 mn*, 1104 mn-MN, 86 gl*, 1110 gl-ES, 87 kok*, "
    "1111 kok-IN, 90 syr*, 1114 syr-SY, 101 div*, 1125 div-MV, 127 , 31770 sr*";

struct KeyAndName {
  int32_t LCID;
  std::string Name;
  bool Neutral;
};

std::vector<KeyAndName> ExpectedKeysAndNames() {
  std::vector<KeyAndName> out;
  std::istringstream in(KeysAndNames);
  std::string item;
  while (std::getline(in, item, ',')) {
    std::istringstream fields(item);
    KeyAndName k{};
    fields >> k.LCID;
    fields >> k.Name; // stays empty for the invariant culture
    if (!k.Name.empty() && k.Name.back() == '*') {
      k.Neutral = true;
      k.Name.pop_back();
    }
    out.push_back(k);
  }
  return out;
}

// Whether a pattern uses only the date notation the program formats with:
// d, dd, ddd, dddd, M … MMMM, yyyy, h, hh, H, HH, mm, ss, tt; anything else
// must be quoted or not be a Latin letter.
bool UsesTableNotation(std::string_view pattern) {
  bool quoted = false;
  for (size_t i = 0; i < pattern.size();) {
    char c = pattern[i];
    if (c == '\'') {
      quoted = !quoted;
      ++i;
      continue;
    }
    bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    if (quoted || !letter) {
      ++i;
      continue;
    }
    size_t run = 1;
    while (i + run < pattern.size() && pattern[i + run] == c)
      ++run;
    bool ok = false;
    switch (c) {
    case 'd':
    case 'M':
      ok = run <= 4;
      break;
    case 'y':
      ok = run == 4;
      break;
    case 'h':
    case 'H':
      ok = run <= 2;
      break;
    case 'm':
    case 's':
    case 't':
      ok = run == 2;
      break;
    default:
      break;
    }
    if (!ok) return false;
    i += run;
  }
  return !quoted;
}

// The fields a DateTimeFormatInfo holds equal those of the table row.
void ExpectLoadedFrom(const DateTimeFormatInfo& info, const TCultureData& row) {
  SCOPED_TRACE(row.LCID);
  EXPECT_EQ(info.AMDesignator(), row.AMDesignator);
  EXPECT_EQ(info.PMDesignator(), row.PMDesignator);
  EXPECT_EQ(info.DateSeparator(), row.DateSeparator);
  EXPECT_EQ(info.TimeSeparator(), row.TimeSeparator);
  EXPECT_EQ(info.LongDatePattern(), row.LongDatePattern);
  EXPECT_EQ(info.LongTimePattern(), row.LongTimePattern);
  EXPECT_EQ(info.ShortDatePattern(), row.ShortDatePattern);
  EXPECT_EQ(info.ShortTimePattern(), row.ShortTimePattern);
  EXPECT_EQ(info.MonthDayPattern(), row.MonthDayPattern);
  EXPECT_EQ(info.YearMonthPattern(), row.YearMonthPattern);
  EXPECT_TRUE(std::equal(info.AbbreviatedDayNames().begin(), info.AbbreviatedDayNames().end(),
                         row.AbbreviatedDayNames.begin()));
  EXPECT_TRUE(std::equal(info.AbbreviatedMonthNames().begin(), info.AbbreviatedMonthNames().end(),
                         row.AbbreviatedMonthNames.begin()));
  EXPECT_TRUE(std::equal(info.DayNames().begin(), info.DayNames().end(), row.DayNames.begin()));
  EXPECT_TRUE(
      std::equal(info.MonthNames().begin(), info.MonthNames().end(), row.MonthNames.begin()));
}

const std::array<std::string_view, 7> EnglishShortDays = {"Sun", "Mon", "Tue", "Wed",
                                                          "Thu", "Fri", "Sat"};
const std::array<std::string_view, 7> EnglishDays = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                                     "Thursday", "Friday", "Saturday"};
const std::array<std::string_view, 13> EnglishShortMonths = {
    "Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec", ""};
const std::array<std::string_view, 13> EnglishMonths = {
    "January", "February",  "March",   "April",    "May",      "June", "July",
    "August",  "September", "October", "November", "December", ""};

} // namespace

// --- The table -------------------------------------------------------------

TEST(CultureDataTable, KeysNamesAndNeutralFlagsInTableOrder) {
  const std::vector<KeyAndName> expected = ExpectedKeysAndNames();
  ASSERT_EQ(expected.size(), 203u);
  ASSERT_EQ(CultureDataArray.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(CultureDataArray[i].LCID, expected[i].LCID);
    EXPECT_EQ(CultureDataArray[i].Name, expected[i].Name);
    EXPECT_EQ(CultureDataArray[i].IsNeutralCulture, expected[i].Neutral);
  }
}

TEST(CultureDataTable, ShapeAndAnchors) {
  const auto neutral = std::count_if(CultureDataArray.begin(), CultureDataArray.end(),
                                     [](const TCultureData& c) { return c.IsNeutralCulture; });
  EXPECT_EQ(neutral, 68);

  std::set<int32_t> keys;
  for (const TCultureData& c : CultureDataArray)
    EXPECT_TRUE(keys.insert(c.LCID).second) << "duplicate LCID " << c.LCID;

  EXPECT_EQ(CultureDataArray[0].LCID, 1);
  EXPECT_EQ(CultureDataArray[1].Name, "ar-SA");
  EXPECT_EQ(CultureDataArray[2].LCID, 2049);
  EXPECT_EQ(CultureDataArray[201].LCID, 127);
  EXPECT_EQ(CultureDataArray[201].Name, "");
  EXPECT_FALSE(CultureDataArray[201].IsNeutralCulture);
  EXPECT_EQ(CultureDataArray[202].LCID, 31770);
  EXPECT_EQ(CultureDataArray[202].Name, "sr");
  EXPECT_TRUE(CultureDataArray[202].IsNeutralCulture);
}

TEST(CultureDataTable, ParentsAreNeutralCultures) {
  for (const TCultureData& c : CultureDataArray) {
    SCOPED_TRACE(c.LCID);
    if (c.IsNeutralCulture || c.LCID == InvariantLCID) {
      EXPECT_EQ(c.ParentLCID, InvariantLCID);
      continue;
    }
    const TCultureData* parent = Find(c.ParentLCID);
    ASSERT_NE(parent, nullptr);
    EXPECT_TRUE(parent->IsNeutralCulture);
  }
  EXPECT_EQ(Find(1028)->ParentLCID, 31748); // zh-TW: Traditional Chinese
  EXPECT_EQ(Find(2052)->ParentLCID, 4);     // zh-CN: Simplified Chinese
  EXPECT_EQ(Find(2068)->ParentLCID, 20);    // nn-NO: Norwegian
}

TEST(CultureDataTable, LanguageCodesHaveTheirForms) {
  auto allOf = [](std::string_view s, auto pred) { return std::all_of(s.begin(), s.end(), pred); };
  auto lower = [](char c) { return c >= 'a' && c <= 'z'; };
  auto upper = [](char c) { return c >= 'A' && c <= 'Z'; };
  for (const TCultureData& c : CultureDataArray) {
    SCOPED_TRACE(c.LCID);
    if (c.LCID == InvariantLCID) continue;
    EXPECT_EQ(c.ThreeLetterISOLanguageName.size(), 3u);
    EXPECT_TRUE(allOf(c.ThreeLetterISOLanguageName, lower));
    EXPECT_EQ(c.ThreeLetterWindowsLanguageName.size(), 3u);
    EXPECT_TRUE(allOf(c.ThreeLetterWindowsLanguageName, upper));
    EXPECT_TRUE(allOf(c.TwoLetterISOLanguageName, lower));
    EXPECT_FALSE(c.EnglishName.empty());
    EXPECT_FALSE(c.NativeName.empty());
    // A culture's name starts with its language ("zh-CHS" and "zh-CHT" too).
    EXPECT_EQ(c.Name.substr(0, c.TwoLetterISOLanguageName.size()), c.TwoLetterISOLanguageName);
  }
  EXPECT_EQ(Find(1031)->ThreeLetterISOLanguageName, "deu");
  EXPECT_EQ(Find(1031)->ThreeLetterWindowsLanguageName, "DEU");
  EXPECT_EQ(Find(1031)->EnglishName, "German (Germany)");
  EXPECT_EQ(Find(1036)->ThreeLetterWindowsLanguageName, "FRA");
}

TEST(CultureDataTable, OnlySpecificCulturesCarryDateData) {
  for (const TCultureData& c : CultureDataArray) {
    SCOPED_TRACE(c.LCID);
    const bool has = !c.IsNeutralCulture;
    for (size_t i = 0; i < 7; ++i) {
      EXPECT_EQ(!c.AbbreviatedDayNames[i].empty(), has);
      EXPECT_EQ(!c.DayNames[i].empty(), has);
    }
    for (size_t i = 0; i < 12; ++i) {
      EXPECT_EQ(!c.AbbreviatedMonthNames[i].empty(), has);
      EXPECT_EQ(!c.MonthNames[i].empty(), has);
    }
    EXPECT_EQ(c.AbbreviatedMonthNames[12], "");
    EXPECT_EQ(c.MonthNames[12], "");
    EXPECT_EQ(!c.DateSeparator.empty(), has);
    EXPECT_EQ(!c.TimeSeparator.empty(), has);
    EXPECT_GE(c.CalendarWeekRule, 0);
    EXPECT_LE(c.CalendarWeekRule, 2);
    EXPECT_GE(c.FirstDayOfWeek, 0);
    EXPECT_LE(c.FirstDayOfWeek, 6);
    for (std::string_view p : {c.LongDatePattern, c.LongTimePattern, c.ShortDatePattern,
                               c.ShortTimePattern, c.MonthDayPattern, c.YearMonthPattern}) {
      EXPECT_EQ(!p.empty(), has);
      EXPECT_TRUE(UsesTableNotation(p)) << p;
    }
  }
}

TEST(CultureDataTable, PatternNotationCheckRejectsForeignLetters) {
  EXPECT_TRUE(UsesTableNotation("dddd, d' de 'MMMM' de 'yyyy"));
  EXPECT_TRUE(UsesTableNotation("tt h:mm:ss"));
  EXPECT_FALSE(UsesTableNotation("EEEE, MMMM d, y")); // ICU's notation
  EXPECT_FALSE(UsesTableNotation("d.M.yy"));
  EXPECT_FALSE(UsesTableNotation("h:mm a"));
  EXPECT_FALSE(UsesTableNotation("d 'de MMMM")); // unclosed quote
}

TEST(CultureDataTable, InvariantRow) {
  const TCultureData& c = *Find(127);
  EXPECT_EQ(c.ParentLCID, 127);
  EXPECT_EQ(c.ThreeLetterISOLanguageName, "IVL");
  EXPECT_EQ(c.ThreeLetterWindowsLanguageName, "IVL");
  EXPECT_EQ(c.TwoLetterISOLanguageName, "iv");
  EXPECT_EQ(c.Name, "");
  EXPECT_EQ(c.EnglishName, "Invariant Language (Invariant Country)");
  EXPECT_EQ(c.NativeName, "Invariant Language (Invariant Country)");
  EXPECT_FALSE(c.IsNeutralCulture);
  EXPECT_EQ(c.AbbreviatedDayNames, EnglishShortDays);
  EXPECT_EQ(c.DayNames, EnglishDays);
  EXPECT_EQ(c.AbbreviatedMonthNames, EnglishShortMonths);
  EXPECT_EQ(c.MonthNames, EnglishMonths);
  EXPECT_EQ(c.AMDesignator, "AM");
  EXPECT_EQ(c.PMDesignator, "PM");
  EXPECT_EQ(c.DateSeparator, "/");
  EXPECT_EQ(c.TimeSeparator, ":");
  EXPECT_EQ(c.LongDatePattern, "dddd, dd MMMM yyyy");
  EXPECT_EQ(c.LongTimePattern, "HH:mm:ss");
  EXPECT_EQ(c.ShortDatePattern, "MM/dd/yyyy");
  EXPECT_EQ(c.ShortTimePattern, "HH:mm");
  EXPECT_EQ(c.MonthDayPattern, "MMMM dd");
  EXPECT_EQ(c.YearMonthPattern, "yyyy MMMM");
  EXPECT_EQ(c.CalendarWeekRule, 0);
  EXPECT_EQ(c.FirstDayOfWeek, 0);
}

TEST(CultureDataTable, EnglishUnitedStatesRow) {
  const TCultureData& c = *Find(1033);
  EXPECT_EQ(c.ParentLCID, 9);
  EXPECT_EQ(c.ThreeLetterISOLanguageName, "eng");
  EXPECT_EQ(c.ThreeLetterWindowsLanguageName, "ENU");
  EXPECT_EQ(c.TwoLetterISOLanguageName, "en");
  EXPECT_EQ(c.Name, "en-US");
  EXPECT_EQ(c.EnglishName, "English (United States)");
  EXPECT_EQ(c.NativeName, "English (United States)");
  EXPECT_FALSE(c.IsNeutralCulture);
  EXPECT_EQ(c.AbbreviatedDayNames, EnglishShortDays);
  EXPECT_EQ(c.DayNames, EnglishDays);
  EXPECT_EQ(c.AbbreviatedMonthNames, EnglishShortMonths);
  EXPECT_EQ(c.MonthNames, EnglishMonths);
  EXPECT_EQ(c.AMDesignator, "AM");
  EXPECT_EQ(c.PMDesignator, "PM");
  EXPECT_EQ(c.DateSeparator, "/");
  EXPECT_EQ(c.TimeSeparator, ":");
  EXPECT_EQ(c.LongDatePattern, "dddd, MMMM dd, yyyy");
  EXPECT_EQ(c.LongTimePattern, "h:mm:ss tt");
  EXPECT_EQ(c.ShortDatePattern, "M/d/yyyy");
  EXPECT_EQ(c.ShortTimePattern, "h:mm tt");
  EXPECT_EQ(c.MonthDayPattern, "MMMM dd");
  EXPECT_EQ(c.YearMonthPattern, "MMMM, yyyy");
  EXPECT_EQ(c.CalendarWeekRule, 0);
  EXPECT_EQ(c.FirstDayOfWeek, 0);
}

TEST(CultureDataTable, EnglishNeutralRow) {
  const TCultureData& c = *Find(9);
  EXPECT_EQ(c.ParentLCID, 127);
  EXPECT_EQ(c.ThreeLetterISOLanguageName, "eng");
  EXPECT_EQ(c.ThreeLetterWindowsLanguageName, "ENU");
  EXPECT_EQ(c.TwoLetterISOLanguageName, "en");
  EXPECT_EQ(c.Name, "en");
  EXPECT_EQ(c.EnglishName, "English");
  EXPECT_EQ(c.NativeName, "English");
  EXPECT_TRUE(c.IsNeutralCulture);
  EXPECT_EQ(c.ShortDatePattern, "");
  EXPECT_EQ(c.DayNames[0], "");
}

// --- DateTimeFormatInfo ----------------------------------------------------

TEST(CultureDateTimeFormat, CreateLoadsTheCultureAndStaysWritable) {
  DateTimeFormatInfo info = DateTimeFormatInfo::Create(1033, false);
  EXPECT_FALSE(info.ReadOnly());
  EXPECT_EQ(info.ShortDatePattern(), "M/d/yyyy");
  EXPECT_EQ(info.DateSeparator(), "/");
  ExpectLoadedFrom(info, *Find(1033));

  info.SetShortDatePattern("yyyy-MM-dd");
  EXPECT_EQ(info.ShortDatePattern(), "yyyy-MM-dd");
}

TEST(CultureDateTimeFormat, EverySpecificCultureLoadsItsOwnRow) {
  for (const TCultureData& c : CultureDataArray) {
    if (c.IsNeutralCulture) continue;
    ExpectLoadedFrom(DateTimeFormatInfo::Create(c.LCID, false), c);
  }
}

TEST(CultureDateTimeFormat, LoadingAnotherCultureReplacesEveryField) {
  DateTimeFormatInfo info = DateTimeFormatInfo::Create(1033, false);
  info.LoadProperties(1031);
  ExpectLoadedFrom(info, *Find(1031));
  EXPECT_NE(info.DayNames()[0], "Sunday");
}

TEST(CultureDateTimeFormat, UnknownAndNeutralCulturesAreRefused) {
  EXPECT_EQ(MessageOf<InvalidOperationException>([] { DateTimeFormatInfo::Create(9, false); }),
            "Cannot Load Properties from Neutral Culture");
  EXPECT_EQ(MessageOf<InvalidOperationException>([] { DateTimeFormatInfo::Create(31770, true); }),
            "Cannot Load Properties from Neutral Culture");
  EXPECT_EQ(MessageOf<InvalidOperationException>([] { DateTimeFormatInfo::Create(12345, false); }),
            "Could not find LCID 12345");
  EXPECT_EQ(MessageOf<InvalidOperationException>([] { DateTimeFormatInfo::Create(-1, false); }),
            "Could not find LCID -1");
}

TEST(CultureDateTimeFormat, FailedLoadLeavesTheRecordAlone) {
  DateTimeFormatInfo info = DateTimeFormatInfo::Create(1033, false);
  EXPECT_THROW(info.LoadProperties(12345), InvalidOperationException);
  EXPECT_THROW(info.LoadProperties(7), InvalidOperationException);
  ExpectLoadedFrom(info, *Find(1033));
}

// --- Read-only records -------------------------------------------------------

TEST(CultureReadOnlyFormat, SetterRaisesAndKeepsTheValue) {
  DateTimeFormatInfo info = DateTimeFormatInfo::Create(1033, true);
  EXPECT_TRUE(info.ReadOnly());
  EXPECT_EQ(MessageOf<InvalidOperationException>([&] { info.SetShortDatePattern("yyyy-MM-dd"); }),
            "Cannot set ShortDatePattern in ReadOnly mode");
  EXPECT_EQ(info.ShortDatePattern(), "M/d/yyyy");
}

TEST(CultureReadOnlyFormat, EachSetterNamesItsProperty) {
  DateTimeFormatInfo info = DateTimeFormatInfo::Create(2057, true);
  struct Case {
    const char* Name;
    void (DateTimeFormatInfo::*Set)(std::string);
  };
  const Case cases[] = {
      {"AMDesignator", &DateTimeFormatInfo::SetAMDesignator},
      {"PMDesignator", &DateTimeFormatInfo::SetPMDesignator},
      {"DateSeparator", &DateTimeFormatInfo::SetDateSeparator},
      {"TimeSeparator", &DateTimeFormatInfo::SetTimeSeparator},
      {"LongDatePattern", &DateTimeFormatInfo::SetLongDatePattern},
      {"LongTimePattern", &DateTimeFormatInfo::SetLongTimePattern},
      {"ShortDatePattern", &DateTimeFormatInfo::SetShortDatePattern},
      {"ShortTimePattern", &DateTimeFormatInfo::SetShortTimePattern},
      {"MonthDayPattern", &DateTimeFormatInfo::SetMonthDayPattern},
      {"YearMonthPattern", &DateTimeFormatInfo::SetYearMonthPattern},
  };
  for (const Case& c : cases)
    EXPECT_EQ(MessageOf<InvalidOperationException>([&] { (info.*c.Set)("x"); }),
              std::string("Cannot set ") + c.Name + " in ReadOnly mode");
  ExpectLoadedFrom(info, *Find(2057));

  // The same setters work once the record is writable again.
  info.SetReadOnly(false);
  for (const Case& c : cases)
    (info.*c.Set)("x");
  EXPECT_EQ(info.AMDesignator(), "x");
  EXPECT_EQ(info.TimeSeparator(), "x");
  EXPECT_EQ(info.YearMonthPattern(), "x");
}

TEST(CultureReadOnlyFormat, ReloadFailsAtTheFirstSetter) {
  DateTimeFormatInfo info = DateTimeFormatInfo::Create(1033, false);
  info.SetShortDatePattern("dd.MM.yyyy");
  info.SetReadOnly(true);
  EXPECT_EQ(MessageOf<InvalidOperationException>([&] { info.LoadProperties(1033); }),
            "Cannot set AMDesignator in ReadOnly mode");
  EXPECT_EQ(info.ShortDatePattern(), "dd.MM.yyyy");

  DateTimeFormatInfo created = DateTimeFormatInfo::Create(1033, true);
  EXPECT_EQ(MessageOf<InvalidOperationException>([&] { created.LoadProperties(1033); }),
            "Cannot set AMDesignator in ReadOnly mode");
}

TEST(CultureReadOnlyFormat, LookupFailuresComeBeforeTheReadOnlyCheck) {
  DateTimeFormatInfo info = DateTimeFormatInfo::Create(1033, true);
  EXPECT_EQ(MessageOf<InvalidOperationException>([&] { info.LoadProperties(12345); }),
            "Could not find LCID 12345");
  EXPECT_EQ(MessageOf<InvalidOperationException>([&] { info.LoadProperties(9); }),
            "Cannot Load Properties from Neutral Culture");
}

// --- Library globals ----------------------------------------------------------

TEST(CultureGlobals, InvariantCultureIsReadOnly) {
  EXPECT_EQ(InvariantCulture().LCID, 127);
  EXPECT_TRUE(InvariantCulture().ReadOnly);
  EXPECT_EQ(&InvariantCulture(), &InvariantCulture());
  EXPECT_FALSE(CultureInfo::Create(127).ReadOnly);
}

TEST(CultureGlobals, InvariantDateTimeFormatHoldsTheInvariantRowReadOnly) {
  const DateTimeFormatInfo& info = InvariantDateTimeFormat();
  EXPECT_EQ(&info, &InvariantDateTimeFormat());
  EXPECT_TRUE(info.ReadOnly());
  EXPECT_EQ(info.ShortDatePattern(), "MM/dd/yyyy");
  EXPECT_EQ(info.LongTimePattern(), "HH:mm:ss");
  ExpectLoadedFrom(info, *Find(127));

  // A copy is a value of its own: making it writable leaves the global alone.
  DateTimeFormatInfo copy = info;
  EXPECT_THROW(copy.SetAMDesignator("a"), InvalidOperationException);
  copy.SetReadOnly(false);
  copy.SetAMDesignator("a");
  EXPECT_EQ(info.AMDesignator(), "AM");
  EXPECT_TRUE(InvariantDateTimeFormat().ReadOnly());
}
