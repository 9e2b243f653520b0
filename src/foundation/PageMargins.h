// The page margins that printing uses and the settings keep.
#pragma once

#include <cstdint>

namespace bw {

// Left, top, right and bottom margin in the unit of the page-setup dialog:
// hundredths of a millimetre on metric locales, thousandths of an inch
// otherwise. 1000 each by default (10 mm or one inch).
struct TPageMargins {
  int32_t Left = 1000, Top = 1000, Right = 1000, Bottom = 1000;
  friend bool operator==(const TPageMargins&, const TPageMargins&) = default;
};

constexpr TPageMargins MakePageMargins(int32_t left, int32_t top, int32_t right, int32_t bottom) {
  return {left, top, right, bottom};
}
constexpr TPageMargins CopyPageMargins(const TPageMargins& margins) {
  return margins;
}
constexpr void AssignPageMargins(const TPageMargins& source, TPageMargins& destination) {
  destination = source;
}
// In 64 bits: two margins of any stored value never overflow.
constexpr int64_t HorizontalMargins(const TPageMargins& m) {
  return int64_t{m.Left} + m.Right;
}
constexpr int64_t VerticalMargins(const TPageMargins& m) {
  return int64_t{m.Top} + m.Bottom;
}

} // namespace bw
