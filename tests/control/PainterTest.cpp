// What the node painter draws, on the control's own canvas and on any other
// (a picture, a page), recorded by the fake canvas.
#include "control/Glyphs.h"
#include "model/MultiOptionSolver.h"
#include "model/NodeRect.h"
#include "support/FakeTreeView.h"

#include <gtest/gtest.h>

using namespace bw;
using namespace bw::test;

namespace {

TFakeCanvas Paint(TDecTree& tree, bool onScreen, TRect area = TFakeCanvas().Area) {
  TFakeCanvas canvas;
  canvas.Area = area;
  tree.PaintTo(canvas, onScreen);
  return canvas;
}

// The type symbol drawn over the whole indicator.
const TDrawCall* Symbol(const TFakeCanvas& canvas, const TDecTreeNode* n) {
  const TNodeRect& r = n->Rect(htIndicator);
  const TDrawKind kind = n->NodeType == ntChance ? TDrawKind::Ellipse : TDrawKind::Rectangle;
  return canvas.ShapeAt(kind, r.Left, r.Top, NodeRectRight(r), NodeRectBottom(r));
}

const TDrawCall* BoxShape(const TFakeCanvas& canvas, const TDecTreeNode* n) {
  const TNodeRect& r = n->Rect(htBox);
  return canvas.ShapeAt(TDrawKind::Rectangle, r.Left, r.Top, NodeRectRight(r), NodeRectBottom(r));
}

// The text written at a point, or null.
const TDrawCall* TextAt(const TFakeCanvas& canvas, int x, int y) {
  for (const TDrawCall& c : canvas.Calls)
    if (c.Kind == TDrawKind::Text && c.A == x && c.B == y && !c.Text.empty()) return &c;
  return nullptr;
}

} // namespace

TEST(Painter, ScreenOnlyParts) {
  TwoOptions t;
  t.B->Comment = "note";
  t.Tree.Recalculate();
  for (bool onScreen : {true, false}) {
    SCOPED_TRACE(onScreen);
    TFakeCanvas canvas = Paint(t.Tree, onScreen);
    // The selected root box: filled only on screen.
    const TDrawCall* box = BoxShape(canvas, t.Root());
    ASSERT_TRUE(box);
    EXPECT_EQ(box->Brush.Color, onScreen ? colors::Selection : colors::White);
    EXPECT_EQ(box->Pen.Width, 3); // on the path
    EXPECT_EQ(BoxShape(canvas, t.B)->Pen.Width, 1);

    std::vector<const TDrawCall*> markers;
    for (const TDrawCall* p : canvas.OfKind(TDrawKind::Polygon))
      if (p->Brush.Color == colors::Red) markers.push_back(p);
    std::vector<const TDrawCall*> glyphs = canvas.OfKind(TDrawKind::Glyph);
    if (!onScreen) {
      EXPECT_TRUE(markers.empty());
      EXPECT_TRUE(glyphs.empty());
      continue;
    }
    // Root box 10,35 to 59,60 with the thick pen (t = 0); B's box 109,58 to
    // 137,83 with the thin one (t = 1). No outline.
    ASSERT_EQ(markers.size(), 2u);
    EXPECT_EQ(markers[0]->Points.size(), 3u);
    EXPECT_EQ(markers[0]->Points[0].X, 52);
    EXPECT_EQ(markers[0]->Points[0].Y, 37);
    EXPECT_EQ(markers[0]->Points[1].X, 57);
    EXPECT_EQ(markers[0]->Points[2].Y, 42);
    EXPECT_TRUE(markers[0]->Pen.Width <= 0 || markers[0]->Pen.Style == TPenStyle::Clear);
    EXPECT_EQ(markers[1]->Points[0].X, 131);
    EXPECT_EQ(markers[1]->Points[0].Y, 59);
    EXPECT_EQ(markers[1]->Points[1].X, 136);
    EXPECT_EQ(markers[1]->Points[2].Y, 64);
    // Buttons of the root only (the options are end nodes).
    ASSERT_EQ(glyphs.size(), 2u);
    EXPECT_EQ(glyphs[0]->Glyph, &RollDownGlyph());
    EXPECT_EQ(glyphs[0]->A, 83);
    EXPECT_EQ(glyphs[0]->B, 52);
    EXPECT_EQ(glyphs[1]->Glyph, &MinusGlyph());
    EXPECT_EQ(glyphs[1]->A, 92);
    EXPECT_EQ(glyphs[1]->B, 43);
  }
  // A collapsed node shows the plus button, no connectors and no children.
  t.Root()->ChildrenVisible = false;
  t.Tree.Recalculate();
  TFakeCanvas canvas = Paint(t.Tree, true);
  std::vector<const TDrawCall*> glyphs = canvas.OfKind(TDrawKind::Glyph);
  ASSERT_EQ(glyphs.size(), 2u);
  EXPECT_EQ(glyphs[1]->Glyph, &PlusGlyph());
  EXPECT_TRUE(canvas.Texts("A").empty());
  EXPECT_EQ(canvas.OfKind(TDrawKind::Line).size(), 1u); // box to indicator only
}

