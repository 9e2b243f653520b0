#include "control/DecTree.h"
#include "model/MultiOptionSolver.h"

#include "foundation/Conversions.h"
#include "model/NodeRect.h"
#include "model/UIStringsComponent.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <unordered_map>
#include <unordered_set>

namespace bw {

using namespace UIStringsComponent;

namespace {

constexpr TNodeElementType TabOrder[] = {htBox,
                                         htProbability,
                                         htPayoff,
                                         htIndicatorCaption,
                                         htIndicatorOwner,
                                         htIndicatorMultiBudget,
                                         htIndicatorMultiInvestment,
                                         htIndicatorDueDate,
                                         htIndicatorFixed};

// The payoff as the editor first shows it: the tree's decimals, rounded as
// the drawn money text rounds them, with the user's decimal separator and no
// symbol or grouping.
std::string FixedPayoffText(Currency payoff, const TTreeOptions& options,
                            const TMoneyLocale& locale) {
  TTreeOptions plain = options;
  plain.CurrencySymbol.clear();
  plain.CurrencyPosFormat = 0; // "1"
  plain.CurrencyNegFormat = 1; // "-1"
  TMoneyLocale ungrouped = locale;
  ungrouped.GroupSize = 0;
  return bw::FormatMoney(payoff, plain, ungrouped);
}

// A probability typed in place: the empty text is 0, and a number beyond
// what a payoff holds counts as none, as it does for payoffs.
bool ReadTypedProbability(std::string_view text, const TMoneyLocale& locale, double& value) {
  value = 0;
  Currency unused;
  return (TrimBlanks(text).empty() || TryTextToFloat(text, locale, "%", value)) &&
         TryDoubleToCurrency(value, unused);
}

// An amount typed in place, exactly: the empty text is 0.
bool ReadTypedMoney(std::string_view text, const TMoneyLocale& locale, std::string_view unit,
                    Currency& money) {
  money = 0;
  return TrimBlanks(text).empty() || TryTextToMoney(text, locale, unit, money);
}

} // namespace

TDecTree::TDecTree(ITreeView* view) : FView(view) {
  ResetDefaultFont();
  FTreeRoot = NewNode(nullptr, TNodeFields{.Id = Guid::NewGuid(),
                                           .Caption = Str(SRootCaption),
                                           .Comment = Str(SRootComment),
                                           .NodeType = ntDecision,
                                           .ChanceType = ctPercent,
                                           .Probability = 100,
                                           .ChildrenVisible = true,
                                           .DecisionMultiBudget = -1});
  Selection.Add(FTreeRoot->Id);
  SelectionElementType = htBox;
}

TDecTree::~TDecTree() = default;

std::unique_ptr<TDecTreeNode> TDecTree::NewNode(TDecTreeNode* parent, TNodeFields fields) {
  return std::make_unique<TDecTreeNode>(this, parent, std::move(fields));
}

std::unique_ptr<TDecTreeNode> TDecTree::ExchangeRoot(std::unique_ptr<TDecTreeNode> root) {
  HideInplaceEditor();
  FEditedNode = nullptr;
  FEditingNewNodes = false;
  std::swap(root, FTreeRoot);
  // A tree from outside (a file, the undo history) may have had links
  // repaired by writing Ref directly: count its clones afresh.
  if (FTreeRoot) FTreeRoot->RecountClones();
  return root;
}

void TDecTree::SetMinWidth(int value) {
  FMinWidth = value;
  int width = std::max(value, FTreeRoot->Bounds.Width);
  if (width != FWidth) {
    FWidth = width;
    if (FView) FView->SetControlSize(FWidth, FHeight);
  }
}

void TDecTree::SetMinHeight(int value) {
  FMinHeight = value;
  int height = std::max(value, FTreeRoot->Bounds.Height + 12);
  if (height != FHeight) {
    FHeight = height;
    if (FView) FView->SetControlSize(FWidth, FHeight);
  }
}

void TDecTree::SetVisibleLevels(int levels) {
  FTreeRoot->SetVisibleLevels(levels);
  Recalculate();
}

void TDecTree::SetSelectionElementType(TNodeElementType type) {
  SelectionElementType = type;
  if (FView) FView->Invalidate();
}

void TDecTree::Recalculate() {
  TDecTreeNode* root = FTreeRoot.get();
  root->OnPath = true;
  // Without clones there is nothing to rebuild. The count is this tree's:
  // a root made for another context is synchronised regardless.
  if (CloneCount() > 0 || root->Tree != this) root->SyncClones();
  if (FView) {
    // Measuring goes along with the roll-back: one walk over the tree.
    TCanvas& canvas = FView->MeasureCanvas();
    canvas.Font = {DefaultFont, colors::Black};
    FLayout.RollBackAndLayOut(root, canvas, BorderSize, *this);
  } else {
    root->EvaluateAndPropagate(1.0, CurrencyToDouble(root->Payoff));
  }
  FWidth = std::max(FMinWidth, root->Bounds.Width);
  FHeight = std::max(FMinHeight, root->Bounds.Height + 12);
  if (FView) {
    FView->SetControlSize(FWidth, FHeight);
    FView->RepaintNow();
  }
  if (OnCalculated) OnCalculated(*this);
}

std::unique_ptr<TDecTreeNodeList> TDecTree::GetAllNodes() const {
  auto list = std::make_unique<TDecTreeNodeList>(32, true, true);
  list->SetOwnsObjects(false);
  FTreeRoot->CollectNodes(*list);
  return list;
}

void TDecTree::SelectElement(TNodeHit hit, TSelectMode mode) {
  if (hit.ElementType == htPlusMinus || hit.ElementType == htRollUpDown) return;
  switch (mode) {
  case smReplace:
    Selection.Clear();
    if (hit.Node) {
      SelectionElementType = hit.ElementType;
      Selection.Add(hit.Node->Id);
    }
    break;
  case smToggle:
    if (!hit.Node) break;
    if (hit.ElementType != SelectionElementType) {
      Selection.Clear();
      Selection.Add(hit.Node->Id);
      SelectionElementType = hit.ElementType;
    } else if (Selection.Contains(hit.Node->Id)) {
      Selection.Remove(hit.Node->Id, false);
    } else {
      Selection.Add(hit.Node->Id);
    }
    break;
  case smKeep:
    if (!hit.Node) {
      Selection.Clear();
    } else if (hit.ElementType != SelectionElementType || !Selection.Contains(hit.Node->Id)) {
      Selection.Clear();
      Selection.Add(hit.Node->Id);
      SelectionElementType = hit.ElementType;
    }
    break;
  }
  if (FView) FView->Invalidate();
}

void TDecTree::SelectNode(TDecTreeNode* node, TNodeElementType type) {
  Selection.Clear();
  Selection.Add(node->Id);
  SelectionElementType = type;
}

TDecTreeNodeDynArray TDecTree::GetSelectedNodes() const {
  TDecTreeNodeDynArray nodes;
  if (Selection.Count() <= 4) {
    for (const Guid& id : Selection)
      if (TDecTreeNode* n = FTreeRoot->FindNodeById(id)) nodes.push_back(n);
    return nodes;
  }
  // Many ids: one walk finds them all (the first node of an id, as a search
  // from the root would).
  std::unordered_map<Guid, TDecTreeNode*, GuidHash> found;
  for (const Guid& id : Selection)
    found.emplace(id, nullptr);
  std::vector<TDecTreeNode*> stack{FTreeRoot.get()};
  while (!stack.empty()) {
    TDecTreeNode* n = stack.back();
    stack.pop_back();
    auto it = found.find(n->Id);
    if (it != found.end() && !it->second) it->second = n;
    for (int i = n->ChildCount() - 1; i >= 0; --i)
      stack.push_back(n->Child(i));
  }
  for (const Guid& id : Selection)
    if (TDecTreeNode* n = found[id]) nodes.push_back(n);
  return nodes;
}

TNodeHit TDecTree::HitTest(int x, int y) const {
  return FTreeRoot->HitTest(x, y);
}

void TDecTree::ResetDefaultFont() {
  DefaultFont = TFontSpec{"Verdana", 8, 0};
}

void TDecTree::DoSaveUndo(const std::string& undoMessage) {
  if (OnSaveUndo) OnSaveUndo(*this, undoMessage);
}

void TDecTree::PaintTo(TCanvas& canvas, bool onScreen) {
  std::unique_ptr<TTreePainter> painter = PainterClass(canvas, onScreen);
  painter->PaintNode(FTreeRoot.get());
}

// ---- Editing -------------------------------------------------------------

bool TDecTree::CanDeleteSelection() const {
  TDecTreeNodeDynArray nodes = GetSelectedNodes();
  if (nodes.empty()) return false;
  for (const TDecTreeNode* n : nodes)
    if (!n->Parent || n->IsCloneOrInClone()) return false;
  return true;
}

bool TDecTree::CanEditSelection() const {
  TDecTreeNodeDynArray nodes = GetSelectedNodes();
  if (nodes.empty()) return false;
  bool inClone = false, anyClone = false, allOptions = true;
  for (const TDecTreeNode* n : nodes) {
    inClone |= n->HasCloneAncestor();
    anyClone |= n->IsClone();
    if (n->Parent && n->Parent->NodeType == ntChance) allOptions = false;
  }
  switch (SelectionElementType) {
  case htBox:
  case htPayoff:
    return !inClone;
  case htProbability:
    return allOptions || !inClone;
  case htIndicatorCaption:
  case htIndicatorOwner:
  case htIndicatorMultiBudget:
  case htIndicatorDueDate:
  case htIndicatorFixed:
    return !anyClone && !inClone;
  default:
    return false;
  }
}

bool TDecTree::IsApplicable(TNodeElementType type) const {
  for (const TDecTreeNode* n : GetSelectedNodes()) {
    switch (type) {
    case htBox:
      break;
    case htProbability:
    case htPayoff:
      if (!n->Parent) return false;
      break;
    case htIndicatorCaption:
      if (!n->GetDecisionShowCaption()) return false;
      break;
    case htIndicatorOwner:
      if (!n->GetDecisionShowOwner()) return false;
      break;
    case htIndicatorMultiBudget:
      if (!n->GetDecisionMultiShowBudget()) return false;
      break;
    case htIndicatorMultiInvestment:
      if (!n->GetDecisionMultiShowInvestment()) return false;
      break;
    case htIndicatorDueDate:
      if (!n->GetDecisionShowDueDate()) return false;
      break;
    case htIndicatorFixed:
      if (!n->GetDecisionShowFixed()) return false;
      break;
    default:
      return false;
    }
  }
  return true;
}

int TDecTree::EditorLabelWidth(TNodeElementType type) {
  TCanvas& canvas = FView->MeasureCanvas();
  canvas.Font = {DefaultFont, colors::Black};
  switch (type) {
  case htBox:
    return canvas.TextWidth(FEditedNode->GetOutlineCode());
  case htIndicatorCaption:
    return canvas.TextWidth(Str(SLabelCaption));
  case htIndicatorOwner:
    return canvas.TextWidth(Str(SLabelOwner));
  case htIndicatorMultiBudget:
    return canvas.TextWidth(Str(SLabelBudget));
  case htIndicatorDueDate:
    return canvas.TextWidth(Str(SLabelDueDate));
  case htIndicatorFixed:
    return canvas.TextWidth(Str(SLabelMode));
  default:
    return 0;
  }
}

void TDecTree::StartInplaceEdit(TDecTreeNode* node, TNodeElementType type, int undoMessage) {
  DoSaveUndo(Str(undoMessage));
  FEditedNode = node;
  switch (type) {
  case htBox:
    FSavedCaption = node->Caption;
    break;
  case htProbability:
    FSavedProbability = node->Probability;
    break;
  case htPayoff:
    FSavedPayoff = node->Payoff;
    break;
  case htIndicatorCaption:
    FSavedDecisionCaption = node->DecisionCaption;
    break;
  case htIndicatorOwner:
    FSavedDecisionOwner = node->DecisionOwner;
    break;
  case htIndicatorMultiBudget:
    FSavedBudget = node->DecisionMultiBudget;
    break;
  default:
    break;
  }
  if (!FView) return;
  HideInplaceEditor();
  FEditedElement = type;
  const int w = EditorLabelWidth(type);
  TNodeRect rect;
  std::string text;
  switch (type) {
  case htBox: {
    const TNodeRect& box = node->Rect(htBox);
    rect = {box.Left + 6 + w, box.Top + 6, box.Width - 10 - w, box.Height - 12};
    text = node->Caption;
    break;
  }
  case htProbability:
    rect = node->Rect(htProbability);
    text = FloatText(node->Probability);
    break;
  case htPayoff:
    rect = node->Rect(htPayoff);
    text = FixedPayoffText(node->Payoff, Options, Locale);
    break;
  default: {
    const TNodeRect& line = node->Rect(type);
    rect = {line.Left + w, line.Top, line.Width - w + 2, line.Height};
    if (type == htIndicatorCaption)
      text = node->DecisionCaption;
    else if (type == htIndicatorOwner)
      text = node->DecisionOwner;
    else if (node->DecisionMultiBudget != -1)
      text = std::to_string(node->DecisionMultiBudget);
    break;
  }
  }
  FView->ScrollIntoView(rect);
  FView->ShowEditor(rect, text);
}

bool TDecTree::EditElement(bool advanced, int index) {
  if (!CanEditSelection()) return false;
  TDecTreeNodeDynArray nodes = GetSelectedNodes();
  if (nodes.empty()) return false;
  TDecTreeNode* n =
      index < static_cast<int>(nodes.size()) ? nodes[static_cast<size_t>(index)] : nodes[0];
  FEditingNewNodes = false;
  switch (SelectionElementType) {
  case htBox:
    StartInplaceEdit(n, htBox, SUndoEditTitle);
    return true;
  case htProbability:
    if (!n->Parent) return false;
    if (n->Parent->IsDecisionType()) {
      if (n->Parent->DecisionFixed && n->Probability == 0 &&
          !(FView && FView->AskYesNo(Str(SAskTakeFixedOption))))
        return false;
      DoSaveUndo(Str(SUndoTakeOption));
      n->TakeOption();
      Recalculate();
      return false;
    }
    StartInplaceEdit(n, htProbability, SUndoEditProbability);
    return true;
  case htPayoff:
    if (!n->Parent) return false;
    if (advanced || !n->PayoffSource.empty()) {
      if (OnAdvancedEdit) OnAdvancedEdit(*this, n, htPayoff);
      return false;
    }
    StartInplaceEdit(n, htPayoff, SUndoEditPayoff);
    return true;
  case htIndicatorCaption:
    StartInplaceEdit(n, htIndicatorCaption, SUndoEditCaption);
    return true;
  case htIndicatorOwner:
    StartInplaceEdit(n, htIndicatorOwner, SUndoEditOwner);
    return true;
  case htIndicatorMultiBudget:
    StartInplaceEdit(n, htIndicatorMultiBudget, SUndoEditBudget);
    return true;
  case htIndicatorDueDate: {
    // The step is taken before the dialog: a cancelled dialog leaves it.
    DoSaveUndo(Str(SUndoEditDueDate));
    const TNodeRect& indicator = n->Rect(htIndicator);
    TDateTime date = n->DecisionDueDate;
    if (FView && FView->ExecuteDueDateDialog(indicator.Left, NodeRectBottom(indicator), date)) {
      n->DecisionDueDate = date;
      Recalculate();
    }
    return false;
  }
  case htIndicatorFixed:
    DoSaveUndo(Str(SUndoToggleMode));
    n->DecisionFixed = !n->DecisionFixed;
    Recalculate();
    return false;
  default:
    return false;
  }
}

bool TDecTree::ApplyEditorText(const std::string& text) {
  TDecTreeNode* n = FEditedNode;
  switch (FEditedElement) {
  case htBox:
    n->Caption = text;
    break;
  case htProbability: {
    double probability;
    if (!ReadTypedProbability(text, Locale, probability)) return false;
    n->Probability = probability;
    break;
  }
  case htPayoff: {
    // With or without the tree's currency symbol.
    Currency payoff;
    if (!ReadTypedMoney(text, Locale, Options.CurrencySymbol, payoff)) return false;
    n->Payoff = payoff;
    break;
  }
  case htIndicatorCaption:
    n->DecisionCaption = text;
    break;
  case htIndicatorOwner:
    n->DecisionOwner = text;
    break;
  case htIndicatorMultiBudget: {
    // Whole currency units, as typed: "1000.00004" is no budget, though it
    // rounds to a whole amount. The empty text is no limit.
    Currency budget = -10000;
    if (!TrimBlanks(text).empty() &&
        !(TryTextToWholeMoney(text, Locale, Options.CurrencySymbol, budget) &&
          budget / 10000 >= INT32_MIN && budget / 10000 <= INT32_MAX))
      return false;
    n->DecisionMultiBudget = static_cast<int>(budget / 10000);
    break;
  }
  default:
    break;
  }
  return true;
}

void TDecTree::SetEditorInvalid(bool invalid) {
  if (invalid == FEditorInvalid) return;
  FEditorInvalid = invalid;
  FView->SetEditorError(invalid ? Str(SInvalidNumber) : std::string());
}

void TDecTree::FollowEditor(const std::string& text) {
  const TDecTreeNode* n = FEditedNode;
  const int w = EditorLabelWidth(FEditedElement);
  // A number's editor is as wide as the typed text, which may be wider than
  // the value drawn (a refused text, or one with a symbol and groups), up
  // to the control's width; never narrower than the value.
  auto fit = [&](int width) {
    return std::max(width, std::min(FView->MeasureCanvas().TextWidth(text) + 4, FWidth));
  };
  switch (FEditedElement) {
  case htBox: {
    const TNodeRect& box = n->Rect(htBox);
    FView->PlaceEditor(box.Left + 6 + w, box.Top + 6, box.Width - 10 - w);
    break;
  }
  case htProbability:
  case htPayoff: {
    // Both are right-aligned before the indicator: the editor grows leftwards.
    const TNodeRect& r = n->Rect(FEditedElement);
    const int width = fit(r.Width);
    FView->PlaceEditor(std::max(0, NodeRectRight(r) - width), r.Top, width);
    break;
  }
  default: {
    const TNodeRect& line = n->Rect(FEditedElement);
    const int width = line.Width - w;
    FView->PlaceEditor(line.Left + w, line.Top,
                       FEditedElement == htIndicatorMultiBudget ? fit(width) : width);
    break;
  }
  }
}

void TDecTree::InplaceEditChange(const std::string& text) {
  if (!FEditedNode || !FView) return;
  if (FEditedElement == htBox || FEditedElement == htIndicatorCaption ||
      FEditedElement == htIndicatorOwner) {
    TCanvas& canvas = FView->MeasureCanvas();
    canvas.Font = {DefaultFont, colors::Black};
    FView->SetEditorWidth(canvas.TextWidth(text) + 4);
  }
  // Text that is no number leaves the node as it was when the edit began,
  // not as the last number typed on the way: that is what is drawn and
  // rolled back, and what stays when the edit ends.
  const bool taken = ApplyEditorText(text);
  SetEditorInvalid(!taken);
  if (taken || RestoreSavedValue()) Recalculate();
  FollowEditor(text);
}

bool TDecTree::RestoreSavedValue() {
  TDecTreeNode* n = FEditedNode;
  auto restore = [](auto& field, const auto& saved) {
    if (field == saved) return false;
    field = saved;
    return true;
  };
  switch (FEditedElement) {
  case htBox:
    return restore(n->Caption, FSavedCaption);
  case htProbability:
    return restore(n->Probability, FSavedProbability);
  case htPayoff:
    return restore(n->Payoff, FSavedPayoff);
  case htIndicatorCaption:
    return restore(n->DecisionCaption, FSavedDecisionCaption);
  case htIndicatorOwner:
    return restore(n->DecisionOwner, FSavedDecisionOwner);
  case htIndicatorMultiBudget:
    return restore(n->DecisionMultiBudget, FSavedBudget);
  default:
    return false;
  }
}

void TDecTree::DeleteNode(TDecTreeNode* node) {
  TDecTreeNode* parent = node->Parent;
  parent->Children.Delete(node->IndexInParent());
}

bool TDecTree::InplaceEditKeyDown(TKey key, TShiftState shift) {
  if (!FEditedNode) return false;
  TDecTreeNode* edited = FEditedNode;
  auto firstOfTwo = [](const TDecTreeNode* n) {
    return n->Parent && n->Parent->ChildCount() == 2 && n->Parent->Child(0) == n;
  };
  if (key == TKey::Enter) {
    if (FEditorInvalid) return true;
    FView->HideEditor();
    if (FEditingNewNodes && firstOfTwo(edited)) {
      SelectNode(edited->Parent->Child(1), SelectionElementType);
      EditElement(false, 0);
      FView->Invalidate();
      return true;
    }
    const TNodeElementType type = SelectionElementType;
    if (shift.Ctrl &&
        (type == htBox || type == htProbability || type == htPayoff || type == htIndicatorCaption ||
         type == htIndicatorOwner || type == htIndicatorMultiBudget)) {
      for (TDecTreeNode* n : GetSelectedNodes()) {
        if (n == edited || n->IsCloneOrInClone()) continue;
        switch (type) {
        case htBox:
          n->Caption = edited->Caption;
          break;
        case htProbability:
          // Only chance branches take a typed probability: an option's 0 or
          // 100 says whether it is taken.
          if (n->Parent && n->Parent->NodeType == ntChance) n->Probability = edited->Probability;
          break;
        case htPayoff:
          // Imported and income-minus-cost payoffs keep their source.
          if (n->Parent && n->PayoffSource.empty()) n->Payoff = edited->Payoff;
          break;
        case htIndicatorCaption:
          n->DecisionCaption = edited->DecisionCaption;
          break;
        case htIndicatorOwner:
          n->DecisionOwner = edited->DecisionOwner;
          break;
        default:
          n->DecisionMultiBudget = edited->DecisionMultiBudget;
          break;
        }
      }
      Recalculate();
      return true;
    }
    TDecTreeNodeDynArray nodes = GetSelectedNodes();
    auto it = std::find(nodes.begin(), nodes.end(), edited);
    if (it != nodes.end() && it + 1 != nodes.end())
      EditElement(false, static_cast<int>(it - nodes.begin()) + 1);
    FView->Invalidate();
    return true;
  }
  if (key == TKey::Escape) {
    if (FEditingNewNodes) {
      TDecTreeNode* parent = edited->Parent;
      if (firstOfTwo(edited)) DeleteNode(parent->Child(1));
      DeleteNode(edited);
      FEditedNode = nullptr;
      FEditingNewNodes = false;
      SelectNode(parent, SelectionElementType);
    } else {
      RestoreSavedValue();
    }
    SetEditorInvalid(false);
    FView->HideEditor();
    Recalculate();
    return true;
  }
  return false;
}

void TDecTree::HideInplaceEditor() {
  if (!FView) return;
  // Every way an edit ends but Enter and Esc comes here. A valid text was
  // applied at its last keystroke and stays. A text that is no number left
  // the node as the edit found it (InplaceEditChange): the edit is taken
  // back, as Esc takes it back, and the status bar says so in place of the
  // editor's error.
  const bool takenBack = FEditorInvalid;
  SetEditorInvalid(false);
  if (FView->EditorVisible()) FView->HideEditor();
  if (takenBack) FView->ShowStatus(Str(SEditTakenBack));
}

void TDecTree::AddSubnodes(bool toParent) {
  TDecTreeNodeDynArray nodes = GetSelectedNodes();
  if (nodes.size() != 1) return;
  TDecTreeNode* p = nodes[0];
  if (toParent && p->Parent) p = p->Parent;
  if (p->IsCloneOrInClone()) return;
  DoSaveUndo(Str(SUndoAddSubnodes));
  const int count = p->ChildCount() == 0 ? 2 : 1;
  TDecTreeNode* first = nullptr;
  for (int i = 0; i < count; ++i) {
    auto child = NewNode(p, TNodeFields{.Id = Guid::NewGuid(),
                                        .NodeType = ntDecision,
                                        .ChanceType = ctPercent,
                                        .Probability = p->ChildCount() == 0 ? 100.0 : 0.0,
                                        .ChildrenVisible = true,
                                        .DecisionMultiBudget = -1});
    p->ChildrenVisible = true;
    TDecTreeNode* added = p->AddChild(std::move(child));
    if (!first) first = added;
    Recalculate();
  }
  SelectNode(first, htBox);
  if (FView) FView->Invalidate();
  EditElement(false, 0);
  FEditingNewNodes = true;
}

void TDecTree::DeleteSelectedNodes(bool confirm) {
  if (!CanDeleteSelection()) return;
  TDecTreeNodeDynArray nodes = GetSelectedNodes();
  for (TDecTreeNode* n : nodes)
    if (n->HasClones()) {
      if (confirm && FView) FView->ShowInformation(Str(SCannotDeleteMaster));
      return;
    }
  if (confirm && !(FView && FView->AskYesNo(Str(SAskDeleteNodes)))) return;
  DoSaveUndo(Str(SUndoRemove));
  // Ids, not nodes: a node deleted with an ancestor earlier in the loop is
  // simply not found again.
  std::vector<Guid> ids;
  for (TDecTreeNode* n : nodes)
    ids.push_back(n->Id);
  Guid noted;
  int notedLevel = INT32_MAX;
  for (const Guid& id : ids) {
    TDecTreeNode* n = FTreeRoot->FindNodeById(id);
    if (!n || !n->Parent) continue;
    TDecTreeNode* parent = n->Parent;
    if (int level = parent->GetLevel(); level < notedLevel) {
      notedLevel = level;
      noted = parent->Id;
    }
    DeleteNode(n);
    if (parent->ChildCount() > 0) {
      double sum = 0;
      for (const TDecTreeNode* c : parent->Children)
        sum += c->Probability;
      if (sum == 0) parent->Child(0)->Probability = 100;
    }
    Selection.Clear();
    Selection.Add(noted);
  }
  Recalculate();
}

void TDecTree::ShowPropertyMenu(TDecTreeNode* node) {
  FPopupNode = node->Id;
  const bool multi = node->NodeType == ntMultiDecision;
  const bool notChance = node->NodeType != ntChance;
  std::vector<TPropertyMenuItem> items = {
      {"butPopName", Str(SMenuShowCaption), node->GetDecisionShowCaption(), true},
      {"butPopBudget", Str(SMenuShowBudget), node->GetDecisionMultiShowBudget(), multi},
      {"butPopInvestment", Str(SMenuShowInvestment), node->GetDecisionMultiShowInvestment(), multi},
      {"butPopOwner", Str(SMenuShowOwner), node->GetDecisionShowOwner(), notChance},
      {"butPopDueDate", Str(SMenuShowDueDate), node->GetDecisionShowDueDate(), notChance},
      {"butPopFixed", Str(SMenuShowMode), node->GetDecisionShowFixed(), notChance},
      {"butPopSep", "-", false, true},
      {"butPopShowAll", Str(SMenuShowAll), false, true},
      {"butPopHideAll", Str(SMenuHideAll), false, true}};
  const TNodeRect& button = node->Rect(htRollUpDown);
  if (FView) FView->ShowDecisionPropertyMenu(items, button.Left, NodeRectBottom(button));
}

void TDecTree::PopupItemClick(const std::string& name) {
  // The node is looked up by id: an undo may have replaced the tree since.
  TDecTreeNode* n = FTreeRoot->FindNodeById(FPopupNode);
  if (!n) return;
  if (OnBeforeShowDecisionProperty) OnBeforeShowDecisionProperty(*this);
  if (name == "butPopName")
    n->DecisionShowCaption = !n->GetDecisionShowCaption();
  else if (name == "butPopBudget")
    n->DecisionMultiShowBudget = !n->GetDecisionMultiShowBudget();
  else if (name == "butPopInvestment")
    n->DecisionMultiShowInvestment = !n->GetDecisionMultiShowInvestment();
  else if (name == "butPopOwner")
    n->DecisionShowOwner = !n->GetDecisionShowOwner();
  else if (name == "butPopDueDate")
    n->DecisionShowDueDate = !n->GetDecisionShowDueDate();
  else if (name == "butPopFixed")
    n->DecisionShowFixed = !n->GetDecisionShowFixed();
  else if (name == "butPopShowAll" || name == "butPopHideAll") {
    const bool on = name == "butPopShowAll";
    n->DecisionShowCaption = n->DecisionShowOwner = n->DecisionShowDueDate = on;
    n->DecisionShowFixed = n->DecisionMultiShowBudget = n->DecisionMultiShowInvestment = on;
  }
  Recalculate();
}

// ---- Keyboard ------------------------------------------------------------

void TDecTree::MoveSelection(TKey key) {
  TDecTreeNodeDynArray nodes = GetSelectedNodes();
  if (nodes.empty()) {
    Selection.Clear();
    Selection.Add(FTreeRoot->Id);
  } else {
    TDecTreeNode* n = nodes[0];
    TDecTreeNode* target = nullptr;
    const int index = n->IndexInParent();
    switch (key) {
    case TKey::Left:
      target = n->Parent;
      break;
    case TKey::Right:
      target = n->ChildCount() > 0 ? n->Child(0) : nullptr;
      break;
    case TKey::Up:
      target = index > 0 ? n->Parent->Child(index - 1) : nullptr;
      break;
    case TKey::Down:
      target =
          n->Parent && index + 1 < n->Parent->ChildCount() ? n->Parent->Child(index + 1) : nullptr;
      break;
    default:
      break;
    }
    if (target) {
      Selection.Clear();
      Selection.Add(target->Id);
    }
  }
  ScrollSelectionIntoView();
  if (FView) FView->Invalidate();
}

void TDecTree::ScrollSelectionIntoView() {
  TDecTreeNodeDynArray nodes = GetSelectedNodes();
  if (!FView || nodes.empty()) return;
  const TDecTreeNode* n = nodes[0];
  if (n->IsPlaced(SelectionElementType))
    FView->ScrollIntoView(n->Rect(SelectionElementType));
  else if (n->IsPlaced(htBox))
    FView->ScrollIntoView(n->Rect(htBox));
}

bool TDecTree::KeyDown(TKey key, TShiftState shift) {
  switch (key) {
  case TKey::Tab: {
    const auto* begin = std::begin(TabOrder);
    const auto* end = std::end(TabOrder);
    const auto* current = std::find(begin, end, SelectionElementType);
    TNodeElementType next = htBox;
    if (current != end) {
      const int n = static_cast<int>(end - begin);
      const int step = shift.Shift ? n - 1 : 1;
      int i = static_cast<int>(current - begin);
      do {
        i = (i + step) % n;
      } while (!IsApplicable(TabOrder[i]));
      next = TabOrder[i];
    }
    SelectionElementType = next;
    ScrollSelectionIntoView();
    if (FView) FView->Invalidate();
    return true;
  }
  case TKey::Enter:
  case TKey::F2:
    EditElement(false, 0);
    return true;
  case TKey::Left:
  case TKey::Right:
  case TKey::Up:
  case TKey::Down:
    MoveSelection(key);
    return true;
  case TKey::Insert:
    AddSubnodes(shift.Shift);
    return true;
  case TKey::Delete:
    DeleteSelectedNodes(true);
    return true;
  case TKey::Menu:
    ContextMenuFromKeyboard();
    return true;
  case TKey::F10:
    if (!shift.Shift) return false;
    ContextMenuFromKeyboard();
    return true;
  default:
    return false;
  }
}

void TDecTree::KeyPress(const std::string& text) {
  if (text.empty() || static_cast<unsigned char>(text[0]) < 32) return;
  if (EditElement(false, 0) && FView) {
    FView->SetEditorText(text);
    // Typing over a selected element replaces its value at once.
    InplaceEditChange(text);
  }
}

// ---- Mouse ---------------------------------------------------------------

void TDecTree::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  TNodeHit hit = HitTest(x, y);
  if (button == TMouseButton::Left) {
    FBandAdditive = shift.Ctrl;
    HideInplaceEditor();
    if (!shift.Ctrl) SelectElement(hit, smReplace);
    if (!hit.Node) {
      FBandStartSelection.Clear();
      FBandStartSelection.AddAll(Selection);
      FBandActive = true;
      FBandStart = FBandEnd = {x, y};
      if (FView) FView->BeginBand();
    } else if (hit.ElementType == htPlusMinus) {
      if (OnBeforeExpandCollapse) OnBeforeExpandCollapse(*this);
      hit.Node->ChildrenVisible = !hit.Node->ChildrenVisible;
      Recalculate();
    } else if (hit.ElementType == htRollUpDown) {
      if (!hit.Node->IsCloneOrInClone()) ShowPropertyMenu(hit.Node);
    }
  } else if (button == TMouseButton::Right) {
    HideInplaceEditor();
    SelectElement(hit, smKeep);
    if (FBandActive) {
      FBandActive = false;
      if (FView) FView->Invalidate();
    }
  }
}

