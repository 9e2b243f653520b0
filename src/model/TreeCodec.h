// A compact binary form of a whole tree, for the undo history: every stored
// field of every node, in pre-order, and nothing of what a recalculation
// computes. The bytes are cut into chunks of about 64 nodes at places the
// node ids choose, so that an edit changes the bytes of the chunks around
// it and leaves the others equal to those of the tree before: equal chunks
// can then be kept once for many snapshots.
#pragma once

#include "model/DecTreeNode.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace bw {

// One chunk: consecutive nodes in pre-order. The ids of nodes inside a clone
// (copies, which take fresh ids at every recalculation) are kept apart from
// the ids of the other nodes, so that a rebuilt clone changes only those.
struct TTreeChunk {
  std::string Ids;     // 16 bytes per node that is not inside a clone
  std::string CopyIds; // 16 bytes per node inside a clone
  std::string Fields;  // the other stored fields of every node
  friend bool operator==(const TTreeChunk&, const TTreeChunk&) = default;
};

// The bytes of a chunk wherever they are held.
struct TTreeChunkView {
  std::string_view Ids;
  std::string_view CopyIds;
  std::string_view Fields;
};

// asCopy: the fields as a copy of the tree with the same ids has them
// (CopySubtree with NewIds False: the two multi-decision show flags through
// their effective getters); otherwise exactly as stored.
std::vector<TTreeChunk> EncodeTree(const TDecTreeNode& root, bool asCopy);

// The tree the chunks hold, its nodes made for `tree`. Chunks that do not
// hold a whole tree are an assertion failure.
std::unique_ptr<TDecTreeNode> DecodeTree(const std::vector<TTreeChunkView>& chunks,
                                         TTreeContext* tree);

// The first node id of a chunk: what a chunk of the next snapshot is matched
// with.
Guid FirstChunkId(const TTreeChunk& chunk);

} // namespace bw
