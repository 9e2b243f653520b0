#include "export/EmfCanvas.h"
#include "foundation/Conversions.h"
#include "support/FakeCanvas.h"

#include "MetafileRecords.h"

#include <gtest/gtest.h>

using namespace bw;
using namespace bw::test;

namespace {

enum : uint32_t {
  Header = 1,
  Polygon32 = 3,
  Eof = 14,
  SetBkMode = 18,
  SetTextAlign = 22,
  SetTextColor = 24,
  SetBkColor = 25,
  MoveToEx = 27,
  SelectObject = 37,
  CreatePen = 38,
  CreateBrush = 39,
  DeleteObject = 40,
  Ellipse = 42,
  Rectangle = 43,
  LineTo = 54,
  StretchDiBits = 81,
  CreateFont = 82,
  ExtTextOutW = 84,
  Polygon16 = 86,
  ExtCreatePen = 95,
};

uint32_t Rgb(uint8_t r, uint8_t g, uint8_t b) {
  return r | g << 8 | b << 16;
}

// A measure whose whole texts are narrower than their characters, as with
// kerning: the advances must be spread to the whole text's width.
class TKerningCanvas : public TFakeCanvas {
public:
  int TextWidth(std::string_view text) override {
    const int width = Width(text);
    return width > CharWidth ? width - 3 : width;
  }
};

} // namespace

