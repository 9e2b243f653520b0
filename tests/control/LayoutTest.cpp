// Rectangles of small trees measured on the fake canvas (7 px a character,
// 13 px a line) and hit-tests on them. The expected numbers are worked out by
// hand from the layout rules, with the border of 10 pixels.
#include "model/NodeRect.h"
#include "support/FakeTreeView.h"

#include <gtest/gtest.h>

using namespace bw;
using namespace bw::test;

namespace {

void ExpectRect(const TNodeRect& r, int left, int top, int width, int height) {
  EXPECT_EQ(r, (TNodeRect{left, top, width, height}))
      << "got " << r.Left << "," << r.Top << " " << r.Width << "x" << r.Height;
}

} // namespace

TEST(Layout, LoneRoot) {
  TControl c;
  c.Tree.Recalculate();
  TDecTreeNode* r = c.Root();
  // "Root" and three blanks; one text line + 12.
  ExpectRect(r->Rect(htBox), 10, 11, 49, 25);
  ExpectRect(r->Rect(htIndicator), 79, 15, 17, 17);
  ExpectRect(r->Rect(htProbability), 0, 0, 0, 0);
  ExpectRect(r->Rect(htPayoff), 0, 0, 0, 0);
  // Column 49 + indicator 17 + 70 + "100%".
  ExpectRect(r->Bounds, 10, 10, 164, 27);
  // Buttons centred on the indicator's bottom and right edges.
  ExpectRect(r->Rect(htRollUpDown), 83, 28, 9, 9);
  ExpectRect(r->Rect(htPlusMinus), 92, 19, 9, 9);
  // The control: the subtree's width, its height + 12.
  EXPECT_EQ(c.Tree.Width(), 164);
  EXPECT_EQ(c.Tree.Height(), 39);
  EXPECT_EQ(c.View.Width, 164);
  EXPECT_EQ(c.View.Height, 39);

  c.Tree.SetMinWidth(300);
  c.Tree.SetMinHeight(200);
  EXPECT_EQ(c.View.Width, 300);
  EXPECT_EQ(c.View.Height, 200);
  c.Tree.Recalculate();
  EXPECT_EQ(c.Tree.Width(), 300);
  EXPECT_EQ(c.Tree.Height(), 200);
  c.Tree.SetMinWidth(0);
  EXPECT_EQ(c.Tree.Width(), 164);
}

TEST(Layout, BoxWidthFollowsOutlineCodeAndCaption) {
  TControl c;
  c.Tree.Options.OutlineCodes = true;
  TDecTreeNode* a = c.Add(c.Root(), "Alpha", 100);
  TDecTreeNode* b = c.Add(c.Root(), "", 0);
  c.Tree.Recalculate();
  // "1  Alpha   " and "2     ": the root has no code.
  EXPECT_EQ(a->Rect(htBox).Width, 77);
  EXPECT_EQ(b->Rect(htBox).Width, 42);
  EXPECT_EQ(c.Root()->Rect(htBox).Width, 49);
  EXPECT_EQ(a->Rect(htBox).Height, 25);
}

TEST(Layout, OutlineCodesInsideClonesFollowTheMaster) {
  // Root over A and M (a master two levels deep), and C, a clone of M under
  // A: the copies are measured with the codes of the master's nodes.
  TControl c;
  c.Tree.Options.OutlineCodes = true;
  TDecTreeNode* a = c.Add(c.Root(), "A", 100);
  TDecTreeNode* m = c.Add(c.Root(), "M");
  c.Add(c.Add(m, "M1", 100), "M11", 100);
  c.Add(m, "M2");
  TDecTreeNode* clone = c.Add(a, "C", 100);
  ASSERT_EQ(clone->SetCloneMaster(m->Id), "");
  c.Tree.Recalculate();
  ASSERT_EQ(clone->Child(0)->ChildCount(), 1);
  const std::pair<TDecTreeNode*, const char*> codes[] = {{a, "1  "},
                                                         {clone, "1.1  "},
                                                         {clone->Child(0), "2.1  "},
                                                         {clone->Child(0)->Child(0), "2.1.1  "},
                                                         {clone->Child(1), "2.2  "},
                                                         {m->Child(0)->Child(0), "2.1.1  "}};
  for (auto [node, code] : codes) {
    EXPECT_EQ(node->GetOutlineCode(), code) << node->Caption;
    EXPECT_EQ(node->Rect(htBox).Width,
              c.View.Canvas.TextWidth(std::string(code) + node->Caption + "   "))
        << node->Caption;
  }
}

