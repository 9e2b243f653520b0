#include "foundation/Conversions.h"
#include "support/TreeBuilder.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace bw;
using namespace bw::test;

namespace {

// Every stored field but the two multi-decision flags, which copies pass
// through their getters.
void ExpectSameStoredFields(const TDecTreeNode* a, const TDecTreeNode* b) {
  EXPECT_EQ(a->Id, b->Id);
  EXPECT_EQ(a->Ref, b->Ref);
  EXPECT_EQ(a->Caption, b->Caption);
  EXPECT_EQ(a->Comment, b->Comment);
  EXPECT_EQ(a->NodeType, b->NodeType);
  EXPECT_EQ(a->ChanceType, b->ChanceType);
  EXPECT_EQ(a->Probability, b->Probability);
  EXPECT_EQ(a->Payoff, b->Payoff);
  EXPECT_EQ(a->ChildrenVisible, b->ChildrenVisible);
  EXPECT_EQ(a->DecisionShowCaption, b->DecisionShowCaption);
  EXPECT_EQ(a->DecisionShowOwner, b->DecisionShowOwner);
  EXPECT_EQ(a->DecisionShowDueDate, b->DecisionShowDueDate);
  EXPECT_EQ(a->DecisionShowFixed, b->DecisionShowFixed);
  EXPECT_EQ(a->DecisionFixed, b->DecisionFixed);
  EXPECT_EQ(a->DecisionCaption, b->DecisionCaption);
  EXPECT_EQ(a->DecisionOwner, b->DecisionOwner);
  EXPECT_EQ(a->DecisionMultiBudget, b->DecisionMultiBudget);
  EXPECT_EQ(a->DecisionDueDate, b->DecisionDueDate);
  EXPECT_EQ(a->PayoffSource, b->PayoffSource);
  ASSERT_EQ(a->ChildCount(), b->ChildCount());
  for (int i = 0; i < a->ChildCount(); ++i)
    ExpectSameStoredFields(a->Child(i), b->Child(i));
}

TDecTreeNode* Decorate(TDecTreeNode* n) {
  n->Comment = "c";
  n->DecisionShowCaption = n->DecisionShowOwner = n->DecisionShowDueDate = true;
  n->DecisionShowFixed = n->DecisionMultiShowBudget = n->DecisionMultiShowInvestment = true;
  n->DecisionCaption = "dc";
  n->DecisionOwner = "me";
  n->DecisionMultiBudget = 70;
  n->DecisionDueDate = 45000;
  n->PayoffSource = "Income-Cost: 1:2";
  return n;
}

} // namespace

TEST(DecTreeNode, CreateKeepsEveryFieldInItsPlace) {
  TTreeContext ctx;
  Guid id = Guid::NewGuid(), ref = Guid::NewGuid();
  auto n = TDecTreeNode::Create(&ctx, nullptr, id, "cap", "com", ntMultiDecision, ctAnySum, 42.5,
                                12345, ref, false, true, false, true, false, true, false, true,
                                "dcap", "own", 77, 45001, "src");
  EXPECT_EQ(n->Id, id);
  EXPECT_EQ(n->Caption, "cap");
  EXPECT_EQ(n->Comment, "com");
  EXPECT_EQ(n->NodeType, ntMultiDecision);
  EXPECT_EQ(n->ChanceType, ctAnySum);
  EXPECT_EQ(n->Probability, 42.5);
  EXPECT_EQ(n->Payoff, 12345);
  EXPECT_EQ(n->Ref, ref);
  EXPECT_FALSE(n->ChildrenVisible);
  EXPECT_TRUE(n->DecisionShowCaption);
  EXPECT_FALSE(n->DecisionShowOwner);
  EXPECT_TRUE(n->DecisionShowDueDate);
  EXPECT_FALSE(n->DecisionShowFixed);
  EXPECT_TRUE(n->DecisionMultiShowBudget);
  EXPECT_FALSE(n->DecisionMultiShowInvestment);
  EXPECT_TRUE(n->DecisionFixed);
  EXPECT_EQ(n->DecisionCaption, "dcap");
  EXPECT_EQ(n->DecisionOwner, "own");
  EXPECT_EQ(n->DecisionMultiBudget, 77);
  EXPECT_EQ(n->DecisionDueDate, 45001);
  EXPECT_EQ(n->PayoffSource, "src");
  EXPECT_EQ(n->ChildCount(), 0);
  EXPECT_EQ(n->Children.Capacity(), 32);
  EXPECT_EQ(n->Value, 0);
}

