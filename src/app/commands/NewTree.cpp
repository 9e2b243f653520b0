#include "app/commands/NewTree.h"

#include "app/core/UIStrings.h"
#include "model/UIStringsComponent.h"

namespace bw {

void ResetToNewTree(TDecTree& tree, const TLocaleCurrency& currency) {
  TDecTreeNode* root = tree.TreeRoot();
  root->Children.Clear();
  root->Caption = UIStrings::Str(UIStrings::SNewDecisionTree);
  // The comment a fresh tree starts with: the comment of the tree that was
  // open must not carry into an unrelated new file.
  root->Comment = UIStringsComponent::Str(UIStringsComponent::SRootComment);
  root->NodeType = ntDecision;
  // A root that was a clone would otherwise stay linked to a node that no
  // longer exists.
  root->Ref = Guid::Empty();
  root->DecisionCaption.clear();
  root->DecisionOwner.clear();
  root->DecisionDueDate = 0;
  root->DecisionFixed = false;
  root->DecisionMultiBudget = -1;
  root->DecisionShowCaption = false;
  root->DecisionShowOwner = false;
  root->DecisionShowDueDate = false;
  root->DecisionShowFixed = false;
  root->DecisionMultiShowBudget = false;
  root->DecisionMultiShowInvestment = false;
  root->Payoff = 0;
  root->PayoffSource.clear();

  TTreeOptions& o = tree.Options;
  o.StatusDate = 0;
  o.OutlineCodes = true;
  o.CurrencySymbol = currency.Symbol;
  o.CurrencyDecimals = currency.Decimals;
  o.CurrencyPosFormat = currency.PosFormat;
  o.CurrencyNegFormat = currency.NegFormat;
  o.HighlightClones = true;
  o.ShowPayoff = true;

  // The removed nodes may have been selected; nothing selected that is not
  // there.
  tree.SelectNode(root, htBox);
}

} // namespace bw
