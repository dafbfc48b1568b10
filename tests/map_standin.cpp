// Stand-in for the map reader's feature identifiers and network lookup, for
// the route engine's tests and benchmark while no map reader is built. A
// "reader" here is a RoadNetwork passed as the handle.
#include "map/RoadNetwork.h"

namespace vxmap {

namespace {
constexpr std::uint32_t kTag = 0x52544553u;
}

VRO_FEATURE_ID FeatureIdOf(std::uint32_t nFeature, bool bReversed) {
  return {{nFeature, bReversed ? 1u : 0u, 0u, kTag}};
}

bool DecodeFeatureId(const VRO_FEATURE_ID& id, std::uint32_t& nFeature, bool& bReversed) {
  if (id.dw[3] != kTag || id.dw[2] != 0 || id.dw[1] > 1) {
    return false;
  }
  nFeature = id.dw[0];
  bReversed = id.dw[1] == 1;
  return true;
}

const RoadNetwork* NetworkOf(VRO_READER* hReader) {
  return reinterpret_cast<const RoadNetwork*>(hReader);
}

}  // namespace vxmap
