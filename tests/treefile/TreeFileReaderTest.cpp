// What the reader accepts, the older integer ids, the font rules, the clone
// links it refuses, and files that cannot be read at all.
#include "TreeFileTestSupport.h"

#include "foundation/Conversions.h"

#include <gtest/gtest.h>

#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace bw::test {
namespace {

class TreeFileRead : public ::testing::Test {
protected:
  TempFolder Dir;
  TTreeContext Context;

  TTreeFileContents Read(std::string_view bytes, TFontSpec previous = {}) {
    std::string path = Dir.File("t.bwk");
    WriteBytes(path, bytes);
    return ReadTreeFile(path, &Context, previous);
  }
  std::string Error(std::string_view bytes) {
    std::string path = Dir.File("bad.bwk");
    WriteBytes(path, bytes);
    return ReadError(path, Context);
  }
};

int Count(const TDecTreeNode* n) {
  int c = 1;
  for (const TDecTreeNode* child : n->Children)
    c += Count(child);
  return c;
}

// Another order than the writer's, unknown elements and attributes, later
// duplicates, CDATA, and the lenient encodings of flags, numbers and dates.
TEST_F(TreeFileRead, LooksValuesUpByNameAndDecodesThem) {
  std::string file =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<Tree version=\"9\">"
      "<Extra>ignored</Extra><CurrencySymbol>CHF</CurrencySymbol>"
      "<Branch extra=\"x\" ref=\"\" id=\"{AAAAAAAA-AAAA-4AAA-8AAA-AAAAAAAAAAAA}\">"
      "<Unknown>1</Unknown><PayoffSource>Import: Excel(&quot;a.xlsx&quot;)</PayoffSource>"
      "<DecisionMultiBudget>250</DecisionMultiBudget><DecisionDueDate>2009 3 5</DecisionDueDate>"
      "<DecisionOwner>Ölfirma</DecisionOwner><DecisionCaption><![CDATA[a<b]]></DecisionCaption>"
      "<DecisionShowFixed>2</DecisionShowFixed><DecisionShowCaption>-1</DecisionShowCaption>"
      "<DecisionShowOwner>0</DecisionShowOwner><DecisionShowDueDate>1</DecisionShowDueDate>"
      "<DecisionMultiShowBudget>1</DecisionMultiShowBudget>"
      "<DecisionMultiShowInvestment>0</DecisionMultiShowInvestment>"
      "<DecisionFixed>7</DecisionFixed><ChildrenVisible>0</ChildrenVisible>"
      "<Payoff>12.34567</Payoff><Payoff>99</Payoff><Probability> 1E2 </Probability>"
      "<Type>Chance</Type><Comment>one\r\ntwo\nthree</Comment><Caption>Top</Caption>"
      "<Branches><Other/>text" +
      BranchXml(R"(id="bbbbbbbb-bbbb-4bbb-8bbb-bbbbbbbbbbbb")", "MultiDecision", {}, "-1500",
                "<DecisionDueDate>        </DecisionDueDate><ChanceType>AnySum</ChanceType>") +
      BranchXml(R"(id="cccccccc-cccc-4ccc-8ccc-cccccccccccc")", "Decision", {}, "0",
                "<DecisionDueDate>20091301</DecisionDueDate><Branches><x/></Branches>") +
      BranchXml(R"(id="cccccccc-cccc-4ccc-8ccc-cccccccccccc")") + // a duplicate id
      "</Branches></Branch>"
      "<Font><FontSize>11</FontSize><FontName>Arial</FontName></Font>"
      "<CurrencyNegFormat>20</CurrencyNegFormat><CurrencyPosFormat>-3</CurrencyPosFormat>"
      "<CurrencyDecimals>4</CurrencyDecimals><ShowPayoff>0</ShowPayoff>"
      "<HighlightClones>5</HighlightClones><StatusDate>2009 323</StatusDate>"
      "<OutlineCodes>1</OutlineCodes><OutlineCodes>0</OutlineCodes></Tree>";
  TTreeFileContents r = Read(file);

  EXPECT_TRUE(r.Options.OutlineCodes);
  EXPECT_EQ(DateToYYYYMMDD(r.Options.StatusDate), "2009 323");
  EXPECT_TRUE(r.Options.HighlightClones);
  EXPECT_FALSE(r.Options.ShowPayoff);
  EXPECT_EQ(r.Options.CurrencyDecimals, 4);
  EXPECT_EQ(r.Options.CurrencyPosFormat, -3); // kept as read
  EXPECT_EQ(r.Options.CurrencyNegFormat, 20);
  EXPECT_EQ(r.Options.CurrencySymbol, "CHF");
  EXPECT_EQ(r.Font, (TFontSpec{"Arial", 11, 0}));

  const TDecTreeNode& top = *r.Root;
  EXPECT_EQ(top.Id, Guid::Parse("aaaaaaaa-aaaa-4aaa-8aaa-aaaaaaaaaaaa"));
  EXPECT_FALSE(top.IsClone());
  EXPECT_EQ(top.Caption, "Top");
  EXPECT_EQ(top.Comment, "one\r\ntwo\r\nthree");
  EXPECT_EQ(top.NodeType, ntChance);
  EXPECT_EQ(top.ChanceType, ctPercent); // missing
  EXPECT_EQ(top.Probability, 100);
  EXPECT_EQ(top.Payoff, 123457); // the first Payoff, rounded to four decimals
  EXPECT_FALSE(top.ChildrenVisible);
  EXPECT_TRUE(top.DecisionFixed);
  EXPECT_TRUE(top.DecisionShowCaption);
  EXPECT_FALSE(top.DecisionShowOwner);
  EXPECT_TRUE(top.DecisionShowDueDate);
  EXPECT_TRUE(top.DecisionShowFixed); // raw fields, whatever the type
  EXPECT_TRUE(top.DecisionMultiShowBudget);
  EXPECT_FALSE(top.DecisionMultiShowInvestment);
  EXPECT_EQ(top.DecisionCaption, "a<b");
  EXPECT_EQ(top.DecisionOwner, "Ölfirma");
  EXPECT_EQ(DateToYYYYMMDD(top.DecisionDueDate), "2009 3 5");
  EXPECT_EQ(top.DecisionMultiBudget, 250);
  EXPECT_EQ(top.PayoffSource, "Import: Excel(\"a.xlsx\")");
  EXPECT_TRUE(top.HasImportedPayoffs());

  ASSERT_EQ(top.ChildCount(), 3);
  const TDecTreeNode& multi = *top.Child(0);
  EXPECT_EQ(multi.NodeType, ntMultiDecision);
  EXPECT_EQ(multi.ChanceType, ctAnySum);
  EXPECT_EQ(multi.Payoff, -15000000);
  EXPECT_EQ(multi.DecisionDueDate, 0);
  EXPECT_EQ(top.Child(1)->DecisionDueDate, 0); // month 13
  EXPECT_EQ(top.Child(1)->ChildCount(), 0);    // Branches without Branch
  // The first node keeps the id, the duplicate gets a fresh one.
  EXPECT_EQ(top.Child(1)->Id, Guid::Parse("cccccccc-cccc-4ccc-8ccc-cccccccccccc"));
  EXPECT_NE(top.Child(2)->Id, top.Child(1)->Id);
  EXPECT_TRUE(r.IdsRenewed);
}

TEST_F(TreeFileRead, FontRules) {
  TFontSpec previous{"Courier", 12, fsUnderline};
  TFontSpec standard{"Verdana", 8, 0};
  EXPECT_EQ(Read(TreeXml(BranchXml(R"(id="N0")"), "")).Font, standard);
  EXPECT_EQ(Read(TreeXml(BranchXml(R"(id="N0")"), "<Font/>"), previous).Font, standard);
  EXPECT_EQ(Read(TreeXml(BranchXml(R"(id="N0")"), "<Font>\r\n  </Font>"), previous).Font, standard);
  // No name: the previous one; a size that is no size: the previous one.
  EXPECT_EQ(Read(TreeXml(BranchXml(R"(id="N0")"),
                         "<Font><FontName/><FontSize>0</FontSize>"
                         "<FontStyle>italic, BOLD, strikeout</FontStyle></Font>"),
                 previous)
                .Font,
            (TFontSpec{"Courier", 12, fsBold | fsItalic | fsStrikeOut}));
  EXPECT_EQ(Error(TreeXml(BranchXml(R"(id="N0")"), "<Font><FontName>Arial</FontName></Font>")),
            "Element 'FontSize' is missing or empty");
  EXPECT_EQ(Error(TreeXml(BranchXml(R"(id="N0")"), "<Font>Arial</Font>")),
            "Element 'FontSize' is missing or empty");
}

// Numbers after the first character, the same number always the same GUID,
// refs forward and beyond every id, and a fresh set of GUIDs per load.
TEST_F(TreeFileRead, OlderIntegerIds) {
  auto file = [](std::string_view lastRef) {
    return TreeXml(BranchXml(
        R"(id="N0")", "Decision",
        BranchXml(R"(id="N1")", "Chance", BranchXml(R"(id="N3")")) +
            BranchXml(R"(id="x2" ref="N1")", "Chance") + BranchXml(R"(id="N4" ref="N-1")") +
            BranchXml(R"(id="N5" ref="")") + BranchXml(R"(id="N6" ref="N2000000000")") +
            BranchXml(R"(id="N7" ref="Q2000000000")") + BranchXml(R"(id="N8" ref="N100000")") +
            BranchXml(R"(id="N100000")") +
            BranchXml(R"(id="N9" ref="11111111-1111-4111-8111-111111111111")") +
            BranchXml(R"(id="N10" ref="Q2")") +
            BranchXml(R"(id="dddddddd-dddd-4ddd-8ddd-dddddddddddd" ref=")" + std::string(lastRef) +
                      "\"")));
  };
  // Each branch chooses its form by its own id: a GUID-form branch needs a
  // GUID ref.
  EXPECT_EQ(Error(file("N1")), "Guid should contain 32 digits with 4 dashes "
                               "(xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx)");
  std::string good = file("11111111-1111-4111-8111-111111111111");
  TTreeFileContents r = Read(good);
  const TDecTreeNode& root = *r.Root;
  ASSERT_EQ(root.ChildCount(), 11);
  auto child = [&](int i) { return root.Child(i); };
  std::set<std::string> ids;
  for (int i = 0; i < 11; ++i)
    ids.insert(child(i)->Id.ToString());
  ids.insert(root.Id.ToString());
  EXPECT_EQ(ids.size(), 12u);

