#include "model/CloneExpansion.h"

#include "model/DecTreeNode.h"

#include <algorithm>
#include <unordered_map>

namespace bw {

namespace clonegraph {

void TCycleFinder::Run(const TGraph& t, const std::vector<int>& starts,
                       std::vector<char>& recurring, std::vector<int>* visited) {
  const size_t n = t.Count();
  if (FStamp.size() < n) {
    FIndex.resize(n);
    FLow.resize(n);
    FStamp.resize(n, 0);
    FOnStack.resize(n, 0);
  }
  ++FEpoch;
  int counter = 0;
  auto discover = [&](int v) {
    FStamp[v] = FEpoch;
    FIndex[v] = FLow[v] = counter++;
    FStack.push_back(v);
    FOnStack[v] = 1;
    FFrames.push_back({v, 0});
  };
  for (int s : starts) {
    if (FStamp[s] == FEpoch) continue;
    discover(s);
    while (!FFrames.empty()) {
      const int v = FFrames.back().Node;
      const int w = t.Next(v, FFrames.back().State);
      if (w >= 0) {
        if (FStamp[w] != FEpoch)
          discover(w);
        else if (FOnStack[w])
          FLow[v] = std::min(FLow[v], FIndex[w]);
        continue;
      }
      FFrames.pop_back();
      if (!FFrames.empty()) {
        int parent = FFrames.back().Node;
        FLow[parent] = std::min(FLow[parent], FLow[v]);
      }
      if (FLow[v] != FIndex[v]) continue;
      // v is the first node of a strongly connected component.
      auto first = std::find(FStack.rbegin(), FStack.rend(), v).base() - 1;
      const bool cycle = FStack.end() - first > 1 || t.NamesItself(v);
      for (auto it = first; it != FStack.end(); ++it) {
        FOnStack[*it] = 0;
        if (cycle && t.IsClone(*it)) recurring[*it] = 1;
      }
      if (visited) {
        // Within a component, children (higher in pre-order) come first.
        std::sort(first, FStack.end(), std::greater<int>());
        visited->insert(visited->end(), first, FStack.end());
      }
      FStack.erase(first, FStack.end());
    }
  }
}

} // namespace clonegraph

namespace {

using namespace clonegraph;

// The nodes that are not copies, in pre-order, with their clone links
// resolved as the recalculation resolves them.
struct TOwnTree {
  std::vector<const TDecTreeNode*> Nodes;
  TLinkedTree Graph;
};

TOwnTree Flatten(const TDecTreeNode& root) {
  TOwnTree t;
  std::vector<int> parent;
  std::vector<std::pair<const TDecTreeNode*, int>> stack{{&root, -1}};
  std::unordered_map<Guid, int, GuidHash> masters;
  while (!stack.empty()) {
    auto [node, up] = stack.back();
    stack.pop_back();
    const int index = static_cast<int>(t.Nodes.size());
    t.Nodes.push_back(node);
    parent.push_back(up);
    if (node->IsClone()) {
      masters.try_emplace(node->Ref, NoMaster);
      continue;
    }
    for (int i = node->ChildCount() - 1; i >= 0; --i)
      stack.push_back({node->Child(i), index});
  }
  const int n = static_cast<int>(t.Nodes.size());
  t.Graph.Size.assign(static_cast<size_t>(n), 1);
  for (int i = n - 1; i > 0; --i)
    t.Graph.Size[parent[i]] += t.Graph.Size[i];
  t.Graph.Link.assign(static_cast<size_t>(n), NotClone);
  if (masters.empty()) return t;
  // Ids are random, so a bitmap over bits of the first word rules out nearly
  // every node before the exact lookup.
  std::vector<uint64_t> filter(1024);
  auto bit = [](uint32_t d1) {
    return std::pair<size_t, uint64_t>((d1 >> 6) & 1023, uint64_t(1) << (d1 & 63));
  };
  for (const auto& m : masters) {
    auto [word, mask] = bit(m.first.D1);
    filter[word] |= mask;
  }
  for (int i = 0; i < n; ++i) {
    auto [word, mask] = bit(t.Nodes[i]->Id.D1);
    if (!(filter[word] & mask)) continue;
    if (auto it = masters.find(t.Nodes[i]->Id); it != masters.end() && it->second == NoMaster)
      it->second = i;
  }
  for (int i = 0; i < n; ++i)
    if (t.Nodes[i]->IsClone()) t.Graph.Link[i] = masters.find(t.Nodes[i]->Ref)->second;
  return t;
}

} // namespace

TCloneExpansion MeasureCloneExpansion(const TDecTreeNode& root) {
  TOwnTree t = Flatten(root);
  const TLinkedTree& g = t.Graph;
  const size_t n = t.Nodes.size();
  std::vector<char> recurring(n, 0);
  std::vector<int> order;
  order.reserve(n);
  TCycleFinder().Run(g, {0}, recurring, &order);

  constexpr int64_t NodeCap = MaxExpandedNodes + 1;
  constexpr int DepthCap = MaxExpandedDepth + 1;
  std::vector<int64_t> nodes(n, 1);
  std::vector<int> depth(n, 1);
  for (int v : order) {
    const int link = g.Link[v];
    if (link == NotClone) {
      int64_t count = 1;
      int deepest = 0;
      for (int c = v + 1; c < v + g.Size[v]; c += g.Size[c]) {
        count = std::min(NodeCap, count + nodes[c]);
        deepest = std::max(deepest, depth[c]);
      }
      nodes[v] = count;
      depth[v] = std::min(DepthCap, deepest + 1);
    } else if (link >= 0 && v != 0 && !recurring[v]) {
      nodes[v] = nodes[link];
      depth[v] = depth[link];
    }
  }

  TCloneExpansion result;
  result.Nodes = nodes[0];
  result.Depth = depth[0];
  const bool byDepth = result.Nodes <= MaxExpandedNodes && result.Depth > MaxExpandedDepth;
  int largest = -1;
  for (size_t i = 0; i < n; ++i) {
    if (g.Link[i] == NotClone) continue;
    if (largest < 0 || (byDepth ? depth[i] > depth[largest] : nodes[i] > nodes[largest]))
      largest = static_cast<int>(i);
  }
  if (largest >= 0) result.Largest = t.Nodes[largest];
  return result;
}

std::vector<const TDecTreeNode*> RecurringClones(const TDecTreeNode& root) {
  TOwnTree t = Flatten(root);
  std::vector<char> recurring(t.Nodes.size(), 0);
  TCycleFinder().Run(t.Graph, {0}, recurring);
  std::vector<const TDecTreeNode*> result;
  for (size_t i = 0; i < t.Nodes.size(); ++i)
    if (recurring[i]) result.push_back(t.Nodes[i]);
  return result;
}

namespace {

// Nodes by index with their successors listed one after the other.
struct TListGraph : TGraph {
  std::vector<int> First{0}; // node v's successors: Successors[First[v], First[v + 1])
  std::vector<int> Successors;
  std::vector<char> Clone, Self;

