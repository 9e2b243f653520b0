#include "model/MultiOptionSolver.h"
#include "foundation/Assert.h"
#include "foundation/Rounding.h"
#include "model/DecTreeNode.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace bw::solver {

namespace {

// 2^100: sums of up to 2^26 items stay within 128 bits.
constexpr long double UnitLimit = 1267650600228229401496703205376.0L;

using Mask = uint64_t;

template <typename T>
struct Entry {
  T Cost;
  T Worth;
  uint32_t Bits;
};

// For a prefix of the lower half sorted by cost: the most and the least
// worth, each with the smallest mask that reaches it.
template <typename T>
struct Extremes {
  T Most;
  T Least;
  uint32_t MostBits;
  uint32_t LeastBits;
};

std::vector<bool> MaskToFlags(size_t n, Mask low, Mask high, size_t lowCount) {
  std::vector<bool> flags(n);
  for (size_t i = 0; i < lowCount; ++i)
    flags[i] = (low >> i) & 1;
  for (size_t i = lowCount; i < n; ++i)
    flags[i] = (high >> (i - lowCount)) & 1;
  return flags;
}

// Every subset of items[first, first + count) with its sums, sorted by cost:
// the sorted subsets of the first k items, merged with the same list shifted
// by item k. Linear in the number of subsets, no sorting.
template <typename T>
std::vector<Entry<T>> SortedSubsets(const std::vector<Item>& items, size_t first, size_t count) {
  std::vector<Entry<T>> list, next;
  list.reserve(size_t(1) << count);
  next.reserve(size_t(1) << count);
  list.push_back({0, 0, 0});
  for (size_t k = 0; k < count; ++k) {
    const T cost = static_cast<T>(items[first + k].Cost);
    const T worth = static_cast<T>(items[first + k].Worth);
    const uint32_t bit = uint32_t(1) << k;
    next.clear();
    size_t a = 0, b = 0;
    const size_t size = list.size();
    while (a < size || b < size) {
      if (b == size || (a < size && list[a].Cost <= list[b].Cost + cost)) {
        next.push_back(list[a++]);
      } else {
        const Entry<T>& e = list[b++];
        next.push_back(
            {static_cast<T>(e.Cost + cost), static_cast<T>(e.Worth + worth), e.Bits | bit});
      }
    }
    list.swap(next);
  }
  return list;
}

// Counter order is the order of the whole mask: the upper half decides
// first, the lower half among equal upper halves. So among subsets of equal
// worth the first in counter order has the smallest upper mask, and then
// the smallest lower mask.
template <typename T>
Result SolveByHalvesIn(const std::vector<Item>& items, T budget) {
  const size_t n = items.size();
  const size_t lowCount = n / 2, highCount = n - lowCount;

  std::vector<Entry<T>> low = SortedSubsets<T>(items, 0, lowCount);
  std::vector<Extremes<T>> prefix(low.size());
  Extremes<T> current{low[0].Worth, low[0].Worth, low[0].Bits, low[0].Bits};
  for (size_t i = 0; i < low.size(); ++i) {
    const Entry<T>& e = low[i];
    if (e.Worth > current.Most || (e.Worth == current.Most && e.Bits < current.MostBits)) {
      current.Most = e.Worth;
      current.MostBits = e.Bits;
    }
    if (e.Worth < current.Least || (e.Worth == current.Least && e.Bits < current.LeastBits)) {
      current.Least = e.Worth;
      current.LeastBits = e.Bits;
    }
    prefix[i] = current;
  }
  std::vector<T> lowCost(low.size());
  for (size_t i = 0; i < low.size(); ++i)
    lowCost[i] = low[i].Cost;
  std::vector<Entry<T>>().swap(low);

  // The upper halves from the costliest down: the room left for the lower
  // half only grows, so one pass over the lower half serves them all.
  std::vector<Entry<T>> high = SortedSubsets<T>(items, lowCount, highCount);
  bool haveBest = false, haveWorst = false;
  T bestWorth = 0, worstWorth = 0;
  Mask bestLow = 0, bestHigh = 0, worstLow = 0, worstHigh = 0;
  size_t fit = 0; // lower subsets with cost <= room
  for (size_t h = high.size(); h-- > 0;) {
    const Entry<T>& e = high[h];
    const T room = budget - e.Cost;
    while (fit < lowCost.size() && lowCost[fit] <= room)
      ++fit;
    if (fit == 0) continue;
    const Extremes<T>& x = prefix[fit - 1];
    const T top = e.Worth + x.Most;
    if (!haveBest || top > bestWorth || (top == bestWorth && e.Bits < bestHigh)) {
      haveBest = true;
      bestWorth = top;
      bestHigh = e.Bits;
      bestLow = x.MostBits;
    }
    const T bottom = e.Worth + x.Least;
    if (!haveWorst || bottom < worstWorth || (bottom == worstWorth && e.Bits < worstHigh)) {
      haveWorst = true;
      worstWorth = bottom;
      worstHigh = e.Bits;
      worstLow = x.LeastBits;
    }
  }
  Result r;
  // The empty subset starts as both best and worst, with worth 0.
  r.Best = haveBest && bestWorth > 0 ? MaskToFlags(n, bestLow, bestHigh, lowCount)
                                     : std::vector<bool>(n);
  r.Worst = haveWorst && worstWorth < 0 ? MaskToFlags(n, worstLow, worstHigh, lowCount)
                                        : std::vector<bool>(n);
  return r;
}

__int128 Abs(__int128 v) {
  return v < 0 ? -v : v;
}

} // namespace

