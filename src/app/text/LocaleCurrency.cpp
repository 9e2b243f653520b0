#include "app/text/LocaleCurrency.h"

#include <climits>

namespace bw {

namespace {

bool Open(char field) {
  return field == CHAR_MAX || field < 0;
}

int PositiveFormat(const std::lconv& c) {
  if (Open(c.p_cs_precedes) || Open(c.p_sep_by_space)) return TLocaleCurrency{}.PosFormat;
  const bool precedes = c.p_cs_precedes != 0;
  const bool space = c.p_sep_by_space == 1;
  return precedes ? (space ? 2 : 0) : (space ? 3 : 1);
}

int NegativeFormat(const std::lconv& c) {
  if (Open(c.n_cs_precedes) || Open(c.n_sep_by_space) || Open(c.n_sign_posn) || c.n_sign_posn > 4)
    return TLocaleCurrency{}.NegFormat;
  const bool precedes = c.n_cs_precedes != 0;
  const bool space = c.n_sep_by_space == 1;
  // By sign position: 0 parentheses, 1 sign before all, 2 sign after all,
  // 3 sign just before the symbol, 4 sign just after the symbol.
  static constexpr int PrecedesNoSpace[5] = {0, 1, 3, 1, 2};
  static constexpr int FollowsNoSpace[5] = {4, 5, 7, 6, 7};
  static constexpr int PrecedesSpace[5] = {14, 9, 11, 9, 12};
  static constexpr int FollowsSpace[5] = {15, 8, 10, 13, 10};
  const int posn = c.n_sign_posn;
  if (precedes) return space ? PrecedesSpace[posn] : PrecedesNoSpace[posn];
  return space ? FollowsSpace[posn] : FollowsNoSpace[posn];
}

} // namespace

TLocaleCurrency LocaleCurrencyFrom(const std::lconv& c) {
  TLocaleCurrency result;
  result.Symbol = c.currency_symbol ? c.currency_symbol : "";
  if (!Open(c.frac_digits) && c.frac_digits <= 10) result.Decimals = c.frac_digits;
  result.PosFormat = PositiveFormat(c);
  result.NegFormat = NegativeFormat(c);
  return result;
}

TLocaleCurrency UserLocaleCurrency() {
  return LocaleCurrencyFrom(*std::localeconv());
}

} // namespace bw
