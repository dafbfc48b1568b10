// The private edge heap of a path: one block per edge, blocks freed one at a
// time or all at once. Internal to the path library.
#ifndef VX_CPATH_EDGEHEAP_H
#define VX_CPATH_EDGEHEAP_H

#include <cstddef>

namespace vx {

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

}  // namespace vx

#endif
