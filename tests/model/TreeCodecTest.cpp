#include "model/TreeCodec.h"
#include "model/NodeBlock.h"
#include "support/RandomTree.h"
#include "support/TreeBuilder.h"

#include <gtest/gtest.h>

using namespace bw;
using namespace bw::test;

namespace {

std::vector<TTreeChunkView> Views(const std::vector<TTreeChunk>& chunks) {
  std::vector<TTreeChunkView> views;
  for (const TTreeChunk& c : chunks)
    views.push_back({c.Ids, c.CopyIds, c.Fields});
  return views;
}

std::unique_ptr<TDecTreeNode> RoundTrip(const TDecTreeNode& root, bool asCopy) {
  return DecodeTree(Views(EncodeTree(root, asCopy)), root.Tree);
}

int CountNodes(const TDecTreeNode* n) {
  int count = 1;
  for (const TDecTreeNode* c : n->Children)
    count += CountNodes(c);
  return count;
}

} // namespace

TEST(TreeCodec, RandomTreesComeBackFieldForField) {
  for (uint32_t seed = 1; seed <= 20; ++seed) {
    SCOPED_TRACE(seed);
    TTreeContext context;
    TRandomTrees random(seed);
    auto root = random.Make(&context, 1 + random.Below(400));
    ExpectSameStoredFields(*root, *RoundTrip(*root, false));
    // As a copy with the same ids: the multi-decision show flags as their
    // getters give them, as CopySubtree gives them.
    ExpectSameStoredFields(*root, *RoundTrip(*root, true), true);
    ExpectSameStoredFields(*root->CopySubtree(nullptr, false, nullptr), *RoundTrip(*root, true));
  }
}

TEST(TreeCodec, AnEditChangesOnlyTheChunksAroundIt) {
  TTreeContext context;
  TRandomTrees random(7);
  auto root = random.Make(&context, 3000);
  const std::vector<TTreeChunk> before = EncodeTree(*root, true);
  ASSERT_GT(before.size(), 10u);

  // A caption in the middle of the tree.
  std::vector<TDecTreeNode*> own = TRandomTrees::OwnNodes(root.get());
  own[own.size() / 2]->Caption = "changed";
  std::vector<TTreeChunk> after = EncodeTree(*root, true);
  ASSERT_EQ(after.size(), before.size());
  int changed = 0;
  for (size_t i = 0; i < after.size(); ++i)
    changed += !(after[i] == before[i]);
  EXPECT_EQ(changed, 1);

  // A node inserted: the chunks before and after the place keep their
  // bytes, found by their first node's id.
  random.AddChild(own[own.size() / 3]);
  after = EncodeTree(*root, true);
  int same = 0;
  for (const TTreeChunk& a : after)
    for (const TTreeChunk& b : before)
      if (FirstChunkId(a) == FirstChunkId(b) && a == b) ++same;
  EXPECT_GE(same, static_cast<int>(before.size()) - 4);

  // A rebuilt clone: its copies take fresh ids, and only those bytes change.
  // (A clone inside a master takes a rebuild per link of such a chain to
  // show a change.)
  for (int i = 0; i < 6; ++i)
    root->SyncClones();
  after = EncodeTree(*root, true);
  root->SyncClones();
  const std::vector<TTreeChunk> resynced = EncodeTree(*root, true);
  ASSERT_EQ(resynced.size(), after.size());
  bool copiesChanged = false;
  for (size_t i = 0; i < resynced.size(); ++i) {
    EXPECT_EQ(resynced[i].Ids, after[i].Ids);
    EXPECT_EQ(resynced[i].Fields, after[i].Fields);
    copiesChanged |= resynced[i].CopyIds != after[i].CopyIds;
  }
  EXPECT_TRUE(copiesChanged);
}

TEST(TreeCodec, ClonesAndTheirCopiesRoundTrip) {
  Tree t;
  TDecTreeNode* master = Add(t.Root.get(), ntChance, 100, 1, "master");
  Leaf(master, 30, 5, "x");
  Leaf(Leaf(master, 70, 6, "y"), 100, 7, "z");
  TDecTreeNode* clone = Leaf(t.Root.get(), 0, 2, "clone");
  ASSERT_EQ(clone->SetCloneMaster(master->Id), "");
  t.Recalculate();
  ASSERT_EQ(CountNodes(clone), 4);

  auto back = RoundTrip(*t.Root, false);
  ExpectSameStoredFields(*t.Root, *back);
  EXPECT_EQ(t.Context.CloneCount(), 2); // the clone and its copy in `back`
}

TEST(TreeCodec, TruncatedBytesAreRefused) {
  Tree t;
  Leaf(Leaf(t.Root.get(), 100, 1, "a"), 100, 2, "b");
  // Where chunks end depends on the random ids: the last one is cut short.
  const std::vector<TTreeChunk> chunks = EncodeTree(*t.Root, false);
  ASSERT_FALSE(chunks.empty());
  std::vector<TTreeChunk> cut = chunks;
  cut.back().Fields.resize(cut.back().Fields.size() - 1);
  EXPECT_THROW(DecodeTree(Views(cut), &t.Context), AssertionFailure);
  std::vector<TTreeChunk> missingId = chunks;
  ASSERT_GE(missingId.back().Ids.size(), sizeof(Guid));
  missingId.back().Ids.resize(missingId.back().Ids.size() - sizeof(Guid));
  EXPECT_THROW(DecodeTree(Views(missingId), &t.Context), AssertionFailure);
  EXPECT_THROW(DecodeTree({}, &t.Context), AssertionFailure);
}

TEST(NodeBlock, NodesMadeTogetherAreFreedOneByOne) {
  TTreeContext context;
  TNodeBlock* block = TNodeBlock::Open(3, sizeof(TDecTreeNode));
  std::unique_ptr<TDecTreeNode> root(
      new (*block) TDecTreeNode(&context, nullptr, TNodeFields{.Id = Guid::NewGuid()}));
  TDecTreeNode* a = root->AddChild(std::unique_ptr<TDecTreeNode>(new (*block) TDecTreeNode(
      &context, root.get(), TNodeFields{.Id = Guid::NewGuid(), .Caption = "a"})));
  root->AddChild(std::unique_ptr<TDecTreeNode>(new (*block) TDecTreeNode(
      &context, root.get(), TNodeFields{.Id = Guid::NewGuid(), .Caption = "b"})));
  // Full: one more is an assertion, and nothing is made.
  EXPECT_THROW(new (*block) TDecTreeNode(&context, nullptr, TNodeFields{}), AssertionFailure);
  block->Close();
  // A node made alone lives beside them.
  a->AddChild(std::make_unique<TDecTreeNode>(&context, a, TNodeFields{.Caption = "alone"}));
  root->Children.Delete(0);
  EXPECT_EQ(root->Child(0)->Caption, "b");
  // The block goes with the last of its nodes (the sanitizers check that
  // nothing stays behind and nothing is touched after).
  root.reset();
}
