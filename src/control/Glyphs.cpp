#include "control/Glyphs.h"

namespace bw {

namespace {

constexpr int Size = 9;
constexpr TColor Frame{120, 152, 181};
constexpr TColor FrameCorner{176, 194, 211};
constexpr TColor FaceTop = colors::White;
constexpr TColor FaceBottom{226, 220, 200};

uint8_t Blend(uint8_t from, uint8_t to, int step, int steps) {
  return static_cast<uint8_t>(from + (to - from) * step / steps);
}

// The frame and the face, without symbol.
TGlyph Button() {
  TGlyph g{Size, Size, std::vector<TColor>(Size * Size)};
  for (int y = 0; y < Size; ++y)
    for (int x = 0; x < Size; ++x) {
      const bool edgeX = x == 0 || x == Size - 1;
      const bool edgeY = y == 0 || y == Size - 1;
      TColor c;
      if (edgeX && edgeY)
        c = FrameCorner;
      else if (edgeX || edgeY)
        c = Frame;
      else {
        // Face rows 1 .. Size - 2, white at the top, beige at the bottom.
        const int step = y - 1, steps = Size - 3;
        c = {Blend(FaceTop.R, FaceBottom.R, step, steps),
             Blend(FaceTop.G, FaceBottom.G, step, steps),
             Blend(FaceTop.B, FaceBottom.B, step, steps)};
      }
      g.Pixels[y * Size + x] = c;
    }
  return g;
}

void Ink(TGlyph& g, int x, int y) {
  g.Pixels[y * g.Width + x] = colors::Black;
}

constexpr int Mid = Size / 2;

TGlyph MakeMinus() {
  TGlyph g = Button();
  for (int x = 2; x <= Size - 3; ++x)
    Ink(g, x, Mid);
  return g;
}

TGlyph MakePlus() {
  TGlyph g = MakeMinus();
  for (int y = 2; y <= Size - 3; ++y)
    Ink(g, Mid, y);
  return g;
}

// Five pixels wide at the top, one at the tip, centred.
TGlyph MakeRollDown() {
  TGlyph g = Button();
  for (int row = 0; row < 3; ++row)
    for (int x = 2 + row; x <= Size - 3 - row; ++x)
      Ink(g, x, 3 + row);
  return g;
}

} // namespace

const TGlyph& MinusGlyph() {
  static const TGlyph glyph = MakeMinus();
  return glyph;
}

const TGlyph& PlusGlyph() {
  static const TGlyph glyph = MakePlus();
  return glyph;
}

const TGlyph& RollDownGlyph() {
  static const TGlyph glyph = MakeRollDown();
  return glyph;
}

} // namespace bw