__int128 ToUnits(double value) {
  long double units = RoundHalfEven(static_cast<long double>(value) * 10000.0L);
  if (std::isnan(units)) return 0;
  units = std::clamp(units, -UnitLimit, UnitLimit);
  return static_cast<__int128>(units);
}

Result SolveByEnumeration(const std::vector<Item>& items, __int128 budget) {
  size_t n = items.size();
  std::vector<bool> current(n), best(n), worst(n);
  __int128 costSum = 0, worthSum = 0, bestWorth = 0, worstWorth = 0;
  for (;;) {
    if (costSum <= budget) {
      if (worthSum > bestWorth) {
        best = current;
        bestWorth = worthSum;
      } else if (worthSum < worstWorth) {
        worst = current;
        worstWorth = worthSum;
      }
    }
    size_t i = 0;
    while (i < n && current[i])
      ++i;
    if (i == n) break;
    current[i] = true;
    costSum += items[i].Cost;
    worthSum += items[i].Worth;
    for (size_t j = 0; j < i; ++j) {
      current[j] = false;
      costSum -= items[j].Cost;
      worthSum -= items[j].Worth;
    }
  }
  return {best, worst};
}

Result SolveByHalves(const std::vector<Item>& items, __int128 budget) {
  BW_ASSERT(items.size() <= 2 * 32);
  // 64-bit sums are enough, and twice as compact, unless the amounts are huge.
  constexpr __int128 Safe = __int128(1) << 61;
  __int128 costs = Abs(budget), worths = 0;
  for (const Item& item : items) {
    costs += Abs(item.Cost);
    worths += Abs(item.Worth);
  }
  if (costs < Safe && worths < Safe)
    return SolveByHalvesIn<int64_t>(items, static_cast<int64_t>(budget));
  return SolveByHalvesIn<__int128>(items, budget);
}

} // namespace bw::solver

namespace bw {

bool ExceedsSolverBound(const TDecTreeNode& node) {
  return node.NodeType == ntMultiDecision && !node.DecisionFixed &&
         node.DecisionMultiBudget != -1 && node.ChildCount() > MaxSolvedOptions;
}

const TDecTreeNode* FindUnsolvedMultiDecision(const TDecTreeNode& root) {
  std::vector<const TDecTreeNode*> stack{&root};
  while (!stack.empty()) {
    const TDecTreeNode* n = stack.back();
    stack.pop_back();
    if (ExceedsSolverBound(*n)) return n;
    for (int i = n->ChildCount() - 1; i >= 0; --i)
      stack.push_back(n->Child(i));
  }
  return nullptr;
}

void TMultiOptionFullSolverQuick::Solve(TProjectList& projects, const double& budget) {
  // Beyond the bound the search would take too long and too much memory;
  // the roll-back does not ask for it (see ExceedsSolverBound).
  BW_ASSERT(projects.Count() <= MaxSolvedOptions);
  std::vector<solver::Item> items;
  items.reserve(static_cast<size_t>(projects.Count()));
  for (const TProject* p : projects)
    items.push_back({solver::ToUnits(p->Cost), solver::ToUnits(p->Value)});
  __int128 limit = solver::ToUnits(budget);
  // A handful of options is judged faster one by one than by sorting halves.
  solver::Result r = items.size() <= 12 ? solver::SolveByEnumeration(items, limit)
                                        : solver::SolveByHalves(items, limit);
  for (int i = 0; i < projects.Count(); ++i) {
    projects[i]->InMax = r.Best[static_cast<size_t>(i)];
    projects[i]->InMin = r.Worst[static_cast<size_t>(i)];
  }
}

} // namespace bw
