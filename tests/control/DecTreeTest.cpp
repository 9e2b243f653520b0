// The tree control without its window: construction, recalculation,
// selection, keyboard, editing, node operations, the decision-property menu,
// mouse, band, hints and the keyboard's context menu, on the fake window.
#include "model/MultiOptionSolver.h"
#include "model/NodeRect.h"
#include "support/FakeTreeView.h"

#include <gtest/gtest.h>

using namespace bw;
using namespace bw::test;

namespace {

using Nodes = std::vector<TDecTreeNode*>;
using Strings = std::vector<std::string>;

const std::string AskFixed =
    "ask:This decision has been defined as fixed. Do you still want to take a new option?";
const std::string AskDelete =
    "ask:Do you really want to delete the selected node(s) and all of its/their children?";
const std::string InfoMaster =
    "info:This node or one of its children has one or more clones. Please unlink them first.";
const std::string Overdue =
    "Decision is overdue (Status date behind Due date but actual not checked)";

// The entries of the log that are undo steps, questions, notices, dialogs,
// events or recalculations: what the order tests compare.
Strings Effects(const Strings& log) {
  Strings out;
  for (const std::string& e : log)
    if (e.rfind("undo:", 0) == 0 || e.rfind("ask:", 0) == 0 || e.rfind("info:", 0) == 0 ||
        e.rfind("due-date", 0) == 0 || e == "calculated" || e == "expand-collapse" ||
        e == "show-property" || e.rfind("advanced", 0) == 0 || e.rfind("show-editor", 0) == 0)
      out.push_back(e);
  return out;
}

Strings Undos(const Strings& log) {
  Strings out;
  for (const std::string& e : log)
    if (e.rfind("undo:", 0) == 0) out.push_back(e.substr(5));
  return out;
}

TDecTreeNode* MakeClone(TControl& c, TDecTreeNode* parent, TDecTreeNode* master) {
  TDecTreeNode* clone = c.Add(parent, "K", 0);
  EXPECT_EQ(clone->SetCloneMaster(master->Id), "");
  return clone;
}

} // namespace

// ---- Construction, recalculation, selection --------------------------------

TEST(DecTree, Construction) {
  TControl c;
  EXPECT_TRUE(c.Log.empty()); // nothing recalculated or shown yet
  TDecTreeNode* r = c.Root();
  EXPECT_EQ(r->Caption, "Root");
  EXPECT_EQ(r->Comment, "Right click for options");
  EXPECT_EQ(r->NodeType, ntDecision);
  EXPECT_EQ(r->ChanceType, ctPercent);
  EXPECT_EQ(r->Probability, 100);
  EXPECT_EQ(r->Payoff, 0);
  EXPECT_TRUE(r->ChildrenVisible);
  EXPECT_FALSE(r->DecisionShowCaption || r->DecisionShowOwner || r->DecisionShowDueDate ||
               r->DecisionShowFixed || r->DecisionMultiShowBudget ||
               r->DecisionMultiShowInvestment || r->DecisionFixed);
  EXPECT_EQ(r->DecisionMultiBudget, -1);
  EXPECT_EQ(r->DecisionDueDate, 0);
  EXPECT_TRUE(r->PayoffSource.empty() && r->DecisionCaption.empty() && r->DecisionOwner.empty());
  EXPECT_FALSE(r->Id.IsEmpty());
  EXPECT_TRUE(r->Ref.IsEmpty());
  EXPECT_EQ(r->Parent, nullptr);
  EXPECT_EQ(r->Tree, &c.Tree);
  EXPECT_EQ(c.Selected(), Nodes{r});
  EXPECT_EQ(c.Tree.SelectionElementType, htBox);
  EXPECT_EQ(c.Tree.BorderSize, 10);
  EXPECT_EQ(c.Tree.Width(), 100);
  EXPECT_EQ(c.Tree.Height(), 100);
  EXPECT_EQ(c.Tree.Options, TTreeOptions{});
  EXPECT_EQ(c.Tree.DefaultFont, (TFontSpec{"Verdana", 8, 0}));
  EXPECT_EQ(c.Tree.Levels(), 1);

  c.Tree.Recalculate();
  EXPECT_EQ(c.Tree.HintAt(30, 20), "Right click for options");
}

TEST(DecTree, RecalculateSizesRepaintsAndReportsLast) {
  TControl c;
  c.Tree.DefaultFont = {"Arial", 12, 1};
  c.Tree.Recalculate();
  EXPECT_EQ(c.Log, (Strings{"size 164x39", "repaint", "calculated"}));
  EXPECT_EQ(c.View.Canvas.Font.Spec, (TFontSpec{"Arial", 12, 1}));
  EXPECT_TRUE(c.Root()->OnPath);

  // Levels and VisibleLevels: recalculates, no event but OnCalculated.
  TDecTreeNode* a = c.Add(c.Root(), "A", 100);
  c.Add(a, "A1", 100);
  EXPECT_EQ(c.Tree.Levels(), 3);
  c.Log.clear();
  c.Tree.SetVisibleLevels(1);
  EXPECT_FALSE(c.Root()->ChildrenVisible);
  EXPECT_TRUE(a->ChildrenVisible);
  EXPECT_EQ(c.Log.back(), "calculated");
  EXPECT_TRUE(Undos(c.Log).empty());
  EXPECT_FALSE(c.View.Logged("expand-collapse"));
  // The drawing is the root alone.
  EXPECT_EQ(c.Root()->Bounds.Height, 27);
}

TEST(DecTree, SelectElementModes) {
  TwoOptions t;
  TDecTreeNode* r = t.Root();
  t.Select({t.A}, htBox);
  // Buttons: nothing at all, in any mode.
  for (TSelectMode mode : {smReplace, smToggle, smKeep})
    for (TNodeElementType button : {htPlusMinus, htRollUpDown}) {
      t.Tree.SelectElement(MakeNodeHit(r, button), mode);
      EXPECT_EQ(t.Selected(), Nodes{t.A});
      EXPECT_EQ(t.Tree.SelectionElementType, htBox);
    }
  EXPECT_TRUE(t.Log.empty());

  // Replace: a click on nothing clears but keeps the type.
  t.Select({t.A}, htPayoff);
  t.Tree.SelectElement({}, smReplace);
  EXPECT_TRUE(t.Selected().empty());
  EXPECT_EQ(t.Tree.SelectionElementType, htPayoff);
  EXPECT_EQ(t.Log.back(), "invalidate");
  t.Tree.SelectElement(MakeNodeHit(t.B, htProbability), smReplace);
  EXPECT_EQ(t.Selected(), Nodes{t.B});
  EXPECT_EQ(t.Tree.SelectionElementType, htProbability);

  // Toggle: another type replaces; the same type adds or removes.
  t.Select({t.A, t.B}, htBox);
  t.Tree.SelectElement(MakeNodeHit(t.B, htProbability), smToggle);
  EXPECT_EQ(t.Selected(), Nodes{t.B});
  EXPECT_EQ(t.Tree.SelectionElementType, htProbability);
  t.Tree.SelectElement(MakeNodeHit(t.B, htProbability), smToggle);
  EXPECT_TRUE(t.Selected().empty());
  t.Tree.SelectElement(MakeNodeHit(t.A, htProbability), smToggle);
  t.Tree.SelectElement(MakeNodeHit(t.B, htProbability), smToggle);
  EXPECT_EQ(t.Selected(), (Nodes{t.A, t.B}));
  t.Tree.SelectElement({}, smToggle);
  EXPECT_EQ(t.Selected(), (Nodes{t.A, t.B}));

  // Keep: an element already selected keeps the whole selection.
  t.Tree.SelectElement(MakeNodeHit(t.B, htProbability), smKeep);
  EXPECT_EQ(t.Selected(), (Nodes{t.A, t.B}));
  t.Tree.SelectElement(MakeNodeHit(t.B, htPayoff), smKeep);
  EXPECT_EQ(t.Selected(), Nodes{t.B});
  EXPECT_EQ(t.Tree.SelectionElementType, htPayoff);
  t.Tree.SelectElement(MakeNodeHit(r, htPayoff), smKeep);
  EXPECT_EQ(t.Selected(), Nodes{r});
  t.Tree.SelectElement({}, smKeep);
  EXPECT_TRUE(t.Selected().empty());
  EXPECT_EQ(t.Tree.SelectionElementType, htPayoff);
}

TEST(DecTree, SelectNodeDoesNotRepaint) {
  TwoOptions t;
  t.Tree.SelectNode(t.B, htPayoff);
  EXPECT_EQ(t.Selected(), Nodes{t.B});
  EXPECT_EQ(t.Tree.SelectionElementType, htPayoff);
  EXPECT_TRUE(t.Log.empty());
  t.Tree.SetSelectionElementType(htProbability);
  EXPECT_EQ(t.Log, Strings{"invalidate"});
}

