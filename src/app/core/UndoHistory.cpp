#include "app/core/UndoHistory.h"

#include "app/core/UIStrings.h"

namespace bw {

void TUndoHistory::SaveUndo(const TDecTreeNode& root, const TTreeOptions& options,
                            std::string undoMessage) {
  if (FUndo.size() >= Limit) FUndo.pop_front();
  FUndo.push_back({root.CopySubtree(nullptr, false, nullptr), options, std::move(undoMessage)});
  FRedo.clear();
}

std::unique_ptr<TDecTreeNode> TUndoHistory::Exchange(std::deque<TUndoRedoBufferElement>& from,
                                                     std::deque<TUndoRedoBufferElement>& to,
                                                     std::unique_ptr<TDecTreeNode> live,
                                                     TTreeOptions& options) {
  if (from.empty()) return live;
  TUndoRedoBufferElement top = std::move(from.back());
  from.pop_back();
  to.push_back({std::move(live), options, top.UndoMessage});
  options = top.TreeOptions;
  return std::move(top.Tree);
}

std::unique_ptr<TDecTreeNode> TUndoHistory::Undo(std::unique_ptr<TDecTreeNode> live,
                                                 TTreeOptions& options) {
  return Exchange(FUndo, FRedo, std::move(live), options);
}

std::unique_ptr<TDecTreeNode> TUndoHistory::Redo(std::unique_ptr<TDecTreeNode> live,
                                                 TTreeOptions& options) {
  return Exchange(FRedo, FUndo, std::move(live), options);
}

void TUndoHistory::Clear(bool clearUndo, bool clearRedo) {
  if (clearUndo) FUndo.clear();
  if (clearRedo) FRedo.clear();
}

std::string TUndoHistory::UndoCaption() const {
  return CanUndo() ? FormatStr(UIStrings::Str(UIStrings::SUndoCaption), UndoMessage())
                   : UIStrings::Str(UIStrings::SUndo);
}

std::string TUndoHistory::RedoCaption() const {
  return CanRedo() ? FormatStr(UIStrings::Str(UIStrings::SRedoCaption), RedoMessage())
                   : UIStrings::Str(UIStrings::SRedo);
}

} // namespace bw
