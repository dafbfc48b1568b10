// The edge heap. Blocks of up to kSmallMax bytes are cut from 256 KiB chunks
// and reused through free lists by size class; larger blocks get an
// allocation of their own, linked into the heap. A chunk whose blocks are all
// freed leaves the heap. Chunks that leave a heap go to a reserve shared by
// all heaps of the process, up to kReserveChunks (8 MiB); the next heap takes
// them from there instead of from malloc. A route rebuilt after Clear thus
// reuses pages already mapped, where malloc would have handed them back to the
// system and every page would fault in again.
//
// Under AddressSanitizer every byte of a chunk that is not part of a live
// block is poisoned, and blocks are kept apart by a poisoned gap, so an
// overrun or a use after free is reported as it would be with malloc.
#include "CPath/EdgeHeap.h"

#include <cstdint>
#include <cstdlib>
#include <mutex>

#if defined(__SANITIZE_ADDRESS__)
#define VX_EDGE_HEAP_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VX_EDGE_HEAP_ASAN 1
#endif
#endif

#ifdef VX_EDGE_HEAP_ASAN
// AddressSanitizer's interface, declared here so that the core includes no
// header beyond the standard library.
// NOLINTNEXTLINE(bugprone-reserved-identifier): the sanitizer's own name
extern "C" void __asan_poison_memory_region(void const volatile* p, std::size_t n);
// NOLINTNEXTLINE(bugprone-reserved-identifier): the sanitizer's own name
extern "C" void __asan_unpoison_memory_region(void const volatile* p, std::size_t n);
#endif

