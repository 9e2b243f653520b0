// The metafiles of a painted tree read back by programs that share no code
// with the writers: emf2svg-conv for EMF, libwmf's wmf2svg for WMF. What
// they draw must be what the painter drew, call for call.
#include "export/MetafileCanvas.h"
#include "export/Picture.h"
#include "support/FakeTreeView.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
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

std::vector<std::smatch> All(const std::string& text, const std::regex& pattern) {
  return {std::sregex_iterator(text.begin(), text.end(), pattern), std::sregex_iterator()};
}

double Num(const std::ssub_match& m) {
  return std::stod(m.str());
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

  // Rectangles and ellipses, in drawing order, with the brush's colour.
  std::vector<std::string> expected, got;
  for (const TDrawCall& c : drawn.Calls) {
    char line[96];
    if (c.Kind == TDrawKind::Rectangle)
      std::snprintf(line, sizeof line, "rect %d %d %d %d %s", c.A, c.B, c.C - c.A, c.D - c.B,
                    Hex(c.Brush.Color).c_str());
    else if (c.Kind == TDrawKind::Ellipse)
      std::snprintf(line, sizeof line, "ellipse %g %g %g %g %s", (c.A + c.C) / 2.0,
                    (c.B + c.D) / 2.0, (c.C - c.A) / 2.0, (c.D - c.B) / 2.0,
                    Hex(c.Brush.Color).c_str());
    else
      continue;
    expected.push_back(line);
  }
  const std::regex shape(
      R"re(<(rect|ellipse) (?:x|cx)="([-\d.]+)" (?:y|cy)="([-\d.]+)" (?:width|rx)="([-\d.]+)" (?:height|ry)="([-\d.]+)"\s+fill="(#[0-9A-F]{6})")re");
  for (const std::smatch& m : All(svg, shape)) {
    char line[96];
    std::snprintf(line, sizeof line, "%s %g %g %g %g %s", m[1].str().c_str(), Num(m[2]), Num(m[3]),
                  Num(m[4]), Num(m[5]), m[6].str().c_str());
    got.push_back(line);
  }
  EXPECT_EQ(got, expected);

  // Texts at their left edge, in their colour, Unicode intact.
  expected.clear();
  got.clear();
  for (const TDrawCall& c : drawn.Calls)
    if (IsText(c)) {
      const int x = c.Kind == TDrawKind::TextRect ? c.Points[0].X : c.A;
      expected.push_back(std::to_string(x) + " " + Hex(c.Font.Color) + " " + c.Text);
    }
  const std::regex text(
      R"re(<text [^>]*fill="(#[0-9A-F]{6})"[^>]* x="([-\d.]+)"[^>]*><!\[CDATA\[([^\]]*)\]\]>)re");
  for (const std::smatch& m : All(svg, text))
    if (!m[3].str().empty())
      got.push_back(std::to_string(static_cast<int>(Num(m[2]))) + " " + m[1].str() + " " +
                    m[3].str());
  EXPECT_EQ(got, expected);

  // Lines and the filled triangles.
  const size_t lines = drawn.OfKind(TDrawKind::Line).size();
  const size_t polygons = drawn.OfKind(TDrawKind::Polygon).size();
  EXPECT_EQ(All(svg, std::regex(R"(<path d="M [-\d.,]+ L [-\d.,]+ " )")).size(), lines);
  EXPECT_EQ(All(svg, std::regex(R"(<path d="M [^"]* Z")")).size(), polygons);
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
        if (font.empty() && entry.path().extension() == ".ttf") font = entry.path();
  ASSERT_FALSE(font.empty()) << "no TrueType font for libwmf";
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

    const std::vector<const TDrawCall*> rects = drawn.OfKind(TDrawKind::Rectangle);
    std::string chars;
    for (const TDrawCall& c : drawn.Calls)
      if (IsText(c)) chars += ToWindows1252(DecodeUtf8(c.Text));
    std::string gotChars;
    for (const std::smatch& m : All(svg, std::regex(R"(\s>([^<]*)</text>)")))
      gotChars += m[1];
    EXPECT_EQ(gotChars, chars);
    EXPECT_EQ(All(svg, std::regex("<ellipse ")).size(), drawn.OfKind(TDrawKind::Ellipse).size());
    EXPECT_EQ(All(svg, std::regex("<polygon ")).size(), drawn.OfKind(TDrawKind::Polygon).size());

    const auto got = All(
        svg, std::regex(
                 R"re(<rect x="([-\d.]+)" y="([-\d.]+)" width="([-\d.]+)" height="([-\d.]+)")re"));
    ASSERT_EQ(got.size(), rects.size());
    const double height =
        Num(std::smatch(All(svg, std::regex(R"re(<svg width="\d+" height="(\d+)")re"))[0])[1]);
    for (size_t i = 0; i < rects.size(); ++i) {
      EXPECT_GT(Num(got[i][3]), 0);
      EXPECT_GT(Num(got[i][4]), 0);
      EXPECT_GE(Num(got[i][2]), 0);
      EXPECT_LE(Num(got[i][2]) + Num(got[i][4]), height + 1);
      for (size_t j = 0; j < i; ++j) {
        EXPECT_EQ(rects[j]->A < rects[i]->A, Num(got[j][1]) < Num(got[i][1]));
        EXPECT_EQ(rects[j]->B < rects[i]->B, Num(got[j][2]) < Num(got[i][2]));
      }
    }
  }
}
