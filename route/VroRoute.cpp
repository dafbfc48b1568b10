// The route engine's C-style calls: thin wrappers over RouteEngine that
// accept a null handle (no route, nothing done) and let no exception out.
#include "interfaces/VroRoute.h"

#include <new>

#include "network/ReaderNetwork.h"
#include "route/RouteEngine.h"
#include "route/RouteHandle.h"

struct VRO_ROUTE {
  explicit VRO_ROUTE(const vxnet::NetworkView& net) : engine(net) {}
  vxroute::RouteEngine engine;
};

namespace vxroute {

VRO_ROUTE* OpenRoute(const vxnet::NetworkView& net) {
  try {
    return new VRO_ROUTE(net);
  } catch (...) {
    return nullptr;
  }
}

}  // namespace vxroute

VRO_ROUTE* VroRouteOpen(VRO_READER* hReader) {
  if (hReader == nullptr) {
    return nullptr;
  }
  const vxnet::NetworkView* pNet = vxnet::NetworkOfReader(hReader);
  return pNet == nullptr ? nullptr : vxroute::OpenRoute(*pNet);
}

void VroRouteClose(VRO_ROUTE* hRoute) { delete hRoute; }

int VroRouteFindPath(VRO_ROUTE* hRoute, tagLonLat ptStart, const tagLonLat& ptEnd, double dAngle,
                     double dRouteArg1, const char* szRouteArg, double dRouteArg2,
                     const char* /*szEndName*/) {
  if (hRoute == nullptr) {
    return -1;
  }
  try {
    return hRoute->engine.FindPath(ptStart, ptEnd, dAngle, dRouteArg1, szRouteArg, dRouteArg2);
  } catch (...) {
    hRoute->engine.Reset();
    return -1;
  }
}

int VroRouteRetrieveStart(VRO_ROUTE* hRoute) {
  return hRoute == nullptr ? 0 : hRoute->engine.RetrieveStart();
}

int VroRouteRetrieveNextEdgeEx(VRO_ROUTE* hRoute, char* szCode, char* szStr1, char* szStr2,
                               char* szRoadAttr, VRO_FEATURE_ID& id, double& dEdgeLen,
                               tagLonLat*& pPts) {
  if (hRoute == nullptr) {
    return 0;
  }
  try {
    return hRoute->engine.RetrieveNextEdge(szCode, szStr1, szStr2, szRoadAttr, id, dEdgeLen, pPts);
  } catch (...) {
    return 0;
  }
}

void VroRouteReset(VRO_ROUTE* hRoute) {
  if (hRoute != nullptr) {
    hRoute->engine.Reset();
  }
}

void VroRouteAddBlockEdge(VRO_ROUTE* hRoute, const VRO_FEATURE_ID& id) {
  if (hRoute != nullptr) {
    try {
      hRoute->engine.AddBlock(id);
    } catch (...) {
      // Out of memory for the block flags: the block is not set.
    }
  }
}

void VroRouteRemoveAllBlockEdge(VRO_ROUTE* hRoute) {
  if (hRoute != nullptr) {
    hRoute->engine.RemoveAllBlocks();
  }
}
