// The dialogs' number texts and the strict reading of typed numbers.
#include "app/text/qt/NumberText.h"

#include <QLocale>

#include <gtest/gtest.h>

#include <limits>

using namespace bw;

namespace {

class NumberTexts : public ::testing::Test {
protected:
  void SetUp() override { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }
  void TearDown() override { QLocale::setDefault(QLocale::c()); }
};

bool Reads(const QString& text, double& value) {
  value = -1;
  return TryTextToFloat(text, value);
}

} // namespace

TEST_F(NumberTexts, FixedHasNoGroupSeparatorsNumberHasThem) {
  EXPECT_EQ(FixedText(1234.5, 2), "1234.50");
  EXPECT_EQ(NumberText(1234.5, 2), "1,234.50");
  EXPECT_EQ(NumberText(-1234567.25, 0), "-1,234,567");
  EXPECT_EQ(FixedText(12.4, 0), "12");
  EXPECT_EQ(NumberText(1.1, 3), "1.100");
  // Decimals out of range as the money texts take them.
  EXPECT_EQ(FixedText(2, -3), "2");
  EXPECT_EQ(FixedText(2, 40), "2.000000000000000000");
  // No more than 15 significant digits.
  EXPECT_EQ(FixedText(922337203685477.5807, 4), "922337203685478.0000");

  QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
  EXPECT_EQ(FixedText(1234.5, 2), "1234,50");
  EXPECT_EQ(NumberText(1234.5, 2), "1.234,50");
}

TEST_F(NumberTexts, TypedNumbersAreReadStrictlyInTheLocalesNotation) {
  double v;
  EXPECT_TRUE(Reads("12.5", v));
  EXPECT_EQ(v, 12.5);
  EXPECT_TRUE(Reads("  -40 ", v));
  EXPECT_EQ(v, -40);
  EXPECT_TRUE(Reads("1e3", v));
  EXPECT_EQ(v, 1000);
  EXPECT_TRUE(Reads("-0", v));
  EXPECT_EQ(v, 0);
  // The locale's group separator, between whole groups.
  EXPECT_TRUE(Reads("1,000.5", v));
  EXPECT_EQ(v, 1000.5);
  for (const QString& bad :
       {QString(""), QString("   "), QString("1,00"), QString("1.000,5"), QString("inf"),
        QString("-INF"), QString("nan"), QString("NaN"), QString("1e999"), QString("12a"),
        QString("1.2.3"), QString(10000, '9'), QString::fromUtf8("\u0661\u0662"),
        QString::fromUtf8("\uFF11\uFF12")})
    EXPECT_FALSE(Reads(bad, v)) << bad.left(20).toStdString();
  EXPECT_EQ(v, -1);

  QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
  EXPECT_TRUE(Reads("1.000,5", v));
  EXPECT_EQ(v, 1000.5);
  EXPECT_FALSE(Reads("1.5", v));
}

TEST_F(NumberTexts, MoneyIsRoundedTiesToEvenAndMustFitACurrency) {
  Currency c = 7;
  EXPECT_TRUE(TryTextToCurrency("12.3456", c));
  EXPECT_EQ(c, 123456);
  // Exactly a half, read without a double: to the even neighbour.
  EXPECT_TRUE(TryTextToCurrency("0.00005", c));
  EXPECT_EQ(c, 0);
  EXPECT_TRUE(TryTextToCurrency("0.00015", c));
  EXPECT_EQ(c, 2);
  EXPECT_TRUE(TryTextToCurrency("-922337203685477", c));
  EXPECT_EQ(c, -9223372036854770000);
  c = 7;
  EXPECT_FALSE(TryTextToCurrency("922337203685478", c));
  EXPECT_FALSE(TryTextToCurrency("-1e300", c));
  EXPECT_EQ(c, 7);
}
