// Two stacks of whole-tree snapshots: before every change the live tree is
// recorded on the undo stack with a caption; undo and redo exchange the live
// tree with the top of one stack and push it onto the other.
//
// A snapshot is the tree's compact binary form (model/TreeCodec.h) in
// chunks; a chunk whose bytes equal those of the snapshot before is kept
// once for both, and every other chunk is compressed with zstd. Undo and
// redo rebuild the tree from its chunks, with the same ids, options and
// captions as a full copy would have. A long session on a large tree thus
// holds roughly what its steps changed, not a copy of the tree per step.
#pragma once

#include "model/DecTreeNode.h"
#include "model/TreeCodec.h"
#include "model/TreeTypes.h"

#include <cstddef>
#include <deque>
#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace bw {

// The bytes of one part of a chunk, compressed or (for ids, which do not
// compress) as they are. Shared by every snapshot that holds them.
struct TUndoPart {
  std::string Bytes;
  size_t Size = 0; // the bytes it stands for
  bool Compressed = false;
};
using TUndoPartRef = std::shared_ptr<const TUndoPart>;

struct TUndoChunk {
  TUndoPartRef Ids, CopyIds, Fields; // null for no bytes
};

struct TUndoRedoBufferElement {
  // The tree, and the tree context its nodes are made for.
  std::vector<TUndoChunk> Tree;
  TTreeContext* Context = nullptr;
  TTreeOptions TreeOptions;
  std::string UndoMessage;
};

class TUndoHistory {
public:
  // 500 steps back, plus the one that brings back the state before them.
  static constexpr size_t Limit = 501;

  TUndoHistory();
  TUndoHistory(const TUndoHistory&) = delete;
  TUndoHistory& operator=(const TUndoHistory&) = delete;
  ~TUndoHistory();

  // Records the live tree as a copy with the same ids would have it, with
  // the options; beyond the limit the oldest snapshot is dropped. The redo
  // stack is emptied.
  void SaveUndo(const TDecTreeNode& root, const TTreeOptions& options, std::string undoMessage);
  // The live tree and options go onto the other stack, with the caption of
  // the snapshot that replaces them; the snapshot's tree is rebuilt and
  // handed back, and its options are put into `options`. Nothing happens
  // (and the live tree comes back) when the stack is empty.
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
  // The bytes the snapshots hold, each shared part once.
  size_t HeldBytes() const;

private:
  std::unique_ptr<TDecTreeNode> Exchange(std::deque<TUndoRedoBufferElement>& from,
                                         std::deque<TUndoRedoBufferElement>& to,
                                         std::unique_ptr<TDecTreeNode> live, TTreeOptions& options);
  // The chunks as parts: those equal to the reference's are shared, the
  // others made anew.
  std::vector<TUndoChunk> Store(const std::vector<TTreeChunk>& chunks);
  TUndoPartRef MakePart(const std::string& bytes, bool compress);
  // The bytes of a snapshot's chunks; parts the reference holds are moved
  // out of it (the caller replaces the reference next), the others are
  // decompressed.
  std::vector<TTreeChunk> Load(const std::vector<TUndoChunk>& tree);
  void SetReference(std::vector<TTreeChunk> chunks, const std::vector<TUndoChunk>& parts);

  std::deque<TUndoRedoBufferElement> FUndo; // oldest first
  std::deque<TUndoRedoBufferElement> FRedo;

  // The tree last recorded or rebuilt, as bytes and as the parts that hold
  // them: the next snapshot is compared with it chunk by chunk.
  std::vector<TTreeChunk> FReference;
  std::vector<TUndoChunk> FReferenceParts;
  std::unordered_map<Guid, size_t, GuidHash> FReferenceByFirstId;

  struct TZstd;
  std::unique_ptr<TZstd> FZstd;
};

} // namespace bw
