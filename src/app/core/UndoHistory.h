// Two stacks of whole-tree snapshots: before every change the live tree is
// copied onto the undo stack with a caption; undo and redo exchange the live
// tree with the top of one stack and push it onto the other.
#pragma once

#include "model/DecTreeNode.h"
#include "model/TreeTypes.h"

#include <deque>
#include <memory>
#include <string>

namespace bw {

struct TUndoRedoBufferElement {
  std::unique_ptr<TDecTreeNode> Tree;
  TTreeOptions TreeOptions;
  std::string UndoMessage;
};

class TUndoHistory {
public:
  // 500 steps back, plus the one that brings back the state before them.
  static constexpr size_t Limit = 501;

  // Pushes a copy of the live tree (same ids) and the options; beyond the
  // limit the oldest snapshot is freed. The redo stack is emptied.
  void SaveUndo(const TDecTreeNode& root, const TTreeOptions& options, std::string undoMessage);
  // The live tree and options go onto the other stack, with the caption of
  // the snapshot that replaces them; the snapshot's tree is handed back and
  // its options are put into `options`. Nothing happens (and the live tree
  // comes back) when the stack is empty.
  std::unique_ptr<TDecTreeNode> Undo(std::unique_ptr<TDecTreeNode> live, TTreeOptions& options);
  std::unique_ptr<TDecTreeNode> Redo(std::unique_ptr<TDecTreeNode> live, TTreeOptions& options);
  void Clear(bool clearUndo, bool clearRedo);

  bool CanUndo() const { return !FUndo.empty(); }
  bool CanRedo() const { return !FRedo.empty(); }
  size_t UndoCount() const { return FUndo.size(); }
  size_t RedoCount() const { return FRedo.size(); }
  // Caption of the step that undo or redo would revert.
  const std::string& UndoMessage() const { return FUndo.back().UndoMessage; }
  const std::string& RedoMessage() const { return FRedo.back().UndoMessage; }
  // "Undo %s" / "Undo", "Redo %s" / "Redo".
  std::string UndoCaption() const;
  std::string RedoCaption() const;

private:
  static std::unique_ptr<TDecTreeNode> Exchange(std::deque<TUndoRedoBufferElement>& from,
                                                std::deque<TUndoRedoBufferElement>& to,
                                                std::unique_ptr<TDecTreeNode> live,
                                                TTreeOptions& options);

  std::deque<TUndoRedoBufferElement> FUndo; // oldest first
  std::deque<TUndoRedoBufferElement> FRedo;
};

} // namespace bw
