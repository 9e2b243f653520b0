#include "model/MoneyText.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <vector>

using namespace bw;

namespace {

TTreeOptions Money(std::string symbol, int decimals, int pos = 0, int neg = 0) {
  TTreeOptions o;
  o.CurrencySymbol = std::move(symbol);
  o.CurrencyDecimals = decimals;
  o.CurrencyPosFormat = pos;
  o.CurrencyNegFormat = neg;
  return o;
}

const TMoneyLocale English;                      // "," and "."
const TMoneyLocale German{".", ",", 3};          // 1.234,50
const TMoneyLocale French{"\u00A0", ",", 3};     // no-break space, several bytes
const TMoneyLocale ArabicPoint{"", "\u066B", 3}; // a separator of two bytes

Currency C(double units) {
  return DoubleToCurrency(units);
}

} // namespace

TEST(MoneyText, FourPositiveLayouts) {
  const char* expected[] = {"$1,234.50", "1,234.50$", "$ 1,234.50", "1,234.50 $"};
  const char* zero[] = {"$0", "0$", "$ 0", "0 $"};
  for (int pos = 0; pos < 4; ++pos) {
    EXPECT_EQ(FormatMoney(C(1234.5), Money("$", 2, pos), English), expected[pos]) << pos;
    // Zero is positive, whatever the negative layout.
    for (int neg = 0; neg < 16; ++neg)
      EXPECT_EQ(FormatMoney(0, Money("$", 0, pos, neg), English), zero[pos]) << pos << " " << neg;
  }
}

TEST(MoneyText, SixteenNegativeLayouts) {
  const char* expected[] = {"($1,234.50)", "-$1,234.50",  "$-1,234.50",   "$1,234.50-",
                            "(1,234.50$)", "-1,234.50$",  "1,234.50-$",   "1,234.50$-",
                            "-1,234.50 $", "-$ 1,234.50", "1,234.50 $-",  "$ 1,234.50-",
                            "$ -1,234.50", "1,234.50- $", "($ 1,234.50)", "(1,234.50 $)"};
  for (int neg = 0; neg < 16; ++neg) {
    // The positive layout plays no part for a negative value.
    EXPECT_EQ(FormatMoney(-C(1234.5), Money("$", 2, 3, neg), English), expected[neg]) << neg;
    EXPECT_EQ(FormatMoney(C(1234.5), Money("$", 2, 1, neg), English), "1,234.50$") << neg;
  }
}

TEST(MoneyText, OutOfRangeCodesCountAsZero) {
  for (int pos : {4, -1, 255, 1000})
    EXPECT_EQ(FormatMoney(C(5), Money("$", 0, pos, 1), English), "$5") << pos;
  for (int neg : {16, -1, 255})
    EXPECT_EQ(FormatMoney(-C(5), Money("$", 0, 1, neg), English), "($5)") << neg;
}

TEST(MoneyText, RoundsTiesAwayFromZeroInIntegers) {
  const TTreeOptions two = Money("", 2, 0, 1);
  EXPECT_EQ(FormatMoney(1250, two, English), "0.13"); // 0.125: ties to even would give 0.12
  EXPECT_EQ(FormatMoney(-1250, two, English), "-0.13");
  EXPECT_EQ(FormatMoney(1249, two, English), "0.12");
  EXPECT_EQ(FormatMoney(C(2.5), Money("", 0), English), "3");
  EXPECT_EQ(FormatMoney(C(0.5), Money("", 0), English), "1");
  EXPECT_EQ(FormatMoney(1235, Money("", 3), English), "0.124");
  EXPECT_EQ(FormatMoney(C(9999.95), Money("", 1), English), "10,000.0");
  // Rounded to zero it is no longer negative.
  EXPECT_EQ(FormatMoney(-49, two, English), "0.00");
  EXPECT_EQ(FormatMoney(-50, two, English), "-0.01");
  EXPECT_EQ(FormatMoney(-C(0.4), Money("$", 0, 0, 0), English), "$0");
}

TEST(MoneyText, DecimalsBeyondTheCurrencyPadAndAreCapped) {
  EXPECT_EQ(FormatMoney(12345, Money("", 4), English), "1.2345");
  EXPECT_EQ(FormatMoney(12345, Money("", 6), English), "1.234500");
  EXPECT_EQ(FormatMoney(12345, Money("", 255), English), "1.234500000000000000");
  EXPECT_EQ(FormatMoney(12345, Money("", 19), English), "1.234500000000000000");
  EXPECT_EQ(FormatMoney(C(7), Money("", -3), English), "7");
}