  size_t Count() const override { return Clone.size(); }
  int Next(int v, int& state) const override {
    int at = First[v] + state;
    if (at >= First[v + 1]) return -1;
    ++state;
    return Successors[at];
  }
  bool IsClone(int v) const override { return Clone[v]; }
  bool NamesItself(int v) const override { return Self[v]; }
};

} // namespace

std::vector<const TDecTreeNode*>
RecurringClonesOf(const std::vector<TDecTreeNode*>& clones,
                  const std::function<const TDecTreeNode*(const TDecTreeNode&)>& masterOf) {
  // A cycle passes through a master: what the masters' subtrees reach is
  // all there is to search.
  std::unordered_map<const TDecTreeNode*, int> index;
  std::vector<const TDecTreeNode*> nodes;
  auto add = [&](const TDecTreeNode* n) {
    auto [it, added] = index.try_emplace(n, static_cast<int>(nodes.size()));
    if (added) nodes.push_back(n);
    return it->second;
  };
  for (const TDecTreeNode* c : clones)
    if (const TDecTreeNode* m = masterOf(*c)) add(m);
  TListGraph g;
  for (size_t i = 0; i < nodes.size(); ++i) {
    const TDecTreeNode* n = nodes[i];
    const bool clone = n->IsClone();
    const TDecTreeNode* master = clone ? masterOf(*n) : nullptr;
    g.Clone.push_back(clone);
    g.Self.push_back(master == n);
    if (clone) {
      if (master) g.Successors.push_back(add(master));
    } else {
      for (const TDecTreeNode* c : n->Children)
        g.Successors.push_back(add(c));
    }
    g.First.push_back(static_cast<int>(g.Successors.size()));
  }
  std::vector<char> recurring(nodes.size(), 0);
  std::vector<int> starts(nodes.size());
  for (size_t i = 0; i < nodes.size(); ++i)
    starts[i] = static_cast<int>(i);
  TCycleFinder().Run(g, starts, recurring);
  std::vector<const TDecTreeNode*> result;
  for (size_t i = 0; i < nodes.size(); ++i)
    if (recurring[i]) result.push_back(nodes[i]);
  return result;
}

std::string NodeNameForMessage(const TDecTreeNode& node) {
  return "'" + node.Caption + "' (" + Guid::ToString(node.Id) + ")";
}

} // namespace bw
