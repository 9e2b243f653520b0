// Memory for nodes. A node made alone takes its own allocation; the nodes
// of a whole tree made at once (a copy, undo and redo) can be made in
// blocks, one after the other in pre-order: the recalculations that follow
// walk them in that order, each node starts on a cache line (so that the
// fields the roll-back reads lie in two lines), and freeing the tree gives
// each block back in one piece once its last node is gone.
#pragma once

#include <cstddef>

namespace bw {

class TNodeBlock {
public:
  static constexpr size_t Alignment = 64;

  // Room for `count` nodes of `size` bytes.
  static TNodeBlock* Open(size_t count, size_t size);
  // No more nodes will be made in it: the block goes as soon as none lives,
  // which may be now.
  void Close();

  // Memory for a node of `size` bytes, alone or in a block (null for alone;
  // a node in a block starts on a cache line); Free takes either, with the
  // same size.
  static void* Allocate(size_t size, TNodeBlock* block);
  static void Free(void* node, size_t size) noexcept;

private:
  TNodeBlock() = default;
  void Release() noexcept;

  size_t FCount = 0;
  size_t FStride = 0;
  size_t FSize = 0;
  size_t FTaken = 0;
  size_t FLive = 0;
  bool FClosed = false;
};

// Blocks for `count` nodes made one after the other, a few hundred to a
// block.
class TNodeBlocks {
public:
  explicit TNodeBlocks(size_t count, size_t size) : FLeft(count), FSize(size) {}
  TNodeBlocks(const TNodeBlocks&) = delete;
  TNodeBlocks& operator=(const TNodeBlocks&) = delete;
  ~TNodeBlocks() {
    if (FCurrent) FCurrent->Close();
  }
  // The block of the next node; asking for more nodes than counted is an
  // assertion failure.
  TNodeBlock& Next();

private:
  size_t FLeft;
  size_t FSize;
  TNodeBlock* FCurrent = nullptr;
  size_t FRoom = 0;
};

} // namespace bw
