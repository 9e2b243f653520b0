// The application's user-visible texts.
#pragma once

#include <string>
#include <string_view>

namespace bw {

namespace UIStrings {

enum Id : int {
  SMainCaption,
  SNewDecisionTree,
  SAskSave,
  SAskSaveNamed,
  SMin,
  SCurrent,
  SMax,
  SHintMin,
  SHintCurrent,
  SHintMax,
  SLevel,
  SUndoExpandCollapseLevels,
  SUndoSwitchMode,
  SUndoToggleHighlightClones,
  SAskAutoUpdate,
  SUndoCaption,
  SUndo,
  SRedoCaption,
  SRedo,
  SUndoExpandCollapseSubtree,
  SUndoShowHideProperty,
  SEditTitle,
  SEditProbability,
  SEditPayoff,
  SEditPayoffAdvanced,
  SEditCaption,
  SEditDecisionOwner,
  SEditDecisionDueDate,
  SToggleMode,
  SEditBudget,
  SEdit,
  SAddSubnodes,
  SAddSubnode,
  SAddBranches,
  SAddBranch,
  SAdd,
  SToggleThisOption,
  STakeThisOption,
  SMoveUp,
  SMoveDown,
  SChangeToDecisionOne,
  SChangeToDecisionMultiple,
  SChangeToChancePercent,
  SChangeToChanceNumeric,
  SChangeComment,
  SClone,
  SCloneMasterSet,
  SCloneMasterNotSet,
  SFindOptimalPath,
  SCannotOptimize,
  SUnlinkClone,
  SAskKeepSubnodes,
  STakePath,
  SAskTakePathOne,
  SAskTakePathMany,
  STypeInvalid,
  SChanceTypeInvalid,
  SLoadFile,
  SAskCheckExternalData,
  SErrorOpeningFile,
  SErrorSavingFile,
  SFileDoesNotExist,
  SSelectionRequired,
  SSelectionOnlyOne,
  SVersion,
  // Help and updates where they cannot be had.
  SHelpNotOpened,
  SNoUpdateServer,
  // Spreadsheet import and the external-data overview.
  SImportValue,
  SImportEmpty,
  SImportFileNotFound,
  SReadingExternalData,
  SExternalDataChanged,
  SExternalDataUnchanged,
  // The overview's header when values could not be read: how many, then
  // whether the others changed.
  SExternalDataUnreadOne,
  SExternalDataUnreadMany,
  SExternalDataUnreadOthersChanged,
  SExternalDataUnreadOthersUnchanged,
  SUndoRefreshExternalData,
};

std::string_view Text(Id id);
inline std::string Str(Id id) {
  return std::string(Text(id));
}

} // namespace UIStrings

// The text with its one "%s" or "%d" replaced by the argument.
std::string FormatStr(std::string_view format, std::string_view argument);
std::string FormatStr(std::string_view format, long long argument);

} // namespace bw