  EXPECT_EQ(child(1)->Ref, child(0)->Id);  // x2 names N1
  EXPECT_FALSE(child(2)->IsClone());       // -1
  EXPECT_FALSE(child(3)->IsClone());       // empty
  EXPECT_TRUE(child(4)->IsClone());        // a number no id carries
  EXPECT_EQ(child(4)->Ref, child(5)->Ref); // the same number, the same GUID
  EXPECT_EQ(r.Root->FindNodeById(child(4)->Ref), nullptr);
  EXPECT_EQ(child(6)->Ref, child(7)->Id); // forward, the largest id
  EXPECT_FALSE(child(8)->IsClone());      // a GUID is no number
  EXPECT_EQ(child(9)->Ref, child(1)->Id); // "Q2" and "x2" are one node
  EXPECT_EQ(child(10)->Ref, Guid::Parse("11111111-1111-4111-8111-111111111111"));

  TTreeFileContents again = Read(good);
  EXPECT_NE(again.Root->Id, root.Id);
}

// A clone link that the first recalculation would turn into lost nodes is
// read as no link: on the root, to a master in the clone's own subtree, to
// itself, and around a cycle. A sound clone keeps its link.
TEST_F(TreeFileRead, RefusesCloneLinksThatWouldLoseNodes) {
  auto recalculate = [](TDecTreeNode& root) {
    root.OnPath = true;
    root.SyncClones();
    root.EvaluateAndPropagate(1.0, 0);
  };

  TTreeFileContents rootRef =
      Read(TreeXml(BranchXml(R"(id="N0" ref="N1")", "Decision",
                             BranchXml(R"(id="N1")", "Chance", BranchXml(R"(id="N2")")))));
  EXPECT_FALSE(rootRef.Root->IsClone());
  recalculate(*rootRef.Root);
  EXPECT_EQ(Count(rootRef.Root.get()), 3);

  TTreeFileContents inside = Read(
      TreeXml(BranchXml(R"(id="N0")", "Decision",
                        BranchXml(R"(id="N1" ref="N2")", "Chance",
                                  BranchXml(R"(id="N2")", "Chance", BranchXml(R"(id="N3")"))) +
                            BranchXml(R"(id="N4" ref="N4")", "Chance", BranchXml(R"(id="N5")")))));
  EXPECT_FALSE(inside.Root->Child(0)->IsClone());
  EXPECT_FALSE(inside.Root->Child(1)->IsClone());
  recalculate(*inside.Root);
  EXPECT_EQ(Count(inside.Root.get()), 6);

  // Two clones of each other, and a clone whose master holds a clone of the
  // first clone's parent.
  TTreeFileContents cycles = Read(
      TreeXml(BranchXml(R"(id="N0")", "Decision",
                        BranchXml(R"(id="N1" ref="N2")", "Chance", BranchXml(R"(id="N3")")) +
                            BranchXml(R"(id="N2" ref="N1")", "Chance", BranchXml(R"(id="N4")")) +
                            BranchXml(R"(id="N5")", "Chance", BranchXml(R"(id="N6" ref="N7")")) +
                            BranchXml(R"(id="N7")", "Chance", BranchXml(R"(id="N8" ref="N5")")))));
  const TDecTreeNode& c = *cycles.Root;
  EXPECT_FALSE(c.Child(0)->IsClone());
  EXPECT_FALSE(c.Child(1)->IsClone());
  EXPECT_FALSE(c.Child(2)->Child(0)->IsClone());
  EXPECT_FALSE(c.Child(3)->Child(0)->IsClone());
  recalculate(*cycles.Root);
  EXPECT_EQ(Count(cycles.Root.get()), 9);

  TTreeFileContents sound = Read(TreeXml(BranchXml(
      R"(id="N0")", "Decision",
      BranchXml(R"(id="N1")", "Chance", BranchXml(R"(id="N2")") + BranchXml(R"(id="N3")")) +
          BranchXml(R"(id="N4" ref="N1")", "Chance", BranchXml(R"(id="N5")")) +
          BranchXml(R"(id="N6" ref="N4")", "Chance"))));
  EXPECT_EQ(sound.Root->Child(1)->Ref, sound.Root->Child(0)->Id);
  EXPECT_EQ(sound.Root->Child(2)->Ref, sound.Root->Child(1)->Id); // a clone of a clone
  recalculate(*sound.Root);
  EXPECT_EQ(sound.Root->Child(1)->ChildCount(), 2); // copies of the master's children
}

