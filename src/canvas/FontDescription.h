#pragma once

#include <cstdint>
#include <string>

namespace bw {

// A font as the tree file and the options keep it: the family asked for (not
// the one the system substituted), whole points and styles (TFontStyle bits).
// Each backend turns it into a real font.
struct TFontSpec {
  std::string Name = "Verdana";
  int Size = 8;
  uint8_t Style = 0;
  friend bool operator==(const TFontSpec&, const TFontSpec&) = default;
};

} // namespace bw
