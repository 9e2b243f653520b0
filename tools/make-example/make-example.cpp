// Builds the bundled example tree, a product launch, and writes it with the
// tree-file writer: make_example <path of Example.bwk>.
#include "foundation/Conversions.h"
#include "foundation/SerialDate.h"
#include "model/DecTreeNode.h"
#include "treefile/TreeFile.h"

#include <cstdio>
#include <string>

using namespace bw;

namespace {

struct Node {
  TNodeType Type = ntChance;
  std::string Caption{};
  double Probability = 0;
  double Income = 0; // with Cost: an "Income-Cost: " payoff
  double Cost = 0;
  double Payoff = 0; // a plain payoff when Income and Cost are 0
  std::string Comment{};
};

TDecTreeNode* Add(TDecTreeNode* parent, const Node& n) {
  bool incomeCost = n.Income != 0 || n.Cost != 0;
  double payoff = incomeCost ? n.Income - n.Cost : n.Payoff;
  auto node = std::make_unique<TDecTreeNode>(
      parent->Tree, parent,
      TNodeFields{.Id = Guid::NewGuid(),
                  .Caption = n.Caption,
                  .Comment = n.Comment,
                  .NodeType = n.Type,
                  .Probability = n.Probability,
                  .Payoff = DoubleToCurrency(payoff),
                  .PayoffSource = incomeCost ? "Income-Cost: " + FloatToInvariantStr(n.Income) +
                                                   ":" + FloatToInvariantStr(n.Cost)
                                             : ""});
  return parent->AddChild(std::move(node));
}

TDateTime Date(int year, int month, int day) {
  TDateTime d = 0;
  TryEncodeDate(year, month, day, d);
  return d;
}

void ShowDecisionProperties(TDecTreeNode* n, std::string caption, std::string owner,
                            TDateTime due) {
  n->DecisionCaption = std::move(caption);
  n->DecisionOwner = std::move(owner);
  n->DecisionDueDate = due;
  n->DecisionShowCaption = true;
  n->DecisionShowOwner = true;
  n->DecisionShowDueDate = true;
  n->DecisionShowFixed = true;
}

// A marketing option of the multi-decision: its cost as payoff, and the extra
// contribution it brings below it.
void AddChannel(TDecTreeNode* mix, const std::string& caption, double cost, double gain) {
  TDecTreeNode* option = Add(mix, {.Caption = caption, .Payoff = -cost});
  Add(option, {.Caption = "Extra contribution", .Probability = 100, .Payoff = gain});
}

} // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("usage: make_example <output.bwk>\n", stderr);
    return 2;
  }
  TTreeContext context;
  context.Options.OutlineCodes = true;
  context.Options.HighlightClones = true;
  context.Options.ShowPayoff = true;
  context.Options.CurrencySymbol = "€";
  context.Options.CurrencyDecimals = 2;
  context.Options.CurrencyPosFormat = 3; // 1.00 €
  context.Options.CurrencyNegFormat = 8; // -1.00 €

  auto root = std::make_unique<TDecTreeNode>(
      &context, nullptr,
      TNodeFields{.Id = Guid::NewGuid(),
                  .Caption = "Launch the Aroma One coffee machine?",
                  .Comment = "Decision of the board meeting in spring.\r\nAll figures for the "
                             "first two years.",
                  .NodeType = ntDecision,
                  .Probability = 100});
  ShowDecisionProperties(root.get(), "Go or no-go", "Maria Keller, product management",
                         Date(2026, 3, 31));

  TDecTreeNode* launch =
      Add(root.get(), {.Caption = "Launch nationally",
                       .Income = 50000,
                       .Cost = 300000,
                       .Comment = "Tooling and launch campaign.\r\nPre-orders of dealers are "
                                  "counted as income."});
  TDecTreeNode* strong = Add(
      launch, {.Caption = "Strong demand", .Probability = 30, .Income = 1200000, .Cost = 450000});
  TDecTreeNode* mix = Add(strong, {.Type = ntMultiDecision,
                                   .Caption = "Marketing channels",
                                   .Probability = 100,
                                   .Comment = "Any mix of channels within the budget."});
  mix->DecisionMultiBudget = 120000;
  mix->DecisionMultiShowBudget = true;
  mix->DecisionMultiShowInvestment = true;
  ShowDecisionProperties(mix, "Marketing mix", "Jonas Weber, marketing", Date(2026, 6, 30));
  AddChannel(mix, "Television", 90000, 160000);
  AddChannel(mix, "Online advertising", 40000, 95000);
  AddChannel(mix, "Trade fairs", 30000, 45000);
  Add(launch, {.Caption = "Moderate demand", .Probability = 50, .Payoff = 200000});
  Add(launch, {.Caption = "Weak demand", .Probability = 20, .Payoff = -150000});

  // Weights instead of percentages: three successful regional tests for
  // every failed one.
  TDecTreeNode* test = Add(root.get(), {.Caption = "Test in one region first",
                                        .Payoff = -40000,
                                        .Comment = "Six months in the northern region."});
  test->ChanceType = ctAnySum;
  TDecTreeNode* success =
      Add(test, {.Type = ntDecision, .Caption = "Test succeeds", .Probability = 3});
  ShowDecisionProperties(success, "Roll out?", "Maria Keller, product management",
                         Date(2026, 11, 15));
  TDecTreeNode* rollOut = Add(success, {.Caption = "Roll out nationally",
                                        .Income = 50000,
                                        .Cost = 300000,
                                        .Comment = "The same launch as without the test."});
  Add(success, {.Caption = "Stop after the test", .Payoff = 0});
  Add(test, {.Caption = "Test fails", .Probability = 1, .Payoff = -20000});

  Add(root.get(), {.Caption = "Do not launch", .Payoff = 0});

  std::string refusal = rollOut->SetCloneMaster(launch->Id);
  if (!refusal.empty()) {
    std::fprintf(stderr, "make_example: %s\n", refusal.c_str());
    return 1;
  }
  // Copies for the clone, then the best options, as the program would show
  // them after its first recalculation.
  root->OnPath = true;
  root->SyncClones();
  root->OptimizeDecisions();
  root->SyncClones();
  root->EvaluateAndPropagate(1.0, CurrencyToDouble(root->Payoff));

  try {
    WriteTreeFile(argv[1], *root, context.Options, TFontSpec{});
  } catch (const Exception& e) {
    std::fprintf(stderr, "make_example: %s\n", e.Message().c_str());
    return 1;
  }
  return 0;
}
