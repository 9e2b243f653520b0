// A window for the tree control in tests: it measures on a fake canvas,
// answers questions as it is told and writes every call into one log, which
// the fixture shares with the control's events, so that tests see the order
// of undo steps, questions, dialogs and repaints.
#pragma once

#include "control/DecTree.h"
#include "support/FakeCanvas.h"

#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace bw::test {

class TFakeTreeView : public ITreeView {
public:
  TFakeCanvas Canvas;
  std::vector<std::string> Log;

  // Answers: questions take the queued answers first, then Answer.
  std::deque<bool> Answers;
  bool Answer = true;
  bool Focus = true;
  // The due-date dialog: null cancels it.
  std::function<bool(TDateTime&)> DueDateDialog;

  // What the window shows.
  int Width = 0, Height = 0;
  bool EditorShown = false;
  TNodeRect EditorRect;
  std::string EditorText;
  std::string EditorError;
  std::string StatusText;
  std::vector<TPropertyMenuItem> MenuItems;
  TPoint MenuAt{-1, -1};
  TPoint PopupAt{-1, -1};
  std::string HintText;

  // The last rectangle the control asked to bring into view.
  TNodeRect ScrolledTo{-1, -1, -1, -1};

  TCanvas& MeasureCanvas() override { return Canvas; }
  void SetControlSize(int width, int height) override {
    Width = width;
    Height = height;
    Log.push_back("size " + std::to_string(width) + "x" + std::to_string(height));
  }
  void RepaintNow() override { Log.push_back("repaint"); }
  void Invalidate() override { Log.push_back("invalidate"); }
  bool HasFocus() const override { return Focus; }

  void ShowEditor(const TNodeRect& rect, const std::string& text) override {
    EditorShown = true;
    EditorRect = rect;
    EditorText = text;
    Log.push_back("show-editor " + text);
  }
  void PlaceEditor(int left, int top, int width) override {
    EditorRect.Left = left;
    EditorRect.Top = top;
    EditorRect.Width = width;
    Log.push_back("place-editor");
  }
  void SetEditorWidth(int width) override {
    EditorRect.Width = width;
    Log.push_back("editor-width " + std::to_string(width));
  }
  void HideEditor() override {
    EditorShown = false;
    Log.push_back("hide-editor");
  }
  bool EditorVisible() const override { return EditorShown; }
  void ScrollIntoView(const TNodeRect& rect) override { ScrolledTo = rect; }
  void SetEditorText(const std::string& text) override {
    EditorText = text;
    Log.push_back("editor-text " + text);
  }
  void SetEditorError(const std::string& error) override {
    EditorError = error;
    Log.push_back("editor-error " + error);
  }
  void ShowStatus(const std::string& text) override {
    StatusText = text;
    Log.push_back("status " + text);
  }

  bool AskYesNo(const std::string& question) override {
    Log.push_back("ask:" + question);
    if (Answers.empty()) return Answer;
    bool a = Answers.front();
    Answers.pop_front();
    return a;
  }
  void ShowInformation(const std::string& text) override { Log.push_back("info:" + text); }
  bool ExecuteDueDateDialog(int x, int y, TDateTime& date) override {
    Log.push_back("due-date " + std::to_string(x) + "," + std::to_string(y));
    return DueDateDialog && DueDateDialog(date);
  }
  void ShowDecisionPropertyMenu(const std::vector<TPropertyMenuItem>& items, int x,
                                int y) override {
    MenuItems = items;
    MenuAt = {x, y};
    Log.push_back("property-menu " + std::to_string(x) + "," + std::to_string(y));
  }
  void ShowPopupMenu(int x, int y) override {
    PopupAt = {x, y};
    Log.push_back("popup " + std::to_string(x) + "," + std::to_string(y));
  }
  void SetHint(const std::string& hint) override {
    HintText = hint;
    Log.push_back("hint:" + hint);
  }
  void BeginBand() override { Log.push_back("begin-band"); }
  void DrawBandFrame() override { Log.push_back("band-frame"); }

  bool Logged(const std::string& entry) const {
    for (const std::string& e : Log)
      if (e == entry) return true;
    return false;
  }
  int Count(const std::string& entry) const {
    int n = 0;
    for (const std::string& e : Log)
      n += e == entry;
    return n;
  }
  // Log entries that start with a prefix, in order.
  std::vector<std::string> Starting(const std::string& prefix) const {
    std::vector<std::string> out;
    for (const std::string& e : Log)
      if (e.compare(0, prefix.size(), prefix) == 0) out.push_back(e);
    return out;
  }
};

// A control on a fake window, its events logged with the window's calls.
struct TControl {
  TFakeTreeView View;
  TDecTree Tree{&View};
  std::vector<std::string>& Log = View.Log;

  TControl() {
    Tree.OnSaveUndo = [this](TDecTree&, const std::string& m) { Log.push_back("undo:" + m); };
    Tree.OnCalculated = [this](TDecTree&) { Log.push_back("calculated"); };
    Tree.OnBeforeExpandCollapse = [this](TDecTree&) { Log.push_back("expand-collapse"); };
    Tree.OnBeforeShowDecisionProperty = [this](TDecTree&) { Log.push_back("show-property"); };
    Tree.OnAdvancedEdit = [this](TDecTree&, TDecTreeNode* n, TNodeElementType t) {
      Log.push_back("advanced " + n->Caption + " " + std::to_string(t));
    };
  }

  TDecTreeNode* Root() { return Tree.TreeRoot(); }
  TDecTreeNode* Add(TDecTreeNode* parent, std::string caption, double probability = 0,
                    double payoff = 0, TNodeType type = ntDecision) {
    return parent->AddChild(Tree.NewNode(parent, TNodeFields{.Id = Guid::NewGuid(),
                                                             .Caption = std::move(caption),
                                                             .NodeType = type,
                                                             .Probability = probability,
                                                             .Payoff = DoubleToCurrency(payoff)}));
  }
  void Select(std::initializer_list<TDecTreeNode*> nodes, TNodeElementType type) {
    Tree.Selection.Clear();
    for (TDecTreeNode* n : nodes)
      Tree.Selection.Add(n->Id);
    Tree.SelectionElementType = type;
  }
  std::vector<TDecTreeNode*> Selected() { return Tree.GetSelectedNodes(); }
  // A point in the middle of an element.
  static TPoint Mid(const TDecTreeNode* n, TNodeElementType type) {
    const TNodeRect& r = n->Rect(type);
    return {r.Left + r.Width / 2, r.Top + r.Height / 2};
  }
  void Click(TPoint p, bool ctrl = false) {
    Tree.MouseDown(TMouseButton::Left, {.Ctrl = ctrl}, p.X, p.Y);
    Tree.MouseUp(TMouseButton::Left, {.Ctrl = ctrl}, p.X, p.Y);
  }
  TNodeHit Hit(TPoint p) { return Tree.HitTest(p.X, p.Y); }
};

// Root "Root" with the options A (taken, payoff 5) and B (payoff -3),
// recalculated, with an empty log.
struct TwoOptions : TControl {
  TDecTreeNode* A;
  TDecTreeNode* B;
  explicit TwoOptions(bool showPayoff = true) {
    Tree.Options.ShowPayoff = showPayoff;
    A = Add(Root(), "A", 100, 5);
    B = Add(Root(), "B", 0, -3);
    Tree.Recalculate();
    Log.clear();
  }
};

} // namespace bw::test