TEST(Painter, CommentOfBlanksAndLineBreaksHasNoMarker) {
  TwoOptions t;
  t.Root()->Comment = " \r\n  \n";
  t.Tree.Recalculate();
  TFakeCanvas canvas = Paint(t.Tree, true);
  for (const TDrawCall* p : canvas.OfKind(TDrawKind::Polygon))
    EXPECT_NE(p->Brush.Color, colors::Red);
}

TEST(Painter, SelectionFillsOfTextsOnAnyCanvas) {
  TwoOptions t;
  for (TNodeElementType type : {htProbability, htPayoff}) {
    t.Select({t.B}, type);
    for (bool onScreen : {true, false}) {
      TFakeCanvas canvas = Paint(t.Tree, onScreen);
      const TDrawCall* falseText = TextAt(canvas, 151, 55);
      const TDrawCall* payoff = TextAt(canvas, 165, 72);
      ASSERT_TRUE(falseText && payoff);
      EXPECT_EQ(falseText->Text, "FALSE");
      EXPECT_EQ(payoff->Text, "(3)");
      EXPECT_EQ(falseText->Brush.Color, type == htProbability ? colors::Selection : colors::White);
      EXPECT_EQ(payoff->Brush.Color, type == htPayoff ? colors::Selection : colors::White);
      // A is not selected.
      EXPECT_EQ(TextAt(canvas, 158, 8)->Brush.Color, colors::White);
    }
  }
  // A property line: filled across the panel's clip rectangle.
  TDecTreeNode* r = t.Root();
  r->DecisionShowCaption = r->DecisionShowOwner = true;
  r->DecisionCaption = "Go";
  r->DecisionOwner = "Bob";
  t.Tree.Recalculate();
  t.Select({r}, htIndicatorOwner);
  TFakeCanvas canvas = Paint(t.Tree, false);
  std::vector<const TDrawCall*> owner = canvas.Texts("Owner: Bob");
  std::vector<const TDrawCall*> caption = canvas.Texts("Go");
  ASSERT_EQ(owner.size(), 1u);
  ASSERT_EQ(caption.size(), 1u);
  EXPECT_EQ(owner[0]->Brush.Color, colors::Selection);
  EXPECT_EQ(caption[0]->Brush.Color, colors::White);
  const TNodeRect& ind = r->Rect(htIndicator);
  const TNodeRect& line = r->Rect(htIndicatorOwner);
  EXPECT_EQ(owner[0]->Kind, TDrawKind::TextRect);
  EXPECT_EQ(owner[0]->A, ind.Left + 2);
  EXPECT_EQ(owner[0]->B, line.Top);
  EXPECT_EQ(owner[0]->C, NodeRectRight(ind) - 10);
  EXPECT_EQ(owner[0]->D, NodeRectBottom(line));
  EXPECT_EQ(owner[0]->Points[0].X, line.Left);
  EXPECT_EQ(owner[0]->Points[0].Y, line.Top);
  // The painter leaves a white brush behind.
  EXPECT_EQ(canvas.Brush.Color, colors::White);
}

