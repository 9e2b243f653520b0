#include "app/commands/NodePopup.h"
#include "support/FakeTreeView.h"

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
struct PopupTree : TControl {
  TDecTreeNode *A, *B, *B1, *B2, *M, *M1, *M2, *C, *U, *U1, *U2;
  PopupTree() {
    A = Add(Root(), "A", 100);
    B = Add(Root(), "B", 0, 0, ntChance);
    B1 = Add(B, "B1", 50);
    B2 = Add(B, "B2", 50);
    M = Add(Root(), "M");
    M1 = Add(M, "M1", 100);
    Add(M1, "M1a", 100);
    Add(M1, "M1b");
    M2 = Add(M, "M2");
    C = Add(Root(), "C");
    U = Add(Root(), "U", 0, 0, ntMultiDecision);
    U1 = Add(U, "U1", 100);
    U2 = Add(U, "U2");
    EXPECT_EQ(C->SetCloneMaster(M->Id), "");
    Tree.Recalculate();
  }
  // The copy of M1 inside the clone: it has children of its own.
  TDecTreeNode* Copy() { return C->Child(0); }
  TNodePopupState State(std::initializer_list<TDecTreeNode*> nodes, TNodeElementType e) {
    Select(nodes, e);
    return NodePopupState(Tree);
  }
  bool On(TNodeCommand command, std::initializer_list<TDecTreeNode*> nodes, TNodeElementType e) {
    return State(nodes, e).IsEnabled(command);
  }
};

} // namespace

TEST(NodePopup, EditCaptionsFollowTheElement) {
  PopupTree t;
  const std::pair<TNodeElementType, const char*> captions[] = {
      {htBox, "Edit Title"},
      {htProbability, "Edit Probability"},
      {htPayoff, "Edit Payoff"},
      {htIndicatorCaption, "Edit Caption"},
      {htIndicatorOwner, "Edit Decision Owner"},
      {htIndicatorMultiBudget, "Edit Budget"},
      {htIndicatorDueDate, "Edit Decision Due Date"},
      {htIndicatorFixed, "Toggle Mode"},
      {htIndicator, "Edit"},
      {htIndicatorMultiInvestment, "Edit"},
      {htOutside, "Edit"},
  };
  for (auto [element, caption] : captions)
    EXPECT_EQ(t.State({t.A}, element).EditCaption, caption) << int(element);
}

TEST(NodePopup, AddCaptionsFollowTheElementAndTheChildren) {
  PopupTree t;
  EXPECT_EQ(t.State({}, htBox).AddCaption, "Add");
  EXPECT_EQ(t.State({t.B}, htBox).AddCaption, "Add subnode");
  EXPECT_EQ(t.State({t.A}, htBox).AddCaption, "Add subnodes");
  // Several nodes: never the singular.
  EXPECT_EQ(t.State({t.B, t.M}, htBox).AddCaption, "Add subnodes");
  EXPECT_EQ(t.State({t.A}, htIndicator).AddCaption, "Add branches");
  EXPECT_EQ(t.State({t.B}, htIndicatorOwner).AddCaption, "Add branch");
  EXPECT_EQ(t.State({t.B, t.M}, htIndicator).AddCaption, "Add branches");
  TNodePopupState probability = t.State({t.A}, htProbability);
  EXPECT_EQ(probability.EditCaption, "Edit Probability");
  EXPECT_EQ(probability.AddCaption, "Add");
  EXPECT_FALSE(probability.IsEnabled(AddChild));
}

TEST(NodePopup, EditAndRemoveAreTheControlsOwnRules) {
  PopupTree t;
  for (auto element : {htBox, htPayoff, htIndicatorFixed, htIndicator}) {
    for (auto nodes : {std::vector<TDecTreeNode*>{t.Root()},
                       {t.A},
                       {t.C},
                       {t.Copy()},
                       {t.A, t.B},
                       std::vector<TDecTreeNode*>{}}) {
      t.Tree.Selection.Clear();
      for (TDecTreeNode* n : nodes)
        t.Tree.Selection.Add(n->Id);
      t.Tree.SelectionElementType = element;
      TNodePopupState state = NodePopupState(t.Tree);
      EXPECT_EQ(state.IsEnabled(Edit), t.Tree.CanEditSelection());
      EXPECT_EQ(state.IsEnabled(Remove), t.Tree.CanDeleteSelection());
    }
  }
  // Both rules say yes and no somewhere in the cases above.
  EXPECT_TRUE(t.On(Edit, {t.A}, htBox));
  EXPECT_FALSE(t.On(Edit, {t.Copy()}, htBox));
  EXPECT_TRUE(t.On(Remove, {t.A}, htBox));
  EXPECT_FALSE(t.On(Remove, {t.Root()}, htBox));
}

