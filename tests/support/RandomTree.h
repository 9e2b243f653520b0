// Random trees and random edits for the tests that compare two ways of
// getting the same result (a tree recorded and rebuilt, a layout updated
// and one made afresh): every stored field takes unusual values now and
// then, and clones are linked, unlinked and rebuilt.
#pragma once

#include "model/DecTreeNode.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace bw::test {

class TRandomTrees {
public:
  explicit TRandomTrees(uint32_t seed) : Rng(seed) {}

  std::mt19937 Rng;

  int Below(int n) { return static_cast<int>(Rng() % static_cast<uint32_t>(n)); }
  bool OneIn(int n) { return Below(n) == 0; }

  std::string Text() {
    static const char* const Texts[] = {"",
                                        "Node",
                                        "A longer caption that does not fit in place",
                                        "Gr\u00fc\u00dfe \u20ac",
                                        "line\r\nbreak",
                                        "  ",
                                        "Import: Excel(\"a.xls\";\"S\";\"A1\")"};
    const int i = Below(9);
    if (i == 7) return std::string("nul\0inside", 10);
    if (i == 8) return "T" + std::to_string(Rng() % 1000);
    return Texts[i];
  }

  double Number() {
    switch (Below(10)) {
    case 0:
      return -0.0;
    case 1:
      return std::numeric_limits<double>::denorm_min();
    case 2:
      return 1e300;
    case 3:
      return 0.1 + 0.2;
    case 4:
      return -12.5;
    default:
      return static_cast<double>(Below(101));
    }
  }

  Currency Money() {
    switch (Below(8)) {
    case 0:
      return INT64_MIN;
    case 1:
      return INT64_MAX;
    case 2:
      return 0;
    default:
      return static_cast<Currency>(Rng() % 2000001) - 1000000;
    }
  }

  // Every stored field at random, with a fresh id.
  TNodeFields Fields() {
    TNodeFields f;
    f.Id = Guid::NewGuid();
    f.Caption = Text();
    f.Comment = OneIn(3) ? Text() : "";
    f.NodeType = static_cast<TNodeType>(Below(3));
    f.ChanceType = static_cast<TChanceType>(Below(2));
    f.Probability = Number();
    f.Payoff = Money();
    f.ChildrenVisible = !OneIn(5);
    f.DecisionShowCaption = OneIn(4);
    f.DecisionShowOwner = OneIn(4);
    f.DecisionShowDueDate = OneIn(4);
    f.DecisionShowFixed = OneIn(4);
    f.DecisionMultiShowBudget = OneIn(3);
    f.DecisionMultiShowInvestment = OneIn(3);
    f.DecisionFixed = OneIn(4);
    f.DecisionCaption = OneIn(3) ? Text() : "";
    f.DecisionOwner = OneIn(3) ? Text() : "";
    f.DecisionMultiBudget = OneIn(2) ? -1 : Below(5) == 0 ? INT32_MIN : Below(100000);
    f.DecisionDueDate = OneIn(3) ? 0 : 40000 + Below(10000) + 0.25;
    f.PayoffSource = OneIn(6) ? Text() : "";
    return f;
  }

  TDecTreeNode* AddChild(TDecTreeNode* parent) {
    return parent->AddChild(std::make_unique<TDecTreeNode>(parent->Tree, parent, Fields()));
  }

  // About `nodes` nodes under a new root, with as many tries at linking a
  // clone as given (by default one for 15 nodes).
  std::unique_ptr<TDecTreeNode> Make(TTreeContext* context, int nodes, int cloneTries = -1) {
    auto root = std::make_unique<TDecTreeNode>(context, nullptr, Fields());
    std::vector<TDecTreeNode*> all{root.get()};
    for (int i = 1; i < nodes; ++i)
      all.push_back(AddChild(all[static_cast<size_t>(Below(static_cast<int>(all.size())))]));
    // A link frees the clone's children: pick from the nodes there are.
    for (int i = 0; i < (cloneTries < 0 ? nodes / 15 : cloneTries); ++i) {
      std::vector<TDecTreeNode*> own = OwnNodes(root.get());
      const int n = static_cast<int>(own.size());
      own[static_cast<size_t>(Below(n))]->SetCloneMaster(own[static_cast<size_t>(Below(n))]->Id);
    }
    root->SyncClones();
    return root;
  }

  // The nodes that are not copies inside a clone, in pre-order.
  static std::vector<TDecTreeNode*> OwnNodes(TDecTreeNode* root) {
    std::vector<TDecTreeNode*> out, stack{root};
    while (!stack.empty()) {
      TDecTreeNode* n = stack.back();
      stack.pop_back();
      out.push_back(n);
      if (!n->IsClone())
        for (int i = n->ChildCount() - 1; i >= 0; --i)
          stack.push_back(n->Child(i));
    }
    return out;
  }