TEST(DecTree, GetSelectedNodesSkipsUnknownIdsInSelectionOrder) {
  TwoOptions t;
  TDecTreeNode* r = t.Root();
  t.Tree.Selection.Clear();
  t.Tree.Selection.Add(Guid::NewGuid());
  t.Tree.Selection.Add(t.B->Id);
  EXPECT_EQ(t.Selected(), Nodes{t.B});
  // Many ids.
  t.Tree.Selection.Clear();
  for (const Guid& id :
       {t.B->Id, Guid::NewGuid(), r->Id, Guid::NewGuid(), t.A->Id, Guid::NewGuid()})
    t.Tree.Selection.Add(id);
  EXPECT_EQ(t.Selected(), (Nodes{t.B, r, t.A}));
  // A selection survives a replaced root by id.
  auto copy = r->CopySubtree(nullptr, false, nullptr);
  TDecTreeNode* copyB = copy->Child(1);
  auto old = t.Tree.ExchangeRoot(std::move(copy));
  EXPECT_EQ(t.Selected(), (Nodes{copyB, t.Tree.TreeRoot(), t.Tree.TreeRoot()->Child(0)}));
  t.Tree.ExchangeRoot(std::move(old)).reset();
}

// ---- Keyboard ---------------------------------------------------------------

TEST(DecTree, TabVisitsWhatAppliesToEverySelectedNode) {
  TControl c;
  TDecTreeNode* r = c.Root();
  auto tab = [&](bool back = false) {
    c.Tree.KeyDown(TKey::Tab, {.Shift = back});
    return c.Tree.SelectionElementType;
  };
  // A lone root: only the box.
  EXPECT_EQ(tab(), htBox);
  EXPECT_EQ(tab(true), htBox);
  EXPECT_EQ(c.Log.back(), "invalidate");

  TDecTreeNode* a = c.Add(r, "A", 100);
  c.Select({a}, htBox);
  EXPECT_EQ(tab(), htProbability);
  EXPECT_EQ(tab(), htPayoff);
  EXPECT_EQ(tab(), htBox);
  EXPECT_EQ(tab(true), htPayoff);
  a->DecisionShowCaption = true;
  EXPECT_EQ(tab(), htIndicatorCaption);
  EXPECT_EQ(tab(), htBox);

  // With the root among the selection: never probability or payoff.
  r->DecisionShowCaption = true;
  c.Select({a, r}, htBox);
  EXPECT_EQ(tab(), htIndicatorCaption);
  EXPECT_EQ(tab(), htBox);

  // With a chance node among them: never owner, due date or mode.
  TDecTreeNode* d = c.Add(r, "D", 0);
  d->DecisionShowOwner = d->DecisionShowDueDate = true;
  c.Add(d, "d1", 100);
  TDecTreeNode* ch = c.Add(r, "C", 0, 0, ntChance);
  ch->DecisionShowOwner = ch->DecisionShowDueDate = true;
  c.Add(ch, "c1", 100);
  c.Select({d, ch}, htPayoff);
  EXPECT_EQ(tab(), htBox);
  c.Select({d}, htPayoff);
  EXPECT_EQ(tab(), htIndicatorOwner);
  EXPECT_EQ(tab(), htIndicatorDueDate);
  EXPECT_EQ(tab(), htBox);
  EXPECT_EQ(tab(true), htIndicatorDueDate);

  // The read-only investment line is in the order.
  TDecTreeNode* m = c.Add(r, "M", 0, 0, ntMultiDecision);
  m->DecisionMultiShowInvestment = true;
  c.Add(m, "m1", 100);
  c.Select({m}, htPayoff);
  EXPECT_EQ(tab(), htIndicatorMultiInvestment);

  // A type outside the order continues with the box, both ways.
  c.Select({m}, htIndicator);
  EXPECT_EQ(tab(), htBox);
  c.Select({m}, htIndicator);
  EXPECT_EQ(tab(true), htBox);
}

TEST(DecTree, ArrowsMoveTheSelectionAndKeepTheType) {
  TControl c;
  TDecTreeNode* r = c.Root();
  TDecTreeNode* a = c.Add(r, "A", 100);
  TDecTreeNode* a1 = c.Add(a, "A1", 100);
  TDecTreeNode* b = c.Add(r, "B", 0);
  a->ChildrenVisible = false;
  c.Tree.Recalculate();
  auto key = [&](TKey k) {
    c.Tree.KeyDown(k, {});
    return c.Selected();
  };
  c.Select({}, htPayoff);
  EXPECT_EQ(key(TKey::Down), Nodes{r}); // nothing selected: the root, no further
  EXPECT_EQ(key(TKey::Left), Nodes{r});
  EXPECT_EQ(key(TKey::Up), Nodes{r});
  EXPECT_EQ(key(TKey::Right), Nodes{a});
  EXPECT_EQ(key(TKey::Right), Nodes{a1}); // hidden under the collapsed A
  EXPECT_EQ(key(TKey::Left), Nodes{a});
  EXPECT_EQ(key(TKey::Up), Nodes{a});
  EXPECT_EQ(key(TKey::Down), Nodes{b});
  EXPECT_EQ(key(TKey::Down), Nodes{b});
  EXPECT_EQ(key(TKey::Right), Nodes{b});
  EXPECT_EQ(c.Tree.SelectionElementType, htPayoff);
  EXPECT_EQ(c.Log.back(), "invalidate");
  // The first selected node moves.
  c.Select({b, a}, htBox);
  EXPECT_EQ(key(TKey::Up), Nodes{a});
}

// ---- EditElement --------------------------------------------------------------

TEST(DecTree, EditBoxCaption) {
  TwoOptions t;
  t.Select({t.A, t.B}, htBox);
  EXPECT_TRUE(t.Tree.EditElement(false, 0));
  EXPECT_EQ(Effects(t.Log), (Strings{"undo:Edit Title", "show-editor A"}));
  // Box 109,11 28x25: 6 px in, 10 narrower, 12 lower.
  EXPECT_EQ(t.View.EditorRect, (TNodeRect{115, 17, 18, 13}));
  EXPECT_EQ(t.Tree.EditedNode(), t.A);
  EXPECT_EQ(t.Tree.EditedElement(), htBox);
  // Index past the end: the first.
  EXPECT_TRUE(t.Tree.EditElement(false, 1));
  EXPECT_EQ(t.Tree.EditedNode(), t.B);
  EXPECT_TRUE(t.Tree.EditElement(false, 2));
  EXPECT_EQ(t.Tree.EditedNode(), t.A);

  // After the outline code.
  t.Tree.Options.OutlineCodes = true;
  t.Tree.Recalculate();
  t.Tree.EditElement(false, 0);
  const TNodeRect& box = t.A->Rect(htBox);
  EXPECT_EQ(box.Width, 49); // "1  A   "
  EXPECT_EQ(t.View.EditorRect, (TNodeRect{box.Left + 6 + 21, box.Top + 6, 49 - 10 - 21, 13}));
}

TEST(DecTree, TakingAnOptionOfAFixedDecisionAsksBeforeTheUndoStep) {
  TwoOptions t;
  t.Root()->DecisionFixed = true;
  t.Select({t.B}, htProbability);
  t.View.Answers = {false};
  EXPECT_FALSE(t.Tree.EditElement(false, 0));
  EXPECT_EQ(Effects(t.Log), Strings{AskFixed});
  EXPECT_EQ(t.B->Probability, 0);

  t.Log.clear();
  t.View.Answers = {true};
  EXPECT_FALSE(t.Tree.EditElement(false, 0));
  EXPECT_EQ(Effects(t.Log), (Strings{AskFixed, "undo:Take/Toggle option", "calculated"}));
  EXPECT_EQ(t.B->Probability, 100);
  EXPECT_EQ(t.A->Probability, 0);
  EXPECT_FALSE(t.View.EditorShown);

  // An option that is not at 0: no question.
  t.Log.clear();
  t.Select({t.B}, htProbability);
  t.Tree.EditElement(false, 0);
  EXPECT_EQ(Effects(t.Log), (Strings{"undo:Take/Toggle option", "calculated"}));
}