TRect TDecTree::GetRubberBandRect() const {
  return {std::max(0, std::min(FBandStart.X, FBandEnd.X)),
          std::max(0, std::min(FBandStart.Y, FBandEnd.Y)),
          std::min(FWidth - 1, std::max(FBandStart.X, FBandEnd.X)),
          std::min(FHeight - 1, std::max(FBandStart.Y, FBandEnd.Y))};
}

void TDecTree::UpdateBand(int x, int y) {
  FBandEnd = {x, y};
  const TRect r = GetRubberBandRect();
  const TNodeRect band = RectToNodeRect(r.Left, r.Top, r.Right, r.Bottom);
  const TNodeElementType type = SelectionElementType;
  // Membership through a set: a band over thousands of nodes must keep up
  // with the mouse.
  std::vector<Guid> order;
  std::unordered_set<Guid, GuidHash> members;
  if (FBandAdditive)
    for (const Guid& id : FBandStartSelection)
      if (members.insert(id).second) order.push_back(id);
  std::vector<TDecTreeNode*> stack{FTreeRoot.get()};
  while (!stack.empty()) {
    TDecTreeNode* n = stack.back();
    stack.pop_back();
    // Only what layout placed can be banded; hidden children are skipped.
    if (n->IsPlaced(type) && NodeRectsOverlap(n->Rect(type), band)) {
      if (members.insert(n->Id).second)
        order.push_back(n->Id);
      else if (FBandAdditive)
        members.erase(n->Id);
    }
    if (n->ChildrenVisible)
      for (int i = n->ChildCount() - 1; i >= 0; --i)
        stack.push_back(n->Child(i));
  }
  bool changed = static_cast<size_t>(Selection.Count()) != members.size();
  if (!changed)
    for (const Guid& id : Selection)
      if (!members.count(id)) {
        changed = true;
        break;
      }
  if (changed) {
    Selection.Clear();
    for (const Guid& id : order)
      if (members.count(id)) Selection.Add(id);
    if (FView) FView->RepaintNow();
  }
  if (FView) FView->DrawBandFrame();
}