TEST(Layout, ProbabilityAndPayoffSitRightAlignedBeforeTheIndicator) {
  TwoOptions t;
  // Column: box 28 + the wider of "FALSE" (35) and "(3)" (21) = 63; children
  // start 13 px right of the root's indicator (79 + 17).
  ExpectRect(t.A->Rect(htBox), 109, 11, 28, 25);
  ExpectRect(t.A->Rect(htIndicator), 192, 15, 17, 17);
  ExpectRect(t.A->Rect(htProbability), 158, 8, 28, 13); // "TRUE" above the centre line
  ExpectRect(t.A->Rect(htPayoff), 179, 25, 7, 13);      // "5" below it
  // Leaf width: column 63 + 17 + 70 + "100%" (28).
  ExpectRect(t.A->Bounds, 109, 10, 178, 27);

  // 20 px below the first subtree.
  ExpectRect(t.B->Rect(htBox), 109, 58, 28, 25);
  ExpectRect(t.B->Rect(htIndicator), 192, 62, 17, 17);
  ExpectRect(t.B->Rect(htProbability), 151, 55, 35, 13);
  ExpectRect(t.B->Rect(htPayoff), 165, 72, 21, 13);
  // The path payoff "(3)" is wider than "0%".
  ExpectRect(t.B->Bounds, 109, 57, 171, 27);

  TDecTreeNode* r = t.Root();
  ExpectRect(r->Bounds, 10, 10, 277, 74);
  ExpectRect(r->Rect(htBox), 10, 35, 49, 25); // centred on the subtree
  ExpectRect(r->Rect(htIndicator), 79, 39, 17, 17);
  EXPECT_EQ(t.Tree.Width(), 277);
  EXPECT_EQ(t.Tree.Height(), 86);
}

TEST(Layout, ProbabilityTexts) {
  TControl c;
  TDecTreeNode* d = c.Add(c.Root(), "d", 100);
  TDecTreeNode* nearly = c.Add(d, "x", 99.999);
  TDecTreeNode* full = c.Add(d, "y", 100);
  TDecTreeNode* chance = c.Add(c.Root(), "c", 0, 0, ntChance);
  TDecTreeNode* weight = c.Add(chance, "w", 50);
  c.Tree.Recalculate();
  EXPECT_EQ(nearly->GetProbabilityText(), "FALSE");
  EXPECT_EQ(full->GetProbabilityText(), "TRUE");
  EXPECT_EQ(weight->GetProbabilityText(), "50%");
  EXPECT_EQ(weight->Rect(htProbability).Width, 21);
  chance->ChanceType = ctAnySum;
  c.Tree.Recalculate();
  EXPECT_EQ(weight->GetProbabilityText(), "50");
  EXPECT_EQ(weight->Rect(htProbability).Width, 14);
}

TEST(Layout, IndicatorPanelWithPropertyLines) {
  TControl c;
  TDecTreeNode* r = c.Root();
  r->DecisionShowCaption = r->DecisionShowOwner = r->DecisionShowDueDate = true;
  r->DecisionShowFixed = true;
  r->DecisionMultiShowBudget = true; // not effective on a decision
  r->DecisionCaption = "Go";
  r->DecisionOwner = "Bob";
  c.Add(r, "A", 100);
  c.Tree.Recalculate();

  std::vector<std::string> lines;
  r->GetDecisionPropertyLines(lines);
  EXPECT_EQ(lines, (std::vector<std::string>{"Go", "Owner: Bob", "Due Date: none", "Mode: Open"}));
  // Widest line "Due Date: none" (98) + 20; 4 lines of 15 + 10, + 3 for the
  // caption among several lines.
  ExpectRect(r->Rect(htIndicator), 79, 11, 118, 73);
  EXPECT_EQ(r->Bounds.Height, 75);
  // Lines 6 px into the panel; the caption line is followed by 5 px, the
  // others by 2.
  ExpectRect(r->Rect(htIndicatorCaption), 85, 17, 98, 13);
  ExpectRect(r->Rect(htIndicatorOwner), 85, 35, 98, 13);
  ExpectRect(r->Rect(htIndicatorDueDate), 85, 50, 98, 13);
  ExpectRect(r->Rect(htIndicatorFixed), 85, 65, 98, 13);
  ExpectRect(r->Rect(htIndicatorMultiBudget), 0, 0, 0, 0);
  ExpectRect(r->Rect(htIndicatorMultiInvestment), 0, 0, 0, 0);
  ExpectRect(r->Rect(htRollUpDown), 134, 80, 9, 9);
  ExpectRect(r->Rect(htPlusMinus), 193, 43, 9, 9);
  // The children column starts after the wide panel.
  EXPECT_EQ(r->Child(0)->Rect(htBox).Left, 79 + 118 + 13);

  // The caption alone: one line, no extra 3.
  r->DecisionShowOwner = r->DecisionShowDueDate = r->DecisionShowFixed = false;
  c.Tree.Recalculate();
  ExpectRect(r->Rect(htIndicator), 79, r->Rect(htIndicator).Top, 34, 25);
}

