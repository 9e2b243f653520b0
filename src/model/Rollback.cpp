// Roll-back of expected, minimum and maximum values, path values, taking
// options and optimisation. Sums and products are formed in long double
// (80 bits on x86) and rounded to double only where a value is stored; the
// values, and the texts made of them, depend on this to their last digit.
#include "foundation/Assert.h"
#include "foundation/Rounding.h"
#include "model/DecTreeNode.h"
#include "model/MultiOptionSolver.h"

#include <bit>
#include <cmath>
#include <cstdint>

namespace bw {

#define NODE_ASSERT(cond) BW_ASSERT_IN(cond, "DecTreeComponent")

namespace {

using Extended = long double;

// ((p / S) * (x * 10000 + payoff) + acc * 10000) / 10000, stored as a Double.
inline double Accumulate(double acc, Extended weight, double x, Currency payoff) {
  Extended sum = weight * (static_cast<Extended>(x) * 10000 + static_cast<Extended>(payoff)) +
                 static_cast<Extended>(acc) * 10000;
  return static_cast<double>(sum / 10000);
}

// A child of weight 0 adds nothing: (0 * (x * 10000 + payoff) + acc * 10000)
// / 10000 comes back to acc for every finite acc and x, as the two roundings
// in the extended format stay far within half a unit of the double's last
// place (and acc is never -0, which the sum would turn into +0). The sum is
// then left as it is, which saves most of the work for the options not taken.
inline bool AddsNothing(Extended weight, double x, double acc) {
  return weight == 0 && std::isfinite(x) && std::isfinite(acc);
}

// Two decimals, ties to the even hundredth.
inline double RoundCents(double x) {
  return static_cast<double>(RoundHalfEvenFast(static_cast<Extended>(x) * 100) / 100);
}

// p / s, the weight of a child; a child that takes the whole sum (the taken
// option of a decision) weighs exactly 1 without a division.
inline Extended Weight(double probability, double sum) {
  return probability == sum && probability != 0 && std::isfinite(sum)
             ? Extended(1)
             : static_cast<Extended>(probability) / sum;
}

// Bit for bit: equal inputs give equal results, which saves the work twice.
inline bool Same(double a, double b) {
  return std::bit_cast<uint64_t>(a) == std::bit_cast<uint64_t>(b);
}

inline double ChildPathProbability(double pathProbability, double probability, double sum) {
  return sum == 0 ? 0
                  : static_cast<double>(static_cast<Extended>(pathProbability) * probability / sum);
}

inline double ChildPathPayoff(double pathPayoff, Currency payoff) {
  return static_cast<double>(
      (static_cast<Extended>(pathPayoff) * 10000 + static_cast<Extended>(payoff)) / 10000);
}

// The worth of an option: its expected value plus its own payoff.
inline double Worth(const TDecTreeNode* c) {
  return static_cast<double>(
      (static_cast<Extended>(c->Value) * 10000 + static_cast<Extended>(c->Payoff)) / 10000);
}

} // namespace

void TDecTreeNode::Evaluate() {
  RollBack<false>(0, 0, nullptr, 0);
}

void TDecTreeNode::EvaluateAndPropagate(double pathProbability, double pathPayoff,
                                        TRollBackObserver* observer) {
  RollBack<true>(pathProbability, pathPayoff, observer, 0);
}

// Path values flow down before a child is visited and values flow up after
// it, so one walk can do both; the arithmetic is that of Evaluate and
// PropagatePath, step for step.
template <bool WithPaths>
void TDecTreeNode::RollBack(double pathProbability, double pathPayoff, TRollBackObserver* observer,
                            int index) {
  // A leaf of any type rolls back to zero: the rounding would change nothing.
  if (Children.Count() == 0) {
    Value = MinValue = MaxValue = 0;
    if constexpr (WithPaths) {
      PathProbability = pathProbability;
      PathPayoff = pathPayoff;
    }
    if (observer) {
      observer->Enter(this, index);
      observer->Leave(this);
    }
    return;
  }
  if (observer) observer->Enter(this, index);
  // The walk waits on memory: the children's own child lists are asked
  // for while their probabilities are read.
  double pathSum = 100;
  if constexpr (WithPaths) {
    if (NodeType != ntMultiDecision) {
      pathSum = 0;
      for (const TDecTreeNode* c : Children) {
        __builtin_prefetch(c->Children.begin());
        pathSum += c->Probability;
      }
    }
  }
  double s = 0;
  for (int i = 0; i < Children.Count(); ++i) {
    TDecTreeNode* c = Children.begin()[i];
    c->OnPath = OnPath && c->Probability > 0;
    if constexpr (WithPaths)
      c->RollBack<true>(ChildPathProbability(pathProbability, c->Probability, pathSum),
                        ChildPathPayoff(pathPayoff, c->Payoff), observer, i);
    else
      c->RollBack<false>(0, 0, nullptr, i);
    s += c->Probability;
  }
  if (NodeType != ntChance) s = 100;
  CombineChildren(s);
  if (observer) observer->Leave(this);
}

// The node's values from its children's values and weights; s is the sum the
// weights are divided by (100 for decisions and multi-decisions).
void TDecTreeNode::CombineChildren(double s) {
  // Too many options to search within the budget: valued as if fixed.
  if (NodeType == ntMultiDecision && !DecisionFixed && !ExceedsSolverBound(*this)) {
    Value = 0;
    std::tie(MinValue, MaxValue) = SolveMultiDecision(true);
    for (const TDecTreeNode* c : Children) {
      const Extended w = Weight(c->Probability, s);
      if (!AddsNothing(w, c->Value, Value)) Value = Accumulate(Value, w, c->Value, c->Payoff);
    }
  } else if (NodeType == ntDecision && !DecisionFixed) {
    Value = 0;
    double lo = 1.7E308, hi = -1.7E308;
    for (const TDecTreeNode* c : Children) {
      const Extended w = Weight(c->Probability, s);
      if (!AddsNothing(w, c->Value, Value)) Value = Accumulate(Value, w, c->Value, c->Payoff);
      Extended m = static_cast<Extended>(c->MinValue) * 10000 + static_cast<Extended>(c->Payoff);
      if (static_cast<Extended>(lo) * 10000 > m) lo = static_cast<double>(m / 10000);
      Extended M = static_cast<Extended>(c->MaxValue) * 10000 + static_cast<Extended>(c->Payoff);
      if (static_cast<Extended>(hi) * 10000 < M) hi = static_cast<double>(M / 10000);
    }
    MinValue = lo;
    MaxValue = hi;
  } else {
    Value = MinValue = MaxValue = 0;
    if (s != 0) {
      for (const TDecTreeNode* c : Children) {
        const Extended w = Weight(c->Probability, s);
        if (AddsNothing(w, c->Value, Value) && AddsNothing(w, c->MinValue, MinValue) &&
            AddsNothing(w, c->MaxValue, MaxValue))
          continue;
        // Equal inputs give equal results: a subtree without decisions has
        // one value for all three, worked out once.
        if (Same(Value, MinValue) && Same(Value, MaxValue) && Same(c->Value, c->MinValue) &&
            Same(c->Value, c->MaxValue)) {
          Value = MinValue = MaxValue = Accumulate(Value, w, c->Value, c->Payoff);
        } else {
          Value = Accumulate(Value, w, c->Value, c->Payoff);
          MinValue = Accumulate(MinValue, w, c->MinValue, c->Payoff);
          MaxValue = Accumulate(MaxValue, w, c->MaxValue, c->Payoff);
        }
      }
    }
  }
  double rounded = RoundCents(Value);
  MinValue = Same(MinValue, Value) ? rounded : RoundCents(MinValue);
  MaxValue = Same(MaxValue, Value) ? rounded : RoundCents(MaxValue);
  Value = rounded;
}

std::pair<double, double> TDecTreeNode::SolveMultiDecision(bool evaluateOnly) {
  double minimum = 0, maximum = 0;
  if (DecisionMultiBudget == -1) {
    for (TDecTreeNode* c : Children) {
      double v = Worth(c);
      if (v > 0) {
        maximum += v;
        if (!evaluateOnly) c->Probability = 100;
      } else {
        minimum += v;
        if (!evaluateOnly) c->Probability = 0;
      }
    }
    return {minimum, maximum};
  }
  // Not searched: the roll-back values such a node as a fixed one.
  if (Children.Count() > MaxSolvedOptions) return {minimum, maximum};
  TProjectList projects(32, true, true);
  for (TDecTreeNode* c : Children)
    projects.Add(
        new TProject(c, -static_cast<double>(static_cast<Extended>(c->Payoff) / 10000), Worth(c)));
  double budget = DecisionMultiBudget;
  TMultiOptionFullSolverQuick().Solve(projects, budget);
  for (TProject* p : projects) {
    if (!evaluateOnly) p->Node->Probability = p->InMax ? 100 : 0;
    if (p->InMax) maximum += p->Value;
    if (p->InMin) minimum += p->Value;
  }
  return {minimum, maximum};
}

void TDecTreeNode::PropagatePath(double pathProbability, double pathPayoff) {
  if (Children.Count() == 0) {
    PathProbability = pathProbability;
    PathPayoff = pathPayoff;
    return;
  }
  double s = 0;
  if (NodeType == ntMultiDecision)
    s = 100;
  else
    for (const TDecTreeNode* c : Children)
      s += c->Probability;
  for (TDecTreeNode* c : Children)
    c->PropagatePath(ChildPathProbability(pathProbability, c->Probability, s),
                     ChildPathPayoff(pathPayoff, c->Payoff));
}

void TDecTreeNode::TakeOption() {
  NODE_ASSERT(Parent && Parent->IsDecisionType());
  TDecTreeNode* option = this;
  if (HasCloneAncestor()) {
    // The clone's copies are rebuilt from the master: change the master. A
    // master that is missing, or has no such option, leaves nothing to do.
    option = GetMasterNode();
    if (!option || option == this || !option->Parent || !option->Parent->IsDecisionType()) return;
  }
  TDecTreeNode* parent = option->Parent;
  if (parent->NodeType == ntDecision) {
    for (TDecTreeNode* c : parent->Children)
      c->Probability = c == option ? 100 : 0;
  } else {
    option->Probability = option->Probability == 0 ? 100 : 0;
  }
}

void TDecTreeNode::OptimizeDecisions() {
  // Clones mirror their masters: the masters are optimised, and the clones
  // follow at the next recalculation.
  if (Children.Count() == 0 || IsCloneOrInClone()) return;
  OptimizeSubtree();
}

// Bottom-up in one walk. A node's values depend only on its own subtree, so
// once its children are optimised and rolled back, each option of a decision
// is weighed by combining the children's values again, without rolling back
// their subtrees once per option; the arithmetic is the roll-back's own, so
// the options chosen are those of rolling back the whole subtree each time.
void TDecTreeNode::OptimizeSubtree() {
  if (Children.Count() == 0) {
    Value = MinValue = MaxValue = 0;
    return;
  }
  // A clone's copies are not optimised; their values count as they stand.
  if (IsClone()) {
    Evaluate();
    return;
  }
  for (TDecTreeNode* c : Children)
    c->OptimizeSubtree();
  if (NodeType == ntDecision && !DecisionFixed) {
    // The first best option wins: a later one only when strictly greater.
    TDecTreeNode* best = nullptr;
    double bestValue = 0;
    for (TDecTreeNode* option : Children) {
      for (TDecTreeNode* c : Children)
        c->Probability = c == option ? 100 : 0;
      CombineChildren(100);
      if (!best || Value > bestValue) {
        best = option;
        bestValue = Value;
      }
    }
    for (TDecTreeNode* c : Children)
      c->Probability = c == best ? 100 : 0;
  } else if (NodeType == ntMultiDecision && !DecisionFixed && !ExceedsSolverBound(*this)) {
    SolveMultiDecision(false);
  }
  double s = 100;
  if (NodeType == ntChance) {
    s = 0;
    for (const TDecTreeNode* c : Children)
      s += c->Probability;
  }
  CombineChildren(s);
}

} // namespace bw
