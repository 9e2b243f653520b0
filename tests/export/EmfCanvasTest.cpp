#include "export/EmfCanvas.h"
#include "support/FakeCanvas.h"

#include "ReadBack.h"

#include <gtest/gtest.h>

#include <bit>

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
  ExtTextOutW = EmfExtTextOutW,
  Polygon16 = 86,
  ExtCreatePen = 95,
};

// The high bit marks a stock object.
constexpr int Stock = INT32_MIN;

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

  // The header: bounds in pixels, frame in 0.01 mm at 96 dpi, the totals,
  // and a reference device of 20 x 15 inches whose pixels and millimetres
  // agree.
  EXPECT_EQ(Fields(b, 8, 8), (std::vector{0, 0, 199, 99, 0, 0, 5292, 2646}));
  EXPECT_EQ(U32(b, 48), b.size());
  EXPECT_EQ(U32(b, 52), r.size());
  EXPECT_EQ(U16(b, 56), 5); // slots 1 to 4 were used
  EXPECT_EQ(Fields(b, 72, 4), (std::vector{1920, 1440, 508, 381}));
  EXPECT_EQ(FieldOfEach(b, r, SetTextAlign, 8), std::vector{0}); // top, left

  // Objects take the lowest free slot; the one replaced is deleted after
  // the new one is selected; at the end ours leave the context for stock
  // ones (black pen, white brush, system font) and go.
  EXPECT_EQ(FieldOfEach(b, r, SelectObject, 8),
            (std::vector{1, 2, 3, 2, 4, Stock | 7, Stock | 0, Stock | 13}));
  EXPECT_EQ(FieldOfEach(b, r, DeleteObject, 8), (std::vector{2, 1, 4, 3, 2}));
  EXPECT_EQ(Fields(b, Nth(r, CreatePen).Offset + 8, 3), (std::vector{1, 0, 1})); // solid, 1 wide
  EXPECT_EQ(Fields(b, Nth(r, CreateBrush, 1).Offset + 8, 3), (std::vector{3, 0, 0x808080}));
  EXPECT_EQ(Fields(b, Nth(r, Rectangle).Offset + 8, 4), (std::vector{10, 10, 60, 40}));
  EXPECT_EQ(Fields(b, Nth(r, Ellipse).Offset + 8, 4), (std::vector{70, 10, 90, 30}));

  // The font: LOGFONTW in its 320-byte form, 8 points as 11 pixels.
  const TRecord& font = Nth(r, CreateFont);
  EXPECT_EQ(font.Size, 332u);
  EXPECT_EQ(Fields(b, font.Offset + 8, 2), (std::vector{2, -11}));
  EXPECT_EQ(S32(b, font.Offset + 28), 700);
  // Not italic, underlined, not struck out.
  EXPECT_EQ((std::vector(b.begin() + font.Offset + 32, b.begin() + font.Offset + 35)),
            (std::vector<uint8_t>{0, 1, 0}));
  std::u16string face;
  for (size_t at = font.Offset + 40; U16(b, at) != 0; at += 2)
    face.push_back(static_cast<char16_t>(U16(b, at)));
  EXPECT_EQ(face, u"Verdana");

  // The text: opaque over its cell in the brush's colour, UTF-16, with the
  // advance of every character; the drawn area with its edges, and the
  // scale of 0.01 mm to a pixel for players that scale texts by it.
  EXPECT_EQ(FieldOfEach(b, r, SetTextColor, 8), std::vector{0xFF0000}); // blue
  EXPECT_EQ(FieldOfEach(b, r, SetBkMode, 8), std::vector{2});           // opaque
  EXPECT_EQ(FieldOfEach(b, r, SetBkColor, 8), std::vector{0xFFFFFF});
  const TRecord& text = Nth(r, ExtTextOutW);
  EXPECT_EQ(Fields(b, text.Offset + 8, 5), (std::vector{12, 20, 32, 32, 1})); // GM_COMPATIBLE
  for (size_t at : {28, 32})
    EXPECT_FLOAT_EQ(std::bit_cast<float>(U32(b, text.Offset + at)), 26.458334f);
  EXPECT_EQ(Fields(b, text.Offset + 36, 2), (std::vector{12, 20}));
  EXPECT_EQ(U32(b, text.Offset + 52), 2u); // ETO_OPAQUE
  EXPECT_EQ(Fields(b, text.Offset + 56, 4), (std::vector{12, 20, 33, 33}));
  EXPECT_EQ(EmfText(b, text).Units, u"Ab\u20AC");
  EXPECT_EQ(EmfText(b, text).Advances, (std::vector{7, 7, 7}));

  // A wide dotted pen keeps its dots as a geometric pen with round ends.
  EXPECT_EQ(Fields(b, Nth(r, ExtCreatePen).Offset + 28, 2), (std::vector{0x10000 | 2, 3}));
  EXPECT_EQ(Fields(b, Nth(r, MoveToEx).Offset + 8, 2), (std::vector{60, 25}));
  EXPECT_EQ(Fields(b, Nth(r, LineTo).Offset + 8, 2), (std::vector{70, 20}));
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

  EXPECT_EQ(FieldOfEach(b, r, SetBkMode, 8), std::vector{1}); // transparent
  const TRecord& text = Nth(r, ExtTextOutW);
  EXPECT_EQ(U32(b, text.Offset + 52), 4u); // ETO_CLIPPED alone
  EXPECT_EQ(Fields(b, text.Offset + 56, 4), (std::vector{5, 6, 30, 19}));
  EXPECT_EQ(EmfText(b, text).Units, u"Ox\U0001F600");
  // 3 x 7 pixels less 3 spread over the characters.
  EXPECT_EQ(EmfText(b, text).Advances, (std::vector{6, 6, 6, 0}));
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

  // A player fills one pixel less without an outline.
  EXPECT_EQ(FieldOfEach(b, r, SelectObject, 8)[0], Stock | 8); // null pen
  EXPECT_EQ(Fields(b, Nth(r, Rectangle).Offset + 8, 4), (std::vector{5, 5, 16, 11}));
  // Bounds, count and points: 16 bits where they fit.
  const size_t small = Nth(r, Polygon16).Offset;
  EXPECT_EQ(Fields(b, small + 8, 5), (std::vector{1, 2, 9, 8, 3}));
  EXPECT_EQ(Fields(b, small + 28, 6, 2), (std::vector{1, 2, 9, 2, 9, 8}));
  EXPECT_EQ(Fields(b, Nth(r, Polygon32).Offset + 28, 6), (std::vector{1, 2, 40000, 2, 9, 8}));

  // The glyph as a 24-bit bottom-up bitmap: blue, green, red.
  const size_t dib = Nth(r, StretchDiBits).Offset;
  EXPECT_EQ(Fields(b, dib + 24, 2), (std::vector{20, 30}));
  EXPECT_EQ(Fields(b, dib + 72, 2), (std::vector{2, 1}));
  EXPECT_EQ(U16(b, dib + U32(b, dib + 48) + 14), 24);
  const size_t bits = dib + U32(b, dib + 56);
  EXPECT_EQ((std::vector(b.begin() + bits, b.begin() + bits + 4)),
            (std::vector<uint8_t>{0, 0, 255, 255}));
}
