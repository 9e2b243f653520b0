// The commands of the node menu and Edit > Optimize decisions, on the tree
// control without a window. Each command that changes the tree takes its
// undo step first, with its own caption, then changes the nodes, then
// recalculates. Each first asks the menu's table (NodePopup.h) and does
// nothing where the menu would show it disabled: a shortcut or a menu left
// open from before acts on no selection the command does not apply to.
#pragma once

#include "app/commands/NodePopup.h"
#include "control/DecTree.h"
#include "foundation/Guid.h"

#include <functional>
#include <string>

namespace bw {

// What the commands need of the main window.
struct TNodeCommandHost {
  std::function<void(const std::string& caption)> SaveUndo;
  // A question with the buttons Yes and No: True for Yes.
  std::function<bool(const std::string& question)> AskYesNo;
  // A question with the buttons Yes, No and Cancel: 1, 0, -1.
  std::function<int(const std::string& question)> AskYesNoCancel;
  std::function<void(const std::string& text)> Information;
  std::function<void(const std::string& text)> Warning;
};

// The one selected node; InvalidOperationException when none or several
// are selected.
TDecTreeNode* GetSelectedNode(const TDecTree& tree);

class TNodeCommands {
public:
  TNodeCommands(TDecTree& tree, TNodeCommandHost host);

  // The node chosen by Define as clone master; empty when none is chosen.
  // The window forgets it at every save prompt; undo and redo keep it.
  Guid CloneMasterId;

  // Whether the menu's table enables the command for the current selection.
  bool Allowed(TNodeCommand command) const;
  TDecTreeNode* GetSelectedNode() const { return bw::GetSelectedNode(FTree); }

  void Edit();
  void AddChild();
  void Remove();
  void MoveUp();
  void MoveDown();
  void ChangeType(TNodeTypeItem item);
  void TakeOption();
  void TakeThisPath();
  void DefineAsCloneMaster();
  void DefineAsCloneOf();
  void UnlinkClone();
  void OptimizeSubnodeDecisions();
  // Edit > Optimize decisions: the whole tree, whatever is selected.
  void OptimizeWholeTree();

private:
  // Prologue of every node command: the in-place editor closes, and the
  // command goes on only where the table allows it.
  bool Begin(TNodeCommand command);
  void Move(int offset, const std::string& caption);
  void Optimize(TDecTreeNode* node);

  TDecTree& FTree;
  TNodeCommandHost FHost;
};

} // namespace bw