TEST(Layout, MultiDecisionBudgetAndInvestmentLines) {
  TControl c;
  TDecTreeNode* m = c.Add(c.Root(), "m", 100, 0, ntMultiDecision);
  m->DecisionMultiShowBudget = m->DecisionMultiShowInvestment = true;
  c.Add(m, "x", 100, -5);
  c.Tree.Recalculate();
  std::vector<std::string> lines;
  m->GetDecisionPropertyLines(lines);
  EXPECT_EQ(lines, (std::vector<std::string>{"Budget: no limit", "Investment: 5"}));
  // "Budget: no limit" (112) + 20; two lines without a caption: no extra 3.
  EXPECT_EQ(m->Rect(htIndicator).Width, 132);
  EXPECT_EQ(m->Rect(htIndicator).Height, 40);
  const TNodeRect& ind = m->Rect(htIndicator);
  ExpectRect(m->Rect(htIndicatorMultiBudget), ind.Left + 6, ind.Top + 6, 112, 13);
  ExpectRect(m->Rect(htIndicatorMultiInvestment), ind.Left + 6, ind.Top + 21, 112, 13);
  m->DecisionMultiBudget = 7;
  lines.clear();
  m->GetDecisionPropertyLines(lines);
  EXPECT_EQ(lines[0], "Budget: 7");
}

TEST(Layout, DecisionLeafShowsOnlyItsCaptionLine) {
  TControl c;
  TDecTreeNode* leaf = c.Add(c.Root(), "L", 100);
  leaf->DecisionShowCaption = leaf->DecisionShowOwner = leaf->DecisionShowDueDate = true;
  leaf->DecisionShowFixed = true;
  leaf->DecisionCaption = "Go";
  c.Tree.Recalculate();
  std::vector<std::string> lines;
  leaf->GetDecisionPropertyLines(lines);
  EXPECT_EQ(lines, std::vector<std::string>{"Go"});
  const TNodeRect& ind = leaf->Rect(htIndicator);
  EXPECT_EQ(ind.Width, 34);
  ExpectRect(leaf->Rect(htIndicatorCaption), ind.Left + 6, ind.Top + 6, 14, 13);
  // Not placed: measured size, position (0, 0).
  ExpectRect(leaf->Rect(htIndicatorOwner), 0, 0, 14, 13);
  ExpectRect(leaf->Rect(htIndicatorDueDate), 0, 0, 14, 13);
  ExpectRect(leaf->Rect(htIndicatorFixed), 0, 0, 14, 13);
}

TEST(Layout, DiagnosisModeHasNoPayoffsButReservesThePathPayoff) {
  TControl c;
  TDecTreeNode* a = c.Add(c.Root(), "A", 100, 1234567);
  c.Tree.Recalculate();
  // Column: 28 + "TRUE" (28); the payoff has no width but keeps its place.
  const TNodeRect& ind = a->Rect(htIndicator);
  ExpectRect(a->Rect(htPayoff), ind.Left - 6, 25, 0, 13);
  // "1,234,567" (63) is wider than "100%" and is reserved though not shown.
  EXPECT_EQ(a->Bounds.Width, 56 + 17 + 70 + 63);
}