std::string TDecTree::HintAt(int x, int y) {
  TNodeHit hit = HitTest(x, y);
  std::string h;
  TDecTreeNode* n = hit.Node;
  if (!n) return h;
  switch (hit.ElementType) {
  case htBox:
    h = n->Comment;
    break;
  case htIndicator:
    // The painter's test: a sum within 0.0001 of 100 is drawn grey.
    if (n->NodeType == ntChance && n->ChanceType == ctPercent && n->ChildCount() > 0 &&
        !SameFloat(100, n->GetProbabilitySum()))
      h = Str(SProbabilitiesNot100);
    else if (n->NodeType == ntMultiDecision && n->DecisionMultiBudget != -1) {
      if (ExceedsSolverBound(*n)) h = Str(STooManyOptions);
      Currency budget = static_cast<Currency>(n->DecisionMultiBudget) * 10000;
      Currency investment = n->GetInvestment();
      // A budget typed below zero can push the excess past the range.
      if (investment > budget)
        h += (h.empty() ? "" : "\n") + Str(SBudgetExceededBy) +
             FormatMoney(budget < 0 && investment > INT64_MAX + budget ? INT64_MAX
                                                                       : investment - budget);
    }
    if (n->IsOverdue()) {
      if (!h.empty()) h += '\n';
      h += Str(SDecisionOverdue);
    }
    break;
  case htProbability:
    if (n->Parent) h = Str(n->Parent->NodeType == ntChance ? SHintProbability : SHintOptionTaken);
    break;
  case htPayoff:
    h = Str(SHintPayoff);
    break;
  default:
    break;
  }
  if (n->IsCloneOrInClone()) h = Str(SLinkedNode) + (h.empty() ? "" : "\n" + h);
  return h;
}

