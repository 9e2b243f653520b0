// Unit conversions and the paper table.
#include "printing/Units.h"
#include "printing/PaperTable.h"

#include <gtest/gtest.h>

using namespace bw;

TEST(Units, MulDivRoundsHalfAwayFromZeroAndFailsAsMinusOne) {
  EXPECT_EQ(MulDiv(5, 1, 2), 3);
  EXPECT_EQ(MulDiv(-5, 1, 2), -3);
  EXPECT_EQ(MulDiv(7, 1, -2), -4);
  EXPECT_EQ(MulDiv(2000000000, 3, 2), -1); // beyond 32 bits
  EXPECT_EQ(MulDiv(2000000000, 3, 4), 1500000000);
  EXPECT_EQ(MulDiv(1, 2, 0), -1);
}

TEST(Units, ConvertsByTheTableWithItsThreeTruncatingDivisions) {
  // Ten inches in every unit (pixels at 96 per inch) stay ten inches in
  // every other one.
  const int tenInches[] = {960, 2540, 25400, 1000, 10000, 14400, 720};
  for (int in = mmPixel; in <= mmPoints; ++in)
    for (int out = mmPixel; out <= mmPoints; ++out)
      EXPECT_EQ(ConvertUnits(tenInches[in], 96, TUnits(in), TUnits(out)), tenInches[out])
          << in << " -> " << out;
  // A4 in tenths of a millimetre to screen pixels and back, rounded.
  EXPECT_EQ(ConvertUnits(2100, 96, mmLoMetric, mmPixel), 794);
  EXPECT_EQ(ConvertUnits(2970, 96, mmLoMetric, mmPixel), 1123);
  EXPECT_EQ(ConvertUnits(794, 96, mmPixel, mmLoMetric), 2101);
  // div, not rounding: 19 hundredths of a millimetre are 1 tenth.
  EXPECT_EQ(ConvertUnits(19, 96, mmHiMetric, mmLoMetric), 1);
  EXPECT_EQ(ConvertUnits(19, 96, mmHiEnglish, mmLoEnglish), 1);
  EXPECT_EQ(ConvertUnits(39, 96, mmTWIPS, mmPoints), 1);
  // The same unit is left alone, but pixels go from the screen to dpi.
  EXPECT_EQ(ConvertUnits(123, 300, mmHiMetric, mmHiMetric), 123);
  EXPECT_EQ(ConvertUnits(96, 1200, mmPixel, mmPixel), 1200);
  EXPECT_EQ(ConvertUnits(42, 96, static_cast<TUnits>(99), mmPixel), 42);
}

TEST(PaperTable, FindsTheFirstRowOfASizeAndTheRowOfACode) {
  EXPECT_EQ(FindPaperTypeBySize(8500, 11000, mmHiEnglish), pLetter);
  // A4 before A4 Small and A4 Transverse, which come later.
  EXPECT_EQ(FindPaperTypeBySize(2100, 2970, mmLoMetric), pA4);
  EXPECT_EQ(FindPaperTypeBySize(21000, 29700, mmHiMetric), pA4);
  EXPECT_EQ(FindPaperTypeBySize(1000, 1000, mmLoMetric), pCustom);
  // A landscape-shaped row is found only in its own shape.
  EXPECT_EQ(FindPaperTypeBySize(17000, 11000, mmHiEnglish), pLedger);
  // Pixels rarely come back to a metric row exactly.
  EXPECT_EQ(FindPaperTypeBySize(794, 1123, mmPixel), pCustom);

  // Codes 1 to 47, then 50 to 68; 48, 49 and unknown codes are custom.
  EXPECT_EQ(PaperTypeByCode(1), pLetter);
  EXPECT_EQ(PaperTypeByCode(47), pEnvInvite);
  EXPECT_EQ(PaperTypeByCode(48), pCustom);
  EXPECT_EQ(PaperTypeByCode(49), pCustom);
  EXPECT_EQ(PaperTypeByCode(50), pLetterExtra);
  EXPECT_EQ(PaperTypeByCode(52), TabloidExtra);
  EXPECT_EQ(PaperTypeByCode(68), pA3ExtraTransverse);
  EXPECT_EQ(PaperTypeByCode(256), pCustom);
}
