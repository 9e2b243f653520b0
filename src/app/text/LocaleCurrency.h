// The user's currency as the tree options keep it: symbol, decimals and the
// positive and negative layout codes, read from the C library's monetary
// locale (LC_MONETARY). A new tree starts with it, and the tree-properties
// dialog reads it on request.
#pragma once

#include <clocale>
#include <string>

namespace bw {

struct TLocaleCurrency {
  std::string Symbol;
  int Decimals = 2;
  // Positive layouts 0 to 3 ("$1", "1$", "$ 1", "1 $") and negative
  // layouts 0 to 15, as the money texts of the tree number them.
  int PosFormat = 0;
  int NegFormat = 1;
  friend bool operator==(const TLocaleCurrency&, const TLocaleCurrency&) = default;
};

// From the fields of a monetary locale. A field the locale leaves open
// (CHAR_MAX, as in the C and POSIX locales) gives the default above.
TLocaleCurrency LocaleCurrencyFrom(const std::lconv& conventions);
// From the current C locale.
TLocaleCurrency UserLocaleCurrency();

} // namespace bw
