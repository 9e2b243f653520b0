// The rubber band blended into 32-bit pixels (0xAARRGGBB), in integers:
// a strong border and a faint fill in the band's blue.
#pragma once

#include "canvas/Canvas.h"

#include <cstdint>

namespace bw {

constexpr TColor BandColor{10, 50, 255};

// Blends the band rectangle (edges included, in buffer coordinates) into a
// buffer of width x height pixels, `stride` pixels per row; what lies
// outside the buffer is left alone. A one-row or one-column band is
// blended once.
void BlendBand(uint32_t* pixels, int width, int height, int stride, const TRect& band);

} // namespace bw