TEST(Painter, TextColours) {
  TwoOptions t;
  TFakeCanvas canvas = Paint(t.Tree, false);
  // "TRUE"/"FALSE" brown, right-aligned at the probability's right edge.
  EXPECT_EQ(TextAt(canvas, 158, 8)->Font.Color, (TColor{128, 64, 0}));
  EXPECT_EQ(TextAt(canvas, 151, 55)->Font.Color, (TColor{128, 64, 0}));
  // Payoffs: black, negative red.
  EXPECT_EQ(TextAt(canvas, 179, 25)->Font.Color, colors::Black);
  EXPECT_EQ(TextAt(canvas, 165, 72)->Font.Color, (TColor{255, 0, 0}));
  // The root's value: blue, 12 px right of the indicator on its centre line.
  const TDrawCall* value = TextAt(canvas, 96 + 12, 47 - 6);
  ASSERT_TRUE(value);
  EXPECT_EQ(value->Text, "5");
  EXPECT_EQ(value->Font.Color, (TColor{0, 0, 255}));
  // Captions black, centred in the box.
  const TDrawCall* caption = TextAt(canvas, 10 + 24 - 14, 35 + 12 - 6);
  ASSERT_TRUE(caption);
  EXPECT_EQ(caption->Text, "Root");
  EXPECT_EQ(caption->Font.Color, colors::Black);

  TControl c;
  TDecTreeNode* chance = c.Add(c.Root(), "c", 100, 0, ntChance);
  TDecTreeNode* w = c.Add(chance, "w", 12.5);
  c.Add(chance, "v", 87.5);
  c.Tree.Recalculate();
  TFakeCanvas chanceCanvas = Paint(c.Tree, false);
  std::vector<const TDrawCall*> p = chanceCanvas.Texts("12.5%");
  ASSERT_EQ(p.size(), 1u);
  EXPECT_EQ(p[0]->Font.Color, (TColor{0, 127, 0}));
  EXPECT_EQ(p[0]->A, NodeRectRight(w->Rect(htProbability)) - 35);
  // A chance node with shown children is a circle.
  EXPECT_TRUE(Symbol(chanceCanvas, chance));
}

TEST(Painter, IndicatorColourPriority) {
  TControl c;
  c.Tree.Options.StatusDate = 200;
  TDecTreeNode* r = c.Root();
  // Overdue and over budget: red wins.
  TDecTreeNode* both = c.Add(r, "both", 100, 0, ntMultiDecision);
  both->DecisionMultiBudget = 1;
  both->DecisionDueDate = 100;
  c.Add(both, "x", 100, -5);
  // Over budget only (investment 5 > 1).
  TDecTreeNode* budget = c.Add(r, "budget", 0, 0, ntMultiDecision);
  budget->DecisionMultiBudget = 1;
  c.Add(budget, "x", 100, -5);
  // Within budget.
  TDecTreeNode* within = c.Add(r, "within", 0, 0, ntMultiDecision);
  within->DecisionMultiBudget = 5;
  c.Add(within, "x", 100, -5);
  // Percentages: 99.9 is off, 99.99995 counts as 100.
  TDecTreeNode* off = c.Add(r, "off", 0, 0, ntChance);
  c.Add(off, "x", 50);
  c.Add(off, "y", 49.9);
  TDecTreeNode* close = c.Add(r, "close", 0, 0, ntChance);
  c.Add(close, "x", 50);
  c.Add(close, "y", 49.99995);
  // Weights of any sum.
  TDecTreeNode* any = c.Add(r, "any", 0, 0, ntChance);
  any->ChanceType = ctAnySum;
  c.Add(any, "x", 10);
  c.Add(any, "y", 20);
  // A multi-decision with two options taken: its sum counts as 100.
  TDecTreeNode* two = c.Add(r, "two", 0, 0, ntMultiDecision);
  c.Add(two, "x", 100, 1);
  c.Add(two, "y", 100, 1);
  // A decision overdue (and one fixed, which is never overdue).
  TDecTreeNode* late = c.Add(r, "late", 0);
  late->DecisionDueDate = 150;
  c.Add(late, "x", 100);
  TDecTreeNode* fixed = c.Add(r, "fixed", 0);
  fixed->DecisionDueDate = 150;
  fixed->DecisionFixed = true;
  c.Add(fixed, "x", 100);
  // Within budget, but too wide to search.
  TDecTreeNode* wide = c.Add(r, "wide", 0, 0, ntMultiDecision);
  wide->DecisionMultiBudget = 10;
  for (int i = 0; i <= MaxSolvedOptions; ++i)
    c.Add(wide, "o", i == 0 ? 100 : 0);
  c.Tree.Recalculate();

  TFakeCanvas canvas = Paint(c.Tree, false);
  const TColor fuchsia{255, 0, 255}, grey{128, 128, 128}, red{255, 0, 0};
  auto colour = [&](const TDecTreeNode* n) {
    const TDrawCall* s = Symbol(canvas, n);
    EXPECT_TRUE(s) << n->Caption;
    return s ? s->Brush.Color : TColor{1, 2, 3};
  };
  EXPECT_EQ(colour(both), red);
  EXPECT_EQ(colour(budget), fuchsia);
  EXPECT_EQ(colour(within), grey);
  EXPECT_EQ(colour(off), fuchsia);
  EXPECT_EQ(colour(close), grey);
  EXPECT_EQ(colour(any), grey);
  EXPECT_EQ(colour(two), grey);
  EXPECT_EQ(colour(late), red);
  EXPECT_EQ(colour(fixed), grey);
  EXPECT_EQ(colour(wide), fuchsia);
  wide->DecisionFixed = true;
  EXPECT_EQ(Symbol(Paint(c.Tree, false), wide)->Brush.Color, grey);
  // End nodes: a grey triangle pointing left.
  const TDecTreeNode* leaf = two->Child(0);
  const TNodeRect& ind = leaf->Rect(htIndicator);
  bool found = false;
  for (const TDrawCall* p : canvas.OfKind(TDrawKind::Polygon))
    if (p->Points.size() == 3 && p->Points[0].X == ind.Left &&
        p->Points[0].Y == NodeRectCenterY(ind) && p->Points[1].X == NodeRectRight(ind) &&
        p->Points[1].Y == ind.Top && p->Points[2].Y == NodeRectBottom(ind)) {
      found = true;
      EXPECT_EQ(p->Brush.Color, grey);
    }
  EXPECT_TRUE(found);
}