TEST(Layout, ClearanceShiftMovesTheStraddlingChildAndThoseAfterIt) {
  for (bool showPayoff : {true, false}) {
    SCOPED_TRACE(showPayoff);
    TControl c;
    c.Tree.Options.ShowPayoff = showPayoff;
    TDecTreeNode* a = c.Add(c.Root(), "A", 100);
    TDecTreeNode* b = c.Add(c.Root(), "B", 0);
    TDecTreeNode* d = c.Add(c.Root(), "C", 0);
    c.Tree.Recalculate();
    TDecTreeNode* r = c.Root();
    // Root box centred on 3 x 27 + 40 = 121: top 58, centre line 70; the
    // value text needs 64..76, and B's box (58..83, grown by 2) covers 64.
    EXPECT_EQ(r->Rect(htBox).Top, 58);
    EXPECT_EQ(a->Rect(htBox).Top, 11);
    if (showPayoff) {
      const int shift = 2 * (76 - 58);
      EXPECT_EQ(b->Rect(htBox).Top, 58 + shift);
      EXPECT_EQ(b->Bounds.Top, 57 + shift);
      EXPECT_EQ(d->Rect(htBox).Top, 105 + shift);
      EXPECT_EQ(d->Rect(htProbability).Top, 105 + shift + 12 - 2 - 13);
      EXPECT_EQ(r->Bounds.Height, 121 + shift);
    } else {
      EXPECT_EQ(b->Rect(htBox).Top, 58);
      EXPECT_EQ(d->Rect(htBox).Top, 105);
      EXPECT_EQ(r->Bounds.Height, 121);
    }
    // The root's box is not centred again.
    EXPECT_EQ(r->Rect(htBox).Top, 58);
  }
}

TEST(Layout, ClearanceTestGrowsBoxesByTwoAndCanMoveUp) {
  // Children 45, 45, 27 and 72 high: the root's centre line is 134, the
  // lower clearance line 140, and the third child's box starts at 141. Only
  // its box grown by 2 holds 140, and it moves up by 2 x (140 - 141).
  TControl c;
  c.Tree.Options.ShowPayoff = true;
  TDecTreeNode* r = c.Root();
  auto collapsed = [&](const char* caption, double probability, TNodeType type) {
    TDecTreeNode* n = c.Add(r, caption, probability, 0, type);
    c.Add(n, "x", 100);
    n->ChildrenVisible = false;
    return n;
  };
  TDecTreeNode* p0 = collapsed("P", 100, ntDecision);
  TDecTreeNode* p1 = collapsed("P", 0, ntDecision);
  for (TDecTreeNode* p : {p0, p1})
    p->DecisionShowCaption = p->DecisionShowOwner = true; // 2 lines + caption: 43
  TDecTreeNode* q = c.Add(r, "Q", 0);
  TDecTreeNode* m = collapsed("M", 0, ntMultiDecision);
  m->DecisionMultiShowBudget = m->DecisionMultiShowInvestment = true;
  m->DecisionShowOwner = m->DecisionShowDueDate = true; // 4 lines: 70
  c.Tree.Recalculate();
  ASSERT_EQ(p0->Bounds.Height, 45);
  ASSERT_EQ(q->Bounds.Height, 27);
  ASSERT_EQ(m->Bounds.Height, 72);
  EXPECT_EQ(r->Rect(htBox).Top, 10 + 249 / 2 - 12);
  EXPECT_EQ(p1->Rect(htBox).Top, 85);
  EXPECT_EQ(q->Rect(htBox).Top, 141 - 2);
  EXPECT_EQ(m->Rect(htBox).Top, 211 - 2);
  EXPECT_EQ(r->Bounds.Height, 249 - 2);
}

