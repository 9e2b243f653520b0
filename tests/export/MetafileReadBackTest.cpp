// The old-style metafile of a painted tree read back by a program that
// shares no code with the writer, libwmf's wmf2svg: what it draws must be
// what the painter drew, in the same order, at any size. (The records of
// both formats are checked field by field in their canvases' tests.)
#include "export/MetafileCanvas.h"
#include "export/Picture.h"
#include "support/FakeTreeView.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <unistd.h>

using namespace bw;
using namespace bw::test;
namespace fs = std::filesystem;

namespace {

// A folder of the test's own.
struct TTempDir {
  const fs::path Path = fs::temp_directory_path() / ("bw-readback-" + std::to_string(::getpid()));
  TTempDir() { fs::create_directories(Path); }
  ~TTempDir() { fs::remove_all(Path); }
};

// The SVG wmf2svg makes of the bytes; empty when it fails.
std::string Wmf2Svg(const std::vector<uint8_t>& bytes, const fs::path& dir,
                    const std::string& options) {
  const fs::path in = dir / "picture.wmf", out = dir / "picture.svg";
  std::ofstream(in, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
  const std::string command =
      "wmf2svg " + options + " '" + in.string() + "' -o '" + out.string() + "' >/dev/null 2>&1";
  if (std::system(command.c_str()) != 0) return {};
  std::ifstream file(out, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

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

// libwmf fits the drawing to its own frame, so positions are compared by
// their order; a parameter read in the wrong order or a coordinate wrapped
// beyond 16 bits breaks it.
TEST(MetafileReadBack, Wmf2SvgDrawsTheSameShapesAndCharactersInOrder) {
  if (std::system("command -v wmf2svg >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "wmf2svg is not installed";
  TTempDir dir;
  // libwmf wants its standard fonts by name: every name goes to one font.
  fs::path font;
  for (const char* root : {"/usr/share/fonts", "/usr/local/share/fonts"})
    if (fs::exists(root))
      for (const auto& entry : fs::recursive_directory_iterator(root))
        if (font.empty() &&
            std::set<fs::path>{".ttf", ".otf", ".pfb"}.count(entry.path().extension()))
          font = entry.path();
  ASSERT_FALSE(font.empty()) << "no font for libwmf";
  const fs::path fontmap = dir.Path / "Fontmap";
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
    const std::string svg = Wmf2Svg(RecordWmf(t.Picture(), t.View.Canvas), dir.Path, options);
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