TEST(Painter, PanelWithSymbolAndSeparator) {
  TControl c;
  TDecTreeNode* ch = c.Add(c.Root(), "c", 100, 0, ntChance);
  ch->DecisionShowCaption = true;
  ch->DecisionCaption = "Weather";
  c.Add(ch, "x", 60);
  c.Add(ch, "y", 30);
  TDecTreeNode* r = c.Root();
  r->DecisionShowCaption = r->DecisionShowFixed = true;
  r->DecisionCaption = "Go";
  c.Tree.Recalculate();
  TFakeCanvas canvas = Paint(c.Tree, false);

  // The chance node: its small circle at the right end, fuchsia (sum 90),
  // then the white panel over it; one line, so no separator.
  const TNodeRect& ind = ch->Rect(htIndicator);
  const int right = NodeRectRight(ind), cy = ind.Top + ind.Height / 2;
  const TDrawCall* circle = canvas.ShapeAt(TDrawKind::Ellipse, right - 17, cy - 8, right, cy + 8);
  ASSERT_TRUE(circle);
  EXPECT_EQ(circle->Brush.Color, (TColor{255, 0, 255}));
  const TDrawCall* panel =
      canvas.ShapeAt(TDrawKind::Rectangle, ind.Left, ind.Top, right - 8, NodeRectBottom(ind));
  ASSERT_TRUE(panel);
  EXPECT_EQ(panel->Brush.Color, colors::White);
  EXPECT_GT(panel - circle, 0); // drawn after

  // The root: caption and mode, with the dotted separator under the caption.
  const TNodeRect& rind = r->Rect(htIndicator);
  const TNodeRect& cap = r->Rect(htIndicatorCaption);
  const int y = NodeRectBottom(cap) + 2;
  const int end = NodeRectRight(rind) - 8 - (cap.Left - rind.Left);
  int separators = 0;
  for (const TDrawCall* l : canvas.OfKind(TDrawKind::Line))
    if (l->Pen.Style == TPenStyle::Dot) {
      ++separators;
      EXPECT_EQ(l->A, cap.Left);
      EXPECT_EQ(l->B, y);
      EXPECT_EQ(l->C, end);
      EXPECT_EQ(l->D, y);
      EXPECT_EQ(l->Pen.Width, 1);
    }
  EXPECT_EQ(separators, 1);
  EXPECT_EQ(canvas.Texts("Mode: Open").size(), 1u);
}

