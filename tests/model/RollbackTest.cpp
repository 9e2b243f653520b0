#include "support/TreeBuilder.h"

#include <gtest/gtest.h>

using namespace bw;
using namespace bw::test;

namespace {
void ExpectValues(const TDecTreeNode* n, double value, double min, double max) {
  EXPECT_DOUBLE_EQ(n->Value, value);
  EXPECT_DOUBLE_EQ(n->MinValue, min);
  EXPECT_DOUBLE_EQ(n->MaxValue, max);
}
} // namespace

TEST(Rollback, ChanceNodesAreNormalisedByTheActualSum) {
  Tree percent(ntChance);
  Leaf(percent.Root.get(), 50, 100);
  Leaf(percent.Root.get(), 30, 0);
  percent.Recalculate();
  ExpectValues(percent.Root.get(), 62.5, 62.5, 62.5);

  Tree weights(ntChance);
  weights.Root->ChanceType = ctAnySum;
  Leaf(weights.Root.get(), 1, 4);
  Leaf(weights.Root.get(), 3, 8);
  weights.Recalculate();
  EXPECT_DOUBLE_EQ(weights.Root->Value, 7);

  Tree zero(ntChance);
  TDecTreeNode* a = Leaf(zero.Root.get(), 0, 100);
  zero.Recalculate();
  ExpectValues(zero.Root.get(), 0, 0, 0);
  EXPECT_EQ(a->PathProbability, 0);
}

TEST(Rollback, LeavesAndTheRootPayoffCountOnlyInPathsAndParents) {
  Tree t(ntDecision, 5);
  TDecTreeNode* leaf = Leaf(t.Root.get(), 100, 10);
  t.Recalculate();
  ExpectValues(leaf, 0, 0, 0);
  EXPECT_DOUBLE_EQ(t.Root->Value, 10);
  EXPECT_DOUBLE_EQ(leaf->PathPayoff, 15);
  EXPECT_DOUBLE_EQ(leaf->PathProbability, 1);
  EXPECT_TRUE(leaf->OnPath);
}

TEST(Rollback, DecisionsRangeOverAllOptionsUnlessFixed) {
  Tree t;
  TDecTreeNode* taken = Leaf(t.Root.get(), 100, 10);
  TDecTreeNode* other = Leaf(t.Root.get(), 0, 30);
  t.Recalculate();
  ExpectValues(t.Root.get(), 10, 10, 30);
  EXPECT_TRUE(taken->OnPath);
  EXPECT_FALSE(other->OnPath);
  EXPECT_EQ(other->PathProbability, 0);
  t.Root->DecisionFixed = true;
  t.Recalculate();
  ExpectValues(t.Root.get(), 10, 10, 10);

  Tree empty;
  empty.Recalculate();
  ExpectValues(empty.Root.get(), 0, 0, 0);
}

TEST(Rollback, NestedMinimumAndMaximumCarryPayoffs) {
  Tree t(ntChance);
  TDecTreeNode* d = Add(t.Root.get(), ntDecision, 50, 1);
  Leaf(d, 100, 10);
  Leaf(d, 0, -20);
  Leaf(t.Root.get(), 50, 4);
  t.Recalculate();
  ExpectValues(d, 10, -20, 10);
  // 0.5 * (10 + 1) + 0.5 * 4, and likewise for the extremes.
  ExpectValues(t.Root.get(), 7.5, -7.5, 7.5);
}

TEST(Rollback, HundredthsRoundToEven) {
  for (auto [payoff, expected] :
       {std::pair{0.125, 0.12}, {0.375, 0.38}, {-0.125, -0.12}, {2.675, 2.67}, {1.005, 1.0}}) {
    Tree t(ntChance);
    Leaf(t.Root.get(), 100, payoff);
    t.Recalculate();
    EXPECT_DOUBLE_EQ(t.Root->Value, expected) << payoff;
  }
}

TEST(Rollback, MultiDecisionWithoutBudget) {
  Tree t(ntMultiDecision);
  TDecTreeNode* a = Leaf(t.Root.get(), 0, 5);
  TDecTreeNode* b = Leaf(t.Root.get(), 100, -2);
  TDecTreeNode* c = Leaf(t.Root.get(), 100, 0);
  t.Recalculate();
  ExpectValues(t.Root.get(), -2, -2, 5);
  t.Root->SolveMultiDecision(false);
  EXPECT_EQ(a->Probability, 100);
  EXPECT_EQ(b->Probability, 0);
  EXPECT_EQ(c->Probability, 0);
}

TEST(Rollback, MultiDecisionWithBudget) {
  Tree t(ntMultiDecision);
  t.Root->DecisionMultiBudget = 100;
  // Options cost 100 and are worth 50 and 60 net of their cost.
  TDecTreeNode* a = Add(t.Root.get(), ntChance, 0, -100);
  Leaf(a, 100, 150);
  TDecTreeNode* b = Add(t.Root.get(), ntChance, 0, -100);
  Leaf(b, 100, 160);
  t.Recalculate();
  ExpectValues(t.Root.get(), 0, 0, 60);
  t.Root->SolveMultiDecision(false);
  EXPECT_EQ(a->Probability, 0);
  EXPECT_EQ(b->Probability, 100);
  t.Root->DecisionMultiBudget = 200;
  t.Recalculate();
  EXPECT_DOUBLE_EQ(t.Root->MaxValue, 110);
  t.Root->DecisionMultiBudget = -5; // a negative budget fits nothing without income
  t.Recalculate();
  EXPECT_EQ(t.Root->MinValue, 0);
  EXPECT_EQ(t.Root->MaxValue, 0);
}

