// Measuring the texts of every node and laying the tree out from left to
// right: a rectangle for each subtree and for each drawn element.
#include "canvas/Canvas.h"
#include "foundation/Conversions.h"
#include "foundation/Rounding.h"
#include "model/DecTreeNode.h"
#include "model/NodeRect.h"
#include "model/UIStringsComponent.h"

#include <algorithm>

namespace bw {

using namespace UIStringsComponent;

namespace {

// Sizes of the button images.
constexpr int ButtonSize = 9;

// The line elements in the order the panel shows them.
constexpr TNodeElementType LineOrder[] = {htIndicatorCaption,     htIndicatorOwner,
                                          htIndicatorMultiBudget, htIndicatorMultiInvestment,
                                          htIndicatorDueDate,     htIndicatorFixed};

} // namespace

void TDecTreeNode::GetDecisionPropertyLines(std::vector<std::string>& lines) const {
  if (GetDecisionShowCaption()) lines.push_back(Str(SLabelCaption) + GetDecisionCaptionText());
  if (!IsDecisionType() || Children.Count() == 0) return;
  if (GetDecisionMultiShowBudget()) lines.push_back(Str(SLabelBudget) + GetBudgetText());
  if (GetDecisionMultiShowInvestment())
    lines.push_back(Str(SLabelInvestment) + GetInvestmentText());
  if (GetDecisionShowOwner()) lines.push_back(Str(SLabelOwner) + GetDecisionOwnerText());
  if (GetDecisionShowDueDate()) lines.push_back(Str(SLabelDueDate) + GetDueDateText());
  if (GetDecisionShowFixed()) lines.push_back(Str(SLabelMode) + GetModeText());
}

std::string TDecTreeNode::GetBudgetText() const {
  if (DecisionMultiBudget == -1) return Str(SBudgetNoLimit);
  return Tree->FormatMoney(static_cast<Currency>(DecisionMultiBudget) * 10000);
}

std::string TDecTreeNode::GetInvestmentText() const {
  return Tree->FormatMoney(GetInvestment());
}

std::string TDecTreeNode::GetDueDateText() const {
  if (DecisionDueDate == 0) return Str(SDueDateNone);
  return Tree->ShortDateText(DecisionDueDate);
}

std::string TDecTreeNode::GetModeText() const {
  if (DecisionFixed) return Str(SModeClosed);
  if (IsOverdue()) return Str(SModeOverdue);
  return Str(SModeOpen);
}

std::string TDecTreeNode::GetProbabilityText() const {
  if (!Parent) return {};
  if (Parent->NodeType != ntChance) return Str(Probability == 100 ? SOptionTaken : SOptionNotTaken);
  std::string text = Tree->FloatText(Probability);
  if (Parent->ChanceType == ctPercent) text += '%';
  return text;
}

std::string TDecTreeNode::GetPathProbabilityText() const {
  // Rounded in floating point and written as such: no integer conversion can
  // overflow, whatever weights produced the value.
  return FloatToInvariantStr(RoundHalfEven(PathProbability * 100)) + "%";
}

std::string TDecTreeNode::GetPathPayoffText() const {
  return Tree->FormatMoney(DoubleToCurrencySaturated(PathPayoff));
}

namespace {

// One node's element sizes, with its outline code already worked out.
void MeasureNode(TDecTreeNode& node, TCanvas& canvas, const std::string& outlineCode, int h) {
  TNodeRect& box = node.Rect(htBox);
  box.Width = canvas.TextWidth(outlineCode + node.Caption + "   ");
  box.Height = h + 12;

  TNodeRect& probability = node.Rect(htProbability);
  TNodeRect& payoff = node.Rect(htPayoff);
  // Sizes only: the positions of a hidden subtree stay those of its last
  // layout.
  if (node.Parent) {
    probability.Width = canvas.TextWidth(node.GetProbabilityText());
    std::string payoffText =
        node.Tree->Options.ShowPayoff ? node.Tree->FormatMoney(node.Payoff) : std::string();
    payoff.Width = payoffText.empty() ? 0 : canvas.TextWidth(payoffText);
    probability.Height = payoff.Height = h;
  } else {
    probability.Width = probability.Height = payoff.Width = payoff.Height = 0;
  }

  std::vector<std::string> lines;
  node.GetDecisionPropertyLines(lines);
  TNodeRect& indicator = node.Rect(htIndicator);
  indicator.Width = 17;
  for (const std::string& line : lines)
    indicator.Width = std::max(indicator.Width, canvas.TextWidth(line) + 20);
  int n = static_cast<int>(lines.size());
  indicator.Height =
      n >= 1 ? n * (h + 2) + 10 + (node.GetDecisionShowCaption() && n > 1 ? 3 : 0) : 17;

  const bool shown[] = {node.GetDecisionShowCaption(),     node.GetDecisionShowOwner(),
                        node.GetDecisionMultiShowBudget(), node.GetDecisionMultiShowInvestment(),
                        node.GetDecisionShowDueDate(),     node.GetDecisionShowFixed()};
  for (int i = 0; i < 6; ++i) {
    TNodeRect& line = node.Rect(LineOrder[i]);
    line.Width = shown[i] ? indicator.Width - 20 : 0;
    line.Height = shown[i] ? h : 0;
  }
}

// The outline codes are handed down the tree, so that no node works out its
// own by climbing to the root (and, inside a clone, by searching the tree for
// the master): the codes are those GetOutlineCode gives.
void MeasureSubtree(TDecTreeNode& node, TCanvas& canvas, const std::string& outlineCode, int h) {
  MeasureNode(node, canvas, outlineCode, h);
  if (node.ChildCount() == 0) return;
  std::string prefix;
  const bool codes = node.Tree && node.Tree->Options.OutlineCodes;
  if (codes) {
    // Children of a clone are numbered under their master's code.
    TDecTreeNode* master = node.IsClone() ? node.GetMasterNode() : nullptr;
    prefix = master ? master->GetOutlineCode() : outlineCode;
    if (!prefix.empty()) {
      prefix.resize(prefix.size() - 2);
      prefix += '.';
    }
  }
  for (int i = 0; i < node.ChildCount(); ++i)
    MeasureSubtree(*node.Child(i), canvas,
                   codes ? prefix + std::to_string(i + 1) + "  " : std::string(), h);
}

} // namespace

void TDecTreeNode::Measure(TCanvas& canvas) {
  MeasureSubtree(*this, canvas, GetOutlineCode(), canvas.TextHeight("A"));
}

void TDecTreeNode::Layout(int x, int y, int columnWidth, TCanvas& canvas) {
  TNodeRect& box = Rect(htBox);
  TNodeRect& indicator = Rect(htIndicator);
  TNodeRect& probability = Rect(htProbability);
  TNodeRect& payoff = Rect(htPayoff);
  PlacedElements = (1u << htBox) | (1u << htIndicator) | (1u << htPlusMinus) | (1u << htRollUpDown);

  Bounds.Left = x;
  Bounds.Top = y;
  box.Left = x;
  indicator.Left = x + columnWidth + 20;
  if (Parent) {
    probability.Left = indicator.Left - probability.Width - 6;
    payoff.Left = indicator.Left - payoff.Width - 6;
    PlacedElements |= (1u << htProbability) | (1u << htPayoff);
  } else {
    probability.Left = payoff.Left = 0;
  }

  const bool childrenShown = Children.Count() > 0 && ChildrenVisible;
  int childColumn = 0;
  if (!childrenShown) {
    Bounds.Height = box.Height + 2;
    Bounds.Width =
        columnWidth + std::max(indicator.Width, 17) + 70 +
        std::max(canvas.TextWidth(GetPathProbabilityText()), canvas.TextWidth(GetPathPayoffText()));
  } else {
    for (const TDecTreeNode* c : Children)
      childColumn =
          std::max(childColumn, c->Rect(htBox).Width + std::max(c->Rect(htProbability).Width,
                                                                c->Rect(htPayoff).Width));
    int height = 0, width = 0;
    const int childX = indicator.Left + indicator.Width + 13;
    for (TDecTreeNode* c : Children) {
      c->Layout(childX, Bounds.Top + height, childColumn, canvas);
      height += c->Bounds.Height + 20;
      width = std::max(width, NodeRectRight(c->Bounds) - Bounds.Left);
    }
    Bounds.Height = height - 20;
    Bounds.Width = width;
  }
  Bounds.Height = std::max(Bounds.Height, indicator.Height + 2);
  box.Top = Bounds.Top + Bounds.Height / 2 - box.Height / 2;

  // Room for the value text written right of the indicator on the box's
  // centre line: the child whose box would cover it moves down, with those
  // after it.
  if (childrenShown && Tree->Options.ShowPayoff) {
    const int h = canvas.TextHeight("A") / 2;
    const int c = NodeRectCenterY(box);
    const int upper = c - h, lower = c + h;
    auto covers = [](const TDecTreeNode* child, int y) {
      const TNodeRect& b = child->Rect(htBox);
      return b.Top - 2 <= y && NodeRectBottom(b) + 2 > y;
    };
    int found = -1;
    for (int i = 0; i < Children.Count() && found < 0; ++i)
      if (covers(Children[i], upper)) found = i;
    for (int i = 0; i < Children.Count() && found < 0; ++i)
      if (covers(Children[i], lower)) found = i;
    if (found >= 0) {
      const int shift = 2 * (lower - Children[found]->Rect(htBox).Top);
      Bounds.Height += shift;
      for (int i = found; i < Children.Count(); ++i) {
        TDecTreeNode* child = Children[i];
        child->Layout(child->Bounds.Left, child->Bounds.Top + shift, childColumn, canvas);
      }
    }
  }

  const int boxMiddle = box.Top + box.Height / 2;
  if (Parent) {
    payoff.Top = boxMiddle + 2;
    probability.Top = boxMiddle - 2 - probability.Height;
  } else {
    probability.Top = payoff.Top = 0;
  }
  indicator.Top = boxMiddle - indicator.Height / 2;

  const bool decisionWithChildren = IsDecisionType() && Children.Count() > 0;
  const bool placed[] = {
      GetDecisionShowCaption(),
      decisionWithChildren && DecisionShowOwner,
      NodeType == ntMultiDecision && Children.Count() > 0 && GetDecisionMultiShowBudget(),
      NodeType == ntMultiDecision && Children.Count() > 0 && GetDecisionMultiShowInvestment(),
      decisionWithChildren && GetDecisionShowDueDate(),
      decisionWithChildren && GetDecisionShowFixed()};
  int lx = indicator.Left + 6, ly = indicator.Top + 6;
  for (int i = 0; i < 6; ++i) {
    TNodeRect& line = Rect(LineOrder[i]);
    if (!placed[i]) {
      line.Left = line.Top = 0;
      continue;
    }
    line.Left = lx;
    line.Top = ly;
    PlacedElements |= 1u << LineOrder[i];
    if (i == 0) {
      if (line.Height != 0) ly += line.Height + 5;
    } else {
      ly += line.Height + 2;
    }
  }

  Rect(htRollUpDown) = {NodeRectCenterX(indicator) - ButtonSize / 2,
                        NodeRectBottom(indicator) - ButtonSize / 2, ButtonSize, ButtonSize};
  Rect(htPlusMinus) = {NodeRectRight(indicator) - ButtonSize / 2,
                       NodeRectCenterY(indicator) - ButtonSize / 2, ButtonSize, ButtonSize};
}

TNodeHit TDecTreeNode::HitTest(int x, int y) {
  if (!PtInNodeRect(Bounds, x, y)) return {};
  const TNodeRect& indicator = Rect(htIndicator);
  const bool inColumn = x >= indicator.Left && x <= NodeRectRight(indicator) - 8;
  if (HasButtons() && PtInNodeRect(Rect(htPlusMinus), x, y)) return {this, htPlusMinus};
  // A clone's button is not drawn, but a click there still belongs to it and
  // changes nothing: its decision properties are the master's.
  if (HasButtons() && PtInNodeRect(Rect(htRollUpDown), x, y)) return {this, htRollUpDown};
  if (PtInNodeRect(Rect(htBox), x, y)) return {this, htBox};
  for (TNodeElementType line : LineOrder) {
    if (IsPlaced(line) && inColumn && YInNodeRect(Rect(line), y)) return {this, line};
  }
  if (PtInNodeRect(indicator, x, y)) return {this, htIndicator};
  if (IsPlaced(htProbability) && PtInNodeRect(Rect(htProbability), x, y))
    return {this, htProbability};
  if (IsPlaced(htPayoff) && PtInNodeRect(Rect(htPayoff), x, y)) return {this, htPayoff};
  if (ChildrenVisible)
    for (TDecTreeNode* c : Children) {
      TNodeHit hit = c->HitTest(x, y);
      if (hit.Node) return hit;
    }
  return {};
}

} // namespace bw
