// The main window's costs: every change records the tree in the undo
// history, and the program must come up quickly.
#include "app/MainForm.h"
#include "app/UpdateServer.h"
#include "app/core/Settings.h"
#include "app/core/UndoHistory.h"
#include "platform/registry/MemoryRegistry.h"
#include "support/TreeGenerator.h"

#include <QApplication>

#include <benchmark/benchmark.h>

#include <malloc.h>

#include <map>
#include <memory>
#include <random>
#include <vector>

using namespace bw;
using namespace bw::bench;

namespace {
struct Fixture {
  TTreeContext Context;
  GeneratedTree Tree;
  std::mt19937 Rng{5};
  std::vector<TDecTreeNode*> Own; // nodes outside clones, which an edit may change
  explicit Fixture(int nodes) : Tree(GenerateTree(Context, nodes)) {
    std::vector<TDecTreeNode*> stack{Tree.Root.get()};
    while (!stack.empty()) {
      TDecTreeNode* n = stack.back();
      stack.pop_back();
      Own.push_back(n);
      if (!n->IsClone())
        for (TDecTreeNode* c : n->Children)
          stack.push_back(c);
    }
  }
  // One edit as the user makes them, and the recalculation after it, which
  // gives the copies inside clones fresh ids.
  void Edit() {
    TDecTreeNode* n = Own[Rng() % Own.size()];
    n->Caption = "Edited " + std::to_string(Rng() % 1000);
    Tree.Root->SyncClones();
  }
};
Fixture& Shared(int nodes) {
  static std::map<int, std::unique_ptr<Fixture>> fixtures;
  auto& f = fixtures[nodes];
  if (!f) f = std::make_unique<Fixture>(nodes);
  return *f;
}
} // namespace

// Taking a step after an edit: the tree is recorded again, and what the
// step before holds unchanged is shared.
static void BM_SaveUndo(benchmark::State& state) {
  Fixture& f = Shared(static_cast<int>(state.range(0)));
  TUndoHistory history;
  TTreeOptions options;
  history.SaveUndo(*f.Tree.Root, options, "Edit Title");
  for (auto _ : state) {
    state.PauseTiming();
    f.Edit();
    state.ResumeTiming();
    history.SaveUndo(*f.Tree.Root, options, "Edit Title");
  }
  state.counters["nodes"] = f.Tree.Nodes;
}
BENCHMARK(BM_SaveUndo)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

// The first step of a session, with nothing to share yet.
static void BM_SaveUndoFirst(benchmark::State& state) {
  Fixture& f = Shared(static_cast<int>(state.range(0)));
  TTreeOptions options;
  for (auto _ : state) {
    TUndoHistory history;
    history.SaveUndo(*f.Tree.Root, options, "Edit Title");
    state.PauseTiming();
    history.Clear(true, true);
    state.ResumeTiming();
  }
}
BENCHMARK(BM_SaveUndoFirst)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

// One undo or redo: the live tree is recorded, the other one rebuilt. The
// recalculation that follows is measured with the control.
static void BM_UndoOrRedo(benchmark::State& state) {
  Fixture& f = Shared(static_cast<int>(state.range(0)));
  TUndoHistory history;
  TTreeOptions options;
  history.SaveUndo(*f.Tree.Root, options, "step");
  auto live = f.Tree.Root->CopySubtree(nullptr, false, nullptr);
  live->Caption = "after the step";
  bool undo = true;
  for (auto _ : state) {
    live = undo ? history.Undo(std::move(live), options) : history.Redo(std::move(live), options);
    undo = !undo;
  }
  state.counters["nodes"] = f.Tree.Nodes;
}
BENCHMARK(BM_UndoOrRedo)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

// The heap that 501 steps hold, each after an edit and a recalculation.
static void BM_Memory501Steps(benchmark::State& state) {
  Fixture& f = Shared(static_cast<int>(state.range(0)));
  double megabytes = 0;
  for (auto _ : state) {
    TUndoHistory history;
    TTreeOptions options;
    size_t before = mallinfo2().uordblks;
    for (size_t i = 0; i < TUndoHistory::Limit; ++i) {
      f.Edit();
      history.SaveUndo(*f.Tree.Root, options, "s");
    }
    megabytes = static_cast<double>(mallinfo2().uordblks - before) / (1024.0 * 1024.0);
  }
  state.counters["MiB"] = megabytes;
  state.counters["nodes"] = f.Tree.Nodes;
}
BENCHMARK(BM_Memory501Steps)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(1);

// The worst case: every step changes every node (here the probabilities, as
// optimising the whole tree may).
static void BM_Memory501StepsAllNodesChange(benchmark::State& state) {
  Fixture& f = Shared(static_cast<int>(state.range(0)));
  double megabytes = 0;
  for (auto _ : state) {
    TUndoHistory history;
    TTreeOptions options;
    size_t before = mallinfo2().uordblks;
    for (size_t i = 0; i < TUndoHistory::Limit; ++i) {
      for (TDecTreeNode* n : f.Own)
        n->Probability += 1;
      history.SaveUndo(*f.Tree.Root, options, "s");
    }
    megabytes = static_cast<double>(mallinfo2().uordblks - before) / (1024.0 * 1024.0);
    for (TDecTreeNode* n : f.Own)
      n->Probability -= static_cast<double>(TUndoHistory::Limit);
  }
  state.counters["MiB"] = megabytes;
  state.counters["nodes"] = f.Tree.Nodes;
}
BENCHMARK(BM_Memory501StepsAllNodesChange)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

// From nothing to a shown window holding the example tree.
static void BM_StartUp(benchmark::State& state) {
  const QString example = QStringLiteral(BW_EXAMPLE_TREE);
  for (auto _ : state) {
    MemoryRegistryStore registry;
    TMainForm window(registry, example);
    window.show();
    QApplication::processEvents();
    benchmark::DoNotOptimize(window.DecTree().TreeRoot());
  }
}
BENCHMARK(BM_StartUp)->Unit(benchmark::kMillisecond);

// The same start-up with the automatic update check off (0) and on (1)
// against a server that does not answer (nothing listens on the port): the
// window is shown and the check has started on the upgrader's worker.
static void BM_StartUpUpdatePolicy(benchmark::State& state) {
  const QString example = QStringLiteral(BW_EXAMPLE_TREE);
  SetUpdateInfoURL("http://127.0.0.1:9/info.txt");
  for (auto _ : state) {
    MemoryRegistryStore registry;
    {
      TSettings settings(registry);
      settings.AutoUpdateConfigured = true;
      settings.CanCheckForAutoUpdate = state.range(0) != 0;
      settings.Save();
    }
    TMainForm window(registry, example);
    window.show();
    QApplication::processEvents();
    QApplication::processEvents(); // the policy, queued behind the show
    benchmark::DoNotOptimize(window.DecTree().TreeRoot());
  }
  SetUpdateInfoURL({});
}
BENCHMARK(BM_StartUpUpdatePolicy)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