void TDecTree::MouseMove(TShiftState, int x, int y) {
  if (FBandActive) {
    UpdateBand(x, y);
    return;
  }
  std::string h = HintAt(x, y);
  if (h != FHint) {
    FHint = h;
    if (FView) FView->SetHint(h);
  }
}

void TDecTree::MouseLeave() {
  if (FHint.empty()) return;
  FHint.clear();
  if (FView) FView->SetHint(FHint);
}

void TDecTree::MouseUp(TMouseButton button, TShiftState, int x, int y) {
  if (button != TMouseButton::Left) return;
  if (FBandActive) {
    FBandActive = false;
    if (FView) FView->Invalidate();
  }
  if (FBandAdditive) SelectElement(HitTest(x, y), smToggle);
}

void TDecTree::DblClick(int, int) {
  FBandActive = false;
  EditElement(false, 0);
}

void TDecTree::ContextMenuFromKeyboard() {
  if (!FView || !FView->HasFocus()) return;
  int x = 0, y = 0, bottom = INT32_MIN;
  for (const TDecTreeNode* n : GetSelectedNodes()) {
    const TNodeRect& r = n->Rect(SelectionElementType);
    if (NodeRectBottom(r) > bottom) {
      bottom = NodeRectBottom(r);
      x = r.Left;
      y = bottom;
    }
  }
  FView->ShowPopupMenu(x, y);
}

} // namespace bw
