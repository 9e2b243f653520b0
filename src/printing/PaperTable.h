// The paper sizes the print preview knows: one row per paper type with the
// printer's paper code and the portrait width and height in the row's unit.
#pragma once

#include "printing/Units.h"

#include <array>
#include <cstdint>

namespace bw {

// In the order of the table below; pCustom is a size of the user's own.
enum TPaperType {
  pLetter,
  pLetterSmall,
  pTabloid,
  pLedger,
  pLegal,
  pStatement,
  pExecutive,
  pA3,
  pA4,
  pA4Small,
  pA5,
  pB4,
  pB5,
  pFolio,
  pQuatro,
  p10x14,
  p11x17,
  pNote,
  pEnv9,
  pEnv10,
  pEnv11,
  pEnv12,
  pEnv14,
  pCSheet,
  pDSheet,
  pESheet,
  pEnvDL,
  pEnvC5,
  pEnvC3,
  pEnvC4,
  pEnvC6,
  pEnvC65,
  pEnvB4,
  pEnvB5,
  pEnvB6,
  pEnvItaly,
  pEnvMonarch,
  pEnvPersonal,
  pFanfoldUSStd,
  pFanfoldGermanStd,
  pFanfoldGermanLegal,
  pB4ISO,
  pJapanesePostcard,
  p9x11,
  p10x11,
  p15x11,
  pEnvInvite,
  pLetterExtra,
  pLegalExtra,
  TabloidExtra,
  pA4Extra,
  pLetterTransverse,
  pA4Transverse,
  pLetterExtraTransverse,
  pAPlus,
  pBPlus,
  pLetterPlus,
  pA4Plus,
  pA5Transverse,
  pB5Transverse,
  pA3Extra,
  pA5Extra,
  pB5Extra,
  pA2,
  pA3Transverse,
  pA3ExtraTransverse,
  pCustom
};

constexpr int PaperTypeCount = pCustom + 1;
// The paper code of a size of the user's own.
constexpr int CustomPaperCode = 256;

struct TPaperSizeRow {
  int16_t Code;
  int32_t Width, Height; // portrait
  TUnits Units;          // mmHiEnglish or mmLoMetric; pCustom has no size
};

const std::array<TPaperSizeRow, PaperTypeCount>& PaperSizes();

// The first row, in table order, whose size equals (width, height) given in
// units once converted into the row's unit; pCustom when none does.
TPaperType FindPaperTypeBySize(int width, int height, TUnits units);
// The first row with this paper code; pCustom when none has it.
TPaperType PaperTypeByCode(int code);

} // namespace bw
