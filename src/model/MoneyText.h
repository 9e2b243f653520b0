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

// A number as the user types it and as the program writes it: the user's
// decimal separator; between whole groups of the integer part the user's
// group separator or a blank (where the locale groups digits and its group
// separator differs from its decimal separator); an exponent ("1E-7"); and
// around the number the unit (a currency symbol, "%", or nothing) and a
// sign, each at most once, before or after the number in either order, or
// parentheses for a negative amount; blanks around each part. A first
// group has one to three digits and does not start with 0. So every
// money text that FormatMoney writes reads back as its amount. False for
// any other text, for the empty text, and for a number beyond the range of
// a double; "inf" and "nan" are no numbers.
bool TryTextToFloat(std::string_view text, const TMoneyLocale& locale, std::string_view unit,
                    double& value);

// The same text read as money, exactly: the decimal, its exponent applied,
// becomes its ten-thousandths with no double in between (a half to the even
// neighbour). False also for an amount beyond a Currency; an amount too
// small to reach a ten-thousandth is 0.
bool TryTextToMoney(std::string_view text, const TMoneyLocale& locale, std::string_view unit,
                    Currency& value);

// The same for a whole amount, such as a budget: false also when the digits
// typed hold a fraction, however small ("12.5", "1000.00004"); "1.5e1" is 15.
bool TryTextToWholeMoney(std::string_view text, const TMoneyLocale& locale, std::string_view unit,
                         Currency& value);

// Equal within 0.0001, the boundary included.
bool SameFloat(double a, double b);

} // namespace bw
