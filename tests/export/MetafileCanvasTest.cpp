// What every metafile format shares, seen through records that only log
// what the canvas asks of them: which state a drawing call records and
// which it leaves as it is, how objects replace each other, and what is
// left out before any record is made.
#include "export/MetafileCanvas.h"
#include "support/FakeCanvas.h"

#include <gtest/gtest.h>

#include <memory>

using namespace bw;
using namespace bw::test;

namespace {

std::string Name(const TColor& c) {
  for (auto [color, name] : {std::pair{colors::Black, "black"},
                             {colors::White, "white"},
                             {colors::Grey, "grey"},
                             {colors::Red, "red"},
                             {colors::Blue, "blue"}})
    if (c == color) return name;
  return "other";
}

std::string Box(const TRect& r) {
  return std::to_string(r.Left) + "," + std::to_string(r.Top) + "," + std::to_string(r.Right) +
         "," + std::to_string(r.Bottom);
}

// One entry a record, each ended by "; ". Objects take slots 1, 2, 3, ...
// in turn; pens and brushes that draw nothing are stock objects.
class TLoggedRecords : public TMetafileRecords {
public:
  TLoggedRecords(std::string& log, size_t maxItems) : TMetafileRecords(96, maxItems), Log(log) {}

  std::vector<char> GlyphRows;

  uint32_t Pen(const TPen& pen) override { return Object("pen", Draws(pen)); }
  uint32_t Brush(const TBrush& brush) override {
    return Object("brush", brush.Style == TBrushStyle::Solid);
  }
  uint32_t Font(const TFontSpec& font) override { return Object("font " + font.Name, true); }
  void Delete(uint32_t slot) override { Add("delete " + std::to_string(slot)); }
  void TextColor(const TColor& color) override { Add("text " + Name(color)); }
  void BkMode(bool opaque) override { Add(opaque ? "opaque" : "transparent"); }
  void BkColor(const TColor& color) override { Add("background " + Name(color)); }
  void MoveTo(int, int) override { Add("move"); }
  void LineTo(int, int) override { Add("line"); }
  void Shape(int left, int top, int right, int bottom, int more, bool ellipse) override {
    Add((ellipse ? "ellipse " : "rectangle ") + Box({left, top, right, bottom}) + " +" +
        std::to_string(more));
  }
  void Polygon(const std::vector<TPoint>& points) override {
    Add("polygon " + std::to_string(points.size()));
  }
  void Text(int, int, const std::u32string& chars, const std::vector<int>&, const TRect& rect,
            bool opaque, bool clipped) override {
    Add("'" + std::string(chars.begin(), chars.end()) + "' " + Box(rect) +
        (opaque ? " opaque" : "") + (clipped ? " clipped" : ""));
  }
  void Glyph(int, int, int width, int height, const std::vector<char>& rows) override {
    Add("glyph " + std::to_string(width) + "x" + std::to_string(height));
    GlyphRows = rows;
  }
  std::vector<uint8_t> Close(uint32_t pen, uint32_t brush, uint32_t font) override {
    Add("close " + Slot(pen) + " " + Slot(brush) + " " + Slot(font));
    return {1};
  }

private:
  uint32_t Size(const char*) const override { return 0; }
  void Select(uint32_t) override {}

  void Add(const std::string& entry) { Log += entry + "; "; }
  static std::string Slot(uint32_t slot) {
    return slot == NoObject ? "stock" : std::to_string(slot);
  }
  uint32_t Object(const std::string& kind, bool ours) {
    Add(kind + " " + (ours ? std::to_string(++Slots) : "stock"));
    return ours ? Slots : NoObject;
  }

  std::string& Log;
  uint32_t Slots = 0;
};

struct TLoggedCanvas {
  std::string Log;
  TFakeCanvas Measure;
  TLoggedRecords* Records;
  TMetafileCanvas Canvas;
  explicit TLoggedCanvas(size_t maxItems = SIZE_MAX)
      : Records(new TLoggedRecords(Log, maxItems)),
        Canvas(Measure, std::unique_ptr<TMetafileRecords>(Records)) {}
};

} // namespace

