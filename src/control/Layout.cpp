// Measuring the texts of every node and laying the tree out from left to
// right: a rectangle for each subtree and for each drawn element.
#include "canvas/Canvas.h"
#include "control/TreeLayout.h"
#include "foundation/Conversions.h"
#include "foundation/Rounding.h"
#include "model/DecTreeNode.h"
#include "model/NodeRect.h"
#include "model/UIStringsComponent.h"

#include <algorithm>
#include <bit>
#include <unordered_map>

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

// ---- Measuring and layout ------------------------------------------------
//
// One pass measures every node whose inputs changed since it was last
// measured (all of them in a full pass) and notes, bottom-up, which shown
// subtrees hold a change that layout must see. Layout then works down from
// the root: a subtree without such a change, laid out in the same column
// before, stays where it is or is moved as a whole; every other node is laid
// out by the rules. The result is that of measuring and laying out every
// node afresh.

namespace {

uint64_t NewStamp() {
  static uint64_t last = 0;
  return ++last;
}

// The property lines a node shows and where it places them: the six
// effective show flags, and what placing depends on beside them.
uint16_t LineFlagsOf(const TDecTreeNode& n) {
  return static_cast<uint16_t>(
      n.GetDecisionShowCaption() | n.GetDecisionShowOwner() << 1 |
      n.GetDecisionMultiShowBudget() << 2 | n.GetDecisionMultiShowInvestment() << 3 |
      n.GetDecisionShowDueDate() << 4 | n.GetDecisionShowFixed() << 5 | n.IsDecisionType() << 6 |
      (n.NodeType == ntMultiDecision) << 7 | (n.ChildCount() > 0) << 8 | n.DecisionShowOwner << 9);
}

uint8_t ParentKindOf(const TDecTreeNode& n) {
  if (!n.Parent) return 0;
  if (n.Parent->NodeType != ntChance) return 1;
  return n.Parent->ChanceType == ctPercent ? 3 : 2;
}

} // namespace

struct TLayoutPass final : TRollBackObserver {
  TCanvas& Canvas;
  uint64_t Style;
  uint64_t Number;
  bool Full;
  int TextHeight;
  bool OutlineCodes;
  bool ShowPayoff;
  // Clone masters by id, for the outline codes of clones' children; found
  // when first needed.
  std::unordered_map<Guid, TDecTreeNode*, GuidHash> Masters;
  bool MastersFound = false;
  TDecTreeNode* Root = nullptr;

  TLayoutPass(TCanvas& canvas, uint64_t style, bool full, const TTreeContext* tree)
      : Canvas(canvas), Style(style), Number(NewStamp()), Full(full),
        TextHeight(canvas.TextHeight("A")), OutlineCodes(tree && tree->Options.OutlineCodes),
        ShowPayoff(tree && tree->Options.ShowPayoff) {}

  TDecTreeNode* MasterOf(TDecTreeNode* clone);
  const std::string& OutlineCode(TDecTreeNode* n, int index);
  bool MeasureOwn(TDecTreeNode* n, int index);
  // Measuring a node as a walk reaches it, and noting whether its shown
  // subtree changed as the walk leaves it.
  void Enter(TDecTreeNode* n, int index) override;
  void Leave(TDecTreeNode* n) override;
  void Measure(TDecTreeNode* n, int index);
  int PathTextWidth(TDecTreeNode* n);
  void Layout(TDecTreeNode* n, int x, int y, int columnWidth);
  void LayOut(TDecTreeNode* n, int x, int y, int columnWidth);
};

namespace {

// Moves a laid-out subtree: every placed rectangle of every shown node.
void Translate(TDecTreeNode* n, int dx, int dy) {
  TNodeLayout& l = n->LayoutState();
  for (int t = 0; t < NodeElementTypeCount; ++t)
    if (n->IsPlaced(static_cast<TNodeElementType>(t))) {
      l.Rects[static_cast<size_t>(t)].Left += dx;
      l.Rects[static_cast<size_t>(t)].Top += dy;
    }
  n->Bounds.Left += dx;
  n->Bounds.Top += dy;
  l.X += dx;
  l.Y += dy;
  if (n->ChildrenVisible)
    for (TDecTreeNode* c : n->Children)
      Translate(c, dx, dy);
}

} // namespace

