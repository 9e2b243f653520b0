// The roll-back takes shortcuts (leaves, equal triples, one walk for values
// and paths). Here it is compared bit for bit with the plain sequence of
// steps on random trees, negative weights, zero sums and fixed decisions
// included.
#include "foundation/Rounding.h"
#include "support/TreeBuilder.h"

#include <gtest/gtest.h>

#include <bit>
#include <random>

using namespace bw;
using namespace bw::test;

namespace {

using X = long double;

struct Values {
  double V, Min, Max, PathP, PathQ;
  bool OnPath;
};

double Acc(double acc, X w, double x, Currency p) {
  return static_cast<double>((w * (static_cast<X>(x) * 10000 + p) + static_cast<X>(acc) * 10000) /
                             10000);
}

double Cents(double x) {
  return static_cast<double>(std::rint(static_cast<X>(x) * 100) / 100);
}

// The steps as written, without shortcuts; values go into a side table.
void Reference(const TDecTreeNode* n, bool onPath, std::vector<Values>& out,
               std::vector<const TDecTreeNode*>& order) {
  size_t self = out.size();
  out.push_back({0, 0, 0, 0, 0, onPath});
  order.push_back(n);
  double s = 0;
  std::vector<size_t> kids;
  for (const TDecTreeNode* c : n->Children) {
    kids.push_back(out.size());
    Reference(c, onPath && c->Probability > 0, out, order);
    s += c->Probability;
  }
  if (n->NodeType != ntChance) s = 100;
  Values& v = out[self];
  if (n->NodeType == ntDecision && !n->DecisionFixed) {
    v.V = 0;
    if (!kids.empty()) {
      double lo = 1.7E308, hi = -1.7E308;
      for (size_t i = 0; i < kids.size(); ++i) {
        const TDecTreeNode* c = n->Children[static_cast<int>(i)];
        const Values& cv = out[kids[i]];
        out[self].V = Acc(out[self].V, static_cast<X>(c->Probability) / s, cv.V, c->Payoff);
        X m = static_cast<X>(cv.Min) * 10000 + c->Payoff;
        if (static_cast<X>(lo) * 10000 > m) lo = static_cast<double>(m / 10000);
        X M = static_cast<X>(cv.Max) * 10000 + c->Payoff;
        if (static_cast<X>(hi) * 10000 < M) hi = static_cast<double>(M / 10000);
      }
      out[self].Min = lo;
      out[self].Max = hi;
    }
  } else if (s != 0) {
    for (size_t i = 0; i < kids.size(); ++i) {
      const TDecTreeNode* c = n->Children[static_cast<int>(i)];
      const Values cv = out[kids[i]];
      X w = static_cast<X>(c->Probability) / s;
      out[self].V = Acc(out[self].V, w, cv.V, c->Payoff);
      out[self].Min = Acc(out[self].Min, w, cv.Min, c->Payoff);
      out[self].Max = Acc(out[self].Max, w, cv.Max, c->Payoff);
    }
  }
  out[self].V = Cents(out[self].V);
  out[self].Min = Cents(out[self].Min);
  out[self].Max = Cents(out[self].Max);
}

void ReferencePaths(const TDecTreeNode* n, double p, double q, std::vector<Values>& out,
                    size_t& index) {
  size_t self = index++;
  if (n->ChildCount() == 0) {
    out[self].PathP = p;
    out[self].PathQ = q;
    return;
  }
  double s = 0;
  for (const TDecTreeNode* c : n->Children)
    s += c->Probability;
  for (const TDecTreeNode* c : n->Children)
    ReferencePaths(c, s == 0 ? 0 : static_cast<double>(static_cast<X>(p) * c->Probability / s),
                   static_cast<double>((static_cast<X>(q) * 10000 + c->Payoff) / 10000), out,
                   index);
}

void Grow(TDecTreeNode* n, std::mt19937& rng, int depth) {
  if (depth == 0) return;
  int kids = static_cast<int>(rng() % 4);
  for (int i = 0; i < kids; ++i) {
    TNodeType type = rng() % 3 == 0 ? ntChance : ntDecision;
    double prob = std::vector<double>{0, 100, 33.3, 33.4, -1e10, 1e10 + 1, 0.1, 7}[rng() % 8];
    // Mostly small amounts; now and then one whose values round to -0, or
    // one whose weighted values pass 2^62 hundredths.
    double payoff = static_cast<double>(static_cast<int>(rng() % 2001) - 1000) / 8;
    if (rng() % 10 == 0)
      payoff = std::vector<double>{-0.001, 0.005, -0.005, 9e14, -9e14}[rng() % 5];
    TDecTreeNode* c = Add(n, type, prob, payoff);
    c->DecisionFixed = rng() % 5 == 0;
    Grow(c, rng, depth - 1);
  }
}

bool SameBits(double a, double b) {
  return std::bit_cast<uint64_t>(a) == std::bit_cast<uint64_t>(b);
}

} // namespace

