// The node menu's state, worked out each time it opens from the selection
// and the selected element: the captions of Edit, Add and Take this option,
// which items are enabled, and which type the Type submenu marks. Every node
// command asks the same table before it acts, so a command the menu would
// show disabled does nothing however it is reached.
#pragma once

#include "control/DecTree.h"

#include <array>
#include <optional>
#include <string>

namespace bw {

// The items of the node menu that can be enabled or disabled.
enum class TNodeCommand {
  Edit,
  EditPayoffAdvanced,
  AddChild,
  MoveUp,
  MoveDown,
  Remove,
  Type,
  TakeOption,
  TakeThisPath,
  Comment,
  DefineAsCloneMaster,
  DefineAsCloneOf,
  UnlinkClone,
  OptimizeSubnodeDecisions,
};
constexpr int NodeCommandCount = 14;

// The four items of the Type submenu.
enum class TNodeTypeItem {
  DecisionChooseOne,
  DecisionChooseMultiple,
  ChancePercent,
  ChanceNumeric
};
constexpr int NodeTypeItemCount = 4;

// The object names of the menu's items.
const char* PopupItemName(TNodeCommand command);
const char* PopupTypeItemName(TNodeTypeItem item);

// The Type item that describes a node's type.
TNodeTypeItem TypeItemOf(const TDecTreeNode& node);

struct TNodePopupState {
  std::string EditCaption;
  std::string AddCaption;
  std::string TakeOptionCaption;
  std::array<bool, NodeCommandCount> Enabled{};
  // The item to mark when Type is enabled; otherwise the marks stay as they
  // are.
  std::optional<TNodeTypeItem> CheckedType;

  bool IsEnabled(TNodeCommand command) const { return Enabled[static_cast<size_t>(command)]; }
};

// From the selected nodes (in selection order), the selected element type and
// what the control says of editing and deleting the selection.
TNodePopupState NodePopupState(const TDecTreeNodeDynArray& selected, TNodeElementType element,
                               bool canEdit, bool canDelete);
TNodePopupState NodePopupState(const TDecTree& tree);

} // namespace bw
