// Files made to hurt: clones that explode or chain, duplicate ids, texts and
// amounts at the edges of their encodings. Every file is made here.
#include "TreeFileTestSupport.h"

#include "foundation/Conversions.h"
#include "model/CloneExpansion.h"
#include "treefile/TreeFileFormat.h"

#include <gtest/gtest.h>

#include <random>

namespace bw::test {
namespace {

class TreeFileHostile : public ::testing::Test {
protected:
  TempFolder Dir;
  TTreeContext Context;

  TTreeFileContents Read(std::string_view bytes) {
    std::string path = Dir.File("t.bwk");
    WriteBytes(path, bytes);
    return ReadTreeFile(path, &Context, TFontSpec{});
  }
  std::string Error(std::string_view bytes) {
    std::string path = Dir.File("bad.bwk");
    WriteBytes(path, bytes);
    return ReadError(path, Context);
  }
  // Written and read again.
  TTreeFileContents RoundTrip(const TTreeFileContents& c) {
    return Read(SerializeTree(*c.Root, c.Options, c.Font));
  }
};

int Count(const TDecTreeNode* n) {
  int c = 1;
  for (const TDecTreeNode* child : n->Children)
    c += Count(child);
  return c;
}

std::string Id(int n) {
  return "id=\"N" + std::to_string(n) + "\"";
}
std::string CloneIds(int n, int ref) {
  return Id(n) + " ref=\"N" + std::to_string(ref) + "\"";
}

// k masters under the root, each holding two clones of the next; the last
// holds two leaves. `reversed` writes the masters the other way round.
std::string DoublingClones(int k, bool reversed) {
  std::string masters;
  for (int j = 0; j < k; ++j) {
    int i = reversed ? k - 1 - j : j;
    std::string children;
    for (int c = 0; c < 2; ++c)
      children += i + 1 < k ? BranchXml(CloneIds(1000 + 2 * i + c, i + 2)) : BranchXml(Id(900 + c));
    masters += BranchXml(Id(i + 1), "Decision", children);
  }
  return TreeXml(BranchXml(Id(0), "Decision", masters));
}

TEST_F(TreeFileHostile, ExplodingClonesAreRefusedNamingTheClone) {
  // 24 levels of doubling: 2^25 nodes from a file of some 40 KB, in either
  // order of the masters.
  for (bool reversed : {false, true}) {
    std::string file = DoublingClones(24, reversed);
    EXPECT_LT(file.size(), 60000u);
    std::string error = Error(file);
    EXPECT_EQ(error.rfind("The copies of the clone '", 0), 0u) << error;
    EXPECT_NE(error.find(") would make the tree hold more than 2000000 nodes, which is not "
                         "supported"),
              std::string::npos)
        << error;
  }
  // Within the bound the same shape reads.
  TTreeFileContents fine = Read(DoublingClones(10, true));
  EXPECT_EQ(MeasureCloneExpansion(*fine.Root).Nodes, (1 << 12) - 4 - 10 + 1);
}

TEST_F(TreeFileHostile, ChainedClonesKeepTheirLinks) {
  // Each clone's master is the clone before it.
  std::string branches = BranchXml(Id(1), "Decision", BranchXml(Id(2)) + BranchXml(Id(3)));
  const int clones = 40000;
  for (int i = 0; i < clones; ++i)
    branches += BranchXml(CloneIds(10 + i, i == 0 ? 1 : 9 + i));
  TTreeFileContents c = Read(TreeXml(BranchXml(Id(0), "Decision", branches)));
  ASSERT_EQ(c.Root->ChildCount(), clones + 1);
  for (int i = 1; i <= clones; ++i)
    ASSERT_EQ(c.Root->Child(i)->Ref, c.Root->Child(i - 1)->Id) << i;
  EXPECT_EQ(MeasureCloneExpansion(*c.Root).Nodes, 1 + 3 * (clones + 1));
}

TEST_F(TreeFileHostile, NestedClonesThatReachThemselvesKeepTheirNodes) {
  // Each clone's master is its parent, and each holds the next: unlinking
  // one makes the next a node of its own, whose link then closes a cycle.
  const int levels = 300;
  std::string branch = BranchXml(Id(levels + 1));
  for (int i = levels; i >= 1; --i)
    branch = BranchXml(CloneIds(i, i == 1 ? 1 : i - 1), "Decision", branch);
  TTreeFileContents c = Read(TreeXml(BranchXml(Id(0), "Decision", branch)));
  int unlinked = 0;
  for (const TDecTreeNode* n = c.Root->Child(0); n; n = n->ChildCount() ? n->Child(0) : nullptr)
    unlinked += !n->IsClone();
  EXPECT_EQ(unlinked, levels + 1);
  c.Root->SyncClones();
  EXPECT_EQ(Count(c.Root.get()), levels + 2);
}

TEST_F(TreeFileHostile, DuplicateIdsGetFreshOnesAndRefsNameTheFirst) {
  const std::string guid = "dddddddd-dddd-4ddd-8ddd-dddddddddddd";
  TTreeFileContents c = Read(TreeXml(BranchXml(
      Id(0), "Decision",
      BranchXml("id=\"" + guid + "\"", "Chance", BranchXml(Id(5)) + BranchXml(Id(6))) +
          BranchXml("id=\"" + guid + "\"") + BranchXml(Id(5)) +
          BranchXml("id=\"eeeeeeee-eeee-4eee-8eee-eeeeeeeeeeee\" ref=\"" + guid + "\""))));
  EXPECT_TRUE(c.IdsRenewed);
  const TDecTreeNode& first = *c.Root->Child(0);
  EXPECT_EQ(first.Id, Guid::Parse(guid));
  EXPECT_NE(c.Root->Child(1)->Id, first.Id);
  EXPECT_NE(c.Root->Child(2)->Id, first.Child(0)->Id); // the integer form too
  EXPECT_EQ(c.Root->Child(3)->Ref, first.Id);
  c.Root->SyncClones();
  EXPECT_EQ(c.Root->Child(3)->ChildCount(), 2);
  // Every id is unique now, and a file without duplicates renews nothing.
  TTreeFileContents again = RoundTrip(c);
  EXPECT_FALSE(again.IdsRenewed);
  EXPECT_EQ(again.Root->Child(1)->Id, c.Root->Child(1)->Id);
}

TEST_F(TreeFileHostile, TextsSurviveARoundTripExactly) {
  // A CR from a reference, references to characters XML forbids (NUL
  // first), raw control bytes, and blanks as a whole value.
  std::string extra = "<Comment>a&#13;b&#13;&#10;c\nd</Comment>"
                      "<DecisionCaption>&#0;x&#1;y&#xFFFE;z\x01&#x110000;</DecisionCaption>"
                      "<DecisionOwner>   </DecisionOwner>";
  std::string file = TreeXml(BranchXml(Id(0), "Decision", {}, "0", extra));
  size_t symbol = file.find("<CurrencySymbol>$");
  file.replace(symbol, 17, "<CurrencySymbol>&#13;$");
  size_t caption = file.find("<Caption>c");
  file.replace(caption, 10, "<Caption>c&#13;&#0;&amp;&#x1F600;");
  TTreeFileContents c = Read(file);
  const TDecTreeNode& n = *c.Root;
  EXPECT_EQ(c.Options.CurrencySymbol, "\r$");
  EXPECT_EQ(n.Caption, "c\r&\xF0\x9F\x98\x80");
  EXPECT_EQ(n.Comment, "a\rb\r\r\nc\r\nd");
  EXPECT_EQ(n.DecisionCaption, "xyz");
  EXPECT_EQ(n.DecisionOwner, "   ");

  std::string written = SerializeTree(*c.Root, c.Options, c.Font);
  EXPECT_NE(written.find("<Caption>c&#13;&amp;\xF0\x9F\x98\x80</Caption>"), std::string::npos);
  TTreeFileContents back = Read(written);
  EXPECT_EQ(back.Options.CurrencySymbol, c.Options.CurrencySymbol);
  EXPECT_EQ(back.Root->Caption, n.Caption);
  EXPECT_EQ(back.Root->Comment, n.Comment);
  EXPECT_EQ(back.Root->DecisionCaption, n.DecisionCaption);
  EXPECT_EQ(back.Root->DecisionOwner, n.DecisionOwner);
  EXPECT_EQ(SerializeTree(*back.Root, back.Options, back.Font), written);

  // A Font of white space only holds no font; blanks in a number are no
  // number.
  std::string blankFont = TreeXml(BranchXml(Id(0)), "<Font>\r\n  </Font>");
  EXPECT_EQ(Read(blankFont).Font, TFontSpec{});
  std::string blankBudget = TreeXml(BranchXml(Id(0)));
  blankBudget.replace(blankBudget.find("<DecisionMultiBudget>-1"), 23, "<DecisionMultiBudget> ");
  EXPECT_EQ(Error(blankBudget), "Element 'DecisionMultiBudget' is missing or empty");
}

TEST_F(TreeFileHostile, MoneyIsWrittenAndReadExactly) {
  using namespace treefile;
  EXPECT_EQ(MoneyToStr(1234567890123456), "123456789012.3456");
  EXPECT_EQ(MoneyToStr(INT64_MAX), "922337203685477.5807");
  EXPECT_EQ(MoneyToStr(INT64_MIN), "-922337203685477.5808");
  EXPECT_EQ(MoneyToStr(-15000000), "-1500");
  EXPECT_EQ(MoneyToStr(1), "0.0001");
  EXPECT_EQ(MoneyToStr(0), "0");
  for (Currency v : {Currency(1234567890123456), INT64_MAX, INT64_MIN, Currency(-1)})
    EXPECT_EQ(StrToMoney(MoneyToStr(v)), v);
  // Beyond four decimals: a half goes to the even neighbour, exactly.
  EXPECT_EQ(StrToMoney("0.00005"), 0);
  EXPECT_EQ(StrToMoney("0.00015"), 2);
  EXPECT_EQ(StrToMoney("0.000050001"), 1);
  EXPECT_EQ(StrToMoney("-12.34567"), -123457);
  EXPECT_EQ(StrToMoney(" +7. "), 70000);
  EXPECT_EQ(StrToMoney("1E2"), 1000000); // other forms as before
  EXPECT_THROW(StrToMoney("922337203685477.5808"), Exception);
  EXPECT_THROW(StrToMoney("."), Exception);

  // For every payoff of 15 significant digits or fewer the bytes are those
  // of the 15-digit number form.
  std::mt19937_64 rng(3);
  for (int i = 0; i < 20000; ++i) {
    // Up to 15 significant digits, at any place within the range.
    int digits = 1 + static_cast<int>(rng() % 15);
    int64_t magnitude = 1;
    for (int d = 0; d < digits; ++d)
      magnitude *= 10;
    Currency v = static_cast<Currency>(rng() % static_cast<uint64_t>(magnitude));
    for (int shift = static_cast<int>(rng() % static_cast<uint64_t>(19 - digits)); shift > 0;
         --shift)
      v *= 10;
    if (rng() % 2) v = -v;
    ASSERT_EQ(MoneyToStr(v), FloatToInvariantStr(CurrencyToDouble(v))) << v;
  }
}

} // namespace
} // namespace bw::test
