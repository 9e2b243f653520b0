#include "control/TreePainter.h"
#include "model/MultiOptionSolver.h"

#include "canvas/Canvas.h"
#include "control/Glyphs.h"
#include "model/DecTreeNode.h"
#include "model/MoneyText.h"
#include "model/NodeRect.h"
#include "model/UIStringsComponent.h"

#include <algorithm>

namespace bw {

using namespace UIStringsComponent;

namespace {

bool Selected(const TDecTreeNode* node, TNodeElementType type) {
  return node->Tree && node->Tree->SelectionElementType == type && node->IsSelected();
}

bool HasVisibleComment(const std::string& comment) {
  for (char c : comment)
    if (c != '\r' && c != '\n' && c != ' ') return true;
  return false;
}

// A subtree is skipped when nothing of it can reach the area to paint; texts
// and thick pens stand out of the rectangles by a few pixels. To the right,
// the value text of a collapsed node can run far past its bounds (they
// reserve room for its path texts only), so a subtree is never skipped for
// lying left of the area.
bool Reaches(const TNodeRect& bounds, const TRect& area, int margin) {
  return bounds.Left - margin < area.Right && bounds.Top - margin < area.Bottom &&
         NodeRectBottom(bounds) + margin > area.Top;
}

} // namespace

void TStandardTreePainter::PaintNode(TDecTreeNode* node) {
  TCanvas& c = Canvas;
  const TTreeContext& tree = *node->Tree;
  const TNodeRect& box = node->Rect(htBox);
  const TNodeRect& indicator = node->Rect(htIndicator);
  const int boxRight = NodeRectRight(box), boxBottom = NodeRectBottom(box);
  const int boxCY = NodeRectCenterY(box);
  const int indRight = NodeRectRight(indicator), indBottom = NodeRectBottom(indicator);
  const int indCY = NodeRectCenterY(indicator);

  c.Font = {tree.DefaultFont, colors::Black};
  const int h = c.TextHeight("A");
  const int penWidth = node->OnPath ? 3 : 1;
  const TPenStyle lineStyle =
      tree.Options.HighlightClones && node->HasCloneAncestor() ? TPenStyle::Dot : TPenStyle::Solid;
  c.Pen = {colors::Black, penWidth, TPenStyle::Solid};
  c.Brush = {Selected(node, htBox) && OnScreen ? colors::Selection : colors::White,
             TBrushStyle::Solid};

  c.Pen.Style = lineStyle;
  c.Rectangle(box.Left, box.Top, boxRight, boxBottom);

  if (OnScreen && HasVisibleComment(node->Comment)) {
    const TBrush brush = c.Brush;
    const TPen pen = c.Pen;
    const int t = penWidth == 1 ? 1 : 0;
    c.Brush = {colors::Red, TBrushStyle::Solid};
    c.Pen.Width = 0; // no outline
    c.Polygon({{boxRight - 7 + t, box.Top + 2 - t},
               {boxRight - 2 + t, box.Top + 2 - t},
               {boxRight - 2 + t, box.Top + 7 - t}});
    c.Brush = brush;
    c.Pen = pen;
  }

  // The outline code as the last measuring worked it out, which the
  // drawing assumes; worked out here for a node never measured.
  const TNodeLayout* layout = node->LayoutStateIfAny();
  const std::string caption =
      (layout && layout->Style != 0 ? layout->OutlineCode : node->GetOutlineCode()) + node->Caption;
  c.TextOut(NodeRectCenterX(box) - c.TextWidth(caption) / 2, boxCY - h / 2, caption);

  c.MoveTo(boxRight, boxCY);
  c.LineTo(indicator.Left, boxCY);
  c.Pen.Style = TPenStyle::Solid;

  if (node->ChildrenVisible) {
    const TRect area = c.PaintArea();
    for (TDecTreeNode* child : node->Children) {
      const int childCY = NodeRectCenterY(child->Rect(htBox));
      // A connector wholly above or below the area is not drawn: a node
      // with many children draws only those that can show.
      if (std::max(boxCY, childCY) + 3 >= area.Top && std::min(boxCY, childCY) - 3 < area.Bottom) {
        c.Pen.Style = lineStyle;
        c.Pen.Width = child->OnPath ? 3 : 1;
        c.MoveTo(indRight - 8, boxCY);
        c.LineTo(child->Rect(htBox).Left, childCY);
        c.Pen.Style = TPenStyle::Solid;
      }
      if (Reaches(child->Bounds, area, h + 8)) PaintNode(child);
    }
    // The children changed the canvas' state.
    c.Font = {tree.DefaultFont, colors::Black};
  }

  c.Pen = {colors::Black, penWidth, TPenStyle::Solid};
  c.Brush = {colors::Grey, TBrushStyle::Solid};
  // Property lines in the panel's order: the element, its text and its flag.
  auto drawLines = [&](bool withPanel) {
    struct Line {
      TNodeElementType Type;
      bool Shown;
      std::string Text;
    };
    const bool decision = node->IsDecisionType() && node->ChildCount() > 0;
    auto lineText = [&](TNodeElementType type) -> std::string {
      switch (type) {
      case htIndicatorCaption:
        return Str(SLabelCaption) + node->GetDecisionCaptionText();
      case htIndicatorOwner:
        return Str(SLabelOwner) + node->GetDecisionOwnerText();
      case htIndicatorMultiBudget:
        return Str(SLabelBudget) + node->GetBudgetText();
      case htIndicatorMultiInvestment:
        return Str(SLabelInvestment) + node->GetInvestmentText();
      case htIndicatorDueDate:
        return Str(SLabelDueDate) + node->GetDueDateText();
      default:
        return Str(SLabelMode) + node->GetModeText();
      }
    };
    const std::pair<TNodeElementType, bool> order[] = {
        {htIndicatorCaption, node->GetDecisionShowCaption()},
        {htIndicatorOwner, decision && node->GetDecisionShowOwner()},
        {htIndicatorMultiBudget, decision && node->GetDecisionMultiShowBudget()},
        {htIndicatorMultiInvestment, decision && node->GetDecisionMultiShowInvestment()},
        {htIndicatorDueDate, decision && node->GetDecisionShowDueDate()},
        {htIndicatorFixed, decision && node->GetDecisionShowFixed()}};
    int count = 0;
    for (auto [type, shown] : order)
      count += shown;
    for (auto [type, shown] : order) {
      if (!shown) continue;
      const TNodeRect& line = node->Rect(type);
      c.Brush = {Selected(node, type) ? colors::Selection : colors::White, TBrushStyle::Solid};
      c.TextRect({indicator.Left + 2, line.Top, indRight - 10, NodeRectBottom(line)}, line.Left,
                 line.Top, lineText(type));
      c.Brush = {colors::White, TBrushStyle::Solid};
      if (type == htIndicatorCaption && withPanel && count > 1) {
        const int y = NodeRectBottom(line) + 2;
        c.Pen = {colors::Black, 1, TPenStyle::Dot};
        c.MoveTo(line.Left, y);
        c.LineTo(indRight - 8 - (line.Left - indicator.Left), y);
        c.Pen = {colors::Black, penWidth, TPenStyle::Solid};
      }
    }
  };

  if (node->ChildCount() > 0) {
    TColor symbol = colors::Grey;
    if (node->IsOverdue())
      symbol = colors::Red;
    else if (node->NodeType == ntMultiDecision && node->DecisionMultiBudget != -1 &&
             node->GetInvestment() > static_cast<Currency>(node->DecisionMultiBudget) * 10000)
      symbol = colors::Fuchsia;
    else if (ExceedsSolverBound(*node))
      symbol = colors::Fuchsia;
    else if (node->ChanceType == ctPercent && !SameFloat(100, node->GetProbabilitySum()))
      symbol = colors::Fuchsia;
    c.Brush.Color = symbol;

    std::vector<std::string> lines;
    node->GetDecisionPropertyLines(lines);
    const bool chance = node->NodeType == ntChance;
    if (lines.empty()) {
      if (chance)
        c.Ellipse(indicator.Left, indicator.Top, indRight, indBottom);
      else
        c.Rectangle(indicator.Left, indicator.Top, indRight, indBottom);
    } else {
      const int cy = indicator.Top + indicator.Height / 2;
      if (chance)
        c.Ellipse(indRight - 17, cy - 8, indRight, cy + 8);
      else
        c.Rectangle(indRight - 17, cy - 8, indRight, cy + 8);
      c.Brush = {colors::White, TBrushStyle::Solid};
      c.Rectangle(indicator.Left, indicator.Top, indRight - 8, indBottom);
      drawLines(true);
    }
    if (OnScreen && !node->IsCloneOrInClone()) {
      const TNodeRect& b = node->Rect(htRollUpDown);
      c.Draw(b.Left, b.Top, RollDownGlyph());
    }
    if (OnScreen) {
      const TNodeRect& b = node->Rect(htPlusMinus);
      c.Draw(b.Left, b.Top, node->ChildrenVisible ? MinusGlyph() : PlusGlyph());
    }
    c.Brush = {colors::White, TBrushStyle::Solid};
    c.Font.Color = colors::Blue;
    if (tree.Options.ShowPayoff)
      c.TextOut(indRight + 12, indCY - h / 2,
                tree.FormatMoney(DoubleToCurrencySaturated(node->Value)));
  } else {
    c.Polygon({{indicator.Left, indCY}, {indRight, indicator.Top}, {indRight, indBottom}});
    // A shown caption line of a leaf is placed and can be edited: draw it too.
    if (node->GetDecisionShowCaption()) drawLines(false);
    c.Brush = {colors::White, TBrushStyle::Solid};
    c.Font.Color = colors::Blue;
    const std::string p = node->GetPathProbabilityText();
    if (tree.Options.ShowPayoff) {
      c.TextOut(indRight + 6, boxCY - 2 - c.TextHeight(p), p);
      c.TextOut(indRight + 6, boxCY + 2, node->GetPathPayoffText());
    } else {
      c.TextOut(indRight + 6, boxCY - c.TextHeight(p) / 2, p);
    }
  }
  c.Font.Color = colors::Black;

  if (node->Parent) {
    const TNodeRect& probability = node->Rect(htProbability);
    const std::string p = node->GetProbabilityText();
    c.Font.Color = node->Parent->NodeType == ntChance ? colors::DarkGreen : colors::Brown;
    c.Brush = {Selected(node, htProbability) ? colors::Selection : colors::White,
               TBrushStyle::Solid};
    c.TextOut(NodeRectRight(probability) - c.TextWidth(p), probability.Top, p);
    c.Brush = {colors::White, TBrushStyle::Solid};
    c.Font.Color = colors::Black;

    const TNodeRect& payoff = node->Rect(htPayoff);
    const std::string q = tree.Options.ShowPayoff ? tree.FormatMoney(node->Payoff) : std::string();
    c.Font.Color = node->Payoff >= 0 ? colors::Black : colors::Red;
    c.Brush = {Selected(node, htPayoff) ? colors::Selection : colors::White, TBrushStyle::Solid};
    c.TextOut(NodeRectRight(payoff) - c.TextWidth(q), payoff.Top, q);
    c.Brush = {colors::White, TBrushStyle::Solid};
    c.Font.Color = colors::Black;
  }
}

} // namespace bw
