#include "printing/PaperTable.h"

namespace bw {

namespace {
constexpr TUnits In = mmHiEnglish;
constexpr TUnits Mm = mmLoMetric;

constexpr std::array<TPaperSizeRow, PaperTypeCount> Table = {{
    {1, 8500, 11000, In},
    {2, 8500, 11000, In},
    {3, 11000, 17000, In},
    {4, 17000, 11000, In},
    {5, 8500, 14000, In},
    {6, 5500, 8500, In},
    {7, 7250, 10500, In},
    {8, 2970, 4200, Mm},
    {9, 2100, 2970, Mm},
    {10, 2100, 2970, Mm},
    {11, 1480, 2100, Mm},
    {12, 2500, 3540, Mm},
    {13, 1820, 2570, Mm},
    {14, 8500, 13000, In},
    {15, 2150, 2750, Mm},
    {16, 10000, 14000, In},
    {17, 11000, 17000, In},
    {18, 8500, 11000, In},
    {19, 3875, 8875, In},
    {20, 4125, 9500, In},
    {21, 4500, 10375, In},
    {22, 4750, 11000, In},
    {23, 5000, 11500, In},
    {24, 17000, 22000, In},
    {25, 22000, 34000, In},
    {26, 34000, 44000, In},
    {27, 1100, 2200, Mm},
    {28, 1620, 2290, Mm},
    {29, 3240, 4580, Mm},
    {30, 2290, 3240, Mm},
    {31, 1140, 1620, Mm},
    {32, 1140, 2290, Mm},
    {33, 2500, 3530, Mm},
    {34, 1760, 2500, Mm},
    {35, 1760, 1250, Mm},
    {36, 1100, 2300, Mm},
    {37, 3875, 7500, In},
    {38, 3625, 6500, In},
    {39, 14875, 11000, In},
    {40, 8500, 12000, In},
    {41, 8500, 13000, In},
    {42, 2500, 3530, Mm},
    {43, 1000, 1480, Mm},
    {44, 9000, 11000, In},
    {45, 10000, 11000, In},
    {46, 15000, 11000, In},
    {47, 2200, 2200, Mm},
    {50, 9500, 12000, In},
    {51, 9500, 15000, In},
    {52, 11690, 18000, In},
    {53, 9270, 12690, In},
    {54, 8500, 11000, In},
    {55, 2100, 2970, Mm},
    {56, 9500, 12000, In},
    {57, 2270, 3560, Mm},
    {58, 3050, 4870, Mm},
    {59, 8500, 12690, In},
    {60, 2100, 3300, Mm},
    {61, 1480, 2100, Mm},
    {62, 1820, 2570, Mm},
    {63, 3220, 4450, Mm},
    {64, 1740, 2350, Mm},
    {65, 2010, 2760, Mm},
    {66, 4200, 5940, Mm},
    {67, 2970, 4200, Mm},
    {68, 3220, 4450, Mm},
    {CustomPaperCode, 0, 0, mmPixel},
}};
} // namespace

const std::array<TPaperSizeRow, PaperTypeCount>& PaperSizes() {
  return Table;
}

TPaperType FindPaperTypeBySize(int width, int height, TUnits units) {
  const int dpi = ScreenDpi();
  for (int i = 0; i < pCustom; ++i) {
    const TPaperSizeRow& row = Table[i];
    if (ConvertUnits(width, dpi, units, row.Units) == row.Width &&
        ConvertUnits(height, dpi, units, row.Units) == row.Height)
      return static_cast<TPaperType>(i);
  }
  return pCustom;
}

TPaperType PaperTypeByCode(int code) {
  for (int i = 0; i < PaperTypeCount; ++i)
    if (Table[i].Code == code) return static_cast<TPaperType>(i);
  return pCustom;
}

} // namespace bw
