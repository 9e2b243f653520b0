#include "app/text/LocaleCurrency.h"

#include <gtest/gtest.h>

#include <climits>
#include <clocale>

using namespace bw;

namespace {

std::lconv Conventions(char precedes, char space, char posn, char nPrecedes = -2,
                       char nSpace = -2) {
  std::lconv c{};
  c.currency_symbol = const_cast<char*>("€");
  c.frac_digits = 2;
  c.p_cs_precedes = precedes;
  c.p_sep_by_space = space;
  c.n_cs_precedes = nPrecedes == -2 ? precedes : nPrecedes;
  c.n_sep_by_space = nSpace == -2 ? space : nSpace;
  c.n_sign_posn = posn;
  return c;
}

} // namespace

TEST(LocaleCurrency, LayoutCodesFromTheMonetaryFields) {
  // en_US: "$1.00", "-$1.00".
  EXPECT_EQ(LocaleCurrencyFrom(Conventions(1, 0, 1)), (TLocaleCurrency{"€", 2, 0, 1}));
  // de_DE: "1,00 €", "-1,00 €".
  EXPECT_EQ(LocaleCurrencyFrom(Conventions(0, 1, 1)), (TLocaleCurrency{"€", 2, 3, 8}));
  // nl_NL: "€ 1,00", "€ -1,00".
  EXPECT_EQ(LocaleCurrencyFrom(Conventions(1, 1, 4)), (TLocaleCurrency{"€", 2, 2, 12}));
  // Every negative code by symbol place, space and sign position.
  const int expected[2][2][5] = {{{4, 5, 7, 6, 7}, {15, 8, 10, 13, 10}},
                                 {{0, 1, 3, 1, 2}, {14, 9, 11, 9, 12}}};
  for (char precedes : {0, 1})
    for (char space : {0, 1})
      for (char posn = 0; posn <= 4; ++posn)
        EXPECT_EQ(LocaleCurrencyFrom(Conventions(1, 0, posn, precedes, space)).NegFormat,
                  expected[int(precedes)][int(space)][int(posn)])
            << int(precedes) << int(space) << int(posn);
}

TEST(LocaleCurrency, OpenFieldsGiveTheDefaults) {
  std::lconv c = Conventions(CHAR_MAX, CHAR_MAX, CHAR_MAX);
  c.currency_symbol = const_cast<char*>("");
  c.frac_digits = CHAR_MAX;
  EXPECT_EQ(LocaleCurrencyFrom(c), (TLocaleCurrency{"", 2, 0, 1}));
  // The C locale itself.
  const std::string previous = std::setlocale(LC_MONETARY, nullptr);
  std::setlocale(LC_MONETARY, "C");
  EXPECT_EQ(UserLocaleCurrency(), (TLocaleCurrency{"", 2, 0, 1}));
  std::setlocale(LC_MONETARY, previous.c_str());
}
