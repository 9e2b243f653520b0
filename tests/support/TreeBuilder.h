// Small trees for the model's tests, built in a line each.
#pragma once

#include "model/DecTreeNode.h"

#include <memory>
#include <string>

namespace bw::test {

struct Tree {
  TTreeContext Context;
  std::unique_ptr<TDecTreeNode> Root;

  explicit Tree(TNodeType type = ntDecision, double payoff = 0) {
    Root = std::make_unique<TDecTreeNode>(&Context, nullptr,
                                          TNodeFields{.Id = Guid::NewGuid(),
                                                      .Caption = "Root",
                                                      .NodeType = type,
                                                      .Probability = 100,
                                                      .Payoff = DoubleToCurrency(payoff)});
  }

  // Rebuilds clones and rolls back, as the control's recalculation does.
  void Recalculate() {
    Root->OnPath = true;
    Root->SyncClones();
    Root->Evaluate();
    Root->PropagatePath(1.0, CurrencyToDouble(Root->Payoff));
  }
};

inline TDecTreeNode* Add(TDecTreeNode* parent, TNodeType type, double probability, double payoff,
                         std::string caption = {}) {
  return parent->AddChild(
      std::make_unique<TDecTreeNode>(parent->Tree, parent,
                                     TNodeFields{.Id = Guid::NewGuid(),
                                                 .Caption = std::move(caption),
                                                 .NodeType = type,
                                                 .Probability = probability,
                                                 .Payoff = DoubleToCurrency(payoff)}));
}

inline TDecTreeNode* Leaf(TDecTreeNode* parent, double probability, double payoff,
                          std::string caption = {}) {
  return Add(parent, ntDecision, probability, payoff, std::move(caption));
}

} // namespace bw::test
