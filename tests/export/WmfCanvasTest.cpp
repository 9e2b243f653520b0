#include "export/WmfCanvas.h"
#include "foundation/Conversions.h"
#include "support/FakeCanvas.h"

#include "MetafileRecords.h"

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
std::vector<int16_t> Params(const std::vector<uint8_t>& b, const TRecord& r, size_t count) {
  std::vector<int16_t> out;
  for (size_t i = 0; i < count; ++i)
    out.push_back(S16(b, r.Offset + 6 + 2 * i));
  return out;
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

  // The placeable header: key, frame, units per inch and the checksum over
  // its first ten words.
  EXPECT_EQ(U32(b, 0), 0x9AC6CDD7u);
  EXPECT_EQ((std::vector{S16(b, 6), S16(b, 8), S16(b, 10), S16(b, 12)}),
            (std::vector<int16_t>{0, 0, 200, 100}));
  EXPECT_EQ(U16(b, 14), 96);
  uint16_t checksum = 0;
  for (size_t i = 0; i < 20; i += 2)
    checksum ^= U16(b, i);
  EXPECT_EQ(U16(b, 20), checksum);
  // The metafile header: type, 9 words, version 3, the size in words,
  // the objects at most alive and the largest record.
  EXPECT_EQ(U16(b, 22), 1);
  EXPECT_EQ(U16(b, 24), 9);
  EXPECT_EQ(U16(b, 26), 0x0300);
  EXPECT_EQ(U32(b, 28), (b.size() - 22) / 2);
  EXPECT_EQ(U16(b, 32), 4);
  size_t largest = 0;
  for (const TRecord& rec : r)
    largest = std::max(largest, rec.Size / 2);
  EXPECT_EQ(U32(b, 34), largest);
  EXPECT_EQ(r.back().Size, 6u);

  EXPECT_EQ(Params(b, Nth(r, SetMapMode), 1), (std::vector<int16_t>{8})); // anisotropic
  EXPECT_EQ(Params(b, Nth(r, SetWindowExt), 2), (std::vector<int16_t>{100, 200}));
  EXPECT_EQ(Params(b, Nth(r, Rectangle), 4), (std::vector<int16_t>{40, 60, 12, 10}));
  EXPECT_EQ(Params(b, Nth(r, LineTo), 2), (std::vector<int16_t>{20, 70}));

  // Each new object takes the lowest free slot; deleting frees it.
  EXPECT_EQ(Params(b, Nth(r, SelectObject, 0), 1), (std::vector<int16_t>{0}));
  EXPECT_EQ(Params(b, Nth(r, SelectObject, 1), 1), (std::vector<int16_t>{1}));
  EXPECT_EQ(Params(b, Nth(r, SelectObject, 2), 1), (std::vector<int16_t>{2}));
  EXPECT_EQ(Params(b, Nth(r, DeleteObject, 0), 1), (std::vector<int16_t>{1}));
  EXPECT_EQ(Params(b, Nth(r, SelectObject, 3), 1), (std::vector<int16_t>{1})); // the font
  EXPECT_EQ(Params(b, Nth(r, SelectObject, 4), 1), (std::vector<int16_t>{3}));
  EXPECT_EQ(Params(b, Nth(r, CreatePen, 1), 2), (std::vector<int16_t>{0, 3}));

  const TRecord& font = Nth(r, CreateFont);
  EXPECT_EQ(Params(b, font, 1), (std::vector<int16_t>{-11}));
  EXPECT_EQ(S16(b, font.Offset + 14), 700);
  EXPECT_EQ(b[font.Offset + 19], 0); // ANSI
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&b[font.Offset + 24])), "Verdana");

  // Text: y, x, count, options, the cell, Windows-1252 bytes, advances.
  const TRecord& text = Nth(r, ExtTextOut);
  EXPECT_EQ(Params(b, text, 8), (std::vector<int16_t>{20, 12, 3, 2, 12, 20, 33, 33}));
  const size_t chars = text.Offset + 22;
  EXPECT_EQ((std::vector{b[chars], b[chars + 1], b[chars + 2]}),
            (std::vector<uint8_t>{'A', 0x80, '?'}));
  EXPECT_EQ((std::vector{S16(b, chars + 4), S16(b, chars + 6), S16(b, chars + 8)}),
            (std::vector<int16_t>{7, 7, 7}));
}

// A picture beyond 16-bit coordinates is scaled into them through the
// window extent, keeping its physical size; nothing wraps around.
TEST(WmfCanvas, APictureBeyondSixteenBitsIsScaledNotWrapped) {
  TFakeCanvas measure;
  TWmfCanvas c(40000, 70000, measure, 96);
  const double f = 32767.0 / 70000;
  EXPECT_DOUBLE_EQ(c.Scale(), f);
  c.Rectangle(39000, 69000, 39990, 69990);
  c.Font = {{"Verdana", 8, 0}, colors::Black};
  c.TextOut(38000, 68000, "abc");
  const std::vector<uint8_t> b = c.Finish();
  const std::vector<TRecord> r = WmfRecords(b);

  EXPECT_EQ((std::vector{S16(b, 10), S16(b, 12)}), (std::vector<int16_t>{18724, 32767}));
  EXPECT_EQ(U16(b, 14), 45); // 96 units per inch, scaled
  EXPECT_EQ(Params(b, Nth(r, SetWindowExt), 2), (std::vector<int16_t>{32767, 18724}));
  EXPECT_EQ(Params(b, Nth(r, Rectangle), 4), (std::vector<int16_t>{32762, 18719, 32299, 18256}));
  EXPECT_EQ(Params(b, Nth(r, CreateFont), 1), (std::vector<int16_t>{-5}));
  const TRecord& text = Nth(r, ExtTextOut);
  EXPECT_EQ(Params(b, text, 2), (std::vector<int16_t>{31831, 17788}));
  int advance = 0;
  for (size_t i = 0; i < 3; ++i)
    advance += S16(b, text.Offset + 22 + 4 + 2 * i);
  EXPECT_EQ(advance, 10); // 21 pixels
}
