// The metafiles of a painted tree read back by programs that share no code
// with the writers: emf2svg-conv for EMF, libwmf's wmf2svg for WMF. What
// they draw must be what the painter drew, call for call.
#include "export/MetafileCanvas.h"
#include "export/Picture.h"
#include "support/FakeTreeView.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

using namespace bw;
using namespace bw::test;
namespace fs = std::filesystem;

namespace {

std::string FindTool(const std::string& name) {
  const char* path = std::getenv("PATH");
  std::stringstream dirs(path ? path : "");
  for (std::string dir; std::getline(dirs, dir, ':');)
    if (!dir.empty() && ::access((fs::path(dir) / name).c_str(), X_OK) == 0)
      return (fs::path(dir) / name).string();
  return {};
}

// Runs a converter in a folder of the test's own.
class TConverter {
public:
  explicit TConverter(const std::string& tool) : Tool(FindTool(tool)) {
    Dir = fs::temp_directory_path() / ("bw-readback-" + std::to_string(::getpid()));
    fs::create_directories(Dir);
  }
  ~TConverter() { fs::remove_all(Dir); }
  bool Missing() const { return Tool.empty(); }

  // The SVG the tool makes of the bytes; empty when it fails.
  std::string Svg(const std::vector<uint8_t>& bytes, const std::string& ext,
                  const std::string& before, const std::string& after) {
    const fs::path in = Dir / ("picture" + ext), out = Dir / "picture.svg";
    std::ofstream(in, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    const std::string command = "'" + Tool + "' " + before + " '" + in.string() + "' " + after +
                                " '" + out.string() + "' >/dev/null 2>&1";
    if (std::system(command.c_str()) != 0) return {};
    std::ifstream file(out, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
  }

  fs::path Dir;

private:
  std::string Tool;
};

// An element of the SVG: its opening tag and the text up to its end.
struct TElement {
  std::string Open;
  std::string Body;
  std::string Attr(const std::string& name) const {
    const std::string key = " " + name + "=\"";
    const size_t at = Open.find(key);
    if (at == std::string::npos) return {};
    const size_t start = at + key.size();
    return Open.substr(start, Open.find('"', start) - start);
  }
  double Num(const std::string& name) const { return std::stod(Attr(name)); }
};

// The elements of one tag, in document order.
std::vector<TElement> Elements(const std::string& svg, const std::string& tag) {
  std::vector<TElement> out;
  const std::string start = "<" + tag + " ";
  for (size_t at = svg.find(start); at != std::string::npos; at = svg.find(start, at + 1)) {
    const size_t end = svg.find('>', at);
    TElement element{svg.substr(at, end - at), {}};
    if (svg[end - 1] != '/')
      element.Body = svg.substr(end + 1, svg.find("</" + tag + ">", end) - end - 1);
    out.push_back(std::move(element));
  }
  return out;
}

std::string Hex(const TColor& c) {
  char text[8];
  std::snprintf(text, sizeof text, "#%02X%02X%02X", c.R, c.G, c.B);
  return text;
}

// A decision between an option and a chance node with two outcomes, a
// caption line on the chance node and a non-ASCII caption.
struct TSmallTree : TControl {
  TSmallTree() {
    Tree.Options.ShowPayoff = true;
    Add(Root(), "Build", 100, 5);
    TDecTreeNode* wait = Add(Root(), "Wait \xE2\x82\xAC", 0, -3, ntChance);
    Add(wait, "Rain", 40, 1);
    Add(wait, "Sun", 60, 2);
    wait->DecisionCaption = "Weather";
    wait->DecisionShowCaption = true;
    Tree.Recalculate();
  }
  TPictureSource Picture() {
    return {Root()->Bounds.Width + 2 * Tree.BorderSize, Root()->Bounds.Height + 2 * Tree.BorderSize,
            96, [this](TCanvas& c) { Tree.PaintTo(c); }};
  }
  // What the painter draws, recorded on the fake canvas.
  TFakeCanvas Drawn() {
    TFakeCanvas canvas;
    Tree.PaintTo(canvas);
    return canvas;
  }
};

bool IsText(const TDrawCall& c) {
  return (c.Kind == TDrawKind::Text || c.Kind == TDrawKind::TextRect) && !c.Text.empty();
}

} // namespace

TEST(MetafileReadBack, Emf2SvgDrawsEveryShapeAndTextOfThePainterInPlace) {
  TConverter converter("emf2svg-conv");
  if (converter.Missing()) GTEST_SKIP() << "emf2svg-conv is not installed";
  TSmallTree t;
  const std::string svg = converter.Svg(RecordEmf(t.Picture(), t.View.Canvas), ".emf", "-i", "-o");
  ASSERT_FALSE(svg.empty());
  const TFakeCanvas drawn = t.Drawn();

  // Rectangles and ellipses with the brush's colour. The converter writes
  // some ellipses out of turn: the lists are compared sorted.
  std::vector<std::string> expected, got;
  char line[96];
  for (const TDrawCall& c : drawn.Calls) {
    if (c.Kind != TDrawKind::Rectangle && c.Kind != TDrawKind::Ellipse) continue;
    if (c.Kind == TDrawKind::Rectangle)
      std::snprintf(line, sizeof line, "rect %g %g %g %g %s", double(c.A), double(c.B),
                    double(c.C - c.A), double(c.D - c.B), Hex(c.Brush.Color).c_str());
    else
      std::snprintf(line, sizeof line, "ellipse %g %g %g %g %s", (c.A + c.C) / 2.0,
                    (c.B + c.D) / 2.0, (c.C - c.A) / 2.0, (c.D - c.B) / 2.0,
                    Hex(c.Brush.Color).c_str());
    expected.push_back(line);
  }
  for (const TElement& e : Elements(svg, "rect")) {
    std::snprintf(line, sizeof line, "rect %g %g %g %g %s", e.Num("x"), e.Num("y"), e.Num("width"),
                  e.Num("height"), e.Attr("fill").c_str());
    got.push_back(line);
  }
  for (const TElement& e : Elements(svg, "ellipse")) {
    std::snprintf(line, sizeof line, "ellipse %g %g %g %g %s", e.Num("cx"), e.Num("cy"),
                  e.Num("rx"), e.Num("ry"), e.Attr("fill").c_str());
    got.push_back(line);
  }
  std::sort(expected.begin(), expected.end());
  std::sort(got.begin(), got.end());
  EXPECT_EQ(got, expected);

  // Texts in order at their left edge, in their colour, Unicode intact.
  expected.clear();
  got.clear();
  for (const TDrawCall& c : drawn.Calls)
    if (IsText(c)) {
      const int x = c.Kind == TDrawKind::TextRect ? c.Points[0].X : c.A;
      expected.push_back(std::to_string(x) + " " + Hex(c.Font.Color) + " " + c.Text);
    }
  for (const TElement& e : Elements(svg, "text")) {
    const std::string text = e.Body.substr(9, e.Body.size() - 12); // inside <![CDATA[ ]]>
    if (!text.empty())
      got.push_back(std::to_string(static_cast<int>(e.Num("x"))) + " " + e.Attr("fill") + " " +
                    text);
  }
  EXPECT_EQ(got, expected);

  // Lines and the filled triangles.
  size_t lines = 0, polygons = 0;
  for (const TElement& e : Elements(svg, "path")) {
    const std::string d = e.Attr("d");
    const bool closed = d.find('Z') != std::string::npos;
    polygons += closed;
    lines += !closed && std::count(d.begin(), d.end(), 'L') == 1;
  }
  EXPECT_EQ(lines, drawn.OfKind(TDrawKind::Line).size());
  EXPECT_EQ(polygons, drawn.OfKind(TDrawKind::Polygon).size());
}

// libwmf fits the drawing to its own frame, so positions are compared by
// their order; a parameter read in the wrong order or a coordinate wrapped
// beyond 16 bits breaks it.
TEST(MetafileReadBack, Wmf2SvgDrawsTheSameShapesAndCharactersInOrder) {
  TConverter converter("wmf2svg");
  if (converter.Missing()) GTEST_SKIP() << "wmf2svg is not installed";
  // libwmf wants its standard fonts by name: every name goes to one font.
  fs::path font;
  for (const char* root : {"/usr/share/fonts", "/usr/local/share/fonts"})
    if (fs::exists(root))
      for (const auto& entry : fs::recursive_directory_iterator(root))
        if (font.empty() &&
            (entry.path().extension() == ".ttf" || entry.path().extension() == ".otf" ||
             entry.path().extension() == ".pfb"))
          font = entry.path();
  ASSERT_FALSE(font.empty()) << "no font for libwmf";
  const fs::path fontmap = converter.Dir / "Fontmap";
  {
    std::ofstream map(fontmap);
    for (const char* name :
         {"Times-Roman", "Times-Italic", "Times-Bold", "Times-BoldItalic", "Helvetica",
          "Helvetica-Oblique", "Helvetica-Bold", "Helvetica-BoldOblique", "Courier",
          "Courier-Oblique", "Courier-Bold", "Courier-BoldOblique", "Symbol", "ZapfDingbats"})
      map << "/" << name << " (" << font.string() << ") ;\n";
  }
  const std::string options = "--wmf-gs-fontmap='" + fontmap.string() + "'";

  for (int extraLeaves : {0, 800}) {
    SCOPED_TRACE(extraLeaves);
    TSmallTree t;
    // Enough leaves for a picture beyond 32767 pixels.
    for (int i = 0; i < extraLeaves; ++i)
      t.Add(t.Root(), "Leaf", 0, 1);
    t.Tree.Recalculate();
    ASSERT_EQ(t.Picture().Height > 32767, extraLeaves > 0);
    const std::string svg =
        converter.Svg(RecordWmf(t.Picture(), t.View.Canvas), ".wmf", options, "-o");
    ASSERT_FALSE(svg.empty());
    const TFakeCanvas drawn = t.Drawn();

    // libwmf writes one text element a character, after a line break.
    std::string chars, gotChars;
    for (const TDrawCall& c : drawn.Calls)
      if (IsText(c)) chars += ToWindows1252(DecodeUtf8(c.Text));
    for (const TElement& e : Elements(svg, "text"))
      gotChars += e.Body.substr(e.Body.find('>') + 1);
    EXPECT_EQ(gotChars, chars);
    EXPECT_EQ(Elements(svg, "ellipse").size(), drawn.OfKind(TDrawKind::Ellipse).size());
    EXPECT_EQ(Elements(svg, "polygon").size(), drawn.OfKind(TDrawKind::Polygon).size());

    const std::vector<const TDrawCall*> rects = drawn.OfKind(TDrawKind::Rectangle);
    const std::vector<TElement> got = Elements(svg, "rect");
    ASSERT_EQ(got.size(), rects.size());
    const double height = Elements(svg, "svg").at(0).Num("height");
    for (size_t i = 0; i < rects.size(); ++i) {
      EXPECT_GT(got[i].Num("width"), 0);
      EXPECT_GT(got[i].Num("height"), 0);
      EXPECT_GE(got[i].Num("y"), 0);
      EXPECT_LE(got[i].Num("y") + got[i].Num("height"), height + 1);
      for (size_t j = 0; j < i; ++j) {
        EXPECT_EQ(rects[j]->A < rects[i]->A, got[j].Num("x") < got[i].Num("x"));
        EXPECT_EQ(rects[j]->B < rects[i]->B, got[j].Num("y") < got[i].Num("y"));
      }
    }
  }
}
