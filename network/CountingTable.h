// The one way this project builds a table of items grouped by key (features
// per grid cell, half-edges per node, features per node): count the items of
// each key, turn the counts into start offsets, then place the items.
#ifndef VX_NETWORK_COUNTINGTABLE_H
#define VX_NETWORK_COUNTINGTABLE_H

#include <cstddef>
#include <cstdint>
#include <limits>
#include <stdexcept>
#include <vector>

namespace vxnet {

/// Fills start (nKeys + 1 offsets) and items so that the items of key k are
/// items[start[k]] .. items[start[k + 1] - 1], in the order forEach emits
/// them. forEach(emit) must call emit(key, item) for every pair, the same
/// pairs in the same order on both of its two calls; every key below nKeys.
/// Throws std::length_error when the items do not fit 32-bit offsets.
template <class ForEach>
void BuildCountingTable(std::size_t nKeys, ForEach&& forEach, std::vector<std::uint32_t>& start,
                        std::vector<std::uint32_t>& items) {
  start.assign(nKeys + 1, 0);
  std::uint64_t nTotal = 0;
  forEach([&](std::size_t nKey, std::uint32_t) {
    ++start[nKey + 1];
    ++nTotal;
  });
  if (nTotal > std::numeric_limits<std::uint32_t>::max()) {
    throw std::length_error("table too large for 32-bit offsets");
  }
  for (std::size_t k = 0; k < nKeys; ++k) start[k + 1] += start[k];
  items.assign(nTotal, 0);
  std::vector<std::uint32_t> fill(start.begin(), start.end() - 1);
  forEach([&](std::size_t nKey, std::uint32_t nItem) { items[fill[nKey]++] = nItem; });
}

}  // namespace vxnet

#endif