TEST(DecTree, EditProbabilityAndPayoff) {
  TwoOptions t;
  TDecTreeNode* ch = t.Add(t.A, "C", 100, 0, ntChance);
  TDecTreeNode* w = t.Add(ch, "w", 12.5, 2.5);
  TDecTreeNode* v = t.Add(ch, "v", 87.5);
  t.Tree.Recalculate();
  t.Log.clear();

  t.Select({w}, htProbability);
  EXPECT_TRUE(t.Tree.EditElement(false, 0));
  EXPECT_EQ(Effects(t.Log), (Strings{"undo:Edit Probability", "show-editor 12.5"}));
  EXPECT_EQ(t.View.EditorRect, w->Rect(htProbability));

  // The root has neither, even for the advanced edit.
  t.Log.clear();
  t.Select({t.Root()}, htProbability);
  EXPECT_FALSE(t.Tree.EditElement(false, 0));
  t.Select({t.Root()}, htPayoff);
  EXPECT_FALSE(t.Tree.EditElement(true, 0));
  EXPECT_TRUE(t.Log.empty());

  // Payoff: the number with the tree's decimals, rounded as the money text
  // shows it, without symbol or grouping.
  t.Select({w}, htPayoff);
  EXPECT_TRUE(t.Tree.EditElement(false, 0));
  EXPECT_EQ(Effects(t.Log), (Strings{"undo:Edit Payoff", "show-editor 3"}));
  EXPECT_EQ(t.View.EditorRect, w->Rect(htPayoff));
  t.Tree.Options.CurrencyDecimals = 2;
  t.Tree.Options.CurrencySymbol = "$";
  v->Payoff = DoubleToCurrency(-1234.125);
  t.Select({v}, htPayoff);
  t.Tree.EditElement(false, 0);
  EXPECT_EQ(t.View.EditorText, "-1234.13");
  t.Tree.Locale.DecimalSeparator = ",";
  t.Tree.EditElement(false, 0);
  EXPECT_EQ(t.View.EditorText, "-1234,13");

  // A payoff source, or the advanced command: the application's dialog.
  t.Log.clear();
  v->PayoffSource = "Income-Cost: 1:2";
  EXPECT_FALSE(t.Tree.EditElement(false, 0));
  t.Select({w}, htPayoff);
  EXPECT_FALSE(t.Tree.EditElement(true, 0));
  EXPECT_EQ(Effects(t.Log), (Strings{"advanced v 4", "advanced w 4"}));
}

TEST(DecTree, EditPropertyLines) {
  TControl c;
  TDecTreeNode* m = c.Add(c.Root(), "M", 100, 0, ntMultiDecision);
  m->DecisionShowCaption = m->DecisionShowOwner = m->DecisionMultiShowBudget = true;
  m->DecisionMultiShowInvestment = true;
  m->DecisionCaption = "Go";
  m->DecisionOwner = "Bob";
  c.Add(m, "x", 100);
  c.Tree.Recalculate();
  c.Log.clear();

  c.Select({m}, htIndicatorCaption);
  EXPECT_TRUE(c.Tree.EditElement(false, 0));
  const TNodeRect& cap = m->Rect(htIndicatorCaption);
  EXPECT_EQ(c.View.EditorRect, (TNodeRect{cap.Left, cap.Top, cap.Width + 2, 13}));
  EXPECT_EQ(c.View.EditorText, "Go");

  c.Select({m}, htIndicatorOwner);
  EXPECT_TRUE(c.Tree.EditElement(false, 0));
  const TNodeRect& own = m->Rect(htIndicatorOwner);
  EXPECT_EQ(c.View.EditorRect, (TNodeRect{own.Left + 49, own.Top, own.Width - 49 + 2, 13}));
  EXPECT_EQ(c.View.EditorText, "Bob");

  c.Select({m}, htIndicatorMultiBudget);
  EXPECT_TRUE(c.Tree.EditElement(false, 0));
  const TNodeRect& bud = m->Rect(htIndicatorMultiBudget);
  EXPECT_EQ(c.View.EditorRect, (TNodeRect{bud.Left + 56, bud.Top, bud.Width - 56 + 2, 13}));
  EXPECT_EQ(c.View.EditorText, "");
  m->DecisionMultiBudget = 70;
  EXPECT_TRUE(c.Tree.EditElement(false, 0));
  EXPECT_EQ(c.View.EditorText, "70");

  EXPECT_EQ(Undos(c.Log),
            (Strings{"Edit Caption", "Edit Decision Owner", "Edit Budget", "Edit Budget"}));

  // Read-only or not an element: nothing.
  c.Log.clear();
  for (TNodeElementType type : {htIndicatorMultiInvestment, htIndicator}) {
    c.Select({m}, type);
    EXPECT_FALSE(c.Tree.EditElement(false, 0));
  }
  c.Select({}, htBox);
  EXPECT_FALSE(c.Tree.EditElement(false, 0));
  EXPECT_TRUE(c.Log.empty());
}

TEST(DecTree, DueDateStepComesBeforeTheDialogAndStaysOnCancel) {
  TwoOptions t;
  TDecTreeNode* r = t.Root();
  r->DecisionShowDueDate = r->DecisionShowFixed = true;
  r->DecisionDueDate = 40000;
  t.Tree.Recalculate();
  t.Log.clear();
  t.Select({r}, htIndicatorDueDate);
  const TNodeRect& ind = r->Rect(htIndicator);
  const std::string dialog =
      "due-date " + std::to_string(ind.Left) + "," + std::to_string(NodeRectBottom(ind));

  EXPECT_FALSE(t.Tree.EditElement(false, 0)); // cancelled
  EXPECT_EQ(Effects(t.Log), (Strings{"undo:Edit Decision Due Date", dialog}));
  EXPECT_EQ(r->DecisionDueDate, 40000);

  t.Log.clear();
  TDateTime shown = -1;
  t.View.DueDateDialog = [&](TDateTime& date) {
    shown = date;
    date = 0; // the box unchecked
    return true;
  };
  t.Tree.EditElement(false, 0);
  EXPECT_EQ(shown, 40000);
  EXPECT_EQ(r->DecisionDueDate, 0);
  EXPECT_EQ(Effects(t.Log), (Strings{"undo:Edit Decision Due Date", dialog, "calculated"}));

  // The mode line toggles.
  t.Log.clear();
  t.Select({r}, htIndicatorFixed);
  EXPECT_FALSE(t.Tree.EditElement(false, 0));
  EXPECT_TRUE(r->DecisionFixed);
  EXPECT_EQ(Effects(t.Log), (Strings{"undo:Toggle Mode", "calculated"}));
}

TEST(DecTree, EditPermissionsWithClones) {
  TControl c;
  TDecTreeNode* m = c.Add(c.Root(), "M", 100);
  c.Add(m, "x", 100);
  TDecTreeNode* k = MakeClone(c, c.Root(), m);
  c.Tree.Recalculate();
  TDecTreeNode* copy = k->Child(0);
  // The clone's own caption and payoff may be edited, its properties not.
  c.Select({k}, htBox);
  EXPECT_TRUE(c.Tree.CanEditSelection());
  c.Select({k}, htPayoff);
  EXPECT_TRUE(c.Tree.CanEditSelection());
  c.Select({k}, htIndicatorCaption);
  EXPECT_FALSE(c.Tree.CanEditSelection());
  // Inside a clone: only taking an option (which acts on the master).
  c.Select({copy}, htBox);
  EXPECT_FALSE(c.Tree.CanEditSelection());
  c.Select({copy}, htProbability);
  EXPECT_TRUE(c.Tree.CanEditSelection());
  c.Select({m, k}, htIndicatorMultiInvestment);
  EXPECT_FALSE(c.Tree.CanEditSelection());

  c.Select({m}, htBox);
  EXPECT_TRUE(c.Tree.CanDeleteSelection());
  for (TDecTreeNode* n : {c.Root(), k, copy}) {
    c.Select({m, n}, htBox);
    EXPECT_FALSE(c.Tree.CanDeleteSelection());
  }
  c.Select({}, htBox);
  EXPECT_FALSE(c.Tree.CanDeleteSelection());
}

// ---- In-place editing ------------------------------------------------------------

