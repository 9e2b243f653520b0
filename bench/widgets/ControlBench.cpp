// The tree control as the user feels it, on fully expanded generated trees
// in a 1000 x 700 scroll area: a recalculation (synchronise, roll back,
// measure, lay out, repaint what is seen), one keystroke in the in-place
// editor, one mouse move of a rubber band. Each must fit into one frame at
// 60 Hz on 10,000 nodes, a keystroke on 100,000 nodes too; a recalculation
// of 100,000 nodes into 200 ms.
#include "support/TreeGenerator.h"
#include "widgets/DecTreeWidget.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollArea>
#include <QScrollBar>

#include <benchmark/benchmark.h>

#include <cstdint>
#include <map>
#include <memory>

using namespace bw;
using namespace bw::bench;

namespace {

// Counts the paint events of a widget: every measured step must have drawn.
class PaintCounter : public QObject {
public:
  explicit PaintCounter(QWidget* widget) : Widget(widget) { widget->installEventFilter(this); }
  ~PaintCounter() override { Widget->removeEventFilter(this); }
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) ++Paints;
    return false;
  }
  QWidget* Widget;
  int64_t Paints = 0;
};

void ReportPaints(benchmark::State& state, const PaintCounter& counter) {
  state.counters["paints"] =
      benchmark::Counter(static_cast<double>(counter.Paints), benchmark::Counter::kAvgIterations);
}

struct ShownTree {
  QScrollArea Area;
  TDecTreeWidget* Widget;
  int Nodes = 0;

  explicit ShownTree(int nodeCount) : Widget(new TDecTreeWidget) {
    Area.setWidgetResizable(false);
    Area.setWidget(Widget);
    Area.resize(1000, 700);
    TDecTree& tree = Widget->Tree();
    tree.Options.ShowPayoff = true;
    tree.Options.CurrencyDecimals = 2;
    tree.Options.CurrencySymbol = std::string(1, '$');
    GeneratedTree generated = GenerateTree(tree, nodeCount);
    Nodes = generated.Nodes;
    tree.ExchangeRoot(std::move(generated.Root));
    Area.show();
    tree.SetMinWidth(Area.viewport()->width());
    tree.SetMinHeight(Area.viewport()->height());
    tree.Recalculate();
    Widget->setFocus();
    QApplication::processEvents();
  }

  // The first leaf of the drawing, brought into view.
  TDecTreeNode* FirstLeaf() {
    TDecTreeNode* n = Widget->Tree().TreeRoot();
    while (n->ChildCount() > 0)
      n = n->Child(0);
    const TNodeRect& box = n->Rect(htBox);
    Area.ensureVisible(box.Left, box.Top, 200, 200);
    QApplication::processEvents();
    return n;
  }
};

// Made once per size and kept across the benchmarks; the widgets must go
// before the QApplication does.
std::map<int, std::unique_ptr<ShownTree>>& Trees() {
  static std::map<int, std::unique_ptr<ShownTree>> trees;
  return trees;
}

ShownTree& Shown(int nodeCount) {
  auto& tree = Trees()[nodeCount];
  if (!tree) tree = std::make_unique<ShownTree>(nodeCount);
  return *tree;
}

void SendKey(QWidget* target, int key, const QString& text) {
  QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
  QApplication::sendEvent(target, &press);
  QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
  QApplication::sendEvent(target, &release);
}

void SendMouse(QWidget* target, QEvent::Type type, QPoint at, Qt::MouseButtons buttons) {
  const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
  QMouseEvent event(type, at, target->mapToGlobal(at), button, buttons, Qt::NoModifier);
  QApplication::sendEvent(target, &event);
}

void Recalculate(benchmark::State& state, int nodeCount) {
  ShownTree& shown = Shown(nodeCount);
  TDecTree& tree = shown.Widget->Tree();
  PaintCounter paints(shown.Widget);
  for (auto _ : state) {
    tree.Recalculate();
    // What the window system asks for afterwards belongs to the frame.
    QApplication::processEvents();
  }
  state.counters["nodes"] = shown.Nodes;
  ReportPaints(state, paints);
}

void BM_Recalculate10k(benchmark::State& state) {
  Recalculate(state, 10000);
}
void BM_Recalculate100k(benchmark::State& state) {
  Recalculate(state, 100000);
}

