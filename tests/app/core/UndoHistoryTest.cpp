#include "app/core/UndoHistory.h"
#include "app/core/UIStrings.h"
#include "support/RandomTree.h"

#include <gtest/gtest.h>

using namespace bw;

namespace {
std::unique_ptr<TDecTreeNode> Tree(TTreeContext& ctx, const std::string& caption) {
  return std::make_unique<TDecTreeNode>(
      &ctx, nullptr, TNodeFields{.Id = Guid::NewGuid(), .Caption = caption, .Probability = 100});
}
int CountClones(const TDecTreeNode& n) {
  int count = n.IsClone();
  for (const TDecTreeNode* c : n.Children)
    count += CountClones(*c);
  return count;
}
} // namespace

TEST(UndoHistory, SnapshotsAreCopiesWithTheSameIdsAndOptions) {
  TTreeContext ctx;
  auto live = Tree(ctx, "one");
  TTreeOptions options;
  options.ShowPayoff = true;
  TUndoHistory history;
  history.SaveUndo(*live, options, "Edit Title");
  EXPECT_EQ(history.UndoCaption(), "Undo Edit Title");
  EXPECT_EQ(history.RedoCaption(), "Redo");

  const Guid id = live->Id;
  live->Caption = "two";
  options.ShowPayoff = false;
  auto restored = history.Undo(std::move(live), options);
  EXPECT_EQ(restored->Caption, "one");
  EXPECT_EQ(restored->Id, id);
  EXPECT_TRUE(options.ShowPayoff);
  EXPECT_FALSE(history.CanUndo());
  EXPECT_EQ(history.RedoCaption(), "Redo Edit Title");

  // Redo brings back the tree that undo took away, rebuilt.
  auto again = history.Redo(std::move(restored), options);
  EXPECT_EQ(again->Id, id);
  EXPECT_EQ(again->Caption, "two");
  EXPECT_FALSE(options.ShowPayoff);
  EXPECT_EQ(history.UndoCaption(), "Undo Edit Title");
  EXPECT_FALSE(history.CanRedo());

  // Nothing to undo: the live tree comes back untouched.
  TUndoHistory empty;
  TDecTreeNode* againObject = again.get();
  auto same = empty.Undo(std::move(again), options);
  EXPECT_EQ(same.get(), againObject);
}

TEST(UndoHistory, HoldsFiveHundredAndOneStepsAndANewStepEmptiesRedo) {
  TTreeContext ctx;
  auto live = Tree(ctx, "0");
  TTreeOptions options;
  TUndoHistory history;
  for (int i = 1; i <= 502; ++i) {
    history.SaveUndo(*live, options, "step " + std::to_string(i));
    live->Caption = std::to_string(i);
  }
  EXPECT_EQ(history.UndoCount(), 501u);
  int undone = 0;
  while (history.CanUndo()) {
    live = history.Undo(std::move(live), options);
    ++undone;
  }
  EXPECT_EQ(undone, 501);
  // The oldest step (caption "0" before step 1) was dropped.
  EXPECT_EQ(live->Caption, "1");
  EXPECT_EQ(history.RedoCount(), 501u);
  live = history.Redo(std::move(live), options);
  history.SaveUndo(*live, options, "new");
  EXPECT_FALSE(history.CanRedo());
  EXPECT_EQ(history.RedoCaption(), "Redo");
}