TDecTreeNode* TLayoutPass::MasterOf(TDecTreeNode* clone) {
  if (!MastersFound) {
    MastersFound = true;
    // The first node of each id in pre-order, as a search from the root
    // finds it, for the ids the clones refer to.
    std::vector<TDecTreeNode*> stack{Root};
    while (!stack.empty()) {
      TDecTreeNode* n = stack.back();
      stack.pop_back();
      if (n->IsClone()) Masters.emplace(n->Ref, nullptr);
      for (TDecTreeNode* c : n->Children)
        stack.push_back(c);
    }
    stack.assign(1, Root);
    while (!stack.empty()) {
      TDecTreeNode* n = stack.back();
      stack.pop_back();
      if (auto it = Masters.find(n->Id); it != Masters.end() && !it->second) it->second = n;
      for (int i = n->ChildCount() - 1; i >= 0; --i)
        stack.push_back(n->Child(i));
    }
  }
  auto it = Masters.find(clone->Ref);
  return it == Masters.end() ? nullptr : it->second;
}

// The node's outline code for this pass (empty when the option is off),
// worked out once per pass: from the code of the parent, or of the parent's
// master when the parent is a clone. index: the node's place among its
// parent's children, or -1 when the caller does not know it.
const std::string& TLayoutPass::OutlineCode(TDecTreeNode* n, int index) {
  TNodeLayout& l = n->LayoutState();
  if (l.CodePass == Number) return l.OutlineCode;
  l.CodePass = Number;
  if (!OutlineCodes && !l.HasCode) {
    l.CodeChanged = false;
    return l.OutlineCode;
  }
  std::string code;
  if (OutlineCodes && n->Parent) {
    TDecTreeNode* base = n->Parent;
    if (base->IsClone())
      if (TDecTreeNode* master = MasterOf(base)) base = master;
    const std::string& baseCode = OutlineCode(base, -1);
    code = baseCode;
    if (!code.empty()) {
      code.resize(code.size() - 2);
      code += '.';
    }
    if (index < 0) index = n->IndexInParent();
    code += std::to_string(index + 1);
    code += "  ";
  }
  l.CodeChanged = code != l.OutlineCode;
  if (l.CodeChanged) l.OutlineCode = std::move(code);
  l.HasCode = !l.OutlineCode.empty();
  return l.OutlineCode;
}

