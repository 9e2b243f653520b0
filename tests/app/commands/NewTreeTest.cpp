#include "app/commands/NewTree.h"
#include "support/FakeTreeView.h"

#include <gtest/gtest.h>

using namespace bw;
using namespace bw::test;

TEST(NewTree, ResetsTheRootInPlaceAndTakesTheUsersCurrency) {
  TControl t;
  TDecTreeNode* root = t.Root();
  const Guid id = root->Id;
  TDecTreeNode* child = t.Add(root, "child", 100);
  root->Caption = "Opened";
  root->Comment = "About the opened tree";
  root->NodeType = ntChance;
  root->ChanceType = ctAnySum;
  root->Probability = 40;
  root->ChildrenVisible = false;
  root->Ref = Guid::NewGuid();
  root->DecisionCaption = "caption";
  root->DecisionOwner = "owner";
  root->DecisionDueDate = 45000;
  root->DecisionFixed = true;
  root->DecisionMultiBudget = 300;
  root->DecisionShowCaption = root->DecisionShowOwner = root->DecisionShowDueDate = true;
  root->DecisionShowFixed = root->DecisionMultiShowBudget = true;
  root->DecisionMultiShowInvestment = true;
  root->Payoff = DoubleToCurrency(12);
  root->PayoffSource = "Income-Cost: 20:8";
  t.Tree.DefaultFont = TFontSpec{"Arial", 12, 0};
  t.Tree.Options = TTreeOptions{.OutlineCodes = false,
                                .CurrencySymbol = "X",
                                .CurrencyDecimals = 4,
                                .StatusDate = 45000,
                                .HighlightClones = false,
                                .ShowPayoff = false};
  t.Select({child}, htPayoff);

  ResetToNewTree(t.Tree, TLocaleCurrency{"€", 3, 3, 8});

  EXPECT_EQ(t.Root(), root);
  EXPECT_EQ(root->Id, id);
  EXPECT_EQ(root->ChildCount(), 0);
  EXPECT_EQ(root->Caption, "New Decision Tree");
  EXPECT_EQ(root->Comment, "Right click for options");
  EXPECT_EQ(root->NodeType, ntDecision);
  EXPECT_FALSE(root->IsClone());
  EXPECT_EQ(root->DecisionCaption, "");
  EXPECT_EQ(root->DecisionOwner, "");
  EXPECT_EQ(root->DecisionDueDate, 0);
  EXPECT_FALSE(root->DecisionFixed);
  EXPECT_EQ(root->DecisionMultiBudget, -1);
  EXPECT_FALSE(root->DecisionShowCaption || root->DecisionShowOwner || root->DecisionShowDueDate ||
               root->DecisionShowFixed || root->DecisionMultiShowBudget ||
               root->DecisionMultiShowInvestment);
  EXPECT_EQ(root->Payoff, 0);
  EXPECT_EQ(root->PayoffSource, "");
  // Kept as they were.
  EXPECT_EQ(root->Probability, 40);
  EXPECT_EQ(root->ChanceType, ctAnySum);
  EXPECT_FALSE(root->ChildrenVisible);
  EXPECT_EQ(t.Tree.DefaultFont, (TFontSpec{"Arial", 12, 0}));

  EXPECT_EQ(t.Tree.Options, (TTreeOptions{.OutlineCodes = true,
                                          .CurrencySymbol = "€",
                                          .CurrencyDecimals = 3,
                                          .CurrencyPosFormat = 3,
                                          .CurrencyNegFormat = 8,
                                          .StatusDate = 0,
                                          .HighlightClones = true,
                                          .ShowPayoff = true}));
  // The removed child was selected: the root is now.
  ASSERT_EQ(t.Selected().size(), 1u);
  EXPECT_EQ(t.Selected()[0], root);
  EXPECT_EQ(t.Tree.SelectionElementType, htBox);
}
