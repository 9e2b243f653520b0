#include "model/DecTreeNode.h"
#include "foundation/Rounding.h"

#include "foundation/Assert.h"
#include "foundation/Conversions.h"

#include <cmath>

namespace bw {

#define NODE_ASSERT(cond) BW_ASSERT_IN(cond, "DecTreeComponent")

TDecTreeNode::TDecTreeNode(TTreeContext* tree, TDecTreeNode* parent, TNodeFields f)
    : Parent(parent), Tree(tree) {
  Id = f.Id;
  Ref = f.Ref;
  Caption = std::move(f.Caption);
  Comment = std::move(f.Comment);
  NodeType = f.NodeType;
  ChanceType = f.ChanceType;
  Probability = f.Probability;
  Payoff = f.Payoff;
  ChildrenVisible = f.ChildrenVisible;
  DecisionShowCaption = f.DecisionShowCaption;
  DecisionShowOwner = f.DecisionShowOwner;
  DecisionShowDueDate = f.DecisionShowDueDate;
  DecisionShowFixed = f.DecisionShowFixed;
  DecisionMultiShowBudget = f.DecisionMultiShowBudget;
  DecisionMultiShowInvestment = f.DecisionMultiShowInvestment;
  DecisionFixed = f.DecisionFixed;
  DecisionCaption = std::move(f.DecisionCaption);
  DecisionOwner = std::move(f.DecisionOwner);
  DecisionMultiBudget = f.DecisionMultiBudget;
  DecisionDueDate = f.DecisionDueDate;
  PayoffSource = std::move(f.PayoffSource);
  UpdateCloneCount();
}

TDecTreeNode::~TDecTreeNode() {
  if (FCountedAsClone) --Tree->FCloneCount;
}

void TDecTreeNode::UpdateCloneCount() {
  const bool clone = Tree && IsClone();
  if (clone == FCountedAsClone) return;
  FCountedAsClone = clone;
  Tree->FCloneCount += clone ? 1 : -1;
}

void TDecTreeNode::RecountClones() {
  std::vector<TDecTreeNode*> stack{this};
  while (!stack.empty()) {
    TDecTreeNode* n = stack.back();
    stack.pop_back();
    n->UpdateCloneCount();
    for (TDecTreeNode* c : n->Children)
      stack.push_back(c);
  }
}

std::unique_ptr<TDecTreeNode>
TDecTreeNode::Create(TTreeContext* tree, TDecTreeNode* parent, const Guid& id, std::string caption,
                     std::string comment, TNodeType nodeType, TChanceType chanceType,
                     double probability, Currency payoff, const Guid& ref, bool childrenVisible,
                     bool decisionShowCaption, bool decisionShowOwner, bool decisionShowDueDate,
                     bool decisionShowFixed, bool decisionMultiShowBudget,
                     bool decisionMultiShowInvestment, bool decisionFixed,
                     std::string decisionCaption, std::string decisionOwner,
                     int decisionMultiBudget, TDateTime decisionDueDate, std::string payoffSource) {
  return std::make_unique<TDecTreeNode>(
      tree, parent,
      TNodeFields{.Id = id,
                  .Caption = std::move(caption),
                  .Comment = std::move(comment),
                  .NodeType = nodeType,
                  .ChanceType = chanceType,
                  .Probability = probability,
                  .Payoff = payoff,
                  .Ref = ref,
                  .ChildrenVisible = childrenVisible,
                  .DecisionShowCaption = decisionShowCaption,
                  .DecisionShowOwner = decisionShowOwner,
                  .DecisionShowDueDate = decisionShowDueDate,
                  .DecisionShowFixed = decisionShowFixed,
                  .DecisionMultiShowBudget = decisionMultiShowBudget,
                  .DecisionMultiShowInvestment = decisionMultiShowInvestment,
                  .DecisionFixed = decisionFixed,
                  .DecisionCaption = std::move(decisionCaption),
                  .DecisionOwner = std::move(decisionOwner),
                  .DecisionMultiBudget = decisionMultiBudget,
                  .DecisionDueDate = decisionDueDate,
                  .PayoffSource = std::move(payoffSource)});
}

TDecTreeNode* TDecTreeNode::AddChild(std::unique_ptr<TDecTreeNode> child) {
  TDecTreeNode* raw = child.release();
  raw->Parent = this;
  Children.Add(raw);
  return raw;
}

int TDecTreeNode::IndexInParent() const {
  return Parent ? Parent->Children.IndexOf(const_cast<TDecTreeNode*>(this)) : -1;
}

TDecTreeNode* TDecTreeNode::GetRoot() {
  TDecTreeNode* n = this;
  while (n->Parent)
    n = n->Parent;
  return n;
}

std::unique_ptr<TDecTreeNode> TDecTreeNode::CopySubtree(TDecTreeNode* newParent, bool newIds,
                                                        const TDecTreeNode* counterpart) const {
  // The copy is made in blocks, its nodes one after the other in pre-order.
  size_t count = 0;
  std::vector<const TDecTreeNode*> stack{this};
  while (!stack.empty()) {
    const TDecTreeNode* n = stack.back();
    stack.pop_back();
    ++count;
    for (const TDecTreeNode* c : n->Children)
      stack.push_back(c);
  }
  TNodeBlocks blocks(count, sizeof(TDecTreeNode));
  return CopyInto(blocks, newParent, newIds, counterpart);
}

std::unique_ptr<TDecTreeNode> TDecTreeNode::CopyInto(TNodeBlocks& blocks, TDecTreeNode* newParent,
                                                     bool newIds,
                                                     const TDecTreeNode* counterpart) const {
  std::unique_ptr<TDecTreeNode> copy(new (blocks.Next()) TDecTreeNode(
      Tree, newParent,
      TNodeFields{.Id = newIds ? Guid::NewGuid() : Id,
                  .Caption = Caption,
                  .Comment = Comment,
                  .NodeType = NodeType,
                  .ChanceType = ChanceType,
                  .Probability = Probability,
                  .Payoff = Payoff,
                  .Ref = Ref,
                  .ChildrenVisible = counterpart ? counterpart->ChildrenVisible : ChildrenVisible,
                  .DecisionShowCaption = !newIds && DecisionShowCaption,
                  .DecisionShowOwner = !newIds && DecisionShowOwner,
                  .DecisionShowDueDate = !newIds && DecisionShowDueDate,
                  .DecisionShowFixed = !newIds && DecisionShowFixed,
                  .DecisionMultiShowBudget = !newIds && GetDecisionMultiShowBudget(),
                  .DecisionMultiShowInvestment = !newIds && GetDecisionMultiShowInvestment(),
                  .DecisionFixed = DecisionFixed,
                  .DecisionCaption = DecisionCaption,
                  .DecisionOwner = DecisionOwner,
                  .DecisionMultiBudget = DecisionMultiBudget,
                  .DecisionDueDate = DecisionDueDate,
                  .PayoffSource = PayoffSource}));
  // A copy that takes the place of an earlier one (a clone rebuilt from its
  // master) starts from what measuring and layout kept of that one: what
  // still holds is then not measured again.
  if (counterpart && counterpart->FLayout) {
    copy->FLayout = std::make_unique<TNodeLayout>(*counterpart->FLayout);
    copy->Bounds = counterpart->Bounds;
    copy->PlacedElements = counterpart->PlacedElements;
  }
  if (counterpart && Tree && Tree->Selection.Contains(counterpart->Id)) {
    Tree->Selection.Remove(counterpart->Id, false);
    Tree->Selection.Add(copy->Id);
  }
  int counterpartChildren = counterpart ? counterpart->Children.Count() : 0;
  for (int i = 0; i < Children.Count(); ++i) {
    const TDecTreeNode* c = i < counterpartChildren ? counterpart->Children[i] : nullptr;
    copy->Children.Add(Children[i]->CopyInto(blocks, copy.get(), newIds, c).release());
  }
  return copy;
}

TDecTreeNode* TDecTreeNode::FindNodeById(const Guid& id) {
  if (Id == id) return this;
  for (TDecTreeNode* c : Children)
    if (TDecTreeNode* found = c->FindNodeById(id)) return found;
  return nullptr;
}

int TDecTreeNode::GetLevel() const {
  int level = 1;
  for (const TDecTreeNode* n = Parent; n; n = n->Parent)
    ++level;
  return level;
}

int TDecTreeNode::GetSubtreeDepth() const {
  int deepest = 0;
  for (const TDecTreeNode* c : Children)
    deepest = std::max(deepest, c->GetSubtreeDepth());
  return deepest + 1;
}

std::string TDecTreeNode::GetOutlineCode() const {
  if (!Tree || !Tree->Options.OutlineCodes || !Parent) return {};
  TDecTreeNode* p = Parent;
  // Children of a clone are numbered under their master's code; a missing
  // master leaves them under the clone's own.
  if (p->IsClone())
    if (TDecTreeNode* master = p->GetMasterNode()) p = master;
  std::string code = p->GetOutlineCode();
  if (!code.empty()) {
    code.resize(code.size() - 2);
    code += '.';
  }
  return code + std::to_string(IndexInParent() + 1) + "  ";
}

void TDecTreeNode::SetVisibleLevels(int levels) {
  ChildrenVisible = levels != 1;
  for (TDecTreeNode* c : Children)
    c->SetVisibleLevels(levels - 1);
}

void TDecTreeNode::CollectNodes(TDecTreeNodeList& list) {
  list.Add(this);
  for (TDecTreeNode* c : Children)
    c->CollectNodes(list);
}

bool TDecTreeNode::IsSelected() const {
  return Tree && Tree->Selection.Contains(Id);
}

double TDecTreeNode::GetProbabilitySum() const {
  if (NodeType != ntChance) return 100;
  double sum = 0;
  for (const TDecTreeNode* c : Children)
    sum += c->Probability;
  return sum;
}

Currency TDecTreeNode::GetInvestment() const {
  NODE_ASSERT(NodeType == ntMultiDecision);
  long double total = 0;
  for (const TDecTreeNode* c : Children) {
    total = RoundHalfEven(total - static_cast<long double>(c->Payoff) * c->Probability / 100);
  }
  // Only absurd weights reach beyond the range; clamp rather than wrap.
  constexpr long double Limit = 9223372036854775807.0L;
  if (!(total < Limit)) return INT64_MAX;
  if (!(total > -Limit)) return INT64_MIN;
  return static_cast<Currency>(total);
}

bool TDecTreeNode::IsOverdue() const {
  if (Children.Count() == 0 || !IsDecisionType() || DecisionDueDate == 0 || DecisionFixed)
    return false;
  TDateTime status = Tree && Tree->Options.StatusDate != 0 ? Tree->Options.StatusDate
                     : Tree                                ? Tree->Clock()
                                                           : Today();
  return std::trunc(status) > std::trunc(DecisionDueDate);
}

bool TDecTreeNode::HasImportedPayoffs() const {
  if (PayoffSource.compare(0, 8, "Import: ") == 0) return true;
  for (const TDecTreeNode* c : Children)
    if (c->HasImportedPayoffs()) return true;
  return false;
}

} // namespace bw
