// The private edge heap of a path: one block per edge, blocks freed one at a
// time or all at once. The memory of a destroyed heap stays with the process
// (up to 8 MiB) for the next heap to use. Internal to the path library.
#ifndef VX_CPATH_EDGEHEAP_H
#define VX_CPATH_EDGEHEAP_H

#include <cstddef>

namespace vx {

/// The size of a chunk; chunks are aligned to it.
inline constexpr std::size_t kEdgeHeapChunkBytes = std::size_t{256} * 1024;
/// The largest block cut from a chunk; larger ones are allocations of their own.
inline constexpr std::size_t kEdgeHeapChunkBlockMax = std::size_t{16} * 1024;

/// Creates an empty heap; null when there is no memory. The heap's control
/// record is its only allocation until the first block.
void* EdgeHeapCreate();
/// A block of nBytes (aligned for any object), not zeroed; null on failure,
/// never an exception.
void* EdgeHeapAlloc(void* hHeap, std::size_t nBytes);
/// Releases one block of this heap; null is ignored.
void EdgeHeapFree(void* hHeap, void* pBlock);
/// Releases every block still allocated and the heap itself.
void EdgeHeapDestroy(void* hHeap);
/// The number of chunks the heap holds (its small blocks live in
/// them); 0 for null.
std::size_t EdgeHeapChunks(void* hHeap);
/// The number of chunks kept for the next heaps, at most 32.
std::size_t EdgeHeapReservedChunks();

}  // namespace vx

#endif