TEST(DecTree, KeystrokesAreAppliedAtOnceWithoutNewUndoSteps) {
  TwoOptions t;
  TDecTreeNode* ch = t.Add(t.A, "C", 100, 0, ntChance);
  TDecTreeNode* w = t.Add(ch, "w", 10);
  t.Tree.Recalculate();

  t.Select({w}, htProbability);
  t.Tree.EditElement(false, 0);
  t.Log.clear();
  t.Tree.InplaceEditChange("12.5 %");
  EXPECT_EQ(w->Probability, 12.5);
  EXPECT_EQ(Effects(t.Log), Strings{"calculated"});
  // The editor follows the probability's new place ("12.5%"), as wide as
  // the typed text, which is wider.
  EXPECT_EQ(w->Rect(htProbability).Width, 35);
  EXPECT_EQ(t.View.EditorRect.Width, 6 * 7 + 4);
  EXPECT_EQ(NodeRectRight(t.View.EditorRect), NodeRectRight(w->Rect(htProbability)));
  t.Tree.InplaceEditChange("");
  EXPECT_EQ(w->Probability, 0);
  t.Tree.InplaceEditChange("1e10");
  EXPECT_EQ(w->Probability, 1e10); // a weight of any size the payoffs can take

  t.Select({w}, htPayoff);
  t.Tree.EditElement(false, 0);
  t.Tree.InplaceEditChange("1.23456");
  EXPECT_EQ(w->Payoff, 12346); // four decimals
  t.Tree.InplaceEditChange("-2.5");
  EXPECT_EQ(w->Payoff, -25000);

  TDecTreeNode* m = t.Add(t.Root(), "M", 0, 0, ntMultiDecision);
  m->DecisionMultiShowBudget = true;
  t.Add(m, "x", 100);
  t.Tree.Recalculate();
  t.Select({m}, htIndicatorMultiBudget);
  t.Tree.EditElement(false, 0);
  t.Tree.InplaceEditChange("70");
  EXPECT_EQ(m->DecisionMultiBudget, 70);
  t.Tree.InplaceEditChange("");
  EXPECT_EQ(m->DecisionMultiBudget, -1);
  EXPECT_EQ(Undos(t.Log), (Strings{"Edit Payoff", "Edit Budget"}));
}

// Text that is no number leaves the node as it was, and the editor says so
// until the text is a number again; Enter does not end such an edit, Esc
// still takes it back.
TEST(DecTree, TextThatIsNoNumberIsRefusedInPlace) {
  TwoOptions t;
  t.Tree.Options.CurrencySymbol = "\u00A3";
  TDecTreeNode* m = t.Add(t.Root(), "M", 0, 0, ntMultiDecision);
  m->DecisionMultiShowBudget = true;
  t.Add(m, "y", 100);
  TDecTreeNode* w = t.Add(t.Add(t.B, "C", 100, 0, ntChance), "w", 50);
  t.Tree.Recalculate();
  t.Select({t.A}, htPayoff);
  t.Tree.EditElement(false, 0);
  t.Log.clear();
  for (const char* text : {"abc", "7,5", "1e20"})
    t.Tree.InplaceEditChange(text);
  EXPECT_EQ(t.A->Payoff, 50000);
  EXPECT_EQ(Effects(t.Log), Strings{}); // nothing recalculated
  EXPECT_EQ(t.View.Starting("editor-error"), Strings{"editor-error Invalid number"});
  EXPECT_TRUE(t.Tree.InplaceEditKeyDown(TKey::Enter, {.Ctrl = true}));
  EXPECT_TRUE(t.View.EditorShown);
  // Wider than the control: the editor takes the control's width.
  t.Tree.InplaceEditChange(std::string(500, 'x'));
  EXPECT_EQ(t.View.EditorRect.Left, 0);
  EXPECT_EQ(t.View.EditorRect.Width, t.Tree.Width());
  t.Tree.InplaceEditChange("-\u00A37,500");
  EXPECT_EQ(t.A->Payoff, -75000000);
  EXPECT_EQ(t.View.EditorError, "");
  // While refused, the node holds its value from before the edit, rolled
  // back as such.
  t.Tree.InplaceEditChange("-\u00A37,500x");
  EXPECT_EQ(t.A->Payoff, 50000);
  EXPECT_EQ(t.Root()->Value, 5);
  t.Tree.InplaceEditKeyDown(TKey::Escape, {});
  EXPECT_EQ(t.A->Payoff, 50000);
  EXPECT_EQ(t.View.EditorError, "");

  // So are probabilities; a budget is whole. Ended from outside, an edit
  // keeps a number and takes back what is none, saying so.
  t.Select({w}, htProbability);
  t.Tree.EditElement(false, 0);
  t.Tree.InplaceEditChange("4");
  t.Tree.InplaceEditChange("4,5");
  EXPECT_EQ(w->Probability, 50);
  t.Tree.HideInplaceEditor();
  EXPECT_EQ(w->Probability, 50);
  EXPECT_EQ(t.View.StatusText, "Invalid number: the edit was taken back");
  t.Select({m}, htIndicatorMultiBudget);
  // A fraction is refused as typed, however small it is.
  for (const char* text : {"\u00A3 1,000", "12.5", "1000.00004", "0.00005"}) {
    t.Tree.EditElement(false, 0);
    t.Tree.InplaceEditChange(text);
    t.Tree.HideInplaceEditor();
    EXPECT_EQ(m->DecisionMultiBudget, 1000);
    EXPECT_EQ(t.View.EditorError, "");
  }
  EXPECT_EQ(t.View.Count("status Invalid number: the edit was taken back"), 4);
}

TEST(DecTree, TypedCaptionWidensThenFollowsTheBox) {
  TwoOptions t;
  t.Select({t.A}, htBox);
  t.Tree.KeyPress("7");
  // Typing over a box replaces the caption with the character at once.
  EXPECT_EQ(t.A->Caption, "7");
  EXPECT_EQ(Effects(t.Log), (Strings{"undo:Edit Title", "show-editor A", "calculated"}));
  EXPECT_EQ(t.View.EditorText, "7");
  t.Log.clear();
  t.Tree.InplaceEditChange("Newer");
  EXPECT_EQ(t.A->Caption, "Newer");
  // First the text's width + 4, then the box's inner width.
  EXPECT_EQ(t.View.Starting("editor-width"), Strings{"editor-width 39"});
  EXPECT_EQ(t.A->Rect(htBox).Width, 56);
  EXPECT_EQ(t.View.EditorRect.Width, 56 - 10);
  EXPECT_EQ(t.View.EditorRect.Left, t.A->Rect(htBox).Left + 6);

  // Characters below 32 start nothing; an element edited otherwise gets no
  // text.
  t.Log.clear();
  t.Tree.KeyPress("\t");
  EXPECT_TRUE(t.Log.empty());
  t.Root()->DecisionShowFixed = true;
  t.Tree.Recalculate();
  t.Select({t.Root()}, htIndicatorFixed);
  t.Log.clear();
  t.Tree.KeyPress(" ");
  EXPECT_TRUE(t.Root()->DecisionFixed);
  EXPECT_TRUE(t.View.Starting("editor-text").empty());
}

TEST(DecTree, OwnerEditorKeepsItsLabelOut) {
  TwoOptions t;
  TDecTreeNode* r = t.Root();
  r->DecisionShowOwner = true;
  t.Tree.Recalculate();
  t.Select({r}, htIndicatorOwner);
  t.Tree.EditElement(false, 0);
  t.Tree.InplaceEditChange("Ann");
  EXPECT_EQ(r->DecisionOwner, "Ann");
  const TNodeRect& line = r->Rect(htIndicatorOwner);
  // After a change: no + 2.
  EXPECT_EQ(t.View.EditorRect.Left, line.Left + 49);
  EXPECT_EQ(t.View.EditorRect.Top, line.Top);
  EXPECT_EQ(t.View.EditorRect.Width, line.Width - 49);
}

TEST(DecTree, EnterOnTheFirstOfTwoNewChildrenMovesToTheSecond) {
  TwoOptions t;
  t.Select({t.A}, htBox);
  t.Tree.KeyDown(TKey::Insert, {});
  ASSERT_EQ(t.A->ChildCount(), 2);
  TDecTreeNode* a1 = t.A->Child(0);
  TDecTreeNode* a2 = t.A->Child(1);
  EXPECT_TRUE(t.Tree.EditingNewNodes());
  EXPECT_EQ(t.Tree.EditedNode(), a1);
  t.Tree.InplaceEditChange("yes");
  EXPECT_TRUE(t.Tree.InplaceEditKeyDown(TKey::Enter, {}));
  EXPECT_EQ(t.Selected(), Nodes{a2});
  EXPECT_EQ(t.Tree.EditedNode(), a2);
  EXPECT_TRUE(t.View.EditorShown);
  EXPECT_FALSE(t.Tree.EditingNewNodes());
  t.Tree.InplaceEditChange("no");
  t.Tree.InplaceEditKeyDown(TKey::Enter, {});
  EXPECT_FALSE(t.View.EditorShown);
  EXPECT_EQ(a1->Caption, "yes");
  EXPECT_EQ(a2->Caption, "no");
  EXPECT_EQ(Undos(t.Log), (Strings{"Add subnodes", "Edit Title", "Edit Title"}));
}

TEST(DecTree, EnterContinuesWithTheNextSelectedNode) {
  TwoOptions t;
  t.Select({t.B, t.A}, htBox);
  t.Tree.EditElement(false, 0);
  EXPECT_EQ(t.Tree.EditedNode(), t.B);
  t.Tree.InplaceEditKeyDown(TKey::Enter, {});
  EXPECT_EQ(t.Tree.EditedNode(), t.A);
  EXPECT_TRUE(t.View.EditorShown);
  t.Tree.InplaceEditKeyDown(TKey::Enter, {});
  EXPECT_FALSE(t.View.EditorShown);
  EXPECT_EQ(Undos(t.Log), (Strings{"Edit Title", "Edit Title"}));
  EXPECT_EQ(t.Selected(), (Nodes{t.B, t.A}));
}

