#include "foundation/Utf8.h"

#include <gtest/gtest.h>

namespace bw {
namespace {

// Texts come from files: a broken UTF-8 sequence becomes one replacement
// character and never reads past the text.
TEST(Utf8, BrokenSequencesBecomeReplacementCharacters) {
  EXPECT_EQ(DecodeUtf8("a\xC3"), (std::u32string{U'a', 0xFFFD}));
  EXPECT_EQ(DecodeUtf8("\xE2\x82x"), (std::u32string{0xFFFD, U'x'}));
  EXPECT_EQ(DecodeUtf8("\xC0\xAF"), std::u32string{0xFFFD});     // overlong
  EXPECT_EQ(DecodeUtf8("\xED\xA0\x80"), std::u32string{0xFFFD}); // a surrogate
  EXPECT_EQ(DecodeUtf8("\xFF\xC3\xA9"), (std::u32string{0xFFFD, 0xE9}));
}

// Code points at the edges of each sequence length come back unchanged.
TEST(Utf8, EncodedCodePointsDecodeToThemselves) {
  const std::u32string points{0x1, 0x7F, 0x80, 0x7FF, 0x800, 0xFFFF, 0x10000, 0x10FFFF, 0xE9};
  std::string text;
  for (char32_t cp : points)
    AppendUtf8(text, cp);
  EXPECT_EQ(text.size(), 1 + 1 + 2 + 2 + 3 + 3 + 4 + 4 + 2u);
  EXPECT_EQ(DecodeUtf8(text), points);
}

} // namespace
} // namespace bw
