// The main window's costs: every change copies the whole tree into the undo
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

using namespace bw;
using namespace bw::bench;

namespace {
struct Fixture {
  TTreeContext Context;
  GeneratedTree Tree;
  Fixture() : Tree(GenerateTree(Context, 10000)) {}
};
Fixture& Shared() {
  static Fixture f;
  return f;
}
} // namespace

static void BM_SaveUndo10k(benchmark::State& state) {
  Fixture& f = Shared();
  TUndoHistory history;
  TTreeOptions options;
  for (auto _ : state)
    history.SaveUndo(*f.Tree.Root, options, "Edit Title");
  state.counters["steps_held"] = static_cast<double>(history.UndoCount());
}
BENCHMARK(BM_SaveUndo10k)->Unit(benchmark::kMillisecond);

// Undo and redo only exchange trees; the recalculation that follows is
// measured with the control.
static void BM_UndoRedo10k(benchmark::State& state) {
  Fixture& f = Shared();
  TUndoHistory history;
  TTreeOptions options;
  history.SaveUndo(*f.Tree.Root, options, "step");
  auto live = f.Tree.Root->CopySubtree(nullptr, false, nullptr);
  for (auto _ : state) {
    live = history.Undo(std::move(live), options);
    live = history.Redo(std::move(live), options);
  }
}
BENCHMARK(BM_UndoRedo10k)->Unit(benchmark::kMicrosecond);

static void BM_Memory501Steps10k(benchmark::State& state) {
  Fixture& f = Shared();
  double megabytes = 0;
  for (auto _ : state) {
    TUndoHistory history;
    TTreeOptions options;
    size_t before = mallinfo2().uordblks;
    for (size_t i = 0; i < TUndoHistory::Limit; ++i)
      history.SaveUndo(*f.Tree.Root, options, "s");
    megabytes = static_cast<double>(mallinfo2().uordblks - before) / (1024.0 * 1024.0);
  }
  state.counters["MiB"] = megabytes;
  state.counters["nodes"] = f.Tree.Nodes;
}
BENCHMARK(BM_Memory501Steps10k)->Unit(benchmark::kMillisecond)->Iterations(1);

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
