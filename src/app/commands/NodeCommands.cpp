#include "app/commands/NodeCommands.h"

#include "app/core/UIStrings.h"
#include "foundation/Exceptions.h"

#include <utility>

namespace bw {

using namespace UIStrings;

namespace {

// Takes an option on the way of Take this path. Under a multi-decision
// TakeOption toggles, and an option with a part weight (neither 0 nor 100, as
// a tree file may hold) would be toggled off: it is toggled once more, so
// that the option ends up taken. Inside a clone both toggles reach the
// master's option.
void TakeOnPath(TDecTreeNode* option) {
  const bool partWeight = option->Parent->NodeType == ntMultiDecision && option->Probability != 0;
  option->TakeOption();
  if (partWeight) option->TakeOption();
}

} // namespace

TNodeCommands::TNodeCommands(TDecTree& tree, TNodeCommandHost host)
    : FTree(tree), FHost(std::move(host)) {}

bool TNodeCommands::Allowed(TNodeCommand command) const {
  return NodePopupState(FTree).IsEnabled(command);
}

TDecTreeNode* GetSelectedNode(const TDecTree& tree) {
  TDecTreeNodeDynArray nodes = tree.GetSelectedNodes();
  if (nodes.empty()) throw InvalidOperationException(Str(SSelectionRequired));
  if (nodes.size() > 1)
    throw InvalidOperationException(Str(SSelectionOnlyOne) + std::to_string(nodes.size()) +
                                    " are selected");
  return nodes[0];
}

bool TNodeCommands::Begin(TNodeCommand command) {
  FTree.HideInplaceEditor();
  return Allowed(command);
}

void TNodeCommands::Edit() {
  if (Begin(TNodeCommand::Edit)) FTree.EditElement(false, 0);
}

void TNodeCommands::AddChild() {
  if (Begin(TNodeCommand::AddChild)) FTree.AddSubnodes(false);
}

void TNodeCommands::Remove() {
  if (Begin(TNodeCommand::Remove)) FTree.DeleteSelectedNodes(true);
}

void TNodeCommands::MoveUp() {
  if (Begin(TNodeCommand::MoveUp)) Move(-1, Str(SMoveUp));
}

void TNodeCommands::MoveDown() {
  if (Begin(TNodeCommand::MoveDown)) Move(1, Str(SMoveDown));
}

void TNodeCommands::Move(int offset, const std::string& caption) {
  TDecTreeNode* node = GetSelectedNode();
  FHost.SaveUndo(caption);
  const int index = node->IndexInParent();
  node->Parent->Children.Exchange(index, index + offset);
  FTree.Recalculate();
}

void TNodeCommands::ChangeType(TNodeTypeItem item) {
  if (!Begin(TNodeCommand::Type)) return;
  TDecTreeNode* node = GetSelectedNode();
  // The item that is checked already: nothing to change.
  if (TypeItemOf(*node) == item) return;
  // The captions name the change the same way whatever the former type.
  switch (item) {
  case TNodeTypeItem::DecisionChooseOne: {
    FHost.SaveUndo(Str(SChangeToDecisionOne));
    node->NodeType = ntDecision;
    // The strictly greatest probability wins: the first one on ties.
    TDecTreeNode* taken = nullptr;
    for (TDecTreeNode* c : node->Children)
      if (!taken || c->Probability > taken->Probability) taken = c;
    for (TDecTreeNode* c : node->Children)
      c->Probability = c == taken ? 100 : 0;
    break;
  }
  case TNodeTypeItem::DecisionChooseMultiple:
    FHost.SaveUndo(Str(SChangeToDecisionMultiple));
    node->NodeType = ntMultiDecision;
    for (TDecTreeNode* c : node->Children)
      c->Probability = c->Probability >= 50 ? 100 : 0;
    break;
  case TNodeTypeItem::ChancePercent:
    FHost.SaveUndo(Str(SChangeToChancePercent));
    node->NodeType = ntChance;
    node->ChanceType = ctPercent;
    break;
  case TNodeTypeItem::ChanceNumeric:
    FHost.SaveUndo(Str(SChangeToChanceNumeric));
    node->NodeType = ntChance;
    node->ChanceType = ctAnySum;
    break;
  }
  FTree.Recalculate();
}

void TNodeCommands::TakeOption() {
  if (!Begin(TNodeCommand::TakeOption)) return;
  // Editing an option's probability takes it, or toggles it under a
  // multi-decision, with the control's own question and undo step.
  struct RestoreElement {
    TDecTree& Tree;
    TNodeElementType Saved;
    ~RestoreElement() { Tree.SelectionElementType = Saved; }
  } restore{FTree, FTree.SelectionElementType};
  FTree.SelectionElementType = htProbability;
  FTree.EditElement(false, 0);
}

void TNodeCommands::TakeThisPath() {
  if (!Begin(TNodeCommand::TakeThisPath)) return;
  FHost.SaveUndo(Str(STakePath));
  TDecTreeNode* node = GetSelectedNode();
  // The walk starts at the clicked node itself, also inside a clone: the
  // copies carry the master's probabilities and fixed flags, and taking an
  // option inside a clone changes the master's option.
  auto mustChange = [](const TDecTreeNode* child) {
    return child->Parent->IsDecisionType() && child->Probability != 100;
  };
  long long fixed = 0;
  for (const TDecTreeNode* child = node; child->Parent; child = child->Parent)
    if (mustChange(child) && child->Parent->DecisionFixed) ++fixed;
  if (fixed > 0) {
    const std::string question =
        fixed == 1 ? Str(SAskTakePathOne) : FormatStr(Str(SAskTakePathMany), fixed);
    // Declined: the undo step stays.
    if (!FHost.AskYesNo(question)) return;
  }
  for (TDecTreeNode* child = node; child->Parent; child = child->Parent)
    if (mustChange(child)) TakeOnPath(child);
  FTree.Recalculate();
}

void TNodeCommands::DefineAsCloneMaster() {
  if (!Begin(TNodeCommand::DefineAsCloneMaster)) return;
  CloneMasterId = GetSelectedNode()->Id;
  FHost.Information(Str(SCloneMasterSet));
}

void TNodeCommands::DefineAsCloneOf() {
  if (!Begin(TNodeCommand::DefineAsCloneOf)) return;
  if (CloneMasterId.IsEmpty()) {
    FHost.Information(Str(SCloneMasterNotSet));
    return;
  }
  FHost.SaveUndo(Str(SClone));
  TDecTreeNode* node = GetSelectedNode();
  std::string refusal = node->SetCloneMaster(CloneMasterId);
  // A refusal changed nothing; the undo step stays.
  if (!refusal.empty()) {
    FHost.Warning(refusal);
    return;
  }
  FTree.Recalculate();
}

void TNodeCommands::UnlinkClone() {
  if (!Begin(TNodeCommand::UnlinkClone)) return;
  // The step comes before the question: Cancel leaves it on the stack.
  FHost.SaveUndo(Str(SUnlinkClone));
  const int answer = FHost.AskYesNoCancel(Str(SAskKeepSubnodes));
  if (answer < 0) return;
  TDecTreeNode* node = GetSelectedNode();
  const Guid masterId = node->Ref;
  std::string refusal = node->SetCloneMaster(Guid::Empty());
  if (!refusal.empty()) {
    FHost.Warning(refusal);
    return;
  }
  node->Children.Clear();
  // The master is looked up once the clone's copies are gone, so that it is
  // never one of them.
  TDecTreeNode* master = FTree.TreeRoot()->FindNodeById(masterId);
  // Kept subnodes are copies with ids of their own, as a clone's are.
  if (answer == 1 && master)
    for (const TDecTreeNode* c : master->Children)
      node->AddChild(c->CopySubtree(node, true, nullptr));
  FTree.Recalculate();
}

void TNodeCommands::OptimizeSubnodeDecisions() {
  if (Begin(TNodeCommand::OptimizeSubnodeDecisions)) Optimize(GetSelectedNode());
}

void TNodeCommands::OptimizeWholeTree() {
  FTree.HideInplaceEditor();
  Optimize(FTree.TreeRoot());
}

void TNodeCommands::Optimize(TDecTreeNode* node) {
  // In diagnosis mode the payoffs are hidden: the command is refused with a
  // notice and takes no step.
  if (!FTree.Options.ShowPayoff) {
    FHost.Information(Str(SCannotOptimize));
    return;
  }
  FHost.SaveUndo(Str(SFindOptimalPath));
  node->OptimizeDecisions();
  FTree.Recalculate();
}

} // namespace bw
