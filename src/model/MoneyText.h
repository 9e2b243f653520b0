// Money and number texts of the tree, without Qt: the caller hands in the
// user's separators, which the widget takes from the system locale.
#pragma once

#include "model/Currency.h"
#include "model/TreeTypes.h"

#include <string>
#include <string_view>

namespace bw {

// The parts of the user's number format that money and number texts use.
// UTF-8: separators such as a no-break space are several bytes.
struct TMoneyLocale {
  std::string ThousandSeparator = ",";
  std::string DecimalSeparator = ".";
  // Digits per thousands group; 0 or less writes no separators.
  int GroupSize = 3;
};

// The money text of a payoff in the layout its currency codes name:
// CurrencyPosFormat 0 to 3 ("$1", "1$", "$ 1", "1 $") and CurrencyNegFormat
// 0 to 15 ("($1)", "-$1", ... "(1 $)"); a code outside its range counts as
// 0. The value is rounded to CurrencyDecimals, ties away from zero; a value
// that rounds to zero is written as a positive one. Decimals below 0 count
// as 0 and above 18 as 18; beyond the four a Currency holds they are zeros.
std::string FormatMoney(Currency value, const TTreeOptions& options, const TMoneyLocale& locale);

// General number format: up to 15 significant digits, exponent form "1E-7"
// outside 0.00001 <= |v| < 1E15, the user's decimal separator and no
// thousands separators.
std::string FloatToText(double value, const TMoneyLocale& locale);

// The number in text written with the user's decimal separator (blanks
// around it, a sign and an exponent allowed). 0 when the text is no finite
// number: also for "inf", "nan", overflow, thousands separators and the
// invariant "." where the user's separator is another.
double TextToFloat(std::string_view text, const TMoneyLocale& locale);

// Equal within 0.0001, the boundary included.
bool SameFloat(double a, double b);

} // namespace bw