// 10,000 levels: a clear refusal, no exhausted stack (also under the
// address sanitizer, whose frames are larger).
TEST_F(TreeFileRead, RefusesDeepNestingWithoutExhaustingTheStack) {
  const int levels = 10000;
  std::string open, close;
  std::string values = BranchXml("id=\"N0\"");
  values = values.substr(values.find('>') + 1);
  values.resize(values.size() - std::string("</Branch>").size());
  for (int i = 0; i < levels; ++i) {
    open += "<Branch id=\"N" + std::to_string(i) + "\">" + values + "<Branches>";
    close += "</Branches></Branch>";
  }
  EXPECT_EQ(Error(TreeXml(open + close)),
            "The tree has more than 1000 levels, which is not supported");
}

TEST_F(TreeFileRead, OtherEncodingsThanUtf8) {
  // UTF-16 with a byte-order mark.
  std::u16string wide = u"<?xml version=\"1.0\" encoding=\"UTF-16\"?>";
  for (char c : TreeXml(BranchXml(R"(id="N0")")).substr(38))
    wide += static_cast<char16_t>(static_cast<unsigned char>(c));
  wide.replace(wide.find(u"<Caption>c"), 10, u"<Caption>Caf\u00E9");
  std::string bytes = "\xFF\xFE";
  for (char16_t ch : wide) {
    bytes += static_cast<char>(ch & 0xFF);
    bytes += static_cast<char>(ch >> 8);
  }
  EXPECT_EQ(Read(bytes).Root->Caption, "Caf\xC3\xA9");

  std::string latin1 = TreeXml(BranchXml(R"(id="N0")"));
  latin1.replace(0, 38, "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>");
  latin1.replace(latin1.find("<Caption>c"), 10, "<Caption>Caf\xE9");
  EXPECT_EQ(Read(latin1).Root->Caption, "Caf\xC3\xA9");
}

