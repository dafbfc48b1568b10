// The edge heap: every block carries a small header that links it into its
// heap's list, so that destroying the heap releases whatever is left.
#include "CPath/EdgeHeap.h"

#include <cstdlib>
#include <limits>

namespace vx {
namespace {

struct BlockHeader {
  BlockHeader* pPrev;
  BlockHeader* pNext;
};

// The header is padded to the strictest alignment so the block behind it is
// aligned for any object.
constexpr std::size_t kHeaderSize = (sizeof(BlockHeader) + alignof(std::max_align_t) - 1) /
                                    alignof(std::max_align_t) * alignof(std::max_align_t);

struct Heap {
  BlockHeader* pFirst;
};

BlockHeader* HeaderOf(void* pBlock) {
  return reinterpret_cast<BlockHeader*>(static_cast<unsigned char*>(pBlock) - kHeaderSize);
}

}  // namespace

void* EdgeHeapCreate() {
  auto* pHeap = static_cast<Heap*>(std::malloc(sizeof(Heap)));
  if (pHeap != nullptr) {
    pHeap->pFirst = nullptr;
  }
  return pHeap;
}

void* EdgeHeapAlloc(void* hHeap, std::size_t nBytes) {
  if (hHeap == nullptr || nBytes > std::numeric_limits<std::size_t>::max() - kHeaderSize) {
    return nullptr;
  }
  auto* pHeader = static_cast<BlockHeader*>(std::malloc(kHeaderSize + nBytes));
  if (pHeader == nullptr) {
    return nullptr;
  }
  auto* pHeap = static_cast<Heap*>(hHeap);
  pHeader->pPrev = nullptr;
  pHeader->pNext = pHeap->pFirst;
  if (pHeap->pFirst != nullptr) {
    pHeap->pFirst->pPrev = pHeader;
  }
  pHeap->pFirst = pHeader;
  return reinterpret_cast<unsigned char*>(pHeader) + kHeaderSize;
}

void EdgeHeapFree(void* hHeap, void* pBlock) {
  if (hHeap == nullptr || pBlock == nullptr) {
    return;
  }
  auto* pHeap = static_cast<Heap*>(hHeap);
  BlockHeader* pHeader = HeaderOf(pBlock);
  if (pHeader->pPrev != nullptr) {
    pHeader->pPrev->pNext = pHeader->pNext;
  } else {
    pHeap->pFirst = pHeader->pNext;
  }
  if (pHeader->pNext != nullptr) {
    pHeader->pNext->pPrev = pHeader->pPrev;
  }
  std::free(pHeader);
}

void EdgeHeapDestroy(void* hHeap) {
  if (hHeap == nullptr) {
    return;
  }
  auto* pHeap = static_cast<Heap*>(hHeap);
  BlockHeader* pHeader = pHeap->pFirst;
  while (pHeader != nullptr) {
    BlockHeader* pNext = pHeader->pNext;
    std::free(pHeader);
    pHeader = pNext;
  }
  std::free(pHeap);
}

}  // namespace vx
