#include "model/NodeBlock.h"

#include "foundation/Assert.h"

#include <cstdint>
#include <new>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/asan_interface.h>
#define BW_POISON(p, n) ASAN_POISON_MEMORY_REGION(p, n)
#define BW_UNPOISON(p, n) ASAN_UNPOISON_MEMORY_REGION(p, n)
#else
#define BW_POISON(p, n) ((void)(p), (void)(n))
#define BW_UNPOISON(p, n) ((void)(p), (void)(n))
#endif

namespace bw {

namespace {

constexpr std::align_val_t Aligned{TNodeBlock::Alignment};

// Nodes to a block: under 128 KiB, which the heap gives from its own memory
// rather than mapping (and later unmapping) fresh pages for every block.
constexpr size_t MaxBlockNodes = 256;

constexpr size_t RoundUp(size_t n) {
  return (n + TNodeBlock::Alignment - 1) / TNodeBlock::Alignment * TNodeBlock::Alignment;
}

// A cell is the node, then the block it belongs to (null for a node made
// alone); in a block, rounded up to whole cache lines.
constexpr size_t StrideOf(size_t size) {
  return RoundUp(size + sizeof(TNodeBlock*));
}

TNodeBlock*& BlockOf(void* node, size_t size) {
  return *reinterpret_cast<TNodeBlock**>(static_cast<char*>(node) + size);
}

char* CellsOf(TNodeBlock* block) {
  return reinterpret_cast<char*>(block) + RoundUp(sizeof(TNodeBlock));
}

} // namespace

TNodeBlock* TNodeBlock::Open(size_t count, size_t size) {
  const size_t stride = StrideOf(size);
  BW_ASSERT(count <= (SIZE_MAX - RoundUp(sizeof(TNodeBlock))) / stride);
  void* memory = ::operator new(RoundUp(sizeof(TNodeBlock)) + count * stride, Aligned);
  auto* block = new (memory) TNodeBlock;
  block->FCount = count;
  block->FStride = stride;
  block->FSize = size;
  BW_POISON(CellsOf(block), count * stride);
  return block;
}

void TNodeBlock::Close() {
  FClosed = true;
  if (FLive == 0) {
    this->~TNodeBlock();
    ::operator delete(this, Aligned);
  }
}

void* TNodeBlock::Allocate(size_t size, TNodeBlock* block) {
  void* node;
  if (block) {
    BW_ASSERT(!block->FClosed && block->FTaken < block->FCount && size == block->FSize);
    node = CellsOf(block) + block->FTaken++ * block->FStride;
    BW_UNPOISON(node, size + sizeof(TNodeBlock*));
    ++block->FLive;
  } else {
    node = ::operator new(size + sizeof(TNodeBlock*));
  }
  BlockOf(node, size) = block;
  return node;
}

void TNodeBlock::Free(void* node, size_t size) noexcept {
  if (!node) return;
  TNodeBlock* block = BlockOf(node, size);
  if (!block) {
    ::operator delete(node);
    return;
  }
  BW_POISON(node, size + sizeof(TNodeBlock*));
  block->Release();
}

void TNodeBlock::Release() noexcept {
  if (--FLive == 0 && FClosed) {
    this->~TNodeBlock();
    ::operator delete(this, Aligned);
  }
}

TNodeBlock& TNodeBlocks::Next() {
  if (FRoom == 0) {
    if (FCurrent) FCurrent->Close();
    FCurrent = nullptr;
    BW_ASSERT(FLeft > 0);
    FRoom = FLeft < MaxBlockNodes ? FLeft : MaxBlockNodes;
    FCurrent = TNodeBlock::Open(FRoom, FSize);
    FLeft -= FRoom;
  }
  --FRoom;
  return *FCurrent;
}

} // namespace bw
