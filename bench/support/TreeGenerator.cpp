#include "support/TreeGenerator.h"

#include <deque>
#include <random>
#include <string>
#include <vector>

namespace bw::bench {

int CountNodes(const TDecTreeNode* node) {
  int count = 1;
  for (const TDecTreeNode* c : node->Children)
    count += CountNodes(c);
  return count;
}

namespace {

std::unique_ptr<TDecTreeNode> NewNode(TTreeContext& ctx, TDecTreeNode* parent, int number,
                                      std::mt19937& rng) {
  bool chance = rng() % 2 == 0;
  double payoff = static_cast<double>(static_cast<int>(rng() % 200001) - 100000) / 100;
  return std::make_unique<TDecTreeNode>(&ctx, parent,
                                        TNodeFields{.Id = Guid::NewGuid(),
                                                    .Caption = "Node " + std::to_string(number),
                                                    .NodeType = chance ? ntChance : ntDecision,
                                                    .Payoff = DoubleToCurrency(payoff)});
}

void SetProbabilities(TDecTreeNode* node, std::mt19937& rng) {
  int n = node->ChildCount();
  if (node->NodeType == ntDecision) {
    int taken = static_cast<int>(rng() % static_cast<unsigned>(n));
    for (int i = 0; i < n; ++i)
      node->Child(i)->Probability = i == taken ? 100 : 0;
    return;
  }
  double left = 100;
  for (int i = 0; i < n - 1; ++i) {
    double p = static_cast<double>(rng() % static_cast<unsigned>(left / (n - i) + 1));
    node->Child(i)->Probability = p;
    left -= p;
  }
  node->Child(n - 1)->Probability = left;
}

} // namespace

GeneratedTree GenerateTree(TTreeContext& ctx, int nodeCount, uint32_t seed, bool withClones) {
  std::mt19937 rng(seed);
  GeneratedTree result;
  int number = 0;
  result.Root = NewNode(ctx, nullptr, number++, rng);
  result.Root->Probability = 100;
  // About one node in a thousand becomes a clone of a small subtree (about
  // seven nodes), so the copies make up a few percent of the tree.
  int clones = withClones ? nodeCount / 1000 : 0;
  int ownNodes = nodeCount - clones * 6;
  std::deque<TDecTreeNode*> open{result.Root.get()};
  std::vector<TDecTreeNode*> leaves;
  int made = 1;
  while (!open.empty()) {
    TDecTreeNode* n = open.front();
    open.pop_front();
    int want = 2 + static_cast<int>(rng() % 3);
    if (made + want > ownNodes) {
      leaves.push_back(n);
      continue;
    }
    for (int i = 0; i < want; ++i)
      open.push_back(n->AddChild(NewNode(ctx, n, number++, rng)));
    made += want;
    SetProbabilities(n, rng);
  }
  // Masters: inner nodes whose children are leaves; clones: leaves elsewhere.
  std::vector<TDecTreeNode*> masters;
  for (TDecTreeNode* leaf : leaves) {
    TDecTreeNode* p = leaf->Parent;
    if (p && p->Parent && leaf == p->Child(0)) masters.push_back(p->Parent);
  }
  for (int i = 0; i < clones && !masters.empty() && !leaves.empty(); ++i) {
    TDecTreeNode* master = masters[rng() % masters.size()];
    TDecTreeNode* clone = leaves[rng() % leaves.size()];
    if (clone->SetCloneMaster(master->Id).empty()) ++result.Clones;
  }
  // A tree read from a file, or restored by undo, lies in memory in
  // depth-first order, as a copy does.
  result.Root = result.Root->CopySubtree(nullptr, false, nullptr);
  result.Root->OnPath = true;
  result.Root->SyncClones();
  result.Nodes = CountNodes(result.Root.get());
  return result;
}

} // namespace bw::bench
