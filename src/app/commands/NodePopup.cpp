#include "app/commands/NodePopup.h"

#include "app/core/UIStrings.h"

namespace bw {

using namespace UIStrings;

namespace {

// The node's type symbol and its decision-property lines.
bool IsIndicator(TNodeElementType e) {
  return e == htIndicator || e == htIndicatorCaption || e == htIndicatorOwner ||
         e == htIndicatorMultiBudget || e == htIndicatorMultiInvestment ||
         e == htIndicatorDueDate || e == htIndicatorFixed;
}

Id EditCaptionOf(TNodeElementType e) {
  switch (e) {
  case htBox:
    return SEditTitle;
  case htProbability:
    return SEditProbability;
  case htPayoff:
    return SEditPayoff;
  case htIndicatorCaption:
    return SEditCaption;
  case htIndicatorOwner:
    return SEditDecisionOwner;
  case htIndicatorMultiBudget:
    return SEditBudget;
  case htIndicatorDueDate:
    return SEditDecisionDueDate;
  case htIndicatorFixed:
    return SToggleMode;
  default:
    return SEdit;
  }
}

} // namespace

const char* PopupItemName(TNodeCommand command) {
  static constexpr const char* Names[NodeCommandCount] = {
      "PopupEditMenuItem",
      "PopupEditPayoffAdvancedMenuItem",
      "PopupAddChildMenuItem",
      "PopupMoveUpMenuItem",
      "PopupMoveDownMenuItem",
      "PopupRemoveMenuItem",
      "PopupTypeMenuItem",
      "PopupTakeOptionMenuItem",
      "PopupTakeThisPathMenuItem",
      "PopupCommentMenuItem",
      "PopupDefineAsCloneMasterMenuItem",
      "PopupDefineAsCloneOfMenuItem",
      "PopupUnlinkCloneMenuItem",
      "PopupOptimizeSubnodeDecisionsMenuItem",
  };
  return Names[static_cast<size_t>(command)];
}

const char* PopupTypeItemName(TNodeTypeItem item) {
  static constexpr const char* Names[NodeTypeItemCount] = {
      "PopupTypeDecisionChooseOneMenuItem",
      "PopupTypeDecisionChooseMultipleMenuItem",
      "PopupTypeChancePercentMenuItem",
      "PopupTypeChanceNumericMenuItem",
  };
  return Names[static_cast<size_t>(item)];
}

TNodeTypeItem TypeItemOf(const TDecTreeNode& node) {
  switch (node.NodeType) {
  case ntDecision:
    return TNodeTypeItem::DecisionChooseOne;
  case ntMultiDecision:
    return TNodeTypeItem::DecisionChooseMultiple;
  default:
    return node.ChanceType == ctAnySum ? TNodeTypeItem::ChanceNumeric
                                       : TNodeTypeItem::ChancePercent;
  }
}

TNodePopupState NodePopupState(const TDecTreeNodeDynArray& selected, TNodeElementType e,
                               bool canEdit, bool canDelete) {
  TNodePopupState state;
  const size_t n = selected.size();
  bool isClone = false, inClone = false, allHaveChildren = true;
  for (const TDecTreeNode* node : selected) {
    isClone |= node->IsClone();
    inClone |= node->HasCloneAncestor();
    allHaveChildren &= node->ChildCount() > 0;
  }
  // "The node" of the table: the one selected node.
  const TDecTreeNode* one = n == 1 ? selected[0] : nullptr;
  const TDecTreeNode* parent = one ? one->Parent : nullptr;
  const bool indicator = IsIndicator(e);

  state.EditCaption = Str(EditCaptionOf(e));
  Id add = SAdd;
  if (n > 0 && e == htBox)
    add = one && one->ChildCount() > 0 ? SAddSubnode : SAddSubnodes;
  else if (n > 0 && indicator)
    add = one && one->ChildCount() > 0 ? SAddBranch : SAddBranches;
  state.AddCaption = Str(add);

  auto set = [&state](TNodeCommand command, bool enabled) {
    state.Enabled[static_cast<size_t>(command)] = enabled;
  };
  set(TNodeCommand::Edit, canEdit);
  set(TNodeCommand::EditPayoffAdvanced, one && !inClone && e == htPayoff);
  set(TNodeCommand::MoveUp, parent && one->IndexInParent() >= 1 && !inClone);
  set(TNodeCommand::MoveDown,
      parent && one->IndexInParent() < parent->ChildCount() - 1 && !inClone);
  set(TNodeCommand::Remove, canDelete);
  set(TNodeCommand::AddChild, (e == htBox || indicator) && one && !inClone && !isClone);
  const bool takeOption = parent && parent->IsDecisionType() && !inClone;
  set(TNodeCommand::TakeOption, takeOption);
  set(TNodeCommand::TakeThisPath, parent != nullptr);
  const bool type = one && allHaveChildren && !isClone && !inClone && indicator;
  set(TNodeCommand::Type, type);
  set(TNodeCommand::Comment, e == htBox && one && !inClone);
  set(TNodeCommand::DefineAsCloneMaster, one && !inClone && !isClone && indicator);
  set(TNodeCommand::DefineAsCloneOf, one && !isClone && !inClone && indicator);
  set(TNodeCommand::UnlinkClone, one && isClone && indicator);
  set(TNodeCommand::OptimizeSubnodeDecisions, one && allHaveChildren && !isClone && !inClone);

  state.TakeOptionCaption =
      Str(takeOption && parent->NodeType == ntMultiDecision ? SToggleThisOption : STakeThisOption);
  if (type) state.CheckedType = TypeItemOf(*one);
  return state;
}

TNodePopupState NodePopupState(const TDecTree& tree) {
  return NodePopupState(tree.GetSelectedNodes(), tree.SelectionElementType, tree.CanEditSelection(),
                        tree.CanDeleteSelection());
}

} // namespace bw
