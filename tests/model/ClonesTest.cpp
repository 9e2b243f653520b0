#include "model/UIStringsComponent.h"
#include "support/TreeBuilder.h"

#include <gtest/gtest.h>

#include <set>

using namespace bw;
using namespace bw::test;
using namespace bw::UIStringsComponent;

namespace {
int CountNodes(const TDecTreeNode* n) {
  int count = 1;
  for (const TDecTreeNode* c : n->Children)
    count += CountNodes(c);
  return count;
}
} // namespace

TEST(Clones, ValidationsInTheirOrder) {
  Tree t;
  TDecTreeNode* a = Leaf(t.Root.get(), 100, 0, "a");
  TDecTreeNode* a1 = Leaf(a, 100, 0, "a1");
  TDecTreeNode* b = Leaf(t.Root.get(), 0, 0, "b");
  TDecTreeNode* c = Leaf(t.Root.get(), 0, 0, "c");
  Leaf(c, 100, 0, "c1");

  EXPECT_EQ(a->SetCloneMaster(a->Id), Str(SCloneSameAsMaster));
  EXPECT_EQ(a->SetCloneMaster(a1->Id), Str(SMasterBelowClone));
  EXPECT_EQ(a1->SetCloneMaster(a->Id), Str(SCloneBelowMaster));
  EXPECT_EQ(a1->SetCloneMaster(t.Root->Id), Str(SCloneBelowMaster));
  EXPECT_EQ(b->SetCloneMaster(Guid::NewGuid()), Str(SCloneMasterNotFound));
  EXPECT_EQ(t.Root->SetCloneMaster(b->Id), Str(SMasterBelowClone));

  ASSERT_EQ(b->SetCloneMaster(c->Id), "");
  t.Recalculate();
  ASSERT_EQ(b->ChildCount(), 1);
  EXPECT_EQ(b->Child(0)->SetCloneMaster(a->Id), Str(SCloneInsideClone));
  EXPECT_EQ(a->SetCloneMaster(b->Id), Str(SCannotCloneClone));
  // c is a master, and so is something below the root.
  EXPECT_EQ(c->SetCloneMaster(a->Id), Str(SCloneHasMasterBelow));
  // Nothing refused changed anything.
  EXPECT_FALSE(a->IsClone());
  EXPECT_EQ(a->ChildCount(), 1);
  EXPECT_EQ(c->ChildCount(), 1);
}

TEST(Clones, SettingTheSameMasterKeepsTheCopiesAndUnlinkingClearsThem) {
  Tree t;
  TDecTreeNode* m1 = Leaf(t.Root.get(), 100, 0);
  Leaf(m1, 100, 1);
  TDecTreeNode* m2 = Leaf(t.Root.get(), 0, 0);
  Leaf(m2, 100, 2);
  Leaf(m2, 0, 3);
  TDecTreeNode* clone = Leaf(t.Root.get(), 0, 0);
  EXPECT_EQ(clone->SetCloneMaster(Guid::Empty()), ""); // not a clone: nothing happens
  ASSERT_EQ(clone->SetCloneMaster(m1->Id), "");
  t.Recalculate();
  Guid copyId = clone->Child(0)->Id;
  EXPECT_EQ(clone->SetCloneMaster(m1->Id), "");
  ASSERT_EQ(clone->ChildCount(), 1);
  EXPECT_EQ(clone->Child(0)->Id, copyId);
  EXPECT_EQ(clone->SetCloneMaster(m2->Id), "");
  EXPECT_EQ(clone->ChildCount(), 0);
  t.Recalculate();
  EXPECT_EQ(clone->ChildCount(), 2);
  EXPECT_EQ(clone->SetCloneMaster(Guid::Empty()), "");
  EXPECT_FALSE(clone->IsClone());
  EXPECT_EQ(clone->ChildCount(), 0);
}