TEST(DecTree, EscAfterInsertRemovesTheNewNodes) {
  TwoOptions t;
  t.Select({t.A}, htBox);
  t.Tree.AddSubnodes(false);
  t.Tree.InplaceEditChange("typed");
  t.Log.clear();
  EXPECT_TRUE(t.Tree.InplaceEditKeyDown(TKey::Escape, {}));
  EXPECT_EQ(t.A->ChildCount(), 0);
  EXPECT_EQ(t.Selected(), Nodes{t.A});
  EXPECT_FALSE(t.View.EditorShown);
  EXPECT_EQ(t.Log.back(), "calculated");
  EXPECT_TRUE(Undos(t.Log).empty()); // "Add subnodes" and "Edit Title" stay

  // On a node with children only the one new child goes.
  t.Select({t.Root()}, htBox);
  t.Tree.AddSubnodes(false);
  ASSERT_EQ(t.Root()->ChildCount(), 3);
  EXPECT_EQ(t.Root()->Child(2)->Probability, 0);
  t.Tree.InplaceEditKeyDown(TKey::Escape, {});
  EXPECT_EQ(t.Root()->ChildCount(), 2);
  EXPECT_EQ(t.Root()->Child(1), t.B);
  EXPECT_EQ(t.Selected(), Nodes{t.Root()});

  // An ordinary edit: Esc writes back the saved value only.
  t.Select({t.B}, htPayoff);
  t.Tree.EditElement(false, 0);
  t.Tree.InplaceEditChange("12");
  t.Log.clear();
  t.Tree.InplaceEditKeyDown(TKey::Escape, {});
  EXPECT_EQ(t.B->Payoff, -30000);
  EXPECT_EQ(t.Root()->ChildCount(), 2);
  EXPECT_EQ(Effects(t.Log), Strings{"calculated"});
}

TEST(DecTree, CtrlEnterCopiesTheValueWhereItMeansTheSame) {
  TControl c;
  TDecTreeNode* r = c.Root();
  TDecTreeNode* ch = c.Add(r, "C", 100, 0, ntChance);
  TDecTreeNode* c1 = c.Add(ch, "c1", 10);
  TDecTreeNode* c2 = c.Add(ch, "c2", 20);
  TDecTreeNode* d = c.Add(r, "D", 0);
  TDecTreeNode* o1 = c.Add(d, "o1", 100);
  TDecTreeNode* o2 = c.Add(d, "o2", 0);
  TDecTreeNode* k = MakeClone(c, r, c2);
  c.Tree.Recalculate();

  // A probability goes to chance branches only.
  c.Select({c1, o2, c2, o1}, htProbability);
  ASSERT_TRUE(c.Tree.EditElement(false, 0));
  c.Tree.InplaceEditChange("37");
  c.Log.clear();
  EXPECT_TRUE(c.Tree.InplaceEditKeyDown(TKey::Enter, {.Ctrl = true}));
  EXPECT_EQ(c2->Probability, 37);
  EXPECT_EQ(o1->Probability, 100);
  EXPECT_EQ(o2->Probability, 0);
  EXPECT_EQ(Effects(c.Log), Strings{"calculated"});
  EXPECT_FALSE(c.View.EditorShown);

  // A payoff: not to the root, not over a payoff source, not to a clone.
  o2->PayoffSource = "Import: [a.xls]Sheet1!A1";
  c.Select({c1, r, o2, k, c2, o1}, htPayoff);
  ASSERT_TRUE(c.Tree.EditElement(false, 0));
  c.Tree.InplaceEditChange("7");
  c.Tree.InplaceEditKeyDown(TKey::Enter, {.Ctrl = true});
  EXPECT_EQ(c1->Payoff, 70000);
  EXPECT_EQ(c2->Payoff, 70000);
  EXPECT_EQ(o1->Payoff, 70000);
  EXPECT_EQ(r->Payoff, 0);
  EXPECT_EQ(o2->Payoff, 0);
  EXPECT_EQ(k->Payoff, 0);

  // Captions: to every selected node but clones.
  c.Select({c1, k, o1}, htBox);
  c.Tree.EditElement(false, 0);
  c.Tree.InplaceEditChange("Same");
  c.Tree.InplaceEditKeyDown(TKey::Enter, {.Ctrl = true});
  EXPECT_EQ(o1->Caption, "Same");
  EXPECT_EQ(k->Caption, "K");
  EXPECT_EQ(Undos(c.Log), (Strings{"Edit Payoff", "Edit Title"}));
}

// ---- Adding and deleting --------------------------------------------------------

TEST(DecTree, AddSubnodes) {
  TwoOptions t;
  t.A->ChildrenVisible = false;
  t.Select({t.A}, htPayoff);
  t.Tree.AddSubnodes(false);
  ASSERT_EQ(t.A->ChildCount(), 2);
  EXPECT_EQ(Effects(t.Log), (Strings{"undo:Add subnodes", "calculated", "calculated",
                                     "undo:Edit Title", "show-editor "}));
  EXPECT_TRUE(t.A->ChildrenVisible);
  for (int i = 0; i < 2; ++i) {
    const TDecTreeNode* n = t.A->Child(i);
    EXPECT_EQ(n->Probability, i == 0 ? 100 : 0);
    EXPECT_EQ(n->NodeType, ntDecision);
    EXPECT_EQ(n->ChanceType, ctPercent);
    EXPECT_TRUE(n->ChildrenVisible);
    EXPECT_EQ(n->DecisionMultiBudget, -1);
    EXPECT_TRUE(n->Caption.empty() && n->Comment.empty());
    EXPECT_FALSE(n->Id.IsEmpty());
    EXPECT_TRUE(n->Ref.IsEmpty());
  }
  EXPECT_NE(t.A->Child(0)->Id, t.A->Child(1)->Id);
  EXPECT_EQ(t.Selected(), Nodes{t.A->Child(0)});
  EXPECT_EQ(t.Tree.SelectionElementType, htBox);
  EXPECT_TRUE(t.Tree.EditingNewNodes());

  // To the parent; on the root, to the root.
  t.Select({t.B}, htBox);
  t.Tree.KeyDown(TKey::Insert, {.Shift = true});
  EXPECT_EQ(t.Root()->ChildCount(), 3);
  EXPECT_EQ(t.B->ChildCount(), 0);
  t.Select({t.Root()}, htBox);
  t.Tree.AddSubnodes(true);
  EXPECT_EQ(t.Root()->ChildCount(), 4);

  // Not with two nodes selected, nor on a clone.
  t.Log.clear();
  t.Select({t.A, t.B}, htBox);
  t.Tree.AddSubnodes(false);
  EXPECT_TRUE(t.Log.empty());
  TDecTreeNode* k = MakeClone(t, t.Root(), t.A);
  t.Tree.Recalculate();
  t.Log.clear();
  t.Select({k}, htBox);
  t.Tree.AddSubnodes(false);
  t.Select({k->Child(0)}, htBox);
  t.Tree.AddSubnodes(false);
  EXPECT_TRUE(t.Log.empty());
}

TEST(DecTree, DeleteAsksInOrderAndSelectsTheShallowestParent) {
  TControl c;
  TDecTreeNode* r = c.Root();
  TDecTreeNode* a = c.Add(r, "A", 100);
  TDecTreeNode* a1 = c.Add(a, "A1", 100);
  TDecTreeNode* a11 = c.Add(a1, "A11", 100);
  c.Add(a11, "A111", 100);
  TDecTreeNode* b = c.Add(r, "B", 0);
  c.Add(b, "B1", 100);
  c.Add(b, "B2", 0);
  c.Tree.Recalculate();
  c.Log.clear();

  // The root in the selection: nothing, silently.
  c.Select({a11, r}, htBox);
  c.Tree.KeyDown(TKey::Delete, {});
  EXPECT_TRUE(c.Log.empty());

  // Not confirmed.
  c.Select({a11, b}, htBox);
  c.View.Answers = {false};
  c.Tree.DeleteSelectedNodes(true);
  EXPECT_EQ(Effects(c.Log), Strings{AskDelete});
  EXPECT_EQ(r->ChildCount(), 2);

  // Confirmed: question, undo step, deletion, recalculation.
  c.Log.clear();
  c.Tree.DeleteSelectedNodes(true);
  EXPECT_EQ(Effects(c.Log), (Strings{AskDelete, "undo:Remove", "calculated"}));
  EXPECT_EQ(r->ChildCount(), 1);
  EXPECT_EQ(a1->ChildCount(), 0);
  EXPECT_EQ(c.Selected(), Nodes{r});

  // Without confirmation no question; of equal levels the first wins.
  TDecTreeNode* a2 = c.Add(a, "A2", 0);
  TDecTreeNode* c0 = c.Add(r, "C", 0);
  TDecTreeNode* c1 = c.Add(c0, "C1", 100);
  c.Tree.Recalculate();
  c.Log.clear();
  c.Select({c1, a2}, htBox);
  c.Tree.DeleteSelectedNodes(false);
  EXPECT_EQ(Effects(c.Log), (Strings{"undo:Remove", "calculated"}));
  EXPECT_EQ(c.Selected(), Nodes{c0});
}