TEST(EmfCanvas, RecordsEachCallWithTheObjectsItNeedsAndAHeaderThatAddsUp) {
  TFakeCanvas measure;
  TEmfCanvas c(200, 100, measure, 96);
  DrawShapesTextAndLine(c, 10, "Ab\xE2\x82\xAC", TPenStyle::Dot); // "Ab€"
  const std::vector<uint8_t> b = c.Finish();
  const std::vector<TRecord> r = EmfRecords(b);

  EXPECT_EQ(Types(r),
            (std::vector<uint32_t>{
                Header,       SetTextAlign, CreatePen,    SelectObject, CreateBrush,  SelectObject,
                Rectangle,    CreateBrush,  SelectObject, DeleteObject, Ellipse,      CreateFont,
                SelectObject, SetTextColor, SetBkMode,    SetBkColor,   ExtTextOutW,  MoveToEx,
                ExtCreatePen, SelectObject, DeleteObject, LineTo,       SelectObject, DeleteObject,
                SelectObject, DeleteObject, SelectObject, DeleteObject, Eof}));

  // The header: bounds in pixels, frame in 0.01 mm at 96 dpi, a reference
  // device whose pixels and millimetres agree, and the totals.
  EXPECT_EQ(U32(b, 40), 0x464D4520u);
  EXPECT_EQ(U32(b, 48), b.size());
  EXPECT_EQ(U32(b, 52), r.size());
  EXPECT_EQ(U16(b, 56), 5); // slots 1 to 4 were used
  EXPECT_EQ((std::vector{S32(b, 8), S32(b, 12), S32(b, 16), S32(b, 20)}),
            (std::vector{0, 0, 199, 99}));
  EXPECT_EQ((std::vector{S32(b, 24), S32(b, 28), S32(b, 32), S32(b, 36)}),
            (std::vector{0, 0, 5292, 2646}));
  EXPECT_EQ(U32(b, 72) * 254, U32(b, 80) * 960); // 20 x 15 inches
  EXPECT_EQ(U32(b, 76) * 254, U32(b, 84) * 960);
  EXPECT_EQ(r.back().Size, 20u);
  EXPECT_EQ(U32(b, Nth(r, SetTextAlign).Offset + 8), 0u); // top, left

  // Objects take the lowest free slot; the one replaced is deleted after
  // the new one is selected.
  const TRecord& pen = Nth(r, CreatePen);
  EXPECT_EQ(U32(b, pen.Offset + 8), 1u);
  EXPECT_EQ(U32(b, pen.Offset + 12), 0u); // solid
  EXPECT_EQ(U32(b, pen.Offset + 16), 1u); // width
  const TRecord& grey = Nth(r, CreateBrush, 1);
  EXPECT_EQ(U32(b, grey.Offset + 8), 3u);
  EXPECT_EQ(U32(b, grey.Offset + 16), Rgb(128, 128, 128));
  EXPECT_EQ(U32(b, Nth(r, DeleteObject).Offset + 8), 2u);
  EXPECT_EQ(
      (std::vector{S32(b, Nth(r, Rectangle).Offset + 8), S32(b, Nth(r, Rectangle).Offset + 12),
                   S32(b, Nth(r, Rectangle).Offset + 16), S32(b, Nth(r, Rectangle).Offset + 20)}),
      (std::vector{10, 10, 60, 40}));

  // The font: LOGFONTW in its 320-byte form, 8 points as 11 pixels.
  const TRecord& font = Nth(r, CreateFont);
  EXPECT_EQ(font.Size, 332u);
  EXPECT_EQ(U32(b, font.Offset + 8), 2u); // the brush's freed slot
  EXPECT_EQ(S32(b, font.Offset + 12), -11);
  EXPECT_EQ(S32(b, font.Offset + 28), 700);
  std::u16string face;
  for (size_t at = font.Offset + 40; U16(b, at) != 0; at += 2)
    face.push_back(static_cast<char16_t>(U16(b, at)));
  EXPECT_EQ(face, u"Verdana");

  // The text: opaque over its cell in the brush's colour, UTF-16, with the
  // advance of every character.
  EXPECT_EQ(U32(b, Nth(r, SetTextColor).Offset + 8), Rgb(0, 0, 255));
  EXPECT_EQ(U32(b, Nth(r, SetBkMode).Offset + 8), 2u); // opaque
  EXPECT_EQ(U32(b, Nth(r, SetBkColor).Offset + 8), Rgb(255, 255, 255));
  const size_t t = Nth(r, ExtTextOutW).Offset;
  EXPECT_EQ((std::vector{S32(b, t + 36), S32(b, t + 40)}), (std::vector{12, 20}));
  EXPECT_EQ(U32(b, t + 44), 3u);
  EXPECT_EQ(U32(b, t + 52), 2u); // ETO_OPAQUE
  EXPECT_EQ((std::vector{S32(b, t + 56), S32(b, t + 60), S32(b, t + 64), S32(b, t + 68)}),
            (std::vector{12, 20, 33, 33}));
  const size_t text = t + U32(b, t + 48), dx = t + U32(b, t + 72);
  EXPECT_EQ((std::vector{U16(b, text), U16(b, text + 2), U16(b, text + 4)}),
            (std::vector<uint16_t>{'A', 'b', 0x20AC}));
  EXPECT_EQ((std::vector{U32(b, dx), U32(b, dx + 4), U32(b, dx + 8)}),
            (std::vector<uint32_t>{7, 7, 7}));

  // A wide dotted pen keeps its dots as a geometric pen.
  const TRecord& wide = Nth(r, ExtCreatePen);
  EXPECT_EQ(U32(b, wide.Offset + 8), 4u);
  EXPECT_EQ(U32(b, wide.Offset + 28), 0x00010000u | 2u); // geometric, dot, round
  EXPECT_EQ(U32(b, wide.Offset + 32), 3u);
  EXPECT_EQ((std::vector{S32(b, Nth(r, LineTo).Offset + 8), S32(b, Nth(r, LineTo).Offset + 12)}),
            (std::vector{70, 20}));
  // At the end our objects leave the context for stock ones and go.
  EXPECT_EQ(U32(b, Nth(r, SelectObject, 5).Offset + 8), 0x80000007u);
}

