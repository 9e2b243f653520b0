// The tree control, without its window: it owns the root, the selection, the
// display options and the editing state, recalculates after every change,
// hit-tests, edits and fires the control's events. A view (the Qt widget, or
// a fake in tests) shows it and turns mouse and keys into calls here.
#pragma once

#include "canvas/Canvas.h"
#include "control/TreeLayout.h"
#include "control/TreePainter.h"
#include "model/DecTreeNode.h"
#include "model/TreeContext.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace bw {

enum TSelectMode { smReplace = 0, smToggle = 1, smKeep = 2 };

enum class TMouseButton { Left, Right, Middle };

struct TShiftState {
  bool Shift = false;
  bool Ctrl = false;
  bool Alt = false;
};

// The keys the control acts on; the view maps the platform's keys to these.
enum class TKey { Other, Tab, Enter, F2, F10, Left, Right, Up, Down, Insert, Delete, Escape, Menu };

// One item of the decision-property menu.
struct TPropertyMenuItem {
  std::string Name;
  std::string Caption; // "-" for a separator
  bool Checked = false;
  bool Enabled = true;
};

// What the control needs of its window.
class ITreeView {
public:
  virtual ~ITreeView() = default;
  // A canvas on the control's own device, for measuring.
  virtual TCanvas& MeasureCanvas() = 0;
  virtual void SetControlSize(int width, int height) = 0;
  // Paint at once, or later.
  virtual void RepaintNow() = 0;
  virtual void Invalidate() = 0;
  virtual bool HasFocus() const = 0;

  // The in-place editor: shown at a rectangle with a text that is not
  // applied, all of it selected, the tree's font, the focus.
  virtual void ShowEditor(const TNodeRect& rect, const std::string& text) = 0;
  // Moves it, keeping its height; the caret is put back in view.
  virtual void PlaceEditor(int left, int top, int width) = 0;
  virtual void SetEditorWidth(int width) = 0;
  // Hides it and gives the focus back to the control.
  virtual void HideEditor() = 0;
  virtual bool EditorVisible() const = 0;
  // Replaces the text with one typed character, caret after it (not applied).
  virtual void SetEditorText(const std::string& text) = 0;
  // The editor's text was refused: shown as invalid, with the error in the
  // window's status bar. The empty error takes that back.
  virtual void SetEditorError(const std::string& error) = 0;
  // A message of the control in the window's status bar, until the next
  // one or the next hint.
  virtual void ShowStatus(const std::string& text) = 0;

  // Modal questions and notices.
  virtual bool AskYesNo(const std::string& question) = 0;
  virtual void ShowInformation(const std::string& text) = 0;
  // The due-date dialog at a point of the control; True on OK.
  virtual bool ExecuteDueDateDialog(int x, int y, TDateTime& date) = 0;
  // Menus opened at a point of the control.
  virtual void ShowDecisionPropertyMenu(const std::vector<TPropertyMenuItem>& items, int x,
                                        int y) = 0;
  virtual void ShowPopupMenu(int x, int y) = 0;
  virtual void SetHint(const std::string& hint) = 0;

  // Scrolls the window around the control so that the rectangle shows.
  virtual void ScrollIntoView(const TNodeRect& rect) = 0;

  // Rubber band: start with a white back buffer; draw one band frame.
  virtual void BeginBand() = 0;
  virtual void DrawBandFrame() = 0;
};

class TDecTree : public TTreeContext {
public:
  explicit TDecTree(ITreeView* view = nullptr);
  ~TDecTree() override;

  void SetView(ITreeView* view) { FView = view; }
  ITreeView* View() const { return FView; }

  // The root. Exchanging it hands the previous one back; nothing is freed.
  TDecTreeNode* TreeRoot() const { return FTreeRoot.get(); }
  std::unique_ptr<TDecTreeNode> ExchangeRoot(std::unique_ptr<TDecTreeNode> root);
  // A node created for this tree, with the control as its tree.
  std::unique_ptr<TDecTreeNode> NewNode(TDecTreeNode* parent, TNodeFields fields);

  // Events.
  std::function<void(TDecTree& sender, const std::string& undoMessage)> OnSaveUndo;
  std::function<void(TDecTree& sender, TDecTreeNode* node, TNodeElementType type)> OnAdvancedEdit;
  std::function<void(TDecTree& sender)> OnBeforeExpandCollapse;
  std::function<void(TDecTree& sender)> OnBeforeShowDecisionProperty;
  std::function<void(TDecTree& sender)> OnCalculated;

