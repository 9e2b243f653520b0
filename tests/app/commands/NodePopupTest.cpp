#include "app/commands/NodePopup.h"
#include "app/commands/CommandsFixture.h"

#include <gtest/gtest.h>

using namespace bw;
using namespace bw::test;

namespace {

using enum TNodeCommand;

// Root with
//   A: a leaf option, taken;
//   B: a chance node over B1 and B2;
//   M: a decision over M1 (itself a decision over M1a, M1b) and M2, master of
//   C: a clone of M, whose copies mirror M's subtree;
//   U: a multi-decision over U1 and U2.
struct PopupTree : Commands {
  TDecTreeNode *A, *B, *B1, *B2, *M, *M2, *C, *U, *U2;
  PopupTree() {
    A = Add(Root(), "A", 100);
    B = Add(Root(), "B", 0, 0, ntChance);
    B1 = Add(B, "B1", 50);
    B2 = Add(B, "B2", 50);
    M = Add(Root(), "M");
    TDecTreeNode* m1 = Add(M, "M1", 100);
    Add(m1, "M1a", 100);
    Add(m1, "M1b");
    M2 = Add(M, "M2");
    C = Add(Root(), "C");
    U = Add(Root(), "U", 0, 0, ntMultiDecision);
    Add(U, "U1", 100);
    U2 = Add(U, "U2");
    EXPECT_EQ(C->SetCloneMaster(M->Id), "");
    Recalculate();
  }
  // The copy of M1 inside the clone: it has children of its own.
  TDecTreeNode* Copy() { return C->Child(0); }
};

TNodePopupState State(PopupTree& t, const Nodes& nodes, TNodeElementType e) {
  t.SelectNodes(nodes, e);
  return NodePopupState(t.Tree);
}

std::string Describe(const Nodes& nodes, TNodeElementType e) {
  std::string s = "{";
  for (const TDecTreeNode* n : nodes)
    s += " " + n->Caption;
  return s + " } " + std::to_string(e);
}

struct Case {
  Nodes Selection;
  TNodeElementType Element;
  const char* Enabled;
};

// Every kind of selection the menu tells apart, with the items it enables
// under the names Enabled() gives them.
std::vector<Case> Selections(PopupTree& t) {
  return {
      {{}, htBox, ""},
      {{}, htIndicator, ""},
      // A leaf option: Edit by element (the type symbol has none), Add on
      // the box and the indicator, the first child moves only down.
      {{t.A}, htBox, "Edit Add Down Remove Take Path Comment"},
      {{t.A}, htPayoff, "Edit Advanced Down Remove Take Path"},
      {{t.A}, htProbability, "Edit Down Remove Take Path"},
      {{t.A}, htIndicator, "Add Down Remove Take Path Master Clone"},
      {{t.A}, htIndicatorOwner, "Edit Add Down Remove Take Path Master Clone"},
      // The root: nothing that needs a parent.
      {{t.Root()}, htBox, "Edit Add Comment Optimize"},
      {{t.Root()}, htPayoff, "Edit Advanced Optimize"},
      // Nodes with children: Type on their indicator, marking their type.
      {{t.B}, htBox, "Edit Add Up Down Remove Take Path Comment Optimize"},
      {{t.B}, htPayoff, "Edit Advanced Up Down Remove Take Path Optimize"},
      {{t.B}, htIndicator, "Add Up Down Remove Type(%) Take Path Master Clone Optimize"},
      {{t.B},
       htIndicatorDueDate,
       "Edit Add Up Down Remove Type(%) Take Path Master Clone Optimize"},
      // A master can be chosen again.
      {{t.M}, htIndicator, "Add Up Down Remove Type(one) Take Path Master Clone Optimize"},
      {{t.M},
       htIndicatorFixed,
       "Edit Add Up Down Remove Type(one) Take Path Master Clone Optimize"},
      // The last child moves only up.
      {{t.U}, htBox, "Edit Add Up Remove Take Path Comment Optimize"},
      {{t.U}, htIndicator, "Add Up Remove Type(multiple) Take Path Master Clone Optimize"},
      {{t.U},
       htIndicatorMultiBudget,
       "Edit Add Up Remove Type(multiple) Take Path Master Clone Optimize"},
      // Options of a chance node are not taken; those of a multi-decision
      // are.
      {{t.B1}, htBox, "Edit Add Down Remove Path Comment"},
      {{t.B1}, htPayoff, "Edit Advanced Down Remove Path"},
      {{t.B2}, htPayoff, "Edit Advanced Up Remove Path"},
      {{t.U2}, htPayoff, "Edit Advanced Up Remove Take Path"},
      {{t.M2}, htBox, "Edit Add Up Remove Take Path Comment"},
      // A clone moves, is taken and keeps its own comment and payoff, and is
      // unlinked on its indicator; nothing is added to it.
      {{t.C}, htBox, "Edit Up Down Take Path Comment"},
      {{t.C}, htPayoff, "Edit Advanced Up Down Take Path"},
      {{t.C}, htIndicator, "Up Down Take Path Unlink"},
      {{t.C}, htIndicatorMultiInvestment, "Up Down Take Path Unlink"},
      // Inside a clone only the path can be taken.
      {{t.Copy()}, htBox, "Path"},
      {{t.Copy()}, htPayoff, "Path"},
      {{t.Copy()}, htIndicator, "Path"},
      {{t.C->Child(1)}, htBox, "Path"},
      {{t.Copy()->Child(0)}, htBox, "Path"},
      {{t.Copy()->Child(1)}, htBox, "Path"},
      // Several nodes: Edit and Remove as the control allows, nothing else.
      {{t.A, t.B}, htBox, "Edit Remove"},
      {{t.A, t.B}, htPayoff, "Edit Remove"},
      {{t.A, t.B}, htIndicator, "Remove"},
      {{t.A, t.M}, htBox, "Edit Remove"},
      {{t.B, t.M}, htBox, "Edit Remove"},
      {{t.B, t.M}, htIndicator, "Remove"},
      {{t.C, t.A}, htIndicator, ""},
  };
}

// The enabled items in the order of TNodeCommand, under short names; Type
// also names the mark it sets.
std::string Enabled(const TNodePopupState& state) {
  const char* const names[NodeCommandCount] = {"Edit",   "Advanced", "Add",    "Up",      "Down",
                                               "Remove", "Type",     "Take",   "Path",    "Comment",
                                               "Master", "Clone",    "Unlink", "Optimize"};
  const char* const marks[NodeTypeItemCount] = {"one", "multiple", "%", "numeric"};
  std::string s;
  for (int i = 0; i < NodeCommandCount; ++i)
    if (state.IsEnabled(TNodeCommand(i))) {
      s += (s.empty() ? "" : " ") + std::string(names[i]);
      if (TNodeCommand(i) == Type) s += std::string("(") + marks[int(*state.CheckedType)] + ")";
    }
  // Without Type the marks are left as they are.
  if (!state.IsEnabled(Type) && state.CheckedType) s += " (a mark)";
  return s;
}

} // namespace

