#include "foundation/Conversions.h"
#include "foundation/Exceptions.h"
#include "foundation/Version.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace bw;

namespace {
TDateTime Date(int y, int m, int d) {
  TDateTime t = 0;
  EXPECT_TRUE(TryEncodeDate(y, m, d, t));
  return t;
}
} // namespace

TEST(Conversions, DateColumns) {
  EXPECT_EQ(DateToYYYYMMDD(Date(2024, 12, 31)), "20241231");
  EXPECT_EQ(DateToYYYYMMDD(Date(2024, 1, 1)), "2024 1 1");
  EXPECT_EQ(DateToYYYYMMDD(Date(2009, 3, 5) + 0.75), "2009 3 5");
  EXPECT_EQ(DateToYYYYMMDD(0), "");
  EXPECT_EQ(DateToYYYYMMDD(-1.25), "18991229");
  EXPECT_EQ(DateToYYYYMMDD(std::nan("")), "");

  EXPECT_EQ(YYYYMMDDToDate("2024 1 1"), Date(2024, 1, 1));
  EXPECT_EQ(YYYYMMDDToDate("2024 1 1xyz"), Date(2024, 1, 1));
  EXPECT_EQ(YYYYMMDDToDate("20241231"), Date(2024, 12, 31));
  for (const char* bad : {"", "2024", "202413 1", "abcdefgh", "2024 230", "1x", "2024 x 1"})
    EXPECT_EQ(YYYYMMDDToDate(bad), 0) << bad;
  for (int year : {1000, 1899, 1900, 2024, 9999})
    for (int month : {1, 2, 10, 12})
      EXPECT_EQ(YYYYMMDDToDate(DateToYYYYMMDD(Date(year, month, 28))), Date(year, month, 28));
}

TEST(Conversions, FloatToInvariantStrGeneralForm) {
  struct {
    double Value;
    const char* Text;
  } cases[] = {{0, "0"},
               {1234.5, "1234.5"},
               {0.1, "0.1"},
               {0.1 + 0.2, "0.3"},
               {-0.5, "-0.5"},
               {1e20, "1E20"},
               {1e15, "1E15"},
               {1e14, "100000000000000"},
               {999999999999999, "999999999999999"},
               {0.00001, "0.00001"},
               {0.00005, "0.00005"},
               {5e-6, "5E-6"},
               {-2.5e-7, "-2.5E-7"},
               {1.5e300, "1.5E300"},
               {123456789.123456789, "123456789.123457"},
               {1.0 / 3, "0.333333333333333"},
               {100, "100"},
               {12.34567, "12.34567"}};
  for (auto& c : cases)
    EXPECT_EQ(FloatToInvariantStr(c.Value), c.Text) << c.Text;
}

TEST(Conversions, InvariantStrToFloatAcceptsAndRefuses) {
  EXPECT_EQ(InvariantStrToFloat(" 1234.5 "), 1234.5);
  EXPECT_EQ(InvariantStrToFloat("+2"), 2);
  EXPECT_EQ(InvariantStrToFloat("-2.5E-7"), -2.5e-7);
  EXPECT_EQ(InvariantStrToFloat("1e20"), 1e20);
  EXPECT_EQ(InvariantStrToFloat(".5"), 0.5);
  for (const char* bad :
       {"1,5", "", "  ", "inf", "-inf", "nan", "1e400", "0x10", "1.5x", "+-1", "--1", "1 2"}) {
    EXPECT_THROW(InvariantStrToFloat(bad), ConvertError) << bad;
  }
  try {
    InvariantStrToFloat("1,5");
  } catch (const ConvertError& e) {
    EXPECT_EQ(e.Message(), "'1,5' is not a valid floating point value");
  }
  // Round trip of what the writer produces.
  for (double v : {0.1, 1e20, -2.5e-7, 123456.789, 1e-5, 922337203685477.0})
    EXPECT_EQ(InvariantStrToFloat(FloatToInvariantStr(v)), v);
}

TEST(Conversions, IntegersAreParsedWhole) {
  int64_t v = 0;
  EXPECT_TRUE(TryStrToInt64(" -42 ", v));
  EXPECT_EQ(v, -42);
  EXPECT_FALSE(TryStrToInt64("1x", v));
  EXPECT_FALSE(TryStrToInt64("", v));
  EXPECT_FALSE(TryStrToInt64("99999999999999999999", v));
  int i = 0;
  EXPECT_FALSE(TryStrToInt("2147483648", i));
  EXPECT_TRUE(TryStrToInt("-2147483648", i));
}

TEST(Conversions, FontStyles) {
  EXPECT_EQ(FontStylesToStr(fsBold | fsUnderline), "Bold, Underline");
  EXPECT_EQ(FontStylesToStr(0), "");
  EXPECT_EQ(FontStylesToStr(fsBold | fsItalic | fsUnderline | fsStrikeOut),
            "Bold, Italic, Underline, Strikeout");
  EXPECT_EQ(StrToFontStyles("bold, underline"), fsBold | fsUnderline);
  EXPECT_EQ(StrToFontStyles("UNDERLINE;BoLd"), fsBold | fsUnderline);
  EXPECT_EQ(StrToFontStyles("strikeoutitalic"), fsItalic | fsStrikeOut);
  EXPECT_EQ(StrToFontStyles(""), 0);
}

TEST(Conversions, VersionAndSmallHelpers) {
  std::string full = std::to_string(version::Major) + "." + std::to_string(version::Minor) + "." +
                     std::to_string(version::Release) + "." + std::to_string(version::Build);
  EXPECT_EQ(GetVersionStr(4), full);
  EXPECT_EQ(GetVersionStr(1), std::to_string(version::Major));
  EXPECT_EQ(GetVersionStr(0), std::to_string(version::Major));
  EXPECT_EQ(GetVersionStr(3), full.substr(0, full.rfind('.')));

  std::string s = "Import: Excel(a)";
  EXPECT_TRUE(StartsWith(s, "Import: ", false));
  EXPECT_EQ(s, "Import: Excel(a)");
  EXPECT_TRUE(StartsWith(s, "Import: ", true));
  EXPECT_EQ(s, "Excel(a)");
  EXPECT_FALSE(StartsWith(s, "excel", true));
  EXPECT_EQ(s, "Excel(a)");
  EXPECT_TRUE(StartsWith(s, "", true));
  std::string shortText = "Im";
  EXPECT_FALSE(StartsWith(shortText, "Import", true));

  Guid a = Guid::NewGuid(), b = Guid::NewGuid();
  EXPECT_EQ(IfThen(true, a, b), a);
  EXPECT_EQ(IfThen(false, a, b), b);
}
