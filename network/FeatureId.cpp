// Feature identifiers: the index, a direction flag and two check words.
#include "network/FeatureId.h"

namespace vxnet {
namespace {
constexpr std::uint32_t kTag = 0x56584D31u;    // "VXM1"
constexpr std::uint32_t kMixer = 0x5A5A5A5Au;  // dw[3] = index ^ kMixer
}  // namespace

VRO_FEATURE_ID FeatureIdOf(std::uint32_t nFeature, bool bReversed) {
  return VRO_FEATURE_ID{{nFeature, bReversed ? 1u : 0u, kTag, nFeature ^ kMixer}};
}

bool DecodeFeatureId(const VRO_FEATURE_ID& id, std::uint32_t& nFeature, bool& bReversed) {
  if (id.dw[2] != kTag || id.dw[1] > 1u || id.dw[3] != (id.dw[0] ^ kMixer)) return false;
  nFeature = id.dw[0];
  bReversed = id.dw[1] == 1u;
  return true;
}

}  // namespace vxnet
