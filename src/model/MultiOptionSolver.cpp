#include "model/MultiOptionSolver.h"
#include "foundation/Rounding.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace bw::solver {

namespace {

// 2^100: sums of up to 2^26 items stay within 128 bits.
constexpr long double UnitLimit = 1267650600228229401496703205376.0L;

using Mask = uint64_t;

// The lower half is kept in memory (sorted by cost); the upper half is walked
// in counter order without being stored, so memory stays bounded.
constexpr size_t MaxLowCount = 22;

template <typename T>
struct LowEntry {
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

template <typename T>
Result SolveByHalvesIn(const std::vector<Item>& items, T budget) {
  size_t n = items.size();
  size_t lowCount = std::min(n / 2, MaxLowCount), highCount = n - lowCount;

  std::vector<LowEntry<T>> low(size_t(1) << lowCount);
  low[0] = {0, 0, 0};
  for (size_t mask = 1; mask < low.size(); ++mask) {
    const LowEntry<T>& rest = low[mask & (mask - 1)];
    const Item& item = items[static_cast<size_t>(__builtin_ctzll(mask))];
    low[mask] = {static_cast<T>(rest.Cost + item.Cost), static_cast<T>(rest.Worth + item.Worth),
                 static_cast<uint32_t>(mask)};
  }
  std::sort(low.begin(), low.end(), [](const LowEntry<T>& a, const LowEntry<T>& b) {
    return a.Cost < b.Cost || (a.Cost == b.Cost && a.Bits < b.Bits);
  });
  std::vector<Extremes<T>> prefix(low.size());
  Extremes<T> current{low[0].Worth, low[0].Worth, low[0].Bits, low[0].Bits};
  for (size_t i = 0; i < low.size(); ++i) {
    const LowEntry<T>& e = low[i];
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

  // Counter order is the order of the whole mask: the upper half decides
  // first, the lower half among equal upper halves. The upper half is walked
  // in counter order, so "strictly better" keeps the first.
  bool haveBest = false, haveWorst = false;
  T bestWorth = 0, worstWorth = 0;
  Mask bestLow = 0, bestHigh = 0, worstLow = 0, worstHigh = 0;
  T highCost = 0, highWorth = 0;
  Mask high = 0;
  for (;;) {
    T room = budget - highCost;
    auto end = std::upper_bound(low.begin(), low.end(), room,
                                [](T r, const LowEntry<T>& e) { return r < e.Cost; });
    if (end != low.begin()) {
      const Extremes<T>& x = prefix[static_cast<size_t>(end - low.begin()) - 1];
      T top = highWorth + x.Most;
      if (!haveBest || top > bestWorth) {
        haveBest = true;
        bestWorth = top;
        bestHigh = high;
        bestLow = x.MostBits;
      }
      T bottom = highWorth + x.Least;
      if (!haveWorst || bottom < worstWorth) {
        haveWorst = true;
        worstWorth = bottom;
        worstHigh = high;
        worstLow = x.LeastBits;
      }
    }
    // Next upper-half subset: set the lowest clear bit, clear those below it.
    size_t i = 0;
    while (i < highCount && ((high >> i) & 1))
      ++i;
    if (i == highCount) break;
    high |= Mask(1) << i;
    highCost += static_cast<T>(items[lowCount + i].Cost);
    highWorth += static_cast<T>(items[lowCount + i].Worth);
    for (size_t j = 0; j < i; ++j) {
      high &= ~(Mask(1) << j);
      highCost -= static_cast<T>(items[lowCount + j].Cost);
      highWorth -= static_cast<T>(items[lowCount + j].Worth);
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

void TMultiOptionFullSolverQuick::Solve(TProjectList& projects, const double& budget) {
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
