// What the EMF and WMF records share of libUEMF's constructors: colours,
// pen styles and the header of a glyph's bitmap.
#pragma once

#include "canvas/Canvas.h"

#include <uemf.h>

#include <cmath>
#include <cstdint>
#include <new>

namespace bw {

inline U_COLORREF ColorRef(const TColor& c) {
  return colorref_set(c.R, c.G, c.B);
}

inline uint32_t PenStyle(TPenStyle style) {
  return style == TPenStyle::Dot ? U_PS_DOT : style == TPenStyle::Dash ? U_PS_DASH : U_PS_SOLID;
}

// The header of a 24-bit bitmap of `size` bytes at dpi pixels per inch;
// to be freed with std::free.
inline U_BITMAPINFO* BitmapInfo(int width, int height, uint32_t size, int dpi) {
  const auto perMetre = static_cast<int32_t>(std::lround(dpi / 0.0254));
  U_BITMAPINFO* info = bitmapinfo_set(
      bitmapinfoheader_set(width, height, 1, 24, U_BI_RGB, size, perMetre, perMetre, 0, 0),
      nullptr);
  if (!info) throw std::bad_alloc();
  return info;
}

} // namespace bw