TEST(RollbackReference, ShortcutsChangeNoBit) {
  std::mt19937 rng(77);
  for (int round = 0; round < 300; ++round) {
    Tree t(rng() % 2 ? ntChance : ntDecision, 3);
    Grow(t.Root.get(), rng, 5);
    std::vector<Values> expected;
    std::vector<const TDecTreeNode*> order;
    Reference(t.Root.get(), true, expected, order);
    size_t index = 0;
    ReferencePaths(t.Root.get(), 1.0, 3, expected, index);

    for (bool fused : {false, true}) {
      t.Root->OnPath = true;
      if (fused) {
        t.Root->EvaluateAndPropagate(1.0, 3);
      } else {
        t.Root->Evaluate();
        t.Root->PropagatePath(1.0, 3);
      }
      for (size_t i = 0; i < order.size(); ++i) {
        const TDecTreeNode* n = order[i];
        ASSERT_TRUE(SameBits(n->Value, expected[i].V)) << round << " node " << i;
        ASSERT_TRUE(SameBits(n->MinValue, expected[i].Min)) << round << " node " << i;
        ASSERT_TRUE(SameBits(n->MaxValue, expected[i].Max)) << round << " node " << i;
        ASSERT_EQ(n->OnPath, expected[i].OnPath);
        if (n->ChildCount() == 0) {
          ASSERT_TRUE(SameBits(n->PathProbability, expected[i].PathP)) << round << " node " << i;
          ASSERT_TRUE(SameBits(n->PathPayoff, expected[i].PathQ)) << round << " node " << i;
        }
      }
    }
  }
}

namespace {

// Optimisation by the plain steps: every option of a decision is weighed by
// taking it and rolling back the decision's whole subtree.
void ReferenceOptimize(TDecTreeNode* n) {
  if (n->ChildCount() == 0 || n->IsCloneOrInClone()) return;
  for (TDecTreeNode* c : n->Children)
    ReferenceOptimize(c);
  if (n->NodeType == ntDecision) {
    if (!n->DecisionFixed) {
      TDecTreeNode* best = nullptr;
      double bestValue = 0;
      for (TDecTreeNode* c : n->Children) {
        c->TakeOption();
        n->Evaluate();
        if (!best || n->Value > bestValue) {
          best = c;
          bestValue = n->Value;
        }
      }
      best->TakeOption();
    }
    n->Evaluate();
  } else if (n->NodeType == ntMultiDecision) {
    if (!n->DecisionFixed) {
      n->Evaluate();
      n->SolveMultiDecision(false);
    }
    n->Evaluate();
  }
}

void Preorder(TDecTreeNode* n, std::vector<TDecTreeNode*>& out) {
  out.push_back(n);
  for (TDecTreeNode* c : n->Children)
    Preorder(c, out);
}

} // namespace

TEST(RollbackReference, OptimisationInOneWalkTakesTheSameOptions) {
  std::mt19937 rng(91);
  int roundsWithChanges = 0;
  for (int round = 0; round < 200; ++round) {
    Tree t(rng() % 2 ? ntChance : ntDecision, 3);
    Grow(t.Root.get(), rng, 5);
    std::vector<TDecTreeNode*> nodes;
    Preorder(t.Root.get(), nodes);
    for (TDecTreeNode* n : nodes) {
      if (rng() % 4 == 0) n->NodeType = ntMultiDecision;
      if (n->NodeType == ntMultiDecision && rng() % 2) n->DecisionMultiBudget = int(rng() % 300);
      // Equal payoffs make equally good options, where the first must win.
      if (rng() % 3 == 0) n->Payoff = DoubleToCurrency(rng() % 2 ? 5 : 0);
    }
    // A few clones, where the links are allowed; a link frees the clone's
    // subtree.
    for (int i = 0; i < 3; ++i) {
      nodes.clear();
      Preorder(t.Root.get(), nodes);
      nodes[rng() % nodes.size()]->SetCloneMaster(nodes[rng() % nodes.size()]->Id);
    }
    t.Recalculate();

    auto before = t.Root->CopySubtree(nullptr, false, nullptr);
    auto expected = t.Root->CopySubtree(nullptr, false, nullptr);
    ReferenceOptimize(expected.get());
    t.Root->OptimizeDecisions();
    std::vector<TDecTreeNode*> old, want, got;
    Preorder(before.get(), old);
    Preorder(expected.get(), want);
    Preorder(t.Root.get(), got);
    ASSERT_EQ(want.size(), got.size());
    bool changes = false;
    for (size_t i = 0; i < got.size(); ++i) {
      ASSERT_TRUE(SameBits(got[i]->Probability, want[i]->Probability)) << round << " node " << i;
      changes |= !SameBits(old[i]->Probability, want[i]->Probability);
    }
    roundsWithChanges += changes;
  }
  // The trees give the optimisation something to do.
  EXPECT_GT(roundsWithChanges, 100);
}
