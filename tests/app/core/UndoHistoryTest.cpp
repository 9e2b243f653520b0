#include "app/core/UndoHistory.h"
#include "app/core/CurrencyLayout.h"
#include "app/core/UIStrings.h"

#include <gtest/gtest.h>

using namespace bw;

namespace {
std::unique_ptr<TDecTreeNode> Tree(TTreeContext& ctx, const std::string& caption) {
  return std::make_unique<TDecTreeNode>(
      &ctx, nullptr, TNodeFields{.Id = Guid::NewGuid(), .Caption = caption, .Probability = 100});
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
  TDecTreeNode* liveObject = live.get();
  auto restored = history.Undo(std::move(live), options);
  EXPECT_EQ(restored->Caption, "one");
  EXPECT_EQ(restored->Id, id);
  EXPECT_NE(restored.get(), liveObject);
  EXPECT_TRUE(options.ShowPayoff);
  EXPECT_FALSE(history.CanUndo());
  EXPECT_EQ(history.RedoCaption(), "Redo Edit Title");

  // Redo brings back the very tree object that undo took away.
  auto again = history.Redo(std::move(restored), options);
  EXPECT_EQ(again.get(), liveObject);
  EXPECT_EQ(again->Caption, "two");
  EXPECT_FALSE(options.ShowPayoff);
  EXPECT_EQ(history.UndoCaption(), "Undo Edit Title");
  EXPECT_FALSE(history.CanRedo());

  // Nothing to undo: the live tree comes back untouched.
  TUndoHistory empty;
  auto same = empty.Undo(std::move(again), options);
  EXPECT_EQ(same.get(), liveObject);
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

TEST(CurrencyLayout, MatchesTheLayoutCodes) {
  struct Case {
    const char* Positive;
    const char* Negative;
    const char* Symbol;
    int Pos, Neg;
  } cases[] = {
      {"$1.00", "-$1.00", "$", 0, 1},
      {"1,00\xc2\xa0\xe2\x82\xac", "-1,00\xc2\xa0\xe2\x82\xac", "\xe2\x82\xac", 3, 8},
      {"$1.00", "($1.00)", "$", 0, 0},
      {"\xc2\xa3"
       "1.00",
       "-\xc2\xa3"
       "1.00",
       "\xc2\xa3", 0, 1},
      {"CHF 1.00", "CHF-1.00", "CHF", 2, 2},
      {"1 kr", "-1 kr", "kr", 3, 8},
      {"1,000.50$", "1,000.50-$", "$", 1, 6},
      {"$ 1", "$ -1", "$", 2, 12},
  };
  for (const Case& c : cases) {
    TCurrencyLayout layout = MatchCurrencyLayout(c.Positive, c.Negative, c.Symbol);
    EXPECT_EQ(layout.PosFormat, c.Pos) << c.Positive;
    EXPECT_EQ(layout.NegFormat, c.Neg) << c.Negative;
  }
  // Unrecognised shapes fall back to "$1" and "-$1".
  TCurrencyLayout odd = MatchCurrencyLayout("~1~", "~~1", "$");
  EXPECT_EQ(odd.PosFormat, 0);
  EXPECT_EQ(odd.NegFormat, 1);
}

TEST(UIStrings, FormatReplacesTheOnePlaceholder) {
  EXPECT_EQ(FormatStr(UIStrings::Text(UIStrings::SAskSaveNamed), "a.bwk"),
            "Do you want to save the changes to a.bwk?");
  EXPECT_EQ(FormatStr(UIStrings::Text(UIStrings::SLevel), 3), "Level 3");
  EXPECT_EQ(UIStrings::Str(UIStrings::SMin), "Min ");
  EXPECT_EQ(UIStrings::Str(UIStrings::SErrorOpeningFile), "Error opening file: ");
}
