// One node of a decision tree: identity, texts, type, probability and payoff,
// decision properties, clone link, children, and the values every
// recalculation writes into it.
#pragma once

#include "foundation/PrivateArrayList.h"
#include "model/Currency.h"
#include "model/NodeBlock.h"
#include "model/NodeLayout.h"
#include "model/TreeContext.h"
#include "model/TreeTypes.h"

#include <array>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace bw {

class TCanvas;
class TDecTreeNode;
class IWorkbookOpener;
using TDecTreeNodeList = TPrivateArrayList<TDecTreeNode*>;
using TDecTreeNodeDynArray = std::vector<TDecTreeNode*>;

// Told of every node as the roll-back reaches it (its path values set) and
// as it leaves it (its values set), in pre-order: what must look at every
// node after every change (measuring) goes along with the roll-back instead
// of walking the tree again. index: the node's place among its parent's
// children (0 for the root).
class TRollBackObserver {
public:
  virtual void Enter(TDecTreeNode* node, int index) = 0;
  virtual void Leave(TDecTreeNode* node) = 0;

protected:
  ~TRollBackObserver() = default;
};

// The stored fields of a node, named, so that no caller can swap two
// adjacent flags by position.
struct TNodeFields {
  Guid Id{};
  std::string Caption{};
  std::string Comment{};
  TNodeType NodeType = ntDecision;
  TChanceType ChanceType = ctPercent;
  double Probability = 0;
  Currency Payoff = 0;
  Guid Ref{};
  bool ChildrenVisible = true;
  bool DecisionShowCaption = false;
  bool DecisionShowOwner = false;
  bool DecisionShowDueDate = false;
  bool DecisionShowFixed = false;
  bool DecisionMultiShowBudget = false;
  bool DecisionMultiShowInvestment = false;
  bool DecisionFixed = false;
  std::string DecisionCaption{};
  std::string DecisionOwner{};
  int DecisionMultiBudget = -1;
  TDateTime DecisionDueDate = 0;
  std::string PayoffSource{};
};

class TDecTreeNode {
public:
  TDecTreeNode(TTreeContext* tree, TDecTreeNode* parent, TNodeFields fields);
  // Every stored field in its fixed order.
  static std::unique_ptr<TDecTreeNode>
  Create(TTreeContext* tree, TDecTreeNode* parent, const Guid& id, std::string caption,
         std::string comment, TNodeType nodeType, TChanceType chanceType, double probability,
         Currency payoff, const Guid& ref, bool childrenVisible, bool decisionShowCaption,
         bool decisionShowOwner, bool decisionShowDueDate, bool decisionShowFixed,
         bool decisionMultiShowBudget, bool decisionMultiShowInvestment, bool decisionFixed,
         std::string decisionCaption, std::string decisionOwner, int decisionMultiBudget,
         TDateTime decisionDueDate, std::string payoffSource);
  TDecTreeNode(const TDecTreeNode&) = delete;
  TDecTreeNode& operator=(const TDecTreeNode&) = delete;
  virtual ~TDecTreeNode();

  // A node is made alone, or with `new (block) TDecTreeNode(...)` in a
  // block with the rest of its tree (model/NodeBlock.h); delete frees
  // either. In a block it starts on a cache line, and the fields lie so
  // that the roll-back reads the node's first two lines, the clone
  // synchronisation its first and third, the measuring its first four.
  static void* operator new(size_t size) { return TNodeBlock::Allocate(size, nullptr); }
  static void* operator new(size_t size, TNodeBlock& block) {
    return TNodeBlock::Allocate(size, &block);
  }
  static void operator delete(void* p, size_t size) noexcept { TNodeBlock::Free(p, size); }
  static void operator delete(void* p, TNodeBlock&) noexcept {
    TNodeBlock::Free(p, sizeof(TDecTreeNode));
  }

  // The fields the roll-back reads and writes come first, so that a
  // recalculation touches as few cache lines per node as possible.
  TDecTreeNodeList Children{32, true, true};
  TDecTreeNode* Parent = nullptr;
  double Probability = 0;
  Currency Payoff = 0;
  double Value = 0;           // computed
  double MinValue = 0;        // computed
  double MaxValue = 0;        // computed
  double PathProbability = 0; // computed
  double PathPayoff = 0;      // computed
  int DecisionMultiBudget = -1;
  TNodeType NodeType = ntDecision;
  TChanceType ChanceType = ctPercent;
  bool DecisionFixed = false;
  bool OnPath = false; // computed
  bool ChildrenVisible = true;
  bool DecisionShowCaption = false;
  bool DecisionShowOwner = false;
  bool DecisionShowDueDate = false;
  bool DecisionShowFixed = false;
  bool DecisionMultiShowBudget = false;
  bool DecisionMultiShowInvestment = false;
  Guid Id;
  // The master's id when the node is a clone. Set it through SetCloneMaster;
  // code that writes it directly calls RecountClones afterwards, so that the
  // tree's clone count stays right.
  Guid Ref;
  TTreeContext* Tree = nullptr;
  TDateTime DecisionDueDate = 0;

private:
  std::unique_ptr<TNodeLayout> FLayout;
  bool FCountedAsClone = false;

public:
  // Computed by layout.
  uint16_t PlacedElements = 0;
  std::string Caption;
  std::string Comment;
  std::string DecisionOwner;
  std::string DecisionCaption;
  std::string PayoffSource;
  // Computed by layout.
  TNodeRect Bounds;