// Typing into an element of a node in view: a character and a backspace by
// turns, so that the tree stays the same from one pair to the next. The
// caption takes every text; a payoff typed as "12.5" and "12.55" takes each,
// one typed as "12.5x" and "12.5xx" refuses both (the editor stays red).
void EditorKeystrokes(benchmark::State& state, int nodeCount, TNodeElementType element,
                      const char* start, const char* key) {
  ShownTree& shown = Shown(nodeCount);
  TDecTree& tree = shown.Widget->Tree();
  tree.SelectNode(shown.FirstLeaf(), element);
  if (!tree.EditElement(false, 0)) {
    state.SkipWithError("no in-place editor");
    return;
  }
  QLineEdit* editor = shown.Widget->InplaceEdit();
  // Typed over the selected text, key by key, as the user types it.
  for (const char* c = start; *c; ++c)
    SendKey(editor, 0, QString(QChar::fromLatin1(*c)));
  editor->end(false);
  QApplication::processEvents();
  PaintCounter paints(shown.Widget);
  const QString typed = QString::fromLatin1(key);
  const int code = typed == "x" ? Qt::Key_X : typed == "5" ? Qt::Key_5 : Qt::Key_A;
  bool type = true;
  for (auto _ : state) {
    if (type)
      SendKey(editor, code, typed);
    else
      SendKey(editor, Qt::Key_Backspace, QString());
    type = !type;
    QApplication::processEvents();
  }
  // Esc: the node keeps its value from before the benchmark.
  SendKey(editor, Qt::Key_Escape, QString());
  QApplication::processEvents();
  state.counters["nodes"] = shown.Nodes;
  ReportPaints(state, paints);
}

// A band dragged over the nodes in view. Moving between two corners, the
// band takes and gives back a node at every move (a full repaint each
// time); within one row of pixels it changes nothing (the band frame only).
void BandMoves(benchmark::State& state, bool selectionChanges) {
  ShownTree& shown = Shown(10000);
  TDecTreeWidget* widget = shown.Widget;
  TDecTreeNode* leaf = shown.FirstLeaf();
  const TNodeRect& box = leaf->Rect(htBox);
  // From the blank left of the leaf, just below it, over its box and back.
  const QPoint start(box.Left - 100, box.Top + box.Height + 3);
  const QPoint over(box.Left + 4, box.Top + box.Height / 2);
  const QPoint before(box.Left - 30, box.Top + box.Height + 3);
  SendMouse(widget, QEvent::MouseButtonPress, start, Qt::LeftButton);
  if (!widget->Tree().BandActive()) {
    state.SkipWithError("the press did not start a band");
    return;
  }
  PaintCounter paints(widget);
  int changes = 0;
  bool there = false;
  for (auto _ : state) {
    there = !there;
    QPoint at = selectionChanges ? (there ? over : before)
                                 : QPoint((there ? over : before).x(), before.y());
    const int before = widget->Tree().Selection.Count();
    SendMouse(widget, QEvent::MouseMove, at, Qt::LeftButton);
    QApplication::processEvents();
    changes += widget->Tree().Selection.Count() != before;
  }
  SendMouse(widget, QEvent::MouseButtonRelease, before, Qt::NoButton);
  QApplication::processEvents();
  state.counters["nodes"] = shown.Nodes;
  ReportPaints(state, paints);
  state.counters["selection changes"] =
      benchmark::Counter(static_cast<double>(changes), benchmark::Counter::kAvgIterations);
}

void BM_EditorKeystroke10k(benchmark::State& state) {
  EditorKeystrokes(state, 10000, htBox, "", "a");
}
void BM_EditorKeystroke100k(benchmark::State& state) {
  EditorKeystrokes(state, 100000, htBox, "", "a");
}
void BM_PayoffKeystroke100k(benchmark::State& state) {
  EditorKeystrokes(state, 100000, htPayoff, "12.5", "5");
}
void BM_RefusedPayoffKeystroke100k(benchmark::State& state) {
  EditorKeystrokes(state, 100000, htPayoff, "12.5x", "x");
}

void BM_BandMove10k(benchmark::State& state) {
  BandMoves(state, false);
}
void BM_BandMoveSelecting10k(benchmark::State& state) {
  BandMoves(state, true);
}

} // namespace

BENCHMARK(BM_Recalculate10k)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Recalculate100k)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_EditorKeystroke10k)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_EditorKeystroke100k)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PayoffKeystroke100k)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_RefusedPayoffKeystroke100k)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_BandMove10k)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_BandMoveSelecting10k)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char** argv) {
  // Fonts, painting and widgets without a display.
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  Trees().clear();
  return 0;
}
