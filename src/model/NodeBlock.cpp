#include "model/NodeBlock.h"

#include "foundation/Assert.h"

#include <cstdlib>
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

// Every cell starts with the block it belongs to (null for a node made
// alone), kept at the alignment new gives.
constexpr size_t HeaderSize = alignof(std::max_align_t);
static_assert(HeaderSize >= sizeof(TNodeBlock*));

constexpr size_t RoundUp(size_t n) {
  return (n + HeaderSize - 1) / HeaderSize * HeaderSize;
}

char* CellsOf(TNodeBlock* block) {
  return reinterpret_cast<char*>(block) + RoundUp(sizeof(TNodeBlock));
}

} // namespace

TNodeBlock* TNodeBlock::Open(size_t count, size_t cellSize) {
  const size_t stride = HeaderSize + RoundUp(cellSize);
  BW_ASSERT(count <= (SIZE_MAX - RoundUp(sizeof(TNodeBlock))) / stride);
  void* memory = ::operator new(RoundUp(sizeof(TNodeBlock)) + count * stride);
  auto* block = new (memory) TNodeBlock;
  block->FCount = count;
  block->FCellSize = RoundUp(cellSize);
  BW_POISON(CellsOf(block), count * stride);
  return block;
}

void TNodeBlock::Close() {
  FClosed = true;
  if (FLive == 0) {
    this->~TNodeBlock();
    ::operator delete(this);
  }
}

void* TNodeBlock::Allocate(size_t size, TNodeBlock* block) {
  char* cell;
  if (block) {
    BW_ASSERT(!block->FClosed && block->FTaken < block->FCount && size <= block->FCellSize);
    cell = CellsOf(block) + block->FTaken++ * (HeaderSize + block->FCellSize);
    BW_UNPOISON(cell, HeaderSize + size);
    ++block->FLive;
  } else {
    cell = static_cast<char*>(::operator new(HeaderSize + size));
  }
  *reinterpret_cast<TNodeBlock**>(cell) = block;
  return cell + HeaderSize;
}

void TNodeBlock::Free(void* p) noexcept {
  if (!p) return;
  char* cell = static_cast<char*>(p) - HeaderSize;
  TNodeBlock* block = *reinterpret_cast<TNodeBlock**>(cell);
  if (!block) {
    ::operator delete(cell);
    return;
  }
  BW_POISON(cell, HeaderSize + block->FCellSize);
  block->Release();
}

void TNodeBlock::Release() noexcept {
  if (--FLive == 0 && FClosed) {
    this->~TNodeBlock();
    ::operator delete(this);
  }
}

} // namespace bw
