#include "control/Glyphs.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <utility>

using namespace bw;

namespace {

TColor At(const TGlyph& g, int x, int y) {
  return g.Pixels[static_cast<size_t>(y * g.Width + x)];
}

std::set<std::pair<int, int>> BlackPixels(const TGlyph& g) {
  std::set<std::pair<int, int>> black;
  for (int y = 0; y < g.Height; ++y)
    for (int x = 0; x < g.Width; ++x)
      if (At(g, x, y) == colors::Black) black.insert({x, y});
  return black;
}

} // namespace

TEST(Glyphs, FramedButtonsWithAShadedFace) {
  const TColor frame{120, 152, 181}, corner{176, 194, 211};
  for (const TGlyph* g : {&MinusGlyph(), &PlusGlyph(), &RollDownGlyph()}) {
    ASSERT_EQ(g->Width, 9);
    ASSERT_EQ(g->Height, 9);
    ASSERT_EQ(g->Pixels.size(), 81u);
    for (int i = 1; i < 8; ++i) {
      EXPECT_EQ(At(*g, i, 0), frame);
      EXPECT_EQ(At(*g, i, 8), frame);
      EXPECT_EQ(At(*g, 0, i), frame);
      EXPECT_EQ(At(*g, 8, i), frame);
    }
    for (auto [x, y] : {std::pair{0, 0}, {8, 0}, {0, 8}, {8, 8}})
      EXPECT_EQ(At(*g, x, y), corner);
    // Column 1 holds no symbol: white at the top, growing darker towards a
    // light beige (more red than blue) at the bottom.
    EXPECT_EQ(At(*g, 1, 1), colors::White);
    const TColor bottom = At(*g, 1, 7);
    EXPECT_NE(bottom, colors::White);
    EXPECT_GT(bottom.B, 160);
    EXPECT_GT(bottom.R, bottom.B);
    for (int y = 2; y <= 7; ++y) {
      EXPECT_LE(At(*g, 1, y).R, At(*g, 1, y - 1).R);
      EXPECT_LE(At(*g, 1, y).B, At(*g, 1, y - 1).B);
    }
  }
}

TEST(Glyphs, Symbols) {
  const auto minus = BlackPixels(MinusGlyph());
  const std::set<std::pair<int, int>> bar = {{2, 4}, {3, 4}, {4, 4}, {5, 4}, {6, 4}};
  EXPECT_EQ(minus, bar);

  auto plus = BlackPixels(PlusGlyph());
  for (int y = 2; y <= 6; ++y)
    EXPECT_EQ(plus.erase({4, y}), 1u) << y;
  plus.insert({4, 4});
  EXPECT_EQ(plus, bar);

  // A downward triangle centred on column 4: each row narrower than the one
  // above, ending in one pixel.
  const auto triangle = BlackPixels(RollDownGlyph());
  std::map<int, std::pair<int, int>> rows; // y -> (min x, max x)
  for (auto [x, y] : triangle) {
    auto [it, added] = rows.try_emplace(y, x, x);
    it->second.first = std::min(it->second.first, x);
    it->second.second = std::max(it->second.second, x);
  }
  ASSERT_GE(rows.size(), 2u);
  int lastWidth = 100;
  for (auto [y, span] : rows) {
    EXPECT_EQ(span.first + span.second, 8) << y;
    const int width = span.second - span.first + 1;
    EXPECT_LT(width, lastWidth);
    lastWidth = width;
  }
  EXPECT_EQ(lastWidth, 1);
  EXPECT_EQ(triangle.size(), 9u);
}