TEST_F(TreeFileRead, DeclaredEntitiesAreNotExpanded) {
  std::string file = TreeXml(BranchXml(R"(id="N0")", "Decision", {}, "0"));
  file.insert(38, "<!DOCTYPE Tree [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;\">]>");
  file.replace(file.find("<Caption>c"), 10, "<Caption>&b;");
  EXPECT_EQ(Read(file).Root->Caption, "&b;");
}

TEST_F(TreeFileRead, FilesThatCannotBeRead) {
  EXPECT_EQ(ReadError(Dir.File("missing.bwk"), Context),
            "Cannot open the file: No such file or directory");
  EXPECT_FALSE(TreeFileExists(Dir.File("missing.bwk")));

  std::string folder = Dir.File("folder.bwk");
  std::filesystem::create_directory(folder);
  EXPECT_EQ(ReadError(folder, Context), "This is a folder, not a file");
  EXPECT_FALSE(TreeFileExists(folder));

  // A pipe is refused at once instead of waiting for a writer.
  std::string fifo = Dir.File("pipe.bwk");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_EQ(ReadError(fifo, Context), "This is not a regular file");

  // A regular file whose reading fails.
  EXPECT_EQ(ReadError("/proc/self/mem", Context), "Cannot read the file: Input/output error");

  std::string good = Dir.File("good.bwk");
  WriteBytes(good, TreeXml(BranchXml(R"(id="N0")")));
  EXPECT_TRUE(TreeFileExists(good));
}