TEST(Rollback, ExactBudgetIsAffordable) {
  Tree t(ntMultiDecision);
  t.Root->DecisionMultiBudget = 653;
  for (double cost : {516.59, 135.71, 0.70}) {
    TDecTreeNode* option = Add(t.Root.get(), ntChance, 0, -cost);
    Leaf(option, 100, cost + 1);
  }
  t.Recalculate();
  EXPECT_DOUBLE_EQ(t.Root->MaxValue, 3);
  t.Root->SolveMultiDecision(false);
  for (int i = 0; i < 3; ++i)
    EXPECT_EQ(t.Root->Child(i)->Probability, 100) << i;
}

TEST(Rollback, PathValues) {
  Tree t(ntChance, 1);
  t.Root->ChanceType = ctAnySum;
  TDecTreeNode* m = Add(t.Root.get(), ntMultiDecision, 1, 2);
  TDecTreeNode* m1 = Leaf(m, 100, 3);
  TDecTreeNode* m2 = Leaf(m, 100, 4);
  TDecTreeNode* d = Add(t.Root.get(), ntDecision, 3, 0);
  TDecTreeNode* d1 = Leaf(d, 50, 1);
  TDecTreeNode* d2 = Leaf(d, 50, 1);
  t.Recalculate();
  EXPECT_DOUBLE_EQ(m1->PathProbability, 0.25);
  EXPECT_DOUBLE_EQ(m2->PathProbability, 0.25);
  EXPECT_DOUBLE_EQ(m1->PathPayoff, 6);
  EXPECT_DOUBLE_EQ(m2->PathPayoff, 7);
  // A decision's options are normalised by their sum when paths are spread.
  EXPECT_DOUBLE_EQ(d1->PathProbability, 0.375);
  EXPECT_DOUBLE_EQ(d2->PathProbability, 0.375);
  EXPECT_DOUBLE_EQ(d2->PathPayoff, 2);
  // Inner nodes keep whatever they held.
  EXPECT_EQ(m->PathProbability, 0);
}

TEST(Rollback, TakeOption) {
  Tree t;
  TDecTreeNode* a = Leaf(t.Root.get(), 100, 0);
  TDecTreeNode* b = Leaf(t.Root.get(), 0, 0);
  b->TakeOption();
  b->TakeOption();
  EXPECT_EQ(a->Probability, 0);
  EXPECT_EQ(b->Probability, 100);
  t.Root->NodeType = ntMultiDecision;
  a->Probability = 37;
  a->TakeOption();
  EXPECT_EQ(a->Probability, 0);
  a->TakeOption();
  EXPECT_EQ(a->Probability, 100);
  EXPECT_EQ(b->Probability, 100);
  t.Root->NodeType = ntChance;
  EXPECT_THROW(a->TakeOption(), AssertionFailure);
  EXPECT_EQ(a->Probability, 100);
  EXPECT_THROW(t.Root->TakeOption(), AssertionFailure);
}

TEST(Rollback, OptimizeTakesTheFirstBestOption) {
  Tree t;
  Leaf(t.Root.get(), 100, 10);
  Leaf(t.Root.get(), 0, 30);
  Leaf(t.Root.get(), 0, 30);
  t.Root->OptimizeDecisions();
  EXPECT_EQ(t.Root->Child(0)->Probability, 0);
  EXPECT_EQ(t.Root->Child(1)->Probability, 100);
  EXPECT_EQ(t.Root->Child(2)->Probability, 0);

  t.Root->DecisionFixed = true;
  t.Root->Child(0)->TakeOption();
  t.Root->OptimizeDecisions();
  EXPECT_EQ(t.Root->Child(0)->Probability, 100);
}

TEST(Rollback, OptimizeWorksBottomUpThroughChanceNodes) {
  // M takes an option C whose worth appears only once the decision below C's
  // chance branch has been optimised.
  Tree t(ntMultiDecision);
  TDecTreeNode* c = Add(t.Root.get(), ntChance, 0, 0);
  TDecTreeNode* d = Add(c, ntDecision, 100, 0);
  TDecTreeNode* x = Leaf(d, 100, -10);
  TDecTreeNode* y = Leaf(d, 0, 20);
  t.Recalculate();
  t.Root->OptimizeDecisions();
  t.Recalculate();
  EXPECT_EQ(x->Probability, 0);
  EXPECT_EQ(y->Probability, 100);
  EXPECT_EQ(c->Probability, 100);
  ExpectValues(t.Root.get(), 20, 0, 20);
}

TEST(Rollback, OptimizeLeavesClonesToTheirMasters) {
  Tree t(ntChance);
  TDecTreeNode* master = Add(t.Root.get(), ntDecision, 50, 0);
  Leaf(master, 100, 1);
  Leaf(master, 0, 9);
  TDecTreeNode* clone = Add(t.Root.get(), ntDecision, 50, 0);
  ASSERT_EQ(clone->SetCloneMaster(master->Id), "");
  t.Recalculate();
  t.Root->OptimizeDecisions();
  t.Recalculate();
  EXPECT_EQ(master->Child(1)->Probability, 100);
  EXPECT_EQ(clone->Child(1)->Probability, 100);
  EXPECT_DOUBLE_EQ(t.Root->Value, 9);
}
