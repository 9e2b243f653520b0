// The 16-byte globally unique identifier: node identity, clone links, the
// selection and the undo snapshots all hold these values.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <string_view>

namespace bw {

// A text of two NUL characters: "not given", as opposed to the empty text.
inline const std::string NullText(2, '\0');

struct Guid {
  uint32_t D1 = 0;
  uint16_t D2 = 0;
  uint16_t D3 = 0;
  uint8_t D4[8] = {};

  // A fresh version-4 value from the system's random source; raises
  // InvalidOperationException when that source fails.
  static Guid NewGuid();
  static Guid Empty() { return Guid{}; }
  static bool Equals(const Guid& a, const Guid& b) {
    return a.D1 == b.D1 && a.D2 == b.D2 && a.D3 == b.D3 && std::memcmp(a.D4, b.D4, 8) == 0;
  }
  // Layouts "D", "N", "B", "P" (either case); "" and NullText mean "D".
  static std::string ToString(const Guid& g, std::string_view format);
  static std::string ToString(const Guid& g) { return ToString(g, "D"); }
  static Guid Parse(std::string_view s);

  std::string ToString() const { return ToString(*this); }
  bool IsEmpty() const {
    uint64_t tail;
    std::memcpy(&tail, D4, 8);
    return (D1 | D2 | D3 | tail) == 0;
  }
  friend bool operator==(const Guid& a, const Guid& b) { return Equals(a, b); }
};

// Hexadecimal digits (at most 8) to a number; InvalidOperationException names
// the last character that is not a digit.
uint32_t HexToCardinal(std::string_view text);

struct GuidHash {
  size_t operator()(const Guid& g) const noexcept;
};

} // namespace bw
