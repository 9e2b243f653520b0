// Writes the fuzzer's seed corpus into a folder: trees of our own, as the
// writer saves them, covering every node type, clones, multi-decisions with
// and without a budget, texts with line breaks and markup characters, and
// the older integer ids.
#include "model/DecTreeNode.h"
#include "treefile/TreeFile.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

using namespace bw;

namespace {

TDecTreeNode* Add(TDecTreeNode* parent, TNodeFields fields) {
  fields.Id = Guid::NewGuid();
  return parent->AddChild(std::make_unique<TDecTreeNode>(parent->Tree, parent, std::move(fields)));
}

void Write(const std::filesystem::path& folder, const std::string& name, const std::string& bytes) {
  std::ofstream(folder / name, std::ios::binary) << bytes;
}

} // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
    return 2;
  }
  std::filesystem::path folder = argv[1];
  std::filesystem::create_directories(folder);
  TTreeContext context;
  context.Options.CurrencySymbol = "€";
  context.Options.OutlineCodes = true;
  auto root = std::make_unique<TDecTreeNode>(&context, nullptr,
                                             TNodeFields{.Id = Guid::NewGuid(),
                                                         .Caption = "Launch <new> & \"improved\"",
                                                         .Comment = "two\r\nlines",
                                                         .Probability = 100,
                                                         .Payoff = -1234567});
  TDecTreeNode* market = Add(root.get(), {.Caption = "Market",
                                          .NodeType = ntChance,
                                          .Probability = 100,
                                          .DecisionShowCaption = true,
                                          .DecisionCaption = "Demand"});
  Add(market, {.Caption = "High", .Probability = 33.333333333333336, .Payoff = 1234567890123});
  Add(market, {.Caption = "Low\rCR", .Probability = 66.66666666666667, .Payoff = -50000});
  TDecTreeNode* multi = Add(root.get(), {.Caption = "Projects",
                                         .NodeType = ntMultiDecision,
                                         .DecisionShowOwner = true,
                                         .DecisionMultiShowBudget = true,
                                         .DecisionOwner = "Ann",
                                         .DecisionMultiBudget = 250,
                                         .DecisionDueDate = 40000,
                                         .PayoffSource = "Income-Cost: 10:2"});
  for (int i = 0; i < 5; ++i)
    Add(multi, {.Caption = "P" + std::to_string(i),
                .Probability = i % 2 ? 100.0 : 0.0,
                .Payoff = -100000 * (i + 1)});
  TDecTreeNode* clone = Add(root.get(), {.Caption = "Same market", .Probability = 0});
  clone->SetCloneMaster(market->Id);
  Add(root.get(), {.Caption = "Imported",
                   .NodeType = ntChance,
                   .ChanceType = ctAnySum,
                   .PayoffSource = "Import: Excel(\"a.xlsx\";\"Sheet1\";\"B2\")"});
  root->SyncClones();
  Write(folder, "full.bwk", SerializeTree(*root, context.Options, TFontSpec{"Arial", 10, 3}));
  Write(folder, "market.bwk", SerializeTree(*market, context.Options, TFontSpec{}));
  Write(folder, "multi.bwk", SerializeTree(*multi, context.Options, TFontSpec{}));

  // The older integer ids, with a clone, as hand-made files have them.
  std::string values = "<Type>Decision</Type><Probability>100</Probability><Payoff>0</Payoff>"
                       "<ChildrenVisible>1</ChildrenVisible><DecisionFixed>0</DecisionFixed>"
                       "<DecisionShowCaption>0</DecisionShowCaption><DecisionShowOwner>0"
                       "</DecisionShowOwner><DecisionShowDueDate>0</DecisionShowDueDate>"
                       "<DecisionMultiShowBudget>0</DecisionMultiShowBudget>"
                       "<DecisionMultiShowInvestment>0</DecisionMultiShowInvestment>"
                       "<DecisionShowFixed>0</DecisionShowFixed>"
                       "<DecisionMultiBudget>-1</DecisionMultiBudget>";
  Write(folder, "integer-ids.bwk",
        "<?xml version=\"1.0\"?><Tree><OutlineCodes>0</OutlineCodes><HighlightClones>1"
        "</HighlightClones><ShowPayoff>1</ShowPayoff><CurrencyDecimals>2</CurrencyDecimals>"
        "<CurrencyPosFormat>0</CurrencyPosFormat><CurrencyNegFormat>1</CurrencyNegFormat>"
        "<Branch id=\"N0\">" +
            values + "<Branches><Branch id=\"N1\">" + values + "<Branches><Branch id=\"N2\">" +
            values +
            "</Branch></Branches></Branch>"
            "<Branch id=\"N3\" ref=\"N1\">" +
            values + "</Branch></Branches></Branch></Tree>");
  return 0;
}
