#include "app/core/UIStrings.h"

#include <array>
#include <utility>

namespace bw {

namespace UIStrings {

namespace {
constexpr std::pair<Id, std::string_view> Table[] = {
    {SMainCaption, "Brantwick by Calverick"},
    {SNewDecisionTree, "New Decision Tree"},
    {SAskSave, "Do you want to save the changes?"},
    {SAskSaveNamed, "Do you want to save the changes to %s?"},
    {SMin, "Min "},
    {SCurrent, "Current "},
    {SMax, "Max "},
    {SHintMin, "Lowest payoff possible by changing decisions|"},
    {SHintCurrent, "Current payoff based on your decisions|"},
    {SHintMax, "Highest payoff possible by changing decisions|"},
    {SLevel, "Level %d"},
    {SUndoExpandCollapseLevels, "Expand/Collapse"},
    {SUndoSwitchMode, "Switch mode"},
    {SUndoToggleHighlightClones, "Toggle Highlight Clones"},
    {SAskAutoUpdate, "May Brantwick automatically check for updates? (recommended; you can turn "
                     "this feature off anytime using the Options dialog)"},
    {SUndoCaption, "Undo %s"},
    {SUndo, "Undo"},
    {SRedoCaption, "Redo %s"},
    {SRedo, "Redo"},
    {SUndoExpandCollapseSubtree, "Expand/Collapse subtree"},
    {SUndoShowHideProperty, "Show/Hide decision property"},
    {SEditTitle, "Edit Title"},
    {SEditProbability, "Edit Probability"},
    {SEditPayoff, "Edit Payoff"},
    {SEditPayoffAdvanced, "Edit Payoff (advanced)"},
    {SEditCaption, "Edit Caption"},
    {SEditDecisionOwner, "Edit Decision Owner"},
    {SEditDecisionDueDate, "Edit Decision Due Date"},
    {SToggleMode, "Toggle Mode"},
    {SEditBudget, "Edit Budget"},
    {SEdit, "Edit"},
    {SAddSubnodes, "Add subnodes"},
    {SAddSubnode, "Add subnode"},
    {SAddBranches, "Add branches"},
    {SAddBranch, "Add branch"},
    {SAdd, "Add"},
    {SToggleThisOption, "Toggle this option"},
    {STakeThisOption, "Take this option"},
    {SMoveUp, "Move up"},
    {SMoveDown, "Move down"},
    {SChangeToDecisionOne, "Change Chance to Decision (Choose one)"},
    {SChangeToDecisionMultiple, "Change Chance to Decision (Choose multiple)"},
    {SChangeToChancePercent, "Change Decision to Chance (%)"},
    {SChangeToChanceNumeric, "Change Decision to Chance (numeric)"},
    {SChangeComment, "Change Comment"},
    {SClone, "Clone"},
    {SCloneMasterSet, "Clone master set."},
    {SCloneMasterNotSet, "Clone master not set."},
    {SFindOptimalPath, "Find optimal path"},
    {SCannotOptimize,
     "Decision Tree cannot be optimized because payoff values are disabled at the moment. Please "
     "click 'View|Business mode (Show payoff)' to activate payoff values."},
    {SUnlinkClone, "Unlink Clone"},
    {SAskKeepSubnodes,
     "This will unlink this clone and make it independent. Do you want to keep the subnodes?"},
    {STakePath, "Take path"},
    {SAskTakePathOne,
     "In order to take the selected path, 1 fixed decision has to be changed. \n\nProceed?"},
    {SAskTakePathMany,
     "In order to take the selected path, %d fixed decisions have to be changed. \n\nProceed?"},
    {STypeInvalid, "Type must be 'Decision', 'MultiDecision' or 'Chance'."},
    {SChanceTypeInvalid, "ChanceType must be 'Percent', or 'AnySum'."},
    {SLoadFile, "Load file"},
    {SAskCheckExternalData,
     "This project contains external data. Do you want to check if this data has been updated?"},
    {SErrorOpeningFile, "Error opening file: "},
    {SErrorSavingFile, "Error saving file: "},
    {SFileDoesNotExist, "File '%s' does not exist."},
    {SSelectionRequired, "This operation requires a selected node"},
    {SSelectionOnlyOne, "This operation requires only one selected node, but "},
    {SVersion, "Version "},
    {SHelpNotOpened, "The help file '%s' could not be opened."},
    {SNoUpdateServer, "This edition has no update server, so it cannot check for updates."},
    {SImportValue, "Value"},
    {SImportEmpty, "empty"},
    {SImportFileNotFound, "File not found"},
    {SReadingExternalData, "Reading external data..."},
    {SExternalDataChanged,
     "External data has been changed. After reviewing click OK to accept the new values."},
    {SExternalDataUnchanged, "No changes. Your project is up-to-date."},
    {SExternalDataUnreadOne, "1 value could not be read."},
    {SExternalDataUnreadMany, "%d values could not be read."},
    {SExternalDataUnreadOthersChanged, "Review the changes and click OK to accept them."},
    {SExternalDataUnreadOthersUnchanged, "No other value has changed."},
    {SUndoRefreshExternalData, "Refresh external data"},
};
} // namespace

std::string_view Text(Id id) {
  for (const auto& [key, text] : Table)
    if (key == id) return text;
  return {};
}

} // namespace UIStrings

std::string FormatStr(std::string_view format, std::string_view argument) {
  std::string out(format);
  size_t at = out.find('%');
  if (at != std::string::npos && at + 1 < out.size()) out.replace(at, 2, argument);
  return out;
}

std::string FormatStr(std::string_view format, long long argument) {
  return FormatStr(format, std::to_string(argument));
}

} // namespace bw