TEST(NodePopup, CaptionsFollowTheElementTheChildrenAndTheParent) {
  PopupTree t;
  struct Case {
    Nodes Selection;
    TNodeElementType Element;
    const char *Edit, *Add, *TakeOption;
  };
  const char* take = "Take this option";
  const Case cases[] = {
      {{t.A}, htBox, "Edit Title", "Add subnodes", take},
      {{t.A}, htProbability, "Edit Probability", "Add", take},
      {{t.A}, htPayoff, "Edit Payoff", "Add", take},
      {{t.A}, htIndicatorCaption, "Edit Caption", "Add branches", take},
      {{t.A}, htIndicatorOwner, "Edit Decision Owner", "Add branches", take},
      {{t.A}, htIndicatorMultiBudget, "Edit Budget", "Add branches", take},
      {{t.A}, htIndicatorDueDate, "Edit Decision Due Date", "Add branches", take},
      {{t.A}, htIndicatorFixed, "Toggle Mode", "Add branches", take},
      {{t.A}, htIndicator, "Edit", "Add branches", take},
      {{t.A}, htIndicatorMultiInvestment, "Edit", "Add branches", take},
      {{t.A}, htOutside, "Edit", "Add", take},
      {{}, htBox, "Edit Title", "Add", take},
      {{t.B}, htBox, "Edit Title", "Add subnode", take},
      {{t.B}, htIndicatorOwner, "Edit Decision Owner", "Add branch", take},
      // Several nodes: never the singular.
      {{t.B, t.M}, htBox, "Edit Title", "Add subnodes", take},
      {{t.B, t.M}, htIndicator, "Edit", "Add branches", take},
      // Under a multi-decision the option toggles; inside a clone the item
      // is off and keeps the plain caption.
      {{t.U2}, htPayoff, "Edit Payoff", "Add", "Toggle this option"},
      {{t.Copy()}, htBox, "Edit Title", "Add subnode", take},
  };
  for (const Case& k : cases) {
    const TNodePopupState state = State(t, k.Selection, k.Element);
    const std::string at = Describe(k.Selection, k.Element);
    EXPECT_EQ(state.EditCaption, k.Edit) << at;
    EXPECT_EQ(state.AddCaption, k.Add) << at;
    EXPECT_EQ(state.TakeOptionCaption, k.TakeOption) << at;
  }
}

