// Memory for nodes. A node made alone takes its own allocation; the nodes
// of a whole tree rebuilt at once (undo and redo) can be made in one block,
// one after the other in pre-order: the recalculations that follow walk
// them in that order, and freeing the tree gives the block back in one piece
// once its last node is gone.
#pragma once

#include <cstddef>

namespace bw {

class TNodeBlock {
public:
  // Room for `count` cells of `cellSize` bytes.
  static TNodeBlock* Open(size_t count, size_t cellSize);
  // No more cells will be taken: the block goes as soon as no cell lives,
  // which may be now.
  void Close();

  // Allocation of a node, alone or in a block (null for alone); Free takes
  // either.
  static void* Allocate(size_t size, TNodeBlock* block);
  static void Free(void* cell) noexcept;

private:
  TNodeBlock() = default;
  void Release() noexcept;

  size_t FCount = 0;
  size_t FCellSize = 0;
  size_t FTaken = 0;
  size_t FLive = 0;
  bool FClosed = false;
};

} // namespace bw
