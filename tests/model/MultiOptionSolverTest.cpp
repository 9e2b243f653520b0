#include "model/MultiOptionSolver.h"
#include "support/TreeBuilder.h"

#include <gtest/gtest.h>

#include <cmath>

#include <random>

using namespace bw;
using namespace bw::solver;

namespace {

struct Option {
  double Cost, Worth;
};

std::vector<bool> Flags(std::initializer_list<int> bits) {
  std::vector<bool> v;
  for (int b : bits)
    v.push_back(b != 0);
  return v;
}

// Runs the solver object as the roll-back does and returns (best, worst).
std::pair<std::vector<bool>, std::vector<bool>> SolveOptions(const std::vector<Option>& options,
                                                             double budget) {
  TProjectList projects(32, true, true);
  for (const Option& o : options)
    projects.Add(new TProject(nullptr, o.Cost, o.Worth));
  TMultiOptionFullSolverQuick().Solve(projects, budget);
  std::vector<bool> best, worst;
  for (const TProject* p : projects) {
    best.push_back(p->InMax);
    worst.push_back(p->InMin);
  }
  return {best, worst};
}

std::vector<Item> Units(const std::vector<Option>& options) {
  std::vector<Item> items;
  for (const Option& o : options)
    items.push_back({ToUnits(o.Cost), ToUnits(o.Worth)});
  return items;
}

// A plain judging to compare with: every subset in turn, its cost and worth
// summed in double as it goes.
std::pair<std::vector<bool>, std::vector<bool>> DoubleEnumeration(const std::vector<Option>& o,
                                                                  double budget) {
  size_t n = o.size();
  std::vector<bool> cur(n), best(n), worst(n);
  double cost = 0, worth = 0, b = 0, w = 0;
  for (;;) {
    if (cost <= budget) {
      if (worth > b) {
        best = cur;
        b = worth;
      } else if (worth < w) {
        worst = cur;
        w = worth;
      }
    }
    size_t i = 0;
    while (i < n && cur[i])
      ++i;
    if (i == n) break;
    cur[i] = true;
    cost += o[i].Cost;
    worth += o[i].Worth;
    for (size_t j = 0; j < i; ++j) {
      cur[j] = false;
      cost -= o[j].Cost;
      worth -= o[j].Worth;
    }
  }
  return {best, worst};
}

} // namespace

TEST(MultiOptionSolver, WorkedExamples) {
  EXPECT_EQ(SolveOptions({}, 100).first.size(), 0u);
  auto r = SolveOptions({{100, 50}, {100, 60}}, 100);
  EXPECT_EQ(r.first, Flags({0, 1}));
  EXPECT_EQ(r.second, Flags({0, 0}));
  EXPECT_EQ(SolveOptions({{100, 50}, {100, 60}}, 200).first, Flags({1, 1}));
  // Equal worths: the first in counter order.
  EXPECT_EQ(SolveOptions({{50, 10}, {50, 10}}, 50).first, Flags({1, 0}));
  // An income lets a costlier option fit.
  EXPECT_EQ(SolveOptions({{-50, 50}, {120, 30}}, 100).first, Flags({1, 1}));
  // Negative worth at no cost: worst, never best.
  r = SolveOptions({{0, -5}, {10, 3}}, 10);
  EXPECT_EQ(r.first, Flags({0, 1}));
  EXPECT_EQ(r.second, Flags({1, 0}));
  // A negative budget without income fits nothing.
  r = SolveOptions({{10, 5}, {10, -5}}, -1);
  EXPECT_EQ(r.first, Flags({0, 0}));
  EXPECT_EQ(r.second, Flags({0, 0}));
}

TEST(MultiOptionSolver, CostEqualToTheBudgetFits) {
  std::vector<Option> options = {{516.59, 1}, {135.71, 1}, {0.70, 1}};
  EXPECT_EQ(SolveOptions(options, 653).first, Flags({1, 1, 1}));
  // Running Double sums judge the same subset over budget.
  EXPECT_EQ(DoubleEnumeration(options, 653).first, Flags({1, 1, 0}));
}

TEST(MultiOptionSolver, HalvesAgreeWithEnumerationOnRandomCases) {
  std::mt19937 rng(20261207);
  for (int round = 0; round < 4000; ++round) {
    size_t n = rng() % 17;
    std::vector<Option> options;
    int style = static_cast<int>(rng() % 4);
    for (size_t i = 0; i < n; ++i) {
      // Few distinct values make ties and zero costs frequent.
      auto pick = [&](int spread) {
        return static_cast<double>(static_cast<int>(rng() % (2 * spread + 1)) - spread);
      };
      double cost = style == 0 ? pick(3) : pick(200) + (style == 1 ? 0.01 * pick(99) : 0);
      double worth = style == 0 ? pick(2) : pick(300) + (style == 2 ? 0.01 * pick(99) : 0);
      options.push_back({cost, worth});
    }
    double budget = static_cast<double>(static_cast<int>(rng() % 601) - 150);
    std::vector<Item> items = Units(options);
    Result plain = SolveByEnumeration(items, ToUnits(budget));
    Result halves = SolveByHalves(items, ToUnits(budget));
    ASSERT_EQ(halves.Best, plain.Best) << "round " << round;
    ASSERT_EQ(halves.Worst, plain.Worst) << "round " << round;
    auto run = SolveOptions(options, budget);
    ASSERT_EQ(run.first, plain.Best);
    ASSERT_EQ(run.second, plain.Worst);
    if (style == 0) {
      // Whole numbers: no rounding drift, so the Double judging agrees too.
      auto literal = DoubleEnumeration(options, budget);
      ASSERT_EQ(literal.first, plain.Best) << "round " << round;
      ASSERT_EQ(literal.second, plain.Worst) << "round " << round;
    }
  }
}