// Measures what of the node changed; true when a size or a rule of its
// layout changed.
bool TLayoutPass::MeasureOwn(TDecTreeNode* n, int index) {
  TNodeLayout& l = n->LayoutState();
  const bool fresh = Full || l.Style != Style;
  bool changed = fresh;
  const int h = TextHeight;

  OutlineCode(n, index);
  TNodeRect& box = l.Rects[htBox];
  if (fresh || l.CodeChanged || l.Caption != n->Caption) {
    const int width = Canvas.TextWidth(l.OutlineCode + n->Caption + "   ");
    changed |= width != box.Width || box.Height != h + 12;
    box.Width = width;
    box.Height = h + 12;
    if (l.Caption != n->Caption) l.Caption = n->Caption;
  }

  // Sizes only: the positions of a hidden subtree stay those of its last
  // layout.
  TNodeRect& probability = l.Rects[htProbability];
  TNodeRect& payoff = l.Rects[htPayoff];
  const uint8_t kind = ParentKindOf(*n);
  const uint64_t probabilityBits = std::bit_cast<uint64_t>(n->Probability);
  if (fresh || kind != l.ParentKind || probabilityBits != l.ProbabilityBits) {
    const int width = kind != 0 ? Canvas.TextWidth(n->GetProbabilityText()) : 0;
    const int height = kind != 0 ? h : 0;
    changed |= width != probability.Width || height != probability.Height;
    probability.Width = width;
    probability.Height = height;
  }
  if (fresh || (kind != 0) != (l.ParentKind != 0) || n->Payoff != l.Payoff) {
    int width = 0;
    if (kind != 0 && ShowPayoff) {
      const std::string text = n->Tree->FormatMoney(n->Payoff);
      width = text.empty() ? 0 : Canvas.TextWidth(text);
    }
    const int height = kind != 0 ? h : 0;
    changed |= width != payoff.Width || height != payoff.Height;
    payoff.Width = width;
    payoff.Height = height;
  }
  l.ParentKind = kind;
  l.ProbabilityBits = probabilityBits;
  l.Payoff = n->Payoff;

  // The property lines: their texts depend on more than the node (the
  // investment on the options, the mode on the date), so a node that shows
  // any has them made and compared.
  const uint16_t lineFlags = LineFlagsOf(*n);
  const bool mayShowLines = n->GetDecisionShowCaption() ||
                            (n->IsDecisionType() && n->ChildCount() > 0 && (lineFlags & 0x3E) != 0);
  if (fresh || lineFlags != l.LineFlags || mayShowLines || l.HasLines) {
    std::vector<std::string> lines;
    n->GetDecisionPropertyLines(lines);
    if (fresh || lineFlags != l.LineFlags || lines != l.Lines) {
      changed |= lineFlags != l.LineFlags;
      TNodeRect& indicator = l.Rects[htIndicator];
      int width = 17;
      for (const std::string& line : lines)
        width = std::max(width, Canvas.TextWidth(line) + 20);
      const int count = static_cast<int>(lines.size());
      const int height =
          count >= 1 ? count * (h + 2) + 10 + (n->GetDecisionShowCaption() && count > 1 ? 3 : 0)
                     : 17;
      changed |= width != indicator.Width || height != indicator.Height;
      indicator.Width = width;
      indicator.Height = height;
      for (int i = 0; i < 6; ++i) {
        TNodeRect& line = l.Rects[LineOrder[i]];
        const bool shown = (lineFlags >> i) & 1;
        const int w = shown ? width - 20 : 0, lh = shown ? h : 0;
        changed |= w != line.Width || lh != line.Height;
        line.Width = w;
        line.Height = lh;
      }
      l.LineFlags = lineFlags;
      l.Lines = std::move(lines);
      l.HasLines = !l.Lines.empty();
    }
  }

  if (l.Parent != n->Parent || l.Index != index || l.ChildCount != n->ChildCount() ||
      l.ChildrenVisible != n->ChildrenVisible) {
    changed = true;
    l.Parent = n->Parent;
    l.Index = index;
    l.ChildCount = n->ChildCount();
    l.ChildrenVisible = n->ChildrenVisible;
  }
  // The end of a branch reserves room for its path texts.
  if (n->ChildCount() == 0 || !n->ChildrenVisible) {
    const int width = l.PathTextWidth;
    changed |= PathTextWidth(n) != width || fresh;
  }
  l.Style = Style;
  return changed;
}

// The wider of the path probability and path payoff texts, measured again
// only when a value or the style changed.
int TLayoutPass::PathTextWidth(TDecTreeNode* n) {
  TNodeLayout& l = n->LayoutState();
  const uint64_t p = std::bit_cast<uint64_t>(n->PathProbability);
  const uint64_t q = std::bit_cast<uint64_t>(n->PathPayoff);
  if (Full || l.PathStyle != Style || p != l.PathProbabilityBits || q != l.PathPayoffBits) {
    l.PathTextWidth = std::max(Canvas.TextWidth(n->GetPathProbabilityText()),
                               Canvas.TextWidth(n->GetPathPayoffText()));
    l.PathStyle = Style;
    l.PathProbabilityBits = p;
    l.PathPayoffBits = q;
  }
  return l.PathTextWidth;
}

void TLayoutPass::Enter(TDecTreeNode* n, int index) {
  TNodeLayout& l = n->LayoutState();
  l.Dirty |= MeasureOwn(n, index);
}