  // One random change of the kind the commands make; ends with the clones
  // rebuilt, as the recalculation after every change does.
  void Edit(TDecTreeNode* root) {
    std::vector<TDecTreeNode*> own = OwnNodes(root);
    TDecTreeNode* n = own[static_cast<size_t>(Below(static_cast<int>(own.size())))];
    switch (Below(12)) {
    case 0:
      n->Caption = Text();
      break;
    case 1:
      n->Probability = Number();
      break;
    case 2:
      n->Payoff = Money();
      break;
    case 3:
      n->NodeType = static_cast<TNodeType>(Below(3));
      break;
    case 4: {
      // A node with children, whose collapse or expansion shows.
      std::vector<TDecTreeNode*> inner;
      for (TDecTreeNode* m : own)
        if (m->ChildCount() > 0) inner.push_back(m);
      if (!inner.empty()) n = inner[static_cast<size_t>(Below(static_cast<int>(inner.size())))];
      n->ChildrenVisible = !n->ChildrenVisible;
      break;
    }
    case 5:
      n->DecisionShowOwner = !n->DecisionShowOwner;
      n->DecisionMultiShowBudget = !n->DecisionMultiShowBudget;
      break;
    case 6:
      if (!n->IsClone()) AddChild(n);
      break;
    case 7:
      if (n->Parent && !n->HasClones()) n->Parent->Children.Delete(n->IndexInParent());
      break;
    case 8:
      n->SetCloneMaster(own[static_cast<size_t>(Below(static_cast<int>(own.size())))]->Id);
      break;
    case 9:
      n->SetCloneMaster(Guid::Empty());
      break;
    case 10:
      n->DecisionOwner = Text();
      n->DecisionDueDate = Number();
      break;
    default:
      if (n->ChildCount() > 1 && !n->IsClone()) n->Children.Exchange(0, n->ChildCount() - 1);
      break;
    }
    root->SyncClones();
  }
};

// A copy with every stored field exactly as it is (CopySubtree gives the two
// multi-decision show flags through their getters).
inline std::unique_ptr<TDecTreeNode> RawCopy(const TDecTreeNode& n,
                                             TDecTreeNode* parent = nullptr) {
  auto copy = std::make_unique<TDecTreeNode>(n.Tree, parent,
                                             TNodeFields{n.Id,
                                                         n.Caption,
                                                         n.Comment,
                                                         n.NodeType,
                                                         n.ChanceType,
                                                         n.Probability,
                                                         n.Payoff,
                                                         n.Ref,
                                                         n.ChildrenVisible,
                                                         n.DecisionShowCaption,
                                                         n.DecisionShowOwner,
                                                         n.DecisionShowDueDate,
                                                         n.DecisionShowFixed,
                                                         n.DecisionMultiShowBudget,
                                                         n.DecisionMultiShowInvestment,
                                                         n.DecisionFixed,
                                                         n.DecisionCaption,
                                                         n.DecisionOwner,
                                                         n.DecisionMultiBudget,
                                                         n.DecisionDueDate,
                                                         n.PayoffSource});
  for (const TDecTreeNode* c : n.Children)
    copy->AddChild(RawCopy(*c, copy.get()));
  return copy;
}

// Every stored field of both trees, ids included, node by node. With
// `effectiveMulti` the two multi-decision show flags of `b` are those a copy
// with the same ids gives (False unless a multi-decision).
inline void ExpectSameStoredFields(const TDecTreeNode& a, const TDecTreeNode& b,
                                   bool effectiveMulti = false, const std::string& at = "root") {
  SCOPED_TRACE(at);
  EXPECT_EQ(a.Id, b.Id);
  EXPECT_EQ(a.Ref, b.Ref);
  EXPECT_EQ(a.Caption, b.Caption);
  EXPECT_EQ(a.Comment, b.Comment);
  EXPECT_EQ(a.NodeType, b.NodeType);
  EXPECT_EQ(a.ChanceType, b.ChanceType);
  EXPECT_EQ(std::bit_cast<uint64_t>(a.Probability), std::bit_cast<uint64_t>(b.Probability));
  EXPECT_EQ(a.Payoff, b.Payoff);
  EXPECT_EQ(a.ChildrenVisible, b.ChildrenVisible);
  EXPECT_EQ(a.DecisionShowCaption, b.DecisionShowCaption);
  EXPECT_EQ(a.DecisionShowOwner, b.DecisionShowOwner);
  EXPECT_EQ(a.DecisionShowDueDate, b.DecisionShowDueDate);
  EXPECT_EQ(a.DecisionShowFixed, b.DecisionShowFixed);
  EXPECT_EQ(effectiveMulti ? a.GetDecisionMultiShowBudget() : a.DecisionMultiShowBudget,
            b.DecisionMultiShowBudget);
  EXPECT_EQ(effectiveMulti ? a.GetDecisionMultiShowInvestment() : a.DecisionMultiShowInvestment,
            b.DecisionMultiShowInvestment);
  EXPECT_EQ(a.DecisionFixed, b.DecisionFixed);
  EXPECT_EQ(a.DecisionCaption, b.DecisionCaption);
  EXPECT_EQ(a.DecisionOwner, b.DecisionOwner);
  EXPECT_EQ(a.DecisionMultiBudget, b.DecisionMultiBudget);
  EXPECT_EQ(std::bit_cast<uint64_t>(a.DecisionDueDate), std::bit_cast<uint64_t>(b.DecisionDueDate));
  EXPECT_EQ(a.PayoffSource, b.PayoffSource);
  EXPECT_EQ(a.Tree, b.Tree);
  EXPECT_EQ(b.Parent == nullptr, a.Parent == nullptr);
  ASSERT_EQ(a.ChildCount(), b.ChildCount());
  for (int i = 0; i < a.ChildCount(); ++i) {
    EXPECT_EQ(b.Child(i)->Parent, &b);
    ExpectSameStoredFields(*a.Child(i), *b.Child(i), effectiveMulti, at + "." + std::to_string(i));
  }
}

} // namespace bw::test
