// The model's costs on large trees: recalculation runs after every keystroke
// and every undo step copies the whole tree.
#include "model/MultiOptionSolver.h"
#include "support/TreeGenerator.h"

#include <benchmark/benchmark.h>

#include <malloc.h>
#include <random>

using namespace bw;
using namespace bw::bench;

namespace {
constexpr int Size = 100000;

struct Fixture {
  TTreeContext Context;
  GeneratedTree Tree;
  Fixture() : Tree(GenerateTree(Context, Size)) {}
};

Fixture& Shared() {
  static Fixture f;
  return f;
}
} // namespace

static void BM_Recalculate100k(benchmark::State& state) {
  Fixture& f = Shared();
  TDecTreeNode* root = f.Tree.Root.get();
  for (auto _ : state) {
    root->OnPath = true;
    root->SyncClones();
    root->EvaluateAndPropagate(1.0, CurrencyToDouble(root->Payoff));
    benchmark::DoNotOptimize(root->Value);
  }
  state.counters["nodes"] = CountNodes(root);
  state.counters["clones"] = f.Tree.Clones;
}
BENCHMARK(BM_Recalculate100k)->Unit(benchmark::kMillisecond);

static void BM_Evaluate100k(benchmark::State& state) {
  TDecTreeNode* root = Shared().Tree.Root.get();
  for (auto _ : state) {
    root->Evaluate();
    benchmark::DoNotOptimize(root->Value);
  }
}
BENCHMARK(BM_Evaluate100k)->Unit(benchmark::kMillisecond);

// Every option is weighed on every pass, taken or not: repeating the
// optimisation on an optimised tree costs what the first pass does.
static void BM_OptimizeDecisions100k(benchmark::State& state) {
  TDecTreeNode* root = Shared().Tree.Root.get();
  for (auto _ : state) {
    root->OptimizeDecisions();
    benchmark::DoNotOptimize(root->Value);
  }
}
BENCHMARK(BM_OptimizeDecisions100k)->Unit(benchmark::kMillisecond);

static void BM_CopySubtree100k(benchmark::State& state) {
  TDecTreeNode* root = Shared().Tree.Root.get();
  for (auto _ : state) {
    auto copy = root->CopySubtree(nullptr, false, nullptr);
    benchmark::DoNotOptimize(copy.get());
    state.PauseTiming();
    copy.reset();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_CopySubtree100k)->Unit(benchmark::kMillisecond);

// Heap bytes per node of a freshly built tree.
static void BM_TreeMemory100k(benchmark::State& state) {
  double perNode = 0;
  for (auto _ : state) {
    TTreeContext ctx;
    size_t before = mallinfo2().uordblks;
    GeneratedTree tree = GenerateTree(ctx, Size, 7);
    size_t after = mallinfo2().uordblks;
    perNode = static_cast<double>(after - before) / tree.Nodes;
    state.PauseTiming();
    tree.Root.reset();
    state.ResumeTiming();
  }
  state.counters["bytes_per_node"] = perNode;
  state.counters["node_object"] = sizeof(TDecTreeNode);
}
BENCHMARK(BM_TreeMemory100k)->Unit(benchmark::kMillisecond)->Iterations(1);

static void BM_BudgetSolver(benchmark::State& state) {
  std::mt19937 rng(42);
  TProjectList projects(32, true, true);
  for (int i = 0; i < state.range(0); ++i)
    projects.Add(new TProject(nullptr, static_cast<double>(rng() % 100000) / 100,
                              static_cast<double>(static_cast<int>(rng() % 200000) - 50000) / 100));
  double budget = 100.0 * state.range(0) * 2;
  for (auto _ : state) {
    TMultiOptionFullSolverQuick().Solve(projects, budget);
    benchmark::DoNotOptimize(projects[0]->InMax);
  }
}
BENCHMARK(BM_BudgetSolver)->Arg(20)->Arg(30)->Arg(40)->Unit(benchmark::kMillisecond);

static void BM_SyncClones100k(benchmark::State& state) {
  TDecTreeNode* root = Shared().Tree.Root.get();
  for (auto _ : state)
    root->SyncClones();
}
BENCHMARK(BM_SyncClones100k)->Unit(benchmark::kMillisecond);

static void BM_PropagatePath100k(benchmark::State& state) {
  TDecTreeNode* root = Shared().Tree.Root.get();
  for (auto _ : state)
    root->PropagatePath(1.0, 0);
}
BENCHMARK(BM_PropagatePath100k)->Unit(benchmark::kMillisecond);

static void BM_Walk100k(benchmark::State& state) {
  TDecTreeNode* root = Shared().Tree.Root.get();
  for (auto _ : state)
    benchmark::DoNotOptimize(CountNodes(root));
}
BENCHMARK(BM_Walk100k)->Unit(benchmark::kMillisecond);

// The slowest input at the bound: amounts so large that the sums need 128
// bits, and many equal costs and worths.
static void BM_BudgetSolverWorst(benchmark::State& state) {
  std::mt19937 rng(5);
  TProjectList projects(32, true, true);
  for (int i = 0; i < state.range(0); ++i)
    projects.Add(new TProject(nullptr, 1e17 * static_cast<double>(rng() % 5),
                              1e17 * (static_cast<double>(rng() % 7) - 3)));
  double budget = 1e18;
  for (auto _ : state) {
    TMultiOptionFullSolverQuick().Solve(projects, budget);
    benchmark::DoNotOptimize(projects[0]->InMax);
  }
}
BENCHMARK(BM_BudgetSolverWorst)->Arg(MaxSolvedOptions)->Unit(benchmark::kMillisecond);

// Without clones: the recalculation skips the synchronisation, as the control
// does while the tree's clone count is 0.
static void BM_Recalculate100kWithoutClones(benchmark::State& state) {
  static TTreeContext context;
  static GeneratedTree tree = GenerateTree(context, Size, 1, false);
  TDecTreeNode* root = tree.Root.get();
  for (auto _ : state) {
    root->OnPath = true;
    if (context.CloneCount() > 0) root->SyncClones();
    root->EvaluateAndPropagate(1.0, CurrencyToDouble(root->Payoff));
    benchmark::DoNotOptimize(root->Value);
  }
  state.counters["nodes"] = CountNodes(root);
  state.counters["clones"] = context.CloneCount();
}
BENCHMARK(BM_Recalculate100kWithoutClones)->Unit(benchmark::kMillisecond);