TEST(NodePopup, EditPayoffAdvancedRow) {
  PopupTree t;
  EXPECT_TRUE(t.On(EditPayoffAdvanced, {t.A}, htPayoff));
  EXPECT_TRUE(t.On(EditPayoffAdvanced, {t.C}, htPayoff));
  EXPECT_FALSE(t.On(EditPayoffAdvanced, {t.A}, htBox));
  EXPECT_FALSE(t.On(EditPayoffAdvanced, {t.A, t.B}, htPayoff));
  EXPECT_FALSE(t.On(EditPayoffAdvanced, {t.Copy()}, htPayoff));
}

TEST(NodePopup, MoveUpAndMoveDownRows) {
  PopupTree t;
  EXPECT_FALSE(t.On(MoveUp, {t.A}, htBox)); // the first child
  EXPECT_TRUE(t.On(MoveDown, {t.A}, htBox));
  EXPECT_TRUE(t.On(MoveUp, {t.U}, htIndicator));
  EXPECT_FALSE(t.On(MoveDown, {t.U}, htBox)); // the last child
  EXPECT_TRUE(t.On(MoveUp, {t.B2}, htPayoff));
  EXPECT_TRUE(t.On(MoveDown, {t.C}, htBox)); // a clone moves as a whole
  for (auto command : {MoveUp, MoveDown}) {
    EXPECT_FALSE(t.On(command, {t.Root()}, htBox));
    EXPECT_FALSE(t.On(command, {t.B, t.M}, htBox));
    EXPECT_FALSE(t.On(command, {t.C->Child(1)}, htBox));
    EXPECT_FALSE(t.On(command, {t.Copy()->Child(0)}, htBox));
  }
  EXPECT_TRUE(t.On(MoveUp, {t.M2}, htBox)); // the master's own nodes move
}

TEST(NodePopup, AddRow) {
  PopupTree t;
  EXPECT_TRUE(t.On(AddChild, {t.A}, htBox));
  EXPECT_TRUE(t.On(AddChild, {t.A}, htIndicator));
  EXPECT_TRUE(t.On(AddChild, {t.B}, htIndicatorDueDate));
  EXPECT_FALSE(t.On(AddChild, {t.A}, htPayoff));
  EXPECT_FALSE(t.On(AddChild, {t.A}, htProbability));
  EXPECT_FALSE(t.On(AddChild, {t.A, t.B}, htBox));
  EXPECT_FALSE(t.On(AddChild, {}, htBox));
  EXPECT_FALSE(t.On(AddChild, {t.C}, htBox));
  EXPECT_FALSE(t.On(AddChild, {t.Copy()}, htBox));
}

TEST(NodePopup, TakeOptionRowAndCaption) {
  PopupTree t;
  TNodePopupState option = t.State({t.A}, htBox);
  EXPECT_TRUE(option.IsEnabled(TakeOption));
  EXPECT_EQ(option.TakeOptionCaption, "Take this option");
  TNodePopupState multi = t.State({t.U2}, htPayoff);
  EXPECT_TRUE(multi.IsEnabled(TakeOption));
  EXPECT_EQ(multi.TakeOptionCaption, "Toggle this option");
  EXPECT_TRUE(t.On(TakeOption, {t.C}, htBox));   // the clone is an option of the root
  EXPECT_FALSE(t.On(TakeOption, {t.B1}, htBox)); // under a chance node
  EXPECT_FALSE(t.On(TakeOption, {t.Root()}, htBox));
  EXPECT_FALSE(t.On(TakeOption, {t.A, t.M}, htBox));
  TNodePopupState inClone = t.State({t.Copy()}, htBox);
  EXPECT_FALSE(inClone.IsEnabled(TakeOption));
  EXPECT_EQ(inClone.TakeOptionCaption, "Take this option");
}

TEST(NodePopup, TakeThisPathRowHoldsInsideClones) {
  PopupTree t;
  EXPECT_TRUE(t.On(TakeThisPath, {t.B1}, htPayoff));
  EXPECT_TRUE(t.On(TakeThisPath, {t.Copy()->Child(1)}, htBox));
  EXPECT_TRUE(t.On(TakeThisPath, {t.C}, htIndicator));
  EXPECT_FALSE(t.On(TakeThisPath, {t.Root()}, htBox));
  EXPECT_FALSE(t.On(TakeThisPath, {t.A, t.B}, htBox));
}