TEST(Painter, EndNodePathTexts) {
  {
    TwoOptions t;
    TFakeCanvas canvas = Paint(t.Tree, false);
    // A: indicator right 209, box centre 23.
    const TDrawCall* p = TextAt(canvas, 215, 23 - 2 - 13);
    const TDrawCall* q = TextAt(canvas, 215, 23 + 2);
    ASSERT_TRUE(p && q);
    EXPECT_EQ(p->Text, "100%");
    EXPECT_EQ(q->Text, "5");
    EXPECT_EQ(p->Font.Color, (TColor{0, 0, 255}));
    EXPECT_EQ(q->Font.Color, (TColor{0, 0, 255}));
  }
  {
    TwoOptions t(false);
    TFakeCanvas canvas = Paint(t.Tree, false);
    // Only the path probability, centred on the box's line.
    const TDrawCall* p = TextAt(canvas, 215, 23 - 6);
    ASSERT_TRUE(p);
    EXPECT_EQ(p->Text, "100%");
    EXPECT_FALSE(TextAt(canvas, 215, 25));
    EXPECT_FALSE(TextAt(canvas, 215, 23 - 2 - 13));
    // No value and no payoffs.
    EXPECT_FALSE(TextAt(canvas, 108, 41));
    EXPECT_TRUE(canvas.Texts("5").empty());
    EXPECT_TRUE(canvas.Texts("(3)").empty());
  }
  {
    // Path probabilities round to whole percents.
    TControl c;
    TDecTreeNode* ch = c.Add(c.Root(), "c", 100, 0, ntChance);
    c.Add(ch, "x", 1);
    c.Add(ch, "y", 2);
    c.Tree.Recalculate();
    TFakeCanvas canvas = Paint(c.Tree, false);
    EXPECT_EQ(canvas.Texts("33%").size(), 1u);
    EXPECT_EQ(canvas.Texts("67%").size(), 1u);
  }
}

TEST(Painter, LoneRootShowsNoProbabilityOrPayoff) {
  TControl c;
  c.Tree.Options.ShowPayoff = true;
  c.Tree.Recalculate();
  TFakeCanvas canvas = Paint(c.Tree, false);
  for (const TDrawCall& call : canvas.Calls) {
    if (call.Kind == TDrawKind::Text && !call.Text.empty()) {
      EXPECT_TRUE(call.Text == "Root" || call.Text == "100%" || call.Text == "0") << call.Text;
    }
  }
  EXPECT_EQ(canvas.Texts("Root").size(), 1u);
}

TEST(Painter, DecisionLeafDrawsItsCaptionLine) {
  TwoOptions t;
  t.A->DecisionShowCaption = true;
  t.A->DecisionCaption = "Go";
  t.Tree.Recalculate();
  TFakeCanvas canvas = Paint(t.Tree, false);
  std::vector<const TDrawCall*> go = canvas.Texts("Go");
  ASSERT_EQ(go.size(), 1u);
  const TNodeRect& ind = t.A->Rect(htIndicator);
  const TNodeRect& line = t.A->Rect(htIndicatorCaption);
  EXPECT_EQ(go[0]->Points[0].X, line.Left);
  EXPECT_EQ(go[0]->Points[0].Y, line.Top);
  EXPECT_EQ(go[0]->A, ind.Left + 2);
  EXPECT_EQ(go[0]->C, NodeRectRight(ind) - 10);
  // And it is where hit-testing finds the line.
  EXPECT_EQ(t.Hit(TControl::Mid(t.A, htIndicatorCaption)), MakeNodeHit(t.A, htIndicatorCaption));
}

