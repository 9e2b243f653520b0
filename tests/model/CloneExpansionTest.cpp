// The size and depth clones expand a tree to, worked out without copying,
// and the refusal of a clone definition that would pass the bounds.
#include "model/CloneExpansion.h"
#include "model/UIStringsComponent.h"
#include "support/TreeBuilder.h"

#include <gtest/gtest.h>

#include <vector>

using namespace bw;
using namespace bw::test;
using namespace bw::UIStringsComponent;

namespace {

int64_t CountNodes(const TDecTreeNode* n) {
  int64_t count = 1;
  for (const TDecTreeNode* c : n->Children)
    count += CountNodes(c);
  return count;
}

int Depth(const TDecTreeNode* n) {
  int deepest = 0;
  for (const TDecTreeNode* c : n->Children)
    deepest = std::max(deepest, Depth(c));
  return deepest + 1;
}

// Masters M0..M(k-1) under the root; each Mi holds two clones of M(i+1),
// the last holds two leaves: the copies double at every level. Linked as a
// file holds them, without the checks of SetCloneMaster; `reversed` puts the
// masters the other way round, so that one recalculation copies stale
// copies and only later ones reach the full size.
std::vector<TDecTreeNode*> DoublingMasters(Tree& t, int k, bool reversed) {
  std::vector<TDecTreeNode*> masters(static_cast<size_t>(k));
  for (int j = 0; j < k; ++j) {
    int i = reversed ? k - 1 - j : j;
    masters[static_cast<size_t>(i)] =
        Leaf(t.Root.get(), j == 0 ? 100 : 0, 0, "M" + std::to_string(i));
  }
  for (int i = 0; i < k; ++i) {
    for (int c = 0; c < 2; ++c) {
      TDecTreeNode* child = Leaf(masters[static_cast<size_t>(i)], c == 0 ? 100 : 0, 1);
      if (i + 1 < k) child->Ref = masters[static_cast<size_t>(i + 1)]->Id;
    }
  }
  return masters;
}

} // namespace

TEST(CloneExpansion, CountsTheCopiesEveryRecalculationConvergesTo) {
  for (bool reversed : {false, true}) {
    Tree t;
    DoublingMasters(t, 5, reversed);
    TCloneExpansion e = MeasureCloneExpansion(*t.Root);
    // Mi expands to 1 + 2 * size(M(i+1)), M4 to 3: 3, 7, 15, 31, 63.
    EXPECT_EQ(e.Nodes, 1 + 3 + 7 + 15 + 31 + 63);
    EXPECT_EQ(e.Depth, 7);
    EXPECT_EQ(e.Largest->Parent->Caption, "M0");
    for (int i = 0; i < 6; ++i)
      t.Recalculate();
    EXPECT_EQ(CountNodes(t.Root.get()), e.Nodes) << reversed;
    EXPECT_EQ(Depth(t.Root.get()), e.Depth);
    // Measuring after the copies exist gives the same.
    EXPECT_EQ(MeasureCloneExpansion(*t.Root).Nodes, e.Nodes);
  }
}

TEST(CloneExpansion, NoClonesAndCyclesCountAsTheyStand) {
  Tree t;
  TDecTreeNode* a = Leaf(t.Root.get(), 100, 0);
  Leaf(a, 100, 0);
  TCloneExpansion plain = MeasureCloneExpansion(*t.Root);
  EXPECT_EQ(plain.Nodes, 3);
  EXPECT_EQ(plain.Depth, 3);
  EXPECT_EQ(plain.Largest, nullptr);
  EXPECT_TRUE(RecurringClones(*t.Root).empty());

  // Two clones of each other, and one whose master lies on its own path:
  // none gets copies.
  TDecTreeNode* x = Leaf(t.Root.get(), 0, 0);
  TDecTreeNode* y = Leaf(t.Root.get(), 0, 0);
  Leaf(y, 0, 0); // stale, replaced by the recalculation
  x->Ref = y->Id;
  y->Ref = x->Id;
  TDecTreeNode* z = Leaf(a->Child(0), 0, 0);
  z->Ref = a->Id;
  std::vector<const TDecTreeNode*> recurring = RecurringClones(*t.Root);
  EXPECT_EQ(recurring, (std::vector<const TDecTreeNode*>{z, x, y}));
  TCloneExpansion e = MeasureCloneExpansion(*t.Root);
  t.Recalculate();
  EXPECT_EQ(e.Nodes, 6);
  EXPECT_EQ(CountNodes(t.Root.get()), 6);
}

TEST(CloneExpansion, LongChainsAreLinear) {
  // Each clone's master is the clone before it: 20,000 links, which a search
  // per clone would follow 200 million times.
  Tree t;
  TDecTreeNode* first = Leaf(t.Root.get(), 100, 0);
  Leaf(first, 100, 5);
  Leaf(first, 0, 7);
  TDecTreeNode* previous = first;
  for (int i = 0; i < 20000; ++i) {
    TDecTreeNode* c = Leaf(t.Root.get(), 0, 0);
    c->Ref = previous->Id;
    previous = c;
  }
  EXPECT_TRUE(RecurringClones(*t.Root).empty());
  EXPECT_EQ(MeasureCloneExpansion(*t.Root).Nodes, 1 + 3 * 20001);
  t.Recalculate();
  EXPECT_EQ(previous->ChildCount(), 2);
  EXPECT_EQ(CountNodes(t.Root.get()), 1 + 3 * 20001);
}

TEST(CloneExpansion, RefusesAboveTheBoundsAndNamesTheClone) {
  // Nineteen doubling masters: some 2.1 million nodes.
  Tree t;
  std::vector<TDecTreeNode*> masters = DoublingMasters(t, 19, false);
  TCloneExpansion e = MeasureCloneExpansion(*t.Root);
  EXPECT_TRUE(e.TooLarge());
  EXPECT_GT(e.Nodes, MaxExpandedNodes);
  EXPECT_EQ(e.Largest->Parent, masters[0]);
  EXPECT_EQ(NodeNameForMessage(*e.Largest), "'' (" + Guid::ToString(e.Largest->Id) + ")");

  // One link less stays within the bound; SetCloneMaster refuses the link
  // that would pass it and changes nothing.
  TDecTreeNode* last = masters[0]->Child(1);
  last->Ref = Guid::Empty();
  EXPECT_FALSE(MeasureCloneExpansion(*t.Root).TooLarge());
  EXPECT_EQ(last->SetCloneMaster(masters[1]->Id), Str(SCloneTreeTooLarge));
  EXPECT_FALSE(last->IsClone());
  EXPECT_EQ(Str(SCloneTreeTooLarge),
            "Cannot define a node as clone if the tree would then hold more than " +
                std::to_string(MaxExpandedNodes) + " nodes or " + std::to_string(MaxExpandedDepth) +
                " levels.");

  // Depth: a path of 1,000 levels cloned at the end of another: 2,001.
  Tree deep;
  TDecTreeNode* a = deep.Root.get();
  TDecTreeNode* b = deep.Root.get();
  TDecTreeNode* top = nullptr;
  for (int i = 0; i < 1000; ++i) {
    a = Leaf(a, 100, 0);
    b = Leaf(b, 100, 0);
    if (i == 0) top = a;
  }
  TDecTreeNode* clone = Leaf(b, 100, 0);
  clone->Ref = top->Id;
  TCloneExpansion d = MeasureCloneExpansion(*deep.Root);
  EXPECT_TRUE(d.TooLarge());
  EXPECT_EQ(d.Nodes, 1 + 2000 + 1000);
  EXPECT_EQ(d.Depth, 2001);
  EXPECT_EQ(d.Largest, clone);
}