TEST(EmfCanvas, TextsKeepTheirMeasuredWidthAndClipsAndClearBrushesAreKept) {
  TKerningCanvas measure;
  TEmfCanvas c(100, 50, measure);
  c.Font = {{"Verdana", 8, 0}, colors::Black};
  c.Brush = {colors::White, TBrushStyle::Clear};
  // "Ox" and a character beyond 16 bits: two UTF-16 units, one advance.
  c.TextRect({5, 6, 30, 19}, 8, 6, "Ox\xF0\x9F\x98\x80");
  const std::vector<uint8_t> b = c.Finish();
  const std::vector<TRecord> r = EmfRecords(b);

  EXPECT_EQ(U32(b, Nth(r, SetBkMode).Offset + 8), 1u); // transparent
  EXPECT_THROW(Nth(r, SetBkColor), std::out_of_range);
  const size_t t = Nth(r, ExtTextOutW).Offset;
  EXPECT_EQ(U32(b, t + 52), 4u); // ETO_CLIPPED alone
  EXPECT_EQ((std::vector{S32(b, t + 56), S32(b, t + 60), S32(b, t + 64), S32(b, t + 68)}),
            (std::vector{5, 6, 30, 19}));
  ASSERT_EQ(U32(b, t + 44), 4u);
  const size_t dx = t + U32(b, t + 72);
  const std::vector<uint32_t> advances{U32(b, dx), U32(b, dx + 4), U32(b, dx + 8), U32(b, dx + 12)};
  EXPECT_EQ(advances[3], 0u);
  EXPECT_EQ(advances[0] + advances[1] + advances[2], 18u); // 3 x 7 - 3
}

TEST(EmfCanvas, ShapesWithoutOutlineGlyphsAndLargeCoordinatesKeepTheCanvasRules) {
  TFakeCanvas measure;
  TEmfCanvas c(100, 50, measure);
  c.Brush = {colors::Red, TBrushStyle::Solid};
  c.Pen.Width = 0;
  c.Rectangle(5, 5, 15, 10);
  c.Polygon({{1, 2}, {9, 2}, {9, 8}});
  c.Polygon({{1, 2}, {40000, 2}, {9, 8}});
  TGlyph glyph{2, 1, {colors::Red, colors::Blue}};
  c.Draw(20, 30, glyph);
  const std::vector<uint8_t> b = c.Finish();
  const std::vector<TRecord> r = EmfRecords(b);

  // The platform fills one pixel less without an outline.
  EXPECT_EQ(U32(b, Nth(r, SelectObject).Offset + 8), 0x80000008u); // null pen
  const size_t rect = Nth(r, Rectangle).Offset;
  EXPECT_EQ((std::vector{S32(b, rect + 16), S32(b, rect + 20)}), (std::vector{16, 11}));
  const size_t small = Nth(r, Polygon16).Offset;
  EXPECT_EQ(
      (std::vector{S32(b, small + 8), S32(b, small + 12), S32(b, small + 16), S32(b, small + 20)}),
      (std::vector{1, 2, 9, 8}));
  EXPECT_EQ(U32(b, small + 24), 3u);
  EXPECT_EQ((std::vector{S16(b, small + 32), S16(b, small + 34)}), (std::vector<int16_t>{9, 2}));
  EXPECT_EQ(S32(b, Nth(r, Polygon32).Offset + 36), 40000);

  // The glyph as a 24-bit bottom-up bitmap: blue, green, red.
  const size_t dib = Nth(r, StretchDiBits).Offset;
  EXPECT_EQ((std::vector{S32(b, dib + 24), S32(b, dib + 28), S32(b, dib + 72), S32(b, dib + 76)}),
            (std::vector{20, 30, 2, 1}));
  EXPECT_EQ(U16(b, dib + U32(b, dib + 48) + 14), 24);
  const size_t bits = dib + U32(b, dib + 56);
  EXPECT_EQ((std::vector{b[bits], b[bits + 1], b[bits + 2], b[bits + 3]}),
            (std::vector<uint8_t>{0, 0, 255, 255}));
}