TEST(DecTreeNode, UndoCopyKeepsIdsAndStoredFields) {
  Tree t(ntChance);
  Decorate(t.Root.get());
  TDecTreeNode* a = Decorate(Add(t.Root.get(), ntDecision, 60, 10, "a"));
  Decorate(Add(a, ntMultiDecision, 100, -5, "a1"));
  Add(t.Root.get(), ntChance, 40, 3, "b")->ChildrenVisible = false;
  t.Recalculate();

  auto copy = t.Root->CopySubtree(nullptr, false, nullptr);
  ExpectSameStoredFields(t.Root.get(), copy.get());
  // Budget and investment flags survive only on multi-decisions.
  EXPECT_FALSE(copy->DecisionMultiShowBudget);
  EXPECT_FALSE(copy->Child(0)->DecisionMultiShowInvestment);
  EXPECT_TRUE(copy->Child(0)->Child(0)->DecisionMultiShowBudget);
  EXPECT_TRUE(copy->Child(0)->Child(0)->DecisionMultiShowInvestment);
  EXPECT_EQ(copy->Value, 0);
  EXPECT_EQ(copy->Child(0)->Parent, copy.get());
  EXPECT_EQ(copy->FindNodeById(a->Id)->Caption, "a");
  // Turned into a multi-decision later, the copy shows no budget line.
  copy->NodeType = ntMultiDecision;
  EXPECT_FALSE(copy->GetDecisionMultiShowBudget());
}

TEST(DecTreeNode, CloneCopyTakesFreshIdsAndHidesProperties) {
  Tree t;
  TDecTreeNode* a = Decorate(Add(t.Root.get(), ntDecision, 100, 0, "a"));
  TDecTreeNode* inner = Add(a, ntDecision, 100, 0, "inner");
  inner->Ref = Guid::NewGuid();
  auto copy = a->CopySubtree(t.Root.get(), true, nullptr);
  EXPECT_NE(copy->Id, a->Id);
  EXPECT_NE(copy->Child(0)->Id, inner->Id);
  EXPECT_EQ(copy->Child(0)->Ref, inner->Ref);
  for (bool flag :
       {copy->DecisionShowCaption, copy->DecisionShowOwner, copy->DecisionShowDueDate,
        copy->DecisionShowFixed, copy->DecisionMultiShowBudget, copy->DecisionMultiShowInvestment})
    EXPECT_FALSE(flag);
  EXPECT_EQ(copy->DecisionOwner, "me");
  EXPECT_EQ(t.Root->ChildCount(), 1); // not added by the copy
}

TEST(DecTreeNode, CounterpartGivesExpansionAndSelection) {
  Tree t;
  TDecTreeNode* src = Add(t.Root.get(), ntDecision, 100, 0);
  for (int i = 0; i < 3; ++i)
    Leaf(src, 0, i)->ChildrenVisible = true;
  TDecTreeNode* old = Add(t.Root.get(), ntDecision, 0, 0);
  old->ChildrenVisible = false;
  TDecTreeNode* old0 = Leaf(old, 0, 0);
  old0->ChildrenVisible = false;
  Leaf(old, 0, 0);
  t.Context.Selection.Add(old0->Id);

  auto copy = src->CopySubtree(t.Root.get(), true, old);
  EXPECT_FALSE(copy->ChildrenVisible);
  EXPECT_FALSE(copy->Child(0)->ChildrenVisible);
  EXPECT_TRUE(copy->Child(2)->ChildrenVisible); // no counterpart: its own
  ASSERT_EQ(t.Context.Selection.Count(), 1);
  EXPECT_EQ(t.Context.Selection[0], copy->Child(0)->Id);
}

TEST(DecTreeNode, LevelsDepthAndVisibleLevels) {
  Tree t;
  TDecTreeNode* a = Leaf(t.Root.get(), 100, 0);
  TDecTreeNode* a1 = Leaf(a, 100, 0);
  Leaf(a1, 100, 0);
  Leaf(t.Root.get(), 0, 0);
  EXPECT_EQ(t.Root->GetLevel(), 1);
  EXPECT_EQ(a1->GetLevel(), 3);
  EXPECT_EQ(t.Root->GetSubtreeDepth(), 4);
  EXPECT_EQ(a1->GetSubtreeDepth(), 2);

  t.Root->SetVisibleLevels(1);
  EXPECT_FALSE(t.Root->ChildrenVisible);
  EXPECT_TRUE(a->ChildrenVisible);
  t.Root->SetVisibleLevels(2);
  EXPECT_TRUE(t.Root->ChildrenVisible);
  EXPECT_FALSE(a->ChildrenVisible);
  EXPECT_FALSE(t.Root->Child(1)->ChildrenVisible);
  EXPECT_TRUE(a1->ChildrenVisible);
  t.Root->SetVisibleLevels(0);
  EXPECT_TRUE(t.Root->ChildrenVisible && a->ChildrenVisible && a1->ChildrenVisible);
}