void TLayoutPass::Leave(TDecTreeNode* n) {
  TNodeLayout& l = n->LayoutState();
  bool subtree = l.Dirty;
  if (n->ChildrenVisible)
    for (const TDecTreeNode* c : n->Children)
      subtree |= c->LayoutStateIfAny()->SubtreeDirty;
  l.SubtreeDirty = subtree;
}

// Measures the subtree, collapsed parts included, without a roll-back.
void TLayoutPass::Measure(TDecTreeNode* n, int index) {
  Enter(n, index);
  for (int i = 0; i < n->ChildCount(); ++i)
    Measure(n->Child(i), i);
  Leave(n);
}

void TLayoutPass::Layout(TDecTreeNode* n, int x, int y, int columnWidth) {
  TNodeLayout& l = n->LayoutState();
  if (!Full && l.LaidOut && !l.SubtreeDirty && l.Column == columnWidth) {
    if (l.X != x || l.Y != y) Translate(n, x - l.X, y - l.Y);
    return;
  }
  LayOut(n, x, y, columnWidth);
  l.LaidOut = true;
  l.X = x;
  l.Y = y;
  l.Column = columnWidth;
  l.Dirty = l.SubtreeDirty = false;
}

// The layout rules for one node, its shown children through Layout.
void TLayoutPass::LayOut(TDecTreeNode* n, int x, int y, int columnWidth) {
  TNodeLayout& l = n->LayoutState();
  TNodeRect& box = l.Rects[htBox];
  TNodeRect& indicator = l.Rects[htIndicator];
  TNodeRect& probability = l.Rects[htProbability];
  TNodeRect& payoff = l.Rects[htPayoff];
  const TDecTreeNode* parent = n->Parent;
  uint16_t placed =
      (1u << htBox) | (1u << htIndicator) | (1u << htPlusMinus) | (1u << htRollUpDown);

  TNodeRect& bounds = n->Bounds;
  bounds.Left = x;
  bounds.Top = y;
  box.Left = x;
  indicator.Left = x + columnWidth + 20;
  if (parent) {
    probability.Left = indicator.Left - probability.Width - 6;
    payoff.Left = indicator.Left - payoff.Width - 6;
    placed |= (1u << htProbability) | (1u << htPayoff);
  } else {
    probability.Left = payoff.Left = 0;
  }

  const int childCount = n->ChildCount();
  const bool childrenShown = childCount > 0 && n->ChildrenVisible;
  int childColumn = 0;
  if (!childrenShown) {
    bounds.Height = box.Height + 2;
    bounds.Width = columnWidth + std::max(indicator.Width, 17) + 70 + PathTextWidth(n);
  } else {
    for (const TDecTreeNode* c : n->Children)
      childColumn =
          std::max(childColumn, c->Rect(htBox).Width + std::max(c->Rect(htProbability).Width,
                                                                c->Rect(htPayoff).Width));
    int height = 0, width = 0;
    const int childX = indicator.Left + indicator.Width + 13;
    for (TDecTreeNode* c : n->Children) {
      Layout(c, childX, bounds.Top + height, childColumn);
      height += c->Bounds.Height + 20;
      width = std::max(width, NodeRectRight(c->Bounds) - bounds.Left);
    }
    bounds.Height = height - 20;
    bounds.Width = width;
  }
  bounds.Height = std::max(bounds.Height, indicator.Height + 2);
  box.Top = bounds.Top + bounds.Height / 2 - box.Height / 2;

  // Room for the value text written right of the indicator on the box's
  // centre line: the child whose box would cover it moves down, with those
  // after it.
  if (childrenShown && ShowPayoff) {
    const int h = TextHeight / 2;
    const int c = NodeRectCenterY(box);
    const int upper = c - h, lower = c + h;
    auto covers = [](const TDecTreeNode* child, int y) {
      const TNodeRect& b = child->Rect(htBox);
      return b.Top - 2 <= y && NodeRectBottom(b) + 2 > y;
    };
    int found = -1;
    for (int i = 0; i < childCount && found < 0; ++i)
      if (covers(n->Child(i), upper)) found = i;
    for (int i = 0; i < childCount && found < 0; ++i)
      if (covers(n->Child(i), lower)) found = i;
    if (found >= 0) {
      const int shift = 2 * (lower - n->Child(found)->Rect(htBox).Top);
      bounds.Height += shift;
      for (int i = found; i < childCount; ++i) {
        TDecTreeNode* child = n->Child(i);
        Layout(child, child->Bounds.Left, child->Bounds.Top + shift, childColumn);
      }
    }
  }

  const int boxMiddle = box.Top + box.Height / 2;
  if (parent) {
    payoff.Top = boxMiddle + 2;
    probability.Top = boxMiddle - 2 - probability.Height;
  } else {
    probability.Top = payoff.Top = 0;
  }
  indicator.Top = boxMiddle - indicator.Height / 2;

  const bool decisionWithChildren = n->IsDecisionType() && childCount > 0;
  const bool placedLines[] = {
      n->GetDecisionShowCaption(),
      decisionWithChildren && n->DecisionShowOwner,
      n->NodeType == ntMultiDecision && childCount > 0 && n->GetDecisionMultiShowBudget(),
      n->NodeType == ntMultiDecision && childCount > 0 && n->GetDecisionMultiShowInvestment(),
      decisionWithChildren && n->GetDecisionShowDueDate(),
      decisionWithChildren && n->GetDecisionShowFixed()};
  int lx = indicator.Left + 6, ly = indicator.Top + 6;
  for (int i = 0; i < 6; ++i) {
    TNodeRect& line = l.Rects[LineOrder[i]];
    if (!placedLines[i]) {
      line.Left = line.Top = 0;
      continue;
    }
    line.Left = lx;
    line.Top = ly;
    placed |= static_cast<uint16_t>(1u << LineOrder[i]);
    if (i == 0) {
      if (line.Height != 0) ly += line.Height + 5;
    } else {
      ly += line.Height + 2;
    }
  }
  n->PlacedElements = placed;

  l.Rects[htRollUpDown] = {NodeRectCenterX(indicator) - ButtonSize / 2,
                           NodeRectBottom(indicator) - ButtonSize / 2, ButtonSize, ButtonSize};
  l.Rects[htPlusMinus] = {NodeRectRight(indicator) - ButtonSize / 2,
                          NodeRectCenterY(indicator) - ButtonSize / 2, ButtonSize, ButtonSize};
}

