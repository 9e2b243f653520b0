// The tree component's user-visible texts, by their string-table ids.
#pragma once

#include <string>
#include <string_view>

namespace bw::UIStringsComponent {

enum Id : int {
  SDecisionOverdue = 65056,
  SHintOptionTaken = 65057,
  SHintProbability = 65058,
  SHintPayoff = 65059,
  SLinkedNode = 65060,
  SRootCaption = 65061,
  SRootComment = 65062,
  SUndoAddSubnodes = 65072,
  SAskTakeFixedOption = 65073,
  SUndoEditTitle = 65074,
  SUndoEditProbability = 65075,
  SUndoTakeOption = 65076,
  SUndoEditPayoff = 65077,
  SUndoEditCaption = 65078,
  SUndoEditOwner = 65079,
  SUndoEditDueDate = 65080,
  SUndoToggleMode = 65081,
  SUndoEditBudget = 65082,
  SCannotDeleteMaster = 65083,
  SAskDeleteNodes = 65084,
  SUndoRemove = 65085,
  SProbabilitiesNot100 = 65086,
  SBudgetExceededBy = 65087,
  SCloneHasMasterBelow = 65088,
  SCloneMasterNotFound = 65089,
  SCannotCloneClone = 65090,
  SDueDateNone = 65091,
  SModeClosed = 65092,
  SModeOverdue = 65093,
  SModeOpen = 65094,
  SBudgetNoLimit = 65095,
  SMenuShowCaption = 65096,
  SMenuShowBudget = 65097,
  SMenuShowInvestment = 65098,
  SMenuShowOwner = 65099,
  SMenuShowDueDate = 65100,
  SMenuShowMode = 65101,
  SMenuShowAll = 65102,
  SMenuHideAll = 65103,
  SFileNotFound = 65106,
  SExcelNotInstalled = 65107,
  SLabelCaption = 65108,
  SLabelBudget = 65109,
  SLabelInvestment = 65110,
  SLabelOwner = 65111,
  SLabelDueDate = 65112,
  SLabelMode = 65113,
  SOptionTaken = 65114,
  SOptionNotTaken = 65115,
  SCloneSameAsMaster = 65116,
  SMasterBelowClone = 65117,
  SCloneBelowMaster = 65118,
  SCloneInsideClone = 65119,
  SCloneTreeTooLarge = 65120,
  STooManyOptions = 65121,
  SInvalidNumber = 65122,
  SEditTakenBack = 65123,
};

// The text of an id; an unknown id gives the empty text.
std::string_view Text(int id);
inline std::string Str(int id) {
  return std::string(Text(id));
}

} // namespace bw::UIStringsComponent