TEST(MultiOptionSolver, HugeAmountsStayExact) {
  std::vector<Option> options = {{9e17, 9e17}, {9e17, 9e17}, {-9e17, 1}};
  for (int i = 0; i < 12; ++i)
    options.push_back({1e18, 1e18});
  std::vector<Item> items = Units(options);
  Result plain = SolveByEnumeration(items, ToUnits(1.8e18));
  Result halves = SolveByHalves(items, ToUnits(1.8e18));
  EXPECT_EQ(halves.Best, plain.Best);
  EXPECT_EQ(halves.Worst, plain.Worst);
  EXPECT_EQ(ToUnits(std::nan("")), 0);
}

TEST(MultiOptionSolver, HalvesAgreeWithEnumerationOnWiderCases) {
  // Up to 20 options, so that both halves hold many subsets of equal cost
  // and worth, which the tie-breaks must order as counter order does.
  std::mt19937 rng(7);
  for (int round = 0; round < 20; ++round) {
    size_t n = 13 + rng() % 8;
    std::vector<Item> items;
    bool huge = round % 5 == 4;
    for (size_t i = 0; i < n; ++i) {
      __int128 cost = static_cast<int>(rng() % 7) - 2, worth = static_cast<int>(rng() % 5) - 2;
      if (huge) {
        cost *= __int128(1) << 70;
        worth *= __int128(1) << 75;
      }
      items.push_back({cost, worth});
    }
    __int128 budget = static_cast<int>(rng() % 9) - 1;
    if (huge) budget *= __int128(1) << 70;
    Result plain = SolveByEnumeration(items, budget);
    Result halves = SolveByHalves(items, budget);
    ASSERT_EQ(halves.Best, plain.Best) << "round " << round;
    ASSERT_EQ(halves.Worst, plain.Worst) << "round " << round;
  }
}

namespace {

// A budgeted multi-decision with n options of cost 10 and worth 1, 2, ...
// (payoff -10 and a subtree worth 11, 12, ...), the first taken.
void WideMultiDecision(test::Tree& t, int n, int budget) {
  t.Root->NodeType = ntMultiDecision;
  t.Root->DecisionMultiBudget = budget;
  for (int i = 0; i < n; ++i) {
    TDecTreeNode* option = test::Add(t.Root.get(), ntChance, i == 0 ? 100 : 0, -10);
    test::Leaf(option, 100, 11 + i);
  }
}

} // namespace

TEST(MultiOptionSolver, WiderMultiDecisionsAreValuedAsFixed) {
  // At the bound the options are searched: the budget of 20 takes the two
  // best, worth n and n - 1.
  test::Tree solved;
  WideMultiDecision(solved, MaxSolvedOptions, 20);
  solved.Recalculate();
  EXPECT_FALSE(ExceedsSolverBound(*solved.Root));
  EXPECT_EQ(solved.Root->MaxValue, 2 * MaxSolvedOptions - 1);
  EXPECT_EQ(solved.Root->MinValue, 0);
  EXPECT_EQ(FindUnsolvedMultiDecision(*solved.Root), nullptr);

  // One more, and the node counts as fixed: its value, minimum and maximum
  // are those of the options taken, and optimising leaves them as they are.
  test::Tree wide;
  WideMultiDecision(wide, MaxSolvedOptions + 1, 20);
  wide.Recalculate();
  EXPECT_TRUE(ExceedsSolverBound(*wide.Root));
  EXPECT_EQ(FindUnsolvedMultiDecision(*wide.Root), wide.Root.get());
  EXPECT_EQ(wide.Root->Value, 1);
  EXPECT_EQ(wide.Root->MinValue, 1);
  EXPECT_EQ(wide.Root->MaxValue, 1);
  wide.Root->OptimizeDecisions();
  EXPECT_EQ(wide.Root->Child(0)->Probability, 100);
  EXPECT_EQ(wide.Root->Child(1)->Probability, 0);

  // Without a budget, or fixed, nothing is searched and there is no bound.
  wide.Root->DecisionMultiBudget = -1;
  EXPECT_FALSE(ExceedsSolverBound(*wide.Root));
  wide.Root->DecisionMultiBudget = 20;
  wide.Root->DecisionFixed = true;
  EXPECT_FALSE(ExceedsSolverBound(*wide.Root));
}