void TDecTreeNode::Measure(TCanvas& canvas) {
  TLayoutPass pass(canvas, NewStamp(), true, Tree);
  pass.Root = GetRoot();
  pass.Measure(this, Parent ? IndexInParent() : 0);
}

void TDecTreeNode::Layout(int x, int y, int columnWidth, TCanvas& canvas) {
  TLayoutPass pass(canvas, NewStamp(), true, Tree);
  pass.Root = GetRoot();
  pass.Layout(this, x, y, columnWidth);
}

void TTreeLayout::RollBackAndLayOut(TDecTreeNode* root, TCanvas& canvas, int border,
                                    const TTreeContext& tree) {
  TLayoutStyle style{canvas.Font.Spec,
                     tree.Options.ShowPayoff,
                     tree.Options.OutlineCodes,
                     tree.Options.CurrencySymbol,
                     tree.Options.CurrencyDecimals,
                     tree.Options.CurrencyPosFormat,
                     tree.Options.CurrencyNegFormat,
                     tree.Locale.ThousandSeparator,
                     tree.Locale.DecimalSeparator,
                     tree.Locale.GroupSize,
                     &canvas};
  if (FStamp == 0 || !(style == FStyle)) {
    FStyle = std::move(style);
    FStamp = NewStamp();
  }
  TLayoutPass pass(canvas, FStamp, false, &tree);
  pass.Root = root;
  root->EvaluateAndPropagate(1.0, CurrencyToDouble(root->Payoff), &pass);
  pass.Layout(root, border, border, root->Rect(htBox).Width);
}

void TTreeLayout::Invalidate() {
  FStamp = 0;
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
