#include "app/dialogs/DialogCommands.h"

#include "app/commands/NodeCommands.h"
#include "app/core/UIStrings.h"
#include "control/DecTree.h"

namespace bw {

using namespace UIStrings;

void ChangeComment(TDecTree& tree, const TSaveUndo& saveUndo, const TCommentDialog& dialog) {
  TDecTreeNode* node = GetSelectedNode(tree);
  const TCommentDialogResult result = dialog(node->Comment);
  if (!result.Changed) return;
  if (saveUndo) saveUndo(Str(SChangeComment));
  node->Comment = result.Comment;
  tree.Recalculate();
}

void AdvancedEditPayoff(TDecTree& tree, TDecTreeNode* node, TNodeElementType type,
                        const TSaveUndo& saveUndo, const TEditPayoffDialog& dialog) {
  if (type != htPayoff || !node) return;
  const TEditPayoffDialogResult result = dialog(node->PayoffSource, tree.Options.CurrencyDecimals,
                                                node->Payoff, tree.Options.CurrencySymbol);
  if (!result.Changed) return;
  if (saveUndo) saveUndo(Str(SEditPayoffAdvanced));
  node->Payoff = result.Payoff;
  node->PayoffSource = result.PayoffSource;
  tree.Recalculate();
}

} // namespace bw