TEST(Clones, SyncCopiesTypeAndOptionsWithFreshIdsEachTime) {
  Tree t(ntChance);
  TDecTreeNode* master = Add(t.Root.get(), ntMultiDecision, 50, 0);
  master->DecisionFixed = true;
  master->ChanceType = ctAnySum;
  master->DecisionMultiBudget = 10;
  Leaf(master, 100, 4);
  Leaf(master, 0, 6)->DecisionShowOwner = true;
  TDecTreeNode* clone = Add(t.Root.get(), ntDecision, 50, 0);
  clone->DecisionMultiBudget = 3;
  ASSERT_EQ(clone->SetCloneMaster(master->Id), "");
  t.Recalculate();
  EXPECT_EQ(clone->NodeType, ntMultiDecision);
  EXPECT_TRUE(clone->DecisionFixed);
  EXPECT_EQ(clone->ChanceType, ctAnySum);
  EXPECT_EQ(clone->DecisionMultiBudget, 3); // its own budget
  ASSERT_EQ(clone->ChildCount(), 2);
  EXPECT_FALSE(clone->Child(1)->DecisionShowOwner);
  EXPECT_EQ(clone->Child(1)->Payoff, 60000);
  std::set<std::string> ids;
  for (int round = 0; round < 3; ++round) {
    t.Recalculate();
    for (const TDecTreeNode* c : clone->Children) {
      EXPECT_TRUE(ids.insert(c->Id.ToString()).second);
      EXPECT_NE(c->Id, master->Child(0)->Id);
    }
  }
  EXPECT_TRUE(clone->Child(0)->HasCloneAncestor());
  EXPECT_TRUE(clone->Child(0)->IsCloneOrInClone());
  EXPECT_FALSE(master->Child(0)->IsCloneOrInClone());
  EXPECT_TRUE(t.Root->ContainsCloneOf(master->Id));
  EXPECT_EQ(clone->Child(1)->GetMasterNode(), master->Child(1));
  EXPECT_EQ(master->Child(1)->GetMasterNode(), master->Child(1));
  EXPECT_EQ(t.Root->GetMasterNode(), t.Root.get());
}

TEST(Clones, CopiesKeepExpansionAndSelectionWhileTheShapeHolds) {
  Tree t;
  TDecTreeNode* master = Leaf(t.Root.get(), 100, 0);
  Leaf(Leaf(master, 100, 0), 100, 0);
  Leaf(Leaf(master, 0, 0), 100, 0);
  TDecTreeNode* clone = Leaf(t.Root.get(), 0, 0);
  ASSERT_EQ(clone->SetCloneMaster(master->Id), "");
  t.Recalculate();
  clone->Child(0)->ChildrenVisible = false;
  t.Context.Selection.Add(clone->Child(1)->Id);
  TDecTreeNode* third = Leaf(master, 0, 0);
  third->ChildrenVisible = false;
  Leaf(third, 100, 0);
  t.Recalculate();
  ASSERT_EQ(clone->ChildCount(), 3);
  EXPECT_FALSE(clone->Child(0)->ChildrenVisible);
  EXPECT_TRUE(clone->Child(1)->ChildrenVisible);
  EXPECT_FALSE(clone->Child(2)->ChildrenVisible);
  EXPECT_TRUE(clone->Child(1)->IsSelected());
  EXPECT_EQ(t.Context.Selection.Count(), 1);
}

TEST(Clones, HasClonesSeesMastersBelowButNotInsideClones) {
  Tree t;
  TDecTreeNode* a = Leaf(t.Root.get(), 100, 0);
  TDecTreeNode* a1 = Leaf(a, 100, 0);
  Leaf(a1, 100, 0);
  TDecTreeNode* clone = Leaf(t.Root.get(), 0, 0);
  ASSERT_EQ(clone->SetCloneMaster(a1->Id), "");
  t.Recalculate();
  EXPECT_TRUE(a1->HasClones());
  EXPECT_TRUE(a->HasClones());
  EXPECT_TRUE(t.Root->HasClones());
  EXPECT_FALSE(clone->HasClones());
  TDecTreeNode* other = Leaf(t.Root.get(), 0, 0);
  ASSERT_EQ(other->SetCloneMaster(clone->Child(0)->Id), ""); // a copy inside a clone
  EXPECT_FALSE(clone->Child(0)->HasClones());
}

TEST(Clones, TakingAnOptionInsideACloneChangesTheMaster) {
  Tree t;
  TDecTreeNode* master = Leaf(t.Root.get(), 100, 0);
  Leaf(master, 100, 1);
  Leaf(master, 0, 2);
  TDecTreeNode* clone = Leaf(t.Root.get(), 0, 0);
  ASSERT_EQ(clone->SetCloneMaster(master->Id), "");
  t.Recalculate();
  clone->Child(1)->TakeOption();
  EXPECT_EQ(master->Child(1)->Probability, 100);
  EXPECT_EQ(clone->Child(1)->Probability, 0);
  t.Recalculate();
  EXPECT_EQ(clone->Child(1)->Probability, 100);
}

