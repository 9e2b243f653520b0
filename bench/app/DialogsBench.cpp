// The dialogs on a shown window holding a 10,000-node tree, through the
// window's own commands: opening and closing each dialog (target 50 ms),
// and OK in the payoff dialog with its undo step, the write and the
// recalculation (target 20 ms).
#include "app/MainForm.h"
#include "app/dialogs/DialogCommands.h"
#include "app/dialogs/EditPayoffForm.h"
#include "platform/registry/MemoryRegistry.h"
#include "support/TreeGenerator.h"
#include "ui_EditPayoffForm.h"
#include "ui_MainForm.h"

#include <QApplication>
#include <QDialog>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <functional>
#include <memory>

using namespace bw;
using namespace bw::bench;

namespace {

struct Shown {
  MemoryRegistryStore Registry;
  TMainForm Window{Registry};
  TDecTreeNode* Leaf = nullptr;
  int Nodes = 0;

  Shown() {
    TDecTree& tree = Window.DecTree();
    GeneratedTree generated = GenerateTree(tree, 10000);
    Nodes = generated.Nodes;
    tree.ExchangeRoot(std::move(generated.Root));
    tree.Options.ShowPayoff = true;
    tree.Options.CurrencyDecimals = 2;
    tree.Recalculate();
    Window.resize(1000, 700);
    Window.show();
    QApplication::processEvents();
    // A node deep in the tree and outside every clone (whose copies are
    // rebuilt by each recalculation), whose payoff is edited.
    TDecTreeNode* node = tree.TreeRoot();
    for (bool deeper = true; deeper;) {
      deeper = false;
      for (TDecTreeNode* child : node->Children)
        if (!child->IsClone()) {
          node = child;
          deeper = true;
          break;
        }
    }
    Leaf = node;
    tree.SelectNode(Leaf, htPayoff);
  }
  QAction* Popup(const char* name) { return Window.NodePopupMenu()->findChild<QAction*>(name); }
};

// Made on first use and freed before the application object goes.
std::unique_ptr<Shown> TheFixture;
Shown& Fixture() {
  if (!TheFixture) TheFixture = std::make_unique<Shown>();
  return *TheFixture;
}

// Runs `command`, which opens a modal dialog; `answer` closes it from
// inside its loop.
void WithDialog(const std::function<void()>& command, std::function<void(QDialog&)> answer) {
  QTimer::singleShot(0, [answer] {
    if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) answer(*dialog);
  });
  command();
}

void Cancel(QDialog& dialog) {
  dialog.reject();
}

void OpenClose(benchmark::State& state, const std::function<void()>& command) {
  Shown& s = Fixture();
  for (auto _ : state)
    WithDialog(command, Cancel);
  state.counters["nodes"] = s.Nodes;
}

} // namespace

static void BM_PayoffDialogOpenClose10k(benchmark::State& state) {
  Shown& s = Fixture();
  s.Window.DecTree().SelectNode(s.Leaf, htPayoff);
  OpenClose(state, [&s] { s.Popup("PopupEditPayoffAdvancedMenuItem")->trigger(); });
}
BENCHMARK(BM_PayoffDialogOpenClose10k)->Unit(benchmark::kMillisecond);

static void BM_CommentDialogOpenClose10k(benchmark::State& state) {
  Shown& s = Fixture();
  s.Window.DecTree().SelectNode(s.Leaf, htBox);
  OpenClose(state, [&s] { s.Popup("PopupCommentMenuItem")->trigger(); });
}
BENCHMARK(BM_CommentDialogOpenClose10k)->Unit(benchmark::kMillisecond);

static void BM_TreePropertiesDialogOpenClose10k(benchmark::State& state) {
  Shown& s = Fixture();
  OpenClose(state, [&s] { s.Window.Form().FilePropertiesMenuItem->trigger(); });
}
BENCHMARK(BM_TreePropertiesDialogOpenClose10k)->Unit(benchmark::kMillisecond);

static void BM_AboutBoxOpenClose(benchmark::State& state) {
  OpenClose(state, [] { Fixture().Window.Form().HelpAboutMenuItem->trigger(); });
}
BENCHMARK(BM_AboutBoxOpenClose)->Unit(benchmark::kMillisecond);

// Everything OK does after the dialog: the undo step (a copy of the whole
// tree), the write and the recalculation of the shown control.
static void BM_PayoffOkStepWriteRecalculate10k(benchmark::State& state) {
  Shown& s = Fixture();
  TDecTree& tree = s.Window.DecTree();
  Currency payoff = 0;
  const TSaveUndo saveUndo = [&s](const std::string& caption) { s.Window.SaveUndo(caption); };
  int64_t steps = 0;
  for (auto _ : state) {
    AdvancedEditPayoff(tree, s.Leaf, htPayoff, saveUndo,
                       [&payoff](const std::string&, int, Currency, const std::string&) {
                         return TEditPayoffDialogResult{true, payoff += 10000, ""};
                       });
    if (++steps % 100 == 0) {
      state.PauseTiming();
      s.Window.ClearUndoRedo(true, true);
      state.ResumeTiming();
    }
  }
  s.Window.ClearUndoRedo(true, true);
}
BENCHMARK(BM_PayoffOkStepWriteRecalculate10k)->Unit(benchmark::kMillisecond);

// The same from the menu item: the dialog opens, a value is typed, OK.
static void BM_PayoffDialogTypeAndOk10k(benchmark::State& state) {
  Shown& s = Fixture();
  s.Window.DecTree().SelectNode(s.Leaf, htPayoff);
  int value = 0;
  int64_t steps = 0;
  for (auto _ : state) {
    WithDialog([&s] { s.Popup("PopupEditPayoffAdvancedMenuItem")->trigger(); },
               [&value](QDialog& dialog) {
                 auto& form = static_cast<TEditPayoffForm&>(dialog);
                 form.Form().DirectEdit->setText(QString::number(++value));
                 form.Form().OKButton->click();
               });
    if (++steps % 100 == 0) {
      state.PauseTiming();
      s.Window.ClearUndoRedo(true, true);
      state.ResumeTiming();
    }
  }
  s.Window.ClearUndoRedo(true, true);
  if (s.Leaf->Payoff != static_cast<Currency>(value) * 10000)
    state.SkipWithError("the payoff was not written");
}
BENCHMARK(BM_PayoffDialogTypeAndOk10k)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  TheFixture.reset();
  return 0;
}