TEST(DecTree, DeleteANodeWithItsDescendant) {
  for (bool descendantFirst : {false, true}) {
    TControl c;
    TDecTreeNode* a = c.Add(c.Root(), "A", 100);
    TDecTreeNode* a1 = c.Add(a, "A1", 100);
    TDecTreeNode* a11 = c.Add(a1, "A11", 100);
    c.Add(c.Root(), "B", 0);
    c.Tree.Recalculate();
    if (descendantFirst)
      c.Select({a11, a}, htBox);
    else
      c.Select({a, a11}, htBox);
    c.Tree.DeleteSelectedNodes(false);
    ASSERT_EQ(c.Root()->ChildCount(), 1);
    EXPECT_EQ(c.Root()->Child(0)->Caption, "B");
    EXPECT_EQ(c.Selected(), Nodes{c.Root()});
  }
}

TEST(DecTree, DeletingTheTakenOptionTakesTheFirstRemaining) {
  TwoOptions t;
  t.Select({t.A}, htBox);
  t.Tree.DeleteSelectedNodes(false);
  EXPECT_EQ(t.B->Probability, 100);

  TControl c;
  TDecTreeNode* ch = c.Add(c.Root(), "C", 100, 0, ntChance);
  TDecTreeNode* x = c.Add(ch, "x", 30);
  TDecTreeNode* y = c.Add(ch, "y", 0);
  TDecTreeNode* z = c.Add(ch, "z", 70);
  c.Select({x}, htBox);
  c.Tree.DeleteSelectedNodes(false);
  EXPECT_EQ(y->Probability, 0); // the rest sums to 70
  EXPECT_EQ(z->Probability, 70);
}

TEST(DecTree, DeleteRefusesAMasterOfAClone) {
  TControl c;
  TDecTreeNode* a = c.Add(c.Root(), "A", 100);
  TDecTreeNode* m = c.Add(a, "M", 100);
  c.Add(m, "x", 100);
  MakeClone(c, c.Root(), m);
  c.Tree.Recalculate();
  c.Log.clear();
  for (TDecTreeNode* n : {m, a}) {
    c.Select({n}, htBox);
    c.Tree.DeleteSelectedNodes(true);
    c.Tree.DeleteSelectedNodes(false);
  }
  EXPECT_EQ(Effects(c.Log), (Strings{InfoMaster, InfoMaster}));
  EXPECT_EQ(a->ChildCount(), 1);
}

// ---- Decision-property menu ----------------------------------------------------------

TEST(DecTree, PropertyMenuItemsAndClicks) {
  TControl c;
  TDecTreeNode* ch = c.Add(c.Root(), "C", 100, 0, ntChance);
  ch->DecisionShowOwner = true; // stored, not effective on a chance node
  c.Add(ch, "x", 100);
  TDecTreeNode* m = c.Add(c.Root(), "M", 0, 0, ntMultiDecision);
  m->DecisionMultiShowBudget = true;
  c.Add(m, "y", 100);
  c.Tree.Recalculate();
  c.Select({m}, htBox);
  c.Log.clear();

  const TNodeRect button = ch->Rect(htRollUpDown);
  c.Click({button.Left + 4, button.Top + 4});
  EXPECT_EQ(c.View.Starting("property-menu"),
            Strings{"property-menu " + std::to_string(button.Left) + "," +
                    std::to_string(NodeRectBottom(button))});
  EXPECT_EQ(c.Selected(), Nodes{m}); // the button selects nothing
  const std::vector<TPropertyMenuItem>& items = c.View.MenuItems;
  ASSERT_EQ(items.size(), 9u);
  const Strings names = {"butPopName",  "butPopBudget",  "butPopInvestment",
                         "butPopOwner", "butPopDueDate", "butPopFixed",
                         "butPopSep",   "butPopShowAll", "butPopHideAll"};
  const Strings captions = {"Show Caption",
                            "Show Budget",
                            "Show Investment (Readonly)",
                            "Show Owner",
                            "Show Due date",
                            "Show Mode",
                            "-",
                            "Show all",
                            "Hide all"};
  for (size_t i = 0; i < items.size(); ++i) {
    EXPECT_EQ(items[i].Name, names[i]);
    EXPECT_EQ(items[i].Caption, captions[i]);
    EXPECT_FALSE(items[i].Checked) << i; // the owner flag is not effective here
    EXPECT_EQ(items[i].Enabled, i == 0 || i >= 6) << i;
  }

  // A click: the application's event first, no undo step of its own.
  c.Log.clear();
  c.Tree.PopupItemClick("butPopShowAll");
  EXPECT_EQ(Effects(c.Log), (Strings{"show-property", "calculated"}));
  EXPECT_TRUE(ch->DecisionShowCaption && ch->DecisionShowOwner && ch->DecisionShowDueDate &&
              ch->DecisionShowFixed && ch->DecisionMultiShowBudget &&
              ch->DecisionMultiShowInvestment);
  std::vector<std::string> lines;
  ch->GetDecisionPropertyLines(lines);
  EXPECT_EQ(lines.size(), 1u); // only the caption shows

  // The multi-decision: everything enabled, its budget checked; a click
  // sets the flag to the opposite of the effective one.
  const TNodeRect mb = m->Rect(htRollUpDown);
  c.Click({mb.Left, mb.Top});
  for (size_t i = 0; i < 9; ++i) {
    EXPECT_TRUE(c.View.MenuItems[i].Enabled);
    EXPECT_EQ(c.View.MenuItems[i].Checked, i == 1);
  }
  c.Tree.PopupItemClick("butPopBudget");
  EXPECT_FALSE(m->DecisionMultiShowBudget);
  c.Tree.PopupItemClick("butPopDueDate");
  EXPECT_TRUE(m->DecisionShowDueDate);
  c.Tree.PopupItemClick("butPopHideAll");
  EXPECT_FALSE(m->DecisionShowCaption || m->DecisionShowOwner || m->DecisionShowDueDate ||
               m->DecisionShowFixed || m->DecisionMultiShowBudget ||
               m->DecisionMultiShowInvestment);

  // The node is found again at the click: gone, nothing happens.
  c.Select({m}, htBox);
  c.Tree.DeleteSelectedNodes(false);
  c.Log.clear();
  c.Tree.PopupItemClick("butPopName");
  EXPECT_TRUE(c.Log.empty());
}

// ---- Mouse ------------------------------------------------------------------

TEST(DecTree, PlusMinusCollapsesWithItsOwnEvent) {
  TwoOptions t;
  t.Select({t.B}, htPayoff);
  const TNodeRect& pm = t.Root()->Rect(htPlusMinus);
  t.Click({pm.Left + 4, pm.Top + 4});
  EXPECT_EQ(Effects(t.Log), (Strings{"expand-collapse", "calculated"}));
  EXPECT_FALSE(t.Root()->ChildrenVisible);
  EXPECT_EQ(t.Selected(), Nodes{t.B});
  EXPECT_FALSE(t.Tree.BandActive());
  // With Ctrl too; and back.
  t.Click({pm.Left + 4, pm.Top + 4}, true);
  EXPECT_TRUE(t.Root()->ChildrenVisible);
  EXPECT_EQ(t.Selected(), Nodes{t.B});
}

TEST(DecTree, ButtonsOfClonesAndEndNodesDoNothing) {
  TControl c;
  TDecTreeNode* m = c.Add(c.Root(), "M", 100);
  c.Add(m, "x", 100);
  TDecTreeNode* k = MakeClone(c, c.Root(), m);
  c.Tree.Recalculate();
  c.Select({m}, htBox);
  c.Log.clear();
  // The clone's decision properties are not its own: no menu, the
  // selection stays.
  const TNodeRect kb = k->Rect(htRollUpDown);
  for (TPoint p : {TPoint{kb.Left + 4, kb.Top + 1}, TPoint{kb.Left + 4, NodeRectBottom(kb)}}) {
    c.Click(p);
    EXPECT_EQ(c.Selected(), Nodes{m});
    EXPECT_EQ(c.Tree.HintAt(p.X, p.Y), "Linked node");
  }
  EXPECT_TRUE(c.View.Starting("property-menu").empty());
  // An end node's undrawn buttons: no collapsed leaf, no step, no menu.
  TDecTreeNode* x = m->Child(0);
  const TNodeRect xp = x->Rect(htPlusMinus);
  const TNodeRect xr = x->Rect(htRollUpDown);
  c.Click({NodeRectRight(xp), xp.Top + 4});
  c.Click({xr.Left + 4, NodeRectBottom(xr)});
  EXPECT_TRUE(x->ChildrenVisible);
  EXPECT_FALSE(c.View.Logged("expand-collapse"));
  EXPECT_TRUE(c.View.Starting("property-menu").empty());
}