namespace vx {
namespace {

constexpr std::size_t kAlign = alignof(std::max_align_t);
constexpr std::size_t kChunkBytes = kEdgeHeapChunkBytes;
constexpr std::size_t kReserveChunks = 32;
// A chunk wastes at most this much at its end.
constexpr std::size_t kSmallMax = kEdgeHeapChunkBlockMax;
// Size classes: steps of kAlign up to kLinearMax, then eight per doubling.
constexpr std::size_t kLinearMax = 1024;
constexpr std::uint32_t kLinearClasses = kLinearMax / kAlign;
constexpr std::uint32_t kClasses = kLinearClasses + 4 * 8;  // 1 KiB to 16 KiB
constexpr std::uint32_t kBigClass = ~std::uint32_t{0};
#ifdef VX_EDGE_HEAP_ASAN
constexpr std::size_t kGap = kAlign;
#else
constexpr std::size_t kGap = 0;
#endif

constexpr std::size_t RoundUp(std::size_t n) { return (n + kAlign - 1) / kAlign * kAlign; }

// In front of every block: its size class, and its successor in the free
// list of its class while it is free.
struct BlockHeader {
  std::uint32_t nClass;
  BlockHeader* pNextFree;
};
constexpr std::size_t kHeaderSize = RoundUp(sizeof(BlockHeader));

// In front of the header of a block of its own: the links of the heap's list.
struct BigLinks {
  BigLinks* pPrev;
  BigLinks* pNext;
};
constexpr std::size_t kBigLinksSize = RoundUp(sizeof(BigLinks));

// At the start of a chunk, aligned to kChunkBytes so that a block finds its
// chunk from its address.
struct Chunk {
  Chunk* pNext;
  unsigned char* pTop;  // where the next block is cut
  std::size_t nLive;
};
constexpr std::size_t kChunkHeaderSize = RoundUp(sizeof(Chunk));

struct Heap {
  Chunk* pChunks;  // the chunks, the one being cut first
  BigLinks* pBig;
  BlockHeader* aFree[kClasses];
};

void Poison(const void* p, std::size_t n) {
#ifdef VX_EDGE_HEAP_ASAN
  __asan_poison_memory_region(p, n);
#else
  static_cast<void>(p);
  static_cast<void>(n);
#endif
}

void Unpoison(const void* p, std::size_t n) {
#ifdef VX_EDGE_HEAP_ASAN
  __asan_unpoison_memory_region(p, n);
#else
  static_cast<void>(p);
  static_cast<void>(n);
#endif
}

std::uint32_t ClassOf(std::size_t nBytes) {
  if (nBytes <= kLinearMax) {
    return nBytes <= kAlign ? 0 : static_cast<std::uint32_t>((nBytes - 1) / kAlign);
  }
  unsigned nShift = 0;
  while ((nBytes - 1) >> (nShift + 4) != 0) {
    ++nShift;
  }
  // (nBytes - 1) >> nShift is in [8, 16): its low three bits pick the step.
  const auto nStep = static_cast<std::uint32_t>(((nBytes - 1) >> nShift) & 7U);
  return kLinearClasses + (nShift - 7) * 8 + nStep;
}

constexpr std::size_t ClassBytes(std::uint32_t nClass) {
  if (nClass < kLinearClasses) {
    return (nClass + 1) * kAlign;
  }
  const std::uint32_t k = nClass - kLinearClasses;
  return std::size_t{8 + k % 8 + 1} << (k / 8 + 7);
}
static_assert(ClassBytes(kLinearClasses - 1) == kLinearMax && ClassBytes(kClasses - 1) == kSmallMax,
              "the classes end at the linear limit and at the largest block a chunk holds");

unsigned char* BlocksBegin(Chunk* pChunk) {
  return reinterpret_cast<unsigned char*>(pChunk) + kChunkHeaderSize;
}

// Everything of a chunk behind its header: no block is live there.
void PoisonBlocks(Chunk* pChunk) { Poison(BlocksBegin(pChunk), kChunkBytes - kChunkHeaderSize); }

Chunk* ChunkOf(BlockHeader* pHeader) {
  auto* p = reinterpret_cast<unsigned char*>(pHeader);
  return reinterpret_cast<Chunk*>(p - (reinterpret_cast<std::uintptr_t>(p) & (kChunkBytes - 1)));
}

void* PayloadOf(BlockHeader* pHeader) {
  return reinterpret_cast<unsigned char*>(pHeader) + kHeaderSize;
}

// The chunks no heap uses, shared by all heaps (each path may live on a
// thread of its own). Kept for the life of the process.
struct Reserve {
  std::mutex lock;
  Chunk* pFirst = nullptr;
  std::size_t nChunks = 0;
};
constinit Reserve gReserve;

Chunk* TakeChunk() {
  Chunk* pChunk = nullptr;
  {
    const std::lock_guard<std::mutex> guard(gReserve.lock);
    pChunk = gReserve.pFirst;
    if (pChunk != nullptr) {
      gReserve.pFirst = pChunk->pNext;
      --gReserve.nChunks;
    }
  }
  if (pChunk == nullptr) {
    pChunk = static_cast<Chunk*>(std::aligned_alloc(kChunkBytes, kChunkBytes));
    if (pChunk == nullptr) {
      return nullptr;
    }
    PoisonBlocks(pChunk);
  }
  pChunk->pNext = nullptr;
  pChunk->pTop = BlocksBegin(pChunk);
  pChunk->nLive = 0;
  return pChunk;
}

void GiveBackChunk(Chunk* pChunk) {
  PoisonBlocks(pChunk);
  {
    const std::lock_guard<std::mutex> guard(gReserve.lock);
    if (gReserve.nChunks < kReserveChunks) {
      pChunk->pNext = gReserve.pFirst;
      gReserve.pFirst = pChunk;
      ++gReserve.nChunks;
      return;
    }
  }
  std::free(pChunk);
}

void* AllocBig(Heap& heap, std::size_t nBytes) {
  if (nBytes > SIZE_MAX - kBigLinksSize - kHeaderSize) {
    return nullptr;
  }
  auto* pLinks = static_cast<BigLinks*>(std::malloc(kBigLinksSize + kHeaderSize + nBytes));
  if (pLinks == nullptr) {
    return nullptr;
  }
  pLinks->pPrev = nullptr;
  pLinks->pNext = heap.pBig;
  if (heap.pBig != nullptr) {
    heap.pBig->pPrev = pLinks;
  }
  heap.pBig = pLinks;
  auto* pHeader =
      reinterpret_cast<BlockHeader*>(reinterpret_cast<unsigned char*>(pLinks) + kBigLinksSize);
  pHeader->nClass = kBigClass;
  return PayloadOf(pHeader);
}

void FreeBig(Heap& heap, BlockHeader* pHeader) {
  auto* pLinks =
      reinterpret_cast<BigLinks*>(reinterpret_cast<unsigned char*>(pHeader) - kBigLinksSize);
  if (pLinks->pPrev != nullptr) {
    pLinks->pPrev->pNext = pLinks->pNext;
  } else {
    heap.pBig = pLinks->pNext;
  }
  if (pLinks->pNext != nullptr) {
    pLinks->pNext->pPrev = pLinks->pPrev;
  }
  std::free(pLinks);
}

// A new block cut from the heap's first chunk, or from a new first chunk when
// that one has no room left.
BlockHeader* CutBlock(Heap& heap, std::uint32_t nClass) {
  const std::size_t nStride = kHeaderSize + ClassBytes(nClass) + kGap;
  Chunk* pChunk = heap.pChunks;
  if (pChunk == nullptr ||
      nStride > static_cast<std::size_t>(reinterpret_cast<unsigned char*>(pChunk) + kChunkBytes -
                                         pChunk->pTop)) {
    pChunk = TakeChunk();
    if (pChunk == nullptr) {
      return nullptr;
    }
    pChunk->pNext = heap.pChunks;
    heap.pChunks = pChunk;
  }
  auto* pHeader = reinterpret_cast<BlockHeader*>(pChunk->pTop);
  pChunk->pTop += nStride;
  Unpoison(pHeader, kHeaderSize);
  pHeader->nClass = nClass;
  return pHeader;
}

// Takes every block of an empty chunk out of the free lists. The chunk's
// blocks lie one behind the other from its start to its top.
void UnlistBlocksOf(Heap& heap, Chunk* pChunk) {
  bool aSeen[kClasses] = {};
  for (unsigned char* p = BlocksBegin(pChunk); p < pChunk->pTop;) {
    const std::uint32_t nClass = reinterpret_cast<BlockHeader*>(p)->nClass;
    aSeen[nClass] = true;
    p += kHeaderSize + ClassBytes(nClass) + kGap;
  }
  for (std::uint32_t c = 0; c < kClasses; ++c) {
    if (!aSeen[c]) {
      continue;
    }
    BlockHeader** ppLink = &heap.aFree[c];
    while (*ppLink != nullptr) {
      if (ChunkOf(*ppLink) == pChunk) {
        *ppLink = (*ppLink)->pNextFree;
      } else {
        ppLink = &(*ppLink)->pNextFree;
      }
    }
  }
}

// An empty chunk: the first one is cut again from its start, any other
// leaves the heap.
void RetireChunk(Heap& heap, Chunk* pChunk) {
  UnlistBlocksOf(heap, pChunk);
  if (pChunk == heap.pChunks) {
    PoisonBlocks(pChunk);
    pChunk->pTop = BlocksBegin(pChunk);
    return;
  }
  Chunk** ppLink = &heap.pChunks;
  while (*ppLink != pChunk) {
    ppLink = &(*ppLink)->pNext;
  }
  *ppLink = pChunk->pNext;
  GiveBackChunk(pChunk);
}

}  // namespace

void* EdgeHeapCreate() {
  auto* pHeap = static_cast<Heap*>(std::malloc(sizeof(Heap)));
  if (pHeap != nullptr) {
    pHeap->pChunks = nullptr;
    pHeap->pBig = nullptr;
    for (BlockHeader*& pFree : pHeap->aFree) {
      pFree = nullptr;
    }
  }
  return pHeap;
}

void* EdgeHeapAlloc(void* hHeap, std::size_t nBytes) {
  if (hHeap == nullptr) {
    return nullptr;
  }
  Heap& heap = *static_cast<Heap*>(hHeap);
  if (nBytes > kSmallMax) {
    return AllocBig(heap, nBytes);
  }
  const std::uint32_t nClass = ClassOf(nBytes);
  BlockHeader* pHeader = heap.aFree[nClass];
  if (pHeader != nullptr) {
    heap.aFree[nClass] = pHeader->pNextFree;
  } else {
    pHeader = CutBlock(heap, nClass);
    if (pHeader == nullptr) {
      return nullptr;
    }
  }
  ++ChunkOf(pHeader)->nLive;
  Unpoison(PayloadOf(pHeader), nBytes);
  return PayloadOf(pHeader);
}

void EdgeHeapFree(void* hHeap, void* pBlock) {
  if (hHeap == nullptr || pBlock == nullptr) {
    return;
  }
  Heap& heap = *static_cast<Heap*>(hHeap);
  auto* pHeader = reinterpret_cast<BlockHeader*>(static_cast<unsigned char*>(pBlock) - kHeaderSize);
  if (pHeader->nClass == kBigClass) {
    FreeBig(heap, pHeader);
    return;
  }
  Poison(pBlock, ClassBytes(pHeader->nClass));
  pHeader->pNextFree = heap.aFree[pHeader->nClass];
  heap.aFree[pHeader->nClass] = pHeader;
  Chunk* pChunk = ChunkOf(pHeader);
  if (--pChunk->nLive == 0) {
    RetireChunk(heap, pChunk);
  }
}

void EdgeHeapDestroy(void* hHeap) {
  if (hHeap == nullptr) {
    return;
  }
  auto* pHeap = static_cast<Heap*>(hHeap);
  for (BigLinks* pLinks = pHeap->pBig; pLinks != nullptr;) {
    BigLinks* pNext = pLinks->pNext;
    std::free(pLinks);
    pLinks = pNext;
  }
  for (Chunk* pChunk = pHeap->pChunks; pChunk != nullptr;) {
    Chunk* pNext = pChunk->pNext;
    GiveBackChunk(pChunk);
    pChunk = pNext;
  }
  std::free(pHeap);
}

std::size_t EdgeHeapChunks(void* hHeap) {
  std::size_t n = 0;
  if (hHeap != nullptr) {
    for (Chunk* pChunk = static_cast<Heap*>(hHeap)->pChunks; pChunk != nullptr;
         pChunk = pChunk->pNext) {
      ++n;
    }
  }
  return n;
}

std::size_t EdgeHeapReservedChunks() {
  const std::lock_guard<std::mutex> guard(gReserve.lock);
  return gReserve.nChunks;
}

}  // namespace vx