TEST(Clones, MissingMastersNeverCrash) {
  Tree t;
  TDecTreeNode* clone = Leaf(t.Root.get(), 100, 0);
  TDecTreeNode* stale = Leaf(clone, 100, 0);
  Leaf(stale, 100, 0);
  clone->NodeType = ntChance;
  clone->Ref = Guid::NewGuid(); // as a file can hold it
  t.Context.Options.OutlineCodes = true;
  EXPECT_EQ(stale->GetOutlineCode(), "1.1  ");
  EXPECT_EQ(stale->GetMasterNode(), nullptr);
  clone->NodeType = ntDecision;
  EXPECT_NO_THROW(stale->TakeOption());
  clone->NodeType = ntChance;
  t.Recalculate();
  EXPECT_EQ(clone->ChildCount(), 0);
  EXPECT_EQ(clone->NodeType, ntChance);

  // A master with fewer children than the path needs.
  Tree u;
  TDecTreeNode* master = Leaf(u.Root.get(), 100, 0);
  Leaf(master, 100, 0);
  TDecTreeNode* c = Leaf(u.Root.get(), 0, 0);
  ASSERT_EQ(c->SetCloneMaster(master->Id), "");
  u.Recalculate();
  TDecTreeNode* copy = c->Child(0);
  master->Children.Delete(0);
  EXPECT_EQ(copy->GetMasterNode(), nullptr);
  EXPECT_NO_THROW(copy->TakeOption());
  u.Context.Options.OutlineCodes = true;
  EXPECT_EQ(copy->GetOutlineCode(), "1.1  "); // under the master it still has
}

TEST(Clones, CyclesThroughMastersAreRefusedAndNeverGrow) {
  // R has A (holding N) and M (holding X). X as a clone of A is fine; N as a
  // clone of M would make M's subtree copy A, which holds N, and so on.
  Tree t;
  TDecTreeNode* a = Leaf(t.Root.get(), 100, 0, "A");
  TDecTreeNode* n = Leaf(a, 100, 0, "N");
  TDecTreeNode* m = Leaf(t.Root.get(), 0, 0, "M");
  TDecTreeNode* x = Leaf(m, 100, 0, "X");
  Leaf(m, 0, 0, "leaf");
  ASSERT_EQ(x->SetCloneMaster(a->Id), "");
  EXPECT_EQ(n->SetCloneMaster(m->Id), Str(SCloneBelowMaster));
  EXPECT_FALSE(n->IsClone());

  // The same link read from a file: shown as a clone without master.
  n->Ref = m->Id;
  std::vector<int> sizes;
  for (int i = 0; i < 5; ++i) {
    t.Recalculate();
    sizes.push_back(CountNodes(t.Root.get()));
  }
  for (int size : sizes)
    EXPECT_EQ(size, sizes.front());
  // Both links of the cycle are cut.
  EXPECT_EQ(n->ChildCount(), 0);
  EXPECT_EQ(x->ChildCount(), 0);
}

TEST(Clones, TheTreeCountsItsClonesThroughEveryOperation) {
  Tree t;
  TDecTreeNode* master = Leaf(t.Root.get(), 100, 0, "master");
  TDecTreeNode* inner = Leaf(master, 100, 0, "inner");
  TDecTreeNode* innerMaster = Leaf(t.Root.get(), 0, 0, "inner master");
  Leaf(innerMaster, 100, 0);
  TDecTreeNode* clone = Leaf(t.Root.get(), 0, 0, "clone");
  EXPECT_EQ(t.Context.CloneCount(), 0);

  ASSERT_EQ(inner->SetCloneMaster(innerMaster->Id), "");
  ASSERT_EQ(clone->SetCloneMaster(master->Id), "");
  EXPECT_EQ(t.Context.CloneCount(), 2);
  // The copies of the master hold a copy of `inner`, itself a clone.
  t.Recalculate();
  EXPECT_EQ(t.Context.CloneCount(), 3);
  t.Recalculate();
  EXPECT_EQ(t.Context.CloneCount(), 3);

  // Copies count while they live.
  {
    auto copy = t.Root->CopySubtree(nullptr, false, nullptr);
    EXPECT_EQ(t.Context.CloneCount(), 6);
  }
  EXPECT_EQ(t.Context.CloneCount(), 3);

  // Unlinking frees the copies with the link.
  ASSERT_EQ(clone->SetCloneMaster(Guid::Empty()), "");
  EXPECT_EQ(t.Context.CloneCount(), 1);
  // Deleting a clone uncounts it.
  master->Children.Delete(0);
  EXPECT_EQ(t.Context.CloneCount(), 0);

  // Written directly, as a reader repairing links does: recounted on request.
  clone->Ref = master->Id;
  EXPECT_EQ(t.Context.CloneCount(), 0);
  t.Root->RecountClones();
  EXPECT_EQ(t.Context.CloneCount(), 1);
  clone->Ref = Guid::Empty();
  t.Root->RecountClones();
  EXPECT_EQ(t.Context.CloneCount(), 0);

  // Nodes of another tree count there.
  TTreeContext other;
  auto foreign = std::make_unique<TDecTreeNode>(
      &other, nullptr, TNodeFields{.Id = Guid::NewGuid(), .Ref = master->Id});
  EXPECT_EQ(other.CloneCount(), 1);
  EXPECT_EQ(t.Context.CloneCount(), 0);
  foreign.reset();
  EXPECT_EQ(other.CloneCount(), 0);
}
