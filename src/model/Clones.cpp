// Clones: a clone mirrors its master's type and subtree, rebuilt from the
// master at every recalculation.
#include "model/CloneExpansion.h"
#include "model/DecTreeNode.h"
#include "model/UIStringsComponent.h"

#include <algorithm>

#include <cstdint>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace bw {

namespace {

// Calls f on every node of the subtree, not descending below clones: what
// lies below a clone is a copy, rebuilt (and freed) at every recalculation.
template <typename F>
void ForEachOwnNode(TDecTreeNode* node, F&& f) {
  f(node);
  if (node->IsClone()) return;
  for (TDecTreeNode* c : node->Children)
    ForEachOwnNode(c, f);
}

using MasterIndex = std::unordered_map<Guid, TDecTreeNode*, GuidHash>;

TDecTreeNode* Lookup(const MasterIndex& index, const Guid& id) {
  auto it = index.find(id);
  return it == index.end() ? nullptr : it->second;
}

} // namespace

bool TDecTreeNode::HasCloneAncestor() const {
  for (const TDecTreeNode* n = Parent; n; n = n->Parent)
    if (n->IsClone()) return true;
  return false;
}

bool TDecTreeNode::ContainsCloneOf(const Guid& id) const {
  if (Ref == id) return true;
  for (const TDecTreeNode* c : Children)
    if (c->ContainsCloneOf(id)) return true;
  return false;
}

bool TDecTreeNode::HasClones() {
  if (HasCloneAncestor()) return false;
  std::unordered_set<Guid, GuidHash> ids;
  std::vector<const TDecTreeNode*> stack{this};
  while (!stack.empty()) {
    const TDecTreeNode* n = stack.back();
    stack.pop_back();
    ids.insert(n->Id);
    for (const TDecTreeNode* c : n->Children)
      stack.push_back(c);
  }
  stack.assign(1, GetRoot());
  while (!stack.empty()) {
    const TDecTreeNode* n = stack.back();
    stack.pop_back();
    if (n->IsClone() && ids.count(n->Ref)) return true;
    for (const TDecTreeNode* c : n->Children)
      stack.push_back(c);
  }
  return false;
}

TDecTreeNode* TDecTreeNode::GetMasterNode() {
  if (IsClone()) return GetRoot()->FindNodeById(Ref);
  if (!Parent) return this;
  TDecTreeNode* parentMaster = Parent->GetMasterNode();
  int index = IndexInParent();
  if (!parentMaster || index >= parentMaster->Children.Count()) return nullptr;
  return parentMaster->Children[index];
}

void TDecTreeNode::SyncClone(TDecTreeNode* master) {
  TDecTreeNodeList old(32, true, Children.OwnsObjects());
  old.Swap(Children);
  // Children takes the fresh list's flags; the owner flag follows the old list.
  Children.SetOwnsObjects(old.OwnsObjects());
  if (master) {
    NodeType = master->NodeType;
    DecisionFixed = master->DecisionFixed;
    ChanceType = master->ChanceType;
    for (int i = 0; i < master->Children.Count(); ++i) {
      const TDecTreeNode* counterpart = i < old.Count() ? old[i] : nullptr;
      Children.Add(master->Children[i]->CopySubtree(this, true, counterpart).release());
    }
  }
  // The old copies are read as counterparts above; free them only now.
  old.Clear();
}

void TDecTreeNode::SyncClones() {
  // One walk finds the clones and notes every node that could be a master
  // (any node that is not a copy); the masters are then picked from that
  // compact list instead of walking the tree again.
  struct Candidate {
    uint32_t D1;
    TDecTreeNode* Node;
  };
  thread_local std::vector<Candidate> candidates;
  candidates.clear();
  std::vector<TDecTreeNode*> clones;
  TDecTreeNode* root = GetRoot();
  if (root != this)
    ForEachOwnNode(root, [&](TDecTreeNode* n) { candidates.push_back({n->Id.D1, n}); });
  ForEachOwnNode(this, [&](TDecTreeNode* n) {
    if (root == this) candidates.push_back({n->Id.D1, n});
    if (n->IsClone()) clones.push_back(n);
  });
  if (clones.empty()) return;

  // Ids are random, so a bitmap over bits of the first word rules out nearly
  // every candidate before the exact lookup.
  MasterIndex masters;
  std::vector<uint64_t> filter(1024);
  auto bit = [](uint32_t d1) {
    return std::pair<size_t, uint64_t>((d1 >> 6) & 1023, uint64_t(1) << (d1 & 63));
  };
  for (TDecTreeNode* c : clones) {
    masters.emplace(c->Ref, nullptr);
    auto [word, mask] = bit(c->Ref.D1);
    filter[word] |= mask;
  }
  for (const Candidate& cand : candidates) {
    auto [word, mask] = bit(cand.D1);
    if (!(filter[word] & mask)) continue;
    auto it = masters.find(cand.Node->Id);
    // The first in pre-order, as a search from the root finds it.
    if (it != masters.end() && !it->second) it->second = cand.Node;
  }
  // A cycle of clones is shown like a clone whose master is missing.
  std::vector<const TDecTreeNode*> recurring =
      root == this ? RecurringClonesOf(clones,
                                       [&](const TDecTreeNode& c) -> const TDecTreeNode* {
                                         return Lookup(masters, c.Ref);
                                       })
                   : RecurringClones(*root);
  std::sort(recurring.begin(), recurring.end(), std::less<>());
  for (TDecTreeNode* clone : clones) {
    TDecTreeNode* master = clone->Parent ? Lookup(masters, clone->Ref) : nullptr;
    if (master && std::binary_search(recurring.begin(), recurring.end(), clone, std::less<>()))
      master = nullptr;
    clone->SyncClone(master);
  }
}

std::string TDecTreeNode::SetCloneMaster(const Guid& masterId) {
  using namespace UIStringsComponent;
  if (masterId == Ref) return {};
  if (masterId.IsEmpty()) {
    Ref = Guid::Empty();
    UpdateCloneCount();
    Children.Clear();
    return {};
  }
  if (masterId == Id) return Str(SCloneSameAsMaster);
  for (TDecTreeNode* c : Children)
    if (c->FindNodeById(masterId)) return Str(SMasterBelowClone);
  for (const TDecTreeNode* a = Parent; a; a = a->Parent) {
    if (a->Id == masterId) return Str(SCloneBelowMaster);
    if (a->IsClone()) return Str(SCloneInsideClone);
  }
  if (HasClones()) return Str(SCloneHasMasterBelow);
  TDecTreeNode* root = GetRoot();
  TDecTreeNode* master = root->FindNodeById(masterId);
  if (!master) return Str(SCloneMasterNotFound);
  if (master->IsClone()) return Str(SCannotCloneClone);
  // The master's subtree must not lead back here through other clones, and
  // the copies must stay within what the program can hold.
  const Guid previous = Ref;
  Ref = masterId;
  std::vector<const TDecTreeNode*> recurring = RecurringClones(*root);
  bool recurs = std::find(recurring.begin(), recurring.end(), this) != recurring.end();
  bool tooLarge = !recurs && MeasureCloneExpansion(*root).TooLarge();
  Ref = previous;
  if (recurs) return Str(SCloneBelowMaster);
  if (tooLarge) return Str(SCloneTreeTooLarge);
  Ref = masterId;
  UpdateCloneCount();
  Children.Clear();
  return {};
}

} // namespace bw