TEST(Painter, ClonesDrawNoPropertyButtonAndDottedInside) {
  TControl c;
  c.Tree.Options.HighlightClones = true;
  TDecTreeNode* m = c.Add(c.Root(), "M", 100);
  TDecTreeNode* x = c.Add(m, "X", 100);
  c.Add(x, "Y", 100);
  TDecTreeNode* clone = c.Add(c.Root(), "C", 0);
  ASSERT_EQ(clone->SetCloneMaster(m->Id), "");
  c.Tree.Recalculate();
  ASSERT_EQ(clone->ChildCount(), 1);
  TDecTreeNode* copy = clone->Child(0);
  TFakeCanvas canvas = Paint(c.Tree, true);

  auto glyphAt = [&](const TDecTreeNode* n, TNodeElementType type) {
    const TNodeRect& b = n->Rect(type);
    for (const TDrawCall* g : canvas.OfKind(TDrawKind::Glyph))
      if (g->A == b.Left && g->B == b.Top) return true;
    return false;
  };
  EXPECT_TRUE(glyphAt(m, htRollUpDown));
  EXPECT_TRUE(glyphAt(x, htRollUpDown));
  EXPECT_FALSE(glyphAt(clone, htRollUpDown));
  EXPECT_FALSE(glyphAt(copy, htRollUpDown));
  EXPECT_TRUE(glyphAt(clone, htPlusMinus));
  EXPECT_TRUE(glyphAt(copy, htPlusMinus));

  // The clone itself is solid, the copy inside it dotted.
  EXPECT_EQ(BoxShape(canvas, clone)->Pen.Style, TPenStyle::Solid);
  EXPECT_EQ(BoxShape(canvas, copy)->Pen.Style, TPenStyle::Dot);
  EXPECT_EQ(BoxShape(canvas, x)->Pen.Style, TPenStyle::Solid);
  c.Tree.Options.HighlightClones = false;
  TFakeCanvas plain = Paint(c.Tree, true);
  EXPECT_EQ(BoxShape(plain, copy)->Pen.Style, TPenStyle::Solid);
}

TEST(Painter, PaintsOnlyWhatReachesThePaintArea) {
  TControl c;
  for (int i = 0; i < 10; ++i)
    c.Add(c.Root(), "c" + std::to_string(i), i == 0 ? 100 : 0);
  c.Tree.Recalculate();
  // A strip from the middle of child 8 down.
  const int top = c.Root()->Child(8)->Bounds.Top + 10;
  TFakeCanvas canvas = Paint(c.Tree, true, {0, top, 2000, 2000});
  for (int i = 0; i < 8; ++i)
    EXPECT_TRUE(canvas.Texts("c" + std::to_string(i)).empty()) << i;
  EXPECT_EQ(canvas.Texts("c8").size(), 1u);
  EXPECT_EQ(canvas.Texts("c9").size(), 1u);
  // Connectors are the parent's: those that reach the area, and only those.
  const TNodeRect& ind = c.Root()->Rect(htIndicator);
  auto connectorsTo = [&](const TFakeCanvas& painted) {
    std::vector<int> ends;
    for (const TDrawCall* l : painted.OfKind(TDrawKind::Line))
      if (l->A == NodeRectRight(ind) - 8) ends.push_back(l->D);
    return ends;
  };
  auto centreOf = [&](int i) { return NodeRectCenterY(c.Root()->Child(i)->Rect(htBox)); };
  EXPECT_EQ(connectorsTo(canvas), (std::vector<int>{centreOf(8), centreOf(9)}));
  // A thin strip between the root and its lower children: every connector
  // that crosses it, though both its ends lie outside.
  const int strip = (NodeRectCenterY(c.Root()->Rect(htBox)) + centreOf(6)) / 2;
  TFakeCanvas crossing = Paint(c.Tree, true, {0, strip, 2000, strip + 1});
  EXPECT_EQ(connectorsTo(crossing),
            (std::vector<int>{centreOf(6), centreOf(7), centreOf(8), centreOf(9)}));
}

TEST(Painter, ValueTextOfACollapsedNodeIsPaintedWhereItReaches) {
  // The value of a collapsed node is written right of its indicator and
  // may reach beyond the node's bounds (which reserve room for the stale
  // path texts only); an area there must still get it.
  TControl c;
  c.Tree.Options.ShowPayoff = true;
  c.Tree.Options.CurrencySymbol = "$";
  c.Tree.Options.CurrencyDecimals = 2;
  TDecTreeNode* k = c.Add(c.Root(), "K", 100);
  c.Add(k, "x", 100, 123456789.12);
  k->ChildrenVisible = false;
  c.Tree.Recalculate();
  const std::string value = "$123,456,789.12";
  const TNodeRect& ind = k->Rect(htIndicator);
  const int textRight = NodeRectRight(ind) + 12 + 7 * static_cast<int>(value.size());
  const int boundsRight = NodeRectRight(k->Bounds);
  ASSERT_GT(textRight, boundsRight + 25);
  TFakeCanvas canvas = Paint(c.Tree, true, {boundsRight + 25, 0, 2000, 2000});
  const TDrawCall* text = TextAt(canvas, NodeRectRight(ind) + 12, NodeRectCenterY(ind) - 6);
  ASSERT_TRUE(text);
  EXPECT_EQ(text->Text, value);
}