TEST(Layout, CollapsedSubtreeKeepsStaleChildRectangles) {
  TControl c;
  c.Tree.Options.ShowPayoff = true;
  c.Tree.Recalculate(); // the lone root is an end node: path probability 100%
  TDecTreeNode* a = c.Add(c.Root(), "A", 100, 5);
  c.Add(c.Root(), "B", 0, -3);
  c.Tree.Recalculate();
  const TNodeRect box = a->Rect(htBox);
  const TNodeRect bounds = a->Bounds;
  const TNodeRect probability = a->Rect(htProbability);

  c.Root()->ChildrenVisible = false;
  a->Caption = "A much longer caption";
  c.Tree.Recalculate();
  // Measured again (the whole tree is), but not laid out.
  EXPECT_EQ(a->Rect(htBox).Width, 21 * 7 + 21);
  EXPECT_EQ(a->Rect(htBox).Left, box.Left);
  EXPECT_EQ(a->Rect(htBox).Top, box.Top);
  EXPECT_EQ(a->Bounds, bounds);
  EXPECT_EQ(a->Rect(htProbability).Top, probability.Top);
  // The root is drawn as an end node, with the path texts it had as one.
  ExpectRect(c.Root()->Bounds, 10, 10, 164, 27);
  EXPECT_EQ(c.Tree.Height(), 39);
  // The hidden child's stale box lies inside the root's bounds, but cannot
  // be hit.
  ASSERT_TRUE(PtInNodeRect(c.Root()->Bounds, box.Left + 5, box.Top + 5));
  EXPECT_EQ(c.Hit({box.Left + 5, box.Top + 5}), TNodeHit{});
}

TEST(HitTest, EdgesCountAsInside) {
  TControl c;
  c.Tree.Recalculate();
  TDecTreeNode* r = c.Root();
  // Box 10,11 49x25: right edge 59, bottom 36.
  EXPECT_EQ(c.Hit({10, 11}), MakeNodeHit(r, htBox));
  EXPECT_EQ(c.Hit({59, 36}), MakeNodeHit(r, htBox));
  EXPECT_EQ(c.Hit({60, 20}), TNodeHit{});
  EXPECT_EQ(c.Hit({9, 20}), TNodeHit{});
  // Indicator 79,15 17x17.
  EXPECT_EQ(c.Hit({79, 15}), MakeNodeHit(r, htIndicator));
  EXPECT_EQ(c.Hit({96, 32}), MakeNodeHit(r, htIndicator));
  EXPECT_EQ(c.Hit({97, 20}), TNodeHit{});
}

TEST(HitTest, ButtonsOnTheIndicatorEdgesWin) {
  TwoOptions t;
  TDecTreeNode* r = t.Root();
  const TNodeRect& ind = r->Rect(htIndicator);
  EXPECT_EQ(t.Hit({NodeRectRight(ind), NodeRectCenterY(ind)}), MakeNodeHit(r, htPlusMinus));
  EXPECT_EQ(t.Hit({NodeRectRight(ind) + 5, NodeRectCenterY(ind) + 5}), MakeNodeHit(r, htPlusMinus));
  EXPECT_EQ(t.Hit({NodeRectCenterX(ind), NodeRectBottom(ind)}), MakeNodeHit(r, htRollUpDown));
  EXPECT_EQ(t.Hit({NodeRectCenterX(ind) - 4, NodeRectBottom(ind) + 5}),
            MakeNodeHit(r, htRollUpDown));
  EXPECT_EQ(t.Hit({NodeRectCenterX(ind), NodeRectCenterY(ind)}), MakeNodeHit(r, htIndicator));
  // Children are tested after the node's own elements.
  EXPECT_EQ(t.Hit(TControl::Mid(t.B, htBox)), MakeNodeHit(t.B, htBox));
  EXPECT_EQ(t.Hit(TControl::Mid(t.B, htProbability)), MakeNodeHit(t.B, htProbability));
  EXPECT_EQ(t.Hit(TControl::Mid(t.B, htPayoff)), MakeNodeHit(t.B, htPayoff));
}

TEST(HitTest, PropertyLinesWinOverTheIndicatorWithinItsColumn) {
  TControl c;
  TDecTreeNode* r = c.Root();
  r->DecisionShowCaption = r->DecisionShowOwner = r->DecisionShowDueDate = true;
  r->DecisionCaption = "Go";
  r->DecisionOwner = "Bob";
  c.Add(r, "A", 100);
  c.Tree.Recalculate();
  const TNodeRect& ind = r->Rect(htIndicator);
  const TNodeRect& owner = r->Rect(htIndicatorOwner);
  const int columnRight = NodeRectRight(ind) - 8;
  EXPECT_EQ(c.Hit({owner.Left + 3, owner.Top}), MakeNodeHit(r, htIndicatorOwner));
  EXPECT_EQ(c.Hit({owner.Left + 3, NodeRectBottom(owner)}), MakeNodeHit(r, htIndicatorOwner));
  // Whatever the line's width: from the indicator's left to its right - 8.
  EXPECT_EQ(c.Hit({ind.Left, owner.Top + 5}), MakeNodeHit(r, htIndicatorOwner));
  EXPECT_EQ(c.Hit({columnRight, owner.Top + 5}), MakeNodeHit(r, htIndicatorOwner));
  EXPECT_EQ(c.Hit({columnRight + 1, owner.Top + 5}), MakeNodeHit(r, htIndicator));
  // Between two lines: the panel.
  EXPECT_EQ(c.Hit({owner.Left + 3, NodeRectBottom(owner) + 1}), MakeNodeHit(r, htIndicator));
  EXPECT_EQ(c.Hit(TControl::Mid(r, htIndicatorCaption)), MakeNodeHit(r, htIndicatorCaption));
  EXPECT_EQ(c.Hit(TControl::Mid(r, htIndicatorDueDate)), MakeNodeHit(r, htIndicatorDueDate));
}

