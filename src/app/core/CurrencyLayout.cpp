#include "app/core/CurrencyLayout.h"

#include <array>

namespace bw {

namespace {

// "S" for the symbol, "N" for the number, blanks and signs as they stand.
constexpr std::array<std::string_view, 4> Positive = {"SN", "NS", "S N", "N S"};
constexpr std::array<std::string_view, 16> Negative = {
    "(SN)", "-SN",  "S-N",  "SN-",  "(NS)", "-NS",  "N-S",   "NS-",
    "-N S", "-S N", "N S-", "S N-", "S -N", "N- S", "(S N)", "(N S)"};

// The text with the symbol as "S", the number as "N" and every kind of
// blank as one blank; a minus sign of any kind as "-".
std::string Shape(std::string_view text, std::string_view symbol) {
  std::string out;
  size_t i = 0;
  bool inNumber = false;
  while (i < text.size()) {
    if (!symbol.empty() && text.substr(i, symbol.size()) == symbol) {
      out += 'S';
      i += symbol.size();
      inNumber = false;
      continue;
    }
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (c >= '0' && c <= '9') {
      if (!inNumber) out += 'N';
      inNumber = true;
      ++i;
      continue;
    }
    if (inNumber && (c == '.' || c == ',' || c == '\'') && i + 1 < text.size() &&
        text[i + 1] >= '0' && text[i + 1] <= '9') {
      ++i;
      continue;
    }
    inNumber = false;
    if (c == ' ') {
      out += ' ';
      ++i;
    } else if (text.substr(i, 2) == "\xc2\xa0") { // no-break space
      out += ' ';
      i += 2;
    } else if (text.substr(i, 3) == "\xe2\x80\xaf" || text.substr(i, 3) == "\xe2\x80\x89") {
      out += ' '; // narrow no-break and thin spaces
      i += 3;
    } else if (text.substr(i, 3) == "\xe2\x88\x92") { // minus sign
      out += '-';
      i += 3;
    } else if (text.substr(i, 3) == "\xe2\x80\x8e" || text.substr(i, 3) == "\xe2\x80\x8f") {
      i += 3; // direction marks
    } else {
      out += static_cast<char>(c);
      ++i;
    }
  }
  return out;
}

} // namespace

TCurrencyLayout MatchCurrencyLayout(std::string_view positive, std::string_view negative,
                                    std::string_view symbol) {
  TCurrencyLayout layout;
  std::string p = Shape(positive, symbol), n = Shape(negative, symbol);
  for (size_t i = 0; i < Positive.size(); ++i)
    if (p == Positive[i]) layout.PosFormat = static_cast<int>(i);
  for (size_t i = 0; i < Negative.size(); ++i)
    if (n == Negative[i]) layout.NegFormat = static_cast<int>(i);
  return layout;
}

} // namespace bw