TEST(MoneyText, ExtremesOfTheCurrencyRange) {
  const Currency max = std::numeric_limits<Currency>::max();
  const Currency min = std::numeric_limits<Currency>::min();
  EXPECT_EQ(FormatMoney(max, Money("$", 4), English), "$922,337,203,685,477.5807");
  EXPECT_EQ(FormatMoney(max, Money("$", 0), English), "$922,337,203,685,478");
  EXPECT_EQ(FormatMoney(min, Money("$", 4, 0, 1), English), "-$922,337,203,685,477.5808");
  EXPECT_EQ(FormatMoney(min, Money("$", 3, 0, 1), English), "-$922,337,203,685,477.581");
  EXPECT_EQ(FormatMoney(min, Money("$", 2, 0, 1), English), "-$922,337,203,685,477.58");
  EXPECT_EQ(FormatMoney(min, Money("$", 0, 0, 1), English), "-$922,337,203,685,478");
  EXPECT_EQ(FormatMoney(min, Money("$", 18, 0, 15), English),
            "(922,337,203,685,477.580800000000000000 $)");
}

TEST(MoneyText, SeparatorsOfTheUsersLocale) {
  const TTreeOptions o = Money("\u20AC", 2, 3, 8); // the euro sign, three bytes
  EXPECT_EQ(FormatMoney(C(1234567.891), o, German), "1.234.567,89 \u20AC");
  EXPECT_EQ(FormatMoney(-C(1234567.891), o, French), "-1\u00A0234\u00A0567,89 \u20AC");
  EXPECT_EQ(FormatMoney(C(1234.5), o, ArabicPoint), "1234\u066B50 \u20AC");
  EXPECT_EQ(FormatMoney(C(1234567), Money("", 0), TMoneyLocale{",", ".", 0}), "1234567");
  EXPECT_EQ(FormatMoney(C(1234567), Money("", 0), TMoneyLocale{",", ".", 4}), "123,4567");
  const std::vector<std::pair<double, const char*>> grouping = {
      {999, "999"}, {1000, "1,000"}, {100000, "100,000"}, {1000000, "1,000,000"}};
  for (auto [units, text] : grouping)
    EXPECT_EQ(FormatMoney(C(units), Money("", 0), English), text);
}

TEST(NumberText, FloatToTextUsesTheUsersSeparatorAndNoGroups) {
  EXPECT_EQ(FloatToText(1500, German), "1500");
  EXPECT_EQ(FloatToText(0.5, German), "0,5");
  EXPECT_EQ(FloatToText(-2.25, German), "-2,25");
  EXPECT_EQ(FloatToText(99.999, English), "99.999");
  EXPECT_EQ(FloatToText(1.0 / 3, German), "0,333333333333333");
  EXPECT_EQ(FloatToText(1e-7, German), "1E-7");
  EXPECT_EQ(FloatToText(1.5e20, German), "1,5E20");
  EXPECT_EQ(FloatToText(2.5, ArabicPoint), "2\u066B5");
  EXPECT_EQ(FloatToText(0, German), "0");
}

// Every number typed in place or into a dialog is read here, as a table by
// locale and unit (the currency symbol, "%" or none). Groups must be whole:
// "1,5" may be a decimal typed the other way round.
TEST(NumberText, TypedNumbers) {
  using Read = std::pair<std::string, double>;
  auto reads = [](const TMoneyLocale& locale, const char* unit, std::initializer_list<Read> rows) {
    for (const auto& [text, expected] : rows) {
      double value = 0;
      EXPECT_TRUE(TryTextToFloat(text, locale, unit, value)) << text;
      EXPECT_EQ(value, expected) << text;
    }
  };
  auto refuses = [](const TMoneyLocale& locale, const char* unit,
                    std::initializer_list<std::string> texts) {
    for (const std::string& text : texts) {
      double value = -42;
      EXPECT_FALSE(TryTextToFloat(text, locale, unit, value)) << text.substr(0, 20);
      EXPECT_EQ(value, -42);
    }
  };
  const TMoneyLocale C{"", ".", 3}; // the C library's: no group separator
  reads(English, "", {{"1,234.5", 1234.5}, {" 1,234,567 ", 1234567}, {"1 500", 1500}});
  reads(English, "", {{"+7", 7}, {"(5)", -5}, {"1e3", 1000}, {"-2.5E-1", -0.25}, {".5", 0.5}});
  reads(English, "", {{"1." + std::string(398, '0'), 1}});
  refuses(English, "",
          {"1,5", "1234,567", "1,,000", ",500", "1,000,", "1.234,5", "\u00A35",
           "--5", "-5-",      "(-5)",   "1e",   ".",      "inf",     "-INF",
           "nan", "",         "  ",     "0x10", "1e400",  "\u0661",  std::string(400, '9')});
  // No formatter writes a first group of 0 or one that starts with 0.
  refuses(English, "", {"0,125", "00,125", "012,345", "0,125.5", "-0,125", "0 125"});
  reads(English, "\u00A3", {{"\u00A3 1,234.50", 1234.5}, {"\u00A39000", 9000}, {"-\u00A35", -5}});
  reads(English, "\u00A3", {{"5\u00A3-", -5}, {"(\u00A3 5)", -5}});
  refuses(English, "\u00A3", {"\u00A35\u00A3", "$5", "\u00A3", "5 \u00A3 5"});
  reads(English, "%", {{"12.5 %", 12.5}, {"%7", 7}});
  reads(German, "\u20AC", {{"1.234,5 \u20AC", 1234.5}, {"1.500", 1500}, {"1,5E2", 150}});
  reads(German, "kr.", {{"-1.234,5 kr.", -1234.5}});
  refuses(German, "", {"1.5", "1,234.5", "NaN", "12abc", "0.125", "250k"});
  reads(German, "", {{"3.141", 3141}, {"0,125", 0.125}});
  reads(French, "", {{"1 234\u202F567,5", 1234567.5}});
  reads(ArabicPoint, "", {{"3\u066B5", 3.5}});
  reads(C, "", {{"1234.5", 1234.5}});
  refuses(C, "", {"1,234", "1 234"});
}

