#include "foundation/Guid.h"
#include "foundation/Exceptions.h"

#include "MessageOf.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <set>

using namespace bw;
using bw::test::MessageOf;

namespace {

Guid Sample() {
  Guid g;
  g.D1 = 0xABCDEF01;
  g.D2 = 0x2345;
  g.D3 = 0x6789;
  const uint8_t d4[8] = {0x0A, 0xBC, 0xDE, 0xF0, 0x12, 0x34, 0x56, 0x78};
  std::copy(d4, d4 + 8, g.D4);
  return g;
}

const std::string GuidFormat =
    "Guid should contain 32 digits with 4 dashes (xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx)";
const std::string FormatLetters =
    "Format String can be only \"D\", \"d\", \"N\", \"n\", \"P\", \"p\", \"B\" or \"b\".";

} // namespace

TEST(Guid, LayoutsAreLowerCaseAndMostSignificantFirst) {
  Guid g = Sample();
  const std::string d = "abcdef01-2345-6789-0abc-def012345678";
  EXPECT_EQ(Guid::ToString(g), d);
  EXPECT_EQ(Guid::ToString(g, "D"), d);
  EXPECT_EQ(Guid::ToString(g, "d"), d);
  EXPECT_EQ(Guid::ToString(g, ""), d);
  EXPECT_EQ(Guid::ToString(g, NullText), d);
  EXPECT_EQ(Guid::ToString(g, "N"), "abcdef0123456789"
                                    "0abcdef012345678");
  EXPECT_EQ(Guid::ToString(g, "B"), "{" + d + "}");
  EXPECT_EQ(Guid::ToString(g, "p"), "(" + d + ")");
  EXPECT_EQ(Guid::ToString(Guid::Empty(), "D"), "00000000-0000-0000-0000-000000000000");
}

TEST(Guid, UnknownFormatsRaiseTheFormatMessage) {
  Guid g = Sample();
  for (std::string f :
       {std::string("DD"), std::string("x"), std::string("X"), std::string(1, '\0')})
    EXPECT_EQ(MessageOf<FormatException>([&] { Guid::ToString(g, f); }), FormatLetters) << f;
}

TEST(Guid, ParseReadsEveryLayoutAndVariant) {
  Guid g = Sample();
  for (const char* f : {"D", "N", "B", "P"}) {
    std::string text = Guid::ToString(g, f);
    EXPECT_TRUE(Guid::Equals(Guid::Parse(text), g)) << text;
    std::string upper = text;
    for (char& c : upper)
      c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    EXPECT_EQ(Guid::Parse(upper), g) << upper;
  }
  EXPECT_EQ(Guid::Parse("  \t{abcdef01-2345-6789-0abc-def012345678}\r\n"), g);
  EXPECT_EQ(Guid::Parse("a-bcdef0123456789--0abcdef01234567-8"), g);
  EXPECT_EQ(Guid::Parse("{abcdef0123456789"
                        "0abcdef012345678)"),
            g);
  EXPECT_EQ(Guid::Parse("(abcdef0123456789"
                        "0abcdef012345678"),
            g);
}

TEST(Guid, ParseRefusesMalformedTexts) {
  EXPECT_EQ(MessageOf<ArgumentNullException>([] { Guid::Parse(NullText); }),
            "Value cannot be null.");
  try {
    Guid::Parse(NullText);
  } catch (const ArgumentNullException& e) {
    EXPECT_EQ(e.ParamName(), "s");
  }
  for (std::string s :
       {std::string(), std::string("   "), std::string("{"), std::string("()"),
        std::string(1, '\0'), std::string(" \0\0", 3), std::string(31, 'a'), std::string(33, 'a'),
        std::string("abcdef01-2345-6789-0abc-def01234567\xc3\xa9")})
    EXPECT_EQ(MessageOf<FormatException>([&] { Guid::Parse(s); }), GuidFormat) << "[" << s << "]";
  EXPECT_EQ(MessageOf<InvalidOperationException>(
                [] { Guid::Parse("abcdef01-2345-6789-0abc-def01234567g"); }),
            "Not a valid hexadecimal character: g");
  // The first chunk that fails names its last offending character.
  EXPECT_EQ(MessageOf<InvalidOperationException>(
                [] { Guid::Parse("g000000h-2345-6789-0abc-def01234567z"); }),
            "Not a valid hexadecimal character: h");
}

TEST(Guid, HexToCardinal) {
  EXPECT_EQ(HexToCardinal(""), 0u);
  EXPECT_EQ(HexToCardinal("ff"), 255u);
  EXPECT_EQ(HexToCardinal("FF"), 255u);
  EXPECT_EQ(HexToCardinal("ffffffff"), 0xFFFFFFFFu);
  EXPECT_THROW(HexToCardinal("123456789"), InvalidOperationException);
}

TEST(Guid, NewGuidIsFreshVersion4) {
  std::set<std::string> seen;
  for (int i = 0; i < 1000; ++i) {
    Guid g = Guid::NewGuid();
    EXPECT_EQ(g.D3 >> 12, 4);
    EXPECT_EQ(g.D4[0] & 0xC0, 0x80);
    EXPECT_FALSE(g.IsEmpty());
    EXPECT_TRUE(seen.insert(g.ToString()).second);
  }
  EXPECT_TRUE(Guid::Equals(Guid::Empty(), Guid::Empty()));
  EXPECT_EQ(sizeof(Guid), 16u);
}
