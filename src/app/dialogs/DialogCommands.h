// The node commands that work through a dialog: the comment and the
// advanced payoff edit. Each takes the tree and the window's undo callback;
// the dialog is a parameter so that tests can answer it.
#pragma once

#include "app/dialogs/CommentForm.h"
#include "app/dialogs/EditPayoffLogic.h"
#include "app/dialogs/TreePropertiesLogic.h"
#include "model/TreeTypes.h"

#include <functional>
#include <string>

namespace bw {

class TDecTree;
class TDecTreeNode;

using TCommentDialog = std::function<TCommentDialogResult(const std::string& comment)>;
// The tree's currency symbol goes with its decimals: the dialog reads typed
// amounts as the in-place editor reads them.
using TEditPayoffDialog =
    std::function<TEditPayoffDialogResult(const std::string& payoffSource, int currencyDecimals,
                                          Currency payoff, const std::string& currencySymbol)>;

// Comment...: the dialog on the selected node's comment; on OK the undo
// step "Change Comment", the new comment, the recalculation. Cancel changes
// nothing and takes no step.
void ChangeComment(TDecTree& tree, const TSaveUndo& saveUndo, const TCommentDialog& dialog);

// The tree control's advanced edit of a node's payoff (other elements are
// ignored): the dialog on the payoff and its source with the tree's
// decimals; on OK the undo step "Edit Payoff (advanced)", the new payoff and
// source, the recalculation.
void AdvancedEditPayoff(TDecTree& tree, TDecTreeNode* node, TNodeElementType type,
                        const TSaveUndo& saveUndo, const TEditPayoffDialog& dialog);

} // namespace bw