// Amounts are read as money exactly, beyond what a double holds to the
// ten-thousandth, a half to the even neighbour, with an exponent too.
TEST(NumberText, TypedMoneyIsExact) {
  const std::pair<std::string, Currency> exact[] = {{"469,258,060,182,053.52", 4692580601820535200},
                                                    {"549755813888.0001", 5497558138880001},
                                                    {"-\u00A3922,337,203,685,477.5808", INT64_MIN},
                                                    {"0.00005", 0},
                                                    {"0.00015", 2},
                                                    {"1.5e3", 15000000},
                                                    {"469258060182053.52e0", 4692580601820535200},
                                                    {"1.5e-4", 2},
                                                    {"25000000000000000001e-23", 3},
                                                    {"-9223372036854775808E-4", INT64_MIN},
                                                    {"5.00001e-5", 1},
                                                    {"1e-999999999", 0},
                                                    {"0e999999999999999999999", 0},
                                                    {"(.5E1)", -50000}};
  for (const auto& [text, expected] : exact) {
    Currency value = -42;
    EXPECT_TRUE(TryTextToMoney(text, English, "\u00A3", value) && value == expected) << text;
  }
  Currency value;
  EXPECT_TRUE(TryTextToMoney("1.234,5678 \u20AC", German, "\u20AC", value) && value == 12345678);
  for (const char* text :
       {"922,337,203,685,477.5808", "1e16", "0,125", "12x", "1e999999999", "1e99999999999999999999",
        "9223372036854775808e-4", "1e", "1e+", "e5", "1e5.5"})
    EXPECT_FALSE(TryTextToMoney(text, English, "", value)) << text;
  // A whole amount has no fraction in the digits typed, however small.
  EXPECT_TRUE(TryTextToWholeMoney("1,000.00e0", English, "", value) && value == 10000000);
  EXPECT_TRUE(TryTextToWholeMoney("1.5e1", English, "", value) && value == 150000);
  for (const char* text : {"1000.00004", "0.00005", "1e-999999999", "-1.5"})
    EXPECT_FALSE(TryTextToWholeMoney(text, English, "", value)) << text;
}

// What the program writes reads back as the amount it shows, in every
// layout of positive and negative amounts.
TEST(NumberText, EveryMoneyTextReadsBack) {
  const std::pair<const TMoneyLocale*, const char*> currencies[] = {
      {&English, "\u00A3"}, {&German, "\u20AC"}, {&German, "kr."}, {&French, "$"}};
  for (auto [locale, symbol] : currencies)
    for (int layout = 0; layout < 4 * 16; ++layout)
      for (double units : {1234567.5, -1234567.5, -0.25}) {
        const std::string text =
            FormatMoney(C(units), Money(symbol, 2, layout / 16, layout % 16), *locale);
        double value = 0;
        EXPECT_TRUE(TryTextToFloat(text, *locale, symbol, value)) << text;
        EXPECT_EQ(value, units) << text;
      }
}

TEST(NumberText, SameFloatWithinATenThousandthInclusive) {
  EXPECT_TRUE(SameFloat(100, 99.99995));
  EXPECT_FALSE(SameFloat(100, 99.9998));
  EXPECT_TRUE(SameFloat(0, 0.0001));
  EXPECT_TRUE(SameFloat(-0.0001, 0));
  EXPECT_FALSE(SameFloat(0, -0.0002));
  EXPECT_TRUE(SameFloat(7, 7));
}