TEST_F(TreeFileRead, FileWithoutReadPermission) {
  std::string path = Dir.File("secret.bwk");
  WriteBytes(path, TreeXml(BranchXml(R"(id="N0")")));
  EXPECT_EQ(AsOrdinaryUser(Dir.Path(),
                           [&] {
                             chmod(path.c_str(), 0);
                             return ReadError(path, Context);
                           }),
            "Cannot open the file: Permission denied");
}

// The bundled example shows every kind of node and reads back to the bytes
// this writer makes of it.
TEST(TreeFileExample, ShowsEveryKindOfNodeAndIsTheWritersOwn) {
  TTreeContext context;
  TTreeFileContents r = ReadTreeFile(BW_EXAMPLE_TREE, &context, TFontSpec{});
  EXPECT_TRUE(r.Options.ShowPayoff);
  EXPECT_FALSE(r.Options.CurrencySymbol.empty());
  EXPECT_EQ(r.Options.CurrencyDecimals, 2);
  EXPECT_EQ(SerializeTree(*r.Root, r.Options, r.Font), ReadBytes(BW_EXAMPLE_TREE));

  TDecTreeNodeList nodes(32, true, false);
  r.Root->CollectNodes(nodes);
  bool decision = false, percent = false, anySum = false, properties = false, comment = false;
  bool multiWithBudget = false, incomeCost = false, clone = false;
  for (TDecTreeNode* n : nodes) {
    decision = decision || (n->NodeType == ntDecision && n->ChildCount() > 0);
    percent = percent || (n->NodeType == ntChance && n->ChanceType == ctPercent);
    anySum = anySum || (n->NodeType == ntChance && n->ChanceType == ctAnySum);
    multiWithBudget =
        multiWithBudget || (n->NodeType == ntMultiDecision && n->DecisionMultiBudget > 0 &&
                            n->GetDecisionMultiShowBudget() && n->GetDecisionMultiShowInvestment());
    properties = properties || (!n->DecisionCaption.empty() && !n->DecisionOwner.empty() &&
                                n->DecisionDueDate != 0 && n->GetDecisionShowCaption() &&
                                n->GetDecisionShowOwner() && n->GetDecisionShowDueDate() &&
                                n->GetDecisionShowFixed());
    comment = comment || n->Comment.find("\r\n") != std::string::npos;
    clone = clone || (n->IsClone() && r.Root->FindNodeById(n->Ref) != nullptr);
    std::string source = n->PayoffSource;
    if (StartsWith(source, "Income-Cost: ", true)) {
      size_t colon = source.find(':');
      ASSERT_NE(colon, std::string::npos);
      double income = InvariantStrToFloat(source.substr(0, colon));
      double cost = InvariantStrToFloat(source.substr(colon + 1));
      EXPECT_EQ(n->Payoff, DoubleToCurrency(income - cost)) << n->Caption;
      incomeCost = true;
    }
  }
  EXPECT_TRUE(decision);
  EXPECT_TRUE(percent);
  EXPECT_TRUE(anySum);
  EXPECT_TRUE(multiWithBudget);
  EXPECT_TRUE(properties);
  EXPECT_TRUE(comment);
  EXPECT_TRUE(clone);
  EXPECT_TRUE(incomeCost);
}

} // namespace
} // namespace bw::test