TEST(HitTest, UnplacedLinesAreNeverHit) {
  // A decision leaf keeps an owner line of measured size at (0, 0); a click
  // in blank space over the indicator's column at y 10..13 must not select
  // that invisible line.
  TControl c;
  c.Root()->DecisionShowOwner = true;
  c.Tree.Recalculate();
  TDecTreeNode* r = c.Root();
  ASSERT_EQ(r->Rect(htIndicatorOwner).Top, 0);
  ASSERT_EQ(r->Rect(htIndicatorOwner).Height, 13);
  const int x = r->Rect(htIndicator).Left + 2;
  for (int y = 10; y <= 13; ++y)
    EXPECT_EQ(c.Hit({x, y}), TNodeHit{}) << y;
}

TEST(HitTest, RootProbabilityAndPayoffAreNeverHit) {
  TControl c;
  c.Tree.BorderSize = 0;
  c.Tree.Recalculate();
  ASSERT_EQ(c.Root()->Bounds.Left, 0);
  ASSERT_EQ(c.Root()->Bounds.Top, 0);
  // Both are 0 x 0 at (0, 0), inside the root's bounds but not drawn.
  EXPECT_EQ(c.Hit({0, 0}), TNodeHit{});
}

TEST(HitTest, ButtonsOfEndNodesAreNeverHit) {
  TControl c;
  c.Tree.Recalculate();
  TDecTreeNode* r = c.Root();
  const TNodeRect& plus = r->Rect(htPlusMinus);
  const TNodeRect& roll = r->Rect(htRollUpDown);
  // Right of the indicator and below it: blank space of an end node.
  EXPECT_EQ(c.Hit({NodeRectRight(plus), plus.Top + 4}), TNodeHit{});
  EXPECT_EQ(c.Hit({roll.Left + 4, NodeRectBottom(roll)}), TNodeHit{});
  // Where the indicator lies under them, the indicator answers.
  EXPECT_EQ(c.Hit({plus.Left, plus.Top + 4}), MakeNodeHit(r, htIndicator));
  EXPECT_EQ(c.Hit({roll.Left + 4, roll.Top}), MakeNodeHit(r, htIndicator));
}

TEST(NodeRect, PureHelpers) {
  const TNodeRect r = RectToNodeRect(10, 20, 30, 45);
  EXPECT_EQ(r, (TNodeRect{10, 20, 20, 25}));
  EXPECT_EQ(NodeRectRight(r), 30);
  EXPECT_EQ(NodeRectBottom(r), 45);
  EXPECT_EQ(NodeRectCenterX(r), 20);
  EXPECT_EQ(NodeRectCenterY(r), 32);
  EXPECT_TRUE(PtInNodeRect(r, 30, 45));
  EXPECT_FALSE(PtInNodeRect(r, 31, 45));
  EXPECT_TRUE(YInNodeRect(r, 20));
  EXPECT_FALSE(YInNodeRect(r, 46));
  // Touching counts.
  EXPECT_TRUE(NodeRectsOverlap(r, TNodeRect{30, 45, 5, 5}));
  EXPECT_FALSE(NodeRectsOverlap(r, TNodeRect{31, 45, 5, 5}));
  EXPECT_TRUE(NodeRectsOverlap(TNodeRect{0, 0, 0, 0}, TNodeRect{0, 0, 0, 0}));
  EXPECT_EQ(NodeRectCenterX(TNodeRect{-5, 0, 3, 0}), -4); // div truncates
}