TEST(MetafileCanvas, RecordsOnlyTheStateADrawingCallChanges) {
  TLoggedCanvas t;
  TMetafileCanvas& c = t.Canvas;
  c.Pen = {colors::Red, 1, TPenStyle::Solid};
  c.Rectangle(0, 0, 10, 10);
  c.Ellipse(0, 0, 10, 10);
  // Pens that draw nothing are all alike, as are clear brushes.
  c.Pen = {colors::Red, 0, TPenStyle::Solid};
  c.LineTo(5, 5);
  c.Pen = {colors::Blue, 3, TPenStyle::Clear};
  c.LineTo(6, 6);
  c.Brush = {colors::Red, TBrushStyle::Clear};
  c.Polygon({{0, 0}, {4, 0}, {0, 4}});
  c.Brush.Color = colors::Blue;
  c.Polygon({{0, 0}, {4, 0}, {0, 4}});
  // Text colours and the background follow the font and brush; the
  // background colour matters only behind opaque text.
  c.Font = {{"Arial", 8, 0}, colors::Blue};
  c.TextOut(0, 0, "ab");
  c.TextOut(0, 20, "cd");
  c.Brush = {colors::Grey, TBrushStyle::Solid};
  c.TextOut(0, 40, "e");
  c.Brush.Color = colors::White;
  c.TextOut(0, 60, "f");
  c.Font.Color = colors::Red;
  c.Brush.Style = TBrushStyle::Clear;
  c.TextOut(0, 80, "g");
  c.Brush.Style = TBrushStyle::Solid;
  c.TextOut(0, 100, "h");
  c.Font.Spec.Name = "Verdana";
  c.TextOut(0, 120, "i");
  EXPECT_EQ(t.Canvas.Finish(), std::vector<uint8_t>{1});
  EXPECT_TRUE(t.Canvas.Finish().empty());

  EXPECT_EQ(t.Log, "pen 1; brush 2; rectangle 0,0,10,10 +0; ellipse 0,0,10,10 +0; "
                   "pen stock; delete 1; line; line; "
                   "brush stock; delete 2; polygon 3; polygon 3; "
                   "font Arial 3; text blue; transparent; 'ab' 0,0,14,13; 'cd' 0,20,14,33; "
                   "opaque; background grey; 'e' 0,40,7,53 opaque; "
                   "background white; 'f' 0,60,7,73 opaque; "
                   "text red; transparent; 'g' 0,80,7,93; "
                   "opaque; 'h' 0,100,7,113 opaque; "
                   "font Verdana 4; delete 3; 'i' 0,120,7,133 opaque; "
                   "close stock stock 4; ");
}

TEST(MetafileCanvas, ShapesAreNormalisedAndWhatDrawsNothingIsLeftOut) {
  TLoggedCanvas t;
  TMetafileCanvas& c = t.Canvas;
  c.Rectangle(10, 20, 0, 5);
  c.Ellipse(3, 3, 3, 9);
  c.Rectangle(3, 3, 9, 3);
  // Filled without an outline, up to right and bottom.
  c.FillRect({8, 8, 2, 2});
  c.Brush.Style = TBrushStyle::Clear;
  c.FillRect({0, 0, 4, 4});
  c.Polygon({});
  c.TextRect({30, 40, 10, 20}, 12, 22, "x");
  c.Draw(0, 0, TGlyph{0, 3, {}});
  // Rows from the bottom up, blue, green, red, each padded to 4 bytes.
  c.Draw(0, 0, TGlyph{1, 2, {colors::Red, colors::Blue}});

  EXPECT_EQ(t.Log, "pen 1; brush 2; rectangle 0,5,10,20 +0; "
                   "pen stock; delete 1; rectangle 2,2,8,8 +1; "
                   "font Verdana 3; text black; transparent; 'x' 10,20,30,40 clipped; "
                   "glyph 1x2; ");
  EXPECT_EQ(t.Records->GlyphRows, (std::vector<char>{'\xFF', 0, 0, 0, 0, 0, '\xFF', 0}));
}

// A format whose records hold at most three items.
TEST(MetafileCanvas, ATextIsCutAndALargerPolygonOrGlyphLeftOutWhereRecordsEnd) {
  TLoggedCanvas t(3);
  TMetafileCanvas& c = t.Canvas;
  c.Brush.Style = TBrushStyle::Clear;
  c.Pen.Width = 0;
  c.TextOut(0, 0, "abcd");
  c.Polygon({{0, 0}, {4, 0}, {4, 4}, {0, 4}});
  c.Polygon({{0, 0}, {4, 0}, {0, 4}});
  c.Draw(0, 0, TGlyph{4, 1, std::vector<TColor>(4)});
  c.Draw(0, 0, TGlyph{1, 4, std::vector<TColor>(4)});
  c.Draw(0, 0, TGlyph{3, 3, std::vector<TColor>(9)});

  EXPECT_EQ(t.Log, "font Verdana 1; text black; transparent; 'abc' 0,0,28,13; "
                   "pen stock; brush stock; polygon 3; glyph 3x3; ");
}
