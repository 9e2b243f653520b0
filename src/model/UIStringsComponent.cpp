#include "model/UIStringsComponent.h"

#include <algorithm>
#include <iterator>

namespace bw::UIStringsComponent {

namespace {
struct Entry {
  int Id;
  std::string_view Text;
};

// Sorted by id.
constexpr Entry Table[] = {
    {SDecisionOverdue, "Decision is overdue (Status date behind Due date but actual not checked)"},
    {SHintOptionTaken, "Option taken?|TRUE if option is currently taken, FALSE if it is not"},
    {SHintProbability, "Probability|Shows the probability of this node"},
    {SHintPayoff, "Payoff|Shows the payoff (positive) or cost (negative) of this node."},
    {SLinkedNode, "Linked node"},
    {SRootCaption, "Root"},
    {SRootComment, "Right click for options"},
    {SUndoAddSubnodes, "Add subnodes"},
    {SAskTakeFixedOption,
     "This decision has been defined as fixed. Do you still want to take a new option?"},
    {SUndoEditTitle, "Edit Title"},
    {SUndoEditProbability, "Edit Probability"},
    {SUndoTakeOption, "Take/Toggle option"},
    {SUndoEditPayoff, "Edit Payoff"},
    {SUndoEditCaption, "Edit Caption"},
    {SUndoEditOwner, "Edit Decision Owner"},
    {SUndoEditDueDate, "Edit Decision Due Date"},
    {SUndoToggleMode, "Toggle Mode"},
    {SUndoEditBudget, "Edit Budget"},
    {SCannotDeleteMaster,
     "This node or one of its children has one or more clones. Please unlink them first."},
    {SAskDeleteNodes,
     "Do you really want to delete the selected node(s) and all of its/their children?"},
    {SUndoRemove, "Remove"},
    {SProbabilitiesNot100, "Probabilities don't add up to 100"},
    {SBudgetExceededBy, "Budget exceeded by "},
    {SCloneHasMasterBelow,
     "Cannot define a node as clone if one of it's descendends is a clone master."},
    {SCloneMasterNotFound, "Clone master not found. Please set it again."},
    {SCannotCloneClone, "Cannot clone another clone."},
    {SDueDateNone, "none"},
    {SModeClosed, "Closed"},
    {SModeOverdue, "Overdue"},
    {SModeOpen, "Open"},
    {SBudgetNoLimit, "no limit"},
    {SMenuShowCaption, "Show Caption"},
    {SMenuShowBudget, "Show Budget"},
    {SMenuShowInvestment, "Show Investment (Readonly)"},
    {SMenuShowOwner, "Show Owner"},
    {SMenuShowDueDate, "Show Due date"},
    {SMenuShowMode, "Show Mode"},
    {SMenuShowAll, "Show all"},
    {SMenuHideAll, "Hide all"},
    {SFileNotFound, "File not found"},
    {SExcelNotInstalled, "Microsoft Excel not installed"},
    {SLabelCaption, ""},
    {SLabelBudget, "Budget: "},
    {SLabelInvestment, "Investment: "},
    {SLabelOwner, "Owner: "},
    {SLabelDueDate, "Due Date: "},
    {SLabelMode, "Mode: "},
    {SOptionTaken, "TRUE"},
    {SOptionNotTaken, "FALSE"},
    {SCloneSameAsMaster, "Master and cloned node must not be the same."},
    {SMasterBelowClone, "Master node must not be a subnode of the cloned node."},
    {SCloneBelowMaster, "Cloned node must not be a subnode of the master node."},
    {SCloneInsideClone, "Cannot define a node as clone if it descends of another clone."},
    {SCloneTreeTooLarge, "Cannot define a node as clone if the tree would then hold more than "
                         "2000000 nodes or 2000 levels."},
    {STooManyOptions, "More than 40 options: the best options within the budget are not searched"},
    {SInvalidNumber, "Invalid number"},
    {SEditTakenBack, "Invalid number: the edit was taken back"},
};

static_assert(std::is_sorted(std::begin(Table), std::end(Table),
                             [](const Entry& a, const Entry& b) { return a.Id < b.Id; }));
} // namespace

std::string_view Text(int id) {
  auto it = std::lower_bound(std::begin(Table), std::end(Table), id,
                             [](const Entry& e, int key) { return e.Id < key; });
  return it != std::end(Table) && it->Id == id ? it->Text : std::string_view();
}

} // namespace bw::UIStringsComponent