TEST(UndoHistory, RandomEditsUndoneAndRedoneGiveTheTreesBackFieldForField) {
  for (uint32_t seed = 1; seed <= 6; ++seed) {
    SCOPED_TRACE(seed);
    TTreeContext ctx;
    test::TRandomTrees random(seed);
    auto live = random.Make(&ctx, 150);
    TTreeOptions options;
    TUndoHistory history;
    // What each step must give back: a copy with the same ids, as the
    // snapshot is defined; and the last live tree as it was, for redo.
    std::vector<std::unique_ptr<TDecTreeNode>> copies, lives;
    std::vector<TTreeOptions> optionsAt;
    const int steps = 25;
    for (int i = 0; i < steps; ++i) {
      copies.push_back(live->CopySubtree(nullptr, false, nullptr));
      optionsAt.push_back(options);
      history.SaveUndo(*live, options, "step " + std::to_string(i));
      random.Edit(live.get());
      options.ShowPayoff = !options.ShowPayoff;
      options.CurrencySymbol += "x";
    }
    lives.push_back(test::RawCopy(*live));
    optionsAt.push_back(options);
    // Undo all the way, editing nothing.
    for (int i = steps - 1; i >= 0; --i) {
      ASSERT_EQ(history.UndoMessage(), "step " + std::to_string(i));
      live = history.Undo(std::move(live), options);
      test::ExpectSameStoredFields(*copies[static_cast<size_t>(i)], *live);
      EXPECT_EQ(options, optionsAt[static_cast<size_t>(i)]);
      // The rebuilt tree's clones are counted with those of the copies
      // kept here.
      int clones = CountClones(*live);
      for (const auto& copy : copies)
        clones += CountClones(*copy);
      for (const auto& copy : lives)
        clones += CountClones(*copy);
      EXPECT_EQ(ctx.CloneCount(), clones);
    }
    EXPECT_FALSE(history.CanUndo());
    // Redo returns each tree as it was, raw flags included.
    for (int i = 1; i <= steps; ++i) {
      live = history.Redo(std::move(live), options);
      // Each tree goes back as it was when undo took it: the snapshots
      // restored in between as copies, the last live tree as it was.
      test::ExpectSameStoredFields(i == steps ? *lives.back() : *copies[static_cast<size_t>(i)],
                                   *live);
      EXPECT_EQ(options, optionsAt[static_cast<size_t>(i)]);
    }
    // Undo and redo in turns, with edits in between: a new step drops what
    // redo held.
    live = history.Undo(std::move(live), options);
    random.Edit(live.get());
    auto edited = live->CopySubtree(nullptr, false, nullptr);
    history.SaveUndo(*live, options, "again");
    EXPECT_FALSE(history.CanRedo());
    random.Edit(live.get());
    live = history.Undo(std::move(live), options);
    test::ExpectSameStoredFields(*edited, *live);
  }
}

TEST(UndoHistory, TheLiveTreeGoesOverAsItIsAndASnapshotAsACopy) {
  TTreeContext ctx;
  auto live = std::make_unique<TDecTreeNode>(
      &ctx, nullptr,
      TNodeFields{.Id = Guid::NewGuid(), .NodeType = ntDecision, .DecisionMultiShowBudget = true});
  TTreeOptions options;
  TUndoHistory history;
  history.SaveUndo(*live, options, "a");
  auto restored = history.Undo(std::move(live), options);
  // The snapshot holds what the copy holds: no budget line for a decision.
  EXPECT_FALSE(restored->DecisionMultiShowBudget);
  restored = history.Redo(std::move(restored), options);
  // The live tree comes back with its stored flag.
  EXPECT_TRUE(restored->DecisionMultiShowBudget);
}

TEST(UndoHistory, StepsHoldWhatChangedAndNotTheWholeTree) {
  TTreeContext ctx;
  test::TRandomTrees random(3);
  auto live = random.Make(&ctx, 3000, 10);
  TTreeOptions options;
  TUndoHistory history;
  history.SaveUndo(*live, options, "first");
  const size_t first = history.HeldBytes();
  std::vector<TDecTreeNode*> own = test::TRandomTrees::OwnNodes(live.get());
  for (int i = 0; i < 100; ++i) {
    own[static_cast<size_t>(random.Below(static_cast<int>(own.size())))]->Caption =
        "edit " + std::to_string(i);
    live->SyncClones();
    history.SaveUndo(*live, options, "edit");
  }
  // A hundred and one steps hold less than five copies of the tree would.
  EXPECT_LT(history.HeldBytes(), 5 * first);
  // Yet every one of them comes back.
  for (int i = 0; i < 100; ++i)
    live = history.Undo(std::move(live), options);
  EXPECT_EQ(history.UndoCount(), 1u);
  EXPECT_EQ(history.RedoCount(), 100u);
}

TEST(UIStrings, FormatReplacesTheOnePlaceholder) {
  EXPECT_EQ(FormatStr(UIStrings::Text(UIStrings::SAskSaveNamed), "a.bwk"),
            "Do you want to save the changes to a.bwk?");
  EXPECT_EQ(FormatStr(UIStrings::Text(UIStrings::SLevel), 3), "Level 3");
  EXPECT_EQ(UIStrings::Str(UIStrings::SMin), "Min ");
  EXPECT_EQ(UIStrings::Str(UIStrings::SErrorOpeningFile), "Error opening file: ");
}
