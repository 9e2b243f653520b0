// The user's currency layout as the layout codes that the tree options keep:
// found by matching the locale's money texts for 1 and -1 against the four
// positive and sixteen negative layouts.
#pragma once

#include <string>
#include <string_view>

namespace bw {

struct TCurrencyLayout {
  int PosFormat = 0;
  int NegFormat = 1;
};

// positive and negative: the locale's texts of 1 and -1 with the symbol;
// the number part is found as the run of digits and separators. A layout
// that matches none of the codes gives the defaults.
TCurrencyLayout MatchCurrencyLayout(std::string_view positive, std::string_view negative,
                                    std::string_view symbol);

} // namespace bw
