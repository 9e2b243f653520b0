// Measuring units of the print preview and the conversions between them.
// Pixels are screen pixels unless a conversion is given another resolution.
#pragma once

#include <cstdint>

namespace bw {

// With a fixed underlying type, a number outside the list is still a value
// of the type; the conversions pass it through unchanged.
enum TUnits : int {
  mmPixel,     // screen pixels
  mmLoMetric,  // 0.1 mm
  mmHiMetric,  // 0.01 mm
  mmLoEnglish, // 0.01 inch
  mmHiEnglish, // 0.001 inch
  mmTWIPS,     // 1/1440 inch
  mmPoints     // 1/72 inch
};

// a * b / c with a 64-bit product, rounded half away from zero; -1 when c is
// 0 or the result does not fit in 32 bits.
int MulDiv(int a, int b, int c);

// The screen's logical pixels per inch: what the pages are recorded at.
int ScreenDpi();

// Value converted from one unit into another; dpi is the resolution of the
// pixels on either side (a pixel-to-pixel conversion goes from screen
// pixels to pixels at dpi). A unit outside the enumeration, or the same
// unit on both sides (pixels apart), leaves the value as it is.
int ConvertUnits(int value, int dpi, TUnits inUnits, TUnits outUnits);

// Units of the kind in one inch; for pixels the screen's resolution.
double UnitsPerInch(TUnits units);

} // namespace bw
