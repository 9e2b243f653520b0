#include "export/WmfCanvas.h"
#include "support/FakeCanvas.h"

#include "ReadBack.h"

#include <gtest/gtest.h>

using namespace bw;
using namespace bw::test;

namespace {

enum : uint32_t {
  Eof = 0x0000,
  SetBkColor = 0x0201,
  SetBkMode = 0x0102,
  SetMapMode = 0x0103,
  SetTextColor = 0x0209,
  SetWindowOrg = 0x020B,
  SetWindowExt = 0x020C,
  LineTo = 0x0213,
  MoveTo = 0x0214,
  Ellipse = 0x0418,
  Rectangle = 0x041B,
  SelectObject = 0x012D,
  SetTextAlign = 0x012E,
  ExtTextOut = 0x0A32,
  DeleteObject = 0x01F0,
  CreatePen = 0x02FA,
  CreateFont = 0x02FB,
  CreateBrush = 0x02FC,
};

// The 16-bit parameters of a record, in the order they are stored.
std::vector<int> Params(const std::vector<uint8_t>& b, const TRecord& r, size_t count) {
  return Fields(b, r.Offset + 6, count, 2);
}

} // namespace

TEST(WmfCanvas, WritesAPlaceableMetafileWithReversedParametersAndImplicitSlots) {
  TFakeCanvas measure;
  TWmfCanvas c(200, 100, measure, 96);
  DrawShapesTextAndLine(c, 12, "A\xE2\x82\xAC\xE6\xBC\xA2", TPenStyle::Solid); // "A€漢"
  const std::vector<uint8_t> b = c.Finish();
  const std::vector<TRecord> r = WmfRecords(b);

  EXPECT_EQ(Types(r), (std::vector<uint32_t>{
                          SetMapMode,   SetWindowOrg, SetWindowExt, SetTextAlign, CreatePen,
                          SelectObject, CreateBrush,  SelectObject, Rectangle,    CreateBrush,
                          SelectObject, DeleteObject, Ellipse,      CreateFont,   SelectObject,
                          SetTextColor, SetBkMode,    SetBkColor,   ExtTextOut,   MoveTo,
                          CreatePen,    SelectObject, DeleteObject, LineTo,       Eof}));

  // The placeable header: frame, units per inch and the checksum over its
  // first ten words. The metafile header: the size in words, the objects
  // at most alive and the largest record in words.
  EXPECT_EQ(Fields(b, 6, 5, 2), (std::vector{0, 0, 200, 100, 96}));
  uint16_t checksum = 0;
  for (size_t i = 0; i < 20; i += 2)
    checksum ^= U16(b, i);
  EXPECT_EQ(U16(b, 20), checksum);
  EXPECT_EQ(U32(b, 28), (b.size() - 22) / 2);
  EXPECT_EQ(U16(b, 32), 4);
  size_t largest = 0;
  for (const TRecord& rec : r)
    largest = std::max(largest, rec.Size / 2);
  EXPECT_EQ(U32(b, 34), largest);

  EXPECT_EQ(Params(b, Nth(r, SetMapMode), 1), std::vector{8}); // anisotropic
  EXPECT_EQ(Params(b, Nth(r, SetWindowExt), 2), (std::vector{100, 200}));
  EXPECT_EQ(Params(b, Nth(r, Rectangle), 4), (std::vector{40, 60, 12, 10}));
  EXPECT_EQ(Params(b, Nth(r, Ellipse), 4), (std::vector{30, 90, 10, 70}));
  EXPECT_EQ(Params(b, Nth(r, MoveTo), 2), (std::vector{25, 60}));
  EXPECT_EQ(Params(b, Nth(r, LineTo), 2), (std::vector{20, 70}));

  // Each new object takes the lowest free slot; deleting frees it.
  EXPECT_EQ(FieldOfEach(b, r, SelectObject, 6, 2), (std::vector{0, 1, 2, 1, 3}));
  EXPECT_EQ(FieldOfEach(b, r, DeleteObject, 6, 2), (std::vector{1, 0}));
  EXPECT_EQ(Params(b, Nth(r, CreatePen, 1), 2), (std::vector{0, 3})); // solid, 3 wide

  const TRecord& font = Nth(r, CreateFont);
  EXPECT_EQ(Params(b, font, 1), std::vector{-11});
  EXPECT_EQ(S16(b, font.Offset + 14), 700);
  // Not italic, underlined, not struck out, ANSI.
  EXPECT_EQ((std::vector(b.begin() + font.Offset + 16, b.begin() + font.Offset + 20)),
            (std::vector<uint8_t>{0, 1, 0, 0}));
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&b[font.Offset + 24])), "Verdana");

  // Text: y, x, count, options (opaque), the cell, Windows-1252 bytes, the
  // advances.
  const TRecord& text = Nth(r, ExtTextOut);
  EXPECT_EQ(Params(b, text, 8), (std::vector{20, 12, 3, 2, 12, 20, 33, 33}));
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&b[text.Offset + 22]), 3), "A\x80?");
  EXPECT_EQ(Fields(b, text.Offset + 26, 3, 2), (std::vector{7, 7, 7}));
}

// A picture beyond 16-bit coordinates is scaled into them through the
// window extent, keeping its physical size; nothing wraps around.
TEST(WmfCanvas, APictureBeyondSixteenBitsIsScaledNotWrapped) {
  TFakeCanvas measure;
  TWmfCanvas c(40000, 70000, measure, 96);
  c.Rectangle(39000, 69000, 39990, 69990);
  c.Font = {{"Verdana", 8, 0}, colors::Black};
  c.TextOut(38000, 68000, "abc");
  const std::vector<uint8_t> b = c.Finish();
  const std::vector<TRecord> r = WmfRecords(b);

  // The frame and 96 units per inch, scaled.
  EXPECT_EQ(Fields(b, 10, 3, 2), (std::vector{18724, 32767, 45}));
  EXPECT_EQ(Params(b, Nth(r, SetWindowExt), 2), (std::vector{32767, 18724}));
  EXPECT_EQ(Params(b, Nth(r, Rectangle), 4), (std::vector{32762, 18719, 32299, 18256}));
  EXPECT_EQ(Params(b, Nth(r, CreateFont), 1), std::vector{-5});
  const TRecord& text = Nth(r, ExtTextOut);
  EXPECT_EQ(Params(b, text, 2), (std::vector{31831, 17788}));
  const std::vector<int> advances = Fields(b, text.Offset + 26, 3, 2);
  EXPECT_EQ(advances[0] + advances[1] + advances[2], 10); // 21 pixels
}
