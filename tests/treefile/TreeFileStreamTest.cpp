// The stream reads the files our writer makes by itself, and gives the same
// trees as the document parser; what it does not take still reads.
#include "TreeFileTestSupport.h"

#include "treefile/TreeFileFormat.h"

#include <gtest/gtest.h>

namespace bw::test {
namespace {

std::string Serialized(const TTreeFileContents& c) {
  return SerializeTree(*c.Root, c.Options, c.Font);
}

TEST(TreeFileStream, TakesWhatTheWriterWritesAndReadsItAsTheParserDoes) {
  TTreeContext context;
  context.Options.CurrencySymbol = "\r€";
  auto root = std::make_unique<TDecTreeNode>(&context, nullptr,
                                             TNodeFields{.Id = Guid::NewGuid(),
                                                         .Caption = "a < b & \"c\"\r",
                                                         .Comment = "x\r\ny",
                                                         .Probability = 100,
                                                         .Payoff = INT64_MIN,
                                                         .DecisionOwner = "  "});
  TDecTreeNode* master =
      root->AddChild(std::make_unique<TDecTreeNode>(&context, root.get(),
                                                    TNodeFields{.Id = Guid::NewGuid(),
                                                                .NodeType = ntMultiDecision,
                                                                .Probability = 33.3,
                                                                .DecisionMultiBudget = 7,
                                                                .DecisionDueDate = 40000}));
  master->AddChild(std::make_unique<TDecTreeNode>(
      &context, master, TNodeFields{.Id = Guid::NewGuid(), .Payoff = 1234567890123456}));
  root->AddChild(std::make_unique<TDecTreeNode>(
      &context, root.get(), TNodeFields{.Id = Guid::NewGuid(), .Ref = master->Id}));
  const std::string bytes = SerializeTree(*root, context.Options, TFontSpec{"Arial", 9, 1});

  bool gaveUp = true;
  TTreeFileContents streamed = treefile::ReadTreeTextByStream(bytes, &context, {}, gaveUp);
  ASSERT_FALSE(gaveUp);
  TTreeFileContents parsed = treefile::ReadTreeTextWithDocument(bytes, &context, {});
  EXPECT_EQ(Serialized(streamed), bytes);
  EXPECT_EQ(Serialized(parsed), bytes);
  EXPECT_EQ(streamed.Root->DecisionOwner, "  ");
  EXPECT_EQ(streamed.Root->Child(1)->Ref, streamed.Root->Child(0)->Id);
}

TEST(TreeFileStream, LeavesTheRestToTheParser) {
  const std::string good = TreeXml(BranchXml("id=\"N0\"", "Decision", BranchXml("id=\"N1\"")));
  auto insert = [&](std::string_view before, std::string_view what) {
    std::string s = good;
    s.insert(s.find(before), what);
    return s;
  };
  std::vector<std::string> others = {
      insert("<Branch", "<!-- a comment -->"),
      insert("<Tree>", "<!DOCTYPE Tree>"),
      insert("<Branch", "<?pi data?>"),
      insert("<Caption>", "<Caption>mixed<b/>content</Caption>"),
      "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>" + good.substr(good.find("<Tree>")),
  };
  TTreeContext context;
  for (const std::string& bytes : others) {
    bool gaveUp = false;
    treefile::ReadTreeTextByStream(bytes, &context, {}, gaveUp);
    EXPECT_TRUE(gaveUp) << bytes;
    TTreeFileContents read = ReadTreeText(bytes, &context, {});
    EXPECT_EQ(read.Root->ChildCount(), 1) << bytes;
  }
  // A fault is reported as the parser reports it, with its place.
  std::string broken = insert("<Type>", "<Caption>x</Comment>");
  EXPECT_THROW(ReadTreeText(broken, &context, {}), TreeFileError);
  try {
    ReadTreeText(broken, &context, {});
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message().rfind("Start-end tags mismatch at line 1, column ", 0), 0u)
        << e.Message();
  }
}

} // namespace
} // namespace bw::test