TEST(DecTree, CtrlClickTogglesOnRelease) {
  TwoOptions t;
  t.Select({t.A}, htBox);
  const TPoint p = TControl::Mid(t.B, htProbability);
  t.Tree.MouseDown(TMouseButton::Left, {.Ctrl = true}, p.X, p.Y);
  EXPECT_EQ(t.Selected(), Nodes{t.A});
  EXPECT_EQ(t.Tree.SelectionElementType, htBox);
  t.Tree.MouseUp(TMouseButton::Left, {.Ctrl = true}, p.X, p.Y);
  EXPECT_EQ(t.Selected(), Nodes{t.B});
  EXPECT_EQ(t.Tree.SelectionElementType, htProbability);
  t.Click(p, true);
  EXPECT_TRUE(t.Selected().empty());
  // The Ctrl state of the press counts, not that of the release.
  t.Tree.MouseDown(TMouseButton::Left, {}, p.X, p.Y);
  t.Tree.MouseUp(TMouseButton::Left, {.Ctrl = true}, p.X, p.Y);
  EXPECT_EQ(t.Selected(), Nodes{t.B});
}

TEST(DecTree, RightClickKeepsAMultipleSelectionAndEndsABand) {
  TwoOptions t;
  t.Select({t.A, t.B}, htBox);
  t.Tree.MouseDown(TMouseButton::Right, {}, TControl::Mid(t.B, htBox).X,
                   TControl::Mid(t.B, htBox).Y);
  EXPECT_EQ(t.Selected(), (Nodes{t.A, t.B}));
  const TPoint payoff = TControl::Mid(t.A, htPayoff);
  t.Tree.MouseDown(TMouseButton::Right, {}, payoff.X, payoff.Y);
  EXPECT_EQ(t.Selected(), Nodes{t.A});
  EXPECT_EQ(t.Tree.SelectionElementType, htPayoff);
  t.Tree.MouseDown(TMouseButton::Middle, {}, 1, 1);
  EXPECT_EQ(t.Selected(), Nodes{t.A});

  t.Tree.MouseDown(TMouseButton::Left, {}, 300, 5); // nothing: a band
  EXPECT_TRUE(t.Tree.BandActive());
  t.Tree.MouseDown(TMouseButton::Right, {}, 300, 5);
  EXPECT_FALSE(t.Tree.BandActive());
}

TEST(DecTree, BandSelectsTheKeptElementType) {
  TwoOptions t;
  t.Select({t.A}, htPayoff);
  // A click on nothing clears the selection and starts a band.
  t.Tree.MouseDown(TMouseButton::Left, {}, 100, 2);
  EXPECT_TRUE(t.Selected().empty());
  EXPECT_EQ(t.Tree.SelectionElementType, htPayoff);
  EXPECT_TRUE(t.Tree.BandActive());
  EXPECT_TRUE(t.View.Logged("begin-band"));

  // Down to A's payoff (179,25 to 186,38).
  t.Log.clear();
  t.Tree.MouseMove({}, 180, 30);
  EXPECT_EQ(t.Selected(), Nodes{t.A});
  EXPECT_EQ(t.Log, (Strings{"repaint", "band-frame"}));
  // Still A only: no repaint, but a frame.
  t.Log.clear();
  t.Tree.MouseMove({}, 181, 40);
  EXPECT_EQ(t.Log, Strings{"band-frame"});
  // On to B's payoff (165,72): both, in tree order.
  t.Tree.MouseMove({}, 182, 75);
  EXPECT_EQ(t.Selected(), (Nodes{t.A, t.B}));
  // Back: B leaves again.
  t.Tree.MouseMove({}, 180, 30);
  EXPECT_EQ(t.Selected(), Nodes{t.A});
  t.Log.clear();
  t.Tree.MouseUp(TMouseButton::Left, {}, 180, 30);
  EXPECT_FALSE(t.Tree.BandActive());
  EXPECT_EQ(t.Log, Strings{"invalidate"});
  EXPECT_EQ(t.Selected(), Nodes{t.A});
}

TEST(DecTree, BandRectangleIsNormalisedAndClipped) {
  TwoOptions t; // 277 x 86
  t.Tree.MouseDown(TMouseButton::Left, {}, 100, 2);
  t.Tree.MouseMove({}, -30, -40);
  EXPECT_EQ(t.Tree.GetRubberBandRect(), (TRect{0, 0, 100, 2}));
  t.Tree.MouseMove({}, 500, 500);
  EXPECT_EQ(t.Tree.GetRubberBandRect(), (TRect{100, 2, 276, 85}));
  // Boxes band too when boxes are the type; the band ignores the root's
  // unplaced probability at (0, 0).
  t.Tree.MouseUp(TMouseButton::Left, {}, 500, 500);
  t.Select({}, htProbability);
  t.Tree.MouseDown(TMouseButton::Left, {}, 3, 3);
  t.Tree.MouseMove({}, 0, 0);
  EXPECT_TRUE(t.Selected().empty());
  t.Tree.MouseMove({}, 300, 100);
  EXPECT_EQ(t.Selected(), (Nodes{t.A, t.B}));
}

TEST(DecTree, CtrlBandTogglesWhatWasSelectedBefore) {
  TwoOptions t;
  t.Select({t.A}, htBox);
  // Ctrl on nothing (below A, left of B): the selection stays, a band starts.
  t.Tree.MouseDown(TMouseButton::Left, {.Ctrl = true}, 104, 50);
  ASSERT_TRUE(t.Tree.BandActive());
  EXPECT_EQ(t.Selected(), Nodes{t.A});
  // Over B's box (109,58) only: added.
  t.Tree.MouseMove({}, 110, 70);
  EXPECT_EQ(t.Selected(), (Nodes{t.A, t.B}));
  // Up over A's box (down to 36) and off B's: A, selected before the band,
  // is deselected while inside; B is no longer covered.
  t.Tree.MouseMove({}, 110, 20);
  EXPECT_TRUE(t.Selected().empty());
  // And selected again when the band leaves it.
  t.Tree.MouseMove({}, 104, 50);
  EXPECT_EQ(t.Selected(), Nodes{t.A});
  // The release on empty space toggles nothing.
  t.Tree.MouseUp(TMouseButton::Left, {}, 104, 50);
  EXPECT_FALSE(t.Tree.BandActive());
  EXPECT_EQ(t.Selected(), Nodes{t.A});
}

TEST(DecTree, DoubleClickOnABoxEdits) {
  TwoOptions t;
  const TPoint p = TControl::Mid(t.B, htBox);
  t.Click(p);
  t.Tree.DblClick(p.X, p.Y);
  EXPECT_EQ(t.Selected(), Nodes{t.B});
  EXPECT_TRUE(t.View.EditorShown);
  EXPECT_EQ(t.Tree.EditedNode(), t.B);
  EXPECT_EQ(Undos(t.Log), Strings{"Edit Title"});
  // A mouse-down hides the editor.
  t.Tree.MouseDown(TMouseButton::Left, {}, p.X, p.Y);
  EXPECT_FALSE(t.View.EditorShown);
}

// ---- Hints ---------------------------------------------------------------------

TEST(DecTree, HintsPerElement) {
  TwoOptions t;
  TDecTreeNode* ch = t.Add(t.B, "C", 100, 0, ntChance);
  TDecTreeNode* w = t.Add(ch, "w", 50);
  t.Add(ch, "v", 50);
  t.A->Comment = "about A";
  t.Tree.Recalculate();
  auto hint = [&](const TDecTreeNode* n, TNodeElementType type) {
    TPoint p = TControl::Mid(n, type);
    return t.Tree.HintAt(p.X, p.Y);
  };
  EXPECT_EQ(hint(t.A, htBox), "about A");
  EXPECT_EQ(hint(t.B, htBox), "");
  EXPECT_EQ(hint(t.A, htProbability),
            "Option taken?|TRUE if option is currently taken, FALSE if it is not");
  EXPECT_EQ(hint(w, htProbability), "Probability|Shows the probability of this node");
  EXPECT_EQ(hint(t.A, htPayoff),
            "Payoff|Shows the payoff (positive) or cost (negative) of this node.");
  EXPECT_EQ(hint(ch, htIndicator), "");
  EXPECT_EQ(t.Tree.HintAt(2, 2), "");

  // The hint goes to the window only when it changes.
  t.Log.clear();
  TPoint p = TControl::Mid(t.A, htBox);
  t.Tree.MouseMove({}, p.X, p.Y);
  t.Tree.MouseMove({}, p.X + 1, p.Y);
  EXPECT_EQ(t.View.Starting("hint:"), Strings{"hint:about A"});
  EXPECT_EQ(t.Tree.Hint(), "about A");
  // Leaving the control takes the hint (and the status bar's text) away.
  t.Tree.MouseLeave();
  t.Tree.MouseLeave();
  EXPECT_EQ(t.View.Starting("hint:"), (Strings{"hint:about A", "hint:"}));
  EXPECT_EQ(t.Tree.Hint(), "");
}

