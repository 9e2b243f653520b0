// The drawing surface that measuring and the node painter work through: pen,
// brush and font as state, and the few drawing and measuring operations the
// tree needs. Backends draw on a QPainter (screen, back buffer, images,
// printer and preview pages) or record metafiles. Coordinates are device
// pixels of the surface, after whatever scaling the backend applies.
#pragma once

#include "canvas/FontDescription.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace bw {

struct TColor {
  uint8_t R = 0, G = 0, B = 0;
  friend constexpr bool operator==(const TColor&, const TColor&) = default;
};

namespace colors {
constexpr TColor Black{0, 0, 0};
constexpr TColor White{255, 255, 255};
constexpr TColor Grey{128, 128, 128};
constexpr TColor Red{255, 0, 0};
constexpr TColor Fuchsia{255, 0, 255};
constexpr TColor Blue{0, 0, 255};
constexpr TColor Brown{128, 64, 0};
constexpr TColor DarkGreen{0, 127, 0};
constexpr TColor Selection{210, 210, 255};
} // namespace colors

// Clear draws no outline and no line: shapes are only filled with the brush.
enum class TPenStyle : uint8_t { Solid, Dot, Dash, Clear };
enum class TBrushStyle : uint8_t { Solid, Clear };

struct TPen {
  TColor Color = colors::Black;
  // In logical units, scaled with the drawing; 0 or less draws nothing, as
  // the style Clear does.
  int Width = 1;
  TPenStyle Style = TPenStyle::Solid;
};

struct TBrush {
  TColor Color = colors::White;
  TBrushStyle Style = TBrushStyle::Solid;
};

struct TFont {
  TFontSpec Spec;
  TColor Color = colors::Black;
};

struct TPoint {
  int X = 0, Y = 0;
};

// Left, Top, Right, Bottom: right and bottom are the first pixels outside.
struct TRect {
  int Left = 0, Top = 0, Right = 0, Bottom = 0;
  friend bool operator==(const TRect&, const TRect&) = default;
};

// A small picture (the 9 x 9 buttons), row by row from the top.
struct TGlyph {
  int Width = 0;
  int Height = 0;
  std::vector<TColor> Pixels;
};

class TCanvas {
public:
  virtual ~TCanvas() = default;

  // The pen, brush and font that every following operation draws with,
  // until they are changed.
  TPen Pen;
  TBrush Brush;
  TFont Font;

  // Width and height of a text in the current font.
  virtual int TextWidth(std::string_view text) = 0;
  virtual int TextHeight(std::string_view text) = 0;

  virtual void MoveTo(int x, int y) = 0;
  // A line from the current position, which then moves to (x, y).
  virtual void LineTo(int x, int y) = 0;
  // Outlined with the pen and filled with the brush; right and bottom are
  // outside, as for every rectangle here.
  virtual void Rectangle(int left, int top, int right, int bottom) = 0;
  virtual void Ellipse(int left, int top, int right, int bottom) = 0;
  virtual void Polygon(const std::vector<TPoint>& points) = 0;
  // The brush alone, no outline.
  virtual void FillRect(const TRect& rect) = 0;
  // Text with its top-left corner at (x, y); a solid brush fills the text's
  // cell behind it.
  virtual void TextOut(int x, int y, std::string_view text) = 0;
  // Text at (x, y) clipped to the rectangle; a solid brush fills the whole
  // rectangle.
  virtual void TextRect(const TRect& clip, int x, int y, std::string_view text) = 0;
  virtual void Draw(int x, int y, const TGlyph& glyph) = 0;

  // The part of the surface that needs painting; drawing may skip what lies
  // wholly outside it. Everything by default.
  virtual TRect PaintArea() const {
    return {INT32_MIN / 2, INT32_MIN / 2, INT32_MAX / 2, INT32_MAX / 2};
  }
};

} // namespace bw