  // The rectangle of each element of the drawn node, with what measuring
  // and layout keep between two recalculations. Held apart and made at the
  // first layout: undo snapshots and clone copies that are never laid out
  // stay small.
  TNodeRect& Rect(TNodeElementType type) { return LayoutState().Rects[type]; }
  const TNodeRect& Rect(TNodeElementType type) const {
    static const TNodeRect None;
    return FLayout ? FLayout->Rects[type] : None;
  }
  TNodeLayout& LayoutState() {
    if (!FLayout) FLayout = std::make_unique<TNodeLayout>();
    return *FLayout;
  }
  const TNodeLayout* LayoutStateIfAny() const { return FLayout.get(); }

  // Structure.
  int ChildCount() const { return Children.Count(); }
  TDecTreeNode* Child(int index) const { return Children.GetItem(index); }
  // Adds a node created for this parent and takes ownership of it.
  TDecTreeNode* AddChild(std::unique_ptr<TDecTreeNode> child);
  int IndexInParent() const;
  TDecTreeNode* GetRoot();

  // A deep copy of this subtree under NewParent (not added to its list).
  std::unique_ptr<TDecTreeNode> CopySubtree(TDecTreeNode* newParent, bool newIds,
                                            const TDecTreeNode* counterpart) const;

  // Queries on the subtree.
  TDecTreeNode* FindNodeById(const Guid& id);
  int GetLevel() const;
  int GetSubtreeDepth() const;
  std::string GetOutlineCode() const;
  void SetVisibleLevels(int levels);
  bool GetDecisionShowCaption() const { return DecisionShowCaption; }
  bool GetDecisionShowOwner() const { return IsDecisionType() && DecisionShowOwner; }
  bool GetDecisionShowDueDate() const { return IsDecisionType() && DecisionShowDueDate; }
  bool GetDecisionShowFixed() const { return IsDecisionType() && DecisionShowFixed; }
  bool GetDecisionMultiShowBudget() const {
    return NodeType == ntMultiDecision && DecisionMultiShowBudget;
  }
  bool GetDecisionMultiShowInvestment() const {
    return NodeType == ntMultiDecision && DecisionMultiShowInvestment;
  }
  void CollectNodes(TDecTreeNodeList& list);
  bool IsSelected() const;
  double GetProbabilitySum() const;
  Currency GetInvestment() const;
  bool IsOverdue() const;
  bool HasImportedPayoffs() const;
  // The payoff a "Import: " source reads now (round(value x 10000), ties to
  // even), with the reference's error text; any other source gives the
  // stored payoff. Stores nothing; failures of the reading raise.
  Currency ImportPayoff(std::string& errorText, IWorkbookOpener& opener) const;
  bool IsDecisionType() const { return NodeType == ntDecision || NodeType == ntMultiDecision; }

  // Roll-back, path values, options and optimisation.
  void Evaluate();
  void PropagatePath(double pathProbability, double pathPayoff);
  // Evaluate and then PropagatePath, in one walk over the tree: the
  // recalculation after every keystroke.
  void EvaluateAndPropagate(double pathProbability, double pathPayoff,
                            TRollBackObserver* observer = nullptr);
  std::pair<double, double> SolveMultiDecision(bool evaluateOnly);
  void TakeOption();
  void OptimizeDecisions();

  // Texts of the decision-property lines.
  void GetDecisionPropertyLines(std::vector<std::string>& lines) const;
  std::string GetDecisionCaptionText() const { return DecisionCaption; }
  std::string GetDecisionOwnerText() const { return DecisionOwner; }
  std::string GetBudgetText() const;
  std::string GetInvestmentText() const;
  std::string GetDueDateText() const;
  std::string GetModeText() const;
  // "TRUE"/"FALSE" under a decision, the number (and "%") under a chance node.
  std::string GetProbabilityText() const;
  // The texts at the end of a branch.
  std::string GetPathProbabilityText() const;
  std::string GetPathPayoffText() const;

  // Measuring and layout: element sizes of the whole subtree, collapsed parts
  // included; then positions of the shown part.
  void Measure(TCanvas& canvas);
  void Layout(int x, int y, int columnWidth, TCanvas& canvas);
  // Whether the last layout placed the element (lines not shown, and the
  // root's probability and payoff, keep a size but no place).
  bool IsPlaced(TNodeElementType type) const { return (PlacedElements >> type) & 1; }
  // The buttons are drawn, and can be hit, only on nodes with children. On a
  // clone the decision-property button is not drawn, but a click on its place
  // still hits it, so that it does nothing rather than select what is under it.
  bool HasButtons() const { return Children.Count() > 0; }
  // The node and element at a point of the drawing; children of collapsed
  // nodes are not visited.
  TNodeHit HitTest(int x, int y);

  // Clones.
  bool IsClone() const { return !Ref.IsEmpty(); }
  bool HasCloneAncestor() const;
  bool IsCloneOrInClone() const { return IsClone() || HasCloneAncestor(); }
  bool ContainsCloneOf(const Guid& id) const;
  bool HasClones();
  TDecTreeNode* GetMasterNode();
  void SyncClones();
  // The empty text on success, else the refusal.
  std::string SetCloneMaster(const Guid& masterId);
  // Brings the tree's clone count in line with the Ref of every node of
  // this subtree, after Ref was written directly (a reader repairing links,
  // a test).
  void RecountClones();

private:
  std::unique_ptr<TDecTreeNode> CopyInto(TNodeBlocks& blocks, TDecTreeNode* newParent, bool newIds,
                                         const TDecTreeNode* counterpart) const;
  template <bool WithPaths>
  void RollBack(double pathProbability, double pathPayoff, TRollBackObserver* observer, int index);
  void CombineChildren(double s);
  void OptimizeSubtree();
  void SyncClone(TDecTreeNode* master);
  // Counts or uncounts this node in its tree's clone count as Ref says.
  void UpdateCloneCount();
};

} // namespace bw
