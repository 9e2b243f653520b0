#include "model/MultiOptionSolver.h"

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

// The judging as first written, with running Double sums.
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
