// The layout kept from one recalculation to the next against a layout made
// afresh, on random trees after random edits of every kind that changes a
// size, a place or a rule.
#include "model/NodeRect.h"
#include "support/FakeTreeView.h"
#include "support/RandomTree.h"

#include <gtest/gtest.h>

using namespace bw;
using namespace bw::test;

namespace {

// What a full layout defines: every node's sizes, and the places of the
// nodes it lays out (those whose ancestors are all expanded).
void ExpectSameLayout(const TDecTreeNode& a, const TDecTreeNode& b, bool shown,
                      const std::string& at = "root") {
  SCOPED_TRACE(at);
  for (int t = htBox; t < NodeElementTypeCount; ++t) {
    const auto type = static_cast<TNodeElementType>(t);
    if (type == htPlusMinus || type == htRollUpDown) {
      if (shown) {
        EXPECT_EQ(a.Rect(type), b.Rect(type)) << t;
      }
      continue;
    }
    EXPECT_EQ(a.Rect(type).Width, b.Rect(type).Width) << t;
    EXPECT_EQ(a.Rect(type).Height, b.Rect(type).Height) << t;
    if (shown) {
      EXPECT_EQ(a.Rect(type).Left, b.Rect(type).Left) << t;
      EXPECT_EQ(a.Rect(type).Top, b.Rect(type).Top) << t;
    }
  }
  if (shown) {
    EXPECT_EQ(a.Bounds, b.Bounds);
    EXPECT_EQ(a.PlacedElements, b.PlacedElements);
  }
  ASSERT_EQ(a.ChildCount(), b.ChildCount());
  for (int i = 0; i < a.ChildCount(); ++i)
    ExpectSameLayout(*a.Child(i), *b.Child(i), shown && a.ChildrenVisible,
                     at + "." + std::to_string(i));
}

// The path values are written to leaves only: an inner node keeps those of
// when it was a leaf, and shows them when collapsed. The copy laid out
// afresh takes them over.
void CopyPathValues(const TDecTreeNode& from, TDecTreeNode& to) {
  to.PathProbability = from.PathProbability;
  to.PathPayoff = from.PathPayoff;
  for (int i = 0; i < from.ChildCount(); ++i)
    CopyPathValues(*from.Child(i), *to.Child(i));
}

// A change of the kind the commands and the options make.
void EditOptions(TRandomTrees& random, TDecTree& tree) {
  switch (random.Below(4)) {
  case 0:
    tree.Options.ShowPayoff = !tree.Options.ShowPayoff;
    break;
  case 1:
    tree.Options.OutlineCodes = !tree.Options.OutlineCodes;
    break;
  case 2:
    tree.Options.CurrencyDecimals = random.Below(4);
    break;
  default:
    tree.DefaultFont.Size = 8 + random.Below(3);
    break;
  }
}

} // namespace

TEST(IncrementalLayout, EqualsAFullLayoutAfterRandomEdits) {
  for (uint32_t seed = 1; seed <= 8; ++seed) {
    SCOPED_TRACE(seed);
    TRandomTrees random(seed);
    TControl kept, fresh;
    kept.Tree.Options.ShowPayoff = true;
    kept.Tree.Options.CurrencySymbol = "$";
    kept.Tree.ExchangeRoot(random.Make(&kept.Tree, 60 + random.Below(120), 6)).reset();
    kept.Tree.Recalculate();
    // A subtree collapsed in one step is expanded again in the next, when
    // what it holds was laid out before and has not changed.
    Guid toggled;
    for (int step = 0; step < 80; ++step) {
      TDecTreeNode* root = kept.Tree.TreeRoot();
      if (TDecTreeNode* n = toggled.IsEmpty() ? nullptr : root->FindNodeById(toggled)) {
        n->ChildrenVisible = !n->ChildrenVisible;
        toggled = Guid();
      } else if (random.OneIn(6)) {
        std::vector<TDecTreeNode*> inner;
        for (TDecTreeNode* m : TRandomTrees::OwnNodes(root))
          if (m->ChildCount() > 0) inner.push_back(m);
        TDecTreeNode* m = inner[static_cast<size_t>(random.Below(static_cast<int>(inner.size())))];
        m->ChildrenVisible = !m->ChildrenVisible;
        toggled = m->Id;
      } else if (random.OneIn(8)) {
        EditOptions(random, kept.Tree);
      } else {
        random.Edit(root);
      }
      // Several changes between two recalculations now and then.
      if (toggled.IsEmpty() && random.OneIn(4)) continue;
      kept.Tree.Recalculate();

      fresh.Tree.Options = kept.Tree.Options;
      fresh.Tree.DefaultFont = kept.Tree.DefaultFont;
      fresh.Tree.ExchangeRoot(RawCopy(*kept.Tree.TreeRoot())).reset();
      CopyPathValues(*kept.Tree.TreeRoot(), *fresh.Tree.TreeRoot());
      fresh.Tree.Recalculate();
      ExpectSameLayout(*fresh.Tree.TreeRoot(), *kept.Tree.TreeRoot(), true);
      EXPECT_EQ(kept.Tree.Width(), fresh.Tree.Width());
      EXPECT_EQ(kept.Tree.Height(), fresh.Tree.Height());
      if (HasFailure()) return;
    }
  }
}

TEST(IncrementalLayout, MeasuresOnlyWhatChanged) {
  TControl c;
  c.Tree.Options.ShowPayoff = true;
  TDecTreeNode* a = c.Add(c.Root(), "A", 100, 5);
  TDecTreeNode* b = c.Add(c.Root(), "B", 0, 3);
  c.Add(a, "A1", 100, 1);
  c.Add(b, "B1", 100, 1);
  c.Tree.Recalculate();
  TFakeCanvas& canvas = c.View.Canvas;

  canvas.Measured = 0;
  c.Tree.Recalculate();
  EXPECT_EQ(canvas.Measured, 0);

  // One caption: its box, nothing else.
  b->Caption = "Beta";
  canvas.Measured = 0;
  c.Tree.Recalculate();
  EXPECT_EQ(canvas.Measured, 1);
  EXPECT_EQ(b->Rect(htBox).Width, TFakeCanvas::Width("Beta   "));

  // A clone's copies are made afresh at every recalculation; what was
  // measured of the copies before them still holds.
  TDecTreeNode* clone = c.Add(c.Root(), "clone", 0, 0);
  ASSERT_EQ(clone->SetCloneMaster(a->Id), "");
  c.Tree.Recalculate();
  canvas.Measured = 0;
  c.Tree.Recalculate();
  EXPECT_EQ(canvas.Measured, 0);

  // A payoff: its text, and the path texts of the leaf below it.
  a->Payoff = 70000;
  canvas.Measured = 0;
  c.Tree.Recalculate();
  // (The clone's copy of the leaf is reached through the clone's own payoff.)
  EXPECT_EQ(canvas.Measured, 1 + 2);

  // An option of the tree (business mode off) measures every node again,
  // and so does a new font or a request.
  c.Tree.Options.ShowPayoff = false;
  canvas.Measured = 0;
  c.Tree.Recalculate();
  EXPECT_GE(canvas.Measured, 5);
  c.Tree.DefaultFont.Size = 10;
  canvas.Measured = 0;
  c.Tree.Recalculate();
  EXPECT_GE(canvas.Measured, 5);
  c.Tree.InvalidateMeasures();
  canvas.Measured = 0;
  c.Tree.Recalculate();
  EXPECT_GE(canvas.Measured, 5);
}