TEST(NodePopup, TypeRowAndItsCheckMarks) {
  PopupTree t;
  TNodePopupState chance = t.State({t.B}, htIndicator);
  EXPECT_TRUE(chance.IsEnabled(Type));
  EXPECT_EQ(chance.CheckedType, TNodeTypeItem::ChancePercent);
  t.B->ChanceType = ctAnySum;
  EXPECT_EQ(t.State({t.B}, htIndicatorCaption).CheckedType, TNodeTypeItem::ChanceNumeric);
  EXPECT_EQ(t.State({t.M}, htIndicatorFixed).CheckedType, TNodeTypeItem::DecisionChooseOne);
  EXPECT_EQ(t.State({t.U}, htIndicatorMultiBudget).CheckedType,
            TNodeTypeItem::DecisionChooseMultiple);
  // Disabled: on the box, on a leaf, on a clone and inside one, on several
  // nodes; the marks are then left alone.
  for (auto [nodes, element] : {std::pair{std::vector<TDecTreeNode*>{t.B}, htBox},
                                {{t.A}, htIndicator},
                                {{t.C}, htIndicator},
                                {{t.Copy()}, htIndicator},
                                {{t.B, t.M}, htIndicator},
                                {{t.B}, htPayoff}}) {
    t.Tree.Selection.Clear();
    for (TDecTreeNode* n : nodes)
      t.Tree.Selection.Add(n->Id);
    t.Tree.SelectionElementType = element;
    TNodePopupState state = NodePopupState(t.Tree);
    EXPECT_FALSE(state.IsEnabled(Type));
    EXPECT_FALSE(state.CheckedType.has_value());
  }
}

TEST(NodePopup, CommentRow) {
  PopupTree t;
  EXPECT_TRUE(t.On(Comment, {t.A}, htBox));
  EXPECT_TRUE(t.On(Comment, {t.Root()}, htBox));
  EXPECT_TRUE(t.On(Comment, {t.C}, htBox)); // a clone keeps its own comment
  EXPECT_FALSE(t.On(Comment, {t.A}, htIndicator));
  EXPECT_FALSE(t.On(Comment, {t.A, t.B}, htBox));
  EXPECT_FALSE(t.On(Comment, {t.Copy()}, htBox));
}

TEST(NodePopup, CloneRows) {
  PopupTree t;
  // A master can be chosen again, on its type symbol or a property line.
  EXPECT_TRUE(t.On(DefineAsCloneMaster, {t.M}, htIndicator));
  EXPECT_TRUE(t.On(DefineAsCloneMaster, {t.A}, htIndicatorOwner));
  EXPECT_FALSE(t.On(DefineAsCloneMaster, {t.A}, htBox));
  EXPECT_FALSE(t.On(DefineAsCloneMaster, {t.C}, htIndicator));
  EXPECT_FALSE(t.On(DefineAsCloneMaster, {t.Copy()}, htIndicator));
  EXPECT_FALSE(t.On(DefineAsCloneMaster, {t.A, t.B}, htIndicator));

  EXPECT_TRUE(t.On(DefineAsCloneOf, {t.A}, htIndicator));
  EXPECT_FALSE(t.On(DefineAsCloneOf, {t.A}, htProbability));
  EXPECT_FALSE(t.On(DefineAsCloneOf, {t.C}, htIndicator));
  EXPECT_FALSE(t.On(DefineAsCloneOf, {t.Copy()}, htIndicator));
  EXPECT_FALSE(t.On(DefineAsCloneOf, {t.A, t.B}, htIndicator));

  EXPECT_TRUE(t.On(UnlinkClone, {t.C}, htIndicator));
  EXPECT_TRUE(t.On(UnlinkClone, {t.C}, htIndicatorMultiInvestment));
  EXPECT_FALSE(t.On(UnlinkClone, {t.C}, htBox));
  EXPECT_FALSE(t.On(UnlinkClone, {t.M}, htIndicator));
  EXPECT_FALSE(t.On(UnlinkClone, {t.Copy()}, htIndicator));
  EXPECT_FALSE(t.On(UnlinkClone, {t.C, t.A}, htIndicator));
}

TEST(NodePopup, OptimizeSubnodeDecisionsRow) {
  PopupTree t;
  EXPECT_TRUE(t.On(OptimizeSubnodeDecisions, {t.B}, htBox));
  EXPECT_TRUE(t.On(OptimizeSubnodeDecisions, {t.Root()}, htPayoff));
  EXPECT_FALSE(t.On(OptimizeSubnodeDecisions, {t.A}, htBox));
  EXPECT_FALSE(t.On(OptimizeSubnodeDecisions, {t.C}, htBox));
  EXPECT_FALSE(t.On(OptimizeSubnodeDecisions, {t.Copy()}, htBox));
  EXPECT_FALSE(t.On(OptimizeSubnodeDecisions, {t.B, t.M}, htBox));
}

TEST(NodePopup, NothingSelectedEnablesNothing) {
  PopupTree t;
  TNodePopupState state = t.State({}, htIndicator);
  for (int i = 0; i < NodeCommandCount; ++i)
    EXPECT_FALSE(state.IsEnabled(static_cast<TNodeCommand>(i))) << PopupItemName(TNodeCommand(i));
}
