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
// At most MaxSolvedOptions options.
class TMultiOptionFullSolverQuick : public TMultiOptionSolver {
public:
  void Solve(TProjectList& projects, const double& budget) override;
};

// The most options of a budgeted multi-decision that are searched for the
// best and worst subsets. The search takes time and memory in proportion to
// 2^(n/2): at 40 options about 0.1 s and 100 MB at worst, and every step
// beyond doubles both every two options, at every recalculation.
constexpr int MaxSolvedOptions = 40;

// A multi-decision with a budget, not fixed, with more options than are
// searched: the roll-back gives it the values of a fixed decision (its
// options as taken), optimisation leaves its options alone, and the drawing
// and the status bar say so.
bool ExceedsSolverBound(const TDecTreeNode& node);
// The first such node in pre-order, or nullptr.
const TDecTreeNode* FindUnsolvedMultiDecision(const TDecTreeNode& root);

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
// The same results by meeting in the middle: the subsets of each half of the
// options are listed in order of cost, and one pass over both joins each
// upper subset with the best and worst lower subset that still fits. At most
// 64 options.
Result SolveByHalves(const std::vector<Item>& items, __int128 budget);

} // namespace solver

} // namespace bw