  // Properties.
  int BorderSize = 10;
  int MinWidth() const { return FMinWidth; }
  int MinHeight() const { return FMinHeight; }
  void SetMinWidth(int value);
  void SetMinHeight(int value);
  int Width() const { return FWidth; }
  int Height() const { return FHeight; }
  int Levels() const { return FTreeRoot->GetSubtreeDepth(); }
  void SetVisibleLevels(int levels);
  void SetSelectionElementType(TNodeElementType type);
  TTreePainterClass PainterClass = &MakePainter<TStandardTreePainter>;

  void Recalculate();
  // The next recalculation measures and lays out every node, not only what
  // changed: after the measuring canvas' metrics changed.
  void InvalidateMeasures() { FLayout.Invalidate(); }
  // Every node in pre-order, in a list that does not own them.
  std::unique_ptr<TDecTreeNodeList> GetAllNodes() const;
  void SelectElement(TNodeHit hit, TSelectMode mode);
  void SelectNode(TDecTreeNode* node, TNodeElementType type);
  TDecTreeNodeDynArray GetSelectedNodes() const;
  TNodeHit HitTest(int x, int y) const;
  void ResetDefaultFont();
  void DoSaveUndo(const std::string& undoMessage);
  // Draws the whole tree; onScreen only for the control's own canvas.
  void PaintTo(TCanvas& canvas, bool onScreen = false);

  // Editing.
  bool CanDeleteSelection() const;
  bool CanEditSelection() const;
  bool EditElement(bool advanced, int index);
  void AddSubnodes(bool toParent);
  void DeleteSelectedNodes(bool confirm);
  // Ends an open in-place edit, however it ends but by Enter or Esc: a
  // click, the focus leaving, a command, the tree being replaced. A text
  // that is no number is taken back, as Esc takes it back, and the status
  // bar says so.
  void HideInplaceEditor();
  // The editor's text changed by the user. A number that cannot be read
  // leaves the node as it was when the edit began, and the editor says so
  // until the text is a number again.
  void InplaceEditChange(const std::string& text);
  // Keys in the editor; True when consumed. Enter does not end an edit
  // whose text was refused.
  bool InplaceEditKeyDown(TKey key, TShiftState shift);
  void PopupItemClick(const std::string& itemName);
  // Keys of the control; True when handled.
  bool KeyDown(TKey key, TShiftState shift);
  void KeyPress(const std::string& text);

  // Mouse, at client coordinates of the event.
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y);
  void MouseMove(TShiftState shift, int x, int y);
  void MouseUp(TMouseButton button, TShiftState shift, int x, int y);
  void DblClick(int x, int y);
  // The mouse left the control: its hint goes.
  void MouseLeave();
  TRect GetRubberBandRect() const;
  // The context menu asked for from the keyboard.
  void ContextMenuFromKeyboard();
  // The hint of a point: "short|long" where there is a long part.
  std::string HintAt(int x, int y);

  bool BandActive() const { return FBandActive; }
  TRect LastBandRect;
  bool EditingNewNodes() const { return FEditingNewNodes; }
  TDecTreeNode* EditedNode() const { return FEditedNode; }
  TNodeElementType EditedElement() const { return FEditedElement; }
  const std::string& Hint() const { return FHint; }

private:
  void StartInplaceEdit(TDecTreeNode* node, TNodeElementType type, int undoMessage);
  // False when the text was refused and the node left as it was.
  bool ApplyEditorText(const std::string& text);
  void SetEditorInvalid(bool invalid);
  void FollowEditor(const std::string& text);
  // True when the node held another value.
  bool RestoreSavedValue();
  bool IsApplicable(TNodeElementType type) const;
  void MoveSelection(TKey key);
  // Brings the selected element of the first selected node into view.
  void ScrollSelectionIntoView();
  int EditorLabelWidth(TNodeElementType type);
  void ShowPropertyMenu(TDecTreeNode* node);
  void UpdateBand(int x, int y);
  void DeleteNode(TDecTreeNode* node);

  ITreeView* FView;
  std::unique_ptr<TDecTreeNode> FTreeRoot;
  TTreeLayout FLayout;
  int FMinWidth = 0;
  int FMinHeight = 0;
  int FWidth = 100;
  int FHeight = 100;

  bool FEditingNewNodes = false;
  TDecTreeNode* FEditedNode = nullptr;
  TNodeElementType FEditedElement = htOutside;
  bool FEditorInvalid = false;
  std::string FSavedCaption;
  double FSavedProbability = 0;
  Currency FSavedPayoff = 0;
  std::string FSavedDecisionCaption;
  std::string FSavedDecisionOwner;
  int FSavedBudget = -1;
  Guid FPopupNode;

  TPrivateArrayList<Guid> FBandStartSelection{32, true};
  bool FBandActive = false;
  bool FBandAdditive = false;
  TPoint FBandStart, FBandEnd;
  std::string FHint;
};

} // namespace bw