TEST(NodePopup, TheEnablingTableForEverySelection) {
  PopupTree t;
  for (const Case& k : Selections(t))
    EXPECT_EQ(Enabled(State(t, k.Selection, k.Element)), k.Enabled)
        << Describe(k.Selection, k.Element);
  t.B->ChanceType = ctAnySum;
  EXPECT_EQ(Enabled(State(t, {t.B}, htIndicatorCaption)),
            "Edit Add Up Down Remove Type(numeric) Take Path Master Clone Optimize");
}

TEST(NodeCommands, EveryCommandTheMenuDisablesIsRefused) {
  // However it is reached, a command the menu shows disabled takes no step,
  // asks nothing and changes nothing.
  PopupTree t;
  t.Cmd.CloneMasterId = t.M->Id;
  using C = TNodeCommands;
  auto type = [](TNodeTypeItem item) { return Command([item](C& c) { c.ChangeType(item); }); };
  const std::pair<TNodeCommand, Command> commands[] = {
      {Edit, &C::Edit},
      {AddChild, &C::AddChild},
      {MoveUp, &C::MoveUp},
      {MoveDown, &C::MoveDown},
      {Remove, &C::Remove},
      {Type, type(TNodeTypeItem::DecisionChooseOne)},
      {Type, type(TNodeTypeItem::DecisionChooseMultiple)},
      {Type, type(TNodeTypeItem::ChancePercent)},
      {Type, type(TNodeTypeItem::ChanceNumeric)},
      {TakeOption, &C::TakeOption},
      {TakeThisPath, &C::TakeThisPath},
      {DefineAsCloneMaster, &C::DefineAsCloneMaster},
      {DefineAsCloneOf, &C::DefineAsCloneOf},
      {UnlinkClone, &C::UnlinkClone},
      {OptimizeSubnodeDecisions, &C::OptimizeSubnodeDecisions}};
  const std::string before = Shape(t.Root());
  for (const Case& k : Selections(t))
    for (const auto& [item, run] : commands) {
      if (State(t, k.Selection, k.Element).IsEnabled(item)) continue;
      const std::string at = PopupItemName(item) + (" on " + Describe(k.Selection, k.Element));
      EXPECT_EQ(t.Run(k.Selection, k.Element, run), None) << at;
      EXPECT_FALSE(t.View.EditorShown) << at;
      EXPECT_EQ(Shape(t.Root()), before) << at;
      EXPECT_EQ(t.Cmd.CloneMasterId, t.M->Id) << at;
    }
}