TEST(DecTree, IndicatorHintsUseThePaintersTolerance) {
  TControl c;
  c.Tree.Options.StatusDate = 200;
  TDecTreeNode* r = c.Root();
  TDecTreeNode* thirds = c.Add(r, "thirds", 100, 0, ntChance);
  for (double p : {33.4, 33.3, 33.3})
    c.Add(thirds, "t", p);
  TDecTreeNode* off = c.Add(r, "off", 0, 0, ntChance);
  c.Add(off, "x", 50);
  c.Add(off, "y", 49.9);
  TDecTreeNode* leaf = c.Add(r, "leaf", 0, 0, ntChance);
  TDecTreeNode* any = c.Add(r, "any", 0, 0, ntChance);
  any->ChanceType = ctAnySum;
  c.Add(any, "x", 5);
  TDecTreeNode* m = c.Add(r, "m", 0, 0, ntMultiDecision);
  m->DecisionMultiBudget = 1;
  c.Add(m, "x", 100, -5);
  TDecTreeNode* late = c.Add(r, "late", 0);
  late->DecisionDueDate = 100;
  c.Add(late, "x", 100);
  c.Tree.Recalculate();
  auto hint = [&](const TDecTreeNode* n) {
    TPoint p = TControl::Mid(n, htIndicator);
    EXPECT_EQ(c.Hit(p), MakeNodeHit(const_cast<TDecTreeNode*>(n), htIndicator));
    return c.Tree.HintAt(p.X, p.Y);
  };
  ASSERT_NE(33.4 + 33.3 + 33.3, 100.0);
  EXPECT_EQ(hint(thirds), ""); // drawn grey: no warning
  EXPECT_EQ(hint(off), "Probabilities don't add up to 100");
  EXPECT_EQ(hint(leaf), ""); // no children, no sum
  EXPECT_EQ(hint(any), "");
  EXPECT_EQ(hint(m), "Budget exceeded by 4");
  EXPECT_EQ(hint(late), Overdue);
  m->DecisionDueDate = 100;
  c.Tree.Options.CurrencySymbol = "$";
  c.Tree.Recalculate();
  EXPECT_EQ(hint(m), "Budget exceeded by $4\n" + Overdue);

  // Too many options to search: the hint names the bound.
  m->DecisionDueDate = 0;
  while (m->ChildCount() <= MaxSolvedOptions)
    c.Add(m, "o", 0);
  c.Tree.Recalculate();
  EXPECT_EQ(hint(m), "More than " + std::to_string(MaxSolvedOptions) +
                         " options: the best options within the budget are not searched\n"
                         "Budget exceeded by $4");
}

TEST(DecTree, BudgetExcessBeyondTheCurrencyRangeIsNotWrapped) {
  TControl c;
  TDecTreeNode* m = c.Add(c.Root(), "m", 100, 0, ntMultiDecision);
  m->DecisionMultiBudget = -5; // typed as "-5"
  c.Add(m, "x", 100, -922337203685477.0);
  c.Tree.Recalculate();
  TPoint p = TControl::Mid(m, htIndicator);
  EXPECT_EQ(c.Tree.HintAt(p.X, p.Y), "Budget exceeded by 922,337,203,685,478");
}

TEST(DecTree, LinkedNodeHints) {
  TControl c;
  TDecTreeNode* m = c.Add(c.Root(), "M", 100);
  TDecTreeNode* x = c.Add(m, "x", 100);
  x->Comment = "inside";
  TDecTreeNode* k = MakeClone(c, c.Root(), m);
  c.Tree.Recalculate();
  TDecTreeNode* copy = k->Child(0);
  auto hint = [&](const TDecTreeNode* n, TNodeElementType type) {
    TPoint p = TControl::Mid(n, type);
    return c.Tree.HintAt(p.X, p.Y);
  };
  EXPECT_EQ(hint(copy, htBox), "Linked node\ninside");
  EXPECT_EQ(hint(k, htBox), "Linked node");
  EXPECT_EQ(hint(copy, htProbability),
            "Linked node\nOption taken?|TRUE if option is currently taken, FALSE if it is not");
  EXPECT_EQ(hint(k, htPlusMinus), "Linked node");
  EXPECT_EQ(hint(x, htBox), "inside");
}

// ---- Keyboard context menu -------------------------------------------------------

TEST(DecTree, KeyboardContextMenuAtTheLowestSelectedElement) {
  TwoOptions t;
  t.Select({t.B, t.A}, htBox);
  t.Tree.KeyDown(TKey::Menu, {});
  EXPECT_EQ(t.View.Starting("popup"), Strings{"popup 109,83"});
  t.Log.clear();
  t.Select({t.A, t.B}, htPayoff);
  EXPECT_TRUE(t.Tree.KeyDown(TKey::F10, {.Shift = true}));
  EXPECT_EQ(t.View.Starting("popup"), Strings{"popup 165,85"});
  t.Log.clear();
  t.Select({}, htPayoff);
  t.Tree.ContextMenuFromKeyboard();
  EXPECT_EQ(t.View.Starting("popup"), Strings{"popup 0,0"});
  EXPECT_FALSE(t.Tree.KeyDown(TKey::F10, {}));

  t.Log.clear();
  t.View.Focus = false;
  t.Tree.KeyDown(TKey::Menu, {});
  EXPECT_TRUE(t.Log.empty());

  // Of rectangles reaching equally far down, the first selected.
  TControl c;
  TDecTreeNode* a = c.Add(c.Root(), "A", 100);
  TDecTreeNode* a1 = c.Add(a, "A1", 100);
  c.Tree.Recalculate();
  const TNodeRect& box = a->Rect(htBox);
  const TNodeRect& box1 = a1->Rect(htBox);
  ASSERT_EQ(NodeRectBottom(box), NodeRectBottom(box1));
  const std::string y = std::to_string(NodeRectBottom(box));
  c.Select({a1, a}, htBox);
  c.Tree.ContextMenuFromKeyboard();
  c.Select({a, a1}, htBox);
  c.Tree.ContextMenuFromKeyboard();
  EXPECT_EQ(c.View.Starting("popup"), (Strings{"popup " + std::to_string(box1.Left) + "," + y,
                                               "popup " + std::to_string(box.Left) + "," + y}));
}

TEST(DecTree, ATreeInstalledWithLinksWrittenDirectlyStillGetsItsClonesBuilt) {
  TControl c;
  auto root = c.Tree.NewNode(nullptr, TNodeFields{.Id = Guid::NewGuid(), .Probability = 100});
  TDecTreeNode* master = root->AddChild(
      c.Tree.NewNode(root.get(), TNodeFields{.Id = Guid::NewGuid(), .Probability = 100}));
  master->AddChild(c.Tree.NewNode(master, TNodeFields{.Id = Guid::NewGuid(), .Probability = 100}));
  TDecTreeNode* clone =
      root->AddChild(c.Tree.NewNode(root.get(), TNodeFields{.Id = Guid::NewGuid()}));
  // As a reader may leave it: the link written into the field.
  clone->Ref = master->Id;
  EXPECT_EQ(c.Tree.CloneCount(), 0);
  c.Tree.ExchangeRoot(std::move(root)).reset();
  EXPECT_EQ(c.Tree.CloneCount(), 1);
  c.Tree.Recalculate();
  EXPECT_EQ(clone->ChildCount(), 1);

  // Unlinked, the tree has no clones and the recalculation leaves the
  // children alone.
  ASSERT_EQ(clone->SetCloneMaster(Guid::Empty()), "");
  clone->AddChild(c.Tree.NewNode(clone, TNodeFields{.Id = Guid::NewGuid(), .Probability = 100}));
  EXPECT_EQ(c.Tree.CloneCount(), 0);
  c.Tree.Recalculate();
  EXPECT_EQ(clone->ChildCount(), 1);
}
