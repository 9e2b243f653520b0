// Chooses, among all subsets of a multi-decision's options whose total cost
// fits the budget, the one of highest and the one of lowest total worth.
#pragma once

#include "foundation/PrivateArrayList.h"

#include <cstdint>
#include <vector>

namespace bw {

class TDecTreeNode;

class TProject {
public:
  TProject(TDecTreeNode* node, double cost, double value) : Cost(cost), Value(value), Node(node) {}
  double Cost;  // currency units; the option's payoff negated
  double Value; // currency units; expected value plus payoff
  bool InMax = false;
  bool InMin = false;
  TDecTreeNode* Node;
};

using TProjectList = TPrivateArrayList<TProject*>;

class TMultiOptionSolver {
public:
  virtual ~TMultiOptionSolver() = default;
  virtual void Solve(TProjectList& projects, const double& budget) = 0;
};

// The results are those of judging every subset in binary-counter order
// (item 0 the lowest bit, the empty subset first; a subset fits when its cost
// is at most the budget; a later subset replaces the best only when strictly
// better, likewise the worst). Costs, worths and the budget are compared as
// exact ten-thousandths, so a subset that costs exactly the budget fits.
class TMultiOptionFullSolverQuick : public TMultiOptionSolver {
public:
  void Solve(TProjectList& projects, const double& budget) override;
};

namespace solver {

// One option in exact ten-thousandths.
struct Item {
  __int128 Cost;
  __int128 Worth;
};

struct Result {
  std::vector<bool> Best;
  std::vector<bool> Worst;
};

// Ten-thousandths of a currency amount, clamped so that the sums of any
// subset stay exact.
__int128 ToUnits(double value);

// Judges every subset, one after the other: the definition of the results.
Result SolveByEnumeration(const std::vector<Item>& items, __int128 budget);
// The same results by meeting in the middle: two halves of the options are
// enumerated separately and joined through sorted prefix extremes.
Result SolveByHalves(const std::vector<Item>& items, __int128 budget);

} // namespace solver

} // namespace bw
