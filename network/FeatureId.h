// Feature identifiers of the road network: the feature index, a direction
// flag and two check words that keep every identifier apart from the null id.
#ifndef VX_NETWORK_FEATUREID_H
#define VX_NETWORK_FEATUREID_H

#include <cstdint>

#include "interfaces/VroTypes.h"

namespace vxnet {

/// The feature identifier of feature index nFeature; bReversed marks a
/// feature driven from its last point to its first. Layout: dw[0] the index,
/// dw[1] 1 when reversed else 0, dw[2] a fixed tag, dw[3] the index mixed with
/// a fixed pattern; never the null id, and the same for the same index of the
/// same file on every load (imported or compiled).
VRO_FEATURE_ID FeatureIdOf(std::uint32_t nFeature, bool bReversed);

/// Decodes an identifier made by FeatureIdOf; false for any other value
/// (the null id included). Does not check nFeature against a network.
bool DecodeFeatureId(const VRO_FEATURE_ID& id, std::uint32_t& nFeature, bool& bReversed);

}  // namespace vxnet

#endif