TEST(DecTreeNode, OutlineCodesFollowMastersOfClones) {
  Tree t;
  t.Context.Options.OutlineCodes = true;
  TDecTreeNode* clone = Leaf(t.Root.get(), 100, 0);
  Leaf(t.Root.get(), 0, 0);
  TDecTreeNode* master = Leaf(t.Root.get(), 0, 0);
  Leaf(master, 100, 0);
  Leaf(Leaf(master, 0, 0), 100, 0);
  ASSERT_EQ(clone->SetCloneMaster(master->Id), "");
  t.Recalculate();
  EXPECT_EQ(t.Root->GetOutlineCode(), "");
  EXPECT_EQ(clone->GetOutlineCode(), "1  ");
  EXPECT_EQ(master->Child(1)->Child(0)->GetOutlineCode(), "3.2.1  ");
  ASSERT_EQ(clone->ChildCount(), 2);
  EXPECT_EQ(clone->Child(0)->GetOutlineCode(), "3.1  ");
  EXPECT_EQ(clone->Child(1)->Child(0)->GetOutlineCode(), "3.2.1  ");
  t.Context.Options.OutlineCodes = false;
  EXPECT_EQ(clone->Child(0)->GetOutlineCode(), "");
}

TEST(DecTreeNode, SumsInvestmentAndImports) {
  Tree t;
  Leaf(t.Root.get(), 30, 0);
  Leaf(t.Root.get(), 30, 0);
  EXPECT_EQ(t.Root->GetProbabilitySum(), 100);
  t.Root->NodeType = ntMultiDecision;
  EXPECT_EQ(t.Root->GetProbabilitySum(), 100);
  t.Root->NodeType = ntChance;
  EXPECT_EQ(t.Root->GetProbabilitySum(), 60);
  EXPECT_EQ(Leaf(t.Root.get(), 0, 0)->GetProbabilitySum(), 100);
  Tree chance(ntChance);
  EXPECT_EQ(chance.Root->GetProbabilitySum(), 0);

  // The rounding applies to the running total, not to each term.
  Tree m(ntMultiDecision);
  Leaf(m.Root.get(), 100, 0)->Payoff = -734567;
  Leaf(m.Root.get(), 50, 0)->Payoff = -3;
  EXPECT_EQ(m.Root->GetInvestment(), 734568);
  Leaf(m.Root.get(), 100, 0)->Payoff = 500000; // a taken income lowers it
  Leaf(m.Root.get(), 0, 0)->Payoff = -1000000; // untaken: nothing
  EXPECT_EQ(m.Root->GetInvestment(), 234568);
  EXPECT_THROW(t.Root->GetInvestment(), AssertionFailure);

  EXPECT_FALSE(t.Root->HasImportedPayoffs());
  t.Root->Child(1)->PayoffSource = "import: Excel(a)";
  EXPECT_FALSE(t.Root->HasImportedPayoffs());
  t.Root->Child(1)->PayoffSource = "Import: Excel(a)";
  EXPECT_TRUE(t.Root->HasImportedPayoffs());
  EXPECT_FALSE(t.Root->Child(0)->HasImportedPayoffs());
}

TEST(DecTreeNode, OverdueNeedsAnOpenDecisionWithChildren) {
  Tree t;
  TDateTime due = 45000.75;
  t.Context.Options.StatusDate = 45001.1;
  t.Root->DecisionDueDate = due;
  EXPECT_FALSE(t.Root->IsOverdue()); // a leaf
  Leaf(t.Root.get(), 100, 0);
  EXPECT_TRUE(t.Root->IsOverdue());
  t.Context.Options.StatusDate = 45000.1; // same day, earlier hour
  EXPECT_FALSE(t.Root->IsOverdue());
  t.Context.Options.StatusDate = 45001;
  t.Root->DecisionFixed = true;
  EXPECT_FALSE(t.Root->IsOverdue());
  t.Root->DecisionFixed = false;
  t.Root->NodeType = ntChance;
  EXPECT_FALSE(t.Root->IsOverdue());
  t.Root->NodeType = ntMultiDecision;
  EXPECT_TRUE(t.Root->IsOverdue());
  // No status date: judged against today.
  t.Context.Options.StatusDate = 0;
  t.Context.Clock = [] { return 45100.75; };
  t.Root->DecisionDueDate = 45099.9;
  EXPECT_TRUE(t.Root->IsOverdue());
  t.Root->DecisionDueDate = 45100;
  EXPECT_FALSE(t.Root->IsOverdue());
}

TEST(DecTreeNode, CurrencyConversionRoundsToEvenAndRefusesOverflow) {
  EXPECT_EQ(DoubleToCurrency(12.34567), 123457);
  EXPECT_EQ(DoubleToCurrency(0.03125), 312);
  EXPECT_EQ(DoubleToCurrency(0.09375), 938);
  EXPECT_EQ(DoubleToCurrency(-0.03125), -312);
  EXPECT_THROW(DoubleToCurrency(1e20), InvalidOperationException);
  EXPECT_THROW(DoubleToCurrency(std::nan("")), InvalidOperationException);
  EXPECT_EQ(DoubleToCurrencySaturated(1e300), INT64_MAX);
  EXPECT_EQ(DoubleToCurrencySaturated(-1e300), INT64_MIN);
}
