// The node commands as the user feels them: on a shown main window holding a
// fully expanded 10,000-node tree, each command is one click on its menu
// item, with its undo step, the recalculation (synchronise, roll back,
// measure, lay out) and the repaint; each must stay within 20 ms. Optimising
// the 100,000-node tree is measured on the control without a window (undo
// step, optimisation, roll-back), since laying out 100,000 nodes is the
// drawing's cost, measured with the control.
#include "app/MainForm.h"
#include "app/core/UndoHistory.h"
#include "platform/registry/MemoryRegistry.h"
#include "support/TreeGenerator.h"

#include <QApplication>

#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

using namespace bw;
using namespace bw::bench;

namespace {

struct ShownWindow {
  MemoryRegistryStore Registry;
  TMainForm Form{Registry};
  int Nodes = 0;

  ShownWindow() {
    TMainFormDialogs& d = Form.Dialogs;
    d.AskYesNo = [](const QString&) { return true; };
    d.AskYesNoCancel = [](const QString&) { return 1; };
    d.Information = d.Warning = d.Error = [](const QString&) {};
    Form.DecTreeWidget().AskHandler = [](const QString&) { return true; };
    Form.DecTreeWidget().InformHandler = [](const QString&) {};
    Form.resize(1000, 700);
    Form.show();
    TDecTree& tree = Form.DecTree();
    tree.Options.ShowPayoff = true;
    GeneratedTree generated = GenerateTree(tree, 10000);
    Nodes = generated.Nodes;
    tree.ExchangeRoot(std::move(generated.Root));
    tree.SelectNode(tree.TreeRoot(), htBox);
    tree.Recalculate();
    QApplication::processEvents();
  }
  TDecTree& Tree() { return Form.DecTree(); }
  QAction* Item(TNodeCommand command) {
    return Form.NodePopupMenu()->findChild<QAction*>(PopupItemName(command));
  }
  QAction* TypeItem(TNodeTypeItem item) {
    return Form.NodePopupMenu()->findChild<QAction*>(PopupTypeItemName(item));
  }
  // A click on a menu item, and the repaint that follows it.
  void Click(QAction* action) {
    action->trigger();
    QApplication::processEvents();
  }
};

// Made once and kept across the benchmarks; the window must go before the
// QApplication does.
std::unique_ptr<ShownWindow>& Window() {
  static std::unique_ptr<ShownWindow> window;
  return window;
}
ShownWindow& Shown() {
  if (!Window()) Window() = std::make_unique<ShownWindow>();
  return *Window();
}

// The first node below `from` (pre-order) that satisfies `want`, outside
// clones.
template <typename F>
TDecTreeNode* Find(TDecTreeNode* from, F want) {
  if (want(from)) return from;
  if (from->IsClone()) return nullptr;
  for (TDecTreeNode* c : from->Children)
    if (TDecTreeNode* found = Find(c, want)) return found;
  return nullptr;
}

bool Allowed(ShownWindow& w, TNodeCommand command, benchmark::State& state) {
  if (w.Form.NodeCommands().Allowed(command)) return true;
  state.SkipWithError("the command does not apply to the chosen node");
  return false;
}

void Report(benchmark::State& state, ShownWindow& w) {
  state.counters["nodes"] = w.Nodes;
}

// Edit on a box opens the caption editor over it, with its undo step.
void BM_Edit10k(benchmark::State& state) {
  ShownWindow& w = Shown();
  w.Tree().SelectNode(w.Tree().TreeRoot()->Child(0), htBox);
  for (auto _ : state) {
    w.Click(w.Item(TNodeCommand::Edit));
    state.PauseTiming();
    w.Tree().HideInplaceEditor();
    state.ResumeTiming();
  }
  Report(state, w);
}

void BM_MoveUpOrDown10k(benchmark::State& state) {
  ShownWindow& w = Shown();
  w.Tree().SelectNode(w.Tree().TreeRoot()->Child(1), htBox);
  bool up = true;
  for (auto _ : state) {
    w.Click(w.Item(up ? TNodeCommand::MoveUp : TNodeCommand::MoveDown));
    up = !up;
  }
  Report(state, w);
}

void BM_ChangeType10k(benchmark::State& state) {
  ShownWindow& w = Shown();
  w.Tree().SelectNode(w.Tree().TreeRoot()->Child(0), htIndicator);
  if (!Allowed(w, TNodeCommand::Type, state)) return;
  int next = 0;
  for (auto _ : state) {
    w.Click(w.TypeItem(static_cast<TNodeTypeItem>(next)));
    next = (next + 1) % NodeTypeItemCount;
  }
  // Back to a decision, as it was or not: the tree stays a fair one.
  w.Click(w.TypeItem(TNodeTypeItem::DecisionChooseOne));
  Report(state, w);
}

void BM_TakeOption10k(benchmark::State& state) {
  ShownWindow& w = Shown();
  TDecTreeNode* decision = Find(w.Tree().TreeRoot(), [](TDecTreeNode* n) {
    return n->NodeType == ntDecision && n->ChildCount() >= 2 && n->Parent;
  });
  TDecTreeNode* options[2] = {decision->Child(0), decision->Child(1)};
  int next = 0;
  for (auto _ : state) {
    w.Tree().SelectNode(options[next], htBox);
    w.Click(w.Item(TNodeCommand::TakeOption));
    next = 1 - next;
  }
  Report(state, w);
}

// Two deep leaves under different branches of the root, by turns.
void BM_TakeThisPath10k(benchmark::State& state) {
  ShownWindow& w = Shown();
  auto leaf = [](TDecTreeNode* n) { return n->ChildCount() == 0; };
  TDecTreeNode* leaves[2] = {Find(w.Tree().TreeRoot()->Child(0), leaf),
                             Find(w.Tree().TreeRoot()->Child(1), leaf)};
  int next = 0;
  for (auto _ : state) {
    w.Tree().SelectNode(leaves[next], htBox);
    w.Click(w.Item(TNodeCommand::TakeThisPath));
    next = 1 - next;
  }
  Report(state, w);
}

void BM_DefineAsCloneMaster10k(benchmark::State& state) {
  ShownWindow& w = Shown();
  w.Tree().SelectNode(w.Tree().TreeRoot()->Child(0), htIndicator);
  for (auto _ : state)
    w.Click(w.Item(TNodeCommand::DefineAsCloneMaster));
  Report(state, w);
}

// A leaf becomes a clone of a small subtree and is unlinked again, keeping
// copies of the master's subnodes; the command measured is timed, the other
// one is not.
void CloneAndUnlink(benchmark::State& state, bool timeUnlink) {
  ShownWindow& w = Shown();
  TDecTreeNode* root = w.Tree().TreeRoot();
  TDecTreeNode* master = Find(root->Child(0), [](TDecTreeNode* n) {
    return n->ChildCount() > 0 && n->Child(0)->ChildCount() == 0 && !n->HasClones();
  });
  const Guid masterId = master->Id;
  TDecTreeNode* target = Find(root->Child(1), [](TDecTreeNode* n) { return n->ChildCount() == 0; });
  const Guid targetId = target->Id;
  for (auto _ : state) {
    if (timeUnlink) state.PauseTiming();
    w.Form.NodeCommands().CloneMasterId = masterId;
    w.Tree().SelectNode(root->FindNodeById(targetId), htIndicator);
    w.Click(w.Item(TNodeCommand::DefineAsCloneOf));
    if (timeUnlink)
      state.ResumeTiming();
    else
      state.PauseTiming();
    w.Click(w.Item(TNodeCommand::UnlinkClone));
    if (!timeUnlink) state.ResumeTiming();
  }
  TDecTreeNode* unlinked = root->FindNodeById(targetId);
  if (!unlinked || unlinked->IsClone() || unlinked->ChildCount() == 0)
    state.SkipWithError("the leaf was not cloned and unlinked");
  else
    unlinked->Children.Clear();
  w.Tree().Recalculate();
  Report(state, w);
}

void BM_DefineAsClone10k(benchmark::State& state) {
  CloneAndUnlink(state, false);
}
void BM_UnlinkClone10k(benchmark::State& state) {
  CloneAndUnlink(state, true);
}

void BM_OptimizeSubnodeDecisions10k(benchmark::State& state) {
  ShownWindow& w = Shown();
  w.Tree().SelectNode(w.Tree().TreeRoot()->Child(0), htBox);
  for (auto _ : state)
    w.Click(w.Item(TNodeCommand::OptimizeSubnodeDecisions));
  Report(state, w);
}

void BM_OptimizeDecisions10k(benchmark::State& state) {
  ShownWindow& w = Shown();
  for (auto _ : state)
    w.Click(w.Form.findChild<QAction*>("EditOptimizeWholeMenuItem"));
  Report(state, w);
}

// The control's own editing commands from the menu: a subnode is added (its
// caption editor opens) and removed again; the command measured is timed,
// the other one is not.
void AddAndRemove(benchmark::State& state, bool timeRemove) {
  ShownWindow& w = Shown();
  TDecTreeNode* parent = w.Tree().TreeRoot()->Child(0);
  for (auto _ : state) {
    if (timeRemove) state.PauseTiming();
    w.Tree().SelectNode(parent, htBox);
    w.Click(w.Item(TNodeCommand::AddChild));
    w.Tree().HideInplaceEditor();
    if (timeRemove)
      state.ResumeTiming();
    else
      state.PauseTiming();
    w.Click(w.Item(TNodeCommand::Remove));
    if (!timeRemove) state.ResumeTiming();
  }
  Report(state, w);
}

void BM_AddChild10k(benchmark::State& state) {
  AddAndRemove(state, false);
}
void BM_Remove10k(benchmark::State& state) {
  AddAndRemove(state, true);
}

// Optimise decisions on the 100,000-node tree, on the control without a
// window: the undo step, the optimisation and the recalculation.
void BM_OptimizeDecisions100k(benchmark::State& state) {
  TDecTree tree;
  tree.Options.ShowPayoff = true;
  GeneratedTree generated = GenerateTree(tree, 100000);
  tree.ExchangeRoot(std::move(generated.Root));
  tree.Recalculate();
  TUndoHistory history;
  TNodeCommandHost host;
  host.SaveUndo = [&](const std::string& caption) {
    history.SaveUndo(*tree.TreeRoot(), tree.Options, caption);
  };
  host.Information = [&](const std::string&) { state.SkipWithError("refused"); };
  TNodeCommands commands(tree, host);
  for (auto _ : state) {
    commands.OptimizeWholeTree();
    // Only the history's depth is held constant, outside the measurement.
    state.PauseTiming();
    if (history.UndoCount() > 8) history.Clear(true, true);
    state.ResumeTiming();
  }
  state.counters["nodes"] = generated.Nodes;
}

} // namespace

BENCHMARK(BM_Edit10k)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_MoveUpOrDown10k)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ChangeType10k)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_TakeOption10k)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_TakeThisPath10k)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_DefineAsCloneMaster10k)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_DefineAsClone10k)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_UnlinkClone10k)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_OptimizeSubnodeDecisions10k)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_OptimizeDecisions10k)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_AddChild10k)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Remove10k)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_OptimizeDecisions100k)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char** argv) {
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  Window().reset();
  return 0;
}
